#pragma once

#include "tamsel/Access.h"
#include "tamsel/ErrorReporter.h"
#include "tamsel/Globals.h"
#include "tamsel/IniFile.h"
#include "tamsel/Ports.h"
#include "tamsel/Procedures.h"
#include "tamsel/Store.h"
#include "tamsel/WindowTable.h"
#include "tamsel/WritingLock.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace tamsel {

/// The data dictionary of one working folder: the globals, the settings file, the error
/// reporter, the ports through which the core talks to a person, and the data files.
/// The program creates one; each test creates its own in a temporary folder.
class Dictionary {
public:
    /// Files and "Korvel.ini" live in `workDir` (the current folder for the program).
    explicit Dictionary(const QString& workDir);
    ~Dictionary();
    Dictionary(const Dictionary&) = delete;
    Dictionary& operator=(const Dictionary&) = delete;

    Globals glo;
    /// Names of the libraries as they were initialised ("init:faldin") and terminated.
    QStringList libraryLog;
    /// The procedures the libraries offer to the frame (filled by their Init entries).
    Procedures procedures;
    /// The open windows by number, for posting events and for `WindowRefreshQueue`.
    WindowTable windows{glo};

    const QString& workDir() const { return workDir_; }
    IniFile& settings() { return *settings_; }
    ErrorReporter& errors() { return errors_; }
    UserInterfacePort& ui() { return *ui_; }
    ProgressPort& progress() { return *progress_; }
    Store& store() { return *store_; }
    /// The folder's lock against a second process writing the timetable (see WritingScope).
    WritingLock& writingLock() { return writingLock_; }
    /// Undo and redo of the officer's hand edits of the timetable (the store's).
    EditHistory& history() { return store_->history(); }

    /// The port for messages and questions (the dictionary's error reporter uses it too).
    void setUserInterface(UserInterfacePort& ui);
    void setProgress(ProgressPort& progress) { progress_ = &progress; }
    /// Makes `ini` the settings object (not owned); nullptr goes back to the own one.
    void setSettings(IniFile* ini);

    /// The stop prompt of the engine and the placement log. "Прервать" ends the program: the
    /// running procedure stops (ProcessingDisabled), abortRequested() turns true and
    /// `onAbort` runs, through which the program closes its frame cleanly (files closed,
    /// settings saved) once the procedure has returned. True when the user chose to abort.
    bool stopPrompt(const QString& text);
    bool abortRequested() const { return abortRequested_; }
    std::function<void()> onAbort;

    /// Reads the settings file and section "Preserved" into the globals.
    bool loadSettings(QString* error = nullptr);
    /// Writes section "Preserved" and saves the settings file.
    bool saveSettings(QString* error = nullptr);

    template <class R> Access<R> access(bool report = true) { return store_->access<R>(report); }

    /// The settings that describe the data files (the weeks of the cycle, the common room
    /// type): a restore or an import installs them together with the data.
    struct DataSettings {
        Short weeksInCycle = 0;
        Long commonTypeRoomCode = 0;
    };
    /// The bytes of the settings file as it is on disk with `values` put in, for the install
    /// of new data; false with `error` set when the file is there but cannot be read.
    bool settingsWithData(const DataSettings& values, QByteArray* bytes, QString* error) const;
    /// After an install: the values go into the globals and the settings in memory, and a
    /// later save knows them as the ones on disk.
    void dataSettingsInstalled(const DataSettings& values);

private:
    bool abortRequested_ = false;
    QString workDir_;
    IniFile ownSettings_;
    IniFile* settings_;
    SilentUserInterface silentUi_;
    SilentProgress silentProgress_;
    UserInterfacePort* ui_;
    ProgressPort* progress_;
    ErrorReporter errors_;
    std::unique_ptr<Store> store_;
    WritingLock writingLock_;
    /// The data settings as the file held them when last read or written here: when the
    /// file holds others at a save, another program installed new data, and its values stay.
    std::optional<QStringList> dataSettingsOnDisk_;
};

/// Library entries: the program hands over its error reporter and settings object; each is
/// taken only when present.
void Init(Dictionary& dict, ErrorReporter* errors, IniFile* settings);
void Kill(Dictionary& dict);

} // namespace tamsel
