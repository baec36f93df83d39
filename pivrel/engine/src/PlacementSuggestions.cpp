#include "pivrel/engine/PlacementSuggestions.h"

#include "pivrel/engine/UnplacedReasons.h"

#include "FastModel.h"
#include "LessonNamer.h"

#include "tamsel/WritingLock.h"

#include <map>
#include <set>
#include <tuple>

using namespace tamsel;

namespace pivrel {

namespace {

using SKind = PlacementSuggestion::Kind;

/// The run's model of the timetable with the lessons of every cell, on which a change is made,
/// judged by the run's own check and undone again.
struct Prover {
    Dictionary& dict;
    FastPlacement::Model m;
    LessonNamer n;
    QHash<RowId, int> byRow;
    struct RoomInfo {
        Long code;
        Long type;
    };
    std::vector<RoomInfo> rooms; ///< the school's rooms, read on first need
    bool roomsRead = false;
    /// Searches for a cell to move a lesson to, per lesson kind: each costs a pass over every
    /// cell, so a school with many lessons left stays quick.
    static constexpr int MoveSearches = 24;

    explicit Prover(Dictionary& d) : dict(d), m(d), n(d) {}

    /// The files stay open while the prover lives: the names are read as they are needed.
    std::vector<std::unique_ptr<FileUse>> uses;

    bool load() {
        for (FileId id : Engine::files()) {
            uses.push_back(std::make_unique<FileUse>(dict.store(), id));
            if (!*uses.back()) return false;
        }
        if (!m.loadData()) return false;
        m.recordsAt.assign(size_t(m.nC), {});
        for (size_t i = 0; i < m.recs.size(); ++i) {
            const Schedule& s = m.recs[i];
            byRow.insert(s.rowId, int(i));
            const int c = m.cellOf(s.Week, s.DaySeqNumber, s.LessonNo);
            if (!s.isUnplaced() && c >= 0) m.recordsAt[size_t(c)].push_back(int(i));
        }
        return true;
    }

    Engine::Cell cellAt(int c) const {
        return Engine::Cell{m.weekOf(c), m.days[size_t(m.dayIdxOf(c))],
                            m.lessons[size_t(m.lessonIdxOf(c))]};
    }
    QString cellName(int c) {
        const Engine::Cell x = cellAt(c);
        return n.cell(x.week, x.day, x.lessonNo);
    }

    /// The lessons that go with `first` (its link's first unplaced lessons), as a run gathers.
    std::vector<LL> gather(const Schedule& first) {
        std::vector<LL> q;
        if (first.LinkCode > 0)
            m.build(first, q);
        else
            q.push_back(m.resolve(first));
        return q;
    }

    void takeOut(const std::vector<int>& sitting, int c) {
        for (int i : sitting)
            std::erase(m.recordsAt[size_t(c)], i);
        for (int i : sitting)
            m.vacate(m.recs[size_t(i)]);
    }
    void putBack(const std::vector<int>& sitting, int c) {
        for (int i : sitting) {
            m.occupy(m.recs[size_t(i)]);
            m.recordsAt[size_t(c)].push_back(i);
        }
    }

    /// The sittings in cell `c` that share a teacher, a group or a listed room with `q`: one
    /// lesson, or every lesson of a link there.
    std::vector<std::vector<int>> inTheWay(const std::vector<LL>& q, int c) {
        std::vector<std::vector<int>> out;
        std::set<Short> links;
        for (int i : m.recordsAt[size_t(c)]) {
            const Schedule& s = m.recs[size_t(i)];
            bool shares = false;
            for (const LL& e : q) {
                shares = shares || (s.TeacherCode != 0 && s.TeacherCode == e.O.TeacherCode) ||
                         s.GroupCode == e.O.GroupCode;
                for (const RoomRef& r : e.roomChoice->rooms)
                    shares = shares || r.code == s.RoomCode;
            }
            if (!shares) continue;
            if (s.LinkCode <= 0) {
                out.push_back({i});
                continue;
            }
            if (!links.insert(s.LinkCode).second) continue;
            std::vector<int> sitting;
            for (int j : m.recordsAt[size_t(c)])
                if (m.recs[size_t(j)].LinkCode == s.LinkCode) sitting.push_back(j);
            out.push_back(std::move(sitting));
        }
        return out;
    }

