#include "../../testsupport/TestApplication.h"
#include "hestor/Archive.h"
#include "hestor/windows/ArcSched.h"

#include "SampleSchool.h"
#include "tamsel/IniFile.h"
#include "tamsel/Relations.h"
#include "tamsel/Snapshots.h"
#include "tamsel/TestFolder.h"

#include <QApplication>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <gtest/gtest.h>
#include <map>

using namespace tamsel;
using namespace hestor;

namespace {

QString u(const char* s) {
    return QString::fromUtf8(s);
}

using testsupport::app;

/// Digest of every data file of the folder but the archive itself.
std::map<QString, QByteArray> digests(const QString& dir) {
    std::map<QString, QByteArray> out;
    for (const QString& f : QDir(dir).entryList({QStringLiteral("*.db")}, QDir::Files)) {
        if (f == QStringLiteral("Archive.db")) continue;
        QFile file(QDir(dir).filePath(f));
        file.open(QIODevice::ReadOnly);
        out[f] = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
    }
    return out;
}

/// A small sample school, generated once per cycle length and copied into `t`.
void smallSchool(TestFolder& t, int weeks) {
    static std::map<int, std::unique_ptr<TestFolder>> made;
    auto& original = made[weeks];
    if (!original) {
        original = std::make_unique<TestFolder>();
        sample::SampleOptions o;
        o.size = sample::SchoolSize::Small;
        o.weeks = weeks;
        QString error;
        ASSERT_TRUE(sample::GenerateSampleSchool(original->dict(), o, nullptr, &error))
            << error.toStdString();
        original->store().closeAll();
    }
    for (const QString& f : QDir(original->path()).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(QDir(original->path()).filePath(f), t.file(f)));
    ASSERT_TRUE(t.dict().loadSettings());
}

/// Spoils the data: every lesson in week 1, day 1, lesson 1 and one teacher renamed.
void spoil(TestFolder& t) {
    FileUse s(t.store(), FileId::Schedule), tch(t.store(), FileId::Teacher);
    auto sch = t.dict().access<Schedule>();
    for (Schedule x : sch.all(Schedule::ItemCode)) {
        x.Week = 1;
        x.DaySeqNumber = 1;
        x.LessonNo = u("1");
        ASSERT_TRUE(sch.update(x).ok());
    }
    Teacher first = t.dict().access<Teacher>().all(Teacher::TeacherCodeKey).front();
    first.TeacherName = u("Испорченный");
    ASSERT_TRUE(t.dict().access<Teacher>().update(first).ok());
}

} // namespace

TEST(Archive, SavedSpoiledAndRestoredGivesExactlyTheSavedFiles) {
    TestFolder t;
    smallSchool(t, 2);
    t.glo().CommonTypeRoomCode = 3; // saved with the files, as the cycle's length is
    const auto saved = digests(t.path());
    Archive rec;
    ASSERT_TRUE(BackupSchedule(t.dict(), rec));
    EXPECT_EQ(rec.WeeksInCycle, 2);
    EXPECT_EQ(rec.CommonTypeRoomCode, 3);
    EXPECT_EQ(rec.SaveDate, dayNumberOf(QDate::currentDate()));
    EXPECT_FALSE(rec.ScheduleFile.isEmpty());
    spoil(t);
    t.store().closeAll();
    t.glo().WeeksInCycle = 5;
    t.glo().CommonTypeRoomCode = 4;
    ASSERT_NE(digests(t.path()), saved);

    // "Да" (save the current data first) leaves everything as it is.
    t.ui.answers = {Yes};
    EXPECT_FALSE(RestoreSchedule(t.dict(), rec));
    EXPECT_EQ(t.ui.shown.last().caption, u("В Н И М А Н И Е   !"));
    EXPECT_NE(digests(t.path()), saved);
    EXPECT_EQ(t.glo().WeeksInCycle, 5);

    t.ui.answers = {No};
    ASSERT_TRUE(RestoreSchedule(t.dict(), rec));
    EXPECT_EQ(digests(t.path()), saved);
    EXPECT_EQ(t.glo().WeeksInCycle, 2);
    EXPECT_EQ(t.glo().CommonTypeRoomCode, 3);
    EXPECT_FALSE(QFileInfo::exists(t.file(u("Korvel.restore"))));
    // The data opens and reads as before.
    FileUse use(t.store(), FileId::Teacher);
    EXPECT_NE(t.dict().access<Teacher>().all(Teacher::TeacherCodeKey).front().TeacherName,
              u("Испорченный"));
}

