#include "tamsel/TestFolder.h"

#include "FileBytes.h"
#include <QFile>
#include <QStringEncoder>

#include <gtest/gtest.h>

using namespace tamsel;
using tamsel::test::contents;
using tamsel::test::write;

namespace {
QString u(const char* s) {
    return QString::fromUtf8(s);
}

} // namespace

TEST(Settings, RoundTripKeepsCommentsOrderAndLiteralValues) {
    TestFolder t;
    const QString path = t.file(QStringLiteral("Korvel.ini"));
    write(path, u("; настройки школы\r\n"
                  "[Preserved]\r\n"
                  "FN:Teacher=D:\\Школа\\Данные\\Teacher.db\r\n"
                  "GLO:WeeksInCycle=2\r\n"
                  "; цвета\r\n"
                  "GLO:SubGroupSep=\\\r\n"
                  "\r\n"
                  "[TeacherList]\r\n"
                  "XPos=10\r\n")
                    .toUtf8());
    IniFile ini(path);
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.encoding(), IniFile::Encoding::Utf8);
    EXPECT_EQ(ini.value(QStringLiteral("preserved"), QStringLiteral("fn:teacher")),
              u("D:\\Школа\\Данные\\Teacher.db"));
    EXPECT_EQ(ini.value(QStringLiteral("Preserved"), QStringLiteral("GLO:SubGroupSep")), u("\\"));
    EXPECT_EQ(ini.number(QStringLiteral("TeacherList"), QStringLiteral("XPos")), 10);

    ini.setValue(QStringLiteral("Preserved"), QStringLiteral("GLO:WeeksInCycle"),
                 QStringLiteral("3"));
    ini.setValue(QStringLiteral("Preserved"), u("Новый ключ"), u("значение"));
    ini.setValue(u("Окно"), QStringLiteral("Width"), QStringLiteral("640"));
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(QString::fromUtf8(contents(path)), u("; настройки школы\r\n"
                                                   "[Preserved]\r\n"
                                                   "FN:Teacher=D:\\Школа\\Данные\\Teacher.db\r\n"
                                                   "GLO:WeeksInCycle=3\r\n"
                                                   "; цвета\r\n"
                                                   "GLO:SubGroupSep=\\\r\n"
                                                   "Новый ключ=значение\r\n"
                                                   "\r\n"
                                                   "[TeacherList]\r\n"
                                                   "XPos=10\r\n"
                                                   "\r\n"
                                                   "[Окно]\r\n"
                                                   "Width=640\r\n"));
}

TEST(Settings, WindowsCyrillicFileIsWrittenBackInItsCodePage) {
    TestFolder t;
    const QString path = t.file(QStringLiteral("Korvel.ini"));
    QStringEncoder cp1251("windows-1251");
    write(path, cp1251.encode(u("[Preserved]\r\nGLO:SubGroupId=А - Я\r\n")));
    IniFile ini(path);
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.encoding(), IniFile::Encoding::Windows1251);
    EXPECT_EQ(ini.value(QStringLiteral("Preserved"), QStringLiteral("GLO:SubGroupId")), u("А - Я"));
    ini.setValue(QStringLiteral("Preserved"), QStringLiteral("LodraDataDir"), u("C:\\Лодра"));
    ASSERT_TRUE(ini.save());
    QByteArray expected =
        cp1251.encode(u("[Preserved]\r\nGLO:SubGroupId=А - Я\r\nLodraDataDir=C:\\Лодра\r\n"));
    EXPECT_EQ(contents(path), expected);
}

