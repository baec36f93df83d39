// Two programs on one school folder: a restore and a placement started together, an install
// that fails half way and restores killed at different moments. The tool runs as real
// processes; the folder is judged by the independent timetable checker and by comparing its
// data with the states that running the same commands one after the other gives.

#include "CliSupport.h"

#include "../../pivrel/engine/tests/TimetableChecker.h"
#include "tamsel/Dictionary.h"
#include "tamsel/IniFile.h"
#include "tamsel/Schema.h"
#include "tamsel/Snapshots.h"
#include "tamsel/WritingLock.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace {

/// Every data file's rows but the archive's, as the stock library reads them: equal for two
/// folders that hold the same data, whatever their files' page layout.
QString dataOf(const QString& dir) {
    QString out;
    for (int i = 0; i < tamsel::PhysicalFileCount; ++i) {
        const auto id = static_cast<tamsel::FileId>(i);
        if (id == tamsel::FileId::Archive) continue;
        const tamsel::FileDef& def = tamsel::fileDef(id);
        const QString path = QDir(dir).filePath(def.settingsName + QStringLiteral(".db"));
        out += def.name + QLatin1Char('\n');
        if (!QFileInfo::exists(path)) continue;
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr),
                  SQLITE_OK);
        sqlite3_stmt* st = nullptr;
        const QByteArray sql = "SELECT * FROM \"" + def.name.toUtf8() + "\" ORDER BY rowid";
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr), SQLITE_OK)
            << path.toStdString() << ": " << sqlite3_errmsg(db);
        while (st && sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c)
                out += QString::fromUtf8(
                           reinterpret_cast<const char*>(sqlite3_column_text(st, c))) +
                       QLatin1Char('|');
            out += QLatin1Char('\n');
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    return out;
}

QString settingOf(const QString& dir, const char* key) {
    tamsel::IniFile ini(QDir(dir).filePath(QStringLiteral("Korvel.ini")));
    EXPECT_TRUE(ini.load());
    return ini.value(QStringLiteral("Preserved"), QString::fromLatin1(key));
}

/// The independent checker's verdict on the folder's timetable.
::testing::AssertionResult soundTimetable(const QString& dir) {
    tamsel::Dictionary dict(dir);
    if (!dict.loadSettings()) return ::testing::AssertionFailure() << "settings unreadable";
    return enginetest::sound(enginetest::checkTimetable(dict));
}

bool copyFolder(const QString& from, const QString& to) {
    QDir().mkpath(to);
    for (const QString& f : QDir(from).entryList(QDir::Files | QDir::Hidden))
        if (!QFile::copy(QDir(from).filePath(f), QDir(to).filePath(f))) return false;
    return true;
}

void start(QProcess& p, const QStringList& args, const char* lockWaitMs = nullptr) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (lockWaitMs) env.insert(QStringLiteral("KORVEL_LOCK_WAIT_MS"), QString::fromLatin1(lockWaitMs));
    p.setProcessEnvironment(env);
    p.setProgram(QStringLiteral(KORVEL_CLI));
    p.setArguments(args);
    p.start();
}

QStringList restoring(const QString& dir, const char* snapshot) {
    return {QStringLiteral("archive"), QStringLiteral("restore"), dir, QString::fromUtf8(snapshot)};
}

QStringList placing(const QString& dir) {
    return {QStringLiteral("place"), dir, QStringLiteral("--answer"), QStringLiteral("yes")};
}

/// One school in its known states, made once: U unplaced (the folder), S with one group's
/// lessons placed and another common room type (snapshot "часть"), P = U placed, Q = S placed.
/// The folder's archive holds U as "пусто" and S as "часть".
struct Known {
    QTemporaryDir tmp;
    QString school;
    QString u, s, p, q;
    QString commonU, commonS;

