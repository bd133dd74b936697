// blur against a direct model: every output pixel sums its window afresh.
#include <algorithm>
#include <climits>

#include "tests/unit/graphics/filter_test_support.h"

namespace qavz::test {
namespace {

// The box average of each byte of the area's pixels along rows (r > 0) or
// columns (r < 0), ends repeated.
Picture BlurModel(const Picture& in, const Rect& area, int32_t radius, int bytes) {
  int32_t r = std::clamp(radius, -127, 127), n = std::abs(r);
  uint32_t scale = 65536u / uint32_t(2 * n + 1);
  Picture out = in;
  for (int32_t y = area.top; y < area.bottom; ++y)
    for (int32_t x = area.left; x < area.right; ++x) {
      uint32_t value = 0;
      for (int c = 0; c < bytes; ++c) {
        uint32_t sum = 0;
        for (int32_t k = -n; k <= n; ++k) {
          int32_t sx = r > 0 ? std::clamp(x + k, area.left, area.right - 1) : x;
          int32_t sy = r < 0 ? std::clamp(y + k, area.top, area.bottom - 1) : y;
          sum += (in[sy][sx] >> (8 * c)) & 255;
        }
        value |= ((sum * scale + 0x8000) >> 16) << (8 * c);
      }
      out[y][x] = value;
    }
  return out;
}

struct BlurCase {
  int32_t depth, radius;
};
class BlurRadii : public PlaneTest, public testing::WithParamInterface<BlurCase> {};
INSTANTIATE_TEST_SUITE_P(Cases, BlurRadii,
                         testing::Values(BlurCase{8, 1}, BlurCase{8, -2}, BlurCase{24, 3}, BlurCase{24, -1},
                                         BlurCase{32, 1}, BlurCase{32, -7}, BlurCase{32, 200},
                                         BlurCase{24, -200}, BlurCase{32, INT_MAX}, BlurCase{8, INT_MIN}));

TEST_P(BlurRadii, MatchesTheWindowAverage) {
  const auto [depth, radius] = GetParam();
  Plane* src = NoisyPlane(1, 20, 14, depth, 11);
  Plane* dst = NoisyPlane(2, 20, 14, depth, 12);
  Picture in = Pixels(src);
  const Rect area{3, 2, 17, 12};
  ASSERT_EQ(calls_.Call(Native_blur, {2, area.left, area.top, 1, calls_.Words({3, 2, 17, 12}), radius}), 1);
  Picture expected = Pixels(dst), model = BlurModel(in, area, radius, depth / 8);
  for (int32_t y = area.top; y < area.bottom; ++y)
    for (int32_t x = area.left; x < area.right; ++x) expected[y][x] = model[y][x];
  EXPECT_EQ(Pixels(dst), expected);
}

TEST_F(PlaneTest, BlurOfOneBrightPixelSpreadsThirds) {
  Plane* src = CreatePlane(1, 9, 3, 24);
  CreatePlane(2, 9, 3, 24);
  Set(src, 4, 1, 0xFFFFFF);
  ASSERT_EQ(calls_.Call(Native_blur, {2, 0, 0, 1, 0, 1}), 1);
  std::vector<uint32_t> row = Pixels(PlaneAt(2))[1];
  EXPECT_EQ(row, (std::vector<uint32_t>{0, 0, 0, 0x555555, 0x555555, 0x555555, 0, 0, 0}));
}

TEST_F(PlaneTest, BlurRadiusZeroCopiesAndSixteenBitPlanesStayUnchanged) {
  NoisyPlane(1, 10, 6, 16, 1);
  Plane* dst = NoisyPlane(2, 10, 6, 16, 2);
  Picture before = Pixels(dst);
  EXPECT_EQ(calls_.Call(Native_blur, {2, 0, 0, 1, 0, 3}), 1);
  EXPECT_EQ(Pixels(dst), before);
  EXPECT_EQ(calls_.Call(Native_blur, {2, 0, 0, 1, 0, 0}), 1);
  EXPECT_EQ(Pixels(dst), Pixels(PlaneAt(1)));
}

TEST_F(PlaneTest, BlurOntoItsOwnPlaneReadsTheOriginal) {
  Plane* p = NoisyPlane(1, 16, 16, 32);
  Picture in = Pixels(p);
  ASSERT_EQ(calls_.Call(Native_blur, {1, 2, 3, 1, 0, 4}), 1);
  // The whole plane placed at (2, 3): its top-left 14 x 13 is the clipped
  // source area, and its ends are repeated at that area's edges.
  Picture blurred = BlurModel(in, Rect{0, 0, 14, 13}, 4, 4), expected = in;
  for (int32_t y = 0; y < 13; ++y)
    for (int32_t x = 0; x < 14; ++x) expected[y + 3][x + 2] = blurred[y][x];
  EXPECT_EQ(Pixels(p), expected);
}

}  // namespace
}  // namespace qavz::test
