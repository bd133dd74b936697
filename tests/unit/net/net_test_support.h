// Real TCP peers on the loopback for the session tests, the natives called
// the way a script calls them, and the error messages a session reports.
#pragma once

#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/config.h"
#include "core/report_error.h"
#include "net/session.h"
#include "net/socket_layer.h"
#include "tests/support/script_memory.h"
#include "vm/native_table.h"

namespace qavz::test {

// Polls `done` every millisecond for up to `ms`.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 3000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

inline int OpenFileCount() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) ++n;
    closedir(d);
  }
  return n;
}

// A socket of the test's own, closed when it goes.
class Peer {
 public:
  Peer() = default;
  explicit Peer(int fd) : fd_(fd) {}
  Peer(Peer&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
  Peer& operator=(Peer&& o) noexcept {
    std::swap(fd_, o.fd_);
    return *this;
  }
  ~Peer() { Close(); }
  int fd() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  // Closing with linger 0 resets the connection.
  void Reset() {
    linger off{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &off, sizeof off);
    Close();
  }
  bool SendAll(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return false;
      done += size_t(n);
    }
    return true;
  }
  // Up to `n` bytes within `ms`; fewer when the peer closes.
  std::string Receive(size_t n, int ms = 3000) {
    std::string got;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (got.size() < n && std::chrono::steady_clock::now() < end) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 10) <= 0) continue;
      char buf[65536];
      ssize_t r = recv(fd_, buf, std::min(sizeof buf, n - got.size()), 0);
      if (r <= 0) break;
      got.append(buf, size_t(r));
    }
    return got;
  }
  // True once the peer has closed or reset the connection (within `ms`).
  bool SeesEnd(int ms = 3000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 10) <= 0) continue;
      char buf[4096];
      ssize_t r = recv(fd_, buf, sizeof buf, 0);
      if (r <= 0) return true;
    }
    return false;
  }
  uint16_t Port() const {
    sockaddr_storage a{};
    socklen_t size = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size);
    return a.ss_family == AF_INET ? ntohs(reinterpret_cast<sockaddr_in*>(&a)->sin_port)
                                  : ntohs(reinterpret_cast<sockaddr_in6*>(&a)->sin6_port);
  }

 private:
  int fd_ = -1;
};

inline bool FillAddress(const std::string& host, uint16_t port, sockaddr_storage* a, socklen_t* size) {
  std::memset(a, 0, sizeof *a);
  auto* v4 = reinterpret_cast<sockaddr_in*>(a);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(a);
  if (inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = htons(port);
    *size = sizeof *v4;
    return true;
  }
  if (inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(port);
    *size = sizeof *v6;
    return true;
  }
  return false;
}

