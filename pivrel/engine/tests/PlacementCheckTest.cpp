// The data check before a placement: on a school built around a complete timetable it proves
// nothing impossible; each impossibility put into such a school is found and named, and a
// count over the data files in plain SQL (nothing of the engine) confirms it. After a run,
// the reasons given for each lesson left agree with the engine's refusals cell by cell.

#include "../../../testsupport/SqlRows.h"

#include "SampleSchool.h"
#include "pivrel/engine/AutoPlacement.h"
#include "pivrel/engine/PlacementCheck.h"
#include "pivrel/engine/UnplacedReasons.h"
#include "tamsel/TestFolder.h"

#include <QFile>
#include <climits>
#include <functional>

#include <gtest/gtest.h>

using namespace tamsel;
using namespace pivrel;

namespace {

void plantedSchool(TestFolder& t, sample::SchoolSize size) {
    sample::SampleOptions o;
    o.size = size;
    o.planted = 1.0;
    QString error;
    ASSERT_TRUE(sample::GenerateSampleSchool(t.dict(), o, nullptr, &error)) << error.toStdString();
    ASSERT_TRUE(t.dict().loadSettings());
}

/// The data files attached to a connection of the stock library.
class Sql {
public:
    explicit Sql(Dictionary& dict) {
        sqlite3_open(":memory:", &db_);
        for (FileId id : {FileId::Schedule, FileId::Days, FileId::LessonBell, FileId::Restriction,
                          FileId::RoomList, FileId::Room, FileId::LsnLink, FileId::LsnLinkComp}) {
            const QByteArray sql = "ATTACH '" + QFile::encodeName(dict.store().diskName(id)) +
                                   "' AS " + fileDef(id).name.toLower().toUtf8();
            sqlite3_exec(db_, sql.constData(), nullptr, nullptr, nullptr);
        }
    }
    ~Sql() { sqlite3_close(db_); }
    QStringList rows(const QString& sql) { return testsupport::sqlRows(db_, sql.toUtf8()); }
    long long num(const QString& sql) { return rows(sql).value(0).toLongLong(); }

private:
    sqlite3* db_ = nullptr;
};

/// A file held open for the injection's writes, which need not wait for the disk.
struct Quick {
    Quick(Store& s, FileId id) : use(s, id) {
        sqlite3_exec(use.file().connection(), "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
    }
    FileUse use;
};

const CheckFinding* impossibleAbout(const PlacementCheckResult& r, CheckFinding::Kind kind,
                                    const QString& named) {
    for (const CheckFinding& f : r.findings)
        if (f.severity == CheckFinding::Severity::Impossible && f.kind == kind &&
            f.text.contains(named))
            return &f;
    return nullptr;
}

QString dump(const PlacementCheckResult& r) {
    return placementCheckLines(r).mid(0, 40).join(QLatin1Char('\n'));
}

void forbid(Dictionary& dict, Short type, Short code, Short day, const QString& lessonNo) {
    Restriction x;
    x.ObjectType = type;
    x.ObjectCode = code;
    x.Week = 1;
    x.DaySeqNumber = day;
    x.LessonNo = lessonNo;
    auto res = dict.access<Restriction>();
    if (res.exists(Restriction::ObjectIdKey, x)) {
        x = res.fetch(Restriction::ObjectIdKey, x);
        x.Restriction = RestrictionLevel::Forbidden;
        ASSERT_TRUE(res.update(x).ok());
        return;
    }
    x.Restriction = RestrictionLevel::Forbidden;
    ASSERT_TRUE(res.insert(x).ok());
}

/// The cells of the one-week cycle, as "day lesson".
QStringList cellsOf(Sql& q) {
    return q.rows(QStringLiteral("SELECT d.DaySeqNumber, b.LessonNo FROM days.DAYS d, "
                                 "lessonbell.LESSONBELL b ORDER BY 1, 2"));
}

} // namespace

TEST(PlacementCheck, APlantedSchoolHasNothingImpossible) {
    TestFolder t;
    plantedSchool(t, sample::SchoolSize::Medium);
    const PlacementCheckResult r = CheckPlacementData(t.dict());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.impossible(), 0) << dump(r).toStdString();
    Sql q(t.dict());
    EXPECT_EQ(r.lessons, q.num(QStringLiteral("SELECT count(*) FROM schedule.SCHEDULE WHERE "
                                              "Week = 0 AND DaySeqNumber = 0 AND LessonNo = ''")));
    // A full week leaves the groups no cell to spare: that is told, but only as tight.
    EXPECT_FALSE(r.findings.empty());
}

