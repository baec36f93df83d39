#include "tamsel/widgets/WindowPlaceKeeper.h"

#include "tamsel/Globals.h"
#include "tamsel/IniFile.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace tamsel {

WindowPlaceKeeper::WindowPlaceKeeper(QWidget* window, IniFile& ini, const QString& procedure)
    : QObject(window), window_(window), ini_(ini), procedure_(procedure) {
    if (!(window->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)))
        normal_ = window->geometry();
    window->installEventFilter(this);
}

WindowPlace WindowPlaceKeeper::attach(QWidget* window, IniFile& ini, const QString& procedure) {
    const WindowPlace p = restore(window, ini, procedure);
    new WindowPlaceKeeper(window, ini, procedure);
    return p;
}

WindowPlace WindowPlaceKeeper::restore(QWidget* window, const IniFile& ini,
                                       const QString& procedure) {
    WindowPlace p = loadWindowPlace(ini, procedure);
    if (!p.found || p.width <= 0 || p.height <= 0) {
        p.found = false;
        return p;
    }
    QRect r(p.x, p.y, p.width, p.height);
    if (window->isWindow()) {
        // A place on a screen that is no longer attached would leave the window unreachable.
        bool visible = false;
        for (const QScreen* s : QGuiApplication::screens())
            if (s->availableGeometry().intersects(r)) visible = true;
        if (!visible) {
            if (const QScreen* s = QGuiApplication::primaryScreen())
                r.moveTopLeft(s->availableGeometry().topLeft());
        }
    } else if (r.x() < 0 || r.y() < 0) {
        r.moveTopLeft(QPoint(std::max(0, r.x()), std::max(0, r.y())));
    }
    window->setGeometry(r);
    if (p.maximize && window->isWindow())
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
    return p;
}

void WindowPlaceKeeper::store(const QWidget* window, IniFile& ini, const QString& procedure) {
    store(window, ini, procedure, QRect());
}

void WindowPlaceKeeper::store(const QWidget* window, IniFile& ini, const QString& procedure,
                              const QRect& normal) {
    WindowPlace p;
    const bool max = window->isMaximized();
    // A maximised or minimised window keeps its normal place for the next start. Qt knows
    // the normal place of top-level windows only; the keeper follows it for child windows.
    QRect r = window->geometry();
    if (max || window->isMinimized()) {
        r = window->isWindow() ? window->normalGeometry() : normal;
        if (!r.isValid()) r = normal.isValid() ? normal : window->geometry();
    }
    p.x = r.x();
    p.y = r.y();
    p.width = r.width();
    p.height = r.height();
    p.maximize = max;
    saveWindowPlace(ini, procedure, p);
}

bool WindowPlaceKeeper::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) return false;
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
        if (!(window_->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)))
            normal_ = window_->geometry();
        break;
    case QEvent::Close:
        store(window_, ini_, procedure_, normal_);
        break;
    default:
        break;
    }
    return false;
}

} // namespace tamsel
