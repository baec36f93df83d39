// The repair phase, after the three phases and only when asked for: each lesson they left is
// placed by an ejection chain. It goes into the cell where the fewest movable lessons are in
// its way (by teacher, group, or every room of its list); those are taken out and placed the
// same way in turn, until none is out. A tabu list keeps a lesson from going straight back to
// a cell it was pushed out of, and a few random choices keep a chain from circling. A chain
// that does not close within its budget is undone; the budgets double each round, so easy
// lessons cost little and hard ones get the time. When earlier lessons may move (a re-run),
// a short search for the completion that moves fewest of them comes before the long chain.
// The search reads only the in-memory model;
// what moved is written once at the end, in one transaction, so the timetable on disk never
// holds half a chain or half a link, also after a stop.

#include "FastModel.h"

#include <QElapsedTimer>
#include <algorithm>
#include <climits>
#include <functional>
#include <random>
#include <tuple>
#include <unordered_map>

using namespace tamsel;

namespace pivrel {

namespace {

using Model = FastPlacement::Model;

/// Where a lesson is: all that a move changes of its record.
struct Place {
    Short Week = 0, DaySeqNumber = 0;
    QString LessonNo;
    Long RoomCode = 0;
    Place() = default;
    explicit Place(const Schedule& s)
        : Week(s.Week), DaySeqNumber(s.DaySeqNumber), LessonNo(s.LessonNo), RoomCode(s.RoomCode) {}
    bool isUnplaced() const { return Week == 0 && DaySeqNumber == 0 && LessonNo.isEmpty(); }
};

/// A move of a lesson record, with the place to go back to (a long chain logs many).
struct Change {
    int record;
    Place before;
};

template <class A, class B> bool samePlace(const A& a, const B& b) {
    return a.Week == b.Week && a.DaySeqNumber == b.DaySeqNumber && a.LessonNo == b.LessonNo &&
           a.RoomCode == b.RoomCode;
}

/// Placed records per object and cell, so that weighing a cell reads only the lessons of
/// the objects at stake there, not every lesson in the cell.
class CellIndex {
public:
    explicit CellIndex(int cells) : nC_(size_t(cells)) {}
    const std::vector<int>& at(int object, int c) const {
        static const std::vector<int> none;
        const size_t k = size_t(object) * nC_ + size_t(c);
        return object < 0 || k >= slots_.size() ? none : slots_[k];
    }
    void add(int object, int c, int record) { slot(object, c).push_back(record); }
    void remove(int object, int c, int record) { std::erase(slot(object, c), record); }

private:
    size_t nC_;
    std::vector<std::vector<int>> slots_;
    std::vector<int>& slot(int object, int c) {
        const size_t k = size_t(object) * nC_ + size_t(c);
        if (k >= slots_.size()) slots_.resize(std::max(k + 1, slots_.size() * 2));
        return slots_[k];
    }
};

/// The ejection chains over the model. Lessons this run placed move freely; earlier lessons a
/// re-run lets move (`earlier` on) cost one each, so a chain that leaves them alone wins.
class Chains {
public:
    Chains(Model& m, std::function<bool()> over) : m_(m), over_(std::move(over)) {
        own = m.placedByRun;
        seen_.assign(m.recs.size(), 0);
        tabu_.assign(m.recs.size() * size_t(m.nC), 0);
        unitOf_.assign(m.recs.size(), -1);
        bumped_.assign(m.recs.size(), 0);
        cell_.assign(m.recs.size(), -1);
        teacher_.assign(m.recs.size(), -1);
        group_.assign(m.recs.size(), -1);
        link_.assign(m.recs.size(), -1);
        for (int i = 0; i < int(m.recs.size()); ++i) {
            const Schedule& s = m.recs[size_t(i)];
            teacher_[size_t(i)] = m.teacherOf(s.TeacherCode);
            group_[size_t(i)] = m.groupOf(s.GroupCode);
            if (s.LinkCode > 0) link_[size_t(i)] = linkSlot(s.LinkCode);
            if (!s.isUnplaced()) cell_[size_t(i)] = m.cellOf(s.Week, s.DaySeqNumber, s.LessonNo);
            index(i, true);
        }
    }

