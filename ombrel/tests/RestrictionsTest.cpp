// The restrictions editor driven as the officer drives it, and what the placement makes of it.

#include "PlanSchool.h"

#include "ombrel/windows/TimeRestrictions.h"

#include "pivrel/engine/AutoPlacement.h"
#include "tamsel/TestFolder.h"
#include "tamsel/widgets/Appearance.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QSpinBox>
#include <QTableView>
#include <gtest/gtest.h>

using namespace tamsel;
using namespace ombrel;
using pivrel::GridCell;

using plantest::app;
using plantest::u;

namespace {

/// Three days of four lessons; teachers Иванова (1) and Петров (2), group 5-А (1), room 101.
struct School {
    TestFolder t;
    std::vector<std::unique_ptr<FileUse>> files;

    explicit School(short weeks) {
        for (int i = 0; i < PhysicalFileCount; ++i)
            files.push_back(std::make_unique<FileUse>(t.store(), static_cast<FileId>(i)));
        auto& glo = t.glo();
        glo.WeeksInCycle = weeks;
        glo.NoRestrictionColor = StandardColor::NoRestriction;
        glo.WeakRestrictionColor = StandardColor::WeakRestriction;
        glo.DontUseRestrictionColor = StandardColor::DontUseRestriction;
        glo.HeavyRestrictionColor = StandardColor::HeavyRestriction;
        const char* days[] = {"Понедельник", "Вторник", "Среда"};
        for (int d = 1; d <= 3; ++d) {
            t.put(Days{.DaySeqNumber = static_cast<Short>(d), .DayName = u(days[d - 1])});
        }
        for (int l = 1; l <= 4; ++l) {
            t.put(LessonBell{.LessonNo = QString::number(l)});
        }
        for (int i = 1; i <= 2; ++i) {
            t.put(Teacher{.ObjectType = ObjectType::Teacher, .TeacherCode = static_cast<Short>(i),
                          .TableNo = static_cast<Short>(i),
                          .TeacherName = i == 1 ? u("Иванова") : u("Петров")});
        }
        t.put(Group{.ObjectType = ObjectType::Group, .GroupCode = 1, .Course = u("5"),
                    .Defis = u("-"), .Literal = u("А")});
        t.put(Room{.ObjectType = ObjectType::Room, .RoomCode = 1, .RoomNo = u("101")});
        t.put(Science{.ObjectType = ObjectType::Science, .ScienceCode = 1,
                      .Science = u("Математика")});
    }
    Short level(Short type, Short code, Short week, Short day, const QString& lesson,
                bool* found = nullptr) {
        Restriction k;
        k.ObjectType = type;
        k.ObjectCode = code;
        k.Week = week;
        k.DaySeqNumber = day;
        k.LessonNo = lesson;
        return t.dict().access<Restriction>().fetch(Restriction::ObjectIdKey, k, found).Restriction;
    }
};

void choose(QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions())
        if (a->text() == text) {
            a->trigger();
            return;
        }
    ADD_FAILURE() << "no menu item " << text.toStdString();
}

QColor colourOf(QTableView* v, int row, int column) {
    return v->model()->index(row, column).data(Qt::BackgroundRole).value<QBrush>().color();
}

} // namespace

TEST(TimeRestrictionsWindow, WeekBlocksAndTheWeekSpinBoxEditTheirOwnWeek) {
    app();
    {
        School s(2);
        s.t.glo().AllWeeksShow = 1;
        TimeRestrictions w(s.t.dict());
        EXPECT_EQ(w.windowTitle(), u("Требования к расписанию ..."));
        ASSERT_EQ(w.blockViews().size(), 2u);
        EXPECT_EQ(w.weekCaptions(), QStringList{u("2-я неделя")});
        EXPECT_FALSE(w.weekSpin()->isVisibleTo(&w));
        std::unique_ptr<QMenu> m(w.marksMenu({GridCell{1, 2, 3}}, &w));
        choose(m.get(), u("Не желательно"));
        EXPECT_EQ(s.level(ObjectType::Teacher, 1, 2, 3, u("4")), 1);
        EXPECT_EQ(colourOf(w.blockViews()[1], 3, 2), colorOf(StandardColor::WeakRestriction));
        EXPECT_EQ(colourOf(w.blockViews()[0], 3, 2), colorOf(StandardColor::NoRestriction));
    }
    {
        School s(2);
        s.t.glo().AllWeeksShow = 0;
        TimeRestrictions w(s.t.dict());
        ASSERT_EQ(w.blockViews().size(), 1u);
        ASSERT_TRUE(w.weekSpin()->isVisibleTo(&w));
        w.weekSpin()->setValue(2);
        w.stepCell(GridCell{0, 0, 0});
        bool found = false;
        EXPECT_EQ(s.level(ObjectType::Teacher, 1, 2, 1, u("1"), &found), 1);
        EXPECT_TRUE(found);
        s.level(ObjectType::Teacher, 1, 1, 1, u("1"), &found);
        EXPECT_FALSE(found);
    }
}

