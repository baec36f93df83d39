// The plan, its entries and the links kept together across operations that each looked sound
// alone: hours of a linked kind, deleted items and groups whose codes come back, a link stored
// without members, a plan write refused after its entries were corrected. And the independent
// lesson checker finds each rule it states broken.

#include "ombrel/Links.h"
#include "ombrel/windows/UpdateLessonLink.h"

#include "LessonChecker.h"
#include "PlanSchool.h"

#include <QLineEdit>
#include <sqlite3.h>

using namespace tamsel;
using namespace ombrel;
using namespace plantest;
using lessontest::checkLessons;
using lessontest::lessonsSound;

namespace {

Group groupNamed(Plan& p, const QString& id) {
    for (const Group& g : p.t.dict().access<Group>().all(Group::GroupIdKey))
        if (g.GroupId() == id) return g;
    return {};
}

/// Runs `sql` on one data file directly, as a damaged or hand-edited file would be.
void onFile(Plan& p, FileId id, const char* sql) {
    p.t.store().closeAll();
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(p.t.store().diskName(id)).constData(), &db);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

} // namespace

TEST(LessonData, NewHoursOfALinkedKindJoinItsLinkAndLinkingLaterStillWorks) {
    Plan p;
    TrainingCourse english = p.item(2, 2, 2);
    const Group a = groupNamed(p, u("5-А"));
    ASSERT_EQ(LinkGroupSubgroups(p.t.dict(), a), 1);
    ASSERT_TRUE(lessonsSound(checkLessons(p.t.dict())));
    // 5-А's English goes up a single hour and a pair: the new lessons are in the link with the
    // old ones, 5-Б's (never linked) stay out.
    ASSERT_EQ(p.change(english, 3, 4).result, 0);
    EXPECT_TRUE(lessonsSound(checkLessons(p.t.dict())));
    const Short code = p.entries(english, a.GroupCode, 1).front().LinkCode;
    ASSERT_NE(code, 0);
    for (const Schedule& s : p.entries(english, a.GroupCode))
        EXPECT_EQ(s.LinkCode, code);
    // 5-Б can still be linked: none of its lessons is in a link.
    EXPECT_EQ(LinkGroupSubgroups(p.t.dict(), groupNamed(p, u("5-Б"))), 1);
    EXPECT_TRUE(lessonsSound(checkLessons(p.t.dict())));
}

TEST(LessonData, DeletedItemsAndGroupsTakeTheirMembersAndTheirCodesComeBackClean) {
    Plan p;
    const TrainingCourse english = p.item(2, 2, 0);
    const Group b = groupNamed(p, u("5-Б"));
    ASSERT_EQ(LinkAllGroupSubgroups(p.t.dict()), 2);
    ASSERT_EQ(p.t.dict().access<LsnLinkComp>().count(), 4);

    // 5-Б goes; a new group gets its code back and must not inherit its members.
    ASSERT_TRUE(p.rel.remove(b).ok());
    EXPECT_TRUE(lessonsSound(checkLessons(p.t.dict())));
    Group again = p.t.dict().access<Group>().prime();
    again.Course = u("5");
    again.Defis = u("-");
    again.Literal = u("В");
    again.StreamCode = 1;
    ASSERT_TRUE(p.rel.insert(again).ok());
    ASSERT_EQ(again.GroupCode, b.GroupCode) << "the code is given again";
    EXPECT_TRUE(lessonsSound(checkLessons(p.t.dict())));

    // The English plan item goes; the next item takes its code and its lessons link freely.
    ASSERT_TRUE(p.rel.remove(english).ok());
    EXPECT_TRUE(lessonsSound(checkLessons(p.t.dict())));
    EXPECT_EQ(p.t.dict().access<LsnLinkComp>().count(), 0);
    const TrainingCourse next = p.item(2, 1, 0);
    ASSERT_EQ(next.TrainingCourseItemCode, english.TrainingCourseItemCode);
    EXPECT_TRUE(lessonsSound(checkLessons(p.t.dict())));
    LsnLink byHand;
    EXPECT_TRUE(AddToLinkList(p.t.dict(), byHand, p.entries(next, again.GroupCode, 1).front()));
    EXPECT_TRUE(lessonsSound(checkLessons(p.t.dict())));
}

