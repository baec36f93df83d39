#include "SchoolFixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <sqlite3.h>

using namespace tamsel;
using namespace tamsel::test;

namespace {

/// A small timetable: two groups with a plan, a teacher, rooms, days, bells, some lessons
/// placed, and restrictions on every kind of object.
struct Timetable : School {
    Short st;
    Group a, b;
    Science math, art;
    TrainingCourse mathItem, artItem;
    Teacher ivanova, petrov;
    Room r101, r202;
    Days mon, tue;

    Timetable() {
        st = stream("Общий");
        course("5");
        a = group("5", "А", st);
        b = group("5", "Б", st);
        math = science("Математика");
        art = science("ИЗО");
        mathItem = item(math, "5", st, 2, 2);
        artItem = item(art, "5", st, 1, 0);
        r101 = room("101");
        r202 = room("202");
        ivanova = teacher("Иванова А.П.", static_cast<Short>(r101.RoomCode));
        petrov = teacher("Петров И.С.");
        mon = day("Понедельник");
        tue = day("Вторник");
        bell("1");
        bell("2");
        // Group A's math with Ivanova in 202, two lessons placed on Monday, one on Tuesday.
        int placed = 0;
        setLessons(
            [&](const Schedule& l) {
                return l.GroupCode == a.GroupCode && l.ScienceCode == math.ScienceCode;
            },
            [&](Schedule& l) {
                l.TeacherCode = ivanova.TeacherCode;
                l.RoomCode = r202.RoomCode;
                if (placed < 3) {
                    l.Week = 1;
                    l.DaySeqNumber = placed < 2 ? mon.DaySeqNumber : tue.DaySeqNumber;
                    l.LessonNo = QString::number(placed % 2 + 1);
                }
                ++placed;
            });
        restrict(ObjectType::Teacher, ivanova.TeacherCode, 1, mon.DaySeqNumber, "1", 2);
        restrict(ObjectType::Teacher, petrov.TeacherCode, 1, mon.DaySeqNumber, "1", 1);
        restrict(ObjectType::Group, a.GroupCode, 1, tue.DaySeqNumber, "2", 2);
        restrict(ObjectType::Room, static_cast<Short>(r202.RoomCode), 1, tue.DaySeqNumber, "1", 1);
        restrict(ObjectType::Science, math.ScienceCode, 1, mon.DaySeqNumber, "2", 1);
        t.ui.clear();
    }

    int count(const std::function<bool(const Schedule&)>& pred) {
        int n = 0;
        for (const Schedule& l : lessons())
            n += pred(l) ? 1 : 0;
        return n;
    }
};

/// Creates every missing data file, so that only real changes show in a digest.
void createAllFiles(TestFolder& t) {
    for (int i = 0; i < PhysicalFileCount; ++i)
        FileUse use(t.store(), static_cast<FileId>(i));
    t.store().closeAll();
}

QByteArray folderDigest(const QString& dir) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    for (const QString& name :
         QDir(dir).entryList({QStringLiteral("*.db")}, QDir::Files, QDir::Name)) {
        QFile f(QDir(dir).filePath(name));
        f.open(QIODevice::ReadOnly);
        h.addData(name.toUtf8());
        h.addData(f.readAll());
    }
    return h.result();
}

} // namespace

TEST(Relations, DeletingATeacherKeepsLessonsAndDropsRestrictions) {
    Timetable s;
    const size_t before = s.lessons().size();
    ASSERT_TRUE(s.rel.remove(s.ivanova));
    EXPECT_EQ(s.lessons().size(), before);
    EXPECT_EQ(s.count([&](const Schedule& l) { return l.TeacherCode == s.ivanova.TeacherCode; }),
              0);
    EXPECT_EQ(s.count([&](const Schedule& l) { return l.Week == 1 && l.TeacherCode == 0; }), 3)
        << "placed lessons stay placed, without teacher";
    for (const Restriction& r : s.restrictions())
        EXPECT_FALSE(r.ObjectType == ObjectType::Teacher && r.ObjectCode == s.ivanova.TeacherCode);
    EXPECT_EQ(s.restrictions().size(), 4u);
    EXPECT_TRUE(s.t.ui.shown.isEmpty());
}

