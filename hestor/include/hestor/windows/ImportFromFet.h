#pragma once

#include "hestor/FetImport.h"

#include <QWidget>

class QLineEdit;
class QListWidget;
class QPushButton;
class QLabel;

namespace tamsel {
class Dictionary;
}

namespace hestor {

/// "ImportFromFet": the FET file, the start button and, after the import, what the school
/// could not hold (and what was taken in a changed form). The school's folder must hold no
/// data yet; the import says so otherwise.
class ImportFromFet : public QWidget {
    Q_OBJECT
public:
    explicit ImportFromFet(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("ImportFromFet"); }

    QLineEdit* fileEdit() const { return file_; }
    QPushButton* startButton() const { return start_; }
    QListWidget* notesList() const { return notes_; }
    /// The start button: imports the file in the entry.
    FetImportResult startImport();

private:
    tamsel::Dictionary& dict_;
    QLineEdit* file_;
    QPushButton* browse_;
    QPushButton* start_;
    QLabel* notesLabel_;
    QListWidget* notes_;
};

} // namespace hestor