TEST(TimeRestrictionsWindow, DoubleClicksStepAndHeadersMarkOneObjectsDayOrRow) {
    app();
    School s(1);
    TimeRestrictions w(s.t.dict());
    ASSERT_TRUE(w.tabs()->choose(ObjectType::Group, 1));
    for (int i = 0; i < 3; ++i)
        w.stepCell(GridCell{0, 1, 1});
    bool found = false;
    EXPECT_EQ(s.level(ObjectType::Group, 1, 1, 2, u("2"), &found), 0);
    EXPECT_TRUE(found); // back to "Без ограничений", stored as 0

    // The day header forbids that day of this group only.
    std::unique_ptr<QMenu> m(w.marksMenu(w.grid().dayCells(0, 0), &w));
    choose(m.get(), u("Уроки запрещены"));
    for (int l = 1; l <= 4; ++l)
        EXPECT_EQ(s.level(ObjectType::Group, 1, 1, 1, QString::number(l)), 2);
    s.level(ObjectType::Teacher, 1, 1, 1, u("1"), &found);
    EXPECT_FALSE(found);
    // A lesson row over every day.
    m.reset(w.marksMenu(w.grid().rowCells(0, 3), &w));
    choose(m.get(), u("Не желательно"));
    for (int d = 1; d <= 3; ++d)
        EXPECT_EQ(s.level(ObjectType::Group, 1, 1, d, u("4")), 1);

    // A stored value outside 0 to 2 shows as forbidden; subjects have their tab.
    ASSERT_TRUE(s.t.put(Restriction{.ObjectType = ObjectType::Science, .ObjectCode = 1, .Week = 1,
                                    .DaySeqNumber = 3, .LessonNo = u("2"),
                                    .Restriction = 7}).rowId);
    ASSERT_TRUE(w.tabs()->choose(ObjectType::Science, 1));
    EXPECT_EQ(colourOf(w.blockViews()[0], 1, 2), colorOf(StandardColor::DontUseRestriction));
    EXPECT_EQ(w.blockViews()[0]->model()->index(1, 2).data(Qt::AccessibleTextRole).toString(),
              u("Уроки запрещены"));
}

// What the officer marks is what the placement keeps to: Иванова's Monday forbidden, her four
// lessons all land on other days.
TEST(TimeRestrictionsWindow, TheAutomaticPlacementKeepsToAForbiddenDay) {
    app();
    School s(1);
    s.t.put(RoomList{.TeacherCode = 1, .ScienceCode = 1, .RoomCode = 1});
    for (int i = 0; i < 4; ++i)
        s.t.put(Schedule{.LessonNo = {}, .ScienceCode = 1, .TeacherCode = 1, .GroupCode = 1,
                         .TrainingCourseItemCode = 1});
    {
        TimeRestrictions w(s.t.dict());
        ASSERT_TRUE(w.tabs()->choose(ObjectType::Teacher, 1));
        std::unique_ptr<QMenu> m(w.marksMenu(w.grid().dayCells(0, 0), &w));
        choose(m.get(), u("Уроки запрещены"));
    }
    pivrel::RecordingRunHost host;
    s.t.ui.answers = {Yes, Yes, Yes};
    s.t.glo().ProcessingDisabled = 0;
    const pivrel::PlacementResult r =
        pivrel::AutoPlacement(s.t.dict()).run(pivrel::TaskKind::All, 0, host);
    EXPECT_EQ(r.placed, 4);
    for (const Schedule& e : s.t.dict().access<Schedule>().all(Schedule::TeacherKey)) {
        EXPECT_FALSE(e.isUnplaced());
        EXPECT_NE(e.DaySeqNumber, 1) << e.LessonNo.toStdString();
    }
}
