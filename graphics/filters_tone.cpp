// Filters that recompute each pixel from its neighbourhood or its
// luminance: gradation (neighbour average), mosaic (block averages) and
// monotone (a two-colour tone ramp).
#include <algorithm>
#include <new>

#include "graphics/colour.h"
#include "graphics/filter_support.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

// Channel-wise truncating average of N (2 or 4) pixels holding Lanes fields
// of Bits bits each: 8-bit lanes summed two at a time in 16-bit halves, or
// the 5-bit fields of 5-5-5 summed apart from their neighbours.
template <int Lanes, int Bits, int N>
uint32_t Average(const uint32_t (&p)[N]) {
  static_assert(N == 2 || N == 4);
  constexpr int kShift = N == 4 ? 2 : 1;
  if constexpr (Lanes == 1) {
    uint32_t sum = 0;
    for (uint32_t v : p) sum += v;
    return sum >> kShift;
  } else if constexpr (Bits == 5) {
    uint32_t rb = 0, g = 0;
    for (uint32_t v : p) {
      rb += v & 0x7C1Fu;
      g += v & 0x03E0u;
    }
    return ((rb >> kShift) & 0x7C1Fu) | ((g >> kShift) & 0x03E0u);
  } else {
    uint32_t rb = 0, ga = 0;
    for (uint32_t v : p) {
      rb += v & 0x00FF00FFu;
      ga += (v >> 8) & 0x00FF00FFu;
    }
    uint32_t out = ((rb >> kShift) & 0x00FF00FFu) | ((ga >> kShift) & 0x00FF00FFu) << 8;
    return Lanes == 3 ? out & 0xFFFFFFu : out;
  }
}

struct Copy {
  const Plane* dst;
  const Plane* src;
  Rect to, from;  // equal-sized areas of the two planes
  Rect limit;     // the source rectangle within its plane: where neighbours exist
};

// Each output pixel is the average of the source pixels above, below, left
// and right of it; beyond the source rectangle the pixel itself stands in.
// A 32-bit destination fed from 24 bits keeps its alpha.
template <int SrcBpp, int DstBpp, int Lanes, int Bits>
void GradationRows(const Copy& job) {
  const Plane& src = *job.src;
  uint32_t keep = (DstBpp == 4 && Lanes == 3) ? 0xFF000000u : 0;
  for (int32_t y = job.from.top; y < job.from.bottom; ++y) {
    const uint8_t* row = src.Row(y);
    const uint8_t* above = y > job.limit.top ? src.Row(y - 1) : row;
    const uint8_t* below = y + 1 < job.limit.bottom ? src.Row(y + 1) : row;
    uint8_t* out = job.dst->Row(job.to.top + (y - job.from.top)) + size_t(job.to.left) * DstBpp;
    if constexpr (SrcBpp == DstBpp && Lanes == SrcBpp && Bits == 8) {
      // Every byte is a channel: the columns with both side neighbours
      // average byte by byte, the two end columns below.
      int32_t first = std::max(job.from.left, job.limit.left + 1);
      int32_t last = std::min(job.from.right, job.limit.right - 1);
      if (first < last) {
        size_t begin = size_t(first) * SrcBpp, end = size_t(last) * SrcBpp;
        uint8_t* __restrict o = out + (begin - size_t(job.from.left) * SrcBpp);
        for (size_t i = begin; i < end; ++i)
          o[i - begin] = uint8_t((above[i] + below[i] + row[i - SrcBpp] + row[i + SrcBpp]) >> 2);
      }
    }
    for (int32_t x = job.from.left; x < job.from.right; ++x, out += DstBpp) {
      if constexpr (SrcBpp == DstBpp && Lanes == SrcBpp && Bits == 8) {
        if (x > job.limit.left && x + 1 < job.limit.right) continue;
      }
      size_t at = size_t(x) * SrcBpp;
      uint32_t self = LoadPixel(row + at, SrcBpp);
      uint32_t p[4] = {LoadPixel(above + at, SrcBpp), LoadPixel(below + at, SrcBpp),
                       x > job.limit.left ? LoadPixel(row + at - SrcBpp, SrcBpp) : self,
                       x + 1 < job.limit.right ? LoadPixel(row + at + SrcBpp, SrcBpp) : self};
      uint32_t value = Average<Lanes, Bits>(p);
      if (keep) value |= LoadPixel(out, DstBpp) & keep;
      StorePixel(out, DstBpp, value);
    }
  }
}

