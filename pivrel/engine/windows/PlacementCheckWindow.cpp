#include "pivrel/engine/PlacementCheckWindow.h"

#include "tamsel/Dictionary.h"
#include "tamsel/Events.h"
#include "trusko/Printing.h"
#include "trusko/Report.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace tamsel;

namespace pivrel {

PlacementCheckWindow::PlacementCheckWindow(Dictionary& dict, QWidget* parent, short kind,
                                           short code)
    : QWidget(parent), dict_(dict), kind_(kind), code_(code) {
    setWindowTitle(QStringLiteral("Проверка данных для расстановки"));
    setObjectName(procedureName());
    summary_ = new QLabel(this);
    summary_->setWordWrap(true);
    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({QStringLiteral("Оценка"), QStringLiteral("Что найдено")});
    list_->setAccessibleName(QStringLiteral("Найденное при проверке"));
    list_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    details_ = new QPlainTextEdit(this);
    details_->setReadOnly(true);
    details_->setAccessibleName(QStringLiteral("Подробности"));
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::TypeWriter);
    details_->setFont(mono);
    auto* again = new QPushButton(QStringLiteral("Проверить"), this);
    auto* print = new QPushButton(QStringLiteral("Печать..."), this);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(list_);
    split->addWidget(details_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(summary_, 1);
    buttons->addWidget(again);
    buttons->addWidget(print);
    auto* main = new QVBoxLayout(this);
    main->addLayout(buttons);
    main->addWidget(split, 1);
    connect(again, &QPushButton::clicked, this, &PlacementCheckWindow::check);
    connect(print, &QPushButton::clicked, this, &PlacementCheckWindow::print);
    connect(list_, &QTreeWidget::currentItemChanged, this, [this] { showDetails(); });
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { goTo(list_->indexOfTopLevelItem(item)); });
    resize(760, 520);
    check();
}

void PlacementCheckWindow::check() {
    dict_.ui().setBusy(true);
    result_ = CheckPlacementData(dict_, kind_, code_);
    dict_.ui().setBusy(false);
    list_->clear();
    details_->clear();
    if (!result_.ok) {
        summary_->setText(QStringLiteral("Файлы данных не удалось прочитать."));
        return;
    }
    const int impossible = result_.impossible();
    summary_->setText(QStringLiteral("Уроков к расстановке: %1. Невозможно: %2, тесно: %3.")
                          .arg(result_.lessons)
                          .arg(impossible)
                          .arg(int(result_.findings.size()) - impossible));
    for (const CheckFinding& f : result_.findings) {
        auto* item = new QTreeWidgetItem(list_, {f.severityText(), f.text});
        if (f.severity == CheckFinding::Severity::Impossible) {
            QFont bold = item->font(0);
            bold.setBold(true);
            item->setFont(0, bold);
        }
    }
    if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
}

void PlacementCheckWindow::showDetails() {
    const int i = list_->indexOfTopLevelItem(list_->currentItem());
    if (i < 0 || i >= int(result_.findings.size())) {
        details_->clear();
        return;
    }
    const CheckFinding& f = result_.findings[size_t(i)];
    details_->setPlainText(
        QStringList(QStringList{f.severityText() + QStringLiteral(": ") + f.text} + f.details)
            .join(QLatin1Char('\n')));
}

void PlacementCheckWindow::goTo(int finding) {
    if (finding < 0 || finding >= int(result_.findings.size())) return;
    const CheckFinding& f = result_.findings[size_t(finding)];
    if (f.lessons.empty()) return;
    Schedule lesson = f.lessons.front();
    if (f.objectType == ObjectType::Teacher) lesson.TeacherCode = static_cast<Short>(f.objectCode);
    if (f.objectType == ObjectType::Group) lesson.GroupCode = static_cast<Short>(f.objectCode);
    if (lesson.LinkCode == 0) lesson.LinkCode = -1;
    dict_.glo.ScheduleRecord = lesson;
    dict_.windows.postToFrame(UserEvent::ShowSelectedInGrid);
}

void PlacementCheckWindow::print() {
    const trusko::ReportDocument doc = placementCheckReport(result_);
    trusko::PreviewReports(dict_, {&doc}, procedureName(), this);
}

} // namespace pivrel
