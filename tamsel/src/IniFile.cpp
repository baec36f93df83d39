#include "tamsel/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#ifdef Q_OS_UNIX
#include <cstdio>
#endif

namespace tamsel {

namespace {
/// Blanks around a value are not part of it when read, as everywhere in settings files; a
/// value that begins or ends with a blank (a separator " ") is written in double quotes,
/// which reading removes again, so a value written is read back the same.
QString quotedIfNeeded(const QString& v) {
    const bool edgeBlank = !v.isEmpty() && (v.front().isSpace() || v.back().isSpace());
    const bool looksQuoted = v.size() >= 2 && v.front() == QLatin1Char('"') && v.back() == QLatin1Char('"');
    return edgeBlank || looksQuoted ? QLatin1Char('"') + v + QLatin1Char('"') : v;
}

QString unquoted(const QString& v) {
    if (v.size() >= 2 && v.front() == QLatin1Char('"') && v.back() == QLatin1Char('"'))
        return v.mid(1, v.size() - 2);
    return v;
}

bool isComment(const QString& trimmed) {
    return trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#'));
}
bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}
} // namespace

bool IniFile::load(QString* error) {
    lines_.clear();
    encoding_ = Encoding::Utf8;
    bom_ = false;
    QFile f(path_);
    if (!f.exists()) return true;
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = f.errorString();
        return false;
    }
    QByteArray bytes = f.readAll();
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bom_ = true;
        bytes.remove(0, 3);
        text = QString::fromUtf8(bytes);
    } else {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8.decode(bytes);
        if (utf8.hasError()) {
            // Not UTF-8: a file written by a Windows program in the Cyrillic code page.
            QStringDecoder cp1251("windows-1251");
            text = cp1251.decode(bytes);
            encoding_ = Encoding::Windows1251;
        }
    }
    const QStringList raw = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < raw.size(); ++i) {
        QString l = raw[i];
        if (l.endsWith(QLatin1Char('\r'))) l.chop(1);
        if (i == raw.size() - 1 && l.isEmpty()) break; // the final line end
        Line line;
        line.raw = l;
        const QString t = l.trimmed();
        if (t.startsWith(QLatin1Char('[')) && t.contains(QLatin1Char(']'))) {
            line.kind = Line::Section;
            line.name = t.mid(1, t.indexOf(QLatin1Char(']')) - 1).trimmed();
        } else if (!isComment(t) && t.contains(QLatin1Char('='))) {
            const qsizetype eq = l.indexOf(QLatin1Char('='));
            line.kind = Line::Entry;
            line.name = l.left(eq).trimmed();
            line.value = unquoted(l.mid(eq + 1).trimmed());
        }
        lines_.push_back(std::move(line));
    }
    return true;
}

QString IniFile::text() const {
    QString out;
    for (const Line& l : lines_) {
        if (l.dirty && l.kind == Line::Entry)
            out += l.name + QLatin1Char('=') + quotedIfNeeded(l.value);
        else if (l.dirty && l.kind == Line::Section)
            out += QLatin1Char('[') + l.name + QLatin1Char(']');
        else
            out += l.raw;
        out += QLatin1String("\r\n");
    }
    return out;
}

namespace {
/// Puts `file` in the place of the link `link`, in one step where the system allows it.
bool replaceLink(const QString& file, const QString& link) {
#ifdef Q_OS_UNIX
    return ::rename(QFile::encodeName(file).constData(), QFile::encodeName(link).constData()) == 0;
#else
    return QFile::remove(link) && QFile::rename(file, link);
#endif
}
} // namespace

QByteArray IniFile::bytes() const {
    const QString t = text();
    QByteArray bytes;
    if (encoding_ == Encoding::Windows1251) {
        QStringEncoder cp1251("windows-1251");
        bytes = cp1251.encode(t);
        if (cp1251.hasError()) bytes.clear(); // a character the code page lacks: keep it in UTF-8
    }
    if (bytes.isEmpty() && !t.isEmpty()) {
        bytes = t.toUtf8();
        if (bom_) bytes.prepend("\xEF\xBB\xBF");
    }
    return bytes;
}

