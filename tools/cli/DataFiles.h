#pragma once

#include "ConsolePorts.h"

#include "tamsel/Dictionary.h"
#include "tamsel/Store.h"

#include <QString>
#include <QTextStream>
#include <memory>
#include <vector>

namespace tamsel {
class Dictionary;
}

namespace cli {

/// Whether `dir` is a school's folder: it exists and holds Korvel.ini. A command that reads or
/// writes a school refuses any other folder (saying so on `err`), so that it never creates data
/// files where there was no school.
bool isSchoolFolder(QTextStream& err, const char* command, const QString& dir);
/// Loads the school's settings into `dict`; false after saying why on `err`.
bool loadSchoolSettings(QTextStream& err, const char* command, tamsel::Dictionary& dict);

/// Opens every data file of the folder that exists (missing ones are left alone, so a reader
/// creates nothing), each through the store's checks, and keeps them open in `uses`. A
/// command refuses to work on a folder with a damaged, foreign or locked file: the store has
/// shown why, and `failed` receives the file's disk name.
bool openExistingDataFiles(tamsel::Dictionary& dict,
                           std::vector<std::unique_ptr<tamsel::FileUse>>& uses, QString* failed);

/// A school opened for reading: the console answers for the user, the settings are loaded and
/// every data file that exists is open and checked (nothing is created).
struct ReadingSchool {
    explicit ReadingSchool(QTextStream& err, const QString& dir) : ui(err), dict(dir) {
        dict.setUserInterface(ui);
    }
    ConsoleUserInterface ui;
    tamsel::Dictionary dict;
    std::vector<std::unique_ptr<tamsel::FileUse>> files;
};
/// Opens the school in `dir` for a command that reads it; null after saying why on `err`: not
/// a school, settings that cannot be read, or a damaged file, named after `failed` (what did
/// not happen, "проверка не выполнена"; empty for none).
std::unique_ptr<ReadingSchool> openForReading(QTextStream& err, const char* command,
                                              const QString& dir, const QString& failed);

/// The absolute path of a file the command is to write, checked before any work is done; an
/// empty string after saying on `err` why the path is refused (a link, a folder, a data file).
QString outputPath(QTextStream& err, const char* command, tamsel::Dictionary& dict,
                   const QString& given);

} // namespace cli
