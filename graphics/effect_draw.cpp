// Drawing an effect slot: every 8 x 8 cell of the destination takes its
// source coordinates from the four grid points at its corners, interpolated
// across the cell, and copies the source pixel they name.
//
// Coordinates wrap around the source rectangle in both formats. Short: bits
// 8 .. 18 are the position in 2048ths of the source extent (the low 8 bits
// are sub-steps); long: the whole word is the position as a 32-bit fraction.
#include <new>

#include "graphics/effects.h"
#include "graphics/filter_support.h"

namespace qavz {

namespace {

// Column and row of a short coordinate: extent x ((c >> 8) & 2047) >> 11.
// Tabulated once per draw, as byte offsets and row pointers.
struct ShortLookup {
  size_t column[2048];
  const uint8_t* row[2048];
};

template <int Bpp, GridFormat Format>
void DrawCells(const Effect& e, const ShortLookup* lookup) {
  const Plane& src = *e.src;
  uint64_t width = uint64_t(e.srcWidth), height = uint64_t(e.srcHeight);
  size_t left = size_t(e.srcLeft) * Bpp;
  auto diff8 = [](uint32_t to, uint32_t from) { return uint32_t(int32_t(to - from) >> 3); };
  for (int32_t y = 0; y < e.rows * 8; ++y) {
    int32_t i = y >> 3, r = y & 7;
    uint8_t* out = e.dst->Row(e.dstTop + y) + size_t(e.dstLeft) * Bpp;
    const int32_t* upper = e.Point(0, i);
    const int32_t* lower = e.Point(0, i + 1);
    for (int32_t j = 0; j < e.columns; ++j, upper += 2, lower += 2) {
      uint32_t u00 = uint32_t(upper[0]), v00 = uint32_t(upper[1]), u10 = uint32_t(upper[2]),
               v10 = uint32_t(upper[3]);
      uint32_t u01 = uint32_t(lower[0]), v01 = uint32_t(lower[1]), u11 = uint32_t(lower[2]),
               v11 = uint32_t(lower[3]);
      uint32_t uL = u00 + uint32_t(r) * diff8(u01, u00), vL = v00 + uint32_t(r) * diff8(v01, v00);
      uint32_t uR = u10 + uint32_t(r) * diff8(u11, u10), vR = v10 + uint32_t(r) * diff8(v11, v10);
      uint32_t du = diff8(uR, uL), dv = diff8(vR, vL);
      uint32_t u = uL, v = vL;
      for (int k = 0; k < 8; ++k, out += Bpp, u += du, v += dv) {
        const uint8_t* in;
        if constexpr (Format == kShortGrid) {
          in = lookup->row[(v >> 8) & 2047] + lookup->column[(u >> 8) & 2047];
        } else {
          in = src.Row(e.srcTop + int32_t((height * (v >> 16)) >> 16)) + left +
               size_t((width * (u >> 16)) >> 16) * Bpp;
        }
        std::memcpy(out, in, Bpp);
      }
    }
  }
}

template <int Bpp>
void DrawFormat(const Effect& e, GridFormat format, const ShortLookup* lookup) {
  if (format == kShortGrid)
    DrawCells<Bpp, kShortGrid>(e, lookup);
  else
    DrawCells<Bpp, kLongGrid>(e, lookup);
}

}  // namespace

bool DrawEffect(const Effect& e, GridFormat format) noexcept {
  TheArena().Write(e.state + kEfFormat, int32_t(format));
  int bpp = e.src->BytesPerPixel();
  std::unique_ptr<ShortLookup> lookup;
  if (format == kShortGrid) {
    lookup.reset(new (std::nothrow) ShortLookup);
    if (!lookup) return false;
    for (uint32_t f = 0; f < 2048; ++f) {
      lookup->column[f] = size_t(e.srcLeft + int32_t(uint64_t(e.srcWidth) * f >> 11)) * size_t(bpp);
      lookup->row[f] = e.src->Row(e.srcTop + int32_t(uint64_t(e.srcHeight) * f >> 11));
    }
  }
  switch (bpp) {
    case 1:
      DrawFormat<1>(e, format, lookup.get());
      break;
    case 2:
      DrawFormat<2>(e, format, lookup.get());
      break;
    case 3:
      DrawFormat<3>(e, format, lookup.get());
      break;
    default:
      DrawFormat<4>(e, format, lookup.get());
  }
  return true;
}

}  // namespace qavz
