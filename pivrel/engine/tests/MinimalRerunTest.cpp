// The re-run with minimal changes on a planted school placed whole: without a change it moves
// nothing (the timetable file's bytes and rows stay); after a teacher's day is forbidden it
// takes that day's lessons off, keeps every rule by the independent checker, leaves pinned
// lessons (one of them now breaking the rule) where they were, and reports what moved; a stop
// leaves a sound timetable.

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

/// A medium school with its planted timetable (filling `share` of each group's week) placed,
/// every ninth unlinked lesson pinned.
void placedSchool(TestFolder& t, double share = 0.9) {
    sample::SampleOptions o;
    o.size = sample::SchoolSize::Medium;
    o.planted = share;
    o.placePlanted = true;
    QString error;
    ASSERT_TRUE(sample::GenerateSampleSchool(t.dict(), o, nullptr, &error)) << error.toStdString();
    ASSERT_TRUE(t.dict().loadSettings());
    FileUse use(t.store(), FileId::Schedule);
    auto sch = t.dict().access<Schedule>();
    int n = 0;
    for (Schedule s : sch.all(Schedule::ItemCode))
        if (!s.isUnplaced() && s.LinkCode == 0 && ++n % 9 == 0) {
            s.Pinned = 1;
            ASSERT_TRUE(sch.update(s).ok());
        }
}

/// The timetable's rows read with plain SQL: row id → "week/day/lesson/room pinned".
std::map<QString, QString> rows(TestFolder& t) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(t.store().diskName(FileId::Schedule)).constData(), &db,
                    SQLITE_OPEN_READONLY, nullptr);
    std::map<QString, QString> out;
    for (const QString& r : testsupport::sqlRows(
             db, "SELECT rowid, Week || '/' || DaySeqNumber || '/' || LessonNo || '/' || "
                 "RoomCode, Pinned FROM SCHEDULE"))
        out[r.section(QLatin1Char(' '), 0, 0)] = r.section(QLatin1Char(' '), 1);
    sqlite3_close(db);
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

/// The teacher with the most unlinked lessons on day 1 gets the whole day forbidden; one of
/// those lessons is pinned, the others not. Returns the teacher and the lessons of that day (row ids, the
/// pinned one first).
std::pair<Short, std::vector<RowId>> forbidBusiestTeacherDay(TestFolder& t) {
    FileUse sch(t.store(), FileId::Schedule), rst(t.store(), FileId::Restriction),
        bells(t.store(), FileId::LessonBell);
    std::map<Short, std::vector<Schedule>> day1;
    for (const Schedule& s : t.dict().access<Schedule>().all(Schedule::ItemCode))
        if (s.DaySeqNumber == 1 && s.LinkCode == 0 && s.TeacherCode > 0)
            day1[s.TeacherCode].push_back(s);
    auto busiest = std::max_element(day1.begin(), day1.end(), [](const auto& a, const auto& b) {
        return a.second.size() < b.second.size();
    });
    std::vector<Schedule>& lessons = busiest->second;
    std::sort(lessons.begin(), lessons.end(), [](const Schedule& a, const Schedule& b) {
        return a.Pinned > b.Pinned || (a.Pinned == b.Pinned && a.rowId < b.rowId);
    });
    for (Schedule& s : lessons) {
        s.Pinned = &s == &lessons.front() ? 1 : 0;
        EXPECT_TRUE(t.dict().access<Schedule>().update(s).ok());
    }
    for (const LessonBell& b : t.dict().access<LessonBell>().all(LessonBell::NumberKey)) {
        Restriction r;
        r.ObjectType = ObjectType::Teacher;
        r.ObjectCode = busiest->first;
        r.Week = 1;
        r.DaySeqNumber = 1;
        r.LessonNo = b.LessonNo;
        bool found = false;
        r = t.dict().access<Restriction>().fetch(Restriction::ObjectIdKey, r, &found);
        r.ObjectType = ObjectType::Teacher;
        r.ObjectCode = busiest->first;
        r.Week = 1;
        r.DaySeqNumber = 1;
        r.LessonNo = b.LessonNo;
        r.Restriction = RestrictionLevel::Forbidden;
        EXPECT_TRUE((found ? t.dict().access<Restriction>().update(r)
                           : t.dict().access<Restriction>().insert(r))
                        .ok());
    }
    std::vector<RowId> ids;
    for (const Schedule& s : lessons)
        ids.push_back(s.rowId);
    return {busiest->first, ids};
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

} // namespace

