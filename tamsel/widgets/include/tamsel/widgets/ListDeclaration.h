#pragma once

// The declaration of a list window's list: which file, which records in which key order,
// which columns with which in-place editors, what a new record starts with, what drags it
// offers and accepts. RecordList turns a declaration into a working list; a window is a few
// such declarations and the commands of its own.

#include "tamsel/Schema.h"
#include "tamsel/Store.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <utility>
#include <vector>

namespace tamsel {

/// One column of a list.
struct ListColumn {
    enum class Editor {
        None,   ///< shown only
        Text,   ///< a line of text (the field's width)
        Number, ///< a spin box from `minimum` to `maximum`
        Choice, ///< a drop list of `choices()`
        Time,   ///< hours:minutes of a TIME field
    };
    QString title;
    int field = -1; ///< the field shown and edited; -1 when `text` alone shows it
    Editor editor = Editor::None;
    int minimum = 0, maximum = 0; ///< of a Number editor
    /// The text shown; by default the field's value (a time as hours:minutes).
    std::function<QString(const Row&)> text;
    /// An icon or colour beside the text (a lesson's state), and the words that say the same
    /// to a screen reader (added to the cell's accessible text).
    std::function<QVariant(const Row&)> decoration;
    std::function<QString(const Row&)> decorationText;
    /// A background of the cells (a column set apart); none by default.
    std::function<QVariant(const Row&)> background;
    /// The entries of a Choice editor: the text shown and the value stored.
    std::function<std::vector<std::pair<QString, Value>>()> choices;
    bool alignRight = false;

    static ListColumn shown(QString title, int field) {
        ListColumn c;
        c.title = std::move(title);
        c.field = field;
        return c;
    }
    static ListColumn edited(QString title, int field, Editor editor, int minimum = 0,
                             int maximum = 0) {
        ListColumn c = shown(std::move(title), field);
        c.editor = editor;
        c.minimum = minimum;
        c.maximum = maximum;
        c.alignRight = editor == Editor::Number;
        return c;
    }
};

/// Which records the list shows: those of one key from a position, with the first `leading`
/// key components fixed (the groups of one stream), optionally filtered further.
struct ListView {
    int key = 0;
    int leading = 0;
    /// Fills the fixed components into the position; false shows nothing (no master chosen).
    std::function<bool(Row& from)> position;
    std::function<bool(const Row&)> filter;
    /// An order other than the key's (by a looked-up name): the view is read whole and
    /// sorted, so only for views of a few hundred records at most.
    std::function<bool(const Row&, const Row&)> order;
    /// The same by names computed once per record and compared as people read them (numbers
    /// by value): for long views such as every unplaced lesson of a school.
    std::function<QStringList(const Row&)> sortKey;
};

/// A list of records of one file.
struct ListDeclaration {
    FileId file = FileId::Days;
    QString name; ///< the list's caption, also its accessible name
    std::vector<ListColumn> columns;
    ListView view;
    /// Button captions; a list without `canInsert` etc. shows no such button.
    QString insertText = QStringLiteral("&Добавить");
    QString changeText = QStringLiteral("&Изменить");
    QString deleteText = QStringLiteral("&Удалить");
    bool canInsert = true, canChange = true, canDelete = true;
    /// Completes a primed new record (the selected master, a default); false refuses the
    /// insert after it has said why.
    std::function<bool(Row& fresh)> prime;
    /// Asked before a record is deleted (before the usual question); false keeps it.
    std::function<bool(const Row& doomed)> beforeDelete;
    /// Asked before a changed record is stored (in place or by the form), with its stored and
    /// its new value; false refuses the change after saying why (the edit stays open in a
    /// form). Not asked for new records.
    std::function<bool(const Row& before, const Row& after)> beforeChange;
    /// Called after a record was stored changed (in place or by the form), with its old value.
    std::function<void(const Row& before, const Row& after)> changed;
    /// Offered drags: their identifiers ("ChangeSpeciality"; a lesson offers "SetToSchedule"
    /// and "AddToLinkList" at once); empty offers none.
    QStringList dragIds;
    /// Called with the dragged record when a drag starts (a lesson becomes ScheduleRecord).
    std::function<void(const Row&)> dragStarted;
    /// Called when a drag of this list has ended, `dropped` telling whether a target took it.
    std::function<void(bool dropped)> dragEnded;
    /// Accepted drops by identifier: the target row and the dragged record's row id.
    std::vector<std::pair<QString, std::function<void(const Row& target, RowId dragged)>>> drops;
    /// Drops are taken anywhere on the list, an empty target row standing for no row.
    bool dropsAnywhere = false;
};

class Dictionary;

/// A drop that files the dragged record of `file` under the target: its `field` takes the
/// target's `targetField` and it is stored through the relation managers; `after` runs then.
std::pair<QString, std::function<void(const Row&, RowId)>>
refileDrop(Dictionary& dict, const QString& id, FileId file, int field, int targetField,
           std::function<void()> after);

/// The index of a file's field by its name ("TeacherCode"), for declaring columns and views.
inline int fieldIndex(FileId file, const char* name) {
    return fileDef(file).fieldIndex(QString::fromLatin1(name));
}

/// The MIME type that carries a drag of identifier `id` (the dragged record's row id).
QString dragMimeType(const QString& id);

/// The text of a TIME field as hours:minutes ("8:30"); empty for 0.
QString timeText(qint64 time);
/// The TIME of hours:minutes; -1 when the text is no time of day.
qint64 timeFromText(const QString& text);

} // namespace tamsel
