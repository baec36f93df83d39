// The timetable grid: what its cells say and what its actions do, headless through the core.

#include "GridFixture.h"


TEST(TimetableGrid, CellTextsForEveryViewAndSize) {
    Fixture f;
    // Monday lesson 1: two subgroups of English in 5-А; Tuesday lesson 2: mathematics.
    f.placed(1, 2, 1, 1, 1, 1, 1, u("1"));
    f.placed(2, 2, 2, 1, 2, 2, 1, u("1"));
    f.placed(3, 1, 1, 1, 0, 1, 2, u("2"));

    TimetableGrid large(f.t.dict(), false);
    large.build();
    large.setObject(ObjectType::Group, 1);
    large.refresh();
    EXPECT_EQ(large.title(), u("Расписание 5-А"));
    // The subject once for both subgroups.
    EXPECT_EQ(large.lines(cellAt(0, 0)),
              (QStringList{u("5-А/1     101"), u("Иванова"), u("Английский язык"),
                           u("5-А/2     102"), u("Петров")}));
    EXPECT_EQ(large.lines(cellAt(1, 1)),
              (QStringList{u("5-А       101"), u("Иванова"), u("Математика")}));
    EXPECT_TRUE(large.lines(cellAt(1, 0)).isEmpty());

    TimetableGrid small(f.t.dict(), true);
    small.build();
    small.setObject(ObjectType::Group, 1);
    small.refresh();
    EXPECT_EQ(small.lines(cellAt(0, 0)),
              (QStringList{u("/1 101 Иванова"), u("Английский язык"), u("/2 102 Петров")}));
    EXPECT_EQ(small.lines(cellAt(1, 1)), (QStringList{u("101 Иванова"), u("Математика")}));

    large.setObject(ObjectType::Room, 1);
    large.refresh();
    EXPECT_EQ(large.title(), u("Загрузка кабинета  101"));
    EXPECT_EQ(large.lines(cellAt(0, 0)),
              (QStringList{u("5-А/1"), u("Иванова"), u("Английский язык")}));
    small.setObject(ObjectType::Room, 1);
    small.refresh();
    EXPECT_EQ(small.lines(cellAt(1, 1)), (QStringList{u("5-А     Иванова"), u("Математика")}));

    large.setObject(ObjectType::Teacher, 1);
    large.refresh();
    EXPECT_EQ(large.title(), u("Расписание Иванова"));
    EXPECT_EQ(large.lines(cellAt(0, 0)), (QStringList{u("Английский язык"), u("5-А/1     101")}));
    EXPECT_EQ(large.lines(cellAt(1, 1)), (QStringList{u("Математика"), u("5-А       101")}));
}

TEST(TimetableGrid, AnOnlyRelatedSubjectNameIsStillShown) {
    Fixture f;
    f.checkedAtEnd = false; // two subgroups without a subgroup type share a cell: texts only
    f.s.science(3, u("Математика и логика"));
    f.placed(1, 3, 1, 1, 1, 1, 1, u("1"));
    f.placed(2, 1, 2, 1, 2, 2, 1, u("1"));
    TimetableGrid g(f.t.dict(), false);
    g.build();
    g.setObject(ObjectType::Group, 1);
    g.refresh();
    EXPECT_TRUE(g.lines(cellAt(0, 0)).contains(u("Математика")));
}

