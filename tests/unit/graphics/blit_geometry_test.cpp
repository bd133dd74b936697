// Where gcopy and gblit put pixels: clipping, mirroring, scaling, rotation,
// hostile rectangles, the natives' argument handling and the edge cases of
// the modes.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "core/config.h"
#include "graphics/blend_tables.h"
#include "graphics/blit.h"
#include "graphics/blit_loops.h"
#include "graphics/plane.h"
#include "tests/support/script_memory.h"
#include "vm/native_table.h"

namespace qavz {
namespace {

constexpr int32_t kDst = 1010, kSrc = 1011, kMask = 1012;

uint32_t Get(const Plane& p, int32_t x, int32_t y) {
  uint32_t v = 0;
  std::memcpy(&v, p.Pixel(x, y), size_t(p.depth / 8));
  return v;
}
void Put(Plane& p, int32_t x, int32_t y, uint32_t v) { std::memcpy(p.Pixel(x, y), &v, size_t(p.depth / 8)); }

// A source whose pixel (x, y) is x + 256 y + 0x10000 (unique, never 0).
Plane* Numbered(int32_t slot, int32_t w, int32_t h, int32_t depth = 32) {
  Plane* p = CreatePlane(slot, w, h, depth);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) Put(*p, x, y, uint32_t(x + 256 * y + 0x10000) | 0xFF000000);
  return p;
}
int32_t Xof(uint32_t v) { return int32_t(v & 255); }
int32_t Yof(uint32_t v) { return int32_t((v >> 8) & 255); }

class BlitGeometry : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(BuildBlendTables());
    savedMmx_ = TheConfig().mmx;
    TheConfig().mmx = 0;
  }
  void TearDown() override {
    TheConfig().mmx = savedMmx_;
    SetAttachment(kSrc, -1);
    for (int32_t slot : {kDst, kSrc, kMask}) FreePlane(slot);
  }
  int32_t Blit(Rect d, Rect s, int32_t angle = 0, BlitParams p = {}) {
    return BlitPlane(kDst, &d, kSrc, &s, p, angle);
  }
  int32_t savedMmx_ = 0;
};

TEST_F(BlitGeometry, CopyLeftOfTheEdgeDrawsTheRightPart) {
  Numbered(kSrc, 10, 4);
  Plane* dst = CreatePlane(kDst, 20, 4, 32);
  EXPECT_EQ(CopyPlane(kDst, -3, 0, kSrc, nullptr, {}), 1);
  for (int32_t x = 0; x < 20; ++x) {
    if (x <= 6)
      EXPECT_EQ(Xof(Get(*dst, x, 1)), x + 3) << x;
    else
      EXPECT_EQ(Get(*dst, x, 1), 0u) << x;
  }
  EXPECT_EQ(CopyPlane(kDst, -10, 0, kSrc, nullptr, {}), 0) << "nothing inside";
  EXPECT_EQ(CopyPlane(kDst, 20, 0, kSrc, nullptr, {}), 0);
}

TEST_F(BlitGeometry, ReversedRectanglesMirror) {
  Numbered(kSrc, 10, 10);
  Plane* dst = CreatePlane(kDst, 10, 10, 32);
  ASSERT_EQ(Blit({10, 0, 0, 10}, {0, 0, 10, 10}), 1);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 10; ++x)
      ASSERT_EQ(Get(*dst, x, y) & 0xFFFF, uint32_t((9 - x) + 256 * y)) << x << "," << y;
  ASSERT_EQ(Blit({0, 10, 10, 0}, {0, 0, 10, 10}), 1);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 10; ++x) ASSERT_EQ(Get(*dst, x, y) & 0xFFFF, uint32_t(x + 256 * (9 - y)));
  ASSERT_EQ(Blit({10, 0, 0, 10}, {10, 0, 0, 10}), 1) << "both reversed";
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 10; ++x) ASSERT_EQ(Get(*dst, x, y) & 0xFFFF, uint32_t(x + 256 * y));
}

TEST_F(BlitGeometry, ScalingRepeatsOrSkipsColumns) {
  Numbered(kSrc, 4, 1);
  Plane* dst = CreatePlane(kDst, 8, 1, 32);
  ASSERT_EQ(Blit({0, 0, 4, 1}, {0, 0, 2, 1}), 1);
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(Xof(Get(*dst, x, 0)), x / 2) << "2 to 4, column " << x;
  ASSERT_EQ(Blit({0, 0, 2, 1}, {0, 0, 4, 1}), 1);
  EXPECT_EQ(Xof(Get(*dst, 0, 0)), 0);
  EXPECT_EQ(Xof(Get(*dst, 1, 0)), 2) << "4 to 2 takes columns 0 and 2";
}