    std::vector<char> own;  ///< per record: this run's lesson (by the phases or a closed chain)
    bool earlier = false;   ///< whether earlier lessons a re-run lets move may move
    /// Per record moved since the repair began: the place it had then.
    std::unordered_map<int, Schedule> original;
    /// Called now and then inside a long chain, so that a window stays responsive.
    std::function<void()> breathe;
    /// After a failed close(): no cell took the lessons at all, however much moved.
    bool hopeless = false;

    bool movable(int i) const {
        return own[size_t(i)] || (earlier && m_.movableEarlier[size_t(i)]);
    }

    /// Places the unplaced records `targets` (one lesson, or a link's lessons together),
    /// moving others for at most `budget` placements; true when every lesson is placed again.
    /// On false the model is as before. `moved` is the number of other lessons that moved.
    bool close(const std::vector<int>& targets, long budget, int& moved) {
        const size_t mark = log_.size();
        hopeless = false;
        std::vector<std::vector<int>> open{targets};
        std::vector<int> out;
        std::vector<LL> q;
        long steps = 0;
        while (!open.empty()) {
            if (++steps > budget || ((steps & 255) == 0 && (breathe(), over_()))) {
                undo(mark);
                return false;
            }
            std::vector<int> unit = std::move(open.back());
            open.pop_back();
            q.clear();
            for (int i : unit)
                q.push_back(m_.resolve(m_.recs[size_t(i)]));
            ++tick_;
            const int c = choose(unit, q, out);
            if (c < 0) {
                hopeless = steps == 1 && !open_;
                undo(mark);
                return false;
            }
            const size_t local = log_.size();
            for (int x : out) {
                apply(x, unplaced(x));
                ++bumped_[size_t(x)];
                tabu_[size_t(x) * size_t(m_.nC) + size_t(c)] = tick_ + 10 + long(rng_() % 10);
            }
            if (m_.check(q, c) < 0) { // the weighing missed a rule: never this cell for a while
                undo(local);
                for (int i : unit)
                    tabu_[size_t(i) * size_t(m_.nC) + size_t(c)] = tick_ + 50;
                open.push_back(std::move(unit));
                continue;
            }
            for (size_t k = 0; k < unit.size(); ++k)
                apply(unit[k], at(m_.recs[size_t(unit[k])], c, q[k].room));
            // What was taken out goes back in, a link whole.
            for (size_t k = 0; k < out.size(); ++k) {
                const int x = out[k];
                if (unitOf_[size_t(x)] == int(tick_)) continue;
                std::vector<int> next{x};
                unitOf_[size_t(x)] = int(tick_);
                const Short link = m_.recs[size_t(x)].LinkCode;
                if (link > 0)
                    for (size_t j = k + 1; j < out.size(); ++j)
                        if (m_.recs[size_t(out[j])].LinkCode == link &&
                            unitOf_[size_t(out[j])] != int(tick_)) {
                            next.push_back(out[j]);
                            unitOf_[size_t(out[j])] = int(tick_);
                        }
                open.push_back(std::move(next));
            }
        }
        finish(mark, targets, moved);
        return true;
    }

    /// Places `targets` moving as few earlier lessons as possible, before any long chain is
    /// tried: a cell that takes them as it is, else one whose holders go straight into cells
    /// that take them, else one step more (`depth` steps in all), with at most `maxCost`
    /// earlier lessons moved; the cheapest found first. A long chain wanders and moves
    /// lessons it need not. True when placed (a closed chain); false with the model as before.
    bool shortest(const std::vector<int>& targets, int maxCost, int depth, int& moved) {
        const size_t mark = log_.size();
        hopeless = false;
        path_.assign(m_.recs.size(), 0);
        steps_ = 0;
        for (int bound = 0; bound <= maxCost && !over_(); ++bound) {
            int left = bound;
            if (fit(targets, left, depth)) {
                finish(mark, targets, moved);
                return true;
            }
        }
        return false;
    }

