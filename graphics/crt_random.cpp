#include "graphics/crt_random.h"

namespace qavz {

namespace {

uint32_t gSeed = 1;

}  // namespace

int32_t CrtRand() noexcept {
  gSeed = gSeed * 214013u + 2531011u;
  return int32_t((gSeed >> 16) & 0x7FFF);
}

void CrtSrand(uint32_t seed) noexcept { gSeed = seed; }

}  // namespace qavz
