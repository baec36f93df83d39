// The sample schools, checked over the written files with the stock SQLite library alone, so
// that the checks do not share the generator's (or tamsel's) idea of the data.

#include "SampleSchool.h"

#include "faldin/RoomLists.h"
#include "tamsel/TestFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <tuple>

using namespace tamsel;
using sample::SampleOptions;
using sample::SchoolSize;

namespace {

using Rows = std::vector<std::vector<QString>>;

/// Every row of `sql` on one data file, as text.
Rows query(const QString& dir, const char* file, const QString& sql) {
    Rows out;
    sqlite3* db = nullptr;
    const QByteArray path = QDir(dir).filePath(QString::fromLatin1(file)).toUtf8();
    EXPECT_EQ(sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db) << " in " << sql.toStdString();
    while (st && sqlite3_step(st) == SQLITE_ROW) {
        std::vector<QString> row;
        for (int c = 0; c < sqlite3_column_count(st); ++c)
            row.push_back(
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c))));
        out.push_back(row);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}
int num(const QString& s) {
    return s.toInt();
}

void generate(TestFolder& t, SchoolSize size, int weeks, quint32 seed) {
    SampleOptions o;
    o.size = size;
    o.weeks = weeks;
    o.seed = seed;
    QString error;
    ASSERT_TRUE(sample::GenerateSampleSchool(t.dict(), o, nullptr, &error)) << error.toStdString();
    t.store().closeAll();
}

/// Every data file's rows in storage order: equal dumps mean equal schools.
QString dump(const QString& dir) {
    QString all;
    for (const char* f :
         {"Days", "LessonBell", "Stream", "Course", "Group", "SubGroupType", "ScienceCycle",
          "Science", "RoomType", "Room", "Speciality", "Teacher", "RoomList", "Schedule",
          "TrainingCourse", "Restriction", "LsnLink", "LsnLinkComp"}) {
        const QString table = QString::fromLatin1(f).toUpper();
        for (const auto& row :
             query(dir, (QByteArray(f) + ".db").constData(),
                   QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(table)))
            all += table + QLatin1Char(':') +
                   QStringList(row.begin(), row.end()).join(QLatin1Char('|')) + QLatin1Char('\n');
    }
    return all;
}

/// The largest flow from lessons to rooms: each (teacher, subject) needs `demand` room-hours
/// from the rooms of its list, each room offers its free cells.
int maxFlow(const std::vector<int>& demand, const std::vector<std::vector<int>>& canUse,
            const std::vector<int>& capacity) {
    const int L = static_cast<int>(demand.size()), R = static_cast<int>(capacity.size());
    const int n = L + R + 2, s = n - 2, t = n - 1;
    std::vector<std::vector<int>> cap(static_cast<size_t>(n),
                                      std::vector<int>(static_cast<size_t>(n), 0));
    for (int i = 0; i < L; ++i) {
        cap[static_cast<size_t>(s)][static_cast<size_t>(i)] = demand[static_cast<size_t>(i)];
        for (int r : canUse[static_cast<size_t>(i)])
            cap[static_cast<size_t>(i)][static_cast<size_t>(L + r)] = 1 << 20;
    }
    for (int r = 0; r < R; ++r)
        cap[static_cast<size_t>(L + r)][static_cast<size_t>(t)] = capacity[static_cast<size_t>(r)];
    int flow = 0;
    for (;;) {
        std::vector<int> prev(static_cast<size_t>(n), -1);
        std::vector<int> queue{s};
        prev[static_cast<size_t>(s)] = s;
        for (size_t q = 0; q < queue.size() && prev[static_cast<size_t>(t)] < 0; ++q)
            for (int v = 0; v < n; ++v)
                if (prev[static_cast<size_t>(v)] < 0 &&
                    cap[static_cast<size_t>(queue[q])][static_cast<size_t>(v)] > 0) {
                    prev[static_cast<size_t>(v)] = queue[q];
                    queue.push_back(v);
                }
        if (prev[static_cast<size_t>(t)] < 0) return flow;
        int push = 1 << 30;
        for (int v = t; v != s; v = prev[static_cast<size_t>(v)])
            push = std::min(
                push,
                cap[static_cast<size_t>(prev[static_cast<size_t>(v)])][static_cast<size_t>(v)]);
        for (int v = t; v != s; v = prev[static_cast<size_t>(v)]) {
            cap[static_cast<size_t>(prev[static_cast<size_t>(v)])][static_cast<size_t>(v)] -= push;
            cap[static_cast<size_t>(v)][static_cast<size_t>(prev[static_cast<size_t>(v)])] += push;
        }
        flow += push;
    }
}

