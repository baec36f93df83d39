#pragma once

// What the command-line tests share: running a command in-process, and reading the data
// files with the stock SQLite library, independent of the program's own code.

#include "Command.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTextStream>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace clitest {

struct CliRun {
    int status;
    QString out, err;
};

inline CliRun korvelCli(const QStringList& args) {
    QString out, err;
    QTextStream o(&out), e(&err);
    cli::Console io{o, e};
    const int status = cli::dispatch(args, io);
    o.flush();
    e.flush();
    return {status, out, err};
}

inline QString u(const char* text) {
    return QString::fromUtf8(text);
}

/// Runs the command whose words `line` gives, each "%" standing for the next of `values`
/// (folders and other texts with spaces): `cliRun("place % --answer yes", {dir})`.
inline CliRun cliRun(const char* line, const QStringList& values = {}) {
    QStringList args;
    int next = 0;
    for (const QString& word : u(line).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        args << (word == QLatin1String("%") ? values.value(next++) : word);
    EXPECT_EQ(next, values.size()) << line;
    return korvelCli(args);
}

/// The first column of the first row of `sql`, over Schedule.db with the files it needs attached
/// as rst, lnk, sci, day and bell: the stock SQLite library alone, not the engine's idea of a
/// conflict.
inline int scalar(const QString& dir, const char* sql) {
    sqlite3* db = nullptr;
    const QByteArray sch = QDir(dir).filePath(QStringLiteral("Schedule.db")).toUtf8();
    EXPECT_EQ(sqlite3_open_v2(sch.constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    for (auto [alias, file] : {std::pair{"rst", "Restriction.db"}, std::pair{"lnk", "LsnLink.db"},
                               std::pair{"sci", "Science.db"}, std::pair{"day", "Days.db"},
                               std::pair{"bell", "LessonBell.db"}}) {
        const QByteArray attach =
            "ATTACH '" + QDir(dir).filePath(QString::fromLatin1(file)).toUtf8() + "' AS " + alias;
        EXPECT_EQ(sqlite3_exec(db, attach.constData(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
    }
    // Placed lessons; the lessons of one lecture are one sitting ("one") and may share.
    sqlite3_exec(db,
                 "CREATE TEMP VIEW p AS SELECT s.*, s.rowid AS id, CASE WHEN l.IsLecture = 1 THEN "
                 "-s.LinkCode "
                 "ELSE s.rowid END AS one FROM SCHEDULE s LEFT JOIN lnk.LSNLINK l ON "
                 "l.LinkCode = s.LinkCode AND s.LinkCode > 0 WHERE s.Week <> 0 OR "
                 "s.DaySeqNumber <> 0 OR s.LessonNo <> ''",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    int n = -1;
    if (st && sqlite3_step(st) == SQLITE_ROW) n = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return n;
}

inline int scalar(const QString& dir, const QByteArray& sql) {
    return scalar(dir, sql.constData());
}

/// No teacher, group or room in two sittings at once, no forbidden cell used, every lesson in
/// a cell of the timetable.
inline void expectSoundTimetable(const QString& dir, int weeks) {
    EXPECT_EQ(scalar(dir,
                     "SELECT count(*) FROM (SELECT 1 FROM p WHERE TeacherCode > 0 GROUP BY "
                     "TeacherCode, Week, DaySeqNumber, LessonNo HAVING count(DISTINCT one) > 1)"),
              0)
        << "a teacher in two places at once";
    EXPECT_EQ(scalar(dir, "SELECT count(*) FROM (SELECT 1 FROM p WHERE RoomCode > 0 GROUP BY "
                          "RoomCode, Week, DaySeqNumber, LessonNo HAVING count(DISTINCT one) > 1)"),
              0)
        << "a room holding two lessons at once";
    // Two lessons of a group in one cell: only subgroups of one type, each its own.
    EXPECT_EQ(scalar(dir, "SELECT count(*) FROM p a JOIN p b ON a.GroupCode = b.GroupCode AND "
                          "a.Week = b.Week AND a.DaySeqNumber = b.DaySeqNumber AND a.LessonNo = "
                          "b.LessonNo AND a.id < b.id AND a.one <> b.one JOIN sci.SCIENCE x "
                          "ON x.ScienceCode = a.ScienceCode JOIN sci.SCIENCE y ON y.ScienceCode = "
                          "b.ScienceCode WHERE a.SubGroupNum = 0 OR b.SubGroupNum = 0 OR "
                          "a.SubGroupNum = b.SubGroupNum OR x.SgrpTypCode <> y.SgrpTypCode"),
              0)
        << "a group with two lessons at once";
    EXPECT_EQ(scalar(dir, "SELECT count(*) FROM p JOIN rst.RESTRICTION r ON r.Week = p.Week AND "
                          "r.DaySeqNumber = p.DaySeqNumber AND r.LessonNo = p.LessonNo AND "
                          "r.Restriction NOT IN (0, 1) AND ((r.ObjectType = 1 AND r.ObjectCode = "
                          "p.GroupCode) OR (r.ObjectType = 2 AND r.ObjectCode = p.RoomCode) OR "
                          "(r.ObjectType = 3 AND r.ObjectCode = p.ScienceCode) OR (r.ObjectType = "
                          "4 AND r.ObjectCode = p.TeacherCode))"),
              0)
        << "a forbidden cell used";
    const QByteArray outside =
        "SELECT count(*) FROM p WHERE Week NOT BETWEEN 1 AND " + QByteArray::number(weeks) +
        " OR DaySeqNumber NOT IN (SELECT DaySeqNumber FROM day.DAYS) OR LessonNo NOT IN "
        "(SELECT LessonNo FROM bell.LESSONBELL)";
    EXPECT_EQ(scalar(dir, outside.constData()), 0) << "a lesson outside the timetable's cells";
}

/// The first column of every row of `sql` on one data file, as texts, with the stock library.
inline QStringList texts(const QString& dir, const char* file, const QByteArray& sql) {
    sqlite3* db = nullptr;
    QStringList out;
    const QByteArray path = QDir(dir).filePath(QString::fromLatin1(file)).toUtf8();
    EXPECT_EQ(sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    while (st && sqlite3_step(st) == SQLITE_ROW)
        out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

/// A copy of the school in `from` (its files only) in a new folder `to`.
inline void copySchool(const QString& from, const QString& to) {
    QDir().mkpath(to);
    for (const QString& f : QDir(from).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(QDir(from).filePath(f), QDir(to).filePath(f))) << f.toStdString();
}

/// The last line that a command wrote to standard error.
inline QString lastLine(const QString& text) {
    return text.trimmed().split(QLatin1Char('\n')).last();
}

/// Runs `sql` on one data file with the stock library.
inline void exec(const QString& dir, const char* file, const QByteArray& sql) {
    sqlite3* db = nullptr;
    const QByteArray path = QDir(dir).filePath(QString::fromLatin1(file)).toUtf8();
    ASSERT_EQ(sqlite3_open(path.constData(), &db), SQLITE_OK);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, &message), SQLITE_OK)
        << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

inline void writeText(const QString& path, const char* text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

/// An old school as a school would export it: one CSV table per file, UTF-8, ";" or ",".
inline void oldSchoolCsv(const QString& dir) {
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

} // namespace clitest

using namespace clitest;
