#include "MainFrame.h"

#include "About.h"
#include "Artwork.h"
#include "HelpWindow.h"
#include "RussianTexts.h"
#include "StopButton.h"

#include "tamsel/Dictionary.h"
#include "tamsel/widgets/WindowPlaceKeeper.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

namespace korvel {

using tamsel::NavigationButton;
namespace UserEvent = tamsel::UserEvent;

namespace {
QString u(const char* s) {
    return QString::fromUtf8(s);
}
const QString MainProcedure = QStringLiteral("Main");

/// A window that closes itself (its own "Закрыть" button) would leave an empty child frame
/// behind; this closes the frame around it as well.
class ChildCloseWatcher : public QObject {
public:
    ChildCloseWatcher(QWidget* window, QMdiSubWindow* sub)
        : QObject(sub), window_(window), sub_(sub) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Close) {
            // Whether the window accepted the close is known only afterwards.
            QTimer::singleShot(0, sub_, [w = window_, sub = sub_] {
                if (sub->isVisible() && (!w || w->isHidden())) sub->close();
            });
        }
        return false;
    }

private:
    QPointer<QWidget> window_;
    QMdiSubWindow* sub_;
};
} // namespace

MainFrame::MainFrame(tamsel::Dictionary& dict, QWidget* parent) : QMainWindow(parent), dict_(dict) {
    setObjectName(MainProcedure);
    dict_.glo.BuildNumber = BuildNumber;
    dict_.glo.BuildDate = BuildDate;
    dict_.glo.BuildTime = BuildTime;
    dict_.glo.FrameThread = dict_.windows.enlist(this, MainProcedure);
    dict_.glo.WindowRefreshQueue.clear();

    setWindowTitle(QStringLiteral("Korvel"));
    setWindowIcon(QIcon(svgPixmap(QStringLiteral(":/icons/korvel.svg"), QSize(64, 64))));

    mdi_ = new QMdiArea(this);
    mdi_->setObjectName(QStringLiteral("mdiArea"));
    mdi_->setBackground(QBrush(svgPixmap(QStringLiteral(":/wallpaper.svg"))));
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);

    buildMenus();
    buildToolBars();
    buildStatusBar();
    dict_.history().changed = [this] { updateUndoItems(); };
    updateAvailability();

    connect(mdi_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) {
        for (QAction* a : std::as_const(navigationActions_))
            a->setEnabled(sub != nullptr);
    });
    for (QAction* a : std::as_const(navigationActions_))
        a->setEnabled(false);

    // "Прервать" in a stop prompt ends the program: the frame closes as soon as the stopped
    // procedure has returned and its window lets it (closing saves places and settings).
    dict_.onAbort = [this] {
        auto* closer = new QTimer(this);
        connect(closer, &QTimer::timeout, this, [this] { close(); });
        closer->start(100);
    };

    // The relay counts its rounds from the user's last key, click or drop.
    QCoreApplication::instance()->installEventFilter(this);

    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &MainFrame::updateStatus);
    timer->start(1000);
    updateStatus();

    const QRect screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->availableGeometry()
                             : QRect(0, 0, 1024, 768);
    resize(screen.size() * 0.85);
    move(screen.center() - rect().center());
    tamsel::WindowPlaceKeeper::attach(this, dict_.settings(), MainProcedure);
}

MainFrame::~MainFrame() {
    dict_.onAbort = nullptr;
    dict_.history().changed = nullptr;
    // QWidget's destructor still closes the child windows, and the MDI area then reports
    // activations; by then this frame's members are gone.
    mdi_->disconnect(this);
    dict_.windows.release(dict_.windows.numberOf(this));
    dict_.glo.FrameThread = 0;
}

void MainFrame::open() {
    if (windowState() & Qt::WindowMaximized)
        showMaximized();
    else
        show();
}

QString MainFrame::gridMode() const {
    return dict_.glo.SmallFlag ? QStringLiteral("Small") : QString();
}