    /// Puts every record moved back where it was when the repair began.
    void restoreAll() {
        std::vector<int> moved;
        for (const auto& [i, s] : original)
            if (!samePlace(m_.recs[size_t(i)], s)) moved.push_back(i);
        // All out first, so that no lesson goes back into a cell another one still holds.
        for (int i : moved)
            apply(i, unplaced(i));
        for (int i : moved)
            apply(i, original.at(i));
        log_.clear();
    }

private:
    /// Closes the chain begun at `mark` that placed `targets`: `moved` is the number of
    /// other lessons whose place differs from the one they had before it.
    void finish(size_t mark, const std::vector<int>& targets, int& moved) {
        swapAlikes(mark);
        // Counted against the places before the chain: a lesson that moved and came back
        // did not move.
        std::vector<int> counted;
        moved = 0;
        for (size_t k = mark; k < log_.size(); ++k) {
            const int i = log_[k].record;
            if (std::find(targets.begin(), targets.end(), i) != targets.end() ||
                std::find(counted.begin(), counted.end(), i) != counted.end())
                continue;
            counted.push_back(i);
            if (!samePlace(log_[k].before, m_.recs[size_t(i)])) ++moved;
        }
        for (int i : targets)
            own[size_t(i)] = 1;
        log_.clear(); // closed: nothing to undo before it
    }

    /// One step of shortest(): places `unit` (unplaced) in a cell whose holders are placed
    /// again the same way within `depth - 1` steps, the cheapest cells first; `left` is the
    /// number of earlier lessons that may still move, less those this step moved. On false
    /// the model is as before.
    bool fit(const std::vector<int>& unit, int& left, int depth) {
        // Bounded, so that on a long cycle of many cells the long chain still gets the time.
        if (++steps_ > 4000 || over_()) return false;
        std::vector<LL> q;
        for (int i : unit)
            q.push_back(m_.resolve(m_.recs[size_t(i)]));
        struct Option {
            int cost;
            size_t holders;
            int c;
        };
        std::vector<Option> options;
        for (int c = 0; c < m_.nC; ++c) {
            if (weigh(q, c) < 0 || (depth <= 1 && !blocked_.empty())) continue;
            int cost = 0;
            bool circles = false; // a lesson of this very path in the way
            for (int j : blocked_) {
                circles = circles || path_[size_t(j)];
                cost += costly(j) ? 1 : 0;
            }
            // An earlier lesson going back to the cell it had undoes its move.
            for (int i : unit)
                if (!own[size_t(i)] && m_.movableEarlier[size_t(i)]) {
                    const auto it = original.find(i);
                    if (it != original.end() &&
                        m_.cellOf(it->second.Week, it->second.DaySeqNumber, it->second.LessonNo) ==
                            c)
                        --cost;
                }
            if (!circles && cost <= left) options.push_back({cost, blocked_.size(), c});
        }
        std::sort(options.begin(), options.end(), [](const Option& a, const Option& b) {
            return std::tie(a.cost, a.holders, a.c) < std::tie(b.cost, b.holders, b.c);
        });
        // The few cheapest cells: the search stays small, deep chains are the long search's.
        if (options.size() > 24) options.resize(24);
        for (const Option& o : options) {
            const size_t local = log_.size();
            weigh(q, o.c);
            const std::vector<int> out = blocked_;
            for (int x : out)
                apply(x, unplaced(x));
            if (m_.check(q, o.c) < 0) {
                undo(local);
                continue;
            }
            for (size_t k = 0; k < unit.size(); ++k)
                apply(unit[k], at(m_.recs[size_t(unit[k])], o.c, q[k].room));
            for (int i : unit)
                path_[size_t(i)] = 1;
            int rest = left - o.cost;
            bool ok = true;
            std::vector<char> done(out.size(), 0);
            for (size_t k = 0; k < out.size() && ok; ++k) {
                if (done[k]) continue;
                std::vector<int> next{out[k]}; // a link whole
                const Short link = m_.recs[size_t(out[k])].LinkCode;
                for (size_t j = k + 1; j < out.size() && link > 0; ++j)
                    if (!done[j] && m_.recs[size_t(out[j])].LinkCode == link) {
                        next.push_back(out[j]);
                        done[j] = 1;
                    }
                ok = fit(next, rest, depth - 1);
            }
            for (int i : unit)
                path_[size_t(i)] = 0;
            if (ok) {
                left = rest;
                return true;
            }
            undo(local);
        }
        return false;
    }

