#include "pivrel/engine/RoomLists.h"

#include "tamsel/Dictionary.h"
#include "tamsel/Transaction.h"

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

using namespace tamsel;

namespace pivrel {

namespace {

QString captionBuildAll() {
    return QString::fromUtf8("Формирование списков кабинетов");
}

/// Keeps the wait cursor on for a scope.
class BusyCursor {
public:
    explicit BusyCursor(UserInterfacePort& ui) : ui_(ui) { ui_.setBusy(true); }
    ~BusyCursor() { ui_.setBusy(false); }

private:
    UserInterfacePort& ui_;
};

/// One run over the room lists: TEACHER, SCIENCE, ROOM and SCHEDULE are read on their own
/// connections, ROOMLIST is written inside one transaction (the batch) that the caller
/// commits at the end.
class RoomListRun {
public:
    explicit RoomListRun(Dictionary& dict)
        : dict_(dict), teacherUse_(dict.store(), FileId::Teacher),
          scienceUse_(dict.store(), FileId::Science), roomUse_(dict.store(), FileId::Room),
          scheduleUse_(dict.store(), FileId::Schedule) {
        for (FileUse* use : {&teacherUse_, &scienceUse_, &roomUse_, &scheduleUse_})
            if (!use->ok()) {
                error_ = use->file().lastError(); // the store has shown it already
                return;
            }
        tx_ = std::make_unique<Transaction>(dict.store(), std::vector<FileId>{FileId::RoomList});
        if (!tx_->active()) {
            error_ = tx_->error();
            dict_.errors().report(error_.msgNo, error_.args);
        }
    }

    bool ok() const { return error_.ok(); }
    const Outcome& error() const { return error_; }

    Outcome remove(Short teacher, Short science) {
        auto rls = tx_->access<RoomList>();
        RoomList from;
        from.TeacherCode = teacher;
        from.ScienceCode = science;
        for (const RoomList& r : rls.read(RoomList::TeacherScienceKey, from, 2)) {
            Outcome o = rls.remove(r);
            if (!o.ok()) return fail(o);
        }
        return Outcome::success();
    }

    Outcome build(Short teacherCode, Short scienceCode, int* added) {
        int count = 0;
        const Teacher teacher = fetchTeacher(teacherCode);
        const Science science = fetchScience(scienceCode);
        const Short T = science.MainRoomTypeCode;
        const Short M = teacher.MainRoomCode;
        const Short A = teacher.AdditionalRoomCode;

        // A room of the teacher's own is taken when the subject asks for no room type or the
        // room is of one of the subject's types. A code naming no room is never listed.
        auto suits = [&](Short roomCode) {
            bool found = false;
            const Room room = fetchRoom(roomCode, &found);
            if (!found) return false;
            return T == 0 || room.RoomTypePtr == science.MainRoomTypeCode ||
                   (science.AdditionalRoomTypeCode != 0 &&
                    room.RoomTypePtr == science.AdditionalRoomTypeCode);
        };
        auto add = [&](Long roomCode, Short priority) -> Outcome {
            RoomList r;
            r.TeacherCode = teacherCode;
            r.ScienceCode = scienceCode;
            r.RoomCode = static_cast<Short>(roomCode);
            r.Priority = priority;
            Outcome o = tx_->access<RoomList>().insert(r);
            if (o.ok()) {
                ++count;
                return o;
            }
            // The room is in the list already: skipped without a word.
            if (o.status == Outcome::Status::Duplicate) return Outcome::success();
            return fail(o);
        };
        auto addType = [&](Long type, Short priority) -> Outcome {
            for (const Room& room : roomsOfType(type)) {
                Outcome o = add(room.RoomCode, priority);
                if (!o.ok()) return o;
            }
            return Outcome::success();
        };

        Outcome o;
        if (M != 0) {
            if (suits(M))
                o = add(M, A != 0 ? RoomPriority::MainWithAdditional : RoomPriority::MainOnly);
            if (o.ok() && A != 0 && suits(A)) o = add(A, RoomPriority::AdditionalWithMain);
        } else {
            if (A != 0 && suits(A)) o = add(A, RoomPriority::AdditionalOnly);
            if (o.ok() && science.MainRoomTypeCode != 0)
                o = addType(science.MainRoomTypeCode, RoomPriority::SubjectMainType);
            if (o.ok() && science.AdditionalRoomTypeCode != 0)
                o = addType(science.AdditionalRoomTypeCode, RoomPriority::SubjectAdditionalType);
            if (o.ok() && science.MainRoomTypeCode == 0)
                o = addType(dict_.glo.CommonTypeRoomCode, RoomPriority::CommonType);
        }
        if (added) *added = count;
        return o;
    }

    Outcome update(Short teacherCode) {
        // The subjects in the order of their first occurrence among the teacher's entries.
        std::vector<Short> subjects;
        std::set<Short> seen;
        Schedule from;
        from.TeacherCode = teacherCode;
        dict_.access<Schedule>(false).forEach(Schedule::TeacherKey, from, 1,
                                              [&](const Schedule& s) {
                                                  if (seen.insert(s.ScienceCode).second)
                                                      subjects.push_back(s.ScienceCode);
                                                  return true;
                                              });
        for (Short science : subjects) {
            Outcome o = remove(teacherCode, science);
            if (o.ok()) o = build(teacherCode, science, nullptr);
            if (!o.ok()) return o;
        }
        return Outcome::success();
    }

