// Blit throughput, each figure against a reference measured in this run:
//   1. gcopy mode 0, 32 to 32 bits, 640 x 480, against memcpy of the same rows;
//   2. gblit mode 7 (source alpha), 32 to 32, equal rectangles, against
//      pixman's OVER of the same pixels (when built with pixman);
//   3. every mode and depth pair in Mpixels/s through gblit (the loop
//      tables) and gcopy (direct paths, MMX on), portable and vector side
//      by side. Mode numbers as arguments limit the table to those modes
//      and skip parts 1 and 2.
// Ratios above 1 mean the first-named side is faster. Each figure is the
// best of several runs in processor time, the contenders' runs alternating,
// so that other work on the machine slows both alike.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "bench/cpu_timing.h"
#include "core/config.h"
#include "graphics/blend_tables.h"
#include "graphics/blit.h"
#include "graphics/pixel_ops.h"
#include "graphics/plane.h"

#if QAVZ_HAVE_PIXMAN
#include <pixman.h>
#endif

using namespace qavz;
using bench::OneRun;

namespace {

constexpr int32_t kDst = 1020, kSrc = 1021;

// The best of `runs` runs.
template <typename F>
double SecondsPerCall(F f, int runs = 5, double minimum = 0.01) {
  double best = 1e30;
  for (int run = 0; run < runs; ++run) best = std::min(best, OneRun(f, minimum));
  return best;
}

// This bench's runs: 15 of at least 0.01 s each unless asked otherwise.
template <typename F, typename G>
std::pair<double, double> Race(F f, G g, int runs = 15, double minimum = 0.01) {
  return bench::Race(f, g, runs, minimum);
}

Plane* RandomPlane(int32_t slot, int32_t w, int32_t h, int32_t depth, uint32_t seed) {
  Plane* p = CreatePlane(slot, w, h, depth);
  if (!p) {
    std::fprintf(stderr, "cannot create a %d x %d x %d plane\n", w, h, depth);
    std::exit(1);
  }
  std::mt19937 rng(seed);
  for (size_t i = 0; i < p->ImageBytes(); ++i) p->host[i] = uint8_t(rng());
  if (depth == 8)
    for (uint32_t& c : p->colours) c = rng() & 0xFFFFFF;
  return p;
}

void CopyAgainstMemcpy() {
  Plane* src = RandomPlane(kSrc, 640, 480, 32, 1);
  Plane* dst = RandomPlane(kDst, 640, 480, 32, 2);
  auto [gcopy, memcpyRows] = Race([] { CopyPlane(kDst, 0, 0, kSrc, nullptr, BlitParams{}); },
                                  [src, dst] {
                                    for (int32_t y = 0; y < 480; ++y)
                                      std::memcpy(dst->Row(y), src->Row(y), 640 * 4);
                                  });
  std::printf("gcopy mode 0, 32 to 32, 640 x 480: %.0f Mpixels/s, memcpy of the rows %.0f Mpixels/s\n",
              640 * 480 / gcopy / 1e6, 640 * 480 / memcpyRows / 1e6);
  std::printf("  ratio gcopy / memcpy speed: %.2f (target at least 0.90)\n", memcpyRows / gcopy);
}

// Alpha of every pixel random, or as a sprite has it: a disc, opaque inside,
// transparent outside (all four bytes 0, so pixman may skip them too), with
// a soft edge.
void ShapeAlpha(Plane& p, bool sprite) {
  if (!sprite) return;
  for (int32_t y = 0; y < p.height; ++y)
    for (int32_t x = 0; x < p.width; ++x) {
      double r = std::hypot(x - p.width / 2.0, y - p.height / 2.0), edge = p.height / 2.5;
      uint8_t alpha = uint8_t(std::clamp((edge - r) * 32.0, 0.0, 255.0));
      if (alpha == 0) std::memset(p.Pixel(x, y), 0, 3);
      p.Pixel(x, y)[3] = alpha;
    }
}

void AlphaAgainstPixman(bool sprite) {
  ShapeAlpha(*RandomPlane(kSrc, 640, 480, 32, 3), sprite);
  Plane* dst = RandomPlane(kDst, 640, 480, 32, 4);
  const char* what = sprite ? "sprite alpha" : "random alpha";
  BlitParams over;
  over.mode = 7;
  over.alpha = 255;
  auto gblitCall = [&over] { BlitPlane(kDst, nullptr, kSrc, nullptr, over, 0); };
#if QAVZ_HAVE_PIXMAN
  // The same bytes in pixman's own buffers.
  std::vector<uint32_t> srcBits(640 * 480), dstBits(640 * 480);
  std::memcpy(srcBits.data(), PlaneAt(kSrc)->host, srcBits.size() * 4);
  std::memcpy(dstBits.data(), dst->host, dstBits.size() * 4);
  pixman_image_t* s = pixman_image_create_bits(PIXMAN_a8r8g8b8, 640, 480, srcBits.data(), 640 * 4);
  pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, 640, 480, dstBits.data(), 640 * 4);
  auto [gblit, pixman] = Race(gblitCall, [s, d] {
    pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, 640, 480);
  });
  pixman_image_unref(s);
  pixman_image_unref(d);
  std::printf(
      "gblit mode 7, 32 to 32, 640 x 480, %s (%s): %.0f Mpixels/s; pixman OVER a8r8g8b8 %.0f Mpixels/s\n",
      what, ThePixelImplementation().name, 640 * 480 / gblit / 1e6, 640 * 480 / pixman / 1e6);
  std::printf("  ratio gblit / pixman speed: %.2f (target at least 1.00)\n", pixman / gblit);
