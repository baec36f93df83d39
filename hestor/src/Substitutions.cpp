#include "hestor/Substitutions.h"

#include "PublishFormats.h"

#include "tamsel/Access.h"
#include "tamsel/Dictionary.h"
#include "tamsel/Globals.h"
#include "tamsel/SchoolCalendar.h"
#include "tamsel/Transaction.h"
#include "tamsel/WritingLock.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <map>
#include <memory>
#include <set>

namespace hestor {

using namespace tamsel;

namespace {

const QString DateFormat = QStringLiteral("dd.MM.yyyy");

QString dateText(const QDate& d) {
    return d.toString(DateFormat);
}

/// "1 урок", "3 урока", "5 уроков".
QString lessonsText(int n) {
    const int tens = n % 100, ones = n % 10;
    const char* word = (tens >= 11 && tens <= 14) ? "уроков"
                       : ones == 1                 ? "урок"
                       : (ones >= 2 && ones <= 4)  ? "урока"
                                                   : "уроков";
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(word));
}

/// The files the substitutions read; SUBSTITUTION only when it exists, so reading creates
/// nothing in the folder.
struct Files {
    std::vector<std::unique_ptr<FileUse>> uses;
    bool substitutions = false;
    bool ok = true;

    Files(Dictionary& dict, std::initializer_list<FileId> ids) {
        for (FileId id : ids) {
            uses.push_back(std::make_unique<FileUse>(dict.store(), id));
            if (!*uses.back()) ok = false;
        }
        substitutions = QFileInfo::exists(dict.store().diskName(FileId::Substitution));
        if (substitutions) {
            uses.push_back(std::make_unique<FileUse>(dict.store(), FileId::Substitution));
            if (!*uses.back()) ok = false;
        }
    }
};

QString unreadable() {
    return QStringLiteral("Файлы данных школы не читаются.");
}

/// Names of today's data, read once.
struct Names {
    QHash<Short, QString> teachers, subjects, groups;
    QHash<Short, Short> cycleOf;
    QHash<Long, QString> rooms;
    std::vector<Teacher> teacherList; ///< by name
    std::vector<Room> roomList;       ///< by number

    explicit Names(Dictionary& dict) {
        for (const Teacher& t : dict.access<Teacher>().all(Teacher::TeacherNameKey)) {
            teachers.insert(t.TeacherCode, t.TeacherName);
            teacherList.push_back(t);
        }
        for (const Science& s : dict.access<Science>().all(Science::ScienceCodeKey)) {
            subjects.insert(s.ScienceCode, s.Science);
            cycleOf.insert(s.ScienceCode, s.CycleCode);
        }
        for (const Group& g : dict.access<Group>().all(Group::GroupCodeKey))
            groups.insert(g.GroupCode, g.GroupId());
        for (const Room& r : dict.access<Room>().all(Room::RoomNoKey)) {
            rooms.insert(r.RoomCode, r.RoomNo);
            roomList.push_back(r);
        }
    }
    QString group(const Globals& glo, Short code, Short subGroup) const {
        QString g = groups.value(code);
        if (subGroup != 0) g += FormatSubGroup(glo, subGroup).trimmed();
        return g;
    }
};

QString bellTimeText(const LessonBell& b) {
    if (b.Begining <= 1 && b.Ending <= 1) return {};
    const QString from = publish::bellTime(b.Begining), to = publish::bellTime(b.Ending);
    if (from.isEmpty() || to.isEmpty() || from == to) return from;
    return from + QStringLiteral("–") + to;
}

/// Finds where `date` falls in the timetable; empty when it is a teaching day.
QString placeDate(Dictionary& dict, const std::vector<Days>& days, SubstitutionDay& out) {
    QString problem;
    const SchoolCalendar calendar = SchoolCalendar::load(dict.settings(), &problem);
    const QString d = dateText(out.date);
    if (!out.date.isValid()) return QStringLiteral("Дата не задана.");
    const int weeks = std::max<int>(1, dict.glo.WeeksInCycle);
    if (!calendar.isSet() && weeks > 1)
        return QStringLiteral("Календарь учебного года не задан: неизвестно, какая неделя "
                              "расписания приходится на %1. Задайте его в окне «Календарь учебного "
                              "года».")
            .arg(d);
    if (calendar.isSet() && (out.date < calendar.first || out.date > calendar.last))
        return QStringLiteral("%1 — вне учебного года (с %2 по %3): уроков нет.")
            .arg(d, dateText(calendar.first), dateText(calendar.last));
    if (calendar.isHoliday(out.date))
        return QStringLiteral("%1 — каникулы или праздничный день: уроков нет.").arg(d);
    const int index = SchoolCalendar::dayIndex(out.date);
    if (index < 0 || index >= int(days.size()))
        return QStringLiteral("%1 (%2) — выходной день: уроков нет.")
            .arg(d, QLocale(QLocale::Russian).dayName(out.date.dayOfWeek()));
    out.week = calendar.cycleWeek(out.date, weeks);
    out.daySeq = days[size_t(index)].DaySeqNumber;
    out.dayName = days[size_t(index)].DayName.trimmed();
    return {};
}

/// The restriction of an object at a cell; a room code beyond the field's range has none.
Short restrictionAt(Dictionary& dict, Short type, Long code, const Schedule& cell) {
    Restriction r;
    r.ObjectType = type;
    r.ObjectCode = Short(code);
    if (r.ObjectCode != code) return RestrictionLevel::None;
    r.Week = cell.Week;
    r.DaySeqNumber = cell.DaySeqNumber;
    r.LessonNo = cell.LessonNo;
    return dict.access<Restriction>().fetch(Restriction::ObjectIdKey, r).Restriction;
}

/// Which lesson of a day a stored record or a choice belongs to: its absent teacher and the
/// first row's bell, group, subgroup and subject.
auto lessonKey(const Schedule& s) {
    return std::tuple(s.TeacherCode, s.LessonNo, s.GroupCode, s.SubGroupNum, s.ScienceCode);
}

} // namespace

