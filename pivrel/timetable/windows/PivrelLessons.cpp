#include "pivrel/timetable/PivrelLessons.h"

#include "pivrel/engine/AutoPlacement.h"
#include "pivrel/timetable/SelectLessonVariant.h"

#include "tamsel/Events.h"
#include "trusko/Printing.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

using namespace tamsel;

namespace pivrel {

namespace {

const QString MoveLessons = QStringLiteral("MoveLessons");

/// The artwork of the program where it is there (a library window run by itself has none).
QIcon programIcon(const char* name) {
    const QString path = QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name));
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

} // namespace

PivrelLessons::PivrelLessons(Dictionary& dict, const QString& mode, QWidget* parent)
    : QWidget(parent), dict_(dict), grid_(dict, !mode.trimmed().isEmpty()) {
    setObjectName(procedureName());
    setWindowTitle(QStringLiteral("Расписание ..."));
    for (FileId id : Engine::files())
        files_.push_back(std::make_unique<FileUse>(dict_.store(), id));
    for (FileId id : {FileId::Speciality, FileId::RoomType})
        files_.push_back(std::make_unique<FileUse>(dict_.store(), id));

    tabs_ = new ObjectTabs(dict_,
                           {{QStringLiteral("Расписание учителей"), ObjectType::Teacher},
                            {QStringLiteral("Расписание учебных групп"), ObjectType::Group},
                            {QStringLiteral("Загрузка кабинетов"), ObjectType::Room}},
                           this);
    weekLabel_ = new QLabel(QStringLiteral("Неделя:"), this);
    weekSpin_ = new QSpinBox(this);
    weekSpin_->setRange(1, std::max<int>(1, dict_.glo.WeeksInCycle));
    weekSpin_->setAccessibleName(QStringLiteral("Неделя"));
    weekLabel_->setBuddy(weekSpin_);
    printButton_ = new QPushButton(QStringLiteral("Печать"), this);

    auto* top = new QHBoxLayout;
    top->addWidget(tabs_, 1);
    top->addWidget(weekLabel_);
    top->addWidget(weekSpin_);
    top->addWidget(printButton_);

    QApplication::setOverrideCursor(Qt::WaitCursor);
    grid_.build();
    GridBlocks::Hooks hooks;
    hooks.cellMenu = [this](const GridCell& cell, const QPoint& at) {
        popup(cellMenu(cell, this), at);
    };
    hooks.dayMenu = [this](int block, int day, const QPoint& at) {
        popup(dayMenu(block, day, this), at);
    };
    hooks.rowMenu = [this](int block, int bell, const QPoint& at) {
        popup(rowMenu(block, bell, this), at);
    };
    hooks.doubleClicked = [this](const GridCell& cell, const QPoint& at) {
        popup(infoMenu(cell, this), at);
    };
    hooks.clicked = [this](const GridCell& cell, bool shift) { cellClicked(cell, shift); };
    hooks.key = [this](const GridCell& cell, QKeyEvent* e) { return cellKey(cell, e); };
    hooks.dragStarted = [this](const GridCell& cell) { return pickUp(cell); };
    hooks.dragEnded = [this](bool dropped) {
        if (!dropped) putBack();
    };
    hooks.dropped = [this](const GridCell& cell, const QString& id, RowId lesson) {
        dropped(cell, id, lesson);
    };
    blocks_ = new GridBlocks(grid_, std::move(hooks), this);
    QApplication::restoreOverrideCursor();
    weekLabel_->setVisible(grid_.weekSpinVisible());
    weekSpin_->setVisible(grid_.weekSpinVisible());

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(blocks_, 1);
    // The grid's own size, as far as the screen allows; the frame may give a saved place.
    const QSize natural = blocks_->gridSize();
    natural_ = QSize(std::min(1400, std::max(520, natural.width() + 24)),
                     std::min(900, natural.height() + 90));
    resize(natural_);

    undoSeen_ = dict_.history().applied();
    connect(tabs_, &ObjectTabs::objectChosen, this, &PivrelLessons::objectChosen);
    connect(weekSpin_, &QSpinBox::valueChanged, this, [this](int w) {
        grid_.setWeek(static_cast<short>(w));
        refresh();
        afterAction();
    });
    connect(printButton_, &QPushButton::clicked, this, &PivrelLessons::print);
    objectChosen();
}

PivrelLessons::~PivrelLessons() {
    // Children taken down after this body (the object tabs, the week box) may still signal a
    // change of object or week; that must not reach a grid whose tables are gone.
    if (tabs_) tabs_->disconnect(this);
    if (weekSpin_) weekSpin_->disconnect(this);
    // The tables ask the grid for headers while they are taken down: they go before it does.
    delete blocks_;
    blocks_ = nullptr;
}

void PivrelLessons::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (sized_) return;
    sized_ = true;
    // The compact and the full grid share one kept place: its position is kept, but the size
    // is the one this grid's cells need (the full grid would otherwise open at the compact
    // one's size and hide most of its rows).
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!sub || sub->isMaximized() || sub->isMinimized()) return;
    QSize wanted = sub->size() - size() + natural_;
    if (QWidget* area = sub->parentWidget())
        wanted = wanted.boundedTo(area->size()).expandedTo(sub->minimumSizeHint());
    sub->resize(wanted);
}

