// The server role against real clients on 127.0.0.1.
#include <string>
#include <vector>

#include "net/messages.h"
#include "tests/unit/net/net_test_support.h"

namespace qavz::test {
namespace {

class NetServer : public NetSession {
 protected:
  // Serves on a port nobody uses; the port.
  uint16_t Serve() {
    for (int tries = 0; tries < 20; ++tries) {
      uint16_t port = UnusedPort();
      if (net.Serve(port) == 1) return port;
    }
    ADD_FAILURE() << "no port to serve on";
    return 0;
  }
  // A client connected to the server and seen in slot `slot`.
  Peer Join(uint16_t port, int slot) {
    Peer p = ConnectTo(port);
    EXPECT_TRUE(p.ok());
    EXPECT_TRUE(WaitUntil([&] { return net.Recv(slot, scratch) == 0; })) << "slot " << slot;
    return p;
  }
  std::string scratch;
};

TEST_F(NetServer, RunsUntilClosed) {
  EXPECT_EQ(net.State(), 0) << "no session";
  uint16_t port = Serve();
  EXPECT_EQ(net.State(), 1);
  EXPECT_EQ(CurrentRole(), SessionRole::kServer);
  EXPECT_EQ(net.Close(), 1);
  EXPECT_EQ(net.State(), 0);
  EXPECT_FALSE(ConnectTo(port).ok()) << "the listening socket is closed";
  EXPECT_EQ(net.Close(), 1) << "closing without a session";
}

TEST_F(NetServer, SlotsWithoutAClientRefuseBothWays) {
  uint16_t port = Serve();
  Peer a = Join(port, 0);
  Peer b = Join(port, 1);
  std::string out;
  EXPECT_EQ(net.Send(2, "x"), -1) << "only clients 0 and 1";
  EXPECT_EQ(net.Recv(2, out), -1);
  EXPECT_EQ(net.Recv(0, out), 0) << "a client that sent nothing";
  for (int32_t n : {-1, 5, 6, 1000, INT32_MIN}) {
    EXPECT_EQ(net.Send(n, "x"), -1) << n;
    EXPECT_EQ(net.Recv(n, out), -1) << n;
  }
  EXPECT_EQ(net.Send(1, ""), 0) << "nothing to queue";
}

TEST_F(NetServer, NoSessionRefusesBothWays) {
  std::string out;
  EXPECT_EQ(net.Send(0, "x"), -1);
  EXPECT_EQ(net.Recv(0, out), -1);
}

TEST_F(NetServer, FiveClientsAndTheSixthRefused) {
  uint16_t port = Serve();
  std::vector<Peer> clients;
  for (int slot = 0; slot < 5; ++slot) clients.push_back(Join(port, slot));
  Peer sixth = ConnectTo(port);
  ASSERT_TRUE(sixth.ok()) << "the system completes the connection before the server sees it";
  EXPECT_TRUE(messages().WaitFor(msg::kTooManyClients));
  EXPECT_TRUE(sixth.SeesEnd()) << "closed at once";
  // Every slot still works, and each client gets its own bytes.
  for (int slot = 0; slot < 5; ++slot) EXPECT_EQ(net.Send(slot, "to " + std::to_string(slot)), 4);
  for (int slot = 0; slot < 5; ++slot) EXPECT_EQ(clients[slot].Receive(4), "to " + std::to_string(slot));
  for (int slot = 0; slot < 5; ++slot) ASSERT_TRUE(clients[slot].SendAll("from " + std::to_string(slot)));
  for (int slot = 0; slot < 5; ++slot) EXPECT_EQ(net.RecvAll(slot, 6), "from " + std::to_string(slot));
}

// A freed slot is the lowest one taken by the next client.
TEST_F(NetServer, TheLowestFreeSlotTakesTheNextClient) {
  uint16_t port = Serve();
  Peer a = Join(port, 0);
  Peer b = Join(port, 1);
  Peer c = Join(port, 2);
  a.Close();
  EXPECT_TRUE(WaitUntil([&] { return net.Recv(0, scratch) == -1; }));
  Peer d = Join(port, 0);
  ASSERT_TRUE(d.SendAll("d"));
  EXPECT_EQ(net.RecvAll(0, 1), "d");
}

TEST_F(NetServer, SendQueuesAtMostTheRingsFreeSpace) {
  uint16_t port = Serve();
  Peer client = Join(port, 0);
  std::string big(10000, 'a');
  for (size_t i = 0; i < big.size(); ++i) big[i] = char('a' + i % 26);
  EXPECT_EQ(net.Send(0, big), 8191) << "an empty ring takes 8,191 of 10,000";
  int32_t more = net.Send(0, big.substr(8191));
  EXPECT_GE(more, 0);
  EXPECT_LE(more, 10000 - 8191);
  EXPECT_EQ(client.Receive(8191 + size_t(more)), big.substr(0, 8191 + size_t(more))) << "no more, no less";
  EXPECT_EQ(client.Receive(1, 50), "");
}

// What the client sends beyond the receive ring waits with the system until
// the script reads: nothing is lost or reordered.
TEST_F(NetServer, AFullReceiveRingLosesNothing) {
  uint16_t port = Serve();
  Peer client = Join(port, 0);
  std::string sent(100000, 0);
  for (size_t i = 0; i < sent.size(); ++i) sent[i] = char(i * 31 + i / 251);
  std::thread writer([&] { client.SendAll(sent); });
  // Time for the network thread to fill the ring, even on a busy machine.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::string got;
  EXPECT_EQ(net.Recv(0, got, 20000), 8191) << "the ring holds 8,191 at most";
  got += net.RecvAll(0, sent.size() - got.size());
  writer.join();
  EXPECT_EQ(got.size(), sent.size());
  EXPECT_TRUE(got == sent);
}

struct CloseCase {
  const char* name;
  bool reset;
};

class ServerPeerEnd : public NetServer, public testing::WithParamInterface<CloseCase> {};

// A client that sends 3 bytes and goes: the 3 bytes are still read, then the
// slot is free.
TEST_P(ServerPeerEnd, DeliversWhatCameThenFreesTheSlot) {
  uint16_t port = Serve();
  Peer keep = Join(port, 0);
  Peer client = Join(port, 1);
  ASSERT_TRUE(client.SendAll("abc"));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (GetParam().reset)
    client.Reset();
  else
    client.Close();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::string got;
  EXPECT_EQ(net.Recv(1, got), 3);
  EXPECT_EQ(got, "abc");
  EXPECT_EQ(net.Recv(1, got), -1) << "read out: the slot is free at once";
  EXPECT_EQ(net.Send(1, "x"), -1);
  EXPECT_EQ(net.Send(0, "x"), 1) << "the other client stays";
  EXPECT_EQ(keep.Receive(1), "x");
}

TEST_P(ServerPeerEnd, AClientThatSentNothingIsDropped) {
  uint16_t port = Serve();
  Peer client = Join(port, 0);
  if (GetParam().reset)
    client.Reset();
  else
    client.Close();
  EXPECT_TRUE(WaitUntil([&] { return net.Recv(0, scratch) == -1; }));
}

INSTANTIATE_TEST_SUITE_P(Ends, ServerPeerEnd,
                         testing::Values(CloseCase{"close", false}, CloseCase{"reset", true}),
                         [](const testing::TestParamInfo<CloseCase>& info) { return info.param.name; });

TEST_F(NetServer, APortInUseGivesZeroWithItsMessage) {
  Peer holder = Listener("127.0.0.1");
  ASSERT_TRUE(holder.ok());
  EXPECT_EQ(net.Serve(holder.Port()), 0);
  EXPECT_EQ(messages().Shown(), std::vector<std::string>{"WSAEADDRINUSE アドレスがすでに使用中です"});
  EXPECT_EQ(net.State(), 0);
  EXPECT_EQ(CurrentRole(), SessionRole::kNone);
}

// Accepted connections linger 0, so nothing of a closed session holds its
// port: the same port opens again at once, even right after clients.
TEST_F(NetServer, ReopensTheSamePortAtOnce) {
  uint16_t port = Serve();
  {
    Peer client = Join(port, 0);
    EXPECT_EQ(net.Send(0, "bye"), 3);
    EXPECT_EQ(client.Receive(3), "bye");
    EXPECT_EQ(net.Close(), 1);
    EXPECT_TRUE(client.SeesEnd());
  }
  for (int round = 0; round < 5; ++round) {
    ASSERT_EQ(net.Serve(port), 1) << "round " << round;
    Peer client = Join(port, 0);
    ASSERT_TRUE(client.SendAll("hi"));
    EXPECT_EQ(net.RecvAll(0, 2), "hi");
  }
  EXPECT_TRUE(messages().Shown().empty());
}

// A new net_open ends the session in progress first.
TEST_F(NetServer, OpeningAgainEndsTheSessionInProgress) {
  uint16_t port = Serve();
  Peer client = Join(port, 0);
  uint16_t other = Serve();
  EXPECT_NE(other, 0);
  EXPECT_TRUE(client.SeesEnd());
  EXPECT_FALSE(ConnectTo(port).ok());
}

TEST_F(NetServer, PortsOutsideTheRangeFail) {
  for (int32_t port : {0, -1, 65536, 70000, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(net.Serve(port), 0) << port;
    EXPECT_EQ(net.State(), 0) << port;
  }
}

TEST(NetServerWithoutSocketLayer, GivesZeroWithoutAMessage) {
  StopSocketLayer();
  Messages::Get().Install();
  NetNatives net;
  EXPECT_EQ(net.Serve(UnusedPort()), 0);
  EXPECT_TRUE(Messages::Get().Shown().empty());
  Messages::Get().Uninstall();
  StartSocketLayer();
}

// A client of either family reaches the one listening socket.
TEST_F(NetServer, TakesIpv6Clients) {
  if (!HasIpv6Loopback()) GTEST_SKIP() << "no IPv6 loopback";
  uint16_t port = Serve();
  Peer v6 = ConnectTo(port, "::1");
  ASSERT_TRUE(v6.ok());
  Peer v4 = ConnectTo(port, "127.0.0.1");
  ASSERT_TRUE(v6.SendAll("six"));
  ASSERT_TRUE(v4.SendAll("four"));
  EXPECT_EQ(net.RecvAll(0, 3), "six");
  EXPECT_EQ(net.RecvAll(1, 4), "four");
}

// Script memory that is not live is refused, never followed.
TEST_F(NetServer, DeadScriptMemoryIsRefused) {
  uint16_t port = Serve();
  Peer client = Join(port, 0);
  EXPECT_EQ(net.SendAt(0, 0x100, 4), -1);
  ASSERT_TRUE(client.SendAll("data"));
  EXPECT_TRUE(WaitUntil([&] { return net.RecvAt(0, 0x100, 4) == -1; }));
  EXPECT_EQ(net.RecvAll(0, 4), "data") << "a refused read takes nothing";
  EXPECT_EQ(net.SendAt(0, net.data(), -5), 0);
  EXPECT_EQ(net.RecvAt(0, net.data(), -5), 0);
}

}  // namespace
}  // namespace qavz::test
