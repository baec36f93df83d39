#pragma once

#include "trusko/Report.h"

#include <QPageLayout>
#include <QString>
#include <vector>

class QPagedPaintDevice;

namespace trusko {

/// The page of every report: A4 landscape with 12 mm margins.
QPageLayout reportPageLayout();

/// Lays reports out on the pages of a printer or PDF writer and paints them: the page header
/// with the caption, the object and the approval block, the ruled table with its column
/// headers repeated on every page, bands, detail and total rows, and a footer with the page
/// number. Every document and every column set starts on a new page. The device's page
/// layout is taken as it is (set reportPageLayout() on it first for the standard page).
/// Needs a QGuiApplication (fonts). Returns the number of pages painted, 0 when the device
/// could not be painted on.
int renderReports(const std::vector<const ReportDocument*>& docs, QPagedPaintDevice& device);

/// Writes reports into a PDF file (A4 landscape). False with a message when the file cannot
/// be written.
bool writeReportsPdf(const std::vector<const ReportDocument*>& docs, const QString& fileName,
                     QString* error = nullptr);

} // namespace trusko
