// korvel-cli compare: what changed between a timetable of the archive and the current one (or a
// second archived one), printed and optionally as PDF, a web page and CSV.

#include "Args.h"
#include "Command.h"
#include "ConsolePorts.h"
#include "DataFiles.h"

#include "hestor/CompareSchedules.h"
#include "tamsel/Dictionary.h"
#include "trusko/ReportRenderer.h"

#include <QDir>

namespace cli {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

int run(const QStringList& argv, Console& io) {
    Args args(argv, {u("archive"), u("with"), u("by"), u("pdf"), u("html"), u("csv")});
    QString problem = args.error();
    if (problem.isEmpty()) problem = args.oneFolder();
    if (problem.isEmpty() && args.value(u("archive")).trimmed().isEmpty())
        problem = u("не указано расписание из архива (--archive \"описание\")");
    const QString by = args.value(u("by"), u("group"));
    if (problem.isEmpty() && by != u("group") && by != u("teacher"))
        problem = u("--by: group или teacher, а не «%1»").arg(by);
    for (const char* option : {"pdf", "html", "csv"})
        if (problem.isEmpty() && args.has(u(option)) && args.value(u(option)).isEmpty())
            problem = u("не указан файл --%1").arg(u(option));
    if (!problem.isEmpty()) {
        io.err << u("korvel-cli compare: ") << problem
               << u("\nСправка: korvel-cli compare --help\n");
        return BadUsage;
    }
    const QString dir = QDir(args.positional.first()).absolutePath();
    // Reading only: no writing lock, so a comparison runs beside the program.
    const auto school = openForReading(io.err, "compare", dir, u("сравнение не выполнено"));
    if (!school) return Failure;
    tamsel::Dictionary& dict = school->dict;
    // Every file is judged before any work: a refusal writes nothing.
    QString pdf, html, csv;
    for (auto [option, path] :
         {std::pair{"pdf", &pdf}, std::pair{"html", &html}, std::pair{"csv", &csv}}) {
        if (!args.has(u(option))) continue;
        *path = outputPath(io.err, "compare", dict, args.value(u(option)));
        if (path->isEmpty()) return Failure;
    }
    const hestor::ScheduleComparison c =
        hestor::CompareSchedules(dict, args.value(u("archive")), args.value(u("with")));
    if (!c.ok) {
        io.err << u("korvel-cli compare: сравнение не выполнено: ") << c.error << '\n';
        return Failure;
    }
    const hestor::ChangesBy changesBy =
        by == u("teacher") ? hestor::ChangesBy::Teacher : hestor::ChangesBy::Group;
    for (const QString& line : hestor::ComparisonLines(c, changesBy))
        io.out << line << '\n';
    io.out.flush();
    if (!pdf.isEmpty()) {
        const trusko::ReportDocument doc = hestor::ComparisonReport(c, changesBy);
        QString error;
        if (!trusko::writeReportsPdf({&doc}, pdf, &error)) {
            io.err << u("korvel-cli compare: ") << error << '\n';
            return Failure;
        }
        io.out << u("Отчёт записан: %1\n").arg(QDir::toNativeSeparators(pdf));
    }
    for (auto [format, path] : {std::pair{hestor::ComparisonFile::Html, html},
                                std::pair{hestor::ComparisonFile::Csv, csv}}) {
        if (path.isEmpty()) continue;
        if (const QString error = hestor::SaveComparison(dict, c, changesBy, format, path);
            !error.isEmpty()) {
            io.err << u("korvel-cli compare: ") << error << '\n';
            return Failure;
        }
        io.out << u("Файл записан: %1\n").arg(QDir::toNativeSeparators(path));
    }
    return Success;
}

} // namespace

const Command& compareCommand() {
    static const Command c{
        "compare", "сравнить расписание из архива с текущим или с другим из архива",
        "Использование: korvel-cli compare ПАПКА --archive \"ОПИСАНИЕ\" [--with \"ОПИСАНИЕ2\"]\n"
        "                                  [--by group|teacher] [--pdf ФАЙЛ] [--html ФАЙЛ]\n"
        "                                  [--csv ФАЙЛ]\n"
        "Сравнивает расписание, сохранённое в архиве под кратким описанием (korvel-cli archive\n"
        "list), с текущим или, с --with, с другим расписанием из архива. Уроки сравниваются по\n"
        "виду (пункт плана, группа, подгруппа, учитель, предмет, связь), а не по записям.\n"
        "Печатает по группам (--by group, по умолчанию) или по учителям (--by teacher), что\n"
        "перемещено, где сменился кабинет, что добавлено и что снято, по неделям, дням и урокам,\n"
        "и итог «Итог: перемещено: N, сменили кабинет: R, добавлено: A, снято: D.» или\n"
        "«Расписания совпадают.». С --pdf пишет отчёт в PDF, с --html — веб-страницу, с --csv —\n"
        "таблицу (разделитель «;», UTF-8 с BOM). Папка только читается.\n"
        "Код возврата 0 — сравнение выполнено, 1 — ошибка (описания нет в архиве, архивная\n"
        "копия повреждена, папка не школы), 2 — неверные параметры.\n",
        &run};
    return c;
}

} // namespace cli
