// A re-run with minimal changes: after a change of the data, the placed lessons that break a
// rule are taken off (judged by the run's own cell check, not a second rule set), every other
// unpinned lesson may be moved by the repair, which counts each such move, and what moved is
// reported by comparing the placed lessons before and after.

#include "FastModel.h"
#include "LessonNamer.h"
#include "MinimalRerunSteps.h"

#include "trusko/Report.h"

#include <map>
#include <set>
#include <tuple>

using namespace tamsel;

namespace pivrel {

namespace {

QString refusalText(long r) {
    switch (r) {
    case Refusal::SubjectRestricted:
        return QStringLiteral("запрещенное время предмета");
    case Refusal::GroupRestricted:
        return QStringLiteral("запрещенное время группы");
    case Refusal::TeacherRestricted:
        return QStringLiteral("запрещенное время учителя");
    case Refusal::RoomRestricted:
        return QStringLiteral("запрещенное время кабинета");
    case Refusal::GroupBusy:
    case Refusal::WholeGroupBusy:
        return QStringLiteral("у группы в это время другой урок");
    case Refusal::TeacherBusy:
        return QStringLiteral("у учителя в это время другой урок");
    case Refusal::RoomOccupied:
        return QStringLiteral("кабинет в это время занят другим уроком");
    default:
        return QStringLiteral("клетка недопустима для урока");
    }
}

/// Pinned lessons first (an unpinned lesson gives way to them), then in row order.
bool judgedBefore(const Schedule& a, const Schedule& b) {
    if (a.Pinned != b.Pinned) return a.Pinned > b.Pinned;
    return a.rowId < b.rowId;
}

} // namespace

bool FastPlacement::findBroken(const std::function<bool(const Schedule&)>& inScope,
                               std::vector<Broken>& unpinned, std::vector<Broken>& pinned) {
    Model& m = *m_;
    if (!m.loadData()) return false;
    QHash<Short, TrainingCourse> plan;
    {
        FileUse use(dict_.store(), FileId::TrainingCourse);
        if (!use) return false;
        for (const TrainingCourse& t :
             dict_.access<TrainingCourse>().all(TrainingCourse::ItemCodeKey))
            plan.insert(t.TrainingCourseItemCode, t);
    }
    const int n = static_cast<int>(m.recs.size());
    std::vector<int> order;
    for (int i = 0; i < n; ++i)
        if (!m.recs[size_t(i)].isUnplaced()) order.push_back(i);
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return judgedBefore(m.recs[size_t(a)], m.recs[size_t(b)]); });

    // The plan: an item gone, or more placed lessons of a group than its hours. A school
    // without any plan (lessons entered by hand) has nothing to hold them against.
    std::vector<QString> reason(static_cast<size_t>(n));
    std::vector<char> againstPlan(static_cast<size_t>(n), 0);
    if (!plan.isEmpty()) {
        std::map<std::tuple<Short, Short, Short, bool>, int> placed;
        for (int i : order) {
            const Schedule& s = m.recs[size_t(i)];
            if (s.TrainingCourseItemCode == 0) continue;
            const auto it = plan.constFind(s.TrainingCourseItemCode);
            if (it == plan.constEnd()) {
                reason[size_t(i)] = QStringLiteral("пункта учебного плана больше нет");
                againstPlan[size_t(i)] = 1;
                continue;
            }
            const bool paired = s.CoupledLesson != 0;
            const int hours = paired ? it->CoupledHours : it->SingleHours;
            if (++placed[{s.TrainingCourseItemCode, s.GroupCode, s.SubGroupNum, paired}] > hours) {
                reason[size_t(i)] = QStringLiteral("уроков больше, чем часов в учебном плане");
                againstPlan[size_t(i)] = 1;
            }
        }
    }

    m.recordsAt.assign(size_t(m.nC), {});
    for (int i : order) {
        const Schedule& s = m.recs[size_t(i)];
        const int c = m.cellOf(s.Week, s.DaySeqNumber, s.LessonNo);
        if (c >= 0) m.recordsAt[size_t(c)].push_back(i);
    }
    std::vector<char> off(size_t(n), 0);
    auto takeOut = [&](int i, int c) {
        std::erase(m.recordsAt[size_t(c)], i);
        m.vacate(m.recs[size_t(i)]);
    };
    // The refusal of the lesson's own cell and room, the lesson itself taken out.
    auto refusal = [&](const Schedule& s, int c) -> QString {
        LL e = m.resolve(s);
        const RoomRef* room = nullptr;
        for (const RoomRef& r : e.roomChoice->rooms)
            if (r.code == s.RoomCode && r.code != 0) room = &r;
        if (!room) return QStringLiteral("кабинета нет в списке кабинетов учителя по предмету");
        e.room = room->code;
        e.roomRef = room;
        std::vector<LL> q{e};
        long r = m.sell(q, 0, c);
        // Lessons without a teacher share the empty teacher's cells: no teacher is taken twice,
        // and only the group check after it is left to judge.
        if (r == Refusal::TeacherBusy && s.TeacherCode == 0)
            r = std::min(0L, m.groupRefusal(q[0], c));
        return r < 0 ? refusalText(r) : QString();
    };
    for (int i : order) {
        const Schedule s = m.recs[size_t(i)];
        if (off[size_t(i)] || !inScope(s)) continue;
        QString why = reason[size_t(i)];
        bool held = false;
        const int c = m.cellOf(s.Week, s.DaySeqNumber, s.LessonNo);
        if (c < 0) {
            if (why.isEmpty()) why = QStringLiteral("такой клетки в расписании больше нет");
        } else {
            takeOut(i, c);
            if (why.isEmpty()) why = refusal(s, c);
            // A pinned member holds its whole sitting: taking the others off would tear the
            // link apart, since the pinned one stays.
            held = !s.Pinned && s.LinkCode > 0 &&
                   std::any_of(m.recordsAt[size_t(c)].begin(), m.recordsAt[size_t(c)].end(),
                               [&](int j) {
                                   return m.recs[size_t(j)].LinkCode == s.LinkCode &&
                                          m.recs[size_t(j)].Pinned;
                               });
            if (why.isEmpty() || s.Pinned || held) {
                m.occupy(s);
                m.recordsAt[size_t(c)].push_back(i);
            }
        }
        if (why.isEmpty()) continue;
        if (s.Pinned || held) {
            pinned.push_back({s, held ? why + QStringLiteral(" (связан с закрепленным уроком)") : why,
                              false});
            continue;
        }
        off[size_t(i)] = 1;
        unpinned.push_back({s, why, againstPlan[size_t(i)] != 0});
        // A link is placed whole: the rest of its sitting comes off with it.
        if (s.LinkCode > 0 && c >= 0)
            for (int j : std::vector<int>(m.recordsAt[size_t(c)])) {
                const Schedule& o = m.recs[size_t(j)];
                if (o.LinkCode != s.LinkCode || o.Pinned || off[size_t(j)]) continue;
                takeOut(j, c);
                off[size_t(j)] = 1;
                unpinned.push_back({o, QStringLiteral("снят урок той же связи"), false});
            }
    }
    m.recordsAt.clear();
    return true;
}

