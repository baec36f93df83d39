#include "tamsel/TestFolder.h"

#include "../../testsupport/SqlRows.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace tamsel;

// Two commands of several transactions each are undone and redone to the exact rows; a write
// rolled back inside a command is not part of it; a row changed by another program in between
// refuses the whole undo and drops the step.
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
    // Every row as another program reads it, after its own change when one is given.
    auto rows = [&](const char* change = "") {
        return testsupport::readAsAnotherProgram(t.store().diskName(FileId::Schedule), change,
                                                 "SELECT rowid, * FROM SCHEDULE ORDER BY rowid");
    };
    const QStringList original = rows();
    EditHistory& h = t.dict().history();
    auto write = [&](const std::function<void(Access<Schedule>&)>& body, bool commit = true) {
        Transaction tx(t.store(), {FileId::Restriction, FileId::Schedule}); // Schedule attached
        auto sch = tx.access<Schedule>();
        body(sch);
        EXPECT_TRUE(!commit || tx.commit().ok());
    };
    Schedule added{.LessonNo = {}, .GroupCode = 2};
    {
        EditHistory::Step step(h, QStringLiteral("перемещение урока"));
        l[0].DaySeqNumber = 3, l[0].LessonNo = QStringLiteral("2");
        write([&](auto& sch) { sch.update(l[0]); });
        write([&](auto& sch) { sch.remove(l[1]), sch.insert(added); });
        l[2].TeacherCode = 9;
        write([&](auto& sch) { sch.update(l[2]); }, false);
    }
    {
        EditHistory::Step step(h, QStringLiteral("закрепление урока"));
        l[2].TeacherCode = 3, l[2].Pinned = 1;
        write([&](auto& sch) { sch.update(l[2]); });
    }
    const QStringList edited = rows();
    ASSERT_EQ(h.undoCount(), 2);
    EXPECT_EQ(h.undoName(), QStringLiteral("закрепление урока"));
    EXPECT_EQ(h.undo(t.dict()), EditHistory::Result::Done);
    EXPECT_EQ(h.undo(t.dict()), EditHistory::Result::Done);
    EXPECT_EQ(rows(), original);
    EXPECT_EQ(h.redoName(), QStringLiteral("перемещение урока"));
    EXPECT_EQ(h.redo(t.dict()), EditHistory::Result::Done);
    EXPECT_EQ(h.redo(t.dict()), EditHistory::Result::Done);
    EXPECT_EQ(rows(), edited);

    // Another program gives the moved lesson a room (a column the move did not write).
    const QString room = QStringLiteral("UPDATE SCHEDULE SET RoomCode = 5 WHERE rowid = %1");
    rows(qPrintable(room.arg(l[0].rowId)));
    EXPECT_EQ(h.undo(t.dict()), EditHistory::Result::Done); // the pin: its row is as it left it
    const QStringList before = rows();
    t.ui.clear();
    EXPECT_EQ(h.undo(t.dict()), EditHistory::Result::Conflict);
    EXPECT_EQ(rows(), before) << "nothing of the refused step may be undone";
    EXPECT_EQ(t.ui.texts(), QStringList{QStringLiteral(
                                "Отменить нельзя: эти уроки изменены после этого действия.")});
    EXPECT_FALSE(h.canUndo());
}

// A lesson moved away, then another lesson put by another program into the cell it left: the
// undo would book that cell twice, so it is refused and nothing is written; the same for redo.
TEST(EditHistory, NeverPutsALessonBackIntoACellAnotherLessonEnteredSince) {
    TestFolder t;
    FileUse use(t.store(), FileId::Schedule);
    auto lesson = [&](Short day) {
        return t.put(Schedule{.Week = 1, .DaySeqNumber = day, .LessonNo = QStringLiteral("1"),
                              .ScienceCode = 1, .TeacherCode = 1, .GroupCode = 1});
    };
    Schedule moved = lesson(1);
    const Schedule other = lesson(2);
    auto elsewhere = [&](const Schedule& s, Short day) {
        sqlite3* db = nullptr;
        sqlite3_open(qPrintable(t.store().diskName(FileId::Schedule)), &db);
        sqlite3_exec(db, qPrintable(QStringLiteral("UPDATE SCHEDULE SET DaySeqNumber = %1 WHERE "
                                                   "rowid = %2").arg(day).arg(s.rowId)),
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
    };
    EditHistory& h = t.dict().history();
    {
        EditHistory::Step step(h, QStringLiteral("перемещение урока"));
        Transaction tx(t.store(), {FileId::Schedule});
        moved.DaySeqNumber = 3;
        ASSERT_TRUE(tx.access<Schedule>().update(moved).ok());
        ASSERT_TRUE(tx.commit().ok());
    }
    elsewhere(other, 1); // into the cell the move left
    t.ui.clear();
    EXPECT_EQ(h.undo(t.dict()), EditHistory::Result::Conflict);
    EXPECT_EQ(t.dict().access<Schedule>().byRowId(moved.rowId).DaySeqNumber, 3);
    EXPECT_TRUE(t.ui.texts().value(0).startsWith(QStringLiteral("Отменить нельзя: в клетки")));

    // Redo likewise: undone while the cell is free, then the cell it would return to is taken.
    {
        EditHistory::Step step(h, QStringLiteral("перемещение урока"));
        Transaction tx(t.store(), {FileId::Schedule});
        moved.DaySeqNumber = 4;
        ASSERT_TRUE(tx.access<Schedule>().update(moved).ok());
        ASSERT_TRUE(tx.commit().ok());
    }
    EXPECT_EQ(h.undo(t.dict()), EditHistory::Result::Done);
    elsewhere(other, 4);
    EXPECT_EQ(h.redo(t.dict()), EditHistory::Result::Conflict);
    EXPECT_FALSE(h.canRedo());
}