QString CancelledText() {
    return QStringLiteral("урок отменен");
}

QString SubstitutionsTitle(const QDate& date) {
    return QStringLiteral("Замены на %1").arg(dateText(date));
}

SubstitutionDay PlanSubstitutions(Dictionary& dict, const QDate& date,
                                  const std::vector<Short>& absent) {
    SubstitutionDay out;
    out.date = date;
    out.absent = absent;
    Files files(dict, {FileId::Schedule, FileId::Days, FileId::LessonBell, FileId::Teacher,
                       FileId::Science, FileId::Group, FileId::Room, FileId::RoomList,
                       FileId::Restriction, FileId::LsnLink});
    if (!files.ok) {
        out.error = unreadable();
        return out;
    }
    const std::vector<Days> days = dict.access<Days>().all(Days::SeqNumberKey);
    const std::vector<LessonBell> bells = dict.access<LessonBell>().all(LessonBell::NumberKey);
    if (absent.empty()) {
        out.error = QStringLiteral("Не выбран отсутствующий учитель.");
        return out;
    }
    if (const QString refused = placeDate(dict, days, out); !refused.isEmpty()) {
        out.error = refused;
        return out;
    }
    const Names names(dict);
    for (Short a : absent)
        if (!names.teachers.contains(a)) {
            out.error = QStringLiteral("Учителя с кодом %1 нет.").arg(a);
            return out;
        }
    QHash<QString, int> bellIndex;
    for (size_t i = 0; i < bells.size(); ++i) bellIndex.insert(bells[i].LessonNo, int(i));

    // Who is busy at which bell of the date, and how full each teacher's day is.
    QHash<Short, std::set<int>> dayBells;     // teacher -> bells taken that day
    QHash<Short, QSet<Short>> subjectsOf;      // teacher -> subjects taught
    std::vector<Schedule> own;                 // the absent teachers' lessons that day
    const QSet<Short> absentSet(absent.begin(), absent.end());
    QHash<int, QSet<Long>> busyRooms;          // bell -> rooms taken
    for (const Schedule& s : dict.access<Schedule>().all(Schedule::TeacherKey)) {
        if (!s.isUnplaced() && s.Week == out.week && s.DaySeqNumber == out.daySeq && s.RoomCode != 0)
            if (const auto bell = bellIndex.constFind(s.LessonNo); bell != bellIndex.constEnd())
                busyRooms[*bell].insert(s.RoomCode);
        if (s.TeacherCode == 0) continue;
        subjectsOf[s.TeacherCode].insert(s.ScienceCode);
        if (s.isUnplaced() || s.Week != out.week || s.DaySeqNumber != out.daySeq) continue;
        const auto bell = bellIndex.constFind(s.LessonNo);
        if (bell == bellIndex.constEnd()) continue;
        dayBells[s.TeacherCode].insert(*bell);
        if (absentSet.contains(s.TeacherCode)) own.push_back(s);
    }
    for (const RoomList& r : dict.access<RoomList>().all(RoomList::TeacherScienceKey))
        subjectsOf[r.TeacherCode].insert(r.ScienceCode);

    // What was stored for the date: other absent teachers' substitutes are busy, and the
    // absent teachers' own choices come back.
    std::vector<Substitution> stored;
    if (files.substitutions) {
        Substitution from;
        from.Date = dayNumberOf(date);
        stored = dict.access<Substitution>().read(Substitution::DateKey, from, 1);
    }
    QSet<Short> alsoAbsent = absentSet;
    for (const Substitution& s : stored) {
        if (absentSet.contains(s.AbsentTeacherCode)) continue;
        alsoAbsent.insert(s.AbsentTeacherCode);
        const auto bell = bellIndex.constFind(s.LessonNo);
        if (bell == bellIndex.constEnd()) continue;
        if (s.SubstituteCode != 0) dayBells[s.SubstituteCode].insert(*bell);
        // Another absent teacher's lesson moved to another room takes that room.
        if (s.RoomCode != 0) busyRooms[*bell].insert(s.RoomCode);
    }

    // A link's lessons in one cell are one lesson to cover.
    std::map<std::tuple<int, Short, Short, RowId>, AbsentLesson> byKey;
    QHash<Short, LsnLink> linkOf;
    for (const Schedule& s : own) {
        const int bell = bellIndex.value(s.LessonNo);
        const auto key = std::tuple(bell, s.TeacherCode, s.LinkCode,
                                    s.LinkCode != 0 ? RowId(0) : s.rowId);
        AbsentLesson& l = byKey[key];
        if (l.rows.empty()) {
            l.absentTeacher = s.TeacherCode;
            l.absentName = names.teachers.value(s.TeacherCode);
            l.bell = bell;
            l.lessonNo = s.LessonNo.trimmed();
            l.time = bellTimeText(bells[size_t(bell)]);
            l.subject = names.subjects.value(s.ScienceCode);
            l.room = names.rooms.value(s.RoomCode);
            l.roomCode = s.RoomCode;
            if (s.LinkCode != 0) {
                LsnLink k;
                k.LinkCode = s.LinkCode;
                const LsnLink link = dict.access<LsnLink>().fetch(LsnLink::CodeKey, k);
                if (!link.LinkName.isEmpty())
                    l.link = (link.IsLecture ? QStringLiteral("лекция «%1»")
                                             : QStringLiteral("связь «%1»"))
                                 .arg(link.LinkName.trimmed());
            }
        }
        l.rows.push_back(s);
        const QString g = names.group(dict.glo, s.GroupCode, s.SubGroupNum);
        if (!g.isEmpty() && !l.groups.split(QStringLiteral(", ")).contains(g))
            l.groups += (l.groups.isEmpty() ? QString() : QStringLiteral(", ")) + g;
        if (!l.subject.contains(names.subjects.value(s.ScienceCode)))
            l.subject += QStringLiteral(", ") + names.subjects.value(s.ScienceCode);
    }
    for (Short a : absent) {
        const bool any = std::any_of(byKey.begin(), byKey.end(),
                                     [a](const auto& e) { return e.second.absentTeacher == a; });
        if (!any) {
            out.error = QStringLiteral("У учителя %1 нет уроков %2 (%3, неделя %4).")
                            .arg(names.teachers.value(a).trimmed(), dateText(date),
                                 out.dayName.toLower())
                            .arg(out.week);
            return out;
        }
    }

    for (auto& [key, l] : byKey) {
        const Schedule& first = l.rows.front();
        const Short cycle = names.cycleOf.value(first.ScienceCode);
        for (const Teacher& t : names.teacherList) {
            const Short code = t.TeacherCode;
            if (alsoAbsent.contains(code)) continue;
            const std::set<int>& taken = dayBells[code];
            if (taken.count(l.bell)) continue;
            const Short level = restrictionAt(dict, ObjectType::Teacher, code, first);
            if (level == RestrictionLevel::Forbidden) continue;
            SubstitutionCandidate c;
            c.teacher = code;
            c.name = t.TeacherName.trimmed();
            c.undesirable = level == RestrictionLevel::Undesirable;
            const QSet<Short>& subjects = subjectsOf[code];
            if (subjects.contains(first.ScienceCode))
                c.subjectTier = 0;
            else if (cycle != 0 && std::any_of(subjects.begin(), subjects.end(), [&](Short s) {
                         return names.cycleOf.value(s) == cycle;
                     }))
                c.subjectTier = 1;
            c.lessonsThatDay = int(taken.size());
            if (taken.empty())
                c.gap = 1;
            else if (l.bell < *taken.begin() - 1 || l.bell > *taken.rbegin() + 1)
                c.gap = 2;
            QStringList why;
            if (c.subjectTier == 0) why << QStringLiteral("ведет этот предмет");
            if (c.subjectTier == 1) why << QStringLiteral("ведет предмет того же цикла");
            why << (taken.empty() ? QStringLiteral("свободен, нет уроков в этот день")
                                  : QStringLiteral("свободен, %1 в этот день")
                                        .arg(lessonsText(c.lessonsThatDay)));
            if (c.gap == 2) why << QStringLiteral("будет окно");
            if (c.undesirable) why << QStringLiteral("нежелательное время");
            c.reason = why.join(QStringLiteral("; "));
            l.candidates.push_back(std::move(c));
        }
        // Teaching the subject matters most; then an allowed time, a day without a new gap
        // (coming in for one lesson is worse than a lesson next to one's own), fewer lessons.
        std::stable_sort(l.candidates.begin(), l.candidates.end(),
                         [](const SubstitutionCandidate& a, const SubstitutionCandidate& b) {
                             return std::tuple(a.subjectTier, a.undesirable, a.gap,
                                               a.lessonsThatDay) <
                                    std::tuple(b.subjectTier, b.undesirable, b.gap,
                                               b.lessonsThatDay);
                         });
        const QSet<Long>& roomsTaken = busyRooms[l.bell];
        for (const Room& r : names.roomList)
            if (r.RoomCode != l.roomCode && !roomsTaken.contains(r.RoomCode) &&
                restrictionAt(dict, ObjectType::Room, r.RoomCode, first) != RestrictionLevel::Forbidden)
                l.rooms.push_back({r.RoomCode, r.RoomNo.trimmed()});
        for (const Substitution& s : stored) {
            if (std::tuple(s.AbsentTeacherCode, s.LessonNo, s.GroupCode, s.SubGroupNum,
                           s.ScienceCode) != lessonKey(first))
                continue;
            l.chosen = s.SubstituteCode;
            l.chosenName = names.teachers.value(s.SubstituteCode).trimmed();
            l.note = s.Note;
            if (s.RoomCode != l.roomCode) {
                l.chosenRoom = s.RoomCode;
                l.chosenRoomNumber = names.rooms.value(s.RoomCode).trimmed();
            }
        }
        out.lessons.push_back(std::move(l));
    }
    std::stable_sort(out.lessons.begin(), out.lessons.end(),
                     [&](const AbsentLesson& a, const AbsentLesson& b) {
                         return std::tuple(a.bell, a.absentName, a.groups) <
                                std::tuple(b.bell, b.absentName, b.groups);
                     });
    out.ok = true;
    return out;
}

