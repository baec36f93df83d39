#include "tamsel/TestFolder.h"

#include <QCryptographicHash>
#include <QFile>
#include "FileBytes.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace tamsel;
using tamsel::test::contents;
using tamsel::test::write;

namespace {
QString u(const char* s) { return QString::fromUtf8(s); }

/// Opening must fail with message 23 naming the file, and leave the file as it was.
void expectRefused(TestFolder& t, FileId id, const QString& errorText) {
    const QString path = t.store().diskName(id);
    const QByteArray before = contents(path);
    EXPECT_FALSE(t.store().file(id).open());
    ASSERT_EQ(t.ui.shown.size(), 1);
    EXPECT_EQ(t.ui.shown[0].caption, u("Ошибка доступа к файлу"));
    EXPECT_EQ(t.ui.shown[0].text, u("Файл (") + path + u(") не может быть открыт.  Ошибка: ") +
                                      errorText + QLatin1Char('.'));
    EXPECT_EQ(contents(path), before) << "a file that cannot be used is never overwritten";
    EXPECT_FALSE(QFile::exists(path + QStringLiteral("-journal")));
}
} // namespace

TEST(Failure, MissingFileIsCreatedEmpty) {
    TestFolder t;
    FileUse use(t.store(), FileId::Days);
    ASSERT_TRUE(use);
    EXPECT_TRUE(QFile::exists(t.file(QStringLiteral("Days.db"))));
    EXPECT_EQ(t.dict().access<Days>().count(), 0);
    EXPECT_TRUE(t.ui.shown.isEmpty());
}

TEST(Failure, NotADatabase) {
    TestFolder t;
    write(t.store().diskName(FileId::Teacher), QByteArray("Это не база данных, а текст.\n").repeated(200));
    expectRefused(t, FileId::Teacher, u("Неверная структура файла"));
}

// The deep check may run for many files at once before they are opened; a file it cannot
// pass is still refused by its own open, with the same message, and no file is created.
TEST(Failure, FilesCheckedAheadStillReportTheirDamage) {
    TestFolder t;
    {
        FileUse teachers(t.store(), FileId::Teacher);
        FileUse rooms(t.store(), FileId::Room);
    }
    t.store().closeAll();
    write(t.store().diskName(FileId::Group), QByteArray("Это не база данных, а текст.\n").repeated(200));
    Globals glo;
    RecordingUserInterface ui;
    ErrorReporter errors(ui);
    Store store(glo, errors, t.path()); // a new process: nothing checked yet
    store.checkAhead({FileId::Teacher, FileId::Room, FileId::Group, FileId::Stream});
    EXPECT_TRUE(store.file(FileId::Teacher).checked());
    EXPECT_TRUE(store.file(FileId::Room).checked());
    EXPECT_FALSE(store.file(FileId::Group).checked());
    EXPECT_FALSE(QFile::exists(store.diskName(FileId::Stream)));
    EXPECT_TRUE(ui.shown.isEmpty()) << "the check ahead reports nothing itself";
    EXPECT_TRUE(store.file(FileId::Teacher).open());
    EXPECT_FALSE(store.file(FileId::Group).open());
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0].text, u("Файл (") + store.diskName(FileId::Group) +
                                    u(") не может быть открыт.  Ошибка: Неверная структура файла."));
}

TEST(Failure, ZeroLengthFile) {
    TestFolder t;
    write(t.store().diskName(FileId::Group), QByteArray());
    expectRefused(t, FileId::Group, u("Неверная структура файла: файл пуст"));
}

TEST(Failure, TruncatedFile) {
    TestFolder t;
    ASSERT_EQ(t.records<Schedule>(3000,
                                  [](Schedule& s, int i) {
                                      s.GroupCode = static_cast<Short>(i % 40);
                                      s.ScienceCode = static_cast<Short>(i);
                                      s.LessonNo = QString::number(i % 8);
                                  })
                  .size(),
              3000u);
    t.store().closeAll();
    const QString path = t.store().diskName(FileId::Schedule);
    QByteArray bytes = contents(path);
    ASSERT_GT(bytes.size(), 40000);
    write(path, bytes.left(bytes.size() / 2));
    // A fresh process would check the file on its first open.
    Globals glo;
    RecordingUserInterface ui;
    ErrorReporter errors(ui);
    Store store(glo, errors, t.path());
    const QByteArray before = contents(path);
    EXPECT_FALSE(store.file(FileId::Schedule).open());
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0].caption, u("Ошибка доступа к файлу"));
    EXPECT_TRUE(ui.shown[0].text.startsWith(u("Файл (") + path + u(") не может быть открыт."))) 
        << ui.shown[0].text.toStdString();
    EXPECT_EQ(contents(path), before);
}

TEST(Failure, ForeignDatabaseIsNotAltered) {
    TestFolder t;
    const QString path = t.store().diskName(FileId::Room);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE notes(x); INSERT INTO notes VALUES(1)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    expectRefused(t, FileId::Room, u("Неверная структура файла"));
}

TEST(Failure, MissingKeysAreRebuilt) {
    TestFolder t;
    {
        FileUse use(t.store(), FileId::Teacher);
        auto teachers = t.dict().access<Teacher>();
        Teacher a = teachers.prime();
        a.TeacherName = u("Орлова");
        ASSERT_TRUE(teachers.insert(a));
    }
    t.store().closeAll();
    const QString path = t.store().diskName(FileId::Teacher);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "DROP INDEX \"Tch_TeacherNameKey\"", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    FileUse use(t.store(), FileId::Teacher);
    ASSERT_TRUE(use);
    EXPECT_TRUE(t.ui.shown.isEmpty());
    auto teachers = t.dict().access<Teacher>();
    Teacher dup = teachers.prime();
    dup.TeacherName = u("ОРЛОВА");
    EXPECT_EQ(teachers.insert(dup).status, Outcome::Status::Duplicate);
}

TEST(Failure, LockedFileIsReportedAfterOneRetry) {
    TestFolder t;
    {
        FileUse use(t.store(), FileId::Stream);
    }
    t.store().closeAll();
    const QString path = t.store().diskName(FileId::Stream);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    Globals glo;
    RecordingUserInterface ui;
    ErrorReporter errors(ui);
    Store store(glo, errors, t.path());
    // Each of the two tries waits its busy time; the test need not wait the program's two seconds.
    qputenv("KORVEL_BUSY_WAIT_MS", "100");
    EXPECT_FALSE(store.file(FileId::Stream).open());
    qunsetenv("KORVEL_BUSY_WAIT_MS");
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0].text, u("Файл (") + path +
                                    u(") не может быть открыт.  Ошибка: Файл уже заблокирован."));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(store.file(FileId::Stream).open()) << "usable again once the lock is gone";
}

TEST(Failure, MissingFolderGivesMessage10) {
    TestFolder t;
    t.glo().FN[index(FileId::Days)] = t.file(QStringLiteral("no/such/folder/Days.db"));
    t.store().refreshPaths();
    EXPECT_FALSE(t.store().file(FileId::Days).open());
    ASSERT_EQ(t.ui.shown.size(), 1);
    EXPECT_EQ(t.ui.shown[0].caption, u("Ошибка создания файла"));
    EXPECT_EQ(t.ui.shown[0].text, u("Ошибка: (Путь не найден) создания ") +
                                      t.file(QStringLiteral("no/such/folder/Days.db")) +
                                      QLatin1Char('.'));
}
