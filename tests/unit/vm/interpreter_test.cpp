#include "vm/interpreter.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "vm/arena.h"
#include "vm_test_support.h"

namespace qavz::test {
namespace {

using Interpreter = MachineTest;

std::string Nops(int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += "nop\n";
  return text;
}

TEST_F(Interpreter, SlicesRunAtMost255Instructions) {
  MachineContext* c = Build(Nops(300) + "leave 0\n");
  RunSlice(c);
  EXPECT_EQ(c->pc - c->imageBase, 255u);
  EXPECT_EQ(c->state, kRunning);
  RunSlice(c);
  EXPECT_EQ(c->pc - c->imageBase, 305u) << "45 nops and the leave";
  EXPECT_EQ(c->state, kEnded);
}

struct TrapLog {
  static inline int calls = 0;
  static inline uint32_t index = 0;
  static inline uint32_t pcSeen = 0;
  static void Handler(uint32_t i, MachineContext* c) {
    ++calls;
    index = i;
    pcSeen = c->pc;
  }
};

TEST_F(Interpreter, TrapRunsTheHandlerAndEndsTheSlice) {
  MachineContext* c = Build("trap 1234\nnop\nnop\n");
  TrapLog::calls = 0;
  SetTrapHandler(&TrapLog::Handler);
  RunSlice(c);
  SetTrapHandler(nullptr);
  EXPECT_EQ(TrapLog::calls, 1);
  EXPECT_EQ(TrapLog::index, 1234u);
  EXPECT_EQ(TrapLog::pcSeen, c->imageBase + 3) << "pc is past the index when the handler runs";
  EXPECT_EQ(c->pc, c->imageBase + 3) << "nothing after the trap ran";
}

TEST_F(Interpreter, StopFlagAndEndedStateRunNothing) {
  MachineContext* c = Build("movl r1, $5\n");
  StopFlag().store(1);
  RunSlice(c);
  EXPECT_EQ(c->pc, c->imageBase);
  StopFlag().store(0);
  c->state = kEnded;
  RunSlice(c);
  EXPECT_EQ(c->r[1], 0);
}

// Each fault: its message, state 2, StopFlag, and what it leaves behind.
struct FaultCase {
  const char* name;
  const char* program;
  const char* message;
};

class Faults : public MachineTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(Faults, ReportStopAndSetState2) {
  MachineContext* c = Build(GetParam().program, 64);
  RunToEnd(c);
  EXPECT_EQ(c->state, kStopped);
  EXPECT_EQ(StopFlag().load(), 1);
  ASSERT_EQ(Reports().size(), 1u);
  EXPECT_EQ(Reports()[0], GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Machine, Faults,
    ::testing::Values(
        FaultCase{"DivideByZero", "movl r1, $7\ndiv r1, r2\n", "０で除算しました"},
        FaultCase{"ModuloByZero", "movl r1, $7\nmod r1, r2\n", "０で除算しました"},
        FaultCase{"CallThroughZero", "call r3\n", "プログラム領域をオーバーしました"},
        FaultCase{"LoadFromAddressZero", "movl r1, (r2)\n", "プログラム領域をオーバーしました"},
        FaultCase{"StoreBelow64KiB", "movl r2, $4096\nmovb (r2), r1\n", "プログラム領域をオーバーしました"},
        FaultCase{"JumpToNowhere", "jmp 0x100\n", "プログラム領域をオーバーしました"},
        FaultCase{"StackOverflow", "loop: push $1\njmp loop\n", "スタック領域をオーバーしました"},
        FaultCase{"PopOfTheLastWord", "pop r1\n", "スタック領域をオーバーしました"},
        FaultCase{"BadOpcode", ".byte 84\n", "不正な命令コードが現れました"},
        FaultCase{"Opcode255", ".byte 255\n", "不正な命令コードが現れました"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Interpreter, DivideByZeroLeavesTheDestination) {
  MachineContext* c = Build("movl r1, $7\ndiv r1, r2\nmovl r3, $1\n");
  RunToEnd(c);
  EXPECT_EQ(c->r[1], 7);
  EXPECT_EQ(c->r[3], 0) << "the slice ends after the faulting instruction";
  EXPECT_EQ(c->pc, c->imageBase + 8) << "the instruction otherwise completes";
}

TEST_F(Interpreter, StackOverflowMovesR7ButWritesNothing) {
  MachineContext* c = Build("push $1\npush $2\npush $3\n", 8);
  uint32_t end = c->stackBase + 8;
  RunToEnd(c);
  EXPECT_EQ(uint32_t(c->r[7]), end - 12) << "r7 is stored before the check";
  EXPECT_EQ(TheArena().Word(c->stackBase), 2);
  EXPECT_EQ(TheArena().Word(c->stackBase + 4), 1);
  EXPECT_EQ(c->state, kStopped);
}

TEST_F(Interpreter, WildStoreTouchesNothing) {
  Addr victim = TheArena().Alloc(4096);
  TheArena().Free(victim);  // dead now: a stale address
  MachineContext* c = Build("movl r1, $" + std::to_string(victim) + "\nmovl r2, $99\nmovl (r1), r2\n");
  RunToEnd(c);
  EXPECT_EQ(c->state, kStopped);
  EXPECT_FALSE(TheArena().Live(victim, 4));
}

TEST_F(Interpreter, CallIntoAFreedImageFaults) {
  MachineContext* callee = AssembleContext("f: movl r0, $1\nret\n", 64);
  ASSERT_NE(callee, nullptr);
  Addr f = callee->imageBase;
  FreeContext(callee);
  MachineContext* c = Build("movl r1, $" + std::to_string(f) + "\ncall r1\n");
  RunToEnd(c);
  EXPECT_EQ(c->state, kStopped);
  EXPECT_EQ(c->r[0], 0);
  ASSERT_EQ(Reports().size(), 1u);
  EXPECT_EQ(Reports()[0], "プログラム領域をオーバーしました");
}

TEST_F(Interpreter, RunningOffTheImageFaults) {
  MachineContext* c = Build("nop\n", 64, 4092);  // image of exactly one page
  c->pc = c->imageBase + 4094;
  TheArena().Span(c->imageBase, 4096)[4094] = 32;  // push $imm, cut by the page end
  RunToEnd(c);
  EXPECT_EQ(c->state, kStopped);
  EXPECT_EQ(Reports().at(0), "プログラム領域をオーバーしました");
}

TEST_F(Interpreter, CompareSetsAllThreeFlags) {
  MachineContext* c = Build("movl r1, $-1\nmovl r2, $1\ncmp r1, r2\n");
  RunToEnd(c, 1);
  EXPECT_EQ(c->eq, 0);
  EXPECT_EQ(c->lt, 1);
  EXPECT_EQ(c->ltu, 0);
}

// Every conditional jump over pairs that separate signed and unsigned order.
struct JumpCase {
  const char* mnemonic;
  bool (*taken)(int32_t a, int32_t b);
};

class Jumps : public MachineTest, public ::testing::WithParamInterface<JumpCase> {};

TEST_P(Jumps, FollowCmpFlags) {
  const int32_t values[] = {-1, 0, 1, INT_MIN, INT_MAX};
  for (int32_t a : values)
    for (int32_t b : values) {
      StopFlag().store(0);
      std::string text = "movl r1, $" + std::to_string(a) + "\nmovl r2, $" + std::to_string(b) +
                         "\ncmp r1, r2\n" + GetParam().mnemonic +
                         " yes\nmovl r0, $2\nleave 0\nyes: movl r0, $1\nleave 0\n";
      MachineContext* c = Build(text);
      RunToEnd(c);
      EXPECT_EQ(c->r[0], GetParam().taken(a, b) ? 1 : 2) << GetParam().mnemonic << " " << a << ", " << b;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Machine, Jumps,
    ::testing::Values(JumpCase{"je", [](int32_t a, int32_t b) { return a == b; }},
                      JumpCase{"jne", [](int32_t a, int32_t b) { return a != b; }},
                      JumpCase{"jg", [](int32_t a, int32_t b) { return a > b; }},
                      JumpCase{"jge", [](int32_t a, int32_t b) { return a >= b; }},
                      JumpCase{"jl", [](int32_t a, int32_t b) { return a < b; }},
                      JumpCase{"jle", [](int32_t a, int32_t b) { return a <= b; }},
                      JumpCase{"ja", [](int32_t a, int32_t b) { return uint32_t(a) > uint32_t(b); }},
                      JumpCase{"jae", [](int32_t a, int32_t b) { return uint32_t(a) >= uint32_t(b); }},
                      JumpCase{"jb", [](int32_t a, int32_t b) { return uint32_t(a) < uint32_t(b); }},
                      JumpCase{"jbe", [](int32_t a, int32_t b) { return uint32_t(a) <= uint32_t(b); }}),
    [](const auto& info) { return std::string(info.param.mnemonic); });

TEST_F(Interpreter, ZeroTestsSetOnlyEq) {
  MachineContext* c = Build(
      "movl r1, $-1\nmovl r2, $1\ncmp r1, r2\n"  // LT 1, LTU 0
      "zerol v\nje yes\nmovl r0, $2\nleave 0\nyes: movl r0, $1\nleave 0\n.comm v, 4\n");
  RunToEnd(c);
  EXPECT_EQ(c->r[0], 1);
  EXPECT_EQ(c->eq, 1);
  EXPECT_EQ(c->lt, 1);
  EXPECT_EQ(c->ltu, 0);
}

TEST_F(Interpreter, SubSetsFlagsFromTheOperandsBefore) {
  MachineContext* c = Build("movl r1, $3\nmovl r2, $3\nsub r1, r2\nmovl r3, $1\nsub r3, $2\n");
  RunToEnd(c, 1);
  EXPECT_EQ(c->r[1], 0);
  EXPECT_EQ(c->r[3], -1);
  EXPECT_EQ(c->eq, 0);
  EXPECT_EQ(c->lt, 1);
  EXPECT_EQ(c->ltu, 1);
}

struct ArithmeticCase {
  const char* op;
  int32_t a, b, result;
};

class Arithmetic : public MachineTest, public ::testing::WithParamInterface<ArithmeticCase> {};

TEST_P(Arithmetic, TwoRegisterForms) {
  const ArithmeticCase& t = GetParam();
  MachineContext* c = Build("movl r1, $" + std::to_string(t.a) + "\nmovl r2, $" + std::to_string(t.b) + "\n" +
                            t.op + " r1, r2\n");
  RunToEnd(c, 1);
  EXPECT_EQ(c->r[1], t.result) << t.op << " " << t.a << ", " << t.b;
  EXPECT_EQ(c->state, kRunning);
}

INSTANTIATE_TEST_SUITE_P(
    Machine, Arithmetic,
    ::testing::Values(ArithmeticCase{"add", INT_MAX, 1, INT_MIN}, ArithmeticCase{"sub", INT_MIN, 1, INT_MAX},
                      ArithmeticCase{"mul", 65536, 65536, 0}, ArithmeticCase{"mul", -3, 7, -21},
                      ArithmeticCase{"div", -7, 2, -3}, ArithmeticCase{"mod", -7, 2, -1},
                      ArithmeticCase{"div", INT_MIN, -1, INT_MIN}, ArithmeticCase{"mod", INT_MIN, -1, 0},
                      ArithmeticCase{"div", 7, -1, -7}, ArithmeticCase{"shl", 1, 33, 2},
                      ArithmeticCase{"shl", 1, 31, INT_MIN}, ArithmeticCase{"shr", -1, 28, 15},
                      ArithmeticCase{"shr", -8, 33, 0x7FFFFFFC}, ArithmeticCase{"sar", -8, 33, -4},
                      ArithmeticCase{"and", 12, 10, 8}, ArithmeticCase{"or", 12, 10, 14},
                      ArithmeticCase{"xor", 12, 10, 6}, ArithmeticCase{"xchg", 5, 6, 6},
                      ArithmeticCase{"movl", 5, 6, 6}));

TEST_F(Interpreter, OneRegisterForms) {
  MachineContext* c = Build(
      "movl r1, $5\nneg r1\nmovl r2, $5\nnot r2\nset r3\nmovl r4, $9\nset r4\n"
      "movl r5, $" +
      std::to_string(INT_MIN) + "\nneg r5\n");
  RunToEnd(c, 1);
  EXPECT_EQ(c->r[1], -5);
  EXPECT_EQ(c->r[2], ~5);
  EXPECT_EQ(c->r[3], 1);
  EXPECT_EQ(c->r[4], 0);
  EXPECT_EQ(c->r[5], INT_MIN);
}

TEST_F(Interpreter, LoadsExtendAndStoresTruncate) {
  MachineContext* c = Build(
      "movl r1, $0x12348680\nmovl v, r1\n"
      "movbl r2, v\nmovsbl r3, v\nmovwl r4, v\nmovswl r5, v\n"
      "movl r0, $v\nmovb (r0), r0\n"
      "leave 0\n.comm v, 16\n");
  RunToEnd(c);
  EXPECT_EQ(c->r[2], 0x80);
  EXPECT_EQ(c->r[3], -128);
  EXPECT_EQ(c->r[4], 0x8680);
  EXPECT_EQ(c->r[5], int32_t(0xFFFF8680));
  Addr v = c->imageBase + c->programSize - 16;
  EXPECT_EQ(uint32_t(TheArena().Word(v)), (0x12348680u & 0xFFFFFF00u) | (v & 0xFF)) << "only the low byte";
}

TEST_F(Interpreter, FrameAndRegisterFormsAddressTheSameWay) {
  MachineContext* c = Build(
      "movl r6, $v\nmovl r1, $-2\nmovw 4(r6), r1\nmovb 8(r6), r1\nmovl 12(r6), r1\n"
      "movswl r2, 4(r6)\nmovwl r3, 4(r6)\nmovsbl r4, 8(r6)\nmovbl r5, 8(r6)\nmovl r0, 12(r6)\n"
      "lea r1, 12(r6)\nmovl r1, (r1)\nleave 0\n.comm v, 16\n");
  RunToEnd(c);
  EXPECT_EQ(c->r[2], -2);
  EXPECT_EQ(c->r[3], 0xFFFE);
  EXPECT_EQ(c->r[4], -2);
  EXPECT_EQ(c->r[5], 0xFE);
  EXPECT_EQ(c->r[0], -2);
  EXPECT_EQ(c->r[1], -2);
  Addr v = c->imageBase + c->programSize - 16;
  EXPECT_EQ(TheArena().Word(v + 4), 0xFFFE);
  EXPECT_EQ(TheArena().Word(v + 8), 0xFE);
}

TEST_F(Interpreter, IncrementsWrapAtTheirWidthAndReturnOldOrNew) {
  MachineContext* c = Build(
      "movl r1, $b\nmovl r2, $b\npreinc (r2)\n"   // 255 -> 0, r2 = 0
      "movl r3, $b\nmovl r4, $b\npostdec (r4)\n"  // 0 -> 255, r4 = 0
      "movl r5, $w\npostincw r0, (r5)\n"          // r0 = 65535, w -> 0
      "movl r1, $l\npreop r1, 8\n"                // l = 8, r1 = 8
      "movl r3, $l\npostop r3, -3\n"              // r3 = 8, l = 5
      "leave 0\n"
      "b: .byte 255\nw: .short 65535\nl: .long 0\n");
  RunToEnd(c);
  EXPECT_EQ(c->r[2], 0);
  EXPECT_EQ(c->r[4], 0);
  EXPECT_EQ(c->r[0], 65535);
  EXPECT_EQ(c->r[1], 8);
  EXPECT_EQ(c->r[3], 8);
  const uint8_t* image = TheArena().Span(c->imageBase, c->programSize);
  size_t end = c->programSize;
  EXPECT_EQ(image[end - 7], 255) << "preinc then postdec";
  EXPECT_EQ(image[end - 6] | image[end - 5] << 8, 0);
  EXPECT_EQ(TheArena().Word(c->imageBase + uint32_t(end) - 4), 5);
}

TEST_F(Interpreter, RegisterFieldsAboveSevenUseTheLowThreeBits) {
  MachineContext* c = Build("movl r9, $5\nmovl r2, r9\n");
  RunToEnd(c, 1);
  EXPECT_EQ(c->r[1], 5);
  EXPECT_EQ(c->r[2], 5);
}

// A call with two arguments, enter/leave with locals, and the result in r0.
TEST_F(Interpreter, CallFrameLayout) {
  MachineContext* c = Build(
      "jmp main\n"
      "f: enter 8\n"
      "movl r0, 8(r6)\nmovl r2, 12(r6)\nsub r0, r2\n"
      "movl -24(r6), r0\n"
      "movl r1, $111\nmovl r6, r6\n"
      "leave 8\nret\n"
      "main: enter 0\n"
      "movl r1, $11\nmovl r2, $22\nmovl r3, $33\nmovl r4, $44\nmovl r5, $55\n"
      "push $3\npush $10\ncall f\nadd r7, $8\n"
      "leave 0\n");
  uint32_t end = c->stackBase + 4096;
  RunToEnd(c);
  EXPECT_EQ(c->state, kEnded);
  EXPECT_EQ(c->r[0], 7) << "argument 0 at r6 + 8, argument 1 at r6 + 12";
  EXPECT_EQ(c->r[1], 11) << "leave restores r1 to r6";
  EXPECT_EQ(c->r[5], 55);
  // main's frame: saved r6 is the word just below the stack end.
  EXPECT_EQ(uint32_t(c->r[6]), end - 4);
}

TEST_F(Interpreter, EnterSavesR1ToR6BelowTheFrame) {
  MachineContext* c = Build(
      "movl r1, $1\nmovl r2, $2\nmovl r3, $3\nmovl r4, $4\nmovl r5, $5\nmovl r6, $6\n"
      "push $77\nenter 12\n");
  RunToEnd(c, 1);
  uint32_t end = c->stackBase + 4096;
  uint32_t r6 = uint32_t(c->r[6]);
  EXPECT_EQ(r6, end - 4 - 4) << "saved r6 right below the pushed word";
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(TheArena().Word(r6 - 20 + 4 * (i - 1)), i);
  EXPECT_EQ(uint32_t(c->r[7]), r6 - 20 - 12);
}

TEST_F(Interpreter, RetOfMinusOneAndLeaveInMainEnd) {
  MachineContext* viaRet = Build("push $7\npush $-1\nret\nmovl r0, $1\n");
  RunToEnd(viaRet);
  EXPECT_EQ(viaRet->state, kEnded);
  EXPECT_EQ(viaRet->r[0], 0);
  MachineContext* viaLeave = Build("enter 16\nmovl r1, $9\nleave 16\nmovl r0, $1\n");
  RunToEnd(viaLeave);
  EXPECT_EQ(viaLeave->state, kEnded);
  EXPECT_EQ(viaLeave->r[1], 9) << "registers untouched";
  EXPECT_TRUE(Reports().empty());
}

TEST_F(Interpreter, FaultInOneContextStopsTheOthers) {
  MachineContext* a = Build("div r1, r2\n");
  MachineContext* b = Build("loop: jmp loop\n");
  RunSlice(a);
  Addr pc = b->pc;
  RunSlice(b);
  EXPECT_EQ(b->pc, pc);
  EXPECT_EQ(b->state, kRunning);
}

TEST_F(Interpreter, FlagsLiveInTheArena) {
  EXPECT_EQ(TheArena().Word(StopFlagAddress(), -1), 0);
  StopFlag().store(1);
  EXPECT_EQ(TheArena().Word(StopFlagAddress(), -1), 1);
  EXPECT_EQ(TheArena().Word(ActiveFlagAddress(), -1), ActiveFlag().load());
  EXPECT_EQ(ActiveFlagAddress(), StopFlagAddress() + 4);
}

}  // namespace
}  // namespace qavz::test

namespace qavz::test {
namespace {

TEST_F(Interpreter, DeepFramesOfALargeStack) {
  MachineContext* c = Build(
      "enter 200000\nmovl r1, $7\nmovl -199000(r6), r1\nmovl r2, -199000(r6)\n"
      "push r2\npop r3\nleave 200000\n",
      1 << 20);
  RunToEnd(c);
  EXPECT_EQ(c->state, kEnded);
  EXPECT_EQ(c->r[2], 7);
  EXPECT_EQ(c->r[3], 7);
  EXPECT_TRUE(Reports().empty());
}

TEST_F(Interpreter, UnalignedStackPointerPastTheEndFaultsInsteadOfTouchingTheGuardPage) {
  MachineContext* c = Build("push $1\n", 4096);
  c->r[7] = int32_t(c->stackBase + 4096 + 2);  // the push's word would straddle the end
  RunToEnd(c);
  EXPECT_EQ(c->state, kStopped);
  EXPECT_EQ(Reports().at(0), "プログラム領域をオーバーしました");
}

}  // namespace
}  // namespace qavz::test

namespace qavz::test {
namespace {

// r7 forged past the stack end so that enter's range test passes while the
// 24 saved bytes would straddle the end of the stack block.
TEST_F(Interpreter, EnterSaveAreaCrossingTheStackEndFaults) {
  MachineContext* c = Build("enter 10\n", 4096);
  c->r[7] = int32_t(c->stackBase + 4096 + 14);
  RunToEnd(c);
  EXPECT_EQ(c->state, kStopped);
  EXPECT_EQ(Reports().at(0), "プログラム領域をオーバーしました");
}

TEST_F(Interpreter, LeaveWithAWrappingSizeReadsOnlyLiveMemory) {
  MachineContext* c = Build("leave -16\n", 4096);
  c->r[7] = int32_t(c->stackBase + 4);  // restores from 12 bytes below the stack
  RunToEnd(c);
  EXPECT_EQ(c->state, kStopped);
  EXPECT_EQ(Reports().at(0), "プログラム領域をオーバーしました");
}

}  // namespace
}  // namespace qavz::test
