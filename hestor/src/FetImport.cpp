#include "hestor/FetImport.h"

#include "FetModel.h"
#include "tamsel/Dictionary.h"
#include "tamsel/Relations.h"
#include "tamsel/Schema.h"
#include "tamsel/Snapshots.h"
#include "tamsel/Transaction.h"
#include "tamsel/WritingLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <algorithm>
#include <set>

namespace hestor {

using namespace tamsel;

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

const QString Caption = QStringLiteral("Импорт из FET");

/// Russian names of the FET constraints a school file most often holds; others go by their
/// FET name.
QString constraintName(const QString& tag) {
    static const std::map<QString, const char*> names{
        {"ConstraintMinDaysBetweenActivities", "минимум дней между уроками"},
        {"ConstraintMaxDaysBetweenActivities", "максимум дней между уроками"},
        {"ConstraintMinGapsBetweenActivities", "минимум окон между уроками"},
        {"ConstraintActivitiesSameStartingTime", "одновременные уроки"},
        {"ConstraintActivitiesNotOverlapping", "неперекрывающиеся уроки"},
        {"ConstraintActivityPreferredStartingTime", "заданное время урока"},
        {"ConstraintActivityPreferredStartingTimes", "предпочтительное время урока"},
        {"ConstraintActivitiesPreferredStartingTimes", "предпочтительное время уроков"},
        {"ConstraintActivityPreferredTimeSlots", "предпочтительные часы урока"},
        {"ConstraintActivitiesPreferredTimeSlots", "предпочтительные часы уроков"},
        {"ConstraintTeacherMaxDaysPerWeek", "максимум дней в неделю у учителя"},
        {"ConstraintTeachersMaxGapsPerWeek", "максимум окон в неделю у учителей"},
        {"ConstraintTeacherMaxGapsPerWeek", "максимум окон в неделю у учителя"},
        {"ConstraintTeachersMaxGapsPerDay", "максимум окон в день у учителей"},
        {"ConstraintTeacherMaxGapsPerDay", "максимум окон в день у учителя"},
        {"ConstraintTeachersMaxHoursDaily", "максимум уроков в день у учителей"},
        {"ConstraintTeacherMaxHoursDaily", "максимум уроков в день у учителя"},
        {"ConstraintTeachersMinHoursDaily", "минимум уроков в день у учителей"},
        {"ConstraintTeacherMinHoursDaily", "минимум уроков в день у учителя"},
        {"ConstraintStudentsMaxGapsPerWeek", "максимум окон в неделю у учеников"},
        {"ConstraintStudentsEarlyMaxBeginningsAtSecondHour", "уроки учеников с первого часа"},
        {"ConstraintStudentsSetEarlyMaxBeginningsAtSecondHour", "уроки учеников с первого часа"},
        {"ConstraintTeacherIntervalMaxDaysPerWeek", "дни учителя в промежутке часов"},
    };
    const auto found = names.find(tag);
    return found != names.end() ? u(found->second) : tag;
}

/// Limits of the data files' fields.
constexpr int TeacherWidth = 20, ScienceWidth = 20, RoomWidth = 7, StreamWidth = 25,
              DayWidth = 15, LinkWidth = 225;

/// Unique names within one kind, compared as the name keys compare them (case folded).
class Names {
public:
    Names(int width, QString what, QStringList& changed)
        : width_(width), what_(std::move(what)), changed_(changed) {}
    QString fit(const QString& original) {
        const QString name = original.simplified();
        QString candidate = name.left(width_).trimmed();
        if (candidate.isEmpty()) candidate = u("?");
        for (int n = 2; used_.contains(foldKey(candidate)); ++n) {
            const QString tail = QStringLiteral("~%1").arg(n);
            candidate = name.left(width_ - tail.size()).trimmed() + tail;
        }
        used_.insert(foldKey(candidate));
        if (candidate != name)
            changed_ << u("%1 «%2» записан как «%3»").arg(what_, name, candidate);
        return candidate;
    }

private:
    int width_;
    QString what_;
    QStringList& changed_;
    QSet<QString> used_;
};

/// "08:00-08:45", "13.30 - 14.30" or "1 (08:00-08:45)": the bell's times when the hour's name
/// gives them.
bool bellTimes(const QString& name, Long* begin, Long* end) {
    static const QRegularExpression re(QStringLiteral(
        "([0-9]{1,2})[:.]([0-9]{2})\\s*[-–]\\s*([0-9]{1,2})[:.]([0-9]{2})"));
    const auto m = re.match(name);
    if (!m.hasMatch()) return false;
    const int h1 = m.captured(1).toInt(), m1 = m.captured(2).toInt();
    const int h2 = m.captured(3).toInt(), m2 = m.captured(4).toInt();
    if (h1 > 23 || h2 > 23 || m1 > 59 || m2 > 59) return false;
    *begin = timeOf(h1, m1);
    *end = timeOf(h2, m2);
    return true;
}

/// A group's letter holds two characters: numbers up to 99, then a letter and a digit
/// ("А0" … "Я9") for years with more sets.
const QString LiteralLetters = QStringLiteral("АБВГДЕЖЗИКЛМНОПРСТУФХЦЧШЭЮЯ");
const int MaxLiteral = 99 + 10 * 27;
QString literalOf(int n) {
    if (n <= 99) return QString::number(n);
    return LiteralLetters[(n - 100) / 10] + QString::number((n - 100) % 10);
}

struct Activity {
    int id = 0;
    int teacher = -1; ///< index into the teachers; -1 none
    int extraTeachers = 0;
    int subject = -1;
    std::vector<int> leaves; ///< sorted
    int duration = 1;
};

/// One kind of lesson: what the plan holds as one item per group (and a link when the
/// activity is given to several groups at once).
struct Kind {
    int subject = 0;
    std::vector<int> leaves;
    int teacher = -1; ///< the one teacher of a link; -1 for a kind of one group
    int variant = 0;
    std::vector<std::pair<int, bool>> units; ///< (teacher, pair) in file order
    std::vector<int> activities;
};

class Importer {
public:
    Importer(Dictionary& dict, FetImportResult& result) : d_(dict), r_(result) {}

