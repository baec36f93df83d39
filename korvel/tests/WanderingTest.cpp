// A user who wanders: every window of the frame open on a placed sample school, and a long
// seeded run of keys, clicks and double clicks sent to whatever is on the screen — lists, grids,
// buttons, drop lists, tabs — with every question answered "Да" and every form and menu that
// opens closed again. Nothing may crash, the relay may never run away, and the program ends
// normally with its settings written. KORVEL_WANDER_STEPS and KORVEL_WANDER_SEED run longer or
// other walks; a failure names the seed and the step.

#include "MainFrame.h"
#include "Program.h"
#include "SampleSchool.h"
#include "Scenario.h"

#include "tamsel/Dictionary.h"
#include "tamsel/TestFolder.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <random>

using namespace korvel;
using namespace korvel::scenario;
using namespace tamsel;

namespace {

/// What a person's fingers reach for in this program.
const std::vector<std::pair<int, Qt::KeyboardModifiers>>& keys() {
    static const std::vector<std::pair<int, Qt::KeyboardModifiers>> k{
        {Qt::Key_Up, {}},       {Qt::Key_Down, {}},     {Qt::Key_Left, {}},
        {Qt::Key_Right, {}},    {Qt::Key_PageDown, {}}, {Qt::Key_End, Qt::ControlModifier},
        {Qt::Key_Home, {}},     {Qt::Key_Return, {}},   {Qt::Key_Delete, {}},
        {Qt::Key_Insert, {}},   {Qt::Key_F2, {}},       {Qt::Key_Space, {}},
        {Qt::Key_Tab, {}},      {Qt::Key_Escape, {}},   {Qt::Key_Plus, Qt::KeypadModifier},
        {Qt::Key_Minus, Qt::KeypadModifier},            {Qt::Key_X, Qt::ControlModifier},
        {Qt::Key_C, Qt::ControlModifier},               {Qt::Key_V, Qt::ControlModifier},
        {Qt::Key_Return, Qt::ControlModifier},
    };
    return k;
}

/// The widgets of a window a person can act on.
std::vector<QWidget*> targets(QWidget* window) {
    std::vector<QWidget*> out;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisible() || !w->isEnabled()) continue;
        if (auto* view = qobject_cast<QAbstractItemView*>(w))
            out.push_back(view->viewport());
        else if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
                 qobject_cast<QLineEdit*>(w) || qobject_cast<QTabBar*>(w))
            out.push_back(w);
    }
    return out;
}

int envOr(const char* name, int fallback) {
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

} // namespace

TEST(Wandering, KeysAndClicksAllOverTheWindowsCrashNothing) {
    const int steps = envOr("KORVEL_WANDER_STEPS", 700);
    const auto seed = static_cast<quint32>(envOr("KORVEL_WANDER_SEED", 1));
    TestFolder t;
    sample::SampleOptions o;
    o.size = sample::SchoolSize::Small;
    o.planted = 0.9;
    o.placePlanted = true;
    o.seed = seed;
    ASSERT_TRUE(sample::GenerateSampleSchool(t.dict(), o));
    ASSERT_TRUE(t.dict().loadSettings());
    t.ui.otherwise = Yes;
    Program program(t.dict());
    program.start();

    // Forms, choosers and menus that a key or click opened are closed as a person closes them.
    QTimer closer;
    closer.setInterval(15);
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    closer.start();

    std::mt19937 random(seed);
    auto pickOne = [&](auto size) {
        return static_cast<int>(std::uniform_int_distribution<int>(0, int(size) - 1)(random));
    };
    {
        MainFrame f(t.dict());
        f.resize(1280, 900);
        f.show();
        QStringList windows;
        for (const QString& name : t.dict().procedures.names()) {
            const Procedure* p = t.dict().procedures.find(name);
            // The archive and the imports replace whole files: the frame closes every other
            // window before it opens them, which would end the walk.
            if (p && p->kind == Procedure::Window && !name.startsWith(QLatin1String("Import")) &&
                name != QLatin1String("ArcSched"))
                windows << name;
        }
        windows.sort();
        for (const QString& name : std::as_const(windows))
            f.startProcedure(name);
        settle();
        auto* area = f.findChild<QMdiArea*>();
        ASSERT_NE(area, nullptr);

        for (int step = 0; step < steps; ++step) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", step " + std::to_string(step));
            QList<QMdiSubWindow*> open = area->subWindowList();
            if (open.isEmpty() || pickOne(20) == 0) {
                f.startProcedure(windows[pickOne(windows.size())]);
                settle();
                continue;
            }
            QMdiSubWindow* sub = open[pickOne(open.size())];
            area->setActiveSubWindow(sub);
            const std::vector<QWidget*> on = targets(sub);
            if (on.empty()) continue;
            QPointer<QWidget> target = on[static_cast<size_t>(pickOne(on.size()))];
            const QPoint at(pickOne(std::max(1, target->width())),
                            pickOne(std::max(1, target->height())));
            switch (pickOne(10)) {
            case 0:
                doubleClick(target, at);
                break;
            case 1:
            case 2:
            case 3:
                QTest::mouseClick(target, Qt::LeftButton, {}, at);
                break;
            default: {
                const auto& [key, modifiers] = keys()[static_cast<size_t>(pickOne(keys().size()))];
                target->setFocus();
                QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
            }
            }
            settle();
            ASSERT_LE(f.relayedSinceInput(), 40) << "the relay ran away";
        }
        // The walk reached the program's questions and refusals, not only the scroll bars.
        EXPECT_GE(t.ui.shown.size(), 5);
        f.close();
        settle();
    }
    EXPECT_TRUE(program.finish());
    EXPECT_TRUE(QFile::exists(t.file(QStringLiteral("Korvel.ini"))));
}
