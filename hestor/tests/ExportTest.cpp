#include "hestor/ExportSchedule.h"
#include "hestor/Hestor.h"

#include "tamsel/TestFolder.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <gtest/gtest.h>

using namespace tamsel;

namespace {

QString u(const char* s) {
    return QString::fromUtf8(s);
}

/// Two days, two bells, a group with a placed lesson, an unplaced one and one without a
/// teacher or room.
void school(TestFolder& t) {
    for (FileId f : {FileId::Days, FileId::LessonBell, FileId::Group, FileId::Science,
                     FileId::Teacher, FileId::Room, FileId::Schedule}) {
        FileUse use(t.store(), f);
    }
    FileUse a(t.store(), FileId::Days), b(t.store(), FileId::LessonBell),
        c(t.store(), FileId::Group), d(t.store(), FileId::Science), e(t.store(), FileId::Teacher),
        f(t.store(), FileId::Room), g(t.store(), FileId::Schedule);
    ASSERT_TRUE(t.put(Days{.DaySeqNumber = 2, .DayName = u("Вторник")}).rowId);
    ASSERT_TRUE(t.put(LessonBell{.LessonNo = u("3"), .Begining = timeOf(10, 20),
                                 .Ending = timeOf(11, 5)}).rowId);
    ASSERT_TRUE(t.put(Group{.GroupCode = 1, .Course = u("10"), .Defis = u("-"),
                            .Literal = u("А")}).rowId);
    ASSERT_TRUE(t.put(Science{.ScienceCode = 1, .Science = u("Алгебра и начала ана")}).rowId);
    ASSERT_TRUE(t.put(Teacher{.TeacherCode = 1, .TableNo = 1,
                              .TeacherName = u("Иванова М.П.")}).rowId);
    ASSERT_TRUE(t.put(Room{.RoomCode = 5, .RoomNo = u("214-б")}).rowId);
    ASSERT_TRUE(t.put(Schedule{.Week = 1, .DaySeqNumber = 2, .LessonNo = u("3"), .ScienceCode = 1,
                               .TeacherCode = 1, .GroupCode = 1, .SubGroupNum = 2, .RoomCode = 5})
                    .rowId);
    // The same lesson unplaced, with neither teacher nor room.
    ASSERT_TRUE(t.put(Schedule{.LessonNo = {}, .ScienceCode = 1, .GroupCode = 1}).rowId);
}

QStringList exported(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = f.readAll();
    QStringDecoder cp1251("windows-1251");
    QStringList lines = QString(cp1251.decode(bytes)).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

} // namespace

TEST(Export, EveryEntryInFixedColumnsInTheCyrillicCodePage) {
    TestFolder t;
    school(t);
    ASSERT_TRUE(t.glo().FN_ExportSchedule.isEmpty());
    ASSERT_TRUE(hestor::ExportSchedule(t.dict()));
    EXPECT_EQ(t.glo().FN_ExportSchedule, u("Schedule.txt"));
    const QStringList lines = exported(t.file(u("Schedule.txt")));
    ASSERT_EQ(lines.size(), 2);
    // Group, week, day, lesson, subgroup order: the unplaced entry (week 0) first.
    // Offsets 0 week, 3 day, 7 day name, 23 lesson, 27 start, 33 end, 39 subject, 60 teacher,
    // 81 group, 88 subgroup, 92 room.
    auto pad = [](const char* s, int w) { return u(s).leftJustified(w, QLatin1Char(' ')); };
    const QString unplaced = u("  0  0") + QString(33, QLatin1Char(' ')) +
                             pad("Алгебра и начала ана", 21) + pad("", 21) + pad("10-А", 7) +
                             u("  0") + u(" ") + pad("", 8);
    const QString placed = u("  1  2 ") + pad("Вторник", 16) + pad("3", 4) + u("10:20 11:05 ") +
                           pad("Алгебра и начала ана", 21) + pad("Иванова М.П.", 21) +
                           pad("10-А", 7) + u("  2") + u(" ") + pad("214-б", 8);
    EXPECT_EQ(lines[0], unplaced);
    EXPECT_EQ(lines[1], placed);
    for (const QString& l : lines)
        EXPECT_EQ(l.size(), 100);
    QFile raw(t.file(u("Schedule.txt")));
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    EXPECT_EQ(raw.size(), 2 * 102) << "one byte a character, CR LF";
    EXPECT_TRUE(t.progress.captions.contains(u("Экспорт расписания")));
}

TEST(Export, ASecondExportOverwritesAndAnUnwritableFileIsReported) {
    TestFolder t;
    school(t);
    t.glo().FN_ExportSchedule = u("out.txt");
    QFile old(t.file(u("out.txt")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5000, 'x'));
    old.close();
    ASSERT_TRUE(hestor::ExportSchedule(t.dict()));
    EXPECT_EQ(exported(t.file(u("out.txt"))).size(), 2);

    // A file that cannot be written: said, and no success.
    t.glo().FN_ExportSchedule = u("missing/folder/out.txt");
    QString error;
    EXPECT_FALSE(hestor::ExportSchedule(t.dict(), &error));
    EXPECT_TRUE(t.ui.last().contains(u("не может быть записан"))) << t.ui.last().toStdString();
    EXPECT_FALSE(error.isEmpty());
}

TEST(Export, OfferedToTheFrame) {
    TestFolder t;
    school(t);
    hestor::Init(t.dict(), nullptr, nullptr);
    const Procedure* p = t.dict().procedures.find(u("ExportSchedule"));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->kind, Procedure::Direct);
    p->start(t.dict(), {});
    EXPECT_TRUE(t.ui.last().startsWith(u("Расписание выгружено в файл ")));
    EXPECT_EQ(exported(t.file(u("Schedule.txt"))).size(), 2);
    hestor::Kill(t.dict());
}
