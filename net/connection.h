// One TCP connection of a session (a server's client slot or a client's link
// to its server): the socket and a ring for each direction.
//
// The script side and the network thread meet only here, under the session's
// one lock. The script queues into `send` and takes from `receive`; the
// network thread alone touches the socket, moving bytes between it and the
// rings every poll and whenever data arrives.
#pragma once

#include <cstdint>
#include <mutex>

#include "net/byte_ring.h"
#include "platform/sockets.h"
#include "vm/arena.h"

namespace qavz {

// The network thread's poll period in milliseconds.
constexpr int32_t kPollMs = 5;

struct Connection {
  platform::SocketId socket = platform::kNoSocket;  // the network thread's alone
  // Guarded by the session lock:
  ByteRing send;
  ByteRing receive;
  bool open = false;      // the script may use it
  bool connected = true;  // a client's link once its connection is made
  bool peerGone = false;  // closed or failed: no more socket calls

  // Under the lock: a new connection on `socket`, both rings empty.
  void Reset(platform::SocketId s, bool isConnected) noexcept;
};

// Network-thread side. Socket calls run outside the lock: the script only
// writes free bytes of `send` and reads used bytes of `receive`, so the
// pieces handed to a socket call stay still until the lock publishes them.
class ConnectionIo {
 public:
  ConnectionIo(platform::SocketApi& api, std::mutex& lock) noexcept : api_(api), lock_(lock) {}

  // Sends the queued bytes, as many as the socket takes now; the rest waits
  // for the next poll. A failure is reported and ends the connection.
  void Flush(Connection& c) noexcept;
  // Receives what has arrived, as much as the receive ring has room for;
  // a full ring leaves the rest with the system until the script reads.
  void Fill(Connection& c) noexcept;
  // True while the connection can take more bytes from its socket.
  bool Receivable(Connection& c) noexcept;
  // The peer closed or a call failed: nothing more is sent or received, and
  // the script may read what arrived before the connection ends.
  void MarkGone(Connection& c) noexcept;
  // True once the connection has ended: the peer is gone and the script has
  // read every byte, or the script can no longer see it.
  bool Ended(Connection& c) noexcept;

 private:
  platform::SocketApi& api_;
  std::mutex& lock_;
};

// Script side, called with the session lock held. Queue copies
// min(length, free space) bytes from script memory, Take copies
// min(length, bytes received) into it; each gives that count, or -1 when the
// bytes to copy are not all in live script memory.
int32_t QueueFromScript(Connection& c, Addr data, int32_t length) noexcept;
int32_t TakeForScript(Connection& c, Addr buffer, int32_t length) noexcept;

}  // namespace qavz
