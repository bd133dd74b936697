#include "platform/instance_lock.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

namespace qavz::platform {

namespace {

constexpr char kRaise[] = "raise";

int gListener = -1;
std::thread gAcceptor;

socklen_t AbstractAddress(const char* name, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  // sun_path[0] stays 0: the abstract namespace, no file on disk.
  int n =
      std::snprintf(address->sun_path + 1, sizeof address->sun_path - 1, "%s.%u", name, unsigned(getuid()));
  return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(n));
}

void AskOwnerToRaise(const sockaddr_un& address, socklen_t length) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0)
    (void)!write(fd, kRaise, sizeof kRaise - 1);
  close(fd);
}

void AcceptRequests(int listener, void (*onRaiseRequest)()) {
  for (;;) {
    int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;  // the listener was shut down
    }
    char buffer[sizeof kRaise] = {};
    ssize_t n = read(fd, buffer, sizeof buffer - 1);
    close(fd);
    if (n == ssize_t(sizeof kRaise - 1) && std::memcmp(buffer, kRaise, size_t(n)) == 0 && onRaiseRequest)
      onRaiseRequest();
  }
}

}  // namespace

InstanceLockResult AcquireInstanceLock(const char* name, void (*onRaiseRequest)()) {
  if (gListener >= 0) return InstanceLockResult::kOwned;
  sockaddr_un address;
  socklen_t length = AbstractAddress(name, &address);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return InstanceLockResult::kFailed;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    int error = errno;
    close(fd);
    if (error != EADDRINUSE) return InstanceLockResult::kFailed;
    AskOwnerToRaise(address, length);
    return InstanceLockResult::kAnotherRuns;
  }
  if (listen(fd, 4) != 0) {
    close(fd);
    return InstanceLockResult::kFailed;
  }
  gListener = fd;
  gAcceptor = std::thread(AcceptRequests, fd, onRaiseRequest);
  return InstanceLockResult::kOwned;
}

void ReleaseInstanceLock() {
  if (gListener < 0) return;
  shutdown(gListener, SHUT_RDWR);  // ends the acceptor's accept()
  if (gAcceptor.joinable()) gAcceptor.join();
  close(gListener);
  gListener = -1;
}

}  // namespace qavz::platform
