#include "faldin/Faldin.h"

#include "faldin/ClearSchedule.h"
#include "tamsel/Dictionary.h"

namespace faldin {

void Init(tamsel::Dictionary& dict, tamsel::ErrorReporter*, tamsel::IniFile*) {
    dict.libraryLog << QStringLiteral("init:faldin");
    // The two clearing items of the menu: mode "0" keeps the teachers, "1" clears them too.
    tamsel::Procedure clear;
    clear.kind = tamsel::Procedure::Direct;
    clear.singleInstance = false;
    clear.wantsRefresh = false;
    clear.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall& call) -> QObject* {
        ClearSchedule(d, call.mode == QStringLiteral("1") ? 1 : 0,
                      [&d](int type) { d.windows.postToFrame(type); });
        return nullptr;
    };
    dict.procedures.add(QStringLiteral("ClearSchedule"), std::move(clear));
}

void Kill(tamsel::Dictionary& dict) { dict.libraryLog << QStringLiteral("kill:faldin"); }

} // namespace faldin
