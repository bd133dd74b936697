// Drives the session logic (a server with its five slots, or a client's
// link) through a fake socket layer: the input decides which peers connect,
// what they send, when they close or reset, how much the sockets take, which
// calls fail, and when the script sends and reads. Checked after every step:
// each peer's bytes reach the script in order and nothing else does, what
// the script queues reaches its peer in order, no ring holds more than
// 8,191 bytes, at most five clients are held; at the end every byte of a
// peer that closed cleanly has reached the script, and no socket is left.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/client.h"
#include "net/server.h"
#include "vm/arena.h"

namespace {

using namespace qavz;
using platform::SocketAddress;
using platform::SocketError;
using platform::SocketId;

#define CHECK(cond)                                                                 \
  do {                                                                              \
    if (!(cond)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                 \
    }                                                                               \
  } while (0)

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool More() const { return pos_ < size_; }
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::string Bytes(size_t n) {
    std::string s;
    while (n-- > 0 && More()) s += char(Byte());
    return s;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// The far end of one connection.
struct Peer {
  std::string sent;       // everything it sent
  size_t taken = 0;       // how much of it our side has received
  std::string received;   // everything our side sent it
  size_t window = 0;      // bytes our side may send it now
  bool closed = false;    // it closed after `sent`
  bool reset = false;     // it reset the connection
  bool dropped = false;   // our side closed it
  std::string scriptGot;  // what the script read from it
  std::string queued;     // what the script queued for it
};

class FakeSockets final : public platform::SocketApi {
 public:
  std::vector<std::unique_ptr<Peer>> peers;
  std::vector<Peer*> pending;          // waiting on the listener
  std::map<SocketId, Peer*> ours;      // our side's open connection sockets
  std::map<SocketId, bool> listeners;  // open listening sockets
  SocketId nextId = 3;
  SocketError failNext = SocketError::kNone;  // the next call that can fail does
  int connectPolls = 0;                       // client: polls before the connection is made
  bool refuseConnect = false;

  int OpenCount() const { return int(ours.size() + listeners.size()) + (connecting != platform::kNoSocket); }

  SocketId Listen(uint16_t, SocketError* error) override {
    if (Fail(error)) return platform::kNoSocket;
    listeners[nextId] = true;
    return nextId++;
  }
  SocketId Accept(SocketId listener, SocketAddress* peer, SocketError* error) override {
    CHECK(listeners.count(listener));
    if (Fail(error)) return platform::kNoSocket;
    if (pending.empty()) {
      *error = SocketError::kWouldBlock;
      return platform::kNoSocket;
    }
    *peer = SocketAddress{};
    peer->family = 4;
    ours[nextId] = pending.front();
    pending.erase(pending.begin());
    return nextId++;
  }
  bool SetLingerZero(SocketId s, SocketError* error) override {
    CHECK(ours.count(s));
    return !Fail(error);
  }
  SocketId Connect(const SocketAddress&, SocketError* error) override {
    CHECK(connecting == platform::kNoSocket);
    if (Fail(error)) return platform::kNoSocket;
    connecting = nextId++;
    return connecting;
  }
  SocketError ConnectResult(SocketId s, int32_t) override {
    CHECK(s == connecting);
    if (refuseConnect) return SocketError::kConnectionRefused;
    if (connectPolls-- > 0) return SocketError::kInProgress;
    peers.push_back(std::make_unique<Peer>());
    ours[s] = peers.back().get();
    connecting = platform::kNoSocket;
    return SocketError::kNone;
  }
  int32_t Send(SocketId s, const uint8_t* data, int32_t size, SocketError* error) override {
    Peer* p = Of(s);
    CHECK(size > 0);
    if (Fail(error)) return -1;
    if (p->reset) return Set(error, SocketError::kConnectionReset);
    size_t n = std::min(size_t(size), p->window);
    if (n == 0) return Set(error, SocketError::kWouldBlock);
    p->received.append(reinterpret_cast<const char*>(data), n);
    p->window -= n;
    return int32_t(n);
  }
  int32_t Receive(SocketId s, uint8_t* data, int32_t size, SocketError* error) override {
    Peer* p = Of(s);
    CHECK(size > 0);
    if (Fail(error)) return -1;
    if (p->reset) return Set(error, SocketError::kConnectionReset);
    size_t n = std::min(size_t(size), p->sent.size() - p->taken);
    if (n > 0) {
      std::memcpy(data, p->sent.data() + p->taken, n);
      p->taken += n;
      return int32_t(n);
    }
    return p->closed ? 0 : Set(error, SocketError::kWouldBlock);
  }
  int32_t WaitReadable(const SocketId* sockets, bool* ready, int32_t count, int32_t,
                       SocketError* error) override {
    if (Fail(error)) return -1;
    int32_t n = 0;
    for (int32_t i = 0; i < count; ++i) {
      if (listeners.count(sockets[i])) {
        ready[i] = !pending.empty();
      } else {
        Peer* p = Of(sockets[i]);
        ready[i] = p->reset || p->closed || p->taken < p->sent.size();
      }
      n += ready[i];
    }
    return n;
  }
  void Close(SocketId s) override {
    if (s == platform::kNoSocket) return;
    if (s == connecting) {
      connecting = platform::kNoSocket;
      return;
    }
    if (listeners.erase(s)) return;
    auto it = ours.find(s);
    CHECK(it != ours.end());  // never closed twice, never a stranger
    it->second->dropped = true;
    ours.erase(it);
  }
  bool ParseAddress(const std::string&, SocketAddress* out) override {
    *out = SocketAddress{};
    out->family = 4;
    return true;
  }
  bool Resolve(const std::string&, std::vector<SocketAddress>*, SocketError* error) override {
    *error = SocketError::kHostNotFound;
    return false;
  }
  std::string AddressText(const SocketAddress&) override { return "127.0.0.1"; }

  Peer* Of(SocketId s) {
    auto it = ours.find(s);
    CHECK(it != ours.end());  // only our own open sockets are used
    return it->second;
  }

 private:
  bool Fail(SocketError* error) {
    if (failNext == SocketError::kNone) return false;
    *error = failNext;
    failNext = SocketError::kNone;
    return true;
  }
  static int32_t Set(SocketError* error, SocketError e) {
    *error = e;
    return -1;
  }
  SocketId connecting = platform::kNoSocket;
};

constexpr SocketError kFailures[] = {SocketError::kInterrupted,       SocketError::kWouldBlock,
                                     SocketError::kConnectionReset,   SocketError::kTooManyFiles,
                                     SocketError::kConnectionAborted, SocketError::kNoBuffers};

Addr ScratchMemory() {
  static Addr block = TheArena().Alloc(1 << 16);
  return block;
}

// The script side of one connection, as the natives do it.
struct Script {
  std::mutex& lock;
  FakeSockets& fake;

  void Send(Connection* c, const std::string& bytes) {
    if (!c) return;
    Peer* p = fake.Of(c->socket);
    std::memcpy(TheArena().Span(ScratchMemory(), 1), bytes.data(), bytes.size());
    int32_t n = QueueFromScript(*c, ScratchMemory(), int32_t(bytes.size()));
    CHECK(n >= 0 && size_t(n) <= bytes.size());
    p->queued += bytes.substr(0, size_t(n));
    CHECK(c->send.Used() <= ByteRing::kCapacity);
  }
  void Receive(Connection* c, int32_t length) {
    if (!c) return;
    Peer* p = fake.Of(c->socket);
    int32_t n = TakeForScript(*c, ScratchMemory(), length);
    CHECK(n >= 0 && n <= std::max(length, 0));
    p->scriptGot.append(reinterpret_cast<const char*>(TheArena().Span(ScratchMemory(), 1)), size_t(n));
  }
};

void CheckPeers(const FakeSockets& fake) {
  for (const auto& p : fake.peers) {
    CHECK(p->sent.compare(0, p->scriptGot.size(), p->scriptGot) == 0);  // in order, nothing made up
    CHECK(p->queued.compare(0, p->received.size(), p->received) == 0);
  }
}

void RunServer(Input& in, FakeSockets& fake, std::mutex& lock) {
  Server server(fake, lock);
  if (!server.Listen(4000)) return;
  Script script{lock, fake};
  auto peerAt = [&](uint8_t b) -> Peer* {
    return fake.peers.empty() ? nullptr : fake.peers[b % fake.peers.size()].get();
  };
  while (in.More()) {
    uint8_t op = in.Byte(), arg = in.Byte();
    switch (op % 12) {
      case 0:
        fake.peers.push_back(std::make_unique<Peer>());
        fake.pending.push_back(fake.peers.back().get());
        break;
      case 1:
        if (Peer* p = peerAt(arg); p && !p->closed && !p->reset)
          p->sent += in.Bytes(in.Byte() * 64u + in.Byte());
        break;
      case 2:
        if (Peer* p = peerAt(arg)) p->closed = true;
        break;
      case 3:
        if (Peer* p = peerAt(arg)) p->reset = true;
        break;
      case 4:
        if (Peer* p = peerAt(arg)) p->window += size_t(in.Byte()) * 128u;
        break;
      case 5:
        server.Tick();
        break;
      case 6:
        server.Wait(0);
        break;
      case 7: {
        std::lock_guard guard(lock);
        script.Send(server.Slot(arg % 6), in.Bytes(in.Byte() * 40u));
        break;
      }
      case 8: {
        std::lock_guard guard(lock);
        script.Receive(server.Slot(arg % 6), int32_t(arg) * 50 - 100);
        break;
      }
      case 9:
        fake.failNext = kFailures[arg % std::size(kFailures)];
        break;
      default: {
        std::lock_guard guard(lock);
        CHECK(server.ClientCount() >= 0 && server.ClientCount() <= Server::kSlots);
      }
    }
    CheckPeers(fake);
  }
  // Let everything settle: windows open, the script reads every slot.
  fake.failNext = SocketError::kNone;
  for (int round = 0; round < 64; ++round) {
    for (auto& p : fake.peers) p->window = 1 << 20;
    server.Tick();
    server.Wait(0);
    std::lock_guard guard(lock);
    for (int s = 0; s < Server::kSlots; ++s) script.Receive(server.Slot(s), 1 << 15);
  }
  CheckPeers(fake);
  // Every byte taken from a socket has reached the script.
  for (auto& p : fake.peers) CHECK(p->scriptGot == p->sent.substr(0, p->taken));
  {
    std::lock_guard guard(lock);
    for (int s = 0; s < Server::kSlots; ++s)
      if (Connection* c = server.Slot(s); c && !c->peerGone) {
        Peer* p = fake.Of(c->socket);
        CHECK(p->received == p->queued);  // the open windows took everything
      }
  }
  server.Shut();
  CHECK(fake.OpenCount() == 0);
}

void RunClient(Input& in, FakeSockets& fake, std::mutex& lock) {
  Client client(fake, lock);
  Script script{lock, fake};
  {
    std::lock_guard guard(lock);
    client.Begin();
  }
  fake.connectPolls = in.Byte() % 4;
  fake.refuseConnect = in.Byte() % 5 == 0;
  std::string early = in.Bytes(in.Byte() * 40u);
  SocketError error = SocketError::kNone;
  SocketAddress to;
  bool made = client.StartConnect(to, &error);
  while (made) {
    SocketError result = client.PollConnect(0);
    if (result == SocketError::kInProgress) continue;
    made = result == SocketError::kNone;
    break;
  }
  if (!made) {
    client.Finish();
    CHECK(fake.OpenCount() == 0);
    return;
  }
  Peer* server = fake.peers.back().get();
  {
    std::lock_guard guard(lock);
    CHECK(client.State() == 1);
    script.Send(client.Link(), early);
  }
  while (in.More() && !client.Ended()) {
    uint8_t op = in.Byte(), arg = in.Byte();
    switch (op % 9) {
      case 0:
        if (!server->closed && !server->reset) server->sent += in.Bytes(in.Byte() * 64u + in.Byte());
        break;
      case 1:
        server->closed = true;
        break;
      case 2:
        server->reset = true;
        break;
      case 3:
        server->window += size_t(arg) * 128u;
        break;
      case 4:
        client.Tick();
        break;
      case 5:
        client.Wait(0);
        break;
      case 6: {
        std::lock_guard guard(lock);
        script.Send(client.Link(), in.Bytes(in.Byte() * 40u));
        break;
      }
      case 7: {
        std::lock_guard guard(lock);
        script.Receive(client.Link(), int32_t(arg) * 50 - 100);
        break;
      }
      default:
        fake.failNext = kFailures[arg % std::size(kFailures)];
    }
    CheckPeers(fake);
  }
  fake.failNext = SocketError::kNone;
  for (int round = 0; round < 64 && !client.Ended(); ++round) {
    server->window = 1 << 20;
    client.Tick();
    client.Wait(0);
    std::lock_guard guard(lock);
    script.Receive(client.Link(), 1 << 15);
  }
  CheckPeers(fake);
  CHECK(server->scriptGot == server->sent.substr(0, server->taken));
  {
    std::lock_guard guard(lock);
    if (Connection* c = client.Link(); c && !c->peerGone) CHECK(server->received == server->queued);
  }
  client.Finish();
  CHECK(fake.OpenCount() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  FakeSockets fake;
  std::mutex lock;
  if (in.Byte() & 1)
    RunClient(in, fake, lock);
  else
    RunServer(in, fake, lock);
  return 0;
}
