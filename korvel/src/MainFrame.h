#pragma once

#include "About.h"
#include "HelpWindow.h"
#include "StopButton.h"

#include "tamsel/Events.h"
#include "tamsel/Records.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

namespace tamsel {
class Dictionary;
}

namespace korvel {

/// The main frame "Korvel" (procedure "Main"): the menu, the two toolbar rows and the status
/// bar; it starts the procedures the libraries offer (tamsel::Procedures), shows their windows
/// as its child windows, relays user events 1024..1280 to the windows in
/// `WindowRefreshQueue`, and shows the stop button on 1281 / closes it on 1282.
class MainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr tamsel::Long BuildNumber = 295;
    static constexpr tamsel::Long BuildDate = 72977;
    static constexpr tamsel::Long BuildTime = 7894980;

    explicit MainFrame(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    ~MainFrame() override;

    /// Shows the frame at its kept place (maximised when it was).
    void open();

    /// Starts procedure `name` as the menu does. A window procedure's window is returned, a
    /// single-instance one already open is activated and returned instead; direct procedures
    /// and procedures no library offers return nullptr.
    QWidget* startProcedure(const QString& name, const QString& mode = QString());
    /// "Small" when "Компактный вид" is checked, otherwise empty.
    QString gridMode() const;
    /// Closes every window but the frame; false when one of them refused to close.
    bool closeOtherWindows();
    /// Enables the items whose procedures are offered now, and undo and redo when there is
    /// a step to take back or to do again.
    void updateAvailability();
    /// Zones 3 and 4 of the status bar: today's date and the time.
    void updateStatus();

    void tileVertically();
    void tileHorizontally();
    void arrangeIcons();

    HelpWindow* showHelp(const QString& topic);
    HelpWindow* showHelpSearch();
    About* showAbout();

    QMdiArea* mdiArea() const { return mdi_; }
    QToolBar* mainToolBar() const { return tools_; }
    QToolBar* navigationBar() const { return navigation_; }
    QLabel* dateLabel() const { return dateLabel_; }
    QLabel* timeLabel() const { return timeLabel_; }
    StopButton* stopButton() const { return stop_; }
    HelpWindow* helpWindow() const { return help_; }
    About* aboutWindow() const { return about_; }
    /// Events the relay handed out since the user's last key press, click, wheel or drop: a few
    /// per action. Past `RelayLimitPerInput` the relay stops until the next input, so that
    /// windows answering each other's events can never keep the program busy.
    int relayedSinceInput() const { return relayedSinceInput_; }
    static constexpr int RelayLimitPerInput = 200;
    /// The child window showing `window` (a widget a procedure returned), or nullptr.
    QMdiSubWindow* subWindowOf(const QObject* window) const;

signals:
    /// The frame has closed; the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void customEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Launcher {
        QAction* action;
        std::function<QString()> procedure; ///< empty: always available
    };

    void buildMenus();
    void buildToolBars();
    void buildStatusBar();
    /// An action that starts a procedure (with `run` in place of the plain start when given)
    /// and is enabled while the procedure is offered.
    QAction* launcher(const QString& text, std::function<QString()> procedure,
                      std::function<void()> run = {});
    QAction* procedureItem(QMenu* menu, const QString& text, const QString& procedure,
                           const QString& mode = QString(), const QString& tip = QString());
    QAction* checkItem(QMenu* menu, const QString& text, tamsel::Short* flag,
                       const QString& tip = QString(), std::function<void()> after = {});
    void editAction(int key);
    void updateUndoItems();
    void clearScheduleFully();
    void openArchive();
    void relay(int type);
    /// Shows the lesson in hand in the grids, opening the lesson grid when none is open.
    void showSelectedInGrid();
    void openStopButton();
    void closeStopButton();
    void navigate(tamsel::NavigationButton button);
    void activate(QObject* window);
    void fillWindowMenu(QMenu* menu);

    tamsel::Dictionary& dict_;
    QMdiArea* mdi_ = nullptr;
    QToolBar* tools_ = nullptr;
    QToolBar* navigation_ = nullptr;
    QLabel* dateLabel_ = nullptr;
    QLabel* timeLabel_ = nullptr;
    QList<Launcher> launchers_;
    QList<QAction*> navigationActions_;
    QList<QAction*> windowArrangeActions_;
    QList<QAction*> editActions_;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
    bool editing_ = false;
    int relayedSinceInput_ = 0;
    bool relayStopped_ = false;
    QPointer<StopButton> stop_;
    QPointer<HelpWindow> help_;
    QPointer<About> about_;
};

} // namespace korvel
