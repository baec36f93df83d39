// Linked lessons, cell admissibility and room choice.

#include "School.h"
#include "TimetableChecker.h"

#include "pivrel/engine/Engine.h"

#include <gtest/gtest.h>

using namespace tamsel;
using namespace pivrel;
using namespace enginetest;

namespace {

struct Fixture {
    TestFolder t;
    School s{t, 2, 3};
    Fixture() {
        s.subgroupType(1, 2);
        s.subgroupType(2, 2);
        s.science(1, u("Математика"));
        s.science(2, u("Английский"), 0, 1);
        s.science(3, u("Немецкий"), 0, 1);
        s.science(4, u("Информатика"), 0, 2);
        s.teacher(1, u("Иванова"));
        s.teacher(2, u("Петров"));
        s.teacher(3, u("Сидоров"));
        s.group(1, u("10"), u("А"));
        s.group(2, u("10"), u("Б"));
        s.room(1, u("101"));
        s.room(2, u("102"));
    }
    // Whatever a test placed by hand, the timetable it leaves breaks no rule.
    ~Fixture() { EXPECT_TRUE(sound(checkTimetable(t.dict()))); }
    long place(const Schedule& lesson, short w, short d, const QString& l, long room,
               bool autoRoom, short autoMode) {
        Engine e(t.dict());
        t.glo().ScheduleRecord = lesson;
        return e.SetLessonTo(w, d, l, room, autoRoom, autoMode);
    }
    QStringList captions() const {
        QStringList c;
        for (const auto& x : t.ui.shown) c << x.caption;
        return c;
    }
};

const QString Check = QStringLiteral("Проверка возможности размещения");

} // namespace

TEST(Cell, PlacesAndTakesOut) {
    Fixture f;
    f.s.roomList(1, 1, 2, 10);
    const Schedule a = f.s.lesson(1, 1, 1, 1);
    EXPECT_GE(f.place(a, 1, 2, u("3"), 0, true, 0), 0);
    Schedule stored = f.s.byRow(a.rowId);
    EXPECT_EQ(stored.Week, 1);
    EXPECT_EQ(stored.DaySeqNumber, 2);
    EXPECT_EQ(stored.LessonNo, u("3"));
    EXPECT_EQ(stored.RoomCode, 2);
    EXPECT_TRUE(f.t.glo().LinkedLessonsQueue.items.empty());

    // Taking out: always allowed, no restriction read, room 0.
    f.s.restrict(ObjectType::Teacher, 1, 0, 0, QString(), 2);
    EXPECT_GE(f.place(stored, 0, 0, QString(), 0, false, 1), 0);
    stored = f.s.byRow(a.rowId);
    EXPECT_TRUE(stored.isUnplaced());
    EXPECT_EQ(stored.RoomCode, 0);
    EXPECT_TRUE(f.t.ui.shown.isEmpty());
}

TEST(Cell, RestrictionsInOrderWithLevelsAdded) {
    Fixture f;
    const Schedule a = f.s.lesson(1, 1, 1, 1);
    // Undesirable for teacher and group: admissible with result 2.
    f.s.restrict(ObjectType::Teacher, 1, 1, 1, u("1"), 1);
    f.s.restrict(ObjectType::Group, 1, 1, 1, u("1"), 1);
    EXPECT_EQ(f.place(a, 1, 1, u("1"), 1, false, 0), 2);

    // Forbidden for room, teacher, subject and group: the room is reported first in automatic
    // mode; interactively every reason is shown in order.
    const Schedule b = f.s.lesson(1, 1, 1, 1);
    f.s.restrict(ObjectType::Room, 2, 1, 2, u("2"), 2);
    f.s.restrict(ObjectType::Teacher, 1, 1, 2, u("2"), 2);
    f.s.restrict(ObjectType::Science, 1, 1, 2, u("2"), 3);
    f.s.restrict(ObjectType::Group, 1, 1, 2, u("2"), 2);
    EXPECT_EQ(f.place(b, 1, 2, u("2"), 2, false, 1), Refusal::RoomRestricted);
    EXPECT_TRUE(f.t.ui.shown.isEmpty());
    EXPECT_LT(f.place(b, 1, 2, u("2"), 2, false, 0), 0);
    ASSERT_EQ(f.t.ui.shown.size(), 4);
    EXPECT_EQ(f.t.ui.texts(),
              QStringList({u("Размещение уроков невозможно из-за ограничений на кабинет № 102    "),
                           u("Размещение уроков невозможно из-за ограничений учителя Иванова             "),
                           u("Размещение уроков невозможно из-за ограничений по предмету Математика          "),
                           u("Размещение уроков невозможно из-за ограничений учебной группы 10-А ")}));
    EXPECT_EQ(f.captions(), QStringList(4, Check));
    EXPECT_TRUE(f.s.byRow(b.rowId).isUnplaced());

    // Each code alone.
    f.t.ui.clear();
    f.s.restrict(ObjectType::Teacher, 1, 1, 2, u("3"), 2);
    EXPECT_EQ(f.place(b, 1, 2, u("3"), 1, false, 1), Refusal::TeacherRestricted);
    f.s.restrict(ObjectType::Science, 1, 1, 1, u("3"), 2);
    EXPECT_EQ(f.place(b, 1, 1, u("3"), 1, false, 1), Refusal::SubjectRestricted);
    f.s.restrict(ObjectType::Group, 1, 1, 1, u("2"), 2);
    EXPECT_EQ(f.place(b, 1, 1, u("2"), 1, false, 1), Refusal::GroupRestricted);
}

