#pragma once

#include "tamsel/Ports.h"

#include <QTextStream>

namespace cli {

/// Messages of the core on the console: nobody can answer, so every question takes its
/// default answer, which is printed beside it.
class ConsoleUserInterface final : public tamsel::UserInterfacePort {
public:
    explicit ConsoleUserInterface(QTextStream& err) : err_(err) {}

    void tell(const QString& caption, const QString& text) override;
    tamsel::Button ask(const QString& caption, const QString& text, unsigned buttons,
                       tamsel::Button defaultButton) override;
    /// Nobody can choose "Игнорировать" on a console: the text is printed and the command
    /// ends (its procedure stops and it exits non-zero).
    bool stopPrompt(const QString& text) override;
    void setBusy(bool) override {}
    /// Printed at once, so that a command waiting for another writer does not look hung.
    void note(const QString& text) override;

    int messages = 0; ///< how many messages and questions were shown

private:
    QTextStream& err_;
};

} // namespace cli
