// Screen effects: eight slots, each binding a destination and a source
// rectangle through a coarse grid of source coordinates, one grid point per
// corner of the destination's 8 x 8 cells.
//
// A slot's state is one block of the machine address space (ef_init returns
// its address), laid out as below, and scripts may change it in place.
// Every effect call therefore reads the state afresh and checks it: the
// planes must exist with equal depths, the cells must lie inside the
// destination plane and the source rectangle inside the source plane, and
// the grid and the water fields must lie inside the block. A state that
// fails a check draws nothing and the effect returns 0.
#pragma once

#include <cstdint>

#include "graphics/plane.h"

namespace qavz {

constexpr int kEffectSlots = 8;

// Byte offsets of the state's 32-bit fields.
enum EffectField : uint32_t {
  kEfDestPlane = 0,
  kEfDestLeft = 4,
  kEfDestTop = 8,
  kEfSourcePlane = 12,
  kEfSourceLeft = 16,
  kEfSourceTop = 20,
  kEfSourceWidth = 24,
  kEfSourceHeight = 28,
  kEfColumns = 32,        // destination width >> 3
  kEfRows = 36,           // destination height >> 3
  kEfBytesPerPixel = 40,  // of both planes (informative: the planes decide)
  kEfFormat = 44,         // of the grid: 0 short, 1 long
  kEfGridOffset = 48,     // from the block's start: (columns + 1) x (rows + 1) points of (u, v)
  kEfWaterOffset0 = 52,   // two height fields of (rows + 3) x (columns + 3) 16-bit values
  kEfWaterOffset1 = 56,
  kEfWaterCurrent = 60,  // which field is current (its low bit)
  kEfHeaderBytes = 64,
};

enum GridFormat : int32_t { kShortGrid = 0, kLongGrid = 1 };

// A checked view of a slot's state in host terms.
struct Effect {
  Addr state = 0;
  Plane* dst = nullptr;
  Plane* src = nullptr;
  int32_t dstLeft = 0, dstTop = 0;
  int32_t srcLeft = 0, srcTop = 0, srcWidth = 0, srcHeight = 0;
  int32_t columns = 0, rows = 0;
  int32_t* grid = nullptr;  // point (j, i) at grid[2 * (i * (columns + 1) + j)]
  int16_t* water[2] = {nullptr, nullptr};
  int32_t current = 0;  // index of the current water field

  int32_t* Point(int32_t j, int32_t i) const {
    return grid + 2 * (size_t(i) * size_t(columns + 1) + size_t(j));
  }
  // Height field cell of grid point (j, i); the fields keep a border of one
  // cell all round, so -1 .. columns + 1 and -1 .. rows + 1 are valid.
  int16_t& Height(int field, int32_t j, int32_t i) const {
    return water[field][size_t(i + 1) * size_t(columns + 3) + size_t(j + 1)];
  }
};

// The slot's state checked as described above; false for a slot outside
// 0 .. 7, an empty slot or a state that fails a check. `withWater` also
// checks the two height fields.
bool OpenEffect(int32_t slot, bool withWater, Effect& effect) noexcept;
// Marks the grid's format in the state and draws the destination cells;
// false when memory for drawing ran out.
bool DrawEffect(const Effect& effect, GridFormat format) noexcept;

// Frees every slot's state (the per-run shutdown step).
void FreeAllEffectStates() noexcept;

}  // namespace qavz
