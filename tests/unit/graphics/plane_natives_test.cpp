#include <gtest/gtest.h>

#include "graphics/pages.h"
#include "graphics/plane.h"
#include "tests/unit/graphics/plane_test_support.h"

namespace qavz {
namespace {

using test::GraphicsTest;

class PlaneNatives : public GraphicsTest {};

TEST_F(PlaneNatives, GallocWithAnAddressTakesSlotsFrom1023Down) {
  Addr slot = memory_.Buffer(4);
  EXPECT_EQ(Call(Native_galloc, {At(slot), 8, 8, 8}), 1);
  EXPECT_EQ(memory_.WordAt(slot), 1023);
  EXPECT_EQ(Call(Native_galloc, {At(slot), 8, 8, 8}), 1);
  EXPECT_EQ(memory_.WordAt(slot), 1022);
  ASSERT_NE(PlaneAt(1022), nullptr);
  EXPECT_EQ(PlaneAt(1022)->depth, 8);
}

TEST_F(PlaneNatives, GallocReplacesThePlaneInAGivenSlot) {
  EXPECT_EQ(Call(Native_galloc, {5, 4, 4, 8}), 1);
  EXPECT_EQ(Call(Native_galloc, {5, 7, 3, 32}), 1);
  ASSERT_NE(PlaneAt(5), nullptr);
  EXPECT_EQ(PlaneAt(5)->width, 7);
  EXPECT_EQ(PlaneAt(5)->depth, 32);
}

TEST_F(PlaneNatives, GallocFailureReportsAndLeavesTheSlotEmpty) {
  SetErrorLevel(1);
  EXPECT_EQ(Call(Native_galloc, {5, 4, 4, 8}), 1);
  EXPECT_EQ(Call(Native_galloc, {5, 4, 4, 12}), 0);
  EXPECT_EQ(PlaneAt(5), nullptr);
  EXPECT_EQ(LastMessage(), "CreatePlane : 仮想画面の作成に失敗しました。");
  EXPECT_EQ(Call(Native_galloc, {6, 100000, 100000, 32}), 0);
  EXPECT_EQ(Call(Native_galloc, {6, 0, 10, 8}), 0);
  EXPECT_EQ(PlaneAt(6), nullptr);
}

TEST_F(PlaneNatives, GallocWithEverySlotTakenFails) {
  for (int32_t s = 0; s < kPlaneSlots; ++s) ASSERT_NE(CreatePlane(s, 1, 1, 8), nullptr);
  Addr slot = memory_.Buffer(4, 0x55);
  EXPECT_EQ(Call(Native_galloc, {At(slot), 1, 1, 8}), 0);
  EXPECT_EQ(LastMessage(), "CreatePlane : 仮想画面の作成に失敗しました。");
}

TEST_F(PlaneNatives, GfreeAllKeepsThePagesButClearsEveryAttachment) {
  CreatePlane(3, 2, 2, 8);
  CreatePlane(7, 2, 2, 8);
  CreatePlane(9, 2, 2, 8);
  Display().activePage.store(7);
  SetAttachment(0, 9);
  SetAttachment(7, 3);
  SetAttachment(3, 9);
  EXPECT_EQ(Call(Native_gfree, {-1}), 1);
  EXPECT_NE(PlaneAt(0), nullptr);
  EXPECT_NE(PlaneAt(7), nullptr);
  EXPECT_EQ(PlaneAt(3), nullptr);
  EXPECT_EQ(PlaneAt(9), nullptr);
  for (int32_t s : {0, 3, 7}) EXPECT_EQ(Attachment(s), -1) << s;
}

TEST_F(PlaneNatives, GfreeOfOneSlot) {
  CreatePlane(4, 2, 2, 8);
  SetAttachment(0, 4);
  EXPECT_EQ(Call(Native_gfree, {0}), 1);  // the view page stays, its attachment goes
  EXPECT_NE(PlaneAt(0), nullptr);
  EXPECT_EQ(Attachment(0), -1);
  EXPECT_EQ(Call(Native_gfree, {4}), 1);
  EXPECT_EQ(PlaneAt(4), nullptr);
  EXPECT_EQ(Call(Native_gfree, {4}), 1);
  EXPECT_EQ(Call(Native_gfree, {1024}), 0);
  EXPECT_EQ(Call(Native_gfree, {-2}), 0);
}

TEST_F(PlaneNatives, GinfoReportsTheTopRowAndANegativeStep) {
  Plane& page = MakePlane(0, 640, 480, 16);
  Addr info = memory_.Buffer(20, 0xEE);
  EXPECT_EQ(Call(Native_ginfo, {0, At(info)}), 1);
  EXPECT_EQ(memory_.WordAt(info), 640);
  EXPECT_EQ(memory_.WordAt(info + 4), 480);
  EXPECT_EQ(memory_.WordAt(info + 8), 16);
  EXPECT_EQ(Addr(memory_.WordAt(info + 12)), page.bits + 479 * 1280);
  EXPECT_EQ(memory_.WordAt(info + 16), -1280);
}

TEST_F(PlaneNatives, GinfoOfAnEmptySlotStoresZerosAndAlwaysSucceeds) {
  Addr info = memory_.Buffer(20, 0xEE);
  EXPECT_EQ(Call(Native_ginfo, {12, At(info)}), 1);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(memory_.WordAt(info + 4 * i), 0);
  EXPECT_EQ(Call(Native_ginfo, {0, 0}), 1);
  EXPECT_EQ(Call(Native_ginfo, {5000, At(info)}), 1);
}

struct PixelCase {
  int32_t depth;
  std::vector<uint8_t> bytes;  // the first bytes of row 0
  int32_t x;
  uint32_t expected;
};
void PrintTo(const PixelCase& c, std::ostream* os) { *os << "depth " << c.depth << " x " << c.x; }

class Getpixel : public GraphicsTest, public testing::WithParamInterface<PixelCase> {};

TEST_P(Getpixel, ReadsTheColourOfEachDepth) {
  const PixelCase& c = GetParam();
  Plane& plane = MakePlane(2, 16, 2, c.depth);
  std::memcpy(plane.Row(0), c.bytes.data(), c.bytes.size());
  if (c.depth == 4) plane.colours[5] = 0xAB123456;  // the top byte is not a colour
  EXPECT_EQ(uint32_t(Call(Native_getpixel, {2, c.x, 0})), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, Getpixel,
    testing::Values(PixelCase{16, {0xFF, 0x7F}, 0, 0xFFFFFF}, PixelCase{16, {0x1F, 0x00}, 0, 0x0000FF},
                    PixelCase{16, {0x00, 0x00, 0xE0, 0x03}, 1, 0x00FF00},
                    PixelCase{16, {0x00, 0x00, 0x00, 0x80}, 1, 0},  // bit 15 carries nothing
                    PixelCase{16, {0x21, 0x04}, 0, 0x080808},       // 1 -> (1 << 3) | 0
                    PixelCase{16, {0x10, 0x42}, 0, 0x848484},       // 16 -> 128 | 4
                    PixelCase{1, {0x80}, 0, 0xFFFFFF}, PixelCase{1, {0x80}, 1, 0},
                    PixelCase{1, {0x00, 0x01}, 15, 0xFFFFFF}, PixelCase{1, {0x00, 0x01}, 14, 0},
                    PixelCase{4, {0x50}, 0, 0x123456}, PixelCase{4, {0x05}, 1, 0x123456},
                    PixelCase{8, {0, 0xE0}, 1, 0xFF0000}, PixelCase{8, {0x03}, 0, 0x0000FF},
                    PixelCase{24, {1, 2, 3, 4, 5, 6}, 1, 0x060504},
                    PixelCase{32, {1, 2, 3, 4}, 0, 0x030201}));

TEST_F(PlaneNatives, GetpixelOutsideThePlaneOrOfNoPlaneIsZero) {
  Plane& plane = MakePlane(2, 4, 4, 24);
  std::memset(plane.host, 0xFF, plane.ImageBytes());
  EXPECT_EQ(Call(Native_getpixel, {2, 3, 3}), 0xFFFFFF);
  EXPECT_EQ(Call(Native_getpixel, {2, 4, 0}), 0);
  EXPECT_EQ(Call(Native_getpixel, {2, 0, -1}), 0);
  EXPECT_EQ(Call(Native_getpixel, {2, -1, 0}), 0);
  EXPECT_EQ(Call(Native_getpixel, {3, 0, 0}), 0);
  EXPECT_EQ(Call(Native_getpixel, {1024, 0, 0}), 0);
}

TEST_F(PlaneNatives, GetpixelFollowsTheTopDownRowOrder) {
  Plane& plane = MakePlane(2, 1, 3, 8);
  plane.host[0] = 0xE0;  // the last row in memory is the bottom of the picture
  EXPECT_EQ(Call(Native_getpixel, {2, 0, 2}), 0xFF0000);
  EXPECT_EQ(Call(Native_getpixel, {2, 0, 0}), 0);
}

TEST_F(PlaneNatives, GclipOrdersAndClampsTheCorners) {
  MakePlane(2, 100, 50, 8);
  Addr rect = memory_.Args({120, 40, -5, 10});
  EXPECT_EQ(Call(Native_gclip, {2, At(rect)}), 1);
  const Rect& clip = PlaneAt(2)->clip;
  EXPECT_EQ(clip.left, 0);
  EXPECT_EQ(clip.top, 10);
  EXPECT_EQ(clip.right, 100);
  EXPECT_EQ(clip.bottom, 40);
  EXPECT_EQ(Call(Native_gclip, {2, 0}), 1);
  EXPECT_EQ(PlaneAt(2)->clip.right, 100);
  EXPECT_EQ(PlaneAt(2)->clip.bottom, 50);
  EXPECT_EQ(PlaneAt(2)->clip.top, 0);
  EXPECT_EQ(Call(Native_gclip, {3, 0}), 0);
}

TEST_F(PlaneNatives, AttachmentsReferToSlotsNotPlanes) {
  EXPECT_EQ(Call(Native_gattach, {1, 2}), 1);
  EXPECT_EQ(AttachedPlane(1), nullptr);
  CreatePlane(2, 2, 2, 8);
  EXPECT_EQ(AttachedPlane(1), PlaneAt(2));
  EXPECT_EQ(Call(Native_gattach, {1, 1024}), 0);
  EXPECT_EQ(Call(Native_gattach, {1024, 1}), 0);
  EXPECT_EQ(Attachment(1), 2);
  EXPECT_EQ(Call(Native_gdetach, {1}), 1);
  EXPECT_EQ(Attachment(1), -1);
  EXPECT_EQ(Call(Native_gdetach, {1024}), 0);
}

TEST_F(PlaneNatives, GsetpalAndGgetpalStopAtTheEndOfTheTable) {
  MakePlane(2, 2, 2, 4);
  Addr values = memory_.Args({0x111111, 0x222222, 0x333333, 0x444444});
  EXPECT_EQ(Call(Native_gsetpal, {2, 14, 4, At(values)}), 2);
  EXPECT_EQ(PlaneAt(2)->colours[14], 0x111111u);
  EXPECT_EQ(PlaneAt(2)->colours[15], 0x222222u);
  Addr out = memory_.Buffer(16, 0xEE);
  EXPECT_EQ(Call(Native_ggetpal, {2, 15, 4, At(out)}), 1);
  EXPECT_EQ(memory_.WordAt(out), 0x222222);
  EXPECT_EQ(memory_.WordAt(out + 4), int32_t(0xEEEEEEEE));
  EXPECT_EQ(Call(Native_ggetpal, {2, 16, 1, At(out)}), 0);
  EXPECT_EQ(Call(Native_ggetpal, {2, 256, 1, At(out)}), 0);
  EXPECT_EQ(Call(Native_ggetpal, {2, 0, 0, At(out)}), 0);
  EXPECT_EQ(Call(Native_ggetpal, {2, -1, 1, At(out)}), 0);
}

TEST_F(PlaneNatives, MinusOneMeansTheScriptPalette) {
  Addr values = memory_.Args({0x010203, 0x040506, 0x070809});
  EXPECT_EQ(Call(Native_gsetpal, {-1, 254, 3, At(values)}), 2);
  EXPECT_EQ(Display().scriptPalette[254].load(), 0x010203u);
  EXPECT_EQ(Display().scriptPalette[255].load(), 0x040506u);
  Addr out = memory_.Buffer(8);
  EXPECT_EQ(Call(Native_ggetpal, {-1, 255, 2, At(out)}), 1);
  EXPECT_EQ(memory_.WordAt(out), 0x040506);
}

TEST_F(PlaneNatives, DeepPlanesHaveNoColourTable) {
  MakePlane(2, 2, 2, 16);
  Addr out = memory_.Buffer(8);
  EXPECT_EQ(Call(Native_ggetpal, {2, 0, 2, At(out)}), 0);
  EXPECT_EQ(Call(Native_gsetpal, {2, 0, 2, At(out)}), 0);
  EXPECT_EQ(Call(Native_ggetpal, {3, 0, 2, At(out)}), 0);
}

}  // namespace
}  // namespace qavz
