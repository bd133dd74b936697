// Natives of this subsystem that are not built yet. Each returns 0 and claims
// nothing; a native's line goes away when its real handler lands.
#include "vm/native_table.h"

namespace qavz {

QAVZ_UNBUILT_NATIVE(sp_flag)
QAVZ_UNBUILT_NATIVE(sp_init)
QAVZ_UNBUILT_NATIVE(sp_setbg)
QAVZ_UNBUILT_NATIVE(sp_redraw)
QAVZ_UNBUILT_NATIVE(sp_set)
QAVZ_UNBUILT_NATIVE(sp_reset)
QAVZ_UNBUILT_NATIVE(sp_link)
QAVZ_UNBUILT_NATIVE(sp_draw)
QAVZ_UNBUILT_NATIVE(sp_bgorg)
QAVZ_UNBUILT_NATIVE(sp_org)
QAVZ_UNBUILT_NATIVE(sp_sort)
QAVZ_UNBUILT_NATIVE(sp_rect)
QAVZ_UNBUILT_NATIVE(hit_init)
QAVZ_UNBUILT_NATIVE(hit_set)
QAVZ_UNBUILT_NATIVE(hit_reset)
QAVZ_UNBUILT_NATIVE(hit_check)
QAVZ_UNBUILT_NATIVE(hit_rect)
QAVZ_UNBUILT_NATIVE(hit_point)

}  // namespace qavz
