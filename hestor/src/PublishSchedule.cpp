#include "hestor/PublishSchedule.h"

#include "PublishFormats.h"

#include "hestor/CompareSchedules.h"
#include "tamsel/Dictionary.h"
#include "tamsel/OutputPath.h"
#include "trusko/ReportBuilders.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <libical/ical.h>
#include <memory>
#include <zip.h>

namespace hestor {

using namespace tamsel;
using namespace publish;

QString PublishCaption() {
    return QStringLiteral("Публикация расписания");
}

namespace publish {

QString objectStem(const trusko::TimetableObject& o) {
    const char* kind = o.kind == ObjectType::Group     ? "group"
                       : o.kind == ObjectType::Teacher ? "teacher"
                                                       : "room";
    return QStringLiteral("%1-%2").arg(QLatin1String(kind)).arg(o.code);
}

QString subGroupMark(const trusko::PlacedLesson& l) {
    return l.subGroup.trimmed();
}

QString groupLabel(const trusko::PlacedLesson& l) {
    return (l.group + l.subGroup).trimmed();
}

QString bellTime(Long time) {
    return trusko::formatLessonTime(time);
}

QString lessonNumber(const LessonBell& b) {
    return b.LessonNo.trimmed();
}

QString lessonLine(const trusko::PlacedLesson& l, Short kind) {
    QStringList parts;
    if (kind == ObjectType::Teacher) {
        parts << l.subject;
        if (!l.group.isEmpty()) parts << groupLabel(l);
    } else {
        const QString mark = subGroupMark(l);
        parts << (mark.isEmpty() ? l.subject : QStringLiteral("[%1] %2").arg(mark, l.subject));
        if (!l.teacher.isEmpty()) parts << l.teacher;
    }
    if (!l.room.isEmpty()) parts << QStringLiteral("каб. ") + l.room;
    return parts.join(QStringLiteral(" — "));
}

} // namespace publish

namespace {

/// How far ahead the site lists substitutions: two school weeks.
constexpr int SubstitutionDays = 14;

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

/// The line of a calendar that holds `tag`'s value ("DTSTAMP:20261210T051500Z"), or empty.
QByteArray lineOf(const QByteArray& text, const QByteArray& tag) {
    const qsizetype at = text.indexOf("\r\n" + tag);
    const qsizetype end = at < 0 ? -1 : text.indexOf("\r\n", at + 2);
    return end < 0 ? QByteArray() : text.mid(at + 2, end - at - 2);
}

/// True when the file at `path` already holds `bytes`; for a calendar, apart from DTSTAMP, the
/// moment of writing. An unchanged file is then left as it is, so that an upload to the site
/// sends only what changed.
bool alreadyThere(const QString& path, const QByteArray& bytes) {
    if (QFileInfo(path).size() != bytes.size()) return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray old = f.readAll();
    if (old == bytes) return true;
    if (!path.endsWith(QStringLiteral(".ics"))) return false;
    const QByteArray was = lineOf(old, "DTSTAMP:"), now = lineOf(bytes, "DTSTAMP:");
    if (was.isEmpty() || now.isEmpty()) return false;
    QByteArray same = bytes;
    return same.replace(now, was) == old;
}

/// The parts of a workbook by name, the properties part left out: it holds the moment of
/// writing. Empty when the file is not a readable workbook.
using Parts = std::vector<std::pair<QByteArray, QByteArray>>;
Parts workbookParts(const QString& path) {
    Parts parts;
    int err = 0;
    std::unique_ptr<zip_t, int (*)(zip_t*)> z(
        zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &err), zip_close);
    if (!z) return parts;
    for (zip_int64_t i = 0, n = zip_get_num_entries(z.get(), 0); i < n; ++i) {
        zip_stat_t st;
        if (zip_stat_index(z.get(), zip_uint64_t(i), 0, &st) != 0) return {};
        if (QByteArray(st.name) == "docProps/core.xml") continue;
        QByteArray data(qsizetype(st.size), Qt::Uninitialized);
        zip_file_t* f = zip_fopen_index(z.get(), zip_uint64_t(i), 0);
        const zip_int64_t got = f ? zip_fread(f, data.data(), st.size) : -1;
        if (f) zip_fclose(f);
        if (got != zip_int64_t(st.size)) return {};
        parts.emplace_back(st.name, std::move(data));
    }
    return parts;
}

} // namespace

