// Fuzzes the reader of the older product's files: the first byte picks the layout, the rest is
// the file. Whatever the bytes, the reader either refuses them with a reason or reads every field
// of every record and sorts by every key without touching memory outside the file.
//
//   legacy-file-fuzz --write-seeds=DIR   writes one sound file per layout into DIR and ends
//   legacy-file-fuzz -runs=N DIR         fuzzes from the seeds (libFuzzer options)

#include "tamsel/LegacyFiles.h"

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <cstring>

using namespace tamsel;

namespace {

void writeSeeds(const QString& dir) {
    QDir().mkpath(dir);
    for (LegacyFileId id : legacyFiles()) {
        const LegacyLayout& layout = legacyLayout(id);
        std::vector<QStringList> records;
        for (int r = 0; r < 3; ++r) {
            QStringList values;
            for (const LegacyField& f : layout.fields)
                values << (f.type == LegacyField::Text ? QStringLiteral("Я%1").arg(r).left(f.size)
                                                       : QString::number(r + 1));
            records.push_back(values);
        }
        QByteArray bytes(1, static_cast<char>(id));
        QByteArray file;
        QString error;
        if (!WriteLegacyFile(id, records, &file, &error)) std::abort();
        bytes += file;
        QFile out(QDir(dir).filePath(QString::fromLatin1(layout.fileName)));
        if (!out.open(QIODevice::WriteOnly)) std::abort();
        out.write(bytes);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    for (int i = 1; i < *argc; ++i)
        if (std::strncmp((*argv)[i], "--write-seeds=", 14) == 0) {
            writeSeeds(QString::fromLocal8Bit((*argv)[i] + 14));
            std::exit(0);
        }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const auto id = static_cast<LegacyFileId>(data[0] % legacyFiles().size());
    LegacyFile file(id);
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1),
                           static_cast<qsizetype>(size - 1));
    if (!file.parse(bytes)) {
        if (file.error().isEmpty() || file.count() != 0) std::abort(); // a refusal says why
        return 0;
    }
    const LegacyLayout& layout = file.layout();
    for (int r = 0; r < file.count(); ++r)
        for (size_t f = 0; f < layout.fields.size(); ++f) {
            if (layout.fields[f].type == LegacyField::Text) {
                if (file.text(r, static_cast<int>(f)).size() > layout.fields[f].size) std::abort();
            } else {
                const qint64 n = file.number(r, static_cast<int>(f));
                if (layout.fields[f].type == LegacyField::Byte && (n < 0 || n > 255)) std::abort();
            }
        }
    for (size_t k = 0; k < layout.keys.size(); ++k)
        if (file.keyOrder(static_cast<int>(k)).size() != static_cast<size_t>(file.count()))
            std::abort();
    return 0;
}
