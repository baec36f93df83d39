#pragma once

#include "tamsel/EngineQueues.h"

#include <QFile>
#include <QStringList>
#include <QString>

namespace tamsel {
class Dictionary;
}

namespace pivrel {

/// The placement log "Pivrel.log" in the working folder: emptied when opened, one text line
/// per AddLog, written only while "Logging" of section "Preserved" is nonzero.
class PlacementLog {
public:
    explicit PlacementLog(tamsel::Dictionary& dict);
    ~PlacementLog();

    static QString fileName() { return QStringLiteral("Pivrel.log"); }
    QString path() const;

    /// Opens the log (creating it when missing) and empties it. Failures show a stop prompt.
    bool OpenLog();
    /// Appends `message`; with `dump` the header and data line of the current VariantQueue and
    /// TaskQueue entries are written instead. A closed log is reopened (and so emptied).
    void AddLog(const QString& message, bool dump = false);
    /// The dump of given entries at given positions (1-based; 0 = none).
    void AddDump(const tamsel::VariantQueueEntry& v, int vPos, const tamsel::TaskQueueEntry& t,
                 int tPos);
    void close();
    bool isOpen() const { return file_.isOpen(); }
    /// Lines that head the log each time it is emptied: what a run did before its placing
    /// phase opened the log (a re-run's lessons taken off).
    void keepAtTop(const QStringList& lines) { top_ = lines; }

    /// The two dump lines (tests and the log itself use them).
    static QString dumpHeader(int errorCode, const QString& errorText);
    static QString dumpLine(const tamsel::VariantQueueEntry& v, int vPos,
                            const tamsel::TaskQueueEntry& t, int tPos);

private:
    bool append(const QString& line);

    tamsel::Dictionary& dict_;
    QFile file_;
    /// Set after a failure was shown and ignored: the log stays silent for the rest of the
    /// run instead of asking again at every line.
    bool givenUp_ = false;
    QStringList top_;
};

/// True when the procedure's name (capitals, no trailing blanks) occurs in GLO:DebugProc.
bool DebugProcEnabled(const tamsel::Dictionary& dict, const QString& procedure);

} // namespace pivrel
