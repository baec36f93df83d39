#include "pivrel/Pivrel.h"

#include "tamsel/Dictionary.h"

namespace pivrel {

void Init(tamsel::Dictionary& dict, tamsel::ErrorReporter*, tamsel::IniFile*) {
    dict.libraryLog << QStringLiteral("init:pivrel");
}

void Kill(tamsel::Dictionary& dict) { dict.libraryLog << QStringLiteral("kill:pivrel"); }

} // namespace pivrel
