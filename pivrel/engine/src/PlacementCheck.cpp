#include "pivrel/engine/PlacementCheck.h"

#include "FastModel.h"

#include "trusko/Report.h"

#include <set>

namespace pivrel {

namespace {

/// A share of the free cells at or above which a finding is "тесно".
constexpr double TightShare = 0.95;
/// Lessons that may use at most this many rooms count as a group of rooms.
constexpr size_t FewRooms = 4;

QString plural(int n, const char* one, const char* few, const char* many) {
    const int t = n % 100, o = n % 10;
    const char* w = (t >= 11 && t <= 14) ? many : o == 1 ? one : (o >= 2 && o <= 4) ? few : many;
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(w));
}

/// A kind of lesson as the placement takes it: a link's sitting (one lesson of every member)
/// or the lessons of one subject, teacher, group, subgroup and room.
struct Unit {
    Schedule first;
    std::vector<LL> q;
    int sittings = 0;
    int lessons = 0;
    std::vector<char> adm; ///< per cell: the engine's rules take the kind there now
    int nAdm = 0;
    std::map<QString, int> refused; ///< reason -> cells
    QString name;
    /// A link whose members have unlike numbers of lessons: its later sittings gather fewer
    /// members and may take cells the whole link does not.
    bool uneven = false;
};

QString reasonOf(long code, const std::vector<LL>& q) {
    switch (code) {
    case Refusal::SubjectRestricted:
        return QStringLiteral("запрещено для предмета");
    case Refusal::GroupRestricted:
        return QStringLiteral("запрещено для группы");
    case Refusal::TeacherRestricted:
        return QStringLiteral("запрещено для учителя");
    case Refusal::RoomRestricted:
        return QStringLiteral("запрещено для кабинета");
    case Refusal::GroupBusy:
        return QStringLiteral("группа или подгруппа занята");
    case Refusal::WholeGroupBusy:
        return QStringLiteral("занята вся группа");
    case Refusal::TeacherBusy:
        return QStringLiteral("учитель занят");
    case Refusal::SameGroupInQueue:
        return QStringLiteral("в связи одна (под)группа дважды");
    case Refusal::SameTeacherInQueue:
        return QStringLiteral("в связи один учитель дважды");
    case Refusal::SameRoomInQueue:
        return QStringLiteral("в связи один кабинет дважды");
    case Refusal::RoomOccupied:
        for (const LL& l : q)
            if (l.O.TeacherCode == 0)
                return QStringLiteral("урок без учителя: нагрузка не распределена");
        for (const LL& l : q)
            if (l.roomChoice->rooms.empty())
                return QStringLiteral("нет списка кабинетов учителя для предмета");
        return QStringLiteral("все кабинеты из списка учителя заняты или запрещены");
    default:
        return QStringLiteral("отказ %1").arg(code);
    }
}

class Checker {
public:
    explicit Checker(Dictionary& dict) : m(dict) {}
    FastPlacement::Model m;
    std::vector<Unit> units;
    std::vector<CheckFinding> out;
    QHash<Short, QString> groupNames; ///< as the lists show them ("5-А")

    QString teacher(Short c) const { return names::rtrim(m.teacherNames.value(c)); }
    QString group(Short g, Short sub) const {
        return groupNames.value(g) + FormatSubGroup(m.dict.glo, sub);
    }

    void gather() {
        std::map<Short, int> byLink;
        std::map<std::tuple<Short, Short, Short, Short, Long>, int> byKind;
        std::map<std::pair<Short, quint64>, int> perMember; // link, member kind -> lessons
        for (const Schedule& s : m.recs) {
            if (!s.isUnplaced()) continue;
            int* at = nullptr;
            if (s.LinkCode > 0) {
                auto [it, fresh] = byLink.try_emplace(s.LinkCode, int(units.size()));
                if (fresh) units.push_back(Unit{s, {}, 0, 0, {}, 0, {}, {}});
                at = &it->second;
                const int n = ++perMember[{
                    s.LinkCode, kindKey(s.TrainingCourseItemCode, s.GroupCode, s.SubGroupNum)}];
                units[size_t(*at)].sittings = std::max(units[size_t(*at)].sittings, n);
            } else {
                auto [it, fresh] =
                    byKind.try_emplace(std::tuple{s.ScienceCode, s.TeacherCode, s.GroupCode,
                                                  s.SubGroupNum, s.RoomCode},
                                       int(units.size()));
                if (fresh) units.push_back(Unit{s, {}, 0, 0, {}, 0, {}, {}});
                at = &it->second;
                ++units[size_t(*at)].sittings;
            }
            ++units[size_t(*at)].lessons;
        }
        std::map<Short, std::set<int>> counts; // link -> lessons per member
        for (const auto& [key, n] : perMember)
            counts[key.first].insert(n);
        for (Unit& u : units) {
            if (u.first.LinkCode > 0) {
                m.build(u.first, u.q);
                u.uneven = counts[u.first.LinkCode].size() > 1 ||
                           u.q.size() != m.links.value(u.first.LinkCode).comps.size();
                u.name = QStringLiteral("Связь «%1»").arg(m.links.value(u.first.LinkCode).name);
            } else {
                u.q = {m.resolve(u.first)};
                u.name = group(u.first.GroupCode, u.first.SubGroupNum) + QLatin1Char(' ') +
                         names::rtrim(m.sci(u.first.ScienceCode).name) + QStringLiteral(" (") +
                         (u.first.TeacherCode ? teacher(u.first.TeacherCode)
                                              : QStringLiteral("без учителя")) +
                         QLatin1Char(')');
            }
        }
    }

