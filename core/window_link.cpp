#include "core/window_link.h"

#include <atomic>

#include "core/config.h"

namespace qavz {

namespace {
std::atomic<decltype(WindowLink::repaint)> gRepaint{nullptr};
std::atomic<decltype(WindowLink::clientSize)> gClientSize{nullptr};
}  // namespace

void InstallWindowLink(const WindowLink& link) noexcept {
  gRepaint.store(link.repaint);
  gClientSize.store(link.clientSize);
}

void RepaintWindow(int32_t left, int32_t top, int32_t right, int32_t bottom, bool whole) noexcept {
  if (auto repaint = gRepaint.load()) repaint(left, top, right, bottom, whole);
}

void WindowClientSize(int32_t* width, int32_t* height) noexcept {
  if (auto size = gClientSize.load()) return size(width, height);
  *width = TheConfig().width;
  *height = TheConfig().height;
}

}  // namespace qavz
