// Instruction text for debugging tools, in the assembler's notation (the
// compiler listing's, with numbers where the listing has names).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "vm/arena.h"

namespace qavz {

// The instruction at `bytes` (which sits at machine address `at`), as one
// line without a line feed, e.g. "\tmovl\tr1, 8(r6)". Sets `length` to its
// size; an opcode above 83 or a cut-off instruction gives ".byte N" and
// length 1.
std::string DisassembleOne(const uint8_t* bytes, size_t available, Addr at, uint32_t& length);

// Every instruction of [bytes, bytes + size), one per line, each prefixed
// with its address ("%08X:") when `withAddresses` is set.
std::string Disassemble(const uint8_t* bytes, size_t size, Addr origin, bool withAddresses = true);

}  // namespace qavz
