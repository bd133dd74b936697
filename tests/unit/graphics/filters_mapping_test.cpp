// freemap, rotate, smooth and tiled: identities, mirrors, keys and the
// fixed-point stepping of their mappings.
#include <climits>

#include "tests/unit/graphics/filter_test_support.h"

namespace qavz::test {
namespace {

constexpr int32_t kNone = -1;

class MappingDepths : public PlaneTest, public testing::WithParamInterface<int32_t> {};
INSTANTIATE_TEST_SUITE_P(Depths, MappingDepths, testing::Values(8, 16, 24, 32));

TEST_P(MappingDepths, RotateByZeroAndFreemapOfTheWholePlaneCopy) {
  Plane* src = NoisyPlane(1, 17, 11, GetParam(), 1);
  NoisyPlane(2, 17, 11, GetParam(), 2);
  ASSERT_EQ(calls_.Call(Native_rotate, {2, 0, 1, 0, 0, kNone}), 1);
  EXPECT_EQ(Pixels(PlaneAt(2)), Pixels(src));
  NoisyPlane(2, 17, 11, GetParam(), 2);
  ASSERT_EQ(calls_.Call(Native_freemap, {2, 0, 1, 0, kNone}), 1);
  EXPECT_EQ(Pixels(PlaneAt(2)), Pixels(src));
}

TEST_P(MappingDepths, TiledWithUnitZoomRepeatsTheSource) {
  Plane* src = NoisyPlane(1, 16, 8, GetParam(), 1);
  Plane* dst = NoisyPlane(2, 40, 20, GetParam(), 2);
  ASSERT_EQ(calls_.Call(Native_tiled, {2, 0, 1, 0, 0, 0x10000}), 1);
  // Centres (20, 10) and (8, 4) meet.
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 40; ++x)
      ASSERT_EQ(Get(dst, x, y), Get(src, (x + 4) % 16, (y + 2) % 8)) << x << "," << y;
}

TEST_F(PlaneTest, TiledTurnsAndZooms) {
  Plane* src = NoisyPlane(1, 16, 16, 32, 1);
  Plane* dst = NoisyPlane(2, 32, 32, 32, 2);
  ASSERT_EQ(calls_.Call(Native_tiled, {2, 0, 1, 0, 1024, 0x10000}), 1);
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x)
      ASSERT_EQ(Get(dst, x, y), Get(src, ((8 - (x - 16)) % 16 + 16) % 16, ((8 - (y - 16)) % 16 + 16) % 16));
  ASSERT_EQ(calls_.Call(Native_tiled, {2, 0, 1, 0, 0, 0x20000}), 1);
  auto half = [](int32_t d) { return d >= 0 ? d / 2 : -((1 - d) / 2); };  // floor(d / 2)
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x)
      ASSERT_EQ(Get(dst, x, y), Get(src, (8 + half(x - 16) + 16) % 16, (8 + half(y - 16) + 16) % 16));
  EXPECT_EQ(calls_.Call(Native_tiled, {2, 0, 1, 0, 5, 0}), 1);  // zoom 0 counts as 1/65536
  EXPECT_EQ(calls_.Call(Native_tiled, {2, 0, 1, 0, INT_MIN, INT_MIN}), 1);
}

TEST_F(PlaneTest, FreemapMirrorsScalesAndSkipsTheKey) {
  Plane* src = NoisyPlane(1, 4, 3, 32, 1);
  Plane* dst = NoisyPlane(2, 8, 9, 32, 2);
  Picture before = Pixels(dst);
  Set(src, 1, 1, 0xAB123456);
  for (int32_t x = 0; x < 4; ++x)
    for (int32_t y = 0; y < 3; ++y)
      if ((x != 1 || y != 1) && (Get(src, x, y) & 0xFFFFFF) == 0x123456) Set(src, x, y, 0);
  // The source's top-left corner goes to the right: a horizontal mirror,
  // 4 columns over 8 and 3 rows over 9.
  int32_t quad = calls_.Words({7, 0, 7, 8, 0, 8, 0, 0});
  ASSERT_EQ(calls_.Call(Native_freemap, {2, quad, 1, 0, 0x123456}), 1);
  auto stepped = [](int32_t to, int32_t steps, int32_t k) { return (steps / 2 + k * to) / steps; };
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      int32_t sx = stepped(3, 7, 7 - x), sy = stepped(2, 8, y);
      uint32_t expected = (sx == 1 && sy == 1) ? before[y][x] : Get(src, sx, sy);
      ASSERT_EQ(Get(dst, x, y), expected) << x << "," << y;
    }
}

