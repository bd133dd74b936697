// drt_init, drt_set and drt_copy.
#include "graphics/dirty_rects.h"

#include <algorithm>
#include <bit>
#include <cstdint>
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

// Sets the coverage bits of columns [left, right) (0 <= left < right) in
// `rows` rows of `words` words each, starting at `row`.
void MarkColumns(uint64_t* row, size_t words, int64_t rows, int64_t left, int64_t right) {
  size_t first = size_t(left >> 6), last = size_t((right - 1) >> 6);
  uint64_t head = ~uint64_t(0) << (left & 63), tail = ~uint64_t(0) >> (63 - ((right - 1) & 63));
  if (first == last) head &= tail;
  for (int64_t y = 0; y < rows; ++y, row += words) {
    row[first] |= head;
    if (first == last) continue;
    for (size_t w = first + 1; w < last; ++w) row[w] = ~uint64_t(0);
    row[last] |= tail;
  }
}

// The first column at or after `from` whose bit equals `set`; `end` when
// there is none.
int64_t NextColumn(const uint64_t* row, size_t words, int64_t from, bool set, int64_t end) {
  size_t w = size_t(from >> 6);
  if (w >= words) return end;
  uint64_t bits = (set ? row[w] : ~row[w]) & (~uint64_t(0) << (from & 63));
  while (bits == 0) {
    if (++w == words) return end;
    bits = set ? row[w] : ~row[w];
  }
  return std::min<int64_t>(end, int64_t(w) * 64 + std::countr_zero(bits));
}

// The rectangles are painted into a bitmap of the area, one bit per pixel,
// a band of rows at a time so the bitmap stays small; each row's runs of
// set bits are then handed out left to right, so overlapping rectangles
// give each pixel once and touching ones give one span.
void SweepDirtySpans(const Rect& area, std::vector<Rect> rects, const SpanFunction& copy) {
  int64_t width = int64_t(area.right) - area.left, height = int64_t(area.bottom) - area.top;
  if (width <= 0 || height <= 0 || rects.empty()) return;
  size_t words = size_t((width + 63) / 64);
  int64_t bandRows = std::clamp<int64_t>(int64_t(65536 / words), 1, height);
  std::vector<uint64_t> bits(words * size_t(bandRows));
  for (int64_t bandTop = 0; bandTop < height; bandTop += bandRows) {
    int64_t bandBottom = std::min(height, bandTop + bandRows);
    std::fill(bits.begin(), bits.end(), 0);
    for (const Rect& r : rects) {
      int64_t left = std::max<int64_t>(int64_t(r.left) - area.left, 0);
      int64_t right = std::min<int64_t>(int64_t(r.right) - area.left, width);
      int64_t top = std::max<int64_t>(int64_t(r.top) - area.top, bandTop);
      int64_t bottom = std::min<int64_t>(int64_t(r.bottom) - area.top, bandBottom);
      if (left < right && top < bottom)
        MarkColumns(&bits[size_t(top - bandTop) * words], words, bottom - top, left, right);
    }
    for (int64_t y = bandTop; y < bandBottom; ++y) {
      const uint64_t* row = &bits[size_t(y - bandTop) * words];
      for (int64_t x = NextColumn(row, words, 0, true, width); x < width;) {
        int64_t end = NextColumn(row, words, x, false, width);
        copy(int32_t(area.top + y), int32_t(area.left + x), int32_t(area.left + end));
        x = NextColumn(row, words, end, true, width);
      }
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
