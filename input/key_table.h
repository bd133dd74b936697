// The keyboard's keys in both numberings a program can ask for: Windows
// virtual-key codes (the key-state array without DirectInput) and DirectInput
// scan codes (with it). Keys are found by their place on the keyboard, as
// a USB HID keyboard usage id, which is also how SDL numbers its scancodes.
#pragma once

#include <cstdint>
#include <span>

#include "platform/video.h"

namespace qavz {

struct KeyRow {
  uint16_t usage;         // USB HID keyboard usage id
  uint8_t virtualKey;     // on the 104-key layout; 0: none
  uint8_t scanCode;       // DirectInput, 104-key layout; 0: none
  uint8_t virtualKey106;  // on the 106-key Japanese layout; 0: as on the 104-key one
  uint8_t scanCode106;
  const char* name;  // as printed on the key (104 / 106)
};

std::span<const KeyRow> KeyRows();
// The row of a key; null for a usage with no row.
const KeyRow* FindKey(uint16_t usage);

using platform::KeyboardLayout;
uint8_t VirtualKeyOf(uint16_t usage, KeyboardLayout layout);
uint8_t ScanCodeOf(uint16_t usage, KeyboardLayout layout);
// Shift, Control and Alt have a left and a right code and a common one,
// held while either side is: 0x10, 0x11, 0x12 for 0xA0..0xA5; else 0.
uint8_t CommonVirtualKey(uint8_t virtualKey);

}  // namespace qavz
