#include "tamsel/LegacyFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <cstring>

namespace tamsel {

namespace {

using T = LegacyField;

const std::vector<LegacyLayout>& layouts() {
    static const std::vector<LegacyLayout> all{
        {LegacyFileId::Lessons,
         "LegacyLessons",
         "Lessons.dat",
         {{"LESSONNO", T::Text, 3}, {"BEGINING", T::Text, 5}, {"ENDING", T::Text, 5}},
         {{"MAINKEY", {LLes::LESSONNO}}}},
        {LegacyFileId::RoomTypes,
         "LegacyRoomTypes",
         "RoomType.dat",
         {{"ROOMTYPE", T::Text, 15}},
         {{"MAINKEY", {LRmt::ROOMTYPE}}}},
        {LegacyFileId::Rooms,
         "LegacyRooms",
         "Rooms.dat",
         {{"ROOMNO", T::Text, 5}, {"ROOMTYPE", T::Text, 15}},
         {{"MAINKEY", {LRoo::ROOMTYPE, LRoo::ROOMNO}}, {"ROOMNOKEY", {LRoo::ROOMNO}}}},
        {LegacyFileId::Specialities,
         "LegacySpecialities",
         "Speclty.dat",
         {{"SPECIALITY", T::Text, 20}},
         {{"MAINKEY", {LSpc::SPECIALITY}}}},
        {LegacyFileId::Teachers,
         "LegacyTeachers",
         "Teacher.dat",
         {{"TEACHER", T::Text, 20},
          {"SPECIALITY", T::Text, 20},
          {"HOURS", T::Byte, 1},
          {"MAINROOMNO", T::Text, 5},
          {"SBSTROOMNO", T::Text, 5},
          {"RESTRICTIONS", T::Long, 4}},
         {{"MAINKEY", {LTch::SPECIALITY, LTch::TEACHER}}, {"NAMEKEY", {LTch::TEACHER}}}},
        {LegacyFileId::Groups,
         "LegacyGroups",
         "Group.dat",
         {{"COURSE", T::Text, 2},
          {"LITERAL", T::Text, 2},
          {"STREAM", T::Text, 5},
          {"RESTRICTIONS", T::Long, 4}},
         {{"MAINKEY", {LGrp::COURSE, LGrp::LITERAL}},
          {"STREAMKEY", {LGrp::COURSE, LGrp::STREAM}, true}}},
        {LegacyFileId::Sciences,
         "LegacySciences",
         "Science.dat",
         {{"SCIENCE", T::Text, 20},
          {"MAINROOMTYPE", T::Text, 15},
          {"SBSTROOMTYPE", T::Text, 15},
          {"DOUBLED", T::Byte, 1},
          {"PEN", T::Byte, 1}},
         {{"MAINKEY", {LSci::SCIENCE}}}},
        {LegacyFileId::TrainingPlan,
         "L_P",
         "L_P.dat",
         {{"Science", T::Text, 20},
          {"Course", T::Text, 2},
          {"Stream", T::Text, 5},
          {"Hours", T::Byte, 1}},
         {{"MainKey", {L_P::Science, L_P::Course, L_P::Stream}},
          {"StreamKey", {L_P::Course, L_P::Stream}, true}}},
        {LegacyFileId::GroupForbids,
         "FORBID_G",
         "Forbid_G.dat",
         {{"Course", T::Text, 2},
          {"Literal", T::Text, 2},
          {"LessonNo", T::Text, 3},
          {"Forbid1", T::Byte, 1},
          {"Forbid2", T::Byte, 1},
          {"Forbid3", T::Byte, 1},
          {"Forbid4", T::Byte, 1},
          {"Forbid5", T::Byte, 1},
          {"Forbid6", T::Byte, 1}},
         {{"MainKey", {FrbG::Course, FrbG::Literal, FrbG::LessonNo}}}},
        {LegacyFileId::TeacherForbids,
         "FORBID_T",
         "Forbid_T.dat",
         {{"Teacher", T::Text, 20},
          {"LessonNo", T::Text, 3},
          {"Forbid1", T::Byte, 1},
          {"Forbid2", T::Byte, 1},
          {"Forbid3", T::Byte, 1},
          {"Forbid4", T::Byte, 1},
          {"Forbid5", T::Byte, 1},
          {"Forbid6", T::Byte, 1}},
         {{"MainKey", {FrbT::Teacher, FrbT::LessonNo}}}},
        {LegacyFileId::TeacherLoad,
         "LES_PLAN",
         "Les_plan.dat",
         {{"Teacher", T::Text, 20},
          {"Course", T::Text, 2},
          {"Literal", T::Text, 2},
          {"Science", T::Text, 20},
          {"Hours", T::Byte, 1}},
         {{"MainKey", {LPl::Teacher, LPl::Course, LPl::Literal, LPl::Science}},
          {"GroupKey", {LPl::Course, LPl::Literal, LPl::Science}, true},
          {"ScienceKey", {LPl::Science, LPl::Course, LPl::Literal, LPl::Teacher}},
          {"TchSciKey", {LPl::Teacher, LPl::Science}, true}}},
        {LegacyFileId::Schedule,
         "LegacySchedule",
         "Schedule.dat",
         {{"WEEK", T::Byte, 1},
          {"DAYNO", T::Byte, 1},
          {"LESSONNO", T::Text, 3},
          {"TEACHER", T::Text, 20},
          {"COURSE", T::Text, 2},
          {"LITERAL", T::Text, 2},
          {"ROOMNO", T::Text, 5},
          {"SCIENCE", T::Text, 20},
          {"SUBGROUP", T::Byte, 1},
          {"DOUBLED", T::Byte, 1}},
         {{"TEACHERKEY", {LSch::TEACHER, LSch::WEEK, LSch::DAYNO, LSch::LESSONNO}},
          {"GROUPKEY",
           {LSch::COURSE, LSch::LITERAL, LSch::SUBGROUP, LSch::WEEK, LSch::DAYNO, LSch::LESSONNO}},
          {"ROOMKEY", {LSch::ROOMNO, LSch::WEEK, LSch::DAYNO, LSch::LESSONNO}}}},
    };
    return all;
}

const char Magic[8] = {'L', 'O', 'D', 'R', 'A', 'D', 'A', 'T'};

quint32 readLe(const char* p, int bytes) {
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(p[i]);
    return v;
}

void appendLe(QByteArray& out, quint32 v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

/// The bytes of a text field as the older product compared them: padding NULs count as blanks.
QByteArray padded(const char* p, int size) {
    QByteArray b(p, size);
    for (char& c : b)
        if (c == '\0') c = ' ';
    return b;
}

} // namespace

int LegacyLayout::recordLength() const {
    int n = 0;
    for (const LegacyField& f : fields)
        n += f.size;
    return n;
}

const LegacyLayout& legacyLayout(LegacyFileId id) {
    return layouts()[static_cast<size_t>(id)];
}

const std::vector<LegacyFileId>& legacyFiles() {
    static const std::vector<LegacyFileId> ids = [] {
        std::vector<LegacyFileId> v;
        for (const LegacyLayout& l : layouts())
            v.push_back(l.id);
        return v;
    }();
    return ids;
}

std::optional<LegacyFileId> legacyFileNamed(const QString& fileName) {
    for (const LegacyLayout& l : layouts())
        if (fileName.compare(QLatin1String(l.fileName), Qt::CaseInsensitive) == 0) return l.id;
    return std::nullopt;
}

bool LegacyFile::fail(const QString& why) {
    error_ = why;
    data_.clear();
    count_ = 0;
    return false;
}

bool LegacyFile::load(const QString& path) {
    QFile file(path);
    if (!QFileInfo::exists(path)) return fail(QStringLiteral("файл не найден"));
    if (QFileInfo(path).isDir()) return fail(QStringLiteral("на месте файла папка"));
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("файл не открывается: %1").arg(file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("файл не читается: %1").arg(file.errorString()));
    return parse(bytes);
}

bool LegacyFile::parse(const QByteArray& bytes) {
    error_.clear();
    offsets_.clear();
    int offset = 0;
    for (const LegacyField& f : layout_->fields) {
        offsets_.push_back(offset);
        offset += f.size;
    }
    const qint64 length = layout_->recordLength();
    if (bytes.size() < LegacyHeaderSize)
        return fail(QStringLiteral("файл короче заголовка (%1 байт)").arg(bytes.size()));
    const char* h = bytes.constData();
    if (std::memcmp(h, Magic, sizeof Magic) != 0)
        return fail(QStringLiteral("это не файл данных АРМ \"Lodra\" (неверный заголовок)"));
    const quint32 version = readLe(h + 8, 2);
    if (version != LegacyFormatVersion)
        return fail(QStringLiteral("версия формата %1 не поддерживается (ожидается %2)")
                        .arg(version)
                        .arg(LegacyFormatVersion));
    const QByteArray name = QByteArray(h + 16, 32).split('\0').first();
    if (name != layout_->name)
        return fail(QStringLiteral("в файле записи «%1», ожидаются «%2»")
                        .arg(QString::fromLatin1(name).left(32), QLatin1String(layout_->name)));
    const quint32 recordLength = readLe(h + 10, 2);
    if (recordLength != length)
        return fail(
            QStringLiteral("длина записи %1 байт, ожидается %2").arg(recordLength).arg(length));
    const quint64 count = readLe(h + 12, 4);
    const quint64 expected = LegacyHeaderSize + count * static_cast<quint64>(length);
    if (expected != static_cast<quint64>(bytes.size()))
        return fail(QStringLiteral("размер файла %1 байт не соответствует %2 записям по %3 байт "
                                   "(файл обрезан или испорчен)")
                        .arg(bytes.size())
                        .arg(count)
                        .arg(length));
    data_ = bytes;
    count_ = static_cast<int>(count);
    // A control character inside a text is damage, not a name.
    for (int r = 0; r < count_; ++r)
        for (size_t f = 0; f < layout_->fields.size(); ++f) {
            const LegacyField& field = layout_->fields[f];
            if (field.type != LegacyField::Text) continue;
            const char* p = fieldData(r, static_cast<int>(f));
            int end = field.size;
            for (int i = 0; i < field.size; ++i)
                if (p[i] == '\0') {
                    end = i;
                    break;
                }
            // After a terminating NUL only NULs and blanks: a NUL inside a name would cut it.
            for (int i = end; i < field.size; ++i)
                if (p[i] != '\0' && p[i] != ' ') {
                    end = i + 1;
                    break;
                }
            for (int i = 0; i < end; ++i) {
                const auto c = static_cast<unsigned char>(p[i]);
                if (c < 0x20 || c == 0x7F)
                    return fail(QStringLiteral("запись %1, поле %2: недопустимый символ (код %3)")
                                    .arg(r + 1)
                                    .arg(QLatin1String(field.name))
                                    .arg(c));
            }
        }
    return true;
}

const char* LegacyFile::fieldData(int record, int field) const {
    return data_.constData() + LegacyHeaderSize +
           static_cast<qint64>(record) * layout_->recordLength() +
           offsets_[static_cast<size_t>(field)];
}

QString LegacyFile::text(int record, int field) const {
    const LegacyField& f = layout_->fields[static_cast<size_t>(field)];
    const char* p = fieldData(record, field);
    const int length = static_cast<int>(qstrnlen(p, static_cast<uint>(f.size)));
    QStringDecoder dos("IBM866");
    QString s = dos.decode(QByteArrayView(p, length));
    while (!s.isEmpty() && s.back() == QLatin1Char(' '))
        s.chop(1);
    return s;
}

qint64 LegacyFile::number(int record, int field) const {
    const LegacyField& f = layout_->fields[static_cast<size_t>(field)];
    const char* p = fieldData(record, field);
    if (f.type == LegacyField::Byte) return static_cast<unsigned char>(p[0]);
    return static_cast<qint32>(readLe(p, 4));
}

std::vector<int> LegacyFile::keyOrder(int key) const {
    std::vector<int> order(static_cast<size_t>(count_));
    for (int i = 0; i < count_; ++i)
        order[static_cast<size_t>(i)] = i;
    const LegacyKey& k = layout_->keys[static_cast<size_t>(key)];
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        for (int field : k.components) {
            const LegacyField& f = layout_->fields[static_cast<size_t>(field)];
            if (f.type == LegacyField::Text) {
                const QByteArray x = padded(fieldData(a, field), f.size);
                const QByteArray y = padded(fieldData(b, field), f.size);
                if (x != y) return x < y;
            } else {
                const qint64 x = number(a, field), y = number(b, field);
                if (x != y) return x < y;
            }
        }
        return false;
    });
    return order;
}

