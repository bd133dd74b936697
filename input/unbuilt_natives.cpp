// Natives of this subsystem that are not built yet. Each returns 0 and claims
// nothing; a native's line goes away when its real handler lands.
#include "vm/native_table.h"

namespace qavz {

QAVZ_UNBUILT_NATIVE(getkey)
QAVZ_UNBUILT_NATIVE(getjoy)
QAVZ_UNBUILT_NATIVE(getmouse)
QAVZ_UNBUILT_NATIVE(getpoint)
QAVZ_UNBUILT_NATIVE(cur_set)
QAVZ_UNBUILT_NATIVE(cur_clip)
QAVZ_UNBUILT_NATIVE(cur_setpos)
QAVZ_UNBUILT_NATIVE(key_init)
QAVZ_UNBUILT_NATIVE(key_get)

}  // namespace qavz
