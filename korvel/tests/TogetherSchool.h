#pragma once

// The small school of the windows-together tests and the frame's menu items by name.

#include "Scenario.h"

#include "tamsel/Dictionary.h"
#include "tamsel/TestFolder.h"

#include <QAction>
#include <memory>
#include <vector>

namespace korvel::scenario {

using namespace tamsel;

/// Two days of two lessons. Иванова teaches mathematics to 5-А (placed on Monday, lesson 1) and
/// to 5-Б (placed on Monday, lesson 2); Петров teaches 5-А physics, not yet placed.
struct School {
    explicit School(TestFolder& t) : t(t) {
        for (FileId id : {FileId::Days, FileId::LessonBell, FileId::Teacher, FileId::Group,
                          FileId::Room, FileId::Science, FileId::RoomList, FileId::Schedule})
            files.push_back(std::make_unique<FileUse>(t.store(), id));
        t.put(Days{.DaySeqNumber = 1, .DayName = s("Понедельник")});
        t.put(Days{.DaySeqNumber = 2, .DayName = s("Вторник")});
        t.put(LessonBell{.LessonNo = QStringLiteral("1")});
        t.put(LessonBell{.LessonNo = QStringLiteral("2")});
        // TableNo is a unique key: 0 twice is refused.
        EXPECT_TRUE(
            t.put(Teacher{.TeacherCode = 1, .TableNo = 1, .TeacherName = s("Иванова")}).rowId);
        EXPECT_TRUE(
            t.put(Teacher{.TeacherCode = 2, .TableNo = 2, .TeacherName = s("Петров")}).rowId);
        t.put(Group{.GroupCode = 1, .Course = s("5"), .Defis = s("-"), .Literal = s("А")});
        t.put(Group{.GroupCode = 2, .Course = s("5"), .Defis = s("-"), .Literal = s("Б")});
        t.put(Room{.RoomCode = 1, .RoomNo = s("101")});
        t.put(Room{.RoomCode = 2, .RoomNo = s("102")});
        t.put(Science{.ScienceCode = 1, .Science = s("Математика")});
        t.put(Science{.ScienceCode = 2, .Science = s("Физика")});
        t.put(RoomList{.TeacherCode = 1, .ScienceCode = 1, .RoomCode = 1});
        t.put(RoomList{.TeacherCode = 2, .ScienceCode = 2, .RoomCode = 2});
        mathA = lesson(1, 1, 1, 1, "1", 1);
        mathB = lesson(1, 1, 2, 1, "2", 1);
        physicsA = lesson(2, 2, 1, 0, "", 0);
    }

    RowId lesson(Short science, Short teacher, Short group, Short day, const char* no, Long room) {
        const Schedule l{.Week = Short(day ? 1 : 0),
                         .DaySeqNumber = day,
                         .LessonNo = QString::fromLatin1(no),
                         .ScienceCode = science,
                         .TeacherCode = teacher,
                         .GroupCode = group,
                         .RoomCode = room};
        return t.put(l).rowId;
    }
    Schedule stored(RowId id) { return t.dict().access<Schedule>().byRowId(id); }

    TestFolder& t;
    std::vector<std::unique_ptr<FileUse>> files;
    RowId mathA = 0, mathB = 0, physicsA = 0;
};

/// The frame's own menu item of that object name.
inline QAction* item(MainFrame& f, const char* name) {
    for (QAction* a : f.findChildren<QAction*>())
        if (a->objectName() == QLatin1String(name)) return a;
    return nullptr;
}

} // namespace korvel::scenario