void MainFrame::buildStatusBar() {
    QStatusBar* bar = statusBar();
    dateLabel_ = new QLabel(bar);
    dateLabel_->setObjectName(QStringLiteral("date"));
    dateLabel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    dateLabel_->setContentsMargins(6, 0, 6, 0);
    timeLabel_ = new QLabel(bar);
    timeLabel_->setObjectName(QStringLiteral("time"));
    timeLabel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    timeLabel_->setContentsMargins(6, 0, 6, 0);
    timeLabel_->setMinimumWidth(
        timeLabel_->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) + 16);
    bar->addPermanentWidget(dateLabel_);
    bar->addPermanentWidget(timeLabel_);
}

void MainFrame::updateStatus() {
    const QDateTime now = QDateTime::currentDateTime();
    dateLabel_->setText(longDateText(now.date()));
    timeLabel_->setText(korvel::timeText(now.time()));
}

void MainFrame::updateAvailability() {
    for (const Launcher& l : std::as_const(launchers_))
        l.action->setEnabled(!l.procedure || dict_.procedures.contains(l.procedure()));
    updateUndoItems();
}

void MainFrame::updateUndoItems() {
    // The items name the step they would take back or do again.
    const tamsel::EditHistory& h = dict_.history();
    undo_->setText(h.canUndo() ? u("&Отменить: ") + h.undoName() : u("&Отменить"));
    undo_->setEnabled(h.canUndo());
    redo_->setText(h.canRedo() ? u("Вернуть: ") + h.redoName() : u("Вернуть"));
    redo_->setEnabled(h.canRedo());
}

// ---------------------------------------------------------------------------------------
// Starting procedures

QWidget* MainFrame::startProcedure(const QString& name, const QString& mode) {
    const tamsel::Procedure* p = dict_.procedures.find(name);
    if (!p || !p->start) return nullptr;
    if (p->kind == tamsel::Procedure::Window && p->singleInstance) {
        if (const tamsel::Short n = dict_.windows.findOpen(name)) {
            QObject* open = dict_.windows.window(n);
            activate(open);
            return qobject_cast<QWidget*>(open);
        }
    }
    tamsel::ProcedureCall call;
    call.mode = mode;
    call.frame = this;
    QObject* made = nullptr;
    try {
        made = p->start(dict_, call);
    } catch (const std::exception& e) {
        dict_.ui().tell(QStringLiteral("Korvel"),
                        u("Не удалось выполнить %1:|%2").arg(name, QString::fromUtf8(e.what())));
        return nullptr;
    }
    if (p->kind == tamsel::Procedure::Direct || !made) return nullptr;
    auto* w = qobject_cast<QWidget*>(made);
    if (!w) {
        delete made;
        return nullptr;
    }
    QMdiSubWindow* sub = mdi_->addSubWindow(w);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    new ChildCloseWatcher(w, sub);
    if (w->windowIcon().isNull() || w->windowIcon().cacheKey() == windowIcon().cacheKey())
        sub->setWindowIcon(windowIcon());
    const tamsel::Short number = dict_.windows.enlist(w, name);
    if (p->wantsRefresh) dict_.windows.listen(number);
    const tamsel::WindowPlace place =
        tamsel::WindowPlaceKeeper::attach(sub, dict_.settings(), name);
    // A child window is not a top-level window, so its layout's minimum is not enforced: a kept
    // or a window's own small size would squeeze buttons and drop lists until their texts are
    // cut. The frame never lets a child window get smaller than its contents need.
    sub->setMinimumSize(sub->minimumSizeHint());
    if (place.found && place.maximize)
        sub->showMaximized();
    else
        sub->show();
    return w;
}

void MainFrame::activate(QObject* window) {
    if (QMdiSubWindow* sub = subWindowOf(window)) {
        if (sub->isMinimized()) sub->showNormal();
        mdi_->setActiveSubWindow(sub);
        sub->raise();
        return;
    }
    if (auto* w = qobject_cast<QWidget*>(window)) {
        if (w->isMinimized()) w->showNormal();
        w->show();
        w->raise();
        w->activateWindow();
    }
}

