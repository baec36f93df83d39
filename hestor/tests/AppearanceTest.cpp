// The appearance settings window: subgroup labels, cell sizes by spin box and by grip, colours.

#include "../../testsupport/TestApplication.h"
#include "hestor/windows/ExterierConfig.h"

#include "tamsel/TestFolder.h"
#include "tamsel/widgets/Appearance.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

using namespace tamsel;
using namespace hestor;

namespace {

using testsupport::app;

QString u(const char* s) {
    return QString::fromUtf8(s);
}

} // namespace

TEST(ExterierConfigWindow, SubgroupLabelsFollowTheStyleAndSeparator) {
    app();
    TestFolder t;
    ExterierConfig w(t.dict());
    EXPECT_EQ(w.windowTitle(), u("Настройка внешнего вида"));
    w.numbering()->button(1)->click(); // "А - Я"
    EXPECT_EQ(t.glo().SubGroupId, u("А - Я"));
    w.separator()->selectAll();
    QTest::sendKeyEvent(QTest::Click, w.separator(), Qt::Key_Slash, QStringLiteral("/"), {});
    EXPECT_EQ(t.glo().SubGroupSep, u("/"));
    EXPECT_EQ(FormatSubGroup(t.glo(), 2), u("/Б"));
    EXPECT_EQ(FormatSubGroup(t.glo(), 0), QString());
    w.numbering()->button(3)->click(); // "A - Z"
    EXPECT_EQ(FormatSubGroup(t.glo(), 0), QString());
    EXPECT_EQ(FormatSubGroup(t.glo(), 3), u("/C"));
}

TEST(ExterierConfigWindow, SizesBySpinBoxAndGripStayInTheirRanges) {
    app();
    TestFolder t;
    t.glo().SmallSellWidth = 60;
    t.glo().SmallSellHeight = 20;
    t.glo().LargeSellWidth = 90;
    t.glo().LargeSellHeight = 44;
    ExterierConfig w(t.dict());
    EXPECT_EQ(w.sample(true)->size(), QSize(60, 20));
    w.sizeBox(0)->stepUp();
    EXPECT_EQ(t.glo().SmallSellWidth, 70);
    EXPECT_EQ(w.sample(true)->width(), 70);
    // The grip stops at the edges of the spin boxes' ranges.
    EXPECT_EQ(w.sample(true)->dragGripTo(QPoint(500, 3)), QSize(100, 20));
    EXPECT_EQ(t.glo().SmallSellWidth, 100);
    EXPECT_EQ(t.glo().SmallSellHeight, 20);
    EXPECT_EQ(w.sizeBox(0)->value(), 100);
    EXPECT_EQ(w.sample(false)->dragGripTo(QPoint(120, 52)), QSize(120, 52));
    EXPECT_EQ(t.glo().LargeSellHeight, 52);
    w.standardSize(true);
    w.standardSize(false);
    EXPECT_EQ(QSize(t.glo().SmallSellWidth, t.glo().SmallSellHeight), QSize(60, 20));
    EXPECT_EQ(QSize(t.glo().LargeSellWidth, t.glo().LargeSellHeight), QSize(90, 44));
}

TEST(ExterierConfigWindow, ColoursAndFontAreStoredAndStandardColoursComeBack) {
    app();
    TestFolder t;
    ExterierConfig w(t.dict());
    w.setColour(0, QColor(1, 2, 3));
    EXPECT_EQ(t.glo().NoRestrictionColor, 0x030201); // blue, green, red from high to low
    w.setColour(3, Qt::black);
    w.standardColours();
    EXPECT_EQ(t.glo().NoRestrictionColor, 0xA0FFA0);
    EXPECT_EQ(t.glo().WeakRestrictionColor, 0xA0FFFF);
    EXPECT_EQ(t.glo().HeavyRestrictionColor, 0x20C0FF);
    EXPECT_EQ(t.glo().DontUseRestrictionColor, 0x8080FF);
    QFont f(QStringLiteral("DejaVu Sans Mono"), 11);
    f.setBold(true);
    w.setCellFont(f, QColor(0, 0, 255));
    EXPECT_EQ(t.glo().SchFontTypeface, u("DejaVu Sans Mono"));
    EXPECT_EQ(t.glo().SchFontSize, 11);
    EXPECT_EQ(t.glo().SchFontColor, 0xFF0000);
    const QFont back = timetableFont(t.glo(), QFont());
    EXPECT_TRUE(back.bold());
    EXPECT_EQ(back.pointSize(), 11);
}
