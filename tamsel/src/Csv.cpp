#include "tamsel/Csv.h"

namespace tamsel {

bool ParseCsv(const QString& text, QChar sep, std::vector<QStringList>* rows, QString* error) {
    QStringList row;
    QString field;
    bool quoted = false, wasQuoted = false, any = false;
    int line = 1;
    auto endRow = [&] {
        if (any) row << field;
        rows->push_back(row);
        row.clear();
        field.clear();
        wasQuoted = any = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == QLatin1Char('\n')) ++line;
                field += c;
            }
        } else if (c == QLatin1Char('"') && field.trimmed().isEmpty() && !wasQuoted) {
            // A quote opens a field only at its start; inside a plain field it is a character.
            quoted = wasQuoted = any = true;
            field.clear();
        } else if (c == sep) {
            row << field;
            field.clear();
            wasQuoted = false;
            any = true;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            endRow();
            ++line;
        } else {
            field += c;
            any = true;
        }
    }
    if (quoted) {
        *error = QString::fromUtf8("кавычка не закрыта (строка %1)").arg(line);
        return false;
    }
    if (any) endRow();
    return true;
}

} // namespace tamsel