TEST(Relations, RestrictedDeleteChangesNothing) {
    Timetable s;
    createAllFiles(s.t);
    const QByteArray before = folderDigest(s.t.path());
    const Outcome o = s.rel.remove(s.math);
    EXPECT_EQ(o.msgNo, Msg::RelatedDelete);
    ASSERT_EQ(s.t.ui.shown.size(), 1);
    EXPECT_EQ(s.t.ui.shown[0].caption, u("Ошибка удаления связанной записи"));
    EXPECT_EQ(s.t.ui.shown[0].text,
              u("Эта запись связана с файлом TRAININGCOURSE. Удаление записи невозможно пока "
                "существует эта связь."));
    s.t.store().closeAll();
    EXPECT_EQ(folderDigest(s.t.path()), before) << "schedule entries and restrictions are kept";
}

TEST(Relations, RoomsUsedAsTeachersRoomsCannotGo) {
    Timetable s;
    EXPECT_EQ(s.rel.remove(s.r101).msgNo, Msg::RelatedDelete);
    EXPECT_EQ(s.t.ui.last(), u("Эта запись связана с файлом TEACHER. Удаление записи невозможно "
                               "пока существует эта связь."));
    // An additional room is protected as well: the alias is the same file.
    Teacher p = s.petrov;
    {
        FileUse use(s.t.store(), FileId::Teacher);
        p = s.t.dict().access<Teacher>().byRowId(p.rowId);
    }
    p.AdditionalRoomCode = static_cast<Short>(s.r202.RoomCode);
    ASSERT_TRUE(s.rel.update(p));
    EXPECT_EQ(s.rel.remove(s.r202).msgNo, Msg::RelatedDelete);
    p.AdditionalRoomCode = 0;
    ASSERT_TRUE(s.rel.update(p));

    // A room used only in the timetable is deleted; its lessons lose the room.
    FileUse use(s.t.store(), FileId::RoomList);
    RoomList entry;
    entry.TeacherCode = s.petrov.TeacherCode;
    entry.ScienceCode = s.art.ScienceCode;
    entry.RoomCode = static_cast<Short>(s.r202.RoomCode);
    ASSERT_TRUE(s.rel.insert(entry));
    ASSERT_TRUE(s.rel.remove(s.r202));
    EXPECT_EQ(s.count([&](const Schedule& l) { return l.RoomCode != 0; }), 0);
    EXPECT_EQ(s.count([&](const Schedule& l) { return l.Week == 1; }), 3);
    EXPECT_TRUE(s.all<RoomList>().empty());
    EXPECT_EQ(s.all<Room>().size(), 1u);
    for (const Restriction& r : s.restrictions())
        EXPECT_NE(r.ObjectType, ObjectType::Room);
}

TEST(Relations, DeletingADayRemovesItsLessonsAltogether) {
    Timetable s;
    const size_t before = s.lessons().size();
    ASSERT_TRUE(s.rel.remove(s.mon));
    EXPECT_EQ(s.lessons().size(), before - 2);
    EXPECT_EQ(s.count([&](const Schedule& l) { return l.DaySeqNumber == s.mon.DaySeqNumber; }), 0);
    for (const Restriction& r : s.restrictions())
        EXPECT_NE(r.DaySeqNumber, s.mon.DaySeqNumber);
    EXPECT_EQ(s.restrictions().size(), 2u);
}

