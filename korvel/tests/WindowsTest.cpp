// Child windows: numbers, the refresh relay, single instances, the stop button, places.

#include "MainFrame.h"
#include "Probe.h"
#include "Program.h"
#include "StopButton.h"

#include "hestor/Hestor.h"
#include "hestor/LodraImport.h"
#include "hestor/windows/ExterierConfig.h"
#include "hestor/windows/ImportFromLodra.h"
#include "ombrel/Ombrel.h"
#include "pivrel/Pivrel.h"
#include "pivrel/engine/AutoPivrel.h"
#include "pivrel/timetable/PivrelLessons.h"
#include "pivrel/timetable/UnplacedLessons.h"
#include "tamsel/TestFolder.h"
#include "tamsel/widgets/WindowPlaceKeeper.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>
#include <map>

using namespace korvel;
using korvel::test::Probe;
using korvel::test::ProbeFactory;
using korvel::test::Received;

namespace {

void settle() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QList<StopButton*> stopButtons() {
    QList<StopButton*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<StopButton*>(w); s && s->isVisible()) out << s;
    return out;
}

QString s(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

TEST(Windows, RelayGoesToRegisteredWindowsInAscendingNumberSenderIncluded) {
    tamsel::TestFolder t;
    ProbeFactory probes;
    probes.add(t.dict(), QStringLiteral("DayList"));
    probes.add(t.dict(), QStringLiteral("TeacherList"));
    probes.add(t.dict(), QStringLiteral("GroupList"));
    probes.add(t.dict(), QStringLiteral("RoomList"));
    probes.add(t.dict(), QStringLiteral("ScienceList"), true, false); // wants no refresh
    MainFrame f(t.dict());
    EXPECT_EQ(t.glo().FrameThread, 1);

    QWidget* days = f.startProcedure(QStringLiteral("DayList"));     // 2
    f.startProcedure(QStringLiteral("TeacherList"));                 // 3
    QWidget* groups = f.startProcedure(QStringLiteral("GroupList")); // 4
    f.startProcedure(QStringLiteral("ScienceList"));                 // 5
    f.subWindowOf(days)->close();
    settle();
    QWidget* rooms = f.startProcedure(QStringLiteral("RoomList")); // takes the freed 2
    EXPECT_EQ(t.dict().windows.numberOf(rooms), 2);
    EXPECT_EQ(t.glo().WindowRefreshQueue, (std::set<tamsel::Short>{2, 3, 4}));

    // The group list changed something and tells the frame.
    ASSERT_TRUE(t.dict().windows.postToFrame(1025));
    settle();
    EXPECT_EQ(probes.log, (QList<Received>{{QStringLiteral("RoomList5"), 1025},
                                           {QStringLiteral("TeacherList2"), 1025},
                                           {QStringLiteral("GroupList3"), 1025}}));
    probes.log.clear();
    t.dict().windows.postToFrame(1280);
    settle();
    EXPECT_EQ(probes.log.size(), 3);
    EXPECT_EQ(probes.log.last(), (Received{QStringLiteral("GroupList3"), 1280}));

    // A closed window leaves the queue and gets nothing more.
    probes.log.clear();
    f.subWindowOf(groups)->close();
    settle();
    EXPECT_EQ(t.glo().WindowRefreshQueue, (std::set<tamsel::Short>{2, 3}));
    t.dict().windows.postToFrame(1024);
    settle();
    EXPECT_EQ(probes.log, (QList<Received>{{QStringLiteral("RoomList5"), 1024},
                                           {QStringLiteral("TeacherList2"), 1024}}));
}

TEST(Windows, EventWithNoWindowRegisteredIsDropped) {
    tamsel::TestFolder t;
    ProbeFactory probes;
    probes.add(t.dict(), QStringLiteral("ScienceList"), true, false);
    MainFrame f(t.dict());
    f.startProcedure(QStringLiteral("ScienceList"));
    EXPECT_TRUE(t.glo().WindowRefreshQueue.empty());
    t.dict().windows.postToFrame(1024);
    settle();
    EXPECT_TRUE(probes.log.isEmpty());
    // A stale number in the queue (a window gone without leaving it) is skipped, and the
    // frame never relays to itself.
    t.glo().WindowRefreshQueue = {1, 42};
    t.dict().windows.postToFrame(1024);
    settle();
    EXPECT_TRUE(probes.log.isEmpty());
}

TEST(Windows, SecondRequestActivatesAndRestoresTheOpenWindow) {
    tamsel::TestFolder t;
    ProbeFactory probes;
    probes.add(t.dict(), QStringLiteral("DayList"));
    probes.add(t.dict(), QStringLiteral("TeacherList"));
    MainFrame f(t.dict());
    f.show();
    QWidget* days = f.startProcedure(QStringLiteral("DayList"));
    f.startProcedure(QStringLiteral("TeacherList"));
    f.subWindowOf(days)->showMinimized();
    EXPECT_EQ(f.startProcedure(QStringLiteral("DayList")), days);
    EXPECT_EQ(probes.made, 2);
    EXPECT_EQ(f.mdiArea()->subWindowList().size(), 2);
    EXPECT_FALSE(f.subWindowOf(days)->isMinimized());
    EXPECT_EQ(f.mdiArea()->activeSubWindow(), f.subWindowOf(days));
}

TEST(Windows, WindowNumbersAreFreedWhenWindowsGo) {
    tamsel::TestFolder t;
    tamsel::WindowTable& table = t.dict().windows;
    auto a = std::make_unique<QObject>();
    auto b = std::make_unique<QObject>();
    EXPECT_EQ(table.enlist(a.get(), QStringLiteral("A")), 1);
    EXPECT_EQ(table.enlist(b.get(), QStringLiteral("B")), 2);
    table.listen(2);
    table.listen(7); // no such window: not listed
    EXPECT_EQ(t.glo().WindowRefreshQueue, (std::set<tamsel::Short>{2}));
    EXPECT_EQ(table.findOpen(QStringLiteral("B")), 2);
    b.reset();
    EXPECT_TRUE(t.glo().WindowRefreshQueue.empty());
    EXPECT_EQ(table.findOpen(QStringLiteral("B")), 0);
    EXPECT_FALSE(table.post(2, 1024));
    auto c = std::make_unique<QObject>();
    EXPECT_EQ(table.enlist(c.get(), QStringLiteral("C")), 2);
    EXPECT_EQ(table.procedureOf(2), QStringLiteral("C"));
}

TEST(Windows, StopButtonOpensOnceSetsTheFlagAndCloses) {
    tamsel::TestFolder t;
    t.glo().StopButtonAtX = 40;
    t.glo().StopButtonAtY = 30;
    MainFrame f(t.dict());
    f.show();
    t.dict().windows.postToFrame(1281);
    t.dict().windows.postToFrame(1281);
    settle();
    ASSERT_EQ(stopButtons().size(), 1);
    StopButton* stop = f.stopButton();
    ASSERT_EQ(stopButtons()[0], stop);
    EXPECT_EQ(stop->pos(), QPoint(40, 30));
    EXPECT_EQ(stop->button()->text(), s("Стоп!"));
    EXPECT_EQ(t.dict().windows.procedureOf(t.dict().windows.numberOf(stop)),
              QStringLiteral("StopButton"));

    t.glo().ProcessingDisabled = 0;
    QTest::mouseClick(stop->button(), Qt::LeftButton);
    EXPECT_EQ(t.glo().ProcessingDisabled, 1);
    t.glo().ProcessingDisabled = 0;
    QTest::mouseClick(stop->button(), Qt::LeftButton);
    EXPECT_EQ(t.glo().ProcessingDisabled, 1);
    EXPECT_EQ(stopButtons().size(), 1);

    t.dict().windows.postToFrame(1282);
    settle();
    EXPECT_TRUE(stopButtons().isEmpty());
    EXPECT_EQ(f.stopButton(), nullptr);
    // Closing it again, or a late 1282, does no harm; a new run opens a new one.
    t.dict().windows.postToFrame(1282);
    t.dict().windows.postToFrame(1281);
    settle();
    EXPECT_EQ(stopButtons().size(), 1);
}

TEST(Windows, ArchiveClosesEveryOtherWindowFirst) {
    tamsel::TestFolder t;
    ProbeFactory probes;
    probes.add(t.dict(), QStringLiteral("DayList"));
    probes.add(t.dict(), QStringLiteral("TeacherList"));
    probes.add(t.dict(), QStringLiteral("ArcSched"));
    MainFrame f(t.dict());
    f.show();
    f.startProcedure(QStringLiteral("DayList"));
    f.startProcedure(QStringLiteral("TeacherList"));
    t.dict().windows.postToFrame(1281);
    settle();
    f.showHelp(QStringLiteral("~FirstSteps"));
    for (QAction* a : f.mainToolBar()->actions())
        if (a->toolTip() == s("Архив расписаний")) a->trigger();
    settle();
    ASSERT_EQ(f.mdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(f.mdiArea()->subWindowList()[0]->widget()->objectName(), QStringLiteral("ArcSched3"));
    EXPECT_EQ(f.stopButton(), nullptr);
    EXPECT_EQ(f.helpWindow(), nullptr);
    // Only the frame and the archive keep numbers.
    EXPECT_EQ(t.dict().windows.numbers(), (QList<tamsel::Short>{1, 2}));
}

TEST(Windows, ArchiveIsNotOpenedWhileAWindowRefusesToClose) {
    tamsel::TestFolder t;
    ProbeFactory probes;
    probes.add(t.dict(), QStringLiteral("TrainingPlan"));
    probes.add(t.dict(), QStringLiteral("ArcSched"));
    MainFrame f(t.dict());
    f.show();
    auto* plan = static_cast<Probe*>(f.startProcedure(QStringLiteral("TrainingPlan")));
    plan->refuseClose = true;
    for (QAction* a : f.mainToolBar()->actions())
        if (a->toolTip() == s("Архив расписаний")) a->trigger();
    settle();
    EXPECT_EQ(f.mdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(probes.made, 1);

    // Closing the frame is refused too, and nothing is lost.
    EXPECT_FALSE(f.close());
    EXPECT_TRUE(f.isVisible());
    plan->refuseClose = false;
    EXPECT_TRUE(f.close());
}

TEST(Windows, PlacesRoundTripThroughTheSettingsFile) {
    tamsel::TestFolder t;
    ProbeFactory probes;
    probes.add(t.dict(), QStringLiteral("TeacherList"));
    {
        MainFrame f(t.dict());
        f.setGeometry(30, 40, 700, 500);
        f.show();
        QWidget* w = f.startProcedure(QStringLiteral("TeacherList"));
        f.subWindowOf(w)->setGeometry(12, 34, 320, 240);
        f.subWindowOf(w)->close();
        settle();
        EXPECT_TRUE(f.close());
    }
    tamsel::IniFile& ini = t.dict().settings();
    EXPECT_EQ(ini.number(QStringLiteral("TeacherList"), QStringLiteral("XPos")), 12);
    EXPECT_EQ(ini.number(QStringLiteral("TeacherList"), QStringLiteral("YPos")), 34);
    EXPECT_EQ(ini.number(QStringLiteral("TeacherList"), QStringLiteral("Width")), 320);
    EXPECT_EQ(ini.number(QStringLiteral("TeacherList"), QStringLiteral("Height")), 240);
    EXPECT_EQ(ini.number(QStringLiteral("TeacherList"), QStringLiteral("Maximize"), -1), 0);
    EXPECT_EQ(ini.number(QStringLiteral("Main"), QStringLiteral("Width")), 700);
    ASSERT_TRUE(t.dict().saveSettings());

    // A second run reads the file afresh.
    tamsel::Dictionary again(t.path());
    ASSERT_TRUE(again.loadSettings());
    ProbeFactory probes2;
    probes2.add(again, QStringLiteral("TeacherList"));
    {
        MainFrame f(again);
        EXPECT_EQ(f.geometry(), QRect(30, 40, 700, 500));
        f.show();
        QWidget* w = f.startProcedure(QStringLiteral("TeacherList"));
        EXPECT_EQ(f.subWindowOf(w)->geometry(), QRect(12, 34, 320, 240));
        // Maximised, it keeps its normal place for the next time.
        f.subWindowOf(w)->showMaximized();
        f.subWindowOf(w)->close();
        settle();
        EXPECT_EQ(
            again.settings().number(QStringLiteral("TeacherList"), QStringLiteral("Maximize")), 1);
        EXPECT_EQ(again.settings().number(QStringLiteral("TeacherList"), QStringLiteral("Width")),
                  320);
        w = f.startProcedure(QStringLiteral("TeacherList"));
        EXPECT_TRUE(f.subWindowOf(w)->isMaximized());
        f.subWindowOf(w)->showNormal();
        EXPECT_EQ(f.subWindowOf(w)->geometry(), QRect(12, 34, 320, 240));
    }
}

// A real window of a library: its place is the frame's to keep, so what is stored is the child
// window's frame geometry, and it comes back at the next opening.
TEST(Windows, AutoPivrelPlaceRoundTripsThroughTheFrame) {
    tamsel::TestFolder t;
    pivrel::Init(t.dict(), nullptr, nullptr);
    MainFrame f(t.dict());
    f.setGeometry(30, 40, 700, 500);
    f.show();
    QWidget* w = f.startProcedure(QStringLiteral("AutoPivrel"));
    ASSERT_NE(qobject_cast<pivrel::AutoPivrel*>(w), nullptr);
    f.subWindowOf(w)->setGeometry(12, 34, 640, 480);
    f.subWindowOf(w)->close();
    settle();
    tamsel::IniFile& ini = t.dict().settings();
    EXPECT_EQ(ini.number(QStringLiteral("AutoPivrel"), QStringLiteral("XPos")), 12);
    EXPECT_EQ(ini.number(QStringLiteral("AutoPivrel"), QStringLiteral("YPos")), 34);
    EXPECT_EQ(ini.number(QStringLiteral("AutoPivrel"), QStringLiteral("Width")), 640);
    EXPECT_EQ(ini.number(QStringLiteral("AutoPivrel"), QStringLiteral("Height")), 480);

    w = f.startProcedure(QStringLiteral("AutoPivrel"));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(f.subWindowOf(w)->geometry(), QRect(12, 34, 640, 480));
    f.subWindowOf(w)->close();
    settle();
    EXPECT_EQ(ini.number(QStringLiteral("AutoPivrel"), QStringLiteral("Width")), 640);
    EXPECT_TRUE(f.close());
}

/// One day, two lessons; Иванова teaches 5-А mathematics in 101, one lesson, not yet placed.
std::vector<std::unique_ptr<tamsel::FileUse>> smallSchool(tamsel::TestFolder& t) {
    using namespace tamsel;
    std::vector<std::unique_ptr<FileUse>> files;
    for (FileId id : {FileId::Days, FileId::LessonBell, FileId::Teacher, FileId::Group,
                      FileId::Room, FileId::Science, FileId::RoomList, FileId::Schedule})
        files.push_back(std::make_unique<FileUse>(t.store(), id));
    t.put(Days{.DaySeqNumber = 1, .DayName = s("Понедельник")});
    for (const char* no : {"1", "2"}) {
        t.put(LessonBell{.LessonNo = QString::fromLatin1(no)});
    }
    t.put(Teacher{.TeacherCode = 1, .TeacherName = s("Иванова")});
    t.put(Group{.GroupCode = 1, .Course = s("5"), .Defis = s("-"), .Literal = s("А")});
    t.put(Room{.RoomCode = 1, .RoomNo = s("101")});
    t.put(Science{.ScienceCode = 1, .Science = s("Математика")});
    t.put(RoomList{.TeacherCode = 1, .ScienceCode = 1, .RoomCode = 1});
    t.put(Schedule{.LessonNo = {}, .ScienceCode = 1, .TeacherCode = 1, .GroupCode = 1});

    return files;
}

// The grids and the unplaced lessons as the officer opens them from the menu: a change in one
// grid reaches the others through the frame's relay, the unplaced list opens once.
TEST(Windows, GridsAndTheUnplacedListWorkThroughTheFrame) {
    tamsel::TestFolder t;
    using namespace tamsel;
    const auto files = smallSchool(t);
    pivrel::Init(t.dict(), nullptr, nullptr);
    MainFrame f(t.dict());
    f.show();
    for (const char* item : {"PivrelLessons", "PivrelLessons.Small", "UnplacedLessons"}) {
        QAction* a = f.findChild<QAction*>(QString::fromLatin1(item));
        ASSERT_NE(a, nullptr) << item;
        EXPECT_TRUE(a->isEnabled()) << item;
    }
    auto* byTeacher =
        qobject_cast<pivrel::PivrelLessons*>(f.startProcedure(QStringLiteral("PivrelLessons")));
    auto* byGroup = qobject_cast<pivrel::PivrelLessons*>(
        f.startProcedure(QStringLiteral("PivrelLessons"), QStringLiteral("Small")));
    ASSERT_TRUE(byTeacher && byGroup);
    EXPECT_NE(byTeacher, byGroup);
    EXPECT_TRUE(byGroup->grid().small());
    ASSERT_TRUE(byGroup->showObject(ObjectType::Group, 1));
    EXPECT_EQ(f.subWindowOf(byGroup)->windowTitle(), s("Расписание 5-А"));

    // A second request brings the one unplaced list forward.
    QWidget* unplaced = f.startProcedure(QStringLiteral("UnplacedLessons"));
    ASSERT_NE(qobject_cast<pivrel::UnplacedLessons*>(unplaced), nullptr);
    EXPECT_EQ(f.startProcedure(QStringLiteral("UnplacedLessons")), unplaced);
    EXPECT_EQ(f.findChildren<pivrel::UnplacedLessons*>().size(), 1);

    // A lesson placed in the teacher's grid shows in the group's grid and leaves the list.
    t.glo().ScheduleRecord = t.dict().access<Schedule>().all(Schedule::TeacherKey).front();
    EXPECT_EQ(byTeacher->grid().place(pivrel::GridCell{0, 0, 1}),
              pivrel::TimetableGrid::Drop::Placed);
    settle();
    QAbstractItemModel* m = byGroup->blockViews().front()->model();
    EXPECT_EQ(m->index(1, 0).data().toString(), s("101 Иванова\nМатематика"));
    EXPECT_EQ(static_cast<pivrel::UnplacedLessons*>(unplaced)->list(0)->model()->rowCount(), 0);
    EXPECT_TRUE(f.close());
}

// A changed subgroup separator reaches an open grid at once and the settings file at the
// end, a blank one too.
TEST(Windows, AppearanceChangesReachOpenGridsAtOnceAndTheSettingsAtTheEnd) {
    using namespace tamsel;
    tamsel::TestFolder t;
    const auto files = smallSchool(t);
    Schedule lesson = t.dict().access<Schedule>().all(Schedule::TeacherKey).front();
    lesson.SubGroupNum = 1;
    lesson.Week = 1;
    lesson.DaySeqNumber = 1;
    lesson.LessonNo = s("1");
    lesson.RoomCode = 1;
    ASSERT_TRUE(t.dict().access<Schedule>().update(lesson).ok());
    pivrel::Init(t.dict(), nullptr, nullptr);
    hestor::Init(t.dict(), nullptr, nullptr);
    MainFrame f(t.dict());
    f.show();
    auto* grid =
        qobject_cast<pivrel::PivrelLessons*>(f.startProcedure(QStringLiteral("PivrelLessons")));
    ASSERT_NE(grid, nullptr);
    ASSERT_TRUE(grid->showObject(ObjectType::Group, 1));
    auto* look =
        qobject_cast<hestor::ExterierConfig*>(f.startProcedure(QStringLiteral("ExterierConfig")));
    ASSERT_NE(look, nullptr);
    QAbstractItemModel* m = grid->blockViews().front()->model();
    EXPECT_TRUE(m->index(0, 0).data().toString().startsWith(s("5-А/1")));
    look->separator()->selectAll();
    QTest::sendKeyEvent(QTest::Click, look->separator(), Qt::Key_Minus, QStringLiteral("-"), {});
    settle();
    EXPECT_TRUE(m->index(0, 0).data().toString().startsWith(s("5-А-1")));
    look->separator()->setText(QString());
    emit look->separator()->textEdited(QString()); // emptied: a blank
    settle();
    EXPECT_TRUE(m->index(0, 0).data().toString().startsWith(s("5-А 1")));
    look->setColour(1, QColor(10, 20, 30));
    EXPECT_TRUE(f.close());
    ASSERT_TRUE(t.dict().saveSettings()); // what the program does at its end
    // What a start reads back.
    tamsel::Dictionary again(t.path());
    ASSERT_TRUE(again.loadSettings());
    EXPECT_EQ(again.glo.SubGroupSep, s(" "));
    EXPECT_EQ(again.glo.WeakRestrictionColor, 0x1E140A);
}

// The demand windows open from their menu items on an empty school.
TEST(Windows, TheDemandWindowsOpenFromTheMenu) {
    tamsel::TestFolder t;
    ombrel::Init(t.dict(), nullptr, nullptr);
    MainFrame f(t.dict());
    f.show();
    for (const char* name : {"TrainingPlan", "TeacherLessons", "TimeRestrictions", "LessonLinks"}) {
        const QString procedure = QString::fromLatin1(name);
        QWidget* w = f.startProcedure(procedure);
        ASSERT_NE(w, nullptr) << name;
        EXPECT_EQ(w->objectName(), procedure);
        EXPECT_EQ(f.startProcedure(procedure), w) << name; // one of each
    }
    EXPECT_TRUE(f.close());
}

TEST(Windows, TheImportWindowsOpenFromTheMenuOnceEveryOtherWindowIsClosed) {
    tamsel::TestFolder t;
    ProbeFactory probes;
    probes.add(t.dict(), QStringLiteral("DayList"));
    hestor::Init(t.dict(), nullptr, nullptr);
    MainFrame f(t.dict());
    f.show();
    for (const char* name : {"Import1FromLodra", "Import2FromLodra"}) {
        f.startProcedure(QStringLiteral("DayList"));
        auto* item = f.findChild<QAction*>(QString::fromLatin1(name));
        ASSERT_NE(item, nullptr) << name;
        ASSERT_TRUE(item->isEnabled()) << name;
        item->trigger();
        settle();
        // Its stages replace whole data files: nothing else may hold them.
        ASSERT_EQ(f.mdiArea()->subWindowList().size(), 1) << name;
        EXPECT_NE(qobject_cast<hestor::ImportFromLodra*>(f.mdiArea()->subWindowList()[0]->widget()),
                  nullptr)
            << name;
    }
    EXPECT_TRUE(f.close());
}

TEST(Windows, ASchoolImportedFromTheOlderProductOpensInEveryWindow) {
    using L = tamsel::LegacyFileId;
    auto rows = [](std::initializer_list<std::initializer_list<const char*>> values) {
        std::vector<QStringList> out;
        for (const auto& r : values) {
            QStringList fields;
            for (const char* v : r)
                fields << s(v);
            out.push_back(fields);
        }
        return out;
    };
    const std::map<L, std::vector<QStringList>> old{
        {L::Lessons, rows({{"1", "8:30", "9:15"}, {"2", "9:25", "10:10"}})},
        {L::RoomTypes, rows({{"Обычный"}})},
        {L::Rooms, rows({{"101", "Обычный"}, {"102", "Обычный"}})},
        {L::Specialities, rows({{"Математика"}})},
        {L::Teachers, rows({{"Иванова", "Математика", "18", "101", "", "0"}})},
        {L::Groups, rows({{"5", "А", "", "0"}, {"5", "Б", "", "0"}})},
        {L::Sciences, rows({{"Математика", "Обычный", "", "0", "0"}})},
        {L::TeacherForbids, rows({{"Иванова", "1", "2", "0", "0", "0", "0", "0"}})},
        {L::GroupForbids, rows({{"5", "А", "2", "1", "0", "0", "0", "0", "0"}})},
        {L::TrainingPlan, rows({{"Математика", "5", "", "3"}})},
        {L::TeacherLoad, rows({{"Иванова", "5", "А", "Математика", "3"},
                               {"Иванова", "5", "Б", "Математика", "3"}})},
        {L::Schedule, rows({{"1", "1", "1", "Иванова", "5", "А", "101", "Математика", "0", "0"}})},
    };
    QTemporaryDir dir;
    for (const auto& [id, records] : old) {
        QByteArray bytes;
        ASSERT_TRUE(tamsel::WriteLegacyFile(id, records, &bytes, nullptr));
        QFile f(QDir(dir.path()).filePath(QLatin1String(tamsel::legacyLayout(id).fileName)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    tamsel::TestFolder t;
    Program program(t.dict());
    program.start();
    t.glo().LodraDataDir = dir.path();
    ASSERT_TRUE(hestor::ImportLodraStage(t.dict(), hestor::LodraStage::Reference).done());
    ASSERT_TRUE(hestor::ImportLodraStage(t.dict(), hestor::LodraStage::Plans).done());
    t.ui.clear();
    {
        MainFrame f(t.dict());
        f.show();
        for (const QString& name : t.dict().procedures.names()) {
            const tamsel::Procedure* p = t.dict().procedures.find(name);
            if (p->kind != tamsel::Procedure::Window) continue;
            EXPECT_NE(f.startProcedure(name), nullptr) << name.toStdString();
            settle();
        }
        EXPECT_GE(f.mdiArea()->subWindowList().size(), 15);
        EXPECT_TRUE(f.close());
    }
    EXPECT_EQ(t.dict().errors().failuresShown(), 0) << t.ui.texts().join(s("\n")).toStdString();
    EXPECT_TRUE(program.finish());
}

TEST(Windows, ArrangementsTileTheOpenWindows) {
    tamsel::TestFolder t;
    ProbeFactory probes;
    probes.add(t.dict(), QStringLiteral("DayList"));
    probes.add(t.dict(), QStringLiteral("RoomList"));
    MainFrame f(t.dict());
    f.resize(800, 600);
    f.show();
    QMdiSubWindow* a = f.subWindowOf(f.startProcedure(QStringLiteral("DayList")));
    QMdiSubWindow* b = f.subWindowOf(f.startProcedure(QStringLiteral("RoomList")));
    const QRect area = f.mdiArea()->viewport()->rect();
    f.tileVertically();
    EXPECT_EQ(a->geometry().top(), 0);
    EXPECT_EQ(a->height(), area.height());
    EXPECT_EQ(a->width() + b->width(), area.width());
    EXPECT_FALSE(a->geometry().intersects(b->geometry()));
    f.tileHorizontally();
    EXPECT_EQ(a->width(), area.width());
    EXPECT_EQ(a->height() + b->height(), area.height());
    EXPECT_FALSE(a->geometry().intersects(b->geometry()));
    a->showMinimized();
    b->showMinimized();
    f.arrangeIcons();
    EXPECT_EQ(a->geometry().bottom(), area.bottom());
    EXPECT_EQ(b->geometry().bottom(), area.bottom());
    EXPECT_FALSE(a->geometry().intersects(b->geometry()));
}

TEST(Windows, AWindowThatClosesItselfLeavesNoEmptyFrame) {
    tamsel::TestFolder t;
    ProbeFactory probes;
    probes.add(t.dict(), QStringLiteral("DayList"));
    MainFrame f(t.dict());
    f.show();
    QWidget* w = f.startProcedure(QStringLiteral("DayList"));
    w->close();
    settle();
    EXPECT_TRUE(f.mdiArea()->subWindowList().isEmpty());
    EXPECT_TRUE(t.glo().WindowRefreshQueue.empty());
    EXPECT_EQ(t.dict().windows.findOpen(QStringLiteral("DayList")), 0);

    // The same for a window that deletes itself on closing.
    w = f.startProcedure(QStringLiteral("DayList"));
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->close();
    settle();
    EXPECT_TRUE(f.mdiArea()->subWindowList().isEmpty());
    EXPECT_EQ(t.dict().windows.findOpen(QStringLiteral("DayList")), 0);

    // A window that refuses to close stays, frame and all; a minimised one is not closed.
    w = f.startProcedure(QStringLiteral("DayList"));
    static_cast<Probe*>(w)->refuseClose = true;
    w->close();
    f.subWindowOf(w)->showMinimized();
    settle();
    ASSERT_EQ(f.mdiArea()->subWindowList().size(), 1);
    EXPECT_TRUE(f.subWindowOf(w)->isVisible());
    static_cast<Probe*>(w)->refuseClose = false;
}

TEST(Windows, SavedPlacesBeyondTheScreenAreFittedIntoIt) {
    tamsel::TestFolder t;
    tamsel::IniFile& ini = t.dict().settings();
    for (const char* key : {"XPos", "YPos", "Width", "Height"})
        ini.setNumber(QStringLiteral("Main"), QString::fromLatin1(key), 2000000000);
    ini.setNumber(QStringLiteral("Lost"), QStringLiteral("XPos"), -99999999999LL);
    ini.setNumber(QStringLiteral("Lost"), QStringLiteral("YPos"), 50);
    ini.setNumber(QStringLiteral("Lost"), QStringLiteral("Width"), 300);
    ini.setNumber(QStringLiteral("Lost"), QStringLiteral("Height"), 200);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    {
        MainFrame f(t.dict());
        EXPECT_TRUE(screen.contains(f.geometry())) << f.width() << "x" << f.height();
        EXPECT_EQ(f.size(), screen.size());
    }
    QWidget top;
    tamsel::WindowPlaceKeeper::restore(&top, ini, QStringLiteral("Lost"));
    EXPECT_TRUE(screen.contains(top.geometry()));
    EXPECT_EQ(top.size(), QSize(300, 200));
}
