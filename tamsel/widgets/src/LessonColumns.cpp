#include "tamsel/widgets/LessonColumns.h"

#include "tamsel/Dictionary.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace tamsel {

namespace LessonColumns {

namespace {

Schedule lesson(const Row& r) {
    return fromRow<Schedule>(r);
}

QString groupName(Dictionary& dict, Short code) {
    Group key;
    key.GroupCode = code;
    return dict.access<Group>(false).fetch(Group::GroupCodeKey, key).GroupId();
}
QString scienceName(Dictionary& dict, Short code) {
    Science key;
    key.ScienceCode = code;
    return dict.access<Science>(false).fetch(Science::ScienceCodeKey, key).Science;
}

/// A small round mark; the link mark is a ring beside it.
QIcon mark(const QColor& fill, bool ring) {
    QPixmap p(28, 14);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    if (fill.isValid()) {
        g.setBrush(fill);
        g.setPen(fill.darker(150));
        g.drawEllipse(1, 1, 11, 11);
    }
    if (ring) {
        g.setBrush(Qt::NoBrush);
        g.setPen(QPen(QColor(40, 80, 200), 2));
        g.drawEllipse(16, 2, 9, 9);
    }
    return QIcon(p);
}

} // namespace

ListColumn group(Dictionary& dict, const QString& title) {
    ListColumn c;
    c.title = title;
    c.text = [&dict](const Row& r) { return groupName(dict, lesson(r).GroupCode); };
    return c;
}

ListColumn subgroup(Dictionary& dict, const QString& title) {
    ListColumn c;
    c.title = title;
    c.text = [&dict](const Row& r) {
        const Short n = lesson(r).SubGroupNum;
        return n == 0 ? QString() : FormatSubGroup(n, QString(), dict.glo.SubGroupId);
    };
    return c;
}

ListColumn science(Dictionary& dict, const QString& title) {
    ListColumn c;
    c.title = title;
    c.text = [&dict](const Row& r) { return scienceName(dict, lesson(r).ScienceCode); };
    return c;
}

ListColumn teacher(Dictionary& dict, const QString& title) {
    ListColumn c;
    c.title = title;
    c.text = [&dict](const Row& r) {
        Teacher key;
        key.TeacherCode = lesson(r).TeacherCode;
        return key.TeacherCode
                   ? dict.access<Teacher>(false).fetch(Teacher::TeacherCodeKey, key).TeacherName
                   : QString();
    };
    return c;
}

ListColumn room(Dictionary& dict, const QString& title) {
    ListColumn c;
    c.title = title;
    c.text = [&dict](const Row& r) {
        Room key;
        key.RoomCode = lesson(r).RoomCode;
        return key.RoomCode ? dict.access<Room>(false).fetch(Room::CodeKey, key).RoomNo : QString();
    };
    return c;
}

ListColumn dayAndLesson(Dictionary& dict, const QString& title) {
    ListColumn c;
    c.title = title;
    c.text = [&dict](const Row& r) {
        const Schedule s = lesson(r);
        if (s.isUnplaced()) return QString();
        Days key;
        key.DaySeqNumber = s.DaySeqNumber;
        QString text = dict.access<Days>(false).fetch(Days::SeqNumberKey, key).DayName +
                       QLatin1Char(' ') + s.LessonNo.trimmed();
        if (dict.glo.WeeksInCycle > 1) text = QStringLiteral("%1-я нед. ").arg(s.Week) + text;
        return text;
    };
    return c;
}

namespace {

QColor placementColour(const Schedule& s) {
    if (s.isUnplaced()) return {};
    return s.RoomCode != 0 ? QColor(40, 170, 60) : QColor(230, 150, 30);
}
QString placementWords(const Schedule& s) {
    return s.isUnplaced()    ? QString()
           : s.RoomCode != 0 ? QStringLiteral("размещён")
                             : QStringLiteral("размещён без кабинета");
}

} // namespace

void addState(ListColumn& column) {
    column.decoration = [](const Row& r) -> QVariant {
        const Schedule s = lesson(r);
        const QColor fill = placementColour(s);
        if (!fill.isValid() && s.LinkCode == 0) return {};
        return mark(fill, s.LinkCode != 0);
    };
    column.decorationText = [](const Row& r) {
        const Schedule s = lesson(r);
        QString state = placementWords(s);
        if (s.LinkCode != 0)
            state +=
                (state.isEmpty() ? QString() : QStringLiteral(", ")) + QStringLiteral("связан");
        return state;
    };
}

void addPlacementState(ListColumn& column) {
    // Only a lesson with its teacher is shown placed: without one it is not ready.
    column.decoration = [](const Row& r) -> QVariant {
        const Schedule s = lesson(r);
        const QColor fill = s.TeacherCode != 0 ? placementColour(s) : QColor();
        return fill.isValid() ? QVariant(mark(fill, false)) : QVariant();
    };
    column.decorationText = [](const Row& r) {
        const Schedule s = lesson(r);
        return s.TeacherCode != 0 ? placementWords(s) : QString();
    };
}

void addLinkState(ListColumn& column) {
    column.decoration = [](const Row& r) -> QVariant {
        return lesson(r).LinkCode != 0 ? QVariant(mark({}, true)) : QVariant();
    };
    column.decorationText = [](const Row& r) {
        return lesson(r).LinkCode != 0 ? QStringLiteral("связан") : QString();
    };
}

bool naturalLess(const QString& a, const QString& b) {
    // Digits are compared as numbers; the rest by the folded key, which orders Cyrillic the
    // Russian way without depending on the system's locale data.
    const QString x = foldKey(a), y = foldKey(b);
    qsizetype i = 0, j = 0;
    while (i < x.size() && j < y.size()) {
        if (x[i].isDigit() && y[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < x.size() && x[ei].isDigit())
                ++ei;
            while (ej < y.size() && y[ej].isDigit())
                ++ej;
            const qlonglong nx = x.mid(i, ei - i).toLongLong(), ny = y.mid(j, ej - j).toLongLong();
            if (nx != ny) return nx < ny;
            i = ei;
            j = ej;
            continue;
        }
        if (x[i] != y[j]) return x[i] < y[j];
        ++i;
        ++j;
    }
    return x.size() - i < y.size() - j;
}

std::function<bool(const Row&, const Row&)> byGroupSubgroupScience(Dictionary& dict) {
    return [&dict](const Row& a, const Row& b) {
        const Schedule x = lesson(a), y = lesson(b);
        const QString gx = groupName(dict, x.GroupCode), gy = groupName(dict, y.GroupCode);
        if (foldKey(gx) != foldKey(gy)) return naturalLess(gx, gy);
        if (x.SubGroupNum != y.SubGroupNum) return x.SubGroupNum < y.SubGroupNum;
        return foldKey(scienceName(dict, x.ScienceCode)) <
               foldKey(scienceName(dict, y.ScienceCode));
    };
}

std::function<bool(const Row&, const Row&)> byScienceSubgroup(Dictionary& dict) {
    return [&dict](const Row& a, const Row& b) {
        const Schedule x = lesson(a), y = lesson(b);
        const QString sx = foldKey(scienceName(dict, x.ScienceCode)),
                      sy = foldKey(scienceName(dict, y.ScienceCode));
        if (sx != sy) return sx < sy;
        return x.SubGroupNum < y.SubGroupNum;
    };
}

} // namespace LessonColumns

} // namespace tamsel
