#pragma once

// The sample school as it is built in memory before anything is written: the fixed content of
// a Russian school (subjects and their hours, specialities, room kinds), the model (groups, plan
// items, lesson kinds, teachers, rooms, links, restrictions) and the builder that makes and
// writes it. Private to the sample generator.

#include "SampleSchool.h"

#include "tamsel/Dictionary.h"

#include <QString>
#include <array>
#include <set>
#include <tuple>
#include <vector>

namespace sample::model {

using namespace tamsel;

inline QString u(const char* text) {
    return QString::fromUtf8(text);
}

/// SplitMix64: a small generator whose sequence is the same on every platform and compiler
/// (the standard distributions are not), so a seed always gives the same school.
class Random {
public:
    explicit Random(quint64 seed) : s_(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    quint64 next() {
        quint64 z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return n <= 0 ? 0 : static_cast<int>(next() % static_cast<quint64>(n)); }
    bool chance(int percent) { return below(100) < percent; }
    template <class T> void shuffle(std::vector<T>& v) {
        for (size_t i = v.size(); i > 1; --i)
            std::swap(v[i - 1], v[static_cast<size_t>(below(static_cast<int>(i)))]);
    }

private:
    quint64 s_;
};

// ---- The school's fixed content --------------------------------------------------------

constexpr int CourseCount = 7; // courses 5 to 11
constexpr int DayCount = 6;

enum RoomKind { NoRoomType = -1, CommonRoom, InformaticsRoom, LabRoom, GymRoom, RoomKindCount };
inline const char* const RoomTypeNames[RoomKindCount] = {"Обычный кабинет", "Кабинет информатики",
                                                         "Лаборатория", "Спортивный зал"};

enum SpecialtyKind {
    SpecRussian,
    SpecForeign,
    SpecMaths,
    SpecInformatics,
    SpecHistory,
    SpecGeography,
    SpecBiology,
    SpecChemistry,
    SpecPhysics,
    SpecArts,
    SpecTechnology,
    SpecSport,
    SpecCount
};
inline const char* const SpecNames[SpecCount] = {
    "Русский язык", "Иностранный язык", "Математика", "Информатика", "История и общество",
    "География",    "Биология",         "Химия",      "Физика",      "Искусство",
    "Технология",   "Физкультура и ОБЖ"};

struct CycleDef {
    const char* name;
    int perDay; ///< most lessons of the cycle a group may have in one day
    Long color;
};
enum Cycle { CPhil, CForeign, CMath, CInf, CSoc, CNat, CArt, CTech, CSport, CycleCount };
inline const CycleDef Cycles[CycleCount] = {
    {"Филология", 3, 0xC0E0FF},          {"Иностранные языки", 2, 0xFFE0C0},
    {"Математика", 3, 0xC0FFC0},         {"Информатика", 2, 0xFFC0E0},
    {"Общественные науки", 2, 0xC0FFFF}, {"Естественные науки", 3, 0xE0FFE0},
    {"Искусство", 2, 0xFFFFC0},          {"Технология", 2, 0xE0E0E0},
    {"Физкультура и ОБЖ", 2, 0xD0D0FF}};

using Hours = std::array<int, CourseCount>;
struct SubjectDef {
    const char* name;
    Cycle cycle;
    SpecialtyKind specialty;
    bool split; ///< taught in two halves of the group
    RoomKind mainRoom;
    RoomKind additionalRoom;
    Hours single;
    Hours coupled;
};
inline constexpr Hours None{};
inline const SubjectDef Subjects[] = {
    {"Русский язык",
     CPhil,
     SpecRussian,
     false,
     NoRoomType,
     NoRoomType,
     {5, 6, 4, 3, 3, 3, 2},
     None},
    {"Литература", CPhil, SpecRussian, false, NoRoomType, NoRoomType, {3, 3, 2, 2, 3, 3, 3}, None},
    {"Родной язык", CPhil, SpecRussian, false, NoRoomType, NoRoomType, {1, 1, 1, 1, 1, 0, 0}, None},
    {"Иностранный язык",
     CForeign,
     SpecForeign,
     true,
     NoRoomType,
     NoRoomType,
     {3, 3, 3, 3, 3, 3, 3},
     None},
    {"Математика", CMath, SpecMaths, false, NoRoomType, NoRoomType, {5, 5, 0, 0, 0, 0, 0}, None},
    {"Алгебра", CMath, SpecMaths, false, NoRoomType, NoRoomType, {0, 0, 3, 3, 3, 3, 3}, None},
    {"Геометрия", CMath, SpecMaths, false, NoRoomType, NoRoomType, {0, 0, 2, 2, 2, 2, 2}, None},
    {"Вероятность и стат.",
     CMath,
     SpecMaths,
     false,
     NoRoomType,
     NoRoomType,
     {0, 0, 1, 1, 1, 1, 1},
     None},
    {"Информатика",
     CInf,
     SpecInformatics,
     true,
     InformaticsRoom,
     NoRoomType,
     {1, 1, 1, 1, 1, 1, 1},
     None},
    {"История", CSoc, SpecHistory, false, NoRoomType, NoRoomType, {2, 2, 2, 2, 3, 2, 2}, None},
    {"Обществознание",
     CSoc,
     SpecHistory,
     false,
     NoRoomType,
     NoRoomType,
     {0, 1, 1, 1, 1, 2, 2},
     None},
    {"ОДНКНР", CSoc, SpecHistory, false, NoRoomType, NoRoomType, {1, 1, 0, 0, 0, 0, 0}, None},
    {"География", CNat, SpecGeography, false, NoRoomType, NoRoomType, {1, 1, 2, 2, 2, 1, 1}, None},
    {"Биология", CNat, SpecBiology, false, LabRoom, CommonRoom, {1, 1, 1, 2, 2, 1, 1}, None},
    {"Физика", CNat, SpecPhysics, false, LabRoom, NoRoomType, {0, 0, 2, 2, 3, 2, 2}, None},
    {"Химия", CNat, SpecChemistry, false, LabRoom, NoRoomType, {0, 0, 0, 2, 2, 1, 1}, None},
    {"Астрономия", CNat, SpecPhysics, false, NoRoomType, NoRoomType, {0, 0, 0, 0, 0, 0, 1}, None},
    {"Музыка", CArt, SpecArts, false, NoRoomType, NoRoomType, {1, 1, 1, 1, 0, 0, 0}, None},
    {"ИЗО", CArt, SpecArts, false, NoRoomType, NoRoomType, {1, 1, 1, 0, 0, 0, 0}, None},
    {"Технология",
     CTech,
     SpecTechnology,
     true,
     NoRoomType,
     NoRoomType,
     {0, 0, 0, 1, 0, 0, 0},
     {2, 2, 2, 0, 0, 0, 0}},
    {"Физическая культура",
     CSport,
     SpecSport,
     false,
     GymRoom,
     NoRoomType,
     {3, 3, 3, 3, 3, 1, 1},
     {0, 0, 0, 0, 0, 2, 2}},
    {"ОБЖ", CSport, SpecSport, false, NoRoomType, NoRoomType, {0, 0, 0, 1, 1, 1, 1}, None},
};
constexpr int SubjectCount = static_cast<int>(std::size(Subjects));

/// The in-depth stream (mathematics, physics, informatics) differs in these subjects.
struct StreamTwoHours {
    const char* subject;
    Hours single;
    Hours coupled;
};
inline const StreamTwoHours StreamTwo[] = {
    {"Литература", {3, 3, 2, 2, 2, 2, 2}, None},
    {"Алгебра", {0, 0, 4, 4, 4, 4, 4}, None},
    {"Геометрия", {0, 0, 3, 3, 3, 3, 3}, None},
    {"Физика", {0, 0, 3, 3, 4, 3, 3}, {0, 0, 0, 0, 0, 2, 2}},
    {"Информатика", {1, 1, 1, 2, 2, 2, 2}, {0, 0, 0, 0, 0, 2, 2}},
};

/// Subjects that a few pairs of groups hear together as a lecture.
inline const char* const LectureSubjects[] = {"Астрономия", "ОБЖ", "Обществознание", "История"};

inline const char* const StreamNames[2] = {"Общеобразовательный", "Углублённый"};
inline const char* const DayNames[DayCount] = {"Понедельник", "Вторник", "Среда",
                                               "Четверг",     "Пятница", "Суббота"};
inline const char* const Letters[] = {"А", "Б", "В", "Г", "Д", "Е", "Ж", "З", "И", "К", "Л", "М",
                                      "Н", "О", "П", "Р", "С", "Т", "У", "Ф", "Х", "Ц"};

inline const char* const Surnames[] = {
    "Иванов",    "Петров",    "Смирнов",   "Кузнецов", "Попов",      "Соколов",   "Лебедев",
    "Козлов",    "Новиков",   "Морозов",   "Волков",   "Алексеев",   "Семёнов",   "Егоров",
    "Павлов",    "Степанов",  "Николаев",  "Орлов",    "Андреев",    "Макаров",   "Никитин",
    "Захаров",   "Зайцев",    "Соловьёв",  "Борисов",  "Яковлев",    "Григорьев", "Романов",
    "Воробьёв",  "Сергеев",   "Фролов",    "Дмитриев", "Королёв",    "Гусев",     "Киселёв",
    "Ильин",     "Максимов",  "Поляков",   "Сорокин",  "Виноградов", "Ковалёв",   "Белов",
    "Медведев",  "Антонов",   "Тарасов",   "Жуков",    "Баранов",    "Филиппов",  "Комаров",
    "Давыдов",   "Беляев",    "Герасимов", "Богданов", "Осипов",     "Сидоров",   "Матвеев",
    "Титов",     "Марков",    "Миронов",   "Крылов",   "Куликов",    "Карпов",    "Власов",
    "Мельников", "Денисов",   "Гаврилов",  "Тихонов",  "Казаков",    "Афанасьев", "Данилов",
    "Савельев",  "Тимофеев",  "Фомин",     "Чернов",   "Абрамов",    "Мартынов",  "Ефимов",
    "Федотов",   "Щербаков",  "Назаров",   "Калинин",  "Исаев",      "Быков",     "Маслов",
    "Родионов",  "Коновалов", "Лазарев",   "Воронин",  "Климов",     "Филатов",   "Голубев",
    "Кудрявцев", "Прохоров",  "Наумов",    "Потапов",  "Журавлёв"};
inline const char* const Initials = "АБВГДЕИКЛМНОПРСТЮЯ";

struct SizeDef {
    std::array<int, CourseCount> groups; ///< groups per course
    int teachers;
    int lessonsPerDay;
    int lectures;
    int inDepthPercent; ///< share of a year's classes (from the seventh) in the in-depth stream
};
inline SizeDef sizeDef(SchoolSize s) {
    switch (s) {
    case SchoolSize::Small:
        return {{2, 2, 2, 1, 1, 1, 1}, 20, 7, 1, 50};
    case SchoolSize::Medium:
        return {{5, 5, 4, 4, 4, 4, 4}, 55, 7, 3, 50};
    case SchoolSize::Large:
        return {{9, 9, 9, 9, 8, 8, 8}, 100, 8, 6, 33};
    case SchoolSize::ExtraLarge: // a school complex: about 150 classes, 6,000 lessons a week
        return {{22, 22, 22, 21, 21, 21, 21}, 250, 8, 20, 33};
    }
    return {};
}

// ---- The model built in memory before anything is written -------------------------------

struct GroupDef {
    int course; ///< 0 = course 5
    int stream; ///< 0 or 1
    QString letter;
    int hours = 0; ///< cells a week (parallel subgroups once)
    Short code = 0;
};
struct ItemDef {
    int course, stream, subject, single, coupled;
    Short code = 0;
};
/// A lesson kind: the entries of one plan item for one group and subgroup.
struct KindDef {
    int item, group, sub, entries;
    int teacher = -1;
    int link = -1;
};
struct TeacherDef {
    int specialty;
    QString name;
    int load = 0; ///< cells a week (a lecture once)
    int mainRoom = -1, additionalRoom = -1;
    Short code = 0;
};
struct RoomDef {
    RoomKind kind;
    QString number;
    bool own = false; ///< some teacher's main or additional room
    Long code = 0;
};
struct LinkDef {
    QString name;
    bool lecture;
    std::vector<int> kinds;
    Short code = 0;
};
/// A share of the teachers' load: what one teacher gives to one group (or subgroup) in one
/// speciality, or one lecture.
struct Unit {
    int specialty, hours;
    std::vector<int> kinds;
    int group = -1, sub = 0;
    bool lecture = false;
};
struct Cell {
    int day, lesson; // 1-based
    bool operator<(const Cell& o) const {
        return std::tie(day, lesson) < std::tie(o.day, o.lesson);
    }
};
struct RestrictionDef {
    Short objectType;
    int object; ///< index in groups, teachers or rooms
    int week;
    Cell cell;
    Short level;
};

class Builder {
public:
    Builder(Dictionary& dict, const SampleOptions& o)
        : dict_(dict), opt_(o), size_(sizeDef(o.size)), rnd_(o.seed),
          cells_(DayCount * size_.lessonsPerDay) {}

