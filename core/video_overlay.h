// Media video in the main window: the picture that media playback shows over
// a rectangle of the client area, on top of the page.
//
// The media thread sets the picture; the window's painter draws it over the
// page each time it paints; the host asks for that paint without waiting
// (the media thread must never wait for the window thread, which may be
// waiting for it). Without a window (headless) pictures are kept and never
// drawn.
#pragma once

#include <cstdint>

namespace qavz {

// What the host gives: a paint of part of the client area, asked from any
// thread without waiting for it, and the height of a menu bar shown over
// the page (full screen with the menu hidden, then shown), or 0.
struct VideoWindow {
  void (*requestPaint)(int32_t left, int32_t top, int32_t right, int32_t bottom) noexcept;
  int32_t (*menuOffset)() noexcept;
};
void InstallVideoWindow(const VideoWindow& window) noexcept;

// Media: shows width x height XRGB pixels (blue in the low byte, top row
// first) scaled into the client-area rectangle [left, right) x [top,
// bottom), until the next picture or HideVideoPicture. The pixels are
// copied.
void ShowVideoPicture(const uint32_t* pixels, int32_t width, int32_t height, int32_t left, int32_t top,
                      int32_t right, int32_t bottom) noexcept;
void HideVideoPicture() noexcept;
int32_t VideoMenuOffset() noexcept;
// Media: called (on the window thread) when the client area changed size,
// so the picture can be placed again.
void SetVideoAreaListener(void (*listener)()) noexcept;

// Host: the client area changed size.
void NotifyVideoAreaChanged() noexcept;

// Painter: draws the picture into a frame of frameWidth x frameHeight that
// shows a client area of clientWidth x clientHeight (the same size, or
// stretched over it), only inside the frame rectangle `clip`.
void DrawVideoPicture(uint32_t* frame, int32_t frameWidth, int32_t frameHeight, int32_t clientWidth,
                      int32_t clientHeight, int32_t clipLeft, int32_t clipTop, int32_t clipRight,
                      int32_t clipBottom) noexcept;

// What is shown now, for tests: false when no picture is.
struct VideoPictureState {
  int32_t width = 0, height = 0;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  uint64_t pictures = 0;  // pictures shown since the process started
};
bool CurrentVideoPicture(VideoPictureState* state) noexcept;

}  // namespace qavz
