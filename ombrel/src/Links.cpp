#include "ombrel/Links.h"

#include "tamsel/Relations.h"
#include "tamsel/Transaction.h"
#include "tamsel/WritingLock.h"

#include <map>
#include <set>

using namespace tamsel;

namespace ombrel {

namespace {

constexpr int LinkNameWidth = 225;

Science scienceOf(Dictionary& dict, Short code) {
    Science k;
    k.ScienceCode = code;
    return dict.access<Science>().fetch(Science::ScienceCodeKey, k);
}

Group groupOf(Dictionary& dict, Short code) {
    Group k;
    k.GroupCode = code;
    return dict.access<Group>().fetch(Group::GroupCodeKey, k);
}

int subgroupsOf(Dictionary& dict, Short science) {
    SubGroupType k;
    k.SgrpTypCode = scienceOf(dict, science).SgrpTypCode;
    if (k.SgrpTypCode == 0) return 0;
    return dict.access<SubGroupType>().fetch(SubGroupType::SgrpTypCdKey, k).NumbOfSubGroups;
}

bool nameTaken(Dictionary& dict, const QString& name, Short except) {
    LsnLink k;
    k.LinkName = name;
    bool found = false;
    const LsnLink l = dict.access<LsnLink>().fetch(LsnLink::NameKey, k, &found);
    return found && l.LinkCode != except;
}

/// Reports a failed outcome once; true when it was fine.
bool fine(Dictionary& dict, const Outcome& o) {
    if (o.ok()) return true;
    if (o.msgNo) dict.errors().report(o.msgNo, o.args);
    return false;
}

} // namespace

QString grownLinkName(const QString& oldName, const QString& subject, const QString& groupMark) {
    const QString old = oldName.trimmed(), sci = subject.trimmed();
    QString name;
    if (!sci.isEmpty() && old.contains(sci))
        name = old + QStringLiteral(", ") + groupMark;
    else
        name = (old.isEmpty() ? QString() : old + QStringLiteral(", ")) + sci +
               QStringLiteral(" в ") + groupMark;
    return name.left(LinkNameWidth);
}

int LinkGroupSubgroups(Dictionary& dict, const Group& group, bool* ok) {
    if (ok) *ok = true;
    const QString label = group.GroupId();
    // The group's unlinked entries of subjects with subgroups, by subject and subgroup.
    Schedule from;
    from.GroupCode = group.GroupCode;
    std::map<Short, int> subgroups;
    std::vector<Schedule> entries;
    for (const Schedule& s :
         dict.access<Schedule>().read(Schedule::GroupScienceSubGrKey, from, 1)) {
        if (s.LinkCode != 0) continue;
        auto it = subgroups.find(s.ScienceCode);
        if (it == subgroups.end())
            it = subgroups.emplace(s.ScienceCode, subgroupsOf(dict, s.ScienceCode)).first;
        if (it->second > 0) entries.push_back(s);
    }
    WritingScope writing(dict);
    if (!writing) {
        if (ok) *ok = false;
        return 0;
    }
    int made = 0;
    size_t i = 0;
    while (i < entries.size()) {
        const Short science = entries[i].ScienceCode;
        size_t end = i;
        while (end < entries.size() && entries[end].ScienceCode == science)
            ++end;
        // The name and the members of this subject's link.
        QString name = scienceOf(dict, science).Science.trimmed();
        std::vector<std::pair<Short, Short>> members; // (plan item, subgroup) in order
        Short lastSub = -1;
        for (size_t k = i; k < end; ++k) {
            const Schedule& s = entries[k];
            if (s.SubGroupNum != lastSub) {
                name += (s.SubGroupNum == 1 ? QStringLiteral(" в ") : QStringLiteral(", ")) +
                        label + FormatSubGroup(dict.glo, s.SubGroupNum);
                lastSub = s.SubGroupNum;
            }
            const std::pair<Short, Short> m{s.TrainingCourseItemCode, s.SubGroupNum};
            if (std::find(members.begin(), members.end(), m) == members.end()) members.push_back(m);
        }
        name = name.left(LinkNameWidth);
        if (nameTaken(dict, name, 0)) {
            i = end;
            continue; // a link of that name exists: this subject stays as it is
        }
        Transaction tx(dict.store(), {FileId::LsnLink, FileId::LsnLinkComp, FileId::Schedule});
        if (!tx.active()) {
            dict.errors().report(tx.error().msgNo, tx.error().args);
            if (ok) *ok = false;
            return made;
        }
        auto links = tx.access<LsnLink>();
        LsnLink link = links.prime();
        link.LinkName = name;
        bool good = fine(dict, links.insert(link));
        std::set<std::pair<Short, Short>> joined;
        auto comps = tx.access<LsnLinkComp>();
        for (const auto& [item, sub] : members) {
            if (!good) break;
            LsnLinkComp c;
            c.LinkCode = link.LinkCode;
            c.TrainingCourseItemCode = item;
            c.GroupCode = group.GroupCode;
            c.SubGroupNum = sub;
            // A member that is in another link already keeps its entries out of this one.
            if (comps.exists(LsnLinkComp::LessonKey, c)) continue;
            good = fine(dict, comps.insert(c));
            if (good) joined.insert({item, sub});
        }
        auto sch = tx.access<Schedule>();
        for (size_t k = i; k < end && good; ++k) {
            Schedule s = entries[k];
            if (!joined.count({s.TrainingCourseItemCode, s.SubGroupNum})) continue;
            s.LinkCode = link.LinkCode;
            good = fine(dict, sch.update(s));
        }
        if (good && !joined.empty()) {
            good = fine(dict, tx.commit());
            if (good) ++made;
        }
        if (!good) {
            if (ok) *ok = false;
            return made; // the transaction rolls back: this subject is as it was
        }
        i = end;
    }
    return made;
}

int LinkAllGroupSubgroups(Dictionary& dict) {
    const auto groups = dict.access<Group>().all(Group::GroupIdKey);
    auto& progress = dict.progress();
    progress.start(QStringLiteral("Связыванме подгрупп в группах"));
    int made = 0;
    int done = 0;
    for (const Group& g : groups) {
        if (progress.cancelled()) break;
        bool ok = true;
        made += LinkGroupSubgroups(dict, g, &ok);
        progress.setPercent(static_cast<int>(100 * ++done / std::max<size_t>(1, groups.size())));
        if (!ok) break;
    }
    progress.finish();
    return made;
}

bool ClearAllLinks(Dictionary& dict) {
    WritingScope writing(dict);
    if (!writing) return false;
    Relations rel(dict);
    rel.open(FileId::LsnLink);
    const auto links = dict.access<LsnLink>().all(LsnLink::NameKey);
    auto& progress = dict.progress();
    progress.start(QStringLiteral("Удаление групп одновременных уроков"));
    bool ok = true;
    int done = 0;
    for (const LsnLink& l : links) {
        if (progress.cancelled()) {
            ok = false;
            break;
        }
        // The relations take its members with it and clear its entries' codes.
        if (!rel.remove(l).ok()) {
            ok = false;
            break;
        }
        progress.setPercent(static_cast<int>(100 * ++done / std::max<size_t>(1, links.size())));
    }
    progress.finish();
    rel.close(FileId::LsnLink);
    return ok;
}

bool ClearallLinksInSchedule(Dictionary& dict) {
    WritingScope writing(dict);
    if (!writing) return false;
    Transaction tx(dict.store(), {FileId::Schedule});
    if (!tx.active()) {
        dict.errors().report(tx.error().msgNo, tx.error().args);
        return false;
    }
    auto sch = tx.access<Schedule>();
    std::vector<Schedule> linked;
    sch.forEach(Schedule::LinkCodeKey, Schedule{}, 0, [&](const Schedule& s) {
        if (s.LinkCode != 0) linked.push_back(s);
        return true;
    });
    for (Schedule s : linked) {
        s.LinkCode = 0;
        if (!fine(dict, sch.update(s))) return false;
    }
    return fine(dict, tx.commit());
}

bool AddToLinkList(Dictionary& dict, LsnLink& link, const Schedule& lesson) {
    if (lesson.rowId == 0 && lesson.GroupCode == 0) return false;
    WritingScope writing(dict);
    if (!writing) return false;
    const Group group = groupOf(dict, lesson.GroupCode);
    TrainingCourse itemKey;
    itemKey.TrainingCourseItemCode = lesson.TrainingCourseItemCode;
    const TrainingCourse item =
        dict.access<TrainingCourse>().fetch(TrainingCourse::ItemCodeKey, itemKey);
    const Short science = item.ScienceCode != 0 ? item.ScienceCode : lesson.ScienceCode;
    const QString subject = scienceOf(dict, science).Science;

    Transaction tx(dict.store(), {FileId::LsnLink, FileId::LsnLinkComp, FileId::Schedule});
    if (!tx.active()) {
        dict.errors().report(tx.error().msgNo, tx.error().args);
        return false;
    }
    auto links = tx.access<LsnLink>();
    LsnLink grown = link;
    if (grown.rowId == 0) {
        // A new link is stored with its first member.
        const LsnLink primed = links.prime();
        grown.LinkCode = primed.LinkCode;
    }
    // The dropped lesson's member first: when it is refused, nothing changes.
    auto comps = tx.access<LsnLinkComp>();
    LsnLinkComp first;
    first.LinkCode = grown.LinkCode;
    first.TrainingCourseItemCode = lesson.TrainingCourseItemCode;
    first.GroupCode = lesson.GroupCode;
    first.SubGroupNum = lesson.SubGroupNum;
    grown.LinkName = grownLinkName(grown.LinkName, subject,
                                   group.GroupId() + FormatSubGroup(dict.glo, lesson.SubGroupNum));
    // A duplicate member or name is refused with its message; the transaction then undoes all.
    if (!fine(dict, grown.rowId == 0 ? links.insert(grown) : links.update(grown))) return false;
    if (!fine(dict, comps.insert(first))) return false;

    // Every hour of that subject for that group and subgroup joins, a member per plan item.
    Schedule from;
    from.GroupCode = lesson.GroupCode;
    from.ScienceCode = science;
    from.SubGroupNum = lesson.SubGroupNum;
    auto sch = tx.access<Schedule>();
    std::set<Short> members{lesson.TrainingCourseItemCode}, refused;
    for (Schedule s : sch.read(Schedule::GroupScienceSubGrKey, from, 3)) {
        if (!members.count(s.TrainingCourseItemCode)) {
            if (refused.count(s.TrainingCourseItemCode)) continue;
            LsnLinkComp c = first;
            c.TrainingCourseItemCode = s.TrainingCourseItemCode;
            if (comps.exists(LsnLinkComp::LessonKey, c)) {
                refused.insert(s.TrainingCourseItemCode); // in another link: stays there
                continue;
            }
            if (!fine(dict, comps.insert(c))) return false;
            members.insert(s.TrainingCourseItemCode);
        }
        if (s.LinkCode == grown.LinkCode) continue;
        s.LinkCode = grown.LinkCode;
        if (!fine(dict, sch.update(s))) return false;
    }
    if (!fine(dict, tx.commit())) return false;
    link = dict.access<LsnLink>().fetch(LsnLink::CodeKey, grown);
    dict.glo.ScheduleRecord = Schedule{};
    return true;
}

bool SaveLink(Dictionary& dict, LsnLink& link) {
    Relations rel(dict);
    if (link.rowId != 0) return rel.update(link).ok();
    // Code 0 is "no link" in every entry: a link stored under it could never be found again.
    if (link.LinkCode == 0) link.LinkCode = dict.access<LsnLink>().prime().LinkCode;
    if (link.LinkCode == 0) return false; // the numbering failure was shown
    return rel.insert(link).ok();
}

bool RemoveLinkMember(Dictionary& dict, const LsnLinkComp& member) {
    WritingScope writing(dict);
    if (!writing) return false;
    Transaction tx(dict.store(), {FileId::LsnLinkComp, FileId::Schedule});
    if (!tx.active()) {
        dict.errors().report(tx.error().msgNo, tx.error().args);
        return false;
    }
    if (!fine(dict, tx.access<LsnLinkComp>().remove(member))) return false;
    // Its entries leave the link with it: a lesson whose member is gone would otherwise be
    // moved by the link without being part of it.
    Schedule from;
    from.TrainingCourseItemCode = member.TrainingCourseItemCode;
    from.GroupCode = member.GroupCode;
    from.SubGroupNum = member.SubGroupNum;
    auto sch = tx.access<Schedule>();
    for (Schedule s : sch.read(Schedule::ItemCode, from, 3)) {
        if (s.LinkCode != member.LinkCode) continue;
        s.LinkCode = 0;
        if (!fine(dict, sch.update(s))) return false;
    }
    return fine(dict, tx.commit());
}

QString memberText(Dictionary& dict, const LsnLinkComp& member) {
    TrainingCourse k;
    k.TrainingCourseItemCode = member.TrainingCourseItemCode;
    const TrainingCourse item = dict.access<TrainingCourse>().fetch(TrainingCourse::ItemCodeKey, k);
    return scienceOf(dict, item.ScienceCode).Science.trimmed() + QLatin1Char(' ') +
           groupOf(dict, member.GroupCode).GroupId() + QLatin1Char(' ') +
           FormatSubGroup(dict.glo, member.SubGroupNum);
}

QString entryText(Dictionary& dict, const Schedule& e) {
    Teacher t;
    t.TeacherCode = e.TeacherCode;
    Room r;
    r.RoomCode = e.RoomCode;
    Days d;
    d.DaySeqNumber = e.DaySeqNumber;
    QString week;
    if (dict.glo.WeeksInCycle > 1) {
        week = e.Week == 0 ? QStringLiteral("  ") : QStringLiteral("%1").arg(e.Week, 2);
        week += e.Week != 0 ? QStringLiteral("-я нед. ") : QString();
        if (e.isUnplaced()) week += QString(10, QLatin1Char(' '));
    }
    return dict.access<Teacher>().fetch(Teacher::TeacherCodeKey, t).TeacherName.trimmed() +
           QLatin1Char(' ') + dict.access<Room>().fetch(Room::CodeKey, r).RoomNo.trimmed() +
           QLatin1Char(' ') + week +
           dict.access<Days>().fetch(Days::SeqNumberKey, d).DayName.trimmed() + QLatin1Char(' ') +
           e.LessonNo;
}

} // namespace ombrel
