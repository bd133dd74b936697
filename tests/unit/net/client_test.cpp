// The client role against real servers on the loopback.
#include <netdb.h>

#include <string>
#include <vector>

#include "net/connection.h"
#include "net/messages.h"
#include "tests/unit/net/net_test_support.h"

namespace qavz::test {
namespace {

class NetClient : public NetSession {
 protected:
  // Connects to the listener and takes the connection; the server's end.
  Peer Connect(const Peer& listener, const std::string& host = "127.0.0.1") {
    EXPECT_EQ(net.Connect(host, listener.Port()), 1);
    Peer server = AcceptOn(listener);
    EXPECT_TRUE(server.ok());
    EXPECT_TRUE(WaitUntil([&] { return net.State() == 1; }));
    return server;
  }
};

TEST_F(NetClient, ConnectingThenConnected) {
  Peer listener = Listener();
  auto opened = std::chrono::steady_clock::now();
  ASSERT_EQ(net.Connect("127.0.0.1", listener.Port()), 1);
  int32_t state = net.State();
  // Connecting starts a poll period after opening; a test thread that was
  // kept from running that long may see the connection made already.
  if (std::chrono::steady_clock::now() - opened < std::chrono::milliseconds(kPollMs))
    EXPECT_EQ(state, 2) << "right after net_open";
  EXPECT_EQ(CurrentRole(), SessionRole::kClient);
  Peer server = AcceptOn(listener);
  ASSERT_TRUE(server.ok());
  EXPECT_TRUE(WaitUntil([&] { return net.State() == 1; }));
  EXPECT_EQ(net.Close(), 1);
  EXPECT_EQ(net.State(), 0);
  EXPECT_TRUE(server.SeesEnd());
}

TEST_F(NetClient, ExchangesBytesBothWays) {
  Peer listener = Listener();
  Peer server = Connect(listener);
  EXPECT_EQ(net.Send(0, "ping"), 4);
  EXPECT_EQ(server.Receive(4), "ping");
  ASSERT_TRUE(server.SendAll("pong"));
  EXPECT_EQ(net.RecvAll(0, 4), "pong");
  std::string out;
  EXPECT_EQ(net.Recv(0, out), 0) << "nothing more";
}

// The client number means nothing to a client.
TEST_F(NetClient, AnyClientNumberReachesTheServer) {
  Peer listener = Listener();
  Peer server = Connect(listener);
  EXPECT_EQ(net.Send(3, "a"), 1);
  EXPECT_EQ(net.Send(-7, "b"), 1);
  EXPECT_EQ(server.Receive(2), "ab");
}

// Bytes queued while connecting leave once the connection is made.
TEST_F(NetClient, QueuesWhileConnecting) {
  Peer listener = Listener();
  ASSERT_EQ(net.Connect("127.0.0.1", listener.Port()), 1);
  EXPECT_EQ(net.Send(0, "early"), 5);
  std::string out;
  EXPECT_EQ(net.Recv(0, out), 0);
  Peer server = AcceptOn(listener);
  EXPECT_EQ(server.Receive(5), "early");
}

TEST_F(NetClient, SendQueuesAtMostTheRingsFreeSpace) {
  Peer listener = Listener();
  ASSERT_EQ(net.Connect("127.0.0.1", listener.Port()), 1);
  std::string big(10000, 'z');
  for (size_t i = 0; i < big.size(); ++i) big[i] = char(i % 199);
  EXPECT_EQ(net.Send(0, big), 8191);
  int32_t more = net.Send(0, big.substr(8191));
  EXPECT_GE(more, 0);
  EXPECT_LE(more, 10000 - 8191);
  Peer server = AcceptOn(listener);
  EXPECT_EQ(server.Receive(8191 + size_t(more)), big.substr(0, 8191 + size_t(more))) << "no more, no less";
  EXPECT_EQ(server.Receive(1, 50), "");
}

TEST_F(NetClient, AFullReceiveRingLosesNothing) {
  Peer listener = Listener();
  Peer server = Connect(listener);
  std::string sent(200000, 0);
  for (size_t i = 0; i < sent.size(); ++i) sent[i] = char(i % 253);
  std::thread writer([&] { server.SendAll(sent); });
  // Time for the network thread to fill the ring, even on a busy machine.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::string got;
  EXPECT_EQ(net.Recv(0, got, 50000), 8191);
  got += net.RecvAll(0, sent.size() - got.size());
  writer.join();
  EXPECT_TRUE(got == sent);
}

struct CloseCase {
  const char* name;
  bool reset;
};

class ClientServerEnd : public NetClient, public testing::WithParamInterface<CloseCase> {};

// The server's last bytes are read before the client sees the end.
TEST_P(ClientServerEnd, DeliversWhatCameThenEnds) {
  Peer listener = Listener();
  Peer server = Connect(listener);
  ASSERT_TRUE(server.SendAll("last"));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (GetParam().reset)
    server.Reset();
  else
    server.Close();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(net.State(), 1) << "connected until the bytes are read";
  std::string got;
  EXPECT_EQ(net.Recv(0, got), 4);
  EXPECT_EQ(got, "last");
  EXPECT_EQ(net.State(), 0);
  EXPECT_EQ(net.Recv(0, got), -1);
  EXPECT_EQ(net.Send(0, "x"), -1);
}

TEST_P(ClientServerEnd, ASilentServerThatGoesEndsTheLink) {
  Peer listener = Listener();
  Peer server = Connect(listener);
  if (GetParam().reset)
    server.Reset();
  else
    server.Close();
  EXPECT_TRUE(WaitUntil([&] { return net.State() == 0; }));
  std::string got;
  EXPECT_EQ(net.Recv(0, got), -1);
}

INSTANTIATE_TEST_SUITE_P(Ends, ClientServerEnd,
                         testing::Values(CloseCase{"close", false}, CloseCase{"reset", true}),
                         [](const testing::TestParamInfo<CloseCase>& info) { return info.param.name; });

TEST_F(NetClient, NobodyListeningEndsInZeroWithItsMessage) {
  uint16_t port = UnusedPort();
  auto opened = std::chrono::steady_clock::now();
  ASSERT_EQ(net.Connect("127.0.0.1", port), 1);
  int32_t state = net.State();
  if (std::chrono::steady_clock::now() - opened < std::chrono::milliseconds(kPollMs)) EXPECT_EQ(state, 2);
  EXPECT_TRUE(WaitUntil([&] { return net.State() == 0; }));
  EXPECT_EQ(messages().Shown(), std::vector<std::string>{"WSAECONNREFUSED 接続が拒否されました"});
  std::string out;
  EXPECT_EQ(net.Send(0, "x"), -1);
  EXPECT_EQ(net.Recv(0, out), -1);
}

TEST_F(NetClient, ANameThatDoesNotResolveCannotConnect) {
  ASSERT_EQ(net.Connect("no-such-host.invalid", 4000), 1);
  EXPECT_TRUE(WaitUntil([&] { return net.State() == 0; }, 20000));
  EXPECT_EQ(messages().Shown(), std::vector<std::string>{msg::kCannotConnect});
}

TEST_F(NetClient, HostNamesAndAddressForms) {
  Peer listener = Listener();
  for (const char* host : {"localhost", "127.1", "0x7f.0.0.1", "127.0.0.1"}) {
    Peer server = Connect(listener, host);
    ASSERT_TRUE(server.ok()) << host;
    ASSERT_TRUE(server.SendAll(host));
    EXPECT_EQ(net.RecvAll(0, std::strlen(host)), host);
  }
}

TEST_F(NetClient, Ipv6LoopbackAddress) {
  if (!HasIpv6Loopback()) GTEST_SKIP() << "no IPv6 loopback";
  Peer listener = Listener("::1");
  Peer server = Connect(listener, "::1");
  ASSERT_TRUE(server.SendAll("v6"));
  EXPECT_EQ(net.RecvAll(0, 2), "v6");
}

// A name with only IPv6 addresses, as the loopback's IPv6 names usually are.
TEST_F(NetClient, Ipv6OnlyName) {
  if (!HasIpv6Loopback()) GTEST_SKIP() << "no IPv6 loopback";
  const char* name = nullptr;
  for (const char* candidate : {"ip6-localhost", "ip6-loopback", "localhost6"}) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(candidate, nullptr, &hints, &found) != 0) continue;
    bool onlyV6 = true;
    for (addrinfo* a = found; a; a = a->ai_next) onlyV6 &= a->ai_family == AF_INET6;
    freeaddrinfo(found);
    if (onlyV6) {
      name = candidate;
      break;
    }
  }
  if (!name) GTEST_SKIP() << "no IPv6-only name for the loopback";
  Peer listener = Listener("::1");
  Peer server = Connect(listener, name);
  ASSERT_TRUE(server.SendAll("only six"));
  EXPECT_EQ(net.RecvAll(0, 8), "only six");
}