TEST(TimetableGrid, ColoursByRestrictionsAndByTheVariantsOfTheLessonInHand) {
    Fixture f;
    f.s.restrict(ObjectType::Teacher, 1, 1, 1, u("2"), 1);
    f.s.restrict(ObjectType::Teacher, 1, 1, 2, u("3"), 2);
    f.s.restrict(ObjectType::Teacher, 1, 1, 2, u("2"), 1);
    const Schedule lesson = f.placed(1, 1, 1, 1, 0, 1, 1, u("1"));
    TimetableGrid g(f.t.dict(), false);
    g.build();
    g.setObject(ObjectType::Teacher, 1);
    g.refresh();
    EXPECT_EQ(g.colour(cellAt(0, 0)), StandardColor::NoRestriction);
    EXPECT_EQ(g.colour(cellAt(0, 1)), StandardColor::WeakRestriction);
    EXPECT_EQ(g.colour(cellAt(1, 2)), StandardColor::DontUseRestriction);

    // "Куда можно подвинуть?": the forbidden cell and the lesson's own (the teacher is busy
    // there) take no variant.
    ASSERT_TRUE(g.showMoveTargets(cellAt(0, 0)));
    EXPECT_EQ(f.t.glo().ScheduleRecord.rowId, lesson.rowId);
    g.refresh();
    EXPECT_TRUE(g.colouredByVariants());
    EXPECT_EQ(g.colour(cellAt(1, 2)), StandardColor::DontUseRestriction);
    EXPECT_EQ(g.colour(cellAt(0, 0)), StandardColor::DontUseRestriction);
    EXPECT_EQ(g.colour(cellAt(1, 0)), StandardColor::NoRestriction);
    // Tuesday's second lesson is undesirable for the teacher, with no other lesson that day.
    EXPECT_EQ(g.colour(cellAt(1, 1)), StandardColor::WeakRestriction);
    // And says why a cell is refused, without a message box.
    const QStringList why = g.refusalsAt(cellAt(1, 2));
    EXPECT_EQ(why,
              QStringList{u("Размещение уроков невозможно из-за ограничений учителя Иванова")});
    EXPECT_TRUE(f.ui.shown.isEmpty());
    g.clearMoveTargets();
    g.refresh();
    EXPECT_EQ(g.colour(cellAt(0, 1)), StandardColor::WeakRestriction);

    // An empty cell computes nothing.
    EXPECT_FALSE(g.showMoveTargets(cellAt(1, 1)));
}

// With a lesson in hand every cell of a grid is coloured "cannot go here" exactly when it
// gives a reason why (the lesson's own cell aside, where a drop changes nothing).
void expectOneJudgement(TimetableGrid& g) {
    g.refresh();
    const Schedule inHand = g.dict().glo.ScheduleRecord;
    for (const GridCell& c : g.cells()) {
        const Engine::Cell t = g.timeOf(c);
        if (t.week == inHand.Week && t.day == inHand.DaySeqNumber && t.lessonNo == inHand.LessonNo)
            continue;
        const bool refusedColour = g.colourMeaning(c) == u("Урок сюда поставить нельзя");
        EXPECT_EQ(refusedColour, !g.refusalsAt(c).isEmpty())
            << g.title().toStdString() << ": " << g.infoHeader(c).join(u(" ")).toStdString();
    }
}

