#include "Bench.h"

#include "faldin/RoomLists.h"
#include "tamsel/Dictionary.h"
#include "tamsel/ErrorReporter.h"
#include "tamsel/Relations.h"
#include "tamsel/Transaction.h"

using namespace tamsel;

namespace bench {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

QString describe(const Outcome& o) {
    return ErrorReporter::text(o.msgNo, o.args);
}

bool openSample(Dictionary& dict, RunContext& ctx) {
    QString error;
    if (!dict.loadSettings(&error)) {
        ctx.error = u("Korvel.ini не читается: ") + error;
        return false;
    }
    return true;
}

void generateSample(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    QString error;
    ctx.start();
    const bool ok = sample::GenerateSampleSchool(dict, ctx.options, nullptr, &error);
    ctx.stop();
    if (!ok) ctx.error = error;
}

/// Every plan item generates its lessons anew into an emptied SCHEDULE.
void generateLessons(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    if (!openSample(dict, ctx)) return;
    std::vector<TrainingCourse> items;
    qint64 before = 0;
    {
        Transaction tx(dict.store(), {FileId::Schedule, FileId::TrainingCourse});
        auto sch = tx.access<Schedule>();
        before = sch.count();
        for (const Schedule& s : sch.all(Schedule::ItemCode))
            sch.remove(s);
        items = tx.access<TrainingCourse>().all(TrainingCourse::ItemCodeKey);
        if (const Outcome o = tx.commit(); !o.ok()) {
            ctx.error = describe(o);
            return;
        }
    }
    int made = 0;
    ctx.start();
    for (const TrainingCourse& item : items)
        made += GenerateLessonsForItem(dict, item);
    ctx.stop();
    if (made != before) ctx.error = u("создано %1 уроков вместо %2").arg(made).arg(before);
}

/// One group from the middle of the list, with its lessons and restrictions.
void cascadeDeleteGroup(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    if (!openSample(dict, ctx)) return;
    Group victim;
    {
        FileUse use(dict.store(), FileId::Group);
        const auto groups = dict.access<Group>().all(Group::GroupCodeKey);
        if (groups.empty()) {
            ctx.error = u("в примере нет групп");
            return;
        }
        victim = groups[groups.size() / 2];
    }
    Relations rel(dict);
    rel.setReporting(false);
    ctx.start();
    const Outcome o = rel.remove(victim);
    ctx.stop();
    if (!o.ok()) ctx.error = describe(o);
}

void updateAllRoomLists(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    if (!openSample(dict, ctx)) return;
    ctx.start();
    const Outcome o = faldin::UpdateAllTeacherRoomLists(dict);
    ctx.stop();
    if (!o.ok()) ctx.error = describe(o);
}

} // namespace

const std::vector<Operation>& operations() {
    static const std::vector<Operation> ops{
        {"generate", "Генерация примера школы", false, &generateSample},
        {"lessons", "Генерация уроков всех пунктов плана", true, &generateLessons},
        {"delete-group", "Каскадное удаление группы", true, &cascadeDeleteGroup},
        {"roomlists", "UpdateAllTeacherRoomLists", true, &updateAllRoomLists},
    };
    return ops;
}

} // namespace bench
