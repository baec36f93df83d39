#pragma once

#include <QMap>
#include <QStringList>

namespace cli {

/// The arguments of one command: options "--name value" or "--name=value" from a fixed set,
/// switches "--name" from another, and positional arguments. Anything else is an error with a
/// message for the user.
class Args {
public:
    Args(const QStringList& args, const QStringList& valueOptions,
         const QStringList& switches = {});

    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }

    bool has(const QString& option) const { return values_.contains(option); }
    QString value(const QString& option, const QString& fallback = {}) const {
        return values_.value(option, fallback);
    }
    /// The option as a whole number within [min, max]; `fallback` when absent. On a bad
    /// value returns false and sets error().
    bool integer(const QString& option, qint64 fallback, qint64 min, qint64 max, qint64* out);

    /// --teacher, --group or --subject CODE, the scope of a placement or check: sets `kind`
    /// (a TaskKind: 0 for all when none is given) and `code`. Returns the problem to tell the
    /// user (two of them, a bad code), empty when there is none.
    QString taskScope(short* kind, qint64* code);
    /// The problem with the positional arguments of a command on one school folder (none or
    /// more than one given), empty when there is exactly one.
    QString oneFolder() const;

    QStringList positional;

private:
    QMap<QString, QString> values_;
    QString error_;
};

} // namespace cli
