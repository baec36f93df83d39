// The preupdate hook is compiled into Debian's library; its declarations are behind this.
#define SQLITE_ENABLE_PREUPDATE_HOOK
#include <sqlite3.h>

#include "tamsel/EditHistory.h"

#include "tamsel/Dictionary.h"
#include "tamsel/Events.h"
#include "tamsel/Transaction.h"

#include <algorithm>

namespace tamsel {

namespace {

EditHistory::Value valueOf(sqlite3_value* v) {
    EditHistory::Value out;
    out.type = sqlite3_value_type(v);
    switch (out.type) {
    case SQLITE_INTEGER:
        out.integer = sqlite3_value_int64(v);
        break;
    case SQLITE_FLOAT:
        out.real = sqlite3_value_double(v);
        break;
    case SQLITE_TEXT:
    case SQLITE_BLOB:
        // The byte count first: it may convert the value, and the pointer must be the last.
        {
            const int n = sqlite3_value_bytes(v);
            const void* p = out.type == SQLITE_TEXT
                                ? static_cast<const void*>(sqlite3_value_text(v))
                                : sqlite3_value_blob(v);
            out.bytes = QByteArray(static_cast<const char*>(p), n);
        }
        break;
    default:
        out.type = SQLITE_NULL;
    }
    return out;
}

EditHistory::Value columnOf(sqlite3_stmt* st, int i) {
    return valueOf(sqlite3_column_value(st, i));
}

void bindValue(sqlite3_stmt* st, int pos, const EditHistory::Value& v) {
    switch (v.type) {
    case SQLITE_INTEGER:
        sqlite3_bind_int64(st, pos, v.integer);
        break;
    case SQLITE_FLOAT:
        sqlite3_bind_double(st, pos, v.real);
        break;
    case SQLITE_TEXT:
        sqlite3_bind_text(st, pos, v.bytes.constData(), int(v.bytes.size()), SQLITE_TRANSIENT);
        break;
    case SQLITE_BLOB:
        sqlite3_bind_blob(st, pos, v.bytes.constData(), int(v.bytes.size()), SQLITE_TRANSIENT);
        break;
    default:
        sqlite3_bind_null(st, pos);
    }
}

/// Statements of one apply, finalized however it ends.
struct Stmt {
    sqlite3_stmt* st = nullptr;
    int rc = SQLITE_OK;
    Stmt(sqlite3* db, const QByteArray& sql) {
        rc = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr);
    }
    ~Stmt() { sqlite3_finalize(st); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
};

QByteArray quoted(const QByteArray& name) {
    return '"' + QByteArray(name).replace('"', "\"\"") + '"';
}

std::vector<FileId> basesOf(const std::vector<FileId>& files) {
    std::vector<FileId> out;
    for (FileId f : files)
        if (std::find(out.begin(), out.end(), baseOf(f)) == out.end()) out.push_back(baseOf(f));
    return out;
}

QByteArray scheduleTable(const QByteArray& schema) {
    return schema + '.' + quoted(fileDef(FileId::Schedule).name.toUtf8());
}

} // namespace

std::vector<EditHistory::CellRows> EditHistory::occupants(sqlite3* db, const QByteArray& table,
                                                          const Entry& e, bool undo) {
    std::vector<CellRows> out;
    Stmt columns(db, "SELECT * FROM " + table + " LIMIT 0");
    if (columns.rc != SQLITE_OK) return out;
    int week = -1, day = -1, lesson = -1;
    for (int i = 0; i < sqlite3_column_count(columns.st); ++i) {
        const QByteArray name = sqlite3_column_name(columns.st, i);
        if (name == "Week") week = i;
        if (name == "DaySeqNumber") day = i;
        if (name == "LessonNo") lesson = i;
    }
    if (week < 0 || day < 0 || lesson < 0) return out;
    std::vector<qint64> own;
    for (const RowChange& c : e.changes)
        if (baseOf(c.file) == FileId::Schedule) own.push_back(c.rowId);
    Stmt read(db, "SELECT rowid FROM " + table +
                      " WHERE Week = ?1 AND DaySeqNumber = ?2 AND LessonNo = ?3 ORDER BY rowid");
    if (read.rc != SQLITE_OK) return out;
    for (const RowChange& c : e.changes) {
        const std::optional<Row>& to = undo ? c.before : c.after;
        if (baseOf(c.file) != FileId::Schedule || !to || int(to->size()) <= lesson) continue;
        CellRows cell{(*to)[size_t(week)], (*to)[size_t(day)], (*to)[size_t(lesson)], {}};
        // An unplaced lesson is in no cell.
        if (cell.week.integer == 0 && cell.day.integer == 0 && cell.lesson.bytes.trimmed().isEmpty())
            continue;
        if (std::any_of(out.begin(), out.end(), [&](const CellRows& o) {
                return o.week == cell.week && o.day == cell.day && o.lesson == cell.lesson;
            }))
            continue;
        sqlite3_reset(read.st);
        bindValue(read.st, 1, cell.week);
        bindValue(read.st, 2, cell.day);
        bindValue(read.st, 3, cell.lesson);
        while (sqlite3_step(read.st) == SQLITE_ROW) {
            const qint64 id = sqlite3_column_int64(read.st, 0);
            if (std::find(own.begin(), own.end(), id) == own.end()) cell.rows.push_back(id);
        }
        out.push_back(std::move(cell));
    }
    return out;
}

// ---------------------------------------------------------------------------------------
// Steps

EditHistory::Step::Step(EditHistory& history, QString name, std::vector<FileId> files)
    : history_(history), outer_(history.depth_ == 0) {
    if (history_.depth_++ == 0) history_.open_ = Entry{std::move(name), basesOf(files), {}, {}};
}

EditHistory::Step::~Step() {
    if (--history_.depth_ > 0) return;
    Entry done = std::move(*history_.open_);
    history_.open_.reset();
    if (done.changes.empty()) return;
    history_.undo_.push_back(std::move(done));
    while (history_.undo_.size() > size_t(Limit))
        history_.undo_.pop_front();
    history_.redo_.clear();
    history_.notify();
}

void EditHistory::Step::rename(QString name) {
    if (outer_ && history_.open_) history_.open_->name = std::move(name);
}

QString EditHistory::undoName() const {
    return undo_.empty() ? QString() : undo_.back().name;
}
QString EditHistory::redoName() const {
    return redo_.empty() ? QString() : redo_.back().name;
}

void EditHistory::clear() {
    if (undo_.empty() && redo_.empty()) return;
    undo_.clear();
    redo_.clear();
    notify();
}

// ---------------------------------------------------------------------------------------
// Recording

std::unique_ptr<EditHistory::Recorder> EditHistory::recorderFor(sqlite3* db,
                                                                const std::vector<FileId>& files) {
    if (!open_) return nullptr;
    for (FileId f : files)
        if (std::count(open_->files.begin(), open_->files.end(), baseOf(f)))
            return std::make_unique<Recorder>(*this, db, files);
    return nullptr;
}

EditHistory::Recorder::Recorder(EditHistory& history, sqlite3* db, const std::vector<FileId>& files)
    : history_(history), db_(db) {
    for (size_t i = 0; i < files.size(); ++i)
        if (history_.open_ && std::count(history_.open_->files.begin(), history_.open_->files.end(),
                                         baseOf(files[i])))
            recorded_.push_back({i == 0 ? QByteArray("main") : "f" + QByteArray::number(qint64(i)),
                                 baseOf(files[i])});
    sqlite3_preupdate_hook(db_, &Recorder::hook, this);
}

EditHistory::Recorder::~Recorder() {
    sqlite3_preupdate_hook(db_, nullptr, nullptr);
}

void EditHistory::Recorder::hook(void* self, sqlite3* db, int op, const char* schema,
                                 const char* table, qint64 oldKey, qint64 newKey) {
    auto* r = static_cast<Recorder*>(self);
    const auto it = std::find_if(r->recorded_.begin(), r->recorded_.end(), [&](const auto& s) {
        return s.first == schema && fileDef(s.second).name == QLatin1String(table);
    });
    if (it == r->recorded_.end()) return;
    const int n = sqlite3_preupdate_count(db);
    auto read = [&](bool fresh) {
        Row row;
        for (int i = 0; i < n; ++i) {
            sqlite3_value* v = nullptr;
            if ((fresh ? sqlite3_preupdate_new(db, i, &v) : sqlite3_preupdate_old(db, i, &v)) !=
                    SQLITE_OK ||
                !v) {
                row.push_back({});
                continue;
            }
            row.push_back(valueOf(v));
        }
        return row;
    };
    const FileId file = it->second;
    if (op == SQLITE_INSERT) {
        r->changes_.push_back({file, newKey, std::nullopt, read(true)});
    } else if (op == SQLITE_DELETE) {
        r->changes_.push_back({file, oldKey, read(false), std::nullopt});
    } else if (oldKey == newKey) {
        r->changes_.push_back({file, oldKey, read(false), read(true)});
    } else {
        // A row given a new row id is the old one gone and a new one come.
        r->changes_.push_back({file, oldKey, read(false), std::nullopt});
        r->changes_.push_back({file, newKey, std::nullopt, read(true)});
    }
}

void EditHistory::Recorder::committed() {
    if (history_.open_) {
        for (RowChange& c : changes_)
            history_.open_->changes.push_back(std::move(c));
        for (const auto& [schema, file] : recorded_)
            if (file == FileId::Schedule)
                history_.open_->cells = occupants(db_, scheduleTable(schema), *history_.open_, true);
    }
    changes_.clear();
    mark_ = 0;
}

// ---------------------------------------------------------------------------------------
// Undo and redo

EditHistory::Result EditHistory::undo(Dictionary& dict) {
    return apply(dict, true);
}
EditHistory::Result EditHistory::redo(Dictionary& dict) {
    return apply(dict, false);
}

EditHistory::Result EditHistory::apply(Dictionary& dict, bool undo) {
    std::deque<Entry>& from = undo ? undo_ : redo_;
    // Never inside a command that is still writing its own step.
    if (from.empty() || depth_ > 0) return Result::Nothing;
    WritingScope writing(dict);
    if (!writing) return Result::Refused;
    // The lock may have found files another program replaced, which empties the history.
    if (from.empty()) return Result::Nothing;
    const Entry& step = from.back();
    Transaction tx(dict.store(), step.files);
    if (!tx.active()) {
        dict.errors().report(tx.error().msgNo, tx.error().args);
        return Result::Failed;
    }
    sqlite3* db = tx.connection();
    int rc = SQLITE_OK;
    bool conflict = false;
    std::vector<qint64> rows;
    // Row by row in the reverse order for undo, in the order written for redo: every row
    // passes again through the states it had, so no unique key meets a state it never saw.
    auto one = [&](const RowChange& c) {
        const QByteArray table =
            tx.schema(c.file).toUtf8() + '.' + quoted(fileDef(c.file).name.toUtf8());
        const std::optional<Row>& expected = undo ? c.after : c.before;
        const std::optional<Row>& wanted = undo ? c.before : c.after;
        Stmt read(db, "SELECT * FROM " + table + " WHERE rowid = ?");
        if ((rc = read.rc) != SQLITE_OK) return false;
        sqlite3_bind_int64(read.st, 1, c.rowId);
        std::optional<Row> now;
        const int columns = sqlite3_column_count(read.st);
        rc = sqlite3_step(read.st);
        if (rc == SQLITE_ROW) {
            now.emplace();
            for (int i = 0; i < columns; ++i)
                now->push_back(columnOf(read.st, i));
        } else if (rc != SQLITE_DONE) {
            return false;
        }
        rc = SQLITE_OK;
        if (now != expected) {
            conflict = true;
            return false;
        }
        QByteArray sql;
        if (!wanted) {
            sql = "DELETE FROM " + table + " WHERE rowid = ?1";
        } else {
            if (int(wanted->size()) != columns) {
                conflict = true; // the table is not the one the step wrote
                return false;
            }
            QByteArrayList names, marks;
            for (int i = 0; i < columns; ++i) {
                names << quoted(sqlite3_column_name(read.st, i));
                marks << '?' + QByteArray::number(i + 2);
            }
            if (now) {
                QByteArrayList sets;
                for (int i = 0; i < columns; ++i)
                    sets << names[i] + " = " + marks[i];
                sql = "UPDATE " + table + " SET " + sets.join(", ") + " WHERE rowid = ?1";
            } else {
                sql = "INSERT INTO " + table + " (rowid, " + names.join(", ") + ") VALUES (?1, " +
                      marks.join(", ") + ")";
            }
        }
        Stmt write(db, sql);
        if ((rc = write.rc) != SQLITE_OK) return false;
        sqlite3_bind_int64(write.st, 1, c.rowId);
        if (wanted)
            for (int i = 0; i < columns; ++i)
                bindValue(write.st, i + 2, (*wanted)[size_t(i)]);
        rc = sqlite3_step(write.st);
        if (rc != SQLITE_DONE) return false;
        rc = SQLITE_OK;
        if (std::find(rows.begin(), rows.end(), c.rowId) == rows.end()) rows.push_back(c.rowId);
        return true;
    };
    const bool timetable =
        std::find(step.files.begin(), step.files.end(), FileId::Schedule) != step.files.end();
    const QByteArray cells =
        timetable ? scheduleTable(tx.schema(FileId::Schedule).toUtf8()) : QByteArray();
    // Another lesson in a cell this apply fills would share its teacher, group or room.
    bool cellTaken = timetable && occupants(db, cells, step, undo) != step.cells;
    bool ok = !cellTaken;
    if (undo) {
        for (auto it = step.changes.rbegin(); ok && it != step.changes.rend(); ++it)
            ok = one(*it);
    } else {
        for (auto it = step.changes.begin(); ok && it != step.changes.end(); ++it)
            ok = one(*it);
    }
    if (conflict || cellTaken) {
        tx.rollback();
        // This step cannot come back, and every step before (or, for redo, after) it was
        // written over rows it would have to pass through.
        from.clear();
        notify();
        dict.ui().tell(undo ? QStringLiteral("Отмена действия")
                            : QStringLiteral("Возврат действия"),
                       cellTaken
                           ? (undo ? QStringLiteral("Отменить нельзя: в клетки, куда вернулись бы "
                                                    "уроки, после этого действия поставлены "
                                                    "другие уроки.")
                                   : QStringLiteral("Вернуть нельзя: в клетки, куда встали бы "
                                                    "уроки, после отмены этого действия "
                                                    "поставлены другие уроки."))
                       : undo ? QStringLiteral("Отменить нельзя: эти уроки изменены после этого "
                                               "действия.")
                              : QStringLiteral("Вернуть нельзя: эти уроки изменены после отмены "
                                               "этого действия."));
        return Result::Conflict;
    }
    // What stands in the cells the way back fills, for the next apply to hold against.
    std::vector<CellRows> next;
    if (ok && timetable) next = occupants(db, cells, step, !undo);
    Outcome o;
    if (!ok)
        o = Outcome::failure(Outcome::Status::Error, Msg::TransactionCancelled,
                             {fileDef(step.files.front()).name, {}, {}, errorTextOf(rc)},
                             fileErrorOf(rc));
    else
        o = tx.commit();
    if (!o.ok()) {
        dict.errors().report(o.msgNo, o.args);
        return Result::Failed;
    }
    Entry done = std::move(from.back());
    from.pop_back();
    done.cells = std::move(next);
    (undo ? redo_ : undo_).push_back(std::move(done));
    lastRows_ = std::move(rows);
    ++applied_;
    // A lesson taken in hand before may stand elsewhere now.
    dict.glo.ScheduleRecord = Schedule{};
    dict.glo.MoveTargetsShown = 0;
    dict.windows.postToFrame(UserEvent::Refresh);
    notify();
    return Result::Done;
}

} // namespace tamsel
