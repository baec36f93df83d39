#pragma once

#include "tamsel/EditHistory.h"
#include "tamsel/ErrorReporter.h"
#include "tamsel/Globals.h"
#include "tamsel/Table.h"

#include <QString>
#include <functional>
#include <memory>

struct sqlite3;

namespace tamsel {

/// One physical data file: an SQLite database with one table, opened with use counting.
/// The first open creates a missing file, checks the table and rebuilds missing or damaged
/// indexes; a file that cannot be used is reported with its name and never overwritten.
class DataFile {
public:
    DataFile(const FileDef& def, QString path, ErrorReporter& errors);
    ~DataFile();
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    const FileDef& def() const { return def_; }
    const QString& path() const { return path_; }
    void setPath(const QString& path); ///< only while closed

    /// Opens (or counts one more user of) the file; false when it cannot be used, after the
    /// message was shown. `report` = false keeps the failure silent (see lastError()).
    bool open(bool report = true);
    void close();
    /// Closes whatever the use count, e.g. before the archive replaces the file.
    void forceClose();
    bool isOpen() const { return db_ != nullptr; }
    /// Whether the file at the path is no longer the one the connection opened: another
    /// program's restore or import put a new file in its place. (Windows never replaces a
    /// file that is open, so there it is always false.)
    bool replacedOnDisk() const;
    /// Whether the path named no file when the connection opened (the open created it).
    bool createdAtOpen() const { return device_ == 0 && inode_ == 0; }
    /// Opens the file at its path again for the users it has, the table keeping its identity
    /// for the accesses over it; false (and the table failing every operation) when the new
    /// file cannot be used.
    bool reopen();
    /// Whether the deep check (every key against the table) has passed in this process.
    bool checked() const { return checked_; }
    /// Runs the deep check on a connection of its own, read only, without reporting; true
    /// when the file exists and passed, after which its open skips the check. Safe to call
    /// for different files from different threads.
    bool checkDeeply();
    int users() const { return users_; }
    const Outcome& lastError() const { return lastError_; }

    /// The file's table on its own connection while open; otherwise a stand-in on which
    /// every operation fails ("Файл не был открыт"), so a caller that missed a failed open
    /// gets failures, never a dangling table.
    Table& table();
    sqlite3* connection() const { return db_; }

private:
    bool openConnection();
    bool checkStructure();
    Outcome failure(int msgNo, int sqliteRc) const;
    Outcome failureText(int msgNo, int fileError, const QString& detail = {}) const;

    const FileDef& def_;
    QString path_;
    ErrorReporter& errors_;
    sqlite3* db_ = nullptr;
    std::unique_ptr<Table> table_;
    Table closedTable_;
    int users_ = 0;
    quint64 device_ = 0, inode_ = 0; ///< what the path named when the connection opened
    bool checked_ = false; ///< the deep check runs once per process and file
    Outcome lastError_;
};

template <class R> class Access;

/// All data files of one working folder.
class Store {
public:
    /// `workDir` is the folder that relative disk names and default names refer to.
    Store(const Globals& glo, ErrorReporter& errors, QString workDir);
    ~Store();

    /// The physical file behind a file or alias; its path follows the FN: setting.
    DataFile& file(FileId id);
    /// Disk name of a file: its FN: setting, or "<SettingsName>.db" when that is empty,
    /// resolved against the working folder.
    QString diskName(FileId id) const;
    const QString& workDir() const { return workDir_; }
    ErrorReporter& errors() const { return errors_; }

    /// Typed access over a file's own connection; messages are shown when `report` is set.
    template <class R> Access<R> access(bool report = true);

    /// Runs the deep check of the given files not checked yet on all cores at once, so that
    /// opening them one after another later finds them checked. It reports nothing: a file
    /// that fails is left unchecked, and its own open reports it or rebuilds its keys.
    void checkAhead(const std::vector<FileId>& ids);
    /// checkAhead() for every data file.
    void checkAllAhead();

    /// Picks up changed FN: settings for files that are closed.
    void refreshPaths();
    /// Closes every file whatever its use count.
    void closeAll();
    /// Reopens every open file that another program replaced since it was opened, so that a
    /// writer never writes into a file that is no longer the folder's. Called when the
    /// writing lock is taken; false when a replaced file could not be opened again.
    bool reopenReplaced();

    /// The officer's hand edits of the timetable in this folder, for undo and redo.
    EditHistory& history() { return history_; }

    /// Batch writing, for bulk work in a folder that nobody else uses yet (the sample-school
    /// generator): transactions begun during a batch commit without waiting for the disk, and
    /// endBatch() writes every data file through to it at the end. A crash during a batch can
    /// leave the files damaged, so the program never writes in batches.
    void beginBatch() { batch_ = true; }
    /// Ends the batch; false when a data file could not be written through to the disk.
    bool endBatch();
    bool inBatch() const { return batch_; }

    /// Called with the connection of every transaction right after it begins and with its
    /// files in attach order (main, f1, f2, ...). For fault-injection tests only.
    std::function<void(sqlite3*, const std::vector<FileId>&)> transactionHook;
    /// Why no transaction may begin now (empty when one may): the dictionary refuses them
    /// while a long procedure holding its writing lock lets the user interface run.
    std::function<QString()> writeGate;

private:
    const Globals& glo_;
    ErrorReporter& errors_;
    QString workDir_;
    std::vector<std::unique_ptr<DataFile>> files_;
    bool batch_ = false;
    EditHistory history_;
};

/// Holds a file open for a scope.
class FileUse {
public:
    FileUse(Store& store, FileId id, bool report = true)
        : file_(store.file(id)), ok_(file_.open(report)) {}
    ~FileUse() {
        if (ok_) file_.close();
    }
    FileUse(const FileUse&) = delete;
    FileUse& operator=(const FileUse&) = delete;
    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    DataFile& file() { return file_; }

private:
    DataFile& file_;
    bool ok_;
};

} // namespace tamsel
