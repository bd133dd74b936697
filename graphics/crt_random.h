// The generator the filters and the water drop use for their randomness: the
// classic C library sequence (values 0 .. 32767, seed 1 until reseeded). It is
// deliberately not the scripts' own generator, so a filter never disturbs the
// sequence a script sees from rand.
#pragma once

#include <cstdint>

namespace qavz {

// The next value, 0 .. 32767.
int32_t CrtRand() noexcept;
// Restarts the sequence (tests use it for repeatable results).
void CrtSrand(uint32_t seed) noexcept;

}  // namespace qavz
