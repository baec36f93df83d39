#include "TestSchool.h"

#include "trusko/Printing.h"
#include "trusko/ReportBuilders.h"
#include "trusko/ReportPdf.h"
#include "trusko/ReportRenderer.h"
#include "trusko/ReportXlsx.h"
#include "trusko/Trusko.h"

#include "../src/ReportPreview.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

using namespace trusko;
using namespace trusko::test;

namespace {

void ensureApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "trusko_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv); // the preview is a window
}

/// The text of a PDF as pdftotext reads it; layout kept so that cells stay recognisable.
QString pdfText(const QString& file) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

/// Whether a button of this name is in the accessibility tree under `node`.
bool accessibleButton(QAccessibleInterface* node, const QString& name) {
    if (!node) return false;
    if (node->role() == QAccessible::Button && node->text(QAccessible::Name) == name) return true;
    for (int i = 0; i < node->childCount(); ++i)
        if (accessibleButton(node->child(i), name)) return true;
    return false;
}

int pdfPages(const QString& text) {
    return static_cast<int>(text.count(QChar('\f')));
}

/// A week of a small real school: two classes, subgroups, a lecture.
struct SampleSchool : TestSchool {
    Short g5a, g5b;
    SampleSchool() {
        days(6);
        bells(6);
        g5a = group("5", "А");
        g5b = group("5", "Б");
        const Short rus = science("Русский язык"), math = science("Математика"),
                    eng = science("Английский язык"), hist = science("История");
        const Short t1 = teacher("Иванова М.П."), t2 = teacher("Сидоров А.В."),
                    t3 = teacher("Смирнова О.В."), t4 = teacher("Кузнецов П.Р.");
        const Long r1 = room("101"), r2 = room("102"), r3 = room("215"), hall = room("Акт.зал");
        for (Short d = 1; d <= 6; ++d) {
            lesson(1, d, "1", rus, t1, g5a, 0, r1);
            lesson(1, d, "2", math, t2, g5a, 0, r2);
            lesson(1, d, "1", math, t2, g5b, 0, r2);
            lesson(1, d, "2", rus, t1, g5b, 0, r1);
        }
        lesson(1, 3, "3", eng, t3, g5a, 1, r3);
        lesson(1, 3, "3", eng, t4, g5a, 2, r1);
        lesson(1, 5, "4", hist, t2, g5a, 0, hall);
        lesson(1, 5, "4", hist, t2, g5b, 0, hall);
    }
};

} // namespace

TEST(Rendering, GroupTimetablePdfHoldsTheGroupItsSubjectsTeachersAndApproval) {
    ensureApplication();
    SampleSchool s;
    const QString pdf = s.folder.file("5-А.pdf");
    QString error;
    ASSERT_TRUE(WriteReportPdf(s.dict(), ReportKind::Group, s.g5a, pdf, &error))
        << error.toStdString();
    const QString text = pdfText(pdf);
    ASSERT_FALSE(text.isEmpty()) << "pdftotext could not read the PDF";
    for (const char* expected :
         {"Расписание уроков", "5-А", "\"Утверждаю\"", "20__ г.", "Понедельник", "Суббота",
          "Русский язык", "Математика", "Английский язык", "История", "Иванова М.П.",
          "Сидоров А.В.", "Смирнова О.В.", "Кузнецов П.Р.", "5-А/1", "5-А/2", "Акт.зал",
          "08:30–09:15", "Страница 1 из 1"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    EXPECT_FALSE(text.contains(QStringLiteral("5-Б")));
    EXPECT_EQ(pdfPages(text), 1);

    // Every group, in one file, each on a page of its own; the summary reports too.
    ASSERT_TRUE(WriteReportPdf(s.dict(), ReportKind::Group, std::nullopt, pdf, &error));
    EXPECT_EQ(pdfPages(pdfText(pdf)), 2);
    for (ReportKind kind : {ReportKind::Brief, ReportKind::Plan, ReportKind::Load,
                            ReportKind::Teacher, ReportKind::Room})
        EXPECT_TRUE(WriteReportPdf(s.dict(), kind, std::nullopt, pdf, &error))
            << error.toStdString();

    // Refusals come back as messages and leave the last good file alone.
    EXPECT_FALSE(WriteReportPdf(s.dict(), ReportKind::Group, 999, pdf, &error));
    EXPECT_EQ(error, "Объект с кодом 999 не найден");
    EXPECT_FALSE(WriteReportPdf(s.dict(), ReportKind::Plan, 1, pdf, &error));
    EXPECT_FALSE(WriteReportPdf(s.dict(), ReportKind::Group, s.g5a,
                                s.folder.file("missing/folder/x.pdf"), &error));
    EXPECT_TRUE(error.startsWith("Не удалось создать файл")) << error.toStdString();
    EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("Кабинет № 101")));
}

