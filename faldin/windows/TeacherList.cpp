#include "faldin/windows/TeacherList.h"

#include "faldin/RoomLists.h"
#include "pivrel/engine/AutoPlacement.h"
#include "tamsel/Dictionary.h"
#include "tamsel/Relations.h"
#include "tamsel/widgets/LessonColumns.h"
#include "trusko/Printing.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>

namespace faldin {

using namespace tamsel;

namespace {

int field(FileId f, const char* name) {
    return fileDef(f).fieldIndex(QString::fromLatin1(name));
}

/// Rooms for a drop list: number and room type, headed by an empty entry.
std::vector<std::pair<QString, Value>> roomChoices(Dictionary& dict) {
    std::vector<std::pair<QString, Value>> out{{QString(), qint64(0)}};
    for (const Room& r : dict.access<Room>().all(Room::RoomNoKey)) {
        RoomType key;
        key.SysCode = r.RoomTypePtr;
        const QString type = dict.access<RoomType>(false).fetch(RoomType::CodeKey, key).RoomType;
        out.push_back({type.isEmpty() ? r.RoomNo : r.RoomNo + QStringLiteral(" — ") + type,
                       qint64(r.RoomCode)});
    }
    return out;
}

QString roomNo(Dictionary& dict, qint64 code) {
    Room key;
    key.RoomCode = static_cast<Long>(code);
    return code ? dict.access<Room>(false).fetch(Room::CodeKey, key).RoomNo : QString();
}

} // namespace

TeacherList::TeacherList(Dictionary& dict, QWidget* parent)
    : ListWindow(dict, procedureName(), QStringLiteral("Учителя, их специальности и нагрузка"),
                 parent) {
    ListDeclaration speciality;
    speciality.file = FileId::Speciality;
    speciality.name = QStringLiteral("Список специальностей");
    speciality.columns = {ListColumn::edited(QStringLiteral("Специальность"),
                                             field(FileId::Speciality, "Speciality"),
                                             ListColumn::Editor::Text)};
    speciality.view.key = Speciality::SpecialityKey;
    // A teacher dropped on a speciality takes it.
    speciality.drops.push_back(refileDrop(dict, QStringLiteral("ChangeSpeciality"), FileId::Teacher,
                                          field(FileId::Teacher, "SpecialityCode"),
                                          field(FileId::Speciality, "SpecialityCode"),
                                          [this] { teachers_->reload(); }));

    ListDeclaration teacher;
    teacher.file = FileId::Teacher;
    teacher.name = QStringLiteral("Список учителей");
    teacher.deleteText = QStringLiteral("&Стереть");
    ListColumn mainRoom =
        ListColumn::edited(QStringLiteral("основн."), field(FileId::Teacher, "MainRoomCode"),
                           ListColumn::Editor::Choice);
    mainRoom.choices = [&dict] { return roomChoices(dict); };
    mainRoom.text = [&dict](const Row& r) {
        return roomNo(dict, fromRow<Teacher>(r).MainRoomCode);
    };
    ListColumn additionalRoom = mainRoom;
    additionalRoom.title = QStringLiteral("дополн.");
    additionalRoom.field = field(FileId::Teacher, "AdditionalRoomCode");
    additionalRoom.text = [&dict](const Row& r) {
        return roomNo(dict, fromRow<Teacher>(r).AdditionalRoomCode);
    };
    teacher.columns = {
        ListColumn::edited(QStringLiteral("Фамилия  И.О."), field(FileId::Teacher, "TeacherName"),
                           ListColumn::Editor::Text),
        mainRoom, additionalRoom,
        ListColumn::edited(QStringLiteral("Таб.№"), field(FileId::Teacher, "TableNo"),
                           ListColumn::Editor::Number, 0, 32767)};
    teacher.view.key = Teacher::TeacherNameKey;
    teacher.dragIds = {QStringLiteral("ChangeSpeciality")};
    teacher.prime = [this](Row& fresh) {
        if (tabs_->currentIndex() != 2 || !specialities_->current()) {
            dict_.ui().tell(
                QStringLiteral("Укажите специальность"),
                QStringLiteral("Для добавления нового учителя нужно установить просмотр "
                               "списка по специальностям и выбрать специальность "
                               "учителя.|Действуйте."));
            return false;
        }
        fresh.set(field(FileId::Teacher, "SpecialityCode"), specialities_->current()->integer(0));
        return true;
    };
    // New own rooms change where the teacher's lessons may go; a new name or number does not.
    teacher.changed = [&dict](const Row& before, const Row& after) {
        const Teacher b = fromRow<Teacher>(before), a = fromRow<Teacher>(after);
        if (TeacherRoomsChanged(b, a)) UpdateTeacherRoomLists(dict, a.TeacherCode);
    };

    ListDeclaration lesson;
    lesson.file = FileId::Schedule;
    lesson.name = QStringLiteral("Список уроков учителя");
    lesson.canInsert = lesson.canChange = lesson.canDelete = false;
    ListColumn groupColumn = LessonColumns::group(dict);
    LessonColumns::addState(groupColumn);
    lesson.columns = {groupColumn, LessonColumns::subgroup(dict), LessonColumns::science(dict),
                      LessonColumns::room(dict), LessonColumns::dayAndLesson(dict)};
    lesson.view.key = Schedule::TeacherKey;
    lesson.view.leading = 1;
    lesson.view.position = [](Row&) { return false; };
    lesson.view.order = LessonColumns::byGroupSubgroupScience(dict);
    lesson.dragIds = {QStringLiteral("AddToLinkList"), QStringLiteral("SetToSchedule")};
    lesson.dragStarted = [&dict](const Row& r) { dict.glo.ScheduleRecord = fromRow<Schedule>(r); };

    ListDeclaration room;
    room.file = FileId::RoomList;
    room.name = QStringLiteral("Список кабинетов для урока");
    ListColumn roomColumn =
        ListColumn::edited(QStringLiteral("Кабинет №"), field(FileId::RoomList, "RoomCode"),
                           ListColumn::Editor::Choice);
    roomColumn.choices = [&dict] { return roomChoices(dict); };
    roomColumn.text = [&dict](const Row& r) {
        return roomNo(dict, fromRow<tamsel::RoomList>(r).RoomCode);
    };
    ListColumn typeColumn;
    typeColumn.title = QStringLiteral("Тип кабинета");
    typeColumn.text = [&dict](const Row& r) {
        Room key;
        key.RoomCode = fromRow<tamsel::RoomList>(r).RoomCode;
        RoomType type;
        type.SysCode = dict.access<Room>(false).fetch(Room::CodeKey, key).RoomTypePtr;
        return dict.access<RoomType>(false).fetch(RoomType::CodeKey, type).RoomType;
    };
    room.columns = {roomColumn, typeColumn,
                    ListColumn::edited(QStringLiteral("Приоритет"),
                                       field(FileId::RoomList, "Priority"),
                                       ListColumn::Editor::Number, 0, 32767)};
    room.view.key = tamsel::RoomList::TeacherScienceKey;
    room.view.leading = 2;
    room.view.position = [](Row&) { return false; };
    room.view.order = [&dict](const Row& a, const Row& b) {
        const auto x = fromRow<tamsel::RoomList>(a), y = fromRow<tamsel::RoomList>(b);
        if (x.Priority != y.Priority) return x.Priority < y.Priority;
        return foldKey(roomNo(dict, x.RoomCode)) < foldKey(roomNo(dict, y.RoomCode));
    };
    room.prime = [this, &dict](Row& fresh) {
        const Row* l = lessons_->current();
        if (!l) return false;
        const Schedule s = fromRow<Schedule>(*l);
        fresh.set(field(FileId::RoomList, "TeacherCode"), qint64(s.TeacherCode));
        fresh.set(field(FileId::RoomList, "ScienceCode"), qint64(s.ScienceCode));
        const auto rooms = roomChoices(dict); // a new row starts on the first room
        if (rooms.size() > 1) fresh.set(field(FileId::RoomList, "RoomCode"), rooms[1].second);
        return true;
    };

    specialities_ = addList(std::move(speciality));
    teachers_ = addList(std::move(teacher));
    lessons_ = addList(std::move(lesson));
    rooms_ = addList(std::move(room));

    tabs_ = new QTabBar(this);
    for (const char* t : {"по алфавиту", "по табельным номерам", "по специальностям"})
        tabs_->addTab(QString::fromUtf8(t));
    connect(tabs_, &QTabBar::currentChanged, this, &TeacherList::applyTab);
    connect(specialities_, &RecordList::currentChanged, this, [this] {
        if (tabs_->currentIndex() == 2) applyTab(2);
    });
    connect(teachers_, &RecordList::currentChanged, this, &TeacherList::showLessons);
    connect(lessons_, &RecordList::currentChanged, this, &TeacherList::showRooms);
    // Only the user's own pick changes the lesson in hand; a list read again leaves it.
    connect(lessons_, &RecordList::picked, this, [this] {
        if (const Row* r = lessons_->current())
            pivrel::ProcessNewLessonSelection(
                dict_, 1, fromRow<Schedule>(*r),
                {{}, [this](int e) { dict_.windows.postToFrame(e); }});
    });

    auto* build = new QPushButton(QStringLiteral("Составить"), this);
    connect(build, &QPushButton::clicked, this, &TeacherList::rebuildLessonRooms);
    rooms_->buttonRow()->addWidget(build);

    load_ = new QLineEdit(this);
    load_->setReadOnly(true);
    load_->setAccessibleName(QStringLiteral("Нагрузка учителя:"));
    week_ = new QLineEdit(this);
    week_->setReadOnly(true);
    week_->setAccessibleName(QStringLiteral("Неделя расписания:"));
    auto* loadRow = new QHBoxLayout;
    auto* loadLabel = new QLabel(QStringLiteral("Нагрузка учителя:"), this);
    loadLabel->setBuddy(load_);
    auto* weekLabel = new QLabel(QStringLiteral("Неделя расписания:"), this);
    weekLabel->setBuddy(week_);
    loadRow->addWidget(loadLabel);
    loadRow->addWidget(load_);
    loadRow->addWidget(weekLabel);
    loadRow->addWidget(week_);
    loadRow->addStretch();

    auto command = [this](const char* text, auto run) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        connect(b, &QPushButton::clicked, this, run);
        return b;
    };
    auto* commands = new QHBoxLayout;
    commands->addWidget(command("&Изменить кабинет", [this] {
        if (!teachers_->current()) return;
        QTableView* v = teachers_->view();
        v->setCurrentIndex(teachers_->model()->index(v->currentIndex().row(), 1));
        v->edit(v->currentIndex());
    }));
    commands->addWidget(command("Составить список кабинетов учителя", [this] {
        if (const Row* t = teachers_->current()) {
            UpdateTeacherRoomLists(dict_, fromRow<Teacher>(*t).TeacherCode);
            showRooms();
        }
    }));
    commands->addWidget(command("Составить список кабинетов всех учителей", [this] {
        UpdateAllTeacherRoomLists(dict_);
        showRooms();
    }));
    commands->addWidget(command("Отпечатать расписание", [this] {
        if (const Row* t = teachers_->current())
            trusko::PrintObjectSchedule(dict_, ObjectType::Teacher,
                                        fromRow<Teacher>(*t).TeacherCode, 0, this);
    }));
    commands->addWidget(command("Отпечатать сводное расписание",
                                [this] { trusko::PrintBriefSchedule(dict_, this); }));
    commands->addStretch();

