// A small assembler for the machine: text in the notation of the compiler's
// assembly listing in, program bytes out. It lets the machine be tested (and
// benchmarked and fuzzed) without the compiler, and reads back what the
// disassembler prints.
//
// One statement per line; ';' starts a comment, lines starting with '*'
// (source echoes) are skipped. Accepted:
//   name:  _12:                 labels (absolute address of the next byte)
//   .comm name, size            data placed downward from the program's end
//   .lcomm name, size           the same
//   .byte 1  .short 2  .long 3  .long $name  .byte ? dup(8)  .ascii "a\n\0"
//   .file/.text/.global/.globl  ignored
//   instructions as the listing prints them:
//     movl r1, r2   movl r1, $5   movl r1, $name   movl r1, name   movl r1, 8(r6)
//     movl r1, (r2) movl name, r1 movl -24(r6), r1 movl (r1), r2  lea r1, -24(r6)
//     push r1  push $4  pop r1  enter 8  leave 8  call f  call r1  ret  trap 36
//     preop r1, 4   preop r1, (r2), 4   preinc (r1)   preinc r0, (r1)
//     zerol name  zerob -24(r6)  cmp r1, r2  cmp r1, $3  cmpl r1, $0  set r1
//     add r1, r2  add r7, $8  neg r1  jmp _3  je _4 ...  nop
// The 16-bit increments are written preincw, postincw, predecw, postdecw
// (the listing prints both sizes alike). `$@N` forces the address form of
// movl (opcode 5) for a number. Operand values: decimal or 0x hex numbers,
// a name, name[8], name+8, name-8. Registers r0 to r15 (the machine uses the
// low three bits).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "vm/machine_context.h"

namespace qavz {

struct AssembledProgram {
  std::vector<uint8_t> code;  // bytes from the origin: instructions and inline data
  uint32_t dataSize = 0;      // bytes of .comm/.lcomm data below the program's end
  uint32_t programSize = 0;   // code + data, or the size asked for
  std::map<std::string, Addr> symbols;
};

// Assembles `text` for a program placed at `origin`. programSize 0 means
// exactly code + data. False with a message ("line N: ...") on error.
bool Assemble(std::string_view text, Addr origin, uint32_t programSize, AssembledProgram& out,
              std::string& error);

// A fresh context (CreateContext) holding the assembled program, pc at its
// first byte. Null on an assembly error (message in *error) or no memory.
MachineContext* AssembleContext(std::string_view text, uint32_t stackSize, std::string* error = nullptr,
                                uint32_t programSize = 0);

}  // namespace qavz