TEST(Settings, GlobalsLoadAndSave) {
    TestFolder t;
    const QString path = t.file(QStringLiteral("Korvel.ini"));
    write(path, u("[Preserved]\r\nGLO:WeeksInCycle=4\r\nGLO:SubGroupId=а - я\r\n"
                  "GLO:NoRestrictionColor=255\r\nFN:Schedule=Расписание.db\r\nLogging=1\r\n")
                    .toUtf8());
    ASSERT_TRUE(t.dict().loadSettings());
    Globals& g = t.glo();
    EXPECT_EQ(g.WeeksInCycle, 4);
    EXPECT_EQ(g.SubGroupId, u("а - я"));
    EXPECT_EQ(g.NoRestrictionColor, 255);
    EXPECT_EQ(g.FN[index(FileId::Schedule)], u("Расписание.db"));
    EXPECT_EQ(t.store().file(FileId::Schedule).path(), t.file(u("Расписание.db")));
    EXPECT_TRUE(Globals::loggingEnabled(t.dict().settings()));
    // Missing keys keep their initial values; colours and cell sizes get the standard ones.
    EXPECT_EQ(g.SubGroupSep, u("/"));
    EXPECT_EQ(g.GoToSelectedObject, 1);
    EXPECT_EQ(g.WeakRestrictionColor, 0xA0FFFF);
    EXPECT_EQ(g.HeavyRestrictionColor, 0x20C0FF);
    EXPECT_EQ(g.DontUseRestrictionColor, 0x8080FF);
    EXPECT_EQ(g.SmallSellWidth, 60);
    EXPECT_EQ(g.SmallSellHeight, 20);
    EXPECT_EQ(g.LargeSellWidth, 90);
    EXPECT_EQ(g.LargeSellHeight, 44);

    // A value changed at run time reaches the file only when the settings are saved.
    const QByteArray before = contents(path);
    g.WeeksInCycle = 2;
    g.SmallFlag = 1;
    saveWindowPlace(t.dict().settings(), QStringLiteral("TeacherList"),
                    {5, 6, 700, 500, true, true});
    EXPECT_EQ(contents(path), before);
    ASSERT_TRUE(t.dict().saveSettings());
    IniFile again(path);
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.number(QStringLiteral("Preserved"), QStringLiteral("GLO:WeeksInCycle")), 2);
    EXPECT_EQ(again.number(QStringLiteral("Preserved"), QStringLiteral("SmallFlag")), 1);
    EXPECT_EQ(again.value(QStringLiteral("Preserved"), QStringLiteral("Logging")), u("1"));
    const WindowPlace p = loadWindowPlace(again, QStringLiteral("TeacherList"));
    EXPECT_TRUE(p.found);
    EXPECT_EQ(p.width, 700);
    EXPECT_TRUE(p.maximize);
    EXPECT_EQ(again.value(QStringLiteral("__Dont_Touch_Me__"), QStringLiteral("Sectors")),
              u("Preserved,TeacherList"));
    // Keys already in the file keep their places; new ones follow in the saved order: file
    // names first, SmallFlag and the text overview flag last.
    const QStringList keys = again.keys(QStringLiteral("Preserved"));
    EXPECT_EQ(keys.first(), u("GLO:WeeksInCycle"));
    EXPECT_EQ(keys.indexOf(u("FN:TrainingCourse")), 5);
    EXPECT_EQ(keys.indexOf(u("FN:Days")), 6);
    EXPECT_EQ(keys.last(), u("GLO:UseTextOverview"));
    EXPECT_EQ(keys.at(keys.size() - 2), u("SmallFlag"));
}

TEST(Settings, FirstStartWithoutSettingsFileIsUsable) {
    TestFolder t;
    ASSERT_TRUE(t.dict().loadSettings());
    EXPECT_EQ(t.glo().WeeksInCycle, 1);
    EXPECT_EQ(t.glo().SubGroupId, u("1,2,..."));
    EXPECT_EQ(t.glo().NoRestrictionColor, 0xA0FFA0);
    EXPECT_FALSE(Globals::loggingEnabled(t.dict().settings()));
}

TEST(Settings, DebugProcMatchesSubstringsInCapitals) {
    Globals g;
    g.DebugProc = u("setlessonto, EstimateVariant");
    EXPECT_TRUE(g.debugProcEnabled(QStringLiteral("SetLessonTo")));
    EXPECT_TRUE(g.debugProcEnabled(QStringLiteral("EstimateVariant  ")));
    EXPECT_TRUE(g.debugProcEnabled(QStringLiteral("Estimate")));
    EXPECT_FALSE(g.debugProcEnabled(QStringLiteral("SellIsAvaliable")));
    EXPECT_FALSE(g.debugProcEnabled(QString()));
}

