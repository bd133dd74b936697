// Sound slots through their window-thread operations, heard on the loopback
// output: samples, volumes, pause counts, duplicates, streams and loops.
#include "sound/sound_slots.h"

#include <filesystem>

#include "sound/volume_table.h"
#include "sound_test_support.h"

namespace qavz::test {
namespace {

using SoundSlots = SoundTest;

// Every frame of `mix` from `from` on is `expected(frame)` on both sides.
template <typename Fn>
void ExpectFrames(const std::vector<float>& mix, int from, int count, Fn expected, const char* what) {
  for (int i = 0; i < count; ++i) {
    auto [l, r] = expected(i);
    ASSERT_EQ(At(mix, size_t(from + i) * 2), l) << what << " frame " << i;
    ASSERT_EQ(At(mix, size_t(from + i) * 2 + 1), r) << what << " frame " << i;
  }
}

TEST_F(SoundSlots, StereoPcmPlaysSampleForSample) {
  std::string path = Write("s.wav", PcmWave(2, kRate, RampSamples(3000, 2)));
  ASSERT_EQ(Load(1, path), 1);
  EXPECT_EQ(Op_snd_play(1, 0), 1);
  auto mix = Render(3200);
  ExpectFrames(
      mix, 0, 3000, [](int i) { return std::pair<double, double>(Ramp(i, 0), Ramp(i, 1)); }, "stereo");
  ExpectFrames(
      mix, 3000, 200, [](int) { return std::pair<double, double>(0, 0); }, "after the end");
  EXPECT_EQ(Op_snd_isplay(1, 0), 0);  // a sound that reached its end has stopped
}

TEST_F(SoundSlots, MonoSoundsOnBothSidesAtFullLevel) {
  std::string path = Write("m.wav", PcmWave(1, kRate, RampSamples(1000, 1)));
  ASSERT_EQ(Load(2, path), 1);
  Op_snd_play(2, 0);
  auto mix = Render(1000);
  ExpectFrames(
      mix, 0, 1000, [](int i) { return std::pair<double, double>(Ramp(i), Ramp(i)); }, "mono");
}

TEST_F(SoundSlots, EightBitPcmIsUnsigned) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 512; ++i) bytes.push_back(uint8_t(i));
  ASSERT_EQ(Load(3, Write("e.wav", Pcm8Wave(1, kRate, bytes))), 1);
  Op_snd_play(3, 0);
  auto mix = Render(512);
  ExpectFrames(
      mix, 0, 512,
      [](int i) {
        double v = (uint8_t(i) - 128) * 256.0;
        return std::pair<double, double>(v, v);
      },
      "8-bit");
}

TEST_F(SoundSlots, LoopingStaticSoundWrapsAround) {
  ASSERT_EQ(Load(4, Write("l.wav", PcmWave(2, kRate, RampSamples(1000, 2)))), 1);
  Op_snd_play(4, 1);
  auto mix = Render(2500);
  ExpectFrames(
      mix, 0, 2500, [](int i) { return std::pair<double, double>(Ramp(i % 1000, 0), Ramp(i % 1000, 1)); },
      "loop");
  EXPECT_EQ(Op_snd_isplay(4, 0), 1);
}

struct VolumeCase {
  int32_t volume;
  int32_t hundredths;
};
class SoundVolume : public SoundTest, public ::testing::WithParamInterface<VolumeCase> {};

TEST_P(SoundVolume, TableEntryBecomesTheGain) {
  const VolumeCase c = GetParam();
  EXPECT_EQ(VolumeToHundredths(c.volume), c.hundredths);
  std::vector<int16_t> loud(2 * 4000, 20000);
  ASSERT_EQ(Load(5, Write("v.wav", PcmWave(2, kRate, loud))), 1);
  EXPECT_EQ(Op_snd_setvol(5, c.volume), 0);
  // Volumes 0 and 1 share the entry -10000: reading it back gives 0.
  EXPECT_EQ(Op_snd_getvol(5, 0), c.hundredths == -10000 ? 0 : c.volume);
  Op_snd_play(5, 0);
  auto mix = Render(3000);
  // -100 dB is silence.
  double expected = c.hundredths == -10000 ? 0.0 : 20000.0 * std::pow(10.0, c.hundredths / 2000.0);
  EXPECT_NEAR(At(mix, 2 * 2000), expected, expected * 1e-4 + 1e-3);
}
INSTANTIATE_TEST_SUITE_P(Volumes, SoundVolume,
                         ::testing::Values(VolumeCase{1, -10000}, VolumeCase{10, -5000},
                                           VolumeCase{50, -1505}, VolumeCase{100, 0}));