// A server that never takes the connection (its backlog is full, so the
// system drops the handshake): the client stays connecting, and closing
// does not wait for it.
TEST_F(NetClient, APendingConnectionClosesAtOnce) {
  Peer listener = Listener("127.0.0.1", 0, 0);
  std::vector<Peer> fillers;
  for (int i = 0; i < 8; ++i) {
    Peer p(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    sockaddr_storage a;
    socklen_t size = 0;
    FillAddress("127.0.0.1", listener.Port(), &a, &size);
    connect(p.fd(), reinterpret_cast<sockaddr*>(&a), size);
    fillers.push_back(std::move(p));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_EQ(net.Connect("127.0.0.1", listener.Port()), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (net.State() != 2) GTEST_SKIP() << "this system completes handshakes beyond the backlog";
  EXPECT_EQ(net.Send(0, "wait"), 4);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(net.Close(), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(net.State(), 0);
  EXPECT_TRUE(messages().Shown().empty()) << "closing is no failure";
}

struct HostileCase {
  const char* name;
  std::string host;
  int32_t port;
};

class ClientRefuses : public NetClient, public testing::WithParamInterface<HostileCase> {};

TEST_P(ClientRefuses, WithZero) {
  Peer listener = Listener();
  int32_t port = GetParam().port ? GetParam().port : listener.Port();
  EXPECT_EQ(net.Connect(GetParam().host, port), 0);
  EXPECT_EQ(net.State(), 0);
  EXPECT_EQ(CurrentRole(), SessionRole::kNone);
  std::string out;
  EXPECT_EQ(net.Send(0, "x"), -1);
}

INSTANTIATE_TEST_SUITE_P(Hostile, ClientRefuses,
                         testing::Values(HostileCase{"very_negative", "127.0.0.1", -100000},
                                         HostileCase{"port65536", "127.0.0.1", 65536},
                                         HostileCase{"negative", "127.0.0.1", -1},
                                         HostileCase{"huge", "127.0.0.1", INT32_MAX},
                                         HostileCase{"long_name", std::string(300, 'a'), 0},
                                         HostileCase{"long_dotted", "127.0.0.1" + std::string(400, ' '), 0}),
                         [](const testing::TestParamInfo<HostileCase>& info) { return info.param.name; });

// A host that runs into dead script memory before its end is refused.
TEST_F(NetClient, HostRunningIntoDeadMemoryIsRefused) {
  ScriptMemory memory(4096);
  Addr tail = memory.Tail(8);
  std::memset(memory.Host(tail), 'h', 8);
  Addr args = memory.Args({int32_t(tail), 4000});
  EXPECT_EQ(Native_net_open(args), 0);
  Addr dead = memory.Args({0x200, 4000});
  EXPECT_EQ(Native_net_open(dead), 0);
  EXPECT_EQ(net.State(), 0);
}

// Names that are no host names end in "cannot connect", never anything worse.
TEST_F(NetClient, OddNamesOnlyFailToConnect) {
  for (std::string host : {"", " ", "%s%s%n", "a\tb", "..", "\x82\xa0.example", "[::1]"}) {
    messages().Clear();
    ASSERT_EQ(net.Connect(host, 4000), 1) << host;
    EXPECT_TRUE(WaitUntil([&] { return net.State() == 0; }, 20000)) << host;
    EXPECT_EQ(messages().Shown(), std::vector<std::string>{msg::kCannotConnect}) << host;
  }
}

TEST(NetClientWithoutSocketLayer, FailsToConnect) {
  StopSocketLayer();
  Messages::Get().Install();
  Peer listener = Listener();
  NetNatives net;
  ASSERT_EQ(net.Connect("127.0.0.1", listener.Port()), 1);
  EXPECT_TRUE(WaitUntil([&] { return net.State() == 0; }));
  EXPECT_EQ(Messages::Get().Shown(),
            std::vector<std::string>{"WSANOTINITIALISED Winsockが初期化されていません"});
  CloseSession();
  Messages::Get().Uninstall();
  StartSocketLayer();
}

}  // namespace
}  // namespace qavz::test
