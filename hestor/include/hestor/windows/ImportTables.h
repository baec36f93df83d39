#pragma once

#include "hestor/TableImport.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QLabel;
class QTableWidget;

namespace tamsel {
class Dictionary;
}

namespace hestor {

/// "ImportTables" ("Импорт исходных данных"): the table to fill, the CSV or .xlsx file, a
/// preview of its first rows under the columns found by name, the start button and every
/// refused line with its reason.
class ImportTables : public QWidget {
    Q_OBJECT
public:
    explicit ImportTables(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("ImportTables"); }

    QComboBox* tableChoice() const { return table_; }
    QLineEdit* fileEdit() const { return file_; }
    QTableWidget* preview() const { return preview_; }
    QListWidget* refusedList() const { return refused_; }
    /// Reads the file in the entry and shows its first rows; false when it cannot be read.
    bool showPreview();
    /// The start button.
    TableImportResult startImport();

private:
    tamsel::Dictionary& dict_;
    QComboBox* table_;
    QLineEdit* file_;
    QPushButton* start_;
    QTableWidget* preview_;
    QLabel* refusedLabel_;
    QListWidget* refused_;
    TableRows rows_;
};

} // namespace hestor
