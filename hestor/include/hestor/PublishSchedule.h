#pragma once

// Publishing the timetable: web pages, calendars (.ics), a spreadsheet (.xlsx) and CSV, all
// written from one reading of the timetable into one folder. Core only: progress goes
// through the port it is given, and nothing is shown; the caller says what happened.

#include <QDate>
#include <QString>
#include <QStringList>

namespace tamsel {
class Dictionary;
class ProgressPort;
} // namespace tamsel

namespace hestor {

struct PublishOptions {
    QString outDir;
    bool html = true, ics = true, csv = true, xlsx = true;
    /// The dates to publish; both null: the school calendar's year. Calendars need dates; CSV
    /// without dates has one row per cycle cell.
    QDate from, to;
    /// The first date whose substitutions the site lists; null: today.
    QDate today;
};

struct PublishResult {
    bool ok = false;
    bool cancelled = false;
    QString error;       ///< why it failed; empty when ok
    QStringList written; ///< one line per format, naming what was written where
};

/// "Публикация расписания": the caption of the window and its progress and messages.
QString PublishCaption();

/// Writes the chosen formats into `options.outDir` (made when missing):
/// index.html with a page per group, teacher and room and one per day of the week
/// (group-N.html, teacher-N.html, room-N.html, day-N.html, N the object's code or the day's
/// place in the week); ics/group-N.ics and so on; schedule.csv; schedule.xlsx. Every path
/// is checked with OutputPathRefusal before anything is written, and each file replaces an
/// old one only when it is complete. A failure stops at once; what was written before stays.
PublishResult PublishSchedule(tamsel::Dictionary& dict, const PublishOptions& options,
                              tamsel::ProgressPort& progress);

} // namespace hestor
