#pragma once

// The drawn part of a timetable grid, shared by the timetable window and the restrictions
// editor: one table per week block (lesson rows, day columns, the week captions from the second
// block on), coloured and filled from a TimetableGrid. What a click, a menu, a key or a drop
// does is the window's: it passes the hooks it needs.

#include "pivrel/timetable/TimetableGrid.h"

#include <QScrollArea>
#include <functional>

class QComboBox;
class QKeyEvent;
class QLabel;
class QMenu;
class QTableView;

namespace pivrel {

class GridBlockModel;

class GridBlocks : public QScrollArea {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void(const GridCell&, const QPoint& global)> cellMenu;
        std::function<void(int block, int day, const QPoint& global)> dayMenu;
        std::function<void(int block, int bell, const QPoint& global)> rowMenu;
        std::function<void(const GridCell&, const QPoint& global)> doubleClicked;
        /// A left click (true with Shift); a click with Shift goes no further.
        std::function<void(const GridCell&, bool shift)> clicked;
        /// A key on a cell; true when the window took it.
        std::function<bool(const GridCell&, QKeyEvent*)> key;
        /// Drags of a cell's first lesson ("MoveLessons"): false when there is none. Set only
        /// where lessons may be moved.
        std::function<bool(const GridCell&)> dragStarted;
        std::function<void(bool dropped)> dragEnded;
        /// Drops of "MoveLessons" or "SetToSchedule" with the dragged lesson's row id.
        std::function<void(const GridCell&, const QString& dragId, tamsel::RowId lesson)> dropped;
    };

    GridBlocks(TimetableGrid& grid, Hooks hooks, QWidget* parent = nullptr);
    ~GridBlocks() override;

    /// Shows the grid's texts and colours again (after TimetableGrid::refresh).
    void refresh();
    const std::vector<QTableView*>& views() const { return views_; }
    /// Makes the cell the current one of its block.
    void select(const GridCell& cell);
    QStringList weekCaptions() const;
    /// The size the blocks want, for sizing a window around them.
    QSize gridSize() const;

private:
    /// A day column's width: the cell width, or the widest day name when that is wider.
    int columnWidth(const QTableView* view) const;

    TimetableGrid& grid_;
    Hooks hooks_;
    std::vector<QTableView*> views_;
    std::vector<GridBlockModel*> models_;
    std::vector<QLabel*> captions_;
};

/// Adds the three restriction marks ("Без ограничений", "Не желательно", "Уроки запрещены",
/// each with an icon in its colour) to a menu; `chosen` receives the level 0, 1 or 2.
void addRestrictionMarks(QMenu* menu, const tamsel::Globals& glo, bool enabled,
                         const std::function<void(tamsel::Short level)>& chosen);

} // namespace pivrel
