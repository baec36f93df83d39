// The frame's menu, toolbars, checks, status bar, help and About.

#include "About.h"
#include "HelpWindow.h"
#include "MainFrame.h"
#include "Probe.h"
#include "RussianTexts.h"

#include "faldin/Faldin.h"
#include "tamsel/TestFolder.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <gtest/gtest.h>

using namespace korvel;
using korvel::test::ProbeFactory;
using korvel::test::Received;

namespace {
QString u(const char* s) {
    return QString::fromUtf8(s);
}

/// The menu as indented lines: submenus one level deeper, separators left out.
void walk(const QMenu* menu, int depth, QStringList& out) {
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) continue;
        out << QString(depth * 2, QLatin1Char(' ')) + a->text();
        if (a->menu()) walk(a->menu(), depth + 1, out);
    }
}
QStringList menuTree(MainFrame& f) {
    QStringList out;
    for (QAction* a : f.menuBar()->actions()) {
        out << a->text();
        if (a->menu()) walk(a->menu(), 1, out);
    }
    return out;
}

QAction* menuAction(MainFrame& f, const QStringList& path) {
    QList<QAction*> level = f.menuBar()->actions();
    QAction* found = nullptr;
    for (const QString& step : path) {
        found = nullptr;
        for (QAction* a : level)
            if (a->text() == step) found = a;
        if (!found) return nullptr;
        if (found->menu()) level = found->menu()->actions();
    }
    return found;
}

QAction* toolButton(QToolBar* bar, const QString& tip) {
    for (QAction* a : bar->actions())
        if (a->toolTip() == tip) return a;
    return nullptr;
}

QStringList tips(QToolBar* bar) {
    QStringList out;
    for (QAction* a : bar->actions())
        if (!a->isSeparator()) out << a->toolTip();
    return out;
}

} // namespace

TEST(Frame, MenuTreeIsTheProgramsMenuInOrder) {
    tamsel::TestFolder t;
    MainFrame f(t.dict());
    const QStringList expected{
        u("&Документы"),
        u("  Печать"),
        u("    Расписания всех учителей"),
        u("    Расписания всех учебных групп"),
        u("    Расписание загрузки кабинетов"),
        u("    Учебный план"),
        u("    Распределение нагрузки"),
        u("    Сводное расписание"),
        u("  Публикация расписания…"),
        u("  Замены…"),
        u("  &Принтер..."),
        u("  В&ыход"),
        u("&Редактор"),
        u("  &Отменить"),
        u("  Вернуть"),
        u("  &Вырезать"),
        u("  &Копировать"),
        u("  &Вставить"),
        u("Исходные данные"),
        u("  Список учебных дней ..."),
        u("  Список уроков ..."),
        u("  Список кабинетов ..."),
        u("  Список учителей ..."),
        u("  Список учебных групп ..."),
        u("  Типы учебных п/групп ..."),
        u("  Список учебных дисциплин ..."),
        u("  Учебные планы групп ..."),
        u("Требования к расписанию"),
        u("  Временные рамки ..."),
        u("  Нагрузка учителей ..."),
        u("  Одновременные уроки ..."),
        u("Расстановка уроков"),
        u("  Автоматическая расстановка уроков ..."),
        u("  Проверка данных для расстановки…"),
        u("  Нерасставленные уроки ..."),
        u("  Расстановка уроков (компактная) ..."),
        u("  Расстановка уроков ..."),
        u("  Обзор расписания (символьный) ..."),
        u("  Обзор расписания (графический) ..."),
        u("  Анализ расписания…"),
        u("  Полная очистка расписания"),
        u("  Очистка расписания и распределения нагрузки"),
        u("&Настройка"),
        u("  Компактный вид"),
        u("  Показывать все недели"),
        u("  Показывать ограничения урока"),
        u("  Переход к соотв. расписанию"),
        u("  Символьный обзор расписания"),
        u("  Внешний вид расписания ..."),
        u("  Календарь учебного года"),
        u("&Сервис"),
        u("  Архив расписаний ..."),
        u("  Сравнение расписаний…"),
        u("  Импорт из Lodra"),
        u("    Импорт основных данных "),
        u("    Импорт учебных планов"),
        u("  Импорт из FET…"),
        u("  Импорт исходных данных…"),
        u("  Экспорт расписания"),
        u("&Окно"),
        u("  &Вертикальная мозаика"),
        u("  &Горизонтальная мозаика"),
        u("  &Каскад"),
        u("  &Упорядочить все"),
        u("&?"),
        u("  &Содержание"),
        u("  &Поиск справки о..."),
        u("  &Работа со справочником"),
        u("  &О программе"),
    };
    EXPECT_EQ(menuTree(f), expected);

    const QList<std::pair<QStringList, QString>> hints{
        {{u("&Документы"), u("Печать")}, u("Печать документов")},
        {{u("&Документы"), u("&Принтер...")}, u("Выбор и настройки принтера")},
        {{u("&Документы"), u("В&ыход")}, u("Выход из приложения")},
        {{u("Расстановка уроков"), u("Расстановка уроков ...")},
         u("Размещение уроков в сетке часов")},
        {{u("&Настройка"), u("Показывать все недели")}, u("Показывать все недели сразу")},
        {{u("&Настройка"), u("Переход к соотв. расписанию")},
         u("Переход к соответствующему расписанию")},
        {{u("&Окно")}, u("Работа с окнами.")},
        {{u("&Окно"), u("&Горизонтальная мозаика")}, u("Сделать все открытые окна видимыми")},
        {{u("&Окно"), u("&Каскад")}, u("Наложить друг на друга все открытые окна")},
        {{u("&Окно"), u("&Упорядочить все")}, u("Показать значки всех окон")},
        {{u("&?")}, u("Вызов справочной системы")},
    };
    for (const auto& [path, hint] : hints) {
        QAction* a = menuAction(f, path);
        ASSERT_NE(a, nullptr) << path.join(QLatin1Char('/')).toStdString();
        EXPECT_EQ(a->statusTip(), hint) << path.join(QLatin1Char('/')).toStdString();
    }
}

