#include "faldin/Faldin.h"

#include "tamsel/Dictionary.h"

namespace faldin {

void Init(tamsel::Dictionary& dict, tamsel::ErrorReporter*, tamsel::IniFile*) {
    dict.libraryLog << QStringLiteral("init:faldin");
}

void Kill(tamsel::Dictionary& dict) { dict.libraryLog << QStringLiteral("kill:faldin"); }

} // namespace faldin
