#include "LodraSteps.h"

#include "faldin/Calendar.h"
#include "faldin/RoomLists.h"
#include "pivrel/engine/Engine.h"
#include "tamsel/Dictionary.h"
#include "tamsel/Relations.h"
#include "tamsel/Transaction.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>
#include <set>

namespace hestor {

using namespace tamsel;
using L = LegacyFileId;

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

/// The stream of old groups and plan rows that name none.
QString streamOrMain(const QString& name) {
    return name.isEmpty() ? u("Основной") : name;
}

QString fileName(L id) {
    return QLatin1String(legacyLayout(id).fileName);
}

} // namespace

QString LodraLessonNo(const QString& text) {
    const QString t = text.trimmed();
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    return digits.match(t).hasMatch() ? t.rightJustified(3, QLatin1Char(' ')) : t;
}

Long LodraTime(const QString& text, bool* ok) {
    static const QRegularExpression time(QStringLiteral("^([0-9]{1,2})[:.]([0-9]{2})$"));
    const auto m = time.match(text.trimmed());
    const int h = m.hasMatch() ? m.captured(1).toInt() : -1;
    const int min = m.hasMatch() ? m.captured(2).toInt() : -1;
    *ok = h >= 0 && h < 24 && min >= 0 && min < 60;
    return *ok ? timeOf(h, min) : 0;
}

// ---- Running a step ----------------------------------------------------------------------

std::vector<int> LodraSteps::fileOrder(L id) {
    std::vector<int> order(static_cast<size_t>(old(id).count()));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    return withoutRepeats(id, std::move(order));
}

std::vector<int> LodraSteps::withoutRepeats(L id, std::vector<int> order) {
    // The older product's files reach us without its key checks: a record that repeats an
    // earlier one's value of a unique key would be a second teacher of one name, a lesson
    // counted twice or two lessons of one teacher in a cell.
    const LegacyFile& f = old(id);
    const LegacyLayout& layout = legacyLayout(id);
    std::set<int> repeats;
    const bool report = reportedRepeats_.insert(id).second;
    for (const LegacyKey& key : layout.keys) {
        if (key.duplicates) continue;
        std::map<QString, int> first;
        for (int r = 0; r < f.count(); ++r) {
            QStringList values;
            bool blank = false;
            for (int c : key.components) {
                const bool text = layout.fields[static_cast<size_t>(c)].type == LegacyField::Text;
                values << (text ? f.text(r, c) : QString::number(f.number(r, c)));
                blank = blank || (text && values.size() == 1 && values.back().trimmed().isEmpty());
            }
            // A key led by a blank name names nothing (lessons without a room share a cell).
            if (blank) continue;
            const auto [at, fresh] = first.emplace(values.join(QChar(0x1F)), r);
            if (fresh || repeats.count(r)) continue;
            repeats.insert(r);
            if (report)
                skip(id, r,
                     u("повторяет запись %1 по ключу %2 (%3), не импортирована")
                         .arg(at->second + 1)
                         .arg(QLatin1String(key.name), values.join(QStringLiteral(", "))));
        }
    }
    order.erase(std::remove_if(order.begin(), order.end(),
                               [&](int r) { return repeats.count(r) > 0; }),
                order.end());
    return order;
}

QString LodraSteps::name(L id, int record, int field) const {
    return old(id).text(record, field).trimmed();
}

void LodraSteps::skip(L id, int record, const QString& why) {
    notTaken << u("%1, запись %2: %3").arg(fileName(id)).arg(record + 1).arg(why);
}

void LodraSteps::writeFailed(const Outcome& o) {
    ++failures;
    if (o.msgNo)
        d_.errors().report(o.msgNo, o.args);
    else
        d_.ui().tell(u("Импорт из АРМ \"Lodra\""), fileErrorText(o.fileError));
}

