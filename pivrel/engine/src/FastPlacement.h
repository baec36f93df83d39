#pragma once

#include "pivrel/engine/Engine.h"

#include <QHash>
#include <deque>
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
    /// lessons this run placed, for at most `seconds`; every step is written at once.
    void Repair(RunHost& host, int seconds);
    /// Writes TaskQueue and VariantQueue back into the dictionary in the reference order.
    void materialize();

    /// Variants of one lesson for every cell (the interactive selection); fills VariantQueue.
    void variantsOf(const tamsel::Schedule& lesson);
    /// Loads only what the variants of `lesson` need (its teacher, group, rooms, link).
    bool loadFor(const tamsel::Schedule& lesson);

    struct Model; ///< the in-memory model (FastModel.h); the data check reads it too
    /// For a caller that lets the repair move earlier lessons and reads which ones it moved.
    Model& model() { return *m_; }

private:
    std::unique_ptr<Model> m_;
    tamsel::Dictionary& dict_;
    PlacementLog& log_;
    bool declined_ = false;
};

} // namespace pivrel
