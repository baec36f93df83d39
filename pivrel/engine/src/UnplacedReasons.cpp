#include "pivrel/engine/UnplacedReasons.h"

#include "pivrel/engine/Engine.h"

#include "LessonNamer.h"

#include "trusko/Report.h"

#include <map>
#include <set>
#include <tuple>

using namespace tamsel;

namespace pivrel {

namespace {

QString plural(int n, const char* one, const char* few, const char* many) {
    const int t = n % 100, o = n % 10;
    const char* w = (t >= 11 && t <= 14) ? many : o == 1 ? one : (o >= 2 && o <= 4) ? few : many;
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(w));
}


enum class Busy { None, Teacher, Group, Room };

Busy busyKind(const QString& text) {
    if (text.contains(QStringLiteral("занятости учителя"))) return Busy::Teacher;
    if (text.contains(QStringLiteral("занятости кабинета")) ||
        text.contains(QStringLiteral("все кабинеты из списка")))
        return Busy::Room;
    if (text.contains(QStringLiteral("занятости")) && text.contains(QStringLiteral("группы")))
        return Busy::Group;
    return Busy::None;
}

/// Counts the reasons of one kind of lesson over every cell (ScheduleRecord is used).
void explain(Dictionary& dict, Engine& engine, LessonNamer& n, const std::vector<Engine::Cell>& cells,
             UnplacedLesson& l) {
    auto sch = dict.access<Schedule>();
    dict.glo.ScheduleRecord = l.lesson;
    engine.BuildLinkLesQue();
    std::vector<Schedule> members;
    for (const LinkedLessonsEntry& e : dict.glo.LinkedLessonsQueue.items)
        members.push_back(e.O);
    dict.glo.LinkedLessonsQueue.clear();
    if (l.lesson.LinkCode > 0) {
        LsnLink k;
        k.LinkCode = l.lesson.LinkCode;
        l.name = QStringLiteral("Связь «%1»")
                     .arg(names::rtrim(dict.access<LsnLink>().fetch(LsnLink::CodeKey, k).LinkName));
    } else {
        l.name = n.lesson(l.lesson);
    }
    // Each member's listed rooms, for the lessons that hold them.
    std::vector<std::vector<Long>> listed;
    for (const Schedule& m : members) {
        RoomList rf;
        rf.TeacherCode = m.TeacherCode;
        rf.ScienceCode = m.ScienceCode;
        std::vector<Long> r;
        for (const RoomList& x : dict.access<RoomList>().read(RoomList::TeacherScienceKey, rf, 2))
            r.push_back(x.RoomCode);
        listed.push_back(std::move(r));
    }
    std::map<QString, std::pair<int, std::map<QString, int>>> reasons;
    for (const Engine::Cell& c : cells) {
        dict.glo.ScheduleRecord = l.lesson;
        const QStringList texts = engine.refusalsAt(c.week, c.day, c.lessonNo, 0, true);
        if (texts.isEmpty()) ++l.openCells;
        auto at = [&](Schedule::Key k, Schedule where) {
            where.Week = c.week;
            where.DaySeqNumber = c.day;
            where.LessonNo = c.lessonNo;
            return sch.read(k, where, 4);
        };
        for (const QString& text : texts) {
            auto& [cellsRefused, occupants] = reasons[text];
            ++cellsRefused;
            std::set<RowId> seen;
            auto add = [&](const std::vector<Schedule>& v) {
                for (const Schedule& x : v)
                    if (seen.insert(x.rowId).second) ++occupants[n.lesson(x)];
            };
            for (size_t i = 0; i < members.size(); ++i) {
                const Schedule& m = members[i];
                Schedule w;
                switch (busyKind(text)) {
                case Busy::Teacher:
                    if (!text.contains(n.teacher(m.TeacherCode))) break;
                    w.TeacherCode = m.TeacherCode;
                    add(at(Schedule::TeacherKey, w));
                    break;
                case Busy::Group:
                    if (!text.contains(n.groupInText(m.GroupCode))) break;
                    w.GroupCode = m.GroupCode;
                    add(at(Schedule::GroupDayLessGrKey, w));
                    break;
                case Busy::Room:
                    for (Long r : listed[i]) {
                        const bool named = text.contains(QStringLiteral("№ ") + n.room(r)) ||
                                           text.contains(n.teacher(m.TeacherCode));
                        if (!named) continue;
                        w.RoomCode = static_cast<Long>(r);
                        add(at(Schedule::RoomKey, w));
                    }
                    break;
                case Busy::None:
                    break;
                }
            }
        }
    }
    for (auto& [text, v] : reasons) {
        UnplacedLesson::Reason r{text, v.first, {}};
        for (const auto& [who, k] : v.second)
            r.occupants.push_back({who, k});
        std::stable_sort(r.occupants.begin(), r.occupants.end(),
                         [](const auto& a, const auto& b) { return a.second > b.second; });
        l.reasons.push_back(std::move(r));
    }
    std::stable_sort(l.reasons.begin(), l.reasons.end(),
                     [](const auto& a, const auto& b) { return a.cells > b.cells; });
}

} // namespace

