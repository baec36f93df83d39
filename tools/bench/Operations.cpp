#include "Bench.h"

#include "faldin/RoomLists.h"
#include "hestor/Archive.h"
#include "hestor/ExportSchedule.h"
#include "hestor/PublishSchedule.h"
#include "tamsel/SchoolCalendar.h"
#include "pivrel/engine/AutoPlacement.h"
#include "pivrel/engine/PlacementCheck.h"
#include "pivrel/engine/PlacementSuggestions.h"
#include "pivrel/timetable/Overviews.h"
#include "pivrel/timetable/PivrelLessons.h"
#include "tamsel/Dictionary.h"
#include "tamsel/ErrorReporter.h"
#include "tamsel/Relations.h"
#include "tamsel/Transaction.h"
#include "trusko/TimetableQuality.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTableView>
#include <map>
#include <memory>
#include <random>
#include <set>

using namespace tamsel;

namespace bench {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

QString describe(const Outcome& o) {
    return ErrorReporter::text(o.msgNo, o.args);
}

bool openSample(Dictionary& dict, RunContext& ctx) {
    QString error;
    if (!dict.loadSettings(&error)) {
        ctx.error = u("Korvel.ini не читается: ") + error;
        return false;
    }
    return true;
}

void generateSample(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    QString error;
    ctx.start();
    const bool ok = sample::GenerateSampleSchool(dict, ctx.options, nullptr, &error);
    ctx.stop();
    if (!ok) ctx.error = error;
}

/// Every plan item generates its lessons anew into an emptied SCHEDULE.
void generateLessons(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    if (!openSample(dict, ctx)) return;
    std::vector<TrainingCourse> items;
    qint64 before = 0;
    {
        Transaction tx(dict.store(), {FileId::Schedule, FileId::TrainingCourse});
        auto sch = tx.access<Schedule>();
        before = sch.count();
        for (const Schedule& s : sch.all(Schedule::ItemCode))
            sch.remove(s);
        items = tx.access<TrainingCourse>().all(TrainingCourse::ItemCodeKey);
        if (const Outcome o = tx.commit(); !o.ok()) {
            ctx.error = describe(o);
            return;
        }
    }
    int made = 0;
    ctx.start();
    for (const TrainingCourse& item : items)
        made += GenerateLessonsForItem(dict, item);
    ctx.stop();
    if (made != before) ctx.error = u("создано %1 уроков вместо %2").arg(made).arg(before);
}

/// One group from the middle of the list, with its lessons and restrictions.
void cascadeDeleteGroup(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    if (!openSample(dict, ctx)) return;
    Group victim;
    {
        FileUse use(dict.store(), FileId::Group);
        const auto groups = dict.access<Group>().all(Group::GroupCodeKey);
        if (groups.empty()) {
            ctx.error = u("в примере нет групп");
            return;
        }
        victim = groups[groups.size() / 2];
    }
    Relations rel(dict);
    rel.setReporting(false);
    // The group list holds its files open through the relation manager, as the program does.
    if (!rel.open(FileId::Group)) {
        ctx.error = u("файлы группы не открываются");
        return;
    }
    ctx.start();
    const Outcome o = rel.remove(victim);
    ctx.stop();
    rel.close(FileId::Group);
    if (!o.ok()) ctx.error = describe(o);
}

void updateAllRoomLists(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    if (!openSample(dict, ctx)) return;
    ctx.start();
    const Outcome o = faldin::UpdateAllTeacherRoomLists(dict);
    ctx.stop();
    if (!o.ok()) ctx.error = describe(o);
}

/// Answers "Да" to the question whether to go on when not every lesson can be placed, so that
/// the run places what it can, as an officer would let it.
class AnswerYes final : public UserInterfacePort {
public:
    void tell(const QString&, const QString&) override {}
    Button ask(const QString&, const QString&, unsigned, Button) override { return Yes; }
    bool stopPrompt(const QString&) override { return false; }
    void setBusy(bool) override {}
};

/// Keeps only the last progress line: the run must reach its end.
class QuietHost : public pivrel::RunHost {
public:
    void addLine(const QString& line) override { last = line; }
    void setProgressRange(int) override {}
    void setProgressValue(int) override {}
    void yield() override {}
    QString last;
};

/// The whole automatic placement of every unplaced lesson as the window runs it: from opening
/// the dictionary (settings, data files) through the three phases to the last placement
/// written and the files closed.
void placeAll(RunContext& ctx, pivrel::EnginePath path, bool repair = false) {
    QuietHost host;
    AnswerYes yes;
    pivrel::PlacementResult result;
    ctx.start();
    {
        Dictionary dict(ctx.dir);
        dict.setUserInterface(yes);
        if (!openSample(dict, ctx)) return;
        dict.glo.ProcessingDisabled = 0;
        pivrel::AutoPlacement placement(dict);
        placement.setRepair(repair);
        result = placement.run(pivrel::TaskKind::All, 0, host, path);
        dict.store().closeAll();
    }
    ctx.stop();
    if (!result.complete()) {
        ctx.error = u("расстановка не дошла до конца: «%1»").arg(host.last);
        return;
    }
    Dictionary dict(ctx.dir);
    if (!openSample(dict, ctx)) return;
    FileUse use(dict.store(), FileId::Schedule);
    int placed = 0, total = 0;
    for (const Schedule& x : dict.access<Schedule>().all(Schedule::ItemCode)) {
        ++total;
        if (!x.isUnplaced()) ++placed;
    }
    if (placed == 0) {
        ctx.error = u("не расставлено ни одного урока");
        return;
    }
    ctx.note = u("расставлено %1 из %2 (%3%)")
                   .arg(placed)
                   .arg(total)
                   .arg(QString::number(100.0 * placed / total, 'f', 1));
}

} // namespace

