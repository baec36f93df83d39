// Damaged data files, two writers at once and honest exit codes: every korvel-cli command
// either does its work or says why not, exits non-zero and leaves the folder as it was.

#include "CliSupport.h"

#include "tamsel/Dictionary.h"
#include "tamsel/LegacyFiles.h"
#include "tamsel/Schema.h"
#include "tamsel/WritingLock.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <map>

namespace {

enum class Damage {
    ZeroLength,
    Truncated,
    RandomBytes,
    OtherSchema,
    MissingColumn,
    Folder,
    Locked
};

const char* nameOf(Damage d) {
    switch (d) {
    case Damage::ZeroLength:
        return "ZeroLength";
    case Damage::Truncated:
        return "Truncated";
    case Damage::RandomBytes:
        return "RandomBytes";
    case Damage::OtherSchema:
        return "OtherSchema";
    case Damage::MissingColumn:
        return "MissingColumn";
    case Damage::Folder:
        return "Folder";
    case Damage::Locked:
        return "Locked";
    }
    return "";
}

using Snapshot = std::map<QString, QByteArray>;

/// Every file under `dir` with its bytes; folders as entries without bytes.
Snapshot snapshot(const QString& dir) {
    Snapshot s;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        s[QDir(dir).relativeFilePath(path)] =
            QFileInfo(path).isDir() ? QByteArray("<folder>")
                                    : (f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("?"));
    }
    return s;
}

void copyFolder(const QString& from, const QString& to) {
    QDir().mkpath(to);
    for (const QString& f : QDir(from).entryList(QDir::Files))
        QFile::copy(QDir(from).filePath(f), QDir(to).filePath(f));
}