TEST(FormatSubGroup, EveryStyle) {
    const QString slash = QStringLiteral("/");
    EXPECT_EQ(FormatSubGroup(0, slash, u("1,2,...")), QString());
    EXPECT_EQ(FormatSubGroup(3, slash, u("1,2,...")), u("/3"));
    EXPECT_EQ(FormatSubGroup(12, slash, u("1,2,...")), u("/12"));
    EXPECT_EQ(FormatSubGroup(3, slash, u("А - Я")), u("/В"));
    EXPECT_EQ(FormatSubGroup(2, slash, u("А - Я")), u("/Б"));
    EXPECT_EQ(FormatSubGroup(2, slash, u("а - я")), u("/б"));
    EXPECT_EQ(FormatSubGroup(2, slash, u("A - Z")), u("/B"));
    EXPECT_EQ(FormatSubGroup(3, u("-"), u("a - z")), u("-c"));
    EXPECT_EQ(FormatSubGroup(0, slash, u("А - Я")), QString());
    EXPECT_EQ(FormatSubGroup(2, slash, u("x")), QString());
    EXPECT_EQ(FormatSubGroup(2, slash, QString()), QString());
    Globals g;
    EXPECT_EQ(QStringLiteral("10-") + u("А") + FormatSubGroup(g, 2), u("10-А/2"));
}

TEST(Settings, ValuesOutOfRangeAreBroughtToTheNearestBoundWithOneWarning) {
    TestFolder t;
    write(t.file(u("Korvel.ini")), "[Preserved]\r\nGLO:WeeksInCycle=99\r\nGLO:SmallSellWidth=-5\r\n"
                                   "GLO:LargeSellHeight=99999999\r\nGLO:LargeSellWidth=120\r\n");
    ASSERT_TRUE(t.dict().loadSettings());
    EXPECT_EQ(t.glo().WeeksInCycle, 20);
    EXPECT_EQ(t.glo().SmallSellWidth, 40);
    EXPECT_EQ(t.glo().LargeSellHeight, 60);
    EXPECT_EQ(t.glo().LargeSellWidth, 120);
    ASSERT_EQ(t.ui.shown.size(), 1);
    EXPECT_TRUE(t.ui.last().contains(u("GLO:WeeksInCycle = 99 вне пределов 0–20, принято 20")))
        << t.ui.last().toStdString();
    EXPECT_TRUE(t.ui.last().contains(u("GLO:SmallSellWidth")));

    write(t.file(u("Korvel.ini")), "[Preserved]\r\nGLO:WeeksInCycle=-5\r\n");
    TestFolder other;
    write(other.file(u("Korvel.ini")), "[Preserved]\r\nGLO:WeeksInCycle=-5\r\n");
    ASSERT_TRUE(other.dict().loadSettings());
    EXPECT_EQ(other.glo().WeeksInCycle, 0);
}

TEST(Settings, AValueWrittenIsReadBackTheSame) {
    TestFolder t;
    for (const QString& sep : {u(" "), u("/"), u("\""), u("  x  "), u("\"quoted\""), QString()}) {
        t.glo().SubGroupSep = sep;
        ASSERT_TRUE(t.dict().saveSettings());
        Dictionary again(t.path());
        ASSERT_TRUE(again.loadSettings());
        EXPECT_EQ(again.glo.SubGroupSep, sep) << sep.toStdString();
    }
}

TEST(Settings, AFileWrittenByHandIsReadAsMeantAndRepeatedSavesChangeNothing) {
    TestFolder t;
    const QString path = t.file(QStringLiteral("Korvel.ini"));
    // Other case, blanks and tabs around names and values, LF line ends, no final line end,
    // a comment and a blank line: what an officer's editor leaves.
    write(path, u("; настройки школы\n\n[preserved]\n  glo:weeksincycle = 3 \n"
                  "GLO:SUBGROUPSEP\t=\t-\nfn:schedule= Уроки.db\nGLO:LargeSellWidth=120")
                    .toUtf8());
    ASSERT_TRUE(t.dict().loadSettings());
    EXPECT_EQ(t.glo().WeeksInCycle, 3);
    EXPECT_EQ(t.glo().SubGroupSep, u("-"));
    EXPECT_EQ(t.glo().FN[index(FileId::Schedule)], u("Уроки.db"));
    EXPECT_EQ(t.glo().LargeSellWidth, 120);
    ASSERT_TRUE(t.dict().saveSettings());
    const QByteArray once = contents(path);
    EXPECT_TRUE(once.startsWith("; ")) << "the comment is kept";
    // The same settings saved again, and loaded and saved by another start, give the same file.
    ASSERT_TRUE(t.dict().saveSettings());
    EXPECT_EQ(contents(path), once);
    Dictionary again(t.path());
    ASSERT_TRUE(again.loadSettings());
    EXPECT_EQ(again.glo.WeeksInCycle, 3);
    EXPECT_EQ(again.glo.SubGroupSep, u("-"));
    ASSERT_TRUE(again.saveSettings());
    EXPECT_EQ(contents(path), once);
}
