#include "tamsel/Ports.h"
#include "tamsel/RecordingPorts.h"

namespace tamsel {

QString progressTitle() { return QString::fromUtf8("Обработка записей"); }

QString progressText(int percent) {
    return QString::number(percent) + QString::fromUtf8("% выполнено");
}

QString withLineBreaks(const QString& text) {
    QString t = text;
    return t.replace(QLatin1Char('|'), QLatin1Char('\n'));
}

void RecordingUserInterface::tell(const QString& caption, const QString& text) {
    shown.append({QStringLiteral("tell"), caption, text});
}

Button RecordingUserInterface::ask(const QString& caption, const QString& text, unsigned,
                                   Button defaultButton) {
    shown.append({QStringLiteral("ask"), caption, text});
    if (!answers.isEmpty()) return answers.takeFirst();
    return otherwise == NoButton ? defaultButton : otherwise;
}

bool RecordingUserInterface::stopPrompt(const QString& text) {
    shown.append({QStringLiteral("stop"), QString(), text});
    return stopAnswers.isEmpty() ? false : stopAnswers.takeFirst();
}

void RecordingUserInterface::setBusy(bool busy) { busyDepth += busy ? 1 : -1; }

QStringList RecordingUserInterface::texts() const {
    QStringList out;
    for (const Shown& s : shown) out << s.text;
    return out;
}

QStringList RecordingUserInterface::questions() const {
    QStringList out;
    for (const Shown& s : shown)
        if (s.kind == QLatin1String("ask")) out << s.text;
    return out;
}

} // namespace tamsel
