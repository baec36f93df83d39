// The fast path's placing phase: one task after another, each placement written at once.

#include "FastModel.h"

using namespace tamsel;

namespace pivrel {

void FastPlacement::PlacingLessons(RunHost& host) {
    Model& m = *m_;
    auto& glo = dict_.glo;
    const int progressMax = m.entries;
    host.setProgressRange(progressMax);
    log_.OpenLog();
    const bool logging = Globals::loggingEnabled(dict_.settings());
    m.tx = std::make_unique<Transaction>(dict_.store(), std::vector<FileId>{FileId::Schedule});
    if (!m.tx->active()) {
        dict_.errors().report(m.tx->error().msgNo, m.tx->error().args);
        m.writeFailed = true;
    }
    auto commit = [&] {
        if (!m.tx || !m.tx->active()) return;
        const Outcome o = m.tx->commit();
        m.tx.reset();
        m.uncommitted = 0;
        if (!o.ok()) {
            dict_.errors().report(o.msgNo, o.args);
            m.writeFailed = true;
        }
    };
    auto stopped = [&] { return glo.ProcessingDisabled.load() == 1; };

    std::vector<LL> q, q2;

    // SetLessonTo(week, day, lesson, 0, AutoRoom, AutoMode) for the entry `T` of task `ti`.
    auto setLessonTo = [&](int ti, const Schedule& T, int c) -> long {
        m.build(T, q);
        const long r = m.check(q, c);
        if (r < 0) return r;
        if (m.writeFailed) return Refusal::WriteFailed;
        const Short w = m.weekOf(c);
        const Short d = m.days[size_t(m.dayIdxOf(c))];
        const QString& l = m.lessons[size_t(m.lessonIdxOf(c))];
        // Find every stored lesson first, so that a failed write leaves the model as stored.
        std::vector<int> targets;
        for (const LL& e : q)
            targets.push_back(m.findUnplaced(e.O, targets));
        auto sch = m.tx->access<Schedule>();
        m.written = 0;
        // The lessons of one placement are written together or not at all: a link never
        // ends half placed when the batch around it is committed. One lesson is one statement,
        // atomic by itself; a savepoint would copy every page it changes once more.
        const bool several =
            std::count_if(targets.begin(), targets.end(), [](int x) { return x >= 0; }) > 1;
        if (const Outcome o = several ? m.tx->savepoint() : Outcome::success(); !o.ok()) {
            dict_.errors().report(o.msgNo, o.args);
            m.writeFailed = true;
            return Refusal::WriteFailed;
        }
        for (size_t k = 0; k < q.size(); ++k) {
            if (targets[k] < 0) continue;
            ++m.written;
            Schedule s = m.recs[size_t(targets[k])];
            s.Week = w;
            s.DaySeqNumber = d;
            s.LessonNo = l;
            s.RoomCode = q[k].room;
            const Outcome o = sch.update(s);
            if (!o.ok()) {
                if (several) m.tx->rollbackToSavepoint();
                dict_.errors().report(o.msgNo, o.args);
                m.writeFailed = true;
                m.written = 0;
                return Refusal::WriteFailed;
            }
        }
        if (const Outcome o = several ? m.tx->releaseSavepoint() : Outcome::success(); !o.ok()) {
            dict_.errors().report(o.msgNo, o.args);
            m.writeFailed = true;
            return Refusal::WriteFailed;
        }
        for (size_t k = 0; k < q.size(); ++k) {
            if (targets[k] < 0) continue;
            Schedule& s = m.recs[size_t(targets[k])];
            s.Week = w;
            s.DaySeqNumber = d;
            s.LessonNo = l;
            s.RoomCode = q[k].room;
            m.occupy(s);
            m.placedByRun[size_t(targets[k])] = 1;
        }
        ++m.uncommitted;

        // ReEvaluateSituation
        // 1. The placed lessons leave their tasks; a finished kind takes the task's variants.
        std::vector<int> touched;
        for (const LL& e : q) {
            const Schedule& o = e.O;
            const auto ti2 = m.taskByLink.constFind(o.LinkCode);
            if (ti2 == m.taskByLink.constEnd()) continue;
            Task& t = m.tasks[size_t(*ti2)];
            // Kinds in the current order: count descending, then kind order.
            std::vector<Kind*> order;
            for (Kind& k : t.kinds)
                order.push_back(&k);
            std::stable_sort(order.begin(), order.end(),
                             [](const Kind* a, const Kind* b) { return a->nsl > b->nsl; });
            bool erased = false;
            for (Kind* k : order) {
                for (auto it = k->entries.begin(); it != k->entries.end(); ++it) {
                    const Schedule& x = *it;
                    if (sameEntry(x, o)) {
                        if (k->nsl == 1) m.clearVariants(t);
                        k->entries.erase(it);
                        --m.entries;
                        erased = true;
                        break;
                    }
                }
                if (erased) break;
            }
            if (erased) touched.push_back(*ti2);
        }
        // 2. Kinds recounted.
        for (int t : touched) {
            auto& kinds = m.tasks[size_t(t)].kinds;
            std::erase_if(kinds, [](const Kind& k) { return k.entries.empty(); });
            for (Kind& k : kinds)
                k.nsl = static_cast<int>(k.entries.size());
            m.tasks[size_t(t)].nslMax = m.tasks[size_t(t)].maxNsl();
        }
        // The touched tasks gather anew; the others gather what they did.
        for (int t : touched) {
            Task& task = m.tasks[size_t(t)];
            if (!task.evaluated) continue;
            if (const Schedule* first = task.firstByKind())
                m.build(*first, q2);
            else
                q2.clear();
            m.setGathering(task, q2);
        }
        m.markPlaced(q);
        // 3. The placed cell re-tested for every task that had it. A task whose gathering
        //    uses nothing the placement used, and was checked here with that gathering
        //    already, would get the same answer: it is skipped.
        //    A variant once gone never comes back, so a cell's list drops the tasks that lost
        //    it, in the same pass (the list is only a superset of the tasks with the cell).
        auto& atCell = m.cellTasks[size_t(c)];
        size_t kept = 0;
        for (const int t2 : atCell) {
            Task& t = m.tasks[size_t(t2)];
            if (!t.v[size_t(c)].valid) continue;
            atCell[kept++] = t2;
            if (t.v[size_t(c)].checkedAt == t.version && !m.placementTouches(t)) continue;
            const Schedule* first = t.firstByKind();
            if (!first) {
                dict_.ui().tell(
                    QStringLiteral("ReEvaluateSituation"),
                    QStringLiteral("Сюда мы тоже не должны попадать - "
                                   "Get(TaskQueue,TaskQueue.LinkCode)|ErrorCode() = 30"
                                   "|Error() = Запись не найдена|TaskQueue.LinkCode = ") +
                        QString::number(t.link) + QStringLiteral("|VQ:LinkCode = ") +
                        QString::number(t.link));
                m.invalidate(t, c);
                log_.close();
                dict_.stopPrompt(QStringLiteral("ReEvaluateSituation"));
                continue;
            }
            if (m.check(t.q, c) < 0) m.invalidate(t, c);
            t.v[size_t(c)].checkedAt = t.version;
        }
        atCell.resize(kept);
        // 4. The placed day re-graded, once per task. The day's load changes only with the
        //    task's groups' lessons of the day or with its gathering; a task left without a
        //    variant in the day leaves the day's list.
        const int wd = c / m.nL;
        const int base = wd * m.nL;
        std::erase_if(m.dayTasks[size_t(wd)], [&](int t2) {
            Task& t = m.tasks[size_t(t2)];
            if (t.nv == 0) return true;
            if (t.gradedAt[size_t(wd)] == t.version && !m.placementTouchesGroups(t)) return false;
            bool any = false;
            for (int x = base; x < base + m.nL && !any; ++x)
                any = t.v[size_t(x)].valid;
            if (!any) return true;
            if (!t.firstByKind()) return false;
            const short est = m.dayLoad(t.q, base);
            for (int x = base; x < base + m.nL; ++x)
                if (t.v[size_t(x)].valid) t.v[size_t(x)].main = est;
            t.gradedAt[size_t(wd)] = t.version;
            return false;
        });
        m.variantOrder = VariantOrder::Insert;
        m.taskOrder = TaskOrder::LinkCode;
        (void)ti;
        return r;
    };

    for (;;) {
        // SelectNextTask
        int best = -1;
        int bestNsl = 0;
        for (int ti = 0; ti < static_cast<int>(m.tasks.size()); ++ti) {
            const Task& t = m.tasks[size_t(ti)];
            if (t.nv <= 0) continue;
            const int nsl = t.nslMax;
            if (nsl == 0) continue;
            if (best < 0) {
                best = ti;
                bestNsl = nsl;
                continue;
            }
            const Task& b = m.tasks[size_t(best)];
            const int f = t.nv - nsl, bf = b.nv - bestNsl;
            if (f < bf || (f == bf && (nsl > bestNsl || (nsl == bestNsl && t.link < b.link)))) {
                best = ti;
                bestNsl = nsl;
            }
        }
        m.taskOrder = TaskOrder::Freedom;
        if (best < 0) break;
        Task& task = m.tasks[size_t(best)];
        const Short K = task.link;
        Schedule T = task.firstByCount()->entries.front();
        int n = std::min<int>(glo.WeeksInCycle, bestNsl);
        host.setProgressValue(progressMax - m.entries);
        const QString line = QStringLiteral("  Размещаем ") + m.description(T);
        host.addLine(line);
        log_.AddLog(line);
        host.yield();
        if (stopped()) break;

        // SetTaskLesson
        m.variantOrder = VariantOrder::Choice;
        if (m.totalVariants == 0) break;
        int cbest = -1;
        for (int c = 0; c < m.nC; ++c) {
            const VCell& v = task.v[size_t(c)];
            if (!v.valid) continue;
            if (cbest < 0) {
                cbest = c;
                continue;
            }
            const VCell& b = task.v[size_t(cbest)];
            if (std::tie(v.main, v.add, m.choiceRank[size_t(c)]) <
                std::tie(b.main, b.add, m.choiceRank[size_t(cbest)]))
                cbest = c;
        }
        if (cbest < 0) {
            Short last = 0;
            for (const Task& t : m.tasks)
                if (t.nv > 0) last = std::max(last, t.link);
            dict_.ui().tell(
                QStringLiteral("PlacingLessons.SetTaskLesson"),
                QStringLiteral("Нет вариантов в VariantQueue !|TaskQueue.NumberOfVariants = ") +
                    QString::number(task.nv) + QStringLiteral("|VQ:LinkCode = ") +
                    QString::number(last) + QStringLiteral("|TaskQueue.LinkCode = ") +
                    QString::number(K));
            break;
        }
        const short M = task.v[size_t(cbest)].main, A = task.v[size_t(cbest)].add;
        if (logging) {
            long vPos = 1;
            for (const Task& t : m.tasks)
                if (t.link < K) vPos += t.nv;
            long tPos = 1;
            const int tf = task.nv - bestNsl;
            for (const Task& t : m.tasks)
                for (const Kind& k : t.kinds) {
                    const int f = t.nv - k.nsl;
                    if (f < tf ||
                        (f == tf && (k.nsl > bestNsl || (k.nsl == bestNsl && t.link < K))))
                        tPos += static_cast<long>(k.entries.size());
                }
            VariantQueueEntry v{K,
                                m.weekOf(cbest),
                                m.days[size_t(m.dayIdxOf(cbest))],
                                m.lessons[size_t(m.lessonIdxOf(cbest))],
                                M,
                                A};
            TaskQueueEntry te{T, static_cast<Short>(bestNsl), static_cast<Short>(task.nv),
                              static_cast<Short>(tf), 0};
            log_.AddDump(v, static_cast<int>(vPos), te, static_cast<int>(tPos));
        }
        int c = cbest;
        bool go = true;
        for (;;) {
            const long r = setLessonTo(best, T, c);
            if (r < 0) {
                dict_.ui().tell(
                    QStringLiteral("PlacingLessons.SetTaskLesson"),
                    QStringLiteral("Ошибка размещения урока|Week# = ") +
                        QString::number(m.weekOf(c)) + QStringLiteral("|DaySeqNumber# = ") +
                        QString::number(m.days[size_t(m.dayIdxOf(c))]) +
                        QStringLiteral("|LessonNo\" = ") + m.lessons[size_t(m.lessonIdxOf(c))] +
                        QStringLiteral("|RetVal# = ") + QString::number(r));
                glo.ProcessingDisabled = 1;
                go = false;
                break;
            }
            // A line only for lessons actually written to the cell.
            if (m.written > 0) {
                const QString placed = texts::placedLine(K > 0, glo.WeeksInCycle, m.weekOf(c),
                                                         m.dayNames[size_t(m.dayIdxOf(c))],
                                                         m.lessons[size_t(m.lessonIdxOf(c))]);
                host.addLine(placed);
                log_.AddLog(placed);
            }
            if (m.uncommitted >= 512) {
                commit();
                if (!m.writeFailed) {
                    m.tx = std::make_unique<Transaction>(dict_.store(),
                                                         std::vector<FileId>{FileId::Schedule});
                    if (!m.tx->active()) {
                        dict_.errors().report(m.tx->error().msgNo, m.tx->error().args);
                        m.writeFailed = true;
                    }
                }
            }
            if (--n <= 0) break;
            const Kind* k = task.firstByCount();
            if (!k) break;
            T = k->entries.front();
            m.variantOrder = VariantOrder::Choice;
            int next = -1;
            const int dayBase = (c / m.nL) * m.nL;
            const int li = m.lessonIdxOf(c);
            const int di = m.dayIdxOf(c);
            for (int w = 0; w < m.nW; ++w) {
                const int x = (w * m.nD + di) * m.nL + li;
                const VCell& v = task.v[size_t(x)];
                if (!v.valid || v.main > M || v.add > A) continue;
                if (next < 0 || std::tie(v.main, v.add) <
                                    std::tie(task.v[size_t(next)].main, task.v[size_t(next)].add))
                    next = x;
            }
            (void)dayBase;
            if (next < 0) break;
            c = next;
        }
        if (!go) break;
        host.yield();
        if (stopped()) break;
    }
    commit();
    glo.ProcessingDisabled = 1;
    const QString done = QStringLiteral("АВТОМАТИЧЕСКАЯ РАССТАНОВКА УРОКОВ ЗАКОНЧЕНА");
    host.addLine(done);
    log_.AddLog(done);
    log_.close();
}

} // namespace pivrel
