// What a school holds, written as a FET file: the same problem for FET's own solver.

#include "hestor/FetImport.h"

#include "tamsel/Dictionary.h"
#include "tamsel/Store.h"

#include <QCollator>
#include <QDir>
#include <QSaveFile>
#include <QXmlStreamWriter>
#include <algorithm>
#include <map>
#include <set>

namespace hestor {

using namespace tamsel;

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

/// Numbers in numeric order, else texts: courses "5", "10" and letters "2", "10" keep the
/// order a person reads (and the import gives back).
bool naturalLess(const QString& a, const QString& b) {
    bool na = false, nb = false;
    const int ia = a.trimmed().toInt(&na), ib = b.trimmed().toInt(&nb);
    if (na && nb) return ia < ib;
    if (na != nb) return na;
    return a < b;
}

struct FetActivity {
    Short teacher = 0;
    Short science = 0;
    QStringList students;
    int duration = 1;
};

} // namespace

QString ExportFet(Dictionary& dict, const QString& fetFile, const FetExportOptions& options) {
    std::vector<std::unique_ptr<FileUse>> open;
    for (FileId id : {FileId::Days, FileId::LessonBell, FileId::Science, FileId::Teacher,
                      FileId::Room, FileId::Group, FileId::Stream, FileId::Course,
                      FileId::Schedule, FileId::LsnLink, FileId::LsnLinkComp, FileId::RoomList,
                      FileId::Restriction}) {
        open.push_back(std::make_unique<FileUse>(dict.store(), id));
        if (!*open.back())
            return u("файл данных %1 не читается").arg(QDir::toNativeSeparators(dict.store().diskName(id)));
    }
    const auto days = dict.access<Days>(false).all(Days::SeqNumberKey);
    const auto bells = dict.access<LessonBell>(false).all(LessonBell::NumberKey);
    const auto sciences = dict.access<Science>(false).all(Science::ScienceCodeKey);
    const auto teachers = dict.access<Teacher>(false).all(Teacher::TeacherCodeKey);
    const auto rooms = dict.access<Room>(false).all(Room::CodeKey);
    auto groups = dict.access<Group>(false).all(Group::GroupCodeKey);
    const auto streams = dict.access<Stream>(false).all(Stream::StreamCodeKey);
    const auto entries = dict.access<Schedule>(false).all(Schedule::ItemCode);
    const auto links = dict.access<LsnLink>(false).all(LsnLink::CodeKey);
    const auto members = dict.access<LsnLinkComp>(false).all(LsnLinkComp::LinkCodeKey);
    const auto roomLists = dict.access<RoomList>(false).all(RoomList::TeacherScienceKey);
    const auto restrictions = dict.access<Restriction>(false).all(Restriction::ObjectIdKey);
    if (days.empty() || bells.empty()) return u("в школе нет дней или звонков");

    std::map<Short, QString> dayName, scienceName, teacherName;
    std::map<QString, int> hourIndex;
    std::map<Long, QString> roomName;
    for (const Days& d : days) dayName[d.DaySeqNumber] = d.DayName;
    QStringList hourNames;
    for (const LessonBell& b : bells) {
        QString name = b.LessonNo.trimmed();
        if (b.Begining || b.Ending) {
            const QTime t0 = QTime(0, 0).addMSecs((b.Begining - 1) * 10);
            const QTime t1 = QTime(0, 0).addMSecs((b.Ending - 1) * 10);
            name += u(" (%1-%2)").arg(t0.toString(QStringLiteral("hh:mm")), t1.toString(QStringLiteral("hh:mm")));
        }
        hourIndex[b.LessonNo] = hourNames.size();
        hourNames << name;
    }
    for (const Science& s : sciences) scienceName[s.ScienceCode] = s.Science;
    for (const Teacher& t : teachers) teacherName[t.TeacherCode] = t.TeacherName;
    for (const Room& r : rooms) roomName[r.RoomCode] = r.RoomNo;

    // Student sets: a year per course, a group per group named by its stream when the stream
    // is the group's own, subgroups where lessons are given to subgroups.
    std::map<Short, int> streamUse;
    for (const Group& g : groups) ++streamUse[g.StreamCode];
    std::map<Short, QString> streamName;
    for (const Stream& s : streams) streamName[s.StreamCode] = s.Stream;
    std::map<Short, QString> groupName;
    std::map<Short, int> subgroupsOf;
    for (const Group& g : groups)
        groupName[g.GroupCode] = streamUse[g.StreamCode] == 1 && !streamName[g.StreamCode].isEmpty()
                                     ? streamName[g.StreamCode]
                                     : g.GroupId();
    for (const Schedule& e : entries)
        subgroupsOf[e.GroupCode] = std::max<int>(subgroupsOf[e.GroupCode], e.SubGroupNum);
    auto setName = [&](Short group, Short subgroup) {
        return subgroup ? u("%1/%2").arg(groupName[group]).arg(subgroup) : groupName[group];
    };
    std::stable_sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) {
        if (a.Course != b.Course) return naturalLess(a.Course, b.Course);
        return naturalLess(a.Literal, b.Literal);
    });

    // Activities: a lecture link's k-th lessons are one activity for all its groups; another
    // link's lessons are activities that start together; every other lesson (or pair) is one.
    std::vector<FetActivity> activities;
    std::vector<std::vector<int>> together;
    std::map<Short, bool> lecture;
    for (const LsnLink& l : links) lecture[l.LinkCode] = l.IsLecture != 0;
    std::map<std::tuple<Short, Short, Short, Short>, std::vector<const Schedule*>> kinds; // link, item, group, subgroup
    for (const Schedule& e : entries) kinds[{lecture.count(e.LinkCode) ? e.LinkCode : Short(0), e.TrainingCourseItemCode, e.GroupCode, e.SubGroupNum}].push_back(&e);
    // A kind's lessons as units: singles and pairs (the halves of a pair one unit).
    auto unitsOf = [&](const std::vector<const Schedule*>& es) {
        std::vector<std::pair<const Schedule*, int>> units;
        std::vector<const Schedule*> firsts, seconds;
        for (const Schedule* e : es) {
            if (e->CoupledLesson == 0) units.emplace_back(e, 1);
            else (e->CoupledLesson == 1 ? firsts : seconds).push_back(e);
        }
        for (size_t i = 0; i < std::max(firsts.size(), seconds.size()); ++i) {
            const Schedule* e = i < firsts.size() ? firsts[i] : seconds[i];
            if (options.splitHours || i >= firsts.size() || i >= seconds.size()) {
                units.emplace_back(e, 1);
                if (i < firsts.size() && i < seconds.size()) units.emplace_back(seconds[i], 1);
            } else {
                units.emplace_back(e, 2);
            }
        }
        return units;
    };
    std::map<Short, std::vector<std::vector<std::pair<const Schedule*, int>>>> linkUnits;
    for (const auto& [key, es] : kinds) {
        const Short link = std::get<0>(key);
        auto units = unitsOf(es);
        if (link) {
            linkUnits[link].push_back(std::move(units));
            continue;
        }
        for (const auto& [e, duration] : units)
            activities.push_back({e->TeacherCode, e->ScienceCode, {setName(e->GroupCode, e->SubGroupNum)}, duration});
    }
    for (const auto& [link, perMember] : linkUnits) {
        size_t most = 0;
        for (const auto& m : perMember) most = std::max(most, m.size());
        for (size_t k = 0; k < most; ++k) {
            std::vector<int> ids;
            for (const auto& m : perMember) {
                if (k >= m.size()) continue;
                const auto [e, duration] = m[k];
                const QString set = setName(e->GroupCode, e->SubGroupNum);
                if (lecture[link] && !ids.empty()) {
                    FetActivity& a = activities[size_t(ids.front())];
                    if (!a.students.contains(set)) a.students << set;
                    continue;
                }
                ids.push_back(static_cast<int>(activities.size()));
                activities.push_back({e->TeacherCode, e->ScienceCode, {set}, duration});
            }
            if (ids.size() > 1) together.push_back(ids);
        }
    }

    QSaveFile file(fetFile);
    if (!file.open(QIODevice::WriteOnly)) return file.errorString();
    QXmlStreamWriter x(&file);
    x.setAutoFormatting(true);
    x.setAutoFormattingIndent(1);
    x.writeStartDocument();
    x.writeStartElement(QStringLiteral("fet"));
    x.writeAttribute(QStringLiteral("version"), QStringLiteral("6.8.5"));
    x.writeTextElement(QStringLiteral("Institution_Name"), u("Korvel"));
    x.writeTextElement(QStringLiteral("Comments"), QString());
    auto nameList = [&](const char* list, const char* count, const char* item, const QStringList& names) {
        x.writeStartElement(QLatin1String(list));
        if (count) x.writeTextElement(QLatin1String(count), QString::number(names.size()));
        for (const QString& n : names) {
            x.writeStartElement(QLatin1String(item));
            x.writeTextElement(QStringLiteral("Name"), n);
            x.writeEndElement();
        }
        x.writeEndElement();
    };
    QStringList dayNames;
    for (const auto& [seq, name] : dayName) dayNames << name;
    nameList("Days_List", "Number_of_Days", "Day", dayNames);
    nameList("Hours_List", "Number_of_Hours", "Hour", hourNames);
    QStringList subjectNames;
    for (const auto& [code, name] : scienceName) subjectNames << name;
    nameList("Subjects_List", nullptr, "Subject", subjectNames);
    x.writeEmptyElement(QStringLiteral("Activity_Tags_List"));
    x.writeStartElement(QStringLiteral("Teachers_List"));
    for (const auto& [code, name] : teacherName) {
        x.writeStartElement(QStringLiteral("Teacher"));
        x.writeTextElement(QStringLiteral("Name"), name);
        x.writeTextElement(QStringLiteral("Target_Number_of_Hours"), QStringLiteral("0"));
        x.writeEmptyElement(QStringLiteral("Qualified_Subjects"));
        x.writeEndElement();
    }
    x.writeEndElement();
    x.writeStartElement(QStringLiteral("Students_List"));
    for (size_t i = 0; i < groups.size();) {
        const QString course = groups[i].Course;
        x.writeStartElement(QStringLiteral("Year"));
        x.writeTextElement(QStringLiteral("Name"), u("Курс %1").arg(course));
        x.writeTextElement(QStringLiteral("Number_of_Students"), QStringLiteral("0"));
        for (; i < groups.size() && groups[i].Course == course; ++i) {
            const Short g = groups[i].GroupCode;
            x.writeStartElement(QStringLiteral("Group"));
            x.writeTextElement(QStringLiteral("Name"), groupName[g]);
            x.writeTextElement(QStringLiteral("Number_of_Students"), QStringLiteral("0"));
            for (int s = 1; s <= subgroupsOf[g]; ++s) {
                x.writeStartElement(QStringLiteral("Subgroup"));
                x.writeTextElement(QStringLiteral("Name"), setName(g, Short(s)));
                x.writeTextElement(QStringLiteral("Number_of_Students"), QStringLiteral("0"));
                x.writeEndElement();
            }
            x.writeEndElement();
        }
        x.writeEndElement();
    }
    x.writeEndElement();

    std::map<std::pair<Short, Short>, QStringList> listOf;
    for (const RoomList& r : roomLists)
        if (roomName.count(r.RoomCode)) listOf[{r.TeacherCode, r.ScienceCode}] << roomName[r.RoomCode];
    x.writeStartElement(QStringLiteral("Activities_List"));
    for (size_t i = 0; i < activities.size(); ++i) {
        const FetActivity& a = activities[i];
        x.writeStartElement(QStringLiteral("Activity"));
        if (teacherName.count(a.teacher)) x.writeTextElement(QStringLiteral("Teacher"), teacherName[a.teacher]);
        x.writeTextElement(QStringLiteral("Subject"), scienceName[a.science]);
        for (const QString& s : a.students) x.writeTextElement(QStringLiteral("Students"), s);
        x.writeTextElement(QStringLiteral("Duration"), QString::number(a.duration));
        x.writeTextElement(QStringLiteral("Total_Duration"), QString::number(a.duration));
        x.writeTextElement(QStringLiteral("Id"), QString::number(i + 1));
        x.writeTextElement(QStringLiteral("Activity_Group_Id"), QStringLiteral("0"));
        x.writeTextElement(QStringLiteral("Active"), QStringLiteral("true"));
        x.writeEndElement();
    }
    x.writeEndElement();
    x.writeEmptyElement(QStringLiteral("Buildings_List"));
    x.writeStartElement(QStringLiteral("Rooms_List"));
    for (const auto& [code, name] : roomName) {
        x.writeStartElement(QStringLiteral("Room"));
        x.writeTextElement(QStringLiteral("Name"), name);
        x.writeTextElement(QStringLiteral("Building"), QString());
        x.writeTextElement(QStringLiteral("Capacity"), QStringLiteral("30000"));
        x.writeTextElement(QStringLiteral("Virtual"), QStringLiteral("false"));
        x.writeEndElement();
    }
    x.writeEndElement();

    auto basic = [&](const char* tag) {
        x.writeStartElement(QLatin1String(tag));
        x.writeTextElement(QStringLiteral("Weight_Percentage"), QStringLiteral("100"));
        x.writeTextElement(QStringLiteral("Active"), QStringLiteral("true"));
        x.writeEndElement();
    };
    // Forbidden cells of the first week (FET has one week); undesirable ones have no
    // counterpart that FET must keep.
    std::map<std::pair<Short, Short>, std::vector<std::pair<QString, QString>>> forbidden;
    for (const Restriction& r : restrictions)
        if (r.Restriction == RestrictionLevel::Forbidden && r.Week <= 1 && dayName.count(r.DaySeqNumber) && hourIndex.count(r.LessonNo))
            forbidden[{r.ObjectType, r.ObjectCode}].emplace_back(dayName[r.DaySeqNumber], hourNames[hourIndex[r.LessonNo]]);
    x.writeStartElement(QStringLiteral("Time_Constraints_List"));
    basic("ConstraintBasicCompulsoryTime");
    for (const auto& [who, cells] : forbidden) {
        const auto [type, code] = who;
        const char* tag = type == ObjectType::Teacher ? "ConstraintTeacherNotAvailableTimes"
                          : type == ObjectType::Group ? "ConstraintStudentsSetNotAvailableTimes"
                          : type == ObjectType::Room  ? "ConstraintRoomNotAvailableTimes"
                                                      : nullptr;
        if (!tag) continue;
        QString name;
        if (type == ObjectType::Teacher) name = teacherName[code];
        if (type == ObjectType::Group) name = groupName.count(code) ? groupName[code] : QString();
        if (type == ObjectType::Room) name = roomName.count(code) ? roomName[code] : QString();
        if (name.isEmpty()) continue;
        x.writeStartElement(QLatin1String(tag));
        x.writeTextElement(QStringLiteral("Weight_Percentage"), QStringLiteral("100"));
        x.writeTextElement(type == ObjectType::Teacher ? QStringLiteral("Teacher")
                           : type == ObjectType::Group ? QStringLiteral("Students")
                                                       : QStringLiteral("Room"),
                           name);
        x.writeTextElement(QStringLiteral("Number_of_Not_Available_Times"), QString::number(cells.size()));
        for (const auto& [day, hour] : cells) {
            x.writeStartElement(QStringLiteral("Not_Available_Time"));
            x.writeTextElement(QStringLiteral("Day"), day);
            x.writeTextElement(QStringLiteral("Hour"), hour);
            x.writeEndElement();
        }
        x.writeTextElement(QStringLiteral("Active"), QStringLiteral("true"));
        x.writeEndElement();
    }
    for (const auto& ids : together) {
        x.writeStartElement(QStringLiteral("ConstraintActivitiesSameStartingTime"));
        x.writeTextElement(QStringLiteral("Weight_Percentage"), QStringLiteral("100"));
        x.writeTextElement(QStringLiteral("Number_of_Activities"), QString::number(ids.size()));
        for (int id : ids) x.writeTextElement(QStringLiteral("Activity_Id"), QString::number(id + 1));
        x.writeTextElement(QStringLiteral("Active"), QStringLiteral("true"));
        x.writeEndElement();
    }
    x.writeEndElement();
    x.writeStartElement(QStringLiteral("Space_Constraints_List"));
    basic("ConstraintBasicCompulsorySpace");
    for (size_t i = 0; i < activities.size(); ++i) {
        const QStringList& list = listOf[{activities[i].teacher, activities[i].science}];
        if (list.isEmpty()) continue;
        x.writeStartElement(QStringLiteral("ConstraintActivityPreferredRooms"));
        x.writeTextElement(QStringLiteral("Weight_Percentage"), QStringLiteral("100"));
        x.writeTextElement(QStringLiteral("Activity_Id"), QString::number(i + 1));
        x.writeTextElement(QStringLiteral("Number_of_Preferred_Rooms"), QString::number(list.size()));
        for (const QString& r : list) x.writeTextElement(QStringLiteral("Preferred_Room"), r);
        x.writeTextElement(QStringLiteral("Active"), QStringLiteral("true"));
        x.writeEndElement();
    }
    x.writeEndElement();
    x.writeEndElement();
    x.writeEndDocument();
    if (x.hasError() || !file.commit()) return file.errorString();
    return {};
}

} // namespace hestor