using CopyLoop = void (*)(const Copy&);

CopyLoop GradationLoopFor(int32_t srcDepth, int32_t dstDepth) {
  if (srcDepth == 32 && dstDepth == 32) return GradationRows<4, 4, 4, 8>;
  if (srcDepth == 32 && dstDepth == 24) return GradationRows<4, 3, 3, 8>;
  if (srcDepth == 24 && dstDepth == 32) return GradationRows<3, 4, 3, 8>;
  if (srcDepth == 24 && dstDepth == 24) return GradationRows<3, 3, 3, 8>;
  if (srcDepth == 16 && dstDepth == 16) return GradationRows<2, 2, 3, 5>;
  if (srcDepth == 8 && dstDepth == 8) return GradationRows<1, 1, 1, 8>;
  return nullptr;
}

// Blocks from the area's top-left corner. A whole block takes the average of
// its four corners, a narrower last block in a row that of its top-left and
// bottom-left pixels, and a shorter last row of blocks uses its top corners
// for the bottom ones. One output row per block row is built and copied to
// every row of the block.
template <int Bpp, int Lanes, int Bits>
bool MosaicRows(const Copy& job, int64_t blockWidth, int64_t blockHeight) {
  const Plane& src = *job.src;
  int64_t width = job.from.right - job.from.left;
  std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[size_t(width) * Bpp]);
  if (!line) return false;
  for (int64_t top = job.from.top; top < job.from.bottom; top += blockHeight) {
    int64_t rows = std::min<int64_t>(blockHeight, job.from.bottom - top);
    const uint8_t* upper = src.Row(int32_t(top));
    const uint8_t* lower = rows < blockHeight ? upper : src.Row(int32_t(top + blockHeight - 1));
    for (int64_t left = job.from.left; left < job.from.right; left += blockWidth) {
      int64_t columns = std::min<int64_t>(blockWidth, job.from.right - left);
      size_t l = size_t(left) * Bpp, r = size_t(left + blockWidth - 1) * Bpp;
      uint32_t value;
      if (columns < blockWidth) {
        uint32_t p[2] = {LoadPixel(upper + l, Bpp), LoadPixel(lower + l, Bpp)};
        value = Average<Lanes, Bits>(p);
      } else {
        uint32_t p[4] = {LoadPixel(upper + l, Bpp), LoadPixel(upper + r, Bpp), LoadPixel(lower + l, Bpp),
                         LoadPixel(lower + r, Bpp)};
        value = Average<Lanes, Bits>(p);
      }
      uint8_t* out = line.get() + size_t(left - job.from.left) * Bpp;
      for (int64_t i = 0; i < columns; ++i) StorePixel(out + size_t(i) * Bpp, Bpp, value);
    }
    for (int64_t i = 0; i < rows; ++i) {
      int32_t y = job.to.top + int32_t(top - job.from.top + i);
      std::memcpy(job.dst->Row(y) + size_t(job.to.left) * Bpp, line.get(), size_t(width) * Bpp);
    }
  }
  return true;
}

// The source and destination areas of a two-plane filter placed at (x, y)
// as gcopy places them.
bool CopyAreas(Addr args, Plane*& dst, Plane*& src, Copy& job) {
  dst = BytePlane(Arg(args, 0));
  src = BytePlane(Arg(args, 3));
  Rect rect;
  if (!dst || !src || !RectArg(ArgAddr(args, 4), *src, rect)) return false;
  job.limit = Intersect(rect, BoundsOf(*src));
  return ClipCopy(*dst, Arg(args, 1), Arg(args, 2), *src, rect, job.to, job.from);
}

}  // namespace

