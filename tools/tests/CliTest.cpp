#include "CliSupport.h"

#include "tamsel/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <map>
#include <gtest/gtest.h>
#include <sqlite3.h>

TEST(Cli, HelpForTheToolAndEveryCommand) {
    const CliRun general = korvelCli({QStringLiteral("--help")});
    EXPECT_EQ(general.status, cli::Success);
    for (const cli::Command& c : cli::commands()) {
        EXPECT_TRUE(general.out.contains(QLatin1String(c.name))) << c.name;
        const CliRun help = korvelCli({QLatin1String(c.name), QStringLiteral("--help")});
        EXPECT_EQ(help.status, cli::Success) << c.name;
        EXPECT_TRUE(help.out.startsWith(u("Использование: korvel-cli ") + QLatin1String(c.name)))
            << c.name;
    }
    EXPECT_TRUE(cliRun("sample --help").out.contains(QStringLiteral("--weeks")));

    const CliRun none = korvelCli({});
    EXPECT_EQ(none.status, cli::BadUsage);
    EXPECT_TRUE(none.err.contains(u("Команды:")));
    const CliRun unknown = korvelCli({QStringLiteral("plase")});
    EXPECT_EQ(unknown.status, cli::BadUsage);
    EXPECT_TRUE(unknown.err.contains(u("неизвестная команда «plase»")));
}

TEST(Cli, SampleRefusesBadArgumentsWithAClearMessage) {
    QTemporaryDir tmp;
    const QString dir = tmp.filePath(QStringLiteral("school"));
    struct Case {
        QStringList args;
        const char* message;
    };
    const Case cases[] = {
        {{QStringLiteral("--size"), QStringLiteral("huge"), dir}, "размер школы «huge» неизвестен"},
        {{QStringLiteral("--weeks"), QStringLiteral("0"), dir}, "от 1 до 20"},
        {{QStringLiteral("--weeks=21"), dir}, "от 1 до 20"},
        {{QStringLiteral("--weeks"), QStringLiteral("two"), dir}, "а не «two»"},
        {{QStringLiteral("--seed"), QStringLiteral("-1"), dir}, "--seed"},
        {{QStringLiteral("--size")}, "нет значения"},
        {{QStringLiteral("--colour"), QStringLiteral("red"), dir},
         "неизвестный параметр «--colour»"},
        {{}, "не указана папка"},
        {{dir, dir}, "больше одной папки"},
    };
    for (const Case& c : cases) {
        const CliRun r = korvelCli(QStringList{QStringLiteral("sample")} + c.args);
        EXPECT_EQ(r.status, cli::BadUsage) << c.message;
        EXPECT_TRUE(r.err.contains(u(c.message))) << r.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(dir)) << "a refused call created the folder";
}

