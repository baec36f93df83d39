// The overviews: which rows they show, what makes a slot busy, and the two forms' texts.

#include "../../../testsupport/TestApplication.h"
#include "../../engine/tests/School.h"

#include "pivrel/timetable/Overviews.h"
#include "tamsel/Events.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QTableView>
#include <gtest/gtest.h>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace tamsel;
using namespace pivrel;
using namespace enginetest;

namespace {

using testsupport::app;

/// Two days of three lessons; Иванова (1) teaches 5-А (1) and 5-Б (2); Петров (2) 5-А only.
/// English splits into two language subgroups, labs into two lab subgroups.
struct Fixture {
    TestFolder t;
    School s;

    explicit Fixture(short weeks = 1) : s(t, 2, 3, weeks) {
        s.subgroupType(1, 2);
        s.subgroupType(2, 2);
        s.science(1, u("Математика"));
        s.science(2, u("Английский"), 0, 1);
        s.science(3, u("Физика лаб."), 0, 2);
        s.teacher(1, u("Иванова"));
        s.teacher(2, u("Петров"));
        s.group(1, u("5"), u("А"));
        s.group(2, u("5"), u("Б"));
        s.room(1, u("101"));
        s.lesson(1, 1, 1, 1, 0, 0, 0, 1, 1, 1, u("1"));
        s.lesson(2, 1, 1, 2, 0, 0, 0, 1, 1, 2, u("2"));
        s.lesson(3, 2, 2, 1, 1, 0, 0, 1, 1, 1, u("3"));
        s.lesson(4, 3, 1, 1, 2, 0, 0, 1, 1, 2, u("3"));
        s.lesson(5, 1, 0, 1, 0, 0, 0, 0, 1, 2, u("1")); // no teacher: the group is not busy
        s.restrict(ObjectType::Group, 1, 1, 2, u("1"), 2);
        s.restrict(ObjectType::Group, 1, 1, 1, u("2"), 1);
    }
};

} // namespace

TEST(OverviewRows, RowsAndBusySlotsByMode) {
    Fixture f;
    OverviewRows o(f.t.dict());
    o.build();
    o.setObject(OverviewMode::TeacherGroups, 1);
    o.refresh();
    EXPECT_EQ(o.title(), u("Обзор расписания групп, где работает Иванова"));
    ASSERT_EQ(o.rows().size(), 2u);
    EXPECT_EQ(o.rows()[0].label, u("5-А"));
    // 5-А: Monday 1 busy, 2 undesirable, 3 busy (English /1); Tuesday 1 forbidden (the lesson
    // there has no teacher), 2 free, 3 busy (labs /2).
    EXPECT_EQ(o.dayLines(0).value(0), QString(QChar(0x7F)) + u("!") + QChar(0x7F));
    EXPECT_EQ(o.dayLines(1).value(0), u("x") + QChar(0x2022) + QChar(0x7F));

    o.setObject(OverviewMode::GroupTeachers, 1);
    o.refresh();
    EXPECT_EQ(o.title(), u("Обзор расписания учителей, работающих в группе 5-А"));
    ASSERT_EQ(o.rows().size(), 2u); // the lesson without a teacher brings no row
    EXPECT_EQ(o.rows()[0].label, u("Иванова"));
    EXPECT_EQ(o.rows()[1].label, u("Петров"));

    // Subgroup rows of both types; a subgroup is busy only with its own lessons of its type.
    o.setObject(OverviewMode::Course, 0, u("5"), true);
    o.refresh();
    EXPECT_EQ(o.title(), u("Обзор расписания групп 5 курса"));
    QStringList labels;
    for (const OverviewRow& r : o.rows())
        labels << r.label;
    EXPECT_EQ(labels,
              (QStringList{u("5-А"), u("5-А/1"), u("5-А/2"), u("5-А/1"), u("5-А/2"), u("5-Б")}));
    const OverviewRow& english2 = o.rows()[2];
    EXPECT_EQ(o.mark(english2, 1, 0, 2), SlotMark::Free); // English /1 is not /2's
    EXPECT_EQ(o.mark(english2, 1, 0, 0), SlotMark::Busy); // a whole-group lesson is
    EXPECT_EQ(o.mark(o.rows()[1], 1, 0, 2), SlotMark::Busy);
}

TEST(OverviewRows, TwoWeeksGiveAnEmptyLineBetweenTheWeeksOfARow) {
    Fixture f(2);
    OverviewRows o(f.t.dict());
    o.build();
    o.setObject(OverviewMode::GroupTeachers, 1);
    o.refresh();
    const QString busy(QChar(0x7F)), free(QChar(0x2022));
    // Иванова on Monday: lesson 1 busy in week 1, nothing in week 2.
    EXPECT_EQ(o.dayText(0).section(QLatin1Char('|'), 0, 2),
              busy + free + free + u("||") + free + free + free);
}

TEST(OverviewWindows, BothFormsShowTheRowsAndFollowTheFrame) {
    app();
    Fixture f;
    ColorOverview colour(f.t.dict(), QString());
    EXPECT_EQ(colour.windowTitle(), u("Обзор расписания групп, где работает Иванова"));
    EXPECT_EQ(colour.table()->model()->rowCount(), 2);
    EXPECT_EQ(colour.table()->verticalHeader()->defaultSectionSize() - 1, 10); // one week
    EXPECT_TRUE(colour.showSubgroups()->isVisibleTo(&colour));
    colour.showSubgroups()->setChecked(true);
    EXPECT_EQ(colour.table()->model()->rowCount(), 6);
    // What a bar says, in words.
    EXPECT_EQ(colour.table()->model()->index(0, 1).data(Qt::AccessibleTextRole).toString(),
              u("1 запрещено, 2 свободен, 3 занят"));
    ASSERT_TRUE(colour.showObject(ObjectType::Group, 1));
    EXPECT_FALSE(colour.showSubgroups()->isVisibleTo(&colour));

    Overview text(f.t.dict(), QStringLiteral("Small"));
    EXPECT_EQ(text.tabs()->count(), 2);
    ASSERT_TRUE(text.showObject(ObjectType::Group, 1));
    EXPECT_EQ(text.table()->model()->rowCount(), 2);
    EXPECT_EQ(text.table()->model()->headerData(1, Qt::Vertical).toString(), u("Петров"));
    EXPECT_EQ(text.table()->model()->index(0, 0).data().toString(),
              QString(QChar(0x2588)) + QChar(0x2022) + QChar(0x2022));

    // A placement elsewhere shows after the refresh event.
    Schedule moved = f.t.dict().access<Schedule>().all(Schedule::TeacherKey).back();
    moved.Week = 1;
    moved.DaySeqNumber = 2;
    moved.LessonNo = u("2");
    ASSERT_TRUE(f.t.dict().access<Schedule>().update(moved).ok());
    QEvent refresh(static_cast<QEvent::Type>(UserEvent::Refresh));
    QCoreApplication::sendEvent(&text, &refresh);
    EXPECT_NE(text.table()->model()->index(1, 1).data().toString(), QString());
}
