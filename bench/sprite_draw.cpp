// Sprite redraw cost, against plain blit loops over the same sprites in this
// run: 2,000 moving 32 x 32 sprites with source alpha (mode 7) over a
// background on a 640 x 480 x 32 page, one sp_draw per frame.
//   - sp_draw's frame against a gblit loop and a gcopy loop drawing the same
//     sprites at the same places (sp_draw draws unscaled sprites by gcopy);
//     what sp_draw costs beyond the gcopy loop is the dirty-rectangle work:
//     collection, pending pieces, background restore and bookkeeping;
//   - the share of one core that 60 such frames a second take;
//   - the same with only every other sprite moving, where the still ones are
//     redrawn in pieces.
// Each figure is the best of several runs in processor time, the contenders'
// runs alternating, so that other work on the machine slows both alike.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

#include "bench/cpu_timing.h"
#include "core/service_hooks.h"
#include "graphics/blend_tables.h"
#include "graphics/blit.h"
#include "graphics/pages.h"
#include "graphics/plane.h"
#include "graphics/sprite_pool.h"
#include "vm/arena.h"
#include "vm/native_table.h"

using namespace qavz;
using bench::OneRun;

namespace {

constexpr int32_t kPage = 0, kBackground = 1, kImage = 2;
constexpr int32_t kWidth = 640, kHeight = 480, kSide = 32;
constexpr int kSprites = 2000;

// This bench's runs: 9 of at least 0.05 s each unless asked otherwise.
template <typename F, typename G>
std::pair<double, double> Race(F f, G g, int runs = 9, double minimum = 0.05) {
  return bench::Race(f, g, runs, minimum);
}

Plane* MakePlane(int32_t slot, int32_t w, int32_t h) {
  Plane* p = CreatePlane(slot, w, h, 32);
  if (!p) {
    std::fprintf(stderr, "cannot create a %d x %d plane\n", w, h);
    std::exit(1);
  }
  return p;
}

// A ball: opaque inside, a soft rim, transparent corners.
void PaintBall(Plane& p) {
  for (int32_t y = 0; y < kSide; ++y)
    for (int32_t x = 0; x < kSide; ++x) {
      double d = std::hypot(x - 15.5, y - 15.5);
      uint32_t alpha = d < 13 ? 255 : d < 16 ? uint32_t((16 - d) / 3 * 255) : 0;
      uint32_t v = (alpha << 24) | (uint32_t(x * 8) << 16) | (uint32_t(y * 8) << 8) | 0x40;
      std::memcpy(p.Pixel(x, y), &v, 4);
    }
}

// Native calls the way scripts make them: arguments in machine memory.
struct Calls {
  Addr block = TheArena().Alloc(4096);
  int32_t operator()(NativeFunction native, std::initializer_list<int32_t> args) {
    uint32_t i = 0;
    for (int32_t a : args) TheArena().Write(block + 4 * i++, a);
    return native(block);
  }
  Addr Scratch(uint32_t offset) const { return block + 2048 + offset; }
};

struct Mover {
  SpriteRecord* record;
  int32_t x, y, dx, dy;
  bool moving;
  void Step() {
    if (!moving) return;
    if (x + dx < -kSide / 2 || x + dx > kWidth - kSide / 2) dx = -dx;
    if (y + dy < -kSide / 2 || y + dy > kHeight - kSide / 2) dy = -dy;
    x += dx;
    y += dy;
  }
};

struct Scene {
  Calls calls;
  std::vector<Mover> movers;
  BlitParams params;
  Addr updated = calls.Scratch(0);

