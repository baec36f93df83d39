#pragma once

#include <QWidget>

class QTimer;

namespace tamsel {
class Dictionary;
}

namespace korvel {

/// The window "О программе": title, picture, build number, date and time and the version.
/// It sets `VersionId`, and closes by itself after five seconds, when it loses the focus, or
/// on a click.
class About : public QWidget {
    Q_OBJECT
public:
    About(tamsel::Dictionary& dict, QWidget* frame);

    static constexpr int CloseAfterMs = 5000;
    /// The timer that closes the window (tests read its interval instead of waiting for it).
    QTimer* closeTimer() const { return closeTimer_; }
    /// "Сборка 295 от 16.10.2000 21:55"
    static QString buildText(const tamsel::Dictionary& dict);
    /// "Версия 1.001 от 16.10.2000."
    static QString versionText(const tamsel::Dictionary& dict);

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    QTimer* closeTimer_;
};

} // namespace korvel