    std::vector<char> path_; ///< per record: placed on the path shortest() is trying
    long steps_ = 0;         ///< the lessons shortest() tried to place
    Model& m_;
    std::function<bool()> over_;
    std::vector<Change> log_;   ///< the open chain's changes
    std::vector<int> seen_;     ///< per record: the weighing that counted it
    int stamp_ = 0;
    std::vector<long> tabu_;    ///< per record and cell: the tick until which it stays out
    long tick_ = 0;             ///< one per lesson placed in a chain
    std::vector<int> unitOf_;   ///< per record: the tick it was last grouped into a unit
    std::vector<int> blocked_;  ///< the weighing's result
    /// Per record: how often a chain took it out. Lessons pushed about again and again
    /// weigh more, so that chains try other ways round instead of circling.
    std::vector<int> bumped_;
    bool open_ = false;         ///< the last choice found a cell that takes the lessons
    std::mt19937 rng_{20261210u};
    CellIndex byTeacher_{m_.nC}, byGroup_{m_.nC}, byRoom_{m_.nC}, byLink_{m_.nC};
    std::unordered_map<Short, int> linkSlot_;

    int linkSlot(Short link) {
        return linkSlot_.try_emplace(link, int(linkSlot_.size())).first->second;
    }
    // Per record: its cell now (-1 out), and its teacher, group and link as index slots.
    std::vector<int> cell_, teacher_, group_, link_;

    /// Enters record i, where it is now, into the indexes (or takes it out).
    void index(int i, bool in) {
        const int c = cell_[size_t(i)];
        if (c < 0) return;
        const int t = teacher_[size_t(i)], g = group_[size_t(i)],
                  r = m_.roomOf(m_.recs[size_t(i)].RoomCode), l = link_[size_t(i)];
        if (in) {
            byTeacher_.add(t, c, i);
            byGroup_.add(g, c, i);
            byRoom_.add(r, c, i);
            if (l >= 0) byLink_.add(l, c, i);
        } else {
            byTeacher_.remove(t, c, i);
            byGroup_.remove(g, c, i);
            byRoom_.remove(r, c, i);
            if (l >= 0) byLink_.remove(l, c, i);
        }
    }

    /// Puts record i into state `to`, keeping the occupancy and the cell index in step.
    void apply(int i, const Schedule& to) {
        Schedule& s = m_.recs[size_t(i)];
        log_.push_back({i, Place(s)});
        original.try_emplace(i, s);
        if (!s.isUnplaced()) {
            index(i, false);
            const int c = cell_[size_t(i)];
            if (c >= 0) std::erase(m_.recordsAt[size_t(c)], i);
            m_.vacate(s);
        }
        s = to;
        cell_[size_t(i)] = -1;
        if (!s.isUnplaced()) {
            m_.occupy(s);
            const int c = m_.cellOf(s.Week, s.DaySeqNumber, s.LessonNo);
            cell_[size_t(i)] = c;
            if (c >= 0) m_.recordsAt[size_t(c)].push_back(i);
            index(i, true);
        }
    }
    void undo(size_t mark) {
        while (log_.size() > mark) {
            const Change ch = log_.back();
            log_.pop_back();
            apply(ch.record, placedLike(ch.record, ch.before));
            log_.pop_back(); // apply() noted the undo itself
        }
    }
    Schedule at(Schedule s, int c, Long room) const {
        s.Week = m_.weekOf(c);
        s.DaySeqNumber = m_.days[size_t(m_.dayIdxOf(c))];
        s.LessonNo = m_.lessons[size_t(m_.lessonIdxOf(c))];
        s.RoomCode = room;
        return s;
    }
    Schedule unplaced(int i) const {
        Schedule s = m_.recs[size_t(i)];
        s.Week = 0;
        s.DaySeqNumber = 0;
        s.LessonNo.clear();
        return s;
    }