void LodraSteps::stored(const Outcome& o, L id, int record, const QString& what) {
    if (o.ok()) return;
    if (o.status == Outcome::Status::Error) {
        writeFailed(o);
        return;
    }
    QString why = ErrorReporter::text(o.msgNo, o.args);
    why.replace(QLatin1Char('|'), QLatin1Char(' '));
    skip(id, record, u("%1 не записан: %2").arg(what, why.simplified()));
}

bool LodraSteps::empty(const std::vector<FileId>& files) {
    Transaction tx(d_.store(), files);
    if (!tx.active()) {
        writeFailed(tx.error());
        return false;
    }
    for (FileId f : files) {
        const Outcome o = tx.table(f).removeAll();
        if (!o.ok()) {
            writeFailed(o);
            return false;
        }
    }
    const Outcome o = tx.commit();
    if (!o.ok()) writeFailed(o);
    return o.ok();
}

namespace {

/// The progress window of one step, finished however the step ends.
class StepProgress {
public:
    StepProgress(ProgressPort& p, const QString& prompt) : p_(p) { p_.start(prompt); }
    ~StepProgress() { p_.finish(); }
    /// False when the user cancelled.
    bool at(size_t done, size_t total) {
        const int percent = total ? static_cast<int>(done * 100 / total) : 100;
        if (percent == last_) return true;
        last_ = percent;
        p_.setPercent(percent);
        return !p_.cancelled();
    }

private:
    ProgressPort& p_;
    int last_ = -1;
};

} // namespace

bool LodraSteps::step(const QString& prompt, std::vector<FileId> files, std::vector<FileId> emptied,
                      const std::vector<int>& order,
                      const std::function<void(Transaction&, int)>& visit) {
    StepProgress progress(d_.progress(), prompt);
    Transaction tx(d_.store(), files);
    if (!tx.active()) {
        writeFailed(tx.error());
        return false;
    }
    for (FileId f : emptied) {
        const Outcome o = tx.table(f).removeAll();
        if (!o.ok()) {
            writeFailed(o);
            return false;
        }
    }
    for (size_t i = 0; i < order.size(); ++i) {
        if (!progress.at(i, order.size())) {
            cancelled = true;
            return false;
        }
        visit(tx, order[i]);
    }
    progress.at(order.size(), order.size());
    const Outcome o = tx.commit();
    if (!o.ok()) writeFailed(o);
    return o.ok() && failures == 0;
}

bool LodraSteps::stepWithRelations(const QString& prompt, std::vector<FileId> emptied,
                                   const std::vector<int>& order,
                                   const std::function<void(int)>& visit) {
    if (!emptied.empty() && !empty(emptied)) return false;
    StepProgress progress(d_.progress(), prompt);
    for (size_t i = 0; i < order.size(); ++i) {
        if (!progress.at(i, order.size())) {
            cancelled = true;
            return false;
        }
        visit(order[i]);
    }
    progress.at(order.size(), order.size());
    return failures == 0;
}

// ---- Look-ups by name ----------------------------------------------------------------------

Short LodraSteps::roomTypeCode(const QString& name) {
    RoomType k;
    k.RoomType = name;
    return static_cast<Short>(d_.access<RoomType>(false).fetch(RoomType::RoomTypeKey, k).SysCode);
}

Short LodraSteps::roomCode(const QString& number) {
    Room k;
    k.RoomNo = number;
    return static_cast<Short>(d_.access<Room>(false).fetch(Room::RoomNoKey, k).RoomCode);
}

Short LodraSteps::specialityCode(const QString& name) {
    Speciality k;
    k.Speciality = name;
    return d_.access<Speciality>(false).fetch(Speciality::SpecialityKey, k).SpecialityCode;
}

Short LodraSteps::teacherCode(const QString& name) {
    Teacher k;
    k.TeacherName = name;
    return d_.access<Teacher>(false).fetch(Teacher::TeacherNameKey, k).TeacherCode;
}

Short LodraSteps::groupCode(const QString& course, const QString& letter) {
    Group k;
    k.Course = course;
    k.Literal = letter;
    return d_.access<Group>(false).fetch(Group::GroupIdKey, k).GroupCode;
}

