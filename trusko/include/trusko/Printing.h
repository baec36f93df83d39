#pragma once

// The print entries of the reports library, called directly on the frame's thread (menu
// "Документы" → "Печать"), from the timetable grids and from the editing windows. Each builds
// its report with the dictionary's progress port (cancel stops it) and shows the print
// preview, from which the user prints or saves a PDF; batch printing goes to the printer
// without a preview.

#include "tamsel/Records.h"

#include <vector>

class QPrinter;
class QWidget;

namespace tamsel {
class Dictionary;
}

namespace trusko {

struct ReportDocument;

/// The timetable of one teacher (kind 4), group (1) or room (2). `batch` nonzero: no progress
/// window and no preview, straight to the printer.
void PrintObjectSchedule(tamsel::Dictionary& dict, tamsel::Short objectKind,
                         tamsel::Long objectCode, tamsel::Short batch, QWidget* parent = nullptr);

/// The timetables of all teachers, all groups, all rooms: one print job, each timetable on
/// pages of its own, sent to the printer with the batch progress window.
void PrintTeacherSchedule(tamsel::Dictionary& dict, QWidget* parent = nullptr);
void PrintGroupSchedule(tamsel::Dictionary& dict, QWidget* parent = nullptr);
void PrintRoomSchedule(tamsel::Dictionary& dict, QWidget* parent = nullptr);

/// The summary reports, each into the print preview.
void PrintBriefSchedule(tamsel::Dictionary& dict, QWidget* parent = nullptr);
void PrintTrainingCourse(tamsel::Dictionary& dict, QWidget* parent = nullptr);
void PrintTeacherLoad(tamsel::Dictionary& dict, QWidget* parent = nullptr);

/// "&Принтер...": the standard printer set-up dialog; the choice holds for every later report.
void PrinterSetup(QWidget* parent = nullptr);

/// The printer every report goes to (created on first use, released by trusko::Kill).
QPrinter& ReportPrinter();
/// Releases the printer; called by trusko::Kill.
void ReleaseReportPrinter();
/// Sends printing to a PDF file the user named (what "Печать в файл" of the printer set-up
/// does). Output to a file that nobody named is never used: printing opens the preview then.
void ChooseReportFile(const QString& file);

/// Shows documents in the print preview (modal); `procedure` names the settings section that
/// keeps the window's place.
void PreviewReports(tamsel::Dictionary& dict, const std::vector<const ReportDocument*>& docs,
                    const QString& procedure, QWidget* parent = nullptr);

/// Sends documents to the report printer without a preview; when no printer can be used the
/// preview opens instead, so the user can still save a PDF. False when nothing was printed.
bool PrintReportsDirect(tamsel::Dictionary& dict, const std::vector<const ReportDocument*>& docs,
                        const QString& procedure, QWidget* parent = nullptr);

} // namespace trusko
