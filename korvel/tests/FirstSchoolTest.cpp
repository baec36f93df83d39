// A new officer's first school, entered through the frame's windows as a person enters it —
// days, bells, rooms, subjects, groups, teachers, the plan and the load — and placed by the
// automatic placement started from its window. Nobody has pressed "Составить список кабинетов
// всех учителей": the run must say so and offer it, and then place every lesson.

#include "Scenario.h"

#include "faldin/windows/DayList.h"
#include "faldin/windows/GroupList.h"
#include "faldin/windows/LessonBellList.h"
#include "faldin/windows/RoomList.h"
#include "faldin/windows/ScienceList.h"
#include "faldin/windows/TeacherList.h"
#include "ombrel/windows/TeacherLessons.h"
#include "ombrel/windows/TrainingPlan.h"
#include "pivrel/engine/AutoPivrel.h"
#include "tamsel/Dictionary.h"
#include "tamsel/TestFolder.h"
#include "tamsel/widgets/RecordForm.h"
#include "tamsel/widgets/RecordList.h"
#include "tamsel/widgets/RecordListModel.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace korvel;
using namespace korvel::scenario;
using namespace tamsel;

namespace {

/// Fills the next record form the way a person does: each value goes to the next editor in
/// order (typed into a text field one key at a time, chosen in a drop list, set in a number
/// box), then Enter.
void fillForm(QStringList values) {
    QTimer::singleShot(0, [values] {
        auto* form = qobject_cast<RecordForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr) << "no record form opened";
        int next = 0;
        for (QWidget* editor : form->editors()) {
            if (!editor || next >= values.size()) continue;
            const QString value = values[next++];
            if (auto* combo = qobject_cast<QComboBox*>(editor)) {
                const int at = combo->findText(value);
                ASSERT_GE(at, 0) << value.toStdString();
                combo->setCurrentIndex(at);
            } else if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
                spin->setValue(value.toInt());
            } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
                line->setFocus();
                line->selectAll();
                for (const QChar ch : value)
                    QTest::sendKeyEvent(QTest::Click, line, Qt::Key_unknown, QString(ch), {});
            }
        }
        QTest::keyClick(form, Qt::Key_Return);
    });
}

/// Insert in a list, answered by a form with `values`.
void add(RecordList* list, QStringList values) {
    fillForm(std::move(values));
    list->view()->setFocus();
    QTest::keyClick(list->view(), Qt::Key_Insert);
    settle();
}

/// Makes the row of `list` whose first column reads `text` the current one, by a click.
void pick(RecordList* list, const QString& text) {
    RecordListModel* m = list->model();
    for (int r = 0; r < m->rowCount(); ++r)
        if (m->index(r, 0).data().toString() == text) {
            const QModelIndex i = m->index(r, 0);
            QTest::mouseClick(list->view()->viewport(), Qt::LeftButton, {},
                              list->view()->visualRect(i).center());
            return;
        }
    ADD_FAILURE() << "no row " << text.toStdString();
}

template <class W> W* open(MainFrame& f, const char* procedure) {
    auto* w = qobject_cast<W*>(f.startProcedure(QString::fromLatin1(procedure)));
    EXPECT_NE(w, nullptr) << procedure;
    settle();
    return w;
}

} // namespace

