// The placement log and the diagnostics switch.

#include "School.h"

#include "pivrel/engine/AutoPlacement.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace tamsel;
using namespace pivrel;
using namespace enginetest;

namespace {
QStringList logLines(TestFolder& t) {
    QFile f(t.file(PlacementLog::fileName()));
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList out = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    if (!out.isEmpty() && out.last().isEmpty()) out.removeLast();
    return out;
}
} // namespace

TEST(Log, WrittenOnlyWhenLoggingIsOnAndReopenedWhenClosed) {
    TestFolder t;
    PlacementLog log(t.dict());
    ASSERT_TRUE(log.OpenLog());
    log.AddLog(u("строка"));
    EXPECT_TRUE(logLines(t).isEmpty()); // "Logging" absent

    t.dict().settings().setNumber(u("Preserved"), u("Logging"), 0);
    log.AddLog(u("строка"));
    EXPECT_TRUE(logLines(t).isEmpty());

    t.dict().settings().setNumber(u("Preserved"), u("Logging"), 1);
    log.AddLog(u("первая"));
    log.AddLog(u("вторая"));
    EXPECT_EQ(logLines(t), QStringList({u("первая"), u("вторая")}));

    // Appending to a closed log reopens (and so empties) it.
    log.close();
    log.AddLog(u("третья"));
    EXPECT_EQ(logLines(t), QStringList({u("третья")}));
    // Opening empties it.
    log.OpenLog();
    EXPECT_TRUE(logLines(t).isEmpty());
}

TEST(Log, DumpLayout) {
    const QString header = PlacementLog::dumpHeader(0, QString());
    EXPECT_TRUE(header.startsWith(u("VariantQueue.VQ:LinkCode     VQ:Week         ")));
    EXPECT_EQ(header.indexOf(u("| ErrorCode() = ")) + 16, 377);
    EXPECT_TRUE(header.endsWith(u("| ErrorCode() = 0, Error() = ")));

    VariantQueueEntry v{-3, 2, 5, u("7"), 1, 2};
    TaskQueueEntry t;
    t.lesson.LinkCode = -3;
    t.lesson.ScienceCode = 12;
    t.lesson.TeacherCode = 4;
    t.lesson.GroupCode = 9;
    t.lesson.TrainingCourseItemCode = 31;
    t.lesson.CoupledLesson = 1;
    t.NumberOfSuchLessons = 2;
    t.NumberOfVariants = 40;
    t.Freedom = 38;
    const QString line = PlacementLog::dumpLine(v, 17, t, 1234);
    const QString sp8(8, QLatin1Char(' '));
    EXPECT_TRUE(line.startsWith(u("      17     ") + u("      -3") + sp8 + u("       2") + sp8));
    // Every column lines up with the header's 16-character columns.
    EXPECT_EQ(line.indexOf(u("| ")), header.indexOf(u("| TaskQueue")));
    EXPECT_EQ(line.mid(line.indexOf(u("| ")) + 2, 10), u("  1,234:  "));
    EXPECT_EQ(line.size(), header.indexOf(u("| ErrorCode")) + 2);
    EXPECT_EQ(line.mid(13 + 3 * 16, 16), u("     7          "));
}

TEST(Log, AutomaticPlacementLogsItsPlacementPhaseOnBothPaths) {
    for (EnginePath path : {EnginePath::Fast, EnginePath::Reference}) {
        TestFolder t;
        School s(t, 2, 2);
        s.science(1, u("Математика"));
        s.teacher(1, u("Иванова"));
        s.group(1, u("10"), u("А"));
        s.roomList(1, 1, 1, 10);
        s.lesson(1, 1, 1, 1);
        s.lesson(1, 1, 1, 1);
        t.dict().settings().setNumber(u("Preserved"), u("Logging"), 1);
        RecordingRunHost host;
        t.glo().ProcessingDisabled = 0;
        AutoPlacement(t.dict()).run(TaskKind::All, 0, host, path);
        const QStringList lines = logLines(t);
        ASSERT_EQ(lines.size(), 9); // two selections: line, dump header and data, placed
        EXPECT_EQ(lines[0], host.lines[host.lines.indexOf(u("Размещение уроков")) + 1]);
        EXPECT_TRUE(lines[1].startsWith(u("VariantQueue.")));
        EXPECT_TRUE(lines[2].startsWith(u("       1     ")));
        EXPECT_EQ(lines[2].mid(13, 8), u("      -1"));
        EXPECT_EQ(lines[8], u("АВТОМАТИЧЕСКАЯ РАССТАНОВКА УРОКОВ ЗАКОНЧЕНА"));
    }
}