/// Checks that no teacher, group or room is asked for more lessons than it has free
/// (not forbidden) cells, in every week of the cycle, and that no group needs more lessons
/// of a subject cycle than the cycle's daily maximum allows in a week.
void expectSolvableByHand(const QString& dir) {
    const int days = num(query(dir, "Days.db", QStringLiteral("SELECT count(*) FROM DAYS"))[0][0]);
    const int lessons =
        num(query(dir, "LessonBell.db", QStringLiteral("SELECT count(*) FROM LESSONBELL"))[0][0]);
    const int cells = days * lessons;
    const int cycleWeeks = num(
        query(dir, "Restriction.db", QStringLiteral("SELECT max(Week) FROM RESTRICTION"))[0][0]);
    ASSERT_GE(cycleWeeks, 1);

    // Forbidden cells per object and week.
    std::map<std::tuple<int, int, int>, int> forbidden; // (type, code, week)
    for (const auto& r :
         query(dir, "Restriction.db",
               QStringLiteral("SELECT ObjectType, ObjectCode, Week, count(*) FROM "
                              "RESTRICTION WHERE Restriction >= 2 GROUP BY 1, 2, 3")))
        forbidden[{num(r[0]), num(r[1]), num(r[2])}] = num(r[3]);
    auto freeCells = [&](int type, int code, int week) {
        auto it = forbidden.find({type, code, week});
        return cells - (it == forbidden.end() ? 0 : it->second);
    };

    struct Entry {
        int science, teacher, group, sub, item, link;
    };
    std::vector<Entry> entries;
    for (const auto& r :
         query(dir, "Schedule.db",
               QStringLiteral("SELECT ScienceCode, TeacherCode, GroupCode, SubGroupNum, "
                              "TrainingCourseItemCode, LinkCode FROM SCHEDULE")))
        entries.push_back({num(r[0]), num(r[1]), num(r[2]), num(r[3]), num(r[4]), num(r[5])});
    std::set<int> lectures;
    for (const auto& r : query(dir, "LsnLink.db",
                               QStringLiteral("SELECT LinkCode FROM LSNLINK WHERE IsLecture = 1")))
        lectures.insert(num(r[0]));

    // Cells a teacher needs: one per entry, but the groups of one lecture sit together.
    std::map<int, int> teacherCells;
    std::map<std::tuple<int, int, int, int>, int> lecturePart; // (teacher, link, item, group)
    for (const Entry& e : entries) {
        if (lectures.count(e.link))
            ++lecturePart[{e.teacher, e.link, e.item, e.group}];
        else
            ++teacherCells[e.teacher];
    }
    std::map<std::pair<int, int>, int> lectureCells; // (teacher, link) -> largest member
    for (const auto& [k, n] : lecturePart) {
        int& m = lectureCells[{std::get<0>(k), std::get<1>(k)}];
        m = std::max(m, n);
    }
    for (const auto& [k, n] : lectureCells)
        teacherCells[k.first] += n;

    // Cells a group needs: whole-group entries each; the halves of a class sit together,
    // so a plan item of halves needs as many cells as its larger half has entries.
    std::map<std::tuple<int, int, int>, int> part; // (group, item, sub)
    for (const Entry& e : entries)
        ++part[{e.group, e.item, e.sub}];
    std::map<std::pair<int, int>, int> itemCells;
    for (const auto& [k, n] : part) {
        int& m = itemCells[{std::get<0>(k), std::get<1>(k)}];
        m = std::get<2>(k) == 0 ? m + n : std::max(m, n);
    }
    std::map<int, int> groupCells;
    for (const auto& [k, n] : itemCells)
        groupCells[k.first] += n;

    for (int w = 1; w <= cycleWeeks; ++w) {
        for (const auto& [teacher, need] : teacherCells) {
            ASSERT_NE(teacher, 0) << "an entry without a teacher";
            EXPECT_LE(need, freeCells(ObjectType::Teacher, teacher, w))
                << "teacher " << teacher << " week " << w;
        }
        for (const auto& [group, need] : groupCells)
            EXPECT_LE(need, freeCells(ObjectType::Group, group, w))
                << "group " << group << " week " << w;
    }

    // Daily maxima of the subject cycles.
    std::map<int, std::pair<int, int>> cycleOf; // science -> (cycle, per day)
    std::map<int, int> perDay;
    for (const auto& r :
         query(dir, "ScienceCycle.db",
               QStringLiteral("SELECT CycleCode, LessonsPerDayMax FROM SCIENCECYCLE")))
        perDay[num(r[0])] = num(r[1]);
    std::map<int, int> scienceCycle, itemScience;
    for (const auto& r :
         query(dir, "Science.db", QStringLiteral("SELECT ScienceCode, CycleCode FROM SCIENCE")))
        scienceCycle[num(r[0])] = num(r[1]);
    for (const Entry& e : entries)
        itemScience[e.item] = e.science;
    std::map<std::pair<int, int>, int> groupCycle;
    for (const auto& [k, n] : itemCells)
        groupCycle[{k.first, scienceCycle[itemScience[k.second]]}] += n;
    for (const auto& [k, n] : groupCycle)
        EXPECT_LE(n, perDay[k.second] * days) << "group " << k.first;

    // Rooms: the lessons of each teacher and subject go to the rooms of its room list; a
    // lecture needs one room for all its groups.
    std::map<int, int> roomIndex;
    std::vector<int> roomCodes;
    for (const auto& r :
         query(dir, "Room.db", QStringLiteral("SELECT RoomCode FROM ROOM ORDER BY RoomCode"))) {
        roomIndex[num(r[0])] = static_cast<int>(roomCodes.size());
        roomCodes.push_back(num(r[0]));
    }
    std::map<std::pair<int, int>, std::vector<int>> lists;
    for (const auto& r :
         query(dir, "RoomList.db",
               QStringLiteral("SELECT TeacherCode, ScienceCode, RoomCode FROM ROOMLIST")))
        lists[{num(r[0]), num(r[1])}].push_back(roomIndex.at(num(r[2])));
    std::map<std::pair<int, int>, int> roomNeed; // (teacher, science) -> room hours
    for (const Entry& e : entries)
        if (!lectures.count(e.link)) ++roomNeed[{e.teacher, e.science}];
    for (const auto& [k, n] : lectureCells) {
        int science = 0;
        for (const Entry& e : entries)
            if (e.link == k.second) science = e.science;
        roomNeed[{k.first, science}] += n;
    }
    std::vector<int> demand;
    std::vector<std::vector<int>> canUse;
    int total = 0;
    for (const auto& [k, n] : roomNeed) {
        ASSERT_FALSE(lists[k].empty())
            << "teacher " << k.first << " has no room for subject " << k.second;
        demand.push_back(n);
        canUse.push_back(lists[k]);
        total += n;
    }
    for (int w = 1; w <= cycleWeeks; ++w) {
        std::vector<int> capacity;
        for (int code : roomCodes)
            capacity.push_back(freeCells(ObjectType::Room, code, w));
        EXPECT_EQ(maxFlow(demand, canUse, capacity), total) << "rooms of week " << w;
    }
}

} // namespace

