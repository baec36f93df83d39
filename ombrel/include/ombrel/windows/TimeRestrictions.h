#pragma once

#include "pivrel/timetable/GridBlocks.h"
#include "pivrel/timetable/ObjectTabs.h"

#include <QWidget>
#include <memory>
#include <vector>

class QLabel;
class QMenu;
class QSpinBox;

namespace tamsel {
class FileUse;
}

namespace ombrel {

/// "Требования к расписанию ...": the free, undesirable and forbidden cells of one teacher,
/// group, room or subject, one grid per week shown. A right click marks a cell, a day or a
/// lesson row; a double click steps a cell through the three marks.
class TimeRestrictions : public QWidget {
    Q_OBJECT
public:
    explicit TimeRestrictions(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    ~TimeRestrictions() override;
    static QString procedureName() { return QStringLiteral("TimeRestrictions"); }

    pivrel::TimetableGrid& grid() { return grid_; }
    pivrel::ObjectTabs* tabs() const { return tabs_; }
    QSpinBox* weekSpin() const { return weekSpin_; }
    const std::vector<QTableView*>& blockViews() const { return blocks_->views(); }
    QStringList weekCaptions() const { return blocks_->weekCaptions(); }

    /// The marks menu of a cell, a day header or a lesson-row header (the caller shows it).
    QMenu* marksMenu(std::vector<pivrel::GridCell> cells, QWidget* parent);
    /// A double click on a cell.
    void stepCell(const pivrel::GridCell& cell);
    void refresh();

protected:
    void customEvent(QEvent* event) override;

private:
    void changed();

    tamsel::Dictionary& dict_;
    pivrel::TimetableGrid grid_;
    std::vector<std::unique_ptr<tamsel::FileUse>> files_;
    pivrel::ObjectTabs* tabs_ = nullptr;
    QLabel* weekLabel_ = nullptr;
    QSpinBox* weekSpin_ = nullptr;
    pivrel::GridBlocks* blocks_ = nullptr;
};

} // namespace ombrel
