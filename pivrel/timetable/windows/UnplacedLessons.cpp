#include "pivrel/timetable/UnplacedLessons.h"

#include "pivrel/engine/AutoPlacement.h"
#include "pivrel/engine/UnplacedReasons.h"
#include "pivrel/timetable/TimetableGrid.h"

#include "tamsel/Events.h"
#include "tamsel/WritingLock.h"
#include "tamsel/widgets/LessonColumns.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

using namespace tamsel;

namespace pivrel {

namespace {

Schedule lessonOf(const Row& r) {
    return fromRow<Schedule>(r);
}

} // namespace

UnplacedLessons::UnplacedLessons(Dictionary& dict, QWidget* parent)
    : ListWindow(dict, procedureName(), QStringLiteral("Нерасставленные уроки"), parent) {
    tabs_ = new QTabWidget(this);
    tabs_->setUsesScrollButtons(false);
    const QString titles[] = {QStringLiteral("по предметам"), QStringLiteral("по группам"),
                              QStringLiteral("по учителям ")};
    for (int t = 0; t < 3; ++t) {
        RecordList* list = addList(declaration(t));
        tabs_->addTab(list, titles[t]);
        // Only the user's own pick changes the lesson in hand: a list read again after a
        // refresh would otherwise replace it and, posting again, keep the relay busy.
        connect(list, &RecordList::picked, this, [this, t] { selected(t); });
    }
    showAll_ = new QCheckBox(QStringLiteral("Показать все"), this);
    connect(showAll_, &QCheckBox::toggled, this, [this] {
        list(0)->reload();
        list(1)->reload();
    });
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int t) { selected(t); });
    why_ = new QPlainTextEdit(this);
    why_->setReadOnly(true);
    why_->setAccessibleName(QStringLiteral("Почему не расставлено"));
    why_->setPlaceholderText(QStringLiteral("Почему не расставлено"));
    suggestionList_ = new QListWidget(this);
    suggestionList_->setAccessibleName(QStringLiteral("Что можно сделать"));
    carryOut_ = new QPushButton(QStringLiteral("Выполнить"), this);
    carryOut_->setAccessibleName(QStringLiteral("Выполнить"));
    carryOut_->setEnabled(false);
    connect(suggestionList_, &QListWidget::currentRowChanged, this, [this](int row) {
        carryOut_->setEnabled(row >= 0 && size_t(row) < suggested_.size());
    });
    connect(carryOut_, &QPushButton::clicked, this, &UnplacedLessons::carryOutSuggestion);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(tabs_);
    split->addWidget(why_);
    split->addWidget(suggestionList_);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    split->setStretchFactor(2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(showAll_);
    buttons->addStretch(1);
    buttons->addWidget(carryOut_);
    layout->addLayout(buttons);
    setMinimumHeight(140);
    resize(520, 300);
    refresh();
}

ListDeclaration UnplacedLessons::declaration(int tab) {
    Dictionary& dict = dict_;
    ListDeclaration d;
    d.file = FileId::Schedule;
    d.name = tab == 0 ? QStringLiteral("Нерасставленные уроки по предметам")
             : tab == 1 ? QStringLiteral("Нерасставленные уроки по группам")
                        : QStringLiteral("Нерасставленные уроки по учителям");
    d.canInsert = d.canChange = d.canDelete = false;
    ListColumn science = LessonColumns::science(dict), group = LessonColumns::group(dict),
               subgroup = LessonColumns::subgroup(dict), teacher = LessonColumns::teacher(dict);
    switch (tab) {
    case 0:
        LessonColumns::addState(science);
        d.columns = {science, group, subgroup, teacher};
        break;
    case 1:
        LessonColumns::addState(group);
        d.columns = {group, subgroup, science, teacher};
        break;
    default:
        LessonColumns::addState(teacher);
        d.columns = {teacher, group, subgroup, science};
        break;
    }
    // Only lessons without a place: week 0, day 0 and no lesson number lead the key.
    d.view.key = Schedule::WeekDayLessonKey;
    d.view.leading = 3;
    d.view.position = [](Row&) { return true; };
    d.view.filter = [this, tab](const Row& r) {
        const Schedule s = lessonOf(r);
        if (tab == 2 || !showAll_ || !showAll_->isChecked()) return s.TeacherCode != 0;
        return true;
    };
    const ListColumn names[] = {science, group, subgroup, teacher};
    d.view.sortKey = [tab, names](const Row& r) {
        const QString sci = names[0].text(r), grp = names[1].text(r),
                      sub = QString::number(lessonOf(r).SubGroupNum), tch = names[3].text(r);
        if (tab == 0) return QStringList{sci, grp, sub, tch};
        if (tab == 1) return QStringList{grp, sci, sub, tch};
        return QStringList{tch, grp, sci, sub};
    };
    d.dragIds = {QStringLiteral("SetToSchedule"), QStringLiteral("AddToLinkList")};
    d.dragStarted = [this](const Row& r) {
        // While the lesson is in hand the grids colour their cells by where it fits.
        dragging_ = true;
        const Schedule lesson = lessonOf(r);
        LessonVariants(dict_, lesson);
        dict_.glo.ScheduleRecord = lesson;
        dict_.glo.MoveTargetsShown = 1;
        dict_.windows.postToFrame(UserEvent::Refresh);
    };
    d.dragEnded = [this](bool dropped) {
        dragging_ = false;
        if (!dropped) {
            dict_.glo.ScheduleRecord = Schedule{};
            dict_.glo.MoveTargetsShown = 0;
            dict_.windows.postToFrame(UserEvent::Refresh);
        }
        if (refreshMissed_) refresh();
    };
    d.dropsAnywhere = true;
    d.drops.push_back({QStringLiteral("MoveLessons"), [this](const Row&, RowId dragged) {
                           QTimer::singleShot(0, this, [this, dragged] { unplace(dragged); });
                       }});
    return d;
}

