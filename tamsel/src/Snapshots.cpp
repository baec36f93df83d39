#include "tamsel/Snapshots.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <sqlite3.h>

#ifdef Q_OS_WIN
#include <windows.h>
#else
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

/// Set while an install runs for a store in a batch (see Store::beginBatch): nobody else uses
/// that folder, so nothing waits for the disk.
thread_local bool withoutSync = false;

bool syncPath(const QString& path, bool folder) {
    if (withoutSync) return true;
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

const QByteArray SealMark = QByteArrayLiteral("KorvelSHA256\0\0\0\0");
constexpr qsizetype SealSize = 16 + 32;

} // namespace

QByteArray SealImage(const QByteArray& image) {
    if (image.isEmpty()) return image; // "no file" stays an empty BLOB
    return image + SealMark + QCryptographicHash::hash(image, QCryptographicHash::Sha256);
}

bool UnsealImage(const QByteArray& blob, QByteArray* image) {
    const qsizetype size = blob.size() - SealSize;
    if (blob.size() % 512 != SealSize || blob.mid(size, SealMark.size()) != SealMark) {
        *image = blob; // archived before checksums (or damaged: the structure check finds it)
        return true;
    }
    *image = blob.left(size);
    return QCryptographicHash::hash(*image, QCryptographicHash::Sha256) ==
           blob.mid(size + SealMark.size());
}

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
            if (!f.addedLater && !columns.contains(f.name.toLower()))
                result = fileFailure(def.name, FileError::BadFileStructure,
                                     QStringLiteral(": ") + f.name);
    }
    if (rc != SQLITE_OK) result = fileFailure(def.name, fileErrorOf(rc));
    sqlite3_close_v2(db);
    return result;
}

