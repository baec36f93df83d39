// The CSV table: one row per placed lesson and teaching date (per cycle cell without dates),
// ';'-separated UTF-8 with a byte-order mark, as spreadsheet programs with Russian settings
// open it.

#include "PublishFormats.h"

namespace hestor::publish {

using namespace tamsel;
using trusko::PlacedLesson;

namespace {

QString field(const QString& text) {
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void row(QString& out, const QStringList& fields) {
    QStringList f;
    for (const QString& s : fields) f << field(s);
    out += f.join(QLatin1Char(';')) + QStringLiteral("\r\n");
}

QStringList lessonFields(const trusko::PlacedTimetable& t, const PlacedLesson& l) {
    const LessonBell& b = t.bells[l.bell];
    return {lessonNumber(b), bellTime(b.Begining), bellTime(b.Ending), l.group,
            subGroupMark(l), l.subject, l.teacher, l.room};
}

} // namespace

void csvRow(QString& out, const QStringList& fields) {
    row(out, fields);
}

bool writeCsv(const Context& c, const Sink& sink) {
    const auto& t = c.t;
    QString out = QStringLiteral("\uFEFF");
    row(out, {QStringLiteral("Дата"), QStringLiteral("День недели"), QStringLiteral("Неделя цикла"),
              QStringLiteral("Урок"), QStringLiteral("Начало"), QStringLiteral("Окончание"),
              QStringLiteral("Класс"), QStringLiteral("Подгруппа"), QStringLiteral("Предмет"),
              QStringLiteral("Учитель"), QStringLiteral("Кабинет")});
    if (c.dates.empty()) {
        for (const PlacedLesson& l : t.lessons)
            row(out, QStringList{QString(), t.days[l.day].DayName, QString::number(l.entry.Week)} +
                         lessonFields(t, l));
    } else {
        // The lessons are in week and day order: each date takes its run of them.
        const int days = int(t.days.size());
        std::vector<std::pair<size_t, size_t>> runs(size_t(t.weeks * days), {0, 0});
        for (size_t i = 0; i < t.lessons.size(); ++i) {
            auto& r = runs[size_t((t.lessons[i].entry.Week - 1) * days + t.lessons[i].day)];
            if (r.first == r.second) r.first = i;
            r.second = i + 1;
        }
        for (const TeachingDate& d : c.dates) {
            const auto [from, to] = runs[size_t((d.week - 1) * days + d.day)];
            const QStringList head{d.date.toString(QStringLiteral("dd.MM.yyyy")),
                                   t.days[d.day].DayName, QString::number(d.week)};
            for (size_t i = from; i < to; ++i) row(out, head + lessonFields(t, t.lessons[i]));
        }
    }
    return sink({csvName(), out.toUtf8()}) && c.step();
}

} // namespace hestor::publish
