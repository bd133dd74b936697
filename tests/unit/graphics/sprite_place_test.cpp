// Placement of root and child sprites: hot spots, scales, angles, position
// shifts and layer origins, read back through sp_rect and the records.
#include <gtest/gtest.h>

#include "tests/unit/graphics/sprite_test_support.h"

namespace qavz {
namespace {

using test::SpriteTest;

class SpritePlacement : public SpriteTest {};

TEST_F(SpritePlacement, RootHotSpotAndScale) {
  Image(5, 16, 8, test::kRed);
  Addr s = Set(0, 40, 30, 5);
  EXPECT_EQ(Placed(s), (Rect{40, 30, 56, 38}));  // hot spot (0, 0): the corner at the position
  Rec(s).hotX = 8;
  Rec(s).hotY = 4;
  EXPECT_EQ(Placed(s), (Rect{32, 26, 48, 34}));
  // Scale 2 about a centred hot spot: twice the size, centred on the position.
  Rec(s).scaleX = Rec(s).scaleY = 0x20000;
  EXPECT_EQ(Placed(s), (Rect{24, 22, 56, 38}));
  // Scale 2 with the hot spot at the corner keeps the corner in place.
  Rec(s).hotX = Rec(s).hotY = 0;
  EXPECT_EQ(Placed(s), (Rect{40, 30, 72, 46}));
  Rec(s).scaleX = 0x8000;
  EXPECT_EQ(Placed(s), (Rect{40, 30, 48, 46}));
}

TEST_F(SpritePlacement, OddSizesKeepTheirHalfPixel) {
  Image(5, 5, 3, test::kRed);
  Addr s = Set(0, 10, 10, 5);
  EXPECT_EQ(Placed(s), (Rect{10, 10, 15, 13}));
  Rec(s).scaleX = Rec(s).scaleY = 0x20000;
  EXPECT_EQ(Placed(s), (Rect{10, 10, 20, 16}));
  Rec(s).scaleX = Rec(s).scaleY = 0x30000;
  EXPECT_EQ(Placed(s), (Rect{10, 10, 25, 19}));
}

TEST_F(SpritePlacement, PositionShiftAndLayerOrigin) {
  Image(5, 4, 4, test::kRed);
  Addr s = Set(2, 40 << 4, 24 << 4, 5);
  Rec(s).shift = 4;
  EXPECT_EQ(Placed(s), (Rect{40, 24, 44, 28}));
  Rec(s).x = (40 << 4) + 15;  // fraction bits dropped
  EXPECT_EQ(Placed(s), (Rect{40, 24, 44, 28}));
  Rec(s).x = -(3 << 4) - 1;  // arithmetic shift: rounds down
  EXPECT_EQ(Placed(s).left, -4);
  Rec(s).x = 40 << 4;
  Call(Native_sp_org, {0x4, 10, -5});
  EXPECT_EQ(Placed(s), (Rect{30, 29, 34, 33}));
  Call(Native_sp_org, {0x3, 100, 100});  // other layers
  EXPECT_EQ(Placed(s), (Rect{30, 29, 34, 33}));
}

struct RotationCase {
  int angle;
  int32_t w, h;        // source size
  int32_t boxW, boxH;  // bounding box after rotation
};

class SpriteRotation : public SpritePlacement, public ::testing::WithParamInterface<RotationCase> {};

// The bounding box of a rotated sprite: (|h sin| + |w cos| + 0x8000) >> 16
// wide, centred on the image centre; the box before rotation is unchanged.
TEST_P(SpriteRotation, BoundingBoxSizes) {
  RotationCase c = GetParam();
  Image(5, c.w, c.h, test::kRed);
  Addr s = Set(0, 48, 32, 5);
  Rec(s).hotX = c.w / 2;
  Rec(s).hotY = c.h / 2;
  Rec(s).angle = uint16_t(c.angle);
  Rect before = Placed(s);
  EXPECT_EQ(before.right - before.left, c.w);
  EXPECT_EQ(before.bottom - before.top, c.h);
  Draw();
  const Rect& box = Rec(s).box;
  EXPECT_EQ(box.right - box.left, c.boxW);
  EXPECT_EQ(box.bottom - box.top, c.boxH);
  EXPECT_EQ(box.left, 48 - c.boxW / 2);
  EXPECT_EQ(box.top, 32 - c.boxH / 2);
  EXPECT_EQ(Rec(s).scaledBox, before);
  EXPECT_EQ(Rec(s).effAngle, c.angle);
}

INSTANTIATE_TEST_SUITE_P(Angles, SpriteRotation,
                         ::testing::Values(RotationCase{0, 20, 10, 20, 10}, RotationCase{512, 20, 10, 10, 20},
                                           RotationCase{1024, 20, 10, 20, 10},
                                           RotationCase{1536, 20, 10, 10, 20},
                                           // 45 degrees: (10 + 20) * 0.7071 = 21.2
                                           RotationCase{256, 20, 10, 21, 21},
                                           // 30 degrees: 10 * 0.5 + 20 * 0.866 = 22.3; 10 * 0.866 + 20 * 0.5
                                           RotationCase{2048 / 12, 20, 10, 22, 19},
                                           RotationCase{2048, 20, 10, 20, 10}));

TEST_F(SpritePlacement, ChildrenArePlacedThroughTheirParent) {
  Image(5, 20, 10, test::kRed);
  Image(6, 4, 4, test::kBlue);
  Addr parent = Set(0, 40, 30, 5);
  Rec(parent).hotX = 10;  // the parent turns about its centre (40, 30)
  Rec(parent).hotY = 5;
  Addr child = Set(0, 20, 0, 6);  // the parent's top-right corner
  Rec(child).hotX = Rec(child).hotY = 2;
  ASSERT_EQ(Call(Native_sp_link, {At(parent), At(child)}), 1);
  EXPECT_EQ(Placed(child), (Rect{48, 23, 52, 27}));
  // The layer origin moves the root, and the child with it, once.
  Call(Native_sp_org, {1, 10, 0});
  EXPECT_EQ(Placed(child), (Rect{38, 23, 42, 27}));
  Call(Native_sp_org, {1, 0, 0});
  // Half a turn takes the corner's offset (10, -5) to (-10, 5).
  Rec(parent).angle = 1024;
  EXPECT_EQ(Placed(child), (Rect{28, 33, 32, 37}));
  // A quarter turn: (cos ox + sin oy, cos oy - sin ox) = (-5, -10).
  Rec(parent).angle = 512;
  EXPECT_EQ(Placed(child), (Rect{33, 18, 37, 22}));
  Rec(parent).angle = 0;
  // The parent's scale stretches the child's offset and the child itself.
  Rec(parent).scaleX = Rec(parent).scaleY = 0x20000;
  EXPECT_EQ(Placed(child), (Rect{56, 16, 64, 24}));
  Draw();
  EXPECT_EQ(Rec(child).effScaleX, 0x20000);
  Rec(child).scaleX = 0x8000;
  Rec(child).angle = 100;
  Rec(parent).angle = 2000;
  Rec(parent).flags |= 1;
  Draw();
  EXPECT_EQ(Rec(child).effScaleX, 0x10000);
  EXPECT_EQ(Rec(child).effScaleY, 0x20000);
  EXPECT_EQ(Rec(child).effAngle, 2100);  // the sum; turns take it modulo 2048
}

TEST_F(SpritePlacement, GrandchildrenAddEveryLevel) {
  Image(5, 10, 10, test::kRed);
  Addr a = Set(0, 10, 10, 5), b = Set(1, 10, 10, 5), c = Set(2, 4, 6, 5);
  Call(Native_sp_link, {At(a), At(b)});
  Call(Native_sp_link, {At(b), At(c)});
  EXPECT_EQ(Placed(b), (Rect{20, 20, 30, 30}));
  EXPECT_EQ(Placed(c), (Rect{24, 26, 34, 36}));
}

TEST_F(SpritePlacement, SpRectRefusals) {
  Image(5, 4, 4, test::kRed);
  Addr s = Set(0, 0, 0, 5);
  EXPECT_EQ(Call(Native_sp_rect, {0, At(RectArgs(0, 0, 0, 0))}), 0);
  EXPECT_EQ(Call(Native_sp_rect, {At(s), 0}), 0);
  EXPECT_EQ(Call(Native_sp_rect, {At(s) + 4, At(RectArgs(0, 0, 0, 0))}), 0);
  Rec(s).layer = 40;
  EXPECT_EQ(Call(Native_sp_rect, {At(s), At(RectArgs(0, 0, 0, 0))}), 0);
}

}  // namespace
}  // namespace qavz
