#include "faldin/Divisions.h"

#include "tamsel/Dictionary.h"

#include <memory>
#include <set>
#include <vector>

namespace faldin {

using namespace tamsel;

namespace {

int subgroupsOf(Dictionary& dict, Short type) {
    if (type == 0) return 0;
    SubGroupType k;
    k.SgrpTypCode = type;
    return dict.access<SubGroupType>().fetch(SubGroupType::SgrpTypCdKey, k).NumbOfSubGroups;
}

/// The groups whose lessons or link members of the subject follow its division, in group
/// order, and how many lessons it has.
QStringList groupsOf(Dictionary& dict, Short science, int* lessons) {
    std::set<Short> codes;
    Schedule from;
    from.ScienceCode = science;
    *lessons = 0;
    dict.access<Schedule>().forEach(Schedule::ScienceKey, from, 1, [&](const Schedule& s) {
        codes.insert(s.GroupCode);
        ++*lessons;
        return true;
    });
    TrainingCourse item;
    item.ScienceCode = science;
    for (const TrainingCourse& tc :
         dict.access<TrainingCourse>().read(TrainingCourse::ScienceKey, item, 1)) {
        LsnLinkComp m;
        m.TrainingCourseItemCode = tc.TrainingCourseItemCode;
        for (const LsnLinkComp& c :
             dict.access<LsnLinkComp>().read(LsnLinkComp::LessonKey, m, 1))
            codes.insert(c.GroupCode);
    }
    QStringList names;
    for (const Group& g : dict.access<Group>().all(Group::GroupIdKey))
        if (codes.count(g.GroupCode)) names << g.GroupId();
    return names;
}

/// The files a judgement reads, open while it runs (the lists hold most of them already).
struct Files {
    std::vector<std::unique_ptr<FileUse>> uses;
    explicit Files(Dictionary& dict) {
        for (FileId id : {FileId::Schedule, FileId::TrainingCourse, FileId::LsnLinkComp,
                          FileId::Group, FileId::Science, FileId::SubGroupType})
            uses.push_back(std::make_unique<FileUse>(dict.store(), id));
    }
};

} // namespace

QString DivisionRefusalCaption() {
    return QStringLiteral("Деление на подгруппы не изменено");
}

QString SubjectDivisionRefusal(Dictionary& dict, const Science& before, const Science& after) {
    const Files files(dict);
    if (before.SgrpTypCode == after.SgrpTypCode ||
        subgroupsOf(dict, before.SgrpTypCode) == subgroupsOf(dict, after.SgrpTypCode))
        return {};
    int lessons = 0;
    const QStringList groups = groupsOf(dict, before.ScienceCode, &lessons);
    if (groups.isEmpty()) return {};
    return QStringLiteral("Уроки предмета «%1» составлены по прежнему делению на подгруппы "
                          "(уроков: %2; группы: %3).")
               .arg(before.Science.trimmed())
               .arg(lessons)
               .arg(groups.join(QStringLiteral(", "))) +
           QStringLiteral("|Чтобы изменить деление, сначала удалите предмет из учебного плана и "
                          "групп одновременных уроков.");
}

QString SubGroupTypeRefusal(Dictionary& dict, const SubGroupType& before,
                            const SubGroupType& after) {
    if (before.NumbOfSubGroups == after.NumbOfSubGroups || before.SgrpTypCode == 0) return {};
    const Files files(dict);
    Science from;
    from.SgrpTypCode = before.SgrpTypCode;
    QStringList used;
    for (const Science& s : dict.access<Science>().read(Science::SgTypCodeKey, from, 1)) {
        int lessons = 0;
        const QStringList groups = groupsOf(dict, s.ScienceCode, &lessons);
        if (!groups.isEmpty())
            used << QStringLiteral("%1 (уроков: %2; группы: %3)")
                        .arg(s.Science.trimmed())
                        .arg(lessons)
                        .arg(groups.join(QStringLiteral(", ")));
    }
    if (used.isEmpty()) return {};
    return QStringLiteral("По типу подгрупп «%1» уже составлены уроки предметов: %2.")
               .arg(before.SgrpTyp.trimmed(), used.join(QStringLiteral("; "))) +
           QStringLiteral("|Чтобы изменить количество подгрупп, сначала удалите эти предметы из "
                          "учебного плана и групп одновременных уроков.");
}

} // namespace faldin
