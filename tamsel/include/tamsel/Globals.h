#pragma once

#include "tamsel/EngineQueues.h"
#include "tamsel/FileId.h"
#include "tamsel/Records.h"

#include <QString>
#include <array>
#include <atomic>
#include <set>
#include <vector>

namespace tamsel {

class IniFile;

/// Windows colour numbers (blue, green, red bytes from high to low).
namespace StandardColor {
constexpr Long NoRestriction = 0xA0FFA0;
constexpr Long WeakRestriction = 0xA0FFFF;
constexpr Long HeavyRestriction = 0x20C0FF;
constexpr Long DontUseRestriction = 0x8080FF;
} // namespace StandardColor

/// One generated cell of a timetable grid.
struct ControlQueEntry {
    Short control = 0;
    Byte regionKind = 0;
    Short week = 0;
    Short day = 0;
    QString lessonNo;
};

/// The settings and shared state every library reads; one object per process (and per test).
struct Globals {
    /// Disk names of the data files (empty = the default name in the working folder).
    std::array<QString, PhysicalFileCount> FN{};
    QString FN_ExportSchedule;
    QString FN_LessonGrid; ///< kept in the settings file; no file uses it
    QString LodraDataDir;
    /// Disk names of the older product's files, set by the import before it reads them.
    std::vector<std::pair<QString, QString>> LodraFileNames;

    Short WeeksInCycle = 1;
    Long CommonTypeRoomCode = 0;
    QString SubGroupSep = QStringLiteral("/");
    QString SubGroupId = QStringLiteral("1,2,...");
    Long NoRestrictionColor = 0;
    Long WeakRestrictionColor = 0;
    Long HeavyRestrictionColor = 0;
    Long DontUseRestrictionColor = 0;
    QString DebugProc;
    Short AllWeeksShow = 0;
    Short ShowAllWeeks = 0;
    Short GoToSelectedObject = 1;
    Short UseTextOverview = 0;
    Short SmallSellWidth = 60;
    Short SmallSellHeight = 20;
    Short LargeSellWidth = 90;
    Short LargeSellHeight = 20;
    QString SchFontTypeface;
    Long SchFontSize = 0;
    Long SchFontColor = 0;
    Long SchFontStyle = 0;
    Long SchFontCharset = 0;
    Short SmallFlag = 0; ///< the program's "Компактный вид"; saved with the rest

    Short ShowLessonRestrictions = 0;
    /// Set by a grid's "Куда можно подвинуть?" (or a lesson dragged): every grid colours its
    /// cells by VariantQueue until a single click on a cell clears it. Not saved.
    Short MoveTargetsShown = 0;
    /// 1 stops a running automatic placement; written by the stop button, polled by the engine.
    std::atomic<Short> ProcessingDisabled{1};
    Short StopButtonAtX = 0;
    Short StopButtonAtY = 0;
    Short FrameThread = 0;
    Long BuildNumber = 0;
    Long BuildDate = 0;
    Long BuildTime = 0;
    QString VersionId;

    /// The lesson being placed, moved, dragged or examined.
    Schedule ScheduleRecord;

    /// Window numbers that want refresh events, ascending.
    std::set<Short> WindowRefreshQueue;
    /// The cells generated in a timetable grid.
    std::vector<ControlQueEntry> ControlQue;
    /// The placement engine's work lists.
    tamsel::LinkedLessonsQueue LinkedLessonsQueue;
    tamsel::TaskQueue TaskQueue;
    tamsel::VariantQueue VariantQueue;

    /// Reads section "Preserved". A missing key keeps the value the variable has; the
    /// restriction colours and the grid cell sizes start at their standard values. A value
    /// outside its range is brought to the nearest bound; the returned lines say which.
    QStringList load(const IniFile& ini);
    /// Writes section "Preserved" and the list of sections.
    void save(IniFile& ini) const;

    /// "Logging" of section "Preserved": nonzero enables the placement log.
    static bool loggingEnabled(const IniFile& ini);
    /// True when `procedure` (capitals, no trailing blanks) occurs in DebugProc (capitals).
    bool debugProcEnabled(const QString& procedure) const;
};

/// The settings key of a data file's disk name, e.g. "FN:Teacher".
QString fileNameKey(FileId id);

/// Position and size of a window, kept in the settings section named after its procedure.
struct WindowPlace {
    int x = 0, y = 0, width = 0, height = 0;
    bool maximize = false;
    bool found = false; ///< false when the settings file had no place for the window
};
WindowPlace loadWindowPlace(const IniFile& ini, const QString& procedure);
void saveWindowPlace(IniFile& ini, const QString& procedure, const WindowPlace& place);

/// The displayed mark of a subgroup: empty for 0, else `prefix` followed by the number or
/// letter in the style that the first character of `subGroupId` selects.
QString FormatSubGroup(Short SubGroupNum, const QString& prefix, const QString& subGroupId);
/// The same with the separator and style of the settings.
QString FormatSubGroup(const Globals& glo, Short SubGroupNum);

} // namespace tamsel
