// The master-data windows driven as a user would: in-place edits, forms, tabs, drags, the
// navigation buttons and what screen readers read.

#include "../../testsupport/TestApplication.h"
#include "faldin/Calendar.h"
#include "faldin/Faldin.h"
#include "faldin/RoomLists.h"
#include "faldin/windows/DayList.h"
#include "faldin/windows/GroupList.h"
#include "faldin/windows/LessonBellList.h"
#include "faldin/windows/RoomList.h"
#include "faldin/windows/ScienceList.h"
#include "faldin/windows/SubGroupTypeList.h"
#include "faldin/windows/TeacherList.h"

#include "tamsel/TestFolder.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tamsel;
using namespace faldin;

namespace {

QString u(const char* s) {
    return QString::fromUtf8(s);
}

using testsupport::app;

QStringList column(RecordList* list, int col) {
    QStringList out;
    for (int r = 0; r < list->model()->rowCount(); ++r)
        out << list->model()->index(r, col).data().toString();
    return out;
}

/// Answers the next modal form: fills its line editors in order and presses "ОК".
void answerForm(const QStringList& texts) {
    QTimer::singleShot(0, [texts] {
        QWidget* w = QApplication::activeModalWidget();
        ASSERT_NE(w, nullptr);
        int i = 0;
        for (QLineEdit* e : w->findChildren<QLineEdit*>())
            if (i < texts.size() && !qobject_cast<QSpinBox*>(e->parentWidget()))
                e->setText(texts[i++]);
        QMetaObject::invokeMethod(w, "accept");
    });
}

void navigate(QWidget* w, NavigationButton b) {
    QCoreApplication::sendEvent(w, new NavigationEvent(b));
}

} // namespace

TEST(ListWindows, DayListEditsInPlaceGeneratesAndIsReadable) {
    app();
    TestFolder t;
    DayList w(t.dict());
    w.show();
    RecordList* list = w.days();
    EXPECT_EQ(w.windowTitle(), u("Учебные дни"));
    EXPECT_EQ(list->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), u("№ п/п"));
    EXPECT_EQ(list->model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
              u("День / Дата"));

    // "Понедельник - Пятница" from the standard variants.
    QAction* five = nullptr;
    for (QAction* a : w.variants()->actions())
        if (a->text() == u("Понедельник - Пятница")) five = a;
    ASSERT_NE(five, nullptr);
    EXPECT_EQ(five->statusTip(), u("Стандартная пятидневка"));
    five->trigger();
    EXPECT_EQ(column(list, 1), QStringList({u("Понедельник"), u("Вторник"), u("Среда"),
                                            u("Четверг"), u("Пятница")}));

    // In place: the name of the third day.
    ASSERT_TRUE(
        list->model()->setData(list->model()->index(2, 1), u("Среда (короткий)"), Qt::EditRole));
    {
        FileUse use(t.store(), FileId::Days);
        Days key;
        key.DaySeqNumber = 3;
        EXPECT_EQ(t.dict().access<Days>().fetch(Days::SeqNumberKey, key).DayName,
                  u("Среда (короткий"))
            << "fifteen characters";
    }
    // The weeks of the cycle.
    w.weeks()->setValue(4);
    EXPECT_EQ(t.glo().WeeksInCycle, 4);

    // Screen readers read the rows through the view's accessible table.
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(list->view());
    ASSERT_NE(table, nullptr);
    ASSERT_NE(table->tableInterface(), nullptr);
    EXPECT_EQ(table->tableInterface()->rowCount(), 5);
    QAccessibleInterface* cell = table->tableInterface()->cellAt(0, 1);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), u("Понедельник"));

    // The navigation buttons of the frame act on the list.
    list->view()->setFocus();
    navigate(&w, NavigationButton::Last);
    EXPECT_EQ(list->current()->integer(0), 5);
    navigate(&w, NavigationButton::Previous);
    EXPECT_EQ(list->current()->integer(0), 4);
    navigate(&w, NavigationButton::First);
    EXPECT_EQ(list->current()->integer(0), 1);
    t.ui.answers = {Yes}; // "Вы уверены что желаете удалить выделенную запись?"
    navigate(&w, NavigationButton::Delete);
    EXPECT_EQ(column(list, 1).size(), 4);
    EXPECT_EQ(t.ui.shown.last().caption, u("Удаление"));
}

