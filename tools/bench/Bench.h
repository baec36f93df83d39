#pragma once

// The operations that korvel-bench measures. Each is one function that prepares what it
// needs untimed and brackets the measured part with start() and stop(); adding a row to
// the table is one such function and one line in operations().

#include "SampleSchool.h"

namespace tamsel {
class Dictionary;
}

#include <QElapsedTimer>
#include <QString>
#include <vector>

namespace bench {

struct RunContext {
    sample::SampleOptions options;
    /// A fresh folder for this run: a copy of the sample school of this size and cycle
    /// length, or an empty folder for operations that build their own.
    QString dir;

    void start() { clock_.start(); }
    void stop() { elapsedMs_ = static_cast<double>(clock_.nsecsElapsed()) / 1e6; }
    double elapsedMs() const { return elapsedMs_; }

    /// An operation reports a failure here; the run then counts as failed.
    QString error;
    /// A remark printed beside the figures (the share of lessons placed); one line, short.
    QString note;
    /// korvel-bench --fet: the FET file to import, and where to write it back (every activity
    /// of one hour) for fet-cl; empty for none.
    QString fetFile, fetOut;

private:
    QElapsedTimer clock_;
    double elapsedMs_ = -1;
};

struct Operation {
    const char* name;  ///< for --ops
    const char* title; ///< the table's row label
    bool needsSample;  ///< run in a copy of the generated sample school
    void (*run)(RunContext& ctx);
    /// The sizes and cycles the row is measured on; nullptr for every one asked for.
    bool (*appliesTo)(const sample::SampleOptions& options) = nullptr;
    /// Runs in a copy of the sample school after its automatic placement (made once, untimed).
    bool placedSample = false;
    /// Measured on schools built around a complete timetable, once for each share of the week
    /// asked for (--planted); one-week cycles only.
    bool planted = false;
};

/// The automatic placement of every lesson of the sample in ctx.dir (a placed template).
void placeSample(RunContext& ctx);
/// Each double lesson's second half put beside its first where that is free or a single
/// lesson of its group trades cells with it, as an officer places them; the pairs then side
/// by side, -1 when writing fails.
int joinPairs(tamsel::Dictionary& dict);
/// "Сократить окна" on the school `dict` holds: its figures as a note, or empty with `error`.
QString compactAllNote(tamsel::Dictionary& dict, QString& error);

const std::vector<Operation>& operations();

/// Imports ctx.fetFile into the empty ctx.dir, places every lesson with the repair phase
/// (timed) and writes ctx.fetOut; the note holds, tab-separated: lessons, placed per cent,
/// hard violations, import ms, and a remark when the placement did not reach its end.
void placeFet(RunContext& ctx);

/// Placed lessons that break a rule the placement must keep: a teacher, room or group twice in
/// a cell (a lecture's lessons share teacher and room), a forbidden cell, a lesson without a room.
int hardViolations(tamsel::Dictionary& dict);

} // namespace bench
