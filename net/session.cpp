#include "net/session.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/report_error.h"
#include "net/client.h"
#include "net/error_text.h"
#include "net/host_lookup.h"
#include "net/messages.h"
#include "net/server.h"
#include "net/socket_layer.h"
#include "platform/clock.h"

namespace qavz {

namespace {

using platform::SocketError;

// Every ring index and ring copy, on both sides.
std::mutex gRingLock;
// Opening and closing, so sessions never overlap.
std::mutex gSessionLock;

std::atomic<SessionRole> gRole{SessionRole::kNone};
std::atomic<bool> gRun{false};
std::atomic<bool> gThreadRunning{false};

// Never destroyed: a process that ends with a session running must not
// destroy what its network thread is still using.
struct Session {
  std::thread thread;
  std::unique_ptr<Server> server;
  std::unique_ptr<Client> client;
};
Session& gSession = *new Session;
std::thread& gThread = gSession.thread;
std::unique_ptr<Server>& gServer = gSession.server;
std::unique_ptr<Client>& gClient = gSession.client;

std::atomic<void (*)()> gWaitPump{nullptr};

platform::SocketApi& Api() { return platform::SystemSockets(); }

bool ValidPort(int32_t port) { return port >= 1 && port <= 65535; }

// Ticks every poll period (sending), waits for arrivals in between.
template <typename Role>
void PollLoop(Role& role, bool (*ended)(Role&)) {
  uint32_t next = platform::TickCount();
  while (gRun.load() && !ended(role)) {
    uint32_t now = platform::TickCount();
    int32_t left = int32_t(next - now);
    if (left > 0) {
      role.Wait(left);
      continue;
    }
    role.Tick();
    next += kPollMs;
    if (int32_t(next - now) <= 0) next = now + kPollMs;  // fell behind: no burst of catching up
  }
}

void ServerThread(Server* server) {
  PollLoop<Server>(*server, [](Server&) { return false; });
  server->Shut();
  gThreadRunning.store(false);
}

// The server's addresses, each tried in turn. A numeric address without the
// socket layer fails as socket creation would; a name, as its lookup would.
bool ConnectClient(Client& client, const std::string& host, uint16_t port) {
  std::vector<platform::SocketAddress> addresses;
  platform::SocketAddress numeric;
  if (!SocketLayerStarted()) {
    if (Api().ParseAddress(host, &numeric))
      ReportSocketErrorCode(kSocketLayerNotStarted);
    else
      ReportError(kLevelFault, "%s", msg::kCannotConnect);
    return false;
  }
  Lookup found = LookUpHost(Api(), host, &addresses, gRun);
  if (found == Lookup::kAbandoned) return false;
  if (found == Lookup::kNotFound) {
    ReportError(kLevelFault, "%s", msg::kCannotConnect);
    return false;
  }
  SocketError last = SocketError::kOther;
  for (platform::SocketAddress& address : addresses) {
    address.port = port;
    if (!client.StartConnect(address, &last)) continue;
    for (;;) {
      if (!gRun.load()) return false;
      SocketError result = client.PollConnect(kPollMs);
      if (result == SocketError::kNone) return true;
      if (result == SocketError::kInProgress) continue;
      last = result;
      break;
    }
  }
  if (gRun.load()) ReportSocketError(last);
  return false;
}

// Connecting starts at the first poll, so a script sees "connecting" right
// after opening even on the local machine.
void ClientThread(Client* client, std::string host, uint16_t port) {
  platform::SleepMilliseconds(kPollMs);
  if (gRun.load() && ConnectClient(*client, host, port))
    PollLoop<Client>(*client, [](Client& c) { return c.Ended(); });
  client->Finish();
  gThreadRunning.store(false);
}

// With gSessionLock held.
void CloseLocked() {
  {
    std::lock_guard lock(gRingLock);
    gRole.store(SessionRole::kNone);
  }
  gRun.store(false);
  while (gThreadRunning.load()) {
    if (void (*pump)() = gWaitPump.load()) pump();
    platform::SleepMilliseconds(1);
  }
  if (gThread.joinable()) gThread.join();
  gServer.reset();
  gClient.reset();
}

template <typename Body>
bool StartThread(Body body) {
  gRun.store(true);
  gThreadRunning.store(true);
  try {
    gThread = std::thread(body);
    return true;
  } catch (...) {
    gRun.store(false);
    gThreadRunning.store(false);
    return false;
  }
}

Connection* ScriptConnection(int32_t client) {
  switch (gRole.load()) {
    case SessionRole::kServer:
      return gServer->Slot(client);
    case SessionRole::kClient:
      return gClient->Link();
    default:
      return nullptr;
  }
}

}  // namespace

int32_t OpenServer(int32_t port) {
  std::lock_guard session(gSessionLock);
  CloseLocked();
  if (!SocketLayerStarted()) return 0;
  if (!ValidPort(port)) {
    ReportSocketError(SocketError::kInvalid);
    return 0;
  }
  auto server = std::make_unique<Server>(Api(), gRingLock);
  if (!server->Listen(uint16_t(port))) return 0;
  gServer = std::move(server);
  if (!StartThread([server = gServer.get()] { ServerThread(server); })) {
    gServer.reset();
    return 0;
  }
  std::lock_guard lock(gRingLock);
  gRole.store(SessionRole::kServer);
  return 1;
}

int32_t OpenClient(const std::string& host, int32_t port) {
  std::lock_guard session(gSessionLock);
  CloseLocked();
  if (host.size() > kMaxHostName) {
    ReportError(kLevelFault, "%s", msg::kCannotConnect);
    return 0;
  }
  if (!ValidPort(port)) {
    ReportSocketError(SocketError::kInvalid);
    return 0;
  }
  gClient = std::make_unique<Client>(Api(), gRingLock);
  {
    std::lock_guard lock(gRingLock);
    gClient->Begin();
  }
  if (!StartThread([client = gClient.get(), host, port] { ClientThread(client, host, uint16_t(port)); })) {
    gClient.reset();
    return 0;
  }
  std::lock_guard lock(gRingLock);
  gRole.store(SessionRole::kClient);
  return 1;
}

void CloseSession() noexcept {
  std::lock_guard session(gSessionLock);
  CloseLocked();
}

int32_t SessionSend(int32_t client, Addr data, int32_t length) noexcept {
  std::lock_guard lock(gRingLock);
  Connection* c = ScriptConnection(client);
  return c ? QueueFromScript(*c, data, length) : -1;
}

int32_t SessionReceive(int32_t client, Addr buffer, int32_t length) noexcept {
  std::lock_guard lock(gRingLock);
  Connection* c = ScriptConnection(client);
  return c ? TakeForScript(*c, buffer, length) : -1;
}

int32_t SessionState() noexcept {
  std::lock_guard lock(gRingLock);
  switch (gRole.load()) {
    case SessionRole::kServer:
      return gThreadRunning.load() ? 1 : 0;
    case SessionRole::kClient:
      return gClient->State();
    default:
      return 0;
  }
}

SessionRole CurrentRole() noexcept { return gRole.load(); }

void SetNetworkWaitPump(void (*pump)()) noexcept { gWaitPump.store(pump); }

}  // namespace qavz
