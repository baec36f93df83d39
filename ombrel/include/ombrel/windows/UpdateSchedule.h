#pragma once

#include "ombrel/ScheduleUpdate.h"

#include <QDialog>

class QLabel;
class QListWidget;

namespace ombrel {

/// "Проверка возможности внесения изменений в расписание": brings a changed plan item's
/// entries into line and, when it cannot, shows why until the user closes it.
class UpdateSchedule : public QDialog {
    Q_OBJECT
public:
    UpdateSchedule(tamsel::Dictionary& dict, const ScheduleUpdate& outcome,
                   QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("UpdateSchedule"); }

    /// Runs the update for the stored item and its new values; 0 when the entries follow the
    /// new hours (the item may be written), 5 when the change is refused (the messages shown).
    static long run(tamsel::Dictionary& dict, const tamsel::TrainingCourse& stored,
                    tamsel::Short ScienceCode, tamsel::Short SingleHours,
                    tamsel::Short CoupledHours, QWidget* parent);

    QListWidget* messages() const { return messages_; }

private:
    QLabel* status_;
    QListWidget* messages_;
};

} // namespace ombrel
