// Hostile and heavy peers: none of them blocks a native, loses a byte that
// fitted in a ring, or leaks a socket.
#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "net/messages.h"
#include "tests/unit/net/net_test_support.h"

namespace qavz::test {
namespace {

class NetLoad : public NetSession {
 protected:
  uint16_t Serve() {
    for (int tries = 0; tries < 20; ++tries) {
      uint16_t port = UnusedPort();
      if (net.Serve(port) == 1) return port;
    }
    ADD_FAILURE() << "no port to serve on";
    return 0;
  }
};

// Times every native call the script side makes while peers misbehave.
struct CallTimer {
  template <typename F>
  auto operator()(F call) {
    auto start = std::chrono::steady_clock::now();
    auto result = call();
    longest = std::max(longest, std::chrono::steady_clock::now() - start);
    return result;
  }
  std::chrono::steady_clock::duration longest{};
};

// Five peers at once: one floods, one sends nothing and reads nothing, one
// closes in the middle of a message, one resets, and a sixth keeps
// connecting. The script reads the flood slowly; the natives never wait.
TEST_F(NetLoad, MisbehavingPeersBlockNothingAndLoseNothing) {
  uint16_t port = Serve();
  Peer flood = ConnectTo(port);
  Peer silent = ConnectTo(port);
  Peer halfway = ConnectTo(port);
  Peer resetting = ConnectTo(port);
  Peer keeper = ConnectTo(port);
  std::string scratch;
  ASSERT_TRUE(WaitUntil([&] { return net.Recv(4, scratch) == 0; }));

  std::string flooded(1 << 20, 0);
  for (size_t i = 0; i < flooded.size(); ++i) flooded[i] = char(i * 13 + (i >> 12));
  std::thread flooder([&] { flood.SendAll(flooded); });
  std::atomic<bool> knocking{true};
  std::thread sixth([&] {
    while (knocking.load()) {
      Peer p = ConnectTo(port);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  ASSERT_TRUE(halfway.SendAll("half a mess"));
  halfway.Close();
  ASSERT_TRUE(resetting.SendAll("reset after this"));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  resetting.Reset();

  CallTimer timed;
  std::string got, halfGot, resetGot;
  std::string toSilent(100000, 's');
  size_t queuedToSilent = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (got.size() < flooded.size() && std::chrono::steady_clock::now() < deadline) {
    timed([&] { return net.Recv(0, got, 3000); });
    timed([&] { return net.Recv(2, halfGot); });
    timed([&] { return net.Recv(3, resetGot); });
    timed([&] { return net.Recv(1, scratch); });
    int32_t q = timed([&] { return net.Send(1, toSilent.substr(0, 8191)); });
    if (q > 0) queuedToSilent += size_t(q);
    std::this_thread::sleep_for(std::chrono::microseconds(300));
  }
  knocking.store(false);
  sixth.join();
  flooder.join();

  // The flood may be read before the network thread has seen the other
  // peers go: their slots free once it has and their bytes are read.
  EXPECT_TRUE(WaitUntil([&] { return net.Recv(2, halfGot) == -1; })) << "slot 2 stays";
  EXPECT_TRUE(WaitUntil([&] { return net.Recv(3, resetGot) == -1; })) << "slot 3 stays";
  EXPECT_TRUE(got == flooded) << got.size() << " of " << flooded.size();
  EXPECT_EQ(halfGot, "half a mess");
  EXPECT_EQ(resetGot, "reset after this");
  EXPECT_GT(queuedToSilent, 8191u) << "a peer that reads nothing still takes what the system holds";
  EXPECT_LT(timed.longest, std::chrono::milliseconds(100)) << "a native waited on the network";
  EXPECT_GT(messages().Count(msg::kTooManyClients), 0);
  EXPECT_EQ(net.Send(4, "still here"), 10);
  EXPECT_EQ(keeper.Receive(10), "still here");
}

// Connections that come and go, and sessions opened and closed, leave no
// descriptor behind. Each client goes once the server has it (closing in
// the middle of the handshake stalls some loopbacks for a second).
TEST_F(NetLoad, ThousandConnectAndCloseRoundsLeakNoSocket) {
  int before = OpenFileCount();
  uint16_t port = Serve();
  std::string scratch;
  auto slotsInUse = [&] {
    int n = 0;
    for (int slot = 0; slot < 5; ++slot) n += net.Recv(slot, scratch) >= 0;
    return n;
  };
  for (int round = 0; round < 1000; ++round) {
    Peer client = ConnectTo(port);
    ASSERT_TRUE(client.ok()) << "round " << round;
    ASSERT_TRUE(WaitUntil([&] { return slotsInUse() == 1; })) << "round " << round;
    if (round % 3 == 0) client.SendAll("x");
    if (round % 2)
      client.Reset();
    else
      client.Close();
    ASSERT_TRUE(WaitUntil([&] { return slotsInUse() == 0; })) << "round " << round;
  }
  EXPECT_EQ(net.Close(), 1);
  EXPECT_EQ(OpenFileCount(), before);

  Peer listener = Listener();
  before = OpenFileCount();
  for (int round = 0; round < 100; ++round) {
    ASSERT_EQ(net.Connect("127.0.0.1", listener.Port()), 1);
    Peer server = AcceptOn(listener);
    ASSERT_TRUE(server.ok()) << "round " << round;
    if (round % 2) {
      ASSERT_TRUE(WaitUntil([&] { return net.State() == 1; }));
    }
    EXPECT_EQ(net.Close(), 1);
  }
  for (int round = 0; round < 100; ++round) {
    ASSERT_EQ(net.Serve(port), 1) << "round " << round;
    EXPECT_EQ(net.Close(), 1);
  }
  EXPECT_EQ(OpenFileCount(), before);
}

}  // namespace
}  // namespace qavz::test
