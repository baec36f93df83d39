#include "faldin/ClearSchedule.h"

#include "tamsel/Dictionary.h"
#include "tamsel/Transaction.h"
#include "tamsel/WritingLock.h"

namespace faldin {

using namespace tamsel;

bool ClearSchedule(Dictionary& dict, Short clearTeachers,
                   const std::function<void(int)>& postToFrame) {
    WritingScope writing(dict);
    if (!writing) return false;
    FileUse use(dict.store(), FileId::Schedule);
    if (!use) return false;
    const std::vector<Schedule> all = dict.access<Schedule>().all(Schedule::ItemCode);
    if (!dict.access<Schedule>().readOk()) return false;

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
    for (size_t i = 0; i < all.size(); ++i) {
        Schedule s = all[i];
        const bool placed = !s.isUnplaced() || s.RoomCode != 0;
        if (placed || (clearTeachers && s.TeacherCode != 0)) {
            s.Week = 0;
            s.DaySeqNumber = 0;
            s.LessonNo.clear();
            s.RoomCode = 0;
            if (clearTeachers) s.TeacherCode = 0;
            const Outcome o = sch.update(s);
            if (!o.ok()) {
                progress.finish();
                dict.errors().report(o.msgNo, o.args);
                return false; // rolled back: every lesson keeps its place
            }
        }
        const int percent = static_cast<int>((i + 1) * 100 / all.size());
        if (percent != lastPercent) {
            lastPercent = percent;
            progress.setPercent(percent);
            if (progress.cancelled()) {
                cancelled = true;
                break;
            }
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
