#pragma once

// A realistic Russian school for trying the program, for tests and for benchmarks. The same
// size, cycle length and seed always give the same school. Everything is written through
// tamsel as the program writes it: groups and plan items through the relation managers, so
// that lesson generation creates the schedule entries; the teachers' load, links and
// restrictions in batch transactions; the room lists by the rule of the teachers' window.

#include <QString>
#include <optional>

namespace tamsel {
class Dictionary;
}

namespace sample {

enum class SchoolSize { Small, Medium, Large, ExtraLarge };

/// "small", "medium", "large", "xl".
QString sizeName(SchoolSize size);
std::optional<SchoolSize> sizeFromName(const QString& name);

struct SampleOptions {
    SchoolSize size = SchoolSize::Medium;
    int weeks = 1; ///< weeks in the timetable cycle, 1 to 20
    quint32 seed = 1;
    /// 0: an ordinary sample. Otherwise the school is built around a complete timetable that
    /// fills this share (0.1 to 1) of every group's week: plan, load, rooms and restrictions are
    /// derived from it, so that every lesson can be placed; the lessons are left unplaced.
    /// One-week cycles only.
    double planted = 0;
    /// With `planted`: leave the planted timetable in place (tests check it is complete).
    bool placePlanted = false;
};

/// What was written.
struct SampleSummary {
    int days = 0;
    int lessonsPerDay = 0;
    int groups = 0;
    int teachers = 0;
    int rooms = 0;
    int subjects = 0;
    int planItems = 0;
    int entries = 0;    ///< schedule entries (one per lesson hour of a group or subgroup)
    int groupHours = 0; ///< lesson hours of all groups in a week (parallel subgroups once)
    int links = 0;
    int lectures = 0;
    int restrictions = 0;
    int roomListEntries = 0;
};

/// The largest cycle the program supports.
constexpr int MaxWeeks = 20;

/// Writes a sample school into the working folder of `dict`, which should hold no data yet,
/// and saves its settings (weeks in the cycle, the common room type) to its Korvel.ini.
/// Returns false with a Russian explanation in `error` when something could not be written.
bool GenerateSampleSchool(tamsel::Dictionary& dict, const SampleOptions& options,
                          SampleSummary* summary = nullptr, QString* error = nullptr);

} // namespace sample
