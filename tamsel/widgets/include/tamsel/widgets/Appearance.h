#pragma once

// The appearance settings as Qt sees them: colours are stored as Windows colour numbers and
// the timetable font as typeface, size, colour, character set and style.

#include "tamsel/Globals.h"

#include <QColor>
#include <QFont>

namespace tamsel {

/// A Windows colour number (blue, green, red from high to low byte) as a QColor.
QColor colorOf(Long windowsColour);
/// The QColor as a Windows colour number.
Long windowsColourOf(const QColor& colour);
/// The font of timetable cells (GLO:SchFont…); the default font where none is set.
QFont timetableFont(const Globals& glo, const QFont& fallback);
/// The text colour of timetable cells.
QColor timetableFontColor(const Globals& glo);
/// Stores a font and its colour as the timetable font (GLO:SchFont…).
void setTimetableFont(Globals& glo, const QFont& font, const QColor& colour);
/// The standard cell sizes and restriction colours.
void standardCompactSize(Globals& glo);
void standardFullSize(Globals& glo);
void standardColours(Globals& glo);

} // namespace tamsel
