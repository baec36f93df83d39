// A school from a FET file: every mapping on one small file written here, the refusals, the
// way back through export-fet, and a placement of the imported school without a broken rule.

#include "hestor/FetImport.h"
#include "hestor/windows/ImportFromFet.h"
#include "hestor/windows/ImportTables.h"

#include "LessonChecker.h"
#include "TimetableChecker.h"
#include "pivrel/engine/AutoPlacement.h"
#include "tamsel/Relations.h"
#include "tamsel/TestFolder.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QTableWidget>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <map>

// Readable failures for lists of texts.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << s.toStdString();
}

using namespace tamsel;

namespace {

QString u(const char* s) {
    return QString::fromUtf8(s);
}

void write(const QString& path, const QString& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
}

QString activity(int id, const char* teacher, const char* subject, QStringList students,
                 int duration = 1, bool active = true) {
    QString s = u("<Activity>");
    if (*teacher) s += u("<Teacher>%1</Teacher>").arg(u(teacher));
    s += u("<Subject>%1</Subject>").arg(u(subject));
    for (const QString& st : students) s += u("<Students>%1</Students>").arg(st);
    s += u("<Duration>%1</Duration><Total_Duration>%1</Total_Duration><Id>%2</Id>"
           "<Activity_Group_Id>0</Activity_Group_Id><Active>%3</Active></Activity>\n")
             .arg(duration)
             .arg(id)
             .arg(active ? u("true") : u("false"));
    return s;
}

/// Two days of three hours; a year of two groups, one in subgroups, and a year without groups;
/// a lecture for a whole year, a pair, a lesson without a teacher, an inactive one, a subject
/// both in the lecture and alone for one group, forbidden times and a preferred room.
QString smallSchool(const QString& extraActivity = {}) {
    return u("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<fet version=\"6.8.5\">\n"
             "<Days_List><Number_of_Days>2</Number_of_Days><Day><Name>Понедельник</Name></Day>"
             "<Day><Name>Вторник</Name></Day></Days_List>\n"
             "<Hours_List><Number_of_Hours>3</Number_of_Hours><Hour><Name>08:00-08:45</Name></Hour>"
             "<Hour><Name>2</Name></Hour><Hour><Name>3</Name></Hour></Hours_List>\n"
             "<Subjects_List><Subject><Name>Математика</Name></Subject><Subject><Name>Рисование"
             "</Name></Subject></Subjects_List>\n"
             "<Teachers_List><Teacher><Name>Анна</Name></Teacher><Teacher><Name>Борис "
             "Александрович Длинный</Name></Teacher></Teachers_List>\n"
             "<Students_List><Year><Name>Y1</Name><Group><Name>G1</Name><Subgroup><Name>G1a</Name>"
             "</Subgroup><Subgroup><Name>G1b</Name></Subgroup></Group><Group><Name>G2</Name></Group>"
             "</Year><Year><Name>Y2</Name></Year></Students_List>\n<Activities_List>\n") +
           activity(1, "Анна", "Математика", {u("G2")}) +
           activity(2, "Анна", "Математика", {u("G2")}, 2) +
           activity(3, "Борис Александрович Длинный", "Рисование", {u("Y1")}) +
           activity(4, "", "Рисование", {u("Y2")}) +
           activity(5, "Борис Александрович Длинный", "Математика", {u("G1a")}) +
           activity(6, "Анна", "Математика", {u("G1b")}) +
           activity(7, "Анна", "Рисование", {u("G2")}) +
           activity(8, "Анна", "Рисование", {u("Y2")}, 1, false) + extraActivity +
           u("</Activities_List>\n<Rooms_List><Room><Name>Кабинет 101</Name></Room>"
             "<Room><Name>R2</Name></Room></Rooms_List>\n<Time_Constraints_List>"
             "<ConstraintBasicCompulsoryTime><Weight_Percentage>100</Weight_Percentage>"
             "</ConstraintBasicCompulsoryTime>"
             "<ConstraintTeacherNotAvailableTimes><Weight_Percentage>100</Weight_Percentage>"
             "<Teacher>Анна</Teacher><Not_Available_Time><Day>Понедельник</Day><Hour>08:00-08:45"
             "</Hour></Not_Available_Time></ConstraintTeacherNotAvailableTimes>"
             "<ConstraintStudentsSetNotAvailableTimes><Weight_Percentage>100</Weight_Percentage>"
             "<Students>Y2</Students><Not_Available_Time><Day>Вторник</Day><Hour>3</Hour>"
             "</Not_Available_Time></ConstraintStudentsSetNotAvailableTimes>"
             "<ConstraintMinDaysBetweenActivities><Weight_Percentage>95</Weight_Percentage>"
             "</ConstraintMinDaysBetweenActivities>"
             "<ConstraintMinDaysBetweenActivities><Weight_Percentage>95</Weight_Percentage>"
             "</ConstraintMinDaysBetweenActivities></Time_Constraints_List>\n"
             "<Space_Constraints_List><ConstraintActivityPreferredRoom><Weight_Percentage>100"
             "</Weight_Percentage><Activity_Id>1</Activity_Id><Room>Кабинет 101</Room>"
             "</ConstraintActivityPreferredRoom></Space_Constraints_List>\n</fet>\n");
}

/// The school as names: every record of the files the import writes, codes resolved, sorted;
/// two imports of the same school give the same lines.
QStringList schoolText(Dictionary& dict) {
    std::vector<std::unique_ptr<FileUse>> open;
    for (int i = 0; i < PhysicalFileCount; ++i)
        if (static_cast<FileId>(i) != FileId::Archive)
            open.push_back(std::make_unique<FileUse>(dict.store(), static_cast<FileId>(i)));
    std::map<Short, QString> sci, tch, grp, lnk;
    std::map<Long, QString> room;
    for (const auto& s : dict.access<Science>().all(Science::ScienceCodeKey)) sci[s.ScienceCode] = s.Science;
    for (const auto& t : dict.access<Teacher>().all(Teacher::TeacherCodeKey)) tch[t.TeacherCode] = t.TeacherName;
    for (const auto& g : dict.access<Group>().all(Group::GroupCodeKey)) {
        Stream k;
        k.StreamCode = g.StreamCode;
        grp[g.GroupCode] = g.GroupId() + u(" ") + dict.access<Stream>().fetch(Stream::StreamCodeKey, k).Stream;
    }
    for (const auto& r : dict.access<Room>().all(Room::CodeKey)) room[r.RoomCode] = r.RoomNo;
    QStringList out;
    for (const auto& d : dict.access<Days>().all(Days::SeqNumberKey)) out << u("день %1 %2").arg(d.DaySeqNumber).arg(d.DayName);
    for (const auto& b : dict.access<LessonBell>().all(LessonBell::NumberKey))
        out << u("звонок %1 %2 %3").arg(b.LessonNo).arg(b.Begining).arg(b.Ending);
    for (const auto& [c, n] : grp) out << u("группа ") + n;
    for (const auto& [c, n] : sci) out << u("предмет ") + n;
    for (const auto& [c, n] : tch) out << u("учитель ") + n;
    for (const auto& [c, n] : room) out << u("кабинет ") + n;
    // A link by its lecture mark and members; its lessons by that text.
    std::map<Short, QStringList> members;
    std::map<Short, Short> itemScience;
    for (const auto& t : dict.access<TrainingCourse>().all(TrainingCourse::ItemCodeKey)) {
        itemScience[t.TrainingCourseItemCode] = t.ScienceCode;
        out << u("план %1 %2 %3+%4").arg(sci[t.ScienceCode], t.Course).arg(t.SingleHours).arg(t.CoupledHours);
    }
    for (const auto& m : dict.access<LsnLinkComp>().all(LsnLinkComp::LinkCodeKey))
        members[m.LinkCode] << sci[itemScience[m.TrainingCourseItemCode]] + u(" ") + grp[m.GroupCode];
    for (const auto& l : dict.access<LsnLink>().all(LsnLink::CodeKey)) {
        members[l.LinkCode].sort();
        lnk[l.LinkCode] = u("связь%1 ").arg(l.IsLecture ? u(" лекция") : QString()) + members[l.LinkCode].join(u(", "));
        out << lnk[l.LinkCode];
    }
    for (const auto& e : dict.access<Schedule>().all(Schedule::ItemCode))
        out << u("урок %1 %2/%3 %4 пара %5 %6")
                   .arg(sci[e.ScienceCode], grp[e.GroupCode])
                   .arg(e.SubGroupNum)
                   .arg(tch[e.TeacherCode])
                   .arg(e.CoupledLesson)
                   .arg(e.LinkCode ? lnk[e.LinkCode] : QString());
    for (const auto& r : dict.access<Restriction>().all(Restriction::ObjectIdKey))
        out << u("запрет %1 %2 %3/%4/%5 %6")
                   .arg(r.ObjectType)
                   .arg(r.ObjectType == ObjectType::Teacher ? tch[r.ObjectCode]
                        : r.ObjectType == ObjectType::Group ? grp[r.ObjectCode]
                                                             : room[r.ObjectCode])
                   .arg(r.Week)
                   .arg(r.DaySeqNumber)
                   .arg(r.LessonNo)
                   .arg(r.Restriction);
    for (const auto& r : dict.access<RoomList>().all(RoomList::TeacherScienceKey))
        out << u("список %1 %2 %3 %4").arg(tch[r.TeacherCode], sci[r.ScienceCode], room[r.RoomCode]).arg(r.Priority);
    out.sort();
    return out;
}

} // namespace

