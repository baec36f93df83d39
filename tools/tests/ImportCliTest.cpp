// The older product's data from CSV tables to a placed timetable, with the tool alone: every
// step exits 0 only when it did its work, and a damaged old file changes nothing.

#include "CliSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

namespace {

std::map<QString, QByteArray> folderBytes(const QString& dir) {
    std::map<QString, QByteArray> out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        QFile f(it.next());
        if (f.open(QIODevice::ReadOnly)) out[QFileInfo(f.fileName()).fileName()] = f.readAll();
    }
    return out;
}

} // namespace

TEST(ImportCli, CsvTablesBecomeAnImportedSchoolThatPlacesAutomatically) {
    QTemporaryDir tmp;
    const QString csv = tmp.filePath(QStringLiteral("csv"));
    const QString dat = tmp.filePath(QStringLiteral("dat"));
    const QString school = tmp.filePath(QStringLiteral("school"));
    oldSchoolCsv(csv);
    const CliRun written = korvelCli({u("legacy-write"), csv, dat});
    ASSERT_EQ(written.status, cli::Success) << written.err.toStdString();
    EXPECT_TRUE(written.out.contains(u("Group.dat: записей 3")));
    EXPECT_EQ(QDir(dat).entryList(QDir::Files).size(), 12);

    const CliRun first = korvelCli({u("import"), u("stage1"), u("--weeks"), u("2"), school, dat});
    ASSERT_EQ(first.status, cli::Success) << first.err.toStdString();
    EXPECT_TRUE(first.out.contains(u("Первый этап импорта из")));
    EXPECT_TRUE(first.err.contains(u("Первый этап импорта завершен")));
    const CliRun second = korvelCli({u("import"), u("stage2"), school, dat});
    ASSERT_EQ(second.status, cli::Success) << second.err.toStdString();
    EXPECT_TRUE(second.out.contains(u("не импортировано записей: 0")));

    // 11 + 11 + 6 lessons, two placed from the old timetable; one old forbid row, two weeks.
    EXPECT_EQ(scalar(school, "SELECT count(*) FROM SCHEDULE"), 28);
    EXPECT_EQ(scalar(school, "SELECT count(*) FROM p"), 2);
    EXPECT_EQ(scalar(school, "SELECT count(*) FROM SCHEDULE WHERE TeacherCode = 0"), 0);
    EXPECT_EQ(scalar(school, "SELECT count(*) FROM rst.RESTRICTION"), 24);
    EXPECT_EQ(scalar(school, "SELECT count(*) FROM rst.RESTRICTION WHERE Restriction > 2"), 0);
    EXPECT_EQ(scalar(school, "SELECT count(*) FROM day.DAYS"), 6);

    const CliRun placed = korvelCli({u("place"), school, u("--answer"), u("yes")});
    ASSERT_EQ(placed.status, cli::Success) << placed.err.toStdString();
    EXPECT_TRUE(placed.out.contains(u("осталось нерасставленных: 0.")));
    EXPECT_EQ(scalar(school, "SELECT count(*) FROM p"), 28);
    // No teacher in two lessons at once.
    EXPECT_EQ(scalar(school,
                     "SELECT count(*) FROM p a JOIN p b ON a.id < b.id AND a.TeacherCode = "
                     "b.TeacherCode AND a.Week = b.Week AND a.DaySeqNumber = b.DaySeqNumber AND "
                     "a.LessonNo = b.LessonNo"),
              0);
}

TEST(ImportCli, BadTablesDamagedOldFilesAndWrongFoldersChangeNothing) {
    QTemporaryDir tmp;
    const QString csv = tmp.filePath(QStringLiteral("csv"));
    const QString dat = tmp.filePath(QStringLiteral("dat"));
    const QString school = tmp.filePath(QStringLiteral("school"));
    oldSchoolCsv(csv);

    // A table whose header is not the file's fields, or whose value does not fit.
    writeText(tmp.filePath(QStringLiteral("Group.csv")), "COURSE;LETTER\n5;А\n");
    CliRun r = korvelCli({u("legacy-write"), tmp.filePath(QStringLiteral("Group.csv")),
                          tmp.filePath(QStringLiteral("Group.dat"))});
    EXPECT_EQ(r.status, cli::Failure);
    EXPECT_TRUE(r.err.contains(
        u("первая строка должна называть поля LegacyGroups: COURSE;LITERAL;STREAM;RESTRICTIONS")))
        << r.err.toStdString();
    writeText(tmp.filePath(QStringLiteral("Group.csv")),
              "COURSE;LITERAL;STREAM;RESTRICTIONS\n5;А;;0\n5;Б;Основной;0\n");
    r = korvelCli({u("legacy-write"), tmp.filePath(QStringLiteral("Group.csv")),
                   tmp.filePath(QStringLiteral("Group.dat"))});
    EXPECT_EQ(r.status, cli::Failure);
    EXPECT_TRUE(r.err.contains(u("запись 2, поле STREAM: «Основной» длиннее 5 символов")))
        << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(tmp.filePath(QStringLiteral("Group.dat"))));
    EXPECT_EQ(korvelCli({u("legacy-write"), tmp.filePath(QStringLiteral("Group.csv")),
                         tmp.filePath(QStringLiteral("x.bin"))})
                  .status,
              cli::BadUsage);

    ASSERT_EQ(korvelCli({u("legacy-write"), csv, dat}).status, cli::Success);
    ASSERT_EQ(korvelCli({u("import"), u("stage1"), school, dat}).status, cli::Success);
    const auto before = folderBytes(school);
    {
        QFile f(QDir(dat).filePath(QStringLiteral("Rooms.dat")));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(0);
        f.write("GARBAGE!");
    }
    r = korvelCli({u("import"), u("stage1"), school, dat});
    EXPECT_EQ(r.status, cli::Failure);
    EXPECT_TRUE(r.err.contains(
        u("Rooms.dat не читается: это не файл данных АРМ \"Lodra\" (неверный заголовок)")))
        << r.err.toStdString();
    EXPECT_TRUE(folderBytes(school) == before);

    // The second stage needs a school; a folder with other things in it is none.
    const QString empty = tmp.filePath(QStringLiteral("empty"));
    r = korvelCli({u("import"), u("stage2"), empty, dat});
    EXPECT_EQ(r.status, cli::Failure);
    EXPECT_FALSE(QFileInfo::exists(empty));
    EXPECT_EQ(korvelCli({u("import"), u("stage3"), school, dat}).status, cli::BadUsage);
    EXPECT_EQ(korvelCli({u("import"), u("stage1"), school}).status, cli::BadUsage);
    EXPECT_EQ(
        korvelCli({u("import"), u("stage1"), school, tmp.filePath(QStringLiteral("none"))}).status,
        cli::Failure);
}
