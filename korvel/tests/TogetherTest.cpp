// The windows used together, as the officer uses them: several windows open in the frame, the
// frame's relay running, keys and clicks sent to the widgets, drags from one window into
// another, questions answered through the recording port.

#include "TogetherSchool.h"

#include "SampleSchool.h"
#include "ombrel/windows/LessonLinks.h"
#include "ombrel/windows/UpdateLessonLink.h"
#include "pivrel/engine/AutoPivrel.h"
#include "pivrel/engine/PlacementCheckWindow.h"
#include "pivrel/timetable/PivrelLessons.h"
#include "pivrel/timetable/UnplacedLessons.h"
#include "tamsel/Dictionary.h"
#include "../../testsupport/SqlRows.h"
#include "tamsel/TestFolder.h"
#include "tamsel/widgets/ListWindow.h"
#include "tamsel/widgets/RecordList.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QDateEdit>
#include <QListWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sqlite3.h>
#include <tuple>

using namespace korvel;
using namespace korvel::scenario;
using namespace tamsel;

namespace {

void clickCell(QTableView* view, int row, int column) {
    const QModelIndex i = view->model()->index(row, column);
    view->scrollTo(i);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(i).center());
}

/// What a drag from `data`'s source does at its target: enters the view, moves over the row
/// and drops there.
void dropOn(QMimeData* data, QAbstractItemView* view, const QModelIndex& at) {
    QWidget* vp = view->viewport();
    const QPoint p = at.isValid() ? view->visualRect(at).center() : vp->rect().center();
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(p, actions, data, Qt::LeftButton, {});
    QApplication::sendEvent(vp, &enter);
    QDragMoveEvent move(p, actions, data, Qt::LeftButton, {});
    QApplication::sendEvent(vp, &move);
    QDropEvent drop(QPointF(p), actions, data, Qt::LeftButton, {});
    QApplication::sendEvent(vp, &drop);
}

/// The row of the unplaced list showing `lesson`.
int rowOf(RecordList* list, RowId lesson) {
    return list->model()->indexOf(lesson);
}

} // namespace

// Ctrl+C in a list and Ctrl+X/Ctrl+V on the grid reach the focused widget once: the edit menu
// holds those keys and hands them on without taking them back.
TEST(Together, EditKeysReachTheListAndTheGridOnce) {
    TestFolder t;
    School school(t);
    inFrame(t.dict(), [&](MainFrame& f) {
        auto* days = qobject_cast<ListWindow*>(f.startProcedure(QStringLiteral("DayList")));
        ASSERT_NE(days, nullptr);
        QTableView* list = days->lists().front()->view();
        clickCell(list, 1, 0);
        list->setFocus();
        QApplication::clipboard()->clear();
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("2"));

        auto* grid =
            qobject_cast<pivrel::PivrelLessons*>(f.startProcedure(QStringLiteral("PivrelLessons")));
        ASSERT_NE(grid, nullptr);
        ASSERT_TRUE(grid->showObject(ObjectType::Group, 1));
        QTableView* cells = grid->blockViews().front();
        clickCell(cells, 0, 0); // Monday, lesson 1: mathematics
        cells->setFocus();
        QTest::keyClick(cells, Qt::Key_X, Qt::ControlModifier);
        settle();
        EXPECT_EQ(t.glo().ScheduleRecord.rowId, school.mathA);
        QTest::keyClick(cells, Qt::Key_Right); // Tuesday, lesson 1
        QTest::keyClick(cells, Qt::Key_V, Qt::ControlModifier);
        settle();
        const Schedule moved = school.stored(school.mathA);
        EXPECT_EQ(moved.DaySeqNumber, 2);
        EXPECT_EQ(moved.LessonNo, QStringLiteral("1"));
        EXPECT_TRUE(school.stored(school.physicsA).isUnplaced());
    });
}