    bool run(SampleSummary* summary, QString* error);

private:
    // model
    void makeGroups();
    void makePlan();
    void makeKinds();
    void chooseLectures();
    bool assignTeachers(QString* error);
    void makeLinks();
    void makeRooms();
    void makeRestrictions();
    QString uniqueTeacherName();
    static QString roomNumber(RoomKind kind, int i);
    // planted schools: a complete timetable first, the school around it
    void fillPlan();
    void addTeachersForPlan(int hoursBefore);
    bool plant(QString* error);
    std::vector<int> roomsFor(int teacher, int subject) const;
    void keepForbiddenCellsFree();
    int plannedHours() const;
    // writing
    bool writeReference(QString* error);
    bool writeGroupsAndPlan(QString* error);
    bool writeLoadAndLinks(QString* error);
    bool writeRestrictions(QString* error);

    int subjectIndex(const char* name) const {
        for (int i = 0; i < SubjectCount; ++i)
            if (qstrcmp(Subjects[i].name, name) == 0) return i;
        return -1;
    }
    QString groupId(int g) const {
        return QString::number(groups_[static_cast<size_t>(g)].course + 5) + QLatin1Char('-') +
               groups_[static_cast<size_t>(g)].letter;
    }
    bool failed(const Outcome& o, const QString& what, QString* error) const {
        if (o.ok()) return false;
        if (error)
            *error = what + QStringLiteral(": ") +
                     withLineBreaks(ErrorReporter::text(o.msgNo, o.args))
                         .replace(QLatin1Char('\n'), QLatin1Char(' '));
        return true;
    }

    Dictionary& dict_;
    SampleOptions opt_;
    SizeDef size_;
    Random rnd_;
    int cells_; ///< cells of one week

    std::vector<GroupDef> groups_;
    std::vector<ItemDef> items_;
    std::vector<KindDef> kinds_;
    std::vector<std::array<int, 2>> lectures_; ///< kinds heard together
    std::vector<TeacherDef> teachers_;
    std::vector<RoomDef> rooms_;
    std::vector<LinkDef> links_;
    std::vector<RestrictionDef> restrictions_;
    std::array<Long, RoomKindCount> roomTypeCodes_{};
    std::array<Short, SubjectCount> subjectCodes_{};
    std::array<Short, 2> streamCodes_{};
    std::set<QString> teacherNames_; ///< upper case

    /// Where the planted timetable puts each entry of each kind: cell (day * lessons + lesson,
    /// from 0), teacher and room; empty when the school is not planted.
    struct Placed {
        int cell = -1, teacher = -1, room = -1;
    };
    std::vector<std::vector<Placed>> planted_;
};

} // namespace sample::model
