// The school's folder is safe from its own commands: an output never lands on one of the
// school's files, a link in the folder never carries a write outside it, and a placement that
// did not do its work says what stopped it.

#include "CliSupport.h"

#include "tamsel/Dictionary.h"
#include "tamsel/IniFile.h"
#include "tamsel/WritingLock.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <map>

namespace {

/// Every entry under `dir`: links as their target, files as a hash of their bytes.
std::map<QString, QByteArray> hashes(const QString& dir) {
    std::map<QString, QByteArray> s;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        QFile f(path);
        s[QDir(dir).relativeFilePath(path)] =
            info.isSymLink() ? "link to " + info.symLinkTarget().toUtf8()
            : info.isDir()   ? QByteArray("<folder>")
            : f.open(QIODevice::ReadOnly)
                ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex()
                : QByteArray("?");
    }
    return s;
}

QString lastLine(const CliRun& r) {
    return r.err.trimmed().split(QLatin1Char('\n')).last();
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class FolderSafety : public testing::Test {
protected:
    void SetUp() override {
        dir = tmp.filePath(QStringLiteral("school"));
        ASSERT_EQ(korvelCli({u("sample"), u("--size"), u("small"), u("--seed"), u("5"), dir}).status,
                  cli::Success);
    }
    QString in(const char* name) const { return QDir(dir).filePath(QString::fromUtf8(name)); }
    QTemporaryDir tmp;
    QString dir;
};

TEST_F(FolderSafety, NoOutputReplacesOneOfTheSchoolsOwnFiles) {
    // One data file kept elsewhere through its FN: setting; its default name stays the
    // school's too.
    QDir().mkpath(in("data"));
    ASSERT_TRUE(QFile::rename(in("Teacher.db"), in("data/Учителя.db")));
    tamsel::IniFile ini(in("Korvel.ini"));
    ASSERT_TRUE(ini.load());
    ini.setValue(u("Preserved"), u("FN:Teacher"), u("data/Учителя.db"));
    ASSERT_TRUE(ini.save());
    const QString outside = tmp.filePath(u("elsewhere"));
    QDir().mkpath(outside);
    ASSERT_TRUE(QFile::link(in("Schedule.db"), QDir(outside).filePath(u("timetable.pdf"))));

    const std::map<QString, QByteArray> before = hashes(dir);
    const QStringList targets{in("Schedule.db"),
                              in("data/Учителя.db"),
                              in("Teacher.db"),
                              in("Korvel.ini"),
                              in("Korvel.lock"),
                              in("Archive.db"),
                              in("Schedule.db-journal"),
                              in("data/../Room.db"),
                              QDir(outside).filePath(u("timetable.pdf"))};
    for (const QString& target : targets) {
        const CliRun report = korvelCli({u("report"), u("group"), dir, u("--pdf"), target});
        EXPECT_EQ(report.status, cli::Failure) << target.toStdString();
        EXPECT_TRUE(lastLine(report).contains(u("писать нельзя")))
            << report.err.toStdString();
        EXPECT_TRUE(lastLine(report).contains(QFileInfo(target).fileName()))
            << report.err.toStdString();
        EXPECT_TRUE(report.out.isEmpty());
        const CliRun exported = korvelCli({u("export"), dir, target});
        EXPECT_EQ(exported.status, cli::Failure) << target.toStdString();
        EXPECT_TRUE(lastLine(exported).contains(u("писать нельзя")))
            << exported.err.toStdString();
        EXPECT_TRUE(exported.out.isEmpty());
        EXPECT_TRUE(hashes(dir) == before) << "nothing written for " << target.toStdString();
    }
    EXPECT_TRUE(lastLine(korvelCli({u("export"), dir, in("Korvel.ini")}))
                    .contains(u("файл настроек школы")));
    EXPECT_TRUE(lastLine(korvelCli({u("export"), dir, in("data/Учителя.db")}))
                    .contains(u("файл данных школы TEACHER")));

    // An ordinary file beside them is written.
    EXPECT_EQ(korvelCli({u("export"), dir, in("Расписание.txt")}).status, cli::Success);
}

TEST_F(FolderSafety, ALinkInTheFolderNeverCarriesAWriteOutsideIt) {
    const QString outside = tmp.filePath(u("outside"));
    QDir().mkpath(outside);
    auto victim = [&](const char* name, const QByteArray& bytes) {
        const QString path = QDir(outside).filePath(QString::fromUtf8(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    };
    // The placement log: the program's scratch file, taken back as a file of the folder.
    tamsel::IniFile ini(in("Korvel.ini"));
    ASSERT_TRUE(ini.load());
    ini.setNumber(u("Preserved"), u("Logging"), 1);
    ASSERT_TRUE(ini.save());
    const QString log = victim("notes.txt", "the officer's notes\n");
    ASSERT_TRUE(QFile::link(log, in("Pivrel.log")));
    // The export file under its default name: refused, the link left as it is.
    const QString exportTarget = victim("export.txt", "an older export\n");
    ASSERT_TRUE(QFile::link(exportTarget, in("Schedule.txt")));
    const CliRun exported = korvelCli({u("export"), dir});
    EXPECT_EQ(exported.status, cli::Failure);
    EXPECT_TRUE(lastLine(exported).contains(u("символическая ссылка"))) << exported.err.toStdString();
    EXPECT_TRUE(QFileInfo(in("Schedule.txt")).isSymLink());

    const CliRun placed = korvelCli({u("place"), dir, u("--answer"), u("yes")});
    EXPECT_EQ(placed.status, cli::Success) << placed.err.toStdString();
    EXPECT_FALSE(QFileInfo(in("Pivrel.log")).isSymLink());
    EXPECT_GT(QFileInfo(in("Pivrel.log")).size(), 0) << "the log was written in the folder";

    // The settings file: what was read through the link is kept in a file of the folder.
    const QByteArray settingsBytes = bytesOf(in("Korvel.ini"));
    const QString settings = victim("settings.ini", settingsBytes);
    ASSERT_TRUE(QFile::remove(in("Korvel.ini")));
    ASSERT_TRUE(QFile::link(settings, in("Korvel.ini")));
    {
        tamsel::Dictionary program(dir);
        ASSERT_TRUE(program.loadSettings());
        program.glo.WeeksInCycle = 3; // a change the program's end writes
        ASSERT_TRUE(program.saveSettings());
    }
    EXPECT_FALSE(QFileInfo(in("Korvel.ini")).isSymLink());
    tamsel::IniFile kept(in("Korvel.ini"));
    ASSERT_TRUE(kept.load());
    EXPECT_EQ(kept.value(u("Preserved"), u("GLO:WeeksInCycle")), u("3"));
    EXPECT_EQ(kept.value(u("Preserved"), u("Logging")), u("1")) << "what was read is kept";
    EXPECT_EQ(bytesOf(settings), settingsBytes);

    // A data file that is a link to a database elsewhere is not opened at all.
    const QString teachers = QDir(outside).filePath(u("Teacher.db"));
    ASSERT_TRUE(QFile::rename(in("Teacher.db"), teachers));
    ASSERT_TRUE(QFile::link(teachers, in("Teacher.db")));
    const std::map<QString, QByteArray> outsideBefore = hashes(outside);
    const CliRun refused = korvelCli({u("place"), dir, u("--answer"), u("yes")});
    EXPECT_EQ(refused.status, cli::Failure);
    EXPECT_TRUE(refused.err.contains(u("символическая ссылка"))) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains(QDir::toNativeSeparators(in("Teacher.db"))));

    EXPECT_EQ(bytesOf(log), QByteArray("the officer's notes\n"));
    EXPECT_EQ(bytesOf(exportTarget), QByteArray("an older export\n"));
    EXPECT_TRUE(hashes(outside) == outsideBefore) << "nothing changed outside, no journal";
}

TEST_F(FolderSafety, AFailedPlacementNamesWhatStoppedIt) {
    // The folder held by another writer: the tool says that it waits, then why it gave up.
    qputenv("KORVEL_LOCK_WAIT_MS", "200");
    {
        tamsel::Dictionary program(dir);
        tamsel::WritingScope holding(program);
        ASSERT_TRUE(holding.ok());
        const CliRun r = korvelCli({u("place"), dir, u("--answer"), u("yes")});
        EXPECT_EQ(r.status, cli::Failure);
        EXPECT_TRUE(r.err.contains(u("Ожидание"))) << r.err.toStdString();
        EXPECT_TRUE(lastLine(r).contains(u("сейчас изменяет другая программа")))
            << r.err.toStdString();
        EXPECT_FALSE(r.out.contains(u("ЗАКОНЧЕНА")));
    }
    qunsetenv("KORVEL_LOCK_WAIT_MS");

    // A write the file refuses, as a full disk does: the placing phase ends, nothing is written.
    exec(dir, "Schedule.db",
         "CREATE TRIGGER refuse BEFORE UPDATE ON SCHEDULE BEGIN "
         "SELECT RAISE(ABORT, 'database or disk is full'); END");
    const CliRun full = korvelCli({u("place"), dir, u("--answer"), u("yes")});
    EXPECT_EQ(full.status, cli::Failure);
    EXPECT_FALSE(full.out.contains(u("АВТОМАТИЧЕСКАЯ РАССТАНОВКА УРОКОВ ЗАКОНЧЕНА")))
        << full.out.toStdString();
    EXPECT_TRUE(full.out.contains(u("Итог: размещено уроков: 0")));
    // The first message of the run is the cause; the last line repeats it.
    const QString first = full.err.split(QLatin1Char('\n')).first();
    ASSERT_TRUE(first.contains(u("SCHEDULE"))) << full.err.toStdString();
    EXPECT_TRUE(lastLine(full).contains(first.mid(first.indexOf(u(": ")) + 2).chopped(1)))
        << full.err.toStdString();
    EXPECT_FALSE(lastLine(full).contains(u("данные не удалось прочитать")));
    EXPECT_EQ(scalar(dir, "SELECT count(*) FROM p"), 0);
}

} // namespace
