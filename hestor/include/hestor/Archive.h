#pragma once

// The archive of timetables: whole snapshots of the 18 data files in ARCHIVE records, and
// putting a snapshot back. Core only: messages and progress go through the dictionary's ports.

#include "tamsel/Records.h"
#include "tamsel/Snapshots.h"

#include <QDate>
#include <QString>
#include <functional>
#include <vector>

namespace tamsel {
class Dictionary;
}

namespace hestor {

/// One archived file: its data file, its BLOB field, the name in progress texts and the
/// title in messages.
struct ArchivedFile {
    tamsel::FileId file;
    QByteArray tamsel::Archive::*blob;
    const char* progressName;
    const char* title;
};
/// The 18 files in BLOB order.
const std::vector<ArchivedFile>& ArchivedFiles();

/// Copies the 18 data files into `rec` (with the date, time and the two archived settings).
/// Stops at a file that another window holds ("Невозможно заменить файл") or that cannot be
/// read ("Open(DOSFileToBLOB)"); false then, and `stoppedAt` names that file, so that the
/// caller never stores a snapshot that is not complete.
bool BackupSchedule(tamsel::Dictionary& dict, tamsel::Archive& rec, QString* stoppedAt = nullptr);

/// Puts the snapshot back after the question "В Н И М А Н И Е   !" ("Да" ends it with
/// nothing changed, to save the current data first). Every archived file is checked first
/// (a damaged snapshot changes nothing); then all files are replaced together, so that any
/// interruption leaves the old or the new data, and the archived settings go in with them. A
/// step that fails puts the old data back and names the file. True when the data was
/// replaced; `declined` tells "Да" (nothing done, by the user's choice) from a failure, whose
/// message was shown. `installStep` is for tests (see tamsel::InstallDataFiles).
bool RestoreSchedule(tamsel::Dictionary& dict, const tamsel::Archive& rec, bool* declined = nullptr,
                     const std::function<tamsel::InstallStep(int)>& installStep = {});


} // namespace hestor
