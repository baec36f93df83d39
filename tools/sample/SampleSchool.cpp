#include "SampleSchool.h"
#include "SampleModel.h"

#include "faldin/RoomLists.h"
#include "tamsel/Dictionary.h"
#include "tamsel/Relations.h"
#include "tamsel/Transaction.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <tuple>
#include <vector>

using namespace tamsel;

namespace sample {

QString sizeName(SchoolSize size) {
    switch (size) {
    case SchoolSize::Small:
        return QStringLiteral("small");
    case SchoolSize::Medium:
        return QStringLiteral("medium");
    case SchoolSize::Large:
        return QStringLiteral("large");
    case SchoolSize::ExtraLarge:
        return QStringLiteral("xl");
    }
    return {};
}

std::optional<SchoolSize> sizeFromName(const QString& name) {
    for (SchoolSize s :
         {SchoolSize::Small, SchoolSize::Medium, SchoolSize::Large, SchoolSize::ExtraLarge})
        if (name == sizeName(s)) return s;
    return std::nullopt;
}

namespace model {

QString Builder::uniqueTeacherName() {
    // Mostly women, as in most schools; unique, as the name key demands.
    const QString in = QString::fromUtf8(Initials);
    QString name;
    do {
        QString surname = u(Surnames[rnd_.below(static_cast<int>(std::size(Surnames)))]);
        if (rnd_.chance(75)) surname += QString::fromUtf8("а");
        name = surname + QLatin1Char(' ') + in[rnd_.below(static_cast<int>(in.size()))] +
               QLatin1Char('.') + in[rnd_.below(static_cast<int>(in.size()))] + QLatin1Char('.');
    } while (!teacherNames_.insert(name.toUpper()).second);
    return name;
}

QString Builder::roomNumber(RoomKind kind, int i) {
    switch (kind) {
    case CommonRoom:
        return QString::number((i / 12 + 1) * 100 + i % 12 + 1);
    case InformaticsRoom:
        return u("Инф-%1").arg(i + 1);
    case LabRoom:
        return u("Лаб-%1").arg(i + 1);
    default: // seven characters at most, as room numbers are
        return (i + 1 < 10 ? u("Спорт-%1") : u("Спорт%1")).arg(i + 1);
    }
}

void Builder::makeGroups() {
    for (int c = 0; c < CourseCount; ++c) {
        const int n = size_.groups[static_cast<size_t>(c)];
        // From the seventh year on, the last classes of a year study in depth.
        const int inDepth = (c >= 2 && n >= 2) ? std::max(1, n * size_.inDepthPercent / 100) : 0;
        for (int i = 0; i < n; ++i)
            groups_.push_back({c, i >= n - inDepth ? 1 : 0, u(Letters[i])});
    }
}

void Builder::makePlan() {
    std::set<std::pair<int, int>> present;
    for (const GroupDef& g : groups_)
        present.insert({g.course, g.stream});
    for (auto [course, stream] : present) {
        for (int s = 0; s < SubjectCount; ++s) {
            int single = Subjects[s].single[static_cast<size_t>(course)];
            int coupled = Subjects[s].coupled[static_cast<size_t>(course)];
            if (stream == 1)
                for (const StreamTwoHours& t : StreamTwo)
                    if (qstrcmp(t.subject, Subjects[s].name) == 0) {
                        single = t.single[static_cast<size_t>(course)];
                        coupled = t.coupled[static_cast<size_t>(course)];
                    }
            if (single + coupled > 0) items_.push_back({course, stream, s, single, coupled});
        }
    }
}

void Builder::makeKinds() {
    for (int i = 0; i < static_cast<int>(items_.size()); ++i) {
        const ItemDef& it = items_[static_cast<size_t>(i)];
        // As lesson generation makes them: each single hour, and two entries per pair.
        const int entries = it.single + 2 * ((it.coupled + 1) / 2);
        for (int g = 0; g < static_cast<int>(groups_.size()); ++g) {
            GroupDef& grp = groups_[static_cast<size_t>(g)];
            if (grp.course != it.course || grp.stream != it.stream) continue;
            grp.hours += entries;
            if (Subjects[it.subject].split) {
                kinds_.push_back({i, g, 1, entries});
                kinds_.push_back({i, g, 2, entries});
            } else {
                kinds_.push_back({i, g, 0, entries});
            }
        }
    }
}

void Builder::chooseLectures() {
    std::set<int> used; // kinds already in a lecture
    for (int tries = 0; tries < 200 && static_cast<int>(lectures_.size()) < size_.lectures;
         ++tries) {
        const int s =
            subjectIndex(LectureSubjects[rnd_.below(static_cast<int>(std::size(LectureSubjects)))]);
        std::vector<int> candidates; // kinds of that subject in the general stream
        for (int k = 0; k < static_cast<int>(kinds_.size()); ++k) {
            const KindDef& kd = kinds_[static_cast<size_t>(k)];
            const ItemDef& it = items_[static_cast<size_t>(kd.item)];
            if (it.subject == s && it.stream == 0 && !used.count(k)) candidates.push_back(k);
        }
        if (candidates.size() < 2) continue;
        const int a =
            candidates[static_cast<size_t>(rnd_.below(static_cast<int>(candidates.size()) - 1))];
        // Its neighbour in the same plan item (the next letter of the same year).
        auto next = std::find_if(candidates.begin(), candidates.end(), [&](int k) {
            return k > a &&
                   kinds_[static_cast<size_t>(k)].item == kinds_[static_cast<size_t>(a)].item;
        });
        if (next == candidates.end()) continue;
        used.insert(a);
        used.insert(*next);
        lectures_.push_back({a, *next});
    }
}

bool Builder::assignTeachers(QString* error) {
    // Shares of the load: lectures first, then each group's hours per speciality.
    std::vector<Unit> units;
    std::set<int> inLecture;
    for (const auto& l : lectures_) {
        const KindDef& k = kinds_[static_cast<size_t>(l[0])];
        units.push_back({Subjects[items_[static_cast<size_t>(k.item)].subject].specialty,
                         k.entries,
                         {l[0], l[1]},
                         -1,
                         0,
                         true});
        inLecture.insert(l[0]);
        inLecture.insert(l[1]);
    }
    std::map<std::tuple<int, int, int>, size_t> byGroup; // (group, specialty, sub) -> unit
    for (int k = 0; k < static_cast<int>(kinds_.size()); ++k) {
        if (inLecture.count(k)) continue;
        const KindDef& kd = kinds_[static_cast<size_t>(k)];
        const int specialty = Subjects[items_[static_cast<size_t>(kd.item)].subject].specialty;
        auto key = std::make_tuple(kd.group, specialty, kd.sub);
        auto it = byGroup.find(key);
        if (it == byGroup.end()) {
            it = byGroup.emplace(key, units.size()).first;
            units.push_back({specialty, 0, {}, kd.group, kd.sub, false});
        }
        units[it->second].hours += kd.entries;
        units[it->second].kinds.push_back(k);
    }

    // Teachers per speciality in proportion to its hours; two at least where a class is
    // taught in halves at the same time.
    std::array<int, SpecCount> demand{}, count{};
    for (const Unit& un : units)
        demand[static_cast<size_t>(un.specialty)] += un.hours;
    int assigned = 0;
    for (int s = 0; s < SpecCount; ++s) {
        if (demand[static_cast<size_t>(s)] == 0) continue;
        const bool halves = s == SpecForeign || s == SpecInformatics || s == SpecTechnology;
        count[static_cast<size_t>(s)] = halves ? 2 : 1;
        assigned += count[static_cast<size_t>(s)];
    }
    for (; assigned < size_.teachers; ++assigned) {
        int best = -1;
        for (int s = 0; s < SpecCount; ++s) {
            if (demand[static_cast<size_t>(s)] == 0) continue;
            if (best < 0 || demand[static_cast<size_t>(s)] * count[static_cast<size_t>(best)] >
                                demand[static_cast<size_t>(best)] * count[static_cast<size_t>(s)])
                best = s;
        }
        ++count[static_cast<size_t>(best)];
    }

    for (int s = 0; s < SpecCount; ++s)
        for (int i = 0; i < count[static_cast<size_t>(s)]; ++i)
            teachers_.push_back({s, uniqueTeacherName()});

    // Largest shares first, each to the least loaded teacher of the speciality; the two
    // halves of a class never share a teacher, since they sit at the same time.
    std::vector<size_t> order(units.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return units[a].hours > units[b].hours; });
    std::map<std::tuple<int, int, int>, int> teacherOf; // (group, specialty, sub) -> teacher
    const int maxLoad = cells_ - 6;
    for (size_t ix : order) {
        const Unit& un = units[ix];
        int partner = -1;
        if (un.sub != 0) {
            auto p = teacherOf.find({un.group, un.specialty, 3 - un.sub});
            if (p != teacherOf.end()) partner = p->second;
        }
        int best = -1;
        for (int t = 0; t < static_cast<int>(teachers_.size()); ++t) {
            if (teachers_[static_cast<size_t>(t)].specialty != un.specialty || t == partner)
                continue;
            if (best < 0 ||
                teachers_[static_cast<size_t>(t)].load < teachers_[static_cast<size_t>(best)].load)
                best = t;
        }
        if (best < 0 || teachers_[static_cast<size_t>(best)].load + un.hours > maxLoad) {
            if (error)
                *error =
                    u("Не хватает учителей специальности «%1»").arg(u(SpecNames[un.specialty]));
            return false;
        }
        teachers_[static_cast<size_t>(best)].load += un.hours;
        if (!un.lecture) teacherOf[{un.group, un.specialty, un.sub}] = best;
        for (int k : un.kinds)
            kinds_[static_cast<size_t>(k)].teacher = best;
    }
    return true;
}

void Builder::makeLinks() {
    auto subGroupMark = [&](int sub) { return FormatSubGroup(dict_.glo, static_cast<Short>(sub)); };
    // The halves of a class are linked as the subgroup linking of the program links them.
    for (int k = 0; k + 1 < static_cast<int>(kinds_.size()); ++k) {
        const KindDef& a = kinds_[static_cast<size_t>(k)];
        const KindDef& b = kinds_[static_cast<size_t>(k + 1)];
        if (a.sub != 1 || b.sub != 2) continue;
        const QString subject = u(Subjects[items_[static_cast<size_t>(a.item)].subject].name);
        links_.push_back({subject + u(" в ") + groupId(a.group) + subGroupMark(1) +
                              QStringLiteral(", ") + groupId(a.group) + subGroupMark(2),
                          false,
                          {k, k + 1}});
    }
    for (const auto& l : lectures_) {
        const KindDef& a = kinds_[static_cast<size_t>(l[0])];
        const KindDef& b = kinds_[static_cast<size_t>(l[1])];
        const QString subject = u(Subjects[items_[static_cast<size_t>(a.item)].subject].name);
        links_.push_back({subject + u(" в ") + groupId(a.group) + QStringLiteral(", ") +
                              groupId(b.group) + u(" (лекция)"),
                          true,
                          {l[0], l[1]}});
    }
    for (int i = 0; i < static_cast<int>(links_.size()); ++i)
        for (int k : links_[static_cast<size_t>(i)].kinds)
            kinds_[static_cast<size_t>(k)].link = i;
}

void Builder::makeRooms() {
    // Room hours a week per kind of room; a lecture needs one room for both groups.
    std::array<int, RoomKindCount> demand{};
    std::set<int> counted;
    for (int k = 0; k < static_cast<int>(kinds_.size()); ++k) {
        const KindDef& kd = kinds_[static_cast<size_t>(k)];
        if (kd.link >= 0 && links_[static_cast<size_t>(kd.link)].lecture &&
            !counted.insert(kd.link).second)
            continue;
        const RoomKind need = Subjects[items_[static_cast<size_t>(kd.item)].subject].mainRoom;
        demand[static_cast<size_t>(need == NoRoomType ? CommonRoom : need)] += kd.entries;
    }
    // Rooms busy about two thirds of the week at most.
    const std::array<int, RoomKindCount> minimum{2, 2, 1, 1};
    for (int kind = 0; kind < RoomKindCount; ++kind) {
        const int d = demand[static_cast<size_t>(kind)];
        if (d == 0) continue;
        const int n =
            std::max(minimum[static_cast<size_t>(kind)], (d * 3 + cells_ * 2 - 1) / (cells_ * 2));
        for (int i = 0; i < n; ++i) {
            rooms_.push_back(
                {static_cast<RoomKind>(kind), roomNumber(static_cast<RoomKind>(kind), i)});
        }
    }

    // Own rooms: a class room for some teachers of the general subjects, a laboratory or a
    // computer room for some science teachers; a few have a second room.
    auto freeRoom = [&](RoomKind kind) -> int {
        std::vector<int> free;
        for (int r = 0; r < static_cast<int>(rooms_.size()); ++r)
            if (rooms_[static_cast<size_t>(r)].kind == kind && !rooms_[static_cast<size_t>(r)].own)
                free.push_back(r);
        int total = 0;
        for (const RoomDef& r : rooms_)
            total += r.kind == kind;
        // Keep a third of each kind for the teachers without a room of their own.
        if (static_cast<int>(free.size()) * 3 <= total) return -1;
        return free[static_cast<size_t>(rnd_.below(static_cast<int>(free.size())))];
    };
    for (TeacherDef& t : teachers_) {
        RoomKind kind = NoRoomType;
        int share = 0;
        switch (t.specialty) {
        case SpecBiology:
        case SpecChemistry:
        case SpecPhysics:
            kind = LabRoom;
            share = 50;
            break;
        case SpecInformatics:
            kind = InformaticsRoom;
            share = 50;
            break;
        case SpecSport:
            break;
        default:
            kind = CommonRoom;
            share = 40;
            break;
        }
        if (kind == NoRoomType) continue;
        if (rnd_.chance(share)) {
            t.mainRoom = freeRoom(kind);
            if (t.mainRoom >= 0) rooms_[static_cast<size_t>(t.mainRoom)].own = true;
            if (t.mainRoom >= 0 && rnd_.chance(25)) {
                t.additionalRoom = freeRoom(kind);
                if (t.additionalRoom >= 0) rooms_[static_cast<size_t>(t.additionalRoom)].own = true;
            }
        } else if (kind == CommonRoom && rnd_.chance(8)) {
            t.additionalRoom = freeRoom(kind);
            if (t.additionalRoom >= 0) rooms_[static_cast<size_t>(t.additionalRoom)].own = true;
        }
    }
}

void Builder::makeRestrictions() {
    const int lessons = size_.lessonsPerDay;
    auto randomCell = [&]() { return Cell{1 + rnd_.below(DayCount), 1 + rnd_.below(lessons)}; };
    // Forbidden cells are the same every week (a teacher's free day does not move);
    // undesirable ones change from week to week.
    auto write = [&](Short type, int object, const std::set<Cell>& forbidden,
                     int undesirablePerWeek, bool lastLessonsOnly) {
        for (int w = 1; w <= opt_.weeks; ++w) {
            for (const Cell& c : forbidden)
                restrictions_.push_back({type, object, w, c, RestrictionLevel::Forbidden});
            std::set<Cell> weak;
            for (int i = 0; i < undesirablePerWeek; ++i) {
                Cell c = randomCell();
                if (lastLessonsOnly) c.lesson = lessons - rnd_.below(2);
                if (!forbidden.count(c)) weak.insert(c);
            }
            for (const Cell& c : weak)
                restrictions_.push_back({type, object, w, c, RestrictionLevel::Undesirable});
        }
    };

    for (int t = 0; t < static_cast<int>(teachers_.size()); ++t) {
        const int budget = cells_ - teachers_[static_cast<size_t>(t)].load - 3;
        std::set<Cell> forbidden;
        if (rnd_.chance(35) && budget >= lessons) {
            const int day = 1 + rnd_.below(DayCount); // a day free for methodical work
            for (int l = 1; l <= lessons; ++l)
                forbidden.insert({day, l});
        } else if (rnd_.chance(40) && budget >= 2) {
            forbidden.insert({1 + rnd_.below(DayCount), 1});
            forbidden.insert({1 + rnd_.below(DayCount), 1});
        }
        write(ObjectType::Teacher, t, forbidden, rnd_.below(4), false);
    }
    for (int g = 0; g < static_cast<int>(groups_.size()); ++g) {
        const int budget = cells_ - groups_[static_cast<size_t>(g)].hours - 2;
        std::set<Cell> forbidden;
        // Short Saturdays.
        if (rnd_.chance(60))
            for (int l = lessons; l > lessons - std::min(budget, 2); --l)
                forbidden.insert({DayCount, l});
        write(ObjectType::Group, g, forbidden, 1 + rnd_.below(2), true);
    }
    for (int r = 0; r < static_cast<int>(rooms_.size()); ++r) {
        std::set<Cell> forbidden;
        // Rooms nobody calls their own are sometimes taken for other business.
        if (!rooms_[static_cast<size_t>(r)].own && rnd_.chance(30)) {
            const int day = 1 + rnd_.below(DayCount);
            forbidden.insert({day, 1});
            forbidden.insert({day, 2});
        }
        write(ObjectType::Room, r, forbidden, rnd_.chance(20) ? 1 : 0, true);
    }
}

// ---- Writing -------------------------------------------------------------------------

bool Builder::writeReference(QString* error) {
    Transaction tx(dict_.store(),
                   {FileId::Days, FileId::LessonBell, FileId::Stream, FileId::Course,
                    FileId::SubGroupType, FileId::ScienceCycle, FileId::Science, FileId::RoomType,
                    FileId::Room, FileId::Speciality, FileId::Teacher});
    if (failed(tx.error(), u("Запись справочников"), error)) return false;
    const QString where = u("Запись справочников");

    auto days = tx.access<Days>();
    for (int d = 0; d < DayCount; ++d) {
        Days rec = days.prime();
        rec.DayName = u(DayNames[d]);
        if (failed(days.insert(rec), where, error)) return false;
    }
    // 45-minute lessons from 08:30 with the long breaks after the second and third lesson.
    auto bells = tx.access<LessonBell>();
    int minutes = 8 * 60 + 30;
    const int breaks[] = {10, 20, 20, 10, 10, 10, 10, 10};
    for (int l = 0; l < size_.lessonsPerDay; ++l) {
        LessonBell rec = bells.prime();
        rec.LessonNo = QString::number(l + 1);
        rec.Begining = timeOf(minutes / 60, minutes % 60);
        rec.Ending = timeOf((minutes + 45) / 60, (minutes + 45) % 60);
        minutes += 45 + breaks[l];
        if (failed(bells.insert(rec), where, error)) return false;
    }
    auto streams = tx.access<Stream>();
    for (int s = 0; s < 2; ++s) {
        Stream rec = streams.prime();
        rec.Stream = u(StreamNames[s]);
        if (failed(streams.insert(rec), where, error)) return false;
        streamCodes_[static_cast<size_t>(s)] = rec.StreamCode;
    }
    auto courses = tx.access<Course>();
    for (int c = 0; c < CourseCount; ++c) {
        Course rec;
        rec.Course = QString::number(c + 5);
        if (failed(courses.insert(rec), where, error)) return false;
    }
    auto sgt = tx.access<SubGroupType>();
    SubGroupType halves = sgt.prime();
    halves.SgrpTyp = u("Половина класса");
    halves.NumbOfSubGroups = 2;
    if (failed(sgt.insert(halves), where, error)) return false;

    auto cycles = tx.access<ScienceCycle>();
    std::array<Short, CycleCount> cycleCodes{};
    for (int c = 0; c < CycleCount; ++c) {
        ScienceCycle rec = cycles.prime();
        rec.CycleName = u(Cycles[c].name);
        rec.LessonsPerDayMax = static_cast<Byte>(Cycles[c].perDay);
        rec.Color = Cycles[c].color;
        if (failed(cycles.insert(rec), where, error)) return false;
        cycleCodes[static_cast<size_t>(c)] = rec.CycleCode;
    }
    auto types = tx.access<RoomType>();
    for (int k = 0; k < RoomKindCount; ++k) {
        RoomType rec = types.prime();
        rec.RoomType = u(RoomTypeNames[k]);
        if (failed(types.insert(rec), where, error)) return false;
        roomTypeCodes_[static_cast<size_t>(k)] = rec.SysCode;
    }
    auto typeCode = [&](RoomKind k) -> Short {
        return k == NoRoomType ? 0 : static_cast<Short>(roomTypeCodes_[static_cast<size_t>(k)]);
    };
    auto rooms = tx.access<Room>();
    for (RoomDef& r : rooms_) {
        Room rec = rooms.prime();
        rec.RoomTypePtr = roomTypeCodes_[static_cast<size_t>(r.kind)];
        rec.RoomNo = r.number;
        if (failed(rooms.insert(rec), where, error)) return false;
        r.code = rec.RoomCode;
    }
    auto sciences = tx.access<Science>();
    for (int s = 0; s < SubjectCount; ++s) {
        Science rec = sciences.prime();
        rec.Science = u(Subjects[s].name);
        rec.CycleCode = cycleCodes[static_cast<size_t>(Subjects[s].cycle)];
        rec.SgrpTypCode = Subjects[s].split ? halves.SgrpTypCode : 0;
        rec.MainRoomTypeCode = typeCode(Subjects[s].mainRoom);
        rec.AdditionalRoomTypeCode = typeCode(Subjects[s].additionalRoom);
        if (failed(sciences.insert(rec), where, error)) return false;
        subjectCodes_[static_cast<size_t>(s)] = rec.ScienceCode;
    }
    auto specs = tx.access<Speciality>();
    std::array<Short, SpecCount> specCodes{};
    for (int s = 0; s < SpecCount; ++s) {
        Speciality rec = specs.prime();
        rec.Speciality = u(SpecNames[s]);
        if (failed(specs.insert(rec), where, error)) return false;
        specCodes[static_cast<size_t>(s)] = rec.SpecialityCode;
    }
    auto teachers = tx.access<Teacher>();
    for (TeacherDef& t : teachers_) {
        Teacher rec = teachers.prime();
        rec.TeacherName = t.name;
        rec.SpecialityCode = specCodes[static_cast<size_t>(t.specialty)];
        if (t.mainRoom >= 0)
            rec.MainRoomCode = static_cast<Short>(rooms_[static_cast<size_t>(t.mainRoom)].code);
        if (t.additionalRoom >= 0)
            rec.AdditionalRoomCode =
                static_cast<Short>(rooms_[static_cast<size_t>(t.additionalRoom)].code);
        if (failed(teachers.insert(rec), where, error)) return false;
        t.code = rec.TeacherCode;
    }
    return !failed(tx.commit(), where, error);
}

bool Builder::writeGroupsAndPlan(QString* error) {
    // As the program's forms store them: each record through its relation manager, which
    // creates the unplaced lessons of every new group and plan item.
    Relations rel(dict_);
    rel.setReporting(false);
    if (!rel.open(FileId::Group)) {
        if (error) *error = u("Файл учебных групп не открывается");
        return false;
    }
    if (!rel.open(FileId::TrainingCourse)) {
        rel.close(FileId::Group);
        if (error) *error = u("Файл учебного плана не открывается");
        return false;
    }
    bool ok = true;
    {
        auto groupAccess = dict_.access<Group>(false);
        for (GroupDef& g : groups_) {
            Group rec = groupAccess.prime();
            rec.Course = QString::number(g.course + 5);
            rec.Literal = g.letter;
            rec.StreamCode = streamCodes_[static_cast<size_t>(g.stream)];
            if (failed(rel.insert(rec), u("Запись группы %1").arg(rec.GroupId()), error)) {
                ok = false;
                break;
            }
            g.code = rec.GroupCode;
        }
        auto itemAccess = dict_.access<TrainingCourse>(false);
        for (ItemDef& it : items_) {
            if (!ok) break;
            TrainingCourse rec = itemAccess.prime();
            rec.ScienceCode = subjectCodes_[static_cast<size_t>(it.subject)];
            rec.Course = QString::number(it.course + 5);
            rec.StreamCode = streamCodes_[static_cast<size_t>(it.stream)];
            rec.SingleHours = static_cast<Short>(it.single);
            rec.CoupledHours = static_cast<Short>(it.coupled);
            if (failed(rel.insert(rec), u("Запись учебного плана"), error)) ok = false;
            it.code = rec.TrainingCourseItemCode;
        }
    }
    rel.close(FileId::TrainingCourse);
    rel.close(FileId::Group);
    return ok;
}

bool Builder::writeLoadAndLinks(QString* error) {
    const QString where = u("Распределение нагрузки и связи уроков");
    Transaction tx(dict_.store(), {FileId::Schedule, FileId::LsnLink, FileId::LsnLinkComp});
    if (failed(tx.error(), where, error)) return false;

    auto lnk = tx.access<LsnLink>();
    auto comp = tx.access<LsnLinkComp>();
    for (LinkDef& l : links_) {
        LsnLink rec = lnk.prime();
        rec.LinkName = l.name;
        rec.IsLecture = l.lecture ? 1 : 0;
        if (failed(lnk.insert(rec), where, error)) return false;
        l.code = rec.LinkCode;
        for (int k : l.kinds) {
            const KindDef& kd = kinds_[static_cast<size_t>(k)];
            LsnLinkComp c;
            c.LinkCode = l.code;
            c.TrainingCourseItemCode = items_[static_cast<size_t>(kd.item)].code;
            c.GroupCode = groups_[static_cast<size_t>(kd.group)].code;
            c.SubGroupNum = static_cast<Short>(kd.sub);
            if (failed(comp.insert(c), where, error)) return false;
        }
    }

    // Every generated entry receives the teacher of its kind and the link of its kind; the
    // number of entries per kind must be what the plan asks for.
    std::map<std::tuple<Short, Short, Short>, int> kindOf;
    for (int k = 0; k < static_cast<int>(kinds_.size()); ++k) {
        const KindDef& kd = kinds_[static_cast<size_t>(k)];
        kindOf[{items_[static_cast<size_t>(kd.item)].code,
                groups_[static_cast<size_t>(kd.group)].code, static_cast<Short>(kd.sub)}] = k;
    }
    std::vector<int> seen(kinds_.size(), 0);
    auto sch = tx.access<Schedule>();
    for (Schedule s : sch.all(Schedule::ItemCode)) {
        auto it = kindOf.find({s.TrainingCourseItemCode, s.GroupCode, s.SubGroupNum});
        if (it == kindOf.end()) {
            if (error) *error = u("Создан урок, которого нет в учебном плане");
            return false;
        }
        const KindDef& kd = kinds_[static_cast<size_t>(it->second)];
        const int entry = seen[static_cast<size_t>(it->second)]++;
        s.TeacherCode = teachers_[static_cast<size_t>(kd.teacher)].code;
        if (!planted_.empty() && entry < kd.entries) {
            // The planted timetable decides who gives each lesson (and, for tests, where).
            const Placed& p = planted_[static_cast<size_t>(it->second)][static_cast<size_t>(entry)];
            s.TeacherCode = teachers_[static_cast<size_t>(p.teacher)].code;
            if (opt_.placePlanted) {
                s.Week = 1;
                s.DaySeqNumber = static_cast<Short>(p.cell / size_.lessonsPerDay + 1);
                s.LessonNo = QString::number(p.cell % size_.lessonsPerDay + 1);
                s.RoomCode = rooms_[static_cast<size_t>(p.room)].code;
            }
        }
        s.LinkCode = kd.link >= 0 ? links_[static_cast<size_t>(kd.link)].code : 0;
        if (failed(sch.update(s), where, error)) return false;
    }
    for (size_t k = 0; k < kinds_.size(); ++k)
        if (seen[k] != kinds_[k].entries) {
            if (error)
                *error = u("Создано %1 уроков вместо %2 для группы %3")
                             .arg(seen[k])
                             .arg(kinds_[k].entries)
                             .arg(groupId(kinds_[k].group));
            return false;
        }
    return !failed(tx.commit(), where, error);
}

bool Builder::writeRestrictions(QString* error) {
    const QString where = u("Запись ограничений");
    Transaction tx(dict_.store(), {FileId::Restriction});
    if (failed(tx.error(), where, error)) return false;
    auto rst = tx.access<Restriction>();
    for (const RestrictionDef& r : restrictions_) {
        Restriction rec;
        rec.ObjectType = r.objectType;
        switch (r.objectType) {
        case ObjectType::Teacher:
            rec.ObjectCode = teachers_[static_cast<size_t>(r.object)].code;
            break;
        case ObjectType::Group:
            rec.ObjectCode = groups_[static_cast<size_t>(r.object)].code;
            break;
        default:
            rec.ObjectCode = static_cast<Short>(rooms_[static_cast<size_t>(r.object)].code);
            break;
        }
        rec.Week = static_cast<Short>(r.week);
        rec.DaySeqNumber = static_cast<Short>(r.cell.day);
        rec.LessonNo = QString::number(r.cell.lesson);
        rec.Restriction = r.level;
        if (failed(rst.insert(rec), where, error)) return false;
    }
    return !failed(tx.commit(), where, error);
}

bool Builder::run(SampleSummary* summary, QString* error) {
    if (opt_.weeks < 1 || opt_.weeks > MaxWeeks) {
        if (error) *error = u("Число недель в цикле должно быть от 1 до %1").arg(MaxWeeks);
        return false;
    }
    const bool planted = opt_.planted > 0;
    if (planted && (opt_.weeks != 1 || opt_.planted < 0.1 || opt_.planted > 1)) {
        if (error)
            *error = u("Школа вокруг готового расписания строится для цикла в одну неделю и доли "
                       "недели от 0,1 до 1");
        return false;
    }
    makeGroups();
    makePlan();
    if (planted) {
        const int before = plannedHours();
        fillPlan();
        addTeachersForPlan(before);
    }
    makeKinds();
    chooseLectures();
    if (!assignTeachers(error)) return false;
    makeLinks();
    makeRooms();
    if (planted && !plant(error)) return false;
    makeRestrictions();
    if (planted) keepForbiddenCellsFree();

    if (!writeReference(error)) return false;
    // The settings a first start of the program would write (standard colours and cell
    // sizes), then the sample's own.
    dict_.glo.load(dict_.settings());
    dict_.glo.WeeksInCycle = static_cast<Short>(opt_.weeks);
    dict_.glo.CommonTypeRoomCode = roomTypeCodes_[CommonRoom];
    if (!writeGroupsAndPlan(error) || !writeLoadAndLinks(error) || !writeRestrictions(error))
        return false;
    if (failed(faldin::UpdateAllTeacherRoomLists(dict_), u("Формирование списков кабинетов"),
               error))
        return false;
    QString saveError;
    if (!dict_.saveSettings(&saveError)) {
        if (error) *error = u("Файл настроек не записан: %1").arg(saveError);
        return false;
    }

    if (summary) {
        SampleSummary& s = *summary;
        s = {};
        s.days = DayCount;
        s.lessonsPerDay = size_.lessonsPerDay;
        s.groups = static_cast<int>(groups_.size());
        s.teachers = static_cast<int>(teachers_.size());
        s.rooms = static_cast<int>(rooms_.size());
        s.subjects = SubjectCount;
        s.planItems = static_cast<int>(items_.size());
        for (const KindDef& k : kinds_)
            s.entries += k.entries;
        for (const GroupDef& g : groups_)
            s.groupHours += g.hours;
        s.links = static_cast<int>(links_.size());
        s.lectures = static_cast<int>(lectures_.size());
        s.restrictions = static_cast<int>(restrictions_.size());
        FileUse use(dict_.store(), FileId::RoomList, false);
        s.roomListEntries = use ? static_cast<int>(dict_.access<RoomList>(false).count()) : 0;
    }
    return true;
}

} // namespace model

bool GenerateSampleSchool(Dictionary& dict, const SampleOptions& options, SampleSummary* summary,
                          QString* error) {
    // The folder is new and nobody else uses it yet: commits need not wait for the disk, the
    // files are written through to it once at the end.
    dict.store().beginBatch();
    model::Builder b(dict, options);
    bool ok = b.run(summary, error);
    if (!dict.store().endBatch() && ok) {
        if (error) *error = model::u("Файлы данных не удалось записать на диск");
        ok = false;
    }
    return ok;
}

} // namespace sample
