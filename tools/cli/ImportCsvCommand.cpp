// korvel-cli import-csv: teachers, groups, subjects, rooms or the plan from a CSV or .xlsx
// table into a school, all rows or none.

#include "Args.h"
#include "Command.h"
#include "ConsolePorts.h"
#include "DataFiles.h"

#include "hestor/TableImport.h"
#include "tamsel/Dictionary.h"
#include "tamsel/WritingLock.h"

#include <QDir>
#include <QFileInfo>

namespace cli {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

int run(const QStringList& argv, Console& io) {
    Args args(argv, {});
    QString problem = args.error();
    if (problem.isEmpty() && args.positional.size() != 3)
        problem = args.positional.size() < 3 ? u("нужны папка школы, таблица и файл") : u("лишние параметры");
    const auto table = hestor::sourceTableFromName(args.positional.value(1));
    if (problem.isEmpty() && !table)
        problem = u("таблица «%1» неизвестна: teachers, groups, subjects, rooms, plan или load").arg(args.positional.value(1));
    if (!problem.isEmpty()) {
        io.err << u("korvel-cli import-csv: ") << problem << u("\nСправка: korvel-cli import-csv --help\n");
        return BadUsage;
    }
    const QString dir = QDir(args.positional[0]).absolutePath();
    if (!isSchoolFolder(io.err, "import-csv", dir)) return Failure;
    hestor::TableRows rows;
    QString error;
    if (!hestor::ReadTableFile(args.positional[2], &rows, &error)) {
        io.err << u("korvel-cli import-csv: файл «%1» не читается: %2\n").arg(args.positional[2], error);
        return Failure;
    }
    // The preview: how the file was read and which columns were found.
    io.out << u("Файл: %1").arg(rows.encoding);
    if (rows.encoding != QLatin1String("xlsx")) io.out << u(", разделитель «%1»").arg(rows.separator);
    io.out << '\n';
    const auto columns = hestor::columnsOf(*table);
    const auto found = hestor::matchColumns(*table, rows.header);
    for (size_t c = 0; c < columns.size(); ++c)
        io.out << u("  %1: %2\n").arg(columns[c].names.front(),
                                      found[c] >= 0 ? u("столбец %1").arg(found[c] + 1)
                                                    : columns[c].required ? u("НЕ НАЙДЕН") : u("нет"));
    for (size_t r = 0; r < rows.rows.size() && r < 5; ++r) {
        QStringList cells;
        for (int f : found) cells << (f >= 0 ? rows.rows[r].value(f).trimmed() : QString());
        io.out << u("  строка %1: %2\n").arg(r + 2).arg(cells.join(u(" | ")));
    }
    io.out.flush();
    ConsoleUserInterface ui(io.err);
    tamsel::Dictionary dict(dir);
    dict.setUserInterface(ui);
    tamsel::WritingScope writing(dict);
    if (!writing) {
        io.err << u("korvel-cli import-csv: импорт не выполнен: папку нельзя занять для записи.\n");
        return Failure;
    }
    if (!loadSchoolSettings(io.err, "import-csv", dict)) return Failure;
    {
        // No import into half a school: every data file must be usable.
        std::vector<std::unique_ptr<tamsel::FileUse>> files;
        QString damaged;
        if (!openExistingDataFiles(dict, files, &damaged)) {
            io.err << u("korvel-cli import-csv: импорт не выполнен: файл данных «%1» не читается.\n").arg(damaged);
            return Failure;
        }
    }
    const hestor::TableImportResult result = hestor::ImportTable(dict, *table, rows);
    for (const QString& line : result.refused) io.err << u("Не принята ") << line << '\n';
    if (!result.done) {
        io.err << u("korvel-cli import-csv: импорт не выполнен: %1\n").arg(result.reason);
        return Failure;
    }
    io.out << u("Импорт выполнен: записей %1.\n").arg(result.taken);
    return Success;
}

} // namespace

const Command& importCsvCommand() {
    static const Command c{
        "import-csv", "импортировать учителей, группы, предметы, кабинеты или план из таблицы",
        "Использование: korvel-cli import-csv ПАПКА ТАБЛИЦА ФАЙЛ\n"
        "ТАБЛИЦА: teachers (Учитель; Специальность; Табельный номер), groups (Курс; Буква;\n"
        "Поток), subjects (Предмет; Тип подгрупп), rooms (Кабинет; Тип кабинета) или plan\n"
        "(Предмет; Курс; Поток; Часы; Сдвоенные часы) или load — нагрузка учителей (Учитель;\n"
        "Предмет; Класс, например 5-А; Подгруппа; Часы — пусто: все уроки без учителя; Кабинет —\n"
        "добавляется в список кабинетов учителя по предмету). ФАЙЛ — CSV (UTF-8 или Windows-1251,\n"
        "разделитель «;» или «,») или .xlsx (первый лист); столбцы находятся по названиям в\n"
        "первой строке. Печатаются найденные столбцы и первые строки; каждая непринятая строка\n"
        "называется с причиной, и тогда не записывается ничего. Код возврата 0 — все строки\n"
        "приняты.\n",
        &run};
    return c;
}

} // namespace cli
