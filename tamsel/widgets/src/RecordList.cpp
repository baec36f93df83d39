#include "tamsel/widgets/RecordList.h"

#include "tamsel/Dictionary.h"
#include "tamsel/Relations.h"
#include "tamsel/widgets/RecordForm.h"

#include <QComboBox>
#include <QDrag>
#include <QMimeData>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace tamsel {

namespace {

/// The table of a list; tells the declaration when a drag it started has ended.
class ListTableView : public QTableView {
public:
    ListTableView(const ListDeclaration& decl, QWidget* parent) : QTableView(parent), decl_(decl) {}

protected:
    void startDrag(Qt::DropActions actions) override {
        const QModelIndex current = currentIndex();
        if (!current.isValid()) return;
        QMimeData* data = model()->mimeData({current});
        if (!data) return;
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        const Qt::DropAction result = drag->exec(actions, defaultDropAction());
        if (decl_.dragEnded) decl_.dragEnded(result != Qt::IgnoreAction);
    }

private:
    const ListDeclaration& decl_;
};

/// The in-place editors of the columns.
class Delegate : public QStyledItemDelegate {
public:
    Delegate(const ListDeclaration& decl, QObject* parent)
        : QStyledItemDelegate(parent), decl_(decl) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        const ListColumn& c = decl_.columns[static_cast<size_t>(index.column())];
        switch (c.editor) {
        case ListColumn::Editor::Number: {
            auto* spin = new QSpinBox(parent);
            spin->setRange(c.minimum, c.maximum);
            return spin;
        }
        case ListColumn::Editor::Choice: {
            auto* combo = new QComboBox(parent);
            if (c.choices)
                for (const auto& [text, value] : c.choices())
                    combo->addItem(text, std::holds_alternative<QString>(value)
                                             ? QVariant(std::get<QString>(value))
                                             : QVariant(std::get<qint64>(value)));
            return combo;
        }
        case ListColumn::Editor::Time: {
            auto* time = new QTimeEdit(parent);
            time->setDisplayFormat(QStringLiteral("H:mm"));
            return time;
        }
        default: {
            auto* line =
                qobject_cast<QLineEdit*>(QStyledItemDelegate::createEditor(parent, option, index));
            if (line && c.field >= 0)
                line->setMaxLength(fileDef(decl_.file).fields[static_cast<size_t>(c.field)].width);
            return line;
        }
        }
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        const QVariant v = index.data(Qt::EditRole);
        if (auto* combo = qobject_cast<QComboBox*>(editor))
            combo->setCurrentIndex(std::max(0, combo->findData(v)));
        else if (auto* time = qobject_cast<QTimeEdit*>(editor))
            time->setTime(QTime::fromString(v.toString(), QStringLiteral("H:mm")));
        else if (auto* spin = qobject_cast<QSpinBox*>(editor))
            spin->setValue(v.toInt());
        else
            QStyledItemDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor))
            model->setData(index, combo->currentData(), Qt::EditRole);
        else if (auto* time = qobject_cast<QTimeEdit*>(editor))
            model->setData(index, time->time().toString(QStringLiteral("H:mm")), Qt::EditRole);
        else if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
            spin->interpretText();
            model->setData(index, spin->value(), Qt::EditRole);
        } else
            QStyledItemDelegate::setModelData(editor, model, index);
    }

private:
    const ListDeclaration& decl_;
};

} // namespace

