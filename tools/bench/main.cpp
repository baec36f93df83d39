// korvel-bench: builds sample schools in a temporary folder and prints, per operation, size
// and cycle length, the median time of several runs and the peak memory of a run.
//
// Every run executes in a child process of its own (on Unix), so that its peak resident
// memory is its own and one run cannot warm the caches of the next through this process.

#include "Bench.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <map>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

struct Outcome {
    double ms = -1;
    double peakMb = -1; ///< -1 when unknown
    QString error;
    QString note;
};

bool copyFolder(const QString& from, const QString& to) {
    QDir(to).removeRecursively();
    if (!QDir().mkpath(to)) return false;
    for (const QString& f : QDir(from).entryList(QDir::Files))
        if (!QFile::copy(QDir(from).filePath(f), QDir(to).filePath(f))) return false;
    return true;
}

/// Runs one operation in a child process and collects its time and peak memory.
Outcome runOnce(const bench::Operation& op, bench::RunContext ctx) {
    Outcome result;
#ifdef Q_OS_UNIX
    int fds[2];
    if (pipe(fds) != 0) {
        result.error = u("pipe() не удался");
        return result;
    }
    fflush(stdout);
    fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        op.run(ctx);
        const QByteArray reply =
            ctx.error.isEmpty()
                ? "OK " + QByteArray::number(ctx.elapsedMs(), 'f', 3) + '\t' + ctx.note.toUtf8()
                : "ERR " + ctx.error.toUtf8();
        (void)!write(fds[1], reply.constData(), static_cast<size_t>(reply.size()));
        close(fds[1]);
        _exit(0);
    }
    close(fds[1]);
    QByteArray reply;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        reply.append(buf, static_cast<int>(n));
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    result.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
    if (reply.startsWith("OK ")) {
        const qsizetype tab = reply.indexOf('\t');
        result.ms = reply.mid(3, tab - 3).toDouble();
        result.note = QString::fromUtf8(reply.mid(tab + 1));
    } else if (reply.startsWith("ERR "))
        result.error = QString::fromUtf8(reply.mid(4));
    else
        result.error = u("процесс замера завершился аварийно (код %1)").arg(status);
#else
    op.run(ctx);
    result.ms = ctx.elapsedMs();
    result.error = ctx.error;
    result.note = ctx.note;
#endif
    return result;
}

/// korvel-bench --fet: per file, Korvel's import and placement with the repair phase, and
/// fet-cl on the same school written back with every activity of one hour.
int benchFet(const QStringList& files, int fetSeconds, const QString& root, QTextStream& out,
             QTextStream& err) {
    QTemporaryDir tmp(root.isEmpty() ? QDir::tempPath() + QStringLiteral("/korvel-bench-XXXXXX")
                                     : QDir(root).filePath(QStringLiteral("korvel-bench-XXXXXX")));
    if (!tmp.isValid()) {
        err << u("korvel-bench: временная папка не создана\n");
        return 1;
    }
    const QString fetCl = QStandardPaths::findExecutable(QStringLiteral("fet-cl"));
    if (fetCl.isEmpty()) err << u("korvel-bench: fet-cl не установлен, его время не замеряется\n");
    out << u("Файл\tУроков\tРасставлено, %\tНарушений\tИмпорт, мс\tKorvel, мс\tПик памяти, МБ\tfet-cl, мс\tПримечание\n");
    out.flush();
    bool anyFailed = false;
    static const bench::Operation op{"fet", "", false, &bench::placeFet};
    for (int i = 0; i < files.size(); ++i) {
        bench::RunContext ctx;
        ctx.dir = tmp.filePath(QStringLiteral("school-%1").arg(i));
        ctx.fetFile = QFileInfo(files[i]).absoluteFilePath();
        ctx.fetOut = tmp.filePath(QStringLiteral("split-%1.fet").arg(i));
        QDir().mkpath(ctx.dir);
        const Outcome o = runOnce(op, ctx);
        const QString name = QFileInfo(files[i]).fileName();
        if (!o.error.isEmpty()) {
            out << name << u("\t—\t—\t—\t—\t—\t—\t—\tошибка: ") << o.error << '\n';
            out.flush();
            anyFailed = true;
            continue;
        }
        QStringList note = o.note.split(QLatin1Char('\t'));
        while (note.size() < 5) note << QString();
        if (note[2] != QLatin1String("0")) anyFailed = true;
        QString fetTime = u("—");
        QString remark = note[4];
        if (!fetCl.isEmpty() && QFileInfo::exists(ctx.fetOut)) {
            QProcess fet;
            const QString outDir = tmp.filePath(QStringLiteral("fet-%1").arg(i));
            QElapsedTimer clock;
            clock.start();
            fet.start(fetCl, {QStringLiteral("--inputfile=") + ctx.fetOut,
                              QStringLiteral("--outputdir=") + outDir,
                              QStringLiteral("--timelimitseconds=%1").arg(fetSeconds)});
            fet.waitForFinished(-1);
            const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            // fet-cl writes its timetables only when it placed every activity.
            bool solved = false;
            QDirIterator it(outDir, {QStringLiteral("*_data_and_timetable.fet")}, QDir::Files,
                            QDirIterator::Subdirectories);
            solved = it.hasNext();
            fetTime = QString::number(ms, 'f', 0);
            if (!solved)
                remark += (remark.isEmpty() ? QString() : u("; ")) +
                          u("fet-cl не расставил всё за %1 с").arg(fetSeconds);
        }
        out << name << '\t' << note[0] << '\t' << note[1] << '\t' << note[2] << '\t' << note[3]
            << '\t' << QString::number(o.ms, 'f', 0) << '\t'
            << (o.peakMb < 0 ? u("—") : QString::number(o.peakMb, 'f', 1)) << '\t' << fetTime
            << '\t' << remark << '\n';
        out.flush();
    }
    return anyFailed ? 1 : 0;
}

