// The TCP session natives. They only copy bytes between script memory and
// the session's rings; the network thread does everything else.
#include <string>

#include "core/report_error.h"
#include "net/messages.h"
#include "net/session.h"
#include "vm/native_table.h"

namespace qavz {

// net_open(host, port): host 0 serves on port, else connects to host.
int32_t Native_net_open(Addr args) {
  Addr host = ArgAddr(args, 0);
  int32_t port = Arg(args, 1);
  if (host == 0) return OpenServer(port);
  int64_t length = TheArena().StrLen(host, kMaxHostName + 1);
  std::string name;
  if (length < 0 || size_t(length) > kMaxHostName || !TheArena().ReadString(host, name, kMaxHostName)) {
    CloseSession();
    ReportError(kLevelFault, "%s", msg::kCannotConnect);
    return 0;
  }
  return OpenClient(name, port);
}

int32_t Native_net_close(Addr) {
  CloseSession();
  return 1;
}

// net_send(client, data, length) -> bytes queued, or -1.
int32_t Native_net_send(Addr args) { return SessionSend(Arg(args, 0), ArgAddr(args, 1), Arg(args, 2)); }

// net_recv(client, buffer, length) -> bytes copied, or -1.
int32_t Native_net_recv(Addr args) { return SessionReceive(Arg(args, 0), ArgAddr(args, 1), Arg(args, 2)); }

int32_t Native_net_state(Addr) { return SessionState(); }

}  // namespace qavz
