#include "trusko/Trusko.h"

#include "trusko/Printing.h"

#include "tamsel/Dictionary.h"

namespace trusko {

void Init(tamsel::Dictionary& dict, tamsel::ErrorReporter*, tamsel::IniFile*) {
    dict.libraryLog << QStringLiteral("init:trusko");
}

void Kill(tamsel::Dictionary& dict) {
    ReleaseReportPrinter();
    dict.libraryLog << QStringLiteral("kill:trusko");
}

} // namespace trusko
