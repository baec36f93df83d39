// The engine's estimates of a placement's quality, by which variants are chosen.

#include "pivrel/engine/Engine.h"

#include "EngineText.h"

#include <map>

using namespace tamsel;

namespace pivrel {

using engine::n;

// ---------------------------------------------------------------- estimation

short Engine::EstimateVariant(short Week, short DaySeqNumber, const QString& LessonNo, short mode) {
    if (DebugProcEnabled(dict_, QStringLiteral("EstimateVariant_LLQ_i")))
        displayQueues(QStringLiteral("EstimateVariant_LLQ_i"),
                      QStringLiteral("EstimateVariant_LLQ_i"));
    // The same check as every placement: a lesson without a free listed room refuses the cell.
    const short out = static_cast<short>(
        checkLessons(Week, DaySeqNumber, LessonNo, 0, true, mode, true, true));
    tellIf(QStringLiteral("EstimateVariant_E"), QStringLiteral("EstimateVariant"),
           QStringLiteral("Week = ") + n(Week) + QStringLiteral("|DaySeqNumber = ") +
               n(DaySeqNumber) + QStringLiteral("|LessonNo = ") + LessonNo +
               QStringLiteral("|Result = ") + n(out));
    if (DebugProcEnabled(dict_, QStringLiteral("EstimateVariant_LLQ")))
        displayQueues(QStringLiteral("EstimateVariant_LLQ"), QStringLiteral("EstimateVariant"));
    return out;
}

short Engine::EstimateDayLoad(short Week, short DaySeqNumber, const QString&) {
    const auto& q = dict_.glo.LinkedLessonsQueue;
    auto sci = dict_.access<Science>();
    auto cycles = dict_.access<ScienceCycle>();
    auto cycleOf = [&](short science) {
        Science k;
        k.ScienceCode = science;
        return sci.fetch(Science::ScienceCodeKey, k).CycleCode;
    };
    short R = 0;
    for (const LinkedLessonsEntry& e : q.items) {
        const Schedule& L = e.O;
        const Short Y = cycleOf(L.ScienceCode);
        ScienceCycle ck;
        ck.CycleCode = Y;
        const int max = cycles.fetch(ScienceCycle::CycleCodeKey, ck).LessonsPerDayMax;
        int count = 0;
        Schedule from;
        from.GroupCode = L.GroupCode;
        from.Week = Week;
        from.DaySeqNumber = DaySeqNumber;
        const auto day = dict_.access<Schedule>().read(Schedule::GroupDayLessGrKey, from, 3);
        for (const Schedule& X : day) {
            if (X.ScienceCode == L.ScienceCode &&
                (L.SubGroupNum == 0 || X.SubGroupNum == 0 || X.SubGroupNum == L.SubGroupNum))
                return 2;
            if (cycleOf(X.ScienceCode) != Y) continue;
            if (L.SubGroupNum != 0 && X.SubGroupNum != 0 && X.SubGroupNum != L.SubGroupNum)
                continue;
            if (++count > max) R = 1;
        }
    }
    return R;
}

int Engine::EvaluateSituation(RunHost& host) {
    auto& glo = dict_.glo;
    auto& tq = glo.TaskQueue;
    auto& vq = glo.VariantQueue;
    vq.clear();
    host.setProgressRange(static_cast<int>(tq.items.size()));
    const std::vector<Cell> all = cells();
    int notPlaceable = 0;
    size_t i = 0;
    while (i < tq.items.size()) {
        size_t end = i + 1;
        while (end < tq.items.size() &&
               tq.items[end].lesson.LinkCode == tq.items[i].lesson.LinkCode)
            ++end;
        const TaskQueueEntry first = tq.items[i];
        const Short K = first.lesson.LinkCode;
        int count = 0;
        size_t c = 0;
        while (c < all.size()) {
            const Cell& C = all[c];
            glo.ScheduleRecord = first.lesson;
            BuildLinkLesQue();
            const short e = EstimateVariant(C.week, C.day, C.lessonNo, 1);
            if (e >= 0) {
                VariantQueueEntry v;
                v.LinkCode = K;
                v.Week = C.week;
                v.DaySeqNumber = C.day;
                v.LessonNo = C.lessonNo;
                v.MainEstimate = EstimateDayLoad(C.week, C.day, C.lessonNo);
                v.AdditionalEstimate = e;
                vq.items.push_back(v);
                ++count;
                host.yield();
                if (stopped()) {
                    // The remaining lesson numbers of this day are skipped.
                    while (c + 1 < all.size() && all[c + 1].week == C.week &&
                           all[c + 1].day == C.day)
                        ++c;
                }
            }
            ++c;
        }
        host.addLine(taskDescription(first));
        host.addLine(texts::lessonsAndVariants(first.NumberOfSuchLessons, count));
        if (count < first.NumberOfSuchLessons) {
            host.addLine(texts::cannotPlaceAll());
            ++notPlaceable;
        }
        for (size_t k = i; k < end; ++k) {
            tq.items[k].NumberOfVariants = static_cast<Short>(count);
            tq.items[k].Freedom = static_cast<Short>(count - tq.items[k].NumberOfSuchLessons);
        }
        if (DebugProcEnabled(dict_, QStringLiteral("EvaluateSituation_TQ")))
            displayQueues(QStringLiteral("EvaluateSituation_TQ"),
                          QStringLiteral("EvaluateSituation"));
        i = end;
        host.setProgressValue(static_cast<int>(i));
        host.yield();
        if (stopped()) break;
    }
    queues::sortVariants(vq);
    queues::sortByFreedom(tq);
    if (notPlaceable > 0 && !stopped()) {
        const Button b = dict_.ui().ask(QStringLiteral("Обнаружены нерасставляемые уроки"),
                                        texts::question(notPlaceable), Yes | No, No);
        if (b != Yes) {
            glo.ProcessingDisabled = 1;
            declined_ = true;
        }
    }
    return notPlaceable;
}

void Engine::ReEvaluateSituation() {
    auto& glo = dict_.glo;
    auto& tq = glo.TaskQueue;
    auto& vq = glo.VariantQueue;
    const auto placed = glo.LinkedLessonsQueue.items;
    const Cell C = placedCell_;

    // 1. The placed lessons leave the task list; a finished kind takes its variants along.
    for (const LinkedLessonsEntry& e : placed) {
        const Schedule& o = e.O;
        for (size_t i = 0; i < tq.items.size(); ++i) {
            const Schedule& t = tq.items[i].lesson;
            if (t.ScienceCode == o.ScienceCode && t.TeacherCode == o.TeacherCode &&
                t.GroupCode == o.GroupCode && t.SubGroupNum == o.SubGroupNum &&
                t.TrainingCourseItemCode == o.TrainingCourseItemCode &&
                t.CoupledLesson == o.CoupledLesson && t.LinkCode == o.LinkCode) {
                if (tq.items[i].NumberOfSuchLessons == 1) {
                    const Short k = t.LinkCode;
                    std::erase_if(vq.items,
                                  [k](const VariantQueueEntry& v) { return v.LinkCode == k; });
                }
                tq.items.erase(tq.items.begin() + static_cast<long>(i));
                break;
            }
        }
    }
    // 2. Kinds recounted.
    queues::CountSuchLessons(tq);
    for (auto& t : tq.items)
        t.Freedom = static_cast<Short>(t.NumberOfVariants - t.NumberOfSuchLessons);

    // 3. The placed cell is re-tested for every task.
    for (size_t i = 0; i < vq.items.size();) {
        const VariantQueueEntry v = vq.items[i];
        if (!(v.Week == C.week && v.DaySeqNumber == C.day && v.LessonNo == C.lessonNo)) {
            ++i;
            continue;
        }
        const int ti = queues::findTask(tq, v.LinkCode);
        if (ti < 0) {
            dict_.ui().tell(QStringLiteral("ReEvaluateSituation"),
                            QStringLiteral("Сюда мы тоже не должны попадать - "
                                           "Get(TaskQueue,TaskQueue.LinkCode)|ErrorCode() = 30"
                                           "|Error() = Запись не найдена|TaskQueue.LinkCode = ") +
                                n(v.LinkCode) + QStringLiteral("|VQ:LinkCode = ") + n(v.LinkCode));
            vq.items.erase(vq.items.begin() + static_cast<long>(i));
            log_.close();
            dict_.stopPrompt(QStringLiteral("ReEvaluateSituation"));
            continue;
        }
        glo.ScheduleRecord = tq.items[static_cast<size_t>(ti)].lesson;
        BuildLinkLesQue();
        if (EstimateVariant(C.week, C.day, C.lessonNo, 2) < 0)
            vq.items.erase(vq.items.begin() + static_cast<long>(i));
        else
            ++i;
    }
    // 4. The placed day is re-graded, once per task.
    std::map<Short, short> DayEstimateCache;
    for (auto& v : vq.items) {
        if (v.Week != C.week || v.DaySeqNumber != C.day) continue;
        auto it = DayEstimateCache.find(v.LinkCode);
        if (it == DayEstimateCache.end()) {
            const int ti = queues::findTask(tq, v.LinkCode);
            if (ti < 0) continue; // no lessons left to grade it by: the estimate stays
            glo.ScheduleRecord = tq.items[static_cast<size_t>(ti)].lesson;
            BuildLinkLesQue();
            it = DayEstimateCache.emplace(v.LinkCode, EstimateDayLoad(C.week, C.day, C.lessonNo))
                     .first;
        }
        v.MainEstimate = it->second;
    }
    // 5. Variants recounted (UpdateTaskQueue).
    for (auto& t : tq.items) {
        t.NumberOfVariants = 0;
        t.Freedom = static_cast<Short>(-t.NumberOfSuchLessons);
    }
    queues::sortVariants(vq);
    std::map<Short, int> counts;
    for (const auto& v : vq.items)
        ++counts[v.LinkCode];
    for (auto& t : tq.items) {
        auto it = counts.find(t.lesson.LinkCode);
        if (it == counts.end()) continue;
        t.NumberOfVariants = static_cast<Short>(it->second);
        t.Freedom = static_cast<Short>(it->second - t.NumberOfSuchLessons);
    }
    if (DebugProcEnabled(dict_, QStringLiteral("ReEvaluateSituation")))
        displayQueues(QStringLiteral("ReEvaluateSituation"), QStringLiteral("ReEvaluateSituation"));
}

void Engine::ProcessNewLessonSelection(short GoTo, const Schedule& selected) {
    auto& glo = dict_.glo;
    if (glo.GoToSelectedObject && GoTo) {
        glo.ScheduleRecord = selected;
        if (glo.ScheduleRecord.LinkCode == 0) glo.ScheduleRecord.LinkCode = -1;
        if (hooks_.postToFrame) hooks_.postToFrame(1025);
    }
    if (!glo.ShowLessonRestrictions) return;
    const Schedule saved = glo.ScheduleRecord;
    glo.VariantQueue.clear();
    dict_.ui().setBusy(true);
    for (const Cell& C : cells()) {
        glo.ScheduleRecord = selected;
        if (glo.ScheduleRecord.LinkCode == 0) glo.ScheduleRecord.LinkCode = -1;
        BuildLinkLesQue();
        const short dd = EstimateVariant(C.week, C.day, C.lessonNo, 1);
        if (dd < 0) continue;
        VariantQueueEntry v;
        v.LinkCode = glo.ScheduleRecord.LinkCode;
        v.Week = C.week;
        v.DaySeqNumber = C.day;
        v.LessonNo = C.lessonNo;
        v.MainEstimate = EstimateDayLoad(C.week, C.day, C.lessonNo);
        v.AdditionalEstimate = dd;
        glo.VariantQueue.items.push_back(v);
    }
    queues::sortVariants(glo.VariantQueue);
    glo.ScheduleRecord = saved;
    dict_.ui().setBusy(false);
}

} // namespace pivrel
