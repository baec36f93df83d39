#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace korvel {

/// One of our own icons from the resources (":/icons/<name>.svg"), drawn at the usual sizes.
QIcon icon(const QString& name);
/// An SVG resource drawn at `size` (its own size when empty).
QPixmap svgPixmap(const QString& resource, QSize size = QSize());

} // namespace korvel
