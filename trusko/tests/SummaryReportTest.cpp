#include "TestSchool.h"

#include "trusko/ReportBuilders.h"

#include <gtest/gtest.h>

using namespace trusko;
using namespace trusko::test;

TEST(BriefSchedule, ThirteenTeachersInSetsOfSixSixAndOneBySpecialityThenName) {
    TestSchool s;
    s.days(2);
    s.bells(2);
    const Short phys = s.speciality("Физика");
    const Short math = s.speciality("Математика");
    QList<Short> codes;
    for (int i = 0; i < 6; ++i)
        codes << s.teacher(QStringLiteral("Физик %1").arg(i), phys);
    for (int i = 0; i < 6; ++i)
        codes << s.teacher(QStringLiteral("Матем %1").arg(i), math);
    const Short lonely = s.teacher("Без специальности");
    const Short g = s.group("6", "А");
    const Short sci = s.science("Алгебра");
    const Long r = s.room("12");
    s.lesson(1, 2, "1", sci, lonely, g, 1, r);
    s.lesson(1, 1, "2", sci, codes[6], g, 0, r);

    const ReportDocument doc = BuildBriefSchedule(s.dict(), &s.folder.progress);
    ASSERT_TRUE(doc.printable());
    ASSERT_EQ(doc.sets.size(), 3u);
    // Specialities in name order: Математика before Физика; teachers by name within each.
    EXPECT_EQ(doc.sets[0].headers, QStringList({"Урок", "Матем 0", "Матем 1", "Матем 2", "Матем 3",
                                                "Матем 4", "Матем 5"}));
    EXPECT_EQ(doc.sets[1].headers[1], "Физик 0");
    EXPECT_EQ(doc.sets[1].headers[6], "Физик 5");
    // A teacher without a speciality is not left out.
    EXPECT_EQ(doc.sets[2].headers, QStringList({"Урок", "Без специальности", "", "", "", "", ""}));

    // Rows: a day band, then one row per lesson number (one-week cycle: no week bands).
    const ColumnSet& first = doc.sets[0];
    ASSERT_EQ(first.rows.size(), 6u);
    EXPECT_EQ(first.rows[0].kind, ReportRow::Kind::Band);
    EXPECT_EQ(first.rows[0].band(), "Понедельник");
    EXPECT_EQ(first.rows[3].band(), "Вторник");
    EXPECT_EQ(first.rows[2].cells[1], pad("6-А", 10) + pad("12", 7));
    EXPECT_EQ(first.rows[1].cells[1], "");
    EXPECT_EQ(doc.sets[2].rows[4].cells[1], pad("6-А/1", 10) + pad("12", 7));
    EXPECT_EQ(doc.sets[2].rows[4].cells[2], "");
    EXPECT_EQ(s.folder.progress.lastPercent, 100);

    // Several weeks: each week's pass starts with its band.
    s.glo().WeeksInCycle = 2;
    const ReportDocument two = BuildBriefSchedule(s.dict(), nullptr);
    ASSERT_EQ(two.sets[0].rows.size(), 14u);
    EXPECT_EQ(two.sets[0].rows[0].band(), "1-я неделя");
    EXPECT_EQ(two.sets[0].rows[1].band(), "Понедельник");
    EXPECT_EQ(two.sets[0].rows[7].band(), "2-я неделя");
}

TEST(TrainingCourse, CellsAndTotalsPerGroupOverColumnSetsOfTen) {
    TestSchool s;
    const Short algebra = s.science("Алгебра");
    const Short biology = s.science("Биология");
    const Short physics = s.science("Физика");
    // Twelve groups: 5-А .. 5-Л in stream 1, and 6-А in stream 2.
    const QStringList letters = {"А", "Б", "В", "Г", "Д", "Е", "Ж", "З", "И", "К", "Л"};
    for (const QString& l : letters)
        s.group("5", l, 1);
    s.group("6", "А", 2);
    s.plan(algebra, "5", 1, 3, 1);
    s.plan(biology, "5", 1, 2, 0);
    s.plan(physics, "5", 1, 0, 4);
    s.plan(biology, "6", 2, 0, 0);
    s.plan(physics, "6", 1, 5, 5); // another stream: not the group's plan

    const ReportDocument doc = BuildTrainingCourse(s.dict(), nullptr);
    ASSERT_TRUE(doc.printable());
    EXPECT_EQ(doc.caption, "Учебный план");
    ASSERT_EQ(doc.sets.size(), 2u);
    EXPECT_EQ(doc.sets[0].headers.size(), 11);
    EXPECT_EQ(doc.sets[0].headers[0], "Дисциплина");
    EXPECT_EQ(doc.sets[0].headers[1], "5-А");
    EXPECT_EQ(doc.sets[1].headers,
              QStringList({"Дисциплина", "5-Л", "6-А", "", "", "", "", "", "", "", ""}));
    const ColumnSet& set = doc.sets[0];
    ASSERT_EQ(set.rows.size(), 4u);
    EXPECT_EQ(set.rows[0].cells[0], "Алгебра");
    EXPECT_EQ(set.rows[0].cells[1], "3 + 1(2)");
    EXPECT_EQ(set.rows[1].cells[1], "2");
    EXPECT_EQ(set.rows[2].cells[1], "4(2)");
    EXPECT_EQ(set.rows[3].kind, ReportRow::Kind::Total);
    EXPECT_EQ(set.rows[3].cells[0], "Итого");
    EXPECT_EQ(set.rows[3].cells[1], "10"); // 3 + 1 + 2 + 4

    // 6-А: unplanned subjects and a plan of 0 hours leave cells empty and the total at 0.
    const ColumnSet& second = doc.sets[1];
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(second.rows[row].cells[2], "");
    EXPECT_EQ(second.rows[3].cells[1], "10");
    EXPECT_EQ(second.rows[3].cells[2], "0");
    EXPECT_EQ(second.rows[3].cells[3], "");
}

