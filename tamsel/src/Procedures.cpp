#include "tamsel/Procedures.h"

namespace tamsel {

void Procedures::add(const QString& name, Procedure procedure) {
    table_.insert(name, std::move(procedure));
}

const Procedure* Procedures::find(const QString& name) const {
    const auto it = table_.constFind(name);
    return it == table_.constEnd() ? nullptr : &it.value();
}

} // namespace tamsel
