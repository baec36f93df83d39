#include "tamsel/Snapshots.h"
#include "tamsel/TestFolder.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace tamsel;

namespace {
QString u(const char* s) { return QString::fromUtf8(s); }
}

TEST(Store, AutoNumberingStartsAtOneAndReusesTheHighestDeletedCode) {
    TestFolder t;
    FileUse use(t.store(), FileId::Teacher);
    ASSERT_TRUE(use);
    auto teachers = t.dict().access<Teacher>();

    Teacher a = teachers.prime();
    EXPECT_EQ(a.TeacherCode, 1);
    EXPECT_EQ(a.TableNo, 1);
    EXPECT_EQ(a.ObjectType, ObjectType::Teacher);
    a.TeacherName = u("Иванова А.П.");
    ASSERT_TRUE(teachers.insert(a));

    Teacher b = teachers.prime();
    EXPECT_EQ(b.TeacherCode, 2);
    EXPECT_EQ(b.TableNo, 2);
    b.TeacherName = u("Петров И.С.");
    ASSERT_TRUE(teachers.insert(b));

    ASSERT_TRUE(teachers.remove(b));
    Teacher c = teachers.prime();
    EXPECT_EQ(c.TeacherCode, 2);
    EXPECT_EQ(c.TableNo, 2);
}

TEST(Store, PrimingDefaults) {
    TestFolder t;
    FileUse g(t.store(), FileId::Group), l(t.store(), FileId::LessonBell),
        r(t.store(), FileId::Room), s(t.store(), FileId::Science), a(t.store(), FileId::Archive);
    const Group grp = t.dict().access<Group>().prime();
    EXPECT_EQ(grp.ObjectType, 1);
    EXPECT_EQ(grp.Defis, QStringLiteral("-"));
    EXPECT_EQ(grp.GroupCode, 1);
    const LessonBell bell = t.dict().access<LessonBell>().prime();
    EXPECT_EQ(bell.Begining, 2880001);
    EXPECT_EQ(bell.Ending, 2880001);
    EXPECT_EQ(t.dict().access<Room>().prime().ObjectType, 2);
    EXPECT_EQ(t.dict().access<Science>().prime().ObjectType, 3);
    EXPECT_EQ(t.dict().access<Archive>().prime().WeeksInCycle, 1);
    // LESSONBELL's key is not auto-numbered.
    EXPECT_TRUE(bell.LessonNo.isEmpty());
}

TEST(Store, UniqueKeysRefuseWithTheKeyDescription) {
    TestFolder t;
    FileUse g(t.store(), FileId::Group), tch(t.store(), FileId::Teacher),
        room(t.store(), FileId::Room);
    auto groups = t.dict().access<Group>();
    Group g1 = groups.prime();
    g1.Course = QStringLiteral("5");
    g1.Literal = u("А");
    g1.StreamCode = 1;
    ASSERT_TRUE(groups.insert(g1));
    Group g2 = groups.prime();
    g2.Course = QStringLiteral("5");
    g2.Literal = u("Б");
    g2.StreamCode = 1;
    EXPECT_TRUE(groups.insert(g2)) << "two groups of one course in one stream are allowed";
    Group g3 = groups.prime();
    g3.Course = QStringLiteral("5");
    g3.Literal = u("а"); // the same letter in small case
    const Outcome o = groups.insert(g3);
    EXPECT_EQ(o.status, Outcome::Status::Duplicate);
    ASSERT_EQ(t.ui.shown.size(), 1);
    EXPECT_EQ(t.ui.shown[0].caption, u("Ошибка дублирования в ключе"));
    EXPECT_EQ(t.ui.shown[0].text,
              u("Добавление этой записи создает дублирование для ключа: По наименованию"));
    EXPECT_EQ(groups.count(), 2);

    t.ui.clear();
    auto teachers = t.dict().access<Teacher>();
    Teacher a = teachers.prime();
    a.TeacherName = u("Сидоров П.П.");
    a.SpecialityCode = 3;
    ASSERT_TRUE(teachers.insert(a));
    Teacher b = teachers.prime();
    b.TeacherName = u("Сидоров П.П.");
    b.SpecialityCode = 3;
    EXPECT_FALSE(teachers.insert(b));
    EXPECT_EQ(t.ui.last(), u("Добавление этой записи создает дублирование для ключа: по фамилии"));
    b.TeacherName = u("Кузнецова Е.В.");
    EXPECT_TRUE(teachers.insert(b)) << "two teachers of one speciality are allowed";

    t.ui.clear();
    auto rooms = t.dict().access<Room>();
    Room r1 = rooms.prime();
    r1.RoomNo = QStringLiteral("101");
    r1.RoomTypePtr = 1;
    ASSERT_TRUE(rooms.insert(r1));
    Room r2 = rooms.prime();
    r2.RoomNo = QStringLiteral("101");
    r2.RoomTypePtr = 2;
    EXPECT_FALSE(rooms.insert(r2));
    EXPECT_EQ(t.ui.last(), u("Добавление этой записи создает дублирование для ключа: По номерам"));

    // An update into another record's key is refused as well, and the file keeps its data.
    t.ui.clear();
    Group moved = groups.fetch(Group::GroupCodeKey, g2);
    moved.Literal = u("А");
    EXPECT_EQ(groups.update(moved).status, Outcome::Status::Duplicate);
    EXPECT_EQ(groups.fetch(Group::GroupCodeKey, g2).Literal, u("Б"));
}