/// "Сократить окна" on the school `dict` holds: the teachers' and groups' gaps before and
/// after and the lessons moved, as the phase's own closing line counts them; empty, with
/// `error` set, when the run does not reach its end.
QString compactAllNote(Dictionary& dict, QString& error) {
    struct GapsHost : QuietHost {
        QString done;
        void addLine(const QString& line) override {
            if (line.startsWith(u("СОКРАЩЕНИЕ ОКОН"))) done = line;
            QuietHost::addLine(line);
        }
    } host;
    dict.glo.ProcessingDisabled = 0;
    pivrel::AutoPlacement placement(dict);
    placement.setCompactAll(true);
    const pivrel::PlacementResult result = placement.run(pivrel::TaskKind::All, 0, host);
    if (!result.complete() || host.done.isEmpty()) {
        error = u("сокращение окон не дошло до конца: «%1»").arg(host.last);
        return {};
    }
    static const QRegularExpression figures(
        u("учителей: было (\\d+), стало (\\d+); окна групп: было (\\d+), стало (\\d+); "
          "перемещено уроков: (\\d+)"));
    const QRegularExpressionMatch m = figures.match(host.done);
    return m.hasMatch() ? u("окна учителей %1 → %2, групп %3 → %4, перемещено %5")
                              .arg(m.captured(1), m.captured(2), m.captured(3), m.captured(4),
                                   m.captured(5))
                        : host.done;
}

void placeSample(RunContext& ctx) {
    placeAll(ctx, pivrel::EnginePath::Fast);
}

