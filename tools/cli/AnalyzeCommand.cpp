// korvel-cli analyze: the quality of the placed timetable (windows, uneven days, repeated
// subjects), printed and optionally as PDF and CSV.

#include "Args.h"
#include "Command.h"
#include "ConsolePorts.h"
#include "DataFiles.h"

#include "pivrel/engine/Engine.h"
#include "trusko/ReportRenderer.h"
#include "trusko/TimetableQuality.h"

#include "tamsel/Dictionary.h"

#include <QDir>
#include <QSaveFile>
#include <algorithm>

namespace cli {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

int run(const QStringList& argv, Console& io) {
    Args args(argv, {u("teacher"), u("group"), u("pdf"), u("csv")});
    QString problem = args.error();
    if (problem.isEmpty()) problem = args.oneFolder();
    short kind = pivrel::TaskKind::All;
    qint64 code = 0;
    if (problem.isEmpty() && args.has(u("teacher")) && args.has(u("group")))
        problem = u("укажите не больше одного из --teacher, --group");
    if (const QString scope = args.taskScope(&kind, &code); problem.isEmpty()) problem = scope;
    for (const QString& option : {u("pdf"), u("csv")})
        if (problem.isEmpty() && args.has(option) && args.value(option).isEmpty())
            problem = u("не указан файл --%1").arg(option);
    if (!problem.isEmpty()) {
        io.err << u("korvel-cli analyze: ") << problem
               << u("\nСправка: korvel-cli analyze --help\n");
        return BadUsage;
    }
    const QString dir = QDir(args.positional.first()).absolutePath();
    // Reading only: no writing lock, so an analysis runs beside the program.
    const auto school = openForReading(io.err, "analyze", dir, u("анализ не выполнен"));
    if (!school) return Failure;
    tamsel::Dictionary& dict = school->dict;
    QString pdf, csv;
    if (args.has(u("pdf")) &&
        (pdf = outputPath(io.err, "analyze", dict, args.value(u("pdf")))).isEmpty())
        return Failure;
    if (args.has(u("csv")) &&
        (csv = outputPath(io.err, "analyze", dict, args.value(u("csv")))).isEmpty())
        return Failure;

    trusko::PlacedTimetable placed;
    if (!trusko::ReadPlacedTimetable(dict, &placed)) {
        io.err << u("korvel-cli analyze: анализ не выполнен: данные не удалось прочитать.\n");
        return Failure;
    }
    trusko::TimetableQuality q = trusko::AnalyseTimetable(placed);
    if (kind != pivrel::TaskKind::All) {
        const bool teacher = kind == pivrel::TaskKind::Teacher;
        const auto& list = teacher ? placed.teachers : placed.groups;
        if (std::none_of(list.begin(), list.end(),
                         [&](const trusko::TimetableObject& o) { return o.code == code; })) {
            io.err << u("korvel-cli analyze: %1 с кодом %2 нет.\n")
                          .arg(teacher ? u("учителя") : u("учебной группы"))
                          .arg(code);
            return Failure;
        }
        q = q.only(teacher ? tamsel::ObjectType::Teacher : tamsel::ObjectType::Group, code);
    }
    for (const QString& line : trusko::timetableQualityLines(q))
        io.out << line << '\n';
    io.out.flush();
    if (!pdf.isEmpty()) {
        const std::vector<trusko::ReportDocument> docs = trusko::timetableQualityReport(q);
        std::vector<const trusko::ReportDocument*> pages;
        for (const auto& d : docs)
            pages.push_back(&d);
        QString error;
        if (!trusko::writeReportsPdf(pages, pdf, &error)) {
            io.err << u("korvel-cli analyze: ") << error << '\n';
            return Failure;
        }
        io.out << u("Отчёт записан: %1\n").arg(QDir::toNativeSeparators(pdf));
    }
    if (!csv.isEmpty()) {
        QSaveFile file(csv);
        if (!file.open(QIODevice::WriteOnly) || file.write(trusko::timetableQualityCsv(q)) < 0 ||
            !file.commit()) {
            io.err << u("korvel-cli analyze: файл «%1» не записан: %2\n")
                          .arg(QDir::toNativeSeparators(csv), file.errorString());
            return Failure;
        }
        io.out << u("Таблица записана: %1\n").arg(QDir::toNativeSeparators(csv));
    }
    return Success;
}

} // namespace

const Command& analyzeCommand() {
    static const Command c{
        "analyze", "анализ расписания: окна, неравномерные дни, повторы предметов",
        "Использование: korvel-cli analyze ПАПКА [--teacher КОД | --group КОД] [--pdf ФАЙЛ]\n"
        "                                  [--csv ФАЙЛ]\n"
        "Печатает, чем неудобно расставленное расписание: окна учителей и групп (свободные\n"
        "уроки между первым и последним уроком дня), группы, у которых самый загруженный и\n"
        "самый лёгкий учебный день различаются на 3 урока и больше, предметы, стоящие у группы\n"
        "в день больше одного раза (сдвоенный урок — два урока подряд — отдельно от повтора),\n"
        "и итоговую строку. С --teacher или --group — только об этом учителе или группе;\n"
        "с --pdf отчёт пишется в файл PDF, с --csv таблицы — в файл CSV (UTF-8, «;»).\n"
        "Папка только читается. Код возврата 0 — анализ выполнен, 1 — ошибка,\n"
        "2 — неверные параметры.\n",
        &run};
    return c;
}

} // namespace cli
