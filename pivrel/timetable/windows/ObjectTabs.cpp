#include "pivrel/timetable/ObjectTabs.h"

#include "tamsel/widgets/LessonColumns.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>

using namespace tamsel;

namespace pivrel {

void fillObjectList(Dictionary& dict, QComboBox* box, Short type) {
    const QVariant kept = box->currentIndex() < 0 ? QVariant() : box->currentData();
    std::vector<std::pair<QStringList, qint64>> rows;
    switch (type) {
    case ObjectType::Teacher: {
        QHash<int, QString> specialities;
        for (const Speciality& s : dict.access<Speciality>().all(Speciality::SpecialityKey))
            specialities.insert(s.SpecialityCode, s.Speciality);
        for (const Teacher& t : dict.access<Teacher>().all(Teacher::TeacherNameKey))
            if (t.TeacherCode != 0)
                rows.push_back(
                    {{t.TeacherName, specialities.value(t.SpecialityCode)}, t.TeacherCode});
        break;
    }
    case ObjectType::Group:
        for (const Group& g : dict.access<Group>().all(Group::GroupIdKey))
            if (g.GroupCode != 0) rows.push_back({{g.GroupId()}, g.GroupCode});
        // 5-А before 10-А.
        std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
            return LessonColumns::naturalLess(a.first.front(), b.first.front());
        });
        break;
    case ObjectType::Room: {
        QHash<Long, QString> types;
        for (const RoomType& t : dict.access<RoomType>().all(RoomType::CodeKey))
            types.insert(t.SysCode, t.RoomType);
        for (const Room& r : dict.access<Room>().all(Room::RoomNoKey))
            if (r.RoomCode != 0)
                rows.push_back({{r.RoomNo, types.value(r.RoomTypePtr)}, r.RoomCode});
        break;
    }
    case ObjectListType::Speciality:
        for (const Speciality& s : dict.access<Speciality>().all(Speciality::SpecialityKey))
            if (s.SpecialityCode != 0) rows.push_back({{s.Speciality}, s.SpecialityCode});
        break;
    case ObjectListType::Course: {
        // A course is its own key: the number stands in as its code.
        std::vector<QString> courses;
        for (const Course& c : dict.access<Course>().all(Course::CourseKey))
            if (!c.Course.trimmed().isEmpty()) courses.push_back(c.Course.trimmed());
        std::stable_sort(courses.begin(), courses.end(), LessonColumns::naturalLess);
        for (const QString& c : courses)
            rows.push_back({{c}, c.toLongLong()});
        break;
    }
    default:
        for (const Science& s : dict.access<Science>().all(Science::ScienceKey))
            if (s.ScienceCode != 0) rows.push_back({{s.Science}, s.ScienceCode});
        break;
    }
    auto* model = new QStandardItemModel(box);
    for (const auto& r : rows) {
        QList<QStandardItem*> items;
        for (const QString& t : r.first)
            items << new QStandardItem(t.trimmed());
        items.first()->setData(r.second, Qt::UserRole);
        model->appendRow(items);
    }
    const QSignalBlocker block(box);
    box->setModel(model);
    if (!rows.empty() && rows.front().first.size() > 1) {
        // A second column (speciality, room type) in the open list.
        auto* popup = new QTableView(box);
        popup->horizontalHeader()->hide();
        popup->verticalHeader()->hide();
        popup->setSelectionBehavior(QAbstractItemView::SelectRows);
        popup->setShowGrid(false);
        popup->setMinimumWidth(360);
        box->setView(popup);
        popup->resizeColumnsToContents();
    }
    const int at = kept.isValid() ? box->findData(kept) : -1;
    box->setCurrentIndex(at >= 0 ? at : (rows.empty() ? -1 : 0));
}

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
