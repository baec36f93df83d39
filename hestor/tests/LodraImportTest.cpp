// The import of the older product's data: both stages on a small old school, the edge cases of
// the conversion, and that a damaged old file, a cancel or a busy file leave the school as it was.

#include "hestor/LodraImport.h"
#include "hestor/Hestor.h"
#include "hestor/windows/ImportFromLodra.h"

#include "tamsel/Relations.h"
#include "tamsel/TestFolder.h"

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

// Readable failures for lists of texts.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << s.toStdString();
}

using namespace tamsel;
using hestor::LodraStage;
using Status = hestor::LodraImportResult::Status;

namespace {

QString u(const char* s) {
    return QString::fromUtf8(s);
}

void ensureApplication() {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    if (!qApp) new QApplication(argc, argv);
}

using OldData = std::map<LegacyFileId, std::vector<QStringList>>;

QStringList row(std::initializer_list<const char*> values) {
    QStringList out;
    for (const char* v : values)
        out << u(v);
    return out;
}

/// A small old school: three groups (two with a blank stream), a paired subject, one taught
/// in subgroups, records that name nothing known, and an old timetable.
OldData oldSchool() {
    using L = LegacyFileId;
    return {
        {L::Lessons,
         {row({"1", "8:30", "9:15"}), row({"2", "9:25", "10:10"}), row({"3", "10.30", "11.15"}),
          row({"4", "xx", ""})}},
        {L::RoomTypes, {row({"Обычный"}), row({"Спортзал"}), row({"Лаборатория"})}},
        {L::Rooms,
         {row({"101", "Обычный"}), row({"102", "Обычный"}), row({"СЗ", "Спортзал"}),
          row({"201", "Нет типа"})}},
        {L::Specialities, {row({"Математика"}), row({"Физкультура"}), row({"Филология"})}},
        {L::Teachers,
         {row({"Иванова", "Математика", "18", "101", "", "0"}),
          row({"Петров", "Физкультура", "18", "СЗ", "", "0"}),
          row({"Сидорова", "Филология", "18", "102", "101", "0"}),
          row({"Лосев", "Неизвестная", "0", "", "", "0"})}},
        {L::Groups,
         {row({"6", "А", "", "0"}), row({"5", "Б", "", "0"}), row({"5", "А", "Проф", "0"})}},
        {L::Sciences,
         {row({"Математика", "Обычный", "", "0", "0"}),
          row({"Физкультура", "Спортзал", "", "1", "0"}),
          row({"Английский", "Обычный", "Лаборатория", "0", "0"})}},
        {L::TeacherForbids,
         {row({"Петров", "1", "2", "0", "0", "0", "0", "5"}),
          row({"Никто", "1", "2", "2", "2", "2", "2", "2"})}},
        {L::GroupForbids,
         {row({"5", "А", "2", "1", "0", "0", "0", "0", "0"}),
          row({"9", "Я", "1", "2", "2", "2", "2", "2", "2"})}},
        {L::TrainingPlan,
         {row({"Математика", "5", "", "5"}), row({"Физкультура", "5", "", "4"}),
          row({"Английский", "5", "", "6"}), row({"Математика", "5", "Проф", "5"}),
          row({"Английский", "6", "", "5"}), row({"Химия", "5", "", "2"}),
          row({"Математика", "6", "", "0"})}},
        {L::TeacherLoad,
         {row({"Иванова", "5", "Б", "Математика", "5"}),
          row({"Иванова", "5", "А", "Математика", "5"}),
          row({"Петров", "5", "Б", "Физкультура", "4"}),
          row({"Сидорова", "5", "Б", "Английский", "3"}),
          row({"Лосев", "5", "Б", "Английский", "3"}),
          row({"Иванова", "6", "Я", "Математика", "2"}), row({"", "5", "Б", "Математика", "1"})}},
        {L::Schedule,
         {row({"1", "1", "1", "Иванова", "5", "Б", "101", "Математика", "0", "0"}),
          row({"1", "2", "2", "Сидорова", "5", "Б", "102", "Английский", "1", "0"}),
          row({"1", "3", "2", "Петров", "5", "Б", "СЗ", "Физкультура", "0", "1"}),
          row({"1", "7", "1", "Иванова", "5", "Б", "101", "Математика", "0", "0"}),
          row({"1", "1", "1", "Петров", "6", "А", "СЗ", "Физкультура", "0", "0"})}},
    };
}

void writeOld(const QString& dir, const OldData& data) {
    for (const auto& [id, rows] : data) {
        QByteArray bytes;
        QString error;
        ASSERT_TRUE(WriteLegacyFile(id, rows, &bytes, &error)) << error.toStdString();
        QFile f(QDir(dir).filePath(QLatin1String(legacyLayout(id).fileName)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
}

/// Every file of a folder with its bytes (the writing lock aside).
std::map<QString, QByteArray> folderBytes(const QString& dir) {
    std::map<QString, QByteArray> out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        if (f.open(QIODevice::ReadOnly)) out[QFileInfo(path).fileName()] = f.readAll();
    }
    return out;
}

template <class R> std::vector<R> all(TestFolder& t, typename R::Key key) {
    FileUse use(t.store(), R::File);
    return t.dict().access<R>().all(key);
}

struct Import : testing::Test {
    TestFolder t;
    QTemporaryDir old;
    void SetUp() override {
        writeOld(old.path(), oldSchool());
        t.glo().LodraDataDir = old.path();
    }
    hestor::LodraImportResult run(LodraStage stage) {
        return hestor::ImportLodraStage(t.dict(), stage);
    }
    /// Between the stages the officer sets how a subject is split into subgroups.
    void splitIntoHalves(const char* subject) {
        Relations rel(t.dict());
        ASSERT_TRUE(rel.open(FileId::Science));
        SubGroupType halves;
        halves.SgrpTypCode = 1;
        halves.SgrpTyp = u("Половина класса");
        halves.NumbOfSubGroups = 2;
        ASSERT_TRUE(rel.insert(halves).ok());
        Science s =
            t.dict().access<Science>().fetch(Science::ScienceKey, Science{.Science = u(subject)});
        s.SgrpTypCode = 1;
        ASSERT_TRUE(rel.update(s).ok());
        rel.close(FileId::Science);
    }
};

} // namespace

TEST_F(Import, StageOneTakesTheReferenceDataAndSaysWhatItCouldNotTake) {
    const auto r = run(LodraStage::Reference);
    ASSERT_EQ(r.status, Status::Done) << r.reason.toStdString();
    EXPECT_EQ(t.progress.captions,
              (QStringList{u("Импорт списка звонков"), u("Импорт типов кабинетов"),
                           u("Импорт кабинетов"), u("Импорт специальностей"), u("Импорт учителей"),
                           u("Импорт учебных групп"), u("Импорт учебных дисциплин"),
                           u("Формирование списков кабинетов"), u("Импорт ограничений учителя"),
                           u("Импорт ограничений групп"), u("Запись импортированных данных")}));
    ASSERT_FALSE(t.ui.shown.isEmpty());
    EXPECT_EQ(t.ui.shown.last().caption, u("Первый этап импорта завершен"));
    EXPECT_TRUE(
        t.ui.last().startsWith(u("    Первый этап импорта завершен.||    Теперь проверьте")));

    // Bells with right-aligned numbers and their times; an unreadable time is 0 and listed.
    const auto bells = all<LessonBell>(t, LessonBell::NumberKey);
    ASSERT_EQ(bells.size(), 4u);
    EXPECT_EQ(bells[0].LessonNo, u("  1"));
    EXPECT_EQ(bells[0].Begining, timeOf(8, 30));
    EXPECT_EQ(bells[2].Ending, timeOf(11, 15));
    EXPECT_EQ(bells[3].Begining, 0);
    // A school without days gets the old product's six.
    EXPECT_EQ(all<Days>(t, Days::SeqNumberKey).size(), 6u);

    const auto types = all<RoomType>(t, RoomType::RoomTypeKey);
    ASSERT_EQ(types.size(), 3u);
    auto typeCode = [&](const char* name) {
        for (const RoomType& x : types)
            if (x.RoomType == u(name)) return x.SysCode;
        return Long(-1);
    };
    std::map<QString, Room> rooms;
    for (const Room& x : all<Room>(t, Room::RoomNoKey))
        rooms[x.RoomNo] = x;
    ASSERT_EQ(rooms.size(), 4u);
    EXPECT_EQ(rooms[u("СЗ")].RoomTypePtr, typeCode("Спортзал"));
    EXPECT_EQ(rooms[u("СЗ")].ObjectType, ObjectType::Room);
    EXPECT_EQ(rooms[u("201")].RoomTypePtr, 0); // "Нет типа" names no type

    std::map<QString, Teacher> teachers;
    for (const Teacher& x : all<Teacher>(t, Teacher::TeacherNameKey))
        teachers[x.TeacherName] = x;
    ASSERT_EQ(teachers.size(), 4u);
    EXPECT_EQ(teachers[u("Сидорова")].MainRoomCode, rooms[u("102")].RoomCode);
    EXPECT_EQ(teachers[u("Сидорова")].AdditionalRoomCode, rooms[u("101")].RoomCode);
    EXPECT_EQ(teachers[u("Лосев")].SpecialityCode, 0);
    EXPECT_EQ(teachers[u("Лосев")].ObjectType, ObjectType::Teacher);
    EXPECT_NE(teachers[u("Петров")].SpecialityCode, 0);

    // Groups in the old main key order; the blank streams are one stream "Основной".
    const auto groups = all<Group>(t, Group::GroupCodeKey);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0].GroupId(), u("5-А"));
    EXPECT_EQ(groups[2].GroupId(), u("6-А"));
    const auto streams = all<Stream>(t, Stream::StreamKey);
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].Stream, u("Основной"));
    EXPECT_EQ(groups[1].StreamCode, streams[0].StreamCode);
    EXPECT_EQ(groups[2].StreamCode, streams[0].StreamCode);
    EXPECT_EQ(groups[0].StreamCode, streams[1].StreamCode);
    EXPECT_EQ(all<Course>(t, Course::CourseKey).size(), 2u);

    const auto sciences = all<Science>(t, Science::ScienceKey);
    ASSERT_EQ(sciences.size(), 3u);
    EXPECT_EQ(sciences[0].Science, u("Английский"));
    EXPECT_EQ(sciences[0].AdditionalRoomTypeCode, typeCode("Лаборатория"));
    EXPECT_EQ(sciences[0].ObjectType, ObjectType::Science);

    EXPECT_EQ(
        r.notTaken,
        (QStringList{
            u("Lessons.dat, запись 4: время «xx» не распознано, записано 0:00"),
            u("Rooms.dat, запись 4: тип кабинета «Нет типа»: нет такой записи, записан код 0"),
            u("Teacher.dat, запись 4: специальность «Неизвестная»: нет такой записи, записан код "
              "0"),
            u("Forbid_T.dat, запись 2: учитель «Никто» не найден, ограничения не записаны"),
            u("Forbid_G.dat, запись 2: группа 9-Я не найдена, ограничения не записаны")}));
}

