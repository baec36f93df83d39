#include "FastPlacement.h"

#include "tamsel/Transaction.h"

#include <QSet>
#include <algorithm>
#include <map>

using namespace tamsel;

namespace pivrel {

namespace {

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

struct Task {
    Short link = 0;
    std::vector<Kind> kinds; ///< in kind order
    std::vector<VCell> v;    ///< per cell
    int nv = 0;
    bool evaluated = false;

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

/// One lesson of a gathered group with what the checks need, resolved once.
struct LL {
    Schedule O;
    int teacher = -1;
    int group = -1;
    bool lecture = false; ///< of its own link (O.LinkCode)
    const std::vector<Long>* rooms = nullptr;
    Short sgrpType = 0;
    Short cycle = 0;
    int cycleMax = 0;
    const std::vector<short>* rTeacher = nullptr;
    const std::vector<short>* rScience = nullptr;
    const std::vector<short>* rGroup = nullptr;
    Long room = 0; ///< N.RoomCode
};

enum class TaskOrder { Kind, Freedom, LinkCode };
enum class VariantOrder { Insert, Choice };

} // namespace

struct FastPlacement::Model {
    Dictionary& dict;
    explicit Model(Dictionary& d) : dict(d) {}

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
    const std::vector<Long> noRooms;

    // Timetable
    std::vector<Schedule> recs;
    QSet<RowId> loadedRows;
    QHash<quint64, std::vector<int>> unplacedByKind; ///< rowid order
    QHash<Short, int> teacherIdx, groupIdx;
    QHash<Long, int> roomIdx;
    std::vector<TeacherCell> teacherCells;
    std::vector<quint16> roomCells;
    std::vector<std::vector<GroupCellEntry>> groupCells;
    std::vector<std::vector<DayEntry>> groupDays;
    bool partial = false;

    // Tasks
    std::vector<Task> tasks;
    QHash<Short, int> taskByLink;
    std::vector<std::vector<int>> cellTasks;
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
        roomCells.reserve(size_t(rooms + 1) * size_t(nC));
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
        roomCells.resize(roomCells.size() + size_t(nC));
        return i;
    }
    bool roomBusy(Long room, int c) const {
        const auto it = roomIdx.constFind(room);
        return it != roomIdx.constEnd() && roomCells[size_t(*it) * size_t(nC) + size_t(c)] > 0;
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
                    ++roomCells[size_t(room) * size_t(nC) + size_t(c)];
                    groupCells[size_t(group) * size_t(nC) + size_t(c)].push_back(
                        {s.SubGroupNum, si.type});
                }
            }
        }
    }

    void addRecord(const Schedule& s) {
        if (loadedRows.contains(s.rowId)) return;
        loadedRows.insert(s.rowId);
        const int i = static_cast<int>(recs.size());
        recs.push_back(s);
        if (s.isUnplaced())
            unplacedByKind[kindKey(s.TrainingCourseItemCode, s.GroupCode, s.SubGroupNum)]
                .push_back(i);
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
        for (int c = 0; c < nC; ++c) order[size_t(c)] = c;
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            if (const int x = lessons[size_t(lessonIdxOf(a))].compare(lessons[size_t(lessonIdxOf(b))]))
                return x < 0;
            if (days[size_t(dayIdxOf(a))] != days[size_t(dayIdxOf(b))])
                return days[size_t(dayIdxOf(a))] < days[size_t(dayIdxOf(b))];
            return weekOf(a) < weekOf(b);
        });
        choiceRank.assign(size_t(nC), 0);
        for (int r = 0; r < nC; ++r) choiceRank[size_t(order[size_t(r)])] = r;
        cellTasks.assign(size_t(nC), {});
    }

    void loadReference() {
        for (const Science& s : dict.access<Science>().all(Science::ScienceCodeKey))
            sciences.insert(s.ScienceCode, SciInfo{s.SgrpTypCode, s.CycleCode, names::pad(s.Science, 20)});
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
        const auto rl = roomLists.constFind(pairKey(o.TeacherCode, o.ScienceCode));
        l.rooms = rl == roomLists.constEnd() ? &noRooms : &*rl;
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
            // SetLessonRoom / RoomIsAvaliable
            Long room = 0;
            for (Long r : *e.rooms) {
                bool ok = true;
                if (!e.lecture)
                    for (size_t j = 0; j < i && ok; ++j)
                        if (q[j].room == r) ok = false;
                if (ok && roomBusy(r, c)) ok = false;
                if (ok && level(restr(ObjectType::Room, r), c) >= RestrictionLevel::Forbidden)
                    ok = false;
                if (ok) {
                    room = r;
                    break;
                }
            }
            if (room == 0) return Refusal::RoomOccupied;
            e.room = room;
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
        short lv = level(restr(ObjectType::Room, e.room), c);
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
        if (!lecture && roomBusy(e.room, c)) return Refusal::RoomOccupied;
        const TeacherCell& t = teacherCells[size_t(e.teacher) * size_t(nC) + size_t(c)];
        if (t.firstRow != 0 && !(lecture && t.firstLink == o.LinkCode)) return Refusal::TeacherBusy;
        const auto& g = groupCells[size_t(e.group) * size_t(nC) + size_t(c)];
        if (!g.empty()) {
            if (o.SubGroupNum == 0) return Refusal::GroupBusy;
            bool other = false;
            for (const GroupCellEntry& x : g) {
                if (x.sub == 0) return Refusal::WholeGroupBusy;
                if (x.sub == o.SubGroupNum || x.type != e.sgrpType) other = true;
            }
            if (other) return Refusal::GroupBusy;
        }
        return result;
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

    void invalidate(Task& t, int c) {
        VCell& v = t.v[size_t(c)];
        if (!v.valid) return;
        v.valid = false;
        --t.nv;
        --totalVariants;
    }
    void clearVariants(Task& t) {
        if (t.nv == 0) return;
        for (VCell& v : t.v) v.valid = false;
        totalVariants -= t.nv;
        t.nv = 0;
    }
};