TEST_F(BlitGeometry, HalfTurnIsUpsideDownInPlaceAndFullTurnIsUnrotated) {
  Numbered(kSrc, 10, 8);
  Plane* dst = CreatePlane(kDst, 10, 8, 32);
  ASSERT_EQ(Blit({0, 0, 10, 8}, {0, 0, 10, 8}, 1024), 1);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 10; ++x) ASSERT_EQ(Get(*dst, x, y) & 0xFFFF, uint32_t((9 - x) + 256 * (7 - y)));
  ASSERT_EQ(Blit({0, 0, 10, 8}, {0, 0, 10, 8}, 2048), 1);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 10; ++x) ASSERT_EQ(Get(*dst, x, y) & 0xFFFF, uint32_t(x + 256 * y));
  ASSERT_EQ(Blit({0, 0, 10, 8}, {0, 0, 10, 8}, 1024 + 2048 * 5), 1) << "only the low 11 bits count";
  EXPECT_EQ(Get(*dst, 0, 0) & 0xFFFF, uint32_t(9 + 256 * 7));
}

TEST_F(BlitGeometry, TurnsCombineWithMirroringAndScaling) {
  Numbered(kSrc, 10, 8);
  Plane* dst = CreatePlane(kDst, 20, 16, 32);
  // A half turn of a horizontally mirrored picture is the vertical mirror.
  ASSERT_EQ(Blit({10, 0, 0, 8}, {0, 0, 10, 8}, 1024), 1);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 10; ++x)
      ASSERT_EQ(Get(*dst, x, y) & 0xFFFF, uint32_t(x + 256 * (7 - y))) << x << "," << y;
  // Doubled and turned: each source pixel covers two by two destination pixels.
  ASSERT_EQ(Blit({0, 0, 20, 16}, {0, 0, 10, 8}, 1024), 1);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 20; ++x)
      ASSERT_EQ(Get(*dst, x, y) & 0xFFFF, uint32_t((9 - x / 2) + 256 * (7 - y / 2))) << x << "," << y;
  // Reversing both rectangles of a turned blit changes nothing.
  dst = CreatePlane(kDst, 20, 16, 32);
  ASSERT_EQ(Blit({0, 0, 20, 16}, {0, 0, 10, 8}, 700), 1);
  std::vector<uint32_t> turned;
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 20; ++x) turned.push_back(Get(*dst, x, y));
  dst = CreatePlane(kDst, 20, 16, 32);
  ASSERT_EQ(Blit({20, 16, 0, 0}, {10, 8, 0, 0}, 700), 1);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 20; ++x) ASSERT_EQ(Get(*dst, x, y), turned[size_t(y * 20 + x)]) << x << "," << y;
}

TEST_F(BlitGeometry, QuarterTurnIsAnticlockwise) {
  Numbered(kSrc, 8, 8);
  Plane* dst = CreatePlane(kDst, 8, 8, 32);
  ASSERT_EQ(Blit({0, 0, 8, 8}, {0, 0, 8, 8}, 512), 1);
  // The source's right column becomes the top row, read top to bottom: the
  // way sprite placement turns a child about its parent.
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x)
      ASSERT_EQ(Get(*dst, x, y) & 0xFFFF, uint32_t((7 - y) + 256 * x)) << x << "," << y;
  // A reversed destination mirrors the turned picture.
  ASSERT_EQ(Blit({8, 0, 0, 8}, {0, 0, 8, 8}, 512), 1);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x)
      ASSERT_EQ(Get(*dst, x, y) & 0xFFFF, uint32_t((7 - y) + 256 * (7 - x))) << x << "," << y;
}

TEST_F(BlitGeometry, RotationGrowsTheBoxAboutTheCentre) {
  Numbered(kSrc, 20, 4);
  Plane* dst = CreatePlane(kDst, 40, 40, 32);
  ASSERT_EQ(Blit({10, 18, 30, 22}, {0, 0, 20, 4}, 512), 1);
  // A 20 x 4 rectangle turned a quarter: a 4 x 20 box centred on (20, 20).
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 40; ++x) {
      bool inside = x >= 18 && x < 22 && y >= 10 && y < 30;
      ASSERT_EQ(Get(*dst, x, y) != 0, inside) << x << "," << y;
    }
}

