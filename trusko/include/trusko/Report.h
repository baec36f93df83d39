#pragma once

// A printed report as the builders produce it: what is on the pages, without any geometry.
// Builders fill it from the data files; the renderer lays it out on paper.

#include <QString>
#include <QStringList>
#include <vector>

namespace trusko {

/// Line break between lines of one cell and between the lessons of one cell.
inline const QString CellLineBreak = QStringLiteral("\r\n");

/// Texts as the fixed-width fields hold them: cut or padded with blanks to `width`.
QString fixedWidth(const QString& text, int width);

/// One row of a column set.
struct ReportRow {
    enum class Kind {
        Detail, ///< a row header cell and one cell per column
        Band,   ///< one text across the whole width (week and day bands)
        Total,  ///< like a detail row, printed as a summary line
    };
    Kind kind = Kind::Detail;
    /// The band's text, or for detail and total rows one text per column of the set
    /// (the row header first). Lines inside a cell are separated by CellLineBreak.
    QStringList cells;
    /// Per cell, the lines (counted from 0) that stand out in bold, such as a lesson's
    /// subject; may be shorter than `cells`.
    std::vector<QList<int>> strong;

    QString band() const { return cells.value(0); }
};

/// The columns of one page-wide table: a report is printed as one or more column sets, each
/// starting on a new page (and running on over further pages when it is long).
struct ColumnSet {
    QStringList headers; ///< one per column, the row header column first
    std::vector<ReportRow> rows;

    /// The detail and total rows only (bands skipped), in order.
    std::vector<const ReportRow*> detailRows() const;
};

enum class Align { Left, Center, Right };

/// How the columns of a report share the width of the page.
struct ColumnLayout {
    /// Relative widths, one per column (the row header column first).
    std::vector<double> widths;
    /// Alignment of the cell texts of each column.
    std::vector<Align> align;
    /// The first line of every row header stands out in bold (lesson numbers).
    bool boldRowHeader = false;
    /// A column set that fits on one page gets taller rows that fill the page (timetables
    /// to post on a wall).
    bool fillPage = false;
};

struct ReportDocument {
    QString caption; ///< "Расписание уроков", "Учебный план", ...
    QString title; ///< the object: a teacher's name, a group, "Кабинет № 215"; may be empty
    ColumnLayout layout;
    std::vector<ColumnSet> sets;
    /// The user cancelled the progress window or the stop prompt: nothing is to be printed.
    bool cancelled = false;
    /// The data files could not be opened (the message was shown): nothing is to be printed.
    bool failed = false;

    bool printable() const { return !cancelled && !failed; }
};

} // namespace trusko
