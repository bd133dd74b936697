// The debug output window's list on the null driver: the extent rule (lines
// measured by the text engine), the scrolling that keeps the newest line in
// view, the clear button, F8 and closing, and its built-in font's measures.
#include "host/debug_window.h"

#include <gtest/gtest.h>

#include "graphics/ui_text.h"
#include "host/bitmap_font.h"

namespace qavz {
namespace {

class DebugWindow : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(CreateDebugWindow()); }
  void TearDown() override { DestroyDebugWindow(); }
  static void Key(uint8_t key, uint8_t modifiers = 0) {
    platform::Event e;
    e.kind = platform::EventKind::kKeyDown;
    e.window = platform::kDebugWindow;
    e.key = key;
    e.modifiers = modifiers;
    HandleDebugWindowEvent(e);
  }
};

TEST_F(DebugWindow, OnlyAWiderLineMovesTheExtent) {
  ASSERT_TRUE(UiTextAvailable()) << "the set-up installs fonts-ipafont-gothic";
  AppendDebugLine("four");
  EXPECT_EQ(DebugList().extent, 4 * 8 + 5) << "half-width characters of 8 pixels";
  AppendDebugLine("ab");
  EXPECT_EQ(DebugList().widest, 4 * 8) << "a narrower line leaves it";
  AppendDebugLine("\xE3\x82\xB2 wide");  // one full-width character and five half-width
  EXPECT_EQ(DebugList().widest, 16 + 5 * 8);
  EXPECT_EQ(DebugList().lines, 3u);
}

TEST_F(DebugWindow, TheNewestLineStaysInViewAndClearEmptiesAll) {
  for (int i = 0; i < 200; ++i) AppendDebugLine("line " + std::to_string(i));
  DebugListState s = DebugList();
  ASSERT_EQ(s.lines, 200u);
  size_t visible = 200 - s.topIndex;
  EXPECT_GT(visible, 1u);
  EXPECT_LT(visible, 40u) << "scrolled to the end, as far as the list scrolls";
  Key(platform::kVkHome);
  EXPECT_EQ(DebugList().topIndex, 0u);
  AppendDebugLine("newest");
  EXPECT_EQ(DebugList().topIndex, 201 - visible);
  Key('C', platform::kModAlt);  // the button's access key
  s = DebugList();
  EXPECT_EQ(s.lines, 0u);
  EXPECT_EQ(s.widest, 0);
  EXPECT_EQ(s.extent, 0);
  EXPECT_EQ(s.topIndex, 0u);
}

TEST_F(DebugWindow, F8TogglesAndClosingOnlyHides) {
  EXPECT_FALSE(DebugList().shown) << "created hidden";
  ToggleDebugWindow();
  EXPECT_TRUE(DebugList().shown);
  platform::Event close;
  close.kind = platform::EventKind::kClose;
  close.window = platform::kDebugWindow;
  HandleDebugWindowEvent(close);
  EXPECT_FALSE(DebugList().shown);
  EXPECT_TRUE(DebugWindowExists());
  Key(platform::kVkF8);
  EXPECT_TRUE(DebugList().shown);
  Key('X', platform::kModAlt);
  EXPECT_FALSE(DebugList().shown);
}

TEST(BitmapFont, AsciiTakesOneCellAndEverythingElseTwo) {
  EXPECT_EQ(TextWidth("", 1), 0);
  EXPECT_EQ(TextWidth("abc", 1), 3 * kFontCellWidth);
  EXPECT_EQ(TextWidth("\xE3\x82\xAF\xE3\x83\xAA", 1), 4 * kFontCellWidth) << "two katakana";
  EXPECT_EQ(TextWidth("\xFF", 2), 2 * kFontCellWidth * 2) << "a bad byte is one replacement character";
  size_t i = 0;
  EXPECT_EQ(NextCodePoint("\xE3\x82", i), 0xFFFDu) << "cut short";
}

}  // namespace
}  // namespace qavz
