#pragma once

// How good a placed timetable is beyond its rules: teachers' and groups' windows (free bells
// between the first and the last lesson of a day), groups whose days are very unequal, and a
// subject a group has more than once on a day. Core only: it reads the placed timetable and
// writes nothing; the window, the console and the printed report show what it finds.

#include "trusko/PlacedTimetable.h"
#include "trusko/Report.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace tamsel {
class Dictionary;
}

namespace trusko {

/// A group whose busiest and lightest day of a week differ by this many lessons or more is
/// uneven.
constexpr int UnevenSpread = 3;

/// One teacher's or group's day at school.
struct QualityDay {
    int day = 0;          ///< index into PlacedTimetable::days
    int lessons = 0;      ///< bells with a lesson
    QList<int> freeBells; ///< bells without a lesson between the first and the last lesson
};

/// A teacher's or group's week of the cycle: its days at school and their windows.
struct QualityWeek {
    tamsel::Short kind = 0; ///< tamsel::ObjectType: Teacher or Group
    tamsel::Long code = 0;
    QString name;
    int week = 1;
    std::vector<QualityDay> days; ///< days with a lesson, in day order
    /// One of its lessons that week, on the first day with a window when there is one: what
    /// the grid is asked to show.
    tamsel::Schedule lesson;

    int windows() const;
};

/// A group's lessons per day in one week of the cycle.
struct DayLoad {
    tamsel::Long group = 0;
    QString name;
    int week = 1;
    std::vector<int> perDay; ///< bells with a lesson, one per day of the school
    /// The busiest day and the lightest day the group comes at all: a day without lessons is a
    /// day off (a five-day class in a six-day school), not a light day.
    int most = 0, fewest = 0;
    tamsel::Schedule lesson;

    int spread() const { return most - fewest; }
    bool uneven() const { return spread() >= UnevenSpread; }
};

/// A subject a group has in more than one bell of a day.
struct SubjectRepeat {
    enum class Kind {
        Double, ///< two adjacent bells and no more: one double lesson
        Repeat, ///< more than one sitting, or more than two bells in a row
    };
    Kind kind = Kind::Repeat;
    tamsel::Long group = 0;
    QString name;     ///< the group
    QString subGroup; ///< "/1" when only that subgroup's pupils have it so often; empty otherwise
    QString subject;
    int week = 1;
    int day = 0;
    QList<int> bells; ///< the bells the pupils have the subject in
    tamsel::Schedule lesson;

    QString kindText() const; ///< "сдвоенный урок", "повтор"
};

/// One of the four tables of the analysis as the window, the printed report and the CSV file
/// show it.
struct QualityTable {
    struct Row {
        QStringList cells;
        QVariantList sortKeys; ///< one per cell: a number where the column counts
        tamsel::Short kind = 0;
        tamsel::Long code = 0;
        tamsel::Schedule lesson;
        bool flagged = false; ///< a finding: windows, an uneven week, a repeat
    };
    QString title; ///< the tab's caption
    QStringList headers;
    std::vector<Row> rows;
    /// The column to sort by first (descending), so the worst comes first.
    int worstColumn = -1;
};

struct TimetableQuality {
    std::vector<tamsel::Days> days;
    std::vector<tamsel::LessonBell> bells;
    int weeks = 1;
    /// Every teacher and group with a lesson, one entry per week it has lessons in, in name
    /// order.
    std::vector<QualityWeek> teachers, groups;
    std::vector<DayLoad> loads;
    std::vector<SubjectRepeat> repeats;

    struct Summary {
        int teacherWindows = 0, teachersWithWindows = 0, groupWindows = 0, unevenGroups = 0,
            repeats = 0, doubles = 0;
    };
    Summary summary() const;
    /// "Окна учителей: N ч. (у M учителей), окна групп: K ч., неравномерных групп: U, повторов
    /// предметов: R."
    QString summaryText() const;

    /// Only what concerns one teacher (its windows) or one group (its windows, days and
    /// repeats).
    TimetableQuality only(tamsel::Short kind, tamsel::Long code) const;

    /// "Понедельник", or "2-я неделя, Понедельник" when the cycle has more weeks.
    QString when(int week, int day) const;
    /// The bells' numbers as the school names them: "3, 5".
    QString bellList(const QList<int>& bells) const;

    /// "Окна учителей", "Окна групп", "Нагрузка по дням", "Повторы предметов".
    std::vector<QualityTable> tables() const;
};

/// Analyses a placed timetable.
TimetableQuality AnalyseTimetable(const PlacedTimetable& t);
/// Reads the placed timetable and analyses it; false when a file could not be read (its
/// message has been shown).
bool AnalyseTimetable(tamsel::Dictionary& dict, TimetableQuality* out);

/// The findings as lines of text, section by section, and the summary as the last line.
QStringList timetableQualityLines(const TimetableQuality& q);
/// The tables as printed documents, one per table (they have different columns).
std::vector<ReportDocument> timetableQualityReport(const TimetableQuality& q);
/// The tables one under another, a line with the title before each, ";"-separated UTF-8 with a
/// byte-order mark (what spreadsheet programs on Windows open as Cyrillic).
QByteArray timetableQualityCsv(const TimetableQuality& q);

} // namespace trusko
