#pragma once

// The report builders: they read the data files and produce the content of the printed
// reports. No widgets and no painting here, so every rule can be checked headless. Each
// builder opens the files it reads and closes them again; nothing is written.

#include "trusko/Report.h"

#include "tamsel/Records.h"

#include <vector>

namespace tamsel {
class Dictionary;
class ProgressPort;
} // namespace tamsel

namespace trusko {

/// Caption of the progress window of one report.
QString reportProgressCaption(); // "Печать расписания"
/// Caption of the progress window of the three batch reports.
QString batchProgressCaption(); // "Печать расписаний учителей"

/// Days per column set of a timetable, teachers per page of the brief timetable, groups per
/// page of the training plan and of the teacher load.
constexpr int DaysPerSet = 6;
constexpr int TeachersPerBriefSet = 6;
constexpr int GroupsPerPlanSet = 10;
constexpr int GroupsPerLoadSet = 9;
/// Longest text of one timetable cell.
constexpr int CellTextLimit = 1000;

/// The timetable of one teacher (kind 4), group (1) or room (2): lesson numbers down, up to six
/// days across, one section per week of the cycle. `progress` may be null (batch printing
/// keeps the window hidden); a cancel there gives a cancelled document.
ReportDocument BuildObjectSchedule(tamsel::Dictionary& dict, tamsel::Short objectKind,
                                   tamsel::Long objectCode, tamsel::ProgressPort* progress);

/// The codes of every teacher (in name order), group (by name) or room (by number), the order
/// in which the batch reports print them.
std::vector<tamsel::Long> BatchObjectCodes(tamsel::Dictionary& dict, tamsel::Short objectKind);

/// The timetables of all objects of a kind, one document each, with the batch progress window
/// ("Печать расписаний учителей"). Stops at a cancel (then the last document is cancelled).
std::vector<ReportDocument> BuildAllObjectSchedules(tamsel::Dictionary& dict,
                                                    tamsel::Short objectKind,
                                                    tamsel::ProgressPort* progress);

/// The brief timetable: days and lessons down, six teachers across per page.
ReportDocument BuildBriefSchedule(tamsel::Dictionary& dict, tamsel::ProgressPort* progress);

/// The training plan: subjects down, ten groups across per page, totals in "Итого".
ReportDocument BuildTrainingCourse(tamsel::Dictionary& dict, tamsel::ProgressPort* progress);

/// The teacher load: teachers down, nine groups across per page, totals in "Всего". A lesson
/// without a group asks the stop prompt of the dictionary's user interface; stopping there
/// gives a cancelled document.
ReportDocument BuildTeacherLoad(tamsel::Dictionary& dict, tamsel::ProgressPort* progress);

/// The text of a lesson time ("08:30"); empty for no time.
QString formatLessonTime(tamsel::Long time);

} // namespace trusko
