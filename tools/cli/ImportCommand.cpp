// korvel-cli import: the older product's data into a school's folder, in its two stages.

#include "Args.h"
#include "Command.h"
#include "ConsolePorts.h"
#include "DataFiles.h"

#include "hestor/LodraImport.h"
#include "tamsel/Dictionary.h"

#include <QDir>
#include <QFileInfo>

namespace cli {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

int run(const QStringList& argv, Console& io) {
    Args args(argv, {QStringLiteral("weeks")});
    qint64 weeks = 0;
    if (args.ok()) args.integer(QStringLiteral("weeks"), 0, 1, 20, &weeks);
    QString problem = args.error();
    const QString stageName = args.positional.value(0);
    if (problem.isEmpty() && args.positional.size() != 3)
        problem = args.positional.size() < 3 ? u("нужны этап, папка школы и каталог данных Lodra")
                                             : u("лишние параметры");
    if (problem.isEmpty() && stageName != QLatin1String("stage1") &&
        stageName != QLatin1String("stage2"))
        problem = u("этап «%1» неизвестен: stage1 или stage2").arg(stageName);
    if (!problem.isEmpty()) {
        io.err << u("korvel-cli import: ") << problem << u("\nСправка: korvel-cli import --help\n");
        return BadUsage;
    }
    const auto stage = stageName == QLatin1String("stage1") ? hestor::LodraStage::Reference
                                                            : hestor::LodraStage::Plans;
    const QString dir = QDir(args.positional[1]).absolutePath();
    const QString legacy = QDir(args.positional[2]).absolutePath();
    if (!QFileInfo(legacy).isDir()) {
        io.err << u("korvel-cli import: каталог данных Lodra «%1» не найден.\n").arg(legacy);
        return Failure;
    }

    // A school's folder, or a new or empty one that the first stage makes a school.
    const bool school = QFileInfo::exists(QDir(dir).filePath(QStringLiteral("Korvel.ini")));
    if (!school) {
        const bool empty =
            !QFileInfo::exists(dir) ||
            (QFileInfo(dir).isDir() &&
             QDir(dir)
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                 .isEmpty());
        if (stage == hestor::LodraStage::Plans || !empty) {
            isSchoolFolder(io.err, "import", dir);
            return Failure;
        }
        if (!QDir().mkpath(dir)) {
            io.err << u("korvel-cli import: папку «%1» не удалось создать.\n").arg(dir);
            return Failure;
        }
    }
    ConsoleUserInterface ui(io.err);
    tamsel::Dictionary dict(dir);
    dict.setUserInterface(ui);
    // The folder is held from before the settings are read until the new files are in.
    tamsel::WritingScope writing(dict);
    if (!writing) {
        io.err << u("korvel-cli import: импорт не выполнен: папку нельзя занять для записи (см. "
                    "сообщение выше).\n");
        return Failure;
    }
    if (school) {
        if (!loadSchoolSettings(io.err, "import", dict)) return Failure;
    } else {
        dict.glo.load(dict.settings()); // what a first start writes
    }
    if (weeks) dict.glo.WeeksInCycle = static_cast<tamsel::Short>(weeks);
    const QString ownLegacyDir = dict.glo.LodraDataDir;
    dict.glo.LodraDataDir = legacy;

    const hestor::LodraImportResult result = hestor::ImportLodraStage(dict, stage);
    for (const QString& line : result.notTaken)
        io.err << u("Не импортировано: ") << line << '\n';
    if (!result.done()) {
        io.err << u("korvel-cli import: импорт не выполнен: %1\n")
                      .arg(result.reason.section(QLatin1Char('|'), 0, 0));
        return Failure;
    }
    dict.glo.LodraDataDir = school ? ownLegacyDir : legacy;
    QString error;
    if (!dict.saveSettings(&error)) {
        io.err << u("korvel-cli import: данные импортированы, но настройки не записаны: %1\n")
                      .arg(error);
        return Failure;
    }
    io.out << u("%1 этап импорта из «%2» выполнен; не импортировано записей: %3.\n")
                  .arg(stage == hestor::LodraStage::Reference ? u("Первый") : u("Второй"),
                       QDir::toNativeSeparators(legacy))
                  .arg(result.notTaken.size());
    return Success;
}

} // namespace

const Command& importCommand() {
    static const Command c{
        "import", "импортировать данные АРМ \"Lodra\" (этап 1 или 2)",
        "Использование: korvel-cli import stage1|stage2 [--weeks N] ПАПКА КАТАЛОГ_LODRA\n"
        "Переносит в ПАПКУ школы данные АРМ \"Lodra\" из файлов *.dat КАТАЛОГА_LODRA.\n"
        "  stage1  звонки, типы кабинетов, кабинеты, специальности, учителя, группы, предметы и\n"
        "          ограничения; прежние данные школы (и расписание) заменяются. ПАПКА может быть\n"
        "          новой или пустой — тогда в ней создается школа.\n"
        "  stage2  учебные планы, нагрузка учителей и расписание; перед ним укажите в списке\n"
        "          предметов тип подгрупп для предметов, которые ведутся по подгруппам.\n"
        "  --weeks недель в цикле расписания (1–20) для ограничений и расписания.\n"
        "Все файлы Lodra читаются и проверяются до записи; данные школы меняются только\n"
        "целиком, когда этап выполнен полностью. Записи, которые взять не удалось, перечисляются\n"
        "в стандартном потоке ошибок. Код возврата 0 — этап выполнен, 1 — данные не изменены.\n",
        &run};
    return c;
}

} // namespace cli
