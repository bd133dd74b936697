// The sprite natives other than sp_draw: creating, linking, removing and
// sorting sprites, the background, the origins, and the per-run reset.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/report_error.h"
#include "graphics/dirty_rects.h"
#include "graphics/messages.h"
#include "graphics/pages.h"
#include "graphics/sprite_place.h"
#include "graphics/sprite_pool.h"
#include "vm/native_table.h"
#include "vm/system_variables.h"

namespace qavz {

namespace {

bool ReadRect(Addr at, Rect& out) {
  int32_t words[4];
  if (!TheArena().Read(at, words)) return false;
  out = Rect{words[0], words[1], words[2], words[3]};
  return true;
}

int32_t Saturate(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// The spare record, cleared: what sp_set returns when it refuses.
int32_t Spare() {
  SpriteRecord& spare = Pool()->spare;
  std::memset(static_cast<void*>(&spare), 0, sizeof spare);
  return int32_t(AddressOf(&spare));
}

// The background as it lands on the ActivePage: its whole size from the
// corner of the page's clip rectangle.
Rect BackgroundArea(const Plane& background) {
  const Plane* page = PlaneAt(Display().activePage.load());
  int32_t left = page ? page->clip.left : 0, top = page ? page->clip.top : 0;
  return Rect{left, top, Saturate(int64_t(left) + background.width),
              Saturate(int64_t(top) + background.height)};
}

// With a background plane its whole area is to be restored and shown.
bool RestoreWholeBackground() {
  const Plane* background = PlaneAt(Sprites().background);
  if (!background) return false;
  Rect area = BackgroundArea(*background);
  Sprites().updated = area;
  AppendDirtyRect(area);
  return true;
}

// Frees every sprite of the masked layers at once. Children in other layers
// become roots; areas lose their owner.
void InitLayers(uint32_t mask) {
  std::vector<bool> seen(kSpriteRecords);
  for (int layer = 0; layer < kSpriteLayers; ++layer) {
    if (!(mask & (1u << layer))) continue;
    std::vector<SpriteRecord*> list = LayerList(layer, seen);
    Pool()->heads[layer].next = 0;
    for (SpriteRecord* s : list) FreeSprite(s, false);
  }
}

// True when the parent links from `sprite` end at a root.
bool AncestryEnds(const SpriteRecord* sprite) {
  for (int steps = 0; steps <= kSpriteRecords; ++steps) {
    if (sprite->parent == 0) return true;
    sprite = ParentOf(sprite);
    if (!sprite) return false;
  }
  return false;
}

int64_t SortKey(const SpriteRecord* s) {
  int64_t key = 0;
  for (int steps = 0; s && steps <= kSpriteRecords; ++steps, s = ParentOf(s))
    key += int64_t(s->sortBias) + WholePosition(s->y, s->shift);
  return key;
}

// Selection sort by key where among equal keys the earlier stays first:
// a stable sort.
void SortLayer(int layer) {
  std::vector<SpriteRecord*> list = LayerList(layer);
  std::vector<std::pair<int64_t, SpriteRecord*>> keyed;
  for (SpriteRecord* s : list) keyed.emplace_back(SortKey(s), s);
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  SpriteRecord* prev = &Pool()->heads[layer];
  for (auto& [key, s] : keyed) {
    prev->next = AddressOf(s);
    s->prev = AddressOf(prev);
    prev = s;
  }
  prev->next = 0;
}

}  // namespace

void ResetSpriteSystem() noexcept {
  ClearSpriteSystem();
  SpriteState& state = Sprites();
  state.defaultFlags = 0;
  state.background = kNoBackground;
  state.backgroundX = state.backgroundY = 0;
  state.updated = Rect{};
  SetSpriteCountSource(CountSprites);
}

int32_t Native_sp_flag(Addr args) {
  SpriteState& state = Sprites();
  int32_t previous = state.defaultFlags;
  state.defaultFlags = uint16_t(Arg(args, 0));
  return previous;
}

int32_t Native_sp_init(Addr args) {
  if (!Pool()) return 0;
  int32_t mask = Arg(args, 0);
  if (mask == -1)
    ClearSpriteSystem();
  else
    InitLayers(uint32_t(mask));
  return 1;
}

int32_t Native_sp_setbg(Addr args) {
  SpriteState& state = Sprites();
  uint32_t plane = uint32_t(Arg(args, 0));
  state.background = plane < uint32_t(kPlaneSlots) ? int32_t(plane) : kNoBackground;
  state.backgroundX = state.backgroundY = 0;
  ClearDirtyRects();
  if (!RestoreWholeBackground()) {
    const Plane* page = PlaneAt(Display().activePage.load());
    state.updated = page ? Rect{0, 0, page->width, page->height} : Rect{};
  }
  return 1;
}

int32_t Native_sp_redraw(Addr args) {
  if (!Pool()) return 0;
  const Plane* page = PlaneAt(Display().activePage.load());
  if (page && PlaneAt(Sprites().background)) AppendDirtyRect(Rect{0, 0, page->width, page->height});
  uint32_t mask = uint32_t(Arg(args, 0));
  std::vector<bool> seen(kSpriteRecords);
  for (int layer = 0; layer < kSpriteLayers; ++layer)
    if (mask & (1u << layer))
      for (SpriteRecord* s : LayerList(layer, seen))
        if (!(s->kind == kSpriteRemoving && !(s->flags & kSpriteOnPage))) s->flags |= 1;
  return 1;
}

int32_t Native_sp_set(Addr args) {
  SpritePool* pool = Pool();
  if (!pool) return 0;
  uint32_t layer = uint32_t(Arg(args, 0)) & 0xFF;
  int32_t plane = Arg(args, 4);
  Addr rectAt = ArgAddr(args, 5), paramsAt = ArgAddr(args, 6);
  if (layer >= uint32_t(kSpriteLayers) || uint32_t(plane) >= uint32_t(kPlaneSlots)) return Spare();
  Rect source;
  if (rectAt) {
    if (!ReadRect(rectAt, source)) return Spare();
  } else if (const Plane* image = PlaneAt(plane)) {
    source = Rect{0, 0, image->width, image->height};
  } else {
    return Spare();
  }
  uint8_t params[12] = {};
  if (paramsAt && !TheArena().Read(paramsAt, params)) return Spare();
  SpriteState& state = Sprites();
  bool* free = std::find(std::begin(state.spriteUsed), std::end(state.spriteUsed), false);
  if (free == std::end(state.spriteUsed)) return Spare();
  *free = true;
  SpriteRecord& s = pool->sprites[free - std::begin(state.spriteUsed)];
  std::memset(static_cast<void*>(&s), 0, sizeof s);
  s.kind = uint8_t(Arg(args, 1));
  s.layer = uint8_t(layer);
  s.flags = state.defaultFlags;
  s.plane = plane;
  s.x = Arg(args, 2);
  s.y = Arg(args, 3);
  s.scaleX = s.scaleY = 0x10000;
  s.source = source;
  std::memcpy(s.params, params, sizeof params);
  AppendToLayer(int(layer), &s);
  return int32_t(AddressOf(&s));
}

int32_t Native_sp_reset(Addr args) {
  Addr at = ArgAddr(args, 0);
  if (at == 0 || !Pool()) return 0;
  SpriteRecord* sprite = SpriteAt(at);
  if (!sprite) return at == AddressOf(&Pool()->spare) ? 1 : 0;
  if (!Sprites().spriteUsed[SpriteIndex(sprite)]) return 1;
  CutFromParentChain(sprite);
  std::vector<SpriteRecord*> family = Descendants(sprite);
  family.insert(family.begin(), sprite);
  for (SpriteRecord* s : family) {
    s->kind = kSpriteRemoving;
    s->flags |= kSpriteRemoved;
    for (HitRecord* area : OwnedAreas(s)) {
      area->owner = 0;
      area->nextOwned = 0;
    }
    s->hits = 0;
  }
  return 1;
}

int32_t Native_sp_link(Addr args) {
  if (!Pool()) return 0;
  SpriteRecord* parent = SpriteAt(ArgAddr(args, 0));
  SpriteRecord* child = SpriteAt(ArgAddr(args, 1));
  if (!parent || !child) return 0;
  if (child == parent || IsAncestor(child, parent)) {
    ReportError(kLevelFault, "%s", msg::kChildIsAncestor);
    return 0;
  }
  if (!AncestryEnds(parent)) return 0;
  // The child comes with its own descendants, out of any chain it was in.
  CutFromParentChain(child);
  std::vector<SpriteRecord*> family = Descendants(child);
  SpriteRecord* last = family.empty() ? child : family.back();
  last->chain = SpriteAt(parent->chain) ? parent->chain : 0;
  parent->chain = AddressOf(child);
  child->parent = AddressOf(parent);
  if (child->layer == parent->layer && child->layer < kSpriteLayers) {
    UnlinkFromLayer(child);
    InsertBefore(child, parent);
  }
  return 1;
}

int32_t Native_sp_bgorg(Addr args) {
  SpriteState& state = Sprites();
  state.backgroundX = Arg(args, 0);
  state.backgroundY = Arg(args, 1);
  RestoreWholeBackground();
  return 1;
}

int32_t Native_sp_org(Addr args) {
  uint32_t mask = uint32_t(Arg(args, 0));
  SpriteState& state = Sprites();
  for (int layer = 0; layer < kSpriteLayers; ++layer)
    if (mask & (1u << layer)) {
      state.originX[layer] = Arg(args, 1);
      state.originY[layer] = Arg(args, 2);
    }
  return 1;
}

int32_t Native_sp_sort(Addr args) {
  if (!Pool()) return 0;
  uint32_t mask = uint32_t(Arg(args, 0));
  for (int layer = 0; layer < kSpriteLayers; ++layer)
    if (mask & (1u << layer)) SortLayer(layer);
  return 1;
}

int32_t Native_sp_rect(Addr args) {
  Addr at = ArgAddr(args, 0), rectAt = ArgAddr(args, 1);
  if (at == 0 || rectAt == 0 || !Pool()) return 0;
  const SpriteRecord* sprite = SpriteAt(at);
  if (!sprite && at == AddressOf(&Pool()->spare)) sprite = &Pool()->spare;
  Placement placement;
  if (!sprite || !PlaceSprite(*sprite, placement)) return 0;
  return TheArena().Write(rectAt, placement.scaledBox) ? 1 : 0;
}

}  // namespace qavz