    auto* left = new QVBoxLayout;
    left->addWidget(specialities_, 1);
    left->addWidget(teachers_, 3);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("Нагрузка учителя"), this));
    right->addWidget(lessons_, 2);
    right->addLayout(loadRow);
    right->addWidget(rooms_, 1);
    auto* lists = new QHBoxLayout;
    lists->addLayout(left, 1);
    lists->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(lists, 1);
    layout->addLayout(commands);
    specialities_->reload();
    applyTab(0);
    resize(860, 420);
}

QString TeacherList::loadText() const {
    return load_->text();
}

void TeacherList::applyTab(int tab) {
    specialities_->setVisible(tab == 2);
    ListView v;
    if (tab == 0) {
        v.key = Teacher::TeacherNameKey;
    } else if (tab == 1) {
        v.key = Teacher::TableNoKey;
    } else {
        v.key = Teacher::SpecCodeKey;
        v.leading = 1;
        v.position = [this](Row& from) {
            if (!specialities_->current()) return false;
            from.set(field(FileId::Teacher, "SpecialityCode"),
                     specialities_->current()->integer(0));
            return true;
        };
    }
    const RowId keep = teachers_->current() ? teachers_->current()->rowId : 0;
    teachers_->setView(v);
    if (keep) teachers_->goTo(keep);
    showLessons();
}

