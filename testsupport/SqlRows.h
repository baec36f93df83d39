#pragma once

// What the independent checkers share: reading a query's rows with the stock SQLite library,
// nothing of the program's own code.

#include <QFile>
#include <QString>
#include <QStringList>
#include <sqlite3.h>

namespace testsupport {

/// Each row of `sql` as its columns joined by blanks; a query that cannot run gives one row
/// saying so, so that a checker never passes by reading nothing.
inline QStringList sqlRows(sqlite3* db, const char* sql) {
    QStringList out;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        out << QStringLiteral("the check could not run: ") + QString::fromUtf8(sqlite3_errmsg(db));
        return out;
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList cols;
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            cols << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
        out << cols.join(QLatin1Char(' '));
    }
    sqlite3_finalize(st);
    return out;
}

/// The rows of `query` as another program reads the database file at `path`, after its own
/// `change` (SQL; empty for none).
inline QStringList readAsAnotherProgram(const QString& path, const char* change,
                                        const char* query) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, change, nullptr, nullptr, nullptr);
    const QStringList out = sqlRows(db, query);
    sqlite3_close(db);
    return out;
}

/// An in-memory connection with data files attached under names of the checker's choosing.
class AttachedFiles {
public:
    AttachedFiles() { sqlite3_open(":memory:", &db_); }
    ~AttachedFiles() { sqlite3_close(db_); }
    AttachedFiles(const AttachedFiles&) = delete;
    AttachedFiles& operator=(const AttachedFiles&) = delete;

    void attach(const QString& path, const QByteArray& as) {
        exec(("ATTACH '" + QFile::encodeName(path) + "' AS " + as).constData());
    }
    void exec(const char* sql) { sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }
    QStringList rows(const char* sql) { return sqlRows(db_, sql); }

private:
    sqlite3* db_ = nullptr;
};

/// Each row of a rule's query as one problem: "rule: row".
inline void addProblems(QStringList& problems, const QString& rule, const QStringList& rows) {
    for (const QString& r : rows)
        problems << rule + QStringLiteral(": ") + r;
}

} // namespace testsupport