QMdiSubWindow* MainFrame::subWindowOf(const QObject* window) const {
    for (QMdiSubWindow* sub : mdi_->subWindowList())
        if (sub->widget() == window) return sub;
    return nullptr;
}

void MainFrame::clearScheduleFully() {
    const tamsel::Button answer = dict_.ui().ask(
        u("Очистка расписания"), u("Вы уверены, что хотите снять все расставленные уроки?"),
        tamsel::Yes | tamsel::No, tamsel::No);
    if (answer != tamsel::Yes) return;
    startProcedure(QStringLiteral("ClearSchedule"), QStringLiteral("0"));
}

void MainFrame::openArchive() {
    // The archive replaces whole data files: no other window may hold them open.
    if (!closeOtherWindows()) return;
    startProcedure(QStringLiteral("ArcSched"));
}

bool MainFrame::closeOtherWindows() {
    for (QMdiSubWindow* sub : mdi_->subWindowList()) {
        if (!sub->close()) return false;
        // Closed windows release their files now, not when the event loop gets round to it.
        delete sub;
    }
    for (QWidget* w : {static_cast<QWidget*>(stop_), static_cast<QWidget*>(help_),
                       static_cast<QWidget*>(about_)})
        if (w) delete w;
    return true;
}

void MainFrame::editAction(int key) {
    QWidget* target = QApplication::focusWidget();
    if (!target || editing_) return;
    // A key sent by the program is first offered as a shortcut: while our own actions hold
    // Ctrl+X/C/V they would take it again and again. Switched off, the key reaches the widget.
    editing_ = true;
    for (QAction* a : std::as_const(editActions_))
        a->setEnabled(false);
    QPointer<QWidget> alive(target);
    QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
    QApplication::sendEvent(target, &press);
    if (alive) {
        QKeyEvent release(QEvent::KeyRelease, key, Qt::ControlModifier);
        QApplication::sendEvent(target, &release);
    }
    for (QAction* a : std::as_const(editActions_))
        a->setEnabled(true);
    editing_ = false;
}

// ---------------------------------------------------------------------------------------
// Events

void MainFrame::customEvent(QEvent* event) {
    const int type = event->type();
    if (UserEvent::isRelayed(type))
        relay(type);
    else if (type == UserEvent::OpenStopButton)
        openStopButton();
    else if (type == UserEvent::CloseStopButton)
        closeStopButton();
    else if (type == UserEvent::ShowSelectedInGrid)
        showSelectedInGrid();
    else
        QMainWindow::customEvent(event);
}

bool MainFrame::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Drop:
    case QEvent::Wheel:
        relayedSinceInput_ = 0;
        relayStopped_ = false;
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainFrame::relay(int type) {
    // Windows answer a relayed event by posting again only through a fault; such a ring would
    // keep the program busy for ever. One user action needs a few rounds, never hundreds.
    if (relayStopped_) return;
    if (++relayedSinceInput_ > RelayLimitPerInput) {
        relayStopped_ = true;
        qWarning("Korvel: event %d relayed more than %d times since the last user input; "
                 "relaying paused until the next input",
                 type, RelayLimitPerInput);
        return;
    }
    // A copy: a window may open or close while the events are handed out.
    const std::set<tamsel::Short> queue = dict_.glo.WindowRefreshQueue;
    for (tamsel::Short n : queue)
        if (n != dict_.glo.FrameThread) dict_.windows.post(n, type);
}

void MainFrame::showSelectedInGrid() {
    // A user action, not a window's echo: it may start a window and counts as fresh input.
    relayedSinceInput_ = 0;
    relayStopped_ = false;
    if (!dict_.windows.findOpen(QStringLiteral("PivrelLessons")))
        startProcedure(QStringLiteral("PivrelLessons"));
    relay(UserEvent::GoToSelected);
}