Short LodraSteps::streamCode(const QString& name) {
    Stream k;
    k.Stream = name;
    return d_.access<Stream>(false).fetch(Stream::StreamKey, k).StreamCode;
}

Science LodraSteps::science(const QString& name) {
    Science k;
    k.Science = name;
    return d_.access<Science>(false).fetch(Science::ScienceKey, k);
}

int LodraSteps::subGroupsOf(const Science& s) {
    if (s.SgrpTypCode == 0) return 0;
    SubGroupType k;
    k.SgrpTypCode = s.SgrpTypCode;
    return d_.access<SubGroupType>(false).fetch(SubGroupType::SgrpTypCdKey, k).NumbOfSubGroups;
}

Short LodraSteps::lookedUp(Short code, const QString& name, L id, int record, const QString& what) {
    if (code == 0 && !name.isEmpty())
        skip(id, record, u("%1 «%2»: нет такой записи, записан код 0").arg(what, name));
    return code;
}

// ---- Stage 1 -------------------------------------------------------------------------------

bool LodraSteps::referenceStage() {
    return emptySchool() && ensureDays() && importLessons() && importRoomTypes() && importRooms() &&
           importSpeciality() && importTeacher() && importGroups() && importScience() &&
           updateRoomLists() && importRestrictions(L::TeacherForbids) &&
           importRestrictions(L::GroupForbids);
}

bool LodraSteps::emptySchool() {
    // The groups, streams and courses are replaced too (a repeated import would otherwise add
    // every group again), and with them whatever refers to groups and plan items: their codes
    // are given out afresh.
    return empty({FileId::Group, FileId::Stream, FileId::Course, FileId::Schedule,
                  FileId::TrainingCourse, FileId::LsnLink, FileId::LsnLinkComp, FileId::RoomList});
}

bool LodraSteps::ensureDays() {
    // The old data has six days a week; a school without days could place nothing.
    if (d_.access<Days>(false).count() > 0) return true;
    if (faldin::SetDefaultWeek(d_, 6)) return true;
    ++failures;
    return false;
}

bool LodraSteps::importLessons() {
    return step(
        u("Импорт списка звонков"), {FileId::LessonBell}, {FileId::LessonBell},
        fileOrder(L::Lessons), [&](Transaction& tx, int r) {
            auto bells = tx.access<LessonBell>();
            LessonBell bell = bells.prime();
            bell.LessonNo = LodraLessonNo(old(L::Lessons).text(r, LLes::LESSONNO));
            if (bell.LessonNo.isEmpty()) {
                skip(L::Lessons, r, u("звонок без номера урока"));
                return;
            }
            for (auto [field, target] : {std::pair{LLes::BEGINING, &bell.Begining},
                                         std::pair{LLes::ENDING, &bell.Ending}}) {
                const QString text = name(L::Lessons, r, field);
                bool ok = true;
                *target = text.isEmpty() ? 0 : LodraTime(text, &ok);
                if (!ok)
                    skip(L::Lessons, r, u("время «%1» не распознано, записано 0:00").arg(text));
            }
            stored(bells.insert(bell), L::Lessons, r, u("Звонок %1").arg(bell.LessonNo.trimmed()));
        });
}

bool LodraSteps::importRoomTypes() {
    return step(u("Импорт типов кабинетов"), {FileId::RoomType}, {FileId::RoomType},
                fileOrder(L::RoomTypes), [&](Transaction& tx, int r) {
                    auto types = tx.access<RoomType>();
                    RoomType t = types.prime();
                    t.RoomType = name(L::RoomTypes, r, LRmt::ROOMTYPE);
                    if (t.RoomType.isEmpty()) return skip(L::RoomTypes, r, u("тип без названия"));
                    stored(types.insert(t), L::RoomTypes, r,
                           u("Тип кабинета «%1»").arg(t.RoomType));
                });
}

