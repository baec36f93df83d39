#pragma once

// The timetable's two axes: teaching days and lesson bells, with the generators that replace
// either list by a standard set. Core only: questions and progress go through the ports.

#include "tamsel/Records.h"

#include <QDate>
#include <QString>
#include <vector>

namespace tamsel {
class Dictionary;
}

namespace faldin {

/// "Понедельник" … "Воскресенье" for 1 … 7; empty otherwise.
QString StandardDayName(int seq);
/// " - Пн" … " - Вс" for a weekday index 0 (Monday) … 6.
QString WeekdayAbbreviation(int index);

/// Schedule entries placed on some day (resp. at some lesson bell): deleting every day or
/// bell deletes them, as the relations cascade to the entries themselves.
int LessonsOnDays(tamsel::Dictionary& dict);
int LessonsOnBells(tamsel::Dictionary& dict);
/// The same for one day or one bell.
int LessonsOnDay(tamsel::Dictionary& dict, tamsel::Short daySeqNumber);
int LessonsAtBell(tamsel::Dictionary& dict, const QString& lessonNo);
/// Asks before `lessons` placed lessons would be deleted with the days or bells; true when
/// there are none or the answer is "Да".
bool ConfirmLessonsDeleted(tamsel::Dictionary& dict, int lessons);

/// Deletes every day (resp. bell) through the relations, under the progress window
/// "Очистка списка дней" (resp. "Очистка списка звонков"); the first failure stops it.
/// False when a record is left. Callers ask first (ConfirmLessonsDeleted).
bool DeleteAllDays(tamsel::Dictionary& dict);
bool DeleteAllLessonBells(tamsel::Dictionary& dict);

/// A standard week of `days` (5, 6 or 7) days, replacing the list. Asks first when placed
/// lessons would be deleted; false when it did not write the whole week.
bool SetDefaultWeek(tamsel::Dictionary& dict, int days);

/// The dated days of a period.
struct DateInterval {
    QDate from, to;
    int daysPerWeek = 6;
};
/// The defaults of the dialog: the first day of next month, 13 days on, 6 days a week.
DateInterval DefaultDateInterval(const QDate& today);
/// The days of the interval as they would be written (numbered from 1).
std::vector<tamsel::Days> DateIntervalDays(const DateInterval& interval);
/// Replaces the list by the days of the interval (asking first, as SetDefaultWeek).
bool SetDateInterval(tamsel::Dictionary& dict, const DateInterval& interval);

/// The standard bell grid's parameters, with their defaults (minutes).
struct LessonGrid {
    int lessons = 7; ///< 1 to 30
    tamsel::Long start = tamsel::timeOf(8, 30);
    int length = 45;              ///< 0 to 120
    int breakLength = 10;         ///< 0 to 120
    int firstLongBreakAfter = 3;  ///< 0 to 25
    int firstLongBreak = 20;      ///< 0 to 120
    int secondLongBreakAfter = 4; ///< 0 to 25
    int secondLongBreak = 20;     ///< 0 to 120
};
/// The bells of a grid: lesson numbers "  1" … right-aligned in three characters.
std::vector<tamsel::LessonBell> LessonGridBells(const LessonGrid& grid);
/// Replaces the bells by the grid (asking first when placed lessons would be deleted).
bool SetDefaultLessonGrid(tamsel::Dictionary& dict, const LessonGrid& grid);

} // namespace faldin
