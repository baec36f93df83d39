#include "tamsel/widgets/ListWindow.h"

#include "tamsel/Dictionary.h"
#include "tamsel/Relations.h"

#include <QTableView>

namespace tamsel {

ListWindow::ListWindow(Dictionary& dict, const QString& procedure, const QString& title,
                       QWidget* parent)
    : QWidget(parent), dict_(dict) {
    setObjectName(procedure);
    setWindowTitle(title);
    setAccessibleName(title);
}

ListWindow::~ListWindow() {
    for (FileId f : opened_)
        Relations(dict_).close(f);
}

RecordList* ListWindow::addList(ListDeclaration decl) {
    if (Relations(dict_).open(decl.file)) opened_.push_back(decl.file);
    auto* list = new RecordList(dict_, std::move(decl), this);
    lists_.push_back(list);
    if (!active_) active_ = list;
    list->view()->installEventFilter(this);
    connect(list, &RecordList::stored, this,
            [this] { dict_.windows.postToFrame(UserEvent::Refresh); });
    return list;
}

void ListWindow::refresh() {
    for (RecordList* l : lists_)
        l->reload();
}

bool ListWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn)
        for (RecordList* l : lists_)
            if (l->view() == watched) active_ = l;
    return QWidget::eventFilter(watched, event);
}

void ListWindow::customEvent(QEvent* event) {
    if (event->type() == NavigationEvent::Type) {
        if (active_) active_->navigate(static_cast<NavigationEvent*>(event)->button);
        return;
    }
    if (event->type() == UserEvent::Refresh || event->type() == UserEvent::RefreshGrid) {
        refresh();
        return;
    }
    QWidget::customEvent(event);
}

} // namespace tamsel
