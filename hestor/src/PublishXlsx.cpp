// The workbook: the wall chart of the staff room (days and lessons down, every group across)
// and a sheet per group and per teacher laid out like the printed timetable. libxlsxwriter
// writes the file.

#include "PublishFormats.h"

#include "trusko/ReportBuilders.h"
#include "trusko/ReportXlsx.h"

#include <QSet>

#include <xlsxwriter.h>

namespace hestor::publish {

using namespace tamsel;
using trusko::PlacedLesson;
using trusko::TimetableObject;

namespace {

QString cellText(const std::vector<const PlacedLesson*>& lessons, Short kind) {
    QStringList lines;
    for (const PlacedLesson* l : lessons) lines << lessonLine(*l, kind);
    return lines.join(QLatin1Char('\n'));
}

QString bellHeader(const LessonBell& b) {
    QString h = lessonNumber(b) + QStringLiteral(" урок");
    const QString from = bellTime(b.Begining), to = bellTime(b.Ending);
    if (!from.isEmpty() || !to.isEmpty()) h += QLatin1Char('\n') + from + QStringLiteral("–") + to;
    return h;
}

/// Enough height for the lines of the fullest cell of a row (points; 11 per line at 9 pt).
double rowHeight(int lines) {
    return std::max(2, lines) * 11.5 + 2;
}

class Workbook {
public:
    explicit Workbook(const QString& path) : wb_(workbook_new(path.toUtf8().constData())) {
        if (!wb_) return;
        cell_ = workbook_add_format(wb_);
        format_set_text_wrap(cell_);
        format_set_align(cell_, LXW_ALIGN_VERTICAL_TOP);
        format_set_border(cell_, LXW_BORDER_THIN);
        format_set_font_size(cell_, 9);
        head_ = workbook_add_format(wb_);
        format_set_text_wrap(head_);
        format_set_bold(head_);
        format_set_align(head_, LXW_ALIGN_CENTER);
        format_set_align(head_, LXW_ALIGN_VERTICAL_CENTER);
        format_set_border(head_, LXW_BORDER_THIN);
        format_set_bg_color(head_, 0xE6E6E6);
        format_set_font_size(head_, 9);
        title_ = workbook_add_format(wb_);
        format_set_bold(title_);
        format_set_font_size(title_, 12);
    }
    ~Workbook() {
        if (wb_) workbook_close(wb_); // only after a failure: close() took it otherwise
    }
    bool ok() const { return wb_ != nullptr; }

    lxw_worksheet* sheet(const QString& wanted) {
        const QByteArray name = trusko::xlsxSheetName(wanted, used_).toUtf8();
        lxw_worksheet* ws = workbook_add_worksheet(wb_, name.constData());
        if (!ws) return nullptr;
        worksheet_set_landscape(ws);
        worksheet_set_paper(ws, 9); // A4
        worksheet_set_margins(ws, 0.3, 0.3, 0.4, 0.4);
        return ws;
    }

    void write(lxw_worksheet* ws, int row, int col, const QString& text, lxw_format* f) {
        worksheet_write_string(ws, lxw_row_t(row), lxw_col_t(col), text.toUtf8().constData(), f);
    }