void sqliteExec(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

/// One small sample school for the whole suite; every case damages a copy of it.
class DamagedFolders : public testing::TestWithParam<std::tuple<int, Damage>> {
public:
    static void SetUpTestSuite() {
        base_ = new QTemporaryDir;
        const QString dir = base_->filePath(QStringLiteral("school"));
        ASSERT_EQ(cliRun("sample --size small --seed 3 %", {dir}).status, cli::Success);
        // The older product's files of the second import stage, sound and empty.
        QDir().mkpath(legacy());
        for (tamsel::LegacyFileId id :
             {tamsel::LegacyFileId::TrainingPlan, tamsel::LegacyFileId::Sciences,
              tamsel::LegacyFileId::TeacherLoad, tamsel::LegacyFileId::Schedule}) {
            QByteArray bytes;
            ASSERT_TRUE(tamsel::WriteLegacyFile(id, {}, &bytes, nullptr));
            QFile f(QDir(legacy()).filePath(QLatin1String(tamsel::legacyLayout(id).fileName)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
    }
    static void TearDownTestSuite() {
        delete base_;
        base_ = nullptr;
    }
    static QString school() { return base_->filePath(QStringLiteral("school")); }
    static QString legacy() { return base_->filePath(QStringLiteral("legacy")); }

private:
    static QTemporaryDir* base_;
};
QTemporaryDir* DamagedFolders::base_ = nullptr;

TEST_P(DamagedFolders, EveryCommandNamesTheFileFailsAndChangesNothing) {
    const auto [fileIndex, damage] = GetParam();
    const auto id = static_cast<tamsel::FileId>(fileIndex);
    QTemporaryDir tmp;
    const QString dir = tmp.filePath(QStringLiteral("school"));
    copyFolder(school(), dir);
    const QString path = tamsel::Dictionary(dir).store().diskName(id);
    const QString name = QFileInfo(path).fileName();

    sqlite3* holder = nullptr; // another program holding the file locked
    QFile f(path);
    switch (damage) {
    case Damage::ZeroLength:
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        break;
    case Damage::Truncated: {
        if (!QFileInfo::exists(path))
            sqliteExec(path, "CREATE TABLE t(x); INSERT INTO t VALUES(1)");
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.resize(f.size() / 2 + 100));
        break;
    }
    case Damage::RandomBytes: {
        QByteArray noise(16384, '\0');
        QRandomGenerator gen(static_cast<quint32>(fileIndex));
        for (char& c : noise)
            c = static_cast<char>(gen.generate() & 0xff);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(noise);
        break;
    }
    case Damage::OtherSchema:
        QFile::remove(path);
        sqliteExec(path, "CREATE TABLE accounts(id INTEGER, owner TEXT); INSERT INTO accounts "
                         "VALUES(1, 'x')");
        break;
    case Damage::MissingColumn: {
        QFile::remove(path);
        const QByteArray sql =
            "CREATE TABLE \"" + tamsel::fileDef(id).name.toUtf8() + "\"(Other INTEGER)";
        sqliteExec(path, sql.constData());
        break;
    }
    case Damage::Folder:
        QFile::remove(path);
        ASSERT_TRUE(QDir().mkpath(path));
        break;
    case Damage::Locked:
        // The store's wait for a lock is what this case would spend its time on.
        qputenv("KORVEL_BUSY_WAIT_MS", "20");
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &holder), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        break;
    }
    f.close();
    const Snapshot before = snapshot(dir);

    const QString pdf = tmp.filePath(QStringLiteral("report.pdf"));
    const QString exportFile = tmp.filePath(QStringLiteral("export.txt"));
    const QString published = tmp.filePath(QStringLiteral("published"));
    const QString fetFile = tmp.filePath(QStringLiteral("school.fet"));
    const QString csvFile = tmp.filePath(QStringLiteral("teachers.csv"));
    {
        QFile csv(csvFile);
        ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
        csv.write(QStringLiteral("Учитель\nНовиков\n").toUtf8());
    }
    const QList<QStringList> commands = {
        {QStringLiteral("info"), dir},
        {QStringLiteral("place"), dir, QStringLiteral("--answer"), QStringLiteral("yes")},
        {QStringLiteral("place"), dir, QStringLiteral("--minimal")},
        {QStringLiteral("check"), dir, QStringLiteral("--pdf"), pdf},
        {QStringLiteral("analyze"), dir, QStringLiteral("--csv"), exportFile},
        {QStringLiteral("report"), QStringLiteral("group"), dir, QStringLiteral("--pdf"), pdf},
        {QStringLiteral("export"), dir, exportFile},
        {QStringLiteral("publish"), QStringLiteral("--formats"), QStringLiteral("html,csv"), dir,
         published},
        {QStringLiteral("archive"), QStringLiteral("save"), dir, QStringLiteral("snapshot")},
        {QStringLiteral("archive"), QStringLiteral("list"), dir},
        {QStringLiteral("compare"), dir, QStringLiteral("--archive"), QStringLiteral("snapshot"),
         QStringLiteral("--csv"), published},
        {QStringLiteral("import"), QStringLiteral("stage2"), dir, legacy()},
        {QStringLiteral("export-fet"), dir, fetFile},
        {QStringLiteral("import-csv"), dir, QStringLiteral("teachers"), csvFile},
        {QStringLiteral("substitute"), dir, QStringLiteral("--date"), QStringLiteral("2026-09-14"),
         QStringLiteral("--teacher"), QStringLiteral("1"), QStringLiteral("--auto"),
         QStringLiteral("--csv"), exportFile},
    };
    for (const QStringList& command : commands) {
        SCOPED_TRACE(command.first().toStdString());
        const CliRun r = korvelCli(command);
        EXPECT_EQ(r.status, cli::Failure) << r.out.toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(name)) << r.err.toStdString();
        EXPECT_TRUE(snapshot(dir) == before) << "the folder was changed";
        EXPECT_FALSE(QFileInfo::exists(pdf));
        EXPECT_FALSE(QFileInfo::exists(exportFile));
        EXPECT_FALSE(QFileInfo::exists(published));
        EXPECT_FALSE(QFileInfo::exists(fetFile));
    }
    if (holder) {
        sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
        qunsetenv("KORVEL_BUSY_WAIT_MS");
    }
}

std::vector<std::tuple<int, Damage>> cases() {
    std::vector<std::tuple<int, Damage>> out;
    for (int i = 0; i < tamsel::PhysicalFileCount; ++i)
        for (Damage d : {Damage::ZeroLength, Damage::Truncated, Damage::RandomBytes,
                         Damage::OtherSchema, Damage::MissingColumn, Damage::Folder})
            out.emplace_back(i, d);
    // A locked file costs the store's waiting time for every command: one file.
    out.emplace_back(static_cast<int>(tamsel::FileId::Schedule), Damage::Locked);
    return out;
}

INSTANTIATE_TEST_SUITE_P(AllFilesAndDamages, DamagedFolders, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<std::tuple<int, Damage>>& info) {
                             return tamsel::fileDef(
                                        static_cast<tamsel::FileId>(std::get<0>(info.param)))
                                        .settingsName.toStdString() +
                                    "_" + nameOf(std::get<1>(info.param));
                         });

