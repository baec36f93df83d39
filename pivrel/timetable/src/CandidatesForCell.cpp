#include "pivrel/engine/Engine.h"
#include "pivrel/timetable/SelectLessonVariant.h"

#include "tamsel/widgets/LessonColumns.h"

#include <algorithm>

using namespace tamsel;

namespace pivrel {

std::vector<LessonCandidate> CandidatesForCell(Dictionary& dict, short week, short day,
                                               Short objectType, Long objectCode,
                                               const QString& lessonNo) {
    auto& glo = dict.glo;
    Schedule from;
    from.TeacherCode = static_cast<Short>(objectCode);
    from.GroupCode = static_cast<Short>(objectCode);
    from.RoomCode = objectCode;
    Schedule::Key key = Schedule::TeacherKey;
    if (objectType == ObjectType::Group) key = Schedule::GroupDayLessKey;
    if (objectType == ObjectType::Room) key = Schedule::RoomKey;
    // The object's unplaced lessons: week 0, day 0, no lesson number.
    const auto unplaced = dict.access<Schedule>().read(key, from, 4);

    const Schedule saved = glo.ScheduleRecord;
    Engine engine(dict, {});
    std::vector<LessonCandidate> out;
    for (const Schedule& s : unplaced) {
        glo.ScheduleRecord = s;
        if (glo.ScheduleRecord.LinkCode == 0) glo.ScheduleRecord.LinkCode = -1;
        // Judged as the placement that follows would be: into the room shown in the room view.
        const bool roomView = objectType == ObjectType::Room;
        const long estimate =
            engine.judgeAt(week, day, lessonNo, roomView ? objectCode : 0, !roomView);
        if (estimate < 0) continue;
        LessonCandidate c;
        c.lesson = s;
        c.estimate = static_cast<short>(estimate);
        c.science = names::rtrim(names::science(dict, s.ScienceCode));
        Group g;
        g.GroupCode = s.GroupCode;
        c.group = dict.access<Group>().fetch(Group::GroupCodeKey, g).GroupId();
        c.subgroup = FormatSubGroup(s.SubGroupNum, QString(), glo.SubGroupId);
        c.teacher = names::rtrim(names::teacherName(dict, s.TeacherCode));
        out.push_back(std::move(c));
    }
    glo.LinkedLessonsQueue.clear();
    glo.ScheduleRecord = saved;

    auto less = [](const QString& a, const QString& b) { return LessonColumns::naturalLess(a, b); };
    std::stable_sort(out.begin(), out.end(),
                     [&](const LessonCandidate& a, const LessonCandidate& b) {
                         if (less(a.science, b.science) || less(b.science, a.science))
                             return less(a.science, b.science);
                         if (objectType != ObjectType::Group &&
                             (less(a.group, b.group) || less(b.group, a.group)))
                             return less(a.group, b.group);
                         if (a.lesson.SubGroupNum != b.lesson.SubGroupNum)
                             return a.lesson.SubGroupNum < b.lesson.SubGroupNum;
                         return objectType == ObjectType::Room && less(a.teacher, b.teacher);
                     });
    return out;
}

} // namespace pivrel
