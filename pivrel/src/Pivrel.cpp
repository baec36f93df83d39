#include "pivrel/Pivrel.h"

#include "pivrel/engine/AutoPivrel.h"
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
}

void Kill(tamsel::Dictionary& dict) { dict.libraryLog << QStringLiteral("kill:pivrel"); }

} // namespace pivrel
