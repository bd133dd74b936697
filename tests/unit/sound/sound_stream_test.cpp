// The stream of slot 0 through its ring of two one-second halves: exact
// samples across refills, the end of a stream, loop points, positions, and
// the decoders (ADPCM against ffmpeg's, Ogg Vorbis).
#include "sound/sound_stream.h"

#include <fstream>

#include "sound/sound_slots.h"
#include "sound/sound_source.h"
#include "sound_test_support.h"

namespace qavz::test {
namespace {

using SoundStreams = SoundTest;

// Stereo frames that never repeat: left counts within a block of 20000,
// right names the block.
std::pair<int16_t, int16_t> Unique(int64_t i) {
  return {int16_t(i % 20000 - 10000), int16_t(i / 20000 * 100)};
}

std::vector<int16_t> UniqueSamples(int frames) {
  std::vector<int16_t> s;
  for (int i = 0; i < frames; ++i) {
    auto [l, r] = Unique(i);
    s.push_back(l);
    s.push_back(r);
  }
  return s;
}

// Frame `at` of the mix is source frame `frame`.
::testing::AssertionResult IsFrame(const std::vector<float>& mix, int at, int64_t frame) {
  auto [l, r] = Unique(frame);
  double gotL = At(mix, size_t(at) * 2), gotR = At(mix, size_t(at) * 2 + 1);
  if (gotL == l && gotR == r) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "mix frame " << at << " is (" << gotL << ", " << gotR
                                       << "), source frame " << frame << " is (" << l << ", " << r << ")";
}

TEST_F(SoundStreams, PlaysEverySampleAcrossRefillsAndEnds) {
  const int frames = kRate * 3 + 777;  // three halves and a bit
  ASSERT_EQ(Load(0, Write("s.wav", PcmWave(2, kRate, UniqueSamples(frames)))), 1);
  EXPECT_EQ(Op_snd_play(0, 0), 1);
  auto mix = Render(frames + 1000);
  for (int i = 0; i < frames; ++i) ASSERT_TRUE(IsFrame(mix, i, i));
  for (int i = frames; i < frames + 1000; ++i) ASSERT_EQ(At(mix, size_t(i) * 2), 0) << i;
  // The last data, the silence after it up to the end of its half, then a stop.
  EXPECT_EQ(Op_snd_isplay(0, 0), 1);
  Render(kRate * 2);
  EXPECT_EQ(Op_snd_isplay(0, 0), 0);
  EXPECT_EQ(Op_snd_getpos(0, 0), 0);
}

TEST_F(SoundStreams, LoopPointReturnsTwoSecondsIn) {
  const int frames = kRate * 3;
  ASSERT_EQ(Load(0, Write("l.wav", PcmWave(2, kRate, UniqueSamples(frames)))), 1);
  EXPECT_EQ(Op_snd_setloop(0, 2000), 1);
  Op_snd_play(0, 1);
  auto mix = Render(frames + kRate * 2);
  for (int i = 0; i < frames; ++i) ASSERT_TRUE(IsFrame(mix, i, i));
  // Each end goes back to 2 s: 3 s of sound, then 1 s loops.
  for (int i = frames; i < frames + kRate * 2; ++i)
    ASSERT_TRUE(IsFrame(mix, i, 2 * kRate + (i - frames) % kRate));
  EXPECT_NEAR(Op_snd_getpos(0, 0), 2000, 150);  // 5 s played, folded into the loop
  EXPECT_EQ(Op_snd_isplay(0, 0), 1);
}

TEST_F(SoundStreams, LoopPointPastTheEndIsIgnored) {
  const int frames = kRate + 500;
  ASSERT_EQ(Load(0, Write("p.wav", PcmWave(2, kRate, UniqueSamples(frames)))), 1);
  EXPECT_EQ(Op_snd_setloop(0, 5000), 1);  // accepted, but changes nothing
  EXPECT_EQ(Op_snd_setloop(0, -20), 1);
  Op_snd_play(0, 1);
  auto mix = Render(frames * 2 + 10);
  for (int i = 0; i < frames * 2 + 10; ++i) ASSERT_TRUE(IsFrame(mix, i, i % frames));
}

TEST_F(SoundStreams, PositionGrowsWhilePlaying) {
  ASSERT_EQ(Load(0, Write("g.wav", PcmWave(2, kRate, UniqueSamples(kRate * 5)))), 1);
  EXPECT_EQ(Op_snd_getpos(0, 0), 0);
  Op_snd_play(0, 0);
  Render(kRate / 2);
  EXPECT_NEAR(Op_snd_getpos(0, 0), 500, 120);
  Render(kRate * 2);
  EXPECT_NEAR(Op_snd_getpos(0, 0), 2500, 120);
}

TEST_F(SoundStreams, PauseCountsAndStopOnAPausedStream) {
  ASSERT_EQ(Load(0, Write("q.wav", PcmWave(2, kRate, UniqueSamples(kRate * 4)))), 1);
  Op_snd_play(0, 0);
  Render(3000);
  Op_snd_pause(0, 0);
  Op_snd_pause(0, 0);
  EXPECT_EQ(Op_snd_isplay(0, 0), 0);
  Render(kRate * 2);  // time passes; the paused stream keeps its place
  Op_snd_stop(0, 0);  // not playing: stays paused
  Op_snd_replay(0, 0);
  EXPECT_EQ(Op_snd_isplay(0, 0), 0);
  Op_snd_replay(0, 0);
  EXPECT_EQ(Op_snd_isplay(0, 0), 1);
  auto mix = Render(kRate * 2);
  for (int i = 0; i < kRate * 2; ++i) ASSERT_TRUE(IsFrame(mix, i, 3000 + i));
  Op_snd_stop(0, 0);
  EXPECT_EQ(Op_snd_isplay(0, 0), 0);
  // Played again, it starts from the beginning.
  Op_snd_play(0, 0);
  mix = Render(100);
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(IsFrame(mix, i, i));
}

TEST_F(SoundStreams, FreeWhilePlayingAndLoadAnother) {
  ASSERT_EQ(Load(0, Write("a.wav", PcmWave(2, kRate, UniqueSamples(kRate * 3)))), 1);
  Op_snd_play(0, 1);
  Render(kRate);
  ASSERT_EQ(Load(0, Write("b.wav", PcmWave(1, kRate, RampSamples(kRate, 1)))), 1);
  EXPECT_EQ(Op_snd_isplay(0, 0), 0);
  EXPECT_EQ(Op_snd_getvol(0, 0), 100);
  Op_snd_play(0, 0);
  auto mix = Render(100);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(At(mix, size_t(i) * 2 + 1), Ramp(i)) << i;
  EXPECT_EQ(Op_snd_free(0, 0), 1);
  EXPECT_EQ(Op_snd_play(0, 0), 0);
  EXPECT_EQ(Op_snd_setloop(0, 10), 0);  // no stream loaded
}

// Writes a test tone with ffmpeg in the given codec; empty without ffmpeg.
std::string Encode(const TempDir& dir, const std::string& name, const std::string& codec, int channels) {
  std::string path = dir / name;
  std::string command =
      "ffmpeg -nostdin -loglevel error -f lavfi -i \"sine=frequency=440:duration=2.5:sample_rate=" +
      std::to_string(SoundTest::kRate) + "\" -af \"volume=0.8\" -ac " + std::to_string(channels) + " " +
      codec + " -y " + path;
  return RunCommand(command) ? path : std::string();
}

std::vector<int16_t> ReadRaw(const std::string& path) {
  std::string bytes = ReadFile(path);
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

TEST_F(SoundStreams, AdpcmMatchesTheReferenceDecoder) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  std::string path = Encode(dir_, "a.wav", "-c:a adpcm_ms", 2);
  ASSERT_FALSE(path.empty());
  ASSERT_TRUE(RunCommand("ffmpeg -nostdin -loglevel error -i " + path + " -f s16le -c:a pcm_s16le -y " +
                         (dir_ / "ref.raw")));
  std::vector<int16_t> reference = ReadRaw(dir_ / "ref.raw");
  SoundSource source;
  ASSERT_TRUE(source.Open(path.c_str()));
  ASSERT_GT(source.DecodedLength(), 0u);
  std::vector<int16_t> ours(source.DecodedLength() / 2);
  EXPECT_EQ(source.Deliver(reinterpret_cast<uint8_t*>(ours.data()), ours.size() * 2), ours.size() * 2);
  ASSERT_GE(reference.size(), ours.size() - 2 * 1012);
  size_t n = std::min(reference.size(), ours.size());
  for (size_t i = 0; i < n; ++i) ASSERT_EQ(ours[i], reference[i]) << "sample " << i;

  // Played as a static sound and as the stream, the same samples come out.
  for (int32_t slot : {1, 0}) {
    ASSERT_EQ(Load(slot, path), 1);
    Op_snd_play(slot, 0);
    auto mix = Render(int(n / 2));
    for (size_t i = 0; i < n; ++i) ASSERT_EQ(At(mix, i), reference[i]) << "slot " << slot << " sample " << i;
    Op_snd_free(slot, 0);
  }
}

TEST_F(SoundStreams, OggVorbisDecodesAndPlays) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  std::string path = Encode(dir_, "t.ogg", "-c:a libvorbis -q:a 6", 1);
  ASSERT_FALSE(path.empty());
  SoundSource source;
  ASSERT_TRUE(source.Open(path.c_str()));
  EXPECT_TRUE(source.IsOgg());
  platform::PcmFormat format;
  ASSERT_TRUE(source.Format(format));
  EXPECT_EQ(format.channels, 1);
  EXPECT_EQ(format.rate, kRate);
  EXPECT_EQ(source.DecodedLength(), uint64_t(kRate) * 5 / 2 * 2);  // 2.5 s, 16-bit mono
  std::vector<int16_t> decoded(source.DecodedLength() / 2);
  source.Deliver(reinterpret_cast<uint8_t*>(decoded.data()), decoded.size() * 2);
  // Lossy, but close to the tone that went in.
  double error = 0, power = 0;
  for (size_t i = 2000; i < decoded.size() - 2000; ++i) {
    double tone = 0.8 * 0.125 * 32768 * std::sin(2 * M_PI * 440 * double(i) / kRate);
    error += (decoded[i] - tone) * (decoded[i] - tone);
    power += tone * tone;
  }
  EXPECT_LT(error / power, 0.01);

  // Static and stream play give exactly the decoder's samples.
  for (int32_t slot : {2, 0}) {
    ASSERT_EQ(Load(slot, path), 1);
    Op_snd_play(slot, 0);
    auto mix = Render(int(decoded.size()));
    for (size_t i = 0; i < decoded.size(); ++i) {
      ASSERT_EQ(At(mix, i * 2), decoded[i]) << "slot " << slot << " frame " << i;
      ASSERT_EQ(At(mix, i * 2 + 1), decoded[i]) << "slot " << slot << " frame " << i;
    }
  }
  // After its end, the stream played again starts from the beginning.
  Render(kRate * 3);
  EXPECT_EQ(Op_snd_isplay(0, 0), 0);
  Op_snd_play(0, 0);
  auto mix = Render(1000);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(At(mix, size_t(i) * 2), decoded[size_t(i)]) << i;
}

}  // namespace
}  // namespace qavz::test
