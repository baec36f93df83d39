#include "Command.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

struct CliRun {
    int status;
    QString out, err;
};

CliRun korvelCli(const QStringList& args) {
    QString out, err;
    QTextStream o(&out), e(&err);
    cli::Console io{o, e};
    const int status = cli::dispatch(args, io);
    o.flush();
    e.flush();
    return {status, out, err};
}

QString u(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

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
    EXPECT_TRUE(korvelCli({QStringLiteral("sample"), QStringLiteral("--help")})
                    .out.contains(QStringLiteral("--weeks")));

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
    const CliRun made =
        korvelCli({QStringLiteral("sample"), QStringLiteral("--size"), QStringLiteral("small"),
                   QStringLiteral("--weeks"), QStringLiteral("2"), QStringLiteral("--seed"),
                   QStringLiteral("4"), dir});
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
    EXPECT_TRUE(again.err.contains(u("уже есть данные")));
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
