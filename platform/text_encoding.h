// Titles store text as Shift-JIS (code page 932); Linux shows UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace qavz::platform {

// True when `bytes` is well-formed UTF-8 (plain ASCII is).
bool IsUtf8(const std::string& bytes);
// Code page 932 to UTF-8. Text that is already well-formed UTF-8 is kept as
// it is (a title edited on Linux); a byte that is not Shift-JIS becomes U+FFFD.
std::string ToUtf8(const std::string& shiftJis);
// UTF-8 to code page 932, as typed text reaches a program: a character that
// has no Shift-JIS form, or a malformed sequence, becomes '?'.
std::string ToShiftJis(const std::string& utf8);

// UTF-8 to code page 932 for names that must match exactly: empty when
// `utf8` is not well-formed or holds a character code page 932 lacks.
std::string ToShiftJisExactly(const std::string& utf8);

// The code point of a code page 932 character: a single byte, or lead byte x
// 256 + trail byte. 0 for a code that names no character (an unassigned
// pair, a lead byte alone, a trail byte outside 0x40..0xFC). Thread-safe;
// the table is built on first use.
char32_t ShiftJisToUnicode(uint32_t code);

}  // namespace qavz::platform
