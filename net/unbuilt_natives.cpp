// Natives of this subsystem that are not built yet. Each returns 0 and claims
// nothing; a native's line goes away when its real handler lands.
#include "vm/native_table.h"

namespace qavz {

QAVZ_UNBUILT_NATIVE(net_open)
QAVZ_UNBUILT_NATIVE(net_close)
QAVZ_UNBUILT_NATIVE(net_send)
QAVZ_UNBUILT_NATIVE(net_recv)
QAVZ_UNBUILT_NATIVE(net_state)

}  // namespace qavz
