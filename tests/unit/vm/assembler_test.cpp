#include "vm/assembler.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "vm/disassembler.h"
#include "vm/opcodes.h"

namespace qavz {
namespace {

std::vector<uint8_t> Bytes(const std::string& text, Addr origin = 0x10000) {
  AssembledProgram p;
  std::string error;
  EXPECT_TRUE(Assemble(text, origin, 0, p, error)) << text << ": " << error;
  return p.code;
}

struct EncodingCase {
  const char* line;  // as the compiler's listing prints it
  std::vector<uint8_t> bytes;
};

class Encodings : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(Encodings, ListingLinesAssembleToTheirBytes) {
  EXPECT_EQ(Bytes(GetParam().line), GetParam().bytes) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Listing, Encodings,
    ::testing::Values(
        EncodingCase{"\tmovl\tr1, r2\n", {3, 0x21}}, EncodingCase{"\txchg\tr0, r3\n", {2, 0x30}},
        EncodingCase{"\tpush\tr5\n", {31, 0x50}}, EncodingCase{"\tpop\t\tr2\n", {33, 0x72}},
        EncodingCase{"\tmovl\tr1, $-2\n", {4, 0x11, 0xFE, 0xFF, 0xFF, 0xFF}},
        EncodingCase{"\tmovl\tr0, $@0x12345678\n", {5, 0x00, 0x78, 0x56, 0x34, 0x12}},
        EncodingCase{"\tlea\t\tr2, -24(r6)\n", {11, 0x62, 0xE8, 0xFF, 0xFF, 0xFF}},
        EncodingCase{"\tmovsbl\tr1, 0x20000\n", {7, 0x61, 0, 0, 2, 0}},
        EncodingCase{"\tmovl\tr3, 8(r6)\n", {16, 0x63, 8, 0, 0, 0}},
        EncodingCase{"\tmovswl\tr1, (r4)\n",
                     {
                         20,
                         0x41,
                     }},
        EncodingCase{"\tmovwl\tr1, (r4)\n", {19, 0x41}},
        EncodingCase{"\tmovw\t0x20000, r2\n", {23, 0x26, 0, 0, 2, 0}},
        EncodingCase{"\tmovb\t-4(r6), r1\n", {25, 0x16, 0xFC, 0xFF, 0xFF, 0xFF}},
        EncodingCase{"\tmovl\t(r1), r2\n", {30, 0x21}}, EncodingCase{"\tadd\t\tr1, r2\n", {58, 0x21}},
        EncodingCase{"\tadd\t\tr7, $8\n", {59, 0x77, 8, 0, 0, 0}},
        EncodingCase{"\tsub\t\tr1, $1\n", {61, 0x11, 1, 0, 0, 0}},
        EncodingCase{"\tsar\t\tr1, r2\n", {67, 0x21}}, EncodingCase{"\tneg\t\tr3\n", {68, 0x33}},
        EncodingCase{"\tset\t\tr0\n", {57, 0x00}}, EncodingCase{"\tpreop\tr1, 4\n", {39, 0x11, 4, 0, 0, 0}},
        EncodingCase{"\tpostop\tr2, -1\n", {40, 0x22, 0xFF, 0xFF, 0xFF, 0xFF}},
        EncodingCase{"\tpreinc\t(r1)\n", {41, 0x11}}, EncodingCase{"\tpostdec\t(r3)\n", {44, 0x33}},
        EncodingCase{"\tpostincw\t(r3)\n", {46, 0x33}}, EncodingCase{"\tzerol\t0x20000\n", {51, 0, 0, 2, 0}},
        EncodingCase{"\tzerob\t-21(r6)\n", {52, 0xEB, 0xFF, 0xFF, 0xFF}},
        EncodingCase{"\tcmpl\tr1, $0\n", {56, 0x11, 0, 0, 0, 0}},
        EncodingCase{"\tcmp\t\tr1, $5\n", {56, 0x11, 5, 0, 0, 0}},
        EncodingCase{"\tcmp\t\tr1, r2\n", {55, 0x21}}, EncodingCase{"\tpush\t$7\n", {32, 7, 0, 0, 0}},
        EncodingCase{"\tcall\tr2\n", {37, 0x20}}, EncodingCase{"\tenter\n", {34, 0, 0, 0, 0}},
        EncodingCase{"\tleave\t12\n", {35, 12, 0, 0, 0}}, EncodingCase{"\tret\n\n", {38}},
        EncodingCase{"\ttrap\t36\n", {1, 36, 0}}, EncodingCase{"\ttrap\t261\n", {1, 5, 1}},
        EncodingCase{"\tjbe\t\t0x10000\n", {83, 0, 0, 1, 0}}));

TEST(Assembler, LabelsAndDataResolveToAbsoluteAddresses) {
  AssembledProgram p;
  std::string error;
  const char* text =
      ".file \"t.c\"\n.text\n\n"
      ".global main, @function\nmain:\n\tjmp\t\t_1\n_1:\n\tmovl\tr0, $_s0\n"
      "\tmovl\tr1, count\n\tzerol\ttable[8]\n"
      "_s0:\n\t.ascii \"a\\n\\x01\\\"b\\0\"\n"
      "\t.long $main\n\t.byte ? dup(3)\n\t.short -1\n"
      "*\tsource echo is skipped\n"
      ".comm count, 4\n.lcomm table., 16\n.comm table, 12\n";
  ASSERT_TRUE(Assemble(text, 0x20000, 0, p, error)) << error;
  uint32_t code = uint32_t(p.code.size());
  EXPECT_EQ(p.dataSize, 32u);
  EXPECT_EQ(p.programSize, code + 32);
  EXPECT_EQ(p.symbols["_1"], 0x20005u);
  EXPECT_EQ(p.symbols["count"], 0x20000u + p.programSize - 4) << "first variable at the very end";
  EXPECT_EQ(p.symbols["table."], 0x20000u + p.programSize - 20);
  EXPECT_EQ(p.symbols["table"], 0x20000u + p.programSize - 32);
  const std::vector<uint8_t> ascii = {'a', '\n', 1, '"', 'b', 0};
  Addr s0 = p.symbols["_s0"] - 0x20000;
  EXPECT_EQ(std::vector<uint8_t>(p.code.begin() + s0, p.code.begin() + s0 + 6), ascii);
  EXPECT_EQ(p.code[s0 + 6], 0x00) << ".long $main, little-endian";
  EXPECT_EQ(p.code[s0 + 8], 0x02);
  EXPECT_EQ(p.code.size(), s0 + 6 + 4 + 3 + 2);
  uint32_t zerolOperand = p.code[18] | p.code[19] << 8 | p.code[20] << 16 | uint32_t(p.code[21]) << 24;
  EXPECT_EQ(zerolOperand, p.symbols["table"] + 8);
}

TEST(Assembler, ErrorsNameTheLine) {
  AssembledProgram p;
  std::string error;
  EXPECT_FALSE(Assemble("nop\nfrob r1\n", 0, 0, p, error));
  EXPECT_EQ(error, "line 2: unknown mnemonic frob");
  EXPECT_FALSE(Assemble("jmp nowhere\n", 0, 0, p, error));
  EXPECT_NE(error.find("nowhere"), std::string::npos);
  EXPECT_FALSE(Assemble("movl (r1), $3\n", 0, 0, p, error));
  EXPECT_FALSE(Assemble("a:\na:\n", 0, 0, p, error));
  EXPECT_FALSE(Assemble("nop\nnop\n", 0, 1, p, error)) << "does not fit the program size";
}

// Every opcode with random operands: the disassembler's text assembles back
// to the same bytes.
TEST(Disassembler, RoundTripsEveryOpcode) {
  std::mt19937 random(1234);
  for (int op = 0; op < kOpcodeCount; ++op) {
    for (int trial = 0; trial < 20; ++trial) {
      std::vector<uint8_t> bytes(kOpcodes[op].length);
      bytes[0] = uint8_t(op);
      for (size_t i = 1; i < bytes.size(); ++i) bytes[i] = uint8_t(random());
      OperandForm form = kOpcodes[op].form;
      // Forms whose unused nibble is fixed by the encoding.
      if (form == OperandForm::kRegAbs || form == OperandForm::kRegOff)
        bytes[1] = uint8_t(0x60 | (bytes[1] & 15));
      if (form == OperandForm::kAbsReg || form == OperandForm::kOffReg)
        bytes[1] = uint8_t((bytes[1] & 0xF0) | 6);
      if (form == OperandForm::kRegImm || form == OperandForm::kRegAddr)
        bytes[1] = uint8_t((bytes[1] & 15) * 0x11);
      if (form == OperandForm::kPushReg || form == OperandForm::kCallReg) bytes[1] &= 0xF0;
      if (form == OperandForm::kPopReg) bytes[1] = uint8_t(0x70 | (bytes[1] & 15));
      uint32_t length;
      std::string line = DisassembleOne(bytes.data(), bytes.size(), 0x10000, length);
      EXPECT_EQ(length, kOpcodes[op].length);
      EXPECT_EQ(Bytes(line), bytes) << "opcode " << op << ": " << line;
    }
  }
}

TEST(Disassembler, PrintsTheListingNotation) {
  uint32_t length;
  const uint8_t lea[] = {11, 0x62, 0xE8, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(DisassembleOne(lea, sizeof lea, 0, length), "\tlea\t\tr2, -24(r6)");
  const uint8_t trap[] = {1, 36, 0};
  EXPECT_EQ(DisassembleOne(trap, sizeof trap, 0, length), "\ttrap\t36");
  const uint8_t cut[] = {4, 0x11, 0};
  EXPECT_EQ(DisassembleOne(cut, sizeof cut, 0, length), "\t.byte 4");
  EXPECT_EQ(length, 1u);
  const uint8_t bad[] = {84};
  EXPECT_EQ(DisassembleOne(bad, 1, 0, length), "\t.byte 84");
  EXPECT_EQ(Disassemble(trap, 3, 0x10000), "00010000:\ttrap\t36\n");
}

}  // namespace
}  // namespace qavz
