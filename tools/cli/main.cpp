// korvel-cli: the headless command-line front end of Korvel.

#include "Command.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>
#include <cstring>
#include <memory>

int main(int argc, char** argv) {
    // Reports lay out text, which takes Qt's fonts and so a GUI application; the offscreen
    // platform needs no display.
    bool paints = argc > 1 && std::strcmp(argv[1], "report") == 0;
    const bool mayPrint =
        argc > 1 && (std::strcmp(argv[1], "check") == 0 || std::strcmp(argv[1], "place") == 0 ||
                     std::strcmp(argv[1], "analyze") == 0 ||
                     std::strcmp(argv[1], "compare") == 0 ||
                     std::strcmp(argv[1], "substitute") == 0);
    for (int i = 2; mayPrint && i < argc; ++i)
        paints |= std::strncmp(argv[i], "--pdf", 5) == 0;
    if (paints && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> application;
    if (paints)
        application = std::make_unique<QGuiApplication>(argc, argv);
    else
        application = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication& app = *application;
    QTextStream out(stdout), err(stderr);
    cli::Console io{out, err};
    const int status = cli::dispatch(app.arguments().mid(1), io);
    out.flush();
    err.flush();
    return status;
}
