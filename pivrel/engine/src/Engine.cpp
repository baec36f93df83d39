#include "pivrel/engine/Engine.h"

#include "EngineText.h"

#include "tamsel/Transaction.h"

#include <map>

using namespace tamsel;

namespace pivrel {

namespace {
const QString CheckCaption = QStringLiteral("Проверка возможности размещения");
const QString QueueCaption = QStringLiteral("SellIsAvaliable.Found in Queue");
} // namespace

using engine::n;

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

QString Engine::noListedRoomText(short TeacherCode, short ScienceCode) {
    RoomList from;
    from.TeacherCode = TeacherCode;
    from.ScienceCode = ScienceCode;
    const bool listed = !dict_.access<RoomList>().read(RoomList::TeacherScienceKey, from, 2).empty();
    const QString teacher = names::rtrim(names::teacherName(dict_, TeacherCode));
    const QString science = names::rtrim(names::science(dict_, ScienceCode));
    return listed ? QStringLiteral("Размещение уроков невозможно: все кабинеты из списка учителя ") +
                        teacher + QStringLiteral(" для предмета ") + science +
                        QStringLiteral(" в это время заняты или запрещены")
                  : QStringLiteral("Размещение уроков невозможно: у учителя ") + teacher +
                        QStringLiteral(" нет списка кабинетов для предмета ") + science;
}

long Engine::checkLessons(short Week, short DaySeqNumber, const QString& LessonNo, long RoomCode,
                          bool AutoRoom, short AutoMode, bool stopAtFirstRefusal, bool needRoom) {
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
        if (AutoRoom && needRoom && room == 0) {
            // No free room of the teacher's list: the estimation refuses the cell, and so does
            // every judgement a person sees, rather than place the lesson into no room at all.
            if (!AutoMode) {
                // A person hears every reason: the lesson's own first, then the missing room.
                SellIsAvaliable(AutoMode);
                dict_.ui().tell(CheckCaption, noListedRoomText(o.TeacherCode, o.ScienceCode));
            }
            if (stopAtFirstRefusal) return Refusal::RoomOccupied;
            if (refused == 0) refused = Refusal::RoomOccupied;
            continue;
        }
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
    checkLessons(Week, DaySeqNumber, LessonNo, RoomCode, AutoRoom, 0, false, AutoRoom);
    dict_.glo.LinkedLessonsQueue.clear();
    dict_.setUserInterface(previous);
    return collector.texts;
}

long Engine::judgeAt(short Week, short DaySeqNumber, const QString& LessonNo, long RoomCode,
                     bool AutoRoom, short* dayLoad) {
    BuildLinkLesQue();
    const long r = checkLessons(Week, DaySeqNumber, LessonNo, RoomCode, AutoRoom, 1, true, AutoRoom);
    if (r >= 0 && dayLoad) *dayLoad = EstimateDayLoad(Week, DaySeqNumber, LessonNo);
    dict_.glo.LinkedLessonsQueue.clear();
    return r;
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
    // A person's placement needs a room from the list, as the colours and reasons say; the
    // automatic run has judged its cells that way already.
    const long total = checkLessons(Week, DaySeqNumber, LessonNo, RoomCode, AutoRoom, AutoMode,
                                    true, AutoRoom && AutoMode == 0);
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
            if (found.isUnplaced()) found.Pinned = 0; // a pin belongs to a cell
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

} // namespace pivrel
