#pragma once

#include "hestor/Substitutions.h"

#include <QWidget>

class QDateEdit;
class QLabel;
class QListWidget;
class QTableWidget;

namespace tamsel {
class Dictionary;
}

namespace hestor {

/// "Замены": the date, the absent teachers, their lessons that day with a drop-down of ranked
/// substitutes per lesson; "Сохранить" keeps the choices, "Печать..." and "Сохранить как…" give
/// the document of the date as stored.
class SubstitutionsWindow : public QWidget {
    Q_OBJECT
public:
    explicit SubstitutionsWindow(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("Substitutions"); }

    QDateEdit* date() const { return date_; }
    QListWidget* teachers() const { return teachers_; }
    QTableWidget* lessons() const { return table_; }
    QLabel* status() const { return status_; }
    const SubstitutionDay& day() const { return day_; }

    /// Reads the lessons of the checked teachers on the date again, with the stored choices.
    void plan();
    /// Sets the choice of lesson `row` (-1 none, 0 cancelled, else a teacher's code).
    void choose(int row, tamsel::Short teacher);
    /// Moves lesson `row` to room `room` (0: its own room).
    void chooseRoom(int row, tamsel::Long room);
    /// Stores the choices; says what happened. True when stored.
    bool save();
    void print();
    /// Writes the date's document: a web page, or CSV when `path` ends in ".csv".
    bool saveAs(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// Data changed elsewhere: the teachers and the day are read again, unsaved choices kept
    /// where they still hold.
    void customEvent(QEvent* event) override;
    /// Unsaved choices are offered for saving; "Отмена" keeps the window open.
    void closeEvent(QCloseEvent* e) override;

private:
    void fill();
    /// The day of the date and the checked teachers, read without asking anything.
    void readDay();
    void showStatus();
    /// Choices not yet saved: asks `text` whether to save them first. False when the user
    /// cancelled.
    bool offerSaving(const QString& text, unsigned buttons);
    bool savedBeforeDocument();
    QString choiceText(int row) const;
    QString roomText(int row) const;
    /// The teachers again (names and codes may have changed), keeping the marks.
    void fillTeachers();

    tamsel::Dictionary& dict_;
    QDateEdit* date_;
    QListWidget* teachers_;
    QTableWidget* table_;
    QLabel* status_;
    SubstitutionDay day_;
    bool filling_ = false;
    bool dirty_ = false; ///< choices or notes changed since they were read or saved
};

} // namespace hestor
