#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace tamsel {

/// A Windows-style settings file kept line for line: comments, blank lines and the order of
/// sections and keys survive a load/save round trip. Section and key names match without
/// regard to case (Cyrillic included); values are literal text, so backslashes in paths stay.
/// The file is read as UTF-8 when it is valid UTF-8 and as the Windows Cyrillic code page
/// otherwise, and written back in the encoding it was read in, with CRLF line ends.
/// Changes stay in memory until save(), which replaces the file atomically.
class IniFile {
public:
    enum class Encoding { Utf8, Windows1251 };

    IniFile() = default;
    explicit IniFile(QString path) : path_(std::move(path)) {}

    const QString& path() const { return path_; }
    void setPath(const QString& path) { path_ = path; }

    /// Reads the file; a missing file gives an empty settings set and returns true.
    bool load(QString* error = nullptr);
    /// Writes the file atomically; returns false with a reason when it cannot.
    bool save(QString* error = nullptr) const;

    bool contains(const QString& section, const QString& key) const;
    /// The value, or `fallback` when the key is missing.
    QString value(const QString& section, const QString& key, const QString& fallback = {}) const;
    /// A whole number; `fallback` when the key is missing or not a number.
    long long number(const QString& section, const QString& key, long long fallback = 0) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    void setNumber(const QString& section, const QString& key, long long value);
    void removeKey(const QString& section, const QString& key);

    QStringList sections() const;
    QStringList keys(const QString& section) const;

    Encoding encoding() const { return encoding_; }
    void setEncoding(Encoding e) { encoding_ = e; }
    bool bom() const { return bom_; }

    /// The text the file would hold.
    QString text() const;
    /// The bytes save() would write.
    QByteArray bytes() const;

private:
    struct Line {
        enum Kind { Other, Section, Entry } kind = Other;
        QString raw;     ///< the line as read, for lines we do not rewrite
        QString name;    ///< section name or key
        QString value;   ///< entry value
        bool dirty = false;
    };
    int findSection(const QString& section) const;
    int findEntry(const QString& section, const QString& key, int* sectionLine = nullptr) const;
    int sectionEnd(int sectionLine) const;

    QString path_;
    std::vector<Line> lines_;
    Encoding encoding_ = Encoding::Utf8;
    bool bom_ = false;
};

} // namespace tamsel
