// Plain text: two-level glyphs at the font's own size. On 8-bit planes the
// glyphs write exactly the text index and the background the background
// index; deeper planes get the display palette's colours of the two indices.
// The text is clipped to the plane, not to its clip rectangle.
#include <cstring>

#include "graphics/colour.h"
#include "graphics/pages.h"
#include "graphics/text_draw.h"

namespace qavz {

namespace {

// The entry of a 2- or 16-colour table nearest to `rgb` (first minimum).
uint8_t NearestEntry(uint32_t rgb, const Plane& plane) {
  const DistanceWeights& w = Distances();
  int32_t r = int32_t((rgb >> 18) & 63), g = int32_t((rgb >> 10) & 63), b = int32_t((rgb >> 2) & 63);
  uint64_t best = UINT64_MAX;
  uint8_t index = 0;
  for (int32_t i = 0; i < plane.colourCount; ++i) {
    uint32_t c = plane.colours[i];
    uint64_t d = uint64_t(w.green[(g - int32_t((c >> 10) & 63)) & 127]) +
                 w.red[(r - int32_t((c >> 18) & 63)) & 127] + w.blue[(b - int32_t((c >> 2) & 63)) & 127];
    if (d < best) best = d, index = uint8_t(i);
  }
  return index;
}

}  // namespace

uint32_t TextPaletteColour(uint32_t index) noexcept {
  return Display().displayPalette[index & 0xFF].load(std::memory_order_relaxed) & 0xFFFFFF;
}

uint32_t TextPixelValue(const Plane& plane, uint32_t index) noexcept {
  switch (plane.depth) {
    case 8:
      return index & 0xFF;
    case 16:
      return Pack555(TextPaletteColour(index));
    case 24:
    case 32:
      return TextPaletteColour(index);
    default:
      return NearestEntry(TextPaletteColour(index), plane);
  }
}

void PutTextPixel(const Plane& plane, int32_t x, int32_t y, uint32_t value) noexcept {
  uint8_t* row = plane.Row(y);
  switch (plane.depth) {
    case 8:
      row[x] = uint8_t(value);
      return;
    case 16: {
      uint16_t v = uint16_t(value);
      std::memcpy(row + size_t(x) * 2, &v, 2);
      return;
    }
    case 24:
      row[size_t(x) * 3] = uint8_t(value);
      row[size_t(x) * 3 + 1] = uint8_t(value >> 8);
      row[size_t(x) * 3 + 2] = uint8_t(value >> 16);
      return;
    case 32:
      std::memcpy(row + size_t(x) * 4, &value, 4);
      return;
    case 4: {
      uint8_t& byte = row[x >> 1];
      byte = (x & 1) ? uint8_t((byte & 0xF0) | (value & 15)) : uint8_t((byte & 0x0F) | (value << 4));
      return;
    }
    case 1: {
      uint8_t bit = uint8_t(0x80 >> (x & 7));
      row[x >> 3] = value ? uint8_t(row[x >> 3] | bit) : uint8_t(row[x >> 3] & ~bit);
      return;
    }
  }
}

int32_t DrawPlainText(Plane& plane, int32_t x, int32_t y, uint32_t colourWord, const FontObject& font,
                      const std::u32string& text) {
  TextFace& face = *font.face;
  auto [cx, cy, box] = MeasureTextBox(font, text);
  TextPlacement p(double(x) - box.left, double(y) - box.top, face.Escapement());
  Rect bounds{0, 0, plane.width, plane.height};
  uint32_t ink = TextPixelValue(plane, colourWord), paper = TextPixelValue(plane, colourWord >> 8);
  auto putInk = [&](int32_t px, int32_t py) { PutTextPixel(plane, px, py, ink); };
  if (colourWord & kTextOpaque)
    FillTextRect(p, 0, cx, 0, cy, bounds,
                 [&](int32_t px, int32_t py) { PutTextPixel(plane, px, py, paper); });
  auto stamp = [&](char32_t, const TextGlyph& g, int32_t left, int32_t top) {
    StampGlyph(g, left, top, bounds, putInk);
  };
  LayOutText(face, font.style, text, p, cx, bounds, stamp, putInk);
  return 1;
}

}  // namespace qavz