// The lesson in hand changes only when the user picks one. With the lesson's restrictions shown
// and the unplaced list open, a refresh once read the list again, took its row for a pick,
// posted again and kept the relay busy for ever; Ctrl+V then placed the list's lesson, and a
// grid by teacher jumped to that lesson's teacher on any change.
TEST(Together, TheLessonInHandChangesOnlyWhenTheUserPicksOne) {
    TestFolder t;
    School school(t);
    inFrame(t.dict(), [&](MainFrame& f) {
        item(f, "ShowLessonRestrictions")->setChecked(true);
        item(f, "GoToSelectedObject")->setChecked(true);
        auto* byGroup =
            qobject_cast<pivrel::PivrelLessons*>(f.startProcedure(QStringLiteral("PivrelLessons")));
        auto* byTeacher = qobject_cast<pivrel::PivrelLessons*>(
            f.startProcedure(QStringLiteral("PivrelLessons"), QStringLiteral("Small")));
        auto* unplaced = qobject_cast<pivrel::UnplacedLessons*>(
            f.startProcedure(QStringLiteral("UnplacedLessons")));
        ASSERT_TRUE(byGroup && byTeacher && unplaced);
        ASSERT_TRUE(byGroup->showObject(ObjectType::Group, 2));
        ASSERT_TRUE(byTeacher->showObject(ObjectType::Teacher, 1));
        settle();

        // The user picks physics of 5-А in the unplaced list: the grids go to its group and to
        // its teacher, Петров.
        RecordList* bySubject = unplaced->list(0);
        const int physics = rowOf(bySubject, school.physicsA);
        ASSERT_GE(physics, 0);
        clickCell(bySubject->view(), physics, 0);
        settle();
        EXPECT_EQ(t.glo().ScheduleRecord.rowId, school.physicsA);
        EXPECT_EQ(byGroup->grid().objectCode(), 1);
        EXPECT_EQ(byTeacher->grid().objectCode(), 2);
        EXPECT_LE(f.relayedSinceInput(), 3);

        // Ctrl+X takes Иванова's mathematics lesson of 5-А in hand; the teacher's grid stays where
        // the user's pick put it, through the refresh and the placement that follow.
        QTableView* cells = byGroup->blockViews().front();
        clickCell(cells, 0, 0);
        cells->setFocus();
        QTest::keyClick(cells, Qt::Key_X, Qt::ControlModifier);
        settle();
        EXPECT_EQ(t.glo().ScheduleRecord.rowId, school.mathA);
        EXPECT_EQ(byTeacher->grid().objectCode(), 2);
        EXPECT_LE(f.relayedSinceInput(), 3);

        // Another window changes something: every window refreshes, nothing else happens.
        t.dict().windows.postToFrame(UserEvent::Refresh);
        settle();
        EXPECT_EQ(t.glo().ScheduleRecord.rowId, school.mathA);
        EXPECT_EQ(byTeacher->grid().objectCode(), 2);
        EXPECT_LE(f.relayedSinceInput(), 4);

        // Ctrl+V on Tuesday, lesson 2 puts mathematics there; physics stays unplaced.
        QTest::keyClick(cells, Qt::Key_Down);
        QTest::keyClick(cells, Qt::Key_Right);
        QTest::keyClick(cells, Qt::Key_V, Qt::ControlModifier);
        settle();
        EXPECT_LE(f.relayedSinceInput(), 3);
        const Schedule moved = school.stored(school.mathA);
        EXPECT_EQ(moved.DaySeqNumber, 2);
        EXPECT_EQ(moved.LessonNo, QStringLiteral("2"));
        EXPECT_TRUE(school.stored(school.physicsA).isUnplaced());
        EXPECT_EQ(byTeacher->grid().objectCode(), 2);
    });
}

