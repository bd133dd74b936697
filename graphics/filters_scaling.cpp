// Scaling filters: smooth (bilinear scaling of a rectangle) and tiled (a
// turned and zoomed source repeated over a rectangle).
#include <algorithm>
#include <new>

#include "graphics/filter_support.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

using Wide = __int128;

template <typename T>
std::unique_ptr<T[]> NewArray(size_t n) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[n]);
}

// One axis of a smooth scaling: for each destination pixel that is drawn,
// the source pixel at or before its position, the next one (the same at the
// far edge) and the 8-bit fraction between them.
struct Axis {
  int32_t first = 0, count = 0;  // destination pixels first .. first + count - 1
  std::unique_ptr<int32_t[]> near, next;
  std::unique_ptr<uint8_t[]> fraction;
};

// The source runs over [from, to) and is read only inside [lo, hi); the
// destination covers [dFrom, dTo) and is drawn only inside [clipLo, clipHi).
// A 32.32 step of source extent / destination extent, starting half its
// fraction in, as the scaled blit steps; destination pixels whose source
// falls outside [lo, hi) are cut.
bool BuildAxis(int64_t dFrom, int64_t dTo, int64_t clipLo, int64_t clipHi, int64_t from, int64_t to,
               int64_t lo, int64_t hi, Axis& axis) {
  Wide step = (Wide(to - from) << 32) / (dTo - dFrom);
  Wide start = (Wide(from) << 32) + Wide(uint64_t(step) & 0xFFFFFFFFu) / 2;
  int64_t begin = std::max(dFrom, clipLo), end = std::min(dTo, clipHi);
  if (end <= begin) return false;
  axis.near = NewArray<int32_t>(size_t(end - begin));
  axis.next = NewArray<int32_t>(size_t(end - begin));
  axis.fraction = NewArray<uint8_t>(size_t(end - begin));
  if (!axis.near || !axis.next || !axis.fraction) return false;
  axis.count = 0;
  for (int64_t d = begin; d < end; ++d) {
    Wide position = start + step * (d - dFrom);
    int64_t source = int64_t(position >> 32);
    if (source < lo || source >= hi) continue;
    if (axis.count == 0) axis.first = int32_t(d);
    axis.near[axis.count] = int32_t(source);
    axis.next[axis.count] = int32_t(std::min(source + 1, hi - 1));
    axis.fraction[axis.count] = uint8_t(position >> 24);
    ++axis.count;
  }
  return axis.count > 0;
}

// Bilinear blend of `channels` 8-bit lanes (Shift 8) or 5-bit fields
// (Shift 5) of four pixels.
template <int Channels, int Shift>
uint32_t Blend(uint32_t p00, uint32_t p01, uint32_t p10, uint32_t p11, uint32_t fx, uint32_t fy) {
  constexpr uint32_t kField = (1u << Shift) - 1;
  uint32_t out = 0;
  for (int c = 0; c < Channels; ++c) {
    int shift = c * Shift;
    uint32_t top = ((p00 >> shift) & kField) * (256 - fx) + ((p01 >> shift) & kField) * fx;
    uint32_t bottom = ((p10 >> shift) & kField) * (256 - fx) + ((p11 >> shift) & kField) * fx;
    out |= ((top * (256 - fy) + bottom * fy) >> 16) << shift;
  }
  return out;
}

struct SmoothJob {
  const Plane* dst;
  const Plane* src;
  const Axis* x;
  const Axis* y;
  uint32_t key, mask;
};

// SrcBpp and DstBpp are the pixel sizes, Channels and Shift the lanes
// interpolated; a 32-bit destination fed from 24 bits keeps its alpha.
template <int SrcBpp, int DstBpp, int Channels, int Shift>
void SmoothRows(const SmoothJob& job) {
  const Axis& ax = *job.x;
  const Axis& ay = *job.y;
  uint32_t keep = (DstBpp == 4 && Channels == 3) ? 0xFF000000u : 0;
  for (int32_t j = 0; j < ay.count; ++j) {
    const uint8_t* upper = job.src->Row(ay.near[j]);
    const uint8_t* lower = job.src->Row(ay.next[j]);
    uint32_t fy = ay.fraction[j];
    uint8_t* out = job.dst->Row(ay.first + j) + size_t(ax.first) * DstBpp;
    for (int32_t i = 0; i < ax.count; ++i, out += DstBpp) {
      size_t a = size_t(ax.near[i]) * SrcBpp, b = size_t(ax.next[i]) * SrcBpp;
      uint32_t p[4] = {LoadPixel(upper + a, SrcBpp), LoadPixel(upper + b, SrcBpp),
                       LoadPixel(lower + a, SrcBpp), LoadPixel(lower + b, SrcBpp)};
      uint32_t current = LoadPixel(out, DstBpp);
      if (job.key != kNoKey)
        for (uint32_t& q : p)
          if ((q & job.mask) == job.key) q = current;
      uint32_t value = Blend<Channels, Shift>(p[0], p[1], p[2], p[3], ax.fraction[i], fy);
      StorePixel(out, DstBpp, value | (current & keep));
    }
  }
}

