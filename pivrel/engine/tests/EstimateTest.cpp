// Variant estimation: main and additional estimates, re-evaluation, one lesson's variants.

#include "School.h"

#include "pivrel/engine/AutoPlacement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

using namespace tamsel;
using namespace pivrel;
using namespace enginetest;

namespace {
struct Fixture {
    TestFolder t;
    School s{t, 2, 4};
    Fixture() {
        s.cycle(1, 2);
        s.subgroupType(1, 2);
        s.science(1, u("Математика"), 1);
        s.science(2, u("Физика"), 1);
        s.science(3, u("Химия"), 1);
        s.science(4, u("Английский"), 2, 1);
        s.science(5, u("История"), 1);
        for (Short t = 1; t <= 5; ++t) s.teacher(t, QStringLiteral("Учитель %1").arg(t));
        s.group(1, u("10"), u("А"));
        s.group(2, u("10"), u("Б"));
        s.room(1, u("101"));
        s.room(2, u("102"));
        s.room(3, u("103"));
    }
    short dayLoad(const Schedule& lesson, short w, short d) {
        Engine e(t.dict());
        t.glo().ScheduleRecord = lesson;
        e.BuildLinkLesQue();
        return e.EstimateDayLoad(w, d);
    }
};
} // namespace

TEST(Estimate, MainEstimateBySubjectAndCycle) {
    Fixture f;
    f.s.lesson(4, 4, 4, 1, 1, 0, 0, 1, 1, 1, u("1")); // English 10-А/1 on day 1
    const Schedule english2 = f.s.lesson(4, 4, 5, 1, 2);
    const Schedule english1 = f.s.lesson(4, 4, 5, 1, 1);
    EXPECT_EQ(f.dayLoad(english2, 1, 1), 0); // another subgroup with the same subject
    EXPECT_EQ(f.dayLoad(english1, 1, 1), 2); // the same subgroup
    EXPECT_EQ(f.dayLoad(english1, 1, 2), 0);

    // Cycle maximum 2: two lessons of the cycle that day give 0, three give 1.
    f.s.lesson(1, 1, 1, 2, 0, 0, 0, 1, 1, 2, u("1"));
    f.s.lesson(2, 2, 2, 2, 0, 0, 0, 1, 1, 2, u("2"));
    const Schedule history = f.s.lesson(5, 5, 3, 2);
    EXPECT_EQ(f.dayLoad(history, 1, 2), 0);
    f.s.lesson(3, 3, 3, 2, 0, 0, 0, 1, 1, 2, u("3"));
    EXPECT_EQ(f.dayLoad(history, 1, 2), 1);
    // The same subject as a whole-group lesson: 2.
    const Schedule maths = f.s.lesson(1, 1, 1, 2);
    EXPECT_EQ(f.dayLoad(maths, 1, 2), 2);
}

TEST(Estimate, AdditionalEstimateSumsTheLinkAndNoRoomListMeansNoVariants) {
    Fixture f;
    const Schedule a = f.s.linked(1, {{1, 1, 1, 1, 0}, {2, 2, 2, 2, 0}}).at(0);
    f.s.roomList(1, 1, 1, 10);
    f.s.roomList(2, 2, 2, 10);
    f.s.restrict(ObjectType::Teacher, 1, 1, 1, u("1"), 1);
    f.s.restrict(ObjectType::Teacher, 2, 1, 1, u("1"), 1);
    f.s.restrict(ObjectType::Group, 2, 1, 1, u("1"), 1);
    f.s.restrict(ObjectType::Room, 1, 1, 2, u("4"), 2);

    f.t.glo().ShowLessonRestrictions = 1;
    f.t.glo().GoToSelectedObject = 0;
    for (int path = 0; path < 2; ++path) {
        f.t.glo().VariantQueue.clear();
        if (path == 0)
            Engine(f.t.dict()).ProcessNewLessonSelection(0, a);
        else
            ProcessNewLessonSelection(f.t.dict(), 0, a);
        const auto& vq = f.t.glo().VariantQueue.items;
        ASSERT_EQ(vq.size(), 7u) << path; // 8 cells, one forbidden for the first room
        bool seen = false;
        for (const auto& v : vq) {
            EXPECT_EQ(v.LinkCode, 1);
            if (v.Week == 1 && v.DaySeqNumber == 1 && v.LessonNo == u("1")) {
                EXPECT_EQ(v.AdditionalEstimate, 3);
                seen = true;
            } else {
                EXPECT_EQ(v.AdditionalEstimate, 0);
            }
        }
        EXPECT_TRUE(seen);
        // The worst cell comes last.
        EXPECT_EQ(vq.back().AdditionalEstimate, 3);
    }

    // Without a room list every cell is refused.
    const Schedule lone = f.s.lesson(3, 3, 3, 1);
    for (int path = 0; path < 2; ++path) {
        if (path == 0)
            Engine(f.t.dict()).ProcessNewLessonSelection(0, lone);
        else
            ProcessNewLessonSelection(f.t.dict(), 0, lone);
        EXPECT_TRUE(f.t.glo().VariantQueue.items.empty());
    }
}

