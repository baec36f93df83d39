// Fewer gaps ("окна"), after the placing phase and the repair and only when asked for. A
// lesson this run placed, or one placed earlier when the officer asked to compact the whole
// timetable (a link's sitting whole), may move to another cell that the placing
// phase's own check admits, or two whole-group lessons of one group may trade cells, whenever
// that leaves fewer free bells between the lessons of the days concerned. A pupil's gap weighs
// more than a teacher's, since a school may not leave pupils waiting; a move that makes a time
// more undesirable or puts a subject twice on a day costs, so what the placing phase graded
// is not spoiled for a gap. A double lesson (the two halves of a pair in adjacent bells of
// one day) moves as one unit to two adjacent bells; halves an officer placed apart, paired
// halves in a link, and pinned lessons stay.
// Only the in-memory model is read; what moved is written once at the end, in one
// transaction, also after a stop.

#include "FastModel.h"

#include <QElapsedTimer>
#include <algorithm>
#include <functional>
#include <unordered_map>

using namespace tamsel;

namespace pivrel {

namespace {

using Model = FastPlacement::Model;

constexpr long TeacherGapWeight = 1;
constexpr long GroupGapWeight = 3;
constexpr long UndesirableWeight = 2; ///< per level of an undesirable time
constexpr long DayLoadWeight = 4;     ///< per grade of the day's load (a subject twice: 2)

class Compactor {
public:
    Compactor(Model& m, std::function<bool()> over,
              const std::function<bool(const Schedule&)>& earlier)
        : m_(m), over_(std::move(over)) {
        m_.recordsAt.assign(size_t(m_.nC), {});
        may_ = m_.placedByRun;
        for (int i = 0; i < int(m_.recs.size()); ++i) {
            const Schedule& s = m_.recs[size_t(i)];
            if (const int c = cellOf(i); c >= 0) m_.recordsAt[size_t(c)].push_back(i);
            if (earlier && !s.isUnplaced() && earlier(s)) may_[size_t(i)] = 1;
        }
        matchPairs();
    }
    ~Compactor() { m_.recordsAt.clear(); }

    /// Free bells between the first and the last lesson of every day, over all teachers and
    /// over all groups (a group is busy when it or any subgroup has a lesson).
    std::pair<long, long> totalGaps() const {
        long teachers = 0, groups = 0;
        for (auto it = m_.teacherIdx.constBegin(); it != m_.teacherIdx.constEnd(); ++it)
            if (it.key() != 0)
                for (int wd = 0; wd < m_.nW * m_.nD; ++wd)
                    teachers += teacherGaps(*it, wd);
        for (auto it = m_.groupIdx.constBegin(); it != m_.groupIdx.constEnd(); ++it)
            for (int wd = 0; wd < m_.nW * m_.nD; ++wd)
                groups += groupGaps(*it, wd);
        return {teachers, groups};
    }

    /// One sweep over the run's lessons in record order; true when anything improved.
    bool sweep() {
        bool improved = false;
        for (int i = 0; i < int(m_.recs.size()) && !over_(); ++i) {
            std::vector<int> unit;
            if (!unitOf(i, unit)) continue;
            if (move(unit) || (unit.size() == 1 && swap(unit[0]))) improved = true;
        }
        return improved;
    }

