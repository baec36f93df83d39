// The document windows used in the frame: the timetable analysis, the comparison with an
// archived timetable and the substitutions, each opened from the menu, read through its views
// and followed into the lesson grid.

#include "TogetherSchool.h"

#include "hestor/Archive.h"
#include "hestor/windows/ArcSched.h"
#include "hestor/windows/CompareSchedulesWindow.h"
#include "hestor/windows/SubstitutionsWindow.h"
#include "pivrel/timetable/PivrelLessons.h"
#include "pivrel/timetable/TimetableAnalysis.h"

#include <QAccessible>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace korvel;
using namespace korvel::scenario;
using namespace tamsel;

// "Анализ расписания" from the menu: the summary counts what the timetable holds, a double
// click on a teacher's row opens the lesson grid at that teacher's day with the window, and a
// change elsewhere reaches the window through the frame's relay.
TEST(Together, TheAnalysisCountsWindowsAndShowsARowInTheGrid) {
    TestFolder t;
    School school(t);
    t.put(LessonBell{.LessonNo = QStringLiteral("3")});
    // Tuesday: Иванова teaches 5-А mathematics in bells 1 and 3 — a window for both, a repeat.
    school.lesson(1, 1, 1, 2, "1", 1);
    school.lesson(1, 1, 1, 2, "3", 1);
    inFrame(t.dict(), [&](MainFrame& f) {
        item(f, "TimetableAnalysis")->trigger();
        settle();
        const Short open = t.dict().windows.findOpen(QStringLiteral("TimetableAnalysis"));
        auto* analysis = qobject_cast<pivrel::TimetableAnalysis*>(t.dict().windows.window(open));
        ASSERT_TRUE(analysis);
        EXPECT_EQ(analysis->summary()->text(),
                  s("Окна учителей: 1 ч. (у 1 учителя), окна групп: 1 ч., неравномерных групп: 0, "
                    "повторов предметов: 1."));
        QTableView* teachers = analysis->view(0);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(teachers)->text(QAccessible::Name),
                  s("Окна учителей"));
        ASSERT_EQ(teachers->model()->rowCount(), 1); // Петров has no lesson placed yet
        const QModelIndex first = teachers->model()->index(0, 0);
        EXPECT_EQ(first.data().toString(), s("Иванова"));
        doubleClick(teachers->viewport(), teachers->visualRect(first).center());
        settle();
        ASSERT_TRUE(t.dict().windows.findOpen(QStringLiteral("PivrelLessons")));
        EXPECT_EQ(t.glo().ScheduleRecord.TeacherCode, 1);
        EXPECT_EQ(t.glo().ScheduleRecord.DaySeqNumber, 2);

        // Петров's lesson fills 5-А's free bell; the grid's refresh reaches the analysis.
        school.lesson(2, 2, 1, 2, "2", 2);
        t.dict().windows.postToFrame(UserEvent::Refresh);
        settle();
        EXPECT_TRUE(analysis->summary()->text().contains(s("окна групп: 0 ч.")))
            << analysis->summary()->text().toStdString();
    });
}

