#include "faldin/RoomLists.h"

#include "tamsel/TestFolder.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace tamsel;
using namespace faldin;

namespace {

// Room types: 1 common, 2 physics, 3 laboratory. Rooms 101, 102 common; 201, 202 physics;
// 301 laboratory. Subjects: 1 mathematics (no room type), 2 physics (main 2, additional 3),
// 3 chemistry (main 3).
enum : Short { Common = 1, Physics = 2, Lab = 3 };
enum : Short { Maths = 1, PhysicsSubject = 2, Chemistry = 3 };

using Entry = std::pair<Short, Short>; // room, priority

class RoomListsTest : public ::testing::Test {
protected:
    void SetUp() override {
        t.glo().CommonTypeRoomCode = Common;
        FileUse r(t.store(), FileId::Room), s(t.store(), FileId::Science);
        for (auto [code, type] : std::vector<std::pair<Long, Long>>{
                 {101, Common}, {102, Common}, {201, Physics}, {202, Physics}, {301, Lab}}) {
            ASSERT_TRUE(t.put(Room{.ObjectType = ObjectType::Room, .RoomCode = code,
                                   .RoomTypePtr = type, .RoomNo = QString::number(code)}).rowId);
        }
        addScience(Maths, "Математика", 0, 0);
        addScience(PhysicsSubject, "Физика", Physics, Lab);
        addScience(Chemistry, "Химия", Lab, 0);
    }

    void addScience(Short code, const char* name, Short main, Short additional) {
        ASSERT_TRUE(t.put(Science{.ObjectType = ObjectType::Science, .ScienceCode = code,
                                  .Science = QString::fromUtf8(name), .MainRoomTypeCode = main,
                                  .AdditionalRoomTypeCode = additional}).rowId);
    }

    Short addTeacher(const char* name, Short mainRoom, Short additionalRoom) {
        FileUse use(t.store(), FileId::Teacher);
        auto tch = t.dict().access<Teacher>();
        Teacher x = tch.prime();
        x.ObjectType = ObjectType::Teacher;
        x.TeacherName = QString::fromUtf8(name);
        x.MainRoomCode = mainRoom;
        x.AdditionalRoomCode = additionalRoom;
        EXPECT_TRUE(tch.insert(x));
        return x.TeacherCode;
    }

    void addLesson(Short teacher, Short science) {
        FileUse use(t.store(), FileId::Schedule);
        ASSERT_TRUE(t.put(Schedule{.LessonNo = {}, .ScienceCode = science, .TeacherCode = teacher,
                                   .GroupCode = 1}).rowId);
    }

    void addEntry(Short teacher, Short science, Short room, Short priority) {
        FileUse use(t.store(), FileId::RoomList);
        ASSERT_TRUE(t.put(RoomList{.TeacherCode = teacher, .ScienceCode = science, .RoomCode = room,
                                   .Priority = priority}).rowId);
    }

    /// The list of a teacher and subject in the order the engine reads it.
    std::vector<Entry> list(Short teacher, Short science) {
        FileUse use(t.store(), FileId::RoomList);
        RoomList from;
        from.TeacherCode = teacher;
        from.ScienceCode = science;
        std::vector<Entry> out;
        for (const RoomList& r :
             t.dict().access<RoomList>().read(RoomList::TeacherScienceKey, from, 2))
            out.emplace_back(r.RoomCode, r.Priority);
        return out;
    }

    std::vector<Entry> build(Short teacher, Short science) {
        const size_t before = list(teacher, science).size();
        int added = -1;
        EXPECT_TRUE(BuildTeacherRoomList(t.dict(), teacher, science, RoomListMode::Shared, &added));
        auto l = list(teacher, science);
        EXPECT_EQ(added, static_cast<int>(l.size() - before));
        return l;
    }

    TestFolder t;
};

} // namespace

