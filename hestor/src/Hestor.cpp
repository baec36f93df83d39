#include "hestor/Hestor.h"

#include "hestor/ExportSchedule.h"
#include "hestor/windows/ArcSched.h"
#include "hestor/windows/CompareSchedulesWindow.h"
#include "hestor/windows/ExterierConfig.h"
#include "hestor/windows/ImportFromFet.h"
#include "hestor/windows/ImportFromLodra.h"
#include "hestor/windows/PublishScheduleWindow.h"
#include "hestor/windows/SubstitutionsWindow.h"
#include "hestor/windows/SchoolCalendarWindow.h"
#include "hestor/windows/ImportTables.h"
#include "tamsel/Dictionary.h"

#include <QDir>

namespace hestor {

void Init(tamsel::Dictionary& dict, tamsel::ErrorReporter*, tamsel::IniFile*) {
    dict.libraryLog << QStringLiteral("init:hestor");
    // "Экспорт расписания" of the service menu: runs on the spot with its progress window.
    tamsel::Procedure exportProcedure;
    exportProcedure.kind = tamsel::Procedure::Direct;
    exportProcedure.singleInstance = false;
    exportProcedure.wantsRefresh = false;
    exportProcedure.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall&) -> QObject* {
        if (ExportSchedule(d))
            d.ui().tell(QStringLiteral("Экспорт расписания"),
                        QStringLiteral("Расписание выгружено в файл %1.")
                            .arg(QDir::toNativeSeparators(ExportFileName(d))));
        return nullptr;
    };
    dict.procedures.add(QStringLiteral("ExportSchedule"), std::move(exportProcedure));

    tamsel::Procedure archive;
    archive.kind = tamsel::Procedure::Window;
    archive.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall&) -> QObject* {
        return new ArcSched(d);
    };
    dict.procedures.add(ArcSched::procedureName(), std::move(archive));

    // Reads only; refreshed so that a change of the lessons shows in the comparison at once.
    tamsel::Procedure compare;
    compare.kind = tamsel::Procedure::Window;
    compare.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall&) -> QObject* {
        return new CompareSchedulesWindow(d);
    };
    dict.procedures.add(CompareSchedulesWindow::procedureName(), std::move(compare));

    tamsel::Procedure appearance;
    appearance.kind = tamsel::Procedure::Window;
    appearance.wantsRefresh = false;
    appearance.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall&) -> QObject* {
        return new ExterierConfig(d);
    };
    dict.procedures.add(ExterierConfig::procedureName(), std::move(appearance));

    tamsel::Procedure publish;
    publish.kind = tamsel::Procedure::Window;
    publish.wantsRefresh = false;
    publish.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall&) -> QObject* {
        return new PublishScheduleWindow(d);
    };
    dict.procedures.add(PublishScheduleWindow::procedureName(), std::move(publish));

    // Listens: lessons and teachers changed elsewhere are planned again, and the choices not
    // yet saved are carried over where they still hold.
    tamsel::Procedure substitutions;
    substitutions.kind = tamsel::Procedure::Window;
    substitutions.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall&) -> QObject* {
        return new SubstitutionsWindow(d);
    };
    dict.procedures.add(SubstitutionsWindow::procedureName(), std::move(substitutions));

    tamsel::Procedure calendar;
    calendar.kind = tamsel::Procedure::Window;
    calendar.wantsRefresh = false;
    calendar.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall&) -> QObject* {
        return new SchoolCalendarWindow(d);
    };
    dict.procedures.add(SchoolCalendarWindow::procedureName(), std::move(calendar));

    for (LodraStage stage : {LodraStage::Reference, LodraStage::Plans}) {
        tamsel::Procedure import;
        import.kind = tamsel::Procedure::Window;
        import.wantsRefresh = false;
        import.start = [stage](tamsel::Dictionary& d, const tamsel::ProcedureCall&) -> QObject* {
            return new ImportFromLodra(d, stage);
        };
        dict.procedures.add(ImportFromLodra::procedureName(stage), std::move(import));
    }

    tamsel::Procedure fet;
    fet.kind = tamsel::Procedure::Window;
    fet.wantsRefresh = false;
    fet.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall&) -> QObject* {
        return new ImportFromFet(d);
    };
    dict.procedures.add(ImportFromFet::procedureName(), std::move(fet));

    tamsel::Procedure tables;
    tables.kind = tamsel::Procedure::Window;
    tables.wantsRefresh = false;
    tables.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall&) -> QObject* {
        return new ImportTables(d);
    };
    dict.procedures.add(ImportTables::procedureName(), std::move(tables));
}

void Kill(tamsel::Dictionary& dict) {
    dict.libraryLog << QStringLiteral("kill:hestor");
}

} // namespace hestor
