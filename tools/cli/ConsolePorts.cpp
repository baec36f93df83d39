#include "ConsolePorts.h"

namespace cli {

using namespace tamsel;

void ConsoleUserInterface::tell(const QString& caption, const QString& text) {
    err_ << caption << ": " << withLineBreaks(text) << '\n';
    err_.flush();
    ++messages;
}

Button ConsoleUserInterface::ask(const QString& caption, const QString& text, unsigned,
                                 Button defaultButton) {
    QString answer;
    switch (defaultButton) {
    case Yes:
        answer = QString::fromUtf8("да");
        break;
    case No:
        answer = QString::fromUtf8("нет");
        break;
    case Cancel:
        answer = QString::fromUtf8("отмена");
        break;
    default:
        answer = QString::fromUtf8("ОК");
        break;
    }
    err_ << caption << ": " << withLineBreaks(text) << QString::fromUtf8(" — ответ: ") << answer
         << '\n';
    err_.flush();
    ++messages;
    return defaultButton;
}

bool ConsoleUserInterface::stopPrompt(const QString& text) {
    err_ << QString::fromUtf8("Korvel: ") << withLineBreaks(text)
         << QString::fromUtf8(" — работа прервана\n");
    err_.flush();
    ++messages;
    return true;
}

void ConsoleUserInterface::note(const QString& text) {
    err_ << QString::fromUtf8("Korvel: ") << withLineBreaks(text) << '\n';
    err_.flush();
}

} // namespace cli
