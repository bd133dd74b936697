// The record pool: address checks, the layer and group lists, the
// descendant chains, and freeing records.
#include "graphics/sprite_pool.h"

#include <algorithm>
#include <cstring>

#include "graphics/dirty_rects.h"

namespace qavz {

namespace {

Addr gPoolAddress = 0;
SpritePool* gPool = nullptr;

// The record of `table` (count records of `size` bytes from `offset` in the
// pool) that starts at `address`, as an index; -1 when there is none.
int RecordIndex(Addr address, size_t offset, size_t size, int count) {
  if (!gPool) return -1;
  uint32_t at = address - gPoolAddress - uint32_t(offset);  // wraps below the table
  if (at >= size * size_t(count) || at % size != 0) return -1;
  return int(at / size);
}

// The link field that points at `target` in a list, found by walking it
// from `head`; null when the list does not reach the target.
template <typename Record, typename At>
Record* Predecessor(Record* head, const Record* target, At at, int limit) {
  Record* prev = head;
  for (int steps = 0; steps <= limit; ++steps) {
    Record* cur = at(prev->next);
    if (!cur) return nullptr;
    if (cur == target) return prev;
    prev = cur;
  }
  return nullptr;
}

template <typename Record, typename At>
bool UnlinkFrom(Record* head, Record* node, At at, int limit) {
  Record* prev = Predecessor(head, node, at, limit);
  if (!prev) return false;
  Record* next = at(node->next);
  prev->next = next ? node->next : 0;
  if (next) next->prev = AddressOf(prev);
  node->prev = node->next = 0;
  return true;
}

}  // namespace

SpriteState& Sprites() noexcept {
  static SpriteState state;
  return state;
}

SpritePool* Pool() noexcept {
  if (!gPool) {
    Addr block = TheArena().Alloc(sizeof(SpritePool));
    if (block == 0) return nullptr;
    gPool = reinterpret_cast<SpritePool*>(TheArena().Span(block, sizeof(SpritePool)));
    gPoolAddress = block;
  }
  return gPool;
}

Addr PoolAddress() noexcept { return Pool() ? gPoolAddress : 0; }

SpriteRecord* SpriteAt(Addr address) noexcept {
  int i = RecordIndex(address, offsetof(SpritePool, sprites), sizeof(SpriteRecord), kSpriteRecords);
  return i < 0 ? nullptr : &gPool->sprites[i];
}

HitRecord* HitAt(Addr address) noexcept {
  int i = RecordIndex(address, offsetof(SpritePool, areas), sizeof(HitRecord), kHitRecords);
  return i < 0 ? nullptr : &gPool->areas[i];
}

DirtyCell* CellAt(Addr address) noexcept {
  int i = RecordIndex(address, offsetof(SpritePool, cells), sizeof(DirtyCell), kDirtyCells);
  return i < 0 ? nullptr : &gPool->cells[i];
}

int SpriteIndex(const SpriteRecord* sprite) noexcept { return int(sprite - gPool->sprites); }
int HitIndex(const HitRecord* area) noexcept { return int(area - gPool->areas); }

Addr AddressOf(const SpriteRecord* record) noexcept {
  return gPoolAddress +
         Addr(reinterpret_cast<const uint8_t*>(record) - reinterpret_cast<const uint8_t*>(gPool));
}
Addr AddressOf(const HitRecord* record) noexcept {
  return gPoolAddress +
         Addr(reinterpret_cast<const uint8_t*>(record) - reinterpret_cast<const uint8_t*>(gPool));
}
Addr AddressOf(const DirtyCell* cell) noexcept {
  return gPoolAddress +
         Addr(reinterpret_cast<const uint8_t*>(cell) - reinterpret_cast<const uint8_t*>(gPool));
}

bool RectsOverlap(const Rect& a, const Rect& b) noexcept {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool EmptyRect(const Rect& r) noexcept { return r.left >= r.right || r.top >= r.bottom; }

Rect Intersection(const Rect& a, const Rect& b) noexcept {
  return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

Rect UnionRect(const Rect& a, const Rect& b) noexcept {
  if (EmptyRect(a)) return b;
  if (EmptyRect(b)) return a;
  return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

bool SameRect(const Rect& a, const Rect& b) noexcept {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::vector<SpriteRecord*> LayerList(int layer, std::vector<bool>& seen) {
  std::vector<SpriteRecord*> list;
  if (!Pool() || layer < 0 || layer >= kSpriteLayers) return list;
  for (SpriteRecord* s = SpriteAt(gPool->heads[layer].next); s; s = SpriteAt(s->next)) {
    int i = SpriteIndex(s);
    if (seen[i]) break;
    seen[i] = true;
    list.push_back(s);
  }
  return list;
}

std::vector<SpriteRecord*> LayerList(int layer) {
  std::vector<bool> seen(kSpriteRecords);
  return LayerList(layer, seen);
}

void AppendToLayer(int layer, SpriteRecord* sprite) {
  std::vector<SpriteRecord*> list = LayerList(layer);
  SpriteRecord* last = list.empty() ? &gPool->heads[layer] : list.back();
  last->next = AddressOf(sprite);
  sprite->prev = AddressOf(last);
  sprite->next = 0;
}

void UnlinkFromLayer(SpriteRecord* sprite) noexcept {
  if (sprite->layer < kSpriteLayers &&
      UnlinkFrom(&gPool->heads[sprite->layer], sprite, SpriteAt, kSpriteRecords))
    return;
  // A layer number a script overwrote: the record may sit in any list.
  for (SpriteRecord& head : gPool->heads)
    if (UnlinkFrom(&head, sprite, SpriteAt, kSpriteRecords)) return;
}

void InsertBefore(SpriteRecord* sprite, SpriteRecord* before) noexcept {
  auto find = [&](SpriteRecord* head) { return Predecessor(head, before, SpriteAt, kSpriteRecords); };
  SpriteRecord* prev = before->layer < kSpriteLayers ? find(&gPool->heads[before->layer]) : nullptr;
  for (int layer = 0; !prev && layer < kSpriteLayers; ++layer) prev = find(&gPool->heads[layer]);
  if (!prev) return;
  prev->next = AddressOf(sprite);
  sprite->prev = AddressOf(prev);
  sprite->next = AddressOf(before);
  before->prev = AddressOf(sprite);
}

SpriteRecord* ParentOf(const SpriteRecord* sprite) noexcept { return SpriteAt(sprite->parent); }

bool IsAncestor(const SpriteRecord* ancestor, const SpriteRecord* sprite) noexcept {
  const SpriteRecord* p = ParentOf(sprite);
  for (int steps = 0; p && steps < kSpriteRecords; ++steps, p = ParentOf(p))
    if (p == ancestor) return true;
  return false;
}

std::vector<SpriteRecord*> Descendants(const SpriteRecord* sprite) {
  std::vector<SpriteRecord*> list;
  std::vector<bool> seen(kSpriteRecords);
  for (SpriteRecord* s = SpriteAt(sprite->chain); s && !seen[SpriteIndex(s)]; s = SpriteAt(s->chain)) {
    if (!IsAncestor(sprite, s)) break;
    seen[SpriteIndex(s)] = true;
    list.push_back(s);
  }
  return list;
}

void CutFromParentChain(SpriteRecord* sprite) {
  SpriteRecord* parent = ParentOf(sprite);
  if (!parent) return;
  std::vector<SpriteRecord*> family = Descendants(sprite);
  SpriteRecord* last = family.empty() ? sprite : family.back();
  Addr after = SpriteAt(last->chain) ? last->chain : 0;
  SpriteRecord* prev = parent;
  for (int steps = 0; steps <= kSpriteRecords; ++steps) {
    SpriteRecord* cur = SpriteAt(prev->chain);
    if (!cur) break;
    if (cur == sprite) {
      prev->chain = after;
      break;
    }
    prev = cur;
  }
  last->chain = 0;
}

std::vector<HitRecord*> OwnedAreas(const SpriteRecord* sprite) {
  std::vector<HitRecord*> list;
  std::vector<bool> seen(kHitRecords);
  for (HitRecord* a = HitAt(sprite->hits); a && !seen[HitIndex(a)]; a = HitAt(a->nextOwned)) {
    seen[HitIndex(a)] = true;
    list.push_back(a);
  }
  return list;
}

std::vector<HitRecord*> GroupList(int group) {
  std::vector<HitRecord*> list;
  if (!Pool() || group < 0 || group >= kHitGroups) return list;
  std::vector<bool> seen(kHitRecords);
  for (HitRecord* a = HitAt(gPool->groupHeads[group].next); a && !seen[HitIndex(a)]; a = HitAt(a->next)) {
    seen[HitIndex(a)] = true;
    list.push_back(a);
  }
  return list;
}

void FreeSprite(SpriteRecord* sprite, bool inList) {
  if (inList) UnlinkFromLayer(sprite);
  CutFromParentChain(sprite);
  std::vector<SpriteRecord*> family = Descendants(sprite);
  for (SpriteRecord* child : family) {
    if (ParentOf(child) != sprite) continue;
    std::vector<SpriteRecord*> own = Descendants(child);
    (own.empty() ? child : own.back())->chain = 0;
    child->parent = 0;
  }
  for (HitRecord* area : OwnedAreas(sprite)) {
    area->owner = 0;
    area->nextOwned = 0;
  }
  Sprites().spriteUsed[SpriteIndex(sprite)] = false;
  std::memset(static_cast<void*>(sprite), 0, sizeof *sprite);
}

void FreeHitArea(HitRecord* area) noexcept {
  bool unlinked = area->group >= 0 && area->group < kHitGroups &&
                  UnlinkFrom(&gPool->groupHeads[area->group], area, HitAt, kHitRecords);
  for (int g = 0; !unlinked && g < kHitGroups; ++g)
    unlinked = UnlinkFrom(&gPool->groupHeads[g], area, HitAt, kHitRecords);
  if (SpriteRecord* owner = SpriteAt(area->owner)) {
    Addr self = AddressOf(area);
    Addr* link = &owner->hits;
    for (int steps = 0; steps <= kHitRecords && HitAt(*link); ++steps) {
      if (*link == self) {
        *link = area->nextOwned;
        break;
      }
      link = &HitAt(*link)->nextOwned;
    }
  }
  Sprites().hitUsed[HitIndex(area)] = false;
  std::memset(static_cast<void*>(area), 0, sizeof *area);
}

void ClearSpriteSystem() noexcept {
  SpriteState& state = Sprites();
  if (SpritePool* pool = Pool()) std::memset(static_cast<void*>(pool), 0, sizeof *pool);
  std::fill(std::begin(state.originX), std::end(state.originX), 0);
  std::fill(std::begin(state.originY), std::end(state.originY), 0);
  std::fill(std::begin(state.spriteUsed), std::end(state.spriteUsed), false);
  std::fill(std::begin(state.hitUsed), std::end(state.hitUsed), false);
  state.cellsUsed = 0;
  ClearDirtyRects();
}

int32_t CountSprites() noexcept {
  if (!Pool()) return 0;
  int32_t count = 0;
  for (const SpriteRecord& s : gPool->sprites) count += s.kind != kSpriteFree;
  return count;
}

}  // namespace qavz
