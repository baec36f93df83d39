#pragma once

// Whole data files as bytes: consistent snapshots for the archive, and putting a set of files
// back so that any interruption leaves either all the old or all the new files.

#include "tamsel/Store.h"

#include <QByteArray>
#include <functional>
#include <vector>

namespace tamsel {

/// The exact bytes of a data file, read in one read transaction so that a writer elsewhere
/// cannot tear the copy; empty for a file that does not exist. `error` is set when the file
/// cannot be read.
QByteArray SnapshotDataFile(Store& store, FileId id, Outcome* error);

/// Whether `bytes` is a sound data file of the kind of `id`: a database whose table and
/// columns are those of the file and whose integrity check passes. Empty bytes are sound
/// (no file). Checked in memory; nothing on disk is touched.
Outcome CheckSnapshot(FileId id, const QByteArray& bytes);

struct FileContents {
    FileId id;
    QByteArray bytes; ///< empty: the file is removed (it is created empty when next opened)
};

/// Puts every file in place, all or none: the new files are written beside the old ones and
/// synced, a marker in the working folder lists them, then each is renamed over its old file,
/// stale journals go, and the marker goes last. The files must be closed. `step`, for tests,
/// is called before every write, sync and rename with its number and may return false to
/// stop there as a crash would.
Outcome InstallDataFiles(Store& store, const std::vector<FileContents>& files,
                         const std::function<bool(int step)>& step = {});

/// Whether the working folder holds the traces of an interrupted installation (the marker or
/// new files beside the old): a cheap look, so that a start without them touches nothing.
bool InstallPending(const QString& workDir);

/// Finishes an installation that a crash interrupted (after the marker was written: the new
/// files go in) or undoes one that had not got that far (the half-written new files go).
/// Called when a dictionary is created; true when there was anything to do.
bool FinishInterruptedInstall(const QString& workDir);

} // namespace tamsel
