#include "faldin/windows/GroupList.h"

#include "pivrel/engine/AutoPlacement.h"
#include "tamsel/Dictionary.h"
#include "tamsel/widgets/LessonColumns.h"
#include "trusko/Printing.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

namespace faldin {

using namespace tamsel;

namespace {
int field(FileId f, const char* name) {
    return fileDef(f).fieldIndex(QString::fromLatin1(name));
}
} // namespace

GroupList::GroupList(Dictionary& dict, QWidget* parent)
    : ListWindow(dict, procedureName(), QStringLiteral("Список учебных групп"), parent) {
    ListDeclaration stream;
    stream.file = FileId::Stream;
    stream.name = QStringLiteral("Потоки");
    stream.columns = {ListColumn::edited(QStringLiteral("Поток"), field(FileId::Stream, "Stream"),
                                         ListColumn::Editor::Text)};
    stream.view.key = Stream::StreamKey;
    ListDeclaration course;
    course.file = FileId::Course;
    course.name = QStringLiteral("Курсы");
    course.columns = {ListColumn::edited(QStringLiteral("Курс"), field(FileId::Course, "Course"),
                                         ListColumn::Editor::Text)};
    course.view.key = Course::CourseKey;
    // Courses and groups by number: 5 before 10.
    course.view.order = [](const Row& a, const Row& b) {
        return LessonColumns::naturalLess(a.text(0), b.text(0));
    };

    ListDeclaration group;
    group.file = FileId::Group;
    group.name = QStringLiteral("Группы");
    ListColumn name = ListColumn::edited(QStringLiteral("Группа"), field(FileId::Group, "Literal"),
                                         ListColumn::Editor::Text);
    name.text = [](const Row& r) { return fromRow<Group>(r).GroupId(); };
    group.columns = {name};
    group.prime = [this](Row& fresh) {
        if (tabs_->currentIndex() != 3 || !streams_->current() || !courses_->current()) {
            dict_.ui().tell(QStringLiteral("Укажите поток и курс"),
                            QStringLiteral("Для добавления новой группы нужно установить режим "
                                           "просмотра списка по потокам и курсам, а затем выбрать "
                                           "поток и курс.|Действуйте."));
            return false;
        }
        fresh.set(field(FileId::Group, "StreamCode"), streams_->current()->integer(0));
        fresh.set(field(FileId::Group, "Course"), courses_->current()->text(0));
        return true;
    };

    ListDeclaration lesson;
    lesson.file = FileId::Schedule;
    lesson.name = QStringLiteral("Уроки группы");
    lesson.canInsert = lesson.canChange = lesson.canDelete = false;
    ListColumn sub = LessonColumns::subgroup(dict);
    LessonColumns::addState(sub);
    lesson.columns = {sub, LessonColumns::science(dict), LessonColumns::teacher(dict)};
    lesson.view.key = Schedule::GroupScienceSubGrKey;
    lesson.view.leading = 1;
    lesson.view.position = [](Row&) { return false; }; // until a group is chosen
    lesson.view.order = LessonColumns::byScienceSubgroup(dict);
    lesson.dragIds = {QStringLiteral("AddToLinkList"), QStringLiteral("SetToSchedule")};
    lesson.dragStarted = [&dict](const Row& r) { dict.glo.ScheduleRecord = fromRow<Schedule>(r); };

    streams_ = addList(std::move(stream));
    courses_ = addList(std::move(course));
    groups_ = addList(std::move(group));
    lessons_ = addList(std::move(lesson));

    tabs_ = new QTabBar(this);
    for (const char* t : {"Bce", "Группы потока", "Группы курса", "Группы потока на курсе"})
        tabs_->addTab(QString::fromUtf8(t));
    tabs_->setUsesScrollButtons(false); // every tab's title whole; the window widens instead
    connect(tabs_, &QTabBar::currentChanged, this, &GroupList::applyTab);
    for (RecordList* master : {streams_, courses_})
        connect(master, &RecordList::currentChanged, this,
                [this] { applyTab(tabs_->currentIndex()); });
    connect(groups_, &RecordList::currentChanged, this, &GroupList::showLessons);
    // Only the user's own pick changes the lesson in hand; a list read again leaves it.
    connect(lessons_, &RecordList::picked, this, [this] {
        if (const Row* r = lessons_->current())
            pivrel::ProcessNewLessonSelection(
                dict_, 1, fromRow<Schedule>(*r),
                {{}, [this](int e) { dict_.windows.postToFrame(e); }});
    });

    auto* print = new QPushButton(QStringLiteral("Печать расписания"), this);
    connect(print, &QPushButton::clicked, this, [this] {
        if (const Row* r = groups_->current())
            trusko::PrintObjectSchedule(dict_, ObjectType::Group, fromRow<Group>(*r).GroupCode, 0,
                                        this);
    });
    groups_->buttonRow()->addWidget(print);

    auto* masters = new QVBoxLayout;
    masters->addWidget(streams_, 1);
    masters->addWidget(courses_, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(groups_, 1);
    right->addWidget(lessons_, 2);
    auto* lists = new QHBoxLayout;
    lists->addLayout(masters, 1);
    lists->addLayout(right, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(lists, 1);
    streams_->reload();
    courses_->reload();
    applyTab(0);
    resize(640, 480);
}

void GroupList::applyTab(int tab) {
    const bool byStream = tab == 1 || tab == 3, byCourse = tab == 2 || tab == 3;
    streams_->setVisible(byStream);
    courses_->setVisible(byCourse);
    ListView v;
    const int streamField = field(FileId::Group, "StreamCode");
    const int courseField = field(FileId::Group, "Course");
    switch (tab) {
    case 1:
        v.key = Group::StreamCodeKey;
        v.leading = 1;
        break;
    case 2:
        v.key = Group::GroupIdKey;
        v.leading = 1;
        break;
    case 3:
        v.key = Group::StreamKey; // course, then stream
        v.leading = 2;
        break;
    default:
        v.key = Group::GroupIdKey;
        break;
    }
    v.order = [](const Row& a, const Row& b) {
        return LessonColumns::naturalLess(fromRow<Group>(a).GroupId(), fromRow<Group>(b).GroupId());
    };
    if (tab != 0)
        v.position = [this, byStream, byCourse, streamField, courseField](Row& from) {
            if ((byStream && !streams_->current()) || (byCourse && !courses_->current()))
                return false;
            if (byStream) from.set(streamField, streams_->current()->integer(0));
            if (byCourse) from.set(courseField, courses_->current()->text(0));
            return true;
        };
    const RowId keep = groups_->current() ? groups_->current()->rowId : 0;
    groups_->setView(v);
    if (keep) groups_->goTo(keep);
    showLessons();
}

void GroupList::showLessons() {
    ListView v = lessons_->declaration().view;
    const Row* g = groups_->current();
    const qint64 code = g ? fromRow<Group>(*g).GroupCode : 0;
    v.position = [code](Row& from) {
        if (code == 0) return false;
        from.set(fileDef(FileId::Schedule).fieldIndex(QStringLiteral("GroupCode")), code);
        return true;
    };
    lessons_->setView(v);
}

} // namespace faldin
