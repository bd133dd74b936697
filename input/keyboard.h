// The keys held and toggled, kept by the window thread from key events, as
// the key-state array shows them in either numbering.
#pragma once

#include <cstdint>

#include "input/key_table.h"

namespace qavz {

// Nothing held; Caps Lock, Num Lock and Scroll Lock toggled as `lockKeys`
// (platform::kLock* bits) says, every other key untoggled.
void ResetKeyboard(uint8_t lockKeys);
// The lock keys as the platform reports them (after the focus comes back:
// they may have changed meanwhile).
void SyncLockKeys(uint8_t lockKeys);
// A key went down or up. A press that is not a repeat flips the key's
// toggle bit, as it does for every key in the platform's keyboard state.
void KeyboardEvent(uint16_t usage, bool down, bool repeat, KeyboardLayout layout);
// Every key up (the window lost the keyboard).
void ReleaseAllKeys();

// 256 bytes by virtual-key code: bit 7 held, bit 0 toggled. The mouse
// buttons held (platform::kButton* bits) are keys 1, 2, 4, 5 and 6.
void FillVirtualKeyState(uint8_t* state, KeyboardLayout layout, uint8_t mouseButtons);
// 256 bytes by DirectInput scan code: bit 7 held.
void FillScanCodeState(uint8_t* state, KeyboardLayout layout);

// The character a key press types by itself, as the platform's message
// translation makes it (Backspace, Tab, Enter, Esc, Ctrl with a letter);
// 0 for a key whose characters come as text.
uint8_t ControlCharacter(uint16_t usage, uint8_t modifiers);

}  // namespace qavz
