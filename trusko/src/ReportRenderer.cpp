#include "trusko/ReportRenderer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>

namespace trusko {

QPageLayout reportPageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(12, 10, 12, 10),
                       QPageLayout::Millimeter);
}

namespace {

QFont font(double points, bool bold = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

struct Style {
    QFont cell = font(9.5);
    QFont cellBold = font(9.5, true);
    QFont columnHeader = font(10, true);
    QFont band = font(10, true);
    QFont caption = font(17, true);
    QFont title = font(14, true);
    QFont approval = font(10.5);
    QFont footer = font(7.5);
    QColor headerFill{0xE4, 0xE4, 0xE4};
    QColor bandFill{0xEE, 0xEE, 0xEE};
    QColor totalFill{0xF2, 0xF2, 0xF2};
};

/// A page of the plan: which rows of which column set it shows.
struct Page {
    const ReportDocument* doc = nullptr;
    const ColumnSet* set = nullptr;
    const std::vector<double>* heights = nullptr;
    std::vector<size_t> rows;
    /// The band that a page broken inside its section repeats at the top, or -1.
    long carriedBand = -1;
    int number = 0; ///< within its document
    int count = 0;  ///< pages of its document
};

class Renderer {
public:
    explicit Renderer(QPagedPaintDevice& device)
        : dev_(device), mm_(device.logicalDpiY() / 25.4), width_(device.width()),
          height_(device.height()) {}

    int run(const std::vector<const ReportDocument*>& docs) {
        plan(docs);
        if (pages_.empty()) return 0;
        QPainter p;
        if (!p.begin(&dev_)) return 0;
        for (size_t i = 0; i < pages_.size(); ++i) {
            if (i > 0 && !dev_.newPage()) return 0;
            paintPage(p, pages_[i]);
        }
        p.end();
        return static_cast<int>(pages_.size());
    }

private:
    double mm(double v) const { return v * mm_; }
    double padX() const { return mm(1.2); }
    double padY() const { return mm(0.7); }
    double footerTop() const { return height_ - QFontMetricsF(style_.footer, &dev_).height(); }
    double tableBottom() const { return footerTop() - mm(2); }

    std::vector<double> columnWidths(const ReportDocument& doc, int columns) const {
        std::vector<double> w = doc.layout.widths;
        w.resize(static_cast<size_t>(columns), 1.0);
        double sum = 0;
        for (double x : w)
            sum += x;
        for (double& x : w)
            x = x / sum * width_;
        return w;
    }

    Align alignOf(const ReportDocument& doc, size_t column) const {
        return column < doc.layout.align.size() ? doc.layout.align[column] : Align::Left;
    }

    /// Paints (when `p` is set) or measures the lines of one cell text inside `r`; returns
    /// the height the text takes. A line holding a name and a number apart ("10-А/1    215")
    /// puts the name on the left and the number on the right.
    double cellText(QPainter* p, const QRectF& r, const QString& text, Align align, const QFont& f,
                    const QFont& bold, bool boldFirst, const QList<int>& strong = {}) const {
        QString normalized = text;
        normalized.replace(CellLineBreak, QStringLiteral("\n"));
        const QStringList lines = normalized.split(QLatin1Char('\n'));
        const int hAlign = align == Align::Right    ? Qt::AlignRight
                           : align == Align::Center ? Qt::AlignHCenter
                                                    : Qt::AlignLeft;
        double y = r.top();
        for (int k = 0; k < lines.size(); ++k) {
            const QFont& lf = ((k == 0 && boldFirst) || strong.contains(k)) ? bold : f;
            const QFontMetricsF fm(lf, &dev_);
            QString line = lines[k].trimmed();
            if (p) p->setFont(lf);
            const qsizetype gap = line.indexOf(QStringLiteral("  "));
            if (align == Align::Left && gap > 0) {
                const QString left = line.left(gap).trimmed();
                const QString right = line.mid(gap).trimmed();
                if (fm.horizontalAdvance(left) + fm.horizontalAdvance(right) + mm(1.5) <=
                    r.width()) {
                    if (p) {
                        const QRectF lr(r.left(), y, r.width(), fm.height());
                        p->drawText(lr, Qt::AlignLeft | Qt::AlignTop, left);
                        p->drawText(lr, Qt::AlignRight | Qt::AlignTop, right);
                    }
                    y += fm.height();
                    continue;
                }
                line = left + QLatin1Char(' ') + right;
            }
            const int flags = hAlign | Qt::AlignTop | Qt::TextWordWrap;
            double h = fm.height();
            if (!line.isEmpty())
                h = std::max(h,
                             fm.boundingRect(QRectF(0, 0, r.width(), 1e9), flags, line).height());
            if (p) p->drawText(QRectF(r.left(), y, r.width(), h), flags, line);
            y += h;
        }
        return y - r.top();
    }

    double headerHeight(const ReportDocument& doc) const { return header(nullptr, doc); }

    /// The page header: the approval block on the right, the caption and the object centred.
    double header(QPainter* p, const ReportDocument& doc) const {
        const QFontMetricsF fa(style_.approval, &dev_);
        const QString approve = QStringLiteral("\"Утверждаю\"");
        const QString date = QStringLiteral("\"_____\" ________________ 20__ г.");
        const double blockWidth =
            std::max(fa.horizontalAdvance(approve), fa.horizontalAdvance(date));
        const double x = width_ - blockWidth;
        double y = 0;
        if (p) {
            p->setFont(style_.approval);
            p->drawText(QRectF(x, y, blockWidth, fa.height()), Qt::AlignHCenter, approve);
        }
        y += fa.height() + mm(3.5);
        if (p) p->drawText(QRectF(x, y, blockWidth, fa.height()), Qt::AlignLeft, date);
        y += fa.height() + mm(3);

        const QFontMetricsF fc(style_.caption, &dev_);
        if (p) {
            p->setFont(style_.caption);
            p->drawText(QRectF(0, y, width_, fc.height()), Qt::AlignHCenter, doc.caption);
        }
        y += fc.height();
        if (!doc.title.trimmed().isEmpty()) {
            const QFontMetricsF ft(style_.title, &dev_);
            y += mm(0.5);
            if (p) {
                p->setFont(style_.title);
                p->drawText(QRectF(0, y, width_, ft.height()), Qt::AlignHCenter,
                            doc.title.trimmed());
            }
            y += ft.height();
        }
        return y + mm(4);
    }

    double columnHeaderHeight(const ReportDocument& doc, const ColumnSet& set) const {
        const std::vector<double> w = columnWidths(doc, static_cast<int>(set.headers.size()));
        double h = 0;
        for (size_t c = 0; c < w.size(); ++c)
            h = std::max(h, cellText(nullptr, QRectF(0, 0, w[c] - 2 * padX(), 1e9),
                                     set.headers.value(static_cast<int>(c)), Align::Center,
                                     style_.columnHeader, style_.columnHeader, false));
        return h + 2 * padY();
    }

    static const QList<int>& strongOf(const ReportRow& row, size_t column) {
        static const QList<int> none;
        return column < row.strong.size() ? row.strong[column] : none;
    }

    double rowHeight(const ReportDocument& doc, const ColumnSet& set, const ReportRow& row) const {
        if (row.kind == ReportRow::Kind::Band)
            return QFontMetricsF(style_.band, &dev_).height() + 2 * padY();
        const std::vector<double> w = columnWidths(doc, static_cast<int>(set.headers.size()));
        const bool total = row.kind == ReportRow::Kind::Total;
        double h = 0;
        for (size_t c = 0; c < w.size(); ++c)
            h = std::max(h, cellText(nullptr, QRectF(0, 0, w[c] - 2 * padX(), 1e9),
                                     row.cells.value(static_cast<int>(c)), alignOf(doc, c),
                                     total ? style_.cellBold : style_.cell, style_.cellBold,
                                     c == 0 && doc.layout.boldRowHeader, strongOf(row, c)));
        return h + 2 * padY();
    }

    /// A column set on a single page gets taller detail rows that fill the page, as a posted
    /// timetable should; each row grows by at most 25 mm.
    void stretch(const ColumnSet& set, std::vector<double>& hs, double spare) const {
        int detail = 0;
        for (const ReportRow& r : set.rows)
            if (r.kind == ReportRow::Kind::Detail) ++detail;
        if (detail == 0 || spare <= 0) return;
        const double grow = std::min(mm(25), spare / detail);
        for (size_t i = 0; i < hs.size(); ++i)
            if (set.rows[i].kind == ReportRow::Kind::Detail) hs[i] += grow;
    }

    void plan(const std::vector<const ReportDocument*>& docs) {
        for (const ReportDocument* doc : docs) {
            if (!doc || !doc->printable()) continue;
            const size_t firstPage = pages_.size();
            const double top = headerHeight(*doc);
            for (const ColumnSet& set : doc->sets) {
                const double head = columnHeaderHeight(*doc, set);
                const double room = std::max(mm(10), tableBottom() - top - head);
                heights_.push_back(std::make_unique<std::vector<double>>());
                std::vector<double>& hs = *heights_.back();
                for (const ReportRow& row : set.rows)
                    hs.push_back(std::min(room, rowHeight(*doc, set, row))); // a giant row is cut

                Page page{doc, &set, &hs, {}, -1, 0, 0};
                double y = 0;
                long lastBand = -1;
                for (size_t i = 0; i < set.rows.size(); ++i) {
                    double need = hs[i];
                    // A band stays with the row that follows it.
                    if (set.rows[i].kind == ReportRow::Kind::Band && i + 1 < set.rows.size() &&
                        set.rows[i + 1].kind != ReportRow::Kind::Band)
                        need += hs[i + 1];
                    if (y + need > room && !page.rows.empty()) {
                        pages_.push_back(page);
                        page.rows.clear();
                        page.carriedBand = -1;
                        y = 0;
                        if (set.rows[i].kind != ReportRow::Kind::Band && lastBand >= 0) {
                            page.carriedBand = lastBand;
                            y += hs[static_cast<size_t>(lastBand)];
                        }
                    }
                    if (set.rows[i].kind == ReportRow::Kind::Band) lastBand = static_cast<long>(i);
                    page.rows.push_back(i);
                    y += hs[i];
                }
                const bool onePage = page.rows.size() == set.rows.size();
                pages_.push_back(page);
                if (onePage && doc->layout.fillPage) stretch(set, hs, room - y);
            }
            if (doc->sets.empty()) pages_.push_back(Page{doc, nullptr, nullptr, {}, -1, 0, 0});
            const int count = static_cast<int>(pages_.size() - firstPage);
            for (size_t i = firstPage; i < pages_.size(); ++i) {
                pages_[i].number = static_cast<int>(i - firstPage) + 1;
                pages_[i].count = count;
            }
        }
    }

    void paintPage(QPainter& p, const Page& page) const {
        const ReportDocument& doc = *page.doc;
        p.setPen(QPen(Qt::black, 0));
        double y = header(&p, doc);
        if (page.set) y = table(p, page, y);
        footer(p, page);
    }

    double table(QPainter& p, const Page& page, double top) const {
        const ReportDocument& doc = *page.doc;
        const ColumnSet& set = *page.set;
        const std::vector<double> w = columnWidths(doc, static_cast<int>(set.headers.size()));
        const QPen thin(Qt::black, mm(0.18));
        const QPen thick(Qt::black, mm(0.45));

        // Column headers, repeated on every page of the set.
        double y = top;
        const double hh = columnHeaderHeight(doc, set);
        p.fillRect(QRectF(0, y, width_, hh), style_.headerFill);
        double x = 0;
        for (size_t c = 0; c < w.size(); ++c) {
            const QRectF cell(x, y, w[c], hh);
            const QRectF inner = cell.adjusted(padX(), padY(), -padX(), -padY());
            const double th =
                cellText(nullptr, inner, set.headers.value(static_cast<int>(c)), Align::Center,
                         style_.columnHeader, style_.columnHeader, false);
            p.setPen(Qt::black);
            cellText(&p, inner.adjusted(0, (inner.height() - th) / 2, 0, 0),
                     set.headers.value(static_cast<int>(c)), Align::Center, style_.columnHeader,
                     style_.columnHeader, false);
            p.setPen(thin);
            p.drawRect(cell);
            x += w[c];
        }
        y += hh;
        const double bodyTop = y;

        auto band = [&](const QString& text, double h) {
            const QRectF r(0, y, width_, h);
            p.fillRect(r, style_.bandFill);
            p.setPen(Qt::black);
            p.setFont(style_.band);
            p.drawText(r.adjusted(padX(), padY(), -padX(), -padY()),
                       Qt::AlignHCenter | Qt::AlignVCenter, text);
            p.setPen(thin);
            p.drawRect(r);
            y += h;
        };
        if (page.carriedBand >= 0) {
            const auto b = static_cast<size_t>(page.carriedBand);
            band(set.rows[b].band().trimmed() + QStringLiteral(" (продолжение)"),
                 (*page.heights)[b]);
        }
        for (size_t i : page.rows) {
            const ReportRow& row = set.rows[i];
            const double h = (*page.heights)[i];
            if (row.kind == ReportRow::Kind::Band) {
                band(row.band().trimmed(), h);
                continue;
            }
            const bool total = row.kind == ReportRow::Kind::Total;
            if (total) p.fillRect(QRectF(0, y, width_, h), style_.totalFill);
            x = 0;
            for (size_t c = 0; c < w.size(); ++c) {
                const QRectF cell(x, y, w[c], h);
                const QRectF inner = cell.adjusted(padX(), padY(), -padX(), -padY());
                const QString text = row.cells.value(static_cast<int>(c));
                const QFont& f = total ? style_.cellBold : style_.cell;
                const QList<int>& strong = strongOf(row, c);
                p.save();
                p.setClipRect(cell);
                p.setPen(Qt::black);
                // Texts stand in the middle of rows made taller to fill the page.
                QRectF at = inner;
                const bool boldFirst = c == 0 && doc.layout.boldRowHeader;
                const double th = cellText(nullptr, inner, text, alignOf(doc, c), f,
                                           style_.cellBold, boldFirst, strong);
                at.setTop(inner.top() + std::max(0.0, (inner.height() - th) / 2));
                cellText(&p, at, text, alignOf(doc, c), f, style_.cellBold, boldFirst, strong);
                p.restore();
                p.setPen(thin);
                p.drawRect(cell);
                x += w[c];
            }
            if (total) {
                p.setPen(thick);
                p.drawLine(QPointF(0, y), QPointF(width_, y));
            }
            y += h;
        }
        // The outer frame and the line under the column headers stand out.
        p.setPen(thick);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(0, top, width_, y - top));
        p.drawLine(QPointF(0, bodyTop), QPointF(width_, bodyTop));
        return y;
    }

    void footer(QPainter& p, const Page& page) const {
        const QFontMetricsF ff(style_.footer, &dev_);
        const QRectF r(0, footerTop(), width_, ff.height());
        p.setFont(style_.footer);
        p.setPen(Qt::black);
        QString left = page.doc->caption;
        if (!page.doc->title.trimmed().isEmpty())
            left += QStringLiteral(" — ") + page.doc->title.trimmed();
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, left);
        p.drawText(r, Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("Страница %1 из %2").arg(page.number).arg(page.count));
    }

