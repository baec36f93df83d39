// The AutoPivrel window driven headless.

#include "../../../testsupport/TestApplication.h"
#include "School.h"

#include "SampleSchool.h"

#include "pivrel/Pivrel.h"
#include "pivrel/engine/AutoPivrel.h"
#include "pivrel/engine/PlacementCheckWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace tamsel;
using namespace pivrel;
using namespace enginetest;

namespace {
using testsupport::app;

void school(School& s) {
    s.science(1, u("Математика"));
    s.science(2, u("Физика"));
    s.teacher(1, u("Иванова"));
    s.teacher(2, u("Петров"));
    s.group(1, u("10"), u("А"));
    s.group(2, u("10"), u("Б"));
    s.roomList(1, 1, 1, 10);
    s.roomList(2, 2, 2, 10);
    s.lesson(1, 1, 1, 1);
    s.lesson(2, 2, 2, 2);
}
/// Иванова teaches 10-А Математика in room 101.
void oneOfEach(School& s) {
    s.science(1, u("Математика"));
    s.teacher(1, u("Иванова"));
    s.group(1, u("10"), u("А"));
    s.room(1, u("101"));
    s.roomList(1, 1, 1, 10);
}
} // namespace

TEST(AutoPivrelWindow, RunsFromStartButtonAndTellsTheFrame) {
    app();
    TestFolder t;
    School s(t, 2, 2);
    school(s);
    QList<int> posted;
    AutoPivrel w(t.dict(), [&](int e) { posted << e; });
    EXPECT_EQ(t.glo().ProcessingDisabled.load(), 1);
    EXPECT_EQ(w.kind(), TaskKind::Science); // the first tab, applied on opening
    EXPECT_EQ(w.tabs()->tabText(3), u("... всех"));
    w.show();
    w.tabs()->setCurrentIndex(3);
    EXPECT_EQ(w.kind(), TaskKind::All);
    EXPECT_TRUE(w.startText().isEmpty());

    QTest::mouseClick(w.startButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.endText().isEmpty(); }, 5000));
    EXPECT_EQ(posted, QList<int>({1281, 1282, 1024}));
    EXPECT_EQ(t.glo().ProcessingDisabled.load(), 1);
    const QStringList lines = w.progressLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), u("Подготовка задания на расстановку"));
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[lines.size() - 2], u("АВТОМАТИЧЕСКАЯ РАССТАНОВКА УРОКОВ ЗАКОНЧЕНА"));
    EXPECT_TRUE(lines.last().startsWith(u("Итог: размещено уроков: ")))
        << lines.last().toStdString();
    // A finished run ends with a full bar, and the window is wide enough for all four tabs.
    EXPECT_EQ(w.progressBar()->value(), w.progressBar()->maximum());
    EXPECT_GE(w.tabs()->width(), w.tabs()->tabBar()->sizeHint().width());
    EXPECT_FALSE(w.startText().isEmpty());
    EXPECT_FALSE(w.durationText().isEmpty());
    for (const Schedule& x : s.schedule())
        EXPECT_FALSE(x.isUnplaced());
}

TEST(AutoPivrelWindow, ChoosingAGroupPlacesOnlyItsLessons) {
    app();
    TestFolder t;
    School s(t, 2, 2);
    school(s);
    AutoPivrel w(t.dict(), {});
    w.show();
    w.tabs()->setCurrentIndex(2);
    ASSERT_EQ(w.groups()->count(), 2);
    EXPECT_EQ(w.groups()->itemText(1), u("10-Б"));
    w.groups()->setCurrentIndex(1);
    emit w.groups()->activated(1);
    EXPECT_EQ(w.kind(), TaskKind::Group);
    EXPECT_EQ(w.code(), 2);
    w.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.endText().isEmpty(); }, 5000));
    for (const Schedule& x : s.schedule())
        EXPECT_EQ(x.isUnplaced(), x.GroupCode == 1);
}

TEST(AutoPivrelWindow, OfferedToTheFrame) {
    app();
    TestFolder t;
    pivrel::Init(t.dict(), nullptr, nullptr);
    const Procedure* p = t.dict().procedures.find(u("AutoPivrel"));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->kind, Procedure::Window);
    EXPECT_TRUE(p->singleInstance);
    std::unique_ptr<QObject> w(p->start(t.dict(), ProcedureCall{}));
    EXPECT_NE(qobject_cast<AutoPivrel*>(w.get()), nullptr);
}

