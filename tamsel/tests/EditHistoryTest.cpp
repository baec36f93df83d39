#include "tamsel/TestFolder.h"

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
        sqlite3* db = nullptr;
        sqlite3_open(qPrintable(t.store().diskName(FileId::Schedule)), &db);
        sqlite3_exec(db, change, nullptr, nullptr, nullptr);
        QStringList out;
        auto add = [](void* o, int n, char** v, char**) {
            for (int i = 0; i < n; ++i)
                static_cast<QStringList*>(o)->append(QString::fromUtf8(v[i] ? v[i] : "-"));
            return 0;
        };
        sqlite3_exec(db, "SELECT rowid, * FROM SCHEDULE ORDER BY rowid", add, &out, nullptr);
        sqlite3_close(db);
        return out;
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
