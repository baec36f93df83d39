// Master data and the plan from spreadsheets: the encodings and separators of CSV files, an
// .xlsx sheet, and that one bad line refuses the whole file with its reason.

#include "hestor/TableImport.h"

#include "tamsel/TestFolder.h"

#include <QFile>
#include <QStringEncoder>
#include <gtest/gtest.h>
#include <zip.h>

using namespace tamsel;
using hestor::SourceTable;

namespace {

QString u(const char* s) {
    return QString::fromUtf8(s);
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

hestor::TableImportResult importFile(TestFolder& t, SourceTable table, const QString& path) {
    hestor::TableRows rows;
    QString error;
    EXPECT_TRUE(hestor::ReadTableFile(path, &rows, &error)) << error.toStdString();
    return hestor::ImportTable(t.dict(), table, rows);
}

QStringList teacherNames(TestFolder& t) {
    FileUse use(t.store(), FileId::Teacher);
    QStringList out;
    for (const Teacher& x : t.dict().access<Teacher>().all(Teacher::TeacherNameKey)) out << x.TeacherName;
    return out;
}

} // namespace

TEST(TableImport, CsvInWindows1251WithCommasIsAllOrNothing) {
    TestFolder t;
    const QString path = t.file(u("teachers.csv"));
    QStringEncoder cp1251("windows-1251");
    // Columns in another order and case; a quoted name with a comma; a repeated name; a line
    // without a name; a table number that is not a number.
    writeBytes(path, cp1251.encode(u("Таб. номер,учитель\r\n1,Иванова\r\n2,\"Петров, мл.\"\r\n"
                                     "3,Иванова\r\n4,\r\nпять,Сидоров\r\n")));
    hestor::TableRows rows;
    QString error;
    ASSERT_TRUE(hestor::ReadTableFile(path, &rows, &error));
    EXPECT_EQ(rows.encoding, u("Windows-1251"));
    EXPECT_EQ(rows.separator, QLatin1Char(','));
    hestor::TableImportResult r = hestor::ImportTable(t.dict(), SourceTable::Teachers, rows);
    EXPECT_FALSE(r.done);
    ASSERT_EQ(r.refused.size(), 3) << r.refused.join(u("\n")).toStdString();
    EXPECT_TRUE(r.refused[0].startsWith(u("строка 4: "))) << r.refused[0].toStdString();
    EXPECT_EQ(r.refused[1], u("строка 5: не заполнен столбец «Учитель»"));
    EXPECT_EQ(r.refused[2], u("строка 6: «пять» — не число"));
    EXPECT_EQ(t.ui.last(), u("Не принято строк: 3. Импорт не выполнен.|Данные школы не изменены."));
    EXPECT_TRUE(teacherNames(t).isEmpty());

    writeBytes(path, cp1251.encode(u("Таб. номер,учитель\r\n1,Иванова\r\n2,\"Петров, мл.\"\r\n")));
    r = importFile(t, SourceTable::Teachers, path);
    EXPECT_TRUE(r.done) << r.reason.toStdString();
    EXPECT_EQ(teacherNames(t), QStringList({u("Иванова"), u("Петров, мл.")}));
}

TEST(TableImport, Utf8GroupsAndPlanAndAnXlsxSheet) {
    TestFolder t;
    const QString groups = t.file(u("groups.csv"));
    writeBytes(groups, u("\xEF\xBB\xBFКурс;Буква;Поток\n5;А;\n5;Б;\n10;А;Профильный\n").toUtf8());
    hestor::TableImportResult r = importFile(t, SourceTable::Groups, groups);
    ASSERT_TRUE(r.done) << r.reason.toStdString();
    EXPECT_EQ(r.taken, 3);

    // Subjects from an .xlsx sheet: shared strings and an inline number.
    const QString xlsx = t.file(u("subjects.xlsx"));
    {
        int err = 0;
        zip_t* z = zip_open(QFile::encodeName(xlsx).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
        ASSERT_NE(z, nullptr);
        static const QByteArray strings = u("<sst xmlns=\"x\"><si><t>Предмет</t></si><si><t>Физика"
                                            "</t></si><si><t>Химия</t></si></sst>").toUtf8();
        static const QByteArray sheet =
            "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>"
            "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>1</v></c></row>"
            "<row r=\"3\"><c r=\"A3\" t=\"s\"><v>2</v></c></row></sheetData></worksheet>";
        zip_file_add(z, "xl/sharedStrings.xml", zip_source_buffer(z, strings.constData(), strings.size(), 0), 0);
        zip_file_add(z, "xl/worksheets/sheet1.xml", zip_source_buffer(z, sheet.constData(), sheet.size(), 0), 0);
        ASSERT_EQ(zip_close(z), 0);
    }
    r = importFile(t, SourceTable::Subjects, xlsx);
    ASSERT_TRUE(r.done) << r.reason.toStdString();
    EXPECT_EQ(r.taken, 2);

    // The plan: a subject that does not exist refuses the file; then every group of the
    // course and stream gets its lessons.
    const QString plan = t.file(u("plan.csv"));
    writeBytes(plan, u("Предмет;Курс;Часы;Сдвоенные часы\nФизика;5;2;2\nАстрология;5;1;0\n").toUtf8());
    r = importFile(t, SourceTable::Plan, plan);
    EXPECT_FALSE(r.done);
    EXPECT_EQ(r.refused, QStringList({u("строка 3: предмета «Астрология» нет")}));
    writeBytes(plan, u("Предмет;Курс;Часы;Сдвоенные часы\nФизика;5;2;2\n").toUtf8());
    r = importFile(t, SourceTable::Plan, plan);
    ASSERT_TRUE(r.done) << r.reason.toStdString();
    {
        FileUse use(t.store(), FileId::Schedule);
        EXPECT_EQ(t.dict().access<Schedule>().count(), 8); // two groups of 5, two singles and a pair each
    }

    // The teachers' load: every lesson of 5-А, and three of 5-Б's four (the singles, then a
    // pair's first half) with the room put on the teacher's list; too many hours, an unknown
    // group or room refuse the file.
    writeBytes(groups, u("Учитель\nИванова\n").toUtf8());
    ASSERT_TRUE(importFile(t, SourceTable::Teachers, groups).done);
    writeBytes(groups, u("Кабинет\n101\n").toUtf8());
    ASSERT_TRUE(importFile(t, SourceTable::Rooms, groups).done);
    const QString load = t.file(u("load.csv"));
    writeBytes(load, u("ФИО;Предмет;Класс;Часы;Кабинет\nИванова;Физика;5-А;;\nИванова;Физика;5б;5;\n"
                       "Иванова;Физика;7-В;;\nИванова;Физика;5-А;;999\n").toUtf8());
    r = importFile(t, SourceTable::Load, load);
    EXPECT_EQ(r.refused, QStringList({u("строка 3: у 5б по предмету «Физика» без учителя 4 ч., а нужно 5"),
                                      u("строка 4: класса «7-В» нет"),
                                      u("строка 5: кабинета «999» нет")}));
    writeBytes(load, u("ФИО;Предмет;Класс;Часы;Кабинет\nИванова;Физика;5-А;;\nИванова;Физика;5б;3;101\n").toUtf8());
    r = importFile(t, SourceTable::Load, load);
    ASSERT_TRUE(r.done) << r.refused.join(u("\n")).toStdString();
    FileUse use(t.store(), FileId::Schedule), lists(t.store(), FileId::RoomList);
    QStringList given;
    for (const Schedule& s : t.dict().access<Schedule>().all(Schedule::GroupScienceSubGrKey))
        given << u("%1:%2:%3").arg(s.GroupCode).arg(s.CoupledLesson).arg(s.TeacherCode);
    given.sort();
    EXPECT_EQ(given, QStringList({u("1:0:1"), u("1:0:1"), u("1:1:1"), u("1:2:1"), u("2:0:1"),
                                  u("2:0:1"), u("2:1:1"), u("2:2:0")}));
    EXPECT_EQ(t.dict().access<RoomList>().count(), 1);
}
