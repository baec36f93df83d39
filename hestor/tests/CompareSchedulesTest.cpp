#include "hestor/CompareSchedules.h"
#include "hestor/Archive.h"

#include "tamsel/TestFolder.h"

#include <gtest/gtest.h>

using namespace tamsel;
using namespace hestor;

namespace {

QString u(const char* s) {
    return QString::fromUtf8(s);
}

struct Lessons {
    RowId algebraA1, algebraA2, russianA, algebraB, physicsB, russianB, russianBUnplaced;
};

/// Two classes and three teachers over a five-day week of four bells.
Lessons school(TestFolder& t) {
    FileUse a(t.store(), FileId::Days), b(t.store(), FileId::LessonBell),
        c(t.store(), FileId::Group), d(t.store(), FileId::Science), e(t.store(), FileId::Teacher),
        f(t.store(), FileId::Room), g(t.store(), FileId::Schedule);
    const char* days[] = {"Понедельник", "Вторник", "Среда", "Четверг", "Пятница"};
    for (Short i = 1; i <= 5; ++i)
        t.put(Days{.DaySeqNumber = i, .DayName = u(days[i - 1])});
    for (const char* no : {"1", "2", "3", "4"})
        t.put(LessonBell{.LessonNo = u(no)});
    t.put(Group{.GroupCode = 1, .Course = u("5"), .Defis = u("-"), .Literal = u("А")});
    t.put(Group{.GroupCode = 2, .Course = u("5"), .Defis = u("-"), .Literal = u("Б")});
    t.put(Science{.ScienceCode = 1, .Science = u("Математика")});
    t.put(Science{.ScienceCode = 2, .Science = u("Русский язык")});
    t.put(Science{.ScienceCode = 3, .Science = u("Физика")});
    t.put(Teacher{.TeacherCode = 1, .TableNo = 1, .TeacherName = u("Иванова И.И.")});
    t.put(Teacher{.TeacherCode = 2, .TableNo = 2, .TeacherName = u("Петрова П.П.")});
    t.put(Teacher{.TeacherCode = 3, .TableNo = 3, .TeacherName = u("Сидоров С.С.")});
    for (Long r = 1; r <= 3; ++r)
        t.put(Room{.RoomCode = r, .RoomNo = QString::number(100 + r)});
    auto lesson = [&](Short science, Short teacher, Short group, Short day, const char* no,
                      Long room) {
        return t
            .put(Schedule{.Week = Short(day ? 1 : 0),
                          .DaySeqNumber = day,
                          .LessonNo = u(no),
                          .ScienceCode = science,
                          .TeacherCode = teacher,
                          .GroupCode = group,
                          .RoomCode = room,
                          .TrainingCourseItemCode = Short(science + 10 * group)})
            .rowId;
    };
    return {lesson(1, 1, 1, 1, "1", 1), lesson(1, 1, 1, 2, "2", 1), lesson(2, 2, 1, 1, "2", 2),
            lesson(1, 1, 2, 1, "2", 1), lesson(3, 3, 2, 3, "1", 3), lesson(2, 2, 2, 1, "3", 2),
            lesson(2, 2, 2, 0, "", 0)};
}

void archive(TestFolder& t, const char* brief) {
    Archive rec;
    rec.BriefDescription = u(brief);
    ASSERT_TRUE(BackupSchedule(t.dict(), rec));
    FileUse use(t.store(), FileId::Archive);
    ASSERT_TRUE(t.dict().access<Archive>().insert(rec).ok());
}

} // namespace

