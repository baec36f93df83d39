#include "hestor/Archive.h"

#include "tamsel/Dictionary.h"
#include "tamsel/Snapshots.h"

#include <QDate>
#include <QDir>
#include <QTime>

namespace hestor {

using namespace tamsel;

namespace {

/// The message of a file that another window holds.
void tellHeld(Dictionary& dict, const ArchivedFile& f) {
    dict.ui().tell(QStringLiteral("Невозможно заменить файл"),
                   QStringLiteral("Файл %1 (%2) используется в других открытых окнах. Закройте все "
                                  "прочие окна и повторите восстановление файлов.")
                       .arg(QString::fromLatin1(f.progressName), QString::fromUtf8(f.title)));
}

void tellOpenError(Dictionary& dict, const Outcome& o, const QString& path) {
    dict.ui().tell(QStringLiteral("Open(DOSFileToBLOB)"),
                   QStringLiteral("Errorcode() = %1|Error() = %2|FN:Dos = %3")
                       .arg(o.fileError)
                       .arg(o.args.errorText, QDir::toNativeSeparators(path)));
}

} // namespace

const std::vector<ArchivedFile>& ArchivedFiles() {
    // The files in the dictionary's archive order, each with its BLOB and its names.
    struct Names {
        QByteArray Archive::*blob;
        const char* progressName;
        const char* title;
    };
    static const Names names[] = {
        {&Archive::CourseFile, "Course", "Список курсов"},
        {&Archive::DaysFile, "Days", "Дни (недели)"},
        {&Archive::GroupFile, "Group", "Список учебных групп"},
        {&Archive::LessonBellFile, "LessonBell", "Расписание звонков (уроков)"},
        {&Archive::LsnLinkFile, "LsnLink", "Одновременные уроки"},
        {&Archive::LsnLinkCompFile, "LsnLinkComp", "Компоненты одновременных уроков"},
        {&Archive::RestrictionFile, "Restriction", "Требования к расписанию"},
        {&Archive::RoomFile, "Room", "Кабинеты"},
        {&Archive::RoomListFile, "RoomList", "Приоритетный список кабинетов"},
        {&Archive::RoomTypeFile, "RoomType", "Типы кабинетов"},
        {&Archive::ScheduleFile, "Schedule", "Расписание уроков"},
        {&Archive::ScienceFile, "Science", "Учебная дисциплина"},
        {&Archive::ScienceCycleFile, "ScienceCycle", "Список циклов"},
        {&Archive::SpecialityFile, "Speciality", "Список специальностей учителей"},
        {&Archive::StreamFile, "Stream", "Список учебных потоков (факультетов)"},
        {&Archive::SubGroupTypeFile, "SubGroup", "Типы подгрупп"},
        {&Archive::TeacherFile, "Teacher", "Список учителей"},
        {&Archive::TrainingCourseFile, "TrainingCourse", "Учебные программы"},
    };
    static_assert(std::size(names) == tamsel::ArchivedFiles.size());
    static const std::vector<ArchivedFile> files = [] {
        std::vector<ArchivedFile> out;
        for (size_t k = 0; k < std::size(names); ++k)
            out.push_back(
                {tamsel::ArchivedFiles[k], names[k].blob, names[k].progressName, names[k].title});
        return out;
    }();
    return files;
}

bool BackupSchedule(Dictionary& dict, Archive& rec, QString* stoppedAt) {
    const QDateTime now = QDateTime::currentDateTime();
    rec.SaveDate = dayNumberOf(now.date());
    // Hundredths too: the date and time are a unique key, and two saves may fall in a second.
    rec.SaveTime = timeOf(now.time().hour(), now.time().minute(), now.time().second()) +
                   now.time().msec() / 10;
    // Two saves may still fall in one hundredth (a fast machine): the later one takes the next
    // free hundredth, or its insert would be refused for a key it did not choose.
    {
        auto archive = dict.access<Archive>(false);
        Archive key;
        key.SaveDate = rec.SaveDate;
        key.SaveTime = rec.SaveTime;
        while (archive.exists(Archive::DateTimeKey, key))
            ++key.SaveTime;
        rec.SaveTime = key.SaveTime;
    }
    rec.WeeksInCycle = dict.glo.WeeksInCycle;
    rec.CommonTypeRoomCode = dict.glo.CommonTypeRoomCode;
    ProgressPort& progress = dict.progress();
    dict.ui().setBusy(true);
    bool ok = true;
    const auto& files = ArchivedFiles();
    for (size_t k = 0; k < files.size() && ok; ++k) {
        const ArchivedFile& f = files[k];
        progress.start(QStringLiteral("Запись в архив файла ") +
                       QString::fromLatin1(f.progressName));
        if (dict.store().file(f.file).users() > 0) {
            tellHeld(dict, f);
            ok = false;
        } else {
            Outcome error;
            rec.*f.blob = SealImage(SnapshotDataFile(dict.store(), f.file, &error));
            if (!error.ok()) {
                tellOpenError(dict, error, dict.store().file(f.file).path());
                ok = false;
            }
        }
        if (!ok && stoppedAt) *stoppedAt = QString::fromUtf8(f.title);
        progress.setPercent(100);
        progress.finish();
    }
    dict.ui().setBusy(false);
    return ok;
}

bool RestoreSchedule(Dictionary& dict, const Archive& rec, bool* declined,
                     const std::function<InstallStep(int)>& installStep) {
    const Button answer = dict.ui().ask(
        QStringLiteral("В Н И М А Н И Е   !"),
        QStringLiteral("При извлечении данных из архива будут потеряны все текущие данные. Хотите "
                       "ли Вы предварительно сохранить текущие данные в архиве?"),
        Yes | No, Yes);
    if (declined) *declined = answer != No;
    if (answer != No) return false;
    WritingScope writing(dict);
    if (!writing) return false;
    // Nothing is changed before every file is known to be free and every snapshot sound.
    std::vector<FileContents> contents;
    for (const ArchivedFile& f : ArchivedFiles()) {
        if (dict.store().file(f.file).users() > 0) {
            tellHeld(dict, f);
            return false;
        }
        QByteArray bytes;
        const bool intact = UnsealImage(rec.*f.blob, &bytes);
        const Outcome check = intact ? CheckSnapshot(f.file, bytes) : Outcome::success();
        if (!intact || !check.ok()) {
            dict.ui().tell(QStringLiteral("Восстановление расписания из архива"),
                           QStringLiteral("Архивная копия файла %1 (%2) повреждена: %3.|Данные "
                                          "не изменены.")
                               .arg(QString::fromLatin1(f.progressName), QString::fromUtf8(f.title),
                                    intact ? check.args.errorText
                                           : QStringLiteral("контрольная сумма не совпадает")));
            return false;
        }
        contents.push_back({f.file, bytes});
    }
    // The snapshot's weeks and common room type describe its data: they go in with it.
    const Dictionary::DataSettings values{rec.WeeksInCycle, rec.CommonTypeRoomCode};
    QByteArray settings;
    QString error;
    if (!dict.settingsWithData(values, &settings, &error)) {
        dict.ui().tell(QStringLiteral("Восстановление расписания из архива"),
                       QStringLiteral("Файл настроек %1 не читается: %2.|Данные не изменены.")
                           .arg(QDir::toNativeSeparators(dict.settings().path()), error));
        return false;
    }
    dict.ui().setBusy(true);
    dict.progress().start(QStringLiteral("Восстановление расписания из архива"));
    const Outcome o = InstallDataFiles(dict.store(), contents, installStep,
                                       {{dict.settings().path(), settings}});
    dict.progress().setPercent(100);
    dict.progress().finish();
    dict.ui().setBusy(false);
    if (!o.ok()) {
        if (o.msgNo) dict.errors().report(o.msgNo, o.args);
        return false;
    }
    dict.dataSettingsInstalled(values);
    return true;
}

} // namespace hestor