bool IniFile::save(QString* error) const {
    const QByteArray bytes = this->bytes();
    // A link in the file's place would carry the write to a file elsewhere (QSaveFile writes
    // to the link's target). The settings read through it are written to a file of the
    // folder's own, which then takes the link's place; the file elsewhere stays as it was.
    const bool link = QFileInfo(path_).isSymLink();
    const QString target = link ? path_ + QStringLiteral(".new") : path_;
    if (link) QFile::remove(target);
    QSaveFile f(target);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        if (error) *error = f.errorString();
        return false;
    }
    if (link && !replaceLink(target, path_)) {
        QFile::remove(target);
        if (error) *error = QStringLiteral("ссылку «%1» не удалось заменить файлом")
                                .arg(QDir::toNativeSeparators(path_));
        return false;
    }
    return true;
}

int IniFile::findSection(const QString& section) const {
    for (size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].kind == Line::Section && sameName(lines_[i].name, section))
            return static_cast<int>(i);
    return -1;
}

int IniFile::sectionEnd(int sectionLine) const {
    int end = sectionLine + 1;
    while (end < static_cast<int>(lines_.size()) &&
           lines_[static_cast<size_t>(end)].kind != Line::Section)
        ++end;
    return end;
}

int IniFile::findEntry(const QString& section, const QString& key, int* sectionLine) const {
    const int s = findSection(section);
    if (sectionLine) *sectionLine = s;
    if (s < 0) return -1;
    const int end = sectionEnd(s);
    for (int i = s + 1; i < end; ++i) {
        const Line& l = lines_[static_cast<size_t>(i)];
        if (l.kind == Line::Entry && sameName(l.name, key)) return i;
    }
    return -1;
}

bool IniFile::contains(const QString& section, const QString& key) const {
    return findEntry(section, key) >= 0;
}

QString IniFile::value(const QString& section, const QString& key, const QString& fallback) const {
    const int i = findEntry(section, key);
    return i < 0 ? fallback : lines_[static_cast<size_t>(i)].value;
}

long long IniFile::number(const QString& section, const QString& key, long long fallback) const {
    const int i = findEntry(section, key);
    if (i < 0) return fallback;
    bool ok = false;
    const long long v = lines_[static_cast<size_t>(i)].value.toLongLong(&ok);
    return ok ? v : fallback;
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value) {
    int s = -1;
    const int i = findEntry(section, key, &s);
    if (i >= 0) {
        Line& l = lines_[static_cast<size_t>(i)];
        if (l.value != value) {
            l.value = value;
            l.dirty = true;
        }
        return;
    }
    Line entry;
    entry.kind = Line::Entry;
    entry.name = key;
    entry.value = value;
    entry.dirty = true;
    if (s < 0) {
        const bool endsBlank = !lines_.empty() && lines_.back().kind == Line::Other &&
                               lines_.back().raw.trimmed().isEmpty();
        if (!lines_.empty() && !endsBlank) lines_.push_back(Line{}); // a blank line between sections
        Line head;
        head.kind = Line::Section;
        head.name = section;
        head.dirty = true;
        lines_.push_back(head);
        lines_.push_back(entry);
        return;
    }
    // After the section's last entry, before any blank lines or comments that end it.
    int at = sectionEnd(s);
    while (at > s + 1 && lines_[static_cast<size_t>(at - 1)].kind == Line::Other &&
           lines_[static_cast<size_t>(at - 1)].raw.trimmed().isEmpty())
        --at;
    lines_.insert(lines_.begin() + at, entry);
}

void IniFile::setNumber(const QString& section, const QString& key, long long value) {
    setValue(section, key, QString::number(value));
}

void IniFile::removeKey(const QString& section, const QString& key) {
    const int i = findEntry(section, key);
    if (i >= 0) lines_.erase(lines_.begin() + i);
}

QStringList IniFile::sections() const {
    QStringList out;
    for (const Line& l : lines_)
        if (l.kind == Line::Section) out << l.name;
    return out;
}

QStringList IniFile::keys(const QString& section) const {
    QStringList out;
    const int s = findSection(section);
    if (s < 0) return out;
    const int end = sectionEnd(s);
    for (int i = s + 1; i < end; ++i)
        if (lines_[static_cast<size_t>(i)].kind == Line::Entry)
            out << lines_[static_cast<size_t>(i)].name;
    return out;
}

} // namespace tamsel
