// The fourteen system variables read by `getsystem` and written by
// `setsystem`, and the sources other subsystems plug in for them.
#pragma once

#include <atomic>
#include <cstdint>

namespace qavz {

// Their numbers, in table order.
enum SystemVariable : int {
  kSysFullscreen,
  kSysWidth,
  kSysHeight,
  kSysDepth,
  kSysCpuClock,
  kSysCpuVender,
  kSysCpuSupport,
  kSysOsPlatform,
  kSysOsMajor,
  kSysOsMinor,
  kSysOsBuild,
  kSysPause,
  kSysColorMapping,
  kSysSpCount,
};
constexpr int kSystemVariableCount = 14;
// In table order; the index is the variable's number.
extern const char* const kSystemVariableNames[kSystemVariableCount];

// Index of `name` (ASCII letters compared without case), or -1.
int FindSystemVariable(const char* name) noexcept;
int32_t GetSystemVariable(int index) noexcept;
int32_t SetSystemVariable(int index, int32_t value) noexcept;

// The primary display's size and depth; the host installs its platform
// query. Without one (headless) the screen is 640 x 480 x 24.
struct ScreenInfo {
  int32_t width;
  int32_t height;
  int32_t depth;
};
using ScreenInfoSource = ScreenInfo (*)();
void SetScreenInfoSource(ScreenInfoSource source) noexcept;

// Full-screen mode: the current mode (1 full screen) and the window-thread
// switch behind "fullscreen" (its result is setsystem's result). Without
// them the mode is 0 and a switch gives 0.
using FullScreenQuery = int32_t (*)();
using FullScreenSwitch = int32_t (*)(int32_t mode);
void SetFullScreenHooks(FullScreenQuery query, FullScreenSwitch change) noexcept;

// Number of sprite slots in use, from the sprite system (0 until installed).
using SpriteCountSource = int32_t (*)();
void SetSpriteCountSource(SpriteCountSource source) noexcept;

// The colour-mapping mode of the 8-bit pixel conversions; 0 at start.
std::atomic<int32_t>& ColorMapping() noexcept;

}  // namespace qavz
