#include "hestor/windows/ArcSched.h"

#include "hestor/Archive.h"
#include "hestor/windows/CompareSchedulesWindow.h"
#include "tamsel/Dictionary.h"
#include "tamsel/Relations.h"
#include "tamsel/widgets/WindowPlaceKeeper.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace hestor {

using namespace tamsel;

namespace {
int field(const char* name) {
    return fileDef(FileId::Archive).fieldIndex(QString::fromLatin1(name));
}

QString dateText(Long day) {
    return day ? dateOfDayNumber(day).toString(QStringLiteral("dd.MM.yyyy")) : QString();
}
QString timeText(Long t) {
    if (t <= 0) return QString();
    const int s = (t - 1) / 100;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}
} // namespace

ArcSched::ArcSched(Dictionary& dict, QWidget* parent)
    : ListWindow(dict, procedureName(), QStringLiteral("Архив расписаний"), parent) {
    ListDeclaration s;
    s.file = FileId::Archive;
    s.name = QStringLiteral("Архив расписаний");
    s.canInsert = s.canChange = false; // the form takes the snapshot itself
    ListColumn date, time, weeks, brief;
    date.title = QStringLiteral("Дата и");
    date.text = [](const Row& r) {
        return dateText(static_cast<Long>(r.integer(field("SaveDate"))));
    };
    time.title = QStringLiteral("время записи");
    time.text = [](const Row& r) {
        return timeText(static_cast<Long>(r.integer(field("SaveTime"))));
    };
    weeks.title = QStringLiteral("Нед.");
    weeks.text = [](const Row& r) {
        const qint64 w = r.integer(field("WeeksInCycle"));
        return w ? QString::number(w) : QString();
    };
    weeks.alignRight = true;
    brief = ListColumn::shown(QStringLiteral("Краткое описание"), field("BriefDescription"));
    s.columns = {date, time, weeks, brief};
    s.view.key = Archive::DateTimeKey;
    RecordList* list = addList(std::move(s));

    auto* add = new QPushButton(QStringLiteral("&Добавить"), this);
    auto* replace = new QPushButton(QStringLiteral("&Заменить"), this);
    restore_ = new QPushButton(QStringLiteral("Извлечь"), this);
    connect(add, &QPushButton::clicked, this, [this] { saveSnapshot(false); });
    connect(replace, &QPushButton::clicked, this, [this] { saveSnapshot(true); });
    connect(restore_, &QPushButton::clicked, this, &ArcSched::restoreSnapshot);
    compare_ = new QPushButton(QStringLiteral("Сравнить с текущим"), this);
    connect(compare_, &QPushButton::clicked, this, &ArcSched::compareWithCurrent);
    list->buttonRow()->insertWidget(0, add);
    list->buttonRow()->insertWidget(1, replace);
    list->buttonRow()->addWidget(restore_);
    list->buttonRow()->addWidget(compare_);

    byDescription_ = new QCheckBox(QStringLiteral("Сортировка по описаниям"), this);
    connect(byDescription_, &QCheckBox::toggled, this, &ArcSched::applySort);
    description_ = new QLabel(this);
    description_->setWordWrap(true);
    description_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto* descriptionLabel = new QLabel(QStringLiteral("Описание"), this);
    descriptionLabel->setBuddy(description_);
    connect(list, &RecordList::currentChanged, this, &ArcSched::showDescription);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(byDescription_);
    layout->addWidget(list, 1);
    layout->addWidget(descriptionLabel);
    layout->addWidget(description_);
    resize(520, 360);
    list->reload();
    showDescription();
}

QString ArcSched::descriptionText() const {
    return description_->text();
}

void ArcSched::applySort() {
    ListView v;
    v.key = byDescription_->isChecked() ? Archive::DescriptionKey : Archive::DateTimeKey;
    // The locator searches the column the list is sorted by.
    snapshots()->view()->setCurrentIndex(
        snapshots()->model()->index(0, byDescription_->isChecked() ? 3 : 0));
    snapshots()->setView(v);
}

