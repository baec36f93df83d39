#include "pivrel/timetable/OverviewRows.h"

#include "tamsel/widgets/LessonColumns.h"

#include <QHash>
#include <algorithm>
#include <map>
#include <set>

using namespace tamsel;

namespace pivrel {

OverviewRows::OverviewRows(Dictionary& dict) : dict_(dict) {}

void OverviewRows::build() {
    dict_.glo.ShowAllWeeks = dict_.glo.AllWeeksShow;
    days_ = dict_.access<Days>().all(Days::SeqNumberKey);
    bells_ = dict_.access<LessonBell>().all(LessonBell::NumberKey);
    weeks_ = std::max<int>(1, dict_.glo.WeeksInCycle);
}

void OverviewRows::setObject(short mode, Long code, const QString& course, bool subgroups) {
    mode_ = mode;
    code_ = code;
    course_ = course;
    subgroups_ = subgroups && (mode == OverviewMode::TeacherGroups || mode == OverviewMode::Course);
}

QString OverviewRows::title() const {
    switch (mode_) {
    case OverviewMode::TeacherGroups: {
        Teacher t;
        t.TeacherCode = static_cast<Short>(code_);
        return QStringLiteral("Обзор расписания групп, где работает ") +
               dict_.access<Teacher>().fetch(Teacher::TeacherCodeKey, t).TeacherName.trimmed();
    }
    case OverviewMode::GroupTeachers: {
        Group g;
        g.GroupCode = static_cast<Short>(code_);
        return QStringLiteral("Обзор расписания учителей, работающих в группе ") +
               dict_.access<Group>().fetch(Group::GroupCodeKey, g).GroupId();
    }
    case OverviewMode::Speciality: {
        Speciality s;
        s.SpecialityCode = static_cast<Short>(code_);
        return QStringLiteral("Обзор расписания учителей, по специальности ") +
               dict_.access<Speciality>().fetch(Speciality::SpecCodeKey, s).Speciality.trimmed();
    }
    case OverviewMode::Course:
        return QStringLiteral("Обзор расписания групп ") + course_.trimmed() +
               QStringLiteral(" курса");
    default:
        return QStringLiteral("Расписание ...");
    }
}

void OverviewRows::refresh() {
    rows_.clear();
    auto sch = dict_.access<Schedule>();
    std::vector<Group> groups;
    std::vector<Teacher> teachers;
    switch (mode_) {
    case OverviewMode::TeacherGroups: {
        if (code_ == 0) break;
        std::set<Short> codes;
        Schedule from;
        from.TeacherCode = static_cast<Short>(code_);
        sch.forEach(Schedule::TeacherKey, from, 1, [&](const Schedule& s) {
            codes.insert(s.GroupCode);
            return true;
        });
        for (const Group& g : dict_.access<Group>().all(Group::GroupIdKey))
            if (g.GroupCode != 0 && codes.count(g.GroupCode)) groups.push_back(g);
        break;
    }
    case OverviewMode::GroupTeachers: {
        if (code_ == 0) break;
        std::set<Short> codes;
        Schedule from;
        from.GroupCode = static_cast<Short>(code_);
        sch.forEach(Schedule::GroupDayLessKey, from, 1, [&](const Schedule& s) {
            codes.insert(s.TeacherCode);
            return true;
        });
        for (const Teacher& t : dict_.access<Teacher>().all(Teacher::TeacherNameKey))
            if (t.TeacherCode != 0 && codes.count(t.TeacherCode)) teachers.push_back(t);
        break;
    }
    case OverviewMode::Speciality: {
        Teacher from;
        from.SpecialityCode = static_cast<Short>(code_);
        for (const Teacher& t : dict_.access<Teacher>().read(Teacher::SpecCodeKey, from, 1))
            if (t.TeacherCode != 0) teachers.push_back(t);
        break;
    }
    case OverviewMode::Course:
        if (course_.trimmed().isEmpty()) break;
        for (const Group& g : dict_.access<Group>().all(Group::GroupIdKey))
            if (g.GroupCode != 0 && g.Course.trimmed() == course_.trimmed()) groups.push_back(g);
        break;
    default:
        break;
    }
    // 5-А before 10-А, as every group list shows them.
    std::stable_sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) {
        return LessonColumns::naturalLess(a.GroupId(), b.GroupId());
    });
    for (const Teacher& t : teachers)
        rows_.push_back({t.TeacherName.trimmed(), ObjectType::Teacher, t.TeacherCode, 0, 0, {}});
    for (const Group& g : groups) {
        rows_.push_back({g.GroupId(), ObjectType::Group, g.GroupCode, 0, 0, {}});
        if (!subgroups_) continue;
        // The subgroup types the group uses (entries with a teacher), in type name order.
        std::set<Short> types;
        Schedule from;
        from.GroupCode = g.GroupCode;
        QHash<int, Short> typeOf;
        sch.forEach(Schedule::GroupDayLessKey, from, 1, [&](const Schedule& s) {
            if (s.TeacherCode == 0) return true;
            auto it = typeOf.find(s.ScienceCode);
            if (it == typeOf.end()) {
                Science k;
                k.ScienceCode = s.ScienceCode;
                it = typeOf.insert(
                    s.ScienceCode,
                    dict_.access<Science>().fetch(Science::ScienceCodeKey, k).SgrpTypCode);
            }
            if (*it != 0) types.insert(*it);
            return true;
        });
        for (const SubGroupType& t : dict_.access<SubGroupType>().all(SubGroupType::SgrpTypKey)) {
            if (!types.count(t.SgrpTypCode)) continue;
            for (int n = 1; n <= t.NumbOfSubGroups; ++n)
                rows_.push_back({g.GroupId() + FormatSubGroup(dict_.glo, static_cast<Short>(n)),
                                 ObjectType::Group,
                                 g.GroupCode,
                                 static_cast<Short>(n),
                                 t.SgrpTypCode,
                                 {}});
        }
    }
    for (OverviewRow& r : rows_)
        computeMarks(r);
}

