#pragma once

// A small school built record by record for the engine's tests.

#include "tamsel/TestFolder.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <sqlite3.h>
#include <memory>
#include <utility>
#include <vector>

namespace enginetest {

using namespace tamsel;

inline QString u(const char* s) { return QString::fromUtf8(s); }

class School {
public:
    explicit School(TestFolder& t, int days = 2, int lessons = 3, short weeks = 1) : t_(t) {
        for (int i = 0; i < PhysicalFileCount; ++i)
        {
            uses_.push_back(std::make_unique<FileUse>(t.store(), static_cast<FileId>(i)));
            // Building the school need not wait for the disk record by record.
            sqlite3_exec(uses_.back()->file().connection(), "PRAGMA synchronous=OFF", nullptr,
                         nullptr, nullptr);
        }
        t.glo().WeeksInCycle = weeks;
        static const char* names[] = {"Понедельник", "Вторник", "Среда",
                                      "Четверг",     "Пятница", "Суббота"};
        for (int d = 1; d <= days; ++d)
            t.put(Days{.DaySeqNumber = Short(d), .DayName = u(names[(d - 1) % 6])});
        for (int l = 1; l <= lessons; ++l)
            t.put(LessonBell{.LessonNo = QString::number(l), .Begining = timeOf(8 + l, 0)});
    }
    Dictionary& dict() { return t_.dict(); }

    void cycle(Short code, int max) {
        t_.put(ScienceCycle{.CycleCode = code, .CycleName = QStringLiteral("Цикл %1").arg(code),
                            .LessonsPerDayMax = static_cast<Byte>(max)});
    }
    void subgroupType(Short code, int n) {
        SubGroupType s;
        s.SgrpTypCode = code;
        s.SgrpTyp = QStringLiteral("Тип %1").arg(code);
        s.NumbOfSubGroups = static_cast<Byte>(n);
        t_.dict().access<SubGroupType>().insert(s);
    }
    void science(Short code, const QString& name, Short cycle = 0, Short sgrpType = 0) {
        t_.put(Science{.ObjectType = ObjectType::Science, .ScienceCode = code, .Science = name,
                       .CycleCode = cycle, .SgrpTypCode = sgrpType});
    }
    void teacher(Short code, const QString& name) {
        Teacher r;
        r.ObjectType = ObjectType::Teacher;
        r.TeacherCode = code;
        r.TableNo = code;
        r.TeacherName = name;
        t_.dict().access<Teacher>().insert(r);
    }
    void group(Short code, const QString& course, const QString& literal) {
        t_.put(Group{.ObjectType = ObjectType::Group, .GroupCode = code, .Course = course,
                     .Defis = QStringLiteral("-"), .Literal = literal});
    }
    void room(Long code, const QString& no) {
        Room r;
        r.ObjectType = ObjectType::Room;
        r.RoomCode = code;
        r.RoomNo = no;
        t_.dict().access<Room>().insert(r);
    }
    void roomList(Short teacher, Short science, Short room, Short priority) {
        RoomList r;
        r.TeacherCode = teacher;
        r.ScienceCode = science;
        r.RoomCode = room;
        r.Priority = priority;
        t_.dict().access<RoomList>().insert(r);
    }
    void link(Short code, const QString& name, bool lecture = false) {
        t_.put(LsnLink{.LinkCode = code, .LinkName = name, .IsLecture = Byte(lecture ? 1 : 0)});
    }
    void comp(Short link, Short item, Short group, Short sub) {
        t_.put(LsnLinkComp{.LinkCode = link, .TrainingCourseItemCode = item, .GroupCode = group,
                           .SubGroupNum = sub});
    }
    /// The usual two of each: teachers Иванова (1) and Петров (2), groups А (1) and Б (2) of
    /// `course`, rooms 101 (1) and 102 (2).
    void twoOfEach(const char* course) {
        teacher(1, u("Иванова"));
        teacher(2, u("Петров"));
        group(1, u(course), u("А"));
        group(2, u(course), u("Б"));
        room(1, u("101"));
        room(2, u("102"));
    }
    /// One member of a link: the plan item and the lessons' subject, teacher, group, subgroup.
    struct Member {
        Short item, science, teacher, group, sub = 0;
    };
    /// A link with its members, each with `hours` unplaced lessons that carry it: a link in
    /// one line. Returns the lessons.
    std::vector<Schedule> linked(Short code, std::initializer_list<Member> members, int hours = 1,
                                 bool lecture = false) {
        link(code, QStringLiteral("Связь %1").arg(code), lecture);
        std::vector<Schedule> out;
        for (const Member& m : members) {
            comp(code, m.item, m.group, m.sub);
            for (int h = 0; h < hours; ++h)
                out.push_back(lesson(m.item, m.science, m.teacher, m.group, m.sub, code));
        }
        return out;
    }
    void restrict(Short type, Short code, Short week, Short day, const QString& lesson,
                  Short level) {
        t_.put(Restriction{.ObjectType = type, .ObjectCode = code, .Week = week, .DaySeqNumber = day,
                           .LessonNo = lesson, .Restriction = level});
    }
    /// A lesson (unplaced unless a cell is given).
    Schedule lesson(Short item, Short science, Short teacher, Short group, Short sub = 0,
                    Short link = 0, Byte coupled = 0, Long room = 0, Short week = 0, Short day = 0,
                    const QString& lessonNo = {}) {
        return t_.put(Schedule{.Week = week, .DaySeqNumber = day, .LessonNo = lessonNo,
                               .ScienceCode = science, .TeacherCode = teacher, .GroupCode = group,
                               .SubGroupNum = sub, .RoomCode = room, .TrainingCourseItemCode = item,
                               .CoupledLesson = coupled, .LinkCode = link});
    }
    std::vector<Schedule> schedule() {
        return t_.dict().access<Schedule>().all(Schedule::ItemCode);
    }
    Schedule byRow(RowId id) { return t_.dict().access<Schedule>().byRowId(id); }