TEST(Cli, SampleThenInfo) {
    QTemporaryDir tmp;
    const QString dir = tmp.filePath(QStringLiteral("new/school"));
    const CliRun made = cliRun("sample --size small --weeks 2 --seed 4 %", {dir});
    ASSERT_EQ(made.status, cli::Success) << made.err.toStdString();
    EXPECT_TRUE(made.out.contains(u("групп: 10")));
    EXPECT_TRUE(made.err.isEmpty()) << made.err.toStdString();

    // A second sample never overwrites a school.
    const QByteArray before = [&] {
        QFile f(QDir(dir).filePath(QStringLiteral("Teacher.db")));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    const CliRun again = korvelCli({QStringLiteral("sample"), dir});
    EXPECT_EQ(again.status, cli::Failure);
    EXPECT_TRUE(again.err.contains(u("не пуста"))) << again.err.toStdString();
    QFile teacher(QDir(dir).filePath(QStringLiteral("Teacher.db")));
    teacher.open(QIODevice::ReadOnly);
    EXPECT_EQ(teacher.readAll(), before);
    teacher.close();

    const CliRun info = korvelCli({QStringLiteral("info"), dir});
    ASSERT_EQ(info.status, cli::Success) << info.err.toStdString();
    EXPECT_TRUE(info.out.contains(u("Недель в цикле: 2")));
    // The count of SCHEDULE as the stock SQLite library sees it.
    sqlite3* db = nullptr;
    sqlite3_open(QDir(dir).filePath(QStringLiteral("Schedule.db")).toUtf8().constData(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM SCHEDULE", -1, &st, nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    const int lessons = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    EXPECT_TRUE(info.out.contains(
        QRegularExpression(QStringLiteral("SCHEDULE +%1  Schedule.db").arg(lessons))))
        << info.out.toStdString();
    // The archive was never made; info shows that and does not create it.
    EXPECT_TRUE(info.out.contains(QRegularExpression(u("ARCHIVE +нет  Archive.db"))));
    EXPECT_FALSE(QFileInfo::exists(QDir(dir).filePath(QStringLiteral("Archive.db"))));
}

TEST(Cli, InfoFailsOnMissingFoldersAndUnreadableFiles) {
    QTemporaryDir tmp;
    const CliRun missing =
        korvelCli({QStringLiteral("info"), tmp.filePath(QStringLiteral("nowhere"))});
    EXPECT_EQ(missing.status, cli::Failure);
    EXPECT_TRUE(missing.err.contains(u("папки")));

    QFile bad(tmp.filePath(QStringLiteral("Teacher.db")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(4096, 'x'));
    bad.close();
    const CliRun r = korvelCli({QStringLiteral("info"), tmp.path()});
    EXPECT_EQ(r.status, cli::Failure);
    EXPECT_TRUE(r.out.contains(QRegularExpression(u("TEACHER +ошибка"))));
    EXPECT_TRUE(r.err.contains(u("не все файлы данных читаются")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("Teacher.db"))) << r.err.toStdString();
}

TEST(Cli, PlaceRunsTheAutomaticPlacementOnASampleSchool) {
    QTemporaryDir tmp;
    const QString dir = tmp.filePath(QStringLiteral("school"));
    ASSERT_EQ(cliRun("sample --size small --weeks 2 --seed 5 %", {dir}).status, cli::Success);
    // One subject forbidden in every cell, so that not every lesson can be placed and the
    // run asks whether to go on.
    const int forbidden = scalar(dir, "SELECT min(ScienceCode) FROM SCHEDULE WHERE LinkCode = 0");
    ASSERT_GT(forbidden, 0);
    exec(dir, "Restriction.db",
         "ATTACH '" + QDir(dir).filePath(QStringLiteral("Days.db")).toUtf8() + "' AS d; ATTACH '" +
             QDir(dir).filePath(QStringLiteral("LessonBell.db")).toUtf8() +
             "' AS b; INSERT OR REPLACE INTO RESTRICTION (ObjectType, ObjectCode, Week, "
             "DaySeqNumber, LessonNo, LessonNo_norm, Restriction) SELECT 3, " +
             QByteArray::number(forbidden) +
             ", w.n, d.DaySeqNumber, b.LessonNo, b.LessonNo_norm, 2 FROM (SELECT 1 AS n UNION "
             "SELECT 2) w, d.DAYS d, b.LESSONBELL b");
    const QString twin = tmp.filePath(QStringLiteral("twin"));
    const QString silent = tmp.filePath(QStringLiteral("silent"));
    for (const QString& copy : {twin, silent}) {
        QDir().mkpath(copy);
        for (const QString& f : QDir(dir).entryList(QDir::Files))
            ASSERT_TRUE(QFile::copy(QDir(dir).filePath(f), QDir(copy).filePath(f)));
    }
    const int lessons = scalar(dir, "SELECT count(*) FROM SCHEDULE");
    ASSERT_GT(lessons, 0);
    ASSERT_EQ(scalar(dir, "SELECT count(*) FROM p"), 0) << "the sample starts unplaced";

    // Bad arguments: status 2, a message, and nothing placed.
    struct Bad {
        QStringList args;
        const char* message;
    };
    const Bad bad[] = {
        {{}, "не указана папка"},
        {{dir, twin}, "больше одной папки"},
        {{dir, QStringLiteral("--teacher"), QStringLiteral("1"), QStringLiteral("--group"),
          QStringLiteral("2")},
         "не больше одного"},
        {{dir, QStringLiteral("--teacher"), QStringLiteral("Иванов")}, "--teacher"},
        {{dir, QStringLiteral("--group"), QStringLiteral("0")}, "--group"},
        {{dir, QStringLiteral("--answer"), QStringLiteral("maybe")}, "yes или no"},
        {{dir, QStringLiteral("--colour"), QStringLiteral("red")}, "--colour"},
    };
    for (const Bad& b : bad) {
        const CliRun r = korvelCli(QStringList{QStringLiteral("place")} + b.args);
        EXPECT_EQ(r.status, cli::BadUsage) << b.message;
        EXPECT_TRUE(r.err.contains(u(b.message))) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << b.message;
    }
    const CliRun nowhere =
        korvelCli({QStringLiteral("place"), tmp.filePath(QStringLiteral("nowhere"))});
    EXPECT_EQ(nowhere.status, cli::Failure);
    EXPECT_EQ(scalar(dir, "SELECT count(*) FROM p"), 0);

    const CliRun r = korvelCli(
        {QStringLiteral("place"), dir, QStringLiteral("--answer"), QStringLiteral("yes")});
    ASSERT_EQ(r.status, cli::Success) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'));
    ASSERT_GT(lines.size(), 8);
    EXPECT_EQ(lines[0], u("Подготовка задания на расстановку"));
    EXPECT_EQ(lines[1], u("    Запланировано для расстановки %1 уроков.").arg(lessons));
    EXPECT_EQ(lines[2], QString());
    EXPECT_EQ(lines[3], u("Расчет вариантов размещения уроков"));
    EXPECT_TRUE(r.err.contains(u("Хотите ли Вы произвести расстановку уроков")))
        << r.err.toStdString();
    EXPECT_EQ(lines.filter(u("Размещение уроков")).size(), 1);
    EXPECT_EQ(lines[lines.indexOf(u("Размещение уроков")) - 1], QString());
    EXPECT_EQ(lines.last(), QString()) << "every line ends with a line break";
    EXPECT_EQ(lines[lines.size() - 3], u("АВТОМАТИЧЕСКАЯ РАССТАНОВКА УРОКОВ ЗАКОНЧЕНА"));

    // The progress list agrees with the files: one line per unlinked lesson placed, one per
    // sitting of a link; both name the week of a two-week cycle.
    const int placed = scalar(dir, "SELECT count(*) FROM p");
    EXPECT_GT(placed, lessons / 2);
    const QStringList single =
        lines.filter(QRegularExpression(u("^     Урок размещен по [12]-й неделе в ")));
    const QStringList linked =
        lines.filter(QRegularExpression(u("^     Уроки размещены по [12]-й неделе в ")));
    EXPECT_EQ(single.size(), scalar(dir, "SELECT count(*) FROM p WHERE LinkCode = 0"));
    EXPECT_EQ(linked.size(),
              scalar(dir, "SELECT count(*) FROM (SELECT DISTINCT LinkCode, Week, DaySeqNumber, "
                          "LessonNo FROM p WHERE LinkCode > 0)"));
    // A selection places one lesson of its kind, or one in each week where no worse.
    const qsizetype selections = lines.filter(QRegularExpression(u("^  Размещаем "))).size();
    EXPECT_GT(selections, 0);
    EXPECT_LE(selections, single.size() + linked.size());
    expectSoundTimetable(dir, 2);
    const QByteArray ofForbidden =
        "SELECT count(*) FROM p WHERE ScienceCode = " + QByteArray::number(forbidden);
    EXPECT_EQ(scalar(dir, ofForbidden.constData()), 0);

    EXPECT_EQ(lines[lines.size() - 2],
              u("Итог: размещено уроков: %1, осталось нерасставленных: %2.")
                  .arg(placed)
                  .arg(lessons - placed));

    // Answered "no", the question ends the run before anything is placed, and the command
    // says that it did not do its work.
    const CliRun no = korvelCli(
        {QStringLiteral("place"), twin, QStringLiteral("--answer"), QStringLiteral("no")});
    EXPECT_EQ(no.status, cli::Failure) << no.err.toStdString();
    EXPECT_TRUE(no.err.trimmed().split(QLatin1Char('\n')).last().contains(u("ответ был «нет»")));
    EXPECT_TRUE(no.err.contains(u("Хотите ли Вы произвести расстановку уроков")));
    EXPECT_TRUE(no.out.contains(u("Расчет вариантов размещения уроков")));
    EXPECT_FALSE(no.out.contains(u("Размещение уроков")));
    EXPECT_EQ(scalar(twin, "SELECT count(*) FROM p"), 0);
    // Without --answer the preselected "Нет" holds, as in the window.
    const CliRun unanswered = korvelCli({QStringLiteral("place"), silent});
    EXPECT_EQ(unanswered.status, cli::Failure);
    EXPECT_EQ(unanswered.out, no.out);
    EXPECT_EQ(scalar(silent, "SELECT count(*) FROM p"), 0);
}

// A folder that holds no school (no Korvel.ini) is refused by every command that reads or
// writes a school, and nothing is written into it.
TEST(Cli, CommandsRefuseAFolderThatIsNoSchoolAndWriteNothing) {
    QTemporaryDir dir;
    QFile other(QDir(dir.path()).filePath(QStringLiteral("readme.txt")));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("not a school");
    other.close();
    const QString pdf = QDir(dir.path()).filePath(QStringLiteral("t.pdf"));
    const QList<QStringList> commands{{u("place"), dir.path()},
                                      {u("export"), dir.path()},
                                      {u("archive"), u("save"), dir.path(), u("снимок")},
                                      {u("archive"), u("list"), dir.path()},
                                      {u("report"), u("teacher"), dir.path(), u("--pdf"), pdf},
                                      {u("import"), u("stage1"), dir.path(), dir.path()},
                                      {u("import"), u("stage2"), dir.path(), dir.path()}};
    for (const QStringList& c : commands) {
        const CliRun r = korvelCli(c);
        EXPECT_EQ(r.status, 1) << c.join(u(" ")).toStdString();
        EXPECT_TRUE(r.err.contains(u("нет данных Korvel (Korvel.ini)"))) << r.err.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{u("readme.txt")})
            << c.join(u(" ")).toStdString();
    }
}

namespace {

QString makeSample(QTemporaryDir& tmp, const char* weeks, const char* seed) {
    const QString dir = tmp.filePath(QStringLiteral("school"));
    EXPECT_EQ(korvelCli({u("sample"), u("--size"), u("small"), u("--weeks"),
                         QString::fromLatin1(weeks), u("--seed"), QString::fromLatin1(seed), dir})
                  .status,
              cli::Success);
    return dir;
}

/// Every file of a folder with its bytes.
std::map<QString, QByteArray> filesOf(const QString& dir) {
    std::map<QString, QByteArray> out;
    for (const QString& name : QDir(dir).entryList(QDir::Files)) {
        QFile f(QDir(dir).filePath(name));
        f.open(QIODevice::ReadOnly);
        out[name] = f.readAll();
    }
    return out;
}

} // namespace

TEST(Cli, ArchiveSaveUnderADescriptionThatExistsReplacesTheSnapshot) {
    QTemporaryDir tmp;
    const QString dir = makeSample(tmp, "2", "7");
    const CliRun first =
        korvelCli({u("archive"), u("save"), dir, u("Неделя"), u("--description"), u("до")});
    ASSERT_EQ(first.status, cli::Success) << first.err.toStdString();
    EXPECT_EQ(first.out, u("Снимок «Неделя» записан.\n"));
    ASSERT_EQ(korvelCli({u("place"), dir, u("--answer"), u("yes")}).status, cli::Success);
    const int placed = scalar(dir, "SELECT count(*) FROM p");
    ASSERT_GT(placed, 0);

    const CliRun second =
        korvelCli({u("archive"), u("save"), dir, u("Неделя"), u("--description"), u("после")});
    ASSERT_EQ(second.status, cli::Success) << second.err.toStdString();
    EXPECT_EQ(second.out, u("Снимок «Неделя» заменён.\n"));
    EXPECT_EQ(texts(dir, "Archive.db", "SELECT Description FROM ARCHIVE"), QStringList{u("после")})
        << "one snapshot under the description, the new one";
    EXPECT_EQ(korvelCli({u("archive"), u("list"), dir}).out.count(u("Неделя")), 1);

    // Restored, the snapshot holds the placed timetable, not the one saved first.
    exec(dir, "Schedule.db",
         "UPDATE SCHEDULE SET Week = 0, DaySeqNumber = 0, LessonNo = '', LessonNo_norm = '', "
         "RoomCode = 0");
    ASSERT_EQ(scalar(dir, "SELECT count(*) FROM p"), 0);
    const CliRun restored = korvelCli({u("archive"), u("restore"), dir, u("Неделя")});
    ASSERT_EQ(restored.status, cli::Success) << restored.err.toStdString();
    EXPECT_EQ(scalar(dir, "SELECT count(*) FROM p"), placed);
}

// What changed against an archived timetable: the list on standard output, the page and the
// table written; an unknown description, a damaged snapshot and a folder that is no school end
// with status 1, a last line that says why, and nothing written.
TEST(Cli, CompareListsTheChangesAgainstTheArchiveAndWritesThePageAndTheTable) {
    QTemporaryDir tmp;
    const QString dir = makeSample(tmp, "1", "7");
    exec(dir, "Schedule.db",
         "UPDATE SCHEDULE SET Week = 1, DaySeqNumber = rowid, LessonNo = '1', LessonNo_norm = '1' "
         "WHERE rowid IN (1, 2)");
    ASSERT_EQ(korvelCli({u("archive"), u("save"), dir, u("до")}).status, cli::Success);
    EXPECT_EQ(korvelCli({u("compare"), dir, u("--archive"), u("до")}).out.split(u("\n")).value(1),
              u("Расписания совпадают."));
    exec(dir, "Schedule.db",
         "UPDATE SCHEDULE SET DaySeqNumber = 3, LessonNo = '2', LessonNo_norm = "
         "'2' WHERE rowid = 1");
    const QString html = tmp.filePath(u("changes.html")), csv = tmp.filePath(u("changes.csv"));
    const CliRun r =
        cliRun("compare % --archive до --by teacher --html % --csv %", {dir, html, csv});
    ASSERT_EQ(r.status, cli::Success) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(u(": пн 1 → ср 2\n"))) << r.out.toStdString();
    const QString summary = u("Итог: перемещено: 1, сменили кабинет: 0, добавлено: 0, снято: 0.");
    EXPECT_TRUE(r.out.contains(summary + u("\nФайл записан: ") + html)) << r.out.toStdString();
    QFile page(html), table(csv);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly) && table.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(page.readAll()).contains(u("<p>") + summary + u("</p>")));
    const QStringList rows =
        QString::fromUtf8(table.readAll()).split(u("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[1].startsWith(u("перемещен;"))) << rows[1].toStdString();
    EXPECT_TRUE(rows[1].endsWith(u(";1;Понедельник;1;;1;Среда;2;"))) << rows[1].toStdString();

    exec(dir, "Archive.db", "UPDATE ARCHIVE SET ScheduleFile = zeroblob(length(ScheduleFile))");
    QFile::remove(html);
    for (const auto& [args, line] :
         {std::pair{
              QStringList{dir, u("--archive"), u("после")},
              u("korvel-cli compare: сравнение не выполнено: В архиве нет расписания «после».")},
          std::pair{
              QStringList{dir, u("--archive"), u("до")},
              u("korvel-cli compare: сравнение не выполнено: Архивная копия файла Schedule "
                "(Расписание уроков) в расписании «до» повреждена: Неверная структура файла.")},
          std::pair{QStringList{tmp.path(), u("--archive"), u("до")},
                    u("korvel-cli compare: в папке «%1» нет данных Korvel (Korvel.ini).")
                        .arg(tmp.path())}}) {
        const CliRun failed =
            korvelCli(QStringList{u("compare")} + args + QStringList{u("--html"), html});
        EXPECT_EQ(failed.status, cli::Failure);
        EXPECT_EQ(lastLine(failed.err), line);
        EXPECT_FALSE(QFile::exists(html));
    }
}

// Placing one teacher's, group's or subject's lessons places those and the other lessons of
// their links (a link is placed whole), and nothing else; the progress lines name only them.
TEST(Cli, PlaceForOneObjectPlacesItsLessonsAndItsLinksOnly) {
    QTemporaryDir tmp;
    const QString base = makeSample(tmp, "1", "5");
    struct Kind {
        const char* option;
        const char* column;
    };
    const Kind kinds[] = {{"--teacher", "TeacherCode"},
                          {"--group", "GroupCode"},
                          {"--subject", "ScienceCode"}};
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.option);
        const QString dir = tmp.filePath(QString::fromLatin1(k.option).mid(2));
        copySchool(base, dir);
        // An object with lessons in a link, so that the link's other lessons come along.
        const QByteArray column(k.column);
        const int code = scalar(dir, "SELECT min(" + column +
                                         ") FROM SCHEDULE WHERE LinkCode > 0 AND " + column + " > 0");
        ASSERT_GT(code, 0);
        const QByteArray own = "s." + column + " = " + QByteArray::number(code);
        const QByteArray links =
            "(SELECT LinkCode FROM SCHEDULE s WHERE LinkCode > 0 AND " + own + ")";
        const QByteArray ours = "(" + own + " OR s.LinkCode IN " + links + ")";
        const int planned = scalar(dir, "SELECT count(*) FROM SCHEDULE s WHERE " + ours);
        ASSERT_GE(planned, scalar(dir, "SELECT count(*) FROM SCHEDULE s WHERE " + own));

        const CliRun r = korvelCli(
            {u("place"), dir, QString::fromLatin1(k.option), QString::number(code),
             u("--answer"), u("yes")});
        ASSERT_EQ(r.status, cli::Success) << r.err.toStdString();
        const QStringList lines = r.out.split(QLatin1Char('\n'));
        ASSERT_GT(lines.size(), 2);
        EXPECT_EQ(lines[1], u("    Запланировано для расстановки %1 уроков.").arg(planned));
        const int placed = scalar(dir, "SELECT count(*) FROM p");
        EXPECT_GT(placed, 0);
        EXPECT_EQ(scalar(dir, "SELECT count(*) FROM p s WHERE NOT " + ours), 0)
            << "a lesson of another object was placed";

        // Each task named is a link of the object, or a lesson of the object by its name in
        // its place: teacher (20 characters), group (5), subgroup mark, subject.
        const QStringList codes = texts(
            dir, "Schedule.db", "SELECT DISTINCT LinkCode FROM SCHEDULE s WHERE LinkCode > 0 AND " + own);
        const QStringList linkNames =
            texts(dir, "LsnLink.db",
                  "SELECT LinkName FROM LSNLINK WHERE LinkCode IN (" + codes.join(u(",")).toUtf8() + ")");
        ASSERT_FALSE(linkNames.isEmpty());
        QString name;
        if (column == "TeacherCode")
            name = texts(dir, "Teacher.db",
                         "SELECT TeacherName FROM TEACHER WHERE TeacherCode = " +
                             QByteArray::number(code))
                       .value(0);
        else if (column == "GroupCode")
            name = texts(dir, "Group.db",
                         "SELECT substr(Course || '  ', 1, 2) || Defis || Literal FROM \"GROUP\" "
                         "WHERE GroupCode = " +
                             QByteArray::number(code))
                       .value(0);
        else
            name = texts(dir, "Science.db",
                         "SELECT Science FROM SCIENCE WHERE ScienceCode = " +
                             QByteArray::number(code))
                       .value(0);
        ASSERT_FALSE(name.isEmpty());
        const QStringList tasks = lines.filter(QRegularExpression(u("^  Размещаем ")));
        EXPECT_FALSE(tasks.isEmpty());
        for (const QString& line : tasks) {
            const QString task = line.mid(12);
            const bool aLink = linkNames.contains(task.trimmed());
            const bool named = column == "TeacherCode" ? task.startsWith(name.leftJustified(20) + u(" "))
                               : column == "GroupCode" ? task.mid(21, 5) == name.leftJustified(5)
                                                       : task.trimmed().endsWith(u(" ") + name);
            EXPECT_TRUE(aLink || named) << line.toStdString();
        }
        EXPECT_EQ(lines.filter(QRegularExpression(u("^     Урок размещен в "))).size(),
                  scalar(dir, "SELECT count(*) FROM p WHERE LinkCode = 0"));
        expectSoundTimetable(dir, 1);
    }
}

