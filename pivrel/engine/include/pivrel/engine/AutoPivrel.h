#pragma once

#include "pivrel/engine/AutoPlacement.h"
#include "pivrel/engine/UnplacedReasons.h"

#include <QElapsedTimer>
#include <QTime>
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;
class QTreeWidget;

namespace pivrel {

/// The window "Автоматическая расстановка уроков": what to place (a subject, a teacher, a
/// group or everything), "Пуск", and the progress of the run. The run happens in the window's
/// timer tick and gives the event loop a turn every few milliseconds, so the frame's "Стоп!"
/// (which sets ProcessingDisabled) is noticed within a tenth of a second.
class AutoPivrel : public QWidget {
    Q_OBJECT
public:
    /// `postToFrame` posts a user event (1281, 1282, 1024) to the frame.
    AutoPivrel(tamsel::Dictionary& dict, std::function<void(int)> postToFrame,
               QWidget* parent = nullptr);
    ~AutoPivrel() override;

    static QString procedureName() { return QStringLiteral("AutoPivrel"); }

    short kind() const { return kind_; }
    short code() const;
    bool running() const { return running_; }
    QStringList progressLines() const;
    QString startText() const;
    QString endText() const;
    QString durationText() const;

    QTabWidget* tabs() const { return tabs_; }
    QComboBox* subjects() const { return subjects_; }
    QComboBox* teachers() const { return teachers_; }
    QComboBox* groups() const { return groups_; }
    QPushButton* startButton() const { return start_; }
    /// "Перерасставить с минимальными изменениями".
    QPushButton* minimalButton() const { return minimal_; }
    /// "Сократить окна": compacts the placed timetable of the tab's scope.
    QPushButton* compactButton() const { return compactAll_; }
    /// "Доводить расстановку до конца".
    QCheckBox* repairBox() const { return repair_; }
    /// "Сокращать окна".
    QCheckBox* compactBox() const { return compact_; }
    QProgressBar* progressBar() const { return bar_; }
    /// "Ход расстановки" and "Почему не расставлено".
    QTabWidget* resultTabs() const { return results_; }
    /// Each lesson the last run left, with its reasons and the lessons in its way.
    QTreeWidget* whyList() const { return why_; }
    const std::vector<UnplacedLesson>& reasons() const { return reasons_; }
    /// "Перемещенные уроки": what the last re-run with minimal changes or compaction moved.
    QTreeWidget* movedList() const { return moved_; }
    /// The summary under it, "Итог: перемещено уроков: N …".
    QLabel* movedSummary() const { return movedSummary_; }
    const MinimalChanges& changes() const { return changes_; }
    /// "Проверка данных...": opens the check of the data in a window of its own.
    QPushButton* checkButton() const { return check_; }

    /// "Пуск": the run starts at the next timer tick.
    void start();
    /// "Перерасставить с минимальными изменениями": a re-run that keeps placed lessons where
    /// it can, started as "Пуск" is.
    void startMinimal();
    /// "Сократить окна": moves placed lessons (not pinned ones) where teachers and groups
    /// have fewer gaps, placing nothing new; started as "Пуск" is.
    void startCompact();

signals:
    void runFinished();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    class Host;
    void tick();
    void run();
    void applyTab(int index);
    void showClock();
    void fillLists();
    void explain();
    void showChanges();
    void openCheck();

    tamsel::Dictionary& dict_;
    std::function<void(int)> post_;
    QTabWidget* tabs_;
    QComboBox* subjects_;
    QComboBox* teachers_;
    QComboBox* groups_;
    QPushButton* start_;
    QPushButton* minimal_;
    QPushButton* compactAll_;
    QCheckBox* repair_;
    QCheckBox* compact_;
    QListWidget* list_;
    QTabWidget* results_;
    QTreeWidget* why_;
    QPushButton* check_;
    std::vector<UnplacedLesson> reasons_;
    QTreeWidget* moved_;
    QWidget* movedPage_;
    QLabel* movedSummary_;
    MinimalChanges changes_;
    /// What the next timer tick starts.
    enum class Run { Plain, Minimal, Compact } next_ = Run::Plain;
    QProgressBar* bar_;
    QLabel* startLabel_;
    QLabel* endLabel_;
    QLabel* durationLabel_;
    QTimer* timer_;
    short kind_ = 3;
    short subjectCode_ = 0, teacherCode_ = 0, groupCode_ = 0;
    QTime startClock_, endClock_;
    qint64 durationMs_ = 0;
    bool running_ = false;
    bool closeRequested_ = false;
};

/// The queue window of the diagnostics: ScheduleRecord with LinkedLessonsQueue, TaskQueue and
/// VariantQueue, shown modally ("Queues", or "Queues в " + message).
void DisplayLinkedLessonsQueue(tamsel::Dictionary& dict, const QString& message,
                               QWidget* parent = nullptr);

/// Hooks for the engine that open the queue window and post through `postToFrame`.
EngineHooks windowHooks(tamsel::Dictionary& dict, std::function<void(int)> postToFrame);

} // namespace pivrel
