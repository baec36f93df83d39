#pragma once

#include <QObject>

namespace korvel {

/// Makes Ctrl+Insert act as Ctrl+C, Shift+Insert as Ctrl+V and Shift+Delete as Ctrl+X in
/// every window, whatever the platform's own key bindings. Install on the application.
class KeyAliases : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace korvel