    /// Lessons just alike (same plan item, teacher, group, subject, no link) are told apart
    /// by nothing but their row: among those the chain touched, each keeps the place it had
    /// when one of them ends there, so that a swap of two alike lessons moves nothing.
    void swapAlikes(size_t mark) {
        const auto alike = [&](const Schedule& a, const Schedule& b) {
            return a.LinkCode == 0 && b.LinkCode == 0 &&
                   a.TrainingCourseItemCode == b.TrainingCourseItemCode &&
                   a.TeacherCode == b.TeacherCode && a.GroupCode == b.GroupCode &&
                   a.SubGroupNum == b.SubGroupNum && a.ScienceCode == b.ScienceCode &&
                   a.CoupledLesson == b.CoupledLesson && a.Pinned == b.Pinned;
        };
        // Each record touched with the place it had before the chain.
        std::vector<std::pair<int, Place>> touched;
        ++stamp_;
        for (size_t k = mark; k < log_.size(); ++k)
            if (seen_[size_t(log_[k].record)] != stamp_) {
                seen_[size_t(log_[k].record)] = stamp_;
                touched.emplace_back(log_[k].record, log_[k].before);
            }
        std::vector<char> grouped(touched.size(), 0);
        for (size_t a = 0; a < touched.size(); ++a) {
            if (grouped[a]) continue;
            std::vector<size_t> group{a};
            for (size_t b = a + 1; b < touched.size(); ++b)
                if (!grouped[b] && alike(m_.recs[size_t(touched[a].first)],
                                         m_.recs[size_t(touched[b].first)])) {
                    grouped[b] = 1;
                    group.push_back(b);
                }
            if (group.size() < 2) continue;
            std::vector<Schedule> places;
            for (size_t g : group)
                places.push_back(m_.recs[size_t(touched[g].first)]);
            std::vector<int> assigned(group.size(), -1);
            std::vector<char> used(places.size(), 0);
            const auto cellOf = [&](const auto& x) {
                return x.isUnplaced() ? -1 : m_.cellOf(x.Week, x.DaySeqNumber, x.LessonNo);
            };
            for (int exact = 1; exact >= 0; --exact)
                for (size_t g = 0; g < group.size(); ++g) {
                    const Place& was = touched[group[g]].second;
                    if (assigned[g] >= 0 || cellOf(was) < 0) continue;
                    for (size_t p = 0; p < places.size(); ++p)
                        if (!used[p] && cellOf(places[p]) == cellOf(was) &&
                            (!exact || places[p].RoomCode == was.RoomCode)) {
                            assigned[g] = int(p);
                            used[p] = 1;
                            break;
                        }
                }
            for (size_t g = 0; g < group.size(); ++g)
                for (size_t p = 0; p < places.size() && assigned[g] < 0; ++p)
                    if (!used[p]) {
                        assigned[g] = int(p);
                        used[p] = 1;
                    }
            bool same = true;
            for (size_t g = 0; g < group.size(); ++g)
                same = same && assigned[g] == int(g);
            if (same) continue;
            for (size_t g : group)
                apply(touched[g].first, unplaced(touched[g].first));
            for (size_t g = 0; g < group.size(); ++g)
                apply(touched[group[g]].first,
                      placedLike(touched[group[g]].first, places[size_t(assigned[g])]));
        }
    }
    /// Record i in the place of `where`.
    template <class Where> Schedule placedLike(int i, const Where& where) const {
        Schedule s = m_.recs[size_t(i)];
        s.Week = where.Week;
        s.DaySeqNumber = where.DaySeqNumber;
        s.LessonNo = where.LessonNo;
        s.RoomCode = where.RoomCode;
        return s;
    }

    /// Whether moving record i away from where it is now costs: an earlier lesson at the
    /// place it had before the run.
    bool costly(int i) const {
        if (own[size_t(i)]) return false;
        const auto it = original.find(i);
        return it == original.end() || samePlace(it->second, m_.recs[size_t(i)]);
    }

