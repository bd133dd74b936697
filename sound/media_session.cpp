#include "sound/media_session.h"

#include <algorithm>

#include "core/video_overlay.h"
#include "platform/audio_out.h"

namespace qavz {

namespace {

// The decoder keeps about a second of sound and a few pictures ahead.
constexpr double kAudioAhead = 1.0;
constexpr size_t kPicturesAhead = 4;
constexpr size_t kMostPictures = 64;
// Looking for the first picture at open gives up after this many items.
constexpr int kFirstPictureSearch = 1000;
constexpr int kChunkFrames = 2048;
constexpr int kChunks = 4;
constexpr auto kIdle = std::chrono::milliseconds(4);

}  // namespace

MediaSession::~MediaSession() {
  quit_ = true;
  if (worker_.joinable()) worker_.join();
  stream_.Close();
  if (info_.hasVideo) HideVideoPicture();
  platform::CloseMediaFile(decoder_);
}

bool MediaSession::Open(const std::string& hostPath, Placement placement) {
  placement_ = std::move(placement);
  decoder_ = platform::OpenMediaFile(hostPath.c_str(), true);
  if (!decoder_) return false;
  info_ = platform::MediaFileInfo(decoder_);
  if (info_.hasAudio && platform::AudioOutputOpen())
    stream_.Open(platform::PcmFormat{info_.channels, info_.sampleRate, 16}, kChunkFrames, kChunks, Pull,
                 this);
  // Sound that cannot be played leaves nothing to play without pictures.
  if (!info_.hasVideo && !stream_.IsOpen()) return false;
  // Ready: the first picture is shown, playback stands at the start.
  if (info_.hasVideo) {
    for (int i = 0; i < kFirstPictureSearch && !decoded_ && pictures_.empty(); ++i) DecodeOne();
    if (!pictures_.empty()) {
      shown_ = std::move(pictures_.front());
      pictures_.pop_front();
      Show(shown_);
    }
  }
  Seek(0);
  worker_ = std::thread(&MediaSession::Work, this);
  return true;
}

size_t MediaSession::Pull(void* user, uint8_t* out, size_t bytes, bool* ended) {
  auto* s = static_cast<MediaSession*>(user);
  std::lock_guard lock(s->fifoMutex_);
  size_t n = std::min(bytes / 2, s->audio_.size());
  auto* samples = reinterpret_cast<int16_t*>(out);
  std::copy_n(s->audio_.begin(), n, samples);
  s->audio_.erase(s->audio_.begin(), s->audio_.begin() + std::ptrdiff_t(n));
  *ended = s->audioDone_ && s->audio_.empty();
  return n * 2;
}

bool MediaSession::DecodeOne() {
  try {
    return DecodeNext();
  } catch (...) {
    // Out of memory for a picture or sound: the file ends here.
    decoded_ = true;
    audioDone_ = true;
    return false;
  }
}

bool MediaSession::DecodeNext() {
  platform::MediaFrame frame;
  platform::MediaItem item = platform::ReadMediaFile(decoder_, frame);
  if (item == platform::MediaItem::kEnd || item == platform::MediaItem::kError) {
    decoded_ = true;
    audioDone_ = true;
    return false;
  }
  if (item == platform::MediaItem::kVideo) {
    if (pictures_.size() >= kMostPictures) pictures_.pop_front();
    pictures_.push_back(std::move(frame));
    return true;
  }
  if (!stream_.IsOpen()) return true;
  // Sound before the place sought is not played.
  size_t skip = 0;
  if (frame.time < dropBefore_)
    skip = std::min(frame.samples.size(),
                    size_t((dropBefore_ - frame.time) * info_.sampleRate) * size_t(info_.channels));
  std::lock_guard lock(fifoMutex_);
  audio_.insert(audio_.end(), frame.samples.begin() + std::ptrdiff_t(skip), frame.samples.end());
  return true;
}

double MediaSession::Clock() {
  double played = wallPlayed_;
  if (wallRunning_)
    played += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallFrom_).count();
  return clockBase_ + played;
}

// The clock runs while playback runs and the application is active.
void MediaSession::SyncClock() {
  auto now = std::chrono::steady_clock::now();
  if (wallRunning_) wallPlayed_ += std::chrono::duration<double>(now - wallFrom_).count();
  wallRunning_ = running_ && !held_;
  wallFrom_ = now;
}

void MediaSession::ResetClock(double seconds) {
  clockBase_ = seconds;
  wallPlayed_ = 0;
  wallFrom_ = std::chrono::steady_clock::now();
}

void MediaSession::Show(const platform::MediaFrame& picture) {
  if (picture.pixels.empty()) return;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  if (placement_) placement_(&left, &top, &right, &bottom);
  ShowVideoPicture(picture.pixels.data(), picture.width, picture.height, left, top, right, bottom);
}

// Shows the last picture whose time has come.
void MediaSession::Present() {
  double now = Clock();
  bool fresh = false;
  while (!pictures_.empty() && pictures_.front().time <= now) {
    shown_ = std::move(pictures_.front());
    pictures_.pop_front();
    fresh = true;
  }
  if (fresh) Show(shown_);
}

void MediaSession::Redraw() {
  std::lock_guard lock(decodeMutex_);
  Show(shown_);
}

void MediaSession::Work() {
  while (!quit_) {
    bool busy = false;
    bool ended = false;
    {
      std::lock_guard lock(decodeMutex_);
      if (!held_ && !decoded_) {
        size_t queued;
        {
          std::lock_guard fifo(fifoMutex_);
          queued = audio_.size();
        }
        bool wantSound = stream_.IsOpen() && queued < size_t(kAudioAhead * info_.sampleRate * info_.channels);
        bool wantPictures = info_.hasVideo && pictures_.size() < kPicturesAhead;
        if (wantSound || wantPictures) busy = DecodeOne();
      }
      if (running_ && !held_) {
        Present();
        ended = decoded_ && pictures_.empty() && (!stream_.IsOpen() || stream_.Drained());
      }
    }
    if (ended) {
      if (onEnd_ && onEnd_()) {
        Seek(0);
      } else {
        Pause();
      }
    }
    if (!busy) std::this_thread::sleep_for(kIdle);
  }
}

void MediaSession::Run() {
  std::lock_guard lock(decodeMutex_);
  running_ = true;
  SyncClock();
  if (!held_) stream_.Play();
}

void MediaSession::Pause() {
  std::lock_guard lock(decodeMutex_);
  running_ = false;
  SyncClock();
  stream_.Pause();
}

void MediaSession::Halt() { Pause(); }

void MediaSession::Seek(double seconds) {
  std::lock_guard lock(decodeMutex_);
  if (seconds < 0) seconds = 0;
  platform::SeekMediaFile(decoder_, seconds);
  {
    std::lock_guard fifo(fifoMutex_);
    audio_.clear();
  }
  pictures_.clear();
  decoded_ = false;
  audioDone_ = false;
  dropBefore_ = seconds;
  stream_.Stop();
  ResetClock(seconds);
  SyncClock();
  if (running_ && !held_) stream_.Play();
}

double MediaSession::Position() {
  std::lock_guard lock(decodeMutex_);
  return Clock();
}

void MediaSession::SetGain(float gain) { stream_.SetGain(gain); }

void MediaSession::Hold(bool hold) {
  std::lock_guard lock(decodeMutex_);
  held_ = hold;
  SyncClock();
  if (hold)
    stream_.Pause();
  else if (running_)
    stream_.Play();
}

}  // namespace qavz
