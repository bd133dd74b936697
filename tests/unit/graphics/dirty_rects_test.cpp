#include "graphics/dirty_rects.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/unit/graphics/plane_test_support.h"

namespace qavz {
namespace {

using test::GraphicsTest;

class DirtyRects : public GraphicsTest {
 protected:
  int32_t Set(int32_t l, int32_t t, int32_t r, int32_t b) {
    return Call(Native_drt_set, {At(memory_.Args({l, t, r, b}))});
  }
  int32_t Copy(int32_t dst, int32_t x, int32_t y, int32_t src, Addr rect = 0) {
    return Call(Native_drt_copy, {dst, x, y, src, At(rect)});
  }
};

TEST_F(DirtyRects, TheListHolds2048) {
  EXPECT_EQ(Call(Native_drt_init, {}), 1);
  for (int i = 0; i < kMaxDirtyRects; ++i) ASSERT_EQ(Set(i, 0, i + 1, 1), 1) << i;
  EXPECT_EQ(Set(0, 0, 1, 1), 0);
  EXPECT_EQ(Call(Native_drt_set, {0}), 0);
  EXPECT_EQ(Call(Native_drt_init, {}), 1);
  EXPECT_EQ(Set(0, 0, 1, 1), 1);
}

TEST_F(DirtyRects, SweepCoversTheUnionOnce) {
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    Rect area{int32_t(random() % 5), int32_t(random() % 5), 30 + int32_t(random() % 10),
              30 + int32_t(random() % 10)};
    std::vector<Rect> rects;
    int count[40][40] = {};
    bool wanted[40][40] = {};
    for (int i = 0, n = 1 + int(random() % 12); i < n; ++i) {
      int32_t l = area.left + int32_t(random() % 25), t = area.top + int32_t(random() % 25);
      Rect r{l, t, std::min(area.right, l + 1 + int32_t(random() % 15)),
             std::min(area.bottom, t + 1 + int32_t(random() % 15))};
      rects.push_back(r);
      for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x) wanted[y][x] = true;
    }
    int32_t lastRow = area.top;
    SweepDirtySpans(area, rects, [&](int32_t y, int32_t left, int32_t right) {
      EXPECT_GE(y, lastRow);
      lastRow = y;
      for (int32_t x = left; x < right; ++x) ++count[y][x];
    });
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) ASSERT_EQ(count[y][x], wanted[y][x] ? 1 : 0) << x << "," << y;
  }
}

TEST_F(DirtyRects, CopiesOnlyListedPixels) {
  Plane& src = MakePlane(2, 8, 8, 24);
  Plane& dst = MakePlane(3, 8, 8, 24);
  for (size_t i = 0; i < src.ImageBytes(); ++i) src.host[i] = uint8_t(i);
  Set(1, 1, 3, 3);
  Set(2, 2, 5, 4);  // overlaps the first
  Set(20, 20, 30, 30);
  EXPECT_EQ(Copy(3, 0, 0, 2), 1);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      bool listed = (x >= 1 && x < 3 && y >= 1 && y < 3) || (x >= 2 && x < 5 && y >= 2 && y < 4);
      EXPECT_EQ(std::memcmp(dst.Pixel(x, y), src.Pixel(x, y), 3) == 0, listed) << x << "," << y;
    }
}

TEST_F(DirtyRects, PlacesTheSourceRectangle) {
  Plane& src = MakePlane(2, 8, 8, 8);
  Plane& dst = MakePlane(3, 8, 8, 8);
  for (size_t i = 0; i < src.ImageBytes(); ++i) src.host[i] = uint8_t(i + 1);
  Set(0, 0, 8, 8);
  // Source (-2, 1, 3, 4) at (4, 4): its column -2 would land on 4, so source
  // column 0 lands on 6.
  EXPECT_EQ(Copy(3, 4, 4, 2, memory_.Args({-2, 1, 3, 4})), 1);
  EXPECT_EQ(dst.Pixel(6, 4)[0], src.Pixel(0, 1)[0]);
  EXPECT_EQ(dst.Pixel(7, 6)[0], src.Pixel(1, 3)[0]);
  EXPECT_EQ(dst.Pixel(5, 4)[0], 0);
  EXPECT_EQ(dst.Pixel(6, 7)[0], 0);
  EXPECT_EQ(Copy(3, 8, 0, 2), 0);                               // nothing inside
  EXPECT_EQ(Copy(3, 0, 0, 2, memory_.Args({9, 0, 12, 4})), 0);  // outside the source
}

TEST_F(DirtyRects, EightBitSourcesGoThroughTheirColourTable) {
  Plane& src = MakePlane(2, 4, 1, 8);
  src.colours[7] = 0x00AABBCC;
  src.Pixel(1, 0)[0] = 7;
  for (int32_t depth : {24, 32}) {
    Plane& dst = MakePlane(3, 4, 1, depth);
    std::memset(dst.host, 0x11, dst.ImageBytes());
    Set(1, 0, 2, 1);
    EXPECT_EQ(Copy(3, 0, 0, 2), 1);
    std::vector<uint8_t> expected = {0xCC, 0xBB, 0xAA};
    if (depth == 32) expected.push_back(0x11);  // alpha kept
    EXPECT_EQ(std::vector<uint8_t>(dst.Pixel(1, 0), dst.Pixel(1, 0) + depth / 8), expected);
    EXPECT_EQ(dst.Pixel(0, 0)[0], 0x11);
  }
}

TEST_F(DirtyRects, EmptyListsAndOtherDepthPairs) {
  MakePlane(2, 4, 4, 16);
  MakePlane(3, 4, 4, 24);
  MakePlane(4, 4, 4, 4);
  MakePlane(5, 4, 4, 4);
  EXPECT_EQ(Copy(3, 0, 0, 2), 1);  // empty list
  Set(0, 0, 4, 4);
  EXPECT_EQ(Copy(3, 0, 0, 2), 0);
  EXPECT_EQ(Copy(2, 0, 0, 3), 0);
  EXPECT_EQ(Copy(4, 0, 0, 5), 0);
  EXPECT_EQ(Copy(3, 0, 0, 9), 0);
  EXPECT_EQ(Copy(2, 0, 0, 2), 1);
}

}  // namespace
}  // namespace qavz
