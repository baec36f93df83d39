#pragma once

#include "faldin/windows/MasterDetail.h"

class QPushButton;

namespace faldin {

/// "Список учебных дисциплин": subjects by subject cycle with their subgroup type and room
/// types; changed room types rebuild the room lists of the subject's teachers.
class ScienceList : public MasterDetail {
    Q_OBJECT
public:
    /// `selecting`: opened to pick a subject ("&Выбрать" returns it through `chosen`).
    explicit ScienceList(tamsel::Dictionary& dict, bool selecting = false,
                         QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("ScienceList"); }
    QPushButton* chooseButton() const { return choose_; }

signals:
    void subjectChosen(tamsel::Short scienceCode);

private:
    QPushButton* choose_;
};

} // namespace faldin
