#pragma once

// Support for tests and tools: a dictionary in a fresh temporary working folder whose
// messages are recorded instead of shown.
//
// The school a test needs is asked for in a line each:
//   TestFolder t(2);                                  // a cycle of two weeks
//   t.put(Room{.RoomCode = 1, .RoomNo = "101"});      // one record
//   t.records<Teacher>(300, [](Teacher& r, int i) {}); // a list longer than a page
//   t.ui.otherwise = No;                              // every question answered "Нет"

#include "tamsel/Access.h"
#include "tamsel/Dictionary.h"
#include "tamsel/RecordingPorts.h"
#include "tamsel/Transaction.h"

#include <QTemporaryDir>
#include <functional>
#include <vector>

namespace tamsel {

class TestFolder {
public:
    explicit TestFolder(Short weeksInCycle = 1) : dict_(dir_.path()) {
        dict_.setUserInterface(ui);
        dict_.setProgress(progress);
        dict_.glo.WeeksInCycle = weeksInCycle;
    }
    Dictionary& dict() { return dict_; }
    Store& store() { return dict_.store(); }
    Globals& glo() { return dict_.glo; }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

    /// Stores one record written as a literal, `t.put(Days{.DaySeqNumber = 1})`, and returns it
    /// as stored: with its row id, or 0 there when the file refused it (and said why).
    template <class R> R put(R record) {
        dict_.access<R>().insert(record);
        return record;
    }

    /// Stores `count` records of R, record i (from 1) as `fill` makes it from a primed record
    /// (automatic numbers given), all in one transaction so that hundreds cost no more than
    /// a few. Returns them as stored, with their row ids; none when the file refused one.
    template <class R>
    std::vector<R> records(int count, const std::function<void(R& record, int i)>& fill) {
        std::vector<R> out;
        Transaction tx(store(), {R::File});
        if (!tx.active()) return out;
        Access<R> a = tx.template access<R>();
        for (int i = 1; i <= count; ++i) {
            R r = a.prime();
            fill(r, i);
            if (!a.insert(r).ok()) return {};
            out.push_back(r);
        }
        return tx.commit().ok() ? out : std::vector<R>{};
    }

    RecordingUserInterface ui;
    RecordingProgress progress;

private:
    QTemporaryDir dir_;
    Dictionary dict_;
};

} // namespace tamsel
