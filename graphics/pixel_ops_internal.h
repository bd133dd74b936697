// Pixel formats and the operations that both pixel-operation tables share:
// keyed copy, format conversion, desaturation and grey tint give the same
// results in every implementation.
#pragma once

#include <cstring>
#include <type_traits>

#include "graphics/pixel_ops.h"

namespace qavz::pixel {

struct Format8 {
  static constexpr int kBytes = 1;
};

// Load and Store move the pixel's bytes; ToRgb widens it to an RGB value by
// bit replication, FromRgb narrows an RGB value by truncation (32 bits: alpha 0).
struct Format32 {
  static constexpr int kBytes = 4;
  static constexpr uint32_t kKeyMask = 0xFFFFFF;
  static uint32_t Load(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
  static void Store(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
  static uint32_t ToRgb(uint32_t p) { return p & 0xFFFFFF; }
  static uint32_t FromRgb(uint32_t rgb) { return rgb & 0xFFFFFF; }
};

struct Format24 {
  static constexpr int kBytes = 3;
  static constexpr uint32_t kKeyMask = 0xFFFFFF;
  static uint32_t Load(const uint8_t* p) { return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16); }
  static void Store(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
  }
  static uint32_t ToRgb(uint32_t p) { return p & 0xFFFFFF; }
  static uint32_t FromRgb(uint32_t rgb) { return rgb & 0xFFFFFF; }
};

inline uint32_t Widen5(uint32_t f) { return (f << 3) | (f >> 2); }
inline uint32_t Widen6(uint32_t f) { return (f << 2) | (f >> 4); }

struct Format16 {
  static constexpr int kBytes = 2;
  static uint32_t Load(const uint8_t* p) { return p[0] | (uint32_t(p[1]) << 8); }
  static void Store(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
  }
};

struct Format565 : Format16 {
  static constexpr uint32_t kKeyMask = 0xFFFF;
  static uint32_t ToRgb(uint32_t p) {
    return (Widen5((p >> 11) & 31) << 16) | (Widen6((p >> 5) & 63) << 8) | Widen5(p & 31);
  }
  static uint32_t FromRgb(uint32_t rgb) {
    return (((rgb >> 19) & 31) << 11) | (((rgb >> 10) & 63) << 5) | ((rgb >> 3) & 31);
  }
};

struct Format555 : Format16 {
  static constexpr uint32_t kKeyMask = 0x7FFF;
  static uint32_t ToRgb(uint32_t p) {
    return (Widen5((p >> 10) & 31) << 16) | (Widen5((p >> 5) & 31) << 8) | Widen5(p & 31);
  }
  static uint32_t FromRgb(uint32_t rgb) {
    return (((rgb >> 19) & 31) << 10) | (((rgb >> 11) & 31) << 5) | ((rgb >> 3) & 31);
  }
};

template <class F>
inline uint8_t* At(Image image, int32_t x, int32_t y) {
  return image.first + y * image.step + ptrdiff_t(x) * F::kBytes;
}
template <class F>
inline const uint8_t* At(ConstImage image, int32_t x, int32_t y) {
  return image.first + y * image.step + ptrdiff_t(x) * F::kBytes;
}

template <class F>
void KeyedCopy(uint32_t key, int32_t width, int32_t height, Image dst, ConstImage src) {
  key &= F::kKeyMask;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint32_t v = F::Load(At<F>(src, x, y));
      if ((v & F::kKeyMask) != key) F::Store(At<F>(dst, x, y), v);
    }
}

// One pixel from format S to format D: same formats copy; 5-5-5 and 5-6-5
// move green directly; everything else goes through RGB, and 32-bit results
// are opaque.
template <class S, class D>
inline uint32_t ConvertPixel(uint32_t p) {
  if constexpr (std::is_same_v<S, D>) {
    return p;
  } else if constexpr (std::is_same_v<S, Format555> && std::is_same_v<D, Format565>) {
    uint32_t g = (p >> 5) & 31;
    return ((p & 0x7C00) << 1) | (((g << 1) | (g & 1)) << 5) | (p & 31);
  } else if constexpr (std::is_same_v<S, Format565> && std::is_same_v<D, Format555>) {
    return ((p >> 1) & 0x7C00) | ((p >> 1) & 0x03E0) | (p & 31);
  } else if constexpr (std::is_same_v<D, Format32>) {
    return S::ToRgb(p) | 0xFF000000;
  } else {
    return D::FromRgb(S::ToRgb(p));
  }
}

template <class S, class D>
void Convert(int32_t width, int32_t height, Image dst, ConstImage src) {
  for (int32_t y = 0; y < height; ++y) {
    if constexpr (std::is_same_v<S, D>) {
      std::memmove(At<D>(dst, 0, y), At<S>(src, 0, y), size_t(width) * S::kBytes);
    } else {
      for (int32_t x = 0; x < width; ++x)
        D::Store(At<D>(dst, x, y), ConvertPixel<S, D>(S::Load(At<S>(src, x, y))));
    }
  }
}

// Luminance with weights that sum to 128.
inline int32_t Y128(uint32_t rgb) {
  return 38 * int32_t((rgb >> 16) & 255) + 77 * int32_t((rgb >> 8) & 255) + 13 * int32_t(rgb & 255);
}

inline uint32_t DesaturateRgb(uint32_t rgb, uint32_t amount) {
  int32_t y = Y128(rgb), weight = int32_t(amount & 255) + 1;
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    int32_t c = int32_t((rgb >> shift) & 255);
    out |= uint32_t(c + ((weight * (y - 128 * c)) >> 15)) << shift;
  }
  return out;
}

inline uint32_t GreyTintRgb(uint32_t rgb, uint32_t tint) {
  int32_t y = Y128(rgb);
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8)
    out |= uint32_t(((int32_t((tint >> shift) & 255) + 1) * y) >> 15) << shift;
  return out;
}

// Desaturate and grey tint: widen, recolour, narrow; a 32-bit pixel keeps
// its alpha byte. Keyed forms leave the destination where the source is the key.
template <class F, bool Keyed, uint32_t (*Recolour)(uint32_t, uint32_t)>
void RecolourRows(uint32_t value, int32_t width, int32_t height, Image dst, ConstImage src, uint32_t key) {
  key &= F::kKeyMask;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint32_t p = F::Load(At<F>(src, x, y));
      if (Keyed && (p & F::kKeyMask) == key) continue;
      uint32_t out = F::FromRgb(Recolour(F::ToRgb(p), value));
      if constexpr (std::is_same_v<F, Format32>) out |= p & 0xFF000000;
      F::Store(At<F>(dst, x, y), out);
    }
}

template <class F>
void Desaturate(uint32_t amount, int32_t width, int32_t height, Image dst, ConstImage src) {
  RecolourRows<F, false, DesaturateRgb>(amount, width, height, dst, src, 0);
}
template <class F>
void DesaturateKeyed(uint32_t amount, int32_t width, int32_t height, Image dst, ConstImage src,
                     uint32_t key) {
  RecolourRows<F, true, DesaturateRgb>(amount, width, height, dst, src, key);
}
template <class F>
void GreyTint(uint32_t tint, int32_t width, int32_t height, Image dst, ConstImage src) {
  RecolourRows<F, false, GreyTintRgb>(tint, width, height, dst, src, 0);
}
template <class F>
void GreyTintKeyed(uint32_t tint, int32_t width, int32_t height, Image dst, ConstImage src, uint32_t key) {
  RecolourRows<F, true, GreyTintRgb>(tint, width, height, dst, src, key);
}

}  // namespace qavz::pixel
