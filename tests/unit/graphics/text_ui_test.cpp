// Text in the runtime's own windows: widths of the default face and drawing
// that stays inside its clip box.
#include <gtest/gtest.h>

#include <vector>

#include "graphics/ui_text.h"

namespace qavz {
namespace {

TEST(UiText, HalfAndFullWidthAdvances) {
  EXPECT_EQ(UiLineHeight(), 16);
  EXPECT_EQ(UiTextWidth("ABC"), 24);
  EXPECT_EQ(UiTextWidth("漢字"), 32);
  EXPECT_EQ(UiTextWidth(""), 0);
  EXPECT_EQ(UiTextWidth("\xFF"), UiTextWidth("\xEF\xBF\xBD")) << "a broken byte is U+FFFD";
}

TEST(UiText, DrawsGreyEdgesInsideTheClip) {
  constexpr int32_t w = 64, h = 24;
  std::vector<uint32_t> pixels(w * h, 0xFFFFFF);
  UiCanvas canvas{pixels.data(), w, h, w, Rect{4, 2, 40, 20}};
  ASSERT_TRUE(DrawUiText(canvas, -3, 1, "W漢字あ", 0x000000));
  int dark = 0, grey = 0;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint32_t p = pixels[size_t(y * w + x)];
      if (x < 4 || x >= 40 || y < 2 || y >= 20) {
        EXPECT_EQ(p, 0xFFFFFFu) << x << "," << y;
        continue;
      }
      dark += p == 0;
      grey += p != 0 && p != 0xFFFFFF;
    }
  EXPECT_GT(dark, 20);
  EXPECT_GT(grey, 20);
}

}  // namespace
}  // namespace qavz
