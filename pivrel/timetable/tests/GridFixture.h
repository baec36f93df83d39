#pragma once

// What the grid's core and window tests share: a small school in two days and three lessons,
// the application object, and cell addressing.

#include "../../../testsupport/TestApplication.h"
#include "../../engine/tests/School.h"
#include "../../engine/tests/TimetableChecker.h"

#include "pivrel/engine/AutoPlacement.h"
#include "pivrel/timetable/PivrelLessons.h"
#include "pivrel/timetable/SelectLessonVariant.h"
#include "pivrel/timetable/TimetableGrid.h"
#include "pivrel/timetable/UnplacedLessons.h"

#include "tamsel/RecordingPorts.h"
#include "tamsel/Relations.h"
#include "tamsel/widgets/ListDeclaration.h"

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QMimeData>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

// Readable failures for Russian texts.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace tamsel;
using namespace pivrel;
using namespace enginetest;

namespace {

using testsupport::app;

/// Two days, three lessons. Group 5-А (code 1) with a subject split into two subgroups;
/// teachers Иванова (1) and Петров (2); rooms 101 (1) and 102 (2).
struct Fixture {
    TestFolder t;
    School s{t, 2, 3};
    RecordingUserInterface& ui = t.ui;

    Fixture(short weeks = 1) {
        t.glo().WeeksInCycle = weeks;
        t.glo().NoRestrictionColor = StandardColor::NoRestriction;
        t.glo().WeakRestrictionColor = StandardColor::WeakRestriction;
        t.glo().HeavyRestrictionColor = StandardColor::HeavyRestriction;
        t.glo().DontUseRestrictionColor = StandardColor::DontUseRestriction;
        t.glo().GoToSelectedObject = 0;
        s.subgroupType(1, 2);
        s.science(1, u("Математика"));
        s.science(2, u("Английский язык"), 0, 1);
        s.twoOfEach("5");
        s.roomList(1, 1, 1, 10);
        s.roomList(1, 1, 2, 20);
        s.roomList(1, 2, 1, 10);
        s.roomList(2, 2, 2, 10);
    }
    // Whatever a test did by hand on the grid, the timetable it leaves breaks no rule.
    bool checkedAtEnd = true;
    ~Fixture() {
        if (!checkedAtEnd) return;
        EXPECT_TRUE(sound(checkTimetable(t.dict())));
    }
    Schedule placed(Short item, Short science, Short teacher, Short group, Short sub, Long room,
                    Short day, const QString& lesson, Short week = 1, Short link = 0) {
        return s.lesson(item, science, teacher, group, sub, link, 0, room, week, day, lesson);
    }
    int placedCount() {
        int n = 0;
        for (const Schedule& x : s.schedule())
            n += x.isUnplaced() ? 0 : 1;
        return n;
    }
    QByteArray scheduleBytes() {
        QFile f(t.file(QStringLiteral("Schedule.db")));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
};

inline GridCell cellAt(int day, int bell, int block = 0) {
    return GridCell{block, day, bell};
}

inline QAction* action(QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions())
        if (a->text() == text) return a;
    return nullptr;
}

} // namespace
