#pragma once

// What a re-run with minimal changes did to the lessons placed before it: the lessons it
// took off because they break a rule now, the ones it moved to place the others, and the
// pinned lessons that break a rule (listed, never touched). Without widgets: the window, the
// command line and the printed report show the same lines.

#include "tamsel/Records.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace trusko {
struct ReportDocument;
}

namespace pivrel {

struct MovedLesson {
    tamsel::Schedule from; ///< where it was before the run
    tamsel::Schedule to;   ///< where it is after it; unplaced when it found no cell again
    bool takenOff = false; ///< it broke a rule and was taken off before placing
    QString reason;        ///< the rule it broke, when taken off
    QString lesson;        ///< "5-А Математика (Иванова И.И.)"
    QString fromText, toText; ///< "Понедельник, 2 урок, каб. 101", "не размещен"
};

struct MinimalChanges {
    std::vector<MovedLesson> moved; ///< in the order of their old cells
    struct Broken {
        tamsel::Schedule lesson;
        QString name, place, reason;
    };
    /// Pinned lessons that break a rule: they stay where the officer put them.
    std::vector<Broken> pinnedBroken;
    int takenOff() const;
    int notPlacedAgain() const;
};

/// The moved list as the progress list, the console and the window show it, ending with the
/// summary "Итог: перемещено уроков: N …".
QStringList minimalChangesLines(const MinimalChanges& changes);
/// The summary line alone.
QString minimalChangesSummary(const MinimalChanges& changes);

/// The printed report "Перемещенные уроки".
trusko::ReportDocument minimalChangesReport(const MinimalChanges& changes);

} // namespace pivrel
