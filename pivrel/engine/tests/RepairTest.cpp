// The repair phase on schools built around a complete timetable: it finishes what the three
// phases leave, keeps every rule by the independent checker, never moves a lesson placed
// before the run, and a stop in the middle of it leaves a sound timetable. A small school
// shows a repair that must free a room, and a stop in the placing phase.

#include "School.h"
#include "TimetableChecker.h"

#include "FastModel.h"
#include "SampleSchool.h"
#include "pivrel/engine/AutoPlacement.h"
#include "tamsel/TestFolder.h"

#include <algorithm>

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

/// One day of three lessons. Петров (5-Б) may use room 101 only; Иванова (5-А) 101, else 102,
/// which is closed at lesson 2. The phases give Иванова 101 at lessons 1 and 3 and Петров 101
/// at lesson 2, so his second lesson finds 101 taken everywhere: only moving one of Иванова's
/// lessons into 102 frees the room for him.
struct RoomSwapSchool {
    TestFolder t;
    School s{t, 1, 3};
    RoomSwapSchool() {
        s.science(1, u("Математика"));
        s.science(2, u("Физика"));
        s.twoOfEach("5");
        s.roomList(1, 1, 1, 10);
        s.roomList(1, 1, 2, 20);
        s.roomList(2, 2, 1, 10);
        s.restrict(ObjectType::Room, 2, 1, 1, u("2"), 2);
        // On equal terms the task read last goes first: Иванова's.
        s.lesson(2, 2, 2, 2);
        s.lesson(2, 2, 2, 2);
        s.lesson(1, 1, 1, 1);
        s.lesson(1, 1, 1, 1);
    }
};

/// The room-swap school with Сидоров (5-В) in every lesson of the day, in 102 (else 103, as 102
/// is closed at lesson 2): Иванова's lesson can leave 101 for 102 only after Сидоров's leaves
/// 102 for 103 — a chain of two moves, each a change of room.
struct ChainSchool : RoomSwapSchool {
    ChainSchool() {
        s.science(3, u("Химия"));
        s.teacher(3, u("Сидоров"));
        s.group(3, u("5"), u("В"));
        s.room(3, u("103"));
        s.roomList(3, 3, 2, 10);
        s.roomList(3, 3, 3, 20);
        for (int k = 0; k < 3; ++k)
            s.lesson(3, 3, 3, 3);
    }
};

} // namespace

TEST(Repair, ClosesAChainOfTwoRoomChanges) {
    ChainSchool greedy;
    PlacementRun without;
    place(greedy.t, false, without);
    ASSERT_EQ(unplaced(greedy.t), 1) << without.host.lines.join(u("\n")).toStdString();

    ChainSchool f;
    PlacementRun with;
    place(f.t, true, with);
    EXPECT_EQ(unplaced(f.t), 0);
    int sidorovIn103 = 0, ivanovaIn102 = 0;
    for (const Schedule& l : f.s.schedule()) {
        if (l.TeacherCode == 2) {
            EXPECT_EQ(l.RoomCode, 1);
        }
        sidorovIn103 += l.TeacherCode == 3 && l.RoomCode == 3 ? 1 : 0;
        ivanovaIn102 += l.TeacherCode == 1 && l.RoomCode == 2 ? 1 : 0;
    }
    EXPECT_EQ(sidorovIn103, 2);
    EXPECT_EQ(ivanovaIn102, 1);
    EXPECT_TRUE(with.host.lines.contains(u("  Урок размещен с перестановкой уроков (2): ") +
                                         u("Петров").leftJustified(20) + u(" 5 -Б  ") +
                                         u("Физика").leftJustified(20)))
        << with.host.lines.join(u("\n")).toStdString();
}