TEST(Log, DebugProcSwitchesDiagnostics) {
    TestFolder t;
    School s(t, 1, 1);
    s.science(1, u("Математика"));
    s.teacher(1, u("Иванова"));
    s.group(1, u("10"), u("А"));
    const Schedule a = s.lesson(1, 1, 1, 1);
    QStringList windows;
    EngineHooks hooks;
    hooks.displayQueues = [&](const QString& m) { windows << m; };

    // Empty: nothing at all is shown.
    {
        Engine e(t.dict(), hooks);
        t.glo().ScheduleRecord = a;
        EXPECT_GE(e.SetLessonTo(1, 1, u("1"), 0, false, 0), 0);
        EXPECT_TRUE(t.ui.shown.isEmpty());
        EXPECT_TRUE(windows.isEmpty());
        EXPECT_FALSE(EngineDiagnosticsOn(t.dict()));
    }
    // Lower case names count; a listed name also enables the names it contains.
    t.glo().DebugProc = u("setlessonto, EstimateVariant_LLQ_i");
    EXPECT_TRUE(DebugProcEnabled(t.dict(), u("SetLessonTo")));
    EXPECT_TRUE(DebugProcEnabled(t.dict(), u("EstimateVariant_LLQ")));
    EXPECT_FALSE(DebugProcEnabled(t.dict(), u("EstimateVariant_E")));
    EXPECT_TRUE(EngineDiagnosticsOn(t.dict()));
    Engine e(t.dict(), hooks);
    t.glo().ScheduleRecord = s.byRow(a.rowId);
    e.SetLessonTo(0, 0, QString(), 0, false, 1);
    ASSERT_EQ(t.ui.shown.size(), 1);
    EXPECT_EQ(t.ui.shown[0].caption, u("SetLessonTo"));
    EXPECT_EQ(t.ui.shown[0].text,
              u("После BuildLinkLesQue()|Week = 0|DaySeqNumber = 0|LessonNo = "));
    EXPECT_EQ(windows, QStringList({u("SetLessonTo после BuildLinkLesQue()")}));
}

// An unwritable log asks once; "Игнорировать" lets the run go on without it, "Прервать" ends
// the run and asks the program to end.
TEST(Log, UnwritableLogAsksOnceAndAbortEndsTheRun) {
    for (EnginePath path : {EnginePath::Fast, EnginePath::Reference}) {
        for (bool abort : {false, true}) {
            SCOPED_TRACE(abort ? "abort" : "ignore");
            TestFolder t;
            School s(t, 2, 2);
            s.science(1, u("Математика"));
            s.teacher(1, u("Иванова"));
            s.group(1, u("10"), u("А"));
            s.roomList(1, 1, 1, 10);
            s.lesson(1, 1, 1, 1);
            s.lesson(1, 1, 1, 1);
            ASSERT_TRUE(QDir().mkpath(t.file(PlacementLog::fileName()))); // a folder in its place
            t.dict().settings().setNumber(u("Preserved"), u("Logging"), 1);
            if (abort) t.ui.stopAnswers << true;
            int aborts = 0;
            t.dict().onAbort = [&] { ++aborts; };
            RecordingRunHost host;
            t.glo().ProcessingDisabled = 0;
            const PlacementResult r = AutoPlacement(t.dict()).run(TaskKind::All, 0, host, path);
            int prompts = 0;
            for (const auto& shown : t.ui.shown)
                prompts += shown.kind == u("stop");
            EXPECT_EQ(prompts, 1);
            EXPECT_EQ(r.end,
                      abort ? PlacementResult::End::Aborted : PlacementResult::End::Finished);
            EXPECT_EQ(r.placed, abort ? 0 : 2);
            EXPECT_EQ(aborts, abort ? 1 : 0);
            EXPECT_EQ(t.dict().abortRequested(), abort);
            EXPECT_EQ(t.glo().ProcessingDisabled.load(), 1);
        }
    }
}
