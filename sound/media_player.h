// Media files: one movie or audio file at a time, decoded by its own thread,
// sound through an audio stream and pictures over the video rectangle of the
// window. The operations run on the window thread.
#pragma once

#include <cstdint>

namespace qavz {

int32_t Op_media_open(int32_t path, int32_t);
int32_t Op_media_close(int32_t, int32_t);
int32_t Op_media_play(int32_t, int32_t);
int32_t Op_media_stop(int32_t, int32_t);
int32_t Op_media_pause(int32_t, int32_t);
int32_t Op_media_replay(int32_t, int32_t);
int32_t Op_media_isplay(int32_t, int32_t);
int32_t Op_media_repeat(int32_t repeat, int32_t);
int32_t Op_media_size(int32_t rect, int32_t);
int32_t Op_media_setvol(int32_t, int32_t volume);

// Service shut-down (as media_close) and the exit and restart (as
// media_stop).
void CloseMediaPlayback();
void StopMediaPlayback();
// Everything holds still while the application is inactive.
void PauseMediaPlayback(bool pause);
// Around a display-mode switch: the file is closed with its state saved,
// then opened again at the same position, playing or paused as it was.
void MediaBeforeDisplaySwitch();
void MediaAfterDisplaySwitch();
// The client area changed size: the picture is placed again.
void MediaVideoAreaChanged();

// Tests: the wait of media_stop (500 ms), where playback stands (seconds),
// whether the file has video, and where its pictures go.
void SetMediaStopWait(int ms);
double MediaPositionSeconds();
bool MediaHasVideo();
struct MediaPlacement {
  int32_t left, top, right, bottom;
};
MediaPlacement MediaVideoPlacement();

}  // namespace qavz