#else
  (void)dst;
  std::printf("gblit mode 7, 32 to 32, 640 x 480, %s (%s): %.0f Mpixels/s; pixman not found at build time\n",
              what, ThePixelImplementation().name, 640 * 480 / SecondsPerCall(gblitCall) / 1e6);
#endif
}

bool Blending(int mode) { return !(mode <= 2 || mode == 11 || mode == 22 || mode == 23); }

// Mpixels/s of blits of 320 x 240 with the portable and the vector
// implementation, measured in alternating runs.
std::pair<double, double> Speeds(const std::string& vector, bool gcopy, const BlitParams& p) {
  auto blit = [gcopy, &p] {
    if (gcopy)
      CopyPlane(kDst, 0, 0, kSrc, nullptr, p);
    else
      BlitPlane(kDst, nullptr, kSrc, nullptr, p, 0);
  };
  auto [portable, fast] = Race(
      [&] {
        SelectPixelImplementation("portable");
        blit();
      },
      [&] {
        SelectPixelImplementation(vector.c_str());
        blit();
      },
      5, 0.004);
  return {320 * 240 / portable / 1e6, 320 * 240 / fast / 1e6};
}

void ModeTable(const std::string& vector, const std::vector<bool>& chosen) {
  std::printf("\nMpixels/s, 320 x 240, portable against %s (ratio vector / portable); '-' = no loop\n",
              vector.c_str());
  std::printf("mode pair    | gblit portable   vector  ratio | gcopy portable   vector  ratio\n");
  std::vector<double> blendRatios, blendRatios32;
  const int depths[4] = {8, 16, 24, 32};
  for (int mode = 0; mode < 25; ++mode)
    for (int s : depths) {
      if (!chosen[mode]) break;
      for (int d : depths) {
        RandomPlane(kSrc, 320, 240, s, uint32_t(mode * 100 + s));
        RandomPlane(kDst, 320, 240, d, uint32_t(mode * 100 + d + 1));
        BlitParams p;
        p.mode = uint8_t(mode);
        p.alpha = 160;
        p.second = 40;
        p.channelMask = 5;
        p.key = 0x123456;
        p.colour = 0x406080;
        bool none = (mode == 7 || mode == 10 || mode == 11 || mode == 12) && s == 8;
        none = none || (mode == 8 && d == 8) || (mode == 9 && (s == 8 || d == 8)) || (mode == 24 && s != 8);
        if (none) {
          std::printf("%2d %2d -> %2d |        -        -      - |        -        -      -\n", mode, s, d);
          continue;
        }
        auto [bp, bv] = Speeds(vector, false, p);
        auto [cp, cv] = Speeds(vector, true, p);
        std::printf("%2d %2d -> %2d | %8.0f %8.0f %6.2f | %8.0f %8.0f %6.2f\n", mode, s, d, bp, bv, bv / bp,
                    cp, cv, cv / cp);
        if (Blending(mode)) {
          blendRatios.push_back(bv / bp);
          if (s == 32 && d == 32) blendRatios32.push_back(bv / bp);
        }
      }
    }
  auto summary = [](const char* what, const std::vector<double>& r) {
    if (r.empty()) return;
    double logSum = 0;
    for (double v : r) logSum += std::log(v);
    std::printf("%s: geometric mean %.2f, lowest %.2f (target at least 3.00)\n", what,
                std::exp(logSum / double(r.size())), *std::min_element(r.begin(), r.end()));
  };
  std::printf("\ngblit vector / portable on the blending modes (3-10, 12-21, 24)\n");
  summary("  32 to 32", blendRatios32);
  summary("  every pair", blendRatios);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<bool> chosen(kBlendModes, argc < 2);
  for (int i = 1; i < argc; ++i)
    if (int mode = std::atoi(argv[i]); mode >= 0 && mode < kBlendModes) chosen[mode] = true;
  if (!BuildBlendTables()) return 1;
  std::mt19937 rng(5);
  for (int i = 0; i < 32768; ++i) BlendTables().colourMap[i] = uint8_t(rng());
  TheConfig().mmx = 1;
  std::string vector = ThePixelImplementation().name;
  if (argc < 2) {
    CopyAgainstMemcpy();
    AlphaAgainstPixman(false);
    AlphaAgainstPixman(true);
  }
  if (vector == "portable") {
    std::printf("no vector unit: no comparison table\n");
    return 0;
  }
  ModeTable(vector, chosen);
  FreePlane(kDst);
  FreePlane(kSrc);
  return 0;
}
