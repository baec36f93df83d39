#include "tamsel/widgets/Appearance.h"

#include <algorithm>

namespace tamsel {

QColor colorOf(Long c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

Long windowsColourOf(const QColor& colour) {
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

QFont timetableFont(const Globals& glo, const QFont& fallback) {
    QFont f = fallback;
    if (!glo.SchFontTypeface.trimmed().isEmpty()) f.setFamily(glo.SchFontTypeface.trimmed());
    if (glo.SchFontSize > 0) f.setPointSize(static_cast<int>(glo.SchFontSize));
    // The style holds the weight (100 to 900) in its low bits, then italic, underline and
    // strike-out flags.
    const Long weight = glo.SchFontStyle & 0xFFF;
    if (weight > 0) f.setWeight(static_cast<QFont::Weight>(std::clamp<int>(int(weight), 100, 900)));
    f.setItalic(glo.SchFontStyle & 0x1000);
    f.setUnderline(glo.SchFontStyle & 0x2000);
    f.setStrikeOut(glo.SchFontStyle & 0x4000);
    return f;
}

QColor timetableFontColor(const Globals& glo) {
    return colorOf(glo.SchFontColor);
}

void setTimetableFont(Globals& glo, const QFont& font, const QColor& colour) {
    glo.SchFontTypeface = font.family().left(128);
    glo.SchFontSize = font.pointSize() > 0 ? font.pointSize() : 0;
    glo.SchFontColor = windowsColourOf(colour);
    glo.SchFontStyle = static_cast<Long>(font.weight()) | (font.italic() ? 0x1000 : 0) |
                       (font.underline() ? 0x2000 : 0) | (font.strikeOut() ? 0x4000 : 0);
}

void standardCompactSize(Globals& glo) {
    glo.SmallSellWidth = 60;
    glo.SmallSellHeight = 20;
}

void standardFullSize(Globals& glo) {
    glo.LargeSellWidth = 90;
    glo.LargeSellHeight = 44;
}

void standardColours(Globals& glo) {
    glo.NoRestrictionColor = StandardColor::NoRestriction;
    glo.WeakRestrictionColor = StandardColor::WeakRestriction;
    glo.HeavyRestrictionColor = StandardColor::HeavyRestriction;
    glo.DontUseRestrictionColor = StandardColor::DontUseRestriction;
}

} // namespace tamsel
