#pragma once

#include <QString>

namespace tamsel {

class Dictionary;

/// Why an output file of a command or window (a report's PDF, the export file, published
/// pages) may not be written at `path`, or empty when it may. Refused are the school's own
/// files, however the path names them (relative, through "..", through a link, and on Windows
/// in any case): every data file (its FN: setting and its default name) with its journal,
/// "Korvel.ini" and "Korvel.lock"; and a symbolic link, through which the output would replace
/// a file elsewhere. The text names the file and says what it is.
QString OutputPathRefusal(Dictionary& dict, const QString& path);

/// Why the program may not write its own file `path` in the working folder (the placement
/// log, the settings file, a data file), or empty: it is a symbolic link, and writing through
/// it would change a file outside the folder. `what` names the file for the user ("файл
/// настроек").
QString LinkRefusal(const QString& path, const QString& what);

} // namespace tamsel