    Outcome commit() {
        Outcome o = tx_->commit();
        if (!o.ok()) dict_.errors().report(o.msgNo, o.args);
        return o;
    }

private:
    Outcome fail(Outcome o) {
        dict_.errors().report(o.msgNo, o.args);
        tx_->rollback();
        error_ = o;
        return o;
    }
    Teacher fetchTeacher(Short code) {
        Teacher key;
        key.TeacherCode = code;
        return dict_.access<Teacher>(false).fetch(Teacher::TeacherCodeKey, key);
    }
    Science fetchScience(Short code) {
        Science key;
        key.ScienceCode = code;
        return dict_.access<Science>(false).fetch(Science::ScienceCodeKey, key);
    }
    Room fetchRoom(Long code, bool* found) {
        Room key;
        key.RoomCode = code;
        return dict_.access<Room>(false).fetch(Room::CodeKey, key, found);
    }
    std::vector<Room> roomsOfType(Long type) {
        Room from;
        from.RoomTypePtr = type;
        return dict_.access<Room>(false).read(Room::RoomTypeKey, from, 1);
    }

    Dictionary& dict_;
    FileUse teacherUse_, scienceUse_, roomUse_, scheduleUse_;
    std::unique_ptr<Transaction> tx_;
    Outcome error_;
};

} // namespace

bool TeacherRoomsChanged(const Teacher& before, const Teacher& after) {
    return before.MainRoomCode != after.MainRoomCode ||
           before.AdditionalRoomCode != after.AdditionalRoomCode;
}

Outcome DeleteTeacherRoomList(Dictionary& dict, Short teacherCode, Short scienceCode,
                              int /*openMode*/) {
    RoomListRun run(dict);
    if (!run.ok()) return run.error();
    Outcome o = run.remove(teacherCode, scienceCode);
    return o.ok() ? run.commit() : o;
}

Outcome BuildTeacherRoomList(Dictionary& dict, Short teacherCode, Short scienceCode,
                             int /*openMode*/, int* added) {
    BusyCursor busy(dict.ui());
    if (added) *added = 0;
    RoomListRun run(dict);
    if (!run.ok()) return run.error();
    int n = 0;
    Outcome o = run.build(teacherCode, scienceCode, &n);
    if (o.ok()) o = run.commit();
    if (o.ok() && added) *added = n;
    return o;
}

Outcome BuildTeacherRoomLists(Dictionary& dict, const std::vector<std::pair<Short, Short>>& pairs,
                              int* added) {
    BusyCursor busy(dict.ui());
    if (added) *added = 0;
    RoomListRun run(dict);
    if (!run.ok()) return run.error();
    int total = 0;
    for (const auto& [teacher, science] : pairs) {
        int n = 0;
        const Outcome o = run.build(teacher, science, &n);
        if (!o.ok()) return o;
        total += n;
    }
    const Outcome o = run.commit();
    if (o.ok() && added) *added = total;
    return o;
}

Outcome UpdateTeacherRoomLists(Dictionary& dict, Short teacherCode, int /*openMode*/) {
    BusyCursor busy(dict.ui());
    RoomListRun run(dict);
    if (!run.ok()) return run.error();
    Outcome o = run.update(teacherCode);
    return o.ok() ? run.commit() : o;
}

Outcome UpdateSubjectRoomLists(Dictionary& dict, Short scienceCode, int /*openMode*/) {
    BusyCursor busy(dict.ui());
    RoomListRun run(dict);
    if (!run.ok()) return run.error();
    Schedule from;
    from.ScienceCode = scienceCode;
    std::vector<Short> teachers;
    dict.access<Schedule>(false).forEach(Schedule::ScienceKey, from, 1, [&](const Schedule& s) {
        if (s.TeacherCode != 0 &&
            std::find(teachers.begin(), teachers.end(), s.TeacherCode) == teachers.end())
            teachers.push_back(s.TeacherCode);
        return true;
    });
    for (Short t : teachers) {
        Outcome o = run.remove(t, scienceCode);
        if (o.ok()) o = run.build(t, scienceCode, nullptr);
        if (!o.ok()) return o;
    }
    return run.commit();
}

Outcome UpdateAllTeacherRoomLists(Dictionary& dict, int /*openMode*/) {
    ProgressPort& progress = dict.progress();
    progress.start(captionBuildAll());
    Outcome result;
    {
        RoomListRun run(dict);
        if (!run.ok()) {
            progress.finish();
            return run.error();
        }
        const std::vector<Teacher> teachers =
            dict.access<Teacher>(false).all(Teacher::TeacherNameKey);
        bool cancelled = false;
        for (size_t i = 0; i < teachers.size(); ++i) {
            if (progress.cancelled()) {
                cancelled = true;
                break;
            }
            result = run.update(teachers[i].TeacherCode);
            if (!result.ok()) break;
            progress.setPercent(static_cast<int>((i + 1) * 100 / teachers.size()));
        }
        if (result.ok()) {
            result = run.commit();
            if (result.ok() && cancelled)
                result = Outcome::failure(Outcome::Status::Refused, 0, {});
        }
    }
    progress.finish();
    return result;
}

} // namespace pivrel