FastPlacement::FastPlacement(Dictionary& dict, PlacementLog& log)
    : m_(std::make_unique<Model>(dict)), dict_(dict), log_(log) {}

FastPlacement::~FastPlacement() = default;

bool FastPlacement::load() {
    Model& m = *m_;
    std::vector<std::unique_ptr<FileUse>> uses;
    for (FileId id : {FileId::Days, FileId::LessonBell, FileId::Group, FileId::ScienceCycle,
                      FileId::Science, FileId::Teacher, FileId::RoomList, FileId::Schedule,
                      FileId::Restriction, FileId::LsnLink, FileId::LsnLinkComp}) {
        uses.push_back(std::make_unique<FileUse>(dict_.store(), id));
        if (!*uses.back()) return false;
    }
    m.loadCells();
    m.loadReference();
    for (const Restriction& r : dict_.access<Restriction>().all(Restriction::ObjectIdKey))
        m.addRestriction(r);
    // Row order, so that every per-kind list is in row order too.
    const auto all = dict_.access<Schedule>().all(Schedule::LinkCodeKey);
    std::vector<const Schedule*> byRow;
    byRow.reserve(all.size());
    for (const Schedule& s : all) byRow.push_back(&s);
    std::sort(byRow.begin(), byRow.end(),
              [](const Schedule* a, const Schedule* b) { return a->rowId < b->rowId; });
    m.recs.reserve(all.size());
    for (const Schedule* s : byRow) m.addRecord(*s);

    // Tasks from the queue as phase 1 left it: in link-code and kind order.
    const auto& tq = dict_.glo.TaskQueue.items;
    m.entries = static_cast<int>(tq.size());
    for (const TaskQueueEntry& e : tq) {
        const Schedule& l = e.lesson;
        if (m.tasks.empty() || m.tasks.back().link != l.LinkCode) {
            m.taskByLink.insert(l.LinkCode, static_cast<int>(m.tasks.size()));
            m.tasks.push_back(Task{});
            m.tasks.back().link = l.LinkCode;
            m.tasks.back().v.assign(size_t(m.nC), VCell{});
        }
        Task& t = m.tasks.back();
        if (t.kinds.empty() || t.kinds.back().sci != l.ScienceCode ||
            t.kinds.back().tch != l.TeacherCode || t.kinds.back().grp != l.GroupCode ||
            t.kinds.back().sub != l.SubGroupNum || t.kinds.back().room != l.RoomCode)
            t.kinds.push_back(Kind{l.ScienceCode, l.TeacherCode, l.GroupCode, l.SubGroupNum,
                                   l.RoomCode, {}, 0});
        t.kinds.back().entries.push_back(l);
        t.kinds.back().nsl = e.NumberOfSuchLessons;
    }
    m.taskOrder = TaskOrder::Kind;
    return true;
}

