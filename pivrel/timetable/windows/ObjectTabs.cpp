#include "pivrel/timetable/ObjectTabs.h"

#include "pivrel/timetable/GridBlocks.h"

#include <QComboBox>
#include <QHBoxLayout>

using namespace tamsel;

namespace pivrel {

ObjectTabs::ObjectTabs(Dictionary& dict, std::vector<std::pair<QString, Short>> tabs,
                       QWidget* parent)
    : QTabWidget(parent), dict_(dict) {
    setUsesScrollButtons(false);
    for (const auto& [title, type] : tabs) {
        auto* page = new QWidget;
        auto* row = new QHBoxLayout(page);
        row->setContentsMargins(4, 4, 4, 4);
        auto* list = new QComboBox(page);
        list->setAccessibleName(title);
        list->setMinimumContentsLength(24);
        row->addWidget(list, 1);
        lists_.push_back(list);
        types_.push_back(type);
        addTab(page, title);
        connect(list, &QComboBox::activated, this, [this] { emit objectChosen(); });
    }
    fill();
    connect(this, &QTabWidget::currentChanged, this, [this] { emit objectChosen(); });
}

void ObjectTabs::fill() {
    for (size_t i = 0; i < lists_.size(); ++i)
        fillObjectList(dict_, lists_[i], types_[i]);
}

Short ObjectTabs::currentType() const {
    const int tab = currentIndex();
    return tab < 0 ? Short(0) : types_[static_cast<size_t>(tab)];
}

Long ObjectTabs::currentCode() const {
    const int tab = currentIndex();
    if (tab < 0) return 0;
    const QComboBox* list = lists_[static_cast<size_t>(tab)];
    return list->currentIndex() < 0 ? 0 : list->currentData().toLongLong();
}

QString ObjectTabs::currentText() const {
    const int tab = currentIndex();
    return tab < 0 ? QString() : lists_[static_cast<size_t>(tab)]->currentText();
}

bool ObjectTabs::choose(Short type, Long code) {
    for (size_t tab = 0; tab < types_.size(); ++tab) {
        if (types_[tab] != type) continue;
        QComboBox* list = lists_[tab];
        const int at = list->findData(QVariant::fromValue<qint64>(code));
        if (at < 0) return false;
        {
            const QSignalBlocker block(list);
            list->setCurrentIndex(at);
        }
        {
            const QSignalBlocker block(this);
            setCurrentIndex(static_cast<int>(tab));
        }
        emit objectChosen();
        return true;
    }
    return false;
}

void ObjectTabs::focusList() {
    if (currentIndex() >= 0) lists_[static_cast<size_t>(currentIndex())]->setFocus();
}

} // namespace pivrel