TEST(Frame, ToolbarRowsCarryTheirTipsInOrder) {
    tamsel::TestFolder t;
    MainFrame f(t.dict());
    EXPECT_EQ(
        tips(f.mainToolBar()),
        (QStringList{u("Список учебных дней"), u("Расписание звонков"), u("Список кабинетов"),
                     u("Список учителей"), u("Список учебных групп"), u("Список учебных дисциплин"),
                     u("Учебные планы групп"), u("Требования к расписанию"), u("Нагрузка учителей"),
                     u("Одновременные уроки"), u("Автоматическая расстановка уроков"),
                     u("Список нерасставленных уроков"), u("Расстановка уроков"),
                     u("Обзор расписания"), u("Архив расписаний")}));
    EXPECT_EQ(tips(f.navigationBar()),
              (QStringList{u("Перейти к первой странице"), u("Перейти к предыдущей странице"),
                           u("Перейти к предыдущей записи"), u("Найти запись"),
                           u("Перейти к следующей записи"), u("Перейти к следующей странице"),
                           u("Перейти к последней странице"), u("Выбрать запись"),
                           u("Добавить новую запись"), u("Иззменить запись"), u("Удалить запись"),
                           u("Присвоить предыдущее значение"), u("Получить справку")}));
    // The second row starts a row of its own.
    EXPECT_TRUE(f.toolBarBreak(f.navigationBar()));
    for (QAction* a : f.mainToolBar()->actions())
        EXPECT_FALSE(a->icon().isNull());
    for (QAction* a : f.navigationBar()->actions())
        EXPECT_FALSE(a->icon().isNull());
}

