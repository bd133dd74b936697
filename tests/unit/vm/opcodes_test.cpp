#include "vm/opcodes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qavz {
namespace {

// The bytes each operand form takes after the opcode: a row whose length
// disagrees would make the interpreter, the assembler and the code generator
// step over different instruction boundaries.
int OperandBytes(OperandForm form) {
  switch (form) {
    case OperandForm::kNone:
      return 0;
    case OperandForm::kIndex16:
      return 2;
    case OperandForm::kRegReg:
    case OperandForm::kRegOne:
    case OperandForm::kRegInd:
    case OperandForm::kIndReg:
    case OperandForm::kPushReg:
    case OperandForm::kPopReg:
    case OperandForm::kCallReg:
    case OperandForm::kIncDec:
      return 1;
    case OperandForm::kPushImm:
    case OperandForm::kFrame:
    case OperandForm::kTarget:
    case OperandForm::kZeroAbs:
    case OperandForm::kZeroOff:
      return 4;
    case OperandForm::kRegImm:
    case OperandForm::kRegAddr:
    case OperandForm::kRegAbs:
    case OperandForm::kRegOff:
    case OperandForm::kAbsReg:
    case OperandForm::kOffReg:
    case OperandForm::kStep:
      return 5;
  }
  return -1;
}

TEST(Opcodes, EveryRowIsNamedExplainedAndAsLongAsItsForm) {
  for (int op = 0; op < kOpcodeCount; ++op) {
    const OpcodeInfo& row = kOpcodes[op];
    EXPECT_EQ(row.length, 1 + OperandBytes(row.form)) << "opcode " << op;
    EXPECT_GT(std::strlen(row.mnemonic), 1u) << "opcode " << op;
    EXPECT_GT(std::strlen(row.meaning), 3u) << "opcode " << op;
  }
}

TEST(Opcodes, NamesKeepTheMachinesNumbers) {
  EXPECT_EQ(int(Opcode::kTrap), 1);
  EXPECT_EQ(int(Opcode::kPush), 31);
  EXPECT_EQ(int(Opcode::kAddImm), 59);
  EXPECT_EQ(int(Opcode::kJbe), kOpcodeCount - 1);
  EXPECT_EQ(kStackAdjustWord, 0x773B);
  EXPECT_STREQ(MnemonicOf(Opcode::kPreInc16), "preinc") << "the listing spells both widths alike";
}

}  // namespace
}  // namespace qavz
