#include "pivrel/engine/AutoPivrel.h"

#include "pivrel/engine/PlacementCheckWindow.h"
#include "pivrel/engine/UnplacedReasons.h"
#include "tamsel/Globals.h"
#include "trusko/Printing.h"
#include "trusko/Report.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace tamsel;

namespace pivrel {

namespace {
constexpr int TimerInterval = 300; // 30 hundredths of a second
constexpr int YieldEveryMs = 25;   // a turn for the event loop well within a tenth of a second
constexpr int MaxLine = 255;
} // namespace

/// The run's view of the window: lines into the list (each selected so the list follows the
/// run), the bar, and a turn of the event loop every few milliseconds.
class AutoPivrel::Host final : public RunHost {
public:
    explicit Host(AutoPivrel& w) : w_(w) { clock_.start(); }
    void addLine(const QString& line) override {
        auto* item = new QListWidgetItem(line.left(MaxLine), w_.list_);
        w_.list_->setCurrentItem(item);
        w_.list_->scrollToItem(item);
    }
    void setProgressRange(int maximum) override { w_.bar_->setRange(0, std::max(1, maximum)); }
    void setProgressValue(int value) override { w_.bar_->setValue(value); }
    void yield() override {
        if (clock_.elapsed() < YieldEveryMs) return;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        clock_.restart();
    }

private:
    AutoPivrel& w_;
    QElapsedTimer clock_;
};

AutoPivrel::AutoPivrel(Dictionary& dict, std::function<void(int)> postToFrame, QWidget* parent)
    : QWidget(parent), dict_(dict), post_(std::move(postToFrame)) {
    setWindowTitle(QStringLiteral("Автоматическая расстановка уроков"));
    setObjectName(procedureName());

    tabs_ = new QTabWidget(this);
    auto page = [&](const QString& title, QComboBox** combo) {
        auto* w = new QWidget;
        auto* l = new QVBoxLayout(w);
        if (combo) {
            *combo = new QComboBox(w);
            l->addWidget(*combo);
        }
        l->addStretch();
        tabs_->addTab(w, title);
    };
    page(QStringLiteral("...по предмету"), &subjects_);
    page(QStringLiteral("... учителя"), &teachers_);
    page(QStringLiteral("... группы"), &groups_);
    page(QStringLiteral("... всех"), nullptr);
    // All four tabs stay readable: the tab bar's full width is the window's minimum.
    tabs_->setUsesScrollButtons(false);
    tabs_->setElideMode(Qt::ElideNone);

    start_ = new QPushButton(QStringLiteral("Пуск"), this);
    start_->setDefault(true);
    minimal_ = new QPushButton(QStringLiteral("Перерасставить с минимальными изменениями"), this);
    minimal_->setToolTip(QStringLiteral(
        "Снять уроки, нарушающие правила после изменения данных, и расставить нерасставленные, "
        "перемещая расставленные раньше уроки только там, где без этого нельзя; закрепленные "
        "уроки остаются на местах"));
    compactAll_ = new QPushButton(QStringLiteral("Сократить окна"), this);
    compactAll_->setToolTip(QStringLiteral(
        "Перенести расставленные уроки (кроме закрепленных) туда, где у учителей и групп меньше "
        "окон; нерасставленные уроки не расставляются"));
    // Off unless asked for; each choice is kept with the window's place.
    auto option = [this](const char* text, const char* tip, const QString& key) {
        auto* box = new QCheckBox(QString::fromUtf8(text), this);
        box->setToolTip(QString::fromUtf8(tip));
        box->setChecked(dict_.settings().value(procedureName(), key) == QLatin1String("1"));
        connect(box, &QCheckBox::toggled, this, [this, key](bool on) {
            dict_.settings().setValue(procedureName(), key,
                                      on ? QStringLiteral("1") : QStringLiteral("0"));
        });
        return box;
    };
    repair_ = option("Доводить расстановку до конца",
                     "Оставшиеся уроки доводятся до места перестановкой уроков, расставленных "
                     "этим запуском; расставленные раньше остаются на местах",
                     QStringLiteral("Repair"));
    compact_ = option("Сокращать окна",
                      "Уроки, расставленные этим запуском, переносятся туда, где у учителей и "
                      "групп меньше свободных уроков между уроками дня; окна учеников важнее",
                      QStringLiteral("Compact"));
    list_ = new QListWidget(this);
    list_->setAccessibleName(QStringLiteral("Ход расстановки"));
    list_->setUniformItemSizes(true);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::TypeWriter);
    list_->setFont(mono);
    why_ = new QTreeWidget(this);
    why_->setHeaderLabels({QStringLiteral("Урок, причина, занимающие уроки"),
                           QStringLiteral("Клеток")});
    why_->setAccessibleName(QStringLiteral("Почему не расставлено"));
    auto* printWhy = new QPushButton(QStringLiteral("Печать..."), this);
    auto* whyPage = new QWidget(this);
    auto* whyLayout = new QVBoxLayout(whyPage);
    whyLayout->setContentsMargins(0, 0, 0, 0);
    whyLayout->addWidget(why_, 1);
    whyLayout->addWidget(printWhy, 0, Qt::AlignRight);
    results_ = new QTabWidget(this);
    results_->addTab(list_, QStringLiteral("Ход расстановки"));
    results_->addTab(whyPage, QStringLiteral("Почему не расставлено"));
    moved_ = new QTreeWidget(this);
    moved_->setRootIsDecorated(false);
    moved_->setHeaderLabels({QStringLiteral("Урок"), QStringLiteral("Было"),
                             QStringLiteral("Стало"), QStringLiteral("Причина")});
    moved_->setAccessibleName(QStringLiteral("Перемещенные уроки"));
    movedSummary_ = new QLabel(this);
    auto* printMoved = new QPushButton(QStringLiteral("Печать..."), this);
    printMoved->setAccessibleName(QStringLiteral("Печать перемещенных уроков"));
    movedPage_ = new QWidget(this);
    auto* movedLayout = new QVBoxLayout(movedPage_);
    movedLayout->setContentsMargins(0, 0, 0, 0);
    movedLayout->addWidget(moved_, 1);
    auto* movedBottom = new QHBoxLayout;
    movedBottom->addWidget(movedSummary_, 1);
    movedBottom->addWidget(printMoved);
    movedLayout->addLayout(movedBottom);
    results_->addTab(movedPage_, QStringLiteral("Перемещенные уроки"));
    check_ = new QPushButton(QStringLiteral("Проверка данных..."), this);
    check_->setToolTip(QStringLiteral("Ничего не расставляя, найти, что мешает расставить все уроки"));
    bar_ = new QProgressBar(this);
    startLabel_ = new QLabel(this);
    endLabel_ = new QLabel(this);
    durationLabel_ = new QLabel(this);