bool FastPlacement::loadFor(const Schedule& lesson) {
    Model& m = *m_;
    m.partial = true;
    std::vector<std::unique_ptr<FileUse>> uses;
    for (FileId id : {FileId::Days, FileId::LessonBell, FileId::Group, FileId::ScienceCycle,
                      FileId::Science, FileId::Teacher, FileId::Room, FileId::RoomList, FileId::Schedule,
                      FileId::Restriction, FileId::LsnLink, FileId::LsnLinkComp}) {
        uses.push_back(std::make_unique<FileUse>(dict_.store(), id));
        if (!*uses.back()) return false;
    }
    m.loadCells();
    m.reserveObjects(dict_.access<Teacher>().count(), dict_.access<Group>().count(),
                     dict_.access<Room>().count());
    for (const Science& s : dict_.access<Science>().all(Science::ScienceCodeKey))
        m.sciences.insert(s.ScienceCode, Model::SciInfo{s.SgrpTypCode, s.CycleCode, {}});
    for (const ScienceCycle& c : dict_.access<ScienceCycle>().all(ScienceCycle::CycleCodeKey))
        m.cycleMax.insert(c.CycleCode, c.LessonsPerDayMax);

    // The lessons that move with it, as the store gathers them.
    std::vector<Schedule> group;
    auto sch = dict_.access<Schedule>();
    if (lesson.LinkCode < 1) {
        group.push_back(lesson);
    } else {
        LsnLink lk;
        lk.LinkCode = lesson.LinkCode;
        bool found = false;
        const LsnLink link = dict_.access<LsnLink>().fetch(LsnLink::CodeKey, lk, &found);
        Model::LinkInfo info{found && link.IsLecture != 0, names::rtrim(link.LinkName), {}};
        LsnLinkComp from;
        from.LinkCode = lesson.LinkCode;
        info.comps = dict_.access<LsnLinkComp>().read(LsnLinkComp::LinkCodeKey, from, 1);
        m.links.insert(lesson.LinkCode, info);
        for (const LsnLinkComp& c : info.comps) {
            Schedule pos;
            pos.TrainingCourseItemCode = c.TrainingCourseItemCode;
            pos.GroupCode = c.GroupCode;
            pos.SubGroupNum = c.SubGroupNum;
            pos.Week = lesson.Week;
            pos.DaySeqNumber = lesson.DaySeqNumber;
            pos.LessonNo = lesson.LessonNo;
            sch.forEach(Schedule::ItemCode, pos, 6, [&](const Schedule& s) {
                if (s.LinkCode != lesson.LinkCode) return true;
                group.push_back(s);
                return false;
            });
        }
    }
    QSet<Short> teachers, groups;
    QSet<Long> rooms;
    auto restrictionsOf = [&](Short type, long code) {
        if (code != static_cast<Short>(code) || m.restrictions.contains(pairKey(type, Short(code))))
            return;
        Restriction from;
        from.ObjectType = type;
        from.ObjectCode = static_cast<Short>(code);
        m.restrictions.insert(pairKey(type, Short(code)), std::vector<short>(size_t(m.nC), 0));
        dict_.access<Restriction>().forEach(Restriction::ObjectIdKey, from, 2,
                                            [&](const Restriction& r) {
                                                m.addRestriction(r);
                                                return true;
                                            });
    };
    for (const Schedule& s : group) {
        teachers.insert(s.TeacherCode);
        groups.insert(s.GroupCode);
        RoomList rf;
        rf.TeacherCode = s.TeacherCode;
        rf.ScienceCode = s.ScienceCode;
        auto& list = m.roomLists[pairKey(s.TeacherCode, s.ScienceCode)];
        list.clear();
        for (const RoomList& r : dict_.access<RoomList>().read(RoomList::TeacherScienceKey, rf, 2)) {
            list.push_back(r.RoomCode);
            rooms.insert(r.RoomCode);
        }
        restrictionsOf(ObjectType::Teacher, s.TeacherCode);
        restrictionsOf(ObjectType::Science, s.ScienceCode);
        restrictionsOf(ObjectType::Group, s.GroupCode);
    }
    for (Long r : rooms) restrictionsOf(ObjectType::Room, r);
    // The lessons of every teacher, group and room involved, by the key led by that code.
    auto addLessonsOf = [&](Schedule::Key key, const Schedule& from) {
        sch.forEach(key, from, 1, [&](const Schedule& s) {
            m.addRecord(s);
            return true;
        });
    };
    for (Short t : teachers) {
        Schedule f;
        f.TeacherCode = t;
        addLessonsOf(Schedule::TeacherKey, f);
    }
    for (Short g : groups) {
        Schedule f;
        f.GroupCode = g;
        addLessonsOf(Schedule::GroupKey, f);
    }
    for (Long r : rooms) {
        Schedule f;
        f.RoomCode = r;
        addLessonsOf(Schedule::RoomKey, f);
    }
    // The gathered group is kept as read, whatever its cell.
    m.tasks.clear();
    m.tasks.push_back(Task{});
    m.tasks.back().link = lesson.LinkCode;
    for (const Schedule& s : group)
        m.tasks.back().kinds.push_back(
            Kind{s.ScienceCode, s.TeacherCode, s.GroupCode, s.SubGroupNum, s.RoomCode, {s}, 1});
    return true;
}

