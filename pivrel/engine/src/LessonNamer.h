#pragma once

// Names of lessons and places for the texts the placement reports, each name looked up once:
// a report over thousands of lessons names the same few teachers, groups and rooms again and
// again.

#include "pivrel/engine/Engine.h"

#include <QHash>

namespace pivrel {

class LessonNamer {
public:
    explicit LessonNamer(tamsel::Dictionary& d) : dict(d) {}

    const QString& teacher(tamsel::Short c) {
        return cached(teachers, c, [&] {
            return c ? names::rtrim(names::teacherName(dict, c)) : QStringLiteral("без учителя");
        });
    }
    /// As the lists show it ("5-А").
    const QString& group(tamsel::Short c) {
        return cached(groups, c, [&] {
            tamsel::Group k;
            k.GroupCode = c;
            return dict.access<tamsel::Group>().fetch(tamsel::Group::GroupCodeKey, k).GroupId();
        });
    }
    /// As the engine's texts write it (padded to its width, "5 -А").
    const QString& groupInText(tamsel::Short c) {
        return cached(padded, c, [&] { return names::rtrim(names::groupId(dict, c)); });
    }
    const QString& science(tamsel::Short c) {
        return cached(sciences, c, [&] { return names::rtrim(names::science(dict, c)); });
    }
    const QString& room(tamsel::Long c) {
        return cached(rooms, c, [&] { return c ? names::rtrim(names::roomNo(dict, c)) : QString(); });
    }
    const QString& day(tamsel::Short c) {
        return cached(days, c, [&] {
            const QString d = names::rtrim(names::dayName(dict, c));
            return d.isEmpty() ? QStringLiteral("день %1").arg(c) : d;
        });
    }
    /// "ср 3" ("2 нед. ср 3" in a longer cycle): short enough for a sentence that names two.
    QString cell(tamsel::Short week, tamsel::Short daySeq, const QString& lessonNo) {
        static const char* const shorts[][2] = {
            {"понедельник", "пн"}, {"вторник", "вт"}, {"среда", "ср"},      {"четверг", "чт"},
            {"пятница", "пт"},     {"суббота", "сб"}, {"воскресенье", "вс"}};
        QString d = day(daySeq);
        for (const auto& s : shorts)
            if (d.compare(QString::fromUtf8(s[0]), Qt::CaseInsensitive) == 0)
                d = QString::fromUtf8(s[1]);
        const QString text = d + QLatin1Char(' ') + lessonNo.trimmed();
        return dict.glo.WeeksInCycle > 1 ? QStringLiteral("%1 нед. ").arg(week) + text : text;
    }
    /// "5-А/1 Математика (Иванова И.И.)"
    QString lesson(const tamsel::Schedule& s) {
        return group(s.GroupCode) + tamsel::FormatSubGroup(dict.glo, s.SubGroupNum) +
               QLatin1Char(' ') + science(s.ScienceCode) + QStringLiteral(" (") +
               teacher(s.TeacherCode) + QLatin1Char(')');
    }
    /// "Понедельник, урок 1, каб. 101" (the week first in a longer cycle), or "не размещен".
    QString place(const tamsel::Schedule& s) {
        if (s.isUnplaced()) return QStringLiteral("не размещен");
        QString text =
            dict.glo.WeeksInCycle > 1 ? QStringLiteral("%1 нед., ").arg(s.Week) : QString();
        text += day(s.DaySeqNumber) + QStringLiteral(", урок ") + s.LessonNo.trimmed();
        if (const QString& r = room(s.RoomCode); !r.isEmpty()) text += QStringLiteral(", каб. ") + r;
        return text;
    }

private:
    template <class Key, class Make>
    const QString& cached(QHash<Key, QString>& h, Key code, Make make) {
        auto it = h.find(code);
        if (it == h.end()) it = h.insert(code, make());
        return *it;
    }
    tamsel::Dictionary& dict;
    QHash<tamsel::Short, QString> teachers, groups, padded, sciences, days;
    QHash<tamsel::Long, QString> rooms;
};

} // namespace pivrel
