#include "ombrel/Ombrel.h"

#include "tamsel/Dictionary.h"

namespace ombrel {

void Init(tamsel::Dictionary& dict, tamsel::ErrorReporter*, tamsel::IniFile*) {
    dict.libraryLog << QStringLiteral("init:ombrel");
}

void Kill(tamsel::Dictionary& dict) { dict.libraryLog << QStringLiteral("kill:ombrel"); }

} // namespace ombrel
