// The substitutions of a date as the printed document, a web page and a CSV table; the page and
// the table look like the published timetable's own.

#include "hestor/Substitutions.h"

#include "PublishFormats.h"

#include "tamsel/Dictionary.h"
#include "tamsel/OutputPath.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSaveFile>

namespace hestor {

using namespace tamsel;

namespace {

const QStringList& columnTitles() {
    static const QStringList titles{QStringLiteral("Урок"),        QStringLiteral("Класс"),
                                    QStringLiteral("Предмет"),     QStringLiteral("Отсутствует"),
                                    QStringLiteral("Заменяет"),    QStringLiteral("Кабинет"),
                                    QStringLiteral("Примечание")};
    return titles;
}

QString lessonCell(const SubstitutionLine& l) {
    return l.time.isEmpty() ? l.lessonNo : l.lessonNo + QStringLiteral(" (") + l.time + QLatin1Char(')');
}

QStringList cells(const SubstitutionLine& l) {
    return {lessonCell(l), l.group, l.subject, l.absent, l.substitute, l.room, l.note};
}

QString emptyText() {
    return QStringLiteral("Замен нет.");
}

} // namespace

trusko::ReportDocument SubstitutionsReport(const SubstitutionList& list) {
    trusko::ReportDocument d;
    d.caption = SubstitutionsTitle(list.date);
    d.layout.widths = {1.3, 1, 2, 2.2, 2.2, 1, 2.3};
    d.layout.align = std::vector<trusko::Align>(7, trusko::Align::Left);
    d.layout.boldRowHeader = true;
    trusko::ColumnSet set;
    set.headers = columnTitles();
    for (const SubstitutionLine& l : list.lines) {
        trusko::ReportRow r;
        r.cells = cells(l);
        if (!l.time.isEmpty()) r.cells[0] = l.lessonNo + trusko::CellLineBreak + l.time;
        set.rows.push_back(std::move(r));
    }
    if (list.lines.empty()) {
        trusko::ReportRow r;
        r.kind = trusko::ReportRow::Kind::Band;
        r.cells = {emptyText()};
        set.rows.push_back(std::move(r));
    }
    d.sets.push_back(std::move(set));
    return d;
}

namespace {

/// The date's table, or "Замен нет.".
QString substitutionsTable(const SubstitutionList& list) {
    const QString title = SubstitutionsTitle(list.date);
    QString b;
    if (list.lines.empty()) {
        b += QStringLiteral("<p>%1</p>\n").arg(emptyText());
    } else {
        b += QStringLiteral("<table>\n<caption>%1</caption>\n<thead><tr>").arg(title.toHtmlEscaped());
        for (const QString& h : columnTitles())
            b += QStringLiteral("<th scope=\"col\">%1</th>").arg(h.toHtmlEscaped());
        b += QStringLiteral("</tr></thead>\n<tbody>\n");
        for (const SubstitutionLine& l : list.lines) {
            b += QStringLiteral("<tr>");
            const QStringList c = cells(l);
            for (int i = 0; i < c.size(); ++i)
                b += (i == 0 ? QStringLiteral("<th scope=\"row\">%1</th>")
                             : QStringLiteral("<td>%1</td>"))
                         .arg(c[i].toHtmlEscaped());
            b += QStringLiteral("</tr>\n");
        }
        b += QStringLiteral("</tbody>\n</table>\n");
    }
    return b;
}

} // namespace

QByteArray SubstitutionsHtml(const SubstitutionList& list) {
    const QString title = SubstitutionsTitle(list.date);
    return publish::htmlPage(title, QStringLiteral("<h1>%1</h1>\n").arg(title.toHtmlEscaped()) +
                                        substitutionsTable(list))
        .toUtf8();
}

namespace publish {

QByteArray substitutionsPage(Dictionary& dict, const QDate& from, int days) {
    const QString title = QStringLiteral("Замены");
    QString b = QStringLiteral("<p class=\"back\"><a href=\"index.html\">Всё расписание</a></p>\n"
                               "<h1>%1</h1>\n")
                    .arg(title);
    int shown = 0;
    for (int i = 0; i < days; ++i) {
        const SubstitutionList list = ReadSubstitutions(dict, from.addDays(i));
        if (!list.ok || list.lines.empty()) continue;
        const QString heading = SubstitutionsTitle(list.date) + QStringLiteral(", ") +
                                QLocale(QLocale::Russian).dayName(list.date.dayOfWeek());
        b += QStringLiteral("<section>\n<h2>%1</h2>\n").arg(heading.toHtmlEscaped()) +
             substitutionsTable(list) + QStringLiteral("</section>\n");
        ++shown;
    }
    if (shown == 0)
        b += QStringLiteral("<p>Замен на ближайшие дни (с %1) нет.</p>\n")
                 .arg(from.toString(QStringLiteral("dd.MM.yyyy")));
    return htmlPage(title, b).toUtf8();
}

std::vector<DatedSubstitution> datedSubstitutions(Dictionary& dict, const Context& c) {
    std::vector<DatedSubstitution> out;
    if (c.dates.empty() || !QFileInfo::exists(dict.store().diskName(FileId::Substitution)))
        return out;
    FileUse subs(dict.store(), FileId::Substitution), teachers(dict.store(), FileId::Teacher),
        rooms(dict.store(), FileId::Room);
    if (!subs || !teachers || !rooms) return out;
    QHash<Long, size_t> dateIndex;
    for (size_t i = 0; i < c.dates.size(); ++i) dateIndex.insert(dayNumberOf(c.dates[i].date), i);
    QHash<QString, int> bellIndex;
    for (size_t b = 0; b < c.t.bells.size(); ++b) bellIndex.insert(c.t.bells[b].LessonNo, int(b));
    // The published lessons by what a substitution names: week, day, bell and the lesson.
    QHash<QString, int> lessonAt;
    auto key = [](int week, int day, int bell, Short teacher, Short group, Short sub, Short science) {
        return QStringLiteral("%1/%2/%3/%4/%5/%6/%7")
            .arg(week).arg(day).arg(bell).arg(teacher).arg(group).arg(sub).arg(science);
    };
    for (size_t i = 0; i < c.t.lessons.size(); ++i) {
        const trusko::PlacedLesson& l = c.t.lessons[i];
        lessonAt.insert(key(l.entry.Week, l.day, l.bell, l.entry.TeacherCode, l.entry.GroupCode,
                            l.entry.SubGroupNum, l.entry.ScienceCode),
                        int(i));
    }
    Substitution from;
    from.Date = dayNumberOf(c.dates.front().date);
    for (const Substitution& s : dict.access<Substitution>().read(Substitution::DateKey, from, 0)) {
        if (s.Date > dayNumberOf(c.dates.back().date)) break;
        const auto d = dateIndex.constFind(s.Date);
        const auto b = bellIndex.constFind(s.LessonNo);
        if (d == dateIndex.constEnd() || b == bellIndex.constEnd()) continue;
        const TeachingDate& date = c.dates[*d];
        const auto l = lessonAt.constFind(key(date.week, date.day, *b, s.AbsentTeacherCode,
                                              s.GroupCode, s.SubGroupNum, s.ScienceCode));
        if (l == lessonAt.constEnd()) continue;
        DatedSubstitution ds{*d, *l, s.SubstituteCode, {}, s.RoomCode, {}, s.Note};
        if (s.SubstituteCode != 0) {
            Teacher t;
            t.TeacherCode = s.SubstituteCode;
            ds.substituteName = dict.access<Teacher>().fetch(Teacher::TeacherCodeKey, t).TeacherName.trimmed();
        }
        Room r;
        r.RoomCode = s.RoomCode;
        ds.roomNo = s.RoomCode ? dict.access<Room>().fetch(Room::CodeKey, r).RoomNo.trimmed() : QString();
        out.push_back(std::move(ds));
    }
    return out;
}

} // namespace publish

QByteArray SubstitutionsCsv(const SubstitutionList& list) {
    QString out = QStringLiteral("\uFEFF");
    publish::csvRow(out, {QStringLiteral("Дата"), QStringLiteral("Урок"), QStringLiteral("Время"),
                          QStringLiteral("Класс"), QStringLiteral("Предмет"),
                          QStringLiteral("Отсутствует"), QStringLiteral("Заменяет"),
                          QStringLiteral("Кабинет"), QStringLiteral("Примечание")});
    const QString date = list.date.toString(QStringLiteral("yyyy-MM-dd"));
    for (const SubstitutionLine& l : list.lines)
        publish::csvRow(out, {date, l.lessonNo, l.time, l.group, l.subject, l.absent, l.substitute,
                              l.room, l.note});
    return out.toUtf8();
}

QString SaveSubstitutionsFile(Dictionary& dict, const SubstitutionList& list,
                              SubstitutionsFile format, const QString& path) {
    const QString native = QDir::toNativeSeparators(path);
    if (const QString refused = OutputPathRefusal(dict, path); !refused.isEmpty())
        return QStringLiteral("Файл %1 не записан. ").arg(native) + refused;
    const QByteArray bytes =
        format == SubstitutionsFile::Html ? SubstitutionsHtml(list) : SubstitutionsCsv(list);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return QStringLiteral("Файл %1 не записан: %2.").arg(native, file.errorString());
    return {};
}

} // namespace hestor
