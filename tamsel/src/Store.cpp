#include "tamsel/Store.h"

#include "tamsel/Access.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QThread>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <thread>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tamsel {

namespace {

/// The identity of the file a path names now (0, 0 when there is none).
std::pair<quint64, quint64> identityOf(const QString& path) {
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return {0, 0};
#else
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {0, 0};
    return {quint64(st.st_dev), quint64(st.st_ino)};
#endif
}

/// How long a statement waits for another connection's lock before it gives up. Tests of
/// locked files shorten it through KORVEL_BUSY_WAIT_MS (read at every open); the program never
/// sets it.
int busyTimeoutMs() {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("KORVEL_BUSY_WAIT_MS", &ok);
    return ok && ms > 0 ? ms : 2000;
}

QString quoted(const QString& name) { return QLatin1Char('"') + name + QLatin1Char('"'); }

/// Runs one statement that returns at most one row; the first column of that row as text.
int execScalar(sqlite3* db, const QString& sql, QString* result = nullptr) {
    Statement st(db, sql);
    if (!st.valid()) return st.prepareError();
    const int rc = st.step();
    if (rc == SQLITE_ROW) {
        if (result) *result = st.columnText(0);
        while (st.step() == SQLITE_ROW) {
        }
        return SQLITE_OK;
    }
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int exec(sqlite3* db, const QString& sql) {
    return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
}

QString columnSql(const FieldDef& f) {
    switch (f.type) {
    case FieldType::String: return quoted(f.name) + QStringLiteral(" TEXT NOT NULL DEFAULT ''");
    case FieldType::Blob: return quoted(f.name) + QStringLiteral(" BLOB");
    default: return quoted(f.name) + QStringLiteral(" INTEGER NOT NULL DEFAULT 0");
    }
}

QString createTableSql(const FileDef& def) {
    QStringList cols;
    for (const FieldDef& f : def.fields)
        cols << columnSql(f);
    for (const FieldDef& f : def.fields)
        if (f.isText() && f.inKey)
            cols << quoted(f.keyColumn()) + QStringLiteral(" TEXT NOT NULL DEFAULT ''");
    return QStringLiteral("CREATE TABLE ") + quoted(def.name) + QStringLiteral(" (") +
           cols.join(QStringLiteral(", ")) + QStringLiteral(")");
}

QString createIndexSql(const FileDef& def, const KeyDef& key) {
    QStringList cols;
    for (const KeyComponent& c : key.components)
        cols << quoted(def.fields[static_cast<size_t>(c.field)].keyColumn()) +
                    (c.descending ? QStringLiteral(" DESC") : QString());
    return QStringLiteral("CREATE ") + (key.unique ? QStringLiteral("UNIQUE ") : QString()) +
           QStringLiteral("INDEX IF NOT EXISTS ") + quoted(key.indexName) +
           QStringLiteral(" ON ") + quoted(def.name) + QStringLiteral("(") +
           cols.join(QLatin1Char(',')) + QStringLiteral(")");
}

} // namespace

DataFile::DataFile(const FileDef& def, QString path, ErrorReporter& errors)
    : def_(def), path_(std::move(path)), errors_(errors),
      closedTable_(nullptr, def, QStringLiteral("main")) {}

DataFile::~DataFile() { forceClose(); }

void DataFile::setPath(const QString& path) {
    if (isOpen()) return;
    if (path != path_) checked_ = false;
    path_ = path;
}

Table& DataFile::table() { return table_ ? *table_ : closedTable_; }

Outcome DataFile::failure(int msgNo, int rc) const {
    return failureText(msgNo, fileErrorOf(rc), errorTextOf(rc).mid(fileErrorText(fileErrorOf(rc)).size()));
}

Outcome DataFile::failureText(int msgNo, int fileError, const QString& detail) const {
    ErrorArgs a;
    a.file = QDir::toNativeSeparators(path_);
    a.errorText = fileErrorText(fileError) + detail;
    return Outcome::failure(Outcome::Status::Error, msgNo, a, fileError);
}

bool DataFile::open(bool report) {
    if (users_ > 0) {
        ++users_;
        return true;
    }
    lastError_ = Outcome::success();
    bool ok = openConnection();
    if (!ok && lastError_.fileError == FileError::FileLocked) {
        // A lock left by a process that has ended is released by the system; give it a
        // moment and try once more before giving up.
        QThread::msleep(200);
        lastError_ = Outcome::success();
        ok = openConnection();
    }
    if (!ok) {
        if (report) errors_.report(lastError_.msgNo, lastError_.args);
        return false;
    }
    users_ = 1;
    return true;
}

void DataFile::close() {
    if (users_ == 0) return;
    if (--users_ == 0) forceClose();
}

void DataFile::forceClose() {
    table_.reset();
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
    users_ = 0;
}

bool DataFile::replacedOnDisk() const {
    if (!db_) return false;
    return identityOf(path_) != std::pair<quint64, quint64>(device_, inode_);
}

bool DataFile::reopen() {
    if (!db_) return true;
    sqlite3* old = db_;
    db_ = nullptr;
    lastError_ = Outcome::success();
    std::unique_ptr<Table> kept = std::move(table_);
    const bool ok = openConnection();
    // The accesses of the callers hold the table: it stays, on the new connection.
    kept->rebind(ok ? db_ : nullptr);
    table_ = std::move(kept);
    sqlite3_close_v2(old); // statements still held close it when they are let go
    if (!ok) errors_.report(lastError_.msgNo, lastError_.args);
    return ok;
}

bool DataFile::openConnection() {
    // Taken before the open: a file replaced in between is then found replaced later,
    // never the other way round.
    std::tie(device_, inode_) = identityOf(path_);
    const QFileInfo info(path_);
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX;
#ifdef SQLITE_OPEN_NOFOLLOW
    flags |= SQLITE_OPEN_NOFOLLOW;
#endif
    if (info.isSymLink()) {
        // Written through, the link would change a database elsewhere and leave its journal
        // beside the link: the school's data files are files of their own.
        lastError_ = failureText(Msg::OpenError, FileError::AccessDenied,
                                 QStringLiteral(": файл — символическая ссылка на «%1»; замените "
                                                "ссылку самим файлом")
                                     .arg(QDir::toNativeSeparators(info.symLinkTarget())));
        return false;
    }
    if (!info.exists()) {
        if (!info.absoluteDir().exists()) {
            lastError_ = failureText(Msg::CreateError, FileError::PathNotFound);
            return false;
        }
        flags |= SQLITE_OPEN_CREATE;
    } else if (info.isDir()) {
        lastError_ = failureText(Msg::OpenError, FileError::BadFileName);
        return false;
    } else if (info.size() == 0) {
        // SQLite would take an empty file for a new database; an empty data file is a lost
        // one, and writing over it would hide that.
        lastError_ = failureText(Msg::OpenError, FileError::BadFileStructure,
                                 QString::fromUtf8(": файл пуст"));
        return false;
    }
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(path_).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        lastError_ = failure(info.exists() ? Msg::OpenError : Msg::CreateError, rc);
        sqlite3_close_v2(db);
        return false;
    }
    sqlite3_extended_result_codes(db, 0);
    sqlite3_busy_timeout(db, busyTimeoutMs());
    db_ = db;
    QString mode;
    rc = execScalar(db_, QStringLiteral("PRAGMA journal_mode=DELETE"), &mode);
    if (rc == SQLITE_OK) rc = exec(db_, QStringLiteral("PRAGMA synchronous=FULL"));
    if (rc != SQLITE_OK || !checkStructure()) {
        if (rc != SQLITE_OK) lastError_ = failure(Msg::OpenError, rc);
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return false;
    }
    table_ = std::make_unique<Table>(db_, def_, QStringLiteral("main"));
    return true;
}