TEST(TeacherLoad, CountsPerGroupOnThePageAndEveryLessonInTheTotal) {
    TestSchool s;
    const Short lang = s.speciality("Языки");
    const Short busy = s.teacher("Занятая Н.Н.", lang);
    s.teacher("Свободный Ф.Ф.", lang);
    QList<Short> groups;
    for (const char* l : {"А", "Б", "В", "Г", "Д", "Е", "Ж", "З", "И", "К"})
        groups << s.group("4", QString::fromUtf8(l));
    const Short eng = s.science("Английский");
    s.lesson(0, 0, "", eng, busy, groups[0], 1); // unplaced lessons count too
    s.lesson(1, 1, "1", eng, busy, groups[0], 2);
    s.lesson(1, 1, "2", eng, busy, groups[2]);
    s.lesson(1, 2, "1", eng, busy, groups[9]); // 4-К is on the second page
    s.lesson(1, 2, "2", eng, busy, groups[9]);

    const ReportDocument doc = BuildTeacherLoad(s.dict(), nullptr);
    ASSERT_TRUE(doc.printable());
    EXPECT_EQ(doc.caption, "Распределение нагрузки учителей");
    ASSERT_EQ(doc.sets.size(), 2u);
    EXPECT_EQ(doc.sets[0].headers.size(), 12);
    EXPECT_EQ(doc.sets[0].headers[1], "Учитель");
    EXPECT_EQ(doc.sets[0].headers[11], "Всего");
    EXPECT_EQ(doc.sets[1].headers[2], "4-К");

    const ReportRow& page1 = doc.sets[0].rows[0];
    EXPECT_EQ(page1.cells[0], "Языки");
    EXPECT_EQ(page1.cells[1], "Занятая Н.Н.");
    EXPECT_EQ(page1.cells[2], "  2");
    EXPECT_EQ(page1.cells[3], "");
    EXPECT_EQ(page1.cells[4], "  1");
    EXPECT_EQ(page1.cells[11], "  5"); // 4-К's lessons only in the total
    const ReportRow& page2 = doc.sets[1].rows[0];
    EXPECT_EQ(page2.cells[2], "  2");
    EXPECT_EQ(page2.cells[3], "");
    EXPECT_EQ(page2.cells[11], "  5");

    // A teacher without lessons: a row of blank cells and a blank total.
    const ReportRow& blank = doc.sets[0].rows[1];
    EXPECT_EQ(blank.cells[1], "Свободный Ф.Ф.");
    for (int c = 2; c < 12; ++c)
        EXPECT_EQ(blank.cells[c], "") << c;
    EXPECT_TRUE(s.folder.ui.shown.isEmpty());
}

TEST(TeacherLoad, ALessonWithoutAGroupAsksTheStopPrompt) {
    TestSchool s;
    const Short t = s.teacher("Иванов");
    s.group("3", "А");
    const Short sci = s.science("Труд");
    s.lesson(0, 0, "", sci, t, 0);

    ReportDocument doc = BuildTeacherLoad(s.dict(), nullptr);
    ASSERT_EQ(s.folder.ui.shown.size(), 1);
    EXPECT_EQ(s.folder.ui.shown[0].kind, "stop");
    EXPECT_EQ(s.folder.ui.shown[0].text, "Учитель Иванов              без группы ! ?");
    // Continuing: the lesson counts nowhere.
    ASSERT_TRUE(doc.printable());
    EXPECT_EQ(doc.sets[0].rows[0].cells[10], "");

    s.folder.ui.clear();
    s.folder.ui.stopAnswers = {true};
    doc = BuildTeacherLoad(s.dict(), nullptr);
    EXPECT_TRUE(doc.cancelled);
}