TEST(Archive, TwoSavesInOneHundredthAreBothStored) {
    TestFolder t;
    smallSchool(t, 1);
    // Every hundredth of the next three seconds is already taken, as if saved a moment ago.
    const QDateTime now = QDateTime::currentDateTime();
    const Long today = dayNumberOf(now.date());
    const Long from = timeOf(now.time().hour(), now.time().minute(), now.time().second());
    Relations rel(t.dict());
    ASSERT_TRUE(rel.open(FileId::Archive));
    for (Long k = 0; k < 300; ++k) {
        Archive taken;
        taken.SaveDate = today;
        taken.SaveTime = from + k;
        taken.WeeksInCycle = 1;
        taken.BriefDescription = QStringLiteral("Занято %1").arg(k);
        ASSERT_TRUE(rel.insert(taken).ok());
    }
    Archive rec;
    ASSERT_TRUE(BackupSchedule(t.dict(), rec));
    rec.BriefDescription = u("Новый");
    ASSERT_TRUE(rel.insert(rec).ok()) << "the key of the new save collides with a stored one";
    EXPECT_GE(rec.SaveTime, from + 300);
}

TEST(Archive, AHeldFileStopsTheBackupAndADamagedSnapshotChangesNothing) {
    TestFolder t;
    smallSchool(t, 1);
    {
        FileUse held(t.store(), FileId::Group); // another window has the group list open
        Archive rec;
        QString stoppedAt;
        EXPECT_FALSE(BackupSchedule(t.dict(), rec, &stoppedAt));
        EXPECT_EQ(stoppedAt, u("Список учебных групп"));
        EXPECT_EQ(t.ui.shown.last().caption, u("Невозможно заменить файл"));
        EXPECT_EQ(t.ui.last(),
                  u("Файл Group (Список учебных групп) используется в других открытых "
                    "окнах. Закройте все прочие окна и повторите восстановление файлов."));
        EXPECT_TRUE(rec.TeacherFile.isEmpty()) << "files after the held one are not copied";
    }
    Archive rec;
    ASSERT_TRUE(BackupSchedule(t.dict(), rec));
    const auto before = digests(t.path());
    Archive damaged = rec;
    damaged.TeacherFile = damaged.TeacherFile.left(damaged.TeacherFile.size() / 2);
    damaged.TeacherFile.append(QByteArray(100, '\x5a'));
    t.ui.answers = {No};
    EXPECT_FALSE(RestoreSchedule(t.dict(), damaged));
    EXPECT_TRUE(t.ui.last().contains(u("Teacher (Список учителей) повреждена")))
        << t.ui.last().toStdString();
    EXPECT_EQ(digests(t.path()), before);
}

