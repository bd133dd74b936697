// CD audio on a disc made of track files: the table of contents (from the
// files or a cue sheet), repeat modes, fades on the timer, positions, the
// door, and the results without the device.
#include "sound/cd_player.h"

#include <map>
#include <thread>

#include "sound/cd_disc.h"
#include "sound/cue_sheet.h"
#include "sound_test_support.h"

namespace qavz::test {
namespace {

constexpr int kCdRate = 8000;

std::string Silence(int seconds) {
  return PcmWave(1, kCdRate, std::vector<int16_t>(size_t(seconds) * kCdRate, 0));
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class Cd : public ::testing::Test {
 protected:
  // Tracks 1, 2 and 4 are audio (20, 30 and 25 s); track 3 has no file.
  void SetUp() override {
    SetHeadless(true);
    platform::ConfigureLoopback(44100, true);
    WriteFile(dir_ / "track01.wav", Silence(20));
    WriteFile(dir_ / "Track02.WAV", Silence(30));
    WriteFile(dir_ / "track04.wav", Silence(25));
    SetCdFolderForTests(dir_.path());
    ASSERT_TRUE(StartCdAudio());
    SetCdManualTimer(true);
  }
  void TearDown() override {
    StopCdAudio();
    SetCdManualTimer(false);
    SetCdFolderForTests("");
  }
  TempDir dir_;
};

TEST_F(Cd, TableOfContentsFromTrackFiles) {
  EXPECT_EQ(Op_cd_getlen(1, 0), 20);
  EXPECT_EQ(Op_cd_getlen(2, 0), 30);
  EXPECT_EQ(Op_cd_getlen(3, 0), 0);
  EXPECT_EQ(Op_cd_getlen(4, 0), 25);
  EXPECT_EQ(Op_cd_getlen(5, 0), 0);
  EXPECT_EQ(Op_cd_getlen(-1, 0), 0);
  EXPECT_EQ(Op_cd_getlen(0, 0), 75);
}

TEST_F(Cd, PlayChecksTheTrack) {
  EXPECT_EQ(Op_cd_play(0, 0), 0);
  EXPECT_EQ(Op_cd_play(5, 0), 0);
  EXPECT_EQ(Op_cd_play(3, 0), 0);  // a data track
  EXPECT_EQ(Op_cd_isplay(0, 0), 0);
  EXPECT_EQ(Op_cd_play(2, 0), 1);
  EXPECT_EQ(Op_cd_isplay(0, 0), 1);
  EXPECT_EQ(CdCurrentTrack(), 2);
}

struct RepeatCase {
  int32_t mode, from, next;  // next 0: stopped
};
class CdRepeat : public Cd, public ::testing::WithParamInterface<RepeatCase> {};

TEST_P(CdRepeat, WhatFollowsATrack) {
  const RepeatCase c = GetParam();
  Op_cd_repeat(c.mode, 0);
  ASSERT_EQ(Op_cd_play(c.from, 0), 1);
  CdTrackFinished();
  EXPECT_EQ(CdCurrentTrack(), c.next);
  EXPECT_EQ(Op_cd_isplay(0, 0), c.next ? 1 : 0);
}
INSTANTIATE_TEST_SUITE_P(Modes, CdRepeat,
                         ::testing::Values(RepeatCase{0, 1, 0}, RepeatCase{1, 2, 2}, RepeatCase{2, 1, 2},
                                           RepeatCase{2, 2, 4},  // the data track is passed over
                                           RepeatCase{2, 4, 0}, RepeatCase{3, 4, 1}, RepeatCase{3, 2, 4},
                                           RepeatCase{9, 1, 0}));

TEST_F(Cd, RepeatGivesThePreviousMode) {
  EXPECT_EQ(Op_cd_repeat(1, 0), 0);
  EXPECT_EQ(Op_cd_repeat(3, 0), 1);
  EXPECT_EQ(Op_cd_repeat(0, 0), 3);
}

TEST_F(Cd, FadeInOver3200msTakes32TicksOf100ms) {
  ASSERT_EQ(Op_cd_play(1, 3200), 1);
  EXPECT_EQ(CdTimerPeriod(), 100);
  EXPECT_EQ(CdFadeLevel(), 0);
  EXPECT_EQ(CdControlValue(), 0);
  for (int tick = 1; tick <= 31; ++tick) {
    CdTimerTick();
    EXPECT_EQ(CdFadeLevel(), tick * 313) << tick;
  }
  EXPECT_NE(CdTimerPeriod(), 0);
  CdTimerTick();  // the 32nd reaches full level and ends the timer
  EXPECT_EQ(CdFadeLevel(), 10000);
  EXPECT_EQ(CdTimerPeriod(), 0);
  EXPECT_EQ(CdControlValue(), CdControlStartValue());
}

TEST_F(Cd, VolumeDuringAFadeScalesTheControlAtFullLevel) {
  ASSERT_EQ(Op_cd_play(1, 3200), 1);
  for (int tick = 0; tick < 10; ++tick) CdTimerTick();
  EXPECT_EQ(Op_cd_setvol(0, 50), 1);
  EXPECT_EQ(Op_cd_getvol(0, 0), 50);
  // 65535 x 3130 / 10000 x 50 / 100, in that order.
  EXPECT_EQ(CdControlValue(), 65535 * 3130 / 10000 * 50 / 100);
  for (int tick = 0; tick < 40; ++tick) CdTimerTick();
  EXPECT_EQ(CdControlValue(), CdControlStartValue() / 2);
  Op_cd_setvol(0, 500);
  EXPECT_EQ(Op_cd_getvol(0, 0), 100);
}

TEST_F(Cd, FadeOutStopsTheTrackAndRestoresTheLevel) {
  ASSERT_EQ(Op_cd_play(2, 0), 1);
  EXPECT_EQ(Op_cd_stop(0, 640), 1);
  EXPECT_EQ(CdTimerPeriod(), 20);
  for (int tick = 1; tick < 32; ++tick) CdTimerTick();
  EXPECT_EQ(CdFadeLevel(), 10000 - 31 * 313);
  EXPECT_EQ(Op_cd_isplay(0, 0), 1);
  CdTimerTick();
  EXPECT_EQ(Op_cd_isplay(0, 0), 0);
  EXPECT_EQ(CdFadeLevel(), 10000);
  EXPECT_EQ(Op_cd_stop(0, 0), 1);  // nothing plays
}

TEST_F(Cd, PlayWithoutFadeAfterAFadeIsAtFullLevel) {
  ASSERT_EQ(Op_cd_play(1, 1000), 1);
  CdTimerTick();
  ASSERT_EQ(Op_cd_play(2, 0), 1);
  EXPECT_EQ(CdFadeLevel(), 10000);
  EXPECT_EQ(CdTimerPeriod(), 0);
}

TEST_F(Cd, PausesCountAndPositionsFollowTheKinds) {
  ASSERT_EQ(Op_cd_play(2, 0), 1);
  Sleep(1500);  // whole seconds: 1 from 1.0 to 1.99 s played
  EXPECT_EQ(Op_cd_getpos(0, 0), 1);
  EXPECT_EQ(Op_cd_getpos(0, 3), 1);
  EXPECT_EQ(Op_cd_getpos(0, 1), 30 - 1 - 2);
  EXPECT_EQ(Op_cd_getpos(0, 2), 1 + (20 - 2));
  EXPECT_EQ(Op_cd_pause(0, 0), 1);
  EXPECT_EQ(Op_cd_pause(0, 0), 1);
  EXPECT_EQ(Op_cd_isplay(0, 0), 0);
  Sleep(1000);
  EXPECT_EQ(Op_cd_replay(0, 0), 1);
  EXPECT_EQ(Op_cd_isplay(0, 0), 0);
  EXPECT_EQ(Op_cd_replay(0, 0), 1);
  EXPECT_EQ(Op_cd_isplay(0, 0), 1);
  EXPECT_EQ(Op_cd_getpos(0, 0), 1);  // the pause kept the place
  Op_cd_stop(0, 0);
  EXPECT_EQ(Op_cd_getpos(0, 0), 0);
}

TEST_F(Cd, EjectTakesTheDiscOutAndPutsItBack) {
  ASSERT_EQ(Op_cd_play(1, 0), 1);
  EXPECT_EQ(Op_cd_eject(0, 0), 1);
  EXPECT_EQ(Op_cd_isplay(0, 0), 0);
  EXPECT_EQ(Op_cd_getlen(0, 0), 0);
  EXPECT_EQ(Op_cd_play(1, 0), 0);
  EXPECT_EQ(Op_cd_eject(0, 0), 1);
  EXPECT_EQ(Op_cd_getlen(0, 0), 75);
  EXPECT_EQ(Op_cd_play(1, 0), 1);
}

TEST_F(Cd, ATrackPlaysToItsEnd) {
  WriteFile(dir_ / "track01.wav", PcmWave(1, kCdRate, std::vector<int16_t>(kCdRate / 2, 100)));
  Op_cd_eject(0, 0);
  Op_cd_eject(0, 0);
  SetCdManualTimer(false);
  ASSERT_EQ(Op_cd_play(1, 0), 1);
  Sleep(1500);
  EXPECT_EQ(Op_cd_isplay(0, 0), 0);  // mode 0: stopped at the end
}

TEST(CdOff, ResultsWithoutTheDevice) {
  EXPECT_EQ(Op_cd_play(1, 0), 0);
  EXPECT_EQ(Op_cd_stop(0, 0), 0);
  EXPECT_EQ(Op_cd_pause(0, 0), 0);
  EXPECT_EQ(Op_cd_replay(0, 0), 0);
  EXPECT_EQ(Op_cd_isplay(0, 0), 0);
  EXPECT_EQ(Op_cd_getpos(0, 0), 0);
  EXPECT_EQ(Op_cd_getlen(0, 0), 0);
  EXPECT_EQ(Op_cd_eject(0, 0), 0);
}

// Cue sheets, with the files' lengths given by a stand-in probe.
std::map<std::string, double> gLengths;
double FakeProbe(const std::string& path) {
  auto it = gLengths.find(std::filesystem::path(path).filename().string());
  return it == gLengths.end() ? -1 : it->second;
}

TEST(CdCueSheet, TrackLengthsComeFromTheIndexes) {
  TempDir dir;
  WriteFile(
      dir / "disc.cue",
      "REM a disc image\r\nFILE \"Disc Image.wav\" WAVE\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
      "  TRACK 02 MODE1/2352\r\n    INDEX 01 00:03:00\r\n  TRACK 03 AUDIO\r\n    INDEX 00 00:05:00\r\n"
      "    INDEX 01 00:05:37\r\n");
  WriteFile(dir / "disc image.wav", "");
  WriteFile(dir / "track03.ogg", "");
  gLengths = {{"disc image.wav", 9.0}, {"track03.ogg", 3.6}};
  CdDisc disc = ReadCdDisc(dir.path(), FakeProbe);
  ASSERT_EQ(disc.tracks.size(), 3u);
  EXPECT_TRUE(disc.tracks[0].audio);
  EXPECT_FALSE(disc.tracks[1].audio);
  EXPECT_TRUE(disc.tracks[2].audio);
  EXPECT_EQ(disc.tracks[0].seconds, 3);
  EXPECT_EQ(disc.tracks[1].seconds, 2);  // 2 s 37 frames
  EXPECT_EQ(disc.tracks[2].seconds, 3);  // 9 s less 5 s 37 frames
  EXPECT_EQ(disc.TotalSeconds(), 8);
  // Track 1 plays its part of the image, track 3 its own file.
  EXPECT_EQ(std::filesystem::path(disc.tracks[0].path).filename(), "disc image.wav");
  EXPECT_DOUBLE_EQ(disc.tracks[0].length, 3.0);
  EXPECT_EQ(std::filesystem::path(disc.tracks[2].path).filename(), "track03.ogg");
}

TEST(CdCueSheet, MalformedSheetsAreRefused) {
  CueSheet sheet;
  for (const char* bad :
       {"", "TRACK 01 AUDIO\nINDEX 01 00:00:00\n", "FILE a.wav WAVE\nTRACK 01 AUDIO\n",
        "FILE a.wav WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\nTRACK 01 AUDIO\nINDEX 01 00:01:00\n",
        "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:60:00\n",
        "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:75\n",
        "FILE a.wav WAVE\nTRACK 100 AUDIO\nINDEX 01 00:00:00\n",
        "FILE \"a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"})
    EXPECT_FALSE(ParseCueSheet(bad, sheet)) << bad;
}

TEST(CdCueSheet, WithoutAUsableSheetTheTrackFilesMakeTheDisc) {
  TempDir dir;
  WriteFile(dir / "broken.cue", "FILE x.wav WAVE\nTRACK 01 AUDIO\n");
  WriteFile(dir / "track02.flac", "");
  gLengths = {{"track02.flac", 61.9}};
  CdDisc disc = ReadCdDisc(dir.path(), FakeProbe);
  ASSERT_EQ(disc.tracks.size(), 2u);
  EXPECT_FALSE(disc.tracks[0].audio);
  EXPECT_EQ(disc.tracks[1].seconds, 61);
}

}  // namespace
}  // namespace qavz::test
