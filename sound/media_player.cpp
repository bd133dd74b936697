#include "sound/media_player.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "core/config.h"
#include "core/report_error.h"
#include "core/video_overlay.h"
#include "core/window_link.h"
#include "platform/audio_out.h"
#include "platform/path_map.h"
#include "sound/media_session.h"
#include "sound/messages.h"
#include "sound/volume_table.h"
#include "vm/arena.h"

namespace qavz {

namespace {

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool Empty() const { return right <= left || bottom <= top; }
};

struct MediaState {
  std::unique_ptr<MediaSession> session;
  std::string path;        // the title's path, for reopening
  bool audioHeld = false;  // this file holds the audio output open
  std::atomic<bool> playing{false};
  int32_t pauseCount = 0;
  std::atomic<bool> repeat{false};
  // Read when the file opens: where play starts and how long it runs.
  double startPosition = 0;
  double stopTime = 0;
  Rect rect;           // screen coordinates; empty: the whole client area
  int32_t volume = 0;  // hundredths of a decibel
  bool inactive = false;
  // Saved around a display-mode switch.
  bool saved = false;
  bool savedPlaying = false;
  int32_t savedPauseCount = 0;
  double savedPosition = 0;
  int stopWaitMs = 500;
};

MediaState& S() {
  static MediaState state;
  return state;
}

// The video rectangle in the client area: the whole of it, or the script's
// rectangle scaled from the screen size to the client size (integer), moved
// up by the menu-bar offset.
void Place(int32_t* left, int32_t* top, int32_t* right, int32_t* bottom) {
  const MediaState& s = S();
  int32_t clientWidth = 0, clientHeight = 0;
  WindowClientSize(&clientWidth, &clientHeight);
  const int32_t offset = VideoMenuOffset();
  Rect r{0, 0, clientWidth, clientHeight};
  if (!s.rect.Empty()) {
    r = s.rect;
    const Config& config = TheConfig();
    if ((clientWidth != config.width || clientHeight != config.height) && config.width > 0 &&
        config.height > 0) {
      r.left = int32_t(int64_t(r.left) * clientWidth / config.width);
      r.right = int32_t(int64_t(r.right) * clientWidth / config.width);
      r.top = int32_t(int64_t(r.top) * clientHeight / config.height);
      r.bottom = int32_t(int64_t(r.bottom) * clientHeight / config.height);
    }
  }
  *left = r.left;
  *top = r.top - offset;
  *right = r.right;
  *bottom = r.bottom - offset;
}

void ApplyVolume(int32_t hundredths) {
  if (S().session) S().session->SetGain(HundredthsToGain(hundredths));
}

// Completion, on the media thread: with repeat, back to the start and on;
// without, playback stops.
bool OnEnd() {
  MediaState& s = S();
  if (s.repeat) return true;
  s.playing = false;
  return false;
}

// Opens the file into a new session, stopped at its start with its first
// picture shown.
bool OpenSession(MediaState& s) {
  if (!s.audioHeld) s.audioHeld = platform::AcquireAudioOutput(Headless());
  auto session = std::make_unique<MediaSession>();
  if (!session->Open(platform::MapPath(s.path), Place)) {
    ReportError(kLevelFault, "%s", msg::kMediaRenderFailed);
    return false;
  }
  session->SetOnEnd(OnEnd);
  session->Hold(s.inactive);
  s.session = std::move(session);
  ApplyVolume(s.volume);
  s.startPosition = 0;
  s.stopTime = s.session->Duration();
  return true;
}

void ReleaseSession(MediaState& s) {
  s.session.reset();
  if (s.audioHeld) platform::ReleaseAudioOutput();
  s.audioHeld = false;
}

// media_stop: silence, a moment for it to take, then the stop.
void StopSession(MediaState& s) {
  ApplyVolume(kSilentHundredths);
  if (s.stopWaitMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(s.stopWaitMs));
  s.session->Halt();
  s.playing = false;
}

}  // namespace

int32_t Op_media_open(int32_t pathAddress, int32_t) {
  MediaState& s = S();
  Op_media_close(0, 0);
  s.playing = false;
  s.pauseCount = 0;
  s.saved = false;
  std::string path;
  if (pathAddress == 0 || !TheArena().ReadString(Addr(pathAddress), path, 4096) || path.empty()) {
    ReportError(kLevelFault, "%s", msg::kMediaRenderFailed);
    return 0;
  }
  s.path = path;
  if (!OpenSession(s)) {
    ReleaseSession(s);
    return 0;
  }
  return 1;
}

