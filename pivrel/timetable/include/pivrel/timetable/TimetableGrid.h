#pragma once

// What a timetable grid shows and what its cell actions do, without widgets: the PivrelLessons
// window draws this and forwards the user's actions here, and tests drive it headless.

#include "pivrel/engine/Engine.h"

#include "tamsel/Dictionary.h"

#include <QHash>
#include <QStringList>
#include <optional>
#include <vector>

namespace pivrel {

/// A cell of a grid by its place: the week block (0 unless every week is shown), the day
/// column and the lesson row (indexes into days() and bells()).
struct GridCell {
    int block = 0;
    int day = 0;
    int bell = 0;
    bool operator==(const GridCell&) const = default;
};

/// The timetable of one teacher, group or room as a grid of cells, one column per teaching day,
/// one row per lesson bell, one block of rows per week when every week is shown.
///
/// Every change of a lesson's place goes through the engine's SetLessonTo under the folder's
/// writing lock; after a change the grid posts the refresh event 1024 to the frame.
/// Asks before a lesson pinned to its cell is moved or taken off by hand; true for a lesson
/// that is not pinned or when the officer answers "Да".
bool ConfirmPinnedChange(tamsel::Dictionary& dict, const tamsel::Schedule& lesson, bool removal);

class TimetableGrid {
public:
    /// Leads the first line of a pinned lesson in a cell.
    static constexpr QChar PinMark = QChar(0x25C6);

    /// `small`: the compact cell size and texts.
    TimetableGrid(tamsel::Dictionary& dict, bool small);
    tamsel::Dictionary& dict() const { return dict_; }

    // --- structure, read once: changes to days or bells need a new grid
    /// Copies GLO:AllWeeksShow into GLO:ShowAllWeeks, reads DAYS and LESSONBELL and generates
    /// the grid's controls.
    void build();
    bool small() const { return small_; }
    const std::vector<tamsel::Days>& days() const { return days_; }
    const std::vector<tamsel::LessonBell>& bells() const { return bells_; }
    /// Week blocks shown: every week of the cycle, or one.
    int blocks() const { return blocks_; }
    bool allWeeksShown() const { return blocks_ > 1 || allWeeks_; }
    /// The "Неделя:" spin box is shown only for one week of a cycle of several.
    bool weekSpinVisible() const;
    /// Day headers, row headers and cells as generated (kinds 1, 2 and 3).
    const std::vector<tamsel::ControlQueEntry>& controls() const { return controls_; }
    /// Cell width and height in pixels from the settings.
    int cellWidth() const;
    int cellHeight() const;

    /// "2-я неделя"; blocks from the second week on carry it.
    static QString weekCaption(int week);
    QString dayHeader(int day) const;
    /// "  1 : 8:00 - 8:45"
    QString rowHeader(int bell) const;

    // --- the shown object
    /// Type 4 teacher, 1 group, 2 room; code 0 shows nothing.
    void setObject(tamsel::Short type, tamsel::Long code);
    tamsel::Short objectType() const { return type_; }
    tamsel::Long objectCode() const { return code_; }
    /// "Расписание Иванов И.И.", "Расписание 5-А", "Загрузка кабинета  101".
    QString title() const;
    /// The week shown when one week is shown (1 to GLO:WeeksInCycle).
    void setWeek(short week);
    short week() const { return week_; }

    /// The time a cell stands for.
    Engine::Cell timeOf(const GridCell& cell) const;
    /// Every cell, in control order (block, row, day).
    std::vector<GridCell> cells() const;

    // --- contents, rebuilt by refresh()
    /// Reads the shown object's lessons and restrictions and recomputes every cell.
    void refresh();
    /// The lines of a cell's list.
    QStringList lines(const GridCell& cell) const;
    /// The cell's background as a Windows colour number (blue, green, red from high to low).
    tamsel::Long colour(const GridCell& cell) const;
    /// What a cell's colour says, in words (for screen readers and tooltips).
    QString colourMeaning(const GridCell& cell) const;
    /// True while cells are coloured by a lesson's variants rather than by restrictions.
    bool colouredByVariants() const;
    /// A grid of restrictions only (the restrictions editor): no lessons are read and the
    /// colours are always the object's restrictions. Any object type, subjects (3) included.
    void setRestrictionsOnly(bool on) { restrictionsOnly_ = on; }