    void judge() {
        for (Unit& u : units) {
            u.adm.assign(size_t(m.nC), 0);
            if (m.nC == 0) {
                u.refused[QStringLiteral("в сетке нет клеток: не заданы дни или звонки")] = 0;
                continue;
            }
            if (u.q.empty()) {
                u.refused[QStringLiteral("нет уроков участников связи")] = m.nC;
                continue;
            }
            for (int c = 0; c < m.nC; ++c) {
                long r = m.check(u.q, c);
                // For an uneven link a cell counts when any member alone takes it: more than
                // the run can use, so a count against it still proves what it proves.
                for (size_t i = 0; r < 0 && u.uneven && i < u.q.size(); ++i) {
                    std::vector<LL> alone{u.q[i]};
                    if (m.check(alone, c) >= 0) r = 0;
                }
                if (r >= 0) {
                    u.adm[size_t(c)] = 1;
                    ++u.nAdm;
                } else {
                    ++u.refused[reasonOf(r, u.q)];
                }
            }
        }
    }

    QString unitLine(const Unit& u) const {
        return QStringLiteral("  %1: %2 ч., допустимых клеток %3")
            .arg(u.name)
            .arg(u.sittings)
            .arg(u.nAdm);
    }
    QStringList reasonLines(const Unit& u) const {
        std::vector<std::pair<int, QString>> v;
        for (const auto& [text, n] : u.refused)
            v.push_back({n, text});
        std::stable_sort(v.begin(), v.end(), [](auto& a, auto& b) { return a.first > b.first; });
        QStringList out;
        for (const auto& [n, text] : v)
            out << QStringLiteral("    %1: %2").arg(text, plural(n, "клетка", "клетки", "клеток"));
        return out;
    }

    CheckFinding finding(CheckFinding::Kind kind, const QString& object, int need, int free,
                         const std::vector<int>& concerned) const {
        CheckFinding f;
        f.kind = kind;
        f.object = object;
        f.need = need;
        f.free = free;
        f.severity =
            need > free ? CheckFinding::Severity::Impossible : CheckFinding::Severity::Tight;
        std::set<Short> t, g, s;
        for (int i : concerned) {
            const Unit& u = units[size_t(i)];
            f.lessons.push_back(u.first);
            f.details << unitLine(u);
            for (const LL& l : u.q) {
                if (l.O.TeacherCode) t.insert(l.O.TeacherCode);
                g.insert(l.O.GroupCode);
                s.insert(l.O.ScienceCode);
            }
            if (u.q.empty()) {
                t.insert(u.first.TeacherCode);
                g.insert(u.first.GroupCode);
                s.insert(u.first.ScienceCode);
            }
        }
        f.teachers.assign(t.begin(), t.end());
        f.groups.assign(g.begin(), g.end());
        f.subjects.assign(s.begin(), s.end());
        return f;
    }
    static bool worthTelling(int need, int free) {
        return need > 0 && (need > free || need >= TightShare * free);
    }

