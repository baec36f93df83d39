#include "hestor/ExportSchedule.h"

#include "tamsel/Dictionary.h"
#include "tamsel/ExportRecord.h"
#include "tamsel/OutputPath.h"

#include <QDir>
#include <QHash>
#include <QSaveFile>
#include <QStringEncoder>

namespace hestor {

using namespace tamsel;

namespace {
const QString Caption = QStringLiteral("Экспорт расписания");
} // namespace

QString ExportFileName(const Dictionary& dict) {
    QString name = dict.glo.FN_ExportSchedule.trimmed();
    if (name.isEmpty()) name = QStringLiteral("Schedule.txt");
    name.replace(QLatin1Char('\\'), QLatin1Char('/')); // settings written on Windows
    return QDir::cleanPath(QDir(dict.workDir()).absoluteFilePath(name));
}

bool ExportSchedule(Dictionary& dict, QString* error) {
    auto fail = [&](const QString& text) {
        dict.ui().tell(Caption, text);
        if (error) *error = text;
        return false;
    };
    if (dict.glo.FN_ExportSchedule.trimmed().isEmpty())
        dict.glo.FN_ExportSchedule = QStringLiteral("Schedule.txt");
    const QString path = ExportFileName(dict);
    if (const QString refused = OutputPathRefusal(dict, path); !refused.isEmpty())
        return fail(QStringLiteral("Экспорт не выполнен. ") + refused);

    std::vector<std::unique_ptr<FileUse>> uses;
    for (FileId id : {FileId::Schedule, FileId::Room, FileId::Science, FileId::Teacher,
                      FileId::Group, FileId::LessonBell, FileId::Days}) {
        uses.push_back(std::make_unique<FileUse>(dict.store(), id));
        if (!*uses.back())
            return fail(QStringLiteral("Экспорт не выполнен: файл %1 не читается.")
                            .arg(QDir::toNativeSeparators(dict.store().file(id).path())));
    }
    const std::vector<Schedule> entries = dict.access<Schedule>().all(Schedule::GroupDayLessGrKey);
    if (!dict.access<Schedule>().readOk())
        return fail(QStringLiteral("Экспорт не выполнен: файл расписания не читается."));

    // Names are looked up once per code: a school has few of each, and many lessons.
    QHash<qint64, QString> rooms, sciences, teachers, groups, days;
    QHash<QString, LessonBell> bells;
    for (const Room& r : dict.access<Room>().all(Room::CodeKey))
        rooms.insert(r.RoomCode, r.RoomNo);
    for (const Science& s : dict.access<Science>().all(Science::ScienceCodeKey))
        sciences.insert(s.ScienceCode, s.Science);
    for (const Teacher& t : dict.access<Teacher>().all(Teacher::TeacherCodeKey))
        teachers.insert(t.TeacherCode, t.TeacherName);
    for (const Group& g : dict.access<Group>().all(Group::GroupCodeKey))
        groups.insert(g.GroupCode, g.GroupId());
    for (const Days& d : dict.access<Days>().all(Days::SeqNumberKey))
        days.insert(d.DaySeqNumber, d.DayName);
    for (const LessonBell& b : dict.access<LessonBell>().all(LessonBell::NumberKey))
        bells.insert(b.LessonNo, b);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("Файл %1 не может быть записан: %2.")
                        .arg(QDir::toNativeSeparators(path), file.errorString()));
    QStringEncoder cp1251("windows-1251");
    ProgressPort& progress = dict.progress();
    progress.start(Caption);
    bool cancelled = false;
    int lastPercent = -1;
    for (size_t i = 0; i < entries.size(); ++i) {
        const Schedule& s = entries[i];
        tamsel::ExportSchedule e;
        e.Week = s.Week;
        e.DaySeqNumber = s.DaySeqNumber;
        e.DayName = days.value(s.DaySeqNumber);
        e.LessonNo = s.LessonNo;
        const auto bell = bells.constFind(s.LessonNo);
        if (bell != bells.constEnd() && !s.LessonNo.isEmpty()) {
            e.Begining = bell->Begining;
            e.Ending = bell->Ending;
        }
        e.Science = sciences.value(s.ScienceCode);
        e.TeacherName = teachers.value(s.TeacherCode);
        e.GroupId = groups.value(s.GroupCode);
        e.SubGroupNum = s.SubGroupNum;
        e.RoomNo = rooms.value(s.RoomCode);
        const QString line = e.line();
        QByteArray bytes = cp1251.encode(line);
        if (cp1251.hasError()) {
            progress.finish();
            file.cancelWriting();
            return fail(QStringLiteral("Экспорт не выполнен: строку «%1» нельзя записать в "
                                       "кодировке Windows-1251.")
                            .arg(line.trimmed()));
        }
        bytes.append("\r\n");
        if (file.write(bytes) != bytes.size()) break; // the commit reports it
        const int percent = static_cast<int>((i + 1) * 100 / entries.size());
        if (percent != lastPercent) {
            lastPercent = percent;
            progress.setPercent(percent);
            if (progress.cancelled()) {
                cancelled = true;
                break;
            }
        }
    }
    progress.finish();
    if (!file.commit())
        return fail(QStringLiteral("Файл %1 не записан: %2.")
                        .arg(QDir::toNativeSeparators(path), file.errorString()));
    if (cancelled) {
        if (error) *error = QStringLiteral("Экспорт прерван.");
        return false;
    }
    return true;
}

} // namespace hestor
