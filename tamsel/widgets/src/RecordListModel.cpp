#include "tamsel/widgets/RecordListModel.h"

#include "tamsel/Dictionary.h"
#include "tamsel/Events.h"
#include "tamsel/Relations.h"
#include "tamsel/widgets/LessonColumns.h"

#include <QMimeData>
#include <QTime>

namespace tamsel {

std::pair<QString, std::function<void(const Row&, RowId)>>
refileDrop(Dictionary& dict, const QString& id, FileId file, int field, int targetField,
           std::function<void()> after) {
    return {id, [&dict, file, field, targetField, after](const Row& target, RowId dragged) {
                Row r;
                if (!dict.store().file(file).table().fetchRowId(dragged, r)) return;
                r.set(field, target.values[static_cast<size_t>(targetField)]);
                Relations(dict).updateRow(file, r);
                if (after) after();
                dict.windows.postToFrame(UserEvent::Refresh);
            }};
}

QString dragMimeType(const QString& id) {
    return QStringLiteral("application/x-korvel-") + id;
}

QString timeText(qint64 time) {
    if (time <= 0) return QString();
    const qint64 minutes = (time - 1) / 6000;
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

qint64 timeFromText(const QString& text) {
    const QStringList parts = text.trimmed().split(QLatin1Char(':'));
    if (parts.size() != 2) return -1;
    bool okH = false, okM = false;
    const int h = parts[0].toInt(&okH), m = parts[1].toInt(&okM);
    if (!okH || !okM || h < 0 || h > 23 || m < 0 || m > 59) return -1;
    return timeOf(h, m);
}

RecordListModel::RecordListModel(Dictionary& dict, ListDeclaration& decl, QObject* parent)
    : QAbstractTableModel(parent), dict_(dict), decl_(decl) {}

void RecordListModel::reload() {
    beginResetModel();
    rows_.clear();
    lastRead_.reset();
    choices_.clear();
    atEnd_ = false;
    endResetModel();
    if (canFetchMore({})) fetchMore({});
}

void RecordListModel::fetchAll() {
    while (canFetchMore({}))
        fetchMore({});
}

int RecordListModel::indexOf(RowId id) const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].rowId == id) return static_cast<int>(i);
    return -1;
}

bool RecordListModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !atEnd_;
}

void RecordListModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || atEnd_) return;
    Row from = emptyRow(fileDef(decl_.file));
    if (decl_.view.position && !decl_.view.position(from)) {
        atEnd_ = true;
        return;
    }
    const bool sorted = decl_.view.order || decl_.view.sortKey;
    std::vector<Row> page;
    // A sorted view is read whole before it is shown. Otherwise a page shows at least one
    // record unless the view has ended: a filter may pass over whole pages (hundreds of
    // lessons without a teacher), and an empty page would leave the list empty or, fetched to
    // its end, never ending.
    while (!atEnd_ && (sorted || page.empty()))
        readPage(from, page);
    if (sorted) {
        if (decl_.view.sortKey)
            sortByKeys(page);
        else
            std::stable_sort(page.begin(), page.end(), decl_.view.order);
    }
    if (page.empty()) return;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(page.size()) - 1);
    rows_.insert(rows_.end(), page.begin(), page.end());
    endInsertRows();
}

void RecordListModel::readPage(const Row& from, std::vector<Row>& page) {
    // A page goes on from the last record read, kept or not: at or after its key values,
    // past its row.
    const bool continuing = lastRead_.has_value();
    const Row start = continuing ? *lastRead_ : from;
    const RowId lastId = continuing ? lastRead_->rowId : 0;
    bool passedLast = !continuing;
    int seen = 0;
    Table& table = dict_.store().file(decl_.file).table();
    // Without a position the first page reads the key from its start (a blank position would
    // cut off a key with descending components, such as the archive's newest first).
    const bool fromStart = !continuing && !decl_.view.position;
    const Query q{decl_.view.key, fromStart ? nullptr : &start, fromStart ? 0 : decl_.view.leading};
    const Outcome o = table.scan(q, [&](const Row& r) {
        if (!passedLast) {
            passedLast = r.rowId == lastId;
            return true;
        }
        ++seen;
        lastRead_ = r;
        if (!decl_.view.filter || decl_.view.filter(r)) page.push_back(r);
        return seen < PageSize;
    });
    atEnd_ = seen < PageSize || !o.ok();
    if (!o.ok() && table.takeReadFailureToShow()) dict_.errors().report(o.msgNo, o.args);
}