    void kinds() {
        for (int i = 0; i < int(units.size()); ++i) {
            const Unit& u = units[size_t(i)];
            if (u.nAdm == 0) {
                CheckFinding f = finding(CheckFinding::Kind::NoCell, u.name, u.sittings, 0, {i});
                f.text = QStringLiteral("%1: нет ни одной допустимой клетки (%2 ч.)")
                             .arg(u.name)
                             .arg(u.sittings);
                f.details << QStringLiteral("  Почему клетки не подходят:") << reasonLines(u);
                place(f, u);
                out.push_back(f);
            } else if (worthTelling(u.sittings, u.nAdm)) {
                CheckFinding f =
                    finding(CheckFinding::Kind::Lessons, u.name, u.sittings, u.nAdm, {i});
                f.text = QStringLiteral("%1: %2 ч. %3")
                             .arg(u.name)
                             .arg(u.sittings)
                             .arg(freeCellsText(u.nAdm));
                f.details << QStringLiteral("  Почему остальные клетки не подходят:")
                          << reasonLines(u);
                place(f, u);
                out.push_back(f);
            }
        }
    }
    /// A kind's finding opens the grid of its group.
    static void place(CheckFinding& f, const Unit& u) {
        f.objectType = ObjectType::Group;
        f.objectCode = u.first.GroupCode;
    }

    /// Lessons of `set` cannot share a cell: their hours against the cells any of them takes.
    void pigeonhole(CheckFinding::Kind kind, const QString& object, Short type, Long code,
                    const std::vector<int>& set) {
        if (set.size() < 2) return; // one kind alone is told as that kind
        int need = 0;
        std::vector<char> any(size_t(m.nC), 0);
        for (int i : set) {
            need += units[size_t(i)].sittings;
            for (int c = 0; c < m.nC; ++c)
                any[size_t(c)] |= units[size_t(i)].adm[size_t(c)];
        }
        const int free = int(std::count(any.begin(), any.end(), 1));
        if (!worthTelling(need, free)) return;
        CheckFinding f = finding(kind, object, need, free, set);
        f.objectType = type;
        f.objectCode = code;
        f.text = QStringLiteral("%1: %2 ч. %3").arg(object).arg(need).arg(freeCellsText(free));
        out.push_back(f);
    }

    void teachers() {
        std::map<Short, std::vector<int>> of;
        for (int i = 0; i < int(units.size()); ++i) {
            if (units[size_t(i)].nAdm == 0) continue; // told as a kind without a cell
            std::set<Short> seen;
            for (const LL& l : units[size_t(i)].q)
                if (l.O.TeacherCode && seen.insert(l.O.TeacherCode).second)
                    of[l.O.TeacherCode].push_back(i);
        }
        for (const auto& [code, set] : of)
            pigeonhole(CheckFinding::Kind::Teacher, teacher(code), ObjectType::Teacher, code, set);
    }

    /// A whole-group lesson shuts out every lesson of its group; lessons of one subgroup number
    /// shut out each other whatever their subgroup type.
    void groups() {
        std::map<Short, std::map<Short, std::vector<int>>> of; // group -> subgroup -> units
        for (int i = 0; i < int(units.size()); ++i) {
            if (units[size_t(i)].nAdm == 0) continue;
            std::set<std::pair<Short, Short>> seen;
            for (const LL& l : units[size_t(i)].q)
                if (seen.insert({l.O.GroupCode, l.O.SubGroupNum}).second)
                    of[l.O.GroupCode][l.O.SubGroupNum].push_back(i);
        }
        for (const auto& [g, subs] : of) {
            const std::vector<int> whole = subs.count(0) ? subs.at(0) : std::vector<int>{};
            if (subs.size() == 1 && subs.count(0)) {
                pigeonhole(CheckFinding::Kind::Group, group(g, 0), ObjectType::Group, g, whole);
                continue;
            }
            for (const auto& [sub, set] : subs) {
                if (sub == 0) continue;
                std::vector<int> all = whole;
                for (int i : set)
                    if (std::find(all.begin(), all.end(), i) == all.end()) all.push_back(i);
                pigeonhole(CheckFinding::Kind::Group, group(g, sub), ObjectType::Group, g, all);
            }
        }
    }

