#include "ReportData.h"

#include "trusko/Report.h"

#include <algorithm>
#include <set>

namespace trusko {

using namespace tamsel;

QString fixedWidth(const QString& text, int width) {
    return text.left(width).leftJustified(width, QLatin1Char(' '));
}

std::vector<const ReportRow*> ColumnSet::detailRows() const {
    std::vector<const ReportRow*> out;
    for (const ReportRow& r : rows)
        if (r.kind != ReportRow::Kind::Band) out.push_back(&r);
    return out;
}

int percentOf(qint64 done, qint64 total) {
    if (total <= 0) return 100;
    return static_cast<int>(std::clamp<qint64>(done * 100 / total, 0, 100));
}

ReportData::ReportData(Dictionary& dict, std::initializer_list<FileId> files) : dict_(dict) {
    for (FileId id : files) {
        auto use = std::make_unique<FileUse>(dict.store(), id);
        if (!use->ok()) {
            ok_ = false;
            break;
        }
        uses_.push_back(std::move(use));
    }
}

std::vector<Days> ReportData::days() {
    return dict_.access<Days>().all(Days::SeqNumberKey);
}

std::vector<LessonBell> ReportData::bells() {
    return dict_.access<LessonBell>().all(LessonBell::NumberKey);
}

namespace {
/// A name looked up once per report: `fetch` reads it from the file on the first request.
template <class Map, class Fetch>
const typename Map::mapped_type& cached(Map& map, typename Map::key_type code, Fetch fetch) {
    auto it = map.find(code);
    if (it == map.end()) it = map.emplace(code, fetch()).first;
    return it->second;
}
} // namespace

QString ReportData::science(Short code) {
    return cached(sciences_, code, [&] {
        Science key;
        key.ScienceCode = code;
        return dict_.access<Science>().fetch(Science::ScienceCodeKey, key).Science;
    });
}

QString ReportData::teacherName(Short code) {
    return cached(teachers_, code, [&] {
        Teacher key;
        key.TeacherCode = code;
        return dict_.access<Teacher>().fetch(Teacher::TeacherCodeKey, key).TeacherName;
    });
}

QString ReportData::roomNo(Long code) {
    return cached(rooms_, code, [&] {
        Room key;
        key.RoomCode = code;
        return dict_.access<Room>().fetch(Room::CodeKey, key).RoomNo;
    });
}

const Group& ReportData::group(Short code) {
    return cached(groups_, code, [&] {
        Group key;
        key.GroupCode = code;
        return dict_.access<Group>().fetch(Group::GroupCodeKey, key);
    });
}

QString ReportData::groupLabel(Short groupCode, Short subGroupNum) {
    return fixedWidth(group(groupCode).GroupId() + FormatSubGroup(dict_.glo, subGroupNum), 10);
}

std::vector<Teacher> ReportData::teachersBySpeciality(QStringList* specialities) {
    std::vector<Teacher> out;
    std::set<Short> seen;
    auto teachers = dict_.access<Teacher>();
    for (const Speciality& s : dict_.access<Speciality>().all(Speciality::SpecialityKey)) {
        Teacher from;
        from.SpecialityCode = s.SpecialityCode;
        for (const Teacher& t : teachers.read(Teacher::SpecCodeKey, from, 1)) {
            if (t.TeacherCode == 0 || !seen.insert(t.TeacherCode).second) continue;
            out.push_back(t);
            if (specialities) *specialities << s.Speciality;
        }
    }
    for (const Teacher& t : teachers.all(Teacher::TeacherNameKey)) {
        if (t.TeacherCode == 0 || !seen.insert(t.TeacherCode).second) continue;
        out.push_back(t);
        if (specialities) *specialities << QString();
    }
    return out;
}

} // namespace trusko
