// Natives of this subsystem that are not built yet. Each returns 0 and claims
// nothing; a native's line goes away when its real handler lands.
#include "vm/native_table.h"

namespace qavz {

QAVZ_UNBUILT_NATIVE(font_use)
QAVZ_UNBUILT_NATIVE(font_set)
QAVZ_UNBUILT_NATIVE(font_get)
QAVZ_UNBUILT_NATIVE(gtext)
QAVZ_UNBUILT_NATIVE(gtextf)

}  // namespace qavz
