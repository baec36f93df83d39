// The older product's files: what is written is read back in the DOS code page and key order,
// and every kind of damage is refused with a reason instead of being read as data.

#include "tamsel/LegacyFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tamsel;

namespace {

QString u(const char* s) {
    return QString::fromUtf8(s);
}

QByteArray groupsFile(const std::vector<QStringList>& rows) {
    QByteArray bytes;
    QString error;
    EXPECT_TRUE(WriteLegacyFile(LegacyFileId::Groups, rows, &bytes, &error)) << error.toStdString();
    return bytes;
}

const std::vector<QStringList> Groups{{u("6"), u("Б"), u(""), u("-7")},
                                      {u("5"), u("Б"), u("Проф"), u("0")},
                                      {u("5"), u("А"), u("Ёлка"), u("2147483647")}};

} // namespace

TEST(LegacyFiles, WrittenRecordsReadBackInTheDosCodePageAndInKeyOrder) {
    const QByteArray bytes = groupsFile(Groups);
    // Header, then three records of 2 + 2 + 5 + 4 bytes; texts in CP866, blank-padded.
    ASSERT_EQ(bytes.size(), LegacyHeaderSize + 3 * 13);
    EXPECT_EQ(bytes.left(8), QByteArray("LODRADAT"));
    EXPECT_EQ(bytes.mid(16, 12), QByteArray("LegacyGroups"));
    EXPECT_EQ(bytes.mid(LegacyHeaderSize, 4), QByteArray("6 \x81 ", 4)); // "Б" is 0x81 in CP866

    LegacyFile f(LegacyFileId::Groups);
    ASSERT_TRUE(f.parse(bytes)) << f.error().toStdString();
    ASSERT_EQ(f.count(), 3);
    EXPECT_EQ(f.text(2, LGrp::STREAM), u("Ёлка"));
    EXPECT_EQ(f.text(0, LGrp::STREAM), QString());
    EXPECT_EQ(f.number(0, LGrp::RESTRICTIONS), -7);
    EXPECT_EQ(f.number(2, LGrp::RESTRICTIONS), 2147483647);
    // MAINKEY (COURSE, LITERAL): 5-А, 5-Б, 6-Б.
    EXPECT_EQ(f.keyOrder(0), (std::vector<int>{2, 1, 0}));
    // A duplicates key keeps equal records in file order.
    LegacyFile same(LegacyFileId::Groups);
    ASSERT_TRUE(
        same.parse(groupsFile({{u("5"), u("А"), u(""), u("0")}, {u("5"), u("Б"), u(""), u("0")}})));
    EXPECT_EQ(same.keyOrder(1), (std::vector<int>{0, 1}));
}

TEST(LegacyFiles, ValuesThatDoNotFitTheirFieldAreRefusedNamingRecordAndField) {
    QByteArray bytes;
    QString error;
    EXPECT_FALSE(WriteLegacyFile(LegacyFileId::Groups, {{u("5"), u("А"), u("Длинный"), u("0")}},
                                 &bytes, &error));
    EXPECT_EQ(error, u("запись 1, поле STREAM: «Длинный» длиннее 5 символов"));
    EXPECT_FALSE(WriteLegacyFile(
        LegacyFileId::Sciences,
        {{u("Химия"), u(""), u(""), u("0"), u("0")}, {u("Физика"), u(""), u(""), u("256"), u("0")}},
        &bytes, &error));
    EXPECT_EQ(error, u("запись 2, поле DOUBLED: «256» не число от 0 до 255"));
    EXPECT_FALSE(WriteLegacyFile(LegacyFileId::RoomTypes, {{u("Кабинет €")}}, &bytes, &error));
    EXPECT_EQ(error,
              u("запись 1, поле ROOMTYPE: «Кабинет €» нельзя записать в кодировке DOS (CP866)"));
    EXPECT_FALSE(WriteLegacyFile(LegacyFileId::RoomTypes, {{u("a"), u("b")}}, &bytes, &error));
    EXPECT_EQ(error, u("запись 1: полей 2, ожидается 1"));
    // The limits themselves are taken.
    EXPECT_TRUE(WriteLegacyFile(LegacyFileId::Sciences,
                                {{u("Двадцать символов!!!"), u(""), u(""), u("255"), u("0")}},
                                &bytes, &error));
}

TEST(LegacyFiles, DamagedFilesAreRefusedWithTheirReason) {
    const QByteArray good = groupsFile(Groups);
    auto reason = [](const QByteArray& bytes, LegacyFileId id = LegacyFileId::Groups) {
        LegacyFile f(id);
        EXPECT_FALSE(f.parse(bytes));
        EXPECT_EQ(f.count(), 0);
        return f.error();
    };
    EXPECT_EQ(reason(QByteArray()), u("файл короче заголовка (0 байт)"));
    EXPECT_EQ(reason(good.left(LegacyHeaderSize + 20)),
              u("размер файла 68 байт не соответствует 3 записям по 13 байт (файл обрезан или "
                "испорчен)"));
    EXPECT_EQ(reason(good + "x"), u("размер файла 88 байт не соответствует 3 записям по 13 байт "
                                    "(файл обрезан или испорчен)"));
    QByteArray magic = good;
    magic[0] = 'X';
    EXPECT_EQ(reason(magic), u("это не файл данных АРМ \"Lodra\" (неверный заголовок)"));
    QByteArray version = good;
    version[8] = 2;
    EXPECT_EQ(reason(version), u("версия формата 2 не поддерживается (ожидается 1)"));
    EXPECT_EQ(reason(good, LegacyFileId::Rooms),
              u("в файле записи «LegacyGroups», ожидаются «LegacyRooms»"));
    QByteArray length = good;
    length[10] = 14;
    EXPECT_EQ(reason(length), u("длина записи 14 байт, ожидается 13"));
    QByteArray control = good;
    control[LegacyHeaderSize + 13 + 4] = '\x07'; // in the second record's stream
    EXPECT_EQ(reason(control), u("запись 2, поле STREAM: недопустимый символ (код 7)"));
    // A huge record count must not overflow into a match.
    QByteArray count = good;
    count[12] = count[13] = count[14] = count[15] = '\xFF';
    EXPECT_FALSE(LegacyFile(LegacyFileId::Groups).parse(count));

    QTemporaryDir dir;
    LegacyFile missing(LegacyFileId::Groups);
    EXPECT_FALSE(missing.load(dir.filePath(QStringLiteral("Group.dat"))));
    EXPECT_EQ(missing.error(), u("файл не найден"));
    EXPECT_FALSE(missing.load(dir.path()));
    EXPECT_EQ(missing.error(), u("на месте файла папка"));
}

TEST(LegacyFiles, EveryLayoutIsFoundByItsFileNameInAnyCase) {
    for (LegacyFileId id : legacyFiles()) {
        const LegacyLayout& l = legacyLayout(id);
        EXPECT_EQ(legacyFileNamed(QString::fromLatin1(l.fileName).toUpper()), id) << l.fileName;
        EXPECT_LE(qstrlen(l.name), 31u);
    }
    EXPECT_EQ(legacyFiles().size(), 12u);
    EXPECT_FALSE(legacyFileNamed(QStringLiteral("Other.dat")));
    EXPECT_EQ(legacyLayout(LegacyFileId::GroupForbids).recordLength(), 13);
    EXPECT_EQ(legacyLayout(LegacyFileId::Schedule).recordLength(), 56);
}