TEST(Rendering, LongReportsRunOnOverPagesAndBatchPrintingMakesOneJob) {
    ensureApplication();
    SampleSchool s;
    s.glo().WeeksInCycle = 3; // three week sections do not fit one landscape page
    const ReportDocument doc = BuildObjectSchedule(s.dict(), ObjectType::Group, s.g5a, nullptr);
    const QString pdf = s.folder.file("three-weeks.pdf");
    ASSERT_TRUE(writeReportsPdf({&doc}, pdf));
    const QString text = pdfText(pdf);
    EXPECT_GE(pdfPages(text), 2);
    EXPECT_TRUE(text.contains(QStringLiteral("3-я неделя")));
    for (int page = 1; page <= pdfPages(text); ++page)
        EXPECT_TRUE(
            text.contains(QStringLiteral("Страница %1 из %2").arg(page).arg(pdfPages(text))))
            << page;
    // Every page repeats the header and the column headers.
    EXPECT_EQ(text.count(QStringLiteral("Расписание уроков")), pdfPages(text) * 2); // + footer
    EXPECT_EQ(text.count(QStringLiteral("Понедельник")), pdfPages(text));

    // The batch report sends every group's timetable to the printer in one job.
    s.glo().WeeksInCycle = 1;
    const QString job = s.folder.file("printer.pdf");
    ChooseReportFile(job);
    PrintGroupSchedule(s.dict());
    ReleaseReportPrinter();
    const QString printed = pdfText(job);
    EXPECT_EQ(pdfPages(printed), 2);
    EXPECT_TRUE(printed.contains(QStringLiteral("5-Б")));
    EXPECT_TRUE(s.folder.ui.shown.isEmpty());
}

