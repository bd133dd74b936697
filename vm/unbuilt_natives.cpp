// Natives of this subsystem that are not built yet. Each returns 0 and claims
// nothing; a native's line goes away when its real handler lands.
#include "vm/native_table.h"

namespace qavz {

QAVZ_UNBUILT_NATIVE(jump)
QAVZ_UNBUILT_NATIVE(call)
QAVZ_UNBUILT_NATIVE(exit)
QAVZ_UNBUILT_NATIVE(setjmp)
QAVZ_UNBUILT_NATIVE(longjmp)
QAVZ_UNBUILT_NATIVE(thd_begin)
QAVZ_UNBUILT_NATIVE(thd_end)
QAVZ_UNBUILT_NATIVE(thd_suspend)
QAVZ_UNBUILT_NATIVE(thd_resume)
QAVZ_UNBUILT_NATIVE(sleep)
QAVZ_UNBUILT_NATIVE(getsystem)
QAVZ_UNBUILT_NATIVE(setsystem)

}  // namespace qavz