RecordList::RecordList(Dictionary& dict, ListDeclaration decl, QWidget* parent)
    : QWidget(parent), dict_(dict), decl_(std::move(decl)) {
    setObjectName(decl_.name);
    model_ = new RecordListModel(dict_, decl_, this);
    view_ = new ListTableView(decl_, this);
    view_->setModel(model_);
    view_->setItemDelegate(new Delegate(decl_, view_));
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    view_->setTabKeyNavigation(false);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    view_->horizontalHeader()->setStretchLastSection(true);
    view_->setAccessibleName(decl_.name);
    view_->installEventFilter(this);
    if (!decl_.dragIds.isEmpty()) {
        view_->setDragEnabled(true);
        view_->setDefaultDropAction(Qt::CopyAction);
    }
    if (!decl_.drops.empty()) {
        view_->setAcceptDrops(true);
        view_->setDropIndicatorShown(true);
        view_->setDragDropMode(decl_.dragIds.isEmpty() ? QAbstractItemView::DropOnly
                                                       : QAbstractItemView::DragDrop);
    }
    model_->selectedRows = [this] { return selectedRows(); };
    // An edit in place is a store like a form's: the other windows hear of it.
    connect(model_, &RecordListModel::edited, this, [this] { emit stored(); });

    caption_ = new QLabel(decl_.name, this);
    caption_->setBuddy(view_);
    buttons_ = new QHBoxLayout;
    auto button = [&](bool wanted, const QString& text,
                      void (RecordList::*slot)()) -> QPushButton* {
        if (!wanted) return nullptr;
        auto* b = new QPushButton(text, this);
        connect(b, &QPushButton::clicked, this, slot);
        buttons_->addWidget(b);
        return b;
    };
    insert_ = button(decl_.canInsert, decl_.insertText, &RecordList::insertRecord);
    change_ = button(decl_.canChange, decl_.changeText, &RecordList::changeRecord);
    delete_ = button(decl_.canDelete, decl_.deleteText, &RecordList::deleteRecord);
    buttons_->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(caption_);
    layout->addWidget(view_, 1);
    layout->addLayout(buttons_);

    view_->viewport()->installEventFilter(this);
    connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        emit currentChanged();
        if (!quiet_) {
            ++picks_;
            emit picked();
        }
    });
    connect(view_, &QAbstractItemView::pressed, this, [this](const QModelIndex& i) {
        if (i.isValid() && picks_ == picksAtPress_) {
            ++picks_;
            emit picked();
        }
    });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { emit currentChanged(); });
    connect(view_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) {
        if (!(model_->flags(i) & Qt::ItemIsEditable) && current()) emit chosen(*current());
    });
}

void RecordList::setView(ListView view) {
    const QScopedValueRollback quiet(quiet_, quiet_ + 1);
    decl_.view = std::move(view);
    model_->reload();
    fitColumns();
    if (model_->rowCount() > 0) view_->setCurrentIndex(model_->index(0, 0));
    emit currentChanged();
}

void RecordList::fitColumns() {
    // Once, to the first records read: later the user's widths stay.
    if (columnsFitted_ || model_->rowCount() == 0) return;
    columnsFitted_ = true;
    view_->resizeColumnsToContents();
}

void RecordList::reload() {
    const QScopedValueRollback quiet(quiet_, quiet_ + 1);
    const RowId keep = current() ? current()->rowId : 0;
    const int at = view_->currentIndex().row();
    model_->reload();
    fitColumns();
    if (keep && goTo(keep)) return;
    if (model_->rowCount() > 0)
        view_->setCurrentIndex(model_->index(std::clamp(at, 0, model_->rowCount() - 1), 0));
    emit currentChanged();
}

const Row* RecordList::current() const {
    const int r = view_->currentIndex().row();
    return r >= 0 && r < model_->rowCount() ? &model_->row(r) : nullptr;
}

bool RecordList::goTo(RowId id) {
    int i = model_->indexOf(id);
    while (i < 0 && model_->canFetchMore({})) {
        model_->fetchMore({});
        i = model_->indexOf(id);
    }
    if (i < 0) return false;
    view_->setCurrentIndex(model_->index(i, std::max(0, view_->currentIndex().column())));
    view_->scrollTo(view_->currentIndex());
    return true;
}

std::vector<int> RecordList::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& i : view_->selectionModel()->selectedRows())
        rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    if (rows.empty() && view_->currentIndex().isValid())
        rows.push_back(view_->currentIndex().row());
    return rows;
}

void RecordList::storedRecord(RowId id) {
    {
        const QScopedValueRollback quiet(quiet_, quiet_ + 1);
        model_->reload();
        goTo(id);
    }
    emit stored();
}