void printHelp(QTextStream& s) {
    s << u("Использование: korvel-bench [--sizes small,medium,large,xl] [--weeks 1,20] [--runs N]\n"
           "                    [--ops СПИСОК] [--planted ДОЛИ] [--dir ПАПКА] [--format text|tsv]\n"
           "Строит примеры школ во временной папке и для каждой операции, размера и длины цикла\n"
           "печатает медиану времени N прогонов и пиковую память прогона.\n\n"
           "  --sizes  размеры школ через запятую; по умолчанию small,medium,large\n"
           "  --weeks  длины цикла (недель) через запятую; по умолчанию 1,20\n"
           "  --runs   прогонов каждой операции; по умолчанию 5\n"
           "  --ops    операции через запятую; по умолчанию все:\n");
    for (const bench::Operation& op : bench::operations())
        s << "             " << QString::fromLatin1(op.name).leftJustified(16) << u(op.title)
          << '\n';
    s << u("  --dir    папка для временных данных; по умолчанию временная папка системы\n\n"
           "Эталонный путь расстановки замеряется только на школе small. В примечании —\n"
           "доля расставленных уроков и число вариантов урока.\n\n"
           "korvel-bench [--dir ПАПКА] [--fet-seconds N] --fet ФАЙЛ.fet…\n"
           "Каждый файл FET импортируется, его уроки расставляются с доводкой; печатаются уроки,\n"
           "доля расставленных, нарушения жестких правил, время и память, а если установлен\n"
           "fet-cl — его время на той же школе, записанной с часовыми уроками (предел N с,\n"
           "по умолчанию 300).\n");
}

} // namespace