// A double click on a finding of the data check shows its lessons in the lesson grid, which
// the frame opens when none is open.
TEST(Together, AFindingDoubleClickedOpensTheGridAtItsLessons) {
    TestFolder t;
    School school(t);
    // Петров now has five physics hours with 5-А: they cannot go into the four cells.
    for (int h = 0; h < 4; ++h) school.lesson(2, 2, 1, 0, "", 0);
    inFrame(t.dict(), [&](MainFrame& f) {
        auto* check = qobject_cast<pivrel::PlacementCheckWindow*>(
            f.startProcedure(pivrel::PlacementCheckWindow::procedureName()));
        ASSERT_TRUE(check);
        settle();
        ASSERT_FALSE(t.dict().windows.findOpen(QStringLiteral("PivrelLessons")));
        QTreeWidget* findings = check->list();
        ASSERT_GE(findings->topLevelItemCount(), 1);
        EXPECT_EQ(findings->topLevelItem(0)->text(0), s("невозможно"));
        const QRect at = findings->visualItemRect(findings->topLevelItem(0));
        doubleClick(findings->viewport(), at.center());
        settle();
        const Short open = t.dict().windows.findOpen(QStringLiteral("PivrelLessons"));
        ASSERT_TRUE(open) << "no lesson grid opened";
        auto* grid = qobject_cast<pivrel::PivrelLessons*>(t.dict().windows.window(open));
        ASSERT_TRUE(grid);
        EXPECT_EQ(t.glo().ScheduleRecord.ScienceCode, 2);
        EXPECT_EQ(grid->grid().objectCode(),
                  grid->grid().objectType() == ObjectType::Teacher ? 2 : 1);
        // A second double click uses the open grid.
        doubleClick(findings->viewport(), at.center());
        settle();
        int grids = 0;
        for (QMdiSubWindow* w : f.findChildren<QMdiSubWindow*>())
            grids += qobject_cast<pivrel::PivrelLessons*>(w->widget()) != nullptr;
        EXPECT_EQ(grids, 1);
    });
}



// A drop the rules refuse, then "Выход": the program ends normally and keeps its settings.
TEST(Together, ExitAfterARefusedDropKeepsTheSettings) {
    TestFolder t;
    School school(t);
    Program program(t.dict());
    program.start();
    {
        MainFrame f(t.dict());
        f.show();
        auto* grid =
            qobject_cast<pivrel::PivrelLessons*>(f.startProcedure(QStringLiteral("PivrelLessons")));
        ASSERT_NE(grid, nullptr);
        ASSERT_TRUE(grid->showObject(ObjectType::Group, 1));
        f.startProcedure(QStringLiteral("UnplacedLessons"));
        settle();
        // 5-А's mathematics onto Monday, lesson 2, where Иванова teaches 5-Б.
        QTableView* cells = grid->blockViews().front();
        QAbstractItemModel* m = cells->model();
        std::unique_ptr<QMimeData> data(m->mimeData({m->index(0, 0)}));
        ASSERT_TRUE(data);
        dropOn(data.get(), cells, m->index(1, 0));
        settle();
        ASSERT_FALSE(t.ui.shown.isEmpty());
        EXPECT_EQ(school.stored(school.mathA).LessonNo, QStringLiteral("1"));
        item(f, "Exit")->trigger();
        settle();
        EXPECT_FALSE(f.isVisible());
    }
    EXPECT_TRUE(program.finish());
    EXPECT_TRUE(QFile::exists(t.file(QStringLiteral("Korvel.ini"))));
}

// The link form stays open beside the other windows: lessons are dragged into it from the
// unplaced list while it is open, and "OK" keeps the link.
TEST(Together, LessonsAreDraggedIntoAnOpenLinkForm) {
    TestFolder t;
    School school(t);
    inFrame(t.dict(), [&](MainFrame& f) {
        auto* links =
            qobject_cast<ombrel::LessonLinks*>(f.startProcedure(QStringLiteral("LessonLinks")));
        auto* unplaced = qobject_cast<pivrel::UnplacedLessons*>(
            f.startProcedure(QStringLiteral("UnplacedLessons")));
        ASSERT_TRUE(links && unplaced);
        links->tree()->setCurrentItem(links->tree()->topLevelItem(0));
        // A modal form would block here: the guard closes it and says so.
        bool modal = false;
        QTimer::singleShot(0, [&] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                modal = true;
                d->reject();
            }
        });
        QPushButton* add = nullptr;
        for (QPushButton* b : links->findChildren<QPushButton*>())
            if (b->text() == s("&Добавить")) add = b;
        ASSERT_NE(add, nullptr);
        QTest::mouseClick(add, Qt::LeftButton);
        settle();
        EXPECT_FALSE(modal);
        ombrel::UpdateLessonLink* form = links->openForm();
        ASSERT_NE(form, nullptr);
        EXPECT_TRUE(form->isVisible());
        EXPECT_FALSE(form->isModal());

        RecordList* bySubject = unplaced->list(0);
        const int physics = rowOf(bySubject, school.physicsA);
        ASSERT_GE(physics, 0);
        QAbstractItemModel* m = bySubject->model();
        std::unique_ptr<QMimeData> data(m->mimeData({m->index(physics, 0)}));
        ASSERT_TRUE(data);
        dropOn(data.get(), form->members()->view(), {});
        settle();
        EXPECT_EQ(form->members()->model()->rowCount(), 1);
        form->accept();
        settle();
        EXPECT_EQ(links->openForm(), nullptr);
        const auto stored = t.dict().access<LsnLink>().all(LsnLink::CodeKey);
        ASSERT_EQ(stored.size(), 1u);
        EXPECT_NE(school.stored(school.physicsA).LinkCode, 0);
    });
}

