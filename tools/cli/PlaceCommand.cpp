// korvel-cli place: the automatic placement without a display, printing its progress list.

#include "Args.h"
#include "Command.h"
#include "ConsolePorts.h"
#include "DataFiles.h"

#include "pivrel/engine/AutoPlacement.h"
#include "pivrel/engine/UnplacedReasons.h"
#include "tamsel/Dictionary.h"
#include "trusko/Report.h"
#include "trusko/ReportRenderer.h"

#include <QDir>

namespace cli {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

/// The progress list on standard output, line by line as the window shows it. The line that
/// ends the placing phase is held back with whatever follows it until the run's outcome is
/// known: a run that did not finish must not say it did.
class PrintingHost final : public pivrel::RunHost {
public:
    explicit PrintingHost(QTextStream& out) : out_(out) {}
    void addLine(const QString& line) override {
        if (line == doneLine()) holding_ = true;
        if (holding_) {
            held_ << line.left(255);
            return;
        }
        out_ << line.left(255) << '\n';
        out_.flush();
    }
    void setProgressRange(int) override {}
    void setProgressValue(int) override {}
    void yield() override {}
    /// Prints the lines held back, the end of the placing phase only when the run finished.
    void finish(bool finished) {
        for (const QString& line : held_)
            if (finished || line != doneLine()) out_ << line << '\n';
        out_.flush();
        held_.clear();
        holding_ = false;
    }

private:
    static QString doneLine() { return u("АВТОМАТИЧЕСКАЯ РАССТАНОВКА УРОКОВ ЗАКОНЧЕНА"); }
    QTextStream& out_;
    QStringList held_;
    bool holding_ = false;
};

/// Answers the question about lessons that cannot all be placed as told.
class AnsweringUi final : public tamsel::UserInterfacePort {
public:
    AnsweringUi(tamsel::UserInterfacePort& inner, tamsel::Button answer)
        : inner_(inner), answer_(answer) {}
    void tell(const QString& c, const QString& t) override {
        if (firstMessage.isEmpty()) firstMessage = t;
        inner_.tell(c, t);
    }
    tamsel::Button ask(const QString& c, const QString& t, unsigned b,
                       tamsel::Button def) override {
        inner_.tell(c, t);
        return answer_ == tamsel::NoButton ? def : answer_;
    }
    bool stopPrompt(const QString& t) override { return inner_.stopPrompt(t); }
    void setBusy(bool b) override { inner_.setBusy(b); }
    void note(const QString& t) override { inner_.note(t); }

