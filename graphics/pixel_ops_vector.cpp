// The vector pixel operations (SSE2, the x86-64 baseline successor of MMX).
//
// Blends use the weight w' = w + (w >> 7) (0 .. 256) on 16-bit lanes:
// each channel becomes (S * (256 - w') + U * w') >> 8, which never leaves
// 16 bits. The 16-bit formats keep the full 8-bit weight. Row ends too short
// for a register use the same formula one pixel at a time. Keyed copy,
// conversions, desaturation and grey tint are the portable ones.
#include "graphics/pixel_ops.h"

#if defined(__SSE2__)

#include <emmintrin.h>

#include "graphics/pixel_ops_internal.h"

namespace qavz {

namespace {

using namespace pixel;

inline uint32_t VWeight(uint32_t w) { return w + (w >> 7); }

// One channel, and whole pixels of each format, by the vector formula.
inline uint32_t VLerpChannel(uint32_t s, uint32_t u, uint32_t w) { return (s * (256 - w) + u * w) >> 8; }
inline uint32_t VLerpBytes(uint32_t s, uint32_t u, uint32_t w, int bytes) {
  uint32_t out = 0;
  for (int i = 0; i < bytes * 8; i += 8) out |= VLerpChannel((s >> i) & 255, (u >> i) & 255, w) << i;
  return out;
}

template <int RedShift, uint32_t GreenMask>
inline uint32_t VLerp16(uint32_t s, uint32_t u, uint32_t w) {
  uint32_t b = VLerpChannel(s & 31, u & 31, w);
  uint32_t g = VLerpChannel((s >> 5) & GreenMask, (u >> 5) & GreenMask, w);
  uint32_t r = VLerpChannel((s >> RedShift) & 31, (u >> RedShift) & 31, w);
  return (r << RedShift) | (g << 5) | b;
}

struct V32 : Format32 {
  static uint32_t Lerp(uint32_t s, uint32_t u, uint32_t w) { return VLerpBytes(s, u, w, 4); }
};
struct V24 : Format24 {
  static uint32_t Lerp(uint32_t s, uint32_t u, uint32_t w) { return VLerpBytes(s, u, w, 3); }
};
struct V565 : Format565 {
  static constexpr int kRedShift = 11;
  static constexpr uint32_t kGreenMask = 63;
  static uint32_t Lerp(uint32_t s, uint32_t u, uint32_t w) { return VLerp16<11, 63>(s, u, w); }
};
struct V555 : Format555 {
  static constexpr int kRedShift = 10;
  static constexpr uint32_t kGreenMask = 31;
  static uint32_t Lerp(uint32_t s, uint32_t u, uint32_t w) { return VLerp16<10, 31>(s, u, w); }
};

// ---- register helpers ----

inline __m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline void Store(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

// (S * (256 - w) + U * w) >> 8 on 16-bit lanes.
inline __m128i Mix16(__m128i s, __m128i u, __m128i w, __m128i inv) {
  return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(s, inv), _mm_mullo_epi16(u, w)), 8);
}

// Sixteen byte channels with one weight (or one weight per byte, widened).
inline __m128i MixBytes(__m128i s, __m128i u, __m128i wlo, __m128i whi) {
  const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi16(256);
  __m128i lo = Mix16(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(u, zero), wlo, _mm_sub_epi16(full, wlo));
  __m128i hi = Mix16(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(u, zero), whi, _mm_sub_epi16(full, whi));
  return _mm_packus_epi16(lo, hi);
}

// Four mask bytes as per-byte weights w' of four 32-bit pixels, low and high halves.
inline void MaskWeights32(const uint8_t* m, __m128i& lo, __m128i& hi) {
  int32_t bytes;
  std::memcpy(&bytes, m, 4);
  __m128i v = _mm_cvtsi32_si128(bytes);
  v = _mm_unpacklo_epi8(v, _mm_setzero_si128());  // m0 m1 m2 m3 as words
  v = _mm_add_epi16(v, _mm_srli_epi16(v, 7));
  v = _mm_unpacklo_epi16(v, v);  // m0 m0 m1 m1 m2 m2 m3 m3
  lo = _mm_unpacklo_epi32(v, v);
  hi = _mm_unpackhi_epi32(v, v);
}

// A row of n bytes (all channels alike); `pattern` non-null means U repeats
// with period `period` bytes starting at pattern[0] (a colour).
void MixRow(uint8_t* d, const uint8_t* s, const uint8_t* u, const uint8_t* pattern, int period, size_t n,
            uint32_t w) {
  __m128i wv = _mm_set1_epi16(int16_t(w));
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    __m128i uv = pattern ? Load(pattern + i % size_t(period)) : Load(u + i);
    Store(d + i, MixBytes(Load(s + i), uv, wv, wv));
  }
  for (; i < n; ++i) d[i] = uint8_t(VLerpChannel(s[i], pattern ? pattern[i % size_t(period)] : u[i], w));
}

