#include "vm/machine_context.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "vm/arena.h"

namespace qavz {
namespace {

TEST(MachineContext, FreshContextLayout) {
  MachineContext* c = CreateContext(100, 512);
  ASSERT_NE(c, nullptr);
  Arena& arena = TheArena();
  EXPECT_EQ(arena.BlockSize(c->imageBase), 104u) << "program plus the 4-byte count";
  EXPECT_EQ(arena.BlockSize(c->stackBase), 512u);
  EXPECT_EQ(c->pc, c->imageBase);
  EXPECT_EQ(c->refCountAddr, c->imageBase + 100);
  EXPECT_EQ(arena.Word(c->refCountAddr), 1);
  EXPECT_EQ(c->programSize, 100u);
  EXPECT_EQ(c->stackSize, 512u);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(c->r[i], 0);
  EXPECT_EQ(uint32_t(c->r[7]), c->stackBase + 512);
  EXPECT_EQ(c->state, 0);
  EXPECT_EQ(c->eq | c->lt | c->ltu, 0);
  EXPECT_EQ(c->threadIndex, 0u);
  FreeContext(c);
}

TEST(MachineContext, RecordLayoutIsFixedToTheByte) {
  EXPECT_EQ(sizeof(MachineContext), 64u);
  EXPECT_EQ(offsetof(MachineContext, threadIndex), 0u);
  EXPECT_EQ(offsetof(MachineContext, state), 4u);
  EXPECT_EQ(offsetof(MachineContext, eq), 5u);
  EXPECT_EQ(offsetof(MachineContext, lt), 6u);
  EXPECT_EQ(offsetof(MachineContext, ltu), 7u);
  EXPECT_EQ(offsetof(MachineContext, pc), 8u);
  EXPECT_EQ(offsetof(MachineContext, refCountAddr), 12u);
  EXPECT_EQ(offsetof(MachineContext, imageBase), 16u);
  EXPECT_EQ(offsetof(MachineContext, stackBase), 20u);
  EXPECT_EQ(offsetof(MachineContext, programSize), 24u);
  EXPECT_EQ(offsetof(MachineContext, stackSize), 28u);
  EXPECT_EQ(offsetof(MachineContext, r), 32u);
}

TEST(MachineContext, ClonesShareTheImageUntilTheLastIsFreed) {
  MachineContext* parent = CreateContext(64, 256);
  ASSERT_NE(parent, nullptr);
  parent->pc = parent->imageBase + 20;
  EXPECT_EQ(CloneContext(nullptr, 0), nullptr);
  MachineContext* same = CloneContext(parent, 0);
  MachineContext* sized = CloneContext(parent, 1024);
  MachineContext* negative = CloneContext(parent, -5);
  ASSERT_TRUE(same && sized && negative);
  Arena& arena = TheArena();
  EXPECT_EQ(same->stackSize, 256u) << "0 takes the parent's stack size";
  EXPECT_EQ(negative->stackSize, 256u);
  EXPECT_EQ(sized->stackSize, 1024u);
  EXPECT_EQ(same->pc, parent->imageBase) << "pc at the image base, for the caller to set";
  EXPECT_EQ(uint32_t(sized->r[7]), sized->stackBase + 1024);
  EXPECT_NE(same->stackBase, parent->stackBase);
  EXPECT_EQ(ImageOf(*parent).RefCount(), 4);
  EXPECT_EQ(ImageOf(*parent).RefCountAddress(), parent->refCountAddr);
  Addr image = parent->imageBase;
  FreeContext(parent);
  FreeContext(same);
  FreeContext(negative);
  EXPECT_TRUE(arena.Live(image, 64)) << "one context still runs it";
  EXPECT_EQ(arena.Word(sized->refCountAddr), 1);
  FreeContext(sized);
  EXPECT_FALSE(arena.Live(image, 1));
  EXPECT_EQ(FreeContext(nullptr), 1);
}

TEST(MachineContext, FreeingARecordWithForeignAddressesLeavesOtherBlocksAlone) {
  Arena& arena = TheArena();
  Addr other = arena.Alloc(4096);
  MachineContext* c = CreateContext(32, 128);
  ASSERT_NE(c, nullptr);
  Addr image = c->imageBase, stack = c->stackBase;
  // A record restored from script memory naming a block that is not its own.
  c->stackBase = other;
  c->imageBase = other;
  c->refCountAddr = other + 32;
  FreeContext(c);
  EXPECT_TRUE(arena.Live(other, 4096));
  arena.Free(other);
  arena.Free(image);
  arena.Free(stack);
}

TEST(MachineContext, ImpossibleSizesGiveNullAndLeakNothing) {
  uint64_t before = TheArena().LiveBytes();
  EXPECT_EQ(CreateContext(0xFFFFFFFEu, 64), nullptr);
  EXPECT_EQ(CreateContext(64, 0xFFFFFFF0u), nullptr);
  EXPECT_EQ(TheArena().LiveBytes(), before);
}

// A stand-in compiler: writes `ret` bytes, reports fixed code and data sizes.
struct FakeCompiler {
  static inline std::vector<CompileRequest> calls;
  static inline bool fail = false;
  static inline bool failEmit = false;
  static int Compile(CompileRequest& request) {
    calls.push_back(request);
    calls.back().sourcePath = nullptr;
    if (fail) return 0;
    if (request.dest == 0) {
      request.codeSize = 10;
      request.dataSize = 6;
      return 1;
    }
    if (failEmit) return 0;
    uint8_t* p = TheArena().Span(request.dest, request.capacity);
    if (!p) return 0;
    std::memset(p, 38, 10);
    return 1;
  }
};

class Loader : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = GetCompilerEntry();
    SetCompilerEntry(&FakeCompiler::Compile);
    FakeCompiler::calls.clear();
    FakeCompiler::fail = FakeCompiler::failEmit = false;
  }
  void TearDown() override { SetCompilerEntry(previous_); }
  CompilerEntry previous_ = nullptr;
};