TEST_F(Import, RestrictionsAreWrittenForEveryWeekAndDayWithLevelsAboveTwoTakenAsForbidden) {
    t.glo().WeeksInCycle = 2;
    ASSERT_TRUE(run(LodraStage::Reference).done());
    const auto all2 = all<Restriction>(t, Restriction::ObjectIdKey);
    // One teacher row and one group row were found: 12 records each.
    ASSERT_EQ(all2.size(), 24u);
    const auto teachers = all<Teacher>(t, Teacher::TeacherNameKey);
    Short petrov = 0;
    for (const Teacher& x : teachers)
        if (x.TeacherName == u("Петров")) petrov = x.TeacherCode;
    std::map<std::pair<int, int>, Short> level;
    for (const Restriction& x : all2)
        if (x.ObjectType == ObjectType::Teacher) {
            EXPECT_EQ(x.ObjectCode, petrov);
            EXPECT_EQ(x.LessonNo, u("  1"));
            level[{x.Week, x.DaySeqNumber}] = x.Restriction;
        }
    ASSERT_EQ(level.size(), 12u);
    EXPECT_EQ(level[std::pair(2, 1)], 2);
    EXPECT_EQ(level[std::pair(2, 2)], 0);
    EXPECT_EQ(level[std::pair(1, 6)], 2); // the old byte was 5

    // A cycle never set (0 weeks) gives none.
    t.glo().WeeksInCycle = 0;
    ASSERT_TRUE(run(LodraStage::Reference).done());
    EXPECT_TRUE(all<Restriction>(t, Restriction::ObjectIdKey).empty());
}

