// Planted samples: a school built around a complete timetable. The plan is filled up to the
// chosen share of the groups' week, every lesson is given a cell, a teacher and a room in turn
// under the rules of the timetable (no teacher, group or room twice in a cell, a lecture's
// groups together with one teacher in one room, a class's halves together with two teachers
// in two rooms, rooms from the teacher's room list), and only then are the load and the
// forbidden cells derived from it. Where the school's own teachers or rooms run out, the
// planting takes on another teacher of the speciality or builds another room, so a complete
// timetable always exists.

#include "SampleModel.h"

#include <algorithm>
#include <cmath>

namespace sample::model {

int Builder::plannedHours() const {
    int total = 0;
    for (const ItemDef& it : items_) {
        const int entries = it.single + 2 * ((it.coupled + 1) / 2);
        for (const GroupDef& g : groups_)
            if (g.course == it.course && g.stream == it.stream) total += entries;
    }
    return total;
}

void Builder::fillPlan() {
    const int target = static_cast<int>(std::lround(opt_.planted * cells_));
    std::set<std::pair<int, int>> present;
    for (const ItemDef& it : items_)
        present.insert({it.course, it.stream});
    for (auto [course, stream] : present) {
        std::vector<size_t> own;
        for (size_t i = 0; i < items_.size(); ++i)
            if (items_[i].course == course && items_[i].stream == stream) own.push_back(i);
        auto hours = [&] {
            int h = 0;
            for (size_t i : own)
                h += items_[i].single + 2 * ((items_[i].coupled + 1) / 2);
            return h;
        };
        // More hours go to the subjects a whole class hears, the largest first, in turn.
        std::vector<size_t> whole;
        for (size_t i : own)
            if (!Subjects[items_[i].subject].split) whole.push_back(i);
        std::stable_sort(whole.begin(), whole.end(), [&](size_t a, size_t b) {
            return items_[a].single + items_[a].coupled > items_[b].single + items_[b].coupled;
        });
        for (size_t turn = 0; hours() < target && !whole.empty(); ++turn)
            ++items_[whole[turn % whole.size()]].single;
        // Fewer: single hours off the largest subjects, then pairs.
        while (hours() > target) {
            size_t best = items_.size();
            for (size_t i : own)
                if (items_[i].single > 0 &&
                    (best == items_.size() || items_[i].single > items_[best].single))
                    best = i;
            if (best != items_.size()) {
                --items_[best].single;
                continue;
            }
            for (size_t i : own)
                if (items_[i].coupled >= 2) best = i;
            if (best == items_.size()) break;
            items_[best].coupled -= 2;
        }
    }
    std::erase_if(items_, [](const ItemDef& it) { return it.single + it.coupled == 0; });
}

void Builder::addTeachersForPlan(int hoursBefore) {
    // As many teachers as the sample has for its usual hours, in proportion, and some more.
    const int after = plannedHours();
    if (hoursBefore > 0 && after > hoursBefore)
        size_.teachers = (size_.teachers * after * 11 + hoursBefore * 10 - 1) / (hoursBefore * 10);
}

std::vector<int> Builder::roomsFor(int teacher, int subject) const {
    // The rule by which the teachers' room lists are built.
    const TeacherDef& t = teachers_[static_cast<size_t>(teacher)];
    const RoomKind main = Subjects[subject].mainRoom, extra = Subjects[subject].additionalRoom;
    auto suits = [&](int r) {
        const RoomKind k = rooms_[static_cast<size_t>(r)].kind;
        return main == NoRoomType || k == main || (extra != NoRoomType && k == extra);
    };
    std::vector<int> out;
    if (t.mainRoom >= 0) {
        if (suits(t.mainRoom)) out.push_back(t.mainRoom);
        if (t.additionalRoom >= 0 && suits(t.additionalRoom)) out.push_back(t.additionalRoom);
        return out;
    }
    if (t.additionalRoom >= 0 && suits(t.additionalRoom)) out.push_back(t.additionalRoom);
    auto ofKind = [&](RoomKind kind) {
        for (int r = 0; r < static_cast<int>(rooms_.size()); ++r)
            if (rooms_[static_cast<size_t>(r)].kind == kind) out.push_back(r);
    };
    if (main != NoRoomType) ofKind(main);
    if (extra != NoRoomType) ofKind(extra);
    if (main == NoRoomType) ofKind(CommonRoom);
    return out;
}

bool Builder::plant(QString* error) {
    const int C = cells_;
    using Busy = std::vector<std::vector<char>>;
    Busy groupBusy(groups_.size(), std::vector<char>(size_t(C), 0));
    Busy teacherBusy(teachers_.size(), std::vector<char>(size_t(C), 0));
    Busy roomBusy(rooms_.size(), std::vector<char>(size_t(C), 0));
    planted_.assign(kinds_.size(), {});
    for (size_t k = 0; k < kinds_.size(); ++k)
        planted_[k].assign(size_t(kinds_[k].entries), Placed{});

    // What is placed together: a lecture's groups (one teacher, one room), a class's linked
    // halves (a teacher and a room each), or one kind. Every entry of a kind keeps one
    // teacher, as a school gives a class's subject to one teacher.
    struct Unit {
        std::vector<int> kinds;
        bool lecture;
    };
    std::vector<Unit> units;
    std::vector<char> linked(kinds_.size(), 0);
    for (const LinkDef& l : links_) {
        for (int k : l.kinds)
            linked[size_t(k)] = 1;
        units.push_back({l.kinds, l.lecture});
    }
    for (int k = 0; k < static_cast<int>(kinds_.size()); ++k)
        if (!linked[size_t(k)]) units.push_back({{k}, false});
    // Linked units first (they need more at once), then the kinds with most lessons.
    rnd_.shuffle(units);
    std::stable_sort(units.begin(), units.end(), [&](const Unit& a, const Unit& b) {
        if ((a.kinds.size() > 1) != (b.kinds.size() > 1)) return a.kinds.size() > 1;
        return kinds_[size_t(a.kinds.front())].entries > kinds_[size_t(b.kinds.front())].entries;
    });

    auto subjectOf = [&](int k) { return items_[size_t(kinds_[size_t(k)].item)].subject; };
    auto freeRoom = [&](int t, int subject, int c, const std::vector<int>& taken) {
        for (int r : roomsFor(t, subject))
            if (!roomBusy[size_t(r)][size_t(c)] &&
                std::find(taken.begin(), taken.end(), r) == taken.end())
                return r;
        return -1;
    };
    auto newTeacher = [&](int specialty) {
        teachers_.push_back({specialty, uniqueTeacherName()});
        teacherBusy.emplace_back(size_t(C), 0);
        return static_cast<int>(teachers_.size()) - 1;
    };
    // A room for teacher t in cell c; a teacher without rooms of their own gets a new room of
    // the kind the subject asks for when none is free.
    auto roomFor = [&](int t, int subject, int c, const std::vector<int>& taken) {
        int r = freeRoom(t, subject, c, taken);
        if (r >= 0 || teachers_[size_t(t)].mainRoom >= 0) return r;
        const RoomKind kind =
            Subjects[subject].mainRoom == NoRoomType ? CommonRoom : Subjects[subject].mainRoom;
        const int count = static_cast<int>(std::count_if(
            rooms_.begin(), rooms_.end(), [&](const RoomDef& x) { return x.kind == kind; }));
        rooms_.push_back({kind, roomNumber(kind, count)});
        roomBusy.emplace_back(size_t(C), 0);
        return static_cast<int>(rooms_.size()) - 1;
    };

    for (TeacherDef& t : teachers_)
        t.load = 0;
    for (const Unit& unit : units) {
        const int entries = kinds_[size_t(unit.kinds.front())].entries;
        const size_t n = unit.lecture ? 1 : unit.kinds.size(); // teachers needed
        // The cells where the unit's groups are free, in random order.
        std::vector<int> free;
        for (int c = 0; c < C; ++c)
            if (std::all_of(unit.kinds.begin(), unit.kinds.end(), [&](int k) {
                    return !groupBusy[size_t(kinds_[size_t(k)].group)][size_t(c)];
                }))
                free.push_back(c);
        rnd_.shuffle(free);
        if (static_cast<int>(free.size()) < entries) {
            if (error)
                *error = u("Уроки группы %1 не помещаются в неделю")
                             .arg(groupId(kinds_[size_t(unit.kinds.front())].group));
            return false;
        }
        // The cells of `free` where teachers ts can work together, each with a room.
        auto cellsFor = [&](const std::vector<int>& ts, bool build) {
            std::vector<std::pair<int, std::vector<int>>> out;
            for (int c : free) {
                std::vector<int> rs;
                bool ok = true;
                for (size_t i = 0; i < ts.size() && ok; ++i) {
                    const int t = ts[i];
                    if (teacherBusy[size_t(t)][size_t(c)]) {
                        ok = false;
                        break;
                    }
                    const int subject = subjectOf(unit.kinds[i]);
                    const int r = build ? roomFor(t, subject, c, rs) : freeRoom(t, subject, c, rs);
                    if (r < 0) ok = false;
                    rs.push_back(r);
                }
                if (ok) out.push_back({c, rs});
                if (static_cast<int>(out.size()) == entries) break;
            }
            return out;
        };
        // The kinds' own teachers; else, kind by kind, the free-est teacher of the speciality
        // with enough common cells; else a new teacher, free in every cell.
        std::vector<int> ts;
        for (size_t i = 0; i < n; ++i)
            ts.push_back(kinds_[size_t(unit.kinds[i])].teacher);
        auto cells = cellsFor(ts, false);
        for (size_t i = 0; i < n && static_cast<int>(cells.size()) < entries; ++i) {
            const int specialty = Subjects[subjectOf(unit.kinds[i])].specialty;
            std::vector<int> others;
            for (int x = 0; x < static_cast<int>(teachers_.size()); ++x)
                if (teachers_[size_t(x)].specialty == specialty &&
                    std::find(ts.begin(), ts.end(), x) == ts.end())
                    others.push_back(x);
            std::stable_sort(others.begin(), others.end(), [&](int a, int b) {
                return teachers_[size_t(a)].load < teachers_[size_t(b)].load;
            });
            const int own = ts[i];
            for (int x : others) {
                ts[i] = x;
                cells = cellsFor(ts, false);
                if (static_cast<int>(cells.size()) >= entries) break;
            }
            if (static_cast<int>(cells.size()) < entries) ts[i] = own;
        }
        if (static_cast<int>(cells.size()) < entries) {
            for (size_t i = 0; i < n; ++i)
                ts[i] = newTeacher(Subjects[subjectOf(unit.kinds[i])].specialty);
            cells = cellsFor(ts, true);
        }
        if (static_cast<int>(cells.size()) < entries) {
            if (error) *error = u("Расписание вокруг примера не удалось построить");
            return false;
        }
        for (int e = 0; e < entries; ++e) {
            const auto& [c, rs] = cells[size_t(e)];
            for (size_t i = 0; i < unit.kinds.size(); ++i) {
                const size_t j = unit.lecture ? 0 : i;
                const int k = unit.kinds[i];
                planted_[size_t(k)][size_t(e)] = {c, ts[j], rs[j]};
                groupBusy[size_t(kinds_[size_t(k)].group)][size_t(c)] = 1;
            }
            for (size_t j = 0; j < n; ++j) {
                teacherBusy[size_t(ts[j])][size_t(c)] = 1;
                ++teachers_[size_t(ts[j])].load;
                roomBusy[size_t(rs[j])][size_t(c)] = 1;
            }
        }
    }
    return true;
}

void Builder::keepForbiddenCellsFree() {
    // Forbidden cells only where the planted timetable leaves the object free.
    const int L = size_.lessonsPerDay;
    std::set<std::tuple<Short, int, int>> busy; // (object type, object, cell)
    for (size_t k = 0; k < kinds_.size(); ++k)
        for (const Placed& p : planted_[k]) {
            busy.insert({ObjectType::Group, kinds_[k].group, p.cell});
            busy.insert({ObjectType::Teacher, p.teacher, p.cell});
            busy.insert({ObjectType::Room, p.room, p.cell});
        }
    std::erase_if(restrictions_, [&](const RestrictionDef& r) {
        const int cell = (r.cell.day - 1) * L + (r.cell.lesson - 1);
        return r.level >= RestrictionLevel::Forbidden && busy.count({r.objectType, r.object, cell});
    });
}

} // namespace sample::model