void TeacherList::showLessons() {
    ListView v = lessons_->declaration().view;
    const Row* t = teachers_->current();
    const qint64 code = t ? fromRow<Teacher>(*t).TeacherCode : 0;
    v.position = [code](Row& from) {
        if (code == 0) return false;
        from.set(field(FileId::Schedule, "TeacherCode"), code);
        return true;
    };
    lessons_->setView(v);
    load_->setText(QString::number(lessons_->model()->rowCount()));
    showRooms();
}

void TeacherList::showRooms() {
    ListView v = rooms_->declaration().view;
    const Row* l = lessons_->current();
    const Schedule s = l ? fromRow<Schedule>(*l) : Schedule{};
    week_->setText(l && !s.isUnplaced() ? QString::number(s.Week) : QString());
    v.position = [s, l](Row& from) {
        if (!l) return false;
        from.set(field(FileId::RoomList, "TeacherCode"), qint64(s.TeacherCode));
        from.set(field(FileId::RoomList, "ScienceCode"), qint64(s.ScienceCode));
        return true;
    };
    rooms_->setView(v);
}

void TeacherList::rebuildLessonRooms() {
    const Row* l = lessons_->current();
    if (!l) return;
    const Schedule s = fromRow<Schedule>(*l);
    if (DeleteTeacherRoomList(dict_, s.TeacherCode, s.ScienceCode).ok())
        BuildTeacherRoomList(dict_, s.TeacherCode, s.ScienceCode);
    showRooms();
}

} // namespace faldin
