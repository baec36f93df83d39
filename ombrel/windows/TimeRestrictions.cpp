#include "ombrel/windows/TimeRestrictions.h"

#include "tamsel/Events.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace tamsel;
using pivrel::GridCell;

namespace ombrel {

TimeRestrictions::TimeRestrictions(Dictionary& dict, QWidget* parent)
    : QWidget(parent), dict_(dict), grid_(dict, true) {
    setObjectName(procedureName());
    setWindowTitle(QStringLiteral("Требования к расписанию ..."));
    for (FileId id :
         {FileId::Days, FileId::LessonBell, FileId::Restriction, FileId::Teacher,
          FileId::Speciality, FileId::Group, FileId::Room, FileId::RoomType, FileId::Science})
        files_.push_back(std::make_unique<FileUse>(dict_.store(), id));
    grid_.setRestrictionsOnly(true);

    tabs_ = new pivrel::ObjectTabs(dict_,
                                   {{QStringLiteral("... учителей"), ObjectType::Teacher},
                                    {QStringLiteral("... учебных групп"), ObjectType::Group},
                                    {QStringLiteral("... кабинетов"), ObjectType::Room},
                                    {QStringLiteral("... по предметам"), ObjectType::Science}},
                                   this);
    weekLabel_ = new QLabel(QStringLiteral("Неделя:"), this);
    weekSpin_ = new QSpinBox(this);
    weekSpin_->setRange(1, std::max<int>(1, dict_.glo.WeeksInCycle));
    weekSpin_->setAccessibleName(QStringLiteral("Неделя"));
    weekLabel_->setBuddy(weekSpin_);

    QApplication::setOverrideCursor(Qt::WaitCursor);
    grid_.build();
    pivrel::GridBlocks::Hooks hooks;
    auto show = [](QMenu* menu, const QPoint& at) {
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(at);
    };
    hooks.cellMenu = [this, show](const GridCell& cell, const QPoint& at) {
        show(marksMenu({cell}, this), at);
    };
    hooks.dayMenu = [this, show](int block, int day, const QPoint& at) {
        show(marksMenu(grid_.dayCells(block, day), this), at);
    };
    hooks.rowMenu = [this, show](int block, int bell, const QPoint& at) {
        show(marksMenu(grid_.rowCells(block, bell), this), at);
    };
    hooks.doubleClicked = [this](const GridCell& cell, const QPoint&) { stepCell(cell); };
    // Space steps the current cell as a double click does.
    hooks.key = [this](const GridCell& cell, QKeyEvent* e) {
        if (e->key() != Qt::Key_Space) return false;
        stepCell(cell);
        return true;
    };
    blocks_ = new pivrel::GridBlocks(grid_, std::move(hooks), this);
    QApplication::restoreOverrideCursor();
    weekLabel_->setVisible(grid_.weekSpinVisible());
    weekSpin_->setVisible(grid_.weekSpinVisible());

    auto* top = new QHBoxLayout;
    top->addWidget(tabs_, 1);
    top->addWidget(weekLabel_);
    top->addWidget(weekSpin_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(blocks_, 1);
    const QSize natural = blocks_->gridSize();
    resize(std::min(1400, std::max(560, natural.width() + 24)),
           std::min(900, natural.height() + 90));

    connect(tabs_, &pivrel::ObjectTabs::objectChosen, this, [this] {
        grid_.setObject(tabs_->currentType(), tabs_->currentCode());
        refresh();
    });
    connect(weekSpin_, &QSpinBox::valueChanged, this, [this](int w) {
        grid_.setWeek(static_cast<short>(w));
        refresh();
        tabs_->focusList();
    });
    grid_.setObject(tabs_->currentType(), tabs_->currentCode());
    refresh();
}

TimeRestrictions::~TimeRestrictions() {
    delete blocks_; // its tables read the grid while they go
}

void TimeRestrictions::refresh() {
    grid_.refresh();
    blocks_->refresh();
}

QMenu* TimeRestrictions::marksMenu(std::vector<GridCell> cells, QWidget* parent) {
    auto* menu = new QMenu(parent);
    pivrel::addRestrictionMarks(menu, dict_.glo, true, [this, cells](Short level) {
        if (grid_.mark(cells, level)) changed();
    });
    return menu;
}

void TimeRestrictions::stepCell(const GridCell& cell) {
    grid_.cycleMark(cell);
    changed();
}

void TimeRestrictions::changed() {
    // The grid posted 1024; a window that hears no relay recolours itself.
    const Short me = dict_.windows.numberOf(this);
    if (me == 0 || !dict_.glo.WindowRefreshQueue.count(me)) refresh();
}

void TimeRestrictions::customEvent(QEvent* event) {
    const int type = static_cast<int>(event->type());
    if (type == UserEvent::Refresh || type == UserEvent::RefreshGrid) refresh();
    QWidget::customEvent(event);
}

} // namespace ombrel
