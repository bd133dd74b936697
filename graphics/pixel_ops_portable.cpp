// The portable pixel operations: plain integer code that runs anywhere.
//
// The 32-bit blends work on two channels per multiplication (blue and red in
// 0x00FF00FF, green and alpha shifted down by 8); the 16-bit ones spread a
// pixel so that each 5- or 6-bit field has room for the product and blend
// with a 5-bit weight. Packed lanes never borrow from each other: every
// lane's total S * 256 + (U - S) * w lies in 0 .. 255 * 256.
#include <cstring>

#include "graphics/pixel_ops.h"
#include "graphics/pixel_ops_internal.h"

namespace qavz {

namespace {

using namespace pixel;

// Blue/red and green/alpha pairs.
inline uint32_t Lerp32(uint32_t s, uint32_t u, uint32_t w) {
  uint32_t sbr = s & 0x00FF00FF, ubr = u & 0x00FF00FF;
  uint32_t sga = (s >> 8) & 0x00FF00FF, uga = (u >> 8) & 0x00FF00FF;
  uint32_t br = (((sbr << 8) + (ubr - sbr) * w) >> 8) & 0x00FF00FF;
  uint32_t ga = ((sga << 8) + (uga - sga) * w) & 0xFF00FF00;
  return br | ga;
}

inline uint32_t Tint32(uint32_t c, uint32_t s, uint32_t a) {
  uint32_t br = (((c & 0x00FF00FF) * (a + 1) + (s & 0x00FF00FF) * (255 - a)) >> 8) & 0x00FF00FF;
  uint32_t ga = (((c >> 8) & 0x00FF00FF) * (a + 1) + ((s >> 8) & 0x00FF00FF) * (255 - a)) & 0xFF00FF00;
  return br | ga;
}

inline uint32_t Lerp24(uint32_t s, uint32_t u, uint32_t w) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    int32_t sc = int32_t((s >> shift) & 255), uc = int32_t((u >> shift) & 255);
    out |= uint32_t((sc * 256 + (uc - sc) * int32_t(w)) >> 8) << shift;
  }
  return out;
}

inline uint32_t Tint24(uint32_t c, uint32_t s, uint32_t a) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8)
    out |= ((((c >> shift) & 255) * (a + 1) + ((s >> shift) & 255) * (255 - a)) >> 8) << shift;
  return out;
}

// A 16-bit pixel spread over a word so that each field has room above it.
template <uint32_t Spread>
struct Packed16 {
  static uint32_t Out(uint32_t p) { return (p | (p << 16)) & Spread; }
  static uint32_t In(uint32_t x) { return (x | (x >> 16)) & 0xFFFF; }
  static uint32_t Lerp(uint32_t s, uint32_t u, uint32_t w) {
    uint32_t ss = Out(s), us = Out(u);
    return In((((ss << 5) + (us - ss) * w) >> 5) & Spread);
  }
  // colour * (w / 8 + 1) + S * (32 - w / 8), shifted right by 5.
  static uint32_t Tint(uint32_t c, uint32_t s, uint32_t a) {
    uint32_t w = a >> 3;
    return In(((Out(c) * (w + 1) + Out(s) * (32 - w)) >> 5) & Spread);
  }
};

struct F32 : Format32 {
  static uint32_t Weight(uint32_t a) { return a + 1; }
  static uint32_t MaskWeight(uint32_t m) { return m + 1; }
  static uint32_t Lerp(uint32_t s, uint32_t u, uint32_t w) { return Lerp32(s, u, w); }
  static uint32_t Tint(uint32_t c, uint32_t s, uint32_t a) { return Tint32(c, s, a); }
};
struct F24 : Format24 {
  static uint32_t Weight(uint32_t a) { return a + 1; }
  static uint32_t MaskWeight(uint32_t m) { return m + 1; }
  static uint32_t Lerp(uint32_t s, uint32_t u, uint32_t w) { return Lerp24(s, u, w); }
  static uint32_t Tint(uint32_t c, uint32_t s, uint32_t a) { return Tint24(c, s, a); }
};
template <class Base, uint32_t Spread>
struct F16 : Base, Packed16<Spread> {
  static uint32_t Weight(uint32_t a) { return a / 8 + 1; }
  static uint32_t MaskWeight(uint32_t m) { return (m + 1) >> 3; }
};
using F565 = F16<Format565, 0x07E0F81F>;
using F555 = F16<Format555, 0x03E07C1F>;

