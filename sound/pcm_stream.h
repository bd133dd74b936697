// A voice fed from a pull function: a feeder thread keeps a few buffers
// queued, asking the source for more as each one is played. MIDI, CD audio
// and media audio play through one each.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio_out.h"

namespace qavz {

class PcmStream {
 public:
  // Gives up to `bytes` bytes at `out` and how many it gave: fewer when no
  // more is ready yet, and *ended set once the source will never give more.
  // Runs on the feeder thread (and in Play).
  using Pull = size_t (*)(void* user, uint8_t* out, size_t bytes, bool* ended);

  PcmStream() = default;
  ~PcmStream() { Close(); }
  PcmStream(const PcmStream&) = delete;
  PcmStream& operator=(const PcmStream&) = delete;

  // `chunkFrames` frames per buffer, `chunks` buffers queued ahead.
  bool Open(const platform::PcmFormat& format, int chunkFrames, int chunks, Pull pull, void* user);
  void Close();
  bool IsOpen() const { return voice_ != 0; }

  // Plays (or resumes) from where the source stands.
  void Play();
  void Pause();
  // Stops and drops what is queued; the played count starts again at 0.
  void Stop();
  bool Playing() const { return wanted_.load(); }
  // The source has ended and everything it gave has been played.
  bool Drained() const;
  // Frames played since the last Stop (or Open).
  int64_t FramesPlayed() const;
  void SetGain(float gain);
  const platform::PcmFormat& Format() const { return format_; }

 private:
  void Feed();
  void TopUp();

  platform::PcmFormat format_;
  platform::AudioVoice voice_ = 0;
  std::vector<platform::AudioBuffer> buffers_;
  std::vector<platform::AudioBuffer> free_;
  std::vector<int64_t> queuedFrames_;  // real frames of each queued buffer, oldest first
  size_t chunkBytes_ = 0;
  std::vector<uint8_t> scratch_;
  Pull pull_ = nullptr;
  void* user_ = nullptr;

  mutable std::mutex mutex_;  // the queue and the played count
  int64_t played_ = 0;        // frames of buffers taken out of the queue
  bool sourceEnded_ = false;
  std::atomic<bool> wanted_{false};  // Play until Pause or Stop
  std::atomic<bool> quit_{false};
  std::thread feeder_;
};

}  // namespace qavz
