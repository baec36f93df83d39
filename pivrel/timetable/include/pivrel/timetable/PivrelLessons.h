#pragma once

#include "pivrel/timetable/GridBlocks.h"
#include "pivrel/timetable/ObjectTabs.h"

#include <QWidget>
#include <memory>
#include <vector>

class QComboBox;
class QKeyEvent;
class QLabel;
class QMenu;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableView;

namespace tamsel {
class FileUse;
}

namespace pivrel {

/// The timetable grid window: the timetable of one teacher, group or room, one block of cells
/// per week shown. Draws what TimetableGrid computes and forwards the user's actions to it.
class PivrelLessons : public QWidget {
    Q_OBJECT
public:
    /// `mode` non-blank ("Small") selects the compact cells.
    PivrelLessons(tamsel::Dictionary& dict, const QString& mode, QWidget* parent = nullptr);
    ~PivrelLessons() override;

    static QString procedureName() { return QStringLiteral("PivrelLessons"); }

    TimetableGrid& grid() { return grid_; }
    /// Shows an object as if it had been chosen in its tab's drop list (type 4, 1 or 2).
    bool showObject(tamsel::Short type, tamsel::Long code);
    /// Re-reads every cell's texts and colours.
    void refresh();
    /// The week blocks' tables (one unless every week is shown), for tests and tools.
    std::vector<QTableView*> blockViews() const;
    QSpinBox* weekSpin() const { return weekSpin_; }
    ObjectTabs* tabs() const { return tabs_; }
    /// The week captions shown ("2-я неделя" …).
    QStringList weekCaptions() const;

    /// The popups, built for a cell, a day header or a lesson-row header; the caller shows
    /// them (tests trigger their actions directly).
    QMenu* cellMenu(const GridCell& cell, QWidget* parent);
    QMenu* dayMenu(int block, int day, QWidget* parent);
    QMenu* rowMenu(int block, int bell, QWidget* parent);
    /// The information popup of a double click.
    QMenu* infoMenu(const GridCell& cell, QWidget* parent);

    /// A left click on a cell: with Shift "Куда можно подвинуть?", without it the end of the
    /// move-target colouring.
    void cellClicked(const GridCell& cell, bool shift);
    /// "Снять уроки"
    void removeLessons(const GridCell& cell);
    /// The keyboard's drag and drop: the cell's first lesson taken in hand (the grids colour
    /// where it fits), put down in another cell, or put back.
    bool pickUp(const GridCell& cell);
    void putDown(const GridCell& cell);
    void putBack();
    /// "Что сюда можно поставить?"
    void chooseForCell(const GridCell& cell);
    /// Drops, as the cells receive them (the work runs once the drag has ended).
    void dropped(const GridCell& cell, const QString& dragId, tamsel::RowId lesson);
    /// "Печать": the shown object's timetable.
    void print();

protected:
    void customEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    /// "Закрепить всё расписание …" and "Открепить всё расписание …" of the shown object.
    void addPinAll(QMenu* menu);
    void popup(QMenu* menu, const QPoint& at);
    /// The size the grid's cells ask for (its own cell size, compact or full), as far as the
    /// screen allows.
    QSize natural_;
    bool sized_ = false;
    /// The edit history's undo or redo last shown (its lesson selected once).
    quint64 undoSeen_ = 0;
    QMenu* headerMenu(std::vector<GridCell> cells, QWidget* parent);
    bool cellKey(const GridCell& cell, QKeyEvent* e);
    void objectChosen();
    void afterAction();

    tamsel::Dictionary& dict_;
    TimetableGrid grid_;
    std::vector<std::unique_ptr<tamsel::FileUse>> files_;
    ObjectTabs* tabs_ = nullptr;
    QLabel* weekLabel_ = nullptr;
    QSpinBox* weekSpin_ = nullptr;
    QPushButton* printButton_ = nullptr;
    GridBlocks* blocks_ = nullptr;
};

} // namespace pivrel
