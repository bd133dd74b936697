// The blend tables: built once at start-up and shared by every drawing loop,
// so that no blend does a division.
#pragma once

#include <cstdint>

namespace qavz {

struct BlendTableSet {
  // T[a][v] = (a * v + 128) / 255: v scaled by a / 255, rounded.
  const uint8_t (*scale)[256] = nullptr;
  // D[i][k]: 255 for i = 0, else min(255, 255 * (k / i) / (1 - k / 255 + k / i)).
  const uint8_t (*composite)[256] = nullptr;
  // For each 5-5-5 colour (red bits 10-14) the index of the nearest colour of
  // the palette given to pal_map, which fills it. More of the block follows
  // it, so a 4-byte read at any entry stays in the block (the vector rows
  // gather entries so).
  uint8_t* colourMap = nullptr;
  // For each 5-5-5 colour the RGB value of its fields widened to 8 bits.
  const uint32_t* rgbOf555 = nullptr;
  // S[j] for j in -256 .. 511: 0 below 0, j up to 255, 255 above. Points at
  // entry 0, so S[-256] and S[511] are valid.
  const uint8_t* saturate = nullptr;
};

// The tables; every pointer is null until BuildBlendTables succeeded.
const BlendTableSet& BlendTables() noexcept;
// Start-up: one block of 0x48400 bytes, the tables from its first 256-byte
// boundary. False (nothing kept) when it cannot be allocated. Building again
// keeps the tables already built.
bool BuildBlendTables() noexcept;
void FreeBlendTables() noexcept;

// A 5-bit value widened to 8 bits: floor(i * 255 / 31).
constexpr uint8_t Expand5(uint32_t i) { return uint8_t(i * 255 / 31); }

}  // namespace qavz