void RecordListModel::sortByKeys(std::vector<Row>& rows) const {
    std::vector<std::pair<QStringList, size_t>> keys;
    keys.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) keys.emplace_back(decl_.view.sortKey(rows[i]), i);
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
        const qsizetype n = std::min(a.first.size(), b.first.size());
        for (qsizetype i = 0; i < n; ++i) {
            if (LessonColumns::naturalLess(a.first[i], b.first[i])) return true;
            if (LessonColumns::naturalLess(b.first[i], a.first[i])) return false;
        }
        return a.first.size() < b.first.size();
    });
    std::vector<Row> out;
    out.reserve(rows.size());
    for (const auto& k : keys) out.push_back(std::move(rows[k.second]));
    rows = std::move(out);
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RecordListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(decl_.columns.size());
}

QString RecordListModel::cellText(const Row& r, int column) const {
    const ListColumn& c = decl_.columns[static_cast<size_t>(column)];
    if (c.text) return c.text(r);
    if (c.field < 0) return QString();
    const FieldDef& f = fileDef(decl_.file).fields[static_cast<size_t>(c.field)];
    if (f.isText()) return r.text(c.field);
    if (f.type == FieldType::Time || c.editor == ListColumn::Editor::Time)
        return timeText(r.integer(c.field));
    if (c.editor == ListColumn::Editor::Choice && c.choices) {
        auto cached = choices_.find(column);
        if (cached == choices_.end()) cached = choices_.emplace(column, c.choices()).first;
        for (const auto& [text, value] : cached->second)
            if (value == r.values[static_cast<size_t>(c.field)]) return text;
    }
    return QString::number(r.integer(c.field));
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Row& r = rows_[static_cast<size_t>(index.row())];
    const ListColumn& c = decl_.columns[static_cast<size_t>(index.column())];
    switch (role) {
    case Qt::DisplayRole:
        return cellText(r, index.column());
    case Qt::AccessibleTextRole: {
        // A screen reader hears the state that the icon shows.
        const QString state = c.decorationText ? c.decorationText(r) : QString();
        const QString text = cellText(r, index.column());
        return state.isEmpty() ? text : text + QStringLiteral(", ") + state;
    }
    case Qt::DecorationRole:
        return c.decoration ? c.decoration(r) : QVariant();
    case Qt::BackgroundRole:
        return c.background ? c.background(r) : QVariant();
    case Qt::EditRole: {
        if (c.field < 0) return {};
        const Value& v = r.values[static_cast<size_t>(c.field)];
        if (c.editor == ListColumn::Editor::Time) return timeText(std::get<qint64>(v));
        if (const auto* s = std::get_if<QString>(&v)) return *s;
        if (const auto* n = std::get_if<qint64>(&v)) return *n;
        return {};
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (c.alignRight ? Qt::AlignRight : Qt::AlignLeft));
    default:
        return {};
    }
}

QVariant RecordListModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return decl_.columns[static_cast<size_t>(section)].title;
    return {};
}

Qt::ItemFlags RecordListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!index.isValid()) return decl_.drops.empty() ? Qt::NoItemFlags : Qt::ItemIsDropEnabled;
    const ListColumn& c = decl_.columns[static_cast<size_t>(index.column())];
    if (decl_.canChange && c.field >= 0 && c.editor != ListColumn::Editor::None)
        f |= Qt::ItemIsEditable;
    if (!decl_.dragIds.isEmpty()) f |= Qt::ItemIsDragEnabled;
    if (!decl_.drops.empty()) f |= Qt::ItemIsDropEnabled;
    return f;
}

