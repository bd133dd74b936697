#include "core/report_error.h"

#include <gtest/gtest.h>

#include <string>

#include "core/config.h"

namespace qavz {
namespace {

std::string gShown;
int gBoxes = 0;

int FakeBox(const char* text) {
  gShown = text;
  ++gBoxes;
  return 1;
}

struct LevelCase {
  int configured;  // "Error"
  unsigned level;
  bool shown;
};
void PrintTo(const LevelCase& c, std::ostream* os) {
  *os << "Error=" << c.configured << " level " << c.level;
}

class ReportErrorLevels : public testing::TestWithParam<LevelCase> {
 protected:
  void SetUp() override {
    SetHeadless(false);
    SetErrorBox(FakeBox);
    gBoxes = 0;
  }
  void TearDown() override { SetErrorBox(nullptr); }
};

TEST_P(ReportErrorLevels, ShowsABoxOnlyUpToTheConfiguredLevel) {
  SetErrorLevel(GetParam().configured);
  int result = ReportError(GetParam().level, "failure %d", 7);
  EXPECT_EQ(gBoxes, GetParam().shown ? 1 : 0);
  EXPECT_EQ(result, GetParam().shown ? 1 : 0);
  if (GetParam().shown) {
    EXPECT_EQ(gShown, "failure 7");
  }
}

INSTANTIATE_TEST_SUITE_P(ErrorKey, ReportErrorLevels,
                         testing::Values(LevelCase{0, 1, false}, LevelCase{0, 2, false},
                                         LevelCase{1, 1, true}, LevelCase{1, 2, false}, LevelCase{2, 1, true},
                                         LevelCase{2, 2, true}, LevelCase{-1, 1, false},
                                         LevelCase{-1, 2, false}));

TEST(ReportError, TextIsCutToTheBufferWithoutSplittingACharacter) {
  SetHeadless(false);
  SetErrorBox(FakeBox);
  SetErrorLevel(1);
  std::string kana;
  for (int i = 0; i < 100; ++i) kana += "あ";  // 300 bytes of UTF-8
  ReportError(1, "x%s", kana.c_str());
  EXPECT_EQ(gShown.size(), 253u) << "'x' and 84 whole characters of the 255 bytes that fit";
  EXPECT_EQ(gShown.substr(gShown.size() - 3), "あ");
  SetErrorBox(nullptr);
}

TEST(ReportError, HeadlessGivesOkWithoutABoxAndWritesTheLineToStandardError) {
  SetErrorBox(FakeBox);
  SetErrorLevel(2);
  SetHeadless(true);
  gBoxes = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(ReportError(2, "data file %s", "a.bmp"), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "data file a.bmp\n");
  EXPECT_EQ(gBoxes, 0);
  SetHeadless(false);
  SetErrorBox(nullptr);
}

}  // namespace
}  // namespace qavz