TEST(TimetableGrid, ColoursReasonsAndDropsComeFromOneJudgement) {
    Fixture f;
    f.t.glo().ShowLessonRestrictions = 1;
    f.s.teacher(3, u("Сидоров"));
    // Иванова's mathematics lists 101, then 102. Room 102 is forbidden on Monday 2; both rooms
    // are taken on Tuesday 1 by the halves of 5-Б.
    f.s.restrict(ObjectType::Room, 2, 1, 1, u("2"), 2);
    f.placed(5, 2, 2, 2, 1, 1, 2, u("1"));
    f.placed(5, 2, 3, 2, 2, 2, 2, u("1"));
    const Schedule math = f.s.lesson(1, 1, 1, 1);
    auto select = [&](const Schedule& l) {
        f.t.glo().ScheduleRecord = l;
        ProcessNewLessonSelection(f.t.dict(), 1, l);
    };

    // The room view judges the room it shows, not the first free room of the list.
    TimetableGrid room(f.t.dict(), false);
    room.build();
    room.setObject(ObjectType::Room, 2);
    TimetableGrid group(f.t.dict(), false);
    group.build();
    group.setObject(ObjectType::Group, 1);
    select(math);
    expectOneJudgement(room);
    expectOneJudgement(group);
    EXPECT_EQ(room.colourMeaning(cellAt(0, 1)), u("Урок сюда поставить нельзя"));
    EXPECT_EQ(room.refusalsAt(cellAt(0, 1)),
              QStringList{u("Размещение уроков невозможно из-за ограничений на кабинет № 102")});
    EXPECT_EQ(group.colourMeaning(cellAt(0, 1)), u("Урок можно поставить"));
    // No listed room free: refused with a reason in every view that takes a room from the list.
    const QString busyRooms = u("Размещение уроков невозможно: все кабинеты из списка учителя "
                                "Иванова для предмета Математика в это время заняты или запрещены");
    EXPECT_EQ(group.refusalsAt(cellAt(1, 0)), QStringList{busyRooms});
    EXPECT_TRUE(f.ui.shown.isEmpty());

    // And the drops do what the colours say: nothing written where a cell is refused.
    const QByteArray before = f.scheduleBytes();
    EXPECT_EQ(room.dropFromList(cellAt(0, 1), math), TimetableGrid::Drop::Refused);
    EXPECT_EQ(group.dropFromList(cellAt(1, 0), math), TimetableGrid::Drop::Refused);
    EXPECT_EQ(f.scheduleBytes(), before);
    ASSERT_EQ(f.ui.shown.size(), 2);
    EXPECT_EQ(f.ui.shown[1].caption, u("Проверка возможности размещения"));
    EXPECT_EQ(f.ui.shown[1].text, busyRooms);
    EXPECT_EQ(room.dropFromList(cellAt(0, 0), math), TimetableGrid::Drop::Placed);
    EXPECT_EQ(f.s.byRow(math.rowId).RoomCode, 2);

    // A teacher without a room list for the subject: every cell of the group view is refused,
    // and says why; the room view places the lesson into its room.
    f.ui.clear();
    const Schedule noList = f.s.lesson(6, 1, 2, 2);
    TimetableGrid other(f.t.dict(), false);
    other.build();
    other.setObject(ObjectType::Group, 2);
    select(noList);
    expectOneJudgement(other);
    EXPECT_EQ(other.refusalsAt(cellAt(1, 2)),
              QStringList{u("Размещение уроков невозможно: у учителя Петров нет списка кабинетов "
                            "для предмета Математика")});
    EXPECT_EQ(other.dropFromList(cellAt(1, 2), noList), TimetableGrid::Drop::Refused);
    EXPECT_TRUE(f.s.byRow(noList.rowId).isUnplaced());
    room.setObject(ObjectType::Room, 1);
    select(noList);
    expectOneJudgement(room);
    EXPECT_EQ(room.dropFromList(cellAt(1, 2), noList), TimetableGrid::Drop::Placed);
    EXPECT_EQ(f.s.byRow(noList.rowId).RoomCode, 1);
}

TEST(TimetableGrid, ALessonMovesToTheSameDayAndLessonOfAnotherWeek) {
    // Every week shown (the second block) and one week shown (the spin box on week 2).
    for (const bool allWeeks : {true, false}) {
        Fixture f(2);
        f.t.glo().AllWeeksShow = allWeeks ? 1 : 0;
        const Schedule lesson = f.placed(1, 1, 1, 1, 0, 1, 1, u("1"));
        TimetableGrid g(f.t.dict(), false);
        g.build();
        g.setObject(ObjectType::Teacher, 1);
        g.refresh();
        ASSERT_TRUE(g.startDrag(cellAt(0, 0)));
        const GridCell target = cellAt(0, 0, allWeeks ? 1 : 0);
        if (!allWeeks) g.setWeek(2);
        EXPECT_TRUE(g.refusalsAt(target).isEmpty());
        EXPECT_EQ(g.dropMoved(target), TimetableGrid::Drop::Placed);
        const Schedule now = f.s.byRow(lesson.rowId);
        EXPECT_EQ(now.Week, 2);
        EXPECT_EQ(now.DaySeqNumber, 1);
        EXPECT_EQ(now.LessonNo, u("1"));
        g.refresh();
        EXPECT_EQ(g.lines(target), (QStringList{u("Математика"), u("5-А       101")}));
        if (!allWeeks) g.setWeek(1);
        g.refresh();
        EXPECT_TRUE(g.lines(cellAt(0, 0)).isEmpty());
    }
}

