#include "hestor/windows/ImportFromFet.h"

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

ImportFromFet::ImportFromFet(tamsel::Dictionary& dict, QWidget* parent) : QWidget(parent), dict_(dict) {
    setWindowTitle(u("Импорт из FET"));
    setWindowIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    auto* layout = new QVBoxLayout(this);
    auto* hint = new QLabel(u("Школа создается из файла FET только в папке без данных."), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    auto* fileLabel = new QLabel(u("&Файл FET:"), this);
    file_ = new QLineEdit(this);
    file_->setAccessibleName(u("Файл FET"));
    fileLabel->setBuddy(file_);
    browse_ = new QPushButton(u("..."), this);
    browse_->setAccessibleName(u("Выбрать файл"));
    auto* row = new QHBoxLayout;
    row->addWidget(file_, 1);
    row->addWidget(browse_);
    layout->addWidget(fileLabel);
    layout->addLayout(row);
    start_ = new QPushButton(u("Начать импорт"), this);
    start_->setDefault(true);
    layout->addWidget(start_, 0, Qt::AlignCenter);
    notesLabel_ = new QLabel(u("Не перенесено:"), this);
    notes_ = new QListWidget(this);
    notes_->setAccessibleName(u("Не перенесено"));
    notesLabel_->setBuddy(notes_);
    notesLabel_->hide();
    notes_->hide();
    layout->addWidget(notesLabel_);
    layout->addWidget(notes_, 1);
    layout->addStretch();

    connect(browse_, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getOpenFileName(this, u("Файл FET"), file_->text(),
                                                       u("Файлы FET (*.fet);;Все файлы (*.*)"));
        if (!f.isEmpty()) file_->setText(QDir::toNativeSeparators(f));
    });
    connect(start_, &QPushButton::clicked, this, [this] { startImport(); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    resize(480, 200);
}

FetImportResult ImportFromFet::startImport() {
    start_->setEnabled(false);
    const FetImportResult result = ImportFet(dict_, QDir::fromNativeSeparators(file_->text().trimmed()));
    start_->setEnabled(true);
    notes_->clear();
    notes_->addItems(result.notCarried);
    for (const QString& line : result.changed) notes_->addItem(u("Изменено: ") + line);
    notesLabel_->setText(u("Не перенесено и изменено (%1):").arg(notes_->count()));
    notesLabel_->setVisible(notes_->count() > 0);
    notes_->setVisible(notes_->count() > 0);
    if (result.done) {
        dict_.windows.postToFrame(1024); // every open list reads the new school
        dict_.ui().tell(u("Импорт из FET"), u("Импорт из FET выполнен: уроков %1.").arg(result.lessons));
        if (notes_->count() == 0) close();
    }
    return result;
}

} // namespace hestor
