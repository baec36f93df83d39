// korvel-cli check: the check of the data before a placement, printed and optionally as PDF.

#include "Args.h"
#include "Command.h"
#include "ConsolePorts.h"
#include "DataFiles.h"

#include "pivrel/engine/AutoPlacement.h"
#include "pivrel/engine/PlacementCheck.h"
#include "pivrel/engine/PlacementSuggestions.h"
#include "trusko/Report.h"
#include "trusko/ReportRenderer.h"

#include "tamsel/Dictionary.h"

#include <QDir>

namespace cli {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

int run(const QStringList& argv, Console& io) {
    Args args(argv, {u("teacher"), u("group"), u("subject"), u("pdf")});
    QString problem = args.error();
    if (problem.isEmpty()) problem = args.oneFolder();
    short kind = pivrel::TaskKind::All;
    qint64 code = 0;
    if (const QString scope = args.taskScope(&kind, &code); problem.isEmpty()) problem = scope;
    if (problem.isEmpty() && args.has(u("pdf")) && args.value(u("pdf")).isEmpty())
        problem = u("не указан файл --pdf");
    if (!problem.isEmpty()) {
        io.err << u("korvel-cli check: ") << problem << u("\nСправка: korvel-cli check --help\n");
        return BadUsage;
    }
    const QString dir = QDir(args.positional.first()).absolutePath();
    // Reading only: no writing lock, so a check runs beside the program.
    const auto school = openForReading(io.err, "check", dir, u("проверка не выполнена"));
    if (!school) return Failure;
    tamsel::Dictionary& dict = school->dict;
    QString pdf;
    if (args.has(u("pdf"))) {
        pdf = outputPath(io.err, "check", dict, args.value(u("pdf")));
        if (pdf.isEmpty()) return Failure;
    }
    const pivrel::PlacementCheckResult r =
        pivrel::CheckPlacementData(dict, kind, static_cast<short>(code));
    if (!r.ok) {
        io.err << u("korvel-cli check: проверка не выполнена: данные не удалось прочитать.\n");
        return Failure;
    }
    for (const QString& line : pivrel::placementCheckLines(r))
        io.out << line << '\n';
    // The lessons that a change of one lesson, room list or forbidden time would let in.
    const std::vector<pivrel::SuggestedLesson> suggested =
        pivrel::SuggestForUnplaced(dict, kind, static_cast<short>(code));
    for (const pivrel::SuggestedLesson& l : suggested) {
        io.out << '\n' << l.name << '\n';
        for (const QString& line : pivrel::suggestionLines(l.suggestions))
            io.out << line << '\n';
    }
    io.out.flush();
    if (!pdf.isEmpty()) {
        const trusko::ReportDocument doc = pivrel::placementCheckReport(r);
        QString error;
        if (!trusko::writeReportsPdf({&doc}, pdf, &error)) {
            io.err << u("korvel-cli check: ") << error << '\n';
            return Failure;
        }
        io.out << u("Отчёт записан: %1\n").arg(QDir::toNativeSeparators(pdf));
    }
    if (r.impossible() > 0) {
        io.err << u("korvel-cli check: расставить все уроки невозможно: %1.\n")
                      .arg(r.findings.front().text);
        return Impossible;
    }
    return Success;
}

} // namespace

const Command& checkCommand() {
    static const Command c{
        "check", "проверка данных для расстановки",
        "Использование: korvel-cli check ПАПКА [--teacher КОД | --group КОД | --subject КОД]\n"
        "                                [--pdf ФАЙЛ]\n"
        "Ничего не расставляя, считает часы нерасставленных уроков учителей, групп, подгрупп,\n"
        "связей и групп кабинетов против клеток, куда их пустили бы правила расстановки, и\n"
        "печатает найденное: «невозможно» — когда счёт доказывает, что все уроки не расставить,\n"
        "«тесно» — когда свободных клеток почти не остаётся. С --teacher, --group, --subject\n"
        "печатается только то, что касается этого объекта; с --pdf отчёт пишется в файл PDF.\n"
        "Для уроков, которым не хватает клеток, печатается «Что можно сделать:» — проверенные\n"
        "изменения: переставить мешающий урок, добавить кабинет в список, снять запрет.\n"
        "Папка только читается. Код возврата 0 — невозможного не найдено, 3 — найдено,\n"
        "1 — ошибка, 2 — неверные параметры.\n",
        &run};
    return c;
}

} // namespace cli
