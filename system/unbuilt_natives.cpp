// Natives of this subsystem that are not built yet. Each returns 0 and claims
// nothing; a native's line goes away when its real handler lands.
#include "vm/native_table.h"

namespace qavz {

QAVZ_UNBUILT_NATIVE(wallpaper)
QAVZ_UNBUILT_NATIVE(shell)
QAVZ_UNBUILT_NATIVE(exec)
QAVZ_UNBUILT_NATIVE(mbox)
QAVZ_UNBUILT_NATIVE(caption)
QAVZ_UNBUILT_NATIVE(setrgn)
QAVZ_UNBUILT_NATIVE(setdrag)
QAVZ_UNBUILT_NATIVE(dll_load)
QAVZ_UNBUILT_NATIVE(dll_unload)
QAVZ_UNBUILT_NATIVE(dll_proc)
QAVZ_UNBUILT_NATIVE(dll_call)

}  // namespace qavz