// ---------------------------------------------------------------------------------------
// Two writers

QString sampleSchool(QTemporaryDir& tmp, const char* size, const char* weeks) {
    const QString dir = tmp.filePath(QStringLiteral("school"));
    EXPECT_EQ(cliRun("sample --size % --weeks % %",
                     {QString::fromLatin1(size), QString::fromLatin1(weeks), dir})
                  .status,
              cli::Success);
    return dir;
}

void startPlace(QProcess& p, const QString& dir) {
    // A tool turned away waits a fifth of a second for the folder, not three.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KORVEL_LOCK_WAIT_MS"), QStringLiteral("200"));
    p.setProcessEnvironment(env);
    p.setProgram(QStringLiteral(KORVEL_CLI));
    p.setArguments(
        {QStringLiteral("place"), dir, QStringLiteral("--answer"), QStringLiteral("yes")});
    p.start();
}

TEST(TwoWriters, SecondPlacementIsRefusedAndTheTimetableStaysSound) {
    QTemporaryDir tmp;
    const QString dir = sampleSchool(tmp, "large", "4");
    const QString lock = QDir(dir).filePath(tamsel::WritingLock::fileName());
    QProcess first, second;
    startPlace(first, dir);
    ASSERT_TRUE(first.waitForStarted());
    QElapsedTimer clock;
    clock.start();
    while (!QFileInfo::exists(lock) && first.state() == QProcess::Running &&
           clock.elapsed() < 30000)
        QThread::msleep(5);
    ASSERT_TRUE(QFileInfo::exists(lock)) << "the first placement holds the folder";
    startPlace(second, dir);
    ASSERT_TRUE(second.waitForFinished(60000));
    ASSERT_TRUE(first.waitForFinished(120000));
    EXPECT_EQ(first.exitCode(), cli::Success) << first.readAllStandardError().toStdString();
    // The second waits a few seconds for the folder: it is turned away with the folder and the
    // holder named, or it ran after the first had finished; never both at once.
    const QString refusal = QString::fromUtf8(second.readAllStandardError());
    if (second.exitCode() != cli::Success) {
        EXPECT_EQ(second.exitCode(), cli::Failure);
        EXPECT_TRUE(refusal.contains(QDir::toNativeSeparators(dir))) << refusal.toStdString();
        EXPECT_TRUE(refusal.contains(QStringLiteral("сейчас изменяет другая программа")))
            << refusal.toStdString();
        EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(lock)) << "the lock is released at the end";
    expectSoundTimetable(dir, 4);
}

TEST(TwoWriters, TheProgramHoldingTheFolderTurnsTheToolAway) {
    QTemporaryDir tmp;
    const QString dir = sampleSchool(tmp, "small", "1");
    {
        tamsel::Dictionary program(dir);
        tamsel::WritingScope writing(program);
        ASSERT_TRUE(writing.ok());
        QProcess tool;
        startPlace(tool, dir);
        ASSERT_TRUE(tool.waitForFinished(60000));
        EXPECT_EQ(tool.exitCode(), cli::Failure);
        EXPECT_TRUE(QString::fromUtf8(tool.readAllStandardError())
                        .contains(QStringLiteral("сейчас изменяет другая программа")));
    }
    EXPECT_EQ(scalar(dir, "SELECT count(*) FROM p"), 0) << "nothing was placed meanwhile";
}

TEST(TwoWriters, AHolderKilledMidRunNeverBlocks) {
    QTemporaryDir tmp;
    const QString dir = sampleSchool(tmp, "large", "4");
    const QString lock = QDir(dir).filePath(tamsel::WritingLock::fileName());
    QProcess killed;
    startPlace(killed, dir);
    ASSERT_TRUE(killed.waitForStarted());
    // Killed as soon as it holds the folder: its lock file stays behind.
    QElapsedTimer clock;
    clock.start();
    while (QFileInfo(lock).size() == 0 && clock.elapsed() < 60000)
        QThread::msleep(1);
    killed.kill();
    killed.waitForFinished();
    ASSERT_TRUE(QFileInfo::exists(lock)) << "the stale lock of the killed process";

    QProcess next;
    startPlace(next, dir);
    ASSERT_TRUE(next.waitForFinished(120000));
    EXPECT_EQ(next.exitCode(), cli::Success) << next.readAllStandardError().toStdString();
    expectSoundTimetable(dir, 4);
}