void FastPlacement::variantsOf(const Schedule& lesson) {
    Model& m = *m_;
    auto& vq = dict_.glo.VariantQueue;
    vq.clear();
    std::vector<LL> q;
    if (lesson.LinkCode < 1) {
        q.push_back(m.resolve(lesson));
    } else {
        for (const Kind& k : m.tasks.front().kinds) q.push_back(m.resolve(k.entries.front()));
    }
    for (int c = 0; c < m.nC; ++c) {
        const long e = m.check(q, c);
        if (e < 0) continue;
        VariantQueueEntry v;
        v.LinkCode = lesson.LinkCode;
        v.Week = m.weekOf(c);
        v.DaySeqNumber = m.days[size_t(m.dayIdxOf(c))];
        v.LessonNo = m.lessons[size_t(m.lessonIdxOf(c))];
        v.MainEstimate = m.dayLoad(q, c);
        v.AdditionalEstimate = static_cast<Short>(e);
        vq.items.push_back(v);
    }
    queues::sortVariants(vq);
}

int FastPlacement::EvaluateSituation(RunHost& host) {
    Model& m = *m_;
    auto& glo = dict_.glo;
    host.setProgressRange(m.entries);
    int notPlaceable = 0;
    int done = 0;
    std::vector<LL> q;
    for (int ti = 0; ti < static_cast<int>(m.tasks.size()); ++ti) {
        Task& t = m.tasks[size_t(ti)];
        const Schedule first = *t.firstByKind();
        m.build(first, q);
        int count = 0;
        for (int c = 0; c < m.nC; ++c) {
            const long e = m.check(q, c);
            if (e < 0) continue;
            VCell& v = t.v[size_t(c)];
            v.valid = true;
            v.main = m.dayLoad(q, c);
            v.add = static_cast<short>(e);
            m.cellTasks[size_t(c)].push_back(ti);
            ++count;
            host.yield();
            if (glo.ProcessingDisabled.load() == 1) c = (c / m.nL) * m.nL + m.nL - 1;
        }
        t.nv = count;
        t.evaluated = true;
        m.totalVariants += count;
        const int nsl = t.kinds.front().nsl;
        host.addLine(QStringLiteral("  ") + m.description(first));
        host.addLine(texts::lessonsAndVariants(nsl, count));
        if (count < nsl) {
            host.addLine(texts::cannotPlaceAll());
            ++notPlaceable;
        }
        for (const Kind& k : t.kinds) done += static_cast<int>(k.entries.size());
        host.setProgressValue(done);
        host.yield();
        if (glo.ProcessingDisabled.load() == 1) break;
    }
    m.taskOrder = TaskOrder::Freedom;
    m.variantOrder = VariantOrder::Insert;
    if (notPlaceable > 0 && glo.ProcessingDisabled.load() != 1) {
        const Button b = dict_.ui().ask(QStringLiteral("Обнаружены нерасставляемые уроки"),
                                        texts::question(notPlaceable), Yes | No, No);
        if (b != Yes) {
            glo.ProcessingDisabled = 1;
            declined_ = true;
        }
    }
    return notPlaceable;
}

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

    std::vector<LL> q;

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
        for (const LL& e : q) {
            const Schedule& o = e.O;
            auto it = m.unplacedByKind.find(kindKey(o.TrainingCourseItemCode, o.GroupCode, o.SubGroupNum));
            int found = -1;
            if (it != m.unplacedByKind.end())
                for (int i : *it) {
                    const Schedule& s = m.recs[size_t(i)];
                    if (!s.isUnplaced()) continue;
                    const bool linkOk = o.LinkCode <= 0 ? s.LinkCode == 0 : s.LinkCode == o.LinkCode;
                    if (s.ScienceCode == o.ScienceCode && s.TeacherCode == o.TeacherCode &&
                        s.RoomCode == o.RoomCode && s.CoupledLesson == o.CoupledLesson && linkOk &&
                        std::find(targets.begin(), targets.end(), i) == targets.end()) {
                        found = i;
                        break;
                    }
                }
            targets.push_back(found);
        }
        auto sch = m.tx->access<Schedule>();
        m.written = 0;
        // The lessons of one placement are written together or not at all: a link never
        // ends half placed when the batch around it is committed.
        if (const Outcome o = m.tx->savepoint(); !o.ok()) {
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
                m.tx->rollbackToSavepoint();
                dict_.errors().report(o.msgNo, o.args);
                m.writeFailed = true;
                m.written = 0;
                return Refusal::WriteFailed;
            }
        }
        if (const Outcome o = m.tx->releaseSavepoint(); !o.ok()) {
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
            for (Kind& k : t.kinds) order.push_back(&k);
            std::stable_sort(order.begin(), order.end(),
                             [](const Kind* a, const Kind* b) { return a->nsl > b->nsl; });
            bool erased = false;
            for (Kind* k : order) {
                for (auto it = k->entries.begin(); it != k->entries.end(); ++it) {
                    const Schedule& x = *it;
                    if (x.ScienceCode == o.ScienceCode && x.TeacherCode == o.TeacherCode &&
                        x.GroupCode == o.GroupCode && x.SubGroupNum == o.SubGroupNum &&
                        x.TrainingCourseItemCode == o.TrainingCourseItemCode &&
                        x.CoupledLesson == o.CoupledLesson && x.LinkCode == o.LinkCode) {
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
            for (Kind& k : kinds) k.nsl = static_cast<int>(k.entries.size());
        }
        // 3. The placed cell re-tested for every task that had it.
        std::vector<LL> q2;
        auto& atCell = m.cellTasks[size_t(c)];
        for (int t2 : atCell) {
            Task& t = m.tasks[size_t(t2)];
            if (!t.v[size_t(c)].valid) continue;
            const Schedule* first = t.firstByKind();
            if (!first) {
                dict_.ui().tell(QStringLiteral("ReEvaluateSituation"),
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
            m.build(*first, q2);
            if (m.check(q2, c) < 0) m.invalidate(t, c);
        }
        // 4. The placed day re-graded, once per task.
        const int base = (c / m.nL) * m.nL;
        std::vector<int> seen;
        for (int lc = base; lc < base + m.nL; ++lc)
            for (int t2 : m.cellTasks[size_t(lc)]) {
                Task& t = m.tasks[size_t(t2)];
                if (!t.v[size_t(lc)].valid) continue;
                if (std::find(seen.begin(), seen.end(), t2) != seen.end()) continue;
                seen.push_back(t2);
                const Schedule* first = t.firstByKind();
                if (!first) continue;
                m.build(*first, q2);
                const short est = m.dayLoad(q2, lc);
                for (int x = base; x < base + m.nL; ++x)
                    if (t.v[size_t(x)].valid) t.v[size_t(x)].main = est;
            }
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
            const int nsl = t.maxNsl();
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
            dict_.ui().tell(QStringLiteral("PlacingLessons.SetTaskLesson"),
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
                    if (f < tf || (f == tf && (k.nsl > bestNsl || (k.nsl == bestNsl && t.link < K))))
                        tPos += static_cast<long>(k.entries.size());
                }
            VariantQueueEntry v{K, m.weekOf(cbest), m.days[size_t(m.dayIdxOf(cbest))],
                                m.lessons[size_t(m.lessonIdxOf(cbest))], M, A};
            TaskQueueEntry te{T, static_cast<Short>(bestNsl), static_cast<Short>(task.nv),
                              static_cast<Short>(tf), 0};
            log_.AddDump(v, static_cast<int>(vPos), te, static_cast<int>(tPos));
        }
        int c = cbest;
        bool go = true;
        for (;;) {
            const long r = setLessonTo(best, T, c);
            if (r < 0) {
                dict_.ui().tell(QStringLiteral("PlacingLessons.SetTaskLesson"),
                                QStringLiteral("Ошибка размещения урока|Week# = ") +
                                    QString::number(m.weekOf(c)) + QStringLiteral("|DaySeqNumber# = ") +
                                    QString::number(m.days[size_t(m.dayIdxOf(c))]) +
                                    QStringLiteral("|LessonNo\" = ") +
                                    m.lessons[size_t(m.lessonIdxOf(c))] + QStringLiteral("|RetVal# = ") +
                                    QString::number(r));
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
                    m.tx = std::make_unique<Transaction>(dict_.store(), std::vector<FileId>{FileId::Schedule});
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
                if (next < 0 || std::tie(v.main, v.add) < std::tie(task.v[size_t(next)].main,
                                                                   task.v[size_t(next)].add))
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

void FastPlacement::materialize() {
    Model& m = *m_;
    auto& tq = dict_.glo.TaskQueue;
    auto& vq = dict_.glo.VariantQueue;
    tq.clear();
    vq.clear();
    struct Unit {
        const Task* t;
        const Kind* k;
        int freedom, nv;
    };
    std::vector<Unit> units;
    for (const Task& t : m.tasks)
        for (const Kind& k : t.kinds) {
            if (k.entries.empty()) continue;
            const int nv = t.evaluated ? t.nv : 0;
            const int f = t.evaluated ? t.nv - k.nsl : 0;
            units.push_back(Unit{&t, &k, f, nv});
        }
    if (m.taskOrder == TaskOrder::Freedom)
        std::stable_sort(units.begin(), units.end(), [](const Unit& a, const Unit& b) {
            if (a.freedom != b.freedom) return a.freedom < b.freedom;
            if (a.k->nsl != b.k->nsl) return a.k->nsl > b.k->nsl;
            return a.t->link < b.t->link;
        });
    else if (m.taskOrder == TaskOrder::LinkCode)
        std::stable_sort(units.begin(), units.end(), [](const Unit& a, const Unit& b) {
            if (a.t->link != b.t->link) return a.t->link < b.t->link;
            if (a.freedom != b.freedom) return a.freedom < b.freedom;
            return a.k->nsl > b.k->nsl;
        });
    for (const Unit& u : units)
        for (const Schedule& s : u.k->entries)
            tq.items.push_back(TaskQueueEntry{s, static_cast<Short>(u.k->nsl),
                                              static_cast<Short>(u.nv),
                                              static_cast<Short>(u.freedom), 0});
    for (const Task& t : m.tasks) {
        if (t.nv == 0) continue;
        for (int c = 0; c < m.nC; ++c) {
            const VCell& v = t.v[size_t(c)];
            if (!v.valid) continue;
            vq.items.push_back(VariantQueueEntry{t.link, m.weekOf(c), m.days[size_t(m.dayIdxOf(c))],
                                                 m.lessons[size_t(m.lessonIdxOf(c))], v.main, v.add});
        }
    }
    if (m.variantOrder == VariantOrder::Choice)
        queues::sortVariantsForChoice(vq);
    else
        queues::sortVariants(vq);
}

} // namespace pivrel
