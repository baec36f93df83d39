// korvel-cli info: the data files of a folder with their disk names and record counts.

#include "Args.h"
#include "Command.h"
#include "ConsolePorts.h"

#include "tamsel/Dictionary.h"
#include "tamsel/Schema.h"

#include <QDir>
#include <QFileInfo>

namespace cli {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

int run(const QStringList& argv, Console& io) {
    Args args(argv, {});
    QString problem = args.error();
    if (problem.isEmpty()) problem = args.oneFolder();
    if (!problem.isEmpty()) {
        io.err << u("korvel-cli info: ") << problem << u("\nСправка: korvel-cli info --help\n");
        return BadUsage;
    }
    const QString dir = QDir(args.positional.first()).absolutePath();
    if (!QFileInfo(dir).isDir()) {
        io.err << u("korvel-cli info: папки «%1» нет.\n").arg(dir);
        return Failure;
    }

    ConsoleUserInterface ui(io.err);
    tamsel::Dictionary dict(dir);
    dict.setUserInterface(ui);
    const QString ini = QDir(dir).filePath(QStringLiteral("Korvel.ini"));
    if (QFileInfo::exists(ini)) {
        QString error;
        if (!dict.loadSettings(&error)) {
            io.err << u("korvel-cli info: файл настроек «%1» не читается: %2\n").arg(ini, error);
            return Failure;
        }
    }

    io.out << u("Папка: %1\n").arg(QDir::toNativeSeparators(dir));
    if (QFileInfo::exists(ini))
        io.out << u("Недель в цикле: %1, общий тип кабинета: %2\n")
                      .arg(dict.glo.WeeksInCycle)
                      .arg(dict.glo.CommonTypeRoomCode);
    else
        io.out << u("Файла настроек Korvel.ini нет.\n");
    io.out << '\n'
           << u("Файл").leftJustified(16) << u("Записей").rightJustified(9) << "  "
           << u("Имя на диске") << '\n';

    bool failed = false;
    for (int i = 0; i < tamsel::PhysicalFileCount; ++i) {
        const auto id = static_cast<tamsel::FileId>(i);
        const QString path = dict.store().diskName(id);
        QString shown = QDir(dir).relativeFilePath(path);
        if (shown.startsWith(QStringLiteral(".."))) shown = path;
        QString count;
        if (!QFileInfo::exists(path)) {
            count = u("нет");
        } else {
            // Never creates a file: only files that exist are opened.
            tamsel::FileUse use(dict.store(), id);
            if (!use) {
                count = u("ошибка");
                failed = true;
            } else {
                count = QString::number(use.file().table().count());
            }
        }
        io.out << tamsel::fileDef(id).name.leftJustified(16) << count.rightJustified(9) << "  "
               << QDir::toNativeSeparators(shown) << '\n';
    }
    io.out.flush();
    if (failed) io.err << u("korvel-cli info: не все файлы данных читаются.\n");
    return failed ? Failure : Success;
}

} // namespace

const Command& infoCommand() {
    static const Command c{
        "info", "показать файлы данных папки и число записей в них",
        "Использование: korvel-cli info ПАПКА\n"
        "Показывает для каждого файла данных папки его имя на диске (по настройкам FN: из\n"
        "Korvel.ini) и число записей. Отсутствующие файлы не создаются. Код возврата 1, если\n"
        "какой-либо файл не читается.\n",
        &run};
    return c;
}

} // namespace cli
