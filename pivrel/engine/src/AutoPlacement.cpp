#include "pivrel/engine/AutoPlacement.h"

#include "FastPlacement.h"

#include "tamsel/WritingLock.h"

using namespace tamsel;

namespace pivrel {

bool EngineDiagnosticsOn(const Dictionary& dict) {
    static const char* const procs[] = {
        "BuildLinkLesQue",     "SetLessonTo",           "SellIsAvaliable",
        "RoomIsAvaliable",     "SetLessonRoom",         "PrepareTask",
        "EvaluateSituation",   "EvaluateSituation_TQ",  "PlacingLessons",
        "ReEvaluateSituation", "EstimateVariant_LLQ_i", "EstimateVariant_E",
        "EstimateVariant_LLQ"};
    for (const char* p : procs)
        if (dict.glo.debugProcEnabled(QString::fromLatin1(p))) return true;
    return false;
}

AutoPlacement::AutoPlacement(Dictionary& dict, EngineHooks hooks)
    : dict_(dict), hooks_(std::move(hooks)) {}

namespace {

/// Passes everything to the window's host and notices a stop pressed while the user
/// interface ran: the engine sets ProcessingDisabled itself only outside yield().
class StopWatchingHost final : public RunHost {
public:
    StopWatchingHost(RunHost& inner, Globals& glo, WritingLock& lock)
        : inner_(inner), glo_(glo), lock_(lock) {}
    void addLine(const QString& line) override { inner_.addLine(line); }
    void setProgressRange(int maximum) override {
        range_ = maximum;
        inner_.setProgressRange(maximum);
    }
    void setProgressValue(int value) override { inner_.setProgressValue(value); }
    void yield() override {
        const bool before = glo_.ProcessingDisabled.load() == 1;
        {
            // Whatever the user does meanwhile must not write under the run's model.
            WritingLock::Yield handingOver(lock_);
            inner_.yield();
        }
        if (!before && glo_.ProcessingDisabled.load() == 1) stopPressed = true;
    }
    void fillBar() { inner_.setProgressValue(range_); }
    bool stopPressed = false;

private:
    RunHost& inner_;
    Globals& glo_;
    WritingLock& lock_;
    int range_ = 0;
};

/// Unplaced lessons within the task's scope.
int countUnplaced(Dictionary& dict, short kind, short code) {
    Schedule from;
    Schedule::Key key = Schedule::WeekDayLessonKey;
    switch (kind) {
    case TaskKind::Teacher:
        key = Schedule::TeacherKey;
        from.TeacherCode = code;
        break;
    case TaskKind::Group:
        key = Schedule::GroupKey;
        from.GroupCode = code;
        break;
    case TaskKind::Science:
        key = Schedule::ScienceKey;
        from.ScienceCode = code;
        break;
    default:
        break;
    }
    int n = 0;
    dict.access<Schedule>().forEach(key, from, kind == TaskKind::All ? 0 : 1,
                                    [&](const Schedule& s) {
                                        if (s.isUnplaced()) ++n;
                                        return true;
                                    });
    return n;
}

} // namespace

PlacementResult AutoPlacement::run(short kind, short code, RunHost& outer, EnginePath path) {
    auto& glo = dict_.glo;
    auto stopped = [&] { return glo.ProcessingDisabled.load() == 1; };
    usedReference_ = path == EnginePath::Reference || EngineDiagnosticsOn(dict_);
    PlacementResult result;
    StopWatchingHost host(outer, glo, dict_.writingLock());
    const int failuresBefore = dict_.errors().failuresShown();
    auto finish = [&](PlacementResult::End end) {
        glo.LinkedLessonsQueue.clear();
        glo.ProcessingDisabled = 1;
        result.end = end;
        return result;
    };

    // The folder's lock first: what the run plans from must be what it writes into, not
    // files another program replaces before the lock is had.
    WritingScope writing(dict_, QStringLiteral("автоматическая расстановка уроков"));
    if (!writing) return finish(PlacementResult::End::Failed);
    // Every file the run reads must open before anything starts: a damaged or locked file
    // is named once and the run ends without touching the timetable.
    std::vector<std::unique_ptr<FileUse>> uses;
    dict_.store().checkAhead(Engine::files());
    for (FileId id : Engine::files()) {
        uses.push_back(std::make_unique<FileUse>(dict_.store(), id));
        if (!*uses.back()) return finish(PlacementResult::End::Failed);
    }
    const int before = countUnplaced(dict_, kind, code);

    Engine engine(dict_, hooks_);
    // A link the officer placed in part is completed in its own cell first: gathered from its
    // unplaced lessons alone it would be placed apart from what is placed.
    engine.CompletePartlyPlacedLinks(kind, kind == TaskKind::All ? 0 : code, host);
    host.addLine(QStringLiteral("Подготовка задания на расстановку"));
    engine.PrepareTask(kind, kind == TaskKind::All ? 0 : code, host);

    std::unique_ptr<FastPlacement> fast;
    bool declined = false;
    if (!stopped()) {
        host.addLine(QString());
        host.addLine(QStringLiteral("Расчет вариантов размещения уроков"));
        if (usedReference_) {
            engine.EvaluateSituation(host);
            declined = engine.declined();
        } else {
            fast = std::make_unique<FastPlacement>(dict_, engine.log());
            if (fast->load()) {
                fast->EvaluateSituation(host);
                declined = fast->declined();
            } else {
                glo.ProcessingDisabled = 1;
            }
        }
    }
    bool placing = false;
    if (!stopped()) {
        placing = true;
        host.addLine(QString());
        host.addLine(QStringLiteral("Размещение уроков"));
        if (usedReference_)
            engine.PlacingLessons(host);
        else
            fast->PlacingLessons(host);
        // The repair phase: only what the placing phase left, and not after a stop.
        if (fast && repair_ && !host.stopPressed && !dict_.abortRequested() &&
            countUnplaced(dict_, kind, code) > 0) {
            glo.ProcessingDisabled = 0;
            fast->Repair(host, repairSeconds_);
            glo.ProcessingDisabled = 1;
        }
    }
    if (fast) fast->materialize();

    const int after = countUnplaced(dict_, kind, code);
    result.placed = std::max(0, before - after);
    result.left = after;
    PlacementResult::End end = PlacementResult::End::Finished;
    if (dict_.abortRequested())
        end = PlacementResult::End::Aborted;
    else if (dict_.errors().failuresShown() != failuresBefore || !dict_.access<Schedule>().readOk())
        end = PlacementResult::End::Failed;
    else if (host.stopPressed)
        end = PlacementResult::End::Stopped;
    else if (declined)
        end = PlacementResult::End::Declined;
    if (placing && end == PlacementResult::End::Finished) host.fillBar();
    if (end == PlacementResult::End::Stopped)
        host.addLine(QStringLiteral("Расстановка остановлена кнопкой «Стоп!»: к этому моменту "
                                    "размещено уроков: %1.")
                         .arg(result.placed));
    host.addLine(QStringLiteral("Итог: размещено уроков: %1, осталось нерасставленных: %2.")
                     .arg(result.placed)
                     .arg(result.left));
    return finish(end);
}

void LessonVariants(Dictionary& dict, const Schedule& lesson, const EngineHooks& hooks) {
    auto& glo = dict.glo;
    if (EngineDiagnosticsOn(dict)) {
        // The reference path keeps the diagnostics; it needs the lesson in ScheduleRecord.
        const short GoToSelectedObject = glo.GoToSelectedObject;
        const short ShowLessonRestrictions = glo.ShowLessonRestrictions;
        glo.GoToSelectedObject = 0;
        glo.ShowLessonRestrictions = 1;
        Engine(dict, hooks).ProcessNewLessonSelection(0, lesson);
        glo.GoToSelectedObject = GoToSelectedObject;
        glo.ShowLessonRestrictions = ShowLessonRestrictions;
        return;
    }
    dict.ui().setBusy(true);
    Schedule l = lesson;
    if (l.LinkCode == 0) l.LinkCode = -1;
    PlacementLog log(dict);
    FastPlacement fast(dict, log);
    if (fast.loadFor(l))
        fast.variantsOf(l);
    else
        glo.VariantQueue.clear();
    dict.ui().setBusy(false);
}

void ProcessNewLessonSelection(Dictionary& dict, short GoTo, const Schedule& selected,
                               const EngineHooks& hooks) {
    if (EngineDiagnosticsOn(dict)) {
        Engine(dict, hooks).ProcessNewLessonSelection(GoTo, selected);
        return;
    }
    auto& glo = dict.glo;
    if (glo.GoToSelectedObject && GoTo) {
        glo.ScheduleRecord = selected;
        if (glo.ScheduleRecord.LinkCode == 0) glo.ScheduleRecord.LinkCode = -1;
        if (hooks.postToFrame) hooks.postToFrame(1025);
    }
    if (!glo.ShowLessonRestrictions) return;
    LessonVariants(dict, selected, hooks);
}

} // namespace pivrel
