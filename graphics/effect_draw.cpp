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

// Where coordinates lead, tabulated once per draw: for the short format
// the byte offset of column extent x f >> 11 and the row extent x f >> 11
// for every f = (c >> 8) & 2047; for the long format the source rows.
struct Lookup {
  size_t column[2048];
  const uint8_t* row[2048];
  std::unique_ptr<const uint8_t*[]> rows;
};

template <int Bpp, GridFormat Format>
void DrawCells(const Effect& e, const Lookup* lookup) {
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
          in = lookup->rows[(height * (v >> 16)) >> 16] + left + size_t((width * (u >> 16)) >> 16) * Bpp;
        }
        std::memcpy(out, in, Bpp);
      }
    }
  }
}

template <int Bpp>
void DrawFormat(const Effect& e, GridFormat format, const Lookup* lookup) {
  if (format == kShortGrid)
    DrawCells<Bpp, kShortGrid>(e, lookup);
  else
    DrawCells<Bpp, kLongGrid>(e, lookup);
}

}  // namespace

bool DrawEffect(const Effect& e, GridFormat format) noexcept {
  TheArena().Write(e.state + kEfFormat, int32_t(format));
  int bpp = e.src->BytesPerPixel();
  std::unique_ptr<Lookup> lookup(new (std::nothrow) Lookup);
  if (!lookup) return false;
  if (format == kShortGrid) {
    for (uint32_t f = 0; f < 2048; ++f) {
      lookup->column[f] = size_t(e.srcLeft + int32_t(uint64_t(e.srcWidth) * f >> 11)) * size_t(bpp);
      lookup->row[f] = e.src->Row(e.srcTop + int32_t(uint64_t(e.srcHeight) * f >> 11));
    }
  } else {
    lookup->rows.reset(new (std::nothrow) const uint8_t*[size_t(e.srcHeight)]);
    if (!lookup->rows) return false;
    for (int32_t i = 0; i < e.srcHeight; ++i) lookup->rows[i] = e.src->Row(e.srcTop + i);
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