namespace {

void placeFast(RunContext& ctx) {
    placeAll(ctx, pivrel::EnginePath::Fast);
}

/// The rules read straight from the data files: slow by design, measured on the small school.
void placeReference(RunContext& ctx) {
    placeAll(ctx, pivrel::EnginePath::Reference);
}

bool smallOnly(const sample::SampleOptions& o) {
    return o.size == sample::SchoolSize::Small;
}

/// The three phases and the repair phase after them.
void placeAndRepair(RunContext& ctx) {
    placeAll(ctx, pivrel::EnginePath::Fast, true);
}

/// The check of the data before a placement, from opening the files to its findings.
void checkData(RunContext& ctx) {
    pivrel::PlacementCheckResult r;
    ctx.start();
    {
        Dictionary dict(ctx.dir);
        if (!openSample(dict, ctx)) return;
        r = pivrel::CheckPlacementData(dict);
        dict.store().closeAll();
    }
    ctx.stop();
    if (!r.ok) {
        ctx.error = u("данные не прочитаны");
        return;
    }
    ctx.note = u("уроков %1, невозможно %2, тесно %3")
                   .arg(r.lessons)
                   .arg(r.impossible())
                   .arg(int(r.findings.size()) - r.impossible());
}

/// What would let each lesson the automatic placement left in, over a whole school built
/// around a complete timetable (at a full week many are left, with no cell of their own):
/// every change is proved on the run's model.
void suggestChanges(RunContext& ctx) {
    std::vector<pivrel::SuggestedLesson> v;
    ctx.start();
    {
        Dictionary dict(ctx.dir);
        if (!openSample(dict, ctx)) return;
        v = pivrel::SuggestForUnplaced(dict);
        dict.store().closeAll();
    }
    ctx.stop();
    int n = 0, moves = 0;
    for (const pivrel::SuggestedLesson& l : v)
        for (const pivrel::PlacementSuggestion& s : l.suggestions) {
            ++n;
            moves += s.kind == pivrel::PlacementSuggestion::Kind::Move;
        }
    ctx.note = u("видов с предложениями %1, предложений %2, из них перестановок %3")
                   .arg(v.size())
                   .arg(n)
                   .arg(moves);
}

/// "Сократить окна" on the placed sample: the note gives the teachers' and groups' gaps before
/// and after, as the phase's own closing line counts them. With `pairs`, the double lessons
/// are first put side by side (untimed), as an officer places them.
void compactGaps(RunContext& ctx, bool pairs) {
    AnswerYes yes;
    int joined = 0;
    if (pairs) {
        Dictionary dict(ctx.dir);
        dict.setUserInterface(yes);
        if (!openSample(dict, ctx)) return;
        if ((joined = joinPairs(dict)) < 0) {
            ctx.error = u("сдвоенные уроки не поставлены рядом");
            return;
        }
    }
    ctx.start();
    {
        Dictionary dict(ctx.dir);
        dict.setUserInterface(yes);
        if (!openSample(dict, ctx)) return;
        ctx.note = compactAllNote(dict, ctx.error);
        dict.store().closeAll();
    }
    ctx.stop();
    if (pairs && ctx.error.isEmpty()) ctx.note += u(", пар рядом %1").arg(joined);
}

void compactPlaced(RunContext& ctx) {
    compactGaps(ctx, false);
}

void compactPairs(RunContext& ctx) {
    compactGaps(ctx, true);
}

bool extraLargeOnly(const sample::SampleOptions& o) {
    return o.size == sample::SchoolSize::ExtraLarge;
}

/// The variants of one selected lesson as the timetable windows ask for them. The lesson is a
/// linked one from the middle of the list: every lesson of its link is checked in every cell.
void lessonVariants(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    if (!openSample(dict, ctx)) return;
    Schedule lesson;
    {
        FileUse use(dict.store(), FileId::Schedule);
        const auto all = dict.access<Schedule>().all(Schedule::ItemCode);
        std::vector<Schedule> linked;
        for (const Schedule& x : all)
            if (x.LinkCode > 0) linked.push_back(x);
        const auto& from = linked.empty() ? all : linked;
        if (from.empty()) {
            ctx.error = u("в примере нет уроков");
            return;
        }
        lesson = from[from.size() / 2];
    }
    dict.glo.ShowLessonRestrictions = 1;
    dict.glo.GoToSelectedObject = 0;
    // The windows that ask keep the data files open: their first opening (with its checks)
    // is not part of a selection.
    std::vector<std::unique_ptr<FileUse>> open;
    for (FileId id : pivrel::Engine::files())
        open.push_back(std::make_unique<FileUse>(dict.store(), id));
    ctx.start();
    pivrel::ProcessNewLessonSelection(dict, 0, lesson);
    ctx.stop();
    if (dict.glo.VariantQueue.items.empty()) {
        ctx.error = u("у урока нет ни одного варианта");
        return;
    }
    ctx.note = u("вариантов: %1").arg(dict.glo.VariantQueue.items.size());
}

/// The grid of the teacher with the most placed lessons, every week shown. Opening it is
/// timed with its data; a caller may want the teacher and one of its lessons.
struct GridSetUp {
    Short teacher = 0;
    Schedule lesson;
};

GridSetUp busiestTeacher(Dictionary& dict, RunContext& ctx) {
    GridSetUp out;
    FileUse use(dict.store(), FileId::Schedule);
    std::map<Short, int> placed;
    std::map<Short, Schedule> some;
    for (const Schedule& x : dict.access<Schedule>().all(Schedule::TeacherKey))
        if (!x.isUnplaced() && x.TeacherCode != 0) {
            ++placed[x.TeacherCode];
            if (x.LinkCode == 0) some[x.TeacherCode] = x;
        }
    int best = -1;
    for (const auto& [teacher, n] : placed)
        if (n > best && some.count(teacher)) {
            best = n;
            out.teacher = teacher;
        }
    if (best < 0)
        ctx.error = u("в примере нет расставленных уроков");
    else
        out.lesson = some[out.teacher];
    return out;
}

/// The place of a lesson in a grid that shows every week.
pivrel::GridCell cellOf(pivrel::TimetableGrid& grid, short week, short day,
                        const QString& lessonNo) {
    pivrel::GridCell c{week - 1, 0, 0};
    for (size_t i = 0; i < grid.days().size(); ++i)
        if (grid.days()[i].DaySeqNumber == day) c.day = static_cast<int>(i);
    for (size_t i = 0; i < grid.bells().size(); ++i)
        if (grid.bells()[i].LessonNo == lessonNo) c.bell = static_cast<int>(i);
    return c;
}

void gridOpen(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    if (!openSample(dict, ctx)) return;
    dict.glo.AllWeeksShow = 1;
    ctx.start();
    // The window opens on the first teacher, with that teacher's lessons, and is painted.
    pivrel::PivrelLessons w(dict, QString());
    w.show();
    QCoreApplication::processEvents();
    ctx.stop();
    ctx.note = u("ячеек: %1").arg(w.grid().cells().size());
}

void gridRefresh(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    if (!openSample(dict, ctx)) return;
    dict.glo.AllWeeksShow = 1;
    const GridSetUp set = busiestTeacher(dict, ctx);
    if (!ctx.error.isEmpty()) return;
    pivrel::PivrelLessons w(dict, QString());
    w.showObject(ObjectType::Teacher, set.teacher);
    w.show();
    QCoreApplication::processEvents();
    ctx.start();
    w.refresh();
    w.repaint(); // every cell drawn again
    ctx.stop();
}

void moveTargets(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    if (!openSample(dict, ctx)) return;
    dict.glo.AllWeeksShow = 1;
    const GridSetUp set = busiestTeacher(dict, ctx);
    if (!ctx.error.isEmpty()) return;
    pivrel::PivrelLessons w(dict, QString());
    w.showObject(ObjectType::Teacher, set.teacher);
    const pivrel::GridCell cell =
        cellOf(w.grid(), set.lesson.Week, set.lesson.DaySeqNumber, set.lesson.LessonNo);
    w.show();
    QCoreApplication::processEvents();
    ctx.start();
    w.cellClicked(cell, true); // the variants, then every cell recoloured
    w.repaint();
    ctx.stop();
    ctx.note = u("вариантов: %1").arg(dict.glo.VariantQueue.items.size());
    if (dict.glo.VariantQueue.items.empty()) ctx.error = u("у урока нет ни одного варианта");
}

/// A lesson dragged in its teacher's grid to a free cell, with its group's and room's grids
/// open: the placement, its write and the refresh of all three grids.
void gridMove(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    if (!openSample(dict, ctx)) return;
    dict.glo.AllWeeksShow = 1;
    const GridSetUp set = busiestTeacher(dict, ctx);
    if (!ctx.error.isEmpty()) return;
    std::vector<std::unique_ptr<pivrel::PivrelLessons>> grids;
    for (int i = 0; i < 3; ++i)
        grids.push_back(std::make_unique<pivrel::PivrelLessons>(dict, QString()));
    grids[0]->showObject(ObjectType::Teacher, set.teacher);
    grids[1]->showObject(ObjectType::Group, set.lesson.GroupCode);
    grids[2]->showObject(ObjectType::Room, set.lesson.RoomCode);
    for (auto& g : grids)
        g->show();
    QCoreApplication::processEvents();
    pivrel::TimetableGrid& grid = grids[0]->grid();
    pivrel::LessonVariants(dict, set.lesson);
    const VariantQueueEntry* target = nullptr;
    for (const VariantQueueEntry& v : dict.glo.VariantQueue.items)
        if (v.MainEstimate == 0 && v.AdditionalEstimate == 0) {
            target = &v;
            break;
        }
    if (!target) {
        ctx.error = u("уроку некуда подвинуться");
        return;
    }
    const pivrel::GridCell from =
        cellOf(grid, set.lesson.Week, set.lesson.DaySeqNumber, set.lesson.LessonNo);
    const pivrel::GridCell to = cellOf(grid, target->Week, target->DaySeqNumber, target->LessonNo);
    QAbstractItemModel* source = grids[0]->blockViews()[static_cast<size_t>(from.block)]->model();
    QAbstractItemModel* dest = grids[0]->blockViews()[static_cast<size_t>(to.block)]->model();
    ctx.start();
    std::unique_ptr<QMimeData> data(source->mimeData({source->index(from.bell, from.day)}));
    dest->dropMimeData(data.get(), Qt::CopyAction, -1, -1, dest->index(to.bell, to.day));
    QCoreApplication::processEvents(); // the drop runs once the drag has ended
    grids[1]->refresh();               // what the frame's relay of 1024 does for the other grids
    grids[2]->refresh();
    for (auto& g : grids)
        g->repaint();
    ctx.stop();
    FileUse use(dict.store(), FileId::Schedule);
    const Schedule now = dict.access<Schedule>().byRowId(set.lesson.rowId);
    if (now.DaySeqNumber != target->DaySeqNumber || now.LessonNo != target->LessonNo)
        ctx.error = u("урок не передвинут");
}

/// Both overviews of the busiest teacher's groups opened and painted; the note gives their
/// refresh after a placement elsewhere.
void overviewOpen(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    if (!openSample(dict, ctx)) return;
    const GridSetUp set = busiestTeacher(dict, ctx);
    if (!ctx.error.isEmpty()) return;
    ctx.start();
    pivrel::ColorOverview colour(dict, QString());
    colour.showObject(ObjectType::Teacher, set.teacher);
    colour.show();
    pivrel::Overview text(dict, QString());
    text.showObject(ObjectType::Teacher, set.teacher);
    text.show();
    QCoreApplication::processEvents();
    ctx.stop();
    QElapsedTimer refresh;
    refresh.start();
    colour.refresh();
    text.refresh();
    colour.repaint();
    text.repaint();
    ctx.note = u("строк: %1, обновление обоих: %2 мс")
                   .arg(colour.rows().rows().size())
                   .arg(QString::number(refresh.nsecsElapsed() / 1e6, 'f', 1));
}

/// The analysis of the placed sample: the timetable read with its names and every finding
/// made; the note gives the summary's figures.
void analyseTimetable(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    if (!openSample(dict, ctx)) return;
    trusko::TimetableQuality q;
    ctx.start();
    const bool ok = trusko::AnalyseTimetable(dict, &q);
    ctx.stop();
    if (!ok) {
        ctx.error = u("расписание не прочитано");
        return;
    }
    const trusko::TimetableQuality::Summary s = q.summary();
    ctx.note = u("окна учителей %1 ч., групп %2 ч., неравн. %3, повторов %4, сдвоенных %5")
                   .arg(s.teacherWindows)
                   .arg(s.groupWindows)
                   .arg(s.unevenGroups)
                   .arg(s.repeats)
                   .arg(s.doubles);
}

/// The re-run with minimal changes on a planted school placed whole: for each of five seeds a
/// random teacher-day (of a teacher with lessons that day) is forbidden in a copy, and the
/// re-run puts the timetable right; the five re-runs are timed together. The note compares the
/// lessons moved with the lessons of the forbidden teacher-days (the goal: at most twice as many).
void minimalRerun(RunContext& ctx) {
    const QString base = ctx.dir + QStringLiteral("/base");
    {
        QDir().mkpath(base);
        Dictionary dict(base);
        sample::SampleOptions o = ctx.options;
        o.placePlanted = true;
        QString error;
        if (!sample::GenerateSampleSchool(dict, o, nullptr, &error)) {
            ctx.error = error;
            return;
        }
    }
    constexpr int Seeds = 5;
    std::vector<QString> dirs;
    int affected = 0;
    for (int seed = 1; seed <= Seeds; ++seed) {
        const QString dir = ctx.dir + QStringLiteral("/seed%1").arg(seed);
        QDir().mkpath(dir);
        for (const QString& f : QDir(base).entryList(QDir::Files))
            QFile::copy(QDir(base).filePath(f), QDir(dir).filePath(f));
        Dictionary dict(dir);
        if (!openSample(dict, ctx)) return;
        std::map<std::pair<Short, Short>, int> lessons; // (teacher, day) → lessons placed
        std::vector<QString> bells;
        {
            FileUse sch(dict.store(), FileId::Schedule), b(dict.store(), FileId::LessonBell);
            for (const Schedule& s : dict.access<Schedule>().all(Schedule::ItemCode))
                if (!s.isUnplaced() && s.TeacherCode != 0)
                    ++lessons[{s.TeacherCode, s.DaySeqNumber}];
            for (const LessonBell& l : dict.access<LessonBell>().all(LessonBell::NumberKey))
                bells.push_back(l.LessonNo);
        }
        if (lessons.empty()) {
            ctx.error = u("в школе нет расставленных уроков");
            return;
        }
        std::mt19937 rng(static_cast<unsigned>(seed));
        auto pick = lessons.begin();
        std::advance(pick, static_cast<long>(rng() % lessons.size()));
        affected += pick->second;
        Transaction tx(dict.store(), {FileId::Restriction});
        auto rst = tx.access<Restriction>();
        for (const QString& bell : bells) {
            Restriction r;
            r.ObjectType = ObjectType::Teacher;
            r.ObjectCode = pick->first.first;
            r.Week = 1;
            r.DaySeqNumber = pick->first.second;
            r.LessonNo = bell;
            bool found = false;
            Restriction old = rst.fetch(Restriction::ObjectIdKey, r, &found);
            old.Restriction = RestrictionLevel::Forbidden;
            r.Restriction = RestrictionLevel::Forbidden;
            const Outcome o = found ? rst.update(old) : rst.insert(r);
            if (!o.ok()) {
                ctx.error = describe(o);
                return;
            }
        }
        if (const Outcome o = tx.commit(); !o.ok()) {
            ctx.error = describe(o);
            return;
        }
        dirs.push_back(dir);
    }
    int moved = 0, left = 0;
    ctx.start();
    for (const QString& dir : dirs) {
        QuietHost host;
        AnswerYes yes;
        Dictionary dict(dir);
        dict.setUserInterface(yes);
        if (!openSample(dict, ctx)) return;
        dict.glo.ProcessingDisabled = 0;
        pivrel::AutoPlacement placement(dict);
        placement.setMinimal(true);
        const pivrel::PlacementResult r = placement.run(pivrel::TaskKind::All, 0, host);
        dict.store().closeAll();
        if (!r.complete()) {
            ctx.error = u("перерасстановка не дошла до конца: «%1»").arg(host.last);
            return;
        }
        moved += static_cast<int>(placement.changes().moved.size());
        left += r.left;
    }
    ctx.stop();
    ctx.note = u("перемещено %1 при %2 уроках запрещенных дней учителей (%3×), %4 мс на прогон, "
                 "не расставлено %5")
                   .arg(moved)
                   .arg(affected)
                   .arg(QString::number(affected ? double(moved) / affected : 0.0, 'f', 2))
                   .arg(QString::number(ctx.elapsedMs() / Seeds, 'f', 0))
                   .arg(left);
}

} // namespace

