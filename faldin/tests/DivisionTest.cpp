// A subject's division into subgroups, changed in the subject list or the subgroup type list,
// while the plan has made lessons by it: refused with the groups named, so no entry is left made
// for a division the subject no longer has.

#include "faldin/windows/ScienceList.h"
#include "faldin/windows/SubGroupTypeList.h"

#include "LessonChecker.h"
#include "PlanSchool.h"
#include "tamsel/widgets/RecordList.h"

using namespace tamsel;
using namespace plantest;
using lessontest::checkLessons;
using lessontest::lessonsSound;

namespace {

Row rowNamed(RecordList* list, const QString& name) {
    for (int i = 0; i < list->model()->rowCount(); ++i)
        if (list->model()->index(i, 0).data().toString() == name)
            return list->model()->row(i);
    return {};
}

int rowIndex(RecordList* list, const QString& name) {
    for (int i = 0; i < list->model()->rowCount(); ++i)
        if (list->model()->index(i, 0).data().toString() == name) return i;
    return -1;
}

} // namespace

TEST(Divisions, ANewCountOfSubgroupsIsRefusedWhileLessonsFollowTheOldOne) {
    app();
    Plan p;
    SubGroupType three;
    three.SgrpTypCode = 2;
    three.SgrpTyp = u("Тройки");
    three.NumbOfSubGroups = 3;
    ASSERT_TRUE(p.rel.insert(three).ok());
    SubGroupType pairs;
    pairs.SgrpTypCode = 3;
    pairs.SgrpTyp = u("Пары");
    pairs.NumbOfSubGroups = 2;
    ASSERT_TRUE(p.rel.insert(pairs).ok());
    p.science(3, u("Немецкий"), 0);
    p.item(2, 2, 2); // English in two subgroups
    p.item(1, 3, 0); // mathematics for whole groups

    {
        faldin::ScienceList w(p.t.dict());
        w.show();
        RecordList* subjects = w.detail();
        const int english = rowIndex(subjects, u("Английский"));
        ASSERT_GE(english, 0);
        // Three subgroups instead of two: refused, the groups named.
        EXPECT_FALSE(subjects->model()->setData(subjects->model()->index(english, 1), qint64(2),
                                                Qt::EditRole));
        ASSERT_EQ(p.t.ui.shown.size(), 1);
        EXPECT_EQ(p.t.ui.shown.last().caption, u("Деление на подгруппы не изменено"));
        EXPECT_TRUE(p.t.ui.last().contains(
            u("Уроки предмета «Английский» составлены по прежнему делению на подгруппы "
              "(уроков: 16; группы: 5-А, 5-Б).")))
            << p.t.ui.last().toStdString();
        // Another type of two subgroups makes the same lessons: taken.
        EXPECT_TRUE(subjects->model()->setData(subjects->model()->index(english, 1), qint64(3),
                                               Qt::EditRole));
        // Mathematics, taught to whole groups, cannot be split; German, not planned, can.
        EXPECT_FALSE(subjects->model()->setData(
            subjects->model()->index(rowIndex(subjects, u("Математика")), 1), qint64(2),
            Qt::EditRole));
        EXPECT_TRUE(subjects->model()->setData(
            subjects->model()->index(rowIndex(subjects, u("Немецкий")), 1), qint64(2),
            Qt::EditRole));
        EXPECT_EQ(p.t.ui.shown.size(), 2);
    }
    EXPECT_TRUE(lessonsSound(checkLessons(p.t.dict())));

    // The type English has now cannot change its count; the type only German uses can.
    p.t.ui.clear();
    faldin::SubGroupTypeList w(p.t.dict());
    w.show();
    RecordList* types = w.types();
    EXPECT_FALSE(types->model()->setData(types->model()->index(rowIndex(types, u("Пары")), 1),
                                         qint64(4), Qt::EditRole));
    ASSERT_EQ(p.t.ui.shown.size(), 1);
    EXPECT_TRUE(p.t.ui.last().contains(u("По типу подгрупп «Пары» уже составлены уроки "
                                         "предметов: Английский (уроков: 16; группы: 5-А, 5-Б).")))
        << p.t.ui.last().toStdString();
    EXPECT_TRUE(types->model()->setData(types->model()->index(rowIndex(types, u("Тройки")), 1),
                                        qint64(4), Qt::EditRole));
    EXPECT_EQ(fromRow<SubGroupType>(rowNamed(types, u("Пары"))).NumbOfSubGroups, 2);
    EXPECT_TRUE(lessonsSound(checkLessons(p.t.dict())));
}