void ArcSched::showDescription() {
    const Row* r = snapshots()->current();
    description_->setText(r ? r->text(field("Description")) : QString());
    restore_->setEnabled(snapshots()->model()->rowCount() > 0);
    compare_->setEnabled(snapshots()->model()->rowCount() > 0);
}

QWidget* ArcSched::compareWithCurrent() {
    const Row* r = snapshots()->current();
    if (!r) return nullptr;
    // A window of its own beside the archive; it only reads.
    auto* w = new CompareSchedulesWindow(dict_, this, r->text(field("BriefDescription")));
    w->setWindowFlag(Qt::Window);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    return w;
}

bool ArcSched::saveSnapshot(bool replace, const std::function<bool(QString&, QString&)>& answer) {
    Archive rec;
    if (replace) {
        if (!snapshots()->current()) return false;
        rec = fromRow<Archive>(*snapshots()->current());
    } else {
        rec.WeeksInCycle = dict_.glo.WeeksInCycle;
    }
    QString brief = rec.BriefDescription, full = rec.Description;
    if (answer) {
        if (!answer(brief, full)) return false;
    } else {
        QDialog form(this);
        form.setObjectName(QStringLiteral("UpdateArchive"));
        form.setWindowTitle(replace ? QStringLiteral("Обновление расписания в архиве")
                                    : QStringLiteral("Добаление расписания в архив"));
        WindowPlaceKeeper::attach(&form, dict_.settings(), QStringLiteral("UpdateArchive"));
        auto* briefEdit = new QLineEdit(brief, &form);
        briefEdit->setMaxLength(25);
        auto* fullEdit = new QPlainTextEdit(full, &form);
        auto* when = new QLabel(rec.SaveDate ? dateText(rec.SaveDate) + QLatin1Char(' ') +
                                                   timeText(rec.SaveTime)
                                             : QString(),
                                &form);
        auto* f = new QFormLayout(&form);
        f->addRow(QStringLiteral("Краткое описание:"), briefEdit);
        f->addRow(QStringLiteral("Подробное описание:"), fullEdit);
        f->addRow(QStringLiteral("Дата и время записи:"), when);
        auto* buttons =
            new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &form);
        buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("ОК"));
        buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
        connect(buttons, &QDialogButtonBox::accepted, &form, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, &form, &QDialog::reject);
        f->addRow(buttons);
        if (form.exec() != QDialog::Accepted) return false;
        brief = briefEdit->text();
        full = fullEdit->toPlainText();
    }
    rec.BriefDescription = brief;
    rec.Description = full;
    QString stoppedAt;
    if (!BackupSchedule(dict_, rec, &stoppedAt)) {
        // An incomplete snapshot would restore empty or stale files: never stored.
        dict_.ui().tell(
            QStringLiteral("Архив расписаний"),
            QStringLiteral("Расписание не записано в архив: копирование остановилось на "
                           "файле «%1».")
                .arg(stoppedAt));
        return false;
    }
    Relations rel(dict_);
    const Outcome o = replace ? rel.update(rec) : rel.insert(rec);
    if (!o.ok()) return false;
    snapshots()->reload();
    snapshots()->goTo(rec.rowId);
    showDescription();
    return true;
}

void ArcSched::restoreSnapshot() {
    const Row* r = snapshots()->current();
    if (!r) return;
    const Archive rec = fromRow<Archive>(*r);
    bool declined = false;
    // The question alone does not say what its answers do: the outcome is told after it.
    if (RestoreSchedule(dict_, rec, &declined)) {
        dict_.windows.postToFrame(UserEvent::Refresh);
        dict_.ui().tell(QStringLiteral("Архив расписаний"),
                        QStringLiteral("Данные извлечены из архива: «%1». Прежние текущие данные "
                                       "заменены.")
                            .arg(rec.BriefDescription.trimmed()));
    } else if (declined) {
        dict_.ui().tell(QStringLiteral("Архив расписаний"),
                        QStringLiteral("Данные из архива не извлечены, текущие данные не "
                                       "изменены.|Сохраните их в архиве кнопкой «Добавить» и "
                                       "повторите извлечение."));
    }
    snapshots()->reload();
    showDescription();
}

} // namespace hestor
