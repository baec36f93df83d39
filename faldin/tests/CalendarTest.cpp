#include "faldin/Calendar.h"

#include "tamsel/TestFolder.h"

#include <QCryptographicHash>
#include <QFile>
#include <gtest/gtest.h>

using namespace tamsel;
using namespace faldin;

namespace {

QString u(const char* s) {
    return QString::fromUtf8(s);
}

std::vector<Days> days(TestFolder& t) {
    FileUse use(t.store(), FileId::Days);
    return t.dict().access<Days>().all(Days::SeqNumberKey);
}

std::vector<LessonBell> bells(TestFolder& t) {
    FileUse use(t.store(), FileId::LessonBell);
    return t.dict().access<LessonBell>().all(LessonBell::NumberKey);
}

QStringList bellTimes(const std::vector<LessonBell>& b) {
    QStringList out;
    for (const LessonBell& x : b) {
        auto hm = [](Long t) {
            const Long m = (t - 1) / 6000;
            return QStringLiteral("%1:%2").arg(m / 60).arg(m % 60, 2, 10, QLatin1Char('0'));
        };
        out << hm(x.Begining) + QLatin1Char('-') + hm(x.Ending);
    }
    return out;
}

QByteArray digest(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

TEST(Calendar, DateIntervalSkipsTheDaysBeyondTheWeekAndAnEmptyIntervalEmptiesTheList) {
    // 2026-11-02 is a Monday; the Sunday 13 days later is 2026-11-15.
    const auto twelve = DateIntervalDays({QDate(2026, 11, 2), QDate(2026, 11, 15), 6});
    ASSERT_EQ(twelve.size(), 12u);
    EXPECT_EQ(twelve.front().DaySeqNumber, 1);
    EXPECT_EQ(twelve.front().DayName, u("02.11.2026 - Пн"));
    EXPECT_EQ(twelve[5].DayName, u("07.11.2026 - Сб"));
    EXPECT_EQ(twelve[6].DayName, u("09.11.2026 - Пн")) << "Sunday skipped";
    EXPECT_EQ(twelve.back().DaySeqNumber, 12);
    EXPECT_EQ(DateIntervalDays({QDate(2026, 11, 2), QDate(2026, 11, 8), 5}).size(), 5u);

    const DateInterval d = DefaultDateInterval(QDate(2026, 12, 8));
    EXPECT_EQ(d.from, QDate(2027, 1, 1));
    EXPECT_EQ(d.to, QDate(2027, 1, 14));
    EXPECT_EQ(d.daysPerWeek, 6);

    TestFolder t;
    ASSERT_TRUE(SetDefaultWeek(t.dict(), 6));
    EXPECT_TRUE(SetDateInterval(t.dict(), {QDate(2026, 11, 15), QDate(2026, 11, 2), 6}));
    EXPECT_TRUE(days(t).empty());
}

TEST(Calendar, StandardWeekReplacesANonEmptyList) {
    TestFolder t;
    ASSERT_TRUE(SetDateInterval(t.dict(), {QDate(2026, 11, 2), QDate(2026, 11, 15), 6}));
    ASSERT_EQ(days(t).size(), 12u);
    ASSERT_TRUE(SetDefaultWeek(t.dict(), 5));
    const auto week = days(t);
    ASSERT_EQ(week.size(), 5u);
    QStringList names;
    for (const Days& d : week)
        names << d.DayName;
    EXPECT_EQ(names, QStringList(
                         {u("Понедельник"), u("Вторник"), u("Среда"), u("Четверг"), u("Пятница")}));
    EXPECT_EQ(t.progress.captions.last(), u("Очистка списка дней"));
}

TEST(Calendar, StandardBellGridAndItsLongBreaks) {
    EXPECT_EQ(bellTimes(LessonGridBells({})),
              QStringList({"8:30-9:15", "9:25-10:10", "10:20-11:05", "11:25-12:10", "12:30-13:15",
                           "13:25-14:10", "14:20-15:05"}));
    EXPECT_EQ(LessonGridBells({}).front().LessonNo, u("  1"));
    LessonGrid equal;
    equal.lessons = 4;
    equal.firstLongBreakAfter = equal.secondLongBreakAfter = 2;
    equal.firstLongBreak = 30;
    equal.secondLongBreak = 15;
    EXPECT_EQ(bellTimes(LessonGridBells(equal)),
              QStringList({"8:30-9:15", "9:25-10:10", "10:40-11:25", "11:35-12:20"}));
    LessonGrid none;
    none.lessons = 3;
    none.firstLongBreakAfter = 0;
    none.secondLongBreakAfter = 3;
    EXPECT_EQ(bellTimes(LessonGridBells(none)),
              QStringList({"8:30-9:15", "9:25-10:10", "10:20-11:05"}));

    TestFolder t;
    ASSERT_TRUE(SetDefaultLessonGrid(t.dict(), none));
    ASSERT_TRUE(SetDefaultLessonGrid(t.dict(), {}));
    EXPECT_EQ(bells(t).size(), 7u);
}

TEST(Calendar, AGeneratorAsksBeforeDeletingPlacedLessonsAndNoChangesNothing) {
    TestFolder t;
    ASSERT_TRUE(SetDefaultWeek(t.dict(), 6));
    ASSERT_TRUE(SetDefaultLessonGrid(t.dict(), {}));
    {
        FileUse use(t.store(), FileId::Schedule);
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(t.put(Schedule{.Week = 1, .DaySeqNumber = 2, .LessonNo = u("  1"),
                                       .ScienceCode = static_cast<Short>(i + 1),
                                       .GroupCode = 1}).rowId);
        }
        ASSERT_TRUE(t.put(Schedule{.LessonNo = {}, .ScienceCode = 9, .GroupCode = 1}).rowId);
    }
    EXPECT_EQ(LessonsOnDays(t.dict()), 3);
    EXPECT_EQ(LessonsOnDay(t.dict(), 2), 3);
    EXPECT_EQ(LessonsOnDay(t.dict(), 1), 0);
    t.store().closeAll();
    const QByteArray schedule = digest(t.file(u("Schedule.db")));
    const QByteArray dayFile = digest(t.file(u("Days.db")));

    t.ui.answers = {No};
    EXPECT_FALSE(SetDefaultWeek(t.dict(), 5));
    ASSERT_EQ(t.ui.shown.size(), 1);
    EXPECT_TRUE(t.ui.last().contains(u("расставленные на них уроки: 3")))
        << t.ui.last().toStdString();
    t.store().closeAll();
    EXPECT_EQ(digest(t.file(u("Schedule.db"))), schedule);
    EXPECT_EQ(digest(t.file(u("Days.db"))), dayFile);

    t.ui.answers = {Yes};
    EXPECT_TRUE(SetDefaultWeek(t.dict(), 5));
    EXPECT_EQ(days(t).size(), 5u);
    FileUse use(t.store(), FileId::Schedule);
    EXPECT_EQ(t.dict().access<Schedule>().count(), 1) << "the placed lessons went with the days";
}
