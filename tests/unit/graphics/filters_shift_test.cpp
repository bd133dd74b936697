// scroll, noise, slice and fire against small models of their arithmetic.
#include <algorithm>
#include <climits>

#include "graphics/crt_random.h"
#include "tests/unit/graphics/filter_test_support.h"

namespace qavz::test {
namespace {

class ShiftFilters : public PlaneTest, public testing::WithParamInterface<int32_t> {};

INSTANTIATE_TEST_SUITE_P(Depths, ShiftFilters, testing::Values(8, 16, 24, 32));

TEST_P(ShiftFilters, ScrollWrapsTheRectangleAndLeavesTheRest) {
  const Rect r{3, 2, 13, 9};  // 10 x 7
  struct Shift {
    int32_t dx, dy;
  };
  for (Shift s :
       {Shift{0, 0}, Shift{3, 2}, Shift{10, 7}, Shift{-1, -1}, Shift{INT_MIN, INT_MAX}, Shift{23, -15}}) {
    Plane* p = NoisyPlane(1, 16, 12, GetParam());
    Picture before = Pixels(p);
    ASSERT_EQ(calls_.Call(Native_scroll, {1, calls_.Words({r.left, r.top, r.right, r.bottom}), s.dx, s.dy}),
              1);
    int64_t w = r.right - r.left, h = r.bottom - r.top;
    int64_t dx = ((s.dx % w) + w) % w, dy = ((s.dy % h) + h) % h;
    Picture expected = before;
    for (int32_t y = r.top; y < r.bottom; ++y)
      for (int32_t x = r.left; x < r.right; ++x)
        expected[y][x] = before[r.top + (y - r.top + dy) % h][r.left + (x - r.left + dx) % w];
    EXPECT_EQ(Pixels(p), expected) << "dx " << s.dx << " dy " << s.dy;
  }
}

TEST_F(PlaneTest, ScrollByTheWidthChangesNothingAndMinusOneIsWidthLessOne) {
  Plane* p = NoisyPlane(1, 20, 6, 24);
  Picture before = Pixels(p);
  EXPECT_EQ(calls_.Call(Native_scroll, {1, 0, 20, 6}), 1);
  EXPECT_EQ(Pixels(p), before);
  calls_.Call(Native_scroll, {1, 0, -1, 0});
  Picture minusOne = Pixels(p);
  NoisyPlane(1, 20, 6, 24);
  calls_.Call(Native_scroll, {1, 0, 19, 0});
  EXPECT_EQ(Pixels(PlaneAt(1)), minusOne);
}

TEST_P(ShiftFilters, NoiseFollowsTheRowCounters) {
  for (int32_t amount : {1, 40, 255, 300, INT_MAX}) {
    Plane* p = NoisyPlane(1, 24, 5, GetParam());
    Picture before = Pixels(p);
    CrtSrand(77);
    ASSERT_EQ(calls_.Call(Native_noise, {1, 0, amount}), 1);
    Picture expected = before;
    CrtSrand(77);
    int32_t e = std::max(0, 255 - std::min(amount, 256));
    for (auto& row : expected) {
      uint32_t m = uint32_t(CrtRand()), s = uint32_t(CrtRand());
      bool is16 = GetParam() == 16;
      uint32_t modulo = is16 ? 32 : 256, limit = is16 ? uint32_t(e) / 8 : uint32_t(e);
      m %= modulo;
      s %= modulo;
      for (uint32_t& v : row) {
        if (GetParam() != 8 && m > limit) {
          uint32_t add = m - limit, out = v & (is16 ? 0x8000u : 0xFF000000u);
          int bits = is16 ? 5 : 8;
          for (int c = 0; c < 3; ++c) {
            uint32_t field = (v >> (c * bits)) & (modulo - 1);
            out |= std::min(field + add, modulo - 1) << (c * bits);
          }
          v = out;
        }
        m = (m + s) % modulo;
      }
    }
    EXPECT_EQ(Pixels(p), expected) << "amount " << amount;
  }
}

TEST_F(PlaneTest, NoiseOfZeroOrLessChangesNothingAndFullAmountBrightensNearlyAll) {
  Plane* p = CreatePlane(1, 64, 64, 32);
  Picture black = Pixels(p);
  EXPECT_EQ(calls_.Call(Native_noise, {1, 0, 0}), 1);
  EXPECT_EQ(calls_.Call(Native_noise, {1, 0, -5}), 1);
  EXPECT_EQ(Pixels(p), black);
  EXPECT_EQ(calls_.Call(Native_noise, {1, 0, 255}), 1);
  int lit = 0;
  for (auto& row : Pixels(p))
    for (uint32_t v : row) lit += (v & 0xFFFFFF) != 0;
  EXPECT_GT(lit, 64 * 64 * 9 / 10);
}

TEST_P(ShiftFilters, SliceShiftsRowsAndClearsWhatTheyLeave) {
  for (int32_t amount : {1, 100, 256, 1000}) {
    Plane* p = NoisyPlane(1, 30, 8, GetParam());
    Picture before = Pixels(p);
    CrtSrand(5);
    ASSERT_EQ(calls_.Call(Native_slice, {1, calls_.Words({2, 1, 22, 7}), amount}), 1);
    Picture expected = before;
    int32_t k = std::min(amount, 256) * 20 >> 8;
    CrtSrand(5);
    for (int32_t y = 1; y < 7 && k > 0; ++y) {
      int32_t d = CrtRand() % (2 * k) - k;
      for (int32_t x = 0; x < 20; ++x) {
        int32_t from = x - d;
        expected[y][2 + x] = from >= 0 && from < 20 ? before[y][2 + from] : 0;
      }
    }
    EXPECT_EQ(Pixels(p), expected) << "amount " << amount;
  }
}

TEST_P(ShiftFilters, FireCopiesEachRowWeakenedIntoTheRowAbove) {
  Plane* p = NoisyPlane(1, 12, 9, GetParam());
  Picture model = Pixels(p);
  CrtSrand(9);
  ASSERT_EQ(calls_.Call(Native_fire, {1, calls_.Words({1, 2, 11, 8})}), 1);
  CrtSrand(9);
  auto weaken = [&](uint32_t v) {
    switch (GetParam()) {
      case 8:
        return v > 2 ? v - 2 : 0;
      case 16: {
        uint32_t out = v & 0x8000u;
        for (int c = 0; c < 3; ++c) out |= std::max<int32_t>(int32_t((v >> (5 * c)) & 31) - 1, 0) << (5 * c);
        return out;
      }
      default: {
        uint32_t out = 0;
        for (int c = 0; c < GetParam() / 8; ++c)
          out |= std::max<int32_t>(int32_t((v >> (8 * c)) & 255) - 1, 0) << (8 * c);
        return out;
      }
    }
  };
  for (int32_t y = 3; y < 8; ++y)
    for (int32_t x = 1; x < 11; ++x)
      model[y - 1][std::clamp(x + CrtRand() % 3 - 1, 1, 10)] = weaken(model[y][x]);
  EXPECT_EQ(Pixels(p), model);
}

TEST_F(PlaneTest, FireNeedsTwoRows) {
  NoisyPlane(1, 12, 9, 8);
  EXPECT_EQ(calls_.Call(Native_fire, {1, calls_.Words({0, 3, 12, 4})}), 0);
  PlaneAt(1)->clip = Rect{0, 0, 12, 1};
  EXPECT_EQ(calls_.Call(Native_fire, {1, 0}), 0);
}

}  // namespace
}  // namespace qavz::test