TEST_F(Import, StageTwoTakesThePlanTheLoadAndTheOldTimetable) {
    ASSERT_TRUE(run(LodraStage::Reference).done());
    splitIntoHalves("Английский");
    t.ui.clear();
    const auto r = run(LodraStage::Plans);
    ASSERT_EQ(r.status, Status::Done) << r.reason.toStdString();
    EXPECT_EQ(t.ui.shown.last().caption, u("Импорт завершен."));
    EXPECT_TRUE(t.ui.last().startsWith(
        u("    Завершена автоматическая процедура импорта данных АРМ \"Lodra\".")));

    std::map<QString, Short> science, group, teacher, room;
    for (const Science& x : all<Science>(t, Science::ScienceKey))
        science[x.Science] = x.ScienceCode;
    for (const Group& x : all<Group>(t, Group::GroupIdKey))
        group[x.GroupId()] = x.GroupCode;
    for (const Teacher& x : all<Teacher>(t, Teacher::TeacherNameKey))
        teacher[x.TeacherName] = x.TeacherCode;
    for (const Room& x : all<Room>(t, Room::RoomNoKey))
        room[x.RoomNo] = static_cast<Short>(x.RoomCode);

    // Paired 4 hours → 0 + 4; 6 hours in two subgroups → 3; 5 in two → 3 (rounded up, listed).
    std::map<std::pair<Short, QString>, std::vector<TrainingCourse>> plan;
    for (const TrainingCourse& x : all<TrainingCourse>(t, TrainingCourse::ItemCodeKey))
        plan[{x.ScienceCode, x.Course}].push_back(x);
    ASSERT_EQ(plan.size(), 4u);
    auto item = [&](const char* subject, const char* course) {
        return plan[std::pair(science[u(subject)], u(course))];
    };
    const TrainingCourse pe = item("Физкультура", "5").at(0);
    EXPECT_EQ(pe.SingleHours, 0);
    EXPECT_EQ(pe.CoupledHours, 4);
    EXPECT_EQ(item("Английский", "5").at(0).SingleHours, 3);
    EXPECT_EQ(item("Английский", "6").at(0).SingleHours, 3);
    EXPECT_EQ(item("Математика", "5").size(), 2u); // both streams

    // Every group has its plan's entries; the load gave them their teachers.
    const auto entries = all<Schedule>(t, Schedule::GroupScienceSubGrKey);
    auto count = [&](const char* g, const char* s, int sub, const char* who = nullptr) {
        int n = 0;
        for (const Schedule& e : entries)
            if (e.GroupCode == group[u(g)] && e.ScienceCode == science[u(s)] &&
                e.SubGroupNum == sub && (!who || e.TeacherCode == teacher[u(who)]))
                ++n;
        return n;
    };
    EXPECT_EQ(count("5-Б", "Математика", 0, "Иванова"), 5);
    EXPECT_EQ(count("5-А", "Математика", 0, "Иванова"), 5);
    EXPECT_EQ(count("5-Б", "Физкультура", 0, "Петров"), 4);
    // Two old records of one group and subgroup subject: subgroup 1, then subgroup 2.
    EXPECT_EQ(count("5-Б", "Английский", 1, "Сидорова"), 3);
    EXPECT_EQ(count("5-Б", "Английский", 2, "Лосев"), 3);
    EXPECT_EQ(count("6-А", "Английский", 1), 3);
    EXPECT_EQ(count("6-А", "Английский", 2), 3);

    // The old timetable: the lesson of its teacher is placed where the old record put it.
    std::vector<Schedule> placed;
    for (const Schedule& e : entries)
        if (!e.isUnplaced()) placed.push_back(e);
    ASSERT_EQ(placed.size(), 3u);
    for (const Schedule& e : placed) {
        if (e.ScienceCode == science[u("Математика")]) {
            EXPECT_EQ(std::tuple(e.Week, e.DaySeqNumber, e.LessonNo),
                      std::tuple(Short(1), Short(1), u("  1")));
            EXPECT_EQ(e.TeacherCode, teacher[u("Иванова")]);
            EXPECT_EQ(e.RoomCode, room[u("101")]);
        } else if (e.ScienceCode == science[u("Английский")]) {
            EXPECT_EQ(e.SubGroupNum, 1);
            EXPECT_EQ(e.TeacherCode, teacher[u("Сидорова")]);
            EXPECT_EQ(e.DaySeqNumber, 2);
        } else {
            EXPECT_EQ(e.ScienceCode, science[u("Физкультура")]);
            EXPECT_EQ(e.CoupledLesson, 1);
            EXPECT_EQ(e.RoomCode, room[u("СЗ")]);
        }
    }
    EXPECT_EQ(
        r.notTaken,
        (QStringList{u("L_P.dat, запись 5: 5 ч. предмета «Английский» не делятся на 2 подгруппы, "
                       "записано 3 ч. на подгруппу"),
                     u("L_P.dat, запись 6: предмет «Химия» не найден, строка плана не записана"),
                     u("Les_plan.dat, запись 6: группа 6-Я: нет такой записи, нагрузка учителя "
                       "«Иванова» не назначена"),
                     u("Schedule.dat, запись 4: неделя 1, день 7, урок 1 — нет такого места в "
                       "сетке, урок не размещен"),
                     u("Schedule.dat, запись 5: неделя 1, день 1, урок 1: у группы 6-А нет "
                       "неразмещенного урока "
                       "«Физкультура», урок не размещен")}));
}

