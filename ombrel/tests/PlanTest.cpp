// The plan and its schedule entries: UpdateSchedule's analysis and correction, and the two
// windows in which the officer edits the plan and gives lessons their teachers.

#include "ombrel/ScheduleUpdate.h"
#include "ombrel/windows/TeacherLessons.h"
#include "ombrel/windows/TrainingPlan.h"

#include "PlanSchool.h"

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QLabel>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <sqlite3.h>
#include <tuple>

using namespace tamsel;
using namespace ombrel;
using namespace plantest;

TEST(UpdateSchedule, SinglesFollowTheNewHoursAndTakenEntriesStay) {
    Plan p;
    TrainingCourse tc = p.item(1, 4, 0);
    EXPECT_EQ(p.entries(tc).size(), 8u); // two groups
    ScheduleUpdate r = p.change(tc, 6, 0);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.messages.isEmpty());
    p.expectEntriesFollowPlan();

    // 6 → 3 with one placed lesson: three free ones go, the placed one stays.
    const Schedule placed = p.entries(tc, 1).front();
    Schedule x = placed;
    x.Week = 1;
    x.DaySeqNumber = 1;
    x.LessonNo = u("1");
    ASSERT_TRUE(p.t.dict().access<Schedule>().update(x).ok());
    r = p.change(tc, 3, 0);
    EXPECT_EQ(r.result, 0);
    p.expectEntriesFollowPlan();
    EXPECT_EQ(p.t.dict().access<Schedule>().byRowId(placed.rowId).LessonNo, u("1"));
}

TEST(UpdateSchedule, EntriesGivenToATeacherStayWhenTheHoursGoDown) {
    Plan p;
    TrainingCourse tc = p.item(1, 6, 0);
    const std::vector<Schedule> before = p.entries(tc, 1);
    ASSERT_EQ(before.size(), 6u);
    // The first two of them are given to a teacher in the load, not placed yet.
    for (size_t i = 0; i < 2; ++i) {
        Schedule x = before[i];
        x.TeacherCode = 1;
        ASSERT_TRUE(p.t.dict().access<Schedule>().update(x).ok());
    }
    const ScheduleUpdate r = p.change(tc, 3, 0);
    EXPECT_EQ(r.result, 0);
    p.expectEntriesFollowPlan();
    for (size_t i = 0; i < 2; ++i)
        EXPECT_EQ(p.t.dict().access<Schedule>().byRowId(before[i].rowId).TeacherCode, 1);
}

TEST(UpdateSchedule, TakenEntriesBeyondTheNewHoursRefuseWithTheExactText) {
    Plan p;
    TrainingCourse tc = p.item(1, 5, 0);
    const auto group1 = p.entries(tc, 1);
    for (int i = 0; i < 4; ++i)
        p.take(group1[static_cast<size_t>(i)]);
    const QByteArray before = p.folderDigest();
    const ScheduleUpdate r = p.change(tc, 3, 0);
    EXPECT_EQ(r.result, 5);
    EXPECT_EQ(r.status, u("Анализ возможности внесения изменений"));
    EXPECT_EQ(r.messages,
              QStringList{u("В группе 5-А планируется 3 одиночных часов, в то время, как у нее уже "
                            "размещено 4 одиночных часов. Сначала нужно снять лишние размещенные "
                            "часы.")});
    EXPECT_EQ(p.folderDigest(), before);

    // A changed subject is refused before anything is counted.
    Plan q;
    TrainingCourse other = q.item(1, 2, 0);
    const ScheduleUpdate s = UpdateScheduleEntries(q.t.dict(), other, 2, 2, 0);
    EXPECT_EQ(s.result, 5);
    EXPECT_EQ(s.messages, QStringList{u("В текущей версси при редактировании нельзя изменять "
                                        "название предмета.")});
}