bool LodraSteps::importRooms() {
    return step(u("Импорт кабинетов"), {FileId::Room}, {FileId::Room}, fileOrder(L::Rooms),
                [&](Transaction& tx, int r) {
                    auto rooms = tx.access<Room>();
                    Room room = rooms.prime();
                    room.ObjectType = ObjectType::Room;
                    room.RoomNo = name(L::Rooms, r, LRoo::ROOMNO);
                    if (room.RoomNo.isEmpty()) return skip(L::Rooms, r, u("кабинет без номера"));
                    const QString type = name(L::Rooms, r, LRoo::ROOMTYPE);
                    room.RoomTypePtr =
                        lookedUp(roomTypeCode(type), type, L::Rooms, r, u("тип кабинета"));
                    stored(rooms.insert(room), L::Rooms, r, u("Кабинет %1").arg(room.RoomNo));
                });
}

bool LodraSteps::importSpeciality() {
    return step(u("Импорт специальностей"), {FileId::Speciality}, {FileId::Speciality},
                fileOrder(L::Specialities), [&](Transaction& tx, int r) {
                    auto specs = tx.access<Speciality>();
                    Speciality s = specs.prime();
                    s.Speciality = name(L::Specialities, r, LSpc::SPECIALITY);
                    if (s.Speciality.isEmpty())
                        return skip(L::Specialities, r, u("специальность без названия"));
                    stored(specs.insert(s), L::Specialities, r,
                           u("Специальность «%1»").arg(s.Speciality));
                });
}

bool LodraSteps::importTeacher() {
    return step(
        u("Импорт учителей"), {FileId::Teacher}, {FileId::Teacher}, fileOrder(L::Teachers),
        [&](Transaction& tx, int r) {
            auto teachers = tx.access<Teacher>();
            Teacher t = teachers.prime();
            t.ObjectType = ObjectType::Teacher;
            t.TeacherName = name(L::Teachers, r, LTch::TEACHER);
            if (t.TeacherName.isEmpty()) return skip(L::Teachers, r, u("учитель без фамилии"));
            const QString speciality = name(L::Teachers, r, LTch::SPECIALITY);
            const QString main = name(L::Teachers, r, LTch::MAINROOMNO);
            const QString extra = name(L::Teachers, r, LTch::SBSTROOMNO);
            t.SpecialityCode = lookedUp(specialityCode(speciality), speciality, L::Teachers, r,
                                        u("специальность"));
            t.MainRoomCode = lookedUp(roomCode(main), main, L::Teachers, r, u("основной кабинет"));
            t.AdditionalRoomCode =
                lookedUp(roomCode(extra), extra, L::Teachers, r, u("запасной кабинет"));
            stored(teachers.insert(t), L::Teachers, r, u("Учитель «%1»").arg(t.TeacherName));
        });
}

bool LodraSteps::importGroups() {
    Relations rel(d_);
    rel.setReporting(false);
    return stepWithRelations(u("Импорт учебных групп"), {}, withoutRepeats(L::Groups, old(L::Groups).keyOrder(0)), [&](int r) {
        const QString course = name(L::Groups, r, LGrp::COURSE);
        const QString letter = name(L::Groups, r, LGrp::LITERAL);
        if (course.isEmpty() && letter.isEmpty())
            return skip(L::Groups, r, u("группа без курса и буквы"));
        const QString streamName = streamOrMain(name(L::Groups, r, LGrp::STREAM));
        Short stream = streamCode(streamName);
        if (stream == 0) {
            Stream s = d_.access<Stream>(false).prime();
            s.Stream = streamName;
            stored(rel.insert(s), L::Groups, r, u("Поток «%1»").arg(streamName));
            stream = s.rowId ? s.StreamCode : 0;
        }
        Course c;
        c.Course = course;
        if (!d_.access<Course>(false).exists(Course::CourseKey, c))
            stored(rel.insert(c), L::Groups, r, u("Курс «%1»").arg(course));
        Group g = d_.access<Group>(false).prime();
        g.ObjectType = ObjectType::Group;
        g.Course = course;
        g.Defis = QStringLiteral("-");
        g.Literal = letter;
        g.StreamCode = stream;
        stored(rel.insert(g), L::Groups, r, u("Группа %1").arg(g.GroupId()));
    });
}

