// The engine's automatic placement: tasks, their order and the placing of one task after
// another (the reference path).

#include "pivrel/engine/Engine.h"

#include "EngineText.h"

#include <map>

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

void Engine::PrepareTask(short Kind, short Code, RunHost& host) {
    auto& glo = dict_.glo;
    auto& tq = glo.TaskQueue;
    tq.clear();
    Short provisional = 0;
    auto sch = dict_.access<Schedule>();

    std::vector<Schedule> lessons;
    Schedule from;
    Schedule::Key key = Schedule::WeekDayLessonKey;
    int leading = 0;
    switch (Kind) {
    case TaskKind::Teacher:
        key = Schedule::TeacherKey;
        from.TeacherCode = Code;
        leading = 1;
        break;
    case TaskKind::Group:
        key = Schedule::GroupKey;
        from.GroupCode = Code;
        leading = 1;
        break;
    case TaskKind::Science:
        key = Schedule::ScienceKey;
        from.ScienceCode = Code;
        leading = 1;
        break;
    default:
        break;
    }
    sch.forEach(key, from, leading, [&](const Schedule& s) {
        if (s.isUnplaced()) {
            lessons.push_back(s);
            return true;
        }
        // A group's subgroups follow its whole-group lessons in this key, so its placed
        // lessons are stepped over rather than ending the reading.
        return Kind == TaskKind::Group;
    });

    // Entries are kept in link-code order as they are added (equal codes in arrival order).
    auto insert = [&](const TaskQueueEntry& e) {
        auto pos = std::upper_bound(tq.items.begin(), tq.items.end(), e,
                                    [](const TaskQueueEntry& a, const TaskQueueEntry& b) {
                                        return a.lesson.LinkCode < b.lesson.LinkCode;
                                    });
        tq.items.insert(pos, e);
    };
    for (const Schedule& L : lessons) {
        if (L.LinkCode != 0) {
            if (queues::findTask(tq, L.LinkCode) < 0) {
                Schedule lf;
                lf.LinkCode = L.LinkCode;
                sch.forEach(Schedule::LinkCodeKey, lf, 1, [&](const Schedule& s) {
                    if (s.isUnplaced()) insert(TaskQueueEntry{s, 0, 0, 0, 0});
                    return true;
                });
            }
        } else {
            Short code = 0;
            for (const TaskQueueEntry& t : tq.items) {
                if (t.lesson.LinkCode > 0) break;
                const Schedule& x = t.lesson;
                if (x.ScienceCode == L.ScienceCode && x.TeacherCode == L.TeacherCode &&
                    x.GroupCode == L.GroupCode && x.SubGroupNum == L.SubGroupNum &&
                    x.RoomCode == L.RoomCode) {
                    code = x.LinkCode;
                    break;
                }
            }
            TaskQueueEntry e{L, 0, 0, 0, 0};
            e.lesson.LinkCode = code != 0 ? code : --provisional;
            insert(e);
        }
        host.yield();
        if (stopped()) {
            tq.clear();
            break;
        }
    }
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