TEST(LessonData, ALinkConfirmedWithoutMembersGetsACodeAndCanBeFoundAgain) {
    app();
    Plan p;
    for (const char* name : {"Лекция по истории", "Лекция по биологии"}) {
        UpdateLessonLink form(p.t.dict(), LsnLink{});
        form.nameEdit()->setText(u(name));
        form.accept();
        EXPECT_TRUE(p.t.ui.shown.isEmpty()) << p.t.ui.last().toStdString();
        EXPECT_NE(form.link().LinkCode, 0);
    }
    const auto all = p.t.dict().access<LsnLink>().all(LsnLink::NameKey);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_NE(all[0].LinkCode, all[1].LinkCode);
    EXPECT_TRUE(lessonsSound(checkLessons(p.t.dict())));
}

TEST(LessonData, ARefusedPlanWriteLeavesTheEntriesAsTheyWere) {
    Plan p;
    TrainingCourse maths = p.item(1, 4, 0);
    const QByteArray before = p.folderDigest();
    p.t.store().transactionHook = [](sqlite3* db, const std::vector<FileId>&) {
        sqlite3_exec(db,
                     "CREATE TEMP TRIGGER refuse BEFORE UPDATE ON TRAININGCOURSE BEGIN "
                     "SELECT RAISE(ABORT, 'disk I/O error'); END",
                     nullptr, nullptr, nullptr);
    };
    const ScheduleUpdate r = p.change(maths, 6, 0);
    p.t.store().transactionHook = nullptr;
    EXPECT_EQ(r.result, 5);
    EXPECT_FALSE(p.t.ui.shown.isEmpty()) << "the refused write is reported";
    EXPECT_TRUE(lessonsSound(checkLessons(p.t.dict())));
    EXPECT_EQ(p.folderDigest(), before);
}

TEST(LessonChecker, FindsEachBrokenRule) {
    const struct {
        FileId file;
        const char* sql;
        const char* rule;
    } faults[] = {
        {FileId::Schedule, "DELETE FROM SCHEDULE WHERE rowid = (SELECT max(rowid) FROM SCHEDULE)",
         "entries differ from the plan"},
        {FileId::Schedule, "UPDATE SCHEDULE SET SubGroupNum = 0 WHERE rowid = 1",
         "entries the plan does not ask for"},
        {FileId::Schedule, "UPDATE SCHEDULE SET LinkCode = 0 WHERE rowid = 1",
         "entry half in a link"},
        {FileId::LsnLink, "DELETE FROM LSNLINK", "member of no link"},
        {FileId::LsnLinkComp, "UPDATE LSNLINKCOMP SET GroupCode = 9", "member without its"},
        {FileId::LsnLinkComp, "UPDATE LSNLINKCOMP SET SubGroupNum = 3 WHERE SubGroupNum = 2",
         "member outside its subject's division"},
        {FileId::LsnLink, "UPDATE LSNLINK SET LinkCode = 0", "link without a code"},
        {FileId::Schedule, "UPDATE SCHEDULE SET TeacherCode = 77 WHERE rowid = 2",
         "entry of a deleted object"},
        {FileId::Schedule, "UPDATE SCHEDULE SET Week = 1, DaySeqNumber = 1, LessonNo = '  1'",
         "entry placed on a deleted day or bell"},
        {FileId::Schedule,
         "UPDATE SCHEDULE SET Week = 1, DaySeqNumber = 1, LessonNo = '  1' WHERE rowid = "
         "(SELECT min(rowid) FROM SCHEDULE WHERE CoupledLesson = 1 AND LinkCode = 0)",
         "pair split"},
    };
    for (const auto& f : faults) {
        Plan p;
        p.item(2, 1, 2);
        ASSERT_EQ(LinkGroupSubgroups(p.t.dict(), groupNamed(p, u("5-А"))), 1);
        ASSERT_TRUE(lessonsSound(checkLessons(p.t.dict())));
        onFile(p, f.file, f.sql);
        const QStringList found = checkLessons(p.t.dict());
        EXPECT_TRUE(found.filter(u(f.rule)).size() > 0)
            << f.rule << " not found in:\n"
            << found.join(QLatin1Char('\n')).toStdString();
    }
}