int32_t Op_media_close(int32_t, int32_t) {
  MediaState& s = S();
  if (s.session) StopSession(s);
  ReleaseSession(s);
  s.playing = false;
  return 1;
}

// Every play runs from the start position to the stop time, at the stored
// volume (which media_stop left silenced).
int32_t Op_media_play(int32_t, int32_t) {
  MediaState& s = S();
  if (!s.session) return 0;
  s.session->Seek(s.startPosition);
  ApplyVolume(s.volume);
  s.session->Run();
  s.playing = true;
  s.pauseCount = 0;
  return 1;
}

int32_t Op_media_stop(int32_t, int32_t) {
  MediaState& s = S();
  if (!s.session) return 0;
  StopSession(s);
  return 1;
}

int32_t Op_media_pause(int32_t, int32_t) {
  MediaState& s = S();
  if (!s.session) return 0;
  if (s.pauseCount++ > 0) return 1;
  if (!s.playing) return 0;
  s.session->Pause();
  return 1;
}

int32_t Op_media_replay(int32_t, int32_t) {
  MediaState& s = S();
  if (!s.session) return 0;
  // A count above 0 goes down; at 0 (also when it was 0 already) the media
  // runs on if it plays, and there is nothing to resume if it does not.
  if (s.pauseCount > 0 && --s.pauseCount > 0) return 1;
  if (!s.playing) return 0;
  s.session->Run();
  return 1;
}

int32_t Op_media_isplay(int32_t, int32_t) { return S().playing ? 1 : 0; }

int32_t Op_media_repeat(int32_t repeat, int32_t) {
  S().repeat = repeat != 0;
  return 1;
}

int32_t Op_media_size(int32_t rectAddress, int32_t) {
  MediaState& s = S();
  Rect r;
  const uint8_t* bytes = rectAddress ? TheArena().Span(Addr(rectAddress), 16) : nullptr;
  if (bytes) {
    TheArena().Read(Addr(rectAddress), r.left);
    TheArena().Read(Addr(rectAddress) + 4, r.top);
    TheArena().Read(Addr(rectAddress) + 8, r.right);
    TheArena().Read(Addr(rectAddress) + 12, r.bottom);
  }
  s.rect = r;
  if (s.session && s.session->HasVideo()) s.session->Redraw();
  return 1;
}

int32_t Op_media_setvol(int32_t, int32_t volume) {
  MediaState& s = S();
  s.volume = MediaVolumeToHundredths(volume);
  ApplyVolume(s.volume);
  return 1;
}

void CloseMediaPlayback() { Op_media_close(0, 0); }

void StopMediaPlayback() { Op_media_stop(0, 0); }

void PauseMediaPlayback(bool pause) {
  MediaState& s = S();
  s.inactive = pause;
  if (s.session) s.session->Hold(pause);
}

void MediaBeforeDisplaySwitch() {
  MediaState& s = S();
  s.saved = false;
  if (!s.session) return;
  s.saved = true;
  s.savedPlaying = s.playing;
  s.savedPauseCount = s.pauseCount;
  s.savedPosition = s.session->Position();
  ReleaseSession(s);
}

void MediaAfterDisplaySwitch() {
  MediaState& s = S();
  if (!s.saved) return;
  s.saved = false;
  if (!OpenSession(s)) {
    ReleaseSession(s);
    s.playing = false;
    s.pauseCount = 0;
    return;
  }
  s.session->Seek(s.savedPosition);
  s.playing = s.savedPlaying;
  s.pauseCount = 0;
  if (!s.savedPlaying) return;
  s.session->Run();
  if (s.savedPauseCount > 0) {
    s.session->Pause();
    s.pauseCount = s.savedPauseCount;
  }
}

void MediaVideoAreaChanged() {
  MediaState& s = S();
  if (s.session && s.session->HasVideo()) s.session->Redraw();
}

void SetMediaStopWait(int ms) { S().stopWaitMs = ms; }

double MediaPositionSeconds() { return S().session ? S().session->Position() : 0.0; }

bool MediaHasVideo() { return S().session && S().session->HasVideo(); }

MediaPlacement MediaVideoPlacement() {
  MediaPlacement p{};
  Place(&p.left, &p.top, &p.right, &p.bottom);
  return p;
}

}  // namespace qavz
