#pragma once

#include "tamsel/Dictionary.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tamsel {
class RecordList;
}

namespace ombrel {

/// The form of one lesson link: its name, "Это лекция" and its members. Lessons dragged in
/// from the load, group or teacher lists join at once (their entries with them); "&Удалить"
/// takes a member out with its entries. Cancelling a new link removes what was dragged in.
class UpdateLessonLink : public QDialog {
    Q_OBJECT
public:
    /// `link` with rowId 0 is a new link.
    UpdateLessonLink(tamsel::Dictionary& dict, tamsel::LsnLink link, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("UpdateLessonLink"); }

    const tamsel::LsnLink& link() const { return link_; }
    tamsel::RecordList* members() const { return members_; }
    QLineEdit* nameEdit() const { return name_; }
    QCheckBox* lecture() const { return lecture_; }
    /// A lesson dropped on the members (by its row id).
    void addLesson(tamsel::RowId lesson);
    /// "&Удалить" of the selected member (asks first).
    void removeMember();

    void accept() override;
    void reject() override;

private:
    tamsel::Dictionary& dict_;
    tamsel::LsnLink link_;
    bool isNew_;
    QLineEdit* name_;
    QCheckBox* lecture_;
    QLabel* status_;
    tamsel::RecordList* members_;
};

} // namespace ombrel
