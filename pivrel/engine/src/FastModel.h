#pragma once

// The in-memory model of the fast placement path: the timetable, rooms, links and
// restrictions of a run as indexes, kept in step with every placement. Private to the engine.

#include "FastPlacement.h"

#include "tamsel/Transaction.h"

#include <QSet>
#include <algorithm>
#include <map>
#include <unordered_map>

namespace pivrel {

using namespace tamsel;

namespace fast {

inline quint32 pairKey(qint32 a, qint32 b) {
    return (static_cast<quint32>(static_cast<quint16>(a)) << 16) | static_cast<quint16>(b);
}
inline quint64 kindKey(Short item, Short group, Short sub) {
    return (static_cast<quint64>(static_cast<quint16>(item)) << 32) |
           (static_cast<quint64>(static_cast<quint16>(group)) << 16) | static_cast<quint16>(sub);
}

struct GroupCellEntry {
    Short sub;
    Short type; ///< subgroup type of the lesson's subject
};
struct DayEntry {
    Short science;
    Short sub;
    Short cycle;
};
struct TeacherCell {
    RowId firstRow = 0; ///< the lesson a teacher key read finds first (lowest row id)
    Short firstLink = 0;
};
struct VCell {
    short main = 0;
    short add = 0;
    bool valid = false;
    int checkedAt = 0; ///< the task's version this cell was last checked with (same cache line)
};

struct Kind {
    Short sci, tch, grp, sub;
    Long room;
    std::deque<Schedule> entries;
    int nsl = 0; ///< NumberOfSuchLessons as last counted
    bool operator<(const Kind& o) const {
        return std::tie(sci, tch, grp, sub, room) < std::tie(o.sci, o.tch, o.grp, o.sub, o.room);
    }
};

/// A room of a teacher's list for a subject, resolved once: its occupancy row and restrictions.
struct RoomRef {
    Long code = 0;
    int idx = -1;
    const std::vector<short>* restr = nullptr;
};

/// A teacher's rooms for a subject, resolved once, and per cell the point from which the
/// search for a free room starts: the rooms before it are occupied or forbidden there. The
/// placing phase only adds lessons, so the point only moves on; a lesson taken out of a cell
/// (the repair) raises the cell's epoch, which restarts that cell's searches.
struct RoomChoice {
    std::vector<RoomRef> rooms;
    struct SearchStart {
        quint32 epoch = 0;
        quint32 from = 0;
    };
    std::vector<SearchStart> start; ///< per cell, sized on the first search
};

/// One lesson of a gathered group with what the checks need, resolved once.
struct LL {
    Schedule O;
    int teacher = -1;
    int group = -1;
    bool lecture = false;             ///< of its own link (O.LinkCode)
    RoomChoice* roomChoice = nullptr; ///< the teacher's rooms for the subject
    Short sgrpType = 0;
    Short cycle = 0;
    int cycleMax = 0;
    const std::vector<short>* rTeacher = nullptr;
    const std::vector<short>* rScience = nullptr;
    const std::vector<short>* rGroup = nullptr;
    Long room = 0;                    ///< N.RoomCode
    const RoomRef* roomRef = nullptr; ///< of `room`, once a check chose it
};

/// Whether task entry `x` is of the lesson `o` a placement wrote (the entry it leaves).
inline bool sameEntry(const Schedule& x, const Schedule& o) {
    return x.ScienceCode == o.ScienceCode && x.TeacherCode == o.TeacherCode &&
           x.GroupCode == o.GroupCode && x.SubGroupNum == o.SubGroupNum &&
           x.TrainingCourseItemCode == o.TrainingCourseItemCode &&
           x.CoupledLesson == o.CoupledLesson && x.LinkCode == o.LinkCode;
}

struct Task {
    // What the re-evaluation after a placement needs, so that it judges again only what the
    // placement can have changed: the lessons the task would gather now (`q`, a new `version`
    // whenever they change), the objects they use, and the version each cell was last checked
    // (in `v`) and each day last graded with. The fields read for every task after every
    // placement come first, in one cache line.
    Short link = 0;
    bool evaluated = false;
    int nv = 0;
    int nslMax = 0; ///< maxNsl() as the kinds were last counted: the task choice reads it
    int version = 0;
    /// The objects of the gathering folded into 64 bits each: a placement that shares no bit
    /// with them cannot touch the task, and most placements are ruled out without the lists.
    quint64 teacherSig = 0, groupSig = 0, roomSig = 0;
    std::vector<VCell> v;    ///< per cell
    std::vector<Kind> kinds; ///< in kind order
    std::vector<LL> q;
    std::vector<int> teachers, groups;
    std::vector<quint64> roomBits; ///< the rooms exactly (lists are long: common rooms)
    std::vector<int> gradedAt;     ///< per day of the cycle