void RecordList::insertRecord() {
    if (!decl_.canInsert) return;
    Row fresh = dict_.store().file(decl_.file).table().prime();
    if (decl_.prime && !decl_.prime(fresh)) return;
    RecordForm form(dict_, decl_, fresh, true, this);
    if (form.exec() != QDialog::Accepted) return;
    storedRecord(form.row().rowId);
}

void RecordList::changeRecord() {
    if (!decl_.canChange || !current()) return;
    const Row before = *current();
    RecordForm form(dict_, decl_, before, false, this);
    if (form.exec() != QDialog::Accepted) return;
    if (decl_.changed) decl_.changed(before, form.row());
    storedRecord(form.row().rowId);
}

void RecordList::deleteRecord() {
    if (!decl_.canDelete || !current()) return;
    const int at = view_->currentIndex().row();
    if (decl_.beforeDelete && !decl_.beforeDelete(*current())) return;
    Relations rel(dict_);
    if (!rel.removeRow(decl_.file, current()->rowId, true).ok()) return;
    {
        const QScopedValueRollback quiet(quiet_, quiet_ + 1);
        model_->reload();
        // The neighbour of a record far down the list may lie beyond the first page read again.
        while (model_->rowCount() <= at && model_->canFetchMore({}))
            model_->fetchMore({});
        if (model_->rowCount() > 0)
            view_->setCurrentIndex(model_->index(std::min(at, model_->rowCount() - 1), 0));
    }
    emit currentChanged();
    emit stored();
}

void RecordList::navigate(NavigationButton button) {
    const int rows = model_->rowCount();
    const int at = view_->currentIndex().row();
    const int page =
        std::max(1, view_->viewport()->height() / std::max(1, view_->rowHeight(0)) - 1);
    auto go = [&](int row) {
        if (row >= model_->rowCount()) model_->fetchAll();
        if (model_->rowCount() == 0) return;
        view_->setCurrentIndex(model_->index(std::clamp(row, 0, model_->rowCount() - 1),
                                             std::max(0, view_->currentIndex().column())));
    };
    switch (button) {
    case NavigationButton::First:
        go(0);
        break;
    case NavigationButton::PageUp:
        go(at - page);
        break;
    case NavigationButton::Previous:
        go(at - 1);
        break;
    case NavigationButton::Next:
        go(at + 1);
        break;
    case NavigationButton::PageDown:
        go(at + page);
        break;
    case NavigationButton::Last:
        model_->fetchAll();
        go(model_->rowCount() - 1);
        break;
    case NavigationButton::Locate:
        view_->setFocus();
        break; // type-ahead search from here
    case NavigationButton::Select:
        if (current()) emit chosen(*current());
        break;
    case NavigationButton::Insert:
        insertRecord();
        break;
    case NavigationButton::Change:
        changeRecord();
        break;
    case NavigationButton::Delete:
        deleteRecord();
        break;
    default:
        break;
    }
    Q_UNUSED(rows);
}

bool RecordList::eventFilter(QObject* watched, QEvent* event) {
    // A click on the row that is already current picks it too (the list opens with its first
    // row current, and the user clicks on that one).
    if (watched == view_->viewport() && event->type() == QEvent::MouseButtonPress)
        picksAtPress_ = picks_;
    // While a cell is edited its keys go to the editor, not to the view; the editor leaves
    // Enter to its parents, and it must not open the form.
    if (watched == view_ && event->type() == QEvent::KeyPress &&
        !view_->indexWidget(view_->currentIndex())) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Insert:
            insertRecord();
            return true;
        case Qt::Key_Delete:
            deleteRecord();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (key->modifiers() & Qt::ControlModifier) {
                if (current()) emit chosen(*current());
            } else {
                changeRecord();
            }
            return true;
        case Qt::Key_End:
            // The view knows only the rows read so far; the end of a list is the file's last
            // record. With Shift the view extends the selection, over every row.
            model_->fetchAll();
            if (key->modifiers() & Qt::ShiftModifier) break;
            navigate(NavigationButton::Last);
            return true;
        default:
            // Type-ahead search reads rows not yet fetched too.
            if (!key->text().isEmpty() && key->text().at(0).isPrint()) model_->fetchAll();
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tamsel