// Scaled blits: every destination pixel inside the clip shows the source
// pixel the unclipped mapping gives it, or is left when that pixel lies
// outside the source plane; nothing outside the clip changes.
TEST_F(BlitGeometry, ClippedScalingKeepsTheUnclippedMapping) {
  std::mt19937 rng(42);
  Plane* src = Numbered(kSrc, 23, 17);
  for (int round = 0; round < 400; ++round) {
    Plane* dst = CreatePlane(kDst, 31, 29, 32);
    dst->clip =
        Rect{int32_t(rng() % 8), int32_t(rng() % 8), int32_t(20 + rng() % 12), int32_t(18 + rng() % 12)};
    auto coord = [&rng](int range) { return int32_t(rng() % (2 * range)) - range / 2; };
    Rect d{coord(40), coord(40), coord(40), coord(40)}, s{coord(30), coord(30), coord(30), coord(30)};
    int32_t result = Blit(d, s);
    // The model: reversed rectangles mirror, the step is extent * 2^32 / extent.
    bool mx = (d.right < d.left) != (s.right < s.left), my = (d.bottom < d.top) != (s.bottom < s.top);
    int64_t dl = std::min(d.left, d.right), dr = std::max(d.left, d.right);
    int64_t dt = std::min(d.top, d.bottom), db = std::max(d.top, d.bottom);
    int64_t sl = std::min(s.left, s.right), sr = std::max(s.left, s.right);
    int64_t st = std::min(s.top, s.bottom), sb = std::max(s.top, s.bottom);
    auto map = [](int64_t i, int64_t count, int64_t extent, bool mirror) {
      uint64_t step = (uint64_t(extent) << 32) / uint64_t(count), acc = (step & 0xFFFFFFFF) / 2;
      int64_t j = mirror ? count - 1 - i : i;
      return int64_t((acc + uint64_t(j) * step) >> 32);
    };
    bool anyDrawn = false;
    for (int32_t y = 0; y < dst->height; ++y)
      for (int32_t x = 0; x < dst->width; ++x) {
        uint32_t got = Get(*dst, x, y) & 0xFFFFFF;
        bool inClip =
            x >= dst->clip.left && x < dst->clip.right && y >= dst->clip.top && y < dst->clip.bottom;
        uint32_t want = 0;
        if (inClip && dr > dl && db > dt && sr > sl && sb > st && x >= dl && x < dr && y >= dt && y < db) {
          int64_t sx = sl + map(x - dl, dr - dl, sr - sl, mx), sy = st + map(y - dt, db - dt, sb - st, my);
          if (sx >= 0 && sx < src->width && sy >= 0 && sy < src->height)
            want = Get(*src, int32_t(sx), int32_t(sy)) & 0xFFFFFF;
        }
        anyDrawn |= want != 0;
        ASSERT_EQ(got, want) << "round " << round << " at " << x << "," << y << " d " << d.left << ","
                             << d.top << "," << d.right << "," << d.bottom << " s " << s.left << "," << s.top
                             << "," << s.right << "," << s.bottom;
      }
    ASSERT_EQ(result, anyDrawn ? 1 : 0) << "round " << round;
  }
}

