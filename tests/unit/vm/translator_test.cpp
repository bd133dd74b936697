// What the differential check cannot reach by chance: the switch, writes into
// translated code (by the program and by a native), the run flags written by
// a script, and a native called from translated code.
#include "vm/translator.h"

#include <gtest/gtest.h>

#include "tests/unit/vm/vm_test_support.h"

namespace qavz::test {
namespace {

class Translator : public MachineTest {
 protected:
  // Assembles and translates; the code's size for TranslateImage.
  MachineContext* Translated(const std::string& text) {
    MachineContext* c = Build(text);
    if (!c) return nullptr;
    AssembledProgram program;
    std::string error;
    EXPECT_TRUE(Assemble(text, c->imageBase, c->programSize, program, error)) << error;
    // With QAVZ_TRANSLATE=0 the interpreter must give the same results.
    if (TranslationEnabled()) {
      EXPECT_TRUE(TranslateImage(c->imageBase, uint32_t(program.code.size()), c->programSize));
    }
    return c;
  }
};

// A loop of 1,000 passes that adds the immediate of its own `add` to r0.
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

const std::string kLoop =
    "movl r1, $1000\n"
    "loop:\n"
    "add r0, $1\n"
    "sub r1, $1\n"
    "jne loop\n"
    "leave 0\n";

TEST_F(Translator, SwitchedOffLeavesImagesToTheInterpreter) {
  MachineContext* c = Build(kLoop);
  DropTranslation(c->imageBase);
  SetTranslationEnabled(false);
  EXPECT_FALSE(TranslateImage(c->imageBase, 28, c->programSize));
  EXPECT_FALSE(HasTranslation(c->imageBase));
  SetTranslationEnabled(true);
  if (!TranslationEnabled()) GTEST_SKIP() << "QAVZ_TRANSLATE=0";
  EXPECT_TRUE(TranslateImage(c->imageBase, 28, c->programSize));
  EXPECT_TRUE(HasTranslation(c->imageBase));
  RunToEnd(c);
  EXPECT_EQ(c->r[0], 1000);
  EXPECT_EQ(c->state, kEnded);
}

// The program rewrites the immediate of its loop's `add` (at offset 8) from
// inside its 11th pass: the rest add 7.
TEST_F(Translator, StoreIntoRunningCodeTakesEffect) {
  MachineContext* c = Translated(
      "movl r1, $1000\n"
      "movl r2, $add\n"
      "add r2, $2\n"
      "add:\n"
      "add r0, $1\n"
      "cmp r1, $990\n"
      "jne skip\n"
      "movl r3, $7\n"
      "movl (r2), r3\n"
      "skip:\n"
      "sub r1, $1\n"
      "jne add\n"
      "leave 0\n");
  ASSERT_NE(c, nullptr);
  RunToEnd(c);
  EXPECT_EQ(c->state, kEnded);
  EXPECT_EQ(c->r[0], 11 + 989 * 7) << "the pass that rewrites still adds 1";
}

// The first call rewrites the loop's immediate through the arena, as a
// native writing script memory does; the second ends the program.
int gTrapCalls = 0;
void PatchHandler(uint32_t, MachineContext* c) {
  if (gTrapCalls++ == 0)
    TheArena().Write<int32_t>(c->imageBase + 8, 3);
  else
    c->state = kEnded;
}

TEST_F(Translator, NativeWritingCodeDropsItsTranslation) {
  MachineContext* c = Translated(
      "movl r1, $100\n"
      "loop:\n"
      "add r5, $1\n"
      "sub r1, $1\n"
      "jne loop\n"
      "trap 3\n"
      "movl r1, $100\n"
      "jmp loop\n");
  ASSERT_NE(c, nullptr);
  gTrapCalls = 0;
  SetTrapHandler(&PatchHandler);
  RunToEnd(c);
  SetTrapHandler(nullptr);
  EXPECT_EQ(gTrapCalls, 2);
  EXPECT_EQ(c->r[5], 100 + 300);
}

TEST_F(Translator, ScriptStoreIntoStopFlagStopsAfterIt) {
  MachineContext* c = Translated("movl r1, $" + std::to_string(StopFlagAddress()) +
                                 "\n"
                                 "movl r2, $1\n"
                                 "movl (r1), r2\n"
                                 "movl r3, $5\n"
                                 "leave 0\n");
  ASSERT_NE(c, nullptr);
  RunSlice(c);
  EXPECT_EQ(StopFlag().load(), 1);
  EXPECT_EQ(c->r[3], 0) << "nothing ran after the store";
  EXPECT_EQ(c->pc, c->imageBase + 14);
}

// Pages are translated as control first reaches them: a store into a page
// that has not run yet leaves it to the interpreter, which sees the store,
// and calls between pages go through each page's entries.
TEST_F(Translator, StoreIntoPageNotYetRunTakesEffect) {
  std::string filler;
  for (int k = 0; k < 1400; ++k) filler += "add r4, $0\n";  // 8,400 bytes
  MachineContext* c = Translated(
      "enter 0\n"
      "movl r2, $patch\n"
      "add r2, $2\n"
      "movl r3, $7\n"
      "movl (r2), r3\n"
      "movl r1, $100\n"
      "loop:\n"
      "call far\n"
      "call farther\n"
      "sub r1, $1\n"
      "jne loop\n"
      "leave 0\n" +
      filler +
      "far:\n"
      "patch:\n"
      "add r0, $1\n"
      "ret\n" +
      filler +
      "farther:\n"
      "add r0, $1000\n"
      "ret\n");
  ASSERT_NE(c, nullptr);
  RunToEnd(c);
  EXPECT_EQ(c->state, kEnded);
  EXPECT_EQ(c->r[0], 100 * 7 + 100 * 1000);
}

TEST_F(Translator, TrapFromTranslatedCodeSeesTheWholeContext) {
  MachineContext* c = Translated(
      "movl r4, $44\n"
      "cmp r4, $45\n"
      "trap 17\n"
      "movl r4, $1\n");
  ASSERT_NE(c, nullptr);
  TrapLog::calls = 0;
  SetTrapHandler(&TrapLog::Handler);
  RunSlice(c);
  SetTrapHandler(nullptr);
  EXPECT_EQ(TrapLog::calls, 1);
  EXPECT_EQ(TrapLog::index, 17u);
  EXPECT_EQ(TrapLog::pcSeen, c->imageBase + 15);
  EXPECT_EQ(c->r[4], 44) << "the slice ends with the trap";
  EXPECT_EQ(c->lt, 1);
  EXPECT_EQ(c->ltu, 1);
  EXPECT_EQ(c->eq, 0);
}

}  // namespace
}  // namespace qavz::test
