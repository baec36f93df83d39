// korvel-cli archive: snapshots of a data folder in its archive, without a display.

#include "Args.h"
#include "Command.h"
#include "ConsolePorts.h"
#include "DataFiles.h"

#include "hestor/Archive.h"
#include "tamsel/Dictionary.h"
#include "tamsel/Relations.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

namespace cli {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

/// Restoring from the command line is the user's explicit wish: the question whether to save
/// the current data first is answered "Нет"; every other question keeps its default.
class RestoringUi final : public tamsel::UserInterfacePort {
public:
    explicit RestoringUi(tamsel::UserInterfacePort& inner) : inner_(inner) {}
    void tell(const QString& c, const QString& t) override { inner_.tell(c, t); }
    tamsel::Button ask(const QString& c, const QString& t, unsigned b,
                       tamsel::Button def) override {
        inner_.tell(c, t);
        return c.startsWith(u("В Н И М А Н И Е")) ? tamsel::No : def;
    }
    bool stopPrompt(const QString& t) override { return inner_.stopPrompt(t); }
    void setBusy(bool b) override { inner_.setBusy(b); }
    void note(const QString& t) override { inner_.note(t); }

private:
    tamsel::UserInterfacePort& inner_;
};

int run(const QStringList& argv, Console& io) {
    Args args(argv, {QStringLiteral("description")});
    QString problem = args.error();
    const QStringList verbs{u("save"), u("list"), u("restore"), u("delete")};
    const QString verb = args.positional.value(0);
    if (problem.isEmpty() && !verbs.contains(verb))
        problem = verb.isEmpty() ? u("не указано действие (save, list, restore, delete)")
                                 : u("неизвестное действие «%1»").arg(verb);
    const int wanted = verb == u("list") ? 2 : 3;
    if (problem.isEmpty() && args.positional.size() != wanted)
        problem =
            args.positional.size() < wanted ? u("не хватает параметров") : u("лишние параметры");
    if (!problem.isEmpty()) {
        io.err << u("korvel-cli archive: ") << problem
               << u("\nСправка: korvel-cli archive --help\n");
        return BadUsage;
    }
    const QString dir = QDir(args.positional[1]).absolutePath();
    if (!isSchoolFolder(io.err, "archive", dir)) return Failure;
    ConsoleUserInterface console(io.err);
    RestoringUi ui(console);
    tamsel::Dictionary dict(dir);
    dict.setUserInterface(ui);
    // A restore holds the folder from before it reads anything until its files are in place.
    std::optional<tamsel::WritingScope> writing;
    if (verb == u("restore") && !writing.emplace(dict)) {
        io.err << u("korvel-cli archive: данные не восстановлены: папку нельзя занять для "
                    "записи (см. сообщение выше).\n");
        return Failure;
    }
    if (!loadSchoolSettings(io.err, "archive", dict)) return Failure;
    {
        // No snapshot of, and no restore over, a folder with a file that cannot be used; the
        // files are let go again before the backup, which wants them closed.
        std::vector<std::unique_ptr<tamsel::FileUse>> files;
        QString damaged;
        if (!openExistingDataFiles(dict, files, &damaged)) {
            io.err
                << u("korvel-cli archive: действие не выполнено: файл данных «%1» не читается.\n")
                       .arg(damaged);
            return Failure;
        }
    }
    tamsel::Relations rel(dict);
    if (!rel.open(tamsel::FileId::Archive)) {
        io.err << u("korvel-cli archive: файл архива не читается.\n");
        return Failure;
    }
    auto archive = dict.access<tamsel::Archive>();
    const QString brief = args.positional.value(2);
    auto find = [&](bool* found) {
        tamsel::Archive key;
        key.BriefDescription = brief;
        return archive.fetch(tamsel::Archive::DescriptionKey, key, found);
    };
    int status = Success;
    if (verb == u("list")) {
        for (const tamsel::Archive& a : archive.all(tamsel::Archive::DateTimeKey))
            io.out << tamsel::dateOfDayNumber(a.SaveDate).toString(QStringLiteral("dd.MM.yyyy"))
                   << ' ' << QString::number(a.WeeksInCycle).rightJustified(3) << "  "
                   << a.BriefDescription << '\n';
        status = archive.readOk() ? Success : Failure;
    } else if (verb == u("save")) {
        bool found = false;
        tamsel::Archive rec = find(&found);
        if (!found) rec = tamsel::Archive{};
        rec.BriefDescription = brief;
        if (args.has(QStringLiteral("description")))
            rec.Description = args.value(QStringLiteral("description"));
        QString stoppedAt;
        if (!hestor::BackupSchedule(dict, rec, &stoppedAt)) {
            io.err << u("korvel-cli archive: снимок не записан: копирование остановилось на файле "
                        "«%1».\n")
                          .arg(stoppedAt);
            status = Failure;
        } else if (!(found ? rel.update(rec) : rel.insert(rec)).ok()) {
            io.err << u("korvel-cli archive: снимок не записан в архив.\n");
            status = Failure;
        } else {
            io.out << u("Снимок «%1» %2.\n").arg(brief, found ? u("заменён") : u("записан"));
        }
    } else {
        bool found = false;
        const tamsel::Archive rec = find(&found);
        if (!found) {
            io.err << u("korvel-cli archive: снимка «%1» в архиве нет.\n").arg(brief);
            status = Failure;
        } else if (verb == u("delete")) {
            if (rel.remove(rec).ok())
                io.out << u("Снимок «%1» удалён.\n").arg(brief);
            else
                status = Failure;
        } else if (hestor::RestoreSchedule(dict, rec)) {
            // The archived settings went in with the data.
            io.out << u("Данные восстановлены из снимка «%1».\n").arg(brief);
        } else {
            io.err << u("korvel-cli archive: данные не восстановлены.\n");
            status = Failure;
        }
    }
    rel.close(tamsel::FileId::Archive);
    return status;
}

} // namespace

const Command& archiveCommand() {
    static const Command c{
        "archive", "архив расписаний: записать, показать, восстановить, удалить снимок",
        "Использование: korvel-cli archive save ПАПКА ОПИСАНИЕ [--description ТЕКСТ]\n"
        "               korvel-cli archive list ПАПКА\n"
        "               korvel-cli archive restore ПАПКА ОПИСАНИЕ\n"
        "               korvel-cli archive delete ПАПКА ОПИСАНИЕ\n"
        "save записывает все файлы данных папки в архив под кратким описанием (снимок с тем же\n"
        "описанием заменяется); restore заменяет данные папки снимком (все файлы вместе) и\n"
        "восстанавливает число недель и общий тип кабинета. Код возврата 1 при ошибке.\n",
        &run};
    return c;
}

} // namespace cli