TEST(FetImport, SmallSchoolMapsEveryPartAndComesBackTheSame) {
    TestFolder t;
    const QString fet = t.file(u("school.fet"));
    write(fet, smallSchool());
    QTemporaryDir target;
    Dictionary dict(target.path());
    dict.setUserInterface(t.ui);
    const hestor::FetImportResult r = hestor::ImportFet(dict, fet);
    ASSERT_TRUE(r.done) << r.reason.toStdString();
    EXPECT_EQ(r.notCarried, QStringList({u("не перенесено: 1 неактивных уроков"),
                                         u("не перенесено: 2 ограничений «минимум дней между уроками»")}));
    EXPECT_TRUE(r.changed.contains(u("Учитель «Борис Александрович Длинный» записан как «Борис Александрович»")))
        << r.changed.join(u("\n")).toStdString();
    EXPECT_TRUE(r.changed.contains(u("Кабинет «Кабинет 101» записан как «Кабинет»")));
    EXPECT_EQ(r.lessons, 10);

    const QStringList school = schoolText(dict);
    const QStringList expected{
        // Hours are bells; a name with times gives them.
        u("звонок   1 2880001 3150001"), u("звонок   2 0 0"), u("день 1 Понедельник"),
        // The smallest sets are groups, each with a stream of its own (named after the set).
        u("группа 1-1 G1a"), u("группа 1-2 G1b"), u("группа 1-3 G2"), u("группа 2-1 Y2"),
        // G2 draws alone and in the lecture for year Y1: the lecture takes a variant.
        u("предмет Рисование (2)"), u("учитель б/у 2-1"), u("кабинет уч1"),
        u("связь лекция Рисование (2) 1-1 G1a, Рисование (2) 1-2 G1b, Рисование (2) 1-3 G2"),
        u("план Математика 1 1+2"), u("план Рисование (2) 1 1+0"),
        u("урок Математика 1-3 G2/0 Анна пара 1 "), u("урок Математика 1-3 G2/0 Анна пара 2 "),
        u("урок Рисование (2) 1-1 G1a/0 Борис Александрович пара 0 связь лекция Рисование (2) 1-1 "
          "G1a, Рисование (2) 1-2 G1b, Рисование (2) 1-3 G2"),
        u("урок Рисование 1-3 G2/0 Анна пара 0 "),
        u("урок Рисование 2-1 Y2/0 б/у 2-1 пара 0 "),
        // Forbidden times of a teacher and of a year's groups.
        u("запрет 4 Анна 1/1/  1 2"), u("запрет 1 2-1 Y2 1/2/  3 2"),
        // Room lists: the preferred room first, then the teacher's own room.
        u("список Анна Математика Кабинет 1"), u("список Анна Математика уч1 2")};
    for (const QString& line : expected) EXPECT_TRUE(school.contains(line)) << line.toStdString() << "\n" << school.join(u("\n")).toStdString();
    EXPECT_TRUE(lessontest::lessonsSound(lessontest::checkLessons(dict)));

    // The way back: written as FET and imported again, the same school.
    const QString back = t.file(u("back.fet"));
    ASSERT_EQ(hestor::ExportFet(dict, back), QString());
    QTemporaryDir again;
    Dictionary second(again.path());
    second.setUserInterface(t.ui);
    const hestor::FetImportResult r2 = hestor::ImportFet(second, back);
    ASSERT_TRUE(r2.done) << r2.reason.toStdString();
    EXPECT_EQ(r2.notCarried, QStringList());
    EXPECT_EQ(schoolText(second), school);

    // Placed with the repair phase: every lesson, no rule broken.
    pivrel::RecordingRunHost host;
    t.ui.otherwise = Yes;
    {
        dict.glo.ProcessingDisabled = 0;
        pivrel::AutoPlacement placement(dict);
        placement.setRepair(true, 5);
        const auto result = placement.run(pivrel::TaskKind::All, 0, host);
        EXPECT_TRUE(result.complete());
        EXPECT_EQ(result.left, 0);
    }
    EXPECT_TRUE(enginetest::sound(enginetest::checkTimetable(dict)));

    // FET's own solver takes the school written back with one-hour activities.
    const QString fetCl = QStandardPaths::findExecutable(u("fet-cl"));
    if (fetCl.isEmpty()) GTEST_SKIP() << "fet-cl is not installed";
    const QString split = t.file(u("split.fet"));
    ASSERT_EQ(hestor::ExportFet(dict, split, {true}), QString());
    QProcess fetRun;
    fetRun.start(fetCl, {u("--inputfile=") + split, u("--outputdir=") + t.file(u("fet-out")),
                         u("--timelimitseconds=20")});
    ASSERT_TRUE(fetRun.waitForFinished(40000));
    QFile result(t.file(u("fet-out/logs/result.txt")));
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    EXPECT_TRUE(result.readAll().contains("Simulation successful"));
}

