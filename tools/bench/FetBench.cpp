// korvel-bench --fet: a real school from a FET file, imported and placed with the repair
// phase, and written back (every activity of one hour) for fet-cl; then its gaps compacted.

#include "Bench.h"

#include "hestor/FetImport.h"
#include "pivrel/engine/AutoPlacement.h"
#include "tamsel/Dictionary.h"
#include "tamsel/Store.h"

#include <map>
#include <set>
#include <tuple>

using namespace tamsel;

namespace bench {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

class Quiet final : public UserInterfacePort {
public:
    void tell(const QString& caption, const QString& text) override { last = caption + u(": ") + text; }
    Button ask(const QString&, const QString&, unsigned, Button) override { return Yes; }
    bool stopPrompt(const QString&) override { return false; }
    void setBusy(bool) override {}
    QString last;
};

class QuietHost final : public pivrel::RunHost {
public:
    void addLine(const QString& line) override { last = line; }
    void setProgressRange(int) override {}
    void setProgressValue(int) override {}
    void yield() override {}
    QString last;
};

} // namespace

int hardViolations(Dictionary& dict) {
    std::vector<std::unique_ptr<FileUse>> open;
    for (FileId id : {FileId::Schedule, FileId::LsnLink, FileId::Restriction})
        open.push_back(std::make_unique<FileUse>(dict.store(), id));
    std::set<Short> lectures;
    for (const LsnLink& l : dict.access<LsnLink>(false).all(LsnLink::CodeKey))
        if (l.IsLecture) lectures.insert(l.LinkCode);
    std::set<std::tuple<Short, Short, Short, QString, Short>> forbidden; // type, code, week, day, lesson
    for (const Restriction& r : dict.access<Restriction>(false).all(Restriction::ObjectIdKey))
        if (r.Restriction == RestrictionLevel::Forbidden)
            forbidden.insert({r.ObjectType, r.ObjectCode, r.Week, r.LessonNo, r.DaySeqNumber});
    // Per cell and object, the lessons there; a lecture's lessons share a teacher and a room.
    std::map<std::tuple<Short, Short, QString, Short, Long>, std::set<Short>> holders;
    int violations = 0;
    for (const Schedule& e : dict.access<Schedule>(false).all(Schedule::ItemCode)) {
        if (e.isUnplaced()) continue;
        auto is = [&](Short type, Short code) {
            return forbidden.count({type, code, e.Week, e.LessonNo, e.DaySeqNumber}) > 0;
        };
        if (is(ObjectType::Teacher, e.TeacherCode) || is(ObjectType::Group, e.GroupCode) ||
            is(ObjectType::Room, static_cast<Short>(e.RoomCode)) || is(ObjectType::Science, e.ScienceCode))
            ++violations;
        if (e.RoomCode == 0) ++violations;
        const Short shared = lectures.count(e.LinkCode) ? e.LinkCode : Short(-1 - (e.rowId % 30000));
        for (auto [kind, code] : {std::pair<Short, Long>{1, e.TeacherCode}, std::pair<Short, Long>{2, e.RoomCode}}) {
            if (code == 0) continue;
            auto& h = holders[{e.Week, e.DaySeqNumber, e.LessonNo, kind, code}];
            h.insert(shared);
            if (h.size() > 1) ++violations;
        }
        // A group: the whole group clashes with any subgroup, a subgroup with itself.
        auto& whole = holders[{e.Week, e.DaySeqNumber, e.LessonNo, 3, e.GroupCode}];
        auto& part = holders[{e.Week, e.DaySeqNumber, e.LessonNo, Short(4 + e.SubGroupNum), e.GroupCode}];
        if (!whole.empty() || !part.empty() ||
            (e.SubGroupNum == 0 && holders.count({e.Week, e.DaySeqNumber, e.LessonNo, 5, e.GroupCode})))
            ++violations;
        (e.SubGroupNum == 0 ? whole : part).insert(0);
        if (e.SubGroupNum) holders[{e.Week, e.DaySeqNumber, e.LessonNo, 5, e.GroupCode}].insert(0);
    }
    return violations;
}

void placeFet(RunContext& ctx) {
    Quiet quiet;
    int lessons = 0;
    double importMs = 0;
    {
        Dictionary dict(ctx.dir);
        dict.setUserInterface(quiet);
        dict.glo.load(dict.settings());
        ctx.start();
        const hestor::FetImportResult r = hestor::ImportFet(dict, ctx.fetFile);
        ctx.stop();
        importMs = ctx.elapsedMs();
        if (!r.done) {
            ctx.error = u("не импортирован: ") + r.reason;
            return;
        }
        QString error;
        dict.saveSettings(&error);
        lessons = r.lessons;
    }
    QuietHost host;
    pivrel::PlacementResult result;
    ctx.start();
    {
        Dictionary dict(ctx.dir);
        dict.setUserInterface(quiet);
        QString error;
        if (!dict.loadSettings(&error)) {
            ctx.error = error;
            return;
        }
        dict.glo.ProcessingDisabled = 0;
        pivrel::AutoPlacement placement(dict);
        placement.setRepair(true);
        result = placement.run(pivrel::TaskKind::All, 0, host, pivrel::EnginePath::Fast);
        dict.store().closeAll();
    }
    ctx.stop();
    Dictionary dict(ctx.dir);
    dict.setUserInterface(quiet);
    QString error;
    dict.loadSettings(&error);
    int placed = 0;
    {
        FileUse use(dict.store(), FileId::Schedule);
        for (const Schedule& x : dict.access<Schedule>().all(Schedule::ItemCode))
            if (!x.isUnplaced()) ++placed;
    }
    const int violations = hardViolations(dict);
    if (!ctx.fetOut.isEmpty()) {
        hestor::FetExportOptions split;
        split.splitHours = true;
        const QString e = hestor::ExportFet(dict, ctx.fetOut, split);
        if (!e.isEmpty()) ctx.fetOut.clear();
    }
    // Then "Сократить окна" on the placed school, its double lessons first side by side as an
    // officer places them (the placing phase places them hour by hour).
    QString gaps;
    if (const int joined = joinPairs(dict); joined >= 0) {
        QString compactError;
        gaps = compactAllNote(dict, compactError);
        gaps = compactError.isEmpty() ? gaps + u(", пар рядом %1").arg(joined) : compactError;
    }
    ctx.note = u("%1\t%2\t%3\t%4\t%5")
                   .arg(lessons)
                   .arg(lessons ? QString::number(100.0 * placed / lessons, 'f', 1) : u("0"))
                   .arg(violations)
                   .arg(importMs, 0, 'f', 0)
                   .arg(result.complete() ? gaps : u("расстановка не дошла до конца"));
}

} // namespace bench
