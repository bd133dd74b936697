// The inner loops of gcopy and gblit and their four dispatch tables, each
// indexed by mode * 16 + (source bytes - 1) * 4 + (destination bytes - 1).
//
// A loop brings each row's source and destination pixels to the
// destination's compute space, runs the mode's kernel of the pixel
// implementation in use, and writes the result back in the destination's
// format. Loops of neighbouring combinations are shared; a null entry is a
// combination that is not provided (the blit draws nothing).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "graphics/blend_modes.h"

namespace qavz {

// How a destination's pixels are computed on.
enum class ComputeSpace : uint8_t {
  kRgb,     // 8-bit channels: 32 and 24 bits, and 16 bits widened through the 5-5-5 table
  kIndex,   // 8-bit destination without colour mapping: the index itself
  kMapped,  // 8-bit destination with colour mapping: RGB through the colour tables and back through the map
  kFields,  // 16 to 16 bits unscaled: the 5-bit fields themselves
};

struct BlitJob {
  int32_t mode = 0;
  const ModeArgs* args = nullptr;
  const ModeKernels* kernels = nullptr;
  ComputeSpace space = ComputeSpace::kRgb;

  // Destination: first pixel of the first row, the step to the next row
  // down, and the size of the area written.
  uint8_t* dst = nullptr;
  ptrdiff_t dstRowStep = 0;
  int32_t width = 0, height = 0;

  // Source plane: its row 0 and the step to the next row down.
  const uint8_t* srcRow0 = nullptr;
  ptrdiff_t srcRowStep = 0;
  // The attached plane whose byte replaces the source alpha (masked loops):
  // row 0, row step, and 1 or 4 bytes per pixel (4: its alpha byte).
  const uint8_t* maskRow0 = nullptr;
  ptrdiff_t maskRowStep = 0;
  int32_t maskBytes = 1;

  // Scaled loops: the source column of each destination column and the
  // source row of each destination row; `contiguous` when the columns
  // simply count up from columns[0].
  const int32_t* columns = nullptr;
  const int32_t* rows = nullptr;
  bool contiguous = false;

  // Rotated loops: 16.16 source position of the first pixel, its change per
  // destination column and per row, and the source area that may be read
  // (left, top, right, bottom; right and bottom exclusive).
  __int128 startX = 0, startY = 0;
  int64_t columnDx = 0, columnDy = 0, rowDx = 0, rowDy = 0;
  int32_t limitLeft = 0, limitTop = 0, limitRight = 0, limitBottom = 0;

  // 8-bit source: each index in the compute space, the alpha lane included.
  const uint32_t* srcLut = nullptr;
  // Mapped 8-bit destination: each index's colour, the alpha lane included.
  const uint32_t* dstLut = nullptr;
  // Into an index space the source key is found on the raw source pixel
  // (mapping loses it) and marked with alpha 254.
  bool markKey = false;
  uint32_t rawKey = 0;
};

using BlitLoop = void (*)(const BlitJob& job);

constexpr int kLoopRows = 25;
constexpr int kMaskedLoopRows = 6;  // modes 7 .. 12
constexpr int kFirstMaskedMode = 7;

using LoopTable = std::array<BlitLoop, kLoopRows * 16>;
using MaskedLoopTable = std::array<BlitLoop, kMaskedLoopRows * 16>;
extern const LoopTable kScaledLoops;
extern const MaskedLoopTable kScaledMaskedLoops;
extern const LoopTable kRotatedLoops;
extern const MaskedLoopTable kRotatedMaskedLoops;

// The entry of a table for a mode and a pair of depths (8, 16, 24, 32).
inline BlitLoop FindLoop(const BlitLoop* table, int32_t firstMode, int32_t mode, int32_t srcDepth,
                         int32_t dstDepth) {
  return table[(mode - firstMode) * 16 + (srcDepth / 8 - 1) * 4 + (dstDepth / 8 - 1)];
}

// A 5-5-5 pixel's fields in the channels of a compute-space word.
inline uint32_t Fields(uint32_t p) { return (p & 31) | (((p >> 5) & 31) << 8) | (((p >> 10) & 31) << 16); }

// True for the modes whose masked loops take the attached plane's byte.
constexpr bool MaskedMode(int32_t mode) { return mode == 7 || mode == 10 || mode == 11 || mode == 12; }

}  // namespace qavz
