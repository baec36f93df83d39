#include "TimetableChecker.h"

#include "../../../testsupport/SqlRows.h"

#include <QFile>
#include <sqlite3.h>

namespace enginetest {

using namespace tamsel;

namespace {

/// A connection with every data file attached under its table's name in lower case.
class Files : public testsupport::AttachedFiles {
public:
    explicit Files(Dictionary& dict) {
        for (FileId id : {FileId::Schedule, FileId::Days, FileId::LessonBell, FileId::Science,
                          FileId::Restriction, FileId::LsnLink, FileId::LsnLinkComp})
            attach(dict.store().diskName(id), fileDef(id).name.toLower().toUtf8());
        // Placed lessons, each with its cell as one text and its sitting: the lessons of one
        // lecture are one sitting and may share a teacher, group and room.
        exec("CREATE TEMP VIEW p AS SELECT s.rowid AS id, s.*, s.Week || '/' || s.DaySeqNumber || "
             "'/' || s.LessonNo AS cell, CASE WHEN l.IsLecture = 1 THEN -s.LinkCode ELSE s.rowid "
             "END AS sitting, coalesce(sc.SgrpTypCode, 0) AS sgt FROM schedule.SCHEDULE s "
             "LEFT JOIN lsnlink.LSNLINK l ON l.LinkCode = s.LinkCode AND s.LinkCode > 0 "
             "LEFT JOIN science.SCIENCE sc ON sc.ScienceCode = s.ScienceCode "
             "WHERE s.Week <> 0 OR s.DaySeqNumber <> 0 OR s.LessonNo <> ''");
    }
};

const auto add = testsupport::addProblems;

} // namespace

TimetableBefore recordTimetable(Dictionary& dict) {
    Files f(dict);
    TimetableBefore b;
    for (const QString& r : f.rows("SELECT id, cell || '/' || RoomCode FROM p"))
        b.placed[r.section(QLatin1Char(' '), 0, 0).toLongLong()] = r.section(QLatin1Char(' '), 1);
    for (const QString& r :
         f.rows("SELECT TrainingCourseItemCode, count(*) FROM schedule.SCHEDULE GROUP BY 1"))
        b.perItem[r.section(QLatin1Char(' '), 0, 0).toLongLong()] =
            r.section(QLatin1Char(' '), 1).toInt();
    return b;
}

QStringList checkTimetable(Dictionary& dict, const TimetableBefore* before) {
    Files f(dict);
    QStringList problems;
    add(problems, QStringLiteral("teacher twice in a cell"),
        f.rows("SELECT a.TeacherCode, a.cell, a.id, b.id FROM p a JOIN p b ON a.TeacherCode = "
               "b.TeacherCode AND a.cell = b.cell AND a.id < b.id AND a.sitting <> b.sitting "
               "WHERE a.TeacherCode > 0"));
    add(problems, QStringLiteral("room twice in a cell"),
        f.rows(
            "SELECT a.RoomCode, a.cell, a.id, b.id FROM p a JOIN p b ON a.RoomCode = b.RoomCode "
            "AND a.cell = b.cell AND a.id < b.id AND a.sitting <> b.sitting WHERE a.RoomCode > 0"));
    add(problems, QStringLiteral("group twice in a cell"),
        f.rows("SELECT a.GroupCode, a.cell, a.id, b.id FROM p a JOIN p b ON a.GroupCode = "
               "b.GroupCode AND a.cell = b.cell AND a.id < b.id AND a.sitting <> b.sitting "
               "WHERE NOT (a.SubGroupNum > 0 AND b.SubGroupNum > 0 AND a.SubGroupNum <> "
               "b.SubGroupNum AND a.sgt = b.sgt AND a.sgt > 0)"));
    // Lessons placed before the run may sit where the officer put them; the run's may not.
    QStringList forbidden =
        f.rows("SELECT p.id, r.ObjectType, r.ObjectCode, p.cell FROM p JOIN "
               "restriction.RESTRICTION r ON r.Week = p.Week AND r.DaySeqNumber = p.DaySeqNumber "
               "AND r.LessonNo = p.LessonNo AND r.Restriction NOT IN (0, 1) AND ((r.ObjectType = 1 "
               "AND r.ObjectCode = p.GroupCode) OR (r.ObjectType = 2 AND r.ObjectCode = "
               "p.RoomCode AND p.RoomCode > 0) OR (r.ObjectType = 3 AND r.ObjectCode = "
               "p.ScienceCode) OR (r.ObjectType = 4 AND r.ObjectCode = p.TeacherCode AND "
               "p.TeacherCode > 0))");
    if (before)
        forbidden.removeIf([&](const QString& r) {
            return before->placed.count(r.section(QLatin1Char(' '), 0, 0).toLongLong()) > 0;
        });
    add(problems, QStringLiteral("lesson in a forbidden cell"), forbidden);
    const QByteArray cells = "SELECT id, cell FROM p WHERE Week NOT BETWEEN 1 AND " +
                             QByteArray::number(dict.glo.WeeksInCycle) +
                             " OR DaySeqNumber NOT IN (SELECT DaySeqNumber FROM days.DAYS) OR "
                             "LessonNo NOT IN (SELECT LessonNo FROM lessonbell.LESSONBELL)";
    add(problems, QStringLiteral("lesson outside the timetable's cells"),
        f.rows(cells.constData()));
    // A link's members: never twice in a cell; and where every member has as many lessons as
    // the others, every cell the link uses holds all of them.
    add(problems, QStringLiteral("link member twice in a cell"),
        f.rows("SELECT LinkCode, cell, TrainingCourseItemCode, GroupCode, SubGroupNum, count(*) "
               "FROM p WHERE LinkCode > 0 GROUP BY LinkCode, cell, TrainingCourseItemCode, "
               "GroupCode, SubGroupNum HAVING count(*) > 1"));
    f.exec("CREATE TEMP VIEW members AS SELECT LinkCode, TrainingCourseItemCode AS item, GroupCode "
           "AS grp, SubGroupNum AS sub, count(*) AS n FROM schedule.SCHEDULE WHERE LinkCode > 0 "
           "GROUP BY 1, 2, 3, 4");
    add(problems, QStringLiteral("link apart"),
        f.rows("SELECT p.LinkCode, p.cell, count(*), (SELECT count(*) FROM members m WHERE "
               "m.LinkCode = p.LinkCode) FROM p WHERE p.LinkCode > 0 AND (SELECT min(n) = max(n) "
               "FROM members m WHERE m.LinkCode = p.LinkCode) GROUP BY p.LinkCode, p.cell HAVING "
               "count(*) <> (SELECT count(*) FROM members m WHERE m.LinkCode = p.LinkCode)"));
    if (before) {
        const TimetableBefore now = recordTimetable(dict);
        if (now.perItem != before->perItem)
            problems << QStringLiteral("a plan item's lessons changed in number");
        for (const auto& [id, where] : before->placed) {
            const auto it = now.placed.find(id);
            if (it == now.placed.end() || it->second != where)
                problems
                    << QStringLiteral("lesson %1 placed before moved from %2").arg(id).arg(where);
        }
    }
    return problems;
}

} // namespace enginetest
