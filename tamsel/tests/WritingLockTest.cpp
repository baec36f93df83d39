// The folder's writing lock against the situations users meet: a holder that crashed, a lock
// file of another user, a folder in its place, a holder that runs for long, nested scopes.

#include "tamsel/TestFolder.h"
#include "tamsel/WritingLock.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <QThread>

#include <functional>
#include <optional>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace tamsel;

#ifdef Q_OS_UNIX
namespace {

struct ChildRun {
    int code = -1;
    QString text;
};

/// Runs `body` in a child process, as the unprivileged user "nobody" when the suite runs as
/// root (root may open any file, which hides what a school's ordinary user meets). Empty when
/// the privileges cannot be dropped.
std::optional<ChildRun> inChild(const std::function<int(QString&)>& body, bool unprivileged) {
    const passwd* nobody = getpwnam("nobody");
    const bool drop = unprivileged && geteuid() == 0;
    if (drop && !nobody) return std::nullopt;
    int fds[2];
    if (pipe(fds) != 0) return std::nullopt;
    const pid_t pid = fork();
    if (pid < 0) return std::nullopt;
    if (pid == 0) {
        ::close(fds[0]);
        if (drop && (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 ||
                     setuid(nobody->pw_uid) != 0))
            _exit(77);
        QString text;
        const int code = body(text);
        const QByteArray bytes = text.toUtf8();
        if (::write(fds[1], bytes.constData(), bytes.size()) < 0) _exit(78);
        _exit(code);
    }
    ::close(fds[1]);
    QByteArray bytes;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) bytes.append(buf, n);
    ::close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) return std::nullopt;
    return ChildRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, QString::fromUtf8(bytes)};
}

