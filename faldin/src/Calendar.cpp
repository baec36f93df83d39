#include "faldin/Calendar.h"

#include "tamsel/Relations.h"
#include "tamsel/Transaction.h"

#include <functional>

namespace faldin {

using namespace tamsel;

namespace {

constexpr Long Minute = 6000; // time units per minute

/// Deletes every record of `file` through the relations, with the progress window.
template <class R> bool deleteAll(Dictionary& dict, typename R::Key key, const QString& caption) {
    Relations rel(dict);
    if (!rel.open(R::File)) return false;
    const std::vector<R> all = dict.access<R>().all(key);
    bool ok = dict.access<R>().readOk();
    ProgressPort& progress = dict.progress();
    progress.start(caption);
    for (size_t i = 0; ok && i < all.size(); ++i) {
        ok = rel.remove(all[i]).ok();
        progress.setPercent(static_cast<int>((i + 1) * 100 / all.size()));
    }
    progress.finish();
    rel.close(R::File);
    return ok;
}

/// Stores records into an emptied file in one transaction: all of them or none.
template <class R> bool writeAll(Dictionary& dict, std::vector<R> records) {
    Transaction tx(dict.store(), {R::File});
    if (!tx.active()) {
        dict.errors().report(tx.error().msgNo, tx.error().args);
        return false;
    }
    auto file = tx.access<R>();
    for (R& r : records) {
        const Outcome o = file.insert(r);
        if (!o.ok()) {
            dict.errors().report(o.msgNo, o.args);
            return false;
        }
    }
    const Outcome c = tx.commit();
    if (!c.ok()) dict.errors().report(c.msgNo, c.args);
    return c.ok();
}

int countPlaced(Dictionary& dict, const std::function<bool(const Schedule&)>& on) {
    FileUse use(dict.store(), FileId::Schedule);
    if (!use) return 0;
    int n = 0;
    dict.access<Schedule>().forEach(Schedule::ItemCode, Schedule{}, 0, [&](const Schedule& s) {
        if (on(s)) ++n;
        return true;
    });
    return n;
}

bool replaceDays(Dictionary& dict, const std::vector<Days>& days) {
    FileUse use(dict.store(), FileId::Days);
    if (!use) return false;
    if (dict.access<Days>().count() > 0) {
        if (!ConfirmLessonsDeleted(dict, LessonsOnDays(dict))) return false;
        if (!DeleteAllDays(dict)) return false;
    }
    return writeAll(dict, days);
}

} // namespace

QString StandardDayName(int seq) {
    static const char* const names[] = {"Понедельник", "Вторник", "Среда",      "Четверг",
                                        "Пятница",     "Суббота", "Воскресенье"};
    return seq >= 1 && seq <= 7 ? QString::fromUtf8(names[seq - 1]) : QString();
}

QString WeekdayAbbreviation(int index) {
    static const char* const names[] = {" - Пн", " - Вт", " - Ср", " - Чт",
                                        " - Пт", " - Сб", " - Вс"};
    return index >= 0 && index <= 6 ? QString::fromUtf8(names[index]) : QString();
}

int LessonsOnDays(Dictionary& dict) {
    return countPlaced(dict, [](const Schedule& s) { return s.DaySeqNumber != 0; });
}
int LessonsOnBells(Dictionary& dict) {
    return countPlaced(dict, [](const Schedule& s) { return !s.LessonNo.isEmpty(); });
}
int LessonsOnDay(Dictionary& dict, Short seq) {
    return countPlaced(dict,
                       [seq](const Schedule& s) { return seq != 0 && s.DaySeqNumber == seq; });
}
int LessonsAtBell(Dictionary& dict, const QString& no) {
    return countPlaced(dict,
                       [&no](const Schedule& s) { return !no.isEmpty() && s.LessonNo == no; });
}

bool ConfirmLessonsDeleted(Dictionary& dict, int lessons) {
    if (lessons <= 0) return true;
    // The relations delete the schedule entries placed there, not only their places: the
    // officer must know before a generator takes lessons out of the school's plan.
    return dict.ui().ask(QStringLiteral("Удаление уроков"),
                         QStringLiteral("Вместе с удаляемыми записями будут удалены из расписания "
                                        "расставленные на них уроки: %1.|Удаленные уроки "
                                        "исчезнут и из нагрузки учителей. Продолжить?")
                             .arg(lessons),
                         Yes | No, No) == Yes;
}

bool DeleteAllDays(Dictionary& dict) {
    return deleteAll<Days>(dict, Days::SeqNumberKey, QStringLiteral("Очистка списка дней"));
}

bool DeleteAllLessonBells(Dictionary& dict) {
    return deleteAll<LessonBell>(dict, LessonBell::NumberKey,
                                 QStringLiteral("Очистка списка звонков"));
}

bool SetDefaultWeek(Dictionary& dict, int n) {
    std::vector<Days> days;
    for (int k = 1; k <= n && k <= 7; ++k) {
        Days d;
        d.DaySeqNumber = static_cast<Short>(k);
        d.DayName = StandardDayName(k);
        days.push_back(d);
    }
    return replaceDays(dict, days);
}

DateInterval DefaultDateInterval(const QDate& today) {
    DateInterval i;
    i.from = QDate(today.year(), today.month(), 1).addMonths(1);
    i.to = i.from.addDays(13);
    return i;
}

std::vector<Days> DateIntervalDays(const DateInterval& interval) {
    std::vector<Days> out;
    if (!interval.from.isValid() || !interval.to.isValid()) return out;
    Short counter = 0;
    for (QDate d = interval.from; d <= interval.to; d = d.addDays(1)) {
        const int w = d.dayOfWeek() - 1; // 0 = Monday
        if (w >= interval.daysPerWeek) continue;
        Days day;
        day.DaySeqNumber = ++counter;
        day.DayName = d.toString(QStringLiteral("dd.MM.yyyy")) + WeekdayAbbreviation(w);
        out.push_back(day);
    }
    return out;
}

bool SetDateInterval(Dictionary& dict, const DateInterval& interval) {
    return replaceDays(dict, DateIntervalDays(interval));
}

std::vector<LessonBell> LessonGridBells(const LessonGrid& g) {
    std::vector<LessonBell> out;
    Long start = g.start;
    for (int i = 1; i <= g.lessons; ++i) {
        if (i > 1) {
            int brk = g.breakLength;
            if (i == g.firstLongBreakAfter + 1)
                brk = g.firstLongBreak;
            else if (i == g.secondLongBreakAfter + 1)
                brk = g.secondLongBreak;
            start = out.back().Ending + brk * Minute;
        }
        LessonBell b;
        b.LessonNo = QString::number(i).rightJustified(3, QLatin1Char(' '));
        b.Begining = start;
        b.Ending = start + g.length * Minute;
        out.push_back(b);
    }
    return out;
}

bool SetDefaultLessonGrid(Dictionary& dict, const LessonGrid& grid) {
    FileUse use(dict.store(), FileId::LessonBell);
    if (!use) return false;
    if (dict.access<LessonBell>().count() > 0) {
        if (!ConfirmLessonsDeleted(dict, LessonsOnBells(dict))) return false;
        if (!DeleteAllLessonBells(dict)) return false;
    }
    return writeAll(dict, LessonGridBells(grid));
}

} // namespace faldin