    /// The records whose place differs from the one they had when the compaction began.
    std::vector<int> changed() const {
        std::vector<int> out;
        for (const auto& [i, s] : original_) {
            const Schedule& now = m_.recs[size_t(i)];
            if (now.Week != s.Week || now.DaySeqNumber != s.DaySeqNumber ||
                now.LessonNo != s.LessonNo || now.RoomCode != s.RoomCode)
                out.push_back(i);
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    /// Puts every record back where it was when the compaction began (a failed write).
    void restoreAll() {
        for (const auto& [i, s] : original_)
            put(i, s);
    }

private:
    Model& m_;
    std::function<bool()> over_;
    std::unordered_map<int, Schedule> original_;
    std::vector<char> may_; ///< per record: this run's lessons and the earlier ones let move
    /// Per record: the other half of its double lesson, -1 for a single lesson and for a half
    /// with no partner beside it. Pairs move together, so the matching holds to the end.
    std::vector<int> partner_;

    /// A first half (1) and a second half (2) of one kind in adjacent bells of one day are a
    /// double lesson; each half belongs to one pair, matched in record order, the next bell
    /// before the previous one. A link's paired halves are left unmatched: moving a sitting
    /// of a link with its partner sitting is more than the model's one-cell unit.
    void matchPairs() {
        partner_.assign(m_.recs.size(), -1);
        for (int i = 0; i < int(m_.recs.size()); ++i) {
            const Schedule& s = m_.recs[size_t(i)];
            const int c = cellOf(i);
            if (c < 0 || s.CoupledLesson != 1 || s.LinkCode > 0) continue;
            const int l = m_.lessonIdxOf(c);
            for (int d : {1, -1}) {
                if (l + d < 0 || l + d >= m_.nL || partner_[size_t(i)] >= 0) continue;
                for (int j : m_.recordsAt[size_t(c + d)]) {
                    const Schedule& o = m_.recs[size_t(j)];
                    if (partner_[size_t(j)] < 0 && o.CoupledLesson == 2 && o.LinkCode <= 0 &&
                        o.TrainingCourseItemCode == s.TrainingCourseItemCode &&
                        o.GroupCode == s.GroupCode && o.SubGroupNum == s.SubGroupNum &&
                        o.TeacherCode == s.TeacherCode && o.ScienceCode == s.ScienceCode) {
                        partner_[size_t(i)] = j;
                        partner_[size_t(j)] = i;
                        break;
                    }
                }
            }
        }
    }

    int cellOf(int i) const {
        const Schedule& s = m_.recs[size_t(i)];
        return s.isUnplaced() ? -1 : m_.cellOf(s.Week, s.DaySeqNumber, s.LessonNo);
    }
    int dayOf(int c) const { return c / m_.nL; }
    bool movable(int i) const {
        const Schedule& s = m_.recs[size_t(i)];
        return may_[size_t(i)] && !s.Pinned && !s.isUnplaced() &&
               (s.CoupledLesson == 0 || partner_[size_t(i)] >= 0);
    }

    /// The lessons that move with record i (its link's sitting, or both halves of its double
    /// lesson, the earlier bell first), all of them movable, and i the first of them in
    /// record order, so that a unit is tried once a sweep.
    bool unitOf(int i, std::vector<int>& unit) const {
        unit.clear();
        if (!movable(i)) return false;
        const Schedule& s = m_.recs[size_t(i)];
        const int c = cellOf(i);
        if (c < 0) return false;
        if (const int j = partner_[size_t(i)]; j >= 0) {
            if (!movable(j) || j < i) return false;
            unit = cellOf(j) < c ? std::vector<int>{j, i} : std::vector<int>{i, j};
            return true;
        }
        if (s.LinkCode <= 0) {
            unit.push_back(i);
            return true;
        }
        for (int j : m_.recordsAt[size_t(c)])
            if (m_.recs[size_t(j)].LinkCode == s.LinkCode) {
                if (!movable(j) || j < i) return false;
                unit.push_back(j);
            }
        return !unit.empty();
    }

    int teacherGaps(int t, int wd) const {
        int first = -1, last = -1, busy = 0;
        for (int l = 0; l < m_.nL; ++l)
            if (m_.teacherCells[size_t(t) * size_t(m_.nC) + size_t(wd * m_.nL + l)].firstRow != 0) {
                if (first < 0) first = l;
                last = l;
                ++busy;
            }
        return first < 0 ? 0 : last - first + 1 - busy;
    }
    int groupGaps(int g, int wd) const {
        int first = -1, last = -1, busy = 0;
        for (int l = 0; l < m_.nL; ++l)
            if (!m_.groupCells[size_t(g) * size_t(m_.nC) + size_t(wd * m_.nL + l)].empty()) {
                if (first < 0) first = l;
                last = l;
                ++busy;
            }
        return first < 0 ? 0 : last - first + 1 - busy;
    }

    /// The weighed gaps of the teachers and groups of `records` on the days `days`.
    long score(const std::vector<int>& records, std::initializer_list<int> days) const {
        std::vector<int> teachers, groups;
        for (int i : records) {
            const Schedule& s = m_.recs[size_t(i)];
            if (s.TeacherCode != 0) teachers.push_back(m_.teacherIdx.value(s.TeacherCode));
            groups.push_back(m_.groupIdx.value(s.GroupCode));
        }
        for (auto* v : {&teachers, &groups}) {
            std::sort(v->begin(), v->end());
            v->erase(std::unique(v->begin(), v->end()), v->end());
        }
        std::vector<int> d(days);
        std::sort(d.begin(), d.end());
        d.erase(std::unique(d.begin(), d.end()), d.end());
        long total = 0;
        for (int wd : d) {
            for (int t : teachers)
                total += TeacherGapWeight * teacherGaps(t, wd);
            for (int g : groups)
                total += GroupGapWeight * groupGaps(g, wd);
        }
        return total;
    }

    Schedule at(Schedule s, int c, Long room) const {
        s.Week = m_.weekOf(c);
        s.DaySeqNumber = m_.days[size_t(m_.dayIdxOf(c))];
        s.LessonNo = m_.lessons[size_t(m_.lessonIdxOf(c))];
        s.RoomCode = room;
        return s;
    }

    /// Moves record i to `to` in the model (its cell lists and occupancy).
    void put(int i, const Schedule& to) {
        Schedule& s = m_.recs[size_t(i)];
        original_.try_emplace(i, s);
        if (const int c = cellOf(i); c >= 0) {
            std::erase(m_.recordsAt[size_t(c)], i);
            m_.vacate(s);
        }
        s = to;
        if (const int c = cellOf(i); c >= 0) {
            m_.occupy(s);
            m_.recordsAt[size_t(c)].push_back(i);
        }
    }
    void lift(int i) {
        Schedule s = m_.recs[size_t(i)];
        s.Week = 0;
        s.DaySeqNumber = 0;
        s.LessonNo.clear();
        put(i, s);
    }

    /// What the placing phase would grade against the unit in cell c (the unit out of the
    /// model): undesirable levels and the day's load; -1 when the check refuses the cell.
    /// The rooms the check chose are left in q.
    long grade(std::vector<LL>& q, int c) {
        const long r = m_.check(q, c);
        if (r < 0) return -1;
        return UndesirableWeight * r + DayLoadWeight * m_.dayLoad(q, c);
    }

    std::vector<LL> gather(const std::vector<int>& unit) {
        std::vector<LL> q;
        for (int i : unit)
            q.push_back(m_.resolve(m_.recs[size_t(i)]));
        return q;
    }

    /// The unit's lessons by bell: a double lesson's halves in two adjacent bells, a sitting
    /// in one.
    std::vector<std::vector<int>> bellsOf(const std::vector<int>& unit) const {
        if (partner_[size_t(unit[0])] >= 0) return {{unit[0]}, {unit[1]}};
        return {unit};
    }

    /// Puts the lifted unit with its first bell in cell c, bell by bell, each as the placing
    /// phase's check admits it with the bells before already in place (so a double lesson's
    /// second half is judged beside its first). The grade summed, or -1 with nothing put when
    /// the check refuses a bell.
    long place(const std::vector<std::vector<int>>& bells, std::vector<std::vector<LL>>& q,
               const std::unordered_map<int, Schedule>& was, int c) {
        long total = 0;
        for (size_t b = 0; b < bells.size(); ++b) {
            const long g = grade(q[b], c + int(b));
            if (g < 0) {
                for (size_t k = 0; k < b; ++k)
                    for (int i : bells[k])
                        lift(i);
                return -1;
            }
            total += g;
            for (size_t k = 0; k < bells[b].size(); ++k)
                put(bells[b][k], at(was.at(bells[b][k]), c + int(b), q[b][k].room));
        }
        return total;
    }

    /// The unit to the cell that leaves the fewest weighed gaps, when that is fewer than now.
    bool move(const std::vector<int>& unit) {
        const std::vector<std::vector<int>> bells = bellsOf(unit);
        const int span = int(bells.size());
        const int a = cellOf(unit[0]);
        const int dayA = dayOf(a);
        const long beforeA = score(unit, {dayA});
        std::unordered_map<int, Schedule> was;
        for (int i : unit)
            was.emplace(i, m_.recs[size_t(i)]);
        for (int i : unit)
            lift(i);
        std::vector<std::vector<LL>> q;
        for (const auto& b : bells)
            q.push_back(gather(b));
        const auto liftAll = [&] {
            for (int i : unit)
                lift(i);
        };
        const long gradeA = place(bells, q, was, a);
        if (gradeA >= 0) liftAll();
        const long hereA = score(unit, {dayA});
        long best = 0;
        int bestCell = -1;
        int withoutDay = -1; // the unit's gaps on a day without it, once a day
        long without = 0;
        for (int c = 0; c < m_.nC && gradeA >= 0; ++c) {
            if (c == a || m_.lessonIdxOf(c) + span > m_.nL) continue;
            const int day = dayOf(c);
            if (day != withoutDay) {
                withoutDay = day;
                without = day == dayA ? 0 : score(unit, {day});
            }
            const long g = place(bells, q, was, c);
            if (g < 0) continue;
            const long with = score(unit, {day});
            liftAll();
            const long before = day == dayA ? beforeA : beforeA + without;
            const long after = day == dayA ? with : hereA + with;
            const long delta = after - before + g - gradeA;
            if (delta < best) {
                best = delta;
                bestCell = c;
            }
        }
        if (bestCell < 0) {
            for (int i : unit)
                put(i, was.at(i));
            return false;
        }
        place(bells, q, was, bestCell);
        return true;
    }

    /// Record i trades cells with a whole-group lesson of its group when that leaves fewer
    /// weighed gaps: a teacher's gap often closes only so, the group's week being full.
    bool swap(int i) {
        const Schedule si = m_.recs[size_t(i)];
        if (si.SubGroupNum != 0 || si.LinkCode != 0) return false;
        const int a = cellOf(i);
        const int g = m_.groupIdx.value(si.GroupCode);
        for (int c = 0; c < m_.nC; ++c) {
            if (c == a || m_.groupCells[size_t(g) * size_t(m_.nC) + size_t(c)].empty()) continue;
            for (int j : std::vector<int>(m_.recordsAt[size_t(c)])) {
                const Schedule& sj = m_.recs[size_t(j)];
                if (sj.GroupCode != si.GroupCode || sj.SubGroupNum != 0 || sj.LinkCode != 0 ||
                    sj.CoupledLesson != 0 || !movable(j) ||
                    (sj.TeacherCode == si.TeacherCode && sj.ScienceCode == si.ScienceCode))
                    continue;
                if (trade(i, j, a, c)) return true;
            }
        }
        return false;
    }

    bool trade(int i, int j, int a, int b) {
        const Schedule si = m_.recs[size_t(i)], sj = m_.recs[size_t(j)];
        const std::vector<int> both{i, j};
        const long before = score(both, {dayOf(a), dayOf(b)});
        lift(i);
        lift(j);
        std::vector<LL> qi = gather({i}), qj = gather({j});
        const long gradeI = grade(qi, a), gradeJ = grade(qj, b);
        bool ok = false;
        const long gi = gradeI < 0 || gradeJ < 0 ? -1 : grade(qi, b);
        if (gi >= 0) {
            put(i, at(si, b, qi[0].room));
            const long gj = grade(qj, a);
            if (gj >= 0) {
                put(j, at(sj, a, qj[0].room));
                ok = score(both, {dayOf(a), dayOf(b)}) + gi + gj < before + gradeI + gradeJ;
                if (!ok) lift(j);
            }
            if (!ok) lift(i);
        }
        if (!ok) {
            put(i, si);
            put(j, sj);
        }
        return ok;
    }
};

} // namespace

void FastPlacement::Compact(RunHost& host, int seconds,
                            const std::function<bool(const Schedule&)>& earlier) {
    Model& m = *m_;
    auto& glo = dict_.glo;
    QElapsedTimer clock;
    clock.start();
    host.addLine(QString());
    host.addLine(QStringLiteral("Сокращение окон"));
    log_.AddLog(QStringLiteral("Сокращение окон"));
    auto over = [&] {
        return glo.ProcessingDisabled.load() == 1 || clock.elapsed() >= qint64(seconds) * 1000;
    };
    Compactor compactor(m, over, earlier);
    const auto [teachersBefore, groupsBefore] = compactor.totalGaps();
    for (int pass = 0; pass < 50 && !over(); ++pass) {
        if (!compactor.sweep()) break;
        host.yield();
    }
    const std::vector<int> changed = compactor.changed();
    const bool written = writePlaces(changed);
    if (!written) compactor.restoreAll();
    const auto [teachersAfter, groupsAfter] = compactor.totalGaps();
    const QString done =
        QStringLiteral("СОКРАЩЕНИЕ ОКОН ЗАКОНЧЕНО: окна учителей: было %1, стало %2; окна групп: "
                       "было %3, стало %4; перемещено уроков: %5, время: %6 с.")
            .arg(teachersBefore)
            .arg(teachersAfter)
            .arg(groupsBefore)
            .arg(groupsAfter)
            .arg(written ? changed.size() : 0)
            .arg(QString::number(static_cast<double>(clock.elapsed()) / 1000.0, 'f', 1));
    host.addLine(done);
    log_.AddLog(done);
}

bool FastPlacement::writePlaces(const std::vector<int>& records) {
    if (records.empty()) return true;
    Model& m = *m_;
    Transaction tx(dict_.store(), {FileId::Schedule});
    Outcome o = tx.error();
    bool ok = tx.active();
    if (ok) {
        auto sch = tx.access<Schedule>();
        for (size_t k = 0; k < records.size() && ok; ++k) {
            o = sch.update(m.recs[size_t(records[k])]);
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
}

} // namespace pivrel
