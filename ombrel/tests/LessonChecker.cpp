#include "LessonChecker.h"

#include "../../testsupport/SqlRows.h"

#include <QFile>
#include <sqlite3.h>
#include <vector>

namespace lessontest {

using namespace tamsel;

namespace {

/// A connection with the lesson data attached, each file under a short name of its own.
class Files : public testsupport::AttachedFiles {
public:
    /// SQLite attaches at most ten files: the cells are checked on a connection of their own.
    Files(Dictionary& dict, bool cells) {
        const std::vector<std::pair<FileId, const char*>> files =
            cells ? std::vector<std::pair<FileId, const char*>>{{FileId::Schedule, "sch"},
                                                               {FileId::Days, "day"},
                                                               {FileId::LessonBell, "les"}}
                  : std::vector<std::pair<FileId, const char*>>{
                        {FileId::Schedule, "sch"},     {FileId::TrainingCourse, "trc"},
                        {FileId::Group, "grp"},        {FileId::Science, "sci"},
                        {FileId::SubGroupType, "sgt"}, {FileId::LsnLink, "lln"},
                        {FileId::LsnLinkComp, "llc"},  {FileId::Teacher, "tch"},
                        {FileId::Room, "roo"}};
        for (const auto& [id, as] : files) {
            // A file nobody has written yet is made empty, so that every query can run.
            if (!QFile::exists(dict.store().diskName(id))) FileUse create(dict.store(), id);
            attach(dict.store().diskName(id), as);
        }
        exec("CREATE TEMP VIEW placed AS SELECT rowid AS id, * FROM sch.SCHEDULE WHERE Week <> 0 "
             "OR DaySeqNumber <> 0 OR LessonNo <> ''");
        if (cells) return;
        // The subgroups of every subject: 0 for a whole group, else 1 to the type's count.
        exec("CREATE TEMP VIEW division AS SELECT s.ScienceCode AS science, "
             "coalesce(t.NumbOfSubGroups, 0) AS n FROM sci.SCIENCE s LEFT JOIN "
             "sgt.SUBGROUPTYPE t ON t.SgrpTypCode = s.SgrpTypCode AND s.SgrpTypCode <> 0");
        exec("CREATE TEMP VIEW subgroup AS WITH RECURSIVE k(v) AS (SELECT 0 UNION ALL SELECT v + 1 "
             "FROM k WHERE v < 99) SELECT d.science, k.v AS sub FROM division d JOIN k ON "
             "(d.n = 0 AND k.v = 0) OR (k.v BETWEEN 1 AND d.n)");
        // What the plan asks for, per item, group and subgroup.
        exec("CREATE TEMP VIEW planned AS SELECT t.TrainingCourseItemCode AS item, g.GroupCode AS "
             "grp, s.sub, t.SingleHours AS single, (t.CoupledHours + 1) / 2 AS pairs FROM "
             "trc.TRAININGCOURSE t JOIN grp.\"GROUP\" g ON g.Course = t.Course AND g.StreamCode "
             "= t.StreamCode JOIN subgroup s ON s.science = t.ScienceCode");
        exec("CREATE TEMP VIEW present AS SELECT TrainingCourseItemCode AS item, GroupCode AS grp, "
             "SubGroupNum AS sub, sum(CoupledLesson = 0) AS single, sum(CoupledLesson = 1) AS "
             "first, sum(CoupledLesson = 2) AS second, count(*) AS n FROM sch.SCHEDULE GROUP BY "
             "1, 2, 3");
    }
};

const auto add = testsupport::addProblems;

} // namespace

QStringList checkLessons(Dictionary& dict) {
    Files f(dict, false);
    QStringList problems;

    // The plan and its entries.
    add(problems, QStringLiteral("entries differ from the plan (item group sub: planned, present)"),
        f.rows("SELECT p.item, p.grp, p.sub, p.single || '+' || 2 * p.pairs, "
               "coalesce(e.single, 0) || '+' || coalesce(e.first, 0) || '/' || coalesce(e.second, "
               "0) FROM planned p LEFT JOIN present e ON e.item = p.item AND e.grp = p.grp AND "
               "e.sub = p.sub WHERE coalesce(e.single, 0) <> p.single OR coalesce(e.first, 0) <> "
               "p.pairs OR coalesce(e.second, 0) <> p.pairs"));
    add(problems, QStringLiteral("entries the plan does not ask for (item group sub: count)"),
        f.rows("SELECT e.item, e.grp, e.sub, e.n FROM present e WHERE NOT EXISTS (SELECT 1 FROM "
               "planned p WHERE p.item = e.item AND p.grp = e.grp AND p.sub = e.sub)"));

    // Links: an entry carries a code exactly while its member belongs to that link.
    add(problems, QStringLiteral("entry half in a link (row code member's code)"),
        f.rows("SELECT s.rowid, s.LinkCode, coalesce(c.LinkCode, 0) FROM sch.SCHEDULE s LEFT JOIN "
               "llc.LSNLINKCOMP c ON c.TrainingCourseItemCode = s.TrainingCourseItemCode AND "
               "c.GroupCode = s.GroupCode AND c.SubGroupNum = s.SubGroupNum WHERE s.LinkCode <> "
               "coalesce(c.LinkCode, 0)"));
    add(problems, QStringLiteral("member of no link"),
        f.rows("SELECT c.LinkCode, c.TrainingCourseItemCode, c.GroupCode, c.SubGroupNum FROM "
               "llc.LSNLINKCOMP c WHERE NOT EXISTS (SELECT 1 FROM lln.LSNLINK l WHERE l.LinkCode "
               "= c.LinkCode)"));
    add(problems, QStringLiteral("member without its plan item, group or subject"),
        f.rows("SELECT c.LinkCode, c.TrainingCourseItemCode, c.GroupCode, c.SubGroupNum FROM "
               "llc.LSNLINKCOMP c LEFT JOIN trc.TRAININGCOURSE t ON t.TrainingCourseItemCode = "
               "c.TrainingCourseItemCode WHERE t.rowid IS NULL OR NOT EXISTS (SELECT 1 FROM "
               "grp.\"GROUP\" g WHERE g.GroupCode = c.GroupCode) OR NOT EXISTS (SELECT 1 FROM "
               "sci.SCIENCE s WHERE s.ScienceCode = t.ScienceCode)"));
    add(problems, QStringLiteral("member outside its subject's division"),
        f.rows("SELECT c.LinkCode, c.TrainingCourseItemCode, c.GroupCode, c.SubGroupNum FROM "
               "llc.LSNLINKCOMP c JOIN trc.TRAININGCOURSE t ON t.TrainingCourseItemCode = "
               "c.TrainingCourseItemCode WHERE NOT EXISTS (SELECT 1 FROM subgroup s WHERE "
               "s.science = t.ScienceCode AND s.sub = c.SubGroupNum)"));
    add(problems, QStringLiteral("link without a code"),
        f.rows("SELECT rowid, LinkName FROM lln.LSNLINK WHERE LinkCode = 0"));

    // Entries of objects that are gone.
    add(problems, QStringLiteral("entry of a deleted object (row item group subject)"),
        f.rows("SELECT s.rowid, s.TrainingCourseItemCode, s.GroupCode, s.ScienceCode FROM "
               "sch.SCHEDULE s LEFT JOIN trc.TRAININGCOURSE t ON t.TrainingCourseItemCode = "
               "s.TrainingCourseItemCode WHERE t.rowid IS NULL OR t.ScienceCode <> s.ScienceCode "
               "OR NOT EXISTS (SELECT 1 FROM grp.\"GROUP\" g WHERE g.GroupCode = s.GroupCode) OR "
               "NOT EXISTS (SELECT 1 FROM sci.SCIENCE c WHERE c.ScienceCode = s.ScienceCode) OR "
               "(s.TeacherCode <> 0 AND NOT EXISTS (SELECT 1 FROM tch.TEACHER x WHERE "
               "x.TeacherCode = s.TeacherCode)) OR (s.RoomCode <> 0 AND NOT EXISTS (SELECT 1 FROM "
               "roo.ROOM r WHERE r.RoomCode = s.RoomCode)) OR (s.LinkCode <> 0 AND NOT EXISTS "
               "(SELECT 1 FROM lln.LSNLINK l WHERE l.LinkCode = s.LinkCode))"));
    Files cells(dict, true);
    add(problems, QStringLiteral("entry placed on a deleted day or bell"),
        cells.rows("SELECT id, Week, DaySeqNumber, LessonNo FROM placed p WHERE NOT EXISTS (SELECT 1 "
               "FROM day.DAYS d WHERE d.DaySeqNumber = p.DaySeqNumber) OR NOT EXISTS (SELECT 1 "
               "FROM les.LESSONBELL b WHERE b.LessonNo = p.LessonNo)"));

    // Placed pairs are whole (the engine places each half on its own, so only the day counts).
    add(problems, QStringLiteral("pair split (item group sub week day: first halves, second)"),
        f.rows("SELECT TrainingCourseItemCode, GroupCode, SubGroupNum, Week, DaySeqNumber, "
               "sum(CoupledLesson = 1), sum(CoupledLesson = 2) FROM placed WHERE CoupledLesson <> "
               "0 GROUP BY 1, 2, 3, 4, 5 HAVING sum(CoupledLesson = 1) <> sum(CoupledLesson = 2)"));
    return problems;
}

} // namespace lessontest
