// The double lessons of a placed school put side by side before the gap compaction is
// measured: the placing phase places a pair's halves hour by hour, an officer puts them
// together.

#include "Bench.h"

#include "tamsel/Dictionary.h"
#include "tamsel/Transaction.h"

#include <map>
#include <set>

using namespace tamsel;

namespace bench {

/// The officer's way with double lessons, which the placing phase places hour by hour: each
/// pair's second half goes beside its first (the next bell, else the one before) where its
/// teacher, group and room are free and no restriction forbids it, or trades cells with the
/// single unlinked lesson of the group there when both cells then suit both. Returns the
/// pairs that are then side by side, -1 when writing fails.
int joinPairs(Dictionary& dict) {
    const FileUse bellsUse(dict.store(), FileId::LessonBell);
    const FileUse restrictionsUse(dict.store(), FileId::Restriction);
    std::vector<QString> bells;
    for (const LessonBell& b : dict.access<LessonBell>().all(LessonBell::NumberKey))
        bells.push_back(b.LessonNo);
    using Cell = std::tuple<Short, Short, QString>;
    std::set<std::tuple<Short, Short, Cell>> forbidden; // object type, code, cell
    for (const Restriction& r : dict.access<Restriction>().all(Restriction::ObjectIdKey))
        if (r.Restriction >= RestrictionLevel::Forbidden)
            forbidden.insert({r.ObjectType, r.ObjectCode, Cell{r.Week, r.DaySeqNumber, r.LessonNo}});
    Transaction tx(dict.store(), {FileId::Schedule});
    auto sch = tx.access<Schedule>();
    std::vector<Schedule> all = sch.all(Schedule::ItemCode);
    const auto cellOf = [](const Schedule& s) { return Cell{s.Week, s.DaySeqNumber, s.LessonNo}; };
    std::map<std::tuple<int, Long, Cell>, std::vector<size_t>> at; // teacher 0, group 1, room 2
    const auto keys = [&](const Schedule& s) {
        std::vector<std::tuple<int, Long, Cell>> k{{0, s.TeacherCode, cellOf(s)},
                                                   {1, s.GroupCode, cellOf(s)}};
        if (s.RoomCode != 0) k.push_back({2, s.RoomCode, cellOf(s)});
        return k;
    };
    const auto enter = [&](size_t i, bool in) {
        for (const auto& k : keys(all[i])) {
            auto& v = at[k];
            if (in) v.push_back(i);
            else std::erase(v, i);
        }
    };
    for (size_t i = 0; i < all.size(); ++i)
        if (!all[i].isUnplaced()) enter(i, true);
    // Whether lesson i may stand in cell c, the lesson `except` gone from there.
    const auto suits = [&](size_t i, const Cell& c, size_t except) {
        Schedule s = all[i];
        s.Week = std::get<0>(c);
        s.DaySeqNumber = std::get<1>(c);
        s.LessonNo = std::get<2>(c);
        for (const auto& k : keys(s))
            for (size_t o : at[k])
                if (o != except && o != i) return false;
        return !forbidden.count({ObjectType::Teacher, s.TeacherCode, c}) &&
               !forbidden.count({ObjectType::Group, s.GroupCode, c}) &&
               !forbidden.count({ObjectType::Science, s.ScienceCode, c}) &&
               !(s.RoomCode == Long(Short(s.RoomCode)) &&
                 forbidden.count({ObjectType::Room, Short(s.RoomCode), c}));
    };
    const auto moveTo = [&](size_t i, const Cell& c) {
        enter(i, false);
        std::tie(all[i].Week, all[i].DaySeqNumber, all[i].LessonNo) = c;
        enter(i, true);
        return sch.update(all[i]).ok();
    };
    const auto bellAt = [&](const QString& no, int step) -> QString {
        const auto it = std::find(bells.begin(), bells.end(), no);
        const auto k = (it - bells.begin()) + step;
        return it == bells.end() || k < 0 || k >= ptrdiff_t(bells.size()) ? QString()
                                                                           : bells[size_t(k)];
    };
    std::vector<char> used(all.size(), 0);
    int joined = 0;
    constexpr size_t none = size_t(-1);
    for (size_t i = 0; i < all.size(); ++i) {
        const Schedule& h1 = all[i];
        if (h1.isUnplaced() || h1.CoupledLesson != 1 || h1.LinkCode != 0 || used[i]) continue;
        for (size_t j = 0; j < all.size(); ++j) {
            const Schedule& h2 = all[j];
            if (used[j] || h2.isUnplaced() || h2.CoupledLesson != 2 || h2.LinkCode != 0 ||
                h2.Pinned || h2.TrainingCourseItemCode != h1.TrainingCourseItemCode ||
                h2.GroupCode != h1.GroupCode || h2.SubGroupNum != h1.SubGroupNum ||
                h2.TeacherCode != h1.TeacherCode || h2.ScienceCode != h1.ScienceCode)
                continue;
            used[i] = used[j] = 1;
            for (int step : {1, -1}) {
                const QString bell = bellAt(h1.LessonNo, step);
                if (bell.isEmpty()) continue;
                const Cell c{h1.Week, h1.DaySeqNumber, bell};
                const Cell old = cellOf(h2);
                if (c == old) {
                    ++joined;
                    break;
                }
                const std::vector<size_t> there = at[{1, h2.GroupCode, c}];
                size_t x = none;
                if (there.size() == 1) {
                    const Schedule& o = all[there[0]];
                    if (o.CoupledLesson != 0 || o.LinkCode != 0 || o.Pinned) continue;
                    x = there[0];
                } else if (!there.empty()) {
                    continue;
                }
                if (!suits(j, c, x) || (x != none && !suits(x, old, j))) continue;
                if (!moveTo(j, c) || (x != none && !moveTo(x, old))) return -1;
                ++joined;
                break;
            }
            break;
        }
    }
    return tx.commit().ok() ? joined : -1;
}

} // namespace bench
