// pal_map's colour map build against the plain search of every palette
// colour for each of the 32768 cells (the nearest-colour search of 8-bit
// drawing, run 32768 times), on the same palettes in this run.
//
// A ratio above 1 means the build is faster. Each figure is the best of
// seven runs in processor time.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>

#include "graphics/colour.h"
#include "graphics/colour_map.h"

using namespace qavz;

namespace {

double Seconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

template <typename F>
double Best(F run) {
  double best = 1e9;
  for (int i = 0; i < 7; ++i) {
    double start = Seconds();
    run();
    best = std::min(best, Seconds() - start);
  }
  return best;
}

uint8_t gMap[kColourMapCells];

void SearchEveryCell(const uint32_t* palette) {
  for (uint32_t c = 0; c < uint32_t(kColourMapCells); ++c)
    gMap[c] = NearestColour(((c >> 10) & 31) << 19 | ((c >> 5) & 31) << 11 | (c & 31) << 3, palette);
}

}  // namespace

int main() {
  std::mt19937 random(11);
  uint32_t randomPalette[256], cube[256], greys[256];
  for (uint32_t& c : randomPalette) c = random() & 0xFFFFFF;
  for (uint32_t i = 0; i < 256; ++i) {
    cube[i] = ((i >> 5) & 7) * 255 / 7 << 16 | ((i >> 2) & 7) * 255 / 7 << 8 | (i & 3) * 85;
    greys[i] = i * 0x010101;
  }
  struct Case {
    const char* name;
    const uint32_t* palette;
  } cases[] = {{"random", randomPalette}, {"3-3-2 cube", cube}, {"greys", greys}};
  std::printf("%-12s %12s %12s %8s\n", "palette", "map ms", "search ms", "ratio");
  for (const Case& c : cases) {
    double map = Best([&] { BuildColourMap(c.palette, gMap); });
    double search = Best([&] { SearchEveryCell(c.palette); });
    std::printf("%-12s %12.2f %12.2f %8.2f\n", c.name, map * 1e3, search * 1e3, search / map);
  }
  return 0;
}
