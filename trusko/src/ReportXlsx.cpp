// Reports as workbooks: each document a sheet, each column set a table of real cells. The
// paper layout's fixed-width padding is taken off here, so the cells sort and sum in a
// spreadsheet. libxlsxwriter writes the file.

#include "trusko/ReportXlsx.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace trusko {

QString xlsxSheetName(const QString& wanted, QSet<QString>& used) {
    QString base = wanted.trimmed();
    for (QChar& ch : base)
        if (QStringLiteral("[]:*?/\\").contains(ch)) ch = QLatin1Char('-');
    while (base.startsWith(QLatin1Char('\''))) base.remove(0, 1);
    if (base.isEmpty()) base = QStringLiteral("Лист");
    QString name = base.left(31);
    while (name.endsWith(QLatin1Char('\''))) name.chop(1); // Excel refuses it at either end
    for (int n = 2; used.contains(name.toLower()); ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n);
        name = base.left(31 - suffix.size()) + suffix;
    }
    used.insert(name.toLower());
    return name;
}

namespace {

/// The lines of a report cell, each without padding; a gap of blanks between a name and a
/// number ("5-А/1     215") becomes one blank, as the renderer joins them when they do not
/// fit side by side.
QStringList cleanLines(const QString& text) {
    QString normalized = text;
    normalized.replace(CellLineBreak, QStringLiteral("\n"));
    QStringList lines = normalized.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = line.simplified();
    while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

/// A whole number Excel can sum without losing anything: no leading zero (a room "015" stays
/// text) and within the digits a double holds exactly.
bool wholeNumber(const QString& text, double* value) {
    static const QRegularExpression re(QStringLiteral("^-?(0|[1-9][0-9]{0,14})$"));
    if (!re.match(text).hasMatch()) return false;
    *value = text.toDouble();
    return true;
}

/// Excel's limit for one cell.
QByteArray utf8(const QString& text) {
    return text.left(32767).toUtf8();
}

constexpr double SheetWidth = 150; // characters across all columns of a full column set
constexpr double FontPoints = 10;
constexpr double LinePoints = 13;

class Book {
public:
    explicit Book(const QString& path) : wb_(workbook_new(QFile::encodeName(path).constData())) {}
    ~Book() {
        if (wb_) workbook_close(wb_); // only after a failure: close() took it otherwise
    }
    bool ok() const { return wb_ != nullptr; }
    lxw_error firstError() const { return error_; }

    void document(const ReportDocument& doc) {
        const QString wanted = doc.title.trimmed().isEmpty() ? doc.caption : doc.title;
        lxw_worksheet* ws =
            workbook_add_worksheet(wb_, utf8(xlsxSheetName(wanted, used_)).constData());
        if (!ws) {
            check(LXW_ERROR_SHEETNAME_ALREADY_USED); // any refusal: the name is the cause
            return;
        }
        pageSetup(ws, doc);
        const std::vector<int> columns = keptColumns(doc);
        const std::vector<double> widths = columnWidths(doc, columns);
        for (size_t i = 0; i < widths.size(); ++i)
            worksheet_set_column(ws, lxw_col_t(i), lxw_col_t(i), widths[i], nullptr);

        int row = 0;
        text(ws, row++, 0, doc.caption.trimmed(), format({Align::Left, true, Plain, 14}));
        if (!doc.title.trimmed().isEmpty())
            text(ws, row++, 0, doc.title.trimmed(), format({Align::Left, true, Plain, 12}));
        for (const ColumnSet& set : doc.sets) {
            ++row; // a blank row before each table
            const int headerRow = row;
            columnSet(ws, doc, set, columns, widths, row);
            if (doc.sets.size() == 1) {
                // One table: its header stays in sight while scrolling and on every printed page.
                worksheet_freeze_panes(ws, lxw_row_t(headerRow + 1), 0);
                worksheet_repeat_rows(ws, lxw_row_t(headerRow), lxw_row_t(headerRow));
            }
        }
    }

    lxw_error close() {
        lxw_workbook* wb = wb_;
        wb_ = nullptr;
        return workbook_close(wb);
    }

private:
    enum Kind { Plain, Header, Band, Total, Detail };
    struct Style {
        Align align;
        bool bold;
        Kind kind;
        double points = FontPoints;
        auto key() const { return std::make_tuple(int(align), bold, int(kind), points); }
    };

    lxw_format* format(const Style& s) {
        lxw_format*& f = formats_[s.key()];
        if (f) return f;
        f = workbook_add_format(wb_);
        format_set_font_size(f, s.points);
        if (s.bold) format_set_bold(f);
        if (s.kind == Plain) return f;
        format_set_text_wrap(f);
        format_set_border(f, LXW_BORDER_THIN);
        format_set_align(f, s.align == Align::Right    ? LXW_ALIGN_RIGHT
                            : s.align == Align::Center ? LXW_ALIGN_CENTER
                                                       : LXW_ALIGN_LEFT);
        format_set_align(f, s.kind == Detail ? LXW_ALIGN_VERTICAL_TOP : LXW_ALIGN_VERTICAL_CENTER);
        if (s.kind == Header) format_set_bg_color(f, 0xE4E4E4);
        if (s.kind == Band) format_set_bg_color(f, 0xEEEEEE);
        if (s.kind == Total) format_set_bg_color(f, 0xF2F2F2);
        return f;
    }

    /// A font alone, for the fragments of a cell whose lines are partly bold.
    lxw_format* font(bool bold) {
        lxw_format*& f = bold ? boldFont_ : plainFont_;
        if (!f) {
            f = workbook_add_format(wb_);
            format_set_font_size(f, FontPoints);
            if (bold) format_set_bold(f);
        }
        return f;
    }

    void check(lxw_error e) {
        if (e != LXW_NO_ERROR && error_ == LXW_NO_ERROR) error_ = e;
    }

    void text(lxw_worksheet* ws, int row, int col, const QString& s, lxw_format* f) {
        check(worksheet_write_string(ws, lxw_row_t(row), lxw_col_t(col), utf8(s).constData(), f));
    }

    void pageSetup(lxw_worksheet* ws, const ReportDocument& doc) {
        worksheet_set_landscape(ws);
        worksheet_set_paper(ws, 9); // A4
        worksheet_set_margins(ws, 0.4, 0.4, 0.5, 0.6);
        worksheet_fit_to_pages(ws, 1, 0); // as wide as the page, as many pages down as needed
        QString left = doc.caption.trimmed();
        if (!doc.title.trimmed().isEmpty()) left += QStringLiteral(" — ") + doc.title.trimmed();
        left.replace(QLatin1Char('&'), QStringLiteral("&&"));
        const QString footer =
            QStringLiteral("&L") + left.left(150) + QStringLiteral("&RСтраница &P из &N");
        check(worksheet_set_footer(ws, utf8(footer).constData()));
    }

    /// The columns worth a spreadsheet column: the paper layout pads the last page of a wide
    /// report with empty columns (a plan for 23 groups has 7 more on its third page), which
    /// would only be in the way of sorting and adding columns.
    static std::vector<int> keptColumns(const ReportDocument& doc) {
        int count = 0;
        for (const ColumnSet& set : doc.sets)
            count = std::max<int>(count, int(set.headers.size()));
        std::vector<int> kept;
        for (int c = 0; c < count; ++c) {
            bool used = c == 0;
            for (const ColumnSet& set : doc.sets) {
                used = used || !set.headers.value(c).trimmed().isEmpty();
                for (const ReportRow& r : set.rows)
                    used = used ||
                           (r.kind != ReportRow::Kind::Band && !r.cells.value(c).trimmed().isEmpty());
            }
            if (used) kept.push_back(c);
        }
        return kept;
    }

    /// Spreadsheet widths (characters) in the proportions of the paper layout.
    static std::vector<double> columnWidths(const ReportDocument& doc,
                                            const std::vector<int>& columns) {
        int all = 0;
        for (const ColumnSet& set : doc.sets)
            all = std::max<int>(all, int(set.headers.size()));
        std::vector<double> rel = doc.layout.widths;
        rel.resize(size_t(std::max(all, 1)), 1.0);
        double sum = 0;
        for (double x : rel)
            sum += x;
        std::vector<double> out;
        for (int c : columns)
            out.push_back(std::max(6.0, std::round(rel[size_t(c)] / sum * SheetWidth)));
        return out;
    }

    static int linesNeeded(const QStringList& lines, double width) {
        const int perLine = std::max(1, int(width * 1.1) - 1);
        int n = 0;
        for (const QString& l : lines)
            n += std::max<int>(1, int((l.size() + perLine - 1) / perLine));
        return n;
    }

    void columnSet(lxw_worksheet* ws, const ReportDocument& doc, const ColumnSet& set,
                   const std::vector<int>& columns, const std::vector<double>& widths, int& row) {
        const int last = int(columns.size()) - 1;
        int height = 1;
        for (int i = 0; i <= last; ++i) {
            const QStringList lines = cleanLines(set.headers.value(columns[size_t(i)]));
            text(ws, row, i, lines.join(QLatin1Char('\n')), format({Align::Center, true, Header}));
            height = std::max(height, linesNeeded(lines, widths[size_t(i)]));
        }
        rowHeight(ws, row++, height);
        for (const ReportRow& r : set.rows) {
            if (r.kind == ReportRow::Kind::Band) {
                lxw_format* f = format({Align::Center, true, Band});
                const QByteArray band = utf8(cleanLines(r.band()).join(QLatin1Char(' ')));
                if (last > 0)
                    check(worksheet_merge_range(ws, lxw_row_t(row), 0, lxw_row_t(row),
                                                lxw_col_t(last), band.constData(), f));
                else
                    check(worksheet_write_string(ws, lxw_row_t(row), 0, band.constData(), f));
                ++row;
                continue;
            }
            height = 1;
            for (int i = 0; i <= last; ++i) {
                const int c = columns[size_t(i)];
                const QStringList lines = cleanLines(r.cells.value(c));
                cell(ws, row, i, doc, r, c, lines);
                height = std::max(height, linesNeeded(lines, widths[size_t(i)]));
            }
            rowHeight(ws, row++, height);
        }
    }

    void rowHeight(lxw_worksheet* ws, int row, int lines) {
        if (lines > 1)
            worksheet_set_row(ws, lxw_row_t(row), lines * LinePoints + 3, nullptr);
    }

    void cell(lxw_worksheet* ws, int row, int col, const ReportDocument& doc, const ReportRow& r,
              int c, const QStringList& lines) {
        const Align align = size_t(c) < doc.layout.align.size() ? doc.layout.align[size_t(c)]
                                                                : Align::Left;
        const bool total = r.kind == ReportRow::Kind::Total;
        // Which lines stand out, as the renderer prints them.
        QList<int> strong = size_t(c) < r.strong.size() ? r.strong[size_t(c)] : QList<int>();
        if (c == 0 && doc.layout.boldRowHeader) strong << 0;
        int boldLines = 0, textLines = 0;
        for (int k = 0; k < lines.size(); ++k) {
            if (lines[k].isEmpty()) continue;
            ++textLines;
            if (total || strong.contains(k)) ++boldLines;
        }
        const bool allBold = textLines > 0 && boldLines == textLines;
        lxw_format* f = format({align, allBold, total ? Total : Detail});
        const QString joined = lines.join(QLatin1Char('\n'));
        double number = 0;
        if (wholeNumber(joined, &number)) {
            check(worksheet_write_number(ws, lxw_row_t(row), lxw_col_t(col), number, f));
        } else if (joined.isEmpty()) {
            check(worksheet_write_blank(ws, lxw_row_t(row), lxw_col_t(col), f));
        } else if (boldLines == 0 || allBold) {
            text(ws, row, col, joined, f);
        } else {
            richText(ws, row, col, lines, strong, f);
        }
    }

    /// A cell whose lines are partly bold (a lesson's subject): runs of lines of one weight
    /// are the fragments of a rich string.
    void richText(lxw_worksheet* ws, int row, int col, const QStringList& lines,
                  const QList<int>& strong, lxw_format* f) {
        std::vector<QByteArray> texts;
        std::vector<lxw_format*> fonts;
        for (int k = 0; k < lines.size(); ++k) {
            const bool bold = strong.contains(k) && !lines[k].isEmpty();
            const QString piece = (k > 0 ? QStringLiteral("\n") : QString()) + lines[k];
            if (piece.isEmpty()) continue; // a fragment may not be empty
            if (!fonts.empty() && fonts.back() == font(bold)) {
                texts.back() += piece.toUtf8();
            } else {
                texts.push_back(piece.toUtf8());
                fonts.push_back(font(bold));
            }
        }
        std::vector<lxw_rich_string_tuple> tuples(texts.size());
        std::vector<lxw_rich_string_tuple*> list;
        for (size_t i = 0; i < texts.size(); ++i) {
            tuples[i].format = fonts[i];
            tuples[i].string = texts[i].data();
            list.push_back(&tuples[i]);
        }
        list.push_back(nullptr);
        check(worksheet_write_rich_string(ws, lxw_row_t(row), lxw_col_t(col), list.data(), f));
    }

    lxw_workbook* wb_;
    std::map<std::tuple<int, bool, int, double>, lxw_format*> formats_;
    lxw_format* plainFont_ = nullptr;
    lxw_format* boldFont_ = nullptr;
    QSet<QString> used_;
    lxw_error error_ = LXW_NO_ERROR;
};

QString lxwCause(lxw_error e) {
    switch (e) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return QStringLiteral("недостаточно памяти");
    case LXW_ERROR_CREATING_XLSX_FILE:
    case LXW_ERROR_CREATING_TMPFILE:
        return QStringLiteral("не удалось создать временный файл");
    case LXW_ERROR_SHEETNAME_ALREADY_USED:
        return QStringLiteral("недопустимое имя листа");
    default:
        return QStringLiteral("ошибка записи книги Excel (код %1)").arg(int(e));
    }
}

} // namespace

