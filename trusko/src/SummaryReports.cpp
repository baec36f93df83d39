#include "trusko/ReportBuilders.h"

#include "ReportData.h"

namespace trusko {

using namespace tamsel;

namespace {

/// Ticks a progress window over a known number of rows; true when the user cancelled.
class RowProgress {
public:
    RowProgress(ProgressPort* progress, qint64 total) : progress_(progress), total_(total) {
        if (progress_) progress_->start(reportProgressCaption());
    }
    ~RowProgress() {
        if (progress_) progress_->finish();
    }
    bool step() {
        if (!progress_) return false;
        progress_->setPercent(percentOf(++done_, total_));
        return progress_->cancelled();
    }

private:
    ProgressPort* progress_;
    qint64 total_;
    qint64 done_ = 0;
};

/// Counts shown in 3 digits, right-aligned; blank for 0.
QString count3(int n) {
    return n == 0 ? QString() : QStringLiteral("%1").arg(n, 3);
}

size_t setCount(size_t items, size_t perSet) {
    return std::max<size_t>(1, (items + perSet - 1) / perSet);
}

} // namespace

ReportDocument BuildBriefSchedule(Dictionary& dict, ProgressPort* progress) {
    ReportDocument doc;
    doc.caption = QStringLiteral("Расписание уроков");
    doc.title = QStringLiteral("Сводное расписание");
    doc.layout.widths = {0.62, 1, 1, 1, 1, 1, 1};
    doc.layout.align.assign(7, Align::Left);
    doc.layout.boldRowHeader = true;

    ReportData data(dict, {FileId::Schedule, FileId::LessonBell, FileId::Days, FileId::Teacher,
                           FileId::Speciality, FileId::Group, FileId::Room});
    if (!data.ok()) {
        doc.failed = true;
        return doc;
    }
    const std::vector<Teacher> teachers = data.teachersBySpeciality();
    const std::vector<Days> days = data.days();
    const std::vector<LessonBell> bells = data.bells();
    const int weeks = std::max<int>(1, dict.glo.WeeksInCycle);
    const size_t sets = setCount(teachers.size(), TeachersPerBriefSet);
    RowProgress ticks(progress, static_cast<qint64>(sets * weeks * days.size() * bells.size()));
    auto schedule = dict.access<Schedule>();

    for (size_t first = 0; first == 0 || first < teachers.size(); first += TeachersPerBriefSet) {
        ColumnSet set;
        set.headers << QStringLiteral("Урок");
        for (size_t i = first; i < first + TeachersPerBriefSet; ++i)
            set.headers << (i < teachers.size() ? teachers[i].TeacherName : QString());

        for (int week = 1; week <= weeks; ++week) {
            if (weeks > 1) set.rows.push_back({ReportRow::Kind::Band, {weekBand(week)}, {}});
            for (const Days& day : days) {
                set.rows.push_back({ReportRow::Kind::Band, {day.DayName}, {}});
                for (const LessonBell& bell : bells) {
                    ReportRow row;
                    row.cells << lessonHeader(bell);
                    for (size_t i = first; i < first + TeachersPerBriefSet; ++i) {
                        QString text;
                        if (i < teachers.size()) {
                            Schedule from;
                            from.TeacherCode = teachers[i].TeacherCode;
                            from.Week = static_cast<Short>(week);
                            from.DaySeqNumber = day.DaySeqNumber;
                            from.LessonNo = bell.LessonNo;
                            // A joint lecture gives a teacher several groups in one cell:
                            // every one of them is listed.
                            for (const Schedule& s : schedule.read(Schedule::TeacherKey, from, 4)) {
                                if (!text.isEmpty()) text += CellLineBreak;
                                text += data.groupLabel(s.GroupCode, s.SubGroupNum) +
                                        fixedWidth(data.roomNo(s.RoomCode), 7);
                            }
                        }
                        row.cells << text.left(CellTextLimit);
                    }
                    set.rows.push_back(std::move(row));
                    if (ticks.step()) {
                        doc.cancelled = true;
                        return doc;
                    }
                }
            }
        }
        doc.sets.push_back(std::move(set));
    }
    return doc;
}

ReportDocument BuildTrainingCourse(Dictionary& dict, ProgressPort* progress) {
    ReportDocument doc;
    doc.caption = QStringLiteral("Учебный план");
    doc.layout.widths.assign(1 + GroupsPerPlanSet, 1);
    doc.layout.widths[0] = 2.6;
    doc.layout.align.assign(1 + GroupsPerPlanSet, Align::Center);
    doc.layout.align[0] = Align::Left;

    ReportData data(dict, {FileId::TrainingCourse, FileId::Science, FileId::Group});
    if (!data.ok()) {
        doc.failed = true;
        return doc;
    }
    const std::vector<Group> groups = dict.access<Group>().all(Group::GroupIdKey);
    const std::vector<Science> subjects = dict.access<Science>().all(Science::ScienceKey);
    const size_t sets = setCount(groups.size(), GroupsPerPlanSet);
    RowProgress ticks(progress, static_cast<qint64>(sets * subjects.size()));
    auto plan = dict.access<TrainingCourse>();

    for (size_t first = 0; first == 0 || first < groups.size(); first += GroupsPerPlanSet) {
        const size_t last = std::min(groups.size(), first + GroupsPerPlanSet);
        ColumnSet set;
        set.headers << QStringLiteral("Дисциплина");
        for (size_t i = first; i < first + GroupsPerPlanSet; ++i)
            set.headers << (i < groups.size() ? groups[i].GroupId() : QString());
        std::vector<int> sums(GroupsPerPlanSet, 0);

        for (const Science& subject : subjects) {
            ReportRow row;
            row.cells << subject.Science;
            for (size_t i = first; i < first + GroupsPerPlanSet; ++i) {
                QString text;
                if (i < last) {
                    TrainingCourse key;
                    key.Course = groups[i].Course;
                    key.ScienceCode = subject.ScienceCode;
                    key.StreamCode = groups[i].StreamCode;
                    bool found = false;
                    const TrainingCourse item = plan.fetch(TrainingCourse::CourseKey, key, &found);
                    if (found) {
                        const int s = item.SingleHours, c = item.CoupledHours;
                        if (s >= 1 && c >= 1)
                            text = QStringLiteral("%1 + %2(2)").arg(s).arg(c);
                        else if (s >= 1)
                            text = QString::number(s);
                        else if (c >= 1)
                            text = QStringLiteral("%1(2)").arg(c);
                        sums[i - first] += s + c;
                    }
                }
                row.cells << text;
            }
            set.rows.push_back(std::move(row));
            if (ticks.step()) {
                doc.cancelled = true;
                return doc;
            }
        }
        ReportRow total{ReportRow::Kind::Total, {QStringLiteral("Итого")}, {}};
        for (size_t i = first; i < first + GroupsPerPlanSet; ++i)
            total.cells << (i < last ? QString::number(sums[i - first]) : QString());
        set.rows.push_back(std::move(total));
        doc.sets.push_back(std::move(set));
    }
    return doc;
}

ReportDocument BuildTeacherLoad(Dictionary& dict, ProgressPort* progress) {
    ReportDocument doc;
    doc.caption = QStringLiteral("Распределение нагрузки учителей");
    const int columns = 2 + GroupsPerLoadSet + 1;
    doc.layout.widths.assign(columns, 1);
    doc.layout.widths[0] = 2.2;
    doc.layout.widths[1] = 2.6;
    doc.layout.align.assign(columns, Align::Right);
    doc.layout.align[0] = doc.layout.align[1] = Align::Left;

    ReportData data(dict, {FileId::Schedule, FileId::Teacher, FileId::Speciality, FileId::Group});
    if (!data.ok()) {
        doc.failed = true;
        return doc;
    }
    QStringList specialities;
    const std::vector<Teacher> teachers = data.teachersBySpeciality(&specialities);
    const std::vector<Group> groups = dict.access<Group>().all(Group::GroupIdKey);
    const size_t sets = setCount(groups.size(), GroupsPerLoadSet);
    RowProgress ticks(progress, static_cast<qint64>(sets * teachers.size()));
    auto schedule = dict.access<Schedule>();

    for (size_t first = 0; first == 0 || first < groups.size(); first += GroupsPerLoadSet) {
        ColumnSet set;
        set.headers << QStringLiteral("Специальность") << QStringLiteral("Учитель");
        for (size_t i = first; i < first + GroupsPerLoadSet; ++i)
            set.headers << (i < groups.size() ? groups[i].GroupId() : QString());
        set.headers << QStringLiteral("Всего");

        for (size_t t = 0; t < teachers.size(); ++t) {
            std::vector<int> counts(GroupsPerLoadSet, 0);
            int total = 0;
            Schedule from;
            from.TeacherCode = teachers[t].TeacherCode;
            // Every lesson of the teacher, unplaced ones (week 0) first.
            for (const Schedule& s : schedule.read(Schedule::TeacherKey, from, 1)) {
                if (s.GroupCode == 0) {
                    // Asked once per lesson, not again on every further page.
                    if (first == 0 && dict.ui().stopPrompt(QStringLiteral("Учитель ") +
                                                           fixedWidth(teachers[t].TeacherName, 20) +
                                                           QStringLiteral("без группы ! ?"))) {
                        doc.cancelled = true;
                        return doc;
                    }
                    continue;
                }
                for (size_t i = first; i < first + GroupsPerLoadSet && i < groups.size(); ++i)
                    if (groups[i].GroupCode == s.GroupCode) ++counts[i - first];
                ++total;
            }
            ReportRow row;
            row.cells << specialities.value(static_cast<int>(t)) << teachers[t].TeacherName;
            for (int n : counts)
                row.cells << count3(n);
            row.cells << count3(total);
            set.rows.push_back(std::move(row));
            if (ticks.step()) {
                doc.cancelled = true;
                return doc;
            }
        }
        doc.sets.push_back(std::move(set));
    }
    return doc;
}

} // namespace trusko
