#pragma once

#include "tamsel/Records.h"

#include <QString>

namespace tamsel {

/// One line of the export file: fixed columns, 100 characters, codes resolved to names.
struct ExportSchedule {
    static constexpr int LineWidth = 100;

    Short Week = 0;
    Short DaySeqNumber = 0;
    QString DayName;     // 16 (15 + blank)
    QString LessonNo;    // 4
    Long Begining = 0;   // TIME, written as hours:minutes; 0 = blank
    Long Ending = 0;
    QString Science;     // 21
    QString TeacherName; // 21
    QString GroupId;     // 7
    Short SubGroupNum = 0;
    QString RoomNo;      // 8

    /// The line as written to the file (without line end).
    QString line() const;
};

/// "HH:MM" of a TIME value; blank (5 spaces) for 0.
QString formatTime(Long time);

} // namespace tamsel
