#include "hestor/TableImport.h"

#include "tamsel/Csv.h"
#include "tamsel/Dictionary.h"
#include "tamsel/ErrorReporter.h"
#include "tamsel/Relations.h"
#include "tamsel/Snapshots.h"
#include "tamsel/WritingLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <zip.h>

namespace hestor {

using namespace tamsel;

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

bool readCsv(const QString& path, TableRows* out, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = f.errorString();
        return false;
    }
    QByteArray bytes = f.readAll();
    // UTF-8 when the bytes are valid UTF-8 (an old Windows file in 1251 almost never is).
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    out->encoding = u("UTF-8");
    if (utf8.hasError()) {
        QStringDecoder cp1251("windows-1251");
        text = cp1251.decode(bytes);
        out->encoding = u("Windows-1251");
    }
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    const QString first = text.section(QLatin1Char('\n'), 0, 0);
    out->separator = first.count(QLatin1Char(';')) >= first.count(QLatin1Char(',')) ? QLatin1Char(';') : QLatin1Char(',');
    std::vector<QStringList> rows;
    if (!ParseCsv(text, out->separator, &rows, error)) return false;
    if (rows.empty()) {
        *error = u("файл пуст");
        return false;
    }
    out->header = rows.front();
    out->rows.assign(rows.begin() + 1, rows.end());
    return true;
}

QByteArray zipEntry(zip_t* z, const char* name, bool* found) {
    QByteArray data;
    zip_stat_t st;
    *found = zip_stat(z, name, 0, &st) == 0;
    if (!*found) return data;
    zip_file_t* f = zip_fopen(z, name, 0);
    if (!f) {
        *found = false;
        return data;
    }
    data.resize(static_cast<qsizetype>(st.size));
    const zip_int64_t n = zip_fread(f, data.data(), st.size);
    zip_fclose(f);
    if (n != static_cast<zip_int64_t>(st.size)) *found = false;
    return data;
}

/// "B12" -> column 1 (from 0).
int columnOf(const QString& ref) {
    int col = 0;
    for (QChar c : ref) {
        if (!c.isLetter()) break;
        col = col * 26 + (c.toUpper().unicode() - 'A' + 1);
    }
    return col - 1;
}

/// The first sheet of an .xlsx file: its shared strings, then its rows (cells placed by their
/// references, so empty cells keep their columns).
bool readXlsx(const QString& path, TableRows* out, QString* error) {
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &err);
    if (!z) {
        *error = u("это не файл xlsx (архив не открывается)");
        return false;
    }
    bool found = false;
    QStringList shared;
    const QByteArray strings = zipEntry(z, "xl/sharedStrings.xml", &found);
    if (found) {
        QXmlStreamReader x(strings);
        QString current;
        bool inSi = false;
        while (!x.atEnd()) {
            x.readNext();
            if (x.isStartElement() && x.name() == QLatin1String("si")) {
                inSi = true;
                current.clear();
            } else if (x.isEndElement() && x.name() == QLatin1String("si")) {
                inSi = false;
                shared << current;
            } else if (inSi && x.isStartElement() && x.name() == QLatin1String("t")) {
                current += x.readElementText();
            }
        }
    }
    const QByteArray sheet = zipEntry(z, "xl/worksheets/sheet1.xml", &found);
    zip_close(z);
    if (!found) {
        *error = u("в файле xlsx нет первого листа");
        return false;
    }
    std::vector<QStringList> rows;
    QXmlStreamReader x(sheet);
    QStringList row;
    int col = -1;
    QString type;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement() && x.name() == QLatin1String("row")) {
            row.clear();
            const int r = x.attributes().value(QLatin1String("r")).toInt();
            while (r > 1 && static_cast<int>(rows.size()) < r - 1) rows.push_back({});
        } else if (x.isEndElement() && x.name() == QLatin1String("row")) {
            rows.push_back(row);
        } else if (x.isStartElement() && x.name() == QLatin1String("c")) {
            const QString ref = x.attributes().value(QLatin1String("r")).toString();
            col = ref.isEmpty() ? static_cast<int>(row.size()) : columnOf(ref);
            type = x.attributes().value(QLatin1String("t")).toString();
        } else if (x.isStartElement() && (x.name() == QLatin1String("v") || x.name() == QLatin1String("t"))) {
            QString v = x.readElementText();
            if (type == QLatin1String("s")) v = shared.value(v.toInt());
            while (row.size() <= col) row << QString();
            row[col] += v;
        }
    }
    if (x.hasError() || rows.empty()) {
        *error = x.hasError() ? x.errorString() : u("лист пуст");
        return false;
    }
    out->encoding = u("xlsx");
    out->header = rows.front();
    out->rows.assign(rows.begin() + 1, rows.end());
    return true;
}

} // namespace