TEST(Frame, ItemsAreEnabledOnlyForOfferedProcedures) {
    tamsel::TestFolder t;
    ProbeFactory probes;
    probes.add(t.dict(), QStringLiteral("DayList"));
    MainFrame f(t.dict());
    EXPECT_TRUE(menuAction(f, {u("Исходные данные"), u("Список учебных дней ...")})->isEnabled());
    EXPECT_TRUE(toolButton(f.mainToolBar(), u("Список учебных дней"))->isEnabled());
    EXPECT_FALSE(menuAction(f, {u("Исходные данные"), u("Список учителей ...")})->isEnabled());
    EXPECT_FALSE(toolButton(f.mainToolBar(), u("Список учителей"))->isEnabled());
    EXPECT_FALSE(
        menuAction(f, {u("&Документы"), u("Печать"), u("Сводное расписание")})->isEnabled());
    EXPECT_FALSE(menuAction(f, {u("&Сервис"), u("Архив расписаний ...")})->isEnabled());
    // Its question is the frame's own, but it is offered only with the clearing itself.
    EXPECT_FALSE(
        menuAction(f, {u("Расстановка уроков"), u("Полная очистка расписания")})->isEnabled());
    EXPECT_FALSE(
        menuAction(f, {u("Расстановка уроков"), u("Очистка расписания и распределения нагрузки")})
            ->isEnabled());
    EXPECT_TRUE(menuAction(f, {u("&Документы"), u("В&ыход")})->isEnabled());

    // A disabled item starts nothing even when triggered directly.
    menuAction(f, {u("Исходные данные"), u("Список учителей ...")})->trigger();
    EXPECT_TRUE(f.mdiArea()->subWindowList().isEmpty());
    menuAction(f, {u("Исходные данные"), u("Список учебных дней ...")})->trigger();
    EXPECT_EQ(f.mdiArea()->subWindowList().size(), 1);
}

TEST(Frame, ChecksFollowTheirFlags) {
    tamsel::TestFolder t;
    t.glo().AllWeeksShow = 1;
    t.glo().GoToSelectedObject = 0;
    MainFrame f(t.dict());
    QAction* small = menuAction(f, {u("&Настройка"), u("Компактный вид")});
    QAction* allWeeks = menuAction(f, {u("&Настройка"), u("Показывать все недели")});
    QAction* goTo = menuAction(f, {u("&Настройка"), u("Переход к соотв. расписанию")});
    QAction* text = menuAction(f, {u("&Настройка"), u("Символьный обзор расписания")});
    QAction* restrictions = menuAction(f, {u("&Настройка"), u("Показывать ограничения урока")});
    for (QAction* a : {small, allWeeks, goTo, text, restrictions})
        EXPECT_TRUE(a->isCheckable());
    EXPECT_FALSE(small->isChecked());
    EXPECT_TRUE(allWeeks->isChecked());
    EXPECT_FALSE(goTo->isChecked());

    EXPECT_EQ(f.gridMode(), QString());
    small->trigger();
    EXPECT_EQ(t.glo().SmallFlag, 1);
    EXPECT_EQ(f.gridMode(), QStringLiteral("Small"));
    allWeeks->trigger();
    EXPECT_EQ(t.glo().AllWeeksShow, 0);
    goTo->trigger();
    EXPECT_EQ(t.glo().GoToSelectedObject, 1);
    text->trigger();
    EXPECT_EQ(t.glo().UseTextOverview, 1);
    restrictions->trigger();
    EXPECT_EQ(t.glo().ShowLessonRestrictions, 1);
}

TEST(Frame, ShowLessonRestrictionsRefreshesEveryRegisteredWindow) {
    tamsel::TestFolder t;
    ProbeFactory probes;
    probes.add(t.dict(), QStringLiteral("DayList"));
    probes.add(t.dict(), QStringLiteral("TeacherList"));
    MainFrame f(t.dict());
    f.startProcedure(QStringLiteral("DayList"));
    f.startProcedure(QStringLiteral("TeacherList"));
    menuAction(f, {u("&Настройка"), u("Показывать ограничения урока")})->trigger();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(probes.log, (QList<Received>{{QStringLiteral("DayList1"), 1024},
                                           {QStringLiteral("TeacherList2"), 1024}}));
}

