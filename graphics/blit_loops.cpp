#include "graphics/blit_loops.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "graphics/blend_tables.h"
#include "graphics/colour.h"
#include "graphics/pixel_access.h"

namespace qavz {

namespace {

// Pixels per pass of a kernel: a row is worked on in pieces that stay in
// the first-level cache.
constexpr int32_t kChunk = 256;

// The bits of a raw pixel that a colour key compares.
template <int B>
constexpr uint32_t kKeyBits = B == 1   ? 0xFF
                              : B == 2 ? 0x7FFF
                                       : 0xFFFFFF;

inline uint32_t To555(uint32_t rgb) { return Pack555(rgb); }
inline uint32_t FromFields(uint32_t f) {
  return (f & 31) | (((f >> 8) & 31) << 5) | (((f >> 16) & 31) << 10);
}

constexpr uint32_t kOpaque = 0xFF000000u;
constexpr uint32_t kKeyMark = 0xFE000000u;

// A raw source pixel in the compute space, alpha lane included.
template <int S, ComputeSpace Space>
inline uint32_t SourceValue(uint32_t p, const BlitJob& job, const BlendTableSet& t) {
  if constexpr (S == 1) {
    return job.srcLut[p];
  } else if constexpr (Space == ComputeSpace::kIndex) {
    uint32_t alpha = S == 4 ? p & kOpaque : kOpaque;
    if (job.markKey) alpha = (p & kKeyBits<S>) == job.rawKey ? kKeyMark : kOpaque;
    return t.colourMap[S == 2 ? p & 0x7FFF : To555(p)] | alpha;
  } else if constexpr (Space == ComputeSpace::kFields) {
    return Fields(p) | kOpaque;
  } else if constexpr (S == 2) {
    return t.rgbOf555[p & 0x7FFF] | kOpaque;
  } else if constexpr (S == 3) {
    return p | kOpaque;
  } else {
    return p;
  }
}

template <int D, ComputeSpace Space>
inline uint32_t DestValue(uint32_t p, const BlitJob& job, const BlendTableSet& t) {
  if constexpr (Space == ComputeSpace::kMapped) return job.dstLut[p];
  if constexpr (Space == ComputeSpace::kIndex || D == 3) return p | kOpaque;
  if constexpr (Space == ComputeSpace::kFields) return Fields(p) | kOpaque;
  if constexpr (Space == ComputeSpace::kRgb && D == 2) return t.rgbOf555[p & 0x7FFF] | kOpaque;
  return p;
}

template <int D, ComputeSpace Space>
inline void StoreValue(uint8_t* p, uint32_t v, const BlendTableSet& t) {
  if constexpr (Space == ComputeSpace::kMapped) {
    p[0] = t.colourMap[To555(v)];
  } else if constexpr (D == 1) {
    p[0] = uint8_t(v);
  } else if constexpr (D == 2) {
    uint32_t w = Space == ComputeSpace::kFields ? FromFields(v) : To555(v);
    p[0] = uint8_t(w);
    p[1] = uint8_t(w >> 8);
  } else {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
  }
}

// The attached plane's byte replaces the alpha lane.
inline uint32_t WithMask(uint32_t v, uint8_t m) { return (v & 0x00FFFFFF) | (uint32_t(m) << 24); }

template <int S, ComputeSpace Space, bool Masked>
void GatherScaled(const BlitJob& job, const BlendTableSet& t, int32_t r, int32_t x, int32_t n,
                  uint32_t* out) {
  const uint8_t* row = job.srcRow0 + ptrdiff_t(job.rows[r]) * job.srcRowStep;
  const int32_t* columns = job.columns + x;
  for (int32_t i = 0; i < n; ++i)
    out[i] = SourceValue<S, Space>(LoadPixel<S>(row + ptrdiff_t(columns[i]) * S), job, t);
  if constexpr (Masked) {
    const uint8_t* mask = job.maskRow0 + ptrdiff_t(job.rows[r]) * job.maskRowStep + (job.maskBytes - 1);
    for (int32_t i = 0; i < n; ++i) out[i] = WithMask(out[i], mask[ptrdiff_t(columns[i]) * job.maskBytes]);
  }
}

// Positions stay inside the limits over the row's span, so they fit 64 bits.
template <int S, ComputeSpace Space, bool Masked>
void GatherRotated(const BlitJob& job, const BlendTableSet& t, int64_t& px, int64_t& py, int32_t n,
                   uint32_t* out) {
  for (int32_t i = 0; i < n; ++i) {
    ptrdiff_t sx = ptrdiff_t(px >> 16), sy = ptrdiff_t(py >> 16);
    uint32_t v = SourceValue<S, Space>(LoadPixel<S>(job.srcRow0 + sy * job.srcRowStep + sx * S), job, t);
    if constexpr (Masked)
      v = WithMask(v, job.maskRow0[sy * job.maskRowStep + sx * job.maskBytes + job.maskBytes - 1]);
    out[i] = v;
    px += job.columnDx;
    py += job.columnDy;
  }
}

__int128 FloorDiv(__int128 a, __int128 b) {  // b > 0
  __int128 q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}

// Narrows [lo, hi) to the i with lower <= (p0 + i * inc) >> 16 < upper.
void Narrow(__int128 p0, int64_t inc, int32_t lower, int32_t upper, __int128& lo, __int128& hi) {
  __int128 a = __int128(lower) * 65536, b = __int128(upper) * 65536;
  if (inc == 0) {
    if (p0 < a || p0 >= b) hi = lo;
  } else if (inc > 0) {
    lo = std::max(lo, -FloorDiv(p0 - a, inc));  // ceil((a - p0) / inc)
    hi = std::min(hi, -FloorDiv(p0 - b, inc));
  } else {
    hi = std::min(hi, FloorDiv(p0 - a, -__int128(inc)) + 1);
    lo = std::max(lo, FloorDiv(p0 - b, -__int128(inc)) + 1);
  }
}

// The span of row r whose source lies inside the limits, and its first position.
bool RowSpan(const BlitJob& job, int32_t r, int32_t& first, int32_t& end, int64_t& px, int64_t& py) {
  __int128 x0 = job.startX + __int128(r) * job.rowDx, y0 = job.startY + __int128(r) * job.rowDy;
  __int128 lo = 0, hi = job.width;
  Narrow(x0, job.columnDx, job.limitLeft, job.limitRight, lo, hi);
  Narrow(y0, job.columnDy, job.limitTop, job.limitBottom, lo, hi);
  if (lo >= hi) return false;
  first = int32_t(lo);
  end = int32_t(hi);
  px = int64_t(x0 + lo * job.columnDx);
  py = int64_t(y0 + lo * job.columnDy);
  return true;
}

template <int S, int D, bool Masked, bool Rotated, ComputeSpace Space>
void Rows(const BlitJob& job) {
  // Stores that could change a pixel the mode leaves (a 16-bit pixel's top
  // bit, a remapped index) write only the pixels the kernel wrote.
  constexpr bool kOnlyWritten = D == 2 || Space == ComputeSpace::kMapped;
  const BlendTableSet& t = BlendTables();
  const ModeKernels& kernels = *job.kernels;
  ModeKernel kernel = kernels.mode[job.mode];
  alignas(32) uint32_t sbuf[kChunk];
  alignas(32) uint32_t dbuf[kChunk];
  uint8_t written[kChunk];
  for (int32_t r = 0; r < job.height; ++r) {
    uint8_t* dstRow = job.dst + r * job.dstRowStep;
    int32_t first = 0, end = job.width;
    int64_t px = 0, py = 0;
    if constexpr (Rotated)
      if (!RowSpan(job, r, first, end, px, py)) continue;
    // Sources in order go through the implementation's row conversions.
    bool contiguous = !Rotated && !Masked && job.contiguous;
    bool contiguousRgb = contiguous && (Space == ComputeSpace::kRgb || Space == ComputeSpace::kMapped);
    // 32 to 32 bits in order needs no buffers: the kernel takes the whole row.
    int32_t chunk = S == 4 && D == 4 && contiguousRgb ? end - first : kChunk;
    for (int32_t x = first; x < end; x += chunk) {
      int32_t n = std::min(chunk, end - x);
      const uint32_t* s = sbuf;
      const uint8_t* srcRow = Rotated ? nullptr : job.srcRow0 + ptrdiff_t(job.rows[r]) * job.srcRowStep;
      const uint8_t* sp = contiguous ? srcRow + (ptrdiff_t(job.columns[0]) + x) * S : nullptr;
      if constexpr (Rotated) {
        GatherRotated<S, Space, Masked>(job, t, px, py, n, sbuf);
      } else if (contiguous && S == 1) {
        kernels.fromTable8(sp, job.srcLut, sbuf, n);
      } else if (contiguous && Space == ComputeSpace::kIndex && S == 2) {
        kernels.indexOf555(sp, sbuf, n, t.colourMap, KeyMark{job.markKey, job.rawKey});
      } else if (contiguous && Space == ComputeSpace::kIndex) {
        const uint32_t* rgb = reinterpret_cast<const uint32_t*>(sp);
        if (S == 3) kernels.from24(sp, sbuf, n);
        kernels.indexOfRgb(S == 3 ? sbuf : rgb, sbuf, n, t.colourMap, KeyMark{job.markKey, job.rawKey});
      } else if (contiguousRgb && S == 4) {
        s = reinterpret_cast<const uint32_t*>(sp);
      } else if (contiguousRgb && S == 3) {
        kernels.from24(sp, sbuf, n);
      } else if (contiguousRgb && S == 2) {
        kernels.from555(sp, sbuf, n);
      } else {
        GatherScaled<S, Space, Masked>(job, t, r, x, n, sbuf);
      }
      // Sources of 24 and 32 bits meet a 16-bit destination as 5-5-5 pixels;
      // a keyed mode finds its key on the colour before it is truncated.
      if constexpr (D == 2 && Space == ComputeSpace::kRgb && S >= 3) {
        kernels.quantise555(s, sbuf, n, KeyMark{job.markKey, job.rawKey});
        s = sbuf;
      }
      uint8_t* dp = dstRow + ptrdiff_t(x) * D;
      uint32_t* d = dbuf;
      if constexpr (D == 4)
        d = reinterpret_cast<uint32_t*>(dp);
      else if constexpr (D == 3)
        kernels.from24(dp, dbuf, n);
      else if constexpr (D == 2 && Space == ComputeSpace::kRgb)
        kernels.from555(dp, dbuf, n);
      else if constexpr (Space == ComputeSpace::kIndex)
        kernels.from8(dp, dbuf, n);
      else if constexpr (Space == ComputeSpace::kMapped)
        kernels.fromTable8(dp, job.dstLut, dbuf, n);
      else
        for (int32_t i = 0; i < n; ++i) dbuf[i] = DestValue<D, Space>(LoadPixel<D>(dp + i * D), job, t);
      kernel(d, s, kOnlyWritten ? written : nullptr, n, *job.args);
      if constexpr (D == 3)
        kernels.to24(d, dp, n);
      else if constexpr (D == 2 && Space == ComputeSpace::kRgb)
        kernels.to555(d, written, dp, n);
      else if constexpr (Space == ComputeSpace::kIndex)
        kernels.to8(d, dp, n);
      else if constexpr (D != 4)
        for (int32_t i = 0; i < n; ++i)
          if (!kOnlyWritten || written[i]) StoreValue<D, Space>(dp + i * D, d[i], t);
    }
  }
}

template <int S, int D, bool Masked, bool Rotated>
void Loop(const BlitJob& job) {
  if (D != 4 && job.mode == 23) return;  // no alpha byte to copy into
  if constexpr (D == 1) {
    if (job.space == ComputeSpace::kMapped)
      Rows<S, D, Masked, Rotated, ComputeSpace::kMapped>(job);
    else
      Rows<S, D, Masked, Rotated, ComputeSpace::kIndex>(job);
  } else if constexpr (D == 2 && S == 2) {
    if (job.space == ComputeSpace::kFields)
      Rows<S, D, Masked, Rotated, ComputeSpace::kFields>(job);
    else
      Rows<S, D, Masked, Rotated, ComputeSpace::kRgb>(job);
  } else {
    Rows<S, D, Masked, Rotated, ComputeSpace::kRgb>(job);
  }
}

// The combinations that have no loop.
constexpr bool NotProvided(int mode, int srcBytes, int dstBytes) {
  if (MaskedMode(mode) && srcBytes == 1) return true;  // alpha needs a deeper source
  if (mode == 8 && dstBytes == 1) return true;
  if (mode == 9 && (srcBytes == 1 || dstBytes == 1)) return true;
  if (mode == 24 && srcBytes != 1) return true;  // coverage comes from 8-bit sources
  return false;
}

template <bool Masked, bool Rotated, size_t... Pair>
constexpr std::array<BlitLoop, 16> PairLoops(std::index_sequence<Pair...>) {
  return {&Loop<int(Pair / 4 + 1), int(Pair % 4 + 1), Masked, Rotated>...};
}

template <bool Masked, bool Rotated, size_t N>
constexpr std::array<BlitLoop, N> Build(int firstMode) {
  constexpr std::array<BlitLoop, 16> loops = PairLoops<Masked, Rotated>(std::make_index_sequence<16>{});
  std::array<BlitLoop, N> table{};
  for (size_t i = 0; i < N; ++i) {
    int mode = firstMode + int(i / 16), src = int(i % 16 / 4 + 1), dst = int(i % 4 + 1);
    bool provided = !NotProvided(mode, src, dst) && (!Masked || MaskedMode(mode));
    table[i] = provided ? loops[i % 16] : nullptr;
  }
  return table;
}

}  // namespace

constexpr LoopTable kScaledLoops = Build<false, false, kLoopRows * 16>(0);
constexpr MaskedLoopTable kScaledMaskedLoops = Build<true, false, kMaskedLoopRows * 16>(kFirstMaskedMode);
constexpr LoopTable kRotatedLoops = Build<false, true, kLoopRows * 16>(0);
constexpr MaskedLoopTable kRotatedMaskedLoops = Build<true, true, kMaskedLoopRows * 16>(kFirstMaskedMode);

}  // namespace qavz
