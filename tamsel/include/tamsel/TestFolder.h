#pragma once

// Support for tests and tools: a dictionary in a fresh temporary working folder whose
// messages are recorded instead of shown.

#include "tamsel/Dictionary.h"
#include "tamsel/RecordingPorts.h"

#include <QTemporaryDir>

namespace tamsel {

class TestFolder {
public:
    TestFolder() : dict_(dir_.path()) {
        dict_.setUserInterface(ui);
        dict_.setProgress(progress);
    }
    Dictionary& dict() { return dict_; }
    Store& store() { return dict_.store(); }
    Globals& glo() { return dict_.glo; }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

    RecordingUserInterface ui;
    RecordingProgress progress;

private:
    QTemporaryDir dir_;
    Dictionary dict_;
};

} // namespace tamsel
