#include "pivrel/Pivrel.h"

#include "pivrel/engine/AutoPivrel.h"
#include "pivrel/engine/PlacementCheckWindow.h"
#include "pivrel/timetable/Overviews.h"
#include "pivrel/timetable/PivrelLessons.h"
#include "pivrel/timetable/TimetableAnalysis.h"
#include "pivrel/timetable/UnplacedLessons.h"
#include "tamsel/Dictionary.h"

namespace pivrel {

void Init(tamsel::Dictionary& dict, tamsel::ErrorReporter*, tamsel::IniFile*) {
    dict.libraryLog << QStringLiteral("init:pivrel");
    tamsel::Procedure autoPivrel;
    autoPivrel.kind = tamsel::Procedure::Window;
    autoPivrel.singleInstance = true;
    autoPivrel.wantsRefresh = false;
    autoPivrel.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall&) -> QObject* {
        return new AutoPivrel(d, [&d](int type) { d.windows.postToFrame(type); });
    };
    dict.procedures.add(AutoPivrel::procedureName(), autoPivrel);

    tamsel::Procedure check;
    check.kind = tamsel::Procedure::Window;
    check.singleInstance = true;
    check.wantsRefresh = false; // a check is a snapshot: "Проверить" counts again
    check.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall&) -> QObject* {
        return new PlacementCheckWindow(d);
    };
    dict.procedures.add(PlacementCheckWindow::procedureName(), check);

    // Several grids may be open at once, each on its own object and cell size.
    tamsel::Procedure grid;
    grid.kind = tamsel::Procedure::Window;
    grid.singleInstance = false;
    grid.wantsRefresh = true;
    grid.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall& call) -> QObject* {
        return new PivrelLessons(d, call.mode);
    };
    dict.procedures.add(PivrelLessons::procedureName(), grid);

    // Overviews, like grids, may be open several at once.
    for (const QString& name : {ColorOverview::procedureName(), Overview::procedureName()}) {
        tamsel::Procedure overview;
        overview.kind = tamsel::Procedure::Window;
        overview.singleInstance = false;
        overview.wantsRefresh = true;
        const bool colour = name == ColorOverview::procedureName();
        overview.start = [colour](tamsel::Dictionary& d,
                                  const tamsel::ProcedureCall& call) -> QObject* {
            if (colour) return new ColorOverview(d, call.mode);
            return new Overview(d, call.mode);
        };
        dict.procedures.add(name, overview);
    }

    tamsel::Procedure analysis;
    analysis.kind = tamsel::Procedure::Window;
    analysis.singleInstance = true;
    analysis.wantsRefresh = true; // follows the edits made in the grids
    analysis.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall&) -> QObject* {
        return new TimetableAnalysis(d);
    };
    dict.procedures.add(TimetableAnalysis::procedureName(), analysis);

    tamsel::Procedure unplaced;
    unplaced.kind = tamsel::Procedure::Window;
    unplaced.singleInstance = true;
    unplaced.wantsRefresh = true;
    unplaced.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall&) -> QObject* {
        return new UnplacedLessons(d);
    };
    dict.procedures.add(UnplacedLessons::procedureName(), unplaced);
}

void Kill(tamsel::Dictionary& dict) {
    dict.libraryLog << QStringLiteral("kill:pivrel");
}

} // namespace pivrel