// A colour repeated so that any 16 bytes from offset 0 .. period - 1 follow it.
struct ColourPattern {
  uint8_t bytes[64];
  ColourPattern(uint32_t colour, int bpp) {
    for (int i = 0; i < 64; ++i) bytes[i] = uint8_t(colour >> (8 * (i % bpp)));
  }
};

// ---- 32 and 24 bits ----

template <class F>
void Lerp(uint32_t alpha, int32_t width, int32_t height, Image dst, ConstImage s, ConstImage u) {
  uint32_t w = VWeight(alpha & 255);
  for (int32_t y = 0; y < height; ++y)
    MixRow(At<F>(dst, 0, y), At<F>(s, 0, y), At<F>(u, 0, y), nullptr, 0, size_t(width) * F::kBytes, w);
}

template <class F>
void Tint(uint32_t alpha, int32_t width, int32_t height, Image dst, ConstImage s, uint32_t colour) {
  uint32_t w = VWeight(alpha & 255);
  ColourPattern pattern(colour, F::kBytes);
  int period = F::kBytes == 4 ? 4 : 48;  // 48: a multiple of 3 and 16
  for (int32_t y = 0; y < height; ++y)
    MixRow(At<F>(dst, 0, y), At<F>(s, 0, y), nullptr, pattern.bytes, period, size_t(width) * F::kBytes, w);
}

void KeyedLerp32(uint32_t alpha, int32_t width, int32_t height, Image dst, ConstImage s, ConstImage u,
                 uint32_t key) {
  uint32_t w = VWeight(alpha & 255);
  __m128i wv = _mm_set1_epi16(int16_t(w)), keyv = _mm_set1_epi32(int32_t(key & 0xFFFFFF));
  __m128i colourMask = _mm_set1_epi32(0xFFFFFF);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* d = At<V32>(dst, 0, y);
    const uint8_t *sp = At<V32>(s, 0, y), *up = At<V32>(u, 0, y);
    int32_t x = 0;
    for (; x + 4 <= width; x += 4) {
      __m128i sv = Load(sp + 4 * x), uv = Load(up + 4 * x);
      __m128i keyed = _mm_cmpeq_epi32(_mm_and_si128(uv, colourMask), keyv);
      __m128i mixed = MixBytes(sv, uv, wv, wv);
      Store(d + 4 * x, _mm_or_si128(_mm_and_si128(keyed, sv), _mm_andnot_si128(keyed, mixed)));
    }
    for (; x < width; ++x) {
      uint32_t sv = V32::Load(sp + 4 * x), uv = V32::Load(up + 4 * x);
      V32::Store(d + 4 * x, (uv & 0xFFFFFF) == (key & 0xFFFFFF) ? sv : V32::Lerp(sv, uv, w));
    }
  }
}

