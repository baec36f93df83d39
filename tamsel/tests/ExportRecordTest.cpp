#include "tamsel/ExportRecord.h"

#include <gtest/gtest.h>

using namespace tamsel;

namespace {
QString u(const char* s) { return QString::fromUtf8(s); }
}

TEST(ExportRecord, FixedColumnsOfAPlacedLesson) {
    ExportSchedule e;
    e.Week = 2;
    e.DaySeqNumber = 3;
    e.DayName = u("Среда");
    e.LessonNo = QStringLiteral("4");
    e.Begining = timeOf(11, 35);
    e.Ending = timeOf(12, 20);
    e.Science = u("Математика");
    e.TeacherName = u("Степанова Г.Я.");
    e.GroupId = u("10-А");
    e.SubGroupNum = 2;
    e.RoomNo = QStringLiteral("205");
    const QString l = e.line();
    ASSERT_EQ(l.size(), 100);
    EXPECT_EQ(l.mid(0, 3), QStringLiteral("  2"));
    EXPECT_EQ(l.mid(3, 3), QStringLiteral("  3"));
    EXPECT_EQ(l.mid(6, 1), QStringLiteral(" "));
    EXPECT_EQ(l.mid(7, 16), u("Среда").leftJustified(16));
    EXPECT_EQ(l.mid(23, 4), QStringLiteral("4   "));
    EXPECT_EQ(l.mid(27, 5), QStringLiteral("11:35"));
    EXPECT_EQ(l.mid(33, 5), QStringLiteral("12:20"));
    EXPECT_EQ(l.mid(39, 21), u("Математика").leftJustified(21));
    EXPECT_EQ(l.mid(60, 21), u("Степанова Г.Я.").leftJustified(21));
    EXPECT_EQ(l.mid(81, 7), u("10-А   "));
    EXPECT_EQ(l.mid(88, 3), QStringLiteral("  2"));
    EXPECT_EQ(l.mid(92, 8), QStringLiteral("205     "));
}

TEST(ExportRecord, UnplacedLessonWithoutTeacherOrRoomHasBlankColumns) {
    ExportSchedule e;
    e.Science = u("История");
    e.GroupId = u("5-Б");
    const QString l = e.line();
    ASSERT_EQ(l.size(), 100);
    EXPECT_EQ(l.left(6), QStringLiteral("  0  0"));
    EXPECT_EQ(l.mid(7, 32).trimmed(), QString()) << "day name, lesson number and times";
    EXPECT_EQ(l.mid(60, 21).trimmed(), QString());
    EXPECT_EQ(l.mid(92, 8).trimmed(), QString());
    EXPECT_EQ(formatTime(timeOf(8, 0)), QStringLiteral("08:00"));
}