  // Only one scene at a time can own the sprite system; the other draws
  // the same movers with plain blits.
  Scene(bool everyOtherStill, bool withSprites) {
    params.mode = 7;
    params.alpha = 255;
    if (withSprites) {
      ResetSprites();
      Display().activePage.store(kPage);
      calls(Native_sp_setbg, {kBackground});
    }
    Addr paramsAt = calls.Scratch(64);
    TheArena().Write(paramsAt, params);
    std::mt19937 rng(3);
    for (int i = 0; i < kSprites; ++i) {
      Mover m{nullptr,
              int32_t(rng() % (kWidth - kSide)),
              int32_t(rng() % (kHeight - kSide)),
              int32_t(rng() % 7) - 3,
              int32_t(rng() % 7) - 3,
              !everyOtherStill || i % 2 == 0};
      if (m.dx == 0) m.dx = 1;
      if (withSprites)
        m.record = SpriteAt(Addr(calls(Native_sp_set, {i % 4, 2, m.x, m.y, kImage, 0, int32_t(paramsAt)})));
      movers.push_back(m);
    }
    if (withSprites) calls(Native_sp_draw, {-1, int32_t(updated)});
  }

  void SpriteFrame() {
    for (Mover& m : movers) {
      m.Step();
      if (!m.moving) continue;
      m.record->x = m.x;
      m.record->y = m.y;
      m.record->flags |= 1;
    }
    calls(Native_sp_draw, {-1, int32_t(updated)});
  }

  // The same sprites drawn in the same order with nothing else: layer by
  // layer, each layer in creation order.
  void BlitFrame(bool scaledDriver) {
    Rect source{0, 0, kSide, kSide};
    for (Mover& m : movers) m.Step();
    for (int layer = 0; layer < 4; ++layer)
      for (size_t i = size_t(layer); i < movers.size(); i += 4) {
        const Mover& m = movers[i];
        if (scaledDriver) {
          Rect dst{m.x, m.y, m.x + kSide, m.y + kSide};
          BlitPlane(kPage, &dst, kImage, &source, params, 0);
        } else {
          CopyPlane(kPage, m.x, m.y, kImage, &source, params);
        }
      }
  }
};

void Measure(const char* title, bool everyOtherStill) {
  Scene sprites(everyOtherStill, true), plain(everyOtherStill, false);
  auto [spriteFrame, blitFrame] = Race([&] { sprites.SpriteFrame(); }, [&] { plain.BlitFrame(true); });
  auto [spriteAgain, copyFrame] = Race([&] { sprites.SpriteFrame(); }, [&] { plain.BlitFrame(false); });
  double frame = std::min(spriteFrame, spriteAgain);
  std::printf("%s\n", title);
  std::printf("  sp_draw frame / gblit loop: %.2f\n", frame / blitFrame);
  std::printf("  sp_draw frame / gcopy loop: %.2f\n", frame / copyFrame);
  std::printf("  dirty-rectangle work / drawing (gcopy loop): %.2f%s\n", (frame - copyFrame) / copyFrame,
              everyOtherStill ? "" : " (target well under 0.5)");
  std::printf("  one core's share at 60 frames a second: %.2f%s\n", frame * 60,
              everyOtherStill ? "" : " (target under 1)");
}

}  // namespace

// With an argument ("moving" or "still") the bench only draws sprite frames
// of that scene for a few seconds, for a profiler to look at.
int main(int argc, char** argv) {
  if (!BuildBlendTables()) return 1;
  MakePlane(kPage, kWidth, kHeight);
  Plane* background = MakePlane(kBackground, kWidth, kHeight);
  std::mt19937 rng(9);
  for (size_t i = 0; i < background->ImageBytes(); ++i) background->host[i] = uint8_t(rng());
  PaintBall(*MakePlane(kImage, kSide, kSide));
  if (argc > 1) {
    Scene scene(std::strcmp(argv[1], "still") == 0, true);
    for (std::clock_t t0 = std::clock(); std::clock() - t0 < 3 * CLOCKS_PER_SEC;) scene.SpriteFrame();
    return 0;
  }
  std::printf("%d sprites of %d x %d, source alpha, on a %d x %d x 32 page over a background\n", kSprites,
              kSide, kSide, kWidth, kHeight);
  Measure("all moving:", false);
  Measure("every other one still:", true);
  ResetSprites();
  return 0;
}