TEST(Frame, CompactViewChoosesTheGridOfTheToolbarButtonOnly) {
    tamsel::TestFolder t;
    ProbeFactory probes;
    probes.add(t.dict(), QStringLiteral("PivrelLessons"), false);
    probes.add(t.dict(), QStringLiteral("ColorOverview"), false);
    MainFrame f(t.dict());
    QAction* button = toolButton(f.mainToolBar(), u("Расстановка уроков"));
    QAction* normal = menuAction(f, {u("Расстановка уроков"), u("Расстановка уроков ...")});
    QAction* compact =
        menuAction(f, {u("Расстановка уроков"), u("Расстановка уроков (компактная) ...")});
    button->trigger();
    menuAction(f, {u("&Настройка"), u("Компактный вид")})->trigger();
    button->trigger();
    normal->trigger();
    compact->trigger();
    toolButton(f.mainToolBar(), u("Обзор расписания"))->trigger();
    using P = QPair<QString, QString>;
    EXPECT_EQ(probes.starts,
              (QList<P>{P(QStringLiteral("PivrelLessons"), QString()),
                        P(QStringLiteral("PivrelLessons"), QStringLiteral("Small")),
                        P(QStringLiteral("PivrelLessons"), QString()),
                        P(QStringLiteral("PivrelLessons"), QStringLiteral("Small")),
                        P(QStringLiteral("ColorOverview"), QStringLiteral("Small"))}));
    // Several grids may be open at once.
    EXPECT_EQ(f.mdiArea()->subWindowList().size(), 5);
}

TEST(Frame, OverviewButtonFollowsTheTextOverviewCheck) {
    tamsel::TestFolder t;
    ProbeFactory probes;
    probes.add(t.dict(), QStringLiteral("ColorOverview"), false);
    MainFrame f(t.dict());
    QAction* button = toolButton(f.mainToolBar(), u("Обзор расписания"));
    EXPECT_TRUE(button->isEnabled());
    menuAction(f, {u("&Настройка"), u("Символьный обзор расписания")})->trigger();
    // The text overview is not offered, so the button that would open it is off.
    EXPECT_FALSE(button->isEnabled());
    menuAction(f, {u("&Настройка"), u("Символьный обзор расписания")})->trigger();
    EXPECT_TRUE(button->isEnabled());
}

TEST(Frame, FullClearingAsksAndAnsweredNoChangesNothing) {
    tamsel::TestFolder t;
    ProbeFactory probes;
    probes.addDirect(t.dict(), QStringLiteral("ClearSchedule"));
    MainFrame f(t.dict());
    QAction* clear = menuAction(f, {u("Расстановка уроков"), u("Полная очистка расписания")});
    t.ui.answers = {tamsel::No};
    clear->trigger();
    ASSERT_EQ(t.ui.shown.size(), 1);
    EXPECT_EQ(t.ui.shown[0].kind, QStringLiteral("ask"));
    EXPECT_EQ(t.ui.shown[0].caption, u("Очистка расписания"));
    EXPECT_EQ(t.ui.shown[0].text, u("Вы уверены, что хотите снять все расставленные уроки?"));
    EXPECT_TRUE(probes.starts.isEmpty());

    t.ui.answers = {tamsel::Yes};
    clear->trigger();
    using P = QPair<QString, QString>;
    EXPECT_EQ(probes.starts, (QList<P>{P(QStringLiteral("ClearSchedule"), QStringLiteral("0"))}));
    menuAction(f, {u("Расстановка уроков"), u("Очистка расписания и распределения нагрузки")})
        ->trigger();
    EXPECT_EQ(probes.starts.last(), P(QStringLiteral("ClearSchedule"), QStringLiteral("1")));
    // A direct procedure leaves no window behind.
    EXPECT_TRUE(f.mdiArea()->subWindowList().isEmpty());
}