// Hostile rectangles, scales and angles: nothing outside the clip changes,
// and whatever is drawn comes from inside the source rectangle and plane.
TEST_F(BlitGeometry, HostileRectanglesNeverWriteOutsideTheClip) {
  std::mt19937 rng(4242);
  Plane* src = Numbered(kSrc, 16, 12);
  Plane* mask = CreatePlane(kMask, 9, 14, 8);
  std::memset(mask->host, 255, mask->ImageBytes());  // opaque: mode 7 copies
  const int32_t extremes[] = {INT32_MIN, INT32_MIN + 1, -1000000000, -65536,        -40,      -1, 0, 1, 5, 11,
                              40,        65536,         1000000000,  INT32_MAX - 1, INT32_MAX};
  auto pick = [&]() -> int32_t {
    return rng() % 3 == 0 ? extremes[rng() % std::size(extremes)] : int32_t(rng() % 60) - 20;
  };
  for (int round = 0; round < 3000; ++round) {
    Plane* dst = CreatePlane(kDst, 24, 20, 32);
    dst->clip = Rect{3, 2, 19, 17};
    SetAttachment(kSrc, round % 2 ? kMask : -1);
    Rect d{pick(), pick(), pick(), pick()}, s{pick(), pick(), pick(), pick()};
    BlitParams p;
    p.mode = uint8_t(rng() % 2 ? 0 : 7);
    p.alpha = 255;
    int32_t angle = rng() % 3 == 0 ? 0 : int32_t(rng());
    if (round % 5 == 0)
      CopyPlane(kDst, pick(), pick(), kSrc, &s, p);
    else
      Blit(d, s, angle, p);
    int64_t sl = std::min<int64_t>(s.left, s.right), sr = std::max<int64_t>(s.left, s.right);
    int64_t st = std::min<int64_t>(s.top, s.bottom), sb = std::max<int64_t>(s.top, s.bottom);
    for (int32_t y = 0; y < dst->height; ++y)
      for (int32_t x = 0; x < dst->width; ++x) {
        uint32_t v = Get(*dst, x, y);
        if (v == 0) continue;
        ASSERT_TRUE(x >= 3 && x < 19 && y >= 2 && y < 17)
            << "round " << round << " wrote outside the clip at " << x << "," << y;
        if (round % 5 == 0) continue;
        int32_t sx = Xof(v), sy = Yof(v);
        ASSERT_TRUE(sx >= sl && sx < sr && sy >= st && sy < sb)
            << "round " << round << " drew " << sx << "," << sy << " from outside the source rectangle " << sl
            << "," << st << "," << sr << "," << sb << " angle " << angle << " d " << d.left << "," << d.top
            << "," << d.right << "," << d.bottom;
        ASSERT_TRUE(sx < src->width && sy < src->height);
        if (round % 2 && p.mode == 7) {
          ASSERT_TRUE(sx < 9 && sy < 12) << "round " << round << " read past the attached plane";
        }
      }
  }
}

TEST_F(BlitGeometry, OverlappingCopyWithinOnePlaneReadsBeforeWriting) {
  Plane* p = Numbered(kSrc, 12, 10);
  std::vector<uint32_t> before;
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 12; ++x) before.push_back(Get(*p, x, y));
  Rect area{0, 0, 8, 6};
  ASSERT_EQ(CopyPlane(kSrc, 2, 3, kSrc, &area, {}), 1);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(Get(*p, x + 2, y + 3), before[size_t(y * 12 + x)]);
  // Turning the whole plane over onto itself reads every pixel before writing any.
  std::vector<uint32_t> snapshot;
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 12; ++x) snapshot.push_back(Get(*p, x, y));
  Rect from{0, 0, 12, 10}, to{12, 10, 0, 0};
  ASSERT_EQ(BlitPlane(kSrc, &to, kSrc, &from, {}, 0), 1);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 12; ++x) ASSERT_EQ(Get(*p, x, y), snapshot[size_t((9 - y) * 12 + 11 - x)]);
}