TEST(Repair, FreesARoomByMovingALessonThisRunPlaced) {
    RoomSwapSchool greedy;
    PlacementRun without;
    place(greedy.t, false, without);
    ASSERT_EQ(unplaced(greedy.t), 1) << "the phases alone finish this school: nothing to repair\n"
                                     << without.host.lines.join(u("\\n")).toStdString();

    RoomSwapSchool f;
    PlacementRun with;
    place(f.t, true, with);
    EXPECT_EQ(with.result.end, PlacementResult::End::Finished);
    EXPECT_EQ(unplaced(f.t), 0);
    EXPECT_EQ(with.result.placed, 4);
    // Both of Петров's lessons in 101, one of Иванова's moved into 102.
    int in102 = 0;
    for (const Schedule& l : f.s.schedule()) {
        if (l.TeacherCode == 2) {
            EXPECT_EQ(l.RoomCode, 1);
        }
        in102 += l.RoomCode == 2 ? 1 : 0;
    }
    EXPECT_EQ(in102, 1);
    EXPECT_TRUE(std::any_of(with.host.lines.begin(), with.host.lines.end(), [](const QString& l) {
        return l.startsWith(u("  Урок размещен с перестановкой уроков (")) &&
               l.contains(u("): Петров "));
    })) << with.host.lines.join(u("\n")).toStdString();
}

TEST(Repair, EarlierLessonsARerunLetsMoveMoveOnlyWhereNeeded) {
    RoomSwapSchool f;
    PlacementRun first;
    place(f.t, false, first); // leaves Петров's second lesson
    ASSERT_EQ(unplaced(f.t), 1);
    const TimetableBefore before = recordTimetable(f.t.dict());

    // A re-run in which every lesson placed so far may move, at a cost.
    std::vector<std::pair<int, Schedule>> moved;
    std::vector<Schedule> recs;
    {
        f.t.ui.answers = {Yes};
        RecordingRunHost host;
        std::vector<std::unique_ptr<FileUse>> uses;
        for (FileId id : Engine::files())
            uses.push_back(std::make_unique<FileUse>(f.t.store(), id));
        f.t.glo().ProcessingDisabled = 0;
        Engine engine(f.t.dict());
        engine.PrepareTask(static_cast<short>(TaskKind::All), 0, host);
        FastPlacement fast(f.t.dict(), engine.log());
        ASSERT_TRUE(fast.load());
        fast.EvaluateSituation(host);
        fast.PlacingLessons(host);
        FastPlacement::Model& m = fast.model();
        for (size_t i = 0; i < m.recs.size(); ++i)
            m.movableEarlier[i] = !m.recs[i].isUnplaced() && !m.placedByRun[i];
        f.t.glo().ProcessingDisabled = 0;
        fast.Repair(host, 10);
        moved = m.movedEarlier;
        recs = m.recs;
    }
    EXPECT_EQ(unplaced(f.t), 0);
    EXPECT_TRUE(sound(checkTimetable(f.t.dict())));
    // On disk, one earlier lesson changed its place: one of Иванова's, from 101 into 102.
    const TimetableBefore after = recordTimetable(f.t.dict());
    std::vector<qint64> changed;
    for (const auto& [row, where] : before.placed)
        if (after.placed.at(row) != where) changed.push_back(row);
    ASSERT_EQ(changed.size(), 1u);
    ASSERT_EQ(moved.size(), 1u);
    const Schedule& now = recs[size_t(moved[0].first)];
    EXPECT_EQ(now.rowId, changed[0]);
    EXPECT_EQ(now.TeacherCode, 1);
    EXPECT_EQ(now.RoomCode, 2);
    EXPECT_EQ(moved[0].second.RoomCode, 1);
    EXPECT_EQ(moved[0].second.LessonNo, now.LessonNo);
}

TEST(Repair, AStopInThePlacingPhaseSkipsTheRepair) {
    RoomSwapSchool f;
    PlacementRun r;
    // "Стоп!" after the first lesson placed.
    r.host.onYield = [&](int) {
        if (!r.host.lines.isEmpty() && r.host.lines.last().startsWith(u("     Урок размещен")))
            f.t.glo().ProcessingDisabled = 1;
    };
    place(f.t, true, r);
    EXPECT_EQ(r.result.end, PlacementResult::End::Stopped);
    EXPECT_EQ(r.result.placed, 1);
    EXPECT_EQ(unplaced(f.t), 3);
    EXPECT_FALSE(r.host.lines.contains(u("Доводка расстановки")));
    EXPECT_EQ(r.host.lines.at(r.host.lines.size() - 2),
              u("Расстановка остановлена кнопкой «Стоп!»: к этому моменту размещено уроков: 1."));
}

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