    /// Lessons whose every listed room lies in a few rooms compete for those rooms' cells:
    /// each takes a room and a cell no other lesson takes (a lecture shares its room, so it
    /// is not counted).
    void rooms() {
        struct Member {
            int unit;
            std::vector<Long> rooms;
        };
        std::vector<Member> members;
        std::set<std::vector<Long>> candidates;
        for (int i = 0; i < int(units.size()); ++i) {
            const Unit& u = units[size_t(i)];
            if (u.nAdm == 0) continue;
            for (const LL& l : u.q) {
                if (l.lecture || l.roomChoice->rooms.empty()) continue;
                std::vector<Long> r;
                for (const RoomRef& rr : l.roomChoice->rooms)
                    r.push_back(rr.code);
                std::sort(r.begin(), r.end());
                r.erase(std::unique(r.begin(), r.end()), r.end());
                if (r.size() > FewRooms) continue;
                candidates.insert(r);
                members.push_back({i, std::move(r)});
            }
        }
        std::set<std::vector<int>> told;
        for (const std::vector<Long>& R : candidates) {
            int need = 0;
            std::vector<int> set;
            std::vector<char> any(size_t(m.nC), 0);
            for (const Member& mb : members) {
                if (!std::includes(R.begin(), R.end(), mb.rooms.begin(), mb.rooms.end())) continue;
                need += units[size_t(mb.unit)].sittings;
                if (std::find(set.begin(), set.end(), mb.unit) == set.end()) set.push_back(mb.unit);
                for (int c = 0; c < m.nC; ++c)
                    any[size_t(c)] |= units[size_t(mb.unit)].adm[size_t(c)];
            }
            if (set.size() < 2) continue;
            std::sort(set.begin(), set.end());
            int free = 0;
            for (Long r : R) {
                const int idx = m.roomOf(r);
                const auto* restr = m.restr(ObjectType::Room, r);
                for (int c = 0; c < m.nC; ++c)
                    if (any[size_t(c)] && m.roomAt(idx, c) == 0 &&
                        FastPlacement::Model::level(restr, c) < RestrictionLevel::Forbidden)
                        ++free;
            }
            if (!worthTelling(need, free) || !told.insert(set).second) continue;
            QStringList nos;
            for (Long r : R)
                nos << names::rtrim(names::roomNo(m.dict, r));
            const QString object =
                (R.size() == 1 ? QStringLiteral("кабинет ") : QStringLiteral("кабинеты ")) +
                nos.join(QStringLiteral(", "));
            CheckFinding f = finding(CheckFinding::Kind::Rooms, object, need, free, set);
            f.objectType = ObjectType::Room;
            f.objectCode = R.front();
            f.text =
                QStringLiteral("%1: %2 ч. на %3 кабинетов")
                    .arg(object)
                    .arg(need)
                    .arg(plural(free, "свободную клетку", "свободные клетки", "свободных клеток"));
            out.push_back(f);
        }
    }

    /// The cycle's most lessons a day (a wish of the estimation, not a rule of the cell) against
    /// the days on which the group's lessons of the cycle can still go.
    void days() {
        std::map<std::pair<Short, Short>, std::vector<int>> of; // group, cycle -> units
        for (int i = 0; i < int(units.size()); ++i) {
            const Unit& u = units[size_t(i)];
            if (u.nAdm == 0 || u.first.LinkCode > 0 || u.first.SubGroupNum != 0) continue;
            const LL& l = u.q.front();
            if (l.cycleMax > 0) of[{l.O.GroupCode, l.cycle}].push_back(i);
        }
        QHash<Short, QString> cycleNames;
        for (const ScienceCycle& c : m.dict.access<ScienceCycle>().all(ScienceCycle::CycleCodeKey))
            cycleNames.insert(c.CycleCode, names::rtrim(c.CycleName));
        for (const auto& [key, set] : of) {
            const int max = units[size_t(set.front())].q.front().cycleMax;
            int need = 0;
            std::set<int> daysLeft;
            for (int i : set) {
                need += units[size_t(i)].sittings;
                for (int c = 0; c < m.nC; ++c)
                    if (units[size_t(i)].adm[size_t(c)]) daysLeft.insert(c / m.nL);
            }
            const int capacity = max * int(daysLeft.size());
            if (need <= capacity) continue;
            const QString object = group(key.first, 0) + QStringLiteral(", цикл «") +
                                   cycleNames.value(key.second) + QStringLiteral("»");
            CheckFinding f = finding(CheckFinding::Kind::Day, object, need, capacity, set);
            f.severity = CheckFinding::Severity::Tight; // the day's most is a wish, not a rule
            f.objectType = ObjectType::Group;
            f.objectCode = key.first;
            f.text = QStringLiteral("%1: %2 ч. при не более %3 в день на %4")
                         .arg(object)
                         .arg(need)
                         .arg(max)
                         .arg(plural(int(daysLeft.size()), "день", "дня", "дней"));
            out.push_back(f);
        }
    }
};

bool concerns(const CheckFinding& f, short kind, short code) {
    const auto has = [code](const std::vector<Short>& v) {
        return std::find(v.begin(), v.end(), code) != v.end();
    };
    switch (kind) {
    case TaskKind::Teacher:
        return has(f.teachers);
    case TaskKind::Group:
        return has(f.groups);
    case TaskKind::Science:
        return has(f.subjects);
    default:
        return true;
    }
}

} // namespace

