#include "tamsel/Relations.h"

#include <QSet>
#include <algorithm>
#include <deque>
#include <optional>
#include <set>

namespace tamsel {

namespace {

enum class Rule { None, Clear, Restrict, Cascade };

struct Relation {
    FileId parent;
    FileId child;
    std::vector<std::pair<const char*, const char*>> links; ///< parent field = child field
    const char* childKey;
    Rule update;
    Rule del;
};

using F = FileId;
using R = Rule;

/// The referential rules, in the order they are applied.
const std::vector<Relation>& relationTable() {
    static const std::vector<Relation> t{
        {F::Days, F::Schedule, {{"DaySeqNumber", "DaySeqNumber"}}, "Sch:DayLessonKey", R::Restrict, R::Cascade},
        {F::Days, F::Restriction, {{"DaySeqNumber", "DaySeqNumber"}}, "Rst:DaysAndLessonsKey", R::Cascade, R::Cascade},
        {F::LessonBell, F::Schedule, {{"LessonNo", "LessonNo"}}, "Sch:LessonDayKey", R::Restrict, R::Cascade},
        {F::LessonBell, F::Restriction, {{"LessonNo", "LessonNo"}}, "Rst:LessonsAndDaysKey", R::Cascade, R::Cascade},
        {F::Stream, F::TrainingCourse, {{"StreamCode", "StreamCode"}}, "Trc:StreamKey", R::None, R::Restrict},
        {F::Stream, F::Group, {{"StreamCode", "StreamCode"}}, "Grp:StreamCodeKey", R::None, R::Restrict},
        {F::Course, F::TrainingCourse, {{"Course", "Course"}}, "Trc:CourseKey", R::Cascade, R::Restrict},
        {F::Course, F::Group, {{"Course", "Course"}}, "Grp:GroupIdKey", R::Cascade, R::Restrict},
        {F::Group, F::Schedule, {{"GroupCode", "GroupCode"}}, "Sch:GroupKey", R::None, R::Cascade},
        {F::Group, F::Restriction, {{"ObjectType", "ObjectType"}, {"GroupCode", "ObjectCode"}}, "Rst:ObjectIdKey", R::None, R::Cascade},
        // Codes of groups and plan items are given again: a member left behind would put the
        // next group's or item's lessons into a link nobody made.
        {F::Group, F::LsnLinkComp, {{"GroupCode", "GroupCode"}}, "Llc:GroupKey", R::None, R::Cascade},
        {F::Group, F::Substitution, {{"GroupCode", "GroupCode"}}, "Sub:GroupKey", R::None, R::Cascade},
        {F::SubGroupType, F::ScienceAlias1, {{"SgrpTypCode", "SgrpTypCode"}}, "Sci1:SgTypCodeKey", R::None, R::Restrict},
        {F::SubGroupType, F::Science, {{"SgrpTypCode", "SgrpTypCode"}}, "Sci:SgTypCodeKey", R::None, R::Restrict},
        {F::ScienceCycle, F::ScienceAlias1, {{"CycleCode", "CycleCode"}}, "Sci1:CycleCodeKey", R::None, R::Restrict},
        {F::ScienceCycle, F::Science, {{"CycleCode", "CycleCode"}}, "Sci:CycleCodeKey", R::None, R::Restrict},
        {F::Science, F::Schedule, {{"ScienceCode", "ScienceCode"}}, "Sch:ScienceKey", R::None, R::Cascade},
        {F::Science, F::Substitution, {{"ScienceCode", "ScienceCode"}}, "Sub:ScienceKey", R::None, R::Cascade},
        {F::Science, F::TrainingCourse, {{"ScienceCode", "ScienceCode"}}, "Trc:ScienceKey", R::None, R::Restrict},
        {F::Science, F::Restriction, {{"ObjectType", "ObjectType"}, {"ScienceCode", "ObjectCode"}}, "Rst:ObjectIdKey", R::None, R::Cascade},
        {F::RoomType, F::Science, {{"SysCode", "MainRoomTypeCode"}}, "Sci:MainRoomTypeCodeKey", R::None, R::Restrict},
        {F::RoomType, F::Room, {{"SysCode", "RoomTypePtr"}}, "Roo:RoomTypeKey", R::None, R::Restrict},
        {F::RoomTypeAdditional, F::Science, {{"SysCode", "AdditionalRoomTypeCode"}}, "Sci:AddRoomTypeCode", R::None, R::Restrict},
        {F::Room, F::RoomList, {{"RoomCode", "RoomCode"}}, "Rls:RoomCodeKey", R::None, R::Cascade},
        {F::Room, F::Teacher, {{"RoomCode", "MainRoomCode"}}, "Tch:MainRoomKey", R::None, R::Restrict},
        {F::Room, F::Schedule, {{"RoomCode", "RoomCode"}}, "Sch:RoomKey", R::None, R::Clear},
        {F::Room, F::Restriction, {{"ObjectType", "ObjectType"}, {"RoomCode", "ObjectCode"}}, "Rst:ObjectIdKey", R::None, R::Cascade},
        {F::RoomAdditional, F::Teacher, {{"RoomCode", "AdditionalRoomCode"}}, "Tch:AdditionalRoomKey", R::None, R::Restrict},
        {F::Speciality, F::Teacher, {{"SpecialityCode", "SpecialityCode"}}, "Tch:SpecCodeKey", R::None, R::Restrict},
        {F::Teacher, F::Schedule, {{"TeacherCode", "TeacherCode"}}, "Sch:TeacherKey", R::None, R::Clear},
        {F::Teacher, F::Restriction, {{"ObjectType", "ObjectType"}, {"TeacherCode", "ObjectCode"}}, "Rst:ObjectIdKey", R::None, R::Cascade},
        // A substitute deleted would turn a covered lesson into a cancelled one (code 0) or
        // point at nobody; the absent teacher's own substitutions go with the teacher.
        {F::Teacher, F::Substitution, {{"TeacherCode", "SubstituteCode"}}, "Sub:SubstituteKey", R::None, R::Restrict},
        {F::Teacher, F::Substitution, {{"TeacherCode", "AbsentTeacherCode"}}, "Sub:AbsentKey", R::None, R::Cascade},
        {F::TrainingCourse, F::Schedule, {{"TrainingCourseItemCode", "TrainingCourseItemCode"}}, "Sch:ItemCode", R::None, R::Cascade},
        {F::TrainingCourse, F::LsnLinkComp, {{"TrainingCourseItemCode", "TrainingCourseItemCode"}}, "Llc:LessonKey", R::None, R::Cascade},
        {F::LsnLink, F::Schedule, {{"LinkCode", "LinkCode"}}, "Sch:LinkCodeKey", R::Cascade, R::Clear},
        // A new link code is carried to the members too; otherwise they would be left pointing
        // at no link.
        {F::LsnLink, F::LsnLinkComp, {{"LinkCode", "LinkCode"}}, "Llc:LinkCodeKey", R::Cascade, R::Cascade},
        {F::LsnLinkComp, F::Group, {{"GroupCode", "GroupCode"}}, "Grp:GroupCodeKey", R::None, R::None},
        {F::LsnLinkComp, F::TrainingCourse, {{"TrainingCourseItemCode", "TrainingCourseItemCode"}}, "Trc:ItemCodeKey", R::None, R::None},
        {F::LsnLinkComp, F::Schedule, {{"TrainingCourseItemCode", "TrainingCourseItemCode"}, {"GroupCode", "GroupCode"}, {"SubGroupNum", "SubGroupNum"}}, "Sch:ItemCode", R::None, R::None},
    };
    return t;
}

/// The parents each relation manager opens with its file.
const std::vector<std::pair<FileId, std::vector<FileId>>>& parentTable() {
    static const std::vector<std::pair<FileId, std::vector<FileId>>> t{
        {F::Science, {F::RoomType, F::RoomTypeAdditional, F::SubGroupType, F::ScienceCycle}},
        {F::ScienceAlias1, {F::ScienceCycle, F::SubGroupType}},
        {F::TrainingCourse, {F::LsnLinkComp, F::Course, F::Science, F::Stream}},
        {F::Group, {F::LsnLinkComp, F::Stream, F::Course}},
        {F::Teacher, {F::Room, F::RoomAdditional, F::Speciality}},
        {F::Schedule, {F::LsnLink, F::LsnLinkComp, F::TrainingCourse, F::LessonBell, F::Days, F::Teacher, F::Group, F::Room, F::Science}},
        {F::Restriction, {F::Days, F::Group, F::Room, F::Science, F::Teacher, F::LessonBell}},
        {F::LsnLinkComp, {F::LsnLink}},
        {F::RoomList, {F::Room}},
        {F::Room, {F::RoomType}},
    };
    return t;
}

/// A relation resolved to field and key indexes.
struct Link {
    const Relation* rel;
    std::vector<int> parentFields;
    std::vector<int> childFields;
    int childKey;
};

const std::vector<Link>& links() {
    static const std::vector<Link> l = [] {
        std::vector<Link> out;
        for (const Relation& r : relationTable()) {
            Link k{&r, {}, {}, fileDef(r.child).keyIndex(QString::fromLatin1(r.childKey))};
            Q_ASSERT(k.childKey >= 0);
            for (const auto& [p, c] : r.links) {
                k.parentFields.push_back(fileDef(r.parent).fieldIndex(QString::fromLatin1(p)));
                k.childFields.push_back(fileDef(r.child).fieldIndex(QString::fromLatin1(c)));
            }
            out.push_back(std::move(k));
        }
        return out;
    }();
    return l;
}

/// The relations a record of `file` takes part in as parent. An alias is the same physical
/// file, so a record deleted or changed through any of them meets the rules of all of them
/// (a room is protected as a teacher's main room and as an additional room alike).
std::vector<const Link*> parentLinks(FileId file) {
    std::vector<const Link*> out;
    for (const Link& l : links())
        if (baseOf(l.rel->parent) == baseOf(file)) out.push_back(&l);
    return out;
}

bool isBlank(const Row& row, const std::vector<int>& fields) {
    for (int f : fields) {
        const Value& v = row.values[static_cast<size_t>(f)];
        if (const auto* n = std::get_if<qint64>(&v); n && *n != 0) return false;
        if (const auto* s = std::get_if<QString>(&v); s && !s->isEmpty()) return false;
    }
    return true;
}

bool sameLink(const Row& a, const Row& b, const std::vector<int>& fields) {
    for (int f : fields)
        if (a.values[static_cast<size_t>(f)] != b.values[static_cast<size_t>(f)]) return false;
    return true;
}

Value blankOf(const FieldDef& f) {
    return f.isText() ? Value(QString()) : Value(qint64(0));
}

/// The name a message uses for a file: an alias is named after its physical file.
QString fileName(FileId id) { return fileDef(baseOf(id)).name; }

enum class Op { Delete, Update };

/// Every physical file that applying the rules of `op` to a record of `file` may touch.
void collectFiles(FileId file, Op op, std::set<FileId>& files, std::set<std::pair<FileId, Op>>& seen) {
    if (!seen.insert({baseOf(file), op}).second) return;
    files.insert(baseOf(file));
    for (const Link* l : parentLinks(file)) {
        const Rule rule = op == Op::Delete ? l->rel->del : l->rel->update;
        if (rule == Rule::None) continue;
        files.insert(baseOf(l->rel->child));
        if (rule == Rule::Cascade)
            collectFiles(l->rel->child, op, files, seen);
        else if (rule == Rule::Clear)
            collectFiles(l->rel->child, Op::Update, files, seen);
    }
}

/// Applies the rules inside one transaction. The first failure stops everything; the
/// caller rolls back.
class RuleEngine {
public:
    explicit RuleEngine(Transaction& tx) : tx_(tx) {}

