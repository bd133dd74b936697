// The server role: one listening socket and five client slots.
//
// The network thread drives it: Tick once per poll period, Wait in between.
// The script side reaches a slot through Slot() with the session lock held.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "net/connection.h"
#include "platform/sockets.h"

namespace qavz {

class Server {
 public:
  static constexpr int kSlots = 5;

  Server(platform::SocketApi& api, std::mutex& lock) noexcept : api_(api), lock_(lock), io_(api, lock) {}

  // Listens on `port`; false after reporting why not.
  bool Listen(uint16_t port) noexcept;
  // One poll: ends the clients that are over and sends every client's
  // queued bytes.
  void Tick() noexcept;
  // Waits up to `waitMs` for new clients and for data, taking both as they
  // come.
  void Wait(int32_t waitMs) noexcept;
  // Closes the listening socket and every client.
  void Shut() noexcept;

  // Under the session lock: the slot if it holds a client, else null.
  Connection* Slot(int32_t client) noexcept;
  // Under the session lock: the number of clients.
  int32_t ClientCount() const noexcept { return count_; }
  // The peer's address text of a slot (network thread, tests).
  const std::string& PeerName(int32_t client) const noexcept { return peerNames_[client]; }

 private:
  void AcceptAll() noexcept;
  void DropEnded() noexcept;
  void Drop(Connection& c) noexcept;

  platform::SocketApi& api_;
  std::mutex& lock_;
  ConnectionIo io_;
  platform::SocketId listener_ = platform::kNoSocket;
  bool acceptPaused_ = false;  // accepting failed: retried at the next poll
  Connection clients_[kSlots];
  std::string peerNames_[kSlots];
  int32_t count_ = 0;  // guarded by the lock
};

}  // namespace qavz
