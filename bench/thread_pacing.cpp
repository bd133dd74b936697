// Pacing of the script threads.
//
// 1. Speed: one busy script thread of an active application, run through the
//    real thread loop, against the bare interpreter loop running the same
//    program on a plain thread (ratio, want >= 0.90).
// 2. Idle cost: processor time used by script threads that have nothing to
//    do (sleeping, suspended by the pause, or busy while inactive), as a
//    fraction of one core over the same wall time (want idle < 0.02).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>

#include "host/message_queue.h"
#include "host/script_threads.h"
#include "host/services.h"
#include "vm/assembler.h"
#include "vm/interpreter.h"

using namespace qavz;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kLoops = 40000000;

const char* kStubs = "n_sleep: trap 9\n  ret\n";

MachineContext* Build(const std::string& text) {
  std::string error;
  MachineContext* c = AssembleContext(text + kStubs, 16384, &error);
  if (!c) std::fprintf(stderr, "assembly failed: %s\n", error.c_str());
  return c;
}

// Counts to kLoops in 3-instruction iterations, then ends.
std::string BusyProgram() {
  return "loop:\n  add r1, $1\n  cmp r1, $" + std::to_string(kLoops) + "\n  jne loop\n  enter 0\n  leave 0\n";
}

struct Timing {
  double wall = 1e9;  // seconds
  double cpu = 1e9;   // processor seconds of the whole process
  void Keep(const Timing& t) {
    wall = std::min(wall, t.wall);
    cpu = std::min(cpu, t.cpu);
  }
};

Timing BareRun() {
  MachineContext* c = Build(BusyProgram());
  Timing t;
  std::clock_t cpu0 = std::clock();
  auto start = Clock::now();
  std::thread runner([&] {
    while (c->state == kRunning) RunSlice(c);
  });
  runner.join();
  t.wall = std::chrono::duration<double>(Clock::now() - start).count();
  t.cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
  FreeContext(c);
  return t;
}

void Pump(double seconds) {
  auto until = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < until) {
    PumpMainMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// The window thread waits without pumping here (nothing is sent), so the
// process's processor time is the script thread's.
Timing ThreadRun() {
  MachineContext* c = Build(BusyProgram());
  Timing t;
  std::clock_t cpu0 = std::clock();
  auto start = Clock::now();
  if (StartThread(c, false) < 0) return t;
  while (RunningThreadCount() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  t.wall = std::chrono::duration<double>(Clock::now() - start).count();
  t.cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
  StopAllThreads();
  return t;
}

// Processor time of the whole process per wall second over `seconds`.
double CoreShare(double seconds) {
  std::clock_t cpu0 = std::clock();
  auto wall0 = Clock::now();
  Pump(seconds);
  double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
  return cpu / std::chrono::duration<double>(Clock::now() - wall0).count();
}

double IdleShare(const std::string& program, int threads, bool inactive, bool paused) {
  MachineContext* parent = Build(program);
  for (int i = 0; i < threads; ++i) StartThread(CloneContext(parent, 0), false);
  Pump(0.1);
  if (inactive) ActiveFlag().store(0);
  if (paused) PauseThreads(true);
  Pump(0.1);
  double share = CoreShare(1.0);
  if (paused) PauseThreads(false);
  ActiveFlag().store(1);
  StopAllThreads();
  FreeContext(parent);
  return share;
}

}  // namespace

int main() {
  BindMainThread();
  SetMessageHandler([](const Message& m) -> int32_t {
    return m.id >= kMsgServiceFirst && m.id <= kMsgServiceLast ? HandleServiceRequest(m) : 0;
  });
  StartServices();
  ClearThreadTable();

  Timing bare, threaded;
  for (int round = 0; round < 5; ++round) {
    bare.Keep(BareRun());
    threaded.Keep(ThreadRun());
  }
  // Wall time includes what other processes take when the thread yields;
  // processor time shows the loop's own cost.
  std::printf("busy thread speed / bare interpreter loop: wall %.3f, per processor second %.3f\n",
              bare.wall / threaded.wall, bare.cpu / threaded.cpu);
  std::printf("  (bare %.3f s / %.3f cpu s, thread %.3f s / %.3f cpu s)\n", bare.wall, bare.cpu,
              threaded.wall, threaded.cpu);

  double baseline = CoreShare(1.0);
  std::printf("window loop alone:                    %.4f of a core\n", baseline);
  const std::string sleeper = "loop:\n  push $16\n  call n_sleep\n  add r7, $4\n  jmp loop\n";
  const std::string longSleeper = "loop:\n  push $1000\n  call n_sleep\n  add r7, $4\n  jmp loop\n";
  const std::string busy = "loop:\n  add r1, $1\n  jmp loop\n";
  std::printf("8 threads sleep(16) in a loop:        %.4f of a core\n", IdleShare(sleeper, 8, false, false));
  std::printf("32 threads sleep(1000) in a loop:     %.4f of a core\n",
              IdleShare(longSleeper, 32, false, false));
  std::printf("32 busy threads, inactive and paused: %.4f of a core\n", IdleShare(busy, 32, true, true));
  std::printf("4 busy threads, inactive, no pause:   %.4f of a core (1 ms per slice, never spins)\n",
              IdleShare(busy, 4, true, false));
  ShutdownServices();
  return 0;
}