TEST(PlacementCheck, EachInjectedImpossibilityIsFoundNamedAndConfirmedByCounting) {
    const QString unplaced = QStringLiteral("Week = 0 AND DaySeqNumber = 0 AND LessonNo = ''");
    struct Injection {
        const char* what;
        /// Changes the school; returns the name the finding must carry and checks with plain
        /// SQL that the school truly cannot be completed.
        std::function<QString(TestFolder&, Sql&, CheckFinding::Kind*, Short*, Short*)> inject;
    };
    const std::vector<Injection> injections{
        {"a teacher forbidden on all but h-1 of the cells for h hours",
         [&](TestFolder& t, Sql& q, CheckFinding::Kind* kind, Short* type, Short* code) {
             const QStringList pick = q.rows(
                 "SELECT s.TeacherCode, count(*) FROM schedule.SCHEDULE s WHERE s.TeacherCode > 0 "
                 "GROUP BY 1 HAVING sum(s.LinkCode <> 0) = 0 AND count(DISTINCT s.ScienceCode || "
                 "'/' || s.GroupCode) > 1 ORDER BY 2 DESC LIMIT 1");
             const Short teacher = pick.value(0).section(' ', 0, 0).toShort();
             const int h = pick.value(0).section(' ', 1).toInt();
             const QStringList cells = cellsOf(q);
             Quick use(t.store(), FileId::Restriction);
             for (int i = h - 1; i < cells.size(); ++i)
                 forbid(t.dict(), ObjectType::Teacher, teacher,
                        cells[i].section(' ', 0, 0).toShort(), cells[i].section(' ', 1));
             const long long hours = q.num(QStringLiteral("SELECT count(*) FROM schedule.SCHEDULE "
                                                          "WHERE TeacherCode = %1 AND %2")
                                               .arg(teacher)
                                               .arg(unplaced));
             const long long open =
                 cells.size() - q.num(QStringLiteral("SELECT count(*) FROM restriction.RESTRICTION "
                                                     "WHERE ObjectType = 4 AND ObjectCode = %1 "
                                                     "AND Restriction >= 2")
                                          .arg(teacher));
             EXPECT_GT(hours, open);
             *kind = CheckFinding::Kind::Teacher;
             *type = ObjectType::Teacher;
             *code = teacher;
             FileUse teachers(t.store(), FileId::Teacher);
             Teacher k;
             k.TeacherCode = teacher;
             return t.dict().access<Teacher>().fetch(Teacher::TeacherCodeKey, k).TeacherName;
         }},
        {"three groups whose lessons may use only the same two rooms",
         [&](TestFolder& t, Sql& q, CheckFinding::Kind* kind, Short* type, Short* code) {
             const QStringList rooms =
                 q.rows("SELECT RoomCode, RoomNo FROM room.ROOM ORDER BY RoomCode LIMIT 2");
             const Long a = rooms.value(0).section(' ', 0, 0).toInt();
             const Long b = rooms.value(1).section(' ', 0, 0).toInt();
             const QStringList pairs = q.rows(
                 "SELECT DISTINCT TeacherCode, ScienceCode FROM schedule.SCHEDULE WHERE GroupCode "
                 "IN (SELECT DISTINCT GroupCode FROM schedule.SCHEDULE ORDER BY 1 LIMIT 3) AND "
                 "TeacherCode > 0");
             {
                 Quick use(t.store(), FileId::RoomList);
                 auto lists = t.dict().access<RoomList>();
                 for (const QString& p : pairs) {
                     RoomList from;
                     from.TeacherCode = p.section(' ', 0, 0).toShort();
                     from.ScienceCode = p.section(' ', 1).toShort();
                     for (const RoomList& r : lists.read(RoomList::TeacherScienceKey, from, 2))
                         EXPECT_TRUE(lists.remove(r).ok());
                     for (Long room : {a, b}) {
                         RoomList r = from;
                         r.RoomCode = room;
                         r.Priority = room == a ? 10 : 20;
                         EXPECT_TRUE(lists.insert(r).ok());
                     }
                 }
             }
             // Lessons outside lectures whose every listed room is one of the two: each needs
             // a room and a cell of its own, and the two rooms have twice the cells at most.
             const long long need = q.num(
                 QStringLiteral(
                     "SELECT count(*) FROM schedule.SCHEDULE s WHERE %1 AND EXISTS (SELECT 1 FROM "
                     "roomlist.ROOMLIST r WHERE r.TeacherCode = s.TeacherCode AND r.ScienceCode "
                     "= s.ScienceCode) AND NOT EXISTS (SELECT 1 FROM roomlist.ROOMLIST r WHERE "
                     "r.TeacherCode = s.TeacherCode AND r.ScienceCode = s.ScienceCode AND "
                     "r.RoomCode NOT IN (%2, %3)) AND NOT EXISTS (SELECT 1 FROM lsnlink.LSNLINK "
                     "l WHERE l.LinkCode = s.LinkCode AND s.LinkCode > 0 AND l.IsLecture = 1)")
                     .arg(unplaced)
                     .arg(a)
                     .arg(b));
             EXPECT_GT(need, 2 * cellsOf(q).size());
             *kind = CheckFinding::Kind::Rooms;
             *type = ObjectType::Room;
             *code = 0;
             return QStringLiteral("кабинеты %1, %2")
                 .arg(rooms.value(0).section(' ', 1), rooms.value(1).section(' ', 1));
         }},
        {"a link whose members share no admissible cell",
         [&](TestFolder& t, Sql& q, CheckFinding::Kind* kind, Short* type, Short* code) {
             // A link of two subgroups taught by two teachers: one is forbidden the first half
             // of the week, the other the second half.
             const QStringList pick = q.rows(
                 "SELECT s.LinkCode, min(s.TeacherCode), max(s.TeacherCode) FROM "
                 "schedule.SCHEDULE s JOIN lsnlink.LSNLINK l ON l.LinkCode = s.LinkCode WHERE "
                 "l.IsLecture = 0 GROUP BY 1 HAVING count(DISTINCT s.TeacherCode) = 2 LIMIT 1");
             const Short link = pick.value(0).section(' ', 0, 0).toShort();
             const Short first = pick.value(0).section(' ', 1, 1).toShort();
             const Short second = pick.value(0).section(' ', 2, 2).toShort();
             const QStringList cells = cellsOf(q);
             {
                 Quick use(t.store(), FileId::Restriction);
                 for (int i = 0; i < cells.size(); ++i)
                     forbid(t.dict(), ObjectType::Teacher, i < cells.size() / 2 ? first : second,
                            cells[i].section(' ', 0, 0).toShort(), cells[i].section(' ', 1));
             }
             // No cell where none of the link's teachers is forbidden.
             EXPECT_EQ(
                 q.num(QStringLiteral(
                           "SELECT count(*) FROM days.DAYS d, lessonbell.LESSONBELL b WHERE "
                           "NOT EXISTS (SELECT 1 FROM restriction.RESTRICTION r JOIN "
                           "schedule.SCHEDULE s ON s.LinkCode = %1 AND r.ObjectType = 4 AND "
                           "r.ObjectCode = s.TeacherCode WHERE r.DaySeqNumber = "
                           "d.DaySeqNumber AND r.LessonNo = b.LessonNo AND r.Restriction >= 2)")
                           .arg(link)),
                 0);
             *kind = CheckFinding::Kind::NoCell;
             *type = 0;
             *code = 0;
             FileUse links(t.store(), FileId::LsnLink);
             LsnLink k;
             k.LinkCode = link;
             return QStringLiteral("Связь «") +
                    t.dict().access<LsnLink>().fetch(LsnLink::CodeKey, k).LinkName.trimmed();
         }},
        {"a kind of lesson with no admissible room",
         [&](TestFolder& t, Sql& q, CheckFinding::Kind* kind, Short* type, Short* code) {
             const QStringList pick = q.rows(
                 "SELECT TeacherCode, ScienceCode FROM schedule.SCHEDULE WHERE LinkCode = 0 AND "
                 "TeacherCode > 0 LIMIT 1");
             RoomList from;
             from.TeacherCode = pick.value(0).section(' ', 0, 0).toShort();
             from.ScienceCode = pick.value(0).section(' ', 1).toShort();
             {
                 Quick use(t.store(), FileId::RoomList);
                 auto lists = t.dict().access<RoomList>();
                 for (const RoomList& r : lists.read(RoomList::TeacherScienceKey, from, 2))
                     EXPECT_TRUE(lists.remove(r).ok());
             }
             EXPECT_EQ(q.num(QStringLiteral("SELECT count(*) FROM roomlist.ROOMLIST WHERE "
                                            "TeacherCode = %1 AND ScienceCode = %2")
                                 .arg(from.TeacherCode)
                                 .arg(from.ScienceCode)),
                       0);
             *kind = CheckFinding::Kind::NoCell;
             *type = 0;
             *code = 0;
             return QStringLiteral("нет списка кабинетов учителя для предмета");
         }},
    };
    for (const Injection& in : injections) {
        SCOPED_TRACE(in.what);
        TestFolder t;
        plantedSchool(t, sample::SchoolSize::Small);
        ASSERT_EQ(CheckPlacementData(t.dict()).impossible(), 0);
        Sql q(t.dict());
        CheckFinding::Kind kind{};
        Short type = 0, code = 0;
        const QString named = in.inject(t, q, &kind, &type, &code).trimmed();
        const PlacementCheckResult r = CheckPlacementData(t.dict());
        ASSERT_GT(r.impossible(), 0);
        // Proven impossibilities come first.
        EXPECT_EQ(r.findings.front().severity, CheckFinding::Severity::Impossible);
        const CheckFinding* f = nullptr;
        for (const CheckFinding& x : r.findings)
            if (x.severity == CheckFinding::Severity::Impossible && x.kind == kind &&
                (x.text.contains(named) || x.details.join('\n').contains(named)))
                f = &x;
        ASSERT_TRUE(f) << named.toStdString() << "\n" << dump(r).toStdString();
        EXPECT_GT(f->need, f->free);
        if (type) {
            EXPECT_EQ(f->objectType, type);
        }
        if (code) {
            EXPECT_EQ(f->objectCode, code);
        }
        if (type == ObjectType::Teacher) {
            // The filter by teacher keeps it; another teacher's check does not name him.
            const PlacementCheckResult mine = CheckPlacementData(t.dict(), 4, code);
            EXPECT_TRUE(impossibleAbout(mine, kind, named));
            for (const CheckFinding& x : mine.findings)
                EXPECT_NE(std::find(x.teachers.begin(), x.teachers.end(), code), x.teachers.end());
        }
    }
}

