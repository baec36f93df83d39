#include "ReportPreview.h"

#include "trusko/ReportRenderer.h"
#include "trusko/ReportXlsx.h"

#include "tamsel/Dictionary.h"
#include "tamsel/OutputPath.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace trusko {

ReportPreview::ReportPreview(tamsel::Dictionary& dict, std::vector<const ReportDocument*> docs,
                             QString procedure, QPrinter& printer, QWidget* parent)
    : QDialog(parent), dict_(dict), docs_(std::move(docs)), procedure_(std::move(procedure)),
      printer_(printer) {
    QString title = QStringLiteral("Предварительный просмотр");
    if (!docs_.empty()) {
        title += QStringLiteral(" — ") + docs_.front()->caption;
        if (docs_.size() == 1 && !docs_.front()->title.trimmed().isEmpty())
            title += QStringLiteral(": ") + docs_.front()->title.trimmed();
    }
    setWindowTitle(title);
    setWindowFlag(Qt::WindowMaximizeButtonHint);

    printer_.setPageLayout(reportPageLayout());
    view_ = new QPrintPreviewWidget(&printer_, this);
    connect(view_, &QPrintPreviewWidget::paintRequested, this,
            [this](QPrinter* p) { renderReports(docs_, *p); });
    connect(view_, &QPrintPreviewWidget::previewChanged, this, [this] { updatePageLabel(); });

    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QStyle* st = style();
    auto add = [&](QStyle::StandardPixmap icon, const QString& text, const QKeySequence& key,
                   auto slot) {
        QAction* a = bar->addAction(st->standardIcon(icon), text);
        if (!key.isEmpty()) a->setShortcut(key);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    add(QStyle::SP_DialogOkButton, QStringLiteral("Печать..."), QKeySequence::Print,
        [this] { print(); });
    add(QStyle::SP_DialogSaveButton, QStringLiteral("Сохранить в PDF..."), QKeySequence::Save,
        [this] { askAndSave(false); });
    add(QStyle::SP_FileDialogDetailedView, QStringLiteral("Сохранить в Excel..."), QKeySequence(),
        [this] { askAndSave(true); });
    bar->addSeparator();
    add(QStyle::SP_MediaSkipBackward, QString(), QKeySequence(Qt::CTRL | Qt::Key_Home), [this] {
        view_->setCurrentPage(1);
    })->setToolTip(QStringLiteral("Первая страница"));
    add(QStyle::SP_MediaSeekBackward, QString(), QKeySequence(Qt::Key_PageUp), [this] {
        view_->setCurrentPage(view_->currentPage() - 1);
    })->setToolTip(QStringLiteral("Предыдущая страница"));
    pageLabel_ = new QLabel(this);
    pageLabel_->setContentsMargins(6, 0, 6, 0);
    bar->addWidget(pageLabel_);
    add(QStyle::SP_MediaSeekForward, QString(), QKeySequence(Qt::Key_PageDown), [this] {
        view_->setCurrentPage(view_->currentPage() + 1);
    })->setToolTip(QStringLiteral("Следующая страница"));
    add(QStyle::SP_MediaSkipForward, QString(), QKeySequence(Qt::CTRL | Qt::Key_End), [this] {
        view_->setCurrentPage(view_->pageCount());
    })->setToolTip(QStringLiteral("Последняя страница"));
    bar->addSeparator();
    bar->addAction(QStringLiteral("Уменьшить"), QKeySequence::ZoomOut, this,
                   [this] { view_->zoomOut(); });
    bar->addAction(QStringLiteral("Увеличить"), QKeySequence::ZoomIn, this,
                   [this] { view_->zoomIn(); });
    bar->addAction(QStringLiteral("По ширине"), this, [this] { view_->fitToWidth(); });
    bar->addAction(QStringLiteral("Страница целиком"), this, [this] { view_->fitInView(); });
    bar->addSeparator();
    bar->addAction(QStringLiteral("Закрыть"), this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(view_, 1);

    const tamsel::WindowPlace place = tamsel::loadWindowPlace(dict_.settings(), procedure_);
    if (place.found && place.width > 0 && place.height > 0) {
        setGeometry(place.x, place.y, place.width, place.height);
        if (place.maximize) setWindowState(windowState() | Qt::WindowMaximized);
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        resize(avail.width() * 4 / 5, avail.height() * 9 / 10);
    }
    view_->fitToWidth();
}

ReportPreview::~ReportPreview() {
    tamsel::WindowPlace place;
    const QRect g = isMaximized() ? normalGeometry() : geometry();
    place.x = g.x();
    place.y = g.y();
    place.width = g.width();
    place.height = g.height();
    place.maximize = isMaximized();
    tamsel::saveWindowPlace(dict_.settings(), procedure_, place);
}

void ReportPreview::updatePageLabel() {
    pageLabel_->setText(
        QStringLiteral("Страница %1 из %2").arg(view_->currentPage()).arg(view_->pageCount()));
}

void ReportPreview::askAndSave(bool workbook) {
    const QString suffix = workbook ? QStringLiteral(".xlsx") : QStringLiteral(".pdf");
    QString name = QFileDialog::getSaveFileName(
        this, workbook ? QStringLiteral("Сохранить в Excel") : QStringLiteral("Сохранить в PDF"),
        suggestedFileName(suffix),
        workbook ? QStringLiteral("Книга Excel (*.xlsx)") : QStringLiteral("Документ PDF (*.pdf)"));
    if (name.isEmpty()) return;
    if (!name.endsWith(suffix, Qt::CaseInsensitive)) name += suffix;
    if (workbook)
        saveXlsx(name);
    else
        savePdf(name);
}

QString ReportPreview::suggestedFileName(const QString& suffix) const {
    QString base = QStringLiteral("Отчёт");
    if (!docs_.empty()) {
        base = docs_.front()->caption;
        if (docs_.size() == 1 && !docs_.front()->title.trimmed().isEmpty())
            base += QLatin1Char(' ') + docs_.front()->title.trimmed();
    }
    base.replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|]")), QStringLiteral("_"));
    return QDir(dict_.workDir()).filePath(base + suffix);
}

bool ReportPreview::print() {
    QPrintDialog dialog(&printer_, this);
    dialog.setWindowTitle(QStringLiteral("Печать"));
    if (dialog.exec() != QDialog::Accepted) return false;
    if (printer_.outputFormat() == QPrinter::PdfFormat) {
        const QString refused = tamsel::OutputPathRefusal(dict_, printer_.outputFileName());
        if (!refused.isEmpty()) {
            QMessageBox::warning(this, QStringLiteral("Печать"), refused);
            return false;
        }
    }
    if (renderReports(docs_, printer_) == 0) {
        QMessageBox::warning(this, QStringLiteral("Печать"),
                             QStringLiteral("Не удалось напечатать документ на принтере \"%1\".")
                                 .arg(printer_.printerName()));
        return false;
    }
    return true;
}

bool ReportPreview::savePdf(const QString& fileName) {
    QString error = tamsel::OutputPathRefusal(dict_, fileName);
    if (!error.isEmpty() || !writeReportsPdf(docs_, fileName, &error)) {
        QMessageBox::warning(this, QStringLiteral("Сохранить в PDF"), error);
        return false;
    }
    return true;
}

bool ReportPreview::saveXlsx(const QString& fileName) {
    QString error = tamsel::OutputPathRefusal(dict_, fileName);
    if (!error.isEmpty() || !saveReportsXlsx(docs_, fileName, &error)) {
        QMessageBox::warning(this, QStringLiteral("Сохранить в Excel"), error);
        return false;
    }
    return true;
}

} // namespace trusko