TEST(FirstSchool, EnteredThroughTheWindowsItPlacesCompletely) {
    TestFolder t;
    inFrame(t.dict(), QSize(1280, 900), [&](MainFrame& f) {
        auto* days = open<faldin::DayList>(f, "DayList");
        ASSERT_TRUE(days);
        for (QAction* a : days->variants()->actions())
            if (a->text() == s("Понедельник - Пятница")) a->trigger();
        auto* bells = open<faldin::LessonBellList>(f, "LessonBellList");
        ASSERT_TRUE(bells);
        bells->askLessonGrid([](faldin::LessonGrid& grid) {
            grid.lessons = 4;
            return true;
        });

        auto* rooms = open<faldin::RoomList>(f, "RoomList");
        ASSERT_TRUE(rooms);
        rooms->tabs()->setCurrentIndex(1);
        add(rooms->master(), {s("Общий")});
        pick(rooms->master(), s("Общий"));
        add(rooms->detail(), {s("101")});
        add(rooms->detail(), {s("102")});
        const int common = rooms->commonType()->findText(s("Общий"));
        rooms->commonType()->setCurrentIndex(common);
        emit rooms->commonType()->activated(common);

        auto* subjects = open<faldin::ScienceList>(f, "ScienceList");
        ASSERT_TRUE(subjects);
        subjects->tabs()->setCurrentIndex(1);
        add(subjects->master(), {s("Основной")});
        pick(subjects->master(), s("Основной"));
        add(subjects->detail(), {s("Математика")});
        add(subjects->detail(), {s("Физика")});

        auto* groups = open<faldin::GroupList>(f, "GroupList");
        ASSERT_TRUE(groups);
        groups->tabs()->setCurrentIndex(3);
        add(groups->streams(), {s("Общеобразовательный")});
        add(groups->courses(), {s("5")});
        add(groups->groups(), {s("А")});
        add(groups->groups(), {s("Б")});

        auto* teachers = open<faldin::TeacherList>(f, "TeacherList");
        ASSERT_TRUE(teachers);
        teachers->tabs()->setCurrentIndex(2);
        add(teachers->specialities(), {s("Учитель")});
        add(teachers->teachers(), {s("Иванова")});
        add(teachers->teachers(), {s("Петров")});

        // The plan of course 5: mathematics 4 hours, physics 2; each group gets its lessons.
        auto* plan = open<ombrel::TrainingPlan>(f, "TrainingPlan");
        ASSERT_TRUE(plan);
        pick(plan->streams(), s("Общеобразовательный"));
        pick(plan->courses(), s("5"));
        add(plan->items(), {s("Математика"), QStringLiteral("4")});
        add(plan->items(), {s("Физика"), QStringLiteral("2")});
        ASSERT_EQ(plan->items()->model()->rowCount(), 2);

        // The load: Иванова takes every mathematics lesson, Петров every physics lesson, by the
        // keypad's + going down the list.
        auto* load = open<ombrel::TeacherLessons>(f, "TeacherLessons");
        ASSERT_TRUE(load);
        for (auto [subject, teacher, count] :
             {std::tuple{"Математика", "Иванова", 8}, std::tuple{"Физика", "Петров", 4}}) {
            pick(load->subjects(), s(subject));
            settle();
            RecordListModel* m = load->entries()->model();
            ASSERT_EQ(m->rowCount(), count) << subject;
            load->teacherChooser()->setCurrentIndex(load->teacherChooser()->findText(s(teacher)));
            QTableView* v = load->entries()->view();
            v->setFocus();
            v->setCurrentIndex(m->index(0, 0));
            for (int i = 0; i < count; ++i)
                QTest::keyClick(v, Qt::Key_Plus, Qt::KeypadModifier);
            settle();
        }
        const auto entries = t.dict().access<Schedule>().all(Schedule::TeacherKey);
        ASSERT_EQ(entries.size(), 12u);
        for (const Schedule& e : entries)
            EXPECT_NE(e.TeacherCode, 0) << "an entry without its teacher";

        // The automatic placement for the whole school: it names the teachers without room
        // lists and offers to build them; "Да" builds them and the run places everything.
        auto* run = open<pivrel::AutoPivrel>(f, "AutoPivrel");
        ASSERT_TRUE(run);
        run->tabs()->setCurrentIndex(3);
        t.ui.otherwise = Yes;
        t.ui.clear();
        run->start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !run->endText().isEmpty(); }, 20000));
        bool offered = false;
        for (const auto& shown : t.ui.shown)
            offered =
                offered || (shown.text.contains(s("Иванова")) && shown.text.contains(s("Петров")));
        EXPECT_TRUE(offered) << "the teachers without room lists were not named";
        EXPECT_EQ(run->progressLines().last(),
                  s("Итог: размещено уроков: 12, осталось нерасставленных: 0."))
            << run->progressLines().join(QLatin1Char('\n')).toStdString();
        for (const Schedule& e : t.dict().access<Schedule>().all(Schedule::TeacherKey)) {
            EXPECT_FALSE(e.isUnplaced());
            EXPECT_NE(e.RoomCode, 0);
        }
    });
}