TEST_F(RoomListsTest, OwnRoomsTakePrioritiesTenToForty) {
    const Short mainOnly = addTeacher("Иванова А.П.", 101, 0);
    const Short both = addTeacher("Петров С.И.", 101, 102);
    const Short additionalOnly = addTeacher("Сидоров К.Л.", 0, 102);

    EXPECT_EQ(build(mainOnly, Maths), (std::vector<Entry>{{101, 10}}));
    EXPECT_EQ(build(both, Maths), (std::vector<Entry>{{101, 20}, {102, 30}}));
    // No main room: the additional room first, then the common rooms (102 is there already
    // and is skipped without a message).
    EXPECT_EQ(build(additionalOnly, Maths), (std::vector<Entry>{{102, 40}, {101, 70}}));
    EXPECT_TRUE(t.ui.shown.isEmpty());
    EXPECT_EQ(t.ui.busyDepth, 0);
}

TEST_F(RoomListsTest, RoomsByTypeOnlyWithoutMainRoom) {
    const Short none = addTeacher("Белов Д.Д.", 0, 0);
    // Physics: every physics room with 50, every laboratory with 60, no common rooms.
    EXPECT_EQ(build(none, PhysicsSubject), (std::vector<Entry>{{201, 50}, {202, 50}, {301, 60}}));
    // Chemistry, with a main type and no additional type.
    EXPECT_EQ(build(none, Chemistry), (std::vector<Entry>{{301, 50}}));

    // A teacher without own rooms teaching a subject without room types gets every room of
    // the common type with 70.
    EXPECT_EQ(build(none, Maths), (std::vector<Entry>{{101, 70}, {102, 70}}));

    // A teacher with a main room gets no rooms by type at all, whatever the subject.
    const Short physicist = addTeacher("Орлов В.В.", 201, 0);
    EXPECT_EQ(build(physicist, PhysicsSubject), (std::vector<Entry>{{201, 10}}));
    EXPECT_EQ(build(physicist, Maths), (std::vector<Entry>{{201, 10}}));
}

TEST_F(RoomListsTest, UnsuitableOwnRoomsGiveAnEmptyList) {
    // A common main room does not suit chemistry (a laboratory subject): empty list.
    const Short teacher = addTeacher("Зайцева Н.М.", 101, 0);
    EXPECT_TRUE(build(teacher, Chemistry).empty());

    // The additional room is checked on its own: the laboratory suits physics through the
    // subject's additional type, the common main room does not.
    const Short two = addTeacher("Карпов Е.А.", 102, 301);
    EXPECT_EQ(build(two, PhysicsSubject), (std::vector<Entry>{{301, 30}}));

    // A room code that names no room is never listed.
    const Short ghost = addTeacher("Лебедев О.Р.", 999, 0);
    EXPECT_TRUE(build(ghost, Maths).empty());
}

TEST_F(RoomListsTest, BuildAppendsAndSkipsRoomsAlreadyListed) {
    const Short teacher = addTeacher("Морозова Т.Г.", 0, 0);
    addEntry(teacher, Maths, 101, 5); // chosen by hand
    EXPECT_EQ(build(teacher, Maths), (std::vector<Entry>{{101, 5}, {102, 70}}));
    EXPECT_TRUE(t.ui.shown.isEmpty());
}

TEST_F(RoomListsTest, DeleteTouchesOnlyThatTeacherAndSubject) {
    const Short a = addTeacher("Волков И.И.", 0, 0);
    const Short b = addTeacher("Гусев П.П.", 0, 0);
    build(a, Maths);
    build(a, PhysicsSubject);
    build(b, Maths);
    ASSERT_TRUE(DeleteTeacherRoomList(t.dict(), a, Maths));
    EXPECT_TRUE(list(a, Maths).empty());
    EXPECT_EQ(list(a, PhysicsSubject).size(), 3u);
    EXPECT_EQ(list(b, Maths).size(), 2u);
}