int32_t Native_gradation(Addr args) {
  Plane *dst, *src;
  Copy job;
  if (!CopyAreas(args, dst, src, job)) return 0;
  CopyLoop loop = GradationLoopFor(src->depth, dst->depth);
  if (!loop) return 0;
  SourceSnapshot snapshot(*src, *dst);
  if (!snapshot.Get()) return 0;
  job.dst = dst;
  job.src = snapshot.Get();
  loop(job);
  return 1;
}

int32_t Native_mosaic(Addr args) {
  Plane *dst, *src;
  Copy job;
  if (!CopyAreas(args, dst, src, job) || dst->depth != src->depth) return 0;
  int32_t blockWidth = Arg(args, 5), blockHeight = Arg(args, 6);
  if (blockWidth <= 0 || blockHeight <= 0) return 1;
  SourceSnapshot snapshot(*src, *dst);
  if (!snapshot.Get()) return 0;
  job.dst = dst;
  job.src = snapshot.Get();
  bool done;
  switch (src->depth) {
    case 8:
      done = MosaicRows<1, 1, 8>(job, blockWidth, blockHeight);
      break;
    case 16:
      done = MosaicRows<2, 3, 5>(job, blockWidth, blockHeight);
      break;
    case 24:
      done = MosaicRows<3, 3, 8>(job, blockWidth, blockHeight);
      break;
    default:
      done = MosaicRows<4, 4, 8>(job, blockWidth, blockHeight);
  }
  return done ? 1 : 0;
}

// Each pixel becomes the colour of its luminance on the ramp from the dark
// to the light colour; 32-bit alpha stays.
int32_t Native_monotone(Addr args) {
  Plane* plane = PlaneAt(Arg(args, 0));
  Rect rect;
  if (!plane || plane->depth <= 8 || !RectArg(ArgAddr(args, 1), *plane, rect)) return 0;
  Rect area = Intersect(rect, ClipOf(*plane));
  if (IsEmpty(area)) return 0;
  uint32_t dark = ColourForDepth(uint32_t(Arg(args, 2)), plane->depth);
  uint32_t light = ColourForDepth(uint32_t(Arg(args, 3)), plane->depth);
  uint8_t ramp[3][256];  // blue, green, red
  for (int c = 0; c < 3; ++c) {
    int32_t d = int32_t((dark >> (8 * c)) & 0xFF), l = int32_t((light >> (8 * c)) & 0xFF);
    for (int32_t i = 0; i < 256; ++i) ramp[c][i] = uint8_t(d + i * (l - d) / 255);
  }
  int bpp = plane->BytesPerPixel();
  for (int32_t y = area.top; y < area.bottom; ++y) {
    uint8_t* p = plane->Row(y) + size_t(area.left) * size_t(bpp);
    for (int32_t x = area.left; x < area.right; ++x, p += bpp) {
      if (bpp == 2) {
        uint32_t v = uint32_t(p[0] | p[1] << 8);
        uint32_t i = ((v >> 5 & 31) * 316446 + (v >> 10 & 31) * 161184 + (v & 31) * 61455) >> 16;
        uint32_t w = uint32_t(ramp[2][i] >> 3) << 10 | uint32_t(ramp[1][i] >> 3) << 5 | ramp[0][i] >> 3;
        p[0] = uint8_t(w);
        p[1] = uint8_t(w >> 8);
      } else {
        uint32_t i = (p[0] * 7471u + p[2] * 19595u + p[1] * 38470u) >> 16;
        p[0] = ramp[0][i];
        p[1] = ramp[1][i];
        p[2] = ramp[2][i];
      }
    }
  }
  return 1;
}

}  // namespace qavz
