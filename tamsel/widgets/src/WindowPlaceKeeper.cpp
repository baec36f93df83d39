#include "tamsel/widgets/WindowPlaceKeeper.h"

#include <algorithm>

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

QRect WindowPlaceKeeper::placeArea(const QWidget* window, const QPoint& at) {
    const QScreen* screen = window->isWindow() ? QGuiApplication::screenAt(at) : nullptr;
    if (!screen && window->parentWidget()) screen = window->parentWidget()->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    // A child window's place is relative to the frame's window area, which scrolls: it may be
    // as large as the screen, not larger.
    const QRect a = screen->availableGeometry();
    return window->isWindow() ? a : QRect(QPoint(0, 0), a.size());
}

QRect WindowPlaceKeeper::fitInto(QRect r, const QRect& area) {
    r.setWidth(std::clamp(r.width(), 1, area.width()));
    r.setHeight(std::clamp(r.height(), 1, area.height()));
    r.moveLeft(std::clamp(r.x(), area.left(), area.right() + 1 - r.width()));
    r.moveTop(std::clamp(r.y(), area.top(), area.bottom() + 1 - r.height()));
    return r;
}

WindowPlace WindowPlaceKeeper::restore(QWidget* window, const IniFile& ini,
                                       const QString& procedure) {
    WindowPlace p = loadWindowPlace(ini, procedure);
    if (!p.found || p.width <= 0 || p.height <= 0) {
        p.found = false;
        return p;
    }
    // A saved place may come from another screen or a hand-edited file: fit it into the area
    // the window can be seen in, so that it is never larger than that area nor out of reach.
    const QRect area = placeArea(window, QPoint(p.x, p.y));
    QRect r(p.x, p.y, p.width, p.height);
    if (area.isValid()) r = fitInto(r, area);
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
