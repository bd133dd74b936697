// Palette indices of the sub-byte depths: depth 1 keeps the leftmost pixel in
// the most significant bit of a byte, depth 4 in the high nibble.
#pragma once

#include <cstdint>

#include "graphics/plane.h"

namespace qavz {

// The index of pixel (x, y) of a plane of depth 1, 4 or 8; (x, y) must lie
// inside the plane.
inline uint32_t ReadIndex(const Plane& plane, int32_t x, int32_t y) {
  const uint8_t* row = plane.Row(y);
  switch (plane.depth) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
      return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
    default:
      return row[x];
  }
}

// Sets pixel (x, y) of a plane of depth 1, 4 or 8 to the low bits of `index`.
inline void WriteIndex(Plane& plane, int32_t x, int32_t y, uint32_t index) {
  uint8_t* row = plane.Row(y);
  switch (plane.depth) {
    case 1: {
      uint8_t bit = uint8_t(0x80 >> (x & 7));
      row[x >> 3] = uint8_t((index & 1) ? row[x >> 3] | bit : row[x >> 3] & ~bit);
      return;
    }
    case 4: {
      int shift = (x & 1) ? 0 : 4;
      row[x >> 1] = uint8_t((row[x >> 1] & ~(15 << shift)) | ((index & 15) << shift));
      return;
    }
    default:
      row[x] = uint8_t(index);
  }
}

}  // namespace qavz