TEST(UpdateSchedule, PairsAreAddedWholeAndDeletedByAlternateHalves) {
    Plan p;
    TrainingCourse tc = p.item(2, 0, 2); // two subgroups
    ScheduleUpdate r = p.change(tc, 0, 6);
    EXPECT_EQ(r.result, 0);
    p.expectEntriesFollowPlan();
    std::vector<int> halves;
    for (const Schedule& s : p.entries(tc, 1, 2))
        halves.push_back(s.CoupledLesson);
    EXPECT_EQ(halves, (std::vector<int>{1, 2, 1, 2, 1, 2}));

    r = p.change(tc, 0, 2);
    EXPECT_EQ(r.result, 0);
    p.expectEntriesFollowPlan();
    halves.clear();
    for (const Schedule& s : p.entries(tc, 2, 1))
        halves.push_back(s.CoupledLesson);
    std::sort(halves.begin(), halves.end());
    EXPECT_EQ(halves, (std::vector<int>{1, 2})); // one whole pair remains
}

TEST(UpdateSchedule, OddTakenPairsRefuseAndTheCorrectionIsRolledBack) {
    Plan p;
    TrainingCourse tc = p.item(1, 1, 4);
    // One half of a pair of 5-Б has its teacher: an odd number of taken paired hours.
    for (const Schedule& s : p.entries(tc, 2))
        if (s.CoupledLesson == 1) {
            p.take(s);
            break;
        }
    const QByteArray before = p.folderDigest();
    const ScheduleUpdate r = p.change(tc, 3, 2);
    EXPECT_EQ(r.result, 5);
    EXPECT_EQ(r.status, u("Корректировка расписания"));
    EXPECT_EQ(r.messages,
              QStringList{u("Обнаружено нечетное количество часов в распределенных спаренных "
                            "уроках в группе 5-Б")});
    // 5-А's corrections were made before 5-Б's messages: all of them are undone.
    EXPECT_EQ(p.folderDigest(), before);
}

TEST(UpdateSchedule, AWriteRefusedMidwayLeavesEveryFileUnchanged) {
    Plan p;
    TrainingCourse tc = p.item(1, 2, 0);
    const QByteArray before = p.folderDigest();
    // The third new entry is refused.
    p.t.store().transactionHook = [](sqlite3* db, const std::vector<FileId>&) {
        sqlite3_exec(db,
                     "CREATE TEMP TABLE hits(n); INSERT INTO hits VALUES(0);"
                     "CREATE TEMP TRIGGER refuse BEFORE INSERT ON main.SCHEDULE BEGIN "
                     "UPDATE hits SET n=n+1; SELECT RAISE(ABORT,'refused') "
                     "WHERE (SELECT n FROM hits)>=3; END;",
                     nullptr, nullptr, nullptr);
    };
    const ScheduleUpdate r = UpdateScheduleEntries(p.t.dict(), tc, 1, 4, 0);
    p.t.store().transactionHook = nullptr;
    EXPECT_EQ(r.result, 5);
    EXPECT_TRUE(r.messages.contains(
        u("Не удалось добавить надлежащее количество одиночных уроков в группе 5-Б")));
    EXPECT_TRUE(p.t.ui.texts().filter(u("Access:Schedule.Insert() = ")).size() == 1)
        << p.t.ui.texts().join(u(" / ")).toStdString();
    EXPECT_EQ(p.folderDigest(), before);
}

TEST(UpdateSchedule, ACourseWithoutGroupsNeedsNothing) {
    Plan p(false);
    TrainingCourse tc = p.item(1, 2, 2);
    const ScheduleUpdate r = p.change(tc, 5, 4);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.messages.isEmpty());
    EXPECT_TRUE(p.entries(tc).empty());
}

TEST(UpdateSchedule, ANewItemGeneratesSinglesAndPairsPerSubgroup) {
    Plan p;
    const TrainingCourse tc = p.item(2, 3, 2);
    EXPECT_EQ(p.entries(tc, 1, 1).size(), 5u);
    EXPECT_EQ(p.entries(tc, 1, 2).size(), 5u);
    EXPECT_EQ(p.entries(tc, 2, 0).size(), 0u);
    p.expectEntriesFollowPlan();
}

// ------------------------------------------------------------------ the windows

