// The timetable grid's window and the unplaced lessons window, driven as the officer drives them.

#include "GridFixture.h"

#include <QListWidget>
#include <QPushButton>

TEST(PivrelLessonsWindow, WeekSpinBoxAndWeekBlocks) {
    app();
    {
        Fixture f(1);
        PivrelLessons w(f.t.dict(), QString());
        EXPECT_FALSE(w.weekSpin()->isVisibleTo(&w));
        EXPECT_EQ(w.blockViews().size(), 1u);
    }
    {
        Fixture f(3);
        f.t.glo().AllWeeksShow = 0;
        PivrelLessons w(f.t.dict(), QString());
        EXPECT_TRUE(w.weekSpin()->isVisibleTo(&w));
        EXPECT_EQ(w.weekSpin()->maximum(), 3);
        EXPECT_EQ(w.blockViews().size(), 1u);
        EXPECT_TRUE(w.weekCaptions().isEmpty());
    }
    {
        Fixture f(3);
        f.t.glo().AllWeeksShow = 1;
        f.placed(1, 1, 1, 1, 0, 1, 2, u("3"), 3);
        PivrelLessons w(f.t.dict(), QStringLiteral("Small"));
        EXPECT_EQ(f.t.glo().ShowAllWeeks, 1);
        EXPECT_FALSE(w.weekSpin()->isVisibleTo(&w));
        EXPECT_EQ(w.blockViews().size(), 3u);
        EXPECT_EQ(w.weekCaptions(), (QStringList{u("2-я неделя"), u("3-я неделя")}));
        // The first teacher is shown; its lesson of the third week is in the third block.
        EXPECT_EQ(w.windowTitle(), u("Расписание Иванова"));
        const QModelIndex i = w.blockViews()[2]->model()->index(2, 1);
        EXPECT_EQ(i.data().toString(), u("Математика\n5-А       101"));
        EXPECT_TRUE(w.blockViews()[0]->model()->index(2, 1).data().toString().isEmpty());
    }
}

TEST(PivrelLessonsWindow, TheOneWeekShownFollowsTheSpinBox) {
    app();
    Fixture f(2);
    f.placed(1, 1, 1, 1, 0, 1, 1, u("1"), 2);
    PivrelLessons w(f.t.dict(), QString());
    ASSERT_TRUE(w.showObject(ObjectType::Group, 1));
    EXPECT_EQ(w.windowTitle(), u("Расписание 5-А"));
    EXPECT_EQ(w.tabs()->currentIndex(), 1);
    QAbstractItemModel* m = w.blockViews()[0]->model();
    EXPECT_TRUE(m->index(0, 0).data().toString().isEmpty());
    w.weekSpin()->setValue(2);
    EXPECT_EQ(m->index(0, 0).data().toString(), u("5-А       101\nИванова\nМатематика"));
}

TEST(PivrelLessonsWindow, ScreenReadersReadTheGridAsATable) {
    app();
    Fixture f;
    f.placed(1, 1, 1, 1, 0, 1, 2, u("3"));
    PivrelLessons w(f.t.dict(), QString());
    w.show();
    ASSERT_TRUE(w.showObject(ObjectType::Room, 1));
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w.blockViews()[0]);
    ASSERT_NE(iface, nullptr);
    QAccessibleTableInterface* table = iface->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rowCount(), 3);
    EXPECT_EQ(table->columnCount(), 2);
    QAccessibleInterface* cell = table->cellAt(2, 1);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), u("5-А\nИванова\nМатематика"));
    QAccessibleTableCellInterface* c = cell->tableCellInterface();
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->columnHeaderCells().size(), 1);
    EXPECT_EQ(c->columnHeaderCells()[0]->text(QAccessible::Name), u("Вторник"));
    ASSERT_EQ(c->rowHeaderCells().size(), 1);
    EXPECT_TRUE(c->rowHeaderCells()[0]->text(QAccessible::Name).startsWith(u("3 : ")));
}

