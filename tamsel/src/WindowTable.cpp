#include "tamsel/WindowTable.h"

#include "tamsel/Globals.h"

#include <QCoreApplication>
#include <QEvent>

namespace tamsel {

WindowTable::WindowTable(Globals& glo) : glo_(glo), context_(std::make_unique<QObject>()) {}

WindowTable::~WindowTable() = default;

Short WindowTable::enlist(QObject* window, const QString& procedure) {
    Short n = 1;
    while (entries_.contains(n))
        ++n;
    entries_.insert(n, Entry{window, procedure});
    QObject::connect(window, &QObject::destroyed, context_.get(), [this, n, window] {
        const auto it = entries_.find(n);
        // The number may already belong to a newer window when it was released early.
        if (it != entries_.end() && (it->window.isNull() || it->window == window)) release(n);
    });
    return n;
}

void WindowTable::release(Short number) {
    entries_.remove(number);
    glo_.WindowRefreshQueue.erase(number);
}

QObject* WindowTable::window(Short number) const {
    const auto it = entries_.constFind(number);
    return it == entries_.constEnd() ? nullptr : it->window.data();
}

Short WindowTable::numberOf(const QObject* window) const {
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it)
        if (window && it->window == window) return it.key();
    return 0;
}

QString WindowTable::procedureOf(Short number) const {
    const auto it = entries_.constFind(number);
    return it == entries_.constEnd() ? QString() : it->procedure;
}

Short WindowTable::findOpen(const QString& procedure) const {
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it)
        if (it->window && it->procedure == procedure) return it.key();
    return 0;
}

void WindowTable::listen(Short number) {
    if (entries_.contains(number)) glo_.WindowRefreshQueue.insert(number);
}

void WindowTable::unlisten(Short number) {
    glo_.WindowRefreshQueue.erase(number);
}

bool WindowTable::post(Short number, int type) const {
    QObject* w = window(number);
    if (!w) return false;
    QCoreApplication::postEvent(w, new QEvent(static_cast<QEvent::Type>(type)));
    return true;
}

bool WindowTable::postToFrame(int type) const {
    return post(glo_.FrameThread, type);
}

} // namespace tamsel
