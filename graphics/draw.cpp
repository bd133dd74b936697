// gfill and gline.
#include "graphics/draw.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "graphics/colour.h"
#include "graphics/pixel_index.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

// The colour argument as the bits of one pixel: an index for depths up to
// 8, a 5-5-5 word for 16, blue-green-red (and alpha 0) for 24 and 32.
uint32_t PixelValue(const Plane& plane, uint32_t colour) {
  uint32_t c = ColourForDepth(colour, plane.depth);
  return plane.depth == 16 ? Pack555(c) : c;
}

void Put(Plane& plane, int32_t x, int32_t y, uint32_t value) {
  if (plane.depth < 8) return WriteIndex(plane, x, y, value);
  uint8_t* p = plane.Pixel(x, y);
  if (!p) return;
  for (int32_t i = 0; i < plane.BytesPerPixel(); ++i) p[i] = uint8_t(value >> (8 * i));
}

bool ReadRect(Addr at, Rect& rect) {
  int32_t words[4];
  if (!TheArena().Read(at, words)) return false;
  rect = Rect{words[0], words[1], words[2], words[3]};
  return true;
}

// Moves end point (x, y) of the line towards (otherX, otherY) onto the
// plane's columns, then onto its rows, dividing with truncation. False when
// the point cannot reach the plane that way.
bool ClipEnd(int64_t& x, int64_t& y, int64_t otherX, int64_t otherY, int64_t width, int64_t height) {
  if (x < 0 || x > width - 1) {
    int64_t edge = x < 0 ? 0 : width - 1;
    if (otherX == x) return false;
    y += (otherY - y) * (edge - x) / (otherX - x);
    x = edge;
  }
  if (y < 0 || y > height - 1) {
    int64_t edge = y < 0 ? 0 : height - 1;
    if (otherY == y) return false;
    x += (otherX - x) * (edge - y) / (otherY - y);
    y = edge;
  }
  return x >= 0 && x <= width - 1;
}

// Steps along the longer axis one pixel at a time from (x1, y1), the other
// coordinate advancing by a 16.16 slope; both ends are drawn.
void DrawSlope(Plane& plane, int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint32_t value) {
  int64_t dx = x2 - x1, dy = y2 - y1;
  bool alongX = std::llabs(dx) >= std::llabs(dy);
  int64_t length = alongX ? std::llabs(dx) : std::llabs(dy);
  int64_t step = (alongX ? dx : dy) < 0 ? -1 : 1;
  int64_t slope = (alongX ? dy : dx) * 65536 / length;
  int64_t major = alongX ? x1 : y1;
  int64_t minor = (alongX ? y1 : x1) * 65536;
  for (int64_t i = 0; i <= length; ++i, major += step, minor += slope) {
    int64_t x = alongX ? major : minor >> 16, y = alongX ? minor >> 16 : major;
    Put(plane, int32_t(x), int32_t(y), value);
  }
}

}  // namespace

void FillRect(Plane& plane, const Rect& area, uint32_t colour) noexcept {
  uint32_t value = PixelValue(plane, colour);
  if (plane.depth < 8) {
    for (int32_t y = area.top; y < area.bottom; ++y)
      for (int32_t x = area.left; x < area.right; ++x) WriteIndex(plane, x, y, value);
    return;
  }
  // The first row pixel by pixel, each further row a copy of it.
  for (int32_t x = area.left; x < area.right; ++x) Put(plane, x, area.top, value);
  const uint8_t* first = plane.Pixel(area.left, area.top);
  size_t bytes = size_t(area.right - area.left) * size_t(plane.BytesPerPixel());
  for (int32_t y = area.top + 1; y < area.bottom; ++y) std::memcpy(plane.Pixel(area.left, y), first, bytes);
}

int32_t Native_gfill(Addr args) {
  Plane* plane = PlaneAt(Arg(args, 0));
  if (!plane) return 0;
  Rect r{0, 0, plane->width, plane->height};
  if (Addr at = ArgAddr(args, 1); at && !ReadRect(at, r)) return 0;
  const Rect& clip = plane->clip;
  Rect area{std::max(r.left, clip.left), std::max(r.top, clip.top), std::min(r.right, clip.right),
            std::min(r.bottom, clip.bottom)};
  if (area.left >= area.right || area.top >= area.bottom) return 0;
  FillRect(*plane, area, uint32_t(Arg(args, 2)));
  return 1;
}

int32_t Native_gline(Addr args) {
  Plane* plane = PlaneAt(Arg(args, 0));
  if (!plane) return 0;
  int64_t x1 = Arg(args, 1), y1 = Arg(args, 2), x2 = Arg(args, 3), y2 = Arg(args, 4);
  int64_t w = plane->width, h = plane->height;
  if ((x1 < 0 && x2 < 0) || (x1 >= w && x2 >= w) || (y1 < 0 && y2 < 0) || (y1 >= h && y2 >= h)) return 0;
  // The first end is clipped completely before the second, which then moves
  // along the line towards the clipped first end.
  if (!ClipEnd(x1, y1, x2, y2, w, h) || !ClipEnd(x2, y2, x1, y1, w, h)) return 0;
  uint32_t value = PixelValue(*plane, uint32_t(Arg(args, 5)));
  if (y1 == y2) {
    for (int64_t x = std::min(x1, x2); x <= std::max(x1, x2); ++x)
      Put(*plane, int32_t(x), int32_t(y1), value);
  } else if (x1 == x2) {
    for (int64_t y = std::min(y1, y2); y <= std::max(y1, y2); ++y)
      Put(*plane, int32_t(x1), int32_t(y), value);
  } else {
    DrawSlope(*plane, x1, y1, x2, y2, value);
  }
  return 1;
}

}  // namespace qavz