bool WriteLegacyFile(LegacyFileId id, const std::vector<QStringList>& records, QByteArray* out,
                     QString* error) {
    const LegacyLayout& layout = legacyLayout(id);
    auto fail = [&](size_t record, const LegacyField& f, const QString& why) {
        if (error)
            *error = QStringLiteral("запись %1, поле %2: %3")
                         .arg(record + 1)
                         .arg(QLatin1String(f.name), why);
        return false;
    };
    QByteArray bytes(Magic, sizeof Magic);
    appendLe(bytes, LegacyFormatVersion, 2);
    appendLe(bytes, static_cast<quint32>(layout.recordLength()), 2);
    appendLe(bytes, static_cast<quint32>(records.size()), 4);
    QByteArray name(layout.name);
    name.resize(32, '\0');
    bytes.append(name);
    for (size_t r = 0; r < records.size(); ++r) {
        const QStringList& values = records[r];
        if (values.size() != static_cast<int>(layout.fields.size())) {
            if (error)
                *error = QStringLiteral("запись %1: полей %2, ожидается %3")
                             .arg(r + 1)
                             .arg(values.size())
                             .arg(layout.fields.size());
            return false;
        }
        for (size_t f = 0; f < layout.fields.size(); ++f) {
            const LegacyField& field = layout.fields[f];
            const QString value = values[static_cast<int>(f)];
            if (field.type == LegacyField::Text) {
                QString text = value;
                while (!text.isEmpty() && text.back() == QLatin1Char(' '))
                    text.chop(1);
                for (QChar c : text)
                    if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                        return fail(r, field, QStringLiteral("недопустимый символ"));
                QStringEncoder dos("IBM866");
                QByteArray b = dos.encode(text);
                if (dos.hasError())
                    return fail(
                        r, field,
                        QStringLiteral("«%1» нельзя записать в кодировке DOS (CP866)").arg(text));
                if (b.size() > field.size)
                    return fail(
                        r, field,
                        QStringLiteral("«%1» длиннее %2 символов").arg(text).arg(field.size));
                b.resize(field.size, ' ');
                bytes.append(b);
                continue;
            }
            bool ok = true;
            const QString trimmed = value.trimmed();
            const qint64 n = trimmed.isEmpty() ? 0 : trimmed.toLongLong(&ok);
            const qint64 low = field.type == LegacyField::Byte ? 0 : INT32_MIN;
            const qint64 high = field.type == LegacyField::Byte ? 255 : INT32_MAX;
            if (!ok || n < low || n > high)
                return fail(
                    r, field,
                    QStringLiteral("«%1» не число от %2 до %3").arg(value).arg(low).arg(high));
            appendLe(bytes, static_cast<quint32>(n), field.size);
        }
    }
    *out = bytes;
    return true;
}

} // namespace tamsel
