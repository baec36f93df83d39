#include "hestor/LodraImport.h"

#include "LodraSteps.h"
#include "tamsel/Dictionary.h"
#include "tamsel/Snapshots.h"
#include "tamsel/WritingLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>

namespace hestor {

using namespace tamsel;
using L = LegacyFileId;
using Status = LodraImportResult::Status;

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

/// Where an old file holds a character that Windows-1251 cannot hold (the old code page's
/// pseudo-graphics): "запись N, поле F: символ «c»"; empty when every text fits. Such a
/// name, once taken, would stop every later export of the timetable.
QString unexportable(const LegacyFile& file, LegacyFileId id) {
    const LegacyLayout& layout = legacyLayout(id);
    for (int r = 0; r < file.count(); ++r)
        for (size_t f = 0; f < layout.fields.size(); ++f) {
            if (layout.fields[f].type != LegacyField::Text) continue;
            const QString text = file.text(r, static_cast<int>(f));
            for (const QChar c : text) {
                QStringEncoder cp1251("windows-1251");
                const QByteArray encoded = cp1251.encode(QStringView(&c, 1)); // encodes when kept
                Q_UNUSED(encoded);
                if (cp1251.hasError())
                    return u("запись %1, поле %2: символ «%3»")
                        .arg(r + 1)
                        .arg(QLatin1String(layout.fields[f].name), QString(c));
            }
        }
    return {};
}

QString captionOf(LodraStage stage) {
    return stage == LodraStage::Reference ? u("Импорт исходных из АРМ \"Lodra\"")
                                          : u("Импорт учебных планов из АРМ \"Lodra\"");
}

/// The data files a stage changes; they are put in place together.
std::vector<FileId> writtenBy(LodraStage stage) {
    if (stage == LodraStage::Plans)
        return {FileId::TrainingCourse, FileId::Schedule, FileId::LsnLink, FileId::LsnLinkComp,
                FileId::RoomList};
    return {FileId::Days,           FileId::LessonBell, FileId::RoomType,    FileId::Room,
            FileId::Speciality,     FileId::Teacher,    FileId::Group,       FileId::Stream,
            FileId::Course,         FileId::Science,    FileId::Restriction, FileId::Schedule,
            FileId::TrainingCourse, FileId::LsnLink,    FileId::LsnLinkComp, FileId::RoomList};
}

const QString ClosingReference = QStringLiteral(
    "    Первый этап импорта завершен.||    Теперь проверьте правильность импортированных данных "
    "и в списке предметов укажите способ разбиения на подгруппы для тех предметов, где это "
    "необходимо. Это нужно сделать для правильного импорта учебного плана подгрупп.||    Затем "
    "импортируйте учебные планы и нагрузку учителей. Во избежание ошибок и потери данных при "
    "последуюшем импорте, сейчас НЕЛЬЗЯ ИЗМЕНЯТЬ списки учителей, учебных групп и названия "
    "предметов. Необходимые изменения следует делать только после успешного завершения операций "
    "импорта.");

const QString ClosingPlans = QStringLiteral(
    "    Завершена автоматическая процедура импорта данных АРМ \"Lodra\". Однако это еще не "
    "означает, что Вы имеете правильный результат !|    Поскольку \"Korvel\" использует более "
    "строгие правила работы с подгруппами, то те \"вольности\" при работе с подгруппами, которые "
    "допускаются в АРМ \"Lodra\", могут привести к неправильному и неполному распределению "
    "нагрузки учителей и к связанному с этим неполному размещению уроков в сетке часов. Как "
    "правило это касается смешанных подгрупп, т.е. случаев, когда в подгруппах проводятся разные "
    "занятия. ||    Теперь самым внимательным образом проверьте и исправьте распределение нагрузки "
    "учителей, а затем составленное расписание.");

} // namespace

std::vector<LegacyFileId> LodraFilesOf(LodraStage stage) {
    if (stage == LodraStage::Plans)
        return {L::TrainingPlan, L::Sciences, L::TeacherLoad, L::Schedule};
    return {L::Lessons, L::RoomTypes, L::Rooms,          L::Specialities, L::Teachers,
            L::Groups,  L::Sciences,  L::TeacherForbids, L::GroupForbids};
}

