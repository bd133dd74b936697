// Network per-run state: no sessions exist until the network is built.
#include "core/service_hooks.h"

namespace qavz {

void CloseAllConnections() {}

}  // namespace qavz
