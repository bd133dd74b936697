// Files per-run state. To be filled by the pack and heap tables.
#include "host/service_hooks.h"

namespace qavz {

void ClosePackFiles() {}
void FreeScriptHeap() {}

}  // namespace qavz
