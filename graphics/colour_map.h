// The colour map of 8-bit drawing: for every 5-5-5 colour (red in bits
// 10-14, green 5-9, blue 0-4) the index of the nearest colour of a palette.
#pragma once

#include <cstdint>

namespace qavz {

constexpr int kColourMapCells = 32768;

// Fills `map` for `palette` (256 RGB values). Nearest by the weighted
// distance of the nearest-colour search: palette channels reduced to 6 bits,
// a cell's 5-bit coordinates taken as 6-bit values (doubled); of equally
// near colours the lowest index.
void BuildColourMap(const uint32_t* palette, uint8_t* map) noexcept;

}  // namespace qavz
