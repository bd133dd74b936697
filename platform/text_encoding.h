// Titles store text as Shift-JIS (code page 932); Linux shows UTF-8.
#pragma once

#include <string>

namespace qavz::platform {

// True when `bytes` is well-formed UTF-8 (plain ASCII is).
bool IsUtf8(const std::string& bytes);
// Code page 932 to UTF-8. Text that is already well-formed UTF-8 is kept as
// it is (a title edited on Linux); a byte that is not Shift-JIS becomes U+FFFD.
std::string ToUtf8(const std::string& shiftJis);

}  // namespace qavz::platform