TEST_F(BlitGeometry, EdgeCasesOfTheModes) {
  Plane* src = CreatePlane(kSrc, 8, 1, 32);
  Plane* dst = CreatePlane(kDst, 8, 1, 32);
  for (int32_t x = 0; x < 8; ++x) {
    Put(*src, x, 0, 0xF0A05000u + uint32_t(x) * 0x01000000u + uint32_t(x));
    Put(*dst, x, 0, 0x10203040u);
  }
  auto dstRow = [&] {
    std::vector<uint32_t> v;
    for (int32_t x = 0; x < 8; ++x) v.push_back(Get(*dst, x, 0));
    return v;
  };
  std::vector<uint32_t> start = dstRow();
  BlitParams p;
  p.mode = 3;
  p.alpha = 0;
  EXPECT_EQ(CopyPlane(kDst, 0, 0, kSrc, nullptr, p), 0);
  EXPECT_EQ(BlitPlane(kDst, nullptr, kSrc, nullptr, p, 0), 0);
  EXPECT_EQ(dstRow(), start) << "mode 3 with alpha 0 draws nothing";
  p.alpha = 255;
  EXPECT_EQ(CopyPlane(kDst, 0, 0, kSrc, nullptr, p), 1);
  for (int32_t x = 0; x < 8; ++x)
    EXPECT_EQ(Get(*dst, x, 0), Get(*src, x, 0)) << "mode 3 with alpha 255 copies";

  // Mode 11 with A 250 and P 10 copies the pixels whose alpha is 250 .. 255.
  for (int32_t x = 0; x < 8; ++x) Put(*src, x, 0, (uint32_t(246 + x) << 24) | 0x123456);
  for (int32_t x = 0; x < 8; ++x) Put(*dst, x, 0, 0x01654321);
  p = {};
  p.mode = 11;
  p.alpha = 250;
  p.second = 10;
  EXPECT_EQ(BlitPlane(kDst, nullptr, kSrc, nullptr, p, 0), 1);
  for (int32_t x = 0; x < 8; ++x)
    EXPECT_EQ(Get(*dst, x, 0) & 0xFFFFFF, 246 + x >= 250 ? 0x123456u : 0x654321u) << x;

  // Mode 22 with mask 5 copies red and blue and keeps green; mask 0 refuses.
  Put(*src, 0, 0, 0x00AABBCC);
  Put(*dst, 0, 0, 0x00112233);
  p = {};
  p.mode = 22;
  p.channelMask = 5;
  EXPECT_EQ(BlitPlane(kDst, nullptr, kSrc, nullptr, p, 0), 1);
  EXPECT_EQ(Get(*dst, 0, 0) & 0xFFFFFF, 0xAA22CCu);
  p.channelMask = 0;
  EXPECT_EQ(BlitPlane(kDst, nullptr, kSrc, nullptr, p, 0), 0);
  EXPECT_EQ(Get(*dst, 0, 0) & 0xFFFFFF, 0xAA22CCu);

  // Mode 9 from an 8-bit source: no loop, nothing drawn, result 1.
  CreatePlane(kSrc, 8, 1, 8);
  p = {};
  p.mode = 9;
  start = dstRow();
  EXPECT_EQ(BlitPlane(kDst, nullptr, kSrc, nullptr, p, 0), 1);
  EXPECT_EQ(CopyPlane(kDst, 0, 0, kSrc, nullptr, p), 1);
  EXPECT_EQ(BlitPlane(kDst, nullptr, kSrc, nullptr, p, 300), 1);
  EXPECT_EQ(dstRow(), start);
  p.mode = 25;
  EXPECT_EQ(BlitPlane(kDst, nullptr, kSrc, nullptr, p, 0), 0) << "a mode above 24 refuses";
}

TEST_F(BlitGeometry, UnscaledCopyMakesOpaquePixelsWhereTheLoopsKeepAlpha) {
  Plane* src = CreatePlane(kSrc, 4, 1, 24);
  Plane* dst = CreatePlane(kDst, 4, 1, 32);
  Put(*src, 1, 0, 0x123456);
  Put(*dst, 1, 0, 0x40000000);
  ASSERT_EQ(CopyPlane(kDst, 0, 0, kSrc, nullptr, {}), 1);
  EXPECT_EQ(Get(*dst, 1, 0), 0xFF123456u);
  Put(*dst, 1, 0, 0x40000000);
  ASSERT_EQ(BlitPlane(kDst, nullptr, kSrc, nullptr, {}, 0), 1);
  EXPECT_EQ(Get(*dst, 1, 0), 0x40123456u);
}

TEST_F(BlitGeometry, AttachedPlanesGiveTheSourceAlpha) {
  Plane* src = CreatePlane(kSrc, 4, 1, 24);
  Plane* dst = CreatePlane(kDst, 4, 1, 24);
  for (int32_t depth : {8, 32}) {
    Plane* mask = CreatePlane(kMask, 4, 1, depth);
    SetAttachment(kSrc, kMask);
    const uint32_t alphas[4] = {0, 255, 128, 0};
    for (int32_t x = 0; x < 4; ++x) {
      Put(*src, x, 0, 0xFFFFFF);
      Put(*dst, x, 0, 0);
      Put(*mask, x, 0, depth == 8 ? alphas[x] : (alphas[x] << 24) | 0x777777);
    }
    BlitParams p;
    p.mode = 7;
    p.alpha = 255;
    ASSERT_EQ(CopyPlane(kDst, 0, 0, kSrc, nullptr, p), 1);
    EXPECT_EQ(Get(*dst, 0, 0), 0u) << depth;
    EXPECT_EQ(Get(*dst, 1, 0), 0xFFFFFFu) << depth;
    EXPECT_EQ(Get(*dst, 2, 0), 0x808080u) << depth;
  }
}