TEST(SampleSchool, SameSeedSameSchoolOtherSeedOtherSchool) {
    TestFolder a, b, c;
    generate(a, SchoolSize::Small, 2, 7);
    generate(b, SchoolSize::Small, 2, 7);
    generate(c, SchoolSize::Small, 2, 8);
    const QString da = dump(a.path());
    EXPECT_GT(da.size(), 10000);
    EXPECT_EQ(da, dump(b.path()));
    EXPECT_NE(da, dump(c.path()));
}

TEST(SampleSchool, SmallSchoolHasTheShapeOfARealOne) {
    TestFolder t;
    generate(t, SchoolSize::Small, 3, 1);
    const QString d = t.path();

    std::vector<QString> dayNames;
    for (const auto& r :
         query(d, "Days.db", QStringLiteral("SELECT DayName FROM DAYS ORDER BY DaySeqNumber")))
        dayNames.push_back(r[0]);
    EXPECT_EQ(dayNames,
              (std::vector<QString>{QString::fromUtf8("Понедельник"), QString::fromUtf8("Вторник"),
                                    QString::fromUtf8("Среда"), QString::fromUtf8("Четверг"),
                                    QString::fromUtf8("Пятница"), QString::fromUtf8("Суббота")}));
    const int bells =
        num(query(d, "LessonBell.db", QStringLiteral("SELECT count(*) FROM LESSONBELL"))[0][0]);
    EXPECT_TRUE(bells == 7 || bells == 8);
    EXPECT_EQ(query(d, "Stream.db", QStringLiteral("SELECT count(*) FROM STREAM"))[0][0],
              QStringLiteral("2"));
    EXPECT_EQ(query(d, "Course.db",
                    QStringLiteral("SELECT group_concat(Course, ' ') FROM (SELECT Course FROM "
                                   "COURSE ORDER BY CAST(Course AS INT))"))[0][0],
              QStringLiteral("5 6 7 8 9 10 11"));
    const auto groups =
        query(d, "Group.db", QStringLiteral("SELECT Course || Defis || Literal FROM \"GROUP\""));
    EXPECT_GE(groups.size(), 8u);
    EXPECT_LE(groups.size(), 12u);
    EXPECT_NE(
        std::find(groups.begin(), groups.end(), std::vector<QString>{QString::fromUtf8("5-А")}),
        groups.end());
    EXPECT_EQ(query(d, "SubGroupType.db",
                    QStringLiteral("SELECT NumbOfSubGroups FROM SUBGROUPTYPE"))[0][0],
              QStringLiteral("2"));

    // The settings went to the folder's Korvel.ini.
    Dictionary fresh(d);
    ASSERT_TRUE(fresh.loadSettings());
    EXPECT_EQ(fresh.glo.WeeksInCycle, 3);
    const auto common = query(d, "RoomType.db",
                              QStringLiteral("SELECT SysCode FROM ROOMTYPE WHERE RoomType = '%1'")
                                  .arg(QString::fromUtf8("Обычный кабинет")));
    ASSERT_EQ(common.size(), 1u);
    EXPECT_EQ(fresh.glo.CommonTypeRoomCode, num(common[0][0]));
    EXPECT_EQ(query(d, "RoomType.db", QStringLiteral("SELECT count(*) FROM ROOMTYPE"))[0][0],
              QStringLiteral("4"));

    // Size: about 300 lesson hours a week, 20 teachers.
    EXPECT_EQ(query(d, "Teacher.db", QStringLiteral("SELECT count(*) FROM TEACHER"))[0][0],
              QStringLiteral("20"));
    const int entries =
        num(query(d, "Schedule.db", QStringLiteral("SELECT count(*) FROM SCHEDULE"))[0][0]);
    EXPECT_GT(entries, 280);
    EXPECT_LT(entries, 450);

    // Restrictions of both levels for teachers, groups and rooms, in every week and no other.
    const auto kinds = query(
        d, "Restriction.db",
        QStringLiteral("SELECT DISTINCT ObjectType, Restriction FROM RESTRICTION ORDER BY 1, 2"));
    for (int type : {ObjectType::Group, ObjectType::Teacher})
        for (int level : {1, 2})
            EXPECT_NE(
                std::find(kinds.begin(), kinds.end(),
                          std::vector<QString>{QString::number(type), QString::number(level)}),
                kinds.end())
                << type << "/" << level;
    EXPECT_EQ(query(d, "Restriction.db",
                    QStringLiteral("SELECT group_concat(Week) FROM (SELECT DISTINCT Week FROM "
                                   "RESTRICTION ORDER BY Week)"))[0][0],
              QStringLiteral("1,2,3"));
    // Week 2 repeats the forbidden cells of week 1.
    EXPECT_EQ(
        query(d, "Restriction.db",
              QStringLiteral(
                  "SELECT count(*) FROM RESTRICTION WHERE Week = 1 AND Restriction = 2"))[0][0],
        query(d, "Restriction.db",
              QStringLiteral(
                  "SELECT count(*) FROM RESTRICTION WHERE Week = 2 AND Restriction = 2"))[0][0]);
}

