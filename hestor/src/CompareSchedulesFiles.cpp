// The comparison of two timetables as the printed report, a web page and a CSV table; the page
// and the table look like the published timetable's own.

#include "hestor/CompareSchedules.h"

#include "PublishFormats.h"

#include "tamsel/Dictionary.h"
#include "tamsel/OutputPath.h"

#include <QDir>
#include <QSaveFile>

namespace hestor {

using namespace tamsel;

namespace {

const QStringList& columnTitles() {
    static const QStringList titles{QStringLiteral("Урок"), QStringLiteral("Изменение"),
                                    QStringLiteral("Было"), QStringLiteral("Стало")};
    return titles;
}

QString esc(const QString& text) {
    return text.toHtmlEscaped();
}

} // namespace

trusko::ReportDocument ComparisonReport(const ScheduleComparison& c, ChangesBy by) {
    trusko::ReportDocument d;
    d.caption = CompareCaption();
    d.title = ComparisonHeading(c);
    d.layout.widths = {5, 2, 3, 3};
    d.layout.align = {trusko::Align::Left, trusko::Align::Left, trusko::Align::Left,
                      trusko::Align::Left};
    trusko::ColumnSet set;
    set.headers = columnTitles();
    auto band = [&](const QString& text) {
        trusko::ReportRow r;
        r.kind = trusko::ReportRow::Kind::Band;
        r.cells = {text};
        set.rows.push_back(std::move(r));
    };
    for (const ChangedObject& o : c.by(by)) {
        band(o.name);
        for (int i : o.changes) {
            const ScheduleChange& ch = c.changes[size_t(i)];
            trusko::ReportRow r;
            r.cells = {ch.lesson, ch.kindText(), ch.from, ch.to};
            set.rows.push_back(std::move(r));
        }
    }
    band(ComparisonSummary(c));
    d.sets.push_back(std::move(set));
    return d;
}

QString ComparisonHtmlBody(const ScheduleComparison& c, ChangesBy by, int level) {
    const QString h = QStringLiteral("h%1").arg(level);
    QString b;
    for (const ChangedObject& o : c.by(by)) {
        b += QStringLiteral("<section>\n<%2>%1</%2>\n<table>\n<caption>%1</caption>\n<thead><tr>")
                 .arg(esc(o.name), h);
        for (const QString& title : columnTitles())
            b += QStringLiteral("<th scope=\"col\">%1</th>").arg(esc(title));
        b += QStringLiteral("</tr></thead>\n<tbody>\n");
        for (int i : o.changes) {
            const ScheduleChange& ch = c.changes[size_t(i)];
            b += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td></tr>\n")
                     .arg(esc(ch.lesson), esc(ch.kindText()), esc(ch.from), esc(ch.to));
        }
        b += QStringLiteral("</tbody>\n</table>\n</section>\n");
    }
    return b + QStringLiteral("<p>%1</p>\n").arg(esc(ComparisonSummary(c)));
}

QByteArray ComparisonHtml(const ScheduleComparison& c, ChangesBy by) {
    const QString title = QStringLiteral("Изменения в расписании");
    const QString b = QStringLiteral("<h1>%1</h1>\n<p>%2: %3</p>\n")
                          .arg(esc(title), esc(CompareCaption()), esc(ComparisonHeading(c))) +
                      ComparisonHtmlBody(c, by, 2);
    return publish::htmlPage(title, b).toUtf8();
}

QByteArray ComparisonCsv(const ScheduleComparison& c, ChangesBy by) {
    QString out = QStringLiteral("\uFEFF");
    publish::csvRow(out, {QStringLiteral("Изменение"), QStringLiteral("Предмет"),
                          QStringLiteral("Класс"), QStringLiteral("Подгруппа"),
                          QStringLiteral("Учитель"), QStringLiteral("Было: неделя"),
                          QStringLiteral("Было: день"), QStringLiteral("Было: урок"),
                          QStringLiteral("Было: кабинет"), QStringLiteral("Стало: неделя"),
                          QStringLiteral("Стало: день"), QStringLiteral("Стало: урок"),
                          QStringLiteral("Стало: кабинет")});
    auto place = [](bool has, const ComparedLesson& l) {
        return has ? QStringList{QString::number(l.entry.Week), l.dayName.trimmed(),
                                 l.entry.LessonNo.trimmed(), l.room}
                   : QStringList{QString(), QString(), QString(), QString()};
    };
    // Every lesson has one group and one teacher: either order lists each change once.
    for (const ChangedObject& o : c.by(by))
        for (int i : o.changes) {
            const ScheduleChange& ch = c.changes[size_t(i)];
            const ComparedLesson& l = ch.latest();
            publish::csvRow(out, QStringList{ch.kindText(), l.subject, l.groupName,
                                             l.group.mid(l.groupName.size()).trimmed(), l.teacher} +
                                     place(ch.hasBefore(), ch.before) +
                                     place(ch.hasAfter(), ch.after));
        }
    return out.toUtf8();
}

QString SaveComparison(Dictionary& dict, const ScheduleComparison& c, ChangesBy by,
                       ComparisonFile format, const QString& path) {
    const QString native = QDir::toNativeSeparators(path);
    if (const QString refused = OutputPathRefusal(dict, path); !refused.isEmpty())
        return QStringLiteral("Файл %1 не записан. ").arg(native) + refused;
    const QByteArray bytes =
        format == ComparisonFile::Html ? ComparisonHtml(c, by) : ComparisonCsv(c, by);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return QStringLiteral("Файл %1 не записан: %2.").arg(native, file.errorString());
    return {};
}

} // namespace hestor