    // --- actions
    /// The cell where the shown object has the lesson (after an undo, the lesson concerned);
    /// none when it is not placed there or not in the week shown.
    std::optional<GridCell> cellOf(tamsel::RowId lesson) const;
    /// The shown object's lessons in a cell, in key order.
    std::vector<tamsel::Schedule> lessonsAt(const GridCell& cell) const;
    /// Sets a restriction mark (0, 1, 2) on cells: updates the object's record or adds one.
    bool mark(const std::vector<GridCell>& cells, tamsel::Short level);
    /// A double click in the restrictions editor: the cell's level steps 0 → 1 → 2 → 0 (a cell
    /// without a record becomes 1). Returns the new level.
    tamsel::Short cycleMark(const GridCell& cell);
    /// The object's stored level for a cell (0 when there is no record).
    tamsel::Short markAt(const GridCell& cell) const;
    /// The cells of a day column or a lesson row of a block.
    std::vector<GridCell> dayCells(int block, int day) const;
    std::vector<GridCell> rowCells(int block, int bell) const;
    /// True when a lesson of the object in the cell is pinned.
    bool pinnedAt(const GridCell& cell) const;
    /// "Закрепить урок" / "Открепить": pins (or frees) the object's placed lessons in the cells,
    /// with their link partners in the same cell; all in one transaction. Returns how many
    /// lessons changed.
    int pin(const std::vector<GridCell>& cells, bool on);
    /// "Закрепить всё расписание …": every placed lesson of the shown object, in every week.
    int pinAll(bool on);
    /// "Снять уроки": unplaces every lesson of the object in the cell with its linked lessons.
    /// Returns the number of lessons taken off.
    int removeLessons(const GridCell& cell);
    /// "Куда можно подвинуть?": the variants of the cell's first lesson for every cell of the
    /// cycle. False (nothing computed) when the cell has no lesson.
    bool showMoveTargets(const GridCell& cell);
    /// A single click on a cell ends the move-target colouring.
    void clearMoveTargets();
    /// A drag from the cell starts: its first lesson becomes ScheduleRecord; false when empty.
    bool startDrag(const GridCell& cell);

    enum class Drop { Unchanged, Placed, Refused, Declined };
    /// A lesson of another cell ("MoveLessons") dropped here.
    Drop dropMoved(const GridCell& cell);
    /// A lesson of a list ("SetToSchedule") dropped here: asks before moving a placed lesson.
    Drop dropFromList(const GridCell& cell, const tamsel::Schedule& lesson);
    /// Places ScheduleRecord's lessons in the cell (the room rule of the view).
    Drop place(const GridCell& cell);

    /// The lines of the information popup: week, day, lesson and time, then the cell's lines
    /// (the separator is the window's).
    QStringList infoHeader(const GridCell& cell) const;
    /// Why ScheduleRecord's lessons cannot go into the cell (empty when they can, or when no
    /// lesson is in hand).
    QStringList refusalsAt(const GridCell& cell);

private:
    int indexOf(const GridCell& cell) const;
    tamsel::Schedule::Key lessonKey() const;
    QString entryLines(const tamsel::Schedule& s, const QStringList& subjectsBefore) const;
    QString scienceName(tamsel::Short code) const;
    QString teacherName(tamsel::Short code) const;
    QString roomNo(tamsel::Long code) const;
    QString groupId(tamsel::Short code) const;
    long setLessonTo(const GridCell& cell);
    /// `whole`: the object's whole timetable (names the step to undo).
    int pinLessons(const std::vector<tamsel::Schedule>& lessons, bool on, bool whole);

    tamsel::Dictionary& dict_;
    bool small_;
    bool allWeeks_ = false;
    int blocks_ = 1;
    std::vector<tamsel::Days> days_;
    std::vector<tamsel::LessonBell> bells_;
    std::vector<tamsel::ControlQueEntry> controls_;
    tamsel::Short type_ = 0;
    tamsel::Long code_ = 0;
    short week_ = 1;

    std::vector<QStringList> lines_;
    std::vector<tamsel::Long> colours_;
    /// What each colour means: 0 to 2 a restriction level, 3 to 6 a variant (none, day
    /// overloaded, penalised, fits).
    std::vector<unsigned char> meanings_;
    bool restrictionsOnly_ = false;
    // Names looked up during one refresh.
    mutable QHash<int, QString> sciences_, teachers_, groups_;
    mutable QHash<tamsel::Long, QString> rooms_;
};

} // namespace pivrel
