#include "pivrel/timetable/GridBlocks.h"

#include "tamsel/widgets/Appearance.h"
#include "tamsel/widgets/ListDeclaration.h"

#include <QAbstractTableModel>
#include <QDrag>
#include <QDragMoveEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>

using namespace tamsel;

namespace pivrel {

namespace {
const QString MoveLessons = QStringLiteral("MoveLessons");
const QString SetToSchedule = QStringLiteral("SetToSchedule");
} // namespace

/// One week block of the grid as a table: lesson rows, day columns.
class GridBlockModel : public QAbstractTableModel {
public:
    GridBlockModel(TimetableGrid& grid, const GridBlocks::Hooks& hooks, int block, QObject* parent)
        : QAbstractTableModel(parent), grid_(grid), hooks_(hooks), block_(block) {}

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
            return grid_.lines(cell).join(QLatin1Char('\n'));
        case Qt::AccessibleTextRole: {
            // A cell without lessons still says what its colour says.
            // The pin's mark is read out in words.
            QString text = grid_.lines(cell).join(QLatin1Char('\n'));
            text.replace(TimetableGrid::PinMark, QStringLiteral("закреплён: "));
            return text.isEmpty() ? grid_.colourMeaning(cell) : text;
        }
        case Qt::AccessibleDescriptionRole:
            return (grid_.infoHeader(cell) << grid_.colourMeaning(cell)).join(QStringLiteral(", "));
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
            return lines.isEmpty() ? QVariant(grid_.colourMeaning(cell))
                                   : QVariant(lines.join(QLatin1Char('\n')));
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
        if (!index.isValid()) return hooks_.dropped ? Qt::ItemIsDropEnabled : Qt::NoItemFlags;
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (hooks_.dragStarted) f |= Qt::ItemIsDragEnabled;
        if (hooks_.dropped) f |= Qt::ItemIsDropEnabled;
        return f;
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
        if (!hooks_.dragStarted || indexes.isEmpty() ||
            !hooks_.dragStarted(cellOf(indexes.first())))
            return nullptr;
        auto* data = new QMimeData;
        data->setData(dragMimeType(MoveLessons),
                      QByteArray::number(grid_.dict().glo.ScheduleRecord.rowId));
        data->setText(grid_.lines(cellOf(indexes.first())).join(QLatin1Char('\n')));
        return data;
    }

    bool canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                         const QModelIndex& parent) const override {
        return hooks_.dropped && parent.isValid() &&
               (data->hasFormat(dragMimeType(MoveLessons)) ||
                data->hasFormat(dragMimeType(SetToSchedule)));
    }

    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override {
        if (!canDropMimeData(data, action, row, column, parent)) return false;
        const QString id = data->hasFormat(dragMimeType(MoveLessons)) ? MoveLessons : SetToSchedule;
        hooks_.dropped(cellOf(parent), id, data->data(dragMimeType(id)).toLongLong());
        return true;
    }

    void changedAll() {
        if (rowCount() && columnCount())
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }

private:
    TimetableGrid& grid_;
    const GridBlocks::Hooks& hooks_;
    int block_;
};

namespace {

/// The table of a week block: clicks, popups, keys and drags go to the hooks.
class GridBlockView : public QTableView {
public:
    GridBlockView(TimetableGrid& grid, const GridBlocks::Hooks& hooks, GridBlockModel* model)
        : grid_(grid), hooks_(hooks), model_(model) {
        setModel(model);
    }

protected:
    void mousePressEvent(QMouseEvent* e) override {
        const QModelIndex i = indexAt(e->pos());
        if (i.isValid() && e->button() == Qt::LeftButton && hooks_.clicked) {
            const bool shift = e->modifiers() & Qt::ShiftModifier;
            hooks_.clicked(model_->cellOf(i), shift);
            if (shift) return;
        }
        QTableView::mousePressEvent(e);
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        const QModelIndex i = indexAt(e->pos());
        if (i.isValid() && hooks_.doubleClicked)
            hooks_.doubleClicked(model_->cellOf(i), e->globalPosition().toPoint());
    }
    void contextMenuEvent(QContextMenuEvent* e) override {
        QModelIndex i = indexAt(e->pos());
        QPoint at = e->globalPos();
        if (e->reason() == QContextMenuEvent::Keyboard) {
            i = currentIndex();
            at = viewport()->mapToGlobal(visualRect(i).center());
        }
        if (i.isValid() && hooks_.cellMenu) hooks_.cellMenu(model_->cellOf(i), at);
    }
    void keyPressEvent(QKeyEvent* e) override {
        const QModelIndex i = currentIndex();
        if (i.isValid() && hooks_.key && hooks_.key(model_->cellOf(i), e)) return;
        QTableView::keyPressEvent(e);
    }

