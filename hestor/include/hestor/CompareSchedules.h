#pragma once

// Comparing two placed timetables: the current one against one saved in the archive, or two
// archived ones. What moved, changed its room, was added or taken off, per group and per
// teacher, for telling teachers and pupils and for publishing. Core only: nothing is shown,
// and an archived timetable is read from its image in memory, never through the school's files.

#include "tamsel/Records.h"
#include "trusko/Report.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace tamsel {
class Dictionary;
}

namespace hestor {

/// A placed lesson of one timetable with the names that timetable gives it.
struct ComparedLesson {
    tamsel::Schedule entry;
    int bell = 0; ///< rank of its bell among the timetable's bells
    QString subject;
    QString group;     ///< "5-А/1": the group with the subgroup mark
    QString groupName; ///< "5-А"
    QString teacher;
    QString room;    ///< the room's number, empty without a room
    QString dayName; ///< "Понедельник"
};

/// One timetable: the current one or an archived one.
struct TimetableVersion {
    QString title; ///< "текущее расписание", "«до замены»"
    int weeks = 1;
    /// Placed lessons whose day and bell the timetable has, as the published timetable reads
    /// them (week within the cycle).
    std::vector<ComparedLesson> lessons;
};

/// Reads the current timetable (`archived` empty) or the one saved in the archive under that
/// brief description. False with `error` set: a description the archive does not hold, an
/// archived file whose checksum or structure is damaged (named), a file that cannot be read.
bool ReadTimetableVersion(tamsel::Dictionary& dict, const QString& archived, TimetableVersion* out,
                          QString* error);

struct ScheduleChange {
    enum class Kind { Moved, RoomChanged, Added, Removed };
    Kind kind = Kind::Moved;
    ComparedLesson before; ///< not set for Added
    ComparedLesson after;  ///< not set for Removed
    QString lesson;        ///< "Математика, 5-А, Иванова И.И."
    QString from, to;      ///< "пн 2, каб. 101"; empty where the lesson was not or is not
    QString line; ///< "Математика, 5-А, Иванова И.И.: пн 2 → ср 4"

    bool hasBefore() const { return kind != Kind::Added; }
    bool hasAfter() const { return kind != Kind::Removed; }
    /// The lesson as it is in the later timetable, or as it was when it is no more.
    const ComparedLesson& latest() const { return hasAfter() ? after : before; }
    /// "перемещен", "сменил кабинет", "добавлен", "снят".
    QString kindText() const;
};

/// The changes of one group or teacher, in the order of the earlier timetable's cells.
struct ChangedObject {
    tamsel::Short code = 0;
    QString name;             ///< "5-А", "Иванова И.И.", "без учителя"
    std::vector<int> changes; ///< indexes into ScheduleComparison::changes
};

enum class ChangesBy { Group, Teacher };

struct ScheduleComparison {
    bool ok = false;
    QString error; ///< why the comparison could not be made
    QString beforeTitle, afterTitle;
    /// Every change once, by week, day and bell (of its earlier place, of its new one when
    /// added).
    std::vector<ScheduleChange> changes;
    std::vector<ChangedObject> groups, teachers;

    const std::vector<ChangedObject>& by(ChangesBy b) const {
        return b == ChangesBy::Group ? groups : teachers;
    }
    int count(ScheduleChange::Kind k) const;
    bool same() const { return changes.empty(); }
};

/// Compares lessons by kind (plan item, group, subgroup, teacher, subject, pair half, link), not
/// by record: a place of a kind found in both is no change; a place of a kind found in both
/// timetables' cells with another room is a room change; the remaining places of a kind pair
/// up as moves (a record with its own new place first, the others in cell order); what is left
/// was added or taken off.
ScheduleComparison CompareVersions(const TimetableVersion& before, const TimetableVersion& after);

/// Reads both and compares: `archived` (the earlier) against the current timetable, or against
/// the archived `with` when given.
ScheduleComparison CompareSchedules(tamsel::Dictionary& dict, const QString& archived,
                                    const QString& with = {});

/// "Сравнение расписаний": the window's title and the report's caption.
QString CompareCaption();
/// "«до замены» → текущее расписание".
QString ComparisonHeading(const ScheduleComparison& c);
/// "Итог: перемещено: N, сменили кабинет: R, добавлено: A, снято: D.", or "Расписания
/// совпадают." when nothing differs.
QString ComparisonSummary(const ScheduleComparison& c);
/// The heading, then each group (or teacher) with its changes indented, then the summary.
QStringList ComparisonLines(const ScheduleComparison& c, ChangesBy by);

/// The printed form: a band per group or teacher, a row per change.
trusko::ReportDocument ComparisonReport(const ScheduleComparison& c, ChangesBy by);
/// A web page in the published pages' style.
QByteArray ComparisonHtml(const ScheduleComparison& c, ChangesBy by);
/// The page's changes alone: a section per group or teacher headed `<hN>` (N = `level`), then
/// the summary.
QString ComparisonHtmlBody(const ScheduleComparison& c, ChangesBy by, int level);
/// A row per change and group (or teacher), ';'-separated UTF-8 with a byte-order mark, as
/// the published table.
QByteArray ComparisonCsv(const ScheduleComparison& c, ChangesBy by);

enum class ComparisonFile { Html, Csv };
/// Writes the page or table to `path` (checked with OutputPathRefusal; an old file is replaced
/// only by a complete new one). Empty when written, else why not.
QString SaveComparison(tamsel::Dictionary& dict, const ScheduleComparison& c, ChangesBy by,
                       ComparisonFile format, const QString& path);

} // namespace hestor
