// korvel-cli sample: writes a sample school into a new or empty folder.

#include "Args.h"
#include "Command.h"
#include "ConsolePorts.h"
#include "SampleSchool.h"

#include "tamsel/Dictionary.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

namespace cli {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

/// The first entry of a folder that is not empty (a school's data or anything else).
QString firstEntry(const QString& dir) {
    const QStringList entries = QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    return entries.isEmpty() ? QString() : entries.first();
}

int run(const QStringList& argv, Console& io) {
    Args args(argv, {QStringLiteral("size"), QStringLiteral("weeks"), QStringLiteral("seed"),
                     QStringLiteral("planted")});
    qint64 weeks = 1, seed = 1;
    if (args.ok()) args.integer(QStringLiteral("weeks"), 1, 1, sample::MaxWeeks, &weeks);
    if (args.ok()) args.integer(QStringLiteral("seed"), 1, 0, 4294967295LL, &seed);
    const auto size =
        sample::sizeFromName(args.value(QStringLiteral("size"), QStringLiteral("medium")));
    QString problem = args.error();
    if (problem.isEmpty() && !size)
        problem = u("размер школы «%1» неизвестен: small, medium, large или xl")
                      .arg(args.value(QStringLiteral("size")));
    double planted = 0;
    if (problem.isEmpty() && args.has(QStringLiteral("planted"))) {
        bool ok = false;
        planted = args.value(QStringLiteral("planted"))
                      .replace(QLatin1Char(','), QLatin1Char('.'))
                      .toDouble(&ok);
        if (!ok || planted < 0.1 || planted > 1)
            problem = u("доля недели «%1» должна быть числом от 0.1 до 1")
                          .arg(args.value(QStringLiteral("planted")));
        else if (weeks != 1)
            problem = u("школа вокруг готового расписания строится только для цикла в одну неделю");
    }
    if (problem.isEmpty()) problem = args.oneFolder();
    if (!problem.isEmpty()) {
        io.err << u("korvel-cli sample: ") << problem << u("\nСправка: korvel-cli sample --help\n");
        return BadUsage;
    }

    const QString dir = QDir(args.positional.first()).absolutePath();
    if (QFileInfo::exists(dir) && !QFileInfo(dir).isDir()) {
        io.err << u("korvel-cli sample: «%1» — это файл, а не папка.\n").arg(dir);
        return Failure;
    }
    if (!QDir().mkpath(dir)) {
        io.err << u("korvel-cli sample: папку «%1» не удалось создать.\n").arg(dir);
        return Failure;
    }
    const QString taken = firstEntry(dir);
    if (!taken.isEmpty()) {
        io.err << u("korvel-cli sample: папка «%1» не пуста (в ней есть «%2»); пример пишется "
                    "только в новую или пустую папку.\n")
                      .arg(dir, taken);
        return Failure;
    }

    ConsoleUserInterface ui(io.err);
    tamsel::Dictionary dict(dir);
    dict.setUserInterface(ui);
    sample::SampleOptions options;
    options.size = *size;
    options.weeks = static_cast<int>(weeks);
    options.seed = static_cast<quint32>(seed);
    options.planted = planted;
    sample::SampleSummary s;
    QString error;
    QElapsedTimer clock;
    clock.start();
    if (!sample::GenerateSampleSchool(dict, options, &s, &error)) {
        io.err << u("korvel-cli sample: пример не записан: ") << error << '\n';
        return Failure;
    }
    io.out << u("Пример школы (%1, недель в цикле: %2, зерно %3) записан в %4 за %5 с.\n")
                  .arg(sample::sizeName(options.size))
                  .arg(options.weeks)
                  .arg(options.seed)
                  .arg(dir)
                  .arg(static_cast<double>(clock.elapsed()) / 1000.0, 0, 'f', 1)
           << u("  дней: %1, уроков в день: %2\n").arg(s.days).arg(s.lessonsPerDay)
           << u("  групп: %1, учителей: %2, кабинетов: %3, предметов: %4\n")
                  .arg(s.groups)
                  .arg(s.teachers)
                  .arg(s.rooms)
                  .arg(s.subjects)
           << u("  пунктов учебного плана: %1, уроков в неделю: %2 (записей расписания: %3)\n")
                  .arg(s.planItems)
                  .arg(s.groupHours)
                  .arg(s.entries)
           << u("  связей уроков: %1 (из них лекций: %2), ограничений: %3, строк списков "
                "кабинетов: %4\n")
                  .arg(s.links)
                  .arg(s.lectures)
                  .arg(s.restrictions)
                  .arg(s.roomListEntries);
    return Success;
}

} // namespace

const Command& sampleCommand() {
    static const Command c{
        "sample", "записать пример школы в новую папку",
        "Использование: korvel-cli sample [--size small|medium|large|xl] [--weeks N] [--seed S]\n"
        "                                 [--planted ДОЛЯ] ПАПКА\n"
        "Записывает в ПАПКУ (новую или пустую) пример школы: дни и звонки, группы 5–11 классов,\n"
        "предметы, кабинеты, учителей со списками кабинетов, учебный план, нагрузку учителей,\n"
        "связи уроков и ограничения. Одинаковые параметры дают одинаковую школу.\n\n"
        "  --size   размер: small (≈10 групп, 20 учителей), medium (≈30 групп, 55 учителей),\n"
        "           large (≈60 групп, 100 учителей), xl (≈150 групп, 250 учителей);\n"
        "           по умолчанию medium\n"
        "  --weeks  недель в цикле расписания, от 1 до 20; по умолчанию 1\n"
        "  --seed   зерно случайных чисел, от 0 до 4294967295; по умолчанию 1\n"
        "  --planted школа строится вокруг полного расписания, занимающего эту долю недели\n"
        "           каждой группы (от 0.1 до 1, цикл в одну неделю): учебный план, нагрузка,\n"
        "           кабинеты и ограничения выводятся из него, и все уроки можно расставить;\n"
        "           сами уроки остаются нерасставленными\n",
        &run};
    return c;
}

} // namespace cli