TEST(TimetableGrid, ADayOverloadedHasItsOwnColourAndSaysSo) {
    Fixture f;
    f.t.glo().ShowLessonRestrictions = 1;
    // 5-А has mathematics on Monday 1; another mathematics lesson is in hand. Monday 3 and
    // Tuesday 2 are undesirable for its teacher.
    f.placed(1, 1, 1, 1, 0, 1, 1, u("1"));
    f.s.restrict(ObjectType::Teacher, 1, 1, 1, u("3"), 1);
    f.s.restrict(ObjectType::Teacher, 1, 1, 2, u("2"), 1);
    const Schedule more = f.s.lesson(1, 1, 1, 1);
    f.t.glo().ScheduleRecord = more;
    ProcessNewLessonSelection(f.t.dict(), 1, more);
    TimetableGrid g(f.t.dict(), false);
    g.build();
    // The group view colours by the lesson's variants, the room view judges its room: both
    // tell an overloaded day, which outweighs a wish, from a fitting cell.
    for (const auto& [type, code] : {std::pair<Short, Long>{ObjectType::Group, 1},
                                     std::pair<Short, Long>{ObjectType::Room, 1}}) {
        g.setObject(type, code);
        g.refresh();
        for (const GridCell& c : {cellAt(0, 1), cellAt(0, 2)}) {
            EXPECT_EQ(g.colour(c), StandardColor::HeavyRestriction);
            EXPECT_EQ(g.colourMeaning(c), u("Можно, но день перегружен"));
            EXPECT_TRUE(g.refusalsAt(c).isEmpty());
        }
        EXPECT_EQ(g.colour(cellAt(1, 1)), StandardColor::WeakRestriction);
        EXPECT_EQ(g.colourMeaning(cellAt(1, 1)), u("Можно, но с нарушением пожеланий"));
        EXPECT_EQ(g.colour(cellAt(1, 0)), StandardColor::NoRestriction);
        EXPECT_EQ(g.colourMeaning(cellAt(1, 0)), u("Урок можно поставить"));
        EXPECT_EQ(g.colourMeaning(cellAt(0, 0)), u("Урок сюда поставить нельзя"));
    }
    // A drop on an overloaded day is allowed: the colour warns, it does not forbid.
    EXPECT_EQ(g.dropFromList(cellAt(0, 1), more), TimetableGrid::Drop::Placed);
    EXPECT_EQ(f.s.byRow(more.rowId).LessonNo, u("2"));
}

TEST(TimetableGrid, ALinkRefusedForDifferentCausesGivesEveryCause) {
    Fixture f;
    f.s.teacher(3, u("Сидоров"));
    f.s.room(3, u("103"));
    f.s.link(7, u("Английский 5-е"));
    f.s.comp(7, 1, 1, 1);
    f.s.comp(7, 2, 2, 1);
    const Schedule first = f.s.lesson(1, 2, 1, 1, 1, 7); // 5-А/1 with Иванова
    f.s.lesson(2, 2, 2, 2, 1, 7);                        // 5-Б/1 with Петров
    // Tuesday 2: forbidden for Иванова, and the whole of 5-Б has a lesson.
    f.s.restrict(ObjectType::Teacher, 1, 1, 2, u("2"), 2);
    f.placed(3, 1, 3, 2, 0, 3, 2, u("2"));
    f.t.glo().ShowLessonRestrictions = 1;
    f.t.glo().ScheduleRecord = first;
    ProcessNewLessonSelection(f.t.dict(), 1, first);
    TimetableGrid g(f.t.dict(), false);
    g.build();
    g.setObject(ObjectType::Group, 1);
    g.refresh();
    EXPECT_EQ(g.colourMeaning(cellAt(1, 1)), u("Урок сюда поставить нельзя"));
    EXPECT_EQ(g.refusalsAt(cellAt(1, 1)),
              (QStringList{u("Размещение уроков невозможно из-за ограничений учителя Иванова"),
                           u("Размещение уроков невозможно из-за занятости учебной группы5 -Б")}));
    EXPECT_TRUE(g.refusalsAt(cellAt(0, 1)).isEmpty());
}