TEST(Frame, AutomaticPlacementFromTheMenuRefreshesTheOpenWindows) {
    tamsel::TestFolder t;
    ProbeFactory probes;
    probes.add(t.dict(), QStringLiteral("TeacherList"));
    probes.add(t.dict(), QStringLiteral("AutoPivrel"));
    MainFrame f(t.dict());
    f.startProcedure(QStringLiteral("TeacherList"));
    menuAction(f, {u("Расстановка уроков"), u("Автоматическая расстановка уроков ...")})->trigger();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(probes.log, (QList<Received>{{QStringLiteral("TeacherList1"), 1024},
                                           {QStringLiteral("AutoPivrel2"), 1024}}));
}

TEST(Frame, StatusBarShowsTodayAndTheTime) {
    EXPECT_EQ(longDateText(QDate(2026, 12, 7)), u("Понедельник, 7 декабря 2026 г."));
    EXPECT_EQ(longDateText(QDate(2027, 1, 3)), u("Воскресенье, 3 января 2027 г."));
    EXPECT_EQ(longDateText(QDate(2026, 5, 30)), u("Суббота, 30 мая 2026 г."));
    EXPECT_EQ(timeText(QTime(9, 5, 3)), QStringLiteral("09:05:03"));

    tamsel::TestFolder t;
    MainFrame f(t.dict());
    const QDate before = QDate::currentDate();
    f.updateStatus();
    const QString shown = f.dateLabel()->text();
    EXPECT_TRUE(shown == longDateText(before) || shown == longDateText(QDate::currentDate()));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"))
                    .match(f.timeLabel()->text())
                    .hasMatch());
    // The labels sit in the status bar, the time after the date.
    EXPECT_EQ(f.dateLabel()->parentWidget(), static_cast<QWidget*>(f.statusBar()));
    EXPECT_LT(f.dateLabel()->x(), f.timeLabel()->x() + 1);
}

TEST(Frame, TitleIconAndBuild) {
    tamsel::TestFolder t;
    MainFrame f(t.dict());
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Korvel"));
    EXPECT_FALSE(f.windowIcon().isNull());
    EXPECT_EQ(t.glo().BuildNumber, 295);
    EXPECT_EQ(t.glo().BuildDate, 72977);
    EXPECT_EQ(t.glo().BuildTime, 7894980);
    EXPECT_EQ(dateFromDayNumber(72977), QDate(2000, 10, 16));
    EXPECT_EQ(timeFromStored(7894980), QTime(21, 55, 49, 790));
}

