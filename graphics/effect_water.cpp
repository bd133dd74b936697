// The water effect: two height fields (current and previous) with a border
// of one cell, one cell per grid point. ef_blob drops a cone into the
// current field; ef_water advances the waves by one step, bends the source
// by the slope of the surface and draws.
#include <algorithm>
#include <cmath>

#include "graphics/crt_random.h"
#include "graphics/effects.h"
#include "graphics/filter_support.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

// One step: every cell becomes half the sum of its eight neighbours in the
// current field less its own previous value, keeps 7/8 of that, and is
// written over the previous field, which then becomes current.
void Advance(Effect& e) {
  const int cur = e.current, old = 1 - cur;
  for (int32_t i = 0; i <= e.rows; ++i)
    for (int32_t j = 0; j <= e.columns; ++j) {
      int32_t sum = 0;
      for (int32_t di = -1; di <= 1; ++di)
        for (int32_t dj = -1; dj <= 1; ++dj)
          if (di != 0 || dj != 0) sum += e.Height(cur, j + dj, i + di);
      int32_t value = (sum >> 2) - e.Height(old, j, i);
      e.Height(old, j, i) = int16_t(value - (value >> 3));
    }
  e.current = old;
  TheArena().Write(e.state + kEfWaterCurrent, int32_t(old));
}

// A random centre keeping the radius inside 0 .. cells, or the middle when
// the radius does not fit.
int64_t RandomCentre(int64_t cells, int64_t radius) {
  int64_t span = cells + 1 - 2 * radius;
  return span > 0 ? radius + CrtRand() % span : cells / 2;
}

}  // namespace

int32_t Native_ef_water(Addr args) {
  Effect e;
  if (!OpenEffect(Arg(args, 0), true, e)) return 0;
  Advance(e);
  int64_t w = e.srcWidth, h = e.srcHeight;
  for (int32_t i = 0; i <= e.rows; ++i)
    for (int32_t j = 0; j <= e.columns; ++j) {
      int64_t here = e.Height(e.current, j, i);
      int64_t right = e.Height(e.current, j + 1, i), down = e.Height(e.current, j, i + 1);
      int32_t* p = e.Point(j, i);
      p[0] = int32_t(((j * w / e.columns + here - right) << 11) / w << 8);
      p[1] = int32_t(((here + i * h / e.rows - down) << 11) / h << 8);
    }
  return DrawEffect(e, kShortGrid) ? 1 : 0;
}

// Sets every grid cell closer than the radius (in cells) to the centre to
// (radius - distance) x height / radius in the current field.
int32_t Native_ef_blob(Addr args) {
  Effect e;
  if (!OpenEffect(Arg(args, 0), true, e)) return 0;
  int64_t x = Arg(args, 1), y = Arg(args, 2), height = Arg(args, 4);
  int64_t radius = (int64_t(Arg(args, 3)) + 7) >> 3;
  if (radius <= 0) return 1;
  int64_t cx = (x + 7) >> 3, cy = (y + 7) >> 3;
  if (x < 0 || y < 0) {
    cx = RandomCentre(e.columns, radius);
    cy = RandomCentre(e.rows, radius);
  }
  int64_t top = std::max<int64_t>(0, cy - radius), bottom = std::min<int64_t>(e.rows, cy + radius);
  int64_t left = std::max<int64_t>(0, cx - radius), right = std::min<int64_t>(e.columns, cx + radius);
  for (int64_t i = top; i <= bottom; ++i)
    for (int64_t j = left; j <= right; ++j) {
      double distance = std::hypot(double(j - cx), double(i - cy));
      if (distance >= double(radius)) continue;
      double value = (double(radius) - distance) * double(height) / double(radius);
      e.Height(e.current, int32_t(j), int32_t(i)) = int16_t(int64_t(value));
    }
  return 1;
}

}  // namespace qavz
