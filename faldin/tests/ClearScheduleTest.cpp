#include "faldin/ClearSchedule.h"

#include "tamsel/TestFolder.h"

#include <QCryptographicHash>
#include <QFile>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace tamsel;

namespace {

QByteArray digest(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

/// `n` lessons placed in cells with rooms and teachers, linked and from the plan, and one
/// restriction.
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
        if (i % 4 != 3) { // some lessons were never placed
            x.Week = 1;
            x.DaySeqNumber = static_cast<Short>(1 + i % 5);
            x.LessonNo = QString::number(1 + i % 6);
            x.RoomCode = 100 + i;
        }
        ASSERT_TRUE(sch.insert(x).ok());
    }
    Restriction rst;
    rst.ObjectType = ObjectType::Teacher;
    rst.ObjectCode = 1;
    rst.Week = 1;
    rst.DaySeqNumber = 1;
    rst.LessonNo = QStringLiteral("1");
    rst.Restriction = 2;
    ASSERT_TRUE(t.dict().access<Restriction>().insert(rst).ok());
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

TEST(ClearSchedule, CancelKeepsWhatWasClearedAndStillRefreshes) {
    TestFolder t;
    placedSchool(t, 200);
    t.progress.cancelAfter = 20;
    QList<int> posted;
    EXPECT_FALSE(faldin::ClearSchedule(t.dict(), 0, [&](int e) { posted << e; }));
    int cleared = 0, placed = 0;
    for (const Schedule& s : lessons(t))
        (s.isUnplaced() ? cleared : placed)++;
    EXPECT_GT(cleared, 50);
    EXPECT_GT(placed, 0);
    EXPECT_EQ(posted, QList<int>{1024});
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
