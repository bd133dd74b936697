// Filling rectangles and drawing lines into planes.
#pragma once

#include <cstdint>

#include "graphics/plane.h"

namespace qavz {

// Fills `area`, which must lie inside the plane, with a colour argument
// (bit 24: palette index) converted for the plane's depth. 32-bit pixels get
// the alpha byte 0.
void FillRect(Plane& plane, const Rect& area, uint32_t colour) noexcept;

}  // namespace qavz
