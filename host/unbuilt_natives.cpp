// Natives of this subsystem that are not built yet. Each returns 0 and claims
// nothing; a native's line goes away when its real handler lands.
#include "vm/native_table.h"

namespace qavz {

QAVZ_UNBUILT_NATIVE(log_clear)
QAVZ_UNBUILT_NATIVE(log_out)

}  // namespace qavz
