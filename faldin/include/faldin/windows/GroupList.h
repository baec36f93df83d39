#pragma once

#include "tamsel/widgets/ListWindow.h"

class QTabBar;

namespace faldin {

/// "Список учебных групп": groups by stream and course, and the lessons of the selected
/// group. A new group is added on "Группы потока на курсе" with the chosen stream and course.
class GroupList : public tamsel::ListWindow {
    Q_OBJECT
public:
    explicit GroupList(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("GroupList"); }

    QTabBar* tabs() const { return tabs_; }
    tamsel::RecordList* streams() const { return streams_; }
    tamsel::RecordList* courses() const { return courses_; }
    tamsel::RecordList* groups() const { return groups_; }
    tamsel::RecordList* lessons() const { return lessons_; }

private:
    void applyTab(int tab);
    void showLessons();

    QTabBar* tabs_;
    tamsel::RecordList* streams_;
    tamsel::RecordList* courses_;
    tamsel::RecordList* groups_;
    tamsel::RecordList* lessons_;
};

} // namespace faldin
