#include "sound/sound_stream.h"

#include <chrono>

#include "core/report_error.h"
#include "sound/messages.h"
#include "sound/volume_table.h"

namespace qavz {

namespace {

// OpenAL has no position notifications: the thread looks at the voice this
// often, which is far below the second a half lasts.
constexpr auto kPollPeriod = std::chrono::milliseconds(5);

}  // namespace

bool SoundStream::Load(const char* path) {
  Free();
  if (!source_.Open(path)) return false;
  // The ring: two seconds of the decoded format, as two one-second halves.
  if (!source_.Format(format_)) {
    ReportError(kLevelFault, "%s", msg::kCreateBufferFailed);
    source_.Close();
    return false;
  }
  halfBytes_ = uint32_t(format_.BytesPerSecond());
  scratch_.assign(halfBytes_, 0);
  voice_ = platform::CreateVoice();
  for (auto& half : halves_) half = platform::CreateAudioBuffer(format_, scratch_.data(), halfBytes_);
  if (!voice_ || !halves_[0] || !halves_[1]) {
    ReportError(kLevelFault, "%s", msg::kCreateBufferFailed);
    Free();
    return false;
  }
  volume_ = 0;
  loopStart_ = 0;
  return true;
}

void SoundStream::Free() {
  if (voice_) {
    {
      std::lock_guard lock(voiceMutex_);
      running_ = false;
      platform::StopVoice(voice_);
      platform::SetVoiceGain(voice_, HundredthsToGain(kSilentHundredths));
    }
    pauseCount_ = 0;
    EndThread();
    platform::AttachBuffer(voice_, 0);
    platform::DeleteVoice(voice_);
  }
  EndThread();
  for (auto& half : halves_) {
    platform::DeleteAudioBuffer(half);
    half = 0;
  }
  queued_[0] = queued_[1] = false;
  voice_ = 0;
  source_.Close();
  scratch_.clear();
  scratch_.shrink_to_fit();
  pauseCount_ = 0;
  written_ = 0;
  loopStart_ = 0;
  ended_ = false;
}

void SoundStream::Signal(bool refill, bool stopped) {
  std::lock_guard lock(signalMutex_);
  refillEvent_ = refillEvent_ || refill;
  stoppedEvent_ = stoppedEvent_ || stopped;
  signal_.notify_all();
}

// Ends the thread through the stopped event; it ends only with a pause
// count of 0.
void SoundStream::EndThread() {
  if (!thread_.joinable()) return;
  Signal(false, true);
  thread_.join();
}

int32_t SoundStream::Play(bool loopAtEnd) {
  if (!Loaded()) return 0;
  pauseCount_ = 0;
  {
    std::lock_guard lock(voiceMutex_);
    running_ = false;
    platform::StopVoice(voice_);
  }
  EndThread();
  // Rewind the ring: no buffer queued, nothing written.
  platform::AttachBuffer(voice_, 0);
  queued_[0] = queued_[1] = false;
  {
    std::lock_guard lock(signalMutex_);
    refillEvent_ = stoppedEvent_ = false;
  }
  ended_ = false;
  loopAtEnd_ = loopAtEnd;
  written_ = 0;
  // Every play starts at the beginning, an Ogg stream included (its decoder
  // would otherwise go on from where the last play left it: at its end a
  // replayed stream would end at once).
  source_.Rewind();
  FillHalf(0);
  alive_ = true;
  thread_ = std::thread(&SoundStream::ThreadMain, this);
  {
    std::lock_guard lock(voiceMutex_);
    running_ = true;
    platform::PlayVoice(voice_, false);
  }
  // The voice has entered half 0: half 1 is filled now.
  Signal(true, false);
  return 1;
}

void SoundStream::Stop() {
  if (!Loaded() || !Playing()) return;
  {
    std::lock_guard lock(voiceMutex_);
    running_ = false;
    platform::StopVoice(voice_);
  }
  EndThread();
  platform::AttachBuffer(voice_, 0);
  queued_[0] = queued_[1] = false;
}

void SoundStream::Pause() {
  if (!Loaded()) return;
  if (pauseCount_ > 0) {
    ++pauseCount_;
    return;
  }
  if (!Playing()) return;
  pauseCount_ = 1;
  {
    std::lock_guard lock(voiceMutex_);
    running_ = false;
    platform::PauseVoice(voice_);
  }
  Signal(false, true);
}

void SoundStream::Replay() {
  if (!Loaded() || pauseCount_ == 0) return;
  if (--pauseCount_ > 0) return;
  {
    // The stop the pause signalled is over: if the thread has not seen it
    // yet, it must not take it for the end.
    std::lock_guard lock(signalMutex_);
    stoppedEvent_ = false;
  }
  std::lock_guard lock(voiceMutex_);
  running_ = true;
  platform::PlayVoice(voice_, false);
}

bool SoundStream::Playing() const {
  return Loaded() && platform::GetVoiceState(voice_) == platform::VoiceState::kPlaying;
}

void SoundStream::SetVolume(int32_t hundredths) {
  if (!Loaded()) return;
  volume_ = hundredths;
  platform::SetVoiceGain(voice_, HundredthsToGain(hundredths));
}

int32_t SoundStream::SetLoop(int32_t ms) {
  if (!Loaded()) return 0;
  // A point before the start cannot be a place in the sound.
  if (ms < 0) return 1;
  uint64_t frame = source_.FrameBytes();
  uint64_t bytes = source_.BytesPerSecond() * uint64_t(ms) / 1000;
  bytes -= bytes % frame;
  if (bytes < source_.DecodedLength()) loopStart_ = bytes;
  return 1;
}

int32_t SoundStream::Position() const {
  if (!Playing()) return 0;
  const int64_t ring = int64_t(halfBytes_) * 2;
  int64_t ahead = int64_t(platform::QueuedBuffers(voice_)) * halfBytes_ -
                  platform::VoiceFrame(voice_) * format_.BlockAlign();
  if (ahead <= 0) ahead = ring;
  int64_t played = int64_t(written_.load()) - ahead;
  if (played < 0) played = 0;
  const int64_t length = int64_t(source_.DecodedLength());
  const int64_t loop = int64_t(loopStart_.load());
  if (played >= length && length > loop) played = loop + (played - loop) % (length - loop);
  return int32_t(double(played) / (format_.BytesPerSecond() * 0.001));
}

// Refills each half once the voice has played it, until the stream stops
// with a pause count of 0 (stop, end, free or a new play).
void SoundStream::ThreadMain() {
  int half = 1;
  std::unique_lock lock(signalMutex_);
  for (;;) {
    signal_.wait_for(lock, kPollPeriod, [this] { return refillEvent_ || stoppedEvent_; });
    if (stoppedEvent_) {
      if (pauseCount_ == 0) {
        alive_ = false;
        return;
      }
      stoppedEvent_ = false;
      continue;
    }
    bool due = refillEvent_;
    lock.unlock();
    if (!due) due = platform::ProcessedBuffers(voice_) > 0;
    if (due) {
      busy_ = true;
      RefillHalf(half);
      half = 1 - half;
      busy_ = false;
    }
    lock.lock();
    if (due) refillEvent_ = false;
  }
}

void SoundStream::RefillHalf(int half) {
  if (ended_) {
    // The last data has played: the ring stops, and the thread with it.
    {
      std::lock_guard lock(voiceMutex_);
      running_ = false;
      platform::StopVoice(voice_);
    }
    Signal(false, true);
    return;
  }
  while (platform::AudioBuffer played = platform::UnqueueBuffer(voice_)) {
    for (int h = 0; h < 2; ++h)
      if (halves_[h] == played) queued_[h] = false;
  }
  if (queued_[half]) return;
  FillHalf(half);
  // A voice that ran dry before its next half arrived plays on.
  std::lock_guard lock(voiceMutex_);
  if (running_ && platform::GetVoiceState(voice_) == platform::VoiceState::kStopped)
    platform::PlayVoice(voice_, false);
}

// Decodes a second into the half and queues it. Short of data, a stream
// that does not loop ends (the rest of the half is silence); a looping one
// goes back to its loop start. A loop that yields nothing at all ends too,
// rather than turning for ever.
void SoundStream::FillHalf(int half) {
  uint8_t* out = scratch_.data();
  size_t filled = 0;
  uint64_t real = 0;
  bool afterLoop = false;
  while (filled < halfBytes_) {
    size_t asked = halfBytes_ - filled;
    size_t got = source_.Deliver(out + filled, asked);
    real += got;
    if (got == asked) break;
    if (!loopAtEnd_ || (got == 0 && afterLoop)) {
      if (got == 0) ended_ = true;
      break;
    }
    filled += got;
    source_.GoTo(loopStart_);
    afterLoop = true;
  }
  platform::FillAudioBuffer(halves_[half], format_, out, halfBytes_);
  queued_[half] = platform::QueueBuffer(voice_, halves_[half]);
  written_ += real;
}

bool SoundStream::Settle(int ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < deadline) {
    bool pending;
    {
      std::lock_guard lock(signalMutex_);
      pending = refillEvent_ || stoppedEvent_;
    }
    if (!alive_ || (!pending && !busy_ && platform::ProcessedBuffers(voice_) == 0)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

}  // namespace qavz