TEST(Cell, OccupancyOfRoomTeacherAndGroup) {
    Fixture f;
    f.s.lesson(1, 1, 1, 1, 0, 0, 0, 1, 1, 1, u("1")); // Иванова, 10-А, room 101 at (1,1,1)
    const Schedule other = f.s.lesson(2, 1, 2, 2);     // Петров, 10-Б
    EXPECT_EQ(f.place(other, 1, 1, u("1"), 1, false, 1), Refusal::RoomOccupied);
    const Schedule sameTeacher = f.s.lesson(3, 1, 1, 2);
    EXPECT_EQ(f.place(sameTeacher, 1, 1, u("1"), 2, false, 1), Refusal::TeacherBusy);
    const Schedule sameGroup = f.s.lesson(4, 1, 3, 1);
    EXPECT_EQ(f.place(sameGroup, 1, 1, u("1"), 2, false, 1), Refusal::GroupBusy);

    EXPECT_LT(f.place(other, 1, 1, u("1"), 1, false, 0), 0);
    EXPECT_EQ(f.t.ui.last(), u("Размещение уроков невозможно из-за занятости кабинета № 101    "));
    f.t.ui.clear();
    EXPECT_LT(f.place(sameTeacher, 1, 1, u("1"), 2, false, 0), 0);
    EXPECT_EQ(f.t.ui.last(), u("Размещение уроков невозможно из-за занятости учителя Иванова             "));
    f.t.ui.clear();
    EXPECT_LT(f.place(sameGroup, 1, 1, u("1"), 2, false, 0), 0);
    EXPECT_EQ(f.t.ui.last(), u("Размещение уроков невозможно из-за занятости (под)группы 10-А "));

    // No room list with AutoRoom: placed without a room, unless a room-0 lesson is there.
    const Schedule noRoom = f.s.lesson(5, 1, 2, 2);
    EXPECT_GE(f.place(noRoom, 1, 2, u("1"), 0, true, 1), 0);
    EXPECT_EQ(f.s.byRow(noRoom.rowId).RoomCode, 0);
    const Schedule noRoom2 = f.s.lesson(6, 1, 3, 1);
    EXPECT_EQ(f.place(noRoom2, 1, 2, u("1"), 0, true, 1), Refusal::RoomOccupied);
}

