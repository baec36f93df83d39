#pragma once

// An independent check of the lesson data: the plan, its schedule entries and the links. It
// reads the data files with the stock SQLite library and shares no code with the libraries it
// checks, so a fault in their shared rules cannot hide from it. Every broken rule is one line
// of the result; sound data gives none.

#include "tamsel/Dictionary.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace lessontest {

/// The broken rules:
/// - entries per plan item, group (of the item's course and stream) and subgroup (of the
///   subject's division: 0 for a whole group, else 1 to the count) are the plan's: its single
///   hours, and two per pair of its paired hours, halves 1 and 2 alike; no entries elsewhere;
/// - an entry carries a link's code exactly while its member (item, group, subgroup) belongs
///   to that link; every member names an existing link, plan item, group and subject, and a
///   subgroup of the subject's division; no link has code 0;
/// - no entry of a deleted group, subject, plan item, teacher, room, link, day or bell, nor of
///   another subject than its plan item's;
/// - placed pairs are whole: a day of a kind holds as many first halves as second ones.
/// Where a link's lessons sit is the timetable checker's matter (the officer may place a link in
/// part, and the placement completes it).
QStringList checkLessons(tamsel::Dictionary& dict);

/// For EXPECT_TRUE: holds when the check found nothing, and otherwise lists what it found.
inline ::testing::AssertionResult lessonsSound(const QStringList& problems) {
    if (problems.isEmpty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << problems.join(QLatin1Char('\n')).toStdString();
}

} // namespace lessontest