std::vector<const SubstitutionCandidate*> FreeCandidates(const SubstitutionDay& day, size_t i) {
    std::vector<const SubstitutionCandidate*> out;
    const AbsentLesson& l = day.lessons[i];
    for (const SubstitutionCandidate& c : l.candidates) {
        bool taken = false;
        for (size_t j = 0; j < day.lessons.size() && !taken; ++j)
            taken = j != i && day.lessons[j].bell == l.bell && day.lessons[j].chosen == c.teacher;
        if (!taken) out.push_back(&c);
    }
    return out;
}

std::vector<const SubstitutionRoom*> FreeRooms(const SubstitutionDay& day, size_t i) {
    std::vector<const SubstitutionRoom*> out;
    const AbsentLesson& l = day.lessons[i];
    for (const SubstitutionRoom& r : l.rooms) {
        bool taken = false;
        for (size_t j = 0; j < day.lessons.size() && !taken; ++j)
            taken = j != i && day.lessons[j].bell == l.bell && day.lessons[j].chosenRoom == r.code;
        if (!taken) out.push_back(&r);
    }
    return out;
}

int CarryChoices(const SubstitutionDay& from, SubstitutionDay& to) {
    int lost = 0;
    for (const AbsentLesson& before : from.lessons) {
        const bool chosen = before.chosen >= 0 || before.chosenRoom != 0 || !before.note.isEmpty();
        if (!chosen) continue;
        auto same = std::find_if(to.lessons.begin(), to.lessons.end(), [&](const AbsentLesson& l) {
            return lessonKey(l.rows.front()) == lessonKey(before.rows.front());
        });
        if (same == to.lessons.end()) {
            lost += before.chosen >= 0 ? 1 : 0;
            continue;
        }
        same->note = before.note;
        const bool stillFree =
            before.chosen <= 0 ||
            std::any_of(same->candidates.begin(), same->candidates.end(),
                        [&](const SubstitutionCandidate& c) { return c.teacher == before.chosen; });
        if (stillFree) {
            same->chosen = before.chosen;
            same->chosenName = before.chosenName;
        } else if (same->chosen != before.chosen) {
            ++lost; // a choice stored earlier stays shown, so that it can be changed
        }
        const bool roomFree =
            before.chosenRoom == 0 ||
            std::any_of(same->rooms.begin(), same->rooms.end(),
                        [&](const SubstitutionRoom& r) { return r.code == before.chosenRoom; });
        same->chosenRoom = roomFree ? before.chosenRoom : 0;
        same->chosenRoomNumber = roomFree ? before.chosenRoomNumber : QString();
        if (!roomFree) ++lost;
    }
    return lost;
}