TEST(AutoPivrelWindow, ADamagedTimetableFileIsNamedAndNothingCrashes) {
    app();
    TestFolder t;
    {
        School s(t, 2, 2);
        school(s);
    }
    t.store().closeAll();
    QFile damaged(t.file(QStringLiteral("Schedule.db")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate)); // zero length
    damaged.close();
    AutoPivrel w(t.dict(), [](int) {});
    w.show();
    w.tabs()->setCurrentIndex(3);
    QTest::mouseClick(w.startButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.running() && !w.endText().isEmpty(); }, 5000));
    bool named = false;
    for (const QString& text : t.ui.texts())
        named |= text.contains(QStringLiteral("Schedule.db"));
    EXPECT_TRUE(named) << t.ui.texts().join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(
        w.progressLines().join(QLatin1Char('\n')).contains(QStringLiteral("Размещение уроков")));
    EXPECT_EQ(QFileInfo(t.file(QStringLiteral("Schedule.db"))).size(), 0);
}

TEST(AutoPivrelWindow, TheRepairBoxFinishesAPlantedSchoolAndIsKept) {
    app();
    TestFolder t;
    sample::SampleOptions o;
    o.size = sample::SchoolSize::Medium;
    o.planted = 1.0;
    ASSERT_TRUE(sample::GenerateSampleSchool(t.dict(), o));
    ASSERT_TRUE(t.dict().loadSettings());
    t.ui.answers = {Yes};
    AutoPivrel w(t.dict(), {});
    w.show();
    EXPECT_EQ(w.repairBox()->text(), u("Доводить расстановку до конца"));
    EXPECT_FALSE(w.repairBox()->isChecked()); // off unless asked for
    w.tabs()->setCurrentIndex(3);
    w.repairBox()->click();
    EXPECT_EQ(t.dict().settings().value(u("AutoPivrel"), u("Repair")), u("1"));
    w.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.endText().isEmpty(); }, 30000));
    const QStringList lines = w.progressLines();
    EXPECT_TRUE(lines.contains(u("Доводка расстановки")));
    EXPECT_EQ(lines.last(), u("Итог: размещено уроков: 1428, осталось нерасставленных: 0."))
        << lines.last().toStdString();
    // A window opened later starts with the box as it was left.
    AutoPivrel again(t.dict(), {});
    EXPECT_TRUE(again.repairBox()->isChecked());
}

TEST(AutoPivrelWindow, TheCheckNamesWhatCannotFitAndTheRunSaysWhyItIsLeft) {
    app();
    TestFolder t;
    School s(t, 1, 2); // two cells
    oneOfEach(s);
    for (int h = 0; h < 3; ++h) s.lesson(1, 1, 1, 1);
    t.ui.answers = {Yes};
    AutoPivrel w(t.dict(), {});
    w.show();
    EXPECT_EQ(w.resultTabs()->tabText(1), u("Почему не расставлено"));

    // Before the run: the check, from the window's button, proves that three hours cannot go
    // into two cells and names the lessons.
    QTest::mouseClick(w.checkButton(), Qt::LeftButton);
    auto* check = w.findChild<PlacementCheckWindow*>();
    ASSERT_TRUE(check);
    EXPECT_EQ(check->windowTitle(), u("Проверка данных для расстановки"));
    ASSERT_GE(check->list()->topLevelItemCount(), 1);
    QTreeWidgetItem* first = check->list()->topLevelItem(0);
    EXPECT_EQ(first->text(0), u("невозможно"));
    EXPECT_EQ(first->text(1), u("10-А Математика (Иванова): 3 ч. на 2 свободные клетки"));
    EXPECT_TRUE(check->details()->toPlainText().contains(u("допустимых клеток 2")));
    // A double click takes the grids to the group: its lesson is in hand.
    check->goTo(0);
    EXPECT_EQ(t.glo().ScheduleRecord.GroupCode, 1);
    check->close();

    w.tabs()->setCurrentIndex(3);
    w.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.endText().isEmpty(); }, 5000));
    ASSERT_EQ(w.whyList()->topLevelItemCount(), 1);
    QTreeWidgetItem* lesson = w.whyList()->topLevelItem(0);
    EXPECT_EQ(lesson->text(0), u("10-А Математика (Иванова): 1 ч."));
    QStringList reasons;
    for (int i = 0; i < lesson->childCount(); ++i)
        reasons << lesson->child(i)->text(0) + u(" | ") + lesson->child(i)->text(1) + u(" | ") +
                       (lesson->child(i)->childCount() ? lesson->child(i)->child(0)->text(0) +
                                                             u(" ") +
                                                             lesson->child(i)->child(0)->text(1)
                                                       : QString());
    EXPECT_TRUE(reasons.contains(u("Размещение уроков невозможно из-за занятости учителя Иванова | "
                                   "2 | 10-А Математика (Иванова) 2")))
        << reasons.join(u("\n")).toStdString();
}

