// Network per-run state: the session ends when the services shut down.
#include "core/service_hooks.h"
#include "net/session.h"

namespace qavz {

void CloseAllConnections() { CloseSession(); }

}  // namespace qavz