    Outcome remove(FileId file, const Row& row) {
        for (const Link* l : parentLinks(file)) {
            if (l->rel->del == Rule::None) continue;
            // A parent with blank linking values has no children: protects unplaced lessons
            // (empty lesson number) from a bell record saved without a number.
            if (isBlank(row, l->parentFields)) continue;
            const FileId child = l->rel->child;
            // Children without rules of their own go in one statement: a group's hundreds
            // of lessons and restrictions must not cost a statement each.
            if (l->rel->del == Rule::Cascade && !hasRules(child, Op::Delete)) {
                Outcome o = tx_.table(child).removeMatching(l->childKey, childPosition(*l, row),
                                                            static_cast<int>(l->childFields.size()));
                if (!o.ok()) return o;
                continue;
            }
            if (l->rel->del == Rule::Clear && !hasRules(child, Op::Update)) {
                Outcome o = tx_.table(child).clearMatching(l->childKey, childPosition(*l, row),
                                                           static_cast<int>(l->childFields.size()),
                                                           l->childFields);
                if (!o.ok()) return o;
                continue;
            }
            std::vector<Row> children;
            Outcome o = childrenOf(*l, row, children, l->rel->del == Rule::Restrict ? 1 : -1);
            if (!o.ok()) return o;
            if (children.empty()) continue;
            switch (l->rel->del) {
            case Rule::Restrict:
                return Outcome::failure(Outcome::Status::Refused, Msg::RelatedDelete,
                                        {fileName(child), {}, {}, {}});
            case Rule::Cascade:
                for (const Row& c : children) {
                    o = remove(child, c);
                    if (!o.ok()) return o;
                }
                break;
            case Rule::Clear:
                for (const Row& c : children) {
                    Row cleared = c;
                    for (int f : l->childFields)
                        cleared.set(f, blankOf(fileDef(child).fields[static_cast<size_t>(f)]));
                    o = update(child, c, cleared);
                    if (!o.ok()) return o;
                }
                break;
            case Rule::None: break;
            }
        }
        Outcome o = tx_.table(file).remove(row.rowId);
        if (!o.ok()) o.msgNo = Msg::DeleteError;
        return o;
    }

