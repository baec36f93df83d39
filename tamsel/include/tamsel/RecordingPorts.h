#pragma once

#include "tamsel/Ports.h"

#include <QList>

namespace tamsel {

/// Test and tool support: keeps every text shown and answers questions from a script.
class RecordingUserInterface final : public UserInterfacePort {
public:
    struct Shown {
        QString kind; // "tell", "ask" or "stop"
        QString caption;
        QString text;
    };

    void tell(const QString& caption, const QString& text) override;
    Button ask(const QString& caption, const QString& text, unsigned buttons,
               Button defaultButton) override;
    bool stopPrompt(const QString& text) override;
    void setBusy(bool busy) override;
    void note(const QString& text) override { notes << text; }

    /// Answers for the coming questions, in order; when empty `otherwise` is taken.
    QList<Button> answers;
    /// The answer once `answers` has run out; NoButton takes each question's default button.
    /// `ui.otherwise = No` refuses every question of a test in one line.
    Button otherwise = NoButton;
    /// Answers for coming stop prompts (true = abort); when empty the prompt continues.
    QList<bool> stopAnswers;
    QList<Shown> shown;
    int busyDepth = 0;
    QStringList notes; ///< passing remarks, apart from the messages

    QStringList texts() const;
    /// The texts of the questions asked, in order.
    QStringList questions() const;
    QString last() const { return shown.isEmpty() ? QString() : shown.last().text; }
    void clear() { shown.clear(); }
};

class RecordingProgress final : public ProgressPort {
public:
    void start(const QString& caption) override { captions << caption; lastPercent = 0; }
    void setPercent(int percent) override { lastPercent = percent; ++updates; }
    bool cancelled() override { return cancelAfter >= 0 && updates >= cancelAfter; }
    void finish() override { ++finished; }

    QStringList captions;
    int lastPercent = 0;
    int updates = 0;
    int finished = 0;
    int cancelAfter = -1; ///< cancel once this many updates were seen; -1 never
};

} // namespace tamsel
