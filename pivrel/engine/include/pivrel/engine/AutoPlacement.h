#pragma once

#include "pivrel/engine/Engine.h"
#include "pivrel/engine/MinimalRerun.h"

namespace pivrel {

/// Which implementation of the automatic placement runs.
enum class EnginePath {
    Fast,      ///< the in-memory model (the default)
    Reference, ///< the rules read straight from the data files
};

/// How an automatic placement ended, and what it did.
struct PlacementResult {
    enum class End {
        Finished, ///< every phase ran to its end (lessons may still be left unplaced)
        Stopped,  ///< "Стоп!" was pressed
        Declined, ///< the answer to "Обнаружены нерасставляемые уроки" was not "Да"
        Aborted, ///< "Прервать" in a stop prompt: the program is to end
        Failed,  ///< a data file could not be read or written, or the folder is in use
    };
    End end = End::Finished;
    int placed = 0; ///< lessons of the task written to their cells
    int left = 0;   ///< lessons of the task still unplaced
    bool complete() const { return end == End::Finished; }
};

/// The three phases of one automatic placement ("Подготовка задания на расстановку",
/// "Расчет вариантов размещения уроков", "Размещение уроков"), as the AutoPivrel window and
/// the command-line tool run them. The caller clears ProcessingDisabled before and shows the
/// stop button; on return ProcessingDisabled is 1 again and every placed lesson is stored.
class AutoPlacement {
public:
    explicit AutoPlacement(tamsel::Dictionary& dict, EngineHooks hooks = {});

    /// `kind` is a TaskKind, `code` the teacher, subject or group (0 for all). The run holds
    /// the folder's writing lock throughout; the list ends with a line on a stop and a
    /// summary of lessons placed and left.
    PlacementResult run(short kind, short code, RunHost& host, EnginePath path = EnginePath::Fast);

    /// Whether the path actually taken was the reference one (diagnostics force it).
    bool usedReference() const { return usedReference_; }

    /// Asks for the repair phase ("Доводить расстановку до конца"): after the placing phase,
    /// when lessons are left and the run was not stopped, they are placed by moving lessons
    /// this run placed, for at most `seconds`. Off by default; the fast path only.
    void setRepair(bool on, int seconds = DefaultRepairSeconds) {
        repair_ = on;
        repairSeconds_ = seconds;
    }
    static constexpr int DefaultRepairSeconds = 10;

    /// Asks for fewer gaps ("Сокращать окна"): after the placing phase and the repair, the
    /// lessons this run placed move where they leave fewer free bells between lessons in the
    /// days of their teachers and groups (pupils' gaps first), for at most `seconds`, without
    /// making a time more undesirable or a subject twice on a day. Off by default; the fast
    /// path only.
    void setCompact(bool on, int seconds = DefaultCompactSeconds) {
        compact_ = on;
        compactSeconds_ = seconds;
    }
    static constexpr int DefaultCompactSeconds = 5;
    /// Asks to compact the whole timetable of the scope ("Сократить окна"): as setCompact, but
    /// every unpinned placed lesson of the scope may move too, and the progress list ends
    /// with what moved (as after a re-run with minimal changes; changes() holds it).
    void setCompactAll(bool on) {
        compactAll_ = on;
        if (on) compact_ = true;
    }

    /// Asks for a re-run with minimal changes ("Перерасставить с минимальными изменениями"):
    /// first the placed lessons of the scope that break a rule now are taken off (pinned ones
    /// are only listed), then the phases place what is unplaced and the repair phase (implied)
    /// may move any unpinned lesson placed earlier, each such move counted and kept few. The
    /// progress list ends with what moved and "Итог: перемещено уроков: N …"; changes() holds it.
    /// Always the fast path.
    void setMinimal(bool on) {
        minimal_ = on;
        if (on) repair_ = true;
    }
    /// What the last minimal re-run or compaction of the whole timetable moved (empty for
    /// any other run).
    const MinimalChanges& changes() const { return changes_; }

private:
    tamsel::Dictionary& dict_;
    EngineHooks hooks_;
    bool usedReference_ = false;
    bool repair_ = false;
    int repairSeconds_ = DefaultRepairSeconds;
    bool minimal_ = false;
    bool compact_ = false;
    bool compactAll_ = false;
    int compactSeconds_ = DefaultCompactSeconds;
    MinimalChanges changes_;
};

/// True when GLO:DebugProc names any procedure of the engine: their diagnostics live in the
/// reference path, so it is used then.
bool EngineDiagnosticsOn(const tamsel::Dictionary& dict);

/// The variants of a selected lesson for the interactive windows (fills VariantQueue, posts
/// event 1025 when asked to go to the lesson). Reads only the data the lesson's group, teachers
/// and rooms need.
void ProcessNewLessonSelection(tamsel::Dictionary& dict, short GoTo,
                               const tamsel::Schedule& selected, const EngineHooks& hooks = {});

/// Fills VariantQueue with the cells of the whole cycle where `lesson` (with its linked
/// lessons) can go: the day load as main estimate, the variant's estimate as additional one.
/// What the grids colour by ("Куда можно подвинуть?", a selected or dragged lesson).
void LessonVariants(tamsel::Dictionary& dict, const tamsel::Schedule& lesson,
                    const EngineHooks& hooks = {});

} // namespace pivrel
