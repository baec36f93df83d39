#include "faldin/windows/MasterDetail.h"

#include "tamsel/Dictionary.h"
#include "tamsel/Relations.h"

#include <QHBoxLayout>
#include <QTabBar>
#include <QVBoxLayout>

namespace faldin {

using namespace tamsel;

MasterDetail::MasterDetail(Dictionary& dict, const QString& procedure, const QString& title,
                           QWidget* parent)
    : ListWindow(dict, procedure, title, parent) {}

void MasterDetail::build(ListDeclaration masterDeclaration, ListDeclaration detailDeclaration,
                         const QStringList& tabTitles, int allKey, int byMasterKey, int masterField,
                         int detailField, const QString& dropId, const QString& refusalCaption,
                         const QString& refusalText) {
    allKey_ = allKey;
    byMasterKey_ = byMasterKey;
    masterField_ = masterField;
    detailField_ = detailField;
    const FileId detailFile = detailDeclaration.file;

    // A detail row dropped on a master row is filed under it.
    masterDeclaration.drops.push_back(refileDrop(dict_, dropId, detailFile, detailField,
                                                 masterField, [this] { detail_->reload(); }));
    detailDeclaration.dragIds = {dropId};
    detailDeclaration.prime = [this, refusalCaption, refusalText](Row& fresh) {
        if (tabs_->currentIndex() == 0 || !master_->current()) {
            dict_.ui().tell(refusalCaption, refusalText);
            return false;
        }
        fresh.set(detailField_, master_->current()->values[static_cast<size_t>(masterField_)]);
        return true;
    };
    master_ = addList(std::move(masterDeclaration));
    detail_ = addList(std::move(detailDeclaration));

    tabs_ = new QTabBar(this);
    for (const QString& t : tabTitles)
        tabs_->addTab(t);
    tabs_->setAccessibleName(windowTitle());
    tabs_->setUsesScrollButtons(false); // every tab's title whole; the window widens instead
    connect(tabs_, &QTabBar::currentChanged, this, &MasterDetail::applyTab);
    connect(master_, &RecordList::currentChanged, this, [this] {
        if (tabs_->currentIndex() == 1) applyTab(1);
    });

    auto* lists = new QHBoxLayout;
    lists->addWidget(master_, 1);
    lists->addWidget(detail_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(lists, 1);
    master_->reload();
    applyTab(0);
}

void MasterDetail::applyTab(int tab) {
    master_->setVisible(tab != 0);
    ListView v;
    if (tab == 0) {
        v.key = allKey_;
    } else {
        v.key = byMasterKey_;
        v.leading = 1;
        v.position = [this](Row& from) {
            if (!master_->current()) return false;
            from.set(detailField_, master_->current()->values[static_cast<size_t>(masterField_)]);
            return true;
        };
    }
    const RowId keep = detail_->current() ? detail_->current()->rowId : 0;
    detail_->setView(v);
    if (keep) detail_->goTo(keep);
}

} // namespace faldin
