#include "hestor/CompareSchedules.h"

#include "hestor/Archive.h"
#include "tamsel/Dictionary.h"
#include "tamsel/Snapshots.h"

#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <sqlite3.h>

namespace hestor {

using namespace tamsel;

namespace {

/// An archived data file opened in memory from its image: the school's files stay untouched
/// and nothing is written anywhere.
struct ImageTable {
    sqlite3* db = nullptr;
    std::unique_ptr<Table> table;
    ImageTable() = default;
    ImageTable(const ImageTable&) = delete;
    ImageTable& operator=(const ImageTable&) = delete;
    ~ImageTable() {
        table.reset();
        if (db) sqlite3_close_v2(db);
    }
};

/// Opens the image of `blob` as `out`; empty when it opened (or holds no file: then there is
/// no table and the file reads as empty), otherwise what is wrong with it.
QString openImage(FileId id, const QByteArray& blob, ImageTable& out) {
    QByteArray bytes;
    if (!UnsealImage(blob, &bytes)) return QStringLiteral("контрольная сумма не совпадает");
    if (bytes.isEmpty()) return {};
    if (const Outcome check = CheckSnapshot(id, bytes); !check.ok()) return check.args.errorText;
    int rc = sqlite3_open_v2(":memory:", &out.db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) {
        auto* copy = static_cast<unsigned char*>(
            sqlite3_malloc64(static_cast<sqlite3_uint64>(bytes.size())));
        if (!copy) return errorTextOf(SQLITE_NOMEM);
        memcpy(copy, bytes.constData(), static_cast<size_t>(bytes.size()));
        // Resizeable: columns added since the snapshot was taken are added in memory below.
        rc = sqlite3_deserialize(out.db, "main", copy, bytes.size(), bytes.size(),
                                 SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE);
    }
    const FileDef& def = fileDef(id);
    if (rc == SQLITE_OK) {
        QSet<QString> columns;
        sqlite3_stmt* st = nullptr;
        const QByteArray sql = "PRAGMA table_info(\"" + def.name.toUtf8() + "\")";
        if (sqlite3_prepare_v2(out.db, sql.constData(), -1, &st, nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW)
                columns.insert(
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)))
                        .toLower());
        sqlite3_finalize(st);
        for (const FieldDef& f : def.fields) {
            if (!f.addedLater || columns.contains(f.name.toLower())) continue;
            const QString add = QStringLiteral("ALTER TABLE \"%1\" ADD COLUMN \"%2\" %3")
                                    .arg(def.name, f.name,
                                         f.isText() ? QStringLiteral("TEXT NOT NULL DEFAULT ''")
                                                    : QStringLiteral("INTEGER NOT NULL DEFAULT 0"));
            rc = sqlite3_exec(out.db, add.toUtf8().constData(), nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK) break;
        }
    }
    if (rc != SQLITE_OK) return errorTextOf(rc);
    out.table = std::make_unique<Table>(out.db, def, QStringLiteral("main"));
    return {};
}

/// The files a timetable is read from: each a table, or none for an archived file that was
/// not there (no records).
using Tables = std::function<Table*(FileId)>;

const std::vector<FileId>& timetableFiles() {
    static const std::vector<FileId> files{FileId::Schedule, FileId::Days,    FileId::LessonBell,
                                           FileId::Group,    FileId::Science, FileId::Teacher,
                                           FileId::Room};
    return files;
}

