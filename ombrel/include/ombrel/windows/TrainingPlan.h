#pragma once

#include "tamsel/widgets/ListWindow.h"

class QLabel;

namespace ombrel {

/// "Учебный план по группам": streams, courses, the groups of the chosen stream and course, and
/// their plan items with the hours per week. A changed item is written only once its entries
/// follow the new hours (UpdateSchedule); a new item generates its entries.
class TrainingPlan : public tamsel::ListWindow {
    Q_OBJECT
public:
    explicit TrainingPlan(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("TrainingPlan"); }

    tamsel::RecordList* streams() const { return streams_; }
    tamsel::RecordList* courses() const { return courses_; }
    tamsel::RecordList* groups() const { return groups_; }
    tamsel::RecordList* items() const { return items_; }
    /// "Всего:" single and paired hours, and "Общая назгузка".
    QString totalsText() const;
    void refresh() override;

private:
    void showItems();
    void updateTotals();
    /// The checks of a changed item, in their order; false keeps the edit open.
    bool acceptChange(const tamsel::Row& before, const tamsel::Row& after);

    tamsel::RecordList* streams_ = nullptr;
    tamsel::RecordList* courses_ = nullptr;
    tamsel::RecordList* groups_ = nullptr;
    tamsel::RecordList* items_ = nullptr;
    QLabel* single_ = nullptr;
    QLabel* paired_ = nullptr;
    QLabel* total_ = nullptr;
};

} // namespace ombrel
