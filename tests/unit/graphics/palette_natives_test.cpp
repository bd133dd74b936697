#include <gtest/gtest.h>

#include <random>

#include "core/window_link.h"
#include "graphics/blend_tables.h"
#include "graphics/colour.h"
#include "graphics/colour_map.h"
#include "graphics/pages.h"
#include "tests/unit/graphics/plane_test_support.h"

namespace qavz {
namespace {

using test::GraphicsTest;

int gRepaints = 0;
bool gWhole = false;
void CountRepaint(int32_t, int32_t, int32_t, int32_t, bool whole) noexcept {
  ++gRepaints;
  gWhole = whole;
}

class Pages : public GraphicsTest {};

TEST_F(Pages, DisplaySetUpMakesPlaneZeroTheBothPages) {
  TheConfig().width = 320;
  TheConfig().height = 200;
  TheConfig().depth = 16;
  CreatePlane(5, 2, 2, 8);
  SetAttachment(3, 5);
  Display().viewPage.store(5);
  Display().originX.store(9);
  Display().scriptPalette[3].store(0x123456);
  CreatePalette();
  TheConfig() = Config{};
  const Plane* page = PlaneAt(0);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->width, 320);
  EXPECT_EQ(page->height, 200);
  EXPECT_EQ(page->depth, 16);
  EXPECT_EQ(PlaneAt(5), nullptr);
  EXPECT_EQ(Attachment(3), -1);
  EXPECT_EQ(Display().viewPage.load(), 0);
  EXPECT_EQ(Display().activePage.load(), 0);
  EXPECT_EQ(Display().originX.load(), 0);
  for (uint32_t i : {0u, 3u, 0x25u, 0xFFu}) {
    uint32_t cube = ((i >> 5) & 7) * 255 / 7 << 16 | ((i >> 2) & 7) * 255 / 7 << 8 | (i & 3) * 85;
    EXPECT_EQ(Display().scriptPalette[i].load(), cube) << i;
    EXPECT_EQ(Display().displayPalette[i].load(), cube) << i;
  }
  FreePagesAndSurfaces();
  EXPECT_EQ(PlaneAt(0), nullptr);
}

TEST_F(Pages, VpageAndApage) {
  SetErrorLevel(1);
  CreatePlane(4, 2, 2, 8);
  EXPECT_EQ(Call(Native_vpage, {4}), 1);
  EXPECT_EQ(Display().viewPage.load(), 4);
  EXPECT_EQ(Call(Native_vpage, {6}), 0);
  EXPECT_EQ(Display().viewPage.load(), 4);
  EXPECT_TRUE(test::GraphicsMessages().empty());
  EXPECT_EQ(Call(Native_vpage, {1024}), 0);
  EXPECT_EQ(LastMessage(), "SetViewPage : パラメータが範囲外です。");
  EXPECT_EQ(Call(Native_apage, {4}), 1);
  EXPECT_EQ(Display().activePage.load(), 4);
  EXPECT_EQ(Call(Native_apage, {-1}), 0);
  EXPECT_EQ(LastMessage(), "SetActivePage : パラメータが範囲外です。");
  EXPECT_EQ(Display().activePage.load(), 4);
}

TEST_F(Pages, PalSetAndPalGet) {
  EXPECT_EQ(Call(Native_pal_set, {255, 0x123456}), 1);
  EXPECT_EQ(Call(Native_pal_get, {255}), 0x123456);
  EXPECT_EQ(Call(Native_pal_set, {256, 1}), 0);
  EXPECT_EQ(Call(Native_pal_set, {-1, 1}), 0);
  EXPECT_EQ(Call(Native_pal_get, {256}), 0);
}

TEST_F(Pages, PalSetsStopsAtTheLastEntry) {
  std::vector<int32_t> values;
  for (int32_t i = 0; i < 10; ++i) values.push_back(0x100 + i);
  values.push_back(0x5555);  // the word after the array
  uint32_t before249 = Display().scriptPalette[249].load();
  EXPECT_EQ(Call(Native_pal_sets, {250, 10, At(memory_.Args(values))}), 1);
  EXPECT_EQ(Display().scriptPalette[249].load(), before249);
  for (uint32_t i = 250; i < 256; ++i) EXPECT_EQ(Display().scriptPalette[i].load(), 0x100 + i - 250);
  Addr out = memory_.Buffer(40, 0xEE);
  EXPECT_EQ(Call(Native_pal_gets, {250, 10, At(out)}), 1);
  EXPECT_EQ(memory_.WordAt(out + 20), 0x105);
  EXPECT_EQ(memory_.WordAt(out + 24), int32_t(0xEEEEEEEE));
  EXPECT_EQ(Call(Native_pal_sets, {256, 1, At(out)}), 0);
  EXPECT_EQ(Call(Native_pal_sets, {0, 0, At(out)}), 0);
  EXPECT_EQ(Call(Native_pal_gets, {0, -3, At(out)}), 0);
}

TEST_F(Pages, PalLoadCopiesWithinBothTables) {
  Plane& plane = MakePlane(3, 2, 2, 4);
  for (int i = 0; i < 16; ++i) plane.colours[i] = 0x010101u * uint32_t(i);
  EXPECT_EQ(Call(Native_pal_load, {3, 250, 4, 100}), 6);
  EXPECT_EQ(Display().scriptPalette[250].load(), 0x040404u);
  EXPECT_EQ(Display().scriptPalette[255].load(), 0x090909u);
  EXPECT_EQ(Call(Native_pal_load, {3, 0, 14, 100}), 2);
  EXPECT_EQ(Display().scriptPalette[1].load(), 0x0F0F0Fu);
  EXPECT_EQ(Call(Native_pal_load, {3, 0, 16, 1}), 0);
  EXPECT_EQ(Call(Native_pal_load, {3, 256, 0, 1}), 0);
  EXPECT_EQ(Call(Native_pal_load, {4, 0, 0, 1}), 0);
  MakePlane(4, 2, 2, 24);
  EXPECT_EQ(Call(Native_pal_load, {4, 0, 0, 1}), 0);
}

TEST_F(Pages, PalChangeRepaintsOnlyAnEightBitViewPage) {
  InstallWindowLink(WindowLink{CountRepaint, nullptr});
  gRepaints = 0;
  Display().scriptPalette[9].store(0xFF112233);
  MakePlane(0, 4, 4, 16);
  EXPECT_EQ(Call(Native_pal_change, {}), 1);
  EXPECT_EQ(Display().displayPalette[9].load(), 0x112233u);
  EXPECT_EQ(gRepaints, 0);
  MakePlane(0, 4, 4, 8);
  EXPECT_EQ(Call(Native_pal_change, {}), 1);
  EXPECT_EQ(gRepaints, 1);
  EXPECT_TRUE(gWhole);
  InstallWindowLink(WindowLink{nullptr, nullptr});
}

TEST_F(Pages, PalMapFillsTheColourMap) {
  std::vector<int32_t> palette(256, 0x00FF00);
  palette[17] = 0x0000FF;
  palette[200] = 0xFF0000;
  EXPECT_EQ(Call(Native_pal_map, {At(memory_.Args(palette))}), 1);
  const uint8_t* map = BlendTables().colourMap;
  EXPECT_EQ(map[31], 17);
  EXPECT_EQ(map[31 << 10], 200);
  EXPECT_EQ(map[31 << 5], 0);  // the first of the equal greens
  EXPECT_EQ(Call(Native_pal_map, {0}), 0);
}

// The colour map against a search of all 256 colours for every cell, on
// palettes with duplicates, near ties and random colours.
class ColourMapModel : public testing::TestWithParam<uint32_t> {};

TEST_P(ColourMapModel, EveryCellHoldsTheFirstNearestColour) {
  std::mt19937 random(GetParam());
  uint32_t palette[256];
  for (uint32_t& c : palette) c = random() & 0xFFFFFF;
  if (GetParam() % 2) {
    for (int i = 0; i < 256; ++i) palette[i] = palette[i % 37] ^ (i & 3);  // duplicates and ties
  }
  static uint8_t map[kColourMapCells];
  BuildColourMap(palette, map);
  for (uint32_t c = 0; c < uint32_t(kColourMapCells); ++c) {
    uint32_t rgb = ((c >> 10) & 31) << 19 | ((c >> 5) & 31) << 11 | (c & 31) << 3;
    ASSERT_EQ(map[c], NearestColour(rgb, palette)) << "cell " << c;
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, ColourMapModel, testing::Values(1u, 2u, 3u, 4u));

}  // namespace
}  // namespace qavz
