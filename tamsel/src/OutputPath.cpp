#include "tamsel/OutputPath.h"

#include "tamsel/Dictionary.h"
#include "tamsel/Schema.h"
#include "tamsel/WritingLock.h"

#include <QDir>
#include <QFileInfo>

namespace tamsel {

namespace {

/// The path as the file system resolves it: links followed to the end, "." and ".." gone,
/// the folder canonical even where the file does not exist yet.
QString resolved(const QString& path) {
    QFileInfo fi(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
    for (int hops = 0; fi.isSymLink() && hops < 32; ++hops) fi.setFile(fi.symLinkTarget());
    const QString canonical = fi.canonicalFilePath();
    if (!canonical.isEmpty()) return canonical;
    const QString folder = QFileInfo(fi.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? fi.absoluteFilePath() : QDir(folder).filePath(fi.fileName());
}

bool samePath(const QString& a, const QString& b) {
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return a.compare(b, Qt::CaseInsensitive) == 0;
#else
    return a == b;
#endif
}

} // namespace

QString LinkRefusal(const QString& path, const QString& what) {
    const QFileInfo fi(path);
    if (!fi.isSymLink()) return {};
    return QStringLiteral("%1 «%2» — символическая ссылка на «%3»: запись через неё изменила бы "
                          "файл вне папки. Замените ссылку обычным файлом.")
        .arg(what, QDir::toNativeSeparators(path), QDir::toNativeSeparators(fi.symLinkTarget()));
}

QString OutputPathRefusal(Dictionary& dict, const QString& path) {
    const QString native = QDir::toNativeSeparators(path);
    const QString target = resolved(path);
    const QDir folder(dict.workDir());
    auto refusal = [&](const QString& what) {
        return QStringLiteral("В файл «%1» писать нельзя: это %2. Укажите другой файл.")
            .arg(native, what);
    };
    auto is = [&](const QString& own) { return samePath(target, resolved(own)); };
    for (int i = 0; i < PhysicalFileCount; ++i) {
        const FileDef& def = fileDef(static_cast<FileId>(i));
        const QString what = def.id == FileId::Archive
                                 ? QStringLiteral("архив расписаний школы (%1)").arg(def.name)
                                 : QStringLiteral("файл данных школы %1").arg(def.name);
        Store& store = dict.store();
        for (const QString& own :
             {store.diskName(def.id), folder.absoluteFilePath(def.settingsName + QStringLiteral(".db"))}) {
            if (is(own)) return refusal(what);
            if (is(own + QStringLiteral("-journal")))
                return refusal(QStringLiteral("журнал файла данных школы %1").arg(def.name));
        }
    }
    if (is(dict.settings().path()) ||
        is(folder.absoluteFilePath(QStringLiteral("Korvel.ini"))))
        return refusal(QStringLiteral("файл настроек школы"));
    if (is(folder.absoluteFilePath(WritingLock::fileName())))
        return refusal(QStringLiteral("файл блокировки папки школы"));
    if (QFileInfo(path).isDir()) return refusal(QStringLiteral("папка"));
    return LinkRefusal(path, QStringLiteral("Файл"));
}

} // namespace tamsel