TEST(TimetableGrid, MarksOnARowCoverEveryDayAndNoRestrictionIsStoredAsZero) {
    Fixture f;
    f.s.restrict(ObjectType::Group, 1, 1, 1, u("2"), 2);
    TimetableGrid g(f.t.dict(), false);
    g.build();
    g.setObject(ObjectType::Group, 1);
    ASSERT_TRUE(g.mark(g.rowCells(0, 1), RestrictionLevel::Undesirable));
    auto all = f.t.dict().access<Restriction>().all(Restriction::ObjectIdKey);
    ASSERT_EQ(all.size(), 2u);
    for (const Restriction& r : all) {
        EXPECT_EQ(r.LessonNo, u("2"));
        EXPECT_EQ(r.Restriction, 1);
    }
    ASSERT_TRUE(g.mark(g.dayCells(0, 0), RestrictionLevel::None));
    all = f.t.dict().access<Restriction>().all(Restriction::ObjectIdKey);
    EXPECT_EQ(all.size(), 4u); // Monday's lessons 1 and 3 added, lesson 2 updated
    Restriction key;
    key.ObjectType = ObjectType::Group;
    key.ObjectCode = 1;
    key.Week = 1;
    key.DaySeqNumber = 1;
    key.LessonNo = u("2");
    EXPECT_EQ(f.t.dict().access<Restriction>().fetch(Restriction::ObjectIdKey, key).Restriction, 0);
}

TEST(TimetableGrid, DropsPlaceThroughTheEngineWithTheRoomRuleOfTheView) {
    Fixture f;
    const Schedule lesson = f.placed(1, 1, 1, 1, 0, 1, 1, u("1"));
    // A drop on the cell it came from changes nothing.
    TimetableGrid teacher(f.t.dict(), false);
    teacher.build();
    teacher.setObject(ObjectType::Teacher, 1);
    const QByteArray before = f.scheduleBytes();
    ASSERT_TRUE(teacher.startDrag(cellAt(0, 0)));
    EXPECT_EQ(teacher.dropMoved(cellAt(0, 0)), TimetableGrid::Drop::Unchanged);
    EXPECT_EQ(f.scheduleBytes(), before);
    EXPECT_EQ(f.t.glo().ScheduleRecord.rowId, 0);

    // Teacher view: the engine picks the room (101 is free at Tuesday 3).
    ASSERT_TRUE(teacher.startDrag(cellAt(0, 0)));
    EXPECT_EQ(teacher.dropMoved(cellAt(1, 2)), TimetableGrid::Drop::Placed);
    Schedule now = f.s.byRow(lesson.rowId);
    EXPECT_EQ(now.DaySeqNumber, 2);
    EXPECT_EQ(now.LessonNo, u("3"));
    EXPECT_EQ(now.RoomCode, 1);

    // Room view: the lesson goes into the room shown, 102.
    TimetableGrid room(f.t.dict(), false);
    room.build();
    room.setObject(ObjectType::Room, 2);
    f.t.glo().ScheduleRecord = now;
    EXPECT_EQ(room.dropMoved(cellAt(0, 1)), TimetableGrid::Drop::Placed);
    now = f.s.byRow(lesson.rowId);
    EXPECT_EQ(now.DaySeqNumber, 1);
    EXPECT_EQ(now.LessonNo, u("2"));
    EXPECT_EQ(now.RoomCode, 2);
}

