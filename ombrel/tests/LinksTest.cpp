// Lesson links: linking subgroups, lessons dropped into a link, clearing, the tree window, and
// a lecture placed in one cell by the automatic placement.

#include "ombrel/Links.h"
#include "ombrel/windows/LessonLinks.h"
#include "ombrel/windows/UpdateLessonLink.h"

#include "PlanSchool.h"
#include "pivrel/engine/AutoPlacement.h"
#include "tamsel/widgets/RecordList.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLineEdit>
#include <QTreeWidget>

using namespace tamsel;
using namespace ombrel;
using namespace plantest;

namespace {

std::vector<LsnLink> links(Plan& p) {
    return p.t.dict().access<LsnLink>().all(LsnLink::NameKey);
}
std::vector<LsnLinkComp> members(Plan& p, Short link) {
    return p.t.dict().access<LsnLinkComp>().read(LsnLinkComp::LinkCodeKey,
                                                 LsnLinkComp{.LinkCode = link}, 1);
}

/// No lesson is half in a link: an entry carries a code exactly when its member is in that link.
void expectNoLessonHalfLinked(Plan& p) {
    for (const Schedule& s : p.t.dict().access<Schedule>().all(Schedule::ItemCode)) {
        LsnLinkComp key;
        key.TrainingCourseItemCode = s.TrainingCourseItemCode;
        key.GroupCode = s.GroupCode;
        key.SubGroupNum = s.SubGroupNum;
        bool found = false;
        const LsnLinkComp m =
            p.t.dict().access<LsnLinkComp>().fetch(LsnLinkComp::LessonKey, key, &found);
        EXPECT_EQ(s.LinkCode, found ? m.LinkCode : Short(0))
            << "item " << s.TrainingCourseItemCode << " group " << s.GroupCode << " sub "
            << s.SubGroupNum;
    }
}

} // namespace

TEST(Links, SubgroupsAreLinkedOnceAndWholeGroupsNever) {
    Plan p;
    const TrainingCourse english = p.item(2, 2, 0);
    p.item(1, 3, 0); // mathematics: whole groups
    Group a = p.t.dict().access<Group>().all(Group::GroupIdKey).front();
    ASSERT_EQ(a.GroupId(), u("5-А"));
    bool ok = false;
    EXPECT_EQ(LinkGroupSubgroups(p.t.dict(), a, &ok), 1);
    EXPECT_TRUE(ok);
    auto all = links(p);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].LinkName, u("Английский в 5-А/1, 5-А/2"));
    EXPECT_EQ(members(p, all[0].LinkCode).size(), 2u);
    for (const Schedule& s : p.entries(english, a.GroupCode))
        EXPECT_EQ(s.LinkCode, all[0].LinkCode);
    expectNoLessonHalfLinked(p);

    EXPECT_EQ(LinkGroupSubgroups(p.t.dict(), a), 0); // nothing left to link
    EXPECT_EQ(links(p).size(), 1u);

    // Every group: 5-Б gets its own; mathematics nowhere.
    EXPECT_EQ(LinkAllGroupSubgroups(p.t.dict()), 1);
    all = links(p);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].LinkName, u("Английский в 5-Б/1, 5-Б/2"));
    expectNoLessonHalfLinked(p);

    // "Очистить все" leaves no link and no code.
    EXPECT_TRUE(ClearAllLinks(p.t.dict()));
    EXPECT_TRUE(ClearallLinksInSchedule(p.t.dict()));
    EXPECT_TRUE(links(p).empty());
    EXPECT_TRUE(p.t.dict().access<LsnLinkComp>().all(LsnLinkComp::LinkCodeKey).empty());
    for (const Schedule& s : p.t.dict().access<Schedule>().all(Schedule::ItemCode))
        EXPECT_EQ(s.LinkCode, 0);
}