// Every command that cannot do its work says why on the last line of its error output, with
// status 1 (or 2 for a call it cannot understand, the line before the pointer to its help),
// and leaves the school as it was.
TEST(Cli, EachCommandFailsWithItsStatusAndLastLine) {
    QTemporaryDir tmp;
    const QString dir = makeSample(tmp, "1", "3");
    const QString nowhere = tmp.filePath(u("nowhere"));
    const QString noFolder = tmp.filePath(u("nowhere/file"));
    struct Case {
        QStringList args;
        int status;
        QString line; ///< the start of the line that says why
    };
    const Case cases[] = {
        {{u("info"), nowhere}, cli::Failure, u("korvel-cli info: папки «%1» нет.").arg(nowhere)},
        {{u("place"), dir, u("--teacher"), u("9999")}, cli::Failure,
         u("korvel-cli place: учителя с кодом 9999 нет.")},
        {{u("place"), dir, u("--group"), u("9999")}, cli::Failure,
         u("korvel-cli place: учебной группы с кодом 9999 нет.")},
        {{u("place"), dir, u("--subject"), u("9999")}, cli::Failure,
         u("korvel-cli place: предмета с кодом 9999 нет.")},
        {{u("place"), dir, u("--seconds"), u("5")}, cli::BadUsage,
         u("korvel-cli place: --seconds задает время доводки или сокращения окон и нужен "
           "только вместе")},
        {{u("place"), nowhere}, cli::Failure,
         u("korvel-cli place: в папке «%1» нет данных Korvel (Korvel.ini).").arg(nowhere)},
        {{u("archive"), u("restore"), dir, u("Нет такого")}, cli::Failure,
         u("korvel-cli archive: снимка «Нет такого» в архиве нет.")},
        {{u("archive"), u("delete"), dir, u("Нет такого")}, cli::Failure,
         u("korvel-cli archive: снимка «Нет такого» в архиве нет.")},
        {{u("archive"), u("jump"), dir}, cli::BadUsage,
         u("korvel-cli archive: неизвестное действие «jump»")},
        {{u("archive"), u("save"), dir}, cli::BadUsage,
         u("korvel-cli archive: не хватает параметров")},
        {{u("export"), dir, noFolder}, cli::Failure,
         u("korvel-cli export: Файл %1 не может быть записан").arg(noFolder)},
        {{u("report"), u("teacher"), dir}, cli::BadUsage,
         u("korvel-cli report: не указан файл --pdf")},
        // In this program without a graphical application the report stops before the file
        // (the real tool says "Не удалось создать файл ..."): either way, status 1 and a reason.
        {{u("report"), u("teacher"), dir, u("--pdf"), noFolder}, cli::Failure,
         u("korvel-cli report: ")},
        {{u("report"), u("teacher"), dir, u("--object"), u("9999"), u("--pdf"),
          tmp.filePath(u("r.pdf"))},
         cli::Failure, u("korvel-cli report: Объект с кодом 9999 не найден")},
        {{u("import"), u("stage1"), dir, nowhere}, cli::Failure,
         u("korvel-cli import: каталог данных Lodra «%1» не найден.").arg(nowhere)},
        {{u("sample"), dir}, cli::Failure, u("korvel-cli sample: папка «%1» не пуста").arg(dir)},
    };
    // The archive is made empty by the first command that reads it; it is there already.
    ASSERT_EQ(korvelCli({u("archive"), u("list"), dir}).status, cli::Success);
    const auto before = filesOf(dir);
    for (const Case& c : cases) {
        const std::string call = c.args.join(u(" ")).toStdString();
        const CliRun r = korvelCli(c.args);
        EXPECT_EQ(r.status, c.status) << call << "\n" << r.err.toStdString();
        QStringList errLines = r.err.trimmed().split(QLatin1Char('\n'));
        if (c.status == cli::BadUsage) {
            EXPECT_EQ(errLines.last(), u("Справка: korvel-cli %1 --help").arg(c.args.first()))
                << call;
            errLines.removeLast();
        }
        EXPECT_TRUE(errLines.value(errLines.size() - 1).startsWith(c.line))
            << call << "\n" << r.err.toStdString();
        const auto after = filesOf(dir);
        for (const auto& [name, bytes] : after)
            EXPECT_TRUE(before.count(name) && before.at(name) == bytes)
                << call << ": " << name.toStdString() << " was changed";
    }
    EXPECT_FALSE(QFileInfo::exists(tmp.filePath(u("r.pdf"))));
}