// A listening socket on host:port (port 0: one the system picks).
inline Peer Listener(const std::string& host = "127.0.0.1", uint16_t port = 0, int backlog = 5) {
  sockaddr_storage a;
  socklen_t size;
  if (!FillAddress(host, port, &a, &size)) return Peer();
  Peer p(socket(a.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
  int on = 1;
  setsockopt(p.fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (a.ss_family == AF_INET6) setsockopt(p.fd(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
  if (bind(p.fd(), reinterpret_cast<sockaddr*>(&a), size) != 0 || listen(p.fd(), backlog) != 0) return Peer();
  return p;
}

inline Peer AcceptOn(const Peer& listener, int ms = 3000) {
  pollfd p{listener.fd(), POLLIN, 0};
  if (poll(&p, 1, ms) <= 0) return Peer();
  return Peer(accept4(listener.fd(), nullptr, nullptr, SOCK_CLOEXEC));
}

// A blocking connection to host:port, or a closed Peer.
inline Peer ConnectTo(uint16_t port, const std::string& host = "127.0.0.1") {
  sockaddr_storage a;
  socklen_t size;
  if (!FillAddress(host, port, &a, &size)) return Peer();
  Peer p(socket(a.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (connect(p.fd(), reinterpret_cast<sockaddr*>(&a), size) != 0) return Peer();
  return p;
}

// A port nobody listens on just now.
inline uint16_t UnusedPort() { return Listener().Port(); }

inline bool HasIpv6Loopback() { return Listener("::1").ok(); }

// The messages a session reports, whichever thread reports them.
class Messages {
 public:
  static Messages& Get() {
    static Messages m;
    return m;
  }
  void Install() {
    Clear();
    SetHeadless(false);
    SetErrorLevel(1);
    SetErrorBox(Box);
  }
  void Uninstall() {
    SetErrorBox(nullptr);
    SetErrorLevel(0);
  }
  void Clear() {
    std::lock_guard lock(lock_);
    shown_.clear();
  }
  std::vector<std::string> Shown() {
    std::lock_guard lock(lock_);
    return shown_;
  }
  int Count(const std::string& text) {
    std::lock_guard lock(lock_);
    return int(std::count(shown_.begin(), shown_.end(), text));
  }
  bool WaitFor(const std::string& text, int ms = 3000) {
    return WaitUntil([&] { return Count(text) > 0; }, ms);
  }

 private:
  static int Box(const char* text) {
    std::lock_guard lock(Get().lock_);
    Get().shown_.push_back(text);
    return 1;
  }
  std::mutex lock_;
  std::vector<std::string> shown_;
};

// The natives as a script calls them, with their data in script memory.
class NetNatives {
 public:
  int32_t Open(const std::string* host, int32_t port) {
    Addr name = 0;
    if (host) {
      name = host_;
      std::memset(memory_.Host(host_), 0, kHostBuffer);
      std::memcpy(memory_.Host(host_), host->data(), std::min<size_t>(host->size(), kHostBuffer - 1));
    }
    return Native_net_open(Args(int32_t(name), Addr(port), 0));
  }
  int32_t Serve(int32_t port) { return Open(nullptr, port); }
  int32_t Connect(const std::string& host, int32_t port) { return Open(&host, port); }
  int32_t Close() { return Native_net_close(args_); }
  int32_t State() { return Native_net_state(args_); }
  int32_t Send(int32_t client, const std::string& bytes) {
    std::memcpy(memory_.Host(data_), bytes.data(), std::min<size_t>(bytes.size(), kBuffer));
    return Native_net_send(Args(client, data_, int32_t(bytes.size())));
  }
  int32_t SendAt(int32_t client, Addr data, int32_t length) {
    return Native_net_send(Args(client, data, length));
  }
  int32_t RecvAt(int32_t client, Addr buffer, int32_t length) {
    return Native_net_recv(Args(client, buffer, length));
  }
  // One net_recv of up to `n` bytes into `out`; its result.
  int32_t Recv(int32_t client, std::string& out, int32_t n = kBuffer) {
    int32_t got = Native_net_recv(Args(client, data_, n));
    if (got > 0) out.append(reinterpret_cast<const char*>(memory_.Host(data_)), size_t(got));
    return got;
  }
  // net_recv until `n` bytes have come (or `ms` pass); what came.
  std::string RecvAll(int32_t client, size_t n, int ms = 5000) {
    std::string out;
    WaitUntil(
        [&] {
          while (Recv(client, out) > 0) {
          }
          return out.size() >= n;
        },
        ms);
    return out;
  }
  static constexpr int32_t kBuffer = 65536;
  static constexpr uint32_t kHostBuffer = 1024;
  Addr data() const { return data_; }
  Addr host() const { return host_; }

 private:
  Addr Args(int32_t a, Addr b, int32_t c) {
    TheArena().Write(args_, a);
    TheArena().Write(args_ + 4, int32_t(b));
    TheArena().Write(args_ + 8, c);
    return args_;
  }
  ScriptMemory memory_{1 << 20};
  Addr data_ = memory_.Buffer(kBuffer);
  Addr args_ = memory_.Buffer(16);
  Addr host_ = memory_.Buffer(kHostBuffer);
};

// Every session test starts with the socket layer up and messages caught,
// and ends with the session closed.
class NetSession : public testing::Test {
 protected:
  void SetUp() override {
    StartSocketLayer();
    Messages::Get().Install();
  }
  void TearDown() override {
    CloseSession();
    Messages::Get().Uninstall();
  }
  Messages& messages() { return Messages::Get(); }
  NetNatives net;
};

}  // namespace qavz::test
