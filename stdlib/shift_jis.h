// Code page 932 (Shift-JIS): lead bytes, character codes, case folding and the
// collation that stands in for the platform's locale-aware comparison.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/lead_bytes.h"

namespace qavz {

// Byte length of the character at s[0] (s zero-terminated): 2 for a lead byte
// with a trail, else 1. A lead byte before the terminator counts as 1, so no
// walk ever steps over a terminator.
inline size_t CharLength(const uint8_t* s) noexcept { return (IsLeadByte(s[0]) && s[1] != 0) ? 2 : 1; }

// Character code: lead * 256 + trail for a double-byte character, else the byte.
inline uint32_t CharCode(const uint8_t* s, size_t len) noexcept {
  return len == 2 ? (uint32_t(s[0]) << 8) | s[1] : s[0];
}

// Number of characters of the zero-terminated text; a lead byte followed by
// the terminator ends the count without being counted.
size_t MbsLength(const uint8_t* s, size_t bytes) noexcept;

// Case mapping of double-byte letters (full-width Latin, Greek, Cyrillic).
uint32_t DoubleByteLower(uint32_t code) noexcept;
uint32_t DoubleByteUpper(uint32_t code) noexcept;

// The ordering of strcmp / strcmpi: -1, 0 or 1 (see shift_jis.cpp).
int CollateCompare(const uint8_t* a, const uint8_t* b, bool ignoreCase) noexcept;

}  // namespace qavz
