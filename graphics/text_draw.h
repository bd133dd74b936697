// Text layout and the two ways text reaches a plane: plain (two-level
// glyphs at the font's size) and smooth (drawn at eight times the size and
// reduced to 256 coverage levels).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "graphics/font_slots.h"
#include "graphics/plane.h"

namespace qavz {

// gtext's colour word.
constexpr uint32_t kTextOpaque = 1u << 30;  // fill the background first
constexpr uint32_t kTextAlpha = 1u << 31;   // smooth text into a 32-bit plane as alpha

// Shift-JIS text as code points. A lead byte without a valid trail byte, and
// any code the code page does not assign, becomes '・' (U+30FB), as the
// system's conversion gives its default character. With `yenAt5C` byte 0x5C
// is the yen sign, as the Japanese Windows faces draw it.
std::u32string DecodeScriptText(const std::string& shiftJis, bool yenAt5C);

// The rotated text's box relative to the output origin, by quadrant of the
// escapement (0 .. 3599), each coordinate truncated.
Rect RotatedTextBox(int32_t escapement, int32_t cx, int32_t cy) noexcept;

// Sum of the advances.
int32_t TextWidth(TextFace& face, const std::u32string& text);

// The text's extent (cx: the advances, cy: the cell height) and its box
// relative to the output origin: an italic font's box is cy / 4 + 1 wider,
// then rotated by the escapement. Smooth fonts measure at the large size.
struct TextBox {
  int32_t cx = 0, cy = 0;
  Rect box;
};
TextBox MeasureTextBox(const FontObject& font, const std::u32string& text);

// Maps text space (u along the baseline, v down from the top of the cell,
// origin at the top left of the cell) onto a target's pixels.
struct TextPlacement {
  double originX = 0, originY = 0;
  double c = 1, s = 0;  // cosine and sine of the escapement
  TextPlacement(double x, double y, int32_t escapement);
  double X(double u, double v) const { return originX + u * c + v * s; }
  double Y(double u, double v) const { return originY - u * s + v * c; }
  bool Upright() const { return c == 1 && s == 0; }
};

// Calls put(x, y) for every pixel inside `clip` whose centre lies in the
// text-space rectangle [u0, u1) x [v0, v1).
template <typename Put>
void FillTextRect(const TextPlacement& p, double u0, double u1, double v0, double v1, const Rect& clip,
                  Put put) {
  if (u1 <= u0 || v1 <= v0) return;
  double xs[4] = {p.X(u0, v0), p.X(u1, v0), p.X(u0, v1), p.X(u1, v1)};
  double ys[4] = {p.Y(u0, v0), p.Y(u1, v0), p.Y(u0, v1), p.Y(u1, v1)};
  double minX = std::fmin(std::fmin(xs[0], xs[1]), std::fmin(xs[2], xs[3]));
  double maxX = std::fmax(std::fmax(xs[0], xs[1]), std::fmax(xs[2], xs[3]));
  double minY = std::fmin(std::fmin(ys[0], ys[1]), std::fmin(ys[2], ys[3]));
  double maxY = std::fmax(std::fmax(ys[0], ys[1]), std::fmax(ys[2], ys[3]));
  auto within = [](double v, int32_t lo, int32_t hi) {
    return int32_t(std::clamp(v, double(lo), double(hi)));
  };
  int32_t left = within(std::floor(minX), clip.left, clip.right);
  int32_t right = within(std::ceil(maxX), clip.left, clip.right);
  int32_t top = within(std::floor(minY), clip.top, clip.bottom);
  int32_t bottom = within(std::ceil(maxY), clip.top, clip.bottom);
  for (int32_t y = top; y < bottom; ++y) {
    for (int32_t x = left; x < right; ++x) {
      if (!p.Upright()) {
        double dx = x + 0.5 - p.originX, dy = y + 0.5 - p.originY;
        double u = dx * p.c - dy * p.s, v = dx * p.s + dy * p.c;
        if (u < u0 || u >= u1 || v < v0 || v >= v1) continue;
      }
      put(x, y);
    }
  }
}

// Calls put(x, y) for every set pixel of a two-level glyph whose top left
// pixel lands at (x0, y0), inside `clip`.
template <typename Put>
void StampGlyph(const TextGlyph& g, int32_t x0, int32_t y0, const Rect& clip, Put put) {
  int32_t rowFrom = std::max(0, clip.top - y0), rowTo = std::min(g.height, clip.bottom - y0);
  int32_t colFrom = std::max(0, clip.left - x0), colTo = std::min(g.width, clip.right - x0);
  for (int32_t r = rowFrom; r < rowTo; ++r) {
    const uint8_t* row = g.bits.data() + size_t(r) * size_t(g.pitch);
    for (int32_t col = colFrom; col < colTo; ++col)
      if (row[col >> 3] & (0x80 >> (col & 7))) put(x0 + col, y0 + r);
  }
}

// Draws each glyph with stamp(code point, glyph, left, top) (the glyph's top
// left pixel position), then the underline and strike-out with put(x, y); the text's
// cell starts at the placement's origin. `width` is the text's extent.
template <typename Stamp, typename Put>
void LayOutText(TextFace& face, uint16_t style, const std::u32string& text, const TextPlacement& p,
                int32_t width, const Rect& clip, Stamp stamp, Put put) {
  const platform::FaceMetrics& m = face.Metrics();
  double u = 0;
  for (char32_t ch : text) {
    const TextGlyph& g = face.Glyph(ch);
    if (g.width > 0) {
      // Glyphs wholly outside the clip are passed over here, so the stamps
      // see only positions near it.
      int64_t left = std::llround(p.X(u, m.ascent)) + g.left, top = std::llround(p.Y(u, m.ascent)) + g.top;
      if (left < clip.right && left + g.width > clip.left && top < clip.bottom && top + g.height > clip.top)
        stamp(ch, g, int32_t(left), int32_t(top));
    }
    u += g.advance;
  }
  if (style & kFontUnderline)
    FillTextRect(p, 0, width, m.ascent + m.underlineTop, m.ascent + m.underlineTop + m.underlineThickness,
                 clip, put);
  if (style & kFontStrikeOut)
    FillTextRect(p, 0, width, m.ascent - m.strikeoutTop, m.ascent - m.strikeoutTop + m.strikeoutThickness,
                 clip, put);
}

// The pixel value a display palette index gives on the plane: the index on
// 8-bit planes, the palette entry's colour on deeper ones (a 32-bit pixel's
// fourth byte 0, as gfill leaves it), the nearest colour-table entry on 1-
// and 4-bit planes.
uint32_t TextPixelValue(const Plane& plane, uint32_t paletteIndex) noexcept;
// Stores a pixel value at (x, y), which must lie inside the plane.
void PutTextPixel(const Plane& plane, int32_t x, int32_t y, uint32_t value) noexcept;
// The colour of a display palette index (RGB).
uint32_t TextPaletteColour(uint32_t paletteIndex) noexcept;

// Plain text with the box's top left corner at (x, y). Always 1.
int32_t DrawPlainText(Plane& plane, int32_t x, int32_t y, uint32_t colourWord, const FontObject& font,
                      const std::u32string& text);
// Smooth text; 0 when its box misses the plane's clip rectangle, else 1.
int32_t DrawSmoothText(Plane& plane, int32_t x, int32_t y, uint32_t colourWord, const FontObject& font,
                       const std::u32string& text);

// gtext after its plane and string are read: the current slot's font, the
// text decoded, drawn plain or smooth. The result of gtext.
int32_t DrawScriptText(Plane& plane, int32_t x, int32_t y, uint32_t colourWord, const std::string& shiftJis);

// The coverage tables: N[i] = 4 x the set bits of i, and the same with 31 at
// 255, used for one fixed row of each 8 x 8 block so that a full block sums
// to 255.
struct CoverageTables {
  uint8_t n[256];
  uint8_t lastRow[256];
};
const CoverageTables& Coverage() noexcept;

// Smooth text's 1-bit scratch image, kept between draws and only enlarged.
size_t SmoothScratchBytes() noexcept;
void FreeSmoothScratch() noexcept;

}  // namespace qavz