    Outcome update(FileId file, const Row& old, Row& changed) {
        for (const Link* l : parentLinks(file)) {
            if (l->rel->update == Rule::None) continue;
            if (sameLink(old, changed, l->parentFields) || isBlank(old, l->parentFields)) continue;
            std::vector<Row> children;
            Outcome o = childrenOf(*l, old, children, l->rel->update == Rule::Restrict ? 1 : -1);
            if (!o.ok()) return o;
            if (children.empty()) continue;
            const FileId child = l->rel->child;
            switch (l->rel->update) {
            case Rule::Restrict:
                return Outcome::failure(Outcome::Status::Refused, Msg::RelatedUpdate,
                                        {fileName(child), {}, {}, {}});
            case Rule::Cascade:
            case Rule::Clear:
                for (const Row& c : children) {
                    Row moved = c;
                    for (size_t i = 0; i < l->childFields.size(); ++i)
                        moved.set(l->childFields[i],
                                  l->rel->update == Rule::Cascade
                                      ? changed.values[static_cast<size_t>(l->parentFields[i])]
                                      : blankOf(fileDef(child).fields[static_cast<size_t>(
                                            l->childFields[i])]));
                    o = update(child, c, moved);
                    if (!o.ok()) return o;
                }
                break;
            case Rule::None: break;
            }
        }
        return tx_.table(file).update(changed);
    }

private:
    static bool hasRules(FileId file, Op op) {
        for (const Link* l : parentLinks(file))
            if ((op == Op::Delete ? l->rel->del : l->rel->update) != Rule::None) return true;
        return false;
    }