// The data check and the reasons after a placement, on a school built around a complete
// timetable into which one subject forbidden everywhere was put.
TEST(Cli, CheckProvesWhatCannotBePlacedAndPlaceWhySaysWhyItIsLeft) {
    QTemporaryDir tmp;
    const QString dir = tmp.filePath(QStringLiteral("school"));
    ASSERT_EQ(cliRun("sample --size small --planted 1.0 %", {dir}).status, cli::Success);
    const CliRun clean = korvelCli({QStringLiteral("check"), dir});
    EXPECT_EQ(clean.status, cli::Success) << clean.err.toStdString();
    EXPECT_TRUE(clean.out.contains(u("Невозможно: 0, тесно: "))) << clean.out.toStdString();

    const int subject = scalar(dir, "SELECT min(ScienceCode) FROM SCHEDULE WHERE LinkCode = 0");
    const int hours =
        scalar(dir, QByteArray("SELECT count(*) FROM SCHEDULE WHERE ScienceCode = ") +
                        QByteArray::number(subject));
    const int cells = scalar(dir, "SELECT count(*) FROM day.DAYS, bell.LESSONBELL");
    exec(dir, "Restriction.db",
         "ATTACH '" + QDir(dir).filePath(QStringLiteral("Days.db")).toUtf8() + "' AS d; ATTACH '" +
             QDir(dir).filePath(QStringLiteral("LessonBell.db")).toUtf8() +
             "' AS b; INSERT OR REPLACE INTO RESTRICTION (ObjectType, ObjectCode, Week, "
             "DaySeqNumber, LessonNo, LessonNo_norm, Restriction) SELECT 3, " +
             QByteArray::number(subject) +
             ", 1, d.DaySeqNumber, b.LessonNo, b.LessonNo_norm, 2 FROM d.DAYS d, b.LESSONBELL b");
    const QByteArray before = [&] {
        QFile f(QDir(dir).filePath(QStringLiteral("Schedule.db")));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();

    // The PDF lays out text, which takes a GUI application, as the tool's own main makes one.
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* gui = QCoreApplication::instance() ? nullptr : new QGuiApplication(argc, argv);
    (void)gui;
    const QString pdf = tmp.filePath(QStringLiteral("check.pdf"));
    const CliRun found =
        cliRun("check % --subject % --pdf %", {dir, QString::number(subject), pdf});
    EXPECT_EQ(found.status, cli::Impossible);
    const QStringList lines = found.out.split(QLatin1Char('\n'));
    // Proven impossibilities first: the subject's kinds, each with no cell at all and why.
    EXPECT_TRUE(lines.value(3).startsWith(u("невозможно "))) << found.out.toStdString();
    EXPECT_TRUE(lines.value(3).contains(u(": нет ни одной допустимой клетки")));
    EXPECT_TRUE(found.out.contains(u("    запрещено для предмета: %1 ").arg(cells)))
        << found.out.toStdString();
    EXPECT_TRUE(lastLine(found.err).startsWith(u("korvel-cli check: расставить все уроки невозможно: ")));
    QFile written(pdf);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.read(5) == "%PDF-");
    EXPECT_EQ(
        cliRun("check % --pdf %", {dir, QDir(dir).filePath(QStringLiteral("Schedule.db"))}).status,
        cli::Failure)
        << "a data file is no output";
    {
        QFile f(QDir(dir).filePath(QStringLiteral("Schedule.db")));
        f.open(QIODevice::ReadOnly);
        EXPECT_TRUE(f.readAll() == before) << "the check only reads";
    }

    const CliRun placed = korvelCli(
        {QStringLiteral("place"), dir, QStringLiteral("--answer"), QStringLiteral("yes"),
         QStringLiteral("--why")});
    EXPECT_EQ(placed.status, cli::Success) << placed.err.toStdString();
    const QString after = placed.out.section(u("Итог: "), 1);
    EXPECT_TRUE(after.contains(u("Почему не расставлено: видов уроков "))) << after.toStdString();
    // Every lesson of the subject is left, each refused in every cell by the subject's cells.
    EXPECT_GE(after.count(u("Размещение уроков невозможно из-за ограничений по предмету ")), 1);
    EXPECT_EQ(after.count(QRegularExpression(u("ограничений по предмету [^:\n]+: %1 ").arg(cells))),
              after.count(u("ограничений по предмету ")));
    EXPECT_EQ(scalar(dir, QByteArray("SELECT count(*) FROM p WHERE ScienceCode = ") +
                              QByteArray::number(subject)),
              0);
    EXPECT_GT(hours, 0);
}