void OverviewRows::computeMarks(OverviewRow& row) {
    const int nD = static_cast<int>(days_.size()), nL = static_cast<int>(bells_.size());
    row.marks.assign(static_cast<size_t>(weeks_ * nD * nL), SlotMark::Free);
    QHash<int, int> dayIndex;
    for (int d = 0; d < nD; ++d)
        dayIndex.insert(days_[size_t(d)].DaySeqNumber, d);
    QHash<QString, int> bellIndex;
    for (int l = 0; l < nL; ++l)
        bellIndex.insert(bells_[size_t(l)].LessonNo, l);
    auto slot = [&](int week, int dayCode, const QString& lessonNo) {
        if (week < 1 || week > weeks_) return -1;
        const auto d = dayIndex.constFind(dayCode);
        const auto l = bellIndex.constFind(lessonNo);
        if (d == dayIndex.constEnd() || l == bellIndex.constEnd()) return -1;
        return ((week - 1) * nD + *d) * nL + *l;
    };
    // Restrictions first; lessons then mark their slots busy.
    Restriction rf;
    rf.ObjectType = row.type;
    rf.ObjectCode = row.code;
    dict_.access<Restriction>().forEach(Restriction::ObjectIdKey, rf, 2, [&](const Restriction& r) {
        const int i = slot(r.Week, r.DaySeqNumber, r.LessonNo);
        if (i >= 0)
            row.marks[size_t(i)] = r.Restriction == 0   ? SlotMark::Free
                                   : r.Restriction == 1 ? SlotMark::Undesirable
                                                        : SlotMark::Forbidden;
        return true;
    });
    QHash<int, Short> typeOf;
    auto typeOfScience = [&](Short science) {
        auto it = typeOf.find(science);
        if (it == typeOf.end()) {
            Science k;
            k.ScienceCode = science;
            it = typeOf.insert(
                science, dict_.access<Science>().fetch(Science::ScienceCodeKey, k).SgrpTypCode);
        }
        return *it;
    };
    Schedule from;
    from.TeacherCode = row.code;
    from.GroupCode = row.code;
    const bool teacher = row.type == ObjectType::Teacher;
    dict_.access<Schedule>().forEach(teacher ? Schedule::TeacherKey : Schedule::GroupDayLessKey,
                                     from, 1, [&](const Schedule& s) {
                                         if (s.isUnplaced()) return true;
                                         // A lesson without a group does not keep a teacher busy,
                                         // nor one without a teacher a group.
                                         if (teacher ? s.GroupCode == 0 : s.TeacherCode == 0)
                                             return true;
                                         if (row.subgroup != 0 && s.SubGroupNum != 0 &&
                                             typeOfScience(s.ScienceCode) == row.subgroupType &&
                                             s.SubGroupNum != row.subgroup)
                                             return true;
                                         const int i = slot(s.Week, s.DaySeqNumber, s.LessonNo);
                                         if (i >= 0) row.marks[size_t(i)] = SlotMark::Busy;
                                         return true;
                                     });
}

SlotMark OverviewRows::mark(const OverviewRow& row, int week, int day, int bell) const {
    const int nD = static_cast<int>(days_.size()), nL = static_cast<int>(bells_.size());
    const size_t i = size_t(((week - 1) * nD + day) * nL + bell);
    return i < row.marks.size() ? row.marks[i] : SlotMark::Free;
}

QString OverviewRows::lineText(const OverviewRow& row, int week, int day) const {
    static const QChar chars[] = {QChar(0x2022), QLatin1Char('!'), QLatin1Char('x'), QChar(0x7F)};
    QString line;
    for (int l = 0; l < static_cast<int>(bells_.size()); ++l)
        line += chars[static_cast<int>(mark(row, week, day, l))];
    return line;
}

QStringList OverviewRows::dayLines(int day) const {
    QStringList lines;
    for (const OverviewRow& r : rows_)
        for (int w = 1; w <= weeks_; ++w) {
            lines << lineText(r, w, day);
            if (w < weeks_) lines << QString();
        }
    return lines;
}

QString OverviewRows::dayText(int day) const {
    QString text;
    const QStringList lines = dayLines(day);
    for (const QString& l : lines)
        text += l + QLatin1Char('|');
    text.chop(1);
    return text;
}

} // namespace pivrel