// The week after a timetable went into the archive: two lessons moved (one of two alike, one
// with its room), one taken off, one room changed, one lesson placed, and one record rebuilt
// in its own place, which is no change.
TEST(CompareSchedules, TellsWhatMovedChangedRoomWasAddedOrTakenOffPerGroupAndTeacher) {
    TestFolder t;
    const Lessons l = school(t);
    archive(t, "до замены");
    {
        FileUse use(t.store(), FileId::Schedule);
        auto sch = t.dict().access<Schedule>();
        auto change = [&](RowId id, auto&& edit) {
            Schedule s = sch.byRowId(id);
            edit(s);
            ASSERT_TRUE(sch.update(s).ok());
        };
        change(l.algebraA2, [](Schedule& s) { s.DaySeqNumber = 3, s.LessonNo = u("3"); });
        change(l.physicsB,
               [](Schedule& s) { s.DaySeqNumber = 5, s.LessonNo = u("4"), s.RoomCode = 1; });
        change(l.algebraB, [](Schedule& s) {
            s.Week = 0, s.DaySeqNumber = 0, s.LessonNo.clear(), s.RoomCode = 0;
        });
        change(l.russianA, [](Schedule& s) { s.RoomCode = 3; });
        change(l.russianBUnplaced, [](Schedule& s) {
            s.Week = 1, s.DaySeqNumber = 4, s.LessonNo = u("1"), s.RoomCode = 2;
        });
        Schedule rebuilt = sch.byRowId(l.russianB);
        ASSERT_TRUE(sch.remove(rebuilt).ok());
        ASSERT_TRUE(sch.insert(rebuilt).ok());
        ASSERT_NE(rebuilt.rowId, l.russianB);
    }

    const ScheduleComparison c = CompareSchedules(t.dict(), u("до замены"));
    ASSERT_TRUE(c.ok) << c.error.toStdString();
    EXPECT_EQ(ComparisonLines(c, ChangesBy::Group),
              QStringList({u("Сравнение расписаний: «до замены» → текущее расписание"), u("5-А"),
                           u("  Русский язык, 5-А, Петрова П.П.: пн 2, каб. 102 → каб. 103"),
                           u("  Математика, 5-А, Иванова И.И.: вт 2 → ср 3"), u("5-Б"),
                           u("  Математика, 5-Б, Иванова И.И.: снят пн 2, каб. 101"),
                           u("  Физика, 5-Б, Сидоров С.С.: ср 1, каб. 103 → пт 4, каб. 101"),
                           u("  Русский язык, 5-Б, Петрова П.П.: добавлен чт 1, каб. 102"),
                           u("Итог: перемещено: 2, сменили кабинет: 1, добавлено: 1, снято: 1.")}));
    QStringList teachers;
    for (const ChangedObject& o : c.teachers)
        teachers << o.name + u(": ") + QString::number(o.changes.size());
    EXPECT_EQ(teachers,
              QStringList({u("Иванова И.И.: 2"), u("Петрова П.П.: 2"), u("Сидоров С.С.: 1")}));

    // Two archived timetables compare as the archive and the current one did; the latest
    // against the current data is the same.
    archive(t, "после");
    EXPECT_EQ(
        ComparisonLines(CompareSchedules(t.dict(), u("до замены"), u("после")), ChangesBy::Group)
            .mid(1),
        ComparisonLines(c, ChangesBy::Group).mid(1));
    const ScheduleComparison same = CompareSchedules(t.dict(), u("после"));
    ASSERT_TRUE(same.ok) << same.error.toStdString();
    EXPECT_EQ(ComparisonLines(same, ChangesBy::Teacher),
              QStringList({u("Сравнение расписаний: «после» → текущее расписание"),
                           u("Расписания совпадают.")}));

    // An unknown description and a damaged snapshot are refused by name.
    EXPECT_EQ(CompareSchedules(t.dict(), u("другое")).error,
              u("В архиве нет расписания «другое»."));
    {
        FileUse use(t.store(), FileId::Archive);
        auto archives = t.dict().access<Archive>();
        Archive rec;
        rec.BriefDescription = u("до замены");
        rec = archives.fetch(Archive::DescriptionKey, rec);
        rec.ScheduleFile[rec.ScheduleFile.size() / 2] ^= 1;
        ASSERT_TRUE(archives.update(rec).ok());
    }
    const ScheduleComparison damaged = CompareSchedules(t.dict(), u("до замены"));
    EXPECT_FALSE(damaged.ok);
    EXPECT_EQ(damaged.error, u("Архивная копия файла Schedule (Расписание уроков) в расписании "
                               "«до замены» повреждена: контрольная сумма не совпадает."));
}
