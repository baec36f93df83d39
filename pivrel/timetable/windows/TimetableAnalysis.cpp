#include "pivrel/timetable/TimetableAnalysis.h"

#include "tamsel/Dictionary.h"
#include "tamsel/Events.h"
#include "trusko/Printing.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

using namespace tamsel;

namespace pivrel {

namespace {

constexpr int SortRole = Qt::UserRole + 1;
constexpr int RowRole = Qt::UserRole + 2; ///< the row's index in its QualityTable

} // namespace

TimetableAnalysis::TimetableAnalysis(Dictionary& dict, QWidget* parent)
    : QWidget(parent), dict_(dict) {
    setWindowTitle(QStringLiteral("Анализ расписания"));
    setObjectName(procedureName());
    summary_ = new QLabel(this);
    summary_->setWordWrap(true);
    summary_->setAccessibleName(QStringLiteral("Итог анализа"));
    auto* again = new QPushButton(QStringLiteral("Обновить"), this);
    auto* print = new QPushButton(QStringLiteral("Печать..."), this);
    print->setAccessibleDescription(QStringLiteral("Просмотр, печать и сохранение в PDF"));
    tabs_ = new QTabWidget(this);
    tabs_->setAccessibleName(QStringLiteral("Разделы анализа"));
    tabs_->setUsesScrollButtons(false); // every tab's title whole; the window widens instead
    for (const QString& title :
         {QStringLiteral("Окна учителей"), QStringLiteral("Окна групп"),
          QStringLiteral("Нагрузка по дням"), QStringLiteral("Повторы предметов")}) {
        auto* model = new QStandardItemModel(this);
        model->setSortRole(SortRole);
        auto* view = new QTableView(tabs_);
        view->setModel(model);
        view->setAccessibleName(title);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->verticalHeader()->hide();
        view->setSortingEnabled(true);
        const int tab = int(views_.size());
        connect(view, &QTableView::doubleClicked, this,
                [this, tab](const QModelIndex& index) { goTo(tab, index); });
        tabs_->addTab(view, title);
        views_.push_back(view);
        models_.push_back(model);
    }
    auto* top = new QHBoxLayout;
    top->addWidget(summary_, 1);
    top->addWidget(again);
    top->addWidget(print);
    auto* main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addWidget(tabs_, 1);
    connect(again, &QPushButton::clicked, this, &TimetableAnalysis::refresh);
    connect(print, &QPushButton::clicked, this, &TimetableAnalysis::print);
    resize(860, 520);
    refresh();
    // The worst first until the user sorts otherwise.
    for (size_t i = 0; i < views_.size(); ++i)
        if (i < tables_.size() && tables_[i].worstColumn >= 0)
            views_[i]->sortByColumn(tables_[i].worstColumn, Qt::DescendingOrder);
}

void TimetableAnalysis::refresh() {
    refreshPending_ = false;
    dict_.ui().setBusy(true);
    const bool ok = trusko::AnalyseTimetable(dict_, &quality_);
    dict_.ui().setBusy(false);
    tables_ = ok ? quality_.tables() : std::vector<trusko::QualityTable>();
    summary_->setText(ok ? quality_.summaryText()
                         : QStringLiteral("Файлы данных не удалось прочитать."));
    for (size_t t = 0; t < models_.size(); ++t) {
        QStandardItemModel* model = models_[t];
        QTableView* view = views_[t];
        const int column = view->horizontalHeader()->sortIndicatorSection();
        const Qt::SortOrder order = view->horizontalHeader()->sortIndicatorOrder();
        model->clear();
        if (t >= tables_.size()) continue;
        const trusko::QualityTable& table = tables_[t];
        model->setHorizontalHeaderLabels(table.headers);
        for (size_t r = 0; r < table.rows.size(); ++r) {
            const trusko::QualityTable::Row& row = table.rows[r];
            QList<QStandardItem*> items;
            for (int c = 0; c < row.cells.size(); ++c) {
                auto* item = new QStandardItem(row.cells[c]);
                item->setData(row.sortKeys.value(c), SortRole);
                if (c > 0) item->setTextAlignment(Qt::AlignCenter);
                if (row.flagged && c == 0) {
                    QFont bold = item->font();
                    bold.setBold(true);
                    item->setFont(bold);
                }
                items << item;
            }
            items.front()->setData(int(r), RowRole);
            model->appendRow(items);
        }
        if (column >= 0 && column < model->columnCount()) view->sortByColumn(column, order);
        view->resizeColumnsToContents();
    }
}

void TimetableAnalysis::goTo(int tab, const QModelIndex& index) {
    if (tab < 0 || tab >= int(tables_.size()) || !index.isValid()) return;
    const int r = models_[size_t(tab)]->index(index.row(), 0).data(RowRole).toInt();
    const trusko::QualityTable& table = tables_[size_t(tab)];
    if (r < 0 || r >= int(table.rows.size())) return;
    Schedule lesson = table.rows[size_t(r)].lesson;
    if (lesson.rowId == 0) return;
    // As a lesson in hand without a link, so the grids do not take it for a link's lesson.
    if (lesson.LinkCode == 0) lesson.LinkCode = -1;
    dict_.glo.ScheduleRecord = lesson;
    dict_.windows.postToFrame(UserEvent::ShowSelectedInGrid);
}

void TimetableAnalysis::print() {
    const std::vector<trusko::ReportDocument> docs = trusko::timetableQualityReport(quality_);
    std::vector<const trusko::ReportDocument*> pages;
    for (const auto& d : docs)
        pages.push_back(&d);
    trusko::PreviewReports(dict_, pages, procedureName(), this);
}

void TimetableAnalysis::customEvent(QEvent* event) {
    const int type = static_cast<int>(event->type());
    // A move in the grid sends several refreshes at once: the timetable is read once for them.
    if ((type == UserEvent::Refresh || type == UserEvent::RefreshGrid) && !refreshPending_) {
        refreshPending_ = true;
        QTimer::singleShot(0, this, [this] {
            if (refreshPending_) refresh();
        });
    }
    QWidget::customEvent(event);
}

} // namespace pivrel
