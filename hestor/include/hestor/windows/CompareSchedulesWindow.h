#pragma once

#include "hestor/CompareSchedules.h"

#include <QWidget>
#include <map>

class QComboBox;
class QLabel;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tamsel {
class Dictionary;
}

namespace hestor {

/// "Сравнение расписаний": a timetable of the archive ("Было") against the current one or a
/// second archived one ("Стало"); the changes grouped by group or by teacher, printed, saved as
/// a web page or CSV. A double click shows the lesson in the lesson grid. Choosing another entry
/// compares at once; while the later side is the current timetable, every change of the data
/// compares again. Reads only.
class CompareSchedulesWindow : public QWidget {
    Q_OBJECT
public:
    /// `archived`: the entry to compare with the current timetable (the archive window's
    /// "Сравнить с текущим"); otherwise the latest entry of the archive.
    explicit CompareSchedulesWindow(tamsel::Dictionary& dict, QWidget* parent = nullptr,
                                    const QString& archived = {});
    static QString procedureName() { return QStringLiteral("CompareSchedules"); }

    QComboBox* before() const { return before_; }
    QComboBox* after() const { return after_; }
    QRadioButton* byGroup() const { return byGroup_; }
    QRadioButton* byTeacher() const { return byTeacher_; }
    QTreeWidget* changes() const { return tree_; }
    QLabel* summary() const { return summary_; }
    const ScheduleComparison& result() const { return result_; }

    /// Compares what the two lists choose and shows the changes; `again` reads the archived
    /// timetables afresh (a snapshot may have been replaced under its description).
    void compare(bool again = true);
    /// The lesson of the change under `item` becomes the lesson in hand, and the grid shows it.
    void goTo(QTreeWidgetItem* item);
    void print();
    /// Writes the changes as shown: a web page, or CSV when `path` ends in ".csv". Says what
    /// happened; true when written.
    bool save(const QString& path);

protected:
    void customEvent(QEvent* event) override;

private:
    void fill();
    bool afterIsCurrent() const;

    tamsel::Dictionary& dict_;
    QComboBox *before_, *after_;
    QRadioButton *byGroup_, *byTeacher_;
    QTreeWidget* tree_;
    QLabel* summary_;
    ScheduleComparison result_;
    /// The archived timetables read by the last "Сравнить": a change of the current data
    /// compares again without reading them.
    std::map<QString, TimetableVersion> archived_;
};

} // namespace hestor