// Field c of a pixel: byte c, or the 5-bit field c of 5-5-5.
template <int Shift>
inline uint32_t FieldOf(uint32_t v, int c) {
  return (v >> (c * Shift)) & ((1u << Shift) - 1);
}

// Without a key the interpolation separates: each source row in use is
// first interpolated across once (a x (256 - fx) + b x fx per channel, at
// most 65280), then every destination row mixes its two such rows, which is
// the same sum as weighting the four pixels at once.
template <int SrcBpp, int DstBpp, int Channels, int Shift>
bool SmoothSeparable(const SmoothJob& job) {
  const Axis& ax = *job.x;
  const Axis& ay = *job.y;
  const size_t n = size_t(ax.count) * Channels;
  std::unique_ptr<uint16_t[]> buffers(new (std::nothrow) uint16_t[2 * n]);
  std::unique_ptr<uint8_t[]> mixed(new (std::nothrow) uint8_t[n]);
  if (!buffers || !mixed) return false;
  uint16_t* across[2] = {buffers.get(), buffers.get() + n};
  int32_t held[2] = {-1, -1};
  // The buffer holding source row `row`, filled into the buffer that does
  // not hold `keep` when neither holds it yet.
  auto acrossRow = [&](int32_t row, int32_t keep) {
    for (int b = 0; b < 2; ++b)
      if (held[b] == row) return across[b];
    int b = held[0] == keep ? 1 : 0;
    const uint8_t* in = job.src->Row(row);
    uint16_t* out = across[b];
    for (int32_t i = 0; i < ax.count; ++i) {
      uint32_t p = LoadPixel(in + size_t(ax.near[i]) * SrcBpp, SrcBpp);
      uint32_t q = LoadPixel(in + size_t(ax.next[i]) * SrcBpp, SrcBpp);
      uint32_t fx = ax.fraction[i];
      for (int c = 0; c < Channels; ++c)
        out[size_t(i) * Channels + c] =
            uint16_t(FieldOf<Shift>(p, c) * (256 - fx) + FieldOf<Shift>(q, c) * fx);
    }
    held[b] = row;
    return out;
  };
  for (int32_t j = 0; j < ay.count; ++j) {
    const uint16_t* __restrict upper = acrossRow(ay.near[j], ay.next[j]);
    const uint16_t* __restrict lower = acrossRow(ay.next[j], ay.near[j]);
    const uint32_t fy = ay.fraction[j];
    uint8_t* __restrict mix = mixed.get();
    for (size_t k = 0; k < n; ++k)
      mix[k] = uint8_t((uint32_t(upper[k]) * (256 - fy) + uint32_t(lower[k]) * fy) >> 16);
    uint8_t* out = job.dst->Row(ay.first + j) + size_t(ax.first) * DstBpp;
    if constexpr (Shift == 8 && Channels == DstBpp) {
      std::memcpy(out, mix, n);
    } else {
      for (int32_t i = 0; i < ax.count; ++i, out += DstBpp) {
        uint32_t value = DstBpp == 4 ? LoadPixel(out, 4) & 0xFF000000u : 0;
        for (int c = 0; c < Channels; ++c) value |= uint32_t(mix[size_t(i) * Channels + c]) << (c * Shift);
        StorePixel(out, DstBpp, value);
      }
    }
  }
  return true;
}

using SmoothLoop = bool (*)(const SmoothJob&);

template <int SrcBpp, int DstBpp, int Channels, int Shift>
bool Smooth(const SmoothJob& job) {
  if (job.key == kNoKey) return SmoothSeparable<SrcBpp, DstBpp, Channels, Shift>(job);
  SmoothRows<SrcBpp, DstBpp, Channels, Shift>(job);
  return true;
}

// The supported depth pairs: 24 or 32 bits into 24 or 32, 16 into 16, 8
// into 8.
SmoothLoop SmoothLoopFor(int32_t srcDepth, int32_t dstDepth) {
  if (srcDepth == 32 && dstDepth == 32) return Smooth<4, 4, 4, 8>;
  if (srcDepth == 32 && dstDepth == 24) return Smooth<4, 3, 3, 8>;
  if (srcDepth == 24 && dstDepth == 32) return Smooth<3, 4, 3, 8>;
  if (srcDepth == 24 && dstDepth == 24) return Smooth<3, 3, 3, 8>;
  if (srcDepth == 16 && dstDepth == 16) return Smooth<2, 2, 3, 5>;
  if (srcDepth == 8 && dstDepth == 8) return Smooth<1, 1, 1, 8>;
  return nullptr;
}

