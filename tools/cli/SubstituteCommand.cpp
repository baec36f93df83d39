// korvel-cli substitute: an absent teacher's lessons on a date with the teachers who could take
// each one; with --auto the first of them is chosen and stored. The date's substitutions can be
// written as PDF, a web page and CSV.

#include "Args.h"
#include "Command.h"
#include "ConsolePorts.h"
#include "DataFiles.h"

#include "hestor/Substitutions.h"
#include "tamsel/Dictionary.h"
#include "tamsel/WritingLock.h"
#include "trusko/ReportRenderer.h"

#include <QDir>
#include <optional>

namespace cli {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

int run(const QStringList& argv, Console& io) {
    Args args(argv, {u("date"), u("teacher"), u("pdf"), u("html"), u("csv")}, {u("auto")});
    QString problem = args.error();
    if (problem.isEmpty()) problem = args.oneFolder();
    const QDate date = QDate::fromString(args.value(u("date")).trimmed(), Qt::ISODate);
    if (problem.isEmpty() && !date.isValid())
        problem = u("не указана дата (--date ГГГГ-ММ-ДД)");
    std::vector<tamsel::Short> absent;
    for (const QString& part : args.value(u("teacher")).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int code = part.trimmed().toInt(&ok);
        if (!ok || code <= 0 || code > 32767) {
            if (problem.isEmpty()) problem = u("--teacher: код учителя, а не «%1»").arg(part);
            break;
        }
        absent.push_back(tamsel::Short(code));
    }
    if (problem.isEmpty() && absent.empty()) problem = u("не указан учитель (--teacher КОД)");
    for (const char* option : {"pdf", "html", "csv"})
        if (problem.isEmpty() && args.has(u(option)) && args.value(u(option)).isEmpty())
            problem = u("не указан файл --%1").arg(u(option));
    if (!problem.isEmpty()) {
        io.err << u("korvel-cli substitute: ") << problem
               << u("\nСправка: korvel-cli substitute --help\n");
        return BadUsage;
    }
    const QString dir = QDir(args.positional.first()).absolutePath();
    if (!isSchoolFolder(io.err, "substitute", dir)) return Failure;
    ConsoleUserInterface ui(io.err);
    tamsel::Dictionary dict(dir);
    dict.setUserInterface(ui);
    // A writer takes the lock before it reads what it will decide from.
    std::optional<tamsel::WritingScope> scope;
    if (args.has(u("auto"))) {
        scope.emplace(dict);
        if (!*scope) {
            io.err << u("korvel-cli substitute: замены не сохранены: папка занята.\n");
            return Failure;
        }
    }
    if (!loadSchoolSettings(io.err, "substitute", dict)) return Failure;
    std::vector<std::unique_ptr<tamsel::FileUse>> files;
    QString damaged;
    if (!openExistingDataFiles(dict, files, &damaged)) {
        io.err << u("korvel-cli substitute: замены не подобраны: файл данных «%1» не читается.\n")
                      .arg(damaged);
        return Failure;
    }
    QString pdf, html, csv;
    for (auto [option, path] :
         {std::pair{"pdf", &pdf}, std::pair{"html", &html}, std::pair{"csv", &csv}}) {
        if (!args.has(u(option))) continue;
        *path = outputPath(io.err, "substitute", dict, args.value(u(option)));
        if (path->isEmpty()) return Failure;
    }

    hestor::SubstitutionDay day = hestor::PlanSubstitutions(dict, date, absent);
    if (!day.ok) {
        io.err << u("korvel-cli substitute: ") << day.error << '\n';
        return Failure;
    }
    if (args.has(u("auto"))) hestor::ChooseFirstCandidates(day);
    io.out << hestor::SubstitutionsTitle(date)
           << u(" (%1, неделя %2)\n").arg(day.dayName.toLower()).arg(day.week);
    for (size_t i = 0; i < day.lessons.size(); ++i) {
        const hestor::AbsentLesson& l = day.lessons[i];
        QString head = u("%1 урок").arg(l.lessonNo);
        if (!l.time.isEmpty()) head += u(" (%1)").arg(l.time);
        head += u(": %1, %2").arg(l.subject, l.groups);
        if (!l.link.isEmpty()) head += u(", ") + l.link;
        if (!l.room.isEmpty()) head += u(", каб. %1").arg(l.room);
        head += u(" — отсутствует %1").arg(l.absentName.trimmed());
        io.out << head << '\n';
        int n = 0;
        for (const hestor::SubstitutionCandidate& c : l.candidates)
            io.out << u("  %1. %2 — %3\n").arg(++n).arg(c.name, c.reason);
        if (l.candidates.empty()) io.out << u("  свободных учителей нет\n");
        if (l.chosen == 0) io.out << u("  → ") << hestor::CancelledText() << '\n';
        if (l.chosen > 0) {
            QString name = l.chosenName;
            for (const hestor::SubstitutionCandidate& c : l.candidates)
                if (c.teacher == l.chosen) name = c.name;
            io.out << u("  → ") << name << '\n';
        }
    }
    if (args.has(u("auto"))) {
        if (const QString error = hestor::SaveSubstitutions(dict, day); !error.isEmpty()) {
            io.err << u("korvel-cli substitute: ") << error << '\n';
            return Failure;
        }
        int covered = 0, cancelled = 0;
        for (const hestor::AbsentLesson& l : day.lessons) (l.chosen > 0 ? covered : cancelled)++;
        io.out << u("Сохранено: уроков с заменой: %1, отменено: %2.\n").arg(covered).arg(cancelled);
    }
    io.out.flush();
    if (pdf.isEmpty() && html.isEmpty() && csv.isEmpty()) return Success;
    const hestor::SubstitutionList list = hestor::ReadSubstitutions(dict, date);
    if (!list.ok) {
        io.err << u("korvel-cli substitute: ") << list.error << '\n';
        return Failure;
    }
    if (!pdf.isEmpty()) {
        const trusko::ReportDocument doc = hestor::SubstitutionsReport(list);
        QString error;
        if (!trusko::writeReportsPdf({&doc}, pdf, &error)) {
            io.err << u("korvel-cli substitute: ") << error << '\n';
            return Failure;
        }
        io.out << u("Отчёт записан: %1\n").arg(QDir::toNativeSeparators(pdf));
    }
    for (auto [format, path] : {std::pair{hestor::SubstitutionsFile::Html, html},
                                std::pair{hestor::SubstitutionsFile::Csv, csv}}) {
        if (path.isEmpty()) continue;
        if (const QString error = hestor::SaveSubstitutionsFile(dict, list, format, path);
            !error.isEmpty()) {
            io.err << u("korvel-cli substitute: ") << error << '\n';
            return Failure;
        }
        io.out << u("Файл записан: %1\n").arg(QDir::toNativeSeparators(path));
    }
    return Success;
}

} // namespace