    /// The first message of the run: what stopped it (the others follow from it).
    QString firstMessage;

private:
    tamsel::UserInterfacePort& inner_;
    tamsel::Button answer_;
};

/// Whether the teacher, group or subject of a partial placement exists; `readable` turns
/// false when its file could not be opened (the message was shown).
bool objectExists(tamsel::Dictionary& dict, short kind, short code, bool* readable) {
    const tamsel::FileId file = kind == pivrel::TaskKind::Teacher ? tamsel::FileId::Teacher
                                : kind == pivrel::TaskKind::Group ? tamsel::FileId::Group
                                                                  : tamsel::FileId::Science;
    tamsel::FileUse use(dict.store(), file);
    *readable = use.ok();
    if (!use) return false;
    bool found = false;
    if (kind == pivrel::TaskKind::Teacher) {
        tamsel::Teacher t;
        t.TeacherCode = code;
        dict.access<tamsel::Teacher>().fetch(tamsel::Teacher::TeacherCodeKey, t, &found);
    } else if (kind == pivrel::TaskKind::Group) {
        tamsel::Group g;
        g.GroupCode = code;
        dict.access<tamsel::Group>().fetch(tamsel::Group::GroupCodeKey, g, &found);
    } else {
        tamsel::Science s;
        s.ScienceCode = code;
        dict.access<tamsel::Science>().fetch(tamsel::Science::ScienceCodeKey, s, &found);
    }
    return found;
}

int run(const QStringList& argv, Console& io) {
    Args args(argv,
              {u("teacher"), u("group"), u("subject"), u("answer"), u("seconds"), u("pdf")},
              {u("repair"), u("why"), u("minimal"), u("compact"), u("compact-all")});
    qint64 seconds = pivrel::AutoPlacement::DefaultRepairSeconds;
    if (args.ok()) args.integer(u("seconds"), seconds, 1, 3600, &seconds);
    QString problem = args.error();
    if (problem.isEmpty()) problem = args.oneFolder();
    short kind = pivrel::TaskKind::All;
    qint64 code = 0;
    if (const QString scope = args.taskScope(&kind, &code); problem.isEmpty()) problem = scope;
    tamsel::Button answer = tamsel::NoButton;
    if (problem.isEmpty() && args.has(u("answer"))) {
        const QString a = args.value(u("answer"));
        if (a == u("yes"))
            answer = tamsel::Yes;
        else if (a == u("no"))
            answer = tamsel::No;
        else
            problem = u("--answer принимает yes или no");
    }
    const bool compactAll = args.has(u("compact-all"));
    if (problem.isEmpty() && compactAll &&
        (args.has(u("minimal")) || args.has(u("repair")) || args.has(u("why"))))
        problem = u("--compact-all только сокращает окна и не сочетается с --minimal, --repair "
                    "и --why");
    if (problem.isEmpty() && args.has(u("seconds")) && !args.has(u("repair")) &&
        !args.has(u("minimal")) && !args.has(u("compact")) && !compactAll)
        problem = u("--seconds задает время доводки или сокращения окон и нужен только вместе "
                    "с --repair, --minimal, --compact или --compact-all");
    if (problem.isEmpty() && args.has(u("pdf")) && !args.has(u("minimal")) && !compactAll)
        problem = u("--pdf пишет список перемещенных уроков и нужен только вместе с --minimal "
                    "или --compact-all");
    if (problem.isEmpty() && args.has(u("pdf")) && args.value(u("pdf")).isEmpty())
        problem = u("не указан файл --pdf");
    if (!problem.isEmpty()) {
        io.err << u("korvel-cli place: ") << problem << u("\nСправка: korvel-cli place --help\n");
        return BadUsage;
    }
    const QString dir = QDir(args.positional.first()).absolutePath();
    if (!isSchoolFolder(io.err, "place", dir)) return Failure;
    ConsoleUserInterface console(io.err);
    AnsweringUi ui(console, answer);
    tamsel::Dictionary dict(dir);
    dict.setUserInterface(ui);
    // The lock before the settings and the files: a restore or import of another program
    // must not replace them between what the placement reads and what it writes.
    tamsel::WritingScope writing(dict);
    // The last line of a failure names its cause in the words of the first message shown.
    auto causeOf = [](const QString& shown, const QString& otherwise) {
        QString cause = tamsel::withLineBreaks(shown).simplified();
        while (cause.endsWith(QLatin1Char('.'))) cause.chop(1);
        return cause.isEmpty() ? otherwise : cause;
    };
    if (!writing) {
        io.err << u("korvel-cli place: расстановка не выполнена: %1.\n")
                      .arg(causeOf(dict.writingLock().refusal().isEmpty()
                                       ? ui.firstMessage
                                       : dict.writingLock().refusal(),
                                   u("папку нельзя занять для записи")));
        return Failure;
    }
    if (!loadSchoolSettings(io.err, "place", dict)) return Failure;
    std::vector<std::unique_ptr<tamsel::FileUse>> files;
    QString damaged;
    if (!openExistingDataFiles(dict, files, &damaged)) {
        io.err << u("korvel-cli place: расстановка не выполнена: файл данных «%1» не читается.\n")
                      .arg(damaged);
        return Failure;
    }
    bool readable = true;
    if (kind != pivrel::TaskKind::All &&
        !objectExists(dict, kind, static_cast<short>(code), &readable)) {
        if (!readable) {
            io.err << u("korvel-cli place: расстановка не выполнена: файл данных не читается.\n");
            return Failure;
        }
        const char* what = kind == pivrel::TaskKind::Teacher ? "учителя"
                           : kind == pivrel::TaskKind::Group ? "учебной группы"
                                                             : "предмета";
        io.err << u("korvel-cli place: %1 с кодом %2 нет.\n").arg(u(what)).arg(code);
        return Failure;
    }
    // The report's file is checked before anything is placed.
    QString pdf;
    if (args.has(u("pdf"))) {
        pdf = outputPath(io.err, "place", dict, args.value(u("pdf")));
        if (pdf.isEmpty()) return Failure;
    }
    PrintingHost host(io.out);
    dict.glo.ProcessingDisabled = 0;
    pivrel::AutoPlacement placement(dict);
    placement.setRepair(args.has(u("repair")), static_cast<int>(seconds));
    // The moved list and its summary end the progress list.
    placement.setMinimal(args.has(u("minimal")));
    const int compactSeconds = args.has(u("seconds"))
                                   ? static_cast<int>(seconds)
                                   : pivrel::AutoPlacement::DefaultCompactSeconds;
    placement.setCompact(args.has(u("compact")) || compactAll, compactSeconds);
    placement.setCompactAll(compactAll);
    ui.firstMessage.clear();
    const pivrel::PlacementResult r = placement.run(kind, static_cast<short>(code), host);
    dict.store().closeAll();
    using End = pivrel::PlacementResult::End;
    host.finish(r.end == End::Finished);
    // Why each lesson left is left: read after the run, from what it wrote.
    if (args.has(u("why")) && r.left > 0 && r.end != End::Failed && r.end != End::Aborted) {
        io.out << '\n';
        for (const QString& line : pivrel::unplacedReasonsLines(
                 pivrel::ExplainUnplaced(dict, kind, static_cast<short>(code))))
            io.out << line << '\n';
        io.out.flush();
        dict.store().closeAll();
    }
    if (!pdf.isEmpty() && r.end != End::Failed && r.end != End::Aborted) {
        const trusko::ReportDocument doc = pivrel::minimalChangesReport(placement.changes());
        QString error;
        if (!trusko::writeReportsPdf({&doc}, pdf, &error)) {
            io.err << u("korvel-cli place: ") << error << '\n';
            return Failure;
        }
        io.out << u("Отчёт записан: %1\n").arg(QDir::toNativeSeparators(pdf));
        io.out.flush();
    }
    switch (r.end) {
    case End::Finished:
        return Success;
    case End::Declined:
        io.err << u("korvel-cli place: расстановка не выполнена: не все уроки могут быть "
                    "расставлены, а ответ был «нет» (--answer yes расставляет возможные).\n");
        return Failure;
    case End::Stopped:
        io.err << u("korvel-cli place: расстановка остановлена.\n");
        return Failure;
    case End::Aborted:
        io.err << u("korvel-cli place: расстановка прервана.\n");
        return Failure;
    case End::Failed:
        break;
    }
    // The last line names the cause (the folder held by another writer, a full disk, a file
    // that cannot be read): the first message the run showed.
    io.err << u("korvel-cli place: расстановка не выполнена: %1; размещено уроков: %2.\n")
                  .arg(causeOf(ui.firstMessage, u("данные не удалось прочитать или записать")))
                  .arg(r.placed);
    return Failure;
}

} // namespace

