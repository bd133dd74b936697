// Extension per-run state: no DLL table exists until extensions are built.
#include "core/service_hooks.h"

namespace qavz {

void ResetDllTable() {}
void UnloadAllDlls() {}

}  // namespace qavz
