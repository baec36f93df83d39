#pragma once

// The whole placed timetable read once, with the names the printed timetables use: what
// publishing writes in every format. Core only, nothing is written.

#include "tamsel/Records.h"

#include <QString>
#include <map>
#include <vector>

namespace tamsel {
class Dictionary;
}

namespace trusko {

/// One placed lesson with its names looked up.
struct PlacedLesson {
    tamsel::Schedule entry;
    int bell = 0;      ///< index into PlacedTimetable::bells
    int day = 0;       ///< index into PlacedTimetable::days
    QString group;     ///< "10-А"
    QString subGroup;  ///< the subgroup mark as the settings format it ("/1"), empty for a class
    QString subject;
    QString teacher;
    QString room;      ///< room number
};

/// A teacher, group or room whose timetable is published.
struct TimetableObject {
    tamsel::Short kind = 0; ///< tamsel::ObjectType
    tamsel::Long code = 0;
    QString title;          ///< as the printed timetable heads it ("Кабинет № 101")
    std::vector<int> lessons; ///< indexes into PlacedTimetable::lessons, in cell order
};

struct PlacedTimetable {
    std::vector<tamsel::Days> days;
    std::vector<tamsel::LessonBell> bells;
    int weeks = 1;
    /// Every placed lesson whose day and bell the school has, ordered by week, day, bell,
    /// group and subgroup.
    std::vector<PlacedLesson> lessons;
    /// Groups by name, teachers by name, rooms by number: the order of the batch reports.
    std::vector<TimetableObject> groups, teachers, rooms;

    /// Lessons of `object` in one cell, in order.
    std::vector<const PlacedLesson*> cell(const TimetableObject& object, int week, int day,
                                          int bell) const;
};

/// Reads the timetable; false when a file could not be read (its message has been shown).
bool ReadPlacedTimetable(tamsel::Dictionary& dict, PlacedTimetable* out);

/// "2-я неделя", the band of a week in the printed timetables.
QString weekBand(int week);
/// Percentage of `done` out of `total`, 0..100.
int percentOf(qint64 done, qint64 total);

/// The heading of an object's printed timetable: the group's name, the teacher's name,
/// "Кабинет № " and the room's number.
QString ObjectScheduleTitle(tamsel::Short kind, const QString& name);

} // namespace trusko
