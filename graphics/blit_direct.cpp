#include "graphics/blit_direct.h"

#include <array>
#include <cstring>
#include <utility>

#include "graphics/blend_tables.h"
#include "graphics/colour.h"
#include "graphics/pixel_access.h"
#include "graphics/pixel_ops.h"

namespace qavz {

namespace {

inline uint32_t To555(uint32_t rgb) { return Pack555(rgb); }

// One source pixel of depth S bytes as a pixel of depth D bytes.
template <int S, int D>
inline uint32_t ConvertPixel(uint32_t p, const uint32_t* colours, const BlendTableSet& t) {
  uint32_t rgb = S == 1 ? colours[p] & 0xFFFFFF : S == 2 ? t.rgbOf555[p & 0x7FFF] : p & 0xFFFFFF;
  if constexpr (D == 1) return S == 2 ? t.colourMap[p & 0x7FFF] : t.colourMap[To555(rgb)];
  if constexpr (D == 2) return To555(rgb);
  if constexpr (D == 3) return rgb;
  return rgb | 0xFF000000;
}

template <int S, int D>
void ConvertRows(const CopyArea& a) {
  const BlendTableSet& t = BlendTables();
  for (int32_t y = 0; y < a.height; ++y) {
    uint8_t* d = a.dst->Row(a.dstY + y) + ptrdiff_t(a.dstX) * D;
    const uint8_t* s = a.srcRow0 + ptrdiff_t(a.srcY + y) * a.srcRowStep + ptrdiff_t(a.srcX) * S;
    if constexpr (S == D) {
      std::memmove(d, s, size_t(a.width) * S);
    } else {
      for (int32_t x = 0; x < a.width; ++x)
        StorePixel<D>(d + x * D, ConvertPixel<S, D>(LoadPixel<S>(s + x * S), a.src->colours, t));
    }
  }
}

using RowsConverter = void (*)(const CopyArea&);

template <size_t... Pair>
constexpr std::array<RowsConverter, 16> Converters(std::index_sequence<Pair...>) {
  return {&ConvertRows<int(Pair / 4 + 1), int(Pair % 4 + 1)>...};
}

int FormatOf(int32_t depth) { return depth == 32 ? kFormat32 : depth == 24 ? kFormat24 : kFormat555; }

}  // namespace

void CopyConverted(const CopyArea& area) noexcept {
  static constexpr std::array<RowsConverter, 16> converters = Converters(std::make_index_sequence<16>{});
  converters[(area.src->depth / 8 - 1) * 4 + area.dst->depth / 8 - 1](area);
}

bool HandOffToPixelOps(const CopyArea& a, const BlitParams& p) noexcept {
  int32_t depth = a.dst->depth;
  if (depth != a.src->depth || depth < 16) return false;
  const PixelGroup& ops = ThePixelOps().group[FormatOf(depth)];
  int bytes = depth / 8;
  Image dst{a.dst->Row(a.dstY) + ptrdiff_t(a.dstX) * bytes, -ptrdiff_t(a.dst->pitch)};
  ConstImage under{dst.first, dst.step};
  ConstImage src{a.srcRow0 + ptrdiff_t(a.srcY) * a.srcRowStep + ptrdiff_t(a.srcX) * bytes, a.srcRowStep};
  // Colour arguments in the plane's own pixel format.
  auto pixel = [depth](uint32_t colour) {
    uint32_t rgb = ColourForDepth(colour, depth);
    return depth == 16 ? uint32_t(Pack555(rgb)) : rgb;
  };
  switch (p.mode) {
    case 3:
      ops.lerp(p.alpha, a.width, a.height, dst, under, src);
      return true;
    case 4:
      ops.keyedLerp(p.alpha, a.width, a.height, dst, under, src, pixel(p.key));
      return true;
    case 5:
      ops.tint(p.alpha, a.width, a.height, dst, src, pixel(p.colour));
      return true;
    case 7:
      if (!a.mask || a.mask->depth != 8 || p.alpha != 255) return false;
      ops.maskedLerp(ConstImage{a.maskRow0 + ptrdiff_t(a.srcY) * a.maskRowStep + a.srcX, a.maskRowStep},
                     a.width, a.height, dst, under, src);
      return true;
    default:
      return false;
  }
}

}  // namespace qavz
