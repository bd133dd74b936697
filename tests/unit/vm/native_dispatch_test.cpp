#include "vm/native_dispatch.h"

#include <gtest/gtest.h>

#include <string>

#include "host/native_table.h"
#include "vm/system_variables.h"
#include "vm_test_support.h"

namespace qavz::test {
namespace {

class Dispatch : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    SetTrapHandler(&DispatchNative);
  }
};

TEST_F(Dispatch, TableHas261RowsInOrder) {
  EXPECT_STREQ(kNativeTable[0].name, "jump");
  EXPECT_STREQ(kNativeTable[9].name, "sleep");
  EXPECT_EQ(kNativeTable[9].argCount, 1);
  EXPECT_STREQ(kNativeTable[220].name, "getsystem");
  EXPECT_STREQ(kNativeTable[221].name, "setsystem");
  EXPECT_EQ(kNativeTable[221].argCount, 2);
  EXPECT_STREQ(kNativeTable[75].name, "gtextf");
  EXPECT_EQ(kNativeTable[75].argCount, -1);
  EXPECT_STREQ(kNativeTable[202].name, "atoi");
  EXPECT_STREQ(kNativeTable[258].name, "dll_call");
  EXPECT_EQ(kNativeTable[258].argCount, -1);
  EXPECT_STREQ(kNativeTable[260].name, "log_out");
  for (const NativeEntry& e : kNativeTable) EXPECT_NE(e.handler, nullptr) << e.name;
}

TEST_F(Dispatch, IndexPastTheTableStopsEverything) {
  MachineContext* c = Build("trap 261\n");
  RunSlice(c);
  ASSERT_EQ(Reports().size(), 1u);
  EXPECT_EQ(Reports()[0], "不正な命令コード - #261");
  EXPECT_EQ(c->state, kStopped);
  EXPECT_EQ(StopFlag().load(), 1);
  EXPECT_EQ(c->r[0], 0) << "no handler ran";
}

// A native stub the way the compiler emits it, and a call with n arguments.
std::string CallNative(int index, const std::string& pushes, int words, const std::string& data = "") {
  std::string text =
      "jmp main\nstub: trap " + std::to_string(index) + "\nret\nmain: enter 0\n" + pushes + "call stub\n";
  if (words > 0) text += "add r7, $" + std::to_string(4 * words) + "\n";
  return text + "movl r1, r0\nleave 0\n" + data;
}

TEST_F(Dispatch, ResultLandsInR0AndArgumentsAreReadFromTheStack) {
  MachineContext* c = Build(CallNative(kNative_getsystem, "push $name\n", 1, "name: .ascii \"HeIgHt\\0\"\n"));
  RunToEnd(c);
  EXPECT_EQ(c->state, kEnded);
  EXPECT_EQ(c->r[1], 480);
  EXPECT_TRUE(Reports().empty());
}

TEST_F(Dispatch, DebugModeChecksTheArgumentCount) {
  TheConfig().debugMode = 1;
  MachineContext* c = Build(CallNative(kNative_getsystem, "", 0));
  RunToEnd(c);
  ASSERT_EQ(Reports().size(), 1u);
  EXPECT_EQ(Reports()[0], "getsystem - 引数の数が違います。");
  EXPECT_EQ(c->state, kStopped);
  EXPECT_EQ(StopFlag().load(), 1);
}

TEST_F(Dispatch, DebugModeSleepWithoutArgumentsIsReportedExitIsNot) {
  TheConfig().debugMode = 1;
  MachineContext* sleepCall = Build(CallNative(kNative_sleep, "", 0));
  RunToEnd(sleepCall);
  ASSERT_EQ(Reports().size(), 1u);
  EXPECT_EQ(Reports()[0], "sleep - 引数の数が違います。");
  EXPECT_EQ(sleepCall->state, kStopped);
  StopFlag().store(0);
  Reports().clear();
  MachineContext* exitCall = Build(CallNative(kNative_exit, "", 0));
  RunToEnd(exitCall);
  EXPECT_TRUE(Reports().empty()) << "no add follows the call: count 0, as exit takes";
}

TEST_F(Dispatch, DebugModePassesMatchingCounts) {
  TheConfig().debugMode = 1;
  MachineContext* none = Build(CallNative(kNative_menu_init, "", 0));
  RunToEnd(none);
  MachineContext* two =
      Build(CallNative(kNative_setsystem, "push $5\npush $name\n", 2, "name: .ascii \"nothing\\0\"\n"));
  RunToEnd(two);
  EXPECT_TRUE(Reports().empty());
  EXPECT_EQ(none->state, kEnded);
  EXPECT_EQ(two->state, kEnded);
}

TEST_F(Dispatch, DebugModeSkipsVariadicNatives) {
  TheConfig().debugMode = 1;
  MachineContext* c = Build(CallNative(kNative_dll_call, "push $1\npush $2\npush $3\n", 3));
  RunToEnd(c);
  EXPECT_TRUE(Reports().empty());
}

TEST_F(Dispatch, NoCountCheckOutsideDebugMode) {
  MachineContext* c = Build(CallNative(kNative_getsystem, "", 0));
  RunToEnd(c);
  EXPECT_TRUE(Reports().empty());
  EXPECT_EQ(c->state, kEnded);
  EXPECT_EQ(c->r[1], 0) << "the argument past the stack end reads as 0";
}

TEST_F(Dispatch, PushedWordsComeFromTheStackAdjustment) {
  MachineContext* c = Build("ret\nadd r7, $12\nadd r6, $12\n");
  c->r[7] = int32_t(c->stackBase + 100);
  TheArena().Write<uint32_t>(c->stackBase + 100, c->imageBase + 1);
  EXPECT_EQ(PushedArgumentWords(c), 3);
  TheArena().Write<uint32_t>(c->stackBase + 100, c->imageBase + 7);
  EXPECT_EQ(PushedArgumentWords(c), 0) << "add r6 is not the adjustment";
  TheArena().Write<uint32_t>(c->stackBase + 100, 12);
  EXPECT_EQ(PushedArgumentWords(c), 0) << "an unreadable return address counts 0";
  c->r[7] = 0;
  EXPECT_EQ(PushedArgumentWords(c), 0);
}

}  // namespace
}  // namespace qavz::test
