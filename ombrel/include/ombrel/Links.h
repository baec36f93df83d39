#pragma once

// Lesson links without widgets: what the link window, its form and the batch processes do to
// the files. A link never leaves a lesson half in it: the entries of a link's member carry the
// link's code, and an entry carries a code only while its member belongs to that link (the
// placement engine gathers a link's lessons by its members).

#include "tamsel/Dictionary.h"

namespace ombrel {

/// One link per subject with subgroups of the group, named "Английский в 5-А/1, 5-А/2", one
/// member per subgroup (and plan item), every unlinked entry of those subgroups carrying the
/// link's code. A subject whose link name is taken already is left as it is. Returns the links
/// made; false in `ok` when a write failed (shown) or the progress was cancelled.
int LinkGroupSubgroups(tamsel::Dictionary& dict, const tamsel::Group& group, bool* ok = nullptr);
/// The same for every group, in group order, with one progress window.
int LinkAllGroupSubgroups(tamsel::Dictionary& dict);
/// Deletes every link with its members and clears its entries' codes. False on a failure
/// (shown) or a cancel; what was done stays.
bool ClearAllLinks(tamsel::Dictionary& dict);
/// Clears every remaining link code in the timetable (codes of no link included).
bool ClearallLinksInSchedule(tamsel::Dictionary& dict);

/// A lesson dropped on a link's member list: its group, subgroup and subject join the link,
/// with every entry of that subject for that group and subgroup (a member per plan item), and
/// the link's name grows. A lesson kind that already belongs to a link is refused with the
/// duplicate-key message and nothing changes. `link` is stored when it was not yet (a new
/// link in its form); its name is updated in place. True when the lesson joined.
bool AddToLinkList(tamsel::Dictionary& dict, tamsel::LsnLink& link, const tamsel::Schedule& lesson);
/// Stores a link confirmed in its form: a new one (row id 0) first takes the next link code,
/// even when no lesson was dropped into it yet. False after the data layer said why.
bool SaveLink(tamsel::Dictionary& dict, tamsel::LsnLink& link);
/// Removes a member from its link; its entries leave the link too.
bool RemoveLinkMember(tamsel::Dictionary& dict, const tamsel::LsnLinkComp& member);

/// "Английский в 5-А/1": the name a link grows to when a member joins.
QString grownLinkName(const QString& oldName, const QString& subject, const QString& groupMark);

/// The texts of the link tree: a member ("Английский 5-А /1") and an entry ("Иванова 101
/// Понедельник 2", with the week part in a cycle of several weeks).
QString memberText(tamsel::Dictionary& dict, const tamsel::LsnLinkComp& member);
QString entryText(tamsel::Dictionary& dict, const tamsel::Schedule& entry);

} // namespace ombrel