TEST_F(Import, TheOldTimetableIsCheckedByTheCellRulesAndItsKeysAndPairMarksByTheirDomains) {
    using L = LegacyFileId;
    OldData data = oldSchool();
    // Иванова may not teach lesson 1 on day 1; the plan names 5-Б's mathematics twice; the old
    // timetable puts 5-Б as a whole where its first English subgroup sits, and marks a lesson
    // as the seventh hour of a pair.
    data[L::TeacherForbids].push_back(row({"Иванова", "1", "5", "0", "0", "0", "0", "0"}));
    data[L::TrainingPlan].push_back(row({"Математика", "5", "", "3"}));
    data[L::Schedule].push_back(
        row({"1", "2", "2", "Иванова", "5", "Б", "101", "Математика", "0", "0"}));
    data[L::Schedule].push_back(
        row({"1", "4", "3", "Иванова", "5", "А", "101", "Математика", "0", "7"}));
    writeOld(old.path(), data);
    ASSERT_TRUE(run(LodraStage::Reference).done());
    splitIntoHalves("Английский");
    const auto r = run(LodraStage::Plans);
    ASSERT_EQ(r.status, Status::Done) << r.reason.toStdString();

    std::vector<Schedule> placed;
    for (const Schedule& e : all<Schedule>(t, Schedule::GroupScienceSubGrKey))
        if (!e.isUnplaced()) placed.push_back(e);
    // English (subgroup 1) and PE only: neither a forbidden cell nor a group twice in a cell.
    EXPECT_EQ(placed.size(), 2u);
    const QString listed = r.notTaken.join(QLatin1Char('\n'));
    EXPECT_TRUE(r.notTaken.contains(u("L_P.dat, запись 8: повторяет запись 1 по ключу MainKey "
                                      "(Математика, 5, ), не импортирована")))
        << listed.toStdString();
    EXPECT_EQ(listed.count(u("Schedule.dat, запись 1: неделя 1, день 1, урок 1: ")), 1)
        << listed.toStdString();
    EXPECT_EQ(listed.count(u("Schedule.dat, запись 6: неделя 1, день 2, урок 2: ")), 1)
        << listed.toStdString();
    EXPECT_TRUE(r.notTaken.contains(u("Schedule.dat, запись 7: неделя 1, день 4, урок 3: пометка "
                                      "спаренного урока 7 (допустимы 0, 1, 2), урок не размещен")))
        << listed.toStdString();
    int mathematics = 0;
    for (const TrainingCourse& x : all<TrainingCourse>(t, TrainingCourse::ItemCodeKey))
        mathematics += x.Course == u("5") && x.SingleHours == 5;
    EXPECT_EQ(mathematics, 2) << "one plan line per stream, the repeated one left out";
}

