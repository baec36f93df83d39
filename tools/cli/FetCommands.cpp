// korvel-cli import-fet and export-fet: a school from a FET file into a new or empty folder,
// and what a school holds written back as a FET file.

#include "Args.h"
#include "Command.h"
#include "ConsolePorts.h"
#include "DataFiles.h"

#include "hestor/FetImport.h"
#include "tamsel/Dictionary.h"
#include "tamsel/WritingLock.h"

#include <QDir>
#include <QFileInfo>

namespace cli {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

int runImport(const QStringList& argv, Console& io) {
    Args args(argv, {});
    QString problem = args.error();
    if (problem.isEmpty() && args.positional.size() != 2)
        problem = args.positional.size() < 2 ? u("нужны файл FET и папка школы") : u("лишние параметры");
    if (!problem.isEmpty()) {
        io.err << u("korvel-cli import-fet: ") << problem << u("\nСправка: korvel-cli import-fet --help\n");
        return BadUsage;
    }
    const QString fetFile = QFileInfo(args.positional[0]).absoluteFilePath();
    const QString dir = QDir(args.positional[1]).absolutePath();
    if (!QFileInfo(fetFile).isFile()) {
        io.err << u("korvel-cli import-fet: файл «%1» не найден.\n").arg(QDir::toNativeSeparators(fetFile));
        return Failure;
    }
    if (QFileInfo::exists(QDir(dir).filePath(QStringLiteral("Korvel.ini")))) {
        io.err << u("korvel-cli import-fet: в папке «%1» уже есть школа; импорт из FET выполняется только в новую или пустую папку.\n")
                      .arg(QDir::toNativeSeparators(dir));
        return Failure;
    }
    if (!QDir().mkpath(dir)) {
        io.err << u("korvel-cli import-fet: папку «%1» не удалось создать.\n").arg(dir);
        return Failure;
    }
    ConsoleUserInterface ui(io.err);
    tamsel::Dictionary dict(dir);
    dict.setUserInterface(ui);
    tamsel::WritingScope writing(dict);
    if (!writing) {
        io.err << u("korvel-cli import-fet: импорт не выполнен: папку нельзя занять для записи.\n");
        return Failure;
    }
    dict.glo.load(dict.settings()); // what a first start writes
    const hestor::FetImportResult result = hestor::ImportFet(dict, fetFile);
    for (const QString& line : result.changed) io.err << u("Изменено: ") << line << '\n';
    for (const QString& line : result.notCarried) io.err << line << '\n';
    if (!result.done) {
        io.err << u("korvel-cli import-fet: импорт не выполнен: %1\n").arg(result.reason.section(QLatin1Char('|'), 0, 0));
        return Failure;
    }
    QString error;
    if (!dict.saveSettings(&error)) {
        io.err << u("korvel-cli import-fet: данные импортированы, но настройки не записаны: %1\n").arg(error);
        return Failure;
    }
    io.out << u("Импорт из FET выполнен: уроков %1; не перенесено видов ограничений и данных: %2.\n")
                  .arg(result.lessons)
                  .arg(result.notCarried.size());
    return Success;
}

int runExport(const QStringList& argv, Console& io) {
    Args args(argv, {}, {QStringLiteral("split")});
    QString problem = args.error();
    if (problem.isEmpty() && args.positional.size() != 2)
        problem = args.positional.size() < 2 ? u("нужны папка школы и файл FET") : u("лишние параметры");
    if (!problem.isEmpty()) {
        io.err << u("korvel-cli export-fet: ") << problem << u("\nСправка: korvel-cli export-fet --help\n");
        return BadUsage;
    }
    const QString dir = QDir(args.positional[0]).absolutePath();
    const auto school = openForReading(io.err, "export-fet", dir, QString());
    if (!school) return Failure;
    tamsel::Dictionary& dict = school->dict;
    const QString path = outputPath(io.err, "export-fet", dict, args.positional[1]);
    if (path.isEmpty()) return Failure;
    hestor::FetExportOptions options;
    options.splitHours = args.has(QStringLiteral("split"));
    const QString error = hestor::ExportFet(dict, path, options);
    if (!error.isEmpty()) {
        io.err << u("korvel-cli export-fet: файл FET не записан: %1\n").arg(error);
        return Failure;
    }
    io.out << u("Школа записана в файл FET %1\n").arg(QDir::toNativeSeparators(path));
    return Success;
}

} // namespace

const Command& importFetCommand() {
    static const Command c{
        "import-fet", "создать школу из файла FET",
        "Использование: korvel-cli import-fet ФАЙЛ.fet ПАПКА\n"
        "Создает в новой или пустой ПАПКЕ школу из файла программы FET: дни, часы (звонки),\n"
        "учителей, предметы, кабинеты, учеников (каждый наименьший набор учеников — группа),\n"
        "уроки (план и нагрузка; урок для нескольких групп — лекция), запреты времени учителей,\n"
        "учеников и кабинетов, предпочтительные кабинеты (списки кабинетов). Что школа\n"
        "принять не может, перечисляется с количеством в стандартном потоке ошибок. Все или\n"
        "ничего: при отказе папка не меняется. Код возврата 0 — школа создана, 1 — нет.\n",
        &runImport};
    return c;
}

const Command& exportFetCommand() {
    static const Command c{
        "export-fet", "записать школу в файл FET",
        "Использование: korvel-cli export-fet [--split] ПАПКА ФАЙЛ.fet\n"
        "Записывает дни, звонки, учителей, предметы, кабинеты, группы, уроки (лекции — одним\n"
        "уроком FET для всех групп, прочие связи — одновременными уроками), запреты и списки\n"
        "кабинетов школы в ФАЙЛ программы FET (например, для fet-cl).\n"
        "  --split  каждый урок часовым (сдвоенные тоже): задача автоматической расстановки.\n",
        &runExport};
    return c;
}

} // namespace cli
