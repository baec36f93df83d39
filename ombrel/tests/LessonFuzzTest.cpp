// Long seeded sequences of what officers do to the plan, its lessons and the links, with the
// independent lesson checker after every step. A failure prints the seed and the shortest
// sequence of steps found that still fails. KORVEL_FUZZ_STEPS sets how many steps run
// (default 300), KORVEL_FUZZ_SEED the first seed.

#include "faldin/ClearSchedule.h"
#include "faldin/Divisions.h"
#include "ombrel/Links.h"

#include "LessonChecker.h"
#include "PlanSchool.h"
#include "tamsel/Transaction.h"

#include <QFileInfo>
#include <optional>
#include <random>
#include <set>
#include <sqlite3.h>

using namespace tamsel;
using namespace ombrel;
using namespace plantest;

namespace {

enum Op {
    AddItem,
    ChangeHours,
    DeleteItem,
    AddGroup,
    DeleteGroup,
    AddSubject,
    DeleteSubject,
    ChangeDivision,
    ChangeTypeCount,
    AddType,
    DeleteType,
    LinkSubgroups,
    DropLesson,
    RemoveMember,
    DeleteLink,
    NewLecture,
    Place,
    GiveTeacher,
    Clear,
    OpCount
};

const char* const OpNames[] = {"add item",       "change hours",   "delete item",
                               "add group",      "delete group",   "add subject",
                               "delete subject", "change division", "change type count",
                               "add type",       "delete type",    "link subgroups",
                               "drop lesson",    "remove member",  "delete link",
                               "new lecture",    "place",          "give teacher",
                               "clear"};

/// One step: what is done, the seed of its choices, and whether a write in it is refused (the
/// n-th write of each of its transactions, 0 for none).
struct Step {
    int op;
    quint64 seed;
    int refuseWrite;
};

/// A school to work on: the plan school with a division of three, days, bells and a room.
struct World {
    Plan p;
    std::mt19937_64 rng;

    World() {
        SubGroupType three;
        three.SgrpTypCode = 2;
        three.SgrpTyp = u("Тройки");
        three.NumbOfSubGroups = 3;
        p.rel.insert(three);
        p.science(3, u("Немецкий"), 2);
        for (Short d = 1; d <= 2; ++d) {
            Days day;
            day.DaySeqNumber = d;
            day.DayName = d == 1 ? u("Понедельник") : u("Вторник");
            p.rel.insert(day);
        }
        for (int k = 1; k <= 8; ++k) {
            LessonBell b;
            b.LessonNo = QString::number(k);
            p.rel.insert(b);
        }
        Room room;
        room.RoomCode = 1;
        room.RoomNo = u("101");
        p.rel.insert(room);
        p.t.ui.answers.clear();
        // A folder of its own that nobody reads: its transactions need not wait for the disk.
        p.t.store().beginBatch();
    }
    ~World() { p.t.store().endBatch(); }
    Dictionary& dict() { return p.t.dict(); }

    template <class R> std::vector<R> all(typename R::Key key) {
        return dict().access<R>().all(key);
    }
    template <class T> std::optional<T> pick(const std::vector<T>& v) {
        if (v.empty()) return std::nullopt;
        return v[std::uniform_int_distribution<size_t>(0, v.size() - 1)(rng)];
    }
    int number(int from, int to) { return std::uniform_int_distribution<int>(from, to)(rng); }
    bool chance(int percent) { return number(1, 100) <= percent; }

