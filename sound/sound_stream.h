// Slot 0, the sound stream: its file stays in memory and is decoded a second
// at a time into one of two buffers that a voice plays one after the other
// (the two halves of a two-second ring). The notification thread refills
// each half once the voice has played it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio_out.h"
#include "sound/sound_source.h"

namespace qavz {

class SoundStream {
 public:
  SoundStream() = default;
  ~SoundStream() { Free(); }
  SoundStream(const SoundStream&) = delete;
  SoundStream& operator=(const SoundStream&) = delete;

  // Frees the stream first. False (nothing loaded) when the file does not
  // open or the device refuses its buffers (reported).
  bool Load(const char* path);
  void Free();
  bool Loaded() const { return voice_ != 0; }

  // snd_play on slot 0: from the start; `loopAtEnd` goes back to the loop
  // start at the end instead of ending. 1, or 0 without a stream.
  int32_t Play(bool loopAtEnd);
  // Stops and rewinds a playing stream; a paused one stays paused.
  void Stop();
  void Pause();
  void Replay();
  bool Playing() const;
  int32_t PauseCount() const { return pauseCount_.load(); }

  void SetVolume(int32_t hundredths);
  int32_t Volume() const { return volume_; }
  // The loop start at `ms` milliseconds, when that lies inside the sound.
  int32_t SetLoop(int32_t ms);
  // Milliseconds played (folded into the loop), 0 unless playing.
  int32_t Position() const;

  // Tests: waits (at most `ms`) until every half the voice has played is
  // refilled, or the stream has stopped.
  bool Settle(int ms = 2000);

 private:
  void ThreadMain();
  void RefillHalf(int half);
  void FillHalf(int half);
  void Signal(bool refill, bool stopped);
  void EndThread();

  SoundSource source_;
  platform::PcmFormat format_;
  platform::AudioVoice voice_ = 0;
  platform::AudioBuffer halves_[2] = {0, 0};
  bool queued_[2] = {false, false};
  uint32_t halfBytes_ = 0;  // one second: a half of the ring
  std::vector<uint8_t> scratch_;
  int32_t volume_ = 0;

  std::atomic<int32_t> pauseCount_{0};
  std::atomic<uint64_t> written_{0};  // real bytes put in the ring since play
  std::atomic<uint64_t> loopStart_{0};
  std::atomic<bool> loopAtEnd_{false};
  std::atomic<bool> ended_{false};
  // True while the voice should sound: the thread restarts a voice that ran
  // dry only then.
  std::atomic<bool> running_{false};
  std::mutex voiceMutex_;  // play, pause and stop of the voice

  std::thread thread_;
  std::mutex signalMutex_;
  std::condition_variable signal_;
  bool refillEvent_ = false;
  bool stoppedEvent_ = false;
  std::atomic<bool> busy_{false};   // the thread is refilling
  std::atomic<bool> alive_{false};  // the thread has not ended
};

}  // namespace qavz