void PivrelLessons::objectChosen() {
    grid_.setObject(tabs_->currentType(), tabs_->currentCode());
    setWindowTitle(grid_.objectCode() == 0 ? QStringLiteral("Расписание ...") : grid_.title());
    refresh();
}

bool PivrelLessons::showObject(Short type, Long code) {
    return tabs_->choose(type, code);
}

void PivrelLessons::refresh() {
    if (!blocks_) return; // the window is being taken down
    grid_.refresh();
    blocks_->refresh();
}

std::vector<QTableView*> PivrelLessons::blockViews() const {
    return blocks_->views();
}

QStringList PivrelLessons::weekCaptions() const {
    return blocks_->weekCaptions();
}

void PivrelLessons::popup(QMenu* menu, const QPoint& at) {
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(at);
}

bool PivrelLessons::cellKey(const GridCell& cell, QKeyEvent* e) {
    // The keyboard does what the mouse does: Delete takes the cell's lessons off,
    // Shift+Enter shows where they could go, Ctrl+X picks the lesson up and Ctrl+V puts it
    // down in another cell, Escape puts it back, Ctrl+L pins the cell's lessons or frees them.
    if (e->key() == Qt::Key_Delete) {
        removeLessons(cell);
    } else if (e->key() == Qt::Key_L && e->modifiers() == Qt::ControlModifier) {
        grid_.pin({cell}, !grid_.pinnedAt(cell));
        afterAction();
    } else if (e->matches(QKeySequence::Cut)) {
        // The focus stays on the grid: the arrows then lead the lesson to its new cell.
        pickUp(cell);
    } else if (e->matches(QKeySequence::Paste)) {
        putDown(cell);
    } else if (e->key() == Qt::Key_Escape && dict_.glo.MoveTargetsShown) {
        putBack();
    } else if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        cellClicked(cell, e->modifiers() & Qt::ShiftModifier);
    } else {
        return false;
    }
    return true;
}

void PivrelLessons::afterAction() {
    // Listed windows hear the frame's relay; a window on its own refreshes itself.
    const Short me = dict_.windows.numberOf(this);
    if (me == 0 || !dict_.glo.WindowRefreshQueue.count(me)) refresh();
    tabs_->focusList();
}

QMenu* PivrelLessons::cellMenu(const GridCell& cell, QWidget* parent) {
    auto& glo = dict_.glo;
    auto* menu = new QMenu(parent);
    menu->addAction(programIcon("nav-delete"), QStringLiteral("Снять уроки"), this,
                    [this, cell] { removeLessons(cell); });
    menu->addAction(programIcon("unplaced"), QStringLiteral("\"Что сюда можно поставить?\""), this,
                    [this, cell] { chooseForCell(cell); });
    menu->addAction(programIcon("restrictions"), QStringLiteral("\"Куда можно подвинуть?\""), this,
                    [this, cell] { cellClicked(cell, true); });
    menu->addSeparator();
    const bool pinned = grid_.pinnedAt(cell);
    QAction* pin = menu->addAction(
        pinned ? QStringLiteral("Открепить") : QStringLiteral("Закрепить урок"), this,
        [this, cell, pinned] {
            grid_.pin({cell}, !pinned);
            afterAction();
        });
    pin->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L)); // shown; the grid's key does it
    pin->setEnabled(!grid_.lessonsAt(cell).empty());
    addPinAll(menu);
    menu->addSeparator();
    menu->addAction(programIcon("print"), QStringLiteral("Печать расписания"), this,
                    &PivrelLessons::print);
    menu->addSeparator();
    addRestrictionMarks(menu, glo, !(glo.ShowLessonRestrictions || glo.MoveTargetsShown),
                        [this, cell](Short level) {
                            grid_.mark({cell}, level);
                            afterAction();
                        });
    return menu;
}

QMenu* PivrelLessons::headerMenu(std::vector<GridCell> cells, QWidget* parent) {
    auto* menu = new QMenu(parent);
    addRestrictionMarks(menu, dict_.glo, !dict_.glo.ShowLessonRestrictions,
                        [this, cells](Short level) {
                            grid_.mark(cells, level);
                            afterAction();
                        });
    menu->addSeparator();
    addPinAll(menu);
    menu->addSeparator();
    menu->addAction(programIcon("print"), QStringLiteral("Печать расписания"), this,
                    &PivrelLessons::print);
    return menu;
}

void PivrelLessons::addPinAll(QMenu* menu) {
    const QString whose = grid_.objectType() == ObjectType::Group  ? QStringLiteral("группы")
                          : grid_.objectType() == ObjectType::Room ? QStringLiteral("кабинета")
                                                                   : QStringLiteral("учителя");
    for (bool on : {true, false})
        menu->addAction((on ? QStringLiteral("Закрепить всё расписание ")
                            : QStringLiteral("Открепить всё расписание ")) +
                            whose,
                        this, [this, on] {
                            grid_.pinAll(on);
                            afterAction();
                        })
            ->setEnabled(grid_.objectCode() != 0);
}

