#include "ombrel/ScheduleUpdate.h"

#include "tamsel/Transaction.h"
#include "tamsel/WritingLock.h"

#include <optional>

using namespace tamsel;

namespace ombrel {

namespace {

QString n(int v) {
    return QString::number(v);
}

/// Every (group, subgroup) the item concerns, in group stream key order, subgroups ascending.
std::vector<std::pair<Group, Short>> groupsOf(Dictionary& dict, const TrainingCourse& item) {
    Science sk;
    sk.ScienceCode = item.ScienceCode;
    const Science science = dict.access<Science>().fetch(Science::ScienceCodeKey, sk);
    SubGroupType tk;
    tk.SgrpTypCode = science.SgrpTypCode;
    const int subgroups =
        dict.access<SubGroupType>().fetch(SubGroupType::SgrpTypCdKey, tk).NumbOfSubGroups;
    Group from;
    from.Course = item.Course;
    from.StreamCode = item.StreamCode;
    std::vector<std::pair<Group, Short>> out;
    for (const Group& g : dict.access<Group>().read(Group::StreamKey, from, 2)) {
        if (subgroups == 0)
            out.push_back({g, 0});
        else
            for (int s = 1; s <= subgroups; ++s)
                out.push_back({g, static_cast<Short>(s)});
    }
    return out;
}

Schedule position(const TrainingCourse& item, const Group& g, Short subgroup) {
    Schedule from;
    from.TrainingCourseItemCode = item.TrainingCourseItemCode;
    from.GroupCode = g.GroupCode;
    from.SubGroupNum = subgroup;
    return from;
}

EntryCounts count(const std::vector<Schedule>& entries) {
    EntryCounts c;
    for (const Schedule& s : entries) {
        const bool taken = isTaken(s);
        if (s.CoupledLesson == 0)
            ++(taken ? c.takenSingle : c.freeSingle);
        else
            ++(taken ? c.takenPaired : c.freePaired);
    }
    return c;
}

} // namespace

bool isTaken(const Schedule& s) {
    return s.Week != 0 || s.DaySeqNumber != 0 || !s.LessonNo.trimmed().isEmpty() ||
           s.TeacherCode != 0;
}

QString groupLabel(const Globals& glo, const Group& group, Short subgroup) {
    return group.Course.trimmed() + QLatin1Char('-') + group.Literal.trimmed() +
           FormatSubGroup(glo, subgroup);
}

ScheduleUpdate UpdateScheduleEntries(Dictionary& dict, const TrainingCourse& stored,
                                     Short ScienceCode, Short SingleHours, Short CoupledHours) {
    ScheduleUpdate out;
    auto& msgs = out.messages;

    // Step 1: the analysis. Nothing is written.
    if (ScienceCode == 0)
        dict.ui().tell(QStringLiteral("UpdateSchedule.AnalizeNewData"),
                       QStringLiteral("Это добавление пункта к плану. Мы сюда не должны никогда "
                                      "попадать!"));
    out.status = QStringLiteral("Анализ возможности внесения изменений");
    if (ScienceCode != stored.ScienceCode) {
        msgs << QStringLiteral(
            "В текущей версси при редактировании нельзя изменять название предмета.");
        return out;
    }
    dict.ui().setBusy(true);
    const auto groups = groupsOf(dict, stored);
    auto sch = dict.access<Schedule>();
    for (const auto& [g, sub] : groups) {
        const EntryCounts c = count(sch.read(Schedule::ItemCode, position(stored, g, sub), 3));
        const QString label = groupLabel(dict.glo, g, sub);
        if (SingleHours < c.takenSingle)
            msgs << QStringLiteral("В группе ") + label + QStringLiteral(" планируется ") +
                        n(SingleHours) +
                        QStringLiteral(" одиночных часов, в то время, как у нее уже размещено ") +
                        n(c.takenSingle) +
                        QStringLiteral(" одиночных часов. Сначала нужно снять лишние размещенные "
                                       "часы.");
        if (CoupledHours < c.takenPaired)
            msgs << QStringLiteral("В группе ") + label + QStringLiteral(" планируется ") +
                        n(CoupledHours) +
                        QStringLiteral(" спаренных часов, в то время, как у нее уже размещено ") +
                        n(c.takenPaired) +
                        QStringLiteral(" спаренных часов. Сначала нужно снять лишние размещенные "
                                       "часы.");
    }
    dict.ui().setBusy(false);
    if (!msgs.isEmpty()) return out;

    // Step 2: the correction, all of it or nothing.
    out.status = QStringLiteral("Корректировка расписания");
    WritingScope writing(dict);
    if (!writing) {
        msgs << QStringLiteral("Расписание сейчас изменяет другая программа; план не изменен.");
        return out;
    }
    // The plan item is written in the same transaction: a refused write of it leaves its entries
    // as they were, so the plan and its entries never disagree.
    Transaction tx(dict.store(), {FileId::Schedule, FileId::TrainingCourse, FileId::LsnLinkComp});
    if (!tx.active()) {
        dict.errors().report(tx.error().msgNo, tx.error().args);
        msgs << ErrorReporter::text(tx.error().msgNo, tx.error().args);
        return out;
    }
    dict.ui().setBusy(true);
    auto entries = tx.access<Schedule>();
    auto members = tx.access<LsnLinkComp>();
    // Adds one free entry; false (after the message box) when it could not be stored. A kind
    // that is in a link keeps all its lessons there: the new one takes the link's code.
    auto add = [&](const Group& g, Short sub, Byte coupled) {
        LsnLinkComp member;
        member.TrainingCourseItemCode = stored.TrainingCourseItemCode;
        member.GroupCode = g.GroupCode;
        member.SubGroupNum = sub;
        bool linked = false;
        member = members.fetch(LsnLinkComp::LessonKey, member, &linked);
        Schedule e = entries.prime();
        e.LinkCode = linked ? member.LinkCode : Short(0);
        e.TrainingCourseItemCode = stored.TrainingCourseItemCode;
        e.ScienceCode = stored.ScienceCode;
        e.GroupCode = g.GroupCode;
        e.SubGroupNum = sub;
        e.CoupledLesson = coupled;
        const Outcome o = entries.insert(e);
        if (!o.ok()) {
            dict.ui().tell(QString(),
                           QStringLiteral("Access:Schedule.Insert() = ") + n(o.fileError));
            return false;
        }
        return true;
    };
    for (const auto& [g, sub] : groups) {
        const Schedule from = position(stored, g, sub);
        const QString label = groupLabel(dict.glo, g, sub);
        EntryCounts c = count(entries.read(Schedule::ItemCode, from, 3));

        // Single hours.
        if (SingleHours < c.takenSingle + c.freeSingle) {
            for (const Schedule& s : entries.read(Schedule::ItemCode, from, 3)) {
                if (SingleHours >= c.takenSingle + c.freeSingle) break;
                if (isTaken(s) || s.CoupledLesson != 0) continue;
                if (entries.remove(s).ok()) --c.freeSingle;
            }
            if (SingleHours < c.takenSingle + c.freeSingle)
                msgs << QStringLiteral("Не удалось удалить надлежащее количество одиночных уроков "
                                       "в группе ") +
                            label;
        } else if (SingleHours > c.takenSingle + c.freeSingle) {
            while (c.takenSingle + c.freeSingle < SingleHours && add(g, sub, 0))
                ++c.freeSingle;
            if (c.takenSingle + c.freeSingle < SingleHours)
                msgs << QStringLiteral("Не удалось добавить надлежащее количество одиночных уроков "
                                       "в группе ") +
                            label;
        }

        // Paired hours: deleted by alternate halves, added by whole pairs.
        const auto pairedMessages = [&](const QString& after) {
            if ((c.takenPaired + c.freePaired) % 2 != 0)
                msgs << QStringLiteral("После ") + after +
                            QStringLiteral(" оказалось нечетное количество часов в спаренных "
                                           "уроках в группе ") +
                            label;
            if (c.takenPaired % 2 != 0)
                msgs << QStringLiteral("Обнаружено нечетное количество часов в распределенных "
                                       "спаренных уроках в группе ") +
                            label;
        };
        if (CoupledHours < c.takenPaired + c.freePaired) {
            Byte half = 1;
            while (CoupledHours < c.takenPaired + c.freePaired) {
                std::optional<Schedule> due;
                entries.forEach(Schedule::ItemCode, from, 3, [&](const Schedule& s) {
                    if (isTaken(s) || s.CoupledLesson != half) return true;
                    due = s;
                    return false;
                });
                if (!due || !entries.remove(*due).ok()) break;
                --c.freePaired;
                half = half == 1 ? 2 : 1;
            }
            if (CoupledHours < c.takenPaired + c.freePaired)
                msgs << QStringLiteral("Не удалось удалить надлежащее количество спаренных уроков "
                                       "в группе ") +
                            label;
            pairedMessages(QStringLiteral("удаления"));
        } else if (CoupledHours > c.takenPaired + c.freePaired) {
            while (c.takenPaired + c.freePaired < CoupledHours) {
                if (!add(g, sub, 1)) break;
                ++c.freePaired;
                if (!add(g, sub, 2)) break;
                ++c.freePaired;
            }
            if (c.takenPaired + c.freePaired < CoupledHours)
                msgs << QStringLiteral("Не удалось добавить надлежащее количество спаренных уроков "
                                       "в группе ") +
                            label;
            pairedMessages(QStringLiteral("добавления"));
        }
    }
    dict.ui().setBusy(false);
    if (!msgs.isEmpty()) return out; // the transaction rolls back: nothing changed
    TrainingCourse changed = stored;
    changed.SingleHours = SingleHours;
    changed.CoupledHours = CoupledHours;
    if (const Outcome o = tx.access<TrainingCourse>().update(changed); !o.ok()) {
        dict.errors().report(o.msgNo, o.args);
        msgs << ErrorReporter::text(o.msgNo, o.args);
        return out;
    }
    if (const Outcome o = tx.commit(); !o.ok()) {
        dict.errors().report(o.msgNo, o.args);
        msgs << ErrorReporter::text(o.msgNo, o.args);
        return out;
    }
    out.result = 0;
    return out;
}

} // namespace ombrel
