#pragma once

// Covering an absent teacher's lessons on a date: the lessons of that day, the teachers who
// could take each one (ranked, with the reason), the choices kept in the SUBSTITUTION file, and
// the document "Замены на DD.MM.YYYY" for the staff room and the site. Core only: nothing is
// shown.

#include "tamsel/Records.h"
#include "trusko/Report.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <vector>

namespace tamsel {
class Dictionary;
}

namespace hestor {

/// A teacher who could give a lesson instead of the absent one.
struct SubstitutionCandidate {
    tamsel::Short teacher = 0;
    QString name;
    /// 0: teaches this subject, 1: a subject of the same cycle, 2: anyone free.
    int subjectTier = 2;
    bool undesirable = false; ///< the bell is an undesirable time of the teacher
    int lessonsThatDay = 0;   ///< own lessons and substitutions already taken that day
    /// 0: the lesson joins the teacher's day without a gap (or fills one), 1: the teacher has no
    /// lessons that day, 2: the lesson leaves a gap ("окно").
    int gap = 0;
    QString reason; ///< "ведет этот предмет; свободен, 3 урока в этот день"
};

/// A room the substitute's lesson may go to instead of its own.
struct SubstitutionRoom {
    tamsel::Long code = 0;
    QString number;
};

/// One lesson of an absent teacher on the date: a placed lesson, or a link's sitting (a lecture
/// to several groups) as one lesson.
struct AbsentLesson {
    tamsel::Short absentTeacher = 0;
    QString absentName;
    std::vector<tamsel::Schedule> rows; ///< the schedule rows of the lesson, a row per group
    int bell = 0;                       ///< rank of its bell among the school's bells
    QString lessonNo;                   ///< "2"
    QString time;                       ///< "09:00–09:45", empty without times
    QString groups;                     ///< "5-А", "5-А/1", "5-А, 5-Б"
    QString subject;
    QString room;                       ///< the room's number
    tamsel::Long roomCode = 0;          ///< the lesson's own room
    /// Rooms free in that bell and not forbidden then, by number (the lesson's own not among
    /// them).
    std::vector<SubstitutionRoom> rooms;
    QString link;                       ///< "лекция «Физика 5»", "связь «…»" or empty
    std::vector<SubstitutionCandidate> candidates; ///< best first
    /// -1: nothing chosen, 0: the lesson is cancelled, else the substitute's code.
    tamsel::Short chosen = -1;
    QString chosenName; ///< the stored substitute's name, also when no longer a candidate
    /// Another room for the lesson (0: its own room); `chosenRoomNumber` is its number.
    tamsel::Long chosenRoom = 0;
    QString chosenRoomNumber;
    QString note;
};

/// The absent teachers' lessons of one date.
struct SubstitutionDay {
    bool ok = false;
    QString error; ///< why there is nothing to cover (a holiday, no lessons, ...)
    QDate date;
    int week = 1;          ///< of the cycle
    tamsel::Short daySeq = 0;
    QString dayName;       ///< "Понедельник"
    std::vector<tamsel::Short> absent;
    std::vector<AbsentLesson> lessons; ///< by bell, then by absent teacher
};

/// "урок отменен": what the lists and the document show for a cancelled lesson.
QString CancelledText();
/// "Замены на 10.12.2026".
QString SubstitutionsTitle(const QDate& date);

/// The date as the timetable sees it (week of the cycle, day) and the lessons of the absent
/// teachers that day, each with its ranked candidates and the choice saved before. Refuses a
/// date outside the school year, a holiday, a day the school does not have and a teacher with no
/// lessons that day, saying so in `error`.
SubstitutionDay PlanSubstitutions(tamsel::Dictionary& dict, const QDate& date,
                                  const std::vector<tamsel::Short>& absent);

/// The candidates of lesson `i` that are still free: a teacher chosen for another lesson in the
/// same bell is taken.
std::vector<const SubstitutionCandidate*> FreeCandidates(const SubstitutionDay& day, size_t i);

/// The rooms lesson `i` may move to: free in its bell, minus those another lesson of the same
/// bell was moved to.
std::vector<const SubstitutionRoom*> FreeRooms(const SubstitutionDay& day, size_t i);

/// Carries the choices, rooms and notes of `from` to the same lessons of `to` (the day planned
/// again after the data changed): a substitute only while still free then, a room only while
/// still free. Returns how many choices could not be carried.
int CarryChoices(const SubstitutionDay& from, SubstitutionDay& to);

/// Takes the first free candidate for every lesson without a choice (a lesson with none is
/// cancelled). Returns how many lessons got a teacher.
int ChooseFirstCandidates(SubstitutionDay& day);

/// Stores the choices of the day's absent teachers for its date, replacing what was stored
/// for them, in one transaction under the writing lock; a lesson without a choice stores
/// nothing. Empty when stored, else why not (the folder is unchanged).
QString SaveSubstitutions(tamsel::Dictionary& dict, const SubstitutionDay& day);
/// Removes every substitution of the date. Empty when done, else why not.
QString ClearSubstitutions(tamsel::Dictionary& dict, const QDate& date);

/// One line of the document.
struct SubstitutionLine {
    tamsel::Substitution record;
    QString lessonNo, time, group, subject, absent, substitute, room, note;
};

struct SubstitutionList {
    bool ok = false;
    QString error;
    QDate date;
    std::vector<SubstitutionLine> lines; ///< by bell, group, subject
};

/// Every substitution stored for the date, with the names of today's data.
SubstitutionList ReadSubstitutions(tamsel::Dictionary& dict, const QDate& date);

/// The printed document: per bell the group, subject, absent teacher, substitute, room, note.
trusko::ReportDocument SubstitutionsReport(const SubstitutionList& list);
/// A web page in the published pages' style.
QByteArray SubstitutionsHtml(const SubstitutionList& list);
/// A row per line, ';'-separated UTF-8 with a byte-order mark, as the published table.
QByteArray SubstitutionsCsv(const SubstitutionList& list);

enum class SubstitutionsFile { Html, Csv };
/// Writes the page or the table to `path` (checked with OutputPathRefusal; an old file is
/// replaced only by a complete new one). Empty when written, else why not.
QString SaveSubstitutionsFile(tamsel::Dictionary& dict, const SubstitutionList& list,
                              SubstitutionsFile format, const QString& path);

} // namespace hestor
