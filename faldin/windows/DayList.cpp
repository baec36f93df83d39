#include "faldin/windows/DayList.h"

#include "faldin/Calendar.h"
#include "tamsel/Dictionary.h"

#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

namespace faldin {

using namespace tamsel;

namespace {
ListDeclaration daySpec(Dictionary& dict) {
    const FileDef& def = fileDef(FileId::Days);
    ListDeclaration s;
    s.file = FileId::Days;
    s.name = QStringLiteral("Учебные дни");
    s.columns = {
        ListColumn::edited(QStringLiteral("№ п/п"), def.fieldIndex(QStringLiteral("DaySeqNumber")),
                           ListColumn::Editor::Number, 1, 9999),
        ListColumn::edited(QStringLiteral("День / Дата"), def.fieldIndex(QStringLiteral("DayName")),
                           ListColumn::Editor::Text),
    };
    s.view.key = Days::SeqNumberKey;
    s.beforeDelete = [&dict](const Row& day) {
        return ConfirmLessonsDeleted(dict, LessonsOnDay(dict, static_cast<Short>(day.integer(0))));
    };
    return s;
}
} // namespace

DayList::DayList(Dictionary& dict, QWidget* parent)
    : ListWindow(dict, procedureName(), QStringLiteral("Учебные дни"), parent) {
    RecordList* list = addList(daySpec(dict));

    weeks_ = new QSpinBox(this);
    weeks_->setRange(1, 20);
    weeks_->setValue(std::clamp<int>(dict.glo.WeeksInCycle, 1, 20));
    weeks_->setAccessibleName(QStringLiteral("Недель в расписании:"));
    auto* weeksLabel = new QLabel(QStringLiteral("Недель в расписании:"), this);
    weeksLabel->setBuddy(weeks_);
    connect(weeks_, &QSpinBox::valueChanged, this, [this](int w) {
        dict_.glo.WeeksInCycle = static_cast<Short>(w);
        dict_.windows.postToFrame(UserEvent::Refresh);
    });

    variants_ = new QMenu(this);
    struct Item {
        const char* text;
        const char* hint;
        int days;
    };
    for (const Item& i : {Item{"Понедельник - Пятница", "Стандартная пятидневка", 5},
                          Item{"Понедельник - Суббота", "Стандартная шестидневка", 6},
                          Item{"Понедельник - Воскресенье", "Стандартная неделя", 7},
                          Item{"дд.мм.гггг - дд.мм.гггг ...", "Период времени", 0}}) {
        QAction* a = variants_->addAction(QString::fromUtf8(i.text));
        a->setStatusTip(QString::fromUtf8(i.hint));
        a->setToolTip(QString::fromUtf8(i.hint));
        const int n = i.days;
        connect(a, &QAction::triggered, this, [this, n] {
            if (n == 0)
                askDateInterval();
            else
                generated(SetDefaultWeek(dict_, n));
        });
    }
    variants_->setToolTipsVisible(true);
    auto* standard = new QPushButton(QStringLiteral("Стандартные варианты"), this);
    standard->setMenu(variants_);
    list->view()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list->view(), &QWidget::customContextMenuRequested, this,
            [this, list](const QPoint& at) {
                variants_->popup(list->view()->viewport()->mapToGlobal(at));
            });

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(weeksLabel);
    bottom->addWidget(weeks_);
    bottom->addStretch();
    bottom->addWidget(standard);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list, 1);
    layout->addLayout(bottom);
    resize(360, 320);
    list->reload();
}

void DayList::generated(bool ok) {
    days()->reload();
    // Even a generation that stopped halfway changed the days.
    dict_.windows.postToFrame(UserEvent::Refresh);
    Q_UNUSED(ok);
}

void DayList::askDateInterval() {
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Укажите интервал дат"));
    const DateInterval d = DefaultDateInterval(QDate::currentDate());
    auto* from = new QDateEdit(d.from, &dialog);
    auto* to = new QDateEdit(d.to, &dialog);
    for (QDateEdit* e : {from, to}) {
        e->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        e->setCalendarPopup(true);
    }
    auto* perWeek = new QSpinBox(&dialog);
    perWeek->setRange(1, 7);
    perWeek->setValue(d.daysPerWeek);
    auto* form = new QFormLayout(&dialog);
    form->addRow(QStringLiteral("С даты:"), from);
    form->addRow(QStringLiteral("По дату:"), to);
    form->addRow(QStringLiteral("Дней в неделе:"), perWeek);
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(QStringLiteral("Составить"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Отменить"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return;
    generated(SetDateInterval(dict_, DateInterval{from->date(), to->date(), perWeek->value()}));
}

} // namespace faldin
