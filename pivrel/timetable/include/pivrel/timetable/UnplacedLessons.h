#pragma once

#include "tamsel/widgets/ListWindow.h"

#include "pivrel/engine/PlacementSuggestions.h"

class QCheckBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace pivrel {

/// "Нерасставленные уроки": the lessons without a place, by subject, by group and by teacher.
/// A lesson is placed by dragging it onto a grid cell and taken off a grid by dragging it back;
/// the lesson selected here is the one the grids colour their cells for.
class UnplacedLessons : public tamsel::ListWindow {
    Q_OBJECT
public:
    explicit UnplacedLessons(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("UnplacedLessons"); }

    QTabWidget* tabs() const { return tabs_; }
    QCheckBox* showAll() const { return showAll_; }
    tamsel::RecordList* list(int tab) const { return lists().at(static_cast<size_t>(tab)); }
    /// Why the selected lesson is not placed: the engine's reasons over every cell.
    QPlainTextEdit* why() const { return why_; }
    /// What would let the selected lesson in; the chosen one is carried out by "Выполнить".
    QListWidget* suggestions() const { return suggestionList_; }
    QPushButton* carryOut() const { return carryOut_; }

    /// A lesson dragged from a grid cell and dropped here goes back to the unplaced ones.
    void unplace(tamsel::RowId lesson);
    void refresh() override;

private:
    void selected(int tab);
    void carryOutSuggestion();
    tamsel::ListDeclaration declaration(int tab);

    QTabWidget* tabs_ = nullptr;
    QCheckBox* showAll_ = nullptr;
    QPlainTextEdit* why_ = nullptr;
    QListWidget* suggestionList_ = nullptr;
    QPushButton* carryOut_ = nullptr;
    std::vector<PlacementSuggestion> suggested_;
    bool dragging_ = false;
    bool refreshMissed_ = false;
};

} // namespace pivrel
