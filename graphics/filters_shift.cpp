// Filters that move or brighten pixels within one plane: scroll (cyclic
// shift), slice (random row shifts), noise (random brightening) and fire (a
// rising flame step). The random ones draw from the C library sequence.
#include <algorithm>
#include <cstdlib>
#include <new>

#include "graphics/crt_random.h"
#include "graphics/filter_support.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

// The plane argument and its rectangle argument cut to the clip rectangle;
// null when the plane is missing or not byte-addressed or the rectangle is
// unreadable. `area` may come back empty.
Plane* PlaneAndArea(Addr args, Rect& area) {
  Plane* plane = BytePlane(Arg(args, 0));
  Rect rect;
  if (!plane || !RectArg(ArgAddr(args, 1), *plane, rect)) return nullptr;
  area = Intersect(rect, ClipOf(*plane));
  return plane;
}

int64_t PositiveModulo(int64_t value, int64_t size) {
  int64_t m = value % size;
  return m < 0 ? m + size : m;
}

// Adds `amount` (at most 255) to the three colour bytes of a 24- or 32-bit
// pixel value, each saturating at 255; the fourth byte stays.
inline uint32_t Brighten24(uint32_t v, uint32_t amount) {
  uint32_t rb = (v & 0x00FF00FFu) + amount * 0x00010001u;
  uint32_t over = rb & 0x01000100u;
  rb = (rb | (over - (over >> 8))) & 0x00FF00FFu;
  uint32_t g = std::min<uint32_t>((v & 0x0000FF00u) + (amount << 8), 0xFF00u);
  return (v & 0xFF000000u) | rb | g;
}

// Adds `amount` to each 5-bit field, saturating at 31; bit 15 stays.
inline uint16_t Brighten555(uint16_t v, uint32_t amount) {
  uint32_t out = v & 0x8000u;
  for (int shift = 0; shift < 15; shift += 5)
    out |= std::min<uint32_t>(((v >> shift) & 31) + amount, 31) << shift;
  return uint16_t(out);
}

// The flame's fading: every colour field one step darker (8-bit values two
// steps), none below 0; 32-bit alpha fades too. Each field loses one where
// any of its bits is set.
template <int Bpp>
inline uint32_t Weaken(uint32_t v) {
  if constexpr (Bpp == 1) {
    return v > 2 ? v - 2 : 0;
  } else if constexpr (Bpp == 2) {
    uint32_t t = ((v & 0x3DEFu) + 0x3DEFu) | v;
    return v - ((t >> 4) & 0x0421u);
  } else {
    uint32_t t = ((v & 0x7F7F7F7Fu) + 0x7F7F7F7Fu) | v;
    return v - ((t >> 7) & 0x01010101u);
  }
}

template <int Bpp>
void FireRows(const Plane& plane, const Rect& area) {
  CrtGenerator random = CrtState();
  for (int32_t y = area.top + 1; y < area.bottom; ++y) {
    const uint8_t* in = plane.Row(y);
    uint8_t* out = plane.Row(y - 1);
    for (int32_t x = area.left; x < area.right; ++x) {
      int32_t to = std::clamp(x + random.Next() % 3 - 1, area.left, area.right - 1);
      StorePixel(out + size_t(to) * Bpp, Bpp, Weaken<Bpp>(LoadPixel(in + size_t(x) * Bpp, Bpp)));
    }
  }
  CrtState() = random;
}

}  // namespace

// Shifts the area's contents left by dx and up by dy, wrapping around: the
// copy's column dx lands on the left edge and its row dy on the top edge.
int32_t Native_scroll(Addr args) {
  Rect area;
  Plane* plane = PlaneAndArea(args, area);
  if (!plane || IsEmpty(area)) return 0;
  int64_t width = area.right - area.left, height = area.bottom - area.top;
  size_t bpp = size_t(plane->BytesPerPixel()), rowBytes = size_t(width) * bpp;
  size_t dx = size_t(PositiveModulo(Arg(args, 2), width)) * bpp;
  int64_t dy = PositiveModulo(Arg(args, 3), height);
  std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[rowBytes * size_t(height)]);
  if (!copy) return 0;
  size_t offset = size_t(area.left) * bpp;
  for (int64_t y = 0; y < height; ++y)
    std::memcpy(copy.get() + size_t(y) * rowBytes, plane->Row(area.top + int32_t(y)) + offset, rowBytes);
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* in = copy.get() + size_t((y + dy) % height) * rowBytes;
    uint8_t* out = plane->Row(area.top + int32_t(y)) + offset;
    std::memcpy(out, in + dx, rowBytes - dx);
    std::memcpy(out + (rowBytes - dx), in, dx);
  }
  return 1;
}

