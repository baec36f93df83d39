#pragma once

// The file a document of a window is saved to: a web page or a CSV table, chosen in the
// platform's dialog, with the extension of the chosen kind added when the name has none.

#include <QFileDialog>
#include <QString>

namespace hestor {

/// Empty when the dialog was cancelled.
inline QString askPageOrTablePath(QWidget* parent, const QString& caption, const QString& dir) {
    QString filter;
    QString path = QFileDialog::getSaveFileName(
        parent, caption, dir, QStringLiteral("Веб-страница (*.html);;Таблица CSV (*.csv)"), &filter);
    if (path.isEmpty()) return path;
    const QString ext = filter.contains(QStringLiteral("csv")) ? QStringLiteral(".csv")
                                                               : QStringLiteral(".html");
    if (!path.endsWith(ext, Qt::CaseInsensitive) &&
        !path.endsWith(QStringLiteral(".htm"), Qt::CaseInsensitive))
        path += ext;
    return path;
}

} // namespace hestor
