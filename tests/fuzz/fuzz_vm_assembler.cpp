// Disassembles arbitrary bytes and assembles the text again: the bytes of
// every whole instruction must come back unchanged, except the register-byte
// nibbles that the encoding fixes (the unused nibble of abs and off(r6)
// forms, S of immediate forms, pushes and pops), which the assembler writes
// canonically.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "vm/assembler.h"
#include "vm/disassembler.h"
#include "vm/opcodes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qavz;
  size_t pos = 0;
  while (pos < size) {
    uint32_t length;
    std::string line = DisassembleOne(data + pos, size - pos, 0x10000, length);
    AssembledProgram program;
    std::string error;
    if (!Assemble(line, 0x10000, 0, program, error)) std::abort();
    if (program.code.size() != length) std::abort();
    uint8_t op = data[pos];
    if (op < kOpcodeCount && length > 1) {
      OperandForm form = kOpcodes[op].form;
      bool registerByte = form != OperandForm::kIndex16 && form != OperandForm::kPushImm &&
                          form != OperandForm::kFrame && form != OperandForm::kTarget &&
                          form != OperandForm::kZeroAbs && form != OperandForm::kZeroOff;
      for (size_t i = 0; i < length; ++i) {
        if (i == 1 && registerByte) continue;  // compared by the disassembly below
        if (program.code[i] != data[pos + i]) std::abort();
      }
      uint32_t again;
      if (DisassembleOne(program.code.data(), program.code.size(), 0x10000, again) != line) std::abort();
    } else if (program.code[0] != data[pos]) {
      std::abort();
    }
    pos += length;
  }
  return 0;
}
