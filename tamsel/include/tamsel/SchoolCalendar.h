#pragma once

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>

namespace tamsel {

class IniFile;

/// The school year on the calendar: its first and last teaching day, the holidays (single
/// days and ranges) and the time zone of the school. Kept in the settings file, section
/// "SchoolCalendar", so that folders without it stay as they were and need nothing new.
/// Dates are written as yyyy-MM-dd; a range of holidays as "from..to", ranges separated by
/// commas.
struct SchoolCalendar {
    QDate first;
    QDate last;
    QList<QPair<QDate, QDate>> holidays; ///< inclusive ranges; a single day has from == to
    QString timeZone = QStringLiteral("Europe/Moscow");

    /// True when both ends of the year are set and in order.
    bool isSet() const { return first.isValid() && last.isValid() && first <= last; }

    static QString section() { return QStringLiteral("SchoolCalendar"); }
    /// Reads the calendar; `problem` receives the first value that could not be read (that
    /// value is left out), so a hand-edited file never silently loses a holiday unnoticed.
    static SchoolCalendar load(const IniFile& ini, QString* problem = nullptr);
    void save(IniFile& ini) const;

    /// The holidays as the settings file keeps them ("2026-11-02..2026-11-08, 2027-02-23").
    QString holidaysText() const;
    /// Parses `text` of the form above; false with `problem` naming the part that failed.
    static bool parseHolidays(const QString& text, QList<QPair<QDate, QDate>>* out,
                              QString* problem);

    bool isHoliday(const QDate& date) const;

    /// The week of a cycle of `weeksInCycle` weeks (1..weeksInCycle) that `date` falls in.
    /// The cycle starts with week 1 on the calendar week of the first teaching day and runs on
    /// through the holidays (as calendar weeks do), so the week of a date never depends on
    /// how many holidays came before it.
    int cycleWeek(const QDate& date, int weeksInCycle) const;

    /// The position (0-based) of the timetable day that `date` is, counting the school's days
    /// in order from Monday; -1 on a Sunday.
    static int dayIndex(const QDate& date) { return date.dayOfWeek() - 1; }

    /// A teaching date: inside the year, not a holiday, and a day of the week the school has
    /// (`daysInWeek` days counted from Monday).
    bool isTeachingDate(const QDate& date, int daysInWeek) const;
};

} // namespace tamsel