TEST(ListWindows, LessonBellGridReplacesTheBells) {
    app();
    TestFolder t;
    LessonBellList w(t.dict());
    w.askLessonGrid([](LessonGrid& g) {
        g.lessons = 3;
        return true;
    });
    EXPECT_EQ(column(w.bells(), 1), QStringList({"8:30", "9:25", "10:20"}));
    EXPECT_EQ(column(w.bells(), 2), QStringList({"9:15", "10:10", "11:05"}));
    // A new end time typed in place.
    ASSERT_TRUE(
        w.bells()->model()->setData(w.bells()->model()->index(0, 2), u("9:20"), Qt::EditRole));
    EXPECT_EQ(column(w.bells(), 2).first(), u("9:20"));
    EXPECT_FALSE(
        w.bells()->model()->setData(w.bells()->model()->index(0, 2), u("25:99"), Qt::EditRole));
    // A clock's limits: the last minute of the day is a time, the next one and minute 60 not.
    EXPECT_TRUE(
        w.bells()->model()->setData(w.bells()->model()->index(2, 2), u("23:59"), Qt::EditRole));
    EXPECT_EQ(column(w.bells(), 2).last(), u("23:59"));
    for (const char* wrong : {"24:00", "10:60", "-1:30"})
        EXPECT_FALSE(
            w.bells()->model()->setData(w.bells()->model()->index(2, 2), u(wrong), Qt::EditRole))
            << wrong;
    EXPECT_EQ(column(w.bells(), 2).last(), u("23:59"));
}

