// The printf-family formatter over script memory, shared by sprintf, log_out
// and gtextf. It sits with the machine, below the subsystems that format,
// because it reads its arguments straight from script memory.
#pragma once

#include <cstdint>
#include <string>

#include "vm/arena.h"

namespace qavz {

// Formats the zero-terminated Shift-JIS text at `format`, taking each
// conversion's value from consecutive 32-bit words starting at `firstArg`
// (64-bit integers and doubles take two words, low word first). Nothing is
// ever written to script memory: %n consumes its word and prints nothing.
// %s reads a bounded string; an address that is not live prints "(null)".
// The result is the first `limit` bytes of the full text: widths and
// precisions are honoured however large, but no field is built much past
// the limit. A format address that is not live gives "".
std::string FormatScriptText(Addr format, Addr firstArg, size_t limit);

// The limit for texts with no destination of their own (the log line).
constexpr size_t kMaxFormatted = 1u << 20;
inline std::string FormatScriptText(Addr format, Addr firstArg) {
  return FormatScriptText(format, firstArg, kMaxFormatted);
}

}  // namespace qavz
