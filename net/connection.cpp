#include "net/connection.h"

#include <algorithm>

#include "net/error_text.h"

namespace qavz {

using platform::SocketError;

void Connection::Reset(platform::SocketId s, bool isConnected) noexcept {
  socket = s;
  send.Clear();
  receive.Clear();
  open = true;
  connected = isConnected;
  peerGone = false;
}

void ConnectionIo::Flush(Connection& c) noexcept {
  for (;;) {
    ByteRing::Piece piece;
    {
      std::lock_guard lock(lock_);
      if (c.peerGone) {
        c.send.Clear();  // nobody will read these
        return;
      }
      piece = c.send.UsedPiece();
    }
    if (piece.size == 0) return;
    SocketError error = SocketError::kNone;
    int32_t sent = api_.Send(c.socket, piece.data, int32_t(piece.size), &error);
    if (sent > 0) {
      std::lock_guard lock(lock_);
      c.send.Consume(uint32_t(sent));
      if (uint32_t(sent) < piece.size) return;  // the socket is full for now
      continue;
    }
    if (sent == 0 || error == SocketError::kWouldBlock) return;
    if (error == SocketError::kInterrupted) continue;
    ReportSocketError(error);
    MarkGone(c);
    return;
  }
}

void ConnectionIo::Fill(Connection& c) noexcept {
  for (;;) {
    ByteRing::Piece piece;
    {
      std::lock_guard lock(lock_);
      if (c.peerGone) return;
      piece = c.receive.FreePiece();
    }
    if (piece.size == 0) return;
    SocketError error = SocketError::kNone;
    int32_t got = api_.Receive(c.socket, piece.data, int32_t(piece.size), &error);
    if (got > 0) {
      std::lock_guard lock(lock_);
      c.receive.Commit(uint32_t(std::min(uint32_t(got), piece.size)));
      continue;  // more may wait, or the close behind the data
    }
    if (got == 0) {
      MarkGone(c);
      return;
    }
    if (error == SocketError::kWouldBlock) return;
    if (error == SocketError::kInterrupted) continue;
    ReportSocketError(error);
    MarkGone(c);
    return;
  }
}

bool ConnectionIo::Receivable(Connection& c) noexcept {
  std::lock_guard lock(lock_);
  return c.socket != platform::kNoSocket && !c.peerGone && c.receive.Free() > 0;
}

void ConnectionIo::MarkGone(Connection& c) noexcept {
  std::lock_guard lock(lock_);
  c.peerGone = true;
  c.send.Clear();
  if (c.receive.Used() == 0) c.open = false;
}

bool ConnectionIo::Ended(Connection& c) noexcept {
  std::lock_guard lock(lock_);
  return !c.open;
}

int32_t QueueFromScript(Connection& c, Addr data, int32_t length) noexcept {
  if (length <= 0) return 0;
  uint32_t count = std::min(uint32_t(length), c.send.Free());
  if (count == 0) return 0;
  const uint8_t* bytes = TheArena().Span(data, count);
  if (!bytes) return -1;
  return int32_t(c.send.Put(bytes, count));
}

// The last bytes of a connection whose peer is gone end it: the next call
// sees no client.
int32_t TakeForScript(Connection& c, Addr buffer, int32_t length) noexcept {
  if (length <= 0) return 0;
  uint32_t count = std::min(uint32_t(length), c.receive.Used());
  if (count == 0) return 0;
  uint8_t* out = TheArena().Span(buffer, count);
  if (!out) return -1;
  c.receive.Take(out, count);
  if (c.peerGone && c.receive.Used() == 0) c.open = false;
  return int32_t(count);
}

}  // namespace qavz