TEST(Rendering, PreviewShowsThePagesAndSavesThemAsPdf) {
    ensureApplication();
    SampleSchool s;
    s.glo().WeeksInCycle = 3;
    const ReportDocument doc = BuildObjectSchedule(s.dict(), ObjectType::Group, s.g5b, nullptr);
    {
        ReportPreview preview(s.dict(), {&doc}, QStringLiteral("PrintObjectSchedule"),
                              ReportPrinter());
        preview.show();
        QApplication::processEvents();
        auto* view = preview.findChild<QPrintPreviewWidget*>();
        ASSERT_NE(view, nullptr);
        EXPECT_GE(view->pageCount(), 2);
        EXPECT_EQ(preview.windowTitle(), "Предварительный просмотр — Расписание уроков: 5-Б");
        QStringList actions;
        for (QAction* a : preview.findChild<QToolBar*>()->actions())
            if (!a->text().isEmpty()) actions << a->text();
        EXPECT_TRUE(actions.contains("Печать...") && actions.contains("Сохранить в PDF..."));
        bool labelled = false;
        for (QLabel* l : preview.findChildren<QLabel*>())
            labelled |= l->text() == QStringLiteral("Страница 1 из %1").arg(view->pageCount());
        EXPECT_TRUE(labelled);

        const QString pdf = s.folder.file("saved.pdf");
        ASSERT_TRUE(preview.savePdf(pdf));
        EXPECT_EQ(pdfPages(pdfText(pdf)), view->pageCount());

        // The workbook beside it: a screen reader finds its button (Qt drops the dots).
        EXPECT_TRUE(accessibleButton(QAccessible::queryAccessibleInterface(&preview),
                                     QStringLiteral("Сохранить в Excel")));
        const QString xlsx = s.folder.file("saved.xlsx");
        ASSERT_TRUE(preview.saveXlsx(xlsx));
        QFile book(xlsx);
        ASSERT_TRUE(book.open(QIODevice::ReadOnly));
        const QByteArray bytes = book.readAll();
        book.close();
        EXPECT_TRUE(bytes.startsWith("PK")); // a zip, as every workbook
        // A stopped report or a folder that is not there writes nothing, and says so.
        ReportDocument stopped;
        stopped.caption = QStringLiteral("Учебный план");
        stopped.cancelled = true;
        QString error;
        EXPECT_FALSE(saveReportsXlsx({&stopped}, xlsx, &error));
        EXPECT_TRUE(error.endsWith("не записан: построение отчёта прервано")) << error.toStdString();
        EXPECT_FALSE(saveReportsXlsx({&doc}, s.folder.file("missing/x.xlsx"), &error));
        EXPECT_TRUE(error.startsWith("Не удалось создать файл") && error.contains("x.xlsx"));
        ASSERT_TRUE(book.open(QIODevice::ReadOnly));
        EXPECT_EQ(book.readAll(), bytes); // the earlier workbook is left alone
    }
    // The window's place is kept under the procedure's name.
    EXPECT_TRUE(tamsel::loadWindowPlace(s.dict().settings(), "PrintObjectSchedule").found);
    ReleaseReportPrinter();
}

TEST(Rendering, BatchWithoutAPrinterOpensThePreviewAndWritesNoFile) {
    ensureApplication();
    SampleSchool s;
    // What Qt offers on a machine without printers: output to a file nobody named.
    const QString unnamed = s.folder.file("print.pdf");
    ReportPrinter().setOutputFormat(QPrinter::PdfFormat);
    ReportPrinter().setOutputFileName(unnamed);
    int pages = -1;
    QTimer::singleShot(0, [&] {
        // The preview of the whole batch is the modal window now.
        if (auto* preview = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            if (auto* view = preview->findChild<QPrintPreviewWidget*>()) pages = view->pageCount();
            preview->reject();
        }
    });
    PrintGroupSchedule(s.dict());
    ReleaseReportPrinter();
    EXPECT_GE(pages, 2) << "every group's timetable is in the preview";
    EXPECT_FALSE(QFileInfo::exists(unnamed));
    ASSERT_FALSE(s.folder.ui.shown.isEmpty());
    EXPECT_TRUE(s.folder.ui.last().contains(QStringLiteral("Документ открыт в окне просмотра")));
}

TEST(Library, InitOffersEveryPrintProcedureToTheFrame) {
    ensureApplication();
    tamsel::TestFolder folder;
    trusko::Init(folder.dict(), nullptr, nullptr);
    for (const char* name :
         {"PrintTeacherSchedule", "PrintGroupSchedule", "PrintRoomSchedule", "PrintTrainingCourse",
          "PrintTeacherLoad", "PrintBriefSchedule", "PrinterSetup"}) {
        const tamsel::Procedure* p = folder.dict().procedures.find(QString::fromLatin1(name));
        ASSERT_NE(p, nullptr) << name;
        EXPECT_EQ(p->kind, tamsel::Procedure::Direct) << name;
    }
    // Run from the menu on an empty school: the batch report says so instead of printing.
    folder.dict().procedures.find(QStringLiteral("PrintGroupSchedule"))->start(folder.dict(), {});
    EXPECT_EQ(folder.ui.last(), "Список учебных групп пуст: печатать нечего.");
    trusko::Kill(folder.dict());
}