TEST(Store, FetchAndKeyOrder) {
    TestFolder t;
    FileUse use(t.store(), FileId::Teacher);
    auto teachers = t.dict().access<Teacher>();
    for (const char* n : {"Ёлкина", "Евсеев", "Жуков", "абрамов", "Борисов", "Zimmer"}) {
        Teacher x = teachers.prime();
        x.TeacherName = u(n);
        ASSERT_TRUE(teachers.insert(x));
    }
    QStringList order;
    for (const Teacher& x : teachers.all(Teacher::TeacherNameKey)) order << x.TeacherName;
    EXPECT_EQ(order, (QStringList{u("Zimmer"), u("абрамов"), u("Борисов"), u("Евсеев"),
                                  u("Ёлкина"), u("Жуков")}));

    Teacher key;
    key.TeacherName = u("БОРИСОВ");
    bool found = false;
    const Teacher b = teachers.fetch(Teacher::TeacherNameKey, key, &found);
    EXPECT_TRUE(found) << "name keys ignore case";
    EXPECT_EQ(b.TeacherName, u("Борисов"));

    key.TeacherName = u("Нет такого");
    const Teacher none = teachers.fetch(Teacher::TeacherNameKey, key, &found);
    EXPECT_FALSE(found);
    EXPECT_EQ(none.TeacherCode, 0);
    EXPECT_TRUE(none.TeacherName.isEmpty());
    EXPECT_EQ(none.rowId, 0);

    // Reading from a position.
    key.TeacherName = u("Е");
    QStringList fromE;
    for (const Teacher& x : teachers.read(Teacher::TeacherNameKey, key)) fromE << x.TeacherName;
    EXPECT_EQ(fromE, (QStringList{u("Евсеев"), u("Ёлкина"), u("Жуков")}));
}

TEST(Store, ReadWhileLeadingComponentsMatch) {
    TestFolder t;
    FileUse use(t.store(), FileId::Schedule);
    auto sch = t.dict().access<Schedule>();
    for (int g = 1; g <= 3; ++g)
        for (int d = 1; d <= 4; ++d) {
            Schedule s;
            s.GroupCode = static_cast<Short>(g);
            s.Week = 1;
            s.DaySeqNumber = static_cast<Short>(5 - d);
            s.LessonNo = QString::number(d);
            ASSERT_TRUE(sch.insert(s));
        }
    Schedule from;
    from.GroupCode = 2;
    const auto rows = sch.read(Schedule::GroupDayLessKey, from, 1);
    ASSERT_EQ(rows.size(), 4u);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].GroupCode, 2);
        EXPECT_EQ(rows[i].DaySeqNumber, static_cast<Short>(i + 1));
    }
    // From an exact stored position inside the group: that record first.
    from.Week = 1;
    from.DaySeqNumber = 3;
    from.LessonNo = QStringLiteral("2");
    const auto fromThree = sch.read(Schedule::GroupDayLessKey, from, 1);
    ASSERT_EQ(fromThree.size(), 2u);
    EXPECT_EQ(fromThree.front().DaySeqNumber, 3);
    EXPECT_EQ(fromThree.front().LessonNo, QStringLiteral("2"));
}