int ChooseFirstCandidates(SubstitutionDay& day) {
    int chosen = 0;
    for (size_t i = 0; i < day.lessons.size(); ++i) {
        AbsentLesson& l = day.lessons[i];
        if (l.chosen >= 0) continue;
        const auto free = FreeCandidates(day, i);
        l.chosen = free.empty() ? Short(0) : free.front()->teacher;
        if (l.chosen != 0) ++chosen;
    }
    return chosen;
}

namespace {

/// Why the choices of `day` no longer hold against the files as they are now (another program
/// or window placed a lesson since the day was planned); empty when they all do.
QString staleChoice(Dictionary& dict, const SubstitutionDay& day) {
    const SubstitutionDay now = PlanSubstitutions(dict, day.date, day.absent);
    if (!now.ok) return now.error;
    for (const AbsentLesson& l : day.lessons) {
        if (l.chosen < 0 && l.chosenRoom == 0) continue;
        const auto same = std::find_if(now.lessons.begin(), now.lessons.end(), [&](const AbsentLesson& n) {
            return lessonKey(n.rows.front()) == lessonKey(l.rows.front());
        });
        const QString lesson = QStringLiteral("%1 урок, %2").arg(l.lessonNo, l.groups);
        if (same == now.lessons.end())
            return QStringLiteral("урока (%1) больше нет в расписании этого дня").arg(lesson);
        if (l.chosen > 0 && std::none_of(same->candidates.begin(), same->candidates.end(),
                                         [&](const SubstitutionCandidate& c) { return c.teacher == l.chosen; }))
        {
            QString name = l.chosenName;
            for (const SubstitutionCandidate& c : l.candidates)
                if (c.teacher == l.chosen) name = c.name;
            return QStringLiteral("учитель %1 больше не свободен (%2)").arg(name, lesson);
        }
        if (l.chosenRoom != 0 && std::none_of(same->rooms.begin(), same->rooms.end(),
                                              [&](const SubstitutionRoom& r) { return r.code == l.chosenRoom; }))
            return QStringLiteral("кабинет %1 больше не свободен (%2)").arg(l.chosenRoomNumber, lesson);
    }
    return {};
}

} // namespace

