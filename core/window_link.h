// What the graphics natives need of the window, which the host owns: the
// host installs these at start-up. Without a host (unit tests of graphics)
// nothing is painted and the client area is the configured page size.
#pragma once

#include <cstdint>

namespace qavz {

struct WindowLink {
  // Repaints the part of the client area that shows page rectangle
  // (left, top, right, bottom) -- already moved by the menu offset and
  // clipped to Width x Height -- and returns once it is painted. `whole`
  // repaints the whole client area instead.
  void (*repaint)(int32_t left, int32_t top, int32_t right, int32_t bottom, bool whole) noexcept;
  // The client area's size in pixels.
  void (*clientSize)(int32_t* width, int32_t* height) noexcept;
};

void InstallWindowLink(const WindowLink& link) noexcept;
void RepaintWindow(int32_t left, int32_t top, int32_t right, int32_t bottom, bool whole) noexcept;
// Width x Height of the configuration when no window is installed.
void WindowClientSize(int32_t* width, int32_t* height) noexcept;

}  // namespace qavz
