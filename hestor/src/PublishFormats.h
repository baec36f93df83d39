#pragma once

// What the publishing formats share: the timetable read once, the teaching dates, the names
// of the files, and the texts of one lesson.

#include "tamsel/SchoolCalendar.h"
#include "trusko/PlacedTimetable.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QDateTime;

namespace tamsel {
class Dictionary;
}
namespace hestor {
struct TimetableVersion;
}

namespace hestor::publish {

/// A teaching date with the cycle's week and the timetable's day it falls on.
struct TeachingDate {
    QDate date;
    int week = 1;
    int day = 0; ///< index into PlacedTimetable::days
};

/// A whole file, its name relative to the publishing folder.
struct File {
    QString name;
    QByteArray bytes;
};

/// A stored substitution on a published date, joined to the published lesson it covers.
struct DatedSubstitution {
    size_t date = 0; ///< index into Context::dates
    int lesson = 0;  ///< index into PlacedTimetable::lessons
    tamsel::Short substitute = 0; ///< 0: the lesson is cancelled
    QString substituteName;
    tamsel::Long room = 0; ///< where it is given
    QString roomNo;
    QString note;
};

struct Context {
    const trusko::PlacedTimetable& t;
    tamsel::SchoolCalendar calendar;
    std::vector<TeachingDate> dates; ///< empty: publish the cycle without dates
    /// Called after each piece of work; false when the user cancelled.
    std::function<bool()> step;
    /// The calendars are published too: each page links to its own.
    bool calendars = false;
    /// The substitutions of the dates, for the calendars.
    std::vector<DatedSubstitution> substitutions = {};
    /// Pages written with the timetable's and linked from the index (changes, substitutions).
    std::vector<std::pair<File, QString>> linkedPages = {}; ///< the page and its link's text
};

/// The file of an object without folder or extension ("group-12").
QString objectStem(const trusko::TimetableObject& o);
/// "5-А/1": the group's name with the subgroup mark, as the reports label a lesson.
QString groupLabel(const trusko::PlacedLesson& l);
/// The subgroup mark alone, trimmed ("/1" → "/1", " 1" → "1"); empty for a whole class.
QString subGroupMark(const trusko::PlacedLesson& l);
/// "08:30"; empty when the bell has no time.
QString bellTime(tamsel::Long time);
/// The lesson's number, trimmed ("1").
QString lessonNumber(const tamsel::LessonBell& b);
/// One line of a spreadsheet cell: what the lesson is, seen from an object of `kind`.
QString lessonLine(const trusko::PlacedLesson& l, tamsel::Short kind);

/// Where the writers put their files: false when the file could not be written (the
/// writer stops).
using Sink = std::function<bool(const File&)>;

/// A whole page in the published pages' style (the style inside, lang="ru"); `body` is HTML,
/// `title` plain text.
QString htmlPage(const QString& title, const QString& body);
/// Appends one row of the published CSV table: ';'-separated, quoted where needed, CRLF.
void csvRow(QString& out, const QStringList& fields);

/// "Замены": the substitutions stored for the `days` dates from `from`, a section per date that
/// has any.
QByteArray substitutionsPage(tamsel::Dictionary& dict, const QDate& from, int days);
inline QString substitutionsName() { return QStringLiteral("substitutions.html"); }
/// The substitutions stored for the context's dates whose lesson is published as it was when
/// it was covered; a lesson moved since is left to the timetable.
std::vector<DatedSubstitution> datedSubstitutions(tamsel::Dictionary& dict, const Context& c);

/// The page of changes since the last publication into the folder, and the state to keep
/// for the next one (written last, only after everything else was written).
struct PublishedChanges {
    QByteArray page;  ///< changes.html
    QByteArray state; ///< changesStateName()
    int changes = -1; ///< lessons changed since the last publication; -1: the first one
};
inline QString changesName() { return QStringLiteral("changes.html"); }
QString changesStateName();
PublishedChanges prepareChanges(const QString& dir, const TimetableVersion& now,
                                const QDateTime& when);

/// The names the writers will use, so that all are checked before the first is written.
QStringList htmlNames(const Context& c);
QStringList icsNames(const Context& c);
inline QString csvName() { return QStringLiteral("schedule.csv"); }
inline QString xlsxName() { return QStringLiteral("schedule.xlsx"); }

/// Each writer returns false when the sink failed or the user cancelled.
bool writeHtml(const Context& c, const Sink& sink);
bool writeIcs(const Context& c, const Sink& sink);
bool writeCsv(const Context& c, const Sink& sink);
/// The workbook is written by the library straight to `path`; false with `error`.
bool writeXlsx(const Context& c, const QString& path, QString* error);

} // namespace hestor::publish
