// sp_draw: dirty rectangles, background restore, pending pieces and the
// returned area, checked against the page's pixels.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "graphics/dirty_rects.h"
#include "tests/unit/graphics/sprite_test_support.h"

namespace qavz {
namespace {

using test::BackgroundColour;
using test::kBlue;
using test::kGreen;
using test::kPageH;
using test::kPageW;
using test::kRed;
using test::SpriteTest;

class SpriteDraw : public SpriteTest {
 protected:
  void SetUp() override {
    SpriteTest::SetUp();
    Image(5, 8, 8, kRed);
    Image(6, 8, 8, kBlue);
    Image(7, 4, 4, kGreen);
    EXPECT_EQ(Call(Native_sp_setbg, {1}), 1);
  }
  // Page pixels of a colour inside the sprite's box.
  int CountIn(Addr s, uint32_t colour) { return Count(colour, Rec(s).box); }

  // Pixels that differ from the background with opaque boxes painted over
  // it, layer after layer in list order; a layer's sprites alternate between
  // two colours (their images 5 and 6, or one colour).
  struct Layer {
    const std::vector<Addr>* sprites;
    uint32_t colours[2];
  };
  int Mismatches(std::initializer_list<Layer> layers) {
    std::vector<uint32_t> expected(size_t(kPageW * kPageH));
    for (int32_t y = 0; y < kPageH; ++y)
      for (int32_t x = 0; x < kPageW; ++x) expected[size_t(y * kPageW + x)] = BackgroundColour(x, y);
    for (const Layer& layer : layers)
      for (size_t i = 0; i < layer.sprites->size(); ++i) {
        const Rect& b = Rec((*layer.sprites)[i]).box;
        for (int32_t y = std::max(b.top, 0); y < std::min(b.bottom, kPageH); ++y)
          for (int32_t x = std::max(b.left, 0); x < std::min(b.right, kPageW); ++x)
            expected[size_t(y * kPageW + x)] = layer.colours[i % 2];
      }
    int wrong = 0;
    for (int32_t y = 0; y < kPageH; ++y)
      for (int32_t x = 0; x < kPageW; ++x) wrong += PageAt(x, y) != expected[size_t(y * kPageW + x)];
    return wrong;
  }
};

TEST_F(SpriteDraw, AMoveByTenRestoresTheOldArea) {
  Addr s = Set(0, 10, 10, 5);
  EXPECT_EQ(Draw(), (Rect{0, 0, kPageW, kPageH}));  // the first draw shows the whole background
  EXPECT_EQ(Count(kRed), 64);
  Move(s, 20, 10);
  EXPECT_EQ(Draw(), (Rect{10, 10, 28, 18}));  // the union of both boxes
  EXPECT_EQ(Count(kRed, Rect{20, 10, 28, 18}), 64);
  EXPECT_TRUE(BackgroundOutside({Rect{20, 10, 28, 18}}));
  // Nothing changed: nothing is drawn and the area is empty.
  EXPECT_EQ(Draw(), (Rect{0, 0, 0, 0}));
  EXPECT_EQ(Count(kRed), 64);
}

TEST_F(SpriteDraw, TheReturnedAreaIsClippedToThePageClip) {
  Addr s = Set(0, 90, 60, 5);
  Draw();
  Move(s, 92, 62);
  EXPECT_EQ(Draw(), (Rect{90, 60, kPageW, kPageH}));
  PlaneAt(0)->clip = Rect{0, 0, 50, 40};
  Move(s, 45, 35);
  EXPECT_EQ(Draw(), (Rect{45, 35, 50, 40}));
  EXPECT_EQ(Count(kRed), 8 + 25);  // the old piece outside the clip stays
  EXPECT_EQ(Call(Native_sp_draw, {-1, 0}), 1);
}

TEST_F(SpriteDraw, LaterLayersAndLaterSpritesCoverEarlierOnes) {
  Addr top = Set(1, 14, 10, 6);
  Addr bottom = Set(0, 10, 10, 5);
  Addr last = Set(1, 16, 12, 7);
  Draw();
  EXPECT_EQ(CountIn(bottom, kRed), 32);
  EXPECT_EQ(CountIn(top, kBlue), 64 - 16);
  EXPECT_EQ(CountIn(last, kGreen), 16);
}

// A sprite that stays while a neighbour moves away is drawn again where the
// restore uncovered it, whichever layer it is in.
TEST_F(SpriteDraw, CoveredSpritesAreRedrawnInTheirPieces) {
  Addr below = Set(0, 10, 10, 5);
  Addr above = Set(1, 14, 14, 6);
  Addr other = Set(0, 12, 16, 7);
  Draw();
  Move(above, 40, 40);
  Draw();
  EXPECT_EQ(CountIn(below, kRed), 64 - 8);  // `other` covers 2 x 4 of it
  EXPECT_EQ(CountIn(other, kGreen), 16);
  EXPECT_EQ(Count(kBlue), 64);
  EXPECT_TRUE(BackgroundOutside({Rec(below).box, Rec(other).box, Rect{40, 40, 48, 48}}));
  // And the other way round: the lower sprite moves out from under the
  // upper one, which is redrawn over the restored background.
  Move(above, 14, 14);
  Draw();
  Move(below, 60, 10);
  Draw();
  EXPECT_EQ(CountIn(above, kBlue), 64);
  EXPECT_EQ(CountIn(other, kGreen), 16 - 8);
  EXPECT_EQ(Count(kRed), 64);
  EXPECT_EQ(Rec(above).flags & 0x4000, 0);
  EXPECT_EQ(Rec(above).flags & 0x8000, 0x8000);
}

// With source alpha the redraw of a piece must not blend twice: the pixels
// equal those of the first draw.
TEST_F(SpriteDraw, PiecesOverTheRestoredBackgroundBlendOnce) {
  Plane& glass = MakePlane(8, 8, 8, 32);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      uint32_t v = 0x80FFFFFFu;
      std::memcpy(glass.Pixel(x, y), &v, 4);
    }
  Addr params = memory_.Args({0x0000FF07, 0, 0});  // mode 7, alpha 255
  Addr pane = Set(1, 20, 20, 8, 0, params);
  Addr mover = Set(0, 22, 22, 7);
  Draw();
  std::vector<uint32_t> first;
  for (int32_t y = 20; y < 28; ++y)
    for (int32_t x = 20; x < 28; ++x) first.push_back(PageAt(x, y));
  for (int step = 0; step < 3; ++step) {
    Move(mover, 22 + (step % 2) * 40, 22);
    Draw();
  }
  Move(mover, 22, 22);
  Draw();
  std::vector<uint32_t> again;
  for (int32_t y = 20; y < 28; ++y)
    for (int32_t x = 20; x < 28; ++x) again.push_back(PageAt(x, y));
  EXPECT_EQ(again, first);
  EXPECT_NE(Rec(pane).flags & 0x8000, 0);
}

TEST_F(SpriteDraw, RemovedSpritesLeaveTheBackground) {
  Addr a = Set(0, 10, 10, 5);
  Addr b = Set(0, 30, 10, 6);
  Draw();
  Call(Native_sp_reset, {At(a)});
  EXPECT_EQ(Draw(), (Rect{10, 10, 18, 18}));
  EXPECT_EQ(Count(kRed), 0);
  EXPECT_EQ(Count(kBlue), 64);
  EXPECT_TRUE(BackgroundOutside({Rec(b).box}));
}

TEST_F(SpriteDraw, WithoutABackgroundNothingIsRestored) {
  Call(Native_sp_setbg, {1024});
  Addr s = Set(0, 10, 10, 5);
  EXPECT_EQ(Draw(), (Rect{0, 0, kPageW, kPageH}));  // the whole page
  Move(s, 20, 10);
  EXPECT_EQ(Draw(), (Rect{10, 10, 28, 18}));
  EXPECT_EQ(Count(kRed), 128);  // the old place keeps its pixels
}

TEST_F(SpriteDraw, OnlyTheMaskedLayersAreDrawn) {
  Addr a = Set(0, 10, 10, 5);
  Addr b = Set(3, 30, 10, 6);
  Draw(1);
  EXPECT_EQ(Count(kRed), 64);
  EXPECT_EQ(Count(kBlue), 0);
  EXPECT_EQ(Rec(b).flags & 0x8000, 0);
  Draw(8);
  EXPECT_EQ(Count(kBlue), 64);
  (void)a;
}

TEST_F(SpriteDraw, ChildrenFollowTheirParentInTheSameLayer) {
  Addr parent = Set(0, 10, 10, 5);
  Addr child = Set(0, 8, 0, 7);  // at the parent's top-right corner
  ASSERT_EQ(Call(Native_sp_link, {At(parent), At(child)}), 1);
  Draw();
  EXPECT_EQ(Rec(child).box, (Rect{18, 10, 22, 14}));
  EXPECT_EQ(Count(kGreen), 16);
  Move(parent, 40, 30);  // only the parent is marked
  EXPECT_EQ(Draw(), (Rect{10, 10, 52, 38}));
  EXPECT_EQ(Rec(child).box, (Rect{48, 30, 52, 34}));
  EXPECT_EQ(Count(kGreen, Rect{48, 30, 52, 34}), 16);
  EXPECT_EQ(Count(kRed), 64);
  EXPECT_TRUE(BackgroundOutside({Rect{40, 30, 52, 38}}));
}

TEST_F(SpriteDraw, RedrawAndBackgroundOrigin) {
  Addr s = Set(0, 10, 10, 5);
  Draw();
  // Something else draws on the page; sp_redraw restores it and redraws.
  Plane& page = *PlaneAt(0);
  for (int32_t x = 0; x < kPageW; ++x) Put(page, x, 40, kGreen);
  EXPECT_EQ(Call(Native_sp_redraw, {1}), 1);
  EXPECT_NE(Rec(s).flags & 1, 0);
  EXPECT_EQ(Draw(), (Rect{10, 10, 18, 18}));
  EXPECT_EQ(Count(kGreen), 0);
  EXPECT_EQ(Count(kRed), 64);
  // A new background origin shows the background shifted; sprites stay.
  EXPECT_EQ(Call(Native_sp_bgorg, {5, 3}), 1);
  EXPECT_EQ(Draw(), (Rect{0, 0, kPageW, kPageH}));
  EXPECT_EQ(Count(kRed), 64);
  EXPECT_EQ(PageAt(0, 0), BackgroundColour(5, 3));
  EXPECT_EQ(PageAt(30, 20), BackgroundColour(35, 23));
  EXPECT_EQ(PageAt(kPageW - 1, 0), BackgroundColour(kPageW - 1, 0));  // beyond the shifted background
}

TEST_F(SpriteDraw, NoActivePage) {
  Set(0, 10, 10, 5);
  Display().activePage.store(9);
  int32_t result = -1;
  Draw(~0u, &result);
  EXPECT_EQ(result, 0);
}

TEST_F(SpriteDraw, MirroredAndScaledSpritesGoThroughTheScaledBlit) {
  Plane& img = MakePlane(9, 4, 2, 32);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 4; ++x) Put(img, x, y, x < 2 ? kRed : kBlue);
  Addr s = Set(0, 10, 10, 9);
  Rec(s).mirrorX = 1;
  Draw();
  EXPECT_EQ(PageAt(10, 10), kBlue);
  EXPECT_EQ(PageAt(13, 11), kRed);
  Rec(s).mirrorX = 0;
  Rec(s).scaleX = 0x20000;
  Rec(s).flags |= 1;
  Draw();
  EXPECT_EQ(Count(kRed, Rect{10, 10, 14, 12}), 8);
  EXPECT_EQ(Count(kBlue, Rect{14, 10, 18, 12}), 8);
}

