#pragma once

#include "pivrel/engine/Engine.h"

#include <QHash>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace tamsel {
class Transaction;
}

namespace pivrel {

/// The automatic placement over an in-memory model of the timetable, built once per run from
/// the data files and kept in step with every placement, which is also written through the
/// store. Its results are exactly those of Engine (the reference path): the same checks in
/// the same order, the same queue orders, reproduced with indexes instead of sorts.
class FastPlacement {
public:
    FastPlacement(tamsel::Dictionary& dict, PlacementLog& log);
    ~FastPlacement();

    /// Reads the data files and takes the tasks from the dictionary's TaskQueue.
    bool load();
    int EvaluateSituation(RunHost& host);
    /// True when EvaluateSituation asked about unplaceable lessons and was not told "Да".
    bool declined() const { return declined_; }
    void PlacingLessons(RunHost& host);
    /// After PlacingLessons, with ProcessingDisabled cleared: places what is left by moving
    /// lessons that may move, for at most `seconds`; the moves are written once, at the end.
    void Repair(RunHost& host, int seconds);
    /// After the placing phase (and the repair): moves the lessons this run placed, and the
    /// unpinned earlier ones for which `earlier` holds, where they leave fewer gaps in the
    /// days of teachers and groups, for at most `seconds`; the moves are written once, at
    /// the end.
    void Compact(RunHost& host, int seconds,
                 const std::function<bool(const tamsel::Schedule&)>& earlier = {});
    /// Writes TaskQueue and VariantQueue back into the dictionary in the reference order.
    void materialize();

    /// A placed lesson that breaks a rule, and which.
    struct Broken {
        tamsel::Schedule lesson;
        QString reason;
        bool plan = false; ///< against the plan: its lessons are not to be placed again
    };
    /// For a re-run with minimal changes, on a FastPlacement of its own before the run: the
    /// placed lessons for which `inScope` holds that break a rule now (their plan item gone or
    /// exceeded, their cell gone, or refused by the run's own cell check with the lesson itself
    /// taken out). Judged one by one, pinned lessons first, and a lesson found breaking stays
    /// out for the next, so of two lessons in one teacher's cell only one is named; the rest
    /// of a link's sitting goes with a broken lesson. Pinned ones go to `pinned`, and so do the
    /// members of a sitting that holds a pinned lesson: the pin keeps the link together. False
    /// when a file could not be read.
    bool findBroken(const std::function<bool(const tamsel::Schedule&)>& inScope,
                    std::vector<Broken>& unpinned, std::vector<Broken>& pinned);
    /// After load(): lets the repair move every unpinned lesson placed before the run.
    void allowMovingEarlier();

    /// Variants of one lesson for every cell (the interactive selection); fills VariantQueue.
    void variantsOf(const tamsel::Schedule& lesson);
    /// Loads only what the variants of `lesson` need (its teacher, group, rooms, link).
    bool loadFor(const tamsel::Schedule& lesson);

    struct Model; ///< the in-memory model (FastModel.h); the data check reads it too
    /// For a caller that lets the repair move earlier lessons and reads which ones it moved.
    Model& model() { return *m_; }

private:
    /// Writes the places of the model's `records` in one transaction; a failure is reported
    /// and marks the run's write as failed.
    bool writePlaces(const std::vector<int>& records);

    std::unique_ptr<Model> m_;
    tamsel::Dictionary& dict_;
    PlacementLog& log_;
    bool declined_ = false;
};

} // namespace pivrel