/// A snapshot of every data file taken into an ARCHIVE record and stored.
void archiveSave(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    if (!openSample(dict, ctx)) return;
    Relations rel(dict);
    ctx.start();
    Archive rec;
    rec.BriefDescription = u("bench");
    QString stoppedAt;
    const bool ok = hestor::BackupSchedule(dict, rec, &stoppedAt) && rel.open(FileId::Archive) &&
                    rel.insert(rec).ok();
    rel.close(FileId::Archive);
    ctx.stop();
    if (!ok) ctx.error = u("снимок не записан: ") + stoppedAt;
}

/// A stored snapshot put back over the data files (checked, then all files replaced).
void archiveRestore(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    if (!openSample(dict, ctx)) return;
    Archive rec;
    if (!hestor::BackupSchedule(dict, rec)) {
        ctx.error = u("снимок не снят");
        return;
    }
    /// The question whether to save first is answered "Нет".
    struct NoUi final : UserInterfacePort {
        void tell(const QString&, const QString&) override {}
        Button ask(const QString&, const QString&, unsigned, Button) override { return No; }
        bool stopPrompt(const QString&) override { return false; }
        void setBusy(bool) override {}
    } ui;
    dict.setUserInterface(ui);
    ctx.start();
    const bool ok = hestor::RestoreSchedule(dict, rec);
    ctx.stop();
    if (!ok) ctx.error = u("снимок не восстановлен");
}

