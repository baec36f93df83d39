#pragma once

// "Проверка данных для расстановки": counts, without placing anything, the hours still to
// place against the cells where the engine's own cell rules would take them, and names what
// makes a complete timetable impossible ("невозможно") or nearly so ("тесно").

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

/// One thing the check found.
struct CheckFinding {
    enum class Severity {
        Impossible, ///< the counting proves that not every lesson concerned can be placed
        Tight,      ///< placeable as counted, but with (almost) no cell to spare
    };
    enum class Kind {
        NoCell,  ///< a kind of lesson (or a link) with no admissible cell at all
        Lessons, ///< a kind of lesson with more hours than admissible cells
        Teacher, ///< a teacher's hours against the cells where any of them could go
        Group,   ///< a group's (or subgroup's) hours likewise
        Rooms,   ///< lessons that can use only the same few rooms against those rooms' cells
        Day,     ///< a subject cycle's most lessons in a day against the days left
    };
    Severity severity = Severity::Tight;
    Kind kind = Kind::Lessons;
    QString object; ///< "Иванова И.И.", "5-А/1", "Связь «…»", "кабинеты 12, 14"
    /// The grid that shows the object (ObjectType, 0 for none) and the object's code.
    tamsel::Short objectType = 0;
    tamsel::Long objectCode = 0;
    int need = 0; ///< hours (sittings of a link) to place
    int free = 0; ///< cells (for rooms: room cells) where they could go
    QString text; ///< the finding in one line: "Иванова И.И.: 27 ч. на 24 свободные клетки"
    QStringList details;                   ///< the lessons concerned, the reasons per refused cell
    std::vector<tamsel::Schedule> lessons; ///< one lesson of each kind concerned
    std::vector<tamsel::Short> teachers, groups, subjects; ///< every object concerned

    /// "невозможно" or "тесно".
    QString severityText() const;
};

struct PlacementCheckResult {
    bool ok = false; ///< the data files were read
    int lessons = 0; ///< unplaced lessons counted
    int cells = 0;   ///< cells of the cycle
    /// Proven impossibilities first, then tight spots; each part by kind and object.
    std::vector<CheckFinding> findings;
    int impossible() const;
};

/// Runs the check over the whole school (lessons compete across teachers and groups) and
/// keeps the findings that concern the teacher, group or subject `code` of `kind` (a
/// TaskKind; All keeps every finding). Reads only; takes no writing lock.
PlacementCheckResult CheckPlacementData(tamsel::Dictionary& dict, short kind = 0, short code = 0);

/// The findings as the console and the window's details print them.
QStringList placementCheckLines(const PlacementCheckResult& r);

/// The printed report of the check.
trusko::ReportDocument placementCheckReport(const PlacementCheckResult& r);

/// "на 24 свободные клетки": a number with the noun in the case "на" asks for.
QString freeCellsText(int n);

} // namespace pivrel
