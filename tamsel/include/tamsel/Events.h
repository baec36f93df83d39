#pragma once

#include <QEvent>

namespace tamsel {

/// User events by number. Windows post them to the frame (window number `FrameThread`),
/// which relays 1024..1280 to every window listed in `WindowRefreshQueue`.
namespace UserEvent {
constexpr int Refresh = 1024;      ///< data changed: refresh what you show
constexpr int GoToSelected = 1025; ///< show the teacher or group of `ScheduleRecord`
constexpr int RefreshGrid = 1026;  ///< as Refresh
constexpr int RelayFirst = 1024;
constexpr int RelayLast = 1280;
constexpr int OpenStopButton = 1281;
constexpr int CloseStopButton = 1282;
/// GoToSelected for a lesson the user asked to see: the frame first opens the lesson grid
/// when none is open, then relays GoToSelected.
constexpr int ShowSelectedInGrid = 1283;

constexpr bool isRelayed(int type) {
    return type >= RelayFirst && type <= RelayLast;
}
} // namespace UserEvent

/// The record-navigation buttons of the frame's second toolbar row, in their order.
enum class NavigationButton {
    First,    ///< "Перейти к первой странице"
    PageUp,   ///< "Перейти к предыдущей странице"
    Previous, ///< "Перейти к предыдущей записи"
    Locate,   ///< "Найти запись"
    Next,     ///< "Перейти к следующей записи"
    PageDown, ///< "Перейти к следующей странице"
    Last,     ///< "Перейти к последней странице"
    Select,   ///< "Выбрать запись"
    Insert,   ///< "Добавить новую запись"
    Change,   ///< "Иззменить запись"
    Delete,   ///< "Удалить запись"
    Ditto,    ///< "Присвоить предыдущее значение"
    Help,     ///< "Получить справку"
};

/// A press of a navigation button, posted by the frame to the active child window. A list
/// or form acts on it in customEvent(); windows that have no use for it ignore it.
class NavigationEvent : public QEvent {
public:
    static constexpr QEvent::Type Type = static_cast<QEvent::Type>(QEvent::User + 1000);
    explicit NavigationEvent(NavigationButton b) : QEvent(Type), button(b) {}
    const NavigationButton button;
};

} // namespace tamsel
