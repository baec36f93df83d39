#include "tamsel/Dictionary.h"

#include "tamsel/Snapshots.h"

#include <QDir>

namespace tamsel {

Dictionary::Dictionary(const QString& workDir)
    : workDir_(QDir(workDir).absolutePath()),
      ownSettings_(QDir(workDir_).filePath(QStringLiteral("Korvel.ini"))),
      settings_(&ownSettings_), ui_(&silentUi_), progress_(&silentProgress_), errors_(silentUi_),
      store_(std::make_unique<Store>(glo, errors_, workDir_)), writingLock_(workDir_) {
    store_->writeGate = [this] { return writingLock_.foreignWriteRefusal(); };
    // A restore that a crash interrupted is finished (or undone) before anything reads; not
    // while another process writes the folder, whose restore may be under way. Only when
    // there are traces of one: a start must not touch the folder of a reader.
    if (InstallPending(workDir_) && writingLock_.acquire(0)) {
        FinishInterruptedInstall(workDir_);
        writingLock_.release();
    }
}

Dictionary::~Dictionary() { store_->closeAll(); }

void Dictionary::setUserInterface(UserInterfacePort& ui) {
    ui_ = &ui;
    errors_.setPort(ui);
}

void Dictionary::setSettings(IniFile* ini) { settings_ = ini ? ini : &ownSettings_; }

bool Dictionary::stopPrompt(const QString& text) {
    if (!ui_->stopPrompt(text)) return false;
    glo.ProcessingDisabled = 1;
    if (!abortRequested_) {
        abortRequested_ = true;
        if (onAbort) onAbort();
    }
    return true;
}

bool Dictionary::loadSettings(QString* error) {
    if (!settings_->load(error)) return false;
    const QStringList adjusted = glo.load(*settings_);
    if (!adjusted.isEmpty())
        ui_->tell(QStringLiteral("Korvel"),
                  QStringLiteral("В файле настроек %1 исправлены недопустимые значения:|")
                          .arg(settings_->path()) +
                      adjusted.join(QLatin1Char('|')));
    store_->refreshPaths();
    return true;
}

bool Dictionary::saveSettings(QString* error) {
    glo.save(*settings_);
    return settings_->save(error);
}

void Init(Dictionary& dict, ErrorReporter* errors, IniFile* settings) {
    if (errors) dict.setUserInterface(errors->port());
    if (settings) dict.setSettings(settings);
    dict.libraryLog << QStringLiteral("init:tamsel");
}

void Kill(Dictionary& dict) { dict.libraryLog << QStringLiteral("kill:tamsel"); }

} // namespace tamsel