int RecordListModel::store(const std::vector<int>& rows, int field, const Value& value) {
    Relations rel(dict_);
    int stored = 0;
    Table& table = dict_.store().file(decl_.file).table();
    const auto f = static_cast<size_t>(field);
    for (int i : rows) {
        if (i < 0 || i >= rowCount()) continue;
        // The list's copy may be old: another window may have changed the record since it was
        // read (a renamed course carried to the plan). The edit changes the edited field of the
        // record as it is now and leaves the rest as the other window wrote it.
        const Row shown = rows_[static_cast<size_t>(i)];
        Row before;
        const bool found = table.fetchRowId(shown.rowId, before);
        if (!found || before.values[f] != shown.values[f]) {
            dict_.errors().report(Msg::UpdateError,
                                  {fileDef(decl_.file).name, {}, {},
                                   fileErrorText(found ? 89 : 35)});
            if (found) {
                rows_[static_cast<size_t>(i)] = before;
                emit dataChanged(index(i, 0), index(i, columnCount() - 1));
            }
            break; // said once; the list is read again by the refresh that follows
        }
        Row after = before;
        after.set(field, value);
        if (after.values == before.values) continue;
        if (decl_.beforeChange && !decl_.beforeChange(before, after)) break; // said why, once
        if (!rel.validateRow(decl_.file, after, field).ok()) break; // a range error: said once
        if (!rel.updateRow(decl_.file, after).ok()) continue;
        Row stored_;
        table.fetchRowId(before.rowId, stored_);
        rows_[static_cast<size_t>(i)] = stored_;
        ++stored;
        emit dataChanged(index(i, 0), index(i, columnCount() - 1));
        if (decl_.changed) decl_.changed(before, stored_);
    }
    if (stored > 0) emit edited();
    return stored;
}

bool RecordListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    const ListColumn& c = decl_.columns[static_cast<size_t>(index.column())];
    if (c.field < 0) return false;
    const FieldDef& f = fileDef(decl_.file).fields[static_cast<size_t>(c.field)];
    Value v;
    if (c.editor == ListColumn::Editor::Time) {
        const qint64 t = timeFromText(value.toString());
        if (t < 0) return false;
        v = t;
    } else if (f.isText()) {
        v = fitText(value.toString(), f.width);
    } else {
        bool ok = false;
        const qint64 n = value.toLongLong(&ok);
        if (!ok) return false;
        if (c.editor == ListColumn::Editor::Number && (n < c.minimum || n > c.maximum)) {
            dict_.errors().report(Msg::RangeError,
                                  {fileDef(decl_.file).name,
                                   c.title,
                                   QStringLiteral("%1 и %2").arg(c.minimum).arg(c.maximum),
                                   {}});
            return false;
        }
        v = n;
    }
    // One edit applies to every selected row when the edited row is among them.
    std::vector<int> rows{index.row()};
    if (selectedRows) {
        const std::vector<int> sel = selectedRows();
        if (std::find(sel.begin(), sel.end(), index.row()) != sel.end()) rows = sel;
    }
    return store(rows, c.field, v) > 0;
}

QStringList RecordListModel::mimeTypes() const {
    QStringList types;
    for (const QString& id : decl_.dragIds)
        types << dragMimeType(id);
    for (const auto& d : decl_.drops)
        types << dragMimeType(d.first);
    return types;
}

QMimeData* RecordListModel::mimeData(const QModelIndexList& indexes) const {
    if (decl_.dragIds.isEmpty() || indexes.isEmpty()) return nullptr;
    const Row& r = rows_[static_cast<size_t>(indexes.first().row())];
    auto* data = new QMimeData;
    for (const QString& id : decl_.dragIds)
        data->setData(dragMimeType(id), QByteArray::number(r.rowId));
    if (decl_.dragStarted) decl_.dragStarted(r);
    data->setText(cellText(r, 0));
    return data;
}

bool RecordListModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                      const QModelIndex& parent) const {
    if (!parent.isValid() && !decl_.dropsAnywhere) return false;
    for (const auto& d : decl_.drops)
        if (data->hasFormat(dragMimeType(d.first))) return true;
    return false;
}

bool RecordListModel::dropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                   const QModelIndex& parent) {
    const bool onRow = parent.isValid() && parent.row() < rowCount();
    if (!onRow && !decl_.dropsAnywhere) return false;
    for (const auto& d : decl_.drops)
        if (data->hasFormat(dragMimeType(d.first))) {
            d.second(onRow ? rows_[static_cast<size_t>(parent.row())] : Row{},
                     data->data(dragMimeType(d.first)).toLongLong());
            return true;
        }
    return false;
}

} // namespace tamsel