TEST(VolumeTable, EndsAndInverse) {
  EXPECT_EQ(VolumeToHundredths(0), -10000);
  EXPECT_EQ(VolumeToHundredths(150), 0);
  EXPECT_EQ(VolumeToHundredths(-5), -10000);
  for (int v = 0; v <= 100; ++v) {
    int32_t h = VolumeToHundredths(v);
    EXPECT_EQ(VolumeToHundredths(HundredthsToVolume(h)), h) << v;
  }
  EXPECT_EQ(HundredthsToVolume(-10000), 0);  // entries 0 and 1 are both -10000
  EXPECT_EQ(HundredthsToVolume(0), 100);
  EXPECT_EQ(HundredthsToVolume(-1), 100);
  EXPECT_EQ(MediaVolumeToHundredths(0), -10000);
  EXPECT_EQ(MediaVolumeToHundredths(-3), -10000);
  EXPECT_EQ(MediaVolumeToHundredths(500), 0);
  EXPECT_EQ(MediaVolumeToHundredths(50), -1505);
}

TEST_F(SoundSlots, VolumeOutOfRangeClampsAndLoadsStartFull) {
  std::string path = Write("c.wav", PcmWave(1, kRate, RampSamples(100, 1)));
  ASSERT_EQ(Load(6, path), 1);
  EXPECT_EQ(Op_snd_getvol(6, 0), 100);
  Op_snd_setvol(6, 150);
  EXPECT_EQ(Op_snd_getvol(6, 0), 100);
  Op_snd_setvol(6, -5);
  EXPECT_EQ(Op_snd_getvol(6, 0), 0);
  ASSERT_EQ(Load(6, path), 1);  // volumes are not remembered across loads
  EXPECT_EQ(Op_snd_getvol(6, 0), 100);
  Op_snd_setvol(-1, 30);
  EXPECT_EQ(Op_snd_getvol(6, 0), 30);
}

TEST_F(SoundSlots, PauseTwiceNeedsReplayTwice) {
  ASSERT_EQ(Load(7, Write("p.wav", PcmWave(2, kRate, RampSamples(20000, 2)))), 1);
  Op_snd_play(7, 0);
  Render(1000);
  EXPECT_EQ(Op_snd_pause(7, 0), 1);
  EXPECT_EQ(Op_snd_pause(7, 0), 1);
  EXPECT_EQ(Op_snd_isplay(7, 0), 0);
  EXPECT_EQ(Op_snd_replay(7, 0), 1);
  EXPECT_EQ(Op_snd_isplay(7, 0), 0);
  EXPECT_EQ(Op_snd_replay(7, 0), 1);
  EXPECT_EQ(Op_snd_isplay(7, 0), 1);
  // It went on from where it paused.
  auto mix = Render(10);
  ExpectFrames(
      mix, 0, 10, [](int i) { return std::pair<double, double>(Ramp(1000 + i, 0), Ramp(1000 + i, 1)); },
      "resumed");
  EXPECT_EQ(Op_snd_replay(7, 0), 1);  // never paused now: nothing changes
  EXPECT_EQ(Op_snd_isplay(7, 0), 1);
}

TEST_F(SoundSlots, StopLeavesAPausedSoundPaused) {
  ASSERT_EQ(Load(8, Write("q.wav", PcmWave(2, kRate, RampSamples(20000, 2)))), 1);
  Op_snd_play(8, 0);
  Render(500);
  Op_snd_pause(8, 0);
  EXPECT_EQ(Op_snd_stop(8, 0), 1);
  EXPECT_EQ(Op_snd_replay(8, 0), 1);
  EXPECT_EQ(Op_snd_isplay(8, 0), 1);
  auto mix = Render(5);
  ExpectFrames(
      mix, 0, 5, [](int i) { return std::pair<double, double>(Ramp(500 + i, 0), Ramp(500 + i, 1)); },
      "after stop and replay");
  // A playing sound stops and rewinds: replay has nothing to resume.
  Op_snd_stop(8, 0);
  EXPECT_EQ(Op_snd_isplay(8, 0), 0);
  Op_snd_replay(8, 0);
  EXPECT_EQ(Op_snd_isplay(8, 0), 0);
}