    Known() {
        school = tmp.filePath(QStringLiteral("school"));
        EXPECT_EQ(cliRun("sample --size medium --weeks 1 %", {school}).status, cli::Success);
        u = dataOf(school);
        commonU = settingOf(school, "GLO:CommonTypeRoomCode");
        archive("save", "пусто");
        const QString group = QString::number(scalarIn("Group.db", "SELECT min(GroupCode) FROM \"GROUP\""));
        EXPECT_EQ(cliRun("place % --group % --answer yes", {school, group}).status, cli::Success);
        tamsel::IniFile ini(QDir(school).filePath(QStringLiteral("Korvel.ini")));
        EXPECT_TRUE(ini.load());
        commonS = QString::number(scalarIn("RoomType.db", "SELECT max(SysCode) FROM ROOMTYPE"));
        EXPECT_NE(commonS, commonU);
        ini.setValue(QStringLiteral("Preserved"), QStringLiteral("GLO:CommonTypeRoomCode"), commonS);
        EXPECT_TRUE(ini.save());
        s = dataOf(school);
        archive("save", "часть");
        EXPECT_EQ(korvelCli(placing(school)).status, cli::Success);
        q = dataOf(school);
        archive("restore", "пусто");
        EXPECT_EQ(dataOf(school), u);
        EXPECT_EQ(korvelCli(placing(school)).status, cli::Success);
        p = dataOf(school);
        archive("restore", "пусто");
        EXPECT_NE(p, q);
        EXPECT_NE(s, q);
    }
    void archive(const char* verb, const char* name) {
        const CliRun r = korvelCli(
            {QStringLiteral("archive"), QString::fromLatin1(verb), school, QString::fromUtf8(name)});
        EXPECT_EQ(r.status, cli::Success) << r.err.toStdString();
    }
    int scalarIn(const char* file, const char* sql) {
        sqlite3* db = nullptr;
        const QByteArray path = QDir(school).filePath(QString::fromLatin1(file)).toUtf8();
        sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* st = nullptr;
        int n = -1;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
        sqlite3_close(db);
        return n;
    }
    /// A fresh copy of the folder in state U.
    QString copy(const QString& name) {
        const QString dir = tmp.filePath(name);
        EXPECT_TRUE(copyFolder(school, dir));
        return dir;
    }
};

Known& known() {
    static Known* k = new Known;
    return *k;
}

bool waitFor(const QString& path, QProcess& p) {
    QElapsedTimer clock;
    clock.start();
    // waitForFinished, not a sleep: without it the process's end is never noticed, and a file
    // that came and went between two looks would keep the loop to its limit.
    while (!QFileInfo::exists(path) && p.state() != QProcess::NotRunning && clock.elapsed() < 60000)
        if (p.waitForFinished(1)) break;
    return QFileInfo::exists(path);
}

TEST(TwoPrograms, ARestoreStartedDuringAPlacementWaitsOrIsTurnedAwayNeverMixed) {
    Known& k = known();
    const QString dir = k.copy(QStringLiteral("restore-during-place"));
    QProcess place, restore;
    start(place, placing(dir));
    ASSERT_TRUE(waitFor(QDir(dir).filePath(tamsel::WritingLock::fileName()), place))
        << "the placement holds the folder";
    start(restore, restoring(dir, "часть"), "200");
    ASSERT_TRUE(restore.waitForFinished(120000));
    ASSERT_TRUE(place.waitForFinished(120000));
    EXPECT_EQ(place.exitCode(), cli::Success) << place.readAllStandardError().toStdString();
    const QString data = dataOf(dir);
    if (restore.exitCode() == cli::Success) {
        // The placement had ended: the snapshot is what the folder holds, with its settings.
        EXPECT_EQ(data, k.s);
        EXPECT_EQ(settingOf(dir, "GLO:CommonTypeRoomCode"), k.commonS);
    } else {
        EXPECT_EQ(restore.exitCode(), cli::Failure);
        const QString err = QString::fromUtf8(restore.readAllStandardError());
        EXPECT_TRUE(err.contains(u("сейчас изменяет другая программа"))) << err.toStdString();
        EXPECT_TRUE(err.trimmed().endsWith(
            u("данные не восстановлены: папку нельзя занять для записи (см. сообщение выше).")))
            << err.toStdString();
        EXPECT_EQ(data, k.p) << "the placement's result, untouched by the restore";
        EXPECT_EQ(settingOf(dir, "GLO:CommonTypeRoomCode"), k.commonU);
    }
    EXPECT_TRUE(soundTimetable(dir));
}

TEST(TwoPrograms, APlacementStartedDuringARestoreWorksOnTheRestoredData) {
    Known& k = known();
    const QString dir = k.copy(QStringLiteral("place-during-restore"));
    QProcess restore, place;
    start(restore, restoring(dir, "часть"));
    ASSERT_TRUE(waitFor(QDir(dir).filePath(tamsel::WritingLock::fileName()), restore));
    start(place, placing(dir));
    ASSERT_TRUE(restore.waitForFinished(120000));
    ASSERT_TRUE(place.waitForFinished(120000));
    const QString data = dataOf(dir);
    const QString err = QString::fromUtf8(place.readAllStandardError());
    EXPECT_EQ(restore.exitCode(), cli::Success) << restore.readAllStandardError().toStdString();
    // Either the placement waited for the restore and placed the restored school, or it was
    // turned away: never a placement planned on the old files and written into the new ones.
    if (place.exitCode() == cli::Success)
        EXPECT_EQ(data, k.q);
    else
        EXPECT_EQ(data, k.s) << err.toStdString();
    EXPECT_EQ(settingOf(dir, "GLO:CommonTypeRoomCode"), k.commonS);
    EXPECT_TRUE(soundTimetable(dir));
}

