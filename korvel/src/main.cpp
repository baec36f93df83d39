// Korvel: the school timetable program. Works on the data files and Korvel.ini of the
// folder it is started in.

#include "GuiPorts.h"
#include "KeyAliases.h"
#include "MainFrame.h"
#include "Program.h"
#include "RussianTexts.h"

#include "tamsel/Dictionary.h"

#include <QApplication>
#include <QDir>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvel"));
    // The frame ends the program; the stop button or help window left open must not keep it.
    QApplication::setQuitOnLastWindowClosed(false);

    korvel::installRussian(app);
    korvel::KeyAliases aliases;
    app.installEventFilter(&aliases);

    tamsel::Dictionary dict(QDir::currentPath());
    korvel::MessageBoxUserInterface ui;
    korvel::DialogProgress progress;
    dict.setUserInterface(ui);
    dict.setProgress(progress);

    korvel::Program program(dict);
    program.start();
    int rc = 0;
    {
        korvel::MainFrame frame(dict);
        QObject::connect(&frame, &korvel::MainFrame::closed, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        frame.open();
        rc = QApplication::exec();
    }
    program.finish();
    return rc;
}
