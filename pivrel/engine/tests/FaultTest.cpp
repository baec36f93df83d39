// Writes that fail in the middle of a link: nothing of the link is written, by hand or in the
// automatic run, on both paths, and the failure is reported.

#include "School.h"
#include "TimetableChecker.h"

#include "SampleSchool.h"
#include "pivrel/engine/AutoPlacement.h"
#include "tamsel/TestFolder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace tamsel;
using namespace pivrel;
using namespace enginetest;

namespace {

/// Two groups whose lessons are linked, one more lesson of the first group, and rooms.
struct LinkedSchool {
    TestFolder t;
    School s{t, 2, 2};
    Schedule first, second, single;
    LinkedSchool() {
        s.science(1, u("Математика"));
        s.science(2, u("Физика"));
        s.twoOfEach("10");
        s.roomList(1, 1, 1, 10);
        s.roomList(2, 2, 2, 10);
        s.link(7, u("Пара"));
        s.comp(7, 1, 1, 0);
        s.comp(7, 2, 2, 0);
        first = s.lesson(1, 1, 1, 1, 0, 7);
        second = s.lesson(2, 2, 2, 2, 0, 7);
        single = s.lesson(3, 2, 2, 1);
    }
    /// Every transaction on SCHEDULE refuses to write the second lesson of the link.
    void refuseSecond(const char* error) {
        const QByteArray sql =
            "CREATE TEMP TRIGGER refuse BEFORE UPDATE ON main.SCHEDULE WHEN old.rowid = " +
            QByteArray::number(second.rowId) + " BEGIN SELECT RAISE(ABORT, '" + error + "'); END";
        t.store().transactionHook = [sql](sqlite3* db, const std::vector<FileId>& files) {
            if (!files.empty() && files.front() == FileId::Schedule)
                sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
        };
    }
};

} // namespace

TEST(Faults, ALinkWhoseSecondLessonCannotBeWrittenIsNotWrittenByHand) {
    for (const char* error : {"disk I/O error", "database or disk is full"}) {
        LinkedSchool x;
        x.refuseSecond(error);
        const QByteArray before = x.s.scheduleBytes();
        x.t.glo().ScheduleRecord = x.first;
        EXPECT_EQ(Engine(x.t.dict()).SetLessonTo(1, 1, u("1"), 0, true, 0), Refusal::WriteFailed);
        EXPECT_EQ(x.s.scheduleBytes(), before) << error;
        EXPECT_FALSE(x.t.ui.shown.isEmpty()) << "the refusal is reported";
    }
}

TEST(Faults, ALinkWhoseSecondLessonCannotBeWrittenIsNotWrittenInTheAutomaticRun) {
    for (EnginePath path : {EnginePath::Fast, EnginePath::Reference}) {
        SCOPED_TRACE(path == EnginePath::Fast ? "fast" : "reference");
        LinkedSchool x;
        x.refuseSecond("disk I/O error");
        x.t.ui.answers << Yes;
        RecordingRunHost host;
        x.t.glo().ProcessingDisabled = 0;
        const PlacementResult r = AutoPlacement(x.t.dict()).run(TaskKind::All, 0, host, path);
        EXPECT_EQ(r.end, PlacementResult::End::Failed);
        EXPECT_TRUE(x.s.byRow(x.first.rowId).isUnplaced()) << "half a link was written";
        EXPECT_TRUE(x.s.byRow(x.second.rowId).isUnplaced());
        EXPECT_FALSE(host.lines.contains(u("     Уроки размещены в Понедельник     урок № 1")));
        EXPECT_TRUE(sound(checkTimetable(x.t.dict())));
    }
}

TEST(Faults, ADiskThatFillsUpInTheAutomaticRunStopsItWithEveryLinkWholeAndSaysSo) {
    for (EnginePath path : {EnginePath::Fast, EnginePath::Reference}) {
        SCOPED_TRACE(path == EnginePath::Fast ? "fast" : "reference");
        TestFolder t;
        sample::SampleOptions o;
        o.size = sample::SchoolSize::Small;
        QString error;
        ASSERT_TRUE(sample::GenerateSampleSchool(t.dict(), o, nullptr, &error))
            << error.toStdString();
        ASSERT_TRUE(t.dict().loadSettings());
        // The timetable file may not grow by a single page, as on a disk with no room left.
        t.store().transactionHook = [](sqlite3* db, const std::vector<FileId>& files) {
            if (std::find(files.begin(), files.end(), FileId::Schedule) == files.end()) return;
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(db, "PRAGMA main.page_count", -1, &st, nullptr);
            const int pages = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : 0;
            sqlite3_finalize(st);
            sqlite3_exec(db,
                         ("PRAGMA main.max_page_count=" + QByteArray::number(pages)).constData(),
                         nullptr, nullptr, nullptr);
        };
        t.ui.answers = {Yes, Yes, Yes};
        RecordingRunHost host;
        t.glo().ProcessingDisabled = 0;
        const PlacementResult r = AutoPlacement(t.dict()).run(TaskKind::All, 0, host, path);
        t.store().transactionHook = nullptr;
        EXPECT_EQ(r.end, PlacementResult::End::Failed)
            << "a run that could not write ended as done";
        bool toldFull = false;
        for (const auto& m : t.ui.shown)
            toldFull = toldFull || m.text.contains(u("переполн")) || m.text.contains(u("full"));
        EXPECT_TRUE(toldFull) << "the full disk is not named: " << t.ui.last().toStdString();
        EXPECT_TRUE(sound(checkTimetable(t.dict())));
    }
}