TEST(Relations, RenamingACourseCarriesTheText) {
    Timetable s;
    Course c;
    {
        FileUse use(s.t.store(), FileId::Course);
        Course key;
        key.Course = QStringLiteral("5");
        c = s.t.dict().access<Course>().fetch(Course::CourseKey, key);
    }
    c.Course = QStringLiteral("10");
    ASSERT_TRUE(s.rel.update(c));
    for (const Group& g : s.all<Group>())
        EXPECT_EQ(g.Course, QStringLiteral("10"));
    for (const TrainingCourse& i : s.all<TrainingCourse>())
        EXPECT_EQ(i.Course, QStringLiteral("10"));
    // The group name key follows the new text.
    FileUse use(s.t.store(), FileId::Group);
    Group key;
    key.Course = QStringLiteral("10");
    key.Literal = u("б");
    EXPECT_EQ(s.t.dict().access<Group>().fetch(Group::GroupIdKey, key).GroupCode, s.b.GroupCode);
}

TEST(Relations, RenumberingABellInUseIsRefusedAndSetBack) {
    Timetable s;
    LessonBell bell;
    {
        FileUse use(s.t.store(), FileId::LessonBell);
        LessonBell key;
        key.LessonNo = QStringLiteral("1");
        bell = s.t.dict().access<LessonBell>().fetch(LessonBell::NumberKey, key);
    }
    bell.LessonNo = QStringLiteral("9");
    bell.Ending = timeOf(8, 45);
    const Outcome o = s.rel.update(bell);
    EXPECT_EQ(o.msgNo, Msg::RelatedUpdate);
    EXPECT_EQ(bell.LessonNo, QStringLiteral("1")) << "the linking field is set back";
    EXPECT_EQ(s.t.ui.shown.last().caption, u("Ошибка обновления связанной записи"));
    EXPECT_EQ(s.t.ui.last(), u("Эта запись связана с файлом SCHEDULE. Связанные поля не "
                               "позволили произвести изменения и были установлены в свои "
                               "оригинальные значения."));
    for (const LessonBell& b : s.all<LessonBell>())
        EXPECT_NE(b.LessonNo, QStringLiteral("9"));

    // A bell without lessons is renumbered and carries its restrictions along.
    s.setLessons([](const Schedule& l) { return l.LessonNo == QStringLiteral("2"); },
                 [](Schedule& l) {
                     l.Week = 0;
                     l.DaySeqNumber = 0;
                     l.LessonNo.clear();
                 });
    LessonBell two;
    {
        FileUse use(s.t.store(), FileId::LessonBell);
        LessonBell key;
        key.LessonNo = QStringLiteral("2");
        two = s.t.dict().access<LessonBell>().fetch(LessonBell::NumberKey, key);
    }
    two.LessonNo = QStringLiteral("7");
    ASSERT_TRUE(s.rel.update(two));
    int moved = 0;
    for (const Restriction& r : s.restrictions()) {
        EXPECT_NE(r.LessonNo, QStringLiteral("2"));
        moved += r.LessonNo == QStringLiteral("7");
    }
    EXPECT_EQ(moved, 2);
}

// A bell saved without a number has no lessons: the unplaced ones, whose lesson number is
// blank too, are not its children when it is numbered later or deleted.
TEST(Relations, ABellSavedWithoutANumberLeavesTheUnplacedLessonsAlone) {
    Timetable s;
    const auto unplaced = [&] { return s.count([](const Schedule& l) { return l.isUnplaced(); }); };
    const size_t lessons = s.lessons().size();
    const int before = unplaced();
    ASSERT_GT(before, 0);
    LessonBell numbered = s.bell("");
    numbered.LessonNo = QStringLiteral("3");
    EXPECT_TRUE(s.rel.update(numbered));
    EXPECT_EQ(unplaced(), before);
    const LessonBell blank = s.bell("");
    EXPECT_TRUE(s.rel.remove(blank));
    EXPECT_EQ(unplaced(), before);
    EXPECT_EQ(s.lessons().size(), lessons);
}

