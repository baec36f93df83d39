#pragma once

#include "tamsel/widgets/ListWindow.h"

class QSpinBox;
class QMenu;

namespace faldin {

/// "Учебные дни": the teaching days, edited in place, the weeks of the cycle, and the
/// standard variants that replace the list.
class DayList : public tamsel::ListWindow {
    Q_OBJECT
public:
    explicit DayList(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("DayList"); }

    tamsel::RecordList* days() const { return lists().front(); }
    QSpinBox* weeks() const { return weeks_; }
    /// The items of "Стандартные варианты" (also the list's popup menu).
    QMenu* variants() const { return variants_; }
    /// Runs the date-interval dialog ("Укажите интервал дат").
    void askDateInterval();

private:
    void generated(bool ok);
    QSpinBox* weeks_;
    QMenu* variants_;
};

} // namespace faldin