namespace {

const QString ListFile = QStringLiteral("Korvel.install");
const QString OldSuffix = QStringLiteral(".restore-old");   // the old file, kept to the end
const QString NoneSuffix = QStringLiteral(".restore-none"); // there was no old file
const QString JournalSuffix = QStringLiteral("-journal");
const QString OldJournalSuffix = QStringLiteral(".restore-old-journal");

QByteArray encoded(const QString& path) { return QFile::encodeName(path); }

bool exists(const QString& path) {
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

/// Puts `from` in the place of `to` in one step, replacing `to` when it exists. Windows
/// refuses while another program has `to` open, which the install then reports.
bool replaceWith(const QString& from, const QString& to) {
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(to).utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return ::rename(encoded(from).constData(), encoded(to).constData()) == 0;
#endif
}

/// Keeps the file at `path` under the name `keep` while it stays where it is: a second name
/// where the file system has them, a synced copy where it has not.
bool keepAside(const QString& path, const QString& keep) {
#ifndef Q_OS_WIN
    if (::link(encoded(path).constData(), encoded(keep).constData()) == 0) return true;
    if (exists(keep)) return false;
#endif
    return QFile::copy(path, keep) && syncPath(keep, false);
}

bool removeFile(const QString& path) { return !exists(path) || QFile::remove(path); }

/// Whether `path` is a file an install left (a folder of that name is nobody's trace).
bool isTrace(const QString& path) { return QFileInfo(path).isFile(); }

struct Entry {
    QString path; ///< absolute
    bool remove = false;
    QByteArray bytes;
};

/// The lines of a marker or list: paths relative to the folder, so that a copy of a folder
/// left by an interrupted install finishes it in the copy, never in the original.
QByteArray listText(const QString& workDir, const std::vector<Entry>& entries) {
    QStringList lines;
    for (const Entry& e : entries)
        lines << QDir(workDir).relativeFilePath(e.path) + QLatin1Char('\t') +
                     (e.remove ? QStringLiteral("remove") : QStringLiteral("replace"));
    return lines.join(QLatin1Char('\n')).toUtf8() + '\n';
}

bool readList(const QString& workDir, const QString& file, std::vector<Entry>* out) {
    QFile m(QDir(workDir).filePath(file));
    if (!m.open(QIODevice::ReadOnly)) return false;
    const QStringList lines =
        QString::fromUtf8(m.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        QString path = line.section(QLatin1Char('\t'), 0, 0);
        // Markers of earlier versions held absolute paths: the file of that name here.
        if (QDir::isAbsolutePath(path)) path = QFileInfo(path).fileName();
        if (path.isEmpty()) continue;
        out->push_back({QDir::cleanPath(QDir(workDir).filePath(path)),
                        line.section(QLatin1Char('\t'), 1, 1) == QLatin1String("remove"),
                        {}});
    }
    return true;
}

/// Every file of the folder that an install leaves beside a data file, by the data file.
std::vector<Entry> tracesInFolder(const QString& workDir) {
    std::vector<Entry> out;
    QSet<QString> seen;
    for (const QString& suffix : {NewSuffix, OldSuffix, NoneSuffix, OldJournalSuffix})
        for (const QString& f : QDir(workDir).entryList({QLatin1Char('*') + suffix},
                                                        QDir::Files | QDir::Hidden)) {
            const QString path = QDir(workDir).filePath(f.chopped(suffix.size()));
            if (!seen.contains(path)) out.push_back({path, false, {}});
            seen.insert(path);
        }
    return out;
}

/// Takes one file to its new state, keeping the old one aside; true when it is there.
/// `resuming`: an interrupted install, whose old file may be kept aside already.
bool forwardOne(const Entry& e, QString* failedAt, bool resuming) {
    const QString fresh = e.path + NewSuffix;
    const QString journal = e.path + JournalSuffix;
    const bool pending = e.remove ? exists(e.path) : isTrace(fresh);
    if (!pending) return true; // done already
    if (!resuming || (!isTrace(e.path + OldSuffix) && !isTrace(e.path + NoneSuffix))) {
        const bool kept = exists(e.path) ? keepAside(e.path, e.path + OldSuffix)
                                         : writeSynced(e.path + NoneSuffix, {});
        if (!kept) return *failedAt = e.path, false;
    }
    // A journal left beside the old file belongs to it: applied to the new file it would
    // damage it, so it goes aside with the old file (and comes back if the install is undone).
    if (exists(journal) && !replaceWith(journal, e.path + OldJournalSuffix))
        return *failedAt = journal, false;
    const bool placed = e.remove ? QFile::remove(e.path) : replaceWith(fresh, e.path);
    if (!placed) *failedAt = e.path;
    return placed;
}

/// Puts one file back as it was before the install.
bool undoOne(const Entry& e, QString* failedAt) {
    bool ok = true;
    auto check = [&](bool step, const QString& path) {
        if (!step && ok) *failedAt = path;
        ok = ok && step;
    };
    if (isTrace(e.path + OldSuffix))
        check(replaceWith(e.path + OldSuffix, e.path), e.path);
    else if (isTrace(e.path + NoneSuffix))
        check(removeFile(e.path) && removeFile(e.path + NoneSuffix), e.path);
    if (isTrace(e.path + OldJournalSuffix))
        check(replaceWith(e.path + OldJournalSuffix, e.path + JournalSuffix),
              e.path + JournalSuffix);
    if (isTrace(e.path + NewSuffix)) check(QFile::remove(e.path + NewSuffix), e.path + NewSuffix);
    return ok;
}

/// The old files kept aside go once every new file is in place.
bool dropKept(const std::vector<Entry>& entries, QString* failedAt) {
    bool ok = true;
    for (const Entry& e : entries)
        for (const QString& suffix : {OldSuffix, NoneSuffix, OldJournalSuffix, NewSuffix})
            if (isTrace(e.path + suffix) && !QFile::remove(e.path + suffix) && ok) {
                *failedAt = e.path + suffix;
                ok = false;
            }
    return ok;
}

bool finishForward(const QString& workDir, const std::vector<Entry>& entries,
                   QString* failedAt) {
    for (const Entry& e : entries)
        if (!forwardOne(e, failedAt, true)) return false;
    syncPath(workDir, true);
    if (!dropKept(entries, failedAt)) return false;
    const QDir dir(workDir);
    if (!removeFile(dir.filePath(Marker))) return *failedAt = dir.filePath(Marker), false;
    syncPath(workDir, true);
    removeFile(dir.filePath(ListFile));
    syncPath(workDir, true);
    return true;
}

bool undoAll(const QString& workDir, const std::vector<Entry>& entries, QString* failedAt) {
    bool ok = true;
    for (const Entry& e : entries) ok = undoOne(e, failedAt) && ok;
    for (const Entry& e : tracesInFolder(workDir)) ok = undoOne(e, failedAt) && ok;
    syncPath(workDir, true);
    if (ok) ok = dropKept(entries, failedAt);
    if (ok) removeFile(QDir(workDir).filePath(ListFile));
    syncPath(workDir, true);
    return ok;
}

Outcome installFailure(const QString& path, int fileError = FileError::AccessDenied) {
    return Outcome::failure(Outcome::Status::Error, Msg::CreateError,
                            {QDir::toNativeSeparators(path), {}, {}, fileErrorText(fileError)},
                            fileError);
}

} // namespace

Outcome InstallDataFiles(Store& store, const std::vector<FileContents>& files,
                         const std::function<InstallStep(int)>& step,
                         const std::vector<ExtraFile>& extra) {
    const QString workDir = store.workDir();
    const QDir dir(workDir);
    struct BatchSync {
        explicit BatchSync(bool batch) { withoutSync = batch; }
        ~BatchSync() { withoutSync = false; }
    } batchSync(store.inBatch());
    // Traces of an earlier install that was cut short go first (old or new data, whole).
    if (InstallPending(workDir) && !FinishInterruptedInstall(workDir))
        return installFailure(dir.filePath(Marker));

    std::vector<Entry> entries;
    for (const FileContents& f : files)
        entries.push_back({store.file(f.id).path(), f.bytes.isEmpty(), f.bytes});
    for (const ExtraFile& f : extra) entries.push_back({f.path, false, f.bytes});

    int n = 0;
    InstallStep action = InstallStep::Go;
    auto go = [&] {
        action = step ? step(++n) : InstallStep::Go;
        return action == InstallStep::Go;
    };
    const auto crashed = [] { return Outcome::failure(Outcome::Status::Refused, 0, {}); };
    QString failedAt;
    // Before the marker nothing of the old data has changed: a failure only clears away.
    auto failedBeforeMarker = [&](const QString& path) {
        QString ignored;
        undoAll(workDir, entries, &ignored);
        return installFailure(path);
    };

    // 1. The list of what is being installed, so that a cut-short install can be undone even
    //    for data files outside the folder.
    if (!go() && action == InstallStep::Crash) return crashed();
    if (action == InstallStep::Fail || !writeSynced(dir.filePath(ListFile), listText(workDir, entries)) ||
        !syncPath(workDir, true))
        return failedBeforeMarker(dir.filePath(ListFile));
    // 2. The new files beside the old ones.
    for (const Entry& e : entries) {
        if (e.remove) continue;
        if (!go() && action == InstallStep::Crash) return crashed();
        if (action == InstallStep::Fail || !writeSynced(e.path + NewSuffix, e.bytes))
            return failedBeforeMarker(e.path + NewSuffix);
    }
    // 3. The marker: from here on a crash ends with the new data.
    if (!go() && action == InstallStep::Crash) return crashed();
    if (action == InstallStep::Fail || !writeSynced(dir.filePath(Marker), listText(workDir, entries)) ||
        !syncPath(workDir, true)) {
        removeFile(dir.filePath(Marker));
        return failedBeforeMarker(dir.filePath(Marker));
    }
    // 4. Into place, one by one, each old file kept aside until all are in.
    for (const Entry& e : entries) {
        if (!go() && action == InstallStep::Crash) return crashed();
        if (action == InstallStep::Fail) failedAt = e.path;
        if (action == InstallStep::Fail || !forwardOne(e, &failedAt, false)) {
            // Back to the old data: without the marker a crash from here on undoes too.
            QString undoFailed;
            if (QFile::remove(dir.filePath(Marker)) && syncPath(workDir, true) &&
                undoAll(workDir, entries, &undoFailed))
                return installFailure(failedAt);
            // Neither way back: the install is finished rather than left half done.
            if (exists(dir.filePath(Marker)) && finishForward(workDir, entries, &undoFailed)) {
                store.history().clear();
                return Outcome::success();
            }
            return installFailure(undoFailed.isEmpty() ? failedAt : undoFailed);
        }
    }
    if (!finishForward(workDir, entries, &failedAt)) return installFailure(failedAt);
    // A restore or an import: the steps of the edit history were taken over other data.
    store.history().clear();
    return Outcome::success();
}

bool InstallPending(const QString& workDir) {
    const QDir dir(workDir);
    if (dir.exists(Marker) || dir.exists(ListFile)) return true;
    for (const QString& suffix : {NewSuffix, OldSuffix, NoneSuffix, OldJournalSuffix})
        if (!dir.entryList({QLatin1Char('*') + suffix}, QDir::Files | QDir::Hidden).isEmpty())
            return true;
    return false;
}

bool FinishInterruptedInstall(const QString& workDir) {
    const QDir dir(workDir);
    std::vector<Entry> entries;
    QString failedAt;
    if (dir.exists(Marker)) {
        // Interrupted after the marker: the new data goes in.
        if (!readList(workDir, Marker, &entries)) return false;
        return finishForward(workDir, entries, &failedAt);
    }
    // Interrupted before the marker, or undone half way: the old data stands.
    if (dir.exists(ListFile)) readList(workDir, ListFile, &entries);
    return undoAll(workDir, entries, &failedAt);
}


} // namespace tamsel
