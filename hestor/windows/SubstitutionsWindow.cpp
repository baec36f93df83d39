#include "hestor/windows/SubstitutionsWindow.h"

#include "PageOrTablePath.h"

#include "tamsel/Access.h"
#include "tamsel/Dictionary.h"
#include "tamsel/Events.h"
#include "trusko/Printing.h"

#include <QComboBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <functional>

namespace hestor {

using namespace tamsel;

namespace {

constexpr int SubstituteColumn = 4;
constexpr int RoomColumn = 5;
constexpr int NoteColumn = 6;

QString u(const char* text) {
    return QString::fromUtf8(text);
}

/// A drop-down column of the lessons table: the items of a row, the row's current value, and
/// what a choice does. Choosing stores it in the window's day at once.
class ChoiceDelegate : public QStyledItemDelegate {
public:
    using Items = std::function<std::vector<std::pair<QString, int>>(size_t row)>;
    using Current = std::function<int(size_t row)>;
    using Apply = std::function<void(int row, int value)>;

    ChoiceDelegate(QWidget* window, QString name, Items items, Current current, Apply apply)
        : QStyledItemDelegate(window), name_(std::move(name)), items_(std::move(items)),
          current_(std::move(current)), apply_(std::move(apply)) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        auto* combo = new QComboBox(parent);
        combo->setAccessibleName(name_);
        const size_t row = size_t(index.row());
        for (const auto& [text, value] : items_(row)) combo->addItem(text, value);
        combo->setCurrentIndex(std::max(0, combo->findData(current_(row))));
        // A choice in the list is final: no second key to confirm it.
        QObject::connect(combo, &QComboBox::activated, combo, [this, combo] {
            auto* self = const_cast<ChoiceDelegate*>(this);
            emit self->commitData(combo);
            emit self->closeEditor(combo);
        });
        return combo;
    }
    void setEditorData(QWidget*, const QModelIndex&) const override {}
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        apply_(index.row(), static_cast<QComboBox*>(editor)->currentData().toInt());
    }

private:
    QString name_;
    Items items_;
    Current current_;
    Apply apply_;
};

} // namespace

