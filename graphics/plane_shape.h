// A plane read as a window outline (setrgn) and as the part of the window
// that drags it (setdrag). Both name a colour by a palette index: the index
// itself on planes of up to 8 bits, the display palette's entry elsewhere.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/plane.h"

namespace qavz {

// The pixel value that is transparent for setrgn on a plane of `depth`: the
// index itself up to 8 bits; for 16 bits the palette entry cut to 5-5-5;
// deeper its 24-bit RGB value. An index outside the palette matches no
// pixel there (kNoKey).
constexpr uint32_t kNoKey = 0xFFFFFFFFu;
uint32_t TransparentKey(int32_t depth, int32_t index) noexcept;

// Every horizontal run of pixels that is not `key`, one row high, row by
// row from the top.
std::vector<Rect> OpaqueRuns(const Plane& plane, uint32_t key);

// The palette entry's 24-bit RGB value (setdrag's drag colour).
uint32_t PaletteColour(int32_t index) noexcept;
// True when the pixel at (x, y), inside the plane, is shown in `rgb`: through
// the display palette (8 bits) or the plane's own table (1 and 4 bits),
// compared at 5-5-5 on 16 bits, as it is deeper.
bool PixelShowsColour(const Plane& plane, int32_t x, int32_t y, uint32_t rgb) noexcept;

}  // namespace qavz
