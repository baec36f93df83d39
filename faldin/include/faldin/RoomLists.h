#pragma once

// Teachers' room lists. The generation rule lives in pivrel, which the automatic placement
// needs it in and which cannot link to faldin; the teachers' windows use it under these names.

#include "pivrel/engine/RoomLists.h"

namespace faldin {

namespace RoomListMode = pivrel::RoomListMode;
namespace RoomPriority = pivrel::RoomPriority;
using pivrel::BuildTeacherRoomList;
using pivrel::BuildTeacherRoomLists;
using pivrel::DeleteTeacherRoomList;
using pivrel::TeacherRoomsChanged;
using pivrel::UpdateAllTeacherRoomLists;
using pivrel::UpdateSubjectRoomLists;
using pivrel::UpdateTeacherRoomLists;

} // namespace faldin
