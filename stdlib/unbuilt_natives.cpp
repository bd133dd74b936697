// Natives of this subsystem that are not built yet. Each returns 0 and claims
// nothing; a native's line goes away when its real handler lands.
#include "vm/native_table.h"

namespace qavz {

QAVZ_UNBUILT_NATIVE(nfa_compile)
QAVZ_UNBUILT_NATIVE(nfa_free)
QAVZ_UNBUILT_NATIVE(rex_match)
QAVZ_UNBUILT_NATIVE(rex_free)

}  // namespace qavz