namespace {

/// Edits a cell in place as the user does: opens its editor, types the text, presses Enter.
void editInPlace(QTableView* view, int row, int column, const QString& text) {
    const QModelIndex i = view->model()->index(row, column);
    view->setCurrentIndex(i);
    view->edit(i);
    QWidget* editor = view->indexWidget(i);
    ASSERT_NE(editor, nullptr);
    if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
        spin->selectAll();
        QTest::keyClicks(spin, text);
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->selectAll();
        for (QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, line, Qt::Key_unknown, QString(ch), {});
    }
    QTest::keyClick(editor, Qt::Key_Return);
    // The editor hands its text over once the key is done; nothing else runs meanwhile.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
}

} // namespace

// An edit in place writes the record as it is in the file now with the edited field changed,
// and tells the other windows, as a form's store does: the course renamed in the group list
// stays renamed when the plan, still showing the old course, changes the hours.
TEST(Together, AnEditInPlaceChangesOnlyItsFieldAndTellsTheOtherWindows) {
    TestFolder t;
    School school(t);
    {
        FileUse streams(t.store(), FileId::Stream), courses(t.store(), FileId::Course),
            plan(t.store(), FileId::TrainingCourse);
        ASSERT_TRUE(t.put(Stream{.StreamCode = 1, .Stream = s("Общий")}).rowId);
        ASSERT_TRUE(t.put(Course{.Course = s("5")}).rowId);
        ASSERT_TRUE(t.put(TrainingCourse{.TrainingCourseItemCode = 1,
                                         .ScienceCode = 1,
                                         .Course = s("5"),
                                         .StreamCode = 1})
                        .rowId);
    }
    inFrame(t.dict(), [&](MainFrame& f) {
        auto* groups = qobject_cast<ListWindow*>(f.startProcedure(QStringLiteral("GroupList")));
        auto* plan = qobject_cast<ListWindow*>(f.startProcedure(QStringLiteral("TrainingPlan")));
        ASSERT_TRUE(groups && plan);
        settle();
        RecordList* courses = groups->lists().at(1);
        RecordList* items = plan->lists().at(3);
        ASSERT_EQ(courses->model()->rowCount(), 1);
        ASSERT_EQ(items->model()->rowCount(), 1);

        editInPlace(courses->view(), 0, 0, s("6"));
        // The plan has not heard of it yet: its lists still say course 5.
        EXPECT_EQ(plan->lists().at(1)->model()->index(0, 0).data().toString(), s("5"));
        editInPlace(items->view(), 0, 1, QStringLiteral("3"));
        const auto stored = t.dict().access<TrainingCourse>().all(TrainingCourse::ItemCodeKey);
        ASSERT_EQ(stored.size(), 1u);
        EXPECT_EQ(stored.front().Course, s("6"));
        EXPECT_EQ(stored.front().SingleHours, 3);

        // Both edits reached the other window.
        settle();
        EXPECT_EQ(plan->lists().at(1)->model()->index(0, 0).data().toString(), s("6"));
    });
}

