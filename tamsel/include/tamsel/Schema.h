#pragma once

// The data dictionary's description of every file: fields, keys, key descriptions. The
// storage engine, the relations and the archive work from these descriptions alone.

#include "tamsel/FileId.h"
#include "tamsel/Records.h"

#include <QByteArray>
#include <QString>
#include <variant>
#include <vector>

namespace tamsel {

enum class FieldType { Byte, Short, Long, Time, String, Blob };

struct FieldDef {
    QString name;   ///< column name, the field name without prefix ("DaySeqNumber")
    FieldType type;
    int width = 0;  ///< characters of a STRING field
    bool inKey = false; ///< a string field used by a key carries a folded copy for ordering
    /// A column that files written before it existed lack: opening such a file adds it with
    /// its default (0 or empty), so old folders and archived snapshots stay readable.
    bool addedLater = false;

    bool isText() const { return type == FieldType::String; }
    bool isInteger() const { return type != FieldType::String && type != FieldType::Blob; }
    /// The column that keys order by: the folded copy for text, the field itself otherwise.
    QString keyColumn() const { return isText() ? name + QStringLiteral("_norm") : name; }
};

struct KeyComponent {
    int field = 0;
    bool descending = false;
};

struct KeyDef {
    QString label;        ///< "Tch:TeacherNameKey"
    std::vector<KeyComponent> components;
    bool unique = false;
    bool primary = false;
    bool autoNumber = false; ///< the last component is numbered on priming
    QString description;  ///< shown as a sort order and in the duplicate-key message
    QString indexName;    ///< SQLite index, the label with "_" for ":" ("Tch_TeacherNameKey")
};

struct FileDef {
    FileId id;
    QString name;         ///< "TEACHER"; also the table name
    QString prefix;       ///< "Tch"
    QString settingsName; ///< "Teacher": the disk name setting is "FN:Teacher"
    FileId base;          ///< the physical file (itself unless an alias)
    std::vector<FieldDef> fields;
    std::vector<KeyDef> keys; ///< in the order of the record's Key enum

    bool isAlias() const { return base != id; }
    int fieldIndex(const QString& name) const; ///< -1 when missing; prefix optional
    int keyIndex(const QString& label) const;  ///< -1 when missing
    const QString& table() const { return name; }
};

/// Description of a file or alias.
const FileDef& fileDef(FileId id);

/// One field value: integers of every width, text or bytes.
using Value = std::variant<qint64, QString, QByteArray>;

/// A record in field order, untyped: what the generic engine, the relations and the archive
/// handle.
struct Row {
    std::vector<Value> values;
    RowId rowId = 0;

    qint64 integer(int i) const;
    QString text(int i) const;
    QByteArray bytes(int i) const;
    void set(int i, Value v) { values[static_cast<size_t>(i)] = std::move(v); }
};

/// The all-zero (empty) record of a file.
Row emptyRow(const FileDef& def);

/// Text folded for keys: case-insensitive and ordered the Russian way (Ё after Е).
QString foldKey(const QString& text);
/// Text as a STRING(width) field holds it: at most `width` characters, right-trimmed.
QString fitText(const QString& text, int width);

// Typed records to rows and back.
#define TAMSEL_ROW_CONVERSION(R)                                                              \
    void toRow(const R& rec, Row& row);                                                       \
    void fromRow(const Row& row, R& rec);
TAMSEL_ROW_CONVERSION(Days)
TAMSEL_ROW_CONVERSION(LessonBell)
TAMSEL_ROW_CONVERSION(Stream)
TAMSEL_ROW_CONVERSION(Course)
TAMSEL_ROW_CONVERSION(Group)
TAMSEL_ROW_CONVERSION(SubGroupType)
TAMSEL_ROW_CONVERSION(ScienceCycle)
TAMSEL_ROW_CONVERSION(Science)
TAMSEL_ROW_CONVERSION(RoomType)
TAMSEL_ROW_CONVERSION(Room)
TAMSEL_ROW_CONVERSION(Speciality)
TAMSEL_ROW_CONVERSION(Teacher)
TAMSEL_ROW_CONVERSION(RoomList)
TAMSEL_ROW_CONVERSION(Schedule)
TAMSEL_ROW_CONVERSION(TrainingCourse)
TAMSEL_ROW_CONVERSION(Restriction)
TAMSEL_ROW_CONVERSION(LsnLink)
TAMSEL_ROW_CONVERSION(LsnLinkComp)
TAMSEL_ROW_CONVERSION(Archive)
TAMSEL_ROW_CONVERSION(Substitution)
#undef TAMSEL_ROW_CONVERSION

template <class R> Row toRow(const R& rec) {
    Row row;
    toRow(rec, row);
    return row;
}
template <class R> R fromRow(const Row& row) {
    R rec;
    fromRow(row, rec);
    return rec;
}

} // namespace tamsel
