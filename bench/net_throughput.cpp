// TCP sessions on the loopback, script to script.
//
// 1. Throughput: a client script sends 64 MiB (--mib N for another size)
//    to a server script, each a run of the runtime, through the 8,191-byte
//    rings; against a plain socket pair moving the same bytes with the same
//    polling (every 5 ms each side moves at most 8,191 bytes). Ratio, want
//    >= 0.80.
// 2. Round trip of one 16-byte message that the server script echoes:
//    median, 90th percentile and worst of 200, against three poll periods
//    as long as they last here (a 5 ms sleep measured in this run). Want the
//    median under three polls.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/sockets.h"

using namespace qavz;
using Clock = std::chrono::steady_clock;
using platform::SocketError;
using platform::SocketId;

namespace {

constexpr int32_t kRing = 8191;
constexpr int kTrips = 200;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

uint16_t RandomPort() {
  static std::mt19937 rng(std::random_device{}());
  return uint16_t(20000 + rng() % 40000);
}

// A connected pair of the system's sockets, nonblocking.
struct Pair {
  SocketId a = platform::kNoSocket, b = platform::kNoSocket;
};

Pair MakePair() {
  platform::SocketApi& api = platform::SystemSockets();
  SocketError error;
  uint16_t port = 0;
  SocketId listener = platform::kNoSocket;
  while (listener == platform::kNoSocket) listener = api.Listen(port = RandomPort(), &error);
  platform::SocketAddress to;
  api.ParseAddress("127.0.0.1", &to);
  to.port = port;
  Pair p;
  p.a = api.Connect(to, &error);
  while (api.ConnectResult(p.a, 5) == SocketError::kInProgress) {
  }
  while ((p.b = api.Accept(listener, nullptr, &error)) == platform::kNoSocket) platform::SleepMilliseconds(1);
  api.Close(listener);
  return p;
}

// The plain pair: every 5 ms the sender offers a full ring's worth and the
// receiver takes at most a ring's worth. Seconds from the first byte to the
// last at the receiver.
double ReferenceSeconds(size_t total) {
  platform::SocketApi& api = platform::SystemSockets();
  Pair p = MakePair();
  std::thread sender([&] {
    std::vector<uint8_t> bytes(kRing, 7);
    SocketError error;
    size_t sent = 0;
    while (sent < total) {
      platform::SleepMilliseconds(5);
      size_t offer = std::min<size_t>(kRing, total - sent), off = 0;
      while (off < offer) {
        int32_t n = api.Send(p.a, bytes.data() + off, int32_t(offer - off), &error);
        if (n <= 0) break;
        off += size_t(n);
      }
      sent += off;
    }
  });
  std::vector<uint8_t> buffer(kRing);
  SocketError error;
  size_t got = 0;
  Clock::time_point first;
  while (got < total) {
    platform::SleepMilliseconds(5);
    int32_t room = kRing;
    while (room > 0) {
      int32_t n = api.Receive(p.b, buffer.data(), room, &error);
      if (n <= 0) break;
      if (got == 0) first = Clock::now();
      got += size_t(n);
      room -= n;
    }
  }
  double seconds = Seconds(Clock::now() - first);
  sender.join();
  api.Close(p.a);
  api.Close(p.b);
  return seconds;
}

// How long a 5 ms poll period really lasts here.
double PollPeriodMs() {
  auto start = Clock::now();
  for (int i = 0; i < 100; ++i) platform::SleepMilliseconds(5);
  return Seconds(Clock::now() - start) * 1000 / 100;
}

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct ScriptRun {
  long received = 0, receiveMs = 0, sent = 0;
  std::vector<int> trips;
  bool portTaken = false;
};

// Runs the server and the client script as two runs of the runtime.
ScriptRun RunScripts(size_t total, const std::filesystem::path& dir) {
  ScriptRun run;
  uint16_t port = RandomPort();
  std::filesystem::create_directories(dir);
  std::string source = std::string(QAVZ_SOURCE_DIR);
  for (const char* name : {"server.c", "client.c"})
    std::filesystem::copy_file(source + "/bench/scripts/net/" + name, dir / name,
                               std::filesystem::copy_options::overwrite_existing);
  std::filesystem::copy_file(source + "/include/natives.h", dir / "natives.h",
                             std::filesystem::copy_options::overwrite_existing);
  std::ofstream(dir / "bench_net.h") << "int port = " << port << ";\nint total = " << total
                                     << ";\nint trips = " << kTrips << ";\n";
  std::ofstream(dir / "net.cfg") << "[General]\nNet=1\n";
  std::string run0 =
      "cd '" + dir.string() + "' && QAVZ_HEADLESS=1 '" + QAVZ_BINARY + "' run --headless --config net.cfg ";
  std::FILE* server = popen((run0 + "server.c 2>server.err").c_str(), "r");
  std::FILE* client = popen((run0 + "client.c 2>client.err").c_str(), "r");
  char line[256];
  while (std::fgets(line, sizeof line, client)) {
    int v;
    long n;
    if (std::sscanf(line, "rt %d", &v) == 1) run.trips.push_back(v);
    if (std::sscanf(line, "sent %ld", &n) == 1) run.sent = n;
  }
  pclose(client);
  while (std::fgets(line, sizeof line, server)) {
    std::sscanf(line, "received %ld %ld", &run.received, &run.receiveMs);
    if (std::string(line).find("open failed") != std::string::npos) run.portTaken = true;
  }
  pclose(server);
  return run;
}

int Percentile(std::vector<int> v, double p) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

}  // namespace

int main(int argc, char** argv) {
  size_t mib = 64;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--mib") mib = size_t(std::max(1, std::atoi(argv[i + 1])));
  size_t total = mib << 20;
  auto dir = std::filesystem::temp_directory_path() / ("qavz-net-bench-" + std::to_string(RandomPort()));

  ScriptRun run;
  for (int attempt = 0; attempt < 5; ++attempt) {
    run = RunScripts(total, dir);
    if (!run.portTaken) break;
  }
  if (run.received != long(total) || run.receiveMs <= 0 || run.trips.size() != size_t(kTrips)) {
    std::fprintf(stderr,
                 "the script runs failed: received %ld of %zu, %zu round trips\n--- server\n%s--- client\n%s",
                 run.received, total, run.trips.size(), ReadFile(dir / "server.err").c_str(),
                 ReadFile(dir / "client.err").c_str());
    std::filesystem::remove_all(dir);
    return 1;
  }
  std::filesystem::remove_all(dir);
  double ours = double(total) / (1 << 20) / (double(run.receiveMs) / 1000);
  double reference = double(total) / (1 << 20) / ReferenceSeconds(total);
  std::printf(
      "net throughput: %zu MiB, script to script %.2f MiB/s, plain socket pair polled every 5 ms %.2f MiB/s, "
      "ratio %.2f (want >= 0.80)\n",
      mib, ours, reference, ours / reference);

  double threePolls = 3 * PollPeriodMs();
  int median = Percentile(run.trips, 0.5);
  std::printf(
      "net round trip: %d messages, median %d ms, 90%% %d ms, worst %d ms; three polls here %.1f ms, "
      "median / three polls %.2f (want < 1)\n",
      kTrips, median, Percentile(run.trips, 0.9), Percentile(run.trips, 1.0), threePolls,
      median / threePolls);
  return 0;
}