QString xlsxCellText(const QString& reportText) {
    return cleanLines(reportText).join(QLatin1Char('\n'));
}

bool saveReportsXlsx(const std::vector<const ReportDocument*>& docs, const QString& path,
                     QString* error) {
    auto fail = [&](const QString& text) {
        if (error) *error = text;
        return false;
    };
    const QString shown = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    std::vector<const ReportDocument*> kept;
    for (const ReportDocument* d : docs) {
        if (!d) continue;
        if (d->failed) return fail(QStringLiteral("Файл %1 не записан: данные не прочитаны").arg(shown));
        if (d->cancelled)
            return fail(QStringLiteral("Файл %1 не записан: построение отчёта прервано").arg(shown));
        kept.push_back(d);
    }
    if (kept.empty()) return fail(QStringLiteral("Файл %1 не записан: нет документов").arg(shown));

    // The workbook goes to a scratch file first and reaches `path` through QSaveFile, so an
    // existing file is replaced only by a complete one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("Не удалось создать файл %1: %2").arg(shown, file.errorString()));
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return fail(QStringLiteral("Не удалось записать файл %1: %2")
                        .arg(shown, QStringLiteral("не удалось создать временный файл")));
    const QString part = scratch.filePath(QStringLiteral("report.xlsx"));
    {
        Book book(part);
        if (!book.ok())
            return fail(QStringLiteral("Не удалось записать файл %1: %2")
                            .arg(shown, lxwCause(LXW_ERROR_MEMORY_MALLOC_FAILED)));
        for (const ReportDocument* d : kept)
            book.document(*d);
        lxw_error e = book.firstError();
        const lxw_error closed = book.close();
        if (e == LXW_NO_ERROR) e = closed;
        if (e != LXW_NO_ERROR)
            return fail(QStringLiteral("Не удалось записать файл %1: %2").arg(shown, lxwCause(e)));
    }
    QFile written(part);
    if (!written.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Не удалось записать файл %1: %2").arg(shown, written.errorString()));
    const QByteArray bytes = written.readAll();
    if (file.write(bytes) != bytes.size() || !file.commit())
        return fail(QStringLiteral("Не удалось записать файл %1: %2").arg(shown, file.errorString()));
    return true;
}

} // namespace trusko