    /// The printed timetable of one object: per week a band, the days across, bells down.
    void objectSheet(const trusko::PlacedTimetable& t, const TimetableObject& o) {
        lxw_worksheet* ws = sheet(o.title);
        if (!ws) return;
        const int days = int(t.days.size());
        worksheet_set_column(ws, 0, 0, 11, nullptr);
        if (days > 0) worksheet_set_column(ws, 1, lxw_col_t(days), 24, nullptr);
        worksheet_fit_to_pages(ws, 1, 1);
        int row = 0;
        write(ws, row++, 0, QStringLiteral("Расписание уроков: ") + o.title, title_);
        for (int w = 1; w <= t.weeks; ++w) {
            if (t.weeks > 1) write(ws, row++, 0, trusko::weekBand(w), title_);
            write(ws, row, 0, QStringLiteral("Урок"), head_);
            for (int d = 0; d < days; ++d) write(ws, row, d + 1, t.days[d].DayName, head_);
            ++row;
            for (size_t b = 0; b < t.bells.size(); ++b) {
                write(ws, row, 0, bellHeader(t.bells[b]), head_);
                int lines = 2;
                for (int d = 0; d < days; ++d) {
                    const QString text = cellText(t.cell(o, w, d, int(b)), o.kind);
                    lines = std::max(lines, int(text.count(QLatin1Char('\n'))) * 2 + 2);
                    write(ws, row, d + 1, text, cell_);
                }
                worksheet_set_row(ws, lxw_row_t(row), rowHeight(lines), nullptr);
                ++row;
            }
            ++row;
        }
    }

    /// The wall chart: week, day and lesson down, every group across.
    void wallChart(const trusko::PlacedTimetable& t) {
        lxw_worksheet* ws = sheet(QStringLiteral("Сводное расписание"));
        if (!ws) return;
        const int groups = int(t.groups.size());
        worksheet_set_column(ws, 0, 0, 7, nullptr);
        worksheet_set_column(ws, 1, 1, 12, nullptr);
        worksheet_set_column(ws, 2, 2, 10, nullptr);
        if (groups > 0) worksheet_set_column(ws, 3, lxw_col_t(groups + 2), 20, nullptr);
        worksheet_fit_to_pages(ws, 1, 0);
        worksheet_repeat_rows(ws, 0, 0);
        worksheet_freeze_panes(ws, 1, 3);
        write(ws, 0, 0, QStringLiteral("Неделя"), head_);
        write(ws, 0, 1, QStringLiteral("День"), head_);
        write(ws, 0, 2, QStringLiteral("Урок"), head_);
        for (int g = 0; g < groups; ++g) write(ws, 0, g + 3, t.groups[g].title, head_);
        int row = 1;
        for (int w = 1; w <= t.weeks; ++w)
            for (int d = 0; d < int(t.days.size()); ++d)
                for (size_t b = 0; b < t.bells.size(); ++b) {
                    write(ws, row, 0, QString::number(w), head_);
                    write(ws, row, 1, t.days[d].DayName, head_);
                    write(ws, row, 2, bellHeader(t.bells[b]), head_);
                    int lines = 2;
                    for (int g = 0; g < groups; ++g) {
                        const QString text =
                            cellText(t.cell(t.groups[g], w, d, int(b)), ObjectType::Group);
                        lines = std::max(lines, int(text.count(QLatin1Char('\n'))) * 2 + 2);
                        write(ws, row, g + 3, text, cell_);
                    }
                    worksheet_set_row(ws, lxw_row_t(row), rowHeight(lines), nullptr);
                    ++row;
                }
    }

    lxw_error close() {
        lxw_workbook* wb = wb_;
        wb_ = nullptr;
        return workbook_close(wb);
    }

private:
    lxw_workbook* wb_;
    lxw_format* cell_ = nullptr;
    lxw_format* head_ = nullptr;
    lxw_format* title_ = nullptr;
    QSet<QString> used_;
};

} // namespace

bool writeXlsx(const Context& c, const QString& path, QString* error) {
    Workbook wb(path);
    if (!wb.ok()) {
        *error = QStringLiteral("не удалось начать запись");
        return false;
    }
    wb.wallChart(c.t);
    for (const TimetableObject& o : c.t.groups) wb.objectSheet(c.t, o);
    if (!c.step()) return false;
    for (const TimetableObject& o : c.t.teachers) wb.objectSheet(c.t, o);
    if (!c.step()) return false;
    if (const lxw_error e = wb.close(); e != LXW_NO_ERROR) {
        *error = QString::fromUtf8(lxw_strerror(e));
        return false;
    }
    return true;
}

} // namespace hestor::publish
