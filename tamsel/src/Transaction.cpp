#include "tamsel/Transaction.h"

#include <QFile>
#include <algorithm>
#include <sqlite3.h>

namespace tamsel {

Transaction::Transaction(Store& store, std::vector<FileId> files, int waitMs) : store_(store) {
    for (FileId f : files) {
        const FileId b = baseOf(f);
        if (std::find(files_.begin(), files_.end(), b) == files_.end()) files_.push_back(b);
    }
    auto fail = [&](int fileError, const QString& file, const QString& detail = {}) {
        error_ = Outcome::failure(Outcome::Status::Error, Msg::TransactionCancelled,
                                  {file, {}, {}, fileErrorText(fileError) + detail}, fileError);
    };
    if (files_.empty()) return;
    const QString firstName = fileDef(files_.front()).name;
    if (const QString busy = store_.writeGate ? store_.writeGate() : QString(); !busy.isEmpty()) {
        error_ = Outcome::failure(Outcome::Status::Refused, Msg::TransactionCancelled,
                                  {firstName, {}, {}, busy});
        return;
    }
    if (static_cast<int>(files_.size()) > MaxFiles) {
        fail(FileError::TooManyFiles, firstName);
        return;
    }
    for (FileId f : files_) {
        auto use = std::make_unique<FileUse>(store_, f, false);
        if (!use->ok()) {
            error_ = use->file().lastError();
            error_.msgNo = Msg::TransactionCancelled;
            error_.args.file = fileDef(f).name;
            return;
        }
        uses_.push_back(std::move(use));
    }

    auto sqliteFail = [&](int rc, const QString& file) {
        error_ = Outcome::failure(Outcome::Status::Error, Msg::TransactionCancelled,
                                  {file, {}, {}, errorTextOf(rc)}, fileErrorOf(rc));
    };
    const QByteArray mainPath = QFile::encodeName(store_.file(files_.front()).path());
    int rc = sqlite3_open_v2(mainPath.constData(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        sqliteFail(rc, firstName);
        return;
    }
    sqlite3_busy_timeout(db_, waitMs);
    // In a batch the commit does not wait for the disk; Store::endBatch() syncs at the end.
    const char* sync = store_.inBatch() ? "OFF" : "FULL";
    // Statement journals (savepoints) in memory: on disk they cost a write per changed page
    // and savepoint, and they never need to outlive the connection.
    const QByteArray pragmas = QByteArray("PRAGMA journal_mode=DELETE; PRAGMA temp_store=MEMORY; "
                                          "PRAGMA synchronous=") +
                               sync;
    rc = sqlite3_exec(db_, pragmas.constData(), nullptr, nullptr, nullptr);
    for (size_t i = 1; rc == SQLITE_OK && i < files_.size(); ++i) {
        Statement st(db_, QStringLiteral("ATTACH DATABASE ? AS f%1").arg(i));
        if (!st.valid()) {
            rc = st.prepareError();
            break;
        }
        st.bindText(1, store_.file(files_[i]).path());
        rc = st.step();
        rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
        if (rc == SQLITE_OK) {
            const QString pragma = QStringLiteral("PRAGMA f%1.journal_mode=DELETE; PRAGMA "
                                                  "f%1.synchronous=%2")
                                       .arg(i)
                                       .arg(QLatin1String(sync));
            rc = sqlite3_exec(db_, pragma.toUtf8().constData(), nullptr, nullptr, nullptr);
        }
    }
    if (rc == SQLITE_OK) rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        sqliteFail(rc, (rc & 0xff) == SQLITE_BUSY ? lockedFileName() : firstName);
        return;
    }
    for (size_t i = 0; i < files_.size(); ++i)
        tables_[files_[i]] = std::make_unique<Table>(
            db_, fileDef(files_[i]), i == 0 ? QStringLiteral("main") : QStringLiteral("f%1").arg(i));
    active_ = true;
    recorder_ = store_.history().recorderFor(db_, files_);
    if (store_.transactionHook) store_.transactionHook(db_, files_);
}

QString Transaction::schema(FileId id) const {
    const auto it = std::find(files_.begin(), files_.end(), baseOf(id));
    const auto i = it - files_.begin();
    return i == 0 ? QStringLiteral("main") : QStringLiteral("f%1").arg(i);
}

QString Transaction::lockedFileName() const {
    // SQLite says only that one of the attached files is busy; ask each on its own.
    for (FileId f : files_) {
        sqlite3* probe = nullptr;
        const QByteArray path = QFile::encodeName(store_.file(f).path());
        bool busy = false;
        if (sqlite3_open_v2(path.constData(), &probe, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
            const int rc = sqlite3_exec(probe, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
            busy = (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
            if (rc == SQLITE_OK) sqlite3_exec(probe, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        sqlite3_close_v2(probe);
        if (busy) return fileDef(f).name;
    }
    return fileDef(files_.front()).name;
}

Transaction::~Transaction() {
    rollback();
    tables_.clear();
    recorder_.reset();
    if (db_) sqlite3_close_v2(db_);
}

bool Transaction::has(FileId id) const { return tables_.count(baseOf(id)) > 0; }

Table& Transaction::table(FileId id) {
    auto it = tables_.find(baseOf(id));
    if (it == tables_.end()) {
        // A file that is not part of the transaction (or a transaction that never began):
        // a stand-in on which every operation fails rather than a dangling reference.
        it = closed_.find(baseOf(id));
        if (it == closed_.end())
            it = closed_.emplace(baseOf(id), std::make_unique<Table>(nullptr, fileDef(baseOf(id)),
                                                                     QStringLiteral("main")))
                     .first;
    }
    return *it->second;
}

Outcome Transaction::commit() {
    if (!active_) return error_;
    const int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        error_ = Outcome::failure(Outcome::Status::Error, Msg::TransactionCancelled,
                                  {fileDef(files_.front()).name, {}, {}, errorTextOf(rc)},
                                  fileErrorOf(rc));
        rollback();
        return error_;
    }
    active_ = false;
    if (recorder_) recorder_->committed();
    return Outcome::success();
}

namespace {
Outcome execIn(sqlite3* db, const char* sql, const QString& file) {
    const int rc = db ? sqlite3_exec(db, sql, nullptr, nullptr, nullptr) : SQLITE_MISUSE;
    if (rc == SQLITE_OK) return Outcome::success();
    return Outcome::failure(Outcome::Status::Error, Msg::TransactionCancelled,
                            {file, {}, {}, errorTextOf(rc)}, fileErrorOf(rc));
}
} // namespace

Outcome Transaction::savepoint() {
    if (!active_) return error_;
    Outcome o = execIn(db_, "SAVEPOINT step", fileDef(files_.front()).name);
    if (o.ok() && recorder_) recorder_->savepoint();
    return o;
}

Outcome Transaction::releaseSavepoint() {
    if (!active_) return error_;
    return execIn(db_, "RELEASE step", fileDef(files_.front()).name);
}

Outcome Transaction::rollbackToSavepoint() {
    if (!active_) return error_;
    Outcome o = execIn(db_, "ROLLBACK TO step", fileDef(files_.front()).name);
    if (o.ok() && recorder_) recorder_->rolledBackToSavepoint();
    if (o.ok()) o = execIn(db_, "RELEASE step", fileDef(files_.front()).name);
    return o;
}

void Transaction::rollback() {
    if (!active_) return;
    // Statements must be finished before a rollback can release the locks.
    for (auto& [id, t] : tables_) t.reset();
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    active_ = false;
}

} // namespace tamsel
