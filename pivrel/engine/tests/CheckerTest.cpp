// The independent timetable check finds each kind of broken rule, and lets the allowed
// sharings pass: a checker that cannot fail would prove nothing after the placements.

#include "School.h"
#include "TimetableChecker.h"

#include <gtest/gtest.h>

using namespace tamsel;
using namespace enginetest;

namespace {

struct Case {
    const char* rule;
    std::function<void(School&)> build;
};

QStringList problemsOf(const std::function<void(School&)>& build) {
    TestFolder t;
    School s(t, 2, 3);
    s.science(1, u("Математика"));
    s.science(2, u("Язык"), 0, 1);
    s.science(3, u("Труд"), 0, 2);
    s.science(4, u("Физика"), 0, 1);
    s.teacher(1, u("Иванова"));
    s.teacher(2, u("Петров"));
    s.group(1, u("10"), u("А"));
    s.group(2, u("10"), u("Б"));
    build(s);
    return checkTimetable(t.dict());
}

} // namespace

TEST(Checker, FindsEveryKindOfBrokenRule) {
    const std::vector<Case> broken{
        {"teacher twice in a cell",
         [](School& s) {
             s.lesson(1, 1, 1, 1, 0, 0, 0, 10, 1, 1, u("1"));
             s.lesson(2, 1, 1, 2, 0, 0, 0, 11, 1, 1, u("1"));
         }},
        {"room twice in a cell",
         [](School& s) {
             s.lesson(1, 1, 1, 1, 0, 0, 0, 10, 1, 1, u("1"));
             s.lesson(2, 1, 2, 2, 0, 0, 0, 10, 1, 1, u("1"));
         }},
        {"group twice in a cell", // the whole group beside a subgroup
         [](School& s) {
             s.lesson(1, 1, 1, 1, 0, 0, 0, 10, 1, 1, u("1"));
             s.lesson(2, 2, 2, 1, 1, 0, 0, 11, 1, 1, u("1"));
         }},
        {"group twice in a cell", // subgroups of two types
         [](School& s) {
             s.lesson(1, 2, 1, 1, 1, 0, 0, 10, 1, 1, u("1"));
             s.lesson(2, 3, 2, 1, 2, 0, 0, 11, 1, 1, u("1"));
         }},
        {"group twice in a cell", // the same subgroup twice
         [](School& s) {
             s.lesson(1, 2, 1, 1, 1, 0, 0, 10, 1, 1, u("1"));
             s.lesson(2, 4, 2, 1, 1, 0, 0, 11, 1, 1, u("1"));
         }},
        {"lesson in a forbidden cell",
         [](School& s) {
             s.restrict(ObjectType::Teacher, 1, 1, 2, u("3"), 2);
             s.lesson(1, 1, 1, 1, 0, 0, 0, 10, 1, 2, u("3"));
         }},
        {"lesson outside the timetable's cells",
         [](School& s) { s.lesson(1, 1, 1, 1, 0, 0, 0, 10, 1, 5, u("1")); }},
        {"link apart",
         [](School& s) {
             s.link(7, u("Связь"));
             s.lesson(1, 2, 1, 1, 1, 7, 0, 10, 1, 1, u("1"));
             s.lesson(2, 4, 2, 1, 2, 7, 0, 11, 1, 2, u("1"));
         }},
    };
    for (const Case& c : broken) {
        const QStringList problems = problemsOf(c.build);
        ASSERT_FALSE(problems.isEmpty()) << c.rule;
        EXPECT_TRUE(problems.first().startsWith(QString::fromLatin1(c.rule)))
            << c.rule << ": " << problems.join(QLatin1Char('\n')).toStdString();
    }

    const std::vector<Case> sound{
        {"subgroups of one type share the group's cell",
         [](School& s) {
             s.lesson(1, 2, 1, 1, 1, 0, 0, 10, 1, 1, u("1"));
             s.lesson(2, 4, 2, 1, 2, 0, 0, 11, 1, 1, u("1"));
         }},
        {"a lecture shares its teacher and room",
         [](School& s) {
             s.link(8, u("Лекция"), true);
             s.lesson(1, 1, 1, 1, 0, 8, 0, 10, 1, 1, u("1"));
             s.lesson(2, 1, 1, 2, 0, 8, 0, 10, 1, 1, u("1"));
         }},
        {"an undesirable cell is allowed",
         [](School& s) {
             s.restrict(ObjectType::Group, 1, 1, 1, u("1"), 1);
             s.lesson(1, 1, 1, 1, 0, 0, 0, 10, 1, 1, u("1"));
         }},
    };
    for (const Case& c : sound)
        EXPECT_TRUE(problemsOf(c.build).isEmpty()) << c.rule;
}

TEST(Checker, AMovedLessonAndALostOneAreFound) {
    TestFolder t;
    School s(t, 2, 3);
    const Schedule placed = s.lesson(1, 1, 1, 1, 0, 0, 0, 10, 1, 1, u("1"));
    s.lesson(1, 1, 1, 1);
    const TimetableBefore before = recordTimetable(t.dict());
    EXPECT_TRUE(checkTimetable(t.dict(), &before).isEmpty());
    Schedule moved = s.byRow(placed.rowId);
    moved.LessonNo = u("2");
    ASSERT_TRUE(t.dict().access<Schedule>().update(moved).ok());
    const QStringList problems = checkTimetable(t.dict(), &before);
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems.first().contains(u("placed before moved")));
    ASSERT_TRUE(t.dict().access<Schedule>().remove(moved).ok());
    EXPECT_TRUE(checkTimetable(t.dict(), &before).join(u("|")).contains(u("changed in number")));
}