bool DataFile::checkStructure() {
    QString found;
    int rc = execScalar(db_,
                        QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND "
                                       "name=") + QLatin1Char('\'') + def_.name +
                            QLatin1Char('\''),
                        &found);
    if (rc != SQLITE_OK) {
        lastError_ = failure(Msg::OpenError, rc);
        return false;
    }
    if (found.isEmpty()) {
        QString other;
        rc = execScalar(db_, QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' "
                                            "AND name NOT LIKE 'sqlite_%' LIMIT 1"),
                        &other);
        if (rc != SQLITE_OK || !other.isEmpty()) {
            // Someone else's database: never alter it.
            lastError_ = rc != SQLITE_OK
                             ? failure(Msg::OpenError, rc)
                             : failureText(Msg::OpenError, FileError::BadFileStructure);
            return false;
        }
        QStringList sql{QStringLiteral("BEGIN IMMEDIATE"), createTableSql(def_)};
        for (const KeyDef& k : def_.keys) sql << createIndexSql(def_, k);
        sql << QStringLiteral("COMMIT");
        for (const QString& s : sql) {
            rc = exec(db_, s);
            if (rc != SQLITE_OK) {
                exec(db_, QStringLiteral("ROLLBACK"));
                lastError_ = failure(Msg::CreateError, rc);
                return false;
            }
        }
        checked_ = true;
        return true;
    }

    // Every column the file needs must be there.
    QSet<QString> columns;
    {
        Statement st(db_, QStringLiteral("PRAGMA table_info(") + quoted(def_.name) +
                              QStringLiteral(")"));
        while (st.valid() && st.step() == SQLITE_ROW) columns.insert(st.columnText(1).toLower());
    }
    for (const FieldDef& f : def_.fields) {
        // A file written before a column existed gets it, with its default, in one step.
        if (f.addedLater && !f.inKey && !columns.contains(f.name.toLower())) {
            rc = exec(db_, QStringLiteral("ALTER TABLE ") + quoted(def_.name) +
                               QStringLiteral(" ADD COLUMN ") + columnSql(f));
            if (rc != SQLITE_OK) {
                lastError_ = failure(Msg::OpenError, rc);
                return false;
            }
            columns.insert(f.name.toLower());
        }
        if (!columns.contains(f.name.toLower()) ||
            (f.isText() && f.inKey && !columns.contains(f.keyColumn().toLower()))) {
            lastError_ = failureText(Msg::OpenError, FileError::BadFileStructure,
                                     QStringLiteral(": ") + f.name);
            return false;
        }
    }

    // Missing keys are rebuilt.
    for (const KeyDef& k : def_.keys) {
        QString idx;
        execScalar(db_,
                   QStringLiteral("SELECT name FROM sqlite_master WHERE type='index' AND name='") +
                       k.indexName + QLatin1Char('\''),
                   &idx);
        if (idx.isEmpty()) {
            rc = exec(db_, createIndexSql(def_, k));
            if (rc != SQLITE_OK) {
                lastError_ = failure(Msg::KeyNotBuilt, rc);
                return false;
            }
        }
    }

    if (!checked_) {
        // Damaged keys are rebuilt; damaged data is reported, never "repaired" away.
        QString result;
        rc = execScalar(db_, QStringLiteral("PRAGMA integrity_check(1)"), &result);
        if (rc != SQLITE_OK) {
            lastError_ = failure(Msg::OpenError, rc);
            return false;
        }
        if (result != QLatin1String("ok")) {
            rc = exec(db_, QStringLiteral("REINDEX ") + quoted(def_.name));
            if (rc != SQLITE_OK) {
                lastError_ = failure(Msg::KeyNotBuilt, rc);
                return false;
            }
            result.clear();
            rc = execScalar(db_, QStringLiteral("PRAGMA integrity_check(1)"), &result);
            if (rc != SQLITE_OK || result != QLatin1String("ok")) {
                lastError_ = rc != SQLITE_OK
                                 ? failure(Msg::OpenError, rc)
                                 : failureText(Msg::OpenError, FileError::DataFileDamaged);
                return false;
            }
        }
        checked_ = true;
    }
    return true;
}

