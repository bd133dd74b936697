#include "graphics/plane_shape.h"

#include <cstring>

#include "graphics/pages.h"

namespace qavz {

namespace {

uint32_t To555(uint32_t rgb) { return ((rgb >> 9) & 0x7C00) | ((rgb >> 6) & 0x3E0) | ((rgb >> 3) & 0x1F); }

// The pixel as setrgn compares it: the index, the 15 colour bits, or the
// blue, green and red bytes.
uint32_t RawValue(const Plane& plane, const uint8_t* row, int32_t x) {
  switch (plane.depth) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
      return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
    case 8:
      return row[x];
    case 16:
      return (uint32_t(row[2 * x]) | uint32_t(row[2 * x + 1]) << 8) & 0x7FFF;
    default: {
      const uint8_t* p = row + size_t(x) * size_t(plane.depth / 8);
      return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    }
  }
}

}  // namespace

uint32_t PaletteColour(int32_t index) noexcept {
  if (index < 0 || index > 255) return kNoKey;
  return Display().displayPalette[index].load(std::memory_order_relaxed) & 0xFFFFFF;
}

uint32_t TransparentKey(int32_t depth, int32_t index) noexcept {
  if (depth <= 8) return uint32_t(index);
  uint32_t rgb = PaletteColour(index);
  if (rgb == kNoKey) return kNoKey;
  return depth == 16 ? To555(rgb) : rgb;
}

std::vector<Rect> OpaqueRuns(const Plane& plane, uint32_t key) {
  std::vector<Rect> runs;
  for (int32_t y = 0; y < plane.height; ++y) {
    const uint8_t* row = plane.Row(y);
    for (int32_t x = 0; x < plane.width;) {
      if (RawValue(plane, row, x) == key) {
        ++x;
        continue;
      }
      int32_t start = x;
      while (x < plane.width && RawValue(plane, row, x) != key) ++x;
      runs.push_back(Rect{start, y, x, y + 1});
    }
  }
  return runs;
}

bool PixelShowsColour(const Plane& plane, int32_t x, int32_t y, uint32_t rgb) noexcept {
  if (!plane.Pixel(x, y) || rgb == kNoKey) return false;
  uint32_t value = RawValue(plane, plane.Row(y), x);
  switch (plane.depth) {
    case 1:
    case 4:
      return (plane.colours[value] & 0xFFFFFF) == rgb;
    case 8:
      return PaletteColour(int32_t(value)) == rgb;
    case 16:
      return value == To555(rgb);
    default:
      return value == rgb;
  }
}

}  // namespace qavz