TEST(MinimalRerun, AfterNoChangeMovesNothing) {
    TestFolder t;
    placedSchool(t);
    QFile file(t.store().diskName(FileId::Schedule));
    t.store().closeAll();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    const auto before = rows(t);

    Rerun r;
    rerun(t, r);
    EXPECT_EQ(r.result.end, PlacementResult::End::Finished);
    EXPECT_TRUE(r.changes.moved.empty());
    EXPECT_TRUE(r.changes.pinnedBroken.empty());
    EXPECT_EQ(r.host.lines.last(),
              u("Итог: перемещено уроков: 0, из них снято из-за нарушения правил: 0, не "
                "размещено снова: 0."));
    t.store().closeAll();
    EXPECT_EQ(rows(t), before);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == bytes) << "the timetable file was written";
}

TEST(MinimalRerun, AForbiddenTeacherDayIsClearedKeepingEveryRuleAndEveryPin) {
    TestFolder t;
    placedSchool(t);
    const auto [teacher, dayLessons] = forbidBusiestTeacherDay(t);
    ASSERT_GE(dayLessons.size(), 2u);
    const auto before = rows(t);

    Rerun r;
    rerun(t, r);
    EXPECT_EQ(r.result.end, PlacementResult::End::Finished);
    const auto after = rows(t);
    expectPinsKept(before, after);
    // The one rule still broken is the pinned lesson's, listed and left.
    const QString pinned = QString::number(dayLessons.front());
    for (const QString& p : checkTimetable(t.dict()))
        EXPECT_TRUE(p.startsWith(u("lesson in a forbidden cell: ") + pinned + u(" ")))
            << p.toStdString();
    ASSERT_EQ(r.changes.pinnedBroken.size(), 1u);
    EXPECT_EQ(r.changes.pinnedBroken[0].lesson.rowId, dayLessons.front());
    EXPECT_EQ(r.changes.pinnedBroken[0].reason, u("запрещенное время учителя"));
    // The others left that day and are reported as moved, with where they went.
    for (size_t k = 1; k < dayLessons.size(); ++k)
        EXPECT_NE(after.at(QString::number(dayLessons[k])), before.at(QString::number(dayLessons[k])));
    EXPECT_EQ(r.changes.takenOff(), static_cast<int>(dayLessons.size()) - 1);
    EXPECT_GE(r.changes.moved.size(), dayLessons.size() - 1);
    for (const MovedLesson& m : r.changes.moved) {
        EXPECT_FALSE(m.from.Pinned);
        if (m.takenOff) {
            EXPECT_EQ(m.from.TeacherCode, teacher);
            EXPECT_EQ(m.from.DaySeqNumber, 1);
            EXPECT_TRUE(m.fromText.contains(u(", урок "))) << m.fromText.toStdString();
        }
    }
    EXPECT_EQ(r.host.lines.last(),
              u("Итог: перемещено уроков: %1, из них снято из-за нарушения правил: %2, не "
                "размещено снова: %3.")
                  .arg(r.changes.moved.size())
                  .arg(r.changes.takenOff())
                  .arg(r.changes.notPlacedAgain()));
    EXPECT_TRUE(r.host.lines.contains(u("Перемещенные уроки:")));
    // Run again, nothing changed since: nothing moves.
    Rerun again;
    rerun(t, again);
    EXPECT_TRUE(again.changes.moved.empty());
    EXPECT_EQ(rows(t), after);
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
