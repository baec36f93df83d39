// korvel-cli publish: web pages, calendars, a workbook and CSV of a data folder's timetable.

#include "Args.h"
#include "Command.h"
#include "ConsolePorts.h"
#include "DataFiles.h"

#include "hestor/PublishSchedule.h"
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
    Args args(argv, {QStringLiteral("formats"), QStringLiteral("from"), QStringLiteral("to")});
    QString problem = args.error();
    if (problem.isEmpty() && args.positional.size() != 2)
        problem = args.positional.size() < 2 ? u("нужны папка данных и папка публикации")
                                             : u("лишние параметры");
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
    options.outDir = QDir(args.positional[1]).absolutePath();
    tamsel::SilentProgress progress;
    const hestor::PublishResult r = hestor::PublishSchedule(dict, options, progress);
    if (!r.ok) {
        io.err << u("korvel-cli publish: ") << r.error << '\n';
        return Failure;
    }
    io.out << u("Расписание опубликовано:\n");
    for (const QString& line : r.written) io.out << "  " << line << '\n';
    return Success;
}

} // namespace

const Command& publishCommand() {
    static const Command c{
        "publish", "опубликовать расписание: HTML, iCalendar, xlsx, CSV",
        "Использование: korvel-cli publish ПАПКА ВЫХОД [--formats html,ics,csv,xlsx]\n"
        "                                  [--from ГГГГ-ММ-ДД --to ГГГГ-ММ-ДД]\n"
        "Записывает расписание папки данных в папку ВЫХОД (создаётся при необходимости):\n"
        "  html  index.html, страница каждого класса, учителя и кабинета и школы по дням;\n"
        "  ics   ics/*.ics — календарь каждого класса, учителя и кабинета по учебным дням;\n"
        "  csv   schedule.csv — урок на строку (разделитель «;», UTF-8 с BOM);\n"
        "  xlsx  schedule.xlsx — сводное расписание и лист каждого класса и учителя.\n"
        "Без --formats пишутся все четыре. Даты берутся из календаря учебного года (Настройка →\n"
        "Календарь учебного года) или из --from/--to; каникулы пропускаются. Без дат календари\n"
        "записать нельзя (выберите --formats без ics), а CSV содержит по строке на урок цикла.\n"
        "Данные только читаются.\n"
        "Код возврата 1 при ошибке, 2 при неверных параметрах.\n",
        &run};
    return c;
}

} // namespace cli
