#pragma once

#include "tamsel/Records.h"

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

namespace tamsel {

struct Globals;

/// The open windows by number. Qt runs every widget on one thread, so the number the frame
/// hands out stands for what was once a window's thread: events are posted to a number,
/// `FrameThread` is the frame's number and `WindowRefreshQueue` lists numbers.
/// A number is freed, and dropped from `WindowRefreshQueue`, when its object is destroyed,
/// so a window that forgets to leave the queue never receives events after it is gone.
class WindowTable {
public:
    explicit WindowTable(Globals& glo);
    ~WindowTable();
    WindowTable(const WindowTable&) = delete;
    WindowTable& operator=(const WindowTable&) = delete;

    /// Gives `window` the lowest free number (from 1) under `procedure`.
    Short enlist(QObject* window, const QString& procedure);
    /// Frees `number` and drops it from `WindowRefreshQueue`.
    void release(Short number);

    QObject* window(Short number) const;
    Short numberOf(const QObject* window) const;
    QString procedureOf(Short number) const;
    /// The lowest number of an open window of `procedure`, 0 when none is open.
    Short findOpen(const QString& procedure) const;
    /// Every number in use, ascending.
    QList<Short> numbers() const { return entries_.keys(); }

    /// Adds `number` to or removes it from `WindowRefreshQueue`.
    void listen(Short number);
    void unlisten(Short number);

    /// Posts user event `type` to window `number`; false when no window has that number.
    bool post(Short number, int type) const;
    /// Posts user event `type` to the frame (`FrameThread`).
    bool postToFrame(int type) const;

private:
    struct Entry {
        QPointer<QObject> window;
        QString procedure;
    };
    Globals& glo_;
    QMap<Short, Entry> entries_;
    std::unique_ptr<QObject> context_; ///< ends the destroyed() connections with the table
};

} // namespace tamsel
