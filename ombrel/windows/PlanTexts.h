#pragma once

// Texts the plan and load windows show alike.

#include "tamsel/Dictionary.h"

namespace ombrel {

/// Hours as the plan shows them: blank when zero.
inline QString hoursText(qint64 n) {
    return n == 0 ? QString() : QString::number(n);
}

/// A subject's name by its code (empty when there is none).
inline QString scienceName(tamsel::Dictionary& dict, tamsel::Short code) {
    tamsel::Science key;
    key.ScienceCode = code;
    return dict.access<tamsel::Science>(false).fetch(tamsel::Science::ScienceCodeKey, key).Science;
}

} // namespace ombrel
