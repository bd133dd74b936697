// The printf-family formatter over script memory, shared by sprintf, log_out
// and gtextf.
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
// Widths and precisions are capped at kMaxFieldWidth and the whole result at
// kMaxFormatted bytes. A format address that is not live gives "".
std::string FormatScriptText(Addr format, Addr firstArg);

constexpr int kMaxFieldWidth = 4096;
constexpr size_t kMaxFormatted = 1u << 20;

}  // namespace qavz
