#include "TestSchool.h"

#include "trusko/TimetableQuality.h"

#include <gtest/gtest.h>

using namespace trusko;
using namespace trusko::test;

// A two-week school whose every window, repeat, double lesson and uneven week is known: the
// analysis must find exactly these, with halves of a subgroup lesson counted as one sitting.
TEST(TimetableQuality, FindsExactlyTheWindowsRepeatsDoublesAndUnevenDays) {
    TestSchool s;
    s.glo().WeeksInCycle = 2;
    s.days(3);
    s.bells(6);
    const Short a = s.group("5", "А"), b = s.group("5", "Б");
    const Short math = s.science("Математика"), pe = s.science("Физкультура"),
                english = s.science("Английский язык"), russian = s.science("Русский язык");
    const Short ivanova = s.teacher("Иванова И.И."), petrov = s.teacher("Петров П.П."),
                smirnova = s.teacher("Смирнова С.С."), kozlova = s.teacher("Козлова К.К.");
    // 5-А, Monday: mathematics, a double PE lesson, a free bell, mathematics again.
    s.lesson(1, 1, "1", math, ivanova, a);
    s.lesson(1, 1, "2", pe, petrov, a);
    s.lesson(1, 1, "3", pe, petrov, a);
    s.lesson(1, 1, "5", math, petrov, a);
    s.lesson(1, 2, "1", russian, petrov, a); // Tuesday: one lesson; Wednesday off
    s.lesson(1, 1, "4", math, ivanova, b);
    // 5-Б, Tuesday: English in halves (one sitting), then only /1 has English again.
    s.lesson(1, 2, "1", english, smirnova, b, 1);
    s.lesson(1, 2, "1", english, kozlova, b, 2);
    s.lesson(1, 2, "2", russian, ivanova, b);
    s.lesson(1, 2, "3", english, smirnova, b, 1);
    // Wednesday: both halves in bells 1 and 2 — a double lesson, not four lessons.
    for (const char* bell : {"1", "2"}) {
        s.lesson(1, 3, bell, english, smirnova, b, 1);
        s.lesson(1, 3, bell, english, kozlova, b, 2);
    }
    // Week 2: a double mathematics lesson and nothing else.
    s.lesson(2, 1, "2", math, ivanova, a);
    s.lesson(2, 1, "3", math, ivanova, a);
    s.lesson(0, 0, "", math, ivanova, a); // unplaced: not part of any day

    TimetableQuality q;
    ASSERT_TRUE(AnalyseTimetable(s.dict(), &q));
    // Texts compared as std::string, so that a failure prints them readably.
    auto text = [](const QStringList& lines) { return lines.join(QLatin1Char('|')).toStdString(); };
    EXPECT_EQ(text(timetableQualityLines(q)),
              text({
                  "Окна учителей:",
                  "  Иванова И.И., 1-я неделя: окна 2 ч., дней в школе 2 — Понедельник: 2 ч. "
                  "(уроки 2, 3)",
                  "  Петров П.П., 1-я неделя: окна 1 ч., дней в школе 2 — Понедельник: 1 ч. "
                  "(урок 4)",
                  "  Смирнова С.С., 1-я неделя: окна 1 ч., дней в школе 2 — Вторник: 1 ч. "
                  "(урок 2)",
                  "Окна групп:",
                  "  5-А, 1-я неделя: окна 1 ч., дней в школе 2 — Понедельник: 1 ч. (урок 4)",
                  "Неравномерная нагрузка по дням:",
                  "  5-А, 1-я неделя: по дням 4, 1, 0 — больше всего 4, меньше всего 1, разброс 3",
                  "Повторы предметов:",
                  "  5-А, 1-я неделя, Понедельник: Математика, уроки 1, 5 — повтор",
                  "  5-А, 1-я неделя, Понедельник: Физкультура, уроки 2, 3 — сдвоенный урок",
                  "  5-А, 2-я неделя, Понедельник: Математика, уроки 2, 3 — сдвоенный урок",
                  "  5-Б/1, 1-я неделя, Вторник: Английский язык, уроки 1, 3 — повтор",
                  "  5-Б, 1-я неделя, Среда: Английский язык, уроки 1, 2 — сдвоенный урок",
                  "Окна учителей: 4 ч. (у 3 учителей), окна групп: 1 ч., неравномерных групп: 1, "
                  "повторов предметов: 2.",
              }));

    // The day loads table counts sittings: 5-Б's Tuesday is three lessons, Wednesday two.
    const std::vector<QualityTable> tables = q.tables();
    ASSERT_EQ(tables.size(), 4u);
    const QualityTable& load = tables[2];
    EXPECT_EQ(text(load.headers), text({"Группа", "Неделя", "Понедельник", "Вторник", "Среда",
                                        "Больше всего", "Меньше всего", "Разброс", "Оценка"}));
    ASSERT_EQ(load.rows.size(), 3u); // 5-А in both weeks, 5-Б in the first
    EXPECT_EQ(text(load.rows[2].cells), text({"5-Б", "1", "1", "3", "2", "3", "1", "2", ""}));
    // A row leads the grid to a lesson of its object on the day with the window.
    const QualityTable& teachers = tables[0];
    EXPECT_EQ(text(teachers.rows[0].cells.mid(0, 7)),
              text({"Иванова И.И.", "1", "2", "2", "2 (2, 3)", "0", ""}));
    EXPECT_EQ(teachers.rows[0].lesson.TeacherCode, ivanova);
    EXPECT_EQ(teachers.rows[0].lesson.DaySeqNumber, 1);

    // One group alone: its findings and a summary of them only.
    EXPECT_EQ(q.only(ObjectType::Group, b).summaryText().toStdString(),
              "Окна учителей: 0 ч. (у 0 учителей), окна групп: 0 ч., неравномерных групп: 0, "
              "повторов предметов: 1.");
}
