#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "graphics/pages.h"
#include "tests/unit/graphics/plane_test_support.h"

namespace qavz {
namespace {

using test::GraphicsTest;

class Gfill : public GraphicsTest {
 protected:
  int32_t Fill(int32_t slot, Addr rect, uint32_t colour) {
    return Call(Native_gfill, {slot, At(rect), int32_t(colour)});
  }
  std::vector<uint8_t> Bytes(const Plane& p, int32_t x, int32_t y, int n) {
    return std::vector<uint8_t>(p.Pixel(x, y), p.Pixel(x, y) + n);
  }
};

TEST_F(Gfill, ThirtyTwoBitPixelsGetAlphaZero) {
  Plane& plane = MakePlane(2, 4, 4, 32);
  std::memset(plane.host, 0x99, plane.ImageBytes());
  EXPECT_EQ(Fill(2, 0, 0xFFFFFF), 1);
  EXPECT_EQ(Bytes(plane, 3, 3, 4), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x00}));
  EXPECT_EQ(Bytes(plane, 0, 0, 4), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x00}));
}

struct FillCase {
  int32_t depth;
  uint32_t colour;
  std::vector<uint8_t> pixel;
};
void PrintTo(const FillCase& c, std::ostream* os) {
  *os << "depth " << c.depth << " colour " << std::hex << c.colour;
}

class GfillDepths : public Gfill, public testing::WithParamInterface<FillCase> {};

TEST_P(GfillDepths, StoresTheConvertedColour) {
  const FillCase& c = GetParam();
  Display().displayPalette[7].store(0x00ABCDEF);
  Plane& plane = MakePlane(2, 3, 2, c.depth);
  EXPECT_EQ(Fill(2, 0, c.colour), 1);
  EXPECT_EQ(Bytes(plane, 2, 1, int(c.pixel.size())), c.pixel);
}

INSTANTIATE_TEST_SUITE_P(Colours, GfillDepths,
                         testing::Values(FillCase{24, 0x123456, {0x56, 0x34, 0x12}},
                                         FillCase{24, 0x01000007, {0xEF, 0xCD, 0xAB}},
                                         FillCase{32, 0xFE123456, {0x56, 0x34, 0x12, 0x00}},
                                         FillCase{16, 0xFFFFFF, {0xFF, 0x7F}},  // bit 15 stays clear
                                         FillCase{16, 0x0843FF, {0x1F, 0x05}},  // red 1, green 8, blue 31
                                         FillCase{8, 0xFF0000, {0xE0}},
                                         FillCase{8, 0x0000FF, {0x03}},  // nearest of the 3-3-2 cube
                                         FillCase{8, 0x010000C3, {0xC3}}));

TEST_F(Gfill, ClipsToTheClipRectangle) {
  Plane& plane = MakePlane(2, 10, 10, 8);
  plane.clip = Rect{2, 3, 6, 8};
  EXPECT_EQ(Fill(2, memory_.Args({0, 0, 5, 20}), 0x01000009), 1);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 10; ++x)
      EXPECT_EQ(plane.Pixel(x, y)[0], (x >= 2 && x < 5 && y >= 3 && y < 8) ? 9 : 0) << x << "," << y;
  EXPECT_EQ(Fill(2, memory_.Args({6, 0, 9, 9}), 0x01000001), 0);
  EXPECT_EQ(Fill(2, memory_.Args({5, 5, 3, 7}), 0x01000001), 0);
  EXPECT_EQ(Fill(3, 0, 0), 0);
}

TEST_F(Gfill, SubBytePlanesSetOnlyTheirPixels) {
  Plane& one = MakePlane(2, 16, 1, 1);
  EXPECT_EQ(Fill(2, memory_.Args({3, 0, 10, 1}), 0x01000001), 1);
  EXPECT_EQ(one.host[0], 0x1F);
  EXPECT_EQ(one.host[1], 0xC0);
  Plane& four = MakePlane(3, 6, 1, 4);
  std::memset(four.host, 0x11, 3);
  EXPECT_EQ(Fill(3, memory_.Args({1, 0, 4, 1}), 0x0100000A), 1);
  EXPECT_EQ(four.host[0], 0x1A);
  EXPECT_EQ(four.host[1], 0xAA);
  EXPECT_EQ(four.host[2], 0x11);
}

class Gline : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    MakePlane(2, 10, 10, 8);
  }
  int32_t Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    return Call(Native_gline, {2, x1, y1, x2, y2, 0x01000005});
  }
  std::set<std::pair<int32_t, int32_t>> Drawn() {
    std::set<std::pair<int32_t, int32_t>> drawn;
    for (int32_t y = 0; y < 10; ++y)
      for (int32_t x = 0; x < 10; ++x)
        if (PlaneAt(2)->Pixel(x, y)[0] == 5) drawn.insert({x, y});
    return drawn;
  }
  static std::set<std::pair<int32_t, int32_t>> Points(std::initializer_list<std::pair<int32_t, int32_t>> p) {
    return p;
  }
};

TEST_F(Gline, AnEndLeftOfThePlaneMovesToColumnZero) {
  EXPECT_EQ(Line(-10, 5, 5, 5), 1);
  EXPECT_EQ(Drawn(), Points({{0, 5}, {1, 5}, {2, 5}, {3, 5}, {4, 5}, {5, 5}}));
}

