#include "pivrel/timetable/PivrelLessons.h"

#include "pivrel/engine/AutoPlacement.h"
#include "pivrel/timetable/SelectLessonVariant.h"

#include "tamsel/Events.h"
#include "tamsel/widgets/Appearance.h"
#include "tamsel/widgets/ListDeclaration.h"
#include "trusko/Printing.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QDrag>
#include <QDragMoveEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

using namespace tamsel;

namespace pivrel {

namespace {

const QString MoveLessons = QStringLiteral("MoveLessons");
const QString SetToSchedule = QStringLiteral("SetToSchedule");

QIcon markIcon(Long colour) {
    QPixmap p(14, 14);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setBrush(colorOf(colour));
    g.setPen(colorOf(colour).darker(160));
    g.drawRect(1, 1, 11, 11);
    return QIcon(p);
}

/// The artwork of the program where it is there (a library window run by itself has none).
QIcon programIcon(const char* name) {
    const QString path = QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name));
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

} // namespace

/// One week block of the grid as a table: lesson rows, day columns.
class GridBlockModel : public QAbstractTableModel {
public:
    GridBlockModel(PivrelLessons& window, TimetableGrid& grid, int block, QObject* parent)
        : QAbstractTableModel(parent), window_(window), grid_(grid), block_(block) {}

    GridCell cellOf(const QModelIndex& i) const { return {block_, i.column(), i.row()}; }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(grid_.bells().size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(grid_.days().size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        const GridCell cell = cellOf(index);
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return grid_.lines(cell).join(QLatin1Char('\n'));
        case Qt::AccessibleDescriptionRole:
            return grid_.infoHeader(cell).join(QStringLiteral(", "));
        case Qt::BackgroundRole:
            return QBrush(colorOf(grid_.colour(cell)));
        case Qt::ForegroundRole:
            return QBrush(timetableFontColor(grid_.dict().glo));
        case Qt::ToolTipRole: {
            // With a lesson in hand a cell says why the lesson cannot go there.
            if (grid_.colouredByVariants()) {
                const QStringList why = grid_.refusalsAt(cell);
                if (!why.isEmpty()) return withLineBreaks(why.join(QLatin1Char('|')));
            }
            const QStringList lines = grid_.lines(cell);
            return lines.isEmpty() ? QVariant() : QVariant(lines.join(QLatin1Char('\n')));
        }
        case Qt::TextAlignmentRole:
            return int(Qt::AlignLeft | Qt::AlignTop);
        default:
            return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole)
            return {};
        if (o == Qt::Horizontal) {
            if (section < 0 || section >= columnCount()) return {};
            return grid_.dayHeader(section).trimmed();
        }
        if (section < 0 || section >= rowCount()) return {};
        const QString row = grid_.rowHeader(section);
        // A screen reader hears the week of a row too when every week is shown.
        if (role == Qt::AccessibleTextRole && grid_.allWeeksShown())
            return TimetableGrid::weekCaption(block_ + 1) + QStringLiteral(", ") + row;
        return row;
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid()) return Qt::ItemIsDropEnabled;
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
               Qt::ItemIsDropEnabled;
    }
    Qt::DropActions supportedDropActions() const override {
        return Qt::CopyAction | Qt::MoveAction;
    }
    Qt::DropActions supportedDragActions() const override {
        return Qt::CopyAction | Qt::MoveAction;
    }
    QStringList mimeTypes() const override {
        return {dragMimeType(MoveLessons), dragMimeType(SetToSchedule)};
    }

    QMimeData* mimeData(const QModelIndexList& indexes) const override {
        if (indexes.isEmpty() || !grid_.startDrag(cellOf(indexes.first()))) return nullptr;
        auto* data = new QMimeData;
        data->setData(dragMimeType(MoveLessons),
                      QByteArray::number(grid_.dict().glo.ScheduleRecord.rowId));
        data->setText(grid_.lines(cellOf(indexes.first())).join(QLatin1Char('\n')));
        return data;
    }

    bool canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                         const QModelIndex& parent) const override {
        return parent.isValid() && (data->hasFormat(dragMimeType(MoveLessons)) ||
                                    data->hasFormat(dragMimeType(SetToSchedule)));
    }

    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override {
        if (!canDropMimeData(data, action, row, column, parent)) return false;
        const QString id = data->hasFormat(dragMimeType(MoveLessons)) ? MoveLessons : SetToSchedule;
        window_.dropped(cellOf(parent), id, data->data(dragMimeType(id)).toLongLong());
        return true;
    }

    void changedAll() {
        if (rowCount() && columnCount())
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }

