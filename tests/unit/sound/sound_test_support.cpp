#include "sound_test_support.h"

#include "sound/sound_slots.h"

namespace qavz::test {

void SoundTest::SetUp() {
  SetHeadless(true);
  SoundMessages().clear();
  SetErrorLevel(2);
  SetErrorBox(CaptureSoundBox);
  platform::ConfigureLoopback(kRate, false);
  ASSERT_TRUE(StartSoundOutput());
}

void SoundTest::TearDown() {
  StopSoundOutput();
  platform::ConfigureLoopback(44100, true);
  SetErrorBox(nullptr);
  SetErrorLevel(0);
}

int32_t SoundTest::Load(int32_t slot, const std::string& path) {
  return Op_snd_load(slot, int32_t(Path(path)));
}

std::vector<float> SoundTest::Render(int frames, int piece) {
  std::vector<float> mix(size_t(frames) * 2);
  for (int done = 0; done < frames;) {
    int n = std::min(piece, frames - done);
    EXPECT_TRUE(TheSoundStream().Settle());
    EXPECT_TRUE(platform::RenderAudioOutput(mix.data() + size_t(done) * 2, n));
    done += n;
  }
  return mix;
}

}  // namespace qavz::test
