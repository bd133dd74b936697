#include "sound/cd_player.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "core/config.h"
#include "core/ini.h"
#include "platform/devices.h"
#include "platform/media_decoder.h"
#include "platform/path_map.h"
#include "sound/cd_disc.h"
#include "sound/pcm_stream.h"

namespace qavz {

namespace {

using Clock = std::chrono::steady_clock;

// The CD volume control at full scale: what the mixer held at start-up.
constexpr int32_t kControlStart = 65535;
// A window timer runs at most this often.
constexpr int32_t kShortestTimer = 10;
constexpr auto kPollPeriod = std::chrono::milliseconds(5);
constexpr int kChunkFrames = 4096;
constexpr int kChunks = 4;

// One track playing from its file: decoded in the stream's feeder thread.
class TrackPlayer {
 public:
  ~TrackPlayer() {
    stream_.Close();
    platform::CloseMediaFile(decoder_);
  }
  bool Open(const CdTrack& track, float gain) {
    decoder_ = platform::OpenMediaFile(track.path.c_str(), false);
    if (!decoder_) return false;
    const platform::MediaInfo& info = platform::MediaFileInfo(decoder_);
    if (!info.hasAudio) return false;
    rate_ = info.sampleRate;
    channels_ = info.channels;
    start_ = track.start;
    if (start_ > 0 && !platform::SeekMediaFile(decoder_, start_)) return false;
    framesLeft_ = track.length < 0 ? -1 : int64_t(track.length * rate_);
    if (!stream_.Open(platform::PcmFormat{channels_, rate_, 16}, kChunkFrames, kChunks, Pull, this))
      return false;
    stream_.SetGain(gain);
    stream_.Play();
    return true;
  }
  void Pause() { stream_.Pause(); }
  void Resume() { stream_.Play(); }
  void SetGain(float gain) { stream_.SetGain(gain); }
  bool Finished() const { return stream_.Drained(); }
  // Whole seconds played into the track.
  int32_t Seconds() const { return int32_t(stream_.FramesPlayed() / rate_); }

 private:
  static size_t Pull(void* user, uint8_t* out, size_t bytes, bool* ended) {
    size_t got = static_cast<TrackPlayer*>(user)->Fill(out, bytes);
    *ended = got < bytes;
    return got;
  }

  // Decoded samples in order, from the track's start, up to its length.
  size_t Fill(uint8_t* out, size_t bytes) {
    auto* samples = reinterpret_cast<int16_t*>(out);
    const size_t wanted = bytes / 2;
    size_t done = 0;
    while (done < wanted) {
      if (at_ == pending_.samples.size() && !Decode()) break;
      size_t take = std::min(wanted - done, pending_.samples.size() - at_);
      if (framesLeft_ >= 0) take = std::min<size_t>(take, size_t(framesLeft_) * size_t(channels_));
      if (take == 0) break;
      std::copy_n(pending_.samples.data() + at_, take, samples + done);
      at_ += take;
      done += take;
      if (framesLeft_ >= 0) framesLeft_ -= int64_t(take) / channels_;
    }
    return done * 2;
  }
  // The next block of audio, without what lies before the track's start.
  bool Decode() {
    for (;;) {
      platform::MediaItem item = platform::ReadMediaFile(decoder_, pending_);
      if (item == platform::MediaItem::kEnd || item == platform::MediaItem::kError) return false;
      if (item != platform::MediaItem::kAudio) continue;
      at_ = 0;
      if (start_ > 0 && pending_.time < start_) {
        size_t skip = size_t((start_ - pending_.time) * rate_) * size_t(channels_);
        at_ = std::min(skip, pending_.samples.size());
      }
      if (at_ < pending_.samples.size()) return true;
    }
  }