    /// Reads the tree into the model; an empty text when it holds together, else why not.
    QString read(const fet::Node& root);
    /// Writes the model into the (empty) school of `target`; false after showing why.
    bool write(Dictionary& target);

private:
    void notCarried(const QString& what, int count = 1) { lost_[what] += count; }
    std::vector<int> leavesOf(const QString& set) const {
        const auto f = sets_.find(set);
        return f == sets_.end() ? std::vector<int>{} : f->second;
    }
    void addRestriction(Short type, Short code, int day, int hour, Short level) {
        Short& l = restrictions_[{type, code, day, hour}];
        l = std::max(l, level);
    }
    bool cells(const fet::Node& c, const QString& item, std::vector<std::pair<int, int>>* out,
               QString* error) const;
    bool stored(const Outcome& o, const QString& what);

    Dictionary& d_;
    FetImportResult& r_;

    QStringList days_, hours_, subjects_, teachers_, rooms_;
    std::map<QString, int> dayIndex_, hourIndex_, subjectIndex_, teacherIndex_, roomIndex_;
    struct Leaf {
        QString name;
        int year = 0;
        int literal = 0;
    };
    std::vector<Leaf> leaves_;
    int years_ = 0;
    std::map<QString, std::vector<int>> sets_; ///< every student set to its leaves
    std::vector<Activity> activities_;
    std::map<int, size_t> activityById_;
    std::map<std::tuple<Short, Short, int, int>, Short> restrictions_;
    // Preferred rooms of activities, subjects and teachers (FET's order kept).
    std::map<int, std::vector<int>> activityRooms_, subjectRooms_, teacherRooms_;
    std::map<QString, int> lost_;
    int splitLong_ = 0, extraTeachers_ = 0, withoutStudents_ = 0, inactive_ = 0;
};

bool Importer::cells(const fet::Node& c, const QString& item,
                     std::vector<std::pair<int, int>>* out, QString* error) const {
    for (const fet::Node* t : c.all(item)) {
        const auto day = dayIndex_.find(t->value(QStringLiteral("Day")));
        const auto hour = hourIndex_.find(t->value(QStringLiteral("Hour")));
        if (day == dayIndex_.end() || hour == hourIndex_.end()) {
            *error = u("ограничение %1 называет день «%2» или час «%3», которых нет в списках")
                         .arg(c.name, t->value(QStringLiteral("Day")),
                              t->value(QStringLiteral("Hour")));
            return false;
        }
        out->emplace_back(day->second, hour->second);
    }
    return true;
}

QString Importer::read(const fet::Node& root) {
    if (root.name != QLatin1String("fet")) return u("это не файл FET (корневой элемент «%1»)").arg(root.name);
    auto list = [&](const char* listName, const char* item, QStringList& names,
                    std::map<QString, int>& index) -> QString {
        const fet::Node* l = root.child(QLatin1String(listName));
        if (!l) return {};
        for (const fet::Node* n : l->all(QLatin1String(item))) {
            const QString name = n->value(QStringLiteral("Name"));
            if (index.count(name)) return u("«%1» повторяется в списке %2").arg(name, QLatin1String(listName));
            index[name] = static_cast<int>(names.size());
            names << name;
        }
        return {};
    };
    for (QString e : {list("Days_List", "Day", days_, dayIndex_),
                      list("Hours_List", "Hour", hours_, hourIndex_),
                      list("Subjects_List", "Subject", subjects_, subjectIndex_),
                      list("Teachers_List", "Teacher", teachers_, teacherIndex_),
                      list("Rooms_List", "Room", rooms_, roomIndex_)})
        if (!e.isEmpty()) return e;
    if (days_.isEmpty() || hours_.isEmpty()) return u("в файле нет списка дней или часов");
    if (days_.size() > 99 || hours_.size() > 999) return u("слишком много дней или часов");

    // Student sets: the sets with nothing under them are the groups.
    if (const fet::Node* students = root.child(QStringLiteral("Students_List"))) {
        std::map<QString, int> leafByName;
        for (const fet::Node* y : students->all(QStringLiteral("Year"))) {
            const int year = ++years_;
            if (year > 99) return u("больше 99 курсов (годов обучения)");
            int literal = 0;
            auto leaf = [&](const QString& name) -> QString {
                const auto f = leafByName.find(name);
                if (f != leafByName.end()) return {};
                if (++literal > MaxLiteral) return u("в годе «%1» больше %2 групп").arg(y->value(QStringLiteral("Name"))).arg(MaxLiteral);
                leafByName[name] = static_cast<int>(leaves_.size());
                leaves_.push_back({name, year, literal});
                return {};
            };
            const QString yName = y->value(QStringLiteral("Name"));
            std::vector<int>& ySet = sets_[yName];
            const auto groups = y->all(QStringLiteral("Group"));
            if (groups.empty()) {
                if (QString e = leaf(yName); !e.isEmpty()) return e;
                ySet.push_back(leafByName[yName]);
            }
            for (const fet::Node* g : groups) {
                const QString gName = g->value(QStringLiteral("Name"));
                std::vector<int> gLeaves;
                const auto subs = g->all(QStringLiteral("Subgroup"));
                if (subs.empty()) {
                    if (QString e = leaf(gName); !e.isEmpty()) return e;
                    gLeaves.push_back(leafByName[gName]);
                }
                for (const fet::Node* s : subs) {
                    const QString sName = s->value(QStringLiteral("Name"));
                    if (QString e = leaf(sName); !e.isEmpty()) return e;
                    gLeaves.push_back(leafByName[sName]);
                    sets_[sName] = {leafByName[sName]};
                }
                auto& gs = sets_[gName];
                gs.insert(gs.end(), gLeaves.begin(), gLeaves.end());
                ySet.insert(ySet.end(), gLeaves.begin(), gLeaves.end());
            }
        }
        for (auto& [name, v] : sets_) {
            std::sort(v.begin(), v.end());
            v.erase(std::unique(v.begin(), v.end()), v.end());
        }
    }

    if (const fet::Node* acts = root.child(QStringLiteral("Activities_List"))) {
        for (const fet::Node* a : acts->all(QStringLiteral("Activity"))) {
            Activity x;
            x.id = a->value(QStringLiteral("Id")).toInt();
            if (a->value(QStringLiteral("Active")) == QLatin1String("false")) {
                ++inactive_;
                continue;
            }
            const QString subject = a->value(QStringLiteral("Subject"));
            const auto s = subjectIndex_.find(subject);
            if (s == subjectIndex_.end())
                return u("урок %1 называет предмет «%2», которого нет в списке предметов").arg(x.id).arg(subject);
            x.subject = s->second;
            for (const fet::Node* t : a->all(QStringLiteral("Teacher"))) {
                const auto f = teacherIndex_.find(t->text.trimmed());
                if (f == teacherIndex_.end())
                    return u("урок %1 называет учителя «%2», которого нет в списке учителей").arg(x.id).arg(t->text.trimmed());
                if (x.teacher < 0)
                    x.teacher = f->second;
                else
                    ++x.extraTeachers;
            }
            for (const fet::Node* st : a->all(QStringLiteral("Students"))) {
                const auto f = sets_.find(st->text.trimmed());
                if (f == sets_.end())
                    return u("урок %1 называет учеников «%2», которых нет в списке учеников").arg(x.id).arg(st->text.trimmed());
                x.leaves.insert(x.leaves.end(), f->second.begin(), f->second.end());
            }
            std::sort(x.leaves.begin(), x.leaves.end());
            x.leaves.erase(std::unique(x.leaves.begin(), x.leaves.end()), x.leaves.end());
            x.duration = std::max(1, a->value(QStringLiteral("Duration")).toInt());
            if (x.leaves.empty()) {
                ++withoutStudents_;
                continue;
            }
            if (x.extraTeachers) ++extraTeachers_;
            activityById_[x.id] = activities_.size();
            activities_.push_back(std::move(x));
        }
    }

    // Constraints: what the school can hold is taken, the rest is counted by kind.
    QString error;
    auto roomsOf = [&](const fet::Node* c, std::vector<int>& out) {
        for (const char* item : {"Room", "Preferred_Room"})
            for (const fet::Node* n : c->all(QLatin1String(item))) {
                const auto f = roomIndex_.find(n->text.trimmed());
                if (f == roomIndex_.end()) {
                    error = u("ограничение %1 называет кабинет «%2», которого нет в списке").arg(c->name, n->text.trimmed());
                    return false;
                }
                if (std::find(out.begin(), out.end(), f->second) == out.end()) out.push_back(f->second);
            }
        return true;
    };
    for (const char* listName : {"Time_Constraints_List", "Space_Constraints_List"}) {
        const fet::Node* l = root.child(QLatin1String(listName));
        if (!l) continue;
        for (const fet::Node& c : l->kids) {
            if (c.value(QStringLiteral("Active")) == QLatin1String("false")) continue;
            const QString tag = c.name;
            // Always held: a teacher, a group and a room have one lesson at a time.
            if (tag == QLatin1String("ConstraintBasicCompulsoryTime") ||
                tag == QLatin1String("ConstraintBasicCompulsorySpace"))
                continue;
            const double weight = c.value(QStringLiteral("Weight_Percentage")).toDouble();
            const Short level = weight >= 100 ? RestrictionLevel::Forbidden : RestrictionLevel::Undesirable;
            std::vector<std::pair<int, int>> at;
            if (tag == QLatin1String("ConstraintTeacherNotAvailableTimes")) {
                const auto t = teacherIndex_.find(c.value(QStringLiteral("Teacher")));
                if (t == teacherIndex_.end())
                    return u("ограничение %1 называет неизвестного учителя «%2»").arg(tag, c.value(QStringLiteral("Teacher")));
                if (!cells(c, QStringLiteral("Not_Available_Time"), &at, &error)) return error;
                for (auto [day, hour] : at)
                    addRestriction(ObjectType::Teacher, Short(t->second), day, hour, level);
            } else if (tag == QLatin1String("ConstraintStudentsSetNotAvailableTimes")) {
                const auto s = sets_.find(c.value(QStringLiteral("Students")));
                if (s == sets_.end())
                    return u("ограничение %1 называет неизвестных учеников «%2»").arg(tag, c.value(QStringLiteral("Students")));
                if (!cells(c, QStringLiteral("Not_Available_Time"), &at, &error)) return error;
                for (int leaf : s->second)
                    for (auto [day, hour] : at)
                        addRestriction(ObjectType::Group, Short(leaf), day, hour, level);
            } else if (tag == QLatin1String("ConstraintBreakTimes")) {
                if (!cells(c, QStringLiteral("Break_Time"), &at, &error)) return error;
                for (size_t leaf = 0; leaf < leaves_.size(); ++leaf)
                    for (auto [day, hour] : at)
                        addRestriction(ObjectType::Group, Short(leaf), day, hour, level);
            } else if (tag == QLatin1String("ConstraintRoomNotAvailableTimes")) {
                const auto rm = roomIndex_.find(c.value(QStringLiteral("Room")));
                if (rm == roomIndex_.end())
                    return u("ограничение %1 называет неизвестный кабинет «%2»").arg(tag, c.value(QStringLiteral("Room")));
                if (!cells(c, QStringLiteral("Not_Available_Time"), &at, &error)) return error;
                for (auto [day, hour] : at)
                    addRestriction(ObjectType::Room, Short(rm->second), day, hour, level);
            } else if (tag == QLatin1String("ConstraintActivityPreferredRoom") ||
                       tag == QLatin1String("ConstraintActivityPreferredRooms")) {
                const int id = c.value(QStringLiteral("Activity_Id")).toInt();
                if (!activityById_.count(id)) continue; // an inactive or student-less activity
                if (!roomsOf(&c, activityRooms_[id])) return error;
            } else if (tag == QLatin1String("ConstraintSubjectPreferredRoom") ||
                       tag == QLatin1String("ConstraintSubjectPreferredRooms")) {
                const auto s = subjectIndex_.find(c.value(QStringLiteral("Subject")));
                if (s == subjectIndex_.end())
                    return u("ограничение %1 называет неизвестный предмет «%2»").arg(tag, c.value(QStringLiteral("Subject")));
                if (!roomsOf(&c, subjectRooms_[s->second])) return error;
            } else if (tag == QLatin1String("ConstraintTeacherHomeRoom") ||
                       tag == QLatin1String("ConstraintTeacherHomeRooms")) {
                const auto t = teacherIndex_.find(c.value(QStringLiteral("Teacher")));
                if (t == teacherIndex_.end())
                    return u("ограничение %1 называет неизвестного учителя «%2»").arg(tag, c.value(QStringLiteral("Teacher")));
                if (!roomsOf(&c, teacherRooms_[t->second])) return error;
            } else {
                notCarried(u("ограничений «%1»").arg(constraintName(tag)));
            }
        }
    }
    if (withoutStudents_) notCarried(u("уроков без учеников"), withoutStudents_);
    if (extraTeachers_) notCarried(u("уроков с несколькими учителями: взят первый, прочие учителя"), extraTeachers_);
    if (inactive_) notCarried(u("неактивных уроков"), inactive_);
    for (const auto& [what, count] : lost_) r_.notCarried << u("не перенесено: %1 %2").arg(count).arg(what);
    if (activities_.empty()) return u("в файле нет ни одного урока с учениками");
    return {};
}

bool Importer::stored(const Outcome& o, const QString& what) {
    if (o.ok()) return true;
    QString why = o.msgNo ? ErrorReporter::text(o.msgNo, o.args) : fileErrorText(o.fileError);
    why.replace(QLatin1Char('|'), QLatin1Char(' '));
    r_.reason = u("%1 не записан: %2").arg(what, why.simplified());
    return false;
}

bool Importer::write(Dictionary& t) {
    Relations rel(t);
    rel.setReporting(false);
    QStringList& changed = r_.changed;

    // Teachers: FET's, then one stand-in per group for lessons that have no teacher (a lesson
    // without a teacher would not keep its group's hour).
    std::vector<QString> teacherNames(teachers_.begin(), teachers_.end());
    std::map<int, int> standIn; // leaf -> teacher index
    std::map<std::tuple<int, std::vector<int>, int>, size_t> kindIndex;
    std::vector<Kind> kinds;
    for (size_t i = 0; i < activities_.size(); ++i) {
        Activity& a = activities_[i];
        if (a.teacher < 0) {
            const int leaf = a.leaves.front();
            auto [it, fresh] = standIn.emplace(leaf, static_cast<int>(teacherNames.size()));
            if (fresh) teacherNames.push_back(u("б/у %1-%2").arg(leaves_[size_t(leaf)].year).arg(literalOf(leaves_[size_t(leaf)].literal)));
            a.teacher = it->second;
        }
        const int linkTeacher = a.leaves.size() > 1 ? a.teacher : -1;
        auto [it, fresh] = kindIndex.emplace(std::tuple{a.subject, a.leaves, linkTeacher}, kinds.size());
        if (fresh) kinds.push_back({a.subject, a.leaves, linkTeacher, 0, {}, {}});
        Kind& k = kinds[it->second];
        k.activities.push_back(static_cast<int>(i));
        if (a.duration == 2) {
            k.units.emplace_back(a.teacher, true);
        } else {
            if (a.duration > 2) ++splitLong_;
            for (int h = 0; h < a.duration; ++h) k.units.emplace_back(a.teacher, false);
        }
    }
    if (!standIn.empty())
        changed << u("уроки без учителя (%1 групп) записаны на учителей «б/у группа»").arg(standIn.size());
    if (splitLong_) changed << u("%1 уроков длиннее двух часов записаны отдельными часами").arg(splitLong_);

    // A group's lessons of one subject are in one link or in none: a second kind of the same
    // subject for a group takes a variant of the subject ("Физика (2)").
    std::set<std::tuple<int, int, int>> used; // leaf, subject, variant
    for (int pass = 0; pass < 2; ++pass)
        for (Kind& k : kinds) {
            if ((k.teacher >= 0) != (pass == 1)) continue;
            for (k.variant = 0;; ++k.variant) {
                bool free = true;
                for (int leaf : k.leaves) free = free && !used.count({leaf, k.subject, k.variant});
                if (free) break;
            }
            for (int leaf : k.leaves) used.insert({leaf, k.subject, k.variant});
        }

    // Common room type; days; bells; courses; streams and groups.
    RoomType common = t.access<RoomType>(false).prime();
    common.RoomType = u("Общий");
    if (!stored(rel.insert(common), u("Тип кабинета «Общий»"))) return false;
    t.glo.CommonTypeRoomCode = common.SysCode;
    Names dayNames(DayWidth, u("День"), changed);
    for (int i = 0; i < days_.size(); ++i) {
        Days d;
        d.DaySeqNumber = static_cast<Short>(i + 1);
        d.DayName = dayNames.fit(days_[i]);
        if (!stored(rel.insert(d), u("День «%1»").arg(days_[i]))) return false;
    }
    for (int i = 0; i < hours_.size(); ++i) {
        LessonBell b;
        b.LessonNo = QString::number(i + 1).rightJustified(3, QLatin1Char(' '));
        bellTimes(hours_[i], &b.Begining, &b.Ending);
        if (!stored(rel.insert(b), u("Звонок «%1»").arg(hours_[i]))) return false;
    }
    for (int y = 1; y <= years_; ++y) {
        Course c;
        c.Course = QString::number(y);
        if (!stored(rel.insert(c), u("Курс %1").arg(y))) return false;
    }
    Names streamNames(StreamWidth, u("Поток (набор учеников)"), changed);
    std::vector<Short> groupCode(leaves_.size());
    for (size_t i = 0; i < leaves_.size(); ++i) {
        Stream s = t.access<Stream>(false).prime();
        s.Stream = streamNames.fit(leaves_[i].name);
        if (!stored(rel.insert(s), u("Поток «%1»").arg(s.Stream))) return false;
        Group g = t.access<Group>(false).prime();
        g.ObjectType = ObjectType::Group;
        g.Course = QString::number(leaves_[i].year);
        g.Defis = QStringLiteral("-");
        g.Literal = literalOf(leaves_[i].literal);
        g.StreamCode = s.StreamCode;
        if (!stored(rel.insert(g), u("Группа «%1»").arg(leaves_[i].name))) return false;
        groupCode[i] = g.GroupCode;
    }

    // Subjects with their variants, teachers, rooms.
    Names scienceNames(ScienceWidth, u("Предмет"), changed);
    std::map<std::pair<int, int>, Short> scienceCode;
    for (int pass = 0; pass < 2; ++pass)
        for (const Kind& k : kinds) {
            if ((k.variant > 0) != (pass == 1) || scienceCode.count({k.subject, k.variant})) continue;
            const QString base = subjects_[k.subject];
            Science s = t.access<Science>(false).prime();
            s.ObjectType = ObjectType::Science;
            s.Science = scienceNames.fit(k.variant == 0 ? base : u("%1 (%2)").arg(base.left(ScienceWidth - 5).trimmed()).arg(k.variant + 1));
            if (!stored(rel.insert(s), u("Предмет «%1»").arg(s.Science))) return false;
            scienceCode[{k.subject, k.variant}] = s.ScienceCode;
        }
    Names teacherFit(TeacherWidth, u("Учитель"), changed);
    std::vector<Short> teacherCode(teacherNames.size());
    for (size_t i = 0; i < teacherNames.size(); ++i) {
        Teacher x = t.access<Teacher>(false).prime();
        x.ObjectType = ObjectType::Teacher;
        x.TeacherName = teacherFit.fit(teacherNames[i]);
        if (!stored(rel.insert(x), u("Учитель «%1»").arg(x.TeacherName))) return false;
        teacherCode[i] = x.TeacherCode;
    }
    Names roomNames(RoomWidth, u("Кабинет"), changed);
    std::vector<Long> roomCode;
    auto addRoom = [&](const QString& name) -> bool {
        Room room = t.access<Room>(false).prime();
        room.ObjectType = ObjectType::Room;
        room.RoomTypePtr = common.SysCode;
        room.RoomNo = roomNames.fit(name);
        if (!stored(rel.insert(room), u("Кабинет «%1»").arg(name))) return false;
        roomCode.push_back(room.RoomCode);
        return true;
    };
    for (const QString& name : rooms_)
        if (!addRoom(name)) return false;

    // Room lists: the rooms an activity prefers (its own, its subject's, its teacher's home
    // rooms); a lesson that asks for none needs no room in FET, here a room of its teacher's
    // own ("уч" and the teacher's number), which never holds two lessons at once.
    std::map<int, size_t> ownRoom; // teacher -> room index
    std::map<std::pair<Short, Short>, std::vector<size_t>> roomLists;
    for (const Kind& k : kinds) {
        const Short sci = scienceCode[{k.subject, k.variant}];
        for (int ai : k.activities) {
            const Activity& a = activities_[size_t(ai)];
            std::vector<int> prefer = activityRooms_[a.id];
            if (prefer.empty()) prefer = subjectRooms_[a.subject];
            if (prefer.empty()) prefer = teacherRooms_[a.teacher];
            std::vector<size_t> rooms(prefer.begin(), prefer.end());
            if (rooms.empty()) {
                auto [it, fresh] = ownRoom.emplace(a.teacher, roomCode.size());
                if (fresh && !addRoom(u("уч%1").arg(teacherCode[size_t(a.teacher)]))) return false;
                rooms.push_back(it->second);
            }
            auto& list = roomLists[{teacherCode[size_t(a.teacher)], sci}];
            for (size_t r : rooms)
                if (std::find(list.begin(), list.end(), r) == list.end()) list.push_back(r);
        }
    }
    if (!ownRoom.empty())
        changed << u("%1 учителей получили свой кабинет «учN» для уроков, которым в FET кабинет не нужен").arg(ownRoom.size());

    // Restrictions, one transaction.
    {
        Transaction tx(t.store(), {FileId::Restriction, FileId::RoomList});
        if (!tx.active()) return stored(tx.error(), u("Ограничения"));
        auto res = tx.access<Restriction>();
        for (const auto& [key, level] : restrictions_) {
            const auto [type, index, day, hour] = key;
            Restriction x;
            x.ObjectType = type;
            x.ObjectCode = type == ObjectType::Teacher ? teacherCode[size_t(index)]
                           : type == ObjectType::Group ? groupCode[size_t(index)]
                                                       : static_cast<Short>(roomCode[size_t(index)]);
            x.DaySeqNumber = static_cast<Short>(day + 1);
            x.LessonNo = QString::number(hour + 1).rightJustified(3, QLatin1Char(' '));
            x.Restriction = level;
            for (int w = 1; w <= t.glo.WeeksInCycle; ++w) {
                x.Week = static_cast<Short>(w);
                Restriction fresh = x;
                if (!stored(res.insert(fresh), u("Ограничение"))) return false;
            }
        }
        auto lists = tx.access<RoomList>();
        for (const auto& [key, rooms] : roomLists)
            for (size_t i = 0; i < rooms.size(); ++i) {
                RoomList x;
                x.TeacherCode = key.first;
                x.ScienceCode = key.second;
                x.RoomCode = static_cast<Short>(roomCode[rooms[i]]);
                x.Priority = static_cast<Short>(i + 1);
                if (!stored(lists.insert(x), u("Список кабинетов"))) return false;
            }
        if (!stored(tx.commit(), u("Ограничения"))) return false;
    }

    // The plan: one item per group and subject (variant); storing it makes its entries.
    std::map<std::pair<int, Short>, TrainingCourse> items; // (leaf, science) -> item
    std::map<std::pair<int, Short>, std::vector<std::pair<int, bool>>> unitsOf;
    for (const Kind& k : kinds) {
        const Short sci = scienceCode[{k.subject, k.variant}];
        for (int leaf : k.leaves) {
            auto& units = unitsOf[{leaf, sci}];
            units.insert(units.end(), k.units.begin(), k.units.end());
        }
    }
    for (const auto& [key, units] : unitsOf) {
        TrainingCourse item = t.access<TrainingCourse>(false).prime();
        item.ScienceCode = key.second;
        item.Course = QString::number(leaves_[size_t(key.first)].year);
        Group gk;
        gk.GroupCode = groupCode[size_t(key.first)];
        item.StreamCode = t.access<Group>(false).fetch(Group::GroupCodeKey, gk).StreamCode;
        for (const auto& [teacher, pair] : units) (pair ? item.CoupledHours : item.SingleHours) += pair ? 2 : 1;
        if (item.SingleHours > 99 || item.CoupledHours > 99) {
            r_.reason = u("у группы «%1» больше 99 часов одного предмета").arg(leaves_[size_t(key.first)].name);
            return false;
        }
        if (!stored(rel.insert(item), u("Строка плана"))) return false;
        items[key] = item;
    }

    // Teachers of the entries, and the links, in one transaction.
    Transaction tx(t.store(), {FileId::Schedule, FileId::LsnLink, FileId::LsnLinkComp});
    if (!tx.active()) return stored(tx.error(), u("Уроки"));
    auto sch = tx.access<Schedule>();
    auto links = tx.access<LsnLink>();
    auto members = tx.access<LsnLinkComp>();
    Short nextLink = 1;
    for (const auto& [key, units] : unitsOf) {
        const TrainingCourse& item = items[key];
        Schedule from;
        from.TrainingCourseItemCode = item.TrainingCourseItemCode;
        std::vector<Schedule> entries = sch.read(Schedule::ItemCode, from, 1);
        std::sort(entries.begin(), entries.end(), [](const Schedule& a, const Schedule& b) { return a.rowId < b.rowId; });
        std::vector<Schedule*> singles, first, second;
        for (Schedule& e : entries)
            (e.CoupledLesson == 0 ? singles : e.CoupledLesson == 1 ? first : second).push_back(&e);
        size_t si = 0, pi = 0;
        for (const auto& [teacher, pair] : units) {
            const Short code = teacherCode[size_t(teacher)];
            if (!pair && si < singles.size()) singles[si++]->TeacherCode = code;
            if (pair && pi < first.size() && pi < second.size()) {
                first[pi]->TeacherCode = code;
                second[pi++]->TeacherCode = code;
            }
        }
        r_.lessons += static_cast<int>(entries.size());
        for (Schedule& e : entries)
            if (!stored(sch.update(e), u("Урок"))) return false;
    }
    for (const Kind& k : kinds) {
        if (k.teacher < 0) continue;
        const Short sci = scienceCode[{k.subject, k.variant}];
        LsnLink link;
        link.LinkCode = nextLink++;
        QStringList who;
        for (int leaf : k.leaves) who << leaves_[size_t(leaf)].name;
        link.LinkName = u("%1 в %2").arg(subjects_[k.subject], who.join(QStringLiteral(", "))).left(LinkWidth - 8).trimmed();
        link.LinkName += u(" №%1").arg(link.LinkCode); // names of links are unique
        link.IsLecture = 1;
        if (!stored(links.insert(link), u("Связь «%1»").arg(link.LinkName))) return false;
        for (int leaf : k.leaves) {
            const TrainingCourse& item = items[{leaf, sci}];
            LsnLinkComp m;
            m.LinkCode = link.LinkCode;
            m.TrainingCourseItemCode = item.TrainingCourseItemCode;
            m.GroupCode = groupCode[size_t(leaf)];
            if (!stored(members.insert(m), u("Член связи «%1»").arg(link.LinkName))) return false;
            Schedule from;
            from.TrainingCourseItemCode = item.TrainingCourseItemCode;
            for (Schedule e : sch.read(Schedule::ItemCode, from, 1)) {
                e.LinkCode = link.LinkCode;
                if (!stored(sch.update(e), u("Урок связи"))) return false;
            }
        }
    }
    return stored(tx.commit(), u("Уроки"));
}

/// The data files an import writes: every one but the archive.
std::vector<FileId> importedFiles() {
    std::vector<FileId> out;
    for (int i = 0; i < PhysicalFileCount; ++i)
        if (static_cast<FileId>(i) != FileId::Archive) out.push_back(static_cast<FileId>(i));
    return out;
}

} // namespace

