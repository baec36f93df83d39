// Linked into every test program that shows widgets. A modal dialog that no test answers
// would wait in its own event loop until ctest kills the program, and the log would not say
// which dialog or why. The watchdog starts with the application object, looks for a modal
// dialog a few times a second, and when the same one has waited for a while it fails the
// running test with the dialog's texts and closes it, so the test goes on and ends at once.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

// Tests answer the dialogs they expect from a timer set before the dialog opens (usually due
// at once); every such timer has fired long before the watchdog gives up on a dialog.
constexpr int TickMs = 200;
constexpr int PatienceTicks = 10;
// A dialog that comes back each time it is closed would keep a test busy for ever.
constexpr int MostClosedPerTest = 5;

struct Watch {
    QPointer<QWidget> waiting;
    int ticks = 0;
    std::string test;
    int closedInTest = 0;
};

Watch& watch() {
    static Watch w;
    return w;
}

std::string currentTestName() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    return info ? std::string(info->test_suite_name()) + "." + info->name() : std::string();
}

/// The caption, the texts and the buttons of a dialog, as the person at the screen would read
/// them.
QString textsOf(QWidget* w) {
    QStringList parts{QStringLiteral("«%1»").arg(w->windowTitle())};
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
        parts << box->text();
        if (!box->informativeText().isEmpty()) parts << box->informativeText();
        QStringList buttons;
        for (QAbstractButton* b : box->buttons()) buttons << b->text();
        parts << QStringLiteral("[%1]").arg(buttons.join(QStringLiteral(", ")));
    } else {
        for (QLabel* label : w->findChildren<QLabel*>())
            if (!label->text().isEmpty()) parts << label->text();
    }
    return parts.join(QStringLiteral(" "));
}

/// Closes a dialog as Esc does, so that the code that asked takes the answer of a person who
/// walks away; one that Esc does not close is rejected.
void closeDialog(QWidget* w) {
    QPointer<QWidget> dialog(w);
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &esc);
    if (!dialog || !dialog->isVisible()) return;
    if (auto* d = qobject_cast<QDialog*>(dialog.data()))
        d->reject();
    else
        dialog->close();
}

void tick() {
    // A program of the core alone has no widgets to wait on.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    Watch& s = watch();
    QWidget* modal = QApplication::activeModalWidget();
    // A progress dialog shows work that goes on; it waits for nobody.
    if (!modal || qobject_cast<QProgressDialog*>(modal) || !modal->isVisible()) {
        s.waiting = nullptr;
        s.ticks = 0;
        return;
    }
    if (modal != s.waiting) {
        s.waiting = modal;
        s.ticks = 0;
        return;
    }
    if (++s.ticks < PatienceTicks) return;
    const std::string test = currentTestName();
    if (test != s.test) {
        s.test = test;
        s.closedInTest = 0;
    }
    const QString texts = textsOf(modal);
    s.waiting = nullptr;
    s.ticks = 0;
    if (++s.closedInTest > MostClosedPerTest) {
        std::fprintf(stderr, "%s: a modal dialog came back after it was closed %d times: %s\n",
                     test.c_str(), MostClosedPerTest, texts.toUtf8().constData());
        std::fflush(stderr);
        std::abort();
    }
    ADD_FAILURE() << "A modal dialog waited for an answer that the test never gave; closed: "
                  << texts.toStdString();
    closeDialog(modal);
}

void startWatchdog() {
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(TickMs);
    QObject::connect(timer, &QTimer::timeout, timer, &tick);
    timer->start();
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startWatchdog)
