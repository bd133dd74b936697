// The blit drivers behind gcopy and gblit, for every caller that copies
// planes: the natives, and the sprite system when it redraws.
//
// Both clip in 64-bit arithmetic against the destination's clip rectangle
// and the source plane, so no rectangle, however far outside or reversed,
// and no scale factor writes outside the destination plane. They return the
// natives' results: 1 when drawn (also when the mode and depth pair has no
// loop and nothing is drawn), 0 when refused or nothing is inside.
#pragma once

#include <cstdint>

#include "graphics/blend_modes.h"
#include "graphics/plane.h"

namespace qavz {

// gcopy: the source rectangle (null: the whole source plane) of plane
// `srcSlot` at (x, y) of plane `dstSlot`, unscaled.
int32_t CopyPlane(int32_t dstSlot, int32_t x, int32_t y, int32_t srcSlot, const Rect* srcRect,
                  const BlitParams& params) noexcept;

// gblit: the source rectangle onto the destination rectangle (null: whole
// planes), stretched to fit; a reversed rectangle mirrors along its axis.
// `angle` (low 11 bits, 2048 a full turn) turns the picture clockwise about
// the destination rectangle's centre.
int32_t BlitPlane(int32_t dstSlot, const Rect* dstRect, int32_t srcSlot, const Rect* srcRect,
                  const BlitParams& params, int32_t angle) noexcept;

}  // namespace qavz