/// The cycle's weeks as the settings file on disk holds them.
long long weeksOnDisk(const QString& dir) {
    IniFile ini(QDir(dir).filePath(QStringLiteral("Korvel.ini")));
    EXPECT_TRUE(ini.load());
    return ini.number(QStringLiteral("Preserved"), QStringLiteral("GLO:WeeksInCycle"), -1);
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

/// A one-week school saved, then a spoiled copy of it with three weeks in its settings and a
/// journal left beside its teachers: what a restore replaces.
struct RestoreCase {
    TestFolder original;
    Archive rec;
    std::map<QString, QByteArray> newData;

    RestoreCase() {
        smallSchool(original, 1);
        EXPECT_TRUE(BackupSchedule(original.dict(), rec));
        newData = digests(original.path());
    }
    void prepare(TestFolder& t) {
        // Nothing waits for the disk here (no power is cut): the steps are what is tested.
        t.store().beginBatch();
        smallSchool(t, 1);
        spoil(t);
        t.store().closeAll();
        t.glo().WeeksInCycle = 3;
        ASSERT_TRUE(t.dict().saveSettings());
        QFile journal(t.file(u("Teacher.db-journal")));
        ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
        journal.write(QByteArray(700, '\x17'));
    }
};

TEST(Archive, ARestoreInterruptedAtAnyStepEndsOldOrNewWithItsSettingsAtTheNextStart) {
    RestoreCase c;
    // The list, a first and a middle new file, the settings, the marker, the first, a middle
    // and the last replacement (the settings).
    for (int stopAt : {1, 2, 10, 20, 21, 22, 30, 40, 1000}) {
        SCOPED_TRACE(stopAt);
        TestFolder t;
        c.prepare(t);
        const auto oldData = digests(t.path());
        const QByteArray journal = bytesOf(t.file(u("Teacher.db-journal")));
        bool stopped = false;
        t.ui.answers = {No};
        RestoreSchedule(t.dict(), c.rec, nullptr, [&](int step) {
            if (step == stopAt) stopped = true;
            return step < stopAt ? InstallStep::Go : InstallStep::Crash;
        });
        { Dictionary next(t.path()); } // the next start finishes or undoes it
        const auto after = digests(t.path());
        ASSERT_TRUE(after == oldData || after == c.newData);
        EXPECT_FALSE(InstallPending(t.path()));
        // The settings that describe the data are the ones that came with it.
        EXPECT_EQ(weeksOnDisk(t.path()), after == c.newData ? 1 : 3);
        // A journal left beside the old file stays with it, and never meets the new one.
        EXPECT_EQ(bytesOf(t.file(u("Teacher.db-journal"))),
                  after == oldData ? journal : QByteArray());
        if (!stopped) {
            EXPECT_TRUE(after == c.newData);
        }
    }
}

TEST(Archive, AnInstallStepThatFailsPutsEveryOldFileBackAndNamesTheFile) {
    RestoreCase c;
    for (int failAt : {1, 2, 20, 21, 22, 30, 40}) {
        SCOPED_TRACE(failAt);
        TestFolder t;
        c.prepare(t);
        const auto oldData = digests(t.path());
        const QByteArray settings = bytesOf(t.file(u("Korvel.ini")));
        const QByteArray journal = bytesOf(t.file(u("Teacher.db-journal")));
        t.ui.answers = {No};
        EXPECT_FALSE(RestoreSchedule(t.dict(), c.rec, nullptr, [&](int step) {
            return step == failAt ? InstallStep::Fail : InstallStep::Go;
        }));
        EXPECT_TRUE(t.ui.last().contains(QDir::toNativeSeparators(t.path())))
            << "the file is named: " << t.ui.last().toStdString();
        EXPECT_EQ(digests(t.path()), oldData);
        EXPECT_EQ(bytesOf(t.file(u("Korvel.ini"))), settings);
        EXPECT_EQ(bytesOf(t.file(u("Teacher.db-journal"))), journal);
        EXPECT_EQ(t.glo().WeeksInCycle, 3);
        EXPECT_FALSE(InstallPending(t.path())) << "nothing is left beside the files";
    }
    // Without a fault the stale journal goes with the old file.
    TestFolder t;
    c.prepare(t);
    t.ui.answers = {No};
    ASSERT_TRUE(RestoreSchedule(t.dict(), c.rec));
    EXPECT_EQ(digests(t.path()), c.newData);
    EXPECT_FALSE(QFileInfo::exists(t.file(u("Teacher.db-journal"))));
    EXPECT_EQ(weeksOnDisk(t.path()), 1);
    FileUse use(t.store(), FileId::Teacher);
    EXPECT_TRUE(use.ok());
}

TEST(Archive, ACopyOfAFolderLeftMidInstallFinishesInTheCopyOnly) {
    RestoreCase c;
    TestFolder t;
    c.prepare(t);
    const auto oldData = digests(t.path());
    t.ui.answers = {No};
    // Cut short right after the marker: the new data is to win, in this folder.
    RestoreSchedule(t.dict(), c.rec, nullptr, [](int step) {
        return step < 22 ? InstallStep::Go : InstallStep::Crash;
    });
    ASSERT_TRUE(QFileInfo::exists(t.file(u("Korvel.restore"))));
    TestFolder copy;
    for (const QString& f : QDir(t.path()).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(t.file(f), copy.file(f)));
    { Dictionary next(copy.path()); }
    EXPECT_EQ(digests(copy.path()), c.newData);
    EXPECT_EQ(digests(t.path()), oldData) << "the copy reached back into the original";
    { Dictionary next(t.path()); }
    EXPECT_EQ(digests(t.path()), c.newData);
}

TEST(Archive, AFlippedBitIsFoundBeforeAnythingChangesAndOldSnapshotsStillRestore) {
    RestoreCase c;
    TestFolder t;
    c.prepare(t);
    const auto oldData = digests(t.path());
    // One bit of a teacher's name: the file's structure is as sound as before.
    Archive flipped = c.rec;
    QByteArray name;
    {
        FileUse use(c.original.store(), FileId::Teacher);
        const auto teachers = c.original.dict().access<Teacher>().all(Teacher::TeacherCodeKey);
        ASSERT_FALSE(teachers.empty());
        name = teachers.front().TeacherName.toUtf8();
    }
    const qsizetype at = flipped.TeacherFile.indexOf(name);
    ASSERT_GE(at, 0);
    flipped.TeacherFile[at] = static_cast<char>(flipped.TeacherFile[at] ^ 0x01);
    t.ui.answers = {No};
    EXPECT_FALSE(RestoreSchedule(t.dict(), flipped));
    EXPECT_EQ(t.ui.last(), u("Архивная копия файла Teacher (Список учителей) повреждена: "
                             "контрольная сумма не совпадает.|Данные не изменены."));
    EXPECT_EQ(digests(t.path()), oldData);

    // A snapshot archived before checksums: the bare images.
    Archive older = c.rec;
    for (const hestor::ArchivedFile& f : hestor::ArchivedFiles())
        ASSERT_TRUE(UnsealImage(c.rec.*f.blob, &(older.*f.blob)));
    ASSERT_NE(older.TeacherFile, c.rec.TeacherFile);
    t.ui.answers = {No};
    ASSERT_TRUE(RestoreSchedule(t.dict(), older));
    EXPECT_EQ(digests(t.path()), c.newData);
}

TEST(Archive, AProgramWithFilesOpenWritesIntoWhatARestorePutInPlaceAndKeepsItsSettings) {
    RestoreCase c;
    TestFolder t;
    c.prepare(t);
    // Another program on the folder: its settings read and the teachers open in a window.
    Dictionary other(t.path());
    ASSERT_TRUE(other.loadSettings());
    ASSERT_EQ(other.glo.WeeksInCycle, 3);
    FileUse open(other.store(), FileId::Teacher);
    ASSERT_TRUE(open.ok());
    auto teachers = other.access<Teacher>();

    t.ui.answers = {No};
    ASSERT_TRUE(RestoreSchedule(t.dict(), c.rec));
    t.store().closeAll();

    {
        WritingScope writing(other);
        ASSERT_TRUE(writing.ok());
        Teacher added = teachers.prime();
        added.TeacherCode = 999;
        added.TeacherName = u("Записан после восстановления");
        ASSERT_TRUE(teachers.insert(added).ok());
    }
    // In the folder's file, next to the restored teachers.
    {
        FileUse use(t.store(), FileId::Teacher);
        Teacher k;
        k.TeacherCode = 999;
        bool found = false;
        t.dict().access<Teacher>().fetch(Teacher::TeacherCodeKey, k, &found);
        EXPECT_TRUE(found) << "the write went into the file the restore replaced";
        EXPECT_NE(t.dict().access<Teacher>().all(Teacher::TeacherCodeKey).front().TeacherName,
                  u("Испорченный"));
    }
    // Its settings saved at its end keep the weeks that came with the restored data.
    ASSERT_TRUE(other.saveSettings());
    EXPECT_EQ(weeksOnDisk(t.path()), 1);
    EXPECT_EQ(other.glo.WeeksInCycle, 1);
}

TEST(Archive, TheWindowListsSavesAndRestores) {
    app();
    TestFolder t;
    smallSchool(t, 2);
    const auto saved = digests(t.path());
    ArcSched w(t.dict());
    w.show();
    EXPECT_FALSE(w.restoreButton()->isEnabled());
    ASSERT_TRUE(w.saveSnapshot(false, [](QString& brief, QString& full) {
        brief = u("Перед расстановкой");
        full = u("Данные до первой расстановки");
        return true;
    }));
    RecordList* list = w.snapshots();
    ASSERT_EQ(list->model()->rowCount(), 1);
    EXPECT_EQ(list->model()->index(0, 2).data().toString(), u("2"));
    EXPECT_EQ(list->model()->index(0, 3).data().toString(), u("Перед расстановкой"));
    EXPECT_EQ(list->model()->index(0, 0).data().toString(),
              QDate::currentDate().toString(u("dd.MM.yyyy")));
    EXPECT_EQ(w.descriptionText(), u("Данные до первой расстановки"));
    EXPECT_TRUE(w.restoreButton()->isEnabled());
    ASSERT_TRUE(w.saveSnapshot(false, [](QString& brief, QString&) {
        brief = u("Б второй");
        return true;
    }));
    w.byDescription()->setChecked(true);
    EXPECT_EQ(list->model()->index(0, 3).data().toString(), u("Б второй"));

    // A held file: nothing is stored.
    {
        FileUse held(t.store(), FileId::Teacher);
        EXPECT_FALSE(w.saveSnapshot(false, [](QString& brief, QString&) {
            brief = u("Неполный");
            return true;
        }));
        EXPECT_TRUE(t.ui.last().contains(u("остановилось на файле «Список учителей»")));
        EXPECT_EQ(list->model()->rowCount(), 2);
    }
    spoil(t);
    t.store().closeAll();
    ASSERT_TRUE(list->goTo(list->model()->row(1).rowId)); // "Перед расстановкой"
    t.ui.answers = {No};
    w.restoreSnapshot();
    EXPECT_EQ(digests(t.path()), saved);
    EXPECT_TRUE(t.ui.texts().contains(
        u("Данные извлечены из архива: «Перед расстановкой». Прежние текущие данные заменены.")));
}
