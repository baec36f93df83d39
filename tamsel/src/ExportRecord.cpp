#include "tamsel/ExportRecord.h"

namespace tamsel {

namespace {
QString padded(const QString& s, int width) { return s.left(width).leftJustified(width, QLatin1Char(' ')); }
QString number(int n, int width) { return QString::number(n).rightJustified(width, QLatin1Char(' ')).right(width); }
} // namespace

QString formatTime(Long time) {
    if (time <= 0) return QString(5, QLatin1Char(' '));
    const int minutes = (time - 1) / 100 / 60;
    return QStringLiteral("%1:%2")
        .arg(minutes / 60 % 100, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString ExportSchedule::line() const {
    QString l;
    l.reserve(LineWidth);
    l += number(Week, 3);
    l += number(DaySeqNumber, 3);
    l += QLatin1Char(' ');
    l += padded(DayName, 16);
    l += padded(LessonNo, 4);
    l += formatTime(Begining);
    l += QLatin1Char(' ');
    l += formatTime(Ending);
    l += QLatin1Char(' ');
    l += padded(Science, 21);
    l += padded(TeacherName, 21);
    l += padded(GroupId, 7);
    l += number(SubGroupNum, 3);
    l += QLatin1Char(' ');
    l += padded(RoomNo, 8);
    return l;
}

} // namespace tamsel
