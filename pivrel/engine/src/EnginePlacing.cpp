// The engine's automatic placement: tasks, their order and the placing of one task after
// another (the reference path).

#include "pivrel/engine/Engine.h"

#include "EngineText.h"
#include "tamsel/Transaction.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

using namespace tamsel;

namespace pivrel {

using engine::n;

// ---------------------------------------------------------------- automatic placement

QString Engine::taskDescription(const TaskQueueEntry& t) {
    const Schedule& l = t.lesson;
    if (l.LinkCode > 0) return QStringLiteral("  ") + names::linkName(dict_, l.LinkCode);
    return QStringLiteral("  ") + names::teacherName(dict_, l.TeacherCode) + QLatin1Char(' ') +
           names::groupId(dict_, l.GroupCode) + FormatSubGroup(dict_.glo, l.SubGroupNum) +
           QLatin1Char(' ') + names::science(dict_, l.ScienceCode);
}

Schedule::Key TaskScopeKey(short kind, short code, Schedule& from, int& leading, int allLeading) {
    leading = 1;
    switch (kind) {
    case TaskKind::Teacher:
        from.TeacherCode = code;
        return Schedule::TeacherKey;
    case TaskKind::Group:
        from.GroupCode = code;
        return Schedule::GroupKey;
    case TaskKind::Science:
        from.ScienceCode = code;
        return Schedule::ScienceKey;
    default:
        leading = allLeading;
        return Schedule::WeekDayLessonKey;
    }
}

void Engine::PrepareTask(short Kind, short Code, RunHost& host) {
    auto& glo = dict_.glo;
    auto& tq = glo.TaskQueue;
    tq.clear();
    Short provisional = 0;
    auto sch = dict_.access<Schedule>();

    std::vector<Schedule> lessons;
    Schedule from;
    int leading = 0;
    const Schedule::Key key = TaskScopeKey(Kind, Code, from, leading, 0);
    sch.forEach(key, from, leading, [&](const Schedule& s) {
        if (s.isUnplaced()) {
            lessons.push_back(s);
            return true;
        }
        // A group's subgroups follow its whole-group lessons in this key, so its placed
        // lessons are stepped over rather than ending the reading.
        return Kind == TaskKind::Group;
    });

    // Entries end in link-code order, equal codes in arrival order. They are gathered in
    // arrival order and sorted once: inserting each in place moved the whole queue for
    // every lesson of a large school.
    std::vector<TaskQueueEntry> items;
    items.reserve(lessons.size());
    std::set<Short> linksRead;
    // An unlinked lesson joins the first earlier one of its subject, teacher, group,
    // subgroup and room: all of those share one provisional code.
    std::map<std::tuple<Short, Short, Short, Short, Long>, Short> provisionalOf;
    for (const Schedule& L : lessons) {
        if (L.LinkCode != 0) {
            if (!linksRead.contains(L.LinkCode)) {
                Schedule lf;
                lf.LinkCode = L.LinkCode;
                sch.forEach(Schedule::LinkCodeKey, lf, 1, [&](const Schedule& s) {
                    if (s.isUnplaced()) {
                        items.push_back(TaskQueueEntry{s, 0, 0, 0, 0});
                        linksRead.insert(L.LinkCode);
                    }
                    return true;
                });
            }
        } else {
            const auto [it, fresh] = provisionalOf.try_emplace(
                std::tuple{L.ScienceCode, L.TeacherCode, L.GroupCode, L.SubGroupNum, L.RoomCode},
                Short(0));
            if (fresh) it->second = --provisional;
            TaskQueueEntry e{L, 0, 0, 0, 0};
            e.lesson.LinkCode = it->second;
            items.push_back(std::move(e));
        }
        host.yield();
        if (stopped()) {
            items.clear();
            break;
        }
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const TaskQueueEntry& a, const TaskQueueEntry& b) {
                         return a.lesson.LinkCode < b.lesson.LinkCode;
                     });
    tq.items = std::move(items);
    queues::CountSuchLessons(tq);
    if (DebugProcEnabled(dict_, QStringLiteral("PrepareTask")))
        displayQueues(QStringLiteral("PrepareTask"), QStringLiteral("PrepareTask"));
    host.addLine(
        QStringLiteral("    Запланировано для расстановки %1 уроков.").arg(tq.items.size()));
}

