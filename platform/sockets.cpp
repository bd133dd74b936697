#include "platform/sockets.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qavz::platform {

namespace {

struct ErrnoRow {
  int code;
  SocketError error;
};

// Several system codes meet in one condition where the system the titles
// were written for knows only one.
constexpr ErrnoRow kErrnoRows[] = {
    {EINTR, SocketError::kInterrupted},
    {EBADF, SocketError::kBadHandle},
    {EACCES, SocketError::kAccess},
    {EPERM, SocketError::kAccess},
    {EFAULT, SocketError::kFault},
    {EINVAL, SocketError::kInvalid},
    {EMFILE, SocketError::kTooManyFiles},
    {ENFILE, SocketError::kTooManyFiles},
    {EWOULDBLOCK, SocketError::kWouldBlock},
    {EAGAIN, SocketError::kWouldBlock},
    {EINPROGRESS, SocketError::kInProgress},
    {EALREADY, SocketError::kAlready},
    {ENOTSOCK, SocketError::kNotSocket},
    {EDESTADDRREQ, SocketError::kDestinationRequired},
    {EMSGSIZE, SocketError::kMessageSize},
    {EPROTOTYPE, SocketError::kProtocolType},
    {ENOPROTOOPT, SocketError::kProtocolOption},
    {EPROTONOSUPPORT, SocketError::kProtocolNotSupported},
    {ESOCKTNOSUPPORT, SocketError::kSocketTypeNotSupported},
    {EOPNOTSUPP, SocketError::kOperationNotSupported},
    {EPFNOSUPPORT, SocketError::kProtocolFamilyNotSupported},
    {EAFNOSUPPORT, SocketError::kAddressFamilyNotSupported},
    {EADDRINUSE, SocketError::kAddressInUse},
    {EADDRNOTAVAIL, SocketError::kAddressNotAvailable},
    {ENETDOWN, SocketError::kNetworkDown},
    {ENETUNREACH, SocketError::kNetworkUnreachable},
    {ENETRESET, SocketError::kNetworkReset},
    {ECONNABORTED, SocketError::kConnectionAborted},
    {ECONNRESET, SocketError::kConnectionReset},
    {EPIPE, SocketError::kConnectionReset},
    {ENOBUFS, SocketError::kNoBuffers},
    {ENOMEM, SocketError::kNoBuffers},
    {EISCONN, SocketError::kIsConnected},
    {ENOTCONN, SocketError::kNotConnected},
    {ESHUTDOWN, SocketError::kShutDown},
    {ETOOMANYREFS, SocketError::kTooManyReferences},
    {ETIMEDOUT, SocketError::kTimedOut},
    {ECONNREFUSED, SocketError::kConnectionRefused},
    {ELOOP, SocketError::kLoop},
    {ENAMETOOLONG, SocketError::kNameTooLong},
    {EHOSTDOWN, SocketError::kHostDown},
    {EHOSTUNREACH, SocketError::kHostUnreachable},
    {ENOTEMPTY, SocketError::kNotEmpty},
    {EUSERS, SocketError::kUsers},
    {EDQUOT, SocketError::kQuota},
    {ESTALE, SocketError::kStale},
    {EREMOTE, SocketError::kRemote},
};

SocketError FromErrno(int code) {
  for (const ErrnoRow& row : kErrnoRows)
    if (row.code == code) return row.error;
  return SocketError::kOther;
}

SocketError LastError() { return FromErrno(errno); }

SocketError FromLookup(int code) {
  switch (code) {
    case EAI_NONAME:
      return SocketError::kHostNotFound;
    case EAI_AGAIN:
      return SocketError::kTryAgain;
    case EAI_FAIL:
      return SocketError::kNoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA:
      return SocketError::kNoData;
#endif
    case EAI_SYSTEM:
      return LastError();
    default:
      return SocketError::kOther;
  }
}

void Set(SocketError* out, SocketError error) {
  if (out) *out = error;
}

bool SetFlag(int fd, int level, int option, int value) {
  return setsockopt(fd, level, option, &value, sizeof value) == 0;
}

socklen_t ToSystem(const SocketAddress& from, sockaddr_storage* to) {
  std::memset(to, 0, sizeof *to);
  if (from.family == 4) {
    auto* v4 = reinterpret_cast<sockaddr_in*>(to);
    v4->sin_family = AF_INET;
    v4->sin_port = htons(from.port);
    std::memcpy(&v4->sin_addr, from.bytes, 4);
    return sizeof *v4;
  }
  auto* v6 = reinterpret_cast<sockaddr_in6*>(to);
  v6->sin6_family = AF_INET6;
  v6->sin6_port = htons(from.port);
  std::memcpy(&v6->sin6_addr, from.bytes, 16);
  v6->sin6_scope_id = from.scope;
  return sizeof *v6;
}

bool FromSystem(const sockaddr* from, SocketAddress* to) {
  *to = SocketAddress{};
  if (from->sa_family == AF_INET) {
    auto* v4 = reinterpret_cast<const sockaddr_in*>(from);
    to->family = 4;
    to->port = ntohs(v4->sin_port);
    std::memcpy(to->bytes, &v4->sin_addr, 4);
    return true;
  }
  if (from->sa_family == AF_INET6) {
    auto* v6 = reinterpret_cast<const sockaddr_in6*>(from);
    to->family = 6;
    to->port = ntohs(v6->sin6_port);
    std::memcpy(to->bytes, &v6->sin6_addr, 16);
    to->scope = v6->sin6_scope_id;
    return true;
  }
  return false;
}

// Binds and listens; false with the error (the socket is closed then).
bool BindAndListen(int fd, const sockaddr* address, socklen_t size, SocketError* error) {
  if (bind(fd, address, size) == 0 && listen(fd, 5) == 0) return true;
  Set(error, LastError());
  close(fd);
  return false;
}

// Every local address, IPv6 with IPv4 mapped in, so clients of either
// family reach the one listener.
SocketId ListenBoth(uint16_t port, SocketError* error, bool* noIpv6) {
  int fd = socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *noIpv6 = true;
    return kNoSocket;
  }
  if (!SetFlag(fd, IPPROTO_IPV6, IPV6_V6ONLY, 0) || !SetFlag(fd, SOL_SOCKET, SO_REUSEADDR, 1)) {
    *noIpv6 = true;
    close(fd);
    return kNoSocket;
  }
  sockaddr_in6 any{};
  any.sin6_family = AF_INET6;
  any.sin6_addr = in6addr_any;
  any.sin6_port = htons(port);
  SocketError failed = SocketError::kNone;
  if (BindAndListen(fd, reinterpret_cast<sockaddr*>(&any), sizeof any, &failed)) return fd;
  // IPv6 present in the system but not usable on this machine.
  *noIpv6 = failed == SocketError::kAddressNotAvailable || failed == SocketError::kAddressFamilyNotSupported;
  Set(error, failed);
  return kNoSocket;
}

