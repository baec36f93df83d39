#include "hestor/windows/SchoolCalendarWindow.h"

#include "hestor/PublishSchedule.h"
#include "tamsel/IniFile.h"
#include "trusko/PlacedTimetable.h"

#include <QDateEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace hestor {

using namespace tamsel;

namespace {
const QString Caption = QStringLiteral("Календарь учебного года");

QString dateText(const QDate& d) {
    return d.toString(QStringLiteral("dd.MM.yyyy"));
}

QDateEdit* dateEdit(const QDate& date, const QString& name, QWidget* parent) {
    auto* e = new QDateEdit(date, parent);
    e->setCalendarPopup(true);
    e->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    e->setAccessibleName(name);
    return e;
}
} // namespace

SchoolCalendarWindow::SchoolCalendarWindow(Dictionary& dict, QWidget* parent)
    : QWidget(parent), dict_(dict) {
    setWindowTitle(Caption);
    {
        FileUse days(dict.store(), FileId::Days);
        if (days)
            for (const Days& d : dict.access<Days>().all(Days::SeqNumberKey)) dayNames_ << d.DayName;
    }
    const SchoolCalendar c = SchoolCalendar::load(dict.settings());
    // A school year that was never set starts as the usual one: 1 September to 31 May.
    const int year = QDate::currentDate().month() >= 7 ? QDate::currentDate().year()
                                                       : QDate::currentDate().year() - 1;
    holidayRanges_ = c.holidays;

    auto* layout = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* form = new QFormLayout;
    first_ = dateEdit(c.first.isValid() ? c.first : QDate(year, 9, 1),
                      QStringLiteral("Первый учебный день"), this);
    last_ = dateEdit(c.last.isValid() ? c.last : QDate(year + 1, 5, 31),
                     QStringLiteral("Последний учебный день"), this);
    zone_ = new QLineEdit(c.timeZone, this);
    zone_->setAccessibleName(QStringLiteral("Часовой пояс"));
    form->addRow(QStringLiteral("Первый учебный день:"), first_);
    form->addRow(QStringLiteral("Последний учебный день:"), last_);
    form->addRow(QStringLiteral("Часовой пояс:"), zone_);
    left->addLayout(form);

    auto* box = new QGroupBox(QStringLiteral("Каникулы и праздничные дни"), this);
    auto* b = new QVBoxLayout(box);
    holidays_ = new QListWidget(box);
    holidays_->setAccessibleName(QStringLiteral("Каникулы и праздничные дни"));
    b->addWidget(holidays_);
    auto* range = new QHBoxLayout;
    holidayFrom_ = dateEdit(first_->date(), QStringLiteral("Каникулы с"), box);
    holidayTo_ = dateEdit(first_->date(), QStringLiteral("Каникулы по"), box);
    range->addWidget(new QLabel(QStringLiteral("с"), box));
    range->addWidget(holidayFrom_);
    range->addWidget(new QLabel(QStringLiteral("по"), box));
    range->addWidget(holidayTo_);
    b->addLayout(range);
    auto* rangeButtons = new QHBoxLayout;
    auto* add = new QPushButton(QStringLiteral("&Добавить"), box);
    auto* remove = new QPushButton(QStringLiteral("&Удалить"), box);
    add->setAccessibleName(QStringLiteral("Добавить каникулы"));
    remove->setAccessibleName(QStringLiteral("Удалить каникулы"));
    connect(add, &QPushButton::clicked, this, &SchoolCalendarWindow::addHoliday);
    connect(remove, &QPushButton::clicked, this, &SchoolCalendarWindow::removeHoliday);
    connect(holidayFrom_, &QDateEdit::dateChanged, this, [this](const QDate& d) {
        if (holidayTo_->date() < d) holidayTo_->setDate(d);
    });
    rangeButtons->addWidget(add);
    rangeButtons->addWidget(remove);
    rangeButtons->addStretch();
    b->addLayout(rangeButtons);
    left->addWidget(box);

    auto* buttons = new QHBoxLayout;
    auto* saveButton = new QPushButton(QStringLiteral("&Сохранить"), this);
    auto* closeButton = new QPushButton(QStringLiteral("&Закрыть"), this);
    connect(saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(closeButton, &QPushButton::clicked, this, [this] {
        close(); // the frame closes the child window around it too
    });
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(closeButton);
    left->addLayout(buttons);
    layout->addLayout(left);

    auto* right = new QVBoxLayout;
    summary_ = new QLabel(this);
    right->addWidget(summary_);
    dates_ = new QTableWidget(0, 3, this);
    dates_->setHorizontalHeaderLabels(
        {QStringLiteral("Дата"), QStringLiteral("День"), QStringLiteral("Неделя цикла")});
    dates_->setAccessibleName(QStringLiteral("Учебные дни"));
    dates_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dates_->verticalHeader()->hide();
    dates_->horizontalHeader()->setStretchLastSection(true);
    right->addWidget(dates_);
    layout->addLayout(right, 1);

    connect(first_, &QDateEdit::dateChanged, this, &SchoolCalendarWindow::showDates);
    connect(last_, &QDateEdit::dateChanged, this, &SchoolCalendarWindow::showDates);
    showDates();
}

SchoolCalendar SchoolCalendarWindow::calendar() const {
    SchoolCalendar c;
    c.first = first_->date();
    c.last = last_->date();
    c.holidays = holidayRanges_;
    const QString zone = zone_->text().trimmed();
    if (!zone.isEmpty()) c.timeZone = zone;
    return c;
}

void SchoolCalendarWindow::addHoliday() {
    const QDate from = holidayFrom_->date(), to = std::max(holidayFrom_->date(), holidayTo_->date());
    holidayRanges_.append({from, to});
    std::sort(holidayRanges_.begin(), holidayRanges_.end());
    showDates();
}

void SchoolCalendarWindow::removeHoliday() {
    const int row = holidays_->currentRow();
    if (row < 0 || row >= holidayRanges_.size()) return;
    holidayRanges_.removeAt(row);
    showDates();
}

void SchoolCalendarWindow::showDates() {
    holidays_->clear();
    for (const auto& [from, to] : holidayRanges_)
        holidays_->addItem(from == to ? dateText(from)
                                      : dateText(from) + QStringLiteral(" – ") + dateText(to));
    const SchoolCalendar c = calendar();
    const int weeks = std::max<int>(1, dict_.glo.WeeksInCycle);
    dates_->setRowCount(0);
    int count = 0;
    if (c.isSet())
        for (QDate d = c.first; d <= c.last; d = d.addDays(1)) {
            if (!c.isTeachingDate(d, int(dayNames_.size()))) continue;
            dates_->insertRow(count);
            dates_->setItem(count, 0, new QTableWidgetItem(dateText(d)));
            dates_->setItem(count, 1, new QTableWidgetItem(dayNames_[SchoolCalendar::dayIndex(d)]));
            dates_->setItem(count, 2, new QTableWidgetItem(trusko::weekBand(c.cycleWeek(d, weeks))));
            ++count;
        }
    summary_->setText(c.isSet() ? QStringLiteral("Учебных дней: %1").arg(count)
                                : QStringLiteral("Последний учебный день раньше первого."));
}

bool SchoolCalendarWindow::save() {
    const SchoolCalendar c = calendar();
    if (!c.isSet()) {
        dict_.ui().tell(Caption, QStringLiteral("Последний учебный день раньше первого."));
        return false;
    }
    // Into the file as it is on disk now, so nothing else of the settings changes with it.
    IniFile file(dict_.settings().path());
    QString error;
    if (!file.load(&error)) {
        dict_.ui().tell(Caption, QStringLiteral("Календарь не сохранен: ") + error);
        return false;
    }
    c.save(file);
    if (!file.save(&error)) {
        dict_.ui().tell(Caption, QStringLiteral("Календарь не сохранен: ") + error);
        return false;
    }
    c.save(dict_.settings());
    return true;
}

} // namespace hestor
