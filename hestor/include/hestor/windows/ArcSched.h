#pragma once

#include "tamsel/widgets/ListWindow.h"

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;

namespace hestor {

/// "Архив расписаний": the snapshots of the school's data, saved, replaced, deleted and put
/// back ("Извлечь").
class ArcSched : public tamsel::ListWindow {
    Q_OBJECT
public:
    explicit ArcSched(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("ArcSched"); }

    tamsel::RecordList* snapshots() const { return lists().front(); }
    QCheckBox* byDescription() const { return byDescription_; }
    QPushButton* restoreButton() const { return restore_; }
    QString descriptionText() const;

    /// "&Добавить" / "&Заменить": the form "UpdateArchive"; `answer`, when set, fills the
    /// brief and long descriptions instead of the user (tests) and returns false to cancel.
    bool saveSnapshot(bool replace,
                      const std::function<bool(QString& brief, QString& full)>& answer = {});
    /// "Извлечь".
    void restoreSnapshot();
    /// "Сравнить с текущим": the comparison of the selected snapshot with the current
    /// timetable, in a window of its own (returned).
    QWidget* compareWithCurrent();

private:
    void applySort();
    void showDescription();
    QCheckBox* byDescription_;
    QLabel* description_;
    QPushButton* restore_;
    QPushButton* compare_;
};

} // namespace hestor
