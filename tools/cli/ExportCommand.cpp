// korvel-cli export: the timetable export file of a data folder.

#include "Args.h"
#include "Command.h"
#include "ConsolePorts.h"
#include "DataFiles.h"

#include "hestor/ExportSchedule.h"
#include "tamsel/Dictionary.h"

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
    if (problem.isEmpty() && (args.positional.isEmpty() || args.positional.size() > 2))
        problem = args.positional.isEmpty() ? u("не указана папка") : u("лишние параметры");
    if (!problem.isEmpty()) {
        io.err << u("korvel-cli export: ") << problem << u("\nСправка: korvel-cli export --help\n");
        return BadUsage;
    }
    const QString dir = QDir(args.positional.first()).absolutePath();
    const auto school = openForReading(io.err, "export", dir, u("экспорт не выполнен"));
    if (!school) return Failure;
    tamsel::Dictionary& dict = school->dict;
    if (args.positional.size() == 2)
        dict.glo.FN_ExportSchedule = QFileInfo(args.positional[1]).absoluteFilePath();
    QString error;
    if (!hestor::ExportSchedule(dict, &error)) {
        io.err << u("korvel-cli export: ") << error << '\n';
        return Failure;
    }
    io.out << u("Расписание выгружено в файл %1\n")
                  .arg(QDir::toNativeSeparators(hestor::ExportFileName(dict)));
    return Success;
}

} // namespace

const Command& exportCommand() {
    static const Command c{
        "export", "выгрузить расписание в текстовый файл",
        "Использование: korvel-cli export ПАПКА [ФАЙЛ]\n"
        "Записывает все записи расписания папки по строкам в 100 символов (кодировка\n"
        "Windows-1251) в ФАЙЛ, а без него — в файл настройки FN:ExportSchedule (Schedule.txt,\n"
        "если она пуста). Прежний файл заменяется только полностью записанным. Код возврата 1\n"
        "при ошибке.\n",
        &run};
    return c;
}

} // namespace cli
