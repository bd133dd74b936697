// A small built-in bitmap font for the runtime's own windows (the debug
// output), which must work before and without the text subsystem.
//
// Printable ASCII has 5 x 8 glyphs in cells one column and two rows larger;
// every other character takes two cells: the few that the debug window's
// own labels need have glyphs, the rest show as an outlined box.
#pragma once

#include <cstdint>
#include <string_view>

namespace qavz {

constexpr int32_t kFontCellWidth = 6;  // one cell at scale 1
constexpr int32_t kFontCellHeight = 10;

// Width in pixels of UTF-8 text at `scale` (cells x cell width x scale).
int32_t TextWidth(std::string_view utf8, int32_t scale);

// A target for drawing: XRGB8888 pixels, top row first.
struct Canvas {
  uint32_t* pixels;
  int32_t width;
  int32_t height;
  // Drawing is clipped to this box (left, top, right, bottom).
  int32_t clipLeft, clipTop, clipRight, clipBottom;
};

// Draws UTF-8 text with its first cell's top left corner at (x, y). A '&'
// before a character underlines it instead of being drawn when `mnemonic`.
void DrawText(const Canvas& canvas, int32_t x, int32_t y, std::string_view utf8, uint32_t colour,
              int32_t scale, bool mnemonic = false);

// The next code point of UTF-8 text at `i` (advanced); U+FFFD for a bad byte.
uint32_t NextCodePoint(std::string_view utf8, size_t& i);

}  // namespace qavz