QString SaveSubstitutions(Dictionary& dict, const SubstitutionDay& day) {
    if (!day.ok) return day.error;
    WritingScope scope(dict);
    if (!scope) return QStringLiteral("Замены не сохранены: папку изменяет другая программа.");
    // Checked under the lock: a substitute or room taken since the day was planned would be
    // booked twice.
    if (const QString stale = staleChoice(dict, day); !stale.isEmpty())
        return QStringLiteral("Замены не сохранены: %1. Выберите замену заново.").arg(stale);
    Transaction tx(dict.store(), {FileId::Substitution});
    if (!tx.active()) return QStringLiteral("Замены не сохранены: файл замен не открывается.");
    Access<Substitution> a = tx.access<Substitution>();
    Substitution from;
    from.Date = dayNumberOf(day.date);
    const QSet<Short> absent(day.absent.begin(), day.absent.end());
    for (const Substitution& s : a.read(Substitution::DateKey, from, 1))
        if (absent.contains(s.AbsentTeacherCode) && !a.remove(s).ok())
            return QStringLiteral("Замены не сохранены: файл замен не записывается.");
    for (const AbsentLesson& l : day.lessons) {
        if (l.chosen < 0) continue;
        for (const Schedule& s : l.rows) {
            Substitution r;
            r.Date = from.Date;
            r.Week = s.Week;
            r.DaySeqNumber = s.DaySeqNumber;
            r.LessonNo = s.LessonNo;
            r.AbsentTeacherCode = s.TeacherCode;
            r.GroupCode = s.GroupCode;
            r.SubGroupNum = s.SubGroupNum;
            r.ScienceCode = s.ScienceCode;
            r.SubstituteCode = l.chosen;
            r.RoomCode = l.chosenRoom != 0 ? l.chosenRoom : s.RoomCode;
            r.Note = l.note;
            if (!a.insert(r).ok())
                return QStringLiteral("Замены не сохранены: файл замен не записывается.");
        }
    }
    if (!tx.commit().ok()) return QStringLiteral("Замены не сохранены: файл замен не записывается.");
    return {};
}

