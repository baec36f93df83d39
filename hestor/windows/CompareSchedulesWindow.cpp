#include "hestor/windows/CompareSchedulesWindow.h"

#include "PageOrTablePath.h"

#include "tamsel/Dictionary.h"
#include "tamsel/Events.h"
#include "trusko/Printing.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace hestor {

using namespace tamsel;

namespace {
constexpr int ChangeRole = Qt::UserRole + 1;
} // namespace

CompareSchedulesWindow::CompareSchedulesWindow(Dictionary& dict, QWidget* parent,
                                               const QString& archived)
    : QWidget(parent), dict_(dict) {
    setWindowTitle(CompareCaption());
    setObjectName(procedureName());

    before_ = new QComboBox(this);
    before_->setAccessibleName(QStringLiteral("Было: расписание из архива"));
    after_ = new QComboBox(this);
    after_->setAccessibleName(QStringLiteral("Стало: текущее или другое из архива"));
    after_->addItem(QStringLiteral("Текущее расписание"), QString());
    if (QFileInfo::exists(dict.store().file(FileId::Archive).path())) {
        FileUse use(dict.store(), FileId::Archive);
        if (use)
            for (const Archive& a : dict.access<Archive>().all(Archive::DateTimeKey)) {
                const QString brief = a.BriefDescription.trimmed();
                const QString text =
                    brief + QStringLiteral(" (") +
                    dateOfDayNumber(a.SaveDate).toString(QStringLiteral("dd.MM.yyyy")) +
                    QLatin1Char(')');
                before_->addItem(text, brief);
                after_->addItem(text, brief);
            }
    }
    // The usual question is what changed since the last timetable put in the archive.
    const int chosen =
        archived.isEmpty() ? before_->count() - 1 : before_->findData(archived.trimmed());
    before_->setCurrentIndex(chosen);
    auto* form = new QFormLayout;
    auto* beforeLabel = new QLabel(QStringLiteral("&Было:"), this);
    beforeLabel->setBuddy(before_);
    auto* afterLabel = new QLabel(QStringLiteral("С&тало:"), this);
    afterLabel->setBuddy(after_);
    form->addRow(beforeLabel, before_);
    form->addRow(afterLabel, after_);

    byGroup_ = new QRadioButton(QStringLiteral("По &группам"), this);
    byTeacher_ = new QRadioButton(QStringLiteral("По &учителям"), this);
    byGroup_->setChecked(true);
    connect(byGroup_, &QRadioButton::toggled, this, [this] { fill(); });
    auto* go = new QPushButton(QStringLiteral("&Сравнить"), this);
    go->setDefault(true);
    connect(go, &QPushButton::clicked, this, [this] { compare(); });
    auto* switchRow = new QHBoxLayout;
    switchRow->addWidget(byGroup_);
    switchRow->addWidget(byTeacher_);
    switchRow->addStretch();
    switchRow->addWidget(go);

    tree_ = new QTreeWidget(this);
    tree_->setAccessibleName(QStringLiteral("Изменения в расписании"));
    tree_->setHeaderLabels({QStringLiteral("Урок"), QStringLiteral("Изменение"),
                            QStringLiteral("Было"), QStringLiteral("Стало")});
    tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(tree_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { goTo(item); });
    summary_ = new QLabel(this);
    summary_->setWordWrap(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    summary_->setAccessibleName(QStringLiteral("Итог сравнения"));

    auto* print = new QPushButton(QStringLiteral("&Печать..."), this);
    auto* saveButton = new QPushButton(QStringLiteral("Сохранить…"), this);
    saveButton->setAccessibleDescription(QStringLiteral("Веб-страница или таблица CSV"));
    auto* closeButton = new QPushButton(QStringLiteral("&Закрыть"), this);
    connect(print, &QPushButton::clicked, this, &CompareSchedulesWindow::print);
    connect(saveButton, &QPushButton::clicked, this, [this] {
        const QString path =
            askPageOrTablePath(this, QStringLiteral("Сохранить изменения"), dict_.workDir());
        if (!path.isEmpty()) save(path);
    });
    connect(closeButton, &QPushButton::clicked, this, [this] { close(); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(summary_, 1);
    buttons->addWidget(print);
    buttons->addWidget(saveButton);
    buttons->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(switchRow);
    layout->addWidget(tree_, 1);
    layout->addLayout(buttons);
    resize(820, 520);
    compare();
    for (QComboBox* choice : {before_, after_})
        connect(choice, &QComboBox::currentIndexChanged, this, [this] { compare(false); });
}

bool CompareSchedulesWindow::afterIsCurrent() const {
    return after_->currentData().toString().isEmpty();
}

void CompareSchedulesWindow::compare(bool again) {
    if (again) archived_.clear();
    result_ = ScheduleComparison();
    const QString before = before_->currentData().toString();
    const QString after = after_->currentData().toString();
    if (before_->count() == 0) {
        result_.error = QStringLiteral("В архиве нет расписаний: сравнивать не с чем.");
    } else {
        dict_.ui().setBusy(true);
        TimetableVersion now;
        auto version = [&](const QString& brief) -> const TimetableVersion* {
            if (brief.isEmpty())
                return ReadTimetableVersion(dict_, brief, &now, &result_.error) ? &now : nullptr;
            if (auto it = archived_.find(brief); it != archived_.end()) return &it->second;
            TimetableVersion v;
            if (!ReadTimetableVersion(dict_, brief, &v, &result_.error)) return nullptr;
            return &archived_.emplace(brief, std::move(v)).first->second;
        };
        const TimetableVersion* b = version(before);
        const TimetableVersion* a = b ? version(after) : nullptr;
        if (b && a) result_ = CompareVersions(*b, *a);
        dict_.ui().setBusy(false);
    }
    fill();
}

void CompareSchedulesWindow::fill() {
    tree_->clear();
    if (!result_.ok) {
        summary_->setText(result_.error);
        return;
    }
    const ChangesBy by = byGroup_->isChecked() ? ChangesBy::Group : ChangesBy::Teacher;
    for (const ChangedObject& o : result_.by(by)) {
        auto* top = new QTreeWidgetItem(tree_, {o.name});
        QFont bold = top->font(0);
        bold.setBold(true);
        top->setFont(0, bold);
        top->setFirstColumnSpanned(true);
        for (int i : o.changes) {
            const ScheduleChange& c = result_.changes[size_t(i)];
            auto* item = new QTreeWidgetItem(top, {c.lesson, c.kindText(), c.from, c.to});
            item->setData(0, ChangeRole, i);
            item->setToolTip(0, c.line);
        }
    }
    tree_->expandAll();
    summary_->setText(ComparisonHeading(result_) + QStringLiteral(". ") +
                      ComparisonSummary(result_));
}

void CompareSchedulesWindow::goTo(QTreeWidgetItem* item) {
    if (!item || !item->data(0, ChangeRole).isValid()) return;
    const int i = item->data(0, ChangeRole).toInt();
    if (i < 0 || i >= int(result_.changes.size())) return;
    const ScheduleChange& c = result_.changes[size_t(i)];
    Schedule lesson = c.latest().entry;
    if (!(c.hasAfter() && afterIsCurrent())) {
        // The lesson in hand is a record of the current data: the same record when it is
        // still that lesson (a lesson taken off is now unplaced), else none but its kind.
        FileUse use(dict_.store(), FileId::Schedule);
        const Schedule now = use ? dict_.access<Schedule>().byRowId(lesson.rowId) : Schedule{};
        if (now.rowId != 0 && now.GroupCode == lesson.GroupCode &&
            now.TeacherCode == lesson.TeacherCode && now.ScienceCode == lesson.ScienceCode)
            lesson = now;
        else
            lesson.rowId = 0;
    }
    if (lesson.LinkCode == 0) lesson.LinkCode = -1;
    dict_.glo.ScheduleRecord = lesson;
    dict_.windows.postToFrame(UserEvent::ShowSelectedInGrid);
}

void CompareSchedulesWindow::print() {
    const trusko::ReportDocument doc =
        ComparisonReport(result_, byGroup_->isChecked() ? ChangesBy::Group : ChangesBy::Teacher);
    trusko::PreviewReports(dict_, {&doc}, procedureName(), this);
}

bool CompareSchedulesWindow::save(const QString& path) {
    if (!result_.ok) {
        dict_.ui().tell(CompareCaption(), result_.error);
        return false;
    }
    const ComparisonFile format = path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)
                                      ? ComparisonFile::Csv
                                      : ComparisonFile::Html;
    const QString error = SaveComparison(
        dict_, result_, byGroup_->isChecked() ? ChangesBy::Group : ChangesBy::Teacher, format,
        QDir(dict_.workDir()).absoluteFilePath(path));
    dict_.ui().tell(CompareCaption(), error.isEmpty()
                                          ? QStringLiteral("Изменения записаны в файл %1.")
                                                .arg(QDir::toNativeSeparators(
                                                    QDir(dict_.workDir()).absoluteFilePath(path)))
                                          : error);
    return error.isEmpty();
}

void CompareSchedulesWindow::customEvent(QEvent* event) {
    // Lessons moved while the window is open: the current side is read again.
    if (event->type() == UserEvent::Refresh && afterIsCurrent() && before_->count() > 0)
        compare(false);
    QWidget::customEvent(event);
}

} // namespace hestor
