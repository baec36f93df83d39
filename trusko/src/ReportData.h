#pragma once

#include "tamsel/Dictionary.h"

#include <map>
#include <memory>
#include <vector>

namespace trusko {

/// The files a report reads, held open while it is built, with cached look-ups of the names
/// that cells repeat many times.
class ReportData {
public:
    ReportData(tamsel::Dictionary& dict, std::initializer_list<tamsel::FileId> files);

    /// False when a file could not be opened (its message has been shown).
    bool ok() const { return ok_; }
    tamsel::Dictionary& dict() { return dict_; }

    std::vector<tamsel::Days> days();
    std::vector<tamsel::LessonBell> bells();

    QString science(tamsel::Short code);
    QString teacherName(tamsel::Short code);
    QString roomNo(tamsel::Long code);
    const tamsel::Group& group(tamsel::Short code);
    /// The group's name followed by the subgroup mark, cut or padded to 10 characters.
    QString groupLabel(tamsel::Short groupCode, tamsel::Short subGroupNum);

    /// Teachers with a nonzero code, walking the specialities in name order and the teachers
    /// of each in name order; teachers whose speciality is missing come last, so that nobody
    /// drops out of a report. `specialities` receives the speciality name of each.
    std::vector<tamsel::Teacher> teachersBySpeciality(QStringList* specialities = nullptr);

private:
    tamsel::Dictionary& dict_;
    std::vector<std::unique_ptr<tamsel::FileUse>> uses_;
    bool ok_ = true;
    std::map<tamsel::Short, QString> sciences_, teachers_;
    std::map<tamsel::Long, QString> rooms_;
    std::map<tamsel::Short, tamsel::Group> groups_;
};

/// The row header of a timetable row: the lesson number over its start and end times.
QString lessonHeader(const tamsel::LessonBell& bell);
/// "2-я неделя".
QString weekBand(int week);

/// Percentage of `done` out of `total`, 0..100.
int percentOf(qint64 done, qint64 total);

} // namespace trusko