// ---------------------------------------------------------------------------------------
// Honest exit codes of place

TEST(HonestPlace, EveryRunThatDidNotDoItsWorkExitsNonZeroAndSaysWhy) {
    QTemporaryDir tmp;
    const QString dir = sampleSchool(tmp, "small", "1");
    const QString schedule = QDir(dir).filePath(QStringLiteral("Schedule.db"));
    auto place = [&](const QStringList& extra = {}) {
        return korvelCli(QStringList{QStringLiteral("place"), dir, QStringLiteral("--answer"),
                                     QStringLiteral("yes")} +
                         extra);
    };
    auto lastLine = [](const CliRun& r) { return r.err.trimmed().split(QLatin1Char('\n')).last(); };

    // A code that names nothing.
    for (const char* opt : {"--teacher", "--group", "--subject"}) {
        const CliRun r = place({QString::fromLatin1(opt), QStringLiteral("999")});
        EXPECT_EQ(r.status, cli::Failure) << opt;
        EXPECT_TRUE(lastLine(r).contains(QStringLiteral("с кодом 999 нет"))) << r.err.toStdString();
    }

    // The timetable cannot be written (a full disk, a file made read-only, a failing drive
    // look alike to the program: the write is refused).
    for (const char* cause : {"database or disk is full", "attempt to write a readonly database"}) {
        const QByteArray trigger =
            QByteArray("CREATE TRIGGER refuse BEFORE UPDATE ON SCHEDULE BEGIN "
                       "SELECT RAISE(ABORT, '") +
            cause + "'); END";
        sqliteExec(schedule, trigger.constData());
        Snapshot before = snapshot(dir);
        before.erase(QStringLiteral("Pivrel.log"));
        const CliRun r = place();
        EXPECT_EQ(r.status, cli::Failure) << cause;
        EXPECT_TRUE(lastLine(r).contains(QStringLiteral("не выполнена"))) << r.err.toStdString();
        EXPECT_FALSE(r.out.contains(QStringLiteral("     Урок размещен")))
            << "no lesson is reported placed that was not written";
        EXPECT_FALSE(r.out.contains(QStringLiteral("     Уроки размещены")));
        Snapshot after = snapshot(dir);
        after.erase(QStringLiteral("Pivrel.log")); // the run's log, emptied by every run
        EXPECT_TRUE(after == before) << "a failed run changes no data file";
        sqliteExec(schedule, "DROP TRIGGER refuse");
    }
    EXPECT_EQ(scalar(dir, "SELECT count(*) FROM p"), 0);

    // And the same school, healthy again, is placed with exit status 0.
    const CliRun ok = place();
    EXPECT_EQ(ok.status, cli::Success) << ok.err.toStdString();
    EXPECT_GT(scalar(dir, "SELECT count(*) FROM p"), 0);
}

TEST(HonestSample, RefusesAFolderWithAnyFileInIt) {
    QTemporaryDir tmp;
    const QString dir = tmp.filePath(QStringLiteral("notes"));
    QDir().mkpath(dir);
    QFile note(QDir(dir).filePath(QStringLiteral("letter.txt")));
    ASSERT_TRUE(note.open(QIODevice::WriteOnly));
    note.write("keep me");
    note.close();
    const CliRun r = korvelCli(
        {QStringLiteral("sample"), QStringLiteral("--size"), QStringLiteral("small"), dir});
    EXPECT_EQ(r.status, cli::Failure);
    EXPECT_TRUE(r.err.contains(QStringLiteral("letter.txt"))) << r.err.toStdString();
    EXPECT_EQ(QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("letter.txt")});
}

} // namespace