TEST(UnplacedReasons, AfterARunEachLessonLeftHasTheEnginesReasonsOnEveryCell) {
    TestFolder t;
    plantedSchool(t, sample::SchoolSize::Medium);
    // A few teachers lose cells, so that more lessons are left and links among them.
    {
        Quick use(t.store(), FileId::Restriction);
        for (Short teacher = 1; teacher <= 30; teacher += 3)
            for (Short day = 1; day <= 3; ++day)
                for (const char* lesson : {"  1", "  2", "  3"})
                    forbid(t.dict(), ObjectType::Teacher, teacher, day,
                           QString::fromLatin1(lesson));
    }
    t.ui.otherwise = Yes;
    RecordingRunHost host;
    t.glo().ProcessingDisabled = 0;
    const PlacementResult run = AutoPlacement(t.dict()).run(TaskKind::All, 0, host);
    ASSERT_TRUE(run.complete());
    ASSERT_GT(run.left, 0);

    const std::vector<UnplacedLesson> why = ExplainUnplaced(t.dict());
    Sql q(t.dict());
    int unlinked = 0;
    for (const UnplacedLesson& l : why)
        if (l.lesson.LinkCode == 0) unlinked += l.count;
    EXPECT_EQ(unlinked, q.num(QStringLiteral("SELECT count(*) FROM schedule.SCHEDULE WHERE "
                                             "LinkCode = 0 AND Week = 0 AND DaySeqNumber = 0 "
                                             "AND LessonNo = ''")));

    std::vector<std::unique_ptr<FileUse>> uses;
    for (FileId id : Engine::files())
        uses.push_back(std::make_unique<FileUse>(t.store(), id));
    Engine engine(t.dict());
    for (const UnplacedLesson& l : why) {
        SCOPED_TRACE(l.name.toStdString());
        std::map<QString, int> expected;
        int open = 0;
        for (const Engine::Cell& c : engine.cells()) {
            t.glo().ScheduleRecord = l.lesson;
            const QStringList texts = engine.refusalsAt(c.week, c.day, c.lessonNo, 0, true);
            open += texts.isEmpty() ? 1 : 0;
            for (const QString& text : texts)
                ++expected[text];
        }
        std::map<QString, int> given;
        int previous = INT_MAX;
        for (const UnplacedLesson::Reason& r : l.reasons) {
            given[r.text] = r.cells;
            EXPECT_LE(r.cells, previous); // most cells first
            previous = r.cells;
            // A busy teacher, group or room is there because lessons are: they are named.
            if (r.text.contains(QStringLiteral("занятости"))) {
                EXPECT_FALSE(r.occupants.empty()) << r.text.toStdString();
            }
        }
        EXPECT_EQ(given, expected);
        EXPECT_EQ(l.openCells, open);
    }
}
