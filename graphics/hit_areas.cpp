// Hit areas: rectangles in 32 groups, optionally carried by a sprite, and
// the three queries over them. A sprite carries its areas through its own
// and its ancestors' positions less their hot spots; scale, rotation and
// layer origins do not apply.
#include <algorithm>
#include <cstring>
#include <vector>

#include "graphics/sprite_place.h"
#include "graphics/sprite_pool.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

struct Box64 {
  int64_t left, top, right, bottom;
};

bool Overlap64(const Box64& a, const Box64& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The area's rectangle where it lies now; false when it takes part in no
// query: free, mask 0, owned by a sprite that is not an image sprite, or
// carried through parent links that are broken or loop.
bool Placed(const HitRecord& area, Box64& out) {
  if (!Sprites().hitUsed[HitIndex(&area)] || area.mask == 0) return false;
  int64_t dx = 0, dy = 0;
  if (area.owner != 0) {
    const SpriteRecord* s = SpriteAt(area.owner);
    if (!s || s->kind != kSpriteImage) return false;
    int steps = 0;
    for (; s && steps <= kSpriteRecords; ++steps) {
      dx += int64_t(WholePosition(s->x, s->shift)) - s->hotX;
      dy += int64_t(WholePosition(s->y, s->shift)) - s->hotY;
      if (s->parent == 0) break;
      s = ParentOf(s);
    }
    if (!s || steps > kSpriteRecords) return false;
  }
  out = Box64{area.rect.left + dx, area.rect.top + dy, area.rect.right + dx, area.rect.bottom + dy};
  return true;
}

// The first active area of the masked groups, group 0 first and each in list
// order, that `test` accepts.
template <typename Test>
int32_t FirstArea(uint32_t groups, const HitRecord* except, Test test) {
  if (!Pool()) return 0;
  for (int g = 0; g < kHitGroups; ++g) {
    if (!(groups & (1u << g))) continue;
    for (HitRecord* area : GroupList(g)) {
      Box64 box;
      if (area != except && Placed(*area, box) && test(box)) return int32_t(AddressOf(area));
    }
  }
  return 0;
}

HitRecord* UsedArea(Addr at) {
  HitRecord* area = Pool() ? HitAt(at) : nullptr;
  return area && Sprites().hitUsed[HitIndex(area)] ? area : nullptr;
}

}  // namespace

int32_t Native_hit_init(Addr args) {
  if (!Pool()) return 0;
  uint32_t mask = uint32_t(Arg(args, 0));
  for (int g = 0; g < kHitGroups; ++g) {
    if (!(mask & (1u << g))) continue;
    for (HitRecord* area : GroupList(g)) FreeHitArea(area);
    Pool()->groupHeads[g].next = 0;
  }
  return 1;
}

int32_t Native_hit_set(Addr args) {
  SpritePool* pool = Pool();
  uint32_t group = uint32_t(Arg(args, 0));
  if (!pool || group >= uint32_t(kHitGroups)) return 0;
  Addr ownerAt = ArgAddr(args, 2), rectAt = ArgAddr(args, 3);
  SpriteRecord* owner = ownerAt ? SpriteAt(ownerAt) : nullptr;
  if (ownerAt && !owner) return 0;
  Rect rect;
  if (rectAt) {
    int32_t words[4];
    if (!TheArena().Read(rectAt, words)) return 0;
    rect = Rect{words[0], words[1], words[2], words[3]};
  } else if (owner) {
    rect = Rect{0, 0, int32_t(uint32_t(owner->source.right) - uint32_t(owner->source.left)),
                int32_t(uint32_t(owner->source.bottom) - uint32_t(owner->source.top))};
  }
  SpriteState& state = Sprites();
  bool* free = std::find(std::begin(state.hitUsed), std::end(state.hitUsed), false);
  if (free == std::end(state.hitUsed)) return 0;
  *free = true;
  HitRecord& area = pool->areas[free - std::begin(state.hitUsed)];
  std::memset(static_cast<void*>(&area), 0, sizeof area);
  area.group = int32_t(group);
  area.mask = uint32_t(Arg(args, 1));
  area.rect = rect;
  area.user = Arg(args, 4);
  std::vector<HitRecord*> list = GroupList(int(group));
  HitRecord* last = list.empty() ? &pool->groupHeads[group] : list.back();
  last->next = AddressOf(&area);
  area.prev = AddressOf(last);
  if (owner) {
    area.owner = ownerAt;
    area.nextOwned = owner->hits;
    owner->hits = AddressOf(&area);
  }
  return int32_t(AddressOf(&area));
}

int32_t Native_hit_reset(Addr args) {
  HitRecord* area = UsedArea(ArgAddr(args, 0));
  if (!area) return 0;
  FreeHitArea(area);
  return 1;
}

int32_t Native_hit_check(Addr args) {
  const HitRecord* area = UsedArea(ArgAddr(args, 0));
  Box64 self;
  if (!area || !Placed(*area, self)) return 0;
  return FirstArea(area->mask, area, [&](const Box64& box) { return Overlap64(self, box); });
}

int32_t Native_hit_rect(Addr args) {
  Addr at = ArgAddr(args, 0);
  int32_t words[4];
  if (at == 0 || !TheArena().Read(at, words)) return 0;
  Box64 rect{words[0], words[1], words[2], words[3]};
  return FirstArea(uint32_t(Arg(args, 1)), nullptr, [&](const Box64& box) { return Overlap64(rect, box); });
}

int32_t Native_hit_point(Addr args) {
  int64_t x = Arg(args, 0), y = Arg(args, 1);
  return FirstArea(uint32_t(Arg(args, 2)), nullptr, [&](const Box64& box) {
    return box.left <= x && x < box.right && box.top <= y && y < box.bottom;
  });
}

}  // namespace qavz
