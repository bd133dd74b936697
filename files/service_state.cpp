// Files per-run state: emptied at every service start-up and shut-down.
#include "core/service_hooks.h"
#include "files/files_state.h"

namespace qavz {

void ClosePackFiles() { ClosePackSlots(); }

// The SystemFile binding ends here too: the host writes the block back at
// this shut-down and forgets it, so sysio must stop reaching it.
void FreeScriptHeap() {
  FreeHeapBlocks();
  ForgetSystemFile();
}

}  // namespace qavz