TEST(Relations, DeletingALinkClearsLessonsAndMembers) {
    Timetable s;
    LsnLink link;
    {
        FileUse use(s.t.store(), FileId::LsnLink);
        link = s.t.dict().access<LsnLink>().prime();
    }
    link.LinkName = u("ИЗО 5-А и 5-Б");
    link.IsLecture = 1;
    ASSERT_TRUE(s.rel.insert(link));
    for (const Group& g : {s.a, s.b}) {
        LsnLinkComp m;
        m.LinkCode = link.LinkCode;
        m.TrainingCourseItemCode = s.artItem.TrainingCourseItemCode;
        m.GroupCode = g.GroupCode;
        ASSERT_TRUE(s.rel.insert(m));
    }
    s.setLessons([&](const Schedule& l) { return l.ScienceCode == s.art.ScienceCode; },
                 [&](Schedule& l) { l.LinkCode = link.LinkCode; });
    // Changing the code carries it to the lessons.
    link.LinkCode = 40;
    ASSERT_TRUE(s.rel.update(link));
    EXPECT_EQ(s.count([](const Schedule& l) { return l.LinkCode == 40; }), 2);
    for (const LsnLinkComp& m : s.all<LsnLinkComp>())
        EXPECT_EQ(m.LinkCode, 40);

    ASSERT_TRUE(s.rel.remove(link));
    EXPECT_EQ(s.count([](const Schedule& l) { return l.LinkCode != 0; }), 0);
    EXPECT_TRUE(s.all<LsnLinkComp>().empty());
    EXPECT_TRUE(s.all<LsnLink>().empty());
}

TEST(Relations, DeletingAGroupCascadesToItsEntriesAndRestrictions) {
    Timetable s;
    ASSERT_TRUE(s.rel.remove(s.a, true)) << "confirmed with the default Yes";
    EXPECT_EQ(s.t.ui.shown[0].caption, u("Удаление"));
    EXPECT_EQ(s.t.ui.shown[0].text, u("Вы уверены что желаете удалить выделенную запись?"));
    EXPECT_EQ(s.count([&](const Schedule& l) { return l.GroupCode == s.a.GroupCode; }), 0);
    EXPECT_EQ(s.count([&](const Schedule& l) { return l.GroupCode == s.b.GroupCode; }), 5);
    for (const Restriction& r : s.restrictions())
        EXPECT_NE(r.ObjectType, ObjectType::Group);

    s.t.ui.answers << No;
    const Outcome no = s.rel.remove(s.b, true);
    EXPECT_EQ(no.status, Outcome::Status::Refused);
    EXPECT_EQ(s.all<Group>().size(), 1u);
}

TEST(Relations, StreamAndSpecialityInUseAreProtected) {
    Timetable s;
    Stream st;
    {
        FileUse use(s.t.store(), FileId::Stream);
        st = s.t.dict().access<Stream>().all(Stream::StreamCodeKey).front();
    }
    EXPECT_EQ(s.rel.remove(st).msgNo, Msg::RelatedDelete);
    EXPECT_EQ(s.t.ui.last(), u("Эта запись связана с файлом TRAININGCOURSE. Удаление записи "
                               "невозможно пока существует эта связь."));
}

TEST(Relations, OpeningScheduleOpensItsRelatedFiles) {
    Timetable s;
    s.t.store().closeAll();
    ASSERT_TRUE(s.rel.open(FileId::Schedule));
    int open = 0;
    for (int i = 0; i < PhysicalFileCount; ++i)
        open += s.t.store().file(static_cast<FileId>(i)).isOpen() ? 1 : 0;
    EXPECT_GE(open, 16) << "nearly every file";
    EXPECT_FALSE(s.t.store().file(FileId::Archive).isOpen());
    EXPECT_EQ(s.t.store().file(FileId::Schedule).users(), 1);
    s.rel.close(FileId::Schedule);
    for (int i = 0; i < PhysicalFileCount; ++i)
        EXPECT_FALSE(s.t.store().file(static_cast<FileId>(i)).isOpen());
}

