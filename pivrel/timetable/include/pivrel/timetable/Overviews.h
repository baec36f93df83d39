#pragma once

#include "pivrel/timetable/ObjectTabs.h"
#include "pivrel/timetable/OverviewRows.h"

#include <QWidget>
#include <memory>
#include <vector>

class QCheckBox;
class QTableView;

namespace tamsel {
class FileUse;
}

namespace pivrel {

class OverviewModel;

/// What both overviews share: the tabs that choose the object, the rows of related objects
/// with a column per day, the refresh events. Read-only.
class OverviewWindow : public QWidget {
    Q_OBJECT
public:
    OverviewRows& rows() { return rows_; }
    ObjectTabs* tabs() const { return tabs_; }
    QTableView* table() const { return table_; }
    /// Shows an object as if chosen in its tab (4 teacher, 1 group, 5 speciality, 6 course).
    bool showObject(tamsel::Short type, tamsel::Long code);
    void refresh();

    ~OverviewWindow() override;

protected:
    OverviewWindow(tamsel::Dictionary& dict, const QString& mode, bool colour, QWidget* parent);
    void customEvent(QEvent* event) override;
    void objectChosen();

    tamsel::Dictionary& dict_;
    OverviewRows rows_;
    std::vector<std::unique_ptr<tamsel::FileUse>> files_;
    ObjectTabs* tabs_ = nullptr;
    QCheckBox* subgroups_ = nullptr;
    QTableView* table_ = nullptr;
    OverviewModel* model_ = nullptr;
    bool colour_;
    int dayWidth_;
};

/// "Расписание ...": every lesson slot of the rows as a small bar, grey when busy, else in
/// the colour of its restriction; by teacher, group, speciality or course.
class ColorOverview : public OverviewWindow {
    Q_OBJECT
public:
    ColorOverview(tamsel::Dictionary& dict, const QString& mode, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("ColorOverview"); }
    QCheckBox* showSubgroups() const { return subgroups_; }
};

/// "Обзор расписания ...": the same as characters in a fixed-pitch list, one line per row and
/// week; by teacher or group.
class Overview : public OverviewWindow {
    Q_OBJECT
public:
    Overview(tamsel::Dictionary& dict, const QString& mode, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("Overview"); }
};

} // namespace pivrel