bool DataFile::checkDeeply() {
    if (checked_) return true;
    const QFileInfo info(path_);
    if (!info.isFile() || info.size() == 0) return false;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(path_).constData(), &db,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    QString result;
    // No waiting for another program's lock here: a locked file is left to its own open,
    // which waits and names it once, instead of the wait being paid twice.
    if (rc == SQLITE_OK) rc = execScalar(db, QStringLiteral("PRAGMA integrity_check(1)"), &result);
    sqlite3_close_v2(db);
    checked_ = rc == SQLITE_OK && result == QLatin1String("ok");
    return checked_;
}

// ---------------------------------------------------------------------------------------
Store::Store(const Globals& glo, ErrorReporter& errors, QString workDir)
    : glo_(glo), errors_(errors), workDir_(std::move(workDir)) {
    for (int i = 0; i < PhysicalFileCount; ++i) {
        const auto id = static_cast<FileId>(i);
        files_.push_back(std::make_unique<DataFile>(fileDef(id), diskName(id), errors_));
    }
}

Store::~Store() { closeAll(); }

DataFile& Store::file(FileId id) { return *files_[static_cast<size_t>(index(baseOf(id)))]; }

QString Store::diskName(FileId id) const {
    const FileDef& def = fileDef(baseOf(id));
    QString name = glo_.FN[static_cast<size_t>(index(def.id))].trimmed();
    if (name.isEmpty()) name = def.settingsName + QStringLiteral(".db");
    name.replace(QLatin1Char('\\'), QLatin1Char('/')); // settings written on Windows
    return QDir::cleanPath(QDir(workDir_).absoluteFilePath(name));
}

