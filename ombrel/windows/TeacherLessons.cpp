#include "ombrel/windows/TeacherLessons.h"

#include "PlanTexts.h"
#include "pivrel/engine/AutoPlacement.h"
#include "pivrel/timetable/ObjectTabs.h"
#include "tamsel/Dictionary.h"
#include "tamsel/widgets/LessonColumns.h"
#include "trusko/Printing.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>

using namespace tamsel;

namespace ombrel {

namespace {

template <class R, class K> R fetchBy(Dictionary& dict, K key, R values) {
    return dict.access<R>(false).fetch(key, values);
}

} // namespace

TeacherLessons::TeacherLessons(Dictionary& dict, QWidget* parent)
    : ListWindow(dict, procedureName(), QStringLiteral("Распределение нагрузки"), parent) {
    // Subjects with their cycle and subgroup type.
    ListDeclaration subject;
    subject.file = FileId::Science;
    subject.name = QStringLiteral("Предметы");
    subject.canInsert = subject.canChange = subject.canDelete = false;
    auto typeOf = [&dict](const Row& r) {
        SubGroupType t;
        t.SgrpTypCode = fromRow<Science>(r).SgrpTypCode;
        return fetchBy(dict, SubGroupType::SgrpTypCdKey, t);
    };
    ListColumn cycle;
    cycle.title = QStringLiteral("Учебный цикл");
    cycle.text = [&dict](const Row& r) {
        ScienceCycle c;
        c.CycleCode = fromRow<Science>(r).CycleCode;
        return fetchBy(dict, ScienceCycle::CycleCodeKey, c).CycleName;
    };
    ListColumn count;
    count.title = QStringLiteral("п/гр.");
    count.alignRight = true;
    count.text = [typeOf](const Row& r) { return hoursText(typeOf(r).NumbOfSubGroups); };
    ListColumn type;
    type.title = QStringLiteral("Тип п/группы");
    type.text = [typeOf](const Row& r) { return typeOf(r).SgrpTyp; };
    subject.columns = {
        ListColumn::shown(QStringLiteral("Предмет"), fieldIndex(FileId::Science, "Science")), cycle,
        count, type};
    subject.view.key = Science::ScienceKey;
    subject.view.filter = [](const Row& r) { return fromRow<Science>(r).ScienceCode != 0; };

    // Plan items by subject, course and stream.
    ListDeclaration item;
    item.file = FileId::TrainingCourse;
    item.name = QStringLiteral("Пункты учебного плана");
    item.canInsert = item.canChange = item.canDelete = false;
    auto streamName = [&dict](const Row& r) {
        Stream s;
        s.StreamCode = fromRow<TrainingCourse>(r).StreamCode;
        return fetchBy(dict, Stream::StreamCodeKey, s).Stream;
    };
    ListColumn itemSubject;
    itemSubject.title = QStringLiteral("Предмет");
    itemSubject.text = [&dict](const Row& r) {
        return scienceName(dict, fromRow<TrainingCourse>(r).ScienceCode);
    };
    ListColumn itemStream;
    itemStream.title = QStringLiteral("Поток");
    itemStream.text = streamName;
    ListColumn x1, x2;
    x1.title = QStringLiteral("x 1");
    x1.alignRight = true;
    x1.text = [](const Row& r) { return hoursText(fromRow<TrainingCourse>(r).SingleHours); };
    x2.title = QStringLiteral("x 2");
    x2.alignRight = true;
    x2.text = [](const Row& r) { return hoursText(fromRow<TrainingCourse>(r).CoupledHours); };
    item.columns = {
        itemSubject,
        ListColumn::shown(QStringLiteral("Курс"), fieldIndex(FileId::TrainingCourse, "Course")),
        itemStream, x1, x2};
    item.view.key = TrainingCourse::ItemCodeKey;
    item.view.sortKey = [&dict, streamName](const Row& r) {
        const TrainingCourse t = fromRow<TrainingCourse>(r);
        return QStringList{scienceName(dict, t.ScienceCode), t.Course, streamName(r)};
    };

    // The entries of the chosen subject or plan item.
    ListDeclaration entry;
    entry.file = FileId::Schedule;
    entry.name = QStringLiteral("Уроки");
    entry.canInsert = entry.canDelete = false;
    ListColumn science = LessonColumns::science(dict);
    LessonColumns::addPlacementState(science);
    ListColumn group = LessonColumns::group(dict);
    LessonColumns::addLinkState(group);
    ListColumn teacher =
        ListColumn::edited(QStringLiteral("Учитель"), fieldIndex(FileId::Schedule, "TeacherCode"),
                           ListColumn::Editor::Choice);
    teacher.text = LessonColumns::teacher(dict).text;
    // An empty first entry takes the teacher off.
    teacher.choices = [&dict] {
        std::vector<std::pair<QString, Value>> out{{QString(), qint64(0)}};
        for (const Teacher& t : dict.access<Teacher>().all(Teacher::TeacherNameKey))
            if (t.TeacherCode != 0) out.push_back({t.TeacherName, qint64(t.TeacherCode)});
        return out;
    };
    entry.columns = {science, group, LessonColumns::subgroup(dict), teacher};
    entry.view.position = [](Row&) { return false; };
    entry.dragIds = {QStringLiteral("AddToLinkList"), QStringLiteral("SetToSchedule")};
    entry.dragStarted = [&dict](const Row& r) { dict.glo.ScheduleRecord = fromRow<Schedule>(r); };

    subjects_ = addList(std::move(subject));
    items_ = addList(std::move(item));
    entries_ = addList(std::move(entry));

    tabs_ = new QTabBar(this);
    tabs_->setUsesScrollButtons(false);
    tabs_->setExpanding(false);
    tabs_->addTab(QStringLiteral("по предметам"));
    tabs_->addTab(QStringLiteral("по пунктам учебного плана"));
    connect(tabs_, &QTabBar::currentChanged, this, [this](int tab) {
        subjects_->setVisible(tab == 0);
        items_->setVisible(tab == 1);
        showEntries();
    });
    connect(subjects_, &RecordList::currentChanged, this, &TeacherLessons::showEntries);
    connect(items_, &RecordList::currentChanged, this, &TeacherLessons::showEntries);
    // Only the user's own pick changes the lesson in hand; a list read again leaves it.
    connect(entries_, &RecordList::picked, this, [this] {
        if (const Row* r = entries_->current())
            pivrel::ProcessNewLessonSelection(
                dict_, 1, fromRow<Schedule>(*r),
                {{}, [this](int e) { dict_.windows.postToFrame(e); }});
    });
    entries_->view()->installEventFilter(this);

    teacher_ = new QComboBox(this);
    teacher_->setAccessibleName(QStringLiteral("Учитель"));
    auto* teacherLabel = new QLabel(QStringLiteral("Учитель:"), this);
    teacherLabel->setBuddy(teacher_);
    fillTeachers();

    auto* assign = new QPushButton(QStringLiteral("Назначить учителя"), this);
    assign->setToolTip(QStringLiteral("Клавиша [+] цифровой клавиатуры"));
    connect(assign, &QPushButton::clicked, this, [this] { this->assign(false); });
    auto* clear = new QPushButton(QStringLiteral("Снять учителя"), this);
    clear->setToolTip(QStringLiteral("Клавиша [-] цифровой клавиатуры"));
    connect(clear, &QPushButton::clicked, this, [this] { this->assign(true); });
    auto* print = new QPushButton(QStringLiteral("Печать распределения нагрузки"), this);
    connect(print, &QPushButton::clicked, this, [this] {
        trusko::PrintTeacherLoad(dict_, this);
        entries_->reload();
    });
    auto* hint = new QLabel(QStringLiteral("Выберите учителя, затем первый его урок. \n"
                                           "Назначьте учитемя клавишей [+].\n"
                                           "Стрелками [вверх] и [вниз] выберите следующий \n"
                                           "урок учителя и назначьте учитемя клавишей [+]."),
                            this);
    hint->setWordWrap(true);

    auto* chooser = new QHBoxLayout;
    chooser->addWidget(teacherLabel);
    chooser->addWidget(teacher_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(assign);
    buttons->addWidget(clear);
    buttons->addWidget(print);
    buttons->addStretch(1);
    auto* left = new QVBoxLayout;
    left->addWidget(tabs_);
    left->addWidget(subjects_, 1);
    left->addWidget(items_, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(entries_, 1);
    right->addLayout(chooser);
    right->addWidget(hint);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);
    items_->setVisible(false);
    refresh();
    showEntries();
    resize(760, 480);
}

void TeacherLessons::refresh() {
    ListWindow::refresh();
    if (teacher_) fillTeachers();
}

void TeacherLessons::fillTeachers() {
    pivrel::fillObjectList(dict_, teacher_, ObjectType::Teacher);
}

void TeacherLessons::showEntries() {
    // A refresh reads the subjects again and names the same one: the entries list reads itself
    // again and keeps its row, so that [+] goes on down the list rather than back to the top.
    const int tab = tabs_->currentIndex();
    const Row* master = tab == 0 ? subjects_->current() : items_->current();
    const qint64 masterCode = !master                ? 0
                              : tab == 0             ? fromRow<Science>(*master).ScienceCode
                                                     : fromRow<TrainingCourse>(*master)
                                                           .TrainingCourseItemCode;
    if (shownFor_ == std::pair{tab, masterCode}) return;
    shownFor_ = {tab, masterCode};
    ListView v;
    if (tabs_->currentIndex() == 0) {
        const Row* s = subjects_->current();
        const qint64 code = s ? fromRow<Science>(*s).ScienceCode : 0;
        v.key = Schedule::ScienceKey;
        v.leading = 1;
        v.position = [code](Row& from) {
            if (code == 0) return false;
            from.set(fieldIndex(FileId::Schedule, "ScienceCode"), code);
            return true;
        };
        Dictionary& dict = dict_;
        const ListColumn group = LessonColumns::group(dict);
        v.sortKey = [group](const Row& r) {
            return QStringList{group.text(r), QString::number(fromRow<Schedule>(r).SubGroupNum)};
        };
    } else {
        const Row* i = items_->current();
        const qint64 code = i ? fromRow<TrainingCourse>(*i).TrainingCourseItemCode : 0;
        v.key = Schedule::ItemCode;
        v.leading = 1;
        v.position = [code](Row& from) {
            if (code == 0) return false;
            from.set(fieldIndex(FileId::Schedule, "TrainingCourseItemCode"), code);
            return true;
        };
    }
    entries_->setView(v);
}

void TeacherLessons::assign(bool clear) {
    const qint64 teacher =
        clear || teacher_->currentIndex() < 0 ? 0 : teacher_->currentData().toLongLong();
    if (!clear && teacher == 0) return;
    const std::vector<int> rows = entries_->selectedRows();
    if (rows.empty()) return;
    entries_->model()->store(rows, fieldIndex(FileId::Schedule, "TeacherCode"), teacher);
    dict_.windows.postToFrame(UserEvent::Refresh);
    // On to the entry after the last one given, so that [+] goes down the list.
    const int next = std::min(rows.back() + 1, entries_->model()->rowCount() - 1);
    QTableView* view = entries_->view();
    view->selectionModel()->clearSelection();
    view->setCurrentIndex(entries_->model()->index(next, 0));
    view->setFocus();
}

bool TeacherLessons::eventFilter(QObject* watched, QEvent* event) {
    if (watched == entries_->view() && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & Qt::KeypadModifier) {
            if (key->key() == Qt::Key_Plus) {
                assign(false);
                return true;
            }
            if (key->key() == Qt::Key_Minus) {
                assign(true);
                return true;
            }
        }
    }
    return ListWindow::eventFilter(watched, event);
}

} // namespace ombrel
