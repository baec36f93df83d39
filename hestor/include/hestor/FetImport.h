#pragma once

// A school from a file of FET (the free timetabling program, XML) and back. Core only: the
// messages go through the dictionary's ports.
//
// Import: every FET student set that has no smaller set under it (a subgroup, a group
// without subgroups, a year without groups) becomes a Korvel group with a stream of its own,
// so a plan item reaches exactly that set; an activity for several sets is a lecture link of
// their groups. The whole school is built in a temporary folder and installed all at once.

#include <QString>
#include <QStringList>

namespace tamsel {
class Dictionary;
}

namespace hestor {

struct FetImportResult {
    bool done = false;
    /// Why nothing was written (already shown through the user-interface port).
    QString reason;
    /// "не перенесено: 120 ограничений «минимум дней между уроками»" and the like: whatever of
    /// the file the school cannot hold, one line per kind with its count.
    QStringList notCarried;
    /// What was taken in a changed form (a shortened name, a long activity split into hours).
    QStringList changed;
    int lessons = 0; ///< schedule entries made
};

/// Imports `fetFile` into the school of `dict`, whose folder must hold no data yet (a new or
/// empty folder). All or nothing: a file that cannot be read or names what it does not
/// declare leaves the folder as it was. Takes the folder's writing lock. Sets the dictionary's
/// weeks (1) and common room type; the caller saves the settings.
FetImportResult ImportFet(tamsel::Dictionary& dict, const QString& fetFile);

struct FetExportOptions {
    /// Every activity of one hour (pairs too): the problem the automatic placement solves.
    bool splitHours = false;
};

/// Writes what the school of `dict` holds as a FET file (through QSaveFile; the caller has
/// passed the path through OutputPathRefusal). Returns an empty text when written, else why.
QString ExportFet(tamsel::Dictionary& dict, const QString& fetFile,
                  const FetExportOptions& options = {});

} // namespace hestor