TEST(Frame, AboutShowsTheBuildAndClosesOnAClick) {
    tamsel::TestFolder t;
    MainFrame f(t.dict());
    f.show();
    About* about = f.showAbout();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(t.glo().VersionId, u("Версия 1.001 от 16.10.2000."));
    EXPECT_EQ(about->findChild<QLabel*>(QStringLiteral("title"))->text(), QStringLiteral("Korvel"));
    EXPECT_EQ(about->findChild<QLabel*>(QStringLiteral("build"))->text(),
              u("Сборка 295 от 16.10.2000 21:55"));
    EXPECT_EQ(f.showAbout(), about); // one at a time
    QPointer<About> guard(about);
    QTest::mouseClick(about, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
}

TEST(Frame, AboutClosesByItselfAfterFiveSeconds) {
    tamsel::TestFolder t;
    MainFrame f(t.dict());
    QPointer<About> about(f.showAbout());
    // The window's own timer, read rather than waited for: five seconds, once.
    ASSERT_NE(about->closeTimer(), nullptr);
    EXPECT_TRUE(about->closeTimer()->isActive());
    EXPECT_TRUE(about->closeTimer()->isSingleShot());
    EXPECT_EQ(about->closeTimer()->interval(), 5000);
    QTest::qWait(100);
    EXPECT_FALSE(about.isNull());
    about->closeTimer()->start(0); // its time has come
    EXPECT_TRUE(QTest::qWaitFor([&] { return about.isNull(); }, 3000));
}

TEST(Frame, NavigationButtonsGoToTheActiveWindow) {
    tamsel::TestFolder t;
    ProbeFactory probes;
    probes.add(t.dict(), QStringLiteral("DayList"), true, false);
    probes.add(t.dict(), QStringLiteral("TeacherList"), true, false);
    MainFrame f(t.dict());
    f.show();
    QAction* insert = toolButton(f.navigationBar(), u("Добавить новую запись"));
    EXPECT_FALSE(insert->isEnabled());
    f.startProcedure(QStringLiteral("DayList"));
    QWidget* teachers = f.startProcedure(QStringLiteral("TeacherList"));
    f.mdiArea()->setActiveSubWindow(f.subWindowOf(teachers));
    EXPECT_TRUE(insert->isEnabled());
    insert->trigger();
    toolButton(f.navigationBar(), u("Перейти к последней странице"))->trigger();
    QCoreApplication::processEvents();
    const int type = tamsel::NavigationEvent::Type;
    EXPECT_EQ(probes.log,
              (QList<Received>{
                  {QStringLiteral("TeacherList2"), type, int(tamsel::NavigationButton::Insert)},
                  {QStringLiteral("TeacherList2"), type, int(tamsel::NavigationButton::Last)}}));
}

TEST(Frame, HelpOpensOnFirstStepsWithContentsAndSearch) {
    tamsel::TestFolder t;
    MainFrame f(t.dict());
    menuAction(f, {u("&?"), u("&Содержание")})->trigger();
    HelpWindow* help = f.helpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->currentTopic(), QStringLiteral("FirstSteps"));
    EXPECT_TRUE(help->browser()->toPlainText().contains(u("Первые шаги")));
    // The first steps cover entering data, placing lessons and printing.
    for (const char* part : {"Ввод данных", "Расстановка уроков", "Печать"})
        EXPECT_TRUE(help->browser()->toPlainText().contains(u(part))) << part;
    EXPECT_GE(help->pages().size(), 6);
    EXPECT_EQ(help->contentsList()->count(), help->pages().size());
    for (const HelpWindow::Page& p : help->pages())
        EXPECT_FALSE(p.title.isEmpty()) << p.topic.toStdString();

    EXPECT_TRUE(help->search(u("стоп!")).contains(QStringLiteral("FirstSteps")));
    EXPECT_TRUE(help->search(u("АРХИВ расписаний")).contains(QStringLiteral("Service")));
    EXPECT_TRUE(help->search(u("архив зеброид")).isEmpty());
    EXPECT_TRUE(help->search(QStringLiteral("  ")).isEmpty());

    menuAction(f, {u("&?"), u("&Поиск справки о...")})->trigger();
    EXPECT_EQ(f.helpWindow(), help); // one help window
    EXPECT_EQ(help->tabs()->currentIndex(), 1);
    help->showSearch(u("Lodra"));
    ASSERT_EQ(help->resultList()->count(), 1);
    EXPECT_EQ(help->resultList()->item(0)->text(), u("Настройка и сервис"));

    menuAction(f, {u("&?"), u("&Работа со справочником")})->trigger();
    EXPECT_EQ(help->currentTopic(), QStringLiteral("HelpOnHelp"));
    // Links between pages lead somewhere.
    EXPECT_TRUE(help->showTopic(QStringLiteral("~FirstSteps")));
    EXPECT_FALSE(help->showTopic(QStringLiteral("NoSuchPage")));
}

TEST(Frame, EditMenuActsOnTheFocusedField) {
    tamsel::TestFolder t;
    MainFrame f(t.dict());
    auto* edit = new QLineEdit(&f);
    f.show();
    QApplication::setActiveWindow(&f);
    edit->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), edit);
    edit->setText(u("Кабинет 12"));
    edit->selectAll();
    menuAction(f, {u("&Редактор"), u("&Копировать")})->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), u("Кабинет 12"));
    menuAction(f, {u("&Редактор"), u("&Вырезать")})->trigger();
    EXPECT_EQ(edit->text(), QString());
    menuAction(f, {u("&Редактор"), u("&Вставить")})->trigger();
    menuAction(f, {u("&Редактор"), u("&Вставить")})->trigger();
    EXPECT_EQ(edit->text(), u("Кабинет 12Кабинет 12"));
}

