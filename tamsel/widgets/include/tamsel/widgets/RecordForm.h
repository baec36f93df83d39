#pragma once

#include "tamsel/widgets/ListDeclaration.h"

#include <QDialog>

namespace tamsel {

class Dictionary;

/// The form of a list for a new or a changed record: one editor per editable column, "ОК"
/// stores the record through the relation managers (the form stays open on a refusal, whose
/// message was shown), "Отмена" stores nothing.
class RecordForm : public QDialog {
    Q_OBJECT
public:
    RecordForm(Dictionary& dict, const ListDeclaration& decl, Row row, bool isNew,
               QWidget* parent = nullptr);
    /// The record as stored (its row id set) after "ОК".
    const Row& row() const { return row_; }
    /// The editors, in column order (nullptr for shown-only columns).
    const std::vector<QWidget*>& editors() const { return editors_; }

    void accept() override;

private:
    bool collect();

    Dictionary& dict_;
    const ListDeclaration& decl_;
    Row row_;
    bool isNew_;
    std::vector<QWidget*> editors_;
};

} // namespace tamsel