    auto* clocks = new QGridLayout;
    clocks->addWidget(new QLabel(QStringLiteral("Начало:"), this), 0, 0);
    clocks->addWidget(startLabel_, 0, 1);
    clocks->addWidget(new QLabel(QStringLiteral("Окончание:"), this), 1, 0);
    clocks->addWidget(endLabel_, 1, 1);
    clocks->addWidget(new QLabel(QStringLiteral("Продолжи-\nтельность:"), this), 2, 0);
    clocks->addWidget(durationLabel_, 2, 1);
    auto* top = new QHBoxLayout;
    top->addWidget(tabs_, 1);
    auto* side = new QVBoxLayout;
    side->addLayout(clocks);
    side->addStretch();
    side->addWidget(check_);
    side->addWidget(repair_);
    side->addWidget(compact_);
    top->addLayout(side);
    // The ways to start side by side under the tabs: the long caption in the narrow side
    // column would widen the whole window.
    auto* starts = new QHBoxLayout;
    starts->addStretch();
    starts->addWidget(compactAll_);
    starts->addWidget(minimal_);
    starts->addWidget(start_);
    auto* main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addLayout(starts);
    main->addWidget(results_, 1);
    main->addWidget(bar_);

    fillLists();
    connect(tabs_, &QTabWidget::currentChanged, this, &AutoPivrel::applyTab);
    connect(subjects_, &QComboBox::activated, this, [this](int i) {
        subjectCode_ = static_cast<short>(subjects_->itemData(i).toInt());
        kind_ = TaskKind::Science;
    });
    connect(teachers_, &QComboBox::activated, this, [this](int i) {
        teacherCode_ = static_cast<short>(teachers_->itemData(i).toInt());
        kind_ = TaskKind::Teacher;
    });
    connect(groups_, &QComboBox::activated, this, [this](int i) {
        groupCode_ = static_cast<short>(groups_->itemData(i).toInt());
        kind_ = TaskKind::Group;
    });
    connect(start_, &QPushButton::clicked, this, &AutoPivrel::start);
    connect(minimal_, &QPushButton::clicked, this, &AutoPivrel::startMinimal);
    connect(compactAll_, &QPushButton::clicked, this, &AutoPivrel::startCompact);
    connect(printMoved, &QPushButton::clicked, this, [this] {
        const trusko::ReportDocument doc = minimalChangesReport(changes_);
        trusko::PreviewReports(dict_, {&doc}, procedureName(), this);
    });
    connect(check_, &QPushButton::clicked, this, &AutoPivrel::openCheck);
    connect(printWhy, &QPushButton::clicked, this, [this] {
        const trusko::ReportDocument doc = unplacedReasonsReport(reasons_);
        trusko::PreviewReports(dict_, {&doc}, procedureName(), this);
    });

