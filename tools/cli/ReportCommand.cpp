// korvel-cli report: any printed report of a data folder into a PDF file, without a display.

#include "Args.h"
#include "Command.h"
#include "ConsolePorts.h"
#include "DataFiles.h"

#include "trusko/ReportPdf.h"

#include "tamsel/Dictionary.h"

#include <QDir>
#include <QFileInfo>

namespace cli {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

int run(const QStringList& argv, Console& io) {
    Args args(argv, {QStringLiteral("object"), QStringLiteral("pdf")});
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
    if (problem.isEmpty() && args.value(QStringLiteral("pdf")).isEmpty())
        problem = u("не указан файл --pdf");
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
    const QString pdf = QFileInfo(args.value(QStringLiteral("pdf"))).absoluteFilePath();
    QString error;
    if (!trusko::WriteReportPdf(dict, *kind, code, pdf, &error)) {
        io.err << u("korvel-cli report: ") << error << '\n';
        return Failure;
    }
    io.out << u("Отчёт записан: %1\n").arg(QDir::toNativeSeparators(pdf));
    return Success;
}

} // namespace

const Command& reportCommand() {
    static const Command c{
        "report", "напечатать отчёт в файл PDF",
        "Использование: korvel-cli report ВИД [--object КОД] ПАПКА --pdf ФАЙЛ\n"
        "Печатает отчёт по данным папки в файл PDF (A4, альбомная ориентация); дисплей не нужен.\n"
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
