#include "DataFiles.h"

#include "tamsel/Dictionary.h"

#include <QDir>
#include <QFileInfo>

namespace cli {

bool openExistingDataFiles(tamsel::Dictionary& dict,
                           std::vector<std::unique_ptr<tamsel::FileUse>>& uses, QString* failed) {
    for (int i = 0; i < tamsel::PhysicalFileCount; ++i) {
        const auto id = static_cast<tamsel::FileId>(i);
        const QString path = dict.store().diskName(id);
        if (!QFileInfo::exists(path)) continue;
        auto use = std::make_unique<tamsel::FileUse>(dict.store(), id);
        if (!*use) {
            if (failed) *failed = QDir::toNativeSeparators(path);
            return false;
        }
        uses.push_back(std::move(use));
    }
    return true;
}

} // namespace cli
