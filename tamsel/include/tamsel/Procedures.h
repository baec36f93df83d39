#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace tamsel {

class Dictionary;

/// What the frame hands a procedure it starts.
struct ProcedureCall {
    QString mode;             ///< the argument: "Small", "" or "0"/"1" for ClearSchedule
    QObject* frame = nullptr; ///< the frame window: parent for the dialogs of a procedure
};

/// A procedure the frame can start from its menu or toolbar.
struct Procedure {
    enum Kind {
        Window, ///< returns a new QWidget that the frame shows as a child window and owns
        Direct, ///< runs on the spot (reports, clearing, export) and returns nullptr
    };
    Kind kind = Window;
    // A window learns its number with dict.windows.numberOf(this) once it is shown.
    /// A second request activates (and restores) the open window instead of opening another.
    bool singleInstance = true;
    /// The frame lists the window in `WindowRefreshQueue` while it is open.
    bool wantsRefresh = true;
    std::function<QObject*(Dictionary&, const ProcedureCall&)> start;
};

/// The procedures the libraries offer to the frame, by procedure name ("DayList",
/// "AutoPivrel", "PrintTeacherSchedule"). Each library adds its own in its Init entry; the
/// frame enables a menu item or toolbar button only when its procedure is here, so nothing
/// needs the program's headers and the program needs no library's window headers.
class Procedures {
public:
    /// Adds or replaces `name`.
    void add(const QString& name, Procedure procedure);
    void remove(const QString& name) { table_.remove(name); }
    const Procedure* find(const QString& name) const;
    bool contains(const QString& name) const { return table_.contains(name); }
    QStringList names() const { return table_.keys(); }

private:
    QHash<QString, Procedure> table_;
};

} // namespace tamsel
