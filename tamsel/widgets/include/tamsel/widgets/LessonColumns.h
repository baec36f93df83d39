#pragma once

// Columns of lesson lists (schedule entries), shared by every window that lists lessons:
// the names looked up in their files, and the state of a lesson as an icon and in words.

#include "tamsel/widgets/ListDeclaration.h"

namespace tamsel {

class Dictionary;

namespace LessonColumns {

ListColumn group(Dictionary& dict, const QString& title = QStringLiteral("Группа"));
ListColumn subgroup(Dictionary& dict, const QString& title = QStringLiteral("п/гр."));
ListColumn science(Dictionary& dict, const QString& title = QStringLiteral("Предмет"));
ListColumn teacher(Dictionary& dict, const QString& title = QStringLiteral("Учитель"));
ListColumn room(Dictionary& dict, const QString& title = QStringLiteral("Кабинет"));
ListColumn dayAndLesson(Dictionary& dict, const QString& title = QStringLiteral("День и урок"));

/// Adds the state to a column: green when placed with a room, a room mark when placed
/// without one, nothing when unplaced; a link mark when the lesson belongs to a link.
void addState(ListColumn& column);
/// The two halves of the state on columns of their own: placed (with or without a room; a
/// lesson without a teacher shows nothing), and the link mark.
void addPlacementState(ListColumn& column);
void addLinkState(ListColumn& column);

/// Names compared the way people read them: case aside, Ё after Е, numbers by value
/// ("5-А" before "10-А").
bool naturalLess(const QString& a, const QString& b);

/// Orders lessons by group name, subgroup and subject name (or subject, subgroup).
std::function<bool(const Row&, const Row&)> byGroupSubgroupScience(Dictionary& dict);
std::function<bool(const Row&, const Row&)> byScienceSubgroup(Dictionary& dict);

} // namespace LessonColumns

} // namespace tamsel