// The comparison from the service menu: the lesson moved since the timetable was archived, by
// group and by teacher, compared again when a lesson moves; a double click shows it in the grid.
TEST(Together, TheComparisonWithTheArchiveShowsTheMovesAndGoesToTheLesson) {
    TestFolder t;
    School school(t);
    school.files.clear(); // the archive copies files that no window holds
    auto move = [&](RowId id, Short day, const char* no) {
        FileUse use(t.store(), FileId::Schedule);
        Schedule l = school.stored(id);
        l.DaySeqNumber = day;
        l.LessonNo = QString::fromLatin1(no);
        ASSERT_TRUE(t.dict().access<Schedule>().update(l).ok());
    };
    {
        Archive rec;
        rec.BriefDescription = s("до замены");
        ASSERT_TRUE(hestor::BackupSchedule(t.dict(), rec));
        FileUse use(t.store(), FileId::Archive);
        ASSERT_TRUE(t.dict().access<Archive>().insert(rec).ok());
    }
    move(school.mathA, 2, "2");
    inFrame(t.dict(), [&](MainFrame& f) {
        item(f, "CompareSchedules")->trigger();
        settle();
        auto* w = qobject_cast<hestor::CompareSchedulesWindow*>(
            t.dict().windows.window(t.dict().windows.findOpen(s("CompareSchedules"))));
        ASSERT_TRUE(w);
        QTreeWidget* view = w->changes();
        EXPECT_EQ(view->accessibleName(), s("Изменения в расписании"));
        auto shown = [&] {
            QStringList out;
            for (int i = 0; i < view->topLevelItemCount(); ++i) {
                out << view->topLevelItem(i)->text(0);
                for (int k = 0; k < view->topLevelItem(i)->childCount(); ++k) {
                    const QTreeWidgetItem* c = view->topLevelItem(i)->child(k);
                    out << c->text(0) + " | " + c->text(1) + " | " + c->text(2) + " | " +
                               c->text(3);
                }
            }
            return out;
        };
        EXPECT_EQ(shown(),
                  QStringList({s("5-А"), s("Математика, 5-А, Иванова | перемещен | пн 1 | вт 2")}));
        EXPECT_EQ(w->summary()->text(), s("«до замены» → текущее расписание. Итог: перемещено: 1, "
                                          "сменили кабинет: 0, добавлено: 0, снято: 0."));
        move(school.mathB, 2, "1");
        t.dict().windows.postToFrame(UserEvent::Refresh);
        settle();
        w->byTeacher()->click();
        EXPECT_EQ(shown(), QStringList({s("Иванова"),
                                        s("Математика, 5-А, Иванова | перемещен | пн 1 | вт 2"),
                                        s("Математика, 5-Б, Иванова | перемещен | пн 2 | вт 1")}));

        QTreeWidgetItem* moved = view->topLevelItem(0)->child(1);
        doubleClick(view->viewport(), view->visualItemRect(moved).center());
        settle();
        auto* grid = qobject_cast<pivrel::PivrelLessons*>(
            t.dict().windows.window(t.dict().windows.findOpen(s("PivrelLessons"))));
        ASSERT_TRUE(grid) << "no lesson grid opened";
        EXPECT_EQ(t.glo().ScheduleRecord.rowId, school.mathB);
        EXPECT_EQ(grid->grid().objectCode(),
                  grid->grid().objectType() == ObjectType::Teacher ? 1 : 2);

        // The archive's own button compares the selected snapshot with the current timetable.
        auto* archive = qobject_cast<hestor::ArcSched*>(f.startProcedure(s("ArcSched")));
        ASSERT_TRUE(archive);
        auto* fromArchive =
            qobject_cast<hestor::CompareSchedulesWindow*>(archive->compareWithCurrent());
        ASSERT_TRUE(fromArchive);
        EXPECT_EQ(fromArchive->result().changes.size(), 2u);
    });
}

