// The typed-character ring: 512 bytes of what the user typed, Shift-JIS,
// filled by the window thread and read by key_get on a script thread. When
// it is full the oldest byte goes, so it holds at most 511.
#pragma once

#include <cstdint>
#include <string>

namespace qavz {

constexpr uint32_t kCharRingSize = 512;

void PushTypedByte(uint8_t byte);
// Every byte of `shiftJis` in order (a double-byte character is two).
void PushTypedText(const std::string& shiftJis);
// The oldest byte as a signed 8-bit value (0x82 gives -126), or 0 when the
// ring is empty.
int32_t TakeTypedChar();
void ClearTypedChars();

}  // namespace qavz
