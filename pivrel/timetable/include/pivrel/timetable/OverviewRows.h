#pragma once

// What the overviews show, without widgets: the rows of related objects for a chosen teacher,
// group, speciality or course, and for every row and slot (week, day, lesson) whether it is
// busy or, when free, how it is restricted.

#include "pivrel/engine/Engine.h"

#include <QStringList>
#include <vector>

namespace pivrel {

/// Overview modes: the chosen object's type, or a grouping.
namespace OverviewMode {
constexpr short TeacherGroups = 4; ///< the groups a teacher works in
constexpr short GroupTeachers = 1; ///< the teachers working in a group
constexpr short Speciality = 5;    ///< the teachers of a speciality
constexpr short Course = 6;        ///< the groups of a course (the object is the course text)
} // namespace OverviewMode

/// A slot's state: busy, or free with its restriction level.
enum class SlotMark : unsigned char { Free = 0, Undesirable = 1, Forbidden = 2, Busy = 3 };

struct OverviewRow {
    QString label;
    tamsel::Short type = 0; ///< 4 teacher, 1 group (subgroup rows too)
    tamsel::Short code = 0;
    tamsel::Short subgroup = 0; ///< a subgroup row's number, 0 for a whole group or a teacher
    tamsel::Short subgroupType = 0;
    /// By week, then day (days() order), then lesson (bells() order).
    std::vector<SlotMark> marks;
};

class OverviewRows {
public:
    explicit OverviewRows(tamsel::Dictionary& dict);

    /// Reads the days and bells (once, as the overview window opens).
    void build();
    const std::vector<tamsel::Days>& days() const { return days_; }
    const std::vector<tamsel::LessonBell>& bells() const { return bells_; }
    int weeks() const { return weeks_; }
    const tamsel::Globals& globals() const { return dict_.glo; }

    /// The object: mode and code (a course's text for the course mode). `subgroups` adds the
    /// subgroup rows under each group (teacher and course modes).
    void setObject(short mode, tamsel::Long code, const QString& course = {},
                   bool subgroups = false);
    short mode() const { return mode_; }
    /// "Обзор расписания групп, где работает Иванова" and the like.
    QString title() const;

    /// Reads the rows again from the stored timetable.
    void refresh();
    const std::vector<OverviewRow>& rows() const { return rows_; }
    SlotMark mark(const OverviewRow& row, int week, int day, int bell) const;

    /// The text form of a day column: per row and week one character per lesson ("\u007f"
    /// busy, "•" free, "!" undesirable, "x" forbidden), "||" between weeks and "|" after the
    /// last; the final character dropped. Lines are separated by "|".
    QString dayText(int day) const;
    /// One row's characters for a week and day.
    QString lineText(const OverviewRow& row, int week, int day) const;
    /// The same as lines: one per row and week, an empty line between weeks of a row.
    QStringList dayLines(int day) const;

private:
    void computeMarks(OverviewRow& row);

    tamsel::Dictionary& dict_;
    std::vector<tamsel::Days> days_;
    std::vector<tamsel::LessonBell> bells_;
    int weeks_ = 1;
    short mode_ = 0;
    tamsel::Long code_ = 0;
    QString course_;
    bool subgroups_ = false;
    std::vector<OverviewRow> rows_;
};

} // namespace pivrel
