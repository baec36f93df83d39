#include "tamsel/WritingLock.h"

#include "tamsel/Dictionary.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QThread>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <cstdio>
#endif

namespace tamsel {

namespace {

/// Whether a process of this computer still runs. Where that cannot be told the answer is
/// yes: a lock is never taken from a holder that might still write.
bool processRuns(qint64 pid) {
#ifdef Q_OS_UNIX
    if (pid <= 0) return true;
    // EPERM: it runs, under another user.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
#else
    Q_UNUSED(pid);
    return true;
#endif
}

/// A plain rename: QFile::rename falls back to copying and removing, which would leave a
/// copy behind where the folder refuses the removal.
bool renameFile(const QString& from, const QString& to) {
#ifdef Q_OS_UNIX
    if (QFileInfo::exists(to) || QFileInfo(to).isSymLink()) return false;
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#else
    return QFile::rename(from, to);
#endif
}

QByteArray contentsOf(const QString& path, bool* readable) {
    QFile f(path);
    *readable = f.open(QIODevice::ReadOnly);
    return *readable ? f.readAll() : QByteArray();
}

/// A lock file that names nobody may be one its holder is still writing; after this long it
/// is one whose holder was killed while writing it.
constexpr qint64 UnnamedStaleMs = 5000;

} // namespace

WritingLock::WritingLock(const QString& workDir)
    : dir_(workDir), folder_(QDir::toNativeSeparators(workDir)),
      file_(QDir(workDir).filePath(fileName())) {
    // Only a holder that has ended makes the lock stale, never its age: a placement on a
    // large school may run for minutes.
    file_.setStaleLockTime(0);
}

WritingLock::~WritingLock() {
    if (depth_ > 0) file_.unlock();
}

QString WritingLock::path() const { return QDir(dir_).filePath(fileName()); }

QString WritingLock::holderText() {
    qint64 pid = 0;
    QString host, app;
    if (file_.getLockInfo(&pid, &host, &app))
        return QStringLiteral("Расписание в папке «%1» сейчас изменяет другая программа "
                              "(%2, процесс %3, компьютер «%4»).")
            .arg(folder_, app.isEmpty() ? QStringLiteral("Korvel") : app)
            .arg(pid)
            .arg(host);
    return QStringLiteral("Расписание в папке «%1» сейчас изменяет другая программа.")
        .arg(folder_);
}

bool WritingLock::takeOverStale(qint64 pid) {
    // Qt removes a stale lock only after opening it for writing, which fails for a file of
    // another user in a shared folder, and never removes a folder. Renaming needs only the
    // right to write the folder. The file is moved aside under a name of this process and
    // removed only when it is still the one judged stale: another process taking over at
    // the same moment may have put its own lock in place meanwhile.
    const QString lock = path();
    const QString native = QDir::toNativeSeparators(lock);
    const QFileInfo info(lock);
    if (info.isDir() && !info.isSymLink()) {
        if (QDir(dir_).rmdir(fileName())) return file_.tryLock(0);
        blocked_ = QStringLiteral("Вместо файла блокировки «%1» в папке есть папка с таким же "
                                  "именем, и убрать её нельзя. Удалите или переименуйте её: "
                                  "пока она есть, расписание в этой папке изменить нельзя.")
                       .arg(native);
        return false;
    }
    bool readable = false;
    const QByteArray judged = contentsOf(lock, &readable);
    const QString aside = QStringLiteral("%1.%2.stale").arg(lock).arg(QCoreApplication::applicationPid());
    QFile::remove(aside);
    if (!renameFile(lock, aside)) {
        if (!QFileInfo::exists(lock) && !QFileInfo(lock).isSymLink()) return file_.tryLock(0);
        blocked_ = (pid > 0 ? QStringLiteral("Файл блокировки «%1» оставила программа, которая "
                                             "уже не работает (процесс %2), но удалить его "
                                             "нельзя: нет доступа.")
                                  .arg(native)
                                  .arg(pid)
                            : QStringLiteral("Файл блокировки «%1» не называет ни одной программы "
                                             "(его владелец завершился, не дописав его), но "
                                             "удалить его нельзя: нет доступа.")
                                  .arg(native)) +
                   QStringLiteral(" Удалите этот файл (например, от имени его владельца): пока "
                                  "он есть, расписание в этой папке изменить нельзя.");
        return false;
    }
    bool stillReadable = false;
    if (contentsOf(aside, &stillReadable) != judged) {
        // Not the stale file: somebody's fresh lock. Put it back unless a new one is there.
        renameFile(aside, lock);
        return false;
    }
    QFile::remove(aside);
    return file_.tryLock(0);
}

bool WritingLock::tryTake() {
    if (file_.tryLock(0)) return true;
    if (file_.error() != QLockFile::LockFailedError) return false;
    const QString lock = path();
    const QFileInfo info(lock);
    if (info.isDir() && !info.isSymLink()) return takeOverStale(0);
    qint64 pid = 0;
    QString host, app;
    if (file_.getLockInfo(&pid, &host, &app)) {
        const bool here = host.isEmpty() || host == QSysInfo::machineHostName();
        if (here && !processRuns(pid)) return takeOverStale(pid);
        return false;
    }
    bool readable = false;
    contentsOf(lock, &readable);
    if (!readable && info.exists()) {
        blocked_ = QStringLiteral("Файл блокировки «%1» нельзя прочитать (нет доступа), поэтому "
                                  "неизвестно, работает ли ещё программа, которая его создала. "
                                  "Расписание в этой папке изменить нельзя, пока этот файл есть.")
                       .arg(QDir::toNativeSeparators(lock));
        return false;
    }
    // A holder killed while it wrote the lock file leaves one that names nobody; with no
    // age limit it would block for ever, so such a file counts as stale after a few seconds.
    if (info.exists() &&
        info.lastModified().msecsTo(QDateTime::currentDateTime()) > UnnamedStaleMs)
        return takeOverStale(0);
    return false;
}

bool WritingLock::acquire(int waitMs, const std::function<void(const QString&)>& waiting,
                          const QString& activity) {
    refusal_.clear();
    if (depth_ > 0) {
        refusal_ = foreignWriteRefusal();
        if (!refusal_.isEmpty()) return false;
        ++depth_;
        return true;
    }
    blocked_.clear();
    QElapsedTimer clock;
    clock.start();
    bool told = false;
    for (;;) {
        if (tryTake()) {
            depth_ = 1;
            activity_ = activity;
            return true;
        }
        if (!blocked_.isEmpty() || file_.error() != QLockFile::LockFailedError) break;
        const qint64 left = waitMs - clock.elapsed();
        if (left <= 0) break;
        if (!told && waiting) {
            waiting(holderText() + QStringLiteral(" Ожидание, пока она закончит работу…"));
            told = true;
        }
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(left, 100)));
    }
    if (!blocked_.isEmpty()) {
        refusal_ = blocked_;
        return false;
    }
    switch (file_.error()) {
    case QLockFile::LockFailedError:
        refusal_ = holderText() + QStringLiteral(" Повторите, когда она закончит работу.");
        break;
    case QLockFile::PermissionError:
        refusal_ = QStringLiteral("В папке «%1» нельзя создать файл %2: нет доступа на запись. "
                                  "Расписание в этой папке изменить нельзя.")
                       .arg(folder_, fileName());
        break;
    default:
        refusal_ = QStringLiteral("Не удалось создать файл %2 в папке «%1». Расписание в этой "
                                  "папке изменить нельзя.")
                       .arg(folder_, fileName());
        break;
    }
    return false;
}

