// The effect slots: identities and wraps of the grid formats, the drawing
// against a per-pixel model, the water's damping, and states that scripts
// have overwritten.
#include "graphics/effects.h"

#include <climits>
#include <cmath>

#include "core/service_hooks.h"
#include "tests/unit/graphics/filter_test_support.h"

namespace qavz::test {
namespace {

class Effects : public PlaneTest {
 protected:
  void TearDown() override {
    FreeEffectStates();
    PlaneTest::TearDown();
  }
  // A 32-bit source whose pixels name their own position: x in the low
  // byte, y in the next.
  Plane* PositionPlane(int32_t slot, int32_t width, int32_t height) {
    Plane* p = CreatePlane(slot, width, height, 32);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) Set(p, x, y, uint32_t(x) | uint32_t(y) << 8 | 0xFF000000u);
    return p;
  }
  Addr Init(int32_t slot, int32_t dst, int32_t src) {
    return Addr(calls_.Call(Native_ef_init, {slot, dst, 0, src, 0}));
  }
  int32_t Field(Addr state, uint32_t offset) { return TheArena().Word(state + offset); }
  void SetField(Addr state, uint32_t offset, int32_t v) { TheArena().Write(state + offset, v); }
};

TEST_F(Effects, InitRecordsTheCutRectanglesAndRefusesBadSlotsPlanesAndDepths) {
  CreatePlane(1, 100, 60, 24);
  CreatePlane(2, 50, 40, 24);
  CreatePlane(3, 50, 40, 32);
  PlaneAt(1)->clip = Rect{4, 0, 100, 60};
  Addr state = Addr(
      calls_.Call(Native_ef_init, {0, 1, calls_.Words({0, 10, 90, 70}), 2, calls_.Words({-5, 5, 30, 60})}));
  ASSERT_NE(state, 0u);
  const int32_t expected[] = {1, 4, 10, 2, 0, 5, 30, 35, 10, 6, 3, kShortGrid};
  for (uint32_t i = 0; i < 12; ++i) EXPECT_EQ(Field(state, 4 * i), expected[i]) << "field " << i;
  EXPECT_EQ(calls_.Call(Native_ef_init, {8, 1, 0, 2, 0}), 0);
  EXPECT_EQ(calls_.Call(Native_ef_init, {-1, 1, 0, 2, 0}), 0);
  EXPECT_EQ(calls_.Call(Native_ef_init, {0, 1, 0, 3, 0}), 0);  // depths differ; the old state is gone
  EXPECT_EQ(calls_.Call(Native_ef_free, {0}), 0);
  EXPECT_EQ(calls_.Call(Native_ef_init, {1, 1, 0, 9, 0}), 0);
  EXPECT_EQ(calls_.Call(Native_ef_init, {1, 1, calls_.Words({0, 0, 7, 60}), 2, 0}), 0);  // no whole cell
  EXPECT_EQ(calls_.Call(Native_ef_rotate, {1, 0, 0, 0x10000, 0}), 0);
  EXPECT_EQ(calls_.Call(Native_ef_rotate, {9, 0, 0, 0x10000, 0}), 0);
}

TEST_F(Effects, RotateIdentityAndHalfTurn) {
  Plane* src = PositionPlane(1, 64, 64);
  Plane* dst = CreatePlane(2, 64, 64, 32);
  ASSERT_NE(Init(0, 2, 1), 0u);
  ASSERT_EQ(calls_.Call(Native_ef_rotate, {0, 32, 32, 0x10000, 0}), 1);
  EXPECT_EQ(Pixels(dst), Pixels(src));
  ASSERT_EQ(calls_.Call(Native_ef_rotate, {0, 32, 32, 0x10000, 1024}), 1);
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 64; ++x) ASSERT_EQ(Get(dst, x, y), Get(src, (64 - x) % 64, (64 - y) % 64));
  ASSERT_EQ(calls_.Call(Native_ef_rotate, {0, 32, 32, 0x10000, 2048}), 1);
  EXPECT_EQ(Pixels(dst), Pixels(src));
}