/// Reads the placed lessons with their names, as the published timetable does; false when a
/// file could not be read.
bool readLessons(const Tables& tables, ErrorReporter* errors, const Globals& glo,
                 TimetableVersion& v) {
    bool ok = true;
    auto all = [&](auto record, auto key) {
        using R = decltype(record);
        std::vector<R> out;
        if (Table* t = tables(R::File)) {
            Access<R> a(*t, errors);
            out = a.all(key);
            ok = ok && a.readOk();
        }
        return out;
    };
    auto fetch = [&](auto values, auto key) {
        using R = decltype(values);
        if (Table* t = tables(R::File)) {
            Access<R> a(*t, errors);
            R found = a.fetch(key, values);
            ok = ok && a.readOk();
            return found;
        }
        return R{};
    };
    QHash<Short, QString> dayNames;
    for (const Days& d : all(Days{}, Days::SeqNumberKey))
        dayNames.insert(d.DaySeqNumber, d.DayName);
    QHash<QString, int> bellRank;
    for (const LessonBell& b : all(LessonBell{}, LessonBell::NumberKey))
        bellRank.insert(b.LessonNo, int(bellRank.size()));

    QHash<Short, Group> groups;
    QHash<Short, QString> subjects, teachers;
    QHash<Long, QString> rooms;
    for (const Schedule& s : all(Schedule{}, Schedule::WeekDayLessonKey)) {
        if (s.isUnplaced() || s.Week < 1 || s.Week > v.weeks) continue;
        const auto day = dayNames.constFind(s.DaySeqNumber);
        const auto bell = bellRank.constFind(s.LessonNo);
        if (day == dayNames.constEnd() || bell == bellRank.constEnd()) continue;
        ComparedLesson l;
        l.entry = s;
        l.bell = *bell;
        l.dayName = *day;
        if (s.GroupCode != 0) {
            if (!groups.contains(s.GroupCode)) {
                Group key;
                key.GroupCode = s.GroupCode;
                groups.insert(s.GroupCode, fetch(key, Group::GroupCodeKey));
            }
            l.groupName = groups.value(s.GroupCode).GroupId();
        }
        l.group =
            l.groupName + (s.SubGroupNum != 0 ? FormatSubGroup(glo, s.SubGroupNum) : QString());
        if (!subjects.contains(s.ScienceCode)) {
            Science key;
            key.ScienceCode = s.ScienceCode;
            subjects.insert(s.ScienceCode, fetch(key, Science::ScienceCodeKey).Science);
        }
        l.subject = subjects.value(s.ScienceCode);
        if (s.TeacherCode != 0) {
            if (!teachers.contains(s.TeacherCode)) {
                Teacher key;
                key.TeacherCode = s.TeacherCode;
                teachers.insert(s.TeacherCode, fetch(key, Teacher::TeacherCodeKey).TeacherName);
            }
            l.teacher = teachers.value(s.TeacherCode);
        }
        if (s.RoomCode != 0) {
            if (!rooms.contains(s.RoomCode)) {
                Room key;
                key.RoomCode = s.RoomCode;
                rooms.insert(s.RoomCode, fetch(key, Room::CodeKey).RoomNo);
            }
            l.room = rooms.value(s.RoomCode);
        }
        v.lessons.push_back(std::move(l));
    }
    return ok;
}

QString quotedTitle(const QString& brief) {
    return QStringLiteral("«%1»").arg(brief.trimmed());
}

// --- Texts of a change ------------------------------------------------------------------