TEST(Store, DescendingKeyNewestFirst) {
    TestFolder t;
    FileUse use(t.store(), FileId::Archive);
    auto arc = t.dict().access<Archive>();
    const int dates[] = {100, 300, 200};
    for (int d : dates) {
        Archive a = arc.prime();
        a.BriefDescription = QStringLiteral("A%1").arg(d);
        a.SaveDate = d;
        a.SaveTime = 5;
        a.ScheduleFile = QByteArray("\x00\x01\x02", 3);
        ASSERT_TRUE(arc.insert(a));
    }
    QList<int> order;
    for (const Archive& a : arc.all(Archive::DateTimeKey)) order << a.SaveDate;
    EXPECT_EQ(order, (QList<int>{300, 200, 100}));
    EXPECT_EQ(arc.all(Archive::DateTimeKey)[0].ScheduleFile, QByteArray("\x00\x01\x02", 3));
    Archive pos;
    pos.SaveDate = 250;
    order.clear();
    for (const Archive& a : arc.read(Archive::DateTimeKey, pos)) order << a.SaveDate;
    EXPECT_EQ(order, (QList<int>{200, 100}));
    // From an exact stored position: that record comes first; on a later time of the same
    // date (descending too) it still does, on an earlier one it does not.
    for (const auto& [time, expected] :
         {std::pair<int, QList<int>>{5, {200, 100}}, {6, {200, 100}}, {4, {100}}}) {
        pos.SaveDate = 200;
        pos.SaveTime = time;
        order.clear();
        for (const Archive& a : arc.read(Archive::DateTimeKey, pos)) order << a.SaveDate;
        EXPECT_EQ(order, expected) << "time " << time;
    }
}

TEST(Store, AliasReadsAreIndependent) {
    TestFolder t;
    FileUse use(t.store(), FileId::Science);
    auto sci = t.dict().access<Science>();
    Science a = sci.prime();
    a.Science = u("Алгебра");
    ASSERT_TRUE(sci.insert(a));
    Science b = sci.prime();
    b.Science = u("Физика");
    ASSERT_TRUE(sci.insert(b));

    // The alias is a second buffer and key set on the same file.
    EXPECT_EQ(&t.store().file(FileId::ScienceAlias1), &t.store().file(FileId::Science));
    EXPECT_EQ(fileDef(FileId::ScienceAlias1).keys[Science::ObjectIdKey].description,
              u("SCI1:ObjectIdKey"));
    EXPECT_EQ(fileDef(FileId::ScienceAlias1).keys[Science::ScienceKey].label,
              u("Sci1:ScienceKey"));
    Science buffer = sci.fetch(Science::ScienceCodeKey, a);
    Science alias1 = sci.fetch(Science::ScienceCodeKey, b);
    EXPECT_EQ(buffer.Science, u("Алгебра"));
    EXPECT_EQ(alias1.Science, u("Физика"));
    // Two interleaved scans of one file do not disturb each other.
    QStringList seen;
    sci.forEach(Science::ScienceKey, Science{}, 0, [&](const Science& outer) {
        sci.forEach(Science::ScienceCodeKey, Science{}, 0, [&](const Science& inner) {
            seen << outer.Science + QLatin1Char('/') + inner.Science;
            return true;
        });
        return true;
    });
    EXPECT_EQ(seen.size(), 4);
}

