#pragma once

#include "tamsel/FileId.h"

#include <QByteArray>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct sqlite3;

namespace tamsel {

class Dictionary;
class Store;

/// The officer's hand edits of the timetable as steps that can be undone and redone.
///
/// A step records every row that the transactions of one user command change in the files it
/// names, whole rows before and after, as SQLite's preupdate hook reports them on the
/// transaction's own connection (so no write of the command can be missed, whatever code path
/// made it). Undo writes the rows back as they were before, redo as they were after, each in
/// one transaction under the folder's writing lock; a row that no longer is what the step left
/// (another window, an automatic run, another program) refuses the whole apply, nothing is
/// written, and that step goes together with the older ones. A lesson is also never put back
/// into a timetable cell that another lesson entered since: the lessons that stood in the cells
/// an undo (or redo) would fill are noted when the step is written (or applied), and any other
/// lesson there refuses the apply as well, so no teacher, group or room ends up booked twice.
class EditHistory {
public:
    /// Steps kept for undo; the oldest goes beyond it.
    static constexpr int Limit = 100;

    /// A column value as SQLite holds it; text as its UTF-8 bytes.
    struct Value {
        int type = 5; ///< SQLITE_INTEGER 1, SQLITE_FLOAT 2, SQLITE_TEXT 3, SQLITE_BLOB 4, NULL 5
        qint64 integer = 0;
        double real = 0;
        QByteArray bytes;
        bool operator==(const Value&) const = default;
    };
    using Row = std::vector<Value>;
    /// One row written: absent before (an insert) or after (a delete).
    struct RowChange {
        FileId file;
        qint64 rowId = 0;
        std::optional<Row> before, after;
    };

    /// Makes the writes of one user command one step, named for the menu ("перемещение урока").
    /// Steps inside a step add to the outer one. When it ends with rows changed it goes on the
    /// undo stack and the redo stack empties.
    class Step {
    public:
        Step(EditHistory& history, QString name, std::vector<FileId> files = {FileId::Schedule});
        ~Step();
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;
        /// The name once the command knows what it did ("снятие уроков").
        void rename(QString name);

    private:
        EditHistory& history_;
        bool outer_;
    };

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    /// The step undo would take back, redo would do again (empty when none).
    QString undoName() const;
    QString redoName() const;
    int undoCount() const { return int(undo_.size()); }
    int redoCount() const { return int(redo_.size()); }
    /// Forgets every step: the timetable was rewritten by other means (an automatic placement,
    /// a clear, a restore, an import, a data file replaced by another program).
    void clear();

    enum class Result { Done, Nothing, Refused, Conflict, Failed };
    /// Takes the newest step back under the folder's writing lock, in one transaction; the
    /// lesson in hand is put down and the frame is asked to refresh every window. A conflict
    /// is told to the user and drops this step and the older ones; a refusal of the lock or a
    /// failed write has been shown and keeps the step.
    Result undo(Dictionary& dict);
    /// Does the newest undone step again; a conflict drops it and every step undone before it.
    Result redo(Dictionary& dict);
    /// The rows the last undo or redo wrote, and a number that grows with each of them (a
    /// window that shows the lessons concerned once compares it with the one it saw).
    const std::vector<qint64>& lastRows() const { return lastRows_; }
    quint64 applied() const { return applied_; }

    /// Told after every change of either stack (the frame names and enables its items).
    std::function<void()> changed;

    /// For Transaction: records what a transaction's connection writes while a step is open.
    class Recorder {
    public:
        /// `files` in the transaction's attach order (main, f1, f2, ...).
        Recorder(EditHistory& history, sqlite3* db, const std::vector<FileId>& files);
        ~Recorder();
        Recorder(const Recorder&) = delete;
        Recorder& operator=(const Recorder&) = delete;
        /// The transaction committed: its rows join the open step.
        void committed();
        /// Rows recorded after the savepoint are dropped with it.
        void savepoint() { mark_ = changes_.size(); }
        void rolledBackToSavepoint() { changes_.resize(mark_); }

    private:
        static void hook(void* self, sqlite3* db, int op, const char* schema, const char* table,
                         qint64 oldKey, qint64 newKey);
        EditHistory& history_;
        sqlite3* db_;
        std::vector<std::pair<QByteArray, FileId>> recorded_; ///< schema name → file
        std::vector<RowChange> changes_;
        size_t mark_ = 0;
    };
    /// A recorder for a transaction over `files` when a step is open and records one of them.
    std::unique_ptr<Recorder> recorderFor(sqlite3* db, const std::vector<FileId>& files);

private:
    /// The rows of one timetable cell (week, day, lesson) besides the step's own.
    struct CellRows {
        Value week, day, lesson;
        std::vector<qint64> rows;
        bool operator==(const CellRows&) const = default;
    };
    struct Entry {
        QString name;
        std::vector<FileId> files;
        std::vector<RowChange> changes;
        /// What stood in the cells the next apply fills, as the step's last write left them.
        std::vector<CellRows> cells;
    };
    /// The rows that stand now, on `db` with the timetable as `table`, in the cells that
    /// `e`'s rows fill on undo (or redo), but for its own rows.
    static std::vector<CellRows> occupants(sqlite3* db, const QByteArray& table, const Entry& e,
                                           bool undo);
    Result apply(Dictionary& dict, bool undo);
    void notify() {
        if (changed) changed();
    }

    std::deque<Entry> undo_, redo_;
    std::optional<Entry> open_;
    int depth_ = 0;
    std::vector<qint64> lastRows_;
    quint64 applied_ = 0;
};

} // namespace tamsel
