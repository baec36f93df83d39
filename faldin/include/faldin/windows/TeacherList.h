#pragma once

#include "tamsel/widgets/ListWindow.h"

class QLabel;
class QLineEdit;
class QTabBar;

namespace faldin {

/// "Учителя, их специальности и нагрузка": the teachers with their own rooms, the lessons of
/// the selected teacher, and the room list of the selected lesson.
class TeacherList : public tamsel::ListWindow {
    Q_OBJECT
public:
    explicit TeacherList(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("TeacherList"); }

    QTabBar* tabs() const { return tabs_; }
    tamsel::RecordList* specialities() const { return specialities_; }
    tamsel::RecordList* teachers() const { return teachers_; }
    tamsel::RecordList* lessons() const { return lessons_; }
    tamsel::RecordList* rooms() const { return rooms_; }
    /// "Нагрузка учителя:": the number of the teacher's lessons.
    QString loadText() const;
    /// "Составить" of the room list: the selected lesson's list rebuilt by the rule.
    void rebuildLessonRooms();

private:
    void applyTab(int tab);
    void showLessons();
    void showRooms();

    QTabBar* tabs_;
    tamsel::RecordList* specialities_;
    tamsel::RecordList* teachers_;
    tamsel::RecordList* lessons_;
    tamsel::RecordList* rooms_;
    QLineEdit* load_;
    QLineEdit* week_;
};

} // namespace faldin