bool Engine::selectNextTask(RunHost& host, int* n) {
    auto& tq = dict_.glo.TaskQueue;
    queues::sortByFreedom(tq);
    tq.pointer = -1;
    for (size_t i = 0; i < tq.items.size(); ++i)
        if (tq.items[i].NumberOfVariants > 0) {
            tq.pointer = static_cast<int>(i);
            break;
        }
    if (tq.pointer < 0) return false;
    const TaskQueueEntry& t = tq.items[static_cast<size_t>(tq.pointer)];
    *n = std::min<int>(dict_.glo.WeeksInCycle, t.NumberOfSuchLessons);
    host.setProgressValue(progressMax_ - static_cast<int>(tq.items.size()));
    const QString line = QStringLiteral("  Размещаем ") + taskDescription(t).mid(2);
    host.addLine(line);
    log_.AddLog(line);
    return true;
}

bool Engine::SetTaskLesson(RunHost& host, int count) {
    auto& glo = dict_.glo;
    auto& tq = glo.TaskQueue;
    auto& vq = glo.VariantQueue;
    TaskQueueEntry T = tq.items[static_cast<size_t>(tq.pointer)];
    const Short K = T.lesson.LinkCode;

    queues::sortVariantsForChoice(vq);
    if (vq.items.empty()) return false;
    int vi = -1;
    for (size_t i = 0; i < vq.items.size(); ++i)
        if (vq.items[i].LinkCode == K) {
            vi = static_cast<int>(i);
            break;
        }
    if (vi < 0) {
        dict_.ui().tell(
            QStringLiteral("PlacingLessons.SetTaskLesson"),
            QStringLiteral("Нет вариантов в VariantQueue !|TaskQueue.NumberOfVariants = ") +
                n(T.NumberOfVariants) + QStringLiteral("|VQ:LinkCode = ") +
                n(vq.items.back().LinkCode) + QStringLiteral("|TaskQueue.LinkCode = ") + n(K));
        return false;
    }
    vq.pointer = vi;
    const VariantQueueEntry chosen = vq.items[static_cast<size_t>(vi)];
    const short M = chosen.MainEstimate, A = chosen.AdditionalEstimate;
    short week = chosen.Week;
    const short D = chosen.DaySeqNumber;
    const QString P = chosen.LessonNo;
    log_.AddLog(QString(), true);

    for (;;) {
        glo.ScheduleRecord = T.lesson;
        const long r = SetLessonTo(week, D, P, 0, true, 1);
        if (r < 0) {
            dict_.ui().tell(QStringLiteral("PlacingLessons.SetTaskLesson"),
                            QStringLiteral("Ошибка размещения урока|Week# = ") + n(week) +
                                QStringLiteral("|DaySeqNumber# = ") + n(D) +
                                QStringLiteral("|LessonNo\" = ") + P +
                                QStringLiteral("|RetVal# = ") + n(r));
            glo.ProcessingDisabled = 1;
            return false;
        }
        // A line only for lessons actually written to the cell.
        if (written_ > 0) {
            const QString line =
                texts::placedLine(K > 0, glo.WeeksInCycle, week, names::dayName(dict_, D), P);
            host.addLine(line);
            log_.AddLog(line);
        }
        if (--count <= 0) return true;
        const int ti = queues::findTask(tq, K);
        if (ti < 0) return true;
        T = tq.items[static_cast<size_t>(ti)];
        queues::sortVariantsForChoice(vq);
        int next = -1;
        for (size_t i = 0; i < vq.items.size(); ++i) {
            const VariantQueueEntry& v = vq.items[i];
            if (v.LinkCode == K && v.DaySeqNumber == D && v.LessonNo == P && v.MainEstimate <= M &&
                v.AdditionalEstimate <= A) {
                next = static_cast<int>(i);
                break;
            }
        }
        if (next < 0) return true;
        vq.pointer = next;
        week = vq.items[static_cast<size_t>(next)].Week;
    }
}

void Engine::PlacingLessons(RunHost& host) {
    auto& glo = dict_.glo;
    progressMax_ = static_cast<int>(glo.TaskQueue.items.size());
    host.setProgressRange(progressMax_);
    log_.OpenLog();
    for (;;) {
        int n = 0;
        if (!selectNextTask(host, &n)) break;
        host.yield();
        if (stopped()) break;
        if (!SetTaskLesson(host, n)) break;
        host.yield();
        if (stopped()) break;
    }
    glo.ProcessingDisabled = 1;
    const QString done = QStringLiteral("АВТОМАТИЧЕСКАЯ РАССТАНОВКА УРОКОВ ЗАКОНЧЕНА");
    host.addLine(done);
    log_.AddLog(done);
    log_.close();
}

} // namespace pivrel

