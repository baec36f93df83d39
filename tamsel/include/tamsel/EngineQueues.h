#pragma once

// The placement engine's shared work lists. They belong to the data dictionary (one instance
// per process, in Globals) so that every window sees the same lesson group, tasks and
// variants; the engine in pivrel fills them.

#include "tamsel/Records.h"

#include <QString>
#include <vector>

namespace tamsel {

/// One lesson that moves together with the lesson in ScheduleRecord.
struct LinkedLessonsEntry {
    Schedule O; ///< the lesson as stored (old cell and room)
    Schedule N; ///< the same lesson at its target cell and room
};

/// The lessons of one placement, in insertion order (each is checked against the earlier
/// ones). `pointer` is the index of the current entry, -1 when none.
struct LinkedLessonsQueue {
    std::vector<LinkedLessonsEntry> items;
    int pointer = -1;
    void clear() {
        items.clear();
        pointer = -1;
    }
};

/// One unplaced lesson of an automatic placement. `lesson.LinkCode` is the task key: the
/// lesson's own link code when linked, otherwise a provisional negative code.
struct TaskQueueEntry {
    Schedule lesson;
    Short NumberOfSuchLessons = 0;
    Short NumberOfVariants = 0;
    Short Freedom = 0;
    Short Done = 0;
};

struct TaskQueue {
    std::vector<TaskQueueEntry> items;
    int pointer = -1; ///< the current entry (the dump of the placement log shows it)
    void clear() {
        items.clear();
        pointer = -1;
    }
};

/// One admissible cell of a task.
struct VariantQueueEntry {
    Short LinkCode = 0;
    Short Week = 0;
    Short DaySeqNumber = 0;
    QString LessonNo;
    Short MainEstimate = 0;
    Short AdditionalEstimate = 0;

    bool operator==(const VariantQueueEntry&) const = default;
};

struct VariantQueue {
    std::vector<VariantQueueEntry> items;
    int pointer = -1;
    void clear() {
        items.clear();
        pointer = -1;
    }
};

} // namespace tamsel