TEST(FetImport, RefusalsLeaveTheFolderAsItWas) {
    TestFolder t;
    QTemporaryDir target;
    Dictionary dict(target.path());
    dict.setUserInterface(t.ui);
    const QString fet = t.file(u("bad.fet"));
    // An activity naming a teacher the file does not list: nothing is written.
    write(fet, smallSchool(activity(9, "Никто", "Математика", {u("G2")})));
    hestor::FetImportResult r = hestor::ImportFet(dict, fet);
    EXPECT_FALSE(r.done);
    EXPECT_EQ(r.reason, u("Файл «%1» не импортирован: урок 9 называет учителя «Никто», которого нет в "
                          "списке учителей.")
                            .arg(QDir::toNativeSeparators(fet)));
    EXPECT_EQ(t.ui.last(), r.reason + u("|Данные школы не изменены."));
    EXPECT_TRUE(QDir(target.path()).entryList(QDir::Files).isEmpty());

    // Not XML at all.
    write(fet, u("<fet><Days_List>"));
    r = hestor::ImportFet(dict, fet);
    EXPECT_FALSE(r.done);
    EXPECT_TRUE(r.reason.startsWith(u("Файл «%1» не читается: ").arg(QDir::toNativeSeparators(fet))));

    // A folder that holds a school already is not touched.
    write(fet, smallSchool());
    ASSERT_TRUE(hestor::ImportFet(dict, fet).done);
    const QStringList before = schoolText(dict);
    r = hestor::ImportFet(dict, fet);
    EXPECT_FALSE(r.done);
    EXPECT_TRUE(r.reason.contains(u("уже есть данные школы")));
    EXPECT_EQ(schoolText(dict), before);
}