std::optional<SourceTable> sourceTableFromName(const QString& name) {
    static const std::map<QString, SourceTable> names{{"teachers", SourceTable::Teachers},
                                                      {"groups", SourceTable::Groups},
                                                      {"subjects", SourceTable::Subjects},
                                                      {"rooms", SourceTable::Rooms},
                                                      {"plan", SourceTable::Plan},
                                                      {"load", SourceTable::Load}};
    const auto f = names.find(name);
    if (f == names.end()) return std::nullopt;
    return f->second;
}

bool ReadTableFile(const QString& path, TableRows* out, QString* error) {
    *out = TableRows();
    if (QFileInfo(path).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) == 0)
        return readXlsx(path, out, error);
    return readCsv(path, out, error);
}

std::vector<TableColumn> columnsOf(SourceTable table) {
    switch (table) {
    case SourceTable::Teachers:
        return {{{u("Учитель"), u("Фамилия"), u("ФИО")}, true},
                {{u("Специальность")}, false},
                {{u("Табельный номер"), u("Таб. номер")}, false}};
    case SourceTable::Groups:
        return {{{u("Курс"), u("Год обучения")}, true},
                {{u("Буква"), u("Литера")}, true},
                {{u("Поток")}, false}};
    case SourceTable::Subjects:
        return {{{u("Предмет")}, true}, {{u("Тип подгрупп"), u("Тип п/группы")}, false}};
    case SourceTable::Rooms:
        return {{{u("Кабинет"), u("Номер")}, true}, {{u("Тип кабинета"), u("Тип")}, false}};
    case SourceTable::Plan:
        return {{{u("Предмет")}, true},
                {{u("Курс"), u("Год обучения")}, true},
                {{u("Поток")}, false},
                {{u("Часы"), u("Одиночные часы")}, true},
                {{u("Сдвоенные часы"), u("Сдвоенные")}, false}};
    case SourceTable::Load:
        return {{{u("Учитель"), u("Фамилия"), u("ФИО")}, true},
                {{u("Предмет")}, true},
                {{u("Класс"), u("Группа")}, true},
                {{u("Подгруппа")}, false},
                {{u("Часы"), u("Нагрузка")}, false},
                {{u("Кабинет")}, false}};
    }
    return {};
}

std::vector<int> matchColumns(SourceTable table, const QStringList& header) {
    std::vector<int> out;
    for (const TableColumn& c : columnsOf(table)) {
        int at = -1;
        for (int i = 0; i < header.size() && at < 0; ++i)
            for (const QString& n : c.names)
                if (header[i].trimmed().compare(n, Qt::CaseInsensitive) == 0) at = i;
        out.push_back(at);
    }
    return out;
}

