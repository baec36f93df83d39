#include "StopButton.h"

#include "Artwork.h"

#include "tamsel/Dictionary.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace korvel {

StopButton::StopButton(tamsel::Dictionary& dict, QWidget* frame)
    : QWidget(frame, Qt::Tool | Qt::WindowStaysOnTopHint), dict_(dict) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("StopButton"));
    setWindowTitle(QStringLiteral("Korvel"));
    setWindowIcon(icon(QStringLiteral("stop")));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    button_ = new QPushButton(icon(QStringLiteral("stop")), QString::fromUtf8("Стоп!"), this);
    button_->setIconSize(QSize(32, 32));
    button_->setMinimumSize(120, 44);
    QFont f = button_->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.3);
    button_->setFont(f);
    layout->addWidget(button_);
    connect(button_, &QPushButton::clicked, this, [this] { dict_.glo.ProcessingDisabled = 1; });
}

} // namespace korvel