// Замены from the documents menu: Иванова is away on a Monday; her two lessons are listed, the
// drop-down opens from the keyboard with the free teacher first, the choices are saved and come
// back in a window opened afresh.
TEST(Together, SubstitutionsAreChosenFromTheKeyboardSavedAndReadBack) {
    TestFolder t;
    School school(t);
    inFrame(t.dict(), [&](MainFrame& f) {
        auto open = [&] {
            item(f, "Substitutions")->trigger();
            settle();
            auto* w = qobject_cast<hestor::SubstitutionsWindow*>(
                t.dict().windows.window(t.dict().windows.findOpen(s("Substitutions"))));
            EXPECT_TRUE(w);
            w->date()->setDate(QDate(2026, 9, 14));
            for (int i = 0; i < w->teachers()->count(); ++i)
                if (w->teachers()->item(i)->text() == s("Иванова"))
                    w->teachers()->item(i)->setCheckState(Qt::Checked);
            return w;
        };
        hestor::SubstitutionsWindow* w = open();
        ASSERT_TRUE(w);
        QTableWidget* table = w->lessons();
        EXPECT_EQ(table->accessibleName(), s("Уроки отсутствующих учителей"));
        ASSERT_EQ(table->rowCount(), 2) << w->status()->text().toStdString();
        EXPECT_EQ(table->item(1, 1)->text(), s("5-Б"));
        auto pick = [&](int row, int key, Qt::KeyboardModifiers mods, const QString& text,
                        int column = 4) {
            table->setFocus();
            table->setCurrentCell(row, column == 4 ? 0 : column);
            QTest::keyClick(table, Qt::Key(key), mods);
            auto* combo =
                qobject_cast<QComboBox*>(table->indexWidget(table->model()->index(row, column)));
            ASSERT_TRUE(combo) << "F4 and Alt+Down open the drop-down";
            const int i = combo->findText(text, Qt::MatchStartsWith);
            ASSERT_GE(i, 0) << text.toStdString();
            combo->hidePopup();
            combo->setCurrentIndex(i);
            emit combo->activated(i);
            settle();
        };
        pick(0, Qt::Key_F4, Qt::NoModifier, s("Петров — свободен, нет уроков в этот день"));
        pick(1, Qt::Key_Down, Qt::AltModifier, s("урок отменен"));
        EXPECT_EQ(w->status()->text(), s("14.09.2026, понедельник, неделя 1. Уроков: 2, решено: 2."));
        QPushButton* save = nullptr;
        for (QPushButton* b : w->findChildren<QPushButton*>())
            if (b->text() == s("&Сохранить")) save = b;
        ASSERT_TRUE(save);
        save->click();
        EXPECT_EQ(t.ui.texts().value(t.ui.texts().size() - 1), s("Замены на 14.09.2026: сохранено."));
        w->parentWidget()->close();
        settle();

        w = open();
        ASSERT_TRUE(w);
        table = w->lessons();
        ASSERT_EQ(table->rowCount(), 2);
        EXPECT_EQ(table->item(0, 4)->text(), s("Петров"));
        EXPECT_EQ(table->item(1, 4)->text(), s("урок отменен"));

        // A choice not saved is not lost when the window closes: "Да" saves it.
        pick(0, Qt::Key_F4, Qt::NoModifier, s("урок отменен"));
        t.ui.answers = {Yes};
        w->parentWidget()->close();
        settle();
        EXPECT_TRUE(t.ui.texts().contains(s("Выбранные замены не сохранены. Сохранить их?")));
        w = open();
        ASSERT_TRUE(w);
        table = w->lessons();
        EXPECT_EQ(table->item(0, 4)->text(), s("урок отменен"));

        // Another room from the room column's drop-down; a teacher added elsewhere appears on
        // the frame's refresh, and the unsaved room choice survives it.
        pick(0, Qt::Key_F4, Qt::NoModifier, s("102"), 5);
        EXPECT_EQ(table->item(0, 5)->text(), s("102 (вместо 101)"));
        t.put(Teacher{.TeacherCode = 3, .TableNo = 3, .TeacherName = s("Сидорова")});
        t.dict().windows.postToFrame(UserEvent::Refresh);
        settle();
        EXPECT_EQ(w->teachers()->count(), 3);
        EXPECT_EQ(w->teachers()->findItems(s("Иванова"), Qt::MatchExactly).value(0)->checkState(),
                  Qt::Checked);
        EXPECT_EQ(table->item(0, 5)->text(), s("102 (вместо 101)"));
        t.ui.answers = {Yes};
        w->parentWidget()->close();
        settle();
        w = open();
        ASSERT_TRUE(w);
        EXPECT_EQ(w->lessons()->item(0, 5)->text(), s("102 (вместо 101)"));
    });
}
