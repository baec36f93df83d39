#pragma once

#include <QLockFile>
#include <QString>

namespace tamsel {

class Dictionary;

/// Keeps two processes from writing the timetable of one folder at the same time: a lock
/// file "Korvel.lock" in the working folder names the process that holds it. SQLite keeps
/// single statements and transactions apart, but a procedure that plans from what it read
/// (the automatic placement works on an in-memory model for its whole run) would otherwise
/// write over another process's lessons. A lock left by a process that has ended is taken
/// over. Readers (reports, info) never take it. Nested scopes of one process share it.
class WritingLock {
public:
    explicit WritingLock(const QString& workDir);
    ~WritingLock();
    WritingLock(const WritingLock&) = delete;
    WritingLock& operator=(const WritingLock&) = delete;

    /// Takes the lock (or one more nesting of it), waiting up to `waitMs` for another
    /// process; false when it could not, with refusal() saying why in the user's words.
    bool acquire(int waitMs);
    void release();
    bool held() const { return depth_ > 0; }
    /// How many scopes hold it in this process (1: the outermost).
    int depth() const { return depth_; }
    const QString& refusal() const { return refusal_; }

    static QString fileName() { return QStringLiteral("Korvel.lock"); }

private:
    QString folder_;
    QLockFile file_;
    int depth_ = 0;
    QString refusal_;
};

/// Holds the writing lock of a dictionary's folder for a scope. When it cannot be taken the
/// refusal is shown (caption "Korvel") and ok() is false: the procedure must not write. The
/// outermost scope reopens the files another program replaced while they were open.
class WritingScope {
public:
    explicit WritingScope(Dictionary& dict, int waitMs = DefaultWaitMs);
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