TEST_F(Effects, OnlyWholeCellsAreDrawn) {
  PositionPlane(1, 64, 64);
  Plane* dst = CreatePlane(2, 100, 100, 32);
  for (int32_t y = 0; y < 100; ++y)
    for (int32_t x = 0; x < 100; ++x) Set(dst, x, y, 0x00ABCDEF);
  Addr state = Init(0, 2, 1);
  EXPECT_EQ(Field(state, kEfColumns), 12);
  ASSERT_EQ(calls_.Call(Native_ef_raster, {0, 0, 0, 0}), 1);
  for (int32_t y = 0; y < 100; ++y)
    for (int32_t x = 0; x < 100; ++x)
      ASSERT_EQ(Get(dst, x, y) == 0x00ABCDEF, x >= 96 || y >= 96) << x << "," << y;
}

TEST_F(Effects, RasterWithoutAmplitudeCopiesAndRepeatsEveryWavelength) {
  Plane* src = PositionPlane(1, 128, 128);
  Plane* dst = CreatePlane(2, 128, 128, 32);
  ASSERT_NE(Init(0, 2, 1), 0u);
  ASSERT_EQ(calls_.Call(Native_ef_raster, {0, 17, 64, 0}), 1);
  EXPECT_EQ(Pixels(dst), Pixels(src));
  ASSERT_EQ(calls_.Call(Native_ef_raster, {0, 5, 64, 20}), 1);
  int shifted = 0;
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 128; ++x) {
      uint32_t a = Get(dst, x, y), b = Get(dst, x, y + 64);
      ASSERT_EQ(a & 0xFF, b & 0xFF) << x << "," << y;
      ASSERT_EQ(((a >> 8) & 0xFF) + 64, (b >> 8) & 0xFF);
      shifted += (a & 0xFF) != uint32_t(x);
    }
  EXPECT_GT(shifted, 0);
}

TEST_F(Effects, ASourceWrapsAroundItsWidth) {
  PositionPlane(1, 100, 100);
  Plane* dst = CreatePlane(2, 96, 96, 32);
  ASSERT_NE(Init(0, 2, 1), 0u);
  // Every row moved by amplitude 125 x sin(quarter turn): 1.25 widths.
  ASSERT_EQ(calls_.Call(Native_ef_raster, {0, 512 << 8, 0, 125}), 1);
  for (int32_t y = 0; y < 96; y += 8) EXPECT_EQ(Get(dst, 0, y) & 0xFF, 25u);
}

// The drawing, pixel by pixel: the cell's corner coordinates interpolated
// down its left and right edges, then across, each step an eighth of the
// difference; short coordinates give extent x ((c >> 8) & 2047) >> 11,
// long ones extent x (c >> 16) >> 16.
Picture DrawModel(const Plane* src, Addr state, const Picture& before) {
  auto word = [&](uint32_t offset) { return TheArena().Word(state + offset); };
  int32_t columns = word(kEfColumns), rows = word(kEfRows), grid = word(kEfGridOffset);
  int64_t w = word(kEfSourceWidth), h = word(kEfSourceHeight);
  bool isLong = word(kEfFormat) == kLongGrid;
  auto point = [&](int32_t j, int32_t i, int c) {
    return int64_t(word(uint32_t(grid) + 8 * uint32_t(i * (columns + 1) + j) + 4 * uint32_t(c)));
  };
  auto eighth = [](int64_t to, int64_t from) { return int64_t(int32_t(uint32_t(to - from)) >> 3); };
  Picture out = before;
  for (int32_t y = 0; y < rows * 8; ++y)
    for (int32_t x = 0; x < columns * 8; ++x) {
      int32_t j = x / 8, i = y / 8;
      int64_t c[2];
      for (int k = 0; k < 2; ++k) {
        int64_t left = point(j, i, k) + (y % 8) * eighth(point(j, i + 1, k), point(j, i, k));
        int64_t right = point(j + 1, i, k) + (y % 8) * eighth(point(j + 1, i + 1, k), point(j + 1, i, k));
        c[k] = uint32_t(left + (x % 8) * eighth(right, left));
      }
      int64_t sx = isLong ? w * (c[0] >> 16) >> 16 : w * ((c[0] >> 8) & 2047) >> 11;
      int64_t sy = isLong ? h * (c[1] >> 16) >> 16 : h * ((c[1] >> 8) & 2047) >> 11;
      out[word(kEfDestTop) + y][word(kEfDestLeft) + x] =
          Get(src, word(kEfSourceLeft) + int32_t(sx), word(kEfSourceTop) + int32_t(sy));
    }
  return out;
}

