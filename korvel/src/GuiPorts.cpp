#include "GuiPorts.h"

#include "RussianTexts.h"

#include <QApplication>
#include <QPushButton>

namespace korvel {

using tamsel::Button;

std::unique_ptr<QMessageBox>
MessageBoxUserInterface::makeBox(QMessageBox::Icon icon, const QString& caption,
                                 const QString& text, unsigned buttons, Button defaultButton,
                                 QHash<QAbstractButton*, Button>* answers) {
    auto box = std::make_unique<QMessageBox>(icon, caption, tamsel::withLineBreaks(text),
                                             QMessageBox::NoButton, QApplication::activeWindow());
    box->setTextFormat(Qt::PlainText);
    static constexpr Button order[] = {tamsel::Ok,    tamsel::Yes,    tamsel::No,    tamsel::Abort,
                                       tamsel::Retry, tamsel::Ignore, tamsel::Cancel};
    if (buttons == 0) buttons = tamsel::Ok;
    for (Button b : order) {
        if (!(buttons & b)) continue;
        const QMessageBox::ButtonRole role =
            (b == tamsel::No || b == tamsel::Cancel || b == tamsel::Abort)
                ? QMessageBox::RejectRole
                : QMessageBox::AcceptRole;
        QPushButton* pb = box->addButton(buttonCaption(b), role);
        if (answers) answers->insert(pb, b);
        if (b == defaultButton) box->setDefaultButton(pb);
        // Escape answers like the window's close box: with No, Cancel, or the only button.
        if (b == tamsel::Cancel || (b == tamsel::No && !(buttons & tamsel::Cancel)))
            box->setEscapeButton(pb);
    }
    if (!box->escapeButton() && box->buttons().size() == 1) box->setEscapeButton(box->buttons()[0]);
    return box;
}

Button MessageBoxUserInterface::run(QMessageBox& box,
                                    const QHash<QAbstractButton*, Button>& answers,
                                    Button fallback) {
    // A question must not show the busy cursor of the work that asks it.
    if (busy_ > 0) QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (busy_ > 0) QApplication::restoreOverrideCursor();
    return answers.value(box.clickedButton(), fallback);
}

void MessageBoxUserInterface::tell(const QString& caption, const QString& text) {
    QHash<QAbstractButton*, Button> answers;
    auto box = makeBox(QMessageBox::Information, caption, text, tamsel::Ok, tamsel::Ok, &answers);
    run(*box, answers, tamsel::Ok);
}

Button MessageBoxUserInterface::ask(const QString& caption, const QString& text, unsigned buttons,
                                    Button defaultButton) {
    QHash<QAbstractButton*, Button> answers;
    auto box = makeBox(QMessageBox::Question, caption, text, buttons, defaultButton, &answers);
    // Closing the box answers with its escape button, else with the default.
    Button fallback = answers.value(box->escapeButton(), defaultButton);
    return run(*box, answers, fallback);
}

bool MessageBoxUserInterface::stopPrompt(const QString& text) {
    QHash<QAbstractButton*, Button> answers;
    auto box = makeBox(QMessageBox::Warning, QStringLiteral("Korvel"), text,
                       tamsel::Abort | tamsel::Ignore, tamsel::Ignore, &answers);
    box->setEscapeButton(answers.key(tamsel::Ignore));
    return run(*box, answers, tamsel::Ignore) == tamsel::Abort;
}

void MessageBoxUserInterface::setBusy(bool busy) {
    if (busy) {
        ++busy_;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (busy_ > 0) {
        --busy_;
        QApplication::restoreOverrideCursor();
    }
}

DialogProgress::~DialogProgress() {
    delete dialog_.data();
}

void DialogProgress::start(const QString& caption) {
    delete dialog_.data();
    caption_ = caption;
    dialog_ = new QProgressDialog(QApplication::activeWindow());
    dialog_->setWindowTitle(tamsel::progressTitle());
    dialog_->setWindowModality(Qt::ApplicationModal);
    dialog_->setCancelButtonText(buttonCaption(tamsel::Cancel));
    dialog_->setRange(0, 100);
    dialog_->setMinimumDuration(0);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumWidth(360);
    setPercent(0);
    dialog_->show();
    QCoreApplication::processEvents();
}

void DialogProgress::setPercent(int percent) {
    if (!dialog_) return;
    percent = std::clamp(percent, 0, 100);
    const QString text = tamsel::progressText(percent);
    dialog_->setLabelText(caption_.isEmpty() ? text : caption_ + QLatin1Char('\n') + text);
    dialog_->setValue(percent);
    QCoreApplication::processEvents();
}

bool DialogProgress::cancelled() {
    if (!dialog_) return false;
    QCoreApplication::processEvents();
    return dialog_->wasCanceled();
}

void DialogProgress::finish() {
    if (!dialog_) return;
    dialog_->close();
    dialog_->deleteLater();
    dialog_ = nullptr;
}

} // namespace korvel