TEST_F(Loader, ExtensionMustBeDotCInAnyCase) {
  for (const char* path : {"game.c", "dir.v1/game.C", "x.c"}) {
    MachineContext* c = LoadProgram(path, 0, 256);
    EXPECT_NE(c, nullptr) << path;
    FreeContext(c);
  }
  for (const char* path : {"game.cpp", "game.c.txt", "game", "gamec", "game.", "a.cc", ""}) {
    EXPECT_EQ(LoadProgram(path, 0, 256), nullptr) << path;
  }
  EXPECT_EQ(LoadProgram(nullptr, 0, 256), nullptr);
  EXPECT_EQ(FakeCompiler::calls.size(), 6u) << "refused paths never reach the compiler";
}

TEST_F(Loader, MeasuredSizeIsCodePlusDataPlusCount) {
  MachineContext* c = LoadProgram("m.c", 0, 256);
  ASSERT_NE(c, nullptr);
  ASSERT_EQ(FakeCompiler::calls.size(), 2u);
  EXPECT_EQ(FakeCompiler::calls[0].dest, 0u) << "counting pass first";
  EXPECT_EQ(FakeCompiler::calls[1].dest, c->imageBase);
  EXPECT_EQ(FakeCompiler::calls[1].capacity, 16u);
  EXPECT_EQ(c->programSize, 16u);
  EXPECT_EQ(TheArena().BlockSize(c->imageBase), 20u);
  EXPECT_EQ(c->pc, c->imageBase);
  EXPECT_EQ(uint32_t(c->r[7]), c->stackBase + 256);
  FreeContext(c);
}

TEST_F(Loader, ConfiguredSizeSkipsTheCountingPass) {
  MachineContext* c = LoadProgram("m.c", 4096, 256);
  ASSERT_NE(c, nullptr);
  ASSERT_EQ(FakeCompiler::calls.size(), 1u);
  EXPECT_EQ(FakeCompiler::calls[0].capacity, 4096u);
  EXPECT_EQ(TheArena().BlockSize(c->imageBase), 4100u);
  FreeContext(c);
}

TEST_F(Loader, CompileFailureLeavesNothingBehind) {
  uint64_t before = TheArena().LiveBytes();
  FakeCompiler::fail = true;
  EXPECT_EQ(LoadProgram("m.c", 0, 256), nullptr);
  FakeCompiler::fail = false;
  FakeCompiler::failEmit = true;
  EXPECT_EQ(LoadProgram("m.c", 0, 256), nullptr);
  EXPECT_EQ(TheArena().LiveBytes(), before);
}

TEST_F(Loader, FailsWithoutACompiler) {
  SetCompilerEntry(nullptr);
  EXPECT_EQ(LoadProgram("m.c", 0, 256), nullptr);
}

}  // namespace
}  // namespace qavz

namespace qavz {
namespace {

TEST_F(Loader, PathsTooLongForTheBufferAreRefusedNotCut) {
  std::string longPath(300, 'a');
  longPath += ".c";
  EXPECT_EQ(LoadProgram(longPath.c_str(), 0, 256), nullptr);
  EXPECT_TRUE(FakeCompiler::calls.empty());
  std::string fits(257, 'b');
  fits += ".c";  // 259 characters and the terminator
  MachineContext* c = LoadProgram(fits.c_str(), 0, 256);
  EXPECT_NE(c, nullptr);
  FreeContext(c);
}

}  // namespace
}  // namespace qavz
