#include "tamsel/Table.h"

#include <sqlite3.h>

namespace tamsel {

namespace {
QString quoted(const QString& name) { return QLatin1Char('"') + name + QLatin1Char('"'); }
} // namespace

int fileErrorOf(int rc) {
    switch (rc & 0xff) {
    case SQLITE_OK: return 0;
    case SQLITE_CANTOPEN: return FileError::AccessDenied;
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_AUTH: return FileError::AccessDenied;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return FileError::FileLocked;
    case SQLITE_NOTADB: return FileError::BadFileStructure;
    case SQLITE_CORRUPT: return FileError::DataFileDamaged;
    case SQLITE_NOMEM: return FileError::OutOfMemory;
    case SQLITE_CONSTRAINT: return FileError::DuplicateKey;
    case SQLITE_NOTFOUND: return FileError::RecordNotFound;
    default: return FileError::DriverError;
    }
}

QString errorTextOf(int rc) {
    QString text = fileErrorText(fileErrorOf(rc));
    // Name the causes a user can act on that the error table has no text for.
    switch (rc & 0xff) {
    case SQLITE_FULL: text += QString::fromUtf8(": диск переполнен"); break;
    case SQLITE_IOERR: text += QString::fromUtf8(": ошибка ввода-вывода"); break;
    default: break;
    }
    return text;
}

// ---------------------------------------------------------------------------------------
Statement::Statement(sqlite3* db, const QString& sql) {
    if (!db) {
        prepareRc_ = SQLITE_MISUSE;
        return;
    }
    const QByteArray utf8 = sql.toUtf8();
    prepareRc_ = sqlite3_prepare_v3(db, utf8.constData(), static_cast<int>(utf8.size()),
                                    SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    if (prepareRc_ != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

void Statement::bind(int pos, const Value& v) {
    if (const auto* n = std::get_if<qint64>(&v))
        sqlite3_bind_int64(stmt_, pos, *n);
    else if (const auto* s = std::get_if<QString>(&v))
        bindText(pos, *s);
    else {
        const QByteArray& b = std::get<QByteArray>(v);
        sqlite3_bind_blob64(stmt_, pos, b.isNull() ? "" : b.constData(),
                            static_cast<sqlite3_uint64>(b.size()), SQLITE_TRANSIENT);
    }
}

void Statement::bindInt(int pos, qint64 v) { sqlite3_bind_int64(stmt_, pos, v); }

void Statement::bindText(int pos, const QString& v) {
    const QByteArray utf8 = v.toUtf8();
    sqlite3_bind_text64(stmt_, pos, utf8.constData(), static_cast<sqlite3_uint64>(utf8.size()),
                        SQLITE_TRANSIENT, SQLITE_UTF8);
}

int Statement::step() { return sqlite3_step(stmt_); }

void Statement::reset() {
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

qint64 Statement::columnInt(int col) const { return sqlite3_column_int64(stmt_, col); }

QString Statement::columnText(int col) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
    return p ? QString::fromUtf8(p, sqlite3_column_bytes(stmt_, col)) : QString();
}

QByteArray Statement::columnBlob(int col) const {
    const void* p = sqlite3_column_blob(stmt_, col);
    const int n = sqlite3_column_bytes(stmt_, col);
    return p ? QByteArray(static_cast<const char*>(p), n) : QByteArray("");
}

namespace {
/// Resets a cached statement on every way out of a scope.
struct ResetGuard {
    Statement& st;
    ~ResetGuard() { st.reset(); }
};
} // namespace

// ---------------------------------------------------------------------------------------
Table::Table(sqlite3* db, const FileDef& def, QString schema)
    : db_(db), def_(def), schema_(std::move(schema)) {}

Table::~Table() = default;

void Table::rebind(sqlite3* db) {
    cache_.clear();
    db_ = db;
}

QString Table::qualified() const { return quoted(schema_) + QLatin1Char('.') + quoted(def_.name); }

QString Table::selectList() const {
    QStringList cols{QStringLiteral("rowid")};
    for (const FieldDef& f : def_.fields) cols << quoted(f.name);
    return cols.join(QLatin1Char(','));
}

Statement& Table::cached(const QString& id, const std::function<QString()>& sql) {
    if (!db_) return closed_;
    auto it = cache_.find(id);
    if (it == cache_.end()) it = cache_.insert(id, std::make_shared<Statement>(db_, sql()));
    return **it;
}

Row Table::readRow(const Statement& st) const {
    Row r;
    r.rowId = st.columnInt(0);
    r.values.reserve(def_.fields.size());
    for (size_t i = 0; i < def_.fields.size(); ++i) {
        const FieldDef& f = def_.fields[i];
        const int col = static_cast<int>(i) + 1;
        if (f.type == FieldType::String)
            r.values.emplace_back(st.columnText(col));
        else if (f.type == FieldType::Blob)
            r.values.emplace_back(st.columnBlob(col));
        else
            r.values.emplace_back(st.columnInt(col));
    }
    return r;
}

Value Table::keyValue(int field, const Row& row) const {
    const FieldDef& f = def_.fields[static_cast<size_t>(field)];
    if (f.isText()) return foldKey(fitText(row.text(field), f.width));
    return row.values[static_cast<size_t>(field)];
}

QString Table::orderBy(int key) const {
    QStringList parts;
    for (const KeyComponent& c : def_.keys[static_cast<size_t>(key)].components)
        parts << quoted(def_.fields[static_cast<size_t>(c.field)].keyColumn()) +
                     (c.descending ? QStringLiteral(" DESC") : QString());
    parts << QStringLiteral("rowid");
    return parts.join(QLatin1Char(','));
}

QString Table::positionClause(const Query& q, int* bindCount) const {
    *bindCount = 0;
    if (!q.from) return QString();
    const auto& comps = def_.keys[static_cast<size_t>(q.key)].components;
    const int n = static_cast<int>(comps.size());
    const int e = std::min(q.equalLeading, n);
    QStringList conds;
    for (int i = 0; i < e; ++i) {
        conds << quoted(def_.fields[static_cast<size_t>(comps[static_cast<size_t>(i)].field)]
                            .keyColumn()) +
                     QStringLiteral("=?");
        ++*bindCount;
    }
    if (e < n) {
        bool anyDesc = false;
        for (int i = e; i < n; ++i) anyDesc |= comps[static_cast<size_t>(i)].descending;
        if (!anyDesc) {
            QStringList cols, marks;
            for (int i = e; i < n; ++i) {
                cols << quoted(def_.fields[static_cast<size_t>(comps[static_cast<size_t>(i)].field)]
                                   .keyColumn());
                marks << QStringLiteral("?");
                ++*bindCount;
            }
            conds << QStringLiteral("(") + cols.join(QLatin1Char(',')) + QStringLiteral(")>=(") +
                         marks.join(QLatin1Char(',')) + QStringLiteral(")");
        } else {
            // Lexicographic "at or after" with per-component direction, built from the end.
            QString expr;
            for (int i = n - 1; i >= e; --i) {
                const KeyComponent& c = comps[static_cast<size_t>(i)];
                const QString col =
                    quoted(def_.fields[static_cast<size_t>(c.field)].keyColumn());
                const QString after = c.descending ? QStringLiteral("<") : QStringLiteral(">");
                if (i == n - 1)
                    expr = col + after + QStringLiteral("=?");
                else
                    expr = QStringLiteral("(") + col + after + QStringLiteral("? OR (") + col +
                           QStringLiteral("=? AND ") + expr + QStringLiteral("))");
            }
            conds << expr;
            *bindCount += 2 * (n - e) - 1;
        }
    }
    return conds.join(QStringLiteral(" AND "));
}

void Table::bindPosition(Statement& st, const Query& q, int firstPos) const {
    if (!q.from) return;
    const auto& comps = def_.keys[static_cast<size_t>(q.key)].components;
    const int n = static_cast<int>(comps.size());
    const int e = std::min(q.equalLeading, n);
    int pos = firstPos;
    for (int i = 0; i < e; ++i)
        st.bind(pos++, keyValue(comps[static_cast<size_t>(i)].field, *q.from));
    if (e >= n) return;
    bool anyDesc = false;
    for (int i = e; i < n; ++i) anyDesc |= comps[static_cast<size_t>(i)].descending;
    if (!anyDesc) {
        for (int i = e; i < n; ++i)
            st.bind(pos++, keyValue(comps[static_cast<size_t>(i)].field, *q.from));
    } else {
        // Same nesting as positionClause: for i in e..n-2: "col>? OR (col=? AND ...)".
        for (int i = e; i < n - 1; ++i) {
            const Value v = keyValue(comps[static_cast<size_t>(i)].field, *q.from);
            st.bind(pos++, v);
            st.bind(pos++, v);
        }
        st.bind(pos++, keyValue(comps[static_cast<size_t>(n - 1)].field, *q.from));
    }
}

bool Table::fetch(int key, const Row& values, Row& out, Outcome* error) {
    const int n = static_cast<int>(def_.keys[static_cast<size_t>(key)].components.size());
    Query q{key, &values, n};
    bool found = false;
    const Outcome o = scan(q, [&](const Row& r) {
        out = r;
        found = true;
        return false;
    });
    if (error) *error = o;
    if (!found) out = emptyRow(def_);
    return found;
}

bool Table::fetchRowId(RowId id, Row& out) {
    Statement& st = cached(QStringLiteral("rowid"), [&] {
        return QStringLiteral("SELECT ") + selectList() + QStringLiteral(" FROM ") + qualified() +
               QStringLiteral(" WHERE rowid=?");
    });
    if (!st.valid()) {
        readOutcome(sqliteFailure(Msg::OpenError, st.prepareError()));
        out = emptyRow(def_);
        return false;
    }
    ResetGuard g{st};
    st.bindInt(1, id);
    if (st.step() == SQLITE_ROW) {
        out = readRow(st);
        return true;
    }
    out = emptyRow(def_);
    return false;
}

Outcome Table::scan(const Query& q, const std::function<bool(const Row&)>& visit) {
    const QString id = QStringLiteral("scan:%1:%2:%3")
                           .arg(q.key)
                           .arg(q.from ? 1 : 0)
                           .arg(q.from ? q.equalLeading : 0);
    int binds = 0;
    const QString where = positionClause(q, &binds);
    Statement& st = cached(id, [&] {
        return QStringLiteral("SELECT ") + selectList() + QStringLiteral(" FROM ") + qualified() +
               (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where) +
               QStringLiteral(" ORDER BY ") + orderBy(q.key);
    });
    if (!st.valid()) return readOutcome(sqliteFailure(Msg::OpenError, st.prepareError()));
    ResetGuard g{st};
    bindPosition(st, q, 1);
    for (;;) {
        const int rc = st.step();
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) return readOutcome(sqliteFailure(Msg::OpenError, rc));
        if (!visit(readRow(st))) break;
    }
    return readOutcome(Outcome::success());
}

Outcome Table::readOutcome(Outcome o) {
    if (o.ok()) readFailureShown_ = false;
    lastRead_ = o;
    return o;
}

bool Table::takeReadFailureToShow() {
    if (lastRead_.ok() || readFailureShown_) return false;
    readFailureShown_ = true;
    return true;
}

std::vector<Row> Table::select(const Query& q) {
    std::vector<Row> rows;
    scan(q, [&](const Row& r) {
        rows.push_back(r);
        return true;
    });
    return rows;
}

std::vector<Row> Table::all(int key) { return select(Query{key, nullptr, 0}); }

qint64 Table::count() {
    Statement& st = cached(QStringLiteral("count"), [&] {
        return QStringLiteral("SELECT count(*) FROM ") + qualified();
    });
    if (!st.valid()) {
        readOutcome(sqliteFailure(Msg::OpenError, st.prepareError()));
        return 0;
    }
    ResetGuard g{st};
    const int rc = st.step();
    readOutcome(rc == SQLITE_ROW ? Outcome::success() : sqliteFailure(Msg::OpenError, rc));
    return rc == SQLITE_ROW ? st.columnInt(0) : 0;
}

qint64 Table::maxOf(int field, bool* ok) {
    Statement& st = cached(QStringLiteral("max:%1").arg(field), [&] {
        return QStringLiteral("SELECT coalesce(max(") +
               quoted(def_.fields[static_cast<size_t>(field)].name) +
               QStringLiteral("),0) FROM ") + qualified();
    });
    if (!st.valid()) {
        if (ok) *ok = false;
        return 0;
    }
    ResetGuard g{st};
    const int rc = st.step();
    if (ok) *ok = rc == SQLITE_ROW;
    return rc == SQLITE_ROW ? st.columnInt(0) : 0;
}

Row Table::prime(Outcome* error) {
    Row r = emptyRow(def_);
    for (const KeyDef& k : def_.keys) {
        if (!k.autoNumber) continue;
        const int f = k.components.back().field;
        bool ok = true;
        const qint64 next = maxOf(f, &ok) + 1;
        if (!ok && error)
            *error = Outcome::failure(
                Outcome::Status::Error, Msg::AutoIncError,
                {def_.name, {}, {},
                 db_ ? errorTextOf(sqlite3_errcode(db_)) : fileErrorText(FileError::NotOpen)});
        r.set(f, next);
    }
    // Constant defaults of new records.
    auto setInt = [&](const char* field, qint64 v) { r.set(def_.fieldIndex(QLatin1String(field)), v); };
    switch (def_.base) {
    case FileId::Group:
        setInt("ObjectType", ObjectType::Group);
        r.set(def_.fieldIndex(QStringLiteral("Defis")), QStringLiteral("-"));
        break;
    case FileId::Room: setInt("ObjectType", ObjectType::Room); break;
    case FileId::Science: setInt("ObjectType", ObjectType::Science); break;
    case FileId::Teacher: setInt("ObjectType", ObjectType::Teacher); break;
    case FileId::LessonBell:
        setInt("Begining", timeOf(8, 0));
        setInt("Ending", timeOf(8, 0));
        break;
    case FileId::Archive: setInt("WeeksInCycle", 1); break;
    default: break;
    }
    return r;
}

void Table::bindRow(Statement& st, const Row& row, int pos) const {
    for (size_t i = 0; i < def_.fields.size(); ++i) {
        const FieldDef& f = def_.fields[i];
        if (f.isText())
            st.bindText(pos++, fitText(row.text(static_cast<int>(i)), f.width));
        else
            st.bind(pos++, row.values[i]);
    }
    for (size_t i = 0; i < def_.fields.size(); ++i) {
        const FieldDef& f = def_.fields[i];
        if (f.isText() && f.inKey) st.bind(pos++, keyValue(static_cast<int>(i), row));
    }
}

int Table::duplicateKey(const Row& row, Outcome* error) {
    for (size_t k = 0; k < def_.keys.size(); ++k) {
        const KeyDef& key = def_.keys[k];
        if (!key.unique) continue;
        Statement& st = cached(QStringLiteral("dup:%1").arg(k), [&] {
            QStringList conds;
            for (const KeyComponent& c : key.components)
                conds << quoted(def_.fields[static_cast<size_t>(c.field)].keyColumn()) +
                             QStringLiteral("=?");
            return QStringLiteral("SELECT 1 FROM ") + qualified() + QStringLiteral(" WHERE ") +
                   conds.join(QStringLiteral(" AND ")) + QStringLiteral(" AND rowid<>? LIMIT 1");
        });
        if (!st.valid()) {
            if (error) *error = sqliteFailure(Msg::AddError, st.prepareError());
            return -1;
        }
        ResetGuard g{st};
        int pos = 1;
        for (const KeyComponent& c : key.components) st.bind(pos++, keyValue(c.field, row));
        st.bindInt(pos, row.rowId);
        const int rc = st.step();
        if (rc == SQLITE_ROW) return static_cast<int>(k);
        if (rc != SQLITE_DONE && error) *error = sqliteFailure(Msg::AddError, rc);
    }
    return -1;
}

Outcome Table::sqliteFailure(int msgNo, int rc) const {
    ErrorArgs a;
    a.file = def_.name;
    if (!db_) {
        a.errorText = fileErrorText(FileError::NotOpen);
        return Outcome::failure(Outcome::Status::Error, msgNo, a, FileError::NotOpen);
    }
    a.errorText = errorTextOf(rc);
    return Outcome::failure(Outcome::Status::Error, msgNo, a, fileErrorOf(rc));
}

namespace {
Outcome duplicateOutcome(const FileDef& def, int key) {
    ErrorArgs a;
    a.file = def.name;
    a.message = def.keys[static_cast<size_t>(key)].description;
    return Outcome::failure(Outcome::Status::Duplicate, Msg::DuplicateKey, a,
                            FileError::DuplicateKey);
}
} // namespace

Outcome Table::insert(Row& row) {
    Outcome err;
    const int dup = duplicateKey(Row{row.values, 0}, &err);
    if (!err.ok()) return err;
    if (dup >= 0) return duplicateOutcome(def_, dup);
    Statement& st = cached(QStringLiteral("insert"), [&] {
        QStringList cols, marks;
        for (const FieldDef& f : def_.fields) {
            cols << quoted(f.name);
            marks << QStringLiteral("?");
        }
        for (const FieldDef& f : def_.fields)
            if (f.isText() && f.inKey) {
                cols << quoted(f.keyColumn());
                marks << QStringLiteral("?");
            }
        return QStringLiteral("INSERT INTO ") + qualified() + QStringLiteral("(") +
               cols.join(QLatin1Char(',')) + QStringLiteral(") VALUES(") +
               marks.join(QLatin1Char(',')) + QStringLiteral(")");
    });
    if (!st.valid()) return sqliteFailure(Msg::AddError, st.prepareError());
    ResetGuard g{st};
    bindRow(st, row, 1);
    const int rc = st.step();
    if (rc != SQLITE_DONE) return sqliteFailure(Msg::AddError, rc);
    row.rowId = sqlite3_last_insert_rowid(db_);
    return Outcome::success();
}

Outcome Table::update(const Row& row) {
    Outcome err;
    const int dup = duplicateKey(row, &err);
    if (!err.ok()) return Outcome::failure(err.status, Msg::UpdateError, err.args, err.fileError);
    if (dup >= 0) return duplicateOutcome(def_, dup);
    Statement& st = cached(QStringLiteral("update"), [&] {
        QStringList sets;
        for (const FieldDef& f : def_.fields) sets << quoted(f.name) + QStringLiteral("=?");
        for (const FieldDef& f : def_.fields)
            if (f.isText() && f.inKey) sets << quoted(f.keyColumn()) + QStringLiteral("=?");
        return QStringLiteral("UPDATE ") + qualified() + QStringLiteral(" SET ") +
               sets.join(QLatin1Char(',')) + QStringLiteral(" WHERE rowid=?");
    });
    if (!st.valid()) return sqliteFailure(Msg::UpdateError, st.prepareError());
    ResetGuard g{st};
    bindRow(st, row, 1);
    int pos = static_cast<int>(def_.fields.size()) + 1;
    for (const FieldDef& f : def_.fields)
        if (f.isText() && f.inKey) ++pos;
    st.bindInt(pos, row.rowId);
    const int rc = st.step();
    if (rc != SQLITE_DONE) return sqliteFailure(Msg::UpdateError, rc);
    if (sqlite3_changes(db_) == 0) {
        ErrorArgs a{def_.name, {}, {}, fileErrorText(FileError::RecordNotFound)};
        return Outcome::failure(Outcome::Status::NotFound, Msg::UpdateError, a,
                                FileError::RecordNotFound);
    }
    return Outcome::success();
}

namespace {
QString matchClause(const FileDef& def, int key, int leading) {
    QStringList conds;
    const auto& comps = def.keys[static_cast<size_t>(key)].components;
    for (int i = 0; i < leading; ++i)
        conds << quoted(def.fields[static_cast<size_t>(comps[static_cast<size_t>(i)].field)].keyColumn()) +
                     QStringLiteral("=?");
    return conds.join(QStringLiteral(" AND "));
}
} // namespace

Outcome Table::removeMatching(int key, const Row& values, int leading, qint64* removed) {
    Statement& st = cached(QStringLiteral("delmatch:%1:%2").arg(key).arg(leading), [&] {
        return QStringLiteral("DELETE FROM ") + qualified() + QStringLiteral(" WHERE ") +
               matchClause(def_, key, leading);
    });
    if (!st.valid()) return sqliteFailure(Msg::DeleteError, st.prepareError());
    ResetGuard g{st};
    const auto& comps = def_.keys[static_cast<size_t>(key)].components;
    for (int i = 0; i < leading; ++i) st.bind(i + 1, keyValue(comps[static_cast<size_t>(i)].field, values));
    const int rc = st.step();
    if (rc != SQLITE_DONE) return sqliteFailure(Msg::DeleteError, rc);
    if (removed) *removed = sqlite3_changes(db_);
    return Outcome::success();
}

Outcome Table::removeAll() {
    Statement& st = cached(QStringLiteral("delall"),
                           [&] { return QStringLiteral("DELETE FROM ") + qualified(); });
    if (!st.valid()) return sqliteFailure(Msg::DeleteError, st.prepareError());
    ResetGuard g{st};
    const int rc = st.step();
    if (rc != SQLITE_DONE) return sqliteFailure(Msg::DeleteError, rc);
    return Outcome::success();
}

Outcome Table::clearMatching(int key, const Row& values, int leading, const std::vector<int>& fields) {
    QStringList ids;
    for (int f : fields) ids << QString::number(f);
    Statement& st = cached(QStringLiteral("clearmatch:%1:%2:%3").arg(key).arg(leading).arg(ids.join(QLatin1Char(','))), [&] {
        QStringList sets;
        for (int f : fields) {
            const FieldDef& fd = def_.fields[static_cast<size_t>(f)];
            sets << quoted(fd.name) + (fd.isText() ? QStringLiteral("=''") : QStringLiteral("=0"));
            if (fd.isText() && fd.inKey) sets << quoted(fd.keyColumn()) + QStringLiteral("=''");
        }
        return QStringLiteral("UPDATE ") + qualified() + QStringLiteral(" SET ") +
               sets.join(QLatin1Char(',')) + QStringLiteral(" WHERE ") + matchClause(def_, key, leading);
    });
    if (!st.valid()) return sqliteFailure(Msg::UpdateError, st.prepareError());
    ResetGuard g{st};
    const auto& comps = def_.keys[static_cast<size_t>(key)].components;
    for (int i = 0; i < leading; ++i) st.bind(i + 1, keyValue(comps[static_cast<size_t>(i)].field, values));
    const int rc = st.step();
    if (rc != SQLITE_DONE) return sqliteFailure(Msg::UpdateError, rc);
    return Outcome::success();
}

Outcome Table::remove(RowId id) {
    Statement& st = cached(QStringLiteral("delete"), [&] {
        return QStringLiteral("DELETE FROM ") + qualified() + QStringLiteral(" WHERE rowid=?");
    });
    if (!st.valid()) return sqliteFailure(Msg::DeleteError, st.prepareError());
    ResetGuard g{st};
    st.bindInt(1, id);
    const int rc = st.step();
    if (rc != SQLITE_DONE) return sqliteFailure(Msg::DeleteError, rc);
    return Outcome::success();
}

} // namespace tamsel
