// Raw pixels of 1 to 4 bytes (depths 8, 16, 24, 32), little-endian as plane
// memory holds them, for loops specialised by pixel size.
#pragma once

#include <cstdint>
#include <cstring>

namespace qavz {

template <int B>
inline uint32_t LoadPixel(const uint8_t* p) {
  if constexpr (B == 1) return p[0];
  if constexpr (B == 2) return p[0] | (uint32_t(p[1]) << 8);
  if constexpr (B == 3) return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
  if constexpr (B == 4) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
}

template <int B>
inline void StorePixel(uint8_t* p, uint32_t v) {
  if constexpr (B == 4) {
    std::memcpy(p, &v, 4);
  } else {
    p[0] = uint8_t(v);
    if constexpr (B >= 2) p[1] = uint8_t(v >> 8);
    if constexpr (B == 3) p[2] = uint8_t(v >> 16);
  }
}

}  // namespace qavz
