// The re-run with minimal changes on a planted school placed whole: after a teacher's day is
// forbidden it takes that day's lessons off, keeps every rule by the independent checker,
// leaves pinned lessons (one of them now breaking the rule) where they were and reports what
// moved; run again without a change it moves nothing (the file's bytes stay); a stop leaves a
// sound timetable. The compaction of gaps shares the planted school: it moves only what its
// run placed.

#include "School.h"
#include "TimetableChecker.h"

#include "../../../testsupport/SqlRows.h"
#include "SampleSchool.h"
#include "pivrel/engine/AutoPlacement.h"
#include "tamsel/TestFolder.h"

#include <QFile>
#include <map>
#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace tamsel;
using namespace pivrel;
using namespace enginetest;

namespace {

/// Plain SQL on one data file (the bells attached as "b"): its rows as "column column …".
QStringList sql(TestFolder& t, FileId file, const QByteArray& query) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(t.store().diskName(file)).constData(), &db);
    const QByteArray bells = QFile::encodeName(t.store().diskName(FileId::LessonBell));
    sqlite3_exec(db, ("ATTACH '" + bells + "' AS b").constData(), nullptr, nullptr, nullptr);
    const QStringList out = testsupport::sqlRows(db, query.constData());
    sqlite3_close(db);
    return out;
}

/// A medium school with its planted timetable (filling `share` of each group's week) placed,
/// every ninth unlinked lesson pinned.
void placedSchool(TestFolder& t, double share = 0.9) {
    sample::SampleOptions o;
    o.size = sample::SchoolSize::Medium;
    o.planted = share;
    o.placePlanted = true;
    ASSERT_TRUE(sample::GenerateSampleSchool(t.dict(), o));
    ASSERT_TRUE(t.dict().loadSettings());
    t.store().closeAll();
    sql(t, FileId::Schedule,
        "UPDATE SCHEDULE SET Pinned = 1 WHERE Week <> 0 AND LinkCode = 0 AND rowid % 9 = 0");
}

/// The timetable's rows: row id → "week/day/lesson/room pinned".
std::map<QString, QString> rows(TestFolder& t) {
    std::map<QString, QString> out;
    for (const QString& r : sql(t, FileId::Schedule,
                                "SELECT rowid, Week || '/' || DaySeqNumber || '/' || LessonNo || "
                                "'/' || RoomCode, Pinned FROM SCHEDULE"))
        out[r.section(QLatin1Char(' '), 0, 0)] = r.section(QLatin1Char(' '), 1);
    return out;
}

struct Rerun {
    PlacementResult result;
    MinimalChanges changes;
    RecordingRunHost host;
};

void rerun(TestFolder& t, Rerun& r) {
    t.ui.answers = {Yes};
    t.glo().ProcessingDisabled = 0;
    AutoPlacement placement(t.dict());
    placement.setMinimal(true);
    r.result = placement.run(TaskKind::All, 0, r.host);
    r.changes = placement.changes();
}

/// The teacher with the most unlinked lessons on day 1 gets that day forbidden; the first of
/// those lessons is pinned, the others not. Returns the teacher and those lessons' row ids.
std::pair<int, QStringList> forbidBusiestTeacherDay(TestFolder& t) {
    const QString teacher = sql(t, FileId::Schedule,
                                "SELECT TeacherCode FROM SCHEDULE WHERE DaySeqNumber = 1 AND "
                                "LinkCode = 0 GROUP BY 1 ORDER BY count(*) DESC, 1 LIMIT 1")
                                .value(0);
    const QByteArray where =
        "WHERE DaySeqNumber = 1 AND LinkCode = 0 AND TeacherCode = " + teacher.toUtf8();
    sql(t, FileId::Schedule, "UPDATE SCHEDULE SET Pinned = 0 " + where);
    QStringList ids = sql(t, FileId::Schedule, "SELECT rowid FROM SCHEDULE " + where);
    sql(t, FileId::Schedule, "UPDATE SCHEDULE SET Pinned = 1 WHERE rowid = " + ids[0].toUtf8());
    sql(t, FileId::Restriction,
        "INSERT OR REPLACE INTO RESTRICTION (ObjectType, ObjectCode, Week, DaySeqNumber, "
        "LessonNo, LessonNo_norm, Restriction) SELECT 4, " +
            teacher.toUtf8() + ", 1, 1, LessonNo, LessonNo_norm, 2 FROM b.LESSONBELL");
    return {teacher.toInt(), ids};
}

/// Every pinned lesson before is pinned in the same place after.
void expectPinsKept(const std::map<QString, QString>& before,
                    const std::map<QString, QString>& after) {
    int pins = 0;
    for (const auto& [id, where] : before)
        if (where.endsWith(QStringLiteral(" 1"))) {
            ++pins;
            EXPECT_EQ(after.at(id), where) << "pinned lesson " << id.toStdString() << " moved";
        }
    EXPECT_GT(pins, 10);
}