    /// Carries out one step; returns what it did, in words.
    QString run(const Step& step) {
        rng.seed(step.seed);
        p.t.ui.clear();
        p.t.ui.answers = {chance(80) ? Yes : No};
        if (step.refuseWrite > 0) {
            const int n = step.refuseWrite;
            p.t.store().transactionHook = [n](sqlite3* db, const std::vector<FileId>&) {
                std::vector<QByteArray> sql{"CREATE TEMP TABLE writes(n)",
                                            "INSERT INTO writes VALUES(0)"};
                for (const char* table : {"SCHEDULE", "LSNLINKCOMP", "LSNLINK", "TRAININGCOURSE"})
                    for (const char* what : {"INSERT", "UPDATE", "DELETE"})
                        sql.push_back(QByteArray("CREATE TEMP TRIGGER refuse_") + table + "_" +
                                      what + " BEFORE " + what + " ON " + table +
                                      " BEGIN UPDATE writes SET n = n + 1; SELECT RAISE(ABORT, "
                                      "'disk I/O error') WHERE (SELECT n FROM writes) >= " +
                                      QByteArray::number(n) + "; END");
                // A table this transaction has not attached just gets no trigger.
                for (const QByteArray& statement : sql)
                    sqlite3_exec(db, statement.constData(), nullptr, nullptr, nullptr);
            };
        }
        const QString done = act(step.op);
        p.t.store().transactionHook = nullptr;
        p.t.progress.cancelAfter = -1;
        return QString::fromLatin1(OpNames[step.op]) + QStringLiteral(": ") + done +
               (step.refuseWrite ? QStringLiteral(" (write %1 refused)").arg(step.refuseWrite)
                                 : QString());
    }