// place --minimal after a teacher's day is forbidden: that day's lessons come off and go
// elsewhere within the rules, and what moved is printed and written as a PDF report.
TEST(Cli, PlaceMinimalMovesWhatAChangeRequiresAndSaysWhat) {
    QTemporaryDir tmp;
    const QString dir = tmp.filePath(QStringLiteral("school"));
    ASSERT_EQ(korvelCli({u("sample"), u("--size"), u("small"), u("--planted"), u("0.9"), dir})
                  .status,
              cli::Success);
    ASSERT_EQ(korvelCli({u("place"), dir, u("--answer"), u("yes"), u("--repair")}).status,
              cli::Success);
    const int teacher = scalar(dir, "SELECT TeacherCode FROM p WHERE DaySeqNumber = 1 AND "
                                    "LinkCode = 0 AND TeacherCode > 0 ORDER BY id LIMIT 1");
    const int dayLessons = scalar(
        dir, "SELECT count(*) FROM p WHERE DaySeqNumber = 1 AND TeacherCode = " +
                 QByteArray::number(teacher));
    exec(dir, "Restriction.db",
         "ATTACH '" + QDir(dir).filePath(QStringLiteral("LessonBell.db")).toUtf8() +
             "' AS b; INSERT OR REPLACE INTO RESTRICTION (ObjectType, ObjectCode, Week, "
             "DaySeqNumber, LessonNo, LessonNo_norm, Restriction) SELECT 4, " +
             QByteArray::number(teacher) + ", 1, 1, b.LessonNo, b.LessonNo_norm, 2 FROM "
             "b.LESSONBELL b");
    // The PDF lays out text, which takes a GUI application, as the tool's own main makes one.
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* gui =
        QCoreApplication::instance() ? nullptr : new QGuiApplication(argc, argv);
    (void)gui;
    const QString pdf = tmp.filePath(u("moved.pdf"));
    const CliRun r = korvelCli({u("place"), dir, u("--minimal"), u("--pdf"), pdf});
    EXPECT_EQ(r.status, cli::Success) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(u("\nПеремещенные уроки:\n"))) << r.out.toStdString();
    QFile report(pdf);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_TRUE(report.read(5) == "%PDF-");
    EXPECT_GE(r.out.count(u(" (снят: запрещенное время учителя)")), 1);
    const QRegularExpressionMatch summary =
        QRegularExpression(u("\nИтог: перемещено уроков: (\\d+), из них снято из-за нарушения "
                             "правил: (\\d+), не размещено снова: (\\d+)\\.\nОтчёт записан: "))
            .match(r.out);
    ASSERT_TRUE(summary.hasMatch()) << r.out.toStdString();
    EXPECT_GE(summary.captured(1).toInt(), dayLessons);
    EXPECT_GE(summary.captured(2).toInt(), dayLessons);
    EXPECT_EQ(scalar(dir, "SELECT count(*) FROM p WHERE DaySeqNumber = 1 AND TeacherCode = " +
                              QByteArray::number(teacher)),
              0);
    expectSoundTimetable(dir, 1);

    // Then the whole timetable's gaps: nothing placed anew, what moved listed, rules kept.
    EXPECT_EQ(korvelCli({u("place"), dir, u("--compact-all"), u("--minimal")}).status,
              cli::BadUsage);
    const int unplaced = scalar(dir, "SELECT count(*) FROM SCHEDULE WHERE Week = 0");
    const CliRun c = korvelCli({u("place"), dir, u("--compact-all"), u("--pdf"), pdf});
    EXPECT_EQ(c.status, cli::Success) << c.err.toStdString();
    EXPECT_TRUE(c.out.contains(u("\nСОКРАЩЕНИЕ ОКОН ЗАКОНЧЕНО: окна учителей: было ")))
        << c.out.toStdString();
    EXPECT_TRUE(c.out.contains(u("\nИтог: перемещено уроков: "))) << c.out.toStdString();
    EXPECT_EQ(scalar(dir, "SELECT count(*) FROM SCHEDULE WHERE Week = 0"), unplaced);
    expectSoundTimetable(dir, 1);
}