    bool empty() const {
        for (const Kind& k : kinds)
            if (!k.entries.empty()) return false;
        return true;
    }
    /// First entry in kind order (a look-up by link code after the kinds were counted).
    const Schedule* firstByKind() const {
        for (const Kind& k : kinds)
            if (!k.entries.empty()) return &k.entries.front();
        return nullptr;
    }
    int maxNsl() const {
        int m = 0;
        for (const Kind& k : kinds)
            if (!k.entries.empty()) m = std::max(m, k.nsl);
        return m;
    }
    /// First entry when the queue is ordered by NumberOfSuchLessons descending.
    const Kind* firstByCount() const {
        const Kind* best = nullptr;
        for (const Kind& k : kinds)
            if (!k.entries.empty() && (!best || k.nsl > best->nsl)) best = &k;
        return best;
    }
};

enum class TaskOrder { Kind, Freedom, LinkCode };
enum class VariantOrder { Insert, Choice };

} // namespace fast

using namespace fast;

struct FastPlacement::Model {
    Dictionary& dict;
    explicit Model(Dictionary& d) : dict(d) {}
    /// Reads cells, reference data, restrictions and every lesson; false when a file fails.
    bool loadData();

    // Cells
    int nW = 0, nD = 0, nL = 0, nC = 0;
    std::vector<Short> days;
    std::vector<QString> lessons;
    std::vector<QString> dayNames; ///< padded to 15
    QHash<Short, int> dayIndex;
    QHash<QString, int> lessonIndex;
    std::vector<int> choiceRank; ///< rank of a cell in (LessonNo, Day, Week) order
    int cellOf(Short w, Short d, const QString& l) const {
        if (w < 1 || w > nW) return -1;
        const auto di = dayIndex.constFind(d);
        if (di == dayIndex.constEnd()) return -1;
        const auto li = lessonIndex.constFind(l);
        if (li == lessonIndex.constEnd()) return -1;
        return ((w - 1) * nD + *di) * nL + *li;
    }
    Short weekOf(int c) const { return static_cast<Short>(c / (nD * nL) + 1); }
    int dayIdxOf(int c) const { return (c / nL) % nD; }
    int lessonIdxOf(int c) const { return c % nL; }

    // Reference data
    struct SciInfo {
        Short type = 0, cycle = 0;
        QString name; ///< padded to 20
    };
    QHash<Short, SciInfo> sciences;
    QHash<Short, int> cycleMax;
    QHash<quint32, std::vector<Long>> roomLists;
    struct LinkInfo {
        bool lecture = false;
        QString name;
        std::vector<LsnLinkComp> comps;
    };
    QHash<Short, LinkInfo> links;
    QHash<Short, QString> teacherNames, groupIds;
    QHash<quint32, std::vector<short>> restrictions; ///< (type, code) -> level per cell
    /// Room lists resolved on first use; node-based, so that the lessons' pointers stay valid.
    std::unordered_map<quint32, RoomChoice> resolvedRoomLists;
    std::vector<quint32> cellEpoch; ///< per cell: lessons taken out of it (see RoomChoice)