TEST(BlitTables, EmptyEntriesAreTheUnprovidedCombinations) {
  for (int mode = 0; mode < 25; ++mode)
    for (int s : {8, 16, 24, 32})
      for (int d : {8, 16, 24, 32}) {
        bool alpha = mode == 7 || mode == 10 || mode == 11 || mode == 12;
        bool empty = (alpha && s == 8) || (mode == 8 && d == 8) || (mode == 9 && (s == 8 || d == 8)) ||
                     (mode == 24 && s != 8);
        EXPECT_EQ(FindLoop(kScaledLoops.data(), 0, mode, s, d) == nullptr, empty)
            << mode << " " << s << " " << d;
        EXPECT_EQ(FindLoop(kRotatedLoops.data(), 0, mode, s, d) == nullptr, empty)
            << mode << " " << s << " " << d;
        if (mode >= 7 && mode <= 12) {
          bool maskedEmpty = !alpha || empty;
          EXPECT_EQ(FindLoop(kScaledMaskedLoops.data(), 7, mode, s, d) == nullptr, maskedEmpty);
          EXPECT_EQ(FindLoop(kRotatedMaskedLoops.data(), 7, mode, s, d) == nullptr, maskedEmpty);
        }
      }
}

TEST(BlendTableValues, ScaleTableEnds) {
  ASSERT_TRUE(BuildBlendTables());
  const auto* t = BlendTables().scale;
  for (int v = 0; v < 256; ++v) {
    EXPECT_EQ(t[255][v], v);
    EXPECT_EQ(t[0][v], 0);
  }
  EXPECT_EQ(t[128][255], 128);
}

class BlitNatives : public BlitGeometry {
 protected:
  test::ScriptMemory m;
};

TEST_F(BlitNatives, RecordsAndRectanglesComeFromScriptMemory) {
  Numbered(kSrc, 6, 6);
  Plane* dst = CreatePlane(kDst, 6, 6, 32);
  Addr rect = m.Args({1, 1, 3, 3});
  // A zero record address is mode 0.
  EXPECT_EQ(Native_gcopy(m.Args({kDst, 0, 0, kSrc, int32_t(rect), 0})), 1);
  EXPECT_EQ(Get(*dst, 0, 0) & 0xFFFF, 0x101u);
  // The record: mode 3, alpha 0 refuses.
  Addr record = m.Buffer(12);
  uint8_t bytes[12] = {3, 0, 0, 0};
  std::memcpy(m.Host(record), bytes, 12);
  EXPECT_EQ(Native_gcopy(m.Args({kDst, 0, 0, kSrc, 0, int32_t(record)})), 0);
  // A record or rectangle that is not in live memory refuses.
  Addr dead = m.Tail(4);
  EXPECT_EQ(Native_gcopy(m.Args({kDst, 0, 0, kSrc, 0, int32_t(dead)})), 0);
  EXPECT_EQ(Native_gblit(m.Args({kDst, int32_t(dead), kSrc, 0, 0, 0})), 0);
  EXPECT_EQ(Native_gblit(m.Args({kDst, 0, kSrc, 0x7FFFFFF0, 0, 0})), 0);
  // gblit with whole planes and a half turn.
  EXPECT_EQ(Native_gblit(m.Args({kDst, 0, kSrc, 0, 0, 1024})), 1);
  EXPECT_EQ(Get(*dst, 0, 0) & 0xFFFF, 0x505u);
  // Missing planes, slots out of range and 1- or 4-bit planes refuse.
  EXPECT_EQ(Native_gblit(m.Args({kDst, 0, 1023, 0, 0, 0})), 0);
  EXPECT_EQ(Native_gcopy(m.Args({5000, 0, 0, kSrc, 0, 0})), 0);
  CreatePlane(kMask, 6, 6, 4);
  EXPECT_EQ(Native_gcopy(m.Args({kDst, 0, 0, kMask, 0, 0})), 0);
  EXPECT_EQ(Native_gblit(m.Args({kMask, 0, kSrc, 0, 0, 0})), 0);
  // An empty rectangle refuses.
  Addr empty = m.Args({2, 2, 2, 5});
  EXPECT_EQ(Native_gblit(m.Args({kDst, int32_t(empty), kSrc, 0, 0, 0})), 0);
  EXPECT_EQ(Native_gcopy(m.Args({kDst, 0, 0, kSrc, int32_t(empty), 0})), 0);
}

}  // namespace
}  // namespace qavz