// analyze on a placed sample: the windows it sums are those plain SQL finds in the files; one
// teacher alone; the PDF and the CSV are written; a folder without a school and a code that
// names nobody fail with the reason last.
TEST(Cli, AnalyzeCountsTheWindowsTheFilesHold) {
    QTemporaryDir tmp;
    const QString dir = makeSample(tmp, "2", "4");
    ASSERT_EQ(cliRun("place % --answer yes", {dir}).status, cli::Success);
    // Per object, week and day: the bells from the first lesson to the last, less the busy ones.
    auto windows = [&](const char* object, const char* what, const QByteArray& tail = {}) {
        return scalar(dir, QByteArray("SELECT ") + what +
                               " FROM (SELECT o, (SELECT count(*) FROM bell.LESSONBELL b WHERE "
                               "b.LessonNo BETWEEN lo AND hi) - n AS w FROM (SELECT " +
                               object +
                               " AS o, min(LessonNo) lo, max(LessonNo) hi, count(DISTINCT "
                               "LessonNo) n FROM p WHERE " +
                               object + " > 0 GROUP BY " + object + ", Week, DaySeqNumber)) " +
                               tail);
    };
    const int teacherHours = windows("TeacherCode", "sum(w)");
    const int teachers = windows("TeacherCode", "count(DISTINCT CASE WHEN w > 0 THEN o END)");
    const int worst = windows("TeacherCode", "o", "GROUP BY o ORDER BY sum(w) DESC LIMIT 1");
    const int worstHours =
        windows("TeacherCode", "sum(w)", QByteArray("WHERE o = " + QByteArray::number(worst)));
    const int groupHours = windows("GroupCode", "sum(w)");
    ASSERT_GT(teacherHours, 0) << "the sample gives nothing to find";

    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* gui =
        QCoreApplication::instance() ? nullptr : new QGuiApplication(argc, argv);
    (void)gui;
    const QString pdf = tmp.filePath(QStringLiteral("analysis.pdf"));
    const QString csv = tmp.filePath(QStringLiteral("analysis.csv"));
    const CliRun all = cliRun("analyze % --pdf % --csv %", {dir, pdf, csv});
    ASSERT_EQ(all.status, cli::Success) << all.err.toStdString();
    const QStringList lines = all.out.split(QLatin1Char('\n'));
    const QString summary = lines.value(lines.indexOf(QRegularExpression(u("^Окна учителей: .*"))));
    EXPECT_TRUE(
        summary.startsWith(u("Окна учителей: %1 ч. (у %2 учител").arg(teacherHours).arg(teachers)))
        << all.out.toStdString();
    EXPECT_TRUE(summary.contains(u("окна групп: %1 ч.,").arg(groupHours))) << summary.toStdString();
    QFile written(pdf), table(csv);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.read(5) == "%PDF-");
    ASSERT_TRUE(table.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(table.readLine()).trimmed(), u("\uFEFFОкна учителей"));

    // One teacher: its windows only, and the summary of them.
    const CliRun one = cliRun("analyze % --teacher %", {dir, QString::number(worst)});
    ASSERT_EQ(one.status, cli::Success) << one.err.toStdString();
    EXPECT_TRUE(one.out.contains(u("Окна групп:\n  нет\n"))) << one.out.toStdString();
    EXPECT_EQ(lastLine(one.out), u("Окна учителей: %1 ч. (у 1 учителя), окна групп: 0 ч., "
                                   "неравномерных групп: 0, повторов предметов: 0.")
                                     .arg(worstHours));

    const CliRun nobody = cliRun("analyze % --teacher 999", {dir});
    EXPECT_EQ(nobody.status, cli::Failure);
    EXPECT_EQ(lastLine(nobody.err), u("korvel-cli analyze: учителя с кодом 999 нет."));
    const CliRun noSchool = cliRun("analyze %", {tmp.path()});
    EXPECT_EQ(noSchool.status, cli::Failure);
    EXPECT_EQ(lastLine(noSchool.err),
              u("korvel-cli analyze: в папке «%1» нет данных Korvel (Korvel.ini).")
                  .arg(tmp.path()));
    EXPECT_TRUE(noSchool.out.isEmpty());
}

