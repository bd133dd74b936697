// Media files through their window-thread operations: an audio-only file
// and a movie, the first picture and the video rectangle, repeat, pause
// counts, and the reopening around a display-mode switch.
#include "sound/media_player.h"

#include <atomic>
#include <thread>

#include "core/config.h"
#include "core/video_overlay.h"
#include "core/window_link.h"
#include "sound_test_support.h"

namespace qavz::test {
namespace {

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Pictures shown since `from`, and the last one.
uint64_t PicturesSince(uint64_t from, VideoPictureState* last = nullptr) {
  VideoPictureState state;
  CurrentVideoPicture(&state);
  if (last) *last = state;
  return state.pictures - from;
}

class Media : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!HaveFfmpeg()) return;
    const std::string common = "ffmpeg -nostdin -loglevel error -y ";
    RunCommand(common + "-f lavfi -i \"sine=frequency=300:duration=1:sample_rate=22050\" " +
               (dir_ / "tone.ogg"));
    RunCommand(common + "-f lavfi -i \"testsrc=size=64x48:rate=10:duration=1\" -f lavfi -i " +
               "\"sine=frequency=500:duration=1:sample_rate=22050\" -c:v mjpeg -c:a pcm_s16le -shortest " +
               (dir_ / "movie.avi"));
  }
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    SetHeadless(true);
    platform::ConfigureLoopback(44100, true);
    SetMediaStopWait(0);
    SoundMessages().clear();
    SetErrorLevel(1);
    SetErrorBox(CaptureSoundBox);
    VideoPictureState state;
    CurrentVideoPicture(&state);
    pictures_ = state.pictures;
  }
  void TearDown() override {
    Op_media_close(0, 0);
    Op_media_repeat(0, 0);
    Op_media_size(0, 0);
    SetErrorBox(nullptr);
    SetErrorLevel(0);
  }
  int32_t Open(const std::string& name) { return Op_media_open(int32_t(memory_.Str(dir_ / name)), 0); }

  static TempDir dir_;
  ScriptMemory memory_;
  uint64_t pictures_ = 0;
};
TempDir Media::dir_;

TEST_F(Media, AudioOnlyFileOpensWithoutPictures) {
  ASSERT_EQ(Open("tone.ogg"), 1);
  EXPECT_FALSE(MediaHasVideo());
  EXPECT_EQ(Op_media_isplay(0, 0), 0);
  EXPECT_EQ(Op_media_size(0, 0), 1);
  EXPECT_EQ(Op_media_play(0, 0), 1);
  EXPECT_EQ(Op_media_isplay(0, 0), 1);
  Sleep(400);
  EXPECT_GT(MediaPositionSeconds(), 0.3);
  EXPECT_LT(MediaPositionSeconds(), 0.9);
  EXPECT_EQ(PicturesSince(pictures_), 0u);
  EXPECT_FALSE(CurrentVideoPicture(nullptr));
  Sleep(1500);
  EXPECT_EQ(Op_media_isplay(0, 0), 0);  // ended, no repeat
}

TEST_F(Media, MovieShowsItsFirstPictureAndPlaysOverTheRectangle) {
  ASSERT_EQ(Open("movie.avi"), 1);
  EXPECT_TRUE(MediaHasVideo());
  VideoPictureState shown;
  EXPECT_EQ(PicturesSince(pictures_, &shown), 1u);  // ready: the first picture, stopped
  EXPECT_TRUE(CurrentVideoPicture(nullptr));
  EXPECT_EQ(shown.width, 64);
  EXPECT_EQ(shown.right, 640);  // the whole client area
  EXPECT_EQ(shown.bottom, 480);
  ScriptMemory rect;
  Addr r = rect.Args({10, 20, 330, 260});
  EXPECT_EQ(Op_media_size(int32_t(r), 0), 1);
  MediaPlacement p = MediaVideoPlacement();
  EXPECT_EQ(p.left, 10);
  EXPECT_EQ(p.top, 20);
  EXPECT_EQ(p.right, 330);
  EXPECT_EQ(p.bottom, 260);
  Op_media_play(0, 0);
  Sleep(600);
  EXPECT_GE(PicturesSince(pictures_, &shown), 4u);
  EXPECT_EQ(shown.right, 330);
  Op_media_close(0, 0);
  EXPECT_FALSE(CurrentVideoPicture(nullptr));  // closing takes the picture away
}

TEST_F(Media, RepeatRewindsAndKeepsPlaying) {
  ASSERT_EQ(Open("movie.avi"), 1);
  EXPECT_EQ(Op_media_repeat(1, 0), 1);
  Op_media_play(0, 0);
  Sleep(1600);
  EXPECT_EQ(Op_media_isplay(0, 0), 1);
  EXPECT_LT(MediaPositionSeconds(), 1.0);  // rewound once
  Op_media_repeat(0, 0);
  Sleep(1500);
  EXPECT_EQ(Op_media_isplay(0, 0), 0);
}

