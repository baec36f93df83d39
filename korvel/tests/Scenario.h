#pragma once

// What the scenario tests of the frame share: Russian literals, letting the frame's posted
// events (the relay's rounds, drops carried out after their drag) run, and the program started
// with its frame open as the officer starts it.

#include "MainFrame.h"
#include "Program.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QSize>
#include <QString>
#include <QTest>
#include <gtest/gtest.h>

namespace korvel::scenario {

inline QString s(const char* text) {
    return QString::fromUtf8(text);
}

inline void settle() {
    for (int i = 0; i < 12; ++i)
        QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

/// A double click as a mouse gives it: a click, then the second press. QTest's own sends the
/// second press alone, which item views ignore (they open only what the first press hit).
inline void doubleClick(QWidget* w, QPoint at) {
    QTest::mouseClick(w, Qt::LeftButton, {}, at);
    QTest::mouseDClick(w, Qt::LeftButton, {}, at);
}

/// Starts the program over the folder's dictionary, shows its frame (at `size` when given),
/// runs `body` on it, closes the frame and expects the program to end cleanly.
template <class Body> void inFrame(tamsel::Dictionary& dict, QSize size, Body&& body) {
    Program program(dict);
    program.start();
    {
        MainFrame f(dict);
        if (size.isValid()) f.resize(size);
        f.show();
        QApplication::setActiveWindow(&f);
        body(f);
        f.close();
    }
    EXPECT_TRUE(program.finish());
}
template <class Body> void inFrame(tamsel::Dictionary& dict, Body&& body) {
    inFrame(dict, QSize(), std::forward<Body>(body));
}

} // namespace korvel::scenario