PublishResult PublishSchedule(Dictionary& dict, const PublishOptions& options,
                              ProgressPort& progress) {
    PublishResult result;
    auto fail = [&](const QString& text) {
        result.error = text;
        return result;
    };
    if (!options.html && !options.ics && !options.csv && !options.xlsx)
        return fail(QStringLiteral("Не выбран ни один формат публикации."));
    if (options.outDir.trimmed().isEmpty())
        return fail(QStringLiteral("Не указана папка для публикации."));
    const QString dir = QDir::cleanPath(QDir(dict.workDir()).absoluteFilePath(options.outDir));
    const QFileInfo dirInfo(dir);
    if (dirInfo.exists() && !dirInfo.isDir())
        return fail(QStringLiteral("Публикация не выполнена: «%1» — это файл, а не папка.")
                        .arg(native(dir)));

    QString calendarProblem;
    SchoolCalendar calendar = SchoolCalendar::load(dict.settings(), &calendarProblem);
    if (!calendarProblem.isEmpty())
        return fail(QStringLiteral("Публикация не выполнена: в календаре учебного года не "
                                   "читается значение «%1».")
                        .arg(calendarProblem));
    QDate from = calendar.first, to = calendar.last;
    if (options.from.isValid() || options.to.isValid()) {
        if (!options.from.isValid() || !options.to.isValid() || options.to < options.from)
            return fail(QStringLiteral("Публикация не выполнена: период задан неверно."));
        from = options.from;
        to = options.to;
        // Without a school year the cycle starts with the period.
        if (!calendar.isSet()) {
            calendar.first = from;
            calendar.last = to;
        }
    }
    const bool dated = from.isValid() && to.isValid() && from <= to;
    if (options.ics) {
        if (!dated)
            return fail(QStringLiteral("Календари (.ics) не записаны: не задан календарь учебного "
                                       "года и не указан период."));
        if (!icaltimezone_get_builtin_timezone(calendar.timeZone.toUtf8().constData()))
            return fail(QStringLiteral("Публикация не выполнена: часовой пояс «%1» неизвестен.")
                            .arg(calendar.timeZone));
    }

    trusko::PlacedTimetable t;
    if (!ReadPlacedTimetable(dict, &t))
        return fail(QStringLiteral("Публикация не выполнена: файлы расписания не читаются."));

    Context c{t, calendar, {}, {}};
    if (dated)
        for (QDate d = from; d <= to; d = d.addDays(1))
            if (calendar.isTeachingDate(d, int(t.days.size())))
                c.dates.push_back({d, calendar.cycleWeek(d, t.weeks), SchoolCalendar::dayIndex(d)});

    c.calendars = options.ics;
    if (options.ics) c.substitutions = datedSubstitutions(dict, c);
    if (options.ics && c.dates.empty())
        return fail(QStringLiteral("Календари (.ics) не записаны: в периоде с %1 по %2 нет учебных "
                                   "дней.")
                        .arg(from.toString(QStringLiteral("dd.MM.yyyy")),
                             to.toString(QStringLiteral("dd.MM.yyyy"))));

    // The site's page of changes compares with the lessons of the last publication here.
    PublishedChanges changes;
    if (options.html) {
        TimetableVersion now;
        QString error;
        if (!ReadTimetableVersion(dict, QString(), &now, &error))
            return fail(QStringLiteral("Публикация не выполнена: ") + error);
        changes = prepareChanges(dir, now, QDateTime::currentDateTime());
        c.linkedPages.push_back({{changesName(), changes.page}, QStringLiteral("Изменения в расписании")});
        const QDate today = options.today.isValid() ? options.today : QDate::currentDate();
        c.linkedPages.push_back({{substitutionsName(), substitutionsPage(dict, today, SubstitutionDays)},
                                 QStringLiteral("Замены")});
    }

    // Every file is judged before the first is written: a refusal leaves the folder as it was.
    QStringList names;
    if (options.html) names += htmlNames(c) << changesStateName();
    if (options.ics) names += icsNames(c);
    if (options.csv) names << csvName();
    if (options.xlsx) names << xlsxName();
    for (const QString& name : names)
        if (const QString refused = OutputPathRefusal(dict, dir + QLatin1Char('/') + name);
            !refused.isEmpty())
            return fail(QStringLiteral("Публикация не выполнена. ") + refused);

    const int total = int(t.groups.size() + t.teachers.size() + t.rooms.size()) *
                          (int(options.html) + int(options.ics)) +
                      int(options.csv) + 2 * int(options.xlsx);
    int done = 0;
    progress.start(PublishCaption());
    c.step = [&] {
        ++done;
        progress.setPercent(trusko::percentOf(done, total));
        if (progress.cancelled()) result.cancelled = true;
        return !result.cancelled;
    };
    QString writeError;
    int count = 0;
    const Sink sink = [&](const File& f) {
        const QString path = dir + QLatin1Char('/') + f.name;
        if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
            writeError = QStringLiteral("Папка %1 не может быть создана.")
                             .arg(native(QFileInfo(path).absolutePath()));
            return false;
        }
        if (alreadyThere(path, f.bytes)) {
            ++count;
            return true;
        }
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(f.bytes) != f.bytes.size() ||
            !file.commit()) {
            writeError = QStringLiteral("Файл %1 не записан: %2.").arg(native(path), file.errorString());
            return false;
        }
        ++count;
        return true;
    };
    auto stopped = [&] {
        progress.finish();
        if (result.cancelled) {
            result.error = QStringLiteral("Публикация прервана.");
            if (!result.written.isEmpty())
                result.error += QStringLiteral(" Записано до этого: ") +
                                result.written.join(QStringLiteral("; ")) + QLatin1Char('.');
        } else {
            result.error = QStringLiteral("Публикация не выполнена. ") + writeError;
        }
        return result;
    };

    if (options.html) {
        count = 0;
        if (!writeHtml(c, sink)) return stopped();
        result.written << QStringLiteral("веб-страницы (%1) — %2")
                              .arg(count)
                              .arg(native(dir + QStringLiteral("/index.html")));
    }
    if (options.ics) {
        count = 0;
        if (!writeIcs(c, sink)) return stopped();
        result.written << QStringLiteral("календари .ics (%1) — %2")
                              .arg(count)
                              .arg(native(dir + QStringLiteral("/ics")));
    }
    if (options.csv) {
        if (!writeCsv(c, sink)) return stopped();
        result.written << QStringLiteral("таблица CSV — %1").arg(native(dir + QLatin1Char('/') + csvName()));
    }
    if (options.xlsx) {
        const QString path = dir + QLatin1Char('/') + xlsxName();
        const QString part = path + QStringLiteral(".part");
        if (!QDir().mkpath(dir)) {
            writeError = QStringLiteral("Папка %1 не может быть создана.").arg(native(dir));
            return stopped();
        }
        QString error;
        const bool written = writeXlsx(c, part, &error);
        // An unchanged workbook stays as it was (see alreadyThere); else the old one goes
        // only when the new one is complete.
        const Parts parts = written && QFile::exists(path) ? workbookParts(part) : Parts{};
        if (!parts.empty() && parts == workbookParts(path)) {
            QFile::remove(part);
        } else if (!written || (QFile::exists(path) && !QFile::remove(path)) ||
                   !QFile::rename(part, path)) {
            QFile::remove(part);
            writeError = QStringLiteral("Файл %1 не записан%2.")
                             .arg(native(path), error.isEmpty() ? QString() : QStringLiteral(": ") + error);
            return stopped();
        }
        result.written << QStringLiteral("книга Excel — %1").arg(native(path));
    }
    // Last, so that a publication that failed or was stopped is compared against next time.
    if (options.html) {
        if (!sink({changesStateName(), changes.state})) return stopped();
        const QString page = native(dir + QLatin1Char('/') + changesName());
        result.written << (changes.changes < 0
                               ? QStringLiteral("изменения в расписании: первая публикация — %1").arg(page)
                               : QStringLiteral("изменения с прошлой публикации (уроков: %1) — %2")
                                     .arg(changes.changes)
                                     .arg(page));
    }
    progress.finish();
    result.ok = true;
    return result;
}

} // namespace hestor