TEST_F(Import, NamesThatTheExportCannotWriteOrThatANulWouldCutStopTheImport) {
    using L = LegacyFileId;
    OldData data = oldSchool();
    data[L::Teachers][2][0] = u("Сидорова ╬");
    writeOld(old.path(), data);
    const auto before = folderBytes(t.path());
    auto r = run(LodraStage::Reference);
    EXPECT_EQ(r.status, Status::Refused);
    const QString teachers =
        QDir::toNativeSeparators(QDir(old.path()).filePath(QStringLiteral("Teacher.dat")));
    EXPECT_EQ(t.ui.last(), u("Файл %1, запись 3, поле TEACHER: символ «╬»: такой символ не "
                             "может быть записан в кодировке Windows-1251.|Импорт не выполнен."
                             "|Данные школы не изменены.")
                               .arg(teachers));
    EXPECT_TRUE(folderBytes(t.path()) == before);

    // "Ива" NUL "нова": the name would be cut to "Ива".
    writeOld(old.path(), oldSchool());
    {
        QFile f(QDir(old.path()).filePath(QStringLiteral("Teacher.dat")));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.seek(LegacyHeaderSize + 3));
        f.write("\0", 1);
    }
    r = run(LodraStage::Reference);
    EXPECT_EQ(r.status, Status::Refused);
    EXPECT_TRUE(t.ui.last().contains(u("запись 1, поле TEACHER: недопустимый символ (код 0)")))
        << t.ui.last().toStdString();
    EXPECT_TRUE(folderBytes(t.path()) == before);
}