    // Timetable
    std::vector<Schedule> recs;
    QSet<RowId> loadedRows;
    QHash<quint64, std::vector<int>> unplacedByKind; ///< rowid order
    QHash<Short, int> teacherIdx, groupIdx;
    QHash<Long, int> roomIdx;
    std::vector<TeacherCell> teacherCells;
    /// Lessons per room and cell, cell-major: the check of a cell scans a room list, and the
    /// rooms of one cell side by side keep that scan in a few cache lines.
    std::vector<quint16> roomCells;
    size_t roomStride = 0;
    quint16& roomAt(int room, int c) { return roomCells[size_t(c) * roomStride + size_t(room)]; }
    void growRooms(size_t stride) {
        std::vector<quint16> wider(stride * size_t(nC), 0);
        for (size_t c = 0; c < size_t(nC); ++c)
            std::copy_n(roomCells.begin() + ptrdiff_t(c * roomStride), roomStride,
                        wider.begin() + ptrdiff_t(c * stride));
        roomCells.swap(wider);
        roomStride = stride;
    }
    std::vector<std::vector<GroupCellEntry>> groupCells;
    std::vector<std::vector<DayEntry>> groupDays;
    bool partial = false;

    // Tasks
    std::vector<Task> tasks;
    QHash<Short, int> taskByLink;
    std::vector<std::vector<int>> cellTasks;
    std::vector<std::vector<int>> dayTasks; ///< per day of the cycle: tasks with a variant in it
    int entries = 0;
    long totalVariants = 0;
    TaskOrder taskOrder = TaskOrder::Kind;
    VariantOrder variantOrder = VariantOrder::Insert;

    // Writing
    std::unique_ptr<Transaction> tx;
    int uncommitted = 0;
    bool writeFailed = false;
    int written = 0; ///< lessons the last placement wrote

    const SciInfo& sci(Short code) const {
        static const SciInfo none;
        const auto it = sciences.constFind(code);
        return it == sciences.constEnd() ? none : *it;
    }
    const std::vector<short>* restr(Short type, long code) const {
        if (code != static_cast<Short>(code)) return nullptr;
        const auto it = restrictions.constFind(pairKey(type, static_cast<Short>(code)));
        return it == restrictions.constEnd() ? nullptr : &*it;
    }
    static short level(const std::vector<short>* r, int c) { return r ? (*r)[size_t(c)] : 0; }

    /// Room for every object of the files, so that entering one never moves the others'
    /// cells (a vector of vectors moved per new group made loading quadratic).
    void reserveObjects(qint64 teachers, qint64 groups, qint64 rooms) {
        teacherCells.reserve(size_t(teachers + 1) * size_t(nC));
        groupCells.reserve(size_t(groups + 1) * size_t(nC));
        groupDays.reserve(size_t(groups + 1) * size_t(nW * nD));
        if (size_t(rooms + 1) > roomStride) growRooms(size_t(rooms + 1));
    }
    int teacherOf(Short code) {
        auto it = teacherIdx.constFind(code);
        if (it != teacherIdx.constEnd()) return *it;
        const int i = teacherIdx.size();
        teacherIdx.insert(code, i);
        teacherCells.resize(teacherCells.size() + size_t(nC));
        return i;
    }
    int groupOf(Short code) {
        auto it = groupIdx.constFind(code);
        if (it != groupIdx.constEnd()) return *it;
        const int i = groupIdx.size();
        groupIdx.insert(code, i);
        groupCells.resize(groupCells.size() + size_t(nC));
        groupDays.resize(groupDays.size() + size_t(nW * nD));
        return i;
    }
    int roomOf(Long code) {
        auto it = roomIdx.constFind(code);
        if (it != roomIdx.constEnd()) return *it;
        const int i = roomIdx.size();
        roomIdx.insert(code, i);
        if (size_t(i) >= roomStride) growRooms(std::max<size_t>(roomStride * 2, 64));
        return i;
    }

