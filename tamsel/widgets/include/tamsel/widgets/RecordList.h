#pragma once

#include "tamsel/Events.h"
#include "tamsel/widgets/ListDeclaration.h"
#include "tamsel/widgets/RecordListModel.h"

#include <QWidget>

class QPushButton;
class QTableView;
class QHBoxLayout;
class QLabel;

namespace tamsel {

class Dictionary;

/// A working list from a ListDeclaration: the records in key order with their caption, editing in
/// place (one edit applies to every selected row), "&Добавить"/"&Изменить"/"&Удалить" with a
/// form built from the editable columns, the keys Insert, Delete, Enter and F2, the frame's
/// record-navigation buttons, type-ahead search on the first column, drags and drops by
/// identifier. Every store goes through the relation managers with their messages.
class RecordList : public QWidget {
    Q_OBJECT
public:
    RecordList(Dictionary& dict, ListDeclaration decl, QWidget* parent = nullptr);

    ListDeclaration& declaration() { return decl_; }
    RecordListModel* model() const { return model_; }
    QTableView* view() const { return view_; }
    /// The row where buttons of the window's own are added beside the list's buttons.
    QHBoxLayout* buttonRow() const { return buttons_; }
    QPushButton* insertButton() const { return insert_; }
    QPushButton* changeButton() const { return change_; }
    QPushButton* deleteButton() const { return delete_; }

    /// Shows another set of records (a tab, a master selection) and reads them.
    void setView(ListView view);
    /// Reads the records again, keeping the current record where it still is.
    void reload();
    /// The current record, nullptr when the list is empty.
    const Row* current() const;
    /// Makes the stored record current; false when it is not in the list.
    bool goTo(RowId id);
    /// The rows selected, in order (at least the current one).
    std::vector<int> selectedRows() const;

    /// Insert, change (the form) and delete (asking first) of the current record.
    void insertRecord();
    void changeRecord();
    void deleteRecord();
    /// A record-navigation button of the frame.
    void navigate(NavigationButton button);

signals:
    /// The current record changed (another row, or the list was read again).
    void currentChanged();
    /// The user made another row current (a click, a key, a navigation button) or clicked the
    /// current one; never sent
    /// when the list is read again or the program moves the current row itself. What the user
    /// picks (the lesson in hand) follows this, not `currentChanged`.
    void picked();
    /// Something was stored, changed or deleted through this list.
    void stored();
    /// "Выбрать" (the navigation button or a double click in a selection list).
    void chosen(const Row& row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void storedRecord(RowId id);
    void fitColumns();
    bool columnsFitted_ = false;
    int quiet_ = 0; ///< the program is moving the current row: no `picked`
    int picks_ = 0, picksAtPress_ = -1;

    Dictionary& dict_;
    ListDeclaration decl_;
    RecordListModel* model_;
    QTableView* view_;
    QLabel* caption_;
    QHBoxLayout* buttons_;
    QPushButton* insert_ = nullptr;
    QPushButton* change_ = nullptr;
    QPushButton* delete_ = nullptr;
};

} // namespace tamsel
