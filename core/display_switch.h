// Around a display-mode switch the window thread closes media playback with
// its position saved and reopens it afterwards (resumed if it was playing).
// The media subsystem registers that here; the host runs the hooks, on the
// window thread, with everything else paused.
#pragma once

namespace qavz {

struct DisplaySwitchHook {
  void (*beforeSwitch)();  // before the mode changes
  void (*afterSwitch)();   // once the new mode is in force
};

// Adds a hook (the same hook twice counts once); thread-safe. False when
// the list is full.
bool AddDisplaySwitchHook(const DisplaySwitchHook& hook) noexcept;
void RemoveDisplaySwitchHook(const DisplaySwitchHook& hook) noexcept;

// The host's side: every hook's beforeSwitch in the order added, and every
// afterSwitch in the reverse order.
void RunBeforeDisplaySwitch() noexcept;
void RunAfterDisplaySwitch() noexcept;

}  // namespace qavz
