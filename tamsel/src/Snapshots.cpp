#include "tamsel/Snapshots.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <sqlite3.h>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tamsel {

namespace {

const QString Marker = QStringLiteral("Korvel.restore");
const QString NewSuffix = QStringLiteral(".restore-new");

Outcome fileFailure(const QString& name, int fileError, const QString& detail = {}) {
    return Outcome::failure(Outcome::Status::Error, Msg::OpenError,
                            {name, {}, {}, fileErrorText(fileError) + detail}, fileError);
}

bool syncPath(const QString& path, bool folder) {
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    Q_UNUSED(folder);
    return true;
#else
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | (folder ? O_DIRECTORY : 0));
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
#endif
}

bool writeSynced(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    if (f.write(bytes) != bytes.size() || !f.flush()) return false;
    f.close();
    return syncPath(path, false);
}

} // namespace

QByteArray SnapshotDataFile(Store& store, FileId id, Outcome* error) {
    const QString path = store.file(id).path();
    if (error) *error = Outcome::success();
    if (!QFileInfo::exists(path)) return {};
    if (QFileInfo(path).size() == 0) return QByteArray(""); // an empty file stays empty
    sqlite3* db = nullptr;
    QByteArray out;
    int rc =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, 2000);
        rc = sqlite3_exec(db, "BEGIN; SELECT count(*) FROM sqlite_master", nullptr, nullptr,
                          nullptr);
    }
    if (rc == SQLITE_OK) {
        sqlite3_int64 size = 0;
        unsigned char* bytes = sqlite3_serialize(db, "main", &size, 0);
        if (bytes) {
            out = QByteArray(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
            sqlite3_free(bytes);
        } else {
            rc = SQLITE_NOMEM;
        }
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK && error)
        *error = fileFailure(QDir::toNativeSeparators(path), fileErrorOf(rc));
    sqlite3_close_v2(db);
    return rc == SQLITE_OK ? out : QByteArray();
}

Outcome CheckSnapshot(FileId id, const QByteArray& bytes) {
    const FileDef& def = fileDef(baseOf(id));
    if (bytes.isEmpty()) return Outcome::success();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return fileFailure(def.name, FileError::OutOfMemory);
    }
    auto* copy =
        static_cast<unsigned char*>(sqlite3_malloc64(static_cast<sqlite3_uint64>(bytes.size())));
    memcpy(copy, bytes.constData(), static_cast<size_t>(bytes.size()));
    int rc = sqlite3_deserialize(db, "main", copy, bytes.size(), bytes.size(),
                                 SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_READONLY);
    Outcome result = Outcome::success();
    auto firstText = [&](const QString& sql, QString* text) {
        sqlite3_stmt* st = nullptr;
        int r = sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr);
        if (r == SQLITE_OK) {
            r = sqlite3_step(st);
            if (r == SQLITE_ROW) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
                *text = p ? QString::fromUtf8(p) : QString();
                r = SQLITE_OK;
            } else if (r == SQLITE_DONE) {
                r = SQLITE_OK;
            }
        }
        sqlite3_finalize(st);
        return r;
    };
    if (rc == SQLITE_OK) {
        QString check;
        rc = firstText(QStringLiteral("PRAGMA integrity_check(1)"), &check);
        if (rc == SQLITE_OK && check != QLatin1String("ok"))
            result = fileFailure(def.name, FileError::DataFileDamaged);
    }
    if (rc == SQLITE_OK && result.ok()) {
        QSet<QString> columns;
        sqlite3_stmt* st = nullptr;
        const QByteArray sql = "PRAGMA table_info(\"" + def.name.toUtf8() + "\")";
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW)
                columns.insert(
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)))
                        .toLower());
        sqlite3_finalize(st);
        for (const FieldDef& f : def.fields)
            if (!columns.contains(f.name.toLower()))
                result = fileFailure(def.name, FileError::BadFileStructure,
                                     QStringLiteral(": ") + f.name);
    }
    if (rc != SQLITE_OK) result = fileFailure(def.name, fileErrorOf(rc));
    sqlite3_close_v2(db);
    return result;
}

Outcome InstallDataFiles(Store& store, const std::vector<FileContents>& files,
                         const std::function<bool(int)>& step) {
    int n = 0;
    auto go = [&] { return !step || step(++n); };
    const QString marker = QDir(store.workDir()).filePath(Marker);
    auto failed = [&](const QString& path) {
        // Nothing of the old data has been touched yet: the new files go.
        for (const FileContents& f : files)
            QFile::remove(store.file(f.id).path() + NewSuffix);
        QFile::remove(marker);
        return Outcome::failure(
            Outcome::Status::Error, Msg::CreateError,
            {QDir::toNativeSeparators(path), {}, {}, fileErrorText(FileError::AccessDenied)},
            FileError::AccessDenied);
    };
    // 1. The new files beside the old ones.
    QStringList lines;
    for (const FileContents& f : files) {
        const QString path = store.file(f.id).path();
        if (!go()) return Outcome::failure(Outcome::Status::Refused, 0, {});
        if (!writeSynced(path + NewSuffix, f.bytes)) return failed(path);
        lines << path + QLatin1Char('\t') +
                     (f.bytes.isEmpty() ? QStringLiteral("remove") : QStringLiteral("replace"));
    }
    // 2. The marker: from here on the new data wins, even after a crash.
    if (!go()) return Outcome::failure(Outcome::Status::Refused, 0, {});
    if (!writeSynced(marker, lines.join(QLatin1Char('\n')).toUtf8() + '\n') ||
        !syncPath(store.workDir(), true))
        return failed(marker);
    // 3. Into place.
    if (!go()) return Outcome::failure(Outcome::Status::Refused, 0, {});
    FinishInterruptedInstall(store.workDir()); // the same steps a next start would take
    return Outcome::success();
}

bool InstallPending(const QString& workDir) {
    const QDir dir(workDir);
    return dir.exists(Marker) ||
           !dir.entryList({QLatin1Char('*') + NewSuffix}, QDir::Files).isEmpty();
}

bool FinishInterruptedInstall(const QString& workDir) {
    const QString marker = QDir(workDir).filePath(Marker);
    QFile m(marker);
    if (!m.exists()) {
        // Interrupted before the marker: the old data stands, half-written new files go.
        bool any = false;
        for (const QString& f :
             QDir(workDir).entryList({QLatin1Char('*') + NewSuffix}, QDir::Files))
            any |= QFile::remove(QDir(workDir).filePath(f));
        return any;
    }
    if (!m.open(QIODevice::ReadOnly)) return false;
    const QStringList lines =
        QString::fromUtf8(m.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    m.close();
    for (const QString& line : lines) {
        const QString path = line.section(QLatin1Char('\t'), 0, 0);
        const bool remove = line.section(QLatin1Char('\t'), 1, 1) == QLatin1String("remove");
        const QString fresh = path + NewSuffix;
        QFile::remove(path + QStringLiteral("-journal")); // a journal belongs to the old file
        if (QFileInfo::exists(fresh)) {
            if (remove) {
                QFile::remove(path);
                QFile::remove(fresh);
            } else {
                ::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData());
            }
        }
        // No new file left means it was renamed already.
    }
    syncPath(workDir, true);
    QFile::remove(marker);
    syncPath(workDir, true);
    return true;
}

} // namespace tamsel
