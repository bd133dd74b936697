// MIDI through its window-thread operations on the real-time loopback: the
// volume tool's scaling, pause counts, positions across pause and repeat,
// and what every operation gives without the device.
#include "sound/midi_player.h"

#include <atomic>
#include <cmath>
#include <thread>

#include "platform/midi_synth.h"
#include "sound_test_support.h"

namespace qavz::test {
namespace {

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The loudest sample the real-time loopback has mixed.
std::atomic<float> gPeak{0};
void Peak(const float* samples, int frames, void*) {
  for (int i = 0; i < frames * 2; ++i) gPeak = std::max(gPeak.load(), std::fabs(samples[i]));
}

class Midi : public ::testing::Test {
 protected:
  void SetUp() override {
    SetHeadless(true);
    platform::ConfigureLoopback(44100, true);
    ASSERT_TRUE(StartMidiOutput());
  }
  void TearDown() override { StopMidiOutput(); }
  int32_t Load(const std::string& bytes) {
    std::string path = dir_ / "piece.mid";
    WriteFile(path, bytes);
    return Op_midi_load(0, int32_t(memory_.Str(path)));
  }
  TempDir dir_;
  ScriptMemory memory_;
};

TEST(MidiVolumeTool, StoresAndScalesChannelVolume) {
  MidiVolumeTool tool;
  EXPECT_EQ(tool.Process(1, 7, 100), 100);
  EXPECT_EQ(tool.Process(1, 10, 33), 33);  // other controllers pass unchanged
  int channels[16];
  tool.SetVolume(50, channels);
  EXPECT_EQ(channels[1], 50);  // set by the piece: 100 x 50 x 100 / 10000
  EXPECT_EQ(channels[2], 63);  // never set: 127 x 50 x 100 / 10000
  EXPECT_EQ(tool.Process(3, 7, 90), 45);
  tool.SetVolume(0, channels);
  EXPECT_EQ(channels[3], 0);
  EXPECT_EQ(tool.Volume(), 0);
}

TEST_F(Midi, VolumeScalesSetAndUnsetChannels) {
  ASSERT_EQ(Load(TestPiece(3000)), 1);
  EXPECT_EQ(Op_midi_getvol(0, 0), 100);
  EXPECT_EQ(Op_midi_setvol(0, 50), 1);
  EXPECT_EQ(Op_midi_getvol(0, 0), 50);
  EXPECT_EQ(platform::MidiControlValue(2, 7), 63);
  gPeak = 0;
  platform::SetMixTap(Peak, nullptr);
  EXPECT_EQ(Op_midi_play(0, 0), 1);
  Sleep(300);
  platform::SetMixTap(nullptr, nullptr);
  EXPECT_GT(gPeak.load(), 0.01f);  // the notes sound
  EXPECT_EQ(Op_midi_isplay(0, 0), 1);
  // The piece set channel 1 to 100: the tool passed 50 on.
  EXPECT_EQ(platform::MidiControlValue(1, 7), 50);
  EXPECT_EQ(platform::MidiControlValue(2, 7), 63);
  Op_midi_setvol(0, 150);  // clamped to 100
  EXPECT_EQ(Op_midi_getvol(0, 0), 100);
  EXPECT_EQ(platform::MidiControlValue(1, 7), 100);
  EXPECT_EQ(platform::MidiControlValue(2, 7), 127);
}

// Positions come from what the output has played: the bounds are coarse,
// as a loaded machine may render late.
TEST_F(Midi, PauseKeepsThePositionAndTwoPausesNeedTwoReplays) {
  ASSERT_EQ(Load(TestPiece(4000)), 1);
  auto start = std::chrono::steady_clock::now();
  Op_midi_play(0, 0);
  Sleep(600);
  int32_t paused = Op_midi_getpos(0, 0);
  // A loaded machine oversleeps: the position is bounded by the time that really passed.
  auto passed =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_GT(paused, 250);
  EXPECT_LT(paused, passed.count() + 400);
  EXPECT_EQ(Op_midi_pause(0, 0), 1);
  EXPECT_EQ(Op_midi_pause(0, 0), 1);
  EXPECT_EQ(Op_midi_isplay(0, 0), 0);
  EXPECT_EQ(Op_midi_getpos(0, 0), 0);
  Sleep(400);
  EXPECT_EQ(Op_midi_replay(0, 0), 1);
  EXPECT_EQ(Op_midi_isplay(0, 0), 0);
  EXPECT_EQ(Op_midi_replay(0, 0), 1);
  EXPECT_EQ(Op_midi_isplay(0, 0), 1);
  EXPECT_NEAR(Op_midi_getpos(0, 0), paused, 100);  // on from where it paused
  Sleep(400);
  EXPECT_GT(Op_midi_getpos(0, 0), paused + 150);
  // Stop goes back to the start.
  EXPECT_EQ(Op_midi_stop(0, 0), 1);
  EXPECT_EQ(Op_midi_isplay(0, 0), 0);
  Op_midi_play(0, 0);
  EXPECT_LT(Op_midi_getpos(0, 0), 150);
}

TEST_F(Midi, RepeatStartsEachPassAtZero) {
  ASSERT_EQ(Load(TestPiece(600)), 1);
  EXPECT_EQ(Op_midi_repeat(1, 0), 1);
  Op_midi_play(0, 0);
  Sleep(1000);
  EXPECT_EQ(Op_midi_isplay(0, 0), 1);
  EXPECT_LT(Op_midi_getpos(0, 0), 600);  // within the pass
  // Without repeat the piece ends.
  Op_midi_repeat(0, 0);
  Op_midi_play(0, 0);
  Sleep(1100);
  EXPECT_EQ(Op_midi_isplay(0, 0), 0);
  EXPECT_EQ(Op_midi_getpos(0, 0), 0);
}

// Whatever the reader lets through, the synthesiser's player takes: a
// piece it refused would turn for ever when repeated.
TEST_F(Midi, PiecesWithSystemMessagesRepeat) {
  std::string events = Ev(0, {0xF0, 5, 0x7E, 0x7F, 0x09, 0x01, 0xF7}) + Ev(0, {0xF7, 2, 0x90, 0x3C}) +
                       Ev(0, {0x90, 60, 90}) + Ev(240, {0x80, 60, 0});
  ASSERT_EQ(Load(Smf(0, 480, {Track(events)})), 1);
  Op_midi_repeat(1, 0);
  EXPECT_EQ(Op_midi_play(0, 0), 1);
  Sleep(700);
  EXPECT_EQ(Op_midi_isplay(0, 0), 1);
  EXPECT_LT(Op_midi_getpos(0, 0), 250);
  Op_midi_repeat(0, 0);
}

TEST_F(Midi, BadFilesLoadNothing) {
  EXPECT_EQ(Load("MThd junk"), 0);
  EXPECT_EQ(Op_midi_getvol(0, 0), 0);
  EXPECT_EQ(Op_midi_play(0, 0), 1);  // no piece: nothing to do
  EXPECT_EQ(Op_midi_isplay(0, 0), 0);
  EXPECT_EQ(Op_midi_load(0, 0), 0);
}

TEST(MidiOff, ResultsWithoutTheDevice) {
  ScriptMemory memory;
  TempDir dir;
  WriteFile(dir / "p.mid", TestPiece(500));
  EXPECT_EQ(Op_midi_load(0, int32_t(memory.Str(dir / "p.mid"))), 0);
  EXPECT_EQ(Op_midi_free(0, 0), 1);
  EXPECT_EQ(Op_midi_play(0, 0), 1);
  EXPECT_EQ(Op_midi_stop(0, 0), 1);
  EXPECT_EQ(Op_midi_pause(0, 0), 1);
  EXPECT_EQ(Op_midi_replay(0, 0), 1);
  EXPECT_EQ(Op_midi_setvol(0, 50), 1);
  EXPECT_EQ(Op_midi_getvol(0, 0), 0);
  EXPECT_EQ(Op_midi_isplay(0, 0), 0);
  EXPECT_EQ(Op_midi_getpos(0, 0), 0);
  EXPECT_EQ(Op_midi_repeat(0, 1), 1);
  Op_midi_repeat(0, 0);
}

}  // namespace
}  // namespace qavz::test
