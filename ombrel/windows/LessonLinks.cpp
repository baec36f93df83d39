#include "ombrel/windows/LessonLinks.h"

#include "ombrel/Links.h"
#include "ombrel/windows/UpdateLessonLink.h"

#include "tamsel/Events.h"
#include "tamsel/Relations.h"
#include "tamsel/widgets/Appearance.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace tamsel;

namespace ombrel {

namespace {

// What each node stands for: its level and the row id of its record.
constexpr int LevelRole = Qt::UserRole;
constexpr int RowRole = Qt::UserRole + 1;
constexpr int LoadedRole = Qt::UserRole + 2;
constexpr int CodeRole = Qt::UserRole + 3;

QIcon styleIcon(QStyle::StandardPixmap p) {
    return QApplication::style()->standardIcon(p);
}

} // namespace

LessonLinks::LessonLinks(Dictionary& dict, QWidget* parent) : QWidget(parent), dict_(dict) {
    setObjectName(procedureName());
    setWindowTitle(QStringLiteral("Группы одновременных уроков"));
    for (FileId id : {FileId::LsnLink, FileId::LsnLinkComp, FileId::Schedule,
                      FileId::TrainingCourse, FileId::Science, FileId::SubGroupType, FileId::Group,
                      FileId::Teacher, FileId::Room, FileId::Days})
        files_.push_back(std::make_unique<FileUse>(dict_.store(), id));

    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    tree_->setAccessibleName(QStringLiteral("Одновременные уроки"));
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    tree_->installEventFilter(this);
    connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        fillChildren(item);
        if (item->data(0, LevelRole).toInt() == 2)
            item->setIcon(0, styleIcon(QStyle::SP_DirOpenIcon));
        if (!rebuilding_)
            expanded_.insert(
                {item->data(0, LevelRole).toInt(), item->data(0, RowRole).toLongLong()});
    });
    connect(tree_, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        if (item->data(0, LevelRole).toInt() == 2)
            item->setIcon(0, styleIcon(QStyle::SP_DirClosedIcon));
        if (!rebuilding_)
            expanded_.erase(
                {item->data(0, LevelRole).toInt(), item->data(0, RowRole).toLongLong()});
    });
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (item->data(0, LevelRole).toInt() == 1) changeLink();
    });

    auto button = [this](const QString& text, void (LessonLinks::*slot)()) {
        auto* b = new QPushButton(text, this);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    auto* add = button(QStringLiteral("&Добавить"), &LessonLinks::insertLink);
    auto* change = button(QStringLiteral("&Изменить"), &LessonLinks::changeLink);
    auto* remove = button(QStringLiteral("&Удалить"), &LessonLinks::deleteLink);
    auto* link = button(QStringLiteral("Связать подгруппы"), &LessonLinks::linkSubgroups);
    auto* clear = button(QStringLiteral("Очистить все"), &LessonLinks::clearAll);
    clear->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D));
    auto* expandAll = new QPushButton(QStringLiteral("&Развернуть все"), this);
    connect(expandAll, &QPushButton::clicked, this, [this] { rebuild(1); });
    auto* collapseAll = new QPushButton(QStringLiteral("&Свернуть все"), this);
    connect(collapseAll, &QPushButton::clicked, this, [this] { rebuild(0); });

    connect(tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        if (QTreeWidgetItem* item = tree_->itemAt(p)) tree_->setCurrentItem(item);
        auto* menu = new QMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addAction(QStringLiteral("&Добавить"), this, &LessonLinks::insertLink);
        menu->addAction(QStringLiteral("&Изменить"), this, &LessonLinks::changeLink);
        menu->addAction(QStringLiteral("&Удалить"), this, &LessonLinks::deleteLink);
        menu->addSeparator();
        menu->addAction(QStringLiteral("&Развернуть все"), this, [this] { rebuild(1); });
        menu->addAction(QStringLiteral("&Свернуть все"), this, [this] { rebuild(0); });
        menu->popup(tree_->viewport()->mapToGlobal(p));
    });

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {add, change, remove, link, clear})
        buttons->addWidget(b);
    buttons->addStretch(1);
    auto* treeButtons = new QHBoxLayout;
    treeButtons->addWidget(expandAll);
    treeButtons->addWidget(collapseAll);
    treeButtons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tree_, 1);
    layout->addLayout(treeButtons);
    layout->addLayout(buttons);
    resize(560, 460);
    rebuild(0);
}

LessonLinks::~LessonLinks() {
    // A form left open is cancelled: a new link's dragged lessons are given back.
    if (form_) {
        form_->disconnect(this);
        form_->reject();
        delete form_;
    }
}

