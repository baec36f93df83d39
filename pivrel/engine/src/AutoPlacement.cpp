#include "pivrel/engine/AutoPlacement.h"

#include "FastPlacement.h"

using namespace tamsel;

namespace pivrel {

bool EngineDiagnosticsOn(const Dictionary& dict) {
    static const char* const procs[] = {
        "BuildLinkLesQue",     "SetLessonTo",          "SellIsAvaliable",       "RoomIsAvaliable",
        "SetLessonRoom",       "PrepareTask",          "EvaluateSituation",     "EvaluateSituation_TQ",
        "PlacingLessons",      "ReEvaluateSituation",  "EstimateVariant_LLQ_i", "EstimateVariant_E",
        "EstimateVariant_LLQ"};
    for (const char* p : procs)
        if (dict.glo.debugProcEnabled(QString::fromLatin1(p))) return true;
    return false;
}

AutoPlacement::AutoPlacement(Dictionary& dict, EngineHooks hooks)
    : dict_(dict), hooks_(std::move(hooks)) {}

void AutoPlacement::run(short kind, short code, RunHost& host, EnginePath path) {
    auto& glo = dict_.glo;
    auto stopped = [&] { return glo.ProcessingDisabled.load() == 1; };
    usedReference_ = path == EnginePath::Reference || EngineDiagnosticsOn(dict_);

    Engine engine(dict_, hooks_);
    host.addLine(QStringLiteral("Подготовка задания на расстановку"));
    engine.PrepareTask(kind, kind == TaskKind::All ? 0 : code, host);

    std::unique_ptr<FastPlacement> fast;
    if (!stopped()) {
        host.addLine(QString());
        host.addLine(QStringLiteral("Расчет вариантов размещения уроков"));
        if (usedReference_) {
            engine.EvaluateSituation(host);
        } else {
            fast = std::make_unique<FastPlacement>(dict_, engine.log());
            if (fast->load())
                fast->EvaluateSituation(host);
            else
                glo.ProcessingDisabled = 1;
        }
    }
    if (!stopped()) {
        host.addLine(QString());
        host.addLine(QStringLiteral("Размещение уроков"));
        if (usedReference_)
            engine.PlacingLessons(host);
        else
            fast->PlacingLessons(host);
    }
    if (fast) fast->materialize();
    glo.LinkedLessonsQueue.clear();
    glo.ProcessingDisabled = 1;
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
    dict.ui().setBusy(true);
    Schedule lesson = selected;
    if (lesson.LinkCode == 0) lesson.LinkCode = -1;
    PlacementLog log(dict);
    FastPlacement fast(dict, log);
    if (fast.loadFor(lesson))
        fast.variantsOf(lesson);
    else
        glo.VariantQueue.clear();
    dict.ui().setBusy(false);
}

} // namespace pivrel