bool LodraSteps::importScience() {
    return step(u("Импорт учебных дисциплин"), {FileId::Science}, {FileId::Science},
                fileOrder(L::Sciences), [&](Transaction& tx, int r) {
                    auto sciences = tx.access<Science>();
                    Science s = sciences.prime();
                    s.ObjectType = ObjectType::Science;
                    s.Science = name(L::Sciences, r, LSci::SCIENCE);
                    if (s.Science.isEmpty()) return skip(L::Sciences, r, u("предмет без названия"));
                    const QString main = name(L::Sciences, r, LSci::MAINROOMTYPE);
                    const QString extra = name(L::Sciences, r, LSci::SBSTROOMTYPE);
                    s.MainRoomTypeCode = lookedUp(roomTypeCode(main), main, L::Sciences, r,
                                                  u("основной тип кабинета"));
                    s.AdditionalRoomTypeCode = lookedUp(roomTypeCode(extra), extra, L::Sciences, r,
                                                        u("запасной тип кабинета"));
                    stored(sciences.insert(s), L::Sciences, r, u("Предмет «%1»").arg(s.Science));
                });
}

bool LodraSteps::updateRoomLists() {
    const Outcome o = faldin::UpdateAllTeacherRoomLists(d_, faldin::RoomListMode::Exclusive);
    if (o.ok()) return true;
    if (o.status == Outcome::Status::Refused && !o.msgNo)
        cancelled = true;
    else
        ++failures; // shown by the room lists
    return false;
}

bool LodraSteps::importRestrictions(L file) {
    const bool teachers = file == L::TeacherForbids;
    const int lessonField = teachers ? int(FrbT::LessonNo) : int(FrbG::LessonNo);
    const int firstDay = teachers ? int(FrbT::Forbid1) : int(FrbG::Forbid1);
    // The teachers' step empties the file; the groups' rows are added to theirs.
    std::vector<FileId> emptied;
    if (teachers) emptied.push_back(FileId::Restriction);
    return step(
        teachers ? u("Импорт ограничений учителя") : u("Импорт ограничений групп"),
        {FileId::Restriction}, emptied, fileOrder(file), [&](Transaction& tx, int r) {
            Short code = 0;
            QString who;
            if (teachers) {
                who = name(file, r, FrbT::Teacher);
                code = teacherCode(who);
            } else {
                const QString course = name(file, r, FrbG::Course);
                const QString letter = name(file, r, FrbG::Literal);
                who = course + QLatin1Char('-') + letter;
                code = groupCode(course, letter);
            }
            if (code == 0)
                return skip(
                    file, r,
                    (teachers ? u("учитель «%1» не найден") : u("группа %1 не найдена")).arg(who) +
                        u(", ограничения не записаны"));
            auto restrictions = tx.access<Restriction>();
            Restriction rec;
            rec.ObjectType = teachers ? ObjectType::Teacher : ObjectType::Group;
            rec.ObjectCode = code;
            rec.LessonNo = LodraLessonNo(old(file).text(r, lessonField));
            for (int w = 1; w <= d_.glo.WeeksInCycle; ++w)
                for (int day = 1; day <= 6; ++day) {
                    rec.Week = static_cast<Short>(w);
                    rec.DaySeqNumber = static_cast<Short>(day);
                    // Levels above "forbidden" mean forbidden.
                    rec.Restriction = static_cast<Short>(
                        std::min<qint64>(old(file).number(r, firstDay + day - 1), 2));
                    Restriction fresh = rec;
                    const Outcome o = restrictions.insert(fresh);
                    if (!o.ok())
                        return stored(
                            o, file, r,
                            u("Ограничение (%1, неделя %2, день %3)").arg(who).arg(w).arg(day));
                }
        });
}

// ---- Stage 2 -------------------------------------------------------------------------------

bool LodraSteps::plansStage() {
    return importLessonPlan() && importTeacherLoad() && updateRoomLists() && importSchedule();
}

