// The machine's 84 instructions: one row per opcode with its symbolic name,
// length, the mnemonic the compiler's listing prints, the operand form and
// what it does. The interpreter's cases, the code generator, the listing,
// the assembler and the disassembler all take their opcodes from this list.
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

// X(opcode, name, length, mnemonic, form, meaning). [a] is the word at a;
// abs an absolute address; off(r6) the frame register plus imm32.
#define QAVZ_OPCODES(X)                                                                \
  X(0, Nop, 1, "nop", kNone, "no operation")                                           \
  X(1, Trap, 3, "trap", kIndex16, "call native index16; ends the slice")               \
  X(2, Xchg, 2, "xchg", kRegReg, "swap rD and rS")                                     \
  X(3, Move, 2, "movl", kRegReg, "rD = rS")                                            \
  X(4, LoadImm, 6, "movl", kRegImm, "rD = imm32 (a constant)")                         \
  X(5, LoadAddr, 6, "movl", kRegAddr, "rD = imm32 (an address; as LoadImm)")           \
  X(6, LoadU8Abs, 6, "movbl", kRegAbs, "rD = byte at abs, zero-extended")              \
  X(7, LoadS8Abs, 6, "movsbl", kRegAbs, "rD = byte at abs, sign-extended")             \
  X(8, LoadU16Abs, 6, "movwl", kRegAbs, "rD = 16 bits at abs, zero-extended")          \
  X(9, LoadS16Abs, 6, "movswl", kRegAbs, "rD = 16 bits at abs, sign-extended")         \
  X(10, Load32Abs, 6, "movl", kRegAbs, "rD = [abs]")                                   \
  X(11, Lea, 6, "lea", kRegOff, "rD = r6 + imm32")                                     \
  X(12, LoadU8Frame, 6, "movbl", kRegOff, "rD = byte at off(r6), zero-extended")       \
  X(13, LoadS8Frame, 6, "movsbl", kRegOff, "rD = byte at off(r6), sign-extended")      \
  X(14, LoadU16Frame, 6, "movwl", kRegOff, "rD = 16 bits at off(r6), zero-extended")   \
  X(15, LoadS16Frame, 6, "movswl", kRegOff, "rD = 16 bits at off(r6), sign-extended")  \
  X(16, Load32Frame, 6, "movl", kRegOff, "rD = [off(r6)]")                             \
  X(17, LoadU8Ind, 2, "movbl", kRegInd, "rD = byte at rS, zero-extended")              \
  X(18, LoadS8Ind, 2, "movsbl", kRegInd, "rD = byte at rS, sign-extended")             \
  X(19, LoadU16Ind, 2, "movwl", kRegInd, "rD = 16 bits at rS, zero-extended")          \
  X(20, LoadS16Ind, 2, "movswl", kRegInd, "rD = 16 bits at rS, sign-extended")         \
  X(21, Load32Ind, 2, "movl", kRegInd, "rD = [rS]")                                    \
  X(22, Store8Abs, 6, "movb", kAbsReg, "byte at abs = rS")                             \
  X(23, Store16Abs, 6, "movw", kAbsReg, "16 bits at abs = rS")                         \
  X(24, Store32Abs, 6, "movl", kAbsReg, "[abs] = rS")                                  \
  X(25, Store8Frame, 6, "movb", kOffReg, "byte at off(r6) = rS")                       \
  X(26, Store16Frame, 6, "movw", kOffReg, "16 bits at off(r6) = rS")                   \
  X(27, Store32Frame, 6, "movl", kOffReg, "[off(r6)] = rS")                            \
  X(28, Store8Ind, 2, "movb", kIndReg, "byte at rD = rS")                              \
  X(29, Store16Ind, 2, "movw", kIndReg, "16 bits at rD = rS")                          \
  X(30, Store32Ind, 2, "movl", kIndReg, "[rD] = rS")                                   \
  X(31, Push, 2, "push", kPushReg, "push rS")                                          \
  X(32, PushImm, 5, "push", kPushImm, "push imm32")                                    \
  X(33, Pop, 2, "pop", kPopReg, "pop into rD")                                         \
  X(34, Enter, 5, "enter", kFrame, "save r1-r6 below N bytes of locals; r6 = frame")   \
  X(35, Leave, 5, "leave", kFrame, "drop N bytes of locals, restore r1-r6; ends main") \
  X(36, Call, 5, "call", kTarget, "push the return address; pc = abs")                 \
  X(37, CallReg, 2, "call", kCallReg, "push the return address; pc = rS (0 faults)")   \
  X(38, Ret, 1, "ret", kNone, "pop pc; a popped -1 ends the context")                  \
  X(39, PreStep, 6, "preop", kStep, "[rS] += imm32; rD = new value")                   \
  X(40, PostStep, 6, "postop", kStep, "rD = [rS]; [rS] += imm32")                      \
  X(41, PreInc8, 2, "preinc", kIncDec, "byte at rS += 1; rD = new byte")               \
  X(42, PostInc8, 2, "postinc", kIncDec, "rD = byte at rS; byte += 1")                 \
  X(43, PreDec8, 2, "predec", kIncDec, "byte at rS -= 1; rD = new byte")               \
  X(44, PostDec8, 2, "postdec", kIncDec, "rD = byte at rS; byte -= 1")                 \
  X(45, PreInc16, 2, "preinc", kIncDec, "16 bits at rS += 1; rD = new value")          \
  X(46, PostInc16, 2, "postinc", kIncDec, "rD = 16 bits at rS; value += 1")            \
  X(47, PreDec16, 2, "predec", kIncDec, "16 bits at rS -= 1; rD = new value")          \
  X(48, PostDec16, 2, "postdec", kIncDec, "rD = 16 bits at rS; value -= 1")            \
  X(49, Zero8Abs, 5, "zerob", kZeroAbs, "EQ = (byte at abs == 0)")                     \
  X(50, Zero16Abs, 5, "zerow", kZeroAbs, "EQ = (16 bits at abs == 0)")                 \
  X(51, Zero32Abs, 5, "zerol", kZeroAbs, "EQ = ([abs] == 0)")                          \
  X(52, Zero8Frame, 5, "zerob", kZeroOff, "EQ = (byte at off(r6) == 0)")               \
  X(53, Zero16Frame, 5, "zerow", kZeroOff, "EQ = (16 bits at off(r6) == 0)")           \
  X(54, Zero32Frame, 5, "zerol", kZeroOff, "EQ = ([off(r6)] == 0)")                    \
  X(55, Cmp, 2, "cmp", kRegReg, "EQ, LT, LTU from rD against rS")                      \
  X(56, CmpImm, 6, "cmp", kRegImm, "EQ, LT, LTU from rD against imm32")                \
  X(57, Set, 2, "set", kRegOne, "rD = 1 if rS is 0, else 0")                           \
  X(58, Add, 2, "add", kRegReg, "rD += rS")                                            \
  X(59, AddImm, 6, "add", kRegImm, "rD += imm32")                                      \
  X(60, Sub, 2, "sub", kRegReg, "flags as Cmp; rD -= rS")                              \
  X(61, SubImm, 6, "sub", kRegImm, "flags as CmpImm; rD -= imm32")                     \
  X(62, Mul, 2, "mul", kRegReg, "rD *= rS (low 32 bits)")                              \
  X(63, Div, 2, "div", kRegReg, "rD /= rS, signed, toward zero (0 faults)")            \
  X(64, Mod, 2, "mod", kRegReg, "rD %= rS, signed, sign of rD (0 faults)")             \
  X(65, Shl, 2, "shl", kRegReg, "rD <<= rS & 31")                                      \
  X(66, Shr, 2, "shr", kRegReg, "rD >>= rS & 31, zeros in")                            \
  X(67, Sar, 2, "sar", kRegReg, "rD >>= rS & 31, sign in")                             \
  X(68, Neg, 2, "neg", kRegOne, "rD = -rS")                                            \
  X(69, Not, 2, "not", kRegOne, "rD = ~rS")                                            \
  X(70, And, 2, "and", kRegReg, "rD &= rS")                                            \
  X(71, Or, 2, "or", kRegReg, "rD |= rS")                                              \
  X(72, Xor, 2, "xor", kRegReg, "rD ^= rS")                                            \
  X(73, Jmp, 5, "jmp", kTarget, "pc = abs")                                            \
  X(74, Je, 5, "je", kTarget, "jump if EQ")                                            \
  X(75, Jne, 5, "jne", kTarget, "jump unless EQ")                                      \
  X(76, Jg, 5, "jg", kTarget, "jump if neither LT nor EQ")                             \
  X(77, Jge, 5, "jge", kTarget, "jump if EQ or not LT")                                \
  X(78, Jl, 5, "jl", kTarget, "jump if LT and not EQ")                                 \
  X(79, Jle, 5, "jle", kTarget, "jump if LT or EQ")                                    \
  X(80, Ja, 5, "ja", kTarget, "jump if neither LTU nor EQ")                            \
  X(81, Jae, 5, "jae", kTarget, "jump if EQ or not LTU")                               \
  X(82, Jb, 5, "jb", kTarget, "jump if LTU and not EQ")                                \
  X(83, Jbe, 5, "jbe", kTarget, "jump if LTU or EQ")