TEST(AutoPivrelWindow, TheMinimalRerunButtonShowsWhatMoved) {
    app();
    TestFolder t;
    School s(t, 2, 2);
    oneOfEach(s);
    s.lesson(1, 1, 1, 1, 0, 0, 0, 1, 1, 1, u("1"));
    s.lesson(1, 1, 1, 1, 0, 0, 0, 1, 1, 1, u("2"));
    // A new forbidden cell under the first lesson.
    s.restrict(ObjectType::Teacher, 1, 1, 1, u("1"), RestrictionLevel::Forbidden);
    AutoPivrel w(t.dict(), {});
    w.show();
    w.tabs()->setCurrentIndex(3);
    EXPECT_EQ(w.minimalButton()->text(), u("Перерасставить с минимальными изменениями"));
    QTest::mouseClick(w.minimalButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.endText().isEmpty(); }, 5000));
    EXPECT_EQ(w.resultTabs()->tabText(w.resultTabs()->currentIndex()), u("Перемещенные уроки"));
    ASSERT_EQ(w.movedList()->topLevelItemCount(), 1);
    const QTreeWidgetItem* moved = w.movedList()->topLevelItem(0);
    EXPECT_EQ(moved->text(0), u("10-А Математика (Иванова)"));
    EXPECT_EQ(moved->text(1), u("Понедельник, урок 1, каб. 101"));
    EXPECT_TRUE(moved->text(2).startsWith(u("Вторник, урок "))) << moved->text(2).toStdString();
    EXPECT_EQ(moved->text(3), u("запрещенное время учителя"));
    EXPECT_EQ(w.movedSummary()->text(), u("Итог: перемещено уроков: 1, из них снято из-за "
                                          "нарушения правил: 1, не размещено снова: 0."));
    // The second lesson stayed, and a plain start afterwards clears the tab.
    const auto lessons = s.schedule();
    EXPECT_TRUE(std::any_of(lessons.begin(), lessons.end(), [](const Schedule& l) {
        return l.DaySeqNumber == 1 && l.LessonNo == u("2");
    }));
    w.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.movedList()->topLevelItemCount() == 0; }, 5000));
}

TEST(AutoPivrelWindow, TheCompactButtonClosesAGapAndShowsWhatMoved) {
    // Иванова teaches 10-А at lessons 1 and 3 of Monday: one gap for both, and "Сократить
    // окна" moves one lesson, placing nothing new.
    app();
    TestFolder t;
    School s(t, 2, 3);
    oneOfEach(s);
    s.lesson(1, 1, 1, 1, 0, 0, 0, 1, 1, 1, u("1"));
    s.lesson(1, 1, 1, 1, 0, 0, 0, 1, 1, 1, u("3"));
    s.lesson(1, 1, 1, 1); // unplaced, and left so
    AutoPivrel w(t.dict(), {});
    w.show();
    w.tabs()->setCurrentIndex(3);
    EXPECT_EQ(w.compactButton()->text(), u("Сократить окна"));
    QTest::mouseClick(w.compactButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.endText().isEmpty(); }, 5000));
    EXPECT_TRUE(w.progressLines().contains(
        u("СОКРАЩЕНИЕ ОКОН ЗАКОНЧЕНО: окна учителей: было 1, стало 0; окна групп: было 1, "
          "стало 0; перемещено уроков: 1, время: 0.0 с.")))
        << w.progressLines().join(u("\n")).toStdString();
    EXPECT_EQ(w.movedList()->topLevelItemCount(), 1);
    EXPECT_EQ(w.movedSummary()->text(), u("Итог: перемещено уроков: 1, из них снято из-за "
                                          "нарушения правил: 0, не размещено снова: 0."));
    int unplaced = 0;
    for (const Schedule& l : s.schedule())
        unplaced += l.isUnplaced();
    EXPECT_EQ(unplaced, 1);
}
