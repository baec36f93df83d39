#include "pivrel/engine/Engine.h"

#include "tamsel/Transaction.h"

#include <map>

using namespace tamsel;

namespace pivrel {

namespace {
const QString CheckCaption = QStringLiteral("Проверка возможности размещения");
const QString QueueCaption = QStringLiteral("SellIsAvaliable.Found in Queue");
QString n(long v) { return QString::number(v); }
} // namespace

struct Engine::Impl {
    explicit Impl(Store& s) {
        for (FileId id : Engine::files()) uses.push_back(std::make_unique<FileUse>(s, id));
    }
    std::vector<std::unique_ptr<FileUse>> uses;
};

const std::vector<FileId>& Engine::files() {
    static const std::vector<FileId> f{FileId::Days,     FileId::LessonBell,  FileId::Group,
                                       FileId::ScienceCycle, FileId::Science, FileId::Room,
                                       FileId::Teacher,  FileId::RoomList,    FileId::Schedule,
                                       FileId::Restriction, FileId::LsnLink,  FileId::LsnLinkComp};
    return f;
}

Engine::Engine(Dictionary& dict, EngineHooks hooks)
    : dict_(dict), hooks_(std::move(hooks)), d_(std::make_unique<Impl>(dict.store())),
      log_(dict) {}

Engine::~Engine() = default;

bool Engine::stopped() const { return dict_.glo.ProcessingDisabled.load() == 1; }

void Engine::tellIf(const QString& proc, const QString& caption, const QString& text) {
    if (DebugProcEnabled(dict_, proc)) dict_.ui().tell(caption, text);
}

void Engine::displayQueues(const QString& proc, const QString& message) {
    if (DebugProcEnabled(dict_, proc) && hooks_.displayQueues) hooks_.displayQueues(message);
}

std::vector<Engine::Cell> Engine::cells() {
    std::vector<Cell> out;
    const auto days = dict_.access<Days>().all(Days::SeqNumberKey);
    const auto bells = dict_.access<LessonBell>().all(LessonBell::NumberKey);
    for (short w = 1; w <= dict_.glo.WeeksInCycle; ++w)
        for (const Days& d : days)
            for (const LessonBell& b : bells) out.push_back(Cell{w, d.DaySeqNumber, b.LessonNo});
    return out;
}

long Engine::restrictionLevel(short type, long code, const Cell& c) {
    Restriction key;
    key.ObjectType = type;
    key.ObjectCode = static_cast<Short>(code);
    key.Week = c.week;
    key.DaySeqNumber = c.day;
    key.LessonNo = c.lessonNo;
    if (code != key.ObjectCode) return 0; // a room code beyond the restriction field's range
    return dict_.access<Restriction>().fetch(Restriction::ObjectIdKey, key).Restriction;
}

bool Engine::isLecture(short linkCode) {
    if (linkCode == 0) return false;
    LsnLink key;
    key.LinkCode = linkCode;
    return dict_.access<LsnLink>().fetch(LsnLink::CodeKey, key).IsLecture != 0;
}

// ---------------------------------------------------------------- linked lessons

void Engine::BuildLinkLesQue() {
    auto& q = dict_.glo.LinkedLessonsQueue;
    const Schedule r = dict_.glo.ScheduleRecord;
    q.clear();
    if (r.LinkCode < 1) {
        q.items.push_back({r, Schedule{}});
    } else {
        LsnLinkComp from;
        from.LinkCode = r.LinkCode;
        const auto comps = dict_.access<LsnLinkComp>().read(LsnLinkComp::LinkCodeKey, from, 1);
        auto sch = dict_.access<Schedule>();
        for (const LsnLinkComp& c : comps) {
            Schedule pos;
            pos.TrainingCourseItemCode = c.TrainingCourseItemCode;
            pos.GroupCode = c.GroupCode;
            pos.SubGroupNum = c.SubGroupNum;
            pos.Week = r.Week;
            pos.DaySeqNumber = r.DaySeqNumber;
            pos.LessonNo = r.LessonNo;
            // Only a lesson that belongs to the link moves with it; another lesson of the
            // same plan item, group and subgroup keeps its own place.
            sch.forEach(Schedule::ItemCode, pos, 6, [&](const Schedule& s) {
                if (s.LinkCode != r.LinkCode) return true;
                q.items.push_back({s, Schedule{}});
                return false;
            });
        }
    }
    q.pointer = q.items.empty() ? -1 : 0;
    if (DebugProcEnabled(dict_, QStringLiteral("BuildLinkLesQue")))
        displayQueues(QStringLiteral("BuildLinkLesQue"), QStringLiteral("BuildLinkLesQue"));
}

long Engine::checkLessons(short Week, short DaySeqNumber, const QString& LessonNo, long RoomCode,
                          bool AutoRoom, short AutoMode, bool stopAtFirstRefusal) {
    auto& q = dict_.glo.LinkedLessonsQueue;
    long total = 0;
    long refused = 0;
    for (size_t i = 0; i < q.items.size(); ++i) {
        q.pointer = static_cast<int>(i);
        const Schedule o = q.items[i].O;
        const long room = AutoRoom ? SetLessonRoom(Week, DaySeqNumber, o.TeacherCode,
                                                   o.ScienceCode, LessonNo)
                                   : RoomCode;
        Schedule nn = o;
        nn.Week = Week;
        nn.DaySeqNumber = DaySeqNumber;
        nn.LessonNo = LessonNo;
        nn.RoomCode = static_cast<Long>(room);
        q.items[i].N = nn;
        q.pointer = static_cast<int>(i);
        const long r = SellIsAvaliable(AutoMode);
        if (r < 0) {
            if (stopAtFirstRefusal) return r;
            if (refused == 0) refused = r;
            continue;
        }
        total += r;
    }
    return refused < 0 ? refused : total;
}

QStringList Engine::refusalsAt(short Week, short DaySeqNumber, const QString& LessonNo,
                               long RoomCode, bool AutoRoom) {
    // The interactive check tells every reason; here they are kept instead of shown.
    class Collector final : public UserInterfacePort {
    public:
        void tell(const QString&, const QString& text) override {
            if (!texts.contains(text)) texts << text;
        }
        Button ask(const QString&, const QString&, unsigned, Button d) override { return d; }
        bool stopPrompt(const QString&) override { return false; }
        void setBusy(bool) override {}
        QStringList texts;
    } collector;
    UserInterfacePort& previous = dict_.ui();
    dict_.setUserInterface(collector);
    BuildLinkLesQue();
    checkLessons(Week, DaySeqNumber, LessonNo, RoomCode, AutoRoom, 0, false);
    dict_.glo.LinkedLessonsQueue.clear();
    dict_.setUserInterface(previous);
    return collector.texts;
}

long Engine::SetLessonTo(short Week, short DaySeqNumber, const QString& LessonNo, long RoomCode,
                         bool AutoRoom, short AutoMode) {
    auto& q = dict_.glo.LinkedLessonsQueue;
    BuildLinkLesQue();
    if (DebugProcEnabled(dict_, QStringLiteral("SetLessonTo"))) {
        dict_.ui().tell(QStringLiteral("SetLessonTo"),
                        QStringLiteral("После BuildLinkLesQue()|Week = ") + n(Week) +
                            QStringLiteral("|DaySeqNumber = ") + n(DaySeqNumber) +
                            QStringLiteral("|LessonNo = ") + LessonNo);
        displayQueues(QStringLiteral("SetLessonTo"),
                      QStringLiteral("SetLessonTo после BuildLinkLesQue()"));
    }
    const long total = checkLessons(Week, DaySeqNumber, LessonNo, RoomCode, AutoRoom, AutoMode, true);
    if (total < 0) {
        q.clear();
        return total;
    }

    // Every lesson passed: write the whole group at once or nothing.
    {
        Transaction tx(dict_.store(), {FileId::Schedule});
        if (!tx.active()) {
            dict_.errors().report(tx.error().msgNo, tx.error().args);
            q.clear();
            return Refusal::WriteFailed;
        }
        auto sch = tx.access<Schedule>();
        written_ = 0;
        for (const LinkedLessonsEntry& e : q.items) {
            Schedule pos;
            pos.TrainingCourseItemCode = e.O.TrainingCourseItemCode;
            pos.GroupCode = e.O.GroupCode;
            pos.SubGroupNum = e.O.SubGroupNum;
            pos.Week = e.O.Week;
            pos.DaySeqNumber = e.O.DaySeqNumber;
            pos.LessonNo = e.O.LessonNo;
            Schedule found;
            sch.forEach(Schedule::ItemCode, pos, 6, [&](const Schedule& s) {
                const bool linkOk =
                    e.O.LinkCode <= 0 ? s.LinkCode == 0 : s.LinkCode == e.O.LinkCode;
                if (s.ScienceCode == e.O.ScienceCode && s.TeacherCode == e.O.TeacherCode &&
                    s.RoomCode == e.O.RoomCode && s.CoupledLesson == e.O.CoupledLesson &&
                    linkOk) {
                    found = s;
                    return false;
                }
                return true;
            });
            if (found.rowId == 0) continue; // not stored as gathered: left where it is
            found.Week = e.N.Week;
            found.DaySeqNumber = e.N.DaySeqNumber;
            found.LessonNo = e.N.LessonNo;
            found.RoomCode = e.N.RoomCode;
            const Outcome o = sch.update(found);
            if (!o.ok()) {
                dict_.errors().report(o.msgNo, o.args);
                q.clear();
                written_ = 0;
                return Refusal::WriteFailed;
            }
            ++written_;
        }
        const Outcome c = tx.commit();
        if (!c.ok()) {
            dict_.errors().report(c.msgNo, c.args);
            q.clear();
            written_ = 0;
            return Refusal::WriteFailed;
        }
    }

    placedCell_ = Cell{Week, DaySeqNumber, LessonNo};
    if (AutoMode) ReEvaluateSituation();
    q.clear();
    queues::sortByLinkCode(dict_.glo.TaskQueue);
    return total;
}

long Engine::SellIsAvaliable(short AutoMode) {
    auto& q = dict_.glo.LinkedLessonsQueue;
    const int P = q.pointer;
    if (P < 0 || P >= static_cast<int>(q.items.size())) return 0;
    const Schedule E = q.items[static_cast<size_t>(P)].N;
    const Cell C{E.Week, E.DaySeqNumber, E.LessonNo};
    if (C.week == 0 && C.day == 0 && C.lessonNo.isEmpty()) return 0;

    const bool debug = DebugProcEnabled(dict_, QStringLiteral("SellIsAvaliable"));
    const QString proc = QStringLiteral("SellIsAvaliable");
    long result = 0;
    // In interactive mode every reason is shown; in automatic mode the first one decides.
    auto refuse = [&](long code, const QString& caption, const QString& text) {
        result = code;
        if (!AutoMode) dict_.ui().tell(caption, text);
        return AutoMode != 0;
    };
    const QString cellText = QStringLiteral("|Week = ") + n(C.week) +
                             QStringLiteral("|DaySeqNumber = ") + n(C.day) +
                             QStringLiteral("|LessonNo = ") + C.lessonNo;

    bool lecture = false;
    if (E.LinkCode != 0) {
        lecture = isLecture(E.LinkCode);
        for (int j = 0; j < P; ++j) {
            const Schedule& J = q.items[static_cast<size_t>(j)].N;
            if (J.RoomCode == E.RoomCode && !lecture) {
                if (debug)
                    dict_.ui().tell(proc, QStringLiteral("Кабинет уже есть в очереди|i# = ") +
                                              n(j + 1) + QStringLiteral("|RoomCode = ") +
                                              n(E.RoomCode));
                if (refuse(Refusal::SameRoomInQueue, QueueCaption,
                           QStringLiteral("В очереди два одинаковых кабинета № ") +
                               names::roomNo(dict_, E.RoomCode) + QStringLiteral(" !")))
                    return result;
            }
            if (J.TeacherCode == E.TeacherCode && !lecture) {
                if (debug)
                    dict_.ui().tell(proc, QStringLiteral("Учитель уже есть в очереди|i# = ") +
                                              n(j + 1) + QStringLiteral("|TeacherCode = ") +
                                              n(E.TeacherCode));
                if (refuse(Refusal::SameTeacherInQueue, QueueCaption,
                           QStringLiteral("В очереди два одинаковых учителя ") +
                               names::teacherName(dict_, E.TeacherCode) + QStringLiteral(" !")))
                    return result;
            }
            if (J.GroupCode == E.GroupCode && J.SubGroupNum == E.SubGroupNum) {
                if (debug)
                    dict_.ui().tell(proc, QStringLiteral("Группа уже есть в очереди|i# = ") +
                                              n(j + 1) + QStringLiteral("|GroupCode = ") +
                                              n(E.GroupCode) + QStringLiteral("|SubGroupNum = ") +
                                              n(E.SubGroupNum));
                if (refuse(Refusal::SameGroupInQueue, QueueCaption,
                           QStringLiteral("В очереди двe одинаковых [под]группы ") +
                               names::groupId(dict_, E.GroupCode) + QStringLiteral(" !")))
                    return result;
            }
        }
    }

    struct R {
        short type;
        long code;
        long refusal;
        QString text;
    };
    const R restrictions[] = {
        {ObjectType::Room, E.RoomCode, Refusal::RoomRestricted,
         QStringLiteral("Размещение уроков невозможно из-за ограничений на кабинет № ")},
        {ObjectType::Teacher, E.TeacherCode, Refusal::TeacherRestricted,
         QStringLiteral("Размещение уроков невозможно из-за ограничений учителя ")},
        {ObjectType::Science, E.ScienceCode, Refusal::SubjectRestricted,
         QStringLiteral("Размещение уроков невозможно из-за ограничений по предмету ")},
        {ObjectType::Group, E.GroupCode, Refusal::GroupRestricted,
         QStringLiteral("Размещение уроков невозможно из-за ограничений учебной группы ")},
    };
    for (const R& r : restrictions) {
        const long level = restrictionLevel(r.type, r.code, C);
        if (level < RestrictionLevel::Forbidden) {
            result += level;
            continue;
        }
        if (debug)
            dict_.ui().tell(proc, QStringLiteral("Ограничение|ObjectType = ") + n(r.type) +
                                      QStringLiteral("|ObjectCode = ") + n(r.code) +
                                      QStringLiteral("|Restriction = ") + n(level) + cellText);
        QString name;
        switch (r.type) {
        case ObjectType::Room: name = names::roomNo(dict_, r.code); break;
        case ObjectType::Teacher: name = names::teacherName(dict_, static_cast<short>(r.code)); break;
        case ObjectType::Science: name = names::science(dict_, static_cast<short>(r.code)); break;
        default: name = names::groupId(dict_, static_cast<short>(r.code)); break;
        }
        if (refuse(r.refusal, CheckCaption, r.text + name)) return result;
    }

    auto sch = dict_.access<Schedule>();
    if (!lecture) {
        Schedule key;
        key.RoomCode = E.RoomCode;
        key.Week = C.week;
        key.DaySeqNumber = C.day;
        key.LessonNo = C.lessonNo;
        bool found = false;
        const Schedule x = sch.fetch(Schedule::RoomKey, key, &found);
        if (found) {
            if (debug)
                dict_.ui().tell(proc, QStringLiteral("Кабинет занят|RoomCode = ") + n(x.RoomCode) +
                                          QStringLiteral("|GroupCode = ") + n(x.GroupCode) +
                                          QStringLiteral("|TeacherCode = ") + n(x.TeacherCode) +
                                          cellText);
            if (refuse(Refusal::RoomOccupied, CheckCaption,
                       QStringLiteral("Размещение уроков невозможно из-за занятости кабинета № ") +
                           names::roomNo(dict_, E.RoomCode)))
                return result;
        }
    }
    {
        Schedule key;
        key.TeacherCode = E.TeacherCode;
        key.Week = C.week;
        key.DaySeqNumber = C.day;
        key.LessonNo = C.lessonNo;
        bool found = false;
        const Schedule x = sch.fetch(Schedule::TeacherKey, key, &found);
        if (found && !(lecture && x.LinkCode == E.LinkCode)) {
            if (debug)
                dict_.ui().tell(proc, QStringLiteral("Учитель занят|TeacherCode = ") +
                                          n(x.TeacherCode) + QStringLiteral("|GroupCode = ") +
                                          n(x.GroupCode) + QStringLiteral("|LinkCode = ") +
                                          n(x.LinkCode) + cellText);
            if (refuse(Refusal::TeacherBusy, CheckCaption,
                       QStringLiteral("Размещение уроков невозможно из-за занятости учителя ") +
                           names::teacherName(dict_, E.TeacherCode)))
                return result;
        }
    }
    {
        Schedule key;
        key.GroupCode = E.GroupCode;
        key.Week = C.week;
        key.DaySeqNumber = C.day;
        key.LessonNo = C.lessonNo;
        const auto inCell = sch.read(Schedule::GroupDayLessGrKey, key, 4);
        if (E.SubGroupNum != 0) {
            auto typeOf = [&](short science) {
                Science k;
                k.ScienceCode = science;
                return dict_.access<Science>().fetch(Science::ScienceCodeKey, k).SgrpTypCode;
            };
            const Short T = typeOf(E.ScienceCode);
            for (const Schedule& x : inCell) {
                long code = 0;
                QString text;
                if (x.SubGroupNum == 0) {
                    code = Refusal::WholeGroupBusy;
                    text = QStringLiteral("Размещение уроков невозможно из-за занятости учебной группы");
                } else if (x.SubGroupNum == E.SubGroupNum) {
                    code = Refusal::GroupBusy;
                    text = QStringLiteral(
                        "Размещение уроков невозможно из-за занятости подгруппы учебной группы");
                } else if (typeOf(x.ScienceCode) != T) {
                    code = Refusal::GroupBusy;
                    text = QStringLiteral(
                        "Размещение уроков невозможно из-за занятости подгруппы другого типа");
                } else {
                    continue;
                }
                if (debug)
                    dict_.ui().tell(proc, QStringLiteral("Группа занята|GroupCode = ") +
                                              n(x.GroupCode) + QStringLiteral("|SubGroupNum = ") +
                                              n(x.SubGroupNum) + QStringLiteral("|ScienceCode = ") +
                                              n(x.ScienceCode) + cellText);
                if (refuse(code, CheckCaption, text + names::groupId(dict_, E.GroupCode)))
                    return result;
            }
        } else if (!inCell.empty()) {
            const Schedule& x = inCell.front();
            if (debug)
                dict_.ui().tell(proc, QStringLiteral("Группа занята|GroupCode = ") +
                                          n(x.GroupCode) + QStringLiteral("|SubGroupNum = ") +
                                          n(x.SubGroupNum) + cellText);
            if (refuse(Refusal::GroupBusy, CheckCaption,
                       QStringLiteral("Размещение уроков невозможно из-за занятости (под)группы ") +
                           names::groupId(dict_, E.GroupCode)))
                return result;
        }
    }
    q.pointer = P;
    return result;
}

long Engine::SetLessonRoom(short Week, short DaySeqNumber, short TeacherCode, short ScienceCode,
                           const QString& LessonNo) {
    RoomList from;
    from.TeacherCode = TeacherCode;
    from.ScienceCode = ScienceCode;
    const auto list = dict_.access<RoomList>().read(RoomList::TeacherScienceKey, from, 2);
    for (const RoomList& r : list) {
        if (RoomIsAvaliable(r.RoomCode, Week, DaySeqNumber, LessonNo)) {
            tellIf(QStringLiteral("SetLessonRoom"), QStringLiteral("SetLessonRoom"),
                   QStringLiteral("RoomCode = ") + n(r.RoomCode));
            return r.RoomCode;
        }
    }
    tellIf(QStringLiteral("SetLessonRoom"), QStringLiteral("SetLessonRoom"),
           QStringLiteral("RoomCode = 0"));
    return 0;
}

int Engine::RoomIsAvaliable(long RoomCode, short Week, short DaySeqNumber,
                            const QString& LessonNo) {
    auto& q = dict_.glo.LinkedLessonsQueue;
    const int P = q.pointer;
    if (P < 0 || P >= static_cast<int>(q.items.size())) return 0;
    const bool lecture = isLecture(q.items[static_cast<size_t>(P)].O.LinkCode);
    const bool debug = DebugProcEnabled(dict_, QStringLiteral("RoomIsAvaliable"));
    if (!lecture)
        for (int j = 0; j < P; ++j)
            if (q.items[static_cast<size_t>(j)].N.RoomCode == RoomCode) {
                if (debug)
                    dict_.ui().tell(QStringLiteral("RoomIsAvaliable"),
                                    QStringLiteral("Кабинет уже есть в очереди|RoomCode = ") +
                                        n(RoomCode) + QStringLiteral("|i# = ") + n(j + 1));
                return 0;
            }
    Schedule key;
    key.RoomCode = static_cast<Long>(RoomCode);
    key.Week = Week;
    key.DaySeqNumber = DaySeqNumber;
    key.LessonNo = LessonNo;
    if (dict_.access<Schedule>().exists(Schedule::RoomKey, key)) {
        if (debug)
            dict_.ui().tell(QStringLiteral("RoomIsAvaliable"),
                            QStringLiteral("Кабинет занят|RoomCode = ") + n(RoomCode));
        return 0;
    }
    if (restrictionLevel(ObjectType::Room, RoomCode, Cell{Week, DaySeqNumber, LessonNo}) >=
        RestrictionLevel::Forbidden) {
        if (debug)
            dict_.ui().tell(QStringLiteral("RoomIsAvaliable"),
                            QStringLiteral("Кабинет запрещен|RoomCode = ") + n(RoomCode));
        return 0;
    }
    return 1;
}

// ---------------------------------------------------------------- estimation

short Engine::EstimateVariant(short Week, short DaySeqNumber, const QString& LessonNo,
                              short mode) {
    auto& q = dict_.glo.LinkedLessonsQueue;
    long result = 0;
    long additional = 0;
    if (DebugProcEnabled(dict_, QStringLiteral("EstimateVariant_LLQ_i")))
        displayQueues(QStringLiteral("EstimateVariant_LLQ_i"),
                      QStringLiteral("EstimateVariant_LLQ_i"));
    for (size_t i = 0; i < q.items.size(); ++i) {
        q.pointer = static_cast<int>(i);
        const Schedule o = q.items[i].O;
        const long room = SetLessonRoom(Week, DaySeqNumber, o.TeacherCode, o.ScienceCode, LessonNo);
        if (room == 0) {
            result = Refusal::RoomOccupied;
            break;
        }
        Schedule nn = o;
        nn.Week = Week;
        nn.DaySeqNumber = DaySeqNumber;
        nn.LessonNo = LessonNo;
        nn.RoomCode = static_cast<Long>(room);
        q.items[i].N = nn;
        q.pointer = static_cast<int>(i);
        const long r = SellIsAvaliable(mode);
        if (r < 0) {
            result = r;
            break;
        }
        additional += r;
    }
    const short out = static_cast<short>(result < 0 ? result : additional);
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
        while (end < tq.items.size() && tq.items[end].lesson.LinkCode == tq.items[i].lesson.LinkCode)
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
    for (const auto& v : vq.items) ++counts[v.LinkCode];
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

// ---------------------------------------------------------------- automatic placement

QString Engine::taskDescription(const TaskQueueEntry& t) {
    const Schedule& l = t.lesson;
    if (l.LinkCode > 0) return QStringLiteral("  ") + names::linkName(dict_, l.LinkCode);
    return QStringLiteral("  ") + names::teacherName(dict_, l.TeacherCode) + QLatin1Char(' ') +
           names::groupId(dict_, l.GroupCode) + FormatSubGroup(dict_.glo, l.SubGroupNum) +
           QLatin1Char(' ') + names::science(dict_, l.ScienceCode);
}

void Engine::PrepareTask(short Kind, short Code, RunHost& host) {
    auto& glo = dict_.glo;
    auto& tq = glo.TaskQueue;
    tq.clear();
    Short provisional = 0;
    auto sch = dict_.access<Schedule>();

    std::vector<Schedule> lessons;
    Schedule from;
    Schedule::Key key = Schedule::WeekDayLessonKey;
    int leading = 0;
    switch (Kind) {
    case TaskKind::Teacher:
        key = Schedule::TeacherKey;
        from.TeacherCode = Code;
        leading = 1;
        break;
    case TaskKind::Group:
        key = Schedule::GroupKey;
        from.GroupCode = Code;
        leading = 1;
        break;
    case TaskKind::Science:
        key = Schedule::ScienceKey;
        from.ScienceCode = Code;
        leading = 1;
        break;
    default: break;
    }
    sch.forEach(key, from, leading, [&](const Schedule& s) {
        if (s.isUnplaced()) {
            lessons.push_back(s);
            return true;
        }
        // A group's subgroups follow its whole-group lessons in this key, so its placed
        // lessons are stepped over rather than ending the reading.
        return Kind == TaskKind::Group;
    });

    // Entries are kept in link-code order as they are added (equal codes in arrival order).
    auto insert = [&](const TaskQueueEntry& e) {
        auto pos = std::upper_bound(tq.items.begin(), tq.items.end(), e,
                                    [](const TaskQueueEntry& a, const TaskQueueEntry& b) {
                                        return a.lesson.LinkCode < b.lesson.LinkCode;
                                    });
        tq.items.insert(pos, e);
    };
    for (const Schedule& L : lessons) {
        if (L.LinkCode != 0) {
            if (queues::findTask(tq, L.LinkCode) < 0) {
                Schedule lf;
                lf.LinkCode = L.LinkCode;
                sch.forEach(Schedule::LinkCodeKey, lf, 1, [&](const Schedule& s) {
                    if (s.isUnplaced()) insert(TaskQueueEntry{s, 0, 0, 0, 0});
                    return true;
                });
            }
        } else {
            Short code = 0;
            for (const TaskQueueEntry& t : tq.items) {
                if (t.lesson.LinkCode > 0) break;
                const Schedule& x = t.lesson;
                if (x.ScienceCode == L.ScienceCode && x.TeacherCode == L.TeacherCode &&
                    x.GroupCode == L.GroupCode && x.SubGroupNum == L.SubGroupNum &&
                    x.RoomCode == L.RoomCode) {
                    code = x.LinkCode;
                    break;
                }
            }
            TaskQueueEntry e{L, 0, 0, 0, 0};
            e.lesson.LinkCode = code != 0 ? code : --provisional;
            insert(e);
        }
        host.yield();
        if (stopped()) {
            tq.clear();
            break;
        }
    }
    queues::CountSuchLessons(tq);
    if (DebugProcEnabled(dict_, QStringLiteral("PrepareTask")))
        displayQueues(QStringLiteral("PrepareTask"), QStringLiteral("PrepareTask"));
    host.addLine(QStringLiteral("    Запланировано для расстановки %1 уроков.").arg(tq.items.size()));
}

bool Engine::selectNextTask(RunHost& host, int* n) {
    auto& tq = dict_.glo.TaskQueue;
    queues::sortByFreedom(tq);
    tq.pointer = -1;
    for (size_t i = 0; i < tq.items.size(); ++i)
        if (tq.items[i].NumberOfVariants > 0) {
            tq.pointer = static_cast<int>(i);
            break;
        }
    if (tq.pointer < 0) return false;
    const TaskQueueEntry& t = tq.items[static_cast<size_t>(tq.pointer)];
    *n = std::min<int>(dict_.glo.WeeksInCycle, t.NumberOfSuchLessons);
    host.setProgressValue(progressMax_ - static_cast<int>(tq.items.size()));
    const QString line = QStringLiteral("  Размещаем ") + taskDescription(t).mid(2);
    host.addLine(line);
    log_.AddLog(line);
    return true;
}

bool Engine::SetTaskLesson(RunHost& host, int count) {
    auto& glo = dict_.glo;
    auto& tq = glo.TaskQueue;
    auto& vq = glo.VariantQueue;
    TaskQueueEntry T = tq.items[static_cast<size_t>(tq.pointer)];
    const Short K = T.lesson.LinkCode;

    queues::sortVariantsForChoice(vq);
    if (vq.items.empty()) return false;
    int vi = -1;
    for (size_t i = 0; i < vq.items.size(); ++i)
        if (vq.items[i].LinkCode == K) {
            vi = static_cast<int>(i);
            break;
        }
    if (vi < 0) {
        dict_.ui().tell(QStringLiteral("PlacingLessons.SetTaskLesson"),
                        QStringLiteral("Нет вариантов в VariantQueue !|TaskQueue.NumberOfVariants = ") +
                            n(T.NumberOfVariants) + QStringLiteral("|VQ:LinkCode = ") +
                            n(vq.items.back().LinkCode) + QStringLiteral("|TaskQueue.LinkCode = ") +
                            n(K));
        return false;
    }
    vq.pointer = vi;
    const VariantQueueEntry chosen = vq.items[static_cast<size_t>(vi)];
    const short M = chosen.MainEstimate, A = chosen.AdditionalEstimate;
    short week = chosen.Week;
    const short D = chosen.DaySeqNumber;
    const QString P = chosen.LessonNo;
    log_.AddLog(QString(), true);

    for (;;) {
        glo.ScheduleRecord = T.lesson;
        const long r = SetLessonTo(week, D, P, 0, true, 1);
        if (r < 0) {
            dict_.ui().tell(QStringLiteral("PlacingLessons.SetTaskLesson"),
                            QStringLiteral("Ошибка размещения урока|Week# = ") + n(week) +
                                QStringLiteral("|DaySeqNumber# = ") + n(D) +
                                QStringLiteral("|LessonNo\" = ") + P + QStringLiteral("|RetVal# = ") +
                                n(r));
            glo.ProcessingDisabled = 1;
            return false;
        }
        // A line only for lessons actually written to the cell.
        if (written_ > 0) {
            const QString line =
                texts::placedLine(K > 0, glo.WeeksInCycle, week, names::dayName(dict_, D), P);
            host.addLine(line);
            log_.AddLog(line);
        }
        if (--count <= 0) return true;
        const int ti = queues::findTask(tq, K);
        if (ti < 0) return true;
        T = tq.items[static_cast<size_t>(ti)];
        queues::sortVariantsForChoice(vq);
        int next = -1;
        for (size_t i = 0; i < vq.items.size(); ++i) {
            const VariantQueueEntry& v = vq.items[i];
            if (v.LinkCode == K && v.DaySeqNumber == D && v.LessonNo == P && v.MainEstimate <= M &&
                v.AdditionalEstimate <= A) {
                next = static_cast<int>(i);
                break;
            }
        }
        if (next < 0) return true;
        vq.pointer = next;
        week = vq.items[static_cast<size_t>(next)].Week;
    }
}

void Engine::PlacingLessons(RunHost& host) {
    auto& glo = dict_.glo;
    progressMax_ = static_cast<int>(glo.TaskQueue.items.size());
    host.setProgressRange(progressMax_);
    log_.OpenLog();
    for (;;) {
        int n = 0;
        if (!selectNextTask(host, &n)) break;
        host.yield();
        if (stopped()) break;
        if (!SetTaskLesson(host, n)) break;
        host.yield();
        if (stopped()) break;
    }
    glo.ProcessingDisabled = 1;
    const QString done = QStringLiteral("АВТОМАТИЧЕСКАЯ РАССТАНОВКА УРОКОВ ЗАКОНЧЕНА");
    host.addLine(done);
    log_.AddLog(done);
    log_.close();
}

} // namespace pivrel
