// korvel-cli legacy-write: the older product's data files from CSV tables, so that a school can
// bring its old data (exported to CSV) to the import.

#include "Args.h"
#include "Command.h"

#include "tamsel/Csv.h"
#include "tamsel/LegacyFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace cli {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

/// Writes the legacy file `target` from the CSV file `source`; false with the reason in `error`.
bool convert(tamsel::LegacyFileId id, const QString& source, const QString& target, int* count,
             QString* error) {
    const tamsel::LegacyLayout& layout = tamsel::legacyLayout(id);
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = u("%1: файл не открывается: %2").arg(source, in.errorString());
        return false;
    }
    QString text = QString::fromUtf8(in.readAll());
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    const QString firstLine = text.section(QLatin1Char('\n'), 0, 0);
    const QChar sep = firstLine.contains(QLatin1Char(';')) ? QLatin1Char(';') : QLatin1Char(',');
    std::vector<QStringList> rows;
    QString why;
    if (!tamsel::ParseCsv(text, sep, &rows, &why)) {
        *error = u("%1: %2").arg(source, why);
        return false;
    }
    // Blank lines carry no record.
    std::erase_if(rows, [](const QStringList& r) {
        return r.isEmpty() || (r.size() == 1 && r.first().trimmed().isEmpty());
    });
    QStringList expected;
    for (const tamsel::LegacyField& f : layout.fields)
        expected << QLatin1String(f.name);
    QStringList header = rows.empty() ? QStringList() : rows.front();
    for (QString& h : header)
        h = h.trimmed();
    if (header.join(QLatin1Char(';'))
            .compare(expected.join(QLatin1Char(';')), Qt::CaseInsensitive) != 0) {
        *error = u("%1: первая строка должна называть поля %2: %3")
                     .arg(source, QLatin1String(layout.name), expected.join(QLatin1Char(';')));
        return false;
    }
    rows.erase(rows.begin());
    QByteArray bytes;
    if (!tamsel::WriteLegacyFile(id, rows, &bytes, &why)) {
        // Record numbers of the file are lines of the table after its header.
        *error = u("%1: %2 (строка таблицы без заголовка)").arg(source, why);
        return false;
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        *error = u("%1: файл не записан: %2").arg(target, out.errorString());
        return false;
    }
    *count = static_cast<int>(rows.size());
    return true;
}

int run(const QStringList& argv, Console& io) {
    Args args(argv, {});
    QString problem = args.error();
    if (problem.isEmpty() && args.positional.size() != 2)
        problem =
            args.positional.size() < 2 ? u("нужны источник и место записи") : u("лишние параметры");
    if (!problem.isEmpty()) {
        io.err << u("korvel-cli legacy-write: ") << problem
               << u("\nСправка: korvel-cli legacy-write --help\n");
        return BadUsage;
    }
    const QString source = args.positional[0];
    const QString target = args.positional[1];

    // Pairs of (layout, CSV file, legacy file) to write.
    struct Job {
        tamsel::LegacyFileId id;
        QString csv, dat;
    };
    std::vector<Job> jobs;
    if (QFileInfo(source).isDir()) {
        if (!QDir().mkpath(target) || !QFileInfo(target).isDir()) {
            io.err << u("korvel-cli legacy-write: папку «%1» не удалось создать.\n").arg(target);
            return Failure;
        }
        for (const QString& csv :
             QDir(source).entryList({QStringLiteral("*.csv")}, QDir::Files, QDir::Name)) {
            const QString dat = QFileInfo(csv).completeBaseName() + QStringLiteral(".dat");
            const auto id = tamsel::legacyFileNamed(dat);
            if (!id) {
                io.err
                    << u("korvel-cli legacy-write: «%1» не соответствует ни одному файлу Lodra.\n")
                           .arg(csv);
                return Failure;
            }
            jobs.push_back(
                {*id, QDir(source).filePath(csv),
                 QDir(target).filePath(QLatin1String(tamsel::legacyLayout(*id).fileName))});
        }
        if (jobs.empty()) {
            io.err << u("korvel-cli legacy-write: в папке «%1» нет файлов *.csv.\n").arg(source);
            return Failure;
        }
    } else {
        const auto id = tamsel::legacyFileNamed(QFileInfo(target).fileName());
        if (!id) {
            io.err << u("korvel-cli legacy-write: имя «%1» не соответствует ни одному файлу Lodra "
                        "(Lessons.dat, Group.dat, ...).\n")
                          .arg(QFileInfo(target).fileName());
            return BadUsage;
        }
        jobs.push_back({*id, source, target});
    }
    for (const Job& job : jobs) {
        int count = 0;
        QString error;
        if (!convert(job.id, job.csv, job.dat, &count, &error)) {
            io.err << u("korvel-cli legacy-write: ") << error << '\n';
            return Failure;
        }
        io.out << u("%1: записей %2\n").arg(QDir::toNativeSeparators(job.dat)).arg(count);
    }
    return Success;
}

} // namespace

const Command& legacyWriteCommand() {
    static const Command c{
        "legacy-write", "записать файлы данных АРМ \"Lodra\" из таблиц CSV",
        "Использование: korvel-cli legacy-write ТАБЛИЦА.csv ФАЙЛ.dat\n"
        "               korvel-cli legacy-write ПАПКА_CSV ПАПКА_DAT\n"
        "Записывает файл данных АРМ \"Lodra\" (для импорта) из таблицы CSV в UTF-8. Вид файла\n"
        "задается его именем: Lessons, RoomType, Rooms, Speclty, Teacher, Group, Science, L_P,\n"
        "Forbid_G, Forbid_T, Les_plan, Schedule (.dat); из папки переводятся все таблицы с\n"
        "такими именами (Group.csv → Group.dat). Первая строка таблицы называет поля файла в их\n"
        "порядке (например, COURSE;LITERAL;STREAM;RESTRICTIONS), разделитель «;» или «,».\n"
        "Тексты записываются в кодировке DOS (CP866) и не длиннее поля.\n",
        &run};
    return c;
}

} // namespace cli
