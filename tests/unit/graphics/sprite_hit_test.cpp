// Hit areas: edges, query order, areas carried by sprites, and refusals.
#include <gtest/gtest.h>

#include "tests/unit/graphics/sprite_test_support.h"

namespace qavz {
namespace {

using test::kRed;
using test::SpriteTest;

class HitAreas : public SpriteTest {
 protected:
  void SetUp() override {
    SpriteTest::SetUp();
    Image(5, 8, 6, kRed);
  }
  Addr Area(int32_t group, uint32_t mask, Addr sprite, int32_t l, int32_t t, int32_t r, int32_t b,
            int32_t user = 0) {
    return Addr(Call(Native_hit_set, {group, int32_t(mask), At(sprite), At(RectArgs(l, t, r, b)), user}));
  }
  Addr Point(int32_t x, int32_t y, uint32_t mask = ~0u) {
    return Addr(Call(Native_hit_point, {x, y, int32_t(mask)}));
  }
  Addr RectQuery(int32_t l, int32_t t, int32_t r, int32_t b, uint32_t mask = ~0u) {
    return Addr(Call(Native_hit_rect, {At(RectArgs(l, t, r, b)), int32_t(mask)}));
  }
  Addr Check(Addr area) { return Addr(Call(Native_hit_check, {At(area)})); }
};

struct PointCase {
  int32_t x, y;
  bool hits;
};

class HitPointEdges : public HitAreas, public ::testing::WithParamInterface<PointCase> {};

// Left and top edges belong to the area, right and bottom do not.
TEST_P(HitPointEdges, HalfOpen) {
  Addr a = Area(3, 1, 0, 10, 20, 30, 40);
  PointCase c = GetParam();
  EXPECT_EQ(Point(c.x, c.y), c.hits ? a : 0u);
}

INSTANTIATE_TEST_SUITE_P(Edges, HitPointEdges,
                         ::testing::Values(PointCase{10, 20, true}, PointCase{29, 39, true},
                                           PointCase{30, 25, false}, PointCase{15, 40, false},
                                           PointCase{9, 25, false}, PointCase{15, 19, false}));

TEST_F(HitAreas, RectanglesThatOnlyTouchDoNotOverlap) {
  Addr a = Area(0, 1, 0, 10, 10, 20, 20);
  EXPECT_EQ(RectQuery(20, 10, 30, 20), 0u);
  EXPECT_EQ(RectQuery(0, 0, 10, 10), 0u);
  EXPECT_EQ(RectQuery(19, 19, 30, 30), a);
  EXPECT_EQ(RectQuery(0, 0, 11, 11), a);
  EXPECT_EQ(Call(Native_hit_rect, {0, -1}), 0);
}

TEST_F(HitAreas, QueriesTakeGroupZeroFirstAndListOrder) {
  Addr late = Area(5, 1, 0, 0, 0, 50, 50);
  Addr first = Area(2, 1, 0, 0, 0, 50, 50);
  Addr second = Area(2, 1, 0, 0, 0, 50, 50);
  EXPECT_EQ(Point(5, 5), first);
  EXPECT_EQ(Point(5, 5, 1u << 5), late);
  EXPECT_EQ(Point(5, 5, 1u << 7), 0u);
  Call(Native_hit_reset, {At(first)});
  EXPECT_EQ(Point(5, 5), second);
  // hit_check looks in the groups of the area's own mask and skips itself.
  Addr probe = Area(2, (1u << 2) | (1u << 5), 0, 10, 10, 11, 11);
  EXPECT_EQ(Check(probe), second);
  Hit(second).mask = 0;  // takes part in no query any more
  EXPECT_EQ(Check(probe), late);
  EXPECT_EQ(Point(5, 5, 1u << 2), 0u);
  Hit(probe).mask = 0;
  EXPECT_EQ(Check(probe), 0u);
  EXPECT_EQ(Check(0), 0u);
}

// Sprites carry their areas by position less hot spot, through their
// ancestors; scale, angle and layer origin do not apply.
TEST_F(HitAreas, AreasMoveWithTheirSprites) {
  Addr parent = Set(0, 100, 50, 5);
  Addr child = Set(1, 10, 5, 5);
  Call(Native_sp_link, {At(parent), At(child)});
  Rec(parent).hotX = 4;
  Rec(parent).hotY = 3;
  Rec(parent).scaleX = 0x30000;
  Rec(parent).angle = 300;
  Call(Native_sp_org, {-1, 40, 40});
  Addr own = Addr(Call(Native_hit_set, {0, 1, At(parent), 0, 0}));  // (0, 0, 8, 6)
  Addr carried = Area(1, 1, child, 0, 0, 2, 2);
  EXPECT_EQ(Point(96, 47), own);
  EXPECT_EQ(Point(103, 52), own);
  EXPECT_EQ(Point(104, 52), 0u);
  EXPECT_EQ(Point(106, 52), carried);  // 100 - 4 + 10, 50 - 3 + 5
  EXPECT_EQ(Point(107, 53), carried);
  EXPECT_EQ(Point(108, 52), 0u);
  Rec(parent).shift = 2;  // 100 >> 2, 50 >> 2
  EXPECT_EQ(Point(21, 9), own);
  EXPECT_EQ(Point(31, 14), carried);
  // An owner that is not an image sprite hides its areas; a removed owner
  // lets them go as absolute rectangles.
  Rec(parent).shift = 0;
  Rec(parent).kind = 3;
  EXPECT_EQ(Point(96, 47), 0u);
  Rec(parent).kind = 2;
  Call(Native_sp_reset, {At(parent)});
  EXPECT_EQ(Hit(own).owner, 0u);
  EXPECT_EQ(Point(1, 1), own);
  EXPECT_EQ(Point(1, 1, 2), carried);
}

TEST_F(HitAreas, Refusals) {
  Addr s = Set(0, 0, 0, 5);
  EXPECT_EQ(Call(Native_hit_set, {32, 1, 0, 0, 0}), 0);
  EXPECT_EQ(Call(Native_hit_set, {-1, 1, 0, 0, 0}), 0);
  EXPECT_EQ(Call(Native_hit_set, {0, 1, At(s) + 1, 0, 0}), 0);
  EXPECT_EQ(Call(Native_hit_set, {0, 1, At(Set(40, 0, 0, 5)), 0, 0}), 0);  // the spare
  Addr none = Addr(Call(Native_hit_set, {0, 1, 0, 0, 0}));
  EXPECT_NE(none, 0u);
  EXPECT_EQ(Hit(none).rect, (Rect{0, 0, 0, 0}));
  EXPECT_EQ(Call(Native_hit_reset, {0}), 0);
  EXPECT_EQ(Call(Native_hit_reset, {At(none) + 4}), 0);
  EXPECT_EQ(Call(Native_hit_reset, {At(none)}), 1);
  EXPECT_EQ(Call(Native_hit_reset, {At(none)}), 0);  // already free
  for (int i = 0; i < kHitRecords; ++i) ASSERT_NE(Area(i % 32, 1, 0, 0, 0, 1, 1), 0u) << i;
  EXPECT_EQ(Area(0, 1, 0, 0, 0, 1, 1), 0u);
  EXPECT_EQ(Call(Native_hit_init, {0x1}), 1);  // frees group 0's 32 areas
  for (int i = 0; i < 32; ++i) EXPECT_NE(Area(7, 1, 0, 0, 0, 1, 1), 0u) << i;
  EXPECT_EQ(Area(7, 1, 0, 0, 0, 1, 1), 0u);
  EXPECT_EQ(Point(0, 0, 1), 0u);
  EXPECT_NE(Point(0, 0, 2), 0u);
}

}  // namespace
}  // namespace qavz