namespace pivrel {

int Engine::CompletePartlyPlacedLinks(short Kind, short Code, RunHost& host) {
    auto& glo = dict_.glo;
    auto sch = dict_.access<Schedule>();
    auto inTask = [&](const Schedule& s) {
        switch (Kind) {
        case TaskKind::Teacher:
            return s.TeacherCode == Code;
        case TaskKind::Group:
            return s.GroupCode == Code;
        case TaskKind::Science:
            return s.ScienceCode == Code;
        default:
            return true;
        }
    };
    int placed = 0;
    bool announced = false;
    for (const LsnLink& link : dict_.access<LsnLink>().all(LsnLink::CodeKey)) {
        LsnLinkComp cf;
        cf.LinkCode = link.LinkCode;
        const auto comps = dict_.access<LsnLinkComp>().read(LsnLinkComp::LinkCodeKey, cf, 1);
        if (comps.size() < 2) continue;
        // The link's placed lessons by cell.
        Schedule lf;
        lf.LinkCode = link.LinkCode;
        struct Sitting {
            Cell cell;
            std::vector<Schedule> lessons;
        };
        std::vector<Sitting> sittings;
        for (const Schedule& s : sch.read(Schedule::LinkCodeKey, lf, 1)) {
            if (s.isUnplaced()) continue;
            auto it = std::find_if(sittings.begin(), sittings.end(), [&](const Sitting& x) {
                return x.cell.week == s.Week && x.cell.day == s.DaySeqNumber &&
                       x.cell.lessonNo == s.LessonNo;
            });
            if (it == sittings.end()) {
                sittings.push_back({Cell{s.Week, s.DaySeqNumber, s.LessonNo}, {}});
                it = std::prev(sittings.end());
            }
            it->lessons.push_back(s);
        }
        for (const Sitting& sitting : sittings) {
            for (const LsnLinkComp& m : comps) {
                const bool present = std::any_of(
                    sitting.lessons.begin(), sitting.lessons.end(), [&](const Schedule& s) {
                        return s.TrainingCourseItemCode == m.TrainingCourseItemCode &&
                               s.GroupCode == m.GroupCode && s.SubGroupNum == m.SubGroupNum;
                    });
                if (present) continue;
                // The member's first unplaced lesson of the link, as the link gathers it.
                Schedule pos;
                pos.TrainingCourseItemCode = m.TrainingCourseItemCode;
                pos.GroupCode = m.GroupCode;
                pos.SubGroupNum = m.SubGroupNum;
                Schedule missing;
                sch.forEach(Schedule::ItemCode, pos, 6, [&](const Schedule& s) {
                    if (s.LinkCode != link.LinkCode) return true;
                    missing = s;
                    return false;
                });
                if (missing.rowId == 0 || !inTask(missing)) continue;
                // A lecture sits in the room of its other lessons; other links choose a room.
                auto& q = glo.LinkedLessonsQueue;
                q.clear();
                q.items.push_back({missing, missing});
                const bool lecture = link.IsLecture != 0;
                const long r =
                    checkLessons(sitting.cell.week, sitting.cell.day, sitting.cell.lessonNo,
                                 lecture ? sitting.lessons.front().RoomCode : 0, !lecture, 1, true,
                                 false);
                const Schedule target = q.items.front().N;
                q.clear();
                if (r < 0) continue;
                Transaction tx(dict_.store(), {FileId::Schedule});
                Outcome o = tx.active() ? tx.access<Schedule>().update(target) : tx.error();
                if (o.ok()) o = tx.commit();
                if (!o.ok()) {
                    dict_.errors().report(o.msgNo, o.args);
                    return placed;
                }
                ++placed;
                if (!announced) {
                    announced = true;
                    host.addLine(QStringLiteral("Достраиваем частично расставленные связи уроков"));
                }
                host.addLine(QStringLiteral("  ") + link.LinkName.trimmed());
                host.addLine(texts::placedLine(true, glo.WeeksInCycle, sitting.cell.week,
                                               names::dayName(dict_, sitting.cell.day),
                                               sitting.cell.lessonNo));
            }
        }
    }
    return placed;
}

} // namespace pivrel
