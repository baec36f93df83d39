#pragma once

// Why each lesson left unplaced cannot go anywhere: over every cell of the cycle, the reasons
// the engine gives for refusing it there (`Engine::refusalsAt`, the judgement behind the
// grid's colours and drops), counted, and for a busy teacher, group or room the lessons that
// occupy those cells, most frequent first.

#include "pivrel/engine/PlacementSuggestions.h"

#include "tamsel/Records.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace tamsel {
class Dictionary;
}
namespace trusko {
struct ReportDocument;
}

namespace pivrel {

struct UnplacedLesson {
    tamsel::Schedule lesson; ///< the first unplaced lesson of its kind (or of its link)
    int count = 0;           ///< unplaced lessons of the kind (sittings of a link)
    QString name; ///< "5-А Математика (Иванова И.И.)", "Связь «…»"
    struct Reason {
        QString text; ///< the engine's own text
        int cells = 0;
        /// For a busy teacher, group or room: the lessons there, with how many of the cells.
        std::vector<std::pair<QString, int>> occupants;
    };
    std::vector<Reason> reasons; ///< most cells first
    int openCells = 0;           ///< cells without any refusal (a person may place it there)
    /// What smallest change would let it in (none while it has cells enough).
    std::vector<PlacementSuggestion> suggestions;
};

/// The unplaced lessons of the teacher, group or subject `code` of `kind` (a TaskKind; All for
/// every lesson), each kind once. Reads only.
std::vector<UnplacedLesson> ExplainUnplaced(tamsel::Dictionary& dict, short kind = 0,
                                            short code = 0);

/// The reasons of one unplaced lesson (the unplaced lessons window's details).
UnplacedLesson ExplainUnplacedLesson(tamsel::Dictionary& dict, const tamsel::Schedule& lesson);

/// As the console and the window print them; `occupants` lessons at most per reason.
QStringList unplacedReasonsLines(const std::vector<UnplacedLesson>& lessons, int occupants = 5);
/// The details of one lesson.
QStringList unplacedReasonLines(const UnplacedLesson& lesson, int occupants = 5);

/// The printed report.
trusko::ReportDocument unplacedReasonsReport(const std::vector<UnplacedLesson>& lessons);

} // namespace pivrel