/// "пн" for "Понедельник": the usual short names, any other day by its own name.
QString shortDay(const ComparedLesson& l) {
    static const char* const names[][2] = {
        {"понедельник", "пн"}, {"вторник", "вт"}, {"среда", "ср"},      {"четверг", "чт"},
        {"пятница", "пт"},     {"суббота", "сб"}, {"воскресенье", "вс"}};
    const QString name = l.dayName.trimmed();
    for (const auto& n : names)
        if (name.compare(QString::fromUtf8(n[0]), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(n[1]);
    return name.isEmpty() ? QStringLiteral("день %1").arg(l.entry.DaySeqNumber) : name;
}

QString cellText(const ComparedLesson& l, bool weeks) {
    const QString cell = shortDay(l) + QLatin1Char(' ') + l.entry.LessonNo.trimmed();
    return weeks ? QStringLiteral("%1-я нед., ").arg(l.entry.Week) + cell : cell;
}

QString roomText(const ComparedLesson& l) {
    return l.room.isEmpty() ? QStringLiteral("без кабинета") : QStringLiteral("каб. ") + l.room;
}

/// The cell, and the room when there is one.
QString placeText(const ComparedLesson& l, bool weeks) {
    return l.room.isEmpty() ? cellText(l, weeks)
                            : cellText(l, weeks) + QStringLiteral(", ") + roomText(l);
}

QString lessonText(const ComparedLesson& l) {
    QStringList parts;
    for (const QString& p : {l.subject, l.group, l.teacher})
        if (!p.trimmed().isEmpty()) parts << p.trimmed();
    return parts.join(QStringLiteral(", "));
}

void describe(ScheduleChange& c, bool weeks) {
    using K = ScheduleChange::Kind;
    c.lesson = lessonText(c.latest());
    switch (c.kind) {
    case K::Moved: {
        const bool rooms = c.before.room != c.after.room;
        c.from = rooms ? cellText(c.before, weeks) + QStringLiteral(", ") + roomText(c.before)
                       : cellText(c.before, weeks);
        c.to = rooms ? cellText(c.after, weeks) + QStringLiteral(", ") + roomText(c.after)
                     : cellText(c.after, weeks);
        c.line = c.lesson + QStringLiteral(": ") + c.from + QStringLiteral(" → ") + c.to;
        break;
    }
    case K::RoomChanged:
        c.from = cellText(c.before, weeks) + QStringLiteral(", ") + roomText(c.before);
        c.to = cellText(c.after, weeks) + QStringLiteral(", ") + roomText(c.after);
        c.line = c.lesson + QStringLiteral(": ") + cellText(c.before, weeks) +
                 QStringLiteral(", ") + roomText(c.before) + QStringLiteral(" → ") +
                 roomText(c.after);
        break;
    case K::Added:
        c.to = placeText(c.after, weeks);
        c.line = c.lesson + QStringLiteral(": добавлен ") + c.to;
        break;
    case K::Removed:
        c.from = placeText(c.before, weeks);
        c.line = c.lesson + QStringLiteral(": снят ") + c.from;
        break;
    }
}

// --- Matching ---------------------------------------------------------------------------

using KindKey = std::tuple<Short, Short, Short, Short, Short, Byte, Short>;
KindKey kindOf(const Schedule& s) {
    return {s.TrainingCourseItemCode, s.GroupCode, s.SubGroupNum, s.TeacherCode, s.ScienceCode,
            s.CoupledLesson,          s.LinkCode};
}
auto cellOf(const Schedule& s) {
    return std::tie(s.Week, s.DaySeqNumber, s.LessonNo);
}
auto placeOf(const Schedule& s) {
    return std::tie(s.Week, s.DaySeqNumber, s.LessonNo, s.RoomCode);
}

/// "5-А" before "10-А": a leading number by value, then the rest the Russian way.
auto groupOrder(const ChangedObject& o) {
    qsizetype digits = 0;
    while (digits < o.name.size() && o.name[digits].isDigit())
        ++digits;
    return std::make_tuple(o.code == 0, o.name.left(digits).toLongLong(),
                           foldKey(o.name.mid(digits)));
}

void gather(ScheduleComparison& c) {
    std::map<Short, ChangedObject> groups, teachers;
    for (size_t i = 0; i < c.changes.size(); ++i) {
        const ComparedLesson& l = c.changes[i].latest();
        ChangedObject& g = groups[l.entry.GroupCode];
        g.code = l.entry.GroupCode;
        g.name = l.groupName.isEmpty() ? QStringLiteral("без группы") : l.groupName;
        g.changes.push_back(int(i));
        ChangedObject& t = teachers[l.entry.TeacherCode];
        t.code = l.entry.TeacherCode;
        t.name =
            l.teacher.trimmed().isEmpty() ? QStringLiteral("без учителя") : l.teacher.trimmed();
        t.changes.push_back(int(i));
    }
    for (auto& [code, o] : groups)
        c.groups.push_back(std::move(o));
    for (auto& [code, o] : teachers)
        c.teachers.push_back(std::move(o));
    std::sort(c.groups.begin(), c.groups.end(), [](const ChangedObject& a, const ChangedObject& b) {
        return groupOrder(a) < groupOrder(b);
    });
    std::sort(c.teachers.begin(), c.teachers.end(),
              [](const ChangedObject& a, const ChangedObject& b) {
                  return std::make_tuple(a.code == 0, foldKey(a.name)) <
                         std::make_tuple(b.code == 0, foldKey(b.name));
              });
}

} // namespace

QString ScheduleChange::kindText() const {
    switch (kind) {
    case Kind::Moved:
        return QStringLiteral("перемещен");
    case Kind::RoomChanged:
        return QStringLiteral("сменил кабинет");
    case Kind::Added:
        return QStringLiteral("добавлен");
    case Kind::Removed:
        return QStringLiteral("снят");
    }
    return {};
}

int ScheduleComparison::count(ScheduleChange::Kind k) const {
    return int(std::count_if(changes.begin(), changes.end(),
                             [k](const ScheduleChange& c) { return c.kind == k; }));
}

bool ReadTimetableVersion(Dictionary& dict, const QString& archived, TimetableVersion* out,
                          QString* error) {
    TimetableVersion& v = *out;
    v = TimetableVersion();
    if (archived.isEmpty()) {
        v.title = QStringLiteral("текущее расписание");
        v.weeks = std::max<int>(1, dict.glo.WeeksInCycle);
        std::vector<std::unique_ptr<FileUse>> uses;
        for (FileId id : timetableFiles()) {
            uses.push_back(std::make_unique<FileUse>(dict.store(), id));
            if (!uses.back()->ok()) {
                *error = QStringLiteral("Файлы текущего расписания не читаются.");
                return false;
            }
        }
        const Tables tables = [&](FileId id) { return &dict.store().file(id).table(); };
        if (!readLessons(tables, &dict.errors(), dict.glo, v)) {
            *error = QStringLiteral("Файлы текущего расписания не читаются.");
            return false;
        }
        return true;
    }

    v.title = quotedTitle(archived);
    // A school that never saved a timetable has no archive file: it is not made by looking.
    Archive rec;
    bool found = false;
    if (QFileInfo::exists(dict.store().file(FileId::Archive).path()) ||
        dict.store().file(FileId::Archive).isOpen()) {
        FileUse use(dict.store(), FileId::Archive);
        if (!use) {
            *error = QStringLiteral("Файл архива расписаний не читается.");
            return false;
        }
        auto archive = dict.access<Archive>();
        Archive key;
        key.BriefDescription = archived.trimmed();
        rec = archive.fetch(Archive::DescriptionKey, key, &found);
        if (!archive.readOk()) {
            *error = QStringLiteral("Файл архива расписаний не читается.");
            return false;
        }
    }
    if (!found) {
        *error = QStringLiteral("В архиве нет расписания %1.").arg(v.title);
        return false;
    }
    v.weeks = std::max<int>(1, rec.WeeksInCycle);
    std::map<FileId, std::unique_ptr<ImageTable>> images;
    for (const ArchivedFile& f : ArchivedFiles()) {
        const auto& wanted = timetableFiles();
        if (std::find(wanted.begin(), wanted.end(), f.file) == wanted.end()) continue;
        auto image = std::make_unique<ImageTable>();
        if (const QString damage = openImage(f.file, rec.*f.blob, *image); !damage.isEmpty()) {
            *error = QStringLiteral("Архивная копия файла %1 (%2) в расписании %3 повреждена: %4.")
                         .arg(QString::fromLatin1(f.progressName), QString::fromUtf8(f.title),
                              v.title, damage);
            return false;
        }
        images[f.file] = std::move(image);
    }
    const Tables tables = [&](FileId id) { return images.at(id)->table.get(); };
    if (!readLessons(tables, nullptr, dict.glo, v)) {
        *error = QStringLiteral("Архивное расписание %1 не читается.").arg(v.title);
        return false;
    }
    return true;
}

ScheduleComparison CompareVersions(const TimetableVersion& before, const TimetableVersion& after) {
    using K = ScheduleChange::Kind;
    ScheduleComparison c;
    c.ok = true;
    c.beforeTitle = before.title;
    c.afterTitle = after.title;
    std::map<KindKey,
             std::pair<std::vector<const ComparedLesson*>, std::vector<const ComparedLesson*>>>
        kinds;
    for (const ComparedLesson& l : before.lessons)
        kinds[kindOf(l.entry)].first.push_back(&l);
    for (const ComparedLesson& l : after.lessons)
        kinds[kindOf(l.entry)].second.push_back(&l);
    auto add = [&](K kind, const ComparedLesson* was, const ComparedLesson* now) {
        ScheduleChange change;
        change.kind = kind;
        if (was) change.before = *was;
        if (now) change.after = *now;
        c.changes.push_back(std::move(change));
    };
    auto byPlace = [](const ComparedLesson* a, const ComparedLesson* b) {
        return std::tuple_cat(placeOf(a->entry), std::tie(a->entry.rowId)) <
               std::tuple_cat(placeOf(b->entry), std::tie(b->entry.rowId));
    };
    for (auto& [key, lists] : kinds) {
        auto& [was, now] = lists;
        std::sort(was.begin(), was.end(), byPlace);
        std::sort(now.begin(), now.end(), byPlace);
        // A place of the kind in both timetables is no change, whichever record holds it.
        std::vector<const ComparedLesson*> gone, added;
        size_t a = 0, b = 0;
        while (a < was.size() || b < now.size()) {
            if (b == now.size() ||
                (a < was.size() && placeOf(was[a]->entry) < placeOf(now[b]->entry)))
                gone.push_back(was[a++]);
            else if (a == was.size() || placeOf(now[b]->entry) < placeOf(was[a]->entry))
                added.push_back(now[b++]);
            else
                ++a, ++b;
        }
        std::vector<char> used(added.size(), 0), paired(gone.size(), 0);
        auto pairUp = [&](K kind,
                          const std::function<bool(const Schedule&, const Schedule&)>& fits) {
            for (size_t g = 0; g < gone.size(); ++g)
                for (size_t k = 0; k < added.size() && !paired[g]; ++k)
                    if (!used[k] && fits(gone[g]->entry, added[k]->entry)) {
                        used[k] = paired[g] = 1;
                        add(kind, gone[g], added[k]);
                    }
        };
        // The same cell with another room: the record's own first, then any of the kind.
        pairUp(K::RoomChanged, [](const Schedule& x, const Schedule& y) {
            return cellOf(x) == cellOf(y) && x.rowId == y.rowId;
        });
        pairUp(K::RoomChanged,
               [](const Schedule& x, const Schedule& y) { return cellOf(x) == cellOf(y); });
        // Moves: a record with its own new place, the others in cell order.
        pairUp(K::Moved, [](const Schedule& x, const Schedule& y) { return x.rowId == y.rowId; });
        pairUp(K::Moved, [](const Schedule&, const Schedule&) { return true; });
        for (size_t g = 0; g < gone.size(); ++g)
            if (!paired[g]) add(K::Removed, gone[g], nullptr);
        for (size_t k = 0; k < added.size(); ++k)
            if (!used[k]) add(K::Added, nullptr, added[k]);
    }
    const bool weeks = before.weeks > 1 || after.weeks > 1;
    for (ScheduleChange& change : c.changes)
        describe(change, weeks);
    std::stable_sort(
        c.changes.begin(), c.changes.end(), [](const ScheduleChange& x, const ScheduleChange& y) {
            const ComparedLesson& a = x.hasBefore() ? x.before : x.after;
            const ComparedLesson& b = y.hasBefore() ? y.before : y.after;
            return std::make_tuple(a.entry.Week, a.entry.DaySeqNumber, a.bell, foldKey(x.lesson)) <
                   std::make_tuple(b.entry.Week, b.entry.DaySeqNumber, b.bell, foldKey(y.lesson));
        });
    gather(c);
    return c;
}

ScheduleComparison CompareSchedules(Dictionary& dict, const QString& archived,
                                    const QString& with) {
    ScheduleComparison failed;
    if (archived.trimmed().isEmpty()) {
        failed.error = QStringLiteral("Не указано расписание из архива.");
        return failed;
    }
    TimetableVersion before, after;
    if (!ReadTimetableVersion(dict, archived.trimmed(), &before, &failed.error) ||
        !ReadTimetableVersion(dict, with.trimmed(), &after, &failed.error))
        return failed;
    return CompareVersions(before, after);
}

QString CompareCaption() {
    return QStringLiteral("Сравнение расписаний");
}

QString ComparisonHeading(const ScheduleComparison& c) {
    return c.beforeTitle + QStringLiteral(" → ") + c.afterTitle;
}

QString ComparisonSummary(const ScheduleComparison& c) {
    using K = ScheduleChange::Kind;
    if (c.same()) return QStringLiteral("Расписания совпадают.");
    return QStringLiteral("Итог: перемещено: %1, сменили кабинет: %2, добавлено: %3, снято: %4.")
        .arg(c.count(K::Moved))
        .arg(c.count(K::RoomChanged))
        .arg(c.count(K::Added))
        .arg(c.count(K::Removed));
}

QStringList ComparisonLines(const ScheduleComparison& c, ChangesBy by) {
    QStringList out{CompareCaption() + QStringLiteral(": ") + ComparisonHeading(c)};
    for (const ChangedObject& o : c.by(by)) {
        out << o.name;
        for (int i : o.changes)
            out << QStringLiteral("  ") + c.changes[size_t(i)].line;
    }
    out << ComparisonSummary(c);
    return out;
}

} // namespace hestor
