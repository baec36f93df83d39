#pragma once

// An independent check of a timetable: it reads the data files with the stock SQLite library
// and shares no code with the engine, so a fault in the engine's shared checks cannot hide
// from it. Every broken hard rule is one line of the result; a sound timetable gives none.

#include "tamsel/Dictionary.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <map>

namespace enginetest {

/// What a placement must keep: where the lessons placed before it were, and how many
/// lessons each plan item has.
struct TimetableBefore {
    std::map<qint64, QString> placed; ///< row id → "week/day/lesson/room"
    std::map<qint64, int> perItem;    ///< plan item → lessons
};

TimetableBefore recordTimetable(tamsel::Dictionary& dict);

/// The broken rules: a teacher, group or room in two lessons of one cell (lectures of one link
/// excepted; subgroups of one type may share a group's cell, never with the whole group);
/// a lesson in a forbidden cell of its teacher, group, room or subject, or in no cell of the
/// timetable; a link's lessons apart; and, given `before`, a plan item that gained or lost
/// lessons or a lesson placed before that moved.
QStringList checkTimetable(tamsel::Dictionary& dict, const TimetableBefore* before = nullptr);

/// For EXPECT_TRUE: holds when the check found nothing, and otherwise lists what it found.
inline ::testing::AssertionResult sound(const QStringList& problems) {
    if (problems.isEmpty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << problems.join(QLatin1Char('\n')).toStdString();
}

} // namespace enginetest
