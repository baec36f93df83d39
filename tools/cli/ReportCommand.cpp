// korvel-cli report: any printed report of a data folder into a PDF file or an Excel workbook,
// without a display.

#include "Args.h"
#include "Command.h"
#include "ConsolePorts.h"
#include "DataFiles.h"

#include "trusko/ReportPdf.h"
#include "trusko/ReportRenderer.h"
#include "trusko/ReportXlsx.h"

#include "tamsel/Dictionary.h"

#include <QDir>

namespace cli {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

int run(const QStringList& argv, Console& io) {
    Args args(argv, {QStringLiteral("object"), QStringLiteral("pdf"), QStringLiteral("xlsx")});
    QString problem = args.error();
    std::optional<trusko::ReportKind> kind;
    if (problem.isEmpty() && args.positional.size() != 2)
        problem = args.positional.size() < 2 ? u("нужны вид отчёта и папка данных")
                                             : u("лишние параметры");
    if (problem.isEmpty()) {
        kind = trusko::reportKindFromName(args.positional[0]);
        if (!kind)
            problem = u("неизвестный вид отчёта «%1» (возможны: %2)")
                          .arg(args.positional[0], trusko::reportKindNames().join(u(", ")));
    }
    for (const QString& option : {u("pdf"), u("xlsx")})
        if (problem.isEmpty() && args.has(option) && args.value(option).isEmpty())
            problem = u("не указан файл --%1").arg(option);
    if (problem.isEmpty() && !args.has(u("pdf")) && !args.has(u("xlsx")))
        problem = u("не указан файл --pdf или --xlsx");
    qint64 object = 0;
    if (problem.isEmpty() && args.has(QStringLiteral("object")) &&
        !args.integer(QStringLiteral("object"), 0, 1, 2147483647, &object))
        problem = args.error();
    if (!problem.isEmpty()) {
        io.err << u("korvel-cli report: ") << problem << u("\nСправка: korvel-cli report --help\n");
        return BadUsage;
    }
    const QString dir = QDir(args.positional[1]).absolutePath();
    const auto school = openForReading(io.err, "report", dir, u("отчёт не построен"));
    if (!school) return Failure;
    tamsel::Dictionary& dict = school->dict;
    std::optional<tamsel::Long> code;
    if (args.has(QStringLiteral("object"))) code = static_cast<tamsel::Long>(object);
    QString pdf, xlsx;
    if (args.has(u("pdf")) &&
        (pdf = outputPath(io.err, "report", dict, args.value(u("pdf")))).isEmpty())
        return Failure;
    if (args.has(u("xlsx")) &&
        (xlsx = outputPath(io.err, "report", dict, args.value(u("xlsx")))).isEmpty())
        return Failure;
    // Built once for both files, so the PDF and the workbook show the same data.
    std::vector<trusko::ReportDocument> docs;
    QString error;
    if (!trusko::BuildReportDocuments(dict, *kind, code, &docs, &error)) {
        io.err << u("korvel-cli report: ") << error << '\n';
        return Failure;
    }
    std::vector<const trusko::ReportDocument*> pointers;
    for (const trusko::ReportDocument& d : docs)
        pointers.push_back(&d);
    if (!pdf.isEmpty()) {
        if (!trusko::writeReportsPdf(pointers, pdf, &error)) {
            io.err << u("korvel-cli report: ") << error << '\n';
            return Failure;
        }
        io.out << u("Отчёт записан: %1\n").arg(QDir::toNativeSeparators(pdf));
    }
    if (!xlsx.isEmpty()) {
        if (!trusko::saveReportsXlsx(pointers, xlsx, &error)) {
            io.err << u("korvel-cli report: ") << error << '\n';
            return Failure;
        }
        io.out << u("Отчёт записан: %1\n").arg(QDir::toNativeSeparators(xlsx));
    }
    return Success;
}

} // namespace

const Command& reportCommand() {
    static const Command c{
        "report", "напечатать отчёт в файл PDF или книгу Excel",
        "Использование: korvel-cli report ВИД [--object КОД] ПАПКА [--pdf ФАЙЛ] [--xlsx ФАЙЛ]\n"
        "Печатает отчёт по данным папки в файл PDF (A4, альбомная ориентация) и/или записывает\n"
        "его книгой Excel (лист на каждый документ, ячейки с числами — числа); нужен хотя бы\n"
        "один из --pdf и --xlsx; дисплей не нужен.\n"
        "Виды отчётов:\n"
        "  teacher  расписание учителя (--object код учителя) или всех учителей\n"
        "  group    расписание учебной группы (--object код группы) или всех групп\n"
        "  room     загрузка кабинета (--object код кабинета) или всех кабинетов\n"
        "  brief    сводное расписание учителей\n"
        "  plan     учебный план\n"
        "  load     распределение нагрузки учителей\n"
        "Существующий файл заменяется только готовым документом. Код возврата 1 при ошибке.\n",
        &run};
    return c;
}

} // namespace cli
