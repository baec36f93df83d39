#include "TestSchool.h"

#include "trusko/ReportBuilders.h"

#include <gtest/gtest.h>

using namespace trusko;
using namespace trusko::test;

namespace {

const QString& cell(const ReportDocument& doc, size_t set, size_t row, int column) {
    return doc.sets.at(set).rows.at(row).cells[column];
}

QString groupEntry(const QString& label, const QString& room, const QString& subject,
                   const QString& teacher) {
    return lines({pad(label, 10) + pad(room, 7), pad(subject, 20), pad(teacher, 20)});
}

} // namespace

TEST(ObjectSchedule, BellTimesReadAsOnAClockAfterNoonAndAroundMidnight) {
    EXPECT_EQ(formatLessonTime(tamsel::timeOf(8, 30)), QStringLiteral("08:30"));
    EXPECT_EQ(formatLessonTime(tamsel::timeOf(12, 0)), QStringLiteral("12:00"));
    EXPECT_EQ(formatLessonTime(tamsel::timeOf(13, 45)), QStringLiteral("13:45"));
    EXPECT_EQ(formatLessonTime(tamsel::timeOf(23, 59)), QStringLiteral("23:59"));
    EXPECT_EQ(formatLessonTime(tamsel::timeOf(0, 5)), QStringLiteral("00:05"));
    EXPECT_EQ(formatLessonTime(0), QString()); // no time stored
}

TEST(ObjectSchedule, EightDaysPrintTwoColumnSetsTheSecondWithFourBlankColumns) {
    TestSchool s;
    s.days(8);
    s.bells(2);
    const Short g = s.group("5", "А");
    const Short math = s.science("Математика");
    const Short t = s.teacher("Иванов И.И.");
    const Long r = s.room("101");
    s.lesson(1, 1, "1", math, t, g, 0, r);
    s.lesson(1, 7, "2", math, t, g, 0, r);

    const ReportDocument doc = BuildObjectSchedule(s.dict(), ObjectType::Group, g, nullptr);
    ASSERT_TRUE(doc.printable());
    EXPECT_EQ(doc.caption, "Расписание уроков");
    EXPECT_EQ(doc.title, "5-А");
    ASSERT_EQ(doc.sets.size(), 2u);
    EXPECT_EQ(doc.sets[0].headers, QStringList({"Урок", "Понедельник", "Вторник", "Среда",
                                                "Четверг", "Пятница", "Суббота"}));
    EXPECT_EQ(doc.sets[1].headers, QStringList({"Урок", "День 7", "День 8", "", "", "", ""}));
    // One week: no bands, one row per lesson number with its times.
    ASSERT_EQ(doc.sets[1].rows.size(), 2u);
    EXPECT_EQ(cell(doc, 0, 0, 0), lines({"1", "08:30–09:15"}));
    EXPECT_EQ(cell(doc, 0, 0, 1), groupEntry("5-А", "101", "Математика", "Иванов И.И."));
    EXPECT_EQ(cell(doc, 0, 1, 1), "");
    EXPECT_EQ(cell(doc, 1, 1, 1), groupEntry("5-А", "101", "Математика", "Иванов И.И."));
    EXPECT_EQ(cell(doc, 1, 0, 1), "");
    for (int c = 3; c <= 6; ++c)
        EXPECT_EQ(cell(doc, 1, 1, c), "");
}

TEST(ObjectSchedule, TwoWeekCyclePrintsEachWeekUnderItsBandWithinEveryColumnSet) {
    TestSchool s;
    s.glo().WeeksInCycle = 2;
    s.days(7);
    s.bells(2);
    const Short t = s.teacher("Петрова А.С.");
    const Short g = s.group("7", "Б");
    const Short phys = s.science("Физика");
    const Long r = s.room("204");
    s.lesson(1, 2, "1", phys, t, g, 0, r);
    s.lesson(2, 2, "2", phys, t, g, 0, r);
    s.lesson(2, 7, "1", phys, t, g, 0, r);
    s.lesson(0, 0, "", phys, t, g); // unplaced: in no cell

    s.folder.progress.captions.clear();
    const ReportDocument doc =
        BuildObjectSchedule(s.dict(), ObjectType::Teacher, t, &s.folder.progress);
    ASSERT_TRUE(doc.printable());
    EXPECT_EQ(doc.title, "Петрова А.С.");
    ASSERT_EQ(doc.sets.size(), 2u);
    for (const ColumnSet& set : doc.sets) {
        ASSERT_EQ(set.rows.size(), 6u);
        EXPECT_EQ(set.rows[0].kind, ReportRow::Kind::Band);
        EXPECT_EQ(set.rows[0].band(), "1-я неделя");
        EXPECT_EQ(set.rows[3].kind, ReportRow::Kind::Band);
        EXPECT_EQ(set.rows[3].band(), "2-я неделя");
    }
    // The teacher's entry: subject, then group label and room.
    const QString entry = lines({pad("Физика", 20), pad("7-Б", 10) + pad("204", 7)});
    EXPECT_EQ(cell(doc, 0, 1, 2), entry); // week 1, lesson 1, Tuesday
    EXPECT_EQ(cell(doc, 0, 2, 2), "");
    EXPECT_EQ(cell(doc, 0, 4, 2), "");    // week 2, lesson 1
    EXPECT_EQ(cell(doc, 0, 5, 2), entry); // week 2, lesson 2
    EXPECT_EQ(cell(doc, 1, 1, 1), "");    // day 7, week 1
    EXPECT_EQ(cell(doc, 1, 4, 1), entry); // day 7, week 2

    // Progress: the pass percentage spread over the weeks; each set runs up to 100.
    EXPECT_EQ(s.folder.progress.captions, QStringList({"Печать расписания"}));
    EXPECT_EQ(s.folder.progress.lastPercent, 100);
    EXPECT_EQ(s.folder.progress.updates, 8);
    EXPECT_EQ(s.folder.progress.finished, 1);
}