bool LodraSteps::importLessonPlan() {
    // The links name plan items whose codes are given out afresh: they go with the plan.
    Relations rel(d_);
    rel.setReporting(false);
    const LegacyFile& sciences = old(L::Sciences);
    std::map<QString, int> oldScience; // folded name -> record
    for (int i = sciences.count() - 1; i >= 0; --i)
        oldScience[foldKey(sciences.text(i, LSci::SCIENCE).trimmed())] = i;
    return stepWithRelations(
        u("Импорт учебных планов"),
        {FileId::TrainingCourse, FileId::Schedule, FileId::LsnLink, FileId::LsnLinkComp},
        withoutRepeats(L::TrainingPlan, old(L::TrainingPlan).keyOrder(0)), [&](int r) {
            const int hours = static_cast<int>(old(L::TrainingPlan).number(r, L_P::Hours));
            if (hours == 0) return;
            const QString subject = name(L::TrainingPlan, r, L_P::Science);
            const QString streamName = streamOrMain(name(L::TrainingPlan, r, L_P::Stream));
            const Science s = science(subject);
            if (s.ScienceCode == 0)
                return skip(L::TrainingPlan, r,
                            u("предмет «%1» не найден, строка плана не записана").arg(subject));
            const Short stream = streamCode(streamName);
            if (stream == 0)
                return skip(L::TrainingPlan, r,
                            u("поток «%1» не найден, строка плана не записана").arg(streamName));
            int h = hours;
            const int parts = subGroupsOf(s);
            if (parts > 0) {
                // Rounded up: no lesson of the old plan is lost; the officer may take one off.
                h = (hours + parts - 1) / parts;
                if (hours % parts != 0)
                    skip(L::TrainingPlan, r,
                         u("%1 ч. предмета «%2» не делятся на %3 подгруппы, записано %4 ч. на "
                           "подгруппу")
                             .arg(hours)
                             .arg(subject)
                             .arg(parts)
                             .arg(h));
            }
            TrainingCourse item = d_.access<TrainingCourse>(false).prime();
            item.ScienceCode = s.ScienceCode;
            item.Course = name(L::TrainingPlan, r, L_P::Course);
            item.StreamCode = stream;
            const auto found = oldScience.find(foldKey(subject));
            const bool doubled =
                found != oldScience.end() && sciences.number(found->second, LSci::DOUBLED) != 0;
            if (doubled) {
                // Paired hours come in pairs: an odd hour is kept as a single lesson.
                item.CoupledHours = static_cast<Short>(h - h % 2);
                item.SingleHours = static_cast<Short>(h % 2);
                if (h % 2)
                    skip(L::TrainingPlan, r,
                         u("нечетное число спаренных часов (%1) предмета «%2»: один час записан "
                           "как одиночный")
                             .arg(h)
                             .arg(subject));
            } else {
                item.SingleHours = static_cast<Short>(h);
            }
            stored(rel.insert(item), L::TrainingPlan, r,
                   u("Строка плана «%1», курс %2").arg(subject, item.Course));
        });
}

void LodraSteps::tellUpdateFailed(const Outcome& o, const Schedule& e) {
    ++failures;
    Group gk;
    gk.GroupCode = e.GroupCode;
    const Group g = d_.access<Group>(false).fetch(Group::GroupCodeKey, gk);
    Science sk;
    sk.ScienceCode = e.ScienceCode;
    const Science s = d_.access<Science>(false).fetch(Science::ScienceCodeKey, sk);
    Teacher tk;
    tk.TeacherCode = e.TeacherCode;
    const Teacher t = d_.access<Teacher>(false).fetch(Teacher::TeacherCodeKey, tk);
    d_.ui().tell(QStringLiteral("Access:Schedule.TryUpdate()"),
                 QStringLiteral("|Err# = %1|Sch:GroupCode = %2|Grp:GroupId = %3|Sch:ScienceCode = "
                                "%4|Sci:Science = %5|Sch:TeacherCode = %6|Tch:TeacherName = "
                                "%7|Sch:SubGroupNum = %8")
                     .arg(o.fileError)
                     .arg(e.GroupCode)
                     .arg(g.GroupId())
                     .arg(e.ScienceCode)
                     .arg(s.Science)
                     .arg(e.TeacherCode)
                     .arg(t.TeacherName)
                     .arg(e.SubGroupNum));
}