TEST(Relations, InjectedWriteFailureMidCascadeLeavesEveryFileUnchanged) {
    Timetable s;
    createAllFiles(s.t);
    const QByteArray before = folderDigest(s.t.path());
    // Refuse the third restriction delete of the cascade.
    s.t.store().transactionHook = [](sqlite3* db, const std::vector<FileId>& files) {
        for (size_t i = 0; i < files.size(); ++i) {
            if (files[i] != FileId::Restriction) continue;
            const QString schema = i == 0 ? QStringLiteral("main") : QStringLiteral("f%1").arg(i);
            const QString sql =
                QStringLiteral("CREATE TEMP TABLE hits(n); INSERT INTO hits VALUES(0);"
                               "CREATE TEMP TRIGGER refuse BEFORE DELETE ON %1.RESTRICTION BEGIN "
                               "UPDATE hits SET n=n+1; SELECT RAISE(ABORT,'refused') "
                               "WHERE (SELECT n FROM hits)>=1; END;")
                    .arg(schema);
            ASSERT_EQ(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr),
                      SQLITE_OK)
                << sqlite3_errmsg(db);
        }
    };
    const Outcome o = s.rel.remove(s.mon);
    EXPECT_EQ(o.msgNo, Msg::DeleteError);
    ASSERT_EQ(s.t.ui.shown.size(), 1);
    EXPECT_EQ(s.t.ui.shown[0].caption, u("Запись не удаляется"));
    EXPECT_EQ(s.t.ui.shown[0].text, u("Возникла ошибка (Недопустимое повторение ключа) при "
                                      "удалении записи из RESTRICTION файла."));
    s.t.store().transactionHook = nullptr;
    s.t.store().closeAll();
    EXPECT_EQ(folderDigest(s.t.path()), before);
}

TEST(Relations, DiskFullMidCascadeLeavesEveryFileUnchanged) {
    School s;
    const Short st = s.stream("Общий");
    s.course("5");
    for (const char* letter : {"А", "Б", "В", "Г", "Д"})
        s.group("5", letter, st);
    for (const char* name : {"Алгебра", "Геометрия", "Физика", "Химия"})
        s.item(s.science(name), "5", st, 99, 0);
    LsnLink link;
    link.LinkCode = 1;
    link.LinkName = u("Все уроки");
    ASSERT_TRUE(s.rel.insert(link));
    {
        Transaction tx(s.t.store(), {FileId::Schedule});
        auto sch = tx.access<Schedule>();
        for (Schedule l : sch.all(Schedule::ItemCode)) {
            l.LinkCode = 1;
            ASSERT_TRUE(sch.update(l));
        }
        ASSERT_TRUE(tx.commit());
    }
    ASSERT_EQ(s.lessons().size(), 1980u);
    createAllFiles(s.t);
    const QByteArray before = folderDigest(s.t.path());
    s.t.store().transactionHook = [](sqlite3* db, const std::vector<FileId>& files) {
        for (size_t i = 0; i < files.size(); ++i)
            if (files[i] == FileId::Schedule) {
                const QString schema =
                    i == 0 ? QStringLiteral("main") : QStringLiteral("f%1").arg(i);
                // Not one page more than the file has: growing fails as on a full disk.
                sqlite3_exec(
                    db,
                    QStringLiteral("PRAGMA %1.max_page_count=1").arg(schema).toUtf8().constData(),
                    nullptr, nullptr, nullptr);
            }
    };
    // A new, longer code must be carried to every lesson of the link.
    link.LinkCode = 30000;
    const Outcome o = s.rel.update(link);
    s.t.store().transactionHook = nullptr;
    ASSERT_FALSE(o.ok());
    ASSERT_EQ(s.t.ui.shown.size(), 1);
    EXPECT_EQ(s.t.ui.shown[0].caption, u("Запись не обновляется"));
    EXPECT_EQ(s.t.ui.shown[0].text, u("Возникла ошибка (Ошибка драйвера баз данных: диск "
                                      "переполнен) при внесении изменений в файл SCHEDULE."));
    s.t.store().closeAll();
    EXPECT_EQ(folderDigest(s.t.path()), before);
}