// K1 and K2 on 32 bits: `u` null means the colour.
void MaskedMix32(ConstImage mask, int32_t width, int32_t height, Image dst, ConstImage s, const ConstImage* u,
                 uint32_t colour) {
  __m128i colourv = _mm_set1_epi32(int32_t(colour));
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* d = At<V32>(dst, 0, y);
    const uint8_t* sp = At<V32>(s, 0, y);
    const uint8_t* up = u ? At<V32>(*u, 0, y) : nullptr;
    const uint8_t* mp = At<Format8>(mask, 0, y);
    int32_t x = 0;
    for (; x + 4 <= width; x += 4) {
      __m128i wlo, whi;
      MaskWeights32(mp + x, wlo, whi);
      Store(d + 4 * x, MixBytes(Load(sp + 4 * x), up ? Load(up + 4 * x) : colourv, wlo, whi));
    }
    for (; x < width; ++x) {
      uint32_t uv = up ? V32::Load(up + 4 * x) : colour;
      V32::Store(d + 4 * x, V32::Lerp(V32::Load(sp + 4 * x), uv, VWeight(mp[x])));
    }
  }
}

void MaskedLerp32(ConstImage mask, int32_t width, int32_t height, Image dst, ConstImage s, ConstImage u) {
  MaskedMix32(mask, width, height, dst, s, &u, 0);
}
void MaskedColour32(ConstImage mask, int32_t width, int32_t height, Image dst, ConstImage s,
                    uint32_t colour) {
  MaskedMix32(mask, width, height, dst, s, nullptr, colour);
}

// Pixel at a time by the vector formula, for the 24-bit keyed and masked forms.
template <class F>
void KeyedLerpScalar(uint32_t alpha, int32_t width, int32_t height, Image dst, ConstImage s, ConstImage u,
                     uint32_t key) {
  uint32_t w = VWeight(alpha & 255);
  key &= F::kKeyMask;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint32_t sv = F::Load(At<F>(s, x, y)), uv = F::Load(At<F>(u, x, y));
      F::Store(At<F>(dst, x, y), (uv & F::kKeyMask) == key ? sv : F::Lerp(sv, uv, w));
    }
}
template <class F>
void MaskedLerpScalar(ConstImage mask, int32_t width, int32_t height, Image dst, ConstImage s, ConstImage u) {
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      F::Store(At<F>(dst, x, y),
               F::Lerp(F::Load(At<F>(s, x, y)), F::Load(At<F>(u, x, y)), VWeight(*At<Format8>(mask, x, y))));
}
template <class F>
void MaskedColourScalar(ConstImage mask, int32_t width, int32_t height, Image dst, ConstImage s,
                        uint32_t colour) {
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      F::Store(At<F>(dst, x, y), F::Lerp(F::Load(At<F>(s, x, y)), colour, VWeight(*At<Format8>(mask, x, y))));
}

// ---- 16 bits: eight pixels per register, one field at a time ----

template <class F>
inline __m128i Mix16Pixels(__m128i s, __m128i u, __m128i w, __m128i inv) {
  const __m128i five = _mm_set1_epi16(31), green = _mm_set1_epi16(int16_t(F::kGreenMask));
  __m128i b = Mix16(_mm_and_si128(s, five), _mm_and_si128(u, five), w, inv);
  __m128i g =
      Mix16(_mm_and_si128(_mm_srli_epi16(s, 5), green), _mm_and_si128(_mm_srli_epi16(u, 5), green), w, inv);
  __m128i r = Mix16(_mm_and_si128(_mm_srli_epi16(s, F::kRedShift), five),
                    _mm_and_si128(_mm_srli_epi16(u, F::kRedShift), five), w, inv);
  return _mm_or_si128(_mm_or_si128(b, _mm_slli_epi16(g, 5)), _mm_slli_epi16(r, F::kRedShift));
}