QTreeWidgetItem* LessonLinks::linkItem(const LsnLink& l) {
    auto* item = new QTreeWidgetItem({l.LinkName.trimmed()});
    item->setData(0, LevelRole, 1);
    item->setData(0, RowRole, qint64(l.rowId));
    item->setData(0, CodeRole, int(l.LinkCode));
    item->setForeground(0, colorOf(0x800000));
    item->setBackground(0, colorOf(0xFFFFA0));
    // A lecture is one teacher's, a link of subgroups several teachers'.
    item->setIcon(0, styleIcon(l.IsLecture ? QStyle::SP_DialogHelpButton : QStyle::SP_DirHomeIcon));
    item->setToolTip(0, l.IsLecture ? QStringLiteral("Лекция")
                                    : QStringLiteral("Одновременные уроки"));
    LsnLinkComp from;
    from.LinkCode = l.LinkCode;
    bool any = false;
    dict_.access<LsnLinkComp>().forEach(LsnLinkComp::LinkCodeKey, from, 1, [&](const LsnLinkComp&) {
        any = true;
        return false;
    });
    item->setChildIndicatorPolicy(any ? QTreeWidgetItem::ShowIndicator
                                      : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    return item;
}

void LessonLinks::fillChildren(QTreeWidgetItem* item) {
    if (item->data(0, LoadedRole).toBool()) return;
    item->setData(0, LoadedRole, true);
    const int level = item->data(0, LevelRole).toInt();
    if (level == 1) {
        LsnLinkComp from;
        from.LinkCode = static_cast<Short>(item->data(0, CodeRole).toInt());
        for (const LsnLinkComp& c :
             dict_.access<LsnLinkComp>().read(LsnLinkComp::LinkCodeKey, from, 1)) {
            auto* child = new QTreeWidgetItem({memberText(dict_, c)});
            child->setData(0, LevelRole, 2);
            child->setData(0, RowRole, qint64(c.rowId));
            child->setBackground(0, colorOf(0xE0E0E0));
            child->setIcon(0, styleIcon(QStyle::SP_DirClosedIcon));
            Schedule pos;
            pos.TrainingCourseItemCode = c.TrainingCourseItemCode;
            pos.GroupCode = c.GroupCode;
            pos.SubGroupNum = c.SubGroupNum;
            const bool any = !dict_.access<Schedule>().read(Schedule::ItemCode, pos, 3).empty();
            child->setChildIndicatorPolicy(any ? QTreeWidgetItem::ShowIndicator
                                               : QTreeWidgetItem::DontShowIndicatorWhenChildless);
            item->addChild(child);
        }
    } else if (level == 2) {
        const LsnLinkComp c =
            dict_.access<LsnLinkComp>().byRowId(item->data(0, RowRole).toLongLong());
        Schedule pos;
        pos.TrainingCourseItemCode = c.TrainingCourseItemCode;
        pos.GroupCode = c.GroupCode;
        pos.SubGroupNum = c.SubGroupNum;
        for (const Schedule& s : dict_.access<Schedule>().read(Schedule::ItemCode, pos, 3)) {
            auto* child = new QTreeWidgetItem({entryText(dict_, s)});
            child->setData(0, LevelRole, 3);
            child->setData(0, RowRole, qint64(s.rowId));
            child->setIcon(0, styleIcon(QStyle::SP_FileIcon));
            item->addChild(child);
        }
    }
}

void LessonLinks::rebuild(int expand, Short select) {
    QTreeWidgetItem* current = tree_->currentItem();
    const std::pair<int, qint64> selected =
        current ? std::pair<int, qint64>{current->data(0, LevelRole).toInt(),
                                         current->data(0, RowRole).toLongLong()}
                : std::pair<int, qint64>{0, 0};
    if (expand == 0) expanded_.clear();
    rebuilding_ = true;
    tree_->clear();
    auto* root = new QTreeWidgetItem(tree_, {QStringLiteral("Одновременные уроки")});
    root->setData(0, LevelRole, 0);
    root->setIcon(0, styleIcon(QStyle::SP_DirLinkIcon));
    root->setData(0, LoadedRole, true);
    QTreeWidgetItem* toSelect = root;
    for (const LsnLink& l : dict_.access<LsnLink>().all(LsnLink::NameKey)) {
        if (l.LinkCode == 0) continue;
        root->addChild(linkItem(l));
    }
    root->setExpanded(true);
    // Reopen what was open (everything when asked) and find the node to select.
    std::vector<QTreeWidgetItem*> stack{root};
    while (!stack.empty()) {
        QTreeWidgetItem* item = stack.back();
        stack.pop_back();
        const int level = item->data(0, LevelRole).toInt();
        const qint64 row = item->data(0, RowRole).toLongLong();
        if (select != 0 ? (level == 1 && item->data(0, CodeRole).toInt() == select)
                        : (level == selected.first && row == selected.second && level != 0))
            toSelect = item;
        if (level >= 1 && level <= 2 && (expand == 1 || expanded_.count({level, row}))) {
            item->setExpanded(true);
            if (expand == 1) expanded_.insert({level, row});
        }
        for (int i = 0; i < item->childCount(); ++i)
            stack.push_back(item->child(i));
    }
    rebuilding_ = false;
    tree_->setCurrentItem(toSelect);
}

Short LessonLinks::selectedLink() const {
    QTreeWidgetItem* item = tree_->currentItem();
    while (item && item->data(0, LevelRole).toInt() > 1)
        item = item->parent();
    return item && item->data(0, LevelRole).toInt() == 1
               ? static_cast<Short>(item->data(0, CodeRole).toInt())
               : Short(0);
}

bool LessonLinks::formShown() {
    if (!form_) return false;
    form_->show();
    form_->raise();
    form_->activateWindow();
    return true;
}

void LessonLinks::editLink(LsnLink link) {
    // Modeless: lessons are dragged into the form from the group, teacher and load windows,
    // which a modal form would block. One form at a time, so no two edit the same link.
    if (formShown()) return;
    form_ = new UpdateLessonLink(dict_, std::move(link), this);
    form_->setAttribute(Qt::WA_DeleteOnClose);
    connect(form_, &QDialog::finished, this, [this](int result) {
        const Short code = form_ && result == QDialog::Accepted ? form_->link().LinkCode : 0;
        rebuild(-1, code);
    });
    form_->show();
}

void LessonLinks::insertLink() {
    // Links are added on the root only.
    QTreeWidgetItem* item = tree_->currentItem();
    if (item && item->data(0, LevelRole).toInt() != 0) return;
    editLink(LsnLink{});
}

void LessonLinks::changeLink() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (!item || item->data(0, LevelRole).toInt() != 1) return;
    editLink(dict_.access<LsnLink>().byRowId(item->data(0, RowRole).toLongLong()));
}

