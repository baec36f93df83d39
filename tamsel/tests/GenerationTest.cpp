#include "SchoolFixture.h"

using namespace tamsel;
using namespace tamsel::test;

TEST(Generation, SinglesThenPairsForEveryGroupOfTheStreamAndCourse) {
    School s;
    const Short st = s.stream("Общий");
    s.course("5");
    const Group a = s.group("5", "А", st);
    const Group b = s.group("5", "Б", st);
    const Short other = s.stream("Профильный");
    s.group("5", "В", other);
    const Science math = s.science("Математика");
    const TrainingCourse item = s.item(math, "5", st, 2, 4);

    const auto lessons = s.lessons();
    ASSERT_EQ(lessons.size(), 12u);
    for (const Group& g : {a, b}) {
        std::vector<int> marks;
        for (const Schedule& l : lessons)
            if (l.GroupCode == g.GroupCode) {
                marks.push_back(l.CoupledLesson);
                EXPECT_TRUE(l.isUnplaced());
                EXPECT_EQ(l.SubGroupNum, 0);
                EXPECT_EQ(l.ScienceCode, math.ScienceCode);
                EXPECT_EQ(l.TrainingCourseItemCode, item.TrainingCourseItemCode);
                EXPECT_EQ(l.TeacherCode, 0);
                EXPECT_EQ(l.RoomCode, 0);
                EXPECT_EQ(l.LinkCode, 0);
            }
        std::sort(marks.begin(), marks.end());
        EXPECT_EQ(marks, (std::vector<int>{0, 0, 1, 1, 2, 2}));
    }
    // Stored in generation order: singles, then pair marks 1, 2, 1, 2.
    std::vector<int> order;
    {
        FileUse use(s.t.store(), FileId::Schedule);
        Schedule pos;
        pos.TrainingCourseItemCode = item.TrainingCourseItemCode;
        pos.GroupCode = a.GroupCode;
        for (const Schedule& l : s.t.dict().access<Schedule>().read(Schedule::ItemCode, pos, 2))
            order.push_back(l.CoupledLesson);
    }
    EXPECT_EQ(order, (std::vector<int>{0, 0, 1, 2, 1, 2}));
}

TEST(Generation, SubgroupsOneToNAndRoundedUpPairs) {
    School s;
    const Short st = s.stream("Общий");
    s.course("7");
    s.group("7", "А", st);
    const Short halves = s.subGroupType(2);
    const Science english = s.science("Английский язык", halves);
    s.item(english, "7", st, 1, 3);
    std::map<int, int> perSubgroup;
    int pairs = 0;
    for (const Schedule& l : s.lessons()) {
        ++perSubgroup[l.SubGroupNum];
        if (l.CoupledLesson == 1) ++pairs;
    }
    EXPECT_EQ(perSubgroup, (std::map<int, int>{{1, 5}, {2, 5}})) << "none for subgroup 0";
    EXPECT_EQ(pairs, 4) << "3 coupled hours give two pairs per subgroup";

    const Science pe = s.science("Физкультура");
    s.item(pe, "7", st, 0, 0);
    EXPECT_EQ(s.lessons().size(), 10u) << "no hours, no entries";
}

TEST(Generation, NewGroupReceivesTheWholePlanOfItsCourseAndStream) {
    School s;
    const Short st = s.stream("Общий");
    s.course("6");
    s.course("8");
    const Science a = s.science("Русский язык"), b = s.science("Литература"),
                  c = s.science("История");
    s.item(a, "6", st, 3, 0);
    s.item(b, "6", st, 1, 2);
    s.item(c, "6", st, 2, 0);
    EXPECT_TRUE(s.lessons().empty());
    const Group g = s.group("6", "А", st);
    std::set<Short> items;
    for (const Schedule& l : s.lessons()) {
        EXPECT_EQ(l.GroupCode, g.GroupCode);
        items.insert(l.TrainingCourseItemCode);
    }
    EXPECT_EQ(items.size(), 3u);
    EXPECT_EQ(s.lessons().size(), 8u);
    s.group("8", "А", st);
    EXPECT_EQ(s.lessons().size(), 8u) << "a course without a plan gives nothing";
}

TEST(Generation, RefusedPlanItemStoresNothing) {
    School s;
    const Short st = s.stream("Общий");
    s.course("9");
    s.group("9", "А", st);
    const Science a = s.science("Химия");
    s.item(a, "9", st, 2, 0);
    s.t.ui.clear();
    TrainingCourse again;
    again.TrainingCourseItemCode = 50;
    again.ScienceCode = a.ScienceCode;
    again.Course = QStringLiteral("9");
    again.StreamCode = st;
    again.SingleHours = 5;
    EXPECT_EQ(s.rel.insert(again).status, Outcome::Status::Duplicate);
    EXPECT_EQ(s.t.ui.last(), u("Добавление этой записи создает дублирование для ключа: По предметам"));
    EXPECT_EQ(s.lessons().size(), 2u);
}

TEST(FieldChecks, RangesAndCourseExistence) {
    School s;
    TrainingCourse i;
    i.SingleHours = 100;
    EXPECT_FALSE(s.rel.insert(i));
    EXPECT_EQ(s.t.ui.shown.last().caption, u("Ошибка интервала"));
    EXPECT_EQ(s.t.ui.last(), u("Значение Одиночными часами должно быть между 0 and 99."));
    i.SingleHours = 1;
    i.CoupledHours = -1;
    EXPECT_FALSE(s.rel.insert(i));
    EXPECT_EQ(s.t.ui.last(), u("Значение Сдвоенными часами должно быть между 0 and 99."));

    SubGroupType t;
    t.SgrpTyp = u("Один");
    t.NumbOfSubGroups = 1;
    EXPECT_FALSE(s.rel.insert(t));
    EXPECT_EQ(s.t.ui.last(), u("Значение Количество подгрупп должно быть между 2 and 99."));

    Schedule l;
    l.Week = 21;
    EXPECT_EQ(s.rel.validate(l).msgNo, Msg::RangeError);
    EXPECT_EQ(s.t.ui.last(), u("Значение Неделя расписания должно быть между 0 and 20."));

    Archive a;
    a.WeeksInCycle = 0;
    EXPECT_EQ(s.rel.validate(a).msgNo, Msg::RangeError);
    EXPECT_EQ(s.t.ui.last(), u("Значение Количество недель в расписании должно быть между 1 and 20."));

    Group g;
    g.Course = QStringLiteral("4");
    g.Literal = u("А");
    EXPECT_FALSE(s.rel.insert(g));
    EXPECT_EQ(s.t.ui.shown.last().caption, u("Ошибка содержимого поля"));
    EXPECT_EQ(s.t.ui.last(), u("Значение поля Год обучения (курс) должно находиться в файле Course."));
    EXPECT_TRUE(s.all<Group>().empty());
    s.course("4");
    EXPECT_TRUE(s.rel.insert(g));
}