QMenu* PivrelLessons::dayMenu(int block, int day, QWidget* parent) {
    return headerMenu(grid_.dayCells(block, day), parent);
}

QMenu* PivrelLessons::rowMenu(int block, int bell, QWidget* parent) {
    return headerMenu(grid_.rowCells(block, bell), parent);
}

QMenu* PivrelLessons::infoMenu(const GridCell& cell, QWidget* parent) {
    auto* menu = new QMenu(parent);
    for (const QString& line : grid_.infoHeader(cell))
        menu->addAction(line);
    menu->addSeparator();
    for (const QString& line : grid_.lines(cell))
        menu->addAction(line);
    return menu;
}

void PivrelLessons::cellClicked(const GridCell& cell, bool shift) {
    if (shift) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        grid_.showMoveTargets(cell);
        QApplication::restoreOverrideCursor();
        dict_.windows.postToFrame(UserEvent::Refresh);
        afterAction();
        return;
    }
    if (!dict_.glo.MoveTargetsShown) return;
    grid_.clearMoveTargets();
    dict_.windows.postToFrame(UserEvent::Refresh);
    afterAction();
}

void PivrelLessons::removeLessons(const GridCell& cell) {
    grid_.removeLessons(cell);
    afterAction();
}

bool PivrelLessons::pickUp(const GridCell& cell) {
    if (!grid_.startDrag(cell)) return false;
    // While the lesson is in hand every grid colours its cells by where it fits.
    const Schedule lesson = dict_.glo.ScheduleRecord;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    LessonVariants(dict_, lesson);
    QApplication::restoreOverrideCursor();
    dict_.glo.ScheduleRecord = lesson;
    dict_.glo.MoveTargetsShown = 1;
    dict_.windows.postToFrame(UserEvent::Refresh);
    const Short me = dict_.windows.numberOf(this);
    if (me == 0 || !dict_.glo.WindowRefreshQueue.count(me)) refresh();
    return true;
}

void PivrelLessons::putDown(const GridCell& cell) {
    if (dict_.glo.ScheduleRecord.rowId == 0) return;
    grid_.dropMoved(cell);
    afterAction();
}

void PivrelLessons::putBack() {
    dict_.glo.ScheduleRecord = Schedule{};
    grid_.clearMoveTargets();
    dict_.windows.postToFrame(UserEvent::Refresh);
    afterAction();
}

void PivrelLessons::chooseForCell(const GridCell& cell) {
    const Engine::Cell t = grid_.timeOf(cell);
    const auto chosen = SelectLessonVariant::choose(dict_, t.week, t.day, grid_.objectType(),
                                                    grid_.objectCode(), t.lessonNo, this);
    if (chosen) {
        dict_.glo.ScheduleRecord = *chosen;
        grid_.place(cell);
    }
    afterAction();
}

void PivrelLessons::dropped(const GridCell& cell, const QString& dragId, RowId lesson) {
    // The drop is carried out once the drag has ended: a refusal shows a message box, which
    // must not open inside the drag.
    QTimer::singleShot(0, this, [this, cell, dragId, lesson] {
        if (dragId == MoveLessons) {
            if (dict_.glo.ScheduleRecord.rowId != lesson)
                dict_.glo.ScheduleRecord = dict_.access<Schedule>().byRowId(lesson);
            grid_.dropMoved(cell);
        } else {
            Schedule s;
            s.rowId = lesson;
            grid_.dropFromList(cell, s);
        }
        afterAction();
    });
}

void PivrelLessons::print() {
    if (grid_.objectCode() == 0) return;
    trusko::PrintObjectSchedule(dict_, grid_.objectType(), grid_.objectCode(), 0, this);
}

void PivrelLessons::customEvent(QEvent* event) {
    const int type = static_cast<int>(event->type());
    if (type == UserEvent::Refresh || type == UserEvent::RefreshGrid) {
        if (dict_.glo.GoToSelectedObject) tabs_->fill();
        refresh();
        if (dict_.history().applied() != undoSeen_) {
            // After an undo or a redo the grid stays on its object and goes to the lesson
            // concerned when that lesson is in it.
            undoSeen_ = dict_.history().applied();
            for (RowId lesson : dict_.history().lastRows())
                if (const auto cell = grid_.cellOf(lesson)) {
                    blocks_->select(*cell);
                    break;
                }
        }
    } else if (type == UserEvent::GoToSelected) {
        const Schedule& r = dict_.glo.ScheduleRecord;
        if (grid_.objectType() == ObjectType::Teacher && r.TeacherCode != 0)
            showObject(ObjectType::Teacher, r.TeacherCode);
        else if (grid_.objectType() == ObjectType::Group && r.GroupCode != 0)
            showObject(ObjectType::Group, r.GroupCode);
        else
            refresh();
    }
    QWidget::customEvent(event);
}

} // namespace pivrel
