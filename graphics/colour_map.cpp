#include "graphics/colour_map.h"

#include <algorithm>

#include "graphics/colour.h"

namespace qavz {

namespace {

// Channels of a palette entry reduced to 6 bits, packed as red << 12 |
// green << 6 | blue.
uint32_t Reduced(uint32_t rgb) {
  return ((rgb >> 18) & 63) << 12 | ((rgb >> 10) & 63) << 6 | ((rgb >> 2) & 63);
}

// Per-channel weights of one palette colour against the 32 cube levels.
struct LevelWeights {
  int32_t red[32], green[32], blue[32];
};

LevelWeights WeightsFor(uint32_t reduced) {
  const DistanceWeights& w = Distances();
  int32_t r = int32_t(reduced >> 12), g = int32_t((reduced >> 6) & 63), b = int32_t(reduced & 63);
  LevelWeights levels;
  for (int32_t v = 0; v < 32; ++v) {
    levels.red[v] = int32_t(w.red[(2 * v - r) & 127]);
    levels.green[v] = int32_t(w.green[(2 * v - g) & 127]);
    levels.blue[v] = int32_t(w.blue[(2 * v - b) & 127]);
  }
  return levels;
}

}  // namespace

// Every palette colour is laid over the whole cube and each cell keeps the
// nearest so far. The distance is a sum of one term per channel, so a cube
// row costs one addition and one comparison per cell, which vectorises;
// later duplicates of a colour can never win and are skipped.
void BuildColourMap(const uint32_t* palette, uint8_t* map) noexcept {
  // Distances stay below 2^25 (63^2 x 4502), so signed lanes hold them.
  static int32_t best[kColourMapCells];
  static int32_t index[kColourMapCells];
  std::fill(best, best + kColourMapCells, INT32_MAX);
  std::fill(index, index + kColourMapCells, 0);
  uint32_t reduced[256];
  for (uint32_t i = 0; i < 256; ++i) {
    reduced[i] = Reduced(palette[i]);
    if (std::find(reduced, reduced + i, reduced[i]) != reduced + i) continue;
    LevelWeights levels = WeightsFor(reduced[i]);
    for (int32_t r = 0; r < 32; ++r)
      for (int32_t g = 0; g < 32; ++g) {
        int32_t base = levels.red[r] + levels.green[g];
        int32_t* cellBest = best + (r << 10 | g << 5);
        int32_t* cellIndex = index + (r << 10 | g << 5);
        for (int32_t b = 0; b < 32; ++b) {
          int32_t d = base + levels.blue[b];
          bool nearer = d < cellBest[b];
          cellBest[b] = nearer ? d : cellBest[b];
          cellIndex[b] = nearer ? int32_t(i) : cellIndex[b];
        }
      }
  }
  for (int32_t c = 0; c < kColourMapCells; ++c) map[c] = uint8_t(index[c]);
}

}  // namespace qavz