TEST(Links, LinkingSubgroupsLeavesLinksMadeByHandAndNamesInUseAlone) {
    {
        Plan p; // 5-А/1's English was dropped into a link by hand: only 5-А/2's is linked now
        const TrainingCourse english = p.item(2, 2, 0);
        const Group a = p.t.dict().access<Group>().all(Group::GroupIdKey).front();
        LsnLink byHand;
        ASSERT_TRUE(AddToLinkList(p.t.dict(), byHand, p.entries(english, a.GroupCode, 1).front()));
        bool ok = false;
        EXPECT_EQ(LinkGroupSubgroups(p.t.dict(), a, &ok), 1);
        EXPECT_TRUE(ok);
        for (const Schedule& s : p.entries(english, a.GroupCode, 1))
            EXPECT_EQ(s.LinkCode, byHand.LinkCode);
        for (const LsnLink& l : links(p)) {
            if (l.LinkCode == byHand.LinkCode) continue;
            EXPECT_FALSE(l.LinkName.contains(u("5-А/1"))) << l.LinkName.toStdString();
            const auto m = members(p, l.LinkCode);
            ASSERT_EQ(m.size(), 1u);
            EXPECT_EQ(m[0].SubGroupNum, 2);
        }
        expectNoLessonHalfLinked(p);
    }
    {
        Plan p; // a link of the name the subgroups would get exists: they stay unlinked
        const TrainingCourse english = p.item(2, 2, 0);
        const Group a = p.t.dict().access<Group>().all(Group::GroupIdKey).front();
        LsnLink taken = p.t.dict().access<LsnLink>().prime();
        taken.LinkName = u("Английский в 5-А/1, 5-А/2");
        ASSERT_TRUE(p.rel.insert(taken).ok());
        bool ok = false;
        EXPECT_EQ(LinkGroupSubgroups(p.t.dict(), a, &ok), 0);
        EXPECT_TRUE(ok);
        EXPECT_TRUE(p.t.ui.shown.isEmpty());
        EXPECT_EQ(links(p).size(), 1u);
        for (const Schedule& s : p.entries(english, a.GroupCode))
            EXPECT_EQ(s.LinkCode, 0);
    }
}

TEST(Links, DroppedLessonsGrowTheNameAndARefusedOneChangesNothing) {
    Plan p;
    const TrainingCourse english = p.item(2, 2, 0);
    const TrainingCourse maths = p.item(1, 1, 0);
    const auto groups = p.t.dict().access<Group>().all(Group::GroupIdKey);
    LsnLink link; // a new link, stored with its first lesson
    ASSERT_TRUE(
        AddToLinkList(p.t.dict(), link, p.entries(english, groups[0].GroupCode, 1).front()));
    EXPECT_NE(link.rowId, 0);
    EXPECT_EQ(link.LinkName, u("Английский в 5-А/1"));
    // The subject is in the name already: only the group and subgroup are added.
    ASSERT_TRUE(
        AddToLinkList(p.t.dict(), link, p.entries(english, groups[1].GroupCode, 1).front()));
    EXPECT_EQ(link.LinkName, u("Английский в 5-А/1, 5-Б/1"));
    ASSERT_TRUE(AddToLinkList(p.t.dict(), link, p.entries(maths, groups[0].GroupCode).front()));
    EXPECT_EQ(link.LinkName, u("Английский в 5-А/1, 5-Б/1, Математика в 5-А"));
    // Every hour of the dropped lesson's kind joined.
    for (const Schedule& s : p.entries(english, groups[0].GroupCode, 1))
        EXPECT_EQ(s.LinkCode, link.LinkCode);
    expectNoLessonHalfLinked(p);

    // A lesson kind that is in a link already: refused with its message, nothing changes.
    const QByteArray before = p.folderDigest();
    LsnLink other;
    p.t.ui.clear();
    EXPECT_FALSE(
        AddToLinkList(p.t.dict(), other, p.entries(english, groups[0].GroupCode, 1).front()));
    EXPECT_FALSE(p.t.ui.shown.isEmpty());
    EXPECT_EQ(p.folderDigest(), before);
    EXPECT_EQ(links(p).size(), 1u);

    // A member taken out takes its lessons out with it.
    const auto m = members(p, link.LinkCode);
    ASSERT_EQ(m.size(), 3u);
    ASSERT_TRUE(RemoveLinkMember(p.t.dict(), m.front()));
    expectNoLessonHalfLinked(p);
}