TEST_F(SoundSlots, SecondLoadOfAFileSharesTheFirstOnesData) {
  std::string path = Write("d.wav", PcmWave(2, kRate, RampSamples(4000, 2)));
  ASSERT_EQ(Load(1, path), 1);
  std::filesystem::remove(path);  // the duplicate must not read the file again
  ASSERT_EQ(Load(2, path), 1);
  Op_snd_play(1, 0);
  Render(1000);
  Op_snd_setvol(1, 0);
  Render(500);
  Op_snd_play(2, 0);
  auto mix = Render(100);
  // Slot 1 is silent now (volume 0 is -100 dB), slot 2 plays from its start.
  for (int i = 0; i < 100; ++i) ASSERT_EQ(At(mix, size_t(i) * 2), Ramp(i, 0)) << i;
  // Freeing the first keeps the shared data alive for the second.
  Op_snd_free(1, 0);
  Op_snd_setvol(2, 100);
  mix = Render(10);
  EXPECT_EQ(At(mix, 0), Ramp(100, 0));
  // A different spelling of the same name still counts as the same file.
  for (auto& c : path) c = char(std::toupper(uint8_t(c)));
  EXPECT_EQ(Load(3, path), 1);
}

// Files that must not load: the slot stays free, nothing crashes.
struct BadFile {
  const char* what;
  std::string bytes;
  bool streamLoads = false;  // nothing to decode: only a static buffer is refused
};

std::string AdpcmFormat(uint16_t channels, uint16_t blockAlign, uint16_t samplesPerBlock,
                        uint16_t coefficients) {
  std::string f = FormatChunk(2, channels, 22050, 4);
  f[12] = char(blockAlign & 0xFF);
  f[13] = char(blockAlign >> 8);
  Put16(f, uint16_t(4 + 4 * coefficients));
  Put16(f, samplesPerBlock);
  Put16(f, coefficients);
  for (int i = 0; i < coefficients; ++i) {
    Put16(f, 256);
    Put16(f, 0);
  }
  return f;
}

std::vector<BadFile> BadFiles() {
  std::string good = PcmWave(1, 22050, RampSamples(100, 1));
  std::string noData = "RIFF";
  Put32(noData, 4 + 8 + 16);
  noData += "WAVEfmt ";
  Put32(noData, 16);
  noData += FormatChunk(1, 1, 22050, 16);
  std::string hugeRiff = good;
  hugeRiff[4] = hugeRiff[5] = hugeRiff[6] = hugeRiff[7] = char(0xFF);
  return {
      {"empty", ""},
      {"text", "hello, world"},
      {"format tag 3", RiffWave(FormatChunk(3, 1, 22050, 32), std::string(64, '\0'))},
      {"short format", RiffWave(FormatChunk(1, 1, 22050, 16).substr(0, 12), std::string(64, '\0'))},
      {"no data chunk", noData},
      {"truncated header", good.substr(0, 30)},
      {"not WAVE", "RIFF\x10\0\0\0AVI LIST\0\0\0\0"},
      {"empty data", PcmWave(1, 22050, {}), true},
      {"24-bit PCM", RiffWave(FormatChunk(1, 1, 22050, 24), std::string(300, '\1'))},
      {"six channels", RiffWave(FormatChunk(1, 6, 22050, 16), std::string(1200, '\1'))},
      {"rate 0", RiffWave(FormatChunk(1, 1, 0, 16), std::string(64, '\1'))},
      {"ADPCM too many samples per block",
       RiffWave(AdpcmFormat(1, 256, 60000, 7), std::string(1024, '\x77'))},
      {"ADPCM block smaller than its header", RiffWave(AdpcmFormat(2, 10, 2, 7), std::string(1024, '\x77'))},
      {"ADPCM without coefficients", RiffWave(AdpcmFormat(1, 256, 500, 0), std::string(1024, '\x77'))},
      {"ADPCM three channels", RiffWave(AdpcmFormat(3, 256, 20, 7), std::string(1024, '\x77'))},
      {"ADPCM data shorter than a block", RiffWave(AdpcmFormat(1, 256, 500, 7), std::string(100, '\x77')),
       true},
      {"Ogg magic only", "OggS" + std::string(60, '\0')},
  };
}

class SoundBadFile : public SoundTest, public ::testing::WithParamInterface<BadFile> {};

TEST_P(SoundBadFile, FailsToLoadAndLeavesTheSlotFree) {
  std::string path = Write("bad.wav", GetParam().bytes);
  for (int32_t slot : {0, 9}) {
    if (slot == 0 && GetParam().streamLoads) continue;
    EXPECT_EQ(Load(slot, path), 0) << GetParam().what << " slot " << slot;
    EXPECT_EQ(Op_snd_play(slot, 0), 0);
    EXPECT_EQ(Op_snd_getvol(slot, 0), 0);
  }
}
INSTANTIATE_TEST_SUITE_P(Files, SoundBadFile, ::testing::ValuesIn(BadFiles()));