SocketId ListenIpv4(uint16_t port, SocketError* error) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    Set(error, LastError());
    return kNoSocket;
  }
  if (!SetFlag(fd, SOL_SOCKET, SO_REUSEADDR, 1)) {
    Set(error, LastError());
    close(fd);
    return kNoSocket;
  }
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  any.sin_port = htons(port);
  return BindAndListen(fd, reinterpret_cast<sockaddr*>(&any), sizeof any, error) ? fd : kNoSocket;
}

class PosixSockets final : public SocketApi {
 public:
  SocketId Listen(uint16_t port, SocketError* error) override {
    bool noIpv6 = false;
    SocketId fd = ListenBoth(port, error, &noIpv6);
    if (fd != kNoSocket || !noIpv6) return fd;
    return ListenIpv4(port, error);
  }

  SocketId Accept(SocketId listener, SocketAddress* peer, SocketError* error) override {
    sockaddr_storage from{};
    socklen_t size = sizeof from;
    int fd = accept4(listener, reinterpret_cast<sockaddr*>(&from), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      Set(error, LastError());
      return kNoSocket;
    }
    if (peer) FromSystem(reinterpret_cast<sockaddr*>(&from), peer);
    return fd;
  }

  bool SetLingerZero(SocketId socket, SocketError* error) override {
    linger off{1, 0};
    if (setsockopt(socket, SOL_SOCKET, SO_LINGER, &off, sizeof off) == 0) return true;
    Set(error, LastError());
    return false;
  }

