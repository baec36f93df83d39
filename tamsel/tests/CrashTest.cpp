// A process killed anywhere inside a cascade's commit must leave the files agreeing.

#include "SchoolFixture.h"

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tamsel;
using namespace tamsel::test;

namespace {

// A VFS that passes everything to the real one and ends the process abruptly at the n-th
// write, sync, truncate or delete: the points where a power cut or a kill can land.
int g_killAt = 0;
int g_count = 0;
sqlite3_vfs* g_real = nullptr;

void point() {
    if (++g_count == g_killAt) _exit(77);
}

struct ShimFile {
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_file* realOf(sqlite3_file* f) { return reinterpret_cast<ShimFile*>(f)->real; }

int xClose(sqlite3_file* f) {
    const int rc = realOf(f)->pMethods ? realOf(f)->pMethods->xClose(realOf(f)) : SQLITE_OK;
    return rc;
}
int xRead(sqlite3_file* f, void* p, int n, sqlite3_int64 o) { return realOf(f)->pMethods->xRead(realOf(f), p, n, o); }
int xWrite(sqlite3_file* f, const void* p, int n, sqlite3_int64 o) {
    point();
    return realOf(f)->pMethods->xWrite(realOf(f), p, n, o);
}
int xTruncate(sqlite3_file* f, sqlite3_int64 s) {
    point();
    return realOf(f)->pMethods->xTruncate(realOf(f), s);
}
int xSync(sqlite3_file* f, int flags) {
    point();
    return realOf(f)->pMethods->xSync(realOf(f), flags);
}
int xFileSize(sqlite3_file* f, sqlite3_int64* s) { return realOf(f)->pMethods->xFileSize(realOf(f), s); }
int xLock(sqlite3_file* f, int l) { return realOf(f)->pMethods->xLock(realOf(f), l); }
int xUnlock(sqlite3_file* f, int l) { return realOf(f)->pMethods->xUnlock(realOf(f), l); }
int xCheckReservedLock(sqlite3_file* f, int* r) { return realOf(f)->pMethods->xCheckReservedLock(realOf(f), r); }
int xFileControl(sqlite3_file* f, int op, void* a) { return realOf(f)->pMethods->xFileControl(realOf(f), op, a); }
int xSectorSize(sqlite3_file* f) { return realOf(f)->pMethods->xSectorSize(realOf(f)); }
int xDeviceCharacteristics(sqlite3_file* f) { return realOf(f)->pMethods->xDeviceCharacteristics(realOf(f)); }

const sqlite3_io_methods shimMethods = {1, xClose, xRead, xWrite, xTruncate, xSync, xFileSize,
                                        xLock, xUnlock, xCheckReservedLock, xFileControl,
                                        xSectorSize, xDeviceCharacteristics,
                                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

int vOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* out) {
    auto* s = reinterpret_cast<ShimFile*>(f);
    s->real = reinterpret_cast<sqlite3_file*>(s + 1);
    const int rc = g_real->xOpen(g_real, name, s->real, flags, out);
    s->base.pMethods = rc == SQLITE_OK ? &shimMethods : nullptr;
    return rc;
}
int vDelete(sqlite3_vfs*, const char* name, int sync) {
    point();
    return g_real->xDelete(g_real, name, sync);
}
int vAccess(sqlite3_vfs*, const char* n, int f, int* r) { return g_real->xAccess(g_real, n, f, r); }
int vFullPathname(sqlite3_vfs*, const char* n, int sz, char* out) { return g_real->xFullPathname(g_real, n, sz, out); }
int vRandomness(sqlite3_vfs*, int n, char* out) { return g_real->xRandomness(g_real, n, out); }
int vSleep(sqlite3_vfs*, int us) { return g_real->xSleep(g_real, us); }
int vCurrentTime(sqlite3_vfs*, double* t) { return g_real->xCurrentTime(g_real, t); }

void installShim(int killAt) {
    g_killAt = killAt;
    g_count = 0;
    g_real = sqlite3_vfs_find(nullptr);
    static sqlite3_vfs shim;
    shim = sqlite3_vfs{};
    shim.iVersion = 1;
    shim.szOsFile = static_cast<int>(sizeof(ShimFile)) + g_real->szOsFile;
    shim.mxPathname = g_real->mxPathname;
    shim.zName = "crashshim";
    shim.xOpen = vOpen;
    shim.xDelete = vDelete;
    shim.xAccess = vAccess;
    shim.xFullPathname = vFullPathname;
    shim.xRandomness = vRandomness;
    shim.xSleep = vSleep;
    shim.xCurrentTime = vCurrentTime;
    shim.xDlOpen = nullptr;
    sqlite3_vfs_register(&shim, 1);
}

} // namespace

TEST(Crash, KilledAtAnyPointOfACascadeLeavesFilesAgreeing) {
    // The school: two groups with lessons, some placed, and restrictions.
    School s;
    const Short st = s.stream("Общий");
    s.course("5");
    const Group a = s.group("5", "А", st);
    s.group("5", "Б", st);
    s.item(s.science("Математика"), "5", st, 3, 2);
    s.item(s.science("Русский язык"), "5", st, 4, 0);
    for (int d = 1; d <= 3; ++d) s.restrict(ObjectType::Group, a.GroupCode, 1, static_cast<Short>(d), "1", 2);
    s.t.store().closeAll();
    const QString dir = s.t.path();
    const int lessonsOfA = 9, lessonsTotal = 18;

    int completedAt = 0;
    for (int k = 1; k < 400 && !completedAt; ++k) {
        // Start each run from the same files.
        const QString run = dir + QStringLiteral("/run");
        QDir(run).removeRecursively();
        QDir().mkpath(run);
        for (const QString& f : QDir(dir).entryList({QStringLiteral("*.db")}, QDir::Files))
            QFile::copy(dir + QLatin1Char('/') + f, run + QLatin1Char('/') + f);

        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            installShim(k);
            Dictionary dict(run);
            Relations rel(dict);
            FileUse use(dict.store(), FileId::Group);
            Group g = dict.access<Group>().fetch(Group::GroupCodeKey, a);
            const Outcome o = rel.remove(g);
            _exit(o.ok() ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        const int code = WEXITSTATUS(status);
        ASSERT_TRUE(code == 0 || code == 77) << "run " << k << " ended with " << code;
        if (code == 0) completedAt = k;

        // Another process opens the files afterwards: hot journals are resolved, every file
        // passes the integrity check, and the cascade happened wholly or not at all.
        Dictionary after(run);
        RecordingUserInterface ui;
        after.setUserInterface(ui);
        FileUse g(after.store(), FileId::Group), sch(after.store(), FileId::Schedule),
            rst(after.store(), FileId::Restriction);
        ASSERT_TRUE(g && sch && rst) << "run " << k << ": " << ui.last().toStdString();
        for (FileId f : {FileId::Group, FileId::Schedule, FileId::Restriction}) {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(after.store().file(f).connection(), "PRAGMA integrity_check", -1, &st, nullptr);
            ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
            EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok") << "run " << k;
            sqlite3_finalize(st);
        }
        const bool groupGone = !after.access<Group>().exists(Group::GroupCodeKey, a);
        int lessonsLeftOfA = 0, total = 0;
        for (const Schedule& l : after.access<Schedule>().all(Schedule::ItemCode)) {
            ++total;
            lessonsLeftOfA += l.GroupCode == a.GroupCode;
        }
        const auto restrictions = after.access<Restriction>().all(Restriction::ObjectIdKey);
        if (groupGone) {
            EXPECT_EQ(lessonsLeftOfA, 0) << "run " << k << ": orphan lessons";
            EXPECT_EQ(total, lessonsTotal - lessonsOfA);
            EXPECT_TRUE(restrictions.empty()) << "run " << k << ": orphan restrictions";
        } else {
            EXPECT_EQ(lessonsLeftOfA, lessonsOfA) << "run " << k;
            EXPECT_EQ(total, lessonsTotal);
            EXPECT_EQ(restrictions.size(), 3u);
        }
        if (code == 0) {
            EXPECT_TRUE(groupGone);
        }
    }
    EXPECT_GT(completedAt, 5) << "the kill points covered the whole operation";
}
