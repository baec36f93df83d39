#include "tamsel/TestFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace tamsel;

namespace {
/// The lessons as another program reads them: every column of every row, by row id.
QStringList rows(TestFolder& t, const char* change = nullptr) {
    sqlite3* db = nullptr;
    sqlite3_open(t.store().diskName(FileId::Schedule).toUtf8().constData(), &db);
    if (change) sqlite3_exec(db, change, nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT rowid, * FROM SCHEDULE ORDER BY rowid", -1, &st, nullptr);
    QStringList out;
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList row;
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            row << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
        out << row.join(u'|');
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}
} // namespace

// Two commands of several transactions each are undone and redone to the exact rows; a write
// rolled back inside a command is not part of it; a row changed by another program in between
// refuses the whole undo and drops the step, and a yielding automatic run refuses it too.
TEST(EditHistory, UndoesAndRedoesWholeStepsAndRefusesRowsChangedSince) {
    TestFolder t;
    FileUse use(t.store(), FileId::Schedule);
    std::vector<Schedule> l;
    for (Short i = 1; i <= 3; ++i)
        l.push_back(t.put(Schedule{.Week = 1,
                                   .DaySeqNumber = i,
                                   .LessonNo = QStringLiteral("1"),
                                   .ScienceCode = i,
                                   .TeacherCode = i,
                                   .GroupCode = 1}));
    const QStringList original = rows(t);
    EditHistory& h = t.dict().history();
    auto write = [&](const std::function<void(Access<Schedule>&)>& body, bool commit = true) {
        Transaction tx(t.store(), {FileId::Restriction, FileId::Schedule}); // Schedule attached
        auto sch = tx.access<Schedule>();
        body(sch);
        if (commit) {
            ASSERT_TRUE(tx.commit());
        }
    };
    {
        EditHistory::Step step(h, QStringLiteral("перемещение урока"));
        write([&](auto& sch) {
            l[0].DaySeqNumber = 3, l[0].LessonNo = QStringLiteral("2");
            sch.update(l[0]);
        });
        write([&](auto& sch) {
            Schedule added{.LessonNo = {}, .GroupCode = 2};
            sch.remove(l[1]);
            sch.insert(added);
        });
        write(
            [&](auto& sch) {
                l[2].TeacherCode = 9;
                sch.update(l[2]);
            },
            false);
    }
    {
        EditHistory::Step step(h, QStringLiteral("закрепление урока"));
        write([&](auto& sch) {
            l[2].TeacherCode = 3, l[2].Pinned = 1;
            sch.update(l[2]);
        });
    }
    const QStringList edited = rows(t);
    ASSERT_EQ(h.undoCount(), 2);
    EXPECT_EQ(h.undoName(), QStringLiteral("закрепление урока"));

    EXPECT_EQ(h.undo(t.dict()), EditHistory::Result::Done);
    EXPECT_EQ(h.undo(t.dict()), EditHistory::Result::Done);
    EXPECT_EQ(rows(t), original);
    EXPECT_EQ(h.redoName(), QStringLiteral("перемещение урока"));
    EXPECT_EQ(h.redo(t.dict()), EditHistory::Result::Done);
    EXPECT_EQ(h.redo(t.dict()), EditHistory::Result::Done);
    EXPECT_EQ(rows(t), edited);

    {
        WritingScope run(t.dict(), QStringLiteral("автоматическая расстановка уроков"));
        WritingLock::Yield yielding(t.dict().writingLock());
        EXPECT_EQ(h.undo(t.dict()), EditHistory::Result::Refused);
    }
    EXPECT_EQ(rows(t), edited);
    EXPECT_EQ(h.undoCount(), 2);

    // Another program gives the moved lesson a room (a column the move did not write).
    const QStringList foreign = rows(
        t,
        qPrintable(
            QStringLiteral("UPDATE SCHEDULE SET RoomCode = 5 WHERE rowid = %1").arg(l[0].rowId)));
    EXPECT_EQ(h.undo(t.dict()), EditHistory::Result::Done); // the pin: its row is as it left it
    const QStringList before = rows(t);
    t.ui.clear();
    EXPECT_EQ(h.undo(t.dict()), EditHistory::Result::Conflict);
    EXPECT_EQ(rows(t), before) << "nothing of the refused step may be undone";
    EXPECT_NE(before, foreign);
    EXPECT_EQ(t.ui.texts(), QStringList{QStringLiteral(
                                "Отменить нельзя: эти уроки изменены после этого действия.")});
    EXPECT_FALSE(h.canUndo());
    EXPECT_TRUE(h.canRedo());
}