// 16.16 source positions kept inside the source rectangle: one column right
// adds (a, b), one row down adds (-b, a), each wrapped once.
template <int Bpp>
bool TileRows(const Plane& dst, const Rect& area, const Plane& src, const Rect& source, Wide u0, Wide v0,
              int64_t a, int64_t b) {
  const int32_t height = source.bottom - source.top;
  const uint32_t uSpan = uint32_t(source.right - source.left) << 16, vSpan = uint32_t(height) << 16;
  std::unique_ptr<const uint8_t*[]> rows(new (std::nothrow) const uint8_t*[size_t(height)]);
  if (!rows) return false;
  for (int32_t i = 0; i < height; ++i) rows[i] = src.Row(source.top + i) + size_t(source.left) * Bpp;
  auto wrap = [](Wide value, uint32_t span) {
    Wide m = value % span;
    return uint32_t(m < 0 ? m + span : m);
  };
  const uint32_t au = wrap(a, uSpan), av = wrap(b, vSpan), bu = wrap(-Wide(b), uSpan), bv = wrap(a, vSpan);
  uint32_t rowU = wrap(u0, uSpan), rowV = wrap(v0, vSpan);
  for (int32_t y = area.top; y < area.bottom; ++y) {
    uint8_t* out = dst.Row(y) + size_t(area.left) * Bpp;
    uint32_t u = rowU, v = rowV;
    for (int32_t x = area.left; x < area.right; ++x, out += Bpp) {
      std::memcpy(out, rows[v >> 16] + size_t(u >> 16) * Bpp, Bpp);
      u += au;
      u -= u >= uSpan ? uSpan : 0;
      v += av;
      v -= v >= vSpan ? vSpan : 0;
    }
    rowU += bu;
    rowU -= rowU >= uSpan ? uSpan : 0;
    rowV += bv;
    rowV -= rowV >= vSpan ? vSpan : 0;
  }
  return true;
}

}  // namespace

int32_t Native_smooth(Addr args) {
  Plane* dst = BytePlane(Arg(args, 0));
  Plane* src = BytePlane(Arg(args, 2));
  if (!dst || !src) return 0;
  SmoothLoop loop = SmoothLoopFor(src->depth, dst->depth);
  Rect to, from;
  if (!loop || !RectArg(ArgAddr(args, 1), *dst, to) || !RectArg(ArgAddr(args, 3), *src, from)) return 0;
  if (IsEmpty(to) || IsEmpty(from)) return 0;
  Rect clip = ClipOf(*dst);
  int64_t left = std::max(from.left, 0), right = std::min(from.right, src->width);
  int64_t top = std::max(from.top, 0), bottom = std::min(from.bottom, src->height);
  Axis x, y;
  if (!BuildAxis(to.left, to.right, clip.left, clip.right, from.left, from.right, left, right, x)) return 0;
  if (!BuildAxis(to.top, to.bottom, clip.top, clip.bottom, from.top, from.bottom, top, bottom, y)) return 0;
  SourceSnapshot source(*src, *dst);
  if (!source.Get()) return 0;
  return loop(SmoothJob{dst, source.Get(), &x, &y, KeyForDepth(Arg(args, 4), src->depth),
                        ColourMask(src->depth)})
             ? 1
             : 0;
}

// Each destination pixel reads the source at its offset from the
// destination rectangle's centre, turned by the angle and divided by the
// zoom, counted from the source rectangle's centre and wrapped around it.
int32_t Native_tiled(Addr args) {
  Plane* dst = BytePlane(Arg(args, 0));
  Plane* src = BytePlane(Arg(args, 2));
  const int32_t* sine = SineTable();
  if (!dst || !src || !sine || dst->depth != src->depth) return 0;
  Rect to, from;
  if (!RectArg(ArgAddr(args, 1), *dst, to) || !RectArg(ArgAddr(args, 3), *src, from)) return 0;
  Rect area = Intersect(to, ClipOf(*dst));
  Rect source = Intersect(from, BoundsOf(*src));
  if (IsEmpty(to) || IsEmpty(area) || IsEmpty(source)) return 0;
  int32_t angle = Arg(args, 4), zoom = Arg(args, 5);
  if (zoom == 0) zoom = 1;
  int64_t a = int64_t(Cos(sine, angle)) * 65536 / zoom, b = int64_t(Sin(sine, angle)) * 65536 / zoom;
  int64_t cx = (int64_t(to.left) + to.right) / 2, cy = (int64_t(to.top) + to.bottom) / 2;
  int64_t sx = (int64_t(source.left) + source.right) / 2 - source.left;
  int64_t sy = (int64_t(source.top) + source.bottom) / 2 - source.top;
  Wide dx = area.left - cx, dy = area.top - cy;
  Wide u0 = (Wide(sx) << 16) + dx * a - dy * b, v0 = (Wide(sy) << 16) + dx * b + dy * a;
  SourceSnapshot snapshot(*src, *dst);
  if (!snapshot.Get()) return 0;
  const Plane& in = *snapshot.Get();
  bool done;
  switch (dst->BytesPerPixel()) {
    case 1:
      done = TileRows<1>(*dst, area, in, source, u0, v0, a, b);
      break;
    case 2:
      done = TileRows<2>(*dst, area, in, source, u0, v0, a, b);
      break;
    case 3:
      done = TileRows<3>(*dst, area, in, source, u0, v0, a, b);
      break;
    default:
      done = TileRows<4>(*dst, area, in, source, u0, v0, a, b);
  }
  return done ? 1 : 0;
}

}  // namespace qavz
