// The runtime's own message box: the Windows button sets and results, and a
// Japanese face that can draw every message the runtime shows.
#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qavz::platform {
namespace {

struct BoxCase {
  unsigned type;
  std::vector<int> results;  // button results in order
  int closeResult;           // Escape and the close button
  int defaultButton;
};

class StandardBoxes : public testing::TestWithParam<BoxCase> {};

TEST_P(StandardBoxes, HaveTheWindowsButtonsAndResults) {
  BoxSpec spec = StandardBox("c", "t", GetParam().type);
  std::vector<int> results;
  for (const BoxButton& b : spec.buttons) results.push_back(b.result);
  EXPECT_EQ(results, GetParam().results);
  EXPECT_EQ(spec.closeResult, GetParam().closeResult);
  EXPECT_EQ(spec.defaultButton, GetParam().defaultButton);
}

INSTANTIATE_TEST_SUITE_P(Types, StandardBoxes,
                         testing::Values(BoxCase{0, {1}, 1, 0}, BoxCase{1, {1, 2}, 2, 0},
                                         BoxCase{2, {3, 4, 5}, 3, 0}, BoxCase{3, {6, 7, 2}, 2, 0},
                                         BoxCase{4, {6, 7}, 7, 0}, BoxCase{5, {4, 2}, 2, 0},
                                         BoxCase{6, {2, 10, 11}, 2, 0},
                                         BoxCase{0x104, {6, 7}, 7, 1},  // second button as default
                                         BoxCase{0x200, {1}, 1, 0}));   // no third button: the last

// The set-up installs a Japanese face; the messages and labels need it whole.
TEST(BoxFont, TheJapaneseFaceCoversTheRuntimesTexts) {
  ASSERT_FALSE(JapaneseFontFile().empty()) << "no Japanese font: the set-up installs fonts-ipafont-gothic";
  for (const char* text :
       {"QAV ERROR : Error", "プログラム領域をオーバーしました", "定義されていない文字列です。",
        "LoadPlane : 画像ファイルの読み込みに失敗しました。", "キャンセル", "はい(&Y)", "いいえ(&N)",
        "中止(&A)", "再試行(&R)", "無視(&I)", "再実行(&T)", "続行(&C)"})
    EXPECT_TRUE(FontCoversText(text)) << text;
}

}  // namespace
}  // namespace qavz::platform