void UnplacedLessons::selected(int tab) {
    const Row* r = list(tab)->current();
    if (!r) return;
    Schedule lesson = lessonOf(*r);
    if (lesson.LinkCode == 0) lesson.LinkCode = -1;
    dict_.glo.ScheduleRecord = lesson;
    const short goTo = tabs_->currentIndex() == tab ? 1 : 0;
    EngineHooks hooks;
    hooks.postToFrame = [this](int type) { dict_.windows.postToFrame(type); };
    ProcessNewLessonSelection(dict_, goTo, lesson, hooks);
    UnplacedLesson reasons = ExplainUnplacedLesson(dict_, lessonOf(*r));
    why_->setPlainText(unplacedReasonLines(reasons).join(QLatin1Char('\n')));
    suggested_ = std::move(reasons.suggestions);
    suggestionList_->clear();
    for (const PlacementSuggestion& s : suggested_)
        suggestionList_->addItem(s.text);
    carryOut_->setEnabled(false);
    if (dict_.glo.ShowLessonRestrictions) dict_.windows.postToFrame(UserEvent::RefreshGrid);
}

void UnplacedLessons::unplace(RowId id) {
    auto& glo = dict_.glo;
    const Schedule lesson = dict_.access<Schedule>().byRowId(id);
    glo.MoveTargetsShown = 0;
    if (lesson.rowId != 0 && !lesson.isUnplaced() && ConfirmPinnedChange(dict_, lesson, true)) {
        WritingScope writing(dict_);
        if (writing) {
            glo.ScheduleRecord = lesson;
            EditHistory::Step step(dict_.history(), QStringLiteral("снятие урока"));
            Engine(dict_, {}).SetLessonTo(0, 0, QString(), 0, false, 1);
        }
    }
    glo.ScheduleRecord = Schedule{};
    refresh();
    dict_.windows.postToFrame(UserEvent::Refresh);
}

void UnplacedLessons::carryOutSuggestion() {
    const int row = suggestionList_->currentRow();
    if (row < 0 || size_t(row) >= suggested_.size()) return;
    const PlacementSuggestion s = suggested_[size_t(row)];
    const QString refusal = ApplyPlacementSuggestion(dict_, s);
    if (!refusal.isEmpty()) {
        dict_.ui().tell(QStringLiteral("Что можно сделать"), refusal);
        selected(tabs_->currentIndex()); // what would help now
        return;
    }
    suggested_.clear();
    suggestionList_->clear();
    why_->clear();
    carryOut_->setEnabled(false);
    dict_.glo.ScheduleRecord = Schedule{};
    dict_.glo.MoveTargetsShown = 0;
    refresh();
    dict_.windows.postToFrame(UserEvent::Refresh);
}

void UnplacedLessons::refresh() {
    // A list read again under a running drag would pull the row out from under it.
    if (dragging_) {
        refreshMissed_ = true;
        return;
    }
    refreshMissed_ = false;
    ListWindow::refresh();
}

} // namespace pivrel
