// The fast path against the reference path on generated schools, and an independent check of
// the timetable written.

#include "School.h"
#include "TimetableChecker.h"

#include "SampleSchool.h"
#include "pivrel/engine/AutoPlacement.h"
#include "tamsel/Relations.h"

#include <QDir>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sqlite3.h>
#include <tuple>

using namespace tamsel;
using namespace pivrel;
using namespace enginetest;

namespace {

struct Result {
    QStringList lines;
    QList<int> values;
    std::vector<Schedule> schedule;
    std::vector<TaskQueueEntry> tasks;
    std::vector<VariantQueueEntry> variants;
    QStringList shown;
};

struct Params {
    quint32 seed;
    short weeks;
    short kind = TaskKind::All;
    short code = 0;
    int groups = 6;
};

/// One automatic placement in a folder that holds a school, recorded for comparison.
Result place(TestFolder& t, short kind, short code, EnginePath path) {
    t.ui.answers << Yes;
    RecordingRunHost host;
    t.glo().ProcessingDisabled = 0;
    // The reference path commits every placement; waiting for the disk each time would make
    // these comparisons take minutes and prove nothing more.
    const TimetableBefore before = recordTimetable(t.dict());
    t.store().beginBatch();
    AutoPlacement placement(t.dict());
    placement.run(kind, code, host, path);
    // A switch that silently took one path would make every comparison pass.
    EXPECT_EQ(placement.usedReference(), path == EnginePath::Reference);
    EXPECT_TRUE(t.store().endBatch());
    // Both paths agreeing is not enough: the timetable must be sound by an independent check.
    EXPECT_TRUE(sound(checkTimetable(t.dict(), &before)))
        << (path == EnginePath::Fast ? "fast path" : "reference path");
    Result r;
    r.lines = host.lines;
    r.values = host.values;
    {
        FileUse use(t.store(), FileId::Schedule);
        r.schedule = t.dict().access<Schedule>().all(Schedule::ItemCode);
    }
    r.tasks = t.glo().TaskQueue.items;
    r.variants = t.glo().VariantQueue.items;
    r.shown = t.ui.texts();
    t.store().closeAll();
    return r;
}

/// A small random school, with one lesson placed by hand so that the run starts from a
/// partial timetable.
void randomSchoolIn(TestFolder& t, const Params& p) {
    School s(t, 4, 5, p.weeks);
    randomSchool(s, p.seed, p.groups, 8, 6, 12, p.weeks, 4, 5);
    s.lesson(90, 1, 1, 1, 0, 0, 0, 1, 1, 1, u("1"));
}

bool sameLesson(const Schedule& a, const Schedule& b) {
    return a.rowId == b.rowId && a.Week == b.Week && a.DaySeqNumber == b.DaySeqNumber &&
           a.LessonNo == b.LessonNo && a.ScienceCode == b.ScienceCode &&
           a.TeacherCode == b.TeacherCode && a.GroupCode == b.GroupCode &&
           a.SubGroupNum == b.SubGroupNum && a.RoomCode == b.RoomCode &&
           a.TrainingCourseItemCode == b.TrainingCourseItemCode &&
           a.CoupledLesson == b.CoupledLesson && a.LinkCode == b.LinkCode;
}

/// Every file of a working folder by name, with its bytes.
std::map<QString, QByteArray> folderFiles(const QString& dir) {
    std::map<QString, QByteArray> out;
    for (const QString& name : QDir(dir).entryList(QDir::Files)) {
        QFile f(QDir(dir).filePath(name));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        out[name] = f.readAll();
    }
    return out;
}

/// Runs both paths on twin folders (`build` makes the same school in each) and requires the
/// same progress, messages, queues, placements and data files.
void compare(const std::function<void(TestFolder&)>& build, short kind, short code,
             const QString& what) {
    SCOPED_TRACE(what.toStdString());
    TestFolder ft, rt;
    build(ft);
    build(rt);
    if (::testing::Test::HasFatalFailure()) return;
    const Result fast = place(ft, kind, code, EnginePath::Fast);
    const Result ref = place(rt, kind, code, EnginePath::Reference);
    EXPECT_EQ(fast.lines, ref.lines);
    EXPECT_EQ(fast.values, ref.values);
    EXPECT_EQ(fast.shown, ref.shown);
    ASSERT_EQ(fast.schedule.size(), ref.schedule.size());
    for (size_t i = 0; i < fast.schedule.size(); ++i)
        EXPECT_TRUE(sameLesson(fast.schedule[i], ref.schedule[i]))
            << "row " << ref.schedule[i].rowId;
    ASSERT_EQ(fast.tasks.size(), ref.tasks.size());
    for (size_t i = 0; i < fast.tasks.size(); ++i) {
        const auto& a = fast.tasks[i];
        const auto& b = ref.tasks[i];
        EXPECT_TRUE(sameLesson(a.lesson, b.lesson) &&
                    a.NumberOfSuchLessons == b.NumberOfSuchLessons &&
                    a.NumberOfVariants == b.NumberOfVariants && a.Freedom == b.Freedom)
            << "task entry " << i;
    }
    EXPECT_TRUE(fast.variants == ref.variants);
    int placedLines = static_cast<int>(fast.lines.filter(u("размещен")).size());
    EXPECT_GT(placedLines, 0);

    // The files themselves, byte for byte: the same records written in the same order. The
    // fast path commits its placements in groups, so only the file change counter in the
    // header (and its copy, the version-valid-for number) may differ.
    auto withoutCounter = [](std::map<QString, QByteArray> files) {
        for (auto& [name, bytes] : files)
            if (bytes.startsWith("SQLite format 3") && bytes.size() >= 100) {
                bytes.replace(24, 4, QByteArray(4, '\0'));
                bytes.replace(92, 4, QByteArray(4, '\0'));
            }
        return files;
    };
    const auto fastFiles = withoutCounter(folderFiles(ft.path()));
    const auto refFiles = withoutCounter(folderFiles(rt.path()));
    ASSERT_EQ(fastFiles.size(), refFiles.size());
    for (const auto& [name, bytes] : refFiles) {
        const auto it = fastFiles.find(name);
        ASSERT_NE(it, fastFiles.end()) << name.toStdString();
        EXPECT_TRUE(it->second == bytes) << name.toStdString() << " differs";
    }
}

void compare(const Params& p) {
    compare([&](TestFolder& t) { randomSchoolIn(t, p); }, p.kind, p.code,
            QStringLiteral("random school, seed %1 weeks %2 kind %3")
                .arg(p.seed)
                .arg(p.weeks)
                .arg(p.kind));
}

/// Half a small sample school in `t`, generated once per seed and cycle and copied afterwards.
void sampleSchoolIn(TestFolder& t, quint32 seed, int weeks) {
    static std::map<std::pair<quint32, int>, std::unique_ptr<TestFolder>> made;
    auto& original = made[{seed, weeks}];
    if (!original) {
        original = std::make_unique<TestFolder>();
        sample::SampleOptions o;
        o.size = sample::SchoolSize::Small;
        o.weeks = weeks;
        o.seed = seed;
        QString error;
        ASSERT_TRUE(sample::GenerateSampleSchool(original->dict(), o, nullptr, &error))
            << error.toStdString();
        // Every second group goes, with its lessons, restrictions and link members, as the
        // group list deletes one: the reference path reads the files for every check and
        // would take most of a minute on the whole school.
        Dictionary& dict = original->dict();
        std::vector<Group> groups;
        {
            FileUse use(dict.store(), FileId::Group);
            groups = dict.access<Group>().all(Group::GroupCodeKey);
        }
        Relations rel(dict);
        rel.setReporting(false);
        ASSERT_TRUE(rel.open(FileId::Group));
        for (size_t i = 1; i < groups.size(); i += 2)
            ASSERT_TRUE(rel.remove(groups[i]).ok());
        rel.close(FileId::Group);
        original->store().closeAll();
    }
    for (const QString& name : QDir(original->path()).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(QDir(original->path()).filePath(name), t.file(name)));
    ASSERT_TRUE(t.dict().loadSettings());
    ASSERT_EQ(t.glo().WeeksInCycle, weeks);
}

} // namespace

