#pragma once

// Teachers' room lists: the ranked rooms in which a teacher may give a subject, generated
// from the teacher's own rooms and the subject's room types. Core only: no widgets; the wait
// cursor and the progress window go through the dictionary's ports. They live beside the
// engine that reads them, so that the automatic placement can offer to build missing lists;
// the teachers' windows reach them as faldin's.

#include "tamsel/Records.h"
#include "tamsel/Table.h"

#include <utility>
#include <vector>

namespace tamsel {
class Dictionary;
}

namespace pivrel {

/// How callers ask for ROOMLIST: the teachers' window shares it with other users, the import
/// from the older product takes it for itself. Every write runs in one immediate transaction,
/// which already keeps other writers out until it ends, so both modes behave alike here.
namespace RoomListMode {
constexpr int Shared = 66;
constexpr int Exclusive = 34;
} // namespace RoomListMode

/// Priorities written by the generation rule (lower is preferred).
namespace RoomPriority {
constexpr tamsel::Short MainOnly = 10;           ///< main room, no additional room
constexpr tamsel::Short MainWithAdditional = 20; ///< main room beside an additional room
constexpr tamsel::Short AdditionalWithMain = 30; ///< additional room beside a main room
constexpr tamsel::Short AdditionalOnly = 40;     ///< additional room, no main room
constexpr tamsel::Short SubjectMainType = 50;    ///< rooms of the subject's main room type
constexpr tamsel::Short SubjectAdditionalType = 60;
constexpr tamsel::Short CommonType = 70; ///< common rooms, subject without a main room type
} // namespace RoomPriority

/// Deletes every ROOMLIST record of the teacher and subject.
tamsel::Outcome DeleteTeacherRoomList(tamsel::Dictionary& dict, tamsel::Short teacherCode,
                                      tamsel::Short scienceCode,
                                      int openMode = RoomListMode::Shared);

/// Appends the generated records for the teacher and subject; rooms already in the list are
/// skipped silently. `added` receives the number of new records.
tamsel::Outcome BuildTeacherRoomList(tamsel::Dictionary& dict, tamsel::Short teacherCode,
                                     tamsel::Short scienceCode, int openMode = RoomListMode::Shared,
                                     int* added = nullptr);

/// Rebuilds (delete, then build) the list of every subject among the teacher's schedule
/// entries, all in one transaction.
tamsel::Outcome UpdateTeacherRoomLists(tamsel::Dictionary& dict, tamsel::Short teacherCode,
                                       int openMode = RoomListMode::Shared);

/// Rebuilds the list of the subject for every teacher among its schedule entries (each
/// teacher once), all in one transaction: after the subject's room types changed.
tamsel::Outcome UpdateSubjectRoomLists(tamsel::Dictionary& dict, tamsel::Short scienceCode,
                                       int openMode = RoomListMode::Shared);

/// BuildTeacherRoomList for each (teacher, subject) pair, all in one transaction. `added`
/// receives the number of new records.
tamsel::Outcome BuildTeacherRoomLists(tamsel::Dictionary& dict,
                                      const std::vector<std::pair<tamsel::Short, tamsel::Short>>& pairs,
                                      int* added = nullptr);

/// UpdateTeacherRoomLists for every teacher in name order, under the progress window
/// "Формирование списков кабинетов". A cancel keeps the teachers already done (each teacher
/// is rebuilt completely or not at all) and returns status Refused without a message.
tamsel::Outcome UpdateAllTeacherRoomLists(tamsel::Dictionary& dict,
                                          int openMode = RoomListMode::Shared);

/// True when an edited teacher's own rooms differ from before, so that the teacher's room
/// lists are to be rebuilt; a new name or table number alone leaves them alone.
bool TeacherRoomsChanged(const tamsel::Teacher& before, const tamsel::Teacher& after);

} // namespace pivrel
