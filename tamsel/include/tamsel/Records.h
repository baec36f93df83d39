#pragma once

// Record layouts of every data file. Records are plain values: a fetch that finds nothing
// yields the all-zero record; `rowId` identifies a stored record for update and delete
// (0 = not stored). Text fields hold at most their declared width, right-trimmed.

#include "tamsel/FileId.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <cstdint>

namespace tamsel {

using Byte = std::uint8_t;
using Short = std::int16_t;
using Long = std::int32_t;
using RowId = std::int64_t;

/// Object types of the objects that have a timetable and restrictions.
namespace ObjectType {
constexpr Short Group = 1;
constexpr Short Room = 2;
constexpr Short Science = 3;
constexpr Short Teacher = 4;
} // namespace ObjectType

/// Restriction levels.
namespace RestrictionLevel {
constexpr Short None = 0;
constexpr Short Undesirable = 1;
constexpr Short Forbidden = 2;
} // namespace RestrictionLevel

/// Dates as the data files store them: day numbers, day 1 being 28 December 1800.
inline Long dayNumberOf(const QDate& date) {
    return static_cast<Long>(QDate(1800, 12, 28).daysTo(date) + 1);
}
inline QDate dateOfDayNumber(Long day) { return QDate(1800, 12, 28).addDays(day - 1); }

/// Time of day: hundredths of a second since midnight plus one (08:00 = 2880001).
constexpr Long timeOf(int hours, int minutes, int seconds = 0) {
    return ((hours * 60 + minutes) * 60 + seconds) * 100 + 1;
}

struct Days {
    static constexpr FileId File = FileId::Days;
    enum Key { SeqNumberKey };
    Short DaySeqNumber = 0;
    QString DayName; // 15
    RowId rowId = 0;
};

struct LessonBell {
    static constexpr FileId File = FileId::LessonBell;
    enum Key { NumberKey, TimeKey };
    QString LessonNo; // 3
    Long Begining = 0;
    Long Ending = 0;
    RowId rowId = 0;
};

struct Stream {
    static constexpr FileId File = FileId::Stream;
    enum Key { StreamCodeKey, StreamKey };
    Short StreamCode = 0;
    QString Stream; // 25
    RowId rowId = 0;
};

struct Course {
    static constexpr FileId File = FileId::Course;
    enum Key { CourseKey };
    QString Course; // 2
    RowId rowId = 0;
};

struct Group {
    static constexpr FileId File = FileId::Group;
    enum Key { GroupCodeKey, GroupIdKey, StreamKey, StreamCodeKey, ObjectIdKey };
    Short ObjectType = 0;
    Short GroupCode = 0;
    QString Course;  // 2
    QString Defis;   // 1
    QString Literal; // 2
    Short StreamCode = 0;
    RowId rowId = 0;

    /// The displayed name (course, separator, letter), e.g. "10-А".
    QString GroupId() const { return Course + Defis + Literal; }
};

struct SubGroupType {
    static constexpr FileId File = FileId::SubGroupType;
    enum Key { SgrpTypCdKey, SgrpTypKey };
    Short SgrpTypCode = 0;
    QString SgrpTyp; // 20
    Byte NumbOfSubGroups = 0;
    RowId rowId = 0;
};

struct ScienceCycle {
    static constexpr FileId File = FileId::ScienceCycle;
    enum Key { CycleCodeKey, CycleNameKey };
    Short CycleCode = 0;
    QString CycleName; // 20
    Byte LessonsPerDayMax = 0;
    Long Color = 0;
    RowId rowId = 0;
};

struct Science {
    static constexpr FileId File = FileId::Science;
    enum Key {
        ScienceCodeKey,
        ScienceKey,
        CycleCodeKey,
        ObjectIdKey,
        SgTypCodeKey,
        MainRoomTypeCodeKey,
        AddRoomTypeCode
    };
    Short ObjectType = 0;
    Short ScienceCode = 0;
    QString Science; // 20
    Short CycleCode = 0;
    Short SgrpTypCode = 0;
    Short MainRoomTypeCode = 0;
    Short AdditionalRoomTypeCode = 0;
    RowId rowId = 0;
};

struct RoomType {
    static constexpr FileId File = FileId::RoomType;
    enum Key { CodeKey, RoomTypeKey };
    Long SysCode = 0;
    QString RoomType; // 25
    RowId rowId = 0;
};

struct Room {
    static constexpr FileId File = FileId::Room;
    enum Key { CodeKey, RoomNoKey, RoomTypeKey, ObjectIdKey };
    Short ObjectType = 0;
    Long RoomCode = 0;
    Long RoomTypePtr = 0;
    QString RoomNo; // 7
    RowId rowId = 0;
};

struct Speciality {
    static constexpr FileId File = FileId::Speciality;
    enum Key { SpecCodeKey, SpecialityKey };
    Short SpecialityCode = 0;
    QString Speciality; // 20
    RowId rowId = 0;
};

struct Teacher {
    static constexpr FileId File = FileId::Teacher;
    enum Key {
        TeacherCodeKey,
        SpecCodeKey,
        TeacherNameKey,
        TableNoKey,
        ObjectIdKey,
        MainRoomKey,
        AdditionalRoomKey
    };
    Short ObjectType = 0;
    Short TeacherCode = 0;
    Short TableNo = 0;
    QString TeacherName; // 20
    Short SpecialityCode = 0;
    Short MainRoomCode = 0;
    Short AdditionalRoomCode = 0;
    RowId rowId = 0;
};

struct RoomList {
    static constexpr FileId File = FileId::RoomList;
    enum Key { TeacherScienceRoomCode, RoomCodeKey, TeacherScienceKey };
    Short TeacherCode = 0;
    Short ScienceCode = 0;
    Short RoomCode = 0;
    Short Priority = 0;
    RowId rowId = 0;
};

struct Schedule {
    static constexpr FileId File = FileId::Schedule;
    enum Key {
        DayLessonKey,
        LessonDayKey,
        TeacherKey,
        GroupKey,
        GroupDayLessGrKey,
        RoomKey,
        ScienceKey,
        ItemCode,
        LinkCodeKey,
        GroupDayLessKey,
        GroupScienceSubGrKey,
        WeekDayLessonKey
    };
    Short Week = 0;
    Short DaySeqNumber = 0;
    QString LessonNo; // 3
    Short ScienceCode = 0;
    Short TeacherCode = 0;
    Short GroupCode = 0;
    Short SubGroupNum = 0;
    Long RoomCode = 0;
    Short TrainingCourseItemCode = 0;
    Byte CoupledLesson = 0;
    Short LinkCode = 0;
    RowId rowId = 0;
    /// 1: the officer pinned the placed lesson to its cell; the automatic placement never moves
    /// or removes it, and a move or removal by hand asks first. Always 0 for an unplaced lesson.
    Byte Pinned = 0;