TEST(Frame, AbortInAStopPromptClosesTheFrame) {
    tamsel::TestFolder t;
    MainFrame f(t.dict());
    bool closed = false;
    QObject::connect(&f, &MainFrame::closed, &f, [&] { closed = true; });
    f.show();
    t.ui.stopAnswers << false;
    EXPECT_FALSE(t.dict().stopPrompt(u("Create(Log) - Error() = нет доступа")));
    QTest::qWait(300);
    EXPECT_FALSE(closed) << "Игнорировать goes on";
    t.ui.stopAnswers << true;
    EXPECT_TRUE(t.dict().stopPrompt(u("Create(Log) - Error() = нет доступа")));
    EXPECT_EQ(t.glo().ProcessingDisabled.load(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return closed; }, 2000));
}

TEST(Frame, ClearingItemsAreDisabledWhileNobodyOffersClearing) {
    tamsel::TestFolder t;
    MainFrame f(t.dict());
    EXPECT_FALSE(menuAction(f, {u("Расстановка уроков"), u("Полная очистка расписания")})->isEnabled());
    EXPECT_FALSE(menuAction(f, {u("Расстановка уроков"), u("Очистка расписания и распределения нагрузки")})
                     ->isEnabled());
}

TEST(Frame, FullClearingAnsweredYesUnplacesEveryLessonAndKeepsItsTeacher) {
    tamsel::TestFolder t;
    faldin::Init(t.dict(), nullptr, nullptr);
    {
        tamsel::FileUse use(t.store(), tamsel::FileId::Schedule);
        ASSERT_TRUE(t.put(tamsel::Schedule{.Week = 1, .DaySeqNumber = 1, .LessonNo = QStringLiteral("1"),
                                   .ScienceCode = 2, .TeacherCode = 3, .GroupCode = 1,
                                   .RoomCode = 5}).rowId);
    }
    MainFrame f(t.dict());
    QAction* clear = menuAction(f, {u("Расстановка уроков"), u("Полная очистка расписания")});
    EXPECT_TRUE(clear->isEnabled());
    t.ui.answers = {tamsel::Yes};
    clear->trigger();
    tamsel::FileUse use(t.store(), tamsel::FileId::Schedule);
    const auto all = t.dict().access<tamsel::Schedule>().all(tamsel::Schedule::ItemCode);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_TRUE(all[0].isUnplaced());
    EXPECT_EQ(all[0].RoomCode, 0);
    EXPECT_EQ(all[0].TeacherCode, 3);
    faldin::Kill(t.dict());
}

TEST(Frame, SourceDataItemsOpenTheirListWindows) {
    tamsel::TestFolder t;
    faldin::Init(t.dict(), nullptr, nullptr);
    MainFrame f(t.dict());
    for (const char* item : {"Список учебных дней ...", "Список уроков ...", "Список кабинетов ...",
                             "Список учителей ...", "Список учебных групп ...",
                             "Типы учебных п/групп ...", "Список учебных дисциплин ..."}) {
        QAction* a = menuAction(f, {u("Исходные данные"), u(item)});
        ASSERT_NE(a, nullptr) << item;
        EXPECT_TRUE(a->isEnabled()) << item;
    }
    // The plan comes with the demand windows.
    EXPECT_FALSE(menuAction(f, {u("Исходные данные"), u("Учебные планы групп ...")})->isEnabled());
    QWidget* days = f.startProcedure(QStringLiteral("DayList"));
    ASSERT_NE(days, nullptr);
    EXPECT_EQ(days->windowTitle(), u("Учебные дни"));
    // A second request brings the open one forward.
    EXPECT_EQ(f.startProcedure(QStringLiteral("DayList")), days);
    f.subWindowOf(days)->close();
    QCoreApplication::processEvents();
    faldin::Kill(t.dict());
}
