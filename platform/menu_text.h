// Text for the runtime's own menu bar and pop-ups: UTF-8 drawn with
// FreeType in the Japanese face the message box uses, at the size of a
// Windows menu font, in grey levels over opaque pixels.
#pragma once

#include <cstdint>
#include <string_view>

namespace qavz::platform {

// Height of a line of menu text (ascent + descent) in pixels; a fixed
// fallback when no face is installed.
int32_t MenuTextHeight() noexcept;
// Width of the text in pixels (the sum of its advances).
int32_t MenuTextWidth(std::string_view utf8) noexcept;
// Draws the text with its line's top left corner at (x, y) over ARGB pixels
// (`width` x `height`, rows of `width`), mixing `argb` in by coverage and
// clipped to the pixels. False when no face could be opened.
bool DrawMenuText(uint32_t* pixels, int32_t width, int32_t height, int32_t x, int32_t y,
                  std::string_view utf8, uint32_t argb) noexcept;

}  // namespace qavz::platform