void Store::refreshPaths() {
    for (int i = 0; i < PhysicalFileCount; ++i)
        files_[static_cast<size_t>(i)]->setPath(diskName(static_cast<FileId>(i)));
}

void Store::checkAhead(const std::vector<FileId>& ids) {
    std::vector<DataFile*> todo;
    for (FileId id : ids) {
        DataFile& f = file(id);
        if (!f.checked() && !f.isOpen() && std::find(todo.begin(), todo.end(), &f) == todo.end())
            todo.push_back(&f);
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    if (todo.size() < 2 || cores < 2) return; // one at a time is what the opens do anyway
    // The largest files first, so that the threads end together.
    std::vector<std::pair<qint64, DataFile*>> bySize;
    for (DataFile* f : todo) bySize.emplace_back(QFileInfo(f->path()).size(), f);
    std::stable_sort(bySize.begin(), bySize.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (size_t i = 0; i < todo.size(); ++i) todo[i] = bySize[i].second;
    // Each thread checks whole files, each on a connection of its own.
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i; (i = next.fetch_add(1)) < todo.size();)
            todo[i]->checkDeeply();
    };
    std::vector<std::thread> threads;
    for (unsigned t = 1; t < std::min<unsigned>(cores, unsigned(todo.size())); ++t)
        threads.emplace_back(work);
    work();
    for (std::thread& t : threads)
        t.join();
}

void Store::checkAllAhead() {
    std::vector<FileId> ids;
    for (int i = 0; i < PhysicalFileCount; ++i) ids.push_back(static_cast<FileId>(i));
    checkAhead(ids);
}

void Store::closeAll() {
    for (auto& f : files_) f->forceClose();
}

bool Store::reopenReplaced() {
    bool ok = true;
    for (auto& f : files_)
        if (f->replacedOnDisk()) {
            // Rows of another program's data: no step of ours describes them. (A file the
            // open created had no identity before; it is ours.)
            if (!f->createdAtOpen()) history_.clear();
            ok = f->reopen() && ok;
        }
    return ok;
}

namespace {
/// Writes a file (or, on Unix, a folder's entries) through to the disk.
bool syncToDisk(const QString& path, bool folder) {
#ifdef Q_OS_WIN
    if (folder) return true; // Windows keeps folder entries with the files
    QFile f(path);
    return f.open(QIODevice::ReadWrite) && _commit(f.handle()) == 0;
#else
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | (folder ? O_DIRECTORY : 0));
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
#endif
}
} // namespace

bool Store::endBatch() {
    if (!batch_) return true;
    batch_ = false;
    bool ok = true;
    for (int i = 0; i < PhysicalFileCount; ++i) {
        const QString path = diskName(static_cast<FileId>(i));
        if (QFileInfo::exists(path)) ok = syncToDisk(path, false) && ok;
    }
    return syncToDisk(workDir_, true) && ok;
}

} // namespace tamsel