void WritingLock::release() {
    if (depth_ == 0) return;
    if (--depth_ == 0) {
        file_.unlock();
        activity_.clear();
    }
}

QString WritingLock::foreignWriteRefusal() const {
    if (depth_ == 0 || yielding_ == 0) return {};
    return QStringLiteral("Расписание в папке «%1» сейчас изменяет %2. Повторите, когда она "
                          "закончит работу.")
        .arg(folder_, activity_.isEmpty() ? QStringLiteral("другая работа этой программы")
                                          : activity_);
}

namespace {
/// Tests of a folder held by another writer shorten the wait through KORVEL_LOCK_WAIT_MS; the
/// program never sets it.
int lockWaitMs(int waitMs) {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("KORVEL_LOCK_WAIT_MS", &ok);
    return ok && ms > 0 && waitMs > 0 ? std::min(ms, waitMs) : waitMs;
}

bool acquireFor(Dictionary& dict, int waitMs, const QString& activity) {
    bool busy = false;
    auto waiting = [&](const QString& text) {
        dict.ui().note(text);
        dict.ui().setBusy(true);
        busy = true;
    };
    const bool ok = dict.writingLock().acquire(lockWaitMs(waitMs), waiting, activity);
    if (busy) dict.ui().setBusy(false);
    return ok;
}
} // namespace

WritingScope::WritingScope(Dictionary& dict, int waitMs)
    : WritingScope(dict, QString(), waitMs) {}

WritingScope::WritingScope(Dictionary& dict, const QString& activity, int waitMs)
    : dict_(dict), ok_(acquireFor(dict, waitMs, activity)) {
    if (!ok_) {
        dict_.ui().tell(QStringLiteral("Korvel"), dict_.writingLock().refusal());
        return;
    }
    // A restore or import of another program may have put new files in place of the ones
    // open here: writing on would go into files that are no longer the folder's.
    if (dict_.writingLock().depth() == 1 && !dict_.store().reopenReplaced()) {
        dict_.writingLock().release();
        ok_ = false;
    }
}

WritingScope::~WritingScope() {
    if (ok_) dict_.writingLock().release();
}

} // namespace tamsel
