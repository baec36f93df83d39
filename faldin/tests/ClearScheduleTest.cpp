#include "faldin/ClearSchedule.h"

#include "ombrel/Links.h"

#include "LessonChecker.h"
#include "PlanSchool.h"
#include "tamsel/TestFolder.h"

#include <QCryptographicHash>
#include <QFile>
#include <map>
#include <set>
#include <tuple>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace tamsel;
using lessontest::checkLessons;
using lessontest::lessonsSound;

namespace {

/// Places every lesson of the plan on the first day, the k-th lesson of each kind at bell k:
/// the halves of a pair on one day, the members of a link in one cell.
void placeEveryLesson(plantest::Plan& p) {
    auto sch = p.t.dict().access<Schedule>();
    Days day;
    day.DaySeqNumber = 1;
    day.DayName = QStringLiteral("Понедельник");
    ASSERT_TRUE(p.t.dict().access<Days>().insert(day).ok());
    for (int k = 1; k <= 10; ++k) {
        LessonBell b;
        b.LessonNo = QString::number(k);
        ASSERT_TRUE(p.t.dict().access<LessonBell>().insert(b).ok());
    }
    std::map<std::tuple<int, int, int>, int> next;
    for (Schedule s : sch.all(Schedule::ItemCode)) {
        s.Week = 1;
        s.DaySeqNumber = 1;
        s.LessonNo = QString::number(++next[{s.TrainingCourseItemCode, s.GroupCode, s.SubGroupNum}]);
        s.RoomCode = 0;
        ASSERT_TRUE(sch.update(s).ok());
    }
}

QByteArray digest(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

/// `n` lessons placed in cells with rooms and teachers, linked and from the plan, and one
/// restriction; every fourth lesson is unplaced, half of those with a room.
void placedSchool(TestFolder& t, int n) {
    FileUse s(t.store(), FileId::Schedule), r(t.store(), FileId::Restriction);
    auto sch = t.dict().access<Schedule>();
    for (int i = 0; i < n; ++i) {
        Schedule x;
        x.GroupCode = static_cast<Short>(1 + i % 3);
        x.SubGroupNum = static_cast<Short>(i % 2);
        x.ScienceCode = static_cast<Short>(1 + i);
        x.TeacherCode = static_cast<Short>(1 + i % 4);
        x.TrainingCourseItemCode = static_cast<Short>(10 + i);
        x.CoupledLesson = static_cast<Byte>(i % 2);
        x.LinkCode = static_cast<Short>(i % 5 == 0 ? 7 : 0);
        x.RoomCode = 100 + i;
        if (i % 4 != 3) { // some lessons were never placed, though some of those have a room
            x.Week = 1;
            x.DaySeqNumber = static_cast<Short>(1 + i % 5);
            x.LessonNo = QString::number(1 + i % 6);
        } else if (i % 8 == 7) {
            x.RoomCode = 0;
        }
        ASSERT_TRUE(sch.insert(x).ok());
    }
    ASSERT_TRUE(t.put(Restriction{.ObjectType = ObjectType::Teacher, .ObjectCode = 1, .Week = 1,
                                  .DaySeqNumber = 1, .LessonNo = QStringLiteral("1"),
                                  .Restriction = 2}).rowId);
}

std::vector<Schedule> lessons(TestFolder& t) {
    FileUse use(t.store(), FileId::Schedule);
    return t.dict().access<Schedule>().all(Schedule::ItemCode);
}

} // namespace

TEST(ClearSchedule, WithAndWithoutTeachersKeepsTheDemandLinksAndRestrictions) {
    for (Short withTeachers : {0, 1}) {
        TestFolder t;
        placedSchool(t, 40);
        const auto before = lessons(t);
        const QByteArray restrictions = digest(t.file(QStringLiteral("Restriction.db")));
        QList<int> posted;
        EXPECT_TRUE(faldin::ClearSchedule(t.dict(), withTeachers, [&](int e) { posted << e; }));
        const auto after = lessons(t);
        ASSERT_EQ(after.size(), before.size()) << "no lesson is lost";
        for (size_t i = 0; i < after.size(); ++i) {
            const Schedule& a = after[i];
            const Schedule& b = before[i];
            EXPECT_TRUE(a.isUnplaced());
            EXPECT_EQ(a.RoomCode, 0);
            EXPECT_EQ(a.TeacherCode, withTeachers ? 0 : b.TeacherCode);
            EXPECT_EQ(a.GroupCode, b.GroupCode);
            EXPECT_EQ(a.SubGroupNum, b.SubGroupNum);
            EXPECT_EQ(a.ScienceCode, b.ScienceCode);
            EXPECT_EQ(a.TrainingCourseItemCode, b.TrainingCourseItemCode);
            EXPECT_EQ(a.CoupledLesson, b.CoupledLesson);
            EXPECT_EQ(a.LinkCode, b.LinkCode);
        }
        EXPECT_EQ(posted, QList<int>{1024});
        EXPECT_EQ(t.progress.captions, QStringList{QStringLiteral("Очистка расписания")});
        EXPECT_EQ(t.progress.lastPercent, 100);
        t.store().closeAll();
        EXPECT_EQ(digest(t.file(QStringLiteral("Restriction.db"))), restrictions);
    }
}

TEST(ClearSchedule, ACancelKeepsWholeLinksAndPairsClearedAndStillRefreshes) {
    // A plan of single lessons, pairs and linked subgroups, every lesson placed; cancelled at
    // each point of the run in turn.
    for (int cancelAt : {3, 8, 13, 19}) {
        plantest::Plan p;
        p.item(1, 3, 4);
        p.item(2, 1, 2);
        ASSERT_EQ(ombrel::LinkAllGroupSubgroups(p.t.dict()), 2);
        placeEveryLesson(p);
        ASSERT_TRUE(lessonsSound(checkLessons(p.t.dict())));
        p.t.progress.updates = 0;
        p.t.progress.cancelAfter = cancelAt;
        QList<int> posted;
        EXPECT_FALSE(faldin::ClearSchedule(p.t.dict(), 0, [&](int e) { posted << e; }));
        EXPECT_EQ(posted, QList<int>{1024});
        int cleared = 0, placed = 0;
        for (const Schedule& s : p.t.dict().access<Schedule>().all(Schedule::ItemCode))
            (s.isUnplaced() ? cleared : placed)++;
        EXPECT_GE(cleared, cancelAt) << "what was cleared before the cancel stays cleared";
        EXPECT_GT(placed, 0);
        EXPECT_TRUE(lessonsSound(checkLessons(p.t.dict()))) << "cancelled at " << cancelAt;
        std::map<Short, std::set<bool>> linkPlaced; // a link is cleared whole or not at all
        for (const Schedule& s : p.t.dict().access<Schedule>().all(Schedule::ItemCode))
            if (s.LinkCode != 0) linkPlaced[s.LinkCode].insert(s.isUnplaced());
        for (const auto& [link, states] : linkPlaced)
            EXPECT_EQ(states.size(), 1u) << "link " << link << " cancelled at " << cancelAt;
    }
}

TEST(ClearSchedule, ARefusedWriteChangesNoByteAndAnotherWriterIsWaitedFor) {
    TestFolder t;
    placedSchool(t, 30);
    t.store().closeAll();
    const QString path = t.file(QStringLiteral("Schedule.db"));
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db,
                 "CREATE TRIGGER refuse BEFORE UPDATE ON SCHEDULE WHEN new.rowid = 17 "
                 "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const QByteArray before = digest(path);
    EXPECT_FALSE(faldin::ClearSchedule(t.dict(), 0));
    EXPECT_FALSE(t.ui.shown.isEmpty()) << "the failed write is reported";
    t.store().closeAll();
    EXPECT_EQ(digest(path), before);

    // Another process writing the folder: refused with a message, nothing changed.
    t.ui.clear();
    Dictionary other(t.path());
    WritingScope holding(other);
    ASSERT_TRUE(holding.ok());
    EXPECT_FALSE(faldin::ClearSchedule(t.dict(), 0, {}));
    EXPECT_TRUE(t.ui.last().contains(QStringLiteral("сейчас изменяет другая программа")));
    t.store().closeAll();
    EXPECT_EQ(digest(path), before);
}
