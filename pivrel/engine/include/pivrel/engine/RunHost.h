#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace pivrel {

/// What an automatic placement shows while it runs: its progress list and progress bar, and
/// a chance for the user interface to run between steps (after which the engine reads
/// ProcessingDisabled). The window implements it with its list and bar, the command line
/// tool prints the lines, tests record them.
class RunHost {
public:
    virtual ~RunHost() = default;
    virtual void addLine(const QString& line) = 0;
    virtual void setProgressRange(int maximum) = 0;
    virtual void setProgressValue(int value) = 0;
    /// Called very often (after every admissible cell); implementations throttle the real
    /// work, e.g. run the event loop at most every few milliseconds.
    virtual void yield() = 0;
};

/// Keeps everything a run shows; optionally calls a function at every yield (tests use it to
/// press "Стоп!" at a chosen moment).
class RecordingRunHost : public RunHost {
public:
    void addLine(const QString& line) override { lines << line; }
    void setProgressRange(int maximum) override { range = maximum; }
    void setProgressValue(int value) override {
        this->value = value;
        values << value;
    }
    void yield() override {
        ++yields;
        if (onYield) onYield(yields);
    }

    QStringList lines;
    QList<int> values;
    int range = 0;
    int value = 0;
    int yields = 0;
    std::function<void(int)> onYield;
};

/// Hooks into the windows layer and the frame, which the engine core cannot reach itself.
struct EngineHooks {
    /// The modal queue window of the diagnostics ("Queues" + " в " + message).
    std::function<void(const QString& message)> displayQueues;
    /// Posts a user event (1024, 1025, 1281, 1282) to the frame.
    std::function<void(int eventType)> postToFrame;
};

} // namespace pivrel
