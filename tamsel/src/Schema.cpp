#include "tamsel/Schema.h"

#include <array>
#include <functional>
#include <initializer_list>

namespace tamsel {

namespace {

enum KeyFlag : unsigned { Dup = 0, Unique = 1, Primary = 2, Auto = 4 };

template <class R> class Builder {
public:
    using Member = std::variant<Byte R::*, Short R::*, Long R::*, QString R::*, QByteArray R::*>;

    Builder(FileId id, const char* name, const char* prefix, const char* settingsName) {
        def.id = id;
        def.base = id;
        def.name = QString::fromLatin1(name);
        def.prefix = QString::fromLatin1(prefix);
        def.settingsName = QString::fromLatin1(settingsName);
    }
    Builder& f(Byte R::*m, const char* name) { return add(m, name, FieldType::Byte, 0); }
    Builder& f(Short R::*m, const char* name) { return add(m, name, FieldType::Short, 0); }
    Builder& f(Long R::*m, const char* name, FieldType t = FieldType::Long) {
        return add(m, name, t, 0);
    }
    Builder& s(QString R::*m, const char* name, int width) {
        return add(m, name, FieldType::String, width);
    }
    Builder& b(QByteArray R::*m, const char* name) { return add(m, name, FieldType::Blob, 0); }
    /// The last field is one that older files lack.
    Builder& later() {
        def.fields.back().addedLater = true;
        return *this;
    }

    /// Components by field name; a leading "-" marks a descending component.
    Builder& key(const char* label, std::initializer_list<const char*> comps, unsigned flags,
                 const QString& description) {
        KeyDef k;
        k.label = QString::fromLatin1(label);
        k.indexName = QString(k.label).replace(QLatin1Char(':'), QLatin1Char('_'));
        k.unique = flags & Unique;
        k.primary = flags & Primary;
        k.autoNumber = flags & Auto;
        k.description = description;
        for (const char* c : comps) {
            QString n = QString::fromLatin1(c);
            KeyComponent kc;
            if (n.startsWith(QLatin1Char('-'))) {
                kc.descending = true;
                n.remove(0, 1);
            }
            kc.field = def.fieldIndex(n);
            Q_ASSERT(kc.field >= 0);
            def.fields[static_cast<size_t>(kc.field)].inKey = true;
            k.components.push_back(kc);
        }
        def.keys.push_back(std::move(k));
        return *this;
    }

    FileDef def;
    std::vector<Member> members;

private:
    template <class M> Builder& add(M m, const char* name, FieldType t, int width) {
        def.fields.push_back(FieldDef{QString::fromLatin1(name), t, width, false, false});
        members.emplace_back(m);
        return *this;
    }
};

QString u(const char* s) { return QString::fromUtf8(s); }

template <class R> const Builder<R>& builder();

template <> const Builder<Days>& builder<Days>() {
    static const Builder<Days> b = [] {
        Builder<Days> x(FileId::Days, "DAYS", "Day", "Days");
        x.f(&Days::DaySeqNumber, "DaySeqNumber").s(&Days::DayName, "DayName", 15);
        x.key("Day:SeqNumberKey", {"DaySeqNumber"}, Unique | Primary | Auto,
              u("по порядковым номерам"));
        return x;
    }();
    return b;
}

template <> const Builder<LessonBell>& builder<LessonBell>() {
    static const Builder<LessonBell> b = [] {
        Builder<LessonBell> x(FileId::LessonBell, "LESSONBELL", "Les", "LessonBell");
        x.s(&LessonBell::LessonNo, "LessonNo", 3)
            .f(&LessonBell::Begining, "Begining", FieldType::Time)
            .f(&LessonBell::Ending, "Ending", FieldType::Time);
        x.key("Les:NumberKey", {"LessonNo"}, Unique | Primary, u("По номеру урока"));
        x.key("Les:TimeKey", {"Begining", "LessonNo"}, Dup, u("По времени начала"));
        return x;
    }();
    return b;
}

template <> const Builder<Stream>& builder<Stream>() {
    static const Builder<Stream> b = [] {
        Builder<Stream> x(FileId::Stream, "STREAM", "Str", "Stream");
        x.f(&Stream::StreamCode, "StreamCode").s(&Stream::Stream, "Stream", 25);
        x.key("Str:StreamCodeKey", {"StreamCode"}, Unique | Primary | Auto, u("по коду"));
        x.key("Str:StreamKey", {"Stream"}, Unique, u("по алфавиту"));
        return x;
    }();
    return b;
}

template <> const Builder<Course>& builder<Course>() {
    static const Builder<Course> b = [] {
        Builder<Course> x(FileId::Course, "COURSE", "Crs", "Course");
        x.s(&Course::Course, "Course", 2);
        x.key("Crs:CourseKey", {"Course"}, Unique, u("По курсам"));
        return x;
    }();
    return b;
}

template <> const Builder<Group>& builder<Group>() {
    static const Builder<Group> b = [] {
        Builder<Group> x(FileId::Group, "GROUP", "Grp", "Group");
        x.f(&Group::ObjectType, "ObjectType")
            .f(&Group::GroupCode, "GroupCode")
            .s(&Group::Course, "Course", 2)
            .s(&Group::Defis, "Defis", 1)
            .s(&Group::Literal, "Literal", 2)
            .f(&Group::StreamCode, "StreamCode");
        x.key("Grp:GroupCodeKey", {"GroupCode"}, Unique | Primary | Auto, u("По коду"));
        x.key("Grp:GroupIdKey", {"Course", "Literal"}, Unique, u("По наименованию"));
        x.key("Grp:StreamKey", {"Course", "StreamCode"}, Dup, u("По курсам и потокам"));
        x.key("Grp:StreamCodeKey", {"StreamCode"}, Dup, u("По коду потока"));
        x.key("Grp:ObjectIdKey", {"ObjectType", "GroupCode"}, Dup,
              u("По идентификатору объекта"));
        return x;
    }();
    return b;
}

template <> const Builder<SubGroupType>& builder<SubGroupType>() {
    static const Builder<SubGroupType> b = [] {
        Builder<SubGroupType> x(FileId::SubGroupType, "SUBGROUPTYPE", "Sgt", "SubGroupType");
        x.f(&SubGroupType::SgrpTypCode, "SgrpTypCode")
            .s(&SubGroupType::SgrpTyp, "SgrpTyp", 20)
            .f(&SubGroupType::NumbOfSubGroups, "NumbOfSubGroups");
        x.key("Sgt:SgrpTypCdKey", {"SgrpTypCode"}, Unique | Primary | Auto,
              u("По коду типа подгруппы"));
        x.key("Sgt:SgrpTypKey", {"SgrpTyp"}, Unique, u("По типу подгруппы"));
        return x;
    }();
    return b;
}

template <> const Builder<ScienceCycle>& builder<ScienceCycle>() {
    static const Builder<ScienceCycle> b = [] {
        Builder<ScienceCycle> x(FileId::ScienceCycle, "SCIENCECYCLE", "Sccl", "ScienceCycle");
        x.f(&ScienceCycle::CycleCode, "CycleCode")
            .s(&ScienceCycle::CycleName, "CycleName", 20)
            .f(&ScienceCycle::LessonsPerDayMax, "LessonsPerDayMax")
            .f(&ScienceCycle::Color, "Color");
        x.key("Sccl:CycleCodeKey", {"CycleCode"}, Unique | Primary | Auto, u("По коду цикла"));
        x.key("Sccl:CycleNameKey", {"CycleName"}, Unique, u("По алфавиту"));
        return x;
    }();
    return b;
}

template <> const Builder<Science>& builder<Science>() {
    static const Builder<Science> b = [] {
        Builder<Science> x(FileId::Science, "SCIENCE", "Sci", "Science");
        x.f(&Science::ObjectType, "ObjectType")
            .f(&Science::ScienceCode, "ScienceCode")
            .s(&Science::Science, "Science", 20)
            .f(&Science::CycleCode, "CycleCode")
            .f(&Science::SgrpTypCode, "SgrpTypCode")
            .f(&Science::MainRoomTypeCode, "MainRoomTypeCode")
            .f(&Science::AdditionalRoomTypeCode, "AdditionalRoomTypeCode");
        x.key("Sci:ScienceCodeKey", {"ScienceCode"}, Unique | Primary | Auto,
              u("По коду предмета"));
        x.key("Sci:ScienceKey", {"Science"}, Unique, u("По алфавиту"));
        x.key("Sci:CycleCodeKey", {"CycleCode", "Science"}, Dup, u("По коду цикла"));
        x.key("Sci:ObjectIdKey", {"ObjectType", "ScienceCode"}, Unique, u("Sci:ObjectIdKey"));
        x.key("Sci:SgTypCodeKey", {"SgrpTypCode"}, Dup, u("Sci:SgTypCodeKey"));
        x.key("Sci:MainRoomTypeCodeKey", {"MainRoomTypeCode"}, Dup,
              u("по основному типу кабинета"));
        x.key("Sci:AddRoomTypeCode", {"AdditionalRoomTypeCode"}, Dup,
              u("по дополнительному типу кабинета"));
        return x;
    }();
    return b;
}

template <> const Builder<RoomType>& builder<RoomType>() {
    static const Builder<RoomType> b = [] {
        Builder<RoomType> x(FileId::RoomType, "ROOMTYPE", "Rtyp", "RoomType");
        x.f(&RoomType::SysCode, "SysCode").s(&RoomType::RoomType, "RoomType", 25);
        x.key("Rtyp:CodeKey", {"SysCode"}, Unique | Primary | Auto, u("По коду"));
        x.key("Rtyp:RoomTypeKey", {"RoomType"}, Unique, u("По типам"));
        return x;
    }();
    return b;
}

template <> const Builder<Room>& builder<Room>() {
    static const Builder<Room> b = [] {
        Builder<Room> x(FileId::Room, "ROOM", "Roo", "Room");
        x.f(&Room::ObjectType, "ObjectType")
            .f(&Room::RoomCode, "RoomCode")
            .f(&Room::RoomTypePtr, "RoomTypePtr")
            .s(&Room::RoomNo, "RoomNo", 7);
        x.key("Roo:CodeKey", {"RoomCode"}, Unique | Primary | Auto, u("По коду"));
        x.key("Roo:RoomNoKey", {"RoomNo"}, Unique, u("По номерам"));
        x.key("Roo:RoomTypeKey", {"RoomTypePtr", "RoomNo"}, Unique, u("По коду типа"));
        x.key("Roo:ObjectIdKey", {"ObjectType", "RoomCode"}, Unique, u("Roo:ObjectIdKey"));
        return x;
    }();
    return b;
}

template <> const Builder<Speciality>& builder<Speciality>() {
    static const Builder<Speciality> b = [] {
        Builder<Speciality> x(FileId::Speciality, "SPECIALITY", "Spc", "Speciality");
        x.f(&Speciality::SpecialityCode, "SpecialityCode")
            .s(&Speciality::Speciality, "Speciality", 20);
        x.key("Spc:SpecCodeKey", {"SpecialityCode"}, Unique | Primary | Auto, u("по коду"));
        x.key("Spc:SpecialityKey", {"Speciality"}, Unique, u("По алфавиту"));
        return x;
    }();
    return b;
}

template <> const Builder<Teacher>& builder<Teacher>() {
    static const Builder<Teacher> b = [] {
        Builder<Teacher> x(FileId::Teacher, "TEACHER", "Tch", "Teacher");
        x.f(&Teacher::ObjectType, "ObjectType")
            .f(&Teacher::TeacherCode, "TeacherCode")
            .f(&Teacher::TableNo, "TableNo")
            .s(&Teacher::TeacherName, "TeacherName", 20)
            .f(&Teacher::SpecialityCode, "SpecialityCode")
            .f(&Teacher::MainRoomCode, "MainRoomCode")
            .f(&Teacher::AdditionalRoomCode, "AdditionalRoomCode");
        x.key("Tch:TeacherCodeKey", {"TeacherCode"}, Unique | Primary | Auto, u("по коду"));
        x.key("Tch:SpecCodeKey", {"SpecialityCode", "TeacherName"}, Dup,
              u("по коду специальности"));
        x.key("Tch:TeacherNameKey", {"TeacherName"}, Unique, u("по фамилии"));
        x.key("Tch:TableNoKey", {"TableNo"}, Unique | Auto, u("по табельному номеру"));
        x.key("Tch:ObjectIdKey", {"ObjectType", "TeacherCode"}, Dup,
              u("По идентификатору объекта"));
        x.key("Tch:MainRoomKey", {"MainRoomCode"}, Dup, u("по коду основного кабинета"));
        x.key("Tch:AdditionalRoomKey", {"AdditionalRoomCode"}, Dup,
              u("по коду дополнительного кабинета"));
        return x;
    }();
    return b;
}

template <> const Builder<RoomList>& builder<RoomList>() {
    static const Builder<RoomList> b = [] {
        Builder<RoomList> x(FileId::RoomList, "ROOMLIST", "Rls", "RoomList");
        x.f(&RoomList::TeacherCode, "TeacherCode")
            .f(&RoomList::ScienceCode, "ScienceCode")
            .f(&RoomList::RoomCode, "RoomCode")
            .f(&RoomList::Priority, "Priority");
        x.key("Rls:TeacherScienceRoomCode", {"TeacherCode", "ScienceCode", "RoomCode"},
              Unique | Primary, u("по учителям, предметам и кабинетам"));
        x.key("Rls:RoomCodeKey", {"RoomCode"}, Dup, u("по коду кабинета"));
        x.key("Rls:TeacherScienceKey", {"TeacherCode", "ScienceCode", "Priority"}, Dup,
              u("по учителям и предметам"));
        return x;
    }();
    return b;
}

template <> const Builder<Schedule>& builder<Schedule>() {
    static const Builder<Schedule> b = [] {
        Builder<Schedule> x(FileId::Schedule, "SCHEDULE", "Sch", "Schedule");
        x.f(&Schedule::Week, "Week")
            .f(&Schedule::DaySeqNumber, "DaySeqNumber")
            .s(&Schedule::LessonNo, "LessonNo", 3)
            .f(&Schedule::ScienceCode, "ScienceCode")
            .f(&Schedule::TeacherCode, "TeacherCode")
            .f(&Schedule::GroupCode, "GroupCode")
            .f(&Schedule::SubGroupNum, "SubGroupNum")
            .f(&Schedule::RoomCode, "RoomCode")
            .f(&Schedule::TrainingCourseItemCode, "TrainingCourseItemCode")
            .f(&Schedule::CoupledLesson, "CoupledLesson")
            .f(&Schedule::LinkCode, "LinkCode")
            .f(&Schedule::Pinned, "Pinned")
            .later();
        x.key("Sch:DayLessonKey", {"DaySeqNumber", "LessonNo"}, Dup, u("по дням"));
        x.key("Sch:LessonDayKey", {"LessonNo", "DaySeqNumber"}, Dup, u("по номерам уроков"));
        x.key("Sch:TeacherKey", {"TeacherCode", "Week", "DaySeqNumber", "LessonNo"}, Dup,
              u("по учителям"));
        x.key("Sch:GroupKey", {"GroupCode", "SubGroupNum", "Week", "DaySeqNumber", "LessonNo"},
              Dup, u("по группам"));
        x.key("Sch:GroupDayLessGrKey",
              {"GroupCode", "Week", "DaySeqNumber", "LessonNo", "SubGroupNum"}, Dup,
              u("по группам, дням, урокам и подгруппам"));
        x.key("Sch:RoomKey", {"RoomCode", "Week", "DaySeqNumber", "LessonNo"}, Dup,
              u("по кабинетам"));
        x.key("Sch:ScienceKey", {"ScienceCode", "Week", "DaySeqNumber", "LessonNo"}, Dup,
              u("по предметам"));
        x.key("Sch:ItemCode",
              {"TrainingCourseItemCode", "GroupCode", "SubGroupNum", "Week", "DaySeqNumber",
               "LessonNo"},
              Dup, u("по пунктам учебного плана"));
        x.key("Sch:LinkCodeKey", {"LinkCode"}, Dup, u("По коду связи"));
        x.key("Sch:GroupDayLessKey", {"GroupCode", "Week", "DaySeqNumber", "LessonNo"}, Dup,
              u("Sch:GroupDayLessKey"));
        x.key("Sch:GroupScienceSubGrKey", {"GroupCode", "ScienceCode", "SubGroupNum"}, Dup,
              u("по группам,предметам и подгруппам"));
        x.key("Sch:WeekDayLessonKey", {"Week", "DaySeqNumber", "LessonNo"}, Dup,
              u("по неделям, дням и часам"));
        return x;
    }();
    return b;
}

template <> const Builder<TrainingCourse>& builder<TrainingCourse>() {
    static const Builder<TrainingCourse> b = [] {
        Builder<TrainingCourse> x(FileId::TrainingCourse, "TRAININGCOURSE", "Trc",
                                  "TrainingCourse");
        x.f(&TrainingCourse::TrainingCourseItemCode, "TrainingCourseItemCode")
            .f(&TrainingCourse::ScienceCode, "ScienceCode")
            .s(&TrainingCourse::Course, "Course", 2)
            .f(&TrainingCourse::StreamCode, "StreamCode")
            .f(&TrainingCourse::SingleHours, "SingleHours")
            .f(&TrainingCourse::CoupledHours, "CoupledHours");
        x.key("Trc:ItemCodeKey", {"TrainingCourseItemCode"}, Unique | Primary | Auto,
              u("TrC:ItemCodeKey"));
        x.key("Trc:ScienceKey", {"ScienceCode", "StreamCode", "Course"}, Unique,
              u("По предметам"));
        x.key("Trc:StreamKey", {"StreamCode", "Course"}, Dup, u("По потокам и курсам"));
        x.key("Trc:CourseKey", {"Course", "ScienceCode", "StreamCode"}, Unique,
              u("По курсам и предметам"));
        return x;
    }();
    return b;
}

template <> const Builder<Restriction>& builder<Restriction>() {
    static const Builder<Restriction> b = [] {
        Builder<Restriction> x(FileId::Restriction, "RESTRICTION", "Rst", "Restriction");
        x.f(&Restriction::ObjectType, "ObjectType")
            .f(&Restriction::ObjectCode, "ObjectCode")
            .f(&Restriction::Week, "Week")
            .f(&Restriction::DaySeqNumber, "DaySeqNumber")
            .s(&Restriction::LessonNo, "LessonNo", 3)
            .f(&Restriction::Restriction, "Restriction");
        x.key("Rst:ObjectIdKey", {"ObjectType", "ObjectCode", "Week", "DaySeqNumber", "LessonNo"},
              Unique | Primary, u("По объектам дням и урокам"));
        x.key("Rst:LessonsAndDaysKey",
              {"LessonNo", "Week", "DaySeqNumber", "ObjectType", "ObjectCode"}, Unique,
              u("По номерам уроков и дням"));
        x.key("Rst:DaysAndLessonsKey",
              {"DaySeqNumber", "Week", "LessonNo", "ObjectType", "ObjectCode"}, Unique,
              u("по дням и урокам"));
        return x;
    }();
    return b;
}

template <> const Builder<LsnLink>& builder<LsnLink>() {
    static const Builder<LsnLink> b = [] {
        Builder<LsnLink> x(FileId::LsnLink, "LSNLINK", "Lln", "LsnLink");
        x.f(&LsnLink::LinkCode, "LinkCode")
            .s(&LsnLink::LinkName, "LinkName", 225)
            .f(&LsnLink::IsLecture, "IsLecture");
        x.key("Lln:CodeKey", {"LinkCode"}, Unique | Primary | Auto, u("LLn:CodeKey"));
        x.key("Lln:NameKey", {"LinkName"}, Unique, u("по названию"));
        return x;
    }();
    return b;
}

template <> const Builder<LsnLinkComp>& builder<LsnLinkComp>() {
    static const Builder<LsnLinkComp> b = [] {
        Builder<LsnLinkComp> x(FileId::LsnLinkComp, "LSNLINKCOMP", "Llc", "LsnLinkComp");
        x.f(&LsnLinkComp::LinkCode, "LinkCode")
            .f(&LsnLinkComp::TrainingCourseItemCode, "TrainingCourseItemCode")
            .f(&LsnLinkComp::GroupCode, "GroupCode")
            .f(&LsnLinkComp::SubGroupNum, "SubGroupNum");
        x.key("Llc:LinkCodeKey", {"LinkCode", "GroupCode", "SubGroupNum", "TrainingCourseItemCode"},
              Unique | Primary, u("по коду группы"));
        x.key("Llc:LessonKey", {"TrainingCourseItemCode", "GroupCode", "SubGroupNum"}, Unique,
              u("по урокам"));
        // Lets a deleted group take its members with it.
        x.key("Llc:GroupKey", {"GroupCode", "SubGroupNum"}, Dup, u("по группе"));
        return x;
    }();
    return b;
}

template <> const Builder<Archive>& builder<Archive>() {
    static const Builder<Archive> b = [] {
        Builder<Archive> x(FileId::Archive, "ARCHIVE", "Arc", "Archive");
        x.s(&Archive::BriefDescription, "BriefDescription", 25)
            .s(&Archive::Description, "Description", 255)
            .f(&Archive::WeeksInCycle, "WeeksInCycle")
            .f(&Archive::CommonTypeRoomCode, "CommonTypeRoomCode")
            .f(&Archive::SaveDate, "SaveDate")
            .f(&Archive::SaveTime, "SaveTime", FieldType::Time);
        x.b(&Archive::CourseFile, "CourseFile")
            .b(&Archive::DaysFile, "DaysFile")
            .b(&Archive::GroupFile, "GroupFile")
            .b(&Archive::LessonBellFile, "LessonBellFile")
            .b(&Archive::LsnLinkFile, "LsnLinkFile")
            .b(&Archive::LsnLinkCompFile, "LsnLinkCompFile")
            .b(&Archive::RestrictionFile, "RestrictionFile")
            .b(&Archive::RoomFile, "RoomFile")
            .b(&Archive::RoomListFile, "RoomListFile")
            .b(&Archive::RoomTypeFile, "RoomTypeFile")
            .b(&Archive::ScheduleFile, "ScheduleFile")
            .b(&Archive::ScienceFile, "ScienceFile")
            .b(&Archive::ScienceCycleFile, "ScienceCycleFile")
            .b(&Archive::SpecialityFile, "SpecialityFile")
            .b(&Archive::StreamFile, "StreamFile")
            .b(&Archive::SubGroupTypeFile, "SubGroupTypeFile")
            .b(&Archive::TeacherFile, "TeacherFile")
            .b(&Archive::TrainingCourseFile, "TrainingCourseFile");
        x.key("Arc:DateTimeKey", {"-SaveDate", "-SaveTime"}, Unique, u("По хронологии"));
        x.key("Arc:DescriptionKey", {"BriefDescription"}, Unique | Primary, u("По описаниям"));
        return x;
    }();
    return b;
}

template <> const Builder<Substitution>& builder<Substitution>() {
    static const Builder<Substitution> b = [] {
        Builder<Substitution> x(FileId::Substitution, "SUBSTITUTION", "Sub", "Substitution");
        x.f(&Substitution::Date, "Date")
            .f(&Substitution::Week, "Week")
            .f(&Substitution::DaySeqNumber, "DaySeqNumber")
            .s(&Substitution::LessonNo, "LessonNo", 3)
            .f(&Substitution::AbsentTeacherCode, "AbsentTeacherCode")
            .f(&Substitution::GroupCode, "GroupCode")
            .f(&Substitution::SubGroupNum, "SubGroupNum")
            .f(&Substitution::ScienceCode, "ScienceCode")
            .f(&Substitution::SubstituteCode, "SubstituteCode")
            .f(&Substitution::RoomCode, "RoomCode")
            .s(&Substitution::Note, "Note", 60);
        x.key("Sub:DateKey",
              {"Date", "LessonNo", "AbsentTeacherCode", "GroupCode", "SubGroupNum", "ScienceCode"},
              Unique | Primary, u("по датам и урокам"));
        x.key("Sub:AbsentKey", {"AbsentTeacherCode", "Date"}, Dup, u("по отсутствующим учителям"));
        x.key("Sub:SubstituteKey", {"SubstituteCode", "Date"}, Dup, u("по заменяющим учителям"));
        // Let a deleted group or subject take its substitutions with it; only the relations
        // read by them, so the record's Key enum stops before them.
        x.key("Sub:GroupKey", {"GroupCode"}, Dup, u("по группам"));
        x.key("Sub:ScienceKey", {"ScienceCode"}, Dup, u("по предметам"));
        return x;
    }();
    return b;
}

template <class R> void copyToRow(const R& rec, Row& row) {
    const auto& b = builder<R>();
    row.values.resize(b.members.size());
    for (size_t i = 0; i < b.members.size(); ++i) {
        std::visit(
            [&](auto m) {
                using T = std::remove_cvref_t<decltype(rec.*m)>;
                if constexpr (std::is_same_v<T, QString>)
                    row.values[i] = fitText(rec.*m, b.def.fields[i].width);
                else if constexpr (std::is_same_v<T, QByteArray>)
                    row.values[i] = rec.*m;
                else
                    row.values[i] = static_cast<qint64>(rec.*m);
            },
            b.members[i]);
    }
    row.rowId = rec.rowId;
}

template <class R> void copyFromRow(const Row& row, R& rec) {
    const auto& b = builder<R>();
    for (size_t i = 0; i < b.members.size() && i < row.values.size(); ++i) {
        std::visit(
            [&](auto m) {
                using T = std::remove_cvref_t<decltype(rec.*m)>;
                if constexpr (std::is_same_v<T, QString>)
                    rec.*m = row.text(static_cast<int>(i));
                else if constexpr (std::is_same_v<T, QByteArray>)
                    rec.*m = row.bytes(static_cast<int>(i));
                else
                    rec.*m = static_cast<T>(row.integer(static_cast<int>(i)));
            },
            b.members[i]);
    }
    rec.rowId = row.rowId;
}

FileDef aliasOf(const FileDef& base, FileId id, const char* name, const char* prefix,
                const std::function<QString(const KeyDef&)>& describe) {
    FileDef a = base;
    a.id = id;
    a.name = QString::fromLatin1(name);
    a.prefix = QString::fromLatin1(prefix);
    for (KeyDef& k : a.keys) {
        const QString tail = k.label.mid(k.label.indexOf(QLatin1Char(':')));
        k.description = describe(k);
        k.label = a.prefix + tail;
        // an alias shares the base file's indexes
    }
    return a;
}

std::array<FileDef, FileCount> buildDefs() {
    std::array<FileDef, FileCount> d;
    d[index(FileId::Days)] = builder<Days>().def;
    d[index(FileId::LessonBell)] = builder<LessonBell>().def;
    d[index(FileId::Stream)] = builder<Stream>().def;
    d[index(FileId::Course)] = builder<Course>().def;
    d[index(FileId::Group)] = builder<Group>().def;
    d[index(FileId::SubGroupType)] = builder<SubGroupType>().def;
    d[index(FileId::ScienceCycle)] = builder<ScienceCycle>().def;
    d[index(FileId::Science)] = builder<Science>().def;
    d[index(FileId::RoomType)] = builder<RoomType>().def;
    d[index(FileId::Room)] = builder<Room>().def;
    d[index(FileId::Speciality)] = builder<Speciality>().def;
    d[index(FileId::Teacher)] = builder<Teacher>().def;
    d[index(FileId::RoomList)] = builder<RoomList>().def;
    d[index(FileId::Schedule)] = builder<Schedule>().def;
    d[index(FileId::TrainingCourse)] = builder<TrainingCourse>().def;
    d[index(FileId::Restriction)] = builder<Restriction>().def;
    d[index(FileId::LsnLink)] = builder<LsnLink>().def;
    d[index(FileId::LsnLinkComp)] = builder<LsnLinkComp>().def;
    d[index(FileId::Archive)] = builder<Archive>().def;
    d[index(FileId::Substitution)] = builder<Substitution>().def;

    const auto same = [](const KeyDef& k) { return k.description; };
    d[index(FileId::ScienceAlias1)] = aliasOf(
        d[index(FileId::Science)], FileId::ScienceAlias1, "SCIENCEALIAS1", "Sci1",
        [](const KeyDef& k) {
            if (k.label == QLatin1String("Sci:ObjectIdKey")) return u("SCI1:ObjectIdKey");
            if (k.label == QLatin1String("Sci:SgTypCodeKey")) return u("SCI1:SgTypCodeKey");
            return k.description;
        });
    d[index(FileId::RoomTypeAdditional)] = aliasOf(d[index(FileId::RoomType)],
                                                   FileId::RoomTypeAdditional,
                                                   "ROOMTYPEADDITIONAL", "Rta", same);
    d[index(FileId::RoomAdditional)] = aliasOf(
        d[index(FileId::Room)], FileId::RoomAdditional, "ROOMADDITIONAL", "Roa",
        [](const KeyDef& k) {
            if (k.label == QLatin1String("Roo:ObjectIdKey")) return u("RoA:ObjectIdKey");
            return k.description;
        });
    d[index(FileId::ScheduleAlias1)] = aliasOf(
        d[index(FileId::Schedule)], FileId::ScheduleAlias1, "SCHEDULEALIAS1", "SchA1",
        [](const KeyDef& k) {
            if (k.label == QLatin1String("Sch:GroupDayLessKey")) return u("SchA1:GroupDayLessKey");
            return k.description;
        });
    for (FileId alias : {FileId::ScienceAlias1, FileId::RoomTypeAdditional,
                         FileId::RoomAdditional, FileId::ScheduleAlias1})
        d[index(alias)].base = baseOf(alias);
    return d;
}

} // namespace

const FileDef& fileDef(FileId id) {
    static const std::array<FileDef, FileCount> defs = buildDefs();
    return defs[static_cast<size_t>(index(id))];
}

int FileDef::fieldIndex(const QString& n) const {
    const int colon = n.indexOf(QLatin1Char(':'));
    const QString bare = colon >= 0 ? n.mid(colon + 1) : n;
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(bare, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    return -1;
}

int FileDef::keyIndex(const QString& label) const {
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i].label.compare(label, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    return -1;
}

qint64 Row::integer(int i) const {
    const Value& v = values[static_cast<size_t>(i)];
    if (const auto* n = std::get_if<qint64>(&v)) return *n;
    if (const auto* s = std::get_if<QString>(&v)) return s->trimmed().toLongLong();
    return 0;
}

QString Row::text(int i) const {
    const Value& v = values[static_cast<size_t>(i)];
    if (const auto* s = std::get_if<QString>(&v)) return *s;
    if (const auto* n = std::get_if<qint64>(&v)) return QString::number(*n);
    return {};
}

QByteArray Row::bytes(int i) const {
    const Value& v = values[static_cast<size_t>(i)];
    if (const auto* b = std::get_if<QByteArray>(&v)) return *b;
    return {};
}

Row emptyRow(const FileDef& def) {
    Row r;
    r.values.reserve(def.fields.size());
    for (const FieldDef& f : def.fields) {
        if (f.type == FieldType::String)
            r.values.emplace_back(QString());
        else if (f.type == FieldType::Blob)
            r.values.emplace_back(QByteArray());
        else
            r.values.emplace_back(qint64(0));
    }
    return r;
}

QString foldKey(const QString& text) {
    // Russian letters are mapped into a private range in alphabetical order with Ё right
    // after Е, so a plain binary comparison of the stored text sorts the Russian way.
    static const QString alphabet = QString::fromUtf8("абвгдеёжзийклмнопрстуфхцчшщъыьэюя");
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const QChar l = c.toLower();
        const qsizetype pos = alphabet.indexOf(l);
        if (pos >= 0)
            out.append(QChar(char16_t(0xE000 + pos)));
        else
            out.append(l);
    }
    return out;
}

QString fitText(const QString& text, int width) {
    QString t = width > 0 && text.size() > width ? text.left(width) : text;
    qsizetype end = t.size();
    while (end > 0 && t.at(end - 1).isSpace()) --end;
    t.truncate(end);
    return t;
}

#define TAMSEL_ROW_CONVERSION(R)                                                              \
    void toRow(const R& rec, Row& row) { copyToRow(rec, row); }                               \
    void fromRow(const Row& row, R& rec) { copyFromRow(row, rec); }
TAMSEL_ROW_CONVERSION(Days)
TAMSEL_ROW_CONVERSION(LessonBell)
TAMSEL_ROW_CONVERSION(Stream)
TAMSEL_ROW_CONVERSION(Course)
TAMSEL_ROW_CONVERSION(Group)
TAMSEL_ROW_CONVERSION(SubGroupType)
TAMSEL_ROW_CONVERSION(ScienceCycle)
TAMSEL_ROW_CONVERSION(Science)
TAMSEL_ROW_CONVERSION(RoomType)
TAMSEL_ROW_CONVERSION(Room)
TAMSEL_ROW_CONVERSION(Speciality)
TAMSEL_ROW_CONVERSION(Teacher)
TAMSEL_ROW_CONVERSION(RoomList)
TAMSEL_ROW_CONVERSION(Schedule)
TAMSEL_ROW_CONVERSION(TrainingCourse)
TAMSEL_ROW_CONVERSION(Restriction)
TAMSEL_ROW_CONVERSION(LsnLink)
TAMSEL_ROW_CONVERSION(LsnLinkComp)
TAMSEL_ROW_CONVERSION(Archive)
TAMSEL_ROW_CONVERSION(Substitution)
#undef TAMSEL_ROW_CONVERSION

} // namespace tamsel
