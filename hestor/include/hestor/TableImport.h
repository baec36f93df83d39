#pragma once

// The master data and the plan from a spreadsheet: a CSV file (UTF-8 or Windows-1251, ";" or
// ",") or the first sheet of an .xlsx file. Columns are found by their names in the first row.
// Core only.

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace tamsel {
class Dictionary;
}

namespace hestor {

/// `Load` gives the plan's lessons their teachers (and the teachers' room lists their rooms): a
/// row names a teacher, a subject, a group ("5-А"), optionally a subgroup, the hours (all the
/// lessons without a teacher when blank) and a room.
enum class SourceTable { Teachers, Groups, Subjects, Rooms, Plan, Load };

/// "teachers", "groups", "subjects", "rooms", "plan", "load".
std::optional<SourceTable> sourceTableFromName(const QString& name);

struct TableRows {
    QStringList header;
    std::vector<QStringList> rows;
    QString encoding; ///< "UTF-8", "Windows-1251" or "xlsx"
    QChar separator;  ///< of a CSV file
};

/// Reads a CSV or .xlsx file (by its extension); false with `error` when it cannot be read.
bool ReadTableFile(const QString& path, TableRows* out, QString* error);

/// The columns of a table and the names they are found by (compared without case); the
/// first name of each is the one a preview shows. Required columns come first.
struct TableColumn {
    QStringList names;
    bool required;
};
std::vector<TableColumn> columnsOf(SourceTable table);
/// For each column of `table`, its index in `header` or -1.
std::vector<int> matchColumns(SourceTable table, const QStringList& header);

struct TableImportResult {
    bool done = false;
    QString reason;      ///< why nothing was written
    QStringList refused; ///< "строка 5: …" for every line that was refused
    int taken = 0;       ///< records stored
};

/// Stores every row of `rows` into the school through the relation rules. All or nothing:
/// the rows are stored in a copy of the school's files, which replaces them only when no row
/// was refused. Takes the folder's writing lock; the files must not be open elsewhere.
TableImportResult ImportTable(tamsel::Dictionary& dict, SourceTable table, const TableRows& rows);

} // namespace hestor