TEST_F(PlaneTest, FreemapSkipsWhatLiesOutsideTheDestinationAndRefusesHugeCorners) {
  NoisyPlane(1, 8, 8, 24);
  Plane* dst = NoisyPlane(2, 8, 8, 24, 2);
  int32_t far = calls_.Words({-500000, -300000, -500000, 400000, 600000, 400000, 600000, -300000});
  EXPECT_EQ(calls_.Call(Native_freemap, {2, far, 1, 0, kNone}), 1);
  Picture once = Pixels(dst);
  int32_t huge = calls_.Words({INT_MIN, 0, 0, INT_MAX, INT_MAX, INT_MAX, 5, 5});
  EXPECT_EQ(calls_.Call(Native_freemap, {2, huge, 1, 0, kNone}), 0);
  EXPECT_EQ(
      calls_.Call(Native_rotate, {2, calls_.Words({INT_MIN, INT_MIN, INT_MAX, INT_MAX}), 1, 0, 300, kNone}),
      0);
  EXPECT_EQ(Pixels(dst), once);
}

// Bilinear scaling with the 32.32 step of the scaled blit: the first
// position is half the step's fraction in.
uint32_t SmoothModel(const Plane* src, const Rect& from, int32_t dx, int32_t dy, int32_t dstW, int32_t dstH,
                     int channels) {
  auto axis = [](int32_t lo, int32_t extent, int32_t d, int32_t dExtent, int32_t& near, int32_t& next) {
    uint64_t step = (uint64_t(extent) << 32) / uint64_t(dExtent);
    uint64_t pos = (uint64_t(lo) << 32) + (step & 0xFFFFFFFFu) / 2 + uint64_t(d) * step;
    near = int32_t(pos >> 32);
    next = std::min(near + 1, lo + extent - 1);
    return uint32_t(pos >> 24) & 255;
  };
  int32_t x0, x1, y0, y1;
  uint32_t fx = axis(from.left, from.right - from.left, dx, dstW, x0, x1);
  uint32_t fy = axis(from.top, from.bottom - from.top, dy, dstH, y0, y1);
  uint32_t out = 0;
  for (int c = 0; c < channels; ++c) {
    auto ch = [&](int32_t x, int32_t y) { return (Get(src, x, y) >> (8 * c)) & 255; };
    uint32_t top = ch(x0, y0) * (256 - fx) + ch(x1, y0) * fx,
             bottom = ch(x0, y1) * (256 - fx) + ch(x1, y1) * fx;
    out |= ((top * (256 - fy) + bottom * fy) >> 16) << (8 * c);
  }
  return out;
}

TEST_F(PlaneTest, SmoothInterpolatesBetweenTheFourNeighbours) {
  Plane* src = NoisyPlane(1, 10, 10, 32, 1);
  Plane* dst = NoisyPlane(2, 30, 30, 32, 2);
  const Rect from{2, 3, 7, 7};
  ASSERT_EQ(
      calls_.Call(Native_smooth, {2, calls_.Words({1, 2, 14, 23}), 1, calls_.Words({2, 3, 7, 7}), kNone}), 1);
  for (int32_t y = 2; y < 23; ++y)
    for (int32_t x = 1; x < 14; ++x)
      ASSERT_EQ(Get(dst, x, y), SmoothModel(src, from, x - 1, y - 2, 13, 21, 4)) << x << "," << y;
}

TEST_F(PlaneTest, SmoothCopiesAtEqualSizesKeepsAlphaFrom24AndTreatsKeyAsTheDestination) {
  Plane* src = NoisyPlane(1, 12, 9, 24, 1);
  Plane* dst = NoisyPlane(2, 12, 9, 32, 2);
  Picture before = Pixels(dst);
  ASSERT_EQ(calls_.Call(Native_smooth, {2, 0, 1, 0, kNone}), 1);
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 12; ++x) ASSERT_EQ(Get(dst, x, y), (before[y][x] & 0xFF000000u) | Get(src, x, y));
  // A source entirely of the key colour leaves the destination as it was.
  Plane* flat = CreatePlane(3, 5, 5, 32);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 5; ++x) Set(flat, x, y, 0x77102030);
  dst = NoisyPlane(2, 12, 9, 32, 2);
  ASSERT_EQ(calls_.Call(Native_smooth, {2, 0, 3, 0, 0x102030}), 1);
  EXPECT_EQ(Pixels(dst), before);
  EXPECT_EQ(calls_.Call(Native_smooth, {2, 0, 4, 0, kNone}), 0);  // no source
  CreatePlane(5, 4, 4, 16);
  EXPECT_EQ(calls_.Call(Native_smooth, {2, 0, 5, 0, kNone}), 0);  // 16 into 32
}

}  // namespace
}  // namespace qavz::test
