#include "ombrel/windows/TrainingPlan.h"

#include "ombrel/windows/UpdateSchedule.h"

#include "PlanTexts.h"
#include "tamsel/Dictionary.h"
#include "tamsel/widgets/LessonColumns.h"
#include "trusko/Printing.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

using namespace tamsel;

namespace ombrel {

TrainingPlan::TrainingPlan(Dictionary& dict, QWidget* parent)
    : ListWindow(dict, procedureName(), QStringLiteral("Учебный план по группам"), parent) {
    ListDeclaration stream;
    stream.file = FileId::Stream;
    stream.name = QStringLiteral("Потоки");
    stream.canInsert = stream.canChange = stream.canDelete = false;
    stream.columns = {
        ListColumn::shown(QStringLiteral("Поток"), fieldIndex(FileId::Stream, "Stream"))};
    stream.view.key = Stream::StreamKey;

    ListDeclaration course;
    course.file = FileId::Course;
    course.name = QStringLiteral("Курсы");
    course.canInsert = course.canChange = course.canDelete = false;
    course.columns = {
        ListColumn::shown(QStringLiteral("Курс"), fieldIndex(FileId::Course, "Course"))};
    course.view.key = Course::CourseKey;
    course.view.order = [](const Row& a, const Row& b) {
        return LessonColumns::naturalLess(a.text(0), b.text(0));
    };

    ListDeclaration group;
    group.file = FileId::Group;
    group.name = QStringLiteral("Группы");
    group.canInsert = group.canChange = group.canDelete = false;
    ListColumn groupName;
    groupName.title = QStringLiteral("Группы");
    groupName.text = [](const Row& r) { return fromRow<Group>(r).GroupId(); };
    group.columns = {groupName};
    group.view.key = Group::StreamKey; // course, then stream
    group.view.leading = 2;
    group.view.position = [](Row&) { return false; };
    group.view.sortKey = [](const Row& r) { return QStringList{fromRow<Group>(r).GroupId()}; };

    ListDeclaration item;
    item.file = FileId::TrainingCourse;
    item.name = QStringLiteral("Пункты учебного плана");
    ListColumn subject = ListColumn::edited(QStringLiteral("Дисциплина"),
                                            fieldIndex(FileId::TrainingCourse, "ScienceCode"),
                                            ListColumn::Editor::Choice);
    subject.text = [&dict](const Row& r) {
        return scienceName(dict, static_cast<Short>(fromRow<TrainingCourse>(r).ScienceCode));
    };
    subject.choices = [&dict] {
        std::vector<std::pair<QString, Value>> out;
        for (const Science& s : dict.access<Science>().all(Science::ScienceKey))
            if (s.ScienceCode != 0) out.push_back({s.Science, qint64(s.ScienceCode)});
        return out;
    };
    // The window's own messages check the hours, so the editor takes any number.
    ListColumn single =
        ListColumn::edited(QStringLiteral("x 1"), fieldIndex(FileId::TrainingCourse, "SingleHours"),
                           ListColumn::Editor::Number, -32768, 32767);
    single.text = [](const Row& r) { return hoursText(fromRow<TrainingCourse>(r).SingleHours); };
    ListColumn paired = ListColumn::shown(QStringLiteral("x 2"),
                                          fieldIndex(FileId::TrainingCourse, "CoupledHours"));
    paired.alignRight = true;
    paired.text = [](const Row& r) { return hoursText(fromRow<TrainingCourse>(r).CoupledHours); };
    paired.background = [](const Row&) { return QVariant(QColor(0xC0, 0xC0, 0xC0)); };
    item.columns = {subject, single, paired};
    item.view.key = TrainingCourse::StreamKey;
    item.view.leading = 2;
    item.view.position = [](Row&) { return false; };
    item.prime = [this, &dict](Row& fresh) {
        if (!streams_->current() || !courses_->current()) {
            dict.ui().tell(QStringLiteral("Укажите поток и курс"),
                           QStringLiteral("Для добавления пункта учебного плана нужно выбрать "
                                          "поток и курс.|Действуйте."));
            return false;
        }
        fresh.set(fieldIndex(FileId::TrainingCourse, "StreamCode"),
                  streams_->current()->integer(0));
        fresh.set(fieldIndex(FileId::TrainingCourse, "Course"), courses_->current()->text(0));
        const auto subjects = dict.access<Science>().all(Science::ScienceKey);
        for (const Science& s : subjects)
            if (s.ScienceCode != 0) {
                fresh.set(fieldIndex(FileId::TrainingCourse, "ScienceCode"), qint64(s.ScienceCode));
                break;
            }
        return true;
    };
    item.beforeChange = [this](const Row& before, const Row& after) {
        return acceptChange(before, after);
    };

    streams_ = addList(std::move(stream));
    courses_ = addList(std::move(course));
    groups_ = addList(std::move(group));
    items_ = addList(std::move(item));

    auto* print = new QPushButton(QStringLiteral("Печать учебного плана"), this);
    connect(print, &QPushButton::clicked, this,
            [this] { trusko::PrintTrainingCourse(dict_, this); });
    items_->buttonRow()->addWidget(print);
    // The plan list's context menu prints too.
    items_->view()->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* separator = new QAction(items_->view());
    separator->setSeparator(true);
    items_->view()->addAction(separator);
    auto* printItem = new QAction(QStringLiteral("Печать учебного плана"), items_->view());
    connect(printItem, &QAction::triggered, this,
            [this] { trusko::PrintTrainingCourse(dict_, this); });
    items_->view()->addAction(printItem);

    single_ = new QLabel(this);
    paired_ = new QLabel(this);
    total_ = new QLabel(this);
    single_->setAccessibleName(QStringLiteral("Всего одиночных часов"));
    paired_->setAccessibleName(QStringLiteral("Всего спаренных часов"));
    total_->setAccessibleName(QStringLiteral("Общая нагрузка"));
    auto* totals = new QHBoxLayout;
    totals->addWidget(new QLabel(QStringLiteral("Всего:"), this));
    totals->addWidget(single_);
    totals->addWidget(paired_);
    totals->addSpacing(24);
    totals->addWidget(new QLabel(QStringLiteral("Общая назгузка"), this));
    totals->addWidget(total_);
    totals->addStretch(1);

    connect(streams_, &RecordList::currentChanged, this, &TrainingPlan::showItems);
    connect(courses_, &RecordList::currentChanged, this, &TrainingPlan::showItems);
    // An edit in place changes the model's data; a form or a delete stores through the list.
    connect(items_->model(), &QAbstractItemModel::dataChanged, this, &TrainingPlan::updateTotals);
    connect(items_, &RecordList::stored, this, &TrainingPlan::updateTotals);

    auto* masters = new QVBoxLayout;
    masters->addWidget(streams_, 1);
    masters->addWidget(courses_, 1);
    masters->addWidget(groups_, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(items_, 1);
    right->addLayout(totals);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(masters, 1);
    layout->addLayout(right, 2);
    refresh();
    resize(640, 480);
}

void TrainingPlan::refresh() {
    streams_->reload();
    courses_->reload();
    showItems();
}

void TrainingPlan::showItems() {
    const qint64 stream = streams_->current() ? streams_->current()->integer(0) : -1;
    const QString course = courses_->current() ? courses_->current()->text(0) : QString();
    const bool chosen = stream >= 0 && courses_->current();
    ListView groups = groups_->declaration().view;
    groups.position = [=](Row& from) {
        if (!chosen) return false;
        from.set(fieldIndex(FileId::Group, "Course"), course);
        from.set(fieldIndex(FileId::Group, "StreamCode"), stream);
        return true;
    };
    groups_->setView(groups);
    ListView items = items_->declaration().view;
    items.position = [=](Row& from) {
        if (!chosen) return false;
        from.set(fieldIndex(FileId::TrainingCourse, "StreamCode"), stream);
        from.set(fieldIndex(FileId::TrainingCourse, "Course"), course);
        return true;
    };
    const RowId keep = items_->current() ? items_->current()->rowId : 0;
    items_->setView(items);
    if (keep) items_->goTo(keep);
    updateTotals();
}

void TrainingPlan::updateTotals() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    RecordListModel* m = items_->model();
    m->fetchAll();
    qint64 single = 0, paired = 0;
    for (int i = 0; i < m->rowCount(); ++i) {
        const TrainingCourse t = fromRow<TrainingCourse>(m->row(i));
        single += t.SingleHours;
        paired += t.CoupledHours;
    }
    single_->setText(QString::number(single));
    paired_->setText(QString::number(paired));
    total_->setText(QString::number(single + paired));
    QApplication::restoreOverrideCursor();
}

QString TrainingPlan::totalsText() const {
    return QStringLiteral("Всего: %1 %2; Общая назгузка %3")
        .arg(single_->text(), paired_->text(), total_->text());
}

bool TrainingPlan::acceptChange(const Row& before, const Row& after) {
    const TrainingCourse stored = fromRow<TrainingCourse>(before);
    const TrainingCourse changed = fromRow<TrainingCourse>(after);
    if (changed.CoupledHours % 2 != 0) {
        dict_.ui().tell(QStringLiteral("Количество часов д.б. четным"),
                        QStringLiteral("Количество часов в колонке спаренных часов должно быть "
                                       "четным"));
        return false;
    }
    auto inRange = [](Short h) { return h >= 0 && h <= 99; };
    if (!inRange(changed.SingleHours) || !inRange(changed.CoupledHours)) {
        dict_.ui().tell(QStringLiteral("Количество часов д.б. меньше"),
                        QStringLiteral("Количество часов должно быть от 0 до 99"));
        return false;
    }
    return UpdateSchedule::run(dict_, stored, changed.ScienceCode, changed.SingleHours,
                               changed.CoupledHours, this) == 0;
}

} // namespace ombrel