    QPagedPaintDevice& dev_;
    double mm_;
    double width_, height_;
    Style style_;
    std::vector<Page> pages_;
    std::vector<std::unique_ptr<std::vector<double>>> heights_;
};

} // namespace

int renderReports(const std::vector<const ReportDocument*>& docs, QPagedPaintDevice& device) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return 0;
    return Renderer(device).run(docs);
}

bool writeReportsPdf(const std::vector<const ReportDocument*>& docs, const QString& fileName,
                     QString* error) {
    auto fail = [&](const QString& text) {
        if (error) *error = text;
        return false;
    };
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return fail(QStringLiteral("Печать отчётов требует графической среды Qt"));
    // The PDF is written beside the target and replaces it only when complete.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("Не удалось создать файл %1: %2")
                        .arg(QFileInfo(fileName).absoluteFilePath(), file.errorString()));
    int pages = 0;
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(reportPageLayout());
        writer.setResolution(600);
        writer.setCreator(QStringLiteral("Korvel"));
        for (const ReportDocument* d : docs)
            if (d && d->printable()) {
                writer.setTitle(d->title.isEmpty()
                                    ? d->caption
                                    : d->caption + QStringLiteral(" — ") + d->title.trimmed());
                break;
            }
        pages = renderReports(docs, writer);
    }
    if (pages == 0) {
        file.cancelWriting();
        return fail(QStringLiteral("Нет страниц для печати"));
    }
    if (!file.commit())
        return fail(QStringLiteral("Не удалось записать файл %1: %2")
                        .arg(QFileInfo(fileName).absoluteFilePath(), file.errorString()));
    return true;
}

} // namespace trusko
