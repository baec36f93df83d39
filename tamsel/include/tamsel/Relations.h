#pragma once

#include "tamsel/Dictionary.h"

namespace tamsel {

/// The relation managers of every file: the referential rules held as one table and applied
/// by one engine. Deletes and key changes run inside one Transaction over every file that
/// the rules reach; a refusal or failure leaves every file unchanged and shows its message.
/// Storing a plan item or a group also generates its schedule entries.
class Relations {
public:
    explicit Relations(Dictionary& dict) : dict_(dict) {}

    /// Opens a file with its related files (children and parents, transitively); every file
    /// is use-counted, so close() with the same id releases exactly what open() took.
    bool open(FileId id);
    void close(FileId id);
    /// The files open(id) opens, `id` first.
    static std::vector<FileId> relatedFiles(FileId id);

    /// Stores a new record (message 13 on a duplicate key); a TRAININGCOURSE item or a GROUP
    /// then receives its unplaced schedule entries.
    template <class R> Outcome insert(R& rec) {
        Row row = toRow(rec);
        Outcome o = insertRow(R::File, row);
        if (o.ok()) rec.rowId = row.rowId;
        return o;
    }
    /// Stores a changed record (identified by rowId), applying the update rules to the
    /// children whose linking fields changed. On a restrict refusal (message 31) the linking
    /// fields of `rec` are set back to their stored values.
    template <class R> Outcome update(R& rec) {
        Row row = toRow(rec);
        Outcome o = updateRow(R::File, row);
        fromRow(row, rec);
        return o;
    }
    /// Deletes a stored record with the delete rules; `ask` first asks message 9, and a
    /// "No" gives an outcome with status Refused and no message.
    template <class R> Outcome remove(const R& rec, bool ask = false) {
        return removeRow(R::File, rec.rowId, ask);
    }
    /// The checks of a form when it stores a record: ranges (message 16) and the course
    /// existence check (message 14). `field` = -1 checks every field.
    template <class R> Outcome validate(const R& rec, int field = -1) {
        return validateRow(R::File, toRow(rec), field);
    }

    Outcome insertRow(FileId file, Row& row);
    Outcome updateRow(FileId file, Row& row);
    Outcome removeRow(FileId file, RowId id, bool ask);
    Outcome validateRow(FileId file, const Row& row, int field);

    /// Whether messages are shown (the default) or only returned.
    void setReporting(bool on) { report_ = on; }

private:
    Dictionary& dict_;
    bool report_ = true;
};

/// Lesson generation: the unplaced schedule entries of a stored plan item (for every group of
/// its course and stream) or of a stored group (for every plan item of its course and stream).
/// Returns the number of entries created.
int GenerateLessonsForItem(Dictionary& dict, const TrainingCourse& item);
int GenerateLessonsForGroup(Dictionary& dict, const Group& group);

} // namespace tamsel
