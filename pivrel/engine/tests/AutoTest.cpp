// The automatic placement: tasks, order, the three phases, stop and the question.

#include "School.h"
#include "TimetableChecker.h"

#include "../../../tamsel/tests/SchoolFixture.h"

#include "pivrel/engine/AutoPlacement.h"

#include <map>
#include <set>

#include <gtest/gtest.h>

using namespace tamsel;
using namespace pivrel;
using namespace enginetest;

namespace {

struct Fixture {
    TestFolder t;
    School s;
    explicit Fixture(int days = 2, int lessons = 2, short weeks = 1) : s(t, days, lessons, weeks) {
        s.science(1, u("Математика"));
        s.science(2, u("Физика"));
        s.twoOfEach("10");
    }
    RecordingRunHost run(short kind = TaskKind::All, short code = 0,
                         EnginePath path = EnginePath::Fast) {
        RecordingRunHost host;
        t.glo().ProcessingDisabled = 0;
        const TimetableBefore before = recordTimetable(t.dict());
        AutoPlacement(t.dict()).run(kind, code, host, path);
        EXPECT_TRUE(sound(checkTimetable(t.dict(), &before)));
        return host;
    }
    int placed() {
        int n = 0;
        for (const Schedule& x : s.schedule()) n += x.isUnplaced() ? 0 : 1;
        return n;
    }
};

const EnginePath Paths[] = {EnginePath::Fast, EnginePath::Reference};

} // namespace

TEST(Auto, ProgressLinesOfAWholeRun) {
    for (EnginePath path : Paths) {
        Fixture f;
        f.s.roomList(1, 1, 1, 10);
        f.s.roomList(2, 2, 2, 10);
        f.s.lesson(1, 1, 1, 1);
        f.s.lesson(1, 1, 1, 1);
        f.s.lesson(2, 2, 2, 1, 2); // subgroup 2
        const RecordingRunHost host = f.run(TaskKind::All, 0, path);
        const QStringList expected{
            u("Подготовка задания на расстановку"),
            u("    Запланировано для расстановки 3 уроков."),
            QString(),
            u("Расчет вариантов размещения уроков"),
            u("  Петров               10-А /2 Физика              "),
            u("          - уроков: 1, вариантов: 4"),
            u("  Иванова              10-А  Математика          "),
            u("          - уроков: 2, вариантов: 4"),
            QString(),
            u("Размещение уроков"),
            u("  Размещаем Иванова              10-А  Математика          "),
            u("     Урок размещен в Понедельник     урок № 1"),
            u("  Размещаем Петров               10-А /2 Физика              "),
            u("     Урок размещен в Вторник         урок № 1"),
            u("  Размещаем Иванова              10-А  Математика          "),
            u("     Урок размещен в Вторник         урок № 2"),
            u("АВТОМАТИЧЕСКАЯ РАССТАНОВКА УРОКОВ ЗАКОНЧЕНА"),
            u("Итог: размещено уроков: 3, осталось нерасставленных: 0."),
        };
        EXPECT_EQ(host.lines, expected) << (path == EnginePath::Fast ? "fast" : "reference");
        EXPECT_EQ(f.placed(), 3);
        EXPECT_EQ(f.t.glo().ProcessingDisabled.load(), 1);
        EXPECT_TRUE(f.t.ui.shown.isEmpty());
    }
}

TEST(Auto, TasksOfOneKindAndWholeLinksOfAGroup) {
    Fixture f;
    // Three unlinked lessons of one kind: one task, three lessons, code -1.
    for (int i = 0; i < 3; ++i) f.s.lesson(1, 1, 1, 1);
    // 10-Б's lesson linked with 10-А's: planning 10-А takes the whole link.
    f.s.linked(5, {{3, 2, 2, 1, 0}, {4, 2, 2, 2, 0}}, 1, true);
    f.s.lesson(6, 1, 2, 2); // 10-Б alone: not planned
    Engine e(f.t.dict());
    RecordingRunHost host;
    f.t.glo().ProcessingDisabled = 0;
    e.PrepareTask(TaskKind::Group, 1, host);
    const auto& q = f.t.glo().TaskQueue.items;
    ASSERT_EQ(q.size(), 5u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(q[size_t(i)].lesson.LinkCode, -1);
        EXPECT_EQ(q[size_t(i)].NumberOfSuchLessons, 3);
    }
    EXPECT_EQ(q[3].lesson.LinkCode, 5);
    EXPECT_EQ(q[3].lesson.GroupCode, 1);
    EXPECT_EQ(q[4].lesson.GroupCode, 2);
    EXPECT_EQ(q[4].NumberOfSuchLessons, 1);
    EXPECT_EQ(host.lines.last(), u("    Запланировано для расстановки 5 уроков."));
}

