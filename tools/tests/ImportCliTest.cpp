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

void writeText(const QString& path, const char* text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

/// An old school as a school would export it: one CSV table per file, UTF-8, ";" or ",".
void oldSchoolCsv(const QString& dir) {
    QDir().mkpath(dir);
    auto put = [&](const char* name, const char* text) {
        writeText(QDir(dir).filePath(QString::fromLatin1(name)), text);
    };
    put("Lessons.csv", "LESSONNO;BEGINING;ENDING\n1;8:30;9:15\n2;9:25;10:10\n3;10:30;11:15\n4;11:"
                       "25;12:10\n5;12:20;13:05\n");
    put("RoomType.csv", "ROOMTYPE\r\nОбычный\r\nСпортзал\r\n");
    put("Rooms.csv", "ROOMNO,ROOMTYPE\n101,Обычный\n102,Обычный\n103,Обычный\nСЗ,Спортзал\n");
    put("Speclty.csv", "SPECIALITY\nМатематика\nФизкультура\n\"Русский язык\"\n");
    put("Teacher.csv", "TEACHER;SPECIALITY;HOURS;MAINROOMNO;SBSTROOMNO;RESTRICTIONS\n"
                       "Иванова И.И.;Математика;18;101;;0\nПетров П.П.;Физкультура;18;СЗ;;0\n"
                       "Сидорова С.С.;Русский язык;18;102;103;0\n");
    put("Group.csv", "COURSE;LITERAL;STREAM;RESTRICTIONS\n5;А;;0\n5;Б;;0\n6;А;Проф;0\n");
    put("Science.csv", "SCIENCE;MAINROOMTYPE;SBSTROOMTYPE;DOUBLED;PEN\nМатематика;Обычный;;0;0\n"
                       "Физкультура;Спортзал;;1;0\nРусский язык;Обычный;;0;0\n");
    put("L_P.csv", "Science;Course;Stream;Hours\nМатематика;5;;5\nФизкультура;5;;2\nРусский "
                   "язык;5;;4\nМатематика;6;Проф;6\n");
    put("Forbid_G.csv", "Course;Literal;LessonNo;Forbid1;Forbid2;Forbid3;Forbid4;Forbid5;"
                        "Forbid6\n5;А;5;2;2;0;0;1;5\n");
    put("Forbid_T.csv", "Teacher;LessonNo;Forbid1;Forbid2;Forbid3;Forbid4;Forbid5;Forbid6\nПетров "
                        "П.П.;1;2;0;0;0;0;0\n");
    put("Les_plan.csv", "Teacher;Course;Literal;Science;Hours\nИванова "
                        "И.И.;5;А;Математика;5\nИванова И.И.;5;Б;Математика;5\n"
                        "Иванова И.И.;6;А;Математика;6\nПетров П.П.;5;А;Физкультура;2\nПетров "
                        "П.П.;5;Б;Физкультура;2\n"
                        "Сидорова С.С.;5;А;Русский язык;4\nСидорова С.С.;5;Б;Русский язык;4\n");
    put("Schedule.csv",
        "WEEK;DAYNO;LESSONNO;TEACHER;COURSE;LITERAL;ROOMNO;SCIENCE;SUBGROUP;DOUBLED\n"
        "1;1;1;Иванова И.И.;5;А;101;Математика;0;0\n1;1;2;Сидорова С.С.;5;А;102;Русский "
        "язык;0;0\n");
}

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
