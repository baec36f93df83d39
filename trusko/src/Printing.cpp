#include "trusko/Printing.h"

#include "ReportPreview.h"
#include "trusko/ReportBuilders.h"
#include "trusko/ReportRenderer.h"

#include "tamsel/Dictionary.h"
#include "tamsel/OutputPath.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace trusko {

using namespace tamsel;

namespace {

QPrinter* printer = nullptr;
/// A file the user named for printing in "&Принтер..."; without one, output to a file is
/// never taken as a printer (Qt offers ~/print.pdf on a machine without printers, and every
/// batch would silently overwrite it).
QString chosenFile;

std::vector<const ReportDocument*> pointersTo(const std::vector<ReportDocument>& docs) {
    std::vector<const ReportDocument*> out;
    for (const ReportDocument& d : docs)
        out.push_back(&d);
    return out;
}

/// A printer that can take a job: a chosen PDF file, or a real printer of the system.
bool printerUsable(const QPrinter& p) {
    if (p.outputFormat() == QPrinter::PdfFormat)
        return !p.outputFileName().isEmpty() && p.outputFileName() == chosenFile;
    return p.isValid() && !QPrinterInfo::availablePrinterNames().isEmpty();
}

QString jobName(const std::vector<const ReportDocument*>& docs) {
    if (docs.empty()) return QStringLiteral("Korvel");
    QString name = docs.front()->caption;
    if (docs.size() == 1 && !docs.front()->title.trimmed().isEmpty())
        name += QStringLiteral(" — ") + docs.front()->title.trimmed();
    return name;
}

void previewOne(Dictionary& dict, const ReportDocument& doc, const QString& procedure,
                QWidget* parent) {
    if (!doc.printable()) return;
    PreviewReports(dict, {&doc}, procedure, parent);
}

void printAll(Dictionary& dict, Short kind, const QString& procedure, const QString& empty,
              QWidget* parent) {
    const std::vector<ReportDocument> docs = BuildAllObjectSchedules(dict, kind, &dict.progress());
    if (docs.empty()) {
        dict.ui().tell(QStringLiteral("Печать"), empty);
        return;
    }
    for (const ReportDocument& d : docs)
        if (!d.printable()) return; // cancelled, or a file could not be opened (already said)
    PrintReportsDirect(dict, pointersTo(docs), procedure, parent);
}

} // namespace

QPrinter& ReportPrinter() {
    if (!printer) {
        printer = new QPrinter(QPrinter::HighResolution);
        printer->setPageLayout(reportPageLayout());
    }
    return *printer;
}

void ReleaseReportPrinter() {
    delete printer;
    printer = nullptr;
    chosenFile.clear();
}

void ChooseReportFile(const QString& file) {
    ReportPrinter().setOutputFormat(QPrinter::PdfFormat);
    ReportPrinter().setOutputFileName(file);
    chosenFile = file;
}

void PrinterSetup(QWidget* parent) {
    QPrintDialog dialog(&ReportPrinter(), parent);
    dialog.setWindowTitle(QStringLiteral("Выбор и настройки принтера"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    if (dialog.exec() != QDialog::Accepted) return;
    const QPrinter& p = ReportPrinter();
    chosenFile = p.outputFormat() == QPrinter::PdfFormat ? p.outputFileName() : QString();
}

void PreviewReports(Dictionary& dict, const std::vector<const ReportDocument*>& docs,
                    const QString& procedure, QWidget* parent) {
    ReportPreview preview(dict, docs, procedure, ReportPrinter(), parent);
    preview.exec();
}

bool PrintReportsDirect(Dictionary& dict, const std::vector<const ReportDocument*>& docs,
                        const QString& procedure, QWidget* parent) {
    QPrinter& p = ReportPrinter();
    if (!printerUsable(p)) {
        dict.ui().tell(QStringLiteral("Печать"),
                       QStringLiteral("Принтер не выбран или недоступен.|Документ открыт в окне "
                                      "просмотра: его можно напечатать или сохранить в PDF."));
        PreviewReports(dict, docs, procedure, parent);
        return false;
    }
    if (p.outputFormat() == QPrinter::PdfFormat) {
        const QString refused = OutputPathRefusal(dict, p.outputFileName());
        if (!refused.isEmpty()) {
            dict.ui().tell(QStringLiteral("Печать"), refused);
            return false;
        }
    }
    p.setDocName(jobName(docs));
    if (renderReports(docs, p) == 0) {
        dict.ui().tell(QStringLiteral("Печать"),
                       QStringLiteral("Не удалось напечатать документ на принтере \"%1\".")
                           .arg(p.outputFormat() == QPrinter::PdfFormat ? p.outputFileName()
                                                                        : p.printerName()));
        return false;
    }
    return true;
}

void PrintObjectSchedule(Dictionary& dict, Short objectKind, Long objectCode, Short batch,
                         QWidget* parent) {
    const QString procedure = QStringLiteral("PrintObjectSchedule");
    if (batch) {
        const ReportDocument doc = BuildObjectSchedule(dict, objectKind, objectCode, nullptr);
        if (doc.printable()) PrintReportsDirect(dict, {&doc}, procedure, parent);
        return;
    }
    previewOne(dict, BuildObjectSchedule(dict, objectKind, objectCode, &dict.progress()), procedure,
               parent);
}

void PrintTeacherSchedule(Dictionary& dict, QWidget* parent) {
    printAll(dict, ObjectType::Teacher, QStringLiteral("PrintTeacherSchedule"),
             QStringLiteral("Список учителей пуст: печатать нечего."), parent);
}

void PrintGroupSchedule(Dictionary& dict, QWidget* parent) {
    printAll(dict, ObjectType::Group, QStringLiteral("PrintGroupSchedule"),
             QStringLiteral("Список учебных групп пуст: печатать нечего."), parent);
}

void PrintRoomSchedule(Dictionary& dict, QWidget* parent) {
    printAll(dict, ObjectType::Room, QStringLiteral("PrintRoomSchedule"),
             QStringLiteral("Список кабинетов пуст: печатать нечего."), parent);
}

void PrintBriefSchedule(Dictionary& dict, QWidget* parent) {
    previewOne(dict, BuildBriefSchedule(dict, &dict.progress()),
               QStringLiteral("PrintBriefSchedule"), parent);
}

void PrintTrainingCourse(Dictionary& dict, QWidget* parent) {
    previewOne(dict, BuildTrainingCourse(dict, &dict.progress()),
               QStringLiteral("PrintTrainingCourse"), parent);
}

void PrintTeacherLoad(Dictionary& dict, QWidget* parent) {
    previewOne(dict, BuildTeacherLoad(dict, &dict.progress()), QStringLiteral("PrintTeacherLoad"),
               parent);
}

} // namespace trusko
