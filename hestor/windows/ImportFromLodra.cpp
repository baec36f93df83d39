#include "hestor/windows/ImportFromLodra.h"

#include "tamsel/Dictionary.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>

namespace hestor {

namespace {
QString u(const char* text) {
    return QString::fromUtf8(text);
}
} // namespace

ImportFromLodra::ImportFromLodra(tamsel::Dictionary& dict, LodraStage stage, QWidget* parent)
    : QWidget(parent), dict_(dict), stage_(stage) {
    const bool reference = stage == LodraStage::Reference;
    setWindowTitle(reference ? u("Импорт исходных из АРМ \"Lodra\"")
                             : u("Импорт учебных планов из АРМ \"Lodra\""));
    setWindowIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    auto* layout = new QVBoxLayout(this);
    if (reference) {
        auto* attention = new QLabel(u("ВНИМАНИЕ !"), this);
        attention->setStyleSheet(QStringLiteral("font-weight: bold; color: #c00000;"));
        attention->setAlignment(Qt::AlignCenter);
        layout->addWidget(attention);
        for (const char* line : {"При импорте данных текущее расписание уничтожается. ",
                                 "Не забудьте сохранить ценные данные в архиве."}) {
            auto* l = new QLabel(u(line), this);
            l->setAlignment(Qt::AlignCenter);
            layout->addWidget(l);
        }
    }
    auto* folderLabel = new QLabel(u("&Каталог данных АРМ \"Lodra\":"), this);
    folder_ = new QLineEdit(QDir::toNativeSeparators(dict_.glo.LodraDataDir), this);
    folder_->setAccessibleName(u("Каталог данных АРМ \"Lodra\""));
    folderLabel->setBuddy(folder_);
    browse_ = new QPushButton(u("..."), this);
    browse_->setAccessibleName(u("Выбрать каталог"));
    browse_->setToolTip(u("Выбрать любой файл данных АРМ \"Lodra\""));
    auto* row = new QHBoxLayout;
    row->addWidget(folder_, 1);
    row->addWidget(browse_);
    layout->addWidget(folderLabel);
    layout->addLayout(row);

    start_ = new QPushButton(
        reference ? u("Начать импорт исходных данных") : u("Начать импорт учебных планов"), this);
    start_->setDefault(true);
    layout->addWidget(start_, 0, Qt::AlignCenter);

    notTakenLabel_ = new QLabel(u("Не импортировано:"), this);
    notTaken_ = new QListWidget(this);
    notTaken_->setAccessibleName(u("Не импортировано"));
    notTakenLabel_->setBuddy(notTaken_);
    notTakenLabel_->hide();
    notTaken_->hide();
    layout->addWidget(notTakenLabel_);
    layout->addWidget(notTaken_, 1);
    layout->addStretch();

    connect(browse_, &QPushButton::clicked, this, &ImportFromLodra::browse);
    connect(start_, &QPushButton::clicked, this, [this] { startImport(); });
    connect(folder_, &QLineEdit::editingFinished, this,
            [this] { dict_.glo.LodraDataDir = folder_->text().trimmed(); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    resize(460, reference ? 220 : 160);
}

void ImportFromLodra::browse() {
    const QString file =
        QFileDialog::getOpenFileName(this, u("Файлы данных АРМ \"Lodra\". Выберите любой файл."),
                                     QDir::fromNativeSeparators(folder_->text()),
                                     u("БД АРМ \"Lodra\" (*.dat);;Все файлы (*.*)"));
    if (!file.isEmpty()) chooseFile(QDir::toNativeSeparators(file));
}

void ImportFromLodra::chooseFile(const QString& file) {
    const QString folder = LodraFolderOf(file);
    folder_->setText(folder);
    dict_.glo.LodraDataDir = folder;
}

LodraImportResult ImportFromLodra::startImport() {
    dict_.glo.LodraDataDir = folder_->text().trimmed();
    start_->setEnabled(false);
    const LodraImportResult result = ImportLodraStage(dict_, stage_);
    start_->setEnabled(true);
    notTaken_->clear();
    notTaken_->addItems(result.notTaken);
    notTakenLabel_->setText(u("Не импортировано (%1):").arg(result.notTaken.size()));
    notTakenLabel_->setVisible(!result.notTaken.isEmpty());
    notTaken_->setVisible(!result.notTaken.isEmpty());
    if (result.done()) {
        dict_.windows.postToFrame(1024); // every open list reads the new data
        // What was not taken stays on screen; otherwise the stage is over.
        if (result.notTaken.isEmpty()) close();
    }
    return result;
}

} // namespace hestor