void FastPlacement::allowMovingEarlier() {
    Model& m = *m_;
    for (size_t i = 0; i < m.recs.size(); ++i)
        m.movableEarlier[i] = !m.recs[i].isUnplaced() && m.recs[i].Pinned == 0;
}

namespace rerun {
bool inScope(const Schedule& s, short kind, short code) {
    switch (kind) {
    case TaskKind::Teacher:
        return s.TeacherCode == code;
    case TaskKind::Group:
        return s.GroupCode == code;
    case TaskKind::Science:
        return s.ScienceCode == code;
    default:
        return true;
    }
}

namespace {

using KindKey = std::tuple<Short, Short, Short, Short, Short, Byte, Short>;
KindKey kindOf(const Schedule& s) {
    return {s.TrainingCourseItemCode, s.GroupCode, s.SubGroupNum, s.TeacherCode, s.ScienceCode,
            s.CoupledLesson,          s.LinkCode};
}
auto placeOf(const Schedule& s) {
    return std::make_tuple(s.Week, s.DaySeqNumber, s.LessonNo, s.RoomCode);
}
bool cellBefore(const Schedule& a, const Schedule& b) {
    return std::tie(a.Week, a.DaySeqNumber, a.LessonNo, a.RoomCode, a.rowId) <
           std::tie(b.Week, b.DaySeqNumber, b.LessonNo, b.RoomCode, b.rowId);
}

} // namespace

std::vector<Schedule> placedLessons(Dictionary& dict) {
    std::vector<Schedule> out;
    dict.access<Schedule>().forEach(Schedule::WeekDayLessonKey, Schedule{}, 0,
                                    [&](const Schedule& s) {
                                        if (!s.isUnplaced()) out.push_back(s);
                                        return true;
                                    });
    return out;
}

bool takeOffBroken(Dictionary& dict, short kind, short code, RunHost& host, MinimalChanges& changes,
                   QHash<RowId, QString>& takenOff, std::vector<Schedule>& againstPlan,
                   QStringList& said) {
    auto say = [&](const QString& line) {
        host.addLine(line);
        said << line;
    };
    say(QStringLiteral("Снятие уроков, нарушающих правила"));
    std::vector<FastPlacement::Broken> unpinned, pinned;
    {
        PlacementLog log(dict);
        FastPlacement judge(dict, log);
        if (!judge.findBroken([&](const Schedule& s) { return inScope(s, kind, code); }, unpinned,
                              pinned))
            return false;
    }
    LessonNamer n(dict);
    for (const FastPlacement::Broken& b : pinned) {
        changes.pinnedBroken.push_back({b.lesson, n.lesson(b.lesson), n.place(b.lesson), b.reason});
        say(QStringLiteral("  Закрепленный урок нарушает правило и оставлен на месте: "
                                    "%1, %2 — %3")
                         .arg(changes.pinnedBroken.back().name, changes.pinnedBroken.back().place,
                              b.reason));
    }
    if (!unpinned.empty()) {
        Transaction tx(dict.store(), {FileId::Schedule});
        Outcome o = tx.error();
        if (tx.active()) {
            auto sch = tx.access<Schedule>();
            for (const FastPlacement::Broken& b : unpinned) {
                Schedule s = b.lesson;
                s.Week = 0;
                s.DaySeqNumber = 0;
                s.LessonNo.clear();
                s.RoomCode = 0;
                s.Pinned = 0;
                o = sch.update(s);
                if (!o.ok()) break;
            }
            if (o.ok()) o = tx.commit();
        }
        if (!o.ok()) {
            dict.errors().report(o.msgNo, o.args);
            return false;
        }
        for (const FastPlacement::Broken& b : unpinned) {
            takenOff.insert(b.lesson.rowId, b.reason);
            if (b.plan) againstPlan.push_back(b.lesson);
            say(QStringLiteral("  Снят урок: %1, %2 — %3")
                             .arg(n.lesson(b.lesson), n.place(b.lesson), b.reason));
        }
    }
    say(QStringLiteral("Снято уроков, нарушающих правила: %1").arg(unpinned.size()));
    say(QString());
    return true;
}

void keepOffTask(TaskQueue& tq, const std::vector<Schedule>& againstPlan, RunHost& host) {
    if (againstPlan.empty()) return;
    std::set<std::tuple<Short, Short, Short, bool>> kinds;
    for (const Schedule& s : againstPlan)
        kinds.insert({s.TrainingCourseItemCode, s.GroupCode, s.SubGroupNum, s.CoupledLesson != 0});
    const size_t before = tq.items.size();
    std::erase_if(tq.items, [&](const TaskQueueEntry& e) {
        const Schedule& s = e.lesson;
        return kinds.count({s.TrainingCourseItemCode, s.GroupCode, s.SubGroupNum,
                            s.CoupledLesson != 0}) > 0;
    });
    queues::CountSuchLessons(tq);
    host.addLine(QStringLiteral("    Из них не расставляются уроки сверх учебного плана: %1.")
                     .arg(before - tq.items.size()));
}

void compare(Dictionary& dict, const std::vector<Schedule>& before,
             const QHash<RowId, QString>& takenOff, MinimalChanges& changes) {
    std::map<KindKey, std::pair<std::vector<Schedule>, std::vector<Schedule>>> kinds;
    for (const Schedule& s : before)
        kinds[kindOf(s)].first.push_back(s);
    for (const Schedule& s : placedLessons(dict))
        kinds[kindOf(s)].second.push_back(s);
    LessonNamer n(dict);
    changes.moved.clear();
    for (auto& [key, lists] : kinds) {
        auto& [was, now] = lists;
        std::sort(was.begin(), was.end(), cellBefore);
        std::sort(now.begin(), now.end(), cellBefore);
        // The places of the kind that stay are no move, whichever row holds them.
        std::vector<Schedule> gone, added;
        size_t a = 0, b = 0;
        while (a < was.size() || b < now.size()) {
            if (b == now.size() || (a < was.size() && placeOf(was[a]) < placeOf(now[b])))
                gone.push_back(was[a++]);
            else if (a == was.size() || placeOf(now[b]) < placeOf(was[a]))
                added.push_back(now[b++]);
            else
                ++a, ++b;
        }
        // A row that moved is paired with its own new place, the others in cell order.
        std::vector<char> used(added.size(), 0);
        std::vector<int> pair(gone.size(), -1);
        for (size_t g = 0; g < gone.size(); ++g)
            for (size_t k = 0; k < added.size(); ++k)
                if (!used[k] && added[k].rowId == gone[g].rowId) {
                    pair[g] = static_cast<int>(k);
                    used[k] = 1;
                }
        size_t next = 0;
        for (size_t g = 0; g < gone.size(); ++g) {
            while (pair[g] < 0 && next < added.size() && used[next])
                ++next;
            if (pair[g] < 0 && next < added.size()) {
                pair[g] = static_cast<int>(next);
                used[next] = 1;
            }
            MovedLesson m;
            m.from = gone[g];
            if (pair[g] >= 0) {
                m.to = added[size_t(pair[g])];
            } else {
                m.to = gone[g];
                m.to.Week = 0;
                m.to.DaySeqNumber = 0;
                m.to.LessonNo.clear();
                m.to.RoomCode = 0;
            }
            const auto off = takenOff.constFind(gone[g].rowId);
            m.takenOff = off != takenOff.constEnd();
            if (m.takenOff) m.reason = *off;
            m.lesson = n.lesson(m.from);
            m.fromText = n.place(m.from);
            m.toText = n.place(m.to);
            changes.moved.push_back(std::move(m));
        }
    }
    std::stable_sort(changes.moved.begin(), changes.moved.end(),
                     [](const MovedLesson& x, const MovedLesson& y) {
                         return std::tie(x.from.Week, x.from.DaySeqNumber, x.from.LessonNo) <
                                std::tie(y.from.Week, y.from.DaySeqNumber, y.from.LessonNo);
                     });
}

} // namespace rerun

