#pragma once

// A school with a plan, built through the relation managers as the windows build it, for the
// tests of the plan, the load and the links.

#include "../../testsupport/TestApplication.h"
#include "ombrel/ScheduleUpdate.h"
#include "tamsel/Relations.h"
#include "tamsel/TestFolder.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace plantest {

using namespace tamsel;
using ombrel::ScheduleUpdate;
using ombrel::UpdateScheduleEntries;

inline QString u(const char* s) {
    return QString::fromUtf8(s);
}

using testsupport::app;

/// Stream 1, course 5 with groups 5-А and 5-Б; "Математика" (whole groups) and "Английский"
/// (two subgroups).
struct Plan {
    TestFolder t;
    Relations rel{t.dict()};
    std::vector<std::unique_ptr<FileUse>> files;

    Plan(bool groups = true) {
        for (int i = 0; i < PhysicalFileCount; ++i)
            files.push_back(std::make_unique<FileUse>(t.store(), static_cast<FileId>(i)));
        Stream s;
        s.StreamCode = 1;
        s.Stream = u("Общий");
        rel.insert(s);
        Course c;
        c.Course = u("5");
        rel.insert(c);
        SubGroupType two;
        two.SgrpTypCode = 1;
        two.SgrpTyp = u("Языки");
        two.NumbOfSubGroups = 2;
        rel.insert(two);
        science(1, u("Математика"), 0);
        science(2, u("Английский"), 1);
        for (int i = 1; i <= 3; ++i) {
            Teacher tch;
            tch.TeacherCode = static_cast<Short>(i);
            tch.TableNo = static_cast<Short>(i);
            tch.TeacherName = QStringList{u("Иванова"), u("Петров"), u("Сидорова")}[i - 1];
            rel.insert(tch);
        }
        if (groups)
            for (const char* letter : {"А", "Б"}) {
                Group g = t.dict().access<Group>().prime();
                g.Course = u("5");
                g.Defis = u("-");
                g.Literal = u(letter);
                g.StreamCode = 1;
                const Outcome o = rel.insert(g);
                EXPECT_TRUE(o.ok()) << o.msgNo << " " << int(o.status) << " " << o.fileError;
            }
    }
    void science(Short code, const QString& name, Short type) {
        Science s;
        s.ScienceCode = code;
        s.Science = name;
        s.SgrpTypCode = type;
        rel.insert(s);
    }
    TrainingCourse item(Short science, Short single, Short coupled) {
        TrainingCourse tc = t.dict().access<TrainingCourse>().prime();
        tc.ScienceCode = science;
        tc.Course = u("5");
        tc.StreamCode = 1;
        tc.SingleHours = single;
        tc.CoupledHours = coupled;
        EXPECT_TRUE(rel.insert(tc).ok());
        return tc;
    }
    std::vector<Schedule> entries(const TrainingCourse& tc, Short group = 0, Short sub = -1) {
        std::vector<Schedule> out;
        for (const Schedule& s : t.dict().access<Schedule>().all(Schedule::ItemCode))
            if (s.TrainingCourseItemCode == tc.TrainingCourseItemCode &&
                (group == 0 || s.GroupCode == group) && (sub < 0 || s.SubGroupNum == sub))
                out.push_back(s);
        return out;
    }
    /// Stores the new hours when UpdateSchedule accepts them, as the window does.
    ScheduleUpdate change(TrainingCourse& tc, Short single, Short coupled) {
        ScheduleUpdate r = UpdateScheduleEntries(t.dict(), tc, tc.ScienceCode, single, coupled);
        if (r.result == 0) {
            tc.SingleHours = single;
            tc.CoupledHours = coupled;
            EXPECT_TRUE(rel.update(tc).ok());
        }
        return r;
    }
    /// Every plan item has, for every group and subgroup, exactly its hours in entries.
    void expectEntriesFollowPlan() {
        std::map<std::tuple<int, int, int>, std::pair<int, int>> have;
        for (const Schedule& s : t.dict().access<Schedule>().all(Schedule::ItemCode)) {
            auto& c = have[{s.TrainingCourseItemCode, s.GroupCode, s.SubGroupNum}];
            (s.CoupledLesson == 0 ? c.first : c.second)++;
        }
        for (const TrainingCourse& tc :
             t.dict().access<TrainingCourse>().all(TrainingCourse::ItemCodeKey))
            for (const Group& g : t.dict().access<Group>().all(Group::GroupCodeKey)) {
                Science sk;
                sk.ScienceCode = tc.ScienceCode;
                const bool split =
                    t.dict().access<Science>().fetch(Science::ScienceCodeKey, sk).SgrpTypCode != 0;
                for (int sub = split ? 1 : 0; sub <= (split ? 2 : 0); ++sub) {
                    const auto c = have[{tc.TrainingCourseItemCode, g.GroupCode, sub}];
                    EXPECT_EQ(c.first, tc.SingleHours) << g.GroupId().toStdString() << sub;
                    EXPECT_EQ(c.second, tc.CoupledHours) << g.GroupId().toStdString() << sub;
                }
            }
    }
    QByteArray folderDigest() {
        QCryptographicHash h(QCryptographicHash::Sha1);
        for (const QString& f : QDir(t.path()).entryList({u("*.db")}, QDir::Files, QDir::Name)) {
            QFile file(t.file(f));
            file.open(QIODevice::ReadOnly);
            h.addData(f.toUtf8());
            h.addData(file.readAll());
        }
        return h.result();
    }
    void take(const Schedule& s, Short teacher = 1) {
        Schedule x = s;
        x.TeacherCode = teacher;
        EXPECT_TRUE(t.dict().access<Schedule>().update(x).ok());
    }
};

} // namespace plantest
