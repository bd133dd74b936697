#include "sound/sound_slots.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/report_error.h"
#include "platform/devices.h"
#include "sound/messages.h"
#include "sound/volume_table.h"
#include "vm/arena.h"

namespace qavz {

namespace {

// The largest sound buffer a device makes (256 MB less a byte).
constexpr uint64_t kLargestBuffer = 0x0FFFFFFF;
// Ogg is decoded in pieces this large, so memory follows the data.
constexpr size_t kDecodePiece = 1 << 16;

// Sample memory shared by a static sound and its duplicates.
struct SharedBuffer {
  platform::AudioBuffer id = 0;
  platform::PcmFormat format;
  ~SharedBuffer() { platform::DeleteAudioBuffer(id); }
};

struct StaticSound {
  std::string name;
  bool loop = false;
  int32_t pauseCount = 0;
  std::shared_ptr<SharedBuffer> buffer;
  platform::AudioVoice voice = 0;
  int32_t volume = 0;  // hundredths of a decibel
};

bool gOn = false;
std::array<StaticSound, kSoundSlots> gSlots;  // entry 0: the stream's name

SoundStream& Stream() {
  static SoundStream stream;
  return stream;
}

bool ValidSlot(int32_t slot) { return slot >= 0 && slot < kSoundSlots; }

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool ReadPath(int32_t address, std::string& path) {
  return address != 0 && TheArena().ReadString(Addr(address), path, 4096) && !path.empty();
}

// The whole decoded sound, `length` bytes (whole frames). Ogg stops where
// its data does, whatever length the stream claims.
bool DecodeWhole(SoundSource& source, uint64_t length, std::vector<uint8_t>& out) {
  uint64_t frame = source.FrameBytes();
  length -= length % frame;
  if (length == 0 || length > kLargestBuffer) return false;
  if (!source.IsOgg()) {
    out.resize(size_t(length));
    source.Deliver(out.data(), out.size());
    return true;
  }
  while (out.size() < length) {
    size_t piece = size_t(std::min<uint64_t>(kDecodePiece, length - out.size()));
    size_t at = out.size();
    out.resize(at + piece);
    size_t got = source.Deliver(out.data() + at, piece);
    if (got < piece) {
      out.resize(at + got - got % frame);
      break;
    }
  }
  return !out.empty();
}

void FreeStatic(StaticSound& s) {
  if (s.voice) {
    platform::StopVoice(s.voice);
    platform::DeleteVoice(s.voice);
  }
  s = StaticSound{};
}

bool AttachVoice(StaticSound& s, std::shared_ptr<SharedBuffer> buffer) {
  s.voice = platform::CreateVoice();
  if (!s.voice || !platform::AttachBuffer(s.voice, buffer->id)) return false;
  s.buffer = std::move(buffer);
  return true;
}

int32_t LoadStatic(int32_t slot, const std::string& path) {
  StaticSound& s = gSlots[size_t(slot)];
  // A sound already loaded from the same file shares its sample memory.
  for (int32_t other = 1; other < kSoundSlots; ++other) {
    StaticSound& o = gSlots[size_t(other)];
    if (other == slot || !o.buffer || !SameName(o.name, path)) continue;
    if (!AttachVoice(s, o.buffer)) {
      ReportError(kLevelFault, "%s", msg::kCreateBufferFailed);
      FreeStatic(s);
      return 0;
    }
    s.name = path;
    return 1;
  }
  SoundSource source;
  if (!source.Open(path.c_str())) return 0;
  auto buffer = std::make_shared<SharedBuffer>();
  std::vector<uint8_t> pcm;
  if (!source.Format(buffer->format) || !DecodeWhole(source, source.DecodedLength(), pcm) ||
      !(buffer->id = platform::CreateAudioBuffer(buffer->format, pcm.data(), pcm.size())) ||
      !AttachVoice(s, buffer)) {
    ReportError(kLevelFault, "%s", msg::kCreateBufferFailed);
    FreeStatic(s);
    return 0;
  }
  s.name = path;
  return 1;
}

int32_t LoadStream(const std::string& path) {
  Stream().Free();
  gSlots[0] = StaticSound{};
  if (!Stream().Load(path.c_str())) return 0;
  gSlots[0].name = path;
  return 1;
}

bool Loaded(int32_t slot) { return slot == 0 ? Stream().Loaded() : gSlots[size_t(slot)].buffer != nullptr; }

bool StaticPlaying(const StaticSound& s) {
  return s.voice && platform::GetVoiceState(s.voice) == platform::VoiceState::kPlaying;
}

// Runs `one` on the slot, or on every slot for -1: then 1 only when every
// slot gave 1.
template <typename Fn>
int32_t ForSlots(int32_t slot, Fn one) {
  if (!gOn) return 0;
  if (slot == -1) {
    int32_t all = 1;
    for (int32_t s = 0; s < kSoundSlots; ++s)
      if (one(s) != 1) all = 0;
    return all;
  }
  return ValidSlot(slot) ? one(slot) : 0;
}

int32_t FreeOne(int32_t slot) {
  if (slot == 0) {
    Stream().Free();
    gSlots[0] = StaticSound{};
  } else {
    FreeStatic(gSlots[size_t(slot)]);
  }
  return 1;
}

int32_t StopOne(int32_t slot) {
  if (slot == 0) {
    Stream().Stop();
    return 1;
  }
  StaticSound& s = gSlots[size_t(slot)];
  if (StaticPlaying(s)) platform::StopVoice(s.voice);
  return 1;
}

int32_t PauseOne(int32_t slot) {
  if (slot == 0) {
    Stream().Pause();
    return 1;
  }
  StaticSound& s = gSlots[size_t(slot)];
  if (s.pauseCount > 0) {
    ++s.pauseCount;
  } else if (StaticPlaying(s)) {
    s.pauseCount = 1;
    platform::PauseVoice(s.voice);
  }
  return 1;
}

int32_t ReplayOne(int32_t slot) {
  if (slot == 0) {
    Stream().Replay();
    return 1;
  }
  StaticSound& s = gSlots[size_t(slot)];
  if (s.pauseCount == 0) return 1;
  if (--s.pauseCount == 0 && s.voice) platform::PlayVoice(s.voice, s.loop);
  return 1;
}

// The device's status: 0 when the volume is set.
int32_t SetVolumeOne(int32_t slot, int32_t hundredths) {
  if (slot == 0) {
    Stream().SetVolume(hundredths);
  } else if (StaticSound& s = gSlots[size_t(slot)]; s.voice) {
    s.volume = hundredths;
    platform::SetVoiceGain(s.voice, HundredthsToGain(hundredths));
  }
  return 0;
}

}  // namespace

bool StartSoundOutput() {
  if (gOn) return true;
  if (!platform::OpenDevice(platform::Device::kSound, Headless())) {
    ReportError(kLevelFault, "%s", msg::kSoundInitFailed);
    return false;
  }
  gOn = true;
  return true;
}

void StopSoundOutput() {
  if (!gOn) return;
  FreeAllSoundSlots();
  gOn = false;
  platform::CloseDevice(platform::Device::kSound);
}

bool SoundOutputOn() { return gOn; }

void FreeAllSoundSlots() {
  for (int32_t s = 0; s < kSoundSlots; ++s) FreeOne(s);
}

SoundStream& TheSoundStream() { return Stream(); }

int32_t Op_snd_load(int32_t slot, int32_t pathAddress) {
  if (!ValidSlot(slot)) return 0;
  std::string path;
  bool readable = ReadPath(pathAddress, path);
  FreeOne(slot);
  if (!gOn || !readable) return 0;
  return slot == 0 ? LoadStream(path) : LoadStatic(slot, path);
}

int32_t Op_snd_free(int32_t slot, int32_t) { return ForSlots(slot, FreeOne); }

int32_t Op_snd_play(int32_t slot, int32_t loop) {
  if (!gOn || !ValidSlot(slot) || !Loaded(slot)) return 0;
  if (slot == 0) {
    gSlots[0].loop = true;  // the ring always plays looping
    return Stream().Play(loop != 0);
  }
  StaticSound& s = gSlots[size_t(slot)];
  s.pauseCount = 0;
  s.loop = loop != 0;
  platform::StopVoice(s.voice);
  platform::PlayVoice(s.voice, s.loop);
  return 1;
}

int32_t Op_snd_stop(int32_t slot, int32_t) { return ForSlots(slot, StopOne); }
int32_t Op_snd_pause(int32_t slot, int32_t) { return ForSlots(slot, PauseOne); }
int32_t Op_snd_replay(int32_t slot, int32_t) { return ForSlots(slot, ReplayOne); }

int32_t Op_snd_setvol(int32_t slot, int32_t volume) {
  int32_t hundredths = VolumeToHundredths(volume);
  if (!gOn) return 0;
  if (slot == -1) {
    int32_t status = 0;
    for (int32_t s = 0; s < kSoundSlots; ++s) status |= SetVolumeOne(s, hundredths);
    return status;
  }
  return ValidSlot(slot) ? SetVolumeOne(slot, hundredths) : 0;
}

int32_t Op_snd_getvol(int32_t slot, int32_t) {
  if (!gOn || !ValidSlot(slot) || !Loaded(slot)) return 0;
  int32_t hundredths = slot == 0 ? Stream().Volume() : gSlots[size_t(slot)].volume;
  return HundredthsToVolume(hundredths);
}

int32_t Op_snd_isplay(int32_t slot, int32_t) {
  if (!gOn || !ValidSlot(slot)) return 0;
  return slot == 0 ? Stream().Playing() : StaticPlaying(gSlots[size_t(slot)]);
}

int32_t Op_snd_setloop(int32_t slot, int32_t ms) {
  if (!gOn || slot != 0) return 0;
  return Stream().SetLoop(ms);
}

int32_t Op_snd_getpos(int32_t slot, int32_t) {
  if (!gOn || !ValidSlot(slot)) return 0;
  if (slot == 0) return Stream().Position();
  StaticSound& s = gSlots[size_t(slot)];
  if (!StaticPlaying(s)) return 0;
  const platform::PcmFormat& f = s.buffer->format;
  double bytes = double(platform::VoiceFrame(s.voice)) * f.BlockAlign();
  return int32_t(bytes / (f.BytesPerSecond() * 0.001));
}

}  // namespace qavz
