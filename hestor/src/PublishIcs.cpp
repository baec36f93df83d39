// Calendars: one .ics per group, teacher and room with an event per lesson and teaching date.
// libical writes the properties (escaping, line folding) and gives the zone's VTIMEZONE.

#include "PublishFormats.h"

#include <QDateTime>
#include <QSet>

#include <libical/ical.h>

#include <cstdlib>
#include <map>
#include <memory>

namespace hestor::publish {

using namespace tamsel;
using trusko::PlacedLesson;
using trusko::TimetableObject;

namespace {

struct Component {
    icalcomponent* c;
    ~Component() { icalcomponent_free(c); }
};

QByteArray text(icalcomponent* c) {
    char* s = icalcomponent_as_ical_string_r(c);
    QByteArray out(s);
    std::free(s);
    return out;
}

/// The component's properties without its own BEGIN and END lines.
QByteArray properties(icalcomponent* c) {
    QByteArray t = text(c);
    const int begin = int(t.indexOf("\r\n")) + 2;
    const int end = int(t.lastIndexOf("END:"));
    return t.mid(begin, end - begin);
}

icaltimetype localTime(const QDate& date, Long time, icaltimezone* zone) {
    icaltimetype t = icaltime_null_time();
    t.year = date.year();
    t.month = date.month();
    t.day = date.day();
    const int minutes = static_cast<int>((time - 1) / 6000);
    t.hour = minutes / 60 % 24;
    t.minute = minutes % 60;
    t.is_date = 0;
    return icaltime_set_timezone(&t, zone);
}

/// The others in the lesson: what the object is goes unsaid.
QString summary(const PlacedLesson& l, Short kind) {
    switch (kind) {
    case ObjectType::Teacher:
        return l.group.isEmpty() ? l.subject : l.subject + QStringLiteral(", ") + groupLabel(l);
    case ObjectType::Room:
        return l.group.isEmpty() ? l.subject : groupLabel(l) + QStringLiteral(", ") + l.subject;
    default:
        return l.subject;
    }
}

QString description(const PlacedLesson& l, const LessonBell& bell) {
    QStringList lines{QStringLiteral("Урок: ") + lessonNumber(bell),
                      QStringLiteral("Предмет: ") + l.subject};
    if (!l.group.isEmpty()) lines << QStringLiteral("Класс: ") + groupLabel(l);
    if (!l.teacher.isEmpty()) lines << QStringLiteral("Учитель: ") + l.teacher;
    if (!l.room.isEmpty()) lines << QStringLiteral("Кабинет: ") + l.room;
    return lines.join(QLatin1Char('\n'));
}

/// A lesson's summary, location, description and, for one that does not take place, its status;
/// `change` says what a substitution made of it ("Замена: …").
QByteArray eventTexts(const PlacedLesson& l, Short kind, const LessonBell& bell,
                      const QString& change = {}, bool cancelled = false) {
    Component ev{icalcomponent_new_vevent()};
    const QString title = summary(l, kind);
    icalcomponent_add_property(
        ev.c, icalproperty_new_summary(
                  (cancelled ? QStringLiteral("Отменен: ") + title : title).toUtf8().constData()));
    if (!l.room.isEmpty())
        icalcomponent_add_property(
            ev.c, icalproperty_new_location((QStringLiteral("Кабинет № ") + l.room).toUtf8().constData()));
    QString text = description(l, bell);
    if (!change.isEmpty()) text += QLatin1Char('\n') + change;
    icalcomponent_add_property(ev.c, icalproperty_new_description(text.toUtf8().constData()));
    if (cancelled) icalcomponent_add_property(ev.c, icalproperty_new_status(ICAL_STATUS_CANCELLED));
    return properties(ev.c);
}

/// What the lesson is on a date with a substitution, as an object of `kind` sees it: the
/// absent teacher's lesson and a lesson given up do not take place; a moved room's calendar
/// loses it; the others show the substitute and the room.
QByteArray substitutedTexts(const PlacedLesson& l, const DatedSubstitution& s, Short kind,
                            Long code, const LessonBell& bell) {
    PlacedLesson given = l;
    if (s.substitute != 0) given.teacher = s.substituteName;
    given.room = s.roomNo;
    const QString change = s.substitute == 0
                               ? QStringLiteral("Урок отменен")
                               : QStringLiteral("Замена: %1 вместо %2").arg(s.substituteName, l.teacher);
    const QString note = s.note.trimmed().isEmpty() ? QString() : QStringLiteral(" (%1)").arg(s.note.trimmed());
    const bool away = (kind == ObjectType::Teacher && code == l.entry.TeacherCode) ||
                      (kind == ObjectType::Room && code != s.room);
    if (s.substitute == 0 || away)
        return eventTexts(away && s.substitute != 0 ? l : given, kind, bell,
                          (kind == ObjectType::Room && s.substitute != 0
                               ? QStringLiteral("Урок перенесен в кабинет %1").arg(s.roomNo)
                               : change) + note,
                          true);
    return eventTexts(given, kind, bell, change + note);
}

const char* kindWord(Short kind) {
    return kind == ObjectType::Group ? "group" : kind == ObjectType::Teacher ? "teacher" : "room";
}

} // namespace

QStringList icsNames(const Context& c) {
    QStringList names;
    for (const auto* list : {&c.t.groups, &c.t.teachers, &c.t.rooms})
        for (const TimetableObject& o : *list)
            names << QStringLiteral("ics/") + objectStem(o) + QStringLiteral(".ics");
    return names;
}

bool writeIcs(const Context& c, const Sink& sink) {
    icaltimezone* zone = icaltimezone_get_builtin_timezone(c.calendar.timeZone.toUtf8().constData());
    if (!zone || c.dates.empty()) return false; // the driver checks both first
    const QByteArray tzid = c.calendar.timeZone.toUtf8();

    // The zone's rules over the published years only: its whole history is a hundred lines.
    Component vtz{icalcomponent_new_clone(icaltimezone_get_component(zone))};
    if (icalproperty* id = icalcomponent_get_first_property(vtz.c, ICAL_TZID_PROPERTY))
        icalproperty_set_tzid(id, tzid.constData());
    // From the first of January of the first year on; the end stays open (a cut end would
    // add a TZUNTIL that some readers do not know).
    icaltimetype from = icaltime_null_time();
    from.year = c.dates.front().date.year();
    from.month = 1;
    from.day = 1;
    from.is_date = 0;
    from = icaltime_set_timezone(&from, icaltimezone_get_utc_timezone());
    icaltimezone_truncate_vtimezone(vtz.c, from, icaltime_null_time(), 0);
    const QByteArray zoneText = text(vtz.c);

    // Every text of an event is written by libical. A school year has hundreds of thousands
    // of events, and most of their lines repeat: the times of a bell on a date are the same in
    // every calendar, a lesson's texts the same on every date. So each is made by libical
    // once and reused; only the UID (letters, digits, '-' and '@', well under a line's 75
    // octets: nothing to escape or fold) is put together here.
    QByteArray stamp;
    {
        Component ev{icalcomponent_new_vevent()};
        icalcomponent_add_property(ev.c, icalproperty_new_dtstamp(icaltime_current_time_with_zone(
                                             icaltimezone_get_utc_timezone())));
        stamp = properties(ev.c);
    }
    const size_t bells = c.t.bells.size();
    std::vector<QByteArray> times(c.dates.size() * bells);
    auto timesOf = [&](size_t date, int b) -> const QByteArray& {
        QByteArray& cached = times[date * bells + size_t(b)];
        if (!cached.isEmpty()) return cached;
        const QDate& d = c.dates[date].date;
        const LessonBell& bell = c.t.bells[size_t(b)];
        Component ev{icalcomponent_new_vevent()};
        if (bell.Begining > 0 && bell.Ending > bell.Begining) {
            icalproperty* start = icalproperty_new_dtstart(localTime(d, bell.Begining, zone));
            icalproperty_add_parameter(start, icalparameter_new_tzid(tzid.constData()));
            icalcomponent_add_property(ev.c, start);
            icalproperty* end = icalproperty_new_dtend(localTime(d, bell.Ending, zone));
            icalproperty_add_parameter(end, icalparameter_new_tzid(tzid.constData()));
            icalcomponent_add_property(ev.c, end);
        } else {
            // A bell without times still puts the lesson on its day.
            icaltimetype day = icaltime_null_date();
            day.year = d.year();
            day.month = d.month();
            day.day = d.day();
            icalcomponent_add_property(ev.c, icalproperty_new_dtstart(day));
        }
        cached = properties(ev.c);
        return cached;
    };
    std::vector<QByteArray> dateText;
    for (const TeachingDate& d : c.dates) dateText.push_back(d.date.toString(QStringLiteral("yyyyMMdd")).toLatin1());

    std::map<std::pair<size_t, int>, const DatedSubstitution*> substituted;
    for (const DatedSubstitution& s : c.substitutions) substituted[{s.date, s.lesson}] = &s;
    auto substitutionOf = [&](size_t date, int lesson) -> const DatedSubstitution* {
        if (substituted.empty()) return nullptr;
        const auto it = substituted.find({date, lesson});
        return it == substituted.end() ? nullptr : it->second;
    };

    // Lessons of an object by week and day, so each date finds its own at once.
    const int days = int(c.t.days.size());
    for (const auto* list : {&c.t.groups, &c.t.teachers, &c.t.rooms})
        for (const TimetableObject& o : *list) {
            std::vector<std::vector<int>> byDay(size_t(c.t.weeks * days));
            std::map<int, QByteArray> texts; // a lesson's summary, location and description
            for (int i : o.lessons) {
                const PlacedLesson& l = c.t.lessons[i];
                byDay[size_t((l.entry.Week - 1) * days + l.day)].push_back(i);
                texts[i] = eventTexts(l, o.kind, c.t.bells[size_t(l.bell)]);
            }
            // Lessons this object gives or hosts only through a substitution, by date.
            std::multimap<size_t, const DatedSubstitution*> extra;
            for (const DatedSubstitution& s : c.substitutions) {
                const PlacedLesson& l = c.t.lessons[size_t(s.lesson)];
                if ((o.kind == ObjectType::Teacher && s.substitute != 0 && s.substitute == o.code) ||
                    (o.kind == ObjectType::Room && s.substitute != 0 && s.room == o.code &&
                     s.room != l.entry.RoomCode))
                    extra.emplace(s.date, &s);
            }
            QByteArray out;
            out += "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Korvel//Расписание уроков//RU\r\n"
                   "CALSCALE:GREGORIAN\r\nMETHOD:PUBLISH\r\n";
            {
                // The calendar's name through libical too, for its escaping and folding.
                Component cal{icalcomponent_new_vcalendar()};
                icalproperty* name = icalproperty_new_x(o.title.toUtf8().constData());
                icalproperty_set_x_name(name, "X-WR-CALNAME");
                icalcomponent_add_property(cal.c, name);
                icalproperty* tz = icalproperty_new_x(tzid.constData());
                icalproperty_set_x_name(tz, "X-WR-TIMEZONE");
                icalcomponent_add_property(cal.c, tz);
                out += properties(cal.c);
            }
            out += zoneText;
            const QByteArray objectPart =
                QByteArray("BEGIN:VEVENT\r\nUID:") + kindWord(o.kind) + '-' + QByteArray::number(o.code) + '-';
            QSet<QByteArray> uids;
            for (size_t di = 0; di < c.dates.size(); ++di) {
                const TeachingDate& d = c.dates[di];
                std::vector<std::pair<int, const DatedSubstitution*>> events;
                for (int i : byDay[size_t((d.week - 1) * days + d.day)])
                    events.emplace_back(i, substitutionOf(di, i));
                for (auto [e, end] = extra.equal_range(di); e != end; ++e)
                    events.emplace_back(e->second->lesson, e->second);
                for (const auto& [i, sub] : events) {
                    const PlacedLesson& l = c.t.lessons[size_t(i)];
                    // Identity of the lesson, not of its record: a re-publication of the same
                    // lesson gives the same UID even after the file was rebuilt.
                    QByteArray uid = dateText[di] + '-' + lessonNumber(c.t.bells[size_t(l.bell)]).toUtf8() +
                                     '-' + QByteArray::number(l.entry.GroupCode) + '-' +
                                     QByteArray::number(l.entry.SubGroupNum) + '-' +
                                     QByteArray::number(l.entry.ScienceCode);
                    for (int n = 2; uids.contains(uid); ++n) uid += '-' + QByteArray::number(n);
                    uids.insert(uid);
                    out += objectPart;
                    out += uid;
                    out += "@korvel\r\n";
                    out += stamp;
                    out += timesOf(di, l.bell);
                    out += sub ? substitutedTexts(l, *sub, o.kind, o.code, c.t.bells[size_t(l.bell)])
                               : texts[i];
                    out += "END:VEVENT\r\n";
                }
            }
            out += "END:VCALENDAR\r\n";
            if (!sink({QStringLiteral("ics/") + objectStem(o) + QStringLiteral(".ics"), out}))
                return false;
            if (!c.step()) return false;
        }
    return true;
}

} // namespace hestor::publish
