#include "net/server.h"

#include "core/report_error.h"
#include "net/error_text.h"
#include "net/messages.h"
#include "platform/clock.h"

namespace qavz {

using platform::kNoSocket;
using platform::SocketError;
using platform::SocketId;

bool Server::Listen(uint16_t port) noexcept {
  Shut();
  SocketError error = SocketError::kNone;
  listener_ = api_.Listen(port, &error);
  if (listener_ != kNoSocket) return true;
  ReportSocketError(error);
  return false;
}

// Accepting and receiving are tried here too, not only when the wait
// reports readiness: some systems' loopbacks miss a wake-up now and then.
void Server::Tick() noexcept {
  acceptPaused_ = false;
  DropEnded();
  for (Connection& c : clients_)
    if (c.socket != kNoSocket) io_.Flush(c);
  if (listener_ != kNoSocket) AcceptAll();
  for (Connection& c : clients_)
    if (io_.Receivable(c)) io_.Fill(c);
}

// A client the script has seen end gives its slot back.
void Server::DropEnded() noexcept {
  for (Connection& c : clients_)
    if (c.socket != kNoSocket && io_.Ended(c)) Drop(c);
}

void Server::Wait(int32_t waitMs) noexcept {
  SocketId sockets[1 + kSlots];
  Connection* owners[1 + kSlots];
  int32_t n = 0;
  if (listener_ != kNoSocket && !acceptPaused_) {
    sockets[n] = listener_;
    owners[n++] = nullptr;
  }
  for (Connection& c : clients_)
    if (io_.Receivable(c)) {
      sockets[n] = c.socket;
      owners[n++] = &c;
    }
  bool ready[1 + kSlots] = {};
  SocketError error = SocketError::kNone;
  if (n == 0 || api_.WaitReadable(sockets, ready, n, waitMs, &error) < 0) {
    // Nothing to wait for, or the wait itself failed: sit out the period.
    platform::SleepMilliseconds(uint32_t(waitMs > 0 ? waitMs : 0));
    return;
  }
  for (int32_t i = 0; i < n; ++i) {
    if (!ready[i]) continue;
    if (owners[i])
      io_.Fill(*owners[i]);
    else
      AcceptAll();
  }
}

// The waiting connections are taken: the lowest free slot gets each, and
// with all five taken it is closed at once (linger 0 makes that a reset). A
// peer that connects without pause cannot hold the thread here: at most a
// few per wait, the rest at the next.
void Server::AcceptAll() noexcept {
  constexpr int kMostPerWait = 16;
  for (int taken = 0; taken < kMostPerWait; ++taken) {
    platform::SocketAddress peer;
    SocketError error = SocketError::kNone;
    SocketId s = api_.Accept(listener_, &peer, &error);
    if (s == kNoSocket) {
      if (error == SocketError::kWouldBlock) return;
      // A client that gave up before it was taken is no failure of ours.
      if (error == SocketError::kInterrupted || error == SocketError::kConnectionAborted) continue;
      ReportSocketError(error);
      acceptPaused_ = true;  // e.g. out of descriptors: not again before the next poll
      return;
    }
    if (!api_.SetLingerZero(s, &error)) {
      ReportSocketError(error);
      api_.Close(s);
      continue;
    }
    DropEnded();
    int32_t slot = 0;
    while (slot < kSlots && clients_[slot].socket != kNoSocket) ++slot;
    if (slot == kSlots) {
      ReportError(kLevelFault, "%s", msg::kTooManyClients);
      api_.Close(s);
      continue;
    }
    peerNames_[slot] = api_.AddressText(peer);
    std::lock_guard lock(lock_);
    clients_[slot].Reset(s, true);
    ++count_;
  }
}

void Server::Drop(Connection& c) noexcept {
  api_.Close(c.socket);
  c.socket = kNoSocket;
  std::lock_guard lock(lock_);
  c.open = false;
  c.peerGone = false;
  c.send.Clear();
  c.receive.Clear();
  --count_;
}

void Server::Shut() noexcept {
  for (Connection& c : clients_)
    if (c.socket != kNoSocket) Drop(c);
  if (listener_ != kNoSocket) api_.Close(listener_);
  listener_ = kNoSocket;
  acceptPaused_ = false;
}

Connection* Server::Slot(int32_t client) noexcept {
  if (client < 0 || client >= kSlots || !clients_[client].open) return nullptr;
  return &clients_[client];
}

}  // namespace qavz
