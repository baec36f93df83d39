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

/// The archived form of a file image: the image followed by a mark and its SHA-256, so that
/// a restore finds a changed bit anywhere, not only damage to the structure. An image is a
/// whole number of pages (a multiple of 512 bytes), so the sealed form is never taken for one.
QByteArray SealImage(const QByteArray& image);
/// The image inside an archived BLOB, with its checksum checked (false when it does not
/// match). A BLOB of an older archive without a checksum is the image itself.
bool UnsealImage(const QByteArray& blob, QByteArray* image);

struct FileContents {
    FileId id;
    QByteArray bytes; ///< empty: the file is removed (it is created empty when next opened)
};

/// A file other than a data file that belongs to the installed data (the settings file with
/// the values that describe it), installed in the same all-or-nothing step.
struct ExtraFile {
    QString path;
    QByteArray bytes;
};

/// What a test makes of one step of an install: go on, stop there as a crash would, or have
/// the step's own work fail.
enum class InstallStep { Go, Crash, Fail };

/// Puts every file in place, all or none. The caller holds the writing lock and has the
/// files closed. The new files are written beside the old ones and synced; a marker in the
/// working folder lists them (paths relative to it); then each is put over its old file with
/// the platform's replace call while the old one is kept aside (with a journal left beside
/// it); the kept files and the marker go last. A step that fails puts every old file back
/// and names the file; a crash ends with the old data before the marker and the new data
/// after it (see FinishInterruptedInstall). `step`, for tests, is asked before every write
/// and every replacement, with its number.
Outcome InstallDataFiles(Store& store, const std::vector<FileContents>& files,
                         const std::function<InstallStep(int step)>& step = {},
                         const std::vector<ExtraFile>& extra = {});

/// Whether the working folder holds the traces of an interrupted installation (the marker or
/// new files beside the old): a cheap look, so that a start without them touches nothing.
bool InstallPending(const QString& workDir);

/// Finishes an installation that a crash interrupted (after the marker was written: the new
/// files go in) or undoes one that had not got that far (the old files come back, the new
/// ones go). Called under the writing lock when a dictionary is created and before an
/// install; false when a file could not be moved (the traces stay for the next try).
bool FinishInterruptedInstall(const QString& workDir);

} // namespace tamsel
