#include "Artwork.h"

#include <QPainter>
#include <QSvgRenderer>

namespace korvel {

QPixmap svgPixmap(const QString& resource, QSize size) {
    QSvgRenderer renderer(resource);
    if (!renderer.isValid()) return QPixmap();
    if (size.isEmpty()) size = renderer.defaultSize();
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    renderer.render(&p);
    return pm;
}

QIcon icon(const QString& name) {
    QIcon result;
    const QString path = QStringLiteral(":/icons/%1.svg").arg(name);
    for (int s : {16, 22, 24, 32, 48})
        result.addPixmap(svgPixmap(path, QSize(s, s)));
    return result;
}

} // namespace korvel