private:
    PivrelLessons& window_;
    TimetableGrid& grid_;
    int block_;
};

namespace {

/// The table of a week block: clicks, popups and drags go to the window.
class GridBlockView : public QTableView {
public:
    GridBlockView(PivrelLessons& window, GridBlockModel* model, QWidget* parent)
        : QTableView(parent), window_(window), model_(model) {
        setModel(model);
    }

protected:
    void mousePressEvent(QMouseEvent* e) override {
        const QModelIndex i = indexAt(e->pos());
        if (i.isValid() && e->button() == Qt::LeftButton) {
            const bool shift = e->modifiers() & Qt::ShiftModifier;
            window_.cellClicked(model_->cellOf(i), shift);
            if (shift) return;
        }
        QTableView::mousePressEvent(e);
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        const QModelIndex i = indexAt(e->pos());
        if (!i.isValid()) return;
        QMenu* menu = window_.infoMenu(model_->cellOf(i), this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(e->globalPosition().toPoint());
    }
    void contextMenuEvent(QContextMenuEvent* e) override {
        QModelIndex i = indexAt(e->pos());
        if (!i.isValid() && e->reason() == QContextMenuEvent::Keyboard) i = currentIndex();
        if (!i.isValid()) return;
        QMenu* menu = window_.cellMenu(model_->cellOf(i), this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(e->globalPos());
    }
    void keyPressEvent(QKeyEvent* e) override {
        // The keyboard does what the mouse does: Delete takes the cell's lessons off,
        // Shift+Enter shows where they could go, Ctrl+X picks the lesson up and Ctrl+V puts it
        // down in another cell, Escape drops it back.
        const QModelIndex i = currentIndex();
        if (i.isValid() && e->key() == Qt::Key_Delete) {
            window_.removeLessons(model_->cellOf(i));
            return;
        }
        if (i.isValid() && e->matches(QKeySequence::Cut)) {
            window_.pickUp(model_->cellOf(i));
            return;
        }
        if (i.isValid() && e->matches(QKeySequence::Paste)) {
            window_.putDown(model_->cellOf(i));
            return;
        }
        if (e->key() == Qt::Key_Escape && window_.grid().dict().glo.MoveTargetsShown) {
            window_.putBack();
            return;
        }
        if (i.isValid() && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
            window_.cellClicked(model_->cellOf(i), e->modifiers() & Qt::ShiftModifier);
            return;
        }
        QTableView::keyPressEvent(e);
    }

    void startDrag(Qt::DropActions actions) override {
        const QModelIndex i = currentIndex();
        if (!i.isValid()) return;
        QMimeData* data = model_->mimeData({i});
        if (!data) return;
        auto& glo = window_.grid().dict().glo;
        // While the lesson is in hand every grid colours its cells by where it fits.
        const Schedule lesson = glo.ScheduleRecord;
        LessonVariants(window_.grid().dict(), lesson);
        glo.ScheduleRecord = lesson;
        glo.MoveTargetsShown = 1;
        window_.grid().dict().windows.postToFrame(UserEvent::Refresh);
        window_.refresh();
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        lastHover_ = {-1, -1, -1};
        const Qt::DropAction result = drag->exec(actions, Qt::CopyAction);
        QToolTip::hideText();
        if (result == Qt::IgnoreAction) {
            glo.ScheduleRecord = Schedule{};
            glo.MoveTargetsShown = 0;
            window_.grid().dict().windows.postToFrame(UserEvent::Refresh);
            window_.refresh();
        }
    }

    void dragMoveEvent(QDragMoveEvent* e) override {
        QTableView::dragMoveEvent(e);
        const QModelIndex i = indexAt(e->position().toPoint());
        if (!i.isValid()) return;
        const GridCell cell = model_->cellOf(i);
        if (cell == lastHover_) return;
        lastHover_ = cell;
        const QStringList why = window_.grid().refusalsAt(cell);
        if (why.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(viewport()->mapToGlobal(e->position().toPoint()),
                               withLineBreaks(why.join(QLatin1Char('|'))), this);
    }
    void dragLeaveEvent(QDragLeaveEvent* e) override {
        lastHover_ = {-1, -1, -1};
        QToolTip::hideText();
        QTableView::dragLeaveEvent(e);
    }

private:
    PivrelLessons& window_;
    GridBlockModel* model_;
    GridCell lastHover_{-1, -1, -1};
};

} // namespace

PivrelLessons::PivrelLessons(Dictionary& dict, const QString& mode, QWidget* parent)
    : QWidget(parent), dict_(dict), grid_(dict, !mode.trimmed().isEmpty()) {
    setObjectName(procedureName());
    setWindowTitle(QStringLiteral("Расписание ..."));
    for (FileId id : Engine::files())
        files_.push_back(std::make_unique<FileUse>(dict_.store(), id));
    for (FileId id : {FileId::Speciality, FileId::RoomType})
        files_.push_back(std::make_unique<FileUse>(dict_.store(), id));

    tabs_ = new QTabWidget(this);
    tabs_->setUsesScrollButtons(false);
    const QString tabTitles[] = {QStringLiteral("Расписание учителей"),
                                 QStringLiteral("Расписание учебных групп"),
                                 QStringLiteral("Загрузка кабинетов")};
    for (const QString& t : tabTitles) {
        auto* page = new QWidget;
        auto* row = new QHBoxLayout(page);
        row->setContentsMargins(4, 4, 4, 4);
        auto* list = new QComboBox(page);
        list->setAccessibleName(t);
        list->setMinimumContentsLength(24);
        row->addWidget(list, 1);
        lists_.push_back(list);
        tabs_->addTab(page, t);
    }
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
    buildGrid();
    QApplication::restoreOverrideCursor();
    weekLabel_->setVisible(grid_.weekSpinVisible());
    weekSpin_->setVisible(grid_.weekSpinVisible());

    auto* area = new QScrollArea(this);
    area_ = area;
    auto* content = new QWidget;
    auto* blocks = new QVBoxLayout(content);
    blocks->setSpacing(12);
    for (size_t b = 0; b < views_.size(); ++b) {
        if (b > 0) blocks->addWidget(captions_[b - 1]);
        blocks->addWidget(views_[b]);
    }
    blocks->addStretch(1);
    area->setWidget(content);
    area->setWidgetResizable(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(area, 1);

    // The grid's own size, as far as the screen allows; the frame may give a saved place.
    const int W = grid_.cellWidth();
    const int headerWidth =
        views_.empty() ? 0 : views_.front()->verticalHeader()->sizeHint().width();
    const int blockHeight = views_.empty() ? 0 : views_.front()->height() + 12;
    resize(std::min(1400, headerWidth + (W + 1) * int(grid_.days().size()) + 60),
           std::min(900, 120 + blockHeight * int(views_.size())));

    fillDropLists();
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int tab) { objectChosen(tab); });
    for (int t = 0; t < 3; ++t)
        connect(lists_[static_cast<size_t>(t)], &QComboBox::activated, this,
                [this, t] { objectChosen(t); });
    connect(weekSpin_, &QSpinBox::valueChanged, this, [this](int w) {
        grid_.setWeek(static_cast<short>(w));
        refresh();
        afterAction();
    });
    connect(printButton_, &QPushButton::clicked, this, &PivrelLessons::print);
    objectChosen(0);
}

PivrelLessons::~PivrelLessons() {
    // The tables ask the grid for headers while they are taken down: they go before it does.
    delete area_;
}

void PivrelLessons::buildGrid() {
    const QFont font = timetableFont(dict_.glo, this->font());
    const int W = grid_.cellWidth(), H = grid_.cellHeight();
    for (int b = 0; b < grid_.blocks(); ++b) {
        if (b > 0) {
            auto* caption = new QLabel(TimetableGrid::weekCaption(b + 1));
            QFont f = caption->font();
            f.setPointSize(10);
            f.setWeight(QFont::Bold);
            caption->setFont(f);
            captions_.push_back(caption);
        }
        auto* model = new GridBlockModel(*this, grid_, b, this);
        auto* view = new GridBlockView(*this, model, nullptr);
        view->setAccessibleName(grid_.allWeeksShown() ? TimetableGrid::weekCaption(b + 1)
                                                      : QStringLiteral("Расписание"));
        view->setFont(font);
        view->setWordWrap(false);
        view->setTextElideMode(Qt::ElideNone);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setDragEnabled(true);
        view->setAcceptDrops(true);
        view->setDropIndicatorShown(false);
        view->setDragDropMode(QAbstractItemView::DragDrop);
        view->setDefaultDropAction(Qt::CopyAction);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view->horizontalHeader()->setDefaultSectionSize(W + 1);
        view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view->verticalHeader()->setDefaultSectionSize(H + 1);
        view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
        for (QHeaderView* header : {view->horizontalHeader(), view->verticalHeader()})
            header->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view->horizontalHeader(), &QHeaderView::customContextMenuRequested, this,
                [this, view, b](const QPoint& p) {
                    const int day = view->horizontalHeader()->logicalIndexAt(p);
                    if (day < 0) return;
                    QMenu* m = dayMenu(b, day, view);
                    m->setAttribute(Qt::WA_DeleteOnClose);
                    m->popup(view->horizontalHeader()->mapToGlobal(p));
                });
        connect(view->verticalHeader(), &QHeaderView::customContextMenuRequested, this,
                [this, view, b](const QPoint& p) {
                    const int bell = view->verticalHeader()->logicalIndexAt(p);
                    if (bell < 0) return;
                    QMenu* m = rowMenu(b, bell, view);
                    m->setAttribute(Qt::WA_DeleteOnClose);
                    m->popup(view->verticalHeader()->mapToGlobal(p));
                });
        const int height = view->horizontalHeader()->sizeHint().height() +
                           (H + 1) * int(grid_.bells().size()) + 2 * view->frameWidth();
        const int width = view->verticalHeader()->sizeHint().width() +
                          (W + 1) * int(grid_.days().size()) + 2 * view->frameWidth();
        view->setFixedSize(width, height);
        models_.push_back(model);
        views_.push_back(view);
    }
}

void PivrelLessons::fillDropLists() {
    // The lists keep the object each shows across a reload.
    auto keep = [](QComboBox* c) { return c->currentIndex() < 0 ? QVariant() : c->currentData(); };
    const QVariant kept[3] = {keep(lists_[0]), keep(lists_[1]), keep(lists_[2])};
    auto fill = [](QComboBox* box, const std::vector<std::pair<QStringList, qint64>>& rows,
                   const QVariant& current) {
        auto* model = new QStandardItemModel(box);
        for (const auto& r : rows) {
            QList<QStandardItem*> items;
            for (const QString& t : r.first)
                items << new QStandardItem(t.trimmed());
            items.first()->setData(r.second, Qt::UserRole);
            model->appendRow(items);
        }
        const QSignalBlocker block(box);
        box->setModel(model);
        if (rows.size() && rows.front().first.size() > 1) {
            auto* popup = new QTableView(box);
            popup->horizontalHeader()->hide();
            popup->verticalHeader()->hide();
            popup->setSelectionBehavior(QAbstractItemView::SelectRows);
            popup->setShowGrid(false);
            popup->setMinimumWidth(360);
            box->setView(popup);
            popup->resizeColumnsToContents();
        }
        const int at = current.isValid() ? box->findData(current) : -1;
        box->setCurrentIndex(at >= 0 ? at : (rows.empty() ? -1 : 0));
    };

    std::vector<std::pair<QStringList, qint64>> rows;
    QHash<int, QString> specialities;
    for (const Speciality& s : dict_.access<Speciality>().all(Speciality::SpecialityKey))
        specialities.insert(s.SpecialityCode, s.Speciality);
    for (const Teacher& t : dict_.access<Teacher>().all(Teacher::TeacherNameKey))
        if (t.TeacherCode != 0)
            rows.push_back({{t.TeacherName, specialities.value(t.SpecialityCode)}, t.TeacherCode});
    fill(lists_[0], rows, kept[0]);
    rows.clear();
    for (const Group& g : dict_.access<Group>().all(Group::GroupIdKey))
        if (g.GroupCode != 0) rows.push_back({{g.GroupId()}, g.GroupCode});
    fill(lists_[1], rows, kept[1]);
    rows.clear();
    QHash<Long, QString> types;
    for (const RoomType& t : dict_.access<RoomType>().all(RoomType::CodeKey))
        types.insert(t.SysCode, t.RoomType);
    for (const Room& r : dict_.access<Room>().all(Room::RoomNoKey))
        if (r.RoomCode != 0) rows.push_back({{r.RoomNo, types.value(r.RoomTypePtr)}, r.RoomCode});
    fill(lists_[2], rows, kept[2]);
}

int PivrelLessons::tabOfType(Short type) const {
    return type == ObjectType::Teacher ? 0 : type == ObjectType::Group ? 1 : 2;
}

void PivrelLessons::objectChosen(int tab) {
    static const Short types[] = {ObjectType::Teacher, ObjectType::Group, ObjectType::Room};
    QComboBox* list = lists_[static_cast<size_t>(tab)];
    const Long code = list->currentIndex() < 0 ? 0 : list->currentData().toLongLong();
    grid_.setObject(types[tab], code);
    setWindowTitle(code == 0 ? QStringLiteral("Расписание ...") : grid_.title());
    refresh();
}

bool PivrelLessons::showObject(Short type, Long code) {
    const int tab = tabOfType(type);
    QComboBox* list = lists_[static_cast<size_t>(tab)];
    const int at = list->findData(QVariant::fromValue<qint64>(code));
    if (at < 0) return false;
    {
        const QSignalBlocker block(list);
        list->setCurrentIndex(at);
    }
    if (tabs_->currentIndex() != tab) {
        const QSignalBlocker block(tabs_);
        tabs_->setCurrentIndex(tab);
    }
    objectChosen(tab);
    return true;
}

void PivrelLessons::refresh() {
    grid_.refresh();
    for (GridBlockModel* m : models_)
        m->changedAll();
}

std::vector<QTableView*> PivrelLessons::blockViews() const {
    return views_;
}

QStringList PivrelLessons::weekCaptions() const {
    QStringList out;
    for (QLabel* l : captions_)
        out << l->text();
    return out;
}

void PivrelLessons::afterAction() {
    // Listed windows hear the frame's relay; a window on its own refreshes itself.
    const Short me = dict_.windows.numberOf(this);
    if (me == 0 || !dict_.glo.WindowRefreshQueue.count(me)) refresh();
    lists_[static_cast<size_t>(tabs_->currentIndex())]->setFocus();
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
    menu->addAction(programIcon("print"), QStringLiteral("Печать расписания"), this,
                    &PivrelLessons::print);
    menu->addSeparator();
    const bool marksOff = glo.ShowLessonRestrictions || glo.MoveTargetsShown;
    const std::pair<QString, Long> marks[] = {
        {QStringLiteral("Без ограничений"), glo.NoRestrictionColor},
        {QStringLiteral("Не желательно"), glo.WeakRestrictionColor},
        {QStringLiteral("Уроки запрещены"), glo.DontUseRestrictionColor}};
    for (Short level = 0; level < 3; ++level) {
        QAction* a = menu->addAction(markIcon(marks[level].second), marks[level].first, this,
                                     [this, cell, level] {
                                         grid_.mark({cell}, level);
                                         afterAction();
                                     });
        a->setEnabled(!marksOff);
    }
    return menu;
}

namespace {

QMenu* headerMenu(PivrelLessons* window, Dictionary& dict, TimetableGrid& grid,
                  std::vector<GridCell> cells, QWidget* parent,
                  const std::function<void()>& after) {
    auto& glo = dict.glo;
    auto* menu = new QMenu(parent);
    const std::pair<QString, Long> marks[] = {
        {QStringLiteral("Без ограничений"), glo.NoRestrictionColor},
        {QStringLiteral("Не желательно"), glo.WeakRestrictionColor},
        {QStringLiteral("Уроки запрещены"), glo.DontUseRestrictionColor}};
    for (Short level = 0; level < 3; ++level) {
        QAction* a = menu->addAction(markIcon(marks[level].second), marks[level].first, window,
                                     [&grid, cells, level, after] {
                                         grid.mark(cells, level);
                                         after();
                                     });
        a->setEnabled(!glo.ShowLessonRestrictions);
    }
    menu->addSeparator();
    menu->addAction(programIcon("print"), QStringLiteral("Печать расписания"), window,
                    &PivrelLessons::print);
    return menu;
}

} // namespace

QMenu* PivrelLessons::dayMenu(int block, int day, QWidget* parent) {
    return headerMenu(this, dict_, grid_, grid_.dayCells(block, day), parent,
                      [this] { afterAction(); });
}

QMenu* PivrelLessons::rowMenu(int block, int bell, QWidget* parent) {
    return headerMenu(this, dict_, grid_, grid_.rowCells(block, bell), parent,
                      [this] { afterAction(); });
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

void PivrelLessons::pickUp(const GridCell& cell) {
    if (!grid_.startDrag(cell)) return;
    const Schedule lesson = dict_.glo.ScheduleRecord;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    LessonVariants(dict_, lesson);
    QApplication::restoreOverrideCursor();
    dict_.glo.ScheduleRecord = lesson;
    dict_.glo.MoveTargetsShown = 1;
    dict_.windows.postToFrame(UserEvent::Refresh);
    afterAction();
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
        if (dict_.glo.GoToSelectedObject) fillDropLists();
        refresh();
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
