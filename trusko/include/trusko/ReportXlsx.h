#pragma once

// Any report as an Excel workbook, for officers who go on working with it in a spreadsheet:
// one generic path from the documents the builders produce, so every report has it.

#include "trusko/Report.h"

#include <QSet>
#include <QString>
#include <vector>

namespace trusko {

/// A sheet name Excel takes: at most 31 characters, none of []:*?/\, not used before in
/// `used` (names compare without regard to case; the name is added to `used`).
QString xlsxSheetName(const QString& wanted, QSet<QString>& used);

/// The text of a report cell as a spreadsheet cell holds it: the fixed-width padding gone
/// (every line trimmed, a padded gap inside a line one blank), lines of a cell separated by
/// '\n', empty trailing lines dropped.
QString xlsxCellText(const QString& reportText);

/// Writes the documents into one workbook at `path`, a sheet per document (named after its
/// title, else its caption): caption and title on top, then each column set with a bold header
/// row, detail rows as cells (whole numbers as numbers, lines of a cell wrapped), bands merged
/// across the columns, total rows bold; A4 landscape, fit to the page width. An existing file
/// is replaced only by a complete workbook. A cancelled or failed document, or none at all,
/// is refused. False with a message naming the file and the cause in `error`.
bool saveReportsXlsx(const std::vector<const ReportDocument*>& docs, const QString& path,
                     QString* error = nullptr);

} // namespace trusko
