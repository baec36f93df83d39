#pragma once

#include "tamsel/Ports.h"
#include "tamsel/Records.h"

#include <QDate>
#include <QStringList>
#include <QTime>

class QCoreApplication;

namespace korvel {

/// Weekday names, Sunday first ("Воскресенье" … "Суббота").
const QStringList& dayNames();
/// "Янв" … "Дек".
const QStringList& shortMonthNames();
/// Month names as they follow a day number: "января" … "декабря".
const QStringList& longMonthNames();
/// The morning and evening markers of twelve-hour times: "ут", "вч".
QString amText();
QString pmText();
/// The caption of a message-box button: "&OK", "&Да", "&Нет", "Пре&рвать", "&Повторить",
/// "&Игнорировать", "&Отменить"; "&Справка" for help.
QString buttonCaption(tamsel::Button button);
QString helpButtonCaption();

/// The status bar's date: "Понедельник, 7 декабря 2026 г.".
QString longDateText(const QDate& date);
/// The status bar's time: "09:05:03".
QString timeText(const QTime& time);

/// A day number as stored (day 1 is 28 December 1800) and a time of day in hundredths of
/// a second since midnight plus one.
QDate dateFromDayNumber(tamsel::Long day);
QTime timeFromStored(tamsel::Long time);

/// Russian for Qt's own dialogs and buttons (qtbase_ru from Qt's translations folder) and the
/// Russian locale for numbers and dates. Returns false when the translation was not found.
bool installRussian(QCoreApplication& app);

} // namespace korvel
