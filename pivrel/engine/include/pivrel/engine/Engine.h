#pragma once

#include "pivrel/engine/PlacementLog.h"
#include "pivrel/engine/RunHost.h"

#include "tamsel/Dictionary.h"

#include <memory>
#include <vector>

namespace pivrel {

/// Refusal codes of a cell (negative results of SellIsAvaliable and SetLessonTo).
namespace Refusal {
constexpr long SubjectRestricted = -10;
constexpr long GroupRestricted = -11;
constexpr long TeacherRestricted = -12;
constexpr long RoomRestricted = -13;
constexpr long GroupBusy = -14;
constexpr long WholeGroupBusy = -15;
constexpr long TeacherBusy = -16;
constexpr long RoomOccupied = -17;
constexpr long SameGroupInQueue = -18;
constexpr long SameTeacherInQueue = -19;
constexpr long SameRoomInQueue = -20;
/// The timetable could not be written (the data layer has shown why); nothing was changed.
constexpr long WriteFailed = -1;
} // namespace Refusal

/// Kinds of an automatic placement: the object types whose unplaced lessons are placed.
namespace TaskKind {
constexpr short All = 0;
constexpr short Group = 1;
constexpr short Science = 3;
constexpr short Teacher = 4;
} // namespace TaskKind

/// Where the lessons of a task's scope start in SCHEDULE: the key, the record to read from
/// (the teacher's, group's or subject's code set) and how many leading fields must match
/// (`allLeading` when the whole school is the scope, on the week, day and lesson key).
tamsel::Schedule::Key TaskScopeKey(short kind, short code, tamsel::Schedule& from, int& leading,
                                   int allLeading);

/// The placement engine as the rules read: every check reads the data files through their
/// keys. Interactive placements (the grid, the unplaced lessons) use it directly; the
/// automatic placement uses it as its reference path and whenever diagnostics are on.
/// Works on the dictionary's ScheduleRecord and engine queues.
class Engine {
public:
    explicit Engine(tamsel::Dictionary& dict, EngineHooks hooks = {});
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    tamsel::Dictionary& dict() { return dict_; }
    /// The data files the engine reads and writes; held open while an Engine lives.
    static const std::vector<tamsel::FileId>& files();

    // --- linked lessons and cell availability
    void BuildLinkLesQue();
    long SetLessonTo(short Week, short DaySeqNumber, const QString& LessonNo, long RoomCode,
                     bool AutoRoom, short AutoMode);
    long SellIsAvaliable(short AutoMode);
    /// The reasons the interactive SetLessonTo would give for placing ScheduleRecord's lessons
    /// (with their linked lessons) at a cell, collected instead of shown; nothing is written.
    /// Empty when the cell takes them.
    QStringList refusalsAt(short Week, short DaySeqNumber, const QString& LessonNo,
                           long RoomCode, bool AutoRoom);
    /// The one judgement behind a grid's colours, its reasons and its drops: ScheduleRecord's
    /// lessons (with their linked lessons) at a cell, with a fixed room or, with `AutoRoom`,
    /// each teacher's first free listed room; a lesson without one refuses the cell. Negative:
    /// the first refusal; otherwise the sum of undesirable levels, and `dayLoad` receives
    /// EstimateDayLoad. Nothing is shown or written.
    long judgeAt(short Week, short DaySeqNumber, const QString& LessonNo, long RoomCode,
                 bool AutoRoom, short* dayLoad = nullptr);
    long SetLessonRoom(short Week, short DaySeqNumber, short TeacherCode, short ScienceCode,
                       const QString& LessonNo);
    int RoomIsAvaliable(long RoomCode, short Week, short DaySeqNumber, const QString& LessonNo);

    // --- variant estimation
    short EstimateVariant(short Week, short DaySeqNumber, const QString& LessonNo, short mode);
    short EstimateDayLoad(short Week, short DaySeqNumber, const QString& LessonNo = {});
    /// Fills VariantQueue for every task; returns the number of tasks that cannot be placed
    /// completely (the question is asked inside).
    int EvaluateSituation(RunHost& host);
    /// True when EvaluateSituation asked about unplaceable lessons and was not told "Да".
    bool declined() const { return declined_; }
    void ReEvaluateSituation();
    /// The variants of one selected lesson (`selected`, the caller's SCHEDULE buffer).
    void ProcessNewLessonSelection(short GoTo, const tamsel::Schedule& selected);

