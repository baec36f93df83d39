#pragma once

// The import of the older product's data in two stages: the reference data, then the training
// plans, the teachers' load and the old timetable. Core only: the prompts, progress and
// messages go through the dictionary's ports.

#include "tamsel/LegacyFiles.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace tamsel {
class Dictionary;
}

namespace hestor {

enum class LodraStage {
    Reference =
        1,     ///< bells, room types, rooms, specialities, teachers, groups, subjects, restrictions
    Plans = 2, ///< training plan, teachers' load, the old timetable
};

struct LodraImportResult {
    enum class Status {
        Done,      ///< every step ran and the result is in place
        Refused,   ///< nothing was written: a file that cannot be read, the folder in use, ...
        Cancelled, ///< stopped by the user; nothing was written
        Failed,    ///< a write failed; nothing was written
    };
    Status status = Status::Refused;
    /// Why it was not done (already shown through the user-interface port).
    QString reason;
    /// What of the old data was not taken, one line per record, naming its file and number.
    QStringList notTaken;
    bool done() const { return status == Status::Done; }
};

/// The older product's files a stage reads, in the order of its steps.
std::vector<tamsel::LegacyFileId> LodraFilesOf(LodraStage stage);

/// The folder of a file chosen in the file dialog: the name up to and including its last
/// separator (a drive alone gives the drive and a backslash).
QString LodraFolderOf(const QString& chosenFile);

/// Runs every step of the stage, reading the older product's files from `LodraDataDir`.
/// Every old file is read and checked before anything is written; the steps then work on a
/// copy of the school's data files, which is put in place (all files together) only when every
/// step has run: a file that cannot be read, a cancel or a failed write leaves the school's
/// data as it was. Takes the folder's writing lock; the data files must not be open elsewhere.
/// Shows the stage's closing message when done. Stage 1 also sets `CommonTypeRoomCode` to the
/// imported room type of the same name (0 when there is none); the caller saves the settings.
LodraImportResult ImportLodraStage(tamsel::Dictionary& dict, LodraStage stage);

} // namespace hestor
