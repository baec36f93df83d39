// What would let an unplaced lesson in, on a school of four cells where each lesson left is
// kept out for another reason: a movable lesson in its only open cell (next to a cell where a
// move alone would not do), a pinned one, a teacher forbidden everywhere, a room list taken
// everywhere. Carrying out the move places the lesson and keeps every rule by the independent
// checker, once a lesson that made it fail meanwhile (refused, nothing written) is gone.

#include "School.h"
#include "TimetableChecker.h"

#include "pivrel/engine/PlacementSuggestions.h"
#include "pivrel/engine/UnplacedReasons.h"

#include <gtest/gtest.h>
#include <map>

using namespace tamsel;
using namespace pivrel;
using namespace enginetest;

TEST(PlacementSuggestions, EachCauseGetsItsProvedChangeAndTheMoveIsCarriedOut) {
    TestFolder t;
    School s(t, 2, 2); // пн 1, пн 2, вт 1, вт 2
    s.science(1, u("Математика"));
    s.science(2, u("Физика"));
    s.science(3, u("Русский"));
    const char* teachers[] = {"Иванова И.И.", "Петров П.П.", "Сидоров С.С.",
                              "Орлова О.О.",  "Зуев З.З.",   "Белова Б.Б."};
    for (Short c = 1; c <= 6; ++c)
        s.teacher(c, u(teachers[c - 1]));
    for (Short g = 1; g <= 7; ++g)
        s.group(g, u("5"), QString(QChar(0x0410 + g - 1))); // 5-А … 5-Ж
    for (Long r = 1; r <= 5; ++r)
        s.room(r, QString::number(100 + r));
    // Teacher, subject, the one room of the list.
    for (const auto& [teacher, science, room] : {std::tuple{1, 1, 3}, {2, 1, 4}, {3, 1, 5},
                                                 {4, 2, 1}, {5, 3, 1}, {6, 3, 2}})
        s.roomList(Short(teacher), Short(science), Short(room), 10);
    const QString l1 = u("1"), l2 = u("2");
    const Short no = RestrictionLevel::Forbidden;
    using Cells = std::vector<std::pair<Short, QString>>;
    const Cells all{{1, l1}, {1, l2}, {2, l1}, {2, l2}};
    auto pin = [&](Schedule x) {
        x.Pinned = 1;
        t.dict().access<Schedule>().update(x);
    };

    // (a) 5-А Математика: only пн 1 is open, where Иванова teaches 5-Б (free on вт 1). On
    // пн 2 a 5-А lesson that could move stands where Иванова is forbidden: no move helps there.
    const Schedule math = s.lesson(1, 1, 1, 1);
    const Schedule inTheWay = s.lesson(2, 1, 1, 2, 0, 0, 0, 3, 1, 1, l1);
    s.lesson(3, 3, 6, 1, 0, 0, 0, 2, 1, 1, l2);
    s.restrict(ObjectType::Teacher, 1, 1, 1, l2, no);
    s.restrict(ObjectType::Group, 1, 1, 2, l1, no);
    s.restrict(ObjectType::Group, 1, 1, 2, l2, no);
    // (a') 5-В the same, but the lesson in the way is pinned.
    s.lesson(4, 1, 2, 3);
    pin(s.lesson(5, 1, 2, 4, 0, 0, 0, 4, 1, 1, l1));
    for (const auto& [day, lesson] : Cells{{1, l2}, {2, l1}, {2, l2}})
        s.restrict(ObjectType::Group, 3, 1, day, lesson, no);
    // (b) Сидоров is forbidden in every cell.
    const Schedule forbidden = s.lesson(6, 1, 3, 5);
    for (const auto& [day, lesson] : all)
        s.restrict(ObjectType::Teacher, 3, 1, day, lesson, no);
    // (c) Орлова's only room 101 is taken by pinned lessons in every cell.
    const Schedule roomless = s.lesson(7, 2, 4, 6);
    for (const auto& [day, lesson] : all)
        pin(s.lesson(8, 3, 5, 7, 0, 0, 0, 1, 1, day, lesson));

    const std::vector<UnplacedLesson> why = ExplainUnplaced(t.dict());
    std::map<QString, QStringList> said; // as the reasons lines end
    for (const UnplacedLesson& l : why) {
        const QStringList lines = unplacedReasonLines(l);
        const qsizetype block = lines.indexOf(u("  Что можно сделать:"));
        for (qsizetype i = block + 1; block >= 0 && i < lines.size(); ++i)
            said[l.name] << lines[i].trimmed();
    }
    EXPECT_EQ(said[u("5-А Математика (Иванова И.И.)")],
              (QStringList{u("Переставить «5-Б Математика (Иванова И.И.)» с пн 1 на вт 1 — "
                             "тогда урок встанет на пн 1"),
                           u("Снять запрет группы 5-А на вт 1 — тогда урок встанет туда"),
                           u("Снять запрет группы 5-А на вт 2 — тогда урок встанет туда")}));
    EXPECT_FALSE(said[u("5-В Математика (Петров П.П.)")].join(u("|")).contains(u("Переставить")));
    EXPECT_EQ(said[u("5-Д Математика (Сидоров С.С.)")].value(0),
              u("Снять запрет учителя Сидоров С.С. на пн 1 — тогда урок встанет туда"));
    EXPECT_EQ(said[u("5-Е Физика (Орлова О.О.)")].value(0),
              u("Добавить кабинет 102 в список кабинетов Орлова О.О. по предмету Физика — "
                "тогда урок встанет на пн 1"));

    auto first = [&](const Schedule& lesson) {
        for (const UnplacedLesson& l : why)
            if (l.lesson.rowId == lesson.rowId && !l.suggestions.empty()) return l.suggestions[0];
        ADD_FAILURE() << "no suggestion";
        return PlacementSuggestion{};
    };
    const PlacementSuggestion move = first(math);
    // 5-Б gets a lesson on вт 1 meanwhile: the move no longer holds, and nothing is written.
    const Schedule late = s.lesson(9, 3, 6, 2, 0, 0, 0, 2, 1, 2, l1);
    const QByteArray bytes = s.scheduleBytes();
    EXPECT_TRUE(ApplyPlacementSuggestion(t.dict(), move).contains(u("Ничего не изменено")));
    EXPECT_TRUE(s.scheduleBytes() == bytes);
    // Once it is gone, carried out: the lesson in, the other moved, every rule kept, one step.
    t.dict().access<Schedule>().remove(late);
    EXPECT_EQ(ApplyPlacementSuggestion(t.dict(), move), QString());
    const Schedule placed = s.byRow(math.rowId), moved = s.byRow(inTheWay.rowId);
    EXPECT_EQ(std::tuple(placed.DaySeqNumber, placed.LessonNo, placed.RoomCode),
              std::tuple(Short(1), l1, Long(3)));
    EXPECT_EQ(std::tuple(moved.DaySeqNumber, moved.LessonNo, moved.RoomCode),
              std::tuple(Short(2), l1, Long(3)));
    EXPECT_TRUE(sound(checkTimetable(t.dict())));
    EXPECT_EQ(t.dict().history().undoCount(), 1);
    // The data edits too: the forbidden time goes, the room joins the list, each lesson is in.
    EXPECT_EQ(ApplyPlacementSuggestion(t.dict(), first(forbidden)), QString());
    EXPECT_EQ(ApplyPlacementSuggestion(t.dict(), first(roomless)), QString());
    EXPECT_EQ(s.byRow(forbidden.rowId).LessonNo, l1);
    EXPECT_EQ(s.byRow(roomless.rowId).RoomCode, Long(2));
    const RoomList added{.TeacherCode = 4, .ScienceCode = 2, .RoomCode = 2};
    EXPECT_TRUE(t.dict().access<RoomList>().exists(RoomList::TeacherScienceRoomCode, added));
    EXPECT_TRUE(sound(checkTimetable(t.dict())));
    // The room and the lesson are one step: undone together.
    ASSERT_EQ(t.dict().history().undo(t.dict()), EditHistory::Result::Done);
    EXPECT_TRUE(s.byRow(roomless.rowId).isUnplaced());
    EXPECT_FALSE(t.dict().access<RoomList>().exists(RoomList::TeacherScienceRoomCode, added));
}

// The unplaced lessons window asks for one lesson, but speaks for its kind: two lessons left
// for one cell are two hours, and the suggestions are looked for as in the lists.
TEST(PlacementSuggestions, TheWindowsLessonCountsTheLessonsOfItsKind) {
    TestFolder t;
    School s(t, 1, 1);
    s.science(1, u("Математика"));
    s.teacher(1, u("Иванова И.И."));
    s.group(1, u("5"), u("А"));
    s.room(1, u("101"));
    s.roomList(1, 1, 1, 10);
    const Schedule first = s.lesson(1, 1, 1, 1);
    s.lesson(1, 1, 1, 1);
    const UnplacedLesson l = ExplainUnplacedLesson(t.dict(), first);
    EXPECT_EQ(l.count, 2);
    EXPECT_EQ(unplacedReasonLines(l).value(0), u("5-А Математика (Иванова И.И.): 2 ч. не расставлено"));
}
