#pragma once

#include "ombrel/windows/UpdateLessonLink.h"
#include "tamsel/Dictionary.h"

#include <QPointer>
#include <QWidget>
#include <memory>
#include <set>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

namespace tamsel {
class FileUse;
}

namespace ombrel {

/// "Группы одновременных уроков": the links as a tree (links, their members, the members'
/// lessons), read as far as it is opened; adding, changing and deleting a link through its
/// form, linking every group's subgroups and clearing every link.
class LessonLinks : public QWidget {
    Q_OBJECT
public:
    explicit LessonLinks(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    ~LessonLinks() override;
    static QString procedureName() { return QStringLiteral("LessonLinks"); }

    QTreeWidget* tree() const { return tree_; }
    /// Builds the tree again, reopening the nodes that were open (all, or none) and selecting
    /// the node that was selected, or the link `select` when given.
    void rebuild(int expand = -1, tamsel::Short select = 0);
    /// The buttons' work.
    void insertLink();
    void changeLink();
    void deleteLink();
    void linkSubgroups();
    void clearAll();
    /// The link of the selected node (0 on the root).
    tamsel::Short selectedLink() const;
    /// The link form now open ("&Добавить"/"&Изменить"), nullptr when none is. It is modeless:
    /// lessons are dragged into it from other windows.
    UpdateLessonLink* openForm() const { return form_; }

protected:
    void customEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillChildren(QTreeWidgetItem* item);
    QTreeWidgetItem* linkItem(const tamsel::LsnLink& link);
    void editLink(tamsel::LsnLink link);
    /// Brings the open form forward; false when none is open.
    bool formShown();

    tamsel::Dictionary& dict_;
    std::vector<std::unique_ptr<tamsel::FileUse>> files_;
    QTreeWidget* tree_;
    /// Open nodes by level and row id, kept across rebuilds.
    std::set<std::pair<int, tamsel::RowId>> expanded_;
    bool rebuilding_ = false;
    QPointer<UpdateLessonLink> form_;
};

} // namespace ombrel