struct Call {
  NativeFunction handler;
  std::vector<int32_t> args;  // after the slot
};

class DrawingEffects : public Effects, public testing::WithParamInterface<Call> {};
INSTANTIATE_TEST_SUITE_P(Calls, DrawingEffects,
                         testing::Values(Call{Native_ef_rotate, {20, 11, 0x18000, 300}},
                                         Call{Native_ef_rotate, {-7, 90, 0x4000, 1900}},
                                         Call{Native_ef_tunnel, {400, 100}},
                                         Call{Native_ef_tunnel, {-90, 1500}},
                                         Call{Native_ef_land, {900, 200, 100}},
                                         Call{Native_ef_ball, {700, 60, 300}}, Call{Native_ef_whirl, {3}},
                                         Call{Native_ef_whirl, {-40}}, Call{Native_ef_raster, {3, 40, 30}},
                                         Call{Native_ef_raster, {-9, -24, -70}}));

TEST_P(DrawingEffects, DrawMatchesThePixelModel) {
  Plane* src = NoisyPlane(1, 70, 50, 24, 3);
  Plane* dst = NoisyPlane(2, 90, 75, 24, 4);
  Addr state = Addr(
      calls_.Call(Native_ef_init, {3, 2, calls_.Words({5, 3, 90, 75}), 1, calls_.Words({4, 2, 61, 45})}));
  ASSERT_NE(state, 0u);
  Picture before = Pixels(dst);
  std::vector<int32_t> words = {3};
  words.insert(words.end(), GetParam().args.begin(), GetParam().args.end());
  ScriptMemory memory;
  ASSERT_EQ(GetParam().handler(memory.Args(words)), 1);
  EXPECT_EQ(Pixels(dst), DrawModel(src, state, before));
}

TEST_F(Effects, GridPointsOfLandAndTunnelAtKnownPoints) {
  PositionPlane(1, 64, 64);
  CreatePlane(2, 64, 64, 32);
  Addr state = Init(0, 2, 1);
  int32_t grid = Field(state, kEfGridOffset);
  auto point = [&](int32_t j, int32_t i, int c) {
    return Field(state, uint32_t(grid + 8 * (i * 9 + j) + 4 * c));
  };
  // Land, flat and straight: (scale x dx / dy / 40, scale x 300 / dy / 40).
  ASSERT_EQ(calls_.Call(Native_ef_land, {0, 800, 0, 0}), 1);
  EXPECT_EQ(point(5, 6, 0), (10 * 2048 / 64) << 8);
  EXPECT_EQ(point(5, 6, 1), (375 * 2048 / 64) << 8);
  EXPECT_EQ(Field(state, kEfFormat), kShortGrid);
  // Tunnel, straight: depth 100 x 300 / 8 x 0.01 at 8 pixels right of centre.
  ASSERT_EQ(calls_.Call(Native_ef_tunnel, {0, 100, 0}), 1);
  EXPECT_EQ(point(5, 4, 0), 0);
  EXPECT_EQ(point(5, 4, 1), int32_t(uint32_t(37 * 65536 / 64) << 16));
  EXPECT_EQ(Field(state, kEfFormat), kLongGrid);
}

