#pragma once

#include "trusko/Report.h"

#include <QDialog>
#include <vector>

class QLabel;
class QPrinter;
class QPrintPreviewWidget;

namespace tamsel {
class Dictionary;
}

namespace trusko {

/// The print preview of one or more reports: pages as they will print, with printing,
/// saving as PDF or as an Excel workbook, page navigation and zoom.
class ReportPreview : public QDialog {
    Q_OBJECT
public:
    ReportPreview(tamsel::Dictionary& dict, std::vector<const ReportDocument*> docs,
                  QString procedure, QPrinter& printer, QWidget* parent = nullptr);
    ~ReportPreview() override;

    /// Prints through the printer dialog; false when cancelled or failed.
    bool print();
    /// Saves a PDF under `fileName`; false with a message on failure.
    bool savePdf(const QString& fileName);
    /// Saves the documents as a workbook under `fileName`; false with a message on failure.
    bool saveXlsx(const QString& fileName);

private:
    void updatePageLabel();
    /// The caption and object as a file name in the working folder, with `suffix` (".pdf").
    QString suggestedFileName(const QString& suffix) const;
    void askAndSave(bool workbook);

    tamsel::Dictionary& dict_;
    std::vector<const ReportDocument*> docs_;
    QString procedure_;
    QPrinter& printer_;
    QPrintPreviewWidget* view_ = nullptr;
    QLabel* pageLabel_ = nullptr;
};

} // namespace trusko