// Every range check accepts both of its limits and refuses one past either, with its message.
TEST(Relations, EveryRangeCheckAcceptsItsLimitsAndRefusesOnePast) {
    struct Bound {
        FileId file;
        const char* field;
        int low, high;
        const char* caption;
        const char* range;
    };
    const Bound bounds[] = {
        {FileId::Schedule, "Week", 0, 20, "Неделя расписания", "0 and 20"},
        {FileId::TrainingCourse, "SingleHours", 0, 99, "Одиночными часами", "0 and 99"},
        {FileId::TrainingCourse, "CoupledHours", 0, 99, "Сдвоенными часами", "0 and 99"},
        {FileId::SubGroupType, "NumbOfSubGroups", 2, 99, "Количество подгрупп", "2 and 99"},
        {FileId::Archive, "WeeksInCycle", 1, 20, "Количество недель в расписании", "1 and 20"},
    };
    TestFolder t;
    Relations rel(t.dict());
    for (const Bound& b : bounds) {
        SCOPED_TRACE(b.field);
        const FileDef& def = fileDef(b.file);
        const int field = def.fieldIndex(QString::fromLatin1(b.field));
        ASSERT_GE(field, 0);
        Row row = emptyRow(def);
        // Other checked fields of the record at a valid value.
        for (const Bound& other : bounds)
            if (other.file == b.file)
                row.set(def.fieldIndex(QString::fromLatin1(other.field)), qint64(other.low));
        for (int v : {b.low, b.high}) {
            row.set(field, qint64(v));
            EXPECT_TRUE(rel.validateRow(b.file, row, field).ok()) << v;
        }
        for (int v : {b.low - 1, b.high + 1}) {
            t.ui.clear();
            row.set(field, qint64(v));
            const Outcome o = rel.validateRow(b.file, row, field);
            EXPECT_EQ(o.msgNo, Msg::RangeError) << v;
            EXPECT_EQ(t.ui.last(),
                      QStringLiteral("Значение %1 должно быть между %2.")
                          .arg(QString::fromUtf8(b.caption), QString::fromLatin1(b.range)))
                << v;
        }
    }
}

// Restrictions are keyed by object type and code: deleting a teacher, group, room or subject
// takes its own and never another kind's that happens to have the same code.
TEST(Relations, ACascadeTakesOnlyItsOwnObjectsRowsNotAnotherKindsWithTheSameCode) {
    for (Short kind :
         {ObjectType::Teacher, ObjectType::Group, ObjectType::Room, ObjectType::Science}) {
        Timetable s;
        const Science music = s.science("Музыка"); // a subject in no plan may go
        const Short code = kind == ObjectType::Teacher ? s.petrov.TeacherCode
                           : kind == ObjectType::Group ? s.b.GroupCode
                           : kind == ObjectType::Room  ? static_cast<Short>(s.r202.RoomCode)
                                                       : music.ScienceCode;
        // Every kind gets a restriction under that same code.
        for (Short other :
             {ObjectType::Teacher, ObjectType::Group, ObjectType::Room, ObjectType::Science})
            s.restrict(other, code, 2, s.tue.DaySeqNumber, "1", 1);
        const auto before = s.restrictions();
        bool removed = false;
        switch (kind) {
        case ObjectType::Teacher:
            removed = s.rel.remove(s.petrov).ok();
            break;
        case ObjectType::Group:
            removed = s.rel.remove(s.b).ok();
            break;
        case ObjectType::Room:
            removed = s.rel.remove(s.r202).ok();
            break;
        default:
            removed = s.rel.remove(music).ok();
            break;
        }
        ASSERT_TRUE(removed) << "kind " << kind;
        int own = 0, others = 0;
        for (const Restriction& r : before) {
            if (r.ObjectCode != code) continue;
            (r.ObjectType == kind ? own : others)++;
        }
        int ownAfter = 0, othersAfter = 0;
        for (const Restriction& r : s.restrictions()) {
            if (r.ObjectCode != code) continue;
            (r.ObjectType == kind ? ownAfter : othersAfter)++;
        }
        EXPECT_GT(own, 0) << "kind " << kind;
        EXPECT_EQ(ownAfter, 0) << "kind " << kind;
        EXPECT_EQ(othersAfter, others) << "kind " << kind;
    }
}