TEST(PivrelLessonsWindow, CellPopupsAndTheirStates) {
    app();
    Fixture f;
    const Schedule lesson = f.placed(1, 1, 1, 1, 0, 1, 1, u("1"));
    PivrelLessons w(f.t.dict(), QString());
    ASSERT_TRUE(w.showObject(ObjectType::Teacher, 1));
    std::unique_ptr<QMenu> menu(w.cellMenu(cellAt(1, 1), &w));
    QStringList texts;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) texts << a->text();
    EXPECT_EQ(texts, (QStringList{u("Снять уроки"), u("\"Что сюда можно поставить?\""),
                                  u("\"Куда можно подвинуть?\""), u("Закрепить урок"),
                                  u("Закрепить всё расписание учителя"),
                                  u("Открепить всё расписание учителя"), u("Печать расписания"),
                                  u("Без ограничений"), u("Не желательно"), u("Уроки запрещены")}));
    EXPECT_FALSE(action(menu.get(), u("Закрепить урок"))->isEnabled()) << "an empty cell";
    action(menu.get(), u("Уроки запрещены"))->trigger();
    QAbstractItemModel* m = w.blockViews()[0]->model();
    EXPECT_EQ(m->index(1, 1).data(Qt::BackgroundRole).value<QBrush>().color(),
              QColor(0xFF, 0x80, 0x80));

    // Where can it move: the marks are off while the targets are shown; a click ends it.
    w.cellClicked(cellAt(0, 0), true);
    EXPECT_EQ(f.t.glo().MoveTargetsShown, 1);
    menu.reset(w.cellMenu(cellAt(1, 1), &w));
    EXPECT_FALSE(action(menu.get(), u("Не желательно"))->isEnabled());
    w.cellClicked(cellAt(1, 0), false);
    EXPECT_EQ(f.t.glo().MoveTargetsShown, 0);

    // The information popup and taking the lessons off.
    menu.reset(w.infoMenu(cellAt(0, 0), &w));
    QStringList info;
    for (QAction* a : menu->actions())
        info << (a->isSeparator() ? u("---") : a->text());
    EXPECT_EQ(info.mid(0, 2), (QStringList{u("Понедельник"), u("1 : 09:00 - ")}));
    EXPECT_EQ(info.mid(2), (QStringList{u("---"), u("Математика"), u("5-А       101")}));
    // Pinned from the menu, freed by Ctrl+L; the cell shows the mark meanwhile.
    menu.reset(w.cellMenu(cellAt(0, 0), &w));
    action(menu.get(), u("Закрепить урок"))->trigger();
    EXPECT_EQ(f.s.byRow(lesson.rowId).Pinned, 1);
    EXPECT_TRUE(m->index(0, 0).data().toString().startsWith(TimetableGrid::PinMark));
    EXPECT_TRUE(m->index(0, 0).data(Qt::AccessibleTextRole).toString().startsWith(u("закреплён")));
    menu.reset(w.cellMenu(cellAt(0, 0), &w));
    ASSERT_NE(action(menu.get(), u("Открепить")), nullptr);
    QTableView* view = w.blockViews()[0];
    view->setCurrentIndex(m->index(0, 0));
    QTest::keyClick(view, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(f.s.byRow(lesson.rowId).Pinned, 0);
    menu.reset(w.cellMenu(cellAt(0, 0), &w));
    action(menu.get(), u("Снять уроки"))->trigger();
    EXPECT_TRUE(f.s.byRow(lesson.rowId).isUnplaced());
    EXPECT_TRUE(m->index(0, 0).data().toString().isEmpty());

    // Header popups: a day's mark covers its lessons.
    menu.reset(w.dayMenu(0, 1, &w));
    action(menu.get(), u("Не желательно"))->trigger();
    EXPECT_EQ(f.t.dict().access<Restriction>().all(Restriction::ObjectIdKey).size(), 3u);
}

