// The repair phase on schools built around a complete timetable: it finishes what the three
// phases leave, keeps every rule by the independent checker, never moves a lesson placed
// before the run, and a stop in the middle of it leaves a sound timetable.

#include "TimetableChecker.h"

#include "SampleSchool.h"
#include "pivrel/engine/AutoPlacement.h"
#include "tamsel/TestFolder.h"

#include <gtest/gtest.h>

using namespace tamsel;
using namespace pivrel;
using namespace enginetest;

namespace {

/// A school whose week is full (the phases leave a few lessons of it), optionally with
/// every `keepEvery`-th lesson of its planted timetable placed before the run.
void plantedSchool(TestFolder& t, int keepEvery = 0) {
    sample::SampleOptions o;
    o.size = sample::SchoolSize::Medium;
    o.planted = 1.0;
    o.placePlanted = keepEvery > 0;
    QString error;
    ASSERT_TRUE(sample::GenerateSampleSchool(t.dict(), o, nullptr, &error)) << error.toStdString();
    ASSERT_TRUE(t.dict().loadSettings());
    if (keepEvery == 0) return;
    FileUse use(t.store(), FileId::Schedule);
    auto sch = t.dict().access<Schedule>();
    int n = 0;
    for (Schedule s : sch.all(Schedule::ItemCode)) {
        // Links stay whole: their lessons are all kept or all taken off.
        if (s.LinkCode == 0 && ++n % keepEvery == 0) continue;
        s.Week = 0;
        s.DaySeqNumber = 0;
        s.LessonNo.clear();
        s.RoomCode = 0;
        ASSERT_TRUE(sch.update(s).ok());
    }
}

int unplaced(TestFolder& t) {
    FileUse use(t.store(), FileId::Schedule);
    int n = 0;
    for (const Schedule& s : t.dict().access<Schedule>().all(Schedule::ItemCode))
        n += s.isUnplaced() ? 1 : 0;
    return n;
}

struct PlacementRun {
    PlacementResult result;
    RecordingRunHost host;
};

/// Runs the automatic placement (answering "Да") into `r`, whose host may already carry a
/// hook, and checks the timetable after it independently.
void place(TestFolder& t, bool repair, PlacementRun& r) {
    t.ui.answers = {Yes};
    t.glo().ProcessingDisabled = 0;
    const TimetableBefore before = recordTimetable(t.dict());
    AutoPlacement placement(t.dict());
    placement.setRepair(repair);
    r.result = placement.run(TaskKind::All, 0, r.host);
    EXPECT_TRUE(sound(checkTimetable(t.dict(), &before)));
}

} // namespace

TEST(Repair, FinishesWhatThePhasesLeaveAndNeverPlacesFewer) {
    TestFolder greedy;
    plantedSchool(greedy);
    PlacementRun without;
    place(greedy, false, without);
    const int left = unplaced(greedy);
    ASSERT_GT(left, 0) << "the phases alone finish this school: nothing to repair";
    EXPECT_FALSE(without.host.lines.contains(QStringLiteral("Доводка расстановки")));

    TestFolder repaired;
    plantedSchool(repaired);
    PlacementRun with;
    place(repaired, true, with);
    EXPECT_EQ(with.result.end, PlacementResult::End::Finished);
    EXPECT_LT(unplaced(repaired), left);
    EXPECT_EQ(unplaced(repaired), 0);
    EXPECT_GE(with.result.placed, without.result.placed);
    ASSERT_TRUE(with.host.lines.contains(QStringLiteral("Доводка расстановки")));
    const QString summary = with.host.lines.at(with.host.lines.size() - 2);
    EXPECT_TRUE(summary.startsWith(
        QStringLiteral("ДОВОДКА РАССТАНОВКИ ЗАКОНЧЕНА: размещено уроков: %1, перестановок: ")
            .arg(left)))
        << summary.toStdString();
    // The phases before it ran as they do without it.
    EXPECT_EQ(with.host.lines.mid(0, without.host.lines.size() - 1),
              without.host.lines.mid(0, without.host.lines.size() - 1));
}

TEST(Repair, LessonsPlacedBeforeTheRunStayWhereTheyAre) {
    TestFolder t;
    plantedSchool(t, 7);
    PlacementRun r;
    place(t, true, r); // the checker compares every lesson placed before with its place after
    EXPECT_TRUE(r.host.lines.contains(QStringLiteral("Доводка расстановки")));
}

TEST(Repair, AStopDuringTheRepairKeepsEveryStepDone) {
    TestFolder reference;
    plantedSchool(reference);
    PlacementRun greedy;
    place(reference, false, greedy);
    const int greedyLeft = unplaced(reference);
    ASSERT_GT(greedyLeft, 1);

    TestFolder t;
    plantedSchool(t);
    PlacementRun r;
    // "Стоп!" right after the first lesson the repair placed.
    r.host.onYield = [&](int) {
        if (!r.host.lines.isEmpty() &&
            r.host.lines.last().startsWith(QStringLiteral("  Урок размещен с перестановкой")))
            t.glo().ProcessingDisabled = 1;
    };
    place(t, true, r);
    EXPECT_EQ(r.result.end, PlacementResult::End::Stopped);
    EXPECT_EQ(unplaced(t), greedyLeft - 1); // the step done is kept, nothing after it
}
