#include "Command.h"

namespace cli {

const std::vector<Command>& commands() {
    // Adding a command: one file defining its Command, one line here.
    static const std::vector<Command> table{
        sampleCommand(),
        infoCommand(),
        checkCommand(),
        analyzeCommand(),
        placeCommand(),
        reportCommand(),
        exportCommand(),
        publishCommand(),
        archiveCommand(),
        compareCommand(),
        substituteCommand(),
        importCommand(),
        legacyWriteCommand(),
        importFetCommand(),
        exportFetCommand(),
        importCsvCommand(),
    };
    return table;
}

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

void printGeneralHelp(QTextStream& s) {
    s << u(
        "Использование: korvel-cli КОМАНДА [ПАРАМЕТРЫ]\n"
        "Работа с данными Korvel без окон: папка данных с файлом Korvel.ini и файлами данных.\n\n"
        "Команды:\n");
    for (const Command& c : commands())
        s << "  " << QString::fromLatin1(c.name).leftJustified(10) << u(c.summary) << '\n';
    s << u("\nПодробнее о команде: korvel-cli КОМАНДА --help\n");
}

bool wantsHelp(const QStringList& args) {
    return args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"));
}

} // namespace

int dispatch(const QStringList& args, Console& io) {
    if (args.isEmpty()) {
        printGeneralHelp(io.err);
        return BadUsage;
    }
    const QString name = args.first();
    if (name == QStringLiteral("--help") || name == QStringLiteral("-h") ||
        name == QStringLiteral("help")) {
        if (args.size() > 1)
            for (const Command& c : commands())
                if (args[1] == QLatin1String(c.name)) {
                    io.out << u(c.help);
                    return Success;
                }
        printGeneralHelp(io.out);
        return Success;
    }
    for (const Command& c : commands()) {
        if (name != QLatin1String(c.name)) continue;
        const QStringList rest = args.mid(1);
        if (wantsHelp(rest)) {
            io.out << u(c.help);
            return Success;
        }
        return c.run(rest, io);
    }
    io.err << u("korvel-cli: неизвестная команда «%1».\n").arg(name);
    printGeneralHelp(io.err);
    return BadUsage;
}

} // namespace cli
