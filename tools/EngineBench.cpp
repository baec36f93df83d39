// Times the automatic placement on a generated school until the shared benchmark program
// takes these rows: fast path on a large school (1 and 20 weeks), reference path on a small
// one, one lesson's variants, and the share of lessons placed.

#include "../pivrel/engine/tests/School.h"

#include "pivrel/engine/AutoPlacement.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

using namespace tamsel;
using namespace pivrel;
using namespace enginetest;

namespace {

struct Row {
    double ms;
    int placed, total;
};

Row once(int groups, int teachers, int rooms, int hours, short weeks, EnginePath path) {
    TestFolder t;
    {
        School s(t, 6, 8, weeks);
        randomSchool(s, 11, groups, teachers, rooms, hours, weeks, 6, 8);
    }
    t.dict().store().closeAll();
    RecordingRunHost host;
    t.ui.answers << Yes;
    QElapsedTimer clock;
    clock.start();
    t.glo().ProcessingDisabled = 0;
    AutoPlacement(t.dict()).run(TaskKind::All, 0, host, path);
    t.dict().store().closeAll();
    Row r{clock.nsecsElapsed() / 1e6, 0, 0};
    FileUse use(t.store(), FileId::Schedule);
    for (const Schedule& x : t.dict().access<Schedule>().all(Schedule::ItemCode)) {
        ++r.total;
        r.placed += x.isUnplaced() ? 0 : 1;
    }
    return r;
}

void line(const char* what, int groups, int teachers, int rooms, int hours, short weeks,
          EnginePath path, int runs) {
    std::vector<double> ms;
    Row last{};
    for (int i = 0; i < runs; ++i) {
        last = once(groups, teachers, rooms, hours, weeks, path);
        ms.push_back(last.ms);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s %2d weeks  median %9.1f ms  placed %d of %d (%.1f%%)\n", what, weeks,
                ms[ms.size() / 2], last.placed, last.total, 100.0 * last.placed / last.total);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    line("automatic placement, 60 groups (fast)", 60, 100, 70, 30, 1, EnginePath::Fast, 5);
    line("automatic placement, 60 groups (fast)", 60, 100, 70, 30, 20, EnginePath::Fast, 5);
    line("automatic placement, 10 groups (reference)", 10, 20, 12, 28, 1, EnginePath::Reference, 1);
    {
        TestFolder t;
        School s(t, 6, 8, 20);
        randomSchool(s, 11, 60, 100, 70, 30, 20, 6, 8);
        t.glo().ShowLessonRestrictions = 1;
        t.glo().GoToSelectedObject = 0;
        const auto all = s.schedule();
        std::vector<double> ms;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer c;
            c.start();
            ProcessNewLessonSelection(t.dict(), 0, all[size_t(i * 97 % all.size())]);
            ms.push_back(c.nsecsElapsed() / 1e6);
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%-44s 20 weeks  median %9.1f ms\n", "ProcessNewLessonSelection, 60 groups", ms[2]);
    }
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("peak memory %.1f MB\n", ru.ru_maxrss / 1024.0);
    return 0;
}