    /// Enters a stored lesson into the occupancy of its cell and day.
    void occupy(const Schedule& s) {
        const int teacher = teacherOf(s.TeacherCode);
        const int group = groupOf(s.GroupCode);
        const int room = roomOf(s.RoomCode);
        if (s.Week >= 1 && s.Week <= nW) {
            const auto di = dayIndex.constFind(s.DaySeqNumber);
            if (di != dayIndex.constEnd()) {
                const SciInfo& si = sci(s.ScienceCode);
                groupDays[size_t(group) * size_t(nW * nD) + size_t((s.Week - 1) * nD + *di)]
                    .push_back({s.ScienceCode, s.SubGroupNum, si.cycle});
                const int c = cellOf(s.Week, s.DaySeqNumber, s.LessonNo);
                if (c >= 0) {
                    TeacherCell& t = teacherCells[size_t(teacher) * size_t(nC) + size_t(c)];
                    if (t.firstRow == 0 || s.rowId < t.firstRow) {
                        t.firstRow = s.rowId;
                        t.firstLink = s.LinkCode;
                    }
                    ++roomAt(room, c);
                    groupCells[size_t(group) * size_t(nC) + size_t(c)].push_back(
                        {s.SubGroupNum, si.type});
                }
            }
        }
    }

    // What the repair phase needs: which lessons this run placed (only they may move) and the
    // placed lessons of every cell.
    std::vector<char> placedByRun;           ///< per record
    std::vector<std::vector<int>> recordsAt; ///< per cell, while the repair runs
    /// Lessons placed before the run that a re-run with minimal changes lets the repair move
    /// (never a pinned one). Each one moved counts: the repair keeps them few.
    std::vector<char> movableEarlier; ///< per record
    /// Filled by the repair: the earlier lessons it moved, each with the place it had.
    std::vector<std::pair<int, Schedule>> movedEarlier;
    bool mayMove(int i) const { return placedByRun[size_t(i)] || movableEarlier[size_t(i)]; }

    /// Takes a stored lesson out of the occupancy of its cell and day (the inverse of
    /// occupy); the teacher's cell is recomputed from the other lessons of the cell.
    void vacate(const Schedule& s) {
        const int teacher = teacherOf(s.TeacherCode);
        const int group = groupOf(s.GroupCode);
        const int room = roomOf(s.RoomCode);
        if (s.Week < 1 || s.Week > nW) return;
        const auto di = dayIndex.constFind(s.DaySeqNumber);
        if (di == dayIndex.constEnd()) return;
        const SciInfo& si = sci(s.ScienceCode);
        auto& day = groupDays[size_t(group) * size_t(nW * nD) + size_t((s.Week - 1) * nD + *di)];
        const auto d = std::find_if(day.begin(), day.end(), [&](const DayEntry& x) {
            return x.science == s.ScienceCode && x.sub == s.SubGroupNum && x.cycle == si.cycle;
        });
        if (d != day.end()) day.erase(d);
        const int c = cellOf(s.Week, s.DaySeqNumber, s.LessonNo);
        if (c < 0) return;
        --roomAt(room, c);
        if (cellEpoch.empty()) cellEpoch.assign(size_t(nC), 0);
        ++cellEpoch[size_t(c)];
        auto& g = groupCells[size_t(group) * size_t(nC) + size_t(c)];
        const auto e = std::find_if(g.begin(), g.end(), [&](const GroupCellEntry& x) {
            return x.sub == s.SubGroupNum && x.type == si.type;
        });
        if (e != g.end()) g.erase(e);
        TeacherCell& t = teacherCells[size_t(teacher) * size_t(nC) + size_t(c)];
        t = TeacherCell{};
        if (size_t(c) < recordsAt.size())
            for (int i : recordsAt[size_t(c)]) {
                const Schedule& x = recs[size_t(i)];
                if (x.rowId == s.rowId || x.TeacherCode != s.TeacherCode) continue;
                if (t.firstRow == 0 || x.rowId < t.firstRow) {
                    t.firstRow = x.rowId;
                    t.firstLink = x.LinkCode;
                }
            }
    }

