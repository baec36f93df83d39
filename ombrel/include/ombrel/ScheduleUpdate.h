#pragma once

// Keeping a plan item's schedule entries in line with its hours, without widgets: the
// UpdateSchedule window shows what this finds, tests read it directly.

#include "tamsel/Dictionary.h"

#include <QStringList>

namespace ombrel {

/// What bringing a plan item's entries into line came to: result 0 when every group and
/// subgroup was brought into line, 5 when the change is refused; the messages say why.
struct ScheduleUpdate {
    long result = 5;
    /// "Анализ возможности внесения изменений" or "Корректировка расписания": the step that
    /// ended the work.
    QString status;
    QStringList messages;
};

/// The entries of a plan item for one group and subgroup, counted the way the correction
/// needs them: taken entries are placed or have a teacher, free ones neither.
struct EntryCounts {
    int takenSingle = 0, freeSingle = 0, takenPaired = 0, freePaired = 0;
};

/// Brings the entries of the stored plan item `stored` into line with new hours, for every
/// group of its course and stream and every subgroup of its subject. First the analysis: when
/// taken entries exceed the new hours (or the subject was changed) nothing is touched and the
/// messages say so. Then the correction, in one transaction under the writing lock: free
/// entries are deleted (single ones first, then pairs by alternate halves) or added (a kind in
/// a link gets them with the link's code), and the plan item is written with its new hours.
/// When it ends with messages or a write is refused, all of it is rolled back, so the plan and
/// its entries never disagree.
ScheduleUpdate UpdateScheduleEntries(tamsel::Dictionary& dict, const tamsel::TrainingCourse& stored,
                                     tamsel::Short ScienceCode, tamsel::Short SingleHours,
                                     tamsel::Short CoupledHours);

/// Whether an entry is placed or has a teacher: only the others are created or deleted.
bool isTaken(const tamsel::Schedule& s);

/// "5-А/1": course, dash, letter and the subgroup mark, as the messages name a group.
QString groupLabel(const tamsel::Globals& glo, const tamsel::Group& group, tamsel::Short subgroup);

} // namespace ombrel