QString ClearSubstitutions(Dictionary& dict, const QDate& date) {
    WritingScope scope(dict);
    if (!scope) return QStringLiteral("Замены не удалены: папку изменяет другая программа.");
    Transaction tx(dict.store(), {FileId::Substitution});
    if (!tx.active()) return QStringLiteral("Замены не удалены: файл замен не открывается.");
    Substitution from;
    from.Date = dayNumberOf(date);
    const int key = int(Substitution::DateKey);
    if (!tx.table(FileId::Substitution).removeMatching(key, toRow(from), 1).ok() ||
        !tx.commit().ok())
        return QStringLiteral("Замены не удалены: файл замен не записывается.");
    return {};
}

SubstitutionList ReadSubstitutions(Dictionary& dict, const QDate& date) {
    SubstitutionList out;
    out.date = date;
    Files files(dict, {FileId::LessonBell, FileId::Teacher, FileId::Science, FileId::Group,
                       FileId::Room});
    if (!files.ok) {
        out.error = unreadable();
        return out;
    }
    out.ok = true;
    if (!files.substitutions) return out;
    const Names names(dict);
    QHash<QString, LessonBell> bells;
    QHash<QString, int> bellRank;
    int rank = 0;
    for (const LessonBell& b : dict.access<LessonBell>().all(LessonBell::NumberKey)) {
        bells.insert(b.LessonNo, b);
        bellRank.insert(b.LessonNo, rank++);
    }
    Substitution from;
    from.Date = dayNumberOf(date);
    for (const Substitution& s : dict.access<Substitution>().read(Substitution::DateKey, from, 1)) {
        SubstitutionLine line;
        line.record = s;
        line.lessonNo = s.LessonNo.trimmed();
        line.time = bellTimeText(bells.value(s.LessonNo));
        line.group = names.group(dict.glo, s.GroupCode, s.SubGroupNum);
        line.subject = names.subjects.value(s.ScienceCode);
        line.absent = names.teachers.value(s.AbsentTeacherCode).trimmed();
        line.substitute = s.SubstituteCode == 0 ? CancelledText()
                                                : names.teachers.value(s.SubstituteCode).trimmed();
        line.room = names.rooms.value(s.RoomCode);
        line.note = s.Note;
        out.lines.push_back(std::move(line));
    }
    if (!dict.access<Substitution>().readOk()) {
        out.ok = false;
        out.error = unreadable();
    }
    std::stable_sort(out.lines.begin(), out.lines.end(),
                     [&](const SubstitutionLine& a, const SubstitutionLine& b) {
                         return std::tuple(bellRank.value(a.record.LessonNo), a.group, a.subject) <
                                std::tuple(bellRank.value(b.record.LessonNo), b.group, b.subject);
                     });
    return out;
}

} // namespace hestor
