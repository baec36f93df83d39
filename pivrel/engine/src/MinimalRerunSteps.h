#pragma once

// The steps of a re-run with minimal changes that AutoPlacement::run takes around its phases.
// Private to the engine.

#include "pivrel/engine/MinimalRerun.h"
#include "pivrel/engine/RunHost.h"

#include "tamsel/Dictionary.h"
#include "tamsel/EngineQueues.h"

#include <QHash>

namespace pivrel::rerun {

/// Whether a lesson belongs to a run's scope (`kind` a TaskKind, `code` its object).
bool inScope(const tamsel::Schedule& s, short kind, short code);

/// Every placed lesson of the school, as stored.
std::vector<tamsel::Schedule> placedLessons(tamsel::Dictionary& dict);

/// Takes off, in one transaction, the unpinned placed lessons of the scope (`kind`, `code` as
/// for a run) that break a rule now, noting each one's reason in `takenOff` and those against
/// the plan in `againstPlan`; the pinned ones that break a rule go into `changes` only. Says
/// what it did in the progress list and in `said` (for the placement log). False when a file
/// could not be read or written (the message has been shown).
bool takeOffBroken(tamsel::Dictionary& dict, short kind, short code, RunHost& host,
                   MinimalChanges& changes, QHash<tamsel::RowId, QString>& takenOff,
                   std::vector<tamsel::Schedule>& againstPlan, QStringList& said);

/// Takes out of the prepared task the lessons of the plan item, group, subgroup and pair half
/// of each lesson taken off against the plan: placed again, they would break it again.
void keepOffTask(tamsel::TaskQueue& tq, const std::vector<tamsel::Schedule>& againstPlan,
                 RunHost& host);

/// Fills `changes.moved` from the placed lessons before the re-run and as they are now. A
/// lesson is its kind (plan item, group, subgroup, teacher, subject, pair half, link), not its
/// row: the placing takes any unplaced row of a kind, so a row taken off may stay unplaced
/// while another row of its kind takes a cell. Each place of a kind that is gone is one moved
/// lesson, paired with a new place of the kind when there is one.
void compare(tamsel::Dictionary& dict, const std::vector<tamsel::Schedule>& before,
             const QHash<tamsel::RowId, QString>& takenOff, MinimalChanges& changes);

} // namespace pivrel::rerun
