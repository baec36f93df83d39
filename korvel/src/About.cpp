#include "About.h"

#include "Artwork.h"
#include "RussianTexts.h"

#include "tamsel/Dictionary.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

namespace korvel {

QString About::buildText(const tamsel::Dictionary& dict) {
    const QDate date = dateFromDayNumber(dict.glo.BuildDate);
    const QTime time = timeFromStored(dict.glo.BuildTime);
    return QString::fromUtf8("Сборка %1 от %2 %3")
        .arg(dict.glo.BuildNumber)
        .arg(date.toString(QStringLiteral("dd.MM.yyyy")), time.toString(QStringLiteral("HH:mm")));
}

QString About::versionText(const tamsel::Dictionary& dict) {
    return QString::fromUtf8("Версия 1.001 от %1.")
        .arg(dateFromDayNumber(dict.glo.BuildDate).toString(QStringLiteral("dd.MM.yyyy")));
}

About::About(tamsel::Dictionary& dict, QWidget* frame)
    : QWidget(frame, Qt::Dialog | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("Korvel"));
    dict.glo.VersionId = versionText(dict);

    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xf4, 0xf8, 0xfc));
    setPalette(pal);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 16, 24, 16);
    auto* title = new QLabel(QStringLiteral("Korvel"), this);
    title->setObjectName(QStringLiteral("title"));
    QFont tf = title->font();
    tf.setPointSizeF(tf.pointSizeF() * 2.2);
    tf.setBold(true);
    title->setFont(tf);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);

    auto* picture = new QLabel(this);
    picture->setPixmap(svgPixmap(QStringLiteral(":/school.svg"), QSize(240, 180)));
    picture->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture);

    auto* build = new QLabel(buildText(dict), this);
    build->setObjectName(QStringLiteral("build"));
    build->setAlignment(Qt::AlignCenter);
    layout->addWidget(build);
    auto* version = new QLabel(dict.glo.VersionId, this);
    version->setObjectName(QStringLiteral("version"));
    version->setAlignment(Qt::AlignCenter);
    layout->addWidget(version);
    auto* purpose = new QLabel(QString::fromUtf8("Составление школьного расписания уроков"), this);
    purpose->setAlignment(Qt::AlignCenter);
    layout->addWidget(purpose);

    closeTimer_ = new QTimer(this);
    closeTimer_->setSingleShot(true);
    connect(closeTimer_, &QTimer::timeout, this, &QWidget::close);
    closeTimer_->start(CloseAfterMs);
}

bool About::event(QEvent* e) {
    if (e->type() == QEvent::WindowDeactivate) close();
    return QWidget::event(e);
}

void About::paintEvent(QPaintEvent*) {
    // Without a title bar the window needs an edge of its own.
    QPainter p(this);
    p.setPen(QPen(QColor(0x2c, 0x5d, 0x8f), 2));
    p.drawRect(rect().adjusted(1, 1, -1, -1));
}

void About::mousePressEvent(QMouseEvent*) {
    close();
}
void About::mouseDoubleClickEvent(QMouseEvent*) {
    close();
}

} // namespace korvel
