#pragma once

#include "tamsel/Dictionary.h"
#include "tamsel/SchoolCalendar.h"

#include <QWidget>

class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QTableWidget;

namespace hestor {

/// "Календарь учебного года": the first and last teaching day, the holidays, the school's time
/// zone, and every teaching date with the week of the cycle it falls in. "Сохранить" writes
/// the calendar into the settings file at once (it is the school's, not the window's).
class SchoolCalendarWindow : public QWidget {
    Q_OBJECT
public:
    explicit SchoolCalendarWindow(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("SchoolCalendar"); }

    /// The calendar as the window shows it.
    tamsel::SchoolCalendar calendar() const;
    QDateEdit* first() const { return first_; }
    QDateEdit* last() const { return last_; }
    QDateEdit* holidayFrom() const { return holidayFrom_; }
    QDateEdit* holidayTo() const { return holidayTo_; }
    QListWidget* holidays() const { return holidays_; }
    QTableWidget* dates() const { return dates_; }
    void addHoliday();
    void removeHoliday();
    /// Writes the calendar; false after a message when the settings file could not be written.
    bool save();

private:
    void showDates();

    tamsel::Dictionary& dict_;
    QStringList dayNames_;
    QList<QPair<QDate, QDate>> holidayRanges_;
    QDateEdit *first_, *last_, *holidayFrom_, *holidayTo_;
    QLineEdit* zone_;
    QListWidget* holidays_;
    QTableWidget* dates_;
    QLabel* summary_;
};

} // namespace hestor
