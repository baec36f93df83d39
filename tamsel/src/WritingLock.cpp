#include "tamsel/WritingLock.h"

#include "tamsel/Dictionary.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace tamsel {

WritingLock::WritingLock(const QString& workDir)
    : folder_(QDir::toNativeSeparators(workDir)), file_(QDir(workDir).filePath(fileName())) {
    // Only a holder that has ended makes the lock stale, never its age: a placement on a
    // large school may run for minutes.
    file_.setStaleLockTime(0);
}

WritingLock::~WritingLock() {
    if (depth_ > 0) file_.unlock();
}

bool WritingLock::acquire(int waitMs) {
    refusal_.clear();
    if (depth_ > 0) {
        ++depth_;
        return true;
    }
    if (file_.tryLock(waitMs)) {
        depth_ = 1;
        return true;
    }
    // A holder killed while it wrote the lock file leaves one that names nobody; with no
    // age limit it would block for ever, so such a file counts as stale after a few seconds.
    qint64 pid = 0;
    QString host, app;
    const QFileInfo info(QDir(folder_).filePath(fileName()));
    if (file_.error() == QLockFile::LockFailedError && !file_.getLockInfo(&pid, &host, &app) &&
        info.exists() && info.lastModified().msecsTo(QDateTime::currentDateTime()) > 5000 &&
        file_.removeStaleLockFile() && file_.tryLock(0)) {
        depth_ = 1;
        return true;
    }
    switch (file_.error()) {
    case QLockFile::LockFailedError: {
        qint64 pid = 0;
        QString host, app;
        if (file_.getLockInfo(&pid, &host, &app))
            refusal_ = QStringLiteral("Расписание в папке «%1» сейчас изменяет другая программа "
                                      "(%2, процесс %3, компьютер «%4»). Повторите, когда она "
                                      "закончит работу.")
                           .arg(folder_, app.isEmpty() ? QStringLiteral("Korvel") : app)
                           .arg(pid)
                           .arg(host);
        else
            refusal_ = QStringLiteral("Расписание в папке «%1» сейчас изменяет другая программа. "
                                      "Повторите, когда она закончит работу.")
                           .arg(folder_);
        break;
    }
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
    if (--depth_ == 0) file_.unlock();
}

namespace {
/// Tests of a folder held by another writer shorten the wait through KORVEL_LOCK_WAIT_MS; the
/// program never sets it.
int lockWaitMs(int waitMs) {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("KORVEL_LOCK_WAIT_MS", &ok);
    return ok && ms > 0 && waitMs > 0 ? std::min(ms, waitMs) : waitMs;
}
} // namespace

WritingScope::WritingScope(Dictionary& dict, int waitMs)
    : dict_(dict), ok_(dict.writingLock().acquire(lockWaitMs(waitMs))) {
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
