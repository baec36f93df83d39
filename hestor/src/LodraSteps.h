#pragma once

// The steps of the import, each reading one of the older product's files into the data files
// of a dictionary (the working copy of the import). Private to the import.

#include "tamsel/LegacyFiles.h"
#include "tamsel/Records.h"
#include "tamsel/Table.h"

#include <QStringList>
#include <functional>
#include <map>
#include <set>
#include <vector>

namespace tamsel {
class Dictionary;
class Transaction;
enum class FileId : int;
} // namespace tamsel

namespace hestor {

using LegacyData = std::map<tamsel::LegacyFileId, tamsel::LegacyFile>;

class LodraSteps {
public:
    /// `old` holds every file the stage reads, already checked.
    LodraSteps(tamsel::Dictionary& dict, const LegacyData& old) : d_(dict), old_(old) {}

    /// The steps of a stage in their order; false when a step was cancelled or a write failed.
    bool referenceStage();
    bool plansStage();

    /// What of the old data was not taken, one line per record.
    QStringList notTaken;
    bool cancelled = false;
    /// Writes that failed (each was shown).
    int failures = 0;

private:
    // Stage 1
    bool emptySchool();
    bool ensureDays();
    bool importLessons();
    bool importRoomTypes();
    bool importRooms();
    bool importSpeciality();
    bool importTeacher();
    bool importGroups();
    bool importScience();
    bool updateRoomLists();
    bool importRestrictions(tamsel::LegacyFileId file);
    // Stage 2
    bool importLessonPlan();
    bool importTeacherLoad();
    bool importSchedule();

    /// Runs a step: its progress window with `prompt`, one transaction over `files` (emptying
    /// `emptied` first), `visit` for each record number in `order`. False on cancel or failure.
    bool step(const QString& prompt, std::vector<tamsel::FileId> files,
              std::vector<tamsel::FileId> emptied, const std::vector<int>& order,
              const std::function<void(tamsel::Transaction&, int)>& visit);
    /// The same without a transaction around the records (they are stored through the
    /// relation managers, which begin their own).
    bool stepWithRelations(const QString& prompt, std::vector<tamsel::FileId> emptied,
                           const std::vector<int>& order, const std::function<void(int)>& visit);
    bool empty(const std::vector<tamsel::FileId>& files);
    /// The records of an old file in file order, without repeats (see withoutRepeats).
    std::vector<int> fileOrder(tamsel::LegacyFileId id);
    /// `order` without the records that repeat an earlier record's value of a key the older
    /// product kept unique; each one left out is listed once per file.
    std::vector<int> withoutRepeats(tamsel::LegacyFileId id, std::vector<int> order);

    const tamsel::LegacyFile& old(tamsel::LegacyFileId id) const { return old_.at(id); }
    /// A name from an old record, without blanks around it.
    QString name(tamsel::LegacyFileId id, int record, int field) const;
    void skip(tamsel::LegacyFileId id, int record, const QString& why);
    /// A refused store is a record not taken; any other failure is a failed write.
    void stored(const tamsel::Outcome& o, tamsel::LegacyFileId id, int record, const QString& what);
    void writeFailed(const tamsel::Outcome& o);

    // Look-ups by name in the new data; 0 when nothing is found.
    tamsel::Short roomTypeCode(const QString& name);
    tamsel::Short roomCode(const QString& number);
    tamsel::Short specialityCode(const QString& name);
    tamsel::Short teacherCode(const QString& name);
    tamsel::Short groupCode(const QString& course, const QString& letter);
    tamsel::Short streamCode(const QString& name);
    tamsel::Science science(const QString& name);
    int subGroupsOf(const tamsel::Science& s);
    /// A code looked up for a record, with a line in notTaken when a given name found nothing.
    tamsel::Short lookedUp(tamsel::Short code, const QString& name, tamsel::LegacyFileId id,
                           int record, const QString& what);
    void tellUpdateFailed(const tamsel::Outcome& o, const tamsel::Schedule& e);

    tamsel::Dictionary& d_;
    const LegacyData& old_;
    std::set<tamsel::LegacyFileId> reportedRepeats_;
};

/// An old lesson number as the new files hold it: a number right-aligned in three characters
/// (as the standard bells are), anything else without surrounding blanks.
QString LodraLessonNo(const QString& text);
/// "8:30" or "08.30" as a time value; `ok` false for a text that is not a time of day.
tamsel::Long LodraTime(const QString& text, bool* ok);

} // namespace hestor
