// Text in the runtime's own windows (the debug output): UTF-8 lines drawn by
// the text engine in the default face, with grey-level edges, onto XRGB8888
// pixels. Used by the window thread; safe from any thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "graphics/plane.h"

namespace qavz {

// A target: XRGB8888 pixels, top row first, `stride` pixels a row; drawing
// stays inside `clip` (which must lie inside the pixels).
struct UiCanvas {
  uint32_t* pixels;
  int32_t width, height, stride;
  Rect clip;
};

// True when the default face opens (the set-up installs it).
bool UiTextAvailable() noexcept;
// Cell height of a line in pixels (ascent + descent).
int32_t UiLineHeight() noexcept;
// Width of UTF-8 text in pixels (the sum of its advances).
int32_t UiTextWidth(std::string_view utf8) noexcept;
// Draws the text with its cell's top left corner at (x, y) in colour `rgb`.
// False when no face could be opened (nothing is drawn then).
bool DrawUiText(const UiCanvas& canvas, int32_t x, int32_t y, std::string_view utf8, uint32_t rgb) noexcept;

}  // namespace qavz
