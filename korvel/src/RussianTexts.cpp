#include "RussianTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace korvel {

namespace {
QStringList fromUtf8(std::initializer_list<const char*> items) {
    QStringList out;
    for (const char* s : items)
        out << QString::fromUtf8(s);
    return out;
}
} // namespace

const QStringList& dayNames() {
    static const QStringList names = fromUtf8(
        {"Воскресенье", "Понедельник", "Вторник", "Среда", "Четверг", "Пятница", "Суббота"});
    return names;
}

const QStringList& shortMonthNames() {
    static const QStringList names = fromUtf8(
        {"Янв", "Фев", "Мар", "Апр", "Май", "Июн", "Июл", "Авг", "Сен", "Окт", "Ноя", "Дек"});
    return names;
}

const QStringList& longMonthNames() {
    static const QStringList names =
        fromUtf8({"января", "февраля", "марта", "апреля", "мая", "июня", "июля", "августа",
                  "сентября", "октября", "ноября", "декабря"});
    return names;
}

QString amText() {
    return QString::fromUtf8("ут");
}
QString pmText() {
    return QString::fromUtf8("вч");
}

QString buttonCaption(tamsel::Button button) {
    switch (button) {
    case tamsel::Ok:
        return QStringLiteral("&OK");
    case tamsel::Yes:
        return QString::fromUtf8("&Да");
    case tamsel::No:
        return QString::fromUtf8("&Нет");
    case tamsel::Abort:
        return QString::fromUtf8("Пре&рвать");
    case tamsel::Retry:
        return QString::fromUtf8("&Повторить");
    case tamsel::Ignore:
        return QString::fromUtf8("&Игнорировать");
    case tamsel::Cancel:
        return QString::fromUtf8("&Отменить");
    case tamsel::NoButton:
        break;
    }
    return QString();
}

QString helpButtonCaption() {
    return QString::fromUtf8("&Справка");
}

QString longDateText(const QDate& date) {
    if (!date.isValid()) return QString();
    // dayOfWeek() counts Monday as 1 and Sunday as 7; the names start with Sunday.
    return dayNames().at(date.dayOfWeek() % 7) + QStringLiteral(", ") +
           QString::number(date.day()) + QLatin1Char(' ') + longMonthNames().at(date.month() - 1) +
           QLatin1Char(' ') + QString::number(date.year()) + QString::fromUtf8(" г.");
}

QString timeText(const QTime& time) {
    return time.toString(QStringLiteral("HH:mm:ss"));
}

QDate dateFromDayNumber(tamsel::Long day) {
    return tamsel::dateOfDayNumber(day);
}

QTime timeFromStored(tamsel::Long time) {
    if (time <= 0) return QTime();
    return QTime(0, 0).addMSecs(static_cast<int>((time - 1) % 8640000) * 10);
}

bool installRussian(QCoreApplication& app) {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    auto* translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

} // namespace korvel