  platform::MediaDecoder* decoder_ = nullptr;
  PcmStream stream_;
  platform::MediaFrame pending_;
  size_t at_ = 0;
  int rate_ = 44100, channels_ = 2;
  double start_ = 0;
  int64_t framesLeft_ = -1;
};

struct CdState {
  std::mutex mutex;
  bool on = false;
  std::string folder;
  std::string testFolder;
  CdDisc disc;
  bool playing = false;
  int32_t pauseCount = 0;
  int32_t track = 0;
  int32_t repeat = 0;
  bool doorOpen = false;
  // The fade: its step per tick (0: none), whether its end stops the track,
  // and timer 300's period and next tick.
  int32_t fadeStep = 0;
  bool stopAtFadeEnd = false;
  int32_t timerPeriod = 0;
  Clock::time_point nextTick;
  bool manualTimer = false;
  bool paused = false;  // the application is inactive
  int32_t master = 100;
  int32_t fade = kCdFullLevel;
  int32_t control = kControlStart;
  std::unique_ptr<TrackPlayer> player;
  std::thread thread;
  bool quit = false;
};

CdState& C() {
  static CdState state;
  return state;
}

double Probe(const std::string& path) {
  platform::MediaDecoder* d = platform::OpenMediaFile(path.c_str(), false);
  if (!d) return -1;
  double seconds = platform::MediaFileInfo(d).hasAudio ? platform::MediaFileInfo(d).duration : -1;
  platform::CloseMediaFile(d);
  return seconds;
}

void ReadDisc(CdState& c) { c.disc = ReadCdDisc(c.folder, Probe); }

int32_t TrackCount(const CdState& c) { return int32_t(c.disc.tracks.size()); }

// Start-up value x fade level / 10000 x master / 100, in that order.
void ApplyVolume(CdState& c) {
  c.control = int32_t(int64_t(kControlStart) * c.fade / kCdFullLevel * c.master / 100);
  if (c.player) c.player->SetGain(float(c.control) / kControlStart);
}

void StopTimer(CdState& c) {
  c.fadeStep = 0;
  c.stopAtFadeEnd = false;
  c.timerPeriod = 0;
}

void StartTimer(CdState& c, int32_t fadeMs, int32_t step, bool stopAtEnd) {
  c.fadeStep = step;
  c.stopAtFadeEnd = stopAtEnd;
  c.timerPeriod = std::max(fadeMs / 32, kShortestTimer);
  c.nextTick = Clock::now() + std::chrono::milliseconds(c.timerPeriod);
}

// Pause count 0, the device stopped and closed.
void StopDevice(CdState& c) {
  c.player.reset();
  c.playing = false;
  c.pauseCount = 0;
}

// Plays a whole track of the disc; false (the device closed) when it
// cannot.
bool PlayTrack(CdState& c, int32_t track) {
  c.player.reset();
  if (track < 1 || track > TrackCount(c)) return false;
  const CdTrack& t = c.disc.tracks[size_t(track - 1)];
  if (!t.audio || t.path.empty()) return false;
  auto player = std::make_unique<TrackPlayer>();
  if (!player->Open(t, float(c.control) / kControlStart)) return false;
  c.player = std::move(player);
  c.playing = true;
  c.pauseCount = 0;
  c.track = track;
  return true;
}

bool IsAudio(const CdState& c, int32_t track) { return c.disc.tracks[size_t(track - 1)].audio; }

// The audio track that follows `track`: up to the last one (mode 2), or
// round from track 1 until the search comes back to `track` (mode 3). The
// disc's last track is reachable in both.
int32_t NextTrack(const CdState& c, int32_t track, bool wrap) {
  const int32_t n = TrackCount(c);
  for (int32_t step = 1; step < n || (!wrap && step <= n); ++step) {
    int32_t t = track + step;
    if (t > n) {
      if (!wrap) return 0;
      t -= n;
    }
    if (t == track) return 0;
    if (IsAudio(c, t)) return t;
  }
  return 0;
}

// A track has played to its end: the repeat mode says what comes next.
void TrackEnded(CdState& c) {
  int32_t next = 0;
  if (c.repeat == 1) next = c.track;
  if (c.repeat == 2) next = NextTrack(c, c.track, false);
  if (c.repeat == 3) next = NextTrack(c, c.track, true);
  if (next == 0 || !PlayTrack(c, next)) StopDevice(c);
}

// One tick of timer 300.
void Tick(CdState& c) {
  if (c.fadeStep == 0) return;
  c.fade = std::clamp(c.fade + c.fadeStep, 0, kCdFullLevel);
  ApplyVolume(c);
  if (c.fadeStep > 0 && c.fade == kCdFullLevel) {
    StopTimer(c);
  } else if (c.fadeStep < 0 && c.fade == 0) {
    bool stop = c.stopAtFadeEnd;
    StopTimer(c);
    if (stop) StopDevice(c);
    c.fade = kCdFullLevel;
    ApplyVolume(c);
  }
}

void TimerThread() {
  CdState& c = C();
  for (;;) {
    std::this_thread::sleep_for(kPollPeriod);
    std::lock_guard lock(c.mutex);
    if (c.quit) return;
    if (c.paused) continue;
    if (c.fadeStep != 0 && !c.manualTimer && Clock::now() >= c.nextTick) {
      c.nextTick += std::chrono::milliseconds(c.timerPeriod);
      Tick(c);
    }
    if (c.playing && c.pauseCount == 0 && c.player && c.player->Finished()) {
      try {
        TrackEnded(c);
      } catch (...) {
        StopDevice(c);  // no memory for the next track: the disc stops
      }
    }
  }
}

std::string DiscFolder(const CdState& c) { return c.testFolder.empty() ? CdFolder() : c.testFolder; }

}  // namespace

std::string CdFolder() {
  std::string named = IniGetString(ThePaths().configFile, "qavz", "CDFolder", "");
  return named.empty() ? std::string(".") : platform::MapPath(named);
}

CdDisc ReadTitleCdDisc() { return ReadCdDisc(CdFolder(), Probe); }

bool StartCdAudio() {
  CdState& c = C();
  std::lock_guard lock(c.mutex);
  if (c.on) return true;
  if (!platform::OpenDevice(platform::Device::kCd, Headless())) return false;
  c.master = 100;
  c.fade = kCdFullLevel;
  c.control = kControlStart;
  c.folder = DiscFolder(c);
  c.doorOpen = false;
  c.repeat = 0;
  ReadDisc(c);
  c.quit = false;
  c.thread = std::thread(TimerThread);
  c.on = true;
  return true;
}

void StopCdAudio() {
  CdState& c = C();
  std::thread thread;
  {
    std::lock_guard lock(c.mutex);
    if (!c.on) return;
    StopTimer(c);
    StopDevice(c);
    c.control = kControlStart;  // the mixer as it was before the runtime
    c.disc = CdDisc{};
    c.quit = true;
    c.on = false;
    thread = std::move(c.thread);
  }
  thread.join();
  platform::CloseDevice(platform::Device::kCd);
}

bool CdAudioOn() {
  std::lock_guard lock(C().mutex);
  return C().on;
}

void StopCdPlay() {
  CdState& c = C();
  std::lock_guard lock(c.mutex);
  StopTimer(c);
  StopDevice(c);
  if (c.fade != kCdFullLevel) {
    c.fade = kCdFullLevel;
    ApplyVolume(c);
  }
}

void PauseCdAudio(bool pause) {
  CdState& c = C();
  std::lock_guard lock(c.mutex);
  if (c.paused == pause) return;
  c.paused = pause;
  if (pause) return;
  // The fade goes on where it stood.
  c.nextTick = Clock::now() + std::chrono::milliseconds(c.timerPeriod);
}

int32_t Op_cd_play(int32_t track, int32_t fadeMs) {
  CdState& c = C();
  std::lock_guard lock(c.mutex);
  if (!c.on) return 0;
  StopDevice(c);
  bool fadeRan = c.fade != kCdFullLevel;
  StopTimer(c);
  if (fadeMs <= 0) {
    if (fadeRan) {
      c.fade = kCdFullLevel;
      ApplyVolume(c);
    }
    return PlayTrack(c, track) ? 1 : 0;
  }
  c.fade = 0;
  ApplyVolume(c);
  if (!PlayTrack(c, track)) return 0;
  StartTimer(c, fadeMs, kCdFadeStep, false);
  return 1;
}

int32_t Op_cd_stop(int32_t, int32_t fadeMs) {
  CdState& c = C();
  std::lock_guard lock(c.mutex);
  if (!c.on) return 0;
  if (!c.playing) return 1;
  bool fadeRan = c.fade != kCdFullLevel;
  StopTimer(c);
  if (fadeMs <= 0) {
    StopDevice(c);
    if (fadeRan) {
      c.fade = kCdFullLevel;
      ApplyVolume(c);
    }
    return 1;
  }
  StartTimer(c, fadeMs, -kCdFadeStep, true);
  return 1;
}

int32_t Op_cd_pause(int32_t, int32_t) {
  CdState& c = C();
  std::lock_guard lock(c.mutex);
  if (!c.on) return 0;
  if (c.pauseCount > 0) {
    ++c.pauseCount;
  } else if (c.playing && c.player) {
    c.pauseCount = 1;
    c.player->Pause();
  }
  return 1;
}

int32_t Op_cd_replay(int32_t, int32_t) {
  CdState& c = C();
  std::lock_guard lock(c.mutex);
  if (!c.on) return 0;
  if (c.pauseCount == 0) return 1;
  if (--c.pauseCount > 0) return 1;
  if (!c.player) return 0;
  c.player->Resume();
  return 1;
}

int32_t Op_cd_setvol(int32_t, int32_t volume) {
  CdState& c = C();
  std::lock_guard lock(c.mutex);
  c.master = std::clamp(volume, 0, 100);
  ApplyVolume(c);
  return 1;
}

int32_t Op_cd_getvol(int32_t, int32_t) {
  std::lock_guard lock(C().mutex);
  return C().master;
}

int32_t Op_cd_isplay(int32_t, int32_t) {
  CdState& c = C();
  std::lock_guard lock(c.mutex);
  return c.playing && c.pauseCount == 0 ? 1 : 0;
}

int32_t Op_cd_getpos(int32_t, int32_t kind) {
  CdState& c = C();
  std::lock_guard lock(c.mutex);
  if (!c.playing || !c.player) return 0;
  int64_t p = c.player->Seconds();
  int64_t result = p;
  if (kind == 1) {
    result = int64_t(c.disc.tracks[size_t(c.track - 1)].seconds) - p - 2;
  } else if (kind == 2) {
    for (int32_t t = 1; t < c.track; ++t)
      if (IsAudio(c, t)) result += int64_t(c.disc.tracks[size_t(t - 1)].seconds) - 2;
  }
  return result < 0 ? 0 : int32_t(std::min<int64_t>(result, INT32_MAX));
}

int32_t Op_cd_getlen(int32_t track, int32_t) {
  CdState& c = C();
  std::lock_guard lock(c.mutex);
  if (track == 0) return c.disc.TotalSeconds();
  if (track < 1 || track > TrackCount(c)) return 0;
  return c.disc.tracks[size_t(track - 1)].seconds;
}

int32_t Op_cd_repeat(int32_t mode, int32_t) {
  CdState& c = C();
  std::lock_guard lock(c.mutex);
  int32_t previous = c.repeat;
  c.repeat = mode;
  return previous;
}

// The door of a disc made of files: opening it takes the disc out (what
// plays stops, the table empties), closing it puts the disc back.
int32_t Op_cd_eject(int32_t, int32_t) {
  CdState& c = C();
  std::lock_guard lock(c.mutex);
  if (!c.on) return 0;
  if (!c.doorOpen) {
    StopTimer(c);
    StopDevice(c);
    c.disc = CdDisc{};
    c.doorOpen = true;
  } else {
    ReadDisc(c);
    c.doorOpen = false;
  }
  return 1;
}

void SetCdFolderForTests(const std::string& hostFolder) {
  std::lock_guard lock(C().mutex);
  C().testFolder = hostFolder;
}

void SetCdManualTimer(bool manual) {
  std::lock_guard lock(C().mutex);
  C().manualTimer = manual;
}

void CdTimerTick() {
  std::lock_guard lock(C().mutex);
  Tick(C());
}

int32_t CdFadeLevel() {
  std::lock_guard lock(C().mutex);
  return C().fade;
}

int32_t CdTimerPeriod() {
  std::lock_guard lock(C().mutex);
  return C().timerPeriod;
}

int32_t CdControlValue() {
  std::lock_guard lock(C().mutex);
  return C().control;
}

int32_t CdControlStartValue() { return kControlStart; }

int32_t CdCurrentTrack() {
  std::lock_guard lock(C().mutex);
  return C().playing ? C().track : 0;
}

void CdTrackFinished() {
  std::lock_guard lock(C().mutex);
  if (C().playing) TrackEnded(C());
}

}  // namespace qavz
