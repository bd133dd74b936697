#include "core/display_switch.h"

#include <mutex>

namespace qavz {

namespace {

constexpr int kMaxHooks = 8;

struct HookList {
  std::mutex mutex;
  DisplaySwitchHook hooks[kMaxHooks] = {};
  int count = 0;
};

HookList& Hooks() {
  static HookList list;
  return list;
}

bool Same(const DisplaySwitchHook& a, const DisplaySwitchHook& b) {
  return a.beforeSwitch == b.beforeSwitch && a.afterSwitch == b.afterSwitch;
}

// A copy, so a hook may add or remove hooks while it runs.
int Snapshot(DisplaySwitchHook (&out)[kMaxHooks]) {
  std::lock_guard lock(Hooks().mutex);
  for (int i = 0; i < Hooks().count; ++i) out[i] = Hooks().hooks[i];
  return Hooks().count;
}

}  // namespace

bool AddDisplaySwitchHook(const DisplaySwitchHook& hook) noexcept {
  std::lock_guard lock(Hooks().mutex);
  HookList& list = Hooks();
  for (int i = 0; i < list.count; ++i)
    if (Same(list.hooks[i], hook)) return true;
  if (list.count == kMaxHooks) return false;
  list.hooks[list.count++] = hook;
  return true;
}

void RemoveDisplaySwitchHook(const DisplaySwitchHook& hook) noexcept {
  std::lock_guard lock(Hooks().mutex);
  HookList& list = Hooks();
  for (int i = 0; i < list.count; ++i) {
    if (!Same(list.hooks[i], hook)) continue;
    for (int j = i + 1; j < list.count; ++j) list.hooks[j - 1] = list.hooks[j];
    --list.count;
    return;
  }
}

void RunBeforeDisplaySwitch() noexcept {
  DisplaySwitchHook hooks[kMaxHooks];
  int count = Snapshot(hooks);
  for (int i = 0; i < count; ++i)
    if (hooks[i].beforeSwitch) hooks[i].beforeSwitch();
}

void RunAfterDisplaySwitch() noexcept {
  DisplaySwitchHook hooks[kMaxHooks];
  int count = Snapshot(hooks);
  for (int i = count - 1; i >= 0; --i)
    if (hooks[i].afterSwitch) hooks[i].afterSwitch();
}

}  // namespace qavz