// Every window the frame opens, even at a small kept size: no button, drop list or label is
// narrower than its text needs. Child windows of the frame are not top-level, so Qt does not
// enforce their layouts' minimums; the room window and the master and detail tabs once opened
// from their kept places with their buttons and drop lists squeezed.
TEST(Together, NoWindowOpensWithItsControlsCut) {
    TestFolder t;
    School school(t);
    t.ui.otherwise = No;
    inFrame(t.dict(), QSize(1280, 900), [&](MainFrame& f) {
        QStringList names = t.dict().procedures.names();
        names.sort();
        int opened = 0;
        for (const QString& name : std::as_const(names)) {
            const Procedure* p = t.dict().procedures.find(name);
            if (!p || p->kind != Procedure::Window) continue;
            for (const QString& mode : {QString(), QStringLiteral("Small")}) {
                if (!mode.isEmpty() && name != QStringLiteral("PivrelLessons")) continue;
                for (auto [key, value] : {std::pair{"XPos", 10}, std::pair{"YPos", 10},
                                          std::pair{"Width", 160}, std::pair{"Height", 120}})
                    t.dict().settings().setNumber(name, QLatin1String(key), value);
                QWidget* w = f.startProcedure(name, mode);
                if (!w) continue;
                ++opened;
                settle();
                for (QWidget* c : w->findChildren<QWidget*>()) {
                    if (!c->isVisibleTo(w)) continue;
                    const bool control =
                        qobject_cast<QAbstractButton*>(c) || qobject_cast<QComboBox*>(c) ||
                        (qobject_cast<QLabel*>(c) && !qobject_cast<QLabel*>(c)->wordWrap());
                    if (!control) continue;
                    EXPECT_GE(c->width(), c->minimumSizeHint().width())
                        << name.toStdString() << mode.toStdString() << ": "
                        << c->metaObject()->className() << " \""
                        << c->property("text").toString().toStdString() << "\"";
                }
                // A screen reader names every field, drop list and list it lands on.
                for (QWidget* c : w->findChildren<QWidget*>()) {
                    if (!c->isVisibleTo(w) ||
                        !(qobject_cast<QComboBox*>(c) || qobject_cast<QLineEdit*>(c) ||
                          qobject_cast<QAbstractSpinBox*>(c) ||
                          qobject_cast<QAbstractItemView*>(c)) ||
                        qobject_cast<QHeaderView*>(c))
                        continue;
                    if (qobject_cast<QLineEdit*>(c) && c->parentWidget() &&
                        (qobject_cast<QComboBox*>(c->parentWidget()) ||
                         qobject_cast<QAbstractSpinBox*>(c->parentWidget())))
                        continue; // the drop list's or number box's own field
                    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
                    ASSERT_NE(a, nullptr);
                    EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty())
                        << name.toStdString() << mode.toStdString() << ": a "
                        << c->metaObject()->className() << " without a name";
                }
                // Fixed columns (the grids' days) are as wide as their titles ("Понедельник").
                for (QHeaderView* h : w->findChildren<QHeaderView*>()) {
                    if (!h->isVisibleTo(w) || h->orientation() != Qt::Horizontal) continue;
                    for (int i = 0; i < h->count(); ++i) {
                        if (h->sectionResizeMode(i) != QHeaderView::Fixed) continue;
                        const QString title = h->model()->headerData(i, Qt::Horizontal).toString();
                        EXPECT_GE(h->sectionSize(i),
                                  h->fontMetrics().horizontalAdvance(title.trimmed()))
                            << name.toStdString() << mode.toStdString() << ": column \""
                            << title.toStdString() << "\"";
                    }
                }
                if (QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget()))
                    sub->close();
                settle();
            }
        }
        EXPECT_GE(opened, 20);
    });
}