TEST(LessonLinksWindow, TheTreeShowsLinksMembersAndLessonsAndKeepsWhatWasOpen) {
    app();
    Plan p;
    p.item(2, 1, 0);
    ASSERT_EQ(LinkAllGroupSubgroups(p.t.dict()), 2);
    LessonLinks w(p.t.dict());
    EXPECT_EQ(w.windowTitle(), u("Группы одновременных уроков"));
    QTreeWidget* tree = w.tree();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), u("Одновременные уроки"));
    ASSERT_EQ(root->childCount(), 2);
    QTreeWidgetItem* first = root->child(0);
    EXPECT_EQ(first->text(0), u("Английский в 5-А/1, 5-А/2"));
    EXPECT_EQ(first->childCount(), 0); // read only when opened
    first->setExpanded(true);
    ASSERT_EQ(first->childCount(), 2);
    EXPECT_EQ(first->child(0)->text(0), u("Английский 5-А /1"));
    first->child(0)->setExpanded(true);
    ASSERT_EQ(first->child(0)->childCount(), 1);
    EXPECT_EQ(first->child(0)->child(0)->text(0).trimmed(), QString());
    tree->setCurrentItem(first->child(0));

    // A rebuild reopens what was open and keeps the selection.
    w.rebuild();
    root = tree->topLevelItem(0);
    EXPECT_TRUE(root->child(0)->isExpanded());
    EXPECT_TRUE(root->child(0)->child(0)->isExpanded());
    EXPECT_EQ(tree->currentItem()->text(0), u("Английский 5-А /1"));
    EXPECT_EQ(w.selectedLink(), links(p).front().LinkCode);
    w.rebuild(0);
    EXPECT_FALSE(tree->topLevelItem(0)->child(0)->isExpanded());

    // Screen readers read the nodes.
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(tree);
    ASSERT_NE(a, nullptr);
    EXPECT_GT(a->childCount(), 0);

    // "Очистить все" asks, then leaves nothing.
    p.t.ui.answers = {Yes};
    w.clearAll();
    EXPECT_TRUE(links(p).empty());
    EXPECT_EQ(tree->topLevelItem(0)->childCount(), 0);
}

// A lecture of two groups, given by one teacher, lands in one cell.
TEST(LessonLinksWindow, ALectureLinkedInItsFormIsPlacedInOneCell) {
    app();
    Plan p;
    const TrainingCourse maths = p.item(1, 1, 0);
    const auto groups = p.t.dict().access<Group>().all(Group::GroupIdKey);
    for (const Schedule& s : p.entries(maths))
        p.take(s, 1);
    for (int d = 1; d <= 2; ++d) {
        Days day;
        day.DaySeqNumber = static_cast<Short>(d);
        day.DayName = d == 1 ? u("Понедельник") : u("Вторник");
        p.t.dict().access<Days>().insert(day);
    }
    for (int l = 1; l <= 2; ++l) {
        LessonBell b;
        b.LessonNo = QString::number(l);
        p.t.dict().access<LessonBell>().insert(b);
    }
    Room room;
    room.RoomCode = 1;
    room.RoomNo = u("101");
    p.t.dict().access<Room>().insert(room);
    RoomList rl;
    rl.TeacherCode = 1;
    rl.ScienceCode = 1;
    rl.RoomCode = 1;
    p.t.dict().access<RoomList>().insert(rl);

    UpdateLessonLink form(p.t.dict(), LsnLink{});
    form.addLesson(p.entries(maths, groups[0].GroupCode).front().rowId);
    form.addLesson(p.entries(maths, groups[1].GroupCode).front().rowId);
    EXPECT_EQ(form.nameEdit()->text(), u("Математика в 5-А, 5-Б"));
    EXPECT_EQ(form.members()->model()->rowCount(), 2);
    form.lecture()->setChecked(true);
    form.accept();
    ASSERT_EQ(links(p).size(), 1u);
    EXPECT_EQ(links(p).front().IsLecture, 1);

    pivrel::RecordingRunHost host;
    p.t.ui.answers = {Yes, Yes, Yes};
    p.t.glo().ProcessingDisabled = 0;
    const pivrel::PlacementResult r =
        pivrel::AutoPlacement(p.t.dict()).run(pivrel::TaskKind::All, 0, host);
    EXPECT_EQ(r.placed, 2);
    const auto placed = p.entries(maths);
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_FALSE(placed[0].isUnplaced());
    EXPECT_TRUE(placed[0].sameCell(placed[1]));
}
