#pragma once

#include <QString>

namespace pivrel::engine {

/// A number as the engine's diagnostic and progress texts write it.
inline QString n(long v) {
    return QString::number(v);
}

} // namespace pivrel::engine
