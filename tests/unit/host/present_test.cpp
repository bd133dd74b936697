// Painting the window's frame from the ViewPage, on the null video driver:
// every depth against a small model of the pixel formats, the shift origin
// with its black strips, the menu offset, stretching, and update's client
// rectangle.
#include "graphics/present.h"

#include <gtest/gtest.h>

#include <random>

#include "core/config.h"
#include "graphics/pages.h"
#include "platform/video.h"

namespace qavz {
namespace {

using platform::FramePlacement;

// The colour a page pixel stands for, from the pixel formats alone.
uint32_t ModelColour(const Plane& page, int32_t x, int32_t y, const uint32_t* displayPalette) {
  const uint8_t* row = page.Row(y);
  switch (page.depth) {
    case 1:
      return page.colours[(row[x / 8] >> (7 - x % 8)) & 1];
    case 4:
      return page.colours[x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4];
    case 8:
      return displayPalette[row[x]];
    case 16: {
      uint32_t v = row[2 * x] | row[2 * x + 1] << 8;
      auto widen = [](uint32_t c) { return (c << 3) | (c >> 2); };
      return widen((v >> 10) & 31) << 16 | widen((v >> 5) & 31) << 8 | widen(v & 31);
    }
    case 24:
      return row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
    default:
      return row[4 * x] | row[4 * x + 1] << 8 | row[4 * x + 2] << 16;
  }
}

class Present : public testing::Test {
 protected:
  void SetUp() override {
    saved = TheConfig();
    TheConfig().width = 64;
    TheConfig().height = 48;
    platform::WindowFrame(platform::kMainWindow) = {};
    ResetDisplay();
    std::mt19937 random(7);
    for (int i = 0; i < 256; ++i) Display().displayPalette[i].store(random() & 0xFFFFFF);
  }
  void TearDown() override {
    FreePlane(0);
    FreePlane(5);
    ResetDisplay();
    TheConfig() = saved;
  }
  static void ResetDisplay() {
    DisplayState& d = Display();
    d.viewPage.store(0);
    d.originX.store(0);
    d.originY.store(0);
    d.menuOffsetX.store(0);
    d.menuOffsetY.store(0);
  }

  // A page of random pixels (fixed seed) in `slot`.
  Plane* RandomPage(int32_t slot, int32_t width, int32_t height, int32_t depth) {
    Plane* page = CreatePlane(slot, width, height, depth);
    EXPECT_NE(page, nullptr);
    std::mt19937 random(uint32_t(depth * 1000 + width));
    for (size_t i = 0; i < page->ImageBytes(); ++i) page->host[i] = uint8_t(random());
    for (int i = 0; i < page->colourCount; ++i) page->colours[i] = random() & 0xFFFFFF;
    return page;
  }

  void Paint(Rect area, int32_t clientWidth, int32_t clientHeight, bool fullScreen = false) {
    PaintRequest request;
    request.area = area;
    request.clientWidth = clientWidth;
    request.clientHeight = clientHeight;
    request.fullScreen = fullScreen;
    PaintWindow(request);
  }
  void PaintAll() { Paint(Rect{0, 0, 64, 48}, 64, 48); }

  uint32_t FramePixel(int32_t x, int32_t y) {
    const platform::Frame& frame = platform::WindowFrame(platform::kMainWindow);
    return frame.pixels[size_t(y) * size_t(frame.width) + size_t(x)];
  }
  uint32_t Expected(const Plane& page, int32_t x, int32_t y) {
    uint32_t palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = Display().displayPalette[i].load();
    return ModelColour(page, x, y, palette) & 0xFFFFFF;
  }

  Config saved;
};

class PresentDepth : public Present, public testing::WithParamInterface<int32_t> {};

// One to one, the frame is the page: 8-bit pages through the display
// palette, 1 and 4 bits through their own table, the deeper ones direct.
TEST_P(PresentDepth, OneToOneShowsEveryPixelInItsColour) {
  Plane* page = RandomPage(0, 64, 48, GetParam());
  PaintAll();
  const platform::Frame& frame = platform::WindowFrame(platform::kMainWindow);
  ASSERT_EQ(frame.width, 64);
  ASSERT_EQ(frame.height, 48);
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x) ASSERT_EQ(FramePixel(x, y), Expected(*page, x, y)) << x << "," << y;
  platform::NullPresentRecord record = platform::NullPresented(platform::kMainWindow);
  EXPECT_EQ(record.last.placement, FramePlacement::kOneToOne);
}

// Stretched, the frame is the whole page whatever the client area.
TEST_P(PresentDepth, StretchedFrameIsTheWholePage) {
  Plane* page = RandomPage(0, 40, 30, GetParam());
  Paint(Rect{0, 0, 128, 96}, 128, 96);
  const platform::Frame& frame = platform::WindowFrame(platform::kMainWindow);
  ASSERT_EQ(frame.width, 40);
  ASSERT_EQ(frame.height, 30);
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) ASSERT_EQ(FramePixel(x, y), Expected(*page, x, y)) << x << "," << y;
  EXPECT_EQ(platform::NullPresented(platform::kMainWindow).last.placement, FramePlacement::kStretch);
}

