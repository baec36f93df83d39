#include "trusko/PlacedTimetable.h"

#include "ReportData.h"
#include "trusko/ReportBuilders.h"

#include "tamsel/Dictionary.h"

#include <QHash>
#include <algorithm>

namespace trusko {

using namespace tamsel;

QString ObjectScheduleTitle(Short kind, const QString& name) {
    return (kind == ObjectType::Room ? QStringLiteral("Кабинет № ") + name : name).left(30);
}

std::vector<const PlacedLesson*> PlacedTimetable::cell(const TimetableObject& object, int week,
                                                       int day, int bell) const {
    std::vector<const PlacedLesson*> out;
    // The object's lessons are in cell order: find the first of the cell and read on.
    auto key = [&](const PlacedLesson& l) { return std::tuple(int(l.entry.Week), l.day, l.bell); };
    const auto wanted = std::tuple(week, day, bell);
    auto it = std::lower_bound(object.lessons.begin(), object.lessons.end(), wanted,
                               [&](int i, const auto& w) { return key(lessons[i]) < w; });
    for (; it != object.lessons.end() && key(lessons[*it]) == wanted; ++it)
        out.push_back(&lessons[*it]);
    return out;
}

bool ReadPlacedTimetable(Dictionary& dict, PlacedTimetable* out) {
    ReportData data(dict, {FileId::Schedule, FileId::LessonBell, FileId::Days, FileId::Science,
                           FileId::Teacher, FileId::Group, FileId::Room, FileId::Speciality});
    if (!data.ok()) return false;
    PlacedTimetable& t = *out;
    t = PlacedTimetable();
    t.days = data.days();
    t.bells = data.bells();
    t.weeks = std::max<int>(1, dict.glo.WeeksInCycle);
    QHash<Short, int> dayIndex;
    QHash<QString, int> bellIndex;
    for (size_t i = 0; i < t.days.size(); ++i) dayIndex.insert(t.days[i].DaySeqNumber, int(i));
    for (size_t i = 0; i < t.bells.size(); ++i) bellIndex.insert(t.bells[i].LessonNo, int(i));

    auto schedule = dict.access<Schedule>();
    for (const Schedule& s : schedule.all(Schedule::WeekDayLessonKey)) {
        if (s.isUnplaced() || s.Week < 1 || s.Week > t.weeks) continue;
        const auto day = dayIndex.constFind(s.DaySeqNumber);
        const auto bell = bellIndex.constFind(s.LessonNo);
        if (day == dayIndex.constEnd() || bell == bellIndex.constEnd()) continue;
        PlacedLesson l;
        l.entry = s;
        l.day = *day;
        l.bell = *bell;
        if (s.GroupCode != 0) l.group = data.group(s.GroupCode).GroupId();
        l.subGroup = s.SubGroupNum != 0 ? FormatSubGroup(dict.glo, s.SubGroupNum) : QString();
        l.subject = data.science(s.ScienceCode);
        if (s.TeacherCode != 0) l.teacher = data.teacherName(s.TeacherCode);
        if (s.RoomCode != 0) l.room = data.roomNo(s.RoomCode);
        t.lessons.push_back(std::move(l));
    }
    if (!schedule.readOk()) return false;
    std::stable_sort(t.lessons.begin(), t.lessons.end(),
                     [](const PlacedLesson& a, const PlacedLesson& b) {
                         return std::tuple(a.entry.Week, a.day, a.bell, a.group,
                                           a.entry.SubGroupNum, a.subject) <
                                std::tuple(b.entry.Week, b.day, b.bell, b.group,
                                           b.entry.SubGroupNum, b.subject);
                     });

    std::map<Long, size_t> groupAt, teacherAt, roomAt;
    auto objects = [&](Short kind, std::vector<TimetableObject>& list, std::map<Long, size_t>& at) {
        for (Long code : BatchObjectCodes(dict, kind)) {
            TimetableObject o;
            o.kind = kind;
            o.code = code;
            const QString name = kind == ObjectType::Group     ? data.group(Short(code)).GroupId()
                                 : kind == ObjectType::Teacher ? data.teacherName(Short(code))
                                                               : data.roomNo(code);
            o.title = ObjectScheduleTitle(kind, name);
            at[code] = list.size();
            list.push_back(std::move(o));
        }
    };
    objects(ObjectType::Group, t.groups, groupAt);
    objects(ObjectType::Teacher, t.teachers, teacherAt);
    objects(ObjectType::Room, t.rooms, roomAt);
    for (size_t i = 0; i < t.lessons.size(); ++i) {
        const Schedule& s = t.lessons[i].entry;
        if (auto g = groupAt.find(s.GroupCode); s.GroupCode != 0 && g != groupAt.end())
            t.groups[g->second].lessons.push_back(int(i));
        if (auto te = teacherAt.find(s.TeacherCode); s.TeacherCode != 0 && te != teacherAt.end())
            t.teachers[te->second].lessons.push_back(int(i));
        if (auto r = roomAt.find(s.RoomCode); s.RoomCode != 0 && r != roomAt.end())
            t.rooms[r->second].lessons.push_back(int(i));
    }
    return true;
}

} // namespace trusko
