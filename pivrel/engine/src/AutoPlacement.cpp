#include "pivrel/engine/AutoPlacement.h"

#include "FastPlacement.h"
#include "MinimalRerunSteps.h"

#include "pivrel/engine/RoomLists.h"

#include "tamsel/WritingLock.h"

#include <set>

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

/// Visits the unplaced lessons within the task's scope.
template <class F> void forEachUnplaced(Dictionary& dict, short kind, short code, F visit) {
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
    dict.access<Schedule>().forEach(key, from, kind == TaskKind::All ? 0 : 1,
                                    [&](const Schedule& s) {
                                        if (s.isUnplaced()) visit(s);
                                        return true;
                                    });
}

/// Unplaced lessons within the task's scope.
int countUnplaced(Dictionary& dict, short kind, short code) {
    int n = 0;
    forEachUnplaced(dict, kind, code, [&](const Schedule&) { ++n; });
    return n;
}

using TeacherScience = std::pair<Short, Short>;

bool hasRoomList(Dictionary& dict, const TeacherScience& p) {
    RoomList from;
    from.TeacherCode = p.first;
    from.ScienceCode = p.second;
    return !dict.access<RoomList>().read(RoomList::TeacherScienceKey, from, 2).empty();
}

/// The names of the pairs' teachers in name order, at most ten and how many more.
QString teacherNames(Dictionary& dict, const std::vector<TeacherScience>& pairs) {
    std::set<Short> codes;
    for (const TeacherScience& p : pairs) codes.insert(p.first);
    QStringList names;
    for (const Teacher& t : dict.access<Teacher>().all(Teacher::TeacherNameKey))
        if (codes.count(t.TeacherCode)) names << names::rtrim(t.TeacherName);
    constexpr int Shown = 10;
    if (names.size() <= Shown) return names.join(QStringLiteral(", "));
    return QStringList(names.mid(0, Shown)).join(QStringLiteral(", ")) +
           QStringLiteral(" и ещё %1").arg(names.size() - Shown);
}

/// A lesson whose teacher has no room list for its subject has no cell at all, and a school
/// entered by hand has no lists until they are built. Says which teachers' lessons these are
/// and offers to build their missing lists by the rule (lists that exist stay as they are).
/// False when the lists could not be written (the message has been shown).
bool offerRoomLists(Dictionary& dict, short kind, short code, RunHost& host) {
    std::vector<TeacherScience> missing;
    std::set<TeacherScience> seen;
    forEachUnplaced(dict, kind, code, [&](const Schedule& s) {
        const TeacherScience p{s.TeacherCode, s.ScienceCode};
        // A lesson without a teacher waits for the load, not for a room list.
        if (s.TeacherCode == 0 || !seen.insert(p).second) return;
        if (!hasRoomList(dict, p)) missing.push_back(p);
    });
    if (missing.empty()) return true;
    const QString who = teacherNames(dict, missing);
    host.addLine(QStringLiteral("Нет списков кабинетов для уроков учителей: ") + who);
    const Button b = dict.ui().ask(
        QStringLiteral("Нет списков кабинетов"),
        QStringLiteral("Для уроков учителей ") + who +
            QStringLiteral(" не составлены списки кабинетов, и расставить эти уроки нельзя."
                           "| |Составить недостающие списки кабинетов этих учителей?"),
        Yes | No, No);
    if (b != Yes) {
        host.addLine(QStringLiteral("  Списки кабинетов не составлены: эти уроки останутся "
                                    "нерасставленными."));
        return true;
    }
    if (!BuildTeacherRoomLists(dict, missing).ok()) return false;
    std::vector<TeacherScience> empty;
    for (const TeacherScience& p : missing)
        if (!hasRoomList(dict, p)) empty.push_back(p);
    host.addLine(QStringLiteral("  Списки кабинетов составлены."));
    // The rule finds no room for some: the teacher's rooms do not suit the subject.
    for (const TeacherScience& p : empty)
        host.addLine(QStringLiteral("  Подходящих кабинетов нет: ") +
                     names::rtrim(names::teacherName(dict, p.first)) + QStringLiteral(", ") +
                     names::rtrim(names::science(dict, p.second)));
    return true;
}

} // namespace