    /// The bytes of the SCHEDULE file.
    QByteArray scheduleBytes() {
        QFile f(t_.dict().store().diskName(FileId::Schedule));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

private:
    TestFolder& t_;
    std::vector<std::unique_ptr<FileUse>> uses_;
};

/// The two lessons of a link of two members, one hour each.
inline std::pair<Schedule, Schedule> two(const std::vector<Schedule>& lessons) {
    return {lessons.at(0), lessons.at(1)};
}

/// A random but reproducible school: groups with subgroup lessons linked pairwise, lectures
/// shared by two groups, teachers with one to three rooms, restrictions of both levels.
inline void randomSchool(School& s, quint32 seed, int groups, int teachers, int rooms,
                         int hoursPerGroup, short weeks, int days, int lessons) {
    QRandomGenerator rnd(seed);
    s.cycle(1, 2);
    s.cycle(2, 3);
    s.subgroupType(1, 2);
    s.subgroupType(2, 2);
    const int sciences = 8;
    for (Short c = 1; c <= sciences; ++c)
        s.science(c, QStringLiteral("Предмет %1").arg(c), static_cast<Short>(1 + c % 2),
                  c == 7 ? 1 : (c == 8 ? 2 : 0));
    for (Short t = 1; t <= teachers; ++t) s.teacher(t, QStringLiteral("Учитель %1").arg(t));
    for (Long r = 1; r <= rooms; ++r) s.room(r, QStringLiteral("%1").arg(100 + r));
    for (Short g = 1; g <= groups; ++g)
        s.group(g, QString::number(5 + (g - 1) / 3), QString(QChar(0x0410 + (g - 1) % 3)));
    QSet<quint32> lists;
    auto ensureList = [&](Short t, Short sci) {
        if (lists.contains((quint32(t) << 16) | quint32(sci))) return;
        lists.insert((quint32(t) << 16) | quint32(sci));
        const int n = 1 + rnd.bounded(3);
        for (int i = 0; i < n; ++i)
            s.roomList(t, sci, static_cast<Short>(1 + rnd.bounded(rooms)),
                       static_cast<Short>(10 * (i + 1)));
    };
    Short item = 0;
    Short link = 0;
    for (Short g = 1; g <= groups; ++g) {
        int hours = 0;
        for (Short sci = 1; sci <= 6 && hours < hoursPerGroup; ++sci) {
            const Short t = static_cast<Short>(1 + rnd.bounded(teachers));
            ensureList(t, sci);
            ++item;
            const int n = 1 + rnd.bounded(3);
            for (int i = 0; i < n && hours < hoursPerGroup; ++i, ++hours)
                s.lesson(item, sci, t, g, 0, 0, static_cast<Byte>(i == 1 ? 1 : (i == 2 ? 2 : 0)));
        }
        // Subgroups of a language (subject 7), linked pairwise.
        ++item;
        ++link;
        s.link(link, QStringLiteral("Подгруппы %1").arg(g));
        for (Short sub = 1; sub <= 2; ++sub) {
            const Short t = static_cast<Short>(1 + rnd.bounded(teachers));
            ensureList(t, 7);
            s.comp(link, item, g, sub);
            for (int i = 0; i < 2; ++i) s.lesson(item, 7, t, g, sub, link);
        }
        // Unlinked subgroup lessons of another subgroup type.
        ++item;
        for (Short sub = 1; sub <= 2; ++sub) {
            const Short t = static_cast<Short>(1 + rnd.bounded(teachers));
            ensureList(t, 8);
            s.lesson(item, 8, t, g, sub);
        }
    }
    // Lectures for pairs of groups.
    for (Short g = 1; g + 1 <= groups; g += 3) {
        ++link;
        s.link(link, QStringLiteral("Лекция %1").arg(g), true);
        const Short t = static_cast<Short>(1 + rnd.bounded(teachers));
        ensureList(t, 5);
        for (Short k = 0; k < 2; ++k) {
            ++item;
            s.comp(link, item, static_cast<Short>(g + k), 0);
            s.lesson(item, 5, t, static_cast<Short>(g + k), 0, link);
        }
    }
    // Restrictions.
    for (int i = 0; i < (groups + teachers + rooms) * 2; ++i) {
        const Short type = static_cast<Short>(1 + rnd.bounded(4));
        const int max = type == 1 ? groups : type == 2 ? rooms : type == 3 ? sciences : teachers;
        const Short code = static_cast<Short>(1 + rnd.bounded(max));
        const Short w = static_cast<Short>(1 + rnd.bounded(weeks));
        const Short d = static_cast<Short>(1 + rnd.bounded(days));
        const QString l = QString::number(1 + rnd.bounded(lessons));
        const Restriction key{
            .ObjectType = type, .ObjectCode = code, .Week = w, .DaySeqNumber = d, .LessonNo = l};
        if (s.dict().access<Restriction>(false).exists(Restriction::ObjectIdKey, key)) continue;
        s.restrict(type, code, w, d, l, static_cast<Short>(1 + rnd.bounded(2)));
    }
}

} // namespace enginetest