TEST(PivrelLessonsWindow, DragAndDropBetweenCellsAndFromTheUnplacedList) {
    app();
    Fixture f;
    const Schedule placed = f.placed(1, 1, 1, 1, 0, 1, 1, u("1"));
    const Schedule unplaced = f.s.lesson(2, 2, 2, 1, 1);
    PivrelLessons w(f.t.dict(), QString());
    ASSERT_TRUE(w.showObject(ObjectType::Group, 1));
    QAbstractItemModel* m = w.blockViews()[0]->model();

    // A cell drag carries its first lesson; the drop moves it once the drag has ended.
    std::unique_ptr<QMimeData> data(m->mimeData({m->index(0, 0)}));
    ASSERT_TRUE(data);
    EXPECT_EQ(f.t.glo().ScheduleRecord.rowId, placed.rowId);
    ASSERT_TRUE(m->dropMimeData(data.get(), Qt::CopyAction, -1, -1, m->index(2, 1)));
    QCoreApplication::processEvents();
    EXPECT_EQ(f.s.byRow(placed.rowId).DaySeqNumber, 2);
    EXPECT_EQ(m->index(2, 1).data().toString(), u("5-А       101\nИванова\nМатематика"));
    EXPECT_FALSE(m->mimeData({m->index(0, 0)})); // an empty cell offers nothing to drag

    // A lesson of the unplaced list dropped on a cell is placed.
    UnplacedLessons list(f.t.dict());
    RecordList* bySubject = list.list(0);
    ASSERT_EQ(bySubject->model()->rowCount(), 1);
    std::unique_ptr<QMimeData> row(bySubject->model()->mimeData({bySubject->model()->index(0, 0)}));
    ASSERT_TRUE(row && row->hasFormat(dragMimeType(u("SetToSchedule"))));
    EXPECT_EQ(f.t.glo().MoveTargetsShown, 1); // the lesson in hand colours the grids
    ASSERT_TRUE(m->dropMimeData(row.get(), Qt::CopyAction, -1, -1, m->index(1, 0)));
    QCoreApplication::processEvents();
    EXPECT_EQ(f.s.byRow(unplaced.rowId).LessonNo, u("2"));
    EXPECT_EQ(f.t.glo().MoveTargetsShown, 0);
    bySubject->declaration().dragEnded(true); // what the list's view says after the drag
    list.refresh();                           // what the frame's relay of 1024 does
    EXPECT_EQ(bySubject->model()->rowCount(), 0);

    // A cell's lesson dropped on the list goes back to the unplaced ones.
    std::unique_ptr<QMimeData> back(m->mimeData({m->index(1, 0)}));
    ASSERT_TRUE(back);
    ASSERT_TRUE(bySubject->model()->dropMimeData(back.get(), Qt::CopyAction, -1, -1, {}));
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.s.byRow(unplaced.rowId).isUnplaced());
    EXPECT_EQ(bySubject->model()->rowCount(), 1);
}

TEST(PivrelLessonsWindow, TheKeyboardMovesAndRemovesLessons) {
    app();
    Fixture f;
    const Schedule lesson = f.placed(1, 1, 1, 1, 0, 1, 1, u("1"));
    PivrelLessons w(f.t.dict(), QString());
    w.show();
    ASSERT_TRUE(w.showObject(ObjectType::Teacher, 1));
    QTableView* v = w.blockViews()[0];
    v->setFocus();
    v->setCurrentIndex(v->model()->index(0, 0));
    QTest::keyClick(v, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(f.t.glo().ScheduleRecord.rowId, lesson.rowId);
    EXPECT_EQ(f.t.glo().MoveTargetsShown, 1);
    v->setCurrentIndex(v->model()->index(2, 1));
    QTest::keyClick(v, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(f.s.byRow(lesson.rowId).LessonNo, u("3"));
    EXPECT_EQ(f.t.glo().MoveTargetsShown, 0);
    EXPECT_EQ(v->model()->index(2, 1).data().toString(), u("Математика\n5-А       101"));
    QTest::keyClick(v, Qt::Key_Delete);
    EXPECT_TRUE(f.s.byRow(lesson.rowId).isUnplaced());
    EXPECT_TRUE(v->model()->index(2, 1).data().toString().isEmpty());
}

TEST(PivrelLessonsWindow, WhatCanGoHereWithNoVariantsChangesNothing) {
    app();
    Fixture f;
    f.s.restrict(ObjectType::Group, 1, 1, 1, u("1"), 2);
    f.s.lesson(1, 1, 1, 1);
    PivrelLessons w(f.t.dict(), QString());
    w.show();
    ASSERT_TRUE(w.showObject(ObjectType::Group, 1));
    const QByteArray before = f.scheduleBytes();
    w.chooseForCell(cellAt(0, 0));
    QMenu* none = w.findChild<QMenu*>(QStringLiteral("NoVariants"));
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->actions().value(0)->text(), u("Нет вариантов"));
    none->close();
    EXPECT_EQ(f.scheduleBytes(), before);

    // A cell where it fits lists it, and "&Выбрать" places it there.
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<SelectLessonVariant*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->table()->rowCount(), 1);
        EXPECT_EQ(d->table()->item(0, 0)->text(), u("Математика"));
        d->accept();
    });
    w.chooseForCell(cellAt(1, 0));
    EXPECT_EQ(f.placedCount(), 1);
}