TEST(Cell, SubgroupsOfSameAndOtherTypesAndWholeGroup) {
    Fixture f;
    f.s.lesson(1, 2, 1, 1, 1, 0, 0, 1, 1, 1, u("1")); // English subgroup 1 at (1,1,1)
    const Schedule german2 = f.s.lesson(2, 3, 2, 1, 2);
    const Schedule info2 = f.s.lesson(3, 4, 2, 1, 2);
    const Schedule english1 = f.s.lesson(1, 2, 3, 1, 1);
    const Schedule whole = f.s.lesson(4, 1, 3, 1);
    // Same subgroup type: accepted.
    EXPECT_GE(f.place(german2, 1, 1, u("1"), 2, false, 0), 0);
    EXPECT_TRUE(f.t.ui.shown.isEmpty());
    EXPECT_GE(f.place(f.s.byRow(german2.rowId), 0, 0, QString(), 0, false, 1), 0);
    EXPECT_TRUE(f.s.byRow(german2.rowId).isUnplaced());
    // Other subgroup type: -14.
    EXPECT_EQ(f.place(info2, 1, 1, u("1"), 2, false, 0), Refusal::GroupBusy);
    EXPECT_EQ(f.t.ui.last(), u("Размещение уроков невозможно из-за занятости подгруппы другого типа10-А "));
    // Same subgroup: -14.
    f.t.ui.clear();
    EXPECT_EQ(f.place(english1, 1, 1, u("1"), 2, false, 0), Refusal::GroupBusy);
    EXPECT_EQ(f.t.ui.last(), u("Размещение уроков невозможно из-за занятости подгруппы учебной группы10-А "));
    // Whole group where a subgroup has a lesson: -14.
    f.t.ui.clear();
    EXPECT_EQ(f.place(whole, 1, 1, u("1"), 2, false, 1), Refusal::GroupBusy);
    // A subgroup where the whole group has a lesson: -15.
    f.s.lesson(4, 1, 3, 1, 0, 0, 0, 2, 1, 2, u("1"));
    EXPECT_EQ(f.place(german2, 1, 2, u("1"), 1, false, 0), Refusal::WholeGroupBusy);
    EXPECT_EQ(f.t.ui.last(), u("Размещение уроков невозможно из-за занятости учебной группы10-А "));
}

TEST(Cell, LinkChecksAndRoomsOfALink) {
    Fixture f;
    // A link of the two English subgroups of 10-А, two teachers.
    const auto [a, b] = two(f.s.linked(1, {{5, 2, 1, 1, 1}, {5, 2, 2, 1, 2}}));
    f.s.roomList(1, 2, 1, 10);
    f.s.roomList(2, 2, 1, 10);
    f.s.roomList(2, 2, 2, 20);

    // Fixed room for both: -20 with its message.
    EXPECT_EQ(f.place(a, 1, 1, u("1"), 1, false, 0), Refusal::SameRoomInQueue);
    ASSERT_EQ(f.t.ui.shown.size(), 1);
    EXPECT_EQ(f.t.ui.shown[0].caption, u("SellIsAvaliable.Found in Queue"));
    EXPECT_EQ(f.t.ui.last(), u("В очереди два одинаковых кабинета № 101     !"));
    EXPECT_TRUE(f.s.byRow(a.rowId).isUnplaced());
    EXPECT_TRUE(f.s.byRow(b.rowId).isUnplaced());

    // AutoRoom: the second lesson takes the next room of its list; both move at once.
    EXPECT_GE(f.place(a, 1, 1, u("2"), 0, true, 1), 0);
    EXPECT_EQ(f.s.byRow(a.rowId).RoomCode, 1);
    EXPECT_EQ(f.s.byRow(b.rowId).RoomCode, 2);
    EXPECT_EQ(f.s.byRow(b.rowId).LessonNo, u("2"));
}

TEST(Cell, SameTeacherAndSameGroupInALink) {
    Fixture f;
    const Schedule a = f.s.linked(1, {{5, 1, 1, 1, 0}, {6, 1, 1, 2, 0}}).at(0);
    f.s.roomList(1, 1, 1, 10);
    f.s.roomList(1, 1, 2, 20);
    EXPECT_EQ(f.place(a, 1, 1, u("1"), 0, true, 0), Refusal::SameTeacherInQueue);
    EXPECT_EQ(f.t.ui.last(), u("В очереди два одинаковых учителя Иванова              !"));

    const Schedule c = f.s.linked(2, {{7, 1, 2, 1, 0}, {8, 1, 3, 1, 0}}).at(0);
    f.t.ui.clear();
    // Same room 0 and same group: both shown in order, the last code returned.
    EXPECT_EQ(f.place(c, 1, 1, u("1"), 0, false, 0), Refusal::SameGroupInQueue);
    EXPECT_EQ(f.t.ui.texts(), QStringList({u("В очереди два одинаковых кабинета №         !"),
                                           u("В очереди двe одинаковых [под]группы 10-А  !")}));
}

