#include "faldin/ClearSchedule.h"

#include "tamsel/Dictionary.h"
#include "tamsel/Transaction.h"
#include "tamsel/WritingLock.h"

#include <algorithm>
#include <tuple>

namespace faldin {

using namespace tamsel;

bool ClearSchedule(Dictionary& dict, Short clearTeachers,
                   const std::function<void(int)>& postToFrame) {
    WritingScope writing(dict);
    if (!writing) return false;
    // Hand edits before a clear are not taken back one by one after it.
    dict.history().clear();
    FileUse use(dict.store(), FileId::Schedule);
    if (!use) return false;
    const std::vector<Schedule> all = dict.access<Schedule>().all(Schedule::ItemCode);
    if (!dict.access<Schedule>().readOk()) return false;

    // A cancel stops only between whole links and whole pairs: a link cleared in part, or one
    // half of a pair, would leave the rest in cells where nothing can complete them. So the
    // lessons are taken in units: every lesson of a link, every paired lesson of a kind (plan
    // item, group, subgroup), or a single lesson alone.
    using Unit = std::tuple<int, int, int, int, qint64>;
    const auto unitOf = [](const Schedule& s) -> Unit {
        if (s.LinkCode != 0) return {0, s.LinkCode, 0, 0, 0};
        if (s.CoupledLesson != 0)
            return {1, s.TrainingCourseItemCode, s.GroupCode, s.SubGroupNum, 0};
        return {2, 0, 0, 0, s.rowId};
    };
    std::vector<size_t> order(all.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return unitOf(all[a]) < unitOf(all[b]); });

    ProgressPort& progress = dict.progress();
    progress.start(QStringLiteral("Очистка расписания"));
    // One transaction: the file is written once, and a failure leaves it as it was. A cancel
    // commits the lessons cleared so far.
    Transaction tx(dict.store(), {FileId::Schedule});
    if (!tx.active()) {
        progress.finish();
        dict.errors().report(tx.error().msgNo, tx.error().args);
        return false;
    }
    auto sch = tx.access<Schedule>();
    bool cancelled = false;
    int lastPercent = -1;
    bool askDue = false; // asked once per step of the bar, at the end of a unit
    for (size_t k = 0; k < order.size(); ++k) {
        Schedule s = all[order[k]];
        // Unplaced lessons may still carry a room (given by hand or left by an old import).
        const bool placed = !s.isUnplaced() || s.RoomCode != 0;
        if (placed || (clearTeachers && s.TeacherCode != 0)) {
            s.Week = 0;
            s.DaySeqNumber = 0;
            s.LessonNo.clear();
            s.RoomCode = 0;
            s.Pinned = 0; // the officer asked for the whole timetable to go, pins with it
            if (clearTeachers) s.TeacherCode = 0;
            const Outcome o = sch.update(s);
            if (!o.ok()) {
                progress.finish();
                dict.errors().report(o.msgNo, o.args);
                return false; // rolled back: every lesson keeps its place
            }
        }
        const bool unitEnds = k + 1 == order.size() || unitOf(all[order[k + 1]]) != unitOf(s);
        const int percent = static_cast<int>((k + 1) * 100 / all.size());
        if (percent != lastPercent) {
            lastPercent = percent;
            progress.setPercent(percent);
            askDue = true;
        }
        if (unitEnds && askDue) {
            askDue = false;
            if (!progress.cancelled()) continue;
            cancelled = k + 1 < order.size();
            break;
        }
    }
    const Outcome c = tx.commit();
    progress.finish();
    if (!c.ok()) {
        dict.errors().report(c.msgNo, c.args);
        return false;
    }
    if (postToFrame) postToFrame(1024);
    return !cancelled;
}

} // namespace faldin