TEST(UnplacedLessonsWindow, ShowAllAndTheLinkMark) {
    app();
    Fixture f;
    f.s.link(3, u("Связь"));
    f.s.lesson(1, 1, 1, 1, 0, 3);
    f.s.lesson(2, 2, 0, 2, 1); // no teacher
    f.placed(3, 1, 1, 2, 0, 1, 1, u("1"));
    UnplacedLessons w(f.t.dict());
    EXPECT_EQ(w.windowTitle(), u("Нерасставленные уроки"));
    EXPECT_EQ(w.tabs()->tabText(2), u("по учителям "));
    for (int t = 0; t < 3; ++t)
        EXPECT_EQ(w.list(t)->model()->rowCount(), 1) << t;
    // The linked lesson carries the link mark in every list, also for screen readers.
    for (int t = 0; t < 3; ++t) {
        const QModelIndex first = w.list(t)->model()->index(0, 0);
        EXPECT_FALSE(first.data(Qt::DecorationRole).isNull()) << t;
    }
    w.showAll()->setChecked(true);
    EXPECT_EQ(w.list(0)->model()->rowCount(), 2);
    EXPECT_EQ(w.list(1)->model()->rowCount(), 2);
    EXPECT_EQ(w.list(2)->model()->rowCount(), 1); // the teacher list never shows it
    EXPECT_EQ(w.list(0)->model()->index(0, 0).data().toString(), u("Английский язык"));
    // A pick shows why the lesson is left: the engine's reasons over every cell.
    QTableView* view = w.list(0)->view();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(0, 0)).center());
    EXPECT_EQ(w.why()->toPlainText(),
              u("5-Б/1 Английский язык (без учителя): 1 ч. не расставлено\n"
                "  Размещение уроков невозможно: у учителя нет списка кабинетов для предмета "
                "Английский язык: 6 клеток\n"
                "  Размещение уроков невозможно из-за занятости учебной группы5 -Б: 1 клетка\n"
                "      5-Б Математика (Иванова) — 1 клетка"));
    // Columns by tab.
    EXPECT_EQ(w.list(1)->model()->index(0, 0).data().toString(), u("5-А"));
    EXPECT_EQ(w.list(2)->model()->index(0, 0).data().toString(), u("Иванова"));
}

TEST(UnplacedLessonsWindow, AMoveSuggestedIsCarriedOutByItsButton) {
    app();
    Fixture f;
    // 5-А may only have пн 1, where Иванова teaches 5-Б.
    const Schedule math = f.s.lesson(1, 1, 1, 1);
    const Schedule other = f.placed(2, 1, 1, 2, 0, 1, 1, u("1"));
    for (Short cell = 1; cell < 6; ++cell)
        f.s.restrict(ObjectType::Group, 1, 1, Short(1 + cell / 3), QString::number(1 + cell % 3),
                     RestrictionLevel::Forbidden);
    struct Frame : QObject { // hears the refresh the window posts
        int refreshes = 0;
        bool event(QEvent* e) override {
            refreshes += e->type() == QEvent::Type(UserEvent::Refresh);
            return QObject::event(e);
        }
    } frame;
    f.t.glo().FrameThread = f.t.dict().windows.enlist(&frame, u("Frame"));

    UnplacedLessons w(f.t.dict());
    w.show();
    QTableView* view = w.list(0)->view();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(0, 0)).center());
    QListWidget* list = w.suggestions();
    ASSERT_GE(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), u("Переставить «5-Б Математика (Иванова)» с пн 1 на пн 2 — "
                                       "тогда урок встанет на пн 1"));
    EXPECT_FALSE(w.carryOut()->isEnabled()); // nothing chosen yet
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    QTest::mouseClick(w.carryOut(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.s.byRow(math.rowId).LessonNo, u("1"));
    EXPECT_EQ(f.s.byRow(other.rowId).LessonNo, u("2"));
    EXPECT_EQ(w.list(0)->model()->rowCount(), 0);
    EXPECT_EQ(frame.refreshes, 1);
    EXPECT_EQ(f.t.dict().history().undoName(), u("размещение урока с перестановкой"));
    // One step undoes both.
    ASSERT_EQ(f.t.dict().history().undo(f.t.dict()), EditHistory::Result::Done);
    EXPECT_TRUE(f.s.byRow(math.rowId).isUnplaced());
    EXPECT_EQ(f.s.byRow(other.rowId).LessonNo, u("1"));
}