namespace {

/// The group a person writes "5-А", "5А", "5 а" or "10-Б" for: the course, then the letter.
Short groupByLabel(Dictionary& d, const QString& label) {
    const QString text = label.simplified();
    qsizetype digits = 0;
    while (digits < text.size() && text[digits].isDigit()) ++digits;
    QString letter = text.mid(digits);
    letter.remove(QLatin1Char('-')).remove(QLatin1Char(' '));
    const QString course = text.left(digits);
    if (course.isEmpty()) return 0;
    for (const Group& g : d.access<Group>(false).all(Group::GroupCodeKey))
        if (g.Course.trimmed() == course && g.Literal.trimmed().compare(letter, Qt::CaseInsensitive) == 0)
            return g.GroupCode;
    return 0;
}

/// One row of the load: the teacher takes `hours` lessons of the subject in the group (every
/// lesson without a teacher when blank), single ones first, then the halves of pairs in turn;
/// a room joins the teacher's list for the subject. Empty when done, else why not.
QString giveLoad(Dictionary& d, Relations& rel, const QString& teacherName, const QString& subject,
                 const QString& groupLabel, const QString& subGroup, const QString& hoursText,
                 const QString& roomNo) {
    Teacher tk;
    tk.TeacherName = teacherName;
    const Short teacher = d.access<Teacher>(false).fetch(Teacher::TeacherNameKey, tk).TeacherCode;
    if (!teacher) return u("учителя «%1» нет").arg(teacherName);
    Science sk;
    sk.Science = subject;
    const Short science = d.access<Science>(false).fetch(Science::ScienceKey, sk).ScienceCode;
    if (!science) return u("предмета «%1» нет").arg(subject);
    const Short group = groupByLabel(d, groupLabel);
    if (!group) return u("класса «%1» нет").arg(groupLabel);
    bool ok = true;
    const int sub = subGroup.isEmpty() ? 0 : subGroup.toInt(&ok);
    if (!ok) return u("«%1» — не число").arg(subGroup);
    const int hours = hoursText.isEmpty() ? -1 : hoursText.toInt(&ok);
    if (!ok || hours == 0 || hours < -1) return u("«%1» — не число часов").arg(hoursText);
    Long room = 0;
    if (!roomNo.isEmpty()) {
        Room rk;
        rk.RoomNo = roomNo;
        room = d.access<Room>(false).fetch(Room::RoomNoKey, rk).RoomCode;
        if (!room) return u("кабинета «%1» нет").arg(roomNo);
    }

    auto lessons = d.access<Schedule>(false);
    Schedule from;
    from.GroupCode = group;
    from.ScienceCode = science;
    from.SubGroupNum = Short(sub);
    std::vector<Schedule> singles, halves[2];
    int already = 0, total = 0;
    for (const Schedule& s : lessons.read(Schedule::GroupScienceSubGrKey, from, 3)) {
        ++total;
        if (s.TeacherCode == teacher) ++already;
        if (s.TeacherCode != 0) continue;
        (s.CoupledLesson == 0 ? singles : halves[s.CoupledLesson == 1 ? 0 : 1]).push_back(s);
    }
    if (total == 0)
        return u("в плане нет уроков «%1» у %2%3").arg(subject, groupLabel,
                                                       sub ? u(", подгруппа %1").arg(sub) : QString());
    std::vector<Schedule> given = singles;
    for (size_t i = 0; i < std::max(halves[0].size(), halves[1].size()); ++i)
        for (const auto& half : halves)
            if (i < half.size()) given.push_back(half[i]);
    // A repeated row (or the file imported again) gives nothing twice.
    const int wanted = hours < 0 ? int(given.size()) : std::max(0, hours - already);
    if (wanted > int(given.size()))
        return u("у %1 по предмету «%2» без учителя %3 ч., а нужно %4")
            .arg(groupLabel, subject)
            .arg(given.size())
            .arg(wanted);
    for (int i = 0; i < wanted; ++i) {
        given[size_t(i)].TeacherCode = teacher;
        const Outcome o = rel.update(given[size_t(i)]);
        if (!o.ok()) return o.msgNo ? ErrorReporter::text(o.msgNo, o.args).replace(QLatin1Char('|'), QLatin1Char(' ')).simplified()
                                    : fileErrorText(o.fileError);
    }
    if (room) {
        RoomList rl;
        rl.TeacherCode = teacher;
        rl.ScienceCode = science;
        rl.RoomCode = Short(room);
        if (!d.access<RoomList>(false).exists(RoomList::TeacherScienceRoomCode, rl)) {
            // After the rooms listed before: the list is the order they are tried in.
            rl.Priority = Short(d.access<RoomList>(false).read(RoomList::TeacherScienceKey, rl, 2).size() + 1);
            const Outcome o = rel.insert(rl);
            if (!o.ok()) return fileErrorText(o.fileError);
        }
    }
    return {};
}

/// Stores the rows into the school of `d` (a copy); each refusal is a line of `refused`.
int storeRows(Dictionary& d, SourceTable table, const TableRows& rows, const std::vector<int>& col,
              QStringList& refused) {
    Relations rel(d);
    rel.setReporting(false);
    int taken = 0;
    for (size_t r = 0; r < rows.rows.size(); ++r) {
        const QStringList& row = rows.rows[r];
        const int line = static_cast<int>(r) + 2;
        if (row.join(QString()).trimmed().isEmpty()) continue;
        auto cell = [&](size_t c) { return col[c] >= 0 ? row.value(col[c]).trimmed() : QString(); };
        auto refuse = [&](const QString& why) { refused << u("строка %1: %2").arg(line).arg(why); };
        auto stored = [&](const Outcome& o) {
            if (o.ok()) {
                ++taken;
                return;
            }
            QString why = o.msgNo ? ErrorReporter::text(o.msgNo, o.args) : fileErrorText(o.fileError);
            refuse(why.replace(QLatin1Char('|'), QLatin1Char(' ')).simplified());
        };
        auto number = [&](size_t c, int* value) {
            const QString text = cell(c);
            bool ok = true;
            *value = text.isEmpty() ? 0 : text.toInt(&ok);
            if (!ok) refuse(u("«%1» — не число").arg(text));
            return ok;
        };
        auto stream = [&](const QString& given) -> Short {
            const QString name = given.isEmpty() ? u("Основной") : given;
            Stream k;
            k.Stream = name;
            Short code = d.access<Stream>(false).fetch(Stream::StreamKey, k).StreamCode;
            if (code == 0) {
                Stream s = d.access<Stream>(false).prime();
                s.Stream = name;
                if (rel.insert(s).ok()) code = s.StreamCode;
            }
            return code;
        };
        bool filled = true;
        for (size_t c = 0; c < col.size() && filled; ++c)
            if (columnsOf(table)[c].required && cell(c).isEmpty()) {
                refuse(u("не заполнен столбец «%1»").arg(columnsOf(table)[c].names.front()));
                filled = false;
            }
        if (!filled) continue;
        switch (table) {
        case SourceTable::Teachers: {
            Teacher t = d.access<Teacher>(false).prime();
            t.ObjectType = ObjectType::Teacher;
            t.TeacherName = cell(0);
            if (!cell(1).isEmpty()) {
                Speciality k;
                k.Speciality = cell(1);
                t.SpecialityCode = d.access<Speciality>(false).fetch(Speciality::SpecialityKey, k).SpecialityCode;
                if (!t.SpecialityCode) {
                    refuse(u("специальности «%1» нет").arg(cell(1)));
                    break;
                }
            }
            int no = 0;
            if (!number(2, &no)) break;
            if (no) t.TableNo = static_cast<Short>(no);
            stored(rel.insert(t));
            break;
        }
        case SourceTable::Groups: {
            Course c;
            c.Course = cell(0);
            if (!d.access<Course>(false).exists(Course::CourseKey, c)) rel.insert(c);
            Group g = d.access<Group>(false).prime();
            g.ObjectType = ObjectType::Group;
            g.Course = cell(0);
            g.Defis = QStringLiteral("-");
            g.Literal = cell(1);
            g.StreamCode = stream(cell(2));
            stored(rel.insert(g));
            break;
        }
        case SourceTable::Subjects: {
            Science s = d.access<Science>(false).prime();
            s.ObjectType = ObjectType::Science;
            s.Science = cell(0);
            if (!cell(1).isEmpty()) {
                SubGroupType k;
                k.SgrpTyp = cell(1);
                s.SgrpTypCode = d.access<SubGroupType>(false).fetch(SubGroupType::SgrpTypKey, k).SgrpTypCode;
                if (!s.SgrpTypCode) {
                    refuse(u("типа подгрупп «%1» нет").arg(cell(1)));
                    break;
                }
            }
            stored(rel.insert(s));
            break;
        }
        case SourceTable::Rooms: {
            Room room = d.access<Room>(false).prime();
            room.ObjectType = ObjectType::Room;
            room.RoomNo = cell(0);
            const QString typeName = cell(1);
            if (!typeName.isEmpty()) {
                RoomType k;
                k.RoomType = typeName;
                room.RoomTypePtr = d.access<RoomType>(false).fetch(RoomType::RoomTypeKey, k).SysCode;
                if (!room.RoomTypePtr) {
                    refuse(u("типа кабинета «%1» нет").arg(typeName));
                    break;
                }
            } else {
                room.RoomTypePtr = d.glo.CommonTypeRoomCode;
            }
            stored(rel.insert(room));
            break;
        }
        case SourceTable::Load: {
            const QString why = giveLoad(d, rel, cell(0), cell(1), cell(2), cell(3), cell(4), cell(5));
            if (why.isEmpty())
                ++taken;
            else
                refuse(why);
            break;
        }
        case SourceTable::Plan: {
            Science k;
            k.Science = cell(0);
            const Short science = d.access<Science>(false).fetch(Science::ScienceKey, k).ScienceCode;
            if (!science) {
                refuse(u("предмета «%1» нет").arg(cell(0)));
                break;
            }
            int single = 0, paired = 0;
            if (!number(3, &single) || !number(4, &paired)) break;
            TrainingCourse item = d.access<TrainingCourse>(false).prime();
            item.ScienceCode = science;
            item.Course = cell(1);
            item.StreamCode = stream(cell(2));
            item.SingleHours = static_cast<Short>(single);
            item.CoupledHours = static_cast<Short>(paired);
            const Outcome v = rel.validate(item);
            if (!v.ok()) {
                stored(v);
                break;
            }
            stored(rel.insert(item));
            break;
        }
        }
    }
    return taken;
}

std::vector<FileId> writtenBy(SourceTable table) {
    switch (table) {
    case SourceTable::Teachers: return {FileId::Teacher};
    case SourceTable::Groups: return {FileId::Group, FileId::Course, FileId::Stream, FileId::Schedule};
    case SourceTable::Subjects: return {FileId::Science};
    case SourceTable::Rooms: return {FileId::Room};
    case SourceTable::Plan: return {FileId::TrainingCourse, FileId::Stream, FileId::Schedule};
    case SourceTable::Load: return {FileId::Schedule, FileId::RoomList};
    }
    return {};
}

} // namespace

