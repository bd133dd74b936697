// The machine's 84 instructions: one row per opcode with its length, the
// mnemonic the listing prints and the operand form. The interpreter, the
// assembler and the disassembler all read this one list.
#pragma once

#include <cstdint>

namespace qavz {

// Operand forms, named by what follows the opcode byte. R is the register
// byte (low nibble D, high nibble S).
enum class OperandForm : uint8_t {
  kNone,     // nop, ret
  kIndex16,  // trap N
  kRegReg,   // rD, rS
  kRegOne,   // rD (S written equal to D)
  kRegImm,   // rD, $imm
  kRegAddr,  // rD, $address (a function, variable or string)
  kRegAbs,   // rD, abs        (load from an absolute address)
  kRegOff,   // rD, off(r6)    (load from, or lea of, a frame slot)
  kRegInd,   // rD, (rS)       (load through a register)
  kAbsReg,   // abs, rS        (store)
  kOffReg,   // off(r6), rS    (store)
  kIndReg,   // (rD), rS       (store through a register)
  kPushReg,  // rS
  kPushImm,  // $imm (no register byte)
  kPopReg,   // rD (S written as 7)
  kFrame,    // N (enter, leave; no register byte)
  kTarget,   // abs (call, jumps; no register byte)
  kCallReg,  // rS
  kStep,     // rD, (rS), imm (preop/postop; the listing shows rD, imm with S = D)
  kIncDec,   // (rS) with D = S, or rD, (rS)
  kZeroAbs,  // abs (no register byte)
  kZeroOff,  // off(r6) (no register byte)
};

// clang-format off
// X(opcode, length, mnemonic, form)
// clang-format on
#define QAVZ_OPCODES(X)         \
  X(0, 1, "nop", kNone)         \
  X(1, 3, "trap", kIndex16)     \
  X(2, 2, "xchg", kRegReg)      \
  X(3, 2, "movl", kRegReg)      \
  X(4, 6, "movl", kRegImm)      \
  X(5, 6, "movl", kRegAddr)     \
  X(6, 6, "movbl", kRegAbs)     \
  X(7, 6, "movsbl", kRegAbs)    \
  X(8, 6, "movwl", kRegAbs)     \
  X(9, 6, "movswl", kRegAbs)    \
  X(10, 6, "movl", kRegAbs)     \
  X(11, 6, "lea", kRegOff)      \
  X(12, 6, "movbl", kRegOff)    \
  X(13, 6, "movsbl", kRegOff)   \
  X(14, 6, "movwl", kRegOff)    \
  X(15, 6, "movswl", kRegOff)   \
  X(16, 6, "movl", kRegOff)     \
  X(17, 2, "movbl", kRegInd)    \
  X(18, 2, "movsbl", kRegInd)   \
  X(19, 2, "movwl", kRegInd)    \
  X(20, 2, "movswl", kRegInd)   \
  X(21, 2, "movl", kRegInd)     \
  X(22, 6, "movb", kAbsReg)     \
  X(23, 6, "movw", kAbsReg)     \
  X(24, 6, "movl", kAbsReg)     \
  X(25, 6, "movb", kOffReg)     \
  X(26, 6, "movw", kOffReg)     \
  X(27, 6, "movl", kOffReg)     \
  X(28, 2, "movb", kIndReg)     \
  X(29, 2, "movw", kIndReg)     \
  X(30, 2, "movl", kIndReg)     \
  X(31, 2, "push", kPushReg)    \
  X(32, 5, "push", kPushImm)    \
  X(33, 2, "pop", kPopReg)      \
  X(34, 5, "enter", kFrame)     \
  X(35, 5, "leave", kFrame)     \
  X(36, 5, "call", kTarget)     \
  X(37, 2, "call", kCallReg)    \
  X(38, 1, "ret", kNone)        \
  X(39, 6, "preop", kStep)      \
  X(40, 6, "postop", kStep)     \
  X(41, 2, "preinc", kIncDec)   \
  X(42, 2, "postinc", kIncDec)  \
  X(43, 2, "predec", kIncDec)   \
  X(44, 2, "postdec", kIncDec)  \
  X(45, 2, "preincw", kIncDec)  \
  X(46, 2, "postincw", kIncDec) \
  X(47, 2, "predecw", kIncDec)  \
  X(48, 2, "postdecw", kIncDec) \
  X(49, 5, "zerob", kZeroAbs)   \
  X(50, 5, "zerow", kZeroAbs)   \
  X(51, 5, "zerol", kZeroAbs)   \
  X(52, 5, "zerob", kZeroOff)   \
  X(53, 5, "zerow", kZeroOff)   \
  X(54, 5, "zerol", kZeroOff)   \
  X(55, 2, "cmp", kRegReg)      \
  X(56, 6, "cmp", kRegImm)      \
  X(57, 2, "set", kRegOne)      \
  X(58, 2, "add", kRegReg)      \
  X(59, 6, "add", kRegImm)      \
  X(60, 2, "sub", kRegReg)      \
  X(61, 6, "sub", kRegImm)      \
  X(62, 2, "mul", kRegReg)      \
  X(63, 2, "div", kRegReg)      \
  X(64, 2, "mod", kRegReg)      \
  X(65, 2, "shl", kRegReg)      \
  X(66, 2, "shr", kRegReg)      \
  X(67, 2, "sar", kRegReg)      \
  X(68, 2, "neg", kRegOne)      \
  X(69, 2, "not", kRegOne)      \
  X(70, 2, "and", kRegReg)      \
  X(71, 2, "or", kRegReg)       \
  X(72, 2, "xor", kRegReg)      \
  X(73, 5, "jmp", kTarget)      \
  X(74, 5, "je", kTarget)       \
  X(75, 5, "jne", kTarget)      \
  X(76, 5, "jg", kTarget)       \
  X(77, 5, "jge", kTarget)      \
  X(78, 5, "jl", kTarget)       \
  X(79, 5, "jle", kTarget)      \
  X(80, 5, "ja", kTarget)       \
  X(81, 5, "jae", kTarget)      \
  X(82, 5, "jb", kTarget)       \
  X(83, 5, "jbe", kTarget)

struct OpcodeInfo {
  uint8_t length;
  const char* mnemonic;  // the 16-bit forms of 45-48 carry a "w" the listing leaves out
  OperandForm form;
};

constexpr int kOpcodeCount = 84;
constexpr OpcodeInfo kOpcodes[kOpcodeCount] = {
#define QAVZ_OPCODE_ROW(op, len, name, form) {len, name, OperandForm::form},
    QAVZ_OPCODES(QAVZ_OPCODE_ROW)
#undef QAVZ_OPCODE_ROW
};

// The stack-adjusting `add r7, imm32` the compiler emits after a call with
// arguments, as its first 16-bit word (register byte 0x77, opcode 59).
constexpr uint16_t kStackAdjustWord = 0x773B;

}  // namespace qavz