TEST(Differential, SampleSchools) {
    for (quint32 seed : {1u, 2u})
        for (int weeks : {1, 3})
            compare([&](TestFolder& t) { sampleSchoolIn(t, seed, weeks); }, TaskKind::All, 0,
                    QStringLiteral("sample school, seed %1 weeks %2").arg(seed).arg(weeks));
}

TEST(Differential, WholeSchoolOneWeek) {
    for (quint32 seed : {1u, 2u, 3u})
        compare(Params{seed, 1});
}

TEST(Differential, WholeSchoolThreeWeeks) {
    for (quint32 seed : {4u, 5u})
        compare(Params{seed, 3});
}

TEST(Differential, OneTeacherOneGroupOneSubject) {
    compare(Params{6, 1, TaskKind::Teacher, 2});
    compare(Params{7, 2, TaskKind::Group, 2});
    compare(Params{8, 1, TaskKind::Science, 7});
}
TEST(Differential, SelectedLessonVariants) {
    TestFolder t;
    School s(t, 4, 5, 2);
    randomSchool(s, 9, 6, 8, 6, 12, 2, 4, 5);
    RecordingRunHost host;
    t.glo().ProcessingDisabled = 0;
    t.ui.answers << Yes;
    AutoPlacement(t.dict()).run(TaskKind::All, 0, host);
    t.glo().ShowLessonRestrictions = 1;
    t.glo().GoToSelectedObject = 0;
    int compared = 0;
    for (const Schedule& x : s.schedule()) {
        if (x.rowId % 7 != 0) continue;
        Engine(t.dict()).ProcessNewLessonSelection(0, x);
        const auto ref = t.glo().VariantQueue.items;
        ProcessNewLessonSelection(t.dict(), 0, x);
        EXPECT_TRUE(t.glo().VariantQueue.items == ref) << "row " << x.rowId;
        ++compared;
    }
    EXPECT_GT(compared, 5);
}