    dict_.glo.ProcessingDisabled = 1;
    // The size of a first opening; the frame keeps the window's place under "AutoPivrel"
    // from then on, as it does for every window it opens.
    resize(720, 520);
    applyTab(tabs_->currentIndex());

    timer_ = new QTimer(this);
    timer_->setInterval(TimerInterval);
    connect(timer_, &QTimer::timeout, this, &AutoPivrel::tick);
    timer_->start();
    showClock();
}

AutoPivrel::~AutoPivrel() = default;

void AutoPivrel::fillLists() {
    {
        FileUse use(dict_.store(), FileId::Science);
        if (use)
            for (const Science& s : dict_.access<Science>().all(Science::ScienceKey))
                subjects_->addItem(s.Science, s.ScienceCode);
    }
    {
        FileUse use(dict_.store(), FileId::Teacher),
            specialities(dict_.store(), FileId::Speciality);
        if (use && specialities)
            for (const Teacher& t : dict_.access<Teacher>().all(Teacher::TeacherNameKey)) {
                Speciality k;
                k.SpecialityCode = t.SpecialityCode;
                const QString sp =
                    dict_.access<Speciality>().fetch(Speciality::SpecCodeKey, k).Speciality;
                teachers_->addItem(sp.isEmpty() ? t.TeacherName
                                                : t.TeacherName + QStringLiteral("  ") + sp,
                                   t.TeacherCode);
            }
    }
    {
        FileUse use(dict_.store(), FileId::Group);
        if (use)
            for (const Group& g : dict_.access<Group>().all(Group::GroupIdKey))
                groups_->addItem(g.GroupId(), g.GroupCode);
    }
    subjectCode_ = subjects_->count() ? static_cast<short>(subjects_->itemData(0).toInt()) : 0;
    teacherCode_ = teachers_->count() ? static_cast<short>(teachers_->itemData(0).toInt()) : 0;
    groupCode_ = groups_->count() ? static_cast<short>(groups_->itemData(0).toInt()) : 0;
}

void AutoPivrel::applyTab(int index) {
    static const short kinds[] = {TaskKind::Science, TaskKind::Teacher, TaskKind::Group,
                                  TaskKind::All};
    if (index >= 0 && index < 4) kind_ = kinds[index];
}

short AutoPivrel::code() const {
    switch (kind_) {
    case TaskKind::Science:
        return subjectCode_;
    case TaskKind::Teacher:
        return teacherCode_;
    case TaskKind::Group:
        return groupCode_;
    default:
        return 0;
    }
}

QStringList AutoPivrel::progressLines() const {
    QStringList out;
    for (int i = 0; i < list_->count(); ++i)
        out << list_->item(i)->text();
    return out;
}

QString AutoPivrel::startText() const {
    return startLabel_->text();
}
QString AutoPivrel::endText() const {
    return endLabel_->text();
}
QString AutoPivrel::durationText() const {
    return durationLabel_->text();
}

void AutoPivrel::start() {
    if (running_) return;
    next_ = Run::Plain;
    dict_.glo.ProcessingDisabled = 0;
}

void AutoPivrel::startMinimal() {
    if (running_) return;
    next_ = Run::Minimal;
    dict_.glo.ProcessingDisabled = 0;
}

void AutoPivrel::startCompact() {
    if (running_) return;
    next_ = Run::Compact;
    dict_.glo.ProcessingDisabled = 0;
}

void AutoPivrel::tick() {
    if (running_ || dict_.glo.ProcessingDisabled.load() != 0) return;
    run();
}

void AutoPivrel::showClock() {
    startLabel_->setText(startClock_.isValid() ? startClock_.toString(QStringLiteral("HH:mm:ss"))
                                               : QString());
    endLabel_->setText(endClock_.isValid() ? endClock_.toString(QStringLiteral("HH:mm:ss"))
                                           : QString());
    durationLabel_->setText(durationMs_ > 0 ? QTime(0, 0)
                                                  .addMSecs(static_cast<int>(durationMs_))
                                                  .toString(QStringLiteral("HH:mm:ss"))
                                            : QString());
}