const Command& substituteCommand() {
    static const Command c{
        "substitute", "замены уроков отсутствующего учителя на дату",
        "Использование: korvel-cli substitute ПАПКА --date ГГГГ-ММ-ДД --teacher КОД[,КОД...]\n"
        "                                     [--auto] [--pdf ФАЙЛ] [--html ФАЙЛ] [--csv ФАЙЛ]\n"
        "Печатает уроки отсутствующих учителей в этот день (неделя цикла и день — по календарю\n"
        "учебного года) и для каждого урока учителей, которые могут его заменить: свободных в\n"
        "этот урок, без запрета на это время; сначала ведущих этот предмет, затем предмет того\n"
        "же цикла, затем остальных; выше — без нового окна и с меньшим числом уроков в этот день.\n"
        "С --auto выбирает первого для каждого урока (урок без кандидатов отменяется) и сохраняет\n"
        "замены в папке. --pdf, --html, --csv записывают документ «Замены на ДД.ММ.ГГГГ» по\n"
        "сохранённым заменам даты.\n"
        "Код возврата 0 — выполнено, 1 — ошибка (каникулы или выходной, у учителя нет уроков в\n"
        "этот день, папка не школы), 2 — неверные параметры.\n",
        &run};
    return c;
}

} // namespace cli