    // --- automatic placement
    void PrepareTask(short Kind, short Code, RunHost& host);
    void PlacingLessons(RunHost& host);

    /// Cells in enumeration order: weeks, then days (DAYS key order), then lesson numbers.
    struct Cell {
        short week = 0;
        short day = 0;
        QString lessonNo;
    };
    std::vector<Cell> cells();

    /// Completes the links that are partly placed: where some members of a link have a
    /// lesson in a cell and others none, each missing member's first unplaced lesson of the
    /// link goes into that cell when the cell takes it (a lecture into its room). Only lessons
    /// of the task (`Kind`, `Code` as for PrepareTask) are placed; each is written at once and
    /// reported on `host`. Returns how many were placed.
    int CompletePartlyPlacedLinks(short Kind, short Code, RunHost& host);

    /// Descriptions used by the progress lines.
    QString taskDescription(const tamsel::TaskQueueEntry& t);

    /// The placement log of the run (opened by PlacingLessons).
    PlacementLog& log() { return log_; }

private:
    struct Impl;
    /// Checks every lesson of LinkedLessonsQueue at the cell (filling their targets); the
    /// first refusal code, or the sum of the estimates when all pass.
    /// `needRoom`: with AutoRoom, a lesson for which no listed room is free refuses the cell
    /// (the estimation and every judgement a person sees) instead of going into room 0.
    long checkLessons(short Week, short DaySeqNumber, const QString& LessonNo, long RoomCode,
                      bool AutoRoom, short AutoMode, bool stopAtFirstRefusal, bool needRoom);
    QString noListedRoomText(short TeacherCode, short ScienceCode);
    long restrictionLevel(short type, long code, const Cell& c);
    bool isLecture(short linkCode);
    void tellIf(const QString& proc, const QString& caption, const QString& text);
    void displayQueues(const QString& proc, const QString& message);
    bool stopped() const;
    bool selectNextTask(RunHost& host, int* n);
    bool SetTaskLesson(RunHost& host, int count);

    tamsel::Dictionary& dict_;
    EngineHooks hooks_;
    std::unique_ptr<Impl> d_;
    PlacementLog log_;
    Cell placedCell_;
    int progressMax_ = 0;
    bool declined_ = false;
    int written_ = 0; ///< lessons the last SetLessonTo wrote
};

/// Shared helpers: names as the data files store them (padded to their widths) and the
/// sorts of the engine's queues.
namespace names {
QString pad(const QString& s, int width);
QString rtrim(const QString& s);
QString roomNo(tamsel::Dictionary& dict, long roomCode);     // 7
QString teacherName(tamsel::Dictionary& dict, short code);   // 20
QString science(tamsel::Dictionary& dict, short code);       // 20
QString groupId(tamsel::Dictionary& dict, short code);       // 5
QString groupId(const tamsel::Group& g);                     // 5
QString dayName(tamsel::Dictionary& dict, short daySeq);     // 15
QString linkName(tamsel::Dictionary& dict, short linkCode);  // clipped
} // namespace names

namespace queues {
/// Kinds: (LinkCode, ScienceCode, TeacherCode, GroupCode, SubGroupNum, RoomCode).
void sortByKind(tamsel::TaskQueue& q);
/// Choosing the next task: (Freedom, NumberOfSuchLessons descending, LinkCode).
void sortByFreedom(tamsel::TaskQueue& q);
/// Look-ups by link code: (LinkCode, Freedom, NumberOfSuchLessons descending).
void sortByLinkCode(tamsel::TaskQueue& q);
/// NumberOfSuchLessons of every entry = the size of its run of equal kinds.
void CountSuchLessons(tamsel::TaskQueue& q);
/// Variants as inserted and recounted: (LinkCode, Main, Additional, LessonNo, Week, Day).
void sortVariants(tamsel::VariantQueue& q);
/// Variants as chosen: (LinkCode, Main, Additional, LessonNo, Day, Week).
void sortVariantsForChoice(tamsel::VariantQueue& q);
/// Index of the first entry of a task, -1 when none.
int findTask(const tamsel::TaskQueue& q, short linkCode);
} // namespace queues

/// Progress texts of the automatic placement.
namespace texts {
QString lessonsAndVariants(int lessons, int variants);
QString cannotPlaceAll();
QString placedLine(bool linked, int weeksInCycle, short week, const QString& dayName15,
                   const QString& lessonNo);
QString question(int k);
} // namespace texts

} // namespace pivrel
