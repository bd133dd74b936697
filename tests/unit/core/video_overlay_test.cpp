// The media video picture over the window: scaled into its rectangle of the
// frame, clipped to what is painted, mapped onto a stretched frame, and the
// paints it asks for when it moves or goes.
#include "core/video_overlay.h"

#include <gtest/gtest.h>

#include <vector>

namespace qavz {
namespace {

std::vector<std::vector<int32_t>> gPaints;
void RecordPaint(int32_t left, int32_t top, int32_t right, int32_t bottom) noexcept {
  gPaints.push_back({left, top, right, bottom});
}

class VideoOverlay : public ::testing::Test {
 protected:
  void SetUp() override {
    gPaints.clear();
    InstallVideoWindow(VideoWindow{RecordPaint, nullptr});
  }
  void TearDown() override {
    HideVideoPicture();
    InstallVideoWindow(VideoWindow{nullptr, nullptr});
  }
  // A 2 x 2 picture: 1 2 / 3 4.
  const std::vector<uint32_t> picture_{1, 2, 3, 4};
};

TEST_F(VideoOverlay, PictureIsScaledIntoItsRectangle) {
  ShowVideoPicture(picture_.data(), 2, 2, 2, 1, 6, 5);
  std::vector<uint32_t> frame(8 * 6, 0xAA);
  DrawVideoPicture(frame.data(), 8, 6, 8, 6, 0, 0, 8, 6);
  const uint32_t expected[6][8] = {
      {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA},
      {0xAA, 0xAA, 1, 1, 2, 2, 0xAA, 0xAA},
      {0xAA, 0xAA, 1, 1, 2, 2, 0xAA, 0xAA},
      {0xAA, 0xAA, 3, 3, 4, 4, 0xAA, 0xAA},
      {0xAA, 0xAA, 3, 3, 4, 4, 0xAA, 0xAA},
      {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA},
  };
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(frame[size_t(y * 8 + x)], expected[y][x]) << x << "," << y;
}

TEST_F(VideoOverlay, OnlyThePaintedPartIsDrawn) {
  ShowVideoPicture(picture_.data(), 2, 2, -2, -2, 4, 4);  // partly outside
  std::vector<uint32_t> frame(4 * 4, 0);
  DrawVideoPicture(frame.data(), 4, 4, 4, 4, 0, 0, 2, 4);
  EXPECT_EQ(frame[0], 1u);   // (0,0) lies in the picture's first quarter
  EXPECT_EQ(frame[1], 2u);   // (1,1) maps to column 1
  EXPECT_EQ(frame[2], 0u);   // outside the clip
  EXPECT_EQ(frame[12], 3u);  // (0,3)
}

TEST_F(VideoOverlay, StretchedFrameTakesTheRectangleScaled) {
  // The client area is twice the frame: client (4..8, 2..6) is frame (2..4, 1..3).
  ShowVideoPicture(picture_.data(), 2, 2, 4, 2, 8, 6);
  std::vector<uint32_t> frame(5 * 4, 0);
  DrawVideoPicture(frame.data(), 5, 4, 10, 8, 0, 0, 5, 4);
  EXPECT_EQ(frame[1 * 5 + 2], 1u);
  EXPECT_EQ(frame[1 * 5 + 3], 2u);
  EXPECT_EQ(frame[2 * 5 + 2], 3u);
  EXPECT_EQ(frame[2 * 5 + 3], 4u);
  EXPECT_EQ(frame[1 * 5 + 4], 0u);
}

TEST_F(VideoOverlay, MovingAndHidingAskForPaints) {
  ShowVideoPicture(picture_.data(), 2, 2, 0, 0, 10, 10);
  ShowVideoPicture(picture_.data(), 2, 2, 0, 0, 10, 10);
  ShowVideoPicture(picture_.data(), 2, 2, 5, 5, 20, 20);
  HideVideoPicture();
  HideVideoPicture();  // nothing shown: nothing to paint
  std::vector<std::vector<int32_t>> want = {
      {0, 0, 10, 10}, {0, 0, 10, 10}, {0, 0, 10, 10}, {5, 5, 20, 20}, {5, 5, 20, 20}};
  EXPECT_EQ(gPaints, want);
  std::vector<uint32_t> frame(4, 7);
  DrawVideoPicture(frame.data(), 2, 2, 2, 2, 0, 0, 2, 2);
  EXPECT_EQ(frame, std::vector<uint32_t>(4, 7u));  // hidden: the page shows
  EXPECT_FALSE(CurrentVideoPicture(nullptr));
}

}  // namespace
}  // namespace qavz
