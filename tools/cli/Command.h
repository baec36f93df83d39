#pragma once

// The subcommands of korvel-cli. Each lives in a file of its own and is listed once in the
// table of Commands.cpp; the dispatcher answers --help for every one of them.

#include <QStringList>
#include <QTextStream>
#include <vector>

namespace cli {

/// Exit statuses.
/// Impossible: the data check found what makes a complete timetable impossible.
enum Exit { Success = 0, Failure = 1, BadUsage = 2, Impossible = 3 };

/// Where a command writes: results to `out`, messages and errors to `err`.
struct Console {
    QTextStream& out;
    QTextStream& err;
};

struct Command {
    const char* name;    ///< "sample"
    const char* summary; ///< one line for the list of commands
    const char* help;    ///< the full usage text printed by --help
    /// Runs with the arguments after the command's name; returns an exit status.
    int (*run)(const QStringList& args, Console& io);
};

/// Every command in the order the general help lists them.
const std::vector<Command>& commands();

/// Runs the command named by args[0] (args without the program name).
int dispatch(const QStringList& args, Console& io);

// One entry per command file.
const Command& sampleCommand();
const Command& infoCommand();
const Command& placeCommand();
const Command& checkCommand();
const Command& analyzeCommand();
const Command& reportCommand();
const Command& exportCommand();
const Command& publishCommand();
const Command& archiveCommand();
const Command& compareCommand();
const Command& substituteCommand();
const Command& importCommand();
const Command& legacyWriteCommand();
const Command& importFetCommand();
const Command& exportFetCommand();
const Command& importCsvCommand();

} // namespace cli
