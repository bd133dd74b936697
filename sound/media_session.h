// One open media file: the decoder, its thread, the audio stream and the
// clock that times the pictures. Internal to the media player.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/media_decoder.h"
#include "sound/pcm_stream.h"

namespace qavz {

class MediaSession {
 public:
  // Where a picture goes: the client-area rectangle, computed when shown.
  using Placement = std::function<void(int32_t* left, int32_t* top, int32_t* right, int32_t* bottom)>;

  MediaSession() = default;
  ~MediaSession();
  MediaSession(const MediaSession&) = delete;
  MediaSession& operator=(const MediaSession&) = delete;

  // Opens the file and shows its first picture; playback stands stopped at
  // the start. False when the file cannot be decoded.
  bool Open(const std::string& hostPath, Placement placement);
  bool HasVideo() const { return info_.hasVideo; }
  bool HasAudio() const { return stream_.IsOpen(); }
  double Duration() const { return info_.duration; }

  // Plays from where it stands; Pause holds it there; Halt stops it.
  void Run();
  void Pause();
  void Halt();
  bool Running() const { return running_; }
  // Goes to `seconds` (decoding starts again there).
  void Seek(double seconds);
  double Position();
  void SetGain(float gain);
  // Reached the end: `onEnd` runs on the media thread, which then goes on
  // from the start when it returns true.
  void SetOnEnd(std::function<bool()> onEnd) { onEnd_ = std::move(onEnd); }
  void Hold(bool hold);  // the application is inactive
  void Redraw();         // shows the last picture again (the rectangle moved)

 private:
  static size_t Pull(void* user, uint8_t* out, size_t bytes, bool* ended);
  void Work();
  bool DecodeOne();  // with decodeMutex_ held
  bool DecodeNext();
  void Present();
  void Show(const platform::MediaFrame& picture);
  double Clock();
  void SyncClock();
  void ResetClock(double seconds);

  platform::MediaDecoder* decoder_ = nullptr;
  platform::MediaInfo info_;
  PcmStream stream_;
  Placement placement_;
  std::function<bool()> onEnd_;

  std::mutex decodeMutex_;  // the decoder, the pictures and the clock
  std::mutex fifoMutex_;    // the sound decoded ahead (taken last)
  std::deque<int16_t> audio_;
  std::deque<platform::MediaFrame> pictures_;
  platform::MediaFrame shown_;
  bool decoded_ = false;   // the decoder is at its end
  double dropBefore_ = 0;  // after a seek: what lies before is not played
  double clockBase_ = 0;   // media time at the last seek
  double wallPlayed_ = 0;  // seconds the wall clock ran since then
  std::chrono::steady_clock::time_point wallFrom_;
  bool wallRunning_ = false;
  std::atomic<bool> audioDone_{false};

  std::atomic<bool> running_{false};
  std::atomic<bool> held_{false};
  std::atomic<bool> quit_{false};
  std::thread worker_;
};

}  // namespace qavz