    QString act(int op) {
        Relations& rel = p.rel;
        switch (op) {
        case AddItem: {
            if (all<TrainingCourse>(TrainingCourse::ItemCodeKey).size() >= 8) return u("full");
            const auto sci = pick(all<Science>(Science::ScienceCodeKey));
            if (!sci) return u("no subject");
            TrainingCourse tc = dict().access<TrainingCourse>().prime();
            tc.ScienceCode = sci->ScienceCode;
            tc.Course = u("5");
            tc.StreamCode = 1;
            tc.SingleHours = static_cast<Short>(number(0, 3));
            tc.CoupledHours = static_cast<Short>(2 * number(0, 2));
            const bool ok = rel.insert(tc).ok();
            return QStringLiteral("subject %1 %2+%3 -> %4")
                .arg(tc.ScienceCode)
                .arg(tc.SingleHours)
                .arg(tc.CoupledHours)
                .arg(ok ? tc.TrainingCourseItemCode : 0);
        }
        case ChangeHours: {
            auto tc = pick(all<TrainingCourse>(TrainingCourse::ItemCodeKey));
            if (!tc) return u("no item");
            const Short single = static_cast<Short>(number(0, 4));
            const Short coupled = static_cast<Short>(2 * number(0, 2));
            // As the plan list does: the correction first, which stores the new hours with the
            // entries; the list then writes the row it shows.
            const ScheduleUpdate r =
                UpdateScheduleEntries(dict(), *tc, tc->ScienceCode, single, coupled);
            if (r.result == 0) {
                tc->SingleHours = single;
                tc->CoupledHours = coupled;
                rel.update(*tc);
            }
            return QStringLiteral("item %1 -> %2+%3: %4")
                .arg(tc->TrainingCourseItemCode)
                .arg(single)
                .arg(coupled)
                .arg(r.result);
        }
        case DeleteItem: {
            const auto tc = pick(all<TrainingCourse>(TrainingCourse::ItemCodeKey));
            if (!tc) return u("no item");
            return QStringLiteral("item %1: %2")
                .arg(tc->TrainingCourseItemCode)
                .arg(rel.remove(*tc).ok());
        }
        case AddGroup: {
            Group g = dict().access<Group>().prime();
            g.Course = u("5");
            g.Defis = u("-");
            g.Literal = *pick(std::vector<QString>{u("А"), u("Б"), u("В"), u("Г")});
            g.StreamCode = 1;
            return g.Literal + QStringLiteral(": %1").arg(rel.insert(g).ok());
        }
        case DeleteGroup: {
            const auto g = pick(all<Group>(Group::GroupCodeKey));
            if (!g) return u("no group");
            return QStringLiteral("group %1: %2").arg(g->GroupCode).arg(rel.remove(*g).ok());
        }
        case AddSubject: {
            Science s = dict().access<Science>().prime();
            s.Science = QStringLiteral("Предмет %1").arg(number(1, 6));
            s.SgrpTypCode = static_cast<Short>(number(0, 2));
            return s.Science + QStringLiteral(" type %1: %2")
                                   .arg(s.SgrpTypCode)
                                   .arg(rel.insert(s).ok());
        }
        case DeleteSubject: {
            const auto s = pick(all<Science>(Science::ScienceCodeKey));
            if (!s) return u("no subject");
            return QStringLiteral("subject %1: %2").arg(s->ScienceCode).arg(rel.remove(*s).ok());
        }
        case ChangeDivision: {
            auto s = pick(all<Science>(Science::ScienceCodeKey));
            if (!s) return u("no subject");
            const auto types = all<SubGroupType>(SubGroupType::SgrpTypCdKey);
            Science changed = *s;
            changed.SgrpTypCode = chance(25) || types.empty() ? 0 : pick(types)->SgrpTypCode;
            // As the subject list does: asked first, stored only when not refused.
            const QString refusal = faldin::SubjectDivisionRefusal(dict(), *s, changed);
            const bool ok = refusal.isEmpty() && rel.update(changed).ok();
            return QStringLiteral("subject %1 type %2 -> %3: %4")
                .arg(s->ScienceCode)
                .arg(s->SgrpTypCode)
                .arg(changed.SgrpTypCode)
                .arg(ok);
        }
        case ChangeTypeCount: {
            const auto t = pick(all<SubGroupType>(SubGroupType::SgrpTypCdKey));
            if (!t) return u("no type");
            SubGroupType changed = *t;
            changed.NumbOfSubGroups = static_cast<Short>(number(2, 4));
            const QString refusal = faldin::SubGroupTypeRefusal(dict(), *t, changed);
            const bool ok = refusal.isEmpty() && rel.update(changed).ok();
            return QStringLiteral("type %1 %2 -> %3: %4")
                .arg(t->SgrpTypCode)
                .arg(t->NumbOfSubGroups)
                .arg(changed.NumbOfSubGroups)
                .arg(ok);
        }
        case AddType: {
            SubGroupType t = dict().access<SubGroupType>().prime();
            t.SgrpTyp = QStringLiteral("Тип %1").arg(number(1, 4));
            t.NumbOfSubGroups = static_cast<Short>(number(2, 4));
            return t.SgrpTyp + QStringLiteral(": %1").arg(rel.insert(t).ok());
        }
        case DeleteType: {
            const auto t = pick(all<SubGroupType>(SubGroupType::SgrpTypCdKey));
            if (!t) return u("no type");
            return QStringLiteral("type %1: %2").arg(t->SgrpTypCode).arg(rel.remove(*t).ok());
        }
        case LinkSubgroups: {
            const auto g = pick(all<Group>(Group::GroupCodeKey));
            if (!g) return u("no group");
            return QStringLiteral("group %1: %2")
                .arg(g->GroupCode)
                .arg(LinkGroupSubgroups(dict(), *g));
        }
        case DropLesson: {
            const auto lesson = pick(all<Schedule>(Schedule::ItemCode));
            if (!lesson) return u("no lesson");
            std::optional<LsnLink> link;
            if (chance(70)) link = pick(all<LsnLink>(LsnLink::CodeKey));
            LsnLink l = link ? *link : LsnLink{};
            const bool ok = AddToLinkList(dict(), l, *lesson);
            return QStringLiteral("lesson %1 into link %2: %3")
                .arg(lesson->rowId)
                .arg(link ? link->LinkCode : 0)
                .arg(ok);
        }
        case RemoveMember: {
            const auto m = pick(all<LsnLinkComp>(LsnLinkComp::LinkCodeKey));
            if (!m) return u("no member");
            return QStringLiteral("link %1 item %2 group %3/%4: %5")
                .arg(m->LinkCode)
                .arg(m->TrainingCourseItemCode)
                .arg(m->GroupCode)
                .arg(m->SubGroupNum)
                .arg(RemoveLinkMember(dict(), *m));
        }
        case DeleteLink: {
            const auto l = pick(all<LsnLink>(LsnLink::CodeKey));
            if (!l) return u("no link");
            return QStringLiteral("link %1: %2").arg(l->LinkCode).arg(rel.remove(*l).ok());
        }
        case NewLecture: {
            LsnLink l;
            l.LinkName = QStringLiteral("Лекция %1").arg(number(1, 5));
            l.IsLecture = 1;
            const bool ok = SaveLink(dict(), l);
            return l.LinkName + QStringLiteral(" -> %1: %2").arg(l.LinkCode).arg(ok);
        }
        case Place: return place();
        case GiveTeacher: {
            const auto s = pick(all<Schedule>(Schedule::ItemCode));
            if (!s) return u("no lesson");
            Schedule x = *s;
            x.TeacherCode = static_cast<Short>(number(0, 3));
            return QStringLiteral("lesson %1 teacher %2: %3")
                .arg(x.rowId)
                .arg(x.TeacherCode)
                .arg(rel.update(x).ok());
        }
        case Clear: {
            const int lessons = dict().access<Schedule>().count();
            const int cancelAt = chance(60) ? number(1, std::max(1, std::min(lessons, 100))) : -1;
            p.t.progress.updates = 0;
            p.t.progress.cancelAfter = cancelAt;
            const Short teachers = static_cast<Short>(number(0, 1));
            return QStringLiteral("teachers %1 cancel at %2: %3")
                .arg(teachers)
                .arg(cancelAt)
                .arg(faldin::ClearSchedule(dict(), teachers));
        }
        default: return u("?");
        }
    }

