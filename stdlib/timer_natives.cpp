// The time base that stops while the application is paused, the 256
// millisecond counters, the local clock and the frame-rate counter.
#include <array>
#include <atomic>
#include <chrono>
#include <mutex>

#include "core/service_hooks.h"
#include "stdlib/time_base.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

uint32_t SteadyMilliseconds() noexcept {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::atomic<ClockFunction> gClock{SteadyMilliseconds};

// Pausing comes from the window thread, the natives from script threads.
std::mutex gTimeLock;
int gPauseDepth = 0;
uint32_t gPauseStart = 0;
uint32_t gPausedTotal = 0;

constexpr int kCounters = 256;
int32_t gCounters[kCounters];

struct FrameRate {
  uint32_t windowStart = 0;
  int32_t calls = 0;
  int32_t reported = 0;
} gFrameRate;

}  // namespace

uint32_t SystemTicks() noexcept { return gClock.load()(); }

uint32_t TimeBaseNow() noexcept {
  std::lock_guard lock(gTimeLock);
  return (gPauseDepth > 0 ? gPauseStart : SystemTicks()) - gPausedTotal;
}

void SetClockForTesting(ClockFunction clock) noexcept { gClock = clock ? clock : SteadyMilliseconds; }

void ResetTimeBase() noexcept {
  std::lock_guard lock(gTimeLock);
  gPauseDepth = 0;
  gPauseStart = gPausedTotal = 0;
  for (int32_t& c : gCounters) c = 0;
  gFrameRate = FrameRate{};
}

void PauseTimeBase(bool pause) {
  std::lock_guard lock(gTimeLock);
  if (pause) {
    if (gPauseDepth++ == 0) gPauseStart = SystemTicks();
  } else if (gPauseDepth > 0 && --gPauseDepth == 0) {
    gPausedTotal += SystemTicks() - gPauseStart;
  }
}

int32_t Native_getcount(Addr args) {
  int32_t i = Arg(args, 0);
  if (i < 0 || i >= kCounters) return 0;
  return int32_t(TimeBaseNow() - uint32_t(gCounters[i]));
}

int32_t Native_setcount(Addr args) {
  int32_t i = Arg(args, 0);
  if (i < 0 || i >= kCounters) return 0;
  gCounters[i] = int32_t(TimeBaseNow() - uint32_t(Arg(args, 1)));
  return 1;
}

// gettime: the address of eight 16-bit fields.
int32_t Native_gettime(Addr args) {
  std::array<uint16_t, 8> fields;
  LocalDateTime(fields.data());
  return TheArena().Write(ArgAddr(args, 0), fields) ? 1 : 0;
}

// fps: calls counted in the last complete second, on the raw clock.
int32_t Native_fps(Addr) {
  uint32_t now = SystemTicks();
  FrameRate& f = gFrameRate;
  if (now - f.windowStart < 1000u) {
    ++f.calls;
    return f.reported;
  }
  f.reported = f.calls;
  f.windowStart = now;
  f.calls = 0;
  return f.reported;
}

}  // namespace qavz