TEST_F(Effects, WaterRipplesSpreadAndKeepSevenEighths) {
  PositionPlane(1, 64, 64);
  CreatePlane(2, 64, 64, 32);
  Addr state = Init(0, 2, 1);
  const int32_t columns = 8, rows = 8, stride = columns + 3;
  auto field = [&](int which) { return Field(state, which ? kEfWaterOffset1 : kEfWaterOffset0); };
  auto height = [&](int which, int32_t j, int32_t i) {
    int16_t v = 0;
    TheArena().Read(Addr(int64_t(state) + field(which) + 2 * ((i + 1) * stride + j + 1)), v);
    return int32_t(v);
  };
  ASSERT_EQ(calls_.Call(Native_ef_blob, {0, 25, 25, 16, 1000}), 1);  // centre cell 4, radius 2 cells
  std::vector<std::vector<int32_t>> cur(rows + 3, std::vector<int32_t>(stride)), old = cur;
  for (int32_t i = 0; i <= rows; ++i)
    for (int32_t j = 0; j <= columns; ++j) {
      double d = std::hypot(j - 4, i - 4);
      if (d < 2) cur[i + 1][j + 1] = int32_t((2 - d) * 1000 / 2);
      ASSERT_EQ(height(0, j, i), cur[i + 1][j + 1]) << j << "," << i;
    }
  for (int step = 1; step <= 6; ++step) {
    ASSERT_EQ(calls_.Call(Native_ef_water, {0}), 1);
    for (int32_t i = 1; i <= rows + 1; ++i)
      for (int32_t j = 1; j <= columns + 1; ++j) {
        int32_t sum = cur[i - 1][j - 1] + cur[i - 1][j] + cur[i - 1][j + 1] + cur[i][j - 1] + cur[i][j + 1] +
                      cur[i + 1][j - 1] + cur[i + 1][j] + cur[i + 1][j + 1];
        int32_t v = (sum >> 2) - old[i][j];
        old[i][j] = int16_t(v - (v >> 3));
      }
    std::swap(cur, old);
    int which = Field(state, kEfWaterCurrent);
    EXPECT_EQ(which, step % 2);
    for (int32_t i = 0; i <= rows; ++i)
      for (int32_t j = 0; j <= columns; ++j) ASSERT_EQ(height(which, j, i), cur[i + 1][j + 1]) << step;
  }
  EXPECT_NE(cur[1][1], 0);  // the rings have reached the corner
}

TEST_F(Effects, BlobRadiusZeroChangesNothingAndExtremesStayInside) {
  PositionPlane(1, 64, 64);
  CreatePlane(2, 64, 64, 32);
  ASSERT_NE(Init(0, 2, 1), 0u);
  for (auto args : {std::vector<int32_t>{0, 30, 30, 0, 500},
                    {0, 30, 30, -40, 500},
                    {0, 30, 30, INT_MAX, INT_MAX},
                    {0, INT_MAX, INT_MIN, INT_MAX, INT_MIN},
                    {0, -1, -1, 24, 300},
                    {0, -1, 5, 1000, 300}}) {
    ScriptMemory memory;
    EXPECT_EQ(Native_ef_blob(memory.Args(args)), 1);
  }
  EXPECT_EQ(calls_.Call(Native_ef_water, {0}), 1);
}

// Every drawing effect with its parameters at the ends of their range.
TEST_F(Effects, ExtremeParametersDrawWithoutFault) {
  NoisyPlane(1, 80, 48, 16);
  CreatePlane(2, 72, 40, 16);
  ASSERT_NE(Init(7, 2, 1), 0u);
  for (int32_t v : {0, 1, -1, 200, 72, INT_MAX, INT_MIN}) {
    EXPECT_EQ(calls_.Call(Native_ef_rotate, {7, v, v, v, v}), 1);
    EXPECT_EQ(calls_.Call(Native_ef_tunnel, {7, v, v}), 1);
    EXPECT_EQ(calls_.Call(Native_ef_land, {7, v, v, v}), 1);
    EXPECT_EQ(calls_.Call(Native_ef_ball, {7, v, v, v}), 1);
    EXPECT_EQ(calls_.Call(Native_ef_whirl, {7, v}), 1);
    EXPECT_EQ(calls_.Call(Native_ef_raster, {7, v, v, v}), 1);
    EXPECT_EQ(calls_.Call(Native_ef_blob, {7, v, v, v, v}), 1);
    EXPECT_EQ(calls_.Call(Native_ef_water, {7}), 1);
  }
}

struct Overwrite {
  uint32_t offset;
  int32_t value;
  bool waterOnly;
};

