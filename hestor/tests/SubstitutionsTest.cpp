#include "hestor/Substitutions.h"

#include "tamsel/Relations.h"
#include "tamsel/SchoolCalendar.h"
#include "tamsel/TestFolder.h"

#include <QDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace tamsel;
using namespace hestor;

namespace {

QString u(const char* s) {
    return QString::fromUtf8(s);
}

/// A two-week cycle from 1 September 2026 (a Tuesday: its week is week 1). Иванова is to be
/// covered in week 1 on Monday at bell 2 (5-А, mathematics). Петрова teaches mathematics and is
/// free between two lessons of hers; Белова teaches it too but would get a gap; Кузнецов
/// teaches physics (the same cycle); Морозова has no lessons that day; Сидоров teaches
/// mathematics but is busy at that bell; Орлова teaches it but may not work then.
void school(TestFolder& t) {
    FileUse a(t.store(), FileId::Days), b(t.store(), FileId::LessonBell),
        c(t.store(), FileId::Group), d(t.store(), FileId::Science), e(t.store(), FileId::Teacher),
        f(t.store(), FileId::Room), g(t.store(), FileId::Schedule),
        h(t.store(), FileId::Restriction), i(t.store(), FileId::RoomList);
    const char* days[] = {"Понедельник", "Вторник", "Среда", "Четверг", "Пятница"};
    for (Short n = 1; n <= 5; ++n) t.put(Days{.DaySeqNumber = n, .DayName = u(days[n - 1])});
    for (const char* no : {"1", "2", "3", "4"}) t.put(LessonBell{.LessonNo = u(no)});
    t.put(Group{.GroupCode = 1, .Course = u("5"), .Defis = u("-"), .Literal = u("А")});
    t.put(Group{.GroupCode = 2, .Course = u("5"), .Defis = u("-"), .Literal = u("Б")});
    t.put(Science{.ScienceCode = 1, .Science = u("Математика"), .CycleCode = 1});
    t.put(Science{.ScienceCode = 2, .Science = u("Физика"), .CycleCode = 1});
    t.put(Science{.ScienceCode = 3, .Science = u("Русский язык"), .CycleCode = 2});
    const char* names[] = {"Иванова И.И.", "Петрова П.П.", "Сидоров С.С.", "Орлова О.О.",
                           "Кузнецов К.К.", "Морозова М.М.", "Белова Б.Б."};
    for (Short n = 1; n <= 7; ++n)
        t.put(Teacher{.TeacherCode = n, .TableNo = n, .TeacherName = u(names[n - 1])});
    t.put(Room{.RoomCode = 1, .RoomNo = u("101")});
    t.put(Room{.RoomCode = 2, .RoomNo = u("102")});
    t.put(Room{.RoomCode = 3, .RoomNo = u("103")}); // forbidden at the lesson's bell
    t.put(Room{.RoomCode = 4, .RoomNo = u("104")}); // taken then by Сидоров's lesson
    auto lesson = [&](Short science, Short teacher, Short group, Short week, const char* no) {
        t.put(Schedule{.Week = week, .DaySeqNumber = Short(week ? 1 : 0), .LessonNo = u(no),
                       .ScienceCode = science, .TeacherCode = teacher, .GroupCode = group,
                       .RoomCode = week ? 1 : 0});
    };
    lesson(1, 1, 1, 1, "2"); // the lesson to cover
    lesson(1, 1, 2, 2, "3"); // Иванова in week 2
    lesson(1, 2, 2, 1, "1");
    lesson(1, 2, 1, 1, "3");
    lesson(1, 3, 2, 1, "2");
    t.put(Schedule{.Week = 1, .DaySeqNumber = 1, .LessonNo = u("2"), .ScienceCode = 1,
                   .TeacherCode = 3, .GroupCode = 2, .SubGroupNum = 1, .RoomCode = 4});
    lesson(2, 5, 2, 1, "4");
    lesson(1, 7, 2, 1, "4");
    lesson(3, 6, 1, 0, "");
    t.put(RoomList{.TeacherCode = 4, .ScienceCode = 1, .RoomCode = 1});
    t.put(Restriction{.ObjectType = ObjectType::Teacher, .ObjectCode = 4, .Week = 1,
                      .DaySeqNumber = 1, .LessonNo = u("2"), .Restriction = RestrictionLevel::Forbidden});
    t.put(Restriction{.ObjectType = ObjectType::Room, .ObjectCode = 3, .Week = 1,
                      .DaySeqNumber = 1, .LessonNo = u("2"), .Restriction = RestrictionLevel::Forbidden});
    SchoolCalendar cal;
    cal.first = QDate(2026, 9, 1);
    cal.last = QDate(2027, 5, 31);
    cal.holidays = {{QDate(2026, 11, 4), QDate(2026, 11, 4)}};
    cal.save(t.dict().settings());
}

std::vector<std::vector<qint64>> sql(const QString& file, const char* query) {
    std::vector<std::vector<qint64>> rows;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, query, -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    while (st && sqlite3_step(st) == SQLITE_ROW) {
        rows.emplace_back();
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            rows.back().push_back(sqlite3_column_int64(st, i));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

} // namespace

TEST(Substitutions, DatesRefusedOrPlacedInTheCycle) {
    TestFolder t(2);
    school(t);
    const auto refusal = [&](QDate d) { return PlanSubstitutions(t.dict(), d, {1}).error; };
    EXPECT_EQ(refusal(QDate(2026, 11, 4)), u("04.11.2026 — каникулы или праздничный день: уроков нет."));
    EXPECT_EQ(refusal(QDate(2026, 9, 13)), u("13.09.2026 (воскресенье) — выходной день: уроков нет."));
    EXPECT_EQ(refusal(QDate(2026, 8, 31)),
              u("31.08.2026 — вне учебного года (с 01.09.2026 по 31.05.2027): уроков нет."));
    EXPECT_EQ(refusal(QDate(2026, 9, 15)), u("У учителя Иванова И.И. нет уроков 15.09.2026 (вторник, неделя 1)."));
    // Three calendar weeks after the first one: week 2 of the cycle, Иванова's bell 3.
    const SubstitutionDay w2 = PlanSubstitutions(t.dict(), QDate(2026, 9, 21), {1});
    ASSERT_TRUE(w2.ok) << w2.error.toStdString();
    EXPECT_EQ(w2.week, 2);
    ASSERT_EQ(w2.lessons.size(), 1u);
    EXPECT_EQ(w2.lessons[0].lessonNo, u("3"));
    EXPECT_EQ(w2.lessons[0].groups, u("5-Б"));
}

TEST(Substitutions, RanksFreeTeachersSavesAndReadsBackAndGuardsTheSubstitute) {
    TestFolder t(2);
    school(t);
    const QDate monday(2026, 9, 14);
    SubstitutionDay day = PlanSubstitutions(t.dict(), monday, {1});
    ASSERT_TRUE(day.ok) << day.error.toStdString();
    EXPECT_EQ(day.week, 1);
    ASSERT_EQ(day.lessons.size(), 1u);
    const AbsentLesson& l = day.lessons[0];
    EXPECT_EQ(l.subject, u("Математика"));
    EXPECT_EQ(l.groups, u("5-А"));
    QStringList ranked;
    for (const SubstitutionCandidate& c : l.candidates) ranked << c.name + u(": ") + c.reason;
    // Busy Сидоров and forbidden Орлова never; the subject first, then its cycle, then anyone;
    // within the subject no new gap first.
    EXPECT_EQ(ranked, QStringList({u("Петрова П.П.: ведет этот предмет; свободен, 2 урока в этот день"),
                                   u("Белова Б.Б.: ведет этот предмет; свободен, 1 урок в этот день; будет окно"),
                                   u("Кузнецов К.К.: ведет предмет того же цикла; свободен, 1 урок в этот день; будет окно"),
                                   u("Морозова М.М.: свободен, нет уроков в этот день")}));

    // Only a room free then and not forbidden is offered.
    ASSERT_EQ(FreeRooms(day, 0).size(), 1u);
    EXPECT_EQ(FreeRooms(day, 0)[0]->number, u("102"));

    EXPECT_EQ(ChooseFirstCandidates(day), 1);
    day.lessons[0].note = u("контрольная");
    day.lessons[0].chosenRoom = 2;
    {
        // Planned again after the data changed: the unsaved choices come along while they hold,
        // and a substitute who is now busy is dropped and counted.
        SubstitutionDay replanned = PlanSubstitutions(t.dict(), monday, {1});
        EXPECT_EQ(CarryChoices(day, replanned), 0);
        EXPECT_EQ(replanned.lessons[0].chosen, 2);
        EXPECT_EQ(replanned.lessons[0].chosenRoom, 2);
        FileUse schedule(t.store(), FileId::Schedule);
        const Schedule busy = t.put(Schedule{.Week = 1, .DaySeqNumber = 1, .LessonNo = u("2"),
                                          .ScienceCode = 1, .TeacherCode = 2, .GroupCode = 2,
                                          .SubGroupNum = 2, .RoomCode = 2});
        replanned = PlanSubstitutions(t.dict(), monday, {1});
        EXPECT_EQ(CarryChoices(day, replanned), 2) << "Петрова and room 102 are taken now";
        // Saving the choices made before the change would book her twice: refused.
        EXPECT_EQ(SaveSubstitutions(t.dict(), day),
                  u("Замены не сохранены: учитель Петрова П.П. больше не свободен (2 урок, 5-А). "
                    "Выберите замену заново."));
        EXPECT_EQ(replanned.lessons[0].chosen, -1);
        EXPECT_EQ(replanned.lessons[0].chosenRoom, 0);
        EXPECT_EQ(replanned.lessons[0].note, u("контрольная"));
        ASSERT_TRUE(t.dict().access<Schedule>().remove(busy).ok());
    }
    ASSERT_EQ(SaveSubstitutions(t.dict(), day), QString());
    const QString file = t.store().diskName(FileId::Substitution);
    const auto rows = sql(file, "SELECT Date, Week, DaySeqNumber, LessonNo, AbsentTeacherCode, "
                                "GroupCode, ScienceCode, SubstituteCode, RoomCode FROM SUBSTITUTION");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (std::vector<qint64>{dayNumberOf(monday), 1, 1, 2, 1, 1, 1, 2, 2}));

    // Planned again, the choice comes back; the document names it.
    const SubstitutionDay again = PlanSubstitutions(t.dict(), monday, {1});
    EXPECT_EQ(again.lessons.at(0).chosen, 2);
    EXPECT_EQ(again.lessons.at(0).note, u("контрольная"));
    EXPECT_EQ(again.lessons.at(0).chosenRoomNumber, u("102"));
    const SubstitutionList list = ReadSubstitutions(t.dict(), monday);
    ASSERT_EQ(list.lines.size(), 1u);
    EXPECT_TRUE(QString::fromUtf8(SubstitutionsCsv(list)).contains(
        u("2026-09-14;2;;5-А;Математика;Иванова И.И.;Петрова П.П.;102;контрольная")));
    EXPECT_TRUE(QString::fromUtf8(SubstitutionsHtml(list)).contains(u("<title>Замены на 14.09.2026")));

    // A second absent teacher at that bell cannot get Петрова too.
    FileUse schedule(t.store(), FileId::Schedule);
    t.put(Schedule{.Week = 1, .DaySeqNumber = 1, .LessonNo = u("2"), .ScienceCode = 3,
                   .TeacherCode = 6, .GroupCode = 2});
    const SubstitutionDay other = PlanSubstitutions(t.dict(), monday, {6});
    ASSERT_TRUE(other.ok) << other.error.toStdString();
    for (const SubstitutionCandidate& c : other.lessons.at(0).candidates)
        EXPECT_NE(c.teacher, 2) << "already substituting at that bell";

    // The substitute cannot be deleted while the record names her; the absent teacher's
    // records go with her.
    Relations rel(t.dict());
    ASSERT_TRUE(rel.open(FileId::Teacher));
    Teacher k;
    k.TeacherCode = 2;
    const Teacher petrova = t.dict().access<Teacher>().fetch(Teacher::TeacherCodeKey, k);
    EXPECT_FALSE(rel.remove(petrova).ok());
    EXPECT_TRUE(t.ui.texts().join(u("\n")).contains(u("SUBSTITUTION"))) << t.ui.texts().join(u("\n")).toStdString();
    k.TeacherCode = 1;
    EXPECT_TRUE(rel.remove(t.dict().access<Teacher>().fetch(Teacher::TeacherCodeKey, k)).ok());
    // A deleted group takes its substitutions with it too.
    t.put(Substitution{.Date = 1, .LessonNo = u("1"), .AbsentTeacherCode = 5, .GroupCode = 2,
                       .SubstituteCode = 6});
    ASSERT_TRUE(rel.open(FileId::Group));
    Group g;
    g.GroupCode = 2;
    EXPECT_TRUE(rel.remove(t.dict().access<Group>().fetch(Group::GroupCodeKey, g)).ok());
    rel.close(FileId::Group);
    rel.close(FileId::Teacher);
    t.store().closeAll();
    EXPECT_TRUE(sql(file, "SELECT 1 FROM SUBSTITUTION").empty());
}
