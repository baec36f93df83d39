#pragma once

// What smallest change would let an unplaced lesson in: a lesson in the way moved to a free
// cell of its own, a room of the school added to the teacher's list, or a forbidden time of
// the teacher or group lifted. Each is found and proved on the automatic placement's own model
// of the timetable (the run's check, with the change made in the model and undone again), so
// a suggestion names a cell the lesson really takes once the change is made.

#include "pivrel/engine/Engine.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace pivrel {

struct UnplacedLesson;

struct PlacementSuggestion {
    /// In the order they are offered: a move changes no data, a room changes a list, lifting a
    /// forbidden time changes what the school asked for.
    enum class Kind { Move, Room, Restriction };
    Kind kind = Kind::Move;
    tamsel::Schedule lesson; ///< the unplaced lesson (the first of its kind or link)
    Engine::Cell cell;       ///< where it goes once the change is made
    QString text;            ///< "Переставить «…» с ср 3 на чт 5 — тогда урок встанет на ср 3"
    /// Move: the lessons in the way (one lesson, or a link's sitting) as they stood, and
    /// where they go.
    std::vector<tamsel::Schedule> moved;
    Engine::Cell to;
    /// Room: the room for the teacher's list of the subject. Restriction: the object
    /// (ObjectType::Teacher or Group) whose forbidden time is lifted.
    short teacher = 0, science = 0;
    long room = 0;
    short objectType = 0, objectCode = 0;
};

/// The suggestions for one kind of unplaced lesson: `first` its first lesson, `count` its
/// lessons left. None when the lesson already has at least `count` cells that take it.
/// At most `limit`, moves first, different cells preferred. Reads only.
std::vector<PlacementSuggestion> SuggestPlacements(tamsel::Dictionary& dict,
                                                   const tamsel::Schedule& first, int count,
                                                   int limit = 3);

/// Fills the suggestions of lessons whose reasons were just read (one model for them all).
void AddSuggestions(tamsel::Dictionary& dict, std::vector<UnplacedLesson>& lessons);

/// The unplaced lessons of the scope (as ExplainUnplaced takes it) that a change would let in,
/// each kind (or link) once with its name and suggestions; reads only, on the model alone,
/// so that it stays quick before any placement (the data check prints it).
struct SuggestedLesson {
    QString name;
    std::vector<PlacementSuggestion> suggestions;
};
std::vector<SuggestedLesson> SuggestForUnplaced(tamsel::Dictionary& dict, short kind = 0,
                                                short code = 0);

/// The block that ends a lesson's reasons ("  Что можно сделать:"), empty without suggestions.
QStringList suggestionLines(const std::vector<PlacementSuggestion>& suggestions);

/// Carries out a suggestion under the writing lock: the lessons in the way go to their new
/// cell (or the room joins the end of the teacher's list, or the forbidden time is deleted)
/// and the lesson goes into its cell, in one transaction and as one step to undo. The
/// suggestion is proved again first on the timetable and data as they are now; when it no
/// longer holds (a lesson moved, a cell taken since) nothing is written. Returns the refusal
/// in the user's words, empty when done.
QString ApplyPlacementSuggestion(tamsel::Dictionary& dict, const PlacementSuggestion& s);

} // namespace pivrel