void MainFrame::openStopButton() {
    if (stop_) {
        activate(stop_);
        return;
    }
    stop_ = new StopButton(dict_, this);
    dict_.windows.enlist(stop_, QStringLiteral("StopButton"));
    stop_->adjustSize();
    QPoint at(dict_.glo.StopButtonAtX, dict_.glo.StopButtonAtY);
    // Never off every screen, where it could not be pressed.
    if (QScreen* s = QGuiApplication::screenAt(at); !s && QGuiApplication::primaryScreen())
        at = QGuiApplication::primaryScreen()->availableGeometry().topLeft();
    stop_->move(at);
    stop_->show();
}

void MainFrame::closeStopButton() {
    if (stop_) stop_->close();
}

void MainFrame::navigate(NavigationButton button) {
    QMdiSubWindow* sub = mdi_->activeSubWindow();
    if (!sub || !sub->widget()) return;
    QCoreApplication::postEvent(sub->widget(), new tamsel::NavigationEvent(button));
}

void MainFrame::closeEvent(QCloseEvent* event) {
    if (!closeOtherWindows()) {
        event->ignore();
        return;
    }
    event->accept();
    emit closed();
}

// ---------------------------------------------------------------------------------------
// Window arrangements, help, About

void MainFrame::tileVertically() {
    QList<QMdiSubWindow*> subs;
    for (QMdiSubWindow* sub : mdi_->subWindowList())
        if (!sub->isHidden() && !sub->isMinimized()) subs << sub;
    if (subs.isEmpty()) return;
    const QRect area = mdi_->viewport()->rect();
    const int w = area.width() / int(subs.size());
    for (int i = 0; i < subs.size(); ++i) {
        if (subs[i]->isMaximized()) subs[i]->showNormal();
        const int width = i == subs.size() - 1 ? area.width() - w * i : w;
        subs[i]->setGeometry(w * i, 0, width, area.height());
    }
}

void MainFrame::tileHorizontally() {
    QList<QMdiSubWindow*> subs;
    for (QMdiSubWindow* sub : mdi_->subWindowList())
        if (!sub->isHidden() && !sub->isMinimized()) subs << sub;
    if (subs.isEmpty()) return;
    const QRect area = mdi_->viewport()->rect();
    const int h = area.height() / int(subs.size());
    for (int i = 0; i < subs.size(); ++i) {
        if (subs[i]->isMaximized()) subs[i]->showNormal();
        const int height = i == subs.size() - 1 ? area.height() - h * i : h;
        subs[i]->setGeometry(0, h * i, area.width(), height);
    }
}

void MainFrame::arrangeIcons() {
    const QRect area = mdi_->viewport()->rect();
    int x = 0;
    int y = area.bottom() + 1;
    for (QMdiSubWindow* sub : mdi_->subWindowList()) {
        if (sub->isHidden() || !sub->isMinimized()) continue;
        const QSize s = sub->size();
        if (x > 0 && x + s.width() > area.width()) {
            x = 0;
            y -= s.height();
        }
        if (x == 0 && y == area.bottom() + 1) y -= s.height();
        sub->move(x, y);
        x += s.width();
    }
}

HelpWindow* MainFrame::showHelp(const QString& topic) {
    if (!help_) {
        help_ = new HelpWindow(dict_.settings(), this);
        dict_.windows.enlist(help_, QStringLiteral("Help"));
    }
    help_->showTopic(topic);
    activate(help_);
    return help_;
}

HelpWindow* MainFrame::showHelpSearch() {
    HelpWindow* h = showHelp(QStringLiteral("HelpOnHelp"));
    h->showSearch();
    return h;
}

About* MainFrame::showAbout() {
    if (!about_) {
        about_ = new About(dict_, this);
        dict_.windows.enlist(about_, QStringLiteral("About"));
        about_->adjustSize();
        about_->move(geometry().center() - about_->rect().center());
    }
    activate(about_);
    return about_;
}

} // namespace korvel
