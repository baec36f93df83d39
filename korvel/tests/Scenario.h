#pragma once

// What the scenario tests of the frame share: Russian literals and letting the frame's posted
// events (the relay's rounds, drops carried out after their drag) run.

#include <QCoreApplication>
#include <QEvent>
#include <QString>

namespace korvel::scenario {

inline QString s(const char* text) {
    return QString::fromUtf8(text);
}

inline void settle() {
    for (int i = 0; i < 12; ++i)
        QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace korvel::scenario
