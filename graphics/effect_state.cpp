// The eight effect slots: creating, checking and freeing their states.
#include <algorithm>

#include "graphics/effects.h"
#include "graphics/filter_support.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

Addr gStates[kEffectSlots];

bool InSlots(int32_t slot) { return uint32_t(slot) < uint32_t(kEffectSlots); }

void FreeSlot(int32_t slot) {
  if (gStates[slot]) TheArena().Free(gStates[slot]);
  gStates[slot] = 0;
}

uint64_t GridBytes(int64_t columns, int64_t rows) { return uint64_t(columns + 1) * uint64_t(rows + 1) * 8; }
uint64_t FieldBytes(int64_t columns, int64_t rows) { return uint64_t(columns + 3) * uint64_t(rows + 3) * 2; }

// True when `bytes` bytes at `offset` (a multiple of `align`) lie inside a
// block of `size` bytes.
bool Inside(int32_t offset, uint64_t bytes, uint32_t size, uint32_t align) {
  return offset >= 0 && uint32_t(offset) % align == 0 && uint64_t(offset) + bytes <= size;
}

}  // namespace

bool OpenEffect(int32_t slot, bool withWater, Effect& e) noexcept {
  if (!InSlots(slot) || !gStates[slot]) return false;
  Addr state = gStates[slot];
  uint32_t size = TheArena().BlockSize(state);
  uint8_t* base = TheArena().Span(state, size);
  if (size < kEfHeaderBytes || !base) return false;
  auto field = [&](uint32_t offset) {
    int32_t v;
    std::memcpy(&v, base + offset, 4);
    return v;
  };
  e.state = state;
  e.dst = BytePlane(field(kEfDestPlane));
  e.src = BytePlane(field(kEfSourcePlane));
  if (!e.dst || !e.src || e.dst->depth != e.src->depth) return false;
  e.dstLeft = field(kEfDestLeft);
  e.dstTop = field(kEfDestTop);
  e.srcLeft = field(kEfSourceLeft);
  e.srcTop = field(kEfSourceTop);
  e.srcWidth = field(kEfSourceWidth);
  e.srcHeight = field(kEfSourceHeight);
  e.columns = field(kEfColumns);
  e.rows = field(kEfRows);
  if (e.columns < 1 || e.rows < 1 || e.dstLeft < 0 || e.dstTop < 0 ||
      int64_t(e.dstLeft) + int64_t(e.columns) * 8 > e.dst->width ||
      int64_t(e.dstTop) + int64_t(e.rows) * 8 > e.dst->height)
    return false;
  if (e.srcWidth < 1 || e.srcHeight < 1 || e.srcLeft < 0 || e.srcTop < 0 ||
      int64_t(e.srcLeft) + e.srcWidth > e.src->width || int64_t(e.srcTop) + e.srcHeight > e.src->height)
    return false;
  int32_t grid = field(kEfGridOffset);
  if (!Inside(grid, GridBytes(e.columns, e.rows), size, 4)) return false;
  e.grid = reinterpret_cast<int32_t*>(base + grid);
  e.water[0] = e.water[1] = nullptr;
  if (withWater) {
    uint64_t bytes = FieldBytes(e.columns, e.rows);
    int32_t first = field(kEfWaterOffset0), second = field(kEfWaterOffset1);
    if (!Inside(first, bytes, size, 2) || !Inside(second, bytes, size, 2)) return false;
    e.water[0] = reinterpret_cast<int16_t*>(base + first);
    e.water[1] = reinterpret_cast<int16_t*>(base + second);
    e.current = field(kEfWaterCurrent) & 1;
  }
  return true;
}

void FreeAllEffectStates() noexcept {
  for (int32_t slot = 0; slot < kEffectSlots; ++slot) FreeSlot(slot);
}

// A new state for the slot: the destination rectangle cut to its clip
// rectangle, the source rectangle to its plane, the grid and the water
// fields (zero) in the same block. A destination smaller than one cell is
// refused, since it has nothing to draw and no grid to divide.
int32_t Native_ef_init(Addr args) {
  int32_t slot = Arg(args, 0);
  if (!InSlots(slot)) return 0;
  FreeSlot(slot);
  Plane* dst = BytePlane(Arg(args, 1));
  Plane* src = BytePlane(Arg(args, 3));
  Rect to, from;
  if (!dst || !src || dst->depth != src->depth) return 0;
  if (!RectArg(ArgAddr(args, 2), *dst, to) || !RectArg(ArgAddr(args, 4), *src, from)) return 0;
  to = Intersect(to, ClipOf(*dst));
  from = Intersect(from, BoundsOf(*src));
  if (IsEmpty(to) || IsEmpty(from)) return 0;
  int32_t columns = (to.right - to.left) >> 3, rows = (to.bottom - to.top) >> 3;
  if (columns == 0 || rows == 0) return 0;
  uint64_t grid = GridBytes(columns, rows), field = FieldBytes(columns, rows);
  uint64_t size = kEfHeaderBytes + grid + 2 * field;
  if (size > UINT32_MAX) return 0;
  Addr state = TheArena().Alloc(uint32_t(size));
  if (!state) return 0;
  int32_t header[kEfHeaderBytes / 4] = {Arg(args, 1),
                                        to.left,
                                        to.top,
                                        Arg(args, 3),
                                        from.left,
                                        from.top,
                                        from.right - from.left,
                                        from.bottom - from.top,
                                        columns,
                                        rows,
                                        dst->BytesPerPixel(),
                                        kShortGrid,
                                        kEfHeaderBytes,
                                        int32_t(kEfHeaderBytes + grid),
                                        int32_t(kEfHeaderBytes + grid + field),
                                        0};
  std::memcpy(TheArena().Span(state, kEfHeaderBytes), header, sizeof header);
  gStates[slot] = state;
  return int32_t(state);
}

int32_t Native_ef_free(Addr args) {
  int32_t slot = Arg(args, 0);
  if (!InSlots(slot) || !gStates[slot]) return 0;
  FreeSlot(slot);
  return 1;
}

}  // namespace qavz