    /// Exactly week 0, day 0 and an empty lesson number.
    bool isUnplaced() const { return Week == 0 && DaySeqNumber == 0 && LessonNo.isEmpty(); }
    bool sameCell(const Schedule& o) const {
        return Week == o.Week && DaySeqNumber == o.DaySeqNumber && LessonNo == o.LessonNo;
    }
};

struct TrainingCourse {
    static constexpr FileId File = FileId::TrainingCourse;
    enum Key { ItemCodeKey, ScienceKey, StreamKey, CourseKey };
    Short TrainingCourseItemCode = 0;
    Short ScienceCode = 0;
    QString Course; // 2
    Short StreamCode = 0;
    Short SingleHours = 0;
    Short CoupledHours = 0;
    RowId rowId = 0;
};

struct Restriction {
    static constexpr FileId File = FileId::Restriction;
    enum Key { ObjectIdKey, LessonsAndDaysKey, DaysAndLessonsKey };
    Short ObjectType = 0;
    Short ObjectCode = 0;
    Short Week = 0;
    Short DaySeqNumber = 0;
    QString LessonNo; // 3
    Short Restriction = 0;
    RowId rowId = 0;
};

struct LsnLink {
    static constexpr FileId File = FileId::LsnLink;
    enum Key { CodeKey, NameKey };
    Short LinkCode = 0;
    QString LinkName; // 225
    Byte IsLecture = 0;
    RowId rowId = 0;
};

struct LsnLinkComp {
    static constexpr FileId File = FileId::LsnLinkComp;
    enum Key { LinkCodeKey, LessonKey };
    Short LinkCode = 0;
    Short TrainingCourseItemCode = 0;
    Short GroupCode = 0;
    Short SubGroupNum = 0;
    RowId rowId = 0;
};

struct Archive {
    static constexpr FileId File = FileId::Archive;
    enum Key { DateTimeKey, DescriptionKey };
    QString BriefDescription; // 25
    QString Description;      // 255
    Short WeeksInCycle = 0;
    Long CommonTypeRoomCode = 0;
    Long SaveDate = 0;
    Long SaveTime = 0;
    QByteArray CourseFile, DaysFile, GroupFile, LessonBellFile, LsnLinkFile, LsnLinkCompFile,
        RestrictionFile, RoomFile, RoomListFile, RoomTypeFile, ScheduleFile, ScienceFile,
        ScienceCycleFile, SpecialityFile, StreamFile, SubGroupTypeFile, TeacherFile,
        TrainingCourseFile;
    RowId rowId = 0;
};

/// Who covers a lesson of an absent teacher on a date. A record per placed lesson (a lecture to
/// several groups gives one per group); the lesson is named by its kind and cell, not by its
/// schedule row, so the record stays readable after the lessons were rebuilt or restored.
struct Substitution {
    static constexpr FileId File = FileId::Substitution;
    enum Key { DateKey, AbsentKey, SubstituteKey };
    Long Date = 0; ///< day number (dayNumberOf)
    Short Week = 0;
    Short DaySeqNumber = 0;
    QString LessonNo; // 3
    Short AbsentTeacherCode = 0;
    Short GroupCode = 0;
    Short SubGroupNum = 0;
    Short ScienceCode = 0;
    /// The teacher who gives the lesson instead; 0: the lesson is cancelled.
    Short SubstituteCode = 0;
    Long RoomCode = 0;
    QString Note; // 60
    RowId rowId = 0;
};

} // namespace tamsel