TEST(ListWindows, SubgroupCountsStayWithinTwoToThirtyAndOneEditAppliesToTheSelection) {
    app();
    TestFolder t;
    SubGroupTypeList w(t.dict());
    w.show();
    for (const char* name : {"Иностранный язык", "Информатика", "Труд"}) {
        answerForm({u(name)});
        w.types()->insertRecord();
    }
    RecordList* list = w.types();
    ASSERT_EQ(list->model()->rowCount(), 3);
    EXPECT_EQ(column(list, 1), QStringList({"2", "2", "2"}));
    EXPECT_FALSE(list->model()->setData(list->model()->index(0, 1), 31, Qt::EditRole));
    EXPECT_FALSE(list->model()->setData(list->model()->index(0, 1), 1, Qt::EditRole));
    EXPECT_TRUE(t.ui.last().contains(u("2 и 30"))) << t.ui.last().toStdString();
    // Both limits themselves are counts a type may have.
    EXPECT_TRUE(list->model()->setData(list->model()->index(1, 1), 30, Qt::EditRole));
    EXPECT_TRUE(list->model()->setData(list->model()->index(1, 1), 2, Qt::EditRole));
    // Rows 1 and 3 selected: one edit sets both.
    list->view()->selectionModel()->select(list->model()->index(0, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list->view()->selectionModel()->select(list->model()->index(2, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ASSERT_TRUE(list->model()->setData(list->model()->index(2, 1), 3, Qt::EditRole));
    EXPECT_EQ(column(list, 1), QStringList({"3", "2", "3"}));
    // A duplicate name is refused with its message and changes nothing.
    t.ui.clear();
    answerForm({u("Труд")});
    QTimer::singleShot(50, [] {
        if (QWidget* w = QApplication::activeModalWidget()) QMetaObject::invokeMethod(w, "reject");
    });
    list->insertRecord();
    EXPECT_EQ(list->model()->rowCount(), 3);
    ASSERT_FALSE(t.ui.shown.isEmpty());
    EXPECT_EQ(t.ui.shown.first().caption, u("Ошибка дублирования в ключе"));
}

namespace {
/// Room types, rooms, a subject and a teacher for the room and subject windows.
void roomsAndSubjects(TestFolder& t) {
    for (FileId f : {FileId::RoomType, FileId::Room, FileId::Science, FileId::Teacher,
                     FileId::Schedule, FileId::ScienceCycle}) {
        FileUse use(t.store(), f);
    }
    FileUse a(t.store(), FileId::RoomType), b(t.store(), FileId::Room),
        c(t.store(), FileId::Science), d(t.store(), FileId::Teacher),
        e(t.store(), FileId::Schedule), f(t.store(), FileId::ScienceCycle);
    for (auto [code, name] : {std::pair{1, "Общий"}, std::pair{2, "Физика"}}) {
        ASSERT_TRUE(t.put(RoomType{.SysCode = code, .RoomType = u(name)}).rowId);
    }
    for (auto [code, type] : {std::pair{101, 1}, std::pair{102, 1}, std::pair{201, 2}}) {
        ASSERT_TRUE(t.put(Room{.ObjectType = ObjectType::Room, .RoomCode = code, .RoomTypePtr = type,
                               .RoomNo = QString::number(code)}).rowId);
    }
    ASSERT_TRUE(t.put(ScienceCycle{.CycleCode = 1, .CycleName = u("Естественные")}).rowId);
    ASSERT_TRUE(t.put(Science{.ObjectType = ObjectType::Science, .ScienceCode = 1,
                              .Science = u("Физика"), .CycleCode = 1}).rowId);
    ASSERT_TRUE(t.put(Teacher{.ObjectType = ObjectType::Teacher, .TeacherCode = 1, .TableNo = 1,
                              .TeacherName = u("Петров")}).rowId);
    ASSERT_TRUE(t.put(Schedule{.LessonNo = {}, .ScienceCode = 1, .TeacherCode = 1,
                               .GroupCode = 1}).rowId);
    t.glo().CommonTypeRoomCode = 1;
}

std::vector<Short> roomListOf(TestFolder& t, Short teacher, Short science) {
    FileUse use(t.store(), FileId::RoomList);
    tamsel::RoomList from;
    from.TeacherCode = teacher;
    from.ScienceCode = science;
    std::vector<Short> rooms;
    for (const tamsel::RoomList& r :
         t.dict().access<tamsel::RoomList>().read(tamsel::RoomList::TeacherScienceKey, from, 2))
        rooms.push_back(r.RoomCode);
    return rooms;
}
} // namespace

TEST(ListWindows, RoomsNeedATypeToBeAddedAndReFilingRebuildsNothing) {
    app();
    TestFolder t;
    roomsAndSubjects(t);
    ASSERT_TRUE(UpdateAllTeacherRoomLists(t.dict()).ok());
    EXPECT_EQ(roomListOf(t, 1, 1), (std::vector<Short>{101, 102})); // common rooms at 70
    faldin::RoomList w(t.dict());
    w.show();
    EXPECT_EQ(w.tabs()->tabText(0), u("Bce кабинеты"));
    EXPECT_EQ(column(w.detail(), 0), QStringList({"101", "102", "201"}));

    // On the "all" tab a new room is refused with the message, and nothing is added.
    w.detail()->insertRecord();
    EXPECT_EQ(t.ui.shown.last().caption, u("Укажите тип кабинета"));
    EXPECT_EQ(w.detail()->model()->rowCount(), 3);

    // On the tab by types it takes the selected type.
    w.tabs()->setCurrentIndex(1);
    ASSERT_TRUE(w.master()->goTo(w.master()->model()->row(1).rowId)); // "Физика" (by name)
    EXPECT_EQ(column(w.detail(), 0), QStringList({"201"}));
    answerForm({u("202")});
    w.detail()->insertRecord();
    EXPECT_EQ(column(w.detail(), 0), QStringList({"201", "202"}));

    // Room 102 dragged onto "Физика": re-filed, and the room lists stay as they were.
    ASSERT_TRUE(w.master()->goTo(w.master()->model()->row(0).rowId)); // "Общий"
    const RowId room102 = w.detail()->model()->row(1).rowId;
    QMimeData data;
    data.setData(dragMimeType(u("ChangeRoomType")), QByteArray::number(room102));
    ASSERT_TRUE(w.master()->model()->dropMimeData(&data, Qt::CopyAction, -1, -1,
                                                  w.master()->model()->index(1, 0)));
    EXPECT_EQ(column(w.detail(), 0), QStringList({"101"}));
    EXPECT_EQ(roomListOf(t, 1, 1), (std::vector<Short>{101, 102}));

    // The same common type again rebuilds nothing; another one rebuilds every list.
    const int same = w.commonType()->findData(qint64(1));
    w.commonType()->setCurrentIndex(same);
    emit w.commonType()->activated(same);
    EXPECT_EQ(roomListOf(t, 1, 1), (std::vector<Short>{101, 102}));
    const int physics = w.commonType()->findData(qint64(2));
    w.commonType()->setCurrentIndex(physics);
    emit w.commonType()->activated(physics);
    EXPECT_EQ(t.glo().CommonTypeRoomCode, 2);
    EXPECT_EQ(roomListOf(t, 1, 1), (std::vector<Short>{102, 201, 202}));
}

TEST(ListWindows, ANewMainRoomTypeRebuildsTheSubjectsTeachersAndANewNameDoesNot) {
    app();
    TestFolder t;
    roomsAndSubjects(t);
    ASSERT_TRUE(UpdateAllTeacherRoomLists(t.dict()).ok());
    ScienceList w(t.dict());
    w.show();
    RecordList* subjects = w.detail();
    ASSERT_EQ(column(subjects, 0), QStringList({u("Физика")}));
    EXPECT_FALSE(w.chooseButton()->isVisible());

    // Room 201 was made common by hand: a new name alone leaves the list as it was.
    {
        FileUse use(t.store(), FileId::RoomList);
        ASSERT_TRUE(t.put(tamsel::RoomList{.TeacherCode = 1, .ScienceCode = 1, .RoomCode = 201,
                                           .Priority = 99}).rowId);
    }
    ASSERT_TRUE(subjects->model()->setData(subjects->model()->index(0, 0), u("Физика и астрономия"),
                                           Qt::EditRole));
    EXPECT_EQ(roomListOf(t, 1, 1), (std::vector<Short>{101, 102, 201}));
    // The main room type "Физика" (code 2): the teacher's list is that type's rooms.
    ASSERT_TRUE(
        subjects->model()->setData(subjects->model()->index(0, 2), qint64(2), Qt::EditRole));
    EXPECT_EQ(column(subjects, 2), QStringList({u("Физика")}));
    EXPECT_EQ(roomListOf(t, 1, 1), (std::vector<Short>{201}));

    // A subject on the "all" tab cannot be added; a refused delete (the type is in use)
    // changes nothing.
    subjects->insertRecord();
    EXPECT_EQ(t.ui.shown.last().caption, u("Укажите учебный цикл"));
}

TEST(ListWindows, OfferedToTheFrameAsSingleInstanceWindows) {
    app();
    TestFolder t;
    faldin::Init(t.dict(), nullptr, nullptr);
    for (const char* name : {"DayList", "LessonBellList", "RoomList", "ScienceList",
                             "SubGroupTypeList", "TeacherList", "GroupList"}) {
        const Procedure* p = t.dict().procedures.find(QString::fromLatin1(name));
        ASSERT_NE(p, nullptr) << name;
        EXPECT_EQ(p->kind, Procedure::Window);
        EXPECT_TRUE(p->singleInstance);
        std::unique_ptr<QObject> w(p->start(t.dict(), {}));
        EXPECT_EQ(w->objectName(), QString::fromLatin1(name));
    }
    faldin::Kill(t.dict());
}

namespace {
/// Two specialities, two teachers, rooms of two types, one subject with lessons of both
/// teachers, for the teacher window.
void teachersSchool(TestFolder& t) {
    roomsAndSubjects(t);
    FileUse a(t.store(), FileId::Speciality), b(t.store(), FileId::Teacher),
        c(t.store(), FileId::Schedule);
    for (auto [code, name] : {std::pair{1, "Физика"}, std::pair{2, "Математика"}}) {
        ASSERT_TRUE(t.put(Speciality{.SpecialityCode = Short(code), .Speciality = u(name)}).rowId);
    }
    ASSERT_TRUE(t.put(Teacher{.ObjectType = ObjectType::Teacher, .TeacherCode = 2, .TableNo = 2,
                              .TeacherName = u("Андреева"), .SpecialityCode = 2}).rowId);
    ASSERT_TRUE(t.put(Schedule{.LessonNo = {}, .ScienceCode = 1, .TeacherCode = 2,
                               .GroupCode = 1}).rowId);
}
} // namespace

TEST(ListWindows, TeacherRoomsInPlaceRebuildTheListsAndANewTableNumberDoesNot) {
    app();
    TestFolder t;
    teachersSchool(t);
    ASSERT_TRUE(UpdateAllTeacherRoomLists(t.dict()).ok());
    TeacherList w(t.dict());
    w.show();
    RecordList* teachers = w.teachers();
    EXPECT_EQ(column(teachers, 0), QStringList({u("Андреева"), u("Петров")}));
    ASSERT_TRUE(teachers->goTo(teachers->model()->row(1).rowId)); // Петров
    EXPECT_EQ(w.loadText(), u("1"));
    EXPECT_EQ(column(w.lessons(), 2), QStringList({u("Физика")}));
    // Without rooms of his own and a subject without a room type: the common rooms at 70.
    EXPECT_EQ(column(w.rooms(), 0), QStringList({"101", "102"}));
    EXPECT_EQ(column(w.rooms(), 2), QStringList({"70", "70"}));

    // A new table number alone leaves the room list alone (an extra room stays in it).
    {
        FileUse use(t.store(), FileId::RoomList);
        ASSERT_TRUE(t.put(tamsel::RoomList{.TeacherCode = 1, .ScienceCode = 1, .RoomCode = 201,
                                           .Priority = 99}).rowId);
    }
    ASSERT_TRUE(teachers->model()->setData(teachers->model()->index(1, 3), 77, Qt::EditRole));
    EXPECT_EQ(roomListOf(t, 1, 1), (std::vector<Short>{101, 102, 201}));
    // A main room chosen in place: the list is rebuilt, just that room.
    ASSERT_TRUE(
        teachers->model()->setData(teachers->model()->index(1, 1), qint64(201), Qt::EditRole));
    EXPECT_EQ(column(teachers, 1).last(), u("201"));
    EXPECT_EQ(roomListOf(t, 1, 1), (std::vector<Short>{201}));

    // A new teacher needs the speciality tab.
    teachers->insertRecord();
    EXPECT_EQ(t.ui.shown.last().caption, u("Укажите специальность"));
    EXPECT_EQ(teachers->model()->rowCount(), 2);
    w.tabs()->setCurrentIndex(2);
    EXPECT_TRUE(w.specialities()->isVisible());
    ASSERT_TRUE(w.specialities()->goTo(w.specialities()->model()->row(1).rowId)); // "Физика"
    EXPECT_TRUE(column(teachers, 0).isEmpty());
    answerForm({u("Сидорова")});
    teachers->insertRecord();
    EXPECT_EQ(column(teachers, 0), QStringList({u("Сидорова")}));

    // Андреева dragged onto "Физика" takes that speciality.
    QMimeData data;
    FileUse use(t.store(), FileId::Teacher);
    Teacher key;
    key.TeacherName = u("Андреева");
    const Teacher andreeva = t.dict().access<Teacher>().fetch(Teacher::TeacherNameKey, key);
    data.setData(dragMimeType(u("ChangeSpeciality")), QByteArray::number(andreeva.rowId));
    ASSERT_TRUE(w.specialities()->model()->dropMimeData(&data, Qt::CopyAction, -1, -1,
                                                        w.specialities()->model()->index(1, 0)));
    EXPECT_EQ(column(teachers, 0), QStringList({u("Андреева"), u("Сидорова")}));
}

TEST(ListWindows, GroupsNeedStreamAndCourseAndShowTheirLessons) {
    app();
    TestFolder t;
    roomsAndSubjects(t);
    {
        FileUse a(t.store(), FileId::Stream), b(t.store(), FileId::Course),
            c(t.store(), FileId::Group);
        ASSERT_TRUE(t.put(Stream{.StreamCode = 1, .Stream = u("Общий")}).rowId);
        for (const char* c : {"10", "11", "5"}) {
            ASSERT_TRUE(t.put(Course{.Course = u(c)}).rowId);
        }
        ASSERT_TRUE(t.put(Group{.ObjectType = ObjectType::Group, .GroupCode = 1, .Course = u("10"),
                                .Defis = u("-"), .Literal = u("А"), .StreamCode = 1}).rowId);
    }
    GroupList w(t.dict());
    w.show();
    EXPECT_EQ(column(w.courses(), 0), QStringList({"5", "10", "11"})) << "by number, not as text";
    EXPECT_EQ(column(w.groups(), 0), QStringList({u("10-А")}));
    ASSERT_TRUE(w.groups()->goTo(w.groups()->model()->row(0).rowId));
    EXPECT_EQ(column(w.lessons(), 1), QStringList({u("Физика")}));
    EXPECT_EQ(column(w.lessons(), 2), QStringList({u("Петров")}));

    w.groups()->insertRecord();
    EXPECT_EQ(t.ui.shown.last().caption, u("Укажите поток и курс"));
    w.tabs()->setCurrentIndex(3);
    ASSERT_TRUE(w.courses()->goTo(w.courses()->model()->row(2).rowId)); // 11
    EXPECT_TRUE(column(w.groups(), 0).isEmpty());
    answerForm({u("Б")});
    w.groups()->insertRecord();
    EXPECT_EQ(column(w.groups(), 0), QStringList({u("11-Б")}));
}

namespace {

/// Types into the focused editor of the next modal form, one character at a time as a
/// keyboard does, and presses Enter.
void typeIntoForm(const QString& text) {
    QTimer::singleShot(0, [text] {
        QWidget* form = QApplication::activeModalWidget();
        ASSERT_NE(form, nullptr);
        QWidget* editor = QApplication::focusWidget();
        if (!editor || !form->isAncestorOf(editor)) editor = form->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) line->selectAll();
        for (const QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(ch), {});
        QTest::keyClick(editor, Qt::Key_Return);
    });
}

void pressInsert(RecordList* list) {
    list->view()->setFocus();
    QTest::keyClick(list->view(), Qt::Key_Insert);
}

} // namespace

// A new user enters a small school by hand, from the keyboard wherever a record is added.
TEST(ListWindows, ANewSchoolEnteredByHand) {
    app();
    TestFolder t;
    {
        DayList days(t.dict());
        days.show();
        for (QAction* a : days.variants()->actions())
            if (a->text() == u("Понедельник - Суббота")) a->trigger();
        EXPECT_EQ(days.days()->model()->rowCount(), 6);
    }
    {
        LessonBellList bells(t.dict());
        bells.askLessonGrid([](LessonGrid&) { return true; });
        EXPECT_EQ(bells.bells()->model()->rowCount(), 7);
    }
    {
        faldin::RoomList rooms(t.dict());
        rooms.show();
        rooms.tabs()->setCurrentIndex(1);
        typeIntoForm(u("Общий"));
        pressInsert(rooms.master());
        typeIntoForm(u("Кабинет физики"));
        pressInsert(rooms.master());
        ASSERT_EQ(column(rooms.master(), 0), QStringList({u("Кабинет физики"), u("Общий")}));
        ASSERT_TRUE(rooms.master()->goTo(rooms.master()->model()->row(1).rowId));
        for (const char* no : {"101", "102"}) {
            typeIntoForm(u(no));
            pressInsert(rooms.detail());
        }
        ASSERT_TRUE(rooms.master()->goTo(rooms.master()->model()->row(0).rowId));
        typeIntoForm(u("201"));
        pressInsert(rooms.detail());
        const int common = rooms.commonType()->findText(u("Общий"));
        rooms.commonType()->setCurrentIndex(common);
        emit rooms.commonType()->activated(common);
        rooms.tabs()->setCurrentIndex(0);
        EXPECT_EQ(column(rooms.detail(), 0), QStringList({"101", "102", "201"}));
    }
    {
        SubGroupTypeList types(t.dict());
        types.show();
        typeIntoForm(u("Иностранный язык"));
        pressInsert(types.types());
        EXPECT_EQ(column(types.types(), 1), QStringList({"2"}));
    }
    {
        ScienceList subjects(t.dict());
        subjects.show();
        subjects.tabs()->setCurrentIndex(1);
        typeIntoForm(u("Основной"));
        pressInsert(subjects.master());
        ASSERT_TRUE(subjects.master()->current());
        for (const char* s : {"Математика", "Физика"}) {
            typeIntoForm(u(s));
            pressInsert(subjects.detail());
        }
        // Physics wants the physics room.
        const int physics = subjects.detail()->model()->rowCount() - 1;
        ASSERT_TRUE(subjects.detail()->model()->setData(
            subjects.detail()->model()->index(physics, 2), qint64(2), Qt::EditRole));
        EXPECT_EQ(column(subjects.detail(), 2), QStringList({QString(), u("Кабинет физики")}));
    }
    {
        GroupList groups(t.dict());
        groups.show();
        groups.tabs()->setCurrentIndex(3);
        typeIntoForm(u("Общеобразовательный"));
        pressInsert(groups.streams());
        typeIntoForm(u("5"));
        pressInsert(groups.courses());
        for (const char* letter : {"А", "Б"}) {
            typeIntoForm(u(letter));
            pressInsert(groups.groups());
        }
        EXPECT_EQ(column(groups.groups(), 0), QStringList({u("5-А"), u("5-Б")}));
    }
    {
        TeacherList teachers(t.dict());
        teachers.show();
        teachers.tabs()->setCurrentIndex(2);
        typeIntoForm(u("Учитель"));
        pressInsert(teachers.specialities());
        for (const char* name : {"Иванова", "Петров", "Сидорова"}) {
            typeIntoForm(u(name));
            pressInsert(teachers.teachers());
        }
        EXPECT_EQ(column(teachers.teachers(), 0),
                  QStringList({u("Иванова"), u("Петров"), u("Сидорова")}));
    }
    // The load (entered in the load window) gives each teacher lessons; then their room lists
    // are built by the rule.
    {
        FileUse s(t.store(), FileId::Schedule), tch(t.store(), FileId::Teacher),
            sci(t.store(), FileId::Science), g(t.store(), FileId::Group);
        const auto teachers = t.dict().access<Teacher>().all(Teacher::TeacherNameKey);
        const auto subjects = t.dict().access<Science>().all(Science::ScienceKey);
        const auto groups = t.dict().access<Group>().all(Group::GroupIdKey);
        ASSERT_EQ(teachers.size(), 3u);
        ASSERT_EQ(subjects.size(), 2u);
        for (size_t i = 0; i < teachers.size(); ++i) {
            ASSERT_TRUE(t.put(Schedule{.LessonNo = {}, .ScienceCode = subjects[i % 2].ScienceCode,
                                       .TeacherCode = teachers[i].TeacherCode,
                                       .GroupCode = groups[i % 2].GroupCode}).rowId);
        }
    }
    {
        TeacherList teachers(t.dict());
        teachers.show();
        ASSERT_TRUE(
            teachers.teachers()->goTo(teachers.teachers()->model()->row(1).rowId)); // Петров
        // Petrov teaches physics: the physics room, at 50.
        for (QPushButton* b : teachers.findChildren<QPushButton*>())
            if (b->text() == u("Составить список кабинетов всех учителей")) b->click();
        EXPECT_EQ(column(teachers.rooms(), 0), QStringList({"201"}));
        EXPECT_EQ(column(teachers.rooms(), 2), QStringList({"50"}));
        ASSERT_TRUE(
            teachers.teachers()->goTo(teachers.teachers()->model()->row(0).rowId)); // Иванова
        EXPECT_EQ(column(teachers.rooms(), 0), QStringList({"101", "102"}));
    }
}

TEST(ListWindows, ARefusedDeleteChangesNoFile) {
    app();
    TestFolder t;
    roomsAndSubjects(t);
    t.store().closeAll();
    auto bytes = [&](const char* file) {
        QFile f(t.file(u(file)));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    };
    const QByteArray types = bytes("RoomType.db"), rooms = bytes("Room.db");
    {
        faldin::RoomList w(t.dict());
        w.show();
        w.tabs()->setCurrentIndex(1);
        ASSERT_TRUE(w.master()->goTo(w.master()->model()->row(0).rowId)); // "Общий", with rooms
        t.ui.answers = {Yes};
        w.master()->deleteRecord();
        EXPECT_EQ(t.ui.shown.last().caption, u("Ошибка удаления связанной записи"));
        EXPECT_EQ(w.master()->model()->rowCount(), 2);
    }
    t.store().closeAll();
    EXPECT_EQ(bytes("RoomType.db"), types);
    EXPECT_EQ(bytes("Room.db"), rooms);
}

TEST(ListWindows, DeletingADayOrABellThatHoldsLessonsAsksAndNoKeepsEverything) {
    app();
    TestFolder t;
    ASSERT_TRUE(SetDefaultWeek(t.dict(), 6));
    ASSERT_TRUE(SetDefaultLessonGrid(t.dict(), {}));
    {
        FileUse use(t.store(), FileId::Schedule);
        // Two lessons on Tuesday at the first bell, one on Wednesday at the second, one unplaced.
        for (const auto& [day, bell] : std::vector<std::pair<Short, const char*>>{
                 {2, "  1"}, {2, "  1"}, {3, "  2"}, {0, ""}}) {
            ASSERT_TRUE(t.put(Schedule{.Week = Short(day ? 1 : 0), .DaySeqNumber = day,
                                       .LessonNo = u(bell), .ScienceCode = 1, .GroupCode = 1})
                            .rowId);
        }
    }
    const auto lessons = [&t] {
        FileUse use(t.store(), FileId::Schedule);
        return t.dict().access<Schedule>().count();
    };
    const auto select = [](RecordList* list, int row) {
        list->view()->setCurrentIndex(list->model()->index(row, 0));
    };
    const QString asked = u("расставленные на них уроки: 2.");
    {
        DayList w(t.dict());
        w.show();
        select(w.days(), 1); // Tuesday
        // "No" to the lessons, then "Yes" to them and "No" to the deletion: nothing goes.
        for (const QList<Button>& answers : {QList<Button>{No}, QList<Button>{Yes, No}}) {
            t.ui.clear();
            t.ui.answers = answers;
            w.days()->deleteRecord();
            EXPECT_TRUE(t.ui.texts().join(u("\n")).contains(asked))
                << t.ui.texts().join(u("\n")).toStdString();
            EXPECT_EQ(column(w.days(), 0).size(), 6);
            EXPECT_EQ(lessons(), 4);
        }
        t.ui.answers = {Yes, Yes};
        w.days()->deleteRecord();
        EXPECT_EQ(column(w.days(), 0).size(), 5);
        EXPECT_EQ(lessons(), 2) << "the day's lessons went with it";
    }
    LessonBellList w(t.dict());
    w.show();
    select(w.bells(), 1); // the second bell, Wednesday's lesson
    t.ui.clear();
    t.ui.answers = {No};
    w.bells()->deleteRecord();
    EXPECT_TRUE(t.ui.texts().join(u("\n")).contains(u("расставленные на них уроки: 1.")));
    EXPECT_EQ(column(w.bells(), 0).size(), 7);
    EXPECT_EQ(lessons(), 2);
    t.ui.answers = {Yes, Yes};
    w.bells()->deleteRecord();
    EXPECT_EQ(column(w.bells(), 0).size(), 6);
    EXPECT_EQ(lessons(), 1) << "only the unplaced lesson is left";
}
