#include "ombrel/windows/UpdateSchedule.h"

#include "tamsel/widgets/WindowPlaceKeeper.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using namespace tamsel;

namespace ombrel {

UpdateSchedule::UpdateSchedule(Dictionary& dict, const ScheduleUpdate& outcome, QWidget* parent)
    : QDialog(parent) {
    setObjectName(procedureName());
    setWindowTitle(QStringLiteral("Проверка возможности внесения изменений в расписание"));
    status_ = new QLabel(outcome.status, this);
    messages_ = new QListWidget(this);
    messages_->setAccessibleName(QStringLiteral("Сообщения"));
    messages_->setWordWrap(true);
    messages_->addItems(outcome.messages);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("&Закрыть"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(messages_, 1);
    layout->addWidget(buttons);
    resize(560, 280);
    WindowPlaceKeeper::attach(this, dict.settings(), procedureName());
}

long UpdateSchedule::run(Dictionary& dict, const TrainingCourse& stored, Short ScienceCode,
                         Short SingleHours, Short CoupledHours, QWidget* parent) {
    const ScheduleUpdate outcome =
        UpdateScheduleEntries(dict, stored, ScienceCode, SingleHours, CoupledHours);
    if (outcome.result != 0 && !outcome.messages.isEmpty()) {
        UpdateSchedule window(dict, outcome, parent);
        window.exec();
    }
    return outcome.result;
}

} // namespace ombrel