    /// The unplaced record a gathered lesson stands for, as a placement finds it: of its
    /// kind, the same subject, teacher, room, pair mark and link, not among `taken`; -1 when
    /// there is none.
    int findUnplaced(const Schedule& o, const std::vector<int>& taken) const {
        const auto it =
            unplacedByKind.constFind(kindKey(o.TrainingCourseItemCode, o.GroupCode, o.SubGroupNum));
        if (it == unplacedByKind.constEnd()) return -1;
        for (int i : *it) {
            const Schedule& s = recs[size_t(i)];
            if (!s.isUnplaced()) continue;
            const bool linkOk = o.LinkCode <= 0 ? s.LinkCode == 0 : s.LinkCode == o.LinkCode;
            if (s.ScienceCode == o.ScienceCode && s.TeacherCode == o.TeacherCode &&
                s.RoomCode == o.RoomCode && s.CoupledLesson == o.CoupledLesson && linkOk &&
                std::find(taken.begin(), taken.end(), i) == taken.end())
                return i;
        }
        return -1;
    }

    void addRecord(const Schedule& s) {
        if (loadedRows.contains(s.rowId)) return;
        loadedRows.insert(s.rowId);
        const int i = static_cast<int>(recs.size());
        recs.push_back(s);
        if (s.isUnplaced())
            unplacedByKind[kindKey(s.TrainingCourseItemCode, s.GroupCode, s.SubGroupNum)].push_back(
                i);
        else
            occupy(s);
    }

