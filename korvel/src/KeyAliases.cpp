#include "KeyAliases.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace korvel {

namespace {
/// The key an alias stands for, or 0.
int aliasFor(const QKeyEvent& k) {
    const Qt::KeyboardModifiers mods = k.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier |
                                                        Qt::AltModifier | Qt::MetaModifier);
    if (k.key() == Qt::Key_Insert && mods == Qt::ControlModifier) return Qt::Key_C;
    if (k.key() == Qt::Key_Insert && mods == Qt::ShiftModifier) return Qt::Key_V;
    if (k.key() == Qt::Key_Delete && mods == Qt::ShiftModifier) return Qt::Key_X;
    return 0;
}
} // namespace

bool KeyAliases::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    if (t != QEvent::KeyPress && t != QEvent::KeyRelease && t != QEvent::ShortcutOverride)
        return false;
    auto* k = static_cast<QKeyEvent*>(event);
    const int key = aliasFor(*k);
    if (!key) return false;
    QKeyEvent alias(t, key, Qt::ControlModifier | (k->modifiers() & Qt::KeypadModifier), QString(),
                    k->isAutoRepeat(), static_cast<quint16>(k->count()));
    // A shortcut override starts unaccepted; the widget accepts it when it wants the key.
    alias.setAccepted(t != QEvent::ShortcutOverride);
    QCoreApplication::sendEvent(watched, &alias);
    event->setAccepted(alias.isAccepted());
    return true;
}

} // namespace korvel
