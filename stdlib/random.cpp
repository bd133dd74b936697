// The scripts' random generator: MT19937 with the 1998 sgenrand seeding.
#include "core/service_hooks.h"
#include "stdlib/time_base.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

constexpr int kN = 624, kM = 397;
constexpr uint32_t kMatrixA = 0x9908B0DF, kUpper = 0x80000000, kLower = 0x7FFFFFFF;

uint32_t gState[kN];
int gPosition = kN + 1;  // kN + 1: never seeded; kN: regenerate before the next draw

void Seed(uint32_t seed) noexcept {
  for (int i = 0; i < kN; ++i) {
    gState[i] = seed & 0xFFFF0000u;
    seed = 69069u * seed + 1;
    gState[i] |= (seed & 0xFFFF0000u) >> 16;
    seed = 69069u * seed + 1;
  }
  gPosition = kN;
}

void Regenerate() noexcept {
  auto twist = [](uint32_t upper, uint32_t lower, uint32_t far) {
    uint32_t y = (upper & kUpper) | (lower & kLower);
    return far ^ (y >> 1) ^ ((y & 1) ? kMatrixA : 0);
  };
  int k = 0;
  for (; k < kN - kM; ++k) gState[k] = twist(gState[k], gState[k + 1], gState[k + kM]);
  for (; k < kN - 1; ++k) gState[k] = twist(gState[k], gState[k + 1], gState[k + (kM - kN)]);
  gState[kN - 1] = twist(gState[kN - 1], gState[0], gState[kM - 1]);
  gPosition = 0;
}

uint32_t Draw() noexcept {
  if (gPosition >= kN) {
    if (gPosition == kN + 1) Seed(4357);
    Regenerate();
  }
  uint32_t y = gState[gPosition++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

}  // namespace

void SeedRandomFromTicks() { Seed(SystemTicks()); }

int32_t Native_srand(Addr args) {
  uint32_t seed = uint32_t(Arg(args, 0));
  Seed(seed != 0 ? seed : SystemTicks());
  return 1;
}

int32_t Native_rand(Addr) { return int32_t(Draw() & 0x7FFFFFFFu); }

}  // namespace qavz