QString LodraFolderOf(const QString& chosenFile) {
    const int slash = std::max(chosenFile.lastIndexOf(QLatin1Char('\\')),
                               chosenFile.lastIndexOf(QLatin1Char('/')));
    if (slash >= 0) return chosenFile.left(slash + 1);
    if (chosenFile.size() >= 2 && chosenFile[1] == QLatin1Char(':'))
        return chosenFile.left(2) + QLatin1Char('\\');
    return QString();
}

LodraImportResult ImportLodraStage(Dictionary& dict, LodraStage stage) {
    LodraImportResult result;
    const QString caption = captionOf(stage);
    auto refuse = [&](Status status, const QString& why) {
        result.status = status;
        result.reason = why;
        dict.ui().tell(caption, why);
        return result;
    };
    const QString unchanged = u("|Данные школы не изменены.");

    // Every old file is read and checked before anything is written.
    const QString folder = dict.glo.LodraDataDir.trimmed();
    if (folder.isEmpty())
        return refuse(Status::Refused, u("Не указан каталог данных АРМ \"Lodra\".") + unchanged);
    dict.glo.LodraFileNames.clear();
    LegacyData old;
    for (L id : LodraFilesOf(stage)) {
        const QString name = QLatin1String(legacyLayout(id).fileName);
        QString path = QDir(QDir::fromNativeSeparators(folder)).filePath(name);
        // Files copied from DOS may have any case.
        if (!QFileInfo::exists(path)) {
            const QStringList found =
                QDir(QDir::fromNativeSeparators(folder)).entryList({name}, QDir::Files, QDir::Name);
            if (!found.isEmpty())
                path = QDir(QDir::fromNativeSeparators(folder)).filePath(found.first());
        }
        dict.glo.LodraFileNames.emplace_back(name, QDir::toNativeSeparators(path));
        LegacyFile file(id);
        if (!file.load(path))
            return refuse(Status::Refused,
                          u("Файл %1 не читается: %2.|Импорт не выполнен.")
                                  .arg(QDir::toNativeSeparators(path), file.error()) +
                              unchanged);
        const QString where = unexportable(file, id);
        if (!where.isEmpty())
            return refuse(Status::Refused,
                          u("Файл %1, %2: такой символ не может быть записан в кодировке "
                            "Windows-1251.|Импорт не выполнен.")
                                  .arg(QDir::toNativeSeparators(path), where) +
                              unchanged);
        old.emplace(id, std::move(file));
    }

    WritingScope writing(dict);
    if (!writing) {
        result.reason = u("Папка занята другой программой.");
        return result;
    }
    const std::vector<FileId> written = writtenBy(stage);
    for (FileId id : written)
        if (dict.store().file(id).users() > 0)
            return refuse(Status::Refused,
                          u("Файл %1 открыт в другом окне. Закройте остальные окна и повторите "
                            "импорт.")
                                  .arg(QDir::toNativeSeparators(dict.store().diskName(id))) +
                              unchanged);

    // The steps work on a copy of the school's files; the school's own change only at the end.
    QTemporaryDir work;
    if (!work.isValid())
        return refuse(Status::Failed,
                      u("Не удалось создать временную папку: %1.").arg(work.errorString()) +
                          unchanged);
    Long commonTypeCode = 0;
    QString commonTypeName;
    Dictionary::DataSettings values;
    {
        Dictionary copy(work.path());
        for (int i = 0; i < PhysicalFileCount; ++i) {
            const auto id = static_cast<FileId>(i);
            const QString path = dict.store().diskName(id);
            if (!QFileInfo::exists(path)) continue;
            {
                // Through the store's checks, so that a damaged file is named and refused: no
                // import into half a school.
                FileUse use(dict.store(), id);
                if (!use)
                    return refuse(
                        Status::Refused,
                        u("Файл данных %1 не читается.").arg(QDir::toNativeSeparators(path)) +
                            unchanged);
            }
            if (id == FileId::Archive) continue; // the import neither reads nor changes it
            Outcome error;
            const QByteArray bytes = SnapshotDataFile(dict.store(), id, &error);
            QFile target(copy.store().diskName(id));
            if (!error.ok() || !target.open(QIODevice::WriteOnly) ||
                target.write(bytes) != bytes.size() || !target.flush())
                return refuse(Status::Failed, u("Файл данных %1 не удалось скопировать.")
                                                      .arg(QDir::toNativeSeparators(path)) +
                                                  unchanged);
        }
        if (dict.glo.CommonTypeRoomCode) {
            FileUse types(dict.store(), FileId::RoomType, false);
            RoomType k;
            k.SysCode = dict.glo.CommonTypeRoomCode;
            if (types)
                commonTypeName = dict.access<RoomType>(false).fetch(RoomType::CodeKey, k).RoomType;
        }
    }

    {
        Dictionary copy(work.path());
        copy.setUserInterface(dict.ui());
        copy.setProgress(dict.progress());
        copy.glo.WeeksInCycle = dict.glo.WeeksInCycle;
        copy.glo.CommonTypeRoomCode = dict.glo.CommonTypeRoomCode;
        copy.glo.SubGroupSep = dict.glo.SubGroupSep;
        copy.glo.SubGroupId = dict.glo.SubGroupId;
        std::vector<std::unique_ptr<FileUse>> open;
        for (int i = 0; i < PhysicalFileCount; ++i) {
            if (static_cast<FileId>(i) == FileId::Archive) continue;
            open.push_back(std::make_unique<FileUse>(copy.store(), static_cast<FileId>(i)));
            if (!*open.back()) return refuse(Status::Failed, u("Импорт не выполнен.") + unchanged);
        }
        // The copy is the import's own: nobody else reads it, and the files that are put in
        // place are synced then.
        copy.store().beginBatch();
        LodraSteps steps(copy, old);
        const bool ran =
            stage == LodraStage::Reference ? steps.referenceStage() : steps.plansStage();
        copy.store().endBatch();
        result.notTaken = steps.notTaken;
        if (steps.cancelled) return refuse(Status::Cancelled, u("Импорт прерван.") + unchanged);
        if (!ran || steps.failures > 0)
            return refuse(Status::Failed,
                          u("Импорт не выполнен: не все записи удалось записать.") + unchanged);
        if (stage == LodraStage::Reference) {
            RoomType k;
            k.RoomType = commonTypeName;
            commonTypeCode =
                commonTypeName.isEmpty()
                    ? 0
                    : copy.access<RoomType>(false).fetch(RoomType::RoomTypeKey, k).SysCode;
        }
        open.clear();

        std::vector<FileContents> contents;
        for (FileId id : written) {
            Outcome error;
            contents.push_back({id, SnapshotDataFile(copy.store(), id, &error)});
            if (!error.ok()) return refuse(Status::Failed, u("Импорт не выполнен.") + unchanged);
        }
        copy.store().closeAll();
        // The weeks of the cycle and the common room type describe the imported data: they
        // go in with it.
        values = {dict.glo.WeeksInCycle, stage == LodraStage::Reference
                                             ? commonTypeCode
                                             : dict.glo.CommonTypeRoomCode};
        QByteArray settings;
        QString error;
        if (!dict.settingsWithData(values, &settings, &error))
            return refuse(Status::Failed,
                          u("Файл настроек %1 не читается: %2.")
                                  .arg(QDir::toNativeSeparators(dict.settings().path()), error) +
                              unchanged);
        dict.progress().start(u("Запись импортированных данных"));
        const Outcome o = InstallDataFiles(dict.store(), contents, {},
                                           {{dict.settings().path(), settings}});
        dict.progress().setPercent(100);
        dict.progress().finish();
        if (!o.ok()) {
            if (o.msgNo) dict.errors().report(o.msgNo, o.args);
            result.status = Status::Failed;
            result.reason = u("Импортированные данные не удалось записать.");
            return result;
        }
    }
    dict.dataSettingsInstalled(values);
    result.status = Status::Done;
    if (stage == LodraStage::Reference)
        dict.ui().tell(u("Первый этап импорта завершен"), ClosingReference);
    else
        dict.ui().tell(u("Импорт завершен."), ClosingPlans);
    return result;
}

} // namespace hestor