TEST(Auto, UnlinkedLessonsShareATaskOnlyWhenSubjectTeacherGroupSubgroupAndRoomMatch) {
    Fixture f;
    const Schedule base = f.s.lesson(1, 1, 1, 1);
    const Schedule twin = f.s.lesson(1, 1, 1, 1);
    const Schedule otherItem = f.s.lesson(4, 1, 1, 1); // the plan item is not part of the kind
    const Schedule differing[] = {
        f.s.lesson(2, 2, 1, 1),             // subject
        f.s.lesson(1, 1, 2, 1),             // teacher
        f.s.lesson(3, 1, 1, 2),             // group
        f.s.lesson(1, 1, 1, 1, 1),          // subgroup
        f.s.lesson(1, 1, 1, 1, 0, 0, 0, 2), // room
    };
    Engine e(f.t.dict());
    RecordingRunHost host;
    f.t.glo().ProcessingDisabled = 0;
    e.PrepareTask(TaskKind::All, 0, host);
    std::map<RowId, Short> codeOf;
    for (const auto& t : f.t.glo().TaskQueue.items)
        codeOf[t.lesson.rowId] = t.lesson.LinkCode;
    ASSERT_EQ(codeOf.size(), 8u);
    EXPECT_LT(codeOf[base.rowId], 0);
    EXPECT_EQ(codeOf[twin.rowId], codeOf[base.rowId]);
    EXPECT_EQ(codeOf[otherItem.rowId], codeOf[base.rowId]);
    std::set<Short> codes{codeOf[base.rowId]};
    for (const Schedule& d : differing)
        codes.insert(codeOf[d.rowId]);
    EXPECT_EQ(codes.size(), 6u);
}

TEST(Auto, TaskOrderByFreedomThenSizeThenLinkCode) {
    Fixture f(2, 3);
    for (Short t = 1; t <= 2; ++t)
        for (Short sci = 1; sci <= 2; ++sci) f.s.roomList(t, sci, t, 10);
    f.s.teacher(3, u("Сидоров"));
    f.s.roomList(3, 1, 2, 10);
    f.s.group(3, u("11"), u("А"));
    // Task -1: two lessons; task -2: one lesson with a forbidden cell (same freedom 4);
    // task -3 one lesson (freedom 5); link 1: one lesson (freedom 5).
    f.s.lesson(1, 1, 1, 1);
    f.s.lesson(1, 1, 1, 1);
    f.s.lesson(2, 2, 2, 2);
    f.s.restrict(ObjectType::Group, 2, 1, 1, u("1"), 2);
    f.s.lesson(3, 1, 3, 3);
    f.s.link(1, u("Связь"));
    f.s.comp(1, 4, 3, 0);
    f.s.lesson(4, 2, 2, 3, 0, 1);
    Engine e(f.t.dict());
    RecordingRunHost host;
    f.t.glo().ProcessingDisabled = 0;
    e.PrepareTask(TaskKind::All, 0, host);
    e.EvaluateSituation(host);
    QList<int> order, freedom;
    for (const auto& t : f.t.glo().TaskQueue.items) {
        order << t.lesson.LinkCode;
        freedom << t.Freedom;
    }
    EXPECT_EQ(order, QList<int>({-1, -1, -2, -3, 1}));
    EXPECT_EQ(freedom, QList<int>({4, 4, 4, 5, 5}));
}

TEST(Auto, TaskWithoutVariantsIsNeverSelected) {
    for (EnginePath path : Paths) {
        Fixture f;
        f.s.lesson(1, 1, 1, 1); // no room list: no variants, and the offer to build it declined
        f.t.ui.answers << No << Yes;
        const RecordingRunHost host = f.run(TaskKind::All, 0, path);
        EXPECT_EQ(host.lines[0], u("Нет списков кабинетов для уроков учителей: Иванова"));
        ASSERT_EQ(f.t.ui.shown.size(), 2);
        EXPECT_EQ(f.t.ui.shown[0].caption, u("Нет списков кабинетов"));
        f.t.ui.shown.removeFirst();
        EXPECT_TRUE(host.lines.contains(u("  ВНИМАНИЕ ! Расстановка всех уроков невозможна !")));
        EXPECT_EQ(host.lines.last(), u("Итог: размещено уроков: 0, осталось нерасставленных: 1."));
        EXPECT_EQ(host.lines[host.lines.size() - 2], u("АВТОМАТИЧЕСКАЯ РАССТАНОВКА УРОКОВ ЗАКОНЧЕНА"));
        EXPECT_EQ(host.lines[host.lines.size() - 3], u("Размещение уроков"));
        EXPECT_EQ(f.placed(), 0);
        ASSERT_EQ(f.t.ui.shown.size(), 1);
        EXPECT_EQ(f.t.ui.shown[0].caption, u("Обнаружены нерасставляемые уроки"));
        EXPECT_EQ(f.t.ui.shown[0].text,
                  u("    Внимание! При анализе вариантов расстановки обнаружено 1 видов уроков, "
                    "которые не могут быть полностью расставлены.| |    Хотите ли Вы произвести "
                    "расстановку уроков в этих условиях?"));
    }
}