class OverwrittenStates : public Effects, public testing::WithParamInterface<Overwrite> {};
INSTANTIATE_TEST_SUITE_P(
    Fields, OverwrittenStates,
    testing::Values(Overwrite{kEfColumns, 100000, false}, Overwrite{kEfColumns, 0, false},
                    Overwrite{kEfRows, 1 << 30, false}, Overwrite{kEfRows, -3, false},
                    Overwrite{kEfDestLeft, 9, false}, Overwrite{kEfDestTop, -8, false},
                    Overwrite{kEfDestPlane, 5000, false}, Overwrite{kEfDestPlane, 3, false},
                    Overwrite{kEfSourcePlane, -1, false}, Overwrite{kEfSourceWidth, 0, false},
                    Overwrite{kEfSourceWidth, INT_MAX, false}, Overwrite{kEfSourceLeft, 50, false},
                    Overwrite{kEfSourceTop, INT_MIN, false}, Overwrite{kEfGridOffset, 1 << 20, false},
                    Overwrite{kEfGridOffset, -64, false}, Overwrite{kEfGridOffset, 66, false},
                    Overwrite{kEfWaterOffset0, INT_MAX, true}, Overwrite{kEfWaterOffset1, -2, true},
                    Overwrite{kEfWaterOffset1, 1 << 16, true}));

TEST_P(OverwrittenStates, AreRefusedWithoutTouchingAnything) {
  NoisyPlane(1, 64, 64, 32, 1);
  Plane* dst = NoisyPlane(2, 64, 64, 32, 2);
  CreatePlane(3, 64, 64, 8);
  Addr state = Init(0, 2, 1);
  ASSERT_NE(state, 0u);
  SetField(state, GetParam().offset, GetParam().value);
  Picture before = Pixels(dst);
  int32_t drawn = GetParam().waterOnly ? 1 : 0;
  EXPECT_EQ(calls_.Call(Native_ef_rotate, {0, 3, 3, 0x10000, 10}), drawn);
  EXPECT_EQ(calls_.Call(Native_ef_raster, {0, 3, 30, 9}), drawn);
  EXPECT_EQ(calls_.Call(Native_ef_tunnel, {0, 30, 9}), drawn);
  EXPECT_EQ(calls_.Call(Native_ef_water, {0}), 0);
  EXPECT_EQ(calls_.Call(Native_ef_blob, {0, 10, 10, 20, 30}), 0);
  if (!drawn) {
    EXPECT_EQ(Pixels(dst), before);
  }
}

TEST_F(Effects, ScriptsMayMoveTheDestinationAndTheWaterMarkerWraps) {
  Plane* src = PositionPlane(1, 32, 32);
  Plane* dst = CreatePlane(2, 64, 64, 32);
  Addr state = Addr(calls_.Call(Native_ef_init, {0, 2, calls_.Words({0, 0, 32, 32}), 1, 0}));
  SetField(state, kEfDestLeft, 24);
  SetField(state, kEfDestTop, 32);
  ASSERT_EQ(calls_.Call(Native_ef_rotate, {0, 16, 16, 0x10000, 0}), 1);
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x) ASSERT_EQ(Get(dst, 24 + x, 32 + y), Get(src, x, y));
  EXPECT_EQ(Get(dst, 0, 0), 0u);
  SetField(state, kEfWaterCurrent, 7);
  EXPECT_EQ(calls_.Call(Native_ef_water, {0}), 1);
  EXPECT_EQ(Field(state, kEfWaterCurrent), 0);
}

TEST_F(Effects, FreeingEmptiesTheSlotsAndReturnsTheMemory) {
  CreatePlane(1, 64, 64, 32);
  CreatePlane(2, 64, 64, 32);
  uint64_t live = TheArena().LiveBytes();
  for (int32_t slot = 0; slot < kEffectSlots; ++slot) ASSERT_NE(Init(slot, 2, 1), 0u);
  EXPECT_GT(TheArena().LiveBytes(), live);
  EXPECT_EQ(calls_.Call(Native_ef_free, {2}), 1);
  EXPECT_EQ(calls_.Call(Native_ef_free, {2}), 0);
  EXPECT_EQ(calls_.Call(Native_ef_rotate, {2, 0, 0, 0x10000, 0}), 0);
  FreeEffectStates();
  EXPECT_EQ(TheArena().LiveBytes(), live);
  EXPECT_EQ(calls_.Call(Native_ef_free, {0}), 0);
}

}  // namespace
}  // namespace qavz::test