// More than 2048 dirty boxes in one draw: every one is restored, and the
// page equals the background with the sprites painted in order.
TEST_F(SpriteDraw, ThousandsOfMovingSpritesLeaveNoTrails) {
  std::mt19937 random(11);
  std::vector<Addr> layers[3];
  for (int i = 0; i < 1500; ++i)
    layers[i % 3].push_back(Set(i % 3, int32_t(random() % 90), int32_t(random() % 60), 5 + i % 3));
  Draw();
  for (int frame = 0; frame < 4; ++frame) {
    for (auto& layer : layers)
      for (Addr s : layer)
        Move(s, Rec(s).x + int32_t(random() % 7) - 3, Rec(s).y + int32_t(random() % 7) - 3);
    Draw();
    EXPECT_GT(DirtyRectCount(), kMaxDirtyRects);
  }
  EXPECT_EQ(
      Mismatches({{&layers[0], {kRed, kRed}}, {&layers[1], {kBlue, kBlue}}, {&layers[2], {kGreen, kGreen}}}),
      0);
}

// Unchanged sprites under more dirty boxes than the cell pool can split:
// those whose pieces do not fit are still drawn wherever the background was
// restored, so the page has no holes.
TEST_F(SpriteDraw, PiecesBeyondThePoolLeaveNoHoles) {
  std::vector<Addr> still, moving;
  for (int i = 0; i < 400; ++i) still.push_back(Set(0, (i * 7) % 88, (i * 5) % 56, 5 + i % 2));
  for (int i = 0; i < 1000; ++i) moving.push_back(Set(1, (i * 3) % 92, (i * 11) % 60, 7));
  Draw();
  for (int frame = 0; frame < 2; ++frame) {
    for (Addr s : moving) Move(s, Rec(s).x + 1, Rec(s).y + frame);
    int32_t result = 0;
    Draw(~0u, &result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Sprites().cellsUsed, kDirtyCells);
  }
  EXPECT_EQ(Mismatches({{&still, {kRed, kBlue}}, {&moving, {kGreen, kGreen}}}), 0);
}

}  // namespace
}  // namespace qavz
