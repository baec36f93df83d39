#pragma once

#include "tamsel/ErrorReporter.h"
#include "tamsel/Schema.h"

#include <QHash>
#include <functional>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace tamsel {

/// The result of a store operation. Expected refusals (a duplicate key) are outcomes, not
/// exceptions; `msgNo` and `args` say which data-layer message describes it.
struct Outcome {
    enum class Status { Ok, NotFound, Duplicate, Refused, Error };
    Status status = Status::Ok;
    int msgNo = 0;
    ErrorArgs args;
    int fileError = 0; ///< number of the file error text, 0 when none

    bool ok() const { return status == Status::Ok; }
    explicit operator bool() const { return ok(); }

    static Outcome success() { return {}; }
    static Outcome failure(Status s, int msgNo, ErrorArgs args, int fileError = 0) {
        return Outcome{s, msgNo, std::move(args), fileError};
    }
};

/// Which records a scan visits, in the order of one key.
struct Query {
    int key = 0;
    /// Start position: records at or after these key values (nullptr = from the start).
    const Row* from = nullptr;
    /// How many leading key components must equal those of `from` (0 = read to the end).
    int equalLeading = 0;
};

/// Maps an SQLite result code to the number of a file error text.
int fileErrorOf(int sqliteCode);
/// The user's text for an SQLite failure, e.g. "Неверная структура файла".
QString errorTextOf(int sqliteCode);

/// A thin wrapper over a prepared statement that is always reset after use, so that an
/// unfinished read never blocks a writer.
class Statement {
public:
    Statement() = default;
    Statement(sqlite3* db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool valid() const { return stmt_ != nullptr; }
    int prepareError() const { return prepareRc_; }
    sqlite3_stmt* get() const { return stmt_; }
    void bind(int pos, const Value& v);
    void bindInt(int pos, qint64 v);
    void bindText(int pos, const QString& v);
    int step();
    void reset();
    qint64 columnInt(int col) const;
    QString columnText(int col) const;
    QByteArray columnBlob(int col) const;

private:
    sqlite3_stmt* stmt_ = nullptr;
    int prepareRc_ = 0;
};

/// The generic operations on one data file's table over one SQLite connection, with the
/// file's database reachable under `schema` ("main" on the file's own connection, an attached
/// name inside a transaction). Statements are prepared once and cached.
class Table {
public:
    Table(sqlite3* db, const FileDef& def, QString schema);
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    const FileDef& def() const { return def_; }
    sqlite3* connection() const { return db_; }
    /// False for the stand-in table of a file that could not be opened: every operation on
    /// it fails with "Файл не был открыт" instead of touching a connection.
    bool isOpen() const { return db_ != nullptr; }
    /// The outcome of the last read (scan, fetch, count); reads return plain values, so a
    /// caller that must tell "no records" from "unreadable" asks here.
    const Outcome& lastReadOutcome() const { return lastRead_; }
    /// True once per run of failures: the first failed read after a success (or ever)
    /// should be shown, the ones after it would only repeat the message.
    bool takeReadFailureToShow();

    /// The record whose every component of `key` equals those of `values`; false when none
    /// (then `out` is the all-zero record).
    bool fetch(int key, const Row& values, Row& out, Outcome* error = nullptr);
    bool fetchRowId(RowId id, Row& out);
    /// Visits the records of `q` in key order until `visit` returns false.
    Outcome scan(const Query& q, const std::function<bool(const Row&)>& visit);
    std::vector<Row> select(const Query& q);
    /// Every record in the order of `key`.
    std::vector<Row> all(int key = 0);
    qint64 count();
    /// The highest stored value of a field, 0 for an empty file.
    qint64 maxOf(int field, bool* ok = nullptr);

    /// The all-zero record with the automatic numbers and constant defaults set.
    Row prime(Outcome* error = nullptr);

    /// Stores a new record; sets its rowId. A second record on a unique key is refused with
    /// message 13 naming the key's description.
    Outcome insert(Row& row);
    /// Stores a changed record (identified by rowId).
    Outcome update(const Row& row);
    Outcome remove(RowId id);

    /// Deletes every record whose first `leading` components of `key` equal those of
    /// `values`, in one statement; `removed` receives how many.
    Outcome removeMatching(int key, const Row& values, int leading, qint64* removed = nullptr);
    /// Deletes every record of the file, without the relation rules (the caller empties the
    /// files that refer to it as well).
    Outcome removeAll();
    /// Sets `fields` to 0 or empty in every record matched as by removeMatching().
    Outcome clearMatching(int key, const Row& values, int leading, const std::vector<int>& fields);

    /// The first unique key that `row` would duplicate (ignoring the record itself), or -1.
    int duplicateKey(const Row& row, Outcome* error = nullptr);

    /// An outcome for a failed SQLite call with this file's name.
    Outcome sqliteFailure(int msgNo, int rc) const;

    /// Moves the table to another connection (nullptr: every operation fails), dropping the
    /// statements of the old one. Only between operations.
    void rebind(sqlite3* db);

private:
    Statement& cached(const QString& id, const std::function<QString()>& sql);
    QString qualified() const;
    QString selectList() const;
    Row readRow(const Statement& st) const;
    void bindRow(Statement& st, const Row& row, int firstPos) const;
    QString orderBy(int key) const;
    QString positionClause(const Query& q, int* bindCount) const;
    void bindPosition(Statement& st, const Query& q, int firstPos) const;
    Value keyValue(int field, const Row& row) const;
    Outcome readOutcome(Outcome o);

    sqlite3* db_;
    const FileDef& def_;
    QString schema_;
    QHash<QString, std::shared_ptr<Statement>> cache_;
    Statement closed_; ///< handed out by cached() while there is no connection
    Outcome lastRead_;
    bool readFailureShown_ = false;
};

} // namespace tamsel
