#pragma once

#include "tamsel/Dictionary.h"

#include <QDialog>
#include <optional>
#include <vector>

class QTableWidget;

namespace pivrel {

/// An unplaced lesson of an object that can go into one cell, with its estimate (0: fits
/// without penalty) and the names it is shown with.
struct LessonCandidate {
    tamsel::Schedule lesson;
    short estimate = 0;
    QString science, group, subgroup, teacher;
};

/// The object's unplaced lessons that can go into the cell, in the order the list shows them:
/// by subject, then group, subgroup and teacher. Object type 1 group, 2 room, 4 teacher.
std::vector<LessonCandidate> CandidatesForCell(tamsel::Dictionary& dict, short week, short day,
                                               tamsel::Short objectType, tamsel::Long objectCode,
                                               const QString& lessonNo);

/// "Что сюда можно поставить?": lists the candidates, penalised ones on yellow, and returns
/// the one chosen with "&Выбрать". With no candidate it shows "Нет вариантов" at the mouse.
class SelectLessonVariant : public QDialog {
    Q_OBJECT
public:
    SelectLessonVariant(tamsel::Dictionary& dict, std::vector<LessonCandidate> candidates,
                        QWidget* parent = nullptr);

    /// Runs the choice for a cell; the chosen lesson, or nothing.
    static std::optional<tamsel::Schedule> choose(tamsel::Dictionary& dict, short week, short day,
                                                  tamsel::Short objectType, tamsel::Long objectCode,
                                                  const QString& lessonNo, QWidget* parent);
    static QString procedureName() { return QStringLiteral("SelectLessonVariant"); }

    QTableWidget* table() const { return table_; }
    std::optional<tamsel::Schedule> chosen() const;

private:
    std::vector<LessonCandidate> candidates_;
    QTableWidget* table_;
};

} // namespace pivrel