FetImportResult ImportFet(Dictionary& dict, const QString& fetFile) {
    FetImportResult result;
    const QString unchanged = u("|Данные школы не изменены.");
    auto refuse = [&](const QString& why) {
        result.reason = why;
        dict.ui().tell(Caption, why + unchanged);
        return result;
    };
    fet::Node root;
    QString error;
    if (!fet::readTree(fetFile, root, &error))
        return refuse(u("Файл «%1» не читается: %2.").arg(QDir::toNativeSeparators(fetFile), error));
    Importer importer(dict, result);
    error = importer.read(root);
    if (!error.isEmpty())
        return refuse(u("Файл «%1» не импортирован: %2.").arg(QDir::toNativeSeparators(fetFile), error));

    WritingScope writing(dict);
    if (!writing) {
        result.reason = u("Папка занята другой программой.");
        return result;
    }
    // Only into a folder without a school: the import builds the whole school.
    for (FileId id : importedFiles()) {
        const QString path = dict.store().diskName(id);
        if (!QFileInfo::exists(path) || QFileInfo(path).size() == 0) continue;
        FileUse use(dict.store(), id, false);
        if (!use || use.file().table().count() > 0)
            return refuse(u("В папке «%1» уже есть данные школы (%2). Импорт из FET выполняется только в новую или пустую папку.")
                              .arg(QDir::toNativeSeparators(dict.workDir()), QFileInfo(path).fileName()));
    }

    QTemporaryDir work;
    if (!work.isValid()) return refuse(u("Не удалось создать временную папку: %1.").arg(work.errorString()));
    std::vector<FileContents> contents;
    Dictionary::DataSettings values;
    {
        Dictionary copy(work.path());
        copy.setUserInterface(dict.ui());
        copy.setProgress(dict.progress());
        copy.glo.WeeksInCycle = 1;
        std::vector<std::unique_ptr<FileUse>> open;
        for (FileId id : importedFiles()) {
            open.push_back(std::make_unique<FileUse>(copy.store(), id));
            if (!*open.back()) return refuse(u("Временная папка импорта не открывается."));
        }
        copy.store().beginBatch();
        dict.progress().start(u("Импорт из FET"));
        const bool ok = importer.write(copy);
        dict.progress().finish();
        copy.store().endBatch();
        if (!ok) {
            const QString why = result.reason;
            result.lessons = 0;
            return refuse(u("Импорт не выполнен: %1.").arg(why));
        }
        values = {1, copy.glo.CommonTypeRoomCode};
        open.clear();
        for (FileId id : importedFiles()) {
            Outcome o;
            contents.push_back({id, SnapshotDataFile(copy.store(), id, &o)});
            if (!o.ok()) return refuse(u("Импорт не выполнен: временные файлы не читаются."));
        }
        copy.store().closeAll();
    }
    QByteArray settings;
    if (!dict.settingsWithData(values, &settings, &error))
        return refuse(u("Файл настроек %1 не читается: %2.").arg(QDir::toNativeSeparators(dict.settings().path()), error));
    const Outcome o = InstallDataFiles(dict.store(), contents, {}, {{dict.settings().path(), settings}});
    if (!o.ok()) {
        if (o.msgNo) dict.errors().report(o.msgNo, o.args);
        result.reason = u("Импортированные данные не удалось записать.");
        return result;
    }
    dict.dataSettingsInstalled(values);
    result.done = true;
    return result;
}

} // namespace hestor