// Each row takes a start and a step from the generator; a counter runs from
// the start by the step (modulo 256, or 32 for 5-5-5 planes) and pixels
// where it passes 255 - amount are brightened by the excess.
int32_t Native_noise(Addr args) {
  Rect area;
  Plane* plane = PlaneAndArea(args, area);
  if (!plane) return 0;
  int32_t amount = Arg(args, 2);
  if (amount <= 0) return 1;
  if (IsEmpty(area)) return 0;
  if (plane->depth == 8) return 1;
  uint32_t threshold = amount >= 255 ? 0 : uint32_t(255 - amount);
  int bpp = plane->BytesPerPixel();
  for (int32_t y = area.top; y < area.bottom; ++y) {
    uint32_t m = uint32_t(CrtRand()), step = uint32_t(CrtRand());
    uint8_t* p = plane->Row(y) + size_t(area.left) * size_t(bpp);
    if (plane->depth == 16) {
      uint32_t limit = threshold / 8;
      m &= 31;
      step &= 31;
      for (int32_t x = area.left; x < area.right; ++x, p += 2, m = (m + step) & 31) {
        if (m <= limit) continue;
        uint16_t v = Brighten555(uint16_t(p[0] | p[1] << 8), m - limit);
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
      }
    } else {
      m &= 255;
      step &= 255;
      for (int32_t x = area.left; x < area.right; ++x, p += bpp, m = (m + step) & 255)
        if (m > threshold) StorePixel(p, bpp, Brighten24(LoadPixel(p, bpp), m - threshold));
    }
  }
  return 1;
}

// Each row moves sideways by a random d in -k .. k - 1 pixels, k = amount x
// width / 256 (amount at most 256); the pixels it leaves become 0.
int32_t Native_slice(Addr args) {
  Rect area;
  Plane* plane = PlaneAndArea(args, area);
  if (!plane) return 0;
  int32_t amount = Arg(args, 2);
  if (amount <= 0) return 1;
  if (IsEmpty(area)) return 0;
  int64_t width = area.right - area.left;
  int64_t k = int64_t(std::min(amount, 256)) * width >> 8;
  if (k == 0) return 1;
  size_t bpp = size_t(plane->BytesPerPixel());
  for (int32_t y = area.top; y < area.bottom; ++y) {
    int64_t d = CrtRand() % (2 * k) - k;
    uint8_t* row = plane->Row(y) + size_t(area.left) * bpp;
    size_t moved = size_t(std::abs(d)) * bpp, kept = size_t(width) * bpp - moved;
    if (d > 0) {
      std::memmove(row + moved, row, kept);
      std::memset(row, 0, moved);
    } else if (d < 0) {
      std::memmove(row, row + moved, kept);
      std::memset(row + kept, 0, moved);
    }
  }
  return 1;
}

// Every pixel from the area's second row down is copied, weakened, into the
// row above at a random offset of -1, 0 or +1 kept inside the area.
int32_t Native_fire(Addr args) {
  Rect area;
  Plane* plane = PlaneAndArea(args, area);
  if (!plane || IsEmpty(area) || area.bottom - area.top < 2) return 0;
  switch (plane->BytesPerPixel()) {
    case 1:
      FireRows<1>(*plane, area);
      break;
    case 2:
      FireRows<2>(*plane, area);
      break;
    case 3:
      FireRows<3>(*plane, area);
      break;
    default:
      FireRows<4>(*plane, area);
  }
  return 1;
}

}  // namespace qavz
