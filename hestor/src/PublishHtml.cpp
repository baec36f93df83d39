// The web pages: an index, a page per group, teacher and room, and the whole school per day.
// Plain HTML with the style inside each page, so the folder works offline and from a stick.

#include "PublishFormats.h"

#include "trusko/ReportBuilders.h"

namespace hestor::publish {

using namespace tamsel;
using trusko::PlacedLesson;
using trusko::TimetableObject;

namespace {

QString esc(const QString& text) {
    return text.toHtmlEscaped();
}

const char* const Style = R"(
body{font-family:"DejaVu Sans",Arial,sans-serif;margin:1em;color:#000;background:#fff}
h1{font-size:1.4em;margin:.2em 0 .5em}h2{font-size:1.1em;margin:.8em 0 .3em}
nav.tabs a{display:inline-block;padding:.2em .8em;margin-right:.3em;border:1px solid #666;
border-radius:.3em .3em 0 0;text-decoration:none;color:#000;background:#eee}
nav.tabs a:focus,nav.tabs a:hover{background:#fff}
table{border-collapse:collapse;width:100%;table-layout:fixed}
caption{text-align:left;font-weight:bold;padding:.2em 0}
th,td{border:1px solid #666;padding:.15em .3em;vertical-align:top;font-size:.9em;
overflow-wrap:break-word}
thead th{background:#e6e6e6}th[scope=row]{background:#f3f3f3;text-align:left;width:6.5em}
.l{margin-bottom:.3em}.l span{display:block}.s{font-weight:bold}
ul.objects{columns:4 12em;padding-left:1.2em}
.days{display:none}.day h3{font-size:1em;margin:.8em 0 .2em;border-bottom:1px solid #666}
.day ol{list-style:none;padding:0;margin:0}.day li{display:flex;gap:.6em;padding:.25em 0;
border-bottom:1px solid #ddd}.day .n{flex:0 0 6.5em;color:#333}.day li.free{color:#666}
@media screen and (max-width:40em){body{margin:.5em}section.week table{display:none}
.days{display:block}ul.objects{columns:2 8em}}
@page{size:A4 landscape;margin:8mm}
@media print{body{margin:0}nav,.back,.days{display:none}th,td{font-size:7.5pt}h1{font-size:12pt}
section.week{break-inside:avoid}section.week+section.week{break-before:page}}
)";

QString page(const QString& title, const QString& body) {
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n"
                          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                          "<title>%1</title>\n<style>%2</style>\n</head>\n<body>\n%3</body>\n</html>\n")
        .arg(esc(title), QString::fromUtf8(Style), body);
}

QString bellHeader(const LessonBell& b) {
    const QString from = bellTime(b.Begining), to = bellTime(b.Ending);
    QString h = esc(lessonNumber(b)) + QStringLiteral(" урок");
    if (!from.isEmpty() || !to.isEmpty())
        h += QStringLiteral("<br>") + esc(from) + QStringLiteral("–") + esc(to);
    return h;
}

/// One lesson as the printed timetable of an object of `kind` shows it: what the object
/// itself is goes unsaid.
QString lessonHtml(const PlacedLesson& l, Short kind) {
    QString h = QStringLiteral("<div class=\"l\" data-sub=\"%1\">").arg(l.entry.SubGroupNum);
    auto span = [&](const char* cls, const QString& text) {
        if (!text.isEmpty())
            h += QStringLiteral("<span class=\"%1\">%2</span>").arg(QLatin1String(cls), esc(text));
    };
    if (kind == ObjectType::Group) {
        span("s", l.subject);
        span("g", subGroupMark(l));
        span("t", l.teacher);
        if (!l.room.isEmpty()) span("r", QStringLiteral("каб. ") + l.room);
    } else if (kind == ObjectType::Teacher) {
        span("s", l.subject);
        span("g", groupLabel(l));
        if (!l.room.isEmpty()) span("r", QStringLiteral("каб. ") + l.room);
    } else {
        span("g", groupLabel(l));
        span("s", l.subject);
        span("t", l.teacher);
    }
    return h + QStringLiteral("</div>");
}

/// The week as a list a day after another, for a phone's narrow screen (the table is hidden
/// there): each day's lessons by bell, the free bells between them marked, so a pupil sees the
/// gaps too.
QString dayLists(const Context& c, const TimetableObject& o, int week) {
    const auto& t = c.t;
    QString b = QStringLiteral("<div class=\"days\">\n");
    for (size_t day = 0; day < t.days.size(); ++day) {
        b += QStringLiteral("<div class=\"day\"><h3>%1</h3>").arg(esc(t.days[day].DayName));
        int first = -1, last = -1;
        for (size_t bell = 0; bell < t.bells.size(); ++bell)
            if (!t.cell(o, week, int(day), int(bell)).empty()) {
                if (first < 0) first = int(bell);
                last = int(bell);
            }
        if (first < 0) {
            b += QStringLiteral("<p>Уроков нет</p></div>\n");
            continue;
        }
        b += QStringLiteral("<ol>");
        for (int bell = first; bell <= last; ++bell) {
            const auto lessons = t.cell(o, week, int(day), bell);
            const QString no = QStringLiteral("<span class=\"n\">%1</span>")
                                   .arg(bellHeader(t.bells[size_t(bell)])
                                            .replace(QStringLiteral("<br>"), QStringLiteral(" ")));
            if (lessons.empty()) {
                b += QStringLiteral("<li class=\"free\">%1<span>нет урока</span></li>").arg(no);
                continue;
            }
            b += QStringLiteral("<li>") + no + QStringLiteral("<div>");
            for (const PlacedLesson* l : lessons) b += lessonHtml(*l, o.kind);
            b += QStringLiteral("</div></li>");
        }
        b += QStringLiteral("</ol></div>\n");
    }
    return b + QStringLiteral("</div>\n");
}

QString weekTabs(int weeks) {
    if (weeks <= 1) return QString();
    QString h = QStringLiteral("<nav class=\"tabs\" aria-label=\"Недели цикла\">");
    for (int w = 1; w <= weeks; ++w)
        h += QStringLiteral("<a href=\"#w%1\">%2</a>").arg(w).arg(esc(trusko::weekBand(w)));
    return h + QStringLiteral("</nav>\n");
}

QString back() {
    return QStringLiteral("<p class=\"back\"><a href=\"index.html\">Всё расписание</a></p>\n");
}

QString objectPage(const Context& c, const TimetableObject& o) {
    const auto& t = c.t;
    QString b = back() + QStringLiteral("<h1>Расписание уроков: %1</h1>\n").arg(esc(o.title));
    // On a phone the calendar opens in its calendar program, which offers to add the lessons.
    if (c.calendars)
        b += QStringLiteral("<p class=\"back\"><a href=\"ics/%1.ics\" type=\"text/calendar\">"
                            "Календарь для телефона (.ics)</a></p>\n")
                 .arg(objectStem(o));
    b += weekTabs(t.weeks);
    for (int w = 1; w <= t.weeks; ++w) {
        const QString caption =
            t.weeks > 1 ? o.title + QStringLiteral(", ") + trusko::weekBand(w) : o.title;
        b += QStringLiteral("<section class=\"week\" id=\"w%1\">\n").arg(w);
        if (t.weeks > 1) b += QStringLiteral("<h2>%1</h2>\n").arg(esc(trusko::weekBand(w)));
        b += QStringLiteral("<table>\n<caption>%1</caption>\n<thead><tr><th scope=\"col\">Урок</th>")
                 .arg(esc(caption));
        for (const Days& d : t.days)
            b += QStringLiteral("<th scope=\"col\">%1</th>").arg(esc(d.DayName));
        b += QStringLiteral("</tr></thead>\n<tbody>\n");
        for (size_t bell = 0; bell < t.bells.size(); ++bell) {
            b += QStringLiteral("<tr><th scope=\"row\">%1</th>").arg(bellHeader(t.bells[bell]));
            for (size_t day = 0; day < t.days.size(); ++day) {
                b += QStringLiteral("<td>");
                for (const PlacedLesson* l : t.cell(o, w, int(day), int(bell)))
                    b += lessonHtml(*l, o.kind);
                b += QStringLiteral("</td>");
            }
            b += QStringLiteral("</tr>\n");
        }
        b += QStringLiteral("</tbody>\n</table>\n") + dayLists(c, o, w) +
             QStringLiteral("</section>\n");
    }
    return page(o.title, b);
}

/// The whole school on one day of the week: lessons down, every group across.
QString dayPage(const Context& c, int day) {
    const auto& t = c.t;
    const QString name = t.days[day].DayName;
    QString b = back() + QStringLiteral("<h1>Расписание школы: %1</h1>\n").arg(esc(name));
    b += weekTabs(t.weeks);
    for (int w = 1; w <= t.weeks; ++w) {
        b += QStringLiteral("<section class=\"week\" id=\"w%1\">\n").arg(w);
        if (t.weeks > 1) b += QStringLiteral("<h2>%1</h2>\n").arg(esc(trusko::weekBand(w)));
        b += QStringLiteral("<table>\n<caption>%1</caption>\n<thead><tr><th scope=\"col\">Урок</th>")
                 .arg(esc(t.weeks > 1 ? name + QStringLiteral(", ") + trusko::weekBand(w) : name));
        for (const TimetableObject& g : t.groups)
            b += QStringLiteral("<th scope=\"col\">%1</th>").arg(esc(g.title));
        b += QStringLiteral("</tr></thead>\n<tbody>\n");
        for (size_t bell = 0; bell < t.bells.size(); ++bell) {
            b += QStringLiteral("<tr><th scope=\"row\">%1</th>").arg(bellHeader(t.bells[bell]));
            for (const TimetableObject& g : t.groups) {
                b += QStringLiteral("<td>");
                for (const PlacedLesson* l : t.cell(g, w, day, int(bell)))
                    b += lessonHtml(*l, ObjectType::Group);
                b += QStringLiteral("</td>");
            }
            b += QStringLiteral("</tr>\n");
        }
        b += QStringLiteral("</tbody>\n</table>\n</section>\n");
    }
    return page(name, b);
}

QString dayStem(int day) {
    return QStringLiteral("day-%1").arg(day + 1);
}

QString indexPage(const Context& c) {
    const auto& t = c.t;
    QString b = QStringLiteral("<h1>Расписание уроков</h1>\n");
    if (!c.dates.empty())
        b += QStringLiteral("<p>Учебные дни с %1 по %2.</p>\n")
                 .arg(c.dates.front().date.toString(QStringLiteral("dd.MM.yyyy")),
                      c.dates.back().date.toString(QStringLiteral("dd.MM.yyyy")));
    auto list = [&](const QString& heading, const std::vector<TimetableObject>& objects) {
        if (objects.empty()) return;
        b += QStringLiteral("<h2>%1</h2>\n<ul class=\"objects\">\n").arg(esc(heading));
        for (const TimetableObject& o : objects)
            b += QStringLiteral("<li><a href=\"%1.html\">%2</a></li>\n")
                     .arg(objectStem(o), esc(o.title));
        b += QStringLiteral("</ul>\n");
    };
    for (const auto& [file, link] : c.linkedPages)
        b += QStringLiteral("<p><a href=\"%1\">%2</a></p>\n").arg(file.name, esc(link));
    list(QStringLiteral("Классы"), t.groups);
    list(QStringLiteral("Учителя"), t.teachers);
    list(QStringLiteral("Кабинеты"), t.rooms);
    if (!t.days.empty()) {
        b += QStringLiteral("<h2>По дням недели</h2>\n<ul class=\"objects\">\n");
        for (size_t d = 0; d < t.days.size(); ++d)
            b += QStringLiteral("<li><a href=\"%1.html\">%2</a></li>\n")
                     .arg(dayStem(int(d)), esc(t.days[d].DayName));
        b += QStringLiteral("</ul>\n");
    }
    return page(QStringLiteral("Расписание уроков"), b);
}

} // namespace

QString htmlPage(const QString& title, const QString& body) {
    return page(title, body);
}

QStringList htmlNames(const Context& c) {
    QStringList names{QStringLiteral("index.html")};
    for (const auto& page : c.linkedPages) names << page.first.name;
    for (const auto* list : {&c.t.groups, &c.t.teachers, &c.t.rooms})
        for (const TimetableObject& o : *list) names << objectStem(o) + QStringLiteral(".html");
    for (size_t d = 0; d < c.t.days.size(); ++d) names << dayStem(int(d)) + QStringLiteral(".html");
    return names;
}

bool writeHtml(const Context& c, const Sink& sink) {
    for (const auto& page : c.linkedPages)
        if (!sink(page.first)) return false;
    if (!sink({QStringLiteral("index.html"), indexPage(c).toUtf8()})) return false;
    for (const auto* list : {&c.t.groups, &c.t.teachers, &c.t.rooms})
        for (const TimetableObject& o : *list) {
            if (!sink({objectStem(o) + QStringLiteral(".html"), objectPage(c, o).toUtf8()}))
                return false;
            if (!c.step()) return false;
        }
    for (size_t d = 0; d < c.t.days.size(); ++d)
        if (!sink({dayStem(int(d)) + QStringLiteral(".html"), dayPage(c, int(d)).toUtf8()}))
            return false;
    return true;
}

} // namespace hestor::publish
