// Smooth text: the font is made at eight times the height, the text drawn
// two-level into a 1-bit scratch image with the box's corner at its origin,
// and each 8 x 8 block of the scratch reduced through the coverage tables to
// one destination pixel's coverage K (0 .. 255).
//
// The scratch holds only the blocks of destination pixels inside the
// plane's clip rectangle, a band of rows at a time, so text far larger than
// the plane costs no more memory than the plane's own visible part. Each
// block's eight rows are stored together (one 64-bit word), so an empty
// block is skipped with one test and glyphs are ORed in a block at a time
// from block images the face keeps for each offset within a block.
#include <bit>
#include <cstring>
#include <vector>

#include "graphics/blend_tables.h"
#include "graphics/colour.h"
#include "graphics/draw.h"
#include "graphics/text_draw.h"

namespace qavz {

namespace {

// Most scratch bytes one band uses.
constexpr size_t kBandBytes = size_t(1) << 22;

constexpr CoverageTables BuildCoverage() {
  CoverageTables t{};
  for (int i = 0; i < 256; ++i) {
    int bits = 0;
    for (int b = i; b; b >>= 1) bits += b & 1;
    t.n[i] = uint8_t(4 * bits);
    t.lastRow[i] = uint8_t(i == 255 ? 31 : 4 * bits);
  }
  return t;
}
constexpr CoverageTables kCoverage = BuildCoverage();

std::vector<uint64_t>& Scratch() {
  static std::vector<uint64_t> scratch;
  return scratch;
}

// One band of the scratch: blocks of 8 x 8 pixels at the large size, one
// word each, block (i, j) covering large pixels [left + 8i, left + 8i + 8)
// x [top + 8j, top + 8j + 8); row r of a block is its byte r.
struct Band {
  uint64_t* words;
  int32_t blocksWide, blocksHigh;
  int32_t left, top;  // large coordinates of block (0, 0)
  Rect Large() const { return Rect{left, top, left + blocksWide * 8, top + blocksHigh * 8}; }
  void Set(int32_t x, int32_t y) const {
    x -= left, y -= top;
    words[size_t(y >> 3) * size_t(blocksWide) + size_t(x >> 3)] |= uint64_t(0x80 >> (x & 7)) << ((y & 7) * 8);
  }
  // ORs in a glyph whose top left pixel is at large (x0, y0), a block at a
  // time, from the face's block images.
  void Stamp(TextFace& face, char32_t c, const TextGlyph& g, int32_t x0, int32_t y0) const {
    if (y0 + g.height <= top || y0 >= top + blocksHigh * 8 || x0 + g.width <= left ||
        x0 >= left + blocksWide * 8)
      return;
    int32_t rx = x0 - left, ry = y0 - top;  // floor division below, for negative ones too
    const TextBlocks& b = face.Blocks(c, rx & 7, ry & 7);
    int32_t bx = rx >> 3, by = ry >> 3;
    int32_t jFrom = std::max(0, -by), jTo = std::min(b.high, blocksHigh - by);
    int32_t iFrom = std::max(0, -bx), iTo = std::min(b.wide, blocksWide - bx);
    for (int32_t j = jFrom; j < jTo; ++j) {
      const uint64_t* src = b.words.data() + size_t(j) * size_t(b.wide);
      uint64_t* dst = words + size_t(by + j) * size_t(blocksWide) + bx;
      for (int32_t i = iFrom; i < iTo; ++i) dst[i] |= src[i];
    }
  }
};

// The coverage of one block (its eight rows as one word, row 0 in the low
// byte): the sum of the table entries of its rows, row 0 through the table
// whose full entry is 31, so a full block sums to 255. As every entry but
// that one is four times the row's set bits, the sum is four times the
// block's set bits, less one for a full row 0.
inline uint32_t BlockCoverage(uint64_t rows) {
  return 4 * uint32_t(std::popcount(rows)) - ((rows & 0xFF) == 0xFF ? 1 : 0);
}
static_assert(std::endian::native == std::endian::little, "row 0 is the low byte");
static_assert(kCoverage.n[0xFF] == 4 * 8 && kCoverage.lastRow[0xFF] == 4 * 8 - 1 &&
              kCoverage.n[0x81] == 4 * 2);

// Writes coverage K (1 .. 255) of the text colour `rgb` into a pixel.
struct CoverageWriter {
  const Plane* plane;
  uint32_t rgb;
  bool alpha;
  const uint8_t (*scale)[256];
  uint8_t Mix(uint32_t k, uint32_t text, uint32_t pixel) const {
    return uint8_t(std::min(255, scale[k][text] + scale[255 - k][pixel]));
  }
  void operator()(int32_t x, int32_t y, uint32_t k) const {
    uint8_t* row = plane->Row(y);
    switch (plane->depth) {
      case 8:
        row[x] = uint8_t(k);
        return;
      case 16: {
        uint8_t* p = row + size_t(x) * 2;
        uint16_t v;
        std::memcpy(&v, p, 2);
        if (k == 255) {
          v = Pack555(rgb);
        } else {
          auto field = [&](int shift, int channel) {
            return uint16_t(
                std::min(31, scale[k][((rgb >> channel) & 0xFF) >> 3] + scale[255 - k][(v >> shift) & 31])
                << shift);
          };
          v = uint16_t(field(10, 16) | field(5, 8) | field(0, 0));
        }
        std::memcpy(p, &v, 2);
        return;
      }
      case 24:
      case 32: {
        uint8_t* p = row + size_t(x) * size_t(plane->depth / 8);
        if (alpha && plane->depth == 32) {
          uint32_t v = rgb | (k << 24);
          std::memcpy(p, &v, 4);
        } else if (k == 255) {
          p[0] = uint8_t(rgb), p[1] = uint8_t(rgb >> 8), p[2] = uint8_t(rgb >> 16);
        } else {
          p[0] = Mix(k, rgb & 0xFF, p[0]);
          p[1] = Mix(k, (rgb >> 8) & 0xFF, p[1]);
          p[2] = Mix(k, (rgb >> 16) & 0xFF, p[2]);
        }
        return;
      }
      default:
        return;  // 1- and 4-bit planes take no coverage
    }
  }
};

void Reduce(const Band& band, int32_t destLeft, int32_t destTop, const CoverageWriter& write) {
  for (int32_t j = 0; j < band.blocksHigh; ++j) {
    const uint64_t* block = band.words + size_t(j) * size_t(band.blocksWide);
    for (int32_t i = 0; i < band.blocksWide; ++i)
      if (block[i]) write(destLeft + i, destTop + j, BlockCoverage(block[i]));
  }
}

Rect Intersect(const Rect& a, const Rect& b) {
  return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

}  // namespace

const CoverageTables& Coverage() noexcept { return kCoverage; }

size_t SmoothScratchBytes() noexcept { return Scratch().capacity() * 8; }

void FreeSmoothScratch() noexcept { std::vector<uint64_t>().swap(Scratch()); }

int32_t DrawSmoothText(Plane& plane, int32_t x, int32_t y, uint32_t colourWord, const FontObject& font,
                       const std::u32string& text) {
  TextFace& face = *font.face;
  int32_t e = face.Escapement();
  auto [cx, cy, box] = MeasureTextBox(font, text);
  int64_t w8 = ((int64_t(box.right) - box.left + 7) & ~int64_t(7)) + 8,
          h8 = int64_t(box.bottom) - box.top + 8;
  auto clamp = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  Rect dest = Intersect(Rect{x, y, clamp(x + w8 / 8 - 1), clamp(y + h8 / 8 - 1)}, plane.clip);
  if (dest.left >= dest.right || dest.top >= dest.bottom) return 0;
  // The background index as gfill's colour argument: the index itself on
  // 8-bit planes, its display palette entry on others.
  if (colourWord & kTextOpaque) FillRect(plane, dest, 0x01000000u | ((colourWord >> 8) & 0xFF));
  const BlendTableSet& tables = BlendTables();
  if (!tables.scale && plane.depth != 8) BuildBlendTables();
  CoverageWriter write{&plane, TextPaletteColour(colourWord), (colourWord & kTextAlpha) != 0,
                       BlendTables().scale};
  if (!write.scale && plane.depth != 8) return 1;

  // The text's large-size picture, the box's corner at the scratch origin.
  TextPlacement p(-double(box.left), -double(box.top), e);
  int32_t blocksWide = dest.right - dest.left;
  int32_t bandRows =
      int32_t(std::clamp<size_t>(kBandBytes / (size_t(blocksWide) * 8), 1, size_t(dest.bottom - dest.top)));
  std::vector<uint64_t>& scratch = Scratch();
  size_t need = size_t(blocksWide) * size_t(bandRows);
  if (scratch.size() < need) scratch.resize(need);
  for (int32_t top = dest.top; top < dest.bottom; top += bandRows) {
    int32_t rows = std::min(bandRows, dest.bottom - top);
    Band band{scratch.data(), blocksWide, rows, (dest.left - x) * 8, (top - y) * 8};
    std::fill_n(band.words, size_t(blocksWide) * size_t(rows), 0);
    LayOutText(
        face, font.style, text, p, cx, band.Large(),
        [&](char32_t c, const TextGlyph& g, int32_t left, int32_t gtop) {
          band.Stamp(face, c, g, left, gtop);
        },
        [&](int32_t px, int32_t py) { band.Set(px, py); });
    Reduce(band, dest.left, top, write);
  }
  return 1;
}

}  // namespace qavz