    /// The best cell but `from` for a sitting taken out of the model: admissible, and of
    /// those the fewest repeats of the subject that day, then the fewest undesirable times.
    int freeCellFor(const std::vector<int>& sitting, int from) {
        std::vector<LL> q;
        for (int i : sitting)
            q.push_back(m.resolve(m.recs[size_t(i)]));
        int best = -1;
        long bestScore = 0;
        for (int c = 0; c < m.nC; ++c) {
            if (c == from) continue;
            const long r = m.check(q, c);
            if (r < 0) continue;
            const long score = long(m.dayLoad(q, c)) * 1000 + r;
            if (best < 0 || score < bestScore) {
                best = c;
                bestScore = score;
                if (score == 0) break;
            }
        }
        return best;
    }

    QString sittingName(const std::vector<int>& sitting) {
        const Schedule& s = m.recs[size_t(sitting.front())];
        if (s.LinkCode > 0) return QStringLiteral("связь «%1»").arg(m.links.value(s.LinkCode).name);
        return QStringLiteral("«%1»").arg(n.lesson(s));
    }

    void readRooms() {
        if (roomsRead) return;
        roomsRead = true;
        for (const Room& r : dict.access<Room>().all(Room::RoomNoKey))
            if (r.RoomCode != 0) rooms.push_back({r.RoomCode, r.RoomTypePtr});
    }

    /// Rooms of the school outside member `e`'s list that are free and allowed in cell `c`;
    /// of the type of the listed rooms when they have one (a laboratory stays a laboratory).
    std::vector<Long> otherRooms(const LL& e, int c) {
        readRooms();
        std::set<Long> listed, types;
        for (const RoomRef& r : e.roomChoice->rooms)
            listed.insert(r.code);
        for (const RoomInfo& r : rooms)
            if (listed.count(r.code) && r.type != 0) types.insert(r.type);
        std::vector<Long> out;
        for (const RoomInfo& r : rooms) {
            if (listed.count(r.code) || (!types.empty() && !types.count(r.type))) continue;
            if (m.roomAt(m.roomOf(r.code), c) > 0) continue;
            if (FastPlacement::Model::level(m.restr(ObjectType::Room, r.code), c) >=
                RestrictionLevel::Forbidden)
                continue;
            out.push_back(r.code);
        }
        return out;
    }