TEST(Auto, AnsweringNoPlacesNothingAndKeepsTheEvaluation) {
    for (EnginePath path : Paths) {
        Fixture f;
        f.s.roomList(1, 1, 1, 10);
        for (int i = 0; i < 5; ++i) f.s.lesson(1, 1, 1, 1); // 5 lessons, 4 cells
        const QByteArray before = f.s.scheduleBytes();
        const RecordingRunHost host = f.run(TaskKind::All, 0, path); // default answer: No
        EXPECT_EQ(f.s.scheduleBytes(), before);
        EXPECT_FALSE(host.lines.contains(u("Размещение уроков")));
        EXPECT_EQ(f.t.glo().TaskQueue.items.size(), 5u);
        EXPECT_EQ(f.t.glo().TaskQueue.items[0].NumberOfVariants, 4);
        EXPECT_EQ(f.t.glo().TaskQueue.items[0].Freedom, -1);
        EXPECT_EQ(f.t.glo().VariantQueue.items.size(), 4u);
        EXPECT_EQ(f.t.glo().ProcessingDisabled.load(), 1);
    }
}

TEST(Auto, StopDuringEvaluationPlacesNothing) {
    for (EnginePath path : Paths) {
        Fixture f;
        f.s.roomList(1, 1, 1, 10);
        f.s.roomList(2, 2, 2, 10);
        f.s.lesson(1, 1, 1, 1);
        f.s.lesson(2, 2, 2, 2);
        const QByteArray before = f.s.scheduleBytes();
        RecordingRunHost host;
        f.t.glo().ProcessingDisabled = 0;
        // Yields 1 and 2 come from the preparation; the stop comes inside the evaluation.
        host.onYield = [&](int n) {
            if (n == 4) f.t.glo().ProcessingDisabled = 1;
        };
        AutoPlacement(f.t.dict()).run(TaskKind::All, 0, host, path);
        EXPECT_EQ(f.s.scheduleBytes(), before);
        EXPECT_FALSE(host.lines.contains(u("Размещение уроков")));
        EXPECT_TRUE(f.t.ui.shown.isEmpty());
    }
}

TEST(Auto, StopWhilePlacingKeepsWhatWasPlaced) {
    for (EnginePath path : Paths) {
        Fixture f;
        f.s.roomList(1, 1, 1, 10);
        f.s.roomList(2, 2, 2, 10);
        f.s.lesson(1, 1, 1, 1);
        f.s.lesson(2, 2, 2, 2);
        RecordingRunHost host;
        f.t.glo().ProcessingDisabled = 0;
        int placing = -1;
        host.onYield = [&](int n) {
            if (placing < 0 && host.lines.contains(u("Размещение уроков"))) placing = n;
            if (placing >= 0 && n == placing + 2) f.t.glo().ProcessingDisabled = 1;
        };
        const PlacementResult r = AutoPlacement(f.t.dict()).run(TaskKind::All, 0, host, path);
        EXPECT_EQ(f.placed(), 1);
        EXPECT_EQ(r.end, PlacementResult::End::Stopped);
        EXPECT_EQ(r.placed, 1);
        EXPECT_EQ(r.left, 1);
        // The list says that the run was stopped and what it had done by then.
        ASSERT_GE(host.lines.size(), 3);
        EXPECT_EQ(host.lines[host.lines.size() - 3], u("АВТОМАТИЧЕСКАЯ РАССТАНОВКА УРОКОВ ЗАКОНЧЕНА"));
        EXPECT_EQ(host.lines[host.lines.size() - 2],
                  u("Расстановка остановлена кнопкой «Стоп!»: к этому моменту размещено уроков: 1."));
        EXPECT_EQ(host.lines.last(), u("Итог: размещено уроков: 1, осталось нерасставленных: 1."));
        // A new run starts from the preparation and places the rest.
        const RecordingRunHost again = f.run(TaskKind::All, 0, path);
        EXPECT_EQ(again.lines.first(), u("Подготовка задания на расстановку"));
        EXPECT_EQ(f.placed(), 2);
    }
}

