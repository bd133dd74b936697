// Sprite placement. Offsets from a centre are carried doubled, so an odd
// width keeps its half pixel until the final shift: each product of a 16.16
// scale and a doubled sum of 16.16 terms is shifted right by 17.
#include "graphics/sprite_place.h"

#include <cstdlib>
#include <vector>

#include "core/math_tables.h"

namespace qavz {

namespace {

struct Turn {
  int64_t sin, cos;
};

Turn TurnOf(uint16_t angle) {
  const int32_t* sine = SineTable();
  int a = angle & 2047;
  return Turn{sine[a], sine[a + 512]};
}

int64_t Width(const Rect& r) { return int64_t(r.right) - r.left; }
int64_t Height(const Rect& r) { return int64_t(r.bottom) - r.top; }

int64_t ScaledSum(int32_t scale, int64_t doubledSum) { return int64_t((__int128)scale * doubledSum >> 17); }

// Moves a point by a doubled offset (dx2, dy2) turned by `turn` and scaled.
void Offset(int64_t& x, int64_t& y, int64_t dx2, int64_t dy2, const Turn& turn, int32_t sx, int32_t sy) {
  int64_t nx = x + ScaledSum(sx, turn.cos * dx2 + turn.sin * dy2);
  y += ScaledSum(sy, turn.cos * dy2 - turn.sin * dx2);
  x = nx;
}

int32_t ScaleProduct(int32_t parent, int32_t own) {
  return own == 0x10000 ? parent : int32_t((int64_t(parent) * own) >> 16);
}

// The sprite's image centre from its hot-spot point.
void Centre(const SpriteRecord& s, Placement& p) {
  Offset(p.centreX, p.centreY, Width(s.source) - 2 * int64_t(s.hotX), Height(s.source) - 2 * int64_t(s.hotY),
         TurnOf(p.angle), p.scaleX, p.scaleY);
}

void Boxes(const SpriteRecord& s, Placement& p) {
  int64_t w = (Width(s.source) * p.scaleX) >> 16, h = (Height(s.source) * p.scaleY) >> 16;
  int64_t cx = p.centreX >> 16, cy = p.centreY >> 16;
  int64_t left = cx - w / 2, top = cy - h / 2;
  p.scaledBox = Rect{int32_t(left), int32_t(top), int32_t(left + w), int32_t(top + h)};
  if ((p.angle & 2047) == 0) {
    p.box = p.scaledBox;
    return;
  }
  Turn turn = TurnOf(p.angle);
  int64_t ww = (std::abs(h * turn.sin) + std::abs(w * turn.cos) + 0x8000) >> 16;
  int64_t hh = (std::abs(h * turn.cos) + std::abs(w * turn.sin) + 0x8000) >> 16;
  p.box =
      Rect{int32_t(cx - ww / 2), int32_t(cy - hh / 2), int32_t(cx + ww - ww / 2), int32_t(cy + hh - hh / 2)};
}

}  // namespace

int32_t WholePosition(int32_t value, uint8_t shift) noexcept { return value >> (shift & 31); }

bool PlaceSprite(const SpriteRecord& sprite, Placement& out) {
  if (sprite.layer >= kSpriteLayers) return false;
  // The sprite and its ancestors, root last; the buffer outlives the call
  // so that placing sprite after sprite allocates nothing.
  thread_local std::vector<const SpriteRecord*> path;
  path.assign(1, &sprite);
  for (Addr link = sprite.parent; link != 0; link = path.back()->parent) {
    const SpriteRecord* parent = SpriteAt(link);
    if (!parent || path.size() > size_t(kSpriteRecords)) return false;
    path.push_back(parent);
  }
  const SpriteRecord& root = *path.back();
  if (root.layer >= kSpriteLayers) return false;
  const SpriteState& state = Sprites();
  Placement p;
  p.centreX = int64_t(int64_t(WholePosition(root.x, root.shift)) - state.originX[root.layer]) << 16;
  p.centreY = int64_t(int64_t(WholePosition(root.y, root.shift)) - state.originY[root.layer]) << 16;
  p.scaleX = root.scaleX;
  p.scaleY = root.scaleY;
  p.angle = root.angle;
  Centre(root, p);
  for (size_t i = path.size() - 1; i-- > 0;) {
    const SpriteRecord& parent = *path[i + 1];
    const SpriteRecord& s = *path[i];
    // The child's position is a point of the parent's image, from its corner.
    Offset(p.centreX, p.centreY, 2 * int64_t(WholePosition(s.x, s.shift)) - Width(parent.source),
           2 * int64_t(WholePosition(s.y, s.shift)) - Height(parent.source), TurnOf(p.angle), p.scaleX,
           p.scaleY);
    p.scaleX = ScaleProduct(p.scaleX, s.scaleX);
    p.scaleY = ScaleProduct(p.scaleY, s.scaleY);
    p.angle = uint16_t(p.angle + s.angle);
    Centre(s, p);
  }
  Boxes(sprite, p);
  out = p;
  return true;
}

void StorePlacement(SpriteRecord& sprite, const Placement& p) noexcept {
  sprite.effScaleX = p.scaleX;
  sprite.effScaleY = p.scaleY;
  sprite.effAngle = p.angle;
  sprite.box = p.box;
  sprite.scaledBox = p.scaledBox;
}

}  // namespace qavz
