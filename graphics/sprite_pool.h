// The sprite and hit-area records and the pool that holds them.
//
// Scripts get the address of a record and change its fields in place, so the
// records live in one block of the machine address space with layouts fixed
// to the byte. Everything a script can overwrite is checked before use: a
// link is followed only when it names a record of the right table, and every
// walk along links is bounded, so garbage in a record never loops forever or
// reaches memory outside the pool. Which records are handed out is kept on
// the host side, out of the scripts' reach.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/plane.h"
#include "vm/arena.h"

namespace qavz {

constexpr int kSpriteLayers = 32;
constexpr int kSpriteRecords = 2048;
constexpr int kHitGroups = 32;
constexpr int kHitRecords = 1024;
constexpr int kDirtyCells = 4096;
constexpr int32_t kNoBackground = kPlaneSlots;

// Sprite kinds.
constexpr uint8_t kSpriteFree = 0;
constexpr uint8_t kSpriteRemoving = 1;  // its area is restored, then it goes
constexpr uint8_t kSpriteImage = 2;

// Sprite flags.
constexpr uint16_t kSpriteChanged = 0x0003;  // bits 0 and 1: redraw entirely
constexpr uint16_t kSpriteRemoved = 0x2000;  // free the record at the next draw
constexpr uint16_t kSpritePending = 0x4000;  // partly covered by a dirty area
constexpr uint16_t kSpriteOnPage = 0x8000;   // drawn and not removed since

// 140 bytes; the layer heads have the same shape and use `next` only.
struct SpriteRecord {
  uint8_t kind;
  uint8_t layer;
  uint16_t flags;
  uint8_t mirrorX, mirrorY;
  uint8_t shift;  // fraction bits of x and y
  uint8_t reserved0;
  int32_t sortBias;
  int32_t plane;
  int32_t x, y;
  int32_t hotX, hotY;
  int32_t scaleX, scaleY;        // 16.16
  int32_t effScaleX, effScaleY;  // computed: own times the parents'
  uint16_t angle;                // 2048 a full turn
  uint16_t effAngle;             // computed: own plus the parents'
  Rect source;
  uint8_t params[12];  // the blit parameter record
  Rect box;            // computed: bounding box on the page after rotation
  Rect scaledBox;      // computed: the scaled image before rotation
  Addr parent;
  Addr chain;    // next in the descendant chain
  Addr prev;     // previous in the layer list, or the layer head
  Addr next;     // next in the layer list
  Addr hits;     // first hit area owned
  Addr pending;  // computed: first pending dirty piece
  uint32_t reserved1;
};
static_assert(sizeof(SpriteRecord) == 140);
static_assert(offsetof(SpriteRecord, sortBias) == 8 && offsetof(SpriteRecord, x) == 16);
static_assert(offsetof(SpriteRecord, effScaleX) == 40 && offsetof(SpriteRecord, angle) == 48);
static_assert(offsetof(SpriteRecord, source) == 52 && offsetof(SpriteRecord, params) == 68);
static_assert(offsetof(SpriteRecord, box) == 80 && offsetof(SpriteRecord, scaledBox) == 96);
static_assert(offsetof(SpriteRecord, parent) == 112 && offsetof(SpriteRecord, pending) == 132);

// 44 bytes; the group heads have the same shape and use `next` only.
struct HitRecord {
  int32_t group;
  uint32_t mask;  // bit g: test against group g
  Rect rect;      // relative to the owner's placed position
  Addr owner;
  int32_t user;
  Addr prev;  // previous in the group, or the group head; 0 while free
  Addr next;
  Addr nextOwned;  // next area of the same owner
};
static_assert(sizeof(HitRecord) == 44);
static_assert(offsetof(HitRecord, owner) == 24 && offsetof(HitRecord, prev) == 32);

// A piece of a sprite's pending area.
struct DirtyCell {
  Rect rect;
  Addr next;
};
static_assert(sizeof(DirtyCell) == 20);

struct SpritePool {
  SpriteRecord heads[kSpriteLayers];
  SpriteRecord sprites[kSpriteRecords];
  SpriteRecord spare;  // handed out when sp_set refuses; in no list
  HitRecord groupHeads[kHitGroups];
  HitRecord areas[kHitRecords];
  DirtyCell cells[kDirtyCells];
};

// Host-side state of the sprite system.
struct SpriteState {
  uint16_t defaultFlags = 0;
  int32_t originX[kSpriteLayers] = {}, originY[kSpriteLayers] = {};
  int32_t background = kNoBackground;
  int32_t backgroundX = 0, backgroundY = 0;
  Rect updated;  // union of what changed on the page since the last draw
  bool spriteUsed[kSpriteRecords] = {};
  bool hitUsed[kHitRecords] = {};
  int cellsUsed = 0;
};

SpriteState& Sprites() noexcept;

// The pool, allocated in the address space on first use; null when the
// space cannot hold it.
SpritePool* Pool() noexcept;
Addr PoolAddress() noexcept;

// Records by machine address: null unless the address is the start of a
// record of that table.
SpriteRecord* SpriteAt(Addr address) noexcept;
HitRecord* HitAt(Addr address) noexcept;
DirtyCell* CellAt(Addr address) noexcept;
int SpriteIndex(const SpriteRecord* sprite) noexcept;
int HitIndex(const HitRecord* area) noexcept;
Addr AddressOf(const SpriteRecord* record) noexcept;  // sprites, heads, spare
Addr AddressOf(const HitRecord* record) noexcept;     // areas, group heads
Addr AddressOf(const DirtyCell* cell) noexcept;

// Rectangles.
bool RectsOverlap(const Rect& a, const Rect& b) noexcept;  // strict on all four sides
bool EmptyRect(const Rect& r) noexcept;
Rect Intersection(const Rect& a, const Rect& b) noexcept;
// Union that treats empty rectangles as nothing.
Rect UnionRect(const Rect& a, const Rect& b) noexcept;
bool SameRect(const Rect& a, const Rect& b) noexcept;

// The sprites of a layer's list in order: followed from the head, stopping at
// a link that is no sprite record or at a record already seen (`seen` is
// indexed by record and shared by the walks of one operation).
std::vector<SpriteRecord*> LayerList(int layer, std::vector<bool>& seen);
std::vector<SpriteRecord*> LayerList(int layer);
// Appends a sprite to the end of a layer's list.
void AppendToLayer(int layer, SpriteRecord* sprite);
// Takes a sprite out of the list it is found in (searched from its layer's
// head); nothing when it is not found there.
void UnlinkFromLayer(SpriteRecord* sprite) noexcept;
// Puts a sprite, already out of every list, just before `before` in the list
// that holds `before`.
void InsertBefore(SpriteRecord* sprite, SpriteRecord* before) noexcept;

// The sprite's parent when the link names a sprite record, else null.
SpriteRecord* ParentOf(const SpriteRecord* sprite) noexcept;
// True when `ancestor` is reached from `sprite` along parent links (the
// sprite itself not counted); a loop of parent links stops the search.
bool IsAncestor(const SpriteRecord* ancestor, const SpriteRecord* sprite) noexcept;
// The sprite's descendants in chain order: the run of the chain after it
// whose members have it as an ancestor.
std::vector<SpriteRecord*> Descendants(const SpriteRecord* sprite);
// Takes the sprite and its descendants out of the parent's chain.
void CutFromParentChain(SpriteRecord* sprite);

// The hit areas a sprite owns, in list order.
std::vector<HitRecord*> OwnedAreas(const SpriteRecord* sprite);
// The areas of a group's list in order, with the same checks as LayerList.
std::vector<HitRecord*> GroupList(int group);

// Takes a record out of every list and link and returns it to the pool:
// its areas lose their owner, its children become roots. `inList` false
// skips the search of the layer lists (the caller empties them).
void FreeSprite(SpriteRecord* sprite, bool inList = true);
void FreeHitArea(HitRecord* area) noexcept;

// sp_init(-1): every record, list, origin and the dirty-rectangle list.
void ClearSpriteSystem() noexcept;
// Number of sprite records whose kind is not 0.
int32_t CountSprites() noexcept;

}  // namespace qavz