PlacementResult AutoPlacement::run(short kind, short code, RunHost& outer, EnginePath path) {
    auto& glo = dict_.glo;
    auto stopped = [&] { return glo.ProcessingDisabled.load() == 1; };
    // The minimal re-run and the compaction need the fast path's model.
    usedReference_ =
        !minimal_ && !compactAll_ && (path == EnginePath::Reference || EngineDiagnosticsOn(dict_));
    changes_ = MinimalChanges{};
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
    // The run plans over the whole timetable: hand edits before it are not undone after it.
    dict_.history().clear();
    // Every file the run reads must open before anything starts: a damaged or locked file
    // is named once and the run ends without touching the timetable.
    std::vector<std::unique_ptr<FileUse>> uses;
    dict_.store().checkAhead(Engine::files());
    for (FileId id : Engine::files()) {
        uses.push_back(std::make_unique<FileUse>(dict_.store(), id));
        if (!*uses.back()) return finish(PlacementResult::End::Failed);
    }
    std::vector<Schedule> placedBefore;
    QHash<RowId, QString> takenOff;
    std::vector<Schedule> againstPlan;
    QStringList takeOffLines;
    if (minimal_ || compactAll_) placedBefore = rerun::placedLessons(dict_);
    if (minimal_) {
        if (!rerun::takeOffBroken(dict_, kind, code, host, changes_, takenOff, againstPlan,
                                  takeOffLines))
            return finish(PlacementResult::End::Failed);
    }
    const int before = countUnplaced(dict_, kind, code);
    if (!compactAll_ && !offerRoomLists(dict_, kind, code, host))
        return finish(PlacementResult::End::Failed);

    Engine engine(dict_, hooks_);
    // What the re-run took off heads the log, which the placing phase empties when it opens it.
    engine.log().keepAtTop(takeOffLines);
    std::unique_ptr<FastPlacement> fast;
    bool declined = false;
    bool placing = false;
    // The whole timetable's gaps: no task, no placing, only the compaction over what is placed.
    if (compactAll_) {
        glo.TaskQueue.items.clear();
        fast = std::make_unique<FastPlacement>(dict_, engine.log());
        if (fast->load() && !stopped()) {
            placing = true;
            fast->Compact(host, compactSeconds_,
                          [&](const Schedule& s) { return rerun::inScope(s, kind, code); });
        }
        glo.ProcessingDisabled = 1;
    } else {
        // A link the officer placed in part is completed in its own cell first: gathered from
        // its unplaced lessons alone it would be placed apart from what is placed.
        engine.CompletePartlyPlacedLinks(kind, kind == TaskKind::All ? 0 : code, host);
        host.addLine(QStringLiteral("Подготовка задания на расстановку"));
        engine.PrepareTask(kind, kind == TaskKind::All ? 0 : code, host);
        if (minimal_) rerun::keepOffTask(glo.TaskQueue, againstPlan, host);

        if (!stopped()) {
            host.addLine(QString());
            host.addLine(QStringLiteral("Расчет вариантов размещения уроков"));
            if (usedReference_) {
                engine.EvaluateSituation(host);
                declined = engine.declined();
            } else {
                fast = std::make_unique<FastPlacement>(dict_, engine.log());
                if (fast->load()) {
                    if (minimal_) fast->allowMovingEarlier();
                    fast->EvaluateSituation(host);
                    declined = fast->declined();
                } else {
                    glo.ProcessingDisabled = 1;
                }
            }
        }
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
            if (fast && compact_ && !host.stopPressed && !dict_.abortRequested()) {
                glo.ProcessingDisabled = 0;
                fast->Compact(host, compactSeconds_);
                glo.ProcessingDisabled = 1;
            }
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
    // What moved, also after a stop: every step done is kept, so it is what the officer finds.
    if ((minimal_ || compactAll_) && end != PlacementResult::End::Failed) {
        rerun::compare(dict_, placedBefore, takenOff, changes_);
        host.addLine(QString());
        for (const QString& line : minimalChangesLines(changes_))
            host.addLine(line);
    }
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