// Every 16-bit K operation: `u` null means the colour; `mask` null means the
// one alpha weight; `keyed` compares U with the key.
template <class F>
void Mix16Rows(int32_t width, int32_t height, Image dst, ConstImage s, const ConstImage* u, uint32_t colour,
               const ConstImage* mask, uint32_t alpha, bool keyed, uint32_t key) {
  const __m128i full = _mm_set1_epi16(256), zero = _mm_setzero_si128();
  uint32_t w = VWeight(alpha & 255);
  key &= F::kKeyMask;
  __m128i wv = _mm_set1_epi16(int16_t(w)), colourv = _mm_set1_epi16(int16_t(colour));
  __m128i keyv = _mm_set1_epi16(int16_t(key)), keyMask = _mm_set1_epi16(int16_t(F::kKeyMask));
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* d = At<F>(dst, 0, y);
    const uint8_t* sp = At<F>(s, 0, y);
    const uint8_t* up = u ? At<F>(*u, 0, y) : nullptr;
    const uint8_t* mp = mask ? At<Format8>(*mask, 0, y) : nullptr;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
      __m128i sv = Load(sp + 2 * x), uv = up ? Load(up + 2 * x) : colourv, weights = wv;
      if (mp) {
        weights = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(mp + x)), zero);
        weights = _mm_add_epi16(weights, _mm_srli_epi16(weights, 7));
      }
      __m128i out = Mix16Pixels<F>(sv, uv, weights, _mm_sub_epi16(full, weights));
      if (keyed) {
        __m128i hit = _mm_cmpeq_epi16(_mm_and_si128(uv, keyMask), keyv);
        out = _mm_or_si128(_mm_and_si128(hit, sv), _mm_andnot_si128(hit, out));
      }
      Store(d + 2 * x, out);
    }
    for (; x < width; ++x) {
      uint32_t sv = F::Load(sp + 2 * x), uv = up ? F::Load(up + 2 * x) : colour;
      uint32_t weight = mp ? VWeight(mp[x]) : w;
      F::Store(d + 2 * x, keyed && (uv & F::kKeyMask) == key ? sv : F::Lerp(sv, uv, weight));
    }
  }
}

template <class F>
void KeyedLerp16(uint32_t alpha, int32_t width, int32_t height, Image dst, ConstImage s, ConstImage u,
                 uint32_t key) {
  Mix16Rows<F>(width, height, dst, s, &u, 0, nullptr, alpha, true, key);
}
template <class F>
void MaskedLerp16(ConstImage mask, int32_t width, int32_t height, Image dst, ConstImage s, ConstImage u) {
  Mix16Rows<F>(width, height, dst, s, &u, 0, &mask, 0, false, 0);
}
template <class F>
void MaskedColour16(ConstImage mask, int32_t width, int32_t height, Image dst, ConstImage s,
                    uint32_t colour) {
  Mix16Rows<F>(width, height, dst, s, nullptr, colour, &mask, 0, false, 0);
}
template <class F>
void Lerp16(uint32_t alpha, int32_t width, int32_t height, Image dst, ConstImage s, ConstImage u) {
  Mix16Rows<F>(width, height, dst, s, &u, 0, nullptr, alpha, false, 0);
}
template <class F>
void Tint16(uint32_t alpha, int32_t width, int32_t height, Image dst, ConstImage s, uint32_t colour) {
  Mix16Rows<F>(width, height, dst, s, nullptr, colour, nullptr, alpha, false, 0);
}

template <class F>
constexpr PixelGroup Group16() {
  return {KeyedLerp16<F>, MaskedLerp16<F>, MaskedColour16<F>, Lerp16<F>, Tint16<F>};
}

PixelOps BuildVectorOps() {
  PixelOps ops = PortablePixelOps();
  ops.group[kFormat32] = {KeyedLerp32, MaskedLerp32, MaskedColour32, Lerp<V32>, Tint<V32>};
  ops.group[kFormat24] = {KeyedLerpScalar<V24>, MaskedLerpScalar<V24>, MaskedColourScalar<V24>, Lerp<V24>,
                          Tint<V24>};
  ops.group[kFormat565] = Group16<V565>();
  ops.group[kFormat555] = Group16<V555>();
  return ops;
}

}  // namespace

const PixelOps* VectorPixelOps() noexcept {
  static const PixelOps ops = BuildVectorOps();
  return &ops;
}

}  // namespace qavz

#else

namespace qavz {
const PixelOps* VectorPixelOps() noexcept { return nullptr; }
}  // namespace qavz

#endif