int main(int argc, char** argv) {
    // The grid operations open real windows; they need no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout), err(stderr);
    QStringList sizes{QStringLiteral("small"), QStringLiteral("medium"), QStringLiteral("large")};
    QList<int> weeks{1, 20};
    int runs = 5;
    QStringList opNames;
    QString root;
    bool tsv = false;
    QList<double> plantedShares{0.85, 0.95, 1.0};

    QStringList args = app.arguments().mid(1);
    if (const int fetAt = static_cast<int>(args.indexOf(QStringLiteral("--fet"))); fetAt >= 0) {
        QStringList files = args.mid(fetAt + 1);
        args = args.mid(0, fetAt);
        int fetSeconds = 300;
        QString fetRoot;
        for (int i = 0; i + 1 < args.size(); i += 2) {
            if (args[i] == QStringLiteral("--fet-seconds")) fetSeconds = args[i + 1].toInt();
            else if (args[i] == QStringLiteral("--dir")) fetRoot = args[i + 1];
        }
        if (files.isEmpty() || fetSeconds < 1 || args.size() % 2) {
            err << u("korvel-bench: после --fet нужны файлы FET; справка: korvel-bench --help\n");
            return 2;
        }
        return benchFet(files, fetSeconds, fetRoot, out, err);
    }
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QStringLiteral("--help") || a == QStringLiteral("-h")) {
            printHelp(out);
            return 0;
        }
        if (i + 1 >= args.size() || !a.startsWith(QStringLiteral("--"))) {
            err << u("korvel-bench: непонятный параметр «%1»\n").arg(a);
            return 2;
        }
        const QString v = args[++i];
        bool ok = true;
        if (a == QStringLiteral("--sizes")) {
            sizes = v.split(QLatin1Char(','), Qt::SkipEmptyParts);
            for (const QString& s : sizes)
                ok = ok && sample::sizeFromName(s).has_value();
        } else if (a == QStringLiteral("--weeks")) {
            weeks.clear();
            for (const QString& w : v.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                const int n = w.toInt(&ok);
                if (!ok || n < 1 || n > sample::MaxWeeks) ok = false;
                if (!ok) break;
                weeks << n;
            }
        } else if (a == QStringLiteral("--runs")) {
            runs = v.toInt(&ok);
            ok = ok && runs >= 1 && runs <= 1000;
        } else if (a == QStringLiteral("--ops")) {
            opNames = v.split(QLatin1Char(','), Qt::SkipEmptyParts);
            for (const QString& n : opNames)
                ok = ok && std::any_of(bench::operations().begin(), bench::operations().end(),
                                       [&](const bench::Operation& op) {
                                           return n == QLatin1String(op.name);
                                       });
        } else if (a == QStringLiteral("--planted")) {
            plantedShares.clear();
            for (const QString& x : v.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                const double share = x.toDouble(&ok);
                if (!ok || share < 0.1 || share > 1) ok = false;
                if (!ok) break;
                plantedShares << share;
            }
            ok = ok && !plantedShares.isEmpty();
        } else if (a == QStringLiteral("--dir")) {
            root = v;
        } else if (a == QStringLiteral("--format")) {
            ok = v == QLatin1String("text") || v == QLatin1String("tsv");
            tsv = v == QLatin1String("tsv");
        } else {
            ok = false;
        }
        if (!ok || sizes.isEmpty() || weeks.isEmpty()) {
            err << u("korvel-bench: неверное значение «%1» у «%2»; справка: korvel-bench --help\n")
                       .arg(v, a);
            return 2;
        }
    }

    QTemporaryDir tmp(root.isEmpty() ? QDir::tempPath() + QStringLiteral("/korvel-bench-XXXXXX")
                                     : QDir(root).filePath(QStringLiteral("korvel-bench-XXXXXX")));
    if (!tmp.isValid()) {
        err << u("korvel-bench: временная папка не создана\n");
        return 1;
    }

    std::vector<const bench::Operation*> ops;
    for (const bench::Operation& op : bench::operations())
        if (opNames.isEmpty() || opNames.contains(QLatin1String(op.name))) ops.push_back(&op);

    // Columns as wide as their longest text: "large@0.85", the repair operation's title.
    int titleWidth = 38;
    for (const auto* op : ops)
        titleWidth = std::max(titleWidth, static_cast<int>(u(op->title).size()) + 2);
    const int sizeWidth = 12;
    if (tsv)
        out << "key\tsize\tweeks\truns\tmedian_ms\tpeak_mb\tnote\n";
    else
        out << u("Операция").leftJustified(titleWidth) << u("Размер").leftJustified(sizeWidth)
            << u("Недель").rightJustified(6) << u("Прогонов").rightJustified(10)
            << u("Медиана, мс").rightJustified(13) << u("Пик памяти, МБ").rightJustified(16) << "  "
            << u("Примечание") << '\n';
    out.flush();

    bool anyFailed = false;
    for (const QString& sizeText : sizes)
        for (int w : weeks) {
            bench::RunContext base;
            base.options.size = *sample::sizeFromName(sizeText);
            base.options.weeks = w;
            base.options.seed = 1;
            const QString templateDir =
                tmp.filePath(QStringLiteral("sample-%1-%2").arg(sizeText).arg(w));
            bool haveTemplate = false, havePlaced = false;
            const QString placedDir = templateDir + QStringLiteral("-placed");
            // One row: the runs of `op` on copies of the school of `base`; false when the
            // school could not be made (the rest of this size and cycle is skipped).
            auto measure = [&](const bench::Operation* op, const bench::RunContext& base,
                               const QString& sizeText, const QString& templateDir,
                               const QString& placedDir, bool& haveTemplate,
                               bool& havePlaced) -> bool {
                if (op->needsSample && !haveTemplate) {
                    // The school every run of this size starts from, made once, untimed.
                    bench::RunContext make = base;
                    make.dir = templateDir;
                    QDir().mkpath(templateDir);
                    const Outcome made = runOnce(bench::operations().front(), make);
                    if (!made.error.isEmpty()) {
                        err << u("korvel-bench: пример %1/%2 не построен: %3\n")
                                   .arg(sizeText)
                                   .arg(w)
                                   .arg(made.error);
                        anyFailed = true;
                        return false;
                    }
                    haveTemplate = true;
                }
                if (op->placedSample && !havePlaced) {
                    bench::RunContext place = base;
                    place.dir = placedDir;
                    static const bench::Operation placing{"place", "", true, &bench::placeSample};
                    const Outcome placed = copyFolder(templateDir, placedDir)
                                               ? runOnce(placing, place)
                                               : Outcome{-1, -1, u("папка не скопирована"), {}};
                    if (!placed.error.isEmpty()) {
                        err << u("korvel-bench: пример %1/%2 не расставлен: %3\n")
                                   .arg(sizeText)
                                   .arg(w)
                                   .arg(placed.error);
                        anyFailed = true;
                        return false;
                    }
                    havePlaced = true;
                }
                std::vector<double> times;
                double peak = -1;
                QString error, note;
                for (int r = 0; r < runs && error.isEmpty(); ++r) {
                    bench::RunContext ctx = base;
                    ctx.dir = tmp.filePath(QStringLiteral("run"));
                    const bool ready =
                        op->needsSample
                            ? copyFolder(op->placedSample ? placedDir : templateDir, ctx.dir)
                            : (QDir(ctx.dir).removeRecursively() && QDir().mkpath(ctx.dir));
                    if (!ready) {
                        error = u("папка прогона не подготовлена");
                        break;
                    }
                    const Outcome o = runOnce(*op, ctx);
                    if (!o.error.isEmpty()) error = o.error;
                    note = o.note;
                    times.push_back(o.ms);
                    peak = std::max(peak, o.peakMb);
                }
                double median = -1;
                if (error.isEmpty()) {
                    std::sort(times.begin(), times.end());
                    const size_t n = times.size();
                    median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
                } else {
                    anyFailed = true;
                }
                if (tsv) {
                    // One line per row for scripts: a failed row has no figures, its error as note.
                    auto clean = [](QString t) {
                        return t.replace(QLatin1Char('\t'), QLatin1Char(' '));
                    };
                    out << op->name << '\t' << sizeText << '\t' << w << '\t' << runs << '\t'
                        << (error.isEmpty() ? QString::number(median, 'f', 1) : QString()) << '\t'
                        << (peak < 0 ? QString() : QString::number(peak, 'f', 1)) << '\t'
                        << clean(error.isEmpty() ? note : u("ошибка: ") + error) << '\n';
                } else {
                    out << u(op->title).leftJustified(titleWidth)
                        << sizeText.leftJustified(sizeWidth)
                        << QString::number(w).rightJustified(6);
                    if (!error.isEmpty()) {
                        out << u("   ошибка: ") << error << '\n';
                    } else {
                        out << QString::number(runs).rightJustified(10)
                            << QString::number(median, 'f', 1).rightJustified(13)
                            << (peak < 0 ? QStringLiteral("—") : QString::number(peak, 'f', 1))
                                   .rightJustified(16);
                        if (!note.isEmpty()) out << "  " << note;
                        out << '\n';
                    }
                }
                out.flush();
                return true;
            };
            std::map<double, std::pair<bool, bool>> plantedMade; // share → (made, placed)
            for (const bench::Operation* op : ops) {
                if (op->appliesTo && !op->appliesTo(base.options)) continue;
                if (!op->planted) {
                    if (!measure(op, base, sizeText, templateDir, placedDir, haveTemplate,
                                 havePlaced))
                        break;
                    continue;
                }
                if (w != 1) continue;
                for (double share : plantedShares) {
                    bench::RunContext planted = base;
                    planted.options.planted = share;
                    const QString label = sizeText + QLatin1Char('@') + QString::number(share);
                    const QString dir =
                        templateDir + QStringLiteral("-planted-") + QString::number(share);
                    auto& [made, placed] = plantedMade[share];
                    if (!measure(op, planted, label, dir, dir + QStringLiteral("-placed"), made,
                                 placed))
                        break;
                }
            }
        }
    return anyFailed ? 1 : 0;
}
