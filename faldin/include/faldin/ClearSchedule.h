#pragma once

// Clearing the timetable: every lesson back to the unplaced state in one pass. Core only.

#include "tamsel/Records.h"

#include <functional>

namespace tamsel {
class Dictionary;
}

namespace faldin {

/// Takes every lesson out of its cell (week, day, lesson number and room emptied) and, when
/// `clearTeachers` is nonzero, off its teacher too; subject, group, subgroup, plan item,
/// pairing and link stay, and restrictions are not touched. Shows the progress window
/// "Очистка расписания"; a cancel keeps the lessons cleared so far. Holds the folder's
/// writing lock. Posts 1024 through `postToFrame` whenever anything may have changed.
/// False when it did not clear every lesson (cancelled, a write failed, the folder is in
/// use); the reason has been shown.
bool ClearSchedule(tamsel::Dictionary& dict, tamsel::Short clearTeachers,
                   const std::function<void(int)>& postToFrame = {});

} // namespace faldin