    std::vector<PlacementSuggestion> suggest(const Schedule& first, int count, int limit);
    /// Moves the sitting (taken out of the model) to `to`; the rooms the check chose go into
    /// the records. False when `to` does not take it.
    bool place(const std::vector<int>& sitting, int to);
};

bool Prover::place(const std::vector<int>& sitting, int to) {
    std::vector<LL> q;
    for (int i : sitting)
        q.push_back(m.resolve(m.recs[size_t(i)]));
    if (m.check(q, to) < 0) return false;
    const Engine::Cell x = cellAt(to);
    for (size_t k = 0; k < sitting.size(); ++k) {
        Schedule& s = m.recs[size_t(sitting[k])];
        s.Week = x.week;
        s.DaySeqNumber = x.day;
        s.LessonNo = x.lessonNo;
        s.RoomCode = q[k].room;
    }
    putBack(sitting, to);
    return true;
}

std::vector<PlacementSuggestion> Prover::suggest(const Schedule& first, int count, int limit) {
    std::vector<PlacementSuggestion> moves, roomsAdded, lifted;
    const auto it = byRow.constFind(first.rowId);
    if (it == byRow.constEnd() || limit <= 0) return {};
    const Schedule lesson = m.recs[size_t(*it)];
    if (!lesson.isUnplaced()) return {};
    std::vector<LL> q = gather(lesson);
    if (q.empty()) return {};
    std::vector<int> refused;
    for (int c = 0; c < m.nC; ++c)
        if (m.check(q, c) < 0) refused.push_back(c);
    // Cells enough already: a person places it without changing anything.
    if (m.nC - int(refused.size()) >= count) return {};

    auto base = [&](SKind kind, int c) {
        PlacementSuggestion s;
        s.kind = kind;
        s.lesson = lesson;
        s.cell = cellAt(c);
        return s;
    };
    const QString there = QStringLiteral(" — тогда урок встанет на ");

    // A lesson in the way that has a free cell of its own (never a pinned one).
    int searches = 0;
    for (int c : refused) {
        if (int(moves.size()) == limit || searches == MoveSearches) break;
        for (const std::vector<int>& sitting : inTheWay(q, c)) {
            if (searches == MoveSearches) break;
            if (std::any_of(sitting.begin(), sitting.end(),
                            [&](int i) { return m.recs[size_t(i)].Pinned != 0; }))
                continue;
            takeOut(sitting, c);
            int to = -1;
            if (m.check(q, c) >= 0) {
                ++searches;
                to = freeCellFor(sitting, c);
            }
            putBack(sitting, c);
            if (to < 0) continue;
            PlacementSuggestion s = base(SKind::Move, c);
            for (int i : sitting)
                s.moved.push_back(m.recs[size_t(i)]);
            s.to = cellAt(to);
            s.text = QStringLiteral("Переставить %1 с %2 на %3")
                         .arg(sittingName(sitting), cellName(c), cellName(to)) +
                     there + cellName(c);
            moves.push_back(std::move(s));
            break; // one move per cell: the others are told in other cells
        }
    }

    // A free room of the school for a member whose listed rooms are all taken or forbidden.
    for (int c : refused) {
        if (int(roomsAdded.size()) == limit) break;
        for (LL& e : q) {
            if (e.O.TeacherCode == 0) continue; // no teacher, no list to add to
            RoomChoice& list = *e.roomChoice;
            const bool none = std::all_of(list.rooms.begin(), list.rooms.end(), [&](const RoomRef& r) {
                return m.roomAt(r.idx, c) > 0 ||
                       FastPlacement::Model::level(r.restr, c) >= RestrictionLevel::Forbidden;
            });
            if (!none) continue;
            bool found = false;
            int tried = 0;
            for (Long room : otherRooms(e, c)) {
                if (tried++ == 2) break; // another free room fails for the same other reason
                list.rooms.push_back(RoomRef{room, m.roomOf(room), m.restr(ObjectType::Room, room)});
                if (!list.start.empty()) list.start[size_t(c)] = {};
                found = m.check(q, c) >= 0;
                list.rooms.pop_back();
                if (!list.start.empty()) list.start[size_t(c)] = {};
                if (!found) continue;
                PlacementSuggestion s = base(SKind::Room, c);
                s.teacher = e.O.TeacherCode;
                s.science = e.O.ScienceCode;
                s.room = room;
                s.text = QStringLiteral("Добавить кабинет %1 в список кабинетов %2 по предмету %3")
                             .arg(n.room(room), n.teacher(e.O.TeacherCode),
                                  n.science(e.O.ScienceCode)) +
                         there + cellName(c);
                roomsAdded.push_back(std::move(s));
                break;
            }
            if (found) break;
        }
    }

    // A forbidden time of a member's teacher or group (an undesirable one refuses nothing).
    for (int c : refused) {
        if (int(lifted.size()) == limit) break;
        bool found = false;
        for (size_t k = 0; k < q.size() && !found; ++k) {
            const LL& e = q[k];
            const std::pair<Short, Short> objects[] = {{ObjectType::Teacher, e.O.TeacherCode},
                                                       {ObjectType::Group, e.O.GroupCode}};
            for (const auto& [type, code] : objects) {
                auto* levels = const_cast<std::vector<short>*>(m.restr(type, code));
                if (!levels || (*levels)[size_t(c)] < RestrictionLevel::Forbidden) continue;
                const short was = (*levels)[size_t(c)];
                (*levels)[size_t(c)] = RestrictionLevel::None;
                found = m.check(q, c) >= 0;
                (*levels)[size_t(c)] = was;
                if (!found) continue;
                PlacementSuggestion s = base(SKind::Restriction, c);
                s.objectType = type;
                s.objectCode = code;
                s.text = (type == ObjectType::Teacher
                              ? QStringLiteral("Снять запрет учителя %1 на %2").arg(n.teacher(code))
                              : QStringLiteral("Снять запрет группы %1 на %2").arg(n.group(code)))
                             .arg(cellName(c)) +
                         QStringLiteral(" — тогда урок встанет туда");
                lifted.push_back(std::move(s));
                break;
            }
        }
    }

    // Moves first, then rooms, then lifted times; a cell not yet named first.
    std::vector<PlacementSuggestion> out;
    std::set<std::tuple<short, short, QString>> named;
    for (int pass = 0; pass < 2; ++pass)
        for (std::vector<PlacementSuggestion>* v : {&moves, &roomsAdded, &lifted})
            for (PlacementSuggestion& s : *v) {
                if (int(out.size()) == limit || s.text.isEmpty()) continue;
                const auto key = std::tuple{s.cell.week, s.cell.day, s.cell.lessonNo};
                if (pass == 0 && named.count(key)) continue;
                named.insert(key);
                out.push_back(std::move(s));
                s.text.clear(); // taken
            }
    return out;
}

QString stale() {
    return QStringLiteral("Расписание изменилось с тех пор, как это предложение было найдено: "
                          "теперь оно не поможет. Ничего не изменено.");
}

} // namespace

std::vector<PlacementSuggestion> SuggestPlacements(Dictionary& dict, const Schedule& first,
                                                   int count, int limit) {
    Prover p(dict);
    if (!p.load()) return {};
    return p.suggest(first, count, limit);
}

void AddSuggestions(Dictionary& dict, std::vector<UnplacedLesson>& lessons) {
    // The reasons have counted the open cells with the same judgement: a lesson with cells
    // enough needs no change, and without such a lesson the model is not even read (a
    // selection in the unplaced lessons window stays quick).
    const auto needs = [](const UnplacedLesson& l) { return l.openCells < l.count; };
    if (std::none_of(lessons.begin(), lessons.end(), needs)) return;
    Prover p(dict);
    if (!p.load()) return;
    for (UnplacedLesson& l : lessons)
        if (needs(l)) l.suggestions = p.suggest(l.lesson, l.count, 3);
}

std::vector<SuggestedLesson> SuggestForUnplaced(Dictionary& dict, short kind, short code) {
    std::vector<SuggestedLesson> out;
    Prover p(dict);
    if (!p.load()) return out;
    // Each kind (or link) once, with its lessons left, in row order.
    std::map<std::tuple<Short, Short, Short, Short, Short, Long>, std::pair<int, int>> kinds;
    std::vector<int> order;
    std::map<std::pair<Short, quint64>, int> perMember;
    for (size_t i = 0; i < p.m.recs.size(); ++i) {
        const Schedule& s = p.m.recs[i];
        if (!s.isUnplaced()) continue;
        const bool inScope = kind == TaskKind::All ||
                             (kind == TaskKind::Group && s.GroupCode == code) ||
                             (kind == TaskKind::Teacher && s.TeacherCode == code) ||
                             (kind == TaskKind::Science && s.ScienceCode == code);
        if (!inScope) continue;
        const auto k = s.LinkCode > 0
                           ? std::tuple{s.LinkCode, Short(0), Short(0), Short(0), Short(0), Long(0)}
                           : std::tuple{Short(0),    s.ScienceCode, s.TeacherCode,
                                        s.GroupCode, s.SubGroupNum, s.RoomCode};
        auto [it, fresh] = kinds.try_emplace(k, std::pair{int(i), 0});
        if (fresh) order.push_back(int(i));
        if (s.LinkCode > 0)
            it->second.second = std::max(
                it->second.second,
                ++perMember[{s.LinkCode, kindKey(s.TrainingCourseItemCode, s.GroupCode,
                                                 s.SubGroupNum)}]);
        else
            ++it->second.second;
    }
    std::map<int, int> counts;
    for (const auto& [k, v] : kinds)
        counts[v.first] = v.second;
    for (int i : order) {
        const Schedule s = p.m.recs[size_t(i)];
        std::vector<PlacementSuggestion> v = p.suggest(s, counts[i], 3);
        if (v.empty()) continue;
        const QString name = s.LinkCode > 0
                                 ? QStringLiteral("Связь «%1»").arg(p.m.links.value(s.LinkCode).name)
                                 : p.n.lesson(s);
        out.push_back({name, std::move(v)});
    }
    return out;
}

QStringList suggestionLines(const std::vector<PlacementSuggestion>& suggestions) {
    QStringList out;
    if (suggestions.empty()) return out;
    out << QStringLiteral("  Что можно сделать:");
    for (const PlacementSuggestion& s : suggestions)
        out << QStringLiteral("    %1").arg(s.text);
    return out;
}

QString ApplyPlacementSuggestion(Dictionary& dict, const PlacementSuggestion& s) {
    WritingScope writing(dict);
    if (!writing) return QStringLiteral("Расписание сейчас меняет другой пользователь или окно.");
    Prover p(dict);
    if (!p.load()) return QStringLiteral("Данные расписания не удалось прочитать.");
    FastPlacement::Model& m = p.m;
    const int from = m.cellOf(s.cell.week, s.cell.day, s.cell.lessonNo);
    if (from < 0) return stale();
    // The lesson is still without a place: the first of its kind as a placement takes it.
    const auto at = p.byRow.constFind(s.lesson.rowId);
    if (at == p.byRow.constEnd() || !m.recs[size_t(*at)].isUnplaced()) return stale();
    std::vector<LL> q = p.gather(m.recs[size_t(*at)]);
    if (q.empty()) return stale();

    // The change made in the model, as the suggestion was found, and the proof again on the
    // timetable and the data as they are now.
    std::vector<int> sitting;
    std::vector<FileId> files{FileId::Schedule};
    QString name;
    switch (s.kind) {
    case SKind::Move: {
        const int to = m.cellOf(s.to.week, s.to.day, s.to.lessonNo);
        if (to < 0 || s.moved.empty()) return stale();
        // The lessons in the way still stand where they stood, unpinned, and make up the
        // whole sitting of their link there.
        for (const Schedule& x : s.moved) {
            const auto it = p.byRow.constFind(x.rowId);
            if (it == p.byRow.constEnd()) return stale();
            const Schedule& now = m.recs[size_t(*it)];
            if (now.Week != x.Week || now.DaySeqNumber != x.DaySeqNumber ||
                now.LessonNo != x.LessonNo || now.RoomCode != x.RoomCode || now.Pinned)
                return stale();
            sitting.push_back(*it);
        }
        const Short link = s.moved.front().LinkCode;
        if (link > 0)
            for (int i : m.recordsAt[size_t(from)])
                if (m.recs[size_t(i)].LinkCode == link &&
                    std::find(sitting.begin(), sitting.end(), i) == sitting.end())
                    return stale();
        p.takeOut(sitting, from);
        if (!p.place(sitting, to)) return stale();
        name = QStringLiteral("размещение урока с перестановкой");
        break;
    }
    case SKind::Room: {
        const auto e = std::find_if(q.begin(), q.end(), [&](const LL& x) {
            return x.O.TeacherCode == s.teacher && x.O.ScienceCode == s.science;
        });
        if (e == q.end()) return stale();
        RoomChoice& list = *e->roomChoice;
        for (const RoomRef& r : list.rooms)
            if (r.code == s.room) return stale();
        const Long room = static_cast<Long>(s.room);
        list.rooms.push_back(RoomRef{room, m.roomOf(room), m.restr(ObjectType::Room, room)});
        list.start.clear();
        files.push_back(FileId::RoomList);
        name = QStringLiteral("размещение урока с кабинетом, добавленным в список");
        break;
    }
    case SKind::Restriction: {
        auto* levels = const_cast<std::vector<short>*>(m.restr(s.objectType, s.objectCode));
        if (!levels || (*levels)[size_t(from)] < RestrictionLevel::Forbidden) return stale();
        (*levels)[size_t(from)] = RestrictionLevel::None;
        files.push_back(FileId::Restriction);
        name = QStringLiteral("размещение урока со снятием запрета");
        break;
    }
    }
    if (m.check(q, from) < 0) return stale();

    std::vector<Schedule> rows;
    for (int i : sitting)
        rows.push_back(m.recs[size_t(i)]);
    for (const LL& e : q) {
        Schedule x = e.O;
        x.Week = s.cell.week;
        x.DaySeqNumber = s.cell.day;
        x.LessonNo = s.cell.lessonNo;
        x.RoomCode = e.room;
        rows.push_back(x);
    }
    EditHistory::Step step(dict.history(), name, files);
    Transaction tx(dict.store(), files);
    Outcome o = tx.error();
    bool ok = tx.active();
    if (ok && s.kind == SKind::Room) {
        // Last in the list: the rooms the officer put first stay first.
        auto lists = tx.access<RoomList>();
        RoomList r{.TeacherCode = s.teacher, .ScienceCode = s.science,
                   .RoomCode = static_cast<Short>(s.room), .Priority = 0};
        RoomList own;
        own.TeacherCode = s.teacher;
        own.ScienceCode = s.science;
        for (const RoomList& x : lists.read(RoomList::TeacherScienceKey, own, 2))
            r.Priority = std::max<Short>(r.Priority, static_cast<Short>(x.Priority + 1));
        o = lists.insert(r);
        ok = o.ok();
    }
    if (ok && s.kind == SKind::Restriction) {
        auto restrictions = tx.access<Restriction>();
        Restriction key{.ObjectType = s.objectType, .ObjectCode = s.objectCode,
                        .Week = s.cell.week, .DaySeqNumber = s.cell.day,
                        .LessonNo = s.cell.lessonNo};
        bool found = false;
        const Restriction r = restrictions.fetch(Restriction::ObjectIdKey, key, &found);
        if (found) {
            o = restrictions.remove(r);
            ok = o.ok();
        }
    }
    if (ok) {
        auto sch = tx.access<Schedule>();
        for (size_t k = 0; k < rows.size() && ok; ++k) {
            o = sch.update(rows[k]);
            ok = o.ok();
        }
        if (ok) {
            o = tx.commit();
            ok = o.ok();
        }
    }
    if (!ok) {
        dict.errors().report(o.msgNo, o.args);
        return QStringLiteral("Расписание не удалось записать. Ничего не изменено.");
    }
    return {};
}

} // namespace pivrel