// An absent teacher's Monday: --auto covers every lesson with a teacher who is free at that
// bell (checked over plain SQL) and stores it; the CSV has a row per lesson. A holiday, a
// teacher without lessons that day and a folder that is no school end with status 1 and say
// why on the last line.
TEST(Cli, SubstituteCoversAnAbsentTeachersLessonsWithFreeTeachers) {
    QTemporaryDir tmp;
    const QString dir = makeSample(tmp, "1", "7");
    ASSERT_EQ(korvelCli({u("place"), dir, u("--answer"), u("yes")}).status, cli::Success);
    {
        tamsel::IniFile ini(QDir(dir).filePath(u("Korvel.ini")));
        ASSERT_TRUE(ini.load());
        ini.setValue(u("SchoolCalendar"), u("FirstDay"), u("2026-09-01"));
        ini.setValue(u("SchoolCalendar"), u("LastDay"), u("2027-05-31"));
        ini.setValue(u("SchoolCalendar"), u("Holidays"), u("2026-11-02..2026-11-08"));
        ASSERT_TRUE(ini.save());
    }
    // The teacher with the most lessons on Monday, and one with none.
    const QString busiest = texts(dir, "Schedule.db",
                                  "SELECT TeacherCode FROM SCHEDULE WHERE Week = 1 AND DaySeqNumber "
                                  "= 1 AND TeacherCode > 0 GROUP BY TeacherCode ORDER BY count(*) "
                                  "DESC, TeacherCode LIMIT 1")
                                .value(0);
    ASSERT_FALSE(busiest.isEmpty());
    const QString csv = tmp.filePath(u("zameny.csv"));
    const CliRun r = cliRun("substitute % --date 2026-09-14 --teacher % --auto --csv %",
                            {dir, busiest, csv});
    ASSERT_EQ(r.status, cli::Success) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(u("Замены на 14.09.2026 (понедельник, неделя 1)\n"))) << r.out.toStdString();
    EXPECT_EQ(lastLine(r.out), u("Файл записан: ") + QDir::toNativeSeparators(csv));

    const QString lessons = texts(dir, "Schedule.db",
                                  "SELECT count(*) FROM SCHEDULE WHERE Week = 1 AND DaySeqNumber = 1 "
                                  "AND TeacherCode = " + busiest.toUtf8()).value(0);
    EXPECT_EQ(texts(dir, "Substitution.db", "SELECT count(*) FROM SUBSTITUTION").value(0), lessons);
    // No substitute teaches a lesson of their own at that bell, or is the absent one.
    const QStringList taken = texts(dir, "Schedule.db",
                                    "SELECT LessonNo || ':' || TeacherCode FROM SCHEDULE WHERE Week = "
                                    "1 AND DaySeqNumber = 1");
    for (const QString& given : texts(dir, "Substitution.db",
                                      "SELECT LessonNo || ':' || SubstituteCode FROM SUBSTITUTION")) {
        EXPECT_FALSE(taken.contains(given)) << given.toStdString();
        EXPECT_FALSE(given.endsWith(u(":") + busiest)) << given.toStdString();
    }
    QFile table(csv);
    ASSERT_TRUE(table.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(table.readAll()).count(u("\r\n2026-09-14;")), lessons.toInt());

    const QString idle = texts(dir, "Teacher.db",
                               "SELECT TeacherCode FROM TEACHER WHERE TeacherCode <> " +
                                   busiest.toUtf8() + " ORDER BY TeacherCode LIMIT 1")
                             .value(0);
    exec(dir, "Schedule.db", "UPDATE SCHEDULE SET TeacherCode = 0 WHERE TeacherCode = " + idle.toUtf8());
    for (const auto& [args, line] :
         {std::pair{QStringList{dir, u("--date"), u("2026-11-03"), u("--teacher"), busiest},
                    u("korvel-cli substitute: 03.11.2026 — каникулы или праздничный день: уроков нет.")},
          std::pair{QStringList{dir, u("--date"), u("2026-09-14"), u("--teacher"), idle},
                    u("korvel-cli substitute: У учителя %1 нет уроков 14.09.2026 (понедельник, неделя 1).")
                        .arg(texts(dir, "Teacher.db", "SELECT TeacherName FROM TEACHER WHERE TeacherCode = " + idle.toUtf8()).value(0))},
          std::pair{QStringList{tmp.path(), u("--date"), u("2026-09-14"), u("--teacher"), busiest},
                    u("korvel-cli substitute: в папке «%1» нет данных Korvel (Korvel.ini).").arg(tmp.path())}}) {
        const CliRun failed = korvelCli(QStringList{u("substitute"), u("--auto")} + args);
        EXPECT_EQ(failed.status, cli::Failure);
        EXPECT_EQ(lastLine(failed.err), line);
    }
}