TEST_F(SoundSlots, ABufferTheDeviceRefusesIsReported) {
  std::string path = Write("w.wav", RiffWave(FormatChunk(1, 1, 22050, 24), std::string(300, '\1')));
  SetHeadless(false);  // headless, messages go only to standard error
  EXPECT_EQ(Load(12, path), 0);
  EXPECT_EQ(Load(0, path), 0);
  SetHeadless(true);
  ASSERT_EQ(SoundMessages().size(), 2u);
  EXPECT_EQ(SoundMessages()[0], "IDirectSound_CreateSoundBuffer に失敗しました。");
  EXPECT_EQ(SoundMessages()[1], "IDirectSound_CreateSoundBuffer に失敗しました。");
}

TEST_F(SoundSlots, AGoodFileStillLoadsWithGarbageAroundItsChunks) {
  // Unknown chunks before the format and between it and the data, odd sizes
  // padded; a data chunk that claims more than the file holds is cut.
  std::string fmt = FormatChunk(1, 1, kRate, 16);
  std::string data;
  for (int16_t s : RampSamples(50, 1)) Put16(data, uint16_t(s));
  std::string body = "WAVEJUNK";
  Put32(body, 3);
  body += "abc";
  body += '\0';
  body += "fmt ";
  Put32(body, 16);
  body += fmt;
  body += "LIST";
  Put32(body, 4);
  body += "INFO";
  body += "data";
  Put32(body, 1000);
  body += data;
  std::string file = "RIFF";
  Put32(file, uint32_t(body.size()));
  ASSERT_EQ(Load(10, Write("j.wav", file + body)), 1);
  Op_snd_play(10, 0);
  auto mix = Render(60);
  ExpectFrames(
      mix, 0, 50, [](int i) { return std::pair<double, double>(Ramp(i), Ramp(i)); }, "cut data");
  ExpectFrames(
      mix, 50, 10, [](int) { return std::pair<double, double>(0, 0); }, "after");
}

TEST_F(SoundSlots, SlotsOutsideTheTableGiveZero) {
  std::string path = Write("o.wav", PcmWave(1, kRate, RampSamples(10, 1)));
  for (int32_t slot : {64, -2, 1000}) {
    EXPECT_EQ(Load(slot, path), 0);
    EXPECT_EQ(Op_snd_free(slot, 0), 0);
    EXPECT_EQ(Op_snd_play(slot, 0), 0);
    EXPECT_EQ(Op_snd_stop(slot, 0), 0);
    EXPECT_EQ(Op_snd_pause(slot, 0), 0);
    EXPECT_EQ(Op_snd_replay(slot, 0), 0);
    EXPECT_EQ(Op_snd_isplay(slot, 0), 0);
    EXPECT_EQ(Op_snd_getpos(slot, 0), 0);
  }
  EXPECT_EQ(Load(-1, path), 0);
  EXPECT_EQ(Op_snd_free(-1, 0), 1);
  EXPECT_EQ(Op_snd_stop(-1, 0), 1);
  EXPECT_EQ(Op_snd_setloop(3, 1000), 0);  // only the stream loops to a point
}

TEST_F(SoundSlots, StaticPositionFollowsThePlayCursor) {
  ASSERT_EQ(Load(11, Write("t.wav", PcmWave(2, kRate, RampSamples(kRate * 2, 2)))), 1);
  EXPECT_EQ(Op_snd_getpos(11, 0), 0);
  Op_snd_play(11, 0);
  Render(kRate / 2);
  EXPECT_NEAR(Op_snd_getpos(11, 0), 500, 30);
  Op_snd_pause(11, 0);
  EXPECT_EQ(Op_snd_getpos(11, 0), 0);  // only a playing sound has a position
}

TEST(SoundOff, EveryLoadFailsAndTheRestDoNothing) {
  SetHeadless(true);
  ScriptMemory memory;
  TempDir dir;
  WriteFile(dir / "a.wav", PcmWave(1, 22050, RampSamples(10, 1)));
  Addr path = memory.Str(dir / "a.wav");
  for (int32_t slot : {0, 1, -1}) {
    EXPECT_EQ(Op_snd_load(slot, int32_t(path)), 0);
    EXPECT_EQ(Op_snd_play(slot, 1), 0);
    EXPECT_EQ(Op_snd_free(slot, 0), 0);
    EXPECT_EQ(Op_snd_stop(slot, 0), 0);
    EXPECT_EQ(Op_snd_pause(slot, 0), 0);
    EXPECT_EQ(Op_snd_replay(slot, 0), 0);
    EXPECT_EQ(Op_snd_getvol(slot, 0), 0);
    EXPECT_EQ(Op_snd_isplay(slot, 0), 0);
    EXPECT_EQ(Op_snd_setloop(slot, 10), 0);
    EXPECT_EQ(Op_snd_getpos(slot, 0), 0);
  }
}

}  // namespace
}  // namespace qavz::test