template <class F>
void KeyedLerp(uint32_t alpha, int32_t width, int32_t height, Image dst, ConstImage s, ConstImage u,
               uint32_t key) {
  uint32_t w = F::Weight(alpha & 255);
  key &= F::kKeyMask;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint32_t sv = F::Load(At<F>(s, x, y)), uv = F::Load(At<F>(u, x, y));
      F::Store(At<F>(dst, x, y), (uv & F::kKeyMask) == key ? sv : F::Lerp(sv, uv, w));
    }
}

template <class F>
void MaskedLerp(ConstImage mask, int32_t width, int32_t height, Image dst, ConstImage s, ConstImage u) {
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint32_t w = F::MaskWeight(*At<Format8>(mask, x, y));
      F::Store(At<F>(dst, x, y), F::Lerp(F::Load(At<F>(s, x, y)), F::Load(At<F>(u, x, y)), w));
    }
}

template <class F>
void MaskedColour(ConstImage mask, int32_t width, int32_t height, Image dst, ConstImage s, uint32_t colour) {
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint32_t w = F::MaskWeight(*At<Format8>(mask, x, y));
      F::Store(At<F>(dst, x, y), F::Lerp(F::Load(At<F>(s, x, y)), colour, w));
    }
}

template <class F>
void Lerp(uint32_t alpha, int32_t width, int32_t height, Image dst, ConstImage s, ConstImage u) {
  uint32_t w = F::Weight(alpha & 255);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      F::Store(At<F>(dst, x, y), F::Lerp(F::Load(At<F>(s, x, y)), F::Load(At<F>(u, x, y)), w));
}

template <class F>
void Tint(uint32_t alpha, int32_t width, int32_t height, Image dst, ConstImage s, uint32_t colour) {
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      F::Store(At<F>(dst, x, y), F::Tint(colour, F::Load(At<F>(s, x, y)), alpha & 255));
}

template <class F>
constexpr PixelGroup Group() {
  return {KeyedLerp<F>, MaskedLerp<F>, MaskedColour<F>, Lerp<F>, Tint<F>};
}

}  // namespace

const PixelOps& PortablePixelOps() noexcept {
  static const PixelOps ops = {
      {Group<F32>(), Group<F24>(), Group<F565>(), Group<F555>()},
      {KeyedCopy<Format32>, KeyedCopy<Format24>, KeyedCopy<Format565>, KeyedCopy<Format555>},
      {{Convert<Format555, Format555>, Convert<Format555, Format565>, Convert<Format555, Format24>,
        Convert<Format555, Format32>},
       {Convert<Format565, Format555>, Convert<Format565, Format565>, Convert<Format565, Format24>,
        Convert<Format565, Format32>},
       {Convert<Format24, Format555>, Convert<Format24, Format565>, Convert<Format24, Format24>,
        Convert<Format24, Format32>},
       {Convert<Format32, Format555>, Convert<Format32, Format565>, Convert<Format32, Format24>,
        Convert<Format32, Format32>}},
      {{DesaturateKeyed<Format32>, Desaturate<Format32>},
       {DesaturateKeyed<Format24>, Desaturate<Format24>},
       {DesaturateKeyed<Format565>, Desaturate<Format565>},
       {DesaturateKeyed<Format555>, Desaturate<Format555>}},
      {{GreyTintKeyed<Format32>, GreyTint<Format32>},
       {GreyTintKeyed<Format24>, GreyTint<Format24>},
       {GreyTintKeyed<Format565>, GreyTint<Format565>},
       {GreyTintKeyed<Format555>, GreyTint<Format555>}},
  };
  return ops;
}

}  // namespace qavz
