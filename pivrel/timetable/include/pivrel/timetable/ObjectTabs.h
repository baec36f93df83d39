#pragma once

// The tabs with which a grid window chooses its object: one tab per object type, each with a
// drop list of that type's objects. Changing the tab makes the object chosen in the new tab's
// list the shown one.

#include "tamsel/Dictionary.h"

#include <QTabWidget>
#include <utility>
#include <vector>

class QComboBox;

namespace pivrel {

/// Lists of things that are no timetable object but are chosen like one.
namespace ObjectListType {
constexpr tamsel::Short Speciality = 5;
constexpr tamsel::Short Course = 6;
} // namespace ObjectListType

/// Fills a drop list with the objects of a type (4 teachers with their speciality, 1 groups, 2
/// rooms with their type, 3 subjects, 5 specialities, 6 courses by number), each carrying its
/// code as user data, keeping the object it showed when it is still there.
void fillObjectList(tamsel::Dictionary& dict, QComboBox* list, tamsel::Short type);

class ObjectTabs : public QTabWidget {
    Q_OBJECT
public:
    /// Tabs by title and object type (4 teacher, 1 group, 2 room, 3 subject).
    ObjectTabs(tamsel::Dictionary& dict, std::vector<std::pair<QString, tamsel::Short>> tabs,
               QWidget* parent = nullptr);

    /// Reads the lists again, keeping each list's object where it is still there.
    void fill();
    tamsel::Short currentType() const;
    /// 0 when the current list is empty.
    tamsel::Long currentCode() const;
    /// The text shown for the current object (a course's number).
    QString currentText() const;
    /// Chooses an object as if the user had: its tab and its entry. False when it is not listed.
    bool choose(tamsel::Short type, tamsel::Long code);
    QComboBox* list(int tab) const { return lists_[static_cast<size_t>(tab)]; }
    /// Puts the focus on the current tab's list (after every action in the grid).
    void focusList();

signals:
    /// The shown object changed: another tab, or another entry chosen.
    void objectChosen();

private:
    tamsel::Dictionary& dict_;
    std::vector<tamsel::Short> types_;
    std::vector<QComboBox*> lists_;
};

} // namespace pivrel