TEST_F(Import, RepeatingStageOneReplacesTheGroupsAndKeepsTheCommonRoomTypeByName) {
    ASSERT_TRUE(run(LodraStage::Reference).done());
    for (const RoomType& x : all<RoomType>(t, RoomType::RoomTypeKey))
        if (x.RoomType == u("Обычный")) t.glo().CommonTypeRoomCode = x.SysCode;
    // The old data now lists the common type last: its new code differs.
    OldData data = oldSchool();
    data[LegacyFileId::RoomTypes] = {row({"Спортзал"}), row({"Лаборатория"}), row({"Обычный"})};
    writeOld(old.path(), data);
    ASSERT_TRUE(run(LodraStage::Reference).done());
    EXPECT_EQ(all<Group>(t, Group::GroupCodeKey).size(), 3u);
    EXPECT_EQ(all<Stream>(t, Stream::StreamKey).size(), 2u);
    RoomType k;
    k.SysCode = t.glo().CommonTypeRoomCode;
    FileUse use(t.store(), FileId::RoomType);
    EXPECT_EQ(t.dict().access<RoomType>().fetch(RoomType::CodeKey, k).RoomType, u("Обычный"));
}

TEST_F(Import, ADamagedOrMissingOldFileStopsTheImportBeforeAnythingIsWrittenAndNamesTheFile) {
    ASSERT_TRUE(run(LodraStage::Reference).done());
    ASSERT_TRUE(run(LodraStage::Plans).done());
    const auto before = folderBytes(t.path());
    const QString teachers = QDir(old.path()).filePath(QStringLiteral("Teacher.dat"));
    {
        QFile f(teachers);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.resize(f.size() - 3);
    }
    t.ui.clear();
    auto r = run(LodraStage::Reference);
    EXPECT_EQ(r.status, Status::Refused);
    ASSERT_EQ(t.ui.shown.size(), 1);
    EXPECT_EQ(t.ui.shown[0].caption, u("Импорт исходных из АРМ \"Lodra\""));
    EXPECT_TRUE(t.ui.last().startsWith(
        u("Файл %1 не читается: размер файла").arg(QDir::toNativeSeparators(teachers))))
        << t.ui.last().toStdString();
    EXPECT_TRUE(t.ui.last().endsWith(u("|Импорт не выполнен.|Данные школы не изменены.")));
    EXPECT_TRUE(folderBytes(t.path()) == before);

    QFile::remove(QDir(old.path()).filePath(QStringLiteral("Les_plan.dat")));
    t.ui.clear();
    t.progress.captions.clear();
    r = run(LodraStage::Plans);
    EXPECT_EQ(r.status, Status::Refused);
    EXPECT_TRUE(t.ui.last().contains(u("Les_plan.dat не читается: файл не найден.")))
        << t.ui.last().toStdString();
    EXPECT_TRUE(folderBytes(t.path()) == before);
    EXPECT_TRUE(t.progress.captions.isEmpty()); // no step began
}

