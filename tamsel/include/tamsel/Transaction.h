#pragma once

#include "tamsel/EditHistory.h"
#include "tamsel/Store.h"

#include <map>
#include <memory>

namespace tamsel {

template <class R> class Access;

/// One all-or-nothing write over several data files: a connection on the first file with
/// the others attached, in rollback-journal mode so that the commit covers every file.
/// The destructor rolls back whatever was not committed.
class Transaction {
public:
    /// Opens the files (through the store, so they exist and are checked) and begins.
    /// `waitMs` is how long to wait for other writers before giving up.
    Transaction(Store& store, std::vector<FileId> files, int waitMs = 2000);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    /// False when the transaction could not start; error() says why (message 21).
    bool active() const { return active_; }
    const Outcome& error() const { return error_; }

    /// The table of a file (or alias) taking part in the transaction.
    Table& table(FileId id);
    bool has(FileId id) const;
    template <class R> Access<R> access();

    Outcome commit();
    void rollback();

    /// The connection, for the core's own statements over the files (the edit history).
    sqlite3* connection() const { return db_; }
    /// The schema name a file has in the transaction ("main", "f1", ...).
    QString schema(FileId id) const;

    /// A point inside the transaction to go back to: the writes of one step (the lessons of
    /// one placement) are kept together or undone together, while the transaction goes on.
    Outcome savepoint();
    Outcome releaseSavepoint();
    Outcome rollbackToSavepoint();

    /// Debian's SQLite attaches at most 10 databases besides the main one.
    static constexpr int MaxFiles = 11;

private:
    /// The name of the first file of the transaction that another connection keeps locked.
    QString lockedFileName() const;

    Store& store_;
    std::vector<FileId> files_;
    std::vector<std::unique_ptr<FileUse>> uses_;
    sqlite3* db_ = nullptr;
    std::map<FileId, std::unique_ptr<Table>> tables_;
    std::map<FileId, std::unique_ptr<Table>> closed_;
    /// Present while a step of the edit history records what this transaction writes.
    std::unique_ptr<EditHistory::Recorder> recorder_;
    bool active_ = false;
    Outcome error_;
};

} // namespace tamsel
