#pragma once

#include <QLockFile>
#include <QString>
#include <functional>

namespace tamsel {

class Dictionary;

/// Keeps two writers from changing the timetable of one folder at the same time: a lock
/// file "Korvel.lock" in the working folder names the process that holds it. SQLite keeps
/// single statements and transactions apart, but a procedure that plans from what it read
/// (the automatic placement works on an in-memory model for its whole run) would otherwise
/// write over another process's lessons. A lock left by a process that has ended is taken
/// over, even when its file belongs to another user. Readers (reports, info) never take it.
///
/// Inside one process, nested scopes share the lock. A holder that names its activity and
/// lets the user interface run meanwhile (Yield) keeps it for itself: every other window's
/// scope, and every write to a data file, is refused while it yields, naming the activity.
class WritingLock {
public:
    explicit WritingLock(const QString& workDir);
    ~WritingLock();
    WritingLock(const WritingLock&) = delete;
    WritingLock& operator=(const WritingLock&) = delete;

    /// Takes the lock (or one more nesting of it), waiting up to `waitMs` for another
    /// process; false when it could not, with refusal() saying why in the user's words.
    /// `waiting` is told once, with the holder named, when the lock is not free at once.
    /// `activity` names the outermost holder for refusals inside the process ("автоматическая
    /// расстановка уроков"); nested scopes leave it as it is.
    bool acquire(int waitMs, const std::function<void(const QString&)>& waiting = {},
                 const QString& activity = {});
    void release();
    bool held() const { return depth_ > 0; }
    /// How many scopes hold it in this process (1: the outermost).
    int depth() const { return depth_; }
    const QString& refusal() const { return refusal_; }

    /// While one lives, the holder has handed control to the user interface: whatever runs
    /// meanwhile belongs to another window and may not write.
    class Yield {
    public:
        explicit Yield(WritingLock& lock) : lock_(lock) { ++lock_.yielding_; }
        ~Yield() { --lock_.yielding_; }
        Yield(const Yield&) = delete;
        Yield& operator=(const Yield&) = delete;

    private:
        WritingLock& lock_;
    };
    /// Non-empty while the holder yields: why a write of another window is refused now.
    QString foreignWriteRefusal() const;

    static QString fileName() { return QStringLiteral("Korvel.lock"); }

private:
    /// One attempt without waiting, taking over a lock whose holder has ended; sets
    /// blocked_ when the lock file can never be taken by waiting.
    bool tryTake();
    bool takeOverStale(qint64 pid);
    QString holderText();
    QString path() const;

    QString dir_;    ///< the folder as given
    QString folder_; ///< the folder as the user reads it
    QLockFile file_;
    int depth_ = 0;
    int yielding_ = 0;
    QString activity_;
    QString refusal_;
    QString blocked_; ///< why the lock file can be neither taken nor taken over
};

/// Holds the writing lock of a dictionary's folder for a scope. When it cannot be taken the
/// refusal is shown (caption "Korvel") and ok() is false: the procedure must not write. The
/// outermost scope reopens the files another program replaced while they were open.
/// While it waits for another writer the user interface says so (UserInterfacePort::note and
/// the busy cursor).
class WritingScope {
public:
    explicit WritingScope(Dictionary& dict, int waitMs = DefaultWaitMs);
    /// The outermost scope of a long procedure that yields to the user interface; `activity`
    /// names it in the refusals other windows get meanwhile.
    WritingScope(Dictionary& dict, const QString& activity, int waitMs = DefaultWaitMs);
    ~WritingScope();
    WritingScope(const WritingScope&) = delete;
    WritingScope& operator=(const WritingScope&) = delete;
    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }

    /// Long enough to outlast another process's single write, short enough not to look hung.
    static constexpr int DefaultWaitMs = 3000;

private:
    Dictionary& dict_;
    bool ok_;
};

} // namespace tamsel
