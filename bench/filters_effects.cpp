// Every image filter and screen effect on a 640 x 480 32-bit plane against a
// plain memcpy of that plane, measured in the same run. The budget is 40
// times the copy. A second table shows that blur's cost does not grow with
// the radius.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <vector>

#include "graphics/plane.h"
#include "vm/native_table.h"

using namespace qavz;

namespace {

constexpr int32_t kWidth = 640, kHeight = 480;
constexpr double kBudget = 40.0;

Addr gArgs = 0;

// The native's arguments written to script memory, as the machine passes
// them.
Addr Args(std::initializer_list<int32_t> words) {
  uint32_t i = 0;
  for (int32_t w : words) TheArena().Write(gArgs + 4 * i++, w);
  return gArgs;
}

// Processor time of this thread, in seconds: the machine may be busy with
// other work, and time spent waiting for a processor is not ours.
double ThreadTime() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Best time of one call over several rounds of `calls` calls. Each round
// starts from the same source picture, so filters that change their own
// plane do not drift toward an easy picture.
template <typename F>
double Best(F call, int calls) {
  double best = 1e30;
  for (int round = 0; round < 9; ++round) {
    std::memcpy(PlaneAt(2)->host, PlaneAt(1)->host, PlaneAt(1)->ImageBytes());
    double t0 = ThreadTime();
    for (int i = 0; i < calls; ++i) call();
    best = std::min(best, (ThreadTime() - t0) / calls);
  }
  return best;
}

// The copy of the plane, measured beside each operation so both see the
// same state of the machine.
double CopyTime() {
  Plane* src = PlaneAt(1);
  Plane* dst = PlaneAt(2);
  return Best([&] { std::memcpy(dst->host, src->host, src->ImageBytes()); }, 64);
}

struct Row {
  const char* name;
  NativeFunction handler;
  std::vector<int32_t> args;
};

}  // namespace

int main() {
  gArgs = TheArena().Alloc(64);
  Addr half = TheArena().Alloc(16);
  int32_t quarter[4] = {0, 0, kWidth / 2, kHeight / 2};
  for (uint32_t i = 0; i < 4; ++i) TheArena().Write(half + 4 * i, quarter[i]);
  Plane* src = CreatePlane(1, kWidth, kHeight, 32);
  Plane* dst = CreatePlane(2, kWidth, kHeight, 32);
  if (!gArgs || !half || !src || !dst) {
    std::fprintf(stderr, "no memory for the planes\n");
    return 1;
  }
  uint32_t seed = 1;
  for (size_t i = 0; i < src->ImageBytes(); ++i) {
    seed = seed * 1103515245u + 12345u;
    src->host[i] = uint8_t(seed >> 20);
  }
  if (!Native_ef_init(Args({0, 2, 0, 1, 0}))) {
    std::fprintf(stderr, "ef_init failed\n");
    return 1;
  }
  const int32_t none = -1, q = int32_t(half);
  const Row rows[] = {
      {"freemap", Native_freemap, {2, 0, 1, 0, none}},
      {"rotate", Native_rotate, {2, 0, 1, 0, 300, none}},
      {"smooth (2x)", Native_smooth, {2, 0, 1, q, none}},
      {"tiled", Native_tiled, {2, 0, 1, 0, 300, 0x18000}},
      {"scroll", Native_scroll, {2, 0, 13, 7}},
      {"noise", Native_noise, {2, 0, 128}},
      {"slice", Native_slice, {2, 0, 64}},
      {"gradation", Native_gradation, {2, 0, 0, 1, 0}},
      {"mosaic 8x8", Native_mosaic, {2, 0, 0, 1, 0, 8, 8}},
      {"monotone", Native_monotone, {2, 0, 0x102030, 0xF0E0D0}},
      {"blur r=8", Native_blur, {2, 0, 0, 1, 0, 8}},
      {"blur r=-8", Native_blur, {2, 0, 0, 1, 0, -8}},
      {"fire", Native_fire, {2, 0}},
      {"ef_rotate", Native_ef_rotate, {0, 320, 240, 0x18000, 300}},
      {"ef_tunnel", Native_ef_tunnel, {0, 400, 100}},
      {"ef_land", Native_ef_land, {0, 900, 200, 100}},
      {"ef_ball", Native_ef_ball, {0, 700, 60, 300}},
      {"ef_whirl", Native_ef_whirl, {0, 3}},
      {"ef_raster", Native_ef_raster, {0, 3, 40, 30}},
      {"ef_blob", Native_ef_blob, {0, -1, -1, 40, 300}},
      {"ef_water", Native_ef_water, {0}},
  };
  std::printf("640 x 480 x 32 plane; memcpy of the plane: %.1f us\n\n", CopyTime() * 1e6);
  std::printf("%-14s %12s %10s\n", "operation", "us per call", "x memcpy");
  bool within = true;
  for (const Row& row : rows) {
    double copy = CopyTime();
    double t = Best(
        [&] {
          Addr a = gArgs;
          for (uint32_t i = 0; i < row.args.size(); ++i) TheArena().Write(a + 4 * i, row.args[i]);
          if (row.handler(a) == 0) {
            std::fprintf(stderr, "%s returned 0\n", row.name);
            std::exit(1);
          }
        },
        8);
    within = within && t / copy <= kBudget;
    std::printf("%-14s %12.1f %10.2f%s\n", row.name, t * 1e6, t / copy,
                t / copy > kBudget ? "  over budget" : "");
  }
  std::printf("\nblur radius against radius 1 (running sums: about 1 at every radius)\n");
  for (int32_t sign : {1, -1}) {
    double one = Best([&] { Native_blur(Args({2, 0, 0, 1, 0, sign})); }, 8);
    for (int32_t r : {8, 32, 127}) {
      double t = Best([&] { Native_blur(Args({2, 0, 0, 1, 0, sign * r})); }, 8);
      std::printf("blur r=%-4d %6.2f\n", sign * r, t / one);
    }
  }
  std::printf("\n%s\n", within ? "every operation within 40 x memcpy" : "SOME OPERATIONS OVER 40 x memcpy");
  return within ? 0 : 1;
}
