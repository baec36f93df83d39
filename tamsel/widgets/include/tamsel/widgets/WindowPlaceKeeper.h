#pragma once

#include "tamsel/Globals.h"

#include <QObject>
#include <QRect>
#include <QString>

class QWidget;

namespace tamsel {

class IniFile;

/// Keeps a window's position, size and maximised state in the settings section named after
/// its procedure ("XPos", "YPos", "Width", "Height", "Maximize"). attach() restores the place
/// at once (call it before the window is shown) and stores it whenever the window closes.
/// Works for top-level windows, dialogs and child windows of the frame alike; a child
/// window's position is relative to the frame's client area.
class WindowPlaceKeeper : public QObject {
public:
    /// Restores `window`'s place and keeps it from now on; the keeper is owned by `window`.
    /// Returns the place kept in the settings (`found` false when there was none).
    static WindowPlace attach(QWidget* window, IniFile& ini, const QString& procedure);

    /// Restores the position and size (nothing when none is kept or it would be unusable).
    /// A top-level window that was maximised is marked to show maximised; for a child window
    /// the caller shows it maximised when the returned place says so.
    static WindowPlace restore(QWidget* window, const IniFile& ini, const QString& procedure);
    /// Stores the window's normal place and whether it is maximised.
    static void store(const QWidget* window, IniFile& ini, const QString& procedure);
    /// The same, with the window's last normal place known to the caller.
    static void store(const QWidget* window, IniFile& ini, const QString& procedure,
                      const QRect& normal);
    /// Stores the place now (the keeper does it on close by itself).
    void storeNow() const { store(window_, ini_, procedure_, normal_); }

    const QString& procedure() const { return procedure_; }

    /// `r` made to fit `area`: no larger than it, and moved inside it.
    static QRect fitInto(QRect r, const QRect& area);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Where a window placed at `at` can be seen: the available part of the screen there (or
    /// of the primary screen); for a child window the same size from the area's corner.
    static QRect placeArea(const QWidget* window, const QPoint& at);
    WindowPlaceKeeper(QWidget* window, IniFile& ini, const QString& procedure);
    QWidget* window_;
    IniFile& ini_;
    QString procedure_;
    QRect normal_;
};

} // namespace tamsel