INSTANTIATE_TEST_SUITE_P(Depths, PresentDepth, testing::Values(1, 4, 8, 16, 24, 32));

// Client (x, y) shows page (x + ox, y + oy); the strips the shift uncovers
// are black even where the page would have pixels.
struct OriginCase {
  int32_t ox, oy;
};
void PrintTo(const OriginCase& c, std::ostream* os) { *os << "(" << c.ox << ", " << c.oy << ")"; }

class PresentOrigin : public Present, public testing::WithParamInterface<OriginCase> {};

TEST_P(PresentOrigin, ShiftsThePageAndBlackensTheUncoveredStrips) {
  Plane* page = RandomPage(0, 80, 60, 24);  // larger than the client area
  int32_t ox = GetParam().ox, oy = GetParam().oy;
  Display().originX.store(ox);
  Display().originY.store(oy);
  PaintAll();
  for (int32_t y = 0; y < 48; ++y) {
    for (int32_t x = 0; x < 64; ++x) {
      bool strip =
          (ox > 0 && x >= 64 - ox) || (ox < 0 && x < -ox) || (oy > 0 && y >= 48 - oy) || (oy < 0 && y < -oy);
      int32_t px = x + ox, py = y + oy;
      bool inPage = px >= 0 && px < 80 && py >= 0 && py < 60;
      uint32_t want = !strip && inPage ? Expected(*page, px, py) : 0;
      ASSERT_EQ(FramePixel(x, y), want) << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Origins, PresentOrigin,
                         testing::Values(OriginCase{0, 0}, OriginCase{16, 0}, OriginCase{-5, 0},
                                         OriginCase{0, 7}, OriginCase{3, -9}, OriginCase{-70, 0},
                                         OriginCase{0, 100}));

TEST_F(Present, SetorgSixteenShowsColumnsSixteenOnAndABlackStripOnTheRight) {
  TheConfig().width = 640;
  TheConfig().height = 480;
  Plane* page = RandomPage(0, 640, 480, 32);
  Display().originX.store(16);
  Paint(Rect{0, 0, 640, 480}, 640, 480);
  for (int32_t y : {0, 240, 479}) {
    for (int32_t x = 0; x < 624; ++x) ASSERT_EQ(FramePixel(x, y), Expected(*page, x + 16, y)) << x;
    for (int32_t x = 624; x < 640; ++x) ASSERT_EQ(FramePixel(x, y), 0u) << x;
  }
}

// The menu offset moves the source like the origin but makes no strip.
TEST_F(Present, MenuOffsetMovesTheSource) {
  Plane* page = RandomPage(0, 64, 48, 24);
  Display().menuOffsetY.store(10);
  PaintAll();
  EXPECT_EQ(FramePixel(3, 0), Expected(*page, 3, 10));
  EXPECT_EQ(FramePixel(3, 37), Expected(*page, 3, 47));
  EXPECT_EQ(FramePixel(3, 38), 0u) << "below the page";
}

TEST_F(Present, FullScreenIsOneToOneWhateverTheClientArea) {
  RandomPage(0, 64, 48, 24);
  Paint(Rect{0, 0, 64, 48}, 64, 48, true);
  EXPECT_EQ(platform::NullPresented(platform::kMainWindow).last.placement, FramePlacement::kOneToOne);
}

TEST_F(Present, OnlyThePaintedAreaChanges) {
  Plane* page = RandomPage(0, 64, 48, 24);
  PaintAll();
  std::fill(page->host, page->host + page->ImageBytes(), uint8_t(0x55));
  Paint(Rect{10, 5, 20, 9}, 64, 48);
  platform::NullPresentRecord record = platform::NullPresented(platform::kMainWindow);
  EXPECT_EQ(record.last.changed.left, 10);
  EXPECT_EQ(record.last.changed.top, 5);
  EXPECT_EQ(record.last.changed.right, 20);
  EXPECT_EQ(record.last.changed.bottom, 9);
  EXPECT_EQ(FramePixel(10, 5), 0x555555u);
  EXPECT_EQ(FramePixel(19, 8), 0x555555u);
  EXPECT_NE(FramePixel(9, 5), 0x555555u);
  EXPECT_NE(FramePixel(20, 8), 0x555555u);
  EXPECT_NE(FramePixel(10, 9), 0x555555u);
}

TEST_F(Present, AnEmptyViewPageSlotIsBlackAndAnotherPageShows) {
  RandomPage(0, 64, 48, 24);
  Display().viewPage.store(3);
  PaintAll();
  for (int32_t x = 0; x < 64; ++x) ASSERT_EQ(FramePixel(x, 20), 0u);
  Plane* other = RandomPage(5, 64, 48, 16);
  Display().viewPage.store(5);
  PaintAll();
  EXPECT_EQ(FramePixel(7, 7), Expected(*other, 7, 7));
}

// update's rectangle in client coordinates.
struct AreaCase {
  Rect page;
  int32_t clientWidth, clientHeight;
  Rect client;
};
void PrintTo(const AreaCase& c, std::ostream* os) {
  *os << c.page.left << "," << c.page.top << "," << c.page.right << "," << c.page.bottom << " in "
      << c.clientWidth << "x" << c.clientHeight;
}

class UpdateArea : public testing::TestWithParam<AreaCase> {};

TEST_P(UpdateArea, IsScaledToTheClientAreaOneFurther) {
  const AreaCase& c = GetParam();
  Rect got = ClientAreaOf(c.page, 640, 480, c.clientWidth, c.clientHeight);
  EXPECT_EQ(got.left, c.client.left);
  EXPECT_EQ(got.top, c.client.top);
  EXPECT_EQ(got.right, c.client.right);
  EXPECT_EQ(got.bottom, c.client.bottom);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UpdateArea,
    testing::Values(AreaCase{{10, 10, 20, 20}, 1280, 960, {20, 20, 41, 41}},     // twice the size
                    AreaCase{{10, 10, 20, 20}, 640, 480, {10, 10, 20, 20}},      // same size: as it is
                    AreaCase{{0, 0, 640, 480}, 1280, 960, {0, 0, 1280, 960}},    // clipped to the client
                    AreaCase{{0, 0, 640, 480}, 320, 240, {0, 0, 320, 240}},      // halved
                    AreaCase{{101, 51, 103, 53}, 320, 240, {50, 25, 52, 27}}));  // truncated, then + 1

TEST(Overlap, EmptyWhenTheRectanglesDoNotMeet) {
  Rect r = Overlap(Rect{0, 0, 10, 10}, Rect{10, 0, 20, 10});
  EXPECT_TRUE(NoArea(r));
  EXPECT_EQ(r.right, 0);
  Rect reversed = Overlap(Rect{20, 20, 10, 10}, Rect{0, 0, 640, 480});
  EXPECT_TRUE(NoArea(reversed));
}

TEST(FullScreenBox, WholeFactorsWhereTheyFitElseTheShapeKeptElseStretched) {
  using platform::FrameBox;
  using platform::FullScreenScale;
  auto same = [](FrameBox a, FrameBox b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  };
  EXPECT_TRUE(same(platform::FullScreenBox(640, 480, 1920, 1080, FullScreenScale::kFit),
                   FrameBox{320, 60, 1600, 1020}));
  EXPECT_TRUE(same(platform::FullScreenBox(640, 480, 1024, 768, FullScreenScale::kFit),
                   FrameBox{192, 144, 832, 624}));
  // Larger than the screen: shrunk to its width, bars above and below.
  EXPECT_TRUE(same(platform::FullScreenBox(1600, 800, 1024, 768, FullScreenScale::kFit),
                   FrameBox{0, 128, 1024, 640}));
  // ... or to its height, bars left and right.
  EXPECT_TRUE(
      same(platform::FullScreenBox(800, 1600, 1024, 768, FullScreenScale::kFit), FrameBox{320, 0, 704, 768}));
  EXPECT_TRUE(same(platform::FullScreenBox(640, 480, 1920, 1080, FullScreenScale::kStretch),
                   FrameBox{0, 0, 1920, 1080}));
}

}  // namespace
}  // namespace qavz
