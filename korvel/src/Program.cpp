#include "Program.h"

#include "faldin/Faldin.h"
#include "hestor/Hestor.h"
#include "ombrel/Ombrel.h"
#include "pivrel/Pivrel.h"
#include "tamsel/Dictionary.h"
#include "trusko/Trusko.h"

#include <QDir>

namespace korvel {

namespace {
QString u(const char* s) {
    return QString::fromUtf8(s);
}
} // namespace

void Program::initLibraries(tamsel::Dictionary& dict) {
    tamsel::ErrorReporter* errors = &dict.errors();
    tamsel::IniFile* settings = &dict.settings();
    faldin::Init(dict, errors, settings);
    ombrel::Init(dict, errors, settings);
    hestor::Init(dict, errors, settings);
    pivrel::Init(dict, errors, settings);
    tamsel::Init(dict, errors, settings);
    trusko::Init(dict, errors, settings);
}

void Program::killLibraries(tamsel::Dictionary& dict) {
    trusko::Kill(dict);
    tamsel::Kill(dict);
    pivrel::Kill(dict);
    hestor::Kill(dict);
    ombrel::Kill(dict);
    faldin::Kill(dict);
}

void Program::start() {
    QString error;
    settingsRead_ = dict_.loadSettings(&error);
    if (!settingsRead_)
        dict_.ui().tell(QStringLiteral("Korvel"),
                        u("Файл настроек %1 не прочитан: %2.|Программа работает с настройками по "
                          "умолчанию; при выходе файл настроек не будет изменён.")
                            .arg(QDir::toNativeSeparators(dict_.settings().path()), error));
    initLibraries(dict_);
    started_ = true;
}

bool Program::finish() {
    if (started_) killLibraries(dict_);
    started_ = false;
    if (!settingsRead_) return true;
    QString error;
    if (dict_.saveSettings(&error)) return true;
    dict_.ui().tell(QStringLiteral("Korvel"),
                    u("Настройки не записаны в файл %1: %2.")
                        .arg(QDir::toNativeSeparators(dict_.settings().path()), error));
    return false;
}

} // namespace korvel