SubstitutionsWindow::SubstitutionsWindow(Dictionary& dict, QWidget* parent)
    : QWidget(parent), dict_(dict) {
    setWindowTitle(u("Замены"));
    setObjectName(procedureName());

    date_ = new QDateEdit(QDate::currentDate(), this);
    date_->setCalendarPopup(true);
    date_->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    date_->setAccessibleName(u("Дата"));
    auto* dateLabel = new QLabel(u("&Дата:"), this);
    dateLabel->setBuddy(date_);

    teachers_ = new QListWidget(this);
    teachers_->setAccessibleName(u("Отсутствующие учителя"));
    teachers_->setAccessibleDescription(u("Отметьте пробелом учителей, которых нет в этот день"));
    fillTeachers();
    auto* teachersLabel = new QLabel(u("&Отсутствуют:"), this);
    teachersLabel->setBuddy(teachers_);

    table_ = new QTableWidget(0, 7, this);
    table_->setAccessibleName(u("Уроки отсутствующих учителей"));
    table_->setAccessibleDescription(
        u("F4 или Alt+Вниз открывает список заменяющих учителей, а в столбце «Кабинет» — список свободных кабинетов"));
    table_->setHorizontalHeaderLabels({u("Урок"), u("Класс"), u("Предмет"), u("Отсутствует"),
                                       u("Заменяет"), u("Кабинет"), u("Примечание")});
    // The substitute: the lesson's free candidates, best first, then "урок отменен".
    table_->setItemDelegateForColumn(
        SubstituteColumn,
        new ChoiceDelegate(
            this, u("Заменяет"),
            [this](size_t row) {
                std::vector<std::pair<QString, int>> items{{u("— не выбран —"), -1}};
                for (const SubstitutionCandidate* c : FreeCandidates(day_, row))
                    items.emplace_back(c->name + u(" — ") + c->reason, int(c->teacher));
                items.emplace_back(CancelledText(), 0);
                return items;
            },
            [this](size_t row) { return int(day_.lessons[row].chosen); },
            [this](int row, int teacher) { choose(row, Short(teacher)); }));
    // The room: the lesson's own, then the rooms free in that bell.
    table_->setItemDelegateForColumn(
        RoomColumn,
        new ChoiceDelegate(
            this, u("Кабинет"),
            [this](size_t row) {
                const AbsentLesson& l = day_.lessons[row];
                std::vector<std::pair<QString, int>> items{{l.room + u(" (свой)"), 0}};
                for (const SubstitutionRoom* r : FreeRooms(day_, row))
                    items.emplace_back(r->number, int(r->code));
                return items;
            },
            [this](size_t row) { return int(day_.lessons[row].chosenRoom); },
            [this](int row, int room) { chooseRoom(row, Long(room)); }));
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Tab leaves the table for the buttons; arrows move between its cells.
    table_->setTabKeyNavigation(false);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->installEventFilter(this);
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (filling_ || item->column() != NoteColumn) return;
        day_.lessons[size_t(item->row())].note = item->text().trimmed();
        dirty_ = true;
    });
    auto* tableLabel = new QLabel(u("&Уроки:"), this);
    tableLabel->setBuddy(table_);

    status_ = new QLabel(this);
    status_->setWordWrap(true);
    status_->setAccessibleName(u("Состояние"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    auto* autoButton = new QPushButton(u("&Подобрать"), this);
    autoButton->setAccessibleDescription(u("Первый из предложенных учителей для каждого урока без замены"));
    auto* saveButton = new QPushButton(u("&Сохранить"), this);
    auto* printButton = new QPushButton(u("П&ечать..."), this);
    auto* saveAsButton = new QPushButton(u("Сохранить &как…"), this);
    saveAsButton->setAccessibleDescription(u("Веб-страница или таблица CSV"));
    auto* closeButton = new QPushButton(u("&Закрыть"), this);
    connect(autoButton, &QPushButton::clicked, this, [this] {
        ChooseFirstCandidates(day_);
        dirty_ = day_.ok;
        fill();
    });
    connect(saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(printButton, &QPushButton::clicked, this, [this] { print(); });
    connect(saveAsButton, &QPushButton::clicked, this, [this] {
        const QString path = askPageOrTablePath(this, u("Сохранить замены"), dict_.workDir());
        if (!path.isEmpty()) saveAs(path);
    });
    connect(closeButton, &QPushButton::clicked, this, [this] { close(); });

    auto* top = new QHBoxLayout;
    top->addWidget(dateLabel);
    top->addWidget(date_);
    top->addStretch();
    auto* left = new QVBoxLayout;
    left->addWidget(teachersLabel);
    left->addWidget(teachers_, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(tableLabel);
    right->addWidget(table_, 1);
    auto* middle = new QHBoxLayout;
    middle->addLayout(left, 1);
    middle->addLayout(right, 4);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    for (QPushButton* b : {autoButton, saveButton, printButton, saveAsButton, closeButton})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle, 1);
    layout->addLayout(buttons);
    resize(980, 520);

    connect(date_, &QDateEdit::dateChanged, this, [this] { plan(); });
    connect(teachers_, &QListWidget::itemChanged, this, [this] { plan(); });
    plan();
}

namespace {
QString UnsavedText() {
    return QString::fromUtf8("Выбранные замены не сохранены. Сохранить их?");
}
} // namespace

void SubstitutionsWindow::fillTeachers() {
    QSet<int> checked;
    for (int i = 0; i < teachers_->count(); ++i)
        if (teachers_->item(i)->checkState() == Qt::Checked)
            checked.insert(teachers_->item(i)->data(Qt::UserRole).toInt());
    const int current = teachers_->currentRow();
    const QSignalBlocker quiet(teachers_);
    teachers_->clear();
    FileUse use(dict_.store(), FileId::Teacher);
    if (!use) return;
    for (const Teacher& t : dict_.access<Teacher>().all(Teacher::TeacherNameKey)) {
        auto* item = new QListWidgetItem(t.TeacherName.trimmed(), teachers_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(checked.contains(t.TeacherCode) ? Qt::Checked : Qt::Unchecked);
        item->setData(Qt::UserRole, int(t.TeacherCode));
    }
    teachers_->setCurrentRow(std::min(current, teachers_->count() - 1));
}

void SubstitutionsWindow::customEvent(QEvent* event) {
    if (event->type() == UserEvent::Refresh) {
        // Lessons moved or teachers changed elsewhere: the day is planned again; choices not
        // yet saved stay where they still hold, and the others are said.
        fillTeachers();
        const SubstitutionDay before = day_;
        readDay();
        const int lost = dirty_ ? CarryChoices(before, day_) : 0;
        fill();
        if (lost > 0)
            status_->setText(status_->text() +
                             u(" Данные изменились: снят выбор у уроков: %1 (учитель или кабинет "
                               "теперь заняты).")
                                 .arg(lost));
    }
    QWidget::customEvent(event);
}

void SubstitutionsWindow::plan() {
    // Another date or other teachers: the choices made so far are not dropped unasked.
    offerSaving(UnsavedText(), Yes | No);
    readDay();
    dirty_ = false;
    fill();
}

void SubstitutionsWindow::readDay() {
    std::vector<Short> absent;
    for (int i = 0; i < teachers_->count(); ++i)
        if (teachers_->item(i)->checkState() == Qt::Checked)
            absent.push_back(Short(teachers_->item(i)->data(Qt::UserRole).toInt()));
    if (absent.empty()) {
        day_ = SubstitutionDay();
        day_.date = date_->date();
        day_.error = u("Отметьте отсутствующих учителей.");
    } else {
        dict_.ui().setBusy(true);
        day_ = PlanSubstitutions(dict_, date_->date(), absent);
        dict_.ui().setBusy(false);
    }
}

bool SubstitutionsWindow::offerSaving(const QString& text, unsigned buttons) {
    if (!dirty_) return true;
    const Button answer = dict_.ui().ask(u("Замены"), text, buttons, Yes);
    if (answer == Cancel) return false;
    return answer == No || save();
}

bool SubstitutionsWindow::savedBeforeDocument() {
    return offerSaving(u("Выбранные замены не сохранены. Сохранить их? Документ строится по "
                         "сохраненным заменам."),
                       Yes | No | Cancel);
}

void SubstitutionsWindow::closeEvent(QCloseEvent* e) {
    if (offerSaving(UnsavedText(), Yes | No | Cancel))
        QWidget::closeEvent(e);
    else
        e->ignore();
}

QString SubstitutionsWindow::choiceText(int row) const {
    const AbsentLesson& l = day_.lessons[size_t(row)];
    if (l.chosen < 0) return {};
    if (l.chosen == 0) return CancelledText();
    for (const SubstitutionCandidate& c : l.candidates)
        if (c.teacher == l.chosen) return c.name;
    // Stored earlier for a teacher who is no longer free then: shown, so that it can be changed.
    return l.chosenName.isEmpty() ? u("учитель с кодом %1").arg(l.chosen) : l.chosenName;
}

void SubstitutionsWindow::fill() {
    filling_ = true;
    table_->setRowCount(0);
    if (day_.ok) {
        table_->setRowCount(int(day_.lessons.size()));
        for (int r = 0; r < int(day_.lessons.size()); ++r) {
            const AbsentLesson& l = day_.lessons[size_t(r)];
            const QString lesson =
                l.time.isEmpty() ? l.lessonNo : l.lessonNo + u(" (") + l.time + u(")");
            const QString groups = l.link.isEmpty() ? l.groups : l.groups + u(", ") + l.link;
            const QStringList texts{lesson, groups, l.subject, l.absentName.trimmed(),
                                    choiceText(r), roomText(r), l.note};
            for (int c = 0; c < texts.size(); ++c) {
                auto* item = new QTableWidgetItem(texts[c]);
                if (c != SubstituteColumn && c != RoomColumn && c != NoteColumn)
                    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
                table_->setItem(r, c, item);
            }
        }
    }
    showStatus();
    filling_ = false;
}

void SubstitutionsWindow::showStatus() {
    if (!day_.ok) {
        status_->setText(day_.error);
        return;
    }
    int done = 0;
    for (const AbsentLesson& l : day_.lessons) done += l.chosen >= 0 ? 1 : 0;
    status_->setText(u("%1, %2, неделя %3. Уроков: %4, решено: %5.")
                         .arg(day_.date.toString(QStringLiteral("dd.MM.yyyy")),
                              day_.dayName.toLower())
                         .arg(day_.week)
                         .arg(day_.lessons.size())
                         .arg(done));
}

void SubstitutionsWindow::choose(int row, Short teacher) {
    if (row < 0 || row >= int(day_.lessons.size())) return;
    day_.lessons[size_t(row)].chosen = teacher;
    dirty_ = true;
    // Only the cell and the count change: the drop-down that chose is still being closed.
    filling_ = true;
    if (QTableWidgetItem* item = table_->item(row, SubstituteColumn)) item->setText(choiceText(row));
    filling_ = false;
    showStatus();
}

QString SubstitutionsWindow::roomText(int row) const {
    const AbsentLesson& l = day_.lessons[size_t(row)];
    if (l.chosenRoom == 0) return l.room;
    return u("%1 (вместо %2)").arg(l.chosenRoomNumber, l.room);
}

void SubstitutionsWindow::chooseRoom(int row, Long room) {
    if (row < 0 || row >= int(day_.lessons.size())) return;
    AbsentLesson& l = day_.lessons[size_t(row)];
    l.chosenRoom = room;
    l.chosenRoomNumber.clear();
    for (const SubstitutionRoom& r : l.rooms)
        if (r.code == room) l.chosenRoomNumber = r.number;
    dirty_ = true;
    filling_ = true;
    if (QTableWidgetItem* item = table_->item(row, RoomColumn)) item->setText(roomText(row));
    filling_ = false;
}

bool SubstitutionsWindow::save() {
    const QString error = SaveSubstitutions(dict_, day_);
    if (error.isEmpty()) dirty_ = false;
    dict_.ui().tell(u("Замены"),
                    error.isEmpty() ? SubstitutionsTitle(day_.date) + u(": сохранено.") : error);
    return error.isEmpty();
}

void SubstitutionsWindow::print() {
    if (!savedBeforeDocument()) return;
    const SubstitutionList list = ReadSubstitutions(dict_, date_->date());
    if (!list.ok) {
        dict_.ui().tell(u("Замены"), list.error);
        return;
    }
    const trusko::ReportDocument doc = SubstitutionsReport(list);
    trusko::PreviewReports(dict_, {&doc}, procedureName(), this);
}

bool SubstitutionsWindow::saveAs(const QString& path) {
    if (!savedBeforeDocument()) return false;
    const SubstitutionList list = ReadSubstitutions(dict_, date_->date());
    const QString full = QDir(dict_.workDir()).absoluteFilePath(path);
    const QString error =
        !list.ok ? list.error
                 : SaveSubstitutionsFile(dict_, list,
                                         path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)
                                             ? SubstitutionsFile::Csv
                                             : SubstitutionsFile::Html,
                                         full);
    dict_.ui().tell(u("Замены"), error.isEmpty()
                                     ? u("Замены записаны в файл %1.").arg(QDir::toNativeSeparators(full))
                                     : error);
    return error.isEmpty();
}

bool SubstitutionsWindow::eventFilter(QObject* watched, QEvent* event) {
    // F4 and Alt+Down open the drop-down of the substitute as they open any drop-down list.
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool open = key->key() == Qt::Key_F4 ||
                          (key->key() == Qt::Key_Down && (key->modifiers() & Qt::AltModifier));
        const QModelIndex index = table_->currentIndex();
        if (open && index.isValid()) {
            const QModelIndex cell = index.siblingAtColumn(
                index.column() == RoomColumn ? RoomColumn : SubstituteColumn);
            table_->setCurrentIndex(cell);
            table_->edit(cell);
            if (auto* combo = qobject_cast<QComboBox*>(table_->indexWidget(cell)))
                combo->showPopup();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace hestor
