#include "tamsel/SchoolCalendar.h"

#include "tamsel/IniFile.h"

namespace tamsel {

namespace {
const QString DateFormat = QStringLiteral("yyyy-MM-dd");

QDate parseDate(const QString& text) {
    return QDate::fromString(text.trimmed(), DateFormat);
}
} // namespace

bool SchoolCalendar::parseHolidays(const QString& text, QList<QPair<QDate, QDate>>* out,
                                   QString* problem) {
    out->clear();
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (part.trimmed().isEmpty()) continue;
        const QStringList ends = part.split(QStringLiteral(".."));
        const QDate from = parseDate(ends.first());
        const QDate to = ends.size() == 2 ? parseDate(ends.last()) : from;
        if (ends.size() > 2 || !from.isValid() || !to.isValid() || to < from) {
            if (problem) *problem = part.trimmed();
            return false;
        }
        out->append({from, to});
    }
    return true;
}

SchoolCalendar SchoolCalendar::load(const IniFile& ini, QString* problem) {
    SchoolCalendar c;
    auto date = [&](const char* key) {
        const QString text = ini.value(section(), QLatin1String(key)).trimmed();
        const QDate d = parseDate(text);
        if (!text.isEmpty() && !d.isValid() && problem && problem->isEmpty()) *problem = text;
        return d;
    };
    c.first = date("FirstDay");
    c.last = date("LastDay");
    // A bad part drops only itself: the others are read one by one.
    for (const QString& part :
         ini.value(section(), QStringLiteral("Holidays")).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        QList<QPair<QDate, QDate>> one;
        QString bad;
        if (parseHolidays(part, &one, &bad))
            c.holidays += one;
        else if (problem && problem->isEmpty())
            *problem = bad;
    }
    const QString zone = ini.value(section(), QStringLiteral("TimeZone")).trimmed();
    if (!zone.isEmpty()) c.timeZone = zone;
    return c;
}

QString SchoolCalendar::holidaysText() const {
    QStringList parts;
    for (const auto& [from, to] : holidays)
        parts << (from == to ? from.toString(DateFormat)
                             : from.toString(DateFormat) + QStringLiteral("..") +
                                   to.toString(DateFormat));
    return parts.join(QStringLiteral(", "));
}

void SchoolCalendar::save(IniFile& ini) const {
    ini.setValue(section(), QStringLiteral("FirstDay"), first.toString(DateFormat));
    ini.setValue(section(), QStringLiteral("LastDay"), last.toString(DateFormat));
    ini.setValue(section(), QStringLiteral("Holidays"), holidaysText());
    ini.setValue(section(), QStringLiteral("TimeZone"), timeZone);
}

bool SchoolCalendar::isHoliday(const QDate& date) const {
    for (const auto& [from, to] : holidays)
        if (from <= date && date <= to) return true;
    return false;
}

int SchoolCalendar::cycleWeek(const QDate& date, int weeksInCycle) const {
    if (weeksInCycle <= 1 || !first.isValid()) return 1;
    const QDate start = first.addDays(1 - first.dayOfWeek());
    const QDate monday = date.addDays(1 - date.dayOfWeek());
    const qint64 weeks = start.daysTo(monday) / 7;
    const qint64 w = ((weeks % weeksInCycle) + weeksInCycle) % weeksInCycle;
    return static_cast<int>(w) + 1;
}

bool SchoolCalendar::isTeachingDate(const QDate& date, int daysInWeek) const {
    if (!isSet() || date < first || date > last) return false;
    if (dayIndex(date) >= daysInWeek) return false;
    return !isHoliday(date);
}

} // namespace tamsel
