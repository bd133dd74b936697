// The generator the filters and the water drop use for their randomness: the
// classic C library sequence (values 0 .. 32767, seed 1 until reseeded). It is
// deliberately not the scripts' own generator, so a filter never disturbs the
// sequence a script sees from rand.
#pragma once

#include <cstdint>

namespace qavz {

struct CrtGenerator {
  uint32_t seed = 1;
  // The next value, 0 .. 32767.
  int32_t Next() {
    seed = seed * 214013u + 2531011u;
    return int32_t((seed >> 16) & 0x7FFF);
  }
};

// The one shared sequence. Loops that draw per pixel take a copy and store
// it back when done.
CrtGenerator& CrtState() noexcept;

inline int32_t CrtRand() noexcept { return CrtState().Next(); }
// Restarts the sequence (tests use it for repeatable results).
inline void CrtSrand(uint32_t seed) noexcept { CrtState().seed = seed; }

}  // namespace qavz
