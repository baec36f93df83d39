#include "DataFiles.h"

#include "tamsel/Dictionary.h"
#include "tamsel/OutputPath.h"

#include <QDir>
#include <QFileInfo>

namespace cli {

bool isSchoolFolder(QTextStream& err, const char* command, const QString& dir) {
    if (QFileInfo(dir).isDir() &&
        QFileInfo::exists(QDir(dir).filePath(QStringLiteral("Korvel.ini"))))
        return true;
    err << QStringLiteral("korvel-cli %1: в папке «%2» нет данных Korvel (Korvel.ini).\n")
               .arg(QLatin1String(command), dir);
    return false;
}

bool loadSchoolSettings(QTextStream& err, const char* command, tamsel::Dictionary& dict) {
    QString error;
    if (dict.loadSettings(&error)) return true;
    err << QStringLiteral("korvel-cli %1: файл настроек не читается: %2\n")
               .arg(QLatin1String(command), error);
    return false;
}

bool openExistingDataFiles(tamsel::Dictionary& dict,
                           std::vector<std::unique_ptr<tamsel::FileUse>>& uses, QString* failed) {
    dict.store().checkAllAhead();
    for (int i = 0; i < tamsel::PhysicalFileCount; ++i) {
        const auto id = static_cast<tamsel::FileId>(i);
        const QString path = dict.store().diskName(id);
        if (!QFileInfo::exists(path)) continue;
        auto use = std::make_unique<tamsel::FileUse>(dict.store(), id);
        if (!*use) {
            if (failed) *failed = QDir::toNativeSeparators(path);
            return false;
        }
        uses.push_back(std::move(use));
    }
    return true;
}

std::unique_ptr<ReadingSchool> openForReading(QTextStream& err, const char* command,
                                              const QString& dir, const QString& failed) {
    if (!isSchoolFolder(err, command, dir)) return nullptr;
    auto school = std::make_unique<ReadingSchool>(err, dir);
    if (!loadSchoolSettings(err, command, school->dict)) return nullptr;
    QString damaged;
    if (!openExistingDataFiles(school->dict, school->files, &damaged)) {
        const QString what = failed.isEmpty() ? QString() : failed + QStringLiteral(": ");
        err << QStringLiteral("korvel-cli %1: %2файл данных «%3» не читается.\n")
                   .arg(QLatin1String(command), what, damaged);
        return nullptr;
    }
    return school;
}

QString outputPath(QTextStream& err, const char* command, tamsel::Dictionary& dict,
                   const QString& given) {
    const QString path = QFileInfo(given).absoluteFilePath();
    if (const QString refused = tamsel::OutputPathRefusal(dict, path); !refused.isEmpty()) {
        err << QStringLiteral("korvel-cli %1: ").arg(QString::fromUtf8(command)) << refused << '\n';
        return {};
    }
    return path;
}

} // namespace cli
