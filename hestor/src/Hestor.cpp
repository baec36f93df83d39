#include "hestor/Hestor.h"

#include "tamsel/Dictionary.h"

namespace hestor {

void Init(tamsel::Dictionary& dict, tamsel::ErrorReporter*, tamsel::IniFile*) {
    dict.libraryLog << QStringLiteral("init:hestor");
}

void Kill(tamsel::Dictionary& dict) { dict.libraryLog << QStringLiteral("kill:hestor"); }

} // namespace hestor
