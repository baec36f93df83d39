#pragma once

// The older product's data files, read only, for the import. Their container is ours: a
// 48-byte header, then fixed-length records in the older product's field layouts.
//
//   offset  size  contents
//        0     8  "LODRADAT"
//        8     2  format version, little-endian (1)
//       10     2  record length in bytes, little-endian
//       12     4  number of records, little-endian
//       16    32  layout name in ASCII ("LegacyGroups", "FORBID_G", ...), NUL-padded
//       48        the records, back to back
//
// In a record a STRING(n) field is n bytes in the DOS Cyrillic code page (IBM866), padded with
// blanks (or NULs); a BYTE is one byte; a LONG four bytes, little-endian, signed. Keyed order is
// made by sorting in memory, comparing texts byte by byte as the older product did.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace tamsel {

enum class LegacyFileId {
    Lessons,
    RoomTypes,
    Rooms,
    Specialities,
    Teachers,
    Groups,
    Sciences,
    TrainingPlan,   ///< L_P
    GroupForbids,   ///< FORBID_G
    TeacherForbids, ///< FORBID_T
    TeacherLoad,    ///< LES_PLAN
    Schedule,
};

struct LegacyField {
    enum Type { Text, Byte, Long };
    const char* name;
    Type type;
    int size; ///< bytes; the text length for Text
};

struct LegacyKey {
    const char* name;
    std::vector<int> components; ///< field indexes, all ascending
    bool duplicates = false;
};

struct LegacyLayout {
    LegacyFileId id;
    const char* name;     ///< the layout's name in the header, "LegacyGroups"
    const char* fileName; ///< the older product's file, "Group.dat"
    std::vector<LegacyField> fields;
    std::vector<LegacyKey> keys; ///< the first is the main key
    int recordLength() const;
};

const LegacyLayout& legacyLayout(LegacyFileId id);
/// Every layout, in the order of the enumeration.
const std::vector<LegacyFileId>& legacyFiles();
/// The layout whose file name is `fileName` ("group.dat" too: case is ignored).
std::optional<LegacyFileId> legacyFileNamed(const QString& fileName);

constexpr int LegacyHeaderSize = 48;
constexpr int LegacyFormatVersion = 1;

// Field indexes, named after the fields under each file's prefix.
namespace LGrp {
enum { COURSE, LITERAL, STREAM, RESTRICTIONS };
}
namespace LTch {
enum { TEACHER, SPECIALITY, HOURS, MAINROOMNO, SBSTROOMNO, RESTRICTIONS };
}
namespace LRoo {
enum { ROOMNO, ROOMTYPE };
}
namespace LRmt {
enum { ROOMTYPE };
}
namespace LSci {
enum { SCIENCE, MAINROOMTYPE, SBSTROOMTYPE, DOUBLED, PEN };
}
namespace LLes {
enum { LESSONNO, BEGINING, ENDING };
}
namespace LSpc {
enum { SPECIALITY };
}
namespace LSch {
enum { WEEK, DAYNO, LESSONNO, TEACHER, COURSE, LITERAL, ROOMNO, SCIENCE, SUBGROUP, DOUBLED };
}
namespace FrbG {
enum { Course, Literal, LessonNo, Forbid1 };
}
namespace FrbT {
enum { Teacher, LessonNo, Forbid1 };
}
namespace LPl {
enum { Teacher, Course, Literal, Science, Hours };
}
namespace L_P {
enum { Science, Course, Stream, Hours };
}

/// One of the older product's files, read and checked as a whole.
class LegacyFile {
public:
    explicit LegacyFile(LegacyFileId id) : layout_(&legacyLayout(id)) {}

    /// Reads the file at `path`; false with error() saying why (the file is missing, too short,
    /// not of this layout, cut off, or holds a control character in a text).
    bool load(const QString& path);
    /// The same checks on bytes already in memory.
    bool parse(const QByteArray& bytes);
    /// Why the last load or parse failed, without the file's name.
    const QString& error() const { return error_; }

    const LegacyLayout& layout() const { return *layout_; }
    int count() const { return count_; }
    /// A text field converted from the DOS code page, without its padding.
    QString text(int record, int field) const;
    /// A BYTE (0 to 255) or LONG field.
    qint64 number(int record, int field) const;
    /// Record numbers in the order of the key: stable, so records with equal keys keep the
    /// order of the file.
    std::vector<int> keyOrder(int key) const;

private:
    const char* fieldData(int record, int field) const;
    bool fail(const QString& why);

    const LegacyLayout* layout_;
    QByteArray data_;
    int count_ = 0;
    std::vector<int> offsets_;
    QString error_;
};

/// A legacy file from field values given as text (numbers in decimal); false with `error`
/// naming the record (from 1) and the field when a value does not fit its field.
bool WriteLegacyFile(LegacyFileId id, const std::vector<QStringList>& records, QByteArray* out,
                     QString* error);

} // namespace tamsel