    void startDrag(Qt::DropActions actions) override {
        const QModelIndex i = currentIndex();
        if (!i.isValid()) return;
        QMimeData* data = model_->mimeData({i});
        if (!data) return;
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        lastHover_ = {-1, -1, -1};
        const Qt::DropAction result = drag->exec(actions, Qt::CopyAction);
        QToolTip::hideText();
        if (hooks_.dragEnded) hooks_.dragEnded(result != Qt::IgnoreAction);
    }

    // While a lesson is dragged over the grid the cell under it says why it cannot go there.
    void dragMoveEvent(QDragMoveEvent* e) override {
        QTableView::dragMoveEvent(e);
        const QModelIndex i = indexAt(e->position().toPoint());
        if (!i.isValid()) return;
        const GridCell cell = model_->cellOf(i);
        if (cell == lastHover_) return;
        lastHover_ = cell;
        const QStringList why = grid_.refusalsAt(cell);
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
    TimetableGrid& grid_;
    const GridBlocks::Hooks& hooks_;
    GridBlockModel* model_;
    GridCell lastHover_{-1, -1, -1};
};

} // namespace

GridBlocks::GridBlocks(TimetableGrid& grid, Hooks hooks, QWidget* parent)
    : QScrollArea(parent), grid_(grid), hooks_(std::move(hooks)) {
    const QFont font = timetableFont(grid_.dict().glo, this->font());
    const int H = grid_.cellHeight();
    auto* content = new QWidget;
    auto* blocks = new QVBoxLayout(content);
    blocks->setSpacing(12);
    for (int b = 0; b < grid_.blocks(); ++b) {
        if (b > 0) {
            // The week caption from the second block on, bold at size 10.
            auto* caption = new QLabel(TimetableGrid::weekCaption(b + 1));
            QFont f = caption->font();
            f.setPointSize(10);
            f.setWeight(QFont::Bold);
            caption->setFont(f);
            captions_.push_back(caption);
            blocks->addWidget(caption);
        }
        auto* model = new GridBlockModel(grid_, hooks_, b, this);
        auto* view = new GridBlockView(grid_, hooks_, model);
        view->setAccessibleName(grid_.allWeeksShown() ? TimetableGrid::weekCaption(b + 1)
                                                      : QStringLiteral("Расписание"));
        view->setFont(font);
        view->setWordWrap(false);
        view->setTextElideMode(Qt::ElideNone);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        if (hooks_.dragStarted || hooks_.dropped) {
            view->setDragEnabled(bool(hooks_.dragStarted));
            view->setAcceptDrops(bool(hooks_.dropped));
            view->setDropIndicatorShown(false);
            view->setDragDropMode(QAbstractItemView::DragDrop);
            view->setDefaultDropAction(Qt::CopyAction);
        }
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view->horizontalHeader()->setDefaultSectionSize(columnWidth(view));
        view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view->verticalHeader()->setMinimumSectionSize(1); // low cells are the user's choice
        view->verticalHeader()->setDefaultSectionSize(H + 1);
        for (QHeaderView* header : {view->horizontalHeader(), view->verticalHeader()})
            header->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view->horizontalHeader(), &QHeaderView::customContextMenuRequested, this,
                [this, view, b](const QPoint& p) {
                    const int day = view->horizontalHeader()->logicalIndexAt(p);
                    if (day >= 0 && hooks_.dayMenu)
                        hooks_.dayMenu(b, day, view->horizontalHeader()->mapToGlobal(p));
                });
        connect(view->verticalHeader(), &QHeaderView::customContextMenuRequested, this,
                [this, view, b](const QPoint& p) {
                    const int bell = view->verticalHeader()->logicalIndexAt(p);
                    if (bell >= 0 && hooks_.rowMenu)
                        hooks_.rowMenu(b, bell, view->verticalHeader()->mapToGlobal(p));
                });
        const int height = view->horizontalHeader()->sizeHint().height() +
                           (H + 1) * int(grid_.bells().size()) + 2 * view->frameWidth();
        const int width = view->verticalHeader()->sizeHint().width() +
                          columnWidth(view) * int(grid_.days().size()) + 2 * view->frameWidth();
        view->setFixedSize(width, height);
        blocks->addWidget(view);
        models_.push_back(model);
        views_.push_back(view);
    }
    blocks->addStretch(1);
    setWidget(content);
    setWidgetResizable(true);
}

