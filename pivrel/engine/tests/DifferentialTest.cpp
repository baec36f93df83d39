// The fast path against the reference path on generated schools, and an independent check of
// the timetable written.

#include "School.h"

#include "pivrel/engine/AutoPlacement.h"

#include <QDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace tamsel;
using namespace pivrel;
using namespace enginetest;

namespace {

struct Result {
    QStringList lines;
    QList<int> values;
    std::vector<Schedule> schedule;
    std::vector<TaskQueueEntry> tasks;
    std::vector<VariantQueueEntry> variants;
    QStringList shown;
};

struct Params {
    quint32 seed;
    short weeks;
    short kind = TaskKind::All;
    short code = 0;
    int groups = 6;
};

Result runOn(const Params& p, EnginePath path, TestFolder& t) {
    School s(t, 4, 5, p.weeks);
    randomSchool(s, p.seed, p.groups, 8, 6, 12, p.weeks, 4, 5);
    // Something already placed, so that the run starts from a partial timetable.
    s.lesson(90, 1, 1, 1, 0, 0, 0, 1, 1, 1, u("1"));
    t.ui.answers << Yes;
    RecordingRunHost host;
    t.glo().ProcessingDisabled = 0;
    AutoPlacement(t.dict()).run(p.kind, p.code, host, path);
    Result r;
    r.lines = host.lines;
    r.values = host.values;
    r.schedule = s.schedule();
    r.tasks = t.glo().TaskQueue.items;
    r.variants = t.glo().VariantQueue.items;
    r.shown = t.ui.texts();
    return r;
}

bool sameLesson(const Schedule& a, const Schedule& b) {
    return a.rowId == b.rowId && a.Week == b.Week && a.DaySeqNumber == b.DaySeqNumber &&
           a.LessonNo == b.LessonNo && a.ScienceCode == b.ScienceCode &&
           a.TeacherCode == b.TeacherCode && a.GroupCode == b.GroupCode &&
           a.SubGroupNum == b.SubGroupNum && a.RoomCode == b.RoomCode &&
           a.TrainingCourseItemCode == b.TrainingCourseItemCode &&
           a.CoupledLesson == b.CoupledLesson && a.LinkCode == b.LinkCode;
}

int count(sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    int n = -1;
    if (sqlite3_step(st) == SQLITE_ROW) n = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return n;
}

/// Conflicts in the written timetable, found with plain SQL over the data files.
void checkTimetable(TestFolder& t) {
    sqlite3* db = nullptr;
    const QByteArray sch = t.dict().store().diskName(FileId::Schedule).toUtf8();
    ASSERT_EQ(sqlite3_open_v2(sch.constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    for (auto [name, id] : {std::pair{"rst", FileId::Restriction}, std::pair{"lnk", FileId::LsnLink},
                            std::pair{"sci", FileId::Science}}) {
        const QByteArray sql = "ATTACH '" + t.dict().store().diskName(id).toUtf8() + "' AS " + name;
        ASSERT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    // Lessons of one lecture count once.
    const char* placed =
        "CREATE TEMP VIEW p AS SELECT s.*, CASE WHEN l.IsLecture = 1 THEN -s.LinkCode ELSE s.rowid END "
        "AS one FROM SCHEDULE s LEFT JOIN lnk.LSNLINK l ON l.LinkCode = s.LinkCode AND s.LinkCode > 0 "
        "WHERE s.Week > 0 AND s.TrainingCourseItemCode <> 90"; // 90: placed by hand
    ASSERT_EQ(sqlite3_exec(db, placed, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    EXPECT_GT(count(db, "SELECT count(*) FROM p"), 0);
    EXPECT_EQ(count(db, "SELECT count(*) FROM (SELECT 1 FROM p GROUP BY TeacherCode, Week, "
                        "DaySeqNumber, LessonNo HAVING count(DISTINCT one) > 1)"), 0)
        << "teacher twice in a cell";
    EXPECT_EQ(count(db, "SELECT count(*) FROM (SELECT 1 FROM p GROUP BY RoomCode, Week, "
                        "DaySeqNumber, LessonNo HAVING count(DISTINCT one) > 1)"), 0)
        << "room twice in a cell";
    EXPECT_EQ(count(db, "SELECT count(*) FROM p a JOIN p b ON a.GroupCode = b.GroupCode AND "
                        "a.Week = b.Week AND a.DaySeqNumber = b.DaySeqNumber AND a.LessonNo = "
                        "b.LessonNo AND a.rowid < b.rowid JOIN sci.SCIENCE x ON x.ScienceCode = "
                        "a.ScienceCode JOIN sci.SCIENCE y ON y.ScienceCode = b.ScienceCode WHERE "
                        "a.SubGroupNum = 0 OR b.SubGroupNum = 0 OR a.SubGroupNum = b.SubGroupNum "
                        "OR x.SgrpTypCode <> y.SgrpTypCode"), 0)
        << "group twice in a cell";
    EXPECT_EQ(count(db, "SELECT count(*) FROM p JOIN rst.RESTRICTION r ON r.Week = p.Week AND "
                        "r.DaySeqNumber = p.DaySeqNumber AND r.LessonNo = p.LessonNo AND "
                        "r.Restriction >= 2 AND ((r.ObjectType = 1 AND r.ObjectCode = p.GroupCode) "
                        "OR (r.ObjectType = 2 AND r.ObjectCode = p.RoomCode) OR (r.ObjectType = 3 "
                        "AND r.ObjectCode = p.ScienceCode) OR (r.ObjectType = 4 AND r.ObjectCode = "
                        "p.TeacherCode))"), 0)
        << "forbidden cell used";
    sqlite3_close(db);
}

void compare(const Params& p) {
    TestFolder ft, rt;
    const Result fast = runOn(p, EnginePath::Fast, ft);
    const Result ref = runOn(p, EnginePath::Reference, rt);
    SCOPED_TRACE(QStringLiteral("seed %1 weeks %2 kind %3").arg(p.seed).arg(p.weeks).arg(p.kind).toStdString());
    EXPECT_EQ(fast.lines, ref.lines);
    EXPECT_EQ(fast.values, ref.values);
    EXPECT_EQ(fast.shown, ref.shown);
    ASSERT_EQ(fast.schedule.size(), ref.schedule.size());
    for (size_t i = 0; i < fast.schedule.size(); ++i)
        EXPECT_TRUE(sameLesson(fast.schedule[i], ref.schedule[i])) << "row " << ref.schedule[i].rowId;
    ASSERT_EQ(fast.tasks.size(), ref.tasks.size());
    for (size_t i = 0; i < fast.tasks.size(); ++i) {
        const auto& a = fast.tasks[i];
        const auto& b = ref.tasks[i];
        EXPECT_TRUE(sameLesson(a.lesson, b.lesson) && a.NumberOfSuchLessons == b.NumberOfSuchLessons &&
                    a.NumberOfVariants == b.NumberOfVariants && a.Freedom == b.Freedom)
            << "task entry " << i;
    }
    EXPECT_TRUE(fast.variants == ref.variants);
    int placedLines = static_cast<int>(fast.lines.filter(u("размещен")).size());
    EXPECT_GT(placedLines, 0);
    checkTimetable(ft);
}

} // namespace

TEST(Differential, WholeSchoolOneWeek) {
    for (quint32 seed : {1u, 2u, 3u}) compare(Params{seed, 1});
}

TEST(Differential, WholeSchoolThreeWeeks) {
    for (quint32 seed : {4u, 5u}) compare(Params{seed, 3});
}

TEST(Differential, OneTeacherOneGroupOneSubject) {
    compare(Params{6, 1, TaskKind::Teacher, 2});
    compare(Params{7, 2, TaskKind::Group, 2});
    compare(Params{8, 1, TaskKind::Science, 7});
}

TEST(Differential, SelectedLessonVariants) {
    TestFolder t;
    School s(t, 4, 5, 2);
    randomSchool(s, 9, 6, 8, 6, 12, 2, 4, 5);
    RecordingRunHost host;
    t.glo().ProcessingDisabled = 0;
    t.ui.answers << Yes;
    AutoPlacement(t.dict()).run(TaskKind::All, 0, host);
    t.glo().ShowLessonRestrictions = 1;
    t.glo().GoToSelectedObject = 0;
    int compared = 0;
    for (const Schedule& x : s.schedule()) {
        if (x.rowId % 7 != 0) continue;
        Engine(t.dict()).ProcessNewLessonSelection(0, x);
        const auto ref = t.glo().VariantQueue.items;
        ProcessNewLessonSelection(t.dict(), 0, x);
        EXPECT_TRUE(t.glo().VariantQueue.items == ref) << "row " << x.rowId;
        ++compared;
    }
    EXPECT_GT(compared, 5);
}