QString freeCellsText(int n) {
    return QStringLiteral("на ") +
           plural(n, "свободную клетку", "свободные клетки", "свободных клеток");
}

QString CheckFinding::severityText() const {
    return severity == Severity::Impossible ? QStringLiteral("невозможно")
                                            : QStringLiteral("тесно");
}

int PlacementCheckResult::impossible() const {
    return int(std::count_if(findings.begin(), findings.end(), [](const CheckFinding& f) {
        return f.severity == CheckFinding::Severity::Impossible;
    }));
}

PlacementCheckResult CheckPlacementData(Dictionary& dict, short kind, short code) {
    PlacementCheckResult r;
    std::vector<std::unique_ptr<FileUse>> uses;
    for (FileId id : {FileId::Room, FileId::ScienceCycle, FileId::Group}) {
        uses.push_back(std::make_unique<FileUse>(dict.store(), id));
        if (!*uses.back()) return r;
    }
    Checker k(dict);
    if (!k.m.loadData()) return r;
    for (const Group& g : dict.access<Group>().all(Group::GroupCodeKey))
        k.groupNames.insert(g.GroupCode, g.GroupId());
    k.gather();
    k.judge();
    k.kinds();
    k.teachers();
    k.groups();
    k.rooms();
    k.days();
    r.ok = dict.access<Schedule>().readOk();
    r.cells = k.m.nC;
    for (const Unit& u : k.units)
        if (kind == TaskKind::All ||
            concerns(k.finding(CheckFinding::Kind::Lessons, {}, 0, 0, {int(&u - k.units.data())}),
                     kind, code))
            r.lessons += u.lessons;
    for (CheckFinding& f : k.out)
        if (kind == TaskKind::All || concerns(f, kind, code)) r.findings.push_back(std::move(f));
    std::stable_sort(r.findings.begin(), r.findings.end(),
                     [](const CheckFinding& a, const CheckFinding& b) {
                         if (a.severity != b.severity) return a.severity < b.severity;
                         if (a.kind != b.kind) return a.kind < b.kind;
                         return a.need - a.free > b.need - b.free;
                     });
    return r;
}

QStringList placementCheckLines(const PlacementCheckResult& r) {
    QStringList out;
    out << QStringLiteral("Проверка данных для расстановки: уроков к расстановке %1, клеток в "
                          "цикле %2.")
               .arg(r.lessons)
               .arg(r.cells);
    const int impossible = r.impossible();
    out << QStringLiteral("Невозможно: %1, тесно: %2.")
               .arg(impossible)
               .arg(int(r.findings.size()) - impossible);
    for (const CheckFinding& f : r.findings) {
        out << QString();
        out << f.severityText().leftJustified(11) + f.text;
        out << f.details;
    }
    return out;
}

trusko::ReportDocument placementCheckReport(const PlacementCheckResult& r) {
    trusko::ReportDocument d;
    d.caption = QStringLiteral("Проверка данных для расстановки");
    const int impossible = r.impossible();
    d.title = QStringLiteral("Уроков к расстановке: %1. Невозможно: %2, тесно: %3.")
                  .arg(r.lessons)
                  .arg(impossible)
                  .arg(int(r.findings.size()) - impossible);
    d.layout.widths = {1.2, 4, 1, 1, 8};
    d.layout.align = {trusko::Align::Left, trusko::Align::Left, trusko::Align::Right,
                      trusko::Align::Right, trusko::Align::Left};
    trusko::ColumnSet set;
    set.headers = {QStringLiteral("Оценка"), QStringLiteral("Объект"), QStringLiteral("Часов"),
                   QStringLiteral("Клеток"), QStringLiteral("Подробности")};
    for (const CheckFinding& f : r.findings) {
        trusko::ReportRow row;
        QStringList details;
        for (const QString& line : f.details)
            details << line.trimmed();
        row.cells = {f.severityText(), f.object, QString::number(f.need), QString::number(f.free),
                     QStringList(QStringList{f.text} + details).join(trusko::CellLineBreak)};
        row.strong = {{0}, {}, {}, {}, {0}};
        set.rows.push_back(std::move(row));
    }
    if (r.findings.empty()) {
        trusko::ReportRow row;
        row.kind = trusko::ReportRow::Kind::Band;
        row.cells = {QStringLiteral("Препятствий для расстановки не найдено.")};
        set.rows.push_back(std::move(row));
    }
    d.sets.push_back(std::move(set));
    return d;
}

} // namespace pivrel
