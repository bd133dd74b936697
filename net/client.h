// The client role: one link to a server.
//
// The network thread connects it (StartConnect, then PollConnect until it
// is made), then drives it like a server's client: Tick once per poll
// period, Wait in between, until it has ended. The script side reaches it
// through Link() and State() with the session lock held.
#pragma once

#include <cstdint>
#include <mutex>

#include "net/connection.h"
#include "platform/sockets.h"

namespace qavz {

class Client {
 public:
  Client(platform::SocketApi& api, std::mutex& lock) noexcept : api_(api), lock_(lock), io_(api, lock) {}

  // Under the session lock: a link still to be connected, whose send ring
  // the script may fill already.
  void Begin() noexcept { link_.Reset(platform::kNoSocket, false); }

  // Starts connecting to `to`; false with the error when that failed at once.
  bool StartConnect(const platform::SocketAddress& to, platform::SocketError* error) noexcept;
  // Waits up to `waitMs` for the connection: kNone once it is made (the
  // link is connected), kInProgress while under way, else the failure (the
  // attempt's socket is closed).
  platform::SocketError PollConnect(int32_t waitMs) noexcept;

  // Sends what is queued, and receives even when no wake-up came.
  void Tick() noexcept;
  void Wait(int32_t waitMs) noexcept;
  bool Ended() noexcept { return io_.Ended(link_); }
  // Closes the socket; the script sees the link no more.
  void Finish() noexcept;

  // Under the session lock: the link while the script may use it.
  Connection* Link() noexcept { return link_.open ? &link_ : nullptr; }
  // Under the session lock: 1 connected, 2 still connecting, 0 ended.
  int32_t State() const noexcept { return !link_.open ? 0 : link_.connected ? 1 : 2; }

 private:
  platform::SocketApi& api_;
  std::mutex& lock_;
  ConnectionIo io_;
  Connection link_;
};

}  // namespace qavz
