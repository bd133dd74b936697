// monotone, gradation and mosaic against small models of their arithmetic.
#include "tests/unit/graphics/filter_test_support.h"

namespace qavz::test {
namespace {

// Channel c (8-bit lanes, or 5-bit fields for 16-bit planes) of a pixel.
uint32_t Channel(uint32_t v, int c, int32_t depth) {
  return depth == 16 ? (v >> (5 * c)) & 31 : (v >> (8 * c)) & 255;
}
uint32_t WithChannel(uint32_t v, int c, int32_t depth, uint32_t x) {
  int shift = depth == 16 ? 5 * c : 8 * c;
  uint32_t mask = depth == 16 ? 31u : 255u;
  return (v & ~(mask << shift)) | (x << shift);
}
int Channels(int32_t depth) { return depth == 8 ? 1 : depth == 32 ? 4 : 3; }

uint32_t Average(std::initializer_list<uint32_t> pixels, int32_t depth) {
  uint32_t out = 0;
  for (int c = 0; c < Channels(depth); ++c) {
    uint32_t sum = 0;
    for (uint32_t p : pixels) sum += Channel(p, c, depth);
    out = WithChannel(out, c, depth, sum / uint32_t(pixels.size()));
  }
  return out;
}

TEST_F(PlaneTest, MonotoneBlackToWhiteIsTheWeightedGrey) {
  Plane* p = NoisyPlane(1, 16, 16, 24);
  Picture before = Pixels(p);
  ASSERT_EQ(calls_.Call(Native_monotone, {1, 0, 0x000000, 0xFFFFFF}), 1);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) {
      uint32_t v = before[y][x], b = v & 255, g = (v >> 8) & 255, r = (v >> 16) & 255;
      uint32_t grey = (b * 7471 + r * 19595 + g * 38470) >> 16;
      ASSERT_EQ(Get(p, x, y), grey * 0x010101u) << x << "," << y;
    }
}

TEST_F(PlaneTest, MonotoneRampsEachChannelAndKeepsAlpha) {
  const uint32_t dark = 0x20F010, light = 0xE01080;
  for (int32_t depth : {16, 32}) {
    Plane* p = NoisyPlane(1, 16, 8, depth);
    Picture before = Pixels(p);
    ASSERT_EQ(calls_.Call(Native_monotone, {1, calls_.Words({2, 1, 14, 7}), int32_t(dark), int32_t(light)}),
              1);
    auto ramp = [&](int c, uint32_t i) {
      int32_t d = int32_t((dark >> (8 * c)) & 255), l = int32_t((light >> (8 * c)) & 255);
      return uint32_t(d + int32_t(i) * (l - d) / 255);
    };
    for (int32_t y = 0; y < 8; ++y)
      for (int32_t x = 0; x < 16; ++x) {
        uint32_t v = before[y][x], expected = v;
        if (x >= 2 && x < 14 && y >= 1 && y < 7) {
          if (depth == 16) {
            uint32_t i = (((v >> 5) & 31) * 316446 + ((v >> 10) & 31) * 161184 + (v & 31) * 61455) >> 16;
            expected = (ramp(2, i) >> 3) << 10 | (ramp(1, i) >> 3) << 5 | ramp(0, i) >> 3;
          } else {
            uint32_t i = ((v & 255) * 7471 + ((v >> 16) & 255) * 19595 + ((v >> 8) & 255) * 38470) >> 16;
            expected = (v & 0xFF000000u) | ramp(2, i) << 16 | ramp(1, i) << 8 | ramp(0, i);
          }
        }
        ASSERT_EQ(Get(p, x, y), expected) << depth << ": " << x << "," << y;
      }
  }
}

TEST_F(PlaneTest, MonotoneRefusesPalettePlanes) {
  NoisyPlane(1, 8, 8, 8);
  EXPECT_EQ(calls_.Call(Native_monotone, {1, 0, 0, 0xFFFFFF}), 0);
}

class AreaFilters : public PlaneTest, public testing::WithParamInterface<int32_t> {};
INSTANTIATE_TEST_SUITE_P(Depths, AreaFilters, testing::Values(8, 16, 24, 32));

TEST_P(AreaFilters, GradationAveragesTheFourNeighboursWithinTheSourceRectangle) {
  const int32_t depth = GetParam();
  Plane* src = NoisyPlane(1, 12, 10, depth, 3);
  Plane* dst = NoisyPlane(2, 12, 10, depth, 4);
  Picture in = Pixels(src), expected = Pixels(dst);
  const Rect r{2, 1, 9, 8};
  ASSERT_EQ(calls_.Call(Native_gradation, {2, 4, 3, 1, calls_.Words({r.left, r.top, r.right, r.bottom})}), 1);
  for (int32_t y = r.top; y < r.bottom; ++y)
    for (int32_t x = r.left; x < r.right; ++x) {
      uint32_t self = in[y][x];
      uint32_t up = y > r.top ? in[y - 1][x] : self, down = y + 1 < r.bottom ? in[y + 1][x] : self;
      uint32_t left = x > r.left ? in[y][x - 1] : self, right = x + 1 < r.right ? in[y][x + 1] : self;
      int32_t tx = 4 + x - r.left, ty = 3 + y - r.top;
      if (tx < 12 && ty < 10) expected[ty][tx] = Average({up, down, left, right}, depth);
    }
  EXPECT_EQ(Pixels(dst), expected);
}

TEST_P(AreaFilters, MosaicTwoByTwoOnFiveByFive) {
  const int32_t depth = GetParam();
  Plane* src = NoisyPlane(1, 8, 8, depth, 7);
  Plane* dst = NoisyPlane(2, 8, 8, depth, 8);
  Picture in = Pixels(src), expected = Pixels(dst);
  ASSERT_EQ(calls_.Call(Native_mosaic, {2, 3, 2, 1, calls_.Words({1, 1, 6, 6}), 2, 2}), 1);
  for (int32_t by = 1; by < 6; by += 2)
    for (int32_t bx = 1; bx < 6; bx += 2) {
      bool narrow = bx == 5, shorter = by == 5;
      int32_t bottom = shorter ? by : by + 1;
      uint32_t value = narrow
                           ? Average({in[by][bx], in[bottom][bx]}, depth)
                           : Average({in[by][bx], in[by][bx + 1], in[bottom][bx], in[bottom][bx + 1]}, depth);
      for (int32_t y = by; y < std::min(by + 2, 6); ++y)
        for (int32_t x = bx; x < std::min(bx + 2, 6); ++x) expected[y + 1][x + 2] = value;
    }
  EXPECT_EQ(Pixels(dst), expected);
}

TEST_F(PlaneTest, MosaicBlocksOfNoWidthWriteNothingAndHugeBlocksTakeTheCorner) {
  Plane* src = NoisyPlane(1, 9, 7, 32);
  Plane* dst = NoisyPlane(2, 9, 7, 32, 2);
  Picture before = Pixels(dst);
  EXPECT_EQ(calls_.Call(Native_mosaic, {2, 0, 0, 1, 0, 0, 2}), 1);
  EXPECT_EQ(calls_.Call(Native_mosaic, {2, 0, 0, 1, 0, -3, 2}), 1);
  EXPECT_EQ(Pixels(dst), before);
  ASSERT_EQ(calls_.Call(Native_mosaic, {2, 0, 0, 1, 0, INT32_MAX, INT32_MAX}), 1);
  for (auto& row : Pixels(dst))
    for (uint32_t v : row) ASSERT_EQ(v, Get(src, 0, 0));
}

TEST_F(PlaneTest, GradationOntoItsOwnPlaneReadsTheOriginal) {
  Plane* p = NoisyPlane(1, 10, 10, 24);
  Plane* copy = NoisyPlane(2, 10, 10, 24);
  Plane* out = NoisyPlane(3, 10, 10, 24);
  ASSERT_EQ(calls_.Call(Native_gradation, {3, 1, 1, 2, 0}), 1);
  ASSERT_EQ(calls_.Call(Native_gradation, {1, 1, 1, 1, 0}), 1);
  EXPECT_EQ(Pixels(p), Pixels(out));
  (void)copy;
}

}  // namespace
}  // namespace qavz::test