    /// Places an unplaced lesson as the officer would on the grid: a link with a lesson of
    /// each member, a pair with both halves, first halves at a bell and second ones after it.
    QString place() {
        const auto entries = all<Schedule>(Schedule::ItemCode);
        std::vector<Schedule> unplaced;
        for (const Schedule& s : entries)
            if (s.isUnplaced()) unplaced.push_back(s);
        const auto e = pick(unplaced);
        if (!e) return u("nothing unplaced");
        std::vector<Schedule> unit;
        std::set<qint64> taken;
        // The first unplaced lesson of a kind with a half (and link), not taken yet.
        const auto first = [&](Short item, Short group, Short sub, Byte half) {
            for (const Schedule& s : unplaced)
                if (s.TrainingCourseItemCode == item && s.GroupCode == group &&
                    s.SubGroupNum == sub && s.CoupledLesson == half &&
                    s.LinkCode == e->LinkCode && !taken.count(s.rowId)) {
                    taken.insert(s.rowId);
                    unit.push_back(s);
                    return true;
                }
            return false;
        };
        std::vector<std::tuple<Short, Short, Short>> kinds;
        if (e->LinkCode != 0) {
            LsnLinkComp from;
            from.LinkCode = e->LinkCode;
            for (const LsnLinkComp& m :
                 dict().access<LsnLinkComp>().read(LsnLinkComp::LinkCodeKey, from, 1))
                kinds.push_back({m.TrainingCourseItemCode, m.GroupCode, m.SubGroupNum});
        } else {
            kinds.push_back({e->TrainingCourseItemCode, e->GroupCode, e->SubGroupNum});
        }
        for (const auto& [item, group, sub] : kinds) {
            const Byte half = e->CoupledLesson == 0 ? 0 : 1;
            if (!first(item, group, sub, half)) return u("a member has no such lesson");
            if (half == 1 && !first(item, group, sub, 2)) return u("a pair without its half");
        }
        const Short day = static_cast<Short>(number(1, 2));
        const int bell = number(1, 7);
        const Long room = chance(50) ? 1 : 0;
        Transaction tx(p.t.store(), {FileId::Schedule});
        if (!tx.active()) return u("no transaction");
        auto sch = tx.access<Schedule>();
        for (Schedule s : unit) {
            s.Week = 1;
            s.DaySeqNumber = day;
            s.LessonNo = QString::number(bell + (s.CoupledLesson == 2 ? 1 : 0));
            s.RoomCode = room;
            if (!sch.update(s).ok()) return u("refused");
        }
        const bool ok = tx.commit().ok();
        return QStringLiteral("%1 lessons from %2 at day %3 bell %4: %5")
            .arg(unit.size())
            .arg(e->rowId)
            .arg(day)
            .arg(bell)
            .arg(ok);
    }
};

/// Runs steps on a fresh school; the index of the first step after which the check fails
/// (-1 when none), with what the check found and what each step did.
int firstFailure(const std::vector<Step>& steps, QStringList* problems = nullptr,
                 QStringList* log = nullptr) {
    World w;
    for (size_t i = 0; i < steps.size(); ++i) {
        const QString did = w.run(steps[i]);
        if (log) *log << did;
        const QStringList found = lessontest::checkLessons(w.dict());
        if (!found.isEmpty()) {
            if (problems) *problems = found;
            return static_cast<int>(i);
        }
    }
    return -1;
}

/// The shortest sequence found that still fails: steps are dropped, in halves first, then one
/// at a time, while the rest keeps failing.
std::vector<Step> shrink(std::vector<Step> steps) {
    for (size_t chunk = steps.size() / 2; chunk >= 1; chunk /= 2) {
        for (size_t at = 0; at + chunk <= steps.size();) {
            std::vector<Step> shorter = steps;
            shorter.erase(shorter.begin() + static_cast<long>(at),
                          shorter.begin() + static_cast<long>(at + chunk));
            const int f = firstFailure(shorter);
            if (f >= 0) {
                shorter.resize(static_cast<size_t>(f) + 1);
                steps = std::move(shorter);
            } else {
                at += chunk;
            }
        }
        if (chunk == 1) break;
    }
    return steps;
}

std::vector<Step> sequence(quint64 seed, int length) {
    std::mt19937_64 rng(seed);
    std::vector<Step> steps;
    for (int i = 0; i < length; ++i) {
        Step s;
        s.op = static_cast<int>(rng() % OpCount);
        s.seed = rng();
        s.refuseWrite = rng() % 10 == 0 ? static_cast<int>(1 + rng() % 4) : 0;
        steps.push_back(s);
    }
    return steps;
}

qint64 fromEnvironment(const char* name, qint64 fallback) {
    bool ok = false;
    const qint64 v = qEnvironmentVariable(name).toLongLong(&ok);
    return ok ? v : fallback;
}

} // namespace

