#include "tamsel/Dictionary.h"

#include "tamsel/Snapshots.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace tamsel {

namespace {
const QString Preserved = QStringLiteral("Preserved");
const QString WeeksKey = QStringLiteral("GLO:WeeksInCycle");
const QString CommonTypeKey = QStringLiteral("GLO:CommonTypeRoomCode");

QStringList dataSettingsIn(const IniFile& ini) {
    return {ini.value(Preserved, WeeksKey), ini.value(Preserved, CommonTypeKey)};
}
} // namespace

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
    dataSettingsOnDisk_ = dataSettingsIn(*settings_);
    return true;
}

bool Dictionary::saveSettings(QString* error) {
    if (dataSettingsOnDisk_) {
        // Another program that installed new data since (a restore, an import) wrote the
        // values that describe it: putting back ours would pair its data with our settings.
        IniFile disk(settings_->path());
        if (QFileInfo::exists(disk.path()) && disk.load() &&
            dataSettingsIn(disk) != *dataSettingsOnDisk_) {
            glo.WeeksInCycle = static_cast<Short>(
                std::clamp<long long>(disk.number(Preserved, WeeksKey, glo.WeeksInCycle), 0, 20));
            glo.CommonTypeRoomCode =
                static_cast<Long>(disk.number(Preserved, CommonTypeKey, glo.CommonTypeRoomCode));
        }
    }
    glo.save(*settings_);
    if (!settings_->save(error)) return false;
    dataSettingsOnDisk_ = dataSettingsIn(*settings_);
    return true;
}

bool Dictionary::settingsWithData(const DataSettings& values, QByteArray* bytes,
                                  QString* error) const {
    // The file as it is on disk, so that an install never writes this program's other
    // unsaved settings (nor defaults over a file it could not read).
    IniFile disk(settings_->path());
    if (!disk.load(error)) return false;
    disk.setNumber(Preserved, WeeksKey, values.weeksInCycle);
    disk.setNumber(Preserved, CommonTypeKey, values.commonTypeRoomCode);
    *bytes = disk.bytes();
    return true;
}

void Dictionary::dataSettingsInstalled(const DataSettings& values) {
    glo.WeeksInCycle = values.weeksInCycle;
    glo.CommonTypeRoomCode = values.commonTypeRoomCode;
    settings_->setNumber(Preserved, WeeksKey, values.weeksInCycle);
    settings_->setNumber(Preserved, CommonTypeKey, values.commonTypeRoomCode);
    dataSettingsOnDisk_ = dataSettingsIn(*settings_);
}

void Init(Dictionary& dict, ErrorReporter* errors, IniFile* settings) {
    if (errors) dict.setUserInterface(errors->port());
    if (settings) dict.setSettings(settings);
    dict.libraryLog << QStringLiteral("init:tamsel");
}

void Kill(Dictionary& dict) { dict.libraryLog << QStringLiteral("kill:tamsel"); }

} // namespace tamsel