TEST_F(Import, ACancelOrAFileHeldOpenLeavesTheSchoolAsItWas) {
    ASSERT_TRUE(run(LodraStage::Reference).done());
    const auto before = folderBytes(t.path());
    // Cancelled in the middle of the teachers' step.
    t.progress.updates = 0;
    t.progress.cancelAfter = 30;
    t.ui.clear();
    auto r = run(LodraStage::Reference);
    EXPECT_EQ(r.status, Status::Cancelled);
    EXPECT_EQ(t.ui.last(), u("Импорт прерван.|Данные школы не изменены."));
    EXPECT_TRUE(folderBytes(t.path()) == before);

    t.progress.cancelAfter = -1;
    FileUse held(t.store(), FileId::Teacher);
    r = run(LodraStage::Reference);
    EXPECT_EQ(r.status, Status::Refused);
    EXPECT_TRUE(t.ui.last().contains(u("открыт в другом окне"))) << t.ui.last().toStdString();
    EXPECT_TRUE(folderBytes(t.path()) == before);
}

TEST(ImportWindow, TheChosenFileGivesTheFolderAndAFinishedStageClosesTheWindow) {
    EXPECT_EQ(hestor::LodraFolderOf(u("C:\\LODRA\\DATA\\Group.dat")), u("C:\\LODRA\\DATA\\"));
    EXPECT_EQ(hestor::LodraFolderOf(u("D:Group.dat")), u("D:\\"));
    EXPECT_EQ(hestor::LodraFolderOf(u("/home/school/lodra/Teacher.dat")), u("/home/school/lodra/"));

    ensureApplication();
    TestFolder t;
    QTemporaryDir old;
    OldData clean = oldSchool();
    // Nothing in this data set is left behind by stage 1.
    clean[LegacyFileId::Lessons].pop_back();
    clean[LegacyFileId::Rooms].pop_back();
    clean[LegacyFileId::Teachers].pop_back();
    clean[LegacyFileId::TeacherForbids].pop_back();
    clean[LegacyFileId::GroupForbids].pop_back();
    writeOld(old.path(), clean);
    hestor::ImportFromLodra w(t.dict(), LodraStage::Reference);
    w.show();
    EXPECT_EQ(w.windowTitle(), u("Импорт исходных из АРМ \"Lodra\""));
    EXPECT_EQ(w.startButton()->text(), u("Начать импорт исходных данных"));
    w.chooseFile(QDir(old.path()).filePath(QStringLiteral("Group.dat")));
    EXPECT_EQ(t.glo().LodraDataDir, old.path() + QLatin1Char('/'));
    EXPECT_TRUE(w.startImport().done());
    EXPECT_FALSE(w.isVisible());

    // Stage 2 leaves records behind: they stay listed in the window.
    hestor::ImportFromLodra second(t.dict(), LodraStage::Plans);
    second.show();
    EXPECT_EQ(second.folderEdit()->text(), QDir::toNativeSeparators(old.path() + QLatin1Char('/')));
    EXPECT_TRUE(second.startImport().done());
    EXPECT_TRUE(second.isVisible());
    ASSERT_TRUE(second.notTakenList()->isVisible());
    EXPECT_GE(second.notTakenList()->count(), 3);
    EXPECT_EQ(second.notTakenList()->accessibleName(), u("Не импортировано"));
}