TEST(Auto, RecurringLessonsTakeTheSameSlotInEveryWeek) {
    for (EnginePath path : Paths) {
        Fixture f(2, 2, 2);
        f.s.roomList(1, 1, 1, 10);
        const Schedule a = f.s.lesson(1, 1, 1, 1);
        const Schedule b = f.s.lesson(1, 1, 1, 1);
        const RecordingRunHost host = f.run(TaskKind::All, 0, path);
        const Schedule x = f.s.byRow(a.rowId), y = f.s.byRow(b.rowId);
        EXPECT_EQ(x.DaySeqNumber, y.DaySeqNumber);
        EXPECT_EQ(x.LessonNo, y.LessonNo);
        EXPECT_NE(x.Week, y.Week);
        EXPECT_EQ(host.lines.filter(u("Размещаем")).size(), 1); // one selection
        EXPECT_TRUE(host.lines.contains(u("     Урок размещен по 1-й неделе в Понедельник     урок № 1")));
        EXPECT_TRUE(host.lines.contains(u("     Урок размещен по 2-й неделе в Понедельник     урок № 1")));
    }
}

// A school entered by hand, through the relation managers as the windows store it: no teacher
// has a room list until it is built, so nothing could be placed. The run says whose lessons
// these are and, when told "Да", builds their lists and places every lesson.
TEST(Auto, AHandEnteredSchoolPlacesCompletelyOnceItsRoomListsAreBuilt) {
    tamsel::test::School h;
    Globals& glo = h.t.glo();
    glo.WeeksInCycle = 1;
    for (const char* d : {"Понедельник", "Вторник", "Среда"}) h.day(d);
    for (const char* b : {"1", "2", "3"}) h.bell(b);
    const Room r101 = h.room("101");
    const Room r102 = h.room("102");
    const Science math = h.science("Математика");
    const Science russian = h.science("Русский язык");
    const Short stream = h.stream("Общий");
    h.course("5");
    h.group("5", "А", stream);
    h.group("5", "Б", stream);
    const Teacher ivanova = h.teacher("Иванова А.П.", static_cast<Short>(r101.RoomCode));
    const Teacher petrov = h.teacher("Петров И.С.", static_cast<Short>(r102.RoomCode));
    h.item(math, "5", stream, 3, 0);
    h.item(russian, "5", stream, 2, 0);
    // The load: mathematics to Иванова, Russian to Петров.
    for (Schedule l : h.lessons()) {
        l.TeacherCode = l.ScienceCode == math.ScienceCode ? ivanova.TeacherCode : petrov.TeacherCode;
        ASSERT_TRUE(h.rel.update(l));
    }
    ASSERT_EQ(h.lessons().size(), 10u);
    ASSERT_TRUE(h.all<RoomList>().empty());
    const QString offer =
        u("Для уроков учителей Иванова А.П., Петров И.С. не составлены списки кабинетов, и "
          "расставить эти уроки нельзя.| |Составить недостающие списки кабинетов этих учителей?");

    // Declined: nothing is built and nothing placed, and the run has said why.
    h.t.ui.answers = {No};
    RecordingRunHost declined;
    glo.ProcessingDisabled = 0;
    PlacementResult r = AutoPlacement(h.t.dict()).run(TaskKind::All, 0, declined);
    EXPECT_EQ(r.end, PlacementResult::End::Declined);
    EXPECT_EQ(r.placed, 0);
    EXPECT_TRUE(h.all<RoomList>().empty());
    EXPECT_EQ(declined.lines[0],
              u("Нет списков кабинетов для уроков учителей: Иванова А.П., Петров И.С."));
    ASSERT_EQ(h.t.ui.shown.size(), 2); // the offer, then the question about unplaceable lessons
    EXPECT_EQ(h.t.ui.shown[0].caption, u("Нет списков кабинетов"));
    EXPECT_EQ(h.t.ui.shown[0].text, offer);

    // Accepted: each teacher's main room is listed, and every lesson is placed in it.
    h.t.ui.clear();
    h.t.ui.answers = {Yes};
    RecordingRunHost accepted;
    glo.ProcessingDisabled = 0;
    r = AutoPlacement(h.t.dict()).run(TaskKind::All, 0, accepted);
    EXPECT_EQ(r.end, PlacementResult::End::Finished);
    EXPECT_EQ(r.placed, 10);
    EXPECT_EQ(r.left, 0);
    ASSERT_EQ(h.t.ui.shown.size(), 1);
    EXPECT_EQ(h.t.ui.shown[0].text, offer);
    EXPECT_EQ(accepted.lines[1], u("  Списки кабинетов составлены."));
    EXPECT_EQ(h.all<RoomList>().size(), 2u);
    for (const Schedule& l : h.lessons())
        EXPECT_EQ(l.RoomCode, l.TeacherCode == ivanova.TeacherCode ? r101.RoomCode : r102.RoomCode);
    EXPECT_TRUE(sound(checkTimetable(h.t.dict())));
}
