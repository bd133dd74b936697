// qavz cdimport: audio tracks of a cue/bin image become Ogg Vorbis track
// files of exactly the image's lengths, with a cue sheet the CD reads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/ogg_vorbis.h"
#include "run_qavz.h"
#include "sound/cd_disc.h"
#include "sound/cue_sheet.h"

namespace qavz::test {
namespace {

namespace fs = std::filesystem;

// The whole decoded stream of an Ogg Vorbis file, and its declared length.
struct Decoded {
  int64_t total = -1;
  std::vector<int16_t> samples;
};

Decoded Decode(const std::string& path) {
  Decoded d;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return d;
  platform::OggCallbacks io = {
      [](void* p, size_t s, size_t n, void* src) {
        return std::fread(p, s, n, static_cast<std::FILE*>(src));
      },
      [](void* src, int64_t o, int w) { return std::fseek(static_cast<std::FILE*>(src), long(o), w); },
      [](void* src) { return std::fclose(static_cast<std::FILE*>(src)); },
      [](void* src) { return std::ftell(static_cast<std::FILE*>(src)); }};
  platform::OggVorbis* ogg = platform::OpenOggVorbis(f, io);
  if (!ogg) return std::fclose(f), d;
  d.total = platform::OggPcmTotal(ogg);
  uint8_t buffer[8192];
  int section = 0;
  for (long n; (n = platform::ReadOggVorbis(ogg, buffer, sizeof buffer, &section)) > 0;)
    d.samples.insert(d.samples.end(), reinterpret_cast<int16_t*>(buffer),
                     reinterpret_cast<int16_t*>(buffer + n));
  platform::CloseOggVorbis(ogg);
  return d;
}

// 16-bit stereo sectors of a 441 Hz tone (left) and silence (right).
std::string Tone(int sectors, double amplitude) {
  std::string bytes;
  for (int i = 0; i < sectors * 588; ++i) {
    int16_t l = int16_t(amplitude * std::sin(2 * M_PI * 441.0 * i / 44100.0)), r = 0;
    bytes.append(reinterpret_cast<char*>(&l), 2).append(reinterpret_cast<char*>(&r), 2);
  }
  return bytes;
}

TEST(CdImport, TrackFilesHaveTheImagesExactLengths) {
  TempDir dir;
  // A data track of 10 sectors, then 75 and 37 sectors of audio; track 02
  // has a pregap (INDEX 00), which belongs to the track before.
  WriteFile(dir / "disc/image.bin", std::string(10 * 2352, '\0') + Tone(75, 12000) + Tone(37, 6000));
  WriteFile(dir / "disc/GAME.cue",
            "FILE \"image.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n"
            "  TRACK 02 AUDIO\n    INDEX 00 00:00:08\n    INDEX 01 00:00:10\n"
            "  TRACK 03 AUDIO\n    INDEX 01 00:01:10\n");
  QavzRun run = RunQavz(dir.path(), "cdimport disc/GAME.cue cd");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "track 01 data  00:00:10\ntrack 02 audio 00:01:00\ntrack 03 audio 00:00:37\n");
  EXPECT_FALSE(fs::exists(dir / "cd/track01.ogg"));

  Decoded two = Decode(dir / "cd/track02.ogg"), three = Decode(dir / "cd/track03.ogg");
  EXPECT_EQ(two.total, 75 * 588);
  EXPECT_EQ(three.total, 37 * 588);
  ASSERT_EQ(three.samples.size(), size_t(37 * 588 * 2));
  // Lossy, but the same tone: compare the left channel's loudness.
  double sum = 0;
  for (size_t i = 0; i < three.samples.size(); i += 2) sum += double(three.samples[i]) * three.samples[i];
  EXPECT_NEAR(std::sqrt(sum / (37 * 588)), 6000 / std::sqrt(2.0), 300);

  CueSheet sheet;
  ASSERT_TRUE(ParseCueSheet(ReadFile(dir / "cd/GAME.cue"), sheet));
  ASSERT_EQ(sheet.tracks.size(), 3u);
  EXPECT_FALSE(sheet.tracks[0].audio);
  CdDisc disc = ReadCdDisc(dir / "cd", [](const std::string& path) {
    Decoded d = Decode(path);
    return d.total < 0 ? -1.0 : double(d.total) / 44100;
  });
  ASSERT_EQ(disc.tracks.size(), 3u);
  EXPECT_FALSE(disc.tracks[0].audio);
  EXPECT_EQ(fs::path(disc.tracks[1].path).filename(), "track02.ogg");
  EXPECT_EQ(disc.tracks[1].seconds, 1);
}

TEST(CdImport, RefusesWhatIsNoCueSheet) {
  TempDir dir;
  WriteFile(dir / "x.cue", "nothing here\n");
  EXPECT_EQ(RunQavz(dir.path(), "cdimport x.cue out").status, 1);
  WriteFile(dir / "y.cue", "FILE \"gone.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
  EXPECT_EQ(RunQavz(dir.path(), "cdimport y.cue out").status, 1);
}

}  // namespace
}  // namespace qavz::test