TEST(Cell, LectureSharesTeacherAndRoom) {
    Fixture f;
    const auto [a, b] = two(f.s.linked(1, {{5, 1, 1, 1, 0}, {6, 1, 1, 2, 0}}, 1, true));
    f.s.roomList(1, 1, 1, 10);
    EXPECT_GE(f.place(a, 1, 1, u("1"), 0, true, 1), 0);
    EXPECT_EQ(f.s.byRow(a.rowId).RoomCode, 1);
    EXPECT_EQ(f.s.byRow(b.rowId).RoomCode, 1);
    EXPECT_EQ(f.s.byRow(b.rowId).LessonNo, u("1"));

    // The teacher already teaching another lesson of the lecture in the cell is accepted
    // (a third group joins); any other lesson of the teacher refuses with -16.
    f.s.comp(1, 7, 3, 0);
    f.s.group(3, u("11"), u("А"));
    const Schedule c = f.s.lesson(7, 1, 1, 3, 0, 1);
    Engine e(f.t.dict());
    f.t.glo().ScheduleRecord = c;
    // Only c is unplaced: the queue holds it alone, and the lecture's teacher is in the cell.
    EXPECT_GE(e.SetLessonTo(1, 1, u("1"), 2, false, 1), 0);
    const Schedule other = f.s.lesson(8, 2, 1, 3);
    EXPECT_EQ(f.place(other, 1, 1, u("1"), 3, false, 1), Refusal::TeacherBusy);
}

TEST(Cell, ComponentWithoutLessonIsSkippedAndRefusalChangesNoByte) {
    Fixture f;
    f.s.link(1, u("Связь"));
    f.s.comp(1, 5, 1, 1);
    f.s.comp(1, 5, 1, 2);
    f.s.comp(1, 6, 2, 0); // no lesson of this component at all
    const Schedule a = f.s.lesson(5, 2, 1, 1, 1, 1);
    const Schedule b = f.s.lesson(5, 2, 2, 1, 2, 1);
    f.t.glo().ScheduleRecord = a;
    Engine e(f.t.dict());
    e.BuildLinkLesQue();
    ASSERT_EQ(f.t.glo().LinkedLessonsQueue.items.size(), 2u);

    // A refused cell leaves the file byte for byte as it was.
    f.s.restrict(ObjectType::Teacher, 2, 1, 1, u("1"), 2);
    const QByteArray before = f.s.scheduleBytes();
    EXPECT_EQ(f.place(a, 1, 1, u("1"), 0, false, 1), Refusal::SameRoomInQueue);
    f.s.roomList(1, 2, 1, 10);
    f.s.roomList(2, 2, 2, 10);
    EXPECT_EQ(f.place(a, 1, 1, u("1"), 0, true, 1), Refusal::TeacherRestricted);
    EXPECT_EQ(f.s.scheduleBytes(), before);

    EXPECT_GE(f.place(a, 1, 1, u("2"), 0, true, 1), 0);
    EXPECT_EQ(f.s.byRow(a.rowId).LessonNo, u("2"));
    EXPECT_EQ(f.s.byRow(b.rowId).LessonNo, u("2"));
}

TEST(Cell, TheLessonInHandIsTheOneWrittenNotAnotherOfItsItemWithAnotherRoom) {
    Fixture f;
    f.s.roomList(1, 1, 2, 10);
    // Two unplaced lessons of one plan item and group; the second was given room 102.
    const Schedule other = f.s.lesson(1, 1, 1, 1);
    const Schedule inHand = f.s.lesson(1, 1, 1, 1, 0, 0, 0, 2);
    EXPECT_GE(f.place(inHand, 1, 1, u("2"), 2, false, 0), 0);
    const Schedule placed = f.s.byRow(inHand.rowId);
    EXPECT_EQ(placed.DaySeqNumber, 1);
    EXPECT_EQ(placed.LessonNo, u("2"));
    EXPECT_EQ(placed.RoomCode, 2);
    const Schedule left = f.s.byRow(other.rowId);
    EXPECT_TRUE(left.isUnplaced());
    EXPECT_EQ(left.RoomCode, 0);
}