TEST(TimetableGrid, ARefusedDropChangesNothingAndSaysWhy) {
    Fixture f;
    f.placed(1, 1, 1, 1, 0, 1, 1, u("1"));
    const Schedule other = f.placed(2, 2, 1, 2, 0, 1, 1, u("2"));
    TimetableGrid g(f.t.dict(), false);
    g.build();
    g.setObject(ObjectType::Teacher, 1);
    const QByteArray before = f.scheduleBytes();
    ASSERT_TRUE(g.startDrag(cellAt(0, 1)));
    EXPECT_EQ(f.t.glo().ScheduleRecord.rowId, other.rowId);
    EXPECT_EQ(g.dropMoved(cellAt(0, 0)), TimetableGrid::Drop::Refused);
    EXPECT_EQ(f.scheduleBytes(), before);
    ASSERT_FALSE(f.ui.shown.isEmpty());
    EXPECT_EQ(f.ui.shown[0].caption, u("Проверка возможности размещения"));
    EXPECT_TRUE(f.ui.shown[0].text.startsWith(
        u("Размещение уроков невозможно из-за занятости учителя Иванова")));
}

TEST(TimetableGrid, APlacedLessonFromAListIsMovedOnlyAfterYes) {
    Fixture f;
    const Schedule lesson = f.placed(1, 1, 1, 1, 0, 1, 1, u("1"));
    TimetableGrid g(f.t.dict(), false);
    g.build();
    g.setObject(ObjectType::Group, 1);
    f.ui.answers = {No};
    EXPECT_EQ(g.dropFromList(cellAt(1, 0), lesson), TimetableGrid::Drop::Declined);
    ASSERT_EQ(f.ui.shown.size(), 1);
    EXPECT_EQ(f.ui.shown[0].caption, u("Размещение урока"));
    EXPECT_EQ(f.ui.shown[0].text, u("Этот урок уже был ранее размещен в Понедельник урок № 1. "
                                    "Хотите ли Вы перенести этот урок на новое место?"));
    EXPECT_EQ(f.s.byRow(lesson.rowId).DaySeqNumber, 1);

    f.ui.answers = {Yes};
    EXPECT_EQ(g.dropFromList(cellAt(1, 0), lesson), TimetableGrid::Drop::Placed);
    EXPECT_EQ(f.s.byRow(lesson.rowId).DaySeqNumber, 2);

    // An unplaced lesson is placed without a question.
    f.ui.clear();
    const Schedule fresh = f.s.lesson(2, 1, 1, 1);
    EXPECT_EQ(g.dropFromList(cellAt(0, 2), fresh), TimetableGrid::Drop::Placed);
    EXPECT_TRUE(f.ui.shown.isEmpty());
    EXPECT_EQ(f.s.byRow(fresh.rowId).LessonNo, u("3"));
}