UnplacedLesson ExplainUnplacedLesson(Dictionary& dict, const Schedule& lesson) {
    UnplacedLesson l{lesson, 1, {}, {}, 0, {}};
    std::vector<std::unique_ptr<FileUse>> uses;
    for (FileId id : Engine::files()) {
        uses.push_back(std::make_unique<FileUse>(dict.store(), id));
        if (!*uses.back()) return l;
    }
    // The lesson speaks for its kind, as in the lists: three lessons left with one open cell
    // need a change even where one alone would fit.
    if (lesson.LinkCode > 0) {
        std::map<std::tuple<Short, Short, Short>, int> perMember;
        Schedule from;
        from.LinkCode = lesson.LinkCode;
        dict.access<Schedule>().forEach(Schedule::LinkCodeKey, from, 1, [&](const Schedule& s) {
            if (s.isUnplaced())
                l.count = std::max(l.count, ++perMember[{s.TrainingCourseItemCode, s.GroupCode,
                                                         s.SubGroupNum}]);
            return true;
        });
    } else {
        Schedule from = lesson;
        int same = 0;
        dict.access<Schedule>().forEach(Schedule::GroupScienceSubGrKey, from, 3, [&](const Schedule& s) {
            same += s.isUnplaced() && s.LinkCode <= 0 && s.TeacherCode == lesson.TeacherCode &&
                    s.RoomCode == lesson.RoomCode;
            return true;
        });
        l.count = std::max(1, same);
    }
    Engine engine(dict);
    LessonNamer n(dict);
    const Schedule inHand = dict.glo.ScheduleRecord;
    explain(dict, engine, n, engine.cells(), l);
    dict.glo.ScheduleRecord = inHand;
    std::vector<UnplacedLesson> one{std::move(l)};
    AddSuggestions(dict, one);
    return std::move(one.front());
}

std::vector<UnplacedLesson> ExplainUnplaced(Dictionary& dict, short kind, short code) {
    std::vector<UnplacedLesson> out;
    std::vector<std::unique_ptr<FileUse>> uses;
    for (FileId id : Engine::files()) {
        uses.push_back(std::make_unique<FileUse>(dict.store(), id));
        if (!*uses.back()) return out;
    }
    Engine engine(dict);
    LessonNamer n(dict);
    auto sch = dict.access<Schedule>();

    // The unplaced lessons of the scope, each kind (or link) once, in key order.
    Schedule from;
    int leading = 0;
    // The whole school: week 0, day 0 and no lesson number lead to the unplaced ones.
    const Schedule::Key key = TaskScopeKey(kind, code, from, leading, 3);
    std::map<std::tuple<Short, Short, Short, Short, Short, Long>, size_t> kinds;
    std::map<std::pair<Short, std::tuple<Short, Short, Short>>, int> perMember;
    sch.forEach(key, from, leading, [&](const Schedule& s) {
        if (!s.isUnplaced()) return true;
        const auto k = s.LinkCode > 0
                           ? std::tuple{s.LinkCode, Short(0), Short(0), Short(0), Short(0), Long(0)}
                           : std::tuple{Short(0),    s.ScienceCode, s.TeacherCode,
                                        s.GroupCode, s.SubGroupNum, s.RoomCode};
        auto [it, fresh] = kinds.try_emplace(k, out.size());
        if (fresh) out.push_back(UnplacedLesson{s, 0, {}, {}, 0, {}});
        UnplacedLesson& l = out[it->second];
        if (s.LinkCode > 0) {
            const int c =
                ++perMember[{s.LinkCode, {s.TrainingCourseItemCode, s.GroupCode, s.SubGroupNum}}];
            l.count = std::max(l.count, c);
        } else {
            ++l.count;
        }
        return true;
    });

    const Schedule inHand = dict.glo.ScheduleRecord;
    const std::vector<Engine::Cell> cells = engine.cells();
    for (UnplacedLesson& l : out)
        explain(dict, engine, n, cells, l);
    dict.glo.ScheduleRecord = inHand;
    AddSuggestions(dict, out);
    return out;
}

QStringList unplacedReasonLines(const UnplacedLesson& l, int occupants) {
    QStringList out;
    out << QStringLiteral("%1: %2 ч. не расставлено").arg(l.name).arg(l.count);
    for (const UnplacedLesson::Reason& r : l.reasons) {
        out << QStringLiteral("  %1: %2")
                   .arg(r.text.simplified(), plural(r.cells, "клетка", "клетки", "клеток"));
        int shown = 0;
        for (const auto& [who, k] : r.occupants) {
            if (shown++ == occupants) break;
            out << QStringLiteral("      %1 — %2")
                       .arg(who, plural(k, "клетка", "клетки", "клеток"));
        }
    }
    if (l.openCells > 0)
        out << QStringLiteral("  Клеток, куда урок можно поставить вручную: %1").arg(l.openCells);
    out << suggestionLines(l.suggestions);
    return out;
}

QStringList unplacedReasonsLines(const std::vector<UnplacedLesson>& lessons, int occupants) {
    QStringList out;
    out << QStringLiteral("Почему не расставлено: видов уроков %1.").arg(lessons.size());
    for (const UnplacedLesson& l : lessons)
        out << unplacedReasonLines(l, occupants);
    return out;
}

trusko::ReportDocument unplacedReasonsReport(const std::vector<UnplacedLesson>& lessons) {
    trusko::ReportDocument d;
    d.caption = QStringLiteral("Почему не расставлено");
    d.title = QStringLiteral("Видов нерасставленных уроков: %1").arg(lessons.size());
    d.layout.widths = {4, 1, 9};
    d.layout.align = {trusko::Align::Left, trusko::Align::Right, trusko::Align::Left};
    trusko::ColumnSet set;
    set.headers = {QStringLiteral("Урок"), QStringLiteral("Часов"),
                   QStringLiteral("Причины (клеток) и занимающие их уроки")};
    for (const UnplacedLesson& l : lessons) {
        trusko::ReportRow row;
        QStringList lines = unplacedReasonLines(l, 3).mid(1);
        for (QString& s : lines)
            s = s.trimmed();
        row.cells = {l.name, QString::number(l.count), lines.join(trusko::CellLineBreak)};
        set.rows.push_back(std::move(row));
    }
    d.sets.push_back(std::move(set));
    return d;
}

} // namespace pivrel
