#pragma once

// Whether a subject's division into subgroups may change. Core only: the subject and subgroup
// type lists ask before they store a change.

#include "tamsel/Records.h"

#include <QString>

namespace tamsel {
class Dictionary;
}

namespace faldin {

/// Entries and link members are made per subgroup of the subject's division. A change of the
/// number of subgroups would leave them made for the old one, and no later correction fixes
/// that; the entries may carry teachers, cells and links the officer made, which no new
/// division can take over. So such a change is refused while the subject has lessons or link
/// members: the text of the refusal (naming the groups), or empty when the change may go on.
QString SubjectDivisionRefusal(tamsel::Dictionary& dict, const tamsel::Science& before,
                               const tamsel::Science& after);
/// The same for a subgroup type whose number of subgroups changes: refused while a subject of
/// that type has lessons or link members.
QString SubGroupTypeRefusal(tamsel::Dictionary& dict, const tamsel::SubGroupType& before,
                            const tamsel::SubGroupType& after);
/// The caption of both refusals.
QString DivisionRefusalCaption();

} // namespace faldin