TEST(LessonFuzz, SeededSequencesOfOperationsKeepTheLessonDataSound) {
    app();
    // The schools are thrown away: a folder in memory keeps their hundreds of small
    // transactions from waiting on the disk (the suite stays quick on a busy machine).
    if (qEnvironmentVariableIsEmpty("TMPDIR") && QFileInfo(u("/dev/shm")).isWritable())
        qputenv("TMPDIR", "/dev/shm");
    constexpr int Length = 150;
    const qint64 total = fromEnvironment("KORVEL_FUZZ_STEPS", 300);
    const quint64 firstSeed = static_cast<quint64>(fromEnvironment("KORVEL_FUZZ_SEED", 1));
    for (qint64 done = 0, n = 0; done < total; done += Length, ++n) {
        const quint64 seed = firstSeed + static_cast<quint64>(n);
        const auto steps = sequence(seed, static_cast<int>(std::min<qint64>(Length, total - done)));
        const int failed = firstFailure(steps);
        if (failed < 0) continue;
        const std::vector<Step> shortest =
            shrink(std::vector<Step>(steps.begin(), steps.begin() + failed + 1));
        QStringList problems, log;
        firstFailure(shortest, &problems, &log);
        ADD_FAILURE() << "seed " << seed << ": fails after step " << failed + 1 << "; shortest "
                      << shortest.size() << " steps:\n  "
                      << log.join(QStringLiteral("\n  ")).toStdString() << "\nfound:\n  "
                      << problems.join(QStringLiteral("\n  ")).toStdString();
        return;
    }
}
