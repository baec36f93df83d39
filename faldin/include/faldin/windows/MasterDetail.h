#pragma once

#include "tamsel/widgets/ListWindow.h"

class QTabBar;

namespace faldin {

/// The shape the room, subject and group windows share: master lists, a detail list, and
/// tabs that show either every detail record or those of the selected master entry. A new
/// detail record takes the master's value and can only be added on a master tab; a detail
/// row dragged onto a master row is filed under it.
class MasterDetail : public tamsel::ListWindow {
    Q_OBJECT
public:
    MasterDetail(tamsel::Dictionary& dict, const QString& procedure, const QString& title,
                 QWidget* parent = nullptr);

    QTabBar* tabs() const { return tabs_; }
    tamsel::RecordList* master() const { return master_; }
    tamsel::RecordList* detail() const { return detail_; }

protected:
    /// Declares the lists. `byMaster`: the detail key whose first component is the master's
    /// value; `all`: the key of the "all" tab; `masterField`/`detailField`: the linked fields;
    /// `refusal`: the caption and text when a record is added on the "all" tab.
    void build(tamsel::ListDeclaration master, tamsel::ListDeclaration detail,
               const QStringList& tabTitles, int allKey, int byMasterKey, int masterField,
               int detailField, const QString& dropId, const QString& refusalCaption,
               const QString& refusalText);
    /// Shows the detail records of the tab (0 = all, 1 = of the master's current record).
    void applyTab(int tab);

private:
    QTabBar* tabs_ = nullptr;
    tamsel::RecordList* master_ = nullptr;
    tamsel::RecordList* detail_ = nullptr;
    int allKey_ = 0, byMasterKey_ = 0, masterField_ = 0, detailField_ = 0;
};

} // namespace faldin
