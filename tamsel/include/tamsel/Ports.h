#pragma once

#include <QString>
#include <QStringList>

namespace tamsel {

/// Buttons of a message box; combine with | for ask().
enum Button : unsigned {
    NoButton = 0,
    Ok = 1,
    Yes = 2,
    No = 4,
    Cancel = 8,
    Abort = 16,
    Retry = 32,
    Ignore = 64,
};

/// Everything the core would show a person goes through this port. The program implements it
/// with message boxes, the command-line tool on the console, tests with a scripted recorder.
class UserInterfacePort {
public:
    virtual ~UserInterfacePort() = default;
    /// A message with a single OK button. Texts use "|" as the line break.
    virtual void tell(const QString& caption, const QString& text) = 0;
    /// A question; returns the button pressed. `defaultButton` is the preselected one.
    virtual Button ask(const QString& caption, const QString& text, unsigned buttons,
                       Button defaultButton) = 0;
    /// The stop prompt of a batch procedure: true means "abort the procedure".
    virtual bool stopPrompt(const QString& text) = 0;
    /// Busy (wait) cursor on or off; calls nest.
    virtual void setBusy(bool busy) = 0;
    /// A passing remark while the procedure goes on (waiting for another writer). The console
    /// prints it; a window shows the busy cursor instead, so the default does nothing.
    virtual void note(const QString& text) { Q_UNUSED(text); }
};

/// Progress of batch work: a window titled "Обработка записей" showing "N% выполнено".
class ProgressPort {
public:
    virtual ~ProgressPort() = default;
    virtual void start(const QString& caption) = 0;
    /// 0..100; also gives the user interface a chance to run.
    virtual void setPercent(int percent) = 0;
    virtual bool cancelled() = 0;
    virtual void finish() = 0;
};

/// Standard texts of the progress window.
QString progressTitle();                  // "Обработка записей"
QString progressText(int percent);        // "0% выполнено"

/// Replaces the "|" line breaks of the system's texts by real ones.
QString withLineBreaks(const QString& text);

/// Ports that do nothing visible and answer every question with its default.
class SilentUserInterface final : public UserInterfacePort {
public:
    void tell(const QString&, const QString&) override {}
    Button ask(const QString&, const QString&, unsigned, Button defaultButton) override {
        return defaultButton;
    }
    bool stopPrompt(const QString&) override { return false; }
    void setBusy(bool) override {}
};

class SilentProgress final : public ProgressPort {
public:
    void start(const QString&) override {}
    void setPercent(int) override {}
    bool cancelled() override { return false; }
    void finish() override {}
};

} // namespace tamsel