    /// The lessons in the way of `q` in cell c, into blocked_ (links whole): those of its
    /// teachers and groups, and the holders of the cheapest room of each lesson's list when
    /// none is free. The number of lessons in the way, with 1000 for each costly one; -1 when
    /// the cell is closed to it or something in the way may not move, -2 as soon as the
    /// weight passes `limit` (the cell is no better than one already found).
    long weigh(const std::vector<LL>& q, int c, long limit = LONG_MAX) {
        blocked_.clear();
        ++stamp_;
        long weight = 0;
        for (const LL& e : q)
            if (Model::level(e.rTeacher, c) >= RestrictionLevel::Forbidden ||
                Model::level(e.rScience, c) >= RestrictionLevel::Forbidden ||
                Model::level(e.rGroup, c) >= RestrictionLevel::Forbidden)
                return -1;
        auto take = [&](int j) {
            if (!movable(j)) return false;
            seen_[size_t(j)] = stamp_;
            blocked_.push_back(j);
            weight += costly(j) ? 1001 : 1 + bumped_[size_t(j)] / 2;
            return true;
        };
        auto block = [&](int x) {
            if (seen_[size_t(x)] == stamp_) return true;
            const int link = link_[size_t(x)];
            if (link < 0) return take(x);
            for (int j : byLink_.at(link, c))
                if (!take(j)) return false;
            return true;
        };
        for (const LL& e : q) {
            for (int x : byTeacher_.at(e.teacher, c))
                if (!(e.lecture && m_.recs[size_t(x)].LinkCode == e.O.LinkCode) && !block(x))
                    return -1;
            for (int x : byGroup_.at(e.group, c)) {
                const Schedule& s = m_.recs[size_t(x)];
                if ((e.O.SubGroupNum == 0 || s.SubGroupNum == 0 ||
                     s.SubGroupNum == e.O.SubGroupNum ||
                     m_.sci(s.ScienceCode).type != e.sgrpType) &&
                    !block(x))
                    return -1;
            }
            if (weight > limit) return -2;
        }
        Long chosen[64];
        for (size_t i = 0; i < q.size() && i < 64; ++i) {
            const LL& e = q[i];
            const RoomRef* best = nullptr;
            int fewest = INT_MAX;
            for (const RoomRef& rr : e.roomChoice->rooms) {
                if (rr.code == 0 || Model::level(rr.restr, c) >= RestrictionLevel::Forbidden)
                    continue;
                bool taken = false;
                if (!e.lecture)
                    for (size_t j = 0; j < i && !taken; ++j)
                        taken = chosen[j] == rr.code;
                if (taken) continue;
                int holders = 0;
                bool ok = true;
                if (m_.roomAt(rr.idx, c) > 0)
                    for (int x : byRoom_.at(rr.idx, c))
                        if (seen_[size_t(x)] != stamp_) {
                            ok = ok && movable(x);
                            ++holders;
                        }
                if (ok && holders < fewest) {
                    best = &rr;
                    fewest = holders;
                    if (holders == 0) break;
                }
            }
            if (!best) return -1;
            chosen[i] = best->code;
            if (fewest > 0)
                for (int x : byRoom_.at(best->idx, c))
                    if (!block(x)) return -1;
        }
        return weight;
    }

