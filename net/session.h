// The one TCP session of a run: none, a server with up to five clients, or
// a client of one server, with its network thread.
//
// The natives only copy bytes into and out of rings and never wait on the
// network; the network thread owns the sockets.
#pragma once

#include <cstdint>
#include <string>

#include "vm/arena.h"

namespace qavz {

enum class SessionRole : int32_t { kNone = 0, kServer = 1, kClient = 2 };

// Longest host name a client accepts (a DNS name has at most 253).
constexpr size_t kMaxHostName = 255;

// Each ends the session in progress first. OpenServer needs the socket
// layer ("Net"); both refuse a port outside 1..65535. 1 when the session
// started, else 0 (failures other than a missing socket layer reported).
// Only running out of host memory throws.
int32_t OpenServer(int32_t port);
int32_t OpenClient(const std::string& host, int32_t port);
// Stops the network thread, closing every socket, and waits for it.
void CloseSession() noexcept;

// As net_send / net_recv: the count copied, or -1 without a session, for a
// client number outside 0..4 (server), a slot without a client, a link that
// has ended, or bytes outside live script memory.
int32_t SessionSend(int32_t client, Addr data, int32_t length) noexcept;
int32_t SessionReceive(int32_t client, Addr buffer, int32_t length) noexcept;
// As net_state.
int32_t SessionState() noexcept;
SessionRole CurrentRole() noexcept;

// What a thread waiting for the network thread runs between its checks;
// the host makes the window thread answer its messages there, since the
// network thread may be waiting for an error box.
void SetNetworkWaitPump(void (*pump)()) noexcept;

}  // namespace qavz