TEST(TimetableGrid, RemovingACellsLessonsUnplacesTheirLinkedLessonsElsewhere) {
    Fixture f;
    f.s.link(7, u("Английский 5-е"));
    f.s.comp(7, 1, 1, 1);
    f.s.comp(7, 2, 2, 1);
    const Schedule a = f.placed(1, 2, 1, 1, 1, 1, 1, u("1"), 1, 7);
    const Schedule b = f.placed(2, 2, 2, 2, 1, 2, 1, u("1"), 1, 7);
    TimetableGrid g(f.t.dict(), false);
    g.build();
    g.setObject(ObjectType::Group, 1);
    EXPECT_EQ(g.removeLessons(cellAt(0, 0)), 1);
    EXPECT_TRUE(f.s.byRow(a.rowId).isUnplaced());
    EXPECT_TRUE(f.s.byRow(b.rowId).isUnplaced());
    // Both halves of 5-А in one link and one cell: taking out the first takes out the other,
    // and the cell counts one removal, not two.
    f.s.link(8, u("Английский 5-А"));
    f.s.comp(8, 3, 1, 1);
    f.s.comp(8, 3, 1, 2);
    const Schedule h1 = f.placed(3, 2, 1, 1, 1, 1, 2, u("2"), 1, 8);
    const Schedule h2 = f.placed(3, 2, 2, 1, 2, 2, 2, u("2"), 1, 8);
    g.refresh();
    EXPECT_EQ(g.removeLessons(cellAt(1, 1)), 1);
    EXPECT_TRUE(f.s.byRow(h1.rowId).isUnplaced());
    EXPECT_TRUE(f.s.byRow(h2.rowId).isUnplaced());
    EXPECT_EQ(f.t.glo().ScheduleRecord.rowId, 0);
}

TEST(TimetableGrid, WhileTheAutomaticRunHoldsTheTimetableHandEditsAreTurnedAway) {
    Fixture f;
    const Schedule mine = f.placed(1, 1, 1, 1, 0, 1, 1, u("1"));
    for (int i = 0; i < 3; ++i) {
        f.s.lesson(1, 1, 1, 1);
        f.s.lesson(2, 1, 2, 2);
    }
    TimetableGrid g(f.t.dict(), false);
    g.build();
    g.setObject(ObjectType::Teacher, 1);
    // What the officer does while the run lets the user interface breathe: a drop, a Delete,
    // a change in a list.
    RecordingRunHost host;
    int tried = 0;
    host.onYield = [&](int) {
        if (tried++) return;
        g.refresh();
        ASSERT_TRUE(g.startDrag(cellAt(0, 0)));
        EXPECT_EQ(g.dropMoved(cellAt(1, 2)), TimetableGrid::Drop::Refused);
        EXPECT_EQ(g.removeLessons(cellAt(0, 0)), 0);
        Teacher petrov = f.t.dict().access<Teacher>().fetch(Teacher::TeacherCodeKey, [] {
            Teacher t;
            t.TeacherCode = 2;
            return t;
        }());
        EXPECT_FALSE(Relations(f.t.dict()).remove(petrov).ok());
    };
    f.ui.answers = {Yes, Yes, Yes};
    AutoPlacement run(f.t.dict());
    f.t.glo().ProcessingDisabled = 0;
    run.run(TaskKind::All, 0, host);
    ASSERT_GT(tried, 0);
    const QString refusal = u("Расписание в папке «%1» сейчас изменяет автоматическая "
                              "расстановка уроков. Повторите, когда она закончит работу.")
                                .arg(QDir::toNativeSeparators(f.t.path()));
    EXPECT_EQ(f.ui.texts().count(refusal), 3) << f.ui.texts().join(u("\n")).toStdString();
    const Schedule now = f.s.byRow(mine.rowId);
    EXPECT_EQ(now.DaySeqNumber, 1);
    EXPECT_EQ(now.LessonNo, u("1"));
    EXPECT_EQ(f.t.dict().access<Teacher>().count(), 2) << "the teacher's delete was turned away";
    EXPECT_GT(f.placedCount(), 1) << "the run itself wrote";
    EXPECT_FALSE(f.t.dict().writingLock().held());
}

