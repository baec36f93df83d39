#pragma once

#include "faldin/Calendar.h"
#include "tamsel/widgets/ListWindow.h"

namespace faldin {

/// "Список уроков": the lesson bells with their start and end, edited in place, and the
/// standard bell grid that replaces them.
class LessonBellList : public tamsel::ListWindow {
    Q_OBJECT
public:
    explicit LessonBellList(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("LessonBellList"); }

    tamsel::RecordList* bells() const { return lists().front(); }
    /// "Стандартная сетка": the dialog "Стандартная сетка часов"; `answer`, when set, fills
    /// and closes it instead of the user (tests).
    void askLessonGrid(const std::function<bool(LessonGrid&)>& answer = {});
};

} // namespace faldin