TEST(Store, TextFieldsAreFittedToTheirWidth) {
    TestFolder t;
    FileUse use(t.store(), FileId::Room);
    auto rooms = t.dict().access<Room>();
    Room r = rooms.prime();
    r.RoomNo = QStringLiteral("Спортзал 2  ");
    ASSERT_TRUE(rooms.insert(r));
    EXPECT_EQ(rooms.fetch(Room::CodeKey, r).RoomNo, u("Спортза"));
}

TEST(Store, FilesOpenInTheStockShellWithNamedTablesAndIndexes) {
    TestFolder t;
    {
        FileUse use(t.store(), FileId::Schedule);
        ASSERT_TRUE(use);
    }
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {t.file(QStringLiteral("Schedule.db")), QStringLiteral(".schema")});
    if (!p.waitForStarted()) GTEST_SKIP() << "sqlite3 shell not installed";
    p.waitForFinished();
    const QString schema = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(schema.contains(QStringLiteral("\"SCHEDULE\" (\"Week\" INTEGER")));
    EXPECT_TRUE(schema.contains(QStringLiteral("\"DaySeqNumber\" INTEGER")));
    EXPECT_TRUE(schema.contains(QStringLiteral("\"Sch_TeacherKey\"")));
    EXPECT_TRUE(schema.contains(QStringLiteral("\"Sch_WeekDayLessonKey\"")));
}

TEST(Store, UseCountingAndDefaultNames) {
    TestFolder t;
    DataFile& f = t.store().file(FileId::Teacher);
    EXPECT_TRUE(f.path().endsWith(QStringLiteral("/Teacher.db")));
    EXPECT_TRUE(f.open());
    EXPECT_TRUE(f.open());
    EXPECT_EQ(f.users(), 2);
    f.close();
    EXPECT_TRUE(f.isOpen());
    f.close();
    EXPECT_FALSE(f.isOpen());

    // An FN: setting moves the file; a relative name is taken from the working folder.
    t.glo().FN[index(FileId::Teacher)] = QStringLiteral("data\\Учителя.dat");
    QDir(t.path()).mkdir(QStringLiteral("data"));
    t.store().refreshPaths();
    EXPECT_EQ(f.path(), t.file(u("data/Учителя.dat")));
    EXPECT_TRUE(f.open());
    f.close();
    EXPECT_TRUE(QFile::exists(t.file(u("data/Учителя.dat"))));
}

// A timetable written before lessons could be pinned opens as it was, gains the column with
// every lesson unpinned, and an archived image of it passes the restore's check.
TEST(Store, AnOlderTimetableFileGainsThePinColumnAndKeepsItsLessons) {
    TestFolder t;
    const QString path = t.file(QStringLiteral("Schedule.db"));
    {
        FileUse use(t.store(), FileId::Schedule);
        ASSERT_TRUE(t.put(Schedule{.Week = 1, .DaySeqNumber = 2, .LessonNo = QStringLiteral("3"),
                                   .TeacherCode = 7}).rowId);
    }
    t.store().closeAll();
    QProcess shell;
    shell.start(QStringLiteral("sqlite3"),
                {path, QStringLiteral("ALTER TABLE SCHEDULE DROP COLUMN Pinned")});
    if (!shell.waitForStarted()) GTEST_SKIP() << "sqlite3 shell not installed";
    shell.waitForFinished();
    ASSERT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_TRUE(CheckSnapshot(FileId::Schedule, old.readAll()).ok());
    old.close();

    FileUse use(t.store(), FileId::Schedule);
    ASSERT_TRUE(use);
    auto lessons = t.dict().access<Schedule>().all(Schedule::TeacherKey);
    ASSERT_EQ(lessons.size(), 1u);
    EXPECT_EQ(lessons[0].TeacherCode, 7);
    EXPECT_EQ(lessons[0].Pinned, 0);
    lessons[0].Pinned = 1;
    ASSERT_TRUE(t.dict().access<Schedule>().update(lessons[0]).ok());
    EXPECT_EQ(t.dict().access<Schedule>().byRowId(lessons[0].rowId).Pinned, 1);
}
