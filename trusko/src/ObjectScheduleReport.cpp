#include "trusko/ReportBuilders.h"

#include "ReportData.h"
#include "trusko/PlacedTimetable.h"

#include <set>

namespace trusko {

using namespace tamsel;

QString reportProgressCaption() {
    return QStringLiteral("Печать расписания");
}
QString batchProgressCaption() {
    return QStringLiteral("Печать расписаний учителей");
}

QString lessonHeader(const LessonBell& bell) {
    const QString from = formatLessonTime(bell.Begining);
    const QString to = formatLessonTime(bell.Ending);
    if (from.isEmpty() && to.isEmpty()) return bell.LessonNo;
    return bell.LessonNo + CellLineBreak + from + QStringLiteral("–") + to;
}

QString weekBand(int week) {
    return QString::number(week) + QStringLiteral("-я неделя");
}

QString formatLessonTime(Long time) {
    if (time <= 0) return QString();
    const Long hundredths = time - 1;
    const int minutes = static_cast<int>(hundredths / 6000);
    return QStringLiteral("%1:%2")
        .arg(minutes / 60 % 24, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

namespace {

/// Appends one lesson to a cell; lessons are separated by a line break. `strongLine` is the
/// entry's line to print in bold.
void appendEntry(QString& cell, QList<int>& strong, const QString& entry, int strongLine) {
    int lines = 0;
    if (!cell.isEmpty()) {
        lines = static_cast<int>(cell.count(CellLineBreak)) + 1;
        cell += CellLineBreak;
    }
    cell += entry;
    if (strongLine >= 0) strong << lines + strongLine;
}

class ObjectCells {
public:
    ObjectCells(ReportData& data, Short kind, Long code) : data_(data), kind_(kind), code_(code) {}

    /// Every lesson of the object in one cell, as the report of its kind shows them.
    QString cell(Short week, Short day, const QString& lessonNo, QList<int>& strong) {
        auto schedule = data_.dict().access<Schedule>();
        Schedule from;
        from.Week = week;
        from.DaySeqNumber = day;
        from.LessonNo = lessonNo;
        std::vector<Schedule> lessons;
        switch (kind_) {
        case ObjectType::Teacher:
            from.TeacherCode = static_cast<Short>(code_);
            lessons = schedule.read(Schedule::TeacherKey, from, 4);
            break;
        case ObjectType::Group:
            from.GroupCode = static_cast<Short>(code_);
            from.SubGroupNum = 0; // all the group's subgroups follow the whole group
            lessons = schedule.read(Schedule::GroupDayLessGrKey, from, 4);
            break;
        case ObjectType::Room:
            from.RoomCode = code_;
            lessons = schedule.read(Schedule::RoomKey, from, 4);
            break;
        default:
            break;
        }

        QString text;
        std::set<QString> subjectsShown;
        for (const Schedule& s : lessons) {
            const QString label = data_.groupLabel(s.GroupCode, s.SubGroupNum);
            const QString subject = data_.science(s.ScienceCode);
            const QString science = fixedWidth(subject, 20);
            const QString room = fixedWidth(data_.roomNo(s.RoomCode), 7);
            const QString teacher = fixedWidth(data_.teacherName(s.TeacherCode), 20);
            switch (kind_) {
            case ObjectType::Teacher:
                appendEntry(text, strong, science + CellLineBreak + label + room, 0);
                break;
            case ObjectType::Group:
                // Subgroups sharing a subject print it once. The check is on whole subject
                // lines: a name that merely occurs inside another (Алгебра in "Алгебра и
                // начала анализа") must not lose its line.
                if (subjectsShown.insert(subject).second)
                    appendEntry(text, strong,
                                label + room + CellLineBreak + science + CellLineBreak + teacher,
                                1);
                else
                    appendEntry(text, strong, label + room + CellLineBreak + teacher, -1);
                break;
            case ObjectType::Room:
                appendEntry(text, strong, label + CellLineBreak + science + CellLineBreak + teacher,
                            1);
                break;
            default:
                break;
            }
            if (text.size() >= CellTextLimit) break;
        }
        return text.left(CellTextLimit);
    }

private:
    ReportData& data_;
    Short kind_;
    Long code_;
};

QString objectTitle(ReportData& data, Short kind, Long code) {
    switch (kind) {
    case ObjectType::Teacher:
        return ObjectScheduleTitle(kind, data.teacherName(static_cast<Short>(code)));
    case ObjectType::Group:
        return ObjectScheduleTitle(kind, data.group(static_cast<Short>(code)).GroupId());
    case ObjectType::Room:
        return ObjectScheduleTitle(kind, data.roomNo(code));
    default:
        return QString();
    }
}

} // namespace

ReportDocument BuildObjectSchedule(Dictionary& dict, Short objectKind, Long objectCode,
                                   ProgressPort* progress) {
    ReportDocument doc;
    doc.caption = QStringLiteral("Расписание уроков");
    doc.layout.widths = {0.62, 1, 1, 1, 1, 1, 1};
    doc.layout.align.assign(7, Align::Left);
    doc.layout.boldRowHeader = true;
    doc.layout.fillPage = true;

    ReportData data(dict, {FileId::Schedule, FileId::LessonBell, FileId::Days, FileId::Science,
                           FileId::Teacher, FileId::Group, FileId::Room});
    if (!data.ok()) {
        doc.failed = true;
        return doc;
    }
    doc.title = objectTitle(data, objectKind, objectCode);

    const std::vector<Days> days = data.days();
    const std::vector<LessonBell> bells = data.bells();
    const int weeks = std::max<int>(1, dict.glo.WeeksInCycle);
    ObjectCells cells(data, objectKind, objectCode);

    if (progress) progress->start(reportProgressCaption());
    // An empty calendar still prints one (blank) set, so the user sees why nothing is there.
    for (size_t first = 0; first < days.size() || (first == 0 && days.empty());
         first += DaysPerSet) {
        ColumnSet set;
        set.headers << QStringLiteral("Урок");
        for (size_t i = first; i < first + DaysPerSet; ++i)
            set.headers << (i < days.size() ? days[i].DayName : QString());

        for (int week = 1; week <= weeks; ++week) {
            if (weeks > 1) set.rows.push_back({ReportRow::Kind::Band, {weekBand(week)}, {}});
            for (size_t b = 0; b < bells.size(); ++b) {
                ReportRow row;
                row.cells << lessonHeader(bells[b]);
                row.strong.resize(1 + DaysPerSet);
                for (size_t i = first; i < first + DaysPerSet; ++i)
                    row.cells << (i < days.size()
                                      ? cells.cell(static_cast<Short>(week), days[i].DaySeqNumber,
                                                   bells[b].LessonNo, row.strong[1 + i - first])
                                      : QString());
                set.rows.push_back(std::move(row));
                if (progress) {
                    const int pass =
                        percentOf(static_cast<qint64>(b) + 1, static_cast<qint64>(bells.size()));
                    progress->setPercent((pass + (week - 1) * 100) / weeks);
                    if (progress->cancelled()) {
                        doc.cancelled = true;
                        progress->finish();
                        return doc;
                    }
                }
            }
        }
        doc.sets.push_back(std::move(set));
    }
    if (progress) progress->finish();
    return doc;
}

std::vector<Long> BatchObjectCodes(Dictionary& dict, Short objectKind) {
    std::vector<Long> codes;
    switch (objectKind) {
    case ObjectType::Teacher: {
        FileUse use(dict.store(), FileId::Teacher);
        if (!use) break;
        for (const Teacher& t : dict.access<Teacher>().all(Teacher::TeacherNameKey))
            if (t.TeacherCode != 0) codes.push_back(t.TeacherCode);
        break;
    }
    case ObjectType::Group: {
        FileUse use(dict.store(), FileId::Group);
        if (!use) break;
        for (const Group& g : dict.access<Group>().all(Group::GroupIdKey))
            codes.push_back(g.GroupCode);
        break;
    }
    case ObjectType::Room: {
        FileUse use(dict.store(), FileId::Room);
        if (!use) break;
        for (const Room& r : dict.access<Room>().all(Room::RoomNoKey))
            codes.push_back(r.RoomCode);
        break;
    }
    default:
        break;
    }
    return codes;
}

std::vector<ReportDocument> BuildAllObjectSchedules(Dictionary& dict, Short objectKind,
                                                    ProgressPort* progress) {
    std::vector<ReportDocument> docs;
    const std::vector<Long> codes = BatchObjectCodes(dict, objectKind);
    if (progress) progress->start(batchProgressCaption());
    for (size_t i = 0; i < codes.size(); ++i) {
        docs.push_back(BuildObjectSchedule(dict, objectKind, codes[i], nullptr));
        if (docs.back().failed) break;
        if (progress) {
            progress->setPercent(
                percentOf(static_cast<qint64>(i) + 1, static_cast<qint64>(codes.size())));
            if (progress->cancelled()) {
                docs.back().cancelled = true;
                break;
            }
        }
    }
    if (progress) progress->finish();
    return docs;
}

} // namespace trusko