TableImportResult ImportTable(Dictionary& dict, SourceTable table, const TableRows& rows) {
    TableImportResult result;
    const QString caption = u("Импорт исходных данных");
    auto refuse = [&](const QString& why) {
        result.reason = why;
        dict.ui().tell(caption, why + u("|Данные школы не изменены."));
        return result;
    };
    const std::vector<int> col = matchColumns(table, rows.header);
    const auto columns = columnsOf(table);
    for (size_t c = 0; c < col.size(); ++c)
        if (columns[c].required && col[c] < 0)
            return refuse(u("В первой строке нет столбца «%1».").arg(columns[c].names.front()));

    WritingScope writing(dict);
    if (!writing) {
        result.reason = u("Папка занята другой программой.");
        return result;
    }
    const std::vector<FileId> written = writtenBy(table);
    for (FileId id : written)
        if (dict.store().file(id).users() > 0)
            return refuse(u("Файл %1 открыт в другом окне. Закройте остальные окна и повторите импорт.")
                              .arg(QDir::toNativeSeparators(dict.store().diskName(id))));
    QTemporaryDir work;
    if (!work.isValid()) return refuse(u("Не удалось создать временную папку."));
    std::vector<FileContents> contents;
    {
        Dictionary copy(work.path());
        copy.setUserInterface(dict.ui());
        copy.glo.WeeksInCycle = dict.glo.WeeksInCycle;
        copy.glo.CommonTypeRoomCode = dict.glo.CommonTypeRoomCode;
        for (int i = 0; i < PhysicalFileCount; ++i) {
            const auto id = static_cast<FileId>(i);
            if (id == FileId::Archive || !QFileInfo::exists(dict.store().diskName(id))) continue;
            Outcome error;
            const QByteArray bytes = SnapshotDataFile(dict.store(), id, &error);
            QFile target(copy.store().diskName(id));
            if (!error.ok() || !target.open(QIODevice::WriteOnly) || target.write(bytes) != bytes.size())
                return refuse(u("Файл данных %1 не читается.").arg(QDir::toNativeSeparators(dict.store().diskName(id))));
        }
        std::vector<std::unique_ptr<FileUse>> open;
        for (int i = 0; i < PhysicalFileCount; ++i) {
            if (static_cast<FileId>(i) == FileId::Archive) continue;
            open.push_back(std::make_unique<FileUse>(copy.store(), static_cast<FileId>(i)));
            if (!*open.back()) return refuse(u("Файлы данных школы не открываются."));
        }
        copy.store().beginBatch();
        result.taken = storeRows(copy, table, rows, col, result.refused);
        copy.store().endBatch();
        if (!result.refused.isEmpty())
            return refuse(u("Не принято строк: %1. Импорт не выполнен.").arg(result.refused.size()));
        open.clear();
        for (FileId id : written) {
            Outcome o;
            contents.push_back({id, SnapshotDataFile(copy.store(), id, &o)});
            if (!o.ok()) return refuse(u("Импорт не выполнен."));
        }
        copy.store().closeAll();
    }
    const Outcome o = InstallDataFiles(dict.store(), contents);
    if (!o.ok()) {
        if (o.msgNo) dict.errors().report(o.msgNo, o.args);
        result.reason = u("Импортированные данные не удалось записать.");
        result.taken = 0;
        return result;
    }
    result.done = true;
    return result;
}

} // namespace hestor
