// The direct paths of the unscaled copy (gcopy): converting copies for mode
// 0 and the hand-offs to the pixel operations.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/blend_modes.h"
#include "graphics/plane.h"

namespace qavz {

// An unscaled area already clipped: width x height pixels from (srcX, srcY)
// of the source to (dstX, dstY) of the destination. The source rows may be
// a copy of the plane's (when source and destination are one plane).
struct CopyArea {
  const Plane* dst;
  const Plane* src;
  const Plane* mask;  // the attached plane the mode reads, or null
  const uint8_t* srcRow0;
  ptrdiff_t srcRowStep;
  const uint8_t* maskRow0;
  ptrdiff_t maskRowStep;
  int32_t dstX, dstY, srcX, srcY, width, height;
};

// Mode 0 between any two depths: equal depths copy bytes, 32-bit results of
// other depths are opaque, 8-bit results go through the colour map.
void CopyConverted(const CopyArea& area) noexcept;

// Modes 3, 4, 5, and 7 with an attached 8-bit plane and alpha 255, between
// planes of one format of 16, 24 or 32 bits: the rows go to the pixel
// operations. False when the case is not one of these.
bool HandOffToPixelOps(const CopyArea& area, const BlitParams& params) noexcept;

}  // namespace qavz