bool LodraSteps::importTeacherLoad() {
    return step(
        u("Импорт нагрузки учителей"), {FileId::Schedule}, {}, fileOrder(L::TeacherLoad),
        [&](Transaction& tx, int r) {
            const QString teacherName = name(L::TeacherLoad, r, LPl::Teacher);
            if (teacherName.isEmpty()) return;
            const QString subject = name(L::TeacherLoad, r, LPl::Science);
            const QString course = name(L::TeacherLoad, r, LPl::Course);
            const QString letter = name(L::TeacherLoad, r, LPl::Literal);
            const int hours = static_cast<int>(old(L::TeacherLoad).number(r, LPl::Hours));
            const Science s = science(subject);
            const Short group = groupCode(course, letter);
            const Short teacher = teacherCode(teacherName);
            if (s.ScienceCode == 0 || group == 0 || teacher == 0)
                return skip(L::TeacherLoad, r,
                            u("%1: нет такой записи, нагрузка учителя «%2» не назначена")
                                .arg(s.ScienceCode == 0 ? u("предмет «%1»").arg(subject)
                                     : group == 0 ? u("группа %1-%2").arg(course, letter)
                                                  : u("учитель «%1»").arg(teacherName),
                                     teacherName));
            auto schedule = tx.access<Schedule>();
            Schedule from;
            from.GroupCode = group;
            from.ScienceCode = s.ScienceCode;
            const bool bySubgroups = s.SgrpTypCode != 0;
            int given = 0;
            int subgroup = -1;
            // Entries of the group and subject, subgroup 0 first; only free ones are given.
            for (Schedule e : schedule.read(Schedule::GroupScienceSubGrKey, from, 2)) {
                if (given >= hours) break;
                if (!e.isUnplaced() || e.TeacherCode != 0) continue;
                if (bySubgroups) {
                    // The first entry given fixes the subgroup.
                    if (subgroup >= 0 && e.SubGroupNum != subgroup) break;
                    subgroup = e.SubGroupNum;
                } else if (e.SubGroupNum != 0) {
                    continue;
                }
                e.TeacherCode = teacher;
                const Outcome o = schedule.update(e);
                if (!o.ok()) {
                    tellUpdateFailed(o, e);
                    continue;
                }
                ++given;
            }
            if (given < hours)
                skip(L::TeacherLoad, r,
                     u("учителю «%1» назначено %2 ч. из %3 по предмету «%4» в группе %5-%6: нет "
                       "свободных уроков")
                         .arg(teacherName)
                         .arg(given)
                         .arg(hours)
                         .arg(subject, course, letter));
        });
}

