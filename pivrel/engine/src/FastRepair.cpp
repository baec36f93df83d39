// The repair phase, after the three phases and only when asked for: each lesson they left is
// tried in every cell, and where lessons this run placed are in the way, they are moved to
// other cells where they fit. The officer's lessons (placed before the run) never move; a link
// moves whole. Every placement and move is judged by the same checks as the placing phase and
// written through the store, one step at a time, so a stop keeps every step done.

#include "FastModel.h"

#include <QElapsedTimer>
#include <functional>

using namespace tamsel;

namespace pivrel {

namespace {

/// A lesson record's new state, with the old one to go back to.
struct Change {
    int record;
    Schedule before;
};

} // namespace

void FastPlacement::Repair(RunHost& host, int seconds) {
    Model& m = *m_;
    auto& glo = dict_.glo;
    QElapsedTimer clock;
    clock.start();
    host.addLine(QString());
    host.addLine(QStringLiteral("Доводка расстановки"));
    log_.AddLog(QStringLiteral("Доводка расстановки"));

    m.recordsAt.assign(size_t(m.nC), {});
    for (int i = 0; i < static_cast<int>(m.recs.size()); ++i) {
        const Schedule& s = m.recs[size_t(i)];
        if (s.isUnplaced()) continue;
        const int c = m.cellOf(s.Week, s.DaySeqNumber, s.LessonNo);
        if (c >= 0) m.recordsAt[size_t(c)].push_back(i);
    }
    std::vector<int> cells(size_t(m.nC));
    for (int c = 0; c < m.nC; ++c)
        cells[size_t(c)] = c;
    std::sort(cells.begin(), cells.end(),
              [&](int a, int b) { return m.choiceRank[size_t(a)] < m.choiceRank[size_t(b)]; });

    auto over = [&] {
        return glo.ProcessingDisabled.load() == 1 || clock.elapsed() >= qint64(seconds) * 1000;
    };
    std::vector<Change> changes;
    // Puts record i into state `to`, keeping the occupancy and the cell index in step.
    auto apply = [&](int i, const Schedule& to) {
        Schedule& s = m.recs[size_t(i)];
        changes.push_back({i, s});
        if (!s.isUnplaced()) {
            const int c = m.cellOf(s.Week, s.DaySeqNumber, s.LessonNo);
            if (c >= 0) std::erase(m.recordsAt[size_t(c)], i);
            m.vacate(s);
        }
        s = to;
        if (!s.isUnplaced()) {
            m.occupy(s);
            const int c = m.cellOf(s.Week, s.DaySeqNumber, s.LessonNo);
            if (c >= 0) m.recordsAt[size_t(c)].push_back(i);
        }
    };
    auto undo = [&](size_t mark) {
        while (changes.size() > mark) {
            const Change ch = changes.back();
            changes.pop_back();
            apply(ch.record, ch.before);
            changes.pop_back(); // apply() noted the undo itself
        }
    };
    auto at = [&](Schedule s, int c, Long room) {
        s.Week = m.weekOf(c);
        s.DaySeqNumber = m.days[size_t(m.dayIdxOf(c))];
        s.LessonNo = m.lessons[size_t(m.lessonIdxOf(c))];
        s.RoomCode = room;
        return s;
    };
    auto unplaced = [&](int i) {
        Schedule s = m.recs[size_t(i)];
        s.Week = 0;
        s.DaySeqNumber = 0;
        s.LessonNo.clear();
        return s;
    };
    // The lessons that move with record i: those of its link in its cell.
    auto unitOf = [&](int i, int c) {
        std::vector<int> unit{i};
        const Short link = m.recs[size_t(i)].LinkCode;
        if (link > 0)
            for (int j : m.recordsAt[size_t(c)])
                if (j != i && m.recs[size_t(j)].LinkCode == link) unit.push_back(j);
        return unit;
    };
    // Puts the lessons of records `unit` (unplaced in the model) into a cell other than `from`
    // (where they were): a cell where they fit, else one where what is in the way (lessons
    // this run placed, whole links) can itself be put elsewhere, `depth` moves deep. `moved`
    // counts the lessons moved.
    std::function<bool(const std::vector<int>&, int, int, int&)> placeUnit =
        [&](const std::vector<int>& unit, int from, int depth, int& moved) {
            std::vector<LL> q;
            for (int i : unit)
                q.push_back(m.resolve(m.recs[size_t(i)]));
            auto avoided = [&](int c) { return c == from; };
            for (int c : cells) {
                if (avoided(c) || m.check(q, c) < 0) continue;
                for (size_t k = 0; k < unit.size(); ++k)
                    apply(unit[k], at(m.recs[size_t(unit[k])], c, q[k].room));
                return true;
            }
            if (depth == 0 || over()) return false;
            for (int c : cells) {
                if (avoided(c)) continue;
                const size_t mark = changes.size();
                std::vector<int> blockers;
                auto block = [&](int i) {
                    for (int j : unitOf(i, c))
                        if (std::find(blockers.begin(), blockers.end(), j) == blockers.end())
                            blockers.push_back(j);
                };
                for (int i : m.recordsAt[size_t(c)])
                    for (const LL& e : q)
                        if (m.recs[size_t(i)].TeacherCode == e.O.TeacherCode ||
                            m.recs[size_t(i)].GroupCode == e.O.GroupCode)
                            block(i);
                // And the holder of each lesson's first room, when its rooms are all taken.
                for (const LL& e : q)
                    if (!e.roomChoice->rooms.empty())
                        for (int i : m.recordsAt[size_t(c)])
                            if (m.recs[size_t(i)].RoomCode == e.roomChoice->rooms.front().code)
                                block(i);
                if (blockers.empty() || std::any_of(blockers.begin(), blockers.end(), [&](int i) {
                        return !m.mayMove(i);
                    }))
                    continue;
                for (int i : blockers)
                    apply(i, unplaced(i));
                if (m.check(q, c) < 0) {
                    undo(mark);
                    continue;
                }
                for (size_t k = 0; k < unit.size(); ++k)
                    apply(unit[k], at(m.recs[size_t(unit[k])], c, q[k].room));
                int deeper = 0;
                bool ok = true;
                std::vector<int> done;
                for (int i : blockers) {
                    if (std::find(done.begin(), done.end(), i) != done.end()) continue;
                    std::vector<int> next;
                    for (int j : blockers)
                        if (j == i || (m.recs[size_t(i)].LinkCode > 0 &&
                                       m.recs[size_t(j)].LinkCode == m.recs[size_t(i)].LinkCode))
                            next.push_back(j);
                    done.insert(done.end(), next.begin(), next.end());
                    if (!placeUnit(next, c, depth - 1, deeper)) {
                        ok = false;
                        break;
                    }
                }
                if (!ok) {
                    undo(mark);
                    continue;
                }
                moved += static_cast<int>(blockers.size()) + deeper;
                return true;
            }
            return false;
        };
    // Chains three moves deep on a one-week grid, two on longer cycles.
    const int depth = m.nC <= 100 ? 3 : 2;

    // Writes the records changed since `mark` in one transaction.
    auto write = [&](size_t mark) {
        Transaction tx(dict_.store(), {FileId::Schedule});
        bool ok = tx.active();
        Outcome o = tx.error();
        if (ok) {
            auto sch = tx.access<Schedule>();
            std::vector<int> written;
            for (size_t k = mark; k < changes.size() && ok; ++k) {
                const int i = changes[k].record;
                if (std::find(written.begin(), written.end(), i) != written.end()) continue;
                written.push_back(i);
                o = sch.update(m.recs[size_t(i)]);
                ok = o.ok();
            }
            if (ok) {
                o = tx.commit();
                ok = o.ok();
            }
        }
        if (!ok) {
            dict_.errors().report(o.msgNo, o.args);
            m.writeFailed = true;
        }
        return ok;
    };

    int placed = 0, moves = 0;
    bool progress = true;
    std::vector<LL> q;
    while (progress && !over() && !m.writeFailed) {
        progress = false;
        for (Task& task : m.tasks) {
            if (over() || m.writeFailed) break;
            const Kind* kind = task.firstByCount();
            if (!kind) continue;
            const Schedule T = kind->entries.front();
            m.build(T, q);
            std::vector<int> targets;
            for (const LL& e : q)
                targets.push_back(m.findUnplaced(e.O, targets));
            if (q.empty() || std::find(targets.begin(), targets.end(), -1) != targets.end())
                continue;
            const size_t mark = changes.size();
            int moved = 0;
            if (!placeUnit(targets, -1, depth, moved)) {
                undo(mark);
                continue;
            }
            if (!write(mark)) {
                undo(mark);
                break;
            }
            for (int i : targets)
                m.placedByRun[size_t(i)] = 1;
            // An earlier lesson moved is reported with the first place it had.
            for (const Change& ch : changes)
                if (m.movableEarlier[size_t(ch.record)] && !ch.before.isUnplaced() &&
                    std::none_of(m.movedEarlier.begin(), m.movedEarlier.end(),
                                 [&](const auto& e) { return e.first == ch.record; }))
                    m.movedEarlier.emplace_back(ch.record, ch.before);
            changes.clear();
            // The placed lessons leave their task, as in the placing phase.
            for (const LL& e : q) {
                const Schedule& o = e.O;
                for (Kind& k : task.kinds) {
                    const auto it =
                        std::find_if(k.entries.begin(), k.entries.end(),
                                     [&](const Schedule& x) { return sameEntry(x, o); });
                    if (it == k.entries.end()) continue;
                    k.entries.erase(it);
                    --m.entries;
                    break;
                }
            }
            std::erase_if(task.kinds, [](const Kind& k) { return k.entries.empty(); });
            for (Kind& k : task.kinds)
                k.nsl = static_cast<int>(k.entries.size());
            task.nslMax = task.maxNsl();
            placed += static_cast<int>(q.size());
            moves += moved;
            progress = true;
            const QString line =
                QStringLiteral("  Урок размещен с перестановкой уроков (%1): ").arg(moved) +
                m.description(T);
            host.addLine(line);
            log_.AddLog(line);
            host.yield();
        }
    }
    const QString done =
        QStringLiteral("ДОВОДКА РАССТАНОВКИ ЗАКОНЧЕНА: размещено уроков: %1, перестановок: %2, "
                       "время: %3 с.")
            .arg(placed)
            .arg(moves)
            .arg(QString::number(static_cast<double>(clock.elapsed()) / 1000.0, 'f', 1));
    host.addLine(done);
    log_.AddLog(done);
    m.recordsAt.clear();
}

} // namespace pivrel
