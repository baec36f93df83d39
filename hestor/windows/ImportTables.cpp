#include "hestor/windows/ImportTables.h"

#include "tamsel/Dictionary.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

namespace hestor {

namespace {
QString u(const char* text) {
    return QString::fromUtf8(text);
}
} // namespace

ImportTables::ImportTables(tamsel::Dictionary& dict, QWidget* parent) : QWidget(parent), dict_(dict) {
    setWindowTitle(u("Импорт исходных данных"));
    auto* layout = new QVBoxLayout(this);
    auto* tableLabel = new QLabel(u("&Что импортировать:"), this);
    table_ = new QComboBox(this);
    table_->addItems({u("Учителя"), u("Учебные группы"), u("Предметы"), u("Кабинеты"), u("Учебный план"),
                      u("Нагрузка учителей")});
    table_->setAccessibleName(u("Что импортировать"));
    tableLabel->setBuddy(table_);
    layout->addWidget(tableLabel);
    layout->addWidget(table_);
    auto* fileLabel = new QLabel(u("&Файл (CSV или xlsx):"), this);
    file_ = new QLineEdit(this);
    file_->setAccessibleName(u("Файл"));
    fileLabel->setBuddy(file_);
    auto* browse = new QPushButton(u("..."), this);
    browse->setAccessibleName(u("Выбрать файл"));
    auto* row = new QHBoxLayout;
    row->addWidget(file_, 1);
    row->addWidget(browse);
    layout->addWidget(fileLabel);
    layout->addLayout(row);
    preview_ = new QTableWidget(this);
    preview_->setAccessibleName(u("Первые строки файла"));
    preview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(preview_, 1);
    start_ = new QPushButton(u("Начать импорт"), this);
    start_->setDefault(true);
    layout->addWidget(start_, 0, Qt::AlignCenter);
    refusedLabel_ = new QLabel(u("Не принято:"), this);
    refused_ = new QListWidget(this);
    refused_->setAccessibleName(u("Не принято"));
    refusedLabel_->setBuddy(refused_);
    refusedLabel_->hide();
    refused_->hide();
    layout->addWidget(refusedLabel_);
    layout->addWidget(refused_, 1);

    connect(browse, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getOpenFileName(this, u("Файл с данными"), file_->text(),
                                                       u("Таблицы (*.csv *.xlsx);;Все файлы (*.*)"));
        if (f.isEmpty()) return;
        file_->setText(QDir::toNativeSeparators(f));
        showPreview();
    });
    connect(file_, &QLineEdit::editingFinished, this, [this] { showPreview(); });
    connect(table_, &QComboBox::currentIndexChanged, this, [this] { showPreview(); });
    connect(start_, &QPushButton::clicked, this, [this] { startImport(); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    resize(560, 420);
}

bool ImportTables::showPreview() {
    preview_->clear();
    if (file_->text().trimmed().isEmpty()) return false;
    QString error;
    if (!ReadTableFile(QDir::fromNativeSeparators(file_->text().trimmed()), &rows_, &error)) {
        dict_.ui().tell(u("Импорт исходных данных"), u("Файл не читается: %1.").arg(error));
        return false;
    }
    const auto table = static_cast<SourceTable>(table_->currentIndex());
    const auto columns = columnsOf(table);
    const auto found = matchColumns(table, rows_.header);
    preview_->setColumnCount(static_cast<int>(columns.size()));
    QStringList titles;
    for (size_t c = 0; c < columns.size(); ++c)
        titles << columns[c].names.front() + (found[c] < 0 ? (columns[c].required ? u(" (не найден!)") : u(" (нет)")) : QString());
    preview_->setHorizontalHeaderLabels(titles);
    const int shown = static_cast<int>(std::min<size_t>(rows_.rows.size(), 10));
    preview_->setRowCount(shown);
    for (int r = 0; r < shown; ++r)
        for (size_t c = 0; c < columns.size(); ++c)
            preview_->setItem(r, static_cast<int>(c),
                              new QTableWidgetItem(found[c] >= 0 ? rows_.rows[size_t(r)].value(found[c]).trimmed() : QString()));
    preview_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return true;
}

TableImportResult ImportTables::startImport() {
    TableImportResult result;
    if (!showPreview()) return result;
    start_->setEnabled(false);
    result = ImportTable(dict_, static_cast<SourceTable>(table_->currentIndex()), rows_);
    start_->setEnabled(true);
    refused_->clear();
    refused_->addItems(result.refused);
    refusedLabel_->setText(u("Не принято строк: %1").arg(result.refused.size()));
    refusedLabel_->setVisible(!result.refused.isEmpty());
    refused_->setVisible(!result.refused.isEmpty());
    if (result.done) {
        dict_.windows.postToFrame(1024);
        dict_.ui().tell(u("Импорт исходных данных"), u("Импорт выполнен: записей %1.").arg(result.taken));
    }
    return result;
}

} // namespace hestor