void AutoPivrel::run() {
    running_ = true;
    startClock_ = QTime::currentTime();
    endClock_ = QTime();
    durationMs_ = 0;
    showClock();
    QElapsedTimer elapsed;
    elapsed.start();
    // The stop button opens just below the start button.
    const QPoint at = start_->mapToGlobal(QPoint(0, start_->height() + 12));
    dict_.glo.StopButtonAtX = static_cast<Short>(at.x());
    dict_.glo.StopButtonAtY = static_cast<Short>(at.y());
    if (post_) post_(1281);
    bar_->setValue(0);
    timer_->stop();
    start_->setEnabled(false);
    minimal_->setEnabled(false);
    compactAll_->setEnabled(false);
    tabs_->setEnabled(false);
    list_->clear();
    why_->clear();
    reasons_.clear();
    moved_->clear();
    movedSummary_->clear();
    changes_ = MinimalChanges{};
    const Run mode = next_;
    next_ = Run::Plain;
    results_->setCurrentIndex(0);

    Host host(*this);
    AutoPlacement placement(dict_, windowHooks(dict_, post_));
    placement.setRepair(repair_->isChecked());
    placement.setCompact(compact_->isChecked());
    placement.setMinimal(mode == Run::Minimal);
    placement.setCompactAll(mode == Run::Compact);
    try {
        const PlacementResult r = placement.run(kind_, code(), host);
        if (mode != Run::Compact && r.left > 0 && r.end != PlacementResult::End::Failed &&
            r.end != PlacementResult::End::Aborted)
            explain();
        if (mode != Run::Plain && r.end != PlacementResult::End::Failed) {
            changes_ = placement.changes();
            showChanges();
        }
    } catch (const std::exception& e) {
        dict_.ui().tell(procedureName(), QString::fromLocal8Bit(e.what()));
    }

    dict_.glo.ProcessingDisabled = 1;
    if (post_) {
        post_(1282);
        post_(1024);
    }
    timer_->start(TimerInterval);
    endClock_ = QTime::currentTime();
    durationMs_ = elapsed.elapsed() + 10; // the clock counts in hundredths, plus one
    showClock();
    start_->setEnabled(true);
    minimal_->setEnabled(true);
    compactAll_->setEnabled(true);
    tabs_->setEnabled(true);
    running_ = false;
    emit runFinished();
    if (closeRequested_) close();
}

void AutoPivrel::explain() {
    reasons_ = ExplainUnplaced(dict_, kind_, code());
    for (const UnplacedLesson& l : reasons_) {
        auto* top = new QTreeWidgetItem(
            why_, {QStringLiteral("%1: %2 ч.").arg(l.name).arg(l.count), QString()});
        for (const UnplacedLesson::Reason& r : l.reasons) {
            auto* reason =
                new QTreeWidgetItem(top, {r.text.simplified(), QString::number(r.cells)});
            for (const auto& [who, n] : r.occupants)
                new QTreeWidgetItem(reason, {who, QString::number(n)});
        }
        if (l.openCells > 0)
            new QTreeWidgetItem(top, {QStringLiteral("Клеток, куда урок можно поставить вручную"),
                                      QString::number(l.openCells)});
        if (!l.suggestions.empty()) {
            auto* can = new QTreeWidgetItem(top, {QStringLiteral("Что можно сделать:"), QString()});
            for (const PlacementSuggestion& s : l.suggestions)
                new QTreeWidgetItem(can, {s.text, QString()});
            can->setExpanded(true);
        }
        top->setExpanded(true);
    }
    why_->resizeColumnToContents(1);
}

void AutoPivrel::showChanges() {
    for (const MovedLesson& m : changes_.moved)
        new QTreeWidgetItem(moved_, {m.lesson, m.fromText, m.toText,
                                     m.takenOff ? m.reason
                                                : QStringLiteral("перемещен при расстановке")});
    for (const MinimalChanges::Broken& b : changes_.pinnedBroken)
        new QTreeWidgetItem(moved_,
                            {b.name, b.place, QStringLiteral("закреплен, оставлен"), b.reason});
    for (int c = 0; c < 3; ++c)
        moved_->resizeColumnToContents(c);
    movedSummary_->setText(minimalChangesSummary(changes_));
    results_->setCurrentWidget(movedPage_);
}

void AutoPivrel::openCheck() {
    // A window of its own beside this one, about what the tabs would place; it only reads.
    auto* w = new PlacementCheckWindow(dict_, this, kind_, code());
    w->setWindowFlag(Qt::Window);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
}

void AutoPivrel::closeEvent(QCloseEvent* e) {
    if (running_) {
        // The run ends at its next check; the window closes right after.
        dict_.glo.ProcessingDisabled = 1;
        closeRequested_ = true;
        e->ignore();
        return;
    }
    e->accept();
}

} // namespace pivrel
