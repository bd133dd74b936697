// Where a sprite lands on the page: its position carried through its
// parents' centres, scales and angles to an image centre, a box before
// rotation and a bounding box after it.
#pragma once

#include <cstdint>

#include "graphics/sprite_pool.h"

namespace qavz {

struct Placement {
  int64_t centreX = 0, centreY = 0;  // the image centre, 16.16
  int32_t scaleX = 0x10000, scaleY = 0x10000;
  uint16_t angle = 0;
  Rect box;        // bounding box after rotation
  Rect scaledBox;  // the scaled image before rotation
};

// Places the sprite through its ancestors without writing anything; false
// when a parent link names no sprite record, the parents loop, or the root's
// layer number is out of range.
bool PlaceSprite(const SpriteRecord& sprite, Placement& out);
// Writes the computed fields: effective scales and angle, both boxes.
void StorePlacement(SpriteRecord& sprite, const Placement& placement) noexcept;

// The sprite's position field without its fraction bits.
int32_t WholePosition(int32_t value, uint8_t shift) noexcept;

}  // namespace qavz