/// A lock file left by a process that has ended (it took the lock and died). Returns its pid.
qint64 leaveStaleLock(const QString& dir) {
    const pid_t pid = fork();
    if (pid == 0) {
        QLockFile lock(QDir(dir).filePath(WritingLock::fileName()));
        _exit(lock.tryLock(0) ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? pid : 0;
}

/// Another process taking the folder's lock at once; the lock file it took names it.
int otherProcessTakes(const QString& dir, QString& refusal) {
    WritingLock lock(dir);
    if (!lock.acquire(0)) {
        refusal = lock.refusal();
        return 1;
    }
    qint64 pid = 0;
    QString host, app;
    QLockFile probe(QDir(dir).filePath(WritingLock::fileName()));
    const bool mine = probe.getLockInfo(&pid, &host, &app) && pid == getpid();
    lock.release();
    return mine ? 0 : 2;
}

/// A folder shared by the school's users: writable by everybody, in /tmp so that the
/// unprivileged user reaches it.
struct SharedFolder {
    SharedFolder() : tmp(QStringLiteral("/tmp/korvel-lock-XXXXXX")) {
        chmod(QFile::encodeName(tmp.path()).constData(), 0777);
    }
    QString path() const { return tmp.path(); }
    QString lock() const { return tmp.filePath(WritingLock::fileName()); }
    QTemporaryDir tmp;
};

/// The lock file as one another user left: the writer may read it but not write it.
void makeForeign(const QString& file) {
    // As root the file stays root's; otherwise its owner may not write it either.
    chmod(QFile::encodeName(file).constData(), geteuid() == 0 ? 0644 : 0444);
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    f.setFileTime(QDateTime::currentDateTime().addSecs(-600), QFileDevice::FileModificationTime);
}

} // namespace

TEST(FolderLock, AHolderThatHasEndedNeverBlocksTheFolder) {
    // The lock of a crashed run, owned by another user: Qt gives up because it cannot open
    // the file for writing, yet the folder lets it be replaced.
    SharedFolder shared;
    ASSERT_GT(leaveStaleLock(shared.path()), 0);
    makeForeign(shared.lock());
    const auto run = inChild([&](QString& t) { return otherProcessTakes(shared.path(), t); }, true);
    if (!run) GTEST_SKIP() << "cannot run as the unprivileged user nobody";
    EXPECT_EQ(run->code, 0) << run->text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(shared.lock())) << "released at the end";
    EXPECT_TRUE(QDir(shared.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty())
        << "nothing left beside it";

    // An empty folder where the lock file belongs is taken away.
    TestFolder t;
    ASSERT_TRUE(QDir(t.path()).mkdir(WritingLock::fileName()));
    {
        WritingScope writing(t.dict());
        EXPECT_TRUE(writing.ok()) << t.ui.last().toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(t.file(WritingLock::fileName())));
}

TEST(FolderLock, ALockThatCannotBeTakenOverSaysSoAndNamesTheFile) {
    // The same crashed run's lock in a folder the writer may not change.
    SharedFolder shared;
    ASSERT_GT(leaveStaleLock(shared.path()), 0);
    makeForeign(shared.lock());
    chmod(QFile::encodeName(shared.path()).constData(), 0555);
    const auto run = inChild([&](QString& t) { return otherProcessTakes(shared.path(), t); }, true);
    chmod(QFile::encodeName(shared.path()).constData(), 0777);
    if (!run) GTEST_SKIP() << "cannot run as the unprivileged user nobody";
    EXPECT_EQ(run->code, 1);
    EXPECT_TRUE(run->text.contains(QDir::toNativeSeparators(shared.lock()))) << run->text.toStdString();
    EXPECT_TRUE(run->text.contains(QStringLiteral("уже не работает"))) << run->text.toStdString();
    EXPECT_FALSE(run->text.contains(QStringLiteral("сейчас изменяет"))) << "nobody holds it";

    // A folder with contents where the lock file belongs is the user's: named, never removed.
    TestFolder t;
    ASSERT_TRUE(QDir(t.path()).mkpath(WritingLock::fileName() + QStringLiteral("/notes")));
    {
        WritingScope writing(t.dict());
        EXPECT_FALSE(writing.ok());
    }
    EXPECT_TRUE(t.ui.last().contains(
        QDir::toNativeSeparators(t.file(WritingLock::fileName()))))
        << t.ui.last().toStdString();
    EXPECT_TRUE(t.ui.last().contains(QStringLiteral("папка"))) << t.ui.last().toStdString();
    EXPECT_TRUE(QFileInfo(t.file(WritingLock::fileName() + QStringLiteral("/notes"))).isDir());
}

TEST(FolderLock, ALiveHolderKeepsTheFolderHoweverLongAndTheWaiterSaysSo) {
    TestFolder t;
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    const pid_t holder = fork();
    if (holder == 0) {
        ::close(go[1]);
        QLockFile lock(t.file(WritingLock::fileName()));
        if (!lock.tryLock(0)) _exit(1);
        char c;
        while (::read(go[0], &c, 1) > 0) {
        }
        _exit(0);
    }
    ::close(go[0]);
    while (!QFileInfo(t.file(WritingLock::fileName())).size()) QThread::msleep(1);
    // Older than any age limit: the holder runs, so it keeps the folder.
    QFile f(t.file(WritingLock::fileName()));
    f.open(QIODevice::ReadOnly);
    f.setFileTime(QDateTime::currentDateTime().addSecs(-600), QFileDevice::FileModificationTime);
    f.close();
    {
        WritingScope writing(t.dict(), 300);
        EXPECT_FALSE(writing.ok());
    }
    ::close(go[1]);
    waitpid(holder, nullptr, 0);
    ASSERT_EQ(t.ui.notes.size(), 1) << "the waiter says once that it waits";
    EXPECT_TRUE(t.ui.notes[0].contains(QStringLiteral("Ожидание"))) << t.ui.notes[0].toStdString();
    EXPECT_TRUE(t.ui.notes[0].contains(QStringLiteral("процесс %1").arg(holder)));
    EXPECT_TRUE(t.ui.last().contains(QStringLiteral("сейчас изменяет другая программа")));
    EXPECT_TRUE(t.ui.last().contains(QStringLiteral("процесс %1").arg(holder)));
    EXPECT_EQ(t.ui.busyDepth, 0) << "the busy cursor is back to normal";
}

TEST(FolderLock, AnInnerScopeNeverFreesTheFolderItsOuterScopeHolds) {
    TestFolder t;
    auto another = [&] {
        return inChild([&](QString& text) { return otherProcessTakes(t.path(), text); }, false)
            .value_or(ChildRun{})
            .code;
    };
    {
        WritingScope outer(t.dict());
        ASSERT_TRUE(outer.ok());
        { WritingScope inner(t.dict()); }
        EXPECT_EQ(another(), 1) << "the outer scope still writes";
    }
    EXPECT_EQ(another(), 0);
}
#endif