TEST(TwoPrograms, ARestoreThatFailsHalfWayExitsOneAndLeavesTheOldData) {
    Known& k = known();
    const QString dir = k.copy(QStringLiteral("failing-restore"));
    // Where the last data file's old copy is to be kept stands a folder: that step fails
    // after seventeen files were put in place.
    ASSERT_TRUE(QDir().mkpath(QDir(dir).filePath(QStringLiteral("TrainingCourse.db.restore-old/x"))));
    QFile ini(QDir(dir).filePath(QStringLiteral("Korvel.ini")));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray settings = ini.readAll();
    ini.close();
    const CliRun r = korvelCli(restoring(dir, "часть"));
    EXPECT_EQ(r.status, cli::Failure);
    EXPECT_TRUE(r.err.contains(QDir::toNativeSeparators(QDir(dir).filePath(QStringLiteral("TrainingCourse.db")))))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.trimmed().endsWith(u("korvel-cli archive: данные не восстановлены.")))
        << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(dataOf(dir), k.u);
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(), settings);
    EXPECT_FALSE(QFileInfo::exists(QDir(dir).filePath(QStringLiteral("Korvel.restore"))));
    EXPECT_TRUE(QDir(dir).entryList({QStringLiteral("*.restore-new")}, QDir::Files).isEmpty());
}

TEST(TwoPrograms, ARestoreKilledAtAnyMomentLeavesDataAndSettingsThatBelongTogether) {
    Known& k = known();
    // Killed when it has started, when it has listed its files, when the marker is written and
    // when the first old file is kept aside; the next program on the folder settles it.
    const QStringList moments{QString(), QStringLiteral("Korvel.install"),
                              QStringLiteral("Korvel.restore"),
                              QStringLiteral("Course.db.restore-old")};
    int n = 0;
    for (const QString& moment : moments) {
        SCOPED_TRACE(moment.toStdString());
        const QString dir = k.copy(QStringLiteral("killed-%1").arg(n++));
        QProcess restore;
        start(restore, restoring(dir, "часть"));
        ASSERT_TRUE(restore.waitForStarted());
        if (!moment.isEmpty()) waitFor(QDir(dir).filePath(moment), restore);
        restore.kill();
        restore.waitForFinished();
        { tamsel::Dictionary next(dir); }
        EXPECT_FALSE(tamsel::InstallPending(dir));
        const QString data = dataOf(dir);
        ASSERT_TRUE(data == k.u || data == k.s) << "a mix of old and new files";
        EXPECT_EQ(settingOf(dir, "GLO:CommonTypeRoomCode"), data == k.s ? k.commonS : k.commonU);
    }
}

TEST(TwoPrograms, AnImportStartedDuringAPlacementWaitsOrIsTurnedAwayNeverMixed) {
    Known& k = known();
    QTemporaryDir old;
    const QString csv = old.filePath(QStringLiteral("csv")), dat = old.filePath(QStringLiteral("dat"));
    oldSchoolCsv(csv);
    ASSERT_EQ(korvelCli({u("legacy-write"), csv, dat}).status, cli::Success);
    const QString dir = k.copy(QStringLiteral("import-during-place"));
    QProcess place, import;
    start(place, placing(dir));
    ASSERT_TRUE(waitFor(QDir(dir).filePath(tamsel::WritingLock::fileName()), place))
        << "the placement holds the folder";
    start(import, {u("import"), u("stage1"), dir, dat}, "200");
    ASSERT_TRUE(import.waitForFinished(120000));
    ASSERT_TRUE(place.waitForFinished(120000));
    EXPECT_EQ(place.exitCode(), cli::Success) << place.readAllStandardError().toStdString();
    if (import.exitCode() == cli::Success) {
        // The placement had ended: the old school's groups, and no lessons of the sample left.
        EXPECT_EQ(scalar(dir, "SELECT count(*) FROM SCHEDULE"), 0);
        QTemporaryDir imported;
        EXPECT_EQ(korvelCli({u("import"), u("stage1"), imported.path(), dat}).status, cli::Success);
        EXPECT_EQ(settingOf(dir, "GLO:WeeksInCycle"), settingOf(imported.path(), "GLO:WeeksInCycle"));
    } else {
        EXPECT_EQ(import.exitCode(), cli::Failure);
        const QString err = QString::fromUtf8(import.readAllStandardError());
        EXPECT_TRUE(err.contains(u("сейчас изменяет другая программа"))) << err.toStdString();
        EXPECT_EQ(dataOf(dir), k.p) << "the placement's result, untouched by the import";
    }
    EXPECT_TRUE(soundTimetable(dir));
}

} // namespace