TEST(ObjectSchedule, GroupCellsShowASharedSubjectOnceAndEverySubgroup) {
    TestSchool s;
    s.days(1);
    s.bells(1);
    const Short g = s.group("10", "А");
    const Short eng = s.science("Английский язык");
    const Short t1 = s.teacher("Смирнова О.В.");
    const Short t2 = s.teacher("Кузнецов П.Р.");
    const Long r1 = s.room("215");
    const Long r2 = s.room("216");
    s.lesson(1, 1, "1", eng, t2, g, 2, r2);
    s.lesson(1, 1, "1", eng, t1, g, 1, r1);

    ReportDocument doc = BuildObjectSchedule(s.dict(), ObjectType::Group, g, nullptr);
    EXPECT_EQ(cell(doc, 0, 0, 1),
              lines({pad("10-А/1", 10) + pad("215", 7), pad("Английский язык", 20),
                     pad("Смирнова О.В.", 20), pad("10-А/2", 10) + pad("216", 7),
                     pad("Кузнецов П.Р.", 20)}));

    // A subject whose name is only a part of another subject keeps its own line.
    TestSchool s2;
    s2.days(1);
    s2.bells(1);
    const Short g2 = s2.group("11", "Б");
    const Short a1 = s2.science("Алгебра и начала");
    const Short a2 = s2.science("Алгебра");
    const Short ta = s2.teacher("Орлова Е.Н.");
    const Short tb = s2.teacher("Белов К.К.");
    s2.lesson(1, 1, "1", a1, ta, g2, 1);
    s2.lesson(1, 1, "1", a2, tb, g2, 2);
    doc = BuildObjectSchedule(s2.dict(), ObjectType::Group, g2, nullptr);
    EXPECT_EQ(cell(doc, 0, 0, 1),
              lines({pad("11-Б/1", 17), pad("Алгебра и начала", 20), pad("Орлова Е.Н.", 20),
                     pad("11-Б/2", 17), pad("Алгебра", 20), pad("Белов К.К.", 20)}));

    // The subgroup mark follows the settings: letters instead of numbers.
    s.glo().SubGroupSep = QStringLiteral(".");
    s.glo().SubGroupId = QStringLiteral("а,б,...");
    doc = BuildObjectSchedule(s.dict(), ObjectType::Group, g, nullptr);
    EXPECT_TRUE(cell(doc, 0, 0, 1).startsWith(pad("10-А.а", 10) + "215"));
}

TEST(ObjectSchedule, RoomReportListsEveryGroupOfALectureAndCutsAt1000Characters) {
    TestSchool s;
    s.days(2);
    s.bells(1);
    const Long hall = s.room("Акт.зал");
    const Short hist = s.science("История");
    const Short t = s.teacher("Соколов В.А.");
    const Short a = s.group("9", "А"), b = s.group("9", "Б"), c = s.group("9", "В");
    for (Short g : {a, b, c})
        s.lesson(1, 1, "1", hist, t, g, 0, hall);

    ReportDocument doc = BuildObjectSchedule(s.dict(), ObjectType::Room, hall, nullptr);
    EXPECT_EQ(doc.title, "Кабинет № Акт.зал");
    const QString each = pad("История", 20) + "\r\n" + pad("Соколов В.А.", 20);
    EXPECT_EQ(cell(doc, 0, 0, 1),
              lines({pad("9-А", 10), each, pad("9-Б", 10), each, pad("9-В", 10), each}));

    // 30 groups in one cell: 30 entries of 54 characters with line breaks, cut at 1000.
    for (int i = 0; i < 30; ++i)
        s.lesson(1, 2, "1", hist, t, s.group("8", QString::number(i)), 0, hall);
    doc = BuildObjectSchedule(s.dict(), ObjectType::Room, hall, nullptr);
    const QString big = cell(doc, 0, 0, 2);
    EXPECT_EQ(big.size(), 1000);
    EXPECT_TRUE(big.startsWith(pad("8-0", 10) + "\r\n" + each));
}

TEST(ObjectSchedule, CancelStopsTheReportAndBatchReportsFollowNameOrder) {
    TestSchool s;
    s.days(5);
    s.bells(6);
    const Short zz = s.teacher("Яковлева Т.Т.");
    const Short aa = s.teacher("Абрамов С.С.");
    s.folder.progress.cancelAfter = 2;
    const ReportDocument cancelled =
        BuildObjectSchedule(s.dict(), ObjectType::Teacher, zz, &s.folder.progress);
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_FALSE(cancelled.printable());

    s.folder.progress = RecordingProgress();
    const std::vector<ReportDocument> all =
        BuildAllObjectSchedules(s.dict(), ObjectType::Teacher, &s.folder.progress);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].title, "Абрамов С.С.");
    EXPECT_EQ(all[1].title, "Яковлева Т.Т.");
    EXPECT_EQ(s.folder.progress.captions, QStringList({"Печать расписаний учителей"}));
    EXPECT_EQ(s.folder.progress.lastPercent, 100);
    (void)aa;
}
