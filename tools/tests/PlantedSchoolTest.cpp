// Schools built around a complete timetable: the planted timetable itself is sound and
// complete by the stock SQLite library's reading of the files, and the school the generator
// hands out leaves every lesson unplaced.

#include "CliSupport.h"
#include "SampleSchool.h"

#include "tamsel/TestFolder.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

/// The first column of the first row of `sql` over Schedule.db with RoomList.db and
/// LsnLink.db attached.
int count(const QString& dir, const char* sql) {
    sqlite3* db = nullptr;
    EXPECT_EQ(
        sqlite3_open_v2(QDir(dir).filePath(QStringLiteral("Schedule.db")).toUtf8().constData(), &db,
                        SQLITE_OPEN_READONLY, nullptr),
        SQLITE_OK);
    for (auto [alias, file] : {std::pair{"rls", "RoomList.db"}, std::pair{"lnk", "LsnLink.db"}}) {
        const QByteArray attach =
            "ATTACH '" + QDir(dir).filePath(QString::fromLatin1(file)).toUtf8() + "' AS " + alias;
        EXPECT_EQ(sqlite3_exec(db, attach.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    int n = -1;
    if (st && sqlite3_step(st) == SQLITE_ROW) n = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return n;
}

} // namespace

TEST(PlantedSchool, ThePlantedTimetableIsCompleteAndKeepsEveryRule) {
    for (auto [size, share, seed] : {std::tuple{sample::SchoolSize::Small, 0.5, 3u},
                                     std::tuple{sample::SchoolSize::Medium, 0.95, 1u},
                                     std::tuple{sample::SchoolSize::Large, 1.0, 2u}}) {
        SCOPED_TRACE(sample::sizeName(size).toStdString() + " " + std::to_string(share));
        tamsel::TestFolder t;
        sample::SampleOptions o;
        o.size = size;
        o.seed = seed;
        o.planted = share;
        o.placePlanted = true;
        sample::SampleSummary summary;
        QString error;
        ASSERT_TRUE(sample::GenerateSampleSchool(t.dict(), o, &summary, &error))
            << error.toStdString();
        const QString dir = t.path();
        EXPECT_EQ(scalar(dir, "SELECT count(*) FROM SCHEDULE WHERE Week = 0"), 0);
        expectSoundTimetable(dir, 1);
        // Every group's week is filled to the share.
        const int cells = summary.days * summary.lessonsPerDay;
        const int filled = static_cast<int>(std::lround(share * cells));
        const QByteArray perGroup =
            "SELECT count(*) FROM (SELECT GroupCode FROM p GROUP BY GroupCode "
            "HAVING count(DISTINCT DaySeqNumber || '/' || LessonNo) <> " +
            QByteArray::number(filled) + ")";
        EXPECT_EQ(scalar(dir, perGroup.constData()), 0);
        // The lessons of a link sit together; each room is one of its teacher's for the subject.
        EXPECT_EQ(count(dir,
                        "SELECT count(*) FROM SCHEDULE a JOIN SCHEDULE b ON a.LinkCode = "
                        "b.LinkCode AND a.LinkCode > 0 AND (a.DaySeqNumber <> b.DaySeqNumber "
                        "OR a.LessonNo <> b.LessonNo) AND NOT EXISTS (SELECT 1 FROM SCHEDULE c "
                        "WHERE c.LinkCode = a.LinkCode AND c.DaySeqNumber = b.DaySeqNumber AND "
                        "c.LessonNo = b.LessonNo AND c.GroupCode = a.GroupCode AND "
                        "c.SubGroupNum = a.SubGroupNum)"),
                  0);
        EXPECT_EQ(count(dir, "SELECT count(*) FROM SCHEDULE s WHERE NOT EXISTS (SELECT 1 FROM "
                             "rls.ROOMLIST r WHERE r.TeacherCode = s.TeacherCode AND r.ScienceCode "
                             "= s.ScienceCode AND r.RoomCode = s.RoomCode)"),
                  0);
        // One teacher per class and subject, as schools give them.
        EXPECT_EQ(count(dir, "SELECT count(*) FROM (SELECT 1 FROM SCHEDULE GROUP BY "
                             "TrainingCourseItemCode, GroupCode, SubGroupNum HAVING "
                             "count(DISTINCT TeacherCode) > 1)"),
                  0);

        // The school itself leaves the same lessons unplaced.
        tamsel::TestFolder fresh;
        o.placePlanted = false;
        sample::SampleSummary same;
        ASSERT_TRUE(sample::GenerateSampleSchool(fresh.dict(), o, &same, &error));
        EXPECT_EQ(same.entries, summary.entries);
        EXPECT_EQ(scalar(fresh.path(), "SELECT count(*) FROM p"), 0);
    }
}

TEST(PlantedSchool, TheToolRefusesAShareOutsideItsRangeOrALongerCycle) {
    QTemporaryDir tmp;
    for (const QStringList& args :
         {QStringList{u("--planted"), u("1.5")}, QStringList{u("--planted"), u("x")},
          QStringList{u("--planted"), u("0.9"), u("--weeks"), u("2")}}) {
        const CliRun r =
            korvelCli(QStringList{u("sample")} + args + QStringList{tmp.filePath(u("s"))});
        EXPECT_EQ(r.status, cli::BadUsage) << r.err.toStdString();
    }
    const CliRun ok = korvelCli(
        {u("sample"), u("--size"), u("small"), u("--planted"), u("0,9"), tmp.filePath(u("s"))});
    EXPECT_EQ(ok.status, cli::Success) << ok.err.toStdString();
}

TEST(PlantedSchool, PlaceWithRepairFinishesWhatThePhasesLeave) {
    QTemporaryDir tmp;
    const QString school = tmp.filePath(u("school"));
    ASSERT_EQ(
        korvelCli({u("sample"), u("--size"), u("medium"), u("--planted"), u("1"), school}).status,
        cli::Success);
    const QString copy = tmp.filePath(u("copy"));
    QDir().mkpath(copy);
    for (const QString& f : QDir(school).entryList(QDir::Files))
        QFile::copy(QDir(school).filePath(f), QDir(copy).filePath(f));

    const CliRun greedy = korvelCli({u("place"), school, u("--answer"), u("yes")});
    EXPECT_EQ(greedy.status, cli::Success);
    EXPECT_GT(scalar(school, "SELECT count(*) FROM SCHEDULE WHERE Week = 0"), 0);

    EXPECT_EQ(korvelCli({u("place"), copy, u("--seconds"), u("5")}).status, cli::BadUsage);
    const CliRun repaired = korvelCli(
        {u("place"), copy, u("--answer"), u("yes"), u("--repair"), u("--seconds"), u("30")});
    EXPECT_EQ(repaired.status, cli::Success) << repaired.err.toStdString();
    EXPECT_TRUE(repaired.out.contains(u("ДОВОДКА РАССТАНОВКИ ЗАКОНЧЕНА: размещено уроков: ")));
    EXPECT_TRUE(repaired.out.contains(u("осталось нерасставленных: 0.")));
    EXPECT_EQ(scalar(copy, "SELECT count(*) FROM SCHEDULE WHERE Week = 0"), 0);
    expectSoundTimetable(copy, 1);
}
