#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <vector>

namespace tamsel {

/// The rows of a CSV text: fields separated by `sep`; a field that starts with '"' is quoted and
/// may hold the separator, line breaks and doubled quotes. Every line of the text is a row, a
/// blank line an empty one, so a row's index plus one is its line number (quoted line breaks
/// aside). False with the reason in `error` when a quote is not closed.
bool ParseCsv(const QString& text, QChar sep, std::vector<QStringList>* rows, QString* error);

} // namespace tamsel
