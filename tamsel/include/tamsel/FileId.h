#pragma once

#include <array>

namespace tamsel {

/// Every data file of the dictionary. Aliases (a second buffer and key set on a base file)
/// come after the physical files.
enum class FileId : int {
    Days,
    LessonBell,
    Stream,
    Course,
    Group,
    SubGroupType,
    ScienceCycle,
    Science,
    RoomType,
    Room,
    Speciality,
    Teacher,
    RoomList,
    Schedule,
    TrainingCourse,
    Restriction,
    LsnLink,
    LsnLinkComp,
    Archive,
    Substitution,
    // aliases
    ScienceAlias1,
    RoomTypeAdditional,
    RoomAdditional,
    ScheduleAlias1,
};

constexpr int PhysicalFileCount = static_cast<int>(FileId::Substitution) + 1;
constexpr int FileCount = static_cast<int>(FileId::ScheduleAlias1) + 1;

constexpr int index(FileId id) { return static_cast<int>(id); }

/// The physical file behind a file or an alias.
constexpr FileId baseOf(FileId id) {
    switch (id) {
    case FileId::ScienceAlias1: return FileId::Science;
    case FileId::RoomTypeAdditional: return FileId::RoomType;
    case FileId::RoomAdditional: return FileId::Room;
    case FileId::ScheduleAlias1: return FileId::Schedule;
    default: return id;
    }
}

/// The physical data files in the order the archive stores them. The substitutions are not
/// among them: they record what happened on dates, and restoring an older timetable must not
/// take them back.
constexpr std::array<FileId, 18> ArchivedFiles{
    FileId::Course,     FileId::Days,        FileId::Group,        FileId::LessonBell,
    FileId::LsnLink,    FileId::LsnLinkComp, FileId::Restriction,  FileId::Room,
    FileId::RoomList,   FileId::RoomType,    FileId::Schedule,     FileId::Science,
    FileId::ScienceCycle, FileId::Speciality, FileId::Stream,      FileId::SubGroupType,
    FileId::Teacher,    FileId::TrainingCourse};

} // namespace tamsel