// The automatic run started from its window while the officer works on the grid: every Delete
// pressed during the run is turned away with the run's name, the officer's lessons stay where
// they are, and the run ends with no teacher, group or room twice in a cell.
TEST(Together, TheGridTurnsHandEditsAwayWhileTheRunFromItsWindowWrites) {
    TestFolder t;
    sample::SampleOptions o;
    o.size = sample::SchoolSize::Medium;
    o.planted = 1.0;
    ASSERT_TRUE(sample::GenerateSampleSchool(t.dict(), o));
    ASSERT_TRUE(t.dict().loadSettings());
    t.ui.otherwise = Yes;
    inFrame(t.dict(), QSize(1280, 900), [&](MainFrame& f) {
        FileUse lessons(t.store(), FileId::Schedule);
        auto* run =
            qobject_cast<pivrel::AutoPivrel*>(f.startProcedure(QStringLiteral("AutoPivrel")));
        ASSERT_NE(run, nullptr);
        // The officer's own lessons: the first group, placed first.
        run->tabs()->setCurrentIndex(2);
        run->groups()->setCurrentIndex(0);
        emit run->groups()->activated(0);
        const Short group = run->code();
        run->start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !run->endText().isEmpty(); }, 20000));
        std::vector<Schedule> officers;
        for (const Schedule& l : t.dict().access<Schedule>().all(Schedule::TeacherKey))
            if (!l.isUnplaced()) officers.push_back(l);
        ASSERT_FALSE(officers.empty());

        auto* grid =
            qobject_cast<pivrel::PivrelLessons*>(f.startProcedure(QStringLiteral("PivrelLessons")));
        ASSERT_TRUE(grid && grid->showObject(ObjectType::Group, group));
        settle();
        QTableView* cells = grid->blockViews().front();
        int pressed = 0;
        QTimer deleting;
        deleting.setInterval(5);
        QObject::connect(&deleting, &QTimer::timeout, [&] {
            if (!run->running()) return;
            cells->setFocus();
            cells->setCurrentIndex(cells->model()->index(pressed % 2, 0));
            // Delete, and every third press Ctrl+Z: an undo writes as much as a hand edit.
            if (pressed % 3 == 2)
                QTest::keyClick(cells, Qt::Key_Z, Qt::ControlModifier);
            else
                QTest::keyClick(cells, Qt::Key_Delete);
            ++pressed;
        });
        run->tabs()->setCurrentIndex(3);
        t.ui.clear();
        deleting.start();
        QSignalSpy finished(run, &pivrel::AutoPivrel::runFinished);
        run->start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0; }, 30000));
        deleting.stop();
        ASSERT_GT(pressed, 0) << "the run gave the user interface no turn";
        const QString refusal = s("Расписание в папке «%1» сейчас изменяет автоматическая "
                                  "расстановка уроков. Повторите, когда она закончит работу.")
                                    .arg(QDir::toNativeSeparators(t.path()));
        EXPECT_TRUE(t.ui.texts().contains(refusal)) << t.ui.texts().join(u'\n').toStdString();
        for (const Schedule& mine : officers) {
            const Schedule now = t.dict().access<Schedule>().byRowId(mine.rowId);
            EXPECT_EQ(now.DaySeqNumber, mine.DaySeqNumber);
            EXPECT_EQ(now.LessonNo, mine.LessonNo);
        }
        // No teacher or room in two sittings of one cell (a link's lessons are one sitting).
        auto expectNoDoubleBooking = [&] {
            std::map<std::tuple<int, int, QString, int, int>, std::set<qint64>> sittings;
            for (const Schedule& l : t.dict().access<Schedule>().all(Schedule::TeacherKey)) {
                if (l.isUnplaced()) continue;
                const qint64 sitting = l.LinkCode > 0 ? qint64(l.LinkCode) : -qint64(l.rowId);
                const QString no = l.LessonNo.trimmed();
                sittings[{l.Week, l.DaySeqNumber, no, ObjectType::Teacher, l.TeacherCode}].insert(
                    sitting);
                if (l.RoomCode != 0)
                    sittings[{l.Week, l.DaySeqNumber, no, ObjectType::Room, int(l.RoomCode)}]
                        .insert(sitting);
            }
            for (const auto& [cell, in] : sittings)
                EXPECT_EQ(in.size(), 1u)
                    << "object " << std::get<4>(cell) << " of kind " << std::get<3>(cell)
                    << " twice on day " << std::get<1>(cell);
        };
        expectNoDoubleBooking();

        // The re-run with minimal changes, clicked while the grid still presses Delete: its
        // taking off and moving are as closed to hand edits as the run.
        t.ui.clear();
        pressed = 0;
        deleting.start();
        QTest::mouseClick(run->minimalButton(), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 1; }, 30000));
        deleting.stop();
        ASSERT_GT(pressed, 0);
        EXPECT_TRUE(t.ui.texts().contains(refusal)) << t.ui.texts().join(u'\n').toStdString();
        EXPECT_TRUE(run->movedSummary()->text().startsWith(s("Итог: перемещено уроков: ")))
            << run->movedSummary()->text().toStdString();
        expectNoDoubleBooking();

        // "Сократить окна" moves every unpinned lesson while the grid presses on.
        t.ui.clear();
        pressed = 0;
        deleting.start();
        QTest::mouseClick(run->compactButton(), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 2; }, 30000));
        deleting.stop();
        ASSERT_GT(pressed, 0);
        EXPECT_TRUE(t.ui.texts().contains(refusal)) << t.ui.texts().join(u'\n').toStdString();
        EXPECT_TRUE(run->progressLines().filter(s("СОКРАЩЕНИЕ ОКОН ЗАКОНЧЕНО")).size() == 1);
        expectNoDoubleBooking();
    });
}