void LessonLinks::deleteLink() {
    if (formShown()) return; // the form may hold the link
    QTreeWidgetItem* item = tree_->currentItem();
    if (!item || item->data(0, LevelRole).toInt() != 1) return;
    const LsnLink l = dict_.access<LsnLink>().byRowId(item->data(0, RowRole).toLongLong());
    Relations rel(dict_);
    // Asks first; the relations take the members with it and give its lessons back.
    if (rel.remove(l, true).ok()) {
        dict_.windows.postToFrame(UserEvent::Refresh);
        rebuild();
    }
}

void LessonLinks::linkSubgroups() {
    if (formShown()) return;
    LinkAllGroupSubgroups(dict_);
    dict_.windows.postToFrame(UserEvent::Refresh);
    rebuild(0);
}

void LessonLinks::clearAll() {
    if (formShown()) return;
    if (dict_.ui().ask(QStringLiteral("Очистить все"),
                       QStringLiteral("Удалить все группы одновременных уроков? Уроки останутся, "
                                      "но перестанут быть связанными."),
                       Yes | No, No) != Yes)
        return;
    if (ClearAllLinks(dict_)) ClearallLinksInSchedule(dict_);
    rebuild(0);
    dict_.windows.postToFrame(UserEvent::Refresh);
}

bool LessonLinks::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tree_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        QTreeWidgetItem* item = tree_->currentItem();
        if (item && (key->modifiers() & Qt::ControlModifier)) {
            if (key->key() == Qt::Key_Right) {
                item->setExpanded(true);
                return true;
            }
            if (key->key() == Qt::Key_Left) {
                item->setExpanded(false);
                return true;
            }
        }
        if (key->key() == Qt::Key_Insert) {
            insertLink();
            return true;
        }
        if (key->key() == Qt::Key_Delete) {
            deleteLink();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LessonLinks::customEvent(QEvent* event) {
    if (event->type() == NavigationEvent::Type) {
        switch (static_cast<NavigationEvent*>(event)->button) {
        case NavigationButton::Insert:
            insertLink();
            break;
        case NavigationButton::Change:
            changeLink();
            break;
        case NavigationButton::Delete:
            deleteLink();
            break;
        default:
            break;
        }
        return;
    }
    const int type = static_cast<int>(event->type());
    if (type == UserEvent::Refresh || type == UserEvent::RefreshGrid) rebuild();
    QWidget::customEvent(event);
}

} // namespace ombrel
