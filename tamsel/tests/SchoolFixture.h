#pragma once

// A small school built through the relation managers, as the program builds one.

#include "tamsel/Relations.h"
#include "tamsel/TestFolder.h"

#include <gtest/gtest.h>

namespace tamsel::test {

inline QString u(const char* s) { return QString::fromUtf8(s); }

struct School {
    TestFolder t;
    Relations rel{t.dict()};

    Short stream(const char* name) {
        FileUse use(t.store(), FileId::Stream);
        Stream s = t.dict().access<Stream>().prime();
        s.Stream = u(name);
        EXPECT_TRUE(rel.insert(s));
        return s.StreamCode;
    }
    void course(const char* c) {
        Course x;
        x.Course = u(c);
        EXPECT_TRUE(rel.insert(x));
    }
    Group group(const char* course, const char* letter, Short streamCode) {
        FileUse use(t.store(), FileId::Group);
        Group g = t.dict().access<Group>().prime();
        g.Course = u(course);
        g.Literal = u(letter);
        g.StreamCode = streamCode;
        EXPECT_TRUE(rel.insert(g));
        return g;
    }
    Short subGroupType(int n) {
        FileUse use(t.store(), FileId::SubGroupType);
        SubGroupType s = t.dict().access<SubGroupType>().prime();
        s.SgrpTyp = u("Пополам") + QString::number(n);
        s.NumbOfSubGroups = static_cast<Byte>(n);
        EXPECT_TRUE(rel.insert(s));
        return s.SgrpTypCode;
    }
    Science science(const char* name, Short subGroupType = 0) {
        FileUse use(t.store(), FileId::Science);
        Science s = t.dict().access<Science>().prime();
        s.Science = u(name);
        s.SgrpTypCode = subGroupType;
        EXPECT_TRUE(rel.insert(s));
        return s;
    }
    TrainingCourse item(const Science& sci, const char* course, Short streamCode, int single,
                        int coupled) {
        FileUse use(t.store(), FileId::TrainingCourse);
        TrainingCourse i = t.dict().access<TrainingCourse>().prime();
        i.ScienceCode = sci.ScienceCode;
        i.Course = u(course);
        i.StreamCode = streamCode;
        i.SingleHours = static_cast<Short>(single);
        i.CoupledHours = static_cast<Short>(coupled);
        EXPECT_TRUE(rel.insert(i));
        return i;
    }
    Teacher teacher(const char* name, Short mainRoom = 0) {
        FileUse use(t.store(), FileId::Teacher);
        Teacher x = t.dict().access<Teacher>().prime();
        x.TeacherName = u(name);
        x.MainRoomCode = mainRoom;
        EXPECT_TRUE(rel.insert(x));
        return x;
    }
    Room room(const char* no) {
        FileUse use(t.store(), FileId::Room);
        Room r = t.dict().access<Room>().prime();
        r.RoomNo = u(no);
        EXPECT_TRUE(rel.insert(r));
        return r;
    }
    Days day(const char* name) {
        FileUse use(t.store(), FileId::Days);
        Days d = t.dict().access<Days>().prime();
        d.DayName = u(name);
        EXPECT_TRUE(rel.insert(d));
        return d;
    }
    LessonBell bell(const char* no) {
        LessonBell b;
        b.LessonNo = u(no);
        b.Begining = b.Ending = timeOf(8, 0);
        EXPECT_TRUE(rel.insert(b));
        return b;
    }
    void restrict(Short type, Short code, Short week, Short day, const char* lesson, Short level) {
        Restriction r;
        r.ObjectType = type;
        r.ObjectCode = code;
        r.Week = week;
        r.DaySeqNumber = day;
        r.LessonNo = u(lesson);
        r.Restriction = level;
        EXPECT_TRUE(rel.insert(r));
    }

    std::vector<Schedule> lessons() {
        FileUse use(t.store(), FileId::Schedule);
        return t.dict().access<Schedule>().all(Schedule::ItemCode);
    }
    std::vector<Restriction> restrictions() {
        FileUse use(t.store(), FileId::Restriction);
        return t.dict().access<Restriction>().all(Restriction::ObjectIdKey);
    }
    template <class Rec> std::vector<Rec> all(typename Rec::Key key = {}) {
        FileUse use(t.store(), Rec::File);
        return t.dict().access<Rec>().all(key);
    }
    /// Updates every lesson matching `pred` with `change`, directly in the file.
    template <class P, class C> void setLessons(P pred, C change) {
        FileUse use(t.store(), FileId::Schedule);
        auto sch = t.dict().access<Schedule>();
        for (Schedule s : sch.all(Schedule::ItemCode))
            if (pred(s)) {
                change(s);
                EXPECT_TRUE(sch.update(s));
            }
    }
};

} // namespace tamsel::test