    /// The cell for `unit`: the lightest weighing outside the tabu list (a free cell always
    /// counts), ties and now and then any cell taken at random; -1 when none takes it.
    int choose(const std::vector<int>& unit, const std::vector<LL>& q, std::vector<int>& out) {
        const bool walk = rng_() % 100 < 4;
        int best = -1;
        long bestScore = LONG_MAX;
        unsigned ties = 0;
        open_ = false;
        for (int c = 0; c < m_.nC; ++c) {
            // An earlier lesson going back to the cell it had costs nothing.
            long bonus = 0;
            for (int i : unit)
                if (!own[size_t(i)] && m_.movableEarlier[size_t(i)]) {
                    const auto it = original.find(i);
                    if (it != original.end() &&
                        m_.cellOf(it->second.Week, it->second.DaySeqNumber, it->second.LessonNo) ==
                            c)
                        bonus += 1000;
                }
            const long limit = walk || bestScore == LONG_MAX ? LONG_MAX : bestScore + bonus;
            long w = weigh(q, c, limit);
            if (w == -1) continue;
            open_ = true;
            if (w < 0) continue;
            if (w > 0) {
                bool tabu = false;
                for (int i : unit)
                    tabu = tabu || tabu_[size_t(i) * size_t(m_.nC) + size_t(c)] > tick_;
                if (tabu) continue;
            }
            w -= bonus;
            const long score = walk ? (w <= 0 ? 0 : 1) : w;
            if (score < bestScore) {
                best = c;
                bestScore = score;
                ties = 1;
            } else if (score == bestScore && rng_() % ++ties == 0) {
                best = c;
            }
        }
        if (best >= 0) {
            weigh(q, best);
            out = blocked_;
        }
        return best;
    }
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
    auto over = [&] {
        return glo.ProcessingDisabled.load() == 1 || clock.elapsed() >= qint64(seconds) * 1000;
    };
    Chains chains(m, over);
    qint64 lastBreath = 0;
    chains.breathe = [&] {
        if (clock.elapsed() - lastBreath < 100) return;
        lastBreath = clock.elapsed();
        host.yield();
    };
    const bool earlierMay = std::find(m.movableEarlier.begin(), m.movableEarlier.end(), 1) !=
                            m.movableEarlier.end();
    // The tasks as they were, for a write that fails: its lessons stay unplaced.
    std::vector<std::vector<Kind>> kindsBefore;
    for (const Task& t : m.tasks)
        kindsBefore.push_back(t.kinds);
    const int entriesBefore = m.entries;

    int placed = 0, moves = 0;
    std::vector<int> placedRecords;
    std::vector<LL> q;
    long budget = 64; // placements per chain in the first round
    bool left = true;
    while (left && !over()) {
        bool progress = false;
        left = false;
        bool tried = false; // a chain that ran out of budget: a larger one may close
        for (Task& task : m.tasks) {
            if (over()) break;
            const Kind* kind = task.firstByCount();
            if (!kind) continue;
            const Schedule T = kind->entries.front();
            m.build(T, q);
            std::vector<int> targets;
            for (const LL& e : q)
                targets.push_back(m.findUnplaced(e.O, targets));
            if (q.empty() || std::find(targets.begin(), targets.end(), -1) != targets.end())
                continue;
            left = true;
            int moved = 0;
            chains.earlier = false;
            bool done = chains.close(targets, budget, moved);
            if (!done && earlierMay && !over()) {
                chains.earlier = true;
                done = chains.shortest(targets, 6, 3, moved) ||
                       chains.close(targets, budget, moved);
            }
            if (!done) {
                tried = tried || !chains.hopeless;
                continue;
            }
            placedRecords.insert(placedRecords.end(), targets.begin(), targets.end());
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
        if (!progress && !tried) break;
        if (!progress) budget = std::min(budget * 2, 1L << 22);
    }

    // Every record whose place differs from the one it had, in one transaction.
    std::vector<int> changed;
    for (const auto& [i, s] : chains.original)
        if (!samePlace(m.recs[size_t(i)], s)) changed.push_back(i);
    std::sort(changed.begin(), changed.end());
    const bool written = writePlaces(changed);
    if (written) {
        for (int i : placedRecords)
            m.placedByRun[size_t(i)] = 1;
        // An earlier lesson moved is noted once, with the place it had before the run; one
        // that ended where it was did not move.
        for (int i : changed) {
            if (!m.movableEarlier[size_t(i)] || m.placedByRun[size_t(i)]) continue;
            if (std::none_of(m.movedEarlier.begin(), m.movedEarlier.end(),
                             [&](const auto& e) { return e.first == i; }))
                m.movedEarlier.emplace_back(i, chains.original.at(i));
        }
        std::erase_if(m.movedEarlier, [&](const auto& e) {
            return chains.original.count(e.first) && samePlace(e.second, m.recs[size_t(e.first)]);
        });
    } else {
        // Nothing was written: the model and the tasks go back to the disk's timetable.
        chains.restoreAll();
        for (size_t t = 0; t < m.tasks.size(); ++t) {
            m.tasks[t].kinds = kindsBefore[t];
            m.tasks[t].nslMax = m.tasks[t].maxNsl();
        }
        m.entries = entriesBefore;
        placed = moves = 0;
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
