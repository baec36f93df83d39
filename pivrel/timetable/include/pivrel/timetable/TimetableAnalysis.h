#pragma once

#include "trusko/TimetableQuality.h"

#include <QWidget>
#include <vector>

class QLabel;
class QModelIndex;
class QPushButton;
class QStandardItemModel;
class QTabWidget;
class QTableView;

namespace tamsel {
class Dictionary;
}

namespace pivrel {

/// "Анализ расписания": the summary line and a sortable table per tab ("Окна учителей",
/// "Окна групп", "Нагрузка по дням", "Повторы предметов"). A double click on a row takes the
/// grids to its teacher or group (one of its lessons becomes the lesson in hand). Reads only;
/// "Обновить" and the frame's refresh read the timetable again.
class TimetableAnalysis : public QWidget {
    Q_OBJECT
public:
    explicit TimetableAnalysis(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("TimetableAnalysis"); }

    QLabel* summary() const { return summary_; }
    QTabWidget* tabs() const { return tabs_; }
    /// The table of tab `i`.
    QTableView* view(int i) const { return views_[size_t(i)]; }
    const trusko::TimetableQuality& quality() const { return quality_; }

    /// Reads the timetable again and fills the tables, keeping each table's sort order.
    void refresh();
    /// The grids go to the teacher or group of a row of tab `tab` (a row of its view).
    void goTo(int tab, const QModelIndex& index);
    void print();

protected:
    void customEvent(QEvent* event) override;

private:
    tamsel::Dictionary& dict_;
    trusko::TimetableQuality quality_;
    std::vector<trusko::QualityTable> tables_;
    QLabel* summary_;
    QTabWidget* tabs_;
    std::vector<QTableView*> views_;
    std::vector<QStandardItemModel*> models_;
    bool refreshPending_ = false;
};

} // namespace pivrel