TEST(SampleSchool, LessonsFollowThePlanAndCarryTeachersAndLinks) {
    TestFolder t;
    generate(t, SchoolSize::Medium, 1, 3);
    const QString d = t.path();

    // Every plan item has, for every group of its course and stream and every subgroup,
    // its single hours and two entries per pair, as the program generates them.
    std::map<int, int> halvesOf; // science -> subgroups
    for (const auto& r :
         query(d, "Science.db", QStringLiteral("SELECT ScienceCode, SgrpTypCode FROM SCIENCE")))
        halvesOf[num(r[0])] = num(r[1]) ? 2 : 0;
    std::map<std::pair<QString, int>, int> groupsOf; // (course, stream) -> groups
    for (const auto& r :
         query(d, "Group.db", QStringLiteral("SELECT Course, StreamCode FROM \"GROUP\"")))
        ++groupsOf[{r[0], num(r[1])}];
    int expected = 0, pairs = 0;
    for (const auto& r : query(d, "TrainingCourse.db",
                               QStringLiteral("SELECT ScienceCode, Course, StreamCode, "
                                              "SingleHours, CoupledHours FROM TRAININGCOURSE"))) {
        const int subs = std::max(1, halvesOf[num(r[0])]);
        expected += groupsOf[{r[1], num(r[2])}] * subs * (num(r[3]) + 2 * ((num(r[4]) + 1) / 2));
        pairs += num(r[4]) > 0;
    }
    EXPECT_GT(pairs, 0) << "no paired hours in the plan";
    EXPECT_EQ(num(query(d, "Schedule.db", QStringLiteral("SELECT count(*) FROM SCHEDULE"))[0][0]),
              expected);
    EXPECT_EQ(query(d, "Schedule.db",
                    QStringLiteral("SELECT count(*) FROM SCHEDULE WHERE TeacherCode = 0 OR Week <> "
                                   "0 OR RoomCode <> 0"))[0][0],
              QStringLiteral("0"));
    EXPECT_EQ(
        query(d, "Schedule.db",
              QStringLiteral(
                  "SELECT count(*) FROM SCHEDULE WHERE SubGroupNum <> 0 AND LinkCode = 0"))[0][0],
        QStringLiteral("0"))
        << "halves of a class left unlinked";

    // Each link's members: halves of one class (own teachers) or a lecture of two classes
    // of the same plan item (one teacher); the members' entries carry the link code.
    std::map<int, bool> lecture;
    for (const auto& r :
         query(d, "LsnLink.db", QStringLiteral("SELECT LinkCode, IsLecture FROM LSNLINK")))
        lecture[num(r[0])] = num(r[1]) == 1;
    std::map<int, Rows> members;
    for (const auto& r : query(d, "LsnLinkComp.db",
                               QStringLiteral("SELECT LinkCode, TrainingCourseItemCode, GroupCode, "
                                              "SubGroupNum FROM LSNLINKCOMP")))
        members[num(r[0])].push_back(r);
    int lectures = 0;
    for (const auto& [code, comps] : members) {
        ASSERT_EQ(comps.size(), 2u);
        EXPECT_EQ(comps[0][1], comps[1][1]) << "link " << code << " joins different plan items";
        std::set<QString> teachers;
        int linked = 0;
        for (const auto& c : comps)
            for (const auto& e :
                 query(d, "Schedule.db",
                       QStringLiteral(
                           "SELECT TeacherCode, LinkCode FROM SCHEDULE WHERE "
                           "TrainingCourseItemCode = %1 AND GroupCode = %2 AND SubGroupNum = %3")
                           .arg(c[1], c[2], c[3]))) {
                teachers.insert(e[0]);
                linked += num(e[1]) == code;
            }
        EXPECT_EQ(linked,
                  num(query(d, "Schedule.db",
                            QStringLiteral("SELECT count(*) FROM SCHEDULE WHERE LinkCode = %1")
                                .arg(code))[0][0]));
        if (lecture[code]) {
            ++lectures;
            EXPECT_NE(comps[0][2], comps[1][2]);
            EXPECT_EQ(teachers.size(), 1u) << "a lecture with two teachers";
        } else {
            EXPECT_EQ(comps[0][2], comps[1][2]);
            EXPECT_EQ(comps[0][3], QStringLiteral("1"));
            EXPECT_EQ(comps[1][3], QStringLiteral("2"));
            EXPECT_EQ(teachers.size(), 2u) << "both halves of a class with one teacher";
        }
    }
    EXPECT_GE(lectures, 2);
}

