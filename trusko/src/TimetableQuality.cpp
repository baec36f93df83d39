#include "trusko/TimetableQuality.h"

#include <algorithm>
#include <climits>
#include <map>
#include <optional>
#include <set>
#include <tuple>

namespace trusko {

using namespace tamsel;

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

/// The bells of one day, each with the first lesson placed in it (null for a free bell).
using DayBells = std::vector<const PlacedLesson*>;

/// Windows and days at school of one teacher or group, one entry per week it has lessons in.
void weeksOf(const PlacedTimetable& t, const TimetableObject& o, std::vector<QualityWeek>& out) {
    const size_t days = t.days.size(), bells = t.bells.size();
    for (int week = 1; week <= t.weeks; ++week) {
        std::vector<DayBells> busy(days, DayBells(bells, nullptr));
        bool any = false;
        for (int i : o.lessons) {
            const PlacedLesson& l = t.lessons[size_t(i)];
            if (l.entry.Week != week) continue;
            auto& at = busy[size_t(l.day)][size_t(l.bell)];
            if (!at) at = &l;
            any = true;
        }
        if (!any) continue;
        QualityWeek w;
        w.kind = o.kind;
        w.code = o.code;
        w.name = o.title;
        w.week = week;
        const PlacedLesson* shown = nullptr;
        for (size_t d = 0; d < days; ++d) {
            const DayBells& b = busy[d];
            const auto first = std::find_if(b.begin(), b.end(), [](auto* l) { return l; });
            if (first == b.end()) continue;
            const auto last = std::find_if(b.rbegin(), b.rend(), [](auto* l) { return l; });
            QualityDay day;
            day.day = int(d);
            for (auto it = first; it != last.base(); ++it) {
                if (*it)
                    ++day.lessons;
                else
                    day.freeBells << int(it - b.begin());
            }
            if (!shown || (!day.freeBells.isEmpty() && w.windows() == 0)) shown = *first;
            w.days.push_back(std::move(day));
        }
        w.lesson = shown->entry;
        out.push_back(std::move(w));
    }
}

DayLoad loadOf(const QualityWeek& w, size_t days) {
    DayLoad l;
    l.group = w.code;
    l.name = w.name;
    l.week = w.week;
    l.lesson = w.lesson;
    l.perDay.assign(days, 0);
    l.fewest = INT_MAX;
    for (const QualityDay& d : w.days) {
        l.perDay[size_t(d.day)] = d.lessons;
        l.most = std::max(l.most, d.lessons);
        l.fewest = std::min(l.fewest, d.lessons);
    }
    return l;
}

/// Sittings of one subject on one day: bells in a row are one sitting.
std::optional<SubjectRepeat::Kind> repeatKind(const std::set<int>& bells) {
    if (bells.size() < 2) return std::nullopt;
    int sittings = 0, previous = -2;
    for (int b : bells) {
        if (b != previous + 1) ++sittings;
        previous = b;
    }
    return sittings == 1 && bells.size() == 2 ? SubjectRepeat::Kind::Double
                                              : SubjectRepeat::Kind::Repeat;
}

/// A subject more than once a day for one group. Halves of a subgroup lesson sit at the same
/// time and are one sitting; the pupils of a subgroup have the whole group's lessons of the
/// subject and their own, so that is what is counted for each subgroup.
void repeatsOf(const PlacedTimetable& t, const TimetableObject& group,
               std::vector<SubjectRepeat>& out) {
    struct Subject {
        const PlacedLesson* first = nullptr;
        std::set<int> whole;
        std::map<Short, std::pair<QString, std::set<int>>> halves;
    };
    auto flush = [&](std::map<Short, Subject>& subjects) {
        for (auto& [code, s] : subjects) {
            std::vector<std::pair<QString, std::set<int>>> views; // subgroup mark, bells
            if (s.halves.empty()) views.push_back({QString(), s.whole});
            for (auto& [num, half] : s.halves) {
                std::set<int> pupils = s.whole;
                pupils.insert(half.second.begin(), half.second.end());
                views.push_back({half.first, std::move(pupils)});
            }
            const std::pair<QString, std::set<int>>* worst = nullptr;
            std::optional<SubjectRepeat::Kind> kind;
            for (const auto& v : views) {
                const auto k = repeatKind(v.second);
                if (!k) continue;
                if (!worst || v.second.size() > worst->second.size() ||
                    (v.second.size() == worst->second.size() && *k == SubjectRepeat::Kind::Repeat &&
                     *kind == SubjectRepeat::Kind::Double)) {
                    worst = &v;
                    kind = k;
                }
            }
            if (!worst) continue;
            // Named after a subgroup only when its pupils alone have the subject so often.
            const bool everyone =
                worst->second == s.whole ||
                (views.size() > 1 && std::all_of(views.begin(), views.end(), [&](const auto& v) {
                     return v.second == worst->second;
                 }));
            SubjectRepeat r;
            r.kind = *kind;
            r.group = group.code;
            r.name = group.title;
            r.subGroup = everyone ? QString() : worst->first;
            r.subject = s.first->subject;
            r.week = s.first->entry.Week;
            r.day = s.first->day;
            r.bells = QList<int>(worst->second.begin(), worst->second.end());
            r.lesson = s.first->entry;
            out.push_back(std::move(r));
        }
        subjects.clear();
    };
    std::map<Short, Subject> subjects;
    int week = -1, day = -1;
    for (int i : group.lessons) {
        const PlacedLesson& l = t.lessons[size_t(i)];
        if (l.entry.Week != week || l.day != day) flush(subjects);
        week = l.entry.Week;
        day = l.day;
        Subject& s = subjects[l.entry.ScienceCode];
        if (!s.first) s.first = &l;
        if (l.entry.SubGroupNum == 0)
            s.whole.insert(l.bell);
        else {
            auto& half = s.halves[l.entry.SubGroupNum];
            half.first = l.subGroup;
            half.second.insert(l.bell);
        }
    }
    flush(subjects);
}

QString lessonsWord(int n) {
    return n == 1 ? u("урок") : u("уроки");
}

QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

int QualityWeek::windows() const {
    int n = 0;
    for (const QualityDay& d : days)
        n += int(d.freeBells.size());
    return n;
}

QString SubjectRepeat::kindText() const {
    return kind == Kind::Double ? u("сдвоенный урок") : u("повтор");
}

TimetableQuality AnalyseTimetable(const PlacedTimetable& t) {
    TimetableQuality q;
    q.days = t.days;
    q.bells = t.bells;
    q.weeks = t.weeks;
    for (const TimetableObject& o : t.teachers)
        weeksOf(t, o, q.teachers);
    for (const TimetableObject& o : t.groups) {
        weeksOf(t, o, q.groups);
        repeatsOf(t, o, q.repeats);
    }
    for (const QualityWeek& w : q.groups)
        q.loads.push_back(loadOf(w, q.days.size()));
    return q;
}

bool AnalyseTimetable(Dictionary& dict, TimetableQuality* out) {
    PlacedTimetable t;
    if (!ReadPlacedTimetable(dict, &t)) return false;
    *out = AnalyseTimetable(t);
    return true;
}

TimetableQuality::Summary TimetableQuality::summary() const {
    Summary s;
    std::set<Long> teachersWith, uneven;
    for (const QualityWeek& w : teachers) {
        s.teacherWindows += w.windows();
        if (w.windows() > 0) teachersWith.insert(w.code);
    }
    for (const QualityWeek& w : groups)
        s.groupWindows += w.windows();
    for (const DayLoad& l : loads)
        if (l.uneven()) uneven.insert(l.group);
    for (const SubjectRepeat& r : repeats)
        (r.kind == SubjectRepeat::Kind::Double ? s.doubles : s.repeats) += 1;
    s.teachersWithWindows = int(teachersWith.size());
    s.unevenGroups = int(uneven.size());
    return s;
}

QString TimetableQuality::summaryText() const {
    const Summary s = summary();
    const int m = s.teachersWithWindows;
    const bool one = m % 10 == 1 && m % 100 != 11; // "у 21 учителя", "у 11 учителей"
    return u("Окна учителей: %1 ч. (у %2 %3), окна групп: %4 ч., неравномерных групп: %5, "
             "повторов предметов: %6.")
        .arg(s.teacherWindows)
        .arg(m)
        .arg(one ? u("учителя") : u("учителей"))
        .arg(s.groupWindows)
        .arg(s.unevenGroups)
        .arg(s.repeats);
}

TimetableQuality TimetableQuality::only(Short kind, Long code) const {
    TimetableQuality q = *this;
    auto keep = [&](auto& list, Short listKind, auto codeOf) {
        std::erase_if(list, [&](const auto& x) { return listKind != kind || codeOf(x) != code; });
    };
    keep(q.teachers, ObjectType::Teacher, [](const QualityWeek& w) { return w.code; });
    keep(q.groups, ObjectType::Group, [](const QualityWeek& w) { return w.code; });
    keep(q.loads, ObjectType::Group, [](const DayLoad& l) { return l.group; });
    keep(q.repeats, ObjectType::Group, [](const SubjectRepeat& r) { return r.group; });
    return q;
}

QString TimetableQuality::when(int week, int day) const {
    const QString name = days[size_t(day)].DayName.trimmed();
    return weeks > 1 ? weekBand(week) + u(", ") + name : name;
}

QString TimetableQuality::bellList(const QList<int>& list) const {
    QStringList out;
    for (int b : list)
        out << bells[size_t(b)].LessonNo.trimmed();
    return out.join(u(", "));
}

std::vector<QualityTable> TimetableQuality::tables() const {
    const bool cycle = weeks > 1;
    QStringList dayNames;
    for (const Days& d : days)
        dayNames << d.DayName.trimmed();
    // Names sort in the order of the printed timetables ("5-А" before "10-А"), which is the
    // order the rows are made in.
    auto lead = [&](QualityTable::Row& row, const QString& name, int week, size_t position) {
        row.cells << name;
        row.sortKeys << int(position);
        if (!cycle) return;
        row.cells << QString::number(week);
        row.sortKeys << week;
    };
    auto weekHeader = [&] { return cycle ? QStringList{u("Неделя")} : QStringList(); };

    std::vector<QualityTable> out;
    for (const auto& [title, who, list] : {std::tuple{u("Окна учителей"), u("Учитель"), &teachers},
                                           std::tuple{u("Окна групп"), u("Группа"), &groups}}) {
        QualityTable table;
        table.title = title;
        table.headers = QStringList{who} + weekHeader() +
                        QStringList{u("Окна, ч."), u("Дней в школе")} + dayNames;
        table.worstColumn = cycle ? 2 : 1;
        for (const QualityWeek& w : *list) {
            QualityTable::Row row;
            lead(row, w.name, w.week, table.rows.size());
            row.cells << QString::number(w.windows()) << QString::number(w.days.size());
            row.sortKeys << w.windows() << int(w.days.size());
            std::vector<const QualityDay*> byDay(days.size(), nullptr);
            for (const QualityDay& d : w.days)
                byDay[size_t(d.day)] = &d;
            for (const QualityDay* d : byDay) {
                const int n = d ? int(d->freeBells.size()) : -1;
                row.cells << (!d       ? QString()
                              : n == 0 ? u("0")
                                       : u("%1 (%2)").arg(n).arg(bellList(d->freeBells)));
                row.sortKeys << n;
            }
            row.kind = w.kind;
            row.code = w.code;
            row.lesson = w.lesson;
            row.flagged = w.windows() > 0;
            table.rows.push_back(std::move(row));
        }
        out.push_back(std::move(table));
    }

    QualityTable load;
    load.title = u("Нагрузка по дням");
    load.headers = QStringList{u("Группа")} + weekHeader() + dayNames +
                   QStringList{u("Больше всего"), u("Меньше всего"), u("Разброс"), u("Оценка")};
    load.worstColumn = int(load.headers.size()) - 2;
    for (const DayLoad& l : loads) {
        QualityTable::Row row;
        lead(row, l.name, l.week, load.rows.size());
        for (int n : l.perDay) {
            row.cells << QString::number(n);
            row.sortKeys << n;
        }
        for (int n : {l.most, l.fewest, l.spread()}) {
            row.cells << QString::number(n);
            row.sortKeys << n;
        }
        row.cells << (l.uneven() ? u("неравномерно") : QString());
        row.sortKeys << int(l.uneven());
        row.kind = ObjectType::Group;
        row.code = l.group;
        row.lesson = l.lesson;
        row.flagged = l.uneven();
        load.rows.push_back(std::move(row));
    }
    out.push_back(std::move(load));

    QualityTable rep;
    rep.title = u("Повторы предметов");
    rep.headers = QStringList{u("Группа")} + weekHeader() +
                  QStringList{u("День"), u("Предмет"), u("Уроки"), u("Вид")};
    for (const SubjectRepeat& r : repeats) {
        QualityTable::Row row;
        lead(row, r.name + r.subGroup, r.week, rep.rows.size());
        row.cells << dayNames.value(r.day) << r.subject << bellList(r.bells) << r.kindText();
        row.sortKeys << r.day << r.subject << int(r.bells.size()) << r.kindText();
        row.kind = ObjectType::Group;
        row.code = r.group;
        row.lesson = r.lesson;
        row.flagged = r.kind == SubjectRepeat::Kind::Repeat;
        rep.rows.push_back(std::move(row));
    }
    out.push_back(std::move(rep));
    return out;
}

QStringList timetableQualityLines(const TimetableQuality& q) {
    QStringList out;
    auto section = [&](const QString& title, const QStringList& lines) {
        out << title + u(":");
        for (const QString& line : lines.isEmpty() ? QStringList{u("нет")} : lines)
            out << u("  ") + line;
    };
    auto weekOf = [&](int week) { return q.weeks > 1 ? u(", ") + weekBand(week) : QString(); };
    auto windows = [&](const std::vector<QualityWeek>& list) {
        QStringList lines;
        for (const QualityWeek& w : list) {
            if (w.windows() == 0) continue;
            QStringList days;
            for (const QualityDay& d : w.days)
                if (!d.freeBells.isEmpty())
                    days << u("%1: %2 ч. (%3 %4)")
                                .arg(q.days[size_t(d.day)].DayName.trimmed())
                                .arg(d.freeBells.size())
                                .arg(lessonsWord(int(d.freeBells.size())), q.bellList(d.freeBells));
            lines << u("%1%2: окна %3 ч., дней в школе %4 — %5")
                         .arg(w.name, weekOf(w.week))
                         .arg(w.windows())
                         .arg(w.days.size())
                         .arg(days.join(u("; ")));
        }
        return lines;
    };
    section(u("Окна учителей"), windows(q.teachers));
    section(u("Окна групп"), windows(q.groups));
    QStringList uneven;
    for (const DayLoad& l : q.loads) {
        if (!l.uneven()) continue;
        QStringList perDay;
        for (int n : l.perDay)
            perDay << QString::number(n);
        uneven << u("%1%2: по дням %3 — больше всего %4, меньше всего %5, разброс %6")
                      .arg(l.name, weekOf(l.week), perDay.join(u(", ")))
                      .arg(l.most)
                      .arg(l.fewest)
                      .arg(l.spread());
    }
    section(u("Неравномерная нагрузка по дням"), uneven);
    QStringList repeats;
    for (const SubjectRepeat& r : q.repeats)
        repeats << u("%1, %2: %3, уроки %4 — %5")
                       .arg(r.name + r.subGroup, q.when(r.week, r.day), r.subject,
                            q.bellList(r.bells), r.kindText());
    section(u("Повторы предметов"), repeats);
    out << q.summaryText();
    return out;
}

std::vector<ReportDocument> timetableQualityReport(const TimetableQuality& q) {
    std::vector<ReportDocument> docs;
    const QString summary = q.summaryText();
    for (const QualityTable& table : q.tables()) {
        ReportDocument d;
        d.caption = u("Анализ расписания");
        d.title = table.title;
        // Wide enough for a one-word header ("Понедельник"), which cannot wrap.
        for (const QString& header : table.headers) {
            qsizetype word = 0;
            for (const QString& w : header.split(QLatin1Char(' ')))
                word = std::max(word, w.size());
            d.layout.widths.push_back(std::clamp(double(word) / 5.5, 0.9, 2.0));
        }
        d.layout.widths[0] = 2.5;
        d.layout.align.assign(size_t(table.headers.size()), Align::Center);
        d.layout.align[0] = Align::Left;
        ColumnSet set;
        set.headers = table.headers;
        ReportRow band;
        band.kind = ReportRow::Kind::Band;
        band.cells = {summary};
        set.rows.push_back(band);
        for (const QualityTable::Row& r : table.rows) {
            ReportRow row;
            row.cells = r.cells;
            if (r.flagged) row.strong = {{0}};
            set.rows.push_back(std::move(row));
        }
        if (table.rows.empty()) {
            band.cells = {u("Ничего не найдено.")};
            set.rows.push_back(band);
        }
        d.sets.push_back(std::move(set));
        docs.push_back(std::move(d));
    }
    return docs;
}

QByteArray timetableQualityCsv(const TimetableQuality& q) {
    QString out;
    auto line = [&](const QStringList& cells) {
        QStringList fields;
        for (const QString& c : cells)
            fields << csvField(c);
        out += fields.join(QLatin1Char(';')) + u("\r\n");
    };
    for (const QualityTable& table : q.tables()) {
        line({table.title});
        line(table.headers);
        for (const QualityTable::Row& r : table.rows)
            line(r.cells);
        out += u("\r\n");
    }
    line({q.summaryText()});
    return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

} // namespace trusko
