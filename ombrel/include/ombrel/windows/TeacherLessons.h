#pragma once

#include "tamsel/widgets/ListWindow.h"

class QComboBox;
class QTabBar;

namespace ombrel {

/// "Распределение нагрузки": the schedule entries of a subject or of a plan item, each given
/// its teacher — from the "Учитель:" list with numeric-pad plus (minus takes the teacher off),
/// or in place in the list; one choice applies to every selected entry.
class TeacherLessons : public tamsel::ListWindow {
    Q_OBJECT
public:
    explicit TeacherLessons(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("TeacherLessons"); }

    QTabBar* tabs() const { return tabs_; }
    tamsel::RecordList* subjects() const { return subjects_; }
    tamsel::RecordList* items() const { return items_; }
    tamsel::RecordList* entries() const { return entries_; }
    QComboBox* teacherChooser() const { return teacher_; }

    /// "Назначить учителя" (0 takes the teacher off): the selected entries get the chosen
    /// teacher, and the entry after them becomes the selected one.
    void assign(bool clear = false);
    void refresh() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showEntries();
    void fillTeachers();

    QTabBar* tabs_ = nullptr;
    tamsel::RecordList* subjects_ = nullptr;
    tamsel::RecordList* items_ = nullptr;
    tamsel::RecordList* entries_ = nullptr;
    QComboBox* teacher_ = nullptr;
    /// The tab and master the entries were last shown for.
    std::pair<int, qint64> shownFor_{-1, -1};
};

} // namespace ombrel
