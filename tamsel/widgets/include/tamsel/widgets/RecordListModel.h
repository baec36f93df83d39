#pragma once

#include "tamsel/widgets/ListDeclaration.h"

#include <QAbstractTableModel>
#include <map>
#include <optional>

namespace tamsel {

class Dictionary;

/// The records of a ListDeclaration's view in key order, read from the position in pages as the
/// view scrolls (never a large file whole), with the columns' texts as display texts (which
/// is also what screen readers read). Edits are stored through the relation managers.
class RecordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    RecordListModel(Dictionary& dict, ListDeclaration& decl, QObject* parent = nullptr);

    /// Reads the view again from its position (after a change, a tab, a master selection).
    void reload();
    const Row& row(int i) const { return rows_[static_cast<size_t>(i)]; }
    /// The row of a stored record, -1 when not among those read.
    int indexOf(RowId id) const;
    /// Reads the rest of the view (the locator and "last record" need every row).
    void fetchAll();

    /// Stores `value` into `field` of the given rows through the relation managers, each
    /// row on its own; rows that refuse keep their values (the message was shown). Each row
    /// is read again from the file and only `field` changes; a record deleted, or whose field
    /// another window changed since the list read it, is refused with message 25. Returns
    /// how many were stored.
    int store(const std::vector<int>& rows, int field, const Value& value);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDropActions() const override {
        return Qt::MoveAction | Qt::CopyAction;
    }
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    QString cellText(const Row& r, int column) const;
    /// Selected rows for an edit that applies to all of them; set by the list's view.
    std::function<std::vector<int>()> selectedRows;

    static constexpr int PageSize = 256;

signals:
    /// An edit in place stored at least one record.
    void edited();

private:
    void sortByKeys(std::vector<Row>& rows) const;
    /// Reads the next page of the view into `page` (the records the filter keeps).
    void readPage(const Row& from, std::vector<Row>& page);
    Dictionary& dict_;
    ListDeclaration& decl_;
    std::vector<Row> rows_;
    bool atEnd_ = true;
    /// The last record read, where the next page goes on; none before the first.
    std::optional<Row> lastRead_;
    /// The drop-list entries of Choice columns, read once per reading of the list: a cell
    /// is painted far more often than the file it names changes.
    mutable std::map<int, std::vector<std::pair<QString, Value>>> choices_;
};

} // namespace tamsel
