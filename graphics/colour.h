// Colour arguments and the nearest-colour search of 8-bit drawing.
//
// A colour argument with bit 24 set names a palette index in its low byte;
// without it, it is an RGB value (blue in bits 0-7, red in bits 16-23).
#pragma once

#include <cstdint>

namespace qavz {

// The colour argument as a plane of `depth` needs it: for depths of 8 or
// less a palette index (bit 24: the low byte; otherwise the nearest display
// palette colour), for deeper planes an RGB value (bit 24: the display
// palette entry of the low byte; otherwise the low 24 bits).
uint32_t ColourForDepth(uint32_t colour, int32_t depth) noexcept;

// The index of the palette colour nearest to `rgb`: channels reduced to 6
// bits, differences weighted by 59^2 (green), 30^2 (red) and 11^2 (blue),
// the first minimum from index 0; an exact match returns at once.
uint8_t NearestColour(uint32_t rgb, const uint32_t* palette256) noexcept;
// The same against the display palette.
uint8_t NearestDisplayColour(uint32_t rgb) noexcept;

// The weight of a signed difference d of two 6-bit channels (index d & 127).
struct DistanceWeights {
  uint32_t green[128], red[128], blue[128];
};
const DistanceWeights& Distances() noexcept;

// A pixel of a 16-bit (5-5-5) plane for an RGB value.
inline uint16_t Pack555(uint32_t rgb) {
  return uint16_t((((rgb >> 16) & 0xFF) >> 3) << 10 | (((rgb >> 8) & 0xFF) >> 3) << 5 | ((rgb & 0xFF) >> 3));
}

}  // namespace qavz
