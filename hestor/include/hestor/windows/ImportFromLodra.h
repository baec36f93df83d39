#pragma once

#include "hestor/LodraImport.h"

#include <QWidget>

class QLineEdit;
class QListWidget;
class QPushButton;
class QLabel;

namespace tamsel {
class Dictionary;
}

namespace hestor {

/// The two import windows, "Import1FromLodra" (reference data) and "Import2FromLodra"
/// (training plans): the older product's data folder, the start button and, after a run that
/// left old records behind, the list of what was not taken. Closes itself when a stage has
/// taken everything.
class ImportFromLodra : public QWidget {
    Q_OBJECT
public:
    ImportFromLodra(tamsel::Dictionary& dict, LodraStage stage, QWidget* parent = nullptr);
    static QString procedureName(LodraStage stage) {
        return stage == LodraStage::Reference ? QStringLiteral("Import1FromLodra")
                                              : QStringLiteral("Import2FromLodra");
    }

    QLineEdit* folderEdit() const { return folder_; }
    QPushButton* browseButton() const { return browse_; }
    QPushButton* startButton() const { return start_; }
    QListWidget* notTakenList() const { return notTaken_; }

    /// The start button: runs the stage on the folder in the entry.
    LodraImportResult startImport();
    /// The file dialog's choice: its folder goes into the entry.
    void chooseFile(const QString& file);

private:
    void browse();

    tamsel::Dictionary& dict_;
    LodraStage stage_;
    QLineEdit* folder_;
    QPushButton* browse_;
    QPushButton* start_;
    QLabel* notTakenLabel_;
    QListWidget* notTaken_;
};

} // namespace hestor