TEST_F(RoomListsTest, UpdateRebuildsTheSubjectsOfTheTeachersLessons) {
    const Short teacher = addTeacher("Смирнов А.А.", 0, 0);
    addLesson(teacher, PhysicsSubject);
    addLesson(teacher, PhysicsSubject);
    addLesson(teacher, Maths);
    addEntry(teacher, PhysicsSubject, 102, 1); // a hand entry that the rule replaces
    addEntry(teacher, Chemistry, 301, 1);      // a subject without lessons stays as it is

    ASSERT_TRUE(UpdateTeacherRoomLists(t.dict(), teacher));
    EXPECT_EQ(list(teacher, PhysicsSubject), (std::vector<Entry>{{201, 50}, {202, 50}, {301, 60}}));
    EXPECT_EQ(list(teacher, Maths), (std::vector<Entry>{{101, 70}, {102, 70}}));
    EXPECT_EQ(list(teacher, Chemistry), (std::vector<Entry>{{301, 1}}));

    // Running it again changes nothing.
    ASSERT_TRUE(UpdateTeacherRoomLists(t.dict(), teacher));
    EXPECT_EQ(list(teacher, PhysicsSubject).size(), 3u);
    EXPECT_EQ(list(teacher, Maths).size(), 2u);
}

TEST_F(RoomListsTest, UpdateAllRunsOverEveryTeacherWithProgress) {
    const Short a = addTeacher("Яковлев Б.Б.", 0, 0);
    const Short b = addTeacher("Абрамов В.В.", 201, 0);
    addLesson(a, Maths);
    addLesson(b, PhysicsSubject);

    ASSERT_TRUE(UpdateAllTeacherRoomLists(t.dict()));
    EXPECT_EQ(t.progress.captions,
              QStringList{QString::fromUtf8("Формирование списков кабинетов")});
    EXPECT_EQ(t.progress.lastPercent, 100);
    EXPECT_EQ(t.progress.finished, 1);
    EXPECT_EQ(list(a, Maths).size(), 2u);
    EXPECT_EQ(list(b, PhysicsSubject), (std::vector<Entry>{{201, 10}}));
}

TEST_F(RoomListsTest, CancelledUpdateAllKeepsTheTeachersDone) {
    // Name order: Абрамов first, then Яковлев.
    const Short late = addTeacher("Яковлев Б.Б.", 0, 0);
    const Short early = addTeacher("Абрамов В.В.", 0, 0);
    addLesson(late, Maths);
    addLesson(early, Maths);
    t.progress.cancelAfter = 1;

    const Outcome o = UpdateAllTeacherRoomLists(t.dict());
    EXPECT_EQ(o.status, Outcome::Status::Refused);
    EXPECT_EQ(list(early, Maths).size(), 2u);
    EXPECT_TRUE(list(late, Maths).empty());
    EXPECT_EQ(t.progress.finished, 1);
    EXPECT_TRUE(t.ui.shown.isEmpty());
}

TEST_F(RoomListsTest, OnlyAChangeOfTheTeachersRoomsAsksForARebuild) {
    Teacher before;
    before.TeacherCode = 1;
    before.TableNo = 5;
    before.MainRoomCode = 101;
    Teacher after = before;
    after.TableNo = 6;
    after.TeacherName = QString::fromUtf8("Новое Имя");
    EXPECT_FALSE(TeacherRoomsChanged(before, after));
    after.AdditionalRoomCode = 102;
    EXPECT_TRUE(TeacherRoomsChanged(before, after));
    after = before;
    after.MainRoomCode = 0;
    EXPECT_TRUE(TeacherRoomsChanged(before, after));
}

TEST_F(RoomListsTest, ALockedRoomListIsReportedAndNothingIsWritten) {
    const Short teacher = addTeacher("Титов Р.Р.", 0, 0);
    // Another writer holds ROOMLIST for the whole attempt.
    Transaction other(t.store(), {FileId::RoomList});
    ASSERT_TRUE(other.active());
    const Outcome o = BuildTeacherRoomList(t.dict(), teacher, Maths);
    EXPECT_FALSE(o.ok());
    ASSERT_EQ(t.ui.shown.size(), 1);
    EXPECT_EQ(t.ui.shown[0].caption, QString::fromUtf8("Транзакция отменена"));
    other.rollback();
    EXPECT_TRUE(list(teacher, Maths).empty());
}
