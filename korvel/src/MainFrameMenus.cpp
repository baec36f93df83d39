// The frame's menu and tool bars: what each item starts, and which procedures it offers.

#include "MainFrame.h"

#include "Artwork.h"
#include "RussianTexts.h"

#include "tamsel/Dictionary.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QToolBar>

namespace korvel {

using tamsel::NavigationButton;
namespace UserEvent = tamsel::UserEvent;

namespace {
QString u(const char* s) {
    return QString::fromUtf8(s);
}
} // namespace

// ---------------------------------------------------------------------------------------
// Menu and toolbars

QAction* MainFrame::launcher(const QString& text, std::function<QString()> procedure,
                             std::function<void()> run) {
    auto* a = new QAction(text, this);
    if (!run) run = [this, procedure] { startProcedure(procedure()); };
    connect(a, &QAction::triggered, this, [run] { run(); });
    launchers_.append({a, std::move(procedure)});
    return a;
}

QAction* MainFrame::procedureItem(QMenu* menu, const QString& text, const QString& procedure,
                                  const QString& mode, const QString& tip) {
    QAction* a = launcher(
        text, [procedure] { return procedure; },
        [this, procedure, mode] { startProcedure(procedure, mode); });
    a->setObjectName(procedure + (mode.isEmpty() ? QString() : QLatin1Char('.') + mode));
    if (!tip.isEmpty()) a->setStatusTip(tip);
    menu->addAction(a);
    return a;
}

QAction* MainFrame::checkItem(QMenu* menu, const QString& text, tamsel::Short* flag,
                              const QString& tip, std::function<void()> after) {
    QAction* a = menu->addAction(text);
    a->setCheckable(true);
    a->setChecked(*flag != 0);
    if (!tip.isEmpty()) a->setStatusTip(tip);
    connect(a, &QAction::toggled, this, [flag, after](bool on) {
        *flag = on ? 1 : 0;
        if (after) after();
    });
    return a;
}

void MainFrame::buildMenus() {
    QMenuBar* bar = menuBar();

    QMenu* documents = bar->addMenu(u("&Документы"));
    QMenu* print = documents->addMenu(icon(QStringLiteral("print")), u("Печать"));
    print->menuAction()->setStatusTip(u("Печать документов"));
    procedureItem(print, u("Расписания всех учителей"), QStringLiteral("PrintTeacherSchedule"));
    procedureItem(print, u("Расписания всех учебных групп"), QStringLiteral("PrintGroupSchedule"));
    procedureItem(print, u("Расписание загрузки кабинетов"), QStringLiteral("PrintRoomSchedule"));
    procedureItem(print, u("Учебный план"), QStringLiteral("PrintTrainingCourse"));
    procedureItem(print, u("Распределение нагрузки"), QStringLiteral("PrintTeacherLoad"));
    procedureItem(print, u("Сводное расписание"), QStringLiteral("PrintBriefSchedule"));
    procedureItem(documents, u("Публикация расписания…"), QStringLiteral("PublishSchedule"),
                  QString(), u("Веб-страницы, календари, таблицы Excel и CSV"));
    procedureItem(documents, u("Замены…"), QStringLiteral("Substitutions"), QString(),
                  u("Замена уроков отсутствующих учителей на дату"));
    procedureItem(documents, u("&Принтер..."), QStringLiteral("PrinterSetup"), QString(),
                  u("Выбор и настройки принтера"));
    documents->addSeparator();
    QAction* quit =
        documents->addAction(icon(QStringLiteral("exit")), u("В&ыход"), this, &QWidget::close);
    quit->setStatusTip(u("Выход из приложения"));
    quit->setObjectName(QStringLiteral("Exit"));

    QMenu* edit = bar->addMenu(u("&Редактор"));
    undo_ = edit->addAction(u("&Отменить"), this, [this] { dict_.history().undo(dict_); });
    undo_->setObjectName(QStringLiteral("Undo"));
    undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    undo_->setStatusTip(u("Отменить последнее изменение расписания, сделанное вручную"));
    redo_ = edit->addAction(u("Вернуть"), this, [this] { dict_.history().redo(dict_); });
    redo_->setObjectName(QStringLiteral("Redo"));
    redo_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    redo_->setStatusTip(u("Вернуть отменённое изменение расписания"));
    edit->addSeparator();
    QAction* cut = edit->addAction(u("&Вырезать"), this, [this] { editAction(Qt::Key_X); });
    cut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    QAction* copy = edit->addAction(u("&Копировать"), this, [this] { editAction(Qt::Key_C); });
    copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    QAction* paste = edit->addAction(u("&Вставить"), this, [this] { editAction(Qt::Key_V); });
    paste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    editActions_ = {cut, copy, paste};

    QMenu* source = bar->addMenu(u("Исходные данные"));
    procedureItem(source, u("Список учебных дней ..."), QStringLiteral("DayList"))
        ->setIcon(icon(QStringLiteral("days")));
    procedureItem(source, u("Список уроков ..."), QStringLiteral("LessonBellList"))
        ->setIcon(icon(QStringLiteral("bells")));
    procedureItem(source, u("Список кабинетов ..."), QStringLiteral("RoomList"))
        ->setIcon(icon(QStringLiteral("rooms")));
    procedureItem(source, u("Список учителей ..."), QStringLiteral("TeacherList"))
        ->setIcon(icon(QStringLiteral("teachers")));
    procedureItem(source, u("Список учебных групп ..."), QStringLiteral("GroupList"))
        ->setIcon(icon(QStringLiteral("groups")));
    procedureItem(source, u("Типы учебных п/групп ..."), QStringLiteral("SubGroupTypeList"));
    procedureItem(source, u("Список учебных дисциплин ..."), QStringLiteral("ScienceList"))
        ->setIcon(icon(QStringLiteral("subjects")));
    procedureItem(source, u("Учебные планы групп ..."), QStringLiteral("TrainingPlan"))
        ->setIcon(icon(QStringLiteral("plan")));

    QMenu* demands = bar->addMenu(u("Требования к расписанию"));
    procedureItem(demands, u("Временные рамки ..."), QStringLiteral("TimeRestrictions"))
        ->setIcon(icon(QStringLiteral("restrictions")));
    procedureItem(demands, u("Нагрузка учителей ..."), QStringLiteral("TeacherLessons"))
        ->setIcon(icon(QStringLiteral("load")));
    procedureItem(demands, u("Одновременные уроки ..."), QStringLiteral("LessonLinks"))
        ->setIcon(icon(QStringLiteral("links")));

    QMenu* placing = bar->addMenu(u("Расстановка уроков"));
    QAction* autoItem = launcher(
        u("Автоматическая расстановка уроков ..."), [] { return QStringLiteral("AutoPivrel"); },
        [this] {
            startProcedure(QStringLiteral("AutoPivrel"));
            // Every open window shows the state the placement starts from.
            dict_.windows.postToFrame(UserEvent::Refresh);
        });
    autoItem->setIcon(icon(QStringLiteral("auto")));
    autoItem->setObjectName(QStringLiteral("AutoPivrel"));
    placing->addAction(autoItem);
    procedureItem(placing, u("Проверка данных для расстановки…"),
                  QStringLiteral("PlacementCheck"));
    procedureItem(placing, u("Нерасставленные уроки ..."), QStringLiteral("UnplacedLessons"))
        ->setIcon(icon(QStringLiteral("unplaced")));
    procedureItem(placing, u("Расстановка уроков (компактная) ..."),
                  QStringLiteral("PivrelLessons"), QStringLiteral("Small"));
    procedureItem(placing, u("Расстановка уроков ..."), QStringLiteral("PivrelLessons"), QString(),
                  u("Размещение уроков в сетке часов"))
        ->setIcon(icon(QStringLiteral("placing")));
    QAction* overview = launcher(
        u("Обзор расписания (символьный) ..."), [] { return QStringLiteral("Overview"); },
        [this] { startProcedure(QStringLiteral("Overview"), gridMode()); });
    overview->setObjectName(QStringLiteral("Overview"));
    placing->addAction(overview);
    QAction* colour = launcher(
        u("Обзор расписания (графический) ..."), [] { return QStringLiteral("ColorOverview"); },
        [this] { startProcedure(QStringLiteral("ColorOverview"), gridMode()); });
    colour->setObjectName(QStringLiteral("ColorOverview"));
    colour->setIcon(icon(QStringLiteral("overview")));
    placing->addAction(colour);
    procedureItem(placing, u("Анализ расписания…"), QStringLiteral("TimetableAnalysis"), QString(),
                  u("Окна учителей и групп, нагрузка по дням, повторы предметов"));
    placing->addSeparator();
    QAction* clearAll = launcher(
        u("Полная очистка расписания"), [] { return QStringLiteral("ClearSchedule"); },
        [this] { clearScheduleFully(); });
    clearAll->setObjectName(QStringLiteral("ClearSchedule.0"));
    placing->addAction(clearAll);
    procedureItem(placing, u("Очистка расписания и распределения нагрузки"),
                  QStringLiteral("ClearSchedule"), QStringLiteral("1"));

    QMenu* settings = bar->addMenu(u("&Настройка"));
    checkItem(settings, u("Компактный вид"), &dict_.glo.SmallFlag)
        ->setObjectName(QStringLiteral("SmallFlag"));
    checkItem(settings, u("Показывать все недели"), &dict_.glo.AllWeeksShow,
              u("Показывать все недели сразу"))
        ->setObjectName(QStringLiteral("AllWeeksShow"));
    checkItem(settings, u("Показывать ограничения урока"), &dict_.glo.ShowLessonRestrictions,
              QString(), [this] { dict_.windows.postToFrame(UserEvent::Refresh); })
        ->setObjectName(QStringLiteral("ShowLessonRestrictions"));
    checkItem(settings, u("Переход к соотв. расписанию"), &dict_.glo.GoToSelectedObject,
              u("Переход к соответствующему расписанию"))
        ->setObjectName(QStringLiteral("GoToSelectedObject"));
    checkItem(settings, u("Символьный обзор расписания"), &dict_.glo.UseTextOverview, QString(),
              [this] { updateAvailability(); })
        ->setObjectName(QStringLiteral("UseTextOverview"));
    settings->addSeparator();
    procedureItem(settings, u("Внешний вид расписания ..."), QStringLiteral("ExterierConfig"));
    procedureItem(settings, u("Календарь учебного года"), QStringLiteral("SchoolCalendar"));

    QMenu* service = bar->addMenu(u("&Сервис"));
    QAction* archive = launcher(
        u("Архив расписаний ..."), [] { return QStringLiteral("ArcSched"); },
        [this] { openArchive(); });
    archive->setObjectName(QStringLiteral("ArcSched"));
    archive->setIcon(icon(QStringLiteral("archive")));
    service->addAction(archive);
    procedureItem(service, u("Сравнение расписаний…"), QStringLiteral("CompareSchedules"),
                  QString(), u("Что изменилось против расписания из архива"));
    QMenu* import = service->addMenu(u("Импорт из Lodra"));
    for (const auto& [text, procedure] :
         {std::pair{u("Импорт основных данных "), QStringLiteral("Import1FromLodra")},
          std::pair{u("Импорт учебных планов"), QStringLiteral("Import2FromLodra")}}) {
        // The import replaces whole data files: no other window may hold them open.
        QAction* item = launcher(
            text, [procedure] { return procedure; },
            [this, procedure] {
                if (closeOtherWindows()) startProcedure(procedure);
            });
        item->setObjectName(procedure);
        import->addAction(item);
    }
    {
        // Builds the whole school in the folder: no other window may hold its files open.
        QAction* fet = launcher(
            u("Импорт из FET…"), [] { return QStringLiteral("ImportFromFet"); },
            [this] {
                if (closeOtherWindows()) startProcedure(QStringLiteral("ImportFromFet"));
            });
        fet->setObjectName(QStringLiteral("ImportFromFet"));
        service->addAction(fet);
        QAction* tables = launcher(
            u("Импорт исходных данных…"), [] { return QStringLiteral("ImportTables"); },
            [this] {
                if (closeOtherWindows()) startProcedure(QStringLiteral("ImportTables"));
            });
        tables->setObjectName(QStringLiteral("ImportTables"));
        service->addAction(tables);
    }
    procedureItem(service, u("Экспорт расписания"), QStringLiteral("ExportSchedule"));

    QMenu* window = bar->addMenu(u("&Окно"));
    window->menuAction()->setStatusTip(u("Работа с окнами."));
    QAction* vertical =
        window->addAction(icon(QStringLiteral("tile-vertical")), u("&Вертикальная мозаика"), this,
                          &MainFrame::tileVertically);
    QAction* horizontal =
        window->addAction(icon(QStringLiteral("tile-horizontal")), u("&Горизонтальная мозаика"),
                          this, &MainFrame::tileHorizontally);
    horizontal->setStatusTip(u("Сделать все открытые окна видимыми"));
    QAction* cascade = window->addAction(icon(QStringLiteral("cascade")), u("&Каскад"), mdi_,
                                         &QMdiArea::cascadeSubWindows);
    cascade->setStatusTip(u("Наложить друг на друга все открытые окна"));
    QAction* arrange = window->addAction(icon(QStringLiteral("arrange")), u("&Упорядочить все"),
                                         this, &MainFrame::arrangeIcons);
    arrange->setStatusTip(u("Показать значки всех окон"));
    windowArrangeActions_ = {vertical, horizontal, cascade, arrange};
    connect(window, &QMenu::aboutToShow, this, [this, window] { fillWindowMenu(window); });

    QMenu* help = bar->addMenu(u("&?"));
    help->menuAction()->setStatusTip(u("Вызов справочной системы"));
    QAction* contents = help->addAction(u("&Содержание"), this, [this] {
        if (HelpWindow* h = showHelp(QStringLiteral("~FirstSteps"))) h->showContents();
    });
    contents->setShortcut(QKeySequence::HelpContents);
    help->addAction(u("&Поиск справки о..."), this, [this] { showHelpSearch(); });
    help->addAction(u("&Работа со справочником"), this,
                    [this] { showHelp(QStringLiteral("HelpOnHelp")); });
    help->addSeparator();
    help->addAction(icon(QStringLiteral("korvel")), u("&О программе"), this,
                    [this] { showAbout(); })
        ->setObjectName(QStringLiteral("About"));
}

void MainFrame::fillWindowMenu(QMenu* menu) {
    // The arrangements stay; the list of open windows is rebuilt each time.
    for (QAction* a : menu->actions())
        if (!windowArrangeActions_.contains(a)) menu->removeAction(a), a->deleteLater();
    const bool any = !mdi_->subWindowList().isEmpty();
    for (QAction* a : std::as_const(windowArrangeActions_))
        a->setEnabled(any);
    if (!any) return;
    menu->addSeparator();
    int n = 0;
    for (QMdiSubWindow* sub : mdi_->subWindowList()) {
        if (sub->isHidden()) continue;
        ++n;
        const QString text = n < 10 ? QStringLiteral("&%1 %2").arg(n).arg(sub->windowTitle())
                                    : QStringLiteral("%1 %2").arg(n).arg(sub->windowTitle());
        QAction* a = menu->addAction(text, this, [this, sub] {
            if (sub->isMinimized()) sub->showNormal();
            mdi_->setActiveSubWindow(sub);
        });
        a->setCheckable(true);
        a->setChecked(sub == mdi_->activeSubWindow());
    }
}

void MainFrame::buildToolBars() {
    tools_ = addToolBar(u("Панель инструментов"));
    tools_->setObjectName(QStringLiteral("tools"));
    tools_->setMovable(false);
    tools_->setIconSize(QSize(24, 24));
    struct Button {
        const char* tip;
        const char* procedure;
        const char* icon;
    };
    static const Button buttons[] = {
        {"Список учебных дней", "DayList", "days"},
        {"Расписание звонков", "LessonBellList", "bells"},
        {"Список кабинетов", "RoomList", "rooms"},
        {"Список учителей", "TeacherList", "teachers"},
        {"Список учебных групп", "GroupList", "groups"},
        {"Список учебных дисциплин", "ScienceList", "subjects"},
        {"Учебные планы групп", "TrainingPlan", "plan"},
        {"Требования к расписанию", "TimeRestrictions", "restrictions"},
        {"Нагрузка учителей", "TeacherLessons", "load"},
        {"Одновременные уроки", "LessonLinks", "links"},
        {"Автоматическая расстановка уроков", "AutoPivrel", "auto"},
        {"Список нерасставленных уроков", "UnplacedLessons", "unplaced"},
    };
    auto add = [this](const QString& tip, const QString& iconName, QAction* a) {
        a->setText(tip);
        a->setToolTip(tip);
        a->setStatusTip(tip);
        a->setIcon(icon(iconName));
        tools_->addAction(a);
    };
    for (const Button& b : buttons) {
        const QString procedure = QString::fromLatin1(b.procedure);
        add(u(b.tip), QString::fromLatin1(b.icon),
            launcher(QString(), [procedure] { return procedure; }));
    }
    add(u("Расстановка уроков"), QStringLiteral("placing"),
        launcher(
            QString(), [] { return QStringLiteral("PivrelLessons"); },
            [this] { startProcedure(QStringLiteral("PivrelLessons"), gridMode()); }));
    auto overviewProcedure = [this] {
        return dict_.glo.UseTextOverview ? QStringLiteral("Overview")
                                         : QStringLiteral("ColorOverview");
    };
    add(u("Обзор расписания"), QStringLiteral("overview"),
        launcher(QString(), overviewProcedure,
                 [this, overviewProcedure] { startProcedure(overviewProcedure(), gridMode()); }));
    add(u("Архив расписаний"), QStringLiteral("archive"),
        launcher(
            QString(), [] { return QStringLiteral("ArcSched"); }, [this] { openArchive(); }));

    addToolBarBreak();
    navigation_ = addToolBar(u("Навигация по записям"));
    navigation_->setObjectName(QStringLiteral("navigation"));
    navigation_->setMovable(false);
    navigation_->setIconSize(QSize(20, 20));
    struct Nav {
        const char* tip;
        const char* icon;
        NavigationButton button;
    };
    static const Nav navs[] = {
        {"Перейти к первой странице", "nav-first", NavigationButton::First},
        {"Перейти к предыдущей странице", "nav-pageup", NavigationButton::PageUp},
        {"Перейти к предыдущей записи", "nav-previous", NavigationButton::Previous},
        {"Найти запись", "nav-locate", NavigationButton::Locate},
        {"Перейти к следующей записи", "nav-next", NavigationButton::Next},
        {"Перейти к следующей странице", "nav-pagedown", NavigationButton::PageDown},
        {"Перейти к последней странице", "nav-last", NavigationButton::Last},
        {"Выбрать запись", "nav-select", NavigationButton::Select},
        {"Добавить новую запись", "nav-insert", NavigationButton::Insert},
        {"Иззменить запись", "nav-change", NavigationButton::Change},
        {"Удалить запись", "nav-delete", NavigationButton::Delete},
        {"Присвоить предыдущее значение", "nav-ditto", NavigationButton::Ditto},
        {"Получить справку", "nav-help", NavigationButton::Help},
    };
    for (const Nav& n : navs) {
        QAction* a = navigation_->addAction(icon(QString::fromLatin1(n.icon)), u(n.tip));
        a->setToolTip(u(n.tip));
        a->setStatusTip(u(n.tip));
        const NavigationButton button = n.button;
        connect(a, &QAction::triggered, this, [this, button] { navigate(button); });
        navigationActions_.append(a);
    }
}

} // namespace korvel
