// Checked views of zero-terminated strings in script memory, shared by the
// string and pattern natives.
#pragma once

#include <cstdint>

#include "vm/arena.h"

namespace qavz {

struct ScriptText {
  uint8_t* bytes = nullptr;  // host view, valid during the native call
  uint32_t length = 0;       // bytes before the terminator
};

// The string at `a`; false when `a` is 0, not live, or has no terminator
// before the end of live memory.
bool GetScriptText(Addr a, ScriptText& out) noexcept;

// Live bytes from `a` on (0 when `a` is 0 or dead): the most any write at
// `a` may touch.
uint32_t WritableRoom(Addr a) noexcept;

// Writes `n` bytes and a terminator at dst, keeping within `room` bytes (the
// text is cut, at a character boundary when `wholeChars`). Returns the bytes
// kept. Source and destination may overlap.
uint32_t PutText(uint8_t* dst, uint32_t room, const uint8_t* src, uint32_t n, bool wholeChars) noexcept;

}  // namespace qavz