// A lesson pinned to its cell: marked there, moved or taken off by hand only after "Да" (and
// pinned still where it was moved), left where it is by the automatic placement, and pinned or
// freed all at once for the object shown.
TEST(TimetableGrid, PinnedLessonsStayUnlessTheOfficerSaysOtherwise) {
    Fixture f;
    const Schedule math = f.placed(1, 1, 1, 1, 0, 1, 1, u("1"));  // Иванова, 5-А, Monday 1
    const Schedule other = f.placed(2, 1, 1, 2, 0, 1, 2, u("1")); // Иванова, 5-Б, Tuesday 1
    TimetableGrid g(f.t.dict(), false);
    g.build();
    g.setObject(ObjectType::Teacher, 1);
    EXPECT_EQ(g.pin({cellAt(0, 0)}, true), 1);
    g.refresh();
    EXPECT_TRUE(g.pinnedAt(cellAt(0, 0)));
    EXPECT_FALSE(g.pinnedAt(cellAt(1, 0)));
    ASSERT_FALSE(g.lines(cellAt(0, 0)).isEmpty());
    EXPECT_TRUE(g.lines(cellAt(0, 0)).front().startsWith(TimetableGrid::PinMark));

    f.ui.answers = {No};
    ASSERT_TRUE(g.startDrag(cellAt(0, 0)));
    EXPECT_EQ(g.dropMoved(cellAt(0, 2)), TimetableGrid::Drop::Declined);
    EXPECT_EQ(f.ui.shown.last().caption, u("Перемещение закреплённого урока"));
    EXPECT_EQ(f.ui.shown.last().text,
              u("Урок закреплён: Понедельник урок № 1. Переместить его на новое место?"));
    EXPECT_EQ(f.s.byRow(math.rowId).LessonNo, u("1"));
    f.ui.answers = {Yes};
    ASSERT_TRUE(g.startDrag(cellAt(0, 0)));
    EXPECT_EQ(g.dropMoved(cellAt(0, 2)), TimetableGrid::Drop::Placed);
    EXPECT_EQ(f.s.byRow(math.rowId).LessonNo, u("3"));
    EXPECT_EQ(f.s.byRow(math.rowId).Pinned, 1);

    g.refresh();
    f.ui.answers = {No};
    EXPECT_EQ(g.removeLessons(cellAt(0, 2)), 0);
    EXPECT_EQ(f.ui.shown.last().caption, u("Снятие закреплённого урока"));
    EXPECT_FALSE(f.s.byRow(math.rowId).isUnplaced());
    f.ui.answers = {Yes};
    EXPECT_EQ(g.removeLessons(cellAt(0, 2)), 1);
    EXPECT_TRUE(f.s.byRow(math.rowId).isUnplaced());
    EXPECT_EQ(f.s.byRow(math.rowId).Pinned, 0) << "a pin belongs to a cell";

    // Every placed lesson of the teacher at once; the automatic run places around them.
    EXPECT_EQ(g.pinAll(true), 1);
    EXPECT_EQ(f.s.byRow(other.rowId).Pinned, 1);
    for (int i = 0; i < 3; ++i)
        f.s.lesson(1, 1, 1, 2);
    f.ui.otherwise = Yes;
    RecordingRunHost host;
    AutoPlacement run(f.t.dict());
    f.t.glo().ProcessingDisabled = 0;
    run.run(TaskKind::All, 0, host);
    EXPECT_TRUE(f.s.byRow(other.rowId).sameCell(other));
    EXPECT_GT(f.placedCount(), 2);
    EXPECT_EQ(g.pinAll(false), 1);
    EXPECT_EQ(f.s.byRow(other.rowId).Pinned, 0);
}

TEST(TimetableGrid, CandidatesForACellAndNoVariants) {
    Fixture f;
    f.s.restrict(ObjectType::Group, 1, 1, 2, u("3"), 2);
    f.s.lesson(1, 1, 1, 1);
    f.s.lesson(2, 2, 2, 1, 1);
    f.s.lesson(3, 1, 1, 2); // another group's
    const auto c = CandidatesForCell(f.t.dict(), 1, 1, ObjectType::Group, 1, u("1"));
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].science, u("Английский язык"));
    EXPECT_EQ(c[0].subgroup, u("1"));
    EXPECT_EQ(c[1].science, u("Математика"));
    EXPECT_TRUE(CandidatesForCell(f.t.dict(), 1, 2, ObjectType::Group, 1, u("3")).empty());
}