bool LodraSteps::importSchedule() {
    // What a placement may name: the days and bells of the school and the weeks of its cycle.
    std::set<Short> days;
    for (const Days& d : d_.access<Days>(false).all(Days::SeqNumberKey))
        days.insert(d.DaySeqNumber);
    std::set<QString> bells;
    for (const LessonBell& b : d_.access<LessonBell>(false).all(LessonBell::NumberKey))
        bells.insert(b.LessonNo);
    // Each old lesson goes only where the engine's cell rules take it: the older product let
    // a teacher or a room serve two groups in one cell, which here would be a double booking
    // nobody sees. Stored one by one, so that the check sees every lesson placed before.
    pivrel::Engine engine(d_);
    auto schedule = d_.access<Schedule>(false);
    return stepWithRelations(u("Импорт расписания"), {}, fileOrder(L::Schedule), [&](int r) {
        const LegacyFile& f = old(L::Schedule);
        const QString subject = name(L::Schedule, r, LSch::SCIENCE);
        const QString course = name(L::Schedule, r, LSch::COURSE);
        const QString letter = name(L::Schedule, r, LSch::LITERAL);
        const QString teacherName = name(L::Schedule, r, LSch::TEACHER);
        const QString roomNo = name(L::Schedule, r, LSch::ROOMNO);
        const Short week = static_cast<Short>(f.number(r, LSch::WEEK));
        const Short day = static_cast<Short>(f.number(r, LSch::DAYNO));
        const QString lesson = LodraLessonNo(f.text(r, LSch::LESSONNO));
        const QString where =
            u("неделя %1, день %2, урок %3").arg(week).arg(day).arg(lesson.trimmed());
        if (week < 1 || week > d_.glo.WeeksInCycle || !days.count(day) || !bells.count(lesson))
            return skip(L::Schedule, r,
                        u("%1 — нет такого места в сетке, урок не размещен").arg(where));
        // 0 a single lesson, 1 and 2 the hours of a pair: nothing else is a lesson.
        const qint64 doubledMark = f.number(r, LSch::DOUBLED);
        if (doubledMark > 2)
            return skip(L::Schedule, r,
                        u("%1: пометка спаренного урока %2 (допустимы 0, 1, 2), урок не размещен")
                            .arg(where)
                            .arg(doubledMark));
        const Byte doubled = static_cast<Byte>(doubledMark);
        const Science s = science(subject);
        const Short group = groupCode(course, letter);
        if (s.ScienceCode == 0 || group == 0)
            return skip(L::Schedule, r,
                        u("%1: нет такой записи, урок не размещен")
                            .arg(s.ScienceCode == 0 ? u("предмет «%1»").arg(subject)
                                                    : u("группа %1-%2").arg(course, letter)));
        const Short teacher =
            lookedUp(teacherCode(teacherName), teacherName, L::Schedule, r, u("учитель"));
        const Short room = lookedUp(roomCode(roomNo), roomNo, L::Schedule, r, u("кабинет"));
        const Short subgroup =
            s.SgrpTypCode != 0 ? static_cast<Short>(f.number(r, LSch::SUBGROUP)) : 0;

        // The lesson the old record places: an unplaced one of the group, subject and
        // subgroup, of this teacher if the load gave him one (the load step gives most of
        // them a teacher), else one without a teacher; of the same pair mark if there is one.
        Schedule from;
        from.GroupCode = group;
        from.ScienceCode = s.ScienceCode;
        from.SubGroupNum = subgroup;
        std::optional<Schedule> best;
        int bestRank = 4;
        for (const Schedule& e : schedule.read(Schedule::GroupScienceSubGrKey, from, 3)) {
            if (!e.isUnplaced()) continue;
            int rank;
            if (teacher != 0 && e.TeacherCode == teacher)
                rank = 0;
            else if (e.TeacherCode == 0)
                rank = 2;
            else
                continue;
            if (e.CoupledLesson != doubled) ++rank;
            if (rank < bestRank) {
                best = e;
                bestRank = rank;
            }
        }
        if (!best)
            return skip(L::Schedule, r,
                        u("%1: у группы %2-%3 нет неразмещенного урока «%4»%5, урок не размещен")
                            .arg(where, course, letter, subject)
                            .arg(subgroup ? u(" подгруппы %1").arg(subgroup) : QString()));
        Schedule e = *best;
        e.RoomCode = room;
        e.TeacherCode = teacher;
        e.CoupledLesson = doubled;
        d_.glo.ScheduleRecord = e;
        const QStringList refusals = engine.refusalsAt(week, day, lesson, room, false);
        if (!refusals.isEmpty()) {
            QString why = refusals.join(QStringLiteral("; "));
            why.replace(QLatin1Char('|'), QLatin1Char(' '));
            return skip(L::Schedule, r,
                        u("%1: %2 — урок не размещен").arg(where, why.simplified()));
        }
        e.Week = week;
        e.DaySeqNumber = day;
        e.LessonNo = lesson;
        const Outcome o = schedule.update(e);
        if (!o.ok()) tellUpdateFailed(o, e);
    });
}

} // namespace hestor