TEST(Estimate, SelectionPostsGoToAndKeepsScheduleRecord) {
    Fixture f;
    f.s.roomList(1, 1, 1, 10);
    const Schedule a = f.s.lesson(1, 1, 1, 1);
    QList<int> posted;
    EngineHooks hooks;
    hooks.postToFrame = [&](int e) { posted << e; };
    f.t.glo().ShowLessonRestrictions = 1;
    ProcessNewLessonSelection(f.t.dict(), 1, a, hooks);
    EXPECT_EQ(posted, QList<int>{1025});
    EXPECT_EQ(f.t.glo().ScheduleRecord.LinkCode, -1);
    EXPECT_EQ(f.t.glo().ScheduleRecord.rowId, a.rowId);
    ASSERT_EQ(f.t.glo().VariantQueue.items.size(), 8u);
    EXPECT_EQ(f.t.glo().VariantQueue.items.front().LinkCode, -1);
    // Nothing tells the cells apart: they come by lesson number, then week, then day.
    std::vector<std::tuple<QString, short, short>> order;
    for (const VariantQueueEntry& v : f.t.glo().VariantQueue.items) {
        EXPECT_EQ(v.MainEstimate + v.AdditionalEstimate, 0);
        order.emplace_back(v.LessonNo, v.Week, v.DaySeqNumber);
    }
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_NE(std::get<0>(order.front()), std::get<0>(order.back()));
    EXPECT_EQ(f.t.ui.busyDepth, 0);
}

TEST(Estimate, ReEvaluationTouchesOnlyThePlacedCellAndDay) {
    Fixture f;
    f.s.cycle(2, 0);
    f.s.science(6, u("Музыка"), 2);
    f.s.science(7, u("Пение"), 2);
    f.s.roomList(1, 6, 1, 10);
    f.s.roomList(2, 7, 2, 10);
    f.s.roomList(1, 1, 3, 10);
    f.s.lesson(6, 6, 1, 1); // task A: music, teacher 1, 10-А
    f.s.lesson(7, 7, 2, 1); // task B: singing, teacher 2, 10-А (same cycle, maximum 0)
    f.s.lesson(8, 1, 1, 2); // task C: maths, teacher 1, 10-Б
    Engine e(f.t.dict());
    RecordingRunHost host;
    f.t.glo().ProcessingDisabled = 0;
    e.PrepareTask(TaskKind::All, 0, host);
    e.EvaluateSituation(host);
    const auto before = f.t.glo().VariantQueue.items;
    ASSERT_EQ(before.size(), 24u);

    const int ta = queues::findTask(f.t.glo().TaskQueue, -1);
    ASSERT_GE(ta, 0);
    f.t.glo().ScheduleRecord = f.t.glo().TaskQueue.items[size_t(ta)].lesson;
    ASSERT_GE(e.SetLessonTo(1, 1, u("2"), 0, true, 1), 0);
    const auto after = f.t.glo().VariantQueue.items;
    ASSERT_EQ(after.size(), 14u); // A is done; B and C lose (1,1,2)
    for (const auto& v : after) {
        EXPECT_FALSE(v.Week == 1 && v.DaySeqNumber == 1 && v.LessonNo == u("2"));
        EXPECT_NE(v.LinkCode, -1);
        if (v.LinkCode == -2) // B: the same cycle on day 1 is over its maximum now
            EXPECT_EQ(v.MainEstimate, v.DaySeqNumber == 1 ? 1 : 0) << v.DaySeqNumber;
        else
            EXPECT_EQ(v.MainEstimate, 0);
    }
    for (const auto& t : f.t.glo().TaskQueue.items) {
        EXPECT_EQ(t.NumberOfVariants, 7);
        EXPECT_EQ(t.Freedom, 6);
    }
}
