#pragma once

#include "tamsel/Ports.h"

#include <QHash>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <memory>

namespace korvel {

/// The user-interface port of the program: message boxes with the system's own captions and
/// button texts, "|" in a text starting a new line.
class MessageBoxUserInterface final : public tamsel::UserInterfacePort {
public:
    void tell(const QString& caption, const QString& text) override;
    tamsel::Button ask(const QString& caption, const QString& text, unsigned buttons,
                       tamsel::Button defaultButton) override;
    bool stopPrompt(const QString& text) override;
    void setBusy(bool busy) override;

    /// The box that tell() or ask() shows, not yet shown; `answers` maps its buttons back.
    static std::unique_ptr<QMessageBox>
    makeBox(QMessageBox::Icon icon, const QString& caption, const QString& text, unsigned buttons,
            tamsel::Button defaultButton,
            QHash<QAbstractButton*, tamsel::Button>* answers = nullptr);

private:
    tamsel::Button run(QMessageBox& box, const QHash<QAbstractButton*, tamsel::Button>& answers,
                       tamsel::Button fallback);
    int busy_ = 0;
};

/// The progress port of the program: a modal progress window "Обработка записей" with the
/// task's caption, "N% выполнено" and a cancel button.
class DialogProgress final : public tamsel::ProgressPort {
public:
    ~DialogProgress() override;
    void start(const QString& caption) override;
    void setPercent(int percent) override;
    bool cancelled() override;
    void finish() override;

    QProgressDialog* dialog() const { return dialog_; }

private:
    QString caption_;
    QPointer<QProgressDialog> dialog_;
};

} // namespace korvel