const Command& placeCommand() {
    static const Command c{
        "place", "автоматическая расстановка уроков",
        "Использование: korvel-cli place ПАПКА [--teacher КОД | --group КОД | --subject КОД]\n"
        "                                [--answer yes|no] [--repair | --minimal [--pdf ФАЙЛ]]\n"
        "                                [--compact] [--seconds N] [--why]\n"
        "       korvel-cli place ПАПКА [--teacher КОД | --group КОД | --subject КОД]\n"
        "                                --compact-all [--seconds N] [--pdf ФАЙЛ]\n"
        "Расставляет нерасставленные уроки учителя, группы, предмета или все уроки, как окно\n"
        "«Автоматическая расстановка уроков», и печатает строки хода расстановки. Если не все\n"
        "уроки могут быть расставлены, вопрос о продолжении получает ответ --answer (без него —\n"
        "«Нет», как в окне). Тот же ответ получает предложение составить недостающие списки\n"
        "кабинетов учителей, без которых их уроки не расставить. С --repair оставшиеся уроки\n"
        "доводятся до места перестановкой уроков, расставленных этим запуском (не дольше N\n"
        "секунд, по умолчанию 10); уроки, расставленные раньше, остаются на местах.\n"
        "С --minimal — перерасстановка с минимальными изменениями: уроки, нарушающие правила\n"
        "после изменения данных, снимаются, затем расставляются все нерасставленные, а уроки,\n"
        "расставленные раньше (кроме закрепленных), перемещаются только там, где без этого\n"
        "нельзя; в конце печатается список перемещенных уроков (было → стало) и итог\n"
        "«Итог: перемещено уроков: N, …»; с --pdf этот список пишется и в файл PDF. С --compact\n"
        "уроки, расставленные этим запуском, затем переносятся туда, где у учителей и групп\n"
        "меньше окон (не дольше N секунд, по умолчанию 5); строка «СОКРАЩЕНИЕ ОКОН ЗАКОНЧЕНО:\n"
        "…» говорит, сколько окон было и стало. --compact-all ничего не расставляет, а так же\n"
        "переносит все расставленные уроки учителя, группы, предмета или всей школы, кроме\n"
        "закрепленных и сдвоенных, и печатает список перемещенных уроков (с --pdf — и в файл).\n"
        "С --why\n"
        "после итога печатается, почему не расставлен каждый оставшийся урок: сколько клеток\n"
        "закрыла каждая причина и какие уроки их занимают.\n",
        &run};
    return c;
}

} // namespace cli