TEST(DataInWindows, FetAndTableImportShowWhatWasNotTaken) {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    if (!qApp) new QApplication(argc, argv);
    TestFolder t;
    const QString fet = t.file(u("school.fet"));
    write(fet, smallSchool());
    hestor::ImportFromFet fetWindow(t.dict());
    fetWindow.fileEdit()->setText(QDir::toNativeSeparators(fet));
    ASSERT_TRUE(fetWindow.startImport().done);
    QStringList notes;
    for (int i = 0; i < fetWindow.notesList()->count(); ++i) notes << fetWindow.notesList()->item(i)->text();
    EXPECT_TRUE(notes.contains(u("не перенесено: 2 ограничений «минимум дней между уроками»")));
    EXPECT_EQ(t.ui.last(), u("Импорт из FET выполнен: уроков 10."));

    // Into the imported school: a preview under the columns found, then the refused line.
    const QString csv = t.file(u("rooms.csv"));
    write(csv, u("Номер;Этаж\n101;1\nR2;2\n"));
    hestor::ImportTables tables(t.dict());
    tables.tableChoice()->setCurrentIndex(3);
    tables.fileEdit()->setText(csv);
    ASSERT_TRUE(tables.showPreview());
    EXPECT_EQ(tables.preview()->horizontalHeaderItem(0)->text(), u("Кабинет"));
    EXPECT_EQ(tables.preview()->horizontalHeaderItem(1)->text(), u("Тип кабинета (нет)"));
    EXPECT_EQ(tables.preview()->item(1, 0)->text(), u("R2"));
    const hestor::TableImportResult r = tables.startImport();
    EXPECT_FALSE(r.done); // R2 came from the FET file
    ASSERT_EQ(tables.refusedList()->count(), 1);
    EXPECT_TRUE(tables.refusedList()->item(0)->text().startsWith(u("строка 3: ")));
}
