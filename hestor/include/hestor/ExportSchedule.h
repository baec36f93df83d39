#pragma once

// The timetable export: every schedule entry as a fixed-width line with its names, for
// other programs. Core only: progress and messages go through the dictionary's ports.

#include <QString>

namespace tamsel {
class Dictionary;
}

namespace hestor {

/// Writes every schedule entry, in the order of groups, days, lessons and subgroups, as a
/// 100-character line in the Windows Cyrillic code page (CR LF line ends) to the file of
/// `FN:ExportSchedule` ("Schedule.txt" in the working folder when that is blank, and the
/// setting keeps that name). The old file is replaced only by a complete new one; a cancel
/// keeps the lines written so far. False, after the reason was shown (and put into `error`),
/// when the export did not complete.
bool ExportSchedule(tamsel::Dictionary& dict, QString* error = nullptr);

/// The disk name the export writes to, resolved against the working folder.
QString ExportFileName(const tamsel::Dictionary& dict);

} // namespace hestor
