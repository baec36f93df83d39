#include "FastModel.h"

using namespace tamsel;

namespace pivrel {

FastPlacement::FastPlacement(Dictionary& dict, PlacementLog& log)
    : m_(std::make_unique<Model>(dict)), dict_(dict), log_(log) {}

FastPlacement::~FastPlacement() = default;

bool FastPlacement::Model::loadData() {
    std::vector<std::unique_ptr<FileUse>> uses;
    for (FileId id : {FileId::Days, FileId::LessonBell, FileId::Group, FileId::ScienceCycle,
                      FileId::Science, FileId::Teacher, FileId::RoomList, FileId::Schedule,
                      FileId::Restriction, FileId::LsnLink, FileId::LsnLinkComp}) {
        uses.push_back(std::make_unique<FileUse>(dict.store(), id));
        if (!*uses.back()) return false;
    }
    loadCells();
    loadReference();
    for (const Restriction& r : dict.access<Restriction>().all(Restriction::ObjectIdKey))
        addRestriction(r);
    // Row order, so that every per-kind list is in row order too.
    const auto all = dict.access<Schedule>().all(Schedule::LinkCodeKey);
    std::vector<const Schedule*> byRow;
    byRow.reserve(all.size());
    for (const Schedule& s : all)
        byRow.push_back(&s);
    std::sort(byRow.begin(), byRow.end(),
              [](const Schedule* a, const Schedule* b) { return a->rowId < b->rowId; });
    recs.reserve(all.size());
    for (const Schedule* s : byRow)
        addRecord(*s);
    placedByRun.assign(recs.size(), 0);
    movableEarlier.assign(recs.size(), 0);
    movedEarlier.clear();
    return true;
}

bool FastPlacement::load() {
    Model& m = *m_;
    if (!m.loadData()) return false;

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
            t.kinds.push_back(
                Kind{l.ScienceCode, l.TeacherCode, l.GroupCode, l.SubGroupNum, l.RoomCode, {}, 0});
        t.kinds.back().entries.push_back(l);
        t.kinds.back().nsl = e.NumberOfSuchLessons;
    }
    for (Task& t : m.tasks)
        t.nslMax = t.maxNsl();
    m.taskOrder = TaskOrder::Kind;
    return true;
}

bool FastPlacement::loadFor(const Schedule& lesson) {
    Model& m = *m_;
    m.partial = true;
    std::vector<std::unique_ptr<FileUse>> uses;
    for (FileId id :
         {FileId::Days, FileId::LessonBell, FileId::Group, FileId::ScienceCycle, FileId::Science,
          FileId::Teacher, FileId::Room, FileId::RoomList, FileId::Schedule, FileId::Restriction,
          FileId::LsnLink, FileId::LsnLinkComp}) {
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
        for (const RoomList& r :
             dict_.access<RoomList>().read(RoomList::TeacherScienceKey, rf, 2)) {
            list.push_back(r.RoomCode);
            rooms.insert(r.RoomCode);
        }
        restrictionsOf(ObjectType::Teacher, s.TeacherCode);
        restrictionsOf(ObjectType::Science, s.ScienceCode);
        restrictionsOf(ObjectType::Group, s.GroupCode);
    }
    for (Long r : rooms)
        restrictionsOf(ObjectType::Room, r);
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
        for (const Kind& k : m.tasks.front().kinds)
            q.push_back(m.resolve(k.entries.front()));
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
            auto& day = m.dayTasks[size_t(c / m.nL)];
            if (day.empty() || day.back() != ti) day.push_back(ti);
            ++count;
            host.yield();
            if (glo.ProcessingDisabled.load() == 1) c = (c / m.nL) * m.nL + m.nL - 1;
        }
        t.nv = count;
        t.evaluated = true;
        m.setGathering(t, q);
        for (VCell& v : t.v)
            v.checkedAt = t.version;
        t.gradedAt.assign(size_t(m.nW * m.nD), t.version);
        m.totalVariants += count;
        const int nsl = t.kinds.front().nsl;
        host.addLine(QStringLiteral("  ") + m.description(first));
        host.addLine(texts::lessonsAndVariants(nsl, count));
        if (count < nsl) {
            host.addLine(texts::cannotPlaceAll());
            ++notPlaceable;
        }
        for (const Kind& k : t.kinds)
            done += static_cast<int>(k.entries.size());
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
                                                 m.lessons[size_t(m.lessonIdxOf(c))], v.main,
                                                 v.add});
        }
    }
    if (m.variantOrder == VariantOrder::Choice)
        queues::sortVariantsForChoice(vq);
    else
        queues::sortVariants(vq);
}

} // namespace pivrel