enum class Opcode : uint8_t {
#define QAVZ_OPCODE_NAME(op, name, len, mnemonic, form, meaning) k##name,
  QAVZ_OPCODES(QAVZ_OPCODE_NAME)
#undef QAVZ_OPCODE_NAME
};

// A row out of order would give its name another opcode's number.
#define QAVZ_OPCODE_CHECK(op, name, len, mnemonic, form, meaning) \
  static_assert(int(Opcode::k##name) == op, #name " is out of order");
QAVZ_OPCODES(QAVZ_OPCODE_CHECK)
#undef QAVZ_OPCODE_CHECK

struct OpcodeInfo {
  uint8_t length;
  const char* mnemonic;  // as the listing prints it
  OperandForm form;
  const char* meaning;
};

constexpr int kOpcodeCount = 84;
constexpr OpcodeInfo kOpcodes[] = {
#define QAVZ_OPCODE_ROW(op, name, len, mnemonic, form, meaning) {len, mnemonic, OperandForm::form, meaning},
    QAVZ_OPCODES(QAVZ_OPCODE_ROW)
#undef QAVZ_OPCODE_ROW
};
static_assert(sizeof kOpcodes / sizeof kOpcodes[0] == kOpcodeCount);

constexpr const OpcodeInfo& InfoOf(Opcode op) { return kOpcodes[int(op)]; }
constexpr const char* MnemonicOf(Opcode op) { return InfoOf(op).mnemonic; }

// The listing prints the byte and 16-bit increments alike; the assembler and
// the disassembler spell the 16-bit ones with a trailing "w", so that their
// text reads back to the same opcode.
constexpr bool HasWordSuffix(int op) { return op >= int(Opcode::kPreInc16) && op <= int(Opcode::kPostDec16); }

// The stack-adjusting `add r7, imm32` the compiler emits after a call with
// arguments, as its first 16-bit word (register byte 0x77, AddImm).
constexpr uint16_t kStackAdjustWord = 0x7700 | uint8_t(Opcode::kAddImm);

}  // namespace qavz
