#include "input/keyboard.h"

#include <bitset>
#include <cstring>

namespace qavz {

namespace {

constexpr size_t kUsages = 256;

std::bitset<kUsages> gHeld;  // by usage
std::bitset<256> gToggled;   // by virtual-key code

constexpr uint8_t kVkCapital = 0x14, kVkNumLock = 0x90, kVkScroll = 0x91;

void Flip(uint8_t virtualKey) {
  if (virtualKey) gToggled.flip(virtualKey);
}

}  // namespace

void ResetKeyboard(uint8_t lockKeys) {
  gHeld.reset();
  gToggled.reset();
  SyncLockKeys(lockKeys);
}

void SyncLockKeys(uint8_t lockKeys) {
  gToggled[kVkCapital] = (lockKeys & platform::kLockCaps) != 0;
  gToggled[kVkNumLock] = (lockKeys & platform::kLockNum) != 0;
  gToggled[kVkScroll] = (lockKeys & platform::kLockScroll) != 0;
}

void KeyboardEvent(uint16_t usage, bool down, bool repeat, KeyboardLayout layout) {
  if (usage == 0 || usage >= kUsages) return;
  if (down && !repeat && !gHeld[usage]) {
    uint8_t virtualKey = VirtualKeyOf(usage, layout);
    Flip(virtualKey);
    Flip(CommonVirtualKey(virtualKey));
  }
  gHeld[usage] = down;
}

void ReleaseAllKeys() { gHeld.reset(); }

void FillVirtualKeyState(uint8_t* state, KeyboardLayout layout, uint8_t mouseButtons) {
  std::memset(state, 0, 256);
  for (size_t usage = 0; usage < kUsages; ++usage) {
    if (!gHeld[usage]) continue;
    uint8_t virtualKey = VirtualKeyOf(uint16_t(usage), layout);
    if (virtualKey) state[virtualKey] |= 0x80;
    if (uint8_t common = CommonVirtualKey(virtualKey)) state[common] |= 0x80;
  }
  // Left, right, middle, first and second extra button.
  static constexpr uint8_t kButtonKeys[] = {0x01, 0x02, 0x04, 0x05, 0x06};
  for (int i = 0; i < 5; ++i)
    if (mouseButtons & (1 << i)) state[kButtonKeys[i]] |= 0x80;
  for (int key = 0; key < 256; ++key)
    if (gToggled[size_t(key)]) state[key] |= 0x01;
}

void FillScanCodeState(uint8_t* state, KeyboardLayout layout) {
  std::memset(state, 0, 256);
  for (size_t usage = 0; usage < kUsages; ++usage)
    if (gHeld[usage])
      if (uint8_t code = ScanCodeOf(uint16_t(usage), layout)) state[code] = 0x80;
}

uint8_t ControlCharacter(uint16_t usage, uint8_t modifiers) {
  if (modifiers & platform::kModAlt) return 0;
  bool ctrl = (modifiers & platform::kModCtrl) != 0;
  if (ctrl && usage >= 0x04 && usage <= 0x1D) return uint8_t(usage - 0x04 + 1);  // Ctrl+A is 1
  switch (usage) {
    case 0x2A:  // Backspace
      return ctrl ? 0x7F : 0x08;
    case 0x2B:  // Tab
      return ctrl ? 0 : 0x09;
    case 0x28:  // Enter
    case 0x58:  // keypad Enter
      return ctrl ? 0x0A : 0x0D;
    case 0x29:  // Esc
      return 0x1B;
    default:
      return 0;
  }
}

}  // namespace qavz