TEST_F(Gline, VerticalLinesRunFromTheSmallerRow) {
  EXPECT_EQ(Line(3, 20, 3, 7), 1);
  EXPECT_EQ(Drawn(), Points({{3, 7}, {3, 8}, {3, 9}}));
}

TEST_F(Gline, SlopesStepTheLongerAxisWithTruncatedSixteenSixteen) {
  // 3 * 65536 / 7 = 28086: y = floor(i * 28086 / 65536) never quite reaches 3.
  EXPECT_EQ(Line(0, 0, 7, 3), 1);
  EXPECT_EQ(Drawn(), Points({{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 2}, {6, 2}, {7, 2}}));
}

TEST_F(Gline, SteepLinesStepRows) {
  EXPECT_EQ(Line(4, 0, 1, 3), 1);  // x from 4 by -65536 per row
  EXPECT_EQ(Drawn(), Points({{4, 0}, {3, 1}, {2, 2}, {1, 3}}));
}

TEST_F(Gline, ClipsTheFirstEndBeforeTheSecond) {
  // (-4, 12) moves to column 0: y = 12 + (0 - 12) * 4 / 16 = 9; then
  // (12, 0) moves towards (0, 9) to column 9: y = 0 + 9 * (9 - 12) / -12 = 2.
  EXPECT_EQ(Line(-4, 12, 12, 0), 1);
  std::set<std::pair<int32_t, int32_t>> drawn = Drawn();
  EXPECT_TRUE(drawn.count({0, 9}));
  EXPECT_TRUE(drawn.count({9, 2}));
  EXPECT_EQ(drawn.size(), 10u);
}

TEST_F(Gline, LinesThatMissThePlaneDrawNothing) {
  EXPECT_EQ(Line(-5, 0, -1, 9), 0);
  EXPECT_EQ(Line(0, 10, 9, 12), 0);
  EXPECT_EQ(Line(-5, 3, 3, -5), 0);  // passes the corner outside
  EXPECT_EQ(Line(12, 5, 20, 0), 0);
  EXPECT_TRUE(Drawn().empty());
  EXPECT_EQ(Call(Native_gline, {3, 0, 0, 1, 1, 0}), 0);
}

TEST_F(Gline, DrawsIntoDirectColourPlanesWithAlphaZero) {
  Plane& plane = MakePlane(3, 4, 4, 32);
  std::memset(plane.host, 0xFF, plane.ImageBytes());
  EXPECT_EQ(Call(Native_gline, {3, 0, 1, 3, 1, 0x102030}), 1);
  EXPECT_EQ(std::vector<uint8_t>(plane.Pixel(2, 1), plane.Pixel(2, 1) + 4),
            (std::vector<uint8_t>{0x30, 0x20, 0x10, 0x00}));
  Plane& wide = MakePlane(4, 4, 4, 16);
  EXPECT_EQ(Call(Native_gline, {4, 1, 0, 1, 3, 0xFFFFFF}), 1);
  EXPECT_EQ(wide.Pixel(1, 3)[1], 0x7F);
}

struct HsvCase {
  uint32_t rgb, hsv;
};
void PrintTo(const HsvCase& c, std::ostream* os) { *os << std::hex << c.rgb << " / " << c.hsv; }

class RgbToHsv : public GraphicsTest, public testing::WithParamInterface<HsvCase> {};
TEST_P(RgbToHsv, Converts) {
  EXPECT_EQ(uint32_t(Call(Native_rgbtohsv, {int32_t(GetParam().rgb)})), GetParam().hsv);
}
INSTANTIATE_TEST_SUITE_P(Samples, RgbToHsv,
                         testing::Values(HsvCase{0xFF0000, 0x0000FFFF},
                                         HsvCase{0x00FF00, 682u << 16 | 0xFFFF},
                                         HsvCase{0x0000FF, 1365u << 16 | 0xFFFF},
                                         HsvCase{0xFF8000, 170u << 16 | 0xFFFF},   // m = 255 - 127
                                         HsvCase{0xFF00FF, 1708u << 16 | 0xFFFF},  // m = -255 + 1536
                                         HsvCase{0x808080, 0x80}, HsvCase{0, 0},
                                         HsvCase{0x7F0000FF, 1365u << 16 | 0xFFFF},  // top byte ignored
                                         HsvCase{0x604020, 170u << 16 | 170u << 8 | 0x60}));

class HsvToRgb : public GraphicsTest, public testing::WithParamInterface<HsvCase> {};
TEST_P(HsvToRgb, Converts) {
  EXPECT_EQ(uint32_t(Call(Native_hsvtorgb, {int32_t(GetParam().hsv)})), GetParam().rgb);
}
INSTANTIATE_TEST_SUITE_P(Samples, HsvToRgb,
                         testing::Values(HsvCase{0xFF0000, 0x0000FFFF},
                                         HsvCase{0x00FF00, 682u << 16 | 0xFFFF},
                                         HsvCase{0x0000FF, 1365u << 16 | 0xFFFF},
                                         HsvCase{0x00FFFF, 1024u << 16 | 0xFFFF},
                                         HsvCase{0xC86363, 128u << 8 | 200},  // t = p = 127 * 200 / 255
                                         HsvCase{0x404040, 1500u << 16 | 0x40},
                                         HsvCase{0xFF0000, 2048u << 16 | 0xFFFF}));  // the hue wraps

}  // namespace
}  // namespace qavz
