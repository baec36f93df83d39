#include "pivrel/timetable/TimetableGrid.h"

#include "pivrel/engine/AutoPlacement.h"

#include "tamsel/Transaction.h"
#include "tamsel/WritingLock.h"
#include "trusko/Report.h"
#include "trusko/ReportBuilders.h"

#include <algorithm>

using namespace tamsel;

namespace pivrel {

namespace {

QString cellKey(short week, short day, const QString& lessonNo) {
    return QString::number(week) + QLatin1Char('/') + QString::number(day) + QLatin1Char('/') +
           lessonNo;
}

} // namespace

TimetableGrid::TimetableGrid(Dictionary& dict, bool small) : dict_(dict), small_(small) {}

void TimetableGrid::build() {
    auto& glo = dict_.glo;
    glo.ShowAllWeeks = glo.AllWeeksShow;
    days_ = dict_.access<Days>().all(Days::SeqNumberKey);
    bells_ = dict_.access<LessonBell>().all(LessonBell::NumberKey);
    allWeeks_ = glo.ShowAllWeeks != 0;
    blocks_ = allWeeks_ ? std::max<int>(1, glo.WeeksInCycle) : 1;
    week_ = 1;
    controls_.clear();
    Short control = 0;
    for (int b = 0; b < blocks_; ++b) {
        const Short w = static_cast<Short>(b + 1);
        for (const Days& d : days_)
            controls_.push_back({++control, 1, w, d.DaySeqNumber, QString()});
        for (const LessonBell& l : bells_) {
            controls_.push_back({++control, 2, w, 0, l.LessonNo});
            for (const Days& d : days_)
                controls_.push_back({++control, 3, w, d.DaySeqNumber, l.LessonNo});
        }
    }
    const size_t n = static_cast<size_t>(blocks_) * days_.size() * bells_.size();
    lines_.assign(n, {});
    colours_.assign(n, glo.NoRestrictionColor);
    meanings_.assign(n, 0);
}

bool TimetableGrid::weekSpinVisible() const {
    return !allWeeks_ && dict_.glo.WeeksInCycle > 1;
}

int TimetableGrid::cellWidth() const {
    return small_ ? dict_.glo.SmallSellWidth : dict_.glo.LargeSellWidth;
}

int TimetableGrid::cellHeight() const {
    return small_ ? dict_.glo.SmallSellHeight : dict_.glo.LargeSellHeight;
}

QString TimetableGrid::weekCaption(int week) {
    return QString::number(week) + QStringLiteral("-я неделя");
}

QString TimetableGrid::dayHeader(int day) const {
    return days_[static_cast<size_t>(day)].DayName;
}

QString TimetableGrid::rowHeader(int bell) const {
    const LessonBell& l = bells_[static_cast<size_t>(bell)];
    return l.LessonNo + QStringLiteral(" : ") + trusko::formatLessonTime(l.Begining) +
           QStringLiteral(" - ") + trusko::formatLessonTime(l.Ending);
}

void TimetableGrid::setObject(Short type, Long code) {
    type_ = type;
    code_ = code;
}

QString TimetableGrid::title() const {
    switch (type_) {
    case ObjectType::Teacher:
        return QStringLiteral("Расписание ") + teacherName(static_cast<Short>(code_));
    case ObjectType::Group:
        return QStringLiteral("Расписание ") + groupId(static_cast<Short>(code_));
    case ObjectType::Room:
        return QStringLiteral("Загрузка кабинета  ") + roomNo(code_);
    default:
        return QStringLiteral("Расписание ...");
    }
}

void TimetableGrid::setWeek(short week) {
    week_ = static_cast<short>(std::clamp<int>(week, 1, std::max<int>(1, dict_.glo.WeeksInCycle)));
}

Engine::Cell TimetableGrid::timeOf(const GridCell& c) const {
    const short w = allWeeks_ ? static_cast<short>(c.block + 1) : week_;
    return Engine::Cell{w, days_[static_cast<size_t>(c.day)].DaySeqNumber,
                        bells_[static_cast<size_t>(c.bell)].LessonNo};
}

std::vector<GridCell> TimetableGrid::cells() const {
    std::vector<GridCell> out;
    for (int b = 0; b < blocks_; ++b)
        for (int l = 0; l < static_cast<int>(bells_.size()); ++l)
            for (int d = 0; d < static_cast<int>(days_.size()); ++d)
                out.push_back({b, d, l});
    return out;
}

int TimetableGrid::indexOf(const GridCell& c) const {
    return (c.block * static_cast<int>(bells_.size()) + c.bell) * static_cast<int>(days_.size()) +
           c.day;
}

std::vector<GridCell> TimetableGrid::dayCells(int block, int day) const {
    std::vector<GridCell> out;
    for (int l = 0; l < static_cast<int>(bells_.size()); ++l)
        out.push_back({block, day, l});
    return out;
}

std::vector<GridCell> TimetableGrid::rowCells(int block, int bell) const {
    std::vector<GridCell> out;
    for (int d = 0; d < static_cast<int>(days_.size()); ++d)
        out.push_back({block, d, bell});
    return out;
}

// ------------------------------------------------------------------ names

QString TimetableGrid::scienceName(Short code) const {
    auto it = sciences_.find(code);
    if (it != sciences_.end()) return *it;
    return *sciences_.insert(code, names::rtrim(names::science(dict_, code)));
}

QString TimetableGrid::teacherName(Short code) const {
    auto it = teachers_.find(code);
    if (it != teachers_.end()) return *it;
    return *teachers_.insert(code, names::rtrim(names::teacherName(dict_, code)));
}

QString TimetableGrid::roomNo(Long code) const {
    auto it = rooms_.find(code);
    if (it != rooms_.end()) return *it;
    return *rooms_.insert(code, names::rtrim(names::roomNo(dict_, code)));
}

QString TimetableGrid::groupId(Short code) const {
    auto it = groups_.find(code);
    if (it != groups_.end()) return *it;
    Group key;
    key.GroupCode = code;
    // The name as people write it ("5-А"), not the stored field widths ("5 -А ").
    return *groups_.insert(code, dict_.access<Group>().fetch(Group::GroupCodeKey, key).GroupId());
}

// ------------------------------------------------------------------ contents

Schedule::Key TimetableGrid::lessonKey() const {
    switch (type_) {
    case ObjectType::Group:
        return Schedule::GroupDayLessGrKey;
    case ObjectType::Room:
        return Schedule::RoomKey;
    default:
        return Schedule::TeacherKey;
    }
}

// The lines of one lesson in a cell. A further lesson of a subject already in the cell (another
// subgroup) leaves its subject out; only an exact subject counts, so "Алгебра" is not taken for
// part of "Алгебра и начала анализа".
QString TimetableGrid::entryLines(const Schedule& s, const QStringList& subjectsBefore) const {
    const QString subject = scienceName(s.ScienceCode);
    const bool subjectShown = subjectsBefore.contains(subject);
    const QString mark = FormatSubGroup(dict_.glo, s.SubGroupNum);
    auto gs = [&](int n) { return trusko::fixedWidth(groupId(s.GroupCode) + mark, n); };
    const QString room = trusko::fixedWidth(roomNo(s.RoomCode), 7);
    const QString teacher = teacherName(s.TeacherCode);
    QStringList lines;
    switch (type_) {
    case ObjectType::Group:
        if (small_)
            lines << (mark.isEmpty() ? QString() : trusko::fixedWidth(mark, 3)) +
                         names::rtrim(room) + QLatin1Char(' ') + teacher;
        else
            lines << gs(10) + room << teacher;
        if (!subjectShown) lines << subject;
        break;
    case ObjectType::Room:
        if (small_)
            lines << gs(8) + teacher;
        else
            lines << gs(10) << teacher;
        if (!subjectShown) lines << subject;
        break;
    default:
        if (!subjectShown) lines << subject;
        lines << gs(10) + room;
        break;
    }
    for (QString& l : lines)
        l = names::rtrim(l);
    if (s.Pinned && !lines.isEmpty()) lines.front().prepend(PinMark);
    return lines.join(QLatin1Char('|'));
}

void TimetableGrid::refresh() {
    auto& glo = dict_.glo;
    sciences_.clear();
    teachers_.clear();
    rooms_.clear();
    groups_.clear();
    const size_t n = lines_.size();
    std::fill(lines_.begin(), lines_.end(), QStringList{});
    std::fill(colours_.begin(), colours_.end(), glo.NoRestrictionColor);
    std::fill(meanings_.begin(), meanings_.end(), 0);
    if (n == 0) return;

    // Where each time of the cycle is in the grid (one week shown: only that week's cells).
    QHash<QString, int> where;
    for (const GridCell& c : cells()) {
        const Engine::Cell t = timeOf(c);
        where.insert(cellKey(t.week, t.day, t.lessonNo), indexOf(c));
    }

    if (type_ != 0 && code_ != 0 && !restrictionsOnly_) {
        // One read of the object's lessons in key order, shared out to their cells.
        Schedule from;
        from.TeacherCode = static_cast<Short>(code_);
        from.GroupCode = static_cast<Short>(code_);
        from.RoomCode = code_;
        std::vector<QStringList> subjects(n);
        dict_.access<Schedule>().forEach(lessonKey(), from, 1, [&](const Schedule& s) {
            if (s.isUnplaced()) return true;
            auto it = where.constFind(cellKey(s.Week, s.DaySeqNumber, s.LessonNo));
            if (it == where.constEnd()) return true;
            const size_t i = static_cast<size_t>(*it);
            lines_[i] << entryLines(s, subjects[i]).split(QLatin1Char('|'));
            subjects[i] << scienceName(s.ScienceCode);
            return true;
        });
    }

    if (colouredByVariants()) {
        auto paint = [&](const GridCell& c, bool admissible, Short dayLoad, Short estimate) {
            Long colour = glo.NoRestrictionColor;
            unsigned char meaning = 6;
            if (!admissible) {
                colour = glo.DontUseRestrictionColor;
                meaning = 3;
            } else if (dayLoad != 0) {
                colour = glo.HeavyRestrictionColor;
                meaning = 4;
            } else if (estimate != 0) {
                colour = glo.WeakRestrictionColor;
                meaning = 5;
            }
            colours_[static_cast<size_t>(indexOf(c))] = colour;
            meanings_[static_cast<size_t>(indexOf(c))] = meaning;
        };
        if (type_ == ObjectType::Room) {
            // The variants are of each teacher's listed room; here the lesson goes into the room
            // shown, so each cell is judged for that room, as its reasons and its drop are.
            const Schedule saved = glo.ScheduleRecord;
            Engine engine(dict_, {});
            for (const GridCell& c : cells()) {
                const Engine::Cell t = timeOf(c);
                glo.ScheduleRecord = saved;
                short dayLoad = 0;
                const long r = engine.judgeAt(t.week, t.day, t.lessonNo, code_, false, &dayLoad);
                paint(c, r >= 0, dayLoad, static_cast<Short>(std::max(0L, r)));
            }
            glo.ScheduleRecord = saved;
            return;
        }
        const Schedule& r = glo.ScheduleRecord;
        const Short link = r.LinkCode == 0 ? Short(-1) : r.LinkCode;
        QHash<QString, const VariantQueueEntry*> variants;
        for (const VariantQueueEntry& v : glo.VariantQueue.items)
            if (v.LinkCode == link)
                variants.insert(cellKey(v.Week, v.DaySeqNumber, v.LessonNo), &v);
        for (const GridCell& c : cells()) {
            const Engine::Cell t = timeOf(c);
            const VariantQueueEntry* v = variants.value(cellKey(t.week, t.day, t.lessonNo));
            paint(c, v != nullptr, v ? v->MainEstimate : Short(0),
                  v ? v->AdditionalEstimate : Short(0));
        }
        return;
    }
    if (type_ == 0 || code_ == 0 || code_ != static_cast<Short>(code_)) return;
    Restriction from;
    from.ObjectType = type_;
    from.ObjectCode = static_cast<Short>(code_);
    dict_.access<Restriction>().forEach(
        Restriction::ObjectIdKey, from, 2, [&](const Restriction& r) {
            auto it = where.constFind(cellKey(r.Week, r.DaySeqNumber, r.LessonNo));
            if (it == where.constEnd()) return true;
            // Any value beyond "undesirable" counts as forbidden.
            const unsigned char level = r.Restriction == RestrictionLevel::None          ? 0
                                        : r.Restriction == RestrictionLevel::Undesirable ? 1
                                                                                         : 2;
            const Long colours[] = {glo.NoRestrictionColor, glo.WeakRestrictionColor,
                                    glo.DontUseRestrictionColor};
            colours_[static_cast<size_t>(*it)] = colours[level];
            meanings_[static_cast<size_t>(*it)] = level;
            return true;
        });
}

QString TimetableGrid::colourMeaning(const GridCell& cell) const {
    static const char* const words[] = {
        "Без ограничений",           "Не желательно",
        "Уроки запрещены",           "Урок сюда поставить нельзя",
        "Можно, но день перегружен", "Можно, но с нарушением пожеланий",
        "Урок можно поставить"};
    const int i = indexOf(cell);
    if (i < 0 || i >= static_cast<int>(meanings_.size())) return QString();
    return QString::fromUtf8(words[meanings_[static_cast<size_t>(i)]]);
}

Short TimetableGrid::markAt(const GridCell& cell) const {
    if (type_ == 0 || code_ == 0 || code_ != static_cast<Short>(code_)) return 0;
    const Engine::Cell t = timeOf(cell);
    Restriction key;
    key.ObjectType = type_;
    key.ObjectCode = static_cast<Short>(code_);
    key.Week = t.week;
    key.DaySeqNumber = t.day;
    key.LessonNo = t.lessonNo;
    return dict_.access<Restriction>().fetch(Restriction::ObjectIdKey, key).Restriction;
}

Short TimetableGrid::cycleMark(const GridCell& cell) {
    const Short now = markAt(cell);
    const Short next = now == RestrictionLevel::None          ? RestrictionLevel::Undesirable
                       : now == RestrictionLevel::Undesirable ? RestrictionLevel::Forbidden
                                                              : RestrictionLevel::None;
    return mark({cell}, next) ? next : now;
}

bool TimetableGrid::colouredByVariants() const {
    if (restrictionsOnly_) return false;
    const auto& glo = dict_.glo;
    // Without a lesson in hand there is nothing the variants could be of.
    const bool inHand = glo.ScheduleRecord.rowId != 0 || glo.ScheduleRecord.LinkCode != 0;
    return (glo.ShowLessonRestrictions || glo.MoveTargetsShown) && inHand;
}

QStringList TimetableGrid::lines(const GridCell& cell) const {
    const int i = indexOf(cell);
    if (i < 0 || i >= static_cast<int>(lines_.size())) return {};
    return lines_[static_cast<size_t>(i)];
}

Long TimetableGrid::colour(const GridCell& cell) const {
    const int i = indexOf(cell);
    if (i < 0 || i >= static_cast<int>(colours_.size())) return dict_.glo.NoRestrictionColor;
    return colours_[static_cast<size_t>(i)];
}

// ------------------------------------------------------------------ actions

std::vector<Schedule> TimetableGrid::lessonsAt(const GridCell& cell) const {
    if (type_ == 0 || code_ == 0) return {};
    const Engine::Cell t = timeOf(cell);
    Schedule from;
    from.TeacherCode = static_cast<Short>(code_);
    from.GroupCode = static_cast<Short>(code_);
    from.RoomCode = code_;
    from.Week = t.week;
    from.DaySeqNumber = t.day;
    from.LessonNo = t.lessonNo;
    return dict_.access<Schedule>().read(lessonKey(), from, 4);
}

std::optional<GridCell> TimetableGrid::cellOf(RowId lesson) const {
    const Schedule s = dict_.access<Schedule>().byRowId(lesson);
    if (s.rowId == 0 || s.isUnplaced() || type_ == 0 || code_ == 0) return std::nullopt;
    for (const GridCell& c : cells()) {
        const Engine::Cell t = timeOf(c);
        if (t.week != s.Week || t.day != s.DaySeqNumber || t.lessonNo != s.LessonNo) continue;
        for (const Schedule& here : lessonsAt(c))
            if (here.rowId == lesson) return c;
    }
    return std::nullopt;
}

bool TimetableGrid::mark(const std::vector<GridCell>& cells, Short level) {
    if (type_ == 0 || code_ == 0 || cells.empty()) return false;
    Transaction tx(dict_.store(), {FileId::Restriction});
    if (!tx.active()) {
        dict_.errors().report(tx.error().msgNo, tx.error().args);
        return false;
    }
    auto rst = tx.access<Restriction>();
    for (const GridCell& c : cells) {
        const Engine::Cell t = timeOf(c);
        Restriction key;
        key.ObjectType = type_;
        key.ObjectCode = static_cast<Short>(code_);
        key.Week = t.week;
        key.DaySeqNumber = t.day;
        key.LessonNo = t.lessonNo;
        bool found = false;
        Restriction r = rst.fetch(Restriction::ObjectIdKey, key, &found);
        Outcome o;
        if (found) {
            if (r.Restriction == level) continue;
            r.Restriction = level;
            o = rst.update(r);
        } else {
            key.Restriction = level;
            o = rst.insert(key);
        }
        if (!o.ok()) {
            dict_.errors().report(o.msgNo, o.args);
            return false;
        }
    }
    if (const Outcome o = tx.commit(); !o.ok()) {
        dict_.errors().report(o.msgNo, o.args);
        return false;
    }
    dict_.windows.postToFrame(1024);
    return true;
}

bool ConfirmPinnedChange(Dictionary& dict, const Schedule& lesson, bool removal) {
    if (!lesson.Pinned || lesson.isUnplaced()) return true;
    const QString where = names::rtrim(names::dayName(dict, lesson.DaySeqNumber)) +
                          QStringLiteral(" урок № ") + lesson.LessonNo.trimmed();
    return removal
               ? dict.ui().ask(QStringLiteral("Снятие закреплённого урока"),
                               QStringLiteral("Урок закреплён: ") + where +
                                   QStringLiteral(". Снять его?"),
                               Yes | No, No) == Yes
               : dict.ui().ask(QStringLiteral("Перемещение закреплённого урока"),
                               QStringLiteral("Урок закреплён: ") + where +
                                   QStringLiteral(". Переместить его на новое место?"),
                               Yes | No, No) == Yes;
}

bool TimetableGrid::pinnedAt(const GridCell& cell) const {
    for (const Schedule& s : lessonsAt(cell))
        if (s.Pinned) return true;
    return false;
}

int TimetableGrid::pin(const std::vector<GridCell>& cells, bool on) {
    std::vector<Schedule> lessons;
    for (const GridCell& cell : cells)
        for (const Schedule& s : lessonsAt(cell))
            lessons.push_back(s);
    return pinLessons(lessons, on, false);
}

int TimetableGrid::pinAll(bool on) {
    if (type_ == 0 || code_ == 0) return 0;
    Schedule from;
    from.TeacherCode = static_cast<Short>(code_);
    from.GroupCode = static_cast<Short>(code_);
    from.RoomCode = code_;
    // Every week of the cycle, not only the one shown.
    return pinLessons(dict_.access<Schedule>().read(lessonKey(), from, 1), on, true);
}

int TimetableGrid::pinLessons(const std::vector<Schedule>& lessons, bool on, bool whole) {
    if (lessons.empty()) return 0;
    WritingScope writing(dict_);
    if (!writing) return 0;
    const QString what = whole                ? QStringLiteral(" всего расписания")
                         : lessons.size() > 1 ? QStringLiteral(" уроков")
                                              : QStringLiteral(" урока");
    EditHistory::Step step(dict_.history(),
                           (on ? QStringLiteral("закрепление") : QStringLiteral("открепление")) +
                               what);
    Transaction tx(dict_.store(), {FileId::Schedule});
    if (!tx.active()) {
        dict_.errors().report(tx.error().msgNo, tx.error().args);
        return 0;
    }
    auto sch = tx.access<Schedule>();
    int changed = 0;
    auto set = [&](Schedule s) {
        if (s.isUnplaced() || s.Pinned == Byte(on)) return true;
        s.Pinned = on ? 1 : 0;
        const Outcome o = sch.update(s);
        if (!o.ok()) dict_.errors().report(o.msgNo, o.args);
        changed += o.ok();
        return o.ok();
    };
    for (const Schedule& s : lessons) {
        if (!set(sch.byRowId(s.rowId))) return 0;
        // A link sits as one: its other lessons in the cell are pinned with it.
        if (s.LinkCode <= 0 || s.isUnplaced()) continue;
        Schedule key;
        key.LinkCode = s.LinkCode;
        std::vector<RowId> partners;
        sch.forEach(Schedule::LinkCodeKey, key, 1, [&](const Schedule& other) {
            if (other.sameCell(s) && other.rowId != s.rowId) partners.push_back(other.rowId);
            return true;
        });
        for (RowId id : partners)
            if (!set(sch.byRowId(id))) return 0;
    }
    if (const Outcome o = tx.commit(); !o.ok()) {
        dict_.errors().report(o.msgNo, o.args);
        return 0;
    }
    if (changed) dict_.windows.postToFrame(1024);
    return changed;
}

int TimetableGrid::removeLessons(const GridCell& cell) {
    auto& glo = dict_.glo;
    glo.ScheduleRecord = Schedule{};
    for (const Schedule& s : lessonsAt(cell))
        if (!ConfirmPinnedChange(dict_, s, true)) return 0;
    int removed = 0;
    WritingScope writing(dict_);
    if (!writing) return 0;
    Engine engine(dict_, {});
    {
        // The cell's lessons come off together and come back together.
        EditHistory::Step step(dict_.history(), QStringLiteral("снятие урока"));
        const auto here = lessonsAt(cell);
        for (const Schedule& s : here) {
            // A linked lesson of an earlier one may have gone already.
            const Schedule now = dict_.access<Schedule>().byRowId(s.rowId);
            if (now.rowId == 0 || now.isUnplaced()) continue;
            glo.ScheduleRecord = now;
            if (engine.SetLessonTo(0, 0, QString(), 0, false, 1) >= 0) ++removed;
        }
        if (here.size() > 1) step.rename(QStringLiteral("снятие уроков"));
    }
    glo.ScheduleRecord = Schedule{};
    dict_.windows.postToFrame(1024);
    return removed;
}

bool TimetableGrid::showMoveTargets(const GridCell& cell) {
    auto& glo = dict_.glo;
    glo.MoveTargetsShown = 1;
    glo.ScheduleRecord = Schedule{};
    const auto here = lessonsAt(cell);
    if (here.empty()) return false;
    Schedule lesson = here.front();
    if (lesson.LinkCode == 0) lesson.LinkCode = -1;
    glo.ScheduleRecord = lesson;
    LessonVariants(dict_, lesson);
    return true;
}

void TimetableGrid::clearMoveTargets() {
    dict_.glo.MoveTargetsShown = 0;
}

bool TimetableGrid::startDrag(const GridCell& cell) {
    const auto here = lessonsAt(cell);
    dict_.glo.ScheduleRecord = here.empty() ? Schedule{} : here.front();
    return !here.empty();
}

long TimetableGrid::setLessonTo(const GridCell& cell) {
    const Engine::Cell t = timeOf(cell);
    const bool roomView = type_ == ObjectType::Room;
    WritingScope writing(dict_);
    if (!writing) return Refusal::WriteFailed;
    // The lesson with the partners it takes along is one step to undo.
    const bool placed =
        !dict_.access<Schedule>().byRowId(dict_.glo.ScheduleRecord.rowId).isUnplaced();
    EditHistory::Step step(dict_.history(), placed ? QStringLiteral("перемещение урока")
                                                   : QStringLiteral("размещение урока"));
    Engine engine(dict_, {});
    return engine.SetLessonTo(t.week, t.day, t.lessonNo, roomView ? code_ : 0, !roomView, 0);
}

TimetableGrid::Drop TimetableGrid::place(const GridCell& cell) {
    auto& glo = dict_.glo;
    if (glo.ScheduleRecord.rowId == 0) return Drop::Unchanged;
    // The lesson as stored: a pin given since it was taken in hand counts too.
    if (!ConfirmPinnedChange(dict_, dict_.access<Schedule>().byRowId(glo.ScheduleRecord.rowId),
                             false)) {
        glo.ScheduleRecord = Schedule{};
        glo.MoveTargetsShown = 0;
        dict_.windows.postToFrame(1024);
        return Drop::Declined;
    }
    const long r = setLessonTo(cell);
    glo.ScheduleRecord = Schedule{};
    glo.MoveTargetsShown = 0;
    dict_.windows.postToFrame(1024);
    return r < 0 ? Drop::Refused : Drop::Placed;
}

TimetableGrid::Drop TimetableGrid::dropMoved(const GridCell& cell) {
    auto& glo = dict_.glo;
    const Engine::Cell t = timeOf(cell);
    const Schedule& r = glo.ScheduleRecord;
    if (r.rowId == 0) return Drop::Unchanged;
    if (r.Week == t.week && r.DaySeqNumber == t.day && r.LessonNo == t.lessonNo) {
        glo.ScheduleRecord = Schedule{};
        glo.MoveTargetsShown = 0;
        dict_.windows.postToFrame(1024);
        return Drop::Unchanged;
    }
    return place(cell);
}

TimetableGrid::Drop TimetableGrid::dropFromList(const GridCell& cell, const Schedule& lesson) {
    auto& glo = dict_.glo;
    // The lesson as stored now: the list may show an older state.
    const Schedule now = dict_.access<Schedule>().byRowId(lesson.rowId);
    if (now.rowId == 0) return Drop::Unchanged;
    glo.ScheduleRecord = now;
    if (now.DaySeqNumber != 0 && !now.LessonNo.isEmpty()) {
        const QString text = QStringLiteral("Этот урок уже был ранее размещен в ") +
                             names::rtrim(names::dayName(dict_, now.DaySeqNumber)) +
                             QStringLiteral(" урок № ") + now.LessonNo +
                             QStringLiteral(". Хотите ли Вы перенести этот урок на новое место?");
        if (dict_.ui().ask(QStringLiteral("Размещение урока"), text, Yes | No, Yes) != Yes) {
            glo.ScheduleRecord = Schedule{};
            glo.MoveTargetsShown = 0;
            dict_.windows.postToFrame(1024);
            return Drop::Declined;
        }
    }
    return place(cell);
}

QStringList TimetableGrid::infoHeader(const GridCell& cell) const {
    QStringList out;
    const Engine::Cell t = timeOf(cell);
    if (dict_.glo.WeeksInCycle >= 2) out << weekCaption(t.week);
    out << names::rtrim(days_[static_cast<size_t>(cell.day)].DayName);
    out << rowHeader(cell.bell);
    return out;
}

QStringList TimetableGrid::refusalsAt(const GridCell& cell) {
    auto& glo = dict_.glo;
    if (glo.ScheduleRecord.rowId == 0) return {};
    const Engine::Cell t = timeOf(cell);
    const Schedule& r = glo.ScheduleRecord;
    // Where the lesson already is, dropping changes nothing: no reason to give.
    if (r.Week == t.week && r.DaySeqNumber == t.day && r.LessonNo == t.lessonNo) return {};
    const bool roomView = type_ == ObjectType::Room;
    const Schedule saved = glo.ScheduleRecord;
    Engine engine(dict_, {});
    QStringList reasons =
        engine.refusalsAt(t.week, t.day, t.lessonNo, roomView ? code_ : 0, !roomView);
    glo.ScheduleRecord = saved;
    for (QString& r : reasons)
        r = names::rtrim(r); // names come padded to their widths
    return reasons;
}

} // namespace pivrel
