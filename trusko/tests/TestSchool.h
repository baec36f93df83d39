#pragma once

// A small school built record by record for the report tests.

#include "tamsel/TestFolder.h"

#include <memory>
#include <vector>

namespace trusko::test {

using namespace tamsel;

class TestSchool {
public:
    TestSchool() {
        for (FileId id : {FileId::Days, FileId::LessonBell, FileId::Group, FileId::Science,
                          FileId::Teacher, FileId::Speciality, FileId::Room, FileId::Schedule,
                          FileId::TrainingCourse, FileId::SubGroupType})
            uses_.push_back(std::make_unique<FileUse>(folder.store(), id));
    }

    Dictionary& dict() { return folder.dict(); }
    Globals& glo() { return folder.glo(); }

    void day(Short seq, const QString& name) {
        folder.put(Days{.DaySeqNumber = seq, .DayName = name});
    }
    /// Days 1..n named "День 1"...; the usual week when n <= 6.
    void days(int n) {
        static const char* names[] = {"Понедельник", "Вторник", "Среда",
                                      "Четверг",     "Пятница", "Суббота"};
        for (int i = 1; i <= n; ++i)
            day(static_cast<Short>(i),
                i <= 6 ? QString::fromUtf8(names[i - 1]) : QStringLiteral("День %1").arg(i));
    }
    void bell(const QString& no, Long begin, Long end) {
        folder.put(LessonBell{.LessonNo = no, .Begining = begin, .Ending = end});
    }
    void bells(int n) {
        for (int i = 1; i <= n; ++i)
            bell(QString::number(i), timeOf(8 + i - 1, 30), timeOf(9 + i - 1, 15));
    }
    Short group(const QString& course, const QString& literal, Short stream = 1) {
        auto a = dict().access<Group>();
        Group g = a.prime();
        g.ObjectType = ObjectType::Group;
        g.Course = course;
        g.Defis = QStringLiteral("-");
        g.Literal = literal;
        g.StreamCode = stream;
        a.insert(g);
        return g.GroupCode;
    }
    Short science(const QString& name) {
        auto a = dict().access<Science>();
        Science s = a.prime();
        s.ObjectType = ObjectType::Science;
        s.Science = name;
        a.insert(s);
        return s.ScienceCode;
    }
    Short speciality(const QString& name) {
        auto a = dict().access<Speciality>();
        Speciality s = a.prime();
        s.Speciality = name;
        a.insert(s);
        return s.SpecialityCode;
    }
    Short teacher(const QString& name, Short speciality = 0) {
        auto a = dict().access<Teacher>();
        Teacher t = a.prime();
        t.ObjectType = ObjectType::Teacher;
        t.TeacherName = name;
        t.SpecialityCode = speciality;
        a.insert(t);
        return t.TeacherCode;
    }
    Long room(const QString& no) {
        auto a = dict().access<Room>();
        Room r = a.prime();
        r.ObjectType = ObjectType::Room;
        r.RoomNo = no;
        a.insert(r);
        return r.RoomCode;
    }
    /// A lesson placed in (week, day, lesson number); week 0 leaves it unplaced.
    void lesson(Short week, Short day, const QString& lessonNo, Short science, Short teacher,
                Short group, Short subGroup = 0, Long room = 0) {
        folder.put(Schedule{.Week = week, .DaySeqNumber = day, .LessonNo = lessonNo,
                            .ScienceCode = science, .TeacherCode = teacher, .GroupCode = group,
                            .SubGroupNum = subGroup, .RoomCode = room});
    }
    void plan(Short science, const QString& course, Short stream, Short single, Short coupled) {
        auto a = dict().access<TrainingCourse>();
        TrainingCourse t = a.prime();
        t.ScienceCode = science;
        t.Course = course;
        t.StreamCode = stream;
        t.SingleHours = single;
        t.CoupledHours = coupled;
        a.insert(t);
    }

    TestFolder folder;

private:
    std::vector<std::unique_ptr<FileUse>> uses_;
};

/// "\r\n"-joined lines, as cells hold them.
inline QString lines(std::initializer_list<QString> parts) {
    return QStringList(parts).join(QStringLiteral("\r\n"));
}
/// A text padded to its field width.
inline QString pad(const QString& s, int width) {
    return s.leftJustified(width, QLatin1Char(' '));
}

} // namespace trusko::test