TEST(TrainingPlanWindow, HoursAreCheckedInOrderAndTheEntriesFollow) {
    app();
    Plan p;
    TrainingCourse tc = p.item(1, 4, 2);
    TrainingCourse odd = p.item(2, 1, 0);
    TrainingPlan w(p.t.dict());
    EXPECT_EQ(w.windowTitle(), u("Учебный план по группам"));
    RecordListModel* m = w.items()->model();
    ASSERT_EQ(m->rowCount(), 2);
    EXPECT_EQ(w.totalsText(), u("Всего: 5 2; Общая назгузка 7"));
    EXPECT_EQ(w.groups()->model()->rowCount(), 2);
    const int row = m->indexOf(tc.rowId);
    ASSERT_GE(row, 0);
    EXPECT_EQ(m->index(row, 0).data().toString(), u("Математика"));
    EXPECT_EQ(m->index(m->indexOf(odd.rowId), 2).data().toString(), QString()); // blank zero

    for (int bad : {100, -1}) {
        p.t.ui.clear();
        EXPECT_FALSE(m->setData(m->index(row, 1), bad, Qt::EditRole));
        ASSERT_EQ(p.t.ui.shown.size(), 1);
        EXPECT_EQ(p.t.ui.shown[0].caption, u("Количество часов д.б. меньше"));
        EXPECT_EQ(p.t.ui.shown[0].text, u("Количество часов должно быть от 0 до 99"));
    }
    EXPECT_TRUE(m->setData(m->index(row, 1), 6, Qt::EditRole));
    p.expectEntriesFollowPlan();
    EXPECT_EQ(w.totalsText(), u("Всего: 7 2; Общая назгузка 9"));

    // Odd paired hours stored from elsewhere: the item cannot be saved until they are mended.
    TrainingCourse stored = p.t.dict().access<TrainingCourse>().byRowId(odd.rowId);
    stored.CoupledHours = 3;
    ASSERT_TRUE(p.t.dict().access<TrainingCourse>().update(stored).ok());
    w.refresh();
    p.t.ui.clear();
    EXPECT_FALSE(m->setData(m->index(m->indexOf(odd.rowId), 1), 2, Qt::EditRole));
    ASSERT_EQ(p.t.ui.shown.size(), 1);
    EXPECT_EQ(p.t.ui.shown[0].caption, u("Количество часов д.б. четным"));
    EXPECT_EQ(p.t.ui.shown[0].text,
              u("Количество часов в колонке спаренных часов должно быть четным"));
    EXPECT_EQ(p.t.dict().access<TrainingCourse>().byRowId(odd.rowId).SingleHours, 1);
}

TEST(TeacherLessonsWindow, NumericPadPlusGivesConsecutiveEntriesTheirTeacher) {
    app();
    Plan p;
    const TrainingCourse tc = p.item(1, 3, 0);
    TeacherLessons w(p.t.dict());
    w.show();
    EXPECT_EQ(w.windowTitle(), u("Распределение нагрузки"));
    ASSERT_GE(w.subjects()->model()->rowCount(), 1);
    ASSERT_TRUE(w.subjects()->goTo(w.subjects()->model()->row(1).rowId)); // Математика
    RecordListModel* m = w.entries()->model();
    ASSERT_EQ(m->rowCount(), 6);
    EXPECT_EQ(m->index(0, 1).data().toString(), u("5-А"));
    w.teacherChooser()->setCurrentIndex(w.teacherChooser()->findText(u("Петров")));
    QTableView* v = w.entries()->view();
    v->setCurrentIndex(m->index(0, 0));
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(v, Qt::Key_Plus, Qt::KeypadModifier);
    QStringList teachers;
    for (int r = 0; r < m->rowCount(); ++r)
        teachers << m->index(r, 3).data().toString();
    EXPECT_EQ(teachers, (QStringList{u("Петров"), u("Петров"), u("Петров"), {}, {}, {}}));
    EXPECT_EQ(v->currentIndex().row(), 3);
    // Minus takes the teacher off the entry it is on; the state icon needs a teacher.
    v->setCurrentIndex(m->index(2, 0));
    QTest::keyClick(v, Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(m->index(2, 3).data().toString(), QString());
    // By plan item: the same entries in plan order.
    w.tabs()->setCurrentIndex(1);
    EXPECT_EQ(w.entries()->model()->rowCount(), static_cast<int>(p.entries(tc).size()));
}
