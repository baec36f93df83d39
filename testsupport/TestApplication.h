#pragma once

#include <QApplication>

namespace testsupport {

/// The one application object of a test program that shows widgets, made on first use and
/// left to the process's end: destroying it among the statics crashes.
inline QApplication& app() {
    static int argc = 1;
    static char name[] = "korvel_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* a = new QApplication(argc, argv);
    return *a;
}

} // namespace testsupport
