#include "sound/pcm_stream.h"

#include <chrono>

namespace qavz {

namespace {
constexpr auto kFeedPeriod = std::chrono::milliseconds(5);
}  // namespace

bool PcmStream::Open(const platform::PcmFormat& format, int chunkFrames, int chunks, Pull pull, void* user) {
  Close();
  if (!format.Playable() || chunkFrames <= 0 || chunks < 2) return false;
  format_ = format;
  pull_ = pull;
  user_ = user;
  chunkBytes_ = size_t(chunkFrames) * size_t(format.BlockAlign());
  scratch_.assign(chunkBytes_, 0);
  voice_ = platform::CreateVoice();
  for (int i = 0; i < chunks && voice_; ++i) {
    platform::AudioBuffer b = platform::CreateAudioBuffer(format_, scratch_.data(), chunkBytes_);
    if (!b) break;
    buffers_.push_back(b);
  }
  if (!voice_ || int(buffers_.size()) != chunks) {
    Close();
    return false;
  }
  free_ = buffers_;
  quit_ = false;
  feeder_ = std::thread(&PcmStream::Feed, this);
  return true;
}

void PcmStream::Close() {
  if (feeder_.joinable()) {
    quit_ = true;
    feeder_.join();
  }
  wanted_ = false;
  if (voice_) {
    platform::StopVoice(voice_);
    platform::AttachBuffer(voice_, 0);
    platform::DeleteVoice(voice_);
  }
  for (platform::AudioBuffer b : buffers_) platform::DeleteAudioBuffer(b);
  voice_ = 0;
  buffers_.clear();
  free_.clear();
  queuedFrames_.clear();
  played_ = 0;
  sourceEnded_ = false;
}

void PcmStream::Play() {
  if (!voice_) return;
  std::lock_guard lock(mutex_);
  wanted_ = true;
  TopUp();
  if (!queuedFrames_.empty()) platform::PlayVoice(voice_, false);
}

void PcmStream::Pause() {
  if (!voice_) return;
  std::lock_guard lock(mutex_);
  wanted_ = false;
  platform::PauseVoice(voice_);
}

void PcmStream::Stop() {
  if (!voice_) return;
  std::lock_guard lock(mutex_);
  wanted_ = false;
  platform::StopVoice(voice_);
  platform::AttachBuffer(voice_, 0);
  free_ = buffers_;
  queuedFrames_.clear();
  played_ = 0;
  sourceEnded_ = false;
}

bool PcmStream::Drained() const {
  std::lock_guard lock(mutex_);
  return sourceEnded_ &&
         (queuedFrames_.empty() || platform::ProcessedBuffers(voice_) >= int(queuedFrames_.size()));
}

int64_t PcmStream::FramesPlayed() const {
  std::lock_guard lock(mutex_);
  if (!voice_) return 0;
  int64_t inQueue = platform::VoiceFrame(voice_);
  // The offset runs over the whole queue; cap it at the real frames queued.
  int64_t real = 0;
  for (int64_t f : queuedFrames_) real += f;
  if (platform::ProcessedBuffers(voice_) >= int(queuedFrames_.size())) inQueue = real;
  return played_ + (inQueue < real ? inQueue : real);
}

void PcmStream::SetGain(float gain) {
  if (voice_) platform::SetVoiceGain(voice_, gain);
}

// With the lock held: takes out what has played and queues fresh buffers.
void PcmStream::TopUp() {
  while (platform::AudioBuffer b = platform::UnqueueBuffer(voice_)) {
    free_.push_back(b);
    if (!queuedFrames_.empty()) {
      played_ += queuedFrames_.front();
      queuedFrames_.erase(queuedFrames_.begin());
    }
  }
  while (!sourceEnded_ && !free_.empty()) {
    bool ended = false;
    size_t got = pull_(user_, scratch_.data(), chunkBytes_, &ended);
    sourceEnded_ = ended;
    got -= got % size_t(format_.BlockAlign());
    if (got > 0) {
      platform::AudioBuffer b = free_.back();
      if (!platform::FillAudioBuffer(b, format_, scratch_.data(), got) || !platform::QueueBuffer(voice_, b))
        break;
      free_.pop_back();
      queuedFrames_.push_back(int64_t(got) / format_.BlockAlign());
    }
    if (got < chunkBytes_) break;  // the rest is not ready yet
  }
}

void PcmStream::Feed() {
  while (!quit_) {
    std::this_thread::sleep_for(kFeedPeriod);
    std::lock_guard lock(mutex_);
    if (!wanted_) continue;
    try {
      TopUp();
    } catch (...) {
      sourceEnded_ = true;  // out of memory while decoding: the source ends here
    }
    // A voice that ran dry while the source still gives plays on.
    if (platform::GetVoiceState(voice_) == platform::VoiceState::kStopped && !queuedFrames_.empty() &&
        platform::ProcessedBuffers(voice_) < int(queuedFrames_.size()))
      platform::PlayVoice(voice_, false);
  }
}

}  // namespace qavz