// The officer moves a lesson with Ctrl+X/Ctrl+V, takes another off with Delete and pins a third
// with Ctrl+L; Ctrl+Z three times gives back the lessons exactly as they were, Ctrl+Y and
// Ctrl+Shift+Z do it all again. A lesson another program changed in between is not undone.
TEST(Together, CtrlZTakesBackTheHandEditsAndRefusesALessonChangedSince) {
    TestFolder t;
    School school(t);
    const RowId physicsB = school.lesson(2, 2, 2, 2, "2", 2); // 5-Б, Tuesday lesson 2
    // The lessons as another program sees them, after its change when one is given.
    auto lessons = [&](const char* change = "") {
        return testsupport::readAsAnotherProgram(t.store().diskName(FileId::Schedule), change,
                                                 "SELECT rowid, * FROM SCHEDULE ORDER BY rowid");
    };
    const QStringList original = lessons();
    inFrame(t.dict(), [&](MainFrame& f) {
        auto* grid =
            qobject_cast<pivrel::PivrelLessons*>(f.startProcedure(QStringLiteral("PivrelLessons")));
        ASSERT_TRUE(grid && grid->showObject(ObjectType::Group, 1));
        QTableView* cells = grid->blockViews().front();
        auto key = [&](int row, int column, Qt::Key k, Qt::KeyboardModifiers m = {}) {
            if (row >= 0) cells->setCurrentIndex(cells->model()->index(row, column));
            cells->setFocus(); // the edit menu hands Ctrl+X and Ctrl+V to the focused widget
            QTest::keyClick(cells, k, m);
            settle();
        };
        key(0, 0, Qt::Key_X, Qt::ControlModifier); // mathematics of 5-А, Monday 1 ...
        key(0, 1, Qt::Key_V, Qt::ControlModifier); // ... to Tuesday 1
        ASSERT_TRUE(grid->showObject(ObjectType::Group, 2));
        key(1, 0, Qt::Key_Delete);                 // mathematics of 5-Б off the grid
        key(1, 1, Qt::Key_L, Qt::ControlModifier); // physics of 5-Б pinned
        ASSERT_EQ(t.dict().history().undoCount(), 3);
        ASSERT_EQ(school.stored(physicsB).Pinned, 1);
        const QStringList edited = lessons();
        EXPECT_EQ(item(f, "Undo")->text(), s("&Отменить: закрепление урока"));

        key(-1, 0, Qt::Key_Z, Qt::ControlModifier);
        key(-1, 0, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(cells->currentIndex(), cells->model()->index(1, 0)) << "the lesson put back";
        key(-1, 0, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(lessons(), original);
        EXPECT_EQ(item(f, "Redo")->text(), s("Вернуть: перемещение урока"));
        key(-1, 0, Qt::Key_Y, Qt::ControlModifier);
        key(-1, 0, Qt::Key_Y, Qt::ControlModifier);
        key(-1, 0, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(lessons(), edited);

        // The pin comes off again; mathematics of 5-Б is given a room by another program.
        key(-1, 0, Qt::Key_Z, Qt::ControlModifier);
        const QStringList changed = lessons(qPrintable(
            QStringLiteral("UPDATE SCHEDULE SET RoomCode = 2 WHERE rowid = %1").arg(school.mathB)));
        t.ui.clear();
        key(-1, 0, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(t.ui.texts(),
                  QStringList{s("Отменить нельзя: эти уроки изменены после этого действия.")});
        EXPECT_EQ(lessons(), changed);
        EXPECT_FALSE(item(f, "Undo")->isEnabled());
    });
}