    void loadCells() {
        nW = std::max<int>(0, dict.glo.WeeksInCycle);
        for (const Days& d : dict.access<Days>().all(Days::SeqNumberKey)) {
            dayIndex.insert(d.DaySeqNumber, static_cast<int>(days.size()));
            days.push_back(d.DaySeqNumber);
            dayNames.push_back(names::pad(d.DayName, 15));
        }
        for (const LessonBell& b : dict.access<LessonBell>().all(LessonBell::NumberKey)) {
            lessonIndex.insert(b.LessonNo, static_cast<int>(lessons.size()));
            lessons.push_back(b.LessonNo);
        }
        nD = static_cast<int>(days.size());
        nL = static_cast<int>(lessons.size());
        nC = nW * nD * nL;
        std::vector<int> order(static_cast<size_t>(nC));
        for (int c = 0; c < nC; ++c)
            order[size_t(c)] = c;
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            if (const int x =
                    lessons[size_t(lessonIdxOf(a))].compare(lessons[size_t(lessonIdxOf(b))]))
                return x < 0;
            if (days[size_t(dayIdxOf(a))] != days[size_t(dayIdxOf(b))])
                return days[size_t(dayIdxOf(a))] < days[size_t(dayIdxOf(b))];
            return weekOf(a) < weekOf(b);
        });
        choiceRank.assign(size_t(nC), 0);
        for (int r = 0; r < nC; ++r)
            choiceRank[size_t(order[size_t(r)])] = r;
        cellTasks.assign(size_t(nC), {});
        dayTasks.assign(size_t(nW * nD), {});
    }

    void loadReference() {
        for (const Science& s : dict.access<Science>().all(Science::ScienceCodeKey))
            sciences.insert(s.ScienceCode,
                            SciInfo{s.SgrpTypCode, s.CycleCode, names::pad(s.Science, 20)});
        for (const ScienceCycle& c : dict.access<ScienceCycle>().all(ScienceCycle::CycleCodeKey))
            cycleMax.insert(c.CycleCode, c.LessonsPerDayMax);
        for (const RoomList& r : dict.access<RoomList>().all(RoomList::TeacherScienceKey))
            roomLists[pairKey(r.TeacherCode, r.ScienceCode)].push_back(r.RoomCode);
        for (const LsnLink& l : dict.access<LsnLink>().all(LsnLink::CodeKey))
            links.insert(l.LinkCode, LinkInfo{l.IsLecture != 0, names::rtrim(l.LinkName), {}});
        for (const LsnLinkComp& c : dict.access<LsnLinkComp>().all(LsnLinkComp::LinkCodeKey))
            links[c.LinkCode].comps.push_back(c);
        for (const Teacher& t : dict.access<Teacher>().all(Teacher::TeacherCodeKey))
            teacherNames.insert(t.TeacherCode, names::pad(t.TeacherName, 20));
        for (const Group& g : dict.access<Group>().all(Group::GroupCodeKey))
            groupIds.insert(g.GroupCode, names::groupId(g));
    }

    void addRestriction(const Restriction& r) {
        const int c = cellOf(r.Week, r.DaySeqNumber, r.LessonNo);
        if (c < 0) return;
        auto& v = restrictions[pairKey(r.ObjectType, r.ObjectCode)];
        if (v.empty()) v.assign(size_t(nC), 0);
        v[size_t(c)] = r.Restriction;
    }

    bool lectureOf(Short link) const {
        if (link == 0) return false;
        const auto it = links.constFind(link);
        return it != links.constEnd() && it->lecture;
    }

    LL resolve(const Schedule& o) {
        LL l;
        l.O = o;
        l.teacher = teacherOf(o.TeacherCode);
        l.group = groupOf(o.GroupCode);
        l.lecture = lectureOf(o.LinkCode);
        auto refs = resolvedRoomLists.find(pairKey(o.TeacherCode, o.ScienceCode));
        if (refs == resolvedRoomLists.end()) {
            const auto rl = roomLists.constFind(pairKey(o.TeacherCode, o.ScienceCode));
            RoomChoice v;
            if (rl != roomLists.constEnd())
                for (Long r : *rl)
                    v.rooms.push_back(RoomRef{r, roomOf(r), restr(ObjectType::Room, r)});
            refs = resolvedRoomLists.emplace(pairKey(o.TeacherCode, o.ScienceCode), std::move(v))
                       .first;
        }
        l.roomChoice = &refs->second;
        const SciInfo& si = sci(o.ScienceCode);
        l.sgrpType = si.type;
        l.cycle = si.cycle;
        l.cycleMax = cycleMax.value(si.cycle, 0);
        l.rTeacher = restr(ObjectType::Teacher, o.TeacherCode);
        l.rScience = restr(ObjectType::Science, o.ScienceCode);
        l.rGroup = restr(ObjectType::Group, o.GroupCode);
        return l;
    }

    /// The lowest-row unplaced lesson of a kind in link `link`, as a key read at the unplaced
    /// position finds it; a lesson of the kind outside the link does not move with it.
    const Schedule* firstUnplaced(Short item, Short group, Short sub, Short link) {
        auto it = unplacedByKind.find(kindKey(item, group, sub));
        if (it == unplacedByKind.end()) return nullptr;
        for (int i : *it)
            if (recs[size_t(i)].isUnplaced() && recs[size_t(i)].LinkCode == link)
                return &recs[size_t(i)];
        return nullptr;
    }

    /// BuildLinkLesQue for an unplaced lesson.
    void build(const Schedule& r, std::vector<LL>& q) {
        q.clear();
        if (r.LinkCode < 1) {
            q.push_back(resolve(r));
            return;
        }
        const auto it = links.constFind(r.LinkCode);
        if (it == links.constEnd()) return;
        for (const LsnLinkComp& c : it->comps)
            if (const Schedule* s =
                    firstUnplaced(c.TrainingCourseItemCode, c.GroupCode, c.SubGroupNum, r.LinkCode))
                q.push_back(resolve(*s));
    }

    /// EstimateVariant in automatic mode: the refusal code, or the sum of undesirable levels.
    long check(std::vector<LL>& q, int c) {
        long add = 0;
        for (size_t i = 0; i < q.size(); ++i) {
            LL& e = q[i];
            // SetLessonRoom / RoomIsAvaliable: the first room of the list that is free and
            // allowed in the cell and, but for a lecture, not taken by an earlier lesson.
            RoomChoice& list = *e.roomChoice;
            const auto unusable = [&](const RoomRef& rr) {
                return roomAt(rr.idx, c) > 0 || level(rr.restr, c) >= RestrictionLevel::Forbidden;
            };
            if (list.start.empty()) list.start.resize(size_t(nC));
            RoomChoice::SearchStart& from = list.start[size_t(c)];
            const quint32 epoch = cellEpoch.empty() ? 0 : cellEpoch[size_t(c)];
            if (from.epoch != epoch) from = {epoch, 0};
            size_t k = from.from;
            const size_t n = list.rooms.size();
            while (k < n && unusable(list.rooms[k]))
                ++k;
            from.from = quint32(k);
            const RoomRef* room = nullptr;
            for (; k < n && !room; ++k) {
                const RoomRef& rr = list.rooms[k];
                bool ok = true;
                if (!e.lecture)
                    for (size_t j = 0; j < i && ok; ++j)
                        if (q[j].room == rr.code) ok = false;
                if (ok && !unusable(rr)) room = &rr;
            }
            if (!room || room->code == 0) return Refusal::RoomOccupied;
            e.room = room->code;
            e.roomRef = room;
            const long r = sell(q, i, c);
            if (r < 0) return r;
            add += r;
        }
        return add;
    }

    /// SellIsAvaliable in automatic mode for entry i whose room is set.
    long sell(std::vector<LL>& q, size_t i, int c) {
        const LL& e = q[i];
        const Schedule& o = e.O;
        const bool lecture = e.lecture;
        long result = 0;
        if (o.LinkCode != 0)
            for (size_t j = 0; j < i; ++j) {
                if (q[j].room == e.room && !lecture) return Refusal::SameRoomInQueue;
                if (q[j].O.TeacherCode == o.TeacherCode && !lecture)
                    return Refusal::SameTeacherInQueue;
                if (q[j].O.GroupCode == o.GroupCode && q[j].O.SubGroupNum == o.SubGroupNum)
                    return Refusal::SameGroupInQueue;
            }
        short lv = level(e.roomRef->restr, c);
        if (lv >= RestrictionLevel::Forbidden) return Refusal::RoomRestricted;
        result += lv;
        lv = level(e.rTeacher, c);
        if (lv >= RestrictionLevel::Forbidden) return Refusal::TeacherRestricted;
        result += lv;
        lv = level(e.rScience, c);
        if (lv >= RestrictionLevel::Forbidden) return Refusal::SubjectRestricted;
        result += lv;
        lv = level(e.rGroup, c);
        if (lv >= RestrictionLevel::Forbidden) return Refusal::GroupRestricted;
        result += lv;
        if (!lecture && roomAt(e.roomRef->idx, c) > 0) return Refusal::RoomOccupied;
        if (teacherBusy(e, c)) return Refusal::TeacherBusy;
        if (const long g = groupRefusal(e, c); g < 0) return g;
        return result;
    }
    bool teacherBusy(const LL& e, int c) const {
        const TeacherCell& t = teacherCells[size_t(e.teacher) * size_t(nC) + size_t(c)];
        return t.firstRow != 0 && !(e.lecture && t.firstLink == e.O.LinkCode);
    }
    long groupRefusal(const LL& e, int c) const {
        const auto& g = groupCells[size_t(e.group) * size_t(nC) + size_t(c)];
        if (g.empty()) return 0;
        if (e.O.SubGroupNum == 0) return Refusal::GroupBusy;
        bool other = false;
        for (const GroupCellEntry& x : g) {
            if (x.sub == 0) return Refusal::WholeGroupBusy;
            if (x.sub == e.O.SubGroupNum || x.type != e.sgrpType) other = true;
        }
        return other ? Refusal::GroupBusy : 0;
    }

    /// EstimateDayLoad.
    short dayLoad(const std::vector<LL>& q, int c) const {
        const int wd = (weekOf(c) - 1) * nD + dayIdxOf(c);
        short R = 0;
        for (const LL& l : q) {
            const auto& day = groupDays[size_t(l.group) * size_t(nW * nD) + size_t(wd)];
            int count = 0;
            const Short sub = l.O.SubGroupNum;
            for (const DayEntry& x : day) {
                if (x.science == l.O.ScienceCode && (sub == 0 || x.sub == 0 || x.sub == sub))
                    return 2;
                if (x.cycle != l.cycle) continue;
                if (sub != 0 && x.sub != 0 && x.sub != sub) continue;
                if (++count > l.cycleMax) R = 1;
            }
        }
        return R;
    }

    QString description(const Schedule& l) const {
        if (l.LinkCode > 0) return links.value(l.LinkCode).name;
        return teacherNames.value(l.TeacherCode, names::pad(QString(), 20)) + QLatin1Char(' ') +
               groupIds.value(l.GroupCode, names::pad(QString(), 5)) +
               FormatSubGroup(dict.glo, l.SubGroupNum) + QLatin1Char(' ') +
               sci(l.ScienceCode).name.leftJustified(20, QLatin1Char(' '));
    }

    /// Makes `q` the task's gathering; a gathering of other lessons (teacher, group,
    /// subgroup, subject or link differ, or their order) gets a new version.
    void setGathering(Task& t, std::vector<LL>& q) {
        const auto same = [](const LL& a, const LL& b) {
            return a.O.TeacherCode == b.O.TeacherCode && a.O.GroupCode == b.O.GroupCode &&
                   a.O.SubGroupNum == b.O.SubGroupNum && a.O.ScienceCode == b.O.ScienceCode &&
                   a.O.LinkCode == b.O.LinkCode;
        };
        if (t.q.size() == q.size() && std::equal(t.q.begin(), t.q.end(), q.begin(), same)) return;
        ++t.version;
        t.q = q;
        t.teachers.clear();
        t.groups.clear();
        t.teacherSig = t.groupSig = t.roomSig = 0;
        for (const LL& l : t.q) {
            t.teachers.push_back(l.teacher);
            t.teacherSig |= sigBit(l.teacher);
            t.groups.push_back(l.group);
            t.groupSig |= sigBit(l.group);
        }
        t.roomBits.assign(roomIdx.size() / 64 + 1, 0);
        for (const LL& l : t.q)
            for (const RoomRef& r : l.roomChoice->rooms) {
                t.roomSig |= sigBit(r.idx);
                t.roomBits[size_t(r.idx) / 64] |= sigBit(r.idx);
            }
    }
    static quint64 sigBit(int index) { return quint64(1) << (unsigned(index) & 63u); }

    // The objects the last placement used, marked with the placement's stamp.
    std::vector<int> teacherMark, groupMark;
    int mark = 0;
    quint64 placedTeachers = 0, placedGroups = 0, placedRooms = 0; ///< as `Task::teacherSig`
    std::vector<int> placedRoomIdx;
    static void markIn(std::vector<int>& marks, int index, int stamp) {
        if (size_t(index) >= marks.size()) marks.resize(size_t(index) + 1, 0);
        marks[size_t(index)] = stamp;
    }
    static bool marked(const std::vector<int>& marks, const std::vector<int>& indexes, int stamp) {
        for (int i : indexes)
            if (size_t(i) < marks.size() && marks[size_t(i)] == stamp) return true;
        return false;
    }
    void markPlaced(const std::vector<LL>& q) {
        ++mark;
        placedTeachers = placedGroups = placedRooms = 0;
        placedRoomIdx.clear();
        for (const LL& e : q) {
            markIn(teacherMark, e.teacher, mark);
            placedTeachers |= sigBit(e.teacher);
            markIn(groupMark, e.group, mark);
            placedGroups |= sigBit(e.group);
            const int room = roomOf(e.room);
            placedRooms |= sigBit(room);
            placedRoomIdx.push_back(room);
        }
    }
    /// Whether the last placement used a teacher, group or room of the task's gathering.
    bool placementTouches(const Task& t) const {
        return ((t.teacherSig & placedTeachers) && marked(teacherMark, t.teachers, mark)) ||
               placementTouchesGroups(t) || ((t.roomSig & placedRooms) && usesRoom(t));
    }
    bool usesRoom(const Task& t) const {
        for (int r : placedRoomIdx)
            if (size_t(r) / 64 < t.roomBits.size() && (t.roomBits[size_t(r) / 64] & sigBit(r)))
                return true;
        return false;
    }
    bool placementTouchesGroups(const Task& t) const {
        return (t.groupSig & placedGroups) && marked(groupMark, t.groups, mark);
    }

    void invalidate(Task& t, int c) {
        VCell& v = t.v[size_t(c)];
        if (!v.valid) return;
        v.valid = false;
        --t.nv;
        --totalVariants;
    }
    void clearVariants(Task& t) {
        if (t.nv == 0) return;
        for (VCell& v : t.v)
            v.valid = false;
        totalVariants -= t.nv;
        t.nv = 0;
    }
};

} // namespace pivrel
