// Standard library per-run state. To be filled by the maths tables, the time
// base, the random generator and the pattern tables.
#include "host/service_hooks.h"

namespace qavz {

void FreeAllPatterns() {}

}  // namespace qavz
