#include "tamsel/TestFolder.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace tamsel;

namespace {
QByteArray digest(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

void addLessons(TestFolder& t, int n) {
    FileUse use(t.store(), FileId::Schedule);
    for (int i = 0; i < n; ++i)
        ASSERT_TRUE(t.put(Schedule{.LessonNo = {}, .ScienceCode = Short(i + 1),
                                   .GroupCode = 1}).rowId);
}
} // namespace

TEST(Transaction, CommitsEveryFileTogether) {
    TestFolder t;
    addLessons(t, 3);
    {
        Transaction tx(t.store(), {FileId::Schedule, FileId::Restriction});
        ASSERT_TRUE(tx.active());
        auto sch = tx.access<Schedule>();
        auto rst = tx.access<Restriction>();
        for (Schedule s : sch.all(Schedule::GroupKey)) {
            s.TeacherCode = 7;
            ASSERT_TRUE(sch.update(s));
        }
        Restriction r;
        r.ObjectType = ObjectType::Teacher;
        r.ObjectCode = 7;
        r.Week = 1;
        r.DaySeqNumber = 1;
        r.LessonNo = QStringLiteral("1");
        r.Restriction = 2;
        ASSERT_TRUE(rst.insert(r));
        ASSERT_TRUE(tx.commit());
    }
    FileUse s(t.store(), FileId::Schedule), r(t.store(), FileId::Restriction);
    for (const Schedule& x : t.dict().access<Schedule>().all(Schedule::GroupKey))
        EXPECT_EQ(x.TeacherCode, 7);
    EXPECT_EQ(t.dict().access<Restriction>().count(), 1);
}

TEST(Transaction, FailureMidwayLeavesEveryFileByteForByteUnchanged) {
    TestFolder t;
    addLessons(t, 50);
    { FileUse r(t.store(), FileId::Restriction); }
    t.store().closeAll();
    const QString schPath = t.store().diskName(FileId::Schedule);
    const QString rstPath = t.store().diskName(FileId::Restriction);
    const QByteArray schBefore = digest(schPath), rstBefore = digest(rstPath);
    {
        Transaction tx(t.store(), {FileId::Schedule, FileId::Restriction});
        ASSERT_TRUE(tx.active());
        auto sch = tx.access<Schedule>();
        auto rst = tx.access<Restriction>();
        int n = 0;
        for (Schedule s : sch.all(Schedule::GroupKey)) {
            if (++n == 25) break; // the failure comes in the middle
            ASSERT_TRUE(sch.remove(s));
            Restriction r;
            r.ObjectType = 1;
            r.ObjectCode = static_cast<Short>(n);
            ASSERT_TRUE(rst.insert(r));
        }
        // A duplicate refuses the next write; the operation gives up without committing.
        Restriction dup;
        dup.ObjectType = 1;
        dup.ObjectCode = 1;
        EXPECT_EQ(rst.insert(dup).status, Outcome::Status::Duplicate);
    }
    t.store().closeAll();
    EXPECT_EQ(digest(schPath), schBefore);
    EXPECT_EQ(digest(rstPath), rstBefore);
}

TEST(Transaction, DiskFullRollsBackAndNamesTheCause) {
    TestFolder t;
    addLessons(t, 5);
    { FileUse r(t.store(), FileId::Restriction); }
    t.store().closeAll();
    const QString rstPath = t.store().diskName(FileId::Restriction);
    const QByteArray before = digest(rstPath);
    Outcome failure;
    {
        Transaction tx(t.store(), {FileId::Schedule, FileId::Restriction});
        ASSERT_TRUE(tx.active());
        // Make the restriction file "full": it may not grow past its present size.
        sqlite3* db = tx.table(FileId::Restriction).connection();
        ASSERT_EQ(sqlite3_exec(db, "PRAGMA f1.max_page_count=1", nullptr, nullptr, nullptr),
                  SQLITE_OK);
        auto rst = tx.access<Restriction>();
        for (int i = 1; i <= 2000 && failure.ok(); ++i) {
            Restriction r;
            r.ObjectType = 4;
            r.ObjectCode = static_cast<Short>(i);
            r.LessonNo = QStringLiteral("1");
            failure = rst.insert(r);
        }
    }
    ASSERT_FALSE(failure.ok());
    EXPECT_EQ(failure.msgNo, Msg::AddError);
    EXPECT_EQ(ErrorReporter::text(failure.msgNo, failure.args),
              QString::fromUtf8("Возникла ошибка при создании записи. Ошибка: Ошибка драйвера баз "
                                "данных: диск переполнен."));
    t.store().closeAll();
    EXPECT_EQ(digest(rstPath), before);
}

TEST(Transaction, WaitsForAnotherWriterThenGivesUpWithMessage21) {
    TestFolder t;
    addLessons(t, 1);
    Transaction first(t.store(), {FileId::Schedule});
    ASSERT_TRUE(first.active());
    Transaction second(t.store(), {FileId::Schedule}, 50);
    EXPECT_FALSE(second.active());
    EXPECT_EQ(second.error().msgNo, Msg::TransactionCancelled);
    EXPECT_EQ(ErrorReporter::text(21, second.error().args),
              QString::fromUtf8("Ошибка: (Файл уже заблокирован) невозможно выполнить транзакцию "
                                "для SCHEDULE."));
}

TEST(Transaction, Message21NamesTheFileThatIsLocked) {
    TestFolder t;
    addLessons(t, 1);
    {
        FileUse use(t.store(), FileId::Restriction); // exists, unlocked
    }
    Transaction holder(t.store(), {FileId::Schedule});
    ASSERT_TRUE(holder.active());
    // The locked file is the second of the transaction; the message names it, not the first.
    Transaction second(t.store(), {FileId::Restriction, FileId::Schedule}, 50);
    EXPECT_FALSE(second.active());
    EXPECT_EQ(second.error().args.file, QStringLiteral("SCHEDULE"));
}

TEST(Store, AFileThatFailedToOpenFailsEveryOperationInsteadOfCrashing) {
    TestFolder t;
    QFile zero(t.file(QStringLiteral("Schedule.db")));
    ASSERT_TRUE(zero.open(QIODevice::WriteOnly));
    zero.close();
    FileUse use(t.store(), FileId::Schedule);
    ASSERT_FALSE(use.ok());
    const int shown = t.ui.shown.size();
    EXPECT_EQ(shown, 1) << "the open failure names the file";
    auto sch = t.dict().access<Schedule>();
    Schedule s;
    bool found = true;
    sch.fetch(Schedule::ItemCode, s, &found);
    EXPECT_FALSE(found);
    EXPECT_TRUE(sch.all(Schedule::ItemCode).empty());
    EXPECT_FALSE(sch.readOk());
    int visited = 0;
    EXPECT_FALSE(
        sch.forEach(Schedule::ItemCode, s, 0, [&](const Schedule&) { return ++visited, true; })
            .ok());
    EXPECT_EQ(visited, 0);
    EXPECT_EQ(sch.count(), 0);
    EXPECT_FALSE(sch.insert(s).ok());
    EXPECT_FALSE(sch.update(s).ok());
    EXPECT_FALSE(sch.remove(s).ok());
    // The reads' failure is shown once, not once per read.
    int notOpen = 0;
    for (const QString& text : t.ui.texts())
        notOpen += text.contains(QString::fromUtf8("Файл не был открыт"));
    EXPECT_GE(notOpen, 1);
    EXPECT_LE(notOpen, 4); // the read once, and each refused write
    EXPECT_EQ(QFileInfo(t.file(QStringLiteral("Schedule.db"))).size(), 0);
    // A transaction over a file it does not hold fails the same way.
    Transaction tx(t.store(), {FileId::Restriction});
    EXPECT_FALSE(tx.table(FileId::Schedule).isOpen());
    Row r;
    EXPECT_FALSE(tx.table(FileId::Schedule).fetchRowId(1, r));
}

TEST(WritingLock, ALockFileThatNamesNobodyIsTakenOverOnceItIsOld) {
    TestFolder t;
    const QString path = t.file(WritingLock::fileName());
    QFile empty(path); // a holder killed while it wrote its lock file
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_FALSE(t.dict().writingLock().acquire(0)) << "a fresh one might still be written";
    ASSERT_TRUE(empty.open(QIODevice::Append));
    ASSERT_TRUE(empty.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    empty.close();
    EXPECT_TRUE(t.dict().writingLock().acquire(0));
    t.dict().writingLock().release();
    EXPECT_FALSE(QFileInfo::exists(path));
}