// A lesson left unplaced with a room of its own (kept from an earlier placement or set in
// the files) is a lesson of its own: placing it moves that very record, not its twin
// without a room.
TEST(Differential, AnUnplacedLessonKeepingARoomIsTheOneItsTaskPlaces) {
    auto build = [](TestFolder& t) {
        School s(t, 4, 5, 1);
        randomSchool(s, 11, 6, 8, 6, 12, 1, 4, 5);
        for (const Schedule& x : s.schedule())
            if (x.LinkCode == 0 && x.CoupledLesson == 0 && x.SubGroupNum == 0)
                s.lesson(x.TrainingCourseItemCode, x.ScienceCode, x.TeacherCode, x.GroupCode, 0, 0,
                         0, static_cast<Long>(1 + x.TrainingCourseItemCode % 6));
    };
    compare(build, TaskKind::All, 0, QStringLiteral("unplaced lessons keeping a room"));
}

// A lesson whose link code was taken away (by hand in the files, or by an older program)
// stays out of the link: only lessons that belong to a link move with it, and every
// "Урок размещен" line stands for a lesson written.
TEST(Differential, ALessonTakenOutOfItsLinkStaysOutOfIt) {
    RowId taken = 0;
    auto build = [&](TestFolder& t) {
        sampleSchoolIn(t, 2, 1);
        FileUse use(t.store(), FileId::Schedule);
        auto sch = t.dict().access<Schedule>();
        Schedule first;
        for (const Schedule& s : sch.all(Schedule::ItemCode))
            if (s.LinkCode > 0 && (first.rowId == 0 || s.rowId < first.rowId)) first = s;
        ASSERT_GT(first.rowId, 0);
        first.LinkCode = 0;
        ASSERT_TRUE(sch.update(first).ok());
        taken = first.rowId;
    };
    compare(build, TaskKind::All, 0, QStringLiteral("a lesson out of its link"));

    TestFolder t;
    build(t);
    const Result r = place(t, TaskKind::All, 0, EnginePath::Fast);
    int singles = 0;
    std::set<std::tuple<Short, Short, Short, QString>> sittings;
    for (const Schedule& s : r.schedule) {
        if (s.isUnplaced()) continue;
        if (s.LinkCode == 0)
            ++singles;
        else
            sittings.insert({s.LinkCode, s.Week, s.DaySeqNumber, s.LessonNo});
    }
    EXPECT_EQ(r.lines.filter(QStringLiteral("     Урок размещен")).size(), singles);
    EXPECT_EQ(r.lines.filter(QStringLiteral("     Уроки размещены")).size(),
              static_cast<qsizetype>(sittings.size()));
    for (const Schedule& s : r.schedule)
        if (s.rowId == taken) {
            EXPECT_EQ(s.LinkCode, 0);
        }
}