int MinimalChanges::takenOff() const {
    return static_cast<int>(
        std::count_if(moved.begin(), moved.end(), [](const MovedLesson& m) { return m.takenOff; }));
}

int MinimalChanges::notPlacedAgain() const {
    return static_cast<int>(std::count_if(moved.begin(), moved.end(),
                                          [](const MovedLesson& m) { return m.to.isUnplaced(); }));
}

namespace {
QString counts(const MinimalChanges& c) {
    return QStringLiteral("перемещено уроков: %1, из них снято из-за нарушения правил: %2, не "
                          "размещено снова: %3.")
        .arg(c.moved.size())
        .arg(c.takenOff())
        .arg(c.notPlacedAgain());
}
} // namespace

QString minimalChangesSummary(const MinimalChanges& c) {
    return QStringLiteral("Итог: ") + counts(c);
}

namespace {
QString movedLine(const MovedLesson& m) {
    QString line = QStringLiteral("  %1: %2 → %3").arg(m.lesson, m.fromText, m.toText);
    if (m.takenOff) line += QStringLiteral(" (снят: %1)").arg(m.reason);
    return line;
}
} // namespace

QStringList minimalChangesLines(const MinimalChanges& c) {
    QStringList out;
    if (c.moved.empty()) {
        out << QStringLiteral("Ни один расставленный ранее урок не перемещен.");
    } else {
        out << QStringLiteral("Перемещенные уроки:");
        for (const MovedLesson& m : c.moved)
            out << movedLine(m);
    }
    if (!c.pinnedBroken.empty()) {
        out << QStringLiteral("Закрепленные уроки, нарушающие правила (оставлены на местах):");
        for (const MinimalChanges::Broken& b : c.pinnedBroken)
            out << QStringLiteral("  %1: %2 — %3").arg(b.name, b.place, b.reason);
    }
    out << minimalChangesSummary(c);
    return out;
}

trusko::ReportDocument minimalChangesReport(const MinimalChanges& c) {
    trusko::ReportDocument d;
    d.caption = QStringLiteral("Перемещенные уроки");
    const QString n = counts(c);
    d.title = n.left(1).toUpper() + n.mid(1);
    d.layout.widths = {4, 3, 3, 3};
    d.layout.align = {trusko::Align::Left, trusko::Align::Left, trusko::Align::Left,
                      trusko::Align::Left};
    trusko::ColumnSet set;
    set.headers = {QStringLiteral("Урок"), QStringLiteral("Было"), QStringLiteral("Стало"),
                   QStringLiteral("Причина")};
    for (const MovedLesson& m : c.moved) {
        trusko::ReportRow row;
        row.cells = {m.lesson, m.fromText, m.toText,
                     m.takenOff ? m.reason : QStringLiteral("перемещен при расстановке")};
        set.rows.push_back(std::move(row));
    }
    for (const MinimalChanges::Broken& b : c.pinnedBroken) {
        trusko::ReportRow row;
        row.cells = {b.name, b.place, QStringLiteral("закреплен, оставлен"), b.reason};
        set.rows.push_back(std::move(row));
    }
    d.sets.push_back(std::move(set));
    return d;
}

} // namespace pivrel