TEST_F(Media, PauseTwiceNeedsReplayTwice) {
  ASSERT_EQ(Open("tone.ogg"), 1);
  EXPECT_EQ(Op_media_pause(0, 0), 0);   // nothing plays, yet it counts
  EXPECT_EQ(Op_media_replay(0, 0), 0);  // back at 0, nothing to resume
  EXPECT_EQ(Op_media_replay(0, 0), 0);
  Op_media_play(0, 0);
  EXPECT_EQ(Op_media_replay(0, 0), 1);  // never paused: plays on
  Sleep(300);
  EXPECT_EQ(Op_media_pause(0, 0), 1);
  EXPECT_EQ(Op_media_pause(0, 0), 1);
  double held = MediaPositionSeconds();
  Sleep(300);
  EXPECT_NEAR(MediaPositionSeconds(), held, 0.01);
  EXPECT_EQ(Op_media_replay(0, 0), 1);
  Sleep(200);
  EXPECT_NEAR(MediaPositionSeconds(), held, 0.01);
  EXPECT_EQ(Op_media_replay(0, 0), 1);
  Sleep(200);
  EXPECT_GT(MediaPositionSeconds(), held + 0.15);
  EXPECT_LT(MediaPositionSeconds(), held + 0.8);
  EXPECT_EQ(Op_media_isplay(0, 0), 1);
}

TEST_F(Media, DisplaySwitchReopensAtTheSamePlace) {
  ASSERT_EQ(Open("movie.avi"), 1);
  Op_media_play(0, 0);
  Sleep(400);
  double before = MediaPositionSeconds();
  MediaBeforeDisplaySwitch();
  Sleep(200);
  MediaAfterDisplaySwitch();
  EXPECT_EQ(Op_media_isplay(0, 0), 1);
  EXPECT_NEAR(MediaPositionSeconds(), before, 0.25);
  Op_media_pause(0, 0);
  Op_media_pause(0, 0);
  before = MediaPositionSeconds();
  MediaBeforeDisplaySwitch();
  MediaAfterDisplaySwitch();
  Sleep(200);
  EXPECT_NEAR(MediaPositionSeconds(), before, 0.01);  // still paused, twice
  Op_media_replay(0, 0);
  Op_media_replay(0, 0);
  Sleep(200);
  EXPECT_GT(MediaPositionSeconds(), before + 0.1);
}

TEST_F(Media, StopThenPlayStartsOver) {
  ASSERT_EQ(Open("tone.ogg"), 1);
  Op_media_play(0, 0);
  Sleep(300);
  EXPECT_EQ(Op_media_stop(0, 0), 1);
  EXPECT_EQ(Op_media_isplay(0, 0), 0);
  Op_media_play(0, 0);
  EXPECT_LT(MediaPositionSeconds(), 0.1);
  EXPECT_EQ(Op_media_setvol(0, 150), 1);
  EXPECT_EQ(Op_media_setvol(0, 0), 1);
}

TEST_F(Media, WithoutAFile) {
  EXPECT_EQ(Op_media_play(0, 0), 0);
  EXPECT_EQ(Op_media_stop(0, 0), 0);
  EXPECT_EQ(Op_media_pause(0, 0), 0);
  EXPECT_EQ(Op_media_replay(0, 0), 0);
  EXPECT_EQ(Op_media_isplay(0, 0), 0);
  EXPECT_EQ(Op_media_close(0, 0), 1);
  EXPECT_EQ(Op_media_repeat(1, 0), 1);
  EXPECT_EQ(Op_media_size(0, 0), 1);
  EXPECT_EQ(Op_media_setvol(0, 40), 1);
  Op_media_setvol(0, 100);
}

TEST_F(Media, AFileThatIsNotMediaFailsWithItsMessage) {
  WriteFile(dir_ / "junk.avi", std::string(1000, 'x'));
  SetHeadless(false);  // headless, messages go only to standard error
  EXPECT_EQ(Open("junk.avi"), 0);
  EXPECT_EQ(Open("missing.avi"), 0);
  SetHeadless(true);
  ASSERT_EQ(SoundMessages().size(), 2u);
  EXPECT_EQ(SoundMessages()[0], "InitDirectMedia - レンダーファイルのオープンに失敗しました。");
  EXPECT_EQ(Op_media_play(0, 0), 0);
}

}  // namespace
}  // namespace qavz::test

namespace qavz::test {
namespace {

void HalfSizeClient(int32_t* width, int32_t* height) noexcept {
  *width = TheConfig().width / 2;
  *height = TheConfig().height / 2;
}
int32_t MenuBar() noexcept { return 20; }

// The video rectangle: the whole client area, or the script's rectangle
// scaled from the screen (Width x Height) to the client size, moved up by
// the menu offset.
TEST(MediaPlacementTest, RectangleFollowsTheClientArea) {
  ScriptMemory memory;
  Addr rect = memory.Args({100, 60, 300, 200});
  Op_media_size(int32_t(rect), 0);
  MediaPlacement p = MediaVideoPlacement();
  EXPECT_EQ(p.left, 100);
  EXPECT_EQ(p.bottom, 200);
  InstallWindowLink(WindowLink{nullptr, HalfSizeClient});
  InstallVideoWindow(VideoWindow{nullptr, MenuBar});
  p = MediaVideoPlacement();
  EXPECT_EQ(p.left, 50);
  EXPECT_EQ(p.top, 30 - 20);
  EXPECT_EQ(p.right, 150);
  EXPECT_EQ(p.bottom, 100 - 20);
  Op_media_size(0, 0);
  p = MediaVideoPlacement();
  EXPECT_EQ(p.left, 0);
  EXPECT_EQ(p.top, -20);
  EXPECT_EQ(p.right, TheConfig().width / 2);
  EXPECT_EQ(p.bottom, TheConfig().height / 2 - 20);
  // A rectangle outside script memory counts as none.
  Op_media_size(int32_t(0xFFFFFFF0u), 0);
  EXPECT_EQ(MediaVideoPlacement().left, 0);
  InstallVideoWindow(VideoWindow{nullptr, nullptr});
  InstallWindowLink(WindowLink{nullptr, nullptr});
}

}  // namespace
}  // namespace qavz::test