/// One day of three lessons: Иванова teaches Математика in room 1, Петров Физика in room 2,
/// to 5-А and 5-Б.
void oneDayTwoOfEach(School& s) {
    s.science(1, u("Математика"));
    s.science(2, u("Физика"));
    s.twoOfEach("5");
    s.roomList(1, 1, 1, 10);
    s.roomList(2, 2, 2, 10);
}

} // namespace

TEST(MinimalRerun, AForbiddenTeacherDayIsClearedKeepingEveryRuleAndPinThenNothingMoves) {
    TestFolder t;
    placedSchool(t);
    const auto [teacher, dayLessons] = forbidBusiestTeacherDay(t);
    ASSERT_GE(dayLessons.size(), 2);
    const auto before = rows(t);
    Rerun r;
    rerun(t, r);
    EXPECT_EQ(r.result.end, PlacementResult::End::Finished);
    const auto after = rows(t);
    expectPinsKept(before, after);
    // The one rule still broken is the pinned lesson's, listed and left.
    for (const QString& p : checkTimetable(t.dict()))
        EXPECT_TRUE(p.startsWith(u("lesson in a forbidden cell: ") + dayLessons[0] + u(" ")))
            << p.toStdString();
    ASSERT_EQ(r.changes.pinnedBroken.size(), 1u);
    EXPECT_EQ(QString::number(r.changes.pinnedBroken[0].lesson.rowId), dayLessons[0]);
    EXPECT_EQ(r.changes.pinnedBroken[0].reason, u("запрещенное время учителя"));
    // The others left that day and are reported as moved.
    for (const QString& id : dayLessons.mid(1))
        EXPECT_NE(after.at(id), before.at(id));
    EXPECT_EQ(r.changes.takenOff(), dayLessons.size() - 1);
    // The log the placing phase rewrote still begins with what was taken off.
    QFile log(t.file(u("Pivrel.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString logged = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(logged.startsWith(u("Снятие уроков, нарушающих правила\n")));
    EXPECT_EQ(logged.count(u("\n  Снят урок: ")), dayLessons.size() - 1);
    for (const MovedLesson& m : r.changes.moved) {
        EXPECT_FALSE(m.from.Pinned);
        EXPECT_TRUE(!m.takenOff || (m.from.TeacherCode == teacher && m.from.DaySeqNumber == 1));
    }
    EXPECT_EQ(r.host.lines.last(),
              u("Итог: перемещено уроков: %1, из них снято из-за нарушения правил: %2, не "
                "размещено снова: %3.")
                  .arg(r.changes.moved.size())
                  .arg(r.changes.takenOff())
                  .arg(r.changes.notPlacedAgain()));

    // Again, with nothing changed since: nothing moves, the timetable file is not written.
    t.store().closeAll();
    QFile file(t.store().diskName(FileId::Schedule));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    Rerun again;
    rerun(t, again);
    EXPECT_TRUE(again.changes.moved.empty());
    EXPECT_EQ(again.host.lines.last(), u("Итог: перемещено уроков: 0, из них снято из-за "
                                         "нарушения правил: 0, не размещено снова: 0."));
    t.store().closeAll();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == bytes) << "the timetable file was written";
}

TEST(MinimalRerun, AStopInThePlacingOrTheRepairLeavesASoundTimetable) {
    // "Стоп!" once the placing phase has begun, and right after the repair's first step.
    for (const QString& at : {u("Размещение уроков"), u("  Урок размещен с перестановкой")}) {
        TestFolder t;
        placedSchool(t, 1.0); // full weeks: the day's lessons need the repair
        forbidBusiestTeacherDay(t);
        const auto before = rows(t);
        Rerun r;
        r.host.onYield = [&](int) {
            if (std::any_of(r.host.lines.begin(), r.host.lines.end(),
                            [&](const QString& l) { return l.startsWith(at); }))
                t.glo().ProcessingDisabled = 1;
        };
        rerun(t, r);
        ASSERT_EQ(r.result.end, PlacementResult::End::Stopped) << at.toStdString();
        expectPinsKept(before, rows(t));
        // Only the pinned lesson breaks a rule; the ones taken off are off or placed soundly.
        EXPECT_EQ(checkTimetable(t.dict()).size(), 1) << at.toStdString();
        EXPECT_EQ(r.host.lines.last(), minimalChangesSummary(r.changes));
        EXPECT_GE(r.changes.takenOff(), 1);
    }
}

TEST(MinimalRerun, ALessonThatCanSwapWithOneEarlierLessonMovesOnlyThatOne) {
    // 5-А: Иванова at 1, Петров at 2 and 3; 5-Б: Иванова at 3. Иванова loses lesson 1: her
    // only free cell is 2, which Петров gives up for 1. Lesson 3 would cost two earlier ones.
    TestFolder t;
    School s(t, 1, 3);
    oneDayTwoOfEach(s);
    const Schedule hers = s.lesson(1, 1, 1, 1, 0, 0, 0, 1, 1, 1, u("1"));
    s.lesson(2, 2, 2, 1, 0, 0, 0, 2, 1, 1, u("2"));
    s.lesson(2, 2, 2, 1, 0, 0, 0, 2, 1, 1, u("3"));
    s.lesson(3, 1, 1, 2, 0, 0, 0, 1, 1, 1, u("3"));
    s.restrict(ObjectType::Teacher, 1, 1, 1, u("1"), RestrictionLevel::Forbidden);
    Rerun r;
    rerun(t, r);
    EXPECT_EQ(r.result.end, PlacementResult::End::Finished);
    ASSERT_EQ(r.changes.moved.size(), 2u);
    EXPECT_EQ(s.byRow(hers.rowId).LessonNo, u("2"));
    QStringList his;
    for (const Schedule& x : s.schedule())
        if (x.TeacherCode == 2) his << x.LessonNo;
    his.sort();
    EXPECT_EQ(his, QStringList({u("1"), u("3")}));
}

TEST(MinimalRerun, APinnedLessonKeepsItsLinkTogetherWhenAPartnerBreaksARule) {
    // 5-А with Иванова and 5-Б with Петров sit together at lesson 1, Иванова's half pinned.
    // Петров loses lesson 1: his half may not leave alone, so the sitting stays and is listed.
    TestFolder t;
    School s(t, 1, 3);
    oneDayTwoOfEach(s);
    s.link(7, u("Связь 7"));
    s.comp(7, 1, 1, 0);
    s.comp(7, 2, 2, 0);
    Schedule pinned = s.lesson(1, 1, 1, 1, 0, 7, 0, 1, 1, 1, u("1"));
    pinned.Pinned = 1;
    ASSERT_TRUE(t.dict().access<Schedule>().update(pinned).ok());
    const Schedule partner = s.lesson(2, 2, 2, 2, 0, 7, 0, 2, 1, 1, u("1"));
    s.restrict(ObjectType::Teacher, 2, 1, 1, u("1"), RestrictionLevel::Forbidden);
    Rerun r;
    rerun(t, r);
    EXPECT_EQ(r.result.end, PlacementResult::End::Finished);
    EXPECT_TRUE(r.changes.moved.empty());
    EXPECT_EQ(s.byRow(partner.rowId).LessonNo, u("1"));
    ASSERT_EQ(r.changes.pinnedBroken.size(), 1u);
    EXPECT_TRUE(r.changes.pinnedBroken[0].reason.contains(u("связан с закрепленным уроком")));
}

namespace {
/// Teachers' and groups' free bells between the first and last lesson of each day, counted
/// from the file alone: "teachers groups".
QString gapsOnDisk(TestFolder& t) {
    t.store().closeAll();
    const QByteArray bell = "(SELECT count(*) FROM b.LESSONBELL x WHERE x.LessonNo < s.LessonNo)";
    auto per = [&](const char* object) {
        return sql(t, FileId::Schedule,
                   "SELECT coalesce(sum(g), 0) FROM (SELECT max(i) - min(i) + 1 - count(DISTINCT "
                   "i) AS g FROM (SELECT " + QByteArray(object) + " AS o, Week, DaySeqNumber, " +
                       bell + " AS i FROM SCHEDULE s WHERE Week <> 0" +
                       (QByteArray(object) == "TeacherCode" ? " AND TeacherCode <> 0" : "") +
                       ") GROUP BY o, Week, DaySeqNumber)")
            .value(0);
    };
    return per("TeacherCode") + u(" ") + per("GroupCode");
}
} // namespace

TEST(Compaction, TheRunsLessonsMoveToFewerGapsAndEverythingElseStays) {
    // Two days of the planted school taken off, placed again without and then with the
    // compaction of gaps: with it the days hold fewer gaps, every rule is kept, and only the
    // lessons the run placed moved.
    TestFolder t;
    placedSchool(t, 0.85);
    sql(t, FileId::Schedule,
        "UPDATE SCHEDULE SET Week = 0, DaySeqNumber = 0, LessonNo = '', LessonNo_norm = '', "
        "RoomCode = 0 WHERE DaySeqNumber IN (1, 2) AND Pinned = 0 AND LinkCode = 0 AND "
        "CoupledLesson = 0");
    const auto before = rows(t);
    t.store().closeAll();
    QFile file(t.store().diskName(FileId::Schedule));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray unplaced = file.readAll();
    file.close();
    auto place = [&](bool compact, RecordingRunHost& host) {
        t.ui.answers = {Yes};
        t.glo().ProcessingDisabled = 0;
        AutoPlacement placement(t.dict());
        placement.setCompact(compact);
        return placement.run(TaskKind::All, 0, host);
    };
    RecordingRunHost plain;
    const PlacementResult p = place(false, plain);
    const QStringList greedy = gapsOnDisk(t).split(u(" "));
    t.store().closeAll();
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(unplaced);
    file.close();

    RecordingRunHost host;
    const PlacementResult r = place(true, host);
    EXPECT_EQ(r.placed, p.placed);
    EXPECT_EQ(r.left, p.left);
    EXPECT_TRUE(checkTimetable(t.dict()).isEmpty()) << checkTimetable(t.dict()).join(u("\n")).toStdString();
    const QStringList compact = gapsOnDisk(t).split(u(" "));
    EXPECT_LT(compact[0].toInt() + 3 * compact[1].toInt(), greedy[0].toInt() + 3 * greedy[1].toInt())
        << "teachers/groups: greedy " << greedy.join(u("/")).toStdString() << ", compact "
        << compact.join(u("/")).toStdString();
    // The phase's own count agrees with the file's.
    const QStringList done = host.lines.filter(u("СОКРАЩЕНИЕ ОКОН ЗАКОНЧЕНО"));
    ASSERT_EQ(done.size(), 1);
    EXPECT_TRUE(done[0].contains(u("окна учителей: было %1, стало %2;").arg(greedy[0], compact[0])))
        << done[0].toStdString();
    // What was placed before the run is where it was.
    const auto after = rows(t);
    for (const auto& [id, where] : before)
        if (!where.startsWith(u("0/"))) {
            EXPECT_EQ(after.at(id), where) << id.toStdString();
        }
}

TEST(Compaction, ADoubleLessonMovesWholeAndHalvesPlacedApartStay) {
    // 10-А: a pinned lesson at bell 1 of Monday and a double lesson at bells 4 and 5, two gaps
    // that only moving the pair closes (a half moved alone would rather go to Tuesday, its
    // subject then once a day, and split the pair). 10-Б's halves were placed apart: they stay.
    TestFolder t;
    School s(t, 2, 5);
    s.twoOfEach("10");
    s.science(1, u("Алгебра"));
    s.science(2, u("Химия"));
    s.roomList(1, 1, 1, 1);
    s.roomList(2, 2, 2, 1);
    Schedule pinned = s.lesson(1, 1, 1, 1, 0, 0, 0, 1, 1, 1, u("1"));
    pinned.Pinned = 1;
    ASSERT_TRUE(t.dict().access<Schedule>().update(pinned).ok());
    const Schedule first = s.lesson(2, 2, 2, 1, 0, 0, 1, 2, 1, 1, u("4"));
    const Schedule second = s.lesson(2, 2, 2, 1, 0, 0, 2, 2, 1, 1, u("5"));
    const Schedule apart1 = s.lesson(3, 1, 1, 2, 0, 0, 1, 1, 1, 2, u("1"));
    const Schedule apart2 = s.lesson(3, 1, 1, 2, 0, 0, 2, 1, 1, 2, u("3"));
    t.ui.answers = {Yes};
    t.glo().ProcessingDisabled = 0;
    RecordingRunHost host;
    AutoPlacement placement(t.dict());
    placement.setCompactAll(true);
    placement.run(TaskKind::All, 0, host);
    EXPECT_TRUE(host.lines.join(u("\n"))
                    .contains(u("СОКРАЩЕНИЕ ОКОН ЗАКОНЧЕНО: окна учителей: было 1, стало 1; окна "
                                "групп: было 3, стало 1; перемещено уроков: 2,")))
        << host.lines.join(u("\n")).toStdString();
    EXPECT_TRUE(checkTimetable(t.dict()).isEmpty())
        << checkTimetable(t.dict()).join(u("\n")).toStdString();
    const Schedule a = s.byRow(first.rowId), b = s.byRow(second.rowId);
    EXPECT_EQ(a.DaySeqNumber, b.DaySeqNumber);
    EXPECT_EQ(std::abs(a.LessonNo.toInt() - b.LessonNo.toInt()), 1)
        << a.LessonNo.toStdString() << " " << b.LessonNo.toStdString();
    EXPECT_EQ(s.byRow(apart1.rowId).LessonNo, u("1"));
    EXPECT_EQ(s.byRow(apart2.rowId).LessonNo, u("3"));
    EXPECT_EQ(gapsOnDisk(t), u("1 1")); // 10-Б's and its teacher's gap on Tuesday
}
