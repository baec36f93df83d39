// korvel-cli publish: web pages, calendars, a workbook and CSV of a data folder's timetable.

#include "Args.h"
#include "Command.h"
#include "ConsolePorts.h"
#include "DataFiles.h"

#include "hestor/PublishSchedule.h"
#include "hestor/PublishUpload.h"
#include "tamsel/Dictionary.h"

#include <QDir>

namespace cli {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

QDate date(const QString& text) {
    QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid()) d = QDate::fromString(text, QStringLiteral("dd.MM.yyyy"));
    return d;
}

int run(const QStringList& argv, Console& io) {
    Args args(argv, {QStringLiteral("formats"), QStringLiteral("from"), QStringLiteral("to"),
                     QStringLiteral("out"), QStringLiteral("upload"), QStringLiteral("user")});
    QString problem = args.error();
    // The publication folder: --out or the second positional argument.
    const qsizetype wanted = args.has(QStringLiteral("out")) ? 1 : 2;
    if (problem.isEmpty() && args.positional.size() != wanted)
        problem = args.positional.size() < wanted ? u("нужны папка данных и папка публикации")
                                                  : u("лишние параметры");
    if (problem.isEmpty() && args.has(QStringLiteral("user")) && !args.has(QStringLiteral("upload")))
        problem = u("--user задаётся вместе с --upload");
    if (problem.isEmpty() && args.has(QStringLiteral("upload")))
        problem = hestor::UploadUrlProblem(args.value(QStringLiteral("upload")));
    hestor::PublishOptions options;
    if (problem.isEmpty() && args.has(QStringLiteral("formats"))) {
        options.html = options.ics = options.csv = options.xlsx = false;
        for (const QString& f :
             args.value(QStringLiteral("formats")).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString name = f.trimmed().toLower();
            if (name == QStringLiteral("html"))
                options.html = true;
            else if (name == QStringLiteral("ics"))
                options.ics = true;
            else if (name == QStringLiteral("csv"))
                options.csv = true;
            else if (name == QStringLiteral("xlsx"))
                options.xlsx = true;
            else
                problem = u("неизвестный формат «%1» (возможны: html, ics, csv, xlsx)").arg(f);
        }
    }
    for (const char* option : {"from", "to"}) {
        const QString name = QLatin1String(option);
        if (!problem.isEmpty() || !args.has(name)) continue;
        const QDate d = date(args.value(name));
        if (!d.isValid())
            problem = u("дата «--%1» не читается: «%2» (нужно ГГГГ-ММ-ДД)").arg(name, args.value(name));
        (name == QStringLiteral("from") ? options.from : options.to) = d;
    }
    if (problem.isEmpty() && args.has(QStringLiteral("from")) != args.has(QStringLiteral("to")))
        problem = u("период задаётся двумя датами: --from и --to");
    if (!problem.isEmpty()) {
        io.err << u("korvel-cli publish: ") << problem << u("\nСправка: korvel-cli publish --help\n");
        return BadUsage;
    }
    const QString dir = QDir(args.positional[0]).absolutePath();
    const auto school = openForReading(io.err, "publish", dir, u("публикация не выполнена"));
    if (!school) return Failure;
    tamsel::Dictionary& dict = school->dict;
    options.outDir = QDir(args.has(QStringLiteral("out")) ? args.value(QStringLiteral("out"))
                                                          : args.positional[1])
                         .absolutePath();
    tamsel::SilentProgress progress;
    const hestor::PublishResult r = hestor::PublishSchedule(dict, options, progress);
    if (!r.ok) {
        io.err << u("korvel-cli publish: ") << r.error << '\n';
        return Failure;
    }
    io.out << u("Расписание опубликовано:\n");
    for (const QString& line : r.written) io.out << "  " << line << '\n';
    if (!args.has(QStringLiteral("upload"))) return Success;

    // The password comes from the environment only: an argument shows in the process list.
    hestor::UploadOptions upload;
    upload.folder = options.outDir;
    upload.url = args.value(QStringLiteral("upload"));
    upload.user = args.value(QStringLiteral("user"));
    upload.password = qEnvironmentVariable("KORVEL_UPLOAD_PASSWORD");
    const hestor::UploadResult sent = hestor::UploadPublication(dict, upload, progress);
    if (!sent.ok) {
        io.err << u("korvel-cli publish: ") << sent.error << '\n';
        return Failure;
    }
    for (const QString& name : sent.sent) io.out << u("  отправлен ") << name << '\n';
    for (const QString& line : sent.lines) io.out << line << '\n';
    return Success;
}

} // namespace

const Command& publishCommand() {
    static const Command c{
        "publish", "опубликовать расписание: HTML, iCalendar, xlsx, CSV",
        "Использование: korvel-cli publish ПАПКА ВЫХОД|--out ВЫХОД [--formats html,ics,csv,xlsx]\n"
        "                                  [--from ГГГГ-ММ-ДД --to ГГГГ-ММ-ДД]\n"
        "                                  [--upload АДРЕС [--user ИМЯ]]\n"
        "Записывает расписание папки данных в папку ВЫХОД (создаётся при необходимости):\n"
        "  html  index.html, страница каждого класса, учителя и кабинета и школы по дням;\n"
        "  ics   ics/*.ics — календарь каждого класса, учителя и кабинета по учебным дням;\n"
        "  csv   schedule.csv — урок на строку (разделитель «;», UTF-8 с BOM);\n"
        "  xlsx  schedule.xlsx — сводное расписание и лист каждого класса и учителя.\n"
        "Без --formats пишутся все четыре. Даты берутся из календаря учебного года (Настройка →\n"
        "Календарь учебного года) или из --from/--to; каникулы пропускаются. Без дат календари\n"
        "записать нельзя (выберите --formats без ics), а CSV содержит по строке на урок цикла.\n"
        "С --upload записанная папка отправляется на сайт школы: ftp://, ftps:// (FTP с\n"
        "шифрованием TLS), sftp://, https:// или http:// (запрос PUT, как WebDAV или Nextcloud),\n"
        "например --upload ftps://school.example.ru/www/raspisanie/. Пароль берётся из переменной\n"
        "окружения KORVEL_UPLOAD_PASSWORD (в командной строке его увидели бы в списке процессов).\n"
        "Отправляются только новые и изменившиеся файлы, index.html последним; что отправлено,\n"
        "записывается в ВЫХОД/.korvel-upload.json только после успешной отправки всех файлов.\n"
        "Файлы, которых больше нет в папке, с сайта не удаляются, а перечисляются.\n"
        "Данные только читаются.\n"
        "Код возврата 1 при ошибке, 2 при неверных параметрах.\n",
        &run};
    return c;
}

} // namespace cli
