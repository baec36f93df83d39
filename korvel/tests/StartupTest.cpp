// Start and end of the program, the Russian texts, the keyboard aliases and the ports.

#include "GuiPorts.h"
#include "KeyAliases.h"
#include "MainFrame.h"
#include "Program.h"
#include "RussianTexts.h"

#include "tamsel/TestFolder.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace korvel;

namespace {
QString u(const char* s) {
    return QString::fromUtf8(s);
}
} // namespace

TEST(Startup, FrameRunsBetweenLibraryInitAndKillAndSettingsAreWritten) {
    tamsel::TestFolder t;
    Program program(t.dict());
    program.start();
    EXPECT_EQ(t.dict().libraryLog,
              (QStringList{QStringLiteral("init:faldin"), QStringLiteral("init:ombrel"),
                           QStringLiteral("init:hestor"), QStringLiteral("init:pivrel"),
                           QStringLiteral("init:tamsel"), QStringLiteral("init:trusko")}));
    {
        MainFrame frame(t.dict());
        bool closed = false;
        QObject::connect(&frame, &MainFrame::closed, &frame, [&] { closed = true; });
        frame.open();
        EXPECT_EQ(t.glo().FrameThread, 1);
        for (QAction* a : frame.findChildren<QAction*>())
            if (a->objectName() == QStringLiteral("Exit")) a->trigger();
        EXPECT_TRUE(closed);
        EXPECT_FALSE(frame.isVisible());
        EXPECT_TRUE(t.dict().libraryLog.size() == 6); // nothing terminated while the frame runs
    }
    EXPECT_EQ(t.glo().FrameThread, 0);
    EXPECT_FALSE(QFile::exists(t.file(QStringLiteral("Korvel.ini")))); // written only at the end
    EXPECT_TRUE(program.finish());
    EXPECT_EQ(t.dict().libraryLog.mid(6),
              (QStringList{QStringLiteral("kill:trusko"), QStringLiteral("kill:tamsel"),
                           QStringLiteral("kill:pivrel"), QStringLiteral("kill:hestor"),
                           QStringLiteral("kill:ombrel"), QStringLiteral("kill:faldin")}));
    tamsel::IniFile written(t.file(QStringLiteral("Korvel.ini")));
    ASSERT_TRUE(written.load());
    EXPECT_TRUE(written.contains(QStringLiteral("Preserved"), QStringLiteral("SmallFlag")));
    EXPECT_TRUE(written.contains(QStringLiteral("Main"), QStringLiteral("Width")));
    EXPECT_TRUE(t.ui.shown.isEmpty());
}

TEST(Startup, MenuFlagsChangedInTheFrameAreSavedAtTheEnd) {
    tamsel::TestFolder t;
    {
        Program program(t.dict());
        program.start();
        MainFrame frame(t.dict());
        for (QAction* a : frame.findChildren<QAction*>())
            if (a->objectName() == QStringLiteral("SmallFlag") ||
                a->objectName() == QStringLiteral("UseTextOverview"))
                a->trigger();
        frame.close();
        program.finish();
    }
    tamsel::Dictionary again(t.path());
    ASSERT_TRUE(again.loadSettings());
    EXPECT_EQ(again.glo.SmallFlag, 1);
    EXPECT_EQ(again.glo.UseTextOverview, 1);
    EXPECT_EQ(again.glo.ShowLessonRestrictions, 0); // not a saved flag
}

TEST(Startup, UnreadableSettingsFileIsReportedAndLeftAlone) {
    tamsel::TestFolder t;
    // A folder where the file should be cannot be read, nor replaced.
    ASSERT_TRUE(QDir(t.path()).mkdir(QStringLiteral("Korvel.ini")));
    Program program(t.dict());
    program.start();
    ASSERT_EQ(t.ui.shown.size(), 1);
    EXPECT_EQ(t.ui.shown[0].caption, QStringLiteral("Korvel"));
    EXPECT_TRUE(t.ui.shown[0].text.startsWith(u("Файл настроек ")));
    EXPECT_TRUE(t.ui.shown[0].text.contains(u("не прочитан")));
    EXPECT_EQ(t.dict().libraryLog.size(), 6); // the program still starts
    EXPECT_TRUE(program.finish());
    EXPECT_EQ(t.ui.shown.size(), 1);
    EXPECT_TRUE(QFileInfo(t.file(QStringLiteral("Korvel.ini"))).isDir());
}

