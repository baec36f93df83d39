#pragma once

#include "tamsel/Store.h"

#include <QString>
#include <memory>
#include <vector>

namespace tamsel {
class Dictionary;
}

namespace cli {

/// Opens every data file of the folder that exists (missing ones are left alone, so a reader
/// creates nothing), each through the store's checks, and keeps them open in `uses`. A
/// command refuses to work on a folder with a damaged, foreign or locked file: the store has
/// shown why, and `failed` receives the file's disk name.
bool openExistingDataFiles(tamsel::Dictionary& dict,
                           std::vector<std::unique_ptr<tamsel::FileUse>>& uses, QString* failed);

} // namespace cli
