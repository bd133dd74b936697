#include "net/client.h"

#include "platform/clock.h"

namespace qavz {

using platform::kNoSocket;
using platform::SocketError;

bool Client::StartConnect(const platform::SocketAddress& to, SocketError* error) noexcept {
  link_.socket = api_.Connect(to, error);
  return link_.socket != kNoSocket;
}

SocketError Client::PollConnect(int32_t waitMs) noexcept {
  SocketError result = api_.ConnectResult(link_.socket, waitMs);
  if (result == SocketError::kNone) {
    std::lock_guard lock(lock_);
    link_.connected = true;
  } else if (result != SocketError::kInProgress) {
    api_.Close(link_.socket);
    link_.socket = kNoSocket;
  }
  return result;
}

void Client::Tick() noexcept {
  io_.Flush(link_);
  if (io_.Receivable(link_)) io_.Fill(link_);
}

void Client::Wait(int32_t waitMs) noexcept {
  bool ready = false;
  SocketError error = SocketError::kNone;
  if (!io_.Receivable(link_) || api_.WaitReadable(&link_.socket, &ready, 1, waitMs, &error) < 0) {
    platform::SleepMilliseconds(uint32_t(waitMs > 0 ? waitMs : 0));
    return;
  }
  if (ready) io_.Fill(link_);
}

void Client::Finish() noexcept {
  api_.Close(link_.socket);
  link_.socket = kNoSocket;
  std::lock_guard lock(lock_);
  link_.open = false;
  link_.peerGone = false;
  link_.send.Clear();
  link_.receive.Clear();
}

}  // namespace qavz