TEST(Startup, RussianTextsAndQtsOwnDialogsInRussian) {
    EXPECT_TRUE(installRussian(*QCoreApplication::instance()));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), u("Отмена"));
    EXPECT_EQ(QLocale().language(), QLocale::Russian);
    EXPECT_EQ(dayNames().size(), 7);
    EXPECT_EQ(dayNames().first(), u("Воскресенье"));
    EXPECT_EQ(shortMonthNames().join(QLatin1Char(',')),
              u("Янв,Фев,Мар,Апр,Май,Июн,Июл,Авг,Сен,Окт,Ноя,Дек"));
    EXPECT_EQ(longMonthNames().join(QLatin1Char(',')),
              u("января,февраля,марта,апреля,мая,июня,июля,августа,сентября,октября,ноября,"
                "декабря"));
    EXPECT_EQ(amText() + QLatin1Char(',') + pmText(), u("ут,вч"));
    QStringList captions;
    for (tamsel::Button b : {tamsel::Ok, tamsel::Yes, tamsel::No, tamsel::Abort, tamsel::Retry,
                             tamsel::Ignore, tamsel::Cancel})
        captions << buttonCaption(b);
    captions << helpButtonCaption();
    EXPECT_EQ(captions.join(QLatin1Char(',')),
              u("&OK,&Да,&Нет,Пре&рвать,&Повторить,&Игнорировать,&Отменить,&Справка"));
    // The error reporter's file error texts are the program's.
    EXPECT_EQ(tamsel::fileErrorText(89), u("Запись была изменена другим пользователем"));
}

TEST(Startup, KeyboardAliasesCopyPasteAndCut) {
    KeyAliases aliases;
    qApp->installEventFilter(&aliases);
    QLineEdit edit;
    edit.show();
    edit.setText(u("Расписание"));
    edit.selectAll();
    QApplication::clipboard()->clear();
    QTest::keyClick(&edit, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), u("Расписание"));
    EXPECT_EQ(edit.text(), u("Расписание"));

    edit.setSelection(0, 4);
    QTest::keyClick(&edit, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), u("Расп"));
    EXPECT_EQ(edit.text(), u("исание"));

    edit.setCursorPosition(edit.text().size());
    QTest::keyClick(&edit, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(edit.text(), u("исаниеРасп"));
    // Plain Delete and Insert keep their own meaning.
    edit.setCursorPosition(0);
    QTest::keyClick(&edit, Qt::Key_Delete);
    EXPECT_EQ(edit.text(), u("саниеРасп"));
    qApp->removeEventFilter(&aliases);
}

TEST(Startup, MessageBoxesUseTheSystemsCaptionsAndLineBreaks) {
    QHash<QAbstractButton*, tamsel::Button> answers;
    auto box = MessageBoxUserInterface::makeBox(QMessageBox::Question, u("Удаление"),
                                                u("Первая строка|Вторая строка"),
                                                tamsel::Yes | tamsel::No, tamsel::No, &answers);
    EXPECT_EQ(box->windowTitle(), u("Удаление"));
    EXPECT_EQ(box->text(), u("Первая строка\nВторая строка"));
    QStringList texts;
    for (QAbstractButton* b : box->buttons())
        texts << b->text();
    texts.sort();
    EXPECT_EQ(texts, (QStringList{u("&Да"), u("&Нет")}));
    EXPECT_EQ(answers.value(box->defaultButton()), tamsel::No);
    EXPECT_EQ(answers.value(box->escapeButton()), tamsel::No);

    // The port returns the button pressed.
    MessageBoxUserInterface ui;
    QTimer::singleShot(0, [] {
        auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        for (QAbstractButton* b : shown->buttons())
            if (b->text() == u("&Да")) b->click();
    });
    EXPECT_EQ(ui.ask(u("Очистка расписания"), u("Вопрос?"), tamsel::Yes | tamsel::No, tamsel::No),
              tamsel::Yes);
    QTimer::singleShot(0, [] {
        auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->text(), u("Файл (Teacher) не может быть открыт.  Ошибка: Нет доступа."));
        shown->buttons().first()->click();
    });
    // The error reporter shows through the port.
    tamsel::TestFolder t;
    t.dict().setUserInterface(ui);
    EXPECT_EQ(t.dict().errors().report(tamsel::Msg::OpenError,
                                       {QStringLiteral("Teacher"), {}, {}, u("Нет доступа")}),
              tamsel::Ok);
}

TEST(Startup, ProgressWindowShowsPercentAndCancel) {
    DialogProgress progress;
    progress.start(u("Очистка расписания"));
    ASSERT_NE(progress.dialog(), nullptr);
    EXPECT_EQ(progress.dialog()->windowTitle(), u("Обработка записей"));
    EXPECT_TRUE(progress.dialog()->labelText().endsWith(u("0% выполнено")));
    progress.setPercent(40);
    EXPECT_EQ(progress.dialog()->labelText(), u("Очистка расписания\n40% выполнено"));
    EXPECT_EQ(progress.dialog()->value(), 40);
    EXPECT_FALSE(progress.cancelled());
    progress.dialog()->cancel();
    EXPECT_TRUE(progress.cancelled());
    progress.finish();
    EXPECT_EQ(progress.dialog(), nullptr);
}