TEST(SampleSchool, RoomListsAreThoseOfTheRule) {
    TestFolder t;
    generate(t, SchoolSize::Small, 1, 5);
    const QString before = dump(t.path());
    EXPECT_TRUE(before.contains(QStringLiteral("ROOMLIST:")));
    // Teachers with a room of their own, and some with an additional one.
    EXPECT_GT(
        num(query(t.path(), "Teacher.db",
                  QStringLiteral("SELECT count(*) FROM TEACHER WHERE MainRoomCode <> 0"))[0][0]),
        0);
    ASSERT_TRUE(t.dict().loadSettings());
    ASSERT_TRUE(faldin::UpdateAllTeacherRoomLists(t.dict()));
    t.store().closeAll();
    auto roomLists = [](const QString& all) {
        QStringList l =
            all.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^ROOMLIST:")));
        l.sort();
        return l;
    };
    EXPECT_EQ(roomLists(before), roomLists(dump(t.path())));
}

TEST(SampleSchool, EverySizeIsSolvableByHandInPrinciple) {
    for (auto [size, weeks, seed] :
         {std::tuple{SchoolSize::Small, 1, 11u}, std::tuple{SchoolSize::Small, 2, 12u},
          std::tuple{SchoolSize::Medium, 1, 1u}, std::tuple{SchoolSize::Medium, 2, 13u},
          std::tuple{SchoolSize::Large, 1, 1u}, std::tuple{SchoolSize::Large, 2, 14u}}) {
        SCOPED_TRACE(sample::sizeName(size).toStdString() + " weeks " + std::to_string(weeks));
        TestFolder t;
        generate(t, size, weeks, seed);
        expectSolvableByHand(t.path());
    }
}

TEST(SampleSchool, RefusesACycleLongerThanTwentyWeeks) {
    TestFolder t;
    SampleOptions o;
    o.weeks = 21;
    QString error;
    EXPECT_FALSE(sample::GenerateSampleSchool(t.dict(), o, nullptr, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(t.file(QStringLiteral("Schedule.db"))));
}
