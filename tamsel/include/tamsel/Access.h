#pragma once

#include "tamsel/Schema.h"
#include "tamsel/Store.h"
#include "tamsel/Transaction.h"

#include <vector>

namespace tamsel {

/// Typed file manager over a table: fetch by key, read in key order, prime, insert, update,
/// delete. With an error reporter every refusal and failure is shown as its data-layer
/// message; without one the caller reads the returned Outcome.
template <class R> class Access {
public:
    using Key = typename R::Key;

    Access(Table& table, ErrorReporter* reporter) : t_(&table), errors_(reporter) {}

    Table& table() const { return *t_; }

    /// The record with every component of `key` equal to those of `values`, or the all-zero
    /// record (then `found` is false).
    R fetch(Key key, const R& values, bool* found = nullptr) const {
        Row out;
        const bool f = t_->fetch(key, toRow(values), out);
        if (found) *found = f;
        showReadFailure();
        return fromRow<R>(out);
    }
    bool exists(Key key, const R& values) const {
        bool found = false;
        fetch(key, values, &found);
        return found;
    }
    R byRowId(RowId id) const {
        Row out;
        t_->fetchRowId(id, out);
        showReadFailure();
        return fromRow<R>(out);
    }

    /// Records in key order starting at `from`, while the first `equalLeading` key
    /// components equal those of `from` (0 = to the end of the file).
    std::vector<R> read(Key key, const R& from, int equalLeading = 0) const {
        const Row pos = toRow(from);
        auto out = convert(t_->select(Query{key, &pos, equalLeading}));
        showReadFailure();
        return out;
    }
    /// Visits records as read() would, until `visit` returns false.
    /// Returns the outcome of the reading.
    template <class F> Outcome forEach(Key key, const R& from, int equalLeading, F&& visit) const {
        const Row pos = toRow(from);
        Outcome o = t_->scan(Query{key, &pos, equalLeading},
                             [&](const Row& r) { return visit(fromRow<R>(r)); });
        showReadFailure();
        return o;
    }
    /// Every record in key order.
    std::vector<R> all(Key key) const {
        auto out = convert(t_->all(key));
        showReadFailure();
        return out;
    }
    qint64 count() const {
        const qint64 n = t_->count();
        showReadFailure();
        return n;
    }
    /// False when the last read could not be done (the file is damaged or not open); reads
    /// then return nothing, and the first failure was shown when a reporter is set.
    bool readOk() const { return t_->lastReadOutcome().ok(); }

    /// A new record with automatic numbers and constant defaults; the caller adds the values
    /// taken from the current records of other files (course, stream, ...).
    R prime() const {
        Outcome err;
        Row r = t_->prime(&err);
        while (!err.ok() && errors_ && errors_->report(err.msgNo, err.args) == Yes) {
            err = Outcome::success();
            r = t_->prime(&err);
        }
        return fromRow<R>(r);
    }

    Outcome insert(R& rec) {
        Row row = toRow(rec);
        Outcome o = t_->insert(row);
        if (o.ok())
            rec.rowId = row.rowId;
        else
            show(o);
        return o;
    }
    Outcome update(const R& rec) {
        Outcome o = t_->update(toRow(rec));
        if (!o.ok()) show(o);
        return o;
    }
    Outcome remove(const R& rec) {
        Outcome o = t_->remove(rec.rowId);
        if (!o.ok()) show(o);
        return o;
    }

private:
    static std::vector<R> convert(const std::vector<Row>& rows) {
        std::vector<R> out;
        out.reserve(rows.size());
        for (const Row& r : rows) out.push_back(fromRow<R>(r));
        return out;
    }
    void show(const Outcome& o) const {
        if (errors_ && o.msgNo) errors_->report(o.msgNo, o.args);
    }
    void showReadFailure() const {
        if (errors_ && t_->takeReadFailureToShow()) show(t_->lastReadOutcome());
    }

    Table* t_;
    ErrorReporter* errors_;
};

template <class R> Access<R> Store::access(bool report) {
    return Access<R>(file(R::File).table(), report ? &errors() : nullptr);
}

template <class R> Access<R> Transaction::access() { return Access<R>(table(R::File), nullptr); }

} // namespace tamsel