namespace {

TEST(HonestPlace, AStopPromptEndsTheCommandNonZero) {
    QTemporaryDir tmp;
    const QString dir = sampleSchool(tmp, "small", "1");
    // Logging on, and a folder where the log file should be.
    ASSERT_TRUE(QDir().mkpath(QDir(dir).filePath(QStringLiteral("Pivrel.log"))));
    tamsel::IniFile ini(QDir(dir).filePath(QStringLiteral("Korvel.ini")));
    ASSERT_TRUE(ini.load());
    ini.setNumber(QStringLiteral("Preserved"), QStringLiteral("Logging"), 1);
    ASSERT_TRUE(ini.save());
    const CliRun r = korvelCli(
        {QStringLiteral("place"), dir, QStringLiteral("--answer"), QStringLiteral("yes")});
    EXPECT_EQ(r.status, cli::Failure);
    EXPECT_EQ(r.err.count(QStringLiteral("Create(Log)")), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.trimmed().endsWith(QStringLiteral("расстановка прервана.")))
        << r.err.toStdString();
    EXPECT_EQ(scalar(dir, "SELECT count(*) FROM p"), 0);
}

} // namespace

namespace {

TEST(HonestSample, SettingsAreThoseOfAFirstStart) {
    QTemporaryDir tmp;
    const QString dir = sampleSchool(tmp, "small", "2");
    const QString fresh = tmp.filePath(QStringLiteral("fresh"));
    QDir().mkpath(fresh);
    {
        // What the program writes on its first start in an empty folder.
        tamsel::Dictionary first(fresh);
        ASSERT_TRUE(first.loadSettings());
        ASSERT_TRUE(first.saveSettings());
    }
    tamsel::IniFile sample(QDir(dir).filePath(QStringLiteral("Korvel.ini")));
    tamsel::IniFile start(QDir(fresh).filePath(QStringLiteral("Korvel.ini")));
    ASSERT_TRUE(sample.load());
    ASSERT_TRUE(start.load());
    const QString preserved = QStringLiteral("Preserved");
    EXPECT_EQ(sample.keys(preserved), start.keys(preserved));
    for (const QString& key : start.keys(preserved)) {
        if (key == QStringLiteral("GLO:WeeksInCycle") ||
            key == QStringLiteral("GLO:CommonTypeRoomCode"))
            continue; // the sample's own
        EXPECT_EQ(sample.value(preserved, key), start.value(preserved, key)) << key.toStdString();
    }
    EXPECT_EQ(sample.value(preserved, QStringLiteral("GLO:NoRestrictionColor")),
              QString::number(0xA0FFA0));
    EXPECT_EQ(sample.value(preserved, QStringLiteral("GLO:LargeSellHeight")), QStringLiteral("44"));
    EXPECT_EQ(sample.value(preserved, QStringLiteral("GLO:WeeksInCycle")), QStringLiteral("2"));
}

} // namespace

namespace {

TEST(ArchiveCommand, SaveSpoilRestoreGivesTheSavedFilesBack) {
    QTemporaryDir tmp;
    const QString dir = sampleSchool(tmp, "small", "2");
    auto cli = [&](QStringList args) {
        return korvelCli(QStringList{QStringLiteral("archive")} + args);
    };
    ASSERT_EQ(cli({QStringLiteral("save"), dir, QStringLiteral("Начало")}).status, cli::Success);
    Snapshot saved = snapshot(dir);
    saved.erase(QStringLiteral("Archive.db"));
    saved.erase(QStringLiteral("Korvel.ini"));
    ASSERT_EQ(cliRun("place % --answer yes", {dir}).status, cli::Success);
    const CliRun list = cli({QStringLiteral("list"), dir});
    EXPECT_EQ(list.status, cli::Success);
    EXPECT_TRUE(list.out.contains(QStringLiteral("Начало")));
    EXPECT_EQ(cli({QStringLiteral("restore"), dir, QStringLiteral("Нет такого")}).status,
              cli::Failure);
    ASSERT_EQ(cli({QStringLiteral("restore"), dir, QStringLiteral("Начало")}).status, cli::Success);
    Snapshot restored = snapshot(dir);
    restored.erase(QStringLiteral("Archive.db"));
    restored.erase(QStringLiteral("Korvel.ini"));
    restored.erase(QStringLiteral("Pivrel.log"));
    EXPECT_TRUE(restored == saved);
    EXPECT_EQ(scalar(dir, "SELECT count(*) FROM p"), 0) << "the placement is gone again";
    EXPECT_EQ(cli({QStringLiteral("delete"), dir, QStringLiteral("Начало")}).status, cli::Success);
    EXPECT_FALSE(cli({QStringLiteral("list"), dir}).out.contains(QStringLiteral("Начало")));
    EXPECT_EQ(cli({QStringLiteral("jump"), dir}).status, cli::BadUsage);
}

} // namespace