  SocketId Connect(const SocketAddress& to, SocketError* error) override {
    sockaddr_storage address;
    socklen_t size = ToSystem(to, &address);
    int fd = socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      Set(error, LastError());
      return kNoSocket;
    }
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 || errno == EINPROGRESS) return fd;
    Set(error, LastError());
    close(fd);
    return kNoSocket;
  }

  SocketError ConnectResult(SocketId socket, int32_t waitMs) override {
    pollfd p{socket, POLLOUT, 0};
    int n = poll(&p, 1, waitMs < 0 ? 0 : waitMs);
    if (n < 0) return errno == EINTR ? SocketError::kInProgress : LastError();
    if (n == 0) return SocketError::kInProgress;
    int failure = 0;
    socklen_t size = sizeof failure;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &failure, &size) != 0) return LastError();
    return failure == 0 ? SocketError::kNone : FromErrno(failure);
  }

  int32_t Send(SocketId socket, const uint8_t* data, int32_t size, SocketError* error) override {
    ssize_t n = send(socket, data, size_t(size), MSG_NOSIGNAL);
    if (n >= 0) return int32_t(n);
    Set(error, LastError());
    return -1;
  }

  int32_t Receive(SocketId socket, uint8_t* data, int32_t size, SocketError* error) override {
    ssize_t n = recv(socket, data, size_t(size), 0);
    if (n >= 0) return int32_t(n);
    Set(error, LastError());
    return -1;
  }

  int32_t WaitReadable(const SocketId* sockets, bool* ready, int32_t count, int32_t waitMs,
                       SocketError* error) override {
    constexpr int kMost = 64;
    pollfd polled[kMost];
    if (count > kMost) count = kMost;
    for (int32_t i = 0; i < count; ++i) polled[i] = pollfd{sockets[i], POLLIN, 0};
    int n = poll(polled, nfds_t(count), waitMs < 0 ? 0 : waitMs);
    if (n < 0) {
      Set(error, LastError());
      return -1;
    }
    for (int32_t i = 0; i < count; ++i) ready[i] = polled[i].revents != 0;
    return n;
  }

  void Close(SocketId socket) override {
    if (socket >= 0) close(socket);
  }

  bool ParseAddress(const std::string& text, SocketAddress* out) override {
    in_addr v4;
    if (inet_aton(text.c_str(), &v4) != 0) {
      *out = SocketAddress{};
      out->family = 4;
      std::memcpy(out->bytes, &v4, 4);
      return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    hints.ai_flags = AI_NUMERICHOST;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(text.c_str(), nullptr, &hints, &found) != 0) return false;
    bool ok = FromSystem(found->ai_addr, out);
    freeaddrinfo(found);
    return ok;
  }

  bool Resolve(const std::string& name, std::vector<SocketAddress>* out, SocketError* error) override {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int code = getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (code != 0) {
      Set(error, FromLookup(code));
      return false;
    }
    out->clear();
    for (int family : {AF_INET, AF_INET6})
      for (addrinfo* a = found; a; a = a->ai_next) {
        SocketAddress address;
        if (a->ai_family == family && FromSystem(a->ai_addr, &address) && !Listed(*out, address))
          out->push_back(address);
      }
    freeaddrinfo(found);
    if (!out->empty()) return true;
    Set(error, SocketError::kNoData);
    return false;
  }

  std::string AddressText(const SocketAddress& address) override {
    static constexpr uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    char text[INET6_ADDRSTRLEN] = "";
    if (address.family == 4)
      inet_ntop(AF_INET, address.bytes, text, sizeof text);
    else if (std::memcmp(address.bytes, kMapped, 12) == 0)
      inet_ntop(AF_INET, address.bytes + 12, text, sizeof text);
    else
      inet_ntop(AF_INET6, address.bytes, text, sizeof text);
    return text;
  }

 private:
  static bool Listed(const std::vector<SocketAddress>& list, const SocketAddress& a) {
    for (const SocketAddress& b : list)
      if (b.family == a.family && std::memcmp(b.bytes, a.bytes, 16) == 0) return true;
    return false;
  }
};

}  // namespace

SocketApi& SystemSockets() {
  static PosixSockets sockets;
  return sockets;
}

}  // namespace qavz::platform