GridBlocks::~GridBlocks() {
    // The tables ask the grid for their headers while they are taken down: they go first,
    // while the grid (the window's) is still there.
    delete takeWidget();
}

void GridBlocks::refresh() {
    // The appearance settings may have changed: the grid follows the font and cell size too.
    const QFont font = timetableFont(grid_.dict().glo, this->font());
    const int H = grid_.cellHeight();
    for (QTableView* view : views_) {
        if (view->font() != font) view->setFont(font);
        const int columns = columnWidth(view);
        if (view->horizontalHeader()->defaultSectionSize() != columns ||
            view->verticalHeader()->defaultSectionSize() != H + 1) {
            view->horizontalHeader()->setDefaultSectionSize(columns);
            view->verticalHeader()->setDefaultSectionSize(H + 1);
            view->setFixedSize(view->verticalHeader()->sizeHint().width() +
                                   columns * int(grid_.days().size()) + 2 * view->frameWidth(),
                               view->horizontalHeader()->sizeHint().height() +
                                   (H + 1) * int(grid_.bells().size()) + 2 * view->frameWidth());
        }
    }
    for (GridBlockModel* m : models_)
        m->changedAll();
}

void GridBlocks::select(const GridCell& cell) {
    if (cell.block < 0 || cell.block >= int(views_.size())) return;
    QTableView* view = views_[size_t(cell.block)];
    const QModelIndex i = view->model()->index(cell.bell, cell.day);
    view->setCurrentIndex(i);
    view->scrollTo(i);
    ensureWidgetVisible(view);
}

int GridBlocks::columnWidth(const QTableView* view) const {
    // Compact cells are narrower than "Понедельник": a day column is never narrower than its
    // day's name.
    int widest = 0;
    const QFontMetrics metrics = view->horizontalHeader()->fontMetrics();
    for (int d = 0; d < int(grid_.days().size()); ++d)
        widest = std::max(widest, metrics.horizontalAdvance(grid_.dayHeader(d).trimmed()));
    return std::max(grid_.cellWidth() + 1, widest + 12);
}

QStringList GridBlocks::weekCaptions() const {
    QStringList out;
    for (QLabel* l : captions_)
        out << l->text();
    return out;
}

QSize GridBlocks::gridSize() const {
    if (views_.empty()) return {};
    const QSize one = views_.front()->size();
    return {one.width() + 24, (one.height() + 12) * int(views_.size()) + 24};
}

void addRestrictionMarks(QMenu* menu, const Globals& glo, bool enabled,
                         const std::function<void(Short)>& chosen) {
    const std::pair<QString, Long> marks[] = {
        {QStringLiteral("Без ограничений"), glo.NoRestrictionColor},
        {QStringLiteral("Не желательно"), glo.WeakRestrictionColor},
        {QStringLiteral("Уроки запрещены"), glo.DontUseRestrictionColor}};
    for (Short level = 0; level < 3; ++level) {
        QPixmap p(14, 14);
        p.fill(Qt::transparent);
        QPainter g(&p);
        g.setBrush(colorOf(marks[level].second));
        g.setPen(colorOf(marks[level].second).darker(160));
        g.drawRect(1, 1, 11, 11);
        g.end();
        QAction* a = menu->addAction(QIcon(p), marks[level].first);
        QObject::connect(a, &QAction::triggered, menu, [chosen, level] { chosen(level); });
        a->setEnabled(enabled);
    }
}

} // namespace pivrel