void exportSchedule(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    if (!openSample(dict, ctx)) return;
    QString error;
    ctx.start();
    const bool ok = hestor::ExportSchedule(dict, &error);
    ctx.stop();
    if (!ok) ctx.error = error;
}

/// All four formats of the placed sample over a school year (September to May, with the
/// usual holidays), into a folder beside the school.
void publishSchedule(RunContext& ctx) {
    Dictionary dict(ctx.dir);
    if (!openSample(dict, ctx)) return;
    SchoolCalendar year;
    year.first = QDate(2026, 9, 1);
    year.last = QDate(2027, 5, 31);
    year.holidays = {{QDate(2026, 10, 26), QDate(2026, 11, 4)},
                     {QDate(2026, 12, 29), QDate(2027, 1, 11)},
                     {QDate(2027, 3, 22), QDate(2027, 3, 29)}};
    year.save(dict.settings());
    hestor::PublishOptions options;
    options.outDir = ctx.dir + QStringLiteral("/published");
    SilentProgress progress;
    ctx.start();
    const hestor::PublishResult r = hestor::PublishSchedule(dict, options, progress);
    ctx.stop();
    if (!r.ok) ctx.error = r.error;
}

const std::vector<Operation>& operations() {
    static const std::vector<Operation> ops{
        {"generate", "Генерация примера школы", false, &generateSample},
        {"lessons", "Генерация уроков всех пунктов плана", true, &generateLessons},
        {"delete-group", "Каскадное удаление группы", true, &cascadeDeleteGroup},
        {"roomlists", "UpdateAllTeacherRoomLists", true, &updateAllRoomLists},
        {"place", "Автоматическая расстановка", true, &placeFast},
        {"place-ref", "Авторасстановка, эталонный путь", true, &placeReference, &smallOnly},
        {"place-xl", "Авторасстановка, школа xl", true, &placeFast, &extraLargeOnly},
        {"planted-greedy", "Авторасстановка, школа с решением", true, &placeFast, nullptr, false,
         true},
        {"planted-repair", "Авторасстановка с доводкой, школа с решением", true, &placeAndRepair,
         nullptr, false, true},
        {"minimal", "Перерасстановка с минимальными изменениями (5 дней учителей)", false,
         &minimalRerun, nullptr, false, true},
        {"compact", "Сокращение окон (вся школа)", true, &compactPlaced, nullptr, true},
        {"compact-pairs", "Сокращение окон, сдвоенные уроки рядом", true, &compactPairs, nullptr,
         true},
        {"check", "Проверка данных для расстановки", true, &checkData},
        {"suggest", "Что изменить, чтобы урок встал (школа с решением)", true, &suggestChanges,
         nullptr, true, true},
        {"variants", "ProcessNewLessonSelection (1 урок)", true, &lessonVariants},
        {"grid-open", "Открытие сетки (все недели)", true, &gridOpen, nullptr, true},
        {"grid-refresh", "Обновление всех ячеек сетки", true, &gridRefresh, nullptr, true},
        {"move-targets", "«Куда можно подвинуть?»", true, &moveTargets, nullptr, true},
        {"grid-move", "Перенос урока, три сетки", true, &gridMove, nullptr, true},
        {"overview-open", "Открытие обоих обзоров", true, &overviewOpen, nullptr, true},
        {"analyze", "Анализ расписания (окна, нагрузка, повторы)", true, &analyseTimetable,
         nullptr, true},
        {"archive-save", "Запись снимка в архив", true, &archiveSave},
        {"archive-restore", "Восстановление снимка из архива", true, &archiveRestore},
        {"export", "Экспорт расписания", true, &exportSchedule},
        {"publish", "Публикация: HTML, iCalendar, xlsx, CSV за учебный год", true, &publishSchedule,
         nullptr, true},
    };
    return ops;
}

} // namespace bench
