#pragma once

// Any report straight into a PDF file or a workbook, without a display: the entry of
// `korvel-cli report`.

#include "trusko/Report.h"

#include "tamsel/Records.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace tamsel {
class Dictionary;
}

namespace trusko {

enum class ReportKind { Teacher, Group, Room, Brief, Plan, Load };

/// "teacher", "group", "room", "brief", "plan", "load" (the plural "teachers" etc. too).
std::optional<ReportKind> reportKindFromName(const QString& name);
QStringList reportKindNames();

/// Builds the documents of the report of `kind` from the data files of `dict`. Teacher, group
/// and room reports print the one object `object` (its code), or every object of the kind when
/// it is absent; the summary reports take no object. Progress goes to the dictionary's progress
/// port. False with a message in `error` when the object is unknown, the files cannot be read or
/// the user stopped; `docs` then holds nothing to print.
bool BuildReportDocuments(tamsel::Dictionary& dict, ReportKind kind,
                          std::optional<tamsel::Long> object, std::vector<ReportDocument>* docs,
                          QString* error = nullptr);

/// Builds the report of `kind` from the data files of `dict` and writes it to `pdfFile`.
/// Teacher, group and room reports print the one object `object` (its code), or every object
/// of the kind when it is absent; the summary reports take no object. Progress goes to the
/// dictionary's progress port. False with a message in `error` on any failure; an existing
/// file is replaced only by a complete PDF. Needs a QGuiApplication.
bool WriteReportPdf(tamsel::Dictionary& dict, ReportKind kind, std::optional<tamsel::Long> object,
                    const QString& pdfFile, QString* error = nullptr);

} // namespace trusko