    Row childPosition(const Link& l, const Row& parent) const {
        Row pos = emptyRow(fileDef(l.rel->child));
        for (size_t i = 0; i < l.childFields.size(); ++i)
            pos.set(l.childFields[i], parent.values[static_cast<size_t>(l.parentFields[i])]);
        return pos;
    }

    /// The children of `parent` through `l`; at most `limit` of them when it is positive.
    Outcome childrenOf(const Link& l, const Row& parent, std::vector<Row>& out, int limit = -1) {
        const Row pos = childPosition(l, parent);
        return tx_.table(l.rel->child)
            .scan(Query{l.childKey, &pos, static_cast<int>(l.childFields.size())}, [&](const Row& r) {
                out.push_back(r);
                return limit < 0 || static_cast<int>(out.size()) < limit;
            });
    }

    Transaction& tx_;
};

struct CheckDef {
    FileId file;
    const char* field;
    const char* caption;
    int low, high;
    const char* rangeText;
};

const std::vector<CheckDef>& rangeChecks() {
    static const std::vector<CheckDef> c{
        {F::Schedule, "Week", "Неделя расписания", 0, 20, "0 and 20"},
        {F::TrainingCourse, "SingleHours", "Одиночными часами", 0, 99, "0 and 99"},
        {F::TrainingCourse, "CoupledHours", "Сдвоенными часами", 0, 99, "0 and 99"},
        {F::SubGroupType, "NumbOfSubGroups", "Количество подгрупп", 2, 99, "2 and 99"},
        // Archived timetables must restore to a cycle the program can hold.
        {F::Archive, "WeeksInCycle", "Количество недель в расписании", 1, 20, "1 and 20"},
    };
    return c;
}

} // namespace

// ---------------------------------------------------------------------------------------
std::vector<FileId> Relations::relatedFiles(FileId id) {
    std::vector<FileId> order;
    std::set<FileId> seen;
    std::deque<FileId> todo{id};
    while (!todo.empty()) {
        const FileId f = todo.front();
        todo.pop_front();
        if (!seen.insert(baseOf(f)).second) continue;
        order.push_back(baseOf(f));
        for (const Relation& r : relationTable())
            if (r.parent == f) todo.push_back(r.child);
        for (const auto& [file, parents] : parentTable())
            if (file == f)
                for (FileId p : parents) todo.push_back(p);
    }
    return order;
}

bool Relations::open(FileId id) {
    std::vector<FileId> opened;
    for (FileId f : relatedFiles(id)) {
        if (!dict_.store().file(f).open(report_)) {
            for (FileId o : opened) dict_.store().file(o).close();
            return false;
        }
        opened.push_back(f);
    }
    return true;
}

void Relations::close(FileId id) {
    for (FileId f : relatedFiles(id)) dict_.store().file(f).close();
}

Outcome Relations::validateRow(FileId file, const Row& row, int field) {
    const FileDef& def = fileDef(baseOf(file));
    for (const CheckDef& c : rangeChecks()) {
        if (c.file != baseOf(file)) continue;
        const int f = def.fieldIndex(QString::fromLatin1(c.field));
        if (field >= 0 && field != f) continue;
        const qint64 v = row.integer(f);
        if (v < c.low || v > c.high) {
            Outcome o = Outcome::failure(Outcome::Status::Refused, Msg::RangeError,
                                         {def.name, QString::fromUtf8(c.caption),
                                          QString::fromLatin1(c.rangeText), {}});
            if (report_) dict_.errors().report(o.msgNo, o.args);
            return o;
        }
    }
    // A reference that must name an existing record: a dangling one would be taken by the next
    // record given the freed code (a subgroup type's code is reused), changing what it means.
    auto mustExist = [&](const char* fieldName, const char* caption, FileId parent,
                         auto exists) -> std::optional<Outcome> {
        const int f = def.fieldIndex(QString::fromLatin1(fieldName));
        if (field >= 0 && field != f) return std::nullopt;
        FileUse use(dict_.store(), parent, report_);
        if (!use) return use.file().lastError();
        if (exists(f)) return std::nullopt;
        Outcome o = Outcome::failure(Outcome::Status::Refused, Msg::NotInFile,
                                     {def.name, QString::fromUtf8(caption),
                                      QString::fromLatin1(fieldName), {}});
        if (report_) dict_.errors().report(o.msgNo, o.args);
        return o;
    };
    std::optional<Outcome> refused;
    if (baseOf(file) == F::Group)
        refused = mustExist("Course", "Год обучения (курс)", F::Course, [&](int f) {
            Course key;
            key.Course = row.text(f);
            return dict_.access<Course>(false).exists(Course::CourseKey, key);
        });
    if (baseOf(file) == F::Science)
        refused = mustExist("SgrpTypCode", "Тип и к-во подгрупп", F::SubGroupType, [&](int f) {
            SubGroupType key;
            key.SgrpTypCode = static_cast<Short>(row.integer(f));
            return key.SgrpTypCode == 0 ||
                   dict_.access<SubGroupType>(false).exists(SubGroupType::SgrpTypCdKey, key);
        });
    return refused ? *refused : Outcome::success();
}

namespace {
/// A window that writes while a long procedure of this program holds the folder and lets the
/// user interface run would change the data under the procedure's plan: refused, naming it.
Outcome foreignWriteRefused(Dictionary& dict, bool report) {
    const QString why = dict.writingLock().foreignWriteRefusal();
    if (why.isEmpty()) return Outcome::success();
    if (report) dict.ui().tell(QStringLiteral("Korvel"), why);
    return Outcome::failure(Outcome::Status::Refused, 0, {});
}
} // namespace

Outcome Relations::removeRow(FileId file, RowId id, bool ask) {
    if (Outcome busy = foreignWriteRefused(dict_, report_); !busy) return busy;
    if (ask && dict_.errors().report(Msg::ConfirmDelete) != Yes)
        return Outcome::failure(Outcome::Status::Refused, 0, {});
    std::set<FileId> files;
    std::set<std::pair<FileId, Op>> seen;
    collectFiles(file, Op::Delete, files, seen);
    std::vector<FileId> list{baseOf(file)};
    for (FileId f : files)
        if (f != baseOf(file)) list.push_back(f);

    Outcome o;
    {
        Transaction tx(dict_.store(), list);
        if (!tx.active()) {
            o = tx.error();
        } else {
            Row row;
            if (!tx.table(file).fetchRowId(id, row)) {
                o = Outcome::failure(Outcome::Status::NotFound, Msg::DeleteError,
                                     {fileName(file), {}, {},
                                      fileErrorText(FileError::RecordNotFound)},
                                     FileError::RecordNotFound);
            } else {
                o = RuleEngine(tx).remove(file, row);
                if (o.ok()) o = tx.commit();
            }
        }
    }
    if (!o.ok() && report_ && o.msgNo) dict_.errors().report(o.msgNo, o.args);
    return o;
}

Outcome Relations::updateRow(FileId file, Row& row) {
    if (Outcome busy = foreignWriteRefused(dict_, report_); !busy) return busy;
    Outcome o = validateRow(file, row, -1);
    if (!o.ok()) return o;
    std::set<FileId> files;
    std::set<std::pair<FileId, Op>> seen;
    collectFiles(file, Op::Update, files, seen);
    std::vector<FileId> list{baseOf(file)};
    for (FileId f : files)
        if (f != baseOf(file)) list.push_back(f);
    {
        Transaction tx(dict_.store(), list);
        if (!tx.active()) {
            o = tx.error();
        } else {
            Row old;
            if (!tx.table(file).fetchRowId(row.rowId, old)) {
                o = Outcome::failure(Outcome::Status::NotFound, Msg::UpdateError,
                                     {fileName(file), {}, {},
                                      fileErrorText(FileError::RecordNotFound)},
                                     FileError::RecordNotFound);
            } else {
                o = RuleEngine(tx).update(file, old, row);
                if (o.ok()) o = tx.commit();
                if (o.status == Outcome::Status::Refused && o.msgNo == Msg::RelatedUpdate) {
                    // The linking fields go back to what is stored.
                    for (const Link* l : parentLinks(file))
                        for (int f : l->parentFields)
                            row.set(f, old.values[static_cast<size_t>(f)]);
                }
            }
        }
    }
    if (!o.ok() && report_ && o.msgNo) dict_.errors().report(o.msgNo, o.args);
    return o;
}

namespace {

/// Writes the unplaced entries of one plan item for one group; returns how many.
int generateFor(Dictionary& dict, Transaction& tx, const TrainingCourse& item, const Group& group,
                int subGroups) {
    auto sch = tx.access<Schedule>();
    int made = 0;
    const int pairs = (item.CoupledHours + 1) / 2;
    const int first = subGroups == 0 ? 0 : 1;
    const int last = subGroups == 0 ? 0 : subGroups;
    for (int s = first; s <= last; ++s) {
        Schedule e;
        e.TrainingCourseItemCode = item.TrainingCourseItemCode;
        e.ScienceCode = item.ScienceCode;
        e.GroupCode = group.GroupCode;
        e.SubGroupNum = static_cast<Short>(s);
        // Singles, then pairs; a failed entry skips the rest of its batch.
        for (int i = 0; i < item.SingleHours; ++i) {
            Schedule x = e;
            const Outcome o = sch.insert(x);
            if (!o.ok()) {
                dict.ui().tell(QString(), QStringLiteral("Access:Schedule.Insert() = %1").arg(o.fileError));
                return -1;
            }
            ++made;
        }
        for (int p = 0; p < pairs; ++p) {
            for (Byte mark : {Byte(1), Byte(2)}) {
                Schedule x = e;
                x.CoupledLesson = mark;
                const Outcome o = sch.insert(x);
                if (!o.ok()) {
                    dict.ui().tell(QString(),
                                   QStringLiteral("Access:Schedule.Insert() = %1").arg(o.fileError));
                    return -1;
                }
                ++made;
            }
        }
    }
    return made;
}

int subGroupsOf(Transaction& tx, Short scienceCode) {
    Science sk;
    sk.ScienceCode = scienceCode;
    const Science sci = tx.access<Science>().fetch(Science::ScienceCodeKey, sk);
    SubGroupType tk;
    tk.SgrpTypCode = sci.SgrpTypCode;
    if (sci.SgrpTypCode == 0) return 0;
    return tx.access<SubGroupType>().fetch(SubGroupType::SgrpTypCdKey, tk).NumbOfSubGroups;
}

/// Opens the files of a generation in the stated order, telling which one failed.
bool openForGeneration(Dictionary& dict, const std::vector<std::pair<FileId, const char*>>& files,
                       std::vector<std::unique_ptr<FileUse>>& uses) {
    for (const auto& [id, label] : files) {
        auto use = std::make_unique<FileUse>(dict.store(), id, false);
        if (!use->ok()) {
            dict.ui().tell(QString(), QStringLiteral("Access:%1.Open() = %2")
                                          .arg(QString::fromLatin1(label))
                                          .arg(use->file().lastError().fileError));
            return false;
        }
        uses.push_back(std::move(use));
    }
    return true;
}

struct Busy {
    UserInterfacePort& ui;
    explicit Busy(UserInterfacePort& u) : ui(u) { ui.setBusy(true); }
    ~Busy() { ui.setBusy(false); }
};

int generateItem(Dictionary& dict, Transaction& tx, const TrainingCourse& item) {
    const int n = subGroupsOf(tx, item.ScienceCode);
    Group pos;
    pos.Course = item.Course;
    pos.StreamCode = item.StreamCode;
    int made = 0;
    for (const Group& g : tx.access<Group>().read(Group::StreamKey, pos, 2)) {
        const int m = generateFor(dict, tx, item, g, n);
        if (m < 0) return -1;
        made += m;
    }
    return made;
}

int generateGroup(Dictionary& dict, Transaction& tx, const Group& group) {
    TrainingCourse pos;
    pos.StreamCode = group.StreamCode;
    pos.Course = group.Course;
    int made = 0;
    for (const TrainingCourse& item : tx.access<TrainingCourse>().read(TrainingCourse::StreamKey, pos, 2)) {
        const int m = generateFor(dict, tx, item, group, subGroupsOf(tx, item.ScienceCode));
        if (m < 0) return -1;
        made += m;
    }
    return made;
}

const std::vector<FileId> ItemFiles{F::TrainingCourse, F::Schedule, F::Group, F::Science,
                                    F::SubGroupType};
const std::vector<FileId> GroupFiles{F::Group, F::Schedule, F::Science, F::SubGroupType,
                                     F::TrainingCourse};

} // namespace

Outcome Relations::insertRow(FileId file, Row& row) {
    if (Outcome busy = foreignWriteRefused(dict_, report_); !busy) return busy;
    Outcome o = validateRow(file, row, -1);
    if (!o.ok()) return o;
    const FileId base = baseOf(file);
    if (base != F::TrainingCourse && base != F::Group) {
        FileUse use(dict_.store(), base, report_);
        if (!use) return use.file().lastError();
        o = use.file().table().insert(row);
        if (!o.ok() && report_) dict_.errors().report(o.msgNo, o.args);
        return o;
    }

    // The record and its generated entries are stored together or not at all.
    Busy busy(dict_.ui());
    std::vector<std::unique_ptr<FileUse>> uses;
    const bool item = base == F::TrainingCourse;
    if (!openForGeneration(dict_,
                           item ? std::vector<std::pair<FileId, const char*>>{{F::Schedule, "Schedule"}, {F::Group, "Group"}, {F::Science, "Science"}, {F::SubGroupType, "SubGroupType"}}
                                : std::vector<std::pair<FileId, const char*>>{{F::Schedule, "Schedule"}, {F::Science, "Science"}, {F::SubGroupType, "SubGroupType"}, {F::TrainingCourse, "TrainingCourse"}},
                           uses))
        return Outcome::failure(Outcome::Status::Error, 0, {});
    Transaction tx(dict_.store(), item ? ItemFiles : GroupFiles);
    if (!tx.active()) {
        o = tx.error();
    } else {
        o = tx.table(base).insert(row);
        if (o.ok()) {
            // An entry that could not be stored (its message shown) keeps the record out too:
            // a group or item without all its lessons would disagree with the plan for good.
            const int made = item ? generateItem(dict_, tx, fromRow<TrainingCourse>(row))
                                  : generateGroup(dict_, tx, fromRow<Group>(row));
            o = made < 0 ? Outcome::failure(Outcome::Status::Error, 0, {}) : tx.commit();
        }
    }
    if (!o.ok()) {
        row.rowId = 0;
        if (report_ && o.msgNo) dict_.errors().report(o.msgNo, o.args);
    }
    return o;
}

int GenerateLessonsForItem(Dictionary& dict, const TrainingCourse& item) {
    Busy busy(dict.ui());
    Transaction tx(dict.store(), ItemFiles);
    if (!tx.active()) return 0;
    const int n = generateItem(dict, tx, item);
    return n >= 0 && tx.commit().ok() ? n : 0;
}

int GenerateLessonsForGroup(Dictionary& dict, const Group& group) {
    Busy busy(dict.ui());
    Transaction tx(dict.store(), GroupFiles);
    if (!tx.active()) return 0;
    const int n = generateGroup(dict, tx, group);
    return n >= 0 && tx.commit().ok() ? n : 0;
}

} // namespace tamsel
