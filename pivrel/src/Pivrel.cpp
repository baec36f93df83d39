#include "pivrel/Pivrel.h"

#include "pivrel/engine/AutoPivrel.h"
#include "pivrel/timetable/PivrelLessons.h"
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

    // Several grids may be open at once, each on its own object and cell size.
    tamsel::Procedure grid;
    grid.kind = tamsel::Procedure::Window;
    grid.singleInstance = false;
    grid.wantsRefresh = true;
    grid.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall& call) -> QObject* {
        return new PivrelLessons(d, call.mode);
    };
    dict.procedures.add(PivrelLessons::procedureName(), grid);

    tamsel::Procedure unplaced;
    unplaced.kind = tamsel::Procedure::Window;
    unplaced.singleInstance = true;
    unplaced.wantsRefresh = true;
    unplaced.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall&) -> QObject* {
        return new UnplacedLessons(d);
    };
    dict.procedures.add(UnplacedLessons::procedureName(), unplaced);
}

void Kill(tamsel::Dictionary& dict) { dict.libraryLog << QStringLiteral("kill:pivrel"); }

} // namespace pivrel
