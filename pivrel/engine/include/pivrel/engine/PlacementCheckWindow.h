#pragma once

#include "pivrel/engine/PlacementCheck.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QTreeWidget;

namespace tamsel {
class Dictionary;
}

namespace pivrel {

/// "Проверка данных для расстановки": the findings of the check (proven impossibilities
/// first), the details of the selected one, "Проверить" again and "Печать...". A double click
/// takes the grids to the finding's teacher, group or room (the lesson in hand becomes one of
/// its lessons and the grids are told to go to it). Reads only.
class PlacementCheckWindow : public QWidget {
    Q_OBJECT
public:
    /// `kind` and `code` (a TaskKind and its object) keep the findings that concern that
    /// teacher, group or subject, as the automatic placement's tabs choose them.
    explicit PlacementCheckWindow(tamsel::Dictionary& dict, QWidget* parent = nullptr,
                                  short kind = 0, short code = 0);
    static QString procedureName() { return QStringLiteral("PlacementCheck"); }

    QTreeWidget* list() const { return list_; }
    QPlainTextEdit* details() const { return details_; }
    QLabel* summary() const { return summary_; }
    const PlacementCheckResult& result() const { return result_; }

    /// Runs the check again and fills the list.
    void check();
    /// The grids go to the finding's object.
    void goTo(int finding);
    void print();

private:
    void showDetails();

    tamsel::Dictionary& dict_;
    short kind_ = 0, code_ = 0;
    PlacementCheckResult result_;
    QLabel* summary_;
    QTreeWidget* list_;
    QPlainTextEdit* details_;
};

} // namespace pivrel
