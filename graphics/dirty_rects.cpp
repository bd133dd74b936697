// drt_init, drt_set and drt_copy.
#include "graphics/dirty_rects.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "graphics/plane.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

Rect gRects[kDirtyRectCapacity];
int gCount = 0;
int gRestored = 0;  // leading entries the last sprite redraw restored

bool ReadRect(Addr at, Rect& rect) {
  int32_t words[4];
  if (!TheArena().Read(at, words)) return false;
  rect = Rect{words[0], words[1], words[2], words[3]};
  return true;
}

bool Empty(const Rect& r) { return r.left >= r.right || r.top >= r.bottom; }

Rect Intersect(const Rect& a, const Rect& b) {
  return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

// Copies pixels of one destination row from the source: equal depths byte
// for byte, an 8-bit source into 24 or 32 bits through its colour table.
struct SpanCopier {
  Plane& dst;
  const Plane& src;
  int32_t shiftX, shiftY;  // source position minus destination position

  void operator()(int32_t y, int32_t left, int32_t right) const {
    uint8_t* d = dst.Pixel(left, y);
    const uint8_t* s = src.Pixel(left + shiftX, y + shiftY);
    int32_t n = right - left;
    if (dst.depth == src.depth) {
      std::memmove(d, s, size_t(n) * size_t(dst.BytesPerPixel()));
      return;
    }
    int32_t step = dst.BytesPerPixel();
    for (int32_t i = 0; i < n; ++i, d += step) {
      uint32_t c = src.colours[s[i]];
      d[0] = uint8_t(c);
      d[1] = uint8_t(c >> 8);
      d[2] = uint8_t(c >> 16);
    }
  }
};

bool DepthsCopyable(const Plane& dst, const Plane& src) {
  if (dst.depth == src.depth) return dst.depth >= 8;
  return src.depth == 8 && (dst.depth == 24 || dst.depth == 32);
}

}  // namespace

// A rectangle is active from its top row to its bottom row; on each row the
// active ones, in order of left edge, are walked left to right and only the
// part of each not yet copied on that row is copied.
void SweepDirtySpans(const Rect& area, std::vector<Rect> rects, const SpanFunction& copy) {
  std::sort(rects.begin(), rects.end(), [](const Rect& a, const Rect& b) { return a.top < b.top; });
  std::vector<Rect> active;
  size_t next = 0;
  for (int32_t y = area.top; y < area.bottom; ++y) {
    std::erase_if(active, [y](const Rect& r) { return r.bottom <= y; });
    for (; next < rects.size() && rects[next].top == y; ++next) {
      auto at = std::upper_bound(active.begin(), active.end(), rects[next],
                                 [](const Rect& a, const Rect& b) { return a.left < b.left; });
      active.insert(at, rects[next]);
    }
    int32_t done = area.left;
    for (const Rect& r : active) {
      int32_t left = std::max(r.left, done);
      if (left < r.right) copy(y, left, r.right);
      done = std::max(done, r.right);
    }
  }
}

void ClearDirtyRects() noexcept { gCount = gRestored = 0; }

Rect AppendDirtyRect(const Rect& rect) noexcept {
  if (gCount < kDirtyRectCapacity) return gRects[gCount++] = rect;
  Rect& last = gRects[gCount - 1];
  if (Empty(rect)) return rect;
  if (!Empty(last))
    last = Rect{std::min(last.left, rect.left), std::min(last.top, rect.top),
                std::max(last.right, rect.right), std::max(last.bottom, rect.bottom)};
  else
    last = rect;
  return last;
}

int DirtyRectCount() noexcept { return gCount; }
const Rect& DirtyRectAt(int index) noexcept { return gRects[index]; }

void MarkDirtyRectsRestored() noexcept { gRestored = gCount; }

void DropRestoredDirtyRects() noexcept {
  std::copy(gRects + gRestored, gRects + gCount, gRects);
  gCount -= gRestored;
  gRestored = 0;
}

int32_t Native_drt_init(Addr) {
  ClearDirtyRects();
  return 1;
}

int32_t Native_drt_set(Addr args) {
  Addr at = ArgAddr(args, 0);
  Rect r;
  if (at == 0 || gCount >= kMaxDirtyRects || !ReadRect(at, r)) return 0;
  gRects[gCount++] = r;
  return 1;
}

int32_t CopyDirtyRects(int32_t dstSlot, int32_t x, int32_t y, int32_t srcSlot, const Rect* srcRect) {
  if (gCount == 0) return 1;
  Plane* dst = PlaneAt(dstSlot);
  const Plane* src = PlaneAt(srcSlot);
  if (!dst || !src || !DepthsCopyable(*dst, *src)) return 0;
  Rect from = srcRect ? *srcRect : Rect{0, 0, src->width, src->height};
  Rect inside = Intersect(from, Rect{0, 0, src->width, src->height});
  if (Empty(inside)) return 0;
  // The source rectangle placed with its corner at (x, y), the part outside
  // the source dropped, clipped to the destination's clip rectangle; 64-bit
  // so that far placements cannot wrap.
  int64_t shiftX = int64_t(from.left) - x, shiftY = int64_t(from.top) - y;
  int64_t left = std::max<int64_t>(inside.left - shiftX, dst->clip.left);
  int64_t top = std::max<int64_t>(inside.top - shiftY, dst->clip.top);
  int64_t right = std::min<int64_t>(inside.right - shiftX, dst->clip.right);
  int64_t bottom = std::min<int64_t>(inside.bottom - shiftY, dst->clip.bottom);
  if (left >= right || top >= bottom) return 0;
  Rect area{int32_t(left), int32_t(top), int32_t(right), int32_t(bottom)};
  std::vector<Rect> rects;
  for (int i = 0; i < gCount; ++i) {
    Rect r = Intersect(gRects[i], area);
    if (!Empty(r)) rects.push_back(r);
  }
  SpanCopier copy{*dst, *src, int32_t(shiftX), int32_t(shiftY)};
  SweepDirtySpans(area, std::move(rects), copy);
  return 1;
}

int32_t Native_drt_copy(Addr args) {
  Rect from;
  Addr at = ArgAddr(args, 4);
  if (at && !ReadRect(at, from)) return gCount == 0 ? 1 : 0;
  return CopyDirtyRects(Arg(args, 0), Arg(args, 1), Arg(args, 2), Arg(args, 3), at ? &from : nullptr);
}

}  // namespace qavz
