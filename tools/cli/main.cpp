// korvel-cli: the headless command-line front end of Korvel.

#include "Command.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout), err(stderr);
    cli::Console io{out, err};
    const int status = cli::dispatch(app.arguments().mid(1), io);
    out.flush();
    err.flush();
    return status;
}
