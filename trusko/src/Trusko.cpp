#include "trusko/Trusko.h"

#include "trusko/Printing.h"

#include "tamsel/Dictionary.h"

#include <QWidget>

namespace trusko {

namespace {

/// Offers a report to the frame: run on the spot, with the frame as the dialogs' parent.
void offer(tamsel::Dictionary& dict, const QString& name,
           void (*print)(tamsel::Dictionary&, QWidget*)) {
    tamsel::Procedure p;
    p.kind = tamsel::Procedure::Direct;
    p.singleInstance = false;
    p.wantsRefresh = false;
    p.start = [print](tamsel::Dictionary& d, const tamsel::ProcedureCall& call) -> QObject* {
        print(d, qobject_cast<QWidget*>(call.frame));
        return nullptr;
    };
    dict.procedures.add(name, std::move(p));
}

} // namespace

void Init(tamsel::Dictionary& dict, tamsel::ErrorReporter*, tamsel::IniFile*) {
    dict.libraryLog << QStringLiteral("init:trusko");
    offer(dict, QStringLiteral("PrintTeacherSchedule"), &PrintTeacherSchedule);
    offer(dict, QStringLiteral("PrintGroupSchedule"), &PrintGroupSchedule);
    offer(dict, QStringLiteral("PrintRoomSchedule"), &PrintRoomSchedule);
    offer(dict, QStringLiteral("PrintTrainingCourse"), &PrintTrainingCourse);
    offer(dict, QStringLiteral("PrintTeacherLoad"), &PrintTeacherLoad);
    offer(dict, QStringLiteral("PrintBriefSchedule"), &PrintBriefSchedule);
    offer(dict, QStringLiteral("PrinterSetup"),
          [](tamsel::Dictionary&, QWidget* parent) { PrinterSetup(parent); });
}

void Kill(tamsel::Dictionary& dict) {
    ReleaseReportPrinter();
    dict.libraryLog << QStringLiteral("kill:trusko");
}

} // namespace trusko
